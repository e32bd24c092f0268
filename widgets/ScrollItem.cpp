#include "widgets/ScrollItem.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "content/ResID.h"
#include "shell/Display.h"

ScrollItem::ScrollItem() { SetName(L"ScrollItem"); }

ScrollItem::~ScrollItem() = default;

pf::Rect ScrollItem::UpdateContentBounds() {
    pf::Rect bounds = ConvertRectBetweenSpaces(this, pf::Rect(), CoordSelf, CoordRoot);
    GetChildrenRect(bounds, true);
    contentBounds_ = bounds;
    return contentBounds_;
}

bool ScrollItem::IsScrollable() {
    Item* parent = GetParent();
    if (!parent) return false;
    UpdateContentBounds();
    return parent->GetHeight() < contentBounds_.height;
}

bool ScrollItem::CanScrollX() const { return GetClipRect().width < contentBounds_.width; }
bool ScrollItem::CanScrollY() const { return GetClipRect().height < contentBounds_.height; }

pf::Rect ScrollItem::GetClipRect() const {
    pf::Rect r = Item::GetClipRect();
    r.MoveRelative(pf::Point(-scrollOffset_.x, -scrollOffset_.y));
    return r;
}

void ScrollItem::ScrollTo(double fx, double fy) {
    UpdateContentBounds();
    Item* parent = GetParent();
    const int parentWidth = parent ? parent->GetWidth() : 0, parentHeight = parent ? parent->GetHeight() : 0;
    // In double: sizes at the int limits must not overflow the spans or the offset.
    const double dx = std::max(0.0, double(contentBounds_.width) - parentWidth);
    const double dy = std::max(0.0, double(contentBounds_.height) - parentHeight);
    const pf::Point corner = parent ? parent->GetClipRect().GetTopLeft() : pf::Point();
    // A fraction that is not a number scrolls nowhere; the offsets stay in int range.
    auto offset = [](int from, double span, double f) {
        const double shift = std::isfinite(f) ? std::trunc(std::clamp(span * f, -1e9, 1e9)) : 0.0;
        return int(std::clamp(from - shift, double(INT_MIN), double(INT_MAX)));
    };
    scrollOffset_ = pf::Point(offset(corner.x, dx, fx), offset(corner.y, dy, fy));
    SetPosition(scrollOffset_);
}

bool ScrollItem::SetProperty(const std::wstring& key, const std::wstring& value) {
    if (key == L"lineSize") {
        SetLineSize(WToI(value));
    } else if (key == L"pageSize") {
        SetPageSize(WToI(value));
    } else {
        return Item::SetProperty(key, value);
    }
    return true;
}

void ScrollItem::Draw(const RenderState& in) {
    if (Item* parent = GetParent(); parent && in.display) {
        const pf::Rect clip = ConvertRectBetweenSpaces(
            parent, pf::Rect(0, 0, parent->GetWidth(), parent->GetHeight()), CoordSelf, CoordRoot);
        in.display->SetClipRect(&clip);
    }
    Item::Draw(in);
    if (in.display) in.display->SetClipRect(nullptr);
}
