#include "shell/foundation/KeyTables.h"

namespace pf {

int VirtualKeyToKey(int vk) {
    switch (vk) {
        case VirtualKey::Back:
        case VirtualKey::Tab:
        case VirtualKey::Return:
        case VirtualKey::Pause:
        case VirtualKey::Escape:
        case VirtualKey::Space:
            return vk;
        case VirtualKey::Shift:
        case VirtualKey::LShift: return KeyType::LShift;
        case VirtualKey::RShift: return KeyType::RShift;
        case VirtualKey::Control:
        case VirtualKey::LControl: return KeyType::LCtrl;
        case VirtualKey::RControl: return KeyType::RCtrl;
        case VirtualKey::Menu:
        case VirtualKey::LMenu: return KeyType::LAlt;
        case VirtualKey::RMenu: return KeyType::RAlt;
        case VirtualKey::Capital: return KeyType::CapsLock;
        case VirtualKey::NumLock: return KeyType::NumLock;
        case VirtualKey::Scroll: return KeyType::ScrollLock;
        case VirtualKey::Prior: return KeyType::PageUp;
        case VirtualKey::Next: return KeyType::PageDown;
        case VirtualKey::End: return KeyType::End;
        case VirtualKey::Home: return KeyType::Home;
        case VirtualKey::Left: return KeyType::ArrowLeft;
        case VirtualKey::Up: return KeyType::ArrowUp;
        case VirtualKey::Right: return KeyType::ArrowRight;
        case VirtualKey::Down: return KeyType::ArrowDown;
        case VirtualKey::Snapshot: return KeyType::Print;
        case VirtualKey::Insert: return KeyType::Insert;
        case VirtualKey::Delete: return KeyType::Delete;
        case VirtualKey::LWin: return KeyType::LMeta;
        case VirtualKey::RWin: return KeyType::RMeta;
        case VirtualKey::Apps: return KeyType::Menu;
        case VirtualKey::Multiply: return 268;
        case VirtualKey::Add: return 270;
        case VirtualKey::Subtract: return 269;
        case VirtualKey::Decimal: return 266;
        case VirtualKey::Divide: return 267;
        case VirtualKey::OemPlus: return 61;
        case VirtualKey::OemComma: return 44;
        case VirtualKey::OemMinus: return 45;
        case VirtualKey::OemPeriod: return 46;
        case VirtualKey::Oem2: return 47;
        case VirtualKey::Oem3: return KeyType::Backquote;
        case VirtualKey::Oem5: return 92;
        case VirtualKey::Oem102: return 60;
        default:
            break;
    }
    if (vk >= VirtualKey::Digit0 && vk <= VirtualKey::Digit0 + 9) return vk;
    if (vk >= VirtualKey::LetterA && vk <= VirtualKey::LetterZ) return vk + 32;
    if (vk >= VirtualKey::F1 && vk <= VirtualKey::F15) return KeyType::F1 + (vk - VirtualKey::F1);
    return 0;
}

namespace {

// The held-modifier bit of a key code, or 0.
int HeldBit(int key) {
    switch (key) {
        case KeyType::LShift: return KeyMod::LShift;
        case KeyType::RShift: return KeyMod::RShift;
        case KeyType::LCtrl: return KeyMod::LCtrl;
        case KeyType::RCtrl: return KeyMod::RCtrl;
        case KeyType::LAlt: return KeyMod::LAlt;
        case KeyType::RAlt: return KeyMod::RAlt;
        case KeyType::LMeta: return KeyMod::LMeta;
        case KeyType::RMeta: return KeyMod::RMeta;
        default: return 0;
    }
}

int ToggleBit(int key) {
    if (key == KeyType::NumLock) return KeyMod::Num;
    if (key == KeyType::CapsLock) return KeyMod::Caps;
    return 0;
}

}  // namespace

int ModifierState::OnKeyDown(int key) {
    bits_ |= HeldBit(key);
    bits_ ^= ToggleBit(key);
    return bits_;
}

int ModifierState::OnKeyUp(int key) {
    if (ToggleBit(key)) return 0;
    bits_ &= ~HeldBit(key);
    return bits_;
}

ModifierState& GetModifierState() {
    static ModifierState state;
    return state;
}

}  // namespace pf
