#include "shell/pixels/PixelView.h"

#include <algorithm>
#include <cstring>

namespace pf {

namespace {

inline uint32_t Word(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline void PutWord(uint8_t* p, uint32_t w) {
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
}

struct Rgba {
    uint8_t r, g, b, a;
};

// Decoders: one pixel of the source format to four 8-bit components. Narrow components
// widen by a plain left shift (a 5-bit 31 becomes 248); only a 1-bit alpha becomes 255.
struct DecA8 {
    static Rgba Get(const uint8_t* p) { return {255, 255, 255, p[0]}; }
};
struct DecL8 {
    static Rgba Get(const uint8_t* p) { return {p[0], p[0], p[0], p[0]}; }
};
struct DecARGB {
    static Rgba Get(const uint8_t* p) { return {p[2], p[1], p[0], p[3]}; }
};
struct DecABGR {
    static Rgba Get(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
};
struct DecBGR {
    static Rgba Get(const uint8_t* p) { return {p[0], p[1], p[2], 255}; }
};
struct DecR5G6B5 {
    static Rgba Get(const uint8_t* p) {
        const uint32_t w = Word(p);
        return {uint8_t((w >> 11) << 3), uint8_t(((w >> 5) & 0x3F) << 2), uint8_t((w & 0x1F) << 3),
                255};
    }
};
struct DecA4R4G4B4 {
    static Rgba Get(const uint8_t* p) {
        const uint32_t w = Word(p);
        return {uint8_t(((w >> 8) & 0xF) << 4), uint8_t(((w >> 4) & 0xF) << 4),
                uint8_t((w & 0xF) << 4), uint8_t((w >> 12) << 4)};
    }
};
struct DecR4G4B4A4 {
    static Rgba Get(const uint8_t* p) {
        const uint32_t w = Word(p);
        return {uint8_t((w >> 12) << 4), uint8_t(((w >> 8) & 0xF) << 4),
                uint8_t(((w >> 4) & 0xF) << 4), uint8_t((w & 0xF) << 4)};
    }
};
struct DecA1R5G5B5 {
    static Rgba Get(const uint8_t* p) {
        const uint32_t w = Word(p);
        return {uint8_t(((w >> 10) & 0x1F) << 3), uint8_t(((w >> 5) & 0x1F) << 3),
                uint8_t((w & 0x1F) << 3), uint8_t((w & 0x8000) ? 255 : 0)};
    }
};
struct DecR5G5B5A1 {
    static Rgba Get(const uint8_t* p) {
        const uint32_t w = Word(p);
        return {uint8_t((w >> 11) << 3), uint8_t(((w >> 6) & 0x1F) << 3),
                uint8_t(((w >> 1) & 0x1F) << 3), uint8_t((w & 1) ? 255 : 0)};
    }
};

// Encoders: four components to one pixel; narrowing keeps the top bits.
struct EncARGB {
    static void Put(uint8_t* p, Rgba c) {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
        p[3] = c.a;
    }
};
struct EncABGR {
    static void Put(uint8_t* p, Rgba c) {
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = c.a;
    }
};
struct EncBGR {
    static void Put(uint8_t* p, Rgba c) {
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
};
struct EncR5G6B5 {
    static void Put(uint8_t* p, Rgba c) {
        PutWord(p, uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 2) << 5 | uint32_t(c.b >> 3));
    }
};
struct EncA4R4G4B4 {
    static void Put(uint8_t* p, Rgba c) {
        PutWord(p, uint32_t(c.a >> 4) << 12 | uint32_t(c.r >> 4) << 8 | uint32_t(c.g >> 4) << 4 |
                       uint32_t(c.b >> 4));
    }
};
struct EncR4G4B4A4 {
    static void Put(uint8_t* p, Rgba c) {
        PutWord(p, uint32_t(c.r >> 4) << 12 | uint32_t(c.g >> 4) << 8 | uint32_t(c.b >> 4) << 4 |
                       uint32_t(c.a >> 4));
    }
};
struct EncA1R5G5B5 {
    static void Put(uint8_t* p, Rgba c) {
        PutWord(p, (c.a >= 128 ? 0x8000u : 0u) | uint32_t(c.r >> 3) << 10 |
                       uint32_t(c.g >> 3) << 5 | uint32_t(c.b >> 3));
    }
};
struct EncR5G5B5A1 {
    static void Put(uint8_t* p, Rgba c) {
        PutWord(p, uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 3) << 6 | uint32_t(c.b >> 3) << 1 |
                       (c.a >= 128 ? 1u : 0u));
    }
};

// One tight loop per pair of formats.
template <typename Dec, typename Enc>
void ConvertRows(const PixelView& src, PixelView& dst) {
    const uint8_t* srow = src.data;
    uint8_t* drow = dst.data;
    const int sstep = src.bytesPerPixel, dstep = dst.bytesPerPixel;
    for (int y = 0; y < src.height; ++y, srow += src.pitch, drow += dst.pitch) {
        const uint8_t* s = srow;
        uint8_t* d = drow;
        for (int x = 0; x < src.width; ++x, s += sstep, d += dstep) Enc::Put(d, Dec::Get(s));
    }
}

template <typename Dec>
bool ConvertFrom(const PixelView& src, PixelView& dst) {
    switch (dst.format) {
    case PixelFormat::A8R8G8B8: ConvertRows<Dec, EncARGB>(src, dst); return true;
    case PixelFormat::A8B8G8R8: ConvertRows<Dec, EncABGR>(src, dst); return true;
    case PixelFormat::B8G8R8: ConvertRows<Dec, EncBGR>(src, dst); return true;
    case PixelFormat::R5G6B5: ConvertRows<Dec, EncR5G6B5>(src, dst); return true;
    case PixelFormat::A4R4G4B4: ConvertRows<Dec, EncA4R4G4B4>(src, dst); return true;
    case PixelFormat::R4G4B4A4: ConvertRows<Dec, EncR4G4B4A4>(src, dst); return true;
    case PixelFormat::A1R5G5B5: ConvertRows<Dec, EncA1R5G5B5>(src, dst); return true;
    case PixelFormat::R5G5B5A1: ConvertRows<Dec, EncR5G5B5A1>(src, dst); return true;
    default: return false;
    }
}

bool Convert(const PixelView& src, PixelView& dst) {
    switch (src.format) {
    case PixelFormat::A8: return ConvertFrom<DecA8>(src, dst);
    case PixelFormat::L8: return ConvertFrom<DecL8>(src, dst);
    case PixelFormat::A8R8G8B8: return ConvertFrom<DecARGB>(src, dst);
    case PixelFormat::A8B8G8R8: return ConvertFrom<DecABGR>(src, dst);
    case PixelFormat::B8G8R8: return ConvertFrom<DecBGR>(src, dst);
    case PixelFormat::R5G6B5: return ConvertFrom<DecR5G6B5>(src, dst);
    case PixelFormat::A4R4G4B4: return ConvertFrom<DecA4R4G4B4>(src, dst);
    case PixelFormat::R4G4B4A4: return ConvertFrom<DecR4G4B4A4>(src, dst);
    case PixelFormat::A1R5G5B5: return ConvertFrom<DecA1R5G5B5>(src, dst);
    case PixelFormat::R5G5B5A1: return ConvertFrom<DecR5G5B5A1>(src, dst);
    default: return false;
    }
}

template <typename Op>
void ForEachPixel(PixelView& view, int step, Op op) {
    uint8_t* row = view.data;
    for (int y = 0; y < view.height; ++y, row += view.pitch) {
        uint8_t* p = row;
        for (int x = 0; x < view.width; ++x, p += step) op(p);
    }
}

template <int Shift>
void FillWordBits(PixelView& view, uint32_t mask, uint32_t bits) {
    ForEachPixel(view, view.bytesPerPixel, [=](uint8_t* p) {
        PutWord(p, (Word(p) & ~mask) | (bits << Shift));
    });
}

}  // namespace

PixelView SubView(const PixelView& src, int x, int y, int w, int h) {
    PixelView v;
    uint8_t* data = src.data ? src.data + ptrdiff_t(y) * src.pitch + ptrdiff_t(x) * src.bytesPerPixel
                             : nullptr;
    return v.Set(w, h, src.bytesPerPixel, src.pitch, src.format, data);
}

void CopyView(const PixelView& src, PixelView& dst) {
    if (!src.data || !dst.data || src.format != dst.format) return;
    // The source's size decides; a smaller destination is never written past its end.
    const int width = std::min(src.width, dst.width);
    const int height = std::min(src.height, dst.height);
    if (width <= 0 || height <= 0 || src.bytesPerPixel <= 0) return;
    const size_t rowBytes = size_t(width) * size_t(src.bytesPerPixel);
    if (width == src.width && dst.pitch == src.pitch && ptrdiff_t(rowBytes) == dst.pitch) {
        std::memmove(dst.data, src.data, rowBytes * size_t(height));
        return;
    }
    const uint8_t* s = src.data;
    uint8_t* d = dst.data;
    for (int y = 0; y < height; ++y, s += src.pitch, d += dst.pitch) std::memmove(d, s, rowBytes);
}

void ConvertView(const PixelView& src, PixelView& dst) {
    if (!src.data || !dst.data) return;
    if (src.width != dst.width || src.height != dst.height) return;
    Convert(src, dst);
}

void CopyOrConvertView(const PixelView& src, PixelView& dst) {
    if (src.format == dst.format)
        CopyView(src, dst);
    else
        ConvertView(src, dst);
}

Color ReadPixelColor(const uint8_t* pixel, PixelFormat format) {
    uint8_t out[4] = {0, 0, 0, 0};
    if (pixel) {
        PixelView src, dst;
        src.Set(1, 1, BytesPerPixel(format), BytesPerPixel(format), format,
                const_cast<uint8_t*>(pixel));
        dst.Set(1, 1, 4, 4, PixelFormat::A8B8G8R8, out);
        ConvertView(src, dst);
    }
    return Color(out[0], out[1], out[2], out[3]);
}

void FillAlpha(PixelView& view, int alpha) {
    if (!view.data) return;
    const uint32_t a = uint32_t(alpha) & 0xFF;
    switch (view.format) {
    case PixelFormat::A8R8G8B8:
    case PixelFormat::A8B8G8R8:
        ForEachPixel(view, view.bytesPerPixel, [=](uint8_t* p) { p[3] = uint8_t(a); });
        break;
    case PixelFormat::A4R4G4B4: FillWordBits<12>(view, 0xF000, a >> 4); break;
    case PixelFormat::R4G4B4A4: FillWordBits<0>(view, 0x000F, a >> 4); break;
    case PixelFormat::A1R5G5B5: FillWordBits<15>(view, 0x8000, a >> 7); break;
    case PixelFormat::R5G5B5A1: FillWordBits<0>(view, 0x0001, a >> 7); break;
    default: break;
    }
}

}  // namespace pf
