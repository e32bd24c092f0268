#include "shell/platform/KeyState.h"

#include <SDL.h>

#include "shell/platform/NativeWindow.h"

namespace pf {

bool IsVirtualKeyDownIn(const uint8_t* state, int count, int virtualKey) {
    if (!state || virtualKey <= 0) return false;
    for (int sc = 0; sc < count && sc < SDL_NUM_SCANCODES; ++sc) {
        if (!state[sc]) continue;
        const auto scancode = static_cast<SDL_Scancode>(sc);
        if (SdlKeyToVirtualKey(SDL_GetKeyFromScancode(scancode), sc) == virtualKey) return true;
    }
    return false;
}

bool IsVirtualKeyDown(const NativeWindow* window, int virtualKey) {
    if (!window || !window->IsForeground()) return false;
    int count = 0;
    const uint8_t* state = SDL_GetKeyboardState(&count);
    return IsVirtualKeyDownIn(state, count, virtualKey);
}

}  // namespace pf
