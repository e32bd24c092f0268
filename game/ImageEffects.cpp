#include "game/ImageEffects.h"

#include <algorithm>
#include <cstdint>

#include "game/EffectKernels.h"
#include "scene/Actor.h"
#include "shell/Display.h"
#include "shell/ImageKernels.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/pixels/Surface.h"

namespace game {

namespace {

// Canvases beyond this side are refused rather than asked of the display.
constexpr int64_t kMaxSide = 16384;

// A surface locked for the scope; data is null when the lock failed.
class Locked {
public:
    Locked(pf::Surface* surface, const pf::Rect* rect, bool read, bool write)
        : surface_(surface), view(pf::LockView(surface, rect, read, write)) {}
    ~Locked() {
        if (surface_) surface_->Unlock();
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pf::Surface* surface_;

public:
    pf::PixelView view;
};

// The picture as four-byte A8R8G8B8 pixels: the view itself when it already is, else a
// converted copy held in `holder`. Formats of four bytes without a decoder of their own
// (the default layout, and X8R8G8B8 with its alpha taken as opaque) are copied bytewise.
// Null data when the format cannot be read.
pf::PixelView AsArgb(const pf::PixelView& src, pf::MemorySurface& holder) {
    using pf::PixelFormat;
    if (src.bytesPerPixel == 4 && (src.format == PixelFormat::A8R8G8B8 || src.format == PixelFormat::Default))
        return src;
    holder.Init(src.width, src.height, 4, PixelFormat::A8R8G8B8);
    pf::PixelView out = holder.GetView();
    if (src.bytesPerPixel == 4 && src.format == PixelFormat::X8R8G8B8) {
        pf::PixelView raw = src;
        raw.format = PixelFormat::A8R8G8B8;
        pf::CopyView(raw, out);
        pf::FillAlpha(out, 255);
        return out;
    }
    // ConvertView leaves the zeroed copy untouched for pairs it cannot convert; such a
    // source would come out as a transparent picture, so it is refused instead.
    if (src.format == PixelFormat::Default || src.format == PixelFormat::X8R8G8B8) return pf::PixelView();
    pf::ConvertView(src, out);
    return out;
}

// The source taken into the target: copied at downscale 1, else scaled (nearest).
void TakeInto(const pf::PixelView& argb, pf::PixelView& target, int downscale) {
    if (downscale == 1) {
        pf::PixelView src = argb;
        src.format = target.format;
        pf::CopyView(src, target);
    } else {
        pf::ScaleView(argb, target);
    }
}

struct Job {
    my_intrusive_ptr<pf::Surface> source;
    my_intrusive_ptr<pf::Surface> target;
    int width = 0;   // the reduced picture
    int height = 0;
    const wchar_t* effect = L"";  // the script's name of the effect, for the log
};

// The source of the actor and a new A8R8G8B8 surface of the reduced size plus the margin
// on every side; false when any of it is missing. Sizes a script asked for that leave no
// picture, or a canvas too large to make, are logged once under the effect's name.
bool Begin(const wchar_t* effect, pf::Display* display, Actor* actor, int downscale, int64_t margin, Job& job) {
    job.effect = effect;
    if (!display || !actor) return false;
    job.source = actor->GetSurface();
    if (!job.source) return false;
    const int d = std::max(1, downscale);
    job.width = job.source->GetWidth() / d;
    job.height = job.source->GetHeight() / d;
    if (job.width <= 0 || job.height <= 0) {
        pf::DebugStream() << L"Error: " << effect << L": a downscale of " << d << L" leaves nothing of a "
                          << job.source->GetWidth() << L" x " << job.source->GetHeight()
                          << L" picture; the picture is kept";
        return false;
    }
    const int64_t w = job.width + 2 * margin, h = job.height + 2 * margin;
    if (w > kMaxSide || h > kMaxSide) {
        pf::DebugStream() << L"Error: " << effect << L": a canvas of " << w << L" x " << h
                          << L" is larger than the " << kMaxSide << L" a side allowed; the picture is kept";
        return false;
    }
    job.target = display->CreateSurface(int(w), int(h), pf::PixelFormat::A8R8G8B8);
    return bool(job.target);
}

// Locks both surfaces and runs fill(source as A8R8G8B8, target view); false when either
// cannot be read or written.
template <typename F>
bool Fill(const Job& job, F fill) {
    Locked source(job.source.get(), nullptr, true, false);
    Locked target(job.target.get(), nullptr, false, true);
    if (!source.view.data || !target.view.data || target.view.bytesPerPixel != 4) return false;
    pf::MemorySurface converted;
    const pf::PixelView argb = AsArgb(source.view, converted);
    if (!argb.data) {
        pf::DebugStream() << L"Error: " << job.effect << L": the picture's pixel format " << int(source.view.format)
                          << L" cannot be read; the picture is kept";
        return false;
    }
    fill(argb, target.view);
    return true;
}

}  // namespace

void Desaturate(pf::Display* display, Actor* actor) {
    Job job;
    if (!Begin(L"desaturate", display, actor, 1, 0, job)) return;
    if (!Fill(job, [](const pf::PixelView& src, pf::PixelView& dst) { DesaturateView(src, dst); })) return;
    actor->SetSurface(job.target.get());
}

void CreateSepia(pf::Display* display, Actor* actor, int downscale, const float* matrix) {
    Job job;
    if (!Begin(L"createSepia", display, actor, downscale, 0, job)) return;
    const int d = std::max(1, downscale);
    if (!Fill(job, [&](const pf::PixelView& src, pf::PixelView& dst) {
            TakeInto(src, dst, d);
            ColorMatrixView(matrix, dst, dst);
        }))
        return;
    actor->SetSurface(job.target.get());
}

void CreateBlur(pf::Display* display, Actor* actor, int radius, int downscale) {
    Job job;
    if (!Begin(L"createBlur", display, actor, downscale, 0, job)) return;
    const int d = std::max(1, downscale);
    if (!Fill(job, [&](const pf::PixelView& src, pf::PixelView& dst) {
            TakeInto(src, dst, d);
            pf::MemorySurface copy(dst);
            pf::BlurView(copy.GetView(), dst, std::max(0, radius));
        }))
        return;
    actor->SetResAnim(nullptr);
    actor->SetSurface(job.target.get());
}

void CreateOuterGlow(pf::Display* display, Actor* actor, int glowRadius, int blurRadius, const pf::Color& colour,
                     int downscale) {
    // Radii beyond the kernels' limits do nothing there but still widen the canvas; one
    // too wide for any texture is refused before the display is asked.
    const int glow = std::max(0, glowRadius);
    const int blur = std::max(0, blurRadius);
    Job job;
    if (!Begin(L"createOuterGlow", display, actor, downscale, int64_t(glow) + blur + 1, job)) return;
    const int margin = glow + blur + 1;  // within the canvas, so within int
    const int d = std::max(1, downscale);
    if (!Fill(job, [&](const pf::PixelView& src, pf::PixelView& dst) {
            FillView(dst, pf::Color(0, 0, 0, 0));
            pf::PixelView placed = pf::SubView(dst, margin, margin, job.width, job.height);
            TakeInto(src, placed, d);
            pf::MemorySurface copy(dst);
            pf::PixelView glowView = copy.GetView();
            pf::GlowView(dst, glowView, colour, float(glow));
            pf::BlurView(glowView, dst, blur);
        }))
        return;
    actor->SetSurface(job.target.get());
}

}  // namespace game
