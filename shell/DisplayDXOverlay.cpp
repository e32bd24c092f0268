// The debug overlay: its text and the triangle count drawn at the top-left of the frame.
#include <cstdio>

#include "shell/DisplayDX.h"
#include "shell/OverlayFont.h"

namespace pf {

void DisplayDX::DrawOverlay() {
    if (!overlayFont_ || !overlayFont_->IsReady()) return;
    char count[64];
    std::snprintf(count, sizeof count, "\ntriangles rendered: %d", triangleCount_);
    std::wstring text = overlayText_;
    for (const char* p = count; *p; ++p) text += wchar_t(*p);
    std::vector<DeviceVertex> vertices;
    overlayFont_->Layout(text, 10, 10, GetOverlayColour(), vertices);
    if (vertices.empty()) return;

    // The text goes over the whole target, unclipped and unscaled; every state it touches
    // is put back afterwards.
    RenderDevice& d = *device_;
    const Viewport viewport = d.GetViewport();
    const MatrixT world = d.GetTransform(TransformId::World), view = d.GetTransform(TransformId::View),
                  projection = d.GetTransform(TransformId::Projection);
    const RenderStateId renderIds[] = {RenderStateId::AlphaBlendEnable, RenderStateId::SrcBlend,
                                       RenderStateId::DestBlend};
    uint32_t render[3];
    for (int i = 0; i < 3; ++i) render[i] = d.GetRenderState(renderIds[i]);
    const StageStateId stageIds[] = {StageStateId::ColorOp, StageStateId::ColorArg1, StageStateId::ColorArg2,
                                     StageStateId::AlphaOp, StageStateId::AlphaArg1, StageStateId::AlphaArg2,
                                     StageStateId::MagFilter, StageStateId::MinFilter};
    uint32_t stage0[8];
    for (int i = 0; i < 8; ++i) stage0[i] = d.GetTextureStageState(0, stageIds[i]);
    const uint32_t stage1 = d.GetTextureStageState(1, StageStateId::ColorOp);

    my_intrusive_ptr<DeviceSurface> target = d.GetRenderTarget();
    const float w = float(target->Width()), h = float(target->Height());
    Viewport whole;
    whole.width = target->Width();
    whole.height = target->Height();
    d.SetViewport(whole);
    d.SetTransform(TransformId::World, MatrixT::MakeIdentity());
    d.SetTransform(TransformId::Projection, MakeOrthoProjection(w, h, 0, 1));
    d.SetTransform(TransformId::View, MatrixT::MakeScaling(VectorT3(1, -1, 1)) *
                                          MatrixT::MakeTranslation(VectorT3(-w * 0.5f - 0.5f, h * 0.5f + 0.5f, 0)));
    d.SetRenderState(RenderStateId::AlphaBlendEnable, 1);
    d.SetRenderState(RenderStateId::SrcBlend, BlendSrcAlpha);
    d.SetRenderState(RenderStateId::DestBlend, BlendInvSrcAlpha);
    const uint32_t modulate[8] = {TopModulate, ArgTexture, ArgDiffuse, TopModulate,
                                  ArgTexture,  ArgDiffuse, SamplePoint, SamplePoint};
    for (int i = 0; i < 8; ++i) d.SetTextureStageState(0, stageIds[i], modulate[i]);
    d.SetTextureStageState(1, StageStateId::ColorOp, TopDisable);
    d.SetTexture(0, overlayFont_->GetTexture());
    d.DrawPrimitiveUP(PrimitiveKind::TriangleList, int(vertices.size() / 3), vertices.data());

    d.SetTextureStageState(1, StageStateId::ColorOp, stage1);
    for (int i = 0; i < 8; ++i) d.SetTextureStageState(0, stageIds[i], stage0[i]);
    for (int i = 0; i < 3; ++i) d.SetRenderState(renderIds[i], render[i]);
    d.SetTransform(TransformId::World, world);
    d.SetTransform(TransformId::View, view);
    d.SetTransform(TransformId::Projection, projection);
    d.SetViewport(viewport);
}

}  // namespace pf
