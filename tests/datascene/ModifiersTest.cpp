// The standard modifiers, stepped directly (Action with chosen values) or by a controller
// over the test clock.
#include <cmath>

#include "DataSceneSupport.h"
#include "scene/Cyclers.h"
#include "scene/ModifierQueue.h"
#include "scene/MoveWithCursor.h"
#include "scene/Tweens.h"

using datascene::CelActor;
using datascene::DataSceneTest;
using datascene::StripAnim;
using datascene::Xml;
using pf::Point;

namespace {

class ModifiersTest : public DataSceneTest {
protected:
    my_intrusive_ptr<CelActor> AnimatedActor(int cels) {
        auto a = Make<CelActor>();
        anim = new StripAnim(cels);
        a->SetResAnim(anim.get());
        a->shown.clear();
        root->AddItem(a.get());
        return a;
    }
    // Attaches m to client without a controller, so Action values come from the test.
    template <class M>
    M* Attach(Item* client, M* m) {
        client->AddModifier(m, nullptr);
        return m;
    }
    my_intrusive_ptr<ResAnim> anim;
};

TEST_F(ModifiersTest, Cycler2WithFramesIndexesByTheShiftedValue) {
    auto actor = AnimatedActor(10);
    auto c = Make<Cycler2>();
    c->SetFrames("6,7,8,9");
    Attach(actor.get(), c.get());
    c->Action(0, 0.99f);
    c->Action(0, 1.0f);
    c->Action(0, 0.0f);
    // A value below 0 (a curve may give one) stays at the first frame.
    c->Action(0, -0.5f);
    c->Action(0, NAN);
    EXPECT_EQ(actor->shown, (std::vector<int>{9, 9, 6, 6, 6}));
}

TEST_F(ModifiersTest, Cycler2WithoutFramesRunsFromSrcToTheLastCel) {
    auto actor = AnimatedActor(10);
    auto c = Make<Cycler2>();
    Attach(actor.get(), c.get());
    EXPECT_EQ(c->GetDest(), 9);
    actor->shown.clear();
    c->Action(0, 0.5f);
    EXPECT_EQ(actor->shown, (std::vector<int>{4}));
    // Without an animation nothing is shown and dest stays -1.
    auto plain = Make<CelActor>();
    auto d = Make<Cycler2>();
    plain->AddModifier(d.get(), nullptr);
    d->Action(0, 0.5f);
    EXPECT_EQ(d->GetDest(), -1);
    EXPECT_TRUE(plain->shown.empty());
}

TEST_F(ModifiersTest, TweensMoveFromTheStartValueToTheDestination) {
    auto actor = Make<Actor>();
    root->AddItem(actor.get());
    actor->SetPosition(Point(10, 10));
    actor->SetRotation(1.0f);
    actor->SetScaleXY(1.0f, 2.0f);

    auto mover = Make<Mover2>();
    Attach(actor.get(), mover->Init(Point(20, 15)))->Action(0, 0.5f);
    EXPECT_EQ(actor->GetPositionF().x, 15.0f);
    EXPECT_EQ(actor->GetPositionF().y, 12.0f);  // 5 x 0.5 truncated

    auto rotator = Make<Rotator2>();
    Attach(actor.get(), rotator->Init(3.0f))->Action(0, 0.25f);
    EXPECT_FLOAT_EQ(actor->GetRotation(), 1.5f);

    auto scaler = Make<Scaler2>();
    Attach(actor.get(), scaler->Init(pf::VectorT2(3.0f, 0.0f)))->Action(0, 0.5f);
    EXPECT_FLOAT_EQ(actor->GetScaleX(), 2.0f);
    EXPECT_FLOAT_EQ(actor->GetScaleY(), 1.0f);

    auto fader = Make<Fader2>();
    Attach(actor.get(), fader.get())->Action(0, 0.5f);
    EXPECT_EQ(actor->GetAlpha(), 191);  // from 255 toward the default 128
}

TEST_F(ModifiersTest, MoverWorksOnAnyItemUnderAController) {
    auto item = Make<Item>();
    root->AddItem(item.get());
    my_intrusive_ptr<TimeController> tc(new TimeController);
    tc->Init(1000, TimeController::Forward, 1, nullptr);
    auto mover = Make<Mover2>();
    item->AddModifier(mover->Init(Point(100, -100)), tc.get());
    now += 250;
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(25, -25));
    now += 1000;
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(100, -100));
    EXPECT_TRUE(item->GetModifiers().empty());
}

Point g_cursor;
Point Cursor() { return g_cursor; }

TEST_F(ModifiersTest, MoveWithCursorFollowsInsideItsConfines) {
    SetCursorPositionSource(&Cursor);
    auto parent = Make<Item>();
    parent->SetPosition(Point(50, 20));
    root->AddItem(parent.get());
    auto item = Make<Item>();
    parent->AddItem(item.get());
    item->SetPosition(Point(5, 5));

    g_cursor = Point(60, 30);  // (10, 10) in the parent
    auto follow = Make<MoveWithCursor>(pf::Rect(0, 0, 800, 600));
    item->AddModifier(follow.get(), nullptr);
    EXPECT_EQ(follow->GetOffset(), Point(5, 5));
    g_cursor = Point(150, 120);
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(95, 95));

    follow->SetKeepOffset(false);
    follow->Start();
    g_cursor = Point(950, 15);  // (900, -5) in the parent
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(800, 0));

    EXPECT_TRUE(follow->SetProperty(L"confines", L"10,10,20,20"));
    EXPECT_TRUE(follow->SetProperty(L"offset", L"3,4"));
    EXPECT_FALSE(follow->SetProperty(L"Offset", L"3,4"));
    root->Cycle();
    EXPECT_EQ(item->GetPosition(), Point(30, 10));
    SetCursorPositionSource(nullptr);
}

TEST_F(ModifiersTest, QueuePlaysItsPairsOneAfterAnother) {
    auto item = Make<Item>();
    root->AddItem(item.get());
    auto queue = Make<ModifierQueue>();
    std::vector<my_intrusive_ptr<scenetest::SpyModifier>> steps;
    for (const char* tag : {"a", "b", "c"}) {
        steps.push_back(Make<scenetest::SpyModifier>(&journal, tag));
        steps.back()->stepsLeft = 2;
        queue->pushModifier(steps.back().get(), nullptr);
    }
    int finished = 0;
    queue->SetOnDone(Callback([&] { ++finished; }));
    item->AddModifier(queue.get(), nullptr);  // starts a, whose first step runs at once
    for (int i = 0; i < 8; ++i) root->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"modifier a", "modifier a", "modifier b", "modifier b",
                                                 "modifier c", "modifier c"}));
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(item->GetModifiers().empty());
    EXPECT_EQ(steps[2]->GetParent(), nullptr);
    EXPECT_EQ(steps[1]->GetClient(), item.get());
}

// ---------------------------------------------------------------- the XML Cycler

TEST_F(ModifiersTest, XmlCyclerReadsItsElement) {
    auto x = Xml(R"(<m type="Cycler" name="spin" loops="3" cycleType="2" frames="1:3"/>)");
    Cycler c(*x);
    EXPECT_EQ(c.GetName(), L"spin");
    EXPECT_EQ(c.GetLoops(), 3);
    EXPECT_EQ(c.GetCycleType(), 2);
    EXPECT_EQ(c.GetFrames(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(c.IsKindOf(TypeId::Cycler));
    EXPECT_TRUE(c.IsKindOf(TypeId::Base));
    auto plain = Xml("<m/>");
    Cycler d(*plain);
    EXPECT_EQ(d.GetName(), L"Cycler");
    EXPECT_EQ(d.GetLoops(), 1);
    EXPECT_EQ(d.GetCycleType(), 1);
    EXPECT_TRUE(d.SetProperty(L"loops", L"4"));
    EXPECT_TRUE(d.SetProperty(L"type", L"3"));
    EXPECT_FALSE(d.SetProperty(L"frames", L"1"));
    my_intrusive_ptr<Modifier> copy(d.Clone());
    EXPECT_EQ(static_cast<Cycler*>(copy.get())->GetLoops(), 4);
    EXPECT_EQ(static_cast<Cycler*>(copy.get())->GetCycleType(), 3);
}

TEST_F(ModifiersTest, XmlCyclerPingPongShowsBothWaysThenFinishesAndLeaves) {
    auto actor = AnimatedActor(4);
    auto x = Xml(R"(<m cycleType="3" loops="1"/>)");
    my_intrusive_ptr<Cycler> c(new Cycler(*x));
    actor->AddModifier(c.get(), nullptr);
    for (int e = 0; e < 8; ++e) c->Action(0, (e + 0.5f) / 4.0f);
    EXPECT_EQ(actor->shown, (std::vector<int>{0, 1, 2, 3, 3, 2, 1, 0}));
    EXPECT_FALSE(c->IsDone());
    actor->shown.clear();
    c->Action(0, 2.0f);
    EXPECT_EQ(actor->shown, (std::vector<int>{0}));
    EXPECT_TRUE(c->IsDone());
    EXPECT_TRUE(actor->GetModifiers().empty());
    EXPECT_EQ(c->GetParent(), nullptr);
}

struct CyclerCase {
    const char* xml;
    std::vector<float> shifts;
    std::vector<int> shown;
    bool done;
};

TEST_F(ModifiersTest, XmlCyclerTypesTable) {
    const CyclerCase cases[] = {
        // Forward: a second loop restarts without showing; the last loop ends on the last.
        {R"(<m cycleType="1" loops="2"/>)", {0.0f, 0.6f, 1.0f, 0.3f, 1.0f}, {0, 2, 1, 3}, true},
        {R"(<m cycleType="2" loops="1" frames="7,8,9"/>)", {0.0f, 0.5f, 1.0f}, {9, 8, 7}, true},
        // A shifted value below 0 shows the first frame instead of reading before the list.
        {R"(<m cycleType="1" frames="5,6"/>)", {-0.5f, -100.0f}, {5, 5}, false},
        {R"(<m cycleType="2" frames="5,6"/>)", {-0.5f}, {6}, false},
        {R"(<m cycleType="3" frames="5,6"/>)", {-3.0f}, {5}, false},
        // Other cycle types do nothing.
        {R"(<m cycleType="9"/>)", {0.5f, 1.0f}, {}, false},
    };
    for (const auto& k : cases) {
        auto actor = AnimatedActor(4);
        auto x = Xml(k.xml);
        my_intrusive_ptr<Cycler> c(new Cycler(*x));
        actor->AddModifier(c.get(), nullptr);
        for (float s : k.shifts) c->Action(0, s);
        EXPECT_EQ(actor->shown, k.shown) << k.xml;
        EXPECT_EQ(c->IsDone(), k.done) << k.xml;
    }
}

TEST_F(ModifiersTest, XmlCyclerRandomNeverRepeatsAFrameAndCountsLoops) {
    auto actor = AnimatedActor(3);
    auto x = Xml(R"(<m cycleType="4" loops="20"/>)");
    my_intrusive_ptr<Cycler> c(new Cycler(*x));
    actor->AddModifier(c.get(), nullptr);
    c->Action(0.5f, 0.5f);  // only whole periods draw
    EXPECT_TRUE(actor->shown.empty());
    for (int i = 0; i < 20; ++i) c->Action(1.0f, 1.0f);
    ASSERT_EQ(actor->shown.size(), 20u);
    for (size_t i = 1; i < actor->shown.size(); ++i) EXPECT_NE(actor->shown[i], actor->shown[i - 1]);
    EXPECT_TRUE(c->IsDone());
}

TEST_F(ModifiersTest, XmlCyclerUnderAControllerLeavesItsItemInTheSameWalk) {
    auto actor = AnimatedActor(4);
    auto x = Xml(R"(<m cycleType="1" loops="1"/>)");
    my_intrusive_ptr<Cycler> c(new Cycler(*x));
    my_intrusive_ptr<TimeController> tc(new TimeController);
    tc->Init(400, TimeController::Forward, 1, nullptr);
    auto other = Make<scenetest::SpyModifier>(&journal, "after");
    actor->AddModifier(c.get(), tc.get());
    actor->AddModifier(other.get(), nullptr);
    journal.clear();
    now += 150;
    root->Cycle();
    now += 1000;
    root->Cycle();
    EXPECT_EQ(actor->shown, (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(actor->GetModifiers().size(), 1u);
    EXPECT_EQ(journal, (std::vector<std::string>{"modifier after", "modifier after"}));
}

}  // namespace
