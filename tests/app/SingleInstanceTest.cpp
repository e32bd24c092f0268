#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "AppFakes.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/Log.h"
#include "shell/TextHelpers.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/SingleInstance.h"

namespace {

const char* kChildLog = "RUV3_SINGLE_INSTANCE_LOG";
const char* kChildName = "RUV3_SINGLE_INSTANCE_NAME";

}  // namespace

// Runs only as the second process started by the test below: its game checks for
// another instance during Init.
TEST(SingleInstanceChild, RunsAsTheSecondInstance) {
    const char* logPath = std::getenv(kChildLog);
    const char* name = std::getenv(kChildName);
    if (!logPath || !name) GTEST_SKIP() << "started by SingleInstance.SecondProcessQuitsWithTheLoggedLine";
    apptest::RecordingBox box;
    pf::OpenLog(pf::FromUtf8(logPath));
    pf::MessageQueue queue;
    pf::ApplicationWin32 app(queue);
    apptest::FakeGame game;
    game.onInit = [&] { app.CheckSingleInstance(name); };
    game.onStart = [&] { app.Quit(); };
    app.Run(&game, nullptr);
    std::string calls;
    for (const std::string& c : game.calls) calls += c + " ";
    pf::DebugStream() << "calls: " << calls << "boxes: " << static_cast<int>(box.shown.size());
    pf::CloseLog();
}

TEST(SingleInstance, SecondProcessQuitsWithTheLoggedLine) {
    testkit::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    std::string name = "Tessmar5-test-" + std::to_string(getpid());
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));  // this process holds it already

    std::string log = (runtime.Path() / "child.txt").string();
    std::string command = std::string(kChildLog) + "='" + log + "' " + kChildName + "='" + name +
                          "' /proc/" + std::to_string(getpid()) +
                          "/exe --gtest_filter=SingleInstanceChild.* >/dev/null 2>&1";
    EXPECT_EQ(testkit::RunCommand(command), 0);
    std::string text = testkit::ReadFile(log);
    EXPECT_NE(text.find("exception: quit : 'Only one game instance can be launched at the same time!'\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("calls: Init Shutdown Release boxes: 0"), std::string::npos) << text;

    // Another name is free: the child runs through Start.
    std::string other = name + "-other";
    command = std::string(kChildLog) + "='" + log + "' " + kChildName + "='" + other + "' /proc/" +
              std::to_string(getpid()) + "/exe --gtest_filter=SingleInstanceChild.* >/dev/null 2>&1";
    EXPECT_EQ(testkit::RunCommand(command), 0);
    text = testkit::ReadFile(log);
    EXPECT_NE(text.find("calls: Init Start Shutdown Release boxes: 0"), std::string::npos) << text;
    unsetenv("XDG_RUNTIME_DIR");
}

// In a shared temp folder the lock file may have been planted by someone else: a link is
// never followed, and a file of another user (even one held locked) does not stop the game.
TEST(SingleInstance, PlantedLockFilesNeitherRedirectNorBlock) {
    testkit::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    testkit::LogCapture log;
    std::string name = "Tessmar5-planted-" + std::to_string(getpid());
    std::filesystem::path target = runtime.Path() / "victim.txt";
    std::filesystem::create_symlink(target, runtime.Path() / (name + ".lock"));
    EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(name));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(log.Contains("SingleInstance - cannot open")) << log.Text();

    if (geteuid() == 0) {
        std::string foreign = name + "-foreign";
        std::string path = (runtime.Path() / (foreign + ".lock")).string();
        int fd = open(path.c_str(), O_RDWR | O_CREAT, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchown(fd, 65534, 65534), 0);
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // held by "the other user"
        EXPECT_TRUE(pf::GetSingleInstanceLock().Acquire(foreign));
        EXPECT_TRUE(log.Contains("belongs to another user")) << log.Text();
        close(fd);
    }
    unsetenv("XDG_RUNTIME_DIR");
}
