// An item's clock: a game time that pauses in nested fashion, with callbacks when it stops
// and starts, and Clock events (type 33) that pause the clocks below or beside an item.
// The item's time (GetTicks) is that of its own clock handler, else its parent's.
#pragma once

#include "scene/EvtHandler.h"
#include "scene/GameTime.h"

// Codes of the Clock event (its CLICK_ID).
struct ClockEventCode {
    enum : int { PauseBelow = 1, ResumeBelow = 2, PauseOthers = 3, ResumeOthers = 4 };
};

class ClockHandler : public EvtHandler {
public:
    ClockHandler() { time_.Start(); }

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ClockHandler || EvtHandler::IsKindOf(typeId);
    }

    virtual int GetPauseCounter() const { return pauseCounter_; }
    virtual bool IsPausable() const { return pausable_; }
    virtual Callback GetOnPause() const { return onPause_; }
    virtual Callback GetOnUnPause() const { return onUnPause_; }
    virtual void SetOnPause(const Callback& cb) { onPause_ = cb; }
    virtual void SetOnUnPause(const Callback& cb) { onUnPause_ = cb; }
    // Pauses or resumes one level at a time until the counter is n (0 for n below 0), so
    // the callbacks fire as for single steps. Nothing when the clock is not pausable.
    virtual void SetPauseCounter(int n);
    virtual void SetPausable(bool b) { pausable_ = b; }
    // One level deeper (true) or one level back (false); see the .cpp.
    virtual void Pause(bool pause);

    int GetTicks() const override { return time_.GetTime(); }
    // Handles Clock events from other clocks (never claims them), then the handler's own
    // handlers answer.
    bool HandleEvent(const TreeState& state, pf::Event& e) override;
    // Pauses this clock and posts a Clock event for the clocks below the client.
    void PauseTime(bool pause) override;
    // Posts a Clock event for every clock not below the client; this one keeps running.
    void PauseAllOtherClocks(bool pause) override;

    const GameTime& GetGameTime() const { return time_; }

protected:
    GameTime& Time() { return time_; }

private:
    void PostClockEvent(int code);

    GameTime time_;
    int pauseCounter_ = 0;
    bool pausable_ = true;
    Callback onPause_;
    Callback onUnPause_;
};
