#include <stdexcept>

#include "SceneTestSupport.h"
#include "shell/foundation/Base.h"
#include "scene/EventManager.h"
#include "scene/ResAnim.h"

using namespace scenetest;

namespace {

class ParticleMgrLike : public Actor {
public:
    // An actor that does not answer 12.
    bool IsKindOf(int id) const override { return id == TypeId::ParticleMgr || Item::IsKindOf(id); }
};

class AnyResAnim : public ResAnim {
public:
    int GetNumCels() const override { return 1; }
    int GetNumLoops() const override { return 1; }
    pf::Surface* getCel(int, int) override { return nullptr; }
    std::wstring GetId() const override { return L"x"; }
};

}  // namespace

TEST(BaseTest, CreationIdsNamesAndCounts) {
    const int before = GetLastCreationID();
    Base a;
    EXPECT_EQ(a.GetCreationID(), before + 1);
    Base b(L"named");
    EXPECT_EQ(b.GetCreationID(), before + 2);
    EXPECT_EQ(GetLastCreationID(), before + 2);
    Base copy(b);
    EXPECT_EQ(copy.GetCreationID(), before + 3);
    EXPECT_EQ(copy.GetName(), L"named");
    EXPECT_EQ(a.GetName(), L"Base");
    EXPECT_EQ(a.ToString(), L"'Base'  cid: " + std::to_wstring(before + 1) + L"\n");
    EXPECT_EQ(a.SetVerbose(5), 0);
    EXPECT_EQ(a.SetVerbose(1), 5);

    // A release without a reference only counts down (on a heap object: the compiler
    // warns about a delete it cannot rule out on a stack one); the count then has to come
    // back up through zero before a release frees it.
    Base* loose = new Base;
    loose->Release();
    EXPECT_EQ(loose->GetRefCount(), -1);
    loose->AddRef();
    loose->AddRef();
    EXPECT_EQ(loose->GetRefCount(), 1);
    loose->Release();
}

TEST(BaseTest, ClassIdTable) {
    struct Case {
        const char* what;
        Base* object;
        std::vector<int> yes;
    };
    auto item = my_intrusive_ptr<Item>(new Item);
    auto actor = my_intrusive_ptr<Actor>(new Actor);
    auto root = my_intrusive_ptr<RootItem>(new RootItem);
    auto handler = my_intrusive_ptr<EvtHandler>(new EvtHandler);
    auto clock = my_intrusive_ptr<ClockHandler>(new ClockHandler);
    auto particles = my_intrusive_ptr<ParticleMgrLike>(new ParticleMgrLike);
    auto anim = my_intrusive_ptr<AnyResAnim>(new AnyResAnim);
    Base base;
    const Case cases[] = {
        {"Base", &base, {0}},
        {"Item", item.get(), {1, 0}},
        {"Actor", actor.get(), {12, 1, 0}},
        {"RootItem", root.get(), {12, 1, 0}},
        {"EvtHandler", handler.get(), {20, 1, 0}},
        {"ClockHandler", clock.get(), {21, 20, 1, 0}},
        {"EventManager", EventManager::Shared(), {27, 0}},
        {"ParticleMgr", particles.get(), {94, 1, 0}},
        {"ResAnim", anim.get(), {31, 0}},
    };
    for (const Case& c : cases) {
        for (int id = 0; id < 100; ++id) {
            const bool expected = std::find(c.yes.begin(), c.yes.end(), id) != c.yes.end();
            EXPECT_EQ(c.object->IsKindOf(id), expected) << c.what << " id " << id;
        }
    }
    EXPECT_EQ(item->GetName(), L"Item");
    EXPECT_EQ(actor->GetName(), L"Actor");
    EXPECT_EQ(root->GetName(), L"RootItem");
    EXPECT_EQ(handler->GetName(), L"EventHandler");
}

class ItemTest : public SceneTest {};

TEST_F(ItemTest, ChildrenSortStablyByPriorityAtTheNextCycle) {
    auto parent = Make<Item>();
    auto a = Make<Item>(), b = Make<Item>(), c = Make<Item>();
    a->SetPriority(5);
    b->SetPriority(0);
    c->SetPriority(5);
    parent->AddItem(a.get());
    parent->AddItem(b.get());
    parent->AddItem(c.get());
    EXPECT_EQ(parent->GetChildren()[0], a);  // lazy: not sorted yet
    parent->Cycle();
    ASSERT_EQ(parent->GetChildren().size(), 3u);
    EXPECT_EQ(parent->GetChildren()[0], b);
    EXPECT_EQ(parent->GetChildren()[1], a);
    EXPECT_EQ(parent->GetChildren()[2], c);

    b->SetPriority(9);
    EXPECT_EQ(parent->GetChildren()[0], b);
    parent->Cycle();
    EXPECT_EQ(parent->GetChildren()[2], b);
}

TEST_F(ItemTest, AddItemTwiceKeepsOneEntryAndMovesBetweenParents) {
    auto p1 = Make<Item>(), p2 = Make<Item>();
    auto child = Make<Item>();
    p1->AddItem(child.get());
    p1->AddItem(child.get());
    EXPECT_EQ(p1->GetChildren().size(), 1u);
    EXPECT_EQ(child->GetRefCount(), 2);

    p2->AddItem(child.get());
    EXPECT_TRUE(p1->GetChildren().empty());
    ASSERT_EQ(p2->GetChildren().size(), 1u);
    EXPECT_EQ(child->GetParent(), p2.get());
    EXPECT_EQ(child->GetRefCount(), 2);

    // An item never becomes its own ancestor.
    child->AddItem(p2.get());
    EXPECT_TRUE(child->GetChildren().empty());
}

TEST_F(ItemTest, PositionSettersTruncate) {
    auto item = Make<Item>();
    item->SetPositionF(pf::VectorT2(3.5f, 7.75f));
    EXPECT_EQ(item->GetPosition(), pf::Point(3, 7));
    item->SetX(10);
    EXPECT_EQ(item->GetPositionF(), pf::VectorT2(10.0f, 7.0f));
    item->SetPositionF(pf::VectorT2(-2.5f, 0.0f));
    EXPECT_EQ(item->GetX(), -2);
}

TEST_F(ItemTest, StateSettersNotifyOnlyOnChange) {
    struct Counter : Item {
        int updates = 0;
        void UpdateDisplayState() override { ++updates; }
    };
    auto item = Make<Counter>();
    item->SetEnabled(false);
    item->SetEnabled(false);
    item->SetPressed(true);
    item->SetSelected(false);
    EXPECT_EQ(item->updates, 2);
}

TEST_F(ItemTest, HandlersOfATypeAreRemovedEvenWhenAdjacent) {
    auto item = Make<Item>();
    auto c1 = Make<ClockHandler>(), c2 = Make<ClockHandler>();
    auto other = Make<EvtHandler>();
    item->AddEventHandler(c1.get());
    item->AddEventHandler(c2.get());
    item->AddEventHandler(other.get());
    EXPECT_EQ(c1->GetClient(), item.get());
    EXPECT_EQ(c1->GetParent(), item.get());
    item->RemoveEventHandlersOfType(TypeId::ClockHandler);
    ASSERT_EQ(item->GetEventHandlers().size(), 1u);
    EXPECT_EQ(item->GetEventHandlers()[0], other);
    EXPECT_EQ(c1->GetParent(), nullptr);
    EXPECT_EQ(c1->GetClient(), item.get());
}

TEST_F(ItemTest, CycleRunsModifiersHandlersThenChildrenInOrder) {
    auto top = Make<SpyItem>(&journal, "top");
    auto h = Make<SpyHandler>(&journal, "h");
    auto a = Make<SpyItem>(&journal, "a");
    auto b = Make<SpyItem>(&journal, "b");
    auto m = Make<SpyModifier>(&journal, "m");
    top->AddItem(b.get());
    top->AddItem(a.get());
    b->SetPriority(1);
    top->AddEventHandler(h.get());
    top->AddModifier(m.get(), nullptr);
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle top", "modifier m", "handler h", "cycle a", "cycle b"}));
}

TEST_F(ItemTest, FinishedModifiersAreDroppedAndAddedItemsRunInTheSameFrame) {
    auto top = Make<SpyItem>(&journal, "top");
    auto m = Make<SpyModifier>(&journal, "m");
    m->stepsLeft = 2;  // the first step happens in AddModifier
    top->AddModifier(m.get(), nullptr);
    auto late = Make<SpyItem>(&journal, "late");
    auto first = Make<SpyItem>(&journal, "first");
    first->onCycle = [&] { top->AddItem(late.get()); };
    top->AddItem(first.get());
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle top", "modifier m", "cycle first", "cycle late"}));
    EXPECT_TRUE(top->GetModifiers().empty());
    EXPECT_EQ(m->GetClient(), top.get());  // finished pairs are dropped without detaching
}

TEST_F(ItemTest, AStepRemovingItselfAndAnEarlierPairSkipsNoOtherPair) {
    auto top = Make<SpyItem>(&journal, "top");
    auto x = Make<SpyModifier>(&journal, "x");
    auto y = Make<SpyModifier>(&journal, "y");
    auto z = Make<SpyModifier>(&journal, "z");
    top->AddModifier(x.get(), nullptr);
    top->AddModifier(y.get(), nullptr);
    top->AddModifier(z.get(), nullptr);
    bool removed = false;
    y->onCycle = [&] {
        if (removed) return;
        removed = true;
        top->RemoveModifier(x.get());
        top->RemoveModifier(y.get());
    };
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle top", "modifier x", "modifier y", "modifier z"}));
    ASSERT_EQ(top->GetModifiers().size(), 1u);
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle top", "modifier z"}));
}

// The walks borrow their entries: a pair's step that drops its own pair, its item and
// the next sibling (each held by nothing else) leaves them alive until the walk is over.
TEST_F(ItemTest, APairMayDropItsOwnPairItsItemAndASiblingDuringCycle) {
    auto top = Make<Item>();
    auto owner = new SpyItem(&journal, "owner");
    auto sibling = new SpyItem(&journal, "sibling");
    top->AddItem(owner);
    top->AddItem(sibling);
    {
        auto first = new SpyModifier(&journal, "first");
        auto second = new SpyModifier(&journal, "second");
        owner->AddModifier(first, nullptr);
        owner->AddModifier(second, nullptr);
        first->onCycle = [&, owner, first] {
            owner->RemoveModifier(first);
            top->RemoveItem(owner);
            top->RemoveItem(sibling);
        };
    }
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle owner", "modifier first", "modifier second",
                                                 "destroy owner", "destroy sibling"}));
    EXPECT_TRUE(top->GetChildren().empty());
}

TEST_F(ItemTest, ChildMayRemoveItselfOrItsParentDuringCycle) {
    auto top = Make<Item>();
    auto mid = Make<SpyItem>(&journal, "mid");
    top->AddItem(mid.get());
    {
        auto self = new SpyItem(&journal, "self");
        self->onCycle = [self] { self->GetParent()->RemoveItem(self); };
        mid->AddItem(self);
    }
    auto killer = new SpyItem(&journal, "killer");
    killer->onCycle = [&] { top->RemoveItem(mid.get()); mid.reset(); };
    top->AddItem(killer);
    journal.clear();
    top->Cycle();
    // Items taken out of the tree during the cycle live until the whole walk is over, then
    // go in the order they were taken out.
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle mid", "cycle self", "cycle killer", "destroy self",
                                                 "destroy mid"}));
    ASSERT_EQ(top->GetChildren().size(), 1u);
}

TEST_F(ItemTest, ThrowingChildLeavesTheTreeUsable) {
    auto top = Make<Item>();
    auto bad = Make<SpyItem>(&journal, "bad");
    bad->onCycle = [&] {
        top->RemoveItem(bad.get());
        bad.reset();
        throw std::runtime_error("script error");
    };
    top->AddItem(bad.get());
    auto good = Make<SpyItem>(&journal, "good");
    top->AddItem(good.get());
    EXPECT_THROW(top->Cycle(), std::runtime_error);
    journal.clear();
    top->Cycle();
    EXPECT_EQ(journal, (std::vector<std::string>{"cycle good"}));
}

TEST_F(ItemTest, CleanupDetachesEverythingWithoutRemovalNotices) {
    struct Watch : SpyItem {
        using SpyItem::SpyItem;
        int removed = 0;
        void OnRemovedFromParent(Item* p) override { ++removed; Item::OnRemovedFromParent(p); }
    };
    auto top = Make<Item>();
    auto child = Make<Watch>(&journal, "child");
    auto grandchild = Make<Watch>(&journal, "grand");
    top->AddItem(child.get());
    child->AddItem(grandchild.get());
    top->AddEventHandler(Make<EvtHandler>().get());
    auto m = Make<SpyModifier>(&journal, "m");
    top->AddModifier(m.get(), nullptr);
    top->cleanup();
    EXPECT_TRUE(top->GetChildren().empty());
    EXPECT_TRUE(child->GetChildren().empty());
    EXPECT_TRUE(top->GetEventHandlers().empty());
    EXPECT_TRUE(top->GetModifiers().empty());
    EXPECT_EQ(m->GetClient(), nullptr);
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->removed + grandchild->removed, 0);

    // RemoveItem does notify the whole subtree.
    top->AddItem(child.get());
    child->AddItem(grandchild.get());
    top->RemoveItem(child.get());
    EXPECT_EQ(child->removed, 1);
    EXPECT_EQ(grandchild->removed, 1);
}

TEST_F(ItemTest, SearchesAndClone) {
    auto top = Make<Item>();
    top->SetName(L"top");
    auto a = Make<Item>();
    a->SetName(L"a");
    auto deep = Make<Actor>();
    deep->SetName(L"deep");
    top->AddItem(a.get());
    a->AddItem(deep.get());
    EXPECT_EQ(top->FindItem(L"deep"), deep.get());
    EXPECT_EQ(top->FindChildByName(L"deep"), nullptr);
    EXPECT_EQ(top->FindItem(L"top"), top.get());
    EXPECT_EQ(top->FindItem(L"none"), nullptr);
    Item::ItemList actors;
    top->CollectItemsOfType(actors, TypeId::Actor);
    ASSERT_EQ(actors.size(), 1u);
    EXPECT_TRUE(deep->IsDescendantOf(top.get()));
    EXPECT_TRUE(top->Contains(deep.get()));
    EXPECT_EQ(deep->ExpandName(L"$parent"), L"a");

    a->SetPositionF(pf::VectorT2(4.5f, 2.0f));
    a->SetClickID(7);
    a->AddEventHandler(Make<EvtHandler>().get());
    my_intrusive_ptr<Item> copy(a->Clone(nullptr));
    EXPECT_GT(copy->GetCreationID(), deep->GetCreationID());
    EXPECT_EQ(copy->GetName(), L"a");
    EXPECT_EQ(copy->GetPositionF(), pf::VectorT2(4.5f, 2.0f));
    EXPECT_EQ(copy->GetClickID(), 7);
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_TRUE(copy->GetEventHandlers().empty());
    ASSERT_EQ(copy->GetChildren().size(), 1u);
    EXPECT_TRUE(copy->GetChildren()[0]->IsKindOf(TypeId::Actor));
    EXPECT_NE(copy->GetChildren()[0].get(), deep.get());
}

TEST_F(ItemTest, TicksComeFromTheNearestClock) {
    auto top = Make<Item>();
    auto child = Make<Item>();
    top->AddItem(child.get());
    EXPECT_EQ(child->FindClockHandler(), root->FindClockHandler());
    auto clock = Make<ClockHandler>();
    top->AddEventHandler(clock.get());
    EXPECT_EQ(child->FindClockHandler(), clock.get());
    EXPECT_EQ(child->GetTicks(), now);
}

TEST_F(ItemTest, ClockSearchEndsWhenTheRootSitsInsideTheTree) {
    // A current root without a clock, placed under another item: the search must not go
    // round from the top item to the root and back.
    root->RemoveAllEventHandlers();
    auto top = Make<Item>();
    top->AddItem(root.get());
    EXPECT_EQ(top->FindClockHandler(), nullptr);
    EXPECT_EQ(top->GetTicks(), now);
    EXPECT_EQ(root->GetTicks(), now);
    top->RemoveItem(root.get());
}

TEST_F(ItemTest, ReleasingAStoppedModifierMayAddANewOne) {
    // A modifier whose release hands its item a successor (as a script object's
    // finaliser may).
    struct Relay : SpyModifier {
        using SpyModifier::SpyModifier;
        my_intrusive_ptr<Item> item;
        std::vector<std::string>* log = nullptr;
        ~Relay() override {
            if (item) item->AddModifier(new SpyModifier(log, "successor"), nullptr);
        }
    };
    for (bool viaStop : {true, false}) {
        auto item = Make<Item>();
        for (int i = 0; i < 3; ++i) {
            auto* relay = new Relay(&journal, "relay");
            relay->log = &journal;
            relay->item = item;
            item->AddModifier(relay, nullptr);
        }
        if (viaStop)
            item->StopModifiers();
        else
            item->RemoveAllDescendents(false);
        EXPECT_EQ(item->GetModifiers().size(), 3u) << viaStop;
        item->StopModifiers();  // successors carry no relay: the list ends empty
        EXPECT_TRUE(item->GetModifiers().empty());
    }
}

TEST_F(ItemTest, DestroyingAParentReleasesTheSubtree) {
    auto top = new SpyItem(&journal, "top");
    my_intrusive_ptr<Item> hold(top);
    top->AddItem(new SpyItem(&journal, "c1"));
    top->AddItem(new SpyItem(&journal, "c2"));
    hold.reset();
    EXPECT_EQ(journal, (std::vector<std::string>{"destroy top", "destroy c2", "destroy c1"}));
}

TEST_F(ItemTest, PositionsBeyondTheIntRangeSaturate) {
    auto item = Make<Item>();
    item->SetPositionF(pf::VectorT2(3e9f, -3e9f));
    EXPECT_EQ(item->GetPosition(), pf::Point(2147483647, -2147483647 - 1));
    item->SetPositionF(pf::VectorT2(12.9f, -12.9f));
    EXPECT_EQ(item->GetPosition(), pf::Point(12, -12));
}

// Objects taken out of the tree during a walk are let go when it ends: their releases may
// take more out (kept and let go in turn), a step that moves the next sibling under an
// item it then drops skips it without reading freed memory, and an exception leaving the
// walk lets go of everything too. No walk is open afterwards.
TEST_F(ItemTest, WhatAWalkKeepsIsLetGoWhenItEndsWhateverTheReleasesDo) {
    struct Dropper : EvtHandler {
        std::function<void()> onDestroy;
        ~Dropper() override {
            if (onDestroy) onDestroy();
        }
    };
    for (const bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "throwing" : "returning");
        journal.clear();
        auto top = Make<Item>();
        auto* a = new SpyItem(&journal, "a");
        auto* b = new SpyItem(&journal, "b");
        auto* c = new SpyItem(&journal, "c");
        auto* d = new SpyItem(&journal, "d");
        for (Item* x : {static_cast<Item*>(a), static_cast<Item*>(b), static_cast<Item*>(c), static_cast<Item*>(d)})
            top->AddItem(x);
        // a's handler, let go with a, takes d out of the tree as it goes.
        auto* dropper = new Dropper;
        dropper->onDestroy = [&top, d, this] {
            journal.push_back("dropper gone");
            top->RemoveItem(d);
        };
        a->AddEventHandler(dropper);
        a->onCycle = [&top, a, b, throws] {
            top->RemoveItem(a);
            {
                // b moves under an item that is dropped at once.
                my_intrusive_ptr<Item> elsewhere(new Item);
                elsewhere->AddItem(b);
            }
            if (throws) throw std::runtime_error("script error");
        };
        if (throws)
            EXPECT_THROW(top->Cycle(), std::runtime_error);
        else
            top->Cycle();
        EXPECT_FALSE(WalkScope::Open());
        const std::vector<std::string> cycled =
            throws ? std::vector<std::string>{"cycle a"} : std::vector<std::string>{"cycle a", "cycle c", "cycle d"};
        std::vector<std::string> expected = cycled;
        for (const char* s : {"destroy a", "destroy b", "dropper gone", "destroy d"}) expected.push_back(s);
        EXPECT_EQ(journal, expected);
        ASSERT_EQ(top->GetChildren().size(), 1u);
        EXPECT_EQ(top->GetChildren()[0].get(), c);
    }
}

// Drawing and event routing borrow the children too: a step that empties its parent and
// drops the parent's last holder leaves every item alive until the walk is over.
TEST_F(ItemTest, DrawingAndRoutingSurviveAStepThatDropsTheWholeSubtree) {
    struct Wrecker : SpyItem {
        using SpyItem::SpyItem;
        std::function<void()> onDraw;
        void Draw(const RenderState& rs) override {
            if (onDraw) onDraw();
            Item::Draw(rs);
        }
    };
    for (const bool routing : {false, true}) {
        SCOPED_TRACE(routing ? "routing" : "drawing");
        journal.clear();
        auto* branch = new SpyItem(&journal, "branch");
        root->AddItem(branch);
        auto* first = new Wrecker(&journal, "first");
        auto* second = new SpyItem(&journal, "second");
        branch->AddItem(second);
        branch->AddItem(first);  // routed first: the top-most child
        auto wreck = [this, branch] {
            branch->RemoveAllDescendents(true);
            root->RemoveItem(branch);
        };
        first->onDraw = wreck;
        first->onEvent = [&wreck](pf::Event&) {
            wreck();
            return false;
        };
        if (routing) {
            pf::Event e(pf::EventType::KeyDown, 0);
            EXPECT_FALSE(root->ProcessEvent(e));
        } else {
            RecordingDisplay display;
            root->Render(display);
        }
        EXPECT_FALSE(WalkScope::Open());
        const std::vector<std::string> expected =
            routing ? std::vector<std::string>{"event first 2", "event branch 2", "destroy first", "destroy second",
                                                 "destroy branch"}
                    : std::vector<std::string>{"destroy first", "destroy second", "destroy branch"};
        EXPECT_EQ(journal, expected);
        EXPECT_EQ(root->GetChildren().size(), 0u);
    }
}
