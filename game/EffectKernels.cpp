#include "game/EffectKernels.h"

#include <algorithm>

namespace game {

const float kSepiaMatrix[9] = {0.393f, 0.769f, 0.189f, 0.349f, 0.686f, 0.168f, 0.272f, 0.534f, 0.131f};

namespace {

bool FourBytes(const pf::PixelView& v) { return v.data && v.bytesPerPixel == 4 && v.width > 0 && v.height > 0; }

bool Matching(const pf::PixelView& src, const pf::PixelView& dst) {
    return FourBytes(src) && FourBytes(dst) && src.width == dst.width && src.height == dst.height;
}

// Applies f(src pixel, dst pixel) row by row; in place when the views coincide.
template <typename F>
void ForEachPixel(const pf::PixelView& src, pf::PixelView& dst, F f) {
    for (int y = 0; y < src.height; ++y) {
        const uint8_t* s = src.data + pf::ptrdiff_t(y) * src.pitch;
        uint8_t* d = dst.data + pf::ptrdiff_t(y) * dst.pitch;
        for (int x = 0; x < src.width; ++x, s += 4, d += 4) f(s, d);
    }
}

uint8_t ClampChannel(float v) {
    if (v > 255.0f) return 255;
    if (!(v > 0.0f)) return 0;
    return static_cast<uint8_t>(v);
}

}  // namespace

void DesaturateView(const pf::PixelView& src, pf::PixelView& dst) {
    if (!Matching(src, dst)) return;
    const double wr = 0.2125f, wg = 0.7154f, wb = 0.0721f;
    ForEachPixel(src, dst, [&](const uint8_t* s, uint8_t* d) {
        const double grey = wg * s[1] + wr * s[2] + wb * s[0];
        const uint8_t g = grey > 255.0 ? 255 : static_cast<uint8_t>(grey);
        const uint8_t a = s[3];
        d[0] = d[1] = d[2] = g;
        d[3] = a;
    });
}

void ColorMatrixView(const float* m, const pf::PixelView& src, pf::PixelView& dst) {
    if (!Matching(src, dst)) return;
    if (!m) m = kSepiaMatrix;
    double w[9];
    for (int i = 0; i < 9; ++i) w[i] = m[i];
    ForEachPixel(src, dst, [&](const uint8_t* s, uint8_t* d) {
        const double b = s[0], g = s[1], r = s[2];
        const uint8_t a = s[3];
        const float r2 = static_cast<float>(w[0] * r + w[1] * g + w[2] * b);
        const float g2 = static_cast<float>(w[3] * r + w[4] * g + w[5] * b);
        const float b2 = static_cast<float>(w[6] * r + w[7] * g + w[8] * b);
        d[0] = ClampChannel(b2);
        d[1] = ClampChannel(g2);
        d[2] = ClampChannel(r2);
        d[3] = a;
    });
}

void FillView(pf::PixelView& view, const pf::Color& c) {
    if (!FourBytes(view)) return;
    const uint8_t bytes[4] = {c.b, c.g, c.r, c.a};
    ForEachPixel(view, view, [&](const uint8_t*, uint8_t* d) { std::copy(bytes, bytes + 4, d); });
}

}  // namespace game
