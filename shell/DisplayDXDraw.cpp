// The display's drawing state (colour, brightness, blending, filtering, transform, clip
// rectangle) and primitives (quads, triangles, lines, fills), clearing, render to a
// surface, the back-buffer copy, the cursor image and the default device states.
#include <algorithm>
#include <cstddef>

#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/Random.h"

namespace pf {

static_assert(offsetof(DisplayVertex, color) == offsetof(DeviceVertex, color) &&
                  offsetof(DisplayVertex, u) == offsetof(DeviceVertex, u) &&
                  sizeof(DisplayVertex) == sizeof(DeviceVertex),
              "the display's vertex is the device's vertex");

namespace {

const DeviceVertex* AsDevice(const DisplayVertex* v) { return reinterpret_cast<const DeviceVertex*>(v); }

HWSurfaceDX* AsHardware(Surface* surface) {
    return surface && surface->IsHardware() ? dynamic_cast<HWSurfaceDX*>(surface) : nullptr;
}

}  // namespace

std::array<DisplayVertex, 4> BuildQuad(const Rect& s, const Rect& d, int tw, int th, uint32_t colour) {
    const float fw = float(tw), fh = float(th);
    const float u0 = float(s.x) / fw, v0 = float(s.y) / fh;
    const float u1 = float(s.x + s.width) / fw, v1 = float(s.y + s.height) / fh;
    const float x0 = float(d.x), y0 = float(d.y);
    const float x1 = float(d.x + d.width), y1 = float(d.y + d.height);
    std::array<DisplayVertex, 4> q;
    q[0] = DisplayVertex{x0, y0, 0, colour, u0, v0};
    q[1] = DisplayVertex{x1, y0, 0, colour, u1, v0};
    q[2] = DisplayVertex{x0, y1, 0, colour, u0, v1};
    q[3] = DisplayVertex{x1, y1, 0, colour, u1, v1};
    return q;
}

MatrixT MakeOrthoProjection(float w, float h, float zn, float zf) {
    MatrixT m;
    for (auto& row : m.m)
        for (float& v : row) v = 0;
    m.m[0][0] = 2.0f / w;
    m.m[1][1] = 2.0f / h;
    m.m[2][2] = 1.0f / (zf - zn);
    m.m[3][2] = zn / (zn - zf);
    m.m[3][3] = 1.0f;
    return m;
}

// ---------------------------------------------------------------------------------------
// State

void DisplayDX::SetColor(const Color& c) { SetColor(c.r, c.g, c.b, c.a); }

void DisplayDX::SetColor(int r, int g, int b, int a) {
    colour_ = uint32_t(a & 255) << 24 | uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255);
}

void DisplayDX::ResetColor() {
    SetColor(255, 255, 255, 255);
    brightness_ = 0;
}

void DisplayDX::SetBrightness(int r, int g, int b, int) {
    ApplyBrightness(uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255), false);
}

void DisplayDX::ApplyBrightness(uint32_t value, bool force) {
    if (device_) {
        if (value != 0) {
            if (force || brightness_ == 0) {
                device_->SetTextureStageState(1, StageStateId::ColorArg1, ArgCurrent);
                device_->SetTextureStageState(1, StageStateId::ColorArg2, ArgTFactor);
                device_->SetTextureStageState(1, StageStateId::ColorOp, TopAdd);
                device_->SetTextureStageState(1, StageStateId::AlphaOp, TopDisable);
                device_->SetTextureStageState(2, StageStateId::ColorOp, TopDisable);
                device_->SetTextureStageState(2, StageStateId::AlphaOp, TopDisable);
            }
            if (force || value != brightness_) device_->SetRenderState(RenderStateId::TextureFactor, value);
        } else if (force || brightness_ != 0) {
            device_->SetTextureStageState(1, StageStateId::ColorOp, TopDisable);
            device_->SetTextureStageState(1, StageStateId::AlphaOp, TopDisable);
        }
    }
    brightness_ = value;
}

void DisplayDX::SetBlendMode(BlendMode mode) {
    if (!device_) return;
    const uint32_t v = uint32_t(mode);
    if (mode == BlendMode::Disable) {
        device_->SetRenderState(RenderStateId::AlphaBlendEnable, 0);
        return;
    }
    uint32_t src = v, dst = v;
    switch (mode) {
        case BlendMode::Alpha: src = BlendSrcAlpha; dst = BlendInvSrcAlpha; break;
        case BlendMode::Add: src = BlendOne; dst = BlendOne; break;
        case BlendMode::AddAlpha: src = BlendSrcAlpha; dst = BlendOne; break;
        default: break;  // a raw factor for both
    }
    device_->SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    device_->SetRenderState(RenderStateId::SrcBlend, src);
    device_->SetRenderState(RenderStateId::DestBlend, dst);
}

void DisplayDX::ApplyFilter(bool linear) {
    if (!device_) return;
    const uint32_t f = linear ? SampleLinear : SamplePoint;
    device_->SetTextureStageState(0, StageStateId::MagFilter, f);
    device_->SetTextureStageState(0, StageStateId::MinFilter, f);
}

void DisplayDX::SetTextureFilter(TextureFilter filter) {
    textureFilter_ = filter;
    ApplyFilter(filter == TextureFilter::Linear);
}

void DisplayDX::SetTransform(const MatrixT& m) {
    if (!device_) return;
    if (textureFilter_ == TextureFilter::Auto)
        ApplyFilter(m.m[0][0] != 1 || m.m[0][1] != 0 || m.m[1][0] != 0 || m.m[1][1] != 1);
    device_->SetTransform(TransformId::World, m);
}

void DisplayDX::SetClipRect(const Rect* rect) {
    if (!device_) return;
    Rect r = rect ? *rect : Rect(0, 0, gameWidth_, gameHeight_);
    // A rectangle of no area (a negative size included) leaves nothing to draw into,
    // rather than a mirrored view of whatever viewport came before.
    r.width = std::max(r.width, 0);
    r.height = std::max(r.height, 0);
    Viewport vp;
    vp.x = r.x;
    vp.y = r.y;
    vp.width = r.width;
    vp.height = r.height;
    device_->SetViewport(vp);
    const float w = float(r.width), h = float(r.height);
    device_->SetTransform(TransformId::Projection, MakeOrthoProjection(w, h, 0, 1));
    device_->SetTransform(TransformId::View,
                          MatrixT::MakeScaling(VectorT3(1, -1, 1)) *
                              MatrixT::MakeTranslation(VectorT3(-w * 0.5f - float(r.x) - 0.5f,
                                                                h * 0.5f + float(r.y) + 0.5f, 0)));
}

// ---------------------------------------------------------------------------------------
// Primitives

void DisplayDX::DrawTexturedQuad(std::array<DisplayVertex, 4>& quad, DeviceTexture* texture) {
    if (!device_) return;
    for (DisplayVertex& v : quad) v.color = colour_;
    device_->SetTexture(0, texture);
    triangleCount_ += 2;
    device_->DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, AsDevice(quad.data()));
}

void DisplayDX::DrawTriangles(const DisplayVertex* vertices, int, int n, Surface* texture) {
    HWSurfaceDX* hw = AsHardware(texture);
    if (!hw || !device_ || !vertices || n <= 0) return;
    device_->SetTexture(0, hw->GetTexture());
    triangleCount_ += n;
    device_->DrawPrimitiveUP(PrimitiveKind::TriangleList, n, AsDevice(vertices));
}

void DisplayDX::DrawUntextured(PrimitiveKind kind, int count, DeviceVertex* vertices) {
    const StageStateId kept0[4] = {StageStateId::ColorArg1, StageStateId::ColorOp, StageStateId::AlphaArg1,
                                   StageStateId::AlphaOp};
    uint32_t saved[5];
    for (int i = 0; i < 4; ++i) saved[i] = device_->GetTextureStageState(0, kept0[i]);
    saved[4] = device_->GetTextureStageState(1, StageStateId::ColorOp);
    device_->SetTextureStageState(0, StageStateId::ColorArg1, ArgDiffuse);
    device_->SetTextureStageState(0, StageStateId::ColorOp, TopSelectArg1);
    device_->SetTextureStageState(0, StageStateId::AlphaArg1, ArgDiffuse);
    device_->SetTextureStageState(0, StageStateId::AlphaOp, TopSelectArg1);
    device_->SetTextureStageState(1, StageStateId::ColorOp, TopDisable);
    device_->SetTexture(0, nullptr);
    device_->DrawPrimitiveUP(kind, count, vertices);
    for (int i = 0; i < 4; ++i) device_->SetTextureStageState(0, kept0[i], saved[i]);
    device_->SetTextureStageState(1, StageStateId::ColorOp, saved[4]);
}

void DisplayDX::FillRect(const Rect& rect) {
    if (!device_) return;
    auto quad = BuildQuad(Rect(0, 0, 1, 1), rect, 1, 1, colour_);
    triangleCount_ += 2;
    DeviceVertex v[4];
    for (int i = 0; i < 4; ++i) v[i] = DeviceVertex{quad[i].x, quad[i].y, quad[i].z, quad[i].color, quad[i].u, quad[i].v};
    DrawUntextured(PrimitiveKind::TriangleStrip, 2, v);
}

void DisplayDX::DrawLine(const VectorT3& from, const VectorT3& to) {
    if (!device_) return;
    DeviceVertex v[2] = {{from.x, from.y, from.z, colour_, 0, 0}, {to.x, to.y, to.z, colour_, 0, 0}};
    triangleCount_ += 1;
    DrawUntextured(PrimitiveKind::LineList, 1, v);
}

void DisplayDX::DrawLine(const Point& from, const Point& to) {
    DrawLine(VectorT3(float(from.x), float(from.y), 0), VectorT3(float(to.x), float(to.y), 0));
}

void DisplayDX::Clear(int r, int g, int b, int a) {
    if (!device_) return;
    device_->Clear(uint32_t(a & 255) << 24 | uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255));
}

// ---------------------------------------------------------------------------------------
// Copies, render to surface, cursor, overlay switch

bool DisplayDX::CopyBackBuffer(const Rect& source, const Point& target, Surface* destination) {
    DebugStream() << "DisplayDX::CopyBackBuffer";
    HWSurfaceDX* hw = AsHardware(destination);
    if (!hw || !device_) return false;
    my_intrusive_ptr<DeviceSurface> from = device_->GetRenderTarget();
    // Letterboxed, the back buffer holds the game scaled into the screen mode; between
    // frames the game's own picture, which the rectangle is given in, is the letterbox
    // target's.
    if (Letterboxed() && letterboxTexture_ && from == device_->GetBackBuffer())
        from = letterboxTexture_->GetSurfaceLevel(0);
    DeviceTexture* texture = hw->GetTexture();
    DeviceSurface* to = texture ? texture->GetSurfaceLevel(0) : nullptr;
    if (!from || !to) return false;
    return Succeeded(device_->CopyRects(from.get(), &source, 1, to, &target));
}

bool DisplayDX::BeginRenderToSurface(my_intrusive_ptr<Surface>& surface, const Rect* clip) {
    if (!device_ || device_->TestCooperativeLevel() != DeviceResult::Ok) return false;
    if (!Succeeded(device_->BeginScene())) return false;
    savedRenderTarget_ = device_->GetRenderTarget();
    HWSurfaceDX* hw = AsHardware(surface.get());
    if (hw && hw->SetAsRenderTarget()) {
        SetClipRect(clip);
        return true;
    }
    savedRenderTarget_.reset();
    device_->EndScene();  // nothing is drawn into a target that could not be set
    return false;
}

void DisplayDX::EndRenderToSurface() {
    if (!device_ || !savedRenderTarget_) return;
    device_->SetRenderTarget(savedRenderTarget_.get());
    device_->EndScene();
    savedRenderTarget_.reset();
}

void DisplayDX::SetCursorImage(Point hotspot, my_intrusive_ptr<Surface> surface) {
    cursorSurface_.reset();
    HWSurfaceDX* hw = AsHardware(surface.get());
    DeviceTexture* texture = hw ? hw->GetTexture() : nullptr;
    DeviceSurface* level = texture ? texture->GetSurfaceLevel(0) : nullptr;
    if (!level || !device_) return;
    const SurfaceDesc desc = level->Desc();
    if (desc.pool != MemoryPool::Managed || desc.width != 32 || desc.height != 32) return;
    if (!Succeeded(device_->SetCursorProperties(hotspot.x, hotspot.y, level))) return;
    cursorSurface_ = level;
    cursorHotspot_ = hotspot;
}

void DisplayDX::ShowOverlay(bool on) {
    overlayOn_ = on;
    overlayColour_[2] = float(Rand() % 32767) / 32767.0f;
    overlayColour_[1] = float(Rand() % 32767) / 32767.0f;
    overlayColour_[0] = float(Rand() % 32767) / 32767.0f;
    overlayColour_[3] = 1.0f;
}

uint32_t DisplayDX::GetOverlayColour() const {
    auto byte = [](float f) -> uint32_t { return f >= 1 ? 255u : f <= 0 ? 0u : uint32_t(int(f * 255 + 0.5f)); };
    return byte(overlayColour_[3]) << 24 | byte(overlayColour_[0]) << 16 | byte(overlayColour_[1]) << 8 |
           byte(overlayColour_[2]);
}

void DisplayDX::RestoreRenderStates() {
    if (!device_) return;
    device_->SetTransform(TransformId::World, MatrixT::MakeIdentity());
    device_->SetRenderState(RenderStateId::CullMode, CullNone);
    device_->SetRenderState(RenderStateId::Lighting, 0);
    device_->SetRenderState(RenderStateId::ZEnable, 0);
    device_->SetRenderState(RenderStateId::ZWriteEnable, 0);
    device_->SetRenderState(RenderStateId::AlphaTestEnable, 1);
    device_->SetRenderState(RenderStateId::AlphaRef, 1);
    device_->SetRenderState(RenderStateId::AlphaFunc, CmpGreaterEqual);
    device_->SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    device_->SetTextureStageState(0, StageStateId::ColorArg1, ArgTexture);
    device_->SetTextureStageState(0, StageStateId::ColorArg2, ArgDiffuse);
    device_->SetTextureStageState(0, StageStateId::ColorOp, TopModulate);
    device_->SetTextureStageState(0, StageStateId::AlphaArg1, ArgTexture);
    device_->SetTextureStageState(0, StageStateId::AlphaArg2, ArgDiffuse);
    device_->SetTextureStageState(0, StageStateId::AlphaOp, TopModulate);
    ApplyBrightness(brightness_, true);
    SetTextureFilter(textureFilter_);
    device_->SetTextureStageState(0, StageStateId::AddressU, AddressClamp);
    device_->SetTextureStageState(0, StageStateId::AddressV, AddressClamp);
    SetBlendMode(BlendMode::Alpha);
    SetClipRect(nullptr);
    if (device_->TestCooperativeLevel() == DeviceResult::Ok && BeginFrame(nullptr)) EndFrame();
}

}  // namespace pf
