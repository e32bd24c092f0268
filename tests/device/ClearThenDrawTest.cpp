// A clear of the whole target followed by drawing: the device may write the clear late
// (row by row under the first quad drawn), and every pixel read or presented afterwards
// is the one a clear written at once gives.
#include <functional>
#include <random>

#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

struct Case {
    const char* name;
    DeviceFormat format;
    std::function<void(Rig&)> draw;
};

std::vector<uint32_t> Texels(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> t(size_t(w) * h);
    for (auto& x : t) x = rng() % 4 == 0 ? rng() & 0x00FFFFFFu : (rng() % 3 == 0 ? rng() : rng() | 0xFF000000u);
    return t;
}

void DrawPicture(Rig& rig, float x, float y, float w, float h, uint32_t filter, bool blend) {
    SetDisplayStates(rig.d(), filter);
    if (!blend) SetBlend(rig.d(), false);
    auto tex = MakeTexture(rig.d(), 16, 12, Texels(16, 12, 5));
    rig.d().SetTexture(0, tex.get());
    ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(x, y, w, h, 0, 0, 16, 12, 16, 12)), DeviceResult::Ok);
    rig.d().SetTexture(0, nullptr);
}

void DrawShaded(Rig& rig, const DeviceVertex (&v)[4]) {
    SetDiffuseOnly(rig.d());
    SetBlend(rig.d(), true, BlendSrcAlpha, BlendInvSrcAlpha);
    ASSERT_EQ(rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, v), DeviceResult::Ok);
}

TEST(ClearThenDraw, PixelsAreThoseOfAClearWrittenAtOnce) {
    const Case cases[] = {
        {"a picture enlarged onto the middle, unblended, transparent texels dropped", DeviceFormat::A8R8G8B8,
         [](Rig& r) { DrawPicture(r, 6, 3, 64, 46, SampleLinear, false); }},
        {"the same on a back buffer without alpha", DeviceFormat::X8R8G8B8,
         [](Rig& r) { DrawPicture(r, 6, 3, 64, 46, SampleLinear, false); }},
        {"a blended sprite, then a second one over it", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             DrawPicture(r, 2, 2, 16, 12, SamplePoint, true);
             DrawPicture(r, 10, 8, 16, 12, SamplePoint, true);
         }},
        {"a picture reaching past the target's edges", DeviceFormat::A8R8G8B8,
         [](Rig& r) { DrawPicture(r, -7, -5, 100, 80, SampleLinear, false); }},
        {"a picture wholly outside, then one inside", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             DrawPicture(r, 90, 70, 16, 12, SampleLinear, false);
             DrawPicture(r, 4, 4, 48, 36, SampleLinear, false);
         }},
        {"a rectangle shaded from corner to corner, blended", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             const DeviceVertex v[4] = {{3, 2, 0, 0x80FF0000u, 0, 0},
                                        {30, 2, 0, 0xFF00FF00u, 0, 0},
                                        {3, 25, 0, 0x400000FFu, 0, 0},
                                        {30, 25, 0, 0xBF00FFFFu, 0, 0}};
             DrawShaded(r, v);
         }},
        {"a rotated quad", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             const DeviceVertex v[4] = {{20, 1, 0, 0x80FF8000u, 0, 0},
                                        {38, 14, 0, 0x80FF8000u, 0, 0},
                                        {2, 15, 0, 0x80FF8000u, 0, 0},
                                        {20, 28, 0, 0x80FF8000u, 0, 0}};
             DrawShaded(r, v);
         }},
        {"triangles", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             SetDiffuseOnly(r.d());
             const DeviceVertex v[3] = {{1, 1, 0, 0xFF123456u, 0, 0}, {30, 4, 0, 0xFF123456u, 0, 0},
                                        {8, 27, 0, 0xFF123456u, 0, 0}};
             ASSERT_EQ(r.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 1, v), DeviceResult::Ok);
         }},
        {"a clear of part of the target, then a picture", DeviceFormat::A8R8G8B8,
         [](Rig& r) {
             SetGameView(r.d(), 5, 4, 20, 15);
             r.d().Clear(0xFF00AA00u);
             SetGameView(r.d(), 0, 0, 80, 60);
             DrawPicture(r, 2, 2, 70, 52, SampleLinear, false);
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> pixels[2], shown[2];
        for (int late = 0; late < 2; ++late) {
            Rig rig(80, 60, c.format);
            rig.d().Clear(0xFF336699u);
            DrawPicture(rig, 0, 0, 80, 60, SamplePoint, false);  // the last frame's picture
            rig.d().Clear(0x80102030u);
            if (late == 0) ReadSurface(rig.d().GetRenderTarget().get());  // written now
            c.draw(rig);
            pixels[late] = rig.Pixels();
            rig.d().EndScene();
            ASSERT_EQ(rig.d().Present(), DeviceResult::Ok) << c.name;
            shown[late] = rig.target.Frame();
        }
        EXPECT_EQ(pixels[1], pixels[0]) << c.name;
        EXPECT_EQ(shown[1], shown[0]) << c.name;
        EXPECT_EQ(shown[1], pixels[1]) << c.name;
    }
}

// A clear is owed until the pixels are reached: presented, locked, copied or sampled
// straight after it, the target shows the clear.
TEST(ClearThenDraw, AClearReachedBeforeAnyDrawingIsWritten) {
    const uint32_t colour = 0xFF405060u;
    auto cleared = [&](Rig& rig) {
        rig.d().Clear(colour);
        return std::vector<uint32_t>(size_t(24) * 18, colour);
    };
    {
        Rig rig(24, 18);
        const auto want = cleared(rig);
        rig.d().EndScene();
        ASSERT_EQ(rig.d().Present(), DeviceResult::Ok);
        EXPECT_EQ(rig.target.Frame(), want) << "presented";
    }
    {
        Rig rig(24, 18);
        const auto want = cleared(rig);
        EXPECT_EQ(rig.Pixels(), want) << "locked";
    }
    {
        Rig rig(24, 18);
        const auto want = cleared(rig);
        my_intrusive_ptr<DeviceTexture> copy;
        ASSERT_EQ(rig.d().CreateTexture(24, 18, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, copy),
                  DeviceResult::Ok);
        ASSERT_EQ(rig.d().CopyRects(rig.d().GetRenderTarget().get(), nullptr, 0, copy->GetSurfaceLevel(0), nullptr),
                  DeviceResult::Ok);
        EXPECT_EQ(ReadSurface(copy->GetSurfaceLevel(0)), want) << "copied";
    }
    {
        // A texture that is a render target, cleared and then drawn as a picture.
        Rig rig(24, 18);
        my_intrusive_ptr<DeviceTexture> target;
        ASSERT_EQ(rig.d().CreateTexture(24, 18, 1, UsageRenderTarget, DeviceFormat::A8R8G8B8, MemoryPool::Default,
                                        target),
                  DeviceResult::Ok);
        const auto back = rig.d().GetRenderTarget();
        rig.d().SetRenderTarget(target->GetSurfaceLevel(0));
        rig.d().Clear(colour);
        rig.d().SetRenderTarget(back.get());
        rig.d().Clear(0xFF000000u);
        SetDisplayStates(rig.d(), SamplePoint);
        rig.d().SetTexture(0, target.get());
        ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 24, 18, 0, 0, 24, 18, 24, 18)), DeviceResult::Ok);
        EXPECT_EQ(rig.Pixels(), std::vector<uint32_t>(size_t(24) * 18, colour)) << "sampled";
    }
}

}  // namespace
}  // namespace devtest
