// A frame drawn into a real window on the X server (Xvfb in CI): the screenshot the
// window system gives back must hold exactly the frame the device kept in memory.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/platform/MessageQueue.h"
#include "shell/Clock.h"
#include "shell/DisplayDX.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/NativeWindow.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

// A 16 x 16 checkerboard of 4-pixel squares, red and translucent blue.
pf::SurfacePtr Checkerboard(pf::DisplayDX& display) {
    pf::MemorySurface image(16, 16);
    pf::PixelView v = image.GetView();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = ((x / 4 + y / 4) % 2) ? 0xFFE02020u : 0x802040F0u;
    return display.CreateSurfaceFromImage(v);
}

void DrawKnownFrame(pf::DisplayDX& display, pf::Surface* board) {
    ASSERT_TRUE(display.BeginFrame(nullptr));
    display.SetColor(30, 90, 60, 255);
    display.FillRect(pf::Rect(0, 0, kWidth, kHeight));
    display.ResetColor();
    display.SetTransform(pf::MatrixT::MakeIdentity());
    pf::Rect plain(8, 8, 64, 64);
    board->Draw(&display, nullptr, &plain);
    // Rotated and scaled about its centre: linear filtering under the Auto rule.
    pf::MatrixT m = pf::MatrixT::MakeTranslation(pf::VectorT3(-32, -32, 0));
    m = m * pf::MatrixT::MakeScaling(pf::VectorT3(1.5f, 1.5f, 1));
    pf::MatrixT rotation = pf::MatrixT::MakeIdentity();
    rotation.RotationZ(0.5f);
    m = m * rotation * pf::MatrixT::MakeTranslation(pf::VectorT3(200, 110, 0));
    display.SetTransform(m);
    display.SetColor(255, 255, 255, 200);
    pf::Rect quad(0, 0, 64, 64);
    board->Draw(&display, nullptr, &quad);
    display.SetTransform(pf::MatrixT::MakeIdentity());
    display.SetBlendMode(pf::BlendMode::Add);
    display.SetColor(0, 0, 255, 255);
    display.FillRect(pf::Rect(40, 150, 120, 40));
    display.SetBlendMode(pf::BlendMode::Alpha);
    display.SetColor(255, 255, 0, 128);
    display.DrawLine(pf::Point(10, 230), pf::Point(300, 200));
    display.EndFrame();
}

std::vector<uint32_t> BackBuffer(pf::RenderDevice& device) {
    my_intrusive_ptr<pf::DeviceSurface> bb = device.GetBackBuffer();
    std::vector<uint32_t> pixels(size_t(bb->Width()) * bb->Height());
    pf::LockedRect locked;
    if (!pf::Succeeded(bb->LockRect(nullptr, pf::LockReadOnly, locked))) return {};
    for (int y = 0; y < bb->Height(); ++y)
        for (int x = 0; x < bb->Width(); ++x)
            pixels[size_t(y) * bb->Width() + x] = reinterpret_cast<uint32_t*>(locked.bits + size_t(y) * locked.pitch)[x];
    bb->UnlockRect();
    return pixels;
}

TEST(RealWindow, ScreenshotMatchesTheFrameInMemory) {
    RUV3_REQUIRE_DISPLAY();
    RUV3_REQUIRE_PROGRAM("import");
    pf::DisplayDX display;
    ASSERT_TRUE(display.Init(kWidth, kHeight, false, false, false));
    ASSERT_NE(display.GetWindow(), nullptr);
    SDL_Window* window = display.GetWindow()->GetSdlWindow();
    ASSERT_NE(window, nullptr);
    pf::SurfacePtr board = Checkerboard(display);
    ASSERT_TRUE(board);

    testkit::TempDir dir;
    const std::string shot = (dir.Path() / "shot.rgb").string();
    std::vector<uint32_t> frame;
    size_t mismatches = 0;
    std::string first;
    // The window may take a while to be mapped (longer on a busy machine): the same frame
    // is shown again until the screenshot holds it, up to the deadline.
    testkit::WaitUntil([&] {
        DrawKnownFrame(display, board.get());
        SDL_PumpEvents();
        DrawKnownFrame(display, board.get());
        frame = BackBuffer(*display.GetDevice());
        if (frame.size() != size_t(kWidth) * kHeight) return true;  // reported below
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(window, &wx, &wy);
        const std::string crop = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "+" + std::to_string(wx) +
                                 "+" + std::to_string(wy);
        mismatches = frame.size();
        first = "no screenshot";
        if (testkit::RunCommand("timeout 30 import -window root -crop " + crop + " +repage -depth 8 rgb:" + shot) != 0)
            return false;
        const std::string bytes = testkit::ReadFile(shot);
        if (bytes.size() != frame.size() * 3) return false;
        mismatches = 0;
        first.clear();
        for (size_t i = 0; i < frame.size(); ++i) {
            const uint32_t want = frame[i] & 0xFFFFFFu;
            const uint32_t got = uint32_t(uint8_t(bytes[3 * i])) << 16 | uint32_t(uint8_t(bytes[3 * i + 1])) << 8 |
                                 uint8_t(bytes[3 * i + 2]);
            if (want != got && mismatches++ == 0)
                first = "pixel " + std::to_string(i % kWidth) + "," + std::to_string(i / kWidth) + " want " +
                        std::to_string(want) + " got " + std::to_string(got);
        }
        return mismatches == 0;
    });
    ASSERT_EQ(frame.size(), size_t(kWidth) * kHeight);
    EXPECT_EQ(mismatches, 0u) << first;
    // The frame is not trivially uniform: the quads are there.
    EXPECT_NE(frame[size_t(10) * kWidth + 10], frame[size_t(5) * kWidth + 5]);
    EXPECT_NE(frame[size_t(110) * kWidth + 200], frame[size_t(5) * kWidth + 5]);
    EXPECT_NE(frame[size_t(170) * kWidth + 100], frame[size_t(5) * kWidth + 5]);
}

TEST(RealWindow, TheApplicationOpensItsOwnDisplay) {
    pf::MessageQueue queue;
    pf::ApplicationWin32 app(queue);
    ASSERT_NE(app.GetDisplayDX(), nullptr);
    EXPECT_EQ(app.GetDisplay(), static_cast<pf::Display*>(app.GetDisplayDX()));
    auto* loader = dynamic_cast<pf::ImageLoaderDX*>(app.GetImageLoader());
    ASSERT_NE(loader, nullptr);
    EXPECT_NE(dynamic_cast<pf::FileSystemWin32*>(app.GetFileSystem()), nullptr);
    testkit::TempDir dir;
    app.SetDataSource(pf::FromUtf8(dir.Path().string()).c_str(), nullptr, nullptr);
    wchar_t folder[512] = {};
    app.GetFileSystem()->GetResourcePath(folder, 512);
    EXPECT_EQ(std::wstring(folder), pf::FromUtf8(dir.Path().string()) + L"/");

    RUV3_REQUIRE_DISPLAY();
    app.InitDisplay(kWidth, kHeight, false, false);
    ASSERT_NE(app.GetWindow(), nullptr);
    EXPECT_EQ(loader->GetDevice(), app.GetDisplayDX()->GetDevice());
    EXPECT_FALSE(app.GetFullscreen());
    app.SetTitle(L"display test");
    EXPECT_EQ(app.GetWindow()->GetTitle(), L"display test");
}

}  // namespace

// SDL's video start opens a D-Bus connection whose buffers libdbus keeps for the life of
// the process; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
