#include "shell/NativeSurfaceDX.h"

#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"

namespace pf {

NativeSurfaceDX::NativeSurfaceDX(DisplayDX* display, my_intrusive_ptr<DeviceTexture> texture)
    : texture_(std::move(texture)), display_(display) {
    if (texture_) desc_ = texture_->GetLevelDesc(0);
    if (display_ && desc_.pool == MemoryPool::Default) {
        display_->RegisterDefaultPool(this);
        registered_ = true;
    }
}

NativeSurfaceDX::~NativeSurfaceDX() {
    // Off the list first, so a reset walking it on the main thread never reaches a
    // surface that is going away.
    if (registered_) display_->UnregisterDefaultPool(this);
    if (isLocked_) Unlock();
    texture_.reset();
}

PixelFormat NativeSurfaceDX::GetFormat() const { return FromDeviceFormat(desc_.format); }

void NativeSurfaceDX::Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) {
    pitch = 0;
    bits = nullptr;
    if (!texture_ || isLocked_) {
        if (isLocked_) DebugStream() << "NativeSurfaceDX::Lock - the surface is already locked";
        return;
    }
    Rect r(0, 0, desc_.width, desc_.height);
    if (rect) {
        // Only a rectangle wholly inside the texture is locked.
        const long long right = (long long)rect->x + rect->width, bottom = (long long)rect->y + rect->height;
        if (rect->x < 0 || rect->y < 0 || rect->width <= 0 || rect->height <= 0 || right > desc_.width ||
            bottom > desc_.height)
            return;
        r = *rect;
    }
    const uint32_t flags = mode == LockRead ? uint32_t(LockReadOnly) : 0u;
    LockedRect locked;
    if (!Succeeded(texture_->LockRect(0, rect ? &r : nullptr, flags, locked))) return;
    locked_ = locked;
    lockedRect_ = r;
    isLocked_ = true;
    if (desc_.format == DeviceFormat::R8G8B8) SwapRedBlue();
    pitch = locked.pitch;
    bits = locked.bits;
}

void NativeSurfaceDX::Unlock() {
    if (!isLocked_) return;
    if (desc_.format == DeviceFormat::R8G8B8) SwapRedBlue();
    isLocked_ = false;
    if (texture_) texture_->UnlockRect(0);
}

void NativeSurfaceDX::SwapRedBlue() {
    for (int y = 0; y < lockedRect_.height; ++y) {
        uint8_t* p = locked_.bits + size_t(y) * locked_.pitch;
        for (int x = 0; x < lockedRect_.width; ++x, p += 3) std::swap(p[0], p[2]);
    }
}

void NativeSurfaceDX::Draw(Display* display, const Rect* source, const Rect* destination) {
    DisplayDX* dx = dynamic_cast<DisplayDX*>(display);
    if (!dx || !destination || !texture_) return;
    const Rect whole(0, 0, desc_.width, desc_.height);
    auto quad = BuildQuad(source ? *source : whole, *destination, desc_.width, desc_.height, dx->GetColor());
    dx->DrawTexturedQuad(quad, texture_.get());
}

bool NativeSurfaceDX::SetAsRenderTarget() {
    RenderDevice* device = display_ ? display_->GetDevice() : nullptr;
    DeviceSurface* level = texture_ ? texture_->GetSurfaceLevel(0) : nullptr;
    if (!device || !level) return false;
    return Succeeded(device->SetRenderTarget(level));
}

void NativeSurfaceDX::OnLostDevice() {
    if (isLocked_) Unlock();
    texture_.reset();
}

void NativeSurfaceDX::ForgetDisplay() {
    OnLostDevice();
    display_ = nullptr;
    registered_ = false;
}

void NativeSurfaceDX::OnResetDevice() {
    RenderDevice* device = display_ ? display_->GetDevice() : nullptr;
    if (!device) return;
    my_intrusive_ptr<DeviceTexture> texture;
    if (!Succeeded(device->CreateTexture(desc_.width, desc_.height, 1, desc_.usage, desc_.format, desc_.pool,
                                         texture))) {
        DebugStream() << "NativeSurfaceDX - the texture could not be made again after the reset";
        return;
    }
    texture_ = texture;
}

}  // namespace pf
