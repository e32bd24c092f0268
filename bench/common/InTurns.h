// Work and its peers or floors measured in rounds taken in turns (work, peer, floor, work,
// peer, floor, ...), so a busy moment of the machine falls on all of them alike. Figures
// are medians over the rounds; a ratio is the median of the ratios within each round.
// Every benchmark prints its ratios through InTurns::PrintRatio, and a figure held to a
// goal through PrintAgainstGoal, so their lines read alike across benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench/common/CpuMeter.h"

namespace benchkit {

class InTurns {
public:
    enum class Measure { Wall, Cpu, Process };  // Cpu: this process and the X server

    // One turn runs f `repeats` times; the figures are per call of f. `server` is the X
    // server whose CPU counts with this process's (-1: this process alone). `before`, when
    // given, runs ahead of each turn, untimed.
    size_t Add(std::string what, int repeats, std::function<void()> f, int server = -1,
               std::function<void()> before = nullptr) {
        entries_.push_back(Entry{std::move(what), repeats, std::move(f), server, std::move(before), {}, kNone});
        return entries_.size() - 1;
    }

    // Entry i's figures become net of entry `base`'s in the same round (what remains of a
    // command's time once the same command doing nothing is taken away), at least a
    // microsecond.
    void Less(size_t i, size_t base) { entries_[i].less = base; }

    void Run(int rounds) {
        for (int round = 0; round < rounds; ++round)
            for (Entry& e : entries_) {
                if (e.before) e.before();
                const CpuSample s = MeasureCpu(e.server, [&] {
                    for (int i = 0; i < e.repeats; ++i) e.f();
                });
                e.samples.push_back(CpuSample{s.wall / e.repeats, s.process / e.repeats, s.server / e.repeats});
            }
    }

    int Rounds() const { return entries_.empty() ? 0 : int(entries_[0].samples.size()); }
    const std::string& What(size_t i) const { return entries_[i].what; }

    // The median over the rounds, in seconds per call.
    double Median(size_t i, Measure m) const {
        std::vector<double> v;
        for (size_t k = 0; k < entries_[i].samples.size(); ++k) v.push_back(Figure(i, k, m));
        return benchkit::Median(v);
    }
    double Wall(size_t i) const { return Median(i, Measure::Wall); }
    double Cpu(size_t i) const { return Median(i, Measure::Cpu); }

    // The median over the rounds of a's figure over b's in the same round.
    double Ratio(size_t a, Measure ma, size_t b, Measure mb) const {
        std::vector<double> r;
        for (size_t k = 0; k < entries_[a].samples.size() && k < entries_[b].samples.size(); ++k) {
            const double under = Figure(b, k, mb);
            if (under > 0) r.push_back(Figure(a, k, ma) / under);
        }
        return benchkit::Median(r);
    }
    double WallRatio(size_t a, size_t b) const { return Ratio(a, Measure::Wall, b, Measure::Wall); }
    double CpuRatio(size_t a, size_t b) const { return Ratio(a, Measure::Cpu, b, Measure::Cpu); }

    // The one line every benchmark prints a ratio in, a over b, with the goal it is held to
    // when there is one (goal > 0):
    // "  <label>   1.23  (0.456 ms wall over 0.370 ms wall, medians of N rounds in turns; goal <= 1.0: met)"
    void PrintRatio(const std::string& label, size_t a, Measure ma, size_t b, Measure mb, double goal = 0) const {
        const double r = Ratio(a, ma, b, mb);
        std::printf("  %-70s %7.2f  (%.3f ms %s over %.3f ms %s, medians of %d rounds in turns", label.c_str(), r,
                    Median(a, ma) * 1e3, Name(ma), Median(b, mb) * 1e3, Name(mb), Rounds());
        if (goal > 0) std::printf("; goal <= %.1f: %s", goal, r <= goal ? "met" : "missed");
        std::printf(")\n");
    }
    void PrintWallRatio(size_t a, size_t b, const std::string& label, double goal = 0) const {
        PrintRatio(label, a, Measure::Wall, b, Measure::Wall, goal);
    }
    void PrintCpuRatio(size_t a, size_t b, const std::string& label, double goal = 0) const {
        PrintRatio(label, a, Measure::Cpu, b, Measure::Cpu, goal);
    }
    void PrintProcessRatio(size_t a, size_t b, const std::string& label, double goal = 0) const {
        PrintRatio(label, a, Measure::Process, b, Measure::Process, goal);
    }

private:
    struct Entry {
        std::string what;
        int repeats;
        std::function<void()> f;
        int server;
        std::function<void()> before;
        std::vector<CpuSample> samples;
        size_t less;
    };
    static constexpr size_t kNone = size_t(-1);
    static double Of(const CpuSample& s, Measure m) {
        return m == Measure::Wall ? s.wall : m == Measure::Cpu ? s.Cpu() : s.process;
    }
    // Entry i's figure in round k, net of its base entry's when it has one.
    double Figure(size_t i, size_t k, Measure m) const {
        const Entry& e = entries_[i];
        const double f = Of(e.samples[k], m);
        if (e.less == kNone || k >= entries_[e.less].samples.size()) return f;
        return std::max(1e-6, f - Of(entries_[e.less].samples[k], m));
    }
    static const char* Name(Measure m) { return m == Measure::Wall ? "wall" : m == Measure::Cpu ? "CPU" : "CPU (ours)"; }
    std::vector<Entry> entries_;
};

// A figure held to a goal, in the same column as the ratios:
// "  <label>      1.23 ms  (goal <= 4.0 ms: met)"
inline void PrintAgainstGoal(const std::string& label, double value, const char* unit, double goal) {
    std::printf("  %-70s %7.2f %s  (goal <= %.1f %s: %s)\n", label.c_str(), value, unit, goal, unit,
                value <= goal ? "met" : "missed");
}

// A copy of `bytes` bytes from one buffer to another: the least any work that writes that
// many bytes of frame costs.
class FrameCopy {
public:
    explicit FrameCopy(size_t bytes) : from_(bytes, 0x5A), to_(bytes) {}
    void operator()() {
        std::memcpy(to_.data(), from_.data(), from_.size());
        benchmark::DoNotOptimize(to_.data());
        benchmark::ClobberMemory();
    }
    size_t Bytes() const { return from_.size(); }

private:
    std::vector<unsigned char> from_, to_;
};

}  // namespace benchkit
