// Keys typed on a German keyboard layout into a real SDL window. The layout is switched on an
// X server of the test's own, so that no other test sees it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AppFakes.h"
#include "RealWindowSteps.h"
#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/foundation/KeyTables.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

extern char** environ;

using pf::Event;
using pf::EventType;

namespace {

// An Xvfb of our own on a display number it picks itself (-displayfd); stopped on
// destruction.
class OwnXServer {
public:
    // Starts the server and waits (up to the deadline) for it to name its display.
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(fds[1]);
        // -noreset: without it the server goes back to its first keymap whenever its last
        // client leaves, setxkbmap's connection among them.
        const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-noreset", "-screen", "0",
                              "640x480x24", "-nolisten",  "tcp",      nullptr};
        int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            pid_ = -1;
            close(fds[0]);
            return false;
        }
        std::string number;
        const int deadline = pf::NowMs() + testkit::kWaitSeconds * 1000;
        for (;;) {
            pollfd p{fds[0], POLLIN, 0};
            const int left = deadline - pf::NowMs();
            if (left <= 0 || poll(&p, 1, left) <= 0) break;
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }
    ~OwnXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace

struct GermanLayoutWindow : ::testing::Test {
    OwnXServer server;
    std::string oldDisplay;
    bool videoMoved = false;
    apptest::FakeDisplay display;
    std::unique_ptr<pf::ApplicationWin32> app;
    apptest::FakeGame game;
    std::unique_ptr<pf::NativeWindow> window;
    std::string title = "ruv3 layout test " + std::to_string(getpid());

    void SetUp() override {
        RUV3_REQUIRE_PROGRAM("Xvfb");
        RUV3_REQUIRE_PROGRAM("setxkbmap");
        RUV3_REQUIRE_PROGRAM("xdotool");
        ASSERT_TRUE(server.Start()) << "Xvfb did not start";
        // SDL opens its display when video starts: start it afresh on our server.
        if (const char* d = std::getenv("DISPLAY")) oldDisplay = d;
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        setenv("DISPLAY", server.Display().c_str(), 1);
        unsetenv("SDL_VIDEODRIVER");
        videoMoved = true;
        ASSERT_EQ(testkit::RunCommand("timeout 30 setxkbmap -display " + server.Display() + " de"), 0);

        window = apptest::OpenGameWindow(display, app, game, title);
        ASSERT_TRUE(window);
        ASSERT_NO_FATAL_FAILURE(apptest::FocusWindowNamed(title));
        apptest::RunFramesUntilQuiet(*app, game.events, [] { return true; });
        game.events.clear();
    }
    void TearDown() override {
        apptest::CloseGameWindow(app, window);
        if (videoMoved) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            if (oldDisplay.empty())
                unsetenv("DISPLAY");
            else
                setenv("DISPLAY", oldDisplay.c_str(), 1);
        }
    }
    std::vector<Event> Keys() const {
        std::vector<Event> out;
        for (const Event& e : game.events)
            if (e.GetType() == EventType::KeyDown || e.GetType() == EventType::KeyUp ||
                e.GetType() == EventType::KeyChar)
                out.push_back(e);
        return out;
    }
    Event E(int type, int d1 = 0, int d2 = 0, int d3 = 0, int d4 = 0, int d5 = 0, int d6 = 0) {
        return Event(type, d1, d2, d3, d4, d5, d6, app->GetEventSystem());
    }
};

TEST_F(GermanLayoutWindow, UmlautsSharpSAndTheSwappedYAndZ) {
    ASSERT_EQ(testkit::RunCommand("timeout 30 xdotool key --delay 30 odiaeresis adiaeresis udiaeresis ssharp y z "
                                  "shift+odiaeresis >/dev/null 2>&1"),
              0);
    std::vector<Event> expected;
    // Down, the typed character, up: key code and character from the layout; scan codes
    // are the keys' positions.
    auto tap = [&](int scan, int key, int character) {
        expected.push_back(E(EventType::KeyDown, 0, 1, scan, key, 0, character));
        expected.push_back(E(EventType::KeyChar, 0, 0, scan, pf::VirtualKeyToKey(character), 0, character));
        expected.push_back(E(EventType::KeyUp, 0, 0, scan, key, 0, character));
    };
    tap(0x27, 0xF6, 0xF6);  // o-umlaut
    tap(0x28, 0xE4, 0xE4);  // a-umlaut
    tap(0x1A, 0xFC, 0xFC);  // u-umlaut
    tap(0x0C, 0xDF, 0xDF);  // sharp s
    tap(0x2C, 'y', 'y');    // on the key that is Z on US layouts
    tap(0x15, 'z', 'z');    // and the other way round
    expected.push_back(E(EventType::KeyDown, 0, 1, 0x2A, 304, 0x0001, 1));
    expected.push_back(E(EventType::KeyDown, 0, 1, 0x27, 0xF6, 0x0001, 0xD6));
    expected.push_back(E(EventType::KeyChar, 0, 0, 0x27, 0, 0, 0xD6));
    // xdotool lets go of the keys in the order it pressed them.
    expected.push_back(E(EventType::KeyUp, 0, 0, 0x2A, 304, 0, 1));
    expected.push_back(E(EventType::KeyUp, 0, 0, 0x27, 0xF6, 0, 0xF6));
    apptest::RunFramesUntilQuiet(*app, game.events, [&] { return Keys().size() >= expected.size(); });
    EXPECT_EQ(Keys(), expected);
}
