// The definitions reader: defaults, curves, forces, the limits on systems, and the numbers
// from a file that are clamped or refused with a log line.
#include <cmath>

#include "common/NullDisplay.h"
#include "common/TestSupport.h"
#include "content/ResourceManager.h"
#include "game/Particle.h"
#include "particles/ParticleTestSupport.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"

namespace particletest {
namespace {

TEST_F(ParticleTest, ReaderDefaults) {
    ASSERT_TRUE(ReadDefinitions(R"(<Systems>
        <System><PoolSize/><EmitRate/><EmitSize/><Lifespan/><Timescale/>
          <Particle type="point"><Mass/><Lifespan/></Particle>
          <Emitter type="rectangle"><Rect/><Radius/><Angle/><VelocityAngle/></Emitter>
        </System>
        <System id="7001" name="bare"/>
      </Systems>)"));
    const ParticleSystemDef& d = ParticleRegistry::Get(-1);
    EXPECT_EQ(d.id, -1);
    EXPECT_EQ(d.name, L"Unnamed");
    EXPECT_EQ(d.poolSize, 125);
    EXPECT_EQ(d.emitRateBase, 100);
    EXPECT_EQ(d.emitSizeBase, 5);
    EXPECT_EQ(d.lifespan, 0);
    EXPECT_EQ(d.timescale, 1.0f);
    EXPECT_EQ(d.particleCount, 1);
    EXPECT_FALSE(d.particles[0].isSprite);
    EXPECT_EQ(d.particles[0].massBase, 1);
    EXPECT_EQ(d.particles[0].lifespanBase, 1);
    EXPECT_EQ(d.emitterType, EmitterRectangle);
    EXPECT_EQ(d.rect, pf::Rect(0, 0, 50, 50));
    EXPECT_EQ(d.radius, 15.0f);
    EXPECT_EQ(d.angleBase, 180);
    EXPECT_EQ(d.angleDev, 180);

    const ParticleSystemDef& bare = ParticleRegistry::Get(7001);
    EXPECT_EQ(bare.name, L"bare");
    EXPECT_EQ(bare.poolSize, 0);
    EXPECT_EQ(bare.emitterType, EmitterRadial);
    EXPECT_EQ(bare.angleDev, 360);
    EXPECT_EQ(bare.particles[0].lifespanBase, 100);
    EXPECT_EQ(bare.particles[0].framerate, 8);
    EXPECT_EQ(bare.particles[0].scaleCurve.Get(), 1.0f);
    EXPECT_EQ(bare.particles[0].alphaCurve.Get(), 1.0f);
    EXPECT_EQ(ParticleRegistry::Find(7002), nullptr);
}

TEST_F(ParticleTest, CurvesFromKeys) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7010"><Particle>
        <Angle><start value="30"/></Angle>
        <Scale><start value="30"/><end value="30"/></Scale>
        <Alpha><start value="0"/><mid t="0.25" value="1"/><end value="0"/></Alpha>
      </Particle></System></S>)"));
    ParticleDef& p = ParticleRegistry::Get(7010).particles[0];
    EXPECT_EQ(p.angleCurve.keys, (std::map<float, float>{{0.0f, 30.0f}, {1.0f, 0.0f}}));
    EXPECT_TRUE(p.angleCurve.animated);
    EXPECT_FALSE(p.scaleCurve.animated);

    ValueCurve alpha = p.alphaCurve;
    alpha.Reset();
    EXPECT_EQ(alpha.NextKey(0.0f), 0.25f);
    EXPECT_EQ(alpha.NextKey(1.0f), 1.0f);
    alpha.Advance(0.25f);
    EXPECT_NEAR(alpha.Get(), 1.0f, 1e-5);
    alpha.Advance(0.25f);
    EXPECT_NEAR(alpha.Get(), 2.0f / 3.0f, 1e-4);
    // Past the last key the value stays there, and no step makes it NaN.
    alpha.Advance(5.0f);
    EXPECT_EQ(alpha.Get(), 0.0f);
    alpha.Advance(1.0f);
    EXPECT_EQ(alpha.Get(), 0.0f);
}

TEST_F(ParticleTest, CurveDeviationIsAFixedOffsetPerParticle) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7011"><Particle>
        <Scale><start value="2"/><end value="2"/><dev value="10"/></Scale></Particle></System></S>)"));
    const ParticleDef& def = ParticleRegistry::Get(7011).particles[0];
    std::set<float> seen;
    for (int i = 0; i < 50; ++i) {
        Particle p;
        p.Init(def, 0, 0, 0, 0);
        const float first = p.GetScaleCurve().Get();
        EXPECT_GE(first, 2.0f - 10.0f);
        EXPECT_LT(first, 2.0f + 10.0f);
        p.Update(30);
        EXPECT_EQ(p.GetScaleCurve().Get(), first);
        seen.insert(first);
    }
    EXPECT_GT(seen.size(), 40u);
}

TEST_F(ParticleTest, ForcesLinksAndTheParticleLimit) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7020">
        <Force id="1" type="LinearForce"><AngularForce t="5"/></Force>
        <Force id="2" type="LinearForce"><LinearForce x="3" y="4"/></Force>
        <Force id="3" type="NonLinearForce"><NonLinearForce force="2" freq="7.5"/></Force>
        <Force id="4" type="HorizontalOscillationForce"><HorizontalOscillationForce period="2" amplitude="9"/></Force>
        <Force id="12" type="AngularForce"><AngularForce t="1"/></Force>
        <Link><ParticleSystem id="7021" priority="0.5"/><Other id="3"/><ParticleSystem/></Link>
        <Particle type="sprite"><Animation framerate="4" animloop="2"/></Particle>
        <Particle/><Particle/><Particle/><Particle/>
        <Particle type="point"><Mass base="9"/></Particle>
      </System></S>)"));
    const ParticleSystemDef& d = ParticleRegistry::Get(7020);
    EXPECT_EQ(d.forces[1].kind, ForceNone);
    EXPECT_EQ(d.forces[2].kind, ForceLinear);
    EXPECT_EQ(d.forces[2].a, 3.0f);
    EXPECT_EQ(d.forces[2].b, 4.0f);
    EXPECT_EQ(d.forces[3].kind, ForceNonLinear);
    EXPECT_EQ(d.forces[3].b, 7.5f);
    EXPECT_EQ(d.forces[4].kind, ForceHorizontalOscillation);
    EXPECT_EQ(d.forces[4].a, 9.0f);
    EXPECT_EQ(d.forces[4].b, 2.0f);
    ASSERT_EQ(d.links.size(), 2u);
    EXPECT_EQ(d.links[0].id, 7021);
    EXPECT_EQ(d.links[0].priority, 0.5f);
    EXPECT_EQ(d.links[1].id, -1);
    EXPECT_EQ(d.particleCount, 5);
    EXPECT_TRUE(d.particles[0].isSprite);
    EXPECT_EQ(d.particles[0].framerate, 4);
    EXPECT_EQ(d.particles[0].animLoop, 2);
    for (const ParticleDef& p : d.particles) EXPECT_EQ(p.massBase, 1);
}

TEST_F(ParticleTest, ElementsWithoutChildrenAreSkipped) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7030"><Link/><Emitter type="circle"/><Particle/>
        <Force id="1" type="LinearForce"/><AnimationList/><Emitter type="rectangle"><VelocityMultipler/></Emitter>
        <Particle><Angle/><Color/><Shear/></Particle></System></S>)"));
    const ParticleSystemDef& d = ParticleRegistry::Get(7030);
    EXPECT_TRUE(d.links.empty());
    EXPECT_EQ(d.emitterType, EmitterRectangle);
    EXPECT_EQ(d.particleCount, 2);
    EXPECT_TRUE(d.particles[1].hasColor);
    EXPECT_EQ(d.forces[1].kind, ForceNone);
}

// Numbers a file may hold that would divide by zero, overflow or index out of range.
TEST_F(ParticleTest, UncheckedNumbersAreClampedOrRefusedWithALogLine) {
    struct Case {
        const char* xml;      // children of one system
        const char* logged;   // part of the log line
    };
    const Case cases[] = {
        {R"(<PoolSize value="-5"/>)", "PoolSize -5"},
        {R"(<PoolSize value="2000000000"/>)", "PoolSize 2000000000"},
        {R"(<Particle><Mass base="0"/></Particle>)", "Mass 0"},
        {R"(<Particle><Mass base="2" dev="5"/></Particle>)", "Mass 2"},
        {R"(<Force id="0" type="VerticalOscillationForce"><VerticalOscillationForce amplitude="3"/></Force>)",
         "without a period"},
        {R"(<Animation cels="0" loops="-2"/>)", "cels 0"},
        {R"(<Particle><Animation animloop="-3"/></Particle>)", "animloop -3"},
        {R"(<Emitter type="rectangle"><Rect width="-1" height="-1"/></Emitter>)", "Rect width -1"},
        {R"(<Emitter type="regular"/>)", "without EmitPoints"},
        {R"(<Emitter type="regular"><EmitPoints num="0"/></Emitter>)", "EmitPoints 0"},
        {R"(<Timescale value="1e30"/>)", "Timescale"},
        {R"(<EmitSpeed base="nan"/>)", "not a finite number"},
        {R"(<Particle><Alpha><mid t="7" value="1"/></Alpha></Particle>)", "outside 0..1"},
    };
    int id = 7100;
    for (const Case& c : cases) {
        testkit::LogCapture log;
        ASSERT_TRUE(ReadDefinitions("<S><System id=\"" + std::to_string(id) + "\">" + c.xml + "</System></S>"));
        EXPECT_TRUE(log.Contains(c.logged)) << c.xml << "\n" << log.Text();
        const ParticleSystemDef& d = ParticleRegistry::Get(id);
        EXPECT_GE(d.poolSize, 0);
        EXPECT_LE(d.poolSize, ParticleRegistry::kMaxPoolSize);
        EXPECT_GE(d.particles[0].massBase, 1);
        EXPECT_GE(d.particles[0].animLoop, 0);
        EXPECT_GE(d.rect.width, 0);
        EXPECT_TRUE(std::isfinite(d.emitSpeedBase));
        EXPECT_LE(d.timescale, 1000.0f);
        if (d.emitterType == EmitterRegular) {
            EXPECT_GE(d.emitPoints, 1);
        }
        EXPECT_EQ(d.forces[0].kind, ForceNone);
        ++id;
    }
    EXPECT_EQ(ParticleRegistry::Get(7105).animCels, 1);
    EXPECT_EQ(ParticleRegistry::Get(7105).animLoops, 1);
}

TEST_F(ParticleTest, LoadingAFileThroughTheResourceManager) {
    testkit::TempDir dir;
    dir.Write("res/fx.xml", R"(<Effects><Group><System id="7200"><PoolSize value="3"/></System></Group></Effects>)");
    dir.Write("res/broken.xml", "<Effects><System id=\"7201\">");
    pf::FileSystemWin32 fs;
    fs.SetResourcePath(pf::FromUtf8((dir.Path() / "res").string()));
    fs.SetUserPath(pf::FromUtf8((dir.Path() / "res").string()));
    pf::ImageLoaderDX loader;
    testkit::NullDisplay display;
    ResourceManager manager(&loader, &display, &fs);
    SetResourceManager(&manager);

    EXPECT_TRUE(LoadParticleDefinitions(L"fx.xml:Group"));
    EXPECT_EQ(ParticleRegistry::Get(7200).poolSize, 3);
    {
        testkit::LogCapture log;
        EXPECT_FALSE(LoadParticleDefinitions(L"missing.xml"));
        EXPECT_FALSE(LoadParticleDefinitions(L"broken.xml"));
        EXPECT_FALSE(LoadParticleDefinitions(L"fx.xml:NoSuchElement"));
        for (const char* spec : {"'missing.xml'", "'broken.xml'", "'fx.xml:NoSuchElement'"})
            EXPECT_TRUE(log.Contains(std::string("Particle definitions ") + spec + " could not be loaded")) << log.Text();
    }
    EXPECT_EQ(ParticleRegistry::Find(7201), nullptr);
    SetResourceManager(nullptr);
}

}  // namespace
}  // namespace particletest
