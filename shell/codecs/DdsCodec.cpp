// DDS files: reading uncompressed and DXT1/3/5 textures, writing uncompressed 32-bit ones.
#include <cerrno>
#include <cstring>
#include <vector>

#include "shell/foundation/Log.h"
#include "shell/platform/AtomicWrite.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

namespace {

// Offsets in the file: the "DDS " magic, then the 124-byte header with its 32-byte pixel
// format at 76.
constexpr size_t kHeaderBytes = 128;
constexpr size_t kFlagsAt = 8, kHeightAt = 12, kWidthAt = 16, kDepthAt = 24;
constexpr size_t kFormatFlagsAt = 80, kFourCcAt = 84, kBitCountAt = 88, kMasksAt = 92;
constexpr size_t kCaps2At = 112;

constexpr uint32_t kHeaderDepth = 0x800000;
constexpr uint32_t kAlphaPixels = 0x1, kFourCc = 0x4, kRgb = 0x40, kLuminance = 0x20000;
constexpr uint32_t kCubeMap = 0x200, kVolume = 0x200000;

uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t LE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// One channel of an uncompressed pixel, described by its bit mask.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // the mask shifted down: all ones
    // False for a mask whose bits are not one contiguous run.
    bool Set(uint32_t m) {
        mask = m;
        if (!m) return true;
        shift = __builtin_ctz(m);
        max = m >> shift;
        return (max & (max + 1)) == 0;
    }
    // The channel scaled to 0..255 (rounded), or `absent` when the format has none.
    uint8_t Read(uint32_t pixel, uint8_t absent) const {
        if (!mask) return absent;
        const uint32_t v = (pixel & mask) >> shift;
        return uint8_t((uint64_t(v) * 255 + max / 2) / max);
    }
};

bool DecodeUncompressed(const uint8_t* header, const uint8_t* pixels, size_t available, int width,
                        int height, MemorySurface& out, DecodeOrder order, const char*& why) {
    const uint32_t formatFlags = LE32(header + kFormatFlagsAt);
    const uint32_t bits = LE32(header + kBitCountAt);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        why = "unsupported bits per pixel";
        return false;
    }
    Channel r, g, b, a;
    const uint8_t* m = header + kMasksAt;
    const bool luminance = (formatFlags & kLuminance) != 0;
    bool masksOk = r.Set(LE32(m)) && (luminance || (g.Set(LE32(m + 4)) && b.Set(LE32(m + 8))));
    if (formatFlags & kAlphaPixels) masksOk = masksOk && a.Set(LE32(m + 12));
    const uint64_t all = bits == 32 ? 0xFFFFFFFFu : (uint64_t(1) << bits) - 1;
    if (!masksOk || !r.mask || (uint64_t(r.mask | g.mask | b.mask | a.mask) & ~all)) {
        why = "the pixel format's masks are malformed";
        return false;
    }
    const size_t bytesPerPixel = bits / 8;
    const size_t count = size_t(width) * size_t(height);
    if (available / bytesPerPixel < count) {
        why = "the file is truncated";
        return false;
    }
    InitDecoded(out, width, height, order);
    uint8_t* d = out.GetView().data;
    for (size_t i = 0; i < count; ++i, pixels += bytesPerPixel, d += 4) {
        uint32_t p = 0;
        for (size_t k = 0; k < bytesPerPixel; ++k) p |= uint32_t(pixels[k]) << (8 * k);
        const uint8_t red = r.Read(p, 0);
        PutPixel(d, order, red, luminance ? red : g.Read(p, 0), luminance ? red : b.Read(p, 0), a.Read(p, 255));
    }
    return true;
}

// The four colours of a DXT colour block (r, g, b, a each). DXT1 blocks whose first colour
// is not the larger have three colours and transparent black.
void BlockColours(const uint8_t* block, bool threeColourMode, uint8_t colours[4][4]) {
    const uint16_t c0 = LE16(block), c1 = LE16(block + 2);
    for (int i = 0; i < 2; ++i) {
        const uint16_t c = i ? c1 : c0;
        const int r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
        colours[i][0] = uint8_t(r5 << 3 | r5 >> 2);
        colours[i][1] = uint8_t(g6 << 2 | g6 >> 4);
        colours[i][2] = uint8_t(b5 << 3 | b5 >> 2);
        colours[i][3] = 255;
    }
    const bool four = !threeColourMode || c0 > c1;
    for (int k = 0; k < 3; ++k) {
        const int x = colours[0][k], y = colours[1][k];
        colours[2][k] = uint8_t(four ? (2 * x + y) / 3 : (x + y) / 2);
        colours[3][k] = uint8_t(four ? (x + 2 * y) / 3 : 0);
    }
    colours[2][3] = 255;
    colours[3][3] = four ? 255 : 0;
}

// The sixteen alpha values of a DXT5 alpha block, in pixel order.
void InterpolatedAlpha(const uint8_t* block, uint8_t alpha[16]) {
    const int a0 = block[0], a1 = block[1];
    uint64_t codes = 0;
    for (int i = 0; i < 6; ++i) codes |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        const int code = int(codes >> (3 * i)) & 7;
        int v;
        if (code == 0) v = a0;
        else if (code == 1) v = a1;
        else if (a0 > a1) v = ((8 - code) * a0 + (code - 1) * a1) / 7;
        else if (code == 6) v = 0;
        else if (code == 7) v = 255;
        else v = ((6 - code) * a0 + (code - 1) * a1) / 5;
        alpha[i] = uint8_t(v);
    }
}

enum class Dxt { One, Three, Five };

bool DecodeBlocks(Dxt kind, const uint8_t* blocks, size_t available, int width, int height,
                  MemorySurface& out, DecodeOrder order, const char*& why) {
    const size_t blockBytes = kind == Dxt::One ? 8 : 16;
    const size_t across = (size_t(width) + 3) / 4, down = (size_t(height) + 3) / 4;
    if (available / blockBytes < across * down) {
        why = "the file is truncated";
        return false;
    }
    InitDecoded(out, width, height, order);
    const PixelView view = out.GetView();
    for (size_t by = 0; by < down; ++by) {
        for (size_t bx = 0; bx < across; ++bx, blocks += blockBytes) {
            uint8_t alpha[16];
            const uint8_t* colourBlock = blocks;
            if (kind == Dxt::Three) {
                for (int i = 0; i < 16; ++i) alpha[i] = uint8_t(17 * ((blocks[i / 2] >> (4 * (i & 1))) & 15));
                colourBlock += 8;
            } else if (kind == Dxt::Five) {
                InterpolatedAlpha(blocks, alpha);
                colourBlock += 8;
            }
            uint8_t colours[4][4];
            BlockColours(colourBlock, kind == Dxt::One, colours);
            const uint32_t indices = LE32(colourBlock + 4);
            for (size_t j = 0; j < 4 && by * 4 + j < size_t(height); ++j) {
                uint8_t* row = view.data + (by * 4 + j) * size_t(view.pitch);
                for (size_t i = 0; i < 4 && bx * 4 + i < size_t(width); ++i) {
                    const size_t at = j * 4 + i;
                    const uint8_t* c = colours[(indices >> (2 * at)) & 3];
                    PutPixel(row + (bx * 4 + i) * 4, order, c[0], c[1], c[2], kind == Dxt::One ? c[3] : alpha[at]);
                }
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeDds(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order) {
    const char* why = nullptr;
    MemorySurface decoded;
    if (!data || size < kHeaderBytes || std::memcmp(data, "DDS ", 4) != 0 || LE32(data + 4) != 124) {
        why = "the header is cut short or malformed";
    } else if ((LE32(data + kCaps2At) & (kCubeMap | kVolume)) ||
               ((LE32(data + kFlagsAt) & kHeaderDepth) && LE32(data + kDepthAt) > 1)) {
        why = "cube and volume textures are not supported";
    } else {
        const uint32_t width = LE32(data + kWidthAt), height = LE32(data + kHeightAt);
        if (!CheckImageSize("DDS", width, height)) return false;
        const uint32_t formatFlags = LE32(data + kFormatFlagsAt);
        const uint8_t* pixels = data + kHeaderBytes;
        const size_t available = size - kHeaderBytes;
        if (formatFlags & kFourCc) {
            const uint8_t* cc = data + kFourCcAt;
            if (std::memcmp(cc, "DXT1", 4) == 0)
                DecodeBlocks(Dxt::One, pixels, available, int(width), int(height), decoded, order, why);
            else if (std::memcmp(cc, "DXT3", 4) == 0)
                DecodeBlocks(Dxt::Three, pixels, available, int(width), int(height), decoded, order, why);
            else if (std::memcmp(cc, "DXT5", 4) == 0)
                DecodeBlocks(Dxt::Five, pixels, available, int(width), int(height), decoded, order, why);
            else
                why = "unsupported compression";
        } else if (formatFlags & (kRgb | kLuminance)) {
            DecodeUncompressed(data, pixels, available, int(width), int(height), decoded, order, why);
        } else {
            why = "unsupported pixel format";
        }
    }
    if (why) {
        DebugStream() << "DDS: cannot decode the image: " << why;
        return false;
    }
    out.Swap(decoded);
    return true;
}

bool SaveDds(const std::string& utf8Path, const PixelView& image) {
    if (!CheckSavable("DDS", utf8Path, image)) return false;
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
    PutLE32(header, kAlphaPixels | kRgb);
    PutLE32(header, 0);                                // no four-cc
    PutLE32(header, 32);
    PutLE32(header, 0x00FF0000);
    PutLE32(header, 0x0000FF00);
    PutLE32(header, 0x000000FF);
    PutLE32(header, 0xFF000000);
    PutLE32(header, 0x1000);                           // texture
    for (int i = 0; i < 4; ++i) PutLE32(header, 0);    // caps 2 to 4, reserved
    AtomicFileWriter file;
    if (!file.Open(utf8Path)) {
        DebugStream() << "DDS: cannot create \"" << utf8Path << "\": " << std::strerror(errno);
        return false;
    }
    bool ok = file.Write(header.data(), header.size());
    const size_t rowBytes = size_t(image.width) * 4;
    for (int y = 0; ok && y < image.height; ++y) ok = file.Write(image.data + ptrdiff_t(y) * image.pitch, rowBytes);
    if (!ok || !file.Commit()) {
        DebugStream() << "DDS: cannot write \"" << utf8Path << "\": " << std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace pf
