// The real game on the packed sample content, in a window on the X server (Xvfb under
// ./test.sh), driven by xdotool: start, loading screen, frames, a second start refused,
// and Escape to quit.
#include <gtest/gtest.h>

#include <fstream>

#include "common/Oracle.h"
#include "common/TestSupport.h"

namespace {

size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

TEST(GameEndToEnd, OpensTheWindowOnTheSampleDataAndQuitsOnEscape) {
    RUV3_REQUIRE_DISPLAY();
    RUV3_REQUIRE_PROGRAM("xdotool");
    RUV3_REQUIRE_PROGRAM("import");
    testkit::TempDir dir;
    const std::filesystem::path run = dir.Path() / "run";
    std::filesystem::create_directories(run);
    std::filesystem::copy_file(TESSMAR_DATA_ZIP, run / "data.zip");
    dir.Write("home/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=false\n");
    std::filesystem::create_directories(dir.Path() / "runtime");

    const std::string d = dir.Path().string();
    const std::string script =
        "cd '" + run.string() + "' && export XDG_DATA_HOME='" + d + "/home' XDG_RUNTIME_DIR='" + d +
        "/runtime' LSAN_OPTIONS=suppressions='" GAME_LSAN_SUPPRESSIONS "'\n"
        "timeout 60 '" TESSMAR_EXE "' >'" + d + "/first.txt' 2>&1 & pid=$!\n"
        "wid=$(timeout 30 xdotool search --sync --name '^Tessmar Nightwake$' | head -n 1)\n"
        "if [ -z \"$wid\" ]; then kill $pid; wait $pid; exit 3; fi\n"
        "sleep 1\n"
        "import -window \"$wid\" '" + d + "/shot.png'\n"
        "timeout 30 '" TESSMAR_EXE "' >'" + d + "/second.txt' 2>&1; echo $? >'" + d + "/second_exit.txt'\n"
        "xdotool key --window \"$wid\" Escape\n"
        "wait $pid; echo $? >'" + d + "/first_exit.txt'\n";
    const std::filesystem::path scriptPath = dir.Write("drive.sh", script);
    ASSERT_EQ(testkit::RunCommand("sh '" + scriptPath.string() + "'"), 0)
        << "no game window\n" << testkit::ReadFile(dir.Path() / "first.txt");

    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "first_exit.txt")), "0")
        << testkit::ReadFile(dir.Path() / "first.txt");
    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "second_exit.txt")), "0");
    EXPECT_NE(testkit::ReadFile(dir.Path() / "second.txt").find("Only one game instance can be launched"),
              std::string::npos)
        << testkit::ReadFile(dir.Path() / "second.txt");

    // The frames after start-up are the display's cleared frame while no scene is installed.
    std::string mean;
    {
        const std::string command = "convert '" + d + "/shot.png' -format '%[fx:mean]' info: >'" + d + "/mean.txt'";
        ASSERT_EQ(testkit::RunCommand(command), 0);
        mean = Trimmed(testkit::ReadFile(dir.Path() / "mean.txt"));
    }
    EXPECT_EQ(mean, "0") << "the window is not the cleared frame";

    const std::string log = testkit::ReadFile(dir.Path() / "home/Tarn/Tessmar5/log.txt");
    EXPECT_NE(log.find("CreateDevice succeeded"), std::string::npos) << log;
    EXPECT_EQ(Count(log, "loading screen:"), 0u) << log;  // all four images loaded
    EXPECT_LT(log.find("started TM5Game::loadingThread"), log.find("completed TM5Game::loadingThread")) << log;
    EXPECT_NE(log.find("TM5Game: Escape without a scene: quitting"), std::string::npos) << log;
    EXPECT_NE(log.find("leaked items: 0"), std::string::npos) << log;
    // The debugger stub's import and the start-up module's one failure, nothing else,
    // until the scene bindings exist.
    EXPECT_EQ(Count(log, "Traceback"), 2u) << log;
    EXPECT_EQ(Count(log, "No module named 'wingdbstub'"), 1u) << log;
    EXPECT_EQ(Count(log, "File \"ruv3_init.py\""), 1u) << log;
    EXPECT_EQ(Count(log, "ERROR"), 0u) << log;
    EXPECT_EQ(Count(testkit::ReadFile(dir.Path() / "first.txt"), "AddressSanitizer"), 0u);
}
