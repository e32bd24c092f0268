#include "shell/Mutex.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace pf {

namespace {

struct ProcessLock {
    std::recursive_mutex mutex;
    std::atomic<std::thread::id> owner{};
    int count = 0;  // total levels, changed only by the owner
};

ProcessLock& Global() {
    static ProcessLock lock;
    return lock;
}

bool HeldByThisThread() { return Global().owner.load() == std::this_thread::get_id(); }

}  // namespace

Mutex::~Mutex() { ReleaseAll(); }

void Mutex::Create() { created_ = true; }

void Mutex::Close() {
    ReleaseAll();
    created_ = false;
}

void Mutex::Lock() {
    if (!created_) return;
    ProcessLock& g = Global();
    g.mutex.lock();
    if (g.count++ == 0) g.owner.store(std::this_thread::get_id());
    ++depth_;
}

void Mutex::Unlock() {
    if (!created_ || !HeldByThisThread() || depth_ == 0) return;
    ProcessLock& g = Global();
    --depth_;
    if (--g.count == 0) g.owner.store(std::thread::id());
    g.mutex.unlock();
}

void Mutex::ReleaseAll() {
    if (!created_ || !HeldByThisThread()) return;
    while (depth_ > 0) Unlock();
}

}  // namespace pf
