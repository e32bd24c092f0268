// The real game on the packed sample content, in a window on the X server (Xvfb under
// ./test.sh), driven by xdotool: start, loading screen, the start-up script's scene, a
// click it answers, a second start refused, and Escape to quit.
#include <gtest/gtest.h>

#include <fstream>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "game/ArchivePassword.h"

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

// A folder to run the game in: the sample archive, a user folder with windowed options,
// and a runtime folder of its own for the single-instance lock.
class GameRun : public ::testing::Test {
protected:
    void SetUp() override {
        RUV3_REQUIRE_DISPLAY();
        RUV3_REQUIRE_PROGRAM("xdotool");
        RUV3_REQUIRE_PROGRAM("import");
        std::filesystem::create_directories(run);
        std::filesystem::copy_file(TESSMAR_DATA_ZIP, run / "data.zip");
        dir.Write("home/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=false\n");
        std::filesystem::create_directories(dir.Path() / "runtime");
    }
    // Starts the game, waits for its window ($wid), runs the commands, and waits for the
    // game to end; its exit status goes to first_exit.txt.
    void Drive(const std::string& commands) {
        const std::string script =
            "cd '" + run.string() + "' && export XDG_DATA_HOME='" + d + "/home' XDG_RUNTIME_DIR='" + d +
            "/runtime' LSAN_OPTIONS=suppressions='" GAME_LSAN_SUPPRESSIONS "'\n"
            "timeout 60 '" TESSMAR_EXE "' >'" + d + "/first.txt' 2>&1 & pid=$!\n"
            "wid=$(timeout 30 xdotool search --sync --name '^Tessmar Nightwake$' | head -n 1)\n"
            "if [ -z \"$wid\" ]; then kill $pid; wait $pid; exit 3; fi\n" +
            commands + "wait $pid; echo $? >'" + d + "/first_exit.txt'\n";
        const std::filesystem::path scriptPath = dir.Write("drive.sh", script);
        ASSERT_EQ(testkit::RunCommand("sh '" + scriptPath.string() + "'"), 0)
            << "no game window\n" << testkit::ReadFile(dir.Path() / "first.txt");
        EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "first_exit.txt")), "0")
            << testkit::ReadFile(dir.Path() / "first.txt");
        EXPECT_EQ(Count(testkit::ReadFile(dir.Path() / "first.txt"), "AddressSanitizer"), 0u);
    }
    // ImageMagick's answer for a screenshot, e.g. "%[fx:mean]", after the operators given
    // (e.g. "-crop 10x10+0+0").
    std::string Measure(const std::string& format) { return Measure("shot.png", format); }
    std::string Measure(const std::string& file, const std::string& format, const std::string& operators = "") {
        const std::string command = "convert '" + d + "/" + file + "' " + operators + " -format '" + format +
                                    "' info: >'" + d + "/measure.txt'";
        EXPECT_EQ(testkit::RunCommand(command), 0) << command;
        return Trimmed(testkit::ReadFile(dir.Path() / "measure.txt"));
    }
    std::string Log() { return testkit::ReadFile(dir.Path() / "home/Tarn/Tessmar5/log.txt"); }

    testkit::TempDir dir;
    const std::filesystem::path run = dir.Path() / "run";
    const std::string d = dir.Path().string();
    const std::string shot = "import -window \"$wid\" '" + d + "/shot.png'\n";
};

}  // namespace

TEST_F(GameRun, ShowsTheSampleSceneAnswersAClickAndQuitsOnEscape) {
    // The libraries the running game has mapped: the software device's frames reach the
    // window without any OpenGL driver.
    const std::string drivers = "grep -c -E 'swrast_dri|libLLVM|libGL' /proc/$(xdotool getwindowpid \"$wid\")/maps >'" +
                                d + "/gl.txt'\n";
    const std::string clickedShot = "import -window \"$wid\" '" + d + "/clicked.png'\n";
    Drive("sleep 2\n" + shot + drivers + "timeout 30 '" TESSMAR_EXE "' >'" + d + "/second.txt' 2>&1; echo $? >'" + d +
          "/second_exit.txt'\n"
          "xdotool mousemove --window \"$wid\" 200 150 click 1\nsleep 1\n" +
          clickedShot + "xdotool key --window \"$wid\" Escape\n");
    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "gl.txt")), "0");
    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "second_exit.txt")), "0");
    EXPECT_NE(testkit::ReadFile(dir.Path() / "second.txt").find("Only one game instance can be launched"),
              std::string::npos)
        << testkit::ReadFile(dir.Path() / "second.txt");

    // The script's scene (drawn by the build): the sky (#20304a) at the top, the ground
    // (#2c4468) at the bottom, the star (#f2c14e) at the centre over the board; after the
    // click the star stands where the mouse was and the board's cell (#3d5f7f) shows.
    auto pixel = [&](const char* file, int x, int y) {
        const std::string at = std::to_string(x) + "," + std::to_string(y);
        return Measure(file, "%[fx:int(255*p{" + at + "}.r)],%[fx:int(255*p{" + at + "}.g)],%[fx:int(255*p{" + at +
                                 "}.b)]");
    };
    EXPECT_EQ(pixel("shot.png", 5, 5), "32,48,74");
    EXPECT_EQ(pixel("shot.png", 5, 500), "44,68,104");
    EXPECT_EQ(pixel("shot.png", 400, 300), "242,193,78");
    EXPECT_EQ(pixel("clicked.png", 200, 150), "242,193,78");
    EXPECT_EQ(pixel("clicked.png", 410, 310), "61,95,127");
    // The secret entrance: its dark door (#1a1410) shows, its opened top corner shows the
    // board's darker cell (#35536f) beneath.
    EXPECT_EQ(pixel("shot.png", 300, 270), "26,20,16");
    EXPECT_EQ(pixel("shot.png", 250, 190), "53,83,111");
    // Fog (#dfe6ee, mostly opaque) over the board's upper right, though it billows.
    EXPECT_EQ(Measure("shot.png", "%[fx:p{560,140}.r>0.6 && p{560,140}.b>0.7]"), "1");
    // Sparks (#fff3c0 at their centres) rise from the ground on the right, in both shots.
    for (const char* file : {"shot.png", "clicked.png"})
        EXPECT_EQ(Measure(file, "%[fx:maxima.r>0.8 && maxima.g>0.8]", "-crop 120x140+640+360"), "1") << file;

    const std::string log = Log();
    EXPECT_NE(log.find("CreateDevice succeeded"), std::string::npos) << log;
    EXPECT_EQ(Count(log, "loading screen:"), 0u) << log;  // all four images loaded
    EXPECT_LT(log.find("started TM5Game::loadingThread"), log.find("completed TM5Game::loadingThread")) << log;
    // Escape reached the script, which quit; the engine's own no-scene rule never ran.
    EXPECT_EQ(Count(log, "without a scene"), 0u) << log;
    EXPECT_EQ(Count(log, "no root item"), 0u) << log;
    // The only traceback is the optional debugger stub's, which is not shipped.
    EXPECT_EQ(Count(log, "Traceback"), 1u) << log;
    EXPECT_EQ(Count(log, "No module named 'wingdbstub'"), 1u) << log;
    EXPECT_EQ(Count(log, "ruv3_init.py"), 0u) << log;
    // The leak report runs before the root is released: it lists the scene still in use.
    EXPECT_NE(log.find("[TextBlock] text 'Click to move th"), std::string::npos) << log;
    EXPECT_NE(log.find("[Item] pos (200, 150), size 96x96"), std::string::npos) << log;
    EXPECT_EQ(Count(log, "ERROR"), 0u) << log;
}

TEST_F(GameRun, ShowsTheLoadingScreenWhileTheStartupScriptRuns) {
    // A start-up module that takes its time, packed over the sample one.
    const std::string pyc = testkit::CompilePython("import time\ntime.sleep(3)\n", "ruv3_init");
    ASSERT_FALSE(pyc.empty());
    dir.Write("slow/pyc/ruv3_init.pyc", pyc);
    ASSERT_EQ(testkit::RunCommand("cd '" + d + "/slow' && zip -q -D -P '" TM5_ARCHIVE_PASSWORD "' '" + run.string() +
                                  "/data.zip' pyc/ruv3_init.pyc"),
              0);
    Drive("sleep 1\n" + shot + "sleep 3\nxdotool key --window \"$wid\" Escape\n");

    // The background's top (drawn by the build as #1b2a4a) and, at the screen centre
    // below the plate, the inside of the horses' ring (#2e3f66).
    EXPECT_EQ(Measure("%[fx:int(255*p{5,5}.r)],%[fx:int(255*p{5,5}.g)],%[fx:int(255*p{5,5}.b)]"), "27,42,74");
    EXPECT_EQ(Measure("%[fx:int(255*p{400,308}.r)],%[fx:int(255*p{400,308}.g)],%[fx:int(255*p{400,308}.b)]"),
              "46,63,102");
    EXPECT_EQ(Count(Log(), "loading screen:"), 0u) << Log();
}

TEST_F(GameRun, AnArchiveCutShortIsNamedInTheLogAndEscapeStillQuits) {
    std::filesystem::resize_file(run / "data.zip", std::filesystem::file_size(run / "data.zip") / 2);
    Drive("sleep 1\nxdotool key --window \"$wid\" Escape\n");
    const std::string log = Log();
    EXPECT_EQ(Count(log, "TM5Game: the data archive 'data.zip' is missing or unreadable"), 1u) << log;
    EXPECT_EQ(Count(log, "Escape without a scene: quitting"), 1u) << log;
    EXPECT_EQ(Count(testkit::ReadFile(dir.Path() / "first.txt"), "runtime error"), 0u);
}
