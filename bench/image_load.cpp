// Decoding a large PNG through the image loader against plain libpng decoding the same
// bytes into the same layout. Prints the loader's time over libpng's at the end, from rounds
// taken in turns.
#include <benchmark/benchmark.h>
#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"

namespace {

// A 2048 x 2048 RGBA image with gradients and noise, encoded once.
const std::string& LargePng() {
    static const std::string bytes = [] {
        pf::MemorySurface image(2048, 2048);
        pf::PixelView v = image.GetView();
        uint32_t seed = 12345;
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x) {
                seed = seed * 1664525u + 1013904223u;
                uint8_t* p = v.data + y * v.pitch + x * 4;
                p[0] = uint8_t(x + (seed >> 29));
                p[1] = uint8_t(y + (seed >> 28));
                p[2] = uint8_t((x ^ y) >> 2);
                p[3] = uint8_t(255 - (seed >> 30));
            }
        const std::string path = "/tmp/bench_image_load_" + std::to_string(::getpid()) + ".png";
        pf::SavePng(path, v);
        std::string out;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            char buf[65536];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
            std::fclose(f);
        }
        std::remove(path.c_str());
        return out;
    }();
    return bytes;
}

bool DecodeWithLoader(pf::ImageLoaderDX& loader) {
    const std::string& png = LargePng();
    pf::MemorySurface out;
    return loader.Load(out, png.data(), int(png.size()), pf::PixelFormat::A8R8G8B8);
}

bool DecodeWithLibpng() {
    const std::string& png = LargePng();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

void BM_LoaderPng(benchmark::State& state) {
    pf::ImageLoaderDX loader;
    for (auto _ : state) benchmark::DoNotOptimize(DecodeWithLoader(loader));
    state.counters["MPix/s"] = benchmark::Counter(2048.0 * 2048.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoaderPng)->Unit(benchmark::kMillisecond);

void BM_PlainLibpng(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(DecodeWithLibpng());
    state.counters["MPix/s"] = benchmark::Counter(2048.0 * 2048.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainLibpng)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    LargePng();  // encoded once, outside the timings
    benchkit::RunBenchmarks();
    pf::ImageLoaderDX loader;
    bool decoded = true;
    constexpr int kRounds = 15;
    benchkit::InTurns turns;
    const size_t ours = turns.Add("loader", 1, [&] { decoded &= DecodeWithLoader(loader); });
    const size_t peer = turns.Add("libpng", 1, [&] { decoded &= DecodeWithLibpng(); });
    turns.Run(kRounds);
    if (!decoded) {
        std::fprintf(stderr, "a decode failed: the comparison is void\n");
        return 1;
    }
    std::printf("PNG 2048x2048, medians of %d rounds in turns: loader %.2f ms, libpng %.2f ms\n", kRounds,
                turns.Wall(ours) * 1e3, turns.Wall(peer) * 1e3);
    turns.PrintWallRatio(ours, peer, "PNG 2048x2048, loader / libpng");
    benchmark::Shutdown();
    return 0;
}
