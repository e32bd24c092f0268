// The process-wide lock. Every Mutex object locks the same recursive mutex, so a thread
// holding it through one object may lock it again through another. Each object counts the
// levels it holds, so nested locking through one object is undone level by level.
#pragma once

namespace pf {

class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    // Releases the levels this object still holds (when held by the calling thread).
    ~Mutex();

    // Attaches the object to the process-wide lock; until then Lock and Unlock do nothing.
    void Create();
    // Releases the levels this object holds and detaches it.
    void Close();
    void Lock();
    // Undoes one level taken through this object by the calling thread; otherwise nothing.
    void Unlock();

    bool IsCreated() const { return created_; }
    // Levels held through this object (meaningful on the thread that holds the lock).
    int Depth() const { return depth_; }

private:
    void ReleaseAll();

    bool created_ = false;
    int depth_ = 0;  // changed only by the thread that holds the process-wide lock
};

// RAII: locks a created Mutex for a scope.
class MutexLock {
public:
    explicit MutexLock(Mutex& m) : mutex_(m) { mutex_.Lock(); }
    ~MutexLock() { mutex_.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};

}  // namespace pf
