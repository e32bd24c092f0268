// The real game on the packed sample content, run as a player's machine runs it and
// against set-ups a player may have: saved window sizes no display can use, a log that is
// a link, a file-size limit, a script error raised every frame. Every wait is for a
// condition (a window, a log line, the process's end), each with a deadline.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "game/ArchivePassword.h"

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// A folder to run the game in: the sample archive, a user folder with windowed options.
class PlayerMachine : public ::testing::Test {
protected:
    void SetUp() override {
        RUV3_REQUIRE_DISPLAY();
        RUV3_REQUIRE_PROGRAM("xdotool");
        RUV3_REQUIRE_PROGRAM("zip");
        std::filesystem::create_directories(run);
        std::filesystem::copy_file(TESSMAR_DATA_ZIP, run / "data.zip");
        Options("[main]\nfullScreen=false\n");
        std::filesystem::create_directories(dir.Path() / "runtime");
    }
    void Options(const std::string& text) { dir.Write("home/Tarn/Tessmar5/options.cfg", text); }
    std::string UserFile(const std::string& name) { return testkit::ReadFile(user / name); }
    std::string Log() { return UserFile("log.txt"); }
    // Removes the last run's log, so that waiting for a line waits for the next run's.
    void ForgetLog() { std::filesystem::remove(user / "log.txt"); }

    // Packs a start-up module over the sample one.
    void StartupScript(const std::string& source) {
        const std::string pyc = testkit::CompilePython(source, "ruv3_init");
        ASSERT_FALSE(pyc.empty());
        dir.Write("script/pyc/ruv3_init.pyc", pyc);
        ASSERT_EQ(testkit::RunCommand("cd '" + d + "/script' && zip -q -D -P '" TM5_ARCHIVE_PASSWORD "' '" +
                                      run.string() + "/data.zip' pyc/ruv3_init.pyc"),
                  0);
    }

    // Starts the game (after the shell lines in `before`), runs `commands` (with $pid and,
    // when `window`, $wid set) and waits for the game to end. `waitfor CONDITION` in the
    // commands polls a shell condition for up to a minute. Answers the exit status.
    std::string Play(const std::string& commands, bool window = true, const std::string& before = "") {
        const std::string script =
            "waitfor() { i=0; while ! eval \"$1\"; do i=$((i+1)); [ $i -gt 600 ] && return 1; sleep 0.1; done; }\n"
            "cd '" + runFolder + "' && export XDG_DATA_HOME='" + dataHome + "' XDG_RUNTIME_DIR='" + d +
            "/runtime' LSAN_OPTIONS=suppressions='" GAME_LSAN_SUPPRESSIONS "'\n" + before +
            "timeout -k 10 120 '" TESSMAR_EXE "' >'" + d + "/out.txt' 2>&1 & pid=$!\n" +
            (window ? "wid=$(timeout 60 xdotool search --sync --name '^Tessmar Nightwake$' | head -n 1)\n"
                      "if [ -z \"$wid\" ]; then kill $pid; fi\n"
                    : "") +
            commands + "wait $pid; echo $? >'" + d + "/exit.txt'\n";
        const std::filesystem::path scriptPath = dir.Write("play.sh", script);
        testkit::RunCommand("sh '" + scriptPath.string() + "'");
        return Trimmed(testkit::ReadFile(dir.Path() / "exit.txt"));
    }
    std::string Output() { return testkit::ReadFile(dir.Path() / "out.txt"); }
    // Shell lines for Play's `before`: an X server of the test's own on a free display
    // number, which the game and xdotool then use ($xpid: the server, ended with the script).
    // It keeps what a client sets (a key map) when that client disconnects.
    std::string PrivateServer(const std::string& name) {
        const std::string number = d + "/" + name + ".display";
        return "rm -f '" + number + "'\n"
               "Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>'" + number + "' >/dev/null 2>&1 & xpid=$!\n"
               "trap 'kill $xpid 2>/dev/null' EXIT\n"
               "waitfor \"[ -s '" + number + "' ]\"\n"
               "export DISPLAY=:$(cat '" + number + "')\n";
    }

    testkit::TempDir dir;
    const std::filesystem::path run = dir.Path() / "run";
    const std::filesystem::path user = dir.Path() / "home/Tarn/Tessmar5";
    const std::string d = dir.Path().string();
    const std::string logFile = d + "/home/Tarn/Tessmar5/log.txt";
    const std::string escape = "timeout 10 xdotool key --window \"$wid\" Escape\n";
    const std::string started =
        "waitfor \"grep -q 'completed TM5Game::loadingThread' '" + logFile + "' 2>/dev/null\"\n";
    // Where Play starts the game and what it gives as $XDG_DATA_HOME.
    std::string runFolder = run.string();
    std::string dataHome = d + "/home";
};

}  // namespace

// A saved window size no display can use (none, negative, not a number, beyond the
// monitor) gives the default 800 x 600 with one log line, and the game runs.
TEST_F(PlayerMachine, UnusableSavedWindowSizesFallBackToTheDefault) {
    const char* sizes[][2] = {{"0", "600"},         {"-800", "-600"},  {"wide", "tall"},
                              {"99999", "600"},     {"800", "70000"},
                              // Outside int: read as int they would wrap to 640 x 600.
                              {"4294967936", "600"}, {"800", "-4294966696"}};
    for (const auto& size : sizes) {
        Options(std::string("[main]\nfullScreen=false\nappWidth=") + size[0] + "\nappHeight=" + size[1] + "\n");
        const std::string exitStatus =
            Play("waitfor \"grep -q 'CreateDevice succeeded' '" + logFile + "'\"\n"
                 "timeout 10 xdotool getwindowgeometry \"$wid\" >'" + d + "/geometry.txt'\n" + escape);
        EXPECT_EQ(exitStatus, "0") << size[0] << "x" << size[1] << "\n" << Output();
        const std::string log = Log();
        EXPECT_EQ(Count(log, "does not fit the monitor"), 1u) << log;
        EXPECT_NE(testkit::ReadFile(dir.Path() / "geometry.txt").find("Geometry: 800x600"), std::string::npos)
            << testkit::ReadFile(dir.Path() / "geometry.txt");
        EXPECT_EQ(Count(log, "Direct3D functionality not available"), 0u) << log;
    }
}

// A log name that is a link to another file, symbolic or hard: the link is replaced by the
// log, the file it pointed to stays as it was.
TEST_F(PlayerMachine, ALogThatIsALinkIsNotFollowed) {
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        const std::filesystem::path victim = dir.Write("victim.txt", "the player's own file\n");
        std::filesystem::remove(user / "log.txt");
        if (hard)
            std::filesystem::create_hard_link(victim, user / "log.txt");
        else
            std::filesystem::create_symlink(victim, user / "log.txt");
        EXPECT_EQ(Play("waitfor \"grep -q 'CreateDevice succeeded' '" + logFile + "'\"\n" + escape), "0") << Output();
        EXPECT_EQ(testkit::ReadFile(victim), "the player's own file\n");
        EXPECT_FALSE(std::filesystem::is_symlink(user / "log.txt"));
        EXPECT_EQ(std::filesystem::hard_link_count(user / "log.txt"), 1u);
        EXPECT_NE(Log().find("CreateDevice succeeded"), std::string::npos);
    }
}

// An options file of 64 GB (a real sparse file) is refused with a log line: the game
// starts on the default options, and the file stays as it was.
TEST_F(PlayerMachine, AnOptionsFileOf64GBIsRefusedAndTheGameStarts) {
    ASSERT_EQ(testkit::RunCommand("truncate -s 64G '" + (user / "options.cfg").string() + "'"), 0);
    EXPECT_EQ(Play("waitfor \"grep -q 'CreateDevice succeeded' '" + logFile + "'\"\n" + escape), "0") << Output();
    const std::string log = Log();
    EXPECT_EQ(Count(log, "'options.cfg' is larger than 4 MB: it is not read"), 1u) << log.substr(0, 4000);
    EXPECT_EQ(std::filesystem::file_size(user / "options.cfg"), uint64_t(64) << 30);
}

// A working folder and a data home whose names are not UTF-8 are used as they are: a
// loose start-up module of the working folder runs, and what it writes lands in the user
// folder under that data home.
TEST_F(PlayerMachine, FoldersWhoseNamesAreNotUtf8AreUsedAsTheyAre) {
    const std::string odd = d + "/caf\xe9-\xff";
    runFolder = odd + "/run";
    dataHome = odd + "/home";
    const std::string pyc = testkit::CompilePython(
        "import ruv3\n"
        "app = ruv3.Application.GetInstance()\n"
        "app.GetFileSystem().writeUtf8String2UserFile(u'marker.txt', False, u'loose module ran')\n"
        "app.QuitAfterCycle()\n"
        "def postCycleCall():\n    pass\n",
        "ruv3_init");
    ASSERT_FALSE(pyc.empty());
    const std::filesystem::path staged = dir.Write("ruv3_init.pyc", pyc);
    // The archive's own module goes, so the loose one is the one found.
    ASSERT_EQ(testkit::RunCommand("mkdir -p '" + runFolder + "/pyc' '" + dataHome + "' && cp '" + run.string() +
                                  "/data.zip' '" + runFolder + "/' && cp '" + staged.string() + "' '" + runFolder +
                                  "/pyc/' && zip -q -d '" + runFolder + "/data.zip' pyc/ruv3_init.pyc"),
              0);
    EXPECT_EQ(Play("", false), "0") << Output();
    EXPECT_EQ(testkit::ReadFile(dataHome + "/Tarn/Tessmar5/marker.txt"), "loose module ran") << Output();
    EXPECT_FALSE(testkit::ReadFile(dataHome + "/Tarn/Tessmar5/log.txt").empty());
}

// Under a file-size limit a save that would pass it fails and says so; the game lives
// on, the old file stays whole and no temporary file is left.
TEST_F(PlayerMachine, ASaveBeyondTheFileSizeLimitFailsAndTheGameRunsOn) {
    StartupScript(
        "import ruv3\n"
        "app = ruv3.Application.GetInstance()\n"
        "options = app.GetOptions()\n"
        "options.set(u'padding', u'x' * 300000)\n"
        "saved = options.save()\n"
        "app.GetFileSystem().writeUtf8String2UserFile(u'saved.txt', False, u'%s' % saved)\n"
        "app.QuitAfterCycle()\n"
        "def postCycleCall():\n    pass\n");
    // dash counts the limit in blocks of 512 bytes: 128 KB.
    EXPECT_EQ(Play("", false, "ulimit -f 256\n"), "0") << Output();
    EXPECT_EQ(UserFile("saved.txt"), "False");
    EXPECT_EQ(UserFile("options.cfg"), "[main]\nfullScreen=false\n");
    for (const auto& entry : std::filesystem::directory_iterator(user))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    EXPECT_NE(Log().find("can't write the file 'options.cfg'"), std::string::npos) << Log();
}

// Script errors raised every frame, one error or two taking turns, are each printed once
// and then counted: the log does not grow by a traceback a frame.
TEST_F(PlayerMachine, ErrorsEveryFrameArePrintedOnceThenCounted) {
    struct Case {
        const char* raise;                  // the end of postCycleCall
        std::vector<std::string> printed;   // once each
        std::vector<std::string> counted;
    } cases[] = {
        {"    raise RuntimeError('broken every frame')\n",
         {"RuntimeError: broken every frame"},
         {"the same error again (256 repeats): RuntimeError at File"}},
        {"    if frames[0] % 2:\n"
         "        raise RuntimeError('odd frame')\n"
         "    raise ValueError('even frame')\n",
         {"RuntimeError: odd frame", "ValueError: even frame"},
         {"the same error again (128 repeats): RuntimeError at File",
          "the same error again (128 repeats): ValueError at File"}},
    };
    for (const Case& c : cases) {
        StartupScript(std::string("import ruv3\n"
                                  "frames = [0]\n"
                                  "def postCycleCall():\n"
                                  "    frames[0] += 1\n"
                                  "    if frames[0] >= 300:\n"
                                  "        ruv3.Application.GetInstance().QuitAfterCycle()\n"
                                  "        return\n") +
                      c.raise);
        EXPECT_EQ(Play("", false), "0") << Output();
        const std::string log = Log();
        for (const std::string& line : c.printed) EXPECT_EQ(Count(log, line), 1u) << log.substr(0, 4000);
        for (const std::string& line : c.counted) EXPECT_NE(log.find(line), std::string::npos) << log.substr(0, 4000);
        EXPECT_LT(log.size(), 16000u) << log.substr(0, 4000);
    }
}

// The X server goes away under the running game (a desktop session that ends): the game
// ends at once with one log line and its files as they were, and the next start, on
// another X server, runs.
TEST_F(PlayerMachine, LosingTheXServerEndsTheGameAndTheNextStartRuns) {
    RUV3_REQUIRE_PROGRAM("Xvfb");
    ForgetLog();
    const std::string lost =
        Play(started + "kill -9 $xpid\nwaitfor '! kill -0 $pid 2>/dev/null'\n", true, PrivateServer("lost"));
    EXPECT_EQ(lost, "1") << Output();
    EXPECT_EQ(Count(Log(), "the connection to the X server was lost"), 1u) << Log();
    EXPECT_EQ(UserFile("options.cfg"), "[main]\nfullScreen=false\n");

    ForgetLog();
    EXPECT_EQ(Play(started + escape, true, PrivateServer("next")), "0") << Output();
    EXPECT_EQ(Count(Log(), "Only one game instance"), 0u) << Log();
}

// With no X server to open (none named, or one that is not there) the display fails as it
// says, on standard error where no box can be shown, and the game ends and frees its lock.
// A video driver the environment names is still used, even one that shows nothing.
TEST_F(PlayerMachine, WithoutADisplayTheGameSaysSoAndEnds) {
    for (const char* display : {"unset DISPLAY", "export DISPLAY=:65123"}) {
        EXPECT_EQ(Play("", false, std::string("unset WAYLAND_DISPLAY SDL_VIDEODRIVER; ") + display + "\n"), "0")
            << display << "\n" << Output();
        EXPECT_NE(Output().find("[error] error : 'display initialization failed'"), std::string::npos) << Output();
        EXPECT_NE(Log().find("exception: error : 'display initialization failed'"), std::string::npos) << Log();
    }
    ForgetLog();
    EXPECT_EQ(Play(started + escape), "0") << Output();

    ForgetLog();
    EXPECT_EQ(Play(started + "kill $pid\n", false, "unset DISPLAY WAYLAND_DISPLAY; export SDL_VIDEODRIVER=offscreen\n"),
              "0")
        << Output();
    EXPECT_EQ(Count(Log(), "display initialization failed"), 0u) << Log();
}

// Hundreds of keys, text among them, typed into the window after start-up, with the
// player's locale set or not: the game takes them all, its content gets the typed text
// as typed (accented letters included) and it quits cleanly. (xdotool reads its text in
// a UTF-8 locale of its own.)
TEST_F(PlayerMachine, KeysTypedIntoTheWindowAfterStartUpAreSafe) {
    // Content that keeps the characters it is given and writes them out on Escape.
    StartupScript(
        "# -*- coding: utf-8 -*-\n"
        "import ruv3\n"
        "typed = []\n"
        "class Recorder(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "    def HandleEvent(self, treeState, event):\n"
        "        if event.type == ruv3.EventType.KeyChar:\n"
        "            typed.append(event.char)\n"
        "        elif event.type == ruv3.EventType.KeyDown and event.char == u'\\x1b':\n"
        "            app = ruv3.Application.GetInstance()\n"
        "            app.GetFileSystem().writeUtf8String2UserFile(u'typed.txt', False, u''.join(typed))\n"
        "            app.QuitAfterCycle()\n"
        "        return False\n"
        "root = ruv3.RootItem()\n"
        "root.AddItem(Recorder())\n"
        "ruv3.SetRootItem(root)\n"
        "def postCycleCall():\n    pass\n");
    const std::string alive = d + "/alive.txt";
    const std::string typing =
        started +
        "timeout 10 xdotool mousemove --window \"$wid\" 400 300 windowfocus --sync \"$wid\"\n"
        "for round in 1 2 3; do\n"
        "  LC_ALL=C.UTF-8 timeout 60 xdotool type --delay 2 'The quick brown fox jumps over the lazy dog 0123456789 ,.;[]-=/ Gr\u00fc\u00dfe \u00e0\u00e9\u00ee\u00f5'\n"
        "  timeout 60 xdotool key --delay 2 Return BackSpace Tab Left Right Up Down Home End shift+a ctrl+b space\n"
        "done\n"
        "if kill -0 $pid; then echo alive >'" + alive + "'; fi\n" + escape;
    // The accented letters get keys of their own on the test's own server: for a letter
    // the key map lacks, xdotool maps a spare key for a moment and maps it back, and a
    // window that reads the map after that moment sees another letter.
    RUV3_REQUIRE_PROGRAM("Xvfb");
    RUV3_REQUIRE_PROGRAM("xkbcomp");
    dir.Write("keys.xkb",
              "xkb_keymap {\n"
              "  xkb_keycodes { include \"evdev\" };\n"
              "  xkb_types { include \"complete\" };\n"
              "  xkb_compat { include \"complete\" };\n"
              "  xkb_symbols { include \"pc+us\"\n"
              "    key <FK13> { [ udiaeresis ] }; key <FK14> { [ ssharp ] }; key <FK15> { [ agrave ] };\n"
              "    key <FK16> { [ eacute ] }; key <FK17> { [ icircumflex ] }; key <FK18> { [ otilde ] };\n"
              "  };\n"
              "  xkb_geometry { include \"pc(pc105)\" };\n"
              "};\n");
    const std::string server = PrivateServer("keys") + "xkbcomp -w 0 '" + d + "/keys.xkb' \"$DISPLAY\" 2>/dev/null\n";
    for (const char* locale : {"export LANG=C.UTF-8", "unset LANG"}) {
        std::filesystem::remove(alive);
        std::filesystem::remove(user / "typed.txt");
        ForgetLog();
        EXPECT_EQ(Play(typing, true, server + "unset LC_ALL LC_CTYPE LANGUAGE; " + locale + "\n"), "0")
            << locale << "\n" << Output();
        EXPECT_EQ(Trimmed(testkit::ReadFile(alive)), "alive") << locale;
        EXPECT_EQ(Count(Output(), "AddressSanitizer"), 0u) << Output();
        const std::string typed = UserFile("typed.txt");
        EXPECT_EQ(Count(typed, "The quick brown fox jumps over the lazy dog 0123456789 ,.;[]-=/ Gr\u00fc\u00dfe "
                               "\u00e0\u00e9\u00ee\u00f5"),
                  3u)
            << locale << "\n" << typed;
    }
}

// Content that ignores Close: a first SIGTERM or SIGINT arrives as Close and the game runs
// on; a second one ends it through the normal shutdown (exit status 0).
TEST_F(PlayerMachine, ASecondStopSignalEndsAGameThatIgnoresClose) {
    StartupScript(
        "import ruv3\n"
        "CLOSE = 9\n"
        "def write(name, text):\n"
        "    ruv3.Application.GetInstance().GetFileSystem().writeUtf8String2UserFile(name, False, text)\n"
        "class Stubborn(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "    def HandleEvent(self, treeState, event):\n"
        "        if event.type != CLOSE:\n"
        "            return False\n"
        "        closes[0] += 1\n"
        "        write(u'closes.txt', u'%d' % closes[0])\n"
        "        return True\n"
        "closes = [0]\n"
        "framesAfter = [0]\n"
        "root = ruv3.RootItem()\n"
        "root.AddItem(Stubborn())\n"
        "ruv3.SetRootItem(root)\n"
        "def postCycleCall():\n"
        "    if closes[0]:\n"
        "        framesAfter[0] += 1\n"
        "        if framesAfter[0] == 30:\n"
        "            write(u'ran-on.txt', u'yes')\n");
    const char* pairs[][2] = {{"TERM", "TERM"}, {"INT", "INT"}, {"TERM", "INT"}};
    for (const auto& signals : pairs) {
        std::filesystem::remove(user / "closes.txt");
        std::filesystem::remove(user / "ran-on.txt");
        ForgetLog();
        const std::string exitStatus =
            Play(started +
                 "waitfor 'game=$(pgrep -P $pid); [ -n \"$game\" ]'\n"
                 "kill -" + signals[0] + " $game\n"
                 "waitfor \"[ -s '" + (user / "ran-on.txt").string() + "' ]\"\n"
                 "kill -" + signals[1] + " $game\n");
        EXPECT_EQ(exitStatus, "0") << signals[0] << " then " << signals[1] << "\n" << Output();
        EXPECT_EQ(UserFile("ran-on.txt"), "yes");
        EXPECT_EQ(UserFile("closes.txt"), "1");
    }
}
