// A frame of 2000 rotated, coloured 32 x 32 sprites drawn through the display (colour,
// transform, surface Draw) against the same quads handed straight to the software device
// with the same states, with the display's automatic filter and with the bilinear filter
// the game sets at start-up. Prints the display's time over the device's at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "bench/common/DevicePeer.h"
#include "shell/DisplayDX.h"
#include "shell/Log.h"
#include "shell/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"

namespace {

constexpr int kSprites = 2000;

struct Scene {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    pf::SurfacePtr sprite;
    std::vector<pf::MatrixT> transforms;
    std::vector<pf::DeviceVertex> quads;  // the same sprites in screen-ready world space

    Scene() {
        display.Init(800, 600, false, false, false);
        pf::MemorySurface image(32, 32);
        pf::PixelView v = image.GetView();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = 0xC0000000u | uint32_t(x * 8) << 16 | uint32_t(y * 8);
        sprite = display.CreateSurfaceFromImage(v);
        for (int i = 0; i < kSprites; ++i) {
            pf::MatrixT r = pf::MatrixT::MakeIdentity();
            r.RotationZ(float(i) * 0.01f);
            transforms.push_back(r * pf::MatrixT::MakeTranslation(pf::VectorT3(float(i * 37 % 760), float(i * 53 % 560), 0)));
            const auto q = pf::BuildQuad(pf::Rect(0, 0, 32, 32), pf::Rect(0, 0, 32, 32), 32, 32, Colour(i));
            for (const auto& c : q) {
                const pf::VectorT3 p = transforms.back().TransformVec3(pf::VectorT3(c.x, c.y, 0));
                quads.push_back(pf::DeviceVertex{p.x, p.y, 0, c.color, c.u, c.v});
            }
        }
    }
    static uint32_t Colour(int i) { return 0xFF000000u | (uint32_t(i * 7919) & 0xFFFFFFu); }

    void ThroughDisplay(pf::TextureFilter filter = pf::TextureFilter::Auto) {
        display.SetTextureFilter(filter);
        display.BeginFrame(nullptr);
        const pf::Rect dst(0, 0, 32, 32);
        for (int i = 0; i < kSprites; ++i) {
            const uint32_t c = Colour(i);
            display.SetColor(int(c >> 16 & 255), int(c >> 8 & 255), int(c & 255), 255);
            display.SetTransform(transforms[size_t(i)]);
            sprite->Draw(&display, nullptr, &dst);
        }
        display.EndFrame();
    }
    void ThroughDevice() { benchkit::DrawQuadsOnDevice(display, sprite.get(), quads); }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_DisplaySprites(benchmark::State& state) {
    for (auto _ : state) TheScene().ThroughDisplay();
    state.counters["sprites/s"] = benchmark::Counter(kSprites, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DisplaySprites)->Unit(benchmark::kMillisecond);

void BM_DisplaySpritesLinear(benchmark::State& state) {
    for (auto _ : state) TheScene().ThroughDisplay(pf::TextureFilter::Linear);
    state.counters["sprites/s"] = benchmark::Counter(kSprites, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DisplaySpritesLinear)->Unit(benchmark::kMillisecond);

void BM_DeviceSprites(benchmark::State& state) {
    for (auto _ : state) TheScene().ThroughDevice();
    state.counters["sprites/s"] = benchmark::Counter(kSprites, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DeviceSprites)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Scene& s = TheScene();
    // In turns, so that a busy moment of the machine falls on all three.
    double ours = 1e30, linear = 1e30, peer = 1e30;
    for (int turn = 0; turn < 20; ++turn) {
        ours = std::min(ours, benchkit::BestOf(1, [&] { s.ThroughDisplay(); }));
        linear = std::min(linear, benchkit::BestOf(1, [&] { s.ThroughDisplay(pf::TextureFilter::Linear); }));
        peer = std::min(peer, benchkit::BestOf(1, [&] { s.ThroughDevice(); }));
    }
    std::printf("%d sprites a frame, best of 20 turns: display %.3f ms, display with the game's linear filter %.3f ms, "
                "device alone %.3f ms; ratios %.3f and %.3f\n",
                kSprites, ours * 1e3, linear * 1e3, peer * 1e3, ours / peer, linear / peer);
    benchmark::Shutdown();
    return 0;
}
