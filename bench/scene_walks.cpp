// What the scene's walks cost beyond the work they step, with the live-item registry on as
// the game has it:
// - a step of the root's cycle that makes 1,000,000 items and drops them again (each added
//   to an item and taken out), which the open walk keeps until the cycle ends, against
//   the same churn with no walk open, where each item goes at once;
// - 32,000 children (or handlers) appended to an item by a step of its own cycle and
//   stepped in that cycle, against the same number added before the cycle.
// Prints each ratio from rounds taken in turns, after checking that every item was made,
// stepped and let go.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "bench/common/InTurns.h"
#include "scene/EvtHandler.h"
#include "scene/ItemLeakDetector.h"
#include "scene/Lifetime.h"
#include "scene/RootItem.h"
#include "shell/foundation/Log.h"

namespace {

constexpr int kChurn = 1000000;
constexpr int kAppended = 32000;

int g_made = 0;
size_t g_keptAtEnd = 0;
long g_grownKb = 0;

// The resident size of the process in kB.
long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}
int g_stepped = 0;

// Makes one item, lists it under holder and takes it out again.
void Churn(Item& holder, int count) {
    for (int i = 0; i < count; ++i) {
        Item* item = new Item;
        holder.AddItem(item);
        holder.RemoveItem(item);
        ++g_made;
    }
}

// An item and a handler whose cycle runs a job once; a child and a handler that count
// their steps.
class Job : public Item {
public:
    std::function<void()> job;
    void Cycle() override {
        if (job) std::exchange(job, nullptr)();
        Item::Cycle();
    }
};
class JobHandler : public EvtHandler {
public:
    std::function<void()> job;
    void Cycle() override {
        if (job) std::exchange(job, nullptr)();
    }
};
class CountedChild : public Item {
public:
    void Cycle() override { ++g_stepped; }
};
class CountedHandler : public EvtHandler {
public:
    void Cycle() override { ++g_stepped; }
};

// One parent per round: a child of it (a handler of it, for handlers) fills it in its
// cycle, or it is filled first.
struct Filling {
    my_intrusive_ptr<Item> parent;
    my_intrusive_ptr<Job> job;
    my_intrusive_ptr<JobHandler> handlerJob;
    bool handlers = false;

    void Fill() {
        for (int i = 0; i < kAppended; ++i) {
            if (handlers)
                parent->AddEventHandler(new CountedHandler);
            else
                parent->AddItem(new CountedChild);
        }
    }
    void Reset() {
        parent = new Item;
        job = new Job;
        handlerJob = new JobHandler;
        parent->AddItem(job.get());
        parent->AddEventHandler(handlerJob.get());
    }
    void Appended() {
        (handlers ? handlerJob->job : job->job) = [this] { Fill(); };
        parent->Cycle();
    }
    void AddedBefore() {
        Fill();
        parent->Cycle();
    }
};

}  // namespace

int main() {
    pf::SetLogToStderr(false);
    ItemLeakDetector::Initialize();
    my_intrusive_ptr<RootItem> root(new RootItem);
    SetRootItem(root.get());
    my_intrusive_ptr<Item> holder(new Item);
    my_intrusive_ptr<Job> churner(new Job);
    root->AddItem(churner.get());
    const int live = ItemLeakDetector::Count();

    benchkit::InTurns churn;
    const size_t kept = churn.Add("kept by the walk", 1, [&] {
        churner->job = [&] {
            const long before = ResidentKb();
            Churn(*holder, kChurn);
            g_keptAtEnd = WalkScope::KeptCount();
            g_grownKb = std::max(g_grownKb, ResidentKb() - before);  // the first round: later ones reuse its memory
        };
        root->Cycle();
    });
    const size_t free = churn.Add("no walk open", 1, [&] { Churn(*holder, kChurn); });
    constexpr int kChurnRounds = 5;
    churn.Run(kChurnRounds);
    if (g_made != 2 * kChurnRounds * kChurn || ItemLeakDetector::Count() != live) {
        std::printf("churn: %d items made, %d registered at the end (expected %d and %d)\n", g_made,
                    ItemLeakDetector::Count(), 2 * kChurnRounds * kChurn, live);
        return 1;
    }
    std::printf("%d items made and dropped in one step, registry on: kept by the walk %.3f s, no walk open %.3f s\n",
                kChurn, churn.Wall(kept), churn.Wall(free));
    std::printf("the walk kept %zu items at the end of the step; the process grew by at most %.1f MB during it (%zu bytes "
                "an item, %zu a kept entry)\n",
                g_keptAtEnd, g_grownKb / 1024.0, sizeof(Item), sizeof(my_intrusive_ptr<RefCounter>));
    churn.PrintWallRatio(kept, free, "release of what a walk kept / the same churn with no walk open", 2.0);

    for (const bool handlers : {false, true}) {
        Filling filling;
        filling.handlers = handlers;
        benchkit::InTurns turns;
        const size_t appended = turns.Add("appended", 1, [&] { filling.Appended(); }, -1, [&] { filling.Reset(); });
        const size_t before = turns.Add("added before", 1, [&] { filling.AddedBefore(); }, -1, [&] { filling.Reset(); });
        constexpr int kRounds = 7;
        g_stepped = 0;
        turns.Run(kRounds);
        filling.parent.reset();
        filling.job.reset();
        filling.handlerJob.reset();
        if (g_stepped != 2 * kRounds * kAppended) {
            std::printf("%s: %d steps, expected %d\n", handlers ? "handlers" : "children", g_stepped,
                        2 * kRounds * kAppended);
            return 1;
        }
        const char* what = handlers ? "handlers" : "children";
        std::printf("%d %s: appended by a step %.3f s, added before the walk %.3f s\n", kAppended, what,
                    turns.Wall(appended), turns.Wall(before));
        turns.PrintWallRatio(appended, before,
                             std::string(what) + " appended during the walk / added before it", 2.0);
    }
    churner.reset();
    holder.reset();
    SetRootItem(nullptr);
    root.reset();
    return 0;
}
