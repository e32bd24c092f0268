#include "shell/pixels/Surface.h"

namespace pf {

PixelView LockView(Surface* surface, const Rect* rect, bool read, bool write) {
    PixelView view;
    if (!surface) return view;
    const Rect area = rect ? *rect : Rect(0, 0, surface->GetWidth(), surface->GetHeight());
    int pitch = 0;
    uint8_t* bits = nullptr;
    surface->Lock((read ? LockRead : 0) | (write ? LockWrite : 0), &area, pitch, bits);
    const PixelFormat format = surface->GetFormat();
    return view.Set(area.width, area.height, BytesPerPixel(format), bits ? pitch : 0, format, bits);
}

bool RectInside(const Rect& rect, int width, int height) {
    return rect.x >= 0 && rect.y >= 0 && rect.width >= 0 && rect.height >= 0 &&
           int64_t(rect.x) + rect.width <= width && int64_t(rect.y) + rect.height <= height;
}

bool IsPowerOfTwo(int n) { return n >= 2 && (n & (n - 1)) == 0; }

}  // namespace pf
