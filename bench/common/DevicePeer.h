// The peer the display benchmarks measure against: the same quads handed straight to the
// software device, bypassing the display's per-draw work.
#pragma once

#include <vector>

#include "shell/DisplayDX.h"
#include "shell/NativeSurfaceDX.h"

namespace benchkit {

// One frame of screen-space quads (four strip vertices each) drawn with one texture and
// linear filtering, in whatever blend state the display was left in.
inline void DrawQuadsOnDevice(pf::DisplayDX& display, pf::Surface* texture, const std::vector<pf::DeviceVertex>& quads) {
    display.BeginFrame(nullptr);
    pf::RenderDevice& d = *display.GetDevice();
    d.SetTransform(pf::TransformId::World, pf::MatrixT::MakeIdentity());
    d.SetTextureStageState(0, pf::StageStateId::MagFilter, pf::SampleLinear);
    d.SetTextureStageState(0, pf::StageStateId::MinFilter, pf::SampleLinear);
    d.SetTexture(0, static_cast<pf::NativeSurfaceDX*>(texture)->GetTexture());
    for (size_t i = 0; i + 4 <= quads.size(); i += 4) d.DrawPrimitiveUP(pf::PrimitiveKind::TriangleStrip, 2, &quads[i]);
    display.EndFrame();
}

}  // namespace benchkit
