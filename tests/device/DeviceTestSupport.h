// Helpers for the device tests: a small device set up the way the display sets it up,
// textures from literal texels, quads in game coordinates, and pixel reads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "shell/render/SoftDevice.h"
#include "shell/render/PresentTarget.h"

namespace devtest {

using namespace pf;

inline uint32_t A(uint32_t c) { return c >> 24; }
inline uint32_t R(uint32_t c) { return (c >> 16) & 255; }
inline uint32_t G(uint32_t c) { return (c >> 8) & 255; }
inline uint32_t B(uint32_t c) { return c & 255; }
inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Every channel within tol of the other's.
inline ::testing::AssertionResult Near(uint32_t got, uint32_t want, int tol = 1) {
    for (int sh = 0; sh < 32; sh += 8) {
        int d = int((got >> sh) & 255) - int((want >> sh) & 255);
        if (d > tol || d < -tol)
            return ::testing::AssertionFailure() << std::hex << "got 0x" << got << " want 0x" << want;
    }
    return ::testing::AssertionSuccess();
}

// Target pixel (x, y) of the source scaled to tw x th, pixel centres onto pixel centres,
// texels outside clamped to the edge, worked out in floating point.
inline uint32_t ReferenceBilinear(const std::vector<uint32_t>& src, int sw, int sh, int tw, int th, int x, int y) {
    const double u = (x + 0.5) * sw / tw - 0.5, v = (y + 0.5) * sh / th - 0.5;
    const double fu = std::floor(u), fv = std::floor(v);
    const double ax = u - fu, ay = v - fv;
    auto at = [&](double tx, double ty) {
        const int cx = std::min(std::max(int(tx), 0), sw - 1), cy = std::min(std::max(int(ty), 0), sh - 1);
        return src[size_t(cy) * sw + cx];
    };
    const uint32_t t00 = at(fu, fv), t10 = at(fu + 1, fv), t01 = at(fu, fv + 1), t11 = at(fu + 1, fv + 1);
    uint32_t out = 0;
    for (int sh8 = 0; sh8 < 32; sh8 += 8) {
        auto ch = [&](uint32_t c) { return double((c >> sh8) & 255); };
        const double value = (ch(t00) * (1 - ax) + ch(t10) * ax) * (1 - ay) + (ch(t01) * (1 - ax) + ch(t11) * ax) * ay;
        out |= uint32_t(std::lround(value)) << sh8;
    }
    return out;
}

// The display's game-to-screen mapping for a w x h viewport at (x, y): an orthographic
// projection and a view that flips y and shifts by half a pixel.
inline void SetGameView(RenderDevice& d, int x, int y, int w, int h) {
    Viewport vp;
    vp.x = x; vp.y = y; vp.width = w; vp.height = h;
    d.SetViewport(vp);
    MatrixT proj(2.0f / w, 0, 0, 0, 0, 2.0f / h, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    MatrixT view = MatrixT::MakeScaling(VectorT3(1, -1, 1)) *
                   MatrixT::MakeTranslation(VectorT3(-w * 0.5f - x - 0.5f, h * 0.5f + y + 0.5f, 0));
    d.SetTransform(TransformId::Projection, proj);
    d.SetTransform(TransformId::View, view);
    d.SetTransform(TransformId::World, MatrixT::MakeIdentity());
}

// The display's standing states: no culling, alpha test >= 1, alpha blending, stage 0
// texture x diffuse, clamp addressing, the given filter.
inline void SetDisplayStates(RenderDevice& d, uint32_t filter = SamplePoint) {
    d.SetRenderState(RenderStateId::CullMode, CullNone);
    d.SetRenderState(RenderStateId::AlphaTestEnable, 1);
    d.SetRenderState(RenderStateId::AlphaRef, 1);
    d.SetRenderState(RenderStateId::AlphaFunc, CmpGreaterEqual);
    d.SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    d.SetRenderState(RenderStateId::SrcBlend, BlendSrcAlpha);
    d.SetRenderState(RenderStateId::DestBlend, BlendInvSrcAlpha);
    d.SetTextureStageState(0, StageStateId::ColorOp, TopModulate);
    d.SetTextureStageState(0, StageStateId::ColorArg1, ArgTexture);
    d.SetTextureStageState(0, StageStateId::ColorArg2, ArgDiffuse);
    d.SetTextureStageState(0, StageStateId::AlphaOp, TopModulate);
    d.SetTextureStageState(0, StageStateId::AlphaArg1, ArgTexture);
    d.SetTextureStageState(0, StageStateId::AlphaArg2, ArgDiffuse);
    d.SetTextureStageState(0, StageStateId::MagFilter, filter);
    d.SetTextureStageState(0, StageStateId::MinFilter, filter);
    d.SetTextureStageState(0, StageStateId::AddressU, AddressClamp);
    d.SetTextureStageState(0, StageStateId::AddressV, AddressClamp);
}

inline void SetBlend(RenderDevice& d, bool on, uint32_t src = BlendOne, uint32_t dst = BlendZero) {
    d.SetRenderState(RenderStateId::AlphaBlendEnable, on ? 1 : 0);
    d.SetRenderState(RenderStateId::SrcBlend, src);
    d.SetRenderState(RenderStateId::DestBlend, dst);
}

// Untextured drawing (the display's fills).
inline void SetDiffuseOnly(RenderDevice& d) {
    d.SetTexture(0, nullptr);
    d.SetTextureStageState(0, StageStateId::ColorOp, TopSelectArg1);
    d.SetTextureStageState(0, StageStateId::ColorArg1, ArgDiffuse);
    d.SetTextureStageState(0, StageStateId::AlphaOp, TopSelectArg1);
    d.SetTextureStageState(0, StageStateId::AlphaArg1, ArgDiffuse);
}

inline my_intrusive_ptr<DeviceTexture> MakeTexture(RenderDevice& d, int w, int h,
                                                   const std::vector<uint32_t>& argb,
                                                   DeviceFormat f = DeviceFormat::A8R8G8B8) {
    my_intrusive_ptr<DeviceTexture> t;
    EXPECT_EQ(d.CreateTexture(w, h, 1, UsageNone, f, MemoryPool::Managed, t), DeviceResult::Ok);
    LockedRect lr;
    EXPECT_EQ(t->LockRect(0, nullptr, 0, lr), DeviceResult::Ok);
    const int bpp = DeviceFormatBytes(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EncodeTexel(lr.bits + y * lr.pitch + x * bpp, f, argb[size_t(y) * w + x]);
    t->UnlockRect(0);
    return t;
}

// The quad of the display: texture rectangle (sx, sy, sw, sh) of a tw x th texture onto
// the game rectangle (dx, dy, dw, dh), as a four-vertex strip.
struct Quad {
    DeviceVertex v[4];
};
inline Quad MakeQuad(float dx, float dy, float dw, float dh, float sx, float sy, float sw, float sh,
                     float tw, float th, uint32_t color = 0xFFFFFFFFu) {
    Quad q;
    const float x[4] = {dx, dx + dw, dx, dx + dw}, y[4] = {dy, dy, dy + dh, dy + dh};
    const float u[4] = {sx / tw, (sx + sw) / tw, sx / tw, (sx + sw) / tw};
    const float v[4] = {sy / th, sy / th, (sy + sh) / th, (sy + sh) / th};
    for (int i = 0; i < 4; ++i) q.v[i] = DeviceVertex{x[i], y[i], 0.0f, color, u[i], v[i]};
    return q;
}

inline DeviceResult DrawQuad(RenderDevice& d, const Quad& q) {
    return d.DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, q.v);
}

// The render target's pixels as 0xAARRGGBB.
inline std::vector<uint32_t> ReadSurface(DeviceSurface* s) {
    std::vector<uint32_t> out(size_t(s->Width()) * s->Height());
    LockedRect lr;
    if (s->LockRect(nullptr, LockReadOnly, lr) != DeviceResult::Ok) return out;
    const int bpp = DeviceFormatBytes(s->Format());
    for (int y = 0; y < s->Height(); ++y)
        for (int x = 0; x < s->Width(); ++x)
            out[size_t(y) * s->Width() + x] = DecodeTexel(lr.bits + y * lr.pitch + x * bpp, s->Format());
    s->UnlockRect();
    return out;
}

// A device with a w x h back buffer presenting into memory, states as the display sets
// them, a scene begun.
struct Rig {
    MemoryPresentTarget target;
    DeviceFaults faults;
    std::unique_ptr<SoftDevice> device;

    explicit Rig(int w = 16, int h = 16, DeviceFormat f = DeviceFormat::A8R8G8B8) {
        PresentParams p;
        p.width = w; p.height = h; p.backBufferFormat = f;
        device = CreateSoftDevice(p, &target, &faults);
        SetGameView(*device, 0, 0, w, h);
        SetDisplayStates(*device);
        device->BeginScene();
    }
    SoftDevice& d() { return *device; }
    std::vector<uint32_t> Pixels() { return ReadSurface(device->GetRenderTarget().get()); }
    uint32_t Pixel(int x, int y) { return Pixels()[size_t(y) * device->GetRenderTarget()->Width() + x]; }
};

}  // namespace devtest
