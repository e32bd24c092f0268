#include "shell/platform/MessageQueue.h"

#include "shell/foundation/KeyTables.h"
#include "shell/platform/NativeWindow.h"

namespace pf {

intptr_t MakeKeyLParam(int scan, bool extended, bool altHeld, bool wasDown, bool isUp) {
    uint32_t v = 1u | (static_cast<uint32_t>(scan & 0xFF) << 16);
    if (extended) v |= 1u << 24;
    if (altHeld) v |= 1u << 29;
    if (wasDown) v |= 1u << 30;
    if (isUp) v |= 1u << 31;
    return static_cast<intptr_t>(v);
}

void KeyboardState::SetDown(int vk, bool down) {
    if (vk >= 0 && vk < 256) down_[vk] = down;
}

void KeyboardState::SetToggled(int vk, bool on) {
    if (vk >= 0 && vk < 256) toggled_[vk] = on;
}

void KeyboardState::Apply(unsigned message, uintptr_t vk) {
    if (vk >= 256) return;
    int key = static_cast<int>(vk);
    if (message == WindowMessage::KeyDown || message == WindowMessage::SysKeyDown) {
        if (!down_[key]) toggled_[key] = !toggled_[key];
        down_[key] = true;
    } else if (message == WindowMessage::KeyUp || message == WindowMessage::SysKeyUp) {
        down_[key] = false;
    }
}

void KeyboardState::Reset() {
    for (int i = 0; i < 256; ++i) down_[i] = toggled_[i] = false;
    current_ = LayoutKey();
}

int KeyboardState::ToChar(int vk) const {
    const bool shift = IsDown(VirtualKey::Shift);
    const bool control = IsDown(VirtualKey::Control);
    if (vk >= VirtualKey::LetterA && vk <= VirtualKey::LetterZ) {
        if (control) return vk - VirtualKey::LetterA + 1;
        bool upper = shift != IsToggled(VirtualKey::Capital);
        return upper ? vk : vk + 32;
    }
    if (vk >= VirtualKey::Digit0 && vk <= VirtualKey::Digit0 + 9) {
        if (control) return 0;
        return shift ? ")!@#$%^&*("[vk - VirtualKey::Digit0] : vk;
    }
    if (vk >= VirtualKey::Numpad0 && vk <= VirtualKey::Numpad0 + 9)
        return IsToggled(VirtualKey::NumLock) && !control ? '0' + (vk - VirtualKey::Numpad0) : 0;
    struct Pair {
        int vk;
        char plain, shifted;
    };
    static const Pair kOem[] = {
        {VirtualKey::Oem1, ';', ':'},      {VirtualKey::OemPlus, '=', '+'},
        {VirtualKey::OemComma, ',', '<'},  {VirtualKey::OemMinus, '-', '_'},
        {VirtualKey::OemPeriod, '.', '>'}, {VirtualKey::Oem2, '/', '?'},
        {VirtualKey::Oem3, '`', '~'},      {VirtualKey::Oem4, '[', '{'},
        {VirtualKey::Oem5, '\\', '|'},     {VirtualKey::Oem6, ']', '}'},
        {VirtualKey::Oem7, '\'', '"'},     {VirtualKey::Oem102, '\\', '|'},
    };
    for (const Pair& p : kOem)
        if (p.vk == vk) return control ? 0 : (shift ? p.shifted : p.plain);
    switch (vk) {
        case VirtualKey::Back: return control ? 127 : 8;
        case VirtualKey::Tab: return control ? 0 : 9;
        case VirtualKey::Return: return control ? 10 : 13;
        case VirtualKey::Escape: return 27;
        case VirtualKey::Space: return ' ';
        case VirtualKey::Multiply: return '*';
        case VirtualKey::Add: return '+';
        case VirtualKey::Subtract: return '-';
        case VirtualKey::Divide: return '/';
        case VirtualKey::Decimal: return IsToggled(VirtualKey::NumLock) ? '.' : 0;
        default: return 0;
    }
}

void MessageQueue::Post(const Message& message) { messages_.push_back(message); }

void MessageQueue::Post(NativeWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    Post(Message{window, message, wParam, lParam, LayoutKey()});
}

void MessageQueue::PostQuit(int exitCode) {
    quitPosted_ = true;
    exitCode_ = exitCode;
}

bool MessageQueue::Peek(Message& out) {
    if (source_) source_->Pump(*this);
    if (!messages_.empty()) {
        out = messages_.front();
        messages_.pop_front();
        keyboard_.Apply(out.message, out.wParam);
        keyboard_.SetCurrent(out.layout);
        return true;
    }
    if (quitPosted_) {
        quitPosted_ = false;
        out = Message{nullptr, WindowMessage::Quit, static_cast<uintptr_t>(exitCode_), 0, LayoutKey()};
        return true;
    }
    return false;
}

void MessageQueue::Wait(int timeoutMs) {
    if (!messages_.empty() || quitPosted_) return;
    // Without a platform source nothing can arrive while this thread waits.
    if (source_) source_->Wait(timeoutMs);
}

void MessageQueue::Translate(const Message& message) {
    unsigned kind;
    if (message.message == WindowMessage::KeyDown)
        kind = WindowMessage::Char;
    else if (message.message == WindowMessage::SysKeyDown)
        kind = WindowMessage::SysChar;
    else
        return;
    int c = keyboard_.ToChar(static_cast<int>(message.wParam));
    if (c == 0) return;
    if (kind == WindowMessage::Char && c >= 32 && c != 127) return;
    messages_.push_front(Message{message.window, kind, static_cast<uintptr_t>(c), message.lParam, LayoutKey()});
}

intptr_t MessageQueue::Dispatch(const Message& message) {
    if (!message.window) return 0;
    WindowProcedure procedure = message.window->GetProcedure();
    if (!procedure) procedure = DefaultWindowProc;
    return procedure(message.window, message.message, message.wParam, message.lParam);
}

void MessageQueue::Clear() {
    messages_.clear();
    quitPosted_ = false;
    keyboard_.Reset();
}

MessageQueue& GetMessageQueue() {
    static MessageQueue queue;
    return queue;
}

}  // namespace pf
