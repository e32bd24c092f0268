// The window's scaler of finished frames: against a floating-point bilinear reference,
// with wide and narrow vectors giving the same pixels.
#include <random>

#include "shell/render/PresentScaler.h"
#include "shell/render/RasterSpans.h"
#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

// Enlarged (by a whole and by uneven factors, as 800 x 600 onto 1920 x 1080), shrunk a
// little and a lot, one pixel spread over many, one pixel from many, sizes below and
// above the eight columns the vector pass takes at a time, the same size, and widened
// while shortened (source rows skipped between those widened alongside). Random
// pixels (the steepest steps there are) and a smooth picture. Near the edges the outer
// pixels repeat; the target's pitch beyond its width is left alone.
TEST(PresentScaler, StaysWithinTwoLevelsOfExactBilinearEdgesIncluded) {
    struct Case {
        int sw, sh, tw, th;
    };
    const Case cases[] = {{8, 6, 16, 12},  {8, 6, 19, 11},   {80, 60, 192, 108}, {37, 23, 101, 57},
                          {13, 9, 5, 4},   {50, 40, 33, 29}, {64, 16, 9, 30},    {1, 1, 6, 3},
                          {9, 7, 1, 5},    {9, 7, 1, 1},     {1, 9, 3, 20},      {7, 5, 7, 5},
                          {40, 30, 40, 30}, {5, 3, 24, 7},   {40, 50, 100, 20}};
    std::mt19937 rng(5);
    for (const Case& c : cases)
        for (bool smooth : {false, true}) {
            std::vector<uint32_t> src(size_t(c.sw) * c.sh);
            for (int y = 0; y < c.sh; ++y)
                for (int x = 0; x < c.sw; ++x)
                    src[size_t(y) * c.sw + x] = smooth ? Argb(255, x * 255 / c.sw, y * 255 / c.sh, (x + y) * 3 & 255)
                                                       : uint32_t(rng());
            // The source's rows a little apart too.
            const int pitch = c.sw + 2;
            std::vector<uint32_t> padded(size_t(pitch) * c.sh, 0xDEADBEEFu);
            for (int y = 0; y < c.sh; ++y)
                std::copy(src.begin() + y * c.sw, src.begin() + (y + 1) * c.sw, padded.begin() + y * pitch);
            const int targetPitch = c.tw + 3;
            std::vector<uint32_t> results[2];
            for (int wide = 0; wide < 2; ++wide) {
                UseWideVectorSpans(wide == 1);
                std::vector<uint32_t> dst(size_t(targetPitch) * c.th, 0x12345678u);
                PresentScaler scaler;
                scaler.Scale(padded.data(), c.sw, c.sh, pitch, dst.data(), c.tw, c.th, targetPitch);
                // A second frame through the same tables gives the same pixels.
                std::vector<uint32_t> again(dst.size(), 0x12345678u);
                scaler.Scale(padded.data(), c.sw, c.sh, pitch, again.data(), c.tw, c.th, targetPitch);
                ASSERT_EQ(again, dst) << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th;
                for (int y = 0; y < c.th; ++y) {
                    for (int x = 0; x < c.tw; ++x)
                        ASSERT_TRUE(Near(dst[size_t(y) * targetPitch + x],
                                         ReferenceBilinear(src, c.sw, c.sh, c.tw, c.th, x, y), 2))
                            << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " at " << x << ", " << y
                            << (smooth ? " smooth" : " random") << (wide ? " wide" : " narrow");
                    for (int x = c.tw; x < targetPitch; ++x) ASSERT_EQ(dst[size_t(y) * targetPitch + x], 0x12345678u);
                }
                if (c.tw == c.sw && c.th == c.sh) {
                    for (int y = 0; y < c.th; ++y) {
                        ASSERT_TRUE(std::equal(src.begin() + y * c.sw, src.begin() + (y + 1) * c.sw,
                                               dst.begin() + y * targetPitch))
                            << "same size, row " << y;
                    }
                }
                results[wide] = dst;
            }
            EXPECT_EQ(results[0], results[1]) << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th;
        }
    UseWideVectorSpans(true);
}

// One scaler given frames and windows of changing sizes (a window resized, a device
// reset) scales each as a new scaler would.
TEST(PresentScaler, FollowsChangingSizes) {
    struct Sizes {
        int sw, sh, tw, th;
    };
    const Sizes sizes[] = {{16, 12, 40, 30}, {16, 12, 24, 30}, {20, 10, 24, 30}, {20, 10, 24, 18}, {16, 12, 40, 30}};
    std::mt19937 rng(11);
    PresentScaler kept;
    for (const Sizes& s : sizes) {
        std::vector<uint32_t> src(size_t(s.sw) * s.sh);
        for (auto& p : src) p = rng();
        std::vector<uint32_t> got(size_t(s.tw) * s.th), want(got.size());
        kept.Scale(src.data(), s.sw, s.sh, s.sw, got.data(), s.tw, s.th, s.tw);
        PresentScaler fresh;
        fresh.Scale(src.data(), s.sw, s.sh, s.sw, want.data(), s.tw, s.th, s.tw);
        EXPECT_EQ(got, want) << s.sw << "x" << s.sh << " -> " << s.tw << "x" << s.th;
    }
}

}  // namespace
}  // namespace devtest
