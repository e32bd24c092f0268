// The cost of the engine's calls into scripts and of scripts' calls into the engine, side
// by side with the same work done by plain Python in the same interpreter:
//  - one root cycle over 1,000 script items whose class overrides Cycle, against a Python
//    loop calling the same method on 1,000 plain Python objects;
//  - reading and writing Item.position and calling Actor.SetAlpha 1,000,000 times, against
//    the same attribute access and call on a plain Python class.
// Prints both ratios (engine time / Python time) from rounds taken in turns.
#include <benchmark/benchmark.h>
#include <boost/python.hpp>

#include <cstdio>

#include "bench/common/ConsoleOutput.h"
#include "bench/common/InTurns.h"
#include "scene/Item.h"
#include "scene/ItemLeakDetector.h"
#include "script/PythonHost.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"

namespace {

namespace bp = boost::python;

constexpr int kItems = 1000;
constexpr int kAccesses = 1000000;

const char kScript[] = R"(
import ruv3

class Ticker(ruv3.Item):
    def __init__(self):
        ruv3.Item.__init__(self)
        self.pythonOverloads = True
        self.n = 0
    def Cycle(self):
        self.n += 1

class PlainTicker(object):
    def __init__(self):
        self.n = 0
    def Cycle(self):
        self.n += 1

root = ruv3.Item()
tickers = [Ticker() for _ in range(1000)]
for t in tickers:
    root.AddItem(t)
plain = [PlainTicker() for _ in range(1000)]

def cycle_plain():
    for o in plain:
        o.Cycle()

class PlainActor(object):
    def __init__(self):
        self.position = (0, 0)
        self.alpha = 255
    def SetAlpha(self, a):
        self.alpha = a
        return a

actor = ruv3.Actor()
plain_actor = PlainActor()

def access(a, n):
    for i in range(n):
        p = a.position
        a.position = p
        a.SetAlpha(i & 255)
)";

struct World {
    pf::FileSystemWin32 fs;
    PythonHost host;
    bp::object ns;
    Item* root = nullptr;

    World() {
        host.Init(&fs);
        ns = bp::dict();
        ns["__builtins__"] = bp::import("builtins");
        bp::exec(kScript, ns, ns);
        root = bp::extract<Item*>(ns["root"]);
    }
    int TickerCount(int i) { return bp::extract<int>(ns["tickers"][i].attr("n")); }
    int PlainCount(int i) { return bp::extract<int>(ns["plain"][i].attr("n")); }
};

World& TheWorld() {
    static World* world = new World();
    return *world;
}

void EngineCycle() { TheWorld().root->Cycle(); }
void PythonCycle() { TheWorld().ns["cycle_plain"](); }
void EngineAccess() { TheWorld().ns["access"](bp::object(TheWorld().ns["actor"]), kAccesses); }
void PythonAccess() { TheWorld().ns["access"](bp::object(TheWorld().ns["plain_actor"]), kAccesses); }

void BM_EngineCyclesScriptItems(benchmark::State& state) {
    for (auto _ : state) EngineCycle();
}
BENCHMARK(BM_EngineCyclesScriptItems)->Unit(benchmark::kMicrosecond);

void BM_PythonLoopCyclesPlainObjects(benchmark::State& state) {
    for (auto _ : state) PythonCycle();
}
BENCHMARK(BM_PythonLoopCyclesPlainObjects)->Unit(benchmark::kMicrosecond);

void BM_ItemPositionAndSetAlpha(benchmark::State& state) {
    for (auto _ : state) EngineAccess();
}
BENCHMARK(BM_ItemPositionAndSetAlpha)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlainClassPositionAndSetAlpha(benchmark::State& state) {
    for (auto _ : state) PythonAccess();
}
BENCHMARK(BM_PlainClassPositionAndSetAlpha)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    pf::SetLogToStderr(false);
    ItemLeakDetector::Initialize();
    benchmark::Initialize(&argc, argv);
    World& w = TheWorld();
    try {
        benchkit::RunBenchmarks();
    } catch (const bp::error_already_set&) {
        pf::SetLogToStderr(true);
        PyErr_Print();
        return 1;
    }

    // Each pair in rounds taken in turns.
    constexpr int kCycleRounds = 50, kAccessRounds = 3;
    const int before = w.TickerCount(0), plainBefore = w.PlainCount(0);
    benchkit::InTurns cycles;
    const size_t cycle = cycles.Add("root cycle", 1, EngineCycle);
    const size_t loop = cycles.Add("Python loop", 1, PythonCycle);
    cycles.Run(kCycleRounds);
    // Every script item was cycled once per root cycle, like every plain object per loop.
    if (w.TickerCount(0) - before != kCycleRounds || w.TickerCount(kItems - 1) - before != kCycleRounds ||
        w.PlainCount(0) - plainBefore != kCycleRounds) {
        std::printf("the script items were not all cycled\n");
        return 1;
    }
    std::printf("%d script items, one root cycle %.1f us; Python loop over %d plain objects %.1f us (medians of %d "
                "rounds in turns)\n",
                kItems, cycles.Wall(cycle) * 1e6, kItems, cycles.Wall(loop) * 1e6, kCycleRounds);
    cycles.PrintWallRatio(cycle, loop, "root cycle over script items / Python loop over plain objects");

    benchkit::InTurns accesses;
    const size_t engine = accesses.Add("engine item", 1, EngineAccess);
    const size_t plain = accesses.Add("plain class", 1, PythonAccess);
    accesses.Run(kAccessRounds);
    const int alpha = bp::extract<int>(w.ns["actor"].attr("alpha"));
    if (alpha != (kAccesses - 1) % 256) {
        std::printf("Actor.SetAlpha did not reach the actor\n");
        return 1;
    }
    std::printf("%d x (position read + write + SetAlpha): engine item %.1f ms, plain class %.1f ms (medians of %d "
                "rounds in turns)\n",
                kAccesses, accesses.Wall(engine) * 1e3, accesses.Wall(plain) * 1e3, kAccessRounds);
    accesses.PrintWallRatio(engine, plain, "position read + write + SetAlpha, engine item / plain class");
    benchmark::Shutdown();
    return 0;
}
