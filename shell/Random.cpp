#include "shell/Random.h"

#include <atomic>

namespace pf {

namespace {

// Linear congruential generator (multiplier 214013, increment 2531011), answering bits
// 16..30 of the state.
std::atomic<uint32_t> g_state{1};

uint32_t Step(uint32_t s) { return s * 214013u + 2531011u; }

}  // namespace

void SeedRand(uint32_t seed) { g_state.store(seed); }

int Rand() {
    uint32_t old = g_state.load(std::memory_order_relaxed);
    uint32_t next = Step(old);
    while (!g_state.compare_exchange_weak(old, next, std::memory_order_relaxed)) next = Step(old);
    return static_cast<int>((next >> 16) & 0x7FFF);
}

uint32_t rand32b() {
    const uint32_t r1 = static_cast<uint32_t>(Rand());
    const uint32_t r2 = static_cast<uint32_t>(Rand());
    const uint32_t r3 = static_cast<uint32_t>(Rand());
    return (((r1 % 32767u) << 15 | (r2 % 32767u)) << 2) | (r3 % 4u);
}

}  // namespace pf
