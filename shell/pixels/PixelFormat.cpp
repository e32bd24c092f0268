#include "shell/pixels/PixelFormat.h"

namespace pf {

int BytesPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::A8: return 1;
    case PixelFormat::B8G8R8: return 3;
    case PixelFormat::R5G6B5:
    case PixelFormat::A4R4G4B4:
    case PixelFormat::R4G4B4A4:
    case PixelFormat::A1R5G5B5:
    case PixelFormat::R5G5B5A1: return 2;
    default: return 4;
    }
}

}  // namespace pf
