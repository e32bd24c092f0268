#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/TestSupport.h"
#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"

using namespace pf;

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogToStderr(false); }
    void TearDown() override { SetLogToStderr(true); }
    testkit::LogCapture log;
};

TEST_F(LogTest, EmptyStreamWritesNothing) {
    { DebugStream s; }
    { DebugStream() << "abc"; }
    EXPECT_EQ(log.Text(), "abc\n");
}

TEST_F(LogTest, FormatsValues) {
    DebugStream() << Color(1, 2, 3, 0);
    DebugStream() << Color(1, 2, 3, 255);
    DebugStream() << reinterpret_cast<const void*>(uintptr_t(0x1234));
    DebugStream() << Rect(1, 2, 3, 4) << " " << Point(-5, 6);
    DebugStream() << 7 << " " << 8u << " " << 1.5 << " " << 2.25f << " " << std::string("n") << L"w";
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "RGB:1,2,3",
                               "RGBA:1,2,3,255 ",
                               "0x00001234",
                               "1,2,3,4 -5,6",
                               "7 8 1.5 2.25 nw",
                           }));
}

TEST_F(LogTest, LatinOneTextIsWrittenAsUtf8) {
    DebugStream() << "caf\xE9" << L" \u20AC";
    EXPECT_EQ(log.Text(), "caf\xC3\xA9 \xE2\x82\xAC\n");
}

TEST_F(LogTest, ManipulatorsFlush) {
    {
        DebugStream s;
        s << "first" << std::endl << "second";
    }
    {
        DebugStream s;
        s << "a" << std::flush << "b";
    }
    // std::endl ends the line; other manipulators only flush what was collected.
    EXPECT_EQ(log.Text(), "first\nsecond\nab\n");
}

TEST_F(LogTest, ReopeningTruncates) {
    testkit::TempDir dir;
    auto path = dir.Path() / "log.txt";
    OpenLog(FromUtf8(path.string()));
    DebugStream() << "old";
    OpenLog(FromUtf8(path.string()));
    DebugStream() << "new";
    CloseLog();
    EXPECT_EQ(testkit::ReadFile(path), "new\n");
}

// Opening a log that cannot be created closes the one open before; later lines reach the
// debugger output only.
TEST_F(LogTest, UnopenableLogStaysClosed) {
    DebugStream() << "before";
    SetLogToStderr(true);
    testing::internal::CaptureStderr();
    OpenLog(L"/nonexistent-folder/for/sure/log.txt");
    DebugStream() << "goes only to the debugger output";
    const std::string debugger = testing::internal::GetCapturedStderr();
    EXPECT_NE(debugger.find("goes only to the debugger output\n"), std::string::npos) << debugger;
    // The failure itself is told there first, so a missing log file is explained.
    EXPECT_LT(debugger.find("log: can't open '/nonexistent-folder/for/sure/log.txt' for writing"),
              debugger.find("goes only to the debugger output")) << debugger;
    EXPECT_EQ(log.Text(), "before\n");
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder"));
}

// A fault logged over and over must not fill the disk: past its bound one line says so
// and the file takes nothing more until it is opened again.
TEST_F(LogTest, TheLogFileStopsAtItsBound) {
    testkit::TempDir dir;
    auto path = dir.Path() / "log.txt";
    SetLogLimit(100);
    OpenLog(FromUtf8(path.string()));
    for (int i = 0; i < 50; ++i) DebugStream() << "line " << i;
    const std::string text = testkit::ReadFile(path);
    EXPECT_EQ(text.find("line 0\nline 1\n"), 0u) << text;
    EXPECT_EQ(text.find("line 20"), std::string::npos) << text;
    const std::string told = "log: the log reached its bound of 100 bytes";
    EXPECT_NE(text.find(told), std::string::npos) << text;
    EXPECT_EQ(text.find(told), text.rfind(told)) << text;
    EXPECT_LT(text.size(), 100u + 200u);
    OpenLog(FromUtf8(path.string()));  // the next start writes again
    DebugStream() << "again";
    SetLogLimit(0);
    CloseLog();
    EXPECT_EQ(testkit::ReadFile(path), "again\n");
}

// A log name that is a symbolic link is replaced by the log file: the link's target is
// neither truncated nor written.
TEST_F(LogTest, ALinkInPlaceOfTheLogIsReplacedNotFollowed) {
    testkit::TempDir dir;
    const auto victim = dir.Write("victim.txt", "precious\n");
    auto path = dir.Path() / "log.txt";
    std::filesystem::create_symlink(victim, path);
    OpenLog(FromUtf8(path.string()));
    DebugStream() << "logged";
    CloseLog();
    EXPECT_EQ(testkit::ReadFile(victim), "precious\n");
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(testkit::ReadFile(path), "logged\n");
}

// A log name taken by a folder or a pipe is left as it is: one line says the log cannot be
// opened, and the game goes on without waiting on the pipe.
TEST_F(LogTest, ANameTakenByAFolderOrAPipeIsToldOnceAndLeftAlone) {
    testkit::TempDir dir;
    const auto folder = dir.Path() / "folder";
    std::filesystem::create_directory(folder);
    const auto pipe = dir.Path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& path : {folder, pipe}) {
        SetLogToStderr(true);
        testing::internal::CaptureStderr();
        OpenLog(FromUtf8(path.string()));
        const std::string told = testing::internal::GetCapturedStderr();
        SetLogToStderr(false);
        const std::string line = "log: can't open '" + path.string() + "' for writing";
        EXPECT_NE(told.find(line), std::string::npos) << told;
        EXPECT_EQ(told.find(line), told.rfind(line)) << told;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

// A link whose target does not exist is replaced like any other: nothing is made where it
// pointed.
TEST_F(LogTest, ADanglingLinkInPlaceOfTheLogIsReplaced) {
    testkit::TempDir dir;
    const auto target = dir.Path() / "missing" / "target.txt";
    const auto path = dir.Path() / "log.txt";
    std::filesystem::create_symlink(target, path);
    OpenLog(FromUtf8(path.string()));
    DebugStream() << "logged";
    CloseLog();
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(testkit::ReadFile(path), "logged\n");
}
