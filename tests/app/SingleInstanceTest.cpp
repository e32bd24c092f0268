#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "AppFakes.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/foundation/Log.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"
#include "shell/platform/SingleInstance.h"

namespace {

const char* kQuitLine = "exception: quit : 'Only one game instance can be launched at the same time!'\n";

// An application stepped frame by frame over a headless window that starts minimised and
// behind other windows.
struct FirstInstance {
    pf::MessageQueue queue;
    pf::ApplicationWin32 app{queue};
    apptest::FakeGame game;
    apptest::FakeDisplay display;
    std::unique_ptr<pf::NativeWindow> window =
        pf::NativeWindow::CreateHeadless(pf::ApplicationWin32::kWindowClass, 320, 200);

    explicit FirstInstance(const std::string& name) {
        app.SetDisplayObjects(apptest::DummyDisplay(), nullptr);
        display.window = window.get();
        app.SetDisplayPort(&display);
        game.onInit = [this, name] {
            app.CheckSingleInstance(name.c_str());
            app.Quit();
        };
        app.Run(&game, nullptr);
        Hide();
    }
    void Hide() {
        window->SimulateMinimised(true);
        window->SimulateForeground(false);
    }
    bool Raised() const { return !window->IsMinimised() && window->IsForeground(); }
    void Frame() {
        int lastTick = 0, sleepMs = 0;
        app.RunFrame(false, lastTick, sleepMs);
    }
};

// Runs the second start in a process of its own (its environment changed by `env`, a
// prefix of "NAME=value " words); answers its log.
std::string RunSecondStart(const testkit::TempDir& dir, const std::string& name, const std::string& env = "") {
    std::string log = (dir.Path() / "second.txt").string();
    std::string command = "env " + env + "'" + RUV3_SECOND_INSTANCE + "' '" + log + "' '" + name + "' >/dev/null 2>&1";
    EXPECT_EQ(testkit::RunCommand(command), 0);
    return testkit::ReadFile(log);
}

// A user-data root of the test's own, where the lock lives.
struct RuntimeFolder {
    testkit::TempDir dir;
    RuntimeFolder() { setenv("XDG_DATA_HOME", dir.Path().c_str(), 1); }
    ~RuntimeFolder() { unsetenv("XDG_DATA_HOME"); }
};

// A lock service whose answers the test sets.
struct FakeLock : pf::SingleInstanceLock {
    bool acquired = true;
    bool requestPending = false;
    int polls = 0;
    std::vector<std::string> asked;
    FakeLock() { pf::SetSingleInstanceLock(this); }
    ~FakeLock() override { pf::SetSingleInstanceLock(nullptr); }
    bool Acquire(const std::string&) override { return acquired; }
    bool AskHolderToRaise(const std::string& name) override {
        asked.push_back(name);
        return true;
    }
    bool TakeRaiseRequest() override {
        ++polls;
        bool pending = requestPending;
        requestPending = false;
        return pending;
    }
};

}  // namespace

// A real second process: it logs the quit line, shows no box, runs no Start, and the first
// instance's window comes to the front at its next frame.
TEST(SingleInstance, SecondProcessQuitsAndTheFirstComesToTheFront) {
    RuntimeFolder runtime;
    std::string name = "Tessmar5-test-" + std::to_string(getpid());
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));  // this process holds it already
    FirstInstance first(name);
    first.Frame();
    EXPECT_FALSE(first.Raised()) << "nobody asked yet";

    std::string text = RunSecondStart(runtime.dir, name);
    EXPECT_NE(text.find(kQuitLine), std::string::npos) << text;
    EXPECT_NE(text.find("calls: Init Shutdown Release boxes: 0"), std::string::npos) << text;
    first.Frame();
    EXPECT_TRUE(first.Raised());
    first.Hide();
    first.Frame();
    EXPECT_FALSE(first.Raised()) << "one request raises once";

    // Another name is free: the child runs through Start.
    text = RunSecondStart(runtime.dir, name + "-other");
    EXPECT_NE(text.find("calls: Init Start Shutdown Release boxes: 0"), std::string::npos) << text;
}

// The same through the seam: the second start asks the holder, the first answers a request
// by restoring and raising its window, and an application that never took the lock does
// not listen.
TEST(SingleInstance, RaiseRequestsTravelThroughTheLockService) {
    FakeLock lock;
    {
        lock.acquired = false;
        testkit::LogCapture log;
        apptest::RecordingBox box;
        FirstInstance second("Tessmar5");
        EXPECT_EQ(lock.asked, std::vector<std::string>{"Tessmar5"});
        EXPECT_TRUE(log.Contains(kQuitLine)) << log.Text();
        EXPECT_TRUE(box.shown.empty());
    }
    lock.acquired = true;
    lock.asked.clear();
    FirstInstance first("Tessmar5");
    EXPECT_TRUE(lock.asked.empty());
    first.Frame();
    EXPECT_FALSE(first.Raised());
    lock.requestPending = true;
    first.Frame();
    EXPECT_TRUE(first.Raised());

    lock.polls = 0;
    pf::MessageQueue queue;
    pf::ApplicationWin32 unlocked(queue);
    int lastTick = 0, sleepMs = 0;
    unlocked.RunFrame(false, lastTick, sleepMs);
    EXPECT_EQ(lock.polls, 0);
}

// A socket file left by a holder that ended without removing it is replaced by the next
// holder, which then answers requests.
TEST(SingleInstance, AStaleSocketFromAnEarlierHolderIsReplaced) {
    RuntimeFolder runtime;
    std::string name = "Tessmar5-stale-" + std::to_string(getpid());
    std::string path = (runtime.dir.Path() / (name + ".sock")).string();
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);  // the file stays, nobody listens

    pf::SingleInstanceLock& lock = pf::GetSingleInstanceLock();
    EXPECT_FALSE(lock.AskHolderToRaise(name));
    ASSERT_TRUE(lock.Acquire(name));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(lock.TakeRaiseRequest());
    EXPECT_TRUE(lock.AskHolderToRaise(name));
    EXPECT_TRUE(lock.TakeRaiseRequest());
    EXPECT_FALSE(lock.TakeRaiseRequest());
}

// Callers are taken a few at a time: a flood of connections never holds one frame, and
// what is left is taken by the next polls.
TEST(SingleInstance, ManyCallersAreTakenAFewAtATime) {
    RuntimeFolder runtime;
    std::string name = "Tessmar5-flood-" + std::to_string(getpid());
    pf::SingleInstanceLock& lock = pf::GetSingleInstanceLock();
    ASSERT_TRUE(lock.Acquire(name));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(lock.AskHolderToRaise(name));
    EXPECT_TRUE(lock.TakeRaiseRequest());
    EXPECT_TRUE(lock.TakeRaiseRequest());  // the third caller
    EXPECT_FALSE(lock.TakeRaiseRequest());
}

// The lock protects the user folder: starts on one user-data root meet at one lock
// whatever their runtime or temp folders (a file planted in a shared temp folder plays no
// part), and a start on another root runs.
TEST(SingleInstance, TheLockFollowsTheUserFolder) {
    RuntimeFolder runtime;
    testkit::TempDir other, tmp;
    std::string name = "Tessmar5-root-" + std::to_string(getpid());
    tmp.Write(name + ".lock", "planted");
    tmp.Write(name + "-" + std::to_string(getuid()) + ".lock", "planted");
    std::filesystem::permissions(tmp.Path() / (name + "-" + std::to_string(getuid()) + ".lock"),
                                 std::filesystem::perms::none);
    ASSERT_TRUE(pf::GetSingleInstanceLock().Acquire(name));
    EXPECT_TRUE(std::filesystem::exists(runtime.dir.Path() / (name + ".lock")));

    const char* quits = "calls: Init Shutdown Release";
    EXPECT_NE(RunSecondStart(other, name, "XDG_RUNTIME_DIR='" + other.Path().string() + "' ").find(quits),
              std::string::npos);
    EXPECT_NE(RunSecondStart(other, name, "-u XDG_RUNTIME_DIR TMPDIR='" + tmp.Path().string() + "' ").find(quits),
              std::string::npos);
    EXPECT_NE(RunSecondStart(other, name, "XDG_DATA_HOME='" + other.Path().string() + "' ")
                  .find("calls: Init Start Shutdown Release"),
              std::string::npos);
}

// A user-data root whose name is not UTF-8 holds the lock under its own name, not under a
// look-alike with the odd bytes replaced.
TEST(SingleInstance, TheLockIsMadeInARootWhoseNameIsNotUtf8) {
    testkit::TempDir dir;
    const std::string odd = dir.Path().string() + "/caf\xe9-\xff";
    setenv("XDG_DATA_HOME", odd.c_str(), 1);
    const std::string name = "Tessmar5-odd-" + std::to_string(getpid());
    const bool acquired = pf::GetSingleInstanceLock().Acquire(name);
    unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(acquired);
    EXPECT_TRUE(std::filesystem::exists(odd + "/" + name + ".lock"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

// A child made by fork without exec (as the message box makes one to show its window)
// does not hold the lock on: once the holder is gone, the next start takes it though the
// child still runs.
TEST(SingleInstance, AForkedChildDoesNotKeepTheLock) {
    RuntimeFolder runtime;
    std::string name = "Tessmar5-fork-" + std::to_string(getpid());
    int pipeFds[2], ready[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        if (!pf::GetSingleInstanceLock().Acquire(name)) _exit(3);
        const pid_t box = fork();
        if (box == 0) {
            close(pipeFds[1]);
            char c = 'r';
            (void)write(ready[1], &c, 1);    // running: fork has returned here
            (void)read(pipeFds[0], &c, 1);  // until the test closes its end
            _exit(0);
        }
        char c;
        _exit(box > 0 && read(ready[0], &c, 1) == 1 ? 0 : 4);
    }
    close(pipeFds[0]);
    close(ready[0]);
    close(ready[1]);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name)) << "the forked child kept the lock";
    close(pipeFds[1]);
}

// A link under the lock file's name is replaced by the lock file, never followed; a file
// of another user (even one held locked) does not stop the game.
TEST(SingleInstance, PlantedLockFilesNeitherRedirectNorBlock) {
    RuntimeFolder runtime;
    testkit::LogCapture log;
    std::string name = "Tessmar5-planted-" + std::to_string(getpid());
    std::filesystem::path target = runtime.dir.Path() / "victim.txt";
    std::filesystem::create_symlink(target, runtime.dir.Path() / (name + ".lock"));
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::is_symlink(runtime.dir.Path() / (name + ".lock")));
    EXPECT_NE(RunSecondStart(runtime.dir, name).find("calls: Init Shutdown Release"), std::string::npos);

    if (geteuid() == 0) {
        std::string foreign = name + "-foreign";
        std::string path = (runtime.dir.Path() / (foreign + ".lock")).string();
        int fd = open(path.c_str(), O_RDWR | O_CREAT, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchown(fd, 65534, 65534), 0);
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // held by "the other user"
        EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(foreign));
        EXPECT_TRUE(log.Contains("belongs to another user")) << log.Text();
        close(fd);
    }
}
