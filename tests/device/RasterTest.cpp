// The rasteriser through the device: coverage, sampling, stages, blending, clipping.
#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

std::vector<uint32_t> RandomTexels(int n, std::mt19937& rng, bool opaque) {
    std::vector<uint32_t> t(static_cast<size_t>(n));
    for (auto& c : t) c = rng() | (opaque ? 0xFF000000u : 0u);
    return t;
}

class BlitTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(BlitTest, OneToOneBlitIsExact) {
    Rig rig(16, 12);
    SetDisplayStates(rig.d(), GetParam());
    SetBlend(rig.d(), false);
    rig.d().Clear(0xFF102030u);
    std::mt19937 rng(7);
    const int tw = 7, th = 5;
    const auto texels = RandomTexels(tw * th, rng, true);
    auto tex = MakeTexture(rig.d(), tw, th, texels);
    rig.d().SetTexture(0, tex.get());
    ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(3, 4, tw, th, 0, 0, tw, th, tw, th)), DeviceResult::Ok);
    const auto px = rig.Pixels();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 3 + tw && y >= 4 && y < 4 + th;
            const uint32_t want = inside ? texels[size_t(y - 4) * tw + (x - 3)] : 0xFF102030u;
            ASSERT_EQ(px[size_t(y) * 16 + x], want) << "pixel " << x << ", " << y;
        }
}

TEST_P(BlitTest, SubRectangleOfANonPowerOfTwoTextureIsExact) {
    Rig rig(16, 16);
    SetDisplayStates(rig.d(), GetParam());
    std::mt19937 rng(3);
    const int tw = 13, th = 11;
    const auto texels = RandomTexels(tw * th, rng, true);
    auto tex = MakeTexture(rig.d(), tw, th, texels);
    rig.d().SetTexture(0, tex.get());
    DrawQuad(rig.d(), MakeQuad(1, 2, 5, 4, 6, 3, 5, 4, tw, th));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(rig.Pixel(1 + x, 2 + y), texels[size_t(3 + y) * tw + 6 + x]) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Filters, BlitTest, ::testing::Values(SamplePoint, SampleLinear));

TEST(Bilinear, HalfAndQuarterTexelPositions) {
    Rig rig(8, 4);
    SetDisplayStates(rig.d(), SampleLinear);
    SetBlend(rig.d(), false);
    const uint32_t a = 0xFF000000u, b = 0xFFFFFFFFu, c = 0xFF804020u, e = 0xFF00FF00u;
    auto tex = MakeTexture(rig.d(), 4, 1, {a, b, c, e});
    rig.d().SetTexture(0, tex.get());
    // Texel coordinates shifted by half a texel: each pixel samples halfway between two texels.
    DrawQuad(rig.d(), MakeQuad(0, 0, 3, 1, 0.5f, 0, 3, 1, 4, 1));
    EXPECT_TRUE(Near(rig.Pixel(0, 0), 0xFF7F7F7Fu));
    EXPECT_TRUE(Near(rig.Pixel(1, 0), 0xFFBF9F8Fu));
    EXPECT_TRUE(Near(rig.Pixel(2, 0), 0xFF409F10u));
    // Two texels stretched over four pixels: the edges clamp, the middle mixes 3:1.
    auto two = MakeTexture(rig.d(), 2, 1, {0xFF000000u, 0xFFFFFFFFu});
    rig.d().SetTexture(0, two.get());
    DrawQuad(rig.d(), MakeQuad(0, 1, 4, 1, 0, 0, 2, 1, 2, 1));
    EXPECT_EQ(rig.Pixel(0, 1), 0xFF000000u);
    EXPECT_TRUE(Near(rig.Pixel(1, 1), 0xFF404040u));
    EXPECT_TRUE(Near(rig.Pixel(2, 1), 0xFFBFBFBFu));
    EXPECT_EQ(rig.Pixel(3, 1), 0xFFFFFFFFu);
}

TEST(Sampling, ClampAtTheEdges) {
    for (uint32_t filter : {SamplePoint, SampleLinear}) {
        Rig rig(12, 12);
        SetDisplayStates(rig.d(), filter);
        SetBlend(rig.d(), false);
        const uint32_t t00 = 0xFFFF0000u, t10 = 0xFF00FF00u, t01 = 0xFF0000FFu, t11 = 0xFFFFFF00u;
        auto tex = MakeTexture(rig.d(), 2, 2, {t00, t10, t01, t11});
        rig.d().SetTexture(0, tex.get());
        // u and v run from -1 to 2: the outer thirds read the edge texels.
        DrawQuad(rig.d(), MakeQuad(0, 0, 12, 12, -2, -2, 6, 6, 2, 2));
        EXPECT_EQ(rig.Pixel(0, 0), t00) << filter;
        EXPECT_EQ(rig.Pixel(11, 0), t10) << filter;
        EXPECT_EQ(rig.Pixel(0, 11), t01) << filter;
        EXPECT_EQ(rig.Pixel(11, 11), t11) << filter;
        EXPECT_EQ(rig.Pixel(2, 9), t01) << filter;
    }
}

// Whether the pixel centre (x, y) lies inside the convex polygon (clockwise on screen).
bool Inside(const std::vector<std::pair<double, double>>& poly, double x, double y) {
    for (size_t i = 0; i < poly.size(); ++i) {
        const auto& a = poly[i];
        const auto& b = poly[(i + 1) % poly.size()];
        if ((b.first - a.first) * (y - a.second) - (b.second - a.second) * (x - a.first) < 0) return false;
    }
    return true;
}

TEST(Coverage, TrianglesSharingEdgesAddOnceWithNoSeam) {
    Rig rig(24, 24);
    SetDiffuseOnly(rig.d());
    SetBlend(rig.d(), true, BlendOne, BlendOne);
    rig.d().Clear(0xFF000000u);
    // A rotated quad as two triangles sharing the diagonal, and a fan of eight triangles
    // around an inner point: each covered pixel gets the 50% grey exactly once.
    const uint32_t half = 0x80808080u;
    const std::vector<std::pair<double, double>> quad = {{2.3, 1.1}, {13.7, 3.4}, {11.2, 14.9}, {0.6, 12.2}};
    DeviceVertex q[6];
    const int order[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i)
        q[i] = DeviceVertex{float(quad[size_t(order[i])].first + 0.5), float(quad[size_t(order[i])].second + 0.5), 0, half, 0, 0};
    ASSERT_EQ(rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 2, q), DeviceResult::Ok);

    std::vector<std::pair<double, double>> ring;
    for (int i = 0; i < 8; ++i)
        ring.emplace_back(18.0 + 5.3 * std::cos(i * 0.785398 + 0.1), 17.0 + 5.3 * std::sin(i * 0.785398 + 0.1));
    std::vector<DeviceVertex> fan;
    for (int i = 0; i < 8; ++i) {
        const auto& a = ring[size_t(i)];
        const auto& b = ring[size_t((i + 1) % 8)];
        fan.push_back(DeviceVertex{18.23f + 0.5f, 16.91f + 0.5f, 0, half, 0, 0});
        fan.push_back(DeviceVertex{float(a.first + 0.5), float(a.second + 0.5), 0, half, 0, 0});
        fan.push_back(DeviceVertex{float(b.first + 0.5), float(b.second + 0.5), 0, half, 0, 0});
    }
    ASSERT_EQ(rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 8, fan.data()), DeviceResult::Ok);

    const auto px = rig.Pixels();
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const bool in = Inside(quad, x, y) || Inside(ring, x, y);
            EXPECT_EQ(px[size_t(y) * 24 + x], in ? 0xFF808080u : 0xFF000000u) << x << "," << y;
        }
}

TEST(Coverage, TopLeftRuleOnPixelCentres) {
    Rig rig(8, 8);
    SetDiffuseOnly(rig.d());
    SetBlend(rig.d(), false);
    rig.d().Clear(0);
    // Screen corners exactly on pixel centres (game x - 0.5): (1,1)-(4,3) covers columns
    // 1..3 and rows 1..2: the left and top edges in, the right and bottom edges out.
    DrawQuad(rig.d(), MakeQuad(1.5f, 1.5f, 3, 2, 0, 0, 1, 1, 1, 1, 0xFF00FF00u));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(rig.Pixel(x, y), (x >= 1 && x <= 3 && y >= 1 && y <= 2) ? 0xFF00FF00u : 0u) << x << "," << y;
}

// A strip quad (filled row by row whole) covers exactly the pixels of its two triangles
// drawn as a list, each once.
TEST(Coverage, StripQuadsCoverWhatTheirTwoTrianglesCover) {
    std::mt19937 rng(99);
    for (int round = 0; round < 40; ++round) {
        const float angle = float(rng() % 628) / 100.0f, sx = 0.3f + float(rng() % 300) / 100.0f;
        const float ox = float(rng() % 1000) / 100.0f, oy = float(rng() % 1000) / 100.0f;
        MatrixT world = MatrixT::MakeTranslation(VectorT3(-3.3f, -2.1f, 0)) *
                        MatrixT::MakeScaling(VectorT3(sx, 1.7f, 1)) * MatrixT().RotationZ(angle) *
                        MatrixT::MakeTranslation(VectorT3(6 + ox, 6 + oy, 0));
        const Quad q = MakeQuad(0, 0, 6.6f, 4.2f, 0, 0, 1, 1, 1, 1, 0x80808080u);
        const DeviceVertex list[6] = {q.v[0], q.v[1], q.v[2], q.v[2], q.v[1], q.v[3]};
        std::vector<uint32_t> got[2];
        for (int asList = 0; asList < 2; ++asList) {
            Rig rig(24, 24);
            SetDiffuseOnly(rig.d());
            SetBlend(rig.d(), true, BlendOne, BlendOne);
            rig.d().Clear(0xFF000000u);
            rig.d().SetTransform(TransformId::World, world);
            if (asList) rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 2, list);
            else DrawQuad(rig.d(), q);
            got[asList] = rig.Pixels();
        }
        ASSERT_EQ(got[0], got[1]) << "round " << round;
        ASSERT_EQ(std::count(got[0].begin(), got[0].end(), 0xFF000000u) +
                      std::count(got[0].begin(), got[0].end(), 0xFF808080u),
                  24 * 24);
    }
}

TEST(AlphaTest, AlphaZeroTexelsAreNotWrittenEvenWithAdd) {
    Rig rig(4, 1);
    SetBlend(rig.d(), true, BlendOne, BlendOne);
    rig.d().Clear(0xFF202020u);
    auto tex = MakeTexture(rig.d(), 4, 1, {0x00FFFFFFu, 0x01101010u, 0x00808080u, 0xFF101010u});
    rig.d().SetTexture(0, tex.get());
    DrawQuad(rig.d(), MakeQuad(0, 0, 4, 1, 0, 0, 4, 1, 4, 1));
    EXPECT_EQ(rig.Pixel(0, 0), 0xFF202020u);
    EXPECT_EQ(rig.Pixel(1, 0), 0xFF303030u);
    EXPECT_EQ(rig.Pixel(2, 0), 0xFF202020u);
    EXPECT_EQ(rig.Pixel(3, 0), 0xFF303030u);
}

// The blend result by the factor definitions, in doubles.
uint32_t ExpectedBlend(uint32_t sf, uint32_t df, uint32_t s, uint32_t d) {
    auto factor = [&](uint32_t f, int sh) -> double {
        const double sc = ((s >> sh) & 255) / 255.0, dc = ((d >> sh) & 255) / 255.0;
        const double sa = (s >> 24) / 255.0, da = (d >> 24) / 255.0;
        switch (f) {
            case BlendZero: return 0;
            case BlendOne: return 1;
            case BlendSrcColor: return sc;
            case BlendInvSrcColor: return 1 - sc;
            case BlendSrcAlpha: return sa;
            case BlendInvSrcAlpha: return 1 - sa;
            case BlendDestAlpha: return da;
            case BlendInvDestAlpha: return 1 - da;
            case BlendDestColor: return dc;
            case BlendInvDestColor: return 1 - dc;
            case BlendSrcAlphaSat: return sh == 24 ? 1 : std::min(sa, 1 - da);
        }
        return 0;
    };
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        const double v = ((s >> sh) & 255) * factor(sf, sh) + ((d >> sh) & 255) * factor(df, sh);
        out |= uint32_t(std::lround(std::min(255.0, v))) << sh;
    }
    return out;
}

TEST(Blend, EveryFactorPairFollowsTheFactorDefinitions) {
    const uint32_t src = 0x9Fc03a71u, dst = 0x5A2080F0u;
    for (uint32_t sf = BlendZero; sf <= BlendSrcAlphaSat; ++sf)
        for (uint32_t df = BlendZero; df <= BlendSrcAlphaSat; ++df)
            for (bool generic : {false, true}) {
                Rig rig(2, 1);
                rig.d().SetForceGenericSpans(generic);
                auto tex = MakeTexture(rig.d(), 1, 1, {src});
                rig.d().SetTexture(0, tex.get());
                rig.d().Clear(dst);
                SetBlend(rig.d(), true, sf, df);
                DrawQuad(rig.d(), MakeQuad(0, 0, 1, 1, 0, 0, 1, 1, 1, 1));
                EXPECT_TRUE(Near(rig.Pixel(0, 0), ExpectedBlend(sf, df, src, dst)))
                    << "src factor " << sf << " dest factor " << df << (generic ? " generic" : "");
                EXPECT_EQ(rig.Pixel(1, 0), dst);
            }
}

TEST(Stages, BrightnessAddsTheTextureFactorSaturatingAndLeavesAlpha) {
    Rig rig(3, 1);
    SetBlend(rig.d(), false);
    auto tex = MakeTexture(rig.d(), 3, 1, {0x80C86432u, 0xFF000000u, 0x10F0F0F0u});
    rig.d().SetTexture(0, tex.get());
    rig.d().SetRenderState(RenderStateId::TextureFactor, 0x00406080u);
    rig.d().SetTextureStageState(1, StageStateId::ColorOp, TopAdd);
    rig.d().SetTextureStageState(1, StageStateId::ColorArg1, ArgCurrent);
    rig.d().SetTextureStageState(1, StageStateId::ColorArg2, ArgTFactor);
    rig.d().SetTextureStageState(1, StageStateId::AlphaOp, TopDisable);
    // Half-transparent vertex colour: the stage-0 modulate halves alpha, brightness keeps it.
    DrawQuad(rig.d(), MakeQuad(0, 0, 3, 1, 0, 0, 3, 1, 3, 1, 0x80FFFFFFu));
    EXPECT_EQ(rig.Pixel(0, 0), 0x40FFC4B2u);
    EXPECT_EQ(rig.Pixel(1, 0), 0x80406080u);
    EXPECT_EQ(rig.Pixel(2, 0), 0x08FFFFFFu);
}

TEST(Stages, SelectDiffuseIgnoresTheTextureAndModulateMixesGouraudColour) {
    Rig rig(4, 1);
    SetBlend(rig.d(), false);
    auto tex = MakeTexture(rig.d(), 1, 1, {0xFF808080u});
    rig.d().SetTexture(0, tex.get());
    Quad q = MakeQuad(0, 0, 4, 1, 0, 0, 1, 1, 1, 1);
    q.v[0].color = q.v[2].color = 0xFFFF0000u;  // red on the left, blue on the right
    q.v[1].color = q.v[3].color = 0xFF0000FFu;
    DrawQuad(rig.d(), q);
    EXPECT_TRUE(Near(rig.Pixel(0, 0), 0xFF700010u, 2));
    EXPECT_TRUE(Near(rig.Pixel(3, 0), 0xFF100070u, 2));
    SetDiffuseOnly(rig.d());
    rig.d().SetTexture(0, tex.get());
    DrawQuad(rig.d(), q);
    EXPECT_TRUE(Near(rig.Pixel(0, 0), 0xFFE0001Fu, 2));
}

TEST(Clipping, DrawingStaysInsideTheViewportAndClearToo) {
    Rig rig(16, 16);
    SetDiffuseOnly(rig.d());
    SetBlend(rig.d(), false);
    rig.d().Clear(0xFF000000u);
    SetGameView(rig.d(), 4, 5, 6, 3);
    EXPECT_EQ(rig.d().Clear(0xFF0000FFu), DeviceResult::Ok);
    auto px = rig.Pixels();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(px[size_t(y) * 16 + x], (x >= 4 && x < 10 && y >= 5 && y < 8) ? 0xFF0000FFu : 0xFF000000u)
                << x << "," << y;
    // A quad far larger than the viewport fills exactly the viewport; game (4, 5) is its corner.
    DrawQuad(rig.d(), MakeQuad(-50, -50, 200, 200, 0, 0, 1, 1, 1, 1, 0xFFFF0000u));
    px = rig.Pixels();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(px[size_t(y) * 16 + x], (x >= 4 && x < 10 && y >= 5 && y < 8) ? 0xFFFF0000u : 0xFF000000u);
    DrawQuad(rig.d(), MakeQuad(4, 5, 1, 1, 0, 0, 1, 1, 1, 1, 0xFF00FF00u));
    EXPECT_EQ(rig.Pixel(4, 5), 0xFF00FF00u);
    EXPECT_EQ(rig.Pixel(5, 5), 0xFFFF0000u);
}

TEST(Clipping, GeometryFarOutsideAndDegenerateDrawsNothing) {
    Rig rig(8, 8);
    SetDiffuseOnly(rig.d());
    rig.d().Clear(0);
    DrawQuad(rig.d(), MakeQuad(1e9f, 1e9f, 5, 5, 0, 0, 1, 1, 1, 1, 0xFFFFFFFFu));
    DrawQuad(rig.d(), MakeQuad(2, 2, 0, 5, 0, 0, 1, 1, 1, 1, 0xFFFFFFFFu));
    DrawQuad(rig.d(), MakeQuad(NAN, 2, 3, 5, 0, 0, 1, 1, 1, 1, 0xFFFFFFFFu));
    for (uint32_t p : rig.Pixels()) ASSERT_EQ(p, 0u);
}

TEST(Culling, CounterClockwiseTrianglesAreCulledByDefaultOnly) {
    Rig rig(8, 8);
    SetDiffuseOnly(rig.d());
    rig.d().Clear(0);
    const DeviceVertex ccw[3] = {{1, 1, 0, 0xFFFFFFFFu, 0, 0}, {1, 7, 0, 0xFFFFFFFFu, 0, 0}, {7, 1, 0, 0xFFFFFFFFu, 0, 0}};
    rig.d().SetRenderState(RenderStateId::CullMode, CullCounterClockwise);
    rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 1, ccw);
    EXPECT_EQ(rig.Pixel(2, 2), 0u);
    rig.d().SetRenderState(RenderStateId::CullMode, CullClockwise);
    rig.d().DrawPrimitiveUP(PrimitiveKind::TriangleList, 1, ccw);
    EXPECT_EQ(rig.Pixel(2, 2), 0xFFFFFFFFu);
}

TEST(Lines, LineListDrawsEachPixelButTheLast) {
    Rig rig(8, 8);
    SetDiffuseOnly(rig.d());
    rig.d().Clear(0);
    const DeviceVertex line[4] = {{1, 2, 0, 0xFFFF0000u, 0, 0}, {6, 2, 0, 0xFFFF0000u, 0, 0},
                                  {3, 3, 0, 0xFF00FF00u, 0, 0}, {3, 7, 0, 0xFF00FF00u, 0, 0}};
    ASSERT_EQ(rig.d().DrawPrimitiveUP(PrimitiveKind::LineList, 2, line), DeviceResult::Ok);
    const auto px = rig.Pixels();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t want = 0;
            if (y == 2 && x >= 1 && x < 6) want = 0xFFFF0000u;
            if (x == 3 && y >= 3 && y < 7) want = 0xFF00FF00u;
            EXPECT_EQ(px[size_t(y) * 8 + x], want) << x << "," << y;
        }
}

// Stage 1 adds the texture factor's colour, as the display's brightness does.
void SetBrightness(RenderDevice& d, uint32_t factor) {
    d.SetRenderState(RenderStateId::TextureFactor, factor);
    d.SetTextureStageState(1, StageStateId::ColorOp, TopAdd);
    d.SetTextureStageState(1, StageStateId::ColorArg1, ArgCurrent);
    d.SetTextureStageState(1, StageStateId::ColorArg2, ArgTFactor);
    d.SetTextureStageState(1, StageStateId::AlphaOp, TopDisable);
}

// The specialised loops give exactly what the generic loop gives, over random states,
// colours and rotated, scaled quads: small textures under either filter, and larger ones
// under bilinear filtering (the four-pixels-at-a-time fetch, as the fog and the
// shimmering plates are drawn) with texture coordinates reaching past the edges.
TEST(FastPaths, MatchTheGenericLoop) {
    struct Case {
        const char* name;
        int rounds, target, maxTexture;
        bool alwaysLinear;
        bool wide;  // the eight-pixel (wide vectors) or the four-pixel bilinear fetch
    };
    const Case cases[] = {{"small textures", 120, 20, 0, false, true},
                          {"bilinear, larger textures", 150, 64, 40, true, true},
                          {"small textures, narrow vectors", 120, 20, 0, false, false},
                          {"bilinear, larger textures, narrow vectors", 150, 64, 40, true, false}};
    std::mt19937 rng(12345);
    const uint32_t blends[][2] = {{BlendSrcAlpha, BlendInvSrcAlpha}, {BlendOne, BlendOne},
                                  {BlendSrcAlpha, BlendOne}, {BlendOne, BlendZero},
                                  {BlendDestColor, BlendZero}, {BlendInvDestAlpha, BlendSrcColor}};
    int drawn = 0;
    for (const Case& c : cases)
        for (int round = 0; round < c.rounds; ++round) {
            UseWideVectorSpans(c.wide);
            const uint32_t filter = c.alwaysLinear || rng() % 2 ? SampleLinear : SamplePoint;
            const int blend = int(rng() % 7);
            const bool bright = rng() % 2, gouraud = rng() % 2, untextured = !c.alwaysLinear && rng() % 4 == 0;
            const uint32_t flat = rng() % 3 == 0 ? 0xFFFFFFFFu : rng();
            const uint32_t factor = rng() & 0x00FFFFFFu;
            const float angle = float(rng() % 628) / 100.0f, scale = 0.5f + float(rng() % 200) / 100.0f;
            const int tw = c.maxTexture ? 2 + int(rng() % uint32_t(c.maxTexture)) : 9;
            const int th = c.maxTexture ? 2 + int(rng() % uint32_t(c.maxTexture)) : 7;
            const auto texels = RandomTexels(tw * th, rng, false);
            // Bilinear cases: from a little before the texture to a little past it (clamping).
            const bool edges = c.alwaysLinear && rng() % 2;
            const float s0 = edges ? -2.5f : 0.0f, sw = edges ? float(tw) + 5.5f : float(tw);
            const float sh = edges ? float(th) + 5.5f : float(th);
            uint32_t corner[4];
            for (auto& k : corner) k = rng();
            std::vector<uint32_t> results[2];
            for (int generic = 0; generic < 2; ++generic) {
                Rig rig(c.target, c.target);
                rig.d().SetForceGenericSpans(generic == 1);
                SetDisplayStates(rig.d(), filter);
                if (blend < 6) SetBlend(rig.d(), true, blends[blend][0], blends[blend][1]);
                else SetBlend(rig.d(), false);
                if (bright) SetBrightness(rig.d(), factor);
                rig.d().Clear(0x80406080u);
                auto tex = MakeTexture(rig.d(), tw, th, texels);
                if (untextured) SetDiffuseOnly(rig.d());
                else rig.d().SetTexture(0, tex.get());
                MatrixT world = MatrixT::MakeTranslation(VectorT3(-tw / 2.0f, -th / 2.0f, 0)) *
                                MatrixT::MakeScaling(VectorT3(scale, scale * 1.3f, 1));
                const float centre = c.target / 2.0f;
                world = world * MatrixT().RotationZ(angle) * MatrixT::MakeTranslation(VectorT3(centre + 0.2f, centre - 0.3f, 0));
                rig.d().SetTransform(TransformId::World, world);
                Quad q = MakeQuad(0, 0, float(tw), float(th), s0, s0, sw, sh, float(tw), float(th), flat);
                if (gouraud)
                    for (int i = 0; i < 4; ++i) q.v[i].color = corner[i];
                DrawQuad(rig.d(), q);
                results[generic] = rig.Pixels();
            }
            drawn += std::count(results[0].begin(), results[0].end(), 0x80406080u) < c.target * c.target;
            ASSERT_EQ(results[0], results[1]) << c.name << ", round " << round;
        }
    UseWideVectorSpans(true);
    // Some random states draw nothing (a colour of alpha 0 under the alpha test); most draw.
    EXPECT_GT(drawn, 480);
}

// Texels in runs of one kind (transparent, opaque, translucent), as sprites have them,
// so that the block shortcuts for wholly transparent and wholly opaque pixels are taken.
std::vector<uint32_t> SpriteTexels(int n, std::mt19937& rng, bool opaque) {
    std::vector<uint32_t> t(static_cast<size_t>(n));
    for (int i = 0; i < n;) {
        const uint32_t kind = rng() % 3;
        for (int run = 1 + int(rng() % 12); run > 0 && i < n; --run, ++i) {
            const uint32_t a = opaque || kind == 1 ? 255u : kind == 0 ? 0u : rng() & 255;
            t[size_t(i)] = a << 24 | (rng() & 0x00FFFFFFu);
        }
    }
    return t;
}

// "Greater than 255" passes no alpha: an opaque texture copied unscaled with blending
// off leaves the target as it was (the block copy must not skip the test).
TEST(AlphaTest, GreaterThan255DrawsNothing) {
    for (bool blend : {false, true}) {
        Rig rig(6, 4);
        SetBlend(rig.d(), blend, BlendSrcAlpha, BlendInvSrcAlpha);
        rig.d().SetRenderState(RenderStateId::AlphaRef, 255);
        rig.d().SetRenderState(RenderStateId::AlphaFunc, CmpGreater);
        rig.d().Clear(0xFF102030u);
        std::mt19937 rng(5);
        auto tex = MakeTexture(rig.d(), 6, 4, RandomTexels(24, rng, true));
        rig.d().SetTexture(0, tex.get());
        ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 6, 4, 0, 0, 6, 4, 6, 4)), DeviceResult::Ok);
        for (uint32_t px : rig.Pixels()) ASSERT_EQ(px, 0xFF102030u) << (blend ? "blending" : "no blending");
    }
}

// Alpha "greater or equal 4" keeps texels of alpha 3 out and lets alpha 4 in, in the
// four- and eight-pixel blend loops as in the single-pixel one.
TEST(AlphaTest, ReferenceIsTheFirstAlphaThatPasses) {
    for (bool wide : {true, false}) {
        UseWideVectorSpans(wide);
        Rig rig(12, 1);
        rig.d().SetRenderState(RenderStateId::AlphaRef, 4);
        rig.d().Clear(0xFF000000u);
        std::vector<uint32_t> texels(12);
        for (int x = 0; x < 12; ++x) texels[size_t(x)] = (x % 2 ? 4u : 3u) << 24 | 0x00FFFFFFu;
        auto tex = MakeTexture(rig.d(), 12, 1, texels);
        rig.d().SetTexture(0, tex.get());
        ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 12, 1, 0, 0, 12, 1, 12, 1)), DeviceResult::Ok);
        const auto px = rig.Pixels();
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(px[size_t(x)], x % 2 ? 0xFB040404u : 0xFF000000u) << "pixel " << x << (wide ? " wide" : " narrow");
    }
    UseWideVectorSpans(true);
}

// Alpha blending rounds once, (s x a + d x (255 - a)) / 255, for every source alpha and
// colour over targets of several colours, in the wide and the narrow loops.
TEST(Blend, EveryAlphaAndColourRoundsOnce) {
    std::vector<uint32_t> texels(256 * 256);
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c) texels[a * 256 + c] = Argb(a, c, 255 - c, c ^ 0x5A);
    for (bool wide : {true, false}) {
        UseWideVectorSpans(wide);
        for (uint32_t d : {0x00000000u, 0xFFFFFFFFu, 0x7F80FE01u, 0x80017F00u, 0xC3A5195Eu}) {
            Rig rig(256, 256);
            auto tex = MakeTexture(rig.d(), 256, 256, texels);
            rig.d().SetTexture(0, tex.get());
            rig.d().Clear(d);
            ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(0, 0, 256, 256, 0, 0, 256, 256, 256, 256)), DeviceResult::Ok);
            const auto px = rig.Pixels();
            for (size_t i = 0; i < px.size(); ++i) {
                const uint32_t sc = texels[i], a = sc >> 24;
                uint32_t want = d;
                if (a > 0) {
                    want = 0;
                    for (int sh = 0; sh < 32; sh += 8)
                        want |= ((((sc >> sh) & 255) * a + ((d >> sh) & 255) * (255 - a) + 127) / 255) << sh;
                }
                ASSERT_EQ(px[i], want) << std::hex << "source 0x" << sc << " over 0x" << d << (wide ? " wide" : " narrow");
            }
        }
    }
    UseWideVectorSpans(true);
}

// Unrotated sprites (the rectangle path, the opaque and transparent shortcuts, the
// wide-vector blend) give exactly what the edge walk and the generic loop give: random
// positions on and off the target, sub-pixel offsets, scaling and mirroring, opaque and
// translucent textures and colours, and the blend and alpha-test states the display
// uses, on targets with and without alpha.
class UnrotatedSprites : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { UseWideVectorSpans(GetParam()); }
    void TearDown() override { UseWideVectorSpans(true); }
};

TEST_P(UnrotatedSprites, MatchTheGeneralPath) {
    std::mt19937 rng(777);
    const uint32_t blends[][2] = {{BlendSrcAlpha, BlendInvSrcAlpha}, {BlendSrcAlpha, BlendInvSrcAlpha},
                                  {BlendOne, BlendOne}, {BlendSrcAlpha, BlendOne}, {BlendOne, BlendZero}};
    const float offsets[] = {0.0f, 0.0f, 0.25f, 0.5f, -0.5f, 0.75f, 0.3f};
    for (int round = 0; round < 1000; ++round) {
        const DeviceFormat target = rng() % 3 == 0 ? DeviceFormat::X8R8G8B8 : DeviceFormat::A8R8G8B8;
        const uint32_t filter = rng() % 4 == 0 ? SampleLinear : SamplePoint;
        const int blend = int(rng() % 6);
        const int alphaTest = int(rng() % 5);  // 0-1 the display's >= 1, 2 off, 3 > ref, 4 >= ref
        const uint32_t ref = rng() % 4 == 0 ? 255u : rng() & 255;
        const bool bright = rng() % 3 == 0, untextured = rng() % 8 == 0, opaque = rng() % 3 == 0;
        const uint32_t factor = rng() & 0x00FFFFFFu, background = rng();
        const int tw = 1 + int(rng() % 24), th = 1 + int(rng() % 20);
        const auto texels = SpriteTexels(tw * th, rng, opaque);
        struct Sprite {
            Quad q;
        };
        std::vector<Sprite> sprites;
        for (int k = 0; k < 3; ++k) {
            const uint32_t pick = rng() % 4;
            const uint32_t color = pick < 2 ? 0xFFFFFFFFu : pick == 2 ? (rng() | 0xFF000000u) : rng();
            // The whole texture or a part of it, unscaled (texel for pixel) or scaled.
            const bool whole = rng() % 2 == 0, scaled = rng() % 3 == 0;
            const int sx = whole ? 0 : int(rng() % uint32_t(tw)), sy = whole ? 0 : int(rng() % uint32_t(th));
            const int sw = whole ? tw : 1 + int(rng() % uint32_t(tw - sx)), sh = whole ? th : 1 + int(rng() % uint32_t(th - sy));
            float w = scaled ? float(1 + rng() % 40) : float(sw), h = scaled ? float(1 + rng() % 30) : float(sh);
            if (rng() % 6 == 0) w = -w;
            if (rng() % 8 == 0) h = -h;
            const float x = float(int(rng() % 60) - 12) + offsets[rng() % 7];
            const float y = float(int(rng() % 44) - 8) + offsets[rng() % 7];
            sprites.push_back({MakeQuad(x, y, w, h, float(sx), float(sy), float(sw), float(sh), float(tw), float(th), color)});
        }
        std::vector<uint32_t> results[2];
        for (int generic = 0; generic < 2; ++generic) {
            Rig rig(44, 30, target);
            rig.d().SetForceGenericSpans(generic == 1);
            SetDisplayStates(rig.d(), filter);
            if (blend < 5) SetBlend(rig.d(), true, blends[blend][0], blends[blend][1]);
            else SetBlend(rig.d(), false);
            if (alphaTest == 2) rig.d().SetRenderState(RenderStateId::AlphaTestEnable, 0);
            if (alphaTest >= 3) {
                rig.d().SetRenderState(RenderStateId::AlphaRef, ref);
                rig.d().SetRenderState(RenderStateId::AlphaFunc, alphaTest == 3 ? CmpGreater : CmpGreaterEqual);
            }
            if (bright) SetBrightness(rig.d(), factor);
            rig.d().Clear(background);
            auto tex = MakeTexture(rig.d(), tw, th, texels);
            if (untextured) SetDiffuseOnly(rig.d());
            else rig.d().SetTexture(0, tex.get());
            for (const Sprite& sp : sprites) ASSERT_EQ(DrawQuad(rig.d(), sp.q), DeviceResult::Ok);
            results[generic] = rig.Pixels();
        }
        ASSERT_EQ(results[0], results[1]) << "round " << round;
    }
}
INSTANTIATE_TEST_SUITE_P(FastPaths, UnrotatedSprites, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "WideVectors" : "NarrowVectors"; });

// Bilinear filtering of a sprite drawn texel for pixel (whole positions, unscaled,
// possibly mirrored) takes the point-sampling loops: the pixels are those of the
// bilinear reference loop and of point sampling, byte for byte, for each blend mode the
// display uses, flat and Gouraud colours. Sprites half a pixel off or scaled are
// filtered for real and still match the reference.
TEST(FastPaths, OneToOneBilinearIsPointSamplingExactly) {
    std::mt19937 rng(4242);
    const uint32_t blends[][2] = {{BlendSrcAlpha, BlendInvSrcAlpha}, {BlendOne, BlendOne},
                                  {BlendSrcAlpha, BlendOne}, {BlendOne, BlendZero}};
    struct Case {
        const char* name;
        float dx, w, h;  // offset of the sprite, drawn size as a multiple of the source
        bool oneToOne;
        float source = 0;  // where the source rectangle starts, in texels (clamped outside)
    };
    const Case cases[] = {{"unscaled", 0.0f, 1, 1, true},       {"mirrored", 0.0f, -1, 1, true},
                          {"flipped", 0.0f, 1, -1, true},       {"half a pixel off", 0.5f, 1, 1, false},
                          {"stretched", 0.0f, 2, 1, false},     {"shrunk", 0.0f, 0.5f, 0.5f, false},
                          {"shrunk and mirrored", 0.0f, -0.5f, 0.5f, false},
                          {"far outside the texture", 0.0f, 1, 1, true, -5000.0f},
                          {"partly outside, mirrored", 0.0f, -1, -1, true, -3.0f}};
    for (const Case& c : cases)
        for (int round = 0; round < 40; ++round) {
            const int blend = int(rng() % 5);
            const bool gouraud = rng() % 3 == 0, opaque = rng() % 4 == 0, bright = rng() % 4 == 0;
            const int tw = 1 + int(rng() % 70), th = 1 + int(rng() % 40);
            const auto texels = SpriteTexels(tw * th, rng, opaque);
            const uint32_t factor = rng() & 0x00FFFFFFu, background = rng() | 0xFF000000u;
            const float x = float(int(rng() % 80) - 10) + c.dx, y = float(int(rng() % 50) - 10);
            Quad q = MakeQuad(x, y, float(tw) * c.w, float(th) * c.h, c.source, c.source, float(tw), float(th), float(tw),
                              float(th), rng() % 2 ? 0xFFFFFFFFu : rng());
            if (gouraud)
                for (auto& v : q.v) v.color = rng();
            // 0 as the game draws it, 1 the bilinear reference loop, 2 point sampling.
            std::vector<uint32_t> results[3];
            for (int run = 0; run < 3; ++run) {
                Rig rig(90, 60);
                rig.d().SetForceGenericSpans(run == 1);
                SetDisplayStates(rig.d(), run == 2 ? SamplePoint : SampleLinear);
                if (blend < 4) SetBlend(rig.d(), true, blends[blend][0], blends[blend][1]);
                else SetBlend(rig.d(), false);
                if (bright) SetBrightness(rig.d(), factor);
                rig.d().Clear(background);
                auto tex = MakeTexture(rig.d(), tw, th, texels);
                rig.d().SetTexture(0, tex.get());
                ASSERT_EQ(DrawQuad(rig.d(), q), DeviceResult::Ok);
                results[run] = rig.Pixels();
            }
            ASSERT_EQ(results[0], results[1]) << c.name << ", round " << round;
            if (c.oneToOne) {
                ASSERT_EQ(results[0], results[2]) << c.name << ", round " << round;
            }
        }
}

// The widest back buffer with a quad stepping 2^17 texels a pixel: the texel coordinates
// run past 2^31 texels (and, stepping backwards, below -2^31), where 32-bit texel indices
// overflow. Every pixel lies beyond the texture's edge and shows the edge texel, in every
// loop: point and bilinear, the specialised loops with wide and narrow vectors, and the
// generic one. The forward quad starts where a bilinear index reaches 2^31 - 1 exactly.
TEST(Sampling, CoordinatesPastTwoToThe31ClampToTheEdge) {
    constexpr int kWide = 16384;
    constexpr float kSpan = float(int64_t(1) << 31);  // texels across the quad
    const uint32_t t00 = 0xFFFF0000u, t10 = 0xFF00FF00u, t01 = 0xFF0000FFu, t11 = 0xFFFFFF00u;
    struct Case {
        const char* name;
        bool alongV, backwards;
        uint32_t want;
    };
    const Case cases[] = {{"u forwards", false, false, t10},
                          {"u backwards", false, true, t00},
                          {"v forwards", true, false, t01},
                          {"v backwards", true, true, t00}};
    for (const Case& c : cases)
        for (uint32_t filter : {SamplePoint, SampleLinear})
            for (int loop = 0; loop < 3; ++loop) {  // 0 wide vectors, 1 narrow, 2 generic
                UseWideVectorSpans(loop == 0);
                Rig rig(kWide, 1);
                rig.d().SetForceGenericSpans(loop == 2);
                SetDisplayStates(rig.d(), filter);
                SetBlend(rig.d(), false);
                rig.d().Clear(0xFF808080u);
                auto tex = MakeTexture(rig.d(), 2, 2, {t00, t10, t01, t11});
                rig.d().SetTexture(0, tex.get());
                // Across the quad the stepped coordinate runs from 2^16 to 2^31 + 2^16
                // texels (or down from -2^16); the other stays on the first texel's centre.
                const float from = c.backwards ? -65536.0f : 65536.0f, to = c.backwards ? from - kSpan : from + kSpan;
                Quad q = MakeQuad(0, 0, float(kWide), 1, 0, 0, 1, 1, 2, 2);
                for (int i = 0; i < 4; ++i) {
                    const float stepped = (i % 2 ? to : from) / 2, fixed = 0.25f;
                    q.v[i].u = c.alongV ? fixed : stepped;
                    q.v[i].v = c.alongV ? stepped : fixed;
                }
                ASSERT_EQ(DrawQuad(rig.d(), q), DeviceResult::Ok);
                const auto px = rig.Pixels();
                const size_t wrong = size_t(std::find_if(px.begin(), px.end(), [&](uint32_t p) { return p != c.want; }) - px.begin());
                EXPECT_EQ(wrong, px.size()) << c.name << ", filter " << filter << ", loop " << loop << ": the first wrong pixel"
                                            << std::hex << " is 0x" << (wrong < px.size() ? px[wrong] : 0);
            }
    UseWideVectorSpans(true);
}

// Steps of about 2^10 texels a pixel, just inside and just outside what the eight-pixel
// bilinear fetch takes in 32-bit lanes, from about -2^14 texels to past +2^14 (and back):
// the row crosses the texture in a few pixels and leaves the lanes' range part way, so
// some blocks take the eight-pixel fetch and the rest the four-pixel one. Every loop
// shows the generic loop's pixels, bit for bit; a quad three rows tall and not stepping
// down the texture takes the scaler of whole rows.
TEST(Sampling, StepsAtTheEdgeOfTheEightPixelFetchMatchTheGenericLoop) {
    constexpr int kTex = 4096, kWide = 64;
    std::mt19937 rng(2026);
    const auto texels = RandomTexels(kTex * 4, rng, true);
    struct Case {
        float start, step;  // texels along the stepped axis, per pixel
        bool alongV;
        int rows;
    };
    const Case cases[] = {{-16000.3f, 1023.7f, false, 1}, {-16383.9f, 1024.3f, false, 1},
                          {16380.6f, -1023.2f, false, 1}, {-12000.1f, 900.55f, false, 1},
                          {-16000.3f, 1023.7f, true, 1},  {16380.6f, -1023.99f, true, 1},
                          {-16000.3f, 1023.7f, false, 3}, {16380.6f, -1023.2f, false, 3}};
    for (const Case& c : cases)
        for (bool wide : {true, false}) {
            std::vector<uint32_t> results[2];
            for (int generic = 0; generic < 2; ++generic) {
                UseWideVectorSpans(wide);
                Rig rig(kWide, c.rows);
                rig.d().SetForceGenericSpans(generic == 1);
                SetDisplayStates(rig.d(), SampleLinear);
                SetBlend(rig.d(), false);
                rig.d().Clear(0xFF808080u);
                const int tw = c.alongV ? 4 : kTex, th = c.alongV ? kTex : 4;
                auto tex = MakeTexture(rig.d(), tw, th, texels);
                rig.d().SetTexture(0, tex.get());
                const float span = c.step * kWide, across = 1.3f;
                Quad q = c.alongV ? MakeQuad(0, 0, kWide, float(c.rows), 0, 0, 1, 1, float(tw), float(th))
                                  : MakeQuad(0, 0, kWide, float(c.rows), c.start, across, span, 0, float(tw), float(th));
                if (c.alongV)  // v runs along the row, u stays put
                    for (int i = 0; i < 4; ++i) {
                        q.v[i].u = across / float(tw);
                        q.v[i].v = (i % 2 ? c.start + span : c.start) / float(th);
                    }
                ASSERT_EQ(DrawQuad(rig.d(), q), DeviceResult::Ok);
                results[generic] = rig.Pixels();
            }
            EXPECT_EQ(results[0], results[1]) << "from " << c.start << " by " << c.step << (c.alongV ? " along v" : " along u")
                                              << ", " << c.rows << " rows" << (wide ? ", wide vectors" : ", narrow vectors");
            // The row crosses the texture: it shows more than the two edge texels.
            std::set<uint32_t> seen(results[1].begin(), results[1].end());
            EXPECT_GT(seen.size(), 3u) << "from " << c.start << " by " << c.step;
        }
    UseWideVectorSpans(true);
}

// The display's usual state combinations take the specialised loops.
TEST(FastPaths, DisplayStatesResolveToSpecialisedLoops) {
    const uint32_t texel = 0xFFFFFFFFu;
    PixelPipeline p;
    p.tex.texels = &texel;
    p.tex.width = p.tex.height = p.tex.pitch = 1;
    p.op[0][0] = p.op[0][1] = TopModulate;
    p.arg1[0][0] = p.arg1[0][1] = ArgTexture;
    p.arg2[0][0] = p.arg2[0][1] = ArgDiffuse;
    p.addressU = p.addressV = AddressClamp;
    p.alphaTest = true;
    p.alphaFunc = CmpGreaterEqual;
    p.alphaRef = 1;
    p.blend = true;
    p.srcBlend = BlendSrcAlpha;
    p.destBlend = BlendInvSrcAlpha;
    p.Resolve();
    EXPECT_TRUE(p.fast);
    EXPECT_EQ(p.blendKind, 1);
    EXPECT_EQ(p.alphaMin, 1);
    p.op[1][0] = TopAdd;
    p.arg1[1][0] = ArgCurrent;
    p.arg2[1][0] = ArgTFactor;
    p.textureFactor = 0x00102030u;
    p.Resolve();
    EXPECT_TRUE(p.fast);
    EXPECT_TRUE(p.bright);
    p.arg2[1][0] = ArgDiffuse;  // not the brightness pattern
    p.Resolve();
    EXPECT_FALSE(p.fast);
}

}  // namespace
}  // namespace devtest
