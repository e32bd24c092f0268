// A clock that advances its items in whole steps of a fixed period (16 ms by default) of
// game time, at most 100 ms of game time per update.
#pragma once

#include "scene/ClockHandler.h"

class FixedClockHandler : public ClockHandler {
public:
    FixedClockHandler() { Reset(16); }

    // period x steps taken, or the accumulated time when the period is 0.
    int GetTicks() const override;

    // Starts over with a new period.
    void Reset(int periodMs);
    // Adds the game time since the last update (times speed, at most 100 ms; the excess is
    // dropped) and answers the number of steps now due (1 when the period is 0).
    int Update(float speed);
    // One step taken.
    void DoTick() { ++tickCount_; }

    int GetPeriod() const { return period_; }
    int GetTickCount() const { return tickCount_; }
    double GetAccumulated() const { return accumulated_; }

private:
    int lastTime_ = 0;
    // Kept in double: in float, after some days of game time a frame's gain would fall
    // below half a unit in the last place and the clock would stop.
    double accumulated_ = 0.0;
    int period_ = 16;
    int tickCount_ = 0;
};
