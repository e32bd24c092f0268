// The crash filter in child processes: a fault writes its report to the log and the
// process still dies by the fault.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "common/TestSupport.h"
#include "game/CrashFilter.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"

namespace {

// Runs the fault in a child with the log at `log`; answers the signal it died by (0 when
// it did not die by one).
int DieInChild(const std::filesystem::path& log, void (*fault)()) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        pf::SetLogToStderr(false);
        pf::OpenLog(pf::FromUtf8(log.string()));
        pf::DebugStream() << "before the fault";
        game::InstallCrashFilter();
        fault();
        _exit(0);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

void WriteThroughABadPointer() {
    // Not null: the sanitizers let the store through to the fault. The address is read
    // from a volatile variable, so the optimiser cannot see (and warn about) the store.
    volatile std::uintptr_t address = 0x10;
    *reinterpret_cast<volatile int*>(address) = 1;
}

void Throw() { throw std::runtime_error("nobody caught this"); }
void (*volatile g_throw)() = &Throw;

// Nothing may leave a noexcept function: std::terminate.
void ThrowPastMain() noexcept { g_throw(); }

}  // namespace

TEST(CrashFilter, ASegmentationFaultIsLoggedAndStillKills) {
    testkit::TempDir dir;
    const auto log = dir.Path() / "log.txt";
    EXPECT_EQ(DieInChild(log, &WriteThroughABadPointer), SIGSEGV);
    const std::string text = testkit::ReadFile(log);
    EXPECT_EQ(text,
              "before the fault\n"
              "\n==  ==  ==  ==  ==  ==  ===\n"
              "Exception happened!\n"
              "Exception code: B\n"
              "Exception address: 0x10\n"
              "==  ==  ==  ==  ==  ==  ===\n\n");
}

TEST(CrashFilter, AnUncaughtExceptionIsNamedAndAborts) {
    testkit::TempDir dir;
    const auto log = dir.Path() / "log.txt";
    EXPECT_EQ(DieInChild(log, &ThrowPastMain), SIGABRT);
    const std::string text = testkit::ReadFile(log);
    EXPECT_NE(text.find("Unhandled exception: nobody caught this\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Exception code: 6\nException address: 0x00\n"), std::string::npos) << text;
}
