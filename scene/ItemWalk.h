// The walk behind every loop that calls out to the children, handlers or pairs of an
// item, and the one way entries leave those lists while such a walk may be open.
#pragma once

#include <cassert>
#include <cstddef>
#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "scene/Lifetime.h"
#include "scene/Modifier.h"
#include "shell/foundation/RefCounter.h"

// ---------------------------------------------------------------- taking entries out

// Keeps what one entry holds until the walks end (KeepUntilWalksEnd). A pair keeps its
// controller before its modifier: what is kept is let go in that order, as an entry lets
// go of its pair.
template <typename T>
void KeepEntry(const my_intrusive_ptr<T>& entry) {
    KeepUntilWalksEnd(entry.get());
}
inline void KeepEntry(const ModifierEntry& entry) {
    KeepUntilWalksEnd(entry.controller.get());
    KeepUntilWalksEnd(entry.modifier.get());
}

// Takes entry i out of a scene list. While a walk is open, what it held stays alive until
// the walk ends; otherwise it is let go here (a pair's controller first).
template <typename List>
void EraseListed(List& list, size_t i) {
    KeepEntry(list[i]);
    const typename List::value_type gone = std::move(list[i]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
}

// Empties a scene list the same way; answers what it held, still held by the answer, so
// the caller can tell the entries they are gone before they are let go.
template <typename List>
List TakeAllListed(List& list) {
    List old;
    old.swap(list);
    if (WalkScope::Open())
        for (const auto& entry : old) KeepEntry(entry);
    return old;
}

// ---------------------------------------------------------------- walks

// The keys a walk has stepped: the first few inline, more in a hash set.
template <typename Key, typename Hash = std::hash<Key>>
class SeenKeys {
public:
    bool Contains(const Key& k) const {
        for (size_t i = 0; i < inline_; ++i)
            if (first_[i] == k) return true;
        return !more_.empty() && more_.count(k) != 0;
    }
    void Insert(const Key& k) {
        if (inline_ < kInline)
            first_[inline_++] = k;
        else
            more_.insert(k);
    }

private:
    static constexpr size_t kInline = 16;
    Key first_[kInline] = {};
    size_t inline_ = 0;
    std::unordered_set<Key, Hash> more_;
};

// Walks an object through one call of its own that walks its lists (Cycle, PassEvent,
// Draw): the walk is open for the whole call, so an entry or the object itself taken
// out of a list meanwhile lives until the call is over. Unless an open walk already
// borrows it from a list, the object is held as well: the last holder may let go of it
// during the call in other ways than a removal.
template <typename T>
class WalkedCall {
public:
    WalkedCall(T* self, bool listed) : self_(listed && WalkScope::Open() ? nullptr : KeepAlive(self)) {}

private:
    const my_intrusive_ptr<T> self_;
    const WalkScope walk_;
};

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
        assert(BorrowedEntryAlive(entry) && "an entry taken out during a walk was not kept");
        if (listed(entry) && step(entry)) return true;
    }
    if (!appended) return false;
    // Usually the list is as it was; otherwise step what is listed now and was not yet
    // seen. Seen entries stay alive until the walk ends, so no address in the set can be
    // reused meanwhile. The walk goes on from the entry it stepped last while that entry
    // stays where it was, so entries appended one after another cost one look each.
    bool same = list.size() == n;
    for (size_t i = 0; same && i < n; ++i) same = list[i].get() == snapshot[i];
    if (same) return false;
    SeenKeys<const T*> seen;
    for (T* entry : snapshot) seen.Insert(entry);
    size_t at = 0;
    for (;;) {
        while (at < list.size() && seen.Contains(list[at].get())) ++at;
        if (at >= list.size()) return false;
        T* next = list[at].get();
        seen.Insert(next);
        if (step(next)) return true;
        if (at >= list.size() || list[at].get() != next) at = 0;  // the list changed before it
    }
}
