// Axis-aligned alpha-blended sprites drawn as the game draws them (through the display
// with its own default states: blending on, alpha test, colour white; and with the
// bilinear filter the game sets at start-up, "DisplayLinear") at sizes 16 x 16 to
// 256 x 256, each size about two million pixels a frame on an 800 x 600 target, side by
// side with SDL2's software renderer and with pixman's unscaled OVER of the same
// sprites (premultiplied) at the same positions. The memory floor is the bytes a sprite
// touches (read the texel, read and write the target pixel) over the in-cache memcpy
// bandwidth measured in the same run. Every benchmark runs in several repetitions taken
// in a shuffled order, the floor's among the others', so a busy moment of the machine
// falls on all of them; the ratios use the medians.
//
// Each peer's frame is checked against an exact reference of the blend before timing:
// the display's bit for bit, the peers within their own rounding.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "bench/common/Sprites.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct SizeCase {
    int size, count;
};
constexpr SizeCase kCases[] = {{16, 8000}, {32, 2000}, {64, 500}, {128, 125}, {256, 31}};

std::vector<uint32_t> MakeSprite(int n) { return benchkit::MakeSoftSprite(n); }

std::vector<uint32_t> Premultiplied(std::vector<uint32_t> px) {
    for (uint32_t& c : px) {
        const uint32_t a = c >> 24;
        auto m = [&](int sh) { return (((c >> sh) & 255) * a + 127) / 255 << sh; };
        c = a << 24 | m(16) | m(8) | m(0);
    }
    return px;
}

struct Pos {
    int x, y;
};

std::vector<Pos> Positions(const SizeCase& k) {
    std::mt19937 rng(uint32_t(2024 + k.size));
    std::vector<Pos> out;
    for (int i = 0; i < k.count; ++i) out.push_back({int(rng() % (kWidth - k.size + 1)), int(rng() % (kHeight - k.size + 1))});
    return out;
}

constexpr uint32_t kBackground = 0xFF000000u;  // the display's own clear colour

// What the display must produce: each texel of alpha >= 1 blended over the target with
// one rounding, (s x a + d x (255 - a)) / 255 per channel.
std::vector<uint32_t> Reference(const SizeCase& k, const std::vector<uint32_t>& sprite, uint32_t alphaOr) {
    std::vector<uint32_t> t(size_t(kWidth) * kHeight, kBackground);
    for (const Pos& p : Positions(k))
        for (int y = 0; y < k.size; ++y)
            for (int x = 0; x < k.size; ++x) {
                const uint32_t s = sprite[size_t(y) * k.size + x], a = s >> 24;
                if (a == 0) continue;
                uint32_t& d = t[size_t(p.y + y) * kWidth + p.x + x];
                uint32_t out = 0;
                for (int sh = 0; sh < 32; sh += 8)
                    out |= ((((s >> sh) & 255) * a + ((d >> sh) & 255) * (255 - a) + 127) / 255) << sh;
                d = out | alphaOr;
            }
    return t;
}

// The peers round each blend their own way (SDL by shifts, pixman through premultiplied
// colour); over stacked sprites that drifts a few steps. A skipped sprite is far more.
constexpr int kPeerTolerance = 16;

// Largest difference of any colour channel (alpha left out: the peers keep their own).
int MaxDifference(const uint32_t* a, const std::vector<uint32_t>& b, int pitch) {
    int worst = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int sh = 0; sh < 24; sh += 8) {
                const int d = std::abs(int((a[size_t(y) * pitch + x] >> sh) & 255) - int((b[size_t(y) * kWidth + x] >> sh) & 255));
                worst = std::max(worst, d);
            }
    return worst;
}

// ---- the display -------------------------------------------------------------------------

struct DisplayRig {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    pf::SurfacePtr sprite;
    std::vector<pf::MatrixT> where;
    SizeCase k;

    DisplayRig(const SizeCase& c, pf::TextureFilter filter) : k(c) {
        display.Init(kWidth, kHeight, false, false, false);
        display.SetTextureFilter(filter);
        auto px = MakeSprite(k.size);
        pf::MemorySurface image(k.size, k.size);
        pf::PixelView v = image.GetView();
        for (int y = 0; y < k.size; ++y) std::memcpy(v.data + y * v.pitch, &px[size_t(y) * k.size], size_t(k.size) * 4);
        sprite = display.CreateSurfaceFromImage(v);
        for (const Pos& p : Positions(k)) where.push_back(pf::MatrixT::MakeTranslation(pf::VectorT3(float(p.x), float(p.y), 0)));
    }
    // The sprites as an actor draws them: colour, transform, surface draw.
    void Draw() {
        const pf::Rect dst(0, 0, k.size, k.size);
        for (const pf::MatrixT& m : where) {
            display.SetColor(255, 255, 255, 255);
            display.SetTransform(m);
            sprite->Draw(&display, nullptr, &dst);
        }
    }
    bool Check() {
        display.BeginFrame(nullptr);
        Draw();
        display.EndFrame();
        my_intrusive_ptr<pf::DeviceSurface> bb = display.GetDevice()->GetBackBuffer();
        const uint32_t alphaOr = bb->Format() == pf::DeviceFormat::X8R8G8B8 ? 0xFF000000u : 0u;
        const auto want = Reference(k, MakeSprite(k.size), alphaOr);
        const uint32_t* got = reinterpret_cast<const uint32_t*>(bb->Bits());
        for (int y = 0; y < kHeight; ++y)
            if (std::memcmp(got + size_t(y) * (bb->Pitch() / 4), &want[size_t(y) * kWidth], kWidth * 4) != 0) return false;
        return true;
    }
};

void DisplaySprites(benchmark::State& state, SizeCase k, pf::TextureFilter filter) {
    DisplayRig rig(k, filter);
    if (!rig.Check()) {
        state.SkipWithError("the display's frame differs from the exact blend");
        return;
    }
    rig.display.BeginFrame(nullptr);
    for (auto _ : state) {
        rig.Draw();
        benchmark::ClobberMemory();
    }
    rig.display.EndFrame();
    state.SetItemsProcessed(state.iterations() * k.count);
}

// ---- SDL2's software renderer -------------------------------------------------------------

void SdlSprites(benchmark::State& state, SizeCase k) {
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    auto pixels = MakeSprite(k.size);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), k.size, k.size, 32, k.size * 4,
                                                             SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sprite);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const auto where = Positions(k);
    auto frame = [&] {
        for (const Pos& p : where) {
            const SDL_Rect dst = {p.x, p.y, k.size, k.size};
            SDL_RenderCopy(renderer, texture, nullptr, &dst);
        }
        SDL_RenderFlush(renderer);
    };
    SDL_FillRect(target, nullptr, kBackground);
    frame();
    if (MaxDifference(static_cast<const uint32_t*>(target->pixels), Reference(k, pixels, 0), target->pitch / 4) > kPeerTolerance)
        state.SkipWithError("SDL's frame is not the blend");
    for (auto _ : state) {
        frame();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * k.count);
    SDL_DestroyTexture(texture);
    SDL_FreeSurface(sprite);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
}

// ---- pixman's unscaled OVER ---------------------------------------------------------------

void PixmanSprites(benchmark::State& state, SizeCase k) {
    std::vector<uint32_t> target(size_t(kWidth) * kHeight, kBackground);
    auto pixels = Premultiplied(MakeSprite(k.size));
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, k.size, k.size, pixels.data(), k.size * 4);
    const auto where = Positions(k);
    auto frame = [&] {
        for (const Pos& p : where)
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, p.x, p.y, k.size, k.size);
    };
    frame();
    if (MaxDifference(target.data(), Reference(k, MakeSprite(k.size), 0), kWidth) > kPeerTolerance)
        state.SkipWithError("pixman's frame is not the blend");
    for (auto _ : state) {
        frame();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * k.count);
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

// ---- the in-cache memory floor ------------------------------------------------------------

// The bytes a frame of the case moves (12 a sprite pixel) copied by memcpy through a
// buffer that stays in cache: the floor, timed among the case's other benchmarks so a
// busy moment of the machine falls on it too.
void MemoryFloor(benchmark::State& state, SizeCase k) {
    std::vector<uint8_t> a(128 * 1024, 1), b(a.size());
    // memcpy moves each byte twice (read + write); whole copies of the buffer, within 1 %.
    const double bytes = 12.0 * k.size * k.size * k.count / 2.0;
    const int reps = std::max(1, int(bytes / double(a.size()) + 0.5));
    for (auto _ : state) {
        for (int i = 0; i < reps; ++i) {
            std::memcpy(b.data(), a.data(), a.size());
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
        }
    }
}

std::string Name(const char* what, const SizeCase& k) {
    return std::string(what) + "/" + std::to_string(k.size) + "x" + std::to_string(k.size) + "x" + std::to_string(k.count);
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    // Repetitions in turns unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i)
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
        return false;
    };
    char repetitions[] = "--benchmark_repetitions=5", interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!given("--benchmark_repetitions")) args.push_back(repetitions);
    if (!given("--benchmark_enable_random_interleaving")) args.push_back(interleave);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchkit::RatioReporter reporter;
    for (const SizeCase& k : kCases) {
        benchmark::RegisterBenchmark(Name("Display", k).c_str(), DisplaySprites, k, pf::TextureFilter::Auto)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("DisplayLinear", k).c_str(), DisplaySprites, k, pf::TextureFilter::Linear)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("SDL", k).c_str(), SdlSprites, k)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("Pixman", k).c_str(), PixmanSprites, k)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("Floor", k).c_str(), MemoryFloor, k)->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // The median over the repetitions (a single run's time when there is one repetition).
    auto time = [&](const char* who, const SizeCase& k) {
        const auto median = reporter.cpuTimes.find(Name(who, k) + "_median");
        return median != reporter.cpuTimes.end() ? median->second : reporter.cpuTimes[Name(who, k)];
    };
    std::printf("\nTime ratios (CPU time, ours / peer; below 1: ours is faster):\n");
    for (const SizeCase& k : kCases)
        benchkit::PrintRatio("display / SDL2 software, " + Name("", k).substr(1), time("Display", k), time("SDL", k), 1.0);
    for (const SizeCase& k : kCases)
        benchkit::PrintRatio("display (game's linear filter) / SDL2 software, " + Name("", k).substr(1),
                             time("DisplayLinear", k), time("SDL", k), 1.0);
    for (const SizeCase& k : kCases)
        benchkit::PrintRatio("display / pixman OVER, " + Name("", k).substr(1), time("Display", k), time("Pixman", k), 1.5);
    // The floor: 12 bytes a sprite pixel at in-cache memcpy speed, timed beside each case.
    std::printf("\nAgainst the in-cache memory floor (12 bytes a pixel at memcpy speed, measured with each case):\n");
    for (const SizeCase& k : kCases) {
        const double floorUs = time("Floor", k);
        if (floorUs <= 0) continue;
        for (const char* who : {"Display", "DisplayLinear", "Pixman", "SDL"}) {
            const double t = time(who, k);
            if (t <= 0) continue;
            const bool goal = k.size == 32 && std::string(who) == "Display";
            std::printf("  %-13s %-16s %6.2f x floor%s\n", who, Name("", k).substr(1).c_str(), t / floorUs,
                        goal ? (t / floorUs <= 4 ? "  (goal <= 4: met)" : "  (goal <= 4: missed)") : "");
        }
    }
    benchmark::Shutdown();
    return 0;
}
