#include <cmath>

#include "SceneTestSupport.h"
#include "scene/EventManager.h"

using namespace scenetest;
using pf::Event;
using pf::EventType;

class RoutingTest : public SceneTest {};

TEST(EventManagerTest, Classification) {
    const EventManager* m = EventManager::Shared();
    for (int t = 0; t < 45; ++t) {
        Event e(t, 0);
        const bool engine = t == 1 || t == 9 || t == 24 || (t >= 26 && t <= 31) || (t >= 33 && t <= 37) || t == 39;
        EXPECT_EQ(m->IsUserEvent(e), !engine) << t;
        EXPECT_EQ(m->IsKeyEvent(e), t >= 2 && t <= 4) << t;
        EXPECT_EQ(m->IsMouseEvent(e), (t >= 5 && t <= 7) || t == 32) << t;
    }
}

TEST_F(RoutingTest, FlagsModalAndPausedClocks) {
    struct Case {
        const char* what;
        std::function<void(Item& parent, Item& child)> setup;
        int type;
        bool result;
        bool childSees;
        bool parentHandles;
    };
    // The child always takes the event when asked; the parent's handler never does.
    const Case cases[] = {
        {"plain", [](Item&, Item&) {}, EventType::KeyDown, true, true, false},
        {"keys off", [](Item& p, Item&) { p.SetEnableKeyEvents(false); }, EventType::KeyDown, false, false, false},
        {"keys off, click passes", [](Item& p, Item&) { p.SetEnableKeyEvents(false); }, EventType::ButtonClick, true,
         true, false},
        {"mouse off", [](Item& p, Item&) { p.SetEnableMouseEvents(false); }, EventType::DoubleClick, false, false,
         false},
        {"disabled", [](Item& p, Item&) { p.SetEnabled(false); }, EventType::ButtonClick, false, false, false},
        {"child disabled", [](Item&, Item& c) { c.SetEnabled(false); }, EventType::KeyDown, false, false, true},
        {"modal, user event", [](Item& p, Item& c) { p.SetModal(true); c.SetEnabled(false); },
         EventType::MouseButtonDown, true, false, true},
        {"modal, clock event", [](Item& p, Item& c) { p.SetModal(true); c.SetEnabled(false); }, EventType::Clock, false,
         false, true},
        {"paused clock, key", [](Item& p, Item& c) {
             auto* clock = new ClockHandler;
             clock->SetPauseCounter(1);
             p.AddEventHandler(clock);
             c.SetEnabled(false);
         },
         EventType::KeyDown, false, false, false},
        {"paused clock, engine event", [](Item& p, Item& c) {
             auto* clock = new ClockHandler;
             clock->SetPauseCounter(1);
             p.AddEventHandler(clock);
             c.SetEnabled(false);
         },
         EventType::ButtonClick, false, false, true},
        {"paused clock, child without its own clock", [](Item& p, Item&) {
             auto* clock = new ClockHandler;
             clock->SetPauseCounter(1);
             p.AddEventHandler(clock);
         },
         EventType::KeyDown, false, false, false},
        {"paused clock, child with a running clock", [](Item& p, Item& c) {
             auto* clock = new ClockHandler;
             clock->SetPauseCounter(1);
             p.AddEventHandler(clock);
             c.AddEventHandler(new ClockHandler);
         },
         EventType::KeyDown, true, true, false},
    };
    for (const Case& c : cases) {
        journal.clear();
        auto parent = Make<SpyItem>(&journal, "parent");
        auto child = Make<SpyItem>(&journal, "child");
        child->onEvent = [](Event&) { return true; };
        parent->onEvent = [&](Event& e) {
            return parent->Item::HandleEvent(parent->lastState, e);
        };
        parent->AddItem(child.get());
        c.setup(*parent, *child);
        Event e(c.type, 0);
        EXPECT_EQ(parent->PassEvent(TreeState(), e), c.result) << c.what;
        const bool childSaw = std::find(journal.begin(), journal.end(), "event child " + std::to_string(c.type)) !=
                              journal.end();
        const bool parentSaw = std::find(journal.begin(), journal.end(), "event parent " + std::to_string(c.type)) !=
                               journal.end();
        EXPECT_EQ(childSaw, c.childSees) << c.what;
        EXPECT_EQ(parentSaw, c.parentHandles) << c.what;
    }
}

TEST_F(RoutingTest, TopMostFirstAndClaimedEventsContinue) {
    auto low = Make<SpyItem>(&journal, "low");
    auto high = Make<SpyItem>(&journal, "high");
    low->SetPriority(1);
    high->SetPriority(2);
    root->AddItem(high.get());
    root->AddItem(low.get());
    root->Cycle();
    journal.clear();
    // Claiming does not stop routing: only a true result does.
    high->onEvent = [](Event& e) { e.SetClaimed(true); return false; };
    low->onEvent = [](Event& e) { return e.IsClaimed(); };
    Event e(EventType::KeyDown, 0);
    EXPECT_TRUE(root->ProcessEvent(e));
    EXPECT_EQ(journal, (std::vector<std::string>{"event high 2", "event low 2"}));
    journal.clear();
    high->onEvent = [](Event&) { return true; };
    EXPECT_TRUE(root->ProcessEvent(e));
    EXPECT_EQ(journal, (std::vector<std::string>{"event high 2"}));
}

TEST_F(RoutingTest, HandlerMayRemoveItsItemAndSiblings) {
    auto a = Make<SpyItem>(&journal, "a");
    auto b = new SpyItem(&journal, "b");
    root->AddItem(a.get());
    root->AddItem(b);
    b->onEvent = [&](Event&) {
        root->RemoveItem(b);
        root->RemoveItem(a.get());
        a.reset();
        return false;
    };
    Event e(EventType::KeyDown, 0);
    EXPECT_FALSE(root->ProcessEvent(e));
    // Both live until the routing walk is over, then go in the order they were taken out.
    EXPECT_EQ(journal, (std::vector<std::string>{"event b 2", "destroy b", "destroy a"}));
}

TEST_F(RoutingTest, MousePositionIsLocalUnderScaledAndRotatedActors) {
    struct SpyActor : Actor {
        TreeState seen;
        bool HandleEvent(const TreeState& s, Event&) override {
            seen = s;
            return true;
        }
    };
    auto outer = Make<Actor>();
    outer->SetPosition(pf::Point(100, 100));
    outer->SetScale(2.0f);
    auto inner = Make<SpyActor>();
    inner->SetPosition(pf::Point(10, 0));
    inner->SetRotationDegrees(90.0f);
    root->AddItem(outer.get());
    outer->AddItem(inner.get());
    Event e = Button(EventType::MouseButtonDown, 120, 110);
    EXPECT_TRUE(root->ProcessEvent(e));
    // (120, 110) -> outer (10, 5) -> inner: (0, 5) rotated back by 90 degrees = (5, 0).
    EXPECT_NEAR(inner->seen.mouse.x, 5.0f, 1e-4);
    EXPECT_NEAR(inner->seen.mouse.y, 0.0f, 1e-4);
}

TEST_F(RoutingTest, GetItemByPointFindsTheTopMostVisibleEnabledActor) {
    auto make = [&](int x, int priority) {
        auto a = Make<Actor>();
        a->SetSize(pf::Point(50, 50));
        a->SetPosition(pf::Point(x, 0));
        a->SetPriority(priority);
        a->SetIgnoreTransparency(true);
        root->AddItem(a.get());
        return a;
    };
    auto under = make(0, 1);
    auto over = make(10, 2);
    root->Cycle();
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(20, 20)), over.get());
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(5, 20)), under.get());
    over->SetEnabled(false);
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(20, 20)), under.get());
    under->SetAlpha(0);
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(20, 20)), nullptr);

    auto hidden = Make<Item>();
    hidden->SetVisible(false);
    root->AddItem(hidden.get());
    auto inside = Make<Actor>();
    inside->SetIgnoreTransparency(true);
    hidden->AddItem(inside.get());
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(300, 300)), nullptr);
    EXPECT_EQ(GetItemByPoint(root.get(), pf::Point(-5, -5)), nullptr);
}
