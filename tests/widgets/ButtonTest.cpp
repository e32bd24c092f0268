// Buttons: the look of each state, the one hovered button, and what clicks, toggles and
// double clicks post, play and call when real input goes through the root.
#include "WidgetsFixture.h"

#include "widgets/Button.h"
#include "scene/ButtonHandler.h"
#include "shell/foundation/TextHelpers.h"

using namespace widgettest;
using pf::Event;
using pf::EventType;

namespace {

class ButtonTest : public WidgetTest {
protected:
    // A button of 40 x 20 cels at (100, 100) in the root, 4 cels by 2 loops unless asked.
    my_intrusive_ptr<Button> AddButton(int cels = 4, int loops = 2, pf::Point at = pf::Point(100, 100)) {
        auto b = Make<Button>();
        b->SetResAnim(MemoryAnim(cels, loops).get());
        b->SetPosition(at);
        b->SetClickID(7);
        root->AddItem(b.get());
        return b;
    }
    void Send(int type, int x, int y) {
        Event e = scenetest::Button(type, x, y);
        root->ProcessEvent(e);
    }
    void ClickAt(int x, int y) {
        Send(EventType::MouseButtonDown, x, y);
        Send(EventType::MouseButtonUp, x, y);
    }
};

TEST_F(ButtonTest, StateTableGivesCelLoopHoverAndSound) {
    struct Case {
        const char* name;
        bool enabled, pressed, over, selected, toggle;
        int cels, startCel;
        int cel, loop;
        bool hovered, sound;
    };
    const Case cases[] = {
        {"normal", true, false, false, false, false, 4, 2, 0, 0, false, false},
        {"disabled, 4 cels", false, false, false, false, false, 4, 1, 3, 0, false, false},
        {"disabled, 3 cels keeps its cel", false, false, false, false, false, 3, 2, 2, 0, false, false},
        {"disabled wins over pressed and over", false, true, true, false, false, 4, 0, 3, 0, false, false},
        {"pressed", true, true, false, false, false, 4, 0, 1, 0, false, false},
        {"pressed, 2 cels", true, true, false, false, false, 2, 0, 1, 0, false, false},
        {"pressed, 1 cel", true, true, false, false, false, 1, 0, 0, 0, false, false},
        {"pressed wins over over", true, true, true, false, false, 4, 0, 1, 0, false, false},
        {"over", true, false, true, false, false, 3, 0, 2, 0, true, true},
        {"over, 2 cels: no hover cel", true, false, true, false, false, 2, 0, 0, 0, false, true},
        {"over a selected button", true, false, true, true, false, 4, 2, 0, 0, false, false},
        {"over a selected toggle", true, false, true, true, true, 4, 0, 2, 1, true, true},
        {"selected toggle", true, false, false, true, true, 4, 0, 0, 1, false, false},
        {"unselected toggle", true, false, false, false, true, 4, 0, 0, 0, false, false},
        {"pressed selected toggle", true, true, false, true, true, 4, 0, 1, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto b = Make<Button>();
        b->SetResAnim(MemoryAnim(c.cels, 2).get());
        b->SetRolloverSound(L"roll");
        b->SetToggle(c.toggle);
        b->SetSelected(c.selected);
        b->SetMouseOver(c.over);
        b->SetPressed(c.pressed);
        b->SetEnabled(c.enabled);
        b->SetCel(c.startCel);
        sounds->ids.clear();
        b->UpdateDisplayState();
        EXPECT_EQ(b->GetCel(), c.cel);
        EXPECT_EQ(b->GetLoop(), c.loop);
        EXPECT_EQ(Button::GetHoveredButton() == b.get(), c.hovered);
        EXPECT_EQ(sounds->ids, c.sound ? std::vector<std::wstring>{L"roll"} : std::vector<std::wstring>{});
    }
}

TEST_F(ButtonTest, OneHoveredButtonAtATime) {
    auto a = AddButton(), b = AddButton();
    a->SetMouseOver(true);
    EXPECT_EQ(Button::GetHoveredButton(), a.get());
    EXPECT_EQ(a->GetCel(), 2);
    b->SetMouseOver(true);
    EXPECT_EQ(Button::GetHoveredButton(), b.get());
    EXPECT_EQ(a->GetCel(), 0);  // the first loses its hover look
    EXPECT_EQ(b->GetCel(), 2);
    root->RemoveItem(b.get());
    EXPECT_EQ(Button::GetHoveredButton(), nullptr);
    {
        my_intrusive_ptr<Button> lone(new Button);
        lone->SetResAnim(MemoryAnim(4, 1).get());
        lone->SetMouseOver(true);
        ASSERT_EQ(Button::GetHoveredButton(), lone.get());
    }
    EXPECT_EQ(Button::GetHoveredButton(), nullptr);  // its destructor cleared it
}

TEST_F(ButtonTest, ClickThroughTheRootPlaysPostsAndCallsInOrder) {
    WatchPostedEvents();
    auto b = AddButton();
    b->SetRolloverSound(L"roll");
    b->SetMouseDownClickSound(L"down");
    b->SetClickSound(L"click");
    b->SetOnClick(Callback([this] { posted.push_back("onClick"); }));

    Send(EventType::MouseMotion, 110, 105);
    EXPECT_EQ(b->GetCel(), 2);
    EXPECT_EQ(sounds->ids, (std::vector<std::wstring>{L"roll"}));
    Send(EventType::MouseButtonDown, 110, 105);
    EXPECT_TRUE(b->IsPressed());
    EXPECT_EQ(b->GetCel(), 1);
    Send(EventType::MouseButtonUp, 110, 105);
    EXPECT_FALSE(b->IsPressed());
    EXPECT_EQ(b->GetCel(), 2);
    // The mouse-down sound before the press, the click sound at the release, the
    // roll-over sound again when the press over the button ends.
    EXPECT_EQ(sounds->ids, (std::vector<std::wstring>{L"roll", L"down", L"click", L"roll"}));
    // The callback runs at once; the event waits for the end of the root's cycle.
    EXPECT_EQ(posted, (std::vector<std::string>{"onClick"}));
    root->Cycle();
    EXPECT_EQ(posted, (std::vector<std::string>{"onClick", "24:7:1"}));

    // A release away from the button clicks nothing.
    posted.clear();
    Send(EventType::MouseButtonDown, 110, 105);
    Send(EventType::MouseButtonUp, 300, 300);
    root->Cycle();
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(b->IsPressed());
}

TEST_F(ButtonTest, ToggleClickedTwicePostsToggledThenClick) {
    WatchPostedEvents();
    auto b = AddButton();
    b->SetProperty(L"toggle", L"1");
    ClickAt(110, 105);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(b->GetLoop(), 1);  // row 1 while selected
    EXPECT_FALSE(b->GetMouseOver());  // selected: loses its hover look
    ClickAt(110, 105);
    EXPECT_FALSE(b->IsSelected());
    EXPECT_EQ(b->GetLoop(), 0);
    root->Cycle();
    EXPECT_EQ(posted, (std::vector<std::string>{"39:7:1", "24:7:1", "39:7:0", "24:7:1"}));
}

TEST_F(ButtonTest, DoubleClickPostsDoubleClickOrAPlainClick) {
    for (bool onlyClick : {false, true}) {
        SCOPED_TRACE(onlyClick ? "send_only_buttonclick" : "double clicks sent");
        posted.clear();
        root->RemoveAllDescendents(false);
        root->RemoveAllEventHandlers();
        root->AddEventHandler(new ClockHandler);
        WatchPostedEvents();
        root->SetDoubleClickEnabled(true);
        auto b = AddButton();
        b->SetClickSound(L"click");
        if (onlyClick) {
            EXPECT_TRUE(b->SetProperty(L"send_only_buttonclick", L"0"));
        }
        int calls = 0;
        b->SetOnClick(Callback([&] { ++calls; }));
        sounds->ids.clear();
        ClickAt(110, 105);
        now += 100;
        ClickAt(110, 105);
        root->Cycle();
        if (onlyClick) {
            EXPECT_EQ(posted, (std::vector<std::string>{"24:7:1", "24:7:1"}));
            EXPECT_EQ(calls, 2);
        } else {
            EXPECT_EQ(posted, (std::vector<std::string>{"24:7:1", "25:7:1"}));
            EXPECT_EQ(calls, 1);
        }
        EXPECT_EQ(sounds->ids, (std::vector<std::wstring>{L"click", L"click"}));
        now += 1000;
    }
}

TEST_F(ButtonTest, ToggleDoubleClickTogglesAndPostsDoubleClick) {
    WatchPostedEvents();
    auto b = AddButton();
    b->SetToggle(true);
    b->DoubleClick(3);
    root->Cycle();
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(posted, (std::vector<std::string>{"39:7:1", "25:7:3"}));
}

TEST_F(ButtonTest, KeyEquivalentsClickThroughTheHandler) {
    WatchPostedEvents();
    auto b = AddButton();
    b->SetEnableKeyEvents(false);
    EXPECT_TRUE(b->SetProperty(L"keyEquivalents", L"0,0,0"));
    EXPECT_FALSE(b->GetEnableKeyEvents());  // all zero: left as it was
    EXPECT_TRUE(b->SetProperty(L"keyEquivalents", L"13,27,32"));
    EXPECT_TRUE(b->GetEnableKeyEvents());
    EXPECT_EQ(b->GetKeyEquivalent(1), 27);
    EXPECT_EQ(b->GetKeyEquivalent(3), 0);
    EXPECT_EQ(b->GetKeyEquivalent(-1), 0);
    for (int key : {27, 99, 32}) {
        Event e(EventType::KeyDown, 0);
        e.SetInt(pf::EventProperty::KEY_SYM, key);
        root->ProcessEvent(e);
    }
    root->Cycle();
    EXPECT_EQ(posted, (std::vector<std::string>{"24:7:0", "24:7:0"}));
}

TEST_F(ButtonTest, PropertiesAreTakenInTheirOrder) {
    auto b = Make<Button>();
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
        bool taken;
    };
    const Case cases[] = {
        {L"toggle", L"yes", true},       {L"clickSound", L"c", true}, {L"mouseDownClickSound", L"d", true},
        {L"rolloverSound", L"r", true},  {L"alpha", L"200", true},    {L"send_only_buttonclick", L"", true},
        {L"url", L"http://x", false},    {L"nonsense", L"1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(b->SetProperty(c.key, c.value), c.taken) << pf::ToUtf8(c.key);
    EXPECT_TRUE(b->GetToggle());
    EXPECT_EQ(b->GetClickSound(), L"c");
    EXPECT_EQ(b->GetRolloverSound(), L"r");
    EXPECT_EQ(b->GetAlpha(), 200);
    EXPECT_FALSE(b->GetSendDoubleClick());
    EXPECT_TRUE(b->IsKindOf(TypeId::Button) && b->IsKindOf(TypeId::Actor) && !b->IsKindOf(TypeId::UrlButton));
}

TEST_F(ButtonTest, ClickCallbackMayRemoveTheButton) {
    WatchPostedEvents();
    auto* b = new Button;  // owned by the root alone
    b->SetResAnim(MemoryAnim(4, 1).get());
    b->SetPosition(pf::Point(100, 100));
    b->SetClickID(9);
    root->AddItem(b);
    b->SetOnClick(Callback([this, b] { root->RemoveItem(b); }));
    b->SetMouseOver(true);
    ClickAt(110, 105);
    root->Cycle();
    EXPECT_TRUE(root->GetChildren().empty());
    EXPECT_EQ(Button::GetHoveredButton(), nullptr);
    EXPECT_EQ(posted, (std::vector<std::string>{"24:9:1"}));
}

TEST_F(ButtonTest, WithoutRootOrSoundPlayerAClickDoesNothingElse) {
    auto b = Make<Button>();
    b->SetClickSound(L"click");
    int calls = 0;
    b->SetOnClick(Callback([&] { ++calls; }));
    SoundPlayer::SetInstance(nullptr);
    SetRootItem(nullptr);
    testkit::LogCapture log;
    b->Click(1);
    b->DoubleClick(1);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sounds->ids.empty());
    EXPECT_TRUE(log.Contains("no root")) << log.Text();
}

TEST_F(ButtonTest, CleanupDropsTheCallback) {
    auto b = Make<Button>();
    auto token = std::make_shared<int>(1);
    b->SetOnClick(Callback([token] {}));
    EXPECT_EQ(token.use_count(), 2);
    b->cleanup();
    EXPECT_EQ(token.use_count(), 1);
}

}  // namespace
