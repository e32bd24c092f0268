#include "game/FogTurbulenceActor.h"

#include <algorithm>
#include <cmath>

#include "scene/ResAnim.h"
#include "shell/ImageKernels.h"

void FogTurbulenceActor::AddCel(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return;
    fogged_[Index(column, row)] = 1;
}

int FogTurbulenceActor::Fogged(int column, int row) const {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return 0;
    return fogged_[Index(column, row)];
}

FogTurbulenceActor::Tile FogTurbulenceActor::ChooseTile(int c, int r) const {
    const int up = Fogged(c, r - 1), down = Fogged(c, r + 1), left = Fogged(c - 1, r), right = Fogged(c + 1, r);
    Tile t;
    t.visible = true;
    auto pick = [&t](int column, int row) {
        t.column = column;
        t.row = row;
    };
    switch (up + down + left + right) {
    case 2:
        if (up && right) pick(0, 2);
        else if (up && left) pick(2, 2);
        else if (down && left) pick(2, 0);
        break;  // down and right, and the straight runs, keep (0, 0)
    case 3:
        if (!up) pick(1, 0);
        else if (!right) pick(2, 1);
        else if (!down) pick(1, 2);
        else pick(0, 1);
        break;
    case 4: {
        const int ul = Fogged(c - 1, r - 1), ur = Fogged(c + 1, r - 1);
        const int dl = Fogged(c - 1, r + 1), dr = Fogged(c + 1, r + 1);
        const int diagonals = ul + ur + dl + dr;
        if (diagonals == 4) pick(1, 1);
        else if (diagonals < 3) t.visible = false;
        else if (!ul) pick(3, 0);
        else if (!ur) pick(4, 0);
        else if (!dr) pick(4, 1);
        else pick(3, 1);
        break;
    }
    default:
        t.visible = false;
    }
    return t;
}

void FogTurbulenceActor::Init(float amplitude, float scale, float speed) {
    amplitude_ = amplitude;
    scale_ = scale;
    speed_ = speed;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (fogged_[Index(c, r)]) tiles_[Index(c, r)] = ChooseTile(c, r);
    ResAnim* anim = GetResAnim();
    my_intrusive_ptr<pf::Surface> texture = anim ? anim->GetSurface() : nullptr;
    if (!texture) return;
    const float tw = float(texture->GetWidth()), th = float(texture->GetHeight());
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const Tile& t = tiles_[Index(c, r)];
            if (!t.visible) continue;
            const size_t first = baseVertices_.size();
            pf::AddTexturedQuad(baseVertices_, tw, th, pf::Rect(t.column * kCell, t.row * kCell, kCell, kCell),
                                pf::Rect(c * kCell, r * kCell, kCell, kCell), 0xFFFFFFFFu);
            // The tiles lie side by side in one texture: a filtered sample within half a
            // texel of a tile's edge would blend in the neighbouring tile (a faint seam
            // where the billowing moves the edge). Each tile's coordinates stay half a
            // texel inside it.
            const float uL = (float(t.column * kCell) + 0.5f) / tw, uR = (float((t.column + 1) * kCell) - 0.5f) / tw;
            const float vT = (float(t.row * kCell) + 0.5f) / th, vB = (float((t.row + 1) * kCell) - 0.5f) / th;
            for (size_t k = first; k < baseVertices_.size(); ++k) {
                baseVertices_[k].u = std::clamp(baseVertices_[k].u, uL, uR);
                baseVertices_[k].v = std::clamp(baseVertices_[k].v, vT, vB);
            }
        }
}

void FogTurbulenceActor::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    ResAnim* anim = GetResAnim();
    if (GetDrawActor() && anim && out.display) {
        my_intrusive_ptr<pf::Surface> texture = anim->GetSurface();
        frameVertices_.clear();
        const double t = double(uint32_t(GetTicks())) * 0.0001 * speed_;
        const uint32_t colour = uint32_t(out.alpha) << 24 | 0xFFFFFFu;
        for (const pf::DisplayVertex& v : baseVertices_) {
            pf::DisplayVertex d = v;
            const float phase1 = float(v.y * 10.0 + (v.x / scale_) * 13.0 * 6.2831 + t);
            d.x = float(std::sin(phase1) * amplitude_ + v.x);
            const float phase2 = float(d.x * 10.0 + (v.y / scale_) * 11.0 * 6.2831 + t);
            d.y = float(std::cos(phase2) * amplitude_ + v.y);
            d.color = colour;
            frameVertices_.push_back(d);
        }
        if (!frameVertices_.empty())
            out.display->DrawTriangles(frameVertices_.data(), int(frameVertices_.size()),
                                       int(frameVertices_.size() / 3), texture.get());
    }
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}
