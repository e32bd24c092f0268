// The run sequence, the message loop and the frame.
#include <cstdio>
#include <cstring>
#include <new>

#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/DisplayAppPort.h"
#include "shell/DisplayDX.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/Exception.h"
#include "shell/Game.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/WindowProc.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/MessageBox.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

namespace pf {

ApplicationWin32& Application2::GetInstance() {
    static ApplicationWin32 instance;
    return instance;
}

Game* GetGameInstance() { return Application2::GetInstance().GetGame(); }

std::wstring GameText(const std::wstring& key) {
    Game* game = GetGameInstance();
    return game ? game->LookupText(key) : std::wstring();
}

void ShowSystemCursor(bool show) { Application2::GetInstance().SetCursorVisible(show); }

Point GetMousePosition() { return Application2::GetInstance().GetEventSystem()->GetMousePosition(); }

ApplicationWin32::ApplicationWin32() : ApplicationWin32(GetMessageQueue()) {}

ApplicationWin32::ApplicationWin32(MessageQueue& queue)
    : queue_(queue),
      ownDisplay_(new DisplayDX()),
      ownDisplayPort_(new DisplayAppPort(*ownDisplay_)),
      ownImageLoader_(new ImageLoaderDX()),
      ownFileSystem_(new FileSystemWin32()),
      ownFileSystemPort_(MakeFileSystemPort(*ownFileSystem_)) {
    // The display names the window class; its messages come to the application.
    RegisterWindowClass(kWindowClass, WindowProc);
    display_ = ownDisplay_.get();
    displayDX_ = ownDisplay_.get();
    displayPort_ = ownDisplayPort_.get();
    imageLoader_ = ownImageLoader_.get();
    fileSystem_ = ownFileSystem_.get();
    fileSystemPort_ = ownFileSystemPort_.get();
}

ApplicationWin32::~ApplicationWin32() {
    closing_ = true;
    // The window may outlive the application: it must not point at it any more.
    if (NativeWindow::IsLive(attachedWindow_) && attachedWindow_->GetUserData() == this)
        attachedWindow_->SetUserData(nullptr);
}

NativeWindow* ApplicationWin32::GetWindow() const {
    return displayPort_ ? displayPort_->GetWindow() : nullptr;
}

int ApplicationWin32::Run(Game* game, const char* commandLine) {
    mainThread_ = std::this_thread::get_id();
    commandLine_ = commandLine;
    game_ = game;
    if (!game) {
        DebugStream() << "Application::Run - no game";
        return 1;
    }
    try {
        game->Init(*this);
        game->Start();
        MessageLoop();
    } catch (const Exception& e) {
        ReportException(e);
    } catch (const std::bad_alloc&) {
        // Memory ran out, most likely over a file too large for it: an error reported with
        // the file read last, not an abort.
        const std::string file = LastFileRead();
        const std::string text = "out of memory" + (file.empty() ? std::string() : " after reading '" + file + "'");
        ReportException(Exception(text.c_str(), ExceptionType::Error, ExceptionBox::Default));
    }
    game->Shutdown();
    game->Release();
    return 1;
}

void ApplicationWin32::ReportException(const Exception& e) {
    const char* word;
    switch (e.GetType()) {
        case ExceptionType::User: word = "user"; break;
        case ExceptionType::Error: word = "error"; break;
        case ExceptionType::Quit: word = "quit"; break;
        default: word = "unknown!!!"; break;
    }
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%s : '%s'", word, e.GetText() ? e.GetText() : "empty");
    bool show = e.GetBox() == ExceptionBox::Always ||
                (e.GetBox() != ExceptionBox::Never && e.GetType() != ExceptionType::User &&
                 e.GetType() != ExceptionType::Quit);
    if (show) GetMessageBoxService().Show(L"error", ToWString(buffer));
    DebugStream() << "exception: " << buffer;
}

void ApplicationWin32::MessageLoop() {
    // From here on the window procedure turns the window's messages into events. The
    // platform layer wakes the wait below at least every 40 ms and tracks the pointer's
    // entering and leaving by itself.
    AttachWindow();
    int lastTick = 0;
    int sleepMs = 0;
    while (!RunFrame(true, lastTick, sleepMs)) {
    }
}

void ApplicationWin32::AttachWindow() {
    attachedWindow_ = GetWindow();
    if (attachedWindow_) attachedWindow_->SetUserData(this);
}

void ApplicationWin32::Quit() { throw Exception(nullptr, ExceptionType::Quit, ExceptionBox::Default); }

void ApplicationWin32::QuitAfterCycle() { queue_.PostQuit(0); }

bool ApplicationWin32::RunFrame(bool allowWait, int& lastTick, int& sleepMs) {
    constexpr int kWakeMs = 40;
    bool quit = false;
    NativeWindow* window = GetWindow();
    if (allowWait && !active_ && (!window || !window->IsForeground())) queue_.Wait(kWakeMs);
    RaiseWhenAsked();
    WatchBattery();

    Message message;
    while (queue_.Peek(message)) {
        if (message.message == WindowMessage::Quit) {
            quit = true;
            continue;
        }
        queue_.Translate(message);
        queue_.Dispatch(message);
    }

    ConfineCursor();

    // Exactly the events queued now; events posted while they run wait a frame.
    int count = eventSystem_.Count();
    for (int i = 0; i < count; ++i) {
        Event event;
        if (!eventSystem_.PopFront(event)) break;
        if (game_) game_->HandleEvent(event);
    }

    if (maxFps_ > 0) {
        int period = 1000 / maxFps_;
        int deadline = lastTick + period;
        int now = NowMs();
        if (now < deadline) {
            sleepMs = deadline - now;
            if (sleepMs > period) sleepMs = period;
            if (allowWait) SleepMs(sleepMs);
        } else {
            sleepMs = 0;
        }
        lastTick = NowMs();
    }

    CycleAndDraw(sleepMs);
    return quit;
}

void ApplicationWin32::WatchBattery() {
    // The system has no battery message here: the state is polled and the message the
    // window procedure knows is posted once when the battery runs low.
    NativeWindow* window = GetWindow();
    if (window && batteryWatch_.Poll(NowMs()))
        queue_.Post(window, WindowMessage::PowerBroadcast, kPowerBatteryLow);
}

void ApplicationWin32::DrawGame() {
    if (game_ && display_) game_->Draw(*display_);
}

void ApplicationWin32::CycleAndDraw(int sleepMs) {
    if (!debugOverlay_) {
        if (game_) game_->Cycle();
        DrawGame();
        return;
    }
    int now = NowMs();
    ++framesThisSecond_;
    if (now - secondStart_ > 1000) {
        secondStart_ = now;
        framesLastSecond_ = framesThisSecond_;
        framesThisSecond_ = 0;
    }
    wchar_t first[kFormatBufferSize];
    FormatWide(first, L"fps: %d mouse: %d %d (ls:%d)", framesLastSecond_, virtualCursor_.x,
               virtualCursor_.y, sleepMs);

    int start = NowMs();
    if (game_) game_->Cycle();
    std::wstring text = L"\n Cycle time ms: " + IntToWString(NowMs() - start);
    start = NowMs();
    DrawGame();
    text += L"\n Render time ms: " + IntToWString(NowMs() - start);
    int x = 0, y = 0;
    GetCursorPosition(x, y);
    text += L"\n cursor pos: " + IntToWString(x) + L", " + IntToWString(y);

    if (displayPort_)
        displayPort_->SetOverlayText(std::wstring(first) + text + L"\n" + ToWString(debugText_));
    debugText_[0] = '\0';
}

void ApplicationWin32::showDebugText(const char* text) {
    if (!text) return;
    size_t held = std::strlen(debugText_);
    size_t length = std::strlen(text);
    if (length + held < static_cast<size_t>(kDebugTextSize - 1)) std::memcpy(debugText_ + held, text, length + 1);
}

void ApplicationWin32::SetDebugText(bool on) {
    debugOverlay_ = on;
    if (displayPort_) displayPort_->ShowOverlay(on);
}

}  // namespace pf
