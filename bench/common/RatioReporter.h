// A console reporter that remembers each benchmark's time and, at the end, prints chosen
// pairs as time ratios (ours / peer) against a goal.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchkit {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Pair {
        std::string what, mine, peer;
        double goal;
    };
    // Pairs print in the order they are added; a missing figure prints nothing.
    void Add(std::string what, std::string mine, std::string peer, double goal) {
        pairs_.push_back({std::move(what), std::move(mine), std::move(peer), goal});
    }
    // The time of a finished benchmark, 0 when it did not run.
    double Time(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nTime ratios (CPU time, ours / peer; below 1: ours is faster):\n");
        for (const Pair& p : pairs_) {
            const double a = Time(p.mine), b = Time(p.peer);
            if (a <= 0 || b <= 0) continue;
            const double r = a / b;
            std::printf("  %-62s %6.2f  (goal <= %.1f: %s)\n", p.what.c_str(), r, p.goal, r <= p.goal ? "met" : "missed");
        }
        std::fflush(stdout);
    }

private:
    std::vector<Pair> pairs_;
    std::map<std::string, double> times_;
};

}  // namespace benchkit
