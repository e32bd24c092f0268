// The game's logarithmic easing curves; each answers 0..1 for t in 0..1 (t outside that
// range is taken as the nearest end).
#pragma once

#include "scene/TimeShift.h"

// Slow start, steep end: (2 - log10(100 - 100 t)) / 2.
class TimeShiftStartSlow : public TimeShift {
public:
    double Shift(double t) override;
};

// Steep start, slow end: log10(100 t) / 2.
class TimeShiftEndSlow : public TimeShift {
public:
    double Shift(double t) override;
};

// A fall: 2 - log10(100 - 100 t) up to 60 percent, then a straight line to 1.
class FallTimeShift : public TimeShift {
public:
    double Shift(double t) override;
};
