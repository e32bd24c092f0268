// A real SDL window on the X server (Xvfb in CI) driven by xdotool: the window system
// decides what arrives, and the queued events must be what the game expects.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/Oracle.h"
#include "AppFakes.h"
#include "RealWindowSteps.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/foundation/KeyTables.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

using pf::Event;
using pf::EventType;

struct RealWindow : ::testing::Test {
    apptest::FakeDisplay display;
    std::unique_ptr<pf::ApplicationWin32> app;
    apptest::FakeGame game;
    std::unique_ptr<pf::NativeWindow> window;
    std::string title;

    void SetUp() override {
        RUV3_REQUIRE_DISPLAY();
        RUV3_REQUIRE_PROGRAM("xdotool");
        title = "ruv3 input test " + std::to_string(getpid());
        window = apptest::OpenGameWindow(display, app, game, title);
        ASSERT_TRUE(window);
        Focus(title);
        Settle();
        game.events.clear();
    }
    void TearDown() override {
        apptest::CloseGameWindow(app, window);
    }
    // Every xdotool call has a deadline: a step that cannot happen fails, never hangs.
    void Xdo(const std::string& args) {
        ASSERT_EQ(testkit::RunCommand("timeout 30 xdotool " + args + " >/dev/null 2>&1"), 0) << args;
    }
    void Focus(const std::string& name) { apptest::FocusWindowNamed(name); }
    void Settle(const std::function<bool()>& arrived = [] { return true; }) {
        apptest::RunFramesUntilQuiet(*app, game.events, arrived);
    }
    // Waits until at least `count` events of these types arrived.
    void SettleOn(std::initializer_list<int> types, size_t count) {
        Settle([&] { return Of(types).size() >= count; });
    }
    std::vector<Event> Of(std::initializer_list<int> types) {
        std::vector<Event> out;
        for (const Event& e : game.events)
            for (int t : types)
                if (e.GetType() == t) out.push_back(e);
        return out;
    }
    void Keys();
    void ClickWheelAndPointer();
    void FocusLossAndReturn();
    Event E(int type, int d1 = 0, int d2 = 0, int d3 = 0, int d4 = 0, int d5 = 0, int d6 = 0) {
        return Event(type, d1, d2, d3, d4, d5, d6, app->GetEventSystem());
    }
};

// One test, so that no other test of this binary moves the focus or the pointer on the
// same X server meanwhile.
TEST_F(RealWindow, KeysPointerAndFocusFromTheWindowSystem) {
    Keys();
    ClickWheelAndPointer();
    FocusLossAndReturn();
}

void RealWindow::Keys() {
    Xdo("key --delay 30 shift+a Caps_Lock b Caps_Lock BackSpace");
    SettleOn({EventType::KeyDown, EventType::KeyUp, EventType::KeyChar}, 15);
    std::vector<Event> expected = {
        E(EventType::KeyDown, 0, 1, 0x2A, 304, 0x0001, 1),
        E(EventType::KeyDown, 0, 1, 0x1E, 97, 0x0001, 'A'),
        E(EventType::KeyChar, 0, 0, 0x1E, 97, 0, 'A'),
        // xdotool lets go of the keys in the order it pressed them.
        E(EventType::KeyUp, 0, 0, 0x2A, 304, 0, 1),
        E(EventType::KeyUp, 0, 0, 0x1E, 97, 0, 'a'),
        E(EventType::KeyDown, 0, 1, 0x3A, 301, 0x2000, 1),
        E(EventType::KeyUp, 0, 0, 0x3A, 301, 0, 1),
        E(EventType::KeyDown, 0, 1, 0x30, 98, 0x2000, 'B'),
        E(EventType::KeyChar, 0, 0, 0x30, 98, 0, 'B'),
        E(EventType::KeyUp, 0, 0, 0x30, 98, 0x2000, 'B'),
        E(EventType::KeyDown, 0, 1, 0x3A, 301, 0, 1),
        E(EventType::KeyUp, 0, 0, 0x3A, 301, 0, 1),
        E(EventType::KeyDown, 0, 1, 0x0E, 8, 0, 8),
        E(EventType::KeyChar, 0, 0, 0x0E, 8, 0, 8),
        E(EventType::KeyUp, 0, 0, 0x0E, 8, 0, 8),
    };
    EXPECT_EQ(Of({EventType::KeyDown, EventType::KeyUp, EventType::KeyChar}), expected);
}

void RealWindow::ClickWheelAndPointer() {
    game.events.clear();
    Xdo("search --name '" + title + "' mousemove --sync --window %1 50 60");
    Settle([&] {
        const std::vector<Event> moved = Of({EventType::MouseMotion});
        return !moved.empty() && moved.back().GetPoint(pf::EventProperty::MOUSE_XY) == pf::Point(50, 60);
    });
    std::vector<Event> motion = Of({EventType::MouseMotion});
    ASSERT_FALSE(motion.empty());
    EXPECT_EQ(motion.back().GetPoint(pf::EventProperty::MOUSE_XY), pf::Point(50, 60));
    EXPECT_TRUE(app->GetEventSystem()->IsMouseInside());
    game.events.clear();
    Xdo("click 1 click 4 click 5");
    SettleOn({EventType::MouseButtonDown, EventType::MouseButtonUp, EventType::MouseWheel}, 4);
    std::vector<Event> expected = {
        E(EventType::MouseButtonDown, 0, 1, 0, 50, 60),
        E(EventType::MouseButtonUp, 0, 1, 0, 50, 60),
        E(EventType::MouseWheel, -1),
        E(EventType::MouseWheel, 1),
    };
    EXPECT_EQ(Of({EventType::MouseButtonDown, EventType::MouseButtonUp, EventType::MouseWheel}), expected);
    EXPECT_EQ(app->GetEventSystem()->GetButtonMask(), 0);
}

void RealWindow::FocusLossAndReturn() {
    game.events.clear();
    auto other = pf::NativeWindow::Create("Other", L"other window", 100, 100, false);
    ASSERT_TRUE(other);
    Focus("other window");
    SettleOn({EventType::Active}, 1);
    Focus(title);
    SettleOn({EventType::Active}, 2);
    std::vector<Event> expected = {E(EventType::Active, 0, 6), E(EventType::Active, 1, 6)};
    std::vector<Event> got;
    for (const Event& e : Of({EventType::Active}))
        if (e.GetData(2) == 6) got.push_back(e);
    EXPECT_EQ(got, expected);
}

// Caps Lock and Num Lock switched on before the window opens (typed into a window that is
// gone again, with what the queue learnt from it forgotten): the first key in the new
// window already has the upper-case character and both lock bits.
struct RealWindowLocksOn : RealWindow {
    bool toggled = false;
    void SetUp() override {
        if (testkit::HaveDisplay() && testkit::HaveProgram("xdotool")) {
            auto earlier = pf::NativeWindow::Create("Earlier", L"earlier window", 100, 100, false);
            ASSERT_TRUE(earlier);
            Focus("earlier window");
            Xdo("key Caps_Lock Num_Lock");
            toggled = true;
            SDL_PumpEvents();
            earlier.reset();
            SDL_PumpEvents();
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        }
        RealWindow::SetUp();
    }
    void TearDown() override {
        if (toggled) Xdo("key Caps_Lock Num_Lock");
        RealWindow::TearDown();
    }
};

TEST_F(RealWindowLocksOn, TheFirstKeySeesTheLockState) {
    Xdo("key b");
    SettleOn({EventType::KeyDown, EventType::KeyUp, EventType::KeyChar}, 3);
    int locks = pf::KeyMod::Caps | pf::KeyMod::Num;
    std::vector<Event> expected = {
        E(EventType::KeyDown, 0, 1, 0x30, 98, locks, 'B'),
        E(EventType::KeyChar, 0, 0, 0x30, 98, 0, 'B'),
        E(EventType::KeyUp, 0, 0, 0x30, 98, locks, 'B'),
    };
    EXPECT_EQ(Of({EventType::KeyDown, EventType::KeyUp, EventType::KeyChar}), expected);
}

// SDL's video start opens a D-Bus connection whose buffers libdbus keeps for the life of
// the process; that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
