// The abstract renderer every drawing call goes through, and the small types it shares
// with the surfaces, the fonts and the scene.
#pragma once

#include <cstdint>
#include <string>

#include "shell/foundation/RefCounter.h"
#include "shell/pixels/PixelFormat.h"
#include "shell/pixels/PixelView.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"

namespace pf {

class Surface;

// What textures the device can make.
struct TextureCaps {
    int maxWidth = 0;
    int maxHeight = 0;
    bool pow2Only = false;
};

// One vertex of every primitive: 24 bytes, colour 0xAARRGGBB.
struct DisplayVertex {
    float x = 0, y = 0, z = 0;
    uint32_t color = 0;
    float u = 0, v = 0;
};
static_assert(sizeof(DisplayVertex) == 24, "DisplayVertex is 24 bytes");

// Any other value is used as a raw blend factor for both source and destination.
enum class BlendMode : int32_t { Disable = 0, Alpha = 1, Add = 2, AddAlpha = 3 };

// Auto decides per transform (linear for scaled or rotated, point otherwise).
enum class TextureFilter : int32_t { Auto = 0, Point = 1, Linear = 2 };

// The game screen size: one process-wide value set by the display's Init and read by the
// window procedure, the scene and the widgets.
void SetGameScreenSize(int width, int height);
void GetGameScreenSize(int& width, int& height);

class Display {
public:
    virtual ~Display() = default;

    virtual const TextureCaps* GetTextureCaps() const = 0;
    virtual uint32_t GetColor() const = 0;
    virtual void GetScreenSize(int& width, int& height) const = 0;
    virtual int GetHeight() const = 0;
    virtual PixelFormat GetNativeFormat(PixelFormat format) const = 0;
    virtual int GetWidth() const = 0;
    virtual TextureFilter GetTextureFilter() const = 0;
    virtual void ClientToGame(float out[2], const float client[2]) const = 0;
    virtual PixelFormat GetBackBufferFormat() const = 0;
    virtual void SetColor(const Color& colour) = 0;
    virtual void SetColor(int r, int g, int b, int a) = 0;
    virtual void SetBrightness(int r, int g, int b, int a) = 0;
    virtual void SetBlendMode(BlendMode mode) = 0;
    virtual void SetTextureFilter(TextureFilter filter) = 0;
    virtual void SetTransform(const MatrixT& matrix) = 0;
    virtual void SetClipRect(const Rect* rect) = 0;
    virtual void SetCursorImage(Point hotspot, my_intrusive_ptr<Surface> surface) = 0;
    virtual bool BeginRenderToSurface(my_intrusive_ptr<Surface>& surface, const Rect* clip) = 0;
    virtual void EndRenderToSurface() = 0;
    virtual void AfterReset() = 0;
    virtual void BeforeReset() = 0;
    virtual bool BeginFrame(const Rect* clip) = 0;
    virtual bool BeginFrameUnscaled(const Rect* clip) = 0;
    virtual void EndScene() = 0;
    virtual my_intrusive_ptr<Surface> CreateNativeSurface(int width, int height, PixelFormat format,
                                                          int levels, bool managed,
                                                          bool renderTarget) = 0;
    virtual my_intrusive_ptr<Surface> CreateSurface(int width, int height, PixelFormat format) = 0;
    virtual my_intrusive_ptr<Surface> CreateSurfaceFromImage(const PixelView& image) = 0;
    virtual my_intrusive_ptr<Surface> CreateDynamicSurface(int width, int height,
                                                           PixelFormat format) = 0;
    virtual bool CopyBackBuffer(const Rect& source, const Point& target, Surface* destination) = 0;
    virtual void Clear(int r, int g, int b, int a) = 0;
    virtual bool SetFullScreen(int width, int height, bool fullScreen) = 0;
    // The second argument is not used; n triangles of a triangle list.
    virtual void DrawTriangles(const DisplayVertex* vertices, int unused, int n,
                               Surface* texture) = 0;
    virtual void EndFrame() = 0;
    virtual void FillRect(const Rect& rect) = 0;
    virtual bool Init(int width, int height, bool fullScreen, bool allowScaledMode,
                      bool depthBuffer) = 0;
    virtual void DrawLine(const VectorT3& from, const VectorT3& to) = 0;
    virtual void DrawLine(const Point& from, const Point& to) = 0;
    virtual void SetOverlayText(const std::wstring& text) = 0;
};

// Whether an image of that size fits in one texture of the given caps, or of the display's
// device (false when it has none).
bool FitsInTexture(const TextureCaps& caps, int width, int height);
bool FitsInTexture(Display& display, int width, int height);

}  // namespace pf
