// Texture surfaces made by the display: locking, formats, render to surface, the back
// buffer copy, the cursor image and the overlay text.
#include "common/Oracle.h"
#include "display/DisplayFixture.h"
#include "shell/OverlayFont.h"
#include "shell/Random.h"

namespace displaytest {
namespace {

TEST_F(DisplayTest, LocksOutsideTheTextureAreRefused) {
    Start();
    pf::SurfacePtr s = SolidSurface(16, 8, 0xFF112233u);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->IsHardware());
    EXPECT_EQ(s->GetFormat(), pf::PixelFormat::A8R8G8B8);
    const pf::Rect refused[] = {{-1, 0, 4, 4}, {14, 0, 4, 4}, {0, 6, 4, 4}, {0, 0, 0, 4}, {2, 2, 15, 1}};
    for (const pf::Rect& r : refused) {
        SCOPED_TRACE(r.x * 100 + r.width);
        int pitch = 7;
        uint8_t* bits = reinterpret_cast<uint8_t*>(1);
        s->Lock(pf::LockRead, &r, pitch, bits);
        EXPECT_EQ(pitch, 0);
        EXPECT_EQ(bits, nullptr);
        s->Unlock();
    }
    const pf::Rect inside(12, 4, 4, 4);
    pf::PixelView v = pf::LockView(s.get(), &inside, true, true);
    ASSERT_NE(v.data, nullptr);
    EXPECT_EQ(v.pitch, 64);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(v.data), 0xFF112233u);
    s->Unlock();
}

TEST_F(DisplayTest, ImagesKeepTheirColoursInEveryTextureFormat) {
    Start();
    // One red pixel in each format the engine hands over.
    const struct {
        pf::PixelFormat format;
        std::vector<uint8_t> red;
        pf::PixelFormat kept;
    } cases[] = {
        {pf::PixelFormat::A8R8G8B8, {0, 0, 255, 255}, pf::PixelFormat::A8R8G8B8},
        {pf::PixelFormat::A8B8G8R8, {255, 0, 0, 255}, pf::PixelFormat::A8R8G8B8},
        {pf::PixelFormat::B8G8R8, {255, 0, 0}, pf::PixelFormat::B8G8R8},
        {pf::PixelFormat::R5G6B5, {0x00, 0xF8}, pf::PixelFormat::R5G6B5},
        {pf::PixelFormat::A4R4G4B4, {0x00, 0xFF}, pf::PixelFormat::A4R4G4B4},
        {pf::PixelFormat::A1R5G5B5, {0x00, 0xFC}, pf::PixelFormat::A1R5G5B5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.format));
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 4; ++i) pixels.insert(pixels.end(), c.red.begin(), c.red.end());
        pf::PixelView image;
        image.Set(2, 2, int(c.red.size()), 2 * int(c.red.size()), c.format, pixels.data());
        pf::SurfacePtr s = display->CreateSurfaceFromImage(image);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->GetFormat(), c.kept);
        EXPECT_EQ(display->GetNativeFormat(c.format), c.kept);
        if (c.kept == c.format) {  // the engine reads back what it wrote
            pf::PixelView v = pf::LockView(s.get(), nullptr, true, false);
            ASSERT_NE(v.data, nullptr);
            EXPECT_TRUE(std::equal(c.red.begin(), c.red.end(), v.data));
            s->Unlock();
        }
        Frame([&] {
            pf::Rect dst(0, 0, 2, 2);
            s->Draw(display.get(), nullptr, &dst);
        });
        EXPECT_EQ(Target().Pixel(1, 1), 0xFFFF0000u);
    }
}

TEST_F(DisplayTest, RenderingIntoASurfaceLeavesTheBackBufferAlone) {
    Start();
    pf::SurfacePtr target = display->CreateNativeSurface(32, 16, pf::PixelFormat::A8R8G8B8, 1, false, true);
    ASSERT_TRUE(target);
    const pf::Rect clip(0, 0, 32, 16);
    ASSERT_TRUE(display->BeginRenderToSurface(target, &clip));
    display->SetColor(0, 0, 255, 255);
    display->FillRect(pf::Rect(4, 2, 8, 4));
    display->EndRenderToSurface();
    EXPECT_EQ(PixelOf(target.get(), 4, 2), 0xFF0000FFu);
    EXPECT_EQ(PixelOf(target.get(), 12, 2), 0u);
    EXPECT_EQ(Device().GetRenderTarget(), Device().GetBackBuffer());

    // A memory surface cannot be a target; the scene begun for it is ended again.
    pf::SurfacePtr memory(new pf::MemorySurface(8, 8));
    EXPECT_FALSE(display->BeginRenderToSurface(memory, nullptr));
    EXPECT_TRUE(display->BeginFrame(nullptr));
    display->EndFrame();
    // Nor can anything while the device is lost.
    platform.faults.LoseDevice();
    EXPECT_FALSE(display->BeginRenderToSurface(target, &clip));
}

TEST_F(DisplayTest, BackBufferCopyReadsTheLastFrameAndChecksBounds) {
    Start();
    Frame([&] {
        display->SetColor(10, 20, 30, 255);
        display->FillRect(pf::Rect(100, 100, 50, 50));
    });
    pf::SurfacePtr dst = display->CreateNativeSurface(64, 64, pf::PixelFormat::A8R8G8B8, 1, true, false);
    testkit::LogCapture log;
    EXPECT_TRUE(display->CopyBackBuffer(pf::Rect(90, 90, 32, 32), pf::Point(0, 0), dst.get()));
    EXPECT_TRUE(log.Contains("DisplayDX::CopyBackBuffer"));
    EXPECT_EQ(PixelOf(dst.get(), 9, 9) & 0xFFFFFFu, 0x000000u);
    EXPECT_EQ(PixelOf(dst.get(), 10, 10) & 0xFFFFFFu, 0x0A141Eu);

    EXPECT_FALSE(display->CopyBackBuffer(pf::Rect(790, 0, 32, 32), pf::Point(0, 0), dst.get()));
    EXPECT_FALSE(display->CopyBackBuffer(pf::Rect(0, 0, 32, 32), pf::Point(40, 40), dst.get()));
    pf::MemorySurface memory(64, 64);
    EXPECT_FALSE(display->CopyBackBuffer(pf::Rect(0, 0, 8, 8), pf::Point(0, 0), &memory));
    EXPECT_FALSE(display->CopyBackBuffer(pf::Rect(0, 0, 8, 8), pf::Point(0, 0), nullptr));
}

TEST_F(DisplayTest, LetterboxedBackBufferCopyBetweenFramesReadsTheGamePicture) {
    Start(800, 600, true, true);
    ASSERT_TRUE(display->IsScaled());
    Frame([&] {
        display->SetColor(10, 20, 30, 255);
        display->FillRect(pf::Rect(100, 100, 50, 50));
    });
    // Between frames the back buffer holds the game scaled into the mode; the copy is
    // asked for in game pixels and gets the game's own picture.
    pf::SurfacePtr dst = display->CreateSurface(800, 600, pf::PixelFormat::A8R8G8B8);
    ASSERT_TRUE(display->CopyBackBuffer(pf::Rect(0, 0, 800, 600), pf::Point(0, 0), dst.get()));
    EXPECT_EQ(PixelOf(dst.get(), 99, 100) & 0xFFFFFFu, 0x000000u);
    EXPECT_EQ(PixelOf(dst.get(), 100, 100) & 0xFFFFFFu, 0x0A141Eu);
    EXPECT_EQ(PixelOf(dst.get(), 149, 149) & 0xFFFFFFu, 0x0A141Eu);
    EXPECT_EQ(PixelOf(dst.get(), 150, 149) & 0xFFFFFFu, 0x000000u);

    // Rendering into a surface still copies from that surface.
    pf::SurfacePtr target = display->CreateNativeSurface(32, 32, pf::PixelFormat::A8R8G8B8, 1, false, true);
    const pf::Rect clip(0, 0, 32, 32);
    ASSERT_TRUE(display->BeginRenderToSurface(target, &clip));
    display->Clear(0, 0, 255, 255);
    EXPECT_TRUE(display->CopyBackBuffer(pf::Rect(0, 0, 8, 8), pf::Point(100, 100), dst.get()));
    display->EndRenderToSurface();
    EXPECT_EQ(PixelOf(dst.get(), 100, 100), 0xFF0000FFu);
}

TEST_F(DisplayTest, CursorImageMustBeAManaged32By32Texture) {
    Start();
    display->SetCursorImage(pf::Point(1, 1), SolidSurface(64, 64, 0xFFFF0000u));
    EXPECT_TRUE(Device().CallsStartingWith("SetCursorProperties").empty());
    display->SetCursorImage(pf::Point(1, 1), display->CreateNativeSurface(32, 32, pf::PixelFormat::A8R8G8B8, 1,
                                                                           false, false));
    EXPECT_TRUE(Device().CallsStartingWith("SetCursorProperties").empty());
    display->SetCursorImage(pf::Point(1, 1), pf::SurfacePtr(new pf::MemorySurface(32, 32)));
    EXPECT_TRUE(Device().CallsStartingWith("SetCursorProperties").empty());

    display->SetCursorImage(pf::Point(3, 4), SolidSurface(32, 32, 0xFF00FF00u));
    EXPECT_EQ(Device().CallsStartingWith("SetCursorProperties"), std::vector<std::string>{"SetCursorProperties 3 4"});
    EXPECT_EQ(Target().Cursor().at(0), 0xFF00FF00u);
    // A reset gives the device the cursor again.
    Device().ClearLog();
    platform.faults.LoseDevice();
    platform.faults.AllowReset();
    ASSERT_TRUE(display->BeginFrame(nullptr));
    display->EndFrame();
    EXPECT_EQ(Device().CallsStartingWith("SetCursorProperties"), std::vector<std::string>{"SetCursorProperties 3 4"});
}

TEST_F(DisplayTest, OverlayDrawsItsTextInItsColour) {
    RUV3_REQUIRE_ORACLE(!pf::OverlayFont::FindFontFile().empty(), "the DejaVu Sans font");
    Start();
    auto inBox = [&](int x0, int y0, int x1, int y1) {
        int lit = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) lit += Target().Pixel(x, y) != 0xFF000000u;
        return lit;
    };
    display->SetOverlayText(L"Overlay");
    Frame([] {});
    EXPECT_EQ(inBox(0, 0, 200, 60), 0);  // off by default

    pf::SeedRand(7);
    display->ShowOverlay(true);
    const uint32_t colour = display->GetOverlayColour();
    EXPECT_EQ(colour >> 24, 0xFFu);
    Frame([&] {
        display->SetColor(255, 255, 255, 255);
        display->FillRect(pf::Rect(400, 300, 4, 4));
    });
    EXPECT_GT(inBox(10, 10, 200, 60), 50);
    EXPECT_EQ(inBox(0, 0, 200, 9), 0);
    // The strongest text pixel is the overlay colour itself.
    bool found = false;
    for (int y = 10; y < 30 && !found; ++y)
        for (int x = 10; x < 80 && !found; ++x) found = (Target().Pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu);
    EXPECT_TRUE(found);
    // The states the game set are still in force.
    EXPECT_EQ(Device().GetViewport().width, 800);
    EXPECT_EQ(Device().GetTextureStageState(0, pf::StageStateId::ColorOp), uint32_t(pf::TopModulate));
}

TEST(OverlayFont, AMissingFontLogsOnceAndDrawsNothing) {
    testkit::LogCapture log;
    pf::DeviceFaults faults;
    pf::PresentParams params;
    params.width = params.height = 16;
    auto device = pf::CreateSoftDevice(params, nullptr, &faults);
    pf::OverlayFont font;
    EXPECT_FALSE(font.Create(*device, 16, "/nonexistent/font.ttf"));
    EXPECT_TRUE(log.Contains("OverlayFont - no usable font file"));
    std::vector<pf::DeviceVertex> out;
    font.Layout(L"text", 0, 0, 0xFFFFFFFFu, out);
    EXPECT_TRUE(out.empty());

    testkit::TempDir dir;
    EXPECT_FALSE(font.Create(*device, 16, dir.Write("bad.ttf", "not a font").string()));

    const std::string real = pf::OverlayFont::FindFontFile();
    if (real.empty()) return;
    ASSERT_TRUE(font.Create(*device, 16, real));
    font.Layout(L"ab c\nd\x4e2d", 0, 0, 0xFFFFFFFFu, out);
    EXPECT_EQ(out.size(), 6u * 5);  // a, b, c, d and '?' for the character it lacks; no quad for blanks
    EXPECT_GE(out[6 * 4].y, 16.0f - 1);  // the second line
}

}  // namespace
}  // namespace displaytest
