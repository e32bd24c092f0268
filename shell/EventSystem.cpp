#include "shell/EventSystem.h"

#include "shell/foundation/KeyTables.h"

namespace pf {

namespace {

// The mask bit of a mouse button; buttons outside 1..31 have none.
int ButtonBit(int button) { return button >= 1 && button <= 31 ? 1 << (button - 1) : 0; }

}  // namespace

EventSystem::EventSystem() : modifiers_(GetModifierState()) {}

EventSystem::EventSystem(ModifierState& modifiers) : modifiers_(modifiers) {}

void EventSystem::PostEvent(int type, int d1, int d2, int d3, int d4, int d5, int d6) {
    queue_.emplace_back(type, d1, d2, d3, d4, d5, d6, this);
}

void EventSystem::Push(const Event& event) { queue_.push_back(event); }

void EventSystem::StoreMouse(int x, int y) {
    mouseX_ = x;
    mouseY_ = y;
}

void EventSystem::PostMouseMotion(int x, int y) {
    if (!mouseInside_) {
        PostEvent(EventType::Active, 1, ActiveState::MouseFocus);
        mouseInside_ = true;
    }
    PostEvent(EventType::MouseMotion, 0, 0, x, y, x - mouseX_, y - mouseY_);
    StoreMouse(x, y);
}

void EventSystem::PostMouseButtonDown(int button, int x, int y) {
    buttonMask_ |= ButtonBit(button);
    PostEvent(EventType::MouseButtonDown, 0, button, 0, x, y);
    StoreMouse(x, y);
}

void EventSystem::PostMouseButtonUp(int button, int x, int y) {
    buttonMask_ &= ~ButtonBit(button);
    PostEvent(EventType::MouseButtonUp, 0, button, 0, x, y);
    StoreMouse(x, y);
}

void EventSystem::PostKeyDown(int scan, int key, int character) {
    PostEvent(EventType::KeyDown, 0, 1, scan, key, modifiers_.OnKeyDown(key), character);
}

void EventSystem::PostKeyUp(int key, int scan, int character) {
    PostEvent(EventType::KeyUp, 0, 0, scan, key, modifiers_.OnKeyUp(key), character);
}

void EventSystem::PostKeyChar(int scan, int key, int character) {
    PostEvent(EventType::KeyChar, 0, 0, scan, key, 0, character);
}

void EventSystem::PostActive(bool focus) {
    inputFocus_ = focus;
    PostEvent(EventType::Active, focus ? 1 : 0, ActiveState::InputFocus);
}

void EventSystem::PostMotionAfterButtonUp(const Event& buttonUp) {
    PostEvent(EventType::MouseMotion, buttonUp.GetData(1), buttonUp.GetData(3),
              buttonUp.GetData(4), buttonUp.GetData(5), 0, 0);
}

void EventSystem::PostMotionAtMouse() {
    PostEvent(EventType::MouseMotion, 0, 0, mouseX_, mouseY_, 0, 0);
}

bool EventSystem::PopFront(Event& out) {
    if (queue_.empty()) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

}  // namespace pf
