#include "shell/WindowProc.h"

#include "shell/Application.h"
#include "shell/Game.h"
#include "shell/foundation/KeyTables.h"
#include "shell/platform/MessageQueue.h"
#include "shell/platform/NativeWindow.h"

namespace pf {

namespace {

// The game point of a mouse message: the virtual cursor while the mouse is relative
// (moved first by the system cursor's offset from the window centre for a move), else
// the client point converted to the game.
Point MousePosition(ApplicationWin32& app, NativeWindow* window, unsigned message, intptr_t lParam) {
    if (app.IsRelativeMouse()) {
        if (message == WindowMessage::MouseMove) {
            Point offset = window->GetCursorPos() - app.GetWindowCenter();
            app.SetVirtualMousePosition(app.GetVirtualMousePosition() + offset);
        }
        return app.GetVirtualMousePosition();
    }
    uintptr_t words = static_cast<uintptr_t>(lParam);
    return app.WindowToGame(SignedLowWord(words), SignedHighWord(words));
}

int ButtonOf(unsigned message) {
    switch (message) {
        case WindowMessage::LButtonDown:
        case WindowMessage::LButtonUp: return ButtonType::Left;
        case WindowMessage::RButtonDown:
        case WindowMessage::RButtonUp: return ButtonType::Right;
        default: return ButtonType::Middle;
    }
}

bool IsAltKey(uintptr_t vk) {
    return vk == VirtualKey::Menu || vk == VirtualKey::LMenu || vk == VirtualKey::RMenu;
}

}  // namespace

intptr_t WindowProc(NativeWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto* app = static_cast<ApplicationWin32*>(window ? window->GetUserData() : nullptr);
    if (!app || app->IsClosing()) return DefaultWindowProc(window, message, wParam, lParam);
    EventSystem& events = *app->GetEventSystem();

    switch (message) {
        case WindowMessage::Activate: {
            bool active = LowWord(wParam) != 0 && HighWord(wParam) == 0;
            if (active != app->IsActive()) {
                app->SetActive(active);
                events.PostActive(active);
            }
            return 0;
        }
        case WindowMessage::Close:
            // The window stays; the game decides.
            window->Restore();
            events.PostEvent(EventType::Close);
            return 0;
        case WindowMessage::SetCursor:
            if (events.IsMouseInside()) {
                if (app->GetCursorMode() == 0) {
                    window->ShowSystemCursor(app->IsCursorVisible());
                } else if (app->GetCursorMode() == 1 && app->IsCursorVisible()) {
                    window->ShowSystemCursor(false);
                    if (AppDisplayPort* display = app->GetDisplayPort()) display->ShowDeviceCursor(true);
                }
            }
            break;
        case WindowMessage::NcMouseMove:
            window->ShowSystemCursor(true);
            break;
        case WindowMessage::KeyDown:
        case WindowMessage::KeyUp: {
            // A key from the window system is always posted, under the key code its layout
            // names it by when it has one; a synthetic message without a key code is not.
            const KeyboardState& keyboard = app->GetQueue().Keyboard();
            const LayoutKey& layout = keyboard.Current();
            int key = layout.key != 0 ? layout.key : VirtualKeyToKey(static_cast<int>(wParam));
            if (key == 0 && !layout.fromLayout) break;
            int scan = KeyScanCode(lParam);
            int character = keyboard.KeyCharacter(static_cast<int>(wParam));
            if (character == 0) character = 1;  // a key that yields no character carries 1
            if (message == WindowMessage::KeyDown)
                events.PostKeyDown(scan, key, character);
            else
                events.PostKeyUp(key, scan, character);
            break;
        }
        case WindowMessage::Char:
            events.PostKeyChar(KeyScanCode(lParam), VirtualKeyToKey(LowWord(wParam)),
                               static_cast<int>(wParam));
            break;
        case WindowMessage::SysKeyDown:
        case WindowMessage::SysKeyUp:
            if (IsAltKey(wParam)) return 0;
            break;
        case WindowMessage::SysChar:
            return 0;
        case WindowMessage::MouseMove: {
            Point p = MousePosition(*app, window, message, lParam);
            events.PostMouseMotion(p.x, p.y);
            break;
        }
        case WindowMessage::LButtonDown:
        case WindowMessage::RButtonDown:
        case WindowMessage::MButtonDown: {
            window->SetFocus();
            Point p = MousePosition(*app, window, message, lParam);
            events.PostMouseButtonDown(ButtonOf(message), p.x, p.y);
            window->SetCapture(true);
            break;
        }
        case WindowMessage::LButtonUp:
        case WindowMessage::RButtonUp:
        case WindowMessage::MButtonUp: {
            window->SetFocus();
            Point p = MousePosition(*app, window, message, lParam);
            events.PostMouseButtonUp(ButtonOf(message), p.x, p.y);
            window->SetCapture(false);
            break;
        }
        case WindowMessage::MouseWheel:
            events.PostEvent(EventType::MouseWheel, SignedHighWord(wParam) < 0 ? 1 : -1);
            return 0;
        case WindowMessage::PowerBroadcast:
            if (wParam == kPowerBatteryLow) events.PostEvent(EventType::BatteryLow);
            break;
        case WindowMessage::MouseHover:
            events.PostEvent(EventType::Active, 1, ActiveState::MouseFocus);
            events.SetMouseInside(true);
            break;
        case WindowMessage::MouseLeave:
            events.PostEvent(EventType::Active, 0, ActiveState::MouseFocus);
            events.SetMouseInside(false);
            break;
        default:
            break;
    }
    if (Game* game = app->GetGame()) game->OnWindowMessage(window, message, wParam, lParam);
    return DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace pf
