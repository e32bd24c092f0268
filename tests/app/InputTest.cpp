#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include <memory>
#include <vector>

#include "common/Oracle.h"
#include "AppFakes.h"
#include "shell/Application.h"
#include "shell/EventSystem.h"
#include "shell/foundation/KeyTables.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

using pf::Event;
using pf::EventSystem;
using pf::EventType;
using pf::KeyMod;
using pf::ModifierState;
using pf::VirtualKey;
using pf::WindowMessage;

TEST(KeyTable, VirtualKeysMapToKeyCodes) {
    struct Case {
        int vk, key;
    } cases[] = {
        {8, 8},     {9, 9},     {13, 13},   {19, 19},   {27, 27},   {32, 32},   {16, 304},  {160, 304},
        {161, 303}, {17, 306},  {162, 306}, {163, 305}, {18, 308},  {164, 308}, {165, 307}, {20, 301},
        {144, 300}, {145, 302}, {33, 280},  {34, 281},  {35, 279},  {36, 278},  {37, 276},  {38, 273},
        {39, 275},  {40, 274},  {44, 316},  {45, 277},  {46, 127},  {48, 48},   {57, 57},   {65, 97},
        {90, 122},  {91, 310},  {92, 309},  {93, 319},  {106, 268}, {107, 270}, {109, 269}, {110, 266},
        {111, 267}, {112, 282}, {126, 296}, {187, 61},  {188, 44},  {189, 45},  {190, 46},  {191, 47},
        {192, 323}, {220, 92},  {226, 60},
        // Not mapped.
        {96, 0},    {105, 0},   {108, 0},   {12, 0},    {127, 0},   {135, 0},   {186, 0},   {219, 0},
        {221, 0},   {222, 0},   {0, 0},     {64, 0},    {91 - 0, 310}, {255, 0}, {-1, 0},   {1000, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(pf::VirtualKeyToKey(c.vk), c.key) << "vk " << c.vk;
}

TEST(Modifiers, HeldKeysSetAndClearLockKeysToggle) {
    ModifierState m;
    struct Step {
        bool down;
        int key;
        int carried, after;
    } steps[] = {
        {true, 304, 0x0001, 0x0001},   {true, 97, 0x0001, 0x0001},     {false, 97, 0x0001, 0x0001},
        {false, 304, 0, 0},            {true, 301, 0x2000, 0x2000},    {false, 301, 0, 0x2000},
        {true, 306, 0x2040, 0x2040},   {true, 300, 0x3040, 0x3040},    {false, 300, 0, 0x3040},
        {false, 306, 0x3000, 0x3000},  {true, 301, 0x1000, 0x1000},    {false, 301, 0, 0x1000},
        {true, 303, 0x1002, 0x1002},   {true, 305, 0x1082, 0x1082},    {true, 307, 0x1282, 0x1282},
        {true, 308, 0x1382, 0x1382},   {true, 309, 0x1B82, 0x1B82},    {true, 310, 0x1F82, 0x1F82},
        {false, 303, 0x1F80, 0x1F80},  {false, 305, 0x1F00, 0x1F00},   {false, 307, 0x1D00, 0x1D00},
        {false, 308, 0x1C00, 0x1C00},  {false, 309, 0x1400, 0x1400},   {false, 310, 0x1000, 0x1000},
        {true, 300, 0, 0},
    };
    for (const Step& s : steps) {
        int carried = s.down ? m.OnKeyDown(s.key) : m.OnKeyUp(s.key);
        EXPECT_EQ(carried, s.carried) << (s.down ? "down " : "up ") << s.key;
        EXPECT_EQ(m.Get(), s.after) << (s.down ? "down " : "up ") << s.key;
    }
}

TEST(EventQueue, MotionDeltasMouseInsideAndButtonMask) {
    ModifierState m;
    EventSystem es(m);
    es.PostMouseMotion(10, 20);
    es.PostMouseMotion(15, 18);
    es.PostMouseButtonDown(1, 16, 19);
    es.PostMouseButtonDown(3, 16, 19);
    EXPECT_EQ(es.GetButtonMask(), 0b101);
    es.PostMouseButtonUp(1, 17, 20);
    EXPECT_EQ(es.GetButtonMask(), 0b100);
    es.PostMouseButtonUp(3, 17, 20);
    es.PostMouseButtonDown(0, 1, 1);   // no bit for a bad button
    es.PostMouseButtonUp(40, 1, 1);
    EXPECT_EQ(es.GetButtonMask(), 0);
    EXPECT_EQ(es.GetMousePosition(), pf::Point(1, 1));
    std::vector<Event> expected = {
        Event(EventType::Active, 1, 1, 0, 0, 0, 0, &es),
        Event(EventType::MouseMotion, 0, 0, 10, 20, 10, 20, &es),
        Event(EventType::MouseMotion, 0, 0, 15, 18, 5, -2, &es),
        Event(EventType::MouseButtonDown, 0, 1, 0, 16, 19, 0, &es),
        Event(EventType::MouseButtonDown, 0, 3, 0, 16, 19, 0, &es),
        Event(EventType::MouseButtonUp, 0, 1, 0, 17, 20, 0, &es),
        Event(EventType::MouseButtonUp, 0, 3, 0, 17, 20, 0, &es),
        Event(EventType::MouseButtonDown, 0, 0, 0, 1, 1, 0, &es),
        Event(EventType::MouseButtonUp, 0, 40, 0, 1, 1, 0, &es),
    };
    EXPECT_EQ(std::vector<Event>(es.Queue().begin(), es.Queue().end()), expected);

    es.Clear();
    es.PostMotionAfterButtonUp(expected[5]);
    es.PostMotionAtMouse();
    es.PostActive(false);
    EXPECT_FALSE(es.hasInputFocus());
    es.PostKeyDown(30, 97, 'a');
    es.PostKeyUp(97, 30, 'a');
    es.PostKeyChar(30, 0, 'a');
    std::vector<Event> more = {
        Event(EventType::MouseMotion, 0, 0, 17, 20, 0, 0, &es),
        Event(EventType::MouseMotion, 0, 0, 1, 1, 0, 0, &es),
        Event(EventType::Active, 0, 6, 0, 0, 0, 0, &es),
        Event(EventType::KeyDown, 0, 1, 30, 97, 0, 'a', &es),
        Event(EventType::KeyUp, 0, 0, 30, 97, 0, 'a', &es),
        Event(EventType::KeyChar, 0, 0, 30, 0, 0, 'a', &es),
    };
    EXPECT_EQ(std::vector<Event>(es.Queue().begin(), es.Queue().end()), more);
    EXPECT_EQ(es.GetMousePosition(), pf::Point(1, 1));
}

namespace {

// An application with a headless window, the message loop's wiring and no game loop.
struct WindowFixture : ::testing::Test {
    apptest::FakeDisplay display;
    pf::MessageQueue queue;
    std::unique_ptr<pf::ApplicationWin32> app;
    std::unique_ptr<pf::NativeWindow> window;
    bool altHeld = false;

    void SetUp() override {
        pf::GetModifierState().Reset();
        app.reset(new pf::ApplicationWin32(queue));
        window = pf::NativeWindow::CreateHeadless(pf::ApplicationWin32::kWindowClass, 800, 600);
        display.window = window.get();
        app->SetDisplayPort(&display);
        app->AttachWindow();
    }
    void TearDown() override {
        app.reset();
        pf::GetModifierState().Reset();
    }
    void Key(int vk, bool down, int scan) {
        if (vk == VirtualKey::Menu) altHeld = down;
        bool alt = altHeld || vk == VirtualKey::Menu;
        unsigned kind = alt ? (down ? WindowMessage::SysKeyDown : WindowMessage::SysKeyUp)
                            : (down ? WindowMessage::KeyDown : WindowMessage::KeyUp);
        queue.Post(window.get(), kind, vk, pf::MakeKeyLParam(scan, false, alt, !down, !down));
    }
    void Tap(int vk, int scan) {
        Key(vk, true, scan);
        Key(vk, false, scan);
    }
    void Pump() {
        pf::Message m;
        while (queue.Peek(m)) {
            queue.Translate(m);
            queue.Dispatch(m);
        }
    }
    std::vector<Event> Taken() {
        auto& q = app->GetEventSystem()->Queue();
        std::vector<Event> out(q.begin(), q.end());
        app->GetEventSystem()->Clear();
        return out;
    }
    Event E(int type, int d1 = 0, int d2 = 0, int d3 = 0, int d4 = 0, int d5 = 0, int d6 = 0) {
        return Event(type, d1, d2, d3, d4, d5, d6, app->GetEventSystem());
    }
};

}  // namespace

TEST_F(WindowFixture, ShiftACapsLockAndBackspaceAsTheWindowSystemDeliversThem) {
    Key(VirtualKey::Shift, true, 0x2A);
    Key('A', true, 0x1E);
    queue.Post(window.get(), WindowMessage::Char, 'A', pf::MakeKeyLParam(0x1E, false, false, false, false));
    Key('A', false, 0x1E);
    Key(VirtualKey::Shift, false, 0x2A);
    Tap(VirtualKey::Capital, 0x3A);
    Key('B', true, 0x30);
    Tap(VirtualKey::Capital, 0x3A);
    Tap(VirtualKey::Back, 0x0E);
    Key(VirtualKey::Control, true, 0x1D);
    Tap('C', 0x2E);
    Key(VirtualKey::Control, false, 0x1D);
    Pump();
    std::vector<Event> expected = {
        E(EventType::KeyDown, 0, 1, 0x2A, 304, 0x0001, 1),
        E(EventType::KeyDown, 0, 1, 0x1E, 97, 0x0001, 'A'),
        E(EventType::KeyChar, 0, 0, 0x1E, 97, 0, 'A'),
        E(EventType::KeyUp, 0, 0, 0x1E, 97, 0x0001, 'A'),
        E(EventType::KeyUp, 0, 0, 0x2A, 304, 0, 1),
        E(EventType::KeyDown, 0, 1, 0x3A, 301, 0x2000, 1),
        E(EventType::KeyUp, 0, 0, 0x3A, 301, 0, 1),
        E(EventType::KeyDown, 0, 1, 0x30, 98, 0x2000, 'B'),
        E(EventType::KeyDown, 0, 1, 0x3A, 301, 0, 1),
        E(EventType::KeyUp, 0, 0, 0x3A, 301, 0, 1),
        E(EventType::KeyDown, 0, 1, 0x0E, 8, 0, 8),
        E(EventType::KeyChar, 0, 0, 0x0E, 8, 0, 8),
        E(EventType::KeyUp, 0, 0, 0x0E, 8, 0, 8),
        E(EventType::KeyDown, 0, 1, 0x1D, 306, 0x0040, 1),
        E(EventType::KeyDown, 0, 1, 0x2E, 99, 0x0040, 3),
        E(EventType::KeyChar, 0, 0, 0x2E, 0, 0, 3),
        E(EventType::KeyUp, 0, 0, 0x2E, 99, 0x0040, 3),
        E(EventType::KeyUp, 0, 0, 0x1D, 306, 0, 1),
    };
    EXPECT_EQ(Taken(), expected);
}

TEST_F(WindowFixture, AltAloneIsSilentAndAltF4Closes) {
    Key(VirtualKey::Menu, true, 0x38);
    Key(VirtualKey::F4, true, 0x3E);
    Key(VirtualKey::F4, false, 0x3E);
    Key(VirtualKey::Menu, false, 0x38);
    Pump();
    EXPECT_EQ(Taken(), std::vector<Event>{E(EventType::Close)});
    EXPECT_EQ(pf::GetModifierState().Get(), 0);
}

TEST_F(WindowFixture, MouseWheelFocusHoverAndBattery) {
    queue.Post(window.get(), WindowMessage::MouseHover);
    queue.Post(window.get(), WindowMessage::MouseMove, 0, pf::MakeLParam(30, 40));
    queue.Post(window.get(), WindowMessage::LButtonDown, 0, pf::MakeLParam(30, 40));
    queue.Post(window.get(), WindowMessage::LButtonUp, 0, pf::MakeLParam(31, 41));
    queue.Post(window.get(), WindowMessage::MouseWheel, pf::MakeWParam(0, 120));
    queue.Post(window.get(), WindowMessage::MouseWheel, pf::MakeWParam(0, -240));
    queue.Post(window.get(), WindowMessage::MouseLeave);
    queue.Post(window.get(), WindowMessage::Activate, pf::MakeWParam(0, 1));  // minimised
    queue.Post(window.get(), WindowMessage::Activate, pf::MakeWParam(0, 0));  // no change
    queue.Post(window.get(), WindowMessage::Activate, pf::MakeWParam(2, 0));  // restored by a click
    queue.Post(window.get(), WindowMessage::PowerBroadcast, pf::kPowerBatteryLow);
    queue.Post(window.get(), WindowMessage::PowerBroadcast, 10);
    queue.Post(window.get(), WindowMessage::MouseMove, 0, pf::MakeLParam(-4, 2));
    queue.Post(window.get(), WindowMessage::Close);
    Pump();
    std::vector<Event> expected = {
        E(EventType::Active, 1, 1),
        E(EventType::MouseMotion, 0, 0, 30, 40, 30, 40),
        E(EventType::MouseButtonDown, 0, 1, 0, 30, 40),
        E(EventType::MouseButtonUp, 0, 1, 0, 31, 41),
        E(EventType::MouseWheel, -1),
        E(EventType::MouseWheel, 1),
        E(EventType::Active, 0, 1),
        E(EventType::Active, 0, 6),
        E(EventType::Active, 1, 6),
        E(EventType::BatteryLow),
        E(EventType::Active, 1, 1),
        E(EventType::MouseMotion, 0, 0, -4, 2, -35, -39),
        E(EventType::Close),
    };
    EXPECT_EQ(Taken(), expected);
    EXPECT_EQ(app->GetEventSystem()->GetButtonMask(), 0);
}

TEST_F(WindowFixture, NothingBeforeTheLoopOrAfterClosing) {
    window->SetUserData(nullptr);
    queue.Post(window.get(), WindowMessage::MouseWheel, pf::MakeWParam(0, 120));
    Pump();
    EXPECT_TRUE(Taken().empty());
}

TEST_F(WindowFixture, LetterboxedPointsAndTheMouseLockedVirtualCursor) {
    display.scale = 2.0f;
    queue.Post(window.get(), WindowMessage::MouseMove, 0, pf::MakeLParam(101, 51));
    Pump();
    EXPECT_EQ(Taken()[1], E(EventType::MouseMotion, 0, 0, 50, 25, 50, 25));

    // Lock: the virtual cursor starts at the system cursor's client point, and each move
    // adds the system cursor's offset from the window centre (400, 300), clamped to the
    // game screen; the system cursor is put back at the centre every frame.
    window->SetCursorPos(pf::Point(100, 80));
    app->SetCursorVisible(false);
    app->SetMouseLock(true);
    EXPECT_EQ(app->GetVirtualMousePosition(), pf::Point(100, 80));
    EXPECT_EQ(window->GetCursorPos(), pf::Point(400, 300));
    window->SetCursorPos(pf::Point(410, 295));
    queue.Post(window.get(), WindowMessage::MouseMove, 0, pf::MakeLParam(410, 295));
    Pump();
    EXPECT_EQ(Taken(), std::vector<Event>{E(EventType::MouseMotion, 0, 0, 110, 75, 60, 50)});
    window->SetCursorPos(pf::Point(-5000, 300));
    queue.Post(window.get(), WindowMessage::MouseMove, 0, 0);
    queue.Post(window.get(), WindowMessage::RButtonDown, 0, pf::MakeLParam(7, 7));
    Pump();
    std::vector<Event> got = Taken();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], E(EventType::MouseButtonDown, 0, 3, 0, 0, 75));
    app->ConfineCursor();
    EXPECT_EQ(window->GetCursorPos(), pf::Point(400, 300));

    // Unlock puts the system cursor at the virtual cursor; full screen ignores the lock.
    app->SetMouseLock(false);
    EXPECT_EQ(window->GetCursorPos(), pf::Point(0, 75));
    display.fullScreen = true;
    app->SetMouseLock(true);
    EXPECT_FALSE(app->GetMouseLock());
}

TEST_F(WindowFixture, CursorVisibilityAndModes) {
    app->GetEventSystem()->SetMouseInside(true);
    app->SetCursorVisible(false);
    queue.Post(window.get(), WindowMessage::SetCursor);
    Pump();
    EXPECT_FALSE(window->IsSystemCursorShown());
    app->SetCursorVisible(true);
    app->SetCursorMode(1);
    queue.Post(window.get(), WindowMessage::SetCursor);
    Pump();
    EXPECT_FALSE(window->IsSystemCursorShown());
    EXPECT_EQ(display.calls.back(), "DeviceCursor 1");
    queue.Post(window.get(), WindowMessage::NcMouseMove);
    Pump();
    EXPECT_TRUE(window->IsSystemCursorShown());
}

// The game's window-message hook sees every message that takes the default path, and none
// of those the window procedure answers itself.
TEST_F(WindowFixture, TheGameHookSeesTheMessagesThatTakeTheDefaultPath) {
    apptest::FakeGame game;
    game.onInit = [this] { app->Quit(); };
    app->Run(&game, nullptr);
    const unsigned answered[] = {WindowMessage::Activate, WindowMessage::Close, WindowMessage::MouseWheel,
                                 WindowMessage::SysChar};
    for (unsigned m : answered) queue.Post(window.get(), m, m == WindowMessage::Activate ? 1 : 0);
    Key(VirtualKey::Menu, true, 0x38);  // Alt alone
    Key(VirtualKey::Menu, false, 0x38);
    Pump();
    EXPECT_TRUE(game.windowMessages.empty());

    queue.Post(window.get(), WindowMessage::MouseMove, 0, pf::MakeLParam(1, 2));
    queue.Post(window.get(), WindowMessage::Timer, 1231);
    Key(VirtualKey::F1, true, 0x3B);
    Key(VirtualKey::Numpad0, true, 0x52);  // no key code, still the default path
    queue.Post(window.get(), WindowMessage::SysKeyDown, VirtualKey::F1, 0);
    Pump();
    EXPECT_EQ(game.windowMessages,
              (std::vector<unsigned>{WindowMessage::MouseMove, WindowMessage::Timer, WindowMessage::KeyDown,
                                     WindowMessage::KeyDown, WindowMessage::SysKeyDown}));
}

TEST(ApplicationQueue, GetMousePositionReadsTheApplicationsEventSystem) {
    pf::EventSystem& own = *pf::Application2::GetInstance().GetEventSystem();
    own.PostMouseButtonDown(1, 12, 34);
    EXPECT_EQ(pf::GetMousePosition(), pf::Point(12, 34));
    own.PostMouseButtonUp(1, 12, 34);
    own.Clear();
}

// The SDL layer packs the wheel turn into a signed 16-bit word: a large turn keeps its
// direction.
TEST(SdlWheel, LargeTurnsKeepTheirDirection) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) setenv("SDL_VIDEODRIVER", "dummy", 1);
    pf::MessageQueue& queue = pf::GetMessageQueue();
    queue.Clear();
    auto window = pf::NativeWindow::Create("wheel test", L"wheel test", 64, 64, false);
    RUV3_REQUIRE_ORACLE(window, "SDL video (the dummy driver)");
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    queue.Clear();
    for (int y : {1, -1, 300, -300, 100000, -100000}) {
        SDL_Event e = {};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = SDL_GetWindowID(window->GetSdlWindow());
        e.wheel.y = y;
        e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    std::vector<int> signs;
    pf::Message m;
    while (queue.Peek(m))
        if (m.message == WindowMessage::MouseWheel) signs.push_back(pf::SignedHighWord(m.wParam) > 0 ? 1 : -1);
    EXPECT_EQ(signs, (std::vector<int>{1, -1, 1, -1, 1, -1}));
    queue.Clear();
}

// Text typed with Alt held is a system character and is dropped; the right Alt key is the
// AltGr of many layouts, and the characters it makes ('@' on German layouts) are kept.
TEST(SdlText, AltGrCharactersAreKeptAltCharactersDropped) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) setenv("SDL_VIDEODRIVER", "dummy", 1);
    pf::MessageQueue& queue = pf::GetMessageQueue();
    auto window = pf::NativeWindow::Create("text test", L"text test", 64, 64, false);
    RUV3_REQUIRE_ORACLE(window, "SDL video (the dummy driver)");
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    queue.Clear();
    struct Case {
        int mod;
        const char* text;
        std::vector<uintptr_t> chars;
    } cases[] = {
        {KMOD_RALT, "@", {'@'}},
        {KMOD_RALT | KMOD_LSHIFT, "\xC3\xA9", {0xE9}},  // a character of its own
        {KMOD_RALT, "q", {}},                            // the key's own character: Alt+Q
        {KMOD_RALT | KMOD_LSHIFT, "Q", {}},
        {KMOD_LALT, "@", {}},
        {KMOD_LALT | KMOD_RALT, "@", {}},
        {KMOD_RALT | KMOD_LCTRL, "@", {'@'}},  // Control+Alt is no system key
        {KMOD_NONE, "q", {'q'}},
    };
    for (const Case& c : cases) {
        SDL_SetModState(static_cast<SDL_Keymod>(c.mod));
        SDL_Event key = {};
        key.type = SDL_KEYDOWN;
        key.key.windowID = SDL_GetWindowID(window->GetSdlWindow());
        key.key.state = SDL_PRESSED;
        key.key.keysym.sym = SDLK_q;
        key.key.keysym.scancode = SDL_SCANCODE_Q;
        key.key.keysym.mod = static_cast<Uint16>(c.mod);
        ASSERT_EQ(SDL_PushEvent(&key), 1);
        SDL_Event text = {};
        text.type = SDL_TEXTINPUT;
        text.text.windowID = key.key.windowID;
        std::snprintf(text.text.text, sizeof text.text.text, "%s", c.text);
        ASSERT_EQ(SDL_PushEvent(&text), 1);
        std::vector<uintptr_t> chars;
        pf::Message m;
        while (queue.Peek(m))
            if (m.message == WindowMessage::Char) chars.push_back(m.wParam);
        EXPECT_EQ(chars, c.chars) << "mod " << c.mod << " text " << c.text;
    }
    SDL_SetModState(KMOD_NONE);
    queue.Clear();
}

// SDL key events as the window system's layout delivers them (symbol, position, modifiers,
// the text typed with the key), through the window procedure: every key posts KeyDown and
// KeyUp, with the layout's character, and a symbol no virtual key stands for names the key.
TEST(SdlKeys, TheLayoutGivesKeysAndCharacters) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) setenv("SDL_VIDEODRIVER", "dummy", 1);
    pf::MessageQueue& queue = pf::GetMessageQueue();
    pf::GetModifierState().Reset();
    queue.Clear();
    apptest::FakeDisplay display;
    auto app = std::make_unique<pf::ApplicationWin32>();
    auto window = pf::NativeWindow::Create(pf::ApplicationWin32::kWindowClass, L"layout test", 64, 64, false);
    RUV3_REQUIRE_ORACLE(window, "SDL video (the dummy driver)");
    display.window = window.get();
    app->SetDisplayPort(&display);
    app->AttachWindow();
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    queue.Clear();
    app->GetEventSystem()->Clear();

    struct Case {
        const char* what;
        int sym, scancode, mod;
        const char* text;  // typed with the key down; nullptr for none
        int scan, key, downChar, upChar;
    } cases[] = {
        {"US a", SDLK_a, SDL_SCANCODE_A, KMOD_NONE, "a", 0x1E, 97, 'a', 'a'},
        {"US Shift+a", SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT, "A", 0x1E, 97, 'A', 'A'},
        {"US F1", SDLK_F1, SDL_SCANCODE_F1, KMOD_NONE, nullptr, 0x3B, 282, 1, 1},
        {"US Return", SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, nullptr, 0x1C, 13, 13, 13},
        {"de o-umlaut", 0xF6, SDL_SCANCODE_SEMICOLON, KMOD_NONE, "\xC3\xB6", 0x27, 0xF6, 0xF6, 0xF6},
        {"de Shift+o-umlaut", 0xF6, SDL_SCANCODE_SEMICOLON, KMOD_LSHIFT, "\xC3\x96", 0x27, 0xF6, 0xD6, 0xD6},
        {"de Caps Lock a-umlaut, no text", 0xE4, SDL_SCANCODE_APOSTROPHE, KMOD_CAPS, nullptr, 0x28, 0xE4, 0xC4,
         0xC4},
        {"de u-umlaut", 0xFC, SDL_SCANCODE_LEFTBRACKET, KMOD_NONE, "\xC3\xBC", 0x1A, 0xFC, 0xFC, 0xFC},
        // On the US minus key: its own key code, not the minus key's.
        {"de sharp s", 0xDF, SDL_SCANCODE_MINUS, KMOD_NONE, "\xC3\x9F", 0x0C, 0xDF, 0xDF, 0xDF},
        {"de Shift+sharp s", 0xDF, SDL_SCANCODE_MINUS, KMOD_LSHIFT, "?", 0x0C, 0xDF, '?', '?'},
        {"de Control+o-umlaut", 0xF6, SDL_SCANCODE_SEMICOLON, KMOD_LCTRL, nullptr, 0x27, 0xF6, 1, 1},
        {"de z on the US Y key", SDLK_z, SDL_SCANCODE_Y, KMOD_NONE, "z", 0x15, 122, 'z', 'z'},
        {"de y on the US Z key", SDLK_y, SDL_SCANCODE_Z, KMOD_NONE, "y", 0x2C, 121, 'y', 'y'},
        {"de Shift+7", SDLK_7, SDL_SCANCODE_7, KMOD_LSHIFT, "/", 0x08, '7', '/', '/'},
        {"de plus", SDLK_PLUS, SDL_SCANCODE_RIGHTBRACKET, KMOD_NONE, "+", 0x1B, '+', '+', '+'},
        {"ru ef on the A key", 0x444, SDL_SCANCODE_A, KMOD_NONE, "\xD1\x84", 0x1E, 97, 0x444, 0x444},
        {"unknown symbol on the Q key", SDLK_UNKNOWN, SDL_SCANCODE_Q, KMOD_NONE, nullptr, 0x10, 113, 1, 1},
        {"unknown key", SDLK_UNKNOWN, SDL_SCANCODE_INTERNATIONAL1, KMOD_NONE, nullptr, 0, 0, 1, 1},
    };
    const Uint32 id = SDL_GetWindowID(window->GetSdlWindow());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_SetModState(static_cast<SDL_Keymod>(c.mod));
        for (bool down : {true, false}) {
            SDL_Event key = {};
            key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
            key.key.windowID = id;
            key.key.state = down ? SDL_PRESSED : SDL_RELEASED;
            key.key.keysym.sym = c.sym;
            key.key.keysym.scancode = static_cast<SDL_Scancode>(c.scancode);
            key.key.keysym.mod = static_cast<Uint16>(c.mod);
            ASSERT_EQ(SDL_PushEvent(&key), 1);
            if (down && c.text) {
                SDL_Event text = {};
                text.type = SDL_TEXTINPUT;
                text.text.windowID = id;
                std::snprintf(text.text.text, sizeof text.text.text, "%s", c.text);
                ASSERT_EQ(SDL_PushEvent(&text), 1);
            }
        }
        pf::Message m;
        while (queue.Peek(m)) {
            queue.Translate(m);
            queue.Dispatch(m);
        }
        std::vector<Event> keys;
        for (const Event& e : app->GetEventSystem()->Queue())
            if (e.GetType() == EventType::KeyDown || e.GetType() == EventType::KeyUp) keys.push_back(e);
        app->GetEventSystem()->Clear();
        const int modBits = pf::GetModifierState().Get();
        EXPECT_EQ(keys, (std::vector<Event>{
                            Event(EventType::KeyDown, 0, 1, c.scan, c.key, modBits, c.downChar, app->GetEventSystem()),
                            Event(EventType::KeyUp, 0, 0, c.scan, c.key, modBits, c.upChar, app->GetEventSystem()),
                        }));
    }
    SDL_SetModState(KMOD_NONE);
    app.reset();
    window.reset();
    queue.Clear();
}
