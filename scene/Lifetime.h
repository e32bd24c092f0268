// Lifetime rules shared by the scene: how code holds a counted object while it calls out,
// and weak references that read as none once the object they name is gone.
#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>

#include "shell/foundation/RefCounter.h"

// The shared flag behind weak references to one object: alive until the object's
// destruction begins.
class WeakFlag : public RefCounter {
public:
    bool IsAlive() const { return alive_.load(std::memory_order_acquire); }
    void Expire() { alive_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> alive_{true};
};

// An object weak references can name. The flag is made at the first weak reference and
// expired when the object's destruction begins; references taken after that read as none
// from the start.
class WeakTarget {
public:
    WeakTarget() = default;
    // A copy is another object: it gets its own flag.
    WeakTarget(const WeakTarget&) {}
    WeakTarget& operator=(const WeakTarget&) { return *this; }

    WeakFlag* GetWeakFlag() const;
    // Whether the object's destruction has begun (its weak references read as none).
    bool DestructionBegun() const { return expired_; }

protected:
    ~WeakTarget() { ExpireWeakRefs(); }
    // Makes every weak reference to this object read as none. Classes call it first thing
    // in their destructor, so nothing reached from there finds a half-destroyed object.
    void ExpireWeakRefs();

private:
    mutable my_intrusive_ptr<WeakFlag> flag_;
    bool expired_ = false;
};

// Holds a counted reference while code calls out, so a callee may drop the last other
// reference. An object whose count is 0 is not owned through counting (it is being built,
// lives on the stack, or was made with new and nothing holds it yet) and is left alone:
// taking and dropping a reference would free it. An object a script made counts through
// its script object (its own count stays 0), so it is always held, unless its
// destruction has begun (then nothing may count it again).
template <typename T>
my_intrusive_ptr<T> KeepAlive(T* p) {
    if (!p) return {};
    if constexpr (std::is_base_of_v<WeakTarget, T>) {
        if (p->DestructionBegun()) return {};
    }
    return p->GetRefCount() > 0 || p->GetScriptPeer() ? my_intrusive_ptr<T>(p) : my_intrusive_ptr<T>();
}

// A reference that does not keep its object alive and reads as null once the object is
// gone. T derives from WeakTarget.
template <typename T>
class WeakRef {
public:
    WeakRef() = default;
    WeakRef(T* p) : p_(p), flag_(p ? p->GetWeakFlag() : nullptr) {}  // NOLINT: like a pointer

    T* get() const { return flag_ && flag_->IsAlive() ? p_ : nullptr; }
    // True when an object was named, whether or not it still exists.
    bool IsSet() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
    my_intrusive_ptr<WeakFlag> flag_;
};

// Walks over the scene's lists borrow their entries instead of holding each one. While a
// walk is open on this thread, code that takes an entry out of a list keeps it alive
// (KeepUntilWalksEnd) until the outermost walk closes, so an address a walk has borrowed
// is neither freed nor reused for something new before the walk is over. What is kept is
// let go in the order it was kept. The scene is the main thread's: the script layer
// refuses calls that change it from other threads.
class WalkScope {
public:
    WalkScope() { ++Depth(); }
    ~WalkScope() {
        if (--Depth() == 0) ReleaseKept();
    }
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;

    // Whether a walk is open on this thread.
    static bool Open() { return Depth() > 0; }
    // How many objects the open walks of this thread keep.
    static size_t KeptCount();

private:
    static int& Depth() {
        static thread_local int depth = 0;
        return depth;
    }
    static void ReleaseKept();
    friend void KeepUntilWalksEnd(RefCounter* p);
};

// Called before a list lets go of p: while a walk is open, p stays alive until it closes.
void KeepUntilWalksEnd(RefCounter* p);

// Whether an entry a walk borrowed is still owned: counted, or owned by its script object.
// A walk asserts it before each step (debug builds), so a removal that forgot to keep
// what it took out is caught where the freed entry would be read.
inline bool BorrowedEntryAlive(const RefCounter* p) { return p->GetRefCount() > 0 || p->GetScriptPeer(); }
