#include "widgets/TiledActor.h"

#include <utility>
#include <vector>

#include "content/ResAnim.h"
#include "widgets/TileLayout.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

TiledActor::TiledActor() {
    SetName(L"TiledActor");
    SetIgnoreTransparency(true);
}

void TiledActor::SetMinSize(const pf::Point& size) { minSize_ = size; }

bool TiledActor::ComputeLayout(int tileW, int tileH, bool report) {
    if (tileW <= 0 || tileH <= 0) return false;
    int64_t columns = tiles::CoverCount(minSize_.x, tileW);
    int64_t rows = tiles::CoverCount(minSize_.y, tileH);
    if (tiles::BoundGrid(columns, rows) && report)
        pf::DebugStream() << L"TiledActor '" << GetName() << L"': minimum size " << minSize_.x << L" x "
                          << minSize_.y << L" needs too many tiles; drawn with " << columns << L" x " << rows;
    columns_ = std::max<int>(1, static_cast<int>(columns));
    rows_ = std::max<int>(1, static_cast<int>(rows));
    return true;
}

void TiledActor::Resize() {
    my_intrusive_ptr<pf::Surface> tile = GetSurface();
    if (!tile || minSize_.x == 0) return;
    if (!ComputeLayout(tile->GetWidth(), tile->GetHeight(), true)) {
        pf::DebugStream() << L"TiledActor '" << GetName() << L"': its tile has no size; nothing to lay out";
        return;
    }
    SetSize(pf::Point(tile->GetWidth() * columns_, tile->GetHeight() * rows_));
}

int TiledActor::GetContentWidth() const {
    my_intrusive_ptr<pf::Surface> tile = GetSurface();
    return tile ? tile->GetWidth() * columns_ : 0;
}

int TiledActor::GetContentHeight() const {
    my_intrusive_ptr<pf::Surface> tile = GetSurface();
    return tile ? tile->GetHeight() * rows_ : 0;
}

bool TiledActor::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"minSize") {
        SetMinSize(pf::ToPoint(value));
        return true;
    }
    if (key == L"colorKey") {
        colorKey_ = pf::ToBool(value);
        return false;
    }
    return Actor::SetProperty(key, value);
}

void TiledActor::SetResAnim(ResAnim* r) {
    Actor::SetResAnim(r);
    Resize();
}

void TiledActor::DrawTile(pf::Display* display, int loop, int cel, int x, int y) {
    SetLoop(loop);
    SetCel(cel);
    my_intrusive_ptr<pf::Surface> tile = GetSurface();
    if (!tile || !display) return;
    const pf::Rect dest(x, y, tile->GetWidth(), tile->GetHeight());
    tile->Draw(display, nullptr, &dest);
}

namespace {
// The three-part pattern along one axis of `count` tiles of `size`: part 0 at 0, part 1
// for tiles 1 to count - 2, part 2 after them (at `size` when there is only one tile).
std::vector<std::pair<int, int>> ThreePartPlan(int count, int size) {
    std::vector<std::pair<int, int>> plan;
    plan.emplace_back(0, 0);
    for (int i = 1; i <= count - 2; ++i) plan.emplace_back(1, i * size);
    plan.emplace_back(2, std::max(1, count - 1) * size);
    return plan;
}
}  // namespace

void TiledActor::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    // Held: drawing a tile changes the shown cel, and with it the actor's own hold.
    my_intrusive_ptr<ResAnim> anim = GetResAnim();
    my_intrusive_ptr<pf::Surface> current = GetSurface();
    if (anim && current) {
        const int loops = anim->GetNumLoops(), cels = anim->GetNumCels();
        const int tileW = current->GetWidth(), tileH = current->GetHeight();
        if (loops == 1 && cels == 1) {
            const pf::Rect dest(0, 0, tileW, tileH);
            if (out.display) current->Draw(out.display, nullptr, &dest);
            SetSize(pf::Point(tileW, tileH));
        } else if (loops == 3 && (cels == 3 || cels == 1) && ComputeLayout(tileW, tileH, false)) {
            // A 3 x 3 tile set: loops are the rows' parts, cels the columns'. A vertical
            // strip of one cel has one column.
            const auto rowPlan = ThreePartPlan(rows_, tileH);
            const auto columnPlan = cels == 3 ? ThreePartPlan(columns_, tileW)
                                              : std::vector<std::pair<int, int>>{{0, 0}};
            for (const auto& [loop, y] : rowPlan)
                for (const auto& [cel, x] : columnPlan) DrawTile(out.display, loop, cel, x, y);
            SetSize(pf::Point(columns_ * tileW, rows_ * tileH));
        }
    }
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}
