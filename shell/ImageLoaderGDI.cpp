#include "shell/ImageLoaderGDI.h"

#include "shell/Log.h"
#include "shell/TextHelpers.h"
#include "shell/platform/ImageCodec.h"

namespace pf {

bool ImageLoaderGDI::Load(MemorySurface& out, const void* data, int size, PixelFormat format) {
    if (!data || size <= 0) {
        DebugStream() << "PNG: no image data";
        return false;
    }
    return DecodePng(static_cast<const uint8_t*>(data), size_t(size), out, DecodeOrder::BGRA);
}

bool ImageLoaderGDI::Save(const wchar_t* path, int fileType, const PixelView& image) {
    if (!path) return false;
    return SavePng(ToUtf8(path), image);
}

}  // namespace pf
