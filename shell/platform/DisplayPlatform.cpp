#include "shell/platform/DisplayPlatform.h"

#include <SDL.h>

#include "shell/foundation/Log.h"
#include "shell/platform/NativeWindow.h"
#include "shell/platform/SdlPresentTarget.h"

namespace pf {

bool SdlDisplayPlatform::Start() { return StartVideo(); }

bool SdlDisplayPlatform::GetMonitorSize(int& width, int& height) {
    SDL_Rect bounds;
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 ||
        bounds.h <= 0)
        return false;
    width = bounds.w;
    height = bounds.h;
    return true;
}

std::vector<DisplayMode> SdlDisplayPlatform::GetModes() {
    std::vector<DisplayMode> modes;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        DisplayMode m;
        m.width = mode.w;
        m.height = mode.h;
        const int bits = SDL_BITSPERPIXEL(mode.format);
        m.format = bits >= 24 ? DeviceFormat::X8R8G8B8 : bits == 16 ? DeviceFormat::R5G6B5 : DeviceFormat::Unknown;
        modes.push_back(m);
    }
    return modes;
}

std::unique_ptr<NativeWindow> SdlDisplayPlatform::CreateWindow(const std::string& className,
                                                               const std::wstring& title, int width,
                                                               int height, bool fullScreen) {
    return NativeWindow::Create(className, title, width, height, fullScreen);
}

void SdlDisplayPlatform::PlaceWindow(NativeWindow& window) {
    SDL_Window* sdl = window.GetSdlWindow();
    if (!sdl || (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN)) return;
    const int index = SDL_GetWindowDisplayIndex(sdl);
    if (index == 0) return;  // already on the first adapter's monitor
    SDL_Rect work;
    if (SDL_GetDisplayUsableBounds(0, &work) != 0) {
        DebugStream() << "DisplayDX - no monitor information: " << SDL_GetError();
        return;
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    SDL_SetWindowPosition(sdl, work.x + (work.w - w) / 2, work.y + (work.h - h) / 2);
}

std::unique_ptr<PresentTarget> SdlDisplayPlatform::CreatePresentTarget(NativeWindow& window) {
    if (window.GetSdlWindow()) return std::make_unique<SdlWindowPresentTarget>(window.GetSdlWindow());
    return std::make_unique<MemoryPresentTarget>();
}

std::unique_ptr<RenderDevice> SdlDisplayPlatform::CreateDevice(const PresentParams& params,
                                                               PresentTarget* target) {
    return CreateSoftDevice(params, target);
}

bool HeadlessDisplayPlatform::GetMonitorSize(int& width, int& height) {
    width = monitorWidth;
    height = monitorHeight;
    return haveMonitor;
}

std::unique_ptr<NativeWindow> HeadlessDisplayPlatform::CreateWindow(const std::string& className,
                                                                    const std::wstring& title, int width,
                                                                    int height, bool fullScreen) {
    auto window = NativeWindow::CreateHeadless(className, width, height);
    window->SetTitle(title);
    window->SetFullScreen(fullScreen);
    return window;
}

std::unique_ptr<PresentTarget> HeadlessDisplayPlatform::CreatePresentTarget(NativeWindow&) {
    return std::make_unique<MemoryPresentTarget>();
}

std::unique_ptr<RenderDevice> HeadlessDisplayPlatform::CreateDevice(const PresentParams& params,
                                                                    PresentTarget* target) {
    return CreateSoftDevice(params, target, faults);
}

}  // namespace pf
