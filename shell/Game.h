// The abstract game the application drives: start-up, one update, one draw and the
// events of each frame, and the two shutdown steps.
#pragma once

#include <cstdint>
#include <string>

namespace pf {

class Application2;
class Display;
class Event;
class NativeWindow;
class Settings;

class Game {
public:
    virtual ~Game() {}

    // The game's settings holder (players and options).
    virtual Settings* GetSettings() = 0;
    // Per-frame update, after the frame's events and the frame cap.
    virtual void Cycle() = 0;
    // Start-up sequence; may throw Exception.
    virtual void Init(Application2& app) = 0;
    // Per-frame drawing, right after Cycle.
    virtual void Draw(Display& display) = 0;
    // One queued input event.
    virtual void HandleEvent(Event& event) = 0;
    // First shutdown step; Run always calls it.
    virtual void Shutdown() = 0;
    // Second shutdown step: the implementation deletes itself.
    virtual void Release() = 0;
    // Called once after Init, before the message loop; may throw Exception.
    virtual void Start() = 0;
    // Hook for the window messages the window procedure passes on to the default path.
    virtual void OnWindowMessage(NativeWindow* window, unsigned message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
    // Text for a string key missing from the resource strings.
    virtual std::wstring LookupText(const std::wstring& key) { return std::wstring(); }
};

}  // namespace pf
