// A rectangle of pixels in memory (never owned) and the operations between such views.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/pixels/PixelFormat.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {

using std::ptrdiff_t;

struct PixelView {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;  // step from one pixel to the next in a row
    int32_t pitch = 0;          // step in bytes from one row to the next
    uint8_t* data = nullptr;    // the top-left pixel; may be null
    PixelFormat format = PixelFormat::Default;

    PixelView& Set(int w, int h, int bpp, int rowPitch, PixelFormat fmt, uint8_t* bits) {
        width = w;
        height = h;
        bytesPerPixel = bpp;
        pitch = rowPitch;
        format = fmt;
        data = bits;
        return *this;
    }
};

// A w x h view at (x, y) of src; callers pass rectangles inside the source.
PixelView SubView(const PixelView& src, int x, int y, int w, int h);
// Block copy between views of one format; the source's size decides. Nothing happens when
// either view has no data or the formats differ.
void CopyView(const PixelView& src, PixelView& dst);
// Pixel-by-pixel conversion between views of equal size. Unsupported pairs (source 0 or 6,
// destination 0, 1, 2 or 6), unequal sizes or missing data leave dst untouched.
void ConvertView(const PixelView& src, PixelView& dst);
// CopyView when both formats are equal, else ConvertView.
void CopyOrConvertView(const PixelView& src, PixelView& dst);
// The pixel's colour; formats without a decoder (0, 6 and unknown ids) read as 0, 0, 0, 0.
Color ReadPixelColor(const uint8_t* pixel, PixelFormat format);
// Sets the alpha (0..255) of every pixel; formats without alpha stay unchanged.
void FillAlpha(PixelView& view, int alpha);

}  // namespace pf
