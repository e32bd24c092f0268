// Asking whether a key is held down now, by Windows virtual-key code, through SDL's
// keyboard state. Only while our window has the keyboard focus: a key pressed in another
// program's window is not ours to see.
#pragma once

#include <cstdint>

namespace pf {

class NativeWindow;

// True when `window` (not null) is in the foreground and the key is down.
bool IsVirtualKeyDown(const NativeWindow* window, int virtualKey);

// The decision behind it on a given keyboard state (one byte per SDL scancode, non-zero
// for a key that is down): any key the engine translates to that virtual key.
bool IsVirtualKeyDownIn(const uint8_t* state, int count, int virtualKey);

}  // namespace pf
