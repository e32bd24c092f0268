// Time controllers and the modifier walk: value mapping per type, loop counting and the
// finishing step, the unsigned clock arithmetic, Random, and a walk that stays sound when
// steps add or remove pairs (run under AddressSanitizer).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "scene/TimeCurves.h"
#include "shell/Random.h"
#include "time/TimeTestSupport.h"

namespace {

using timetest::RecordingModifier;
using timetest::TickItem;
using TC = TimeController;

struct Call {
    float shifted;
    bool finished;
};

// A controller on a modifier on a TickItem, with its callback recorded.
struct Rig {
    my_intrusive_ptr<TickItem> item{new TickItem};
    my_intrusive_ptr<RecordingModifier> m{new RecordingModifier};
    my_intrusive_ptr<TC> tc{new TC};
    std::vector<Call> calls;

    Rig() {
        m->SetClient(item.get());
        tc->SetCallback(TimeControllerCallback([this](TC* c, float s, bool f) {
            EXPECT_EQ(c, tc.get());
            calls.push_back({s, f});
        }));
    }
    float StepAt(int t) {
        item->ticks = t;
        return tc->Update(m.get());
    }
};

struct Step {
    int t;
    float value;
    bool finished;
};

struct Row {
    const char* name;
    int period;
    TimeControllerType type;
    int loops;
    int startTime;  // 0: not started
    std::vector<Step> steps;
};

TEST(TimeControllerTable, ValuesCallsAndFinishing) {
    const Row rows[] = {
        {"counted forward", 1000, TC::Forward, 1, 0, {{5000, 0.0f, false}, {5500, 0.5f, false}, {6000, 1.0f, true}}},
        {"late last step still ends at 1", 1000, TC::Forward, 1, 0, {{5000, 0.0f, false}, {9999, 1.0f, true}}},
        {"endless restarts each period", 1000, TC::Forward, -1, 0,
         {{5000, 0.0f, false}, {5250, 0.25f, false}, {6000, 0.0f, false}, {6750, 0.75f, false}, {99000, 0.0f, false}}},
        {"loops 0 is endless", 400, TC::Forward, 0, 0, {{1000, 0.0f, false}, {1100, 0.25f, false}, {1900, 0.25f, false}}},
        {"backward, two loops", 1000, TC::Backward, 2, 0,
         {{5000, 1.0f, false}, {5250, 0.75f, false}, {6500, 0.5f, false}, {7000, 0.0f, true}}},
        {"oscillate", 1000, TC::Oscillate, 1, 0,
         {{5000, 0.0f, false}, {5250, 0.5f, false}, {5500, 1.0f, false}, {5750, 0.5f, false}, {6000, 0.0f, true}}},
        {"unknown type maps like forward", 1000, static_cast<TimeControllerType>(9), -1, 0, {{10, 0.0f, false}, {260, 0.25f, false}}},
        // The clock difference is taken modulo 2^32: a start just below the wrap.
        {"unsigned wrap", 1000, TC::Forward, 2, -500, {{250, 0.75f, false}, {600, 0.1f, false}, {1500, 1.0f, true}}},
        // A time of 0 is read as "not started", so the next step starts again.
        {"start time 0 quirk", 1000, TC::Forward, -1, 0, {{0, 0.0f, false}, {300, 0.0f, false}, {550, 0.25f, false}}},
        // A period of no length: counted controllers end at once, endless ones stay at the end.
        {"period 0 counted", 0, TC::Forward, 3, 0, {{5000, 1.0f, true}}},
        {"period 0 endless", 0, TC::Backward, -1, 0, {{5000, 0.0f, false}, {7000, 0.0f, false}}},
        {"negative period", -20, TC::Forward, -1, 0, {{5000, 1.0f, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.tc->Init(row.period, row.type, row.loops, nullptr);
        rig.tc->SetStartTime(row.startTime);
        size_t n = 0;
        for (const Step& s : row.steps) {
            SCOPED_TRACE("t = " + std::to_string(s.t));
            EXPECT_FLOAT_EQ(rig.StepAt(s.t), s.value);
            ++n;
            ASSERT_EQ(rig.m->actions.size(), n);
            EXPECT_FLOAT_EQ(rig.m->actions.back().value, s.value);
            EXPECT_FLOAT_EQ(rig.m->actions.back().shifted, s.value);
            ASSERT_EQ(rig.calls.size(), n);
            EXPECT_EQ(rig.calls.back().finished, s.finished);
            EXPECT_EQ(rig.tc->IsDone(), s.finished);
            EXPECT_EQ(rig.m->IsDone(), s.finished);
            EXPECT_EQ(rig.m->finishes, s.finished ? 1 : 0);
        }
    }
}

TEST(TimeController, CycleIndexAndStartTimeAreReported) {
    Rig rig;
    rig.tc->Init(100, TC::Forward, -1, nullptr);
    EXPECT_EQ(rig.tc->GetCycleIndex(), -1);
    rig.StepAt(1000);
    EXPECT_EQ(rig.tc->GetStartTime(), 1000);
    EXPECT_EQ(rig.tc->GetCycleIndex(), 0);
    rig.StepAt(1350);
    EXPECT_EQ(rig.tc->GetCycleIndex(), 3);
}

TEST(TimeController, InitKeepsTheStartTimeAndRestartClearsIt) {
    Rig rig;
    rig.tc->Init(1000, TC::Forward, 1, nullptr);
    rig.StepAt(5000);
    rig.StepAt(6000);
    ASSERT_TRUE(rig.tc->IsDone());
    rig.tc->Init(1000, TC::Forward, 2, nullptr);
    EXPECT_FALSE(rig.tc->IsDone());
    EXPECT_EQ(rig.tc->GetCycleIndex(), -1);
    EXPECT_FLOAT_EQ(rig.StepAt(6600), 0.6f);  // still timed from 5000
    rig.tc->Restart();
    EXPECT_FLOAT_EQ(rig.StepAt(6700), 0.0f);
    EXPECT_EQ(rig.tc->GetStartTime(), 6700);
}

TEST(TimeController, AFinishedControllerSteppedAgainRepeatsTheFinishingStep) {
    Rig rig;
    rig.tc->Init(1000, TC::Forward, 1, nullptr);
    rig.StepAt(5000);
    rig.StepAt(6000);
    rig.StepAt(6100);
    ASSERT_EQ(rig.m->actions.size(), 3u);
    EXPECT_FLOAT_EQ(rig.m->actions[2].value, 1.0f);
    ASSERT_EQ(rig.calls.size(), 3u);
    EXPECT_TRUE(rig.calls[2].finished);
    EXPECT_EQ(rig.m->finishes, 2);
}

TEST(TimeController, RandomDrivesItsModifierOncePerPeriod) {
    pf::SeedRand(1234);
    std::vector<float> expected;
    for (int i = 0; i < 2; ++i) expected.push_back(static_cast<float>((pf::Rand() % 32767) / 32767.0));
    pf::SeedRand(1234);

    Rig rig;
    rig.tc->Init(1000, TC::Random, 2, nullptr);
    EXPECT_FLOAT_EQ(rig.StepAt(5000), expected[0]);
    EXPECT_FLOAT_EQ(rig.StepAt(5300), 0.3f);  // not a new period: the fraction, no Action
    EXPECT_FLOAT_EQ(rig.StepAt(5600), 0.6f);
    ASSERT_EQ(rig.m->actions.size(), 1u);
    EXPECT_FLOAT_EQ(rig.m->actions[0].value, expected[0]);
    EXPECT_EQ(rig.calls.size(), 1u);

    EXPECT_FLOAT_EQ(rig.StepAt(6200), expected[1]);
    EXPECT_EQ(rig.m->actions.size(), 2u);
    EXPECT_EQ(rig.calls.size(), 2u);

    // The finishing step finishes without an Action or a callback.
    EXPECT_FLOAT_EQ(rig.StepAt(7000), 1.0f);
    EXPECT_EQ(rig.m->actions.size(), 2u);
    EXPECT_EQ(rig.calls.size(), 2u);
    EXPECT_EQ(rig.m->finishes, 1);
    EXPECT_TRUE(rig.tc->IsDone());
}

TEST(TimeController, StepsWithoutModifierOrTimeSource) {
    my_intrusive_ptr<TC> tc(new TC);
    tc->Init(1000, TC::Forward, 1, nullptr);
    EXPECT_EQ(tc->Update(nullptr), 0.0f);
    EXPECT_EQ(tc->Cycle(nullptr), 0.0f);
    my_intrusive_ptr<RecordingModifier> loose(new RecordingModifier);  // no client
    EXPECT_EQ(tc->Update(loose.get()), 0.0f);
    EXPECT_EQ(tc->GetStartTime(), 0);
    EXPECT_TRUE(loose->actions.empty());

    // Cycle steps on an item's time without a modifier.
    my_intrusive_ptr<TickItem> item(new TickItem);
    item->ticks = 200;
    EXPECT_EQ(tc->Cycle(item.get()), 0.0f);
    item->ticks = 450;
    EXPECT_FLOAT_EQ(tc->Cycle(item.get()), 0.25f);
}

TEST(TimeController, ReplacingTheCurveReleasesTheOldOne) {
    my_intrusive_ptr<TimeShift> a(new Accelerate(2)), b(new Decelerate);
    my_intrusive_ptr<TC> tc(new TC);
    tc->Init(100, TC::Forward, 1, a.get());
    EXPECT_EQ(a->GetRefCount(), 2);
    tc->SetTimeShift(b.get());
    EXPECT_EQ(a->GetRefCount(), 1);
    tc->SetTimeShift(b.get());  // the same curve again keeps it alive
    EXPECT_EQ(b->GetRefCount(), 2);
    tc.reset();
    EXPECT_EQ(b->GetRefCount(), 1);
}

// ---------------------------------------------------------------- pairs on an item

class ModifierWalk : public timetest::TimeTest {
protected:
    my_intrusive_ptr<TickItem> item = Make<TickItem>();

    my_intrusive_ptr<TC> Controller(int period, int loops) {
        auto tc = Make<TC>();
        tc->Init(period, TC::Forward, loops, nullptr);
        return tc;
    }
};

TEST_F(ModifierWalk, AddModifierStartsStepsAndDropsAFinishedPairInTheSameWalk) {
    auto m = Make<RecordingModifier>();
    auto tc = Controller(1000, 1);
    tc->SetStartTime(42);  // AddModifier restarts the controller
    std::vector<Call> calls;
    tc->SetCallback(TimeControllerCallback([&](TC*, float s, bool f) { calls.push_back({s, f}); }));
    item->ticks = 5000;
    item->AddModifier(m.get(), tc.get());
    EXPECT_EQ(m->GetClient(), item.get());
    EXPECT_EQ(m->GetParent(), static_cast<ModifiersParent*>(item.get()));
    EXPECT_EQ(tc->GetOwner(), static_cast<ModifiersParent*>(item.get()));
    EXPECT_EQ(tc->GetStartTime(), 5000);
    ASSERT_EQ(m->actions.size(), 1u);
    EXPECT_EQ(m->actions[0].value, 0.0f);
    EXPECT_EQ(m->cycles, 1);
    ASSERT_EQ(item->GetModifiers().size(), 1u);

    item->ticks = 5500;
    item->Cycle();
    EXPECT_FLOAT_EQ(m->actions.back().value, 0.5f);

    item->ticks = 6000;
    item->Cycle();
    EXPECT_FLOAT_EQ(m->actions.back().value, 1.0f);
    EXPECT_FLOAT_EQ(m->actions.back().shifted, 1.0f);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls.back().finished);
    EXPECT_EQ(m->finishes, 1);
    EXPECT_TRUE(item->GetModifiers().empty());
    // Dropped by the walk, not detached: the modifier still names its client.
    EXPECT_EQ(m->GetClient(), item.get());
}

TEST_F(ModifierWalk, StartResetsDoneAndAPairDoneInItsFirstStepIsNeverStored) {
    auto m = Make<RecordingModifier>();
    m->Finish();
    ASSERT_TRUE(m->IsDone());
    item->AddModifier(m.get(), nullptr);  // Start clears done
    EXPECT_EQ(item->GetModifiers().size(), 1u);

    auto quick = Make<RecordingModifier>();
    quick->onCycle = [&] { quick->Finish(); };
    item->AddModifier(quick.get(), nullptr);
    EXPECT_EQ(item->GetModifiers().size(), 1u);
    EXPECT_EQ(quick->GetRefCount(), 1);

    auto counted = Make<RecordingModifier>();
    item->AddModifier(counted.get(), Controller(0, 1).get());  // period 0: ends at once
    EXPECT_EQ(counted->finishes, 1);
    EXPECT_EQ(item->GetModifiers().size(), 1u);
}

TEST_F(ModifierWalk, NullModifierIsIgnoredWithALogLine) {
    testkit::LogCapture log;
    auto tc = Controller(1000, 1);
    item->AddModifier(nullptr, tc.get());
    EXPECT_TRUE(item->GetModifiers().empty());
    EXPECT_EQ(tc->GetRefCount(), 1);
    EXPECT_TRUE(log.Contains("AddModifier"));
}

TEST_F(ModifierWalk, PairWithoutControllerIsCycledUntilSomethingFinishesIt) {
    auto m = Make<RecordingModifier>();
    item->AddModifier(m.get(), nullptr);
    item->Cycle();
    item->Cycle();
    EXPECT_EQ(m->cycles, 3);
    EXPECT_EQ(item->GetModifiers().size(), 1u);
    m->Finish();
    item->Cycle();
    EXPECT_EQ(m->cycles, 4);
    EXPECT_TRUE(item->GetModifiers().empty());
}

TEST_F(ModifierWalk, DeleteClientDeletesAtTheEndOfTheRootsCycle) {
    std::vector<std::string> order;
    auto child = Make<TickItem>();
    root->AddItem(child.get());
    auto m = Make<RecordingModifier>();
    m->SetDeleteClient(true);
    m->SetOnDone(Callback([&] { order.push_back("onDone"); }));
    child->ticks = 100;
    child->AddModifier(m.get(), Controller(50, 1).get());
    child->ticks = 150;
    m->onAction = [&] {
        if (m->actions.size() == 2) order.push_back("action");
    };
    child->Cycle();
    EXPECT_EQ(order, (std::vector<std::string>{"action", "onDone"}));
    EXPECT_EQ(child->GetParent(), root.get());  // not yet
    EXPECT_EQ(root->GetScheduledDeleteCount(), 1u);
    Frame();
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->GetRefCount(), 1);  // only the test holds it now
}

TEST_F(ModifierWalk, StepsThatRemoveOrAddPairsKeepTheWalkSound) {
    // Four pairs held only by the list; the second removes itself in its Action, the
    // third removes the fourth, and the first appends a new pair that runs in this walk.
    std::vector<std::string> steps;
    auto a = new RecordingModifier, b = new RecordingModifier, c = new RecordingModifier,
         d = new RecordingModifier;
    auto late = Make<RecordingModifier>();
    for (auto [mod, tag] : {std::pair{a, "a"}, {b, "b"}, {c, "c"}, {d, "d"}}) {
        mod->SetName(std::wstring(tag, tag + 1));
        item->AddModifier(mod, Controller(1000, -1).get());
    }
    for (auto [mod, tag] : {std::pair{a, "a"}, {b, "b"}, {c, "c"}, {d, "d"}}) {
        std::string t = tag;
        mod->onAction = [&steps, t] { steps.push_back(t); };
    }
    a->onAction = [&] {
        steps.push_back("a");
        if (late->GetClient() == nullptr) item->AddModifier(late.get(), nullptr);
    };
    b->onAction = [&] {
        steps.push_back("b");
        item->RemoveModifier(b);  // frees nothing yet: the walk holds b and its controller
        steps.push_back(b->GetName() == L"b" ? "b alive" : "b corrupt");
    };
    c->onAction = [&] {
        steps.push_back("c");
        item->RemoveModifier(d);
    };
    late->onCycle = [&] { steps.push_back("late"); };
    item->Cycle();
    EXPECT_EQ(steps, (std::vector<std::string>{"a", "late", "b", "b alive", "c", "late"}));
    ASSERT_EQ(item->GetModifiers().size(), 3u);
    EXPECT_EQ(item->GetModifiers()[0].modifier.get(), a);
    EXPECT_EQ(item->GetModifiers()[1].modifier.get(), c);
    EXPECT_EQ(item->GetModifiers()[2].modifier.get(), late.get());
}

TEST_F(ModifierWalk, FinishAndCallbacksMayClearTheWholeList) {
    auto m = new RecordingModifier;  // held only by the list
    auto other = new RecordingModifier;
    bool ran = false;
    m->SetOnDone(Callback([&] {
        item->RemoveAllModifiers();
        ran = true;
    }));
    item->ticks = 1000;
    item->AddModifier(m, Controller(100, 1).get());
    item->AddModifier(other, Controller(100, -1).get());
    item->ticks = 1200;
    item->Cycle();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(item->GetModifiers().empty());
}

TEST_F(ModifierWalk, ControllerCallbackMayDropItsOwnPairAndController) {
    auto tc = new TC;
    tc->Init(100, TC::Forward, -1, nullptr);
    auto m = new RecordingModifier;
    int calls = 0;
    tc->SetCallback(TimeControllerCallback([&](TC* self, float, bool) {
        ++calls;
        if (calls == 2) item->RemoveModifier(m);
        // Replacing the running callback must not destroy the call in progress.
        if (calls == 2) self->SetCallback(TimeControllerCallback());
    }));
    item->ticks = 10;
    item->AddModifier(m, tc);
    item->Cycle();
    item->Cycle();
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(item->GetModifiers().empty());
}

TEST_F(ModifierWalk, AnActionThatDropsTheClientFromTheTreeEndsSafely) {
    // Through the item's walk: the finished pair schedules its client, which the root
    // cleans up and frees at the end of the cycle.
    auto client = new TickItem;  // held only by the root
    root->AddItem(client);
    auto m = Make<RecordingModifier>();
    m->SetDeleteClient(true);
    client->ticks = 10;
    client->AddModifier(m.get(), Controller(100, 1).get());
    m->onAction = [&] { root->RemoveItem(client); };
    client->ticks = 500;
    Frame();
    EXPECT_EQ(m->finishes, 1);
    EXPECT_EQ(root->GetScheduledDeleteCount(), 0u);
    EXPECT_TRUE(root->GetChildren().empty());

    // Stepped by hand on a client set directly: the step keeps the client alive until
    // Finish has scheduled it.
    auto other = new TickItem;
    root->AddItem(other);
    auto n = Make<RecordingModifier>();
    n->SetDeleteClient(true);
    n->SetClient(other);
    auto tc = Controller(100, 1);
    other->ticks = 10;
    tc->Update(n.get());
    n->onAction = [&] { root->RemoveItem(other); };
    other->ticks = 500;
    tc->Update(n.get());
    EXPECT_EQ(n->finishes, 1);
    EXPECT_EQ(root->GetScheduledDeleteCount(), 1u);
    n->SetClient(nullptr);
    Frame();
}

TEST_F(ModifierWalk, RemovalDetachesAndTheItemsEndDetachesHeldModifiers) {
    auto m = Make<RecordingModifier>(), n = Make<RecordingModifier>();
    m->SetName(L"spin");
    n->SetName(L"spin");
    auto other = Make<RecordingModifier>();
    item->AddModifier(m.get(), nullptr);
    item->AddModifier(other.get(), nullptr);
    item->AddModifier(n.get(), nullptr);
    item->RemoveModifiersByName(L"spin");
    EXPECT_EQ(m->GetClient(), nullptr);
    EXPECT_EQ(n->GetParent(), nullptr);
    ASSERT_EQ(item->GetModifiers().size(), 1u);
    item->RemoveModifier(m.get());  // not held any more: nothing happens
    EXPECT_EQ(m->finishes, 0);

    item.reset();  // the item goes; the modifier a script still holds must not point at it
    EXPECT_EQ(other->GetClient(), nullptr);
    EXPECT_EQ(other->GetParent(), nullptr);
}

TEST(Modifier, CopyAndText) {
    my_intrusive_ptr<TickItem> item(new TickItem);
    my_intrusive_ptr<Modifier> m(new Modifier);
    EXPECT_EQ(m->GetName(), L"Modifier");
    EXPECT_EQ(m->ToString(), L"(Modifier: _name=Modifier)");
    EXPECT_TRUE(m->IsKindOf(TypeId::Base));
    EXPECT_FALSE(m->IsKindOf(TypeId::Item));
    m->SetClient(item.get());
    m->SetDeleteClient(true);
    m->SetParent(item.get());
    m->SetOnDone(Callback([] {}));
    m->Finish();
    my_intrusive_ptr<Modifier> copy(new Modifier(*m));
    EXPECT_EQ(copy->GetClient(), item.get());
    EXPECT_TRUE(copy->GetDeleteClient());
    EXPECT_TRUE(copy->IsDone());
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_FALSE(static_cast<bool>(copy->GetOnDone()));
    EXPECT_NE(copy->GetCreationID(), m->GetCreationID());
    EXPECT_EQ(m->Clone(), nullptr);
    EXPECT_FALSE(m->SetProperty(L"x", L"1"));
}

}  // namespace
