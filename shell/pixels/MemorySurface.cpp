#include "shell/pixels/MemorySurface.h"

#include <cstdint>

#include "shell/foundation/Log.h"

namespace pf {

MemorySurface::MemorySurface(int width, int height) {
    Init(width, height, 4, PixelFormat::A8R8G8B8);
}

MemorySurface::MemorySurface(const PixelView& image) {
    // The copy writes every byte of a view that has pixels; one without (no data, as a
    // view of an empty or unlocked surface) gives a cleared surface of its size.
    if (image.data)
        InitUnfilled(image.width, image.height, image.bytesPerPixel, image.format);
    else
        Init(image.width, image.height, image.bytesPerPixel, image.format);
    CopyView(image, view_);
}

int MemorySurface::Init(int width, int height, int bytesPerPixel, PixelFormat format) {
    return Resize(width, height, bytesPerPixel, format, true);
}

int MemorySurface::InitUnfilled(int width, int height, int bytesPerPixel, PixelFormat format) {
    return Resize(width, height, bytesPerPixel, format, false);
}

int MemorySurface::Resize(int width, int height, int bytesPerPixel, PixelFormat format, bool clear) {
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (bytesPerPixel < 0) bytesPerPixel = 0;
    if (int64_t(width) * bytesPerPixel > INT32_MAX) {
        // The pitch is an int: such a surface cannot be described, so it stays empty.
        DebugStream() << "MemorySurface: refusing a surface of " << width << "x" << height << " with "
                      << bytesPerPixel << " bytes a pixel";
        width = height = bytesPerPixel = 0;
    }
    const int pitch = width * bytesPerPixel;
    // Cleared: every byte is 0 afterwards, whether the buffer grew, shrank or stayed.
    if (clear)
        buffer_.assign(size_t(pitch) * size_t(height), 0);
    else
        buffer_.resize(size_t(pitch) * size_t(height));
    view_.Set(width, height, bytesPerPixel, pitch, format, buffer_.empty() ? nullptr : buffer_.data());
    return pitch;
}

void MemorySurface::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    if (!view_.data) return;
    if (rect && !RectInside(*rect, view_.width, view_.height)) return;
    pitch = view_.pitch;
    bits = rect ? view_.data + ptrdiff_t(rect->y) * view_.pitch + ptrdiff_t(rect->x) * view_.bytesPerPixel
                : view_.data;
}

}  // namespace pf
