// The clock side of an animation pair: turns the time of an item into a value per period
// (forward, backward, oscillating or random), counts the periods, applies the time curve
// and drives the modifier's Action and Finish.
#pragma once

#include <functional>
#include <utility>

#include "shell/foundation/Base.h"
#include "scene/Lifetime.h"
#include "scene/TimeShift.h"

class Item;
class Modifier;
class ModifiersParent;
class TimeController;

// Called after each step that delivers a value: (controller, shifted value, finished).
class TimeControllerCallback {
public:
    using Fn = std::function<void(TimeController*, float, bool)>;
    TimeControllerCallback() = default;
    explicit TimeControllerCallback(Fn fn) : fn_(std::move(fn)) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    void operator()(TimeController* tc, float shifted, bool finished) const {
        if (fn_) fn_(tc, shifted, finished);
    }

private:
    Fn fn_;
};

class TimeController : public Base {
public:
    // Mapping of the fraction of the period to the value (script enum of the same name).
    enum TimeControllerType : int { Forward = 0, Backward = 1, Oscillate = 2, Random = 3 };

    TimeController() : Base(L"TimeController") {}
    ~TimeController() override = default;

    virtual TimeController* Clone() const { return nullptr; }
    // Sets period, type, loops and curve and clears the finished state; the start time is
    // kept (Restart clears it).
    virtual TimeController* Init(int periodMs, TimeControllerType type, int loops, TimeShift* shift);
    // The next step takes its time as the start.
    virtual void Restart() { startTime_ = 0; }
    // One step on the time of timeSource, without a modifier; 0 without a time source.
    virtual float Cycle(Item* timeSource);
    // One step for m on the time of its client; 0 without a modifier.
    virtual float Update(Modifier* m);
    virtual TimeShift* GetTimeShift() const { return timeShift_.get(); }
    virtual void SetTimeShift(TimeShift* shift) { timeShift_ = shift; }
    virtual void SetOwner(ModifiersParent* owner);
    virtual void SetCallback(const TimeControllerCallback& cb) { callback_ = cb; }
    virtual bool IsDone() const { return done_; }
    virtual int GetPeriod() const { return period_; }
    virtual int GetStartTime() const { return static_cast<int>(startTime_); }
    virtual int GetCycleIndex() const { return cycleIndex_; }
    virtual TimeControllerType GetType() const { return type_; }
    virtual void SetPeriod(int periodMs);
    virtual void SetStartTime(int t) { startTime_ = static_cast<unsigned>(t); }

    // The runner that owns the pair; null once it is gone.
    ModifiersParent* GetOwner() const { return owner_.get(); }
    int GetLoops() const { return loops_; }

    // Update for a runner that itself holds this controller, m and m's client for the
    // whole step (an item stepping its own pairs): the step takes no holds of its own.
    float UpdateHeld(Modifier* m);

    // The step behind Cycle and Update.
    float Evaluate(Modifier* m, Item* timeSource);

private:
    // Evaluate without holds: the caller keeps the three alive.
    float Step(Modifier* m, Item* timeSource);

    WeakRef<ModifiersParent> owner_;
    my_intrusive_ptr<TimeShift> timeShift_;
    TimeControllerCallback callback_;
    int period_ = 0;
    TimeControllerType type_ = Forward;
    int loops_ = -1;
    unsigned startTime_ = 0;
    int cycleIndex_ = -1;
    bool done_ = false;
};

using TimeControllerType = TimeController::TimeControllerType;
