// A software device that also writes down every call made to it, for tests of the code
// that drives the device (which states it writes, in which order, what it draws).
#pragma once

#include <string>
#include <vector>

#include "shell/render/SoftDevice.h"

namespace pf {

class RecordingDevice : public SoftDevice {
public:
    struct Draw {
        PrimitiveKind kind;
        int primitiveCount;
        std::vector<DeviceVertex> vertices;
        DeviceTexture* texture;  // stage 0 at the time of the call (not counted)
    };

    RecordingDevice(const PresentParams& params, PresentTarget* target, DeviceFaults* faults)
        : SoftDevice(params, target, faults) {}

    // One line per call, e.g. "SetRenderState SrcBlend 5", "SetTextureStageState 1
    // ColorOp 7", "DrawPrimitiveUP TriangleStrip 2", "Clear ff000000".
    const std::vector<std::string>& Calls() const { return calls_; }
    // The calls that start with prefix.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    const std::vector<Draw>& Draws() const { return draws_; }
    void ClearLog() { calls_.clear(); draws_.clear(); }

    DeviceResult TestCooperativeLevel() override;
    DeviceResult Reset(const PresentParams& params) override;
    DeviceResult CreateTexture(int width, int height, int levels, uint32_t usage, DeviceFormat format,
                               MemoryPool pool, my_intrusive_ptr<DeviceTexture>& out) override;
    DeviceResult SetRenderTarget(DeviceSurface* target) override;
    DeviceResult SetViewport(const Viewport& vp) override;
    DeviceResult SetTransform(TransformId which, const MatrixT& m) override;
    DeviceResult SetRenderState(RenderStateId state, uint32_t value) override;
    DeviceResult SetTextureStageState(int stage, StageStateId state, uint32_t value) override;
    DeviceResult SetTexture(int stage, DeviceTexture* texture) override;
    DeviceResult BeginScene() override;
    DeviceResult EndScene() override;
    DeviceResult Clear(uint32_t argb) override;
    DeviceResult DrawPrimitiveUP(PrimitiveKind kind, int primitiveCount, const DeviceVertex* vertices) override;
    DeviceResult CopyRects(DeviceSurface* src, const Rect* rects, int count, DeviceSurface* dst,
                           const Point* points) override;
    DeviceResult Present() override;
    DeviceResult SetCursorProperties(int hotX, int hotY, DeviceSurface* image) override;
    void ShowCursor(bool show) override;

private:
    void Record(const std::string& line) { calls_.push_back(line); }

    std::vector<std::string> calls_;
    std::vector<Draw> draws_;
};

// Null (with one log line) as CreateSoftDevice.
std::unique_ptr<RecordingDevice> CreateRecordingDevice(const PresentParams& params, PresentTarget* target,
                                                       DeviceFaults* faults = nullptr);

}  // namespace pf
