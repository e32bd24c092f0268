// Fakes for the application tests: a game that records its calls, display and file
// system ports, a message-box recorder and a settable clock.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/Event.h"
#include "shell/Game.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/NativeWindow.h"

namespace pf {
inline void PrintTo(const Event& e, std::ostream* os) {
    *os << "{";
    for (int i = 0; i < Event::kDataCount; ++i) *os << (i ? ", " : "") << e.GetData(i);
    *os << (e.IsClaimed() ? " claimed" : "") << "}";
}
}  // namespace pf

namespace apptest {

class FakeGame : public pf::Game {
public:
    std::vector<std::string> calls;
    std::vector<pf::Event> events;
    std::function<void()> onInit, onStart, onCycle;
    std::function<void(pf::Event&)> onEvent;
    pf::Application2* app = nullptr;

    pf::Settings* GetSettings() override { return nullptr; }
    void Cycle() override {
        calls.push_back("Cycle");
        if (onCycle) onCycle();
    }
    void Init(pf::Application2& a) override {
        app = &a;
        calls.push_back("Init");
        if (onInit) onInit();
    }
    void Draw(pf::Display&) override { calls.push_back("Draw"); }
    void HandleEvent(pf::Event& e) override {
        calls.push_back("Event");
        events.push_back(e);
        if (onEvent) onEvent(e);
    }
    void Shutdown() override { calls.push_back("Shutdown"); }
    void Release() override { calls.push_back("Release"); }
    void Start() override {
        calls.push_back("Start");
        if (onStart) onStart();
    }
    std::vector<unsigned> windowMessages;
    void OnWindowMessage(pf::NativeWindow*, unsigned message, uintptr_t, intptr_t) override {
        windowMessages.push_back(message);
    }
};

class FakeDisplay : public pf::AppDisplayPort {
public:
    pf::NativeWindow* window = nullptr;
    bool initResult = true;
    bool fullScreen = false;
    int gameWidth = 800, gameHeight = 600;
    float scale = 1.0f;  // client = game * scale
    std::vector<std::string> calls;
    std::wstring overlayText;
    bool overlay = false;

    bool Init(int w, int h, bool fs, bool) override {
        calls.push_back("Init " + std::to_string(w) + "x" + std::to_string(h));
        return initResult;
    }
    void ShowOverlay(bool on) override { overlay = on; }
    void SetOverlayText(const std::wstring& text) override { overlayText = text; }
    bool IsFullScreen() const override { return fullScreen; }
    bool SetFullScreen(int w, int h, bool fs) override {
        calls.push_back("SetFullScreen " + std::to_string(w) + "x" + std::to_string(h) + " " +
                        (fs ? "1" : "0"));
        fullScreen = fs;
        return true;
    }
    void GetCurrentSize(int& w, int& h) const override {
        w = gameWidth;
        h = gameHeight;
    }
    pf::NativeWindow* GetWindow() const override { return window; }
    void ClientToGame(float out[2], const float client[2]) const override {
        out[0] = client[0] / scale;
        out[1] = client[1] / scale;
    }
    void GetGameScreenSize(int& w, int& h) const override {
        w = gameWidth;
        h = gameHeight;
    }
    void ShowDeviceCursor(bool show) override { calls.push_back(show ? "DeviceCursor 1" : "DeviceCursor 0"); }
    void AttachImageLoader(pf::ImageLoader*) override { calls.push_back("AttachImageLoader"); }
};

class FakeFileSystem : public pf::AppFileSystemPort {
public:
    std::wstring resourcePath = L"/default/";
    std::wstring userPath;
    std::vector<std::wstring> archives;
    std::vector<std::string> passwords;

    void SetResourcePath(const std::wstring& f) override { resourcePath = f; }
    std::wstring GetResourcePath() const override { return resourcePath; }
    void SetUserPath(const std::wstring& f) override { userPath = f; }
    bool OpenArchive(const std::wstring& a, const std::string& p) override {
        archives.push_back(a);
        passwords.push_back(p);
        return true;
    }
};

class RecordingBox : public pf::MessageBoxService {
public:
    struct Shown {
        std::wstring title, text;
    };
    std::vector<Shown> shown;
    RecordingBox() { pf::SetMessageBoxService(this); }
    ~RecordingBox() override { pf::SetMessageBoxService(nullptr); }
    void Show(const std::wstring& title, const std::wstring& text) override { shown.push_back({title, text}); }
};

// A clock the test moves by hand; sleeping advances it.
struct FakeClock {
    static int now;
    static std::vector<int> sleeps;
    FakeClock() {
        now = 0;
        sleeps.clear();
        pf::SetNowMsSource([] { return now; });
        pf::SetSleepMsSink([](int ms) {
            sleeps.push_back(ms);
            now += ms;
        });
    }
    ~FakeClock() {
        pf::SetNowMsSource(nullptr);
        pf::SetSleepMsSink(nullptr);
    }
};

// Display storage for Draw: the fake game never looks at it.
inline pf::Display* DummyDisplay() {
    alignas(16) static unsigned char storage[64];
    return reinterpret_cast<pf::Display*>(storage);
}

}  // namespace apptest
