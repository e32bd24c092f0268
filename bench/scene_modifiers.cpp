// 10,000 actors, each moved by a Mover2 and turned by a Rotator2 under endless one-second
// controllers, stepped by one cycle of the root per iteration; against the same position
// and rotation updates done by a plain loop over an array. Prints the scene's time over
// the loop's from rounds taken in turns, after checking that both computed the same values.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "scene/Actor.h"
#include "scene/RootItem.h"
#include "scene/Tweens.h"
#include "shell/Clock.h"
#include "shell/foundation/Log.h"

namespace {

constexpr int kActors = 10000;
constexpr int kPeriod = 1000;

int g_now = 1000;
int Now() { return g_now; }

struct Plain {
    float x, y, rotation;
    int startX, startY, destX, destY;
    float startRotation, destRotation;
    unsigned startTime;
};

struct Scene {
    my_intrusive_ptr<RootItem> root{new RootItem};
    std::vector<my_intrusive_ptr<Actor>> actors;
    std::vector<Plain> plain;

    Scene() {
        pf::SetNowMsSource(&Now);
        SetRootItem(root.get());
        for (int i = 0; i < kActors; ++i) {
            my_intrusive_ptr<Actor> a(new Actor);
            const pf::Point start(i % 800, i % 600), dest((i * 7) % 800, (i * 13) % 600);
            a->SetPosition(start);
            root->AddItem(a.get());
            my_intrusive_ptr<TimeController> move(new TimeController), turn(new TimeController);
            move->Init(kPeriod, TimeController::Forward, -1, nullptr);
            turn->Init(kPeriod, TimeController::Forward, -1, nullptr);
            a->AddModifier((new Mover2)->Init(dest), move.get());
            a->AddModifier((new Rotator2)->Init(float(i % 360) * 0.0174533f), turn.get());
            actors.push_back(a);
            plain.push_back(Plain{float(start.x), float(start.y), 0.0f, start.x, start.y, dest.x, dest.y, 0.0f,
                                  float(i % 360) * 0.0174533f, unsigned(root->GetTicks())});
        }
    }
    ~Scene() {
        SetRootItem(nullptr);
        pf::SetNowMsSource(nullptr);
    }

    void StepScene() { root->Cycle(); }
    void StepPlain() {
        const unsigned now = unsigned(root->GetTicks());
        for (Plain& p : plain) {
            const unsigned elapsed = now - p.startTime;
            const float s = float(elapsed % kPeriod) / float(kPeriod);
            p.x = float(p.startX + pf::TruncateToInt(double(float(p.destX - p.startX) * s)));
            p.y = float(p.startY + pf::TruncateToInt(double(float(p.destY - p.startY) * s)));
            p.rotation = p.startRotation + (p.destRotation - p.startRotation) * s;
        }
        benchmark::DoNotOptimize(plain.data());
    }
    // Both sides hold the same values for the time now.
    bool Agree() const {
        for (size_t i = 0; i < plain.size(); i += 997) {
            const pf::VectorT2 p = actors[i]->GetPositionF();
            if (p.x != plain[i].x || p.y != plain[i].y || std::fabs(actors[i]->GetRotation() - plain[i].rotation) > 1e-5f)
                return false;
        }
        return true;
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_SceneModifiers(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) {
        g_now += 7;
        s.StepScene();
    }
    state.counters["actors/s"] = benchmark::Counter(kActors, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SceneModifiers)->Unit(benchmark::kMillisecond);

void BM_PlainLoop(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) {
        g_now += 7;
        s.StepPlain();
    }
    state.counters["actors/s"] = benchmark::Counter(kActors, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    benchmark::Initialize(&argc, argv);
    benchkit::RunBenchmarks();
    Scene& s = TheScene();
    g_now += 123;
    s.StepScene();
    s.StepPlain();
    if (!s.Agree()) {
        std::printf("the scene and the plain loop disagree\n");
        return 1;
    }
    constexpr int kRounds = 30, kSteps = 10;
    benchkit::InTurns turns;
    const size_t ours = turns.Add("root cycle", kSteps, [&] {
        g_now += 7;
        s.StepScene();
    });
    const size_t peer = turns.Add("plain loop", kSteps, [&] {
        g_now += 7;
        s.StepPlain();
    });
    turns.Run(kRounds);
    std::printf("%d actors with a mover and a rotator, median of %d rounds of %d steps in turns: root cycle %.3f ms, "
                "plain loop %.3f ms\n",
                kActors, kRounds, kSteps, turns.Wall(ours) * 1e3, turns.Wall(peer) * 1e3);
    turns.PrintWallRatio(ours, peer, "root cycle / plain loop");
    benchmark::Shutdown();
    return 0;
}
