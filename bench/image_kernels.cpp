// Blur and glow throughput in megapixels per second on a 512 x 512 image.
#include <benchmark/benchmark.h>

#include <vector>

#include "shell/ImageKernels.h"

namespace {

constexpr int kSide = 512;

struct Buffers {
    std::vector<uint8_t> src, dst;
    pf::PixelView s, d;
    Buffers() : src(size_t(kSide) * kSide * 4), dst(src.size()) {
        uint32_t seed = 7;
        for (size_t i = 0; i < src.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            src[i] = uint8_t(seed >> 24);
        }
        s.Set(kSide, kSide, 4, kSide * 4, pf::PixelFormat::A8R8G8B8, src.data());
        d.Set(kSide, kSide, 4, kSide * 4, pf::PixelFormat::A8R8G8B8, dst.data());
    }
};

void Rate(benchmark::State& state) {
    state.counters["MPix/s"] = benchmark::Counter(double(kSide) * kSide / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BlurView(benchmark::State& state) {
    Buffers b;
    for (auto _ : state) {
        pf::BlurView(b.s, b.d, int(state.range(0)));
        benchmark::ClobberMemory();
    }
    Rate(state);
}
BENCHMARK(BM_BlurView)->Arg(2)->Arg(8)->Arg(15)->Unit(benchmark::kMillisecond);

void BM_GlowView(benchmark::State& state) {
    Buffers b;
    for (auto _ : state) {
        pf::GlowView(b.s, b.d, pf::Color(255, 200, 0, 255), float(state.range(0)));
        benchmark::ClobberMemory();
    }
    Rate(state);
}
BENCHMARK(BM_GlowView)->Arg(3)->Arg(8)->Arg(14)->Unit(benchmark::kMillisecond);

void BM_ScaleView(benchmark::State& state) {
    Buffers b;
    std::vector<uint8_t> big(size_t(kSide) * 2 * kSide * 2 * 4);
    pf::PixelView d;
    d.Set(kSide * 2, kSide * 2, 4, kSide * 8, pf::PixelFormat::A8R8G8B8, big.data());
    for (auto _ : state) {
        pf::ScaleView(b.s, d);
        benchmark::ClobberMemory();
    }
    Rate(state);
}
BENCHMARK(BM_ScaleView)->Unit(benchmark::kMillisecond);

void BM_ConvertView(benchmark::State& state) {
    Buffers b;
    std::vector<uint8_t> out(size_t(kSide) * kSide * 2);
    pf::PixelView d;
    d.Set(kSide, kSide, 2, kSide * 2, pf::PixelFormat(state.range(0)), out.data());
    for (auto _ : state) {
        pf::ConvertView(b.s, d);
        benchmark::ClobberMemory();
    }
    Rate(state);
}
BENCHMARK(BM_ConvertView)->Arg(int(pf::PixelFormat::R5G6B5))->Arg(int(pf::PixelFormat::A4R4G4B4))->Unit(benchmark::kMicrosecond);

}  // namespace
