// The game on its sample content in an 800 x 600 window on the software device: the time
// from the process's start to its first frame, the time of a frame, and the resident
// memory once frames run, each against a bare clear and present of the same window (the
// floor). Needs an X display: xvfb-run -a -s '-screen 0 1280x1024x24' build/bench_game_frame
//
// A frame is the game's own step (events, cycle, draw, present) on whatever scene the
// start-up script installed: the sample scene once the script can build one, until then
// the cleared frame the game draws without a scene. The loading screen, built as the game
// builds it from the same archive, is measured beside it as a frame with real content.
// The pictures are checked before any figure is printed, so no drawing is skipped.
//
// The ratios to the floors come from rounds taken in turns: the sample scene's frame (and
// the loading screen's; then the scene with 1,000 more 40 px sprites added) with a memcpy
// of the frame (the least a frame of that size costs) and a bare clear and present of the
// same window. CPU counts this process and the X server, which finishes each present;
// figures are medians.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/BenchSupport.h"
#include "bench/common/CpuMeter.h"
#include "bench/common/InTurns.h"
#include "bench/common/Sprites.h"
#include "content/ResourceServices.h"
#include "content/Resources.h"
#include "game/LoadingScreen.h"
#include "game/TM5Game.h"
#include "scene/Actor.h"
#include "scene/RootItem.h"
#include "shell/Application.h"
#include "shell/DisplayDX.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/render/SoftDevice.h"
#include "shell/render/SoftDeviceTexture.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartSamples = 5;
constexpr double kFirstFrameGoalMs = 300;
constexpr double kFrameGoalMs = 4;
constexpr double kSceneCpuGoalMs = 1.2;         // the sample scene's frame, CPU
constexpr double kSceneExtraCpuGoalMs = 4;      // with 1,000 more 40 px sprites
constexpr int kExtraSprites = 1000, kExtraSize = 40;
constexpr double kResidentGoalMb = 100;

// A folder of its own to run in: the sample archive as the working folder's data.zip, a
// user folder whose options ask for a window, and a runtime folder for the instance lock.
fs::path PrepareRunFolder() {
    char pattern[] = "/tmp/bench_game_frame.XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    fs::create_directories(dir / "run");
    fs::copy_file(GAME_DATA_ZIP, dir / "run" / "data.zip");
    fs::create_directories(dir / "home/Tarn/Tessmar5");
    std::ofstream(dir / "home/Tarn/Tessmar5/options.cfg") << "[main]\nfullScreen=false\n";
    fs::create_directories(dir / "runtime");
    setenv("XDG_DATA_HOME", (dir / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    fs::current_path(dir / "run");
    return dir;
}

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double ResidentMb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The game run as the process entry runs it. Its Start goes on into the message loop's
// first frame and then hands over to `measure`, which steps further frames itself; after
// that the application's own loop ends the run with one more frame, Shutdown and Release.
class MeasuredGame : public TM5Game {
public:
    explicit MeasuredGame(std::function<void(MeasuredGame&)> measure) : measure_(std::move(measure)) {}

    void Start() override {
        TM5Game::Start();
        App().AttachWindow();
        Frame();
        measure_(*this);
        App().QuitAfterCycle();
    }
    void Frame() { App().RunFrame(false, lastTick_, sleepMs_); }
    static pf::ApplicationWin32& App() { return pf::Application2::GetInstance(); }
    static pf::DisplayDX& Display() { return *App().GetDisplayDX(); }
    static bool HasScene() { return GetRootItem() != nullptr; }

private:
    std::function<void(MeasuredGame&)> measure_;
    int lastTick_ = 0;
    int sleepMs_ = 0;
};

// Runs the game as the process entry does; `measure` runs after its first frame.
void RunGame(std::function<void(MeasuredGame&)> measure) {
    MeasuredGame::App().Run(new MeasuredGame(std::move(measure)), "");
}

struct StartSample {
    double ms = -1;
    bool scene = false;
};

// One start in a process of its own (the interpreter starts once per process).
StartSample MeasureStartInChild() {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Clock::time_point t0 = Clock::now();
        StartSample sample;
        RunGame([&](MeasuredGame&) { sample = StartSample{MsSince(t0), MeasuredGame::HasScene()}; });
        const bool written = write(fds[1], &sample, sizeof sample) == ssize_t(sizeof sample);
        _exit(written && sample.ms >= 0 ? 0 : 1);
    }
    close(fds[1]);
    StartSample sample;
    if (pid < 0 || read(fds[0], &sample, sizeof sample) != ssize_t(sizeof sample)) sample = {};
    close(fds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return sample;
}

// The loading screen as the game builds it, from the same archive and on the same display.
struct LoadingScreen {
    my_intrusive_ptr<RootItem> root{new RootItem()};
    std::unique_ptr<Resources> resources{new Resources(ResourceServices::FromApplication())};
    bool loaded = resources->load(TM5Game::kLoadingScreen, nullptr);
    LoadingScreen() { game::BuildLoadingScreen(*root, *resources); }
    void Frame(pf::Display& display) {
        root->Cycle();
        if (display.BeginFrame(nullptr)) root->Render(display);
        display.EndFrame();
    }
};

std::unique_ptr<LoadingScreen> g_loading;

LoadingScreen& Loading() {
    if (!g_loading) g_loading = std::make_unique<LoadingScreen>();
    return *g_loading;
}

// The back buffer's pixel as 0xRRGGBB (the device keeps it after presenting).
uint32_t PixelAt(pf::DisplayDX& display, int x, int y) {
    my_intrusive_ptr<pf::DeviceSurface> back = display.GetDevice()->GetBackBuffer();
    pf::LockedRect locked;
    const pf::Rect one(x, y, 1, 1);
    if (!back || back->LockRect(&one, 0, locked) != pf::DeviceResult::Ok) return 0xFFFFFFFFu;
    const uint32_t pixel = *reinterpret_cast<const uint32_t*>(locked.bits) & 0xFFFFFFu;
    back->UnlockRect();
    return pixel;
}

MeasuredGame* g_game = nullptr;

void BM_GameFrame(benchmark::State& state) {
    for (auto _ : state) g_game->Frame();
    state.SetLabel(MeasuredGame::HasScene() ? "sample scene" : "no scene installed yet: the cleared frame");
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_LoadingScreenFrame(benchmark::State& state) {
    pf::DisplayDX& display = MeasuredGame::Display();
    for (auto _ : state) Loading().Frame(display);
}
BENCHMARK(BM_LoadingScreenFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ClearAndPresent(benchmark::State& state) {
    pf::DisplayDX& display = MeasuredGame::Display();
    for (auto _ : state) {
        display.BeginFrame(nullptr);
        display.EndFrame();
    }
}
BENCHMARK(BM_ClearAndPresent)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Rounds taken in turns: the game's frame, a bare clear and present of its window, a
// memcpy of a frame of the window's size; medians per frame and per-round ratios.
void MeasureAndPrintInTurns(MeasuredGame& game, int server, const char* what, double goal, bool withLoading) {
    pf::DisplayDX& display = MeasuredGame::Display();
    benchkit::FrameCopy copy(size_t(display.GetWidth()) * size_t(display.GetHeight()) * 4);
    constexpr int kRounds = 15, kFrames = 20;
    using M = benchkit::InTurns::Measure;
    benchkit::InTurns turns;
    const size_t frame = turns.Add("frame", kFrames, [&] { game.Frame(); }, server);
    const size_t bare = turns.Add("bare clear + present", kFrames,
                                  [&] {
                                      display.BeginFrame(nullptr);
                                      display.EndFrame();
                                  },
                                  server);
    const size_t floor = turns.Add("memcpy of the frame", kFrames, copy);
    // The loading screen's frame, timed in the same rounds, when asked for.
    const size_t loading = withLoading ? turns.Add("loading screen", kFrames, [&] { Loading().Frame(display); }, server)
                                       : size_t(-1);
    turns.Run(kRounds);
    const double frameCpu = turns.Cpu(frame) * 1e3;
    std::printf("  %s: frame %.3f ms CPU (%.3f ms wall); in turns with it a bare clear + present %.3f ms CPU, "
                "a memcpy of the frame %.3f ms\n",
                what, frameCpu, turns.Wall(frame) * 1e3, turns.Cpu(bare) * 1e3, turns.Wall(floor) * 1e3);
    benchkit::PrintAgainstGoal(std::string(what) + ", frame CPU", frameCpu, "ms", goal);
    turns.PrintRatio(std::string(what) + " / memcpy of the frame", frame, M::Cpu, floor, M::Wall);
    turns.PrintRatio(std::string(what) + " / bare clear + present", frame, M::Cpu, bare, M::Cpu);
    if (withLoading) turns.PrintRatio("loading screen / bare clear + present", loading, M::Cpu, bare, M::Cpu);
}

// 1,000 soft round 40 px sprites added to the scene, spread over the window; true when
// most of the checked centres show the sprite's centre colour after a frame.
bool AddExtraSprites(MeasuredGame& game) {
    RootItem* root = GetRootItem();
    if (!root) return false;
    pf::DisplayDX& display = MeasuredGame::Display();
    const auto px = benchkit::MakeSoftSprite(kExtraSize);
    pf::MemorySurface image(kExtraSize, kExtraSize);
    pf::PixelView v = image.GetView();
    for (int y = 0; y < kExtraSize; ++y) std::memcpy(v.data + y * v.pitch, &px[size_t(y) * kExtraSize], kExtraSize * 4);
    pf::SurfacePtr surface = display.CreateSurfaceFromImage(v);
    if (!surface) return false;
    std::vector<pf::Point> where;
    for (int i = 0; i < kExtraSprites; ++i) {
        my_intrusive_ptr<Actor> actor(new Actor());
        actor->SetSurface(surface.get());
        where.push_back(pf::Point(i * 37 % (display.GetWidth() - kExtraSize), i * 53 % (display.GetHeight() - kExtraSize)));
        actor->SetPosition(where.back());
        root->AddItem(actor.get());
    }
    game.Frame();
    const uint32_t centre = px[size_t(kExtraSize / 2) * kExtraSize + kExtraSize / 2] & 0xFFFFFFu;
    // The centres no later sprite covers (the scene's own sparks may still pass over one).
    int shown = 0, checked = 0;
    for (size_t i = where.size() - 100; i < where.size(); ++i) {
        const int cx = where[i].x + kExtraSize / 2, cy = where[i].y + kExtraSize / 2;
        bool covered = false;
        for (size_t j = i + 1; j < where.size(); ++j)
            covered |= cx >= where[j].x && cx < where[j].x + kExtraSize && cy >= where[j].y && cy < where[j].y + kExtraSize;
        if (covered) continue;
        ++checked;
        shown += PixelAt(display, cx, cy) == centre;
    }
    return checked > 0 && shown * 10 >= checked * 9;
}

void Report(const std::vector<StartSample>& starts, benchkit::TimesReporter& reporter, double resident, bool scene) {
    std::printf("\nThe game on its sample content, 800 x 600 window, software device (%s):\n",
                scene ? "the start-up script's sample scene" : "no scene from the start-up script yet");
    const bool allStarted = std::all_of(starts.begin(), starts.end(), [](const StartSample& s) { return s.ms >= 0; });
    if (allStarted && !starts.empty()) {
        std::vector<double> ms;
        for (const StartSample& s : starts) ms.push_back(s.ms);
        std::sort(ms.begin(), ms.end());
        std::printf("  start to first frame over %zu starts: best %.1f ms, median %.1f ms, worst %.1f ms\n",
                    ms.size(), ms.front(), ms[ms.size() / 2], ms.back());
        benchkit::PrintAgainstGoal(starts[0].scene ? "start to first frame of the sample scene (median)"
                                         : "start to first frame, cleared (median)",
                         ms[ms.size() / 2], "ms", kFirstFrameGoalMs);
    } else {
        std::printf("  start to first frame: a measuring start failed (its log is in the run folder)\n");
    }
    const double floor = reporter.times["BM_ClearAndPresent/min_time:1.000"];
    const double frame = reporter.times["BM_GameFrame/min_time:1.000"];
    const double loading = reporter.times["BM_LoadingScreenFrame/min_time:1.000"];
    benchkit::PrintAgainstGoal(scene ? "frame of the sample scene" : "game frame, no scene (cleared)", frame, "ms",
                               kFrameGoalMs);
    benchkit::PrintAgainstGoal("frame of the loading screen", loading, "ms", kFrameGoalMs);
    benchkit::PrintAgainstGoal("resident memory after the frames", resident, "MB", kResidentGoalMb);
    if (floor > 0)  // the ratios to it come from the rounds in turns below
        std::printf("  a bare clear + present of the same window alone: %.3f ms\n", floor);
}

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_game_frame: needs an X display; run it as\n"
                             "    xvfb-run -a -s '-screen 0 1280x1024x24' %s\n", argv[0]);
        return 1;
    }
    const fs::path dir = PrepareRunFolder();

    // Starts first, each in a fresh process, before this one brings anything up.
    std::vector<StartSample> starts;
    for (int i = 0; i < kStartSamples; ++i) starts.push_back(MeasureStartInChild());

    bool pictureOk = false;
    RunGame([&](MeasuredGame& running) {
        g_game = &running;
        pf::DisplayDX& display = MeasuredGame::Display();
        // The pictures first: the loading screen's background at its top left (drawn by
        // the build as #1b2a4a), and the game's frame: the sample scene's background there
        // (#20304a), black while no scene is installed.
        Loading().Frame(display);
        const uint32_t loadingPixel = PixelAt(display, 5, 5);
        running.Frame();
        const uint32_t gamePixel = PixelAt(display, 5, 5);
        const bool scene = MeasuredGame::HasScene();
        pictureOk = Loading().loaded && loadingPixel == 0x1b2a4a && gamePixel == (scene ? 0x20304au : 0u);
        if (!pictureOk)
            std::fprintf(stderr,
                         "bench_game_frame: wrong picture: loading screen %06x (want 1b2a4a), "
                         "game frame %06x (want %06x)\n",
                         loadingPixel, gamePixel, scene ? 0x20304au : 0u);

        benchkit::TimesReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        for (int i = 0; i < 200; ++i) running.Frame();
        const double resident = ResidentMb();
        Report(starts, reporter, resident, scene);
        const int server = benchkit::FindXServer();
        std::printf("\nIn turns with its floors (median of 15 rounds of 20 frames; CPU %s):\n",
                    server > 0 ? "of this process and the X server" : "of this process alone, no X server found");
        MeasureAndPrintInTurns(running, server, scene ? "sample scene" : "game frame without a scene", kSceneCpuGoalMs, true);
        if (AddExtraSprites(running)) {
            MeasureAndPrintInTurns(running, server, "with 1000 more 40 px sprites", kSceneExtraCpuGoalMs, false);
        } else {
            std::fprintf(stderr, "bench_game_frame: the 1000 added sprites do not show\n");
            pictureOk = false;
        }
        g_loading.reset();  // before the game shuts down its services
        g_game = nullptr;
    });

    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return pictureOk ? 0 : 1;
}
