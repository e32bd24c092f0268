#include "shell/render/SoftDeviceRecording.h"

#include <cstdio>

#include "shell/foundation/Log.h"

namespace pf {

namespace {

const char* TransformName(TransformId t) {
    switch (t) {
        case TransformId::World: return "World";
        case TransformId::View: return "View";
        case TransformId::Projection: return "Projection";
        default: return "unknown";
    }
}

const char* PrimitiveName(PrimitiveKind k) {
    switch (k) {
        case PrimitiveKind::TriangleList: return "TriangleList";
        case PrimitiveKind::TriangleStrip: return "TriangleStrip";
        case PrimitiveKind::LineList: return "LineList";
    }
    return "unknown";
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

std::unique_ptr<RecordingDevice> CreateRecordingDevice(const PresentParams& params, PresentTarget* target,
                                                       DeviceFaults* faults) {
    if (!SoftDevice::ValidParams(params) || (faults && faults->TakeCreationFailure())) {
        DebugStream() << "CreateRecordingDevice: creation failed";
        return nullptr;
    }
    return std::make_unique<RecordingDevice>(params, target, faults);
}

std::vector<std::string> RecordingDevice::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls_)
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

DeviceResult RecordingDevice::TestCooperativeLevel() {
    Record("TestCooperativeLevel");
    return SoftDevice::TestCooperativeLevel();
}

DeviceResult RecordingDevice::Reset(const PresentParams& params) {
    Record("Reset " + std::to_string(params.width) + " " + std::to_string(params.height) + " " +
           DeviceFormatName(params.backBufferFormat) + (params.windowed ? " windowed" : " fullscreen"));
    return SoftDevice::Reset(params);
}

DeviceResult RecordingDevice::CreateTexture(int width, int height, int levels, uint32_t usage,
                                            DeviceFormat format, MemoryPool pool,
                                            my_intrusive_ptr<DeviceTexture>& out) {
    Record("CreateTexture " + std::to_string(width) + " " + std::to_string(height) + " " +
           std::to_string(levels) + " " + std::to_string(usage) + " " + DeviceFormatName(format) +
           (pool == MemoryPool::Default ? " Default" : " Managed"));
    return SoftDevice::CreateTexture(width, height, levels, usage, format, pool, out);
}

DeviceResult RecordingDevice::SetRenderTarget(DeviceSurface* target) {
    Record(std::string("SetRenderTarget ") + (target == GetBackBuffer().get() ? "backbuffer" : "surface"));
    return SoftDevice::SetRenderTarget(target);
}

DeviceResult RecordingDevice::SetViewport(const Viewport& vp) {
    Record("SetViewport " + std::to_string(vp.x) + " " + std::to_string(vp.y) + " " +
           std::to_string(vp.width) + " " + std::to_string(vp.height));
    return SoftDevice::SetViewport(vp);
}

DeviceResult RecordingDevice::SetTransform(TransformId which, const MatrixT& m) {
    std::string line = std::string("SetTransform ") + TransformName(which);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) line += " " + Num(m.m[r][c]);
    Record(line);
    return SoftDevice::SetTransform(which, m);
}

DeviceResult RecordingDevice::SetRenderState(RenderStateId state, uint32_t value) {
    Record(std::string("SetRenderState ") + RenderStateName(state) + " " + std::to_string(value));
    return SoftDevice::SetRenderState(state, value);
}

DeviceResult RecordingDevice::SetTextureStageState(int stage, StageStateId state, uint32_t value) {
    Record("SetTextureStageState " + std::to_string(stage) + " " + StageStateName(state) + " " +
           std::to_string(value));
    return SoftDevice::SetTextureStageState(stage, state, value);
}

DeviceResult RecordingDevice::SetTexture(int stage, DeviceTexture* texture) {
    Record("SetTexture " + std::to_string(stage) + (texture ? " texture" : " null"));
    return SoftDevice::SetTexture(stage, texture);
}

DeviceResult RecordingDevice::BeginScene() {
    Record("BeginScene");
    return SoftDevice::BeginScene();
}

DeviceResult RecordingDevice::EndScene() {
    Record("EndScene");
    return SoftDevice::EndScene();
}

DeviceResult RecordingDevice::Clear(uint32_t argb) {
    Record("Clear " + Hex(argb));
    return SoftDevice::Clear(argb);
}

DeviceResult RecordingDevice::DrawPrimitiveUP(PrimitiveKind kind, int primitiveCount,
                                              const DeviceVertex* vertices) {
    Record(std::string("DrawPrimitiveUP ") + PrimitiveName(kind) + " " + std::to_string(primitiveCount));
    if (vertices && primitiveCount > 0) {
        const int n = kind == PrimitiveKind::TriangleList ? primitiveCount * 3
                      : kind == PrimitiveKind::TriangleStrip ? primitiveCount + 2
                                                             : primitiveCount * 2;
        draws_.push_back(Draw{kind, primitiveCount, std::vector<DeviceVertex>(vertices, vertices + n), GetTexture(0)});
    }
    return SoftDevice::DrawPrimitiveUP(kind, primitiveCount, vertices);
}

DeviceResult RecordingDevice::CopyRects(DeviceSurface* src, const Rect* rects, int count, DeviceSurface* dst,
                                        const Point* points) {
    std::string line = "CopyRects " + std::to_string(rects ? count : 1);
    if (rects && count > 0) {
        const Point p = points ? points[0] : Point(rects[0].x, rects[0].y);
        line += " " + std::to_string(rects[0].x) + " " + std::to_string(rects[0].y) + " " +
                std::to_string(rects[0].width) + " " + std::to_string(rects[0].height) + " -> " +
                std::to_string(p.x) + " " + std::to_string(p.y);
    }
    Record(line);
    return SoftDevice::CopyRects(src, rects, count, dst, points);
}

DeviceResult RecordingDevice::Present() {
    Record("Present");
    return SoftDevice::Present();
}

DeviceResult RecordingDevice::SetCursorProperties(int hotX, int hotY, DeviceSurface* image) {
    Record("SetCursorProperties " + std::to_string(hotX) + " " + std::to_string(hotY));
    return SoftDevice::SetCursorProperties(hotX, hotY, image);
}

void RecordingDevice::ShowCursor(bool show) {
    Record(std::string("ShowCursor ") + (show ? "1" : "0"));
    SoftDevice::ShowCursor(show);
}

}  // namespace pf
