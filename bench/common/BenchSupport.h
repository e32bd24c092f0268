// Helpers shared by the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "bench/common/ConsoleOutput.h"

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

// Keeps each benchmark's real time per iteration, by name, for figures printed after the
// run.
class TimesReporter : public ConsoleOutput {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleOutput::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace benchkit
