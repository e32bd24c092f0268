// Scale, blur, glow, alpha mask and the textured quad.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "shell/ImageKernels.h"

using pf::PixelFormat;
using pf::PixelView;

namespace {

struct Image {
    int w, h;
    std::vector<uint8_t> bytes;
    Image(int width, int height, uint8_t fill = 0) : w(width), h(height), bytes(size_t(width * height * 4), fill) {}
    PixelView View() {
        PixelView v;
        return v.Set(w, h, 4, w * 4, PixelFormat::A8R8G8B8, bytes.data());
    }
    uint8_t* At(int x, int y) { return bytes.data() + (y * w + x) * 4; }
};

}  // namespace

TEST(ScaleView, NearestNeighbourUpAndDown) {
    Image small(2, 2);
    for (int i = 0; i < 4; ++i) std::memset(small.bytes.data() + i * 4, i + 1, 4);
    Image big(4, 4);
    PixelView s = small.View(), b = big.View();
    pf::ScaleView(s, b);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(big.At(x, y)[0], (y / 2) * 2 + x / 2 + 1);

    Image src(4, 4), dst(2, 2);
    for (int i = 0; i < 16; ++i) std::memset(src.bytes.data() + i * 4, i, 4);
    PixelView sv = src.View(), dv = dst.View();
    pf::ScaleView(sv, dv);
    EXPECT_EQ(dst.At(0, 0)[0], 0);
    EXPECT_EQ(dst.At(1, 0)[0], 2);
    EXPECT_EQ(dst.At(0, 1)[0], 8);
    EXPECT_EQ(dst.At(1, 1)[0], 10);

    // Odd ratios: each destination pixel takes the source pixel under its top-left corner
    // (floor(x * srcW / dstW)), inside the source, both ways.
    auto number = [](Image& img) {
        for (int i = 0; i < img.w * img.h; ++i) {
            img.bytes[size_t(i) * 4] = uint8_t(i & 0xFF);
            img.bytes[size_t(i) * 4 + 1] = uint8_t(i >> 8);
        }
    };
    auto takes = [](Image& from, Image& to) {
        for (int y = 0; y < to.h; ++y)
            for (int x = 0; x < to.w; ++x) {
                const int sx = x * from.w / to.w, sy = y * from.h / to.h;
                ASSERT_EQ(std::memcmp(to.At(x, y), from.At(sx, sy), 4), 0)
                    << from.w << "x" << from.h << " -> " << to.w << "x" << to.h << " at " << x << "," << y;
            }
    };
    Image odd(7, 3), wide(50, 11);
    number(odd);
    PixelView ov = odd.View(), wv = wide.View();
    pf::ScaleView(ov, wv);
    takes(odd, wide);
    number(wide);
    pf::ScaleView(wv, ov);
    takes(wide, odd);
}

TEST(BlurView, RadiusTwoAroundOnePixel) {
    Image src(9, 9), dst(9, 9);
    uint8_t* c = src.At(4, 4);
    c[0] = c[1] = c[2] = 128, c[3] = 255;
    PixelView s = src.View(), d = dst.View();
    pf::BlurView(s, d, 2);
    EXPECT_EQ(std::vector<uint8_t>(dst.At(4, 4), dst.At(4, 4) + 4), (std::vector<uint8_t>{28, 28, 28, 56}));
    EXPECT_EQ(std::vector<uint8_t>(dst.At(5, 4), dst.At(5, 4) + 4), (std::vector<uint8_t>{12, 12, 12, 25}));
    EXPECT_EQ(dst.At(0, 0)[3], 0);

    // In place gives the same as out of place.
    pf::BlurView(s, s, 2);
    EXPECT_EQ(src.bytes, dst.bytes);
}

TEST(BlurView, BordersDivideByTheTapsInside) {
    // A uniform image stays uniform up to the edges: missing taps are not counted.
    Image img(5, 4, 200), out(5, 4);
    PixelView s = img.View(), d = out.View();
    pf::BlurView(s, d, 3);
    EXPECT_EQ(out.bytes, img.bytes);
}

TEST(BlurView, RadiusZeroCopiesAndBadRadiiOrSizesDoNothing) {
    Image src(6, 5), dst(6, 5, 0xEE);
    for (size_t i = 0; i < src.bytes.size(); ++i) src.bytes[i] = uint8_t(i * 31);
    PixelView s = src.View(), d = dst.View();
    for (int radius : {16, -1, 1000}) {
        pf::BlurView(s, d, radius);
        EXPECT_EQ(dst.bytes, std::vector<uint8_t>(dst.bytes.size(), 0xEE)) << radius;
    }
    Image other(6, 4, 0xEE);
    PixelView o = other.View();
    pf::BlurView(s, o, 2);
    EXPECT_EQ(other.bytes, std::vector<uint8_t>(other.bytes.size(), 0xEE));
    pf::BlurView(s, d, 0);
    EXPECT_EQ(dst.bytes, src.bytes);
    // Views one pixel wide or high blur without reading outside.
    Image line(1, 9, 100), lineOut(1, 9);
    PixelView l = line.View(), lo = lineOut.View();
    pf::BlurView(l, lo, 15);
    EXPECT_EQ(lineOut.bytes, line.bytes);
}

TEST(GlowView, RadiusThreeAroundOnePixel) {
    Image src(15, 15), dst(15, 15);
    src.At(7, 7)[3] = 255;
    PixelView s = src.View(), d = dst.View();
    const pf::Color colour(10, 20, 30, 255);
    pf::GlowView(s, d, colour, 3.0f);
    auto alpha = [&](int dx, int dy) { return int(dst.At(7 + dx, 7 + dy)[3]); };
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            EXPECT_EQ(alpha(dx, dy), (std::abs(dx) == 2 && std::abs(dy) == 2) ? 244 : 255) << dx << "," << dy;
    for (int sx : {-3, 3}) {
        EXPECT_EQ(alpha(sx, 0), 183);
        EXPECT_EQ(alpha(sx, 1), 132);
        EXPECT_EQ(alpha(sx, -1), 132);
        EXPECT_EQ(alpha(sx, 2), 10);
        EXPECT_EQ(alpha(sx, -2), 10);
        EXPECT_EQ(alpha(0, sx), 183);
    }
    EXPECT_EQ(alpha(4, 0), 0);
    EXPECT_EQ(alpha(3, 3), 0);
    // Every pixel takes the glow colour, written as bytes b, g, r.
    EXPECT_EQ(dst.At(0, 0)[0], 30);
    EXPECT_EQ(dst.At(0, 0)[1], 20);
    EXPECT_EQ(dst.At(0, 0)[2], 10);

    src.At(7, 7)[3] = 100;
    pf::GlowView(s, d, colour, 3.0f);
    EXPECT_EQ(alpha(0, 0), 144);
    // In place.
    pf::GlowView(s, s, colour, 3.0f);
    EXPECT_EQ(src.bytes, dst.bytes);
}

TEST(GlowView, RadiusLimits) {
    Image src(40, 40), dst(40, 40, 0xEE);
    src.At(20, 20)[3] = 255;
    PixelView s = src.View(), d = dst.View();
    for (float radius : {14.5f, -1.0f, -100.0f, 1e30f}) {
        pf::GlowView(s, d, pf::Color(1, 2, 3, 255), radius);
        EXPECT_EQ(dst.bytes, std::vector<uint8_t>(dst.bytes.size(), 0xEE)) << radius;
    }
    pf::GlowView(s, d, pf::Color(1, 2, 3, 255), 14.0f);
    EXPECT_GT(dst.At(20 + 14, 20)[3], 0);
    EXPECT_EQ(dst.At(20 + 16, 20)[3], 0);
}

TEST(ApplyAlphaMask, CopiesTheMasksRedIntoAlpha) {
    Image mask(3, 3), image(3, 3, 9);
    for (int i = 0; i < 9; ++i) mask.bytes[size_t(i * 4 + 2)] = uint8_t(i * 20);
    PixelView m = mask.View(), im = image.View();
    pf::ApplyAlphaMask(m, im);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(image.bytes[size_t(i * 4 + 3)], i * 20);
        EXPECT_EQ(image.bytes[size_t(i * 4 + 2)], 9);
    }
    Image tall(3, 4, 9);
    PixelView t = tall.View();
    pf::ApplyAlphaMask(m, t);
    EXPECT_EQ(tall.bytes, std::vector<uint8_t>(tall.bytes.size(), 9));
}

TEST(AddTexturedQuad, AppendsTwoTriangles) {
    std::vector<pf::DisplayVertex> v(1);
    pf::AddTexturedQuad(v, 64.0f, 32.0f, pf::Rect(16, 8, 32, 16), pf::Rect(100, 200, 50, 40), 0x80FF0000u);
    ASSERT_EQ(v.size(), 7u);
    const float expected[6][4] = {{100, 200, 0.25f, 0.25f}, {150, 200, 0.75f, 0.25f}, {100, 240, 0.25f, 0.75f},
                                  {100, 240, 0.25f, 0.75f}, {150, 200, 0.75f, 0.25f}, {150, 240, 0.75f, 0.75f}};
    for (int i = 0; i < 6; ++i) {
        const pf::DisplayVertex& x = v[size_t(i + 1)];
        EXPECT_EQ(x.x, expected[i][0]);
        EXPECT_EQ(x.y, expected[i][1]);
        EXPECT_EQ(x.z, 0.0f);
        EXPECT_EQ(x.u, expected[i][2]);
        EXPECT_EQ(x.v, expected[i][3]);
        EXPECT_EQ(x.color, 0x80FF0000u);
    }
}
