// The display's frame: begin (with the device-loss check and the reset), the letterboxed
// full-screen target, end and present, and the client-to-game conversion.
#include <cmath>

#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/platform/NativeWindow.h"

namespace pf {

MatrixT MakeLetterboxMatrix(int gw, int gh, int mw, int mh) {
    if (gw <= 0 || gh <= 0 || mw <= 0 || mh <= 0) return MatrixT::MakeIdentity();
    float s = float(gw) / float(gh) >= float(mw) / float(mh) ? float(mw) / float(gw) : float(mh) / float(gh);
    if (s < 1.1f) s = 1.0f;
    const float dx = std::floor((float(mw) - s * float(gw)) * 0.5f);
    const float dy = std::floor((float(mh) - s * float(gh)) * 0.5f);
    return MatrixT::MakeScaling(VectorT3(s, s, 1)) * MatrixT::MakeTranslation(VectorT3(dx, dy, 0));
}

MatrixT DisplayDX::GetLetterboxMatrix() const {
    if (!Letterboxed()) return MatrixT::MakeIdentity();
    return MakeLetterboxMatrix(gameWidth_, gameHeight_, scaledModeWidth_, scaledModeHeight_);
}

void DisplayDX::ClientToGame(float out[2], const float client[2]) const {
    float x = client[0], y = client[1];
    // A window shown larger or smaller than the back buffer (a desktop-wide full screen)
    // is first brought back to back-buffer pixels.
    if (window_ && device_) {
        const Point size = window_->GetClientSize();
        const PresentParams p = device_->GetPresentParams();
        if (size.x > 0 && size.y > 0 && (size.x != p.width || size.y != p.height)) {
            x = x * float(p.width) / float(size.x);
            y = y * float(p.height) / float(size.y);
        }
    }
    if (Letterboxed()) {
        const VectorT3 g = GetLetterboxMatrix().GetInverse().TransformVec3(VectorT3(x, y, 0));
        x = g.x;
        y = g.y;
    }
    out[0] = x;
    out[1] = y;
}

bool DisplayDX::StartFrame() {
    if (!device_) return false;
    const DeviceResult level = device_->TestCooperativeLevel();
    if (level == DeviceResult::DeviceLost) {
        DebugStream() << "D3DERR_DEVICELOST";
        return false;
    }
    if (level == DeviceResult::DeviceNotReset || resetPending_) {
        DebugStream() << "D3DERR_DEVICENOTRESET. reseting...";
        if (!ResetDevice()) return false;
    }
    if (!Succeeded(device_->BeginScene())) return false;
    // The clear covers the whole target, whatever viewport the last frame left.
    my_intrusive_ptr<DeviceSurface> target = device_->GetRenderTarget();
    Viewport whole;
    whole.width = target->Width();
    whole.height = target->Height();
    device_->SetViewport(whole);
    device_->Clear(0xFF000000u);
    return true;
}

bool DisplayDX::BeginFrameUnscaled(const Rect* clip) {
    if (!StartFrame()) return false;
    // The frame goes straight to the back buffer; the last letterboxed picture must not
    // be stretched over it when it ends.
    ReleaseLetterboxTarget();
    SetClipRect(clip);
    return true;
}

bool DisplayDX::BeginFrame(const Rect* clip) {
    if (!StartFrame()) return false;
    triangleCount_ = 0;
    BeginLetterboxTarget(clip);
    return true;
}

void DisplayDX::EndScene() {
    if (device_) device_->EndScene();
}

void DisplayDX::BeginLetterboxTarget(const Rect* clip) {
    if (!Letterboxed()) {
        ReleaseLetterboxTarget();
        SetClipRect(clip);
        return;
    }
    if (!letterboxTexture_ &&
        !Succeeded(device_->CreateTexture(gameWidth_, gameHeight_, 1, UsageRenderTarget, DeviceFormat::A8R8G8B8,
                                          MemoryPool::Default, letterboxTexture_))) {
        ReleaseLetterboxTarget();
        return;
    }
    if (!savedBackBuffer_) savedBackBuffer_ = device_->GetRenderTarget();
    device_->SetRenderTarget(letterboxTexture_->GetSurfaceLevel(0));
    device_->Clear(0xFF000000u);
    SetClipRect(clip);
}

void DisplayDX::ReleaseLetterboxTarget() {
    if (savedBackBuffer_ && device_) device_->SetRenderTarget(savedBackBuffer_.get());
    savedBackBuffer_.reset();
    letterboxTexture_.reset();
}

void DisplayDX::PresentLetterbox() {
    if (!Letterboxed()) {
        ReleaseLetterboxTarget();
        return;
    }
    if (savedBackBuffer_) {
        device_->SetRenderTarget(savedBackBuffer_.get());
        savedBackBuffer_.reset();
    }
    if (!letterboxTexture_) return;
    const uint32_t brightness = brightness_;
    const MatrixT world = device_->GetTransform(TransformId::World);
    ResetColor();
    SetTransform(GetLetterboxMatrix());
    const Rect mode(0, 0, scaledModeWidth_, scaledModeHeight_);
    SetClipRect(&mode);
    const Rect game(0, 0, gameWidth_, gameHeight_);
    auto quad = BuildQuad(game, game, gameWidth_, gameHeight_, 0xFFFFFFFFu);
    device_->SetTextureStageState(1, StageStateId::ColorOp, TopDisable);
    device_->SetRenderState(RenderStateId::AlphaBlendEnable, 0);
    DrawTexturedQuad(quad, letterboxTexture_.get());
    device_->SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    // Brightness is off now (stage 1 disabled); the value in force comes back, and so
    // does the game's world transform.
    ApplyBrightness(brightness, false);
    SetTransform(world);
}

void DisplayDX::EndFrame() {
    if (!device_) return;
    PresentLetterbox();
    if (overlayOn_) DrawOverlay();
    device_->EndScene();
    device_->Present();  // a loss shows at the next BeginFrame
}

}  // namespace pf
