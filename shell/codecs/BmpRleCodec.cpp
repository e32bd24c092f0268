// Run-length compressed BMP (RLE8, RLE4), which stb_image does not read.
#include <algorithm>
#include <vector>

#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kRle8 = 1, kRle4 = 2;

uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t LE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Expands the runs into palette indices, bottom row first as stored. Pixels the runs
// skip (by a jump or an early end of line or of the image) keep index 0. False when the
// data ends before the image does.
bool ExpandRuns(const uint8_t* p, const uint8_t* end, bool fourBits, int64_t width, int64_t height,
                std::vector<uint8_t>& indices) {
    int64_t x = 0, y = 0;
    auto put = [&](uint8_t index) {
        if (x < width && y < height) indices[size_t(y * width + x)] = index;
        ++x;
    };
    while (y < height) {
        if (end - p < 2) return false;
        const uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {  // a run of one index, or for 4 bits two alternating ones
            for (int i = 0; i < count; ++i) put(fourBits ? uint8_t(i & 1 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of image
            return true;
        } else if (value == 2) {  // jump right and up
            if (end - p < 2) return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else {  // `value` literal indices, padded to an even number of bytes
            const size_t bytes = fourBits ? (size_t(value) + 1) / 2 : value;
            if (size_t(end - p) < bytes) return false;
            for (int i = 0; i < value; ++i)
                put(fourBits ? uint8_t(i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += std::min(size_t(end - p), bytes + (bytes & 1));
        }
    }
    return true;
}

}  // namespace

bool IsRunLengthBmp(const uint8_t* data, size_t size) {
    if (!data || size < kFileHeaderBytes + 20 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t compression = LE32(data + kFileHeaderBytes + 16);
    return LE32(data + kFileHeaderBytes) >= 40 && (compression == kRle8 || compression == kRle4);
}

bool DecodeBmpRle(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order) {
    auto fail = [](const char* why) {
        DebugStream() << "BMP: cannot decode the image: " << why;
        return false;
    };
    if (!IsRunLengthBmp(data, size)) return fail("not a run-length compressed BMP file");
    if (size < kFileHeaderBytes + 40) return fail("the file is truncated");
    const uint8_t* info = data + kFileHeaderBytes;
    const uint32_t infoBytes = LE32(info);
    const int64_t width = int32_t(LE32(info + 4));
    const int64_t signedHeight = int32_t(LE32(info + 8));
    const uint32_t bits = LE16(info + 14);
    const bool fourBits = LE32(info + 16) == kRle4;
    if (bits != (fourBits ? 4u : 8u)) return fail("the bits per pixel do not match the compression");
    const int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (!CheckImageSize("BMP", width, height)) return false;
    const uint32_t maxColours = 1u << bits;
    uint32_t colours = LE32(info + 32);
    if (colours == 0) colours = maxColours;
    if (colours > maxColours) return fail("the palette is too large");
    const uint64_t paletteAt = kFileHeaderBytes + uint64_t(infoBytes);
    const uint64_t pixelsAt = LE32(data + 10);
    if (paletteAt + 4 * uint64_t(colours) > size || pixelsAt >= size) return fail("the file is truncated");

    std::vector<uint8_t> indices(size_t(width * height), 0);
    if (!ExpandRuns(data + pixelsAt, data + size, fourBits, width, height, indices))
        return fail("the file is truncated");
    // Palette entries are b, g, r, unused; an index past the palette reads black.
    uint8_t palette[256][3] = {};
    for (uint32_t i = 0; i < colours; ++i)
        for (int k = 0; k < 3; ++k) palette[i][k] = data[paletteAt + 4 * i + size_t(k)];
    MemorySurface decoded;
    InitDecoded(decoded, int(width), int(height), order);
    const PixelView view = decoded.GetView();
    for (int64_t row = 0; row < height; ++row) {
        // Rows are stored bottom up unless the height is negative.
        const int64_t stored = signedHeight < 0 ? row : height - 1 - row;
        const uint8_t* index = indices.data() + stored * width;
        uint8_t* d = view.data + row * view.pitch;
        for (int64_t x = 0; x < width; ++x, d += 4) {
            const uint8_t* c = palette[index[x]];
            PutPixel(d, order, c[2], c[1], c[0], 255);
        }
    }
    out.Swap(decoded);
    return true;
}

}  // namespace pf
