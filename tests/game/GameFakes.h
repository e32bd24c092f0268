// Fakes for the game tests: an application that records what the game asks of it, over a
// real file system in a folder of its own, and a display that records frames.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/NullDisplay.h"
#include "common/TestSupport.h"
#include "shell/Application.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"

namespace gametest {

class RecordingDisplay : public testkit::NullDisplay {
public:
    std::vector<std::string>* calls = nullptr;
    int frames = 0;
    // Called as each frame begins, before anything is drawn.
    std::function<void()> onBeginFrame;
    void SetTextureFilter(pf::TextureFilter filter) override {
        if (calls) calls->push_back("SetTextureFilter " + std::to_string(static_cast<int>(filter)));
    }
    bool BeginFrame(const pf::Rect*) override {
        ++frames;
        if (onBeginFrame) onBeginFrame();
        return true;
    }
};

// The application side of the start-up sequence. The user folder is "<folder>/user/"
// followed by the vendor and the product.
class FakeApp : public pf::Application2 {
public:
    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    RecordingDisplay display;
    std::vector<std::string> calls;
    std::vector<std::string> debugText;
    pf::Game* game = nullptr;
    int maxFps = 0;
    std::vector<int> fpsHistory;
    int quitRequests = 0;

    FakeApp() {
        display.calls = &calls;
        fs.SetResourcePath(pf::FromUtf8(dir.Path().string()));
    }

    void CheckSingleInstance(const char* name) override { calls.push_back(std::string("CheckSingleInstance ") + name); }
    void InitDisplay(int w, int h, bool full, bool wide) override {
        calls.push_back("InitDisplay " + std::to_string(w) + "x" + std::to_string(h) + (full ? " full" : " window"));
    }
    // The archive opens when the folder holds one by its name.
    void SetDataSource(const wchar_t*, const wchar_t* archive, const char* password) override {
        calls.push_back("SetDataSource " + pf::ToUtf8(archive) + (password ? " password '" + std::string(password) + "'" : " no password"));
        const std::filesystem::path file = dir.Path() / pf::ToUtf8(archive);
        if (std::filesystem::exists(file)) fs.OpenArchive(pf::FromUtf8(file.string()), password ? password : "");
    }
    void SetUserDataPath(const wchar_t* vendor, const wchar_t* product) override {
        calls.push_back("SetUserDataPath " + pf::ToUtf8(vendor) + "/" + pf::ToUtf8(product));
        const std::filesystem::path folder = dir.Path() / "user" / pf::ToUtf8(vendor) / pf::ToUtf8(product);
        std::filesystem::create_directories(folder);
        fs.SetUserPath(pf::FromUtf8(folder.string()));
    }
    pf::Display* GetDisplay() override { return &display; }
    pf::Game* GetGame() override { return game; }
    pf::ImageLoader* GetImageLoader() override { return nullptr; }
    pf::EventSystem* GetEventSystem() override { return nullptr; }
    pf::FileSystem* GetFileSystem() override { return &fs; }
    std::thread::id GetMainThreadId() override { return std::this_thread::get_id(); }
    int GetMaxFPS() override { return maxFps; }
    const char* GetCommandLine() override { return ""; }
    char* GetDebugText() override { return nullptr; }
    bool GetFullscreen() override { return false; }
    void GetCursorPosition(int& x, int& y) override { x = y = 0; }
    void SetDebugText(bool on) override { calls.push_back(std::string("SetDebugText ") + (on ? "on" : "off")); }
    void showDebugText(const char* text) override { debugText.push_back(text); }
    void SetMaxFPS(int fps) override {
        maxFps = fps;
        fpsHistory.push_back(fps);
    }
    void SetFullscreen(bool) override {}
    void SetScreenMode(int, int, bool) override {}
    void SetTitle(const std::wstring& title) override { calls.push_back("SetTitle " + pf::ToUtf8(title)); }
    void SetMouseLock(bool) override {}
    void SetCursorVisible(bool) override {}
    void OpenURL(const std::wstring&) override {}
    void SetCursorMode(int) override {}
    void Quit() override {}
    void QuitAfterCycle() override { ++quitRequests; }

    std::filesystem::path UserFolder(const std::string& vendor) const { return dir.Path() / "user" / vendor / "Tessmar5"; }
};

}  // namespace gametest
