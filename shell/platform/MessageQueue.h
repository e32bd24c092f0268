// The window-message queue the run loop pumps: small message records of the kinds the
// window procedure handles, the keyboard state that the queue keeps in step with the key
// messages it hands out, and the translation step that adds character messages.
#pragma once

#include <cstdint>
#include <deque>

namespace pf {

class NativeWindow;

// Message kinds, numbered like the window messages they stand for.
struct WindowMessage {
    enum : unsigned {
        Activate = 0x0006,
        Close = 0x0010,
        Quit = 0x0012,
        SetCursor = 0x0020,
        NcMouseMove = 0x00A0,
        KeyDown = 0x0100,
        KeyUp = 0x0101,
        Char = 0x0102,
        SysKeyDown = 0x0104,
        SysKeyUp = 0x0105,
        SysChar = 0x0106,
        Timer = 0x0113,
        MouseMove = 0x0200,
        LButtonDown = 0x0201,
        LButtonUp = 0x0202,
        RButtonDown = 0x0204,
        RButtonUp = 0x0205,
        MButtonDown = 0x0207,
        MButtonUp = 0x0208,
        MouseWheel = 0x020A,
        PowerBroadcast = 0x0218,
        MouseHover = 0x02A1,
        MouseLeave = 0x02A3,
    };
};

// wParam of PowerBroadcast when the battery runs low.
constexpr uintptr_t kPowerBatteryLow = 9;
// wParam low word of Activate.
constexpr unsigned kActivateInactive = 0, kActivateActive = 1, kActivateClick = 2;
// One wheel notch as the high word of a MouseWheel wParam.
constexpr int kWheelDelta = 120;

// What the keyboard layout says of a key message from the window system. Messages posted
// by hand (tests, synthetic input) leave it unset: their key comes from the virtual-key
// table alone and their character from a US layout.
struct LayoutKey {
    // Set for every key message the window system made: such a key is always posted.
    bool fromLayout = false;
    // The key code the layout names the key by when the virtual-key table has none or a
    // different one (a key of its own such as 0xF6 for an o-umlaut key); 0: the table's.
    int key = 0;
    // The character the key gives; -1: work it out from the keyboard state as on a US layout.
    int character = -1;
};

struct Message {
    NativeWindow* window = nullptr;
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    LayoutKey layout;
};

// Packing helpers for the parameter words.
inline intptr_t MakeLParam(int low, int high) {
    return static_cast<intptr_t>(static_cast<uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
inline uintptr_t MakeWParam(int low, int high) {
    return static_cast<uintptr_t>(static_cast<uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
inline int LowWord(uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
inline int HighWord(uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
inline int SignedLowWord(uintptr_t v) { return static_cast<int16_t>(v & 0xFFFF); }
inline int SignedHighWord(uintptr_t v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }
// lParam of a key message: repeat count 1, scan code, extended flag, Alt held (context),
// previous state and transition.
intptr_t MakeKeyLParam(int scan, bool extended, bool altHeld, bool wasDown, bool isUp);
inline int KeyScanCode(intptr_t lParam) { return static_cast<int>((lParam >> 16) & 0xFF); }

// The keyboard state: keys down and lock toggles, by virtual key.
class KeyboardState {
public:
    bool IsDown(int vk) const { return vk >= 0 && vk < 256 && down_[vk]; }
    bool IsToggled(int vk) const { return vk >= 0 && vk < 256 && toggled_[vk]; }
    void SetDown(int vk, bool down);
    void SetToggled(int vk, bool on);
    // Applies a key message handed out by the queue (toggles flip on a key down).
    void Apply(unsigned message, uintptr_t vk);
    // What the layout said of the message handed out last (unset for other messages).
    const LayoutKey& Current() const { return current_; }
    void SetCurrent(const LayoutKey& layout) { current_ = layout; }
    // The character of a key event for the message handed out last: the layout's when it
    // gave one, else ToChar (0 when the key gives none).
    int KeyCharacter(int vk) const { return current_.character >= 0 ? current_.character : ToChar(vk); }
    void Reset();
    // The character the key gives with the current Shift, Control and Caps/Num Lock state
    // on a US layout, control characters included; 0 when it gives none.
    int ToChar(int vk) const;

private:
    bool down_[256] = {};
    bool toggled_[256] = {};
    LayoutKey current_;
};

// Where platform events come from (the SDL layer installs one once video runs).
class PlatformEventSource {
public:
    virtual ~PlatformEventSource() = default;
    // Turns every pending platform event into messages on the queue.
    virtual void Pump(class MessageQueue& queue) = 0;
    // Blocks until a platform event is pending or timeoutMs passed.
    virtual void Wait(int timeoutMs) = 0;
};

class MessageQueue {
public:
    void Post(const Message& message);
    void Post(NativeWindow* window, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
    // Queues the quit message: handed out once every other message is gone.
    void PostQuit(int exitCode);
    // Takes the oldest message (pumping the platform first); false when none is left.
    bool Peek(Message& out);
    // Blocks until a message is queued or timeoutMs passed (the loop's wake-up timer).
    void Wait(int timeoutMs);
    // Adds the character message a key message gives, as the next message to hand out:
    // control characters (Backspace, Tab, Return, Esc, Control+letter) for a key down,
    // any character for a system key down. Printable characters come from the platform's
    // text input.
    void Translate(const Message& message);
    // Calls the window's procedure (the default procedure when it has none).
    intptr_t Dispatch(const Message& message);

    KeyboardState& Keyboard() { return keyboard_; }
    void SetPlatformSource(PlatformEventSource* source) { source_ = source; }
    int Pending() const { return static_cast<int>(messages_.size()); }
    void Clear();

private:
    std::deque<Message> messages_;
    KeyboardState keyboard_;
    PlatformEventSource* source_ = nullptr;
    bool quitPosted_ = false;
    int exitCode_ = 0;
};

// The main thread's queue.
MessageQueue& GetMessageQueue();

}  // namespace pf
