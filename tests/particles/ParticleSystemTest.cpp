// Running systems with a seeded generator: burst timing, the pool cap, emitter geometry,
// the life of an instance, links, and particles attached to a target item.
#include <cmath>
#include <functional>

#include "game/ParticleMgr.h"
#include "game/ParticleSystem.h"
#include "particles/ParticleTestSupport.h"
#include "scene/RootItem.h"

namespace particletest {
namespace {

float DirectionDegrees(const Particle& p) {
    const pf::VectorT2 v = p.GetVelocity();
    float d = std::atan2(v.y, v.x) * 180.0f / 3.1415927f;
    return d < 0 ? d + 360.0f : d;
}

TEST_F(ParticleTest, BurstsFollowTheEmitRate) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7300"><PoolSize value="100"/>
        <EmitRate base="100"/><EmitSize base="5"/><Particle><Lifespan base="100000"/></Particle></System></S>)"));
    ParticleSystemInstance s;
    s.Init(7300);
    std::vector<int> burstsAt;
    size_t before = 0;
    for (int update = 1; update <= 14; ++update) {
        s.Update(16);
        if (s.GetLive().size() != before) burstsAt.push_back(update);
        before = s.GetLive().size();
    }
    EXPECT_EQ(burstsAt, (std::vector<int>{1, 7, 13}));
    EXPECT_EQ(s.GetLive().size(), 15u);
    EXPECT_EQ(s.GetState(), ParticleSystemInstance::Emitting);
}

TEST_F(ParticleTest, PoolCapsTheLiveParticlesAndDeadOnesAreReused) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7310"><PoolSize value="10"/>
        <EmitRate base="50"/><EmitSize base="8"/><Particle><Lifespan base="150"/></Particle></System></S>)"));
    ParticleSystemInstance s;
    s.Init(7310);
    s.Update(60);
    EXPECT_EQ(s.GetLive().size(), 8u);
    s.Update(60);
    EXPECT_EQ(s.GetLive().size(), 10u);
    const Particle* first = s.GetLive().front().get();
    s.Update(60);  // the pool is full: no new particle; the first eight die (age 180)
    EXPECT_EQ(s.GetLive().size(), 2u);
    EXPECT_EQ(s.GetPoolCount(), 8u);
    s.Update(60);  // the burst reuses them in the order they died
    EXPECT_EQ(s.GetLive().size() + s.GetPoolCount(), 10u);
    bool reused = false;
    for (const auto& p : s.GetLive()) reused |= p.get() == first;
    EXPECT_TRUE(reused);
    std::set<int> priorities;
    for (const auto& p : s.GetLive()) priorities.insert(p->GetPriority());
    for (int pr : priorities) EXPECT_TRUE(pr >= 0 && pr < 10);
}

TEST_F(ParticleTest, EmitterGeometry) {
    ASSERT_TRUE(ReadDefinitions(R"(<S>
        <System id="7320"><PoolSize value="10"/><EmitSize base="4"/><EmitSpeed base="100"/>
          <Emitter type="regular"><EmitPoints num="4" initialoffset="45"/></Emitter></System>
        <System id="7321"><PoolSize value="10"/><EmitSize base="3"/>
          <Emitter type="rectangle"><Rect x="10" y="20" width="0" height="0"/></Emitter></System>
        <System id="7322"><PoolSize value="50"/><EmitSize base="50"/><EmitSpeed base="10"/>
          <Emitter type="circle"><Radius value="8"/></Emitter></System>
        <System id="7323"><PoolSize value="5"/><EmitSize base="5"/>
          <Emitter type="rectangle"><Rect x="0" y="0" width="-1" height="-1"/></Emitter></System>
      </S>)"));
    ParticleSystemInstance regular;
    regular.Init(7320);
    regular.Update(16);
    ASSERT_EQ(regular.GetLive().size(), 4u);
    const float expected[] = {45, 135, 225, 315};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(DirectionDegrees(*regular.GetLive()[i]), expected[i], 0.01f);

    ParticleSystemInstance rect;
    rect.Init(7321);
    rect.SetPosition(100, 200);
    rect.Update(16);
    for (const auto& p : rect.GetLive()) EXPECT_EQ(p->GetParticlePosition(), pf::VectorT2(110, 220));

    ParticleSystemInstance circle;
    circle.Init(7322);
    circle.SetPosition(50, 50);
    circle.Update(1);
    for (const auto& p : circle.GetLive()) {
        const pf::VectorT2 d = p->GetParticlePosition() - pf::VectorT2(50, 50);
        EXPECT_LE(std::sqrt(d.x * d.x + d.y * d.y), 8.0f + 0.02f);
    }

    ParticleSystemInstance negative;
    negative.Init(7323);
    negative.Update(16);
    EXPECT_EQ(negative.GetLive().size(), 5u);
}

TEST_F(ParticleTest, LifespanEndsEmissionThenTheInstanceFinishes) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7330"><PoolSize value="100"/><Lifespan value="1000"/>
        <EmitRate base="100"/><EmitSize base="1"/><Particle><Lifespan base="250"/></Particle></System></S>)"));
    ParticleSystemInstance s;
    s.Init(7330);
    std::vector<int> states;
    for (int i = 0; i < 20; ++i) {
        const size_t emittedBefore = s.GetLive().size() + s.GetPoolCount();
        s.Update(100);
        states.push_back(s.GetState());
        if (s.GetState() != ParticleSystemInstance::Emitting) {
            EXPECT_EQ(s.GetLive().size() + s.GetPoolCount(), emittedBefore) << "burst after the end, update " << i;
        }
    }
    // Elapsed passes 1000 at the 12th update; the last particle dies 3 updates later.
    EXPECT_EQ(states[10], ParticleSystemInstance::Emitting);
    EXPECT_EQ(states[11], ParticleSystemInstance::EmissionOver);
    EXPECT_EQ(states.back(), ParticleSystemInstance::Finished);
    const size_t finishedAt = size_t(std::find(states.begin(), states.end(), 4) - states.begin());
    EXPECT_GT(finishedAt, 11u);
    EXPECT_TRUE(s.GetLive().empty());
}

TEST_F(ParticleTest, SelfLinksAreSkippedWithALogLine) {
    ASSERT_TRUE(ReadDefinitions(R"(<S>
        <System id="7340"><Link><ParticleSystem id="7340"/><ParticleSystem id="7341"/></Link></System>
        <System id="7341"><Link><ParticleSystem id="7342"/><ParticleSystem id="7340"/></Link></System>
        <System id="7342"/>
      </S>)"));
    testkit::LogCapture log;
    ParticleSystemInstance s;
    s.Init(7340);
    ASSERT_EQ(s.GetLinkedCount(), 1u);
    EXPECT_EQ(s.GetLinked(0)->GetDefId(), 7341);
    ASSERT_EQ(s.GetLinked(0)->GetLinkedCount(), 1u);
    EXPECT_EQ(s.GetLinked(0)->GetLinked(0)->GetDefId(), 7342);
    EXPECT_EQ(log.Lines().size(), 2u) << log.Text();
}

TEST_F(ParticleTest, LinkedParticlesAreDrawnAtTheirLinkPriority) {
    ASSERT_TRUE(ReadDefinitions(R"(<S>
        <System id="7350"><PoolSize value="100"/><EmitSize base="100"/><Link><ParticleSystem id="7351" priority="0.5"/></Link></System>
        <System id="7351"><PoolSize value="3"/><EmitSize base="3"/></System>
      </S>)"));
    ParticleSystemInstance s;
    s.Init(7350);
    s.Update(16);
    std::vector<Particle*> order;
    s.Collect(order);
    ASSERT_EQ(order.size(), 103u);
    const ParticleSystemInstance& linked = *s.GetLinked(0);
    auto isLinked = [&](const Particle* p) {
        for (const auto& q : linked.GetLive())
            if (q.get() == p) return true;
        return false;
    };
    for (size_t i = 0; i < order.size(); ++i) {
        if (i < 50) { EXPECT_EQ(order[i]->GetPriority(), int(i)); }
        if (i >= 50 && i < 53) { EXPECT_TRUE(isLinked(order[i])) << i; }
        if (i >= 53) { EXPECT_EQ(order[i]->GetPriority(), int(i) - 3); }
    }
}

TEST_F(ParticleTest, TargetAttachedParticlesAreCountedAndLeaveWithTheirInstance) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7360" target="sparks"><PoolSize value="4"/>
        <EmitRate base="10"/><EmitSize base="4"/><Particle><Lifespan base="20"/></Particle></System></S>)"));
    my_intrusive_ptr<RootItem> root(new RootItem());
    my_intrusive_ptr<Item> target(new Item());
    target->SetName(L"sparks");
    root->AddItem(target.get());
    CurrentRootItem = root;

    auto s = std::make_unique<ParticleSystemInstance>();
    s->Init(7360);
    s->Update(16);
    ASSERT_EQ(target->GetChildren().size(), 4u);
    // The target draws them; the instance does not draw them a second time.
    std::vector<Particle*> drawn;
    s->Collect(drawn);
    EXPECT_TRUE(drawn.empty());
    // Dead ones stay parked under the target, hidden, until reused.
    s->Update(16);
    EXPECT_EQ(s->GetPoolCount(), 4u);
    for (const auto& child : target->GetChildren()) EXPECT_FALSE(child->IsVisible());
    s.reset();
    EXPECT_TRUE(target->GetChildren().empty());

    // The target may go first: the instance still owns its particles.
    s = std::make_unique<ParticleSystemInstance>();
    s->Init(7360);
    s->Update(16);
    root->RemoveItem(target.get());
    target.reset();
    s->Update(16);
    s.reset();
    CurrentRootItem = nullptr;
}

TEST_F(ParticleTest, UnknownSystemIsEmptyAndEndless) {
    ParticleSystemInstance s;
    s.Init(7399);
    for (int i = 0; i < 5; ++i) s.Update(1000);
    EXPECT_TRUE(s.GetLive().empty());
    EXPECT_EQ(s.GetState(), ParticleSystemInstance::Emitting);
}

}  // namespace
}  // namespace particletest

namespace particletest {
namespace {

// Each level links the next one eight times: 8^4 instances unless the effect is limited.
TEST_F(ParticleTest, BranchingLinksAreLimitedPerEffect) {
    std::string xml = "<S>";
    for (int level = 0; level < 4; ++level) {
        xml += "<System id=\"" + std::to_string(7700 + level) + "\"><Link>";
        for (int k = 0; k < 8; ++k) xml += "<ParticleSystem id=\"" + std::to_string(7701 + level) + "\"/>";
        xml += "</Link></System>";
    }
    ASSERT_TRUE(ReadDefinitions(xml + "</S>"));
    testkit::LogCapture log;
    ParticleSystemInstance s;
    s.Init(7700);
    std::function<size_t(const ParticleSystemInstance&)> count = [&](const ParticleSystemInstance& i) {
        size_t n = i.GetLinkedCount();
        for (size_t k = 0; k < i.GetLinkedCount(); ++k) n += count(*i.GetLinked(k));
        return n;
    };
    EXPECT_EQ(count(s), size_t(ParticleSystemInstance::kMaxLinkedInstances));
    EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    s.Update(16);
}

}  // namespace
}  // namespace particletest
