#include "shell/platform/ImageCodec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "shell/Log.h"

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
    if (size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6')) return ImageKind::Pnm;
    return ImageKind::Unknown;
}

namespace {

void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

bool SaveDds(const std::string& utf8Path, const PixelView& image) {
    if (!image.data || image.width <= 0 || image.height <= 0 ||
        image.format != PixelFormat::A8R8G8B8 || image.bytesPerPixel != 4) {
        DebugStream() << "DDS: nothing to save to \"" << utf8Path << "\"";
        return false;
    }
    // "DDS ", then the 124-byte header with its 32-byte pixel format: 32-bit RGB with
    // alpha, masks for bytes b, g, r, a; one level.
    std::vector<uint8_t> header;
    header.insert(header.end(), {'D', 'D', 'S', ' '});
    PutLE32(header, 124);
    PutLE32(header, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, format
    PutLE32(header, uint32_t(image.height));
    PutLE32(header, uint32_t(image.width));
    PutLE32(header, uint32_t(image.width) * 4);
    PutLE32(header, 0);                                // depth
    PutLE32(header, 0);                                // mip levels
    for (int i = 0; i < 11; ++i) PutLE32(header, 0);   // reserved
    PutLE32(header, 32);
    PutLE32(header, 0x1 | 0x40);                       // alpha pixels, RGB
    PutLE32(header, 0);                                // no four-cc
    PutLE32(header, 32);
    PutLE32(header, 0x00FF0000);
    PutLE32(header, 0x0000FF00);
    PutLE32(header, 0x000000FF);
    PutLE32(header, 0xFF000000);
    PutLE32(header, 0x1000);                           // texture
    for (int i = 0; i < 4; ++i) PutLE32(header, 0);    // caps 2 to 4, reserved
    FILE* file = std::fopen(utf8Path.c_str(), "wb");
    if (!file) {
        DebugStream() << "DDS: cannot create \"" << utf8Path << "\": " << std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    const size_t rowBytes = size_t(image.width) * 4;
    for (int y = 0; ok && y < image.height; ++y)
        ok = std::fwrite(image.data + ptrdiff_t(y) * image.pitch, 1, rowBytes, file) == rowBytes;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        DebugStream() << "DDS: cannot write \"" << utf8Path << "\"";
        std::remove(utf8Path.c_str());
    }
    return ok;
}

}  // namespace pf
