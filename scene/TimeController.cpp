#include "scene/TimeController.h"

#include "scene/Item.h"
#include "scene/Modifier.h"
#include "shell/foundation/Log.h"
#include "shell/Random.h"

namespace {
void CheckPeriod(const TimeController& tc, int periodMs) {
    if (periodMs <= 0)
        pf::DebugStream() << L"TimeController '" << tc.GetName() << L"': period " << periodMs
                          << L" ms is not valid; each step counts as a whole period";
}
}  // namespace

TimeController* TimeController::Init(int periodMs, TimeControllerType type, int loops, TimeShift* shift) {
    CheckPeriod(*this, periodMs);
    period_ = periodMs;
    type_ = type;
    loops_ = loops;
    timeShift_ = shift;
    done_ = false;
    cycleIndex_ = -1;
    return this;
}

void TimeController::SetOwner(ModifiersParent* owner) { owner_ = owner; }

void TimeController::SetPeriod(int periodMs) {
    CheckPeriod(*this, periodMs);
    period_ = periodMs;
}

float TimeController::Cycle(Item* timeSource) { return timeSource ? Evaluate(nullptr, timeSource) : 0.0f; }

float TimeController::Update(Modifier* m) { return m ? Evaluate(m, m->GetClient()) : 0.0f; }

float TimeController::UpdateHeld(Modifier* m) { return m ? Step(m, m->GetClient()) : 0.0f; }

float TimeController::Evaluate(Modifier* m, Item* timeSource) {
    if (!timeSource) return 0.0f;
    // The Action, the callback and Finish may drop the pair from its runner, or the client
    // from the tree; all three stay alive until the step is over.
    my_intrusive_ptr<TimeController> self = KeepAlive(this);
    my_intrusive_ptr<Modifier> modifier = KeepAlive(m);
    my_intrusive_ptr<Item> source = KeepAlive(timeSource);
    return Step(m, timeSource);
}

float TimeController::Step(Modifier* m, Item* timeSource) {
    if (!timeSource) return 0.0f;
    const unsigned now = static_cast<unsigned>(timeSource->GetTicks());
    if (startTime_ == 0) startTime_ = now;
    const unsigned elapsed = now - startTime_;

    unsigned cycle = 0;
    float fraction = 1.0f;
    if (period_ > 0) {
        const unsigned period = static_cast<unsigned>(period_);
        cycle = elapsed / period;
        fraction = static_cast<float>(elapsed % period) / static_cast<float>(period);
    } else if (loops_ > 0) {
        // A period of no length: all periods are over at the first step.
        cycle = static_cast<unsigned>(loops_);
    }

    bool finished = false;
    if (loops_ > 0 && cycle >= static_cast<unsigned>(loops_)) {
        finished = true;
        fraction = 1.0f;
    }
    const bool newCycle = cycle != static_cast<unsigned>(cycleIndex_) && !finished;
    cycleIndex_ = static_cast<int>(cycle);

    float value = fraction;
    switch (type_) {
        case Backward: value = 1.0f - fraction; break;
        case Oscillate: value = fraction < 0.5f ? 2.0f * fraction : 2.0f * (1.0f - fraction); break;
        case Random:
            if (newCycle) value = static_cast<float>((pf::Rand() % 32767) / 32767.0);
            break;
        default: break;
    }

    float shifted = value;
    if (my_intrusive_ptr<TimeShift> shift = timeShift_)
        shifted = static_cast<float>(shift->Shift(static_cast<double>(value)));

    if (type_ != Random || newCycle) {
        if (m) m->Action(value, shifted);
        if (callback_) {
            const TimeControllerCallback cb = callback_;
            cb(this, shifted, finished);
        }
    }
    if (finished) {
        done_ = true;
        if (m) m->Finish();
    }
    return shifted;
}
