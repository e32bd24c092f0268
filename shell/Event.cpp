#include "shell/Event.h"

namespace pf {

Event::Event(int type, int d1, int d2, int d3, int d4, int d5, int d6, EventSystem* source)
    : data_{type, d1, d2, d3, d4, d5, d6}, source_(source) {}

int Event::GetData(int index) const {
    return index >= 0 && index < kDataCount ? data_[index] : 0;
}

void Event::SetData(int index, int value) {
    if (index >= 0 && index < kDataCount) data_[index] = value;
}

int Event::MouseCoordinateIndex() const {
    switch (GetType()) {
        case EventType::MouseMotion:
            return 3;
        case EventType::MouseButtonDown:
        case EventType::MouseButtonUp:
            return 4;
        default:
            return -1;
    }
}

namespace {

// Selectors that name one fixed data slot whatever the type.
int FixedSlot(int selector) {
    switch (selector) {
        case EventProperty::ACTIVE_GAIN:
        case EventProperty::MOUSE_WHEEL_DELTA:
        case EventProperty::CLICK_ID:
        case EventProperty::SELECTOR_39:
            return 1;
        case EventProperty::ACTIVE_STATE:
        case EventProperty::WHICH_BUTTON:
        case EventProperty::USER_DATA_1:
            return 2;
        case EventProperty::KEY_SCANCODE:
        case EventProperty::USER_DATA_2:
            return 3;
        case EventProperty::KEY_SYM:
            return 4;
        case EventProperty::KEY_MOD:
        case EventProperty::MMOTION_RX:
            return 5;
        case EventProperty::KEY_UNICODE:
        case EventProperty::MMOTION_RY:
            return 6;
        default:
            return -1;
    }
}

// 0 for an x selector, 1 for a y selector, -1 otherwise.
int MouseAxis(int selector) {
    switch (selector) {
        case EventProperty::MMOTION_X:
        case EventProperty::MOUSE_X:
            return 0;
        case EventProperty::MMOTION_Y:
        case EventProperty::MOUSE_Y:
            return 1;
        default:
            return -1;
    }
}

}  // namespace

int Event::GetInt(int selector) const {
    if (selector == EventProperty::KEY_UNICODE) return data_[6] != 0 ? data_[6] : data_[4];
    int axis = MouseAxis(selector);
    if (axis >= 0) {
        int base = MouseCoordinateIndex();
        return base < 0 ? 0 : data_[base + axis];
    }
    int slot = FixedSlot(selector);
    return slot < 0 ? -1 : data_[slot];
}

void Event::SetInt(int selector, int value) {
    int axis = MouseAxis(selector);
    if (axis >= 0) {
        int base = MouseCoordinateIndex();
        if (base >= 0) data_[base + axis] = value;
        return;
    }
    int slot = FixedSlot(selector);
    if (slot >= 0) data_[slot] = value;
}

Point Event::GetPoint(int selector) const {
    switch (selector) {
        case EventProperty::MMOTION_XY:
        case EventProperty::MOUSE_XY: {
            int base = MouseCoordinateIndex();
            return base < 0 ? Point(0, 0) : Point(data_[base], data_[base + 1]);
        }
        case EventProperty::MMOTION_RXRY:
            return Point(data_[5], data_[6]);
        default:
            return Point(0, 0);
    }
}

bool Event::isMouseEvent() const {
    int type = GetType();
    return type == EventType::MouseMotion || type == EventType::MouseButtonDown ||
           type == EventType::MouseButtonUp;
}

int Event::GetState() const {
    int type = GetType();
    if (type >= EventType::Active && type <= EventType::MouseMotion) return data_[2];
    if (type == EventType::MouseButtonDown || type == EventType::MouseButtonUp) return data_[3];
    return 0;
}

void Event::SetString(int index, const std::wstring& text) {
    if (index >= 0 && index < kStringCount) strings_[index] = text;
}

const std::wstring& Event::GetString(int index) const {
    static const std::wstring empty;
    return index >= 0 && index < kStringCount ? strings_[index] : empty;
}

bool Event::operator==(const Event& o) const {
    if (claimed_ != o.claimed_ || source_ != o.source_) return false;
    for (int i = 0; i < kDataCount; ++i)
        if (data_[i] != o.data_[i]) return false;
    for (int i = 0; i < kStringCount; ++i)
        if (strings_[i] != o.strings_[i]) return false;
    return true;
}

}  // namespace pf
