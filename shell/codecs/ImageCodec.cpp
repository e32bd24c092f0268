#include "shell/codecs/ImageCodec.h"

#include <cstring>

#include "shell/foundation/Log.h"

namespace pf {

bool CheckImageSize(const char* codec, int64_t width, int64_t height) {
    if (width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
        width * height <= kMaxImagePixels)
        return true;
    DebugStream() << codec << ": refusing an image of " << width << "x" << height << " pixels";
    return false;
}

ImageKind SniffImage(const uint8_t* data, size_t size) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    static const uint8_t jp2[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    static const uint8_t j2k[4] = {0xFF, 0x4F, 0xFF, 0x51};
    if (!data) return ImageKind::Unknown;
    auto starts = [&](const uint8_t* magic, size_t n) {
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (starts(png, sizeof png)) return ImageKind::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageKind::Jpeg;
    if (starts(jp2, sizeof jp2) || starts(j2k, sizeof j2k)) return ImageKind::Jpeg2000;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageKind::Bmp;
    if (size >= 2 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' && data[1] != '4')
        return ImageKind::Pnm;
    if (starts(reinterpret_cast<const uint8_t*>("DDS "), 4)) return ImageKind::Dds;
    return ImageKind::Unknown;
}

bool CheckSavable(const char* codec, const std::string& utf8Path, const PixelView& image) {
    if (image.data && image.width > 0 && image.height > 0 && image.format == PixelFormat::A8R8G8B8 &&
        image.bytesPerPixel == 4)
        return true;
    DebugStream() << codec << ": nothing to save to \"" << utf8Path << "\"";
    return false;
}

void InitDecoded(MemorySurface& out, int width, int height, DecodeOrder order) {
    out.Init(width, height, 4, order == DecodeOrder::BGRA ? PixelFormat::A8R8G8B8 : PixelFormat::A8B8G8R8);
}

}  // namespace pf
