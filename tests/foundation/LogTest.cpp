#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
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

// A fault logged over and over must not fill the disk, and must not hide what comes after
// it either: at its bound the log becomes the earlier log ("log.1.txt", one kept) and a
// fresh file goes on, so the newest lines are always there.
TEST_F(LogTest, AtItsBoundTheLogKeepsTheNewestLinesAndOneEarlierLog) {
    testkit::TempDir dir;
    auto path = dir.Path() / "log.txt";
    auto earlier = dir.Path() / "log.1.txt";
    SetLogLimit(100);
    OpenLog(FromUtf8(path.string()));
    for (int i = 0; i < 50; ++i) DebugStream() << "line " << i;
    DebugStream() << "a new error";
    const std::string text = testkit::ReadFile(path);
    const std::string before = testkit::ReadFile(earlier);
    EXPECT_LE(text.size(), 100u);
    EXPECT_LE(before.size(), 100u);
    EXPECT_EQ(text.substr(text.size() - 12), "a new error\n") << text;
    // The earlier log ends with the line just before the first one of the current log.
    const int first = std::stoi(text.substr(5));
    EXPECT_EQ(before.substr(before.rfind("line ")), "line " + std::to_string(first - 1) + "\n") << before;
    EXPECT_EQ(before.find("line 0\n"), std::string::npos) << before;  // older files are not kept
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u);
    OpenLog(FromUtf8(path.string()));  // the next start writes a new log
    DebugStream() << "again";
    SetLogLimit(0);
    CloseLog();
    EXPECT_EQ(testkit::ReadFile(path), "again\n");
}

// What is in the earlier log's place is never written through: a link there is replaced
// (its target keeps its bytes); a folder there stops the log at its bound with the one
// line that says so. A line longer than the bound on its own is not written whole either.
TEST_F(LogTest, RotationNeverWritesThroughWhatHoldsTheEarlierName) {
    enum Kind { kLink, kFolder, kHugeLine };
    for (Kind kind : {kLink, kFolder, kHugeLine}) {
        SCOPED_TRACE(kind);
        testkit::TempDir dir, outside;
        auto path = dir.Path() / "log.txt";
        auto earlier = dir.Path() / "log.1.txt";
        auto victim = outside.Path() / "victim.txt";
        outside.Write("victim.txt", "precious");
        if (kind == kLink) std::filesystem::create_symlink(victim, earlier);
        if (kind == kFolder) std::filesystem::create_directory(earlier);
        SetLogLimit(100);
        OpenLog(FromUtf8(path.string()));
        for (int i = 0; i < 30; ++i) DebugStream() << "line " << i;
        if (kind == kHugeLine) DebugStream() << std::string(1000, 'x');
        DebugStream() << "last";
        SetLogLimit(0);
        CloseLog();
        EXPECT_EQ(testkit::ReadFile(victim), "precious");
        EXPECT_LE(std::filesystem::file_size(path), 200u);
        if (kind == kLink) {
            EXPECT_FALSE(std::filesystem::is_symlink(earlier));
            EXPECT_NE(testkit::ReadFile(path).find("last"), std::string::npos);
        }
        if (kind == kFolder) {
            EXPECT_NE(testkit::ReadFile(path).find("log: the log reached its bound"), std::string::npos);
        }
        if (kind == kFolder) {
            EXPECT_TRUE(std::filesystem::is_directory(earlier));
        }
        if (kind == kHugeLine) {
            EXPECT_LE(std::filesystem::file_size(earlier), 200u);
        }
    }
}

// A file handed to the log without a way to start another stops at the bound: one line
// says so and the file takes nothing more.
TEST_F(LogTest, AFileWithoutARotatorStopsAtItsBound) {
    testkit::TempDir dir;
    auto path = dir.Path() / "given.txt";
    SetLogLimit(100);
    UseLogFile(std::fopen(path.c_str(), "w"));
    for (int i = 0; i < 50; ++i) DebugStream() << "line " << i;
    SetLogLimit(0);
    CloseLog();
    const std::string text = testkit::ReadFile(path);
    EXPECT_EQ(text.find("line 0\nline 1\n"), 0u) << text;
    EXPECT_EQ(text.find("line 20"), std::string::npos) << text;
    const std::string told = "log: the log reached its bound of 100 bytes";
    EXPECT_NE(text.find(told), std::string::npos) << text;
    EXPECT_EQ(text.find(told), text.rfind(told)) << text;
}

// Standard error takes no more than the bound either: one line says so, and the lines go
// on to the log file.
TEST_F(LogTest, StandardErrorStopsAtTheBoundWhileTheFileGoesOn) {
    testkit::TempDir dir;
    auto path = dir.Path() / "log.txt";
    SetLogLimit(100);
    OpenLog(FromUtf8(path.string()));
    SetLogToStderr(true);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 50; ++i) DebugStream() << "line " << i;
    const std::string told = testing::internal::GetCapturedStderr();
    SetLogToStderr(false);
    SetLogLimit(0);
    CloseLog();
    EXPECT_EQ(told.find("line 0\n"), 0u) << told;
    EXPECT_EQ(told.find("line 49"), std::string::npos) << told;
    const std::string note = "bytes of log lines went to the standard error; later lines go to the log file only";
    EXPECT_NE(told.find(note), std::string::npos) << told;
    EXPECT_LT(told.size(), 100u + 120u) << told;
    EXPECT_NE(testkit::ReadFile(path).find("line 49\n"), std::string::npos);
}

// A log name that is a link, symbolic or hard, is replaced by the log file: the other
// file is neither truncated nor written.
TEST_F(LogTest, ALinkInPlaceOfTheLogIsReplacedNotWrittenThrough) {
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        testkit::TempDir dir;
        const auto victim = dir.Write("victim.txt", "precious\n");
        auto path = dir.Path() / "log.txt";
        if (hard)
            std::filesystem::create_hard_link(victim, path);
        else
            std::filesystem::create_symlink(victim, path);
        OpenLog(FromUtf8(path.string()));
        DebugStream() << "logged";
        CloseLog();
        EXPECT_EQ(testkit::ReadFile(victim), "precious\n");
        EXPECT_FALSE(std::filesystem::is_symlink(path));
        EXPECT_EQ(std::filesystem::hard_link_count(path), 1u);
        EXPECT_EQ(testkit::ReadFile(path), "logged\n");
    }
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
