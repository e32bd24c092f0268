// The walk behind every loop that calls out to the children or handlers of an item.
#pragma once

#include <unordered_set>
#include <vector>

#include "scene/RefCounter.h"

// Steps the entries of a list as it stands when the walk begins, from the first or from
// the last. Each entry is held for the walk and stepped only when `listed` still says it
// belongs, so a step that removes its own entry, an earlier or a later one neither skips
// nor repeats another. With `appended`, entries added during the walk are stepped after
// the others, in list order, each once. `step` answers true to end the walk; the result
// says whether a step did.
template <typename T, typename Listed, typename Step>
bool WalkEntries(const std::vector<my_intrusive_ptr<T>>& list, bool fromLast, bool appended,
                 Listed listed, Step step) {
    const std::vector<my_intrusive_ptr<T>> snapshot(list);
    const size_t n = snapshot.size();
    for (size_t k = 0; k < n; ++k) {
        T* entry = snapshot[fromLast ? n - 1 - k : k].get();
        if (listed(entry) && step(entry)) return true;
    }
    if (!appended) return false;
    // Usually the list is as it was; otherwise step what is listed now and was not yet
    // seen. Seen entries stay held, so no address in the set can be reused meanwhile.
    bool same = list.size() == n;
    for (size_t i = 0; same && i < n; ++i) same = list[i] == snapshot[i];
    if (same) return false;
    std::unordered_set<const T*> seen;
    for (const auto& e : snapshot) seen.insert(e.get());
    std::vector<my_intrusive_ptr<T>> added;
    for (;;) {
        T* next = nullptr;
        for (const auto& e : list) {
            if (!seen.count(e.get())) {
                next = e.get();
                break;
            }
        }
        if (!next) return false;
        added.emplace_back(next);
        seen.insert(next);
        if (step(next)) return true;
    }
}
