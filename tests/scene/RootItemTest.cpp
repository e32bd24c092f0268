#include <algorithm>
#include <limits>
#include <stdexcept>

#include "SceneTestSupport.h"

using namespace scenetest;
using pf::Event;
using pf::EventType;

class RootItemTest : public SceneTest {};

TEST_F(RootItemTest, DeferredDeletesRunAfterTheTreeAndBeforePostedEvents) {
    auto top = Make<SpyItem>(&journal, "top");
    root->AddItem(top.get());
    auto victim = new SpyItem(&journal, "victim");
    top->AddItem(victim);
    auto watcher = Make<SpyHandler>(&journal, "watch");
    root->AddEventHandler(watcher.get());
    victim->onCycle = [&] {
        victim->safeDelete();
        victim->safeDelete();  // twice: deleted once
        root->PostEvent(EventType::ButtonClick, 3, 0, 0, L"", L"", L"");
    };
    journal.clear();
    root->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"handler watch", "cycle top", "cycle victim", "cleanup victim",
                                                 "destroy victim", "event top 24", "handle watch 24"}));
    EXPECT_TRUE(top->GetChildren().empty());
    EXPECT_EQ(root->GetScheduledDeleteCount(), 0u);
}

TEST_F(RootItemTest, ItemsScheduledDuringTheDeleteLoopGoInTheSameLoop) {
    auto a = new SpyItem(&journal, "a");
    auto b = new SpyItem(&journal, "b");
    root->AddItem(a);
    root->AddItem(b);
    struct Chain : SpyItem {
        using SpyItem::SpyItem;
        Item* next = nullptr;
        void cleanup() override {
            SpyItem::cleanup();
            if (next) next->safeDelete();
        }
    };
    auto c = new Chain(&journal, "c");
    c->next = b;
    root->AddItem(c);
    c->safeDelete();
    journal.clear();
    root->SetPaused(true);
    root->Cycle();
    EXPECT_TRUE(journal.empty());  // paused: the deletes wait
    root->SetPaused(false);
    root->Cycle();
    EXPECT_EQ(root->GetChildren().size(), 1u);
    EXPECT_EQ(root->GetChildren()[0].get(), a);
}

TEST_F(RootItemTest, ThrowingCleanupOrHandlerDoesNotJamTheQueues) {
    struct Bad : SpyItem {
        using SpyItem::SpyItem;
        void cleanup() override { throw std::runtime_error("cleanup failed"); }
    };
    auto bad = new Bad(&journal, "bad");
    root->AddItem(bad);
    bad->safeDelete();
    EXPECT_THROW(root->Cycle(), std::runtime_error);
    EXPECT_EQ(root->GetScheduledDeleteCount(), 0u);

    auto h = Make<SpyHandler>(&journal, "h");
    root->AddEventHandler(h.get());
    int throwsLeft = 1;
    h->onEvent = [&](Event&) -> bool {
        if (throwsLeft-- > 0) throw std::runtime_error("handler failed");
        return true;
    };
    root->PostEvent(EventType::ButtonClick, 1, 0, 0, L"", L"", L"");
    root->PostEvent(EventType::ButtonClick, 2, 0, 0, L"", L"", L"");
    EXPECT_THROW(root->Cycle(), std::runtime_error);
    EXPECT_EQ(root->GetPostedEventCount(), 1u);
    journal.clear();
    root->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"handler h", "handle h 24"}));
    EXPECT_EQ(root->GetPostedEventCount(), 0u);
}

TEST_F(RootItemTest, PostedEventsCarryTheirDataAndChainInOneDispatch) {
    auto h = Make<SpyHandler>(&journal, "h");
    root->AddEventHandler(h.get());
    std::vector<Event> seen;
    h->onEvent = [&](Event& e) {
        seen.push_back(e);
        if (seen.size() == 1) root->PostEvent(EventType::Clock, 1, 0, 0, L"", L"", L"");
        return false;
    };
    root->PostEvent(EventType::ButtonClick, 7, 8, 9, L"", L"second", L"");
    root->SetPaused(true);  // a paused root still delivers
    root->Cycle();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].GetInt(pf::EventProperty::CLICK_ID), 7);
    EXPECT_EQ(seen[0].GetInt(pf::EventProperty::USER_DATA_1), 8);
    EXPECT_EQ(seen[0].GetInt(pf::EventProperty::USER_DATA_2), 9);
    EXPECT_EQ(seen[0].GetString(0), L"");
    EXPECT_EQ(seen[0].GetString(1), L"second");
    EXPECT_EQ(seen[1].GetType(), EventType::Clock);
}

TEST_F(RootItemTest, PausedRootRefusesInputAndDrawsNothing) {
    auto a = Make<Actor>();
    a->SetSurface(new RecordingSurface(4, 4, "a"));
    root->AddItem(a.get());
    a->SetIgnoreTransparency(true);
    RecordingDisplay display;
    root->SetPaused(true);
    Event down = Button(EventType::MouseButtonDown, 1, 1);
    EXPECT_FALSE(root->ProcessEvent(down));
    root->Render(display);
    EXPECT_TRUE(display.calls.empty());
    root->SetPaused(false);
    root->Render(display);
    EXPECT_EQ(display.Joined(),
              "clip(none);color(255,255,255,255);bright(0,0,0,0);transform(0,0);blend(1);draw a(255,4,4);");
}

TEST_F(RootItemTest, HandlerMayReplaceTheRootWhileEventsAreDelivered) {
    auto h = Make<SpyHandler>(&journal, "h");
    root->AddEventHandler(h.get());
    h->onEvent = [&](Event&) {
        SetRootItem(new RootItem);
        root.reset();
        return true;
    };
    Event key(EventType::KeyDown, 0);
    RootItem* old = root.get();
    EXPECT_TRUE(old->ProcessEvent(key));
    EXPECT_NE(GetRootItem(), nullptr);
}

TEST_F(RootItemTest, EventWithoutSourceIsRouted) {
    auto h = Make<SpyHandler>(&journal, "h");
    root->AddEventHandler(h.get());
    Event up = Button(EventType::MouseButtonUp, 5, 5);
    ASSERT_EQ(up.GetSource(), nullptr);
    root->ProcessEvent(up);
    EXPECT_EQ(journal, (std::vector<std::string>{"handle h 7"}));
}

// Releases at (time, x, y, button); the types each one is routed as.
TEST_F(RootItemTest, DoubleClickTable) {
    struct Release {
        int dt, x, y, button;
    };
    struct Case {
        const char* what;
        bool enabled;
        std::vector<Release> releases;
        std::vector<int> routed;
    };
    const Case cases[] = {
        {"300 ms and 3 px", true, {{0, 100, 100, 1}, {300, 103, 97, 1}}, {7, 32}},
        {"4 px on one axis", true, {{0, 100, 100, 1}, {300, 104, 100, 1}}, {7, 7}},
        {"500 ms", true, {{0, 100, 100, 1}, {500, 100, 100, 1}}, {7, 7}},
        {"other button", true, {{0, 100, 100, 1}, {100, 100, 100, 3}}, {7, 7}},
        {"third release", true, {{0, 100, 100, 1}, {300, 101, 100, 1}, {300, 102, 100, 1}}, {7, 32, 32}},
        {"disabled", false, {{0, 100, 100, 1}, {100, 100, 100, 1}}, {7, 7}},
    };
    for (const Case& c : cases) {
        my_intrusive_ptr<RootItem> r(new RootItem);
        r->SetDoubleClickEnabled(c.enabled);
        auto h = Make<SpyHandler>(&journal, "h");
        r->AddEventHandler(h.get());
        std::vector<int> routed;
        h->onEvent = [&](Event& e) {
            routed.push_back(e.GetType());
            return true;
        };
        for (const Release& rel : c.releases) {
            now += rel.dt;
            Event up = Button(EventType::MouseButtonUp, rel.x, rel.y, rel.button);
            r->ProcessEvent(up);
        }
        EXPECT_EQ(routed, c.routed) << c.what;
    }
}

TEST_F(RootItemTest, DoubleClickReachesAButtonAwayFromTheOrigin) {
    auto button = Make<SpyItem>(&journal, "button");
    button->SetPosition(pf::Point(200, 100));
    root->AddItem(button.get());
    root->SetDoubleClickEnabled(true);
    Event up1 = Button(EventType::MouseButtonUp, 210, 110);
    Event up2 = Button(EventType::MouseButtonUp, 211, 110);
    root->ProcessEvent(up1);
    now += 100;
    root->ProcessEvent(up2);
    EXPECT_EQ(journal.back(), "event button 32");
    EXPECT_FLOAT_EQ(button->lastState.mouse.x, 11.0f);
    EXPECT_FLOAT_EQ(button->lastState.mouse.y, 10.0f);
}

TEST_F(RootItemTest, TreeMayReplaceTheRootDuringItsCycle) {
    auto child = Make<SpyItem>(&journal, "child");
    root->AddItem(child.get());
    auto late = new SpyItem(&journal, "late");
    root->AddItem(late);
    late->safeDelete();
    child->onCycle = [&] {
        SetRootItem(new RootItem);
        root.reset();  // the old root is now held only by its own cycle
    };
    RootItem* old = root.get();
    old->PostEvent(EventType::ButtonClick, 1, 0, 0, L"", L"", L"");
    old->Cycle();  // deletes and posted events of the old root still run, then it goes
    EXPECT_NE(std::find(journal.begin(), journal.end(), "destroy late"), journal.end());
    EXPECT_NE(GetRootItem(), old);
}

TEST_F(RootItemTest, DoubleClickNearTheTopOfTheClock) {
    root->SetDoubleClickEnabled(true);
    auto h = Make<SpyHandler>(&journal, "h");
    root->AddEventHandler(h.get());
    now = std::numeric_limits<int>::max() - 100;
    Event up1 = Button(EventType::MouseButtonUp, 10, 10);
    root->ProcessEvent(up1);
    now += 50;
    Event up2 = Button(EventType::MouseButtonUp, 10, 10);
    root->ProcessEvent(up2);
    EXPECT_EQ(journal, (std::vector<std::string>{"handle h 7", "handle h 32"}));
}

TEST_F(RootItemTest, DeferredDeleteWhoseRemovalTakesItsParentAlong) {
    // A child whose removal notice also removes its parent, which nothing else holds.
    struct TakesParentAlong : SpyItem {
        using SpyItem::SpyItem;
        void OnRemovedFromParent(Item* parent) override {
            SpyItem::OnRemovedFromParent(parent);
            if (Item* grand = parent->GetParent()) grand->RemoveItem(parent);
        }
    };
    auto* parent = new SpyItem(&journal, "parent");
    root->AddItem(parent);
    auto child = Make<TakesParentAlong>(&journal, "child");
    parent->AddItem(child.get());
    child->safeDelete();
    journal.clear();
    root->Cycle();
    EXPECT_TRUE(root->GetChildren().empty());
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_NE(std::find(journal.begin(), journal.end(), "destroy parent"), journal.end());
}
