// The device around the rasteriser: textures and locking, render targets, CopyRects,
// present, device loss and reset, the recording device and an SDL window.
#include <SDL.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <thread>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define DEVTEST_LSAN_DISABLE() __lsan_disable()
#define DEVTEST_LSAN_ENABLE() __lsan_enable()
#else
#define DEVTEST_LSAN_DISABLE() (void)0
#define DEVTEST_LSAN_ENABLE() (void)0
#endif

#include "common/Oracle.h"
#include "shell/platform/SdlPresentTarget.h"
#include "shell/render/SoftDeviceRecording.h"
#include "tests/common/TestSupport.h"
#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

TEST(Textures, CreationChecksSizeFormatAndUsage) {
    Rig rig;
    my_intrusive_ptr<DeviceTexture> t;
    testkit::LogCapture log;
    EXPECT_EQ(rig.d().CreateTexture(0, 4, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::InvalidCall);
    EXPECT_EQ(rig.d().CreateTexture(4097, 4, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::InvalidCall);
    EXPECT_EQ(rig.d().CreateTexture(4, 4, 1, UsageRenderTarget, DeviceFormat::R5G6B5, MemoryPool::Default, t), DeviceResult::InvalidCall);
    EXPECT_EQ(rig.d().CreateTexture(4, 4, 1, UsageNone, DeviceFormat::Unknown, MemoryPool::Managed, t), DeviceResult::InvalidCall);
    EXPECT_FALSE(t);
    EXPECT_TRUE(log.Contains("unsupported texture"));
    // Any size up to the maximum, no power-of-two rule; levels 0 is the whole chain.
    ASSERT_EQ(rig.d().CreateTexture(100, 37, 0, UsageNone, DeviceFormat::A4R4G4B4, MemoryPool::Managed, t), DeviceResult::Ok);
    EXPECT_EQ(t->LevelCount(), 7);
    EXPECT_EQ(t->GetLevelDesc(1).width, 50);
    EXPECT_EQ(t->GetLevelDesc(6).height, 1);
    EXPECT_EQ(t->GetLevelDesc(0).format, DeviceFormat::A4R4G4B4);
}

TEST(Textures, EveryFormatSamplesWithBitReplication) {
    struct Case { DeviceFormat format; std::vector<uint8_t> bytes; uint32_t want; };
    const Case cases[] = {
        {DeviceFormat::A8R8G8B8, {0x10, 0x20, 0x30, 0x40}, 0x40302010u},
        {DeviceFormat::X8R8G8B8, {0x10, 0x20, 0x30, 0x00}, 0xFF302010u},
        {DeviceFormat::R8G8B8, {0x10, 0x20, 0x30}, 0xFF302010u},
        {DeviceFormat::R5G6B5, {0xFF, 0xFF}, 0xFFFFFFFFu},
        {DeviceFormat::R5G6B5, {0x1F, 0x84}, 0xFF8482FFu},  // r 16, g 32, b 31
        {DeviceFormat::A4R4G4B4, {0x3F, 0xF8}, 0xFF8833FFu},
        {DeviceFormat::A4R4G4B4, {0xFF, 0xFF}, 0xFFFFFFFFu},
        {DeviceFormat::A1R5G5B5, {0xFF, 0x7F}, 0x00FFFFFFu},
        {DeviceFormat::A1R5G5B5, {0x1F, 0x80}, 0xFF0000FFu},
        {DeviceFormat::A8, {0x7F}, 0x7FFFFFFFu},
    };
    for (const Case& c : cases) {
        Rig rig(1, 1);
        SetBlend(rig.d(), false);
        rig.d().SetRenderState(RenderStateId::AlphaTestEnable, 0);
        my_intrusive_ptr<DeviceTexture> t;
        ASSERT_EQ(rig.d().CreateTexture(1, 1, 1, UsageNone, c.format, MemoryPool::Managed, t), DeviceResult::Ok);
        LockedRect lr;
        ASSERT_EQ(t->LockRect(0, nullptr, 0, lr), DeviceResult::Ok);
        std::copy(c.bytes.begin(), c.bytes.end(), lr.bits);
        t->UnlockRect(0);
        rig.d().SetTexture(0, t.get());
        DrawQuad(rig.d(), MakeQuad(0, 0, 1, 1, 0, 0, 1, 1, 1, 1));
        EXPECT_EQ(rig.Pixel(0, 0), c.want) << DeviceFormatName(c.format);
    }
}

TEST(Textures, LockRefusesRectanglesOutsideAndNestedLocks) {
    Rig rig;
    auto t = MakeTexture(rig.d(), 8, 4, std::vector<uint32_t>(32, 0xFF000000u));
    testkit::LogCapture log;
    LockedRect lr;
    const Rect outside[] = {Rect(6, 0, 3, 1), Rect(-1, 0, 2, 2), Rect(0, 3, 1, 2), Rect(2, 2, 0, 1)};
    for (const Rect& r : outside) {
        EXPECT_EQ(t->LockRect(0, &r, 0, lr), DeviceResult::InvalidCall) << r.x << "," << r.y;
        EXPECT_EQ(lr.bits, nullptr);
    }
    EXPECT_TRUE(log.Contains("is not inside"));
    const Rect inside(5, 1, 3, 3);
    ASSERT_EQ(t->LockRect(0, &inside, 0, lr), DeviceResult::Ok);
    EXPECT_EQ(t->LockRect(0, nullptr, 0, lr), DeviceResult::InvalidCall);  // no nesting
    // Drawing from a texture this thread has locked is refused rather than deadlocking.
    rig.d().SetTexture(0, t.get());
    EXPECT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 8, 4, 0, 0, 8, 4, 8, 4)), DeviceResult::InvalidCall);
    EXPECT_EQ(t->UnlockRect(0), DeviceResult::Ok);
    EXPECT_EQ(t->UnlockRect(0), DeviceResult::InvalidCall);
    EXPECT_EQ(t->LockRect(1, nullptr, 0, lr), DeviceResult::InvalidCall);
}

TEST(Textures, WorkerThreadsFillTexturesWhileTheMainThreadDraws) {
    Rig rig(16, 16);
    SetBlend(rig.d(), false);
    my_intrusive_ptr<DeviceTexture> tex;
    ASSERT_EQ(rig.d().CreateTexture(16, 16, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, tex), DeviceResult::Ok);
    rig.d().SetTexture(0, tex.get());
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (uint32_t round = 1; round <= 200; ++round) {
            LockedRect lr;
            const Rect half(0, (round % 2) * 8, 16, 8);
            if (tex->LockRect(0, &half, 0, lr) != DeviceResult::Ok) continue;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 16; ++x)
                    reinterpret_cast<uint32_t*>(lr.bits + y * lr.pitch)[x] = 0xFF000000u | round;
            tex->UnlockRect(0);
            // Textures are created from worker threads too.
            my_intrusive_ptr<DeviceTexture> extra;
            rig.d().CreateTexture(4, 4, 1, UsageNone, DeviceFormat::R5G6B5, MemoryPool::Managed, extra);
        }
        done = true;
    });
    while (!done) DrawQuad(rig.d(), MakeQuad(0, 0, 16, 16, 0, 0, 16, 16, 16, 16));
    worker.join();
    DrawQuad(rig.d(), MakeQuad(0, 0, 16, 16, 0, 0, 16, 16, 16, 16));
    EXPECT_EQ(rig.Pixel(3, 3), 0xFF0000C8u);   // round 200 wrote the top half
    EXPECT_EQ(rig.Pixel(3, 12), 0xFF0000C7u);  // round 199 the bottom half
}

TEST(RenderTargets, RenderToTextureBlendsDestinationAlphaAndCopiesOut) {
    Rig rig(8, 8);
    my_intrusive_ptr<DeviceTexture> rt;
    ASSERT_EQ(rig.d().CreateTexture(4, 4, 1, UsageRenderTarget, DeviceFormat::A8R8G8B8, MemoryPool::Default, rt), DeviceResult::Ok);
    my_intrusive_ptr<DeviceSurface> level(rt->GetSurfaceLevel(0));
    ASSERT_EQ(rig.d().SetRenderTarget(level.get()), DeviceResult::Ok);
    EXPECT_EQ(rig.d().GetViewport().width, 4);
    SetGameView(rig.d(), 0, 0, 4, 4);
    rig.d().Clear(0);
    auto tex = MakeTexture(rig.d(), 1, 1, {0x80FF0000u});
    rig.d().SetTexture(0, tex.get());
    DrawQuad(rig.d(), MakeQuad(0, 0, 2, 4, 0, 0, 1, 1, 1, 1));
    // Alpha blending applies to alpha too: 128 x 128 / 255 + 0.
    EXPECT_EQ(rig.Pixel(0, 0), 0x40800000u);
    DrawQuad(rig.d(), MakeQuad(0, 0, 1, 4, 0, 0, 1, 1, 1, 1));
    EXPECT_EQ(rig.Pixel(0, 0), 0x60C00000u);  // 64 + 64 x 127 / 255 = 96; 128 + 128 x 127 / 255 = 192
    EXPECT_EQ(rig.Pixel(3, 0), 0u);
    // A texture cannot be drawn into itself.
    rig.d().SetTexture(0, rt.get());
    EXPECT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 1, 1, 0, 0, 1, 1, 1, 1)), DeviceResult::InvalidCall);

    // Copy a rectangle of the target out into a managed texture of another format.
    my_intrusive_ptr<DeviceTexture> copy;
    ASSERT_EQ(rig.d().CreateTexture(4, 4, 1, UsageNone, DeviceFormat::A4R4G4B4, MemoryPool::Managed, copy), DeviceResult::Ok);
    const Rect src(0, 0, 2, 2);
    const Point at(2, 2);
    ASSERT_EQ(rig.d().CopyRects(level.get(), &src, 1, copy->GetSurfaceLevel(0), &at), DeviceResult::Ok);
    const auto out = ReadSurface(copy->GetSurfaceLevel(0));
    EXPECT_EQ(out[2 * 4 + 2], 0x66CC0000u);  // 0x60C00000 narrowed to 4 bits and widened
    EXPECT_EQ(out[3 * 4 + 3], 0x44880000u);
    EXPECT_EQ(out[0], 0u);

    ASSERT_EQ(rig.d().SetRenderTarget(rig.d().GetBackBuffer().get()), DeviceResult::Ok);
    EXPECT_EQ(rig.d().GetViewport().width, 8);
    EXPECT_EQ(rig.d().SetRenderTarget(copy->GetSurfaceLevel(0)), DeviceResult::InvalidCall);
}

TEST(RenderTargets, TargetsWithoutAlphaReadAlpha255) {
    Rig rig(4, 1, DeviceFormat::X8R8G8B8);
    rig.d().Clear(0x00123456u);
    EXPECT_EQ(rig.Pixel(0, 0), 0xFF123456u);
    // Destination alpha reads 255: InvDestAlpha contributes nothing, DestAlpha everything.
    auto tex = MakeTexture(rig.d(), 1, 1, {0x80204060u});
    rig.d().SetTexture(0, tex.get());
    SetBlend(rig.d(), true, BlendInvDestAlpha, BlendDestAlpha);
    DrawQuad(rig.d(), MakeQuad(0, 0, 1, 1, 0, 0, 1, 1, 1, 1));
    EXPECT_EQ(rig.Pixel(0, 0), 0xFF123456u);
    LockedRect lr;
    ASSERT_EQ(rig.d().GetBackBuffer()->LockRect(nullptr, 0, lr), DeviceResult::Ok);
    reinterpret_cast<uint32_t*>(lr.bits)[1] = 0x00ABCDEFu;
    rig.d().GetBackBuffer()->UnlockRect();
    EXPECT_EQ(rig.Pixel(1, 0), 0xFFABCDEFu);
}

TEST(CopyRects, IsBoundsCheckedAndRefusesOverlapWithItself) {
    Rig rig(8, 8);
    auto a = MakeTexture(rig.d(), 4, 4, std::vector<uint32_t>(16, 0xFF111111u));
    auto b = MakeTexture(rig.d(), 4, 4, std::vector<uint32_t>(16, 0xFF222222u));
    DeviceSurface* sa = a->GetSurfaceLevel(0);
    DeviceSurface* sb = b->GetSurfaceLevel(0);
    testkit::LogCapture log;
    struct Case { Rect r; Point p; };
    const Case bad[] = {{Rect(3, 0, 2, 1), Point(0, 0)}, {Rect(0, 0, 2, 2), Point(3, 0)},
                        {Rect(0, 0, 2, 2), Point(0, -1)}, {Rect(0, 0, 0, 2), Point(0, 0)}};
    for (const Case& c : bad)
        EXPECT_EQ(rig.d().CopyRects(sa, &c.r, 1, sb, &c.p), DeviceResult::InvalidCall);
    // One bad rectangle among good ones: nothing is copied.
    const Rect mixed[2] = {Rect(0, 0, 1, 1), Rect(0, 0, 5, 1)};
    EXPECT_EQ(rig.d().CopyRects(sa, mixed, 2, sb, nullptr), DeviceResult::InvalidCall);
    EXPECT_EQ(rig.d().CopyRects(sa, nullptr, 0, sa, nullptr), DeviceResult::InvalidCall);
    EXPECT_TRUE(log.Contains("CopyRects refused"));
    for (uint32_t p : ReadSurface(sb)) ASSERT_EQ(p, 0xFF222222u);
    const Rect two[2] = {Rect(0, 0, 1, 1), Rect(2, 2, 2, 2)};
    const Point to[2] = {Point(3, 3), Point(0, 0)};
    ASSERT_EQ(rig.d().CopyRects(sa, two, 2, sb, to), DeviceResult::Ok);
    const auto out = ReadSurface(sb);
    EXPECT_EQ(out[15], 0xFF111111u);
    EXPECT_EQ(out[5], 0xFF111111u);
    EXPECT_EQ(out[2], 0xFF222222u);
}

TEST(Present, TheBackBufferKeepsTheLastFrameForCopiesOutsideAFrame) {
    Rig rig(6, 4);
    SetDiffuseOnly(rig.d());
    rig.d().Clear(0xFF000080u);
    DrawQuad(rig.d(), MakeQuad(1, 1, 2, 2, 0, 0, 1, 1, 1, 1, 0xFFFF8000u));
    rig.d().EndScene();
    ASSERT_EQ(rig.d().Present(), DeviceResult::Ok);
    EXPECT_EQ(rig.target.PresentCount(), 1);
    ASSERT_EQ(rig.target.Width(), 6);
    EXPECT_EQ(rig.target.Pixel(1, 1), 0xFFFF8000u);
    EXPECT_EQ(rig.target.Pixel(0, 0), 0xFF000080u);
    // After presenting, outside any scene, the back buffer still holds the picture.
    my_intrusive_ptr<DeviceTexture> grab;
    ASSERT_EQ(rig.d().CreateTexture(6, 4, 1, UsageNone, DeviceFormat::A8R8G8B8, MemoryPool::Managed, grab), DeviceResult::Ok);
    const Rect all(0, 0, 6, 4);
    const Point origin(0, 0);
    ASSERT_EQ(rig.d().CopyRects(rig.d().GetBackBuffer().get(), &all, 1, grab->GetSurfaceLevel(0), &origin), DeviceResult::Ok);
    EXPECT_EQ(ReadSurface(grab->GetSurfaceLevel(0)), rig.target.Frame());
    // Drawing needs a scene.
    testkit::LogCapture log;
    EXPECT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 1, 1, 0, 0, 1, 1, 1, 1)), DeviceResult::InvalidCall);
    EXPECT_TRUE(log.Contains("outside BeginScene"));
}

// A target that cannot show the frame (a window whose surface is gone): Present answers
// failure rather than success, and presents again once the target takes frames.
TEST(Present, FailsWhenTheTargetCannotShowTheFrame) {
    struct FailingTarget : MemoryPresentTarget {
        bool fail = true;
        bool PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override {
            return !fail && MemoryPresentTarget::PresentFrame(pixels, width, height, pitch);
        }
    } target;
    PresentParams p;
    p.width = 4;
    p.height = 3;
    auto d = CreateSoftDevice(p, &target);
    ASSERT_NE(d, nullptr);
    d->BeginScene();
    d->Clear(0xFF204060u);
    d->EndScene();
    EXPECT_EQ(d->Present(), DeviceResult::NotAvailable);
    EXPECT_EQ(target.PresentCount(), 0);
    target.fail = false;
    EXPECT_EQ(d->Present(), DeviceResult::Ok);
    ASSERT_EQ(target.PresentCount(), 1);
    EXPECT_EQ(target.Pixel(3, 2), 0xFF204060u);
}

TEST(Present, CursorImageMustBe32By32) {
    Rig rig;
    auto small = MakeTexture(rig.d(), 16, 16, std::vector<uint32_t>(256, 0xFFFFFFFFu));
    std::vector<uint32_t> pixels(32 * 32, 0x80FF0000u);
    pixels[33] = 0xFF00FF00u;
    auto cursor = MakeTexture(rig.d(), 32, 32, pixels);
    EXPECT_EQ(rig.d().SetCursorProperties(0, 0, small->GetSurfaceLevel(0)), DeviceResult::InvalidCall);
    ASSERT_EQ(rig.d().SetCursorProperties(3, 4, cursor->GetSurfaceLevel(0)), DeviceResult::Ok);
    rig.d().ShowCursor(true);
    EXPECT_EQ(rig.target.Cursor(), pixels);
    EXPECT_EQ(rig.target.CursorHotX(), 3);
    EXPECT_EQ(rig.target.CursorHotY(), 4);
    EXPECT_TRUE(rig.target.CursorShown());
}

TEST(DeviceLoss, LostThenNotResetThenReset) {
    Rig rig(8, 8);
    my_intrusive_ptr<DeviceTexture> pooled;
    ASSERT_EQ(rig.d().CreateTexture(4, 4, 1, UsageRenderTarget, DeviceFormat::A8R8G8B8, MemoryPool::Default, pooled), DeviceResult::Ok);
    rig.d().Clear(0xFF00FF00u);
    rig.d().EndScene();
    rig.d().Present();

    rig.faults.LoseDevice();
    EXPECT_EQ(rig.d().TestCooperativeLevel(), DeviceResult::DeviceLost);
    EXPECT_EQ(rig.d().Present(), DeviceResult::DeviceLost);
    EXPECT_EQ(rig.d().BeginScene(), DeviceResult::Ok);
    EXPECT_EQ(rig.d().Clear(0xFFFF0000u), DeviceResult::Ok);  // succeeds and does nothing
    EXPECT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 8, 8, 0, 0, 1, 1, 1, 1)), DeviceResult::Ok);
    rig.d().EndScene();
    EXPECT_EQ(rig.Pixel(0, 0), 0xFF00FF00u);
    PresentParams params;
    params.width = 10;
    params.height = 6;
    params.backBufferFormat = DeviceFormat::A8R8G8B8;
    EXPECT_EQ(rig.d().Reset(params), DeviceResult::DeviceLost);

    rig.faults.AllowReset();
    EXPECT_EQ(rig.d().TestCooperativeLevel(), DeviceResult::DeviceNotReset);
    // Default-pool textures must go before a reset.
    testkit::LogCapture log;
    EXPECT_EQ(rig.d().Reset(params), DeviceResult::InvalidCall);
    EXPECT_TRUE(log.Contains("default-pool textures still exist"));
    pooled.reset();
    rig.faults.FailResets(1);
    EXPECT_EQ(rig.d().Reset(params), DeviceResult::NotAvailable);
    EXPECT_EQ(rig.d().TestCooperativeLevel(), DeviceResult::DeviceNotReset);
    rig.d().SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    ASSERT_EQ(rig.d().Reset(params), DeviceResult::Ok);
    EXPECT_EQ(rig.d().TestCooperativeLevel(), DeviceResult::Ok);
    EXPECT_EQ(rig.d().GetBackBuffer()->Width(), 10);
    EXPECT_EQ(rig.d().GetViewport().height, 6);
    // States are back to their defaults after a reset.
    EXPECT_EQ(rig.d().GetRenderState(RenderStateId::AlphaBlendEnable), 0u);
    EXPECT_EQ(rig.d().GetRenderState(RenderStateId::CullMode), uint32_t(CullCounterClockwise));
    EXPECT_EQ(rig.d().GetTextureStageState(0, StageStateId::ColorOp), uint32_t(TopModulate));
    EXPECT_EQ(rig.d().Present(), DeviceResult::Ok);
    EXPECT_EQ(rig.target.Width(), 10);
}

TEST(DeviceLoss, CreationFailsOnlyThroughTheHookOrBadParameters) {
    DeviceFaults faults;
    PresentParams p;
    p.width = 4;
    p.height = 4;
    faults.FailCreations(1);
    testkit::LogCapture log;
    EXPECT_EQ(CreateSoftDevice(p, nullptr, &faults), nullptr);
    EXPECT_NE(CreateSoftDevice(p, nullptr, &faults), nullptr);
    faults.FailCreations(1);
    EXPECT_EQ(CreateRecordingDevice(p, nullptr, &faults), nullptr);
    p.backBufferFormat = DeviceFormat::A4R4G4B4;
    EXPECT_EQ(CreateSoftDevice(p, nullptr, nullptr), nullptr);
    p.backBufferFormat = DeviceFormat::R5G6B5;  // the 16-bit fallback is accepted
    auto d = CreateSoftDevice(p, nullptr, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetPresentParams().backBufferFormat, DeviceFormat::R5G6B5);
    EXPECT_TRUE(log.Contains("injected"));
}

TEST(Recording, WritesDownCallsInOrderAndStillDraws) {
    MemoryPresentTarget target;
    PresentParams p;
    p.width = 4;
    p.height = 4;
    auto d = CreateRecordingDevice(p, &target);
    ASSERT_NE(d, nullptr);
    d->SetRenderState(RenderStateId::SrcBlend, BlendSrcAlpha);
    d->SetTextureStageState(1, StageStateId::ColorOp, TopDisable);
    d->SetTexture(0, nullptr);
    d->BeginScene();
    d->Clear(0xFF000000u);
    SetDiffuseOnly(*d);
    d->ClearLog();
    d->SetRenderState(RenderStateId::CullMode, CullNone);
    const Quad q = MakeQuad(0, 0, 2, 2, 0, 0, 1, 1, 1, 1, 0xFFFFFFFFu);
    DrawQuad(*d, q);
    d->EndScene();
    d->Present();
    const std::vector<std::string> want = {"SetRenderState CullMode 1", "DrawPrimitiveUP TriangleStrip 2",
                                           "EndScene", "Present"};
    EXPECT_EQ(d->Calls(), want);
    ASSERT_EQ(d->Draws().size(), 1u);
    EXPECT_EQ(d->Draws()[0].vertices.size(), 4u);
    EXPECT_FLOAT_EQ(d->Draws()[0].vertices[3].x, 2.0f);
    EXPECT_EQ(d->CallsStartingWith("SetRenderState").size(), 1u);
    EXPECT_EQ(target.PresentCount(), 1);
}

// SDL's video for one test. The X, cursor and D-Bus client libraries under SDL keep
// allocations they never free (some in libraries unloaded at quit): none of them is
// counted as a leak.
struct SdlVideo {
    SdlVideo() {
        DEVTEST_LSAN_DISABLE();
        started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    ~SdlVideo() {
        if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        DEVTEST_LSAN_ENABLE();
    }
    bool started = false;
};

// A locked window surface's pixel as 0xRRGGBB, whatever its layout.
uint32_t SurfaceRgb(const SDL_Surface* s, int x, int y) {
    Uint32 raw = 0;
    std::memcpy(&raw, static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                size_t(s->format->BytesPerPixel));
    Uint8 r, g, b;
    SDL_GetRGB(raw, s->format, &r, &g, &b);
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

TEST(Window, PresentsIntoAnSdlWindow) {
    RUV3_REQUIRE_DISPLAY();
    SdlVideo video;
    ASSERT_TRUE(video.started) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("device test", 0, 0, 32, 24, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        SdlWindowPresentTarget target(window);
        PresentParams p;
        p.width = 32;
        p.height = 24;
        auto d = CreateSoftDevice(p, &target);
        ASSERT_NE(d, nullptr);
        // A frame of distinct pixels (a texture of random colours copied over a clear):
        // the window surface holds each of them after the present, whichever way it is
        // laid out.
        std::vector<uint32_t> texels(24 * 16);
        uint32_t seed = 12345;
        for (uint32_t& t : texels) t = 0xFF000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
        auto picture = MakeTexture(*d, 24, 16, texels);
        SetGameView(*d, 0, 0, 32, 24);
        SetDisplayStates(*d);
        d->BeginScene();
        d->Clear(0xFF3366CCu);
        d->SetTexture(0, picture.get());
        DrawQuad(*d, MakeQuad(4, 3, 24, 16, 0, 0, 24, 16, 24, 16));
        d->EndScene();
        EXPECT_EQ(d->Present(), DeviceResult::Ok);
        const std::vector<uint32_t> frame = ReadSurface(d->GetBackBuffer().get());
        ASSERT_EQ(frame.size(), size_t(32 * 24));
        EXPECT_EQ(frame[size_t(5) * 32 + 1], 0xFF3366CCu);
        EXPECT_EQ(frame[size_t(5) * 32 + 7], texels[size_t(2) * 24 + 3]);
        SDL_Surface* s = SDL_GetWindowSurface(window);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(SDL_LockSurface(s), 0);
        int mismatches = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) mismatches += SurfaceRgb(s, x, y) != (frame[size_t(y) * 32 + x] & 0xFFFFFFu);
        SDL_UnlockSurface(s);
        EXPECT_EQ(mismatches, 0) << "window surface format " << SDL_GetPixelFormatName(s->format->format);
        // The window resized between frames, smaller and larger than the frame: the
        // frame is scaled into whatever surface the window has now, never copied past it.
        for (const auto& size : {std::pair{20, 12}, std::pair{48, 40}}) {
            SDL_SetWindowSize(window, size.first, size.second);
            EXPECT_EQ(d->Present(), DeviceResult::Ok) << size.first << " x " << size.second;
            SDL_Surface* now = SDL_GetWindowSurface(window);
            ASSERT_NE(now, nullptr);
            EXPECT_EQ(now->w, size.first);
            ASSERT_EQ(SDL_LockSurface(now), 0);
            const uint32_t corner = SurfaceRgb(now, 0, 0);
            SDL_UnlockSurface(now);
            EXPECT_EQ(corner, 0x3366CCu) << size.first << " x " << size.second;
        }
        std::vector<uint32_t> cursor(32 * 32, 0xFFFFFFFFu);
        auto tex = MakeTexture(*d, 32, 32, cursor);
        EXPECT_EQ(d->SetCursorProperties(1, 1, tex->GetSurfaceLevel(0)), DeviceResult::Ok);
    }
    SDL_DestroyWindow(window);
}

// A window larger than the frame (full screen at the desktop's size): the frame fills
// the whole window, no bars, and the pixel under a window point is the frame's pixel at
// the point the display maps the mouse to (x frameWidth / windowWidth, likewise down),
// for uneven and whole factors. The frame is blocks of one colour, so away from a
// block's edge the smoothing leaves the colour as it is.
TEST(Window, AScaledPresentFillsTheWindowAsTheMouseMapsIt) {
    RUV3_REQUIRE_DISPLAY();
    SdlVideo video;
    ASSERT_TRUE(video.started) << SDL_GetError();
    constexpr int fw = 40, fh = 30, block = 10;
    std::vector<uint32_t> frame(size_t(fw) * fh);
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x)
            frame[size_t(y) * fw + x] = 0xFF000000u | uint32_t(40 + 50 * (x / block)) << 16 | uint32_t(60 + 60 * (y / block)) << 8 |
                                        uint32_t(200 - 30 * (x / block + y / block));
    for (const auto& size : {std::pair{96, 54}, std::pair{80, 60}}) {
        SDL_Window* window = SDL_CreateWindow("scaled present", 0, 0, size.first, size.second, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        {
            SdlWindowPresentTarget target(window);
            EXPECT_TRUE(target.PresentFrame(frame.data(), fw, fh, fw));
            SDL_Surface* s = SDL_GetWindowSurface(window);
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(s->w, size.first);
            ASSERT_EQ(SDL_LockSurface(s), 0);
            auto windowPixel = [&](int x, int y) { return 0xFF000000u | SurfaceRgb(s, x, y); };
            int checked = 0;
            for (int y = 0; y < s->h; ++y)
                for (int x = 0; x < s->w; ++x) {
                    // Where the display maps a mouse at the pixel's centre.
                    const double gx = (x + 0.5) * fw / s->w, gy = (y + 0.5) * fh / s->h;
                    const double ex = std::fmod(gx, block), ey = std::fmod(gy, block);
                    if (ex < 1.5 || ex > block - 1.5 || ey < 1.5 || ey > block - 1.5) continue;
                    ++checked;
                    ASSERT_EQ(windowPixel(x, y), frame[size_t(gy) * fw + size_t(gx)])
                        << "window " << size.first << "x" << size.second << " at " << x << ", " << y;
                }
            EXPECT_GT(checked, s->w * s->h / 3);
            // The corners show the frame's corners: the picture reaches the window's edges.
            EXPECT_EQ(windowPixel(0, 0), frame[0]);
            EXPECT_EQ(windowPixel(s->w - 1, s->h - 1), frame.back());
            SDL_UnlockSurface(s);
        }
        SDL_DestroyWindow(window);
    }
}

// Frames that changed only in part reach the window as those rectangles; a window the
// X server lost the pictures of (covered by another, then uncovered) gets the whole
// frame again at the next present, even one that changed nothing. The screen is read
// back from the X server itself.
TEST(Window, PresentsOfChangedRectanglesKeepTheWholeWindowShown) {
    RUV3_REQUIRE_DISPLAY();
    RUV3_REQUIRE_PROGRAM("import");
    SdlVideo video;
    ASSERT_TRUE(video.started) << SDL_GetError();
    constexpr int w = 64, h = 48;
    SDL_Window* window = SDL_CreateWindow("rectangles", 0, 0, w, h, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    testkit::TempDir dir;
    const std::string shot = (dir.Path() / "shot.rgb").string();
    // The screen under the window, as 0xRRGGBB.
    auto screen = [&]() -> std::vector<uint32_t> {
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(window, &wx, &wy);
        const std::string crop = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(wx) + "+" +
                                 std::to_string(wy);
        if (testkit::RunCommand("timeout 30 import -window root -crop " + crop + " +repage -depth 8 rgb:" + shot) != 0)
            return {};
        const std::string bytes = testkit::ReadFile(shot);
        if (bytes.size() != size_t(w) * h * 3) return {};
        std::vector<uint32_t> px(size_t(w) * h);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = uint32_t(uint8_t(bytes[3 * i])) << 16 | uint32_t(uint8_t(bytes[3 * i + 1])) << 8 |
                    uint8_t(bytes[3 * i + 2]);
        return px;
    };
    auto shows = [&](const std::vector<uint32_t>& frame) {
        const std::vector<uint32_t> got = screen();
        if (got.size() != frame.size()) return false;
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != (frame[i] & 0xFFFFFFu)) return false;
        return true;
    };
    std::vector<uint32_t> frame(size_t(w) * h);
    uint32_t seed = 99;
    for (uint32_t& p : frame) p = 0xFF000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    {
        SdlWindowPresentTarget target(window);
        // The window may take a while to be mapped.
        EXPECT_TRUE(testkit::WaitUntil([&] {
            SDL_PumpEvents();
            return target.PresentFrame(frame.data(), w, h, w) && shows(frame);
        })) << "the first frame never reached the screen";
        // A rectangle changed: it alone is copied, and the screen shows the new frame.
        for (int y = 10; y < 20; ++y)
            for (int x = 30; x < 50; ++x) frame[size_t(y) * w + x] = 0xFF10E040u;
        const Rect changed(30, 10, 20, 10);
        EXPECT_TRUE(target.PresentFrameRects(frame.data(), w, h, w, &changed, 1));
        EXPECT_TRUE(testkit::WaitUntil([&] { return shows(frame); })) << "the changed rectangle never showed";

        // Another window over it, magenta, until the screen shows it; then gone.
        SDL_Window* cover = SDL_CreateWindow("cover", 0, 0, w, h, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
        ASSERT_NE(cover, nullptr) << SDL_GetError();
        const std::vector<uint32_t> magenta(size_t(w) * h, 0xFFFF00FFu);
        EXPECT_TRUE(testkit::WaitUntil([&] {
            SDL_Surface* s = SDL_GetWindowSurface(cover);
            if (!s) return false;
            SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 0, 255));
            SDL_UpdateWindowSurface(cover);
            SDL_RaiseWindow(cover);
            SDL_PumpEvents();
            return shows(magenta);
        })) << "the cover window never showed";
        SDL_DestroyWindow(cover);
        // Frames that change nothing: the window shows the whole frame again.
        EXPECT_TRUE(testkit::WaitUntil([&] {
            SDL_PumpEvents();
            return target.PresentFrameRects(frame.data(), w, h, w, nullptr, 0) && shows(frame);
        })) << "the window stayed as the cover left it";
    }
    SDL_DestroyWindow(window);
}

}  // namespace
}  // namespace devtest
