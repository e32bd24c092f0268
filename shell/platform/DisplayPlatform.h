// What the display needs of the system below it: whether a device can be made at all,
// the monitor of the first adapter and its modes, the game window, where frames go and
// the device itself. The SDL implementation draws into a real window; tests install a
// platform with a made-up monitor, headless windows and a recording device.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "shell/render/SoftDevice.h"

namespace pf {

class NativeWindow;
class PresentTarget;

struct DisplayMode {
    int width = 0, height = 0;
    DeviceFormat format = DeviceFormat::X8R8G8B8;
};

class DisplayPlatform {
public:
    virtual ~DisplayPlatform() = default;
    // The equivalent of creating the device factory; false when no device can be made.
    virtual bool Start() = 0;
    // Size of the monitor the first adapter drives; false when there is none.
    virtual bool GetMonitorSize(int& width, int& height) = 0;
    // Every mode of the first adapter.
    virtual std::vector<DisplayMode> GetModes() = 0;
    // The game window with the given client size (null with a log line on failure).
    virtual std::unique_ptr<NativeWindow> CreateWindow(const std::string& className,
                                                       const std::wstring& title, int width,
                                                       int height, bool fullScreen) = 0;
    // Keeps a windowed window on the first adapter's monitor, centring it there when it
    // lies elsewhere.
    virtual void PlaceWindow(NativeWindow& window) {}
    // Where the window's frames go; it must live as long as any device made for it.
    virtual std::unique_ptr<PresentTarget> CreatePresentTarget(NativeWindow& window) = 0;
    // A device presenting into target (null with a log line on failure).
    virtual std::unique_ptr<RenderDevice> CreateDevice(const PresentParams& params,
                                                       PresentTarget* target) = 0;
};

// SDL2: the video subsystem, display 0 and its modes, SDL windows and the software device.
class SdlDisplayPlatform : public DisplayPlatform {
public:
    bool Start() override;
    bool GetMonitorSize(int& width, int& height) override;
    std::vector<DisplayMode> GetModes() override;
    std::unique_ptr<NativeWindow> CreateWindow(const std::string& className, const std::wstring& title,
                                               int width, int height, bool fullScreen) override;
    void PlaceWindow(NativeWindow& window) override;
    std::unique_ptr<PresentTarget> CreatePresentTarget(NativeWindow& window) override;
    std::unique_ptr<RenderDevice> CreateDevice(const PresentParams& params, PresentTarget* target) override;
};

// No window system: headless windows, frames kept in memory, the software device. The
// monitor and its modes are whatever the owner sets; faults (may be null) go to every
// device made.
class HeadlessDisplayPlatform : public DisplayPlatform {
public:
    bool startResult = true;
    bool haveMonitor = true;
    int monitorWidth = 1280, monitorHeight = 1024;
    std::vector<DisplayMode> modes{{800, 600}, {1024, 768}, {1280, 1024}};
    DeviceFaults* faults = nullptr;

    bool Start() override { return startResult; }
    bool GetMonitorSize(int& width, int& height) override;
    std::vector<DisplayMode> GetModes() override { return modes; }
    std::unique_ptr<NativeWindow> CreateWindow(const std::string& className, const std::wstring& title,
                                               int width, int height, bool fullScreen) override;
    std::unique_ptr<PresentTarget> CreatePresentTarget(NativeWindow& window) override;
    std::unique_ptr<RenderDevice> CreateDevice(const PresentParams& params, PresentTarget* target) override;
};

}  // namespace pf
