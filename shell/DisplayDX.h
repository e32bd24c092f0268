// The display: the game window, the rendering device and its recovery after a loss or a
// mode switch, the letterboxed full-screen path, the frame, the surface factories and
// the drawing state and primitives.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "shell/Display.h"
#include "shell/platform/DisplayPlatform.h"
#include "shell/render/SoftDevice.h"

namespace pf {

class DefaultPoolRes;
class NativeWindow;
class OverlayFont;
class PresentTarget;

// Texture format a texture made for an image of the given format uses, and back.
DeviceFormat ToDeviceFormat(PixelFormat format);
PixelFormat FromDeviceFormat(DeviceFormat format);
// The format a texture made for an image of this format keeps.
PixelFormat NativeFormatOf(PixelFormat format);

// The four corners (top-left, top-right, bottom-left, bottom-right) of a quad drawing the
// source rectangle of a tw x th texture into the destination rectangle.
std::array<DisplayVertex, 4> BuildQuad(const Rect& source, const Rect& destination, int textureWidth,
                                       int textureHeight, uint32_t colour);
MatrixT MakeOrthoProjection(float width, float height, float zn, float zf);

// Picks the smallest mode (the later of equal areas) of format X8R8G8B8 that holds the
// game, first among the modes with the monitor's aspect, then among all. False when none
// holds it; else the mode is written and the answer is whether it differs from the game.
bool ChooseScaledModeFrom(int monitorWidth, int monitorHeight, const std::vector<DisplayMode>& modes,
                          int gameWidth, int gameHeight, int& modeWidth, int& modeHeight,
                          bool& found);
// Scale and centre of a gw x gh game shown in a mw x mh mode.
MatrixT MakeLetterboxMatrix(int gameWidth, int gameHeight, int modeWidth, int modeHeight);

class DisplayDX : public Display {
public:
    // platform null: SDL windows and the software device.
    explicit DisplayDX(DisplayPlatform* platform = nullptr);
    ~DisplayDX() override;
    DisplayDX(const DisplayDX&) = delete;
    DisplayDX& operator=(const DisplayDX&) = delete;

    // --- Display ---
    const TextureCaps* GetTextureCaps() const override { return &textureCaps_; }
    uint32_t GetColor() const override { return colour_; }
    void GetScreenSize(int& width, int& height) const override;
    int GetHeight() const override { return gameHeight_; }
    PixelFormat GetNativeFormat(PixelFormat format) const override { return NativeFormatOf(format); }
    int GetWidth() const override { return gameWidth_; }
    TextureFilter GetTextureFilter() const override { return textureFilter_; }
    void ClientToGame(float out[2], const float client[2]) const override;
    PixelFormat GetBackBufferFormat() const override { return FromDeviceFormat(backBufferFormat_); }
    void SetColor(const Color& colour) override;
    void SetColor(int r, int g, int b, int a) override;
    void SetBrightness(int r, int g, int b, int a) override;
    void SetBlendMode(BlendMode mode) override;
    void SetTextureFilter(TextureFilter filter) override;
    void SetTransform(const MatrixT& matrix) override;
    void SetClipRect(const Rect* rect) override;
    void SetCursorImage(Point hotspot, my_intrusive_ptr<Surface> surface) override;
    bool BeginRenderToSurface(my_intrusive_ptr<Surface>& surface, const Rect* clip) override;
    void EndRenderToSurface() override;
    void AfterReset() override;
    void BeforeReset() override;
    bool BeginFrame(const Rect* clip) override;
    bool BeginFrameUnscaled(const Rect* clip) override;
    void EndScene() override;
    my_intrusive_ptr<Surface> CreateNativeSurface(int width, int height, PixelFormat format, int levels,
                                                  bool managed, bool renderTarget) override;
    my_intrusive_ptr<Surface> CreateSurface(int width, int height, PixelFormat format) override;
    my_intrusive_ptr<Surface> CreateSurfaceFromImage(const PixelView& image) override;
    my_intrusive_ptr<Surface> CreateDynamicSurface(int width, int height, PixelFormat format) override;
    bool CopyBackBuffer(const Rect& source, const Point& target, Surface* destination) override;
    void Clear(int r, int g, int b, int a) override;
    bool SetFullScreen(int width, int height, bool fullScreen) override;
    void DrawTriangles(const DisplayVertex* vertices, int unused, int n, Surface* texture) override;
    void EndFrame() override;
    void FillRect(const Rect& rect) override;
    bool Init(int width, int height, bool fullScreen, bool allowScaledMode, bool depthBuffer) override;
    void DrawLine(const VectorT3& from, const VectorT3& to) override;
    void DrawLine(const Point& from, const Point& to) override;
    void SetOverlayText(const std::wstring& text) override { overlayText_ = text; }

    // --- DisplayDX ---
    NativeWindow* GetWindow() const { return window_.get(); }
    bool IsFullScreen() const { return fullScreen_; }
    // White, no brightness; the device states are left alone.
    void ResetColor();
    // Switches the overlay and gives it a new random colour.
    void ShowOverlay(bool on);
    bool InitDevice(int width, int height, bool fullScreen, bool useScaledMode, bool depthBuffer);
    // Stored; nothing reads it.
    void SetFlag(bool flag) { flag_ = flag; }

    // The device (null before Init); not owned by the caller.
    RenderDevice* GetDevice() const { return device_.get(); }
    PresentTarget* GetPresentTarget() const { return presentTarget_.get(); }
    // Draws four strip vertices with the current colour and the texture on stage 0.
    void DrawTexturedQuad(std::array<DisplayVertex, 4>& quad, DeviceTexture* texture);
    // The default-pool list; safe from any thread.
    void RegisterDefaultPool(DefaultPoolRes* resource);
    void UnregisterDefaultPool(DefaultPoolRes* resource);
    size_t DefaultPoolCount() const;
    // BeforeReset, the device reset (with the unscaled fallbacks), AfterReset on success.
    bool ResetDevice();
    // Identity unless a letterboxed full-screen mode is in force.
    MatrixT GetLetterboxMatrix() const;
    bool IsScaled() const { return scaled_; }
    int GetTriangleCount() const { return triangleCount_; }
    const std::wstring& GetOverlayText() const { return overlayText_; }
    bool IsOverlayOn() const { return overlayOn_; }
    // The overlay colour as 0xAARRGGBB.
    uint32_t GetOverlayColour() const;
    // Every render and stage state the display relies on, written whatever was there.
    void RestoreRenderStates();

private:
    PresentParams MakePresentParams(int bits) const;
    bool CreateDevice(const PresentParams& params);
    bool CreateMainWindow();
    bool ChooseScaledMode();
    void DestroyDevice();
    void ApplyBrightness(uint32_t value, bool force);
    void ApplyFilter(bool linear);
    bool Letterboxed() const { return fullScreen_ && scaled_; }
    // Loss check and reset, BeginScene, the clear of the whole target.
    bool StartFrame();
    void BeginLetterboxTarget(const Rect* clip);
    void PresentLetterbox();
    void ReleaseLetterboxTarget();
    void DrawOverlay();
    // Fills and lines: untextured diffuse colour; the five states are put back after.
    void DrawUntextured(PrimitiveKind kind, int count, DeviceVertex* vertices);

    DisplayPlatform* platform_;
    std::unique_ptr<DisplayPlatform> ownPlatform_;

    int triangleCount_ = 0;
    bool fullScreen_ = false;
    bool allowScaledMode_ = false;
    bool flag_ = true;
    my_intrusive_ptr<DeviceSurface> cursorSurface_;
    Point cursorHotspot_;
    int scaledModeWidth_ = 0, scaledModeHeight_ = 0;
    int gameWidth_ = 0, gameHeight_ = 0;
    int windowLeft_ = 0, windowTop_ = 0;
    // The device draws into the present target; both go before the window.
    std::unique_ptr<NativeWindow> window_;
    std::unique_ptr<PresentTarget> presentTarget_;
    std::unique_ptr<RenderDevice> device_;
    std::unique_ptr<OverlayFont> overlayFont_;
    TextureCaps textureCaps_{512, 512, true};
    TextureFilter textureFilter_ = TextureFilter::Auto;
    uint32_t colour_ = 0xFFFFFFFFu;
    uint32_t brightness_ = 0;
    bool depthBuffer_ = false;
    DeviceFormat backBufferFormat_ = DeviceFormat::Unknown;
    std::vector<DefaultPoolRes*> defaultPoolResources_;
    mutable std::recursive_mutex poolLock_;
    my_intrusive_ptr<DeviceSurface> savedBackBuffer_;
    my_intrusive_ptr<DeviceTexture> letterboxTexture_;
    bool scaled_ = false;
    my_intrusive_ptr<DeviceSurface> savedRenderTarget_;
    // A reset failed: the next frame tries again even when the device reports no loss.
    bool resetPending_ = false;
    std::wstring overlayText_;
    bool overlayOn_ = false;
    float overlayColour_[4] = {1, 1, 1, 1};
};

}  // namespace pf
