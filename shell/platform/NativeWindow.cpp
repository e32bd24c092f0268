#include "shell/platform/NativeWindow.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <vector>

#include "shell/foundation/KeyTables.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LostDisplay.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/StopSignals.h"

namespace pf {

namespace {

std::map<std::string, WindowProcedure>& Classes() {
    static std::map<std::string, WindowProcedure> classes;
    return classes;
}

// The most notches one wheel message carries (32767 / 120).
constexpr int kMaxWheelNotches = 0x7FFF / kWheelDelta;

// Live windows in creation order. Never destroyed: objects destroyed at process exit (the
// application singleton among them) still ask whether their window lives.
std::vector<NativeWindow*>& Windows() {
    static std::vector<NativeWindow*>* windows = new std::vector<NativeWindow*>();
    return *windows;
}

// The lock keys' toggles as the system has them now, for the characters the queue works
// out and for the modifier bits of key events. SDL learns them when one of our windows
// gets the keyboard focus.
void TakeLockKeysFromSystem(MessageQueue& queue) {
    SDL_Keymod mod = SDL_GetModState();
    const bool caps = (mod & KMOD_CAPS) != 0, num = (mod & KMOD_NUM) != 0;
    queue.Keyboard().SetToggled(VirtualKey::Capital, caps);
    queue.Keyboard().SetToggled(VirtualKey::NumLock, num);
    GetModifierState().SetLocks(num, caps);
}

// Turns SDL events into window messages for the windows they belong to.
class SdlEventSource : public PlatformEventSource {
public:
    void Pump(MessageQueue& queue) override {
        TakeStopRequests(queue);
        SDL_Event event;
        while (SDL_PollEvent(&event)) Translate(queue, event);
    }
    void Wait(int timeoutMs) override { SDL_WaitEventTimeout(nullptr, timeoutMs); }

private:
    // The first stop signal asks the game to close, as the window's close button does. One
    // after it (the game did not end) quits through the normal shutdown: content that
    // ignores Close can still be ended from outside.
    void TakeStopRequests(MessageQueue& queue) {
        for (int n = TakeStopSignals(); n > 0; --n) {
            NativeWindow* w = MainWindow();
            if (stopsTaken_++ == 0 && w)
                queue.Post(w, WindowMessage::Close);
            else
                queue.PostQuit(0);
        }
    }

    static NativeWindow* MainWindow() {
        for (NativeWindow* w : Windows())
            if (!w->IsHeadless()) return w;
        return nullptr;
    }

    void Translate(MessageQueue& queue, const SDL_Event& event) {
        switch (event.type) {
            case SDL_QUIT:
                // A quit request: the game decides, as for a close.
                if (NativeWindow* w = MainWindow()) queue.Post(w, WindowMessage::Close);
                break;
            case SDL_WINDOWEVENT:
                TranslateWindowEvent(queue, event.window);
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                TranslateKey(queue, event.key);
                break;
            case SDL_TEXTINPUT:
                TranslateText(queue, event.text);
                break;
            case SDL_MOUSEMOTION:
                if (NativeWindow* w = NativeWindow::FromSdlId(event.motion.windowID)) {
                    queue.Post(w, WindowMessage::SetCursor);
                    queue.Post(w, WindowMessage::MouseMove, 0, MakeLParam(event.motion.x, event.motion.y));
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                TranslateButton(queue, event.button);
                break;
            case SDL_MOUSEWHEEL:
                if (NativeWindow* w = NativeWindow::FromSdlId(event.wheel.windowID)) {
                    int y = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
                    if (y == 0) break;
                    // The delta travels as a signed 16-bit word: a burst of notches must
                    // not wrap around and turn the direction over.
                    y = std::clamp(y, -kMaxWheelNotches, kMaxWheelNotches);
                    Point at = w->GetCursorPos();
                    queue.Post(w, WindowMessage::MouseWheel, MakeWParam(0, y * kWheelDelta),
                               MakeLParam(at.x, at.y));
                }
                break;
            default:
                break;
        }
    }

    void TranslateWindowEvent(MessageQueue& queue, const SDL_WindowEvent& e) {
        NativeWindow* w = NativeWindow::FromSdlId(e.windowID);
        if (!w) return;
        switch (e.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                // The lock keys may have been toggled while another window had the focus.
                TakeLockKeysFromSystem(queue);
                queue.Post(w, WindowMessage::Activate, MakeWParam(kActivateActive, 0));
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                queue.Post(w, WindowMessage::Activate, MakeWParam(kActivateInactive, 0));
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                queue.Post(w, WindowMessage::Activate, MakeWParam(kActivateInactive, 1));
                break;
            case SDL_WINDOWEVENT_RESTORED:
                if (w->IsForeground())
                    queue.Post(w, WindowMessage::Activate, MakeWParam(kActivateActive, 0));
                break;
            case SDL_WINDOWEVENT_ENTER:
                queue.Post(w, WindowMessage::MouseHover);
                break;
            case SDL_WINDOWEVENT_LEAVE:
                queue.Post(w, WindowMessage::MouseLeave);
                break;
            case SDL_WINDOWEVENT_CLOSE:
                queue.Post(w, WindowMessage::Close);
                break;
            default:
                break;
        }
    }

    static bool AltOnly(int mod) { return (mod & KMOD_ALT) && !(mod & KMOD_CTRL); }

    void TranslateKey(MessageQueue& queue, const SDL_KeyboardEvent& e) {
        NativeWindow* w = NativeWindow::FromSdlId(e.windowID);
        if (!w) w = MainWindow();
        if (!w) return;
        // Every key is posted, even one neither its symbol nor its position names.
        int vk = SdlKeyToVirtualKey(e.keysym.sym, e.keysym.scancode);
        bool down = e.state == SDL_PRESSED;
        // Keys pressed or released while Alt (without Control) is held, and Alt itself,
        // are system keys.
        bool system = vk == VirtualKey::Menu || AltOnly(e.keysym.mod);
        bool extended = false;
        int scan = SdlScancodeToScanCode(e.keysym.scancode, extended);
        unsigned kind = down ? (system ? WindowMessage::SysKeyDown : WindowMessage::KeyDown)
                             : (system ? WindowMessage::SysKeyUp : WindowMessage::KeyUp);
        intptr_t lParam = MakeKeyLParam(scan, extended, AltOnly(e.keysym.mod),
                                        down ? e.repeat != 0 : true, !down);
        if (down) {
            lastKeyLParam_ = lParam;
            lastKeySym_ = e.keysym.sym;
        }
        // The character a key typed stays its character when it is let go under the same
        // Shift and Caps Lock state (Shift+7 is '/' on some layouts, the release too).
        const int shiftState = e.keysym.mod & (KMOD_SHIFT | KMOD_CAPS);
        int typed = 0;
        if (down) {
            typed = TypedCharacter(e.windowID);
            typedByKey_[e.keysym.scancode] = {typed, shiftState};
        } else if (auto it = typedByKey_.find(e.keysym.scancode); it != typedByKey_.end()) {
            if (it->second.shiftState == shiftState) typed = it->second.typed;
            typedByKey_.erase(it);
        }
        queue.Post(Message{w, kind, static_cast<uintptr_t>(vk), lParam, SdlKeyLayout(e.keysym.sym, e.keysym.mod, typed)});
    }

    // The one character the system types with the key just pressed: its text comes as the
    // next event. 0 when there is none (a control key, a dead key, Control held).
    static int TypedCharacter(Uint32 windowId) {
        SDL_Event next;
        if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1) return 0;
        if (next.type != SDL_TEXTINPUT || next.text.windowID != windowId) return 0;
        std::wstring text = FromUtf8(next.text.text);
        return text.size() == 1 ? static_cast<int>(text[0]) : 0;
    }

    // Text typed with Alt held arrives as system characters, which nothing handles. The
    // right Alt key is also the AltGr of many layouts ('@' or '{' on German ones): a
    // character that differs from the key's own is AltGr text and is kept.
    bool IsAltText(const std::wstring& text) const {
        SDL_Keymod mod = SDL_GetModState();
        if (!AltOnly(mod)) return false;
        if (mod & KMOD_LALT) return true;
        for (wchar_t c : text) {
            wchar_t lower = c >= L'A' && c <= L'Z' ? c + 32 : c;
            if (lower != static_cast<wchar_t>(lastKeySym_)) return false;
        }
        return true;
    }

    void TranslateText(MessageQueue& queue, const SDL_TextInputEvent& e) {
        std::wstring text = FromUtf8(e.text);
        if (IsAltText(text)) return;
        NativeWindow* w = NativeWindow::FromSdlId(e.windowID);
        if (!w) w = MainWindow();
        if (!w) return;
        for (wchar_t c : text) {
            if (c < 32 || c == 127) continue;  // control characters come from the key
            queue.Post(w, WindowMessage::Char, static_cast<uintptr_t>(c), lastKeyLParam_ & ~(intptr_t(1) << 31));
        }
    }

    void TranslateButton(MessageQueue& queue, const SDL_MouseButtonEvent& e) {
        NativeWindow* w = NativeWindow::FromSdlId(e.windowID);
        if (!w) return;
        bool down = e.state == SDL_PRESSED;
        unsigned kind;
        switch (e.button) {
            case SDL_BUTTON_LEFT: kind = down ? WindowMessage::LButtonDown : WindowMessage::LButtonUp; break;
            case SDL_BUTTON_RIGHT: kind = down ? WindowMessage::RButtonDown : WindowMessage::RButtonUp; break;
            case SDL_BUTTON_MIDDLE: kind = down ? WindowMessage::MButtonDown : WindowMessage::MButtonUp; break;
            default: return;
        }
        queue.Post(w, kind, 0, MakeLParam(e.x, e.y));
    }

    int stopsTaken_ = 0;
    intptr_t lastKeyLParam_ = MakeKeyLParam(0, false, false, false, false);
    SDL_Keycode lastKeySym_ = SDLK_UNKNOWN;
    struct Typed {
        int typed, shiftState;
    };
    std::map<int, Typed> typedByKey_;  // by SDL scancode, while the key is down
};

}  // namespace

intptr_t DefaultWindowProc(NativeWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (message == WindowMessage::SysKeyDown && wParam == static_cast<uintptr_t>(VirtualKey::F4) && window) {
        WindowProcedure procedure = window->GetProcedure();
        if (procedure) return procedure(window, WindowMessage::Close, 0, 0);
    }
    return 0;
}

void RegisterWindowClass(const std::string& name, WindowProcedure procedure) {
    Classes()[name] = procedure;
}

WindowProcedure FindWindowClass(const std::string& name) {
    auto it = Classes().find(name);
    return it == Classes().end() ? nullptr : it->second;
}

namespace {

// SDL's drivers that show nothing, which it falls back to when no display opens.
bool ShowsNothing(const char* driver) {
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

}  // namespace

bool StartVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Closing the last window is a close request for the game, not a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // SIGTERM and SIGINT are counted by handlers of ours (the pump turns them into a close,
    // then a quit), not turned into SDL's quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The software device draws every frame itself: its pictures go to the window through
    // the system's own framebuffer, not through a texture of a GPU renderer, which on a
    // machine without one means a software OpenGL driver (tens of megabytes, and a slower
    // present than the plain copy).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        DebugStream() << "NativeWindow - video start failed: " << SDL_GetError();
        return false;
    }
    // Without a display SDL falls back to a driver that shows nothing: a game nobody can
    // see would run on, holding its lock. Such a driver is taken only when named.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* named = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (ShowsNothing(driver) && !(named && *named)) {
        DebugStream() << "NativeWindow - no display could be opened (only SDL's '" << driver
                      << "' driver started, which shows nothing; SDL_VIDEODRIVER=" << driver << " asks for it)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (driver && SDL_strcmp(driver, "x11") == 0) EndProcessWhenDisplayIsLost();
    static SdlEventSource source;
    GetMessageQueue().SetPlatformSource(&source);
    InstallStopSignals();
    TakeLockKeysFromSystem(GetMessageQueue());
    return true;
}

NativeWindow::NativeWindow(const std::string& className, SDL_Window* window, int width, int height)
    : className_(className), window_(window), procedure_(FindWindowClass(className)),
      width_(width), height_(height) {
    Windows().push_back(this);
}

NativeWindow::~NativeWindow() {
    auto& windows = Windows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    if (window_) SDL_DestroyWindow(window_);
}

std::unique_ptr<NativeWindow> NativeWindow::Create(const std::string& className, const std::wstring& title,
                                                   int width, int height, bool fullScreen) {
    if (!StartVideo()) return nullptr;
    Uint32 flags = SDL_WINDOW_SHOWN | (fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    SDL_Window* sdl = SDL_CreateWindow(ToUtf8(title).c_str(), SDL_WINDOWPOS_CENTERED,
                                       SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!sdl) {
        DebugStream() << "NativeWindow - window creation failed: " << SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<NativeWindow> window(new NativeWindow(className, sdl, width, height));
    window->title_ = title;
    // What SDL knows of the lock keys once the window is up; the focus it gets later
    // brings the system's state if it was not known yet.
    SDL_PumpEvents();
    TakeLockKeysFromSystem(GetMessageQueue());
    return window;
}

std::unique_ptr<NativeWindow> NativeWindow::CreateHeadless(const std::string& className, int width,
                                                           int height) {
    return std::unique_ptr<NativeWindow>(new NativeWindow(className, nullptr, width, height));
}

NativeWindow* NativeWindow::FromSdlId(uint32_t id) {
    for (NativeWindow* w : Windows())
        if (w->window_ && SDL_GetWindowID(w->window_) == id) return w;
    return nullptr;
}

bool NativeWindow::IsLive(const NativeWindow* window) {
    for (NativeWindow* w : Windows())
        if (w == window) return true;
    return false;
}

void NativeWindow::SetTitle(const std::wstring& title) {
    title_ = title;
    if (window_) SDL_SetWindowTitle(window_, ToUtf8(title).c_str());
}

bool NativeWindow::SetClientSize(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    width_ = width;
    height_ = height;
    if (window_) SDL_SetWindowSize(window_, width, height);
    return true;
}

Point NativeWindow::GetClientSize() const {
    if (!window_) return Point(width_, height_);
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return Point(w, h);
}

bool NativeWindow::SetFullScreen(bool on) {
    if (!window_) {
        simFullScreen_ = on;
        return true;
    }
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        DebugStream() << "NativeWindow - full-screen switch failed: " << SDL_GetError();
        return false;
    }
    return true;
}

bool NativeWindow::IsFullScreen() const {
    if (!window_) return simFullScreen_;
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

bool NativeWindow::IsMinimised() const {
    if (!window_) return simMinimised_;
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
}

void NativeWindow::GetWindowRect(int& left, int& top, int& right, int& bottom) const {
    int x = 0, y = 0;
    Point size = GetClientSize();
    if (window_) SDL_GetWindowPosition(window_, &x, &y);
    left = x;
    top = y;
    right = x + size.x;
    bottom = y + size.y;
}

Point NativeWindow::ScreenToClient(const Point& p) const {
    int x = 0, y = 0;
    if (window_) SDL_GetWindowPosition(window_, &x, &y);
    return Point(p.x - x, p.y - y);
}

Point NativeWindow::ClientToScreen(const Point& p) const {
    int x = 0, y = 0;
    if (window_) SDL_GetWindowPosition(window_, &x, &y);
    return Point(p.x + x, p.y + y);
}

Point NativeWindow::GetCursorPos() const {
    if (!window_) return simCursor_;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    return Point(x, y);
}

void NativeWindow::SetCursorPos(const Point& p) {
    if (!window_) {
        simCursor_ = p;
        return;
    }
    SDL_WarpMouseGlobal(p.x, p.y);
}

void NativeWindow::ShowSystemCursor(bool show) {
    cursorShown_ = show;
    if (window_) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void NativeWindow::Restore() {
    if (window_) SDL_RestoreWindow(window_);
    else simMinimised_ = false;
}

void NativeWindow::BringToFront() {
    if (window_) SDL_RaiseWindow(window_);
    else simForeground_ = true;
}

bool NativeWindow::IsForeground() const {
    if (!window_) return simForeground_;
    return SDL_GetKeyboardFocus() == window_;
}

void NativeWindow::SetFocus() {
    if (window_ && SDL_GetKeyboardFocus() != window_) SDL_SetWindowInputFocus(window_);
}

void NativeWindow::SetCapture(bool on) {
    if (window_) SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE);
}

int SdlKeyToVirtualKey(int sym, int scancode) {
    if (sym >= SDLK_a && sym <= SDLK_z) return VirtualKey::LetterA + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return sym;
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return VirtualKey::F1 + (sym - SDLK_F1);
    if (sym >= SDLK_F13 && sym <= SDLK_F24) return VirtualKey::F1 + 12 + (sym - SDLK_F13);
    if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) return VirtualKey::Numpad0 + 1 + (sym - SDLK_KP_1);
    switch (sym) {
        case SDLK_BACKSPACE: return VirtualKey::Back;
        case SDLK_TAB: return VirtualKey::Tab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VirtualKey::Return;
        case SDLK_ESCAPE: return VirtualKey::Escape;
        case SDLK_SPACE: return VirtualKey::Space;
        case SDLK_PAUSE: return VirtualKey::Pause;
        case SDLK_DELETE: return VirtualKey::Delete;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return VirtualKey::Shift;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return VirtualKey::Control;
        case SDLK_LALT:
        case SDLK_RALT: return VirtualKey::Menu;
        case SDLK_LGUI: return VirtualKey::LWin;
        case SDLK_RGUI: return VirtualKey::RWin;
        case SDLK_APPLICATION: return VirtualKey::Apps;
        case SDLK_CAPSLOCK: return VirtualKey::Capital;
        case SDLK_NUMLOCKCLEAR: return VirtualKey::NumLock;
        case SDLK_SCROLLLOCK: return VirtualKey::Scroll;
        case SDLK_PAGEUP: return VirtualKey::Prior;
        case SDLK_PAGEDOWN: return VirtualKey::Next;
        case SDLK_END: return VirtualKey::End;
        case SDLK_HOME: return VirtualKey::Home;
        case SDLK_LEFT: return VirtualKey::Left;
        case SDLK_UP: return VirtualKey::Up;
        case SDLK_RIGHT: return VirtualKey::Right;
        case SDLK_DOWN: return VirtualKey::Down;
        case SDLK_PRINTSCREEN: return VirtualKey::Snapshot;
        case SDLK_INSERT: return VirtualKey::Insert;
        case SDLK_KP_0: return VirtualKey::Numpad0;
        case SDLK_KP_MULTIPLY: return VirtualKey::Multiply;
        case SDLK_KP_PLUS: return VirtualKey::Add;
        case SDLK_KP_MINUS: return VirtualKey::Subtract;
        case SDLK_KP_PERIOD: return VirtualKey::Decimal;
        case SDLK_KP_DIVIDE: return VirtualKey::Divide;
        case SDLK_SEMICOLON: return VirtualKey::Oem1;
        case SDLK_EQUALS: return VirtualKey::OemPlus;
        case SDLK_COMMA: return VirtualKey::OemComma;
        case SDLK_MINUS: return VirtualKey::OemMinus;
        case SDLK_PERIOD: return VirtualKey::OemPeriod;
        case SDLK_SLASH: return VirtualKey::Oem2;
        case SDLK_BACKQUOTE: return VirtualKey::Oem3;
        case SDLK_LEFTBRACKET: return VirtualKey::Oem4;
        case SDLK_BACKSLASH: return VirtualKey::Oem5;
        case SDLK_RIGHTBRACKET: return VirtualKey::Oem6;
        case SDLK_QUOTE: return VirtualKey::Oem7;
        default: break;
    }
    // Layouts without Latin letters or digits: the key's position decides.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return VirtualKey::LetterA + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return VirtualKey::Digit0 + 1 + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return VirtualKey::Digit0;
    switch (scancode) {
        case SDL_SCANCODE_NONUSBACKSLASH: return VirtualKey::Oem102;
        case SDL_SCANCODE_SEMICOLON: return VirtualKey::Oem1;
        case SDL_SCANCODE_EQUALS: return VirtualKey::OemPlus;
        case SDL_SCANCODE_COMMA: return VirtualKey::OemComma;
        case SDL_SCANCODE_MINUS: return VirtualKey::OemMinus;
        case SDL_SCANCODE_PERIOD: return VirtualKey::OemPeriod;
        case SDL_SCANCODE_SLASH: return VirtualKey::Oem2;
        case SDL_SCANCODE_GRAVE: return VirtualKey::Oem3;
        case SDL_SCANCODE_LEFTBRACKET: return VirtualKey::Oem4;
        case SDL_SCANCODE_BACKSLASH:
        case SDL_SCANCODE_NONUSHASH: return VirtualKey::Oem5;
        case SDL_SCANCODE_RIGHTBRACKET: return VirtualKey::Oem6;
        case SDL_SCANCODE_APOSTROPHE: return VirtualKey::Oem7;
        default: return 0;
    }
}

namespace {

// The symbol of a letter key with Shift or Caps Lock: upper case for the Latin-1 letters
// (the sharp s and the other symbols have none).
int UpperCase(int sym) {
    if (sym >= 'a' && sym <= 'z') return sym - 32;
    if (sym >= 0xE0 && sym <= 0xFE && sym != 0xF7) return sym - 32;
    return sym;
}

}  // namespace

LayoutKey SdlKeyLayout(int sym, int mod, int typed) {
    LayoutKey layout;
    layout.fromLayout = true;
    if (sym == SDLK_UNKNOWN) {
        layout.character = 1;  // a key the layout cannot name yields no character: 1, as any such key
        return layout;
    }
    const bool printable = sym >= ' ' && sym != SDLK_DELETE && !(sym & SDLK_SCANCODE_MASK) && sym <= 0x10FFFF;
    if (!printable) return layout;  // control characters come from the keyboard state
    // A symbol of the Latin-1 range that no virtual key stands for is the key's code itself,
    // numbered like the other key codes after their symbols (0xF6 for the o-umlaut key).
    const bool ownKey = sym > ' ' && sym < 256 && SdlKeyToVirtualKey(sym, SDL_SCANCODE_UNKNOWN) == 0;
    if (ownKey) layout.key = sym;
    if (mod & KMOD_CTRL) {
        // Control+key: the keyboard state's control characters for the keys a virtual key
        // stands for; none for the others.
        if (ownKey || sym >= 128) layout.character = 1;
        return layout;
    }
    if (typed >= ' ' && typed != 0x7F) {
        layout.character = typed;
    } else if (ownKey || sym >= 128) {
        const bool upper = ((mod & KMOD_SHIFT) != 0) != ((mod & KMOD_CAPS) != 0);
        layout.character = upper ? UpperCase(sym) : sym;
    }
    return layout;
}

int SdlScancodeToScanCode(int scancode, bool& extended) {
    extended = false;
    static const unsigned char kLetters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                               0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                               0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return kLetters[scancode - SDL_SCANCODE_A];
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0) return 0x02 + (scancode - SDL_SCANCODE_1);
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F10) return 0x3B + (scancode - SDL_SCANCODE_F1);
    struct Entry {
        int sdl, scan;
        bool extended;
    };
    static const Entry kTable[] = {
        {SDL_SCANCODE_RETURN, 0x1C, false},     {SDL_SCANCODE_ESCAPE, 0x01, false},
        {SDL_SCANCODE_BACKSPACE, 0x0E, false},  {SDL_SCANCODE_TAB, 0x0F, false},
        {SDL_SCANCODE_SPACE, 0x39, false},      {SDL_SCANCODE_MINUS, 0x0C, false},
        {SDL_SCANCODE_EQUALS, 0x0D, false},     {SDL_SCANCODE_LEFTBRACKET, 0x1A, false},
        {SDL_SCANCODE_RIGHTBRACKET, 0x1B, false}, {SDL_SCANCODE_BACKSLASH, 0x2B, false},
        {SDL_SCANCODE_NONUSHASH, 0x2B, false},  {SDL_SCANCODE_SEMICOLON, 0x27, false},
        {SDL_SCANCODE_APOSTROPHE, 0x28, false}, {SDL_SCANCODE_GRAVE, 0x29, false},
        {SDL_SCANCODE_COMMA, 0x33, false},      {SDL_SCANCODE_PERIOD, 0x34, false},
        {SDL_SCANCODE_SLASH, 0x35, false},      {SDL_SCANCODE_CAPSLOCK, 0x3A, false},
        {SDL_SCANCODE_F11, 0x57, false},        {SDL_SCANCODE_F12, 0x58, false},
        {SDL_SCANCODE_PRINTSCREEN, 0x37, true}, {SDL_SCANCODE_SCROLLLOCK, 0x46, false},
        {SDL_SCANCODE_PAUSE, 0x45, false},      {SDL_SCANCODE_INSERT, 0x52, true},
        {SDL_SCANCODE_HOME, 0x47, true},        {SDL_SCANCODE_PAGEUP, 0x49, true},
        {SDL_SCANCODE_DELETE, 0x53, true},      {SDL_SCANCODE_END, 0x4F, true},
        {SDL_SCANCODE_PAGEDOWN, 0x51, true},    {SDL_SCANCODE_RIGHT, 0x4D, true},
        {SDL_SCANCODE_LEFT, 0x4B, true},        {SDL_SCANCODE_DOWN, 0x50, true},
        {SDL_SCANCODE_UP, 0x48, true},          {SDL_SCANCODE_NUMLOCKCLEAR, 0x45, false},
        {SDL_SCANCODE_KP_DIVIDE, 0x35, true},   {SDL_SCANCODE_KP_MULTIPLY, 0x37, false},
        {SDL_SCANCODE_KP_MINUS, 0x4A, false},   {SDL_SCANCODE_KP_PLUS, 0x4E, false},
        {SDL_SCANCODE_KP_ENTER, 0x1C, true},    {SDL_SCANCODE_KP_1, 0x4F, false},
        {SDL_SCANCODE_KP_2, 0x50, false},       {SDL_SCANCODE_KP_3, 0x51, false},
        {SDL_SCANCODE_KP_4, 0x4B, false},       {SDL_SCANCODE_KP_5, 0x4C, false},
        {SDL_SCANCODE_KP_6, 0x4D, false},       {SDL_SCANCODE_KP_7, 0x47, false},
        {SDL_SCANCODE_KP_8, 0x48, false},       {SDL_SCANCODE_KP_9, 0x49, false},
        {SDL_SCANCODE_KP_0, 0x52, false},       {SDL_SCANCODE_KP_PERIOD, 0x53, false},
        {SDL_SCANCODE_NONUSBACKSLASH, 0x56, false}, {SDL_SCANCODE_APPLICATION, 0x5D, true},
        {SDL_SCANCODE_LCTRL, 0x1D, false},      {SDL_SCANCODE_LSHIFT, 0x2A, false},
        {SDL_SCANCODE_LALT, 0x38, false},       {SDL_SCANCODE_LGUI, 0x5B, true},
        {SDL_SCANCODE_RCTRL, 0x1D, true},       {SDL_SCANCODE_RSHIFT, 0x36, false},
        {SDL_SCANCODE_RALT, 0x38, true},        {SDL_SCANCODE_RGUI, 0x5C, true},
    };
    for (const Entry& e : kTable) {
        if (e.sdl == scancode) {
            extended = e.extended;
            return e.scan;
        }
    }
    return 0;
}

}  // namespace pf

namespace pf {

int MonitorCount() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return 1;
    int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 1;
}

}  // namespace pf
