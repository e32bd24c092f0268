#include "content/ThreadResourcesQueue.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "shell/Application.h"
#include "shell/foundation/Log.h"
#include "shell/platform/FreedMemory.h"

ResourceServices ResourceServices::FromApplication() {
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    return ResourceServices{app.GetImageLoader(), app.GetFileSystem(), app.GetDisplay()};
}

ThreadResourcesQueue::ThreadResourcesQueue() : ThreadResourcesQueue(ResourceServices::FromApplication()) {}

ThreadResourcesQueue::ThreadResourcesQueue(const ResourceServices& services)
    : services_(services), threadCount_(std::max(1, pf::GetProcessorCount())) {
    // The images a queue loads come back to the allocator when their list is unloaded:
    // kept mapped, the next list loads into them without a page fault on each page.
    pf::KeepFreedMemoryForReuse();
    mutex_.Create();
}

ThreadResourcesQueue::~ThreadResourcesQueue() {
    if (running_.load() > 0) {
        std::fputs("wtf!!! you should not delete ThreadAnimQueue while it has running threads!!! fix asap\n", stdout);
        std::fflush(stdout);
    }
    // Workers finish the resource in hand, find the queue empty and stop.
    ClearQueue();
    JoinWorkers();
    mutex_.Close();
}

void ThreadResourcesQueue::JoinWorkers() {
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> hold(workersLock_);
        workers.swap(workers_);
    }
    for (std::thread& t : workers)
        if (t.joinable() && t.get_id() != std::this_thread::get_id()) t.join();
}

void ThreadResourcesQueue::addResource(Res* res) {
    if (!res) return;
    pf::MutexLock hold(mutex_);
    queue_.emplace_back(res);
    queued_.store(int(queue_.size()), std::memory_order_release);
}

bool ThreadResourcesQueue::removeResource(Res* res) {
    my_intrusive_ptr<Res> removed;  // released after the lock
    pf::MutexLock hold(mutex_);
    const auto it = std::find(queue_.begin(), queue_.end(), res);
    if (it == queue_.end()) return false;
    removed = std::move(*it);
    queue_.erase(it);
    queued_.store(int(queue_.size()), std::memory_order_release);
    return true;
}

void ThreadResourcesQueue::SetHightestPriority(Res* res) {
    pf::MutexLock hold(mutex_);
    const auto it = std::find(queue_.begin(), queue_.end(), res);
    if (it != queue_.end()) std::iter_swap(it, queue_.begin());
}

void ThreadResourcesQueue::ClearQueue() {
    std::deque<my_intrusive_ptr<Res>> dropped;
    pf::MutexLock hold(mutex_);
    dropped.swap(queue_);
    queued_.store(0, std::memory_order_release);
}

void ThreadResourcesQueue::SetThreadsCount(int count) { threadCount_ = std::clamp(count, 0, kMaxThreads); }

int ThreadResourcesQueue::GetLoadedCount() const {
    // Read in this order, a later call never answers less than an earlier one.
    const int total = total_.load(std::memory_order_acquire);
    const int queued = queued_.load(std::memory_order_acquire);
    const int running = running_.load(std::memory_order_acquire);
    return std::max(0, total - queued - running);
}

namespace {
std::thread StartStdThread(std::function<void()> body) { return std::thread(std::move(body)); }
ThreadResourcesQueue::WorkerStarter g_starter = &StartStdThread;
}  // namespace

void ThreadResourcesQueue::SetWorkerStarter(WorkerStarter starter) { g_starter = starter ? starter : &StartStdThread; }

void ThreadResourcesQueue::Start() {
    // Workers that finished since an earlier Start are joined now.
    if (running_.load(std::memory_order_acquire) == 0) JoinWorkers();
    const int threads = threadCount_;
    {
        pf::MutexLock hold(mutex_);
        const int running = running_.fetch_add(threads == 0 ? 1 : threads, std::memory_order_acq_rel) +
                            (threads == 0 ? 1 : threads);
        total_.store(int(queue_.size()) + running, std::memory_order_release);
    }
    if (threads == 0) {
        WorkerBody();
        return;
    }
    int started = 0;
    {
        std::lock_guard<std::mutex> hold(workersLock_);
        try {
            for (; started < threads; ++started) workers_.push_back(g_starter([this] { WorkerBody(); }));
        } catch (const std::system_error& e) {
            // The system refused a thread: those not started are not running, or owners
            // waiting for the count to reach 0 would wait forever.
            pf::DebugStream() << "ThreadResourcesQueue: started " << started << " of " << threads
                              << " threads: " << e.what();
            running_.fetch_sub(threads - started, std::memory_order_acq_rel);
        }
    }
    if (started == 0) {
        // No worker at all: load on the calling thread, as with a thread count of 0.
        running_.fetch_add(1, std::memory_order_acq_rel);
        WorkerBody();
    }
}

void ThreadResourcesQueue::WorkerBody() {
    pf::LogWrite(L"started thread 'ThreadResourcesQueue'\n");
    while (true) {
        my_intrusive_ptr<Res> res;
        {
            pf::MutexLock hold(mutex_);
            if (queue_.empty()) break;
            res = std::move(queue_.front());
            queue_.pop_front();
            queued_.store(int(queue_.size()), std::memory_order_release);
        }
        res->LoadDeferred(services_.fs, services_.display, services_.loader);
    }
    pf::LogWrite(L"completed thread 'ThreadResourcesQueue'\n");
    pf::MutexLock hold(mutex_);
    running_.fetch_sub(1, std::memory_order_acq_rel);
}
