#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <vector>

#include "AppFakes.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/Exception.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"
#include "shell/platform/Power.h"
#include "shell/platform/ShellOpener.h"
#include "shell/platform/UserDataRoot.h"

using apptest::FakeClock;
using apptest::FakeDisplay;
using apptest::FakeFileSystem;
using apptest::FakeGame;
using apptest::RecordingBox;
using pf::ApplicationWin32;
using pf::Exception;
using pf::MessageQueue;

namespace {

struct App {
    MessageQueue queue;
    ApplicationWin32 app{queue};
    FakeGame game;
    App() { app.SetDisplayObjects(apptest::DummyDisplay(), nullptr); }
    // Hands the game to the application (through a Run that quits at once) so frames can
    // be stepped one by one.
    void Attach() {
        game.onInit = [this] { app.Quit(); };
        app.Run(&game, nullptr);
        game.onInit = nullptr;
        game.calls.clear();
    }
};

}  // namespace

TEST(RunExceptions, TypeAndBoxDecideTheBoxAndTheLogLine) {
    struct Case {
        const char* text;
        int type, box;
        bool boxShown;
        const char* line;
    } cases[] = {
        {"bad", 0, 1, true, "user : 'bad'"},
        {"bad", 1, 0, false, "error : 'bad'"},
        {"bad", 7, -1, true, "unknown!!! : 'bad'"},
        {"display initialization failed", 1, -1, true, "error : 'display initialization failed'"},
        {nullptr, 2, -1, false, "quit : 'empty'"},
        {"u", 0, -1, false, "user : 'u'"},
        {"q", 2, 1, true, "quit : 'q'"},
        {"x", 1, 5, true, "error : 'x'"},
    };
    for (const Case& c : cases) {
        testkit::LogCapture log;
        RecordingBox box;
        App a;
        a.game.onInit = [&] { throw Exception(c.text, c.type, c.box); };
        EXPECT_EQ(a.app.Run(&a.game, "cmd"), 1);
        EXPECT_EQ(box.shown.size(), c.boxShown ? 1u : 0u) << c.line;
        if (c.boxShown && !box.shown.empty()) {
            EXPECT_EQ(box.shown[0].title, L"error");
            EXPECT_EQ(box.shown[0].text, pf::ToWString(c.line));
        }
        EXPECT_TRUE(log.Contains(std::string("exception: ") + c.line + "\n")) << log.Text();
        EXPECT_EQ(a.game.calls, (std::vector<std::string>{"Init", "Shutdown", "Release"}));
        EXPECT_STREQ(a.app.GetCommandLine(), "cmd");
    }
}

// Memory running out in start-up (over a file too large for it) is an error reported with
// the file read last, not an abort.
TEST(RunExceptions, OutOfMemoryInStartUpIsReportedWithTheFileReadLast) {
    testkit::TempDir dir;
    const std::string file = dir.Write("options.cfg", "[main]\n").string();
    testkit::LogCapture log;
    RecordingBox box;
    App a;
    a.game.onInit = [&] {
        std::vector<uint8_t> bytes;
        pf::ReadRegularFile(file, bytes);
        throw std::bad_alloc();
    };
    EXPECT_EQ(a.app.Run(&a.game, nullptr), 1);
    const std::string line = "error : 'out of memory after reading '" + file + "''";
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, pf::ToWString(line));
    EXPECT_TRUE(log.Contains("exception: " + line)) << log.Text();
    EXPECT_EQ(a.game.calls, (std::vector<std::string>{"Init", "Shutdown", "Release"}));
}

TEST(RunExceptions, QuitInsideCycleLeavesAtOnceWithoutABox) {
    testkit::LogCapture log;
    RecordingBox box;
    App a;
    a.game.onCycle = [&] { a.app.Quit(); };
    a.app.Run(&a.game, nullptr);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_TRUE(log.Contains("exception: quit : 'empty'"));
    EXPECT_EQ(a.game.calls, (std::vector<std::string>{"Init", "Start", "Cycle", "Shutdown", "Release"}));
    EXPECT_EQ(a.app.GetMainThreadId(), std::this_thread::get_id());
}

TEST(RunExceptions, DisplayFailureThrowsTheErrorWithABox) {
    testkit::LogCapture log;
    RecordingBox box;
    FakeDisplay display;  // outlives the application
    App a;
    display.initResult = false;
    a.app.SetDisplayPort(&display);
    a.game.onInit = [&] { a.app.InitDisplay(640, 480, false, false); };
    a.app.Run(&a.game, nullptr);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, L"error : 'display initialization failed'");
    EXPECT_EQ(a.game.calls.back(), "Release");
}

TEST(RunFrameCap, SleepsWhatIsLeftOfThePeriod) {
    FakeClock clock;
    struct Case {
        int cap, lastTick, now;
        bool allowWait;
        int sleepMs, lastTickAfter;
        bool slept;
    } cases[] = {
        {24, 100, 110, true, 31, 141, true},    // 10 ms of work in a 41 ms period
        {24, 100, 150, true, 0, 150, false},    // overran the deadline
        {24, 100, 141, true, 0, 141, false},    // exactly at the deadline
        {24, 100, 20, true, 41, 61, true},      // clock behind lastTick: at most one period
        {24, 100, 110, false, 31, 110, false},  // no waiting: reported, not slept
        {0, 100, 110, true, 77, 100, false},    // no cap: nothing touched
        {-1, 100, 110, true, 77, 100, false},
    };
    for (const Case& c : cases) {
        App a;
        a.app.SetMaxFPS(c.cap);
        FakeClock::now = c.now;
        FakeClock::sleeps.clear();
        int lastTick = c.lastTick, sleepMs = 77;
        a.app.RunFrame(c.allowWait, lastTick, sleepMs);
        EXPECT_EQ(sleepMs, c.cap > 0 ? c.sleepMs : 77) << "cap " << c.cap << " now " << c.now;
        EXPECT_EQ(lastTick, c.lastTickAfter) << "cap " << c.cap << " now " << c.now;
        EXPECT_EQ(FakeClock::sleeps.size(), c.slept ? 1u : 0u) << "cap " << c.cap << " now " << c.now;
    }
}

TEST(RunFrame, QuitAfterCycleStillRunsTheNextFrame) {
    App a;
    int frames = 0;
    a.game.onCycle = [&] {
        if (++frames == 2) {
            a.app.QuitAfterCycle();
            a.app.GetEventSystem()->PostEvent(pf::EventType::Close);
        }
    };
    a.game.onInit = [&] { a.app.GetEventSystem()->PostEvent(pf::EventType::ButtonClick, 5); };
    a.app.Run(&a.game, nullptr);
    // Frame 1: the click, cycle, draw; frame 2: cycle (asks to quit), draw; frame 3: the
    // quit message is pumped, and the frame still handles its event, cycles and draws.
    EXPECT_EQ(a.game.calls,
              (std::vector<std::string>{"Init", "Start", "Event", "Cycle", "Draw", "Cycle", "Draw", "Event",
                                        "Cycle", "Draw", "Shutdown", "Release"}));
}

TEST(RunFrame, EventsPostedWhileHandlingWaitAFrame) {
    App a;
    a.Attach();
    auto& events = *a.app.GetEventSystem();
    events.PostEvent(pf::EventType::ButtonClick, 1);
    events.PostEvent(pf::EventType::ButtonClick, 2);
    a.game.onEvent = [&](pf::Event& e) {
        if (e.GetInt(pf::EventProperty::CLICK_ID) < 10)
            events.PostEvent(pf::EventType::ButtonClick, e.GetInt(pf::EventProperty::CLICK_ID) + 10);
    };
    int lastTick = 0, sleepMs = 0;
    a.app.RunFrame(false, lastTick, sleepMs);
    ASSERT_EQ(a.game.events.size(), 2u);
    EXPECT_EQ(a.game.events[1].GetInt(pf::EventProperty::CLICK_ID), 2);
    EXPECT_EQ(events.Count(), 2);
    a.app.RunFrame(false, lastTick, sleepMs);
    ASSERT_EQ(a.game.events.size(), 4u);
    EXPECT_EQ(a.game.events[2].GetInt(pf::EventProperty::CLICK_ID), 11);
    EXPECT_EQ(a.game.events[3].GetInt(pf::EventProperty::CLICK_ID), 12);
    EXPECT_EQ(events.Count(), 0);
}

TEST(DebugText, FitsOnlyBelowTheBufferLimit) {
    App a;
    a.app.showDebugText(std::string(2047, 'x').c_str());
    EXPECT_STREQ(a.app.GetDebugText(), "");
    a.app.showDebugText(std::string(2046, 'y').c_str());
    EXPECT_EQ(std::string(a.app.GetDebugText()), std::string(2046, 'y'));
    a.app.showDebugText("");  // 0 < 2047 - 2046
    a.app.showDebugText("z");  // dropped whole
    a.app.showDebugText(nullptr);
    EXPECT_EQ(std::strlen(a.app.GetDebugText()), 2046u);
}

TEST(DebugText, AccumulatesWhileTheOverlayIsOffAndShowsOnce) {
    FakeClock clock;
    FakeDisplay display;  // outlives the application
    App a;
    a.app.SetDisplayPort(&display);
    a.Attach();
    int lastTick = 0, sleepMs = 0;
    a.app.showDebugText("one ");
    a.app.RunFrame(false, lastTick, sleepMs);
    a.app.showDebugText("two");
    EXPECT_STREQ(a.app.GetDebugText(), "one two");
    EXPECT_TRUE(display.overlayText.empty());

    a.app.SetDebugText(true);
    EXPECT_TRUE(display.overlay);
    a.game.onCycle = [&] { a.app.showDebugText("next"); };
    a.app.RunFrame(false, lastTick, sleepMs);
    EXPECT_EQ(display.overlayText.rfind(L"fps: 0 mouse: 0 0 (ls:0)\n Cycle time ms: 0\n Render time ms: 0\n cursor pos: 0, 0\n", 0), 0u)
        << pf::ToUtf8(display.overlayText);
    // The text collected before this frame's update and during it.
    EXPECT_NE(display.overlayText.find(L"\none twonext"), std::wstring::npos);
    EXPECT_STREQ(a.app.GetDebugText(), "");
    a.app.RunFrame(false, lastTick, sleepMs);
    EXPECT_NE(display.overlayText.find(L"\nnext"), std::wstring::npos);
    EXPECT_EQ(display.overlayText.find(L"one"), std::wstring::npos);
    EXPECT_EQ(a.game.calls, (std::vector<std::string>{"Cycle", "Draw", "Cycle", "Draw", "Cycle", "Draw"}));
}

TEST(DataSource, ShortFolderUsesTheCurrentFolderAndShortArchiveOpensNothing) {
    App a;
    FakeFileSystem fs;
    a.app.SetFileSystemPort(&fs);
    std::string cwd = std::filesystem::current_path().string() + "/";
    struct Case {
        const wchar_t* folder;
        const wchar_t* archive;
        std::wstring resources;
        bool opened;
    } cases[] = {
        {nullptr, L"data.zip", pf::FromUtf8(cwd), true},
        {L"", L"data.zip", pf::FromUtf8(cwd), true},
        {L"d", L"x", pf::FromUtf8(cwd), false},
        {L"ab", nullptr, L"ab/", false},
        {L"C:\\games\\t", L"", L"C:/games/t/", false},
        {L"/srv/game/", L"pk", L"/srv/game/", true},
    };
    for (const Case& c : cases) {
        fs.archives.clear();
        a.app.SetDataSource(c.folder, c.archive, "secret");
        EXPECT_EQ(fs.resourcePath, c.resources);
        ASSERT_EQ(fs.archives.size(), c.opened ? 1u : 0u);
        if (c.opened) {
            EXPECT_EQ(fs.archives[0], c.archive);
            EXPECT_EQ(fs.passwords[0], "secret");
        }
    }
}

TEST(UserData, FolderUnderTheDataHomeOrTheResourceFolder) {
    testkit::TempDir home;
    std::string root = home.Path().string();
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    App a;
    FakeFileSystem fs;
    a.app.SetFileSystemPort(&fs);
    fs.resourcePath = L"/res/";
    a.app.SetUserDataPath(L"Tarn", L"Tessmar5");
    EXPECT_EQ(fs.userPath, pf::FromUtf8(root + "/Tarn/Tessmar5/"));
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() / "Tarn" / "Tessmar5"));

    struct Case {
        const wchar_t* vendor;
        const wchar_t* product;
    } fallbacks[] = {{L"", L"Tessmar5"}, {nullptr, L"Tessmar5"}, {L"T", L"Tessmar5"},
                     {L"Tarn", L"P"}, {L"..", L"Tessmar5"}, {L"a/b", L"Tessmar5"}};
    for (const Case& c : fallbacks) {
        fs.userPath.clear();
        a.app.SetUserDataPath(c.vendor, c.product);
        EXPECT_EQ(fs.userPath, L"/res/");
    }
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "T"));
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "a"));
    unsetenv("XDG_DATA_HOME");
}

// Folders whose names are not UTF-8 (made under another locale) are used byte for byte:
// the user folder under $XDG_DATA_HOME or $HOME, and the working folder as the resource
// folder, whose loose files are found.
TEST(UserData, FolderNamesThatAreNotUtf8AreUsedByteForByte) {
    testkit::TempDir dir;
    const std::string odd = dir.Path().string() + "/caf\xe9-\xff\xfe\xed\xb2\x80";  // Latin-1, and no text at all
    ASSERT_EQ(::mkdir(odd.c_str(), 0755), 0);
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    struct Case {
        const char* variable;
        std::string user;  // where the user folder must be
    } cases[] = {{"XDG_DATA_HOME", odd + "/Tarn/Tessmar5"}, {"HOME", odd + "/.local/share/Tarn/Tessmar5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        unsetenv("XDG_DATA_HOME");
        setenv(c.variable, odd.c_str(), 1);
        App a;
        a.app.SetUserDataPath(L"Tarn", L"Tessmar5");
        ASSERT_TRUE(pf::WriteUserFile(*a.app.GetFileSystem(), L"saved.txt", "kept"));
        EXPECT_EQ(testkit::ReadFile(c.user + "/saved.txt"), "kept");
    }
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.c_str(), 1);

    const std::filesystem::path was = std::filesystem::current_path();
    ASSERT_EQ(testkit::RunCommand("printf 'loose bytes' > '" + odd + "/loose.txt'"), 0);
    ASSERT_EQ(::chdir(odd.c_str()), 0);
    App a;
    a.app.SetDataSource(nullptr, nullptr, nullptr);
    pf::FileBuffer buffer;
    const bool read = a.app.GetFileSystem()->ReadResourceFile(buffer, L"loose.txt");
    ASSERT_EQ(::chdir(was.c_str()), 0);
    ASSERT_TRUE(read);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data()), "loose bytes");
}

TEST(UserData, RootDefaultsToTheHomeShareFolder) {
    unsetenv("XDG_DATA_HOME");
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(pf::GetUserDataRoot(), pf::FromUtf8(home + "/.local/share/"));
    }
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    if (!home.empty()) {
        EXPECT_EQ(pf::GetUserDataRoot(), pf::FromUtf8(home + "/.local/share/"));
    }
    setenv("XDG_DATA_HOME", "/x/y", 1);
    EXPECT_EQ(pf::GetUserDataRoot(), L"/x/y/");
    unsetenv("XDG_DATA_HOME");
}

TEST(DisplayServices, InitPassesTheOverlayFlagAndTheLoaderAndModeCallsGoToTheDisplay) {
    FakeDisplay display;
    App a;
    a.app.SetDisplayPort(&display);
    a.app.SetDebugText(true);
    display.overlay = false;
    a.app.InitDisplay(640, 480, false, true);
    EXPECT_TRUE(display.overlay);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"Init 640x480", "AttachImageLoader"}));

    display.calls.clear();
    display.gameWidth = 1024;
    display.gameHeight = 768;
    a.app.SetFullscreen(true);
    EXPECT_TRUE(a.app.GetFullscreen());
    a.app.SetScreenMode(800, 600, false);
    EXPECT_FALSE(a.app.GetFullscreen());
    EXPECT_EQ(display.calls,
              (std::vector<std::string>{"SetFullScreen 1024x768 1", "SetFullScreen 800x600 0"}));
}

namespace {

struct RecordingOpener : pf::ShellOpener {
    std::vector<std::wstring> opened;
    RecordingOpener() { pf::SetShellOpener(this); }
    ~RecordingOpener() override { pf::SetShellOpener(nullptr); }
    bool Open(const std::wstring& verb, const std::wstring& target) override {
        opened.push_back(verb + L" " + target);
        return false;  // a failing launcher is ignored
    }
};

}  // namespace

TEST(OpenURL, TrimsBlanksAndSkipsEmptyTexts) {
    RecordingOpener opener;
    App a;
    a.app.OpenURL(L"");
    a.app.OpenURL(L" \t\n ");
    a.app.OpenURL(L"\t https://example.org/a b \n");
    a.app.OpenURL(L"/tmp/x.txt");
    EXPECT_EQ(opener.opened,
              (std::vector<std::wstring>{L"open https://example.org/a b", L"open /tmp/x.txt"}));
}

TEST(DebugText, OverlayCountsTheFramesOfTheLastSecond) {
    FakeClock clock;
    FakeDisplay display;
    App a;
    a.app.SetDisplayPort(&display);
    a.Attach();
    a.app.SetDebugText(true);
    int lastTick = 0, sleepMs = 0;
    // Five frames until the clock is past one second since the start; the fifth closes
    // the second and is counted in it.
    for (int t : {0, 300, 600, 900, 1001}) {
        FakeClock::now = t;
        a.app.RunFrame(false, lastTick, sleepMs);
        EXPECT_EQ(display.overlayText.rfind(t < 1001 ? L"fps: 0 " : L"fps: 5 ", 0), 0u)
            << t << ": " << pf::ToUtf8(display.overlayText);
    }
    for (int t : {1500, 2002}) {
        FakeClock::now = t;
        a.app.RunFrame(false, lastTick, sleepMs);
    }
    EXPECT_EQ(display.overlayText.rfind(L"fps: 2 ", 0), 0u) << pf::ToUtf8(display.overlayText);
}

namespace {

struct RecordingSource : pf::PlatformEventSource {
    std::vector<int> waits;
    void Pump(pf::MessageQueue&) override {}
    void Wait(int timeoutMs) override { waits.push_back(timeoutMs); }
};

}  // namespace

TEST(RunFrame, BlocksOnlyWhenInactiveAndInTheBackground) {
    RecordingSource source;
    FakeDisplay display;
    App a;
    a.queue.SetPlatformSource(&source);
    auto window = pf::NativeWindow::CreateHeadless(ApplicationWin32::kWindowClass, 320, 200);
    display.window = window.get();
    a.app.SetDisplayPort(&display);
    a.Attach();
    struct Case {
        bool allowWait, active, foreground;
        bool waits;
    } cases[] = {
        {true, true, false, false},
        {true, false, true, false},
        {true, false, false, true},
        {false, false, false, false},
    };
    for (const Case& c : cases) {
        source.waits.clear();
        a.app.SetActive(c.active);
        window->SimulateForeground(c.foreground);
        int lastTick = 0, sleepMs = 0;
        a.app.RunFrame(c.allowWait, lastTick, sleepMs);
        EXPECT_EQ(source.waits, c.waits ? std::vector<int>{40} : std::vector<int>{})
            << c.allowWait << c.active << c.foreground;
    }
    a.queue.SetPlatformSource(nullptr);
}

namespace {

struct FakePower : pf::PowerSource {
    pf::PowerStatus status;
    int reads = 0;
    FakePower() { pf::SetPowerSource(this); }
    ~FakePower() override { pf::SetPowerSource(nullptr); }
    pf::PowerStatus Read() override {
        ++reads;
        return status;
    }
};

}  // namespace

// The battery is read at a low rate, and BatteryLow is posted once each time it goes low.
TEST(RunFrame, BatteryLowIsPostedOnceWhenTheBatteryRunsLow) {
    FakeClock clock;
    FakePower power;
    FakeDisplay display;
    App a;
    auto window = pf::NativeWindow::CreateHeadless(ApplicationWin32::kWindowClass, 320, 200);
    display.window = window.get();
    a.app.SetDisplayPort(&display);
    a.Attach();
    a.app.AttachWindow();
    struct Step {
        int atMs;
        bool onBattery;
        int percent;
        int reads;  // reads of the source so far
        bool posted;
    } steps[] = {
        {0, true, 50, 1, false},
        {1000, true, 8, 1, false},       // not read again yet
        {15000, true, 8, 2, true},       // crossed into low
        {30000, true, 5, 3, false},      // still low: not again
        {45000, false, 5, 4, false},     // charging
        {60000, true, 10, 5, true},      // low again
        {75000, true, 11, 6, false},     // above the threshold
        {90000, true, -1, 7, false},     // unknown charge is not low
        {105000, true, 0, 8, true},
    };
    for (const Step& s : steps) {
        FakeClock::now = s.atMs;
        power.status.onBattery = s.onBattery;
        power.status.percent = s.percent;
        a.game.events.clear();
        int lastTick = 0, sleepMs = 0;
        a.app.RunFrame(false, lastTick, sleepMs);
        EXPECT_EQ(power.reads, s.reads) << s.atMs;
        std::vector<pf::Event> expected;
        if (s.posted) expected.push_back(pf::Event(pf::EventType::BatteryLow, 0, 0, 0, 0, 0, 0, a.app.GetEventSystem()));
        EXPECT_EQ(a.game.events, expected) << s.atMs;
    }
}
