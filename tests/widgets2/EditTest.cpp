// The edit field typed through real key events routed by the scene root.
#include <climits>

#include "widgets/Edit.h"
#include "scene/SceneTestSupport.h"
#include "shell/foundation/KeyTables.h"
#include "shell/foundation/TextHelpers.h"
#include "widgets2/WidgetsFixture.h"

namespace {

using widgettest::FakeFont;
using widgettest::MakeResFont;
using widgettest::WordWidths;
using widgettest::fakeNow;
using pf::EventType;
namespace Key = pf;

constexpr int kKeypadEnter = 271;

class EditTest : public widgettest::SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        Edit::SetLastKeyTime(0);
    }
    // An edit in the scene with the fake font, focused by its click id.
    my_intrusive_ptr<Edit> MakeEdit(int clickId = -1, pf::Font* font = new FakeFont(WordWidths())) {
        my_intrusive_ptr<Edit> e(new Edit);
        e->SetClickID(clickId);
        e->SetSize(pf::Point(300, 20));
        if (font) e->SetResFont(MakeResFont(font).get());
        root->AddItem(e.get());
        Deliver();  // its own EditFocus of -1 from construction
        e->SetFocused(true);
        Deliver();
        return e;
    }
    // Sends a key event through the root; true when it was claimed.
    bool Send(pf::Event e) {
        fakeNow += 100;  // well apart: the throttle lets every key-down through
        return root->ProcessEvent(e);
    }
};

TEST_F(EditTest, KeyTable) {
    struct Row {
        const wchar_t* text;
        int caret;
        int type, sym, unicode;
        const wchar_t* allowed;
        const wchar_t* disallowed;
        int maxChars, maxWidth;
        // expected
        const wchar_t* after;
        int caretAfter;
        bool claimed, changed, click;
    } rows[] = {
        {L"", 0, EventType::KeyChar, 'a', 'a', L"", L"", -1, -1, L"a", 1, true, true, true},
        {L"ac", 1, EventType::KeyChar, 'b', 'b', L"", L"", -1, -1, L"abc", 2, true, true, true},
        {L"ab", 1, EventType::KeyChar, ' ', ' ', L"", L"", -1, -1, L"a b", 2, true, true, false},
        {L"ab", 2, EventType::KeyChar, 0x3000, 0x3000, L"", L"", -1, -1, L"ab ", 3, true, true, false},
        {L"ab", 2, EventType::KeyChar, 0xE9, 0xE9, L"", L"", -1, -1, L"ab\u00e9", 3, true, true, true},
        {L"ab", 2, EventType::KeyChar, Key::KeyType::Backspace, 8, L"", L"", -1, -1, L"a", 1, true, true, false},
        {L"ab", 0, EventType::KeyChar, Key::KeyType::Backspace, 8, L"", L"", -1, -1, L"ab", 0, true, false, false},
        {L"ab", 99, EventType::KeyChar, Key::KeyType::Backspace, 8, L"", L"", -1, -1, L"a", 1, true, true, false},
        {L"ab", -5, EventType::KeyChar, 'x', 'x', L"", L"", -1, -1, L"xab", 1, true, true, true},
        {L"ab", 1, EventType::KeyChar, Key::KeyType::Return, 13, L"", L"", -1, -1, L"ab", 1, false, false, false},
        {L"ab", 1, EventType::KeyChar, kKeypadEnter, 13, L"", L"", -1, -1, L"ab", 1, false, false, false},
        {L"ab", 1, EventType::KeyChar, Key::KeyType::Tab, 9, L"", L"", -1, -1, L"ab", 1, false, false, false},
        {L"ab", 1, EventType::KeyChar, 0x85, 0x85, L"", L"", -1, -1, L"ab", 1, false, false, false},
        {L"", 0, EventType::KeyChar, 'a', 'a', L"0123456789", L"", -1, -1, L"", 0, false, false, false},
        {L"", 0, EventType::KeyChar, '5', '5', L"0123456789", L"", -1, -1, L"5", 1, true, true, true},
        {L"", 0, EventType::KeyChar, ' ', ' ', L"0123456789", L"", -1, -1, L"", 0, false, false, false},
        {L"", 0, EventType::KeyChar, ' ', ' ', L"", L" ", -1, -1, L"", 0, false, false, false},
        {L"", 0, EventType::KeyChar, 'x', 'x', L"", L" ", -1, -1, L"x", 1, true, true, true},
        {L"abc", 3, EventType::KeyChar, 'd', 'd', L"", L"", 3, -1, L"abc", 3, true, false, false},
        {L"abc", 3, EventType::KeyChar, 'd', 'd', L"", L"", -7, -1, L"abcd", 4, true, true, true},
        {L"abc", 3, EventType::KeyChar, 'd', 'd', L"", L"", -1, 40, L"abc", 3, true, false, false},
        {L"abc", 3, EventType::KeyChar, 'd', 'd', L"", L"", -1, 41, L"abcd", 4, true, true, true},
        {L"abc", 3, EventType::KeyChar, 'd', 'd', L"", L"", -1, -9, L"abcd", 4, true, true, true},
        {L"ab", 0, EventType::KeyDown, Key::KeyType::Delete, 0, L"", L"", -1, -1, L"b", 0, true, true, false},
        {L"ab", 2, EventType::KeyDown, Key::KeyType::Delete, 0, L"", L"", -1, -1, L"ab", 2, true, false, false},
        {L"ab", 1, EventType::KeyDown, Key::KeyType::ArrowLeft, 0, L"", L"", -1, -1, L"ab", 0, true, false, false},
        {L"ab", 0, EventType::KeyDown, Key::KeyType::ArrowLeft, 0, L"", L"", -1, -1, L"ab", 0, true, false, false},
        {L"ab", 1, EventType::KeyDown, Key::KeyType::ArrowRight, 0, L"", L"", -1, -1, L"ab", 2, true, false, false},
        {L"ab", 2, EventType::KeyDown, Key::KeyType::ArrowRight, 0, L"", L"", -1, -1, L"ab", 2, true, false, false},
        {L"ab", 9, EventType::KeyDown, Key::KeyType::ArrowLeft, 0, L"", L"", -1, -1, L"ab", 1, true, false, false},
        {L"ab", 1, EventType::KeyDown, Key::KeyType::Home, 0, L"", L"", -1, -1, L"ab", 0, true, false, false},
        {L"ab", 1, EventType::KeyDown, Key::KeyType::End, 0, L"", L"", -1, -1, L"ab", 2, true, false, false},
        {L"ab", 1, EventType::KeyDown, 'a', 0, L"", L"", -1, -1, L"ab", 1, false, false, false},
    };
    auto edit = MakeEdit(5);
    int callbacks = 0;
    edit->SetOnChange(Callback([&callbacks] { ++callbacks; }));
    for (const Row& r : rows) {
        const std::string what = pf::ToUtf8(std::wstring(r.text)) + " key " + std::to_string(r.sym);
        edit->SetMaxChars(-1);
        edit->SetMaxWidth(-1);
        edit->SetText(r.text);
        edit->SetCaretPos(r.caret);
        edit->SetAllowedChars(r.allowed);
        edit->SetDisallowedChars(r.disallowed);
        edit->SetMaxChars(r.maxChars);
        edit->SetMaxWidth(r.maxWidth);
        sounds->ids.clear();
        callbacks = 0;
        EXPECT_EQ(Send(Key(r.type, r.sym, r.unicode)), r.claimed) << what;
        EXPECT_EQ(edit->GetText(), r.after) << what;
        EXPECT_EQ(edit->GetCaretPos(), r.caretAfter) << what;
        EXPECT_EQ(Deliver(), r.changed ? std::vector<std::string>{"38:5"} : std::vector<std::string>{}) << what;
        EXPECT_EQ(callbacks, r.changed ? 1 : 0) << what;
        EXPECT_EQ(sounds->ids, r.click ? std::vector<std::wstring>{L"sfxKeyClick"} : std::vector<std::wstring>{})
            << what;
    }
}

// Routing holds the items it offers an event to, so a callback may drop the last reference.
TEST_F(EditTest, OnChangeMayRemoveTheEdit) {
    auto edit = MakeEdit();
    Edit* raw = edit.get();
    edit->SetOnChange(Callback([this, raw] { root->RemoveItem(raw); }));
    edit = nullptr;  // the tree holds it alone
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'a', 'a')));
    EXPECT_EQ(root->GetChildren().size(), 1u);  // the spy
}

TEST_F(EditTest, KeyClickWithoutSoundPlayerIsSilent) {
    auto edit = MakeEdit();
    SoundPlayer::SetInstance(nullptr);
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'q', 'q')));
    EXPECT_EQ(edit->GetText(), L"q");
}

TEST_F(EditTest, KeyDownThrottleIsSharedByAllEdits) {
    auto first = MakeEdit(1);
    auto second = MakeEdit(2);
    first->SetFocused(true);
    Deliver();
    first->SetText(L"abc");
    first->SetCaretPos(3);
    second->SetText(L"abc");
    second->SetCaretPos(3);
    auto keyDownAt = [this](int now, int sym) {
        fakeNow = now;
        pf::Event e = Key(EventType::KeyDown, sym);
        return root->ProcessEvent(e);
    };
    EXPECT_TRUE(keyDownAt(5000, Key::KeyType::ArrowLeft));
    EXPECT_FALSE(keyDownAt(5010, Key::KeyType::ArrowLeft));  // 10 ms later: ignored, not claimed
    EXPECT_EQ(first->GetCaretPos(), 2);
    EXPECT_TRUE(keyDownAt(5020, Key::KeyType::ArrowLeft));
    EXPECT_EQ(first->GetCaretPos(), 1);
    fakeNow = 5025;
    pf::Event typed = Key(EventType::KeyChar, 'z', 'z');  // typed characters are not throttled
    EXPECT_TRUE(root->ProcessEvent(typed));
    EXPECT_EQ(first->GetText(), L"azbc");

    second->SetFocused(true);
    Deliver();
    EXPECT_FALSE(keyDownAt(5030, Key::KeyType::Home));  // the other edit within 20 ms of the last
    EXPECT_EQ(second->GetCaretPos(), 3);
    EXPECT_TRUE(keyDownAt(5040, Key::KeyType::Home));
    EXPECT_EQ(second->GetCaretPos(), 0);
    EXPECT_EQ(first->GetCaretPos(), 2);
}

TEST_F(EditTest, FocusFollowsTheLastEditFocusAcrossTwoEdits) {
    auto first = MakeEdit(1);
    auto second = MakeEdit(2);
    first->SetPosition(pf::Point(0, 0));
    second->SetPosition(pf::Point(0, 100));
    first->SetFocused(true);
    EXPECT_EQ(Deliver(), std::vector<std::string>{"35:1"});
    EXPECT_TRUE(first->IsFocused());
    EXPECT_FALSE(second->IsFocused());
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'a', 'a')));
    EXPECT_EQ(first->GetText(), L"a");
    EXPECT_EQ(second->GetText(), L"");
    EXPECT_EQ(Deliver(), std::vector<std::string>{"38:1"});

    // A click on the second edit.
    pf::Event down = Mouse(EventType::MouseButtonDown, 5, 105);
    root->ProcessEvent(down);
    pf::Event up = Mouse(EventType::MouseButtonUp, 5, 105);
    root->ProcessEvent(up);
    EXPECT_TRUE(up.IsClaimed());
    EXPECT_EQ(Deliver(), std::vector<std::string>{"35:2"});
    EXPECT_FALSE(first->IsFocused());
    EXPECT_TRUE(second->IsFocused());
    EXPECT_FALSE(first->GetEnableKeyEvents());
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'b', 'b')));
    EXPECT_EQ(first->GetText(), L"a");
    EXPECT_EQ(second->GetText(), L"b");
}

TEST_F(EditTest, ScriptSetTextObeysTheLimits) {
    auto edit = MakeEdit();
    edit->SetMaxChars(3);
    edit->SetCaretPos(5);
    edit->SetText(L"abcdef");
    EXPECT_EQ(edit->GetText(), L"abc");
    EXPECT_EQ(edit->GetCaretPos(), 3);
    edit->SetMaxChars(-1);
    edit->SetMaxWidth(25);  // 10 pixels a letter
    edit->SetText(L"abcdef");
    EXPECT_EQ(edit->GetText(), L"ab");
    edit->SetMaxWidth(-2);  // any negative width is no limit (and ends)
    edit->SetText(L"abcdef");
    EXPECT_EQ(edit->GetText(), L"abcdef");
    edit->SetMaxWidth(0);
    edit->SetText(L"abcdef");
    EXPECT_EQ(edit->GetText(), L"");
    edit->SetMaxWidth(95);  // a long text is trimmed to the same prefix, not letter by letter
    edit->SetText(std::wstring(100000, L'a'));
    EXPECT_EQ(edit->GetText(), L"aaaaaaaaa");
    edit->SetText(L"ab\ncdfgijklmp");  // the widest line counts
    EXPECT_EQ(edit->GetText(), L"ab\ncdfgijklm");
    EXPECT_EQ(Deliver(), std::vector<std::string>{}) << "SetText posts nothing";
}

TEST_F(EditTest, WithoutFontTypingKeepsTheText) {
    auto edit = MakeEdit(-1, nullptr);
    edit->SetMaxWidth(10);
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'a', 'a')));
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'b', 'b')));
    EXPECT_EQ(edit->GetText(), L"ab");
    my_intrusive_ptr<ResFont> empty(new ResFont);  // a font resource that loaded nothing
    edit->SetResFont(empty.get());
    EXPECT_TRUE(Send(Key(EventType::KeyChar, 'c', 'c')));
    EXPECT_EQ(edit->GetText(), L"abc");
    scenetest::RecordingDisplay display;
    RenderState rs;
    rs.display = &display;
    edit->Draw(rs);  // no caret, no crash
}

TEST_F(EditTest, WithoutRootNothingIsPosted) {
    SetRootItem(nullptr);
    my_intrusive_ptr<Edit> edit(new Edit);
    edit->SetFocused(true);
    EXPECT_TRUE(edit->IsFocused());
    SetRootItem(root.get());
    EXPECT_EQ(root->GetPostedEventCount(), 0u);
}

TEST_F(EditTest, ReturnIsLeftForOthersAndDisabledEditsIgnoreKeys) {
    auto edit = MakeEdit();
    EXPECT_FALSE(Send(Key(EventType::KeyChar, Key::KeyType::Return, 13)));
    edit->SetEnabled(false);
    EXPECT_FALSE(Send(Key(EventType::KeyChar, 'a', 'a')));
    EXPECT_EQ(edit->GetText(), L"");
}

class CaretDisplay : public scenetest::RecordingDisplay {
public:
    std::vector<pf::Rect> filled;
    void FillRect(const pf::Rect& r) override { filled.push_back(r); }
};

TEST_F(EditTest, CaretPlacementAndBlink) {
    auto edit = MakeEdit();
    edit->SetText(L"abcd");  // 40 pixels in a 300-pixel box
    edit->SetCaretPos(2);
    edit->RestartCaretBlink();
    const std::pair<int, int> cases[] = {{1, 20}, {2, 20 + (300 - 40) / 2}, {3, 299}, {4, 0}};
    for (const auto& [align, x] : cases) {
        edit->SetAlign(align);
        CaretDisplay display;
        RenderState rs;
        rs.display = &display;
        edit->Draw(rs);
        ASSERT_EQ(display.filled.size(), 1u) << align;
        EXPECT_EQ(display.filled[0], pf::Rect(x, 0, 1, 16)) << align;
    }
    EXPECT_TRUE(edit->IsCaretVisible());
    fakeNow += 501;
    edit->Cycle();
    EXPECT_FALSE(edit->IsCaretVisible());
    fakeNow += 501;
    edit->Cycle();
    EXPECT_TRUE(edit->IsCaretVisible());

    pf::Event lost(EventType::Active);
    lost.SetInt(pf::EventProperty::ACTIVE_GAIN, 0);
    lost.SetInt(pf::EventProperty::ACTIVE_STATE, pf::ActiveState::InputFocus);
    EXPECT_FALSE(root->ProcessEvent(lost));
    EXPECT_FALSE(edit->IsCaretVisible());
    fakeNow += 501;
    edit->Cycle();
    EXPECT_FALSE(edit->IsCaretVisible()) << "a disabled caret does not blink";
}

// A box width at the int limits puts a centred caret somewhere in int range.
TEST_F(EditTest, CentredCaretInAnExtremeWidth) {
    auto edit = MakeEdit();
    edit->SetText(L"abcd");
    edit->SetAlign(2);
    for (int width : {INT_MIN, INT_MAX}) {
        edit->SetWidth(width);
        edit->RestartCaretBlink();
        CaretDisplay display;
        RenderState rs;
        rs.display = &display;
        edit->Draw(rs);
        ASSERT_EQ(display.filled.size(), 1u);
    }
}

}  // namespace
