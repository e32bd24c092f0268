// A frame like the sample's (a full-screen background, a few hundred alpha-blended
// sprites of 32 to 64 pixels, every eighth rotated, three lines of text) drawn in real
// windows through the display, with the bilinear filter the game sets at start-up, and
// through SDL2's software renderer, side by side, at 800 x 600 and 1920 x 1080; at
// 800 x 600 also with 1,000 more 40 px sprites. Present alone is timed against a memcpy
// of the frame. Every figure is the median over rounds taken in turns (display, SDL,
// present, memcpy), so a busy moment of the machine falls on all of them; CPU counts
// this process and the X server, which finishes each present.
//
// The two pictures are compared before any figure is printed: they differ only by the
// peers' rounding and the edges of the rotated sprites, never by a skipped sprite.
//
// Needs an X display: xvfb-run -a -s '-screen 0 1920x1200x24' build/bench_frame_vs_sdl
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/common/CpuMeter.h"
#include "bench/common/InTurns.h"
#include "bench/common/Sprites.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/NativeSurfaceDX.h"
#include "shell/platform/NativeWindow.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSpriteSizes[] = {32, 40, 48, 56, 64};
constexpr int kTextWidth = 420, kTextHeight = 20;

struct Placed {
    int image;  // index into the sprite images; -1 a text line
    int x, y;
    float angle;  // radians, clockwise on the screen
};

struct FrameCase {
    const char* name;
    int width, height, sprites, extra40;  // extra40: 40 px sprites added on top
};

// The opaque background: smooth gradients with a fine pattern, as a painted scene has.
std::vector<uint32_t> Background(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] = 0xFF000000u | uint32_t(32 + x * 160 / w + ((x ^ y) & 15)) << 16 |
                                    uint32_t(48 + y * 128 / h) << 8 | uint32_t(96 + ((x * 3 + y * 5) & 31));
    return px;
}

// A line of text as the font cache hands it over: white glyph strokes with soft edges on
// a transparent ground.
std::vector<uint32_t> TextLine(int seed) {
    std::vector<uint32_t> px(size_t(kTextWidth) * kTextHeight, 0x00FFFFFFu);
    std::mt19937 rng{uint32_t(seed)};
    for (int cell = 0; cell + 9 <= kTextWidth; cell += 9) {
        if (rng() % 6 == 0) continue;  // a space
        const uint32_t shape = rng();
        for (int y = 3; y < 17; ++y)
            for (int x = 0; x < 7; ++x) {
                const bool stem = (x == 1 && (shape & 1)) || (x == 5 && (shape & 2));
                const bool bar = (y == 3 && (shape & 4)) || (y == 10 && (shape & 8)) || (y == 16 && (shape & 16));
                const bool edge = (x == 0 || x == 2 || x == 4 || x == 6) && (shape & 3);
                const uint32_t a = stem || bar ? 255u : edge ? 70u : 0u;
                px[size_t(y) * kTextWidth + cell + x] = a << 24 | 0x00FFFFFFu;
            }
    }
    return px;
}

struct Content {
    int width, height;
    std::vector<uint32_t> background;
    std::vector<std::vector<uint32_t>> sprites;
    std::vector<std::vector<uint32_t>> text;
    std::vector<Placed> placed;

    explicit Content(const FrameCase& c) : width(c.width), height(c.height), background(Background(c.width, c.height)) {
        for (int n : kSpriteSizes) sprites.push_back(benchkit::MakeSoftSprite(n));
        for (int i = 0; i < 3; ++i) text.push_back(TextLine(i + 1));
        std::mt19937 rng(uint32_t(c.width * 7 + c.sprites + c.extra40));
        for (int i = 0; i < c.sprites + c.extra40; ++i) {
            const int image = i < c.sprites ? int(rng() % std::size(kSpriteSizes)) : 1;  // 1: 40 px
            const int n = kSpriteSizes[image];
            const float angle = i % 8 == 7 ? float(rng() % 628) / 100.0f : 0.0f;
            placed.push_back({image, int(rng() % uint32_t(c.width - n)), int(rng() % uint32_t(c.height - n)), angle});
        }
        for (int i = 0; i < 3; ++i) placed.push_back({-1 - i, 24, 24 + 26 * i, 0.0f});
    }
    int Size(const Placed& p) const { return p.image >= 0 ? kSpriteSizes[p.image] : kTextWidth; }
    int Height(const Placed& p) const { return p.image >= 0 ? kSpriteSizes[p.image] : kTextHeight; }
};

pf::SurfacePtr Upload(pf::DisplayDX& display, const std::vector<uint32_t>& px, int w, int h) {
    pf::MemorySurface image(w, h);
    pf::PixelView v = image.GetView();
    for (int y = 0; y < h; ++y) std::memcpy(v.data + y * v.pitch, &px[size_t(y) * w], size_t(w) * 4);
    return display.CreateSurfaceFromImage(v);
}

// ---- the display ---------------------------------------------------------------------------

struct Engine {
    const Content& c;
    pf::DisplayDX display;
    pf::SurfacePtr background;
    std::vector<pf::SurfacePtr> sprites, text;
    std::vector<pf::MatrixT> where;
    bool ok = false;

    explicit Engine(const Content& content) : c(content) {
        if (!display.Init(c.width, c.height, false, false, false)) return;
        display.SetTextureFilter(pf::TextureFilter::Linear);  // as the game sets it
        background = Upload(display, c.background, c.width, c.height);
        for (size_t i = 0; i < c.sprites.size(); ++i) sprites.push_back(Upload(display, c.sprites[i], kSpriteSizes[i], kSpriteSizes[i]));
        for (const auto& t : c.text) text.push_back(Upload(display, t, kTextWidth, kTextHeight));
        for (const Placed& p : c.placed) {
            const float w = float(c.Size(p)), h = float(c.Height(p));
            pf::MatrixT m = pf::MatrixT::MakeTranslation(pf::VectorT3(float(p.x), float(p.y), 0));
            if (p.angle != 0) {
                pf::MatrixT r = pf::MatrixT::MakeIdentity();
                r.RotationZ(p.angle);
                m = pf::MatrixT::MakeTranslation(pf::VectorT3(-w / 2, -h / 2, 0)) * r *
                    pf::MatrixT::MakeTranslation(pf::VectorT3(float(p.x) + w / 2, float(p.y) + h / 2, 0));
            }
            where.push_back(m);
        }
        ok = bool(background);
    }
    void Frame() {
        display.BeginFrame(nullptr);
        display.SetColor(255, 255, 255, 255);
        display.SetTransform(pf::MatrixT::MakeIdentity());
        const pf::Rect full(0, 0, c.width, c.height);
        background->Draw(&display, nullptr, &full);
        for (size_t i = 0; i < c.placed.size(); ++i) {
            const Placed& p = c.placed[i];
            display.SetTransform(where[i]);
            const pf::Rect dst(0, 0, c.Size(p), c.Height(p));
            (p.image >= 0 ? sprites[size_t(p.image)] : text[size_t(-1 - p.image)])->Draw(&display, nullptr, &dst);
        }
        display.EndFrame();
    }
    std::vector<uint32_t> Picture() {
        my_intrusive_ptr<pf::DeviceSurface> bb = display.GetDevice()->GetBackBuffer();
        std::vector<uint32_t> px(size_t(c.width) * c.height);
        pf::LockedRect locked;
        if (bb->LockRect(nullptr, pf::LockReadOnly, locked) != pf::DeviceResult::Ok) return {};
        for (int y = 0; y < c.height; ++y) std::memcpy(&px[size_t(y) * c.width], locked.bits + size_t(y) * locked.pitch, size_t(c.width) * 4);
        bb->UnlockRect();
        return px;
    }
    bool Present() { return display.GetDevice()->Present() == pf::DeviceResult::Ok; }
};

// ---- SDL2's software renderer on a window of its own -----------------------------------------

struct Sdl {
    const Content& c;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* background = nullptr;
    std::vector<SDL_Texture*> sprites, text;

    SDL_Texture* Upload(const std::vector<uint32_t>& px, int w, int h, SDL_BlendMode mode) {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(px.data()), w, h, 32, w * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
        SDL_Texture* t = s ? SDL_CreateTextureFromSurface(renderer, s) : nullptr;
        if (s) SDL_FreeSurface(s);
        if (t) SDL_SetTextureBlendMode(t, mode);
        return t;
    }
    explicit Sdl(const Content& content) : c(content) {
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        window = SDL_CreateWindow("SDL2 software renderer", 0, 0, c.width, c.height, SDL_WINDOW_SHOWN);
        renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
        if (!renderer) return;
        background = Upload(c.background, c.width, c.height, SDL_BLENDMODE_NONE);
        for (size_t i = 0; i < c.sprites.size(); ++i)
            sprites.push_back(Upload(c.sprites[i], kSpriteSizes[i], kSpriteSizes[i], SDL_BLENDMODE_BLEND));
        for (const auto& t : c.text) text.push_back(Upload(t, kTextWidth, kTextHeight, SDL_BLENDMODE_BLEND));
    }
    ~Sdl() {
        for (SDL_Texture* t : sprites) SDL_DestroyTexture(t);
        for (SDL_Texture* t : text) SDL_DestroyTexture(t);
        if (background) SDL_DestroyTexture(background);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
    }
    bool Ok() const { return background != nullptr; }
    void Draw() {
        SDL_RenderCopy(renderer, background, nullptr, nullptr);
        for (const Placed& p : c.placed) {
            const SDL_Rect dst{p.x, p.y, c.Size(p), c.Height(p)};
            SDL_Texture* t = p.image >= 0 ? sprites[size_t(p.image)] : text[size_t(-1 - p.image)];
            if (p.angle != 0) SDL_RenderCopyEx(renderer, t, nullptr, &dst, double(p.angle) * 180.0 / kPi, nullptr, SDL_FLIP_NONE);
            else SDL_RenderCopy(renderer, t, nullptr, &dst);
        }
    }
    void Frame() {
        Draw();
        SDL_RenderPresent(renderer);
    }
    std::vector<uint32_t> Picture() {
        Draw();
        std::vector<uint32_t> px(size_t(c.width) * c.height);
        if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, px.data(), c.width * 4) != 0) return {};
        SDL_RenderPresent(renderer);
        return px;
    }
};

// ---- the pictures ----------------------------------------------------------------------------

struct Comparison {
    double meanDifference = 0;  // per colour channel
    double farOff = 0;          // share of pixels with a channel more than 48 apart
    double drawnOver = 0;       // share of the display's pixels away from the background
};

Comparison Compare(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& peer, const std::vector<uint32_t>& bg) {
    Comparison r;
    if (ours.size() != peer.size() || ours.empty()) return {1e9, 1, 0};
    double sum = 0;
    size_t far = 0, drawn = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        int worst = 0, fromBg = 0;
        for (int sh = 0; sh < 24; sh += 8) {
            const int d = std::abs(int((ours[i] >> sh) & 255) - int((peer[i] >> sh) & 255));
            sum += d;
            worst = std::max(worst, d);
            fromBg = std::max(fromBg, std::abs(int((ours[i] >> sh) & 255) - int((bg[i] >> sh) & 255)));
        }
        far += worst > 48;
        drawn += fromBg > 24;
    }
    r.meanDifference = sum / (3.0 * double(ours.size()));
    r.farOff = double(far) / double(ours.size());
    r.drawnOver = double(drawn) / double(ours.size());
    return r;
}

// ---- the rounds ------------------------------------------------------------------------------

bool RunCase(const FrameCase& fc, int server) {
    const Content content(fc);
    Engine engine(content);
    Sdl sdl(content);
    if (!engine.ok || !sdl.Ok()) {
        std::fprintf(stderr, "%s: could not set up the display or SDL's renderer: %s\n", fc.name, SDL_GetError());
        return false;
    }
    // The windows may take a moment to be mapped; a few frames each first.
    for (int i = 0; i < 5; ++i) {
        engine.Frame();
        sdl.Frame();
        SDL_PumpEvents();
    }
    engine.Frame();
    const Comparison cmp = Compare(engine.Picture(), sdl.Picture(), content.background);
    const bool pictureOk = cmp.meanDifference < 2.0 && cmp.farOff < 0.01 && cmp.drawnOver > 0.05;
    std::printf("\n%s: %d x %d, %zu sprites and 3 text lines\n", fc.name, fc.width, fc.height, content.placed.size() - 3);
    std::printf("  pictures: mean channel difference %.3f, %.3f %% of pixels far apart, %.1f %% drawn over the "
                "background: %s\n",
                cmp.meanDifference, cmp.farOff * 100, cmp.drawnOver * 100, pictureOk ? "same frame" : "DIFFERENT");
    if (!pictureOk) return false;

    benchkit::FrameCopy copy(size_t(fc.width) * size_t(fc.height) * 4);
    const int frames = std::max(4, int(12e6 / (double(fc.width) * fc.height)));  // a round of ~20-60 ms each
    constexpr int kRounds = 21;
    bool presented = true;
    // Each window comes to the top for its own turns: the server copies only what shows.
    SDL_Window* engineWindow = engine.display.GetWindow() ? engine.display.GetWindow()->GetSdlWindow() : nullptr;
    const auto raise = [](SDL_Window* w) {
        return [w] {
            if (w) SDL_RaiseWindow(w);
            SDL_PumpEvents();
        };
    };
    using M = benchkit::InTurns::Measure;
    benchkit::InTurns turns;
    const size_t display = turns.Add("display", frames, [&] { engine.Frame(); }, server, raise(engineWindow));
    const size_t peer = turns.Add("SDL2", frames, [&] { sdl.Frame(); }, server, raise(sdl.window));
    const size_t present = turns.Add("present", frames, [&] { presented &= engine.Present(); }, server, raise(engineWindow));
    const size_t floor = turns.Add("memcpy", frames, copy);
    turns.Run(kRounds);
    if (!presented) {
        std::fprintf(stderr, "%s: a present failed\n", fc.name);
        return false;
    }
    const double ms = 1e3;
    std::printf("  per frame (median of %d rounds of %d): display %.3f ms CPU (%.3f wall), SDL2 software %.3f ms CPU "
                "(%.3f wall)%s\n",
                kRounds, frames, turns.Cpu(display) * ms, turns.Wall(display) * ms, turns.Cpu(peer) * ms,
                turns.Wall(peer) * ms, server > 0 ? "; CPU counts the X server" : "; no X server found: CPU is ours alone");
    std::printf("  present %.3f ms CPU (%.3f ours, %.3f wall), memcpy of the frame %.3f ms\n", turns.Cpu(present) * ms,
                turns.Median(present, M::Process) * ms, turns.Wall(present) * ms, turns.Wall(floor) * ms);
    // Each ratio is the median of the rounds' own ratios.
    turns.PrintCpuRatio(display, peer, std::string("display / SDL2 software renderer, frame CPU, ") + fc.name, 0.6);
    turns.PrintRatio(std::string("present CPU (with the X server) / memcpy of the frame, ") + fc.name, present, M::Cpu,
                     floor, M::Wall, 1.5);
    turns.PrintRatio(std::string("present CPU (this process) / memcpy of the frame, ") + fc.name, present, M::Process,
                     floor, M::Wall, 1.5);
    // The goals of the game's own sample scene (bench_game_frame), for comparison.
    if (fc.width == 800 && fc.height == 600)
        benchkit::PrintAgainstGoal("display frame CPU (the sample scene's goal)", turns.Cpu(display) * ms, "ms",
                                   fc.extra40 > 0 ? 4.0 : 1.2);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_frame_vs_sdl: needs an X display; run it as\n"
                             "    xvfb-run -a -s '-screen 0 1920x1200x24' %s\n", argv[0]);
        return 1;
    }
    const int server = benchkit::FindXServer();
    const FrameCase cases[] = {{"800x600", 800, 600, 300, 0},
                               {"800x600 with 1000 more 40 px sprites", 800, 600, 300, 1000},
                               {"1920x1080", 1920, 1080, 300, 0}};
    bool ok = true;
    // An argument picks the cases whose name holds it (for profiling one of them).
    for (const FrameCase& fc : cases)
        if (argc < 2 || std::strstr(fc.name, argv[1])) ok &= RunCase(fc, server);
    return ok ? 0 : 1;
}
