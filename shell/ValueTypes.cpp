#include "shell/ValueTypes.h"

#include <algorithm>
#include <cstdlib>

namespace pf {

bool Point::IsNear(const Point& o, int tolerance) const {
    // Wide: the difference of two ints need not fit in one.
    return std::llabs(static_cast<long long>(o.x) - x) < tolerance &&
           std::llabs(static_cast<long long>(o.y) - y) < tolerance;
}

bool Rect::Intersects(const Rect& o) const {
    return o.x + o.width >= x && x + width >= o.x && o.y + o.height >= y && y + height >= o.y;
}

bool Rect::Intersect(const Rect& o) const {
    const int columns = std::min(GetRight(), o.GetRight()) - std::max(x, o.x);
    const int rows = std::min(GetBottom(), o.GetBottom()) - std::max(y, o.y);
    return columns > 0 && rows > 0;
}

void Rect::Clip(const Rect& o) {
    const int right = std::min(GetRight(), o.GetRight());
    const int bottom = std::min(GetBottom(), o.GetBottom());
    x = std::max(x, o.x);
    y = std::max(y, o.y);
    width = right - x + 1;
    height = bottom - y + 1;
}

void Rect::Intersection(const Rect& o) {
    if (o.IsEmpty()) return;
    if (Intersects(o)) {
        Clip(o);
    } else {
        width = 0;
        height = 0;
    }
}

void Rect::Union(const Rect& o) {
    const int right = std::max(GetRight(), o.GetRight());
    const int bottom = std::max(GetBottom(), o.GetBottom());
    x = std::min(x, o.x);
    y = std::min(y, o.y);
    width = right - x + 1;
    height = bottom - y + 1;
}

}  // namespace pf
