// A placeholder of known size that forwards to an inner surface once one is set.
#pragma once

#include "shell/pixels/Surface.h"

namespace pf {

class ProxySurface : public Surface {
public:
    ProxySurface(int width, int height) : width_(width), height_(height) {}

    // Not counted: the owner of the inner surface clears or replaces it. A non-null
    // surface gives the proxy its width, height and format.
    void SetSurface(Surface* surface);
    Surface* GetSurface() const { return inner_; }

    int GetWidth() const override { return width_; }
    int GetHeight() const override { return height_; }
    PixelFormat GetFormat() const override { return format_; }
    // Without an inner surface the lock fails (pitch 0, bits null).
    void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override;
    void Draw(Display* display, const Rect* source, const Rect* destination) override;

private:
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::A8R8G8B8;
    Surface* inner_ = nullptr;
};

}  // namespace pf
