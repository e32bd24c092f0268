// The engine's time curves. Curves marked "clamped" answer exactly 1 for any t not below
// 1 (and for a t that is not a number); none of them clamps below 0.
#pragma once

#include "scene/TimeShift.h"

// Ease in (clamped). Magnitude 0: a quarter sine; 2: t^3; 3: t^4; anything else: t^2.
class Accelerate : public TimeShift {
public:
    Accelerate() = default;
    explicit Accelerate(int magnitude) { SetMagnitude(magnitude); }
    TimeShift* Clone() const override { return new Accelerate(GetMagnitude()); }
    double Shift(double t) override;
};

// Ease out (clamped), the mirror of Accelerate.
class Decelerate : public TimeShift {
public:
    Decelerate() = default;
    explicit Decelerate(int magnitude) { SetMagnitude(magnitude); }
    double Shift(double t) override;
};

// Holds 0 up to `delay`, then rises linearly to 1 (clamped).
class DelayLinear : public TimeShift {
public:
    explicit DelayLinear(float delay = 0.0f) : delay_(delay) {}
    float GetDelay() const { return delay_; }
    double Shift(double t) override;

private:
    float delay_;
};

// S-curve flat in the middle, steep at both ends (not clamped).
class Crest : public TimeShift {
public:
    double Shift(double t) override;
};

// S-curve steep in the middle (not clamped).
class Trough : public TimeShift {
public:
    double Shift(double t) override;
};

// Rises past 1 to 1.2 and comes back to 1.008 at t = 1 (not clamped).
class OverShoot : public TimeShift {
public:
    double Shift(double t) override;
};

// Swings about 1 with an amplitude falling linearly to 0 (clamped).
class Pendulum : public TimeShift {
public:
    double Shift(double t) override;
    virtual void SetNumSwings(double n) { numSwings_ = n; }
    double GetNumSwings() const { return numSwings_; }

private:
    double numSwings_ = 1.5;
};
