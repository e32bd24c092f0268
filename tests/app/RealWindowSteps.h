// Steps of the tests that drive a real window on an X server with xdotool: focus and
// frames, each waiting for a condition up to the deadline.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "AppFakes.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/Event.h"
#include "shell/foundation/KeyTables.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

namespace apptest {

// A fresh application with a 320 x 240 window of its class under this title, run through
// its start-up (the game quits in Init) and left attached to the window as the run loop
// leaves it; null when the window cannot open.
inline std::unique_ptr<pf::NativeWindow> OpenGameWindow(FakeDisplay& display, std::unique_ptr<pf::ApplicationWin32>& app,
                                                        FakeGame& game, const std::string& title) {
    pf::GetModifierState().Reset();
    pf::GetMessageQueue().Clear();
    app.reset(new pf::ApplicationWin32());
    auto window = pf::NativeWindow::Create(pf::ApplicationWin32::kWindowClass, pf::FromUtf8(title), 320, 240, false);
    if (!window) return window;
    display.window = window.get();
    display.gameWidth = 320;
    display.gameHeight = 240;
    pf::ApplicationWin32* started = app.get();
    started->SetDisplayPort(&display);
    started->SetDisplayObjects(DummyDisplay(), nullptr);
    game.onInit = [started] { started->Quit(); };
    started->Run(&game, nullptr);
    started->AttachWindow();
    return window;
}

// Undoes OpenGameWindow: the application and the window go, and so does what the queue
// and the modifier bits learnt from them.
inline void CloseGameWindow(std::unique_ptr<pf::ApplicationWin32>& app, std::unique_ptr<pf::NativeWindow>& window) {
    app.reset();
    window.reset();
    pf::GetMessageQueue().Clear();
    pf::GetModifierState().Reset();
}

// Gives the focus to the window with this title once the window system has it, and waits
// until the window system says it has the focus.
inline void FocusWindowNamed(const std::string& name) {
    std::string id;
    ASSERT_TRUE(testkit::WaitUntil([&] {
        SDL_PumpEvents();
        id = testkit::CommandOutput("timeout 10 xdotool search --onlyvisible --name '" + name +
                                    "' 2>/dev/null | head -n 1");
        return !id.empty();
    })) << "no window '" << name << "'";
    ASSERT_TRUE(testkit::WaitUntil([&] {
        SDL_PumpEvents();
        testkit::RunCommand("timeout 10 xdotool windowfocus --sync " + id + " >/dev/null 2>&1");
        return testkit::CommandOutput("timeout 10 xdotool getwindowfocus 2>/dev/null") == id;
    })) << "the window '" << name << "' never got the focus";
}

// Runs frames until `arrived` holds (up to the deadline), then until no event has reached
// `events` for 300 ms, so that an event too many is seen too.
inline void RunFramesUntilQuiet(pf::ApplicationWin32& app, const std::vector<pf::Event>& events,
                                const std::function<bool()>& arrived) {
    int lastTick = 0, sleepMs = 0;
    auto frame = [&] {
        app.RunFrame(false, lastTick, sleepMs);
        SDL_Delay(5);
    };
    testkit::WaitUntil([&] {
        frame();
        return arrived();
    });
    size_t seen = events.size();
    int quietSince = pf::NowMs();
    while (pf::NowMs() - quietSince < 300) {
        frame();
        if (events.size() != seen) {
            seen = events.size();
            quietSince = pf::NowMs();
        }
    }
}

}  // namespace apptest
