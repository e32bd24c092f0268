// The process shell: the abstract application, its one implementation with the run
// sequence, the frame loop, the debug overlay text, the data and user-data folders and the
// application-level cursor state (visibility, mode, mouse lock with a virtual cursor).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "shell/EventSystem.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/platform/Power.h"

namespace pf {

class Display;
class DisplayDX;
class FileSystem;
class FileSystemWin32;
class Game;
class ImageLoader;
class ImageLoaderDX;
class MessageQueue;
class NativeWindow;

// What the application needs of the display. The display object implements it (or an
// adapter over it); tests install fakes.
class AppDisplayPort {
public:
    virtual ~AppDisplayPort() = default;
    // Creates the window and the device (Display::Init with no depth buffer).
    virtual bool Init(int width, int height, bool fullScreen, bool wideScreen) = 0;
    virtual void ShowOverlay(bool on) = 0;
    virtual void SetOverlayText(const std::wstring& text) = 0;
    virtual bool IsFullScreen() const = 0;
    // Display::SetFullScreen(width, height, fullScreen).
    virtual bool SetFullScreen(int width, int height, bool fullScreen) = 0;
    // The current width and height of the display.
    virtual void GetCurrentSize(int& width, int& height) const = 0;
    // The display window, or null before Init.
    virtual NativeWindow* GetWindow() const = 0;
    // Window client point to game point (the letterbox conversion).
    virtual void ClientToGame(float out[2], const float client[2]) const = 0;
    // The game screen size.
    virtual void GetGameScreenSize(int& width, int& height) const = 0;
    // The device cursor (cursor mode 1).
    virtual void ShowDeviceCursor(bool show) = 0;
    // Gives the device to the image loader.
    virtual void AttachImageLoader(ImageLoader* loader) = 0;
};

// What the application needs of the file system.
class AppFileSystemPort {
public:
    virtual ~AppFileSystemPort() = default;
    virtual void SetResourcePath(const std::wstring& folder) = 0;
    virtual std::wstring GetResourcePath() const = 0;
    virtual void SetUserPath(const std::wstring& folder) = 0;
    // A failed open is the file system's to log; reads then come from the folder.
    virtual bool OpenArchive(const std::wstring& archive, const std::string& password) = 0;
};

// The port over the application's own file system.
std::unique_ptr<AppFileSystemPort> MakeFileSystemPort(FileSystemWin32& fs);

class Application2 {
public:
    // The one application, built on first use and destroyed at process exit.
    static class ApplicationWin32& GetInstance();

    virtual ~Application2() {}
    virtual void CheckSingleInstance(const char* name) = 0;
    virtual void InitDisplay(int width, int height, bool fullScreen, bool wideScreen) = 0;
    virtual void SetDataSource(const wchar_t* folder, const wchar_t* archive, const char* password) = 0;
    virtual void SetUserDataPath(const wchar_t* vendor, const wchar_t* product) = 0;
    virtual Display* GetDisplay() = 0;
    virtual Game* GetGame() = 0;
    virtual ImageLoader* GetImageLoader() = 0;
    virtual EventSystem* GetEventSystem() = 0;
    virtual FileSystem* GetFileSystem() = 0;
    virtual std::thread::id GetMainThreadId() = 0;
    virtual int GetMaxFPS() = 0;
    virtual const char* GetCommandLine() = 0;
    virtual char* GetDebugText() = 0;
    virtual bool GetFullscreen() = 0;
    virtual void GetCursorPosition(int& x, int& y) = 0;
    virtual void SetDebugText(bool on) = 0;
    virtual void showDebugText(const char* text) = 0;
    virtual void SetMaxFPS(int fps) = 0;
    virtual void SetFullscreen(bool on) = 0;
    virtual void SetScreenMode(int width, int height, bool fullScreen) = 0;
    virtual void SetTitle(const std::wstring& title) = 0;
    virtual void SetMouseLock(bool on) = 0;
    virtual void SetCursorVisible(bool visible) = 0;
    virtual void OpenURL(const std::wstring& url) = 0;
    virtual void SetCursorMode(int mode) = 0;
    // Throws Exception {null, quit, default}: leaves Run at once.
    virtual void Quit() = 0;
    // The loop ends after the frame in which the quit message is pumped.
    virtual void QuitAfterCycle() = 0;
    // One frame; true means stop.
    virtual bool RunFrame(bool allowWait, int& lastTick, int& sleepMs) { return true; }
};

class ApplicationWin32 : public Application2 {
public:
    static constexpr int kDebugTextSize = 2048;
    static constexpr const char* kWindowClass = "TarnShell";

    // Registers the window class; messages come from the given queue.
    ApplicationWin32();
    explicit ApplicationWin32(MessageQueue& queue);
    ~ApplicationWin32() override;
    ApplicationWin32(const ApplicationWin32&) = delete;
    ApplicationWin32& operator=(const ApplicationWin32&) = delete;

    // Init, Start and the message loop inside one handler for Exception; then Shutdown
    // and Release in every case. Always 1.
    int Run(Game* game, const char* commandLine);
    void MessageLoop();
    // Makes the display window deliver its messages to this application (the message
    // loop does it; until then the window procedure posts no events).
    void AttachWindow();

    void CheckSingleInstance(const char* name) override;
    void InitDisplay(int width, int height, bool fullScreen, bool wideScreen) override;
    void SetDataSource(const wchar_t* folder, const wchar_t* archive, const char* password) override;
    void SetUserDataPath(const wchar_t* vendor, const wchar_t* product) override;
    Display* GetDisplay() override { return display_; }
    Game* GetGame() override { return game_; }
    ImageLoader* GetImageLoader() override { return imageLoader_; }
    EventSystem* GetEventSystem() override { return &eventSystem_; }
    FileSystem* GetFileSystem() override { return fileSystem_; }
    std::thread::id GetMainThreadId() override { return mainThread_; }
    int GetMaxFPS() override { return maxFps_; }
    const char* GetCommandLine() override { return commandLine_; }
    char* GetDebugText() override { return debugText_; }
    bool GetFullscreen() override;
    void GetCursorPosition(int& x, int& y) override;
    void SetDebugText(bool on) override;
    void showDebugText(const char* text) override;
    void SetMaxFPS(int fps) override { maxFps_ = fps; }
    void SetFullscreen(bool on) override;
    void SetScreenMode(int width, int height, bool fullScreen) override;
    void SetTitle(const std::wstring& title) override;
    void SetMouseLock(bool on) override;
    void SetCursorVisible(bool visible) override { cursorVisible_ = visible; }
    void OpenURL(const std::wstring& url) override;
    void SetCursorMode(int mode) override { cursorMode_ = mode; }
    void Quit() override;
    void QuitAfterCycle() override;
    bool RunFrame(bool allowWait, int& lastTick, int& sleepMs) override;

    // The objects the application works with: by default its own display, image loader
    // and file system (and their ports); tests may wire others in their place.
    DisplayDX* GetDisplayDX() { return displayDX_; }
    void SetDisplayObjects(Display* display, DisplayDX* displayDX) {
        display_ = display;
        displayDX_ = displayDX;
    }
    void SetImageLoader(ImageLoader* loader) { imageLoader_ = loader; }
    void SetFileSystem(FileSystem* fileSystem) { fileSystem_ = fileSystem; }
    void SetDisplayPort(AppDisplayPort* port) { displayPort_ = port; }
    void SetFileSystemPort(AppFileSystemPort* port) { fileSystemPort_ = port; }
    AppDisplayPort* GetDisplayPort() const { return displayPort_; }
    NativeWindow* GetWindow() const;
    MessageQueue& GetQueue() { return queue_; }

    // State the window procedure reads and writes.
    bool IsClosing() const { return closing_; }
    bool IsActive() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    bool IsCursorVisible() const { return cursorVisible_; }
    int GetCursorMode() const { return cursorMode_; }
    bool GetMouseLock() const { return mouseLock_; }
    bool IsDebugOverlayOn() const { return debugOverlay_; }

    // Routines the window procedure and the frame share.
    Point GetWindowCenter() const;
    Point WindowToGame(int x, int y) const;
    Point GetVirtualMousePosition() const { return virtualCursor_; }
    // Stores the point clamped to the game screen.
    void SetVirtualMousePosition(const Point& p);
    bool IsRelativeMouse();
    void ConfineCursor();

private:
    void ReportException(const class Exception& e);
    // Restores and raises the window when a second start asked for it.
    void RaiseWhenAsked();
    // Posts the battery-low power message to the window when the battery runs low.
    void WatchBattery();
    void CycleAndDraw(int sleepMs);
    void DrawGame();

    MessageQueue& queue_;
    // Owned, built in this order and destroyed in the reverse one: the display, the
    // image loader, the event system, the file system.
    std::unique_ptr<DisplayDX> ownDisplay_;
    std::unique_ptr<AppDisplayPort> ownDisplayPort_;
    std::unique_ptr<ImageLoaderDX> ownImageLoader_;
    EventSystem eventSystem_;
    std::unique_ptr<FileSystemWin32> ownFileSystem_;
    std::unique_ptr<AppFileSystemPort> ownFileSystemPort_;
    Display* display_ = nullptr;
    DisplayDX* displayDX_ = nullptr;
    ImageLoader* imageLoader_ = nullptr;
    FileSystem* fileSystem_ = nullptr;
    AppDisplayPort* displayPort_ = nullptr;
    AppFileSystemPort* fileSystemPort_ = nullptr;
    NativeWindow* attachedWindow_ = nullptr;
    bool answersRaiseRequests_ = false;
    BatteryWatch batteryWatch_;
    bool mouseLock_ = false;
    Point virtualCursor_;
    bool cursorVisible_ = true;
    int cursorMode_ = 0;
    bool active_ = true;
    bool closing_ = false;
    bool debugOverlay_ = false;
    char debugText_[kDebugTextSize] = {};
    const char* commandLine_ = nullptr;
    Game* game_ = nullptr;
    int maxFps_ = 0;
    std::thread::id mainThread_;
    // The overlay's frame counter.
    int secondStart_ = 0;
    int framesThisSecond_ = 0;
    int framesLastSecond_ = 0;
};

// GetInstance().GetGame().
Game* GetGameInstance();
// The running game's text for key (its LookupText), or "" without a game.
std::wstring GameText(const std::wstring& key);
// GetInstance().SetCursorVisible(show).
void ShowSystemCursor(bool show);
// The mouse position of the application's event system (its last posted mouse event).
Point GetMousePosition();

}  // namespace pf
