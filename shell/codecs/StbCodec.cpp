// BMP and TGA through stb_image, compiled here with only those decoders.
// stb_image keeps its failure reason in thread-local storage, and nothing here sets its
// global options, so loads may run on several threads at once.
#include <cstdlib>
#include <cstring>

#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS pf::kMaxImageSide
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pf {

namespace {

// The bytes are handed to stb_image through callbacks so that a decoder asking for more
// than the file holds is noticed: stb_image itself would read zeros past the end.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool overrun = false;
};

int Read(void* user, char* out, int wanted) {
    auto* r = static_cast<Reader*>(user);
    const size_t left = r->size - r->pos;
    if (wanted > 0 && left == 0) r->overrun = true;
    const size_t n = std::min(left, size_t(wanted > 0 ? wanted : 0));
    std::memcpy(out, r->data + r->pos, n);
    r->pos += n;
    return int(n);
}

void Skip(void* user, int n) {
    auto* r = static_cast<Reader*>(user);
    if (n < 0) {
        r->pos -= std::min(r->pos, size_t(-int64_t(n)));
        return;
    }
    if (size_t(n) > r->size - r->pos) {
        r->overrun = true;
        r->pos = r->size;
    } else {
        r->pos += size_t(n);
    }
}

int AtEnd(void* user) {
    auto* r = static_cast<Reader*>(user);
    return r->pos >= r->size;
}

}  // namespace

bool DecodeStb(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order) {
    if (!data || size == 0 || size > size_t(INT32_MAX)) {
        DebugStream() << "Image: cannot decode the image: no data";
        return false;
    }
    Reader reader{data, size};
    const stbi_io_callbacks io = {Read, Skip, AtEnd};
    int width = 0, height = 0, channels = 0;
    // The size comes from the header first: stb_image decodes a short file to its end with
    // zeros, so a few bytes claiming a huge image would otherwise cost the whole decode.
    if (!stbi_info_from_callbacks(&io, &reader, &width, &height, &channels)) {
        DebugStream() << "Image: cannot decode the image: " << stbi_failure_reason();
        return false;
    }
    // A top-down BMP answers its height negative here.
    if (!CheckImageSize("Image", std::abs(int64_t(width)), std::abs(int64_t(height)))) return false;
    // No layout read here packs 64 pixels into less than a byte (1-bit BMP rows: 8 a byte;
    // TGA run-length packets: 128 pixels in at least 2 bytes).
    if (int64_t(size) < std::abs(int64_t(width) * height) / 64) {
        DebugStream() << "Image: cannot decode the image: the file is truncated";
        return false;
    }
    reader = Reader{data, size};
    // Pixels come in the file's own channel count and are expanded here.
    stbi_uc* pixels = stbi_load_from_callbacks(&io, &reader, &width, &height, &channels, 0);
    if (!pixels) {
        DebugStream() << "Image: cannot decode the image: " << stbi_failure_reason();
        return false;
    }
    if (reader.overrun || channels < 1 || channels > 4) {
        stbi_image_free(pixels);
        DebugStream() << "Image: cannot decode the image: "
                      << (reader.overrun ? "the file is truncated" : "unsupported channel count");
        return false;
    }
    if (!CheckImageSize("Image", width, height)) {
        stbi_image_free(pixels);
        return false;
    }
    MemorySurface decoded;
    decoded.Init(width, height, 4,
                 order == DecodeOrder::BGRA ? PixelFormat::A8R8G8B8 : PixelFormat::A8B8G8R8);
    uint8_t* d = decoded.GetView().data;
    const size_t count = size_t(width) * size_t(height);
    const int ri = order == DecodeOrder::BGRA ? 2 : 0, bi = 2 - ri;
    const uint8_t* s = pixels;
    for (size_t i = 0; i < count; ++i, s += channels, d += 4) {
        const bool grey = channels < 3;
        d[ri] = s[0];
        d[1] = grey ? s[0] : s[1];
        d[bi] = grey ? s[0] : s[2];
        d[3] = channels == 2 ? s[1] : channels == 4 ? s[3] : 255;
    }
    stbi_image_free(pixels);
    out.Swap(decoded);
    return true;
}

}  // namespace pf
