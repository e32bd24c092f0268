// The value curve, the registry and the random deviations of particle effects.
#include "game/ParticleDefs.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "shell/Random.h"

// ---------------------------------------------------------------- value curve

ValueCurve::ValueCurve() {
    keys[0.0f] = 0.0f;
    keys[1.0f] = 0.0f;
    Reset();
}

float ValueCurve::NextKey(float t) const {
    auto it = keys.upper_bound(t);
    return it == keys.end() ? 1.0f : it->first;
}

void ValueCurve::Reset() {
    time = 0.0f;
    segmentStart = 0.0f;
    segmentEnd = NextKey(0.0f);
    value = keys[0.0f];
    // segmentEnd is above 0 by construction of NextKey.
    slope = (keys[segmentEnd] - value) / segmentEnd;
    const int r = pf::Rand() % 20000 - 10000;
    offset = float(r) * dev / 10000.0f;
    animated = !(keys.size() == 2 && keys.begin()->second == keys.rbegin()->second);
}

void ValueCurve::Advance(float d) {
    if (!animated) return;
    float remaining = d;
    while (remaining > 0.001f && segmentStart < 1.0f) {
        float step = remaining;
        if (segmentEnd < time + remaining) {
            step = segmentEnd - time;
            time = segmentEnd;
            value = keys[segmentEnd];
            segmentStart = segmentEnd;
            segmentEnd = NextKey(segmentStart);
            // At the last key the segment is empty: the value stays where it is.
            slope = segmentEnd > segmentStart ? (keys[segmentEnd] - keys[segmentStart]) / (segmentEnd - segmentStart)
                                              : 0.0f;
        } else {
            value += step * slope;
            time += step;
        }
        remaining -= step;
    }
}

// ---------------------------------------------------------------- templates and registry

ParticleDef::ParticleDef() {
    scaleCurve.SetKey(0.0f, 1.0f);
    scaleCurve.SetKey(1.0f, 1.0f);
    scaleCurve.Reset();
    alphaCurve.SetKey(0.0f, 1.0f);
    alphaCurve.SetKey(1.0f, 1.0f);
    alphaCurve.Reset();
}

namespace {

std::map<int, std::unique_ptr<ParticleSystemDef>>& Definitions() {
    static auto* definitions = new std::map<int, std::unique_ptr<ParticleSystemDef>>();
    return *definitions;
}

}  // namespace

ParticleSystemDef& ParticleRegistry::Get(int id) {
    std::unique_ptr<ParticleSystemDef>& slot = Definitions()[id];
    if (!slot) {
        slot = std::make_unique<ParticleSystemDef>();
        slot->id = id;
    }
    return *slot;
}

const ParticleSystemDef* ParticleRegistry::Find(int id) {
    auto it = Definitions().find(id);
    return it == Definitions().end() ? nullptr : it->second.get();
}

void ParticleRegistry::Clear() { Definitions().clear(); }

// ---------------------------------------------------------------- random deviations

int SaturatingInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

int ParticleDev(int n) {
    if (n == 0) return 0;
    const int64_t range = 2 * int64_t(n);
    return SaturatingInt(double(int64_t(pf::Rand()) % range - n));
}

float ParticleDevMilli(float f) {
    const double thousandths = double(f) * 1000.0;
    const int64_t range = int64_t(SaturatingInt(2.0 * thousandths));
    if (range == 0) return 0.0f;
    return float((double(int64_t(pf::Rand()) % range) - thousandths) / 1000.0);
}
