// The real game on the packed sample content, in a window on the X server (Xvfb under
// ./test.sh), driven by xdotool: start, loading screen, the start-up script's scene, a
// click it answers with a chime, a second start refused, and Escape to quit.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

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
// a runtime folder of its own for the single-instance lock, and a sound device that
// writes what the game plays to sound.wav (OpenAL Soft's wave writer).
//
// Nothing here waits for a time: every step waits for what it needs (the window, the
// pixels of a screenshot, a log line, the sound, the game's end) up to a generous
// deadline, then the checks report what the last look saw.
class GameRun : public ::testing::Test {
protected:
    void SetUp() override {
        RUV3_REQUIRE_DISPLAY();
        RUV3_REQUIRE_PROGRAM("xdotool");
        RUV3_REQUIRE_PROGRAM("import");
        RUV3_REQUIRE_PROGRAM("sox");
        std::filesystem::create_directories(run);
        std::filesystem::copy_file(TESSMAR_DATA_ZIP, run / "data.zip");
        dir.Write("home/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=false\n");
        dir.Write("openal.conf", "drivers=wave\n[wave]\nfile=" + d + "/sound.wav\n");
        std::filesystem::create_directories(dir.Path() / "runtime");
    }
    void TearDown() override {
        // A game a failed step left running is ended (by its process id).
        if (std::filesystem::exists(dir.Path() / "pid.txt") && !Ended()) {
            testkit::RunCommand("kill $(cat '" + d + "/pid.txt') 2>/dev/null");
            WaitFor([&] { return Ended(); });
        }
    }
    // The environment the game runs in, for a shell line, with `more` (shell lines) last.
    // A message box would wait for a click: the game writes it to standard error instead.
    std::string Environment(const std::string& more = "") const {
        return "cd '" + run.string() + "' && export XDG_DATA_HOME='" + d + "/home' XDG_RUNTIME_DIR='" + d +
               "/runtime' ALSOFT_CONF='" + d + "/openal.conf' LSAN_OPTIONS=suppressions='" GAME_LSAN_SUPPRESSIONS
               "' RUV3_NO_MESSAGE_BOX=1\n" + more + "\n";
    }
    // Starts the game in the background (its exit status goes to exit.txt when it ends).
    void Launch(const std::string& environment = "") {
        dir.Write("start.sh", Environment(environment) + "( timeout 900 '" TESSMAR_EXE "' >'" + d +
                                  "/first.txt' 2>&1 & echo $! >'" + d + "/pid.txt'; wait $!; echo $? >'" + d +
                                  "/exit.tmp'; mv '" + d + "/exit.tmp' '" + d + "/exit.txt' ) </dev/null >/dev/null 2>&1 &\n");
        ASSERT_EQ(testkit::RunCommand("sh '" + d + "/start.sh'"), 0);
        WaitFor([&] { return std::filesystem::exists(dir.Path() / "pid.txt"); });
    }
    // The id of the first window with this title, once one shows (empty if none did
    // before the game ended or the deadline passed).
    std::string AwaitWindow(const std::string& title) {
        std::string found;
        WaitFor([&] {
            testkit::RunCommand("timeout 30 xdotool search --name '^" + title + "$' 2>/dev/null | head -n 1 >'" + d +
                                "/wid.txt'");
            found = Trimmed(testkit::ReadFile(dir.Path() / "wid.txt"));
            return !found.empty() || Ended();
        });
        return found;
    }
    // Launches the game and waits for its window.
    void Start(const std::string& environment = "") {
        ASSERT_NO_FATAL_FAILURE(Launch(environment));
        wid = AwaitWindow("Tessmar Nightwake");
        ASSERT_FALSE(wid.empty()) << "no game window\n" << testkit::ReadFile(dir.Path() / "first.txt");
    }
    bool Ended() { return std::filesystem::exists(dir.Path() / "exit.txt"); }
    // The game under the sanitizers starts slowly on a busy machine (a whole run of the
    // sample has taken three minutes): each step waits up to five minutes, well inside
    // the ending the launch gives the game.
    static bool WaitFor(const std::function<bool()>& condition) { return testkit::WaitUntil(condition, 300); }
    std::string Output() { return testkit::ReadFile(dir.Path() / "first.txt"); }
    // xdotool on the game's window ("%w" stands for its id).
    bool Xdo(std::string args) {
        for (size_t at = args.find("%w"); at != std::string::npos; at = args.find("%w")) args.replace(at, 2, wid);
        return testkit::RunCommand("timeout 30 xdotool " + args + " >/dev/null 2>&1") == 0;
    }
    // Screenshots of the window into `file` until `mismatch` (which looks at the file)
    // answers nothing, or the deadline passes; the last shot stays for the checks.
    void AwaitScreen(const std::string& file, const std::function<std::string()>& mismatch) {
        std::string last = "no screenshot";
        const bool seen = WaitFor([&] {
            if (testkit::RunCommand("timeout 30 import " + importOptions + " -window " + wid + " '" + d + "/" + file +
                                    "' 2>/dev/null") != 0)
                return false;
            last = mismatch();
            return last.empty();
        });
        EXPECT_TRUE(seen) << file << " never showed what was expected; the last shot: " << last;
    }
    // Escape until the game ends (a key sent before the game listens would be lost), then
    // its exit status and its output.
    void QuitWithEscape() {
        EXPECT_TRUE(WaitFor([&] {
            if (!Ended()) Xdo("key --window %w Escape");
            return Ended();
        })) << "the game did not quit on Escape";
        EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "exit.txt")), "0")
            << testkit::ReadFile(dir.Path() / "first.txt");
        EXPECT_EQ(Count(testkit::ReadFile(dir.Path() / "first.txt"), "AddressSanitizer"), 0u);
    }
    bool AwaitLog(const std::string& line) {
        return WaitFor([&] { return Log().find(line) != std::string::npos || Ended(); }) &&
               Log().find(line) != std::string::npos;
    }
    // The loudest sample the game has played so far (0 to 1).
    double Loudest() {
        if (!std::filesystem::exists(dir.Path() / "sound.wav")) return -1.0;
        testkit::RunCommand("timeout 30 sox '" + d + "/sound.wav' -n stat 2>&1 | sed -n 's/^Maximum amplitude: *//p' >'" +
                            d + "/loudest.txt'");
        const std::string text = Trimmed(testkit::ReadFile(dir.Path() / "loudest.txt"));
        return text.empty() ? -1.0 : std::stod(text);
    }
    // ImageMagick's answer for a screenshot, e.g. "%[fx:mean]", after the operators given
    // (e.g. "-crop 10x10+0+0").
    std::string Measure(const std::string& file, const std::string& format, const std::string& operators = "") {
        const std::string command = "timeout 30 convert '" + d + "/" + file + "' " + operators + " -format '" +
                                    format + "' info: >'" + d + "/measure.txt'";
        if (testkit::RunCommand(command) != 0) return "(convert failed: " + command + ")";
        return Trimmed(testkit::ReadFile(dir.Path() / "measure.txt"));
    }
    std::string Pixel(const std::string& file, int x, int y) {
        const std::string at = std::to_string(x) + "," + std::to_string(y);
        return Measure(file, "%[fx:int(255*p{" + at + "}.r)],%[fx:int(255*p{" + at + "}.g)],%[fx:int(255*p{" + at +
                                 "}.b)]");
    }
    std::string Log() { return testkit::ReadFile(dir.Path() / "home/Tarn/Tessmar5/log.txt"); }
    // What a screenshot must show: each entry is what ImageMagick answers (the format
    // after the operators) and the answer expected.
    struct Look {
        std::string what, format, operators, expected;
    };
    static Look PixelIs(const std::string& what, int x, int y, const std::string& rgb) {
        const std::string at = std::to_string(x) + "," + std::to_string(y);
        return {what + " at " + at,
                "%[fx:int(255*p{" + at + "}.r)],%[fx:int(255*p{" + at + "}.g)],%[fx:int(255*p{" + at + "}.b)]", "",
                rgb};
    }
    // No pixel of a screenshot's area differs from its left neighbour by more than 20% in
    // grey: where the fog's tiles meet, the fog goes on without a step (a seam between
    // tiles whose fades differ steps by 30% and more; the board's own lines, where the fog
    // leaves them clear, by about 13%). ImageMagick's answer is how many pixels do.
    static Look NoVerticalStep(const std::string& what, int x, int y, int width, int height) {
        return {what, "%[fx:int(mean*w*h+0.5)]",
                "-crop " + std::to_string(width + 1) + "x" + std::to_string(height) + "+" + std::to_string(x - 1) + "+" +
                    std::to_string(y) +
                    " +repage -colorspace gray \\( +clone -roll +1+0 \\) -compose difference -composite -crop " +
                    std::to_string(width) + "x" + std::to_string(height) + "+1+0 +repage -threshold 20%",
                "0"};
    }
    // The looks the file does not match, with what it showed instead (empty: all match).
    std::string Mismatches(const std::string& file, const std::vector<Look>& looks) {
        std::string out;
        for (const Look& look : looks) {
            const std::string got = Measure(file, look.format, look.operators);
            if (got != look.expected) out += "\n  " + look.what + ": " + got + ", expected " + look.expected;
        }
        return out;
    }
    void AwaitLooks(const std::string& file, const std::vector<Look>& looks) {
        AwaitScreen(file, [&] { return Mismatches(file, looks); });
        for (const Look& look : looks) EXPECT_EQ(Measure(file, look.format, look.operators), look.expected) << look.what;
    }

    testkit::TempDir dir;
    const std::filesystem::path run = dir.Path() / "run";
    const std::string d = dir.Path().string();
    std::string wid;
    // "-screen": screenshots read the screen where the window is, whatever covers it
    // (a window's own pixels where another covers it are the X server's to make up).
    std::string importOptions;
};

}  // namespace

TEST_F(GameRun, ShowsTheSampleSceneAnswersAClickAndQuitsOnEscape) {
    // The sound library may say what goes wrong: nothing should.
    ASSERT_NO_FATAL_FAILURE(Start("export ALSOFT_LOGLEVEL=1"));
    // Sparks (#fff3c0 at their centres) rise from the ground on the right, in both shots.
    const Look sparks{"sparks", "%[fx:maxima.r>0.8 && maxima.g>0.8]", "-crop 120x140+640+360", "1"};
    // The script's scene (drawn by the build): the sky (#20304a) at the top, the ground
    // (#2c4468) at the bottom, the star (#f2c14e) at the centre over the board.
    AwaitLooks("shot.png",
               {PixelIs("sky", 5, 5, "32,48,74"), PixelIs("ground", 5, 500, "44,68,104"),
                PixelIs("star", 400, 300, "242,193,78"),
                // The secret entrance: its dark door (#1a1410) shows, its opened top corner
                // shows the board's darker cell (#35536f) beneath.
                PixelIs("door", 300, 270, "26,20,16"), PixelIs("opened corner", 250, 190, "53,83,111"),
                // Fog (#dfe6ee, mostly opaque) over the board's upper right, though it billows.
                {"fog", "%[fx:p{560,140}.r>0.6 && p{560,140}.b>0.7]", "", "1"}, sparks,
                // No seam where the fog's tiles meet: no thin line stands out of the fog
                // (pixels that differ from their 3 x 3 median by more than 15%; the board's
                // own seams show through the fog far fainter).
                {"fog seams",
                 "%[fx:int(mean*w*h+0.5)]",
                 "-crop 200x200+450+50 +repage -colorspace gray \\( +clone -statistic median 3x3 \\) "
                 "-compose difference -composite -threshold 15%",
                 "0"},
                // The fog's two inner corners (its cells at the board's column 8, rows 1 and
                // 3, beside the clear cells at column 7, rows 0 and 4) and the cells left of
                // them, with room for the billowing: no step where their fades meet.
                NoVerticalStep("fog's upper inner corner", 460, 90, 80, 60),
                NoVerticalStep("fog's lower inner corner", 460, 170, 80, 60),
                // The caption, in the font the resource definitions name, at the bottom left.
                {"caption", "%[fx:maxima.r>0.7]", "-crop 200x16+40+537", "1"}});

    // The libraries the running game has mapped: the software device's frames reach the
    // window without any OpenGL driver.
    testkit::RunCommand("grep -c -E 'swrast_dri|libLLVM|libGL' /proc/$(timeout 30 xdotool getwindowpid " + wid +
                        ")/maps >'" + d + "/gl.txt'");
    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "gl.txt")), "0");
    // A second start is refused while the first runs.
    dir.Write("second.sh", Environment() + "timeout 120 '" TESSMAR_EXE "' >'" + d + "/second.txt' 2>&1; echo $? >'" +
                               d + "/second_exit.txt'\n");
    testkit::RunCommand("sh '" + d + "/second.sh'");
    EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "second_exit.txt")), "0");
    EXPECT_NE(testkit::ReadFile(dir.Path() / "second.txt").find("Only one game instance can be launched"),
              std::string::npos)
        << testkit::ReadFile(dir.Path() / "second.txt");

    // Nothing has sounded yet; the click moves the star where the mouse was (the board's
    // cell #3d5f7f shows at the centre) and plays the sample's chime.
    EXPECT_EQ(Loudest(), 0.0);
    EXPECT_TRUE(Xdo("mousemove --window %w 200 150 click 1"));
    AwaitLooks("clicked.png", {PixelIs("star", 200, 150, "242,193,78"), PixelIs("cell", 410, 310, "61,95,127"), sparks});
    EXPECT_TRUE(WaitFor([&] { return Loudest() > 0.1; })) << "no chime: loudest " << Loudest();
    QuitWithEscape();

    const std::string log = Log();
    EXPECT_NE(log.find("CreateDevice succeeded"), std::string::npos) << log;
    EXPECT_EQ(Count(log, "loading screen:"), 0u) << log;  // all four images loaded
    EXPECT_LT(log.find("started TM5Game::loadingThread"), log.find("completed TM5Game::loadingThread")) << log;
    EXPECT_EQ(Count(log, "Font - "), 0u) << log;  // the caption's font loaded
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
    // The sound device was closed at shutdown (the library names one left open at exit).
    EXPECT_EQ(Count(Output(), "AL lib"), 0u) << Output();
    EXPECT_EQ(Count(log, "sound:"), 0u) << log;
}

// On a game screen larger than the scene's 800 x 600 the background fills it and the rest
// keeps its size in the middle.
TEST_F(GameRun, LaysTheSampleOutOnALargerGameScreen) {
    dir.Write("home/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=false\nappWidth=1024\nappHeight=768\n");
    ASSERT_NO_FATAL_FAILURE(Start());
    // 112 and 84 pixels right of and below where the 800 x 600 screen has them.
    AwaitLooks("large.png", {{"window size", "%w x %h", "", "1024 x 768"}, PixelIs("sky", 5, 5, "32,48,74"),
                             PixelIs("sky at the right", 1018, 5, "32,48,74"), PixelIs("ground", 5, 760, "44,68,104"),
                             PixelIs("ground at the right", 1018, 760, "44,68,104"),
                             PixelIs("star", 512, 384, "242,193,78"), PixelIs("door", 412, 354, "26,20,16"),
                             PixelIs("opened corner", 362, 274, "53,83,111")});
    QuitWithEscape();
}

// Full screen on the 1280 x 1024 screen: the 800 x 600 scene enlarged 1.6 times between
// bars of 32 rows. A window over the game and gone again: the whole scene shows again,
// the parts that never change (the sky, the door, the ground) too.
TEST_F(GameRun, FullScreenShowsTheWholeSceneAgainAfterAWindowCoveredIt) {
    RUV3_REQUIRE_PROGRAM("display");
    dir.Write("home/Tarn/Tessmar5/options.cfg", "[main]\nfullScreen=true\n");
    ASSERT_NO_FATAL_FAILURE(Start());
    importOptions = "-screen";
    // Scene point (x, y) at (1.6 x, 32 + 1.6 y).
    const std::vector<Look> scene = {{"window size", "%w x %h", "", "1280 x 1024"},
                                     PixelIs("bar", 640, 8, "0,0,0"),
                                     PixelIs("sky", 8, 40, "32,48,74"),
                                     PixelIs("door", 480, 464, "26,20,16"),
                                     PixelIs("ground", 8, 832, "44,68,104")};
    AwaitLooks("full.png", scene);
    ASSERT_EQ(testkit::RunCommand("cd '" + d + "' && (timeout 600 display -title cover -geometry +0+0 -size 1280x1024 "
                                  "xc:'#ff00ff' >/dev/null 2>&1 & echo $! >cover.txt)"),
              0);
    AwaitLooks("covered.png", {PixelIs("cover over the sky", 8, 40, "255,0,255"),
                               PixelIs("cover over the door", 480, 464, "255,0,255")});
    testkit::RunCommand("kill $(cat '" + d + "/cover.txt') 2>/dev/null");
    AwaitLooks("uncovered.png", scene);
    QuitWithEscape();
}

TEST_F(GameRun, ShowsTheLoadingScreenWhileTheStartupScriptRuns) {
    // A start-up module, packed over the sample one, that holds the start-up until the
    // test has seen the loading screen (a marker file; a deadline of its own).
    const std::string marker = d + "/seen";
    const std::string pyc = testkit::CompilePython(
        "import os, time\n"
        "deadline = time.monotonic() + 600\n"
        "while not os.path.exists('" + marker + "') and time.monotonic() < deadline:\n"
        "    time.sleep(0.05)\n",
        "ruv3_init");
    ASSERT_FALSE(pyc.empty());
    dir.Write("slow/pyc/ruv3_init.pyc", pyc);
    ASSERT_EQ(testkit::RunCommand("cd '" + d + "/slow' && zip -q -D -P '" TM5_ARCHIVE_PASSWORD "' '" + run.string() +
                                  "/data.zip' pyc/ruv3_init.pyc"),
              0);
    ASSERT_NO_FATAL_FAILURE(Start());
    // The background's top (drawn by the build as #1b2a4a) and, at the screen centre
    // below the plate, the inside of the horses' ring (#2e3f66).
    AwaitLooks("shot.png",
               {PixelIs("background", 5, 5, "27,42,74"), PixelIs("horses' ring", 400, 308, "46,63,102"),
                // Outside the plate's rounded frame (its top left corner at 192,158) the
                // background shows, not the plate's blue (#2e3f66).
                {"the plate's corner", "%[fx:p{193,159}.b<0.33]", "", "1"},
                // The word sits inside the plate, above its frame: the frame's gold line
                // (#c9b27c, at y 451) shows whole below the word (#e8dcb5).
                {"the word", "%[fx:maxima.g>0.8]", "-crop 160x40+320+400", "1"},
                {"the frame's line below the word", "%[fx:maxima.g<0.78]", "-crop 160x3+320+450", "1"}});
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "home/Tarn/Tessmar5/log.txt") &&
                 Log().find("completed TM5Game::loadingThread") != std::string::npos)
        << "the start-up ended before the test let it";
    dir.Write("seen", "");
    EXPECT_TRUE(AwaitLog("completed TM5Game::loadingThread")) << Log();
    QuitWithEscape();
    EXPECT_EQ(Count(Log(), "loading screen:"), 0u) << Log();
}

// Started where its start-up script is in neither the archive nor the folder (no archive,
// or one cut short), the game says so, naming the folder, and ends instead of showing a
// black window. The message is the one a failed start shows: in a box titled "error" where
// one can be shown (here it goes to standard error) and in the log.
TEST_F(GameRun, StartedWithoutItsDataSaysWhereItLookedAndEnds) {
    const std::string message = "error : 'no start-up script: ruv3_init is neither in data.zip nor in the folder " +
                                std::filesystem::canonical(run).string() +
                                "/; start the game in the folder that holds its data'";
    const std::string archive = testkit::ReadFile(run / "data.zip");
    for (const bool cutShort : {false, true}) {
        SCOPED_TRACE(cutShort ? "data.zip cut short" : "no data.zip");
        for (const char* file : {"exit.txt", "pid.txt", "first.txt", "home/Tarn/Tessmar5/log.txt"})
            std::filesystem::remove(dir.Path() / file);
        std::filesystem::remove(run / "data.zip");
        if (cutShort) dir.Write("run/data.zip", archive.substr(0, archive.size() / 2));
        ASSERT_NO_FATAL_FAILURE(Launch());
        ASSERT_TRUE(WaitFor([&] { return Ended(); })) << "the game did not end\n" << Log();
        EXPECT_EQ(Trimmed(testkit::ReadFile(dir.Path() / "exit.txt")), "0") << Output();
        const std::string log = Log(), output = Output();
        EXPECT_EQ(Count(log, "exception: " + message), 1u) << log;
        EXPECT_EQ(Count(output, "[error] " + message), 1u) << output;
        EXPECT_EQ(Count(log, "TM5Game: the data archive 'data.zip' is missing or unreadable"), 1u) << log;
        EXPECT_EQ(Count(log, "No module named 'ruv3_init'"), 1u) << log;
        EXPECT_EQ(Count(output, "AddressSanitizer"), 0u) << output;
        EXPECT_EQ(Count(output, "runtime error"), 0u) << output;
    }
}

// Without a sound device (ALSA asked for one that does not exist) the log says once that
// sound is off, and the sound library's own messages reach standard error only when the
// user asks for them. The start ends by itself: the folder holds no data.
TEST_F(GameRun, WithoutASoundDeviceTheLogSaysSoAndTheLibraryKeepsQuietUnlessAsked) {
    dir.Write("openal.conf", "drivers=alsa\n[alsa]\ndevice=nosuchdevice\n");
    std::filesystem::remove(run / "data.zip");
    const struct {
        const char* environment;
        bool messages;
    } cases[] = {{"", false}, {"export ALSOFT_LOGLEVEL=3", true}};
    for (const auto& c : cases) {
        for (const char* file : {"exit.txt", "pid.txt", "first.txt", "home/Tarn/Tessmar5/log.txt"})
            std::filesystem::remove(dir.Path() / file);
        ASSERT_NO_FATAL_FAILURE(Launch(c.environment));
        ASSERT_TRUE(WaitFor([&] { return Ended(); })) << "the game did not end\n" << Log();
        const std::string log = Log(), output = Output();
        EXPECT_EQ(Count(log, "sound: no sound device could be opened; sound is off"), 1u) << c.environment << log;
        EXPECT_EQ(Count(log, "sound:"), 1u) << c.environment << log;
        EXPECT_EQ(Count(output, "AL lib:") > 0, c.messages) << c.environment << output;
        if (!c.messages) {
            EXPECT_EQ(Count(output, "ALSA lib"), 0u) << output;
        }
    }
}
