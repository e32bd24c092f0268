#include "shell/CellSurface.h"

#include <cstdint>

namespace pf {

PixelFormat CellSurface::GetFormat() const {
    return source_ ? source_->GetFormat() : PixelFormat::Default;
}

bool CellSurface::Map(const Rect* rect, Rect& mapped) const {
    if (!rect) {
        mapped = cell_;
        return true;
    }
    const int64_t x = int64_t(rect->x) + cell_.x, y = int64_t(rect->y) + cell_.y;
    // A position beyond the int range lies in no surface.
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return false;
    mapped = Rect(int(x), int(y), rect->width, rect->height);
    return true;
}

void CellSurface::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    Rect mapped;
    if (source_ && Map(rect, mapped)) source_->Lock(mode, &mapped, pitch, bits);
}

void CellSurface::Unlock() {
    if (source_) source_->Unlock();
}

void CellSurface::Draw(Display* display, const Rect* source, const Rect* destination) {
    Rect mapped;
    if (source_ && Map(source, mapped)) source_->Draw(display, &mapped, destination);
}

}  // namespace pf
