// The display's window and device: construction, the four Init attempts, the present
// parameters, the scaled-mode choice, the default-pool list, the device reset and the
// switch between window and full screen.
#include <atomic>
#include <algorithm>
#include <cfloat>
#include <cstdio>

#include "shell/Application.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/OverlayFont.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/NativeWindow.h"
#include "shell/render/PresentTarget.h"

namespace pf {

namespace {

// The game screen size: set by Init, read by the window procedure, the scene and the
// widgets. 800 x 600 until a display is initialised.
std::atomic<int> gScreenWidth{800};
std::atomic<int> gScreenHeight{600};

const char* PresentFormatName(DeviceFormat f) {
    switch (f) {
        case DeviceFormat::X8R8G8B8: return "D3DFMT_X8R8G8B8";
        case DeviceFormat::R5G6B5: return "D3DFMT_R5G6B5";
        case DeviceFormat::A8R8G8B8: return "D3DFMT_A8R8G8B8";
        default: return "unknown";
    }
}

// Sides beyond this are taken as unusable where the monitor's size is not known.
constexpr int kLargestSide = 16384;

// A game size no display can use (saved options may hold anything: 0, a negative number,
// text, or more than the monitor shows) becomes 800 x 600, with one log line.
void KeepUsableSize(DisplayPlatform& platform, int& width, int& height) {
    int monitorWidth = kLargestSide, monitorHeight = kLargestSide;
    if (!platform.GetMonitorSize(monitorWidth, monitorHeight) || monitorWidth <= 0 || monitorHeight <= 0)
        monitorWidth = monitorHeight = kLargestSide;
    if (width > 0 && height > 0 && width <= monitorWidth && height <= monitorHeight) return;
    DebugStream() << "Display - the game size " << width << "x" << height << " does not fit the monitor ("
                  << monitorWidth << "x" << monitorHeight << "); the default 800x600 is used";
    width = 800;
    height = 600;
}

}  // namespace

void SetGameScreenSize(int width, int height) {
    gScreenWidth = width;
    gScreenHeight = height;
}

void GetGameScreenSize(int& width, int& height) {
    width = gScreenWidth;
    height = gScreenHeight;
}

bool ChooseScaledModeFrom(int mw, int mh, const std::vector<DisplayMode>& modes, int gameWidth,
                          int gameHeight, int& modeWidth, int& modeHeight, bool& found) {
    found = false;
    if (mw <= 0 || mh <= 0) return false;
    const float aspect = float(mw) / float(mh);
    for (int pass = 0; pass < 2 && !found; ++pass) {
        long long best = (long long)mw * mh;
        for (const DisplayMode& m : modes) {
            if (m.format != DeviceFormat::X8R8G8B8 || m.height <= 0) continue;
            if (pass == 0 && std::fabs(float(m.width) / float(m.height) - aspect) > FLT_EPSILON) continue;
            const long long area = (long long)m.width * m.height;
            if (area <= best && m.width >= gameWidth && m.height >= gameHeight) {
                best = area;
                modeWidth = m.width;
                modeHeight = m.height;
                found = true;
            }
        }
    }
    return found && (modeWidth != gameWidth || modeHeight != gameHeight);
}

DisplayDX::DisplayDX(DisplayPlatform* platform) : platform_(platform) {
    if (!platform_) {
        ownPlatform_ = std::make_unique<SdlDisplayPlatform>();
        platform_ = ownPlatform_.get();
    }
    SetColor(255, 255, 255, 255);
    brightness_ = 0;
    // The window class belongs to the application's window procedure; it is registered
    // there, so a display alone only makes sure the name is known.
    if (!FindWindowClass(ApplicationWin32::kWindowClass))
        RegisterWindowClass(ApplicationWin32::kWindowClass, DefaultWindowProc);
}

DisplayDX::~DisplayDX() {
    overlayFont_.reset();
    if (device_) ReleaseLetterboxTarget();
    cursorSurface_.reset();
    {
        std::lock_guard<std::recursive_mutex> lock(poolLock_);
        if (!defaultPoolResources_.empty()) {
            DebugStream() << "Some default pool resources are not deleted. size: "
                          << (unsigned long)defaultPoolResources_.size();
            // Surfaces that outlive the display must not call back into it.
            std::vector<DefaultPoolRes*> left;
            left.swap(defaultPoolResources_);
            for (DefaultPoolRes* r : left)
                if (auto* s = dynamic_cast<NativeSurfaceDX*>(r)) s->ForgetDisplay();
        }
    }
    savedRenderTarget_.reset();
    device_.reset();
    presentTarget_.reset();
    window_.reset();
}

void DisplayDX::GetScreenSize(int& width, int& height) const {
    width = scaledModeWidth_;
    height = scaledModeHeight_;
}

// ---------------------------------------------------------------------------------------
// Init

bool DisplayDX::Init(int width, int height, bool fullScreen, bool allowScaledMode, bool depthBuffer) {
    allowScaledMode_ = allowScaledMode;
    if (!platform_->Start()) {
        GetMessageBoxService().Show(L"error", L"can't create Direct3D, is dx8.1 installed?");
        return false;
    }
    KeepUsableSize(*platform_, width, height);
    SetGameScreenSize(width, height);
    bool ok = false;
    if (fullScreen) {
        if (allowScaledMode) ok = InitDevice(width, height, true, true, depthBuffer);
        if (!ok) ok = InitDevice(width, height, true, false, depthBuffer);
    }
    if (!ok) ok = InitDevice(width, height, false, true, depthBuffer);
    if (!ok) ok = InitDevice(width, height, false, false, depthBuffer);
    if (!ok) {
        GetMessageBoxService().Show(L"error",
                                    L"Direct3D functionality not available.  You should verify that the "
                                    L"driver is a final version from the hardware manufacturer.");
        return false;
    }
    return true;
}

void DisplayDX::DestroyDevice() {
    if (!device_) return;
    BeforeReset();
    cursorSurface_.reset();
    overlayFont_.reset();
    device_.reset();
    presentTarget_.reset();
    window_.reset();
}

bool DisplayDX::InitDevice(int width, int height, bool fullScreen, bool useScaledMode, bool depthBuffer) {
    DestroyDevice();
    fullScreen_ = fullScreen;
    gameWidth_ = width;
    gameHeight_ = height;
    scaled_ = false;
    depthBuffer_ = depthBuffer;
    if (useScaledMode) scaled_ = ChooseScaledMode();
    if (!CreateMainWindow()) return false;
    PresentParams params = MakePresentParams(32);
    if (!CreateDevice(params)) {
        params = MakePresentParams(16);
        if (!CreateDevice(params)) {
            presentTarget_.reset();
            window_.reset();
            return false;
        }
    }
    backBufferFormat_ = params.backBufferFormat;
    const DeviceCaps caps = device_->GetCaps();
    textureCaps_ = TextureCaps{caps.maxTextureWidth, caps.maxTextureHeight, false};
    overlayFont_ = std::make_unique<OverlayFont>();
    overlayFont_->Create(*device_, 16);
    resetPending_ = false;
    RestoreRenderStates();
    return true;
}

bool DisplayDX::CreateMainWindow() {
    const int w = fullScreen_ && scaled_ ? scaledModeWidth_ : gameWidth_;
    const int h = fullScreen_ && scaled_ ? scaledModeHeight_ : gameHeight_;
    window_ = platform_->CreateWindow(ApplicationWin32::kWindowClass, L"", w, h, fullScreen_);
    if (!window_) return false;
    if (!fullScreen_) {
        platform_->PlaceWindow(*window_);
        int right = 0, bottom = 0;
        window_->GetWindowRect(windowLeft_, windowTop_, right, bottom);
    }
    presentTarget_ = platform_->CreatePresentTarget(*window_);
    return presentTarget_ != nullptr;
}

PresentParams DisplayDX::MakePresentParams(int bits) const {
    PresentParams p;
    if (fullScreen_) {
        p.backBufferFormat = bits == 32 ? DeviceFormat::X8R8G8B8 : DeviceFormat::R5G6B5;
        p.width = scaled_ ? scaledModeWidth_ : gameWidth_;
        p.height = scaled_ ? scaledModeHeight_ : gameHeight_;
        p.windowed = false;
    } else {
        p.backBufferFormat = bits == 32 ? DeviceFormat::A8R8G8B8 : DeviceFormat::R5G6B5;
        p.width = gameWidth_;
        p.height = gameHeight_;
        p.windowed = true;
    }
    char text[200];
    std::snprintf(text, sizeof text, "InitPresentParams:\nwidth = %d\nheight = %d\nwindowed = %d\nformat = %s",
                  p.width, p.height, p.windowed ? 1 : 0, PresentFormatName(p.backBufferFormat));
    DebugStream() << text;
    return p;
}

bool DisplayDX::CreateDevice(const PresentParams& params) {
    device_ = platform_->CreateDevice(params, presentTarget_.get());
    DebugStream() << (device_ ? "CreateDevice succeeded" : "CreateDevice failed");
    return device_ != nullptr;
}

bool DisplayDX::ChooseScaledMode() {
    int mw = 0, mh = 0;
    if (!platform_->GetMonitorSize(mw, mh)) return false;
    bool found = false;
    int w = scaledModeWidth_, h = scaledModeHeight_;
    const bool differs = ChooseScaledModeFrom(mw, mh, platform_->GetModes(), gameWidth_, gameHeight_, w, h, found);
    if (!found) return false;
    scaledModeWidth_ = w;
    scaledModeHeight_ = h;
    return differs;
}

// ---------------------------------------------------------------------------------------
// Default-pool list and reset

void DisplayDX::RegisterDefaultPool(DefaultPoolRes* resource) {
    std::lock_guard<std::recursive_mutex> lock(poolLock_);
    defaultPoolResources_.push_back(resource);
}

void DisplayDX::UnregisterDefaultPool(DefaultPoolRes* resource) {
    std::lock_guard<std::recursive_mutex> lock(poolLock_);
    auto it = std::find(defaultPoolResources_.begin(), defaultPoolResources_.end(), resource);
    if (it != defaultPoolResources_.end()) defaultPoolResources_.erase(it);
}

size_t DisplayDX::DefaultPoolCount() const {
    std::lock_guard<std::recursive_mutex> lock(poolLock_);
    return defaultPoolResources_.size();
}

void DisplayDX::BeforeReset() {
    DebugStream() << "DisplayDX::BeforeReset";
    ReleaseLetterboxTarget();
    if (device_) {
        // The device's own references to textures and targets would keep them alive
        // through the reset.
        for (int stage = 0; stage < 2; ++stage) device_->SetTexture(stage, nullptr);
        my_intrusive_ptr<DeviceSurface> back = device_->GetBackBuffer();
        if (device_->GetRenderTarget() != back) device_->SetRenderTarget(back.get());
        savedRenderTarget_.reset();
    }
    if (overlayFont_) overlayFont_->OnLostDevice();
    std::lock_guard<std::recursive_mutex> lock(poolLock_);
    for (DefaultPoolRes* r : defaultPoolResources_) r->OnLostDevice();
}

void DisplayDX::AfterReset() {
    DebugStream() << "DisplayDX::AfterReset";
    if (overlayFont_ && device_) overlayFont_->OnResetDevice(*device_);
    RestoreRenderStates();
    if (cursorSurface_ && device_)
        device_->SetCursorProperties(cursorHotspot_.x, cursorHotspot_.y, cursorSurface_.get());
    std::lock_guard<std::recursive_mutex> lock(poolLock_);
    for (DefaultPoolRes* r : defaultPoolResources_) r->OnResetDevice();
}

bool DisplayDX::ResetDevice() {
    if (!device_) return false;
    BeforeReset();
    PresentParams params = MakePresentParams(32);
    bool ok = Succeeded(device_->Reset(params));
    if (!ok) {
        params = MakePresentParams(16);
        ok = Succeeded(device_->Reset(params));
    }
    if (!ok) {
        // Letterboxing stays off until the next switch of the screen mode.
        scaled_ = false;
        params = MakePresentParams(32);
        ok = Succeeded(device_->Reset(params));
        if (!ok) {
            params = MakePresentParams(16);
            device_->Reset(params);
            ok = Succeeded(device_->Reset(params));
        }
    }
    if (!ok) {
        resetPending_ = true;
        return false;
    }
    resetPending_ = false;
    backBufferFormat_ = params.backBufferFormat;
    AfterReset();
    return true;
}

bool DisplayDX::SetFullScreen(int width, int height, bool fullScreen) {
    if (fullScreen == fullScreen_ && width == gameWidth_ && height == gameHeight_) return true;
    DebugStream() << "change screen mode: width = " << width << ", height = " << height
                  << ", fullscreen = " << fullScreen;
    fullScreen_ = fullScreen;
    gameWidth_ = width;
    gameHeight_ = height;
    scaled_ = allowScaledMode_ ? ChooseScaledMode() : false;
    if (!device_ || !window_) return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (fullScreen_) {
            window_->SetClientSize(scaled_ ? scaledModeWidth_ : gameWidth_, scaled_ ? scaledModeHeight_ : gameHeight_);
            window_->SetFullScreen(true);
        } else {
            window_->SetFullScreen(false);
            window_->SetClientSize(gameWidth_, gameHeight_);
            platform_->PlaceWindow(*window_);
        }
        if (ResetDevice()) return attempt == 0;
        if (!fullScreen_) break;
        DebugStream() << "DisplayDX::SetFullScreen - failed - attempting windowed mode";
        fullScreen_ = false;
    }
    return false;
}

}  // namespace pf
