// Loads queued resources on worker threads (one per processor by default, or on the
// calling thread with a count of 0) while the main thread goes on. The queue holds a
// counted reference to each entry, so a resource is never freed while it waits or loads.
// Making a queue sets the process's allocator to keep freed memory for the next loads
// (pf::KeepFreedMemoryForReuse).
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <functional>
#include <thread>
#include <vector>

#include "content/ResID.h"
#include "content/ResourceServices.h"
#include "shell/Mutex.h"
#include "shell/Thread.h"

class ThreadResourcesQueue : public pf::Thread {
public:
    // Loads with the application's services.
    ThreadResourcesQueue();
    explicit ThreadResourcesQueue(const ResourceServices& services);
    // Drops what is still waiting and waits for the running workers.
    ~ThreadResourcesQueue() override;

    void addResource(Res* res);
    bool removeResource(Res* res);
    // A queued resource is taken next.
    void SetHightestPriority(Res* res);
    void ClearQueue();
    // Workers for the next Start; negative counts are taken as 0, very large ones capped.
    void SetThreadsCount(int count);
    // Starts loading what is queued; with 0 threads it loads everything before returning.
    // Starting again while workers run adds workers.
    void Start() override;
    // Queued at the last Start plus the workers started.
    int GetCount() const { return total_.load(std::memory_order_acquire); }
    int GetRunningThreads() const { return running_.load(std::memory_order_acquire); }
    // Grows monotonically to GetCount once everything is loaded and every worker is done.
    int GetLoadedCount() const;
    int GetThreadsCount() const { return threadCount_; }

    // Test seam: how workers are started (std::thread by default; a starter may throw
    // std::system_error as the system does when it refuses a thread). Null restores it.
    using WorkerStarter = std::thread (*)(std::function<void()> body);
    static void SetWorkerStarter(WorkerStarter starter);

    static constexpr int kMaxThreads = 256;

private:
    void WorkerBody();
    // Joins the workers that were started (not the calling thread).
    void JoinWorkers();

    ResourceServices services_;
    pf::Mutex mutex_;  // queue_
    std::deque<my_intrusive_ptr<Res>> queue_;  // taken from the front
    std::atomic<int> queued_{0};
    std::atomic<int> total_{0};
    std::atomic<int> running_{0};
    int threadCount_;
    std::mutex workersLock_;
    std::vector<std::thread> workers_;
};
