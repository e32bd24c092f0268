#include "scene/FixedClockHandler.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kMaxGainMs = 100.0;

// A double truncated toward zero into the int range (not a number gives 0).
int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}
}  // namespace

int FixedClockHandler::GetTicks() const {
    // Milliseconds wrap like the platform clock instead of overflowing.
    if (period_ != 0) return static_cast<int>(static_cast<unsigned>(period_) * static_cast<unsigned>(tickCount_));
    return TruncToInt(accumulated_);
}

void FixedClockHandler::Reset(int periodMs) {
    accumulated_ = 0.0;
    period_ = periodMs;
    tickCount_ = 0;
    lastTime_ = GetGameTime().GetTime();
}

int FixedClockHandler::Update(float speed) {
    const int now = GetGameTime().GetTime();
    const int elapsed = static_cast<int>(static_cast<unsigned>(now) - static_cast<unsigned>(lastTime_));
    // The speed comes from scripts too: a gain that is not a number adds nothing.
    double gain = static_cast<double>(static_cast<float>(elapsed) * speed);
    lastTime_ = now;
    if (std::isnan(gain)) gain = 0.0;
    if (gain > kMaxGainMs) gain = kMaxGainMs;
    accumulated_ += gain;
    if (period_ == 0) return 1;
    return TruncToInt(accumulated_ / period_ - tickCount_);
}
