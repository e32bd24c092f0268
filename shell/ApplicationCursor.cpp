// The application's cursor state: the window centre, client-to-game points, the mouse
// lock and its virtual cursor, and the display calls behind full screen and the title.
#include "shell/Application.h"
#include "shell/platform/NativeWindow.h"

namespace pf {

Point ApplicationWin32::GetWindowCenter() const {
    NativeWindow* window = GetWindow();
    if (!window) return Point();
    int left = 0, top = 0, right = 0, bottom = 0;
    window->GetWindowRect(left, top, right, bottom);
    return Point((left + right) / 2, (top + bottom) / 2);
}

Point ApplicationWin32::WindowToGame(int x, int y) const {
    if (!displayPort_) return Point(x, y);
    float client[2] = {static_cast<float>(x), static_cast<float>(y)};
    float game[2] = {client[0], client[1]};
    displayPort_->ClientToGame(game, client);
    return Point(static_cast<int>(game[0]), static_cast<int>(game[1]));
}

void ApplicationWin32::SetVirtualMousePosition(const Point& p) {
    Point clamped = p;
    if (clamped.x < 0) clamped.x = 0;
    if (clamped.y < 0) clamped.y = 0;
    if (displayPort_) {
        int width = 0, height = 0;
        displayPort_->GetGameScreenSize(width, height);
        if (clamped.x > width) clamped.x = width;
        if (clamped.y > height) clamped.y = height;
    }
    virtualCursor_ = clamped;
}

bool ApplicationWin32::IsRelativeMouse() {
    return mouseLock_ || (!cursorVisible_ && GetFullscreen() && MonitorCount() > 1);
}

void ApplicationWin32::ConfineCursor() {
    if (!active_ || !IsRelativeMouse() || cursorVisible_) return;
    NativeWindow* window = GetWindow();
    if (!window) return;
    Point center = GetWindowCenter();
    if (window->GetCursorPos() != center) window->SetCursorPos(center);
}

void ApplicationWin32::SetMouseLock(bool on) {
    if (on == mouseLock_ || GetFullscreen()) return;
    mouseLock_ = on;
    NativeWindow* window = GetWindow();
    if (!window) return;
    if (on) {
        SetVirtualMousePosition(window->ScreenToClient(window->GetCursorPos()));
        window->BringToFront();
        ConfineCursor();
    } else {
        window->SetCursorPos(window->ClientToScreen(virtualCursor_));
    }
}

void ApplicationWin32::GetCursorPosition(int& x, int& y) {
    NativeWindow* window = GetWindow();
    Point client = window ? window->ScreenToClient(window->GetCursorPos()) : Point();
    Point game = WindowToGame(client.x, client.y);
    x = game.x;
    y = game.y;
}

bool ApplicationWin32::GetFullscreen() { return displayPort_ && displayPort_->IsFullScreen(); }

void ApplicationWin32::SetFullscreen(bool on) {
    if (!displayPort_) return;
    int width = 0, height = 0;
    displayPort_->GetCurrentSize(width, height);
    displayPort_->SetFullScreen(width, height, on);
}

void ApplicationWin32::SetScreenMode(int width, int height, bool fullScreen) {
    if (displayPort_) displayPort_->SetFullScreen(width, height, fullScreen);
}

void ApplicationWin32::SetTitle(const std::wstring& title) {
    if (NativeWindow* window = GetWindow()) window->SetTitle(title);
}

}  // namespace pf
