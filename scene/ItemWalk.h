// The walk behind every loop that calls out to the children or handlers of an item.
#pragma once

#include <unordered_set>
#include <vector>

#include "scene/Lifetime.h"
#include "shell/foundation/RefCounter.h"

// Steps the entries of a list as it stands when the walk begins, from the first or from
// the last. Entries are borrowed: one taken out of a list during the walk stays alive
// until the walk ends (WalkScope). Each is stepped only when `listed` still says it
// belongs, so a step that removes its own entry, an earlier or a later one neither skips
// nor repeats another. With `appended`, entries added during the walk are stepped after
// the others, in list order, each once. `step` answers true to end the walk; the result
// says whether a step did. `ahead(entry, distance)` is told of the entries `distance`
// (1 to kWalkAhead) places ahead of the one stepped, to fetch what their steps will read
// while this one runs; it must not change anything.
constexpr size_t kWalkAhead = 6;
struct NothingAhead {
    template <typename T>
    void operator()(T*, size_t) const {}
};
template <typename T, typename Listed, typename Step, typename Ahead = NothingAhead>
bool WalkEntries(const std::vector<my_intrusive_ptr<T>>& list, bool fromLast, bool appended,
                 Listed listed, Step step, Ahead ahead = Ahead()) {
    const size_t n = list.size();
    if (n == 0 && !appended) return false;
    const WalkScope walk;
    std::vector<T*> snapshot(n);
    for (size_t k = 0; k < n; ++k) snapshot[k] = list[k].get();
    for (size_t k = 0; k < n; ++k) {
        for (size_t d : {kWalkAhead, kWalkAhead / 2, size_t(1)})
            if (k + d < n) ahead(snapshot[fromLast ? n - 1 - k - d : k + d], d);
        T* entry = snapshot[fromLast ? n - 1 - k : k];
        if (listed(entry) && step(entry)) return true;
    }
    if (!appended) return false;
    // Usually the list is as it was; otherwise step what is listed now and was not yet
    // seen. Seen entries stay alive until the walk ends, so no address in the set can be
    // reused meanwhile.
    bool same = list.size() == n;
    for (size_t i = 0; same && i < n; ++i) same = list[i].get() == snapshot[i];
    if (same) return false;
    std::unordered_set<const T*> seen(snapshot.begin(), snapshot.end());
    for (;;) {
        T* next = nullptr;
        for (const auto& e : list) {
            if (!seen.count(e.get())) {
                next = e.get();
                break;
            }
        }
        if (!next) return false;
        seen.insert(next);
        if (step(next)) return true;
    }
}
