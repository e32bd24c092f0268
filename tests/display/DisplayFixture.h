// A display over a made-up platform: a monitor and mode list of the test's choosing,
// headless windows, and a recording software device presenting into memory, with
// fault injection for creation, loss and reset.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "shell/DisplayDX.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/platform/DisplayPlatform.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/NativeWindow.h"
#include "shell/render/PresentTarget.h"
#include "shell/render/SoftDeviceRecording.h"

namespace displaytest {

// Headless, with a recording device and the creations it was asked for.
class FakePlatform : public pf::HeadlessDisplayPlatform {
public:
    FakePlatform() { HeadlessDisplayPlatform::faults = &faults; }

    pf::DeviceFaults faults;
    // "WxH fullscreen|windowed FORMAT" for every device creation asked for.
    std::vector<std::string> creations;
    pf::RecordingDevice* device = nullptr;
    pf::MemoryPresentTarget* target = nullptr;

    std::unique_ptr<pf::PresentTarget> CreatePresentTarget(pf::NativeWindow&) override {
        auto t = std::make_unique<pf::MemoryPresentTarget>();
        target = t.get();
        return t;
    }
    std::unique_ptr<pf::RenderDevice> CreateDevice(const pf::PresentParams& p, pf::PresentTarget* t) override {
        creations.push_back(std::to_string(p.width) + "x" + std::to_string(p.height) +
                            (p.windowed ? " windowed " : " fullscreen ") + pf::DeviceFormatName(p.backBufferFormat));
        auto d = pf::CreateRecordingDevice(p, t, &faults);
        device = d.get();
        return d;
    }
};

// The box of presented pixels whose green is above half in the frame area; empty when none.
inline pf::Rect LitBox(const pf::MemoryPresentTarget& target, const pf::Rect& area) {
    int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            if (((target.Pixel(x, y) >> 8) & 0xFF) > 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? pf::Rect() : pf::Rect(left, top, right - left + 1, bottom - top + 1);
}

class RecordingBox : public pf::MessageBoxService {
public:
    std::vector<std::wstring> texts;
    void Show(const std::wstring&, const std::wstring& text) override { texts.push_back(text); }
};

class DisplayTest : public testing::Test {
protected:
    void SetUp() override { pf::SetMessageBoxService(&box); }
    void TearDown() override {
        display.reset();
        pf::SetMessageBoxService(nullptr);
    }

    void Start(int w = 800, int h = 600, bool fullScreen = false, bool allowScaled = false) {
        display = std::make_unique<pf::DisplayDX>(&platform);
        ASSERT_TRUE(display->Init(w, h, fullScreen, allowScaled, false));
        platform.device->ClearLog();
    }
    pf::RecordingDevice& Device() { return *platform.device; }
    const pf::MemoryPresentTarget& Target() { return *platform.target; }
    // One frame: draw() between BeginFrame and EndFrame.
    template <class F>
    void Frame(F draw) {
        ASSERT_TRUE(display->BeginFrame(nullptr));
        draw();
        display->EndFrame();
    }
    // A managed texture surface of one colour (0xAARRGGBB).
    pf::SurfacePtr SolidSurface(int w, int h, uint32_t argb) {
        pf::MemorySurface image(w, h);
        pf::PixelView v = image.GetView();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = argb;
        return display->CreateSurfaceFromImage(v);
    }
    // The surface's pixel at (x, y) as 0xAARRGGBB (A8R8G8B8 surfaces).
    static uint32_t PixelOf(pf::Surface* s, int x, int y) {
        pf::Rect r(x, y, 1, 1);
        pf::PixelView v = pf::LockView(s, &r, true, false);
        uint32_t p = v.data ? *reinterpret_cast<uint32_t*>(v.data) : 0xDEADBEEFu;
        s->Unlock();
        return p;
    }

    FakePlatform platform;  // outlives the display: the device points at its faults
    RecordingBox box;
    std::unique_ptr<pf::DisplayDX> display;
};

}  // namespace displaytest
