// The display's surface factories and the table between pixel formats and texture formats.
#include <cstdio>

#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/MessageBox.h"

namespace pf {

DeviceFormat ToDeviceFormat(PixelFormat format) {
    switch (format) {
        case PixelFormat::A8: return DeviceFormat::A8;
        case PixelFormat::B8G8R8: return DeviceFormat::R8G8B8;
        case PixelFormat::X8R8G8B8: return DeviceFormat::X8R8G8B8;
        case PixelFormat::R5G6B5: return DeviceFormat::R5G6B5;
        case PixelFormat::A4R4G4B4: return DeviceFormat::A4R4G4B4;
        case PixelFormat::A1R5G5B5: return DeviceFormat::A1R5G5B5;
        default: return DeviceFormat::A8R8G8B8;  // 3, 4, 9, 11 and the rest
    }
}

PixelFormat FromDeviceFormat(DeviceFormat format) {
    switch (format) {
        case DeviceFormat::R8G8B8: return PixelFormat::B8G8R8;
        case DeviceFormat::X8R8G8B8: return PixelFormat::X8R8G8B8;
        case DeviceFormat::R5G6B5: return PixelFormat::R5G6B5;
        case DeviceFormat::A1R5G5B5: return PixelFormat::A1R5G5B5;
        case DeviceFormat::A4R4G4B4: return PixelFormat::A4R4G4B4;
        case DeviceFormat::A8: return PixelFormat::A8;
        default: return PixelFormat::A8R8G8B8;
    }
}

PixelFormat NativeFormatOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::A8: return PixelFormat::A8;
        case PixelFormat::A8R8G8B8:
        case PixelFormat::A8B8G8R8: return PixelFormat::A8R8G8B8;
        case PixelFormat::B8G8R8: return PixelFormat::B8G8R8;
        case PixelFormat::X8R8G8B8: return PixelFormat::X8R8G8B8;
        case PixelFormat::R5G6B5: return PixelFormat::R5G6B5;
        case PixelFormat::A4R4G4B4:
        case PixelFormat::R4G4B4A4: return PixelFormat::A4R4G4B4;
        case PixelFormat::A1R5G5B5:
        case PixelFormat::R5G5B5A1: return PixelFormat::A1R5G5B5;
        default: return PixelFormat::Default;
    }
}

namespace {

// The created texture's format must be the one asked for; a difference is worth a report.
void CheckFormat(const char* what, DeviceFormat asked, DeviceFormat got) {
    DebugStream() << what;
    if (asked != got)
        GetMessageBoxService().Show(L"Please report this message to support", ToWString(what));
}

}  // namespace

my_intrusive_ptr<Surface> DisplayDX::CreateSurface(int width, int height, PixelFormat format) {
    my_intrusive_ptr<DeviceTexture> texture;
    if (!device_ || !Succeeded(device_->CreateTexture(width, height, 1, UsageNone, ToDeviceFormat(format),
                                                      MemoryPool::Managed, texture)))
        return nullptr;
    return my_intrusive_ptr<Surface>(new NativeSurfaceDX(this, texture));
}

my_intrusive_ptr<Surface> DisplayDX::CreateSurfaceFromImage(const PixelView& image) {
    if (!image.data || image.width <= 0 || image.height <= 0) {
        DebugStream() << "DisplayDX::CreateSurfaceFromImage - no pixels";
        return nullptr;
    }
    my_intrusive_ptr<DeviceTexture> texture;
    const DeviceFormat format = ToDeviceFormat(image.format);
    if (!device_ || !Succeeded(device_->CreateTexture(image.width, image.height, 1, UsageNone, format,
                                                      MemoryPool::Managed, texture)))
        return nullptr;
    LockedRect locked;
    if (!Succeeded(texture->LockRect(0, nullptr, 0, locked))) return nullptr;
    PixelView src = image;
    // A view without a layout of its own holds A8R8G8B8 pixels.
    if (src.format == PixelFormat::Default) src.format = PixelFormat::A8R8G8B8;
    PixelView dst;
    dst.Set(image.width, image.height, DeviceFormatBytes(format), locked.pitch, FromDeviceFormat(format), locked.bits);
    if (format == DeviceFormat::R8G8B8 && src.format == PixelFormat::B8G8R8) {
        // The engine keeps r, g, b; the texture keeps b, g, r.
        for (int y = 0; y < image.height; ++y) {
            const uint8_t* s = src.data + ptrdiff_t(y) * src.pitch;
            uint8_t* d = dst.data + ptrdiff_t(y) * dst.pitch;
            for (int x = 0; x < image.width; ++x, s += src.bytesPerPixel, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        }
    } else {
        CopyOrConvertView(src, dst);
    }
    texture->UnlockRect(0);
    return my_intrusive_ptr<Surface>(new NativeSurfaceDX(this, texture));
}

my_intrusive_ptr<Surface> DisplayDX::CreateNativeSurface(int width, int height, PixelFormat format, int levels,
                                                         bool managed, bool renderTarget) {
    my_intrusive_ptr<DeviceTexture> texture;
    const DeviceFormat asked = ToDeviceFormat(format);
    if (!device_ || !Succeeded(device_->CreateTexture(width, height, levels,
                                                      renderTarget ? UsageRenderTarget : UsageNone, asked,
                                                      managed ? MemoryPool::Managed : MemoryPool::Default,
                                                      texture)))
        return nullptr;
    const SurfaceDesc desc = texture->GetLevelDesc(0);
    char text[160];
    std::snprintf(text, sizeof text,
                  "created native DX surface: width = %d height = %d d3dformat: %d, d3dformat from desc: %d",
                  desc.width, desc.height, int(asked), int(desc.format));
    CheckFormat(text, asked, desc.format);
    return my_intrusive_ptr<Surface>(new NativeSurfaceDX(this, texture));
}

my_intrusive_ptr<Surface> DisplayDX::CreateDynamicSurface(int width, int height, PixelFormat format) {
    my_intrusive_ptr<DeviceTexture> texture;
    const DeviceFormat asked = ToDeviceFormat(format);
    if (!device_ ||
        !Succeeded(device_->CreateTexture(width, height, 1, UsageDynamic, asked, MemoryPool::Default, texture)))
        return nullptr;
    const SurfaceDesc desc = texture->GetLevelDesc(0);
    char text[120];
    std::snprintf(text, sizeof text, "created dynamic surface: d3dformat: %d, d3dformat from desc: %d", int(asked),
                  int(desc.format));
    CheckFormat(text, asked, desc.format);
    return my_intrusive_ptr<Surface>(new NativeSurfaceDX(this, texture));
}

}  // namespace pf
