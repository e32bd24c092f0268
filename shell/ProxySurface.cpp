#include "shell/ProxySurface.h"

namespace pf {

void ProxySurface::SetSurface(Surface* surface) {
    inner_ = surface;
    if (surface) {
        width_ = surface->GetWidth();
        height_ = surface->GetHeight();
        format_ = surface->GetFormat();
    }
}

void ProxySurface::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    if (inner_) inner_->Lock(mode, rect, pitch, bits);
}

void ProxySurface::Unlock() {
    if (inner_) inner_->Unlock();
}

void ProxySurface::Draw(Display* display, const Rect* source, const Rect* destination) {
    if (inner_) inner_->Draw(display, source, destination);
}

}  // namespace pf
