#include "game/GameCurves.h"

#include <algorithm>
#include <cmath>

namespace {

double Unit(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }

}  // namespace

double TimeShiftStartSlow::Shift(double t) { return Unit((2.0 - std::log10(100.0 - 100.0 * Unit(t))) * 0.5); }

double TimeShiftEndSlow::Shift(double t) { return Unit(std::log10(100.0 * Unit(t)) * 0.5); }

double FallTimeShift::Shift(double t) {
    const double p = 100.0 * Unit(t);
    if (p <= 60.0) return Unit(2.0 - std::log10(100.0 - p));
    const double k = 2.0 - std::log10(40.0);
    return Unit(k + (1.0 - k) / 40.0 * (p - 60.0));
}
