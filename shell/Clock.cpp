#include "shell/Clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace pf {

namespace {

long long MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

std::atomic<long long> g_startNs{0};
std::atomic<NowMsFn> g_nowSource{nullptr};
std::atomic<SleepMsFn> g_sleepSink{nullptr};

// Runs among the static initialisers, so NowMs counts from process start.
struct ClockStarter {
    ClockStarter() { InitClock(); }
} g_clockStarter;

}  // namespace

void InitClock() { g_startNs.store(MonotonicNs()); }

int NowMs() {
    if (NowMsFn source = g_nowSource.load(std::memory_order_relaxed)) return source();
    return static_cast<int>((MonotonicNs() - g_startNs.load(std::memory_order_relaxed)) / 1000000LL);
}

void SleepMs(int ms) {
    if (SleepMsFn sink = g_sleepSink.load(std::memory_order_relaxed)) {
        sink(ms);
        return;
    }
    if (ms <= 0) return;
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

void SetNowMsSource(NowMsFn source) { g_nowSource.store(source); }
void SetSleepMsSink(SleepMsFn sink) { g_sleepSink.store(sink); }

}  // namespace pf
