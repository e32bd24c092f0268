// One particle: life and death, curves over the life, forces and animation frames.
#include <cmath>

#include "game/Particle.h"
#include "particles/ParticleTestSupport.h"

namespace particletest {
namespace {

TEST_F(ParticleTest, DiesAtTheFourthStepOfThirtyAndItsCurvesStop) {
    ParticleDef def;
    def.lifespanBase = 100;
    def.alphaCurve.SetKey(0.0f, 1.0f);
    def.alphaCurve.SetKey(1.0f, 0.0f);
    Particle p;
    p.Init(def, 0, 0, 0, 0);
    EXPECT_EQ(p.GetLifespan(), 100);
    EXPECT_FALSE(p.Update(30));
    EXPECT_FALSE(p.Update(30));
    EXPECT_FALSE(p.Update(30));
    EXPECT_NEAR(p.GetAlphaCurve().Get(), 0.1f, 1e-5);
    EXPECT_TRUE(p.Update(30));
    EXPECT_EQ(p.GetAge(), 120);
    EXPECT_NEAR(p.GetAlphaCurve().Get(), 0.1f, 1e-5);
}

TEST_F(ParticleTest, LinearForceAcceleratesBeforeMoving) {
    ParticleDef def;
    def.lifespanBase = 1000;
    Particle p;
    p.Init(def, 10, 20, 0, 0);
    p.ApplyForce(ParticleForce{ForceLinear, 0.0f, 1000.0f});
    for (int i = 0; i < 10; ++i) p.Update(10);
    EXPECT_NEAR(p.GetParticlePosition().x, 10.0f, 1e-5);
    EXPECT_NEAR(p.GetParticlePosition().y, 20.0f + 5.5f, 1e-4);
    EXPECT_NEAR(p.GetVelocity().y, 0.1f, 1e-6);
}

TEST_F(ParticleTest, FramesAdvanceAtTheTemplateRate) {
    ParticleDef def;
    def.lifespanBase = 10000;
    def.framerate = 10;
    Particle p;
    p.Init(def, 0, 0, 0, 0);
    std::vector<int> frames;
    for (int i = 0; i < 6; ++i) {
        frames.push_back(int(p.GetFrame()));
        p.Update(100);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

// Mass 0, oscillations without period and huge numbers never yield NaN or an overflow.
TEST_F(ParticleTest, BadTemplatesNeverYieldNaN) {
    ParticleDef def;
    def.massBase = 0;
    def.massDev = 0;
    def.lifespanBase = 2000000000;
    def.lifespanDev = 2000000000;
    Particle p;
    p.Init(def, 0, 0, 0, 0);
    EXPECT_EQ(p.GetMass(), 1);
    p.ApplyForce(ParticleForce{ForceLinear, 1.0f, 1.0f});
    p.ApplyForce(ParticleForce{ForceAngular, 1.0f, 0.0f});
    p.ApplyForce(ParticleForce{ForceVerticalOscillation, 5.0f, 0.0f});
    p.ApplyForce(ParticleForce{ForceHorizontalOscillation, 5.0f, 0.0f});
    p.ApplyForce(ParticleForce{ForceNonLinear, 3.0f, 1e30f});
    for (int i = 0; i < 20; ++i) p.Update(1e9f);
    EXPECT_TRUE(std::isfinite(p.GetParticlePosition().x));
    EXPECT_TRUE(std::isfinite(p.GetParticlePosition().y));
}

}  // namespace
}  // namespace particletest

#include "shell/pixels/MemorySurface.h"

namespace particletest {
namespace {

// The particle's transform equals the product of its parts.
TEST_F(ParticleTest, TransformIsTheProductOfItsParts) {
    ParticleDef def;
    def.lifespanBase = 1000;
    def.angleCurve.SetKey(0.0f, 30.0f);
    def.angleCurve.SetKey(1.0f, 30.0f);
    def.hasShear = true;
    def.shearCurves[0].SetKey(0.0f, 0.25f);
    def.shearCurves[0].SetKey(1.0f, 0.25f);
    def.shearCurves[1].SetKey(0.0f, -0.5f);
    def.shearCurves[1].SetKey(1.0f, -0.5f);
    for (bool shear : {false, true}) {
        def.hasShear = shear;
        Particle p;
        p.Init(def, 0, 0, 0, 0);
        p.ApplyForce(ParticleForce{ForceAngular, 20.0f, 0.0f});
        p.Update(100);
        p.SetSurface(new pf::MemorySurface(10, 6));
        p.SetScaleXY(2.0f, 0.5f);
        p.SetOrigin(pf::Point(3, 1));
        p.SetPositionF(pf::VectorT2(40, 50));
        const float degrees = 30.0f + 100.0f * 20.0f / 1000.0f;
        pf::MatrixT r;
        pf::MatrixT::RotationZ(r, degrees / 180.0f * 3.1415927f);
        pf::MatrixT k = pf::MatrixT::MakeIdentity();
        if (shear) {
            k.m[0][1] = -0.5f;
            k.m[1][0] = 0.25f;
        }
        const pf::MatrixT expected = pf::MatrixT::MakeTranslation(pf::VectorT3(-5, -3, 0)) *
                                     pf::MatrixT::MakeScaling(pf::VectorT3(2.0f, 0.5f, 1)) * r *
                                     pf::MatrixT::MakeTranslation(pf::VectorT3(5, 3, 0)) *
                                     pf::MatrixT::MakeTranslation(pf::VectorT3(-3, -1, 0)) * k *
                                     pf::MatrixT::MakeTranslation(pf::VectorT3(40, 50, 0));
        pf::MatrixT out;
        p.ComputeTransform(out);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(out.m[i][j], expected.m[i][j], 1e-4) << i << j << shear;
    }
}

}  // namespace
}  // namespace particletest
