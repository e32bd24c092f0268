// The effect manager's slots: the first free slot, replacement by priority and age,
// removal, and finished effects dropped in the next cycle.
#include "game/ParticleMgr.h"
#include "particles/ParticleTestSupport.h"

namespace particletest {
namespace {

// An undefined system runs for ever, so its effect keeps its slot.
constexpr int kEndless = 7499;

TEST_F(ParticleTest, FindSlotTable) {
    struct Case {
        const char* what;
        int lowSlot;       // a slot given lowPriority, or -1
        int lowPriority;
        int request;
        int expected;
    };
    const Case cases[] = {
        {"equal priority replaces the oldest", -1, 0, 5, 0},
        {"lower request finds nothing", -1, 0, 4, -1},
        {"a lower slot is taken", 3, 1, 5, 3},
        {"a younger lower slot met after older equal ones is taken", 60, 1, 5, 60},
        {"higher request takes the last lower slot met", -1, 0, 6, 99},
    };
    for (const Case& c : cases) {
        my_intrusive_ptr<ParticleMgr> mgr(new ParticleMgr());
        // Slot i is added after i cycles: slot 0 is the oldest.
        for (int i = 0; i < ParticleMgr::kSlotCount; ++i) {
            EXPECT_EQ(mgr->addParticles(kEndless, pf::Point(i, i), i == c.lowSlot ? c.lowPriority : 5), i);
            mgr->Cycle();
        }
        EXPECT_EQ(mgr->FindSlot(c.request), c.expected) << c.what;
        EXPECT_EQ(mgr->addParticles(kEndless, pf::Point(), c.request), c.expected) << c.what;
        if (c.expected >= 0) {
            EXPECT_EQ(mgr->GetSlot(c.expected).priority, c.request);
            EXPECT_EQ(mgr->GetSlot(c.expected).age, 0.0f);
        }
        EXPECT_EQ(mgr->GetChildren().size(), size_t(ParticleMgr::kSlotCount));
    }
}

TEST_F(ParticleTest, ManagerSlotsAddRemoveAndFinish) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7400"><PoolSize value="2"/><Lifespan value="10"/>
        <EmitSize base="2"/><Particle><Lifespan base="30"/></Particle></System></S>)"));
    my_intrusive_ptr<ParticleMgr> mgr(new ParticleMgr());
    EXPECT_TRUE(mgr->IsKindOf(TypeId::ParticleMgr));
    EXPECT_FALSE(mgr->IsKindOf(TypeId::Actor));
    EXPECT_EQ(mgr->addParticles(-1, pf::Point(), 0), -1);
    EXPECT_TRUE(mgr->GetChildren().empty());

    const int slot = mgr->addParticles(7400, pf::Point(30, 40), 1);
    ASSERT_EQ(slot, 0);
    ParticleRect* rect = mgr->GetSlot(slot).rect.get();
    EXPECT_TRUE(rect->IsKindOf(TypeId::ParticleRect));
    EXPECT_TRUE(rect->IsKindOf(TypeId::Actor));
    EXPECT_EQ(rect->GetPosition(), pf::Point(30, 40));

    mgr->removeParticles(-1);
    mgr->removeParticles(100);
    mgr->removeParticles(5);
    EXPECT_EQ(mgr->GetChildren().size(), 1u);

    // Run the effect to its end; it is dropped at the next cycle.
    ParticleSystemInstance* s = rect->GetSystem();
    for (int i = 0; i < 10 && s->GetState() != ParticleSystemInstance::Finished; ++i) s->Update(20);
    ASSERT_EQ(s->GetState(), ParticleSystemInstance::Finished);
    mgr->Cycle();
    EXPECT_FALSE(mgr->GetSlot(slot).rect);
    EXPECT_TRUE(mgr->GetChildren().empty());

    mgr->addParticles(kEndless, pf::Point(), 0);
    mgr->addParticles(kEndless, pf::Point(), 0);
    mgr->removeParticles(0);
    EXPECT_EQ(mgr->GetChildren().size(), 1u);
    mgr->clear();
    EXPECT_TRUE(mgr->GetChildren().empty());
}

}  // namespace
}  // namespace particletest

#include "scene/FixedClockHandler.h"

namespace particletest {
namespace {

// A hidden or transparent host neither advances nor draws its system; the time passed
// meanwhile is lost, not caught up.
TEST_F(ParticleTest, HiddenHostsLoseTheirTime) {
    ASSERT_TRUE(ReadDefinitions(R"(<S><System id="7410"><PoolSize value="50"/><EmitRate base="1000"/>
        <EmitSize base="1"/><Particle><Lifespan base="100000"/></Particle></System></S>)"));
    my_intrusive_ptr<ParticleMgr> mgr(new ParticleMgr());
    my_intrusive_ptr<FixedClockHandler> clock(new FixedClockHandler());
    mgr->AddEventHandler(clock.get());
    const int slot = mgr->addParticles(7410, pf::Point(5, 6), 0);
    ParticleRect* rect = mgr->GetSlot(slot).rect.get();
    ParticleSystemInstance* s = rect->GetSystem();
    mgr->Cycle();  // the rect's clock starts from the manager's
    clock->DoTick();
    mgr->Cycle();
    ASSERT_EQ(s->GetState(), ParticleSystemInstance::Emitting);
    EXPECT_EQ(s->GetLive().size(), 1u);
    EXPECT_EQ(s->GetLive()[0]->GetParticlePosition(), pf::VectorT2(5, 6));
    clock->DoTick();
    mgr->Cycle();
    EXPECT_EQ(s->GetElapsed(), 16);

    rect->SetAlpha(0);
    for (int i = 0; i < 5; ++i) clock->DoTick();
    mgr->Cycle();
    EXPECT_EQ(s->GetElapsed(), 16);
    rect->SetAlpha(255);
    clock->DoTick();
    mgr->Cycle();
    EXPECT_EQ(s->GetElapsed(), 32);
    mgr->RemoveEventHandler(clock.get());
}

}  // namespace
}  // namespace particletest
