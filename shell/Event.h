// The engine's one event record: platform input (keys, mouse, activation, close, low
// battery) and the events the engine posts itself (clicks, clocks, double clicks, ...).
// data[0] is the type; data[1..6] follow the SDL 1.2 event layouts widened to int.
#pragma once

#include <string>

#include "shell/foundation/ValueTypes.h"

namespace pf {

class EventSystem;

// Event type codes, shared with the scene, the widgets and the scripts.
struct EventType {
    enum : int {
        None = 0,
        Active = 1,
        KeyDown = 2,
        KeyUp = 3,
        KeyChar = 4,
        MouseMotion = 5,
        MouseButtonDown = 6,
        MouseButtonUp = 7,
        MouseWheel = 8,
        Close = 9,
        BatteryLow = 10,
        ButtonClick = 24,
        ButtonDoubleClick = 25,
        SettingChanged = 26,
        DoubleClick = 32,
        Clock = 33,
        EditFocus = 35,
        DragStart = 36,
        DragEnd = 37,
        EditChanged = 38,
        ButtonToggled = 39,
    };
};

// Field selectors of GetInt, SetInt and GetPoint.
struct EventProperty {
    enum : int {
        ACTIVE_GAIN = 0,
        ACTIVE_STATE = 1,
        KEY_SCANCODE = 2,
        KEY_SYM = 3,
        KEY_MOD = 4,
        KEY_UNICODE = 5,
        MMOTION_X = 6,
        MMOTION_Y = 7,
        MMOTION_XY = 8,
        MMOTION_RX = 9,
        MMOTION_RY = 10,
        MMOTION_RXRY = 11,
        WHICH_BUTTON = 12,
        MOUSE_WHEEL_DELTA = 13,
        MOUSE_X = 14,
        MOUSE_Y = 15,
        MOUSE_XY = 16,
        CLICK_ID = 17,
        USER_DATA_1 = 18,
        USER_DATA_2 = 19,
        // Reads and writes data[1]; has no script name.
        SELECTOR_39 = 39,
    };
};

// Mouse buttons (script enum ButtonType).
struct ButtonType {
    enum : int { Left = 1, Middle = 2, Right = 3 };
};

// Active event states.
struct ActiveState {
    enum : int { MouseFocus = 1, InputFocus = 6 };
};

class Event {
public:
    static constexpr int kDataCount = 7;
    static constexpr int kStringCount = 3;

    Event() = default;
    Event(int type, int d1, int d2 = 0, int d3 = 0, int d4 = 0, int d5 = 0, int d6 = 0,
          EventSystem* source = nullptr);
    explicit Event(int type) : Event(type, 0) {}

    int GetType() const { return data_[0]; }
    void SetType(int type) { data_[0] = type; }
    bool IsClaimed() const { return claimed_; }
    void SetClaimed(bool claimed) { claimed_ = claimed; }
    EventSystem* GetSource() const { return source_; }
    void SetSource(EventSystem* source) { source_ = source; }

    // Raw data access; an index outside 0..6 reads 0 and writes nothing.
    int GetData(int index) const;
    void SetData(int index, int value);

    // The field a selector names for this event's type; an unknown selector reads -1
    // and writes nothing.
    int GetInt(int selector) const;
    void SetInt(int selector, int value);
    Point GetPoint(int selector) const;

    // Motion, button down or button up.
    bool isMouseEvent() const;
    // Types 1 to 5: data[2]; 6 and 7: data[3]; others 0.
    int GetState() const;

    // Index 0 to 2; others are ignored (read as empty).
    void SetString(int index, const std::wstring& text);
    const std::wstring& GetString(int index) const;

    bool operator==(const Event& o) const;
    bool operator!=(const Event& o) const { return !(*this == o); }

private:
    // The data index of a mouse x (or y with offset 1) for this type, or -1.
    int MouseCoordinateIndex() const;

    bool claimed_ = false;
    int data_[kDataCount] = {};
    std::wstring strings_[kStringCount];
    EventSystem* source_ = nullptr;
};

}  // namespace pf
