// The window procedure of the window class "TarnShell": turns window messages into
// events on the application's queue.
#pragma once

#include <cstdint>

namespace pf {

class NativeWindow;

// Until the message loop stores the application as the window's user data, every
// message takes the default path (no events).
intptr_t WindowProc(NativeWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam);

}  // namespace pf
