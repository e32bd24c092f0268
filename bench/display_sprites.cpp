// A frame of 2000 rotated, coloured 32 x 32 sprites drawn through the display (colour,
// transform, surface Draw) against the same quads handed straight to the software device
// with the same states, with the display's automatic filter and with the bilinear filter
// the game sets at start-up, in rounds taken in turns. Prints the display's time over the
// device's at the end.
// The frames are compared first (each drawn over the same known ground): the display's
// must be the device's but for the rounding of its own transforms (a texel step or an
// edge pixel here and there, under 0.1 % of the pixels), so no sprite is skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/DevicePeer.h"
#include "bench/common/InTurns.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
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

    // The back buffer after `draw`, drawn over a uniform ground; empty when it cannot be read.
    template <typename F>
    std::vector<uint32_t> Picture(F draw) {
        my_intrusive_ptr<pf::DeviceSurface> bb = display.GetDevice()->GetBackBuffer();
        const int w = bb->Width(), h = bb->Height();
        pf::LockedRect locked;
        if (bb->LockRect(nullptr, 0, locked) != pf::DeviceResult::Ok) return {};
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(locked.bits + size_t(y) * locked.pitch);
            std::fill(row, row + w, kGround);
        }
        bb->UnlockRect();
        draw();
        std::vector<uint32_t> px(size_t(w) * h);
        if (bb->LockRect(nullptr, pf::LockReadOnly, locked) != pf::DeviceResult::Ok) return {};
        for (int y = 0; y < h; ++y) std::memcpy(&px[size_t(y) * w], locked.bits + size_t(y) * locked.pitch, size_t(w) * 4);
        bb->UnlockRect();
        return px;
    }
    static constexpr uint32_t kGround = 0xFF102030u;
};

// The display's frame (under the game's filter and the automatic one) is the device's
// but for rounding, and the sprites cover a good part of the target.
bool PicturesMatch(Scene& s) {
    const std::vector<uint32_t> device = s.Picture([&] { s.ThroughDevice(); });
    const size_t drawn = device.size() - size_t(std::count(device.begin(), device.end(), Scene::kGround));
    bool ok = !device.empty() && drawn * 2 > device.size();
    std::printf("device frame: %.1f %% of the pixels drawn over\n", device.empty() ? 0.0 : 100.0 * drawn / device.size());
    for (const auto filter : {pf::TextureFilter::Linear, pf::TextureFilter::Auto}) {
        const std::vector<uint32_t> ours = s.Picture([&] { s.ThroughDisplay(filter); });
        size_t differ = ours.size() == device.size() ? 0 : device.size();
        for (size_t i = 0; i < ours.size() && i < device.size(); ++i) differ += ours[i] != device[i];
        std::printf("display frame (%s filter): %zu pixels differ from the device's\n",
                    filter == pf::TextureFilter::Linear ? "the game's linear" : "automatic", differ);
        ok &= differ * 1000 < device.size();
    }
    return ok;
}

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
    Scene& s = TheScene();
    if (!PicturesMatch(s)) {
        std::fprintf(stderr, "bench_display_sprites: the display's frame is not the device's\n");
        return 1;
    }
    benchkit::RunBenchmarks();
    // In turns, so that a busy moment of the machine falls on all three.
    benchkit::InTurns turns;
    constexpr int kRounds = 20;
    const size_t ours = turns.Add("display", 1, [&] { s.ThroughDisplay(); });
    const size_t linear = turns.Add("display, linear", 1, [&] { s.ThroughDisplay(pf::TextureFilter::Linear); });
    const size_t peer = turns.Add("device alone", 1, [&] { s.ThroughDevice(); });
    turns.Run(kRounds);
    std::printf("%d sprites a frame, median of %d rounds in turns: display %.3f ms, display with the game's linear "
                "filter %.3f ms, device alone %.3f ms\n",
                kSprites, kRounds, turns.Wall(ours) * 1e3, turns.Wall(linear) * 1e3, turns.Wall(peer) * 1e3);
    turns.PrintWallRatio(ours, peer, "display / device alone");
    turns.PrintWallRatio(linear, peer, "display with the game's linear filter / device alone");
    benchmark::Shutdown();
    return 0;
}
