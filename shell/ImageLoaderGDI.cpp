#include "shell/ImageLoaderGDI.h"

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

bool ImageLoaderGDI::Load(MemorySurface& out, const void* data, int size, PixelFormat, FormatChecksums checksums) {
    if (!data || size <= 0) {
        DebugStream() << "PNG: no image data";
        return false;
    }
    return DecodePng(static_cast<const uint8_t*>(data), size_t(size), out, DecodeOrder::BGRA, checksums);
}

bool ImageLoaderGDI::Save(const wchar_t* path, int fileType, const PixelView& image) {
    if (!path) return false;
    return SavePng(ToUtf8(path), image);
}

}  // namespace pf
