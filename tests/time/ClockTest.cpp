// Clocks on a fake platform clock: the pausable game time, nested pauses with their
// callbacks, Clock events for the clocks below or beside an item, and fixed-step clocks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "scene/ClockHandler.h"
#include "scene/FixedCycleItem.h"
#include "time/TimeTestSupport.h"

namespace {

using timetest::TimeTest;

TEST(GameTime, PausedTimeStandsStillAndResumesWhereItStopped) {
    static int platform = 0;
    pf::SetNowMsSource([] { return platform; });
    platform = 1000;
    GameTime t;
    EXPECT_EQ(t.GetTime(), 1000);  // never paused: the platform time itself
    t.Pause();
    EXPECT_TRUE(t.IsPaused());
    platform = 6000;
    EXPECT_EQ(t.GetTime(), 1000);
    t.Pause();  // pausing twice changes nothing
    t.Start();
    platform = 6250;
    EXPECT_EQ(t.GetTime(), 1250);
    t.Start();  // starting a running clock changes nothing
    EXPECT_EQ(t.GetTime(), 1250);
    pf::SetNowMsSource(nullptr);
}

class Clocks : public TimeTest {
protected:
    // A clock with counting callbacks.
    my_intrusive_ptr<ClockHandler> clock = Make<ClockHandler>();
    int pauses = 0, resumes = 0;
    void SetUp() override {
        TimeTest::SetUp();
        clock->SetOnPause(Callback([this] { ++pauses; }));
        clock->SetOnUnPause(Callback([this] { ++resumes; }));
    }
};

TEST_F(Clocks, PausesNest) {
    clock->Pause(true);
    now += 100;
    clock->Pause(true);
    EXPECT_EQ(clock->GetPauseCounter(), 2);
    EXPECT_EQ(pauses, 1);
    const int frozen = clock->GetTicks();
    clock->Pause(false);
    now += 100;
    EXPECT_EQ(clock->GetTicks(), frozen);  // still paused
    EXPECT_EQ(resumes, 0);
    clock->Pause(false);
    EXPECT_EQ(resumes, 1);
    EXPECT_EQ(clock->GetPauseCounter(), 0);
    now += 30;
    EXPECT_EQ(clock->GetTicks(), frozen + 30);

    // An extra resume keeps the counter at 0 and still reports a resume.
    clock->Pause(false);
    EXPECT_EQ(clock->GetPauseCounter(), 0);
    EXPECT_EQ(resumes, 2);
}

TEST_F(Clocks, SetPauseCounterSteps) {
    clock->SetPauseCounter(3);
    EXPECT_EQ(clock->GetPauseCounter(), 3);
    EXPECT_EQ(pauses, 1);
    clock->SetPauseCounter(1);
    EXPECT_EQ(resumes, 0);
    clock->SetPauseCounter(0);
    EXPECT_EQ(resumes, 1);
    clock->SetPauseCounter(-4);  // read as 0: already there
    EXPECT_EQ(clock->GetPauseCounter(), 0);
    EXPECT_EQ(resumes, 1);

    clock->SetPausable(false);
    clock->SetPauseCounter(2);
    clock->Pause(true);
    EXPECT_EQ(clock->GetPauseCounter(), 0);
    EXPECT_EQ(pauses, 1);
}

TEST_F(Clocks, CallbackThatMakesTheClockUnpausableEndsSetPauseCounter) {
    clock->SetOnPause(Callback([this] { clock->SetPausable(false); }));
    clock->SetPauseCounter(5);
    EXPECT_EQ(clock->GetPauseCounter(), 1);
}

TEST_F(Clocks, ItemsTakeTheTimeOfTheNearestClock) {
    auto parent = Make<Item>();
    root->AddItem(parent.get());
    auto plain = Make<Item>();
    parent->AddItem(plain.get());
    EXPECT_EQ(plain->GetTicks(), now);  // the root's clock
    parent->AddEventHandler(clock.get());
    clock->Pause(true);
    now += 500;
    EXPECT_EQ(plain->GetTicks(), now - 500);
    EXPECT_EQ(root->GetTicks(), now);
}

// root -> a (clock) -> b (clock) -> c (clock); root -> d (clock); root -> off (disabled,
// clock)
class ClockEvents : public TimeTest {
protected:
    my_intrusive_ptr<Item> a = Make<Item>(), b = Make<Item>(), c = Make<Item>(), d = Make<Item>(),
                           off = Make<Item>();
    void SetUp() override {
        TimeTest::SetUp();
        root->AddItem(a.get());
        a->AddItem(b.get());
        b->AddItem(c.get());
        root->AddItem(d.get());
        root->AddItem(off.get());
        off->SetEnabled(false);
        for (Item* x : {a.get(), b.get(), c.get(), d.get(), off.get()}) x->AddEventHandler(new ClockHandler);
    }
    static int Count(const my_intrusive_ptr<Item>& x) { return x->FindClockHandler()->GetPauseCounter(); }
    std::vector<int> Counts() const {
        return {Count(root), Count(a), Count(b), Count(c), Count(d), Count(off)};
    }
};

TEST_F(ClockEvents, PauseTimePausesTheSenderAtOnceAndItsDescendantsWhenDelivered) {
    a->PauseTime(true);
    EXPECT_EQ(Counts(), (std::vector<int>{0, 1, 0, 0, 0, 0}));
    ASSERT_EQ(root->GetPostedEventCount(), 1u);
    Frame();
    EXPECT_EQ(Counts(), (std::vector<int>{0, 1, 1, 1, 0, 0}));
    a->PauseTime(false);
    Frame();
    EXPECT_EQ(Counts(), (std::vector<int>{0, 0, 0, 0, 0, 0}));
}

TEST_F(ClockEvents, PauseAllOtherClocksPausesEverythingNotBelowTheSender) {
    b->PauseAllOtherClocks(true);
    EXPECT_EQ(Count(b), 0);
    Frame();
    // The root and a are not below b; the disabled subtree sees no events at all.
    EXPECT_EQ(Counts(), (std::vector<int>{1, 1, 0, 0, 1, 0}));
    b->PauseAllOtherClocks(false);
    Frame();
    EXPECT_EQ(Counts(), (std::vector<int>{0, 0, 0, 0, 0, 0}));
}

TEST_F(ClockEvents, TheEventCarriesTheSendersCreationIDAndOtherCodesDoNothing) {
    auto* clock = a->FindClockHandler();
    clock->PauseTime(true);
    Frame();
    pf::Event e(pf::EventType::Clock, 0);
    e.SetInt(pf::EventProperty::CLICK_ID, 7);
    e.SetInt(pf::EventProperty::USER_DATA_1, a->GetCreationID());
    TreeState state;
    EXPECT_FALSE(b->FindClockHandler()->HandleEvent(state, e));
    EXPECT_EQ(Count(b), 1);
    EXPECT_FALSE(e.IsClaimed());

    // A sender that is gone matches no ancestor: only "all other clocks" reaches anyone.
    const int gone = a->GetCreationID();
    root->RemoveItem(a.get());
    a.reset();
    EXPECT_TRUE(root->PostEvent(pf::EventType::Clock, 1, gone, 0, L"", L"", L""));
    EXPECT_TRUE(root->PostEvent(pf::EventType::Clock, 3, gone, 0, L"", L"", L""));
    Frame();
    EXPECT_EQ(Count(root), 1);
    EXPECT_EQ(Count(d), 1);
}

TEST_F(ClockEvents, TimeControllersStandStillUnderAPausedClock) {
    auto m = Make<timetest::RecordingModifier>();
    auto tc = Make<TimeController>();
    tc->Init(1000, TimeController::Forward, -1, nullptr);
    c->AddModifier(m.get(), tc.get());
    now += 250;
    Frame();
    EXPECT_FLOAT_EQ(m->actions.back().value, 0.25f);
    a->PauseTime(true);
    Frame();  // c's clock pauses when the event is delivered, after the items cycled
    const float held = m->actions.back().value;
    now += 300;
    Frame();
    EXPECT_FLOAT_EQ(m->actions.back().value, held);
    a->PauseTime(false);
    Frame();
    now += 100;
    Frame();
    EXPECT_FLOAT_EQ(m->actions.back().value, held + 0.1f);
}

// ---------------------------------------------------------------- fixed steps

// Counts the cycles of its subtree and the time it saw.
class StepItem : public Item {
public:
    std::vector<int> seen;
    void Cycle() override {
        seen.push_back(GetTicks());
        Item::Cycle();
    }
};

class FixedSteps : public TimeTest {
protected:
    my_intrusive_ptr<FixedCycleItem> fixed = Make<FixedCycleItem>();
    my_intrusive_ptr<StepItem> step = Make<StepItem>();
    void SetUp() override {
        TimeTest::SetUp();
        fixed = Make<FixedCycleItem>();  // built on the test's clock
        fixed->AddItem(step.get());
        root->AddItem(fixed.get());
    }
};

TEST_F(FixedSteps, FortyMillisecondsGiveTwoStepsAndTheRestWaits) {
    EXPECT_EQ(fixed->FindClockHandler(), fixed->GetFixedClock());
    now += 40;
    Frame();
    EXPECT_EQ(step->seen, (std::vector<int>{0, 16}));
    EXPECT_EQ(fixed->GetTicks(), 32);
    now += 8;
    Frame();
    EXPECT_EQ(step->seen.size(), 3u);  // the kept 8 ms made a third step
    EXPECT_EQ(fixed->GetTicks(), 48);
}

TEST_F(FixedSteps, AHitchAddsAtMostOneHundredMilliseconds) {
    now += 500;
    Frame();
    EXPECT_EQ(step->seen.size(), 6u);
    EXPECT_EQ(fixed->GetTicks(), 96);
    EXPECT_FLOAT_EQ(fixed->GetFixedClock()->GetAccumulated(), 100.0f);  // 4 ms kept
    now += 12;  // 4 + 12 = one more step
    Frame();
    EXPECT_EQ(step->seen.size(), 7u);
}

TEST_F(FixedSteps, APausedFixedClockTakesNoSteps) {
    fixed->GetFixedClock()->Pause(true);
    now += 200;
    Frame();
    EXPECT_TRUE(step->seen.empty());
    fixed->GetFixedClock()->Pause(false);
    now += 16;
    Frame();
    EXPECT_EQ(step->seen.size(), 1u);
}

TEST_F(FixedSteps, ZeroPeriodStepsOncePerUpdateOnAccumulatedTime) {
    FixedClockHandler* clock = fixed->GetFixedClock();
    clock->Reset(0);
    now += 37;
    Frame();
    EXPECT_EQ(step->seen, (std::vector<int>{37}));
    EXPECT_EQ(clock->Update(0.5f), 1);  // no time passed: still one step
}

TEST_F(FixedSteps, LongRunsKeepEveryMillisecond) {
    // After about nine hours of game time a float sum could no longer take 1 ms steps
    // (and after some days a whole frame): the clock would stand still.
    FixedClockHandler* clock = fixed->GetFixedClock();
    clock->Reset(0);
    const int hours = 1 << 25;  // ms
    for (int i = 0; i < hours / 100; ++i) {
        now += 100;
        clock->Update(1.0f);
    }
    now += hours % 100;
    clock->Update(1.0f);
    ASSERT_EQ(clock->GetTicks(), hours);
    for (int i = 0; i < 16; ++i) {
        now += 1;
        clock->Update(1.0f);
    }
    EXPECT_EQ(clock->GetTicks(), hours + 16);
}

TEST_F(FixedSteps, ScriptSpeedsAndLongCountsStayDefined) {
    // Update and DoTick are script methods: a speed that is not a number adds nothing,
    // and the step time wraps like the platform clock.
    FixedClockHandler* clock = fixed->GetFixedClock();
    now += 40;
    EXPECT_EQ(clock->Update(std::nanf("")), 0);
    EXPECT_EQ(clock->GetAccumulated(), 0.0);
    EXPECT_EQ(clock->Update(std::numeric_limits<float>::infinity()), 0);  // nothing left
    now += 40;
    EXPECT_EQ(clock->Update(std::numeric_limits<float>::infinity()), 6);  // capped at 100 ms
    clock->Reset(1 << 30);
    clock->DoTick();
    clock->DoTick();
    clock->DoTick();
    EXPECT_EQ(clock->GetTicks(), static_cast<int>(3u << 30));
}

TEST_F(FixedSteps, TheFixedClockOutlivesItsItemWhenHeld) {
    my_intrusive_ptr<FixedClockHandler> held(fixed->GetFixedClock());
    now += 40;
    Frame();
    root->RemoveItem(fixed.get());
    fixed.reset();
    EXPECT_EQ(held->GetRefCount(), 1);
    EXPECT_EQ(held->GetTicks(), 32);
    EXPECT_EQ(held->GetClient(), nullptr);
}

}  // namespace
