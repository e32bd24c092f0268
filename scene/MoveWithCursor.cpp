#include "scene/MoveWithCursor.h"

#include <algorithm>

#include "scene/Item.h"
#include "scene/ScreenSize.h"
#include "shell/Application.h"
#include "shell/foundation/TextHelpers.h"

namespace {
CursorPositionSource g_cursorSource = nullptr;

// a - b per coordinate, held at the int range: offsets and positions may lie anywhere in it.
pf::Point Difference(const pf::Point& a, const pf::Point& b) {
    return pf::Point(pf::SaturateToInt(int64_t(a.x) - b.x), pf::SaturateToInt(int64_t(a.y) - b.y));
}
}  // namespace

void SetCursorPositionSource(CursorPositionSource source) { g_cursorSource = source; }

pf::Point GetCursorPosition() { return g_cursorSource ? g_cursorSource() : pf::GetMousePosition(); }

MoveWithCursor::MoveWithCursor() : MoveWithCursor(pf::Rect(0, 0, GetGameScreenWidth(), GetGameScreenHeight())) {}

MoveWithCursor::MoveWithCursor(const pf::Rect& confines) : confines_(confines) { SetName(L"MoveWithCursor"); }

pf::Point MoveWithCursor::CursorInParent(const Item& client) const {
    return ConvertPointBetweenSpaces(&client, GetCursorPosition(), CoordRoot, CoordParent);
}

void MoveWithCursor::Start() {
    Item* client = GetClient();
    if (!client) return;
    offset_ = keepOffset_ ? Difference(CursorInParent(*client), client->GetPosition()) : pf::Point();
}

void MoveWithCursor::Cycle() {
    Item* client = GetClient();
    if (!client || !client->GetParent()) return;
    pf::Point p = Difference(CursorInParent(*client), offset_);
    if (useConfines_) {
        // Widened so confines at the edge of the int range cannot overflow.
        const long long right = static_cast<long long>(confines_.x) + confines_.width;
        const long long bottom = static_cast<long long>(confines_.y) + confines_.height;
        p.x = static_cast<int>(std::max<long long>(confines_.x, std::min<long long>(p.x, right)));
        p.y = static_cast<int>(std::max<long long>(confines_.y, std::min<long long>(p.y, bottom)));
    }
    client->SetPosition(p);
}

bool MoveWithCursor::SetProperty(const std::wstring& name, const std::wstring& value) {
    if (name == L"confines") {
        SetConfines(pf::ToRect(value));
    } else if (name == L"offset") {
        SetOffset(pf::ToPoint(value));
    } else {
        return false;
    }
    return true;
}
