// Pixel format ids and their sizes.
#pragma once

#include <cstdint>

namespace pf {

// Names are written most significant component first; multi-byte pixels are little-endian.
// Any other integer may travel in a PixelFormat (it converts to nothing and is 4 bytes wide).
enum class PixelFormat : int32_t {
    Default = 0,    // no layout of its own; readers take it as A8R8G8B8
    A8 = 1,         // one byte: alpha
    L8 = 2,         // byte 0 of each pixel: intensity; the view's bytesPerPixel steps
    A8R8G8B8 = 3,   // bytes b, g, r, a
    A8B8G8R8 = 4,   // bytes r, g, b, a (the byte order of Color)
    B8G8R8 = 5,     // bytes r, g, b
    X8R8G8B8 = 6,   // bytes b, g, r, unused
    R5G6B5 = 7,     // r 15-11, g 10-5, b 4-0
    A4R4G4B4 = 8,   // a 15-12, r 11-8, g 7-4, b 3-0
    R4G4B4A4 = 9,   // r 15-12, g 11-8, b 7-4, a 3-0
    A1R5G5B5 = 10,  // a 15, r 14-10, g 9-5, b 4-0
    R5G5B5A1 = 11,  // r 15-11, g 10-6, b 5-1, a 0
};

// 1 for A8, 3 for B8G8R8, 2 for ids 7 to 11, 4 for every other value (L8 included).
int BytesPerPixel(PixelFormat format);

}  // namespace pf
