// The battery: where its state comes from (SDL's power information, or a source a test
// installs) and a watch that notices, at a low rate, when it runs low.
#pragma once

namespace pf {

struct PowerStatus {
    // Running on the battery (not charging, not on mains power).
    bool onBattery = false;
    // Charge left in percent; -1 when unknown.
    int percent = -1;
};

class PowerSource {
public:
    virtual ~PowerSource() = default;
    virtual PowerStatus Read() = 0;
};

// The installed source: SDL's power information by default.
PowerSource& GetPowerSource();
// Installs a source; null restores the default. The caller keeps ownership.
void SetPowerSource(PowerSource* source);

// Reads the power source at most once per poll period and answers true once each time the
// battery goes into its low state: on the battery with at most kLowPercent left. It must
// leave that state (charging, or above the threshold) before it can be reported again. A
// battery already low at the first reading is reported then.
class BatteryWatch {
public:
    static constexpr int kPollMs = 15000;
    static constexpr int kLowPercent = 10;

    bool Poll(int nowMs);

private:
    bool polled_ = false;
    int lastPollMs_ = 0;
    bool low_ = false;
};

}  // namespace pf
