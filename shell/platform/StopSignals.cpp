#include "shell/platform/StopSignals.h"

#include <signal.h>

#include <atomic>

namespace pf {

namespace {

std::atomic<int> g_arrived{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

void OnStopSignal(int) { g_arrived.fetch_add(1); }

}  // namespace

void InstallStopSignals() {
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    // A save or a read under way goes on where the signal found it.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int TakeStopSignals() { return g_arrived.exchange(0); }

}  // namespace pf
