// The game with its interpreter: the start-up script's failure and a script error inside a
// frame. Each game runs in a child process (an interpreter starts once per process).
#include <gtest/gtest.h>

#include <boost/python.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <functional>

#include "GameFakes.h"
#include "game/TM5Game.h"
#include "scene/RootItem.h"
#include "shell/Event.h"

namespace {

size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Runs the body in a child process; its expectations decide the child's exit status.
void InChild(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's expectations failed (see above)";
}

// A game over the fake application with the real interpreter, no sound device.
TM5Game* ScriptedGame(gametest::FakeApp& app, const std::string& startupSource) {
    app.dir.Write("pyc/ruv3_init.pyc", testkit::CompilePython(startupSource, "ruv3_init"));
    TM5Game::EngineHooks hooks;
    hooks.installCrashFilter = [] {};
    hooks.openSound = [] { return false; };
    auto* game = new TM5Game(hooks);
    app.game = game;
    return game;
}

// A root whose cycle raises a script error while asked to.
class FailingRoot : public RootItem {
public:
    bool fail = true;
    void Cycle() override {
        if (fail) {
            PyErr_SetString(PyExc_RuntimeError, "the scene broke");
            boost::python::throw_error_already_set();
        }
        RootItem::Cycle();
    }
};

const char* const kStartup = R"(
import ruv3
import game

class Tasklets(object):
    def stopTasklets(self):
        pass

tasklets = Tasklets()
ruv3.onCreateItem = lambda cid: None
print('debug is %s' % game.app.instance().IsDebug())

def postCycleCall():
    print('hook ran')
)";

}  // namespace

TEST(GameScripts, FailedStartupScriptLeavesTheFramesRunning) {
    InChild([] {
        gametest::FakeApp app;
        TM5Game* game = ScriptedGame(app, "print('starting')\nraise RuntimeError('start-up failed')\n");
        game->Init(app);
        game->Start();
        EXPECT_EQ(app.fpsHistory, (std::vector<int>{24, -1}));
        EXPECT_FALSE(game->HasLoadingScreen());
        EXPECT_EQ(app.display.frames, 1);  // the loading frame
        for (int i = 0; i < 3; ++i) {
            game->Cycle();
            game->Draw(app.display);
        }
        EXPECT_EQ(app.display.frames, 4);
        pf::Event close(pf::EventType::Close);
        game->HandleEvent(close);
        EXPECT_EQ(app.quitRequests, 1);
        game->Shutdown();
        game->Release();

        const std::string log = testkit::ReadFile(app.UserFolder("Tarn") / "log.txt");
        EXPECT_EQ(Count(log, "starting"), 1u) << log;
        EXPECT_EQ(Count(log, "RuntimeError: start-up failed"), 1u) << log;
        EXPECT_LT(log.find("started TM5Game::loadingThread"), log.find("start-up failed")) << log;
        EXPECT_LT(log.find("start-up failed"), log.find("completed TM5Game::loadingThread")) << log;
        EXPECT_EQ(Count(log, "no root item"), 1u) << log;
        EXPECT_EQ(Count(log, "has no postCycleCall"), 1u) << log;
    });
}

TEST(GameScripts, ScriptErrorInTheCycleSkipsTheHookButNotTheSound) {
    InChild([] {
        gametest::FakeApp app;
        TM5Game* game = ScriptedGame(app, kStartup);
        game->Init(app);
        game->Start();
        my_intrusive_ptr<FailingRoot> root(new FailingRoot());
        SetRootItem(root.get());
        my_intrusive_ptr<Item> child(new Item());
        root->AddItem(child.get());
        game->DeleteAfterCycle(child.get());

        game->Cycle();
        EXPECT_EQ(child->GetParent(), root.get());  // the rest of the step was skipped
        EXPECT_EQ(app.debugText.size(), 2u);        // the sound part ran
        root->fail = false;
        game->Cycle();
        EXPECT_EQ(child->GetParent(), nullptr);
        EXPECT_EQ(app.debugText.size(), 4u);
        root.reset();
        child.reset();
        game->Shutdown();
        game->Release();

        const std::string log = testkit::ReadFile(app.UserFolder("Tarn") / "log.txt");
        EXPECT_EQ(Count(log, "debug is False"), 1u) << log;
        EXPECT_EQ(Count(log, "RuntimeError: the scene broke"), 1u) << log;
        EXPECT_EQ(Count(log, "hook ran"), 1u) << log;
        EXPECT_EQ(Count(log, "no root item"), 0u) << log;
    });
}

// The interpreter starts in a process whose environment names a UTF-8 locale: the process
// keeps the locale it had (the window system's keyboard state is built for it), and the
// interpreter's text is UTF-8 all the same.
TEST(GameScripts, TheInterpreterKeepsTheProcessLocale) {
    InChild([] {
        setenv("LANG", "C.UTF-8", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_CTYPE");
        ASSERT_STREQ(std::setlocale(LC_ALL, "C"), "C");
        gametest::FakeApp app;
        TM5Game* game = ScriptedGame(app, std::string(kStartup) +
                                              "import sys\n"
                                              "print('text is %s, paths are %s' % (sys.getdefaultencoding(), "
                                              "sys.getfilesystemencoding()))\n");
        game->Init(app);
        game->Start();
        EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
        EXPECT_EQ(std::getenv("LC_CTYPE"), nullptr);
        game->Shutdown();
        game->Release();
        const std::string log = testkit::ReadFile(app.UserFolder("Tarn") / "log.txt");
        EXPECT_EQ(Count(log, "text is utf-8, paths are utf-8"), 1u) << log;
    });
}
