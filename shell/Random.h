// The engine's seedable random generator. Rand() answers 0..32767 (the range every
// formula of the engine assumes); it is shared by all threads.
#pragma once

#include <cstdint>

namespace pf {

constexpr int kRandMax = 32767;

void SeedRand(uint32_t seed);
int Rand();
// ((r1 mod 32767) << 15 | r2 mod 32767) << 2 | r3 mod 4, from three Rand() calls.
uint32_t rand32b();

}  // namespace pf
