// The item clock as the scene core needs it: a handler answering class id 21 with a pause
// counter and a time. Pausing, the clock messages and fixed-step clocks build on it.
#pragma once

#include "scene/EvtHandler.h"
#include "shell/Clock.h"

class ClockHandler : public EvtHandler {
public:
    ClockHandler() = default;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::ClockHandler || EvtHandler::IsKindOf(typeId);
    }
    virtual int GetPauseCounter() const { return pauseCounter_; }
    virtual void SetPauseCounter(int n) { pauseCounter_ = n; }
    int GetTicks() const override { return pf::NowMs(); }
    void PauseTime(bool /*pause*/) override {}
    void PauseAllOtherClocks(bool /*pause*/) override {}

private:
    int pauseCounter_ = 0;
};
