#include "shell/platform/Power.h"

#include <SDL.h>

#include <atomic>

namespace pf {

namespace {

class SdlPowerSource : public PowerSource {
public:
    PowerStatus Read() override {
        PowerStatus status;
        int percent = -1;
        status.onBattery = SDL_GetPowerInfo(nullptr, &percent) == SDL_POWERSTATE_ON_BATTERY;
        status.percent = percent;
        return status;
    }
};

SdlPowerSource g_sdlSource;
std::atomic<PowerSource*> g_source{nullptr};

}  // namespace

PowerSource& GetPowerSource() {
    PowerSource* source = g_source.load();
    return source ? *source : g_sdlSource;
}

void SetPowerSource(PowerSource* source) { g_source.store(source); }

bool BatteryWatch::Poll(int nowMs) {
    // Unsigned difference: the millisecond clock may wrap.
    if (polled_ && static_cast<unsigned>(nowMs) - static_cast<unsigned>(lastPollMs_) < static_cast<unsigned>(kPollMs))
        return false;
    polled_ = true;
    lastPollMs_ = nowMs;
    PowerStatus status = GetPowerSource().Read();
    bool low = status.onBattery && status.percent >= 0 && status.percent <= kLowPercent;
    bool crossed = low && !low_;
    low_ = low;
    return crossed;
}

}  // namespace pf
