#include "game/SecretEntranceActor.h"

#include <algorithm>
#include <climits>

#include "shell/Display.h"
#include "shell/ImageKernels.h"
#include "shell/pixels/MemorySurface.h"

namespace {

// A surface locked for the scope; data is null when the lock failed.
struct Locked {
    Locked(pf::Surface* s, const pf::Rect* rect) : surface(s), view(pf::LockView(s, rect, true, true)) {}
    ~Locked() {
        if (surface) surface->Unlock();
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    pf::Surface* surface;
    pf::PixelView view;
};

// Positions that leave the int range are taken as its nearest end: such an area is
// clipped away.
int Clamped(int64_t v) { return int(std::clamp(v, int64_t(INT_MIN), int64_t(INT_MAX))); }

}  // namespace

void SecretEntranceActor::Init(pf::Display* display, ResAnim* image, unsigned rows, unsigned columns) {
    my_intrusive_ptr<pf::Surface> source = image ? image->GetSurface() : nullptr;
    if (!source) return;
    surface_ = display ? display->CreateSurface(source->GetWidth(), source->GetHeight(), pf::PixelFormat::A8R8G8B8)
                       : nullptr;
    bool filled = false;
    if (surface_) {
        Locked from(source.get(), nullptr);
        Locked to(surface_.get(), nullptr);
        if (from.view.data && to.view.data) {
            pf::CopyOrConvertView(from.view, to.view);
            filled = true;
        }
    }
    if (!filled) surface_.reset();
    SetSurface(surface_.get());
    rows_ = int(std::min(rows, unsigned(INT_MAX)));
    columns_ = int(std::min(columns, unsigned(INT_MAX)));
}

pf::Rect SecretEntranceActor::ClipToCopy(int x, int y) const {
    pf::Rect rect(x, y, cellWidth_, cellHeight_);
    rect.Clip(pf::Rect(0, 0, surface_->GetWidth(), surface_->GetHeight()));
    return rect.width > 0 && rect.height > 0 ? rect : pf::Rect();
}

void SecretEntranceActor::SetCellStatus(int column, int row, bool opaque) {
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_ || !surface_) return;
    const pf::Rect rect = ClipToCopy(Clamped(int64_t(column) * cellWidth_ + shiftX_),
                                     Clamped(int64_t(row) * cellHeight_ + shiftY_));
    if (rect.width <= 0) return;
    Locked cell(surface_.get(), &rect);
    if (cell.view.data) pf::FillAlpha(cell.view, opaque ? 255 : 0);
}

void SecretEntranceActor::Cut(int x, int y, ResAnim* mask) {
    my_intrusive_ptr<pf::Surface> maskSurface = mask ? mask->GetSurface() : nullptr;
    if (!maskSurface || !surface_) return;
    const int left = Clamped(int64_t(x) + shiftX_), top = Clamped(int64_t(y) + shiftY_);
    const pf::Rect rect = ClipToCopy(left, top);
    if (rect.width <= 0) return;
    // The mask starts where the clip cut into the area: a clip on the left or top skips
    // that many mask columns or rows, one on the right or bottom skips none.
    const pf::Rect source(rect.x - left, rect.y - top, rect.width, rect.height);
    Locked image(surface_.get(), &rect);
    Locked cut(maskSurface.get(), &source);
    if (!image.view.data || !cut.view.data) return;
    if (cut.view.bytesPerPixel == 4) {
        pf::ApplyAlphaMask(cut.view, image.view);
        return;
    }
    // A mask of fewer bytes a pixel (565, 888, 4444, 1555) is read as A8R8G8B8: its red
    // gives the alpha.
    pf::MemorySurface argb;
    argb.Init(cut.view.width, cut.view.height, 4, pf::PixelFormat::A8R8G8B8);
    pf::PixelView converted = argb.GetView();
    pf::ConvertView(cut.view, converted);
    pf::ApplyAlphaMask(converted, image.view);
}
