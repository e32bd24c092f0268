// Input handlers driven through the root item as the application drives them: roll-over,
// pressing and clicking with the button filter, key equivalents, dragging with its
// threshold, snapping and screen confinement, and clients removed from inside callbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "scene/Actor.h"
#include "scene/ClockHandler.h"
#include "scene/DragHandler.h"
#include "scene/ScreenSize.h"
#include "time/TimeTestSupport.h"

namespace {

using pf::EventType;
using timetest::KeyEvent;
using timetest::MouseEvent;
using timetest::TestButton;

// Records the engine events the root delivers (after the items' handlers).
class EventRecorder : public EvtHandler {
public:
    std::vector<pf::Event> events;
    bool HandleEvent(const TreeState&, pf::Event& e) override {
        if (e.GetType() >= EventType::ButtonClick) events.push_back(e);
        return false;
    }
};

class Handlers : public timetest::TimeTest {
protected:
    TestButton* button = nullptr;  // held by the root only
    my_intrusive_ptr<EventRecorder> recorder = Make<EventRecorder>();
    std::vector<std::string> calls;

    void SetUp() override {
        TimeTest::SetUp();
        SetGameScreenSize(800, 600);
        root->AddEventHandler(recorder.get());
        button = new TestButton;
        button->SetPosition(pf::Point(90, 90));  // covers (90..189, 90..139)
        button->SetClickID(77);
        root->AddItem(button);
    }
    // Sends one input event through the root; answers whether a handler claimed it.
    bool Send(pf::Event e) {
        root->ProcessEvent(e);
        return e.IsClaimed();
    }
    template <typename H>
    H* Attach(H* h) {
        button->AddEventHandler(h);
        h->SetOnPressDown(Callback([this] { calls.push_back("down"); }));
        h->SetOnPressUp(Callback([this] { calls.push_back("up"); }));
        h->SetOnClick(Callback([this] { calls.push_back("click"); }));
        return h;
    }
};

TEST_F(Handlers, RollOverTracksTheMouseWithoutClaiming) {
    auto* h = new RollOverHandler;
    button->AddEventHandler(h);
    h->SetOnEnter(Callback([this] { calls.push_back("enter"); }));
    h->SetOnExit(Callback([this] { calls.push_back("exit"); }));
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseMotion, 100, 100)));
    EXPECT_TRUE(button->GetMouseOver());
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseMotion, 110, 100)));
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseMotion, 10, 10)));
    EXPECT_FALSE(button->GetMouseOver());
    EXPECT_EQ(calls, (std::vector<std::string>{"enter", "exit"}));
}

TEST_F(Handlers, PressAndReleaseOnTheClientClicks) {
    Attach(new ButtonHandler);
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseButtonDown, 100, 100)));
    EXPECT_TRUE(button->IsPressed());
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseButtonUp, 101, 101)));
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(button->clicks, (std::vector<int>{pf::ButtonType::Left}));
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "click", "up"}));
}

TEST_F(Handlers, PressMoveOffReleaseDoesNotClick) {
    Attach(new ButtonHandler);
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseMotion, 300, 300));
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseButtonUp, 300, 300)));
    EXPECT_TRUE(button->clicks.empty());
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "up"}));
}

TEST_F(Handlers, ButtonFilter) {
    struct Case {
        int filter, button;
        bool acts;
    };
    for (const Case& c : {Case{3, pf::ButtonType::Left, false}, Case{3, pf::ButtonType::Right, true},
                          Case{0, pf::ButtonType::Middle, true}, Case{1, pf::ButtonType::Left, true}}) {
        SCOPED_TRACE("filter " + std::to_string(c.filter) + ", button " + std::to_string(c.button));
        button->RemoveAllEventHandlers();
        button->clicks.clear();
        calls.clear();
        Attach(new ButtonHandler)->SetMouseButton(c.filter);
        EXPECT_EQ(Send(MouseEvent(EventType::MouseButtonDown, 100, 100, c.button)), c.acts);
        EXPECT_EQ(button->IsPressed(), c.acts);
        EXPECT_EQ(Send(MouseEvent(EventType::MouseButtonUp, 100, 100, c.button)), c.acts);
        EXPECT_EQ(button->clicks.size(), c.acts ? 1u : 0u);
        EXPECT_EQ(calls.size(), c.acts ? 3u : 0u);
    }
}

TEST_F(Handlers, APressOutsideReleasesUnlessTheClientIsSelected) {
    Attach(new ButtonHandler);
    button->SetPressed(true);
    button->SetSelected(true);
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseButtonDown, 5, 5)));
    EXPECT_TRUE(button->IsPressed());
    button->SetSelected(false);
    Send(MouseEvent(EventType::MouseButtonDown, 5, 5));
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(calls, (std::vector<std::string>{"up"}));
}

TEST_F(Handlers, DoubleClickGoesToDoubleClickWithoutOnClick) {
    Attach(new ButtonHandler);
    root->SetDoubleClickEnabled(true);
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseButtonUp, 100, 100));
    now += 100;
    Send(MouseEvent(EventType::MouseButtonDown, 101, 100));
    Send(MouseEvent(EventType::MouseButtonUp, 101, 100));  // becomes a double click (32)
    EXPECT_EQ(button->clicks.size(), 1u);
    EXPECT_EQ(button->doubleClicks, (std::vector<int>{pf::ButtonType::Left}));
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "click", "up", "down", "up"}));
}

TEST_F(Handlers, InvisibleOrDisabledClientsGetNoHookCalls) {
    Attach(new ButtonHandler);
    button->SetVisible(false);
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseButtonDown, 100, 100)));
    button->SetVisible(true);
    button->SetEnabled(false);
    EXPECT_FALSE(Send(MouseEvent(EventType::MouseButtonDown, 100, 100)));
    EXPECT_FALSE(button->IsPressed());
    EXPECT_TRUE(calls.empty());

    // Directly: a tree state without the enable flag, or an event already claimed.
    auto h = Make<ButtonHandler>();
    auto other = Make<TestButton>();
    other->AddEventHandler(h.get());
    pf::Event e = MouseEvent(EventType::MouseButtonDown, 10, 10);
    TreeState s;
    s.mouse = pf::VectorT3(10, 10, 0);
    s.enable = false;
    h->HandleEvent(s, e);
    EXPECT_FALSE(other->IsPressed());
    s.enable = true;
    e.SetClaimed(true);
    h->HandleEvent(s, e);
    EXPECT_FALSE(other->IsPressed());
    e.SetClaimed(false);
    h->HandleEvent(s, e);
    EXPECT_TRUE(other->IsPressed());
}

TEST_F(Handlers, KeyEquivalentsPostAButtonClick) {
    Attach(new ButtonHandler);
    button->keys[0] = 13;
    button->keys[1] = 'k';
    pf::Event none = KeyEvent(0);
    EXPECT_FALSE(Send(none));
    EXPECT_FALSE(Send(KeyEvent('q')));
    EXPECT_EQ(root->GetPostedEventCount(), 0u);
    EXPECT_FALSE(Send(KeyEvent('k')));  // not claimed
    EXPECT_TRUE(button->clicks.empty());
    Frame();
    ASSERT_EQ(recorder->events.size(), 1u);
    const pf::Event& click = recorder->events[0];
    EXPECT_EQ(click.GetType(), EventType::ButtonClick);
    EXPECT_EQ(click.GetInt(pf::EventProperty::CLICK_ID), 77);
    EXPECT_EQ(click.GetInt(pf::EventProperty::USER_DATA_1), 0);
    EXPECT_EQ(click.GetInt(pf::EventProperty::USER_DATA_2), 0);
    EXPECT_EQ(click.GetString(0), L"");

    // A client that is not a button has no key equivalents.
    auto plain = new TestButton(false);
    plain->keys[0] = 'z';
    root->AddItem(plain);
    plain->AddEventHandler(new ButtonHandler);
    Send(KeyEvent('z'));
    EXPECT_EQ(root->GetPostedEventCount(), 0u);
}

TEST_F(Handlers, ClientRemovedInsideItsClickCallback) {
    // Neither the button nor its handler is held by the test: the callback drops the last
    // references while the handler is still running.
    auto* h = Attach(new ButtonHandler);
    h->SetOnClick(Callback([this] {
        calls.push_back("click");
        root->RemoveItem(button);
    }));
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseButtonUp, 100, 100)));
    EXPECT_TRUE(root->GetChildren().empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "click", "up"}));
}

TEST_F(Handlers, HandlerRemovedInsideTheClientsClick) {
    Attach(new ButtonHandler);
    button->onClickHook = [this] { button->RemoveAllEventHandlers(); };
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseButtonUp, 100, 100));
    EXPECT_TRUE(button->GetEventHandlers().empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "click", "up"}));
}

TEST_F(Handlers, HandlerHeldBeyondItsClientForgetsIt) {
    my_intrusive_ptr<ButtonHandler> h(Attach(new ButtonHandler));
    root->RemoveItem(button);
    button = nullptr;
    EXPECT_EQ(h->GetClient(), nullptr);
    pf::Event e = MouseEvent(EventType::MouseButtonUp, 100, 100);
    EXPECT_FALSE(h->HandleEvent(TreeState(), e));
}

// ---------------------------------------------------------------- dragging

class Dragging : public Handlers {
protected:
    DragHandler* drag = nullptr;
    int drags = 0;
    void SetUp() override {
        Handlers::SetUp();
        drag = Attach(new DragHandler);
        drag->SetOnDrag(Callback([this] { ++drags; }));
    }
    std::vector<int> PostedTypes() const {
        std::vector<int> t;
        for (const auto& e : recorder->events) t.push_back(e.GetType());
        return t;
    }
};

TEST_F(Dragging, ThresholdStartMoveAndEnd) {
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseButtonDown, 100, 100)));
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseMotion, 103, 103)));  // distance 4: claimed, no drag
    EXPECT_FALSE(drag->IsDragging());
    EXPECT_EQ(root->GetPostedEventCount(), 0u);
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseMotion, 104, 103)));  // distance 5
    EXPECT_TRUE(drag->IsDragging());
    Frame();
    ASSERT_EQ(PostedTypes(), (std::vector<int>{EventType::DragStart}));
    const pf::Event& start = recorder->events[0];
    EXPECT_EQ(start.GetInt(pf::EventProperty::CLICK_ID), 36);
    EXPECT_EQ(start.GetInt(pf::EventProperty::USER_DATA_1), button->GetCreationID());
    EXPECT_EQ(getItemByID(start.GetInt(pf::EventProperty::USER_DATA_1)), ItemLeakDetector::IsEnabled() ? button : nullptr);
    EXPECT_EQ(start.GetInt(pf::EventProperty::USER_DATA_2), 77);

    // Grabbed at (14, 13) inside the item; the move follows the mouse, unconfined.
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseMotion, 150, 160)));
    EXPECT_EQ(button->GetPosition(), pf::Point(136, 147));
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseMotion, 900, -40)));
    EXPECT_EQ(button->GetPosition(), pf::Point(886, -53));
    EXPECT_EQ(drags, 2);

    EXPECT_FALSE(Send(MouseEvent(EventType::MouseButtonUp, 900, -40)));  // not claimed
    EXPECT_FALSE(drag->IsDragging());
    EXPECT_FALSE(button->IsPressed());
    EXPECT_TRUE(button->clicks.empty());
    Frame();
    EXPECT_EQ(PostedTypes(), (std::vector<int>{EventType::DragStart, EventType::DragEnd}));
    EXPECT_EQ(recorder->events[1].GetInt(pf::EventProperty::CLICK_ID), 37);
}

TEST_F(Dragging, PressAndReleaseWithoutMotionStillEndsADrag) {
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseButtonUp, 100, 100));
    Frame();
    EXPECT_EQ(PostedTypes(), (std::vector<int>{EventType::DragEnd}));
    EXPECT_TRUE(button->clicks.empty());
}

TEST_F(Dragging, DragClientMovesInsteadOfTheClient) {
    auto frame = new Item;
    root->AddItem(frame);
    frame->SetPosition(pf::Point(10, 10));
    drag->SetDragClient(frame);
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseMotion, 110, 100));
    Send(MouseEvent(EventType::MouseMotion, 130, 120));
    EXPECT_EQ(frame->GetPosition(), pf::Point(30, 30));
    EXPECT_EQ(button->GetPosition(), pf::Point(90, 90));
    EXPECT_EQ(drag->GetDragClient().get(), frame);
}

TEST_F(Dragging, SnapOnRelease) {
    struct Case {
        int step, originX, dropX, expectX;
    };
    const Case cases[] = {{10, 0, 14, 20}, {10, 0, 13, 10}, {10, 0, -6, 0}, {10, 0, 3, 0},
                          {10, 0, 4, 10}, {10, 5, 14, 15},  {1, 0, 14, 14}, {0, 0, 13, 13},
                          // Grid and origin come from item properties: position minus origin
                          // leaves the int range here, the snapped position does not.
                          {1 << 30, -(1 << 30), 1 << 30, 1 << 30},
                          {1 << 30, 1610612736, -1610612736, -536870912},
                          {1 << 29, 0, -(1 << 30), -(1 << 29)}};
    for (const Case& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step) + ", origin " + std::to_string(c.originX) +
                     ", x " + std::to_string(c.dropX));
        drag->SetSnapTo(c.step);
        drag->SetConfines(pf::Rect(c.originX, 40, 800, 600));
        pf::Event e = MouseEvent(EventType::MouseMotion, 0, 0);
        drag->StartDrag(TreeState(), e);
        button->SetPosition(pf::Point(c.dropX, 40));
        drag->EndDrag(TreeState(), e);
        EXPECT_EQ(button->GetX(), c.expectX);
        EXPECT_EQ(button->GetY(), 40);  // on the origin's grid line already
    }
}

TEST_F(Dragging, ADragClientThatIsGoneIsNeverTouched) {
    // The drag client is not counted: once it has left the client's tree (here it is
    // freed), no drag moves it and the getter no longer hands it out.
    auto* frame = new Item;  // held by the root only
    root->AddItem(frame);
    drag->SetDragClient(frame);
    EXPECT_EQ(drag->GetDragClient().get(), frame);
    root->RemoveItem(frame);
    EXPECT_EQ(drag->GetDragClient().get(), nullptr);

    testkit::LogCapture log;
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    EXPECT_TRUE(Send(MouseEvent(EventType::MouseMotion, 120, 100)));
    EXPECT_FALSE(drag->IsDragging());
    EXPECT_TRUE(log.Contains("drag client"));
    EXPECT_EQ(button->GetPosition(), pf::Point(90, 90));
    Send(MouseEvent(EventType::MouseButtonUp, 120, 100));
    Frame();
    EXPECT_EQ(PostedTypes(), (std::vector<int>{EventType::DragEnd}));

    // A drag client added again later is found again.
    auto back = Make<Item>();
    root->AddItem(back.get());
    drag->SetDragClient(back.get());
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseMotion, 120, 100));
    Send(MouseEvent(EventType::MouseMotion, 130, 110));
    EXPECT_EQ(back->GetPosition(), pf::Point(10, 10));
}

TEST_F(Dragging, ConfineToScreenSetsTheConfinesAtDragStart) {
    drag->SetProperty(L"confineToScreen", L"yes");
    EXPECT_TRUE(drag->GetConfineToScreen());
    EXPECT_EQ(drag->GetConfines(), pf::Rect(0, 0, 800, 600));
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseMotion, 110, 100));
    EXPECT_EQ(drag->GetConfines(), pf::Rect(0, 0, 700, 550));
}

TEST_F(Dragging, ThresholdAndPropertiesAreSettable) {
    drag->SetDragThreshold(20);
    EXPECT_TRUE(drag->SetProperty(L"snapTo", L"8"));
    EXPECT_TRUE(drag->SetProperty(L"confines", L"1,2,3,4"));
    EXPECT_FALSE(drag->SetProperty(L"nonsense", L"1"));
    EXPECT_EQ(drag->GetSnapTo(), 8);
    EXPECT_EQ(drag->GetConfines(), pf::Rect(1, 2, 3, 4));
    Send(MouseEvent(EventType::MouseButtonDown, 100, 100));
    Send(MouseEvent(EventType::MouseMotion, 110, 110));
    EXPECT_FALSE(drag->IsDragging());
    Send(MouseEvent(EventType::MouseMotion, 120, 100));
    EXPECT_TRUE(drag->IsDragging());
}

TEST_F(Dragging, ActorPropertiesConfigureOneDragHandler) {
    auto actor = Make<Actor>();
    EXPECT_TRUE(actor->SetProperty(L"snapTo", L"12px"));
    EXPECT_TRUE(actor->SetProperty(L"confines", L"5,6,70,80"));
    ASSERT_EQ(actor->GetEventHandlers().size(), 1u);
    auto* d = static_cast<DragHandler*>(actor->GetEventHandlerOfType(TypeId::DragHandler));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetSnapTo(), 12);
    EXPECT_EQ(d->GetConfines(), pf::Rect(5, 6, 70, 80));
    EXPECT_EQ(d->GetClient(), actor.get());
}

TEST(HandlerClasses, IdsAndNames) {
    struct Case {
        const char* name;
        my_intrusive_ptr<Item> h;
        std::vector<int> ids;
        const wchar_t* itemName;
    };
    const Case cases[] = {
        {"EvtHandler", new EvtHandler, {20, 1, 0}, L"EventHandler"},
        {"RollOverHandler", new RollOverHandler, {22, 20, 1, 0}, L"EventHandler"},
        {"ButtonHandler", new ButtonHandler, {24, 22, 20, 1, 0}, L"ButtonHandler"},
        {"DragHandler", new DragHandler, {25, 24, 22, 20, 1, 0}, L"ButtonHandler"},
        {"ClockHandler", new ClockHandler, {21, 20, 1, 0}, L"EventHandler"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.h->GetName(), c.itemName);
        for (int id = 0; id < 100; ++id) {
            const bool expected = std::find(c.ids.begin(), c.ids.end(), id) != c.ids.end();
            EXPECT_EQ(c.h->IsKindOf(id), expected) << id;
        }
    }
}

}  // namespace
