// The application's input queue. Every post operation appends; nothing is delivered at
// once: the run loop takes, each frame, the events queued when it starts dispatching.
#pragma once

#include <deque>

#include "shell/Event.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {

class ModifierState;

class EventSystem {
public:
    // Key events update the process-wide modifier state unless another is given.
    EventSystem();
    explicit EventSystem(ModifierState& modifiers);

    // Appends {claimed false, the data, empty strings, source this}.
    void PostEvent(int type, int d1 = 0, int d2 = 0, int d3 = 0, int d4 = 0, int d5 = 0,
                   int d6 = 0);
    void Push(const Event& event);

    // Posts Active {1, 1} first when the pointer was outside, then the motion with its
    // change from the last stored position.
    void PostMouseMotion(int x, int y);
    void PostMouseButtonDown(int button, int x, int y);
    void PostMouseButtonUp(int button, int x, int y);
    void PostKeyDown(int scan, int key, int character);
    void PostKeyUp(int key, int scan, int character);
    void PostKeyChar(int scan, int key, int character);
    void PostActive(bool focus);
    // A motion at the release point of a button-up event; the stored position stays.
    void PostMotionAfterButtonUp(const Event& buttonUp);
    void PostMotionAtMouse();

    bool hasInputFocus() const { return inputFocus_; }
    Point GetMousePosition() const { return Point(mouseX_, mouseY_); }
    int GetButtonMask() const { return buttonMask_; }
    bool IsMouseInside() const { return mouseInside_; }
    void SetMouseInside(bool inside) { mouseInside_ = inside; }

    // The queue, oldest first.
    int Count() const { return static_cast<int>(queue_.size()); }
    bool Empty() const { return queue_.empty(); }
    // Moves the oldest event into out; false when the queue is empty.
    bool PopFront(Event& out);
    const std::deque<Event>& Queue() const { return queue_; }
    void Clear() { queue_.clear(); }

private:
    void StoreMouse(int x, int y);

    ModifierState& modifiers_;
    int mouseX_ = 0;
    int mouseY_ = 0;
    int buttonMask_ = 0;
    bool mouseInside_ = false;
    bool inputFocus_ = true;
    std::deque<Event> queue_;
};

}  // namespace pf
