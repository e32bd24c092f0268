// Axis-aligned alpha-blended sprites drawn as the game draws them (through the display
// with its own default states: blending on, alpha test, colour white; and with the
// bilinear filter the game sets at start-up, "DisplayLinear") at sizes 16 x 16 to
// 256 x 256, each size about two million pixels a frame on an 800 x 600 target, side by
// side with SDL2's software renderer and with pixman's unscaled OVER of the same
// sprites (premultiplied) at the same positions. The memory floor is the bytes a sprite
// touches (read the texel, read and write the target pixel) over the in-cache memcpy
// bandwidth measured in the same run. The ratios come from rounds taken in turns for each
// size (display, display linear, SDL, pixman, floor), so a busy moment of the machine
// falls on all of them; each is the median of the rounds' own ratios.
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
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
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

// The display inside one frame, drawing the sprites once a call.
struct DisplaySprites {
    DisplayRig rig;
    bool exact;
    DisplaySprites(const SizeCase& k, pf::TextureFilter filter) : rig(k, filter), exact(rig.Check()) {
        rig.display.BeginFrame(nullptr);
    }
    ~DisplaySprites() { rig.display.EndFrame(); }
    const char* Failed() const { return exact ? nullptr : "the display's frame differs from the exact blend"; }
    void Frame() { rig.Draw(); }
};

// ---- SDL2's software renderer -------------------------------------------------------------

struct SdlSprites {
    SizeCase k;
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    std::vector<uint32_t> pixels;
    SDL_Surface* sprite = nullptr;
    SDL_Texture* texture = nullptr;
    std::vector<Pos> where;
    bool blended = false;

    explicit SdlSprites(const SizeCase& c) : k(c), pixels(MakeSprite(c.size)), where(Positions(c)) {
        sprite = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), k.size, k.size, 32, k.size * 4,
                                                    SDL_PIXELFORMAT_ARGB8888);
        texture = SDL_CreateTextureFromSurface(renderer, sprite);
        if (!texture) return;
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        SDL_FillRect(target, nullptr, kBackground);
        Frame();
        blended = MaxDifference(static_cast<const uint32_t*>(target->pixels), Reference(k, pixels, 0), target->pitch / 4) <=
                  kPeerTolerance;
    }
    ~SdlSprites() {
        if (texture) SDL_DestroyTexture(texture);
        if (sprite) SDL_FreeSurface(sprite);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (target) SDL_FreeSurface(target);
    }
    SdlSprites(const SdlSprites&) = delete;
    SdlSprites& operator=(const SdlSprites&) = delete;
    const char* Failed() const { return blended ? nullptr : "SDL's frame is not the blend"; }
    void Frame() {
        for (const Pos& p : where) {
            const SDL_Rect dst = {p.x, p.y, k.size, k.size};
            SDL_RenderCopy(renderer, texture, nullptr, &dst);
        }
        SDL_RenderFlush(renderer);
    }
};

// ---- pixman's unscaled OVER ---------------------------------------------------------------

struct PixmanSprites {
    SizeCase k;
    std::vector<uint32_t> target = std::vector<uint32_t>(size_t(kWidth) * kHeight, kBackground);
    std::vector<uint32_t> pixels;
    pixman_image_t* dst = nullptr;
    pixman_image_t* src = nullptr;
    std::vector<Pos> where;
    bool blended = false;

    explicit PixmanSprites(const SizeCase& c) : k(c), pixels(Premultiplied(MakeSprite(c.size))), where(Positions(c)) {
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, k.size, k.size, pixels.data(), k.size * 4);
        Frame();
        blended = MaxDifference(target.data(), Reference(k, MakeSprite(k.size), 0), kWidth) <= kPeerTolerance;
    }
    ~PixmanSprites() {
        pixman_image_unref(src);
        pixman_image_unref(dst);
    }
    PixmanSprites(const PixmanSprites&) = delete;
    PixmanSprites& operator=(const PixmanSprites&) = delete;
    const char* Failed() const { return blended ? nullptr : "pixman's frame is not the blend"; }
    void Frame() {
        for (const Pos& p : where)
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, p.x, p.y, k.size, k.size);
    }
};

// ---- the in-cache memory floor ------------------------------------------------------------

// The bytes a frame of the case moves (12 a sprite pixel) copied by memcpy through a
// buffer that stays in cache: the floor, timed in turns with the case's other work so a
// busy moment of the machine falls on it too.
struct MemoryFloor {
    std::vector<uint8_t> a = std::vector<uint8_t>(128 * 1024, 1), b = std::vector<uint8_t>(a.size());
    int reps;
    // memcpy moves each byte twice (read + write); whole copies of the buffer, within 1 %.
    explicit MemoryFloor(const SizeCase& k)
        : reps(std::max(1, int(12.0 * k.size * k.size * k.count / 2.0 / double(a.size()) + 0.5))) {}
    const char* Failed() const { return nullptr; }
    void Frame() {
        for (int i = 0; i < reps; ++i) {
            std::memcpy(b.data(), a.data(), a.size());
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
        }
    }
};

template <typename Work, typename... Args>
void BM_Frames(benchmark::State& state, SizeCase k, Args... args) {
    Work work(k, args...);
    if (const char* failed = work.Failed()) return state.SkipWithError(failed);
    for (auto _ : state) {
        work.Frame();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * k.count);
}

std::string Name(const char* what, const SizeCase& k) {
    return std::string(what) + "/" + std::to_string(k.size) + "x" + std::to_string(k.size) + "x" + std::to_string(k.count);
}

}  // namespace

// A case's work and its floor, measured in rounds taken in turns.
struct CaseInTurns {
    SizeCase k;
    DisplaySprites display{k, pf::TextureFilter::Auto}, linear{k, pf::TextureFilter::Linear};
    SdlSprites sdl{k};
    PixmanSprites pixman{k};
    MemoryFloor floor{k};
    benchkit::InTurns turns;
    std::map<std::string, size_t> at;  // by the benchmark's name

    explicit CaseInTurns(const SizeCase& c) : k(c) {
        constexpr int kFrames = 3;
        const auto add = [&](const char* who, auto& work) {
            at[who] = turns.Add(who, kFrames, [&work] {
                work.Frame();
                benchmark::ClobberMemory();
            });
        };
        add("Display", display);
        add("DisplayLinear", linear);
        add("SDL", sdl);
        add("Pixman", pixman);
        add("Floor", floor);
    }
    const char* Failed() const {
        for (const char* failed : {display.Failed(), linear.Failed(), sdl.Failed(), pixman.Failed()})
            if (failed) return failed;
        return nullptr;
    }
    void Print(const std::string& label, const char* who, const char* peer, double goal) const {
        turns.PrintProcessRatio(at.at(who), at.at(peer), label + ", " + Name("", k).substr(1), goal);
    }
};

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (const SizeCase& k : kCases) {
        benchmark::RegisterBenchmark(Name("Display", k).c_str(), BM_Frames<DisplaySprites, pf::TextureFilter>, k,
                                     pf::TextureFilter::Auto)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("DisplayLinear", k).c_str(), BM_Frames<DisplaySprites, pf::TextureFilter>, k,
                                     pf::TextureFilter::Linear)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("SDL", k).c_str(), BM_Frames<SdlSprites>, k)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("Pixman", k).c_str(), BM_Frames<PixmanSprites>, k)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("Floor", k).c_str(), BM_Frames<MemoryFloor>, k)->Unit(benchmark::kMicrosecond);
    }
    benchkit::RunBenchmarks();
    std::vector<std::unique_ptr<CaseInTurns>> cases;
    for (const SizeCase& k : kCases) {
        cases.push_back(std::make_unique<CaseInTurns>(k));
        if (const char* failed = cases.back()->Failed()) {
            std::fprintf(stderr, "%s: %s\n", Name("", k).substr(1).c_str(), failed);
            return 1;
        }
        cases.back()->turns.Run(11);
    }
    std::printf("\nTime ratios (CPU time, ours / peer; below 1: ours is faster):\n");
    for (const auto& c : cases) c->Print("display / SDL2 software", "Display", "SDL", 1.0);
    for (const auto& c : cases) c->Print("display (game's linear filter) / SDL2 software", "DisplayLinear", "SDL", 1.0);
    for (const auto& c : cases) c->Print("display / pixman OVER", "Display", "Pixman", 1.5);
    // The floor: 12 bytes a sprite pixel at in-cache memcpy speed, timed in turns with each case.
    std::printf("\nAgainst the in-cache memory floor (12 bytes a pixel at memcpy speed, measured with each case):\n");
    for (const auto& c : cases)
        for (const char* who : {"Display", "DisplayLinear", "Pixman", "SDL"})
            c->Print(std::string(who) + " / in-cache memory floor", who, "Floor", c->k.size == 32 && std::string(who) == "Display" ? 4 : 0);
    benchmark::Shutdown();
    return 0;
}
