#include "shell/CellSurface.h"

namespace pf {

PixelFormat CellSurface::GetFormat() const {
    return source_ ? source_->GetFormat() : PixelFormat::Default;
}

Rect CellSurface::Map(const Rect* rect) const {
    if (!rect) return cell_;
    return Rect(rect->x + cell_.x, rect->y + cell_.y, rect->width, rect->height);
}

void CellSurface::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    if (!source_) return;
    const Rect mapped = Map(rect);
    source_->Lock(mode, &mapped, pitch, bits);
}

void CellSurface::Unlock() {
    if (source_) source_->Unlock();
}

void CellSurface::Draw(Display* display, const Rect* source, const Rect* destination) {
    if (!source_) return;
    const Rect mapped = Map(source);
    source_->Draw(display, &mapped, destination);
}

}  // namespace pf
