// The application's view of the display: AppDisplayPort over a DisplayDX.
#pragma once

#include "shell/Application.h"

namespace pf {

class DisplayDX;

class DisplayAppPort : public AppDisplayPort {
public:
    explicit DisplayAppPort(DisplayDX& display) : display_(display) {}

    bool Init(int width, int height, bool fullScreen, bool wideScreen) override;
    void ShowOverlay(bool on) override;
    void SetOverlayText(const std::wstring& text) override;
    bool IsFullScreen() const override;
    bool SetFullScreen(int width, int height, bool fullScreen) override;
    void GetCurrentSize(int& width, int& height) const override;
    NativeWindow* GetWindow() const override;
    void ClientToGame(float out[2], const float client[2]) const override;
    void GetGameScreenSize(int& width, int& height) const override;
    void ShowDeviceCursor(bool show) override;
    // An ImageLoaderDX gets the display's device; other loaders need none.
    void AttachImageLoader(ImageLoader* loader) override;

private:
    DisplayDX& display_;
};

}  // namespace pf
