// The platform services from inside the interpreter: files, the display, options, the
// application, the message box and the keyboard state.
#include <SDL.h>
#include <boost/python.hpp>

#include <gtest/gtest.h>

#include "PyRunner.h"
#include "ScriptTestSupport.h"
#include "common/NullDisplay.h"
#include "shell/Application.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/OptionList.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/KeyState.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/NativeWindow.h"

namespace {

namespace bp = boost::python;
using scripttest::World;

class RecordingDisplay : public testkit::NullDisplay {
public:
    bool clipSet = false;
    bool clipWhole = false;
    pf::Rect clip;
    void SetClipRect(const pf::Rect* r) override {
        clipSet = true;
        clipWhole = r == nullptr;
        if (r) clip = *r;
    }
    my_intrusive_ptr<pf::Surface> CreateSurface(int w, int h, pf::PixelFormat f) override {
        if (f != pf::PixelFormat::A8R8G8B8 || w <= 0 || h <= 0) return nullptr;
        auto* s = new pf::MemorySurface(w, h);
        // One known pixel: (1, 0) is opaque red.
        int pitch = 0;
        uint8_t* bits = nullptr;
        const pf::Rect one(1, 0, 1, 1);
        s->Lock(pf::LockWrite, &one, pitch, bits);
        const uint32_t red = 0xFFFF0000u;
        std::memcpy(bits, &red, 4);
        s->Unlock();
        return s;
    }
};

// A display that draws off-screen: it notes the copy from its off-screen picture.
class OffscreenDisplay : public RecordingDisplay {
public:
    int begun = 0, ended = 0;
    pf::Rect copiedFrom;
    pf::Point copiedTo;
    bool BeginRenderToSurface(my_intrusive_ptr<pf::Surface>& target, const pf::Rect*) override {
        begun += target ? 1 : 0;
        return static_cast<bool>(target);
    }
    void EndRenderToSurface() override { ++ended; }
    bool CopyBackBuffer(const pf::Rect& from, const pf::Point& to, pf::Surface* target) override {
        copiedFrom = from;
        copiedTo = to;
        return target != nullptr;
    }
};

class AnsweringBox : public pf::MessageBoxService {
public:
    int answer = pf::kAnswerRetry;
    std::wstring title, text;
    void Show(const std::wstring&, const std::wstring&) override {}
    int AskAbortRetryIgnore(const std::wstring& t, const std::wstring& m) override {
        title = t;
        text = m;
        return answer;
    }
};

TEST(PlatformBindings, FilesDisplayOptionsAndApplication) {
    World();
    pf::FileSystemWin32& fs = World().fs;
    const std::filesystem::path user = World().dir.Path() / "user";
    std::filesystem::create_directories(user);
    fs.SetUserPath(pf::FromUtf8(user.string()));
    World().dir.Write("res/abc.txt", "abc");

    RecordingDisplay display;
    pf::OptionList options(&fs);
    World().dir.Write("user/options.cfg", "[main]\nMaxFps=60\n");
    options.SetPath(L"options.cfg");
    bp::import("ruv3");  // the classes of the objects handed in below
    bp::dict with;
    with["fs"] = bp::ptr(static_cast<pf::FileSystem*>(&fs));
    with["display"] = bp::ptr(static_cast<pf::Display*>(&display));
    with["options"] = bp::ptr(&options);
    with["user_folder"] = user.string() + "/";
    EXPECT_EQ(bindingstest::RunPythonTests("platform.py", with), "");

    EXPECT_TRUE(display.clipSet && display.clipWhole);
    EXPECT_EQ(testkit::ReadFile(user / "e.txt"), "\xC3\xA9");
    EXPECT_EQ(testkit::ReadFile(user / "kept.txt"), "old");
}

TEST(PlatformBindings, MessageBoxAssertAsksTheServiceAndIgnoresWithoutOne) {
    scripttest::TakeLog();
    EXPECT_EQ(bindingstest::RunSnippet("assert ruv3.messageBoxAssert(u'no box here') == 5\n"), "");
    const std::string log = scripttest::TakeLog();
    EXPECT_NE(log.find("no box here"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;

    AnsweringBox box;
    pf::SetMessageBoxService(&box);
    for (int answer : {pf::kAnswerAbort, pf::kAnswerRetry, pf::kAnswerIgnore}) {
        box.answer = answer;
        EXPECT_EQ(bindingstest::RunSnippet("assert ruv3.messageBoxAssert(u'assert \\u00e9') == " +
                                           std::to_string(answer) + "\n"),
                  "");
    }
    pf::SetMessageBoxService(nullptr);
    EXPECT_EQ(box.title, L"Ruv3 Python");
    EXPECT_EQ(box.text, L"assert \u00e9");
}

TEST(PlatformBindings, RenderItemIntoSurfaceDrawsThroughTheApplicationsDisplay) {
    World();
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    pf::Display* const oldDisplay = app.GetDisplay();
    pf::DisplayDX* const oldDisplayDX = app.GetDisplayDX();
    app.SetDisplayObjects(nullptr, nullptr);
    const char* const script =
        "class Drawn(ruv3.Item):\n"
        "    def __init__(self):\n"
        "        ruv3.Item.__init__(self)\n"
        "        self.pythonOverloads = True\n"
        "        self.draws = 0\n"
        "    def Draw(self, rs):\n"
        "        self.draws += 1\n"
        "item = Drawn()\n"
        "display = ruv3.Application.GetInstance().GetDisplay()\n";
    // Without a display the engine answers false.
    EXPECT_EQ(bindingstest::RunSnippet(std::string(script) +
                                       "assert display is None\n"
                                       "assert not ruv3.renderItemIntoSurface(item, ruv3.Rect(0, 0, 4, 2), None,\n"
                                       "                                      ruv3.Rect(0, 0, 4, 2))\n"
                                       "assert item.draws == 0\n"),
              "");

    OffscreenDisplay display;
    app.SetDisplayObjects(&display, nullptr);
    EXPECT_EQ(bindingstest::RunSnippet(std::string(script) +
                                       "target = display.CreateSurface(3, 2)\n"
                                       "assert ruv3.renderItemIntoSurface(item, ruv3.Rect(0, 0, 3, 2), target,\n"
                                       "                                  ruv3.Rect(0, 0, 3, 2))\n"
                                       "assert item.draws == 1\n"
                                       "# Sizes that differ are refused before anything is drawn.\n"
                                       "assert not ruv3.renderItemIntoSurface(item, ruv3.Rect(0, 0, 8, 2), target,\n"
                                       "                                      ruv3.Rect(0, 0, 8, 2))\n"
                                       "assert not ruv3.renderItemIntoSurface(None, ruv3.Rect(0, 0, 3, 2), target,\n"
                                       "                                      ruv3.Rect(0, 0, 3, 2))\n"
                                       "assert item.draws == 1\n"),
              "");
    EXPECT_EQ(display.begun, 1);
    EXPECT_EQ(display.ended, 1);
    EXPECT_EQ(display.copiedFrom, pf::Rect(0, 0, 3, 2));
    EXPECT_EQ(display.copiedTo, pf::Point(0, 0));
    app.SetDisplayObjects(oldDisplay, oldDisplayDX);
}

TEST(PlatformBindings, KeysAreReadOnlyWhileOurWindowHasTheFocus) {
    // The key map comes with the video subsystem; the dummy driver needs no display.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // SDL scancodes: A 4, Escape 41, keypad 1 89, left Shift 225.
    uint8_t state[512] = {};
    state[4] = state[41] = 1;
    EXPECT_TRUE(pf::IsVirtualKeyDownIn(state, 512, 'A'));
    EXPECT_FALSE(pf::IsVirtualKeyDownIn(state, 512, 'a'));  // 0x61 is the keypad's 1
    EXPECT_TRUE(pf::IsVirtualKeyDownIn(state, 512, 0x1B));
    EXPECT_FALSE(pf::IsVirtualKeyDownIn(state, 512, 0x10));
    EXPECT_FALSE(pf::IsVirtualKeyDownIn(state, 512, 0));
    state[89] = state[225] = 1;
    EXPECT_TRUE(pf::IsVirtualKeyDownIn(state, 512, 'a'));
    EXPECT_TRUE(pf::IsVirtualKeyDownIn(state, 512, 0x10));

    std::unique_ptr<pf::NativeWindow> window = pf::NativeWindow::CreateHeadless("KeyTest", 64, 64);
    window->SimulateForeground(false);
    EXPECT_FALSE(pf::IsVirtualKeyDown(window.get(), 0x1B));
    EXPECT_FALSE(pf::IsVirtualKeyDown(nullptr, 0x1B));
    // The application has no window here: every key reads as up, and an empty text too.
    EXPECT_EQ(bindingstest::RunSnippet("assert ruv3.GetAsyncKeyState('esc') is False\n"
                                       "assert ruv3.GetAsyncKeyState('') is False\n"
                                       "assert ruv3.GetAsyncKeyState('A') is False\n"),
              "");
    SDL_Quit();
}

}  // namespace
