#include "scene/EventManager.h"

using pf::EventType;

bool EventManager::IsKeyEvent(const pf::Event& e) const {
    const int t = e.GetType();
    return t == EventType::KeyDown || t == EventType::KeyUp || t == EventType::KeyChar;
}

bool EventManager::IsUserEvent(const pf::Event& e) const {
    const int t = e.GetType();
    if (t == EventType::Active || t == EventType::Close || t == EventType::ButtonClick) return false;
    if (t >= 26 && t <= 31) return false;
    if (t >= EventType::Clock && t <= 37) return false;
    return t != EventType::ButtonToggled;
}

bool EventManager::IsMouseEvent(const pf::Event& e) const {
    const int t = e.GetType();
    return t == EventType::MouseMotion || t == EventType::MouseButtonDown ||
           t == EventType::MouseButtonUp || t == EventType::DoubleClick;
}

EventManager* EventManager::Shared() {
    // Built at first use and kept for the life of the process (one reference, never
    // released), so items may point at it from static destructors too.
    static EventManager* const shared = [] {
        auto* m = new EventManager;
        m->AddRef();
        return m;
    }();
    return shared;
}

namespace {
// Built during static initialisation, so it never takes a creation id in the middle of
// an item's construction.
EventManager* const g_sharedAtStart = EventManager::Shared();
}  // namespace
