#include "scene/FixedClockHandler.h"

namespace {
constexpr float kMaxGainMs = 100.0f;
}

int FixedClockHandler::GetTicks() const {
    if (period_ != 0) return period_ * tickCount_;
    return static_cast<int>(accumulated_);
}

void FixedClockHandler::Reset(int periodMs) {
    accumulated_ = 0.0f;
    period_ = periodMs;
    tickCount_ = 0;
    lastTime_ = GetGameTime().GetTime();
}

int FixedClockHandler::Update(float speed) {
    const int now = GetGameTime().GetTime();
    const int elapsed = static_cast<int>(static_cast<unsigned>(now) - static_cast<unsigned>(lastTime_));
    float gain = static_cast<float>(elapsed) * speed;
    lastTime_ = now;
    if (gain > kMaxGainMs) gain = kMaxGainMs;
    accumulated_ += gain;
    if (period_ == 0) return 1;
    return static_cast<int>(static_cast<double>(accumulated_) / period_ - tickCount_);
}
