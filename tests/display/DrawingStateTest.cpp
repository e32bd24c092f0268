// The drawing state the display writes into the device, and what the primitives draw.
#include <cmath>

#include "display/DisplayFixture.h"

namespace displaytest {
namespace {

using pf::RenderStateId;
using pf::StageStateId;

TEST_F(DisplayTest, ClipRectMapsTheRectangleOntoTheViewport) {
    Start();
    display->SetClipRect(nullptr);
    const pf::MatrixT view = Device().GetTransform(pf::TransformId::View);
    const pf::VectorT3 origin = view.TransformVec3(pf::VectorT3(0, 0, 0));
    EXPECT_FLOAT_EQ(origin.x, -400.5f);
    EXPECT_FLOAT_EQ(origin.y, 300.5f);
    EXPECT_FLOAT_EQ(Device().GetTransform(pf::TransformId::Projection).m[0][0], 2.0f / 800);
    EXPECT_FLOAT_EQ(Device().GetTransform(pf::TransformId::Projection).m[1][1], 2.0f / 600);

    const pf::Rect clip(100, 50, 200, 100);
    display->SetClipRect(&clip);
    EXPECT_EQ(Device().CallsStartingWith("SetViewport").back(), "SetViewport 100 50 200 100");
    const pf::VectorT3 corner = Device().GetTransform(pf::TransformId::View).TransformVec3(pf::VectorT3(100, 50, 0));
    EXPECT_FLOAT_EQ(corner.x, -100.5f);
    EXPECT_FLOAT_EQ(corner.y, 50.5f);
}

TEST_F(DisplayTest, OneGamePixelIsOneScreenPixelInsideAndOutsideAClipRect) {
    Start();
    Frame([&] {
        display->SetColor(255, 0, 0, 255);
        display->FillRect(pf::Rect(0, 0, 1, 1));
        const pf::Rect clip(100, 50, 200, 100);
        display->SetClipRect(&clip);
        display->SetColor(0, 255, 0, 255);
        display->FillRect(pf::Rect(150, 60, 2, 1));
        display->FillRect(pf::Rect(0, 0, 90, 40));  // wholly outside the clip
    });
    EXPECT_EQ(Target().Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Target().Pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(0, 1), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(150, 60), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(151, 60), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(152, 60), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(10, 10), 0xFF000000u);
}

TEST_F(DisplayTest, AnEmptyClipRectDrawsAndClearsNothing) {
    Start();
    const pf::Rect empty[] = {{100, 50, 0, 100}, {100, 50, 200, 0}, {300, 50, -200, 100}, {100, 150, 200, -100}};
    for (const pf::Rect& clip : empty) {
        SCOPED_TRACE(clip.width * 1000 + clip.height);
        Frame([&] {
            display->SetClipRect(&clip);
            display->SetColor(255, 0, 0, 255);
            display->FillRect(pf::Rect(0, 0, 800, 600));
            display->DrawLine(pf::Point(0, 100), pf::Point(800, 100));
            display->Clear(0, 255, 0, 255);
        });
        int lit = 0;
        for (uint32_t p : Target().Frame()) lit += p != 0xFF000000u;
        EXPECT_EQ(lit, 0);
    }
}

TEST_F(DisplayTest, AutoFilterFollowsTheTransform) {
    Start();
    pf::MatrixT rotation = pf::MatrixT::MakeIdentity();
    rotation.RotationZ(0.3f);
    const struct {
        const char* name;
        pf::TextureFilter filter;
        pf::MatrixT matrix;
        uint32_t expected;
    } cases[] = {
        {"identity", pf::TextureFilter::Auto, pf::MatrixT::MakeIdentity(), pf::SamplePoint},
        {"translation", pf::TextureFilter::Auto, pf::MatrixT::MakeTranslation(pf::VectorT3(12.5f, 3, 0)),
         pf::SamplePoint},
        {"scale 1.5", pf::TextureFilter::Auto, pf::MatrixT::MakeScaling(pf::VectorT3(1.5f, 1.5f, 1)),
         pf::SampleLinear},
        {"rotation", pf::TextureFilter::Auto, rotation, pf::SampleLinear},
        {"point keeps point", pf::TextureFilter::Point, pf::MatrixT::MakeScaling(pf::VectorT3(2, 2, 1)),
         pf::SamplePoint},
        {"linear keeps linear", pf::TextureFilter::Linear, pf::MatrixT::MakeIdentity(), pf::SampleLinear},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        display->SetTextureFilter(c.filter);
        display->SetTransform(c.matrix);
        EXPECT_EQ(Device().GetTextureStageState(0, StageStateId::MagFilter), c.expected);
        EXPECT_EQ(Device().GetTextureStageState(0, StageStateId::MinFilter), c.expected);
        EXPECT_EQ(Device().GetTransform(pf::TransformId::World), c.matrix);
    }
}

TEST_F(DisplayTest, BlendModesWriteEnableThenFactors) {
    Start();
    const struct {
        int mode;
        std::vector<std::string> calls;
    } cases[] = {
        {0, {"SetRenderState AlphaBlendEnable 0"}},
        {1, {"SetRenderState AlphaBlendEnable 1", "SetRenderState SrcBlend 5", "SetRenderState DestBlend 6"}},
        {2, {"SetRenderState AlphaBlendEnable 1", "SetRenderState SrcBlend 2", "SetRenderState DestBlend 2"}},
        {3, {"SetRenderState AlphaBlendEnable 1", "SetRenderState SrcBlend 5", "SetRenderState DestBlend 2"}},
        {9, {"SetRenderState AlphaBlendEnable 1", "SetRenderState SrcBlend 9", "SetRenderState DestBlend 9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Device().ClearLog();
        display->SetBlendMode(pf::BlendMode(c.mode));
        EXPECT_EQ(Device().Calls(), c.calls);
    }
}

TEST_F(DisplayTest, AddBlendAddsOverWhatIsThere) {
    Start();
    pf::SurfacePtr grey = SolidSurface(4, 4, 0xFF404040u);
    Frame([&] {
        display->SetColor(0, 0, 255, 255);
        display->FillRect(pf::Rect(0, 0, 8, 8));
        display->ResetColor();
        display->SetBlendMode(pf::BlendMode::Add);
        pf::Rect dst(0, 0, 4, 4);
        grey->Draw(display.get(), nullptr, &dst);
    });
    EXPECT_EQ(Target().Pixel(1, 1), 0xFF4040FFu);
    EXPECT_EQ(Target().Pixel(5, 5), 0xFF0000FFu);
}

TEST_F(DisplayTest, ColourPacksArgb) {
    Start();
    display->SetColor(255, 0, 0, 128);
    EXPECT_EQ(display->GetColor(), 0x80FF0000u);
    display->SetColor(pf::Color(1, 2, 3, 4));
    EXPECT_EQ(display->GetColor(), 0x04010203u);
    display->SetColor(0x1FF, 0x100, -1, 0x180);  // 8 bits of each
    EXPECT_EQ(display->GetColor(), 0x80FF00FFu);
    display->ResetColor();
    EXPECT_EQ(display->GetColor(), 0xFFFFFFFFu);
    EXPECT_TRUE(Device().Calls().empty());
}

TEST_F(DisplayTest, BrightnessWritesStatesOnlyOnChange) {
    Start();
    display->SetBrightness(0, 0, 0, 255);
    display->SetBrightness(0, 0, 0, 255);
    EXPECT_TRUE(Device().Calls().empty());

    display->SetBrightness(10, 20, 30, 0);
    display->SetBrightness(10, 20, 30, 0);
    EXPECT_EQ(Device().CallsStartingWith("SetRenderState TextureFactor"),
              std::vector<std::string>{"SetRenderState TextureFactor " + std::to_string(0x0A141E)});
    EXPECT_EQ(Device().CallsStartingWith("SetTextureStageState 1 ColorOp"),
              std::vector<std::string>{"SetTextureStageState 1 ColorOp 7"});

    Device().ClearLog();
    display->SetBrightness(1, 2, 3, 0);
    EXPECT_EQ(Device().Calls(), std::vector<std::string>{"SetRenderState TextureFactor " + std::to_string(0x010203)});

    Device().ClearLog();
    display->SetBrightness(0, 0, 0, 0);
    EXPECT_EQ(Device().Calls(), (std::vector<std::string>{"SetTextureStageState 1 ColorOp 1",
                                                          "SetTextureStageState 1 AlphaOp 1"}));
}

TEST_F(DisplayTest, BrightnessAddsToTexturedColourButNotToFills) {
    Start();
    pf::SurfacePtr grey = SolidSurface(4, 4, 0xFF646464u);
    Frame([&] {
        display->SetBrightness(10, 20, 30, 0);
        pf::Rect dst(0, 0, 4, 4);
        grey->Draw(display.get(), nullptr, &dst);
        display->SetColor(100, 100, 100, 255);
        display->FillRect(pf::Rect(10, 0, 4, 4));
        display->SetBrightness(0, 0, 0, 0);
    });
    EXPECT_EQ(Target().Pixel(2, 2), 0xFF6E7882u);
    EXPECT_EQ(Target().Pixel(12, 2), 0xFF646464u);
}

TEST_F(DisplayTest, FillsAndLinesPutTheStageStatesBack) {
    Start();
    display->SetBrightness(5, 5, 5, 0);
    auto stageStates = [&] {
        std::vector<uint32_t> s;
        for (int stage = 0; stage < 2; ++stage)
            for (int id = 0; id < int(StageStateId::Count); ++id)
                s.push_back(Device().GetTextureStageState(stage, StageStateId(id)));
        return s;
    };
    const std::vector<uint32_t> before = stageStates();
    Frame([&] {
        display->SetColor(255, 0, 0, 128);
        display->FillRect(pf::Rect(0, 0, 4, 4));
        EXPECT_EQ(stageStates(), before);
        display->SetColor(0, 255, 0, 255);
        display->DrawLine(pf::Point(0, 6), pf::Point(10, 6));
        EXPECT_EQ(stageStates(), before);
        EXPECT_EQ(display->GetTriangleCount(), 3);
    });
    // Blending applies to fills; brightness does not.
    EXPECT_EQ(Target().Pixel(1, 1) & 0xFFFFFFu, 0x800000u);
    EXPECT_EQ(Target().Pixel(0, 6), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(8, 6), 0xFF00FF00u);
    EXPECT_EQ(Target().Pixel(9, 6), 0xFF00FF00u);  // the last pixel before the end point
    EXPECT_EQ(Target().Pixel(10, 6), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(11, 6), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(5, 5), 0xFF000000u);
    EXPECT_EQ(Target().Pixel(5, 7), 0xFF000000u);
}

TEST_F(DisplayTest, TrianglesNeedATextureSurface) {
    Start();
    pf::SurfacePtr memory(new pf::MemorySurface(4, 4));
    pf::SurfacePtr texture = SolidSurface(4, 4, 0xFFFFFFFFu);
    const pf::DisplayVertex tri[3] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0}, {8, 0, 0, 0xFFFFFFFFu, 1, 0},
                                      {0, 8, 0, 0xFFFFFFFFu, 0, 1}};
    Frame([&] {
        Device().ClearLog();
        display->DrawTriangles(tri, 0, 1, memory.get());
        display->DrawTriangles(tri, 0, 1, nullptr);
        EXPECT_EQ(display->GetTriangleCount(), 0);
        EXPECT_TRUE(Device().CallsStartingWith("DrawPrimitiveUP").empty());
        display->DrawTriangles(tri, 0, 1, texture.get());
        EXPECT_EQ(display->GetTriangleCount(), 1);
    });
    EXPECT_EQ(Target().Pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Target().Pixel(7, 7), 0xFF000000u);
}

TEST_F(DisplayTest, QuadsCarryTheSourceRectangleAndTheColour) {
    const auto q = pf::BuildQuad(pf::Rect(8, 4, 16, 8), pf::Rect(10, 20, 32, 16), 32, 16, 0x11223344u);
    const float expected[4][4] = {{10, 20, 0.25f, 0.25f}, {42, 20, 0.75f, 0.25f}, {10, 36, 0.25f, 0.75f},
                                  {42, 36, 0.75f, 0.75f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q[i].x, expected[i][0]);
        EXPECT_EQ(q[i].y, expected[i][1]);
        EXPECT_EQ(q[i].u, expected[i][2]);
        EXPECT_EQ(q[i].v, expected[i][3]);
        EXPECT_EQ(q[i].z, 0);
        EXPECT_EQ(q[i].color, 0x11223344u);
    }
    const pf::MatrixT ortho = pf::MakeOrthoProjection(800, 600, 0, 1);
    EXPECT_FLOAT_EQ(ortho.m[0][0], 2.0f / 800);
    EXPECT_FLOAT_EQ(ortho.m[1][1], 2.0f / 600);
    EXPECT_FLOAT_EQ(ortho.m[2][2], 1);
    EXPECT_FLOAT_EQ(ortho.m[3][2], 0);
    EXPECT_FLOAT_EQ(ortho.m[3][3], 1);
}

TEST_F(DisplayTest, RestoredStatesAreTheDefaults) {
    Start();
    display->SetBrightness(1, 1, 1, 0);
    display->SetTextureFilter(pf::TextureFilter::Linear);
    Device().ClearLog();
    display->RestoreRenderStates();
    EXPECT_EQ(Device().GetRenderState(RenderStateId::AlphaTestEnable), 1u);
    EXPECT_EQ(Device().GetRenderState(RenderStateId::AlphaRef), 1u);
    EXPECT_EQ(Device().GetRenderState(RenderStateId::AlphaFunc), uint32_t(pf::CmpGreaterEqual));
    EXPECT_EQ(Device().GetRenderState(RenderStateId::CullMode), uint32_t(pf::CullNone));
    EXPECT_EQ(Device().GetRenderState(RenderStateId::SrcBlend), uint32_t(pf::BlendSrcAlpha));
    EXPECT_EQ(Device().GetTextureStageState(0, StageStateId::AddressU), uint32_t(pf::AddressClamp));
    EXPECT_EQ(Device().GetTextureStageState(0, StageStateId::MagFilter), uint32_t(pf::SampleLinear));
    // The brightness in force is written in full, whatever came before.
    EXPECT_EQ(Device().CallsStartingWith("SetRenderState TextureFactor").size(), 1u);
    EXPECT_EQ(Device().GetTextureStageState(1, StageStateId::ColorOp), uint32_t(pf::TopAdd));
    // And one empty frame is shown.
    EXPECT_EQ(Device().CallsStartingWith("Present").size(), 1u);
}

TEST_F(DisplayTest, TransparentPixelsAreNeverWritten) {
    Start();
    pf::SurfacePtr clear = SolidSurface(4, 4, 0x00FFFFFFu);
    Frame([&] {
        display->SetBlendMode(pf::BlendMode::Disable);
        pf::Rect dst(0, 0, 4, 4);
        clear->Draw(display.get(), nullptr, &dst);
    });
    EXPECT_EQ(Target().Pixel(1, 1), 0xFF000000u);
}

}  // namespace
}  // namespace displaytest
