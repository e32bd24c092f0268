// The engine's one clock: milliseconds since process start on CLOCK_MONOTONIC.
#pragma once

namespace pf {

void InitClock();
int NowMs();
void SleepMs(int ms);

// Test seams: a replacement clock and sleep (null restores the real ones).
using NowMsFn = int (*)();
using SleepMsFn = void (*)(int);
void SetNowMsSource(NowMsFn source);
void SetSleepMsSink(SleepMsFn sink);

}  // namespace pf
