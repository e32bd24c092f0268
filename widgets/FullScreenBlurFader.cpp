#include "widgets/FullScreenBlurFader.h"

#include <algorithm>

#include "widgets/WidgetServices.h"
#include "scene/ScreenSize.h"
#include "shell/ImageKernels.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/PixelView.h"

namespace {
constexpr int kBlurRadius = 4;
}

FullScreenBlurFader::FullScreenBlurFader() : controller_(new TimeController) {}

FullScreenBlurFader::~FullScreenBlurFader() {
    // The controller's callback names this fader; nothing may call it from here on.
    controller_->SetCallback(TimeControllerCallback());
}

void FullScreenBlurFader::Start(int durationMs) {
    pf::Display* display = GetWidgetDisplay();
    const int width = GetGameScreenWidth(), height = GetGameScreenHeight();
    if (!display || width <= 0 || height <= 0) {
        pf::DebugStream() << L"ScreenBlurFader: no display to capture the screen from";
        return;
    }
    my_intrusive_ptr<pf::Surface> picture = display->CreateSurface(width, height, pf::PixelFormat::A8R8G8B8);
    if (!picture || !display->CopyBackBuffer(pf::Rect(0, 0, width, height), pf::Point(0, 0), picture.get())) {
        pf::DebugStream() << L"ScreenBlurFader: the screen could not be captured (" << width << L" x " << height
                          << L")";
        return;
    }
    duration_ = durationMs;
    darkPhase_ = false;
    overlayAlpha_ = 0;
    // A quarter of the screen on each axis; a screen under 4 pixels keeps the capture.
    const int qw = std::max(1, width / 4), qh = std::max(1, height / 4);
    if (picture->GetWidth() > qw) {
        my_intrusive_ptr<pf::Surface> small = display->CreateSurface(qw, qh, pf::PixelFormat::A8R8G8B8);
        if (small) {
            pf::PixelView source = pf::LockView(picture.get(), nullptr, true, false);
            pf::PixelView target = pf::LockView(small.get(), nullptr, false, true);
            if (source.data && target.data) pf::ScaleView(source, target);
            if (target.data) small->Unlock();
            if (source.data) picture->Unlock();
            picture = small;
        }
    }
    SetScaleXY(static_cast<float>(width) / picture->GetWidth(), static_cast<float>(height) / picture->GetHeight());
    SetSurface(picture.get());
    controller_->Init(duration_ / 2, TimeController::Forward, 1, nullptr);
    controller_->SetCallback(TimeControllerCallback(
        [this](TimeController* tc, float shifted, bool finished) { OnBlurTick(tc, shifted, finished); }));
    controller_->Restart();
    SetBlend(pf::BlendMode::Disable);
    started_ = true;
}

void FullScreenBlurFader::OnBlurTick(TimeController* controller, float shifted, bool finished) {
    if (!darkPhase_) {
        my_intrusive_ptr<pf::Surface> picture = GetSurface();
        if (picture) {
            pf::PixelView view = pf::LockView(picture.get(), nullptr, true, true);
            if (view.data) {
                pf::BlurView(view, view, kBlurRadius);
                picture->Unlock();
            }
        }
    } else {
        overlayAlpha_ = std::min(255, static_cast<int>(shifted * 255.0f));
    }
    if (finished && !darkPhase_ && controller) {
        darkPhase_ = true;
        controller->Init(duration_ / 2, TimeController::Forward, 1, nullptr);
        controller->Restart();
    }
}

void FullScreenBlurFader::Cycle() {
    if (started_) controller_->Cycle(this);
}

void FullScreenBlurFader::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    const pf::Rect r = GetInternalRect();
    my_intrusive_ptr<pf::Surface> picture = GetSurface();
    if (picture && out.display) {
        picture->Draw(out.display, nullptr, &r);
        if (overlayAlpha_ > 0) {
            out.display->SetColor(0, 0, 0, overlayAlpha_);
            out.display->SetBlendMode(pf::BlendMode::Alpha);
            out.display->FillRect(r);
        }
    }
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}
