// Helpers shared by the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>

namespace benchkit {

// The shortest wall-clock time, in seconds, of `runs` calls of f.
template <typename F>
double BestOf(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace benchkit
