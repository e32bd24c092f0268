// Key codes of key events (numbered like the SDL 1.2 key symbols), the map from the
// platform's virtual keys to them, and the process-wide modifier state.
#pragma once

namespace pf {

// The platform's virtual-key numbers the window layer delivers.
struct VirtualKey {
    enum : int {
        Back = 8, Tab = 9, Clear = 12, Return = 13, Shift = 16, Control = 17, Menu = 18,
        Pause = 19, Capital = 20, Escape = 27, Space = 32, Prior = 33, Next = 34, End = 35,
        Home = 36, Left = 37, Up = 38, Right = 39, Down = 40, Snapshot = 44, Insert = 45,
        Delete = 46, Digit0 = 48, LetterA = 65, LetterZ = 90, LWin = 91, RWin = 92, Apps = 93,
        Numpad0 = 96, Multiply = 106, Add = 107, Separator = 108, Subtract = 109,
        Decimal = 110, Divide = 111, F1 = 112, F4 = 115, F15 = 126, F24 = 135,
        NumLock = 144, Scroll = 145, LShift = 160, RShift = 161, LControl = 162,
        RControl = 163, LMenu = 164, RMenu = 165, Oem1 = 186, OemPlus = 187,
        OemComma = 188, OemMinus = 189, OemPeriod = 190, Oem2 = 191, Oem3 = 192,
        Oem4 = 219, Oem5 = 220, Oem6 = 221, Oem7 = 222, Oem102 = 226,
    };
};

// Key codes (TSKey). The scripts name nine of them through KeyType.
struct KeyType {
    enum : int {
        Backspace = 8, Tab = 9, Return = 13, Pause = 19, Esc = 27, Space = 32, Delete = 127,
        ArrowUp = 273, ArrowDown = 274, ArrowRight = 275, ArrowLeft = 276, Insert = 277,
        Home = 278, End = 279, PageUp = 280, PageDown = 281, F1 = 282, NumLock = 300,
        CapsLock = 301, ScrollLock = 302, RShift = 303, LShift = 304, RCtrl = 305,
        LCtrl = 306, RAlt = 307, LAlt = 308, RMeta = 309, LMeta = 310, Print = 316,
        Menu = 319, Backquote = 323,
    };
};

// Modifier bits (SDL 1.2 values).
struct KeyMod {
    enum : int {
        None = 0, LShift = 0x0001, RShift = 0x0002, LCtrl = 0x0040, RCtrl = 0x0080,
        LAlt = 0x0100, RAlt = 0x0200, LMeta = 0x0400, RMeta = 0x0800, Num = 0x1000,
        Caps = 0x2000,
    };
};

// The key code of a virtual key; 0 for keys without one (no key event is posted).
int VirtualKeyToKey(int virtualKey);

// The modifier bits, updated by every key down and key up.
class ModifierState {
public:
    // Updates the bits for a key down and answers the bits the event carries.
    int OnKeyDown(int key);
    // Updates the bits for a key up and answers the bits the event carries (0 for the
    // lock keys, whose toggle is left unchanged).
    int OnKeyUp(int key);
    int Get() const { return bits_; }
    void Reset() { bits_ = 0; }
    // Sets the Num Lock and Caps Lock toggles to the system's (when a window opens or
    // gets the focus back, so they need not be learnt from the first lock key).
    void SetLocks(bool num, bool caps) {
        bits_ = (bits_ & ~(KeyMod::Num | KeyMod::Caps)) | (num ? KeyMod::Num : 0) | (caps ? KeyMod::Caps : 0);
    }

private:
    int bits_ = 0;
};

// The process-wide modifier state.
ModifierState& GetModifierState();

}  // namespace pf
