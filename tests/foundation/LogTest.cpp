#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/TestSupport.h"
#include "shell/Log.h"
#include "shell/TextHelpers.h"

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
