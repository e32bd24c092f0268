// Surfaces that are textures of the rendering device: the only surfaces the display can
// draw and render into.
#pragma once

#include "shell/pixels/Surface.h"
#include "shell/render/SoftDeviceTexture.h"

namespace pf {

class DisplayDX;

// A surface backed by a device texture.
class HWSurfaceDX : public Surface {
public:
    bool IsHardware() const override { return true; }
    // Level 0 of the texture becomes the render target; false without a texture.
    virtual bool SetAsRenderTarget() = 0;
    // The texture, not counted; null while the device is lost (default-pool textures).
    virtual DeviceTexture* GetTexture() = 0;
};

// A resource living in the device's default pool: it lets go of its device objects
// before a reset and makes them again afterwards.
class DefaultPoolRes {
public:
    virtual ~DefaultPoolRes() = default;
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;
};

class NativeSurfaceDX : public HWSurfaceDX, public DefaultPoolRes {
public:
    // Made by the display's factories; takes over the texture. A default-pool texture
    // registers the surface with the display until it is destroyed.
    NativeSurfaceDX(DisplayDX* display, my_intrusive_ptr<DeviceTexture> texture);
    ~NativeSurfaceDX() override;
    NativeSurfaceDX(const NativeSurfaceDX&) = delete;
    NativeSurfaceDX& operator=(const NativeSurfaceDX&) = delete;

    int GetWidth() const override { return desc_.width; }
    int GetHeight() const override { return desc_.height; }
    PixelFormat GetFormat() const override;
    // A rect not wholly inside the texture locks nothing (pitch 0, bits null).
    void Lock(int mode, const Rect* rect, int& pitch, uint8_t*& bits) override;
    void Unlock() override;
    void Draw(Display* display, const Rect* source, const Rect* destination) override;

    bool SetAsRenderTarget() override;
    DeviceTexture* GetTexture() override { return texture_.get(); }
    const SurfaceDesc& GetDesc() const { return desc_; }

    // The texture goes; after the reset an empty one of the same description comes back.
    void OnLostDevice() override;
    void OnResetDevice() override;
    // The display goes away first: the texture is let go and the surface stays inert.
    void ForgetDisplay();

private:
    // Texels of a three-byte texture are stored b, g, r; the engine's three-byte format
    // is r, g, b. Locked pixels are exchanged in place for the length of the lock.
    void SwapRedBlue();

    my_intrusive_ptr<DeviceTexture> texture_;
    SurfaceDesc desc_;
    DisplayDX* display_;
    bool registered_ = false;
    LockedRect locked_;
    Rect lockedRect_;
    bool isLocked_ = false;
};

}  // namespace pf
