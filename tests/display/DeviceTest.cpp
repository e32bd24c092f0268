// The display's device life: the scaled-mode choice and letterbox, the Init attempts,
// device loss and reset with the default-pool textures, and full-screen switches.
#include "display/DisplayFixture.h"

namespace displaytest {
namespace {

TEST(ScaledMode, ChoosesTheSmallestModeThatHoldsTheGame) {
    using M = std::vector<pf::DisplayMode>;
    const pf::DeviceFormat x32 = pf::DeviceFormat::X8R8G8B8, r16 = pf::DeviceFormat::R5G6B5;
    const struct {
        const char* name;
        M modes;
        bool found, differs;
        int w, h;
    } cases[] = {
        // Only 1280 x 1024 has the monitor's aspect of 1.25.
        {"aspect pass", {{800, 600, x32}, {1024, 768, x32}, {1280, 1024, x32}}, true, true, 1280, 1024},
        {"second pass when no mode has the aspect", {{1024, 768, x32}, {1152, 864, x32}}, true, true, 1024, 768},
        {"16-bit modes do not count", {{1000, 800, r16}, {1280, 1024, x32}}, true, true, 1280, 1024},
        {"the later of equal areas", {{1000, 800, x32}, {1000, 800, x32}, {1280, 1024, x32}}, true, true, 1000, 800},
        {"the game size itself", {{800, 600, x32}, {1280, 1024, x32}, {1024, 768, x32}}, true, true, 1280, 1024},
        {"nothing big enough", {{640, 480, x32}}, false, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int w = 0, h = 0;
        bool found = false;
        EXPECT_EQ(pf::ChooseScaledModeFrom(1280, 1024, c.modes, 800, 600, w, h, found), c.differs);
        EXPECT_EQ(found, c.found);
        if (c.found) {
            EXPECT_EQ(w, c.w);
            EXPECT_EQ(h, c.h);
        }
    }
    int w = 0, h = 0;
    bool found = false;
    EXPECT_FALSE(pf::ChooseScaledModeFrom(1280, 1024, {{800, 600}}, 800, 600, w, h, found));
    EXPECT_TRUE(found);  // found, but the game's own size: no letterbox
}

TEST(ScaledMode, LetterboxScalesAndCentres) {
    const pf::MatrixT m = pf::MakeLetterboxMatrix(800, 600, 1280, 1024);
    EXPECT_FLOAT_EQ(m.m[0][0], 1.6f);
    EXPECT_FLOAT_EQ(m.m[1][1], 1.6f);
    EXPECT_FLOAT_EQ(m.m[3][0], 0);
    EXPECT_FLOAT_EQ(m.m[3][1], 32);
    // Less than 10% larger: no scaling, only centred.
    const pf::MatrixT small = pf::MakeLetterboxMatrix(800, 600, 840, 630);
    EXPECT_FLOAT_EQ(small.m[0][0], 1);
    EXPECT_FLOAT_EQ(small.m[3][0], 20);
    EXPECT_FLOAT_EQ(small.m[3][1], 15);
    // A game taller than the mode's aspect is scaled by height.
    const pf::MatrixT tall = pf::MakeLetterboxMatrix(600, 600, 1280, 1024);
    EXPECT_NEAR(tall.m[0][0], 1024.0f / 600, 1e-5);
    EXPECT_FLOAT_EQ(tall.m[3][1], 0);
    EXPECT_FLOAT_EQ(tall.m[3][0], std::floor((1280 - 1024) * 0.5f));
}

TEST_F(DisplayTest, LetterboxedFullScreenDrawsTheGameScaledAndCentred) {
    Start(800, 600, true, true);
    EXPECT_TRUE(display->IsScaled());
    int sw = 0, sh = 0;
    display->GetScreenSize(sw, sh);
    EXPECT_EQ(sw, 1280);
    EXPECT_EQ(sh, 1024);
    EXPECT_EQ(platform.creations.front(), "1280x1024 fullscreen X8R8G8B8");
    Frame([&] {
        display->SetColor(255, 255, 255, 255);
        display->FillRect(pf::Rect(0, 0, 800, 600));
        display->SetColor(255, 0, 0, 255);
        display->FillRect(pf::Rect(0, 0, 1, 1));
    });
    ASSERT_EQ(Target().Width(), 1280);
    EXPECT_EQ(Target().Pixel(640, 31), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(640, 32) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(640, 991) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(640, 992), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(0, 500) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(1279, 500) | 0xFF000000u, 0xFFFFFFFFu);
    // The game's top-left pixel covers the 1.6 x 1.6 screen pixels from (0, 32).
    EXPECT_EQ(Target().Pixel(0, 32) & 0xFFFFFFu, 0xFF0000u);

    const struct {
        float client[2], game[2];
    } points[] = {{{0, 32}, {0, 0}}, {{1280, 992}, {800, 600}}, {{640, 512}, {400, 300}}, {{0, 0}, {0, -20}}};
    for (const auto& p : points) {
        float game[2];
        display->ClientToGame(game, p.client);
        EXPECT_NEAR(game[0], p.game[0], 1e-3);
        EXPECT_NEAR(game[1], p.game[1], 1e-3);
    }
}

TEST_F(DisplayTest, AnUnscaledFrameIsNotCoveredByTheLastLetterboxedPicture) {
    Start(800, 600, true, true);
    Frame([&] {
        display->SetColor(255, 0, 0, 255);
        display->FillRect(pf::Rect(0, 0, 800, 600));
    });
    ASSERT_TRUE(display->BeginFrameUnscaled(nullptr));
    display->SetColor(0, 255, 0, 255);
    display->FillRect(pf::Rect(0, 0, 10, 10));
    display->EndFrame();
    EXPECT_EQ(Target().Pixel(5, 5), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(5, 500), 0xFF000000u);
    // The next letterboxed frame is whole again.
    Frame([&] {
        display->SetColor(0, 0, 255, 255);
        display->FillRect(pf::Rect(0, 0, 800, 600));
    });
    EXPECT_EQ(Target().Pixel(640, 512), 0xFF0000FFu);
    EXPECT_EQ(Target().Pixel(640, 10), 0xFF000000u);
}

TEST_F(DisplayTest, WindowedClientIsTheGame) {
    Start(640, 480);
    const float client[2] = {123, 45};
    float game[2];
    display->ClientToGame(game, client);
    EXPECT_EQ(game[0], 123);
    EXPECT_EQ(game[1], 45);
    int w = 0, h = 0;
    pf::GetGameScreenSize(w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(display->GetBackBufferFormat(), pf::PixelFormat::A8R8G8B8);
}

TEST_F(DisplayTest, InitTriesFullScreenThenWindowedWith32Then16Bits) {
    const struct {
        const char* name;
        bool fullScreen, allowScaled;
        int failures;
        std::vector<std::string> attempts;
        bool fullScreenAfter;
    } cases[] = {
        {"windowed first try", false, false, 0, {"800x600 windowed A8R8G8B8"}, false},
        {"16 bits after 32", false, false, 1, {"800x600 windowed A8R8G8B8", "800x600 windowed R5G6B5"}, false},
        {"full screen without scaling",
         true,
         false,
         2,
         {"800x600 fullscreen X8R8G8B8", "800x600 fullscreen R5G6B5", "800x600 windowed A8R8G8B8"},
         false},
        {"scaled, then unscaled full screen",
         true,
         true,
         2,
         {"1280x1024 fullscreen X8R8G8B8", "1280x1024 fullscreen R5G6B5", "800x600 fullscreen X8R8G8B8"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.creations.clear();
        platform.faults.FailCreations(c.failures);
        display = std::make_unique<pf::DisplayDX>(&platform);
        ASSERT_TRUE(display->Init(800, 600, c.fullScreen, c.allowScaled, false));
        EXPECT_EQ(platform.creations, c.attempts);
        EXPECT_EQ(display->IsFullScreen(), c.fullScreenAfter);
        EXPECT_NE(display->GetWindow(), nullptr);
    }
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(DisplayTest, InitFailsWithAMessageWhenNoDeviceCanBeMade) {
    platform.faults.FailCreations(100);
    display = std::make_unique<pf::DisplayDX>(&platform);
    EXPECT_FALSE(display->Init(800, 600, true, true, false));
    EXPECT_EQ(platform.creations.size(), 8u);
    EXPECT_EQ(display->GetWindow(), nullptr);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], L"Direct3D functionality not available.  You should verify that the driver is a final "
                            L"version from the hardware manufacturer.");
    EXPECT_FALSE(display->BeginFrame(nullptr));

    platform.startResult = false;
    box.texts.clear();
    display = std::make_unique<pf::DisplayDX>(&platform);
    EXPECT_FALSE(display->Init(800, 600, false, false, false));
    EXPECT_EQ(box.texts, std::vector<std::wstring>{L"can't create Direct3D, is dx8.1 installed?"});
}

TEST_F(DisplayTest, LostDeviceSkipsFramesUntilTheResetBringsDefaultPoolTexturesBackEmpty) {
    Start();
    pf::SurfacePtr managed = SolidSurface(8, 8, 0xFF336699u);
    pf::SurfacePtr target = display->CreateNativeSurface(8, 8, pf::PixelFormat::A8R8G8B8, 1, false, true);
    ASSERT_TRUE(target);
    EXPECT_EQ(display->DefaultPoolCount(), 1u);
    {
        pf::PixelView v = pf::LockView(target.get(), nullptr, false, true);
        ASSERT_NE(v.data, nullptr);
        *reinterpret_cast<uint32_t*>(v.data) = 0xFFFFFFFFu;
        target->Unlock();
    }
    testkit::LogCapture log;
    platform.faults.LoseDevice();
    EXPECT_FALSE(display->BeginFrame(nullptr));
    EXPECT_TRUE(log.Contains("D3DERR_DEVICELOST"));
    EXPECT_EQ(PixelOf(managed.get(), 0, 0), 0xFF336699u);

    // The first resets fail: the textures stay gone and the next frame tries again.
    platform.faults.AllowReset();
    platform.faults.FailResets(5);
    EXPECT_FALSE(display->BeginFrame(nullptr));
    EXPECT_EQ(static_cast<pf::NativeSurfaceDX*>(target.get())->GetTexture(), nullptr);
    EXPECT_EQ(PixelOf(target.get(), 0, 0), 0xDEADBEEFu);  // nothing to lock

    ASSERT_TRUE(display->BeginFrame(nullptr));
    display->EndFrame();
    EXPECT_TRUE(log.Contains("D3DERR_DEVICENOTRESET. reseting..."));
    EXPECT_TRUE(log.Contains("DisplayDX::AfterReset"));
    ASSERT_NE(static_cast<pf::NativeSurfaceDX*>(target.get())->GetTexture(), nullptr);
    EXPECT_EQ(PixelOf(target.get(), 0, 0), 0u);  // back, empty
    EXPECT_EQ(target->GetWidth(), 8);
    EXPECT_EQ(PixelOf(managed.get(), 0, 0), 0xFF336699u);
    EXPECT_EQ(display->DefaultPoolCount(), 1u);
    target.reset();
    EXPECT_EQ(display->DefaultPoolCount(), 0u);
}

TEST_F(DisplayTest, AResetThatNeedsTheUnscaledModeEndsLetterboxing) {
    Start(800, 600, true, true);
    ASSERT_TRUE(display->IsScaled());
    platform.faults.LoseDevice();
    platform.faults.AllowReset();
    platform.faults.FailResets(2);  // the scaled 32- and 16-bit attempts
    ASSERT_TRUE(display->BeginFrame(nullptr));
    display->EndFrame();
    EXPECT_FALSE(display->IsScaled());
    EXPECT_EQ(Device().CallsStartingWith("Reset"),
              (std::vector<std::string>{"Reset 1280 1024 X8R8G8B8 fullscreen", "Reset 1280 1024 R5G6B5 fullscreen",
                                        "Reset 800 600 X8R8G8B8 fullscreen"}));
    EXPECT_EQ(Target().Width(), 800);
    EXPECT_EQ(display->GetLetterboxMatrix(), pf::MatrixT::MakeIdentity());
}

TEST_F(DisplayTest, FullScreenSwitchAnswersWhetherTheModeWasSet) {
    Start();
    {
        testkit::LogCapture log;
        EXPECT_TRUE(display->SetFullScreen(800, 600, false));
        EXPECT_FALSE(log.Contains("change screen mode"));
        EXPECT_TRUE(Device().CallsStartingWith("Reset").empty());
    }
    EXPECT_TRUE(display->SetFullScreen(800, 600, true));
    EXPECT_TRUE(display->IsFullScreen());
    EXPECT_TRUE(display->GetWindow()->IsFullScreen());
    EXPECT_EQ(Device().GetPresentParams().windowed, false);

    // Every full-screen reset fails: the display falls back to a window and says so.
    testkit::LogCapture log;
    EXPECT_TRUE(display->SetFullScreen(640, 480, false));
    platform.faults.FailResets(5);
    EXPECT_FALSE(display->SetFullScreen(640, 480, true));
    EXPECT_TRUE(log.Contains("DisplayDX::SetFullScreen - failed - attempting windowed mode"));
    EXPECT_FALSE(display->IsFullScreen());
    EXPECT_TRUE(Device().GetPresentParams().windowed);
    EXPECT_EQ(display->GetWidth(), 640);
    EXPECT_TRUE(display->BeginFrame(nullptr));
    display->EndFrame();
    EXPECT_EQ(Target().Width(), 640);
}

TEST_F(DisplayTest, DestroyingTheDisplayFirstLeavesSurfacesInert) {
    Start();
    pf::SurfacePtr target = display->CreateNativeSurface(4, 4, pf::PixelFormat::A8R8G8B8, 1, false, true);
    testkit::LogCapture log;
    display.reset();
    EXPECT_TRUE(log.Contains("Some default pool resources are not deleted. size: 1"));
    int pitch = 1;
    uint8_t* bits = reinterpret_cast<uint8_t*>(1);
    target->Lock(pf::LockRead, nullptr, pitch, bits);
    EXPECT_EQ(bits, nullptr);
}

}  // namespace
}  // namespace displaytest
