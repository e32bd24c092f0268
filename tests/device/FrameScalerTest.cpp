// The bilinear frame scaler: against a reference bilinear computation, and as the
// rasteriser's loop for unrotated, unblended bilinear quads, against its generic loop.
#include <cmath>
#include <cstring>
#include <random>

#include "shell/render/FrameScaler.h"
#include "shell/render/RasterSpans.h"
#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

// The rasteriser's bilinear sample at (u, v), 16.16 texels, in integers: the four texels
// around it clamped to the picture, 8-bit weights, each channel the floor of the sum / 256.
uint32_t ExactBilinear(const std::vector<uint32_t>& src, int sw, int sh, int64_t u, int64_t v) {
    auto clamp = [](int64_t i, int n) { return int(std::min<int64_t>(std::max<int64_t>(i, 0), n - 1)); };
    const int x0 = clamp(u >> 16, sw), x1 = clamp((u >> 16) + 1, sw);
    const int y0 = clamp(v >> 16, sh), y1 = clamp((v >> 16) + 1, sh);
    const uint32_t fx = uint32_t(u >> 8) & 255, fy = uint32_t(v >> 8) & 255;
    const uint32_t w11 = (fx * fy + 128) >> 8, w10 = fx - w11, w01 = fy - w11, w00 = 256 - fx - fy + w11;
    const uint32_t t00 = src[size_t(y0) * sw + x0], t10 = src[size_t(y0) * sw + x1];
    const uint32_t t01 = src[size_t(y1) * sw + x0], t11 = src[size_t(y1) * sw + x1];
    uint32_t out = 0;
    for (int sh8 = 0; sh8 < 32; sh8 += 8) {
        auto ch = [&](uint32_t c) { return (c >> sh8) & 255; };
        out |= ((ch(t00) * w00 + ch(t10) * w10 + ch(t01) * w01 + ch(t11) * w11) >> 8) << sh8;
    }
    return out;
}

// Enlarged (the game's frame on a larger screen, by a whole and an uneven factor), shrunk,
// one pixel spread over many, one column (or pixel) from many, and the same size. Near the
// edges the outer texels repeat. Every pixel is the rasteriser's integer sample at the
// pixel's centre, bit for bit, with wide and narrow vectors. The scaler's weights are in
// 256ths of a texel, rounded down: on the first sizes, within 2 of the exact value (the
// later ones, with steep random gradients, can differ by a little more).
TEST(FrameScaler, MatchesAReferenceBilinearComputationEdgesIncluded) {
    struct Case {
        int sw, sh, tw, th;
        bool nearFloat;  // also checked against the floating-point reference
    };
    const Case cases[] = {{8, 6, 16, 12, true},  {8, 6, 19, 11, true}, {13, 9, 5, 4, true},
                          {1, 1, 6, 3, true},    {7, 5, 7, 5, true},   {3, 40, 37, 9, true},
                          {9, 7, 1, 5, false},   {9, 7, 1, 1, false},  {1, 9, 3, 20, false},
                          {37, 23, 101, 57, false}};
    std::mt19937 rng(99);
    for (bool wide : {true, false}) {
        UseWideVectorSpans(wide);
        for (const Case& c : cases) {
            std::vector<uint32_t> src(size_t(c.sw) * c.sh);
            for (auto& p : src) p = rng();
            // A target wider than the picture it gets, so each row's end stays untouched.
            const int pitch = c.tw + 3;
            std::vector<uint32_t> dst(size_t(pitch) * c.th, 0x12345678u);
            FrameScaler scaler;
            scaler.Scale(src.data(), c.sw, c.sh, c.sw, dst.data(), c.tw, c.th, pitch);
            for (int y = 0; y < c.th; ++y) {
                for (int x = 0; x < c.tw; ++x) {
                    const uint32_t got = dst[size_t(y) * pitch + x];
                    const int64_t u = FrameScaler::CentredPosition(x, c.sw, c.tw), v = FrameScaler::CentredPosition(y, c.sh, c.th);
                    ASSERT_EQ(got, ExactBilinear(src, c.sw, c.sh, u, v))
                        << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " at " << x << ", " << y
                        << (wide ? " wide" : " narrow");
                    if (c.nearFloat) {
                        ASSERT_TRUE(Near(got, ReferenceBilinear(src, c.sw, c.sh, c.tw, c.th, x, y), 2))
                            << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " at " << x << ", " << y
                            << (wide ? " wide" : " narrow");
                    }
                }
                for (int x = c.tw; x < pitch; ++x) ASSERT_EQ(dst[size_t(y) * pitch + x], 0x12345678u);
            }
            // Pixel centres that land on texel centres take the texel as it is.
            if (c.tw == c.sw && c.th == c.sh) {
                EXPECT_EQ(std::vector<uint32_t>(dst.begin(), dst.begin() + c.tw),
                          std::vector<uint32_t>(src.begin(), src.begin() + c.sw));
            }
        }
    }
    UseWideVectorSpans(true);
}

// The display's letterbox draws the game's picture as one unrotated bilinear quad with
// blending off and the alpha test on: those rows go through the scaler. Its pixels are
// the generic loop's, bit for bit, enlarged, shrunk, mirrored and reaching past the
// texture's edges, with transparent texels left out by the alpha test.
TEST(FrameScaler, UnrotatedBilinearQuadsMatchTheGenericLoop) {
    struct Case {
        const char* name;
        float x, y, w, h;       // on the target
        float sx, sy, sw, sh;   // source rectangle in texels
    };
    const int tw = 40, th = 30;
    const Case cases[] = {{"enlarged 1.8 times, as the letterbox at 1920x1080", 3, 2, 72, 54, 0, 0, tw, th},
                          {"enlarged unevenly, off the pixel grid", 1.3f, 0.6f, 77.4f, 41.2f, 0, 0, tw, th},
                          {"shrunk", 5, 4, 33, 21, 0, 0, tw, th},
                          {"mirrored", 80, 2, -70, 50, 0, 0, tw, th},
                          {"past the edges", 2, 2, 76, 56, -6.5f, -4.25f, tw + 13, th + 9}};
    std::mt19937 rng(7);
    std::vector<uint32_t> texels(size_t(tw) * th);
    for (auto& t : texels) t = rng() % 5 == 0 ? rng() & 0x00FFFFFFu : rng() | 0xFF000000u;
    for (bool wide : {true, false})
        for (const Case& c : cases) {
            std::vector<uint32_t> results[2];
            for (int generic = 0; generic < 2; ++generic) {
                UseWideVectorSpans(wide);
                Rig rig(84, 64);
                rig.d().SetForceGenericSpans(generic == 1);
                SetDisplayStates(rig.d(), SampleLinear);
                SetBlend(rig.d(), false);
                rig.d().Clear(0xFF336699u);
                auto tex = MakeTexture(rig.d(), tw, th, texels);
                rig.d().SetTexture(0, tex.get());
                ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(c.x, c.y, c.w, c.h, c.sx, c.sy, c.sw, c.sh, tw, th)), DeviceResult::Ok);
                results[generic] = rig.Pixels();
            }
            EXPECT_EQ(results[0], results[1]) << c.name << (wide ? ", wide vectors" : ", narrow vectors");
            EXPECT_GT(std::count(results[0].begin(), results[0].end(), 0xFF336699u), 0) << c.name;
        }
    UseWideVectorSpans(true);
}

// The scaler keeps the texel pairs of the last two source rows between rows of a draw.
// A texture changed between two draws of the same quad (the display's letterbox picture,
// drawn anew every frame) shows its new texels, as the generic loop shows them.
TEST(FrameScaler, AQuadDrawnAgainAfterItsTextureChangedShowsTheChange) {
    const int tw = 40, th = 30;
    std::mt19937 rng(3);
    std::vector<uint32_t> first(size_t(tw) * th), second(first.size());
    for (auto& t : first) t = rng() | 0xFF000000u;
    for (auto& t : second) t = rng() | 0xFF000000u;
    for (bool wide : {true, false}) {
        std::vector<uint32_t> results[2];
        for (int generic = 0; generic < 2; ++generic) {
            UseWideVectorSpans(wide);
            Rig rig(84, 64);
            rig.d().SetForceGenericSpans(generic == 1);
            SetDisplayStates(rig.d(), SampleLinear);
            SetBlend(rig.d(), false);
            auto tex = MakeTexture(rig.d(), tw, th, first);
            rig.d().SetTexture(0, tex.get());
            // A strip of one texel row stretched over many rows: every row reads the
            // same two source rows, in both draws.
            const Quad q = MakeQuad(3, 2, 72, 54, 0, 12.6f, tw, 0.3f, tw, th);
            ASSERT_EQ(DrawQuad(rig.d(), q), DeviceResult::Ok);
            LockedRect lr;
            ASSERT_EQ(tex->LockRect(0, nullptr, 0, lr), DeviceResult::Ok);
            for (int y = 0; y < th; ++y)
                std::memcpy(lr.bits + y * lr.pitch, second.data() + size_t(y) * tw, size_t(tw) * 4);
            ASSERT_EQ(tex->UnlockRect(0), DeviceResult::Ok);
            ASSERT_EQ(DrawQuad(rig.d(), q), DeviceResult::Ok);
            results[generic] = rig.Pixels();
        }
        EXPECT_EQ(results[0], results[1]) << (wide ? "wide vectors" : "narrow vectors");
    }
    UseWideVectorSpans(true);
}

}  // namespace
}  // namespace devtest
