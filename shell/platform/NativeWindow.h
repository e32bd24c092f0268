// The native window: an SDL2 window (or a headless stand-in for tests) with a window
// procedure, user data and the cursor and placement calls the application and the display
// need. The SDL event source that turns SDL events into window messages lives here too.
//
// The display creates the window in its Init (Create, with the class "TarnShell" that the
// application registers), resizes or switches it later (SetClientSize, SetFullScreen) and
// hands it out through GetWindow; the message pump routes SDL events to it by window id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shell/foundation/ValueTypes.h"
#include "shell/platform/MessageQueue.h"

struct SDL_Window;

namespace pf {

class NativeWindow;

using WindowProcedure = intptr_t (*)(NativeWindow* window, unsigned message, uintptr_t wParam,
                                     intptr_t lParam);

// The default handling: a system key down of F4 (Alt+F4) sends Close to the window's
// procedure; everything else answers 0.
intptr_t DefaultWindowProc(NativeWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam);

// Window classes: a name and the procedure of the windows created with it.
void RegisterWindowClass(const std::string& name, WindowProcedure procedure);
WindowProcedure FindWindowClass(const std::string& name);

// Starts SDL's video subsystem once (and the SDL event source on the main queue);
// false with a log line when it cannot start.
bool StartVideo();

class NativeWindow {
public:
    // An SDL window with the given client size, shown; null with a log line on failure.
    static std::unique_ptr<NativeWindow> Create(const std::string& className, const std::wstring& title,
                                                int width, int height, bool fullScreen);
    // A window with no system window behind it: messages are posted to it by hand, and
    // its placement and the cursor are simulated (the window sits at (0, 0) on screen).
    static std::unique_ptr<NativeWindow> CreateHeadless(const std::string& className, int width,
                                                        int height);
    ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    SDL_Window* GetSdlWindow() const { return window_; }
    bool IsHeadless() const { return window_ == nullptr; }
    const std::string& GetClassName() const { return className_; }
    WindowProcedure GetProcedure() const { return procedure_; }
    void SetProcedure(WindowProcedure procedure) { procedure_ = procedure; }
    void* GetUserData() const { return userData_; }
    void SetUserData(void* data) { userData_ = data; }

    void SetTitle(const std::wstring& title);
    std::wstring GetTitle() const { return title_; }
    bool SetClientSize(int width, int height);
    Point GetClientSize() const;
    // Desktop full screen at the window's size, or back to a window.
    bool SetFullScreen(bool on);
    bool IsFullScreen() const;
    bool IsMinimised() const;

    // Window rectangle in screen coordinates (right and bottom exclusive, as the
    // platform reports them).
    void GetWindowRect(int& left, int& top, int& right, int& bottom) const;
    Point ScreenToClient(const Point& p) const;
    Point ClientToScreen(const Point& p) const;
    // The system cursor in screen coordinates.
    Point GetCursorPos() const;
    void SetCursorPos(const Point& p);
    void ShowSystemCursor(bool show);
    bool IsSystemCursorShown() const { return cursorShown_; }

    // Restore from minimised, raise and focus, is-foreground.
    void Restore();
    void BringToFront();
    bool IsForeground() const;
    void SetFocus();
    void SetCapture(bool on);

    // Headless windows only: the simulated foreground and minimised state.
    void SimulateForeground(bool foreground) { simForeground_ = foreground; }
    void SimulateMinimised(bool minimised) { simMinimised_ = minimised; }

    static NativeWindow* FromSdlId(uint32_t id);
    // Whether the pointer is a window that still exists.
    static bool IsLive(const NativeWindow* window);

private:
    NativeWindow(const std::string& className, SDL_Window* window, int width, int height);

    std::string className_;
    SDL_Window* window_ = nullptr;
    WindowProcedure procedure_ = nullptr;
    void* userData_ = nullptr;
    std::wstring title_;
    int width_ = 0;
    int height_ = 0;
    bool cursorShown_ = true;
    Point simCursor_;
    bool simForeground_ = true;
    bool simMinimised_ = false;
    bool simFullScreen_ = false;
};

// Platform key translation, exposed for tests: the virtual key of an SDL key (generic
// Shift, Control and Alt), and the scan code (set 1) with its extended flag.
int SdlKeyToVirtualKey(int sdlKeycode, int sdlScancode);
int SdlScancodeToScanCode(int sdlScancode, bool& extended);
// What the current layout says of an SDL key (its symbol, the modifier state and the one
// character the system typed with it, 0 for none): the key code for a symbol no virtual
// key stands for, and the character, shifted as typed. A key without a symbol gives
// character 0.
LayoutKey SdlKeyLayout(int sdlKeycode, int sdlMod, int typed);

}  // namespace pf

namespace pf {
// The number of monitors (1 before video starts).
int MonitorCount();
}  // namespace pf
