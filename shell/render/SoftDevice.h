// The rendering device the display draws through, and its software implementation.
//
// RenderDevice is the abstract device: textures and surfaces, render and texture-stage
// states, world/view/projection transforms, the viewport, scenes, triangle lists, strips
// and line lists of the 24-byte vertex, CopyRects, Present, the cursor image, and the
// cooperative level with Reset after a device loss. SoftDevice draws with the rasteriser
// of Raster*.h and presents into a PresentTarget (an SDL window or memory);
// RecordingDevice (SoftDeviceRecording.h) also writes down every call for tests.
//
// Device loss and creation and reset failures happen only through a DeviceFaults hook,
// so tests can drive lost -> not reset -> reset.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "shell/foundation/RefCounter.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"
#include "shell/render/RasterSetup.h"
#include "shell/render/SoftDeviceTexture.h"
#include "shell/render/SoftDeviceTypes.h"

namespace pf {

class PresentTarget;

class RenderDevice {
public:
    virtual ~RenderDevice() = default;

    // Ok, DeviceLost (wait), or DeviceNotReset (call Reset now).
    virtual DeviceResult TestCooperativeLevel() = 0;
    // Builds a new back buffer and puts every state back to its default. Refused with
    // InvalidCall while default-pool textures exist, with DeviceLost while the device
    // cannot be reset yet.
    virtual DeviceResult Reset(const PresentParams& params) = 0;
    virtual PresentParams GetPresentParams() const = 0;
    virtual DeviceCaps GetCaps() const = 0;

    // Safe from any thread. levels 0: the whole chain. Render targets are A8R8G8B8 or
    // X8R8G8B8; sizes 1..maximum.
    virtual DeviceResult CreateTexture(int width, int height, int levels, uint32_t usage,
                                       DeviceFormat format, MemoryPool pool,
                                       my_intrusive_ptr<DeviceTexture>& out) = 0;
    virtual my_intrusive_ptr<DeviceSurface> GetBackBuffer() = 0;
    virtual my_intrusive_ptr<DeviceSurface> GetRenderTarget() = 0;
    // A level of a render-target texture, or the back buffer. Sets the viewport to the
    // whole target.
    virtual DeviceResult SetRenderTarget(DeviceSurface* target) = 0;

    // A viewport of width or height 0 draws and clears nothing; a negative size is refused.
    virtual DeviceResult SetViewport(const Viewport& vp) = 0;
    virtual Viewport GetViewport() const = 0;
    virtual DeviceResult SetTransform(TransformId which, const MatrixT& m) = 0;
    virtual MatrixT GetTransform(TransformId which) const = 0;
    virtual DeviceResult SetRenderState(RenderStateId state, uint32_t value) = 0;
    virtual uint32_t GetRenderState(RenderStateId state) const = 0;
    // Stages 0..7 are kept; stages 0 and 1 take part in drawing (stage 2 on is off).
    virtual DeviceResult SetTextureStageState(int stage, StageStateId state, uint32_t value) = 0;
    virtual uint32_t GetTextureStageState(int stage, StageStateId state) const = 0;
    // Only stage 0 is sampled. Null unbinds.
    virtual DeviceResult SetTexture(int stage, DeviceTexture* texture) = 0;
    virtual DeviceTexture* GetTexture(int stage) const = 0;

    virtual DeviceResult BeginScene() = 0;
    virtual DeviceResult EndScene() = 0;
    // Fills the viewport of the render target with 0xAARRGGBB; nothing outside it.
    virtual DeviceResult Clear(uint32_t argb) = 0;
    // Between BeginScene and EndScene; primitiveCount triangles or lines.
    virtual DeviceResult DrawPrimitiveUP(PrimitiveKind kind, int primitiveCount,
                                         const DeviceVertex* vertices) = 0;
    // See CopySurfaceRects.
    virtual DeviceResult CopyRects(DeviceSurface* src, const Rect* rects, int count,
                                   DeviceSurface* dst, const Point* points) = 0;
    // Shows the back buffer; the back buffer keeps its picture.
    virtual DeviceResult Present() = 0;

    // A 32 x 32 surface becomes the cursor image with its hot spot.
    virtual DeviceResult SetCursorProperties(int hotX, int hotY, DeviceSurface* image) = 0;
    virtual void ShowCursor(bool show) = 0;
};

// Fault injection shared between a test and the devices it creates. Thread-safe.
class DeviceFaults {
public:
    // The next n device creations fail.
    void FailCreations(int n);
    // The next n resets fail (the device stays not reset).
    void FailResets(int n);
    // The device becomes lost: TestCooperativeLevel answers DeviceLost, Present fails,
    // drawing does nothing.
    void LoseDevice();
    // A lost device may now be reset: TestCooperativeLevel answers DeviceNotReset.
    void AllowReset();

    DeviceResult CooperativeLevel() const;
    // For the devices.
    bool TakeCreationFailure();
    bool TakeResetFailure();
    void ResetSucceeded();

private:
    mutable std::mutex mutex_;
    int creationFailures_ = 0;
    int resetFailures_ = 0;
    std::atomic<DeviceResult> level_{DeviceResult::Ok};  // read on every draw without the lock
};

class SoftDevice : public RenderDevice {
public:
    // Prefer CreateSoftDevice, which answers null on failure.
    SoftDevice(const PresentParams& params, PresentTarget* target, DeviceFaults* faults);
    ~SoftDevice() override;
    SoftDevice(const SoftDevice&) = delete;
    SoftDevice& operator=(const SoftDevice&) = delete;

    DeviceResult TestCooperativeLevel() override;
    DeviceResult Reset(const PresentParams& params) override;
    PresentParams GetPresentParams() const override { return params_; }
    DeviceCaps GetCaps() const override { return DeviceCaps(); }
    DeviceResult CreateTexture(int width, int height, int levels, uint32_t usage,
                               DeviceFormat format, MemoryPool pool,
                               my_intrusive_ptr<DeviceTexture>& out) override;
    my_intrusive_ptr<DeviceSurface> GetBackBuffer() override { return backBuffer_; }
    my_intrusive_ptr<DeviceSurface> GetRenderTarget() override { return renderTarget_; }
    DeviceResult SetRenderTarget(DeviceSurface* target) override;
    DeviceResult SetViewport(const Viewport& vp) override;
    Viewport GetViewport() const override { return viewport_; }
    DeviceResult SetTransform(TransformId which, const MatrixT& m) override;
    MatrixT GetTransform(TransformId which) const override;
    DeviceResult SetRenderState(RenderStateId state, uint32_t value) override;
    uint32_t GetRenderState(RenderStateId state) const override;
    DeviceResult SetTextureStageState(int stage, StageStateId state, uint32_t value) override;
    uint32_t GetTextureStageState(int stage, StageStateId state) const override;
    DeviceResult SetTexture(int stage, DeviceTexture* texture) override;
    DeviceTexture* GetTexture(int stage) const override;
    DeviceResult BeginScene() override;
    DeviceResult EndScene() override;
    DeviceResult Clear(uint32_t argb) override;
    DeviceResult DrawPrimitiveUP(PrimitiveKind kind, int primitiveCount,
                                 const DeviceVertex* vertices) override;
    DeviceResult CopyRects(DeviceSurface* src, const Rect* rects, int count, DeviceSurface* dst,
                           const Point* points) override;
    DeviceResult Present() override;
    DeviceResult SetCursorProperties(int hotX, int hotY, DeviceSurface* image) override;
    void ShowCursor(bool show) override;

    // Test hook: draw everything through the generic span loop.
    void SetForceGenericSpans(bool on) { forceGeneric_ = on; }
    // Default-pool textures alive now.
    int DefaultPoolTextures() const { return defaultPoolCount_->load(); }

    static bool ValidParams(const PresentParams& params);

private:
    static constexpr int kStages = 8;
    bool IsLost() const;
    void SetDefaultStates();
    bool CreateBackBuffer(const PresentParams& params);
    // The scissor: viewport inside the render target.
    bool Scissor(int& x0, int& y0, int& x1, int& y1) const;

    PresentParams params_;
    PresentTarget* target_;
    DeviceFaults* faults_;
    my_intrusive_ptr<DeviceSurface> backBuffer_;
    my_intrusive_ptr<DeviceSurface> renderTarget_;
    // The back buffer's version the target last showed (0: none, or it failed), and
    // the rectangles changed since.
    uint64_t presentedVersion_ = 0;
    std::vector<Rect> changed_;
    Viewport viewport_;
    MatrixT transforms_[int(TransformId::Count)];
    bool transformDirty_ = true;
    MatrixT combined_;
    uint32_t renderStates_[int(RenderStateId::Count)];
    uint32_t stageStates_[kStages][int(StageStateId::Count)];
    my_intrusive_ptr<DeviceTexture> textures_[kStages];
    bool inScene_ = false;
    bool forceGeneric_ = false;
    std::shared_ptr<std::atomic<int>> defaultPoolCount_;
    std::vector<ScreenVertex> screen_;
};

// Null (with one log line) when the parameters are bad or the hook makes creation fail.
// target and faults may be null; both must outlive the device.
std::unique_ptr<SoftDevice> CreateSoftDevice(const PresentParams& params, PresentTarget* target,
                                             DeviceFaults* faults = nullptr);

const char* RenderStateName(RenderStateId state);
const char* StageStateName(StageStateId state);

}  // namespace pf
