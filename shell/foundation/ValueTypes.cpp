#include "shell/foundation/ValueTypes.h"

#include <algorithm>
#include <cstdlib>

namespace pf {

bool Point::IsNear(const Point& o, int tolerance) const {
    // Wide: the difference of two ints need not fit in one.
    return std::llabs(static_cast<long long>(o.x) - x) < tolerance &&
           std::llabs(static_cast<long long>(o.y) - y) < tolerance;
}

bool Rect::Intersects(const Rect& o) const {
    return int64_t(o.x) + o.width >= x && int64_t(x) + width >= o.x && int64_t(o.y) + o.height >= y &&
           int64_t(y) + height >= o.y;
}

bool Rect::Intersect(const Rect& o) const {
    const int64_t columns = int64_t(std::min(GetRight(), o.GetRight())) - std::max(x, o.x);
    const int64_t rows = int64_t(std::min(GetBottom(), o.GetBottom())) - std::max(y, o.y);
    return columns > 0 && rows > 0;
}

void Rect::Clip(const Rect& o) {
    const int right = std::min(GetRight(), o.GetRight());
    const int bottom = std::min(GetBottom(), o.GetBottom());
    x = std::max(x, o.x);
    y = std::max(y, o.y);
    width = SaturateToInt(int64_t(right) - x + 1);
    height = SaturateToInt(int64_t(bottom) - y + 1);
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
    width = SaturateToInt(int64_t(right) - x + 1);
    height = SaturateToInt(int64_t(bottom) - y + 1);
}

}  // namespace pf
