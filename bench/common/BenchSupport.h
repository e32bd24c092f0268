// Helpers shared by the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

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

// Keeps each benchmark's real and CPU time per iteration, by name, for the printed ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
                cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

// Prints ours / peer against a goal; nothing when either figure is missing.
inline void PrintRatio(const std::string& what, double ours, double peer, double goal) {
    if (ours <= 0 || peer <= 0) return;
    const double r = ours / peer;
    std::printf("  %-62s %6.2f  (goal <= %.1f: %s)\n", what.c_str(), r, goal, r <= goal ? "met" : "missed");
}

}  // namespace benchkit
