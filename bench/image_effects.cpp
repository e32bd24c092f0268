// The four image effects of the module `game` on a 1024 x 1024 picture, each through the
// software display (a texture in, a new texture out), side by side with ImageMagick's
// nearest operation on the same picture, both on one thread. ImageMagick's time is that
// of `convert` reading the raw picture, running the operation and writing the raw result,
// less the time of the same command without the operation in the same round (medians of
// rounds taken in turns), so what remains is its work on the in-memory picture. Before timing, each effect's
// output is checked against ImageMagick's exact counterpart within a tolerance.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "game/EffectKernels.h"
#include "game/ImageEffects.h"
#include "scene/Actor.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/Surface.h"

namespace {

constexpr int kSide = 1024;
constexpr int kBlurRadius = 8;
constexpr int kGlowRadius = 3;
constexpr int kGlowBlur = 2;
const pf::Color kGlowColour(255, 200, 0, 255);

namespace fs = std::filesystem;

// Pictures as bytes b, g, r, a.
using Pixels = std::vector<uint8_t>;

// Smooth colour ramps with a little noise, opaque; with `shape`, only a disc in the middle
// is opaque and the rest transparent.
Pixels MakePicture(bool shape) {
    Pixels p(size_t(kSide) * kSide * 4);
    uint32_t seed = 12345;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            uint8_t* q = &p[(size_t(y) * kSide + size_t(x)) * 4];
            q[0] = uint8_t(std::clamp(x / 4 + noise, 0, 255));
            q[1] = uint8_t(std::clamp(y / 4 + noise, 0, 255));
            q[2] = uint8_t(std::clamp((x + y) / 8 + noise, 0, 255));
            const int dx = x - kSide / 2, dy = y - kSide / 2;
            q[3] = !shape || dx * dx + dy * dy < 300 * 300 ? 255 : 0;
        }
    return p;
}

// ImageMagick reads and writes raw RGBA; ours is BGRA.
Pixels SwapRedBlue(Pixels p) {
    for (size_t i = 0; i < p.size(); i += 4) std::swap(p[i], p[i + 2]);
    return p;
}

Pixels ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Pixels(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Pixels& p) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(p.data()), std::streamsize(p.size()));
}

// The blur's weights (r + 1 - |d|)^2 have this standard deviation.
double BlurSigma(int r) {
    double sum = 0, moment = 0;
    for (int d = -r; d <= r; ++d) {
        const double w = double(r + 1 - std::abs(d)) * (r + 1 - std::abs(d));
        sum += w;
        moment += w * d * d;
    }
    return std::sqrt(moment / sum);
}

// The blur's one-dimensional kernel as ImageMagick's kernel text, `n`x1 or 1x`n`.
std::string BlurKernel(int r, bool vertical) {
    const int n = 2 * r + 1;
    std::string k = vertical ? "1x" + std::to_string(n) + ":" : std::to_string(n) + "x1:";
    for (int d = -r; d <= r; ++d) k += (d == -r ? "" : ",") + std::to_string((r + 1 - std::abs(d)) * (r + 1 - std::abs(d)));
    return "'" + k + "'";
}

class Peer {
public:
    explicit Peer(const fs::path& dir) : in_(dir / "in.rgba"), shape_(dir / "shape.rgba"), out_(dir / "out.rgba") {}

    void WriteInputs(const Pixels& picture, const Pixels& shape) {
        WriteAll(in_, SwapRedBlue(picture));
        WriteAll(shape_, SwapRedBlue(shape));
    }

    // Runs convert with the operation; false when it fails.
    bool Run(const std::string& operation, bool onShape = false) const {
        const std::string command = "MAGICK_THREAD_LIMIT=1 convert -limit thread 1 -size " + std::to_string(kSide) +
                                    "x" + std::to_string(kSide) + " -depth 8 rgba:'" +
                                    (onShape ? shape_ : in_).string() + "' " + operation + " -depth 8 rgba:'" +
                                    out_.string() + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }
    // The operation's output, as bytes b, g, r, a.
    Pixels Output() const { return SwapRedBlue(ReadAll(out_)); }

private:
    fs::path in_, shape_, out_;
};

struct Engine {
    pf::HeadlessDisplayPlatform platform;
    pf::DisplayDX display{&platform};
    pf::SurfacePtr picture, shape;
    my_intrusive_ptr<Actor> actor{new Actor};

    Engine(Pixels& p, Pixels& s) {
        display.Init(800, 600, false, false, false);
        picture = display.CreateSurfaceFromImage(View(p, kSide, kSide));
        shape = display.CreateSurfaceFromImage(View(s, kSide, kSide));
    }
    static pf::PixelView View(Pixels& p, int w, int h) {
        pf::PixelView v;
        v.Set(w, h, 4, w * 4, pf::PixelFormat::A8R8G8B8, p.data());
        return v;
    }
    // Runs the effect on a fresh copy of the source picture.
    void Apply(const std::function<void(pf::Display*, Actor*)>& effect, bool onShape = false) {
        actor->SetSurface((onShape ? shape : picture).get());
        effect(&display, actor.get());
    }
    // The actor's picture as packed bytes b, g, r, a.
    Pixels Result(int& w, int& h) const {
        Pixels out;
        pf::SurfacePtr s = actor->GetSurface();
        pf::PixelView v = pf::LockView(s.get(), nullptr, true, false);
        w = v.width, h = v.height;
        if (v.data) {
            for (int y = 0; y < h; ++y) out.insert(out.end(), v.data + ptrdiff_t(y) * v.pitch, v.data + ptrdiff_t(y) * v.pitch + w * 4);
            s->Unlock();
        }
        return out;
    }
};

// The largest difference of any channel in the rectangle at (x0, y0) of ours (w wide)
// from the peer's picture (pw wide) at (x0 + shift, y0 + shift), over `size` pixels a side;
// channel -1 means all four.
int MaxDifference(const Pixels& ours, int w, const Pixels& peer, int pw, int x0, int y0, int size, int shift,
                  int channel = -1) {
    int worst = 0;
    for (int y = y0; y < y0 + size; ++y)
        for (int x = x0; x < x0 + size; ++x)
            for (int c = 0; c < 4; ++c) {
                if (channel >= 0 && c != channel) continue;
                const int a = ours[(size_t(y) * size_t(w) + size_t(x)) * 4 + size_t(c)];
                const int b = peer[(size_t(y + shift) * size_t(pw) + size_t(x + shift)) * 4 + size_t(c)];
                worst = std::max(worst, std::abs(a - b));
            }
    return worst;
}

struct Effect {
    const char* name;
    std::function<void(pf::Display*, Actor*)> run;
    bool onShape;
    std::string check;  // ImageMagick's exact counterpart, for the output check
    int tolerance;
    int channel;        // compared channel, -1 for all
    std::string timed;  // ImageMagick's nearest operation, timed
};

std::vector<Effect> Effects() {
    const double sigma = BlurSigma(kBlurRadius);
    char blur[64], glowBlur[64];
    std::snprintf(blur, sizeof blur, "-blur %dx%.4f", kBlurRadius, sigma);
    std::snprintf(glowBlur, sizeof glowBlur, "-blur %dx%.4f", kGlowBlur, BlurSigma(kGlowBlur));
    char sepia[200];
    const float* m = game::kSepiaMatrix;
    std::snprintf(sepia, sizeof sepia, "-color-matrix '%g %g %g %g %g %g %g %g %g'", m[0], m[1], m[2], m[3], m[4],
                  m[5], m[6], m[7], m[8]);
    const std::string convolve = "-define convolve:scale='!' -morphology Convolve " + BlurKernel(kBlurRadius, false) +
                                 " -morphology Convolve " + BlurKernel(kBlurRadius, true);
    const std::string glow = "-alpha extract -morphology Dilate Disk:" + std::to_string(kGlowRadius) + " " + glowBlur +
                             " -background 'rgb(255,200,0)' -alpha shape";
    return {
        {"desaturate", [](pf::Display* d, Actor* a) { game::Desaturate(d, a); }, false, "-grayscale Rec709Luma", 1, -1,
         "-colorspace Gray"},
        {"sepia", [](pf::Display* d, Actor* a) { game::CreateSepia(d, a, 1, nullptr); }, false, sepia, 1, -1,
         "-sepia-tone 80%"},
        {"blur", [](pf::Display* d, Actor* a) { game::CreateBlur(d, a, kBlurRadius, 1); }, false, convolve, 2, -1,
         blur},
        {"outer glow",
         [](pf::Display* d, Actor* a) { game::CreateOuterGlow(d, a, kGlowRadius, kGlowBlur, kGlowColour, 1); }, true,
         glow, 0, 3, glow},
    };
}

// Checks the effect's output against ImageMagick's counterpart; false with a message when
// they differ beyond the tolerance.
bool Check(Engine& engine, const Peer& peer, const Effect& e) {
    engine.Apply(e.run, e.onShape);
    int w = 0, h = 0;
    const Pixels ours = engine.Result(w, h);
    if (!peer.Run(e.check, e.onShape)) {
        std::fprintf(stderr, "%s: ImageMagick failed\n", e.name);
        return false;
    }
    const Pixels theirs = peer.Output();
    if (theirs.size() != size_t(kSide) * kSide * 4) {
        std::fprintf(stderr, "%s: ImageMagick gave %zu bytes\n", e.name, theirs.size());
        return false;
    }
    // The glow's canvas has a margin on every side; the blur is compared away from the
    // edges, where ImageMagick repeats the edge pixels and ours reweighs the taps inside.
    const int margin = e.onShape ? kGlowRadius + kGlowBlur + 1 : 0;
    if (ours.size() != size_t(w) * size_t(h) * 4 || w != kSide + 2 * margin || h != kSide + 2 * margin) {
        std::fprintf(stderr, "%s: the effect gave a %d x %d picture\n", e.name, w, h);
        return false;
    }
    int worst = 0;
    if (e.onShape) {
        // The glow's alpha where it is certain: well inside the disc and far outside it.
        worst = std::max(MaxDifference(ours, w, theirs, kSide, margin + 412, margin + 412, 200, -margin, 3),
                         MaxDifference(ours, w, theirs, kSide, margin + 10, margin + 10, 100, -margin, 3));
        const int inside = ours[(size_t(h / 2) * size_t(w) + size_t(w / 2)) * 4 + 3];
        if (inside != 255) worst = 256;
    } else {
        const int edge = e.name == std::string("blur") ? kBlurRadius : 0;
        worst = MaxDifference(ours, w, theirs, kSide, edge, edge, kSide - 2 * edge, 0, e.channel);
    }
    std::printf("%-11s output within %d of ImageMagick's '%s' (tolerance %d)\n", e.name, worst, e.check.c_str(),
                e.tolerance);
    return worst <= e.tolerance;
}

Engine* g_engine = nullptr;

void BM_Effect(benchmark::State& state, const Effect& e) {
    for (auto _ : state) {
        g_engine->Apply(e.run, e.onShape);
        benchmark::ClobberMemory();
    }
    state.counters["MPix/s"] =
        benchmark::Counter(double(kSide) * kSide / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    const fs::path dir = fs::temp_directory_path() / "ruv3_bench_effects";
    fs::create_directories(dir);
    Pixels picture = MakePicture(false), shape = MakePicture(true);
    Peer peer(dir);
    peer.WriteInputs(picture, shape);
    Engine engine(picture, shape);
    g_engine = &engine;

    const std::vector<Effect> effects = Effects();
    bool ok = true;
    for (const Effect& e : effects) ok = Check(engine, peer, e) && ok;
    if (!ok) {
        std::fprintf(stderr, "an effect's output differs from ImageMagick's beyond the tolerance\n");
        fs::remove_all(dir);
        return 1;
    }

    for (const Effect& e : effects)
        benchmark::RegisterBenchmark((std::string("BM_") + e.name).c_str(), BM_Effect, e)->Unit(benchmark::kMillisecond);
    benchkit::RunBenchmarks();

    // Per effect, in rounds taken in turns: the engine, ImageMagick's command with the
    // operation, and the same command without it, whose time is taken from the operation's.
    constexpr int kRounds = 5;
    bool ran = true;
    benchkit::InTurns turns;
    std::vector<std::pair<size_t, size_t>> pairs;
    for (const Effect& e : effects) {
        const size_t ours = turns.Add(e.name, 1, [&] { engine.Apply(e.run, e.onShape); });
        const size_t theirs = turns.Add(e.timed, 1, [&] { ran &= peer.Run(e.timed, e.onShape); });
        const size_t copy = turns.Add("plain copy", 1, [&] { ran &= peer.Run("", e.onShape); });
        turns.Less(theirs, copy);
        pairs.emplace_back(ours, theirs);
    }
    turns.Run(kRounds);
    if (!ran) {
        std::fprintf(stderr, "ImageMagick failed during the rounds\n");
        fs::remove_all(dir);
        return 1;
    }
    std::printf("\n1024 x 1024, one thread each, medians of %d rounds in turns: engine effect / ImageMagick operation\n",
                kRounds);
    for (size_t i = 0; i < effects.size(); ++i) {
        const Effect& e = effects[i];
        std::printf("  %-11s engine %7.2f ms, ImageMagick '%s' %7.2f ms\n", e.name, turns.Wall(pairs[i].first) * 1e3,
                    e.timed.c_str(), turns.Wall(pairs[i].second) * 1e3);
        turns.PrintWallRatio(pairs[i].first, pairs[i].second, std::string(e.name) + " (engine / ImageMagick)", 1.0);
    }
    benchmark::Shutdown();
    fs::remove_all(dir);
    return 0;
}
