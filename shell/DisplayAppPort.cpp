#include "shell/DisplayAppPort.h"

#include "shell/DisplayDX.h"
#include "shell/ImageLoaderDX.h"

namespace pf {

bool DisplayAppPort::Init(int width, int height, bool fullScreen, bool wideScreen) {
    return display_.Init(width, height, fullScreen, wideScreen, false);
}

void DisplayAppPort::ShowOverlay(bool on) { display_.ShowOverlay(on); }

void DisplayAppPort::SetOverlayText(const std::wstring& text) { display_.SetOverlayText(text); }

bool DisplayAppPort::IsFullScreen() const { return display_.IsFullScreen(); }

bool DisplayAppPort::SetFullScreen(int width, int height, bool fullScreen) {
    return display_.SetFullScreen(width, height, fullScreen);
}

void DisplayAppPort::GetCurrentSize(int& width, int& height) const {
    width = display_.GetWidth();
    height = display_.GetHeight();
}

NativeWindow* DisplayAppPort::GetWindow() const { return display_.GetWindow(); }

void DisplayAppPort::ClientToGame(float out[2], const float client[2]) const { display_.ClientToGame(out, client); }

void DisplayAppPort::GetGameScreenSize(int& width, int& height) const { pf::GetGameScreenSize(width, height); }

void DisplayAppPort::ShowDeviceCursor(bool show) {
    if (RenderDevice* device = display_.GetDevice()) device->ShowCursor(show);
}

void DisplayAppPort::AttachImageLoader(ImageLoader* loader) {
    if (auto* dx = dynamic_cast<ImageLoaderDX*>(loader)) dx->SetDevice(display_.GetDevice());
}

}  // namespace pf
