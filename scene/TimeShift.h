// A time curve: reshapes a time controller's value (normally 0 to 1) before it reaches
// the modifier. The base curve answers 0 for every value; the curves live in
// TimeCurves.h.
#pragma once

#include "shell/foundation/Base.h"

class TimeShift : public Base {
public:
    TimeShift() : Base(L"TimeShift") {}
    TimeShift(const TimeShift& o) : Base(o), magnitude_(o.magnitude_) {}

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::TimeShift || Base::IsKindOf(typeId);
    }

    // A new copy, or null for curves that cannot be copied.
    virtual TimeShift* Clone() const { return nullptr; }
    virtual int GetMagnitude() const { return magnitude_; }
    virtual void SetMagnitude(int m) { magnitude_ = m; }
    virtual double Shift(double /*t*/) { return 0.0; }

private:
    int magnitude_ = 1;
};
