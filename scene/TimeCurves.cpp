#include "scene/TimeCurves.h"

#include <cmath>

namespace {
// The constants are part of the curves' look and are kept as they were tuned.
constexpr double kQuarter = 1.57075;
constexpr double kTurn = 6.283;

// True when t must answer 1: at or past the end, or not a number.
bool AtEnd(double t) { return !(t < 1.0); }
}  // namespace

double Accelerate::Shift(double t) {
    if (AtEnd(t)) return 1.0;
    switch (GetMagnitude()) {
        case 0: return 1.0 - std::sin(kQuarter * t + kQuarter);
        case 2: return t * t * t;
        case 3: return t * t * t * t;
        default: return t * t;
    }
}

double Decelerate::Shift(double t) {
    if (AtEnd(t)) return 1.0;
    const double u = 1.0 - t;
    switch (GetMagnitude()) {
        case 0: return std::sin(kQuarter * t);
        case 2: return 1.0 - u * u * u;
        case 3: return 1.0 - u * u * u * u;
        default: return 1.0 - u * u;
    }
}

double DelayLinear::Shift(double t) {
    if (AtEnd(t)) return 1.0;
    const double delay = delay_;
    // t > delay implies delay < 1 here, so the divisor is never 0.
    return t > delay ? (t - delay) / (1.0 - delay) : 0.0;
}

double Crest::Shift(double t) { return std::tan((t - 0.5) * 2.5) / 6.0 + 0.5; }

double Trough::Shift(double t) { return std::atan((t - 0.5) * 6.0) / 2.5 + 0.5; }

double OverShoot::Shift(double t) {
    const double a = 1.0 - 1.4 * t;
    return (1.0 - a * a) * 1.2;
}

double Pendulum::Shift(double t) {
    if (AtEnd(t)) return 1.0;
    return 1.0 + (1.0 - t) * std::sin((t * numSwings_ - 0.25) * kTurn);
}
