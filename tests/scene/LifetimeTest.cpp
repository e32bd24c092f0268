// Lifetimes in the scene: objects nothing counts yet survive the holds taken on them, walks
// neither skip nor repeat when entries go, and clients read as none once they are gone.
#include <climits>
#include <utility>

#include "SceneTestSupport.h"
#include "scene/DragHandler.h"
#include "scene/EventManager.h"
#include "scene/ItemWalk.h"
#include "scene/TimeController.h"

using namespace scenetest;
using pf::Event;
using pf::EventType;

namespace {

// Sets a flag from its destructor, so a test can see a destruction without touching the
// object afterwards.
template <typename Base>
class Watched : public Base {
public:
    template <typename... A>
    explicit Watched(bool* destroyed, A&&... a) : Base(std::forward<A>(a)...), destroyed_(destroyed) {}
    ~Watched() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

std::vector<std::string> Tags(const std::vector<std::string>& journal) {
    std::vector<std::string> tags;
    for (const auto& line : journal) {
        const size_t space = line.find(' ');
        tags.push_back(line.substr(space + 1, 1));
    }
    return tags;
}

}  // namespace

class LifetimeTest : public SceneTest {};

// ---------------------------------------------------------------- uncounted objects

TEST_F(LifetimeTest, ARootNothingCountsSurvivesItsOwnFrame) {
    bool destroyed = false;
    auto* top = new Watched<RootItem>(&destroyed);
    ASSERT_EQ(top->GetRefCount(), 0);
    top->Cycle();
    ASSERT_FALSE(destroyed) << "Cycle";
    Event e = Button(EventType::MouseButtonUp, 3, 4);
    top->ProcessEvent(e);
    ASSERT_FALSE(destroyed) << "ProcessEvent";
    top->PostEvent(EventType::ButtonClick, 1, 0, 0, L"", L"", L"");
    top->DispatchPostedEvents();
    ASSERT_FALSE(destroyed) << "DispatchPostedEvents";
    RecordingDisplay display;
    top->Render(display);
    ASSERT_FALSE(destroyed) << "Render";
    EXPECT_EQ(top->GetRefCount(), 0);
    delete top;
    EXPECT_TRUE(destroyed);
}

TEST_F(LifetimeTest, HoldsOnAnOldParentNothingCountsLeaveItAlive) {
    bool destroyed = false;
    auto* old = new Watched<Item>(&destroyed);
    auto child = Make<Item>();
    old->AddItem(child.get());
    auto other = Make<Item>();
    other->AddItem(child.get());  // moves the child out of the uncounted parent
    ASSERT_FALSE(destroyed) << "AddItem";
    EXPECT_TRUE(old->GetChildren().empty());
    EXPECT_EQ(child->GetParent(), other.get());

    // A deferred delete out of a parent nothing counts.
    auto leaving = Make<Item>();
    old->AddItem(leaving.get());
    root->ScheduleDelete(leaving.get());
    root->Cycle();
    ASSERT_FALSE(destroyed) << "deferred delete";
    EXPECT_TRUE(old->GetChildren().empty());

    // Collecting from the top of such a tree does not hand the top to the list.
    old->AddItem(Make<Item>().get());
    {
        Item::ItemList found;
        old->CollectItemsOfType(found, TypeId::Item);
        EXPECT_EQ(found.size(), 1u);
    }
    ASSERT_FALSE(destroyed) << "CollectItemsOfType";

    // A deferred delete of the uncounted item itself detaches and cleans it up; its owner
    // deletes it. One its owner deleted before the root's cycle is skipped.
    ASSERT_EQ(old->GetChildren().size(), 1u);
    old->safeDelete();
    root->Cycle();
    ASSERT_FALSE(destroyed) << "safeDelete";
    EXPECT_TRUE(old->GetChildren().empty());
    bool gone = false;
    auto* early = new Watched<Item>(&gone);
    early->safeDelete();
    delete early;
    root->Cycle();
    EXPECT_EQ(root->GetScheduledDeleteCount(), 0u);
    delete old;
    EXPECT_TRUE(destroyed);
}

// ---------------------------------------------------------------- walks

// Three entries walked in the order first, second, third; the second's step removes one
// of them. Whatever goes, no other entry is skipped and none runs twice.
TEST_F(LifetimeTest, RemovalDuringAWalkNeitherSkipsNorRepeats) {
    enum Walk { CycleChildren, CycleHandlers, HandlerEvents, RouteChildren };
    enum Victim { Self, Earlier, Later };
    struct Case {
        Walk walk;
        Victim victim;
        std::vector<std::string> seen;
    };
    const std::vector<std::string> all = {"1", "2", "3"}, firstTwo = {"1", "2"};
    const Case cases[] = {
        {CycleChildren, Self, all},  {CycleChildren, Earlier, all},  {CycleChildren, Later, firstTwo},
        {CycleHandlers, Self, all},  {CycleHandlers, Earlier, all},  {CycleHandlers, Later, firstTwo},
        {HandlerEvents, Self, all},  {HandlerEvents, Earlier, all},  {HandlerEvents, Later, firstTwo},
        {RouteChildren, Self, all},  {RouteChildren, Earlier, all},  {RouteChildren, Later, firstTwo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "walk " << c.walk << ", victim " << c.victim);
        journal.clear();
        auto parent = Make<Item>();
        const bool handlers = c.walk == CycleHandlers || c.walk == HandlerEvents;
        // Children are offered events top-most (last) first, so they are added in reverse.
        const bool reversed = c.walk == RouteChildren;
        std::vector<my_intrusive_ptr<Item>> entries;
        std::function<void()> removeVictim;
        for (int i = 0; i < 3; ++i) {
            const std::string tag = std::to_string(reversed ? 3 - i : i + 1);
            if (handlers)
                entries.push_back(new SpyHandler(&journal, tag));
            else
                entries.push_back(new SpyItem(&journal, tag));
        }
        auto entryTagged = [&](int walkIndex) { return entries[reversed ? 2 - walkIndex : walkIndex].get(); };
        Item* victim = entryTagged(c.victim == Self ? 1 : c.victim == Earlier ? 0 : 2);
        auto remove = [&parent, victim, handlers] {
            if (handlers)
                parent->RemoveEventHandler(static_cast<EvtHandler*>(victim));
            else
                parent->RemoveItem(victim);
        };
        Item* second = entryTagged(1);
        for (auto& e : entries) {
            if (handlers) {
                auto* h = static_cast<SpyHandler*>(e.get());
                parent->AddEventHandler(h);
                if (h == second) {
                    h->onCycle = remove;
                    h->onEvent = [remove](Event&) { remove(); return false; };
                }
            } else {
                auto* s = static_cast<SpyItem*>(e.get());
                parent->AddItem(s);
                if (s == second) {
                    s->onCycle = remove;
                    s->onEvent = [remove](Event&) { remove(); return false; };
                }
            }
        }
        parent->SortChildren();
        journal.clear();
        Event e(EventType::ButtonClick, 0);
        if (c.walk == CycleChildren || c.walk == CycleHandlers)
            parent->Cycle();
        else if (c.walk == HandlerEvents)
            parent->HandleEvent(TreeState(), e);
        else
            parent->PassEvent(TreeState(), e);
        EXPECT_EQ(Tags(journal), c.seen);
    }
}

TEST_F(LifetimeTest, EntriesAddedDuringTheCycleRunOnceInTheSameFrame) {
    auto parent = Make<Item>();
    auto a = Make<SpyItem>(&journal, "a"), b = Make<SpyItem>(&journal, "b");
    auto late = Make<SpyItem>(&journal, "late");
    parent->AddItem(a.get());
    parent->AddItem(b.get());
    // a adds a child, then drops itself and b comes back at the end: each runs once.
    a->onCycle = [&] {
        parent->AddItem(late.get());
        parent->RemoveItem(b.get());
        parent->AddItem(b.get());
        parent->RemoveItem(a.get());
    };
    journal.clear();
    parent->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle a", "cycle b", "cycle late"}));
}

// ---------------------------------------------------------------- clients

TEST_F(LifetimeTest, AHandlerKeptBeyondItsItemReadsNoClient) {
    for (const bool viaCleanup : {false, true}) {
        SCOPED_TRACE(viaCleanup ? "cleanup" : "RemoveEventHandler");
        auto item = Make<Item>();
        my_intrusive_ptr<ClockHandler> clock(new ClockHandler);
        item->AddEventHandler(clock.get());
        if (viaCleanup)
            item->cleanup();
        else
            item->RemoveEventHandler(clock.get());
        EXPECT_EQ(clock->GetClient(), item.get());  // the item lives: the client stays
        item.reset();
        EXPECT_EQ(clock->GetClient(), nullptr);
        clock->PauseTime(true);  // what a script may still do with the handler it keeps
        EXPECT_EQ(clock->GetPauseCounter(), 1);
        root->Cycle();
    }
}

TEST_F(LifetimeTest, ModifiersOfAChildGoneWithItsParentReadNoClient) {
    auto parent = Make<Item>();
    Item* child = new Item;
    parent->AddItem(child);
    auto m = Make<Modifier>();
    auto tc = Make<TimeController>();
    tc->Init(100, TimeController::Forward, -1, nullptr);
    // The same pair also runs on another item; the child is its client.
    auto other = Make<Item>();
    other->AddModifier(m.get(), tc.get());
    child->AddModifier(m.get(), tc.get());
    ASSERT_EQ(m->GetClient(), child);
    ASSERT_EQ(tc->GetOwner(), child);
    parent.reset();  // stops the child's pairs, then destroys the child
    EXPECT_EQ(m->GetClient(), nullptr);
    EXPECT_EQ(m->GetParent(), nullptr);
    EXPECT_EQ(tc->GetOwner(), nullptr);
    other->Cycle();  // steps the pair held by the other item: no client, no time
    EXPECT_EQ(tc->Update(m.get()), 0.0f);
}

TEST_F(LifetimeTest, ADragClientThatIsGoneReadsAsNone) {
    auto item = Make<Item>();
    my_intrusive_ptr<DragHandler> drag(new DragHandler);
    item->AddEventHandler(drag.get());
    Item* window = new Item;
    root->AddItem(window);
    window->AddItem(item.get());
    drag->SetDragClient(window);
    EXPECT_EQ(drag->GetDragClient().get(), window);
    root->RemoveItem(window);  // frees the window; the item stays (held here)
    EXPECT_EQ(drag->GetDragClient().get(), nullptr);
}

// ---------------------------------------------------------------- routing details

TEST_F(LifetimeTest, ReleasesAtOppositeEndsOfTheIntRangeAreNoDoubleClick) {
    root->SetDoubleClickEnabled(true);
    auto spy = Make<SpyItem>(&journal, "spy");
    root->AddItem(spy.get());
    Event first = Button(EventType::MouseButtonUp, 2147483647, 0);
    root->ProcessEvent(first);
    Event second = Button(EventType::MouseButtonUp, -2147483647, 0);
    root->ProcessEvent(second);
    EXPECT_EQ(journal, (std::vector<std::string>{"event spy 7", "event spy 7"}));
    EXPECT_FALSE(pf::Point(2147483647, 0).IsNear(pf::Point(-2147483647, 0), 4));
    EXPECT_FALSE(pf::Point(0, INT_MIN).IsNear(pf::Point(0, INT_MAX), 4));
    EXPECT_TRUE(pf::Point(INT_MAX, INT_MIN).IsNear(pf::Point(INT_MAX - 3, INT_MIN + 3), 4));
}

namespace {
// Counts nothing as a key event and every event as a user event.
class LenientEvents : public EventManager {
public:
    bool IsKeyEvent(const Event&) const override { return false; }
    bool IsUserEvent(const Event&) const override { return true; }
};
}  // namespace

TEST_F(LifetimeTest, AnItemsOwnEventManagerSteersItsRouting) {
    auto parent = Make<Item>();
    auto child = Make<SpyItem>(&journal, "child");
    parent->AddItem(child.get());
    parent->SetEnableKeyEvents(false);
    parent->SetModal(true);
    Event key(EventType::KeyDown, 0), clock(EventType::Clock, 0);
    // The shared classifier by default: keys refused, engine messages pass a modal item.
    EXPECT_EQ(parent->GetEventManager(), EventManager::Shared());
    EXPECT_FALSE(parent->PassEvent(TreeState(), key));
    EXPECT_FALSE(parent->PassEvent(TreeState(), clock));
    EXPECT_TRUE(journal.size() == 1u);  // only the clock reached the child

    bool destroyed = false;
    parent->SetEventManager(new Watched<LenientEvents>(&destroyed));  // held by the item alone
    journal.clear();
    EXPECT_TRUE(parent->PassEvent(TreeState(), key));
    EXPECT_TRUE(parent->PassEvent(TreeState(), clock));
    EXPECT_EQ(journal, (std::vector<std::string>{"event child 2", "event child 33"}));
    EXPECT_FALSE(destroyed);

    // A handler may change the classifier while the event is routed.
    child->onEvent = [&](Event&) {
        parent->SetEventManager(nullptr);
        return false;
    };
    EXPECT_TRUE(parent->PassEvent(TreeState(), key));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(parent->GetEventManager(), nullptr);
    child->onEvent = nullptr;
    EXPECT_FALSE(parent->PassEvent(TreeState(), key));  // back to the shared one

    // Items made while the current root routes by its own classifier take that one.
    my_intrusive_ptr<EventManager> lenient(new LenientEvents);
    root->SetEventManager(lenient.get());
    EXPECT_EQ(Make<Item>()->GetEventManager(), lenient.get());
    EXPECT_EQ(my_intrusive_ptr<RootItem>(new RootItem)->GetEventManager(), EventManager::Shared());
}

// ---------------------------------------------------------------- pairs

namespace {
// A pair's halves that note their destruction in the journal.
class NotedModifier : public SpyModifier {
public:
    explicit NotedModifier(std::vector<std::string>* journal) : SpyModifier(journal, "m"), noted_(journal) {}
    ~NotedModifier() override { noted_->push_back("destroy modifier"); }

private:
    std::vector<std::string>* noted_;
};
class NotedController : public TimeController {
public:
    explicit NotedController(std::vector<std::string>* journal) : journal_(journal) {}
    ~NotedController() override { journal_->push_back("destroy controller"); }

private:
    std::vector<std::string>* journal_;
};
}  // namespace

// Pairs a, b and c; one of them restarts itself in its step (removed, then added again
// with its own controller). Every other pair is stepped once in that frame, the
// restarted one once more at most (adding a pair steps it once).
TEST_F(LifetimeTest, APairThatRestartsItselfLeavesThePairsAfterItStepped) {
    for (const std::string restarting : {"a", "b", "c"}) {
        SCOPED_TRACE("restarting " + restarting);
        auto item = Make<Item>();
        std::vector<my_intrusive_ptr<SpyModifier>> pairs;
        std::vector<my_intrusive_ptr<TimeController>> controllers;
        for (const std::string tag : {"a", "b", "c"}) {
            pairs.emplace_back(new SpyModifier(&journal, tag));
            controllers.emplace_back(new TimeController);
            controllers.back()->Init(1000, TimeController::Forward, -1, nullptr);
            item->AddModifier(pairs.back().get(), controllers.back().get());
        }
        const size_t r = static_cast<size_t>(restarting[0] - 'a');
        SpyModifier* self = pairs[r].get();
        TimeController* own = controllers[r].get();
        bool restarted = false;
        self->onCycle = [&item, &restarted, self, own] {
            if (std::exchange(restarted, true)) return;  // once
            item->RemoveModifier(self);
            item->AddModifier(self, own);
        };
        journal.clear();
        item->Cycle();
        std::vector<std::string> expected;
        for (const std::string tag : {"a", "b", "c"}) {
            expected.push_back("modifier " + tag);
            if (tag == restarting) expected.push_back("modifier " + tag);  // the restart's first step
        }
        EXPECT_EQ(journal, expected);
        ASSERT_EQ(item->GetModifiers().size(), 3u);
        EXPECT_EQ(item->GetModifiers().back().modifier.get(), self);
        journal.clear();
        item->Cycle();  // the next frame steps each once, the restarted one last
        EXPECT_EQ(journal.size(), 3u);
        EXPECT_EQ(journal.back(), "modifier " + restarting);
    }
}

// An entry lets go of its controller first, then of its modifier: also when a walk keeps
// the pair it lost until the walk ends.
TEST_F(LifetimeTest, APairTakenOutDuringAWalkIsDestroyedControllerFirst) {
    enum How { Finished, RemoveModifier, RemoveByName, RemoveAll, StopAll };
    for (const How how : {Finished, RemoveModifier, RemoveByName, RemoveAll, StopAll}) {
        for (const bool inWalk : {true, false}) {
            SCOPED_TRACE(testing::Message() << "how " << how << (inWalk ? ", in a walk" : ", no walk"));
            auto item = Make<Item>();
            auto* m = new NotedModifier(&journal);
            m->SetName(L"noted");
            auto* tc = new NotedController(&journal);
            tc->Init(1000, TimeController::Forward, -1, nullptr);
            item->AddModifier(m, tc);
            auto takeOut = [&item, m, how] {
                switch (how) {
                    case Finished: m->Finish(); break;
                    case RemoveModifier: item->RemoveModifier(m); break;
                    case RemoveByName: item->RemoveModifiersByName(L"noted"); break;
                    case RemoveAll: item->RemoveAllModifiers(); break;
                    case StopAll: item->StopModifiers(); break;
                }
            };
            journal.clear();
            if (inWalk) {
                m->onCycle = takeOut;
                item->Cycle();
            } else {
                takeOut();
                if (how == Finished) item->Cycle();  // the walk drops a finished pair
            }
            EXPECT_TRUE(item->GetModifiers().empty());
            const std::vector<std::string> released = {"destroy controller", "destroy modifier"};
            ASSERT_GE(journal.size(), 2u);
            EXPECT_EQ(std::vector<std::string>(journal.end() - 2, journal.end()), released);
        }
    }
}

// ---------------------------------------------------------------- direct calls

// Calls on an item made with no walk open, whose child's step lets go of the item's last
// holder (taking it out of the tree, or dropping the reference itself): the item lives
// until the call returns and finishes its own part of it.
TEST_F(LifetimeTest, TheReceiverOfADirectCallLivesThroughIt) {
    enum Call { PassEvent, ActorDraw, RemoveItemNotice };
    for (const Call call : {PassEvent, ActorDraw, RemoveItemNotice}) {
        SCOPED_TRACE(testing::Message() << "call " << call);
        journal.clear();
        bool destroyed = false;
        auto top = Make<Item>();
        my_intrusive_ptr<Item> holder;  // the receiver's only holder besides the tree
        RecordingDisplay display;
        if (call == PassEvent) {
            auto* receiver = new Watched<SpyItem>(&destroyed, &journal, "receiver");
            top->AddItem(receiver);
            auto* child = new SpyItem(&journal, "child");
            receiver->AddItem(child);
            child->onEvent = [&top, receiver](Event&) {
                top->RemoveItem(receiver);
                return false;
            };
            Event e(EventType::ButtonClick, 0);
            receiver->PassEvent(TreeState(), e);
            const std::string type = std::to_string(EventType::ButtonClick);
            EXPECT_EQ(journal, (std::vector<std::string>{"event child " + type, "event receiver " + type,
                                                         "destroy receiver", "destroy child"}));
        } else if (call == ActorDraw) {
            auto* receiver = new Watched<Actor>(&destroyed);
            receiver->SetUseClipRect(true);
            receiver->SetClipRect(pf::Rect(1, 2, 30, 40));
            top->AddItem(receiver);
            auto* child = new SpyItem(&journal, "child");
            child->onDraw = [&top, receiver] { top->RemoveItem(receiver); };
            receiver->AddItem(child);
            RenderState rs;
            rs.display = &display;
            rs.drawChildren = true;
            rs.alpha = 255;
            rs.clipRect = pf::Rect(0, 0, 800, 600);
            receiver->Draw(rs);
            // The actor's clip is set, then given back by its CompleteDraw.
            EXPECT_EQ(display.calls.back(), "clip(0,0,800,600)") << display.Joined();
        } else {
            holder = new Watched<Item>(&destroyed);
            Item* parent = holder.get();
            auto* child = new SpyItem(&journal, "child");
            parent->AddItem(child);
            child->onRemoved = [&holder] { holder.reset(); };
            parent->RemoveItem(child);
        }
        EXPECT_TRUE(destroyed);  // let go once the call returned
    }
}

// ---------------------------------------------------------------- appended entries

// Children appended during the walk, one of which appends more and takes out another
// appended one not yet stepped: each child listed when it is reached is stepped once.
TEST_F(LifetimeTest, EntriesAppendedDuringTheAppendedPartRunOnce) {
    auto parent = Make<Item>();
    auto a = Make<SpyItem>(&journal, "a");
    parent->AddItem(a.get());
    std::vector<my_intrusive_ptr<SpyItem>> late;
    for (const char* tag : {"x", "y", "z", "w"}) late.emplace_back(new SpyItem(&journal, tag));
    bool added = false, changed = false;
    a->onCycle = [&] {
        if (std::exchange(added, true)) return;
        for (size_t i = 0; i < 3; ++i) parent->AddItem(late[i].get());
    };
    late[0]->onCycle = [&] {
        if (std::exchange(changed, true)) return;
        parent->RemoveItem(late[1].get());  // y goes before its turn
        parent->AddItem(late[3].get());     // w comes after z
        parent->RemoveItem(late[0].get());  // and x itself goes
        parent->AddItem(late[0].get());     // and comes back: not stepped again
    };
    journal.clear();
    parent->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle a", "cycle x", "cycle z", "cycle w"}));
}

#ifndef NDEBUG
// A walk that finds an entry it borrowed freed (taken out of its list by a path that did
// not keep it) stops there, in debug builds and under the address sanitizer alike.
TEST_F(LifetimeTest, AWalkCatchesAnEntryTakenOutWithoutBeingKept) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Item::ItemList list;
            list.emplace_back(new Item);
            list.emplace_back(new Item);
            WalkEntries(list, false, false, [](Item*) { return true; },
                        [&list](Item*) {
                            list.pop_back();  // not through EraseListed: freed at once
                            return false;
                        });
        },
        "");
}
#endif
