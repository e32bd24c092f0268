#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/TestSupport.h"
#include "shell/Clock.h"
#include "shell/Mutex.h"
#include "shell/Random.h"
#include "shell/Thread.h"

using namespace pf;

TEST(Random, Rand32bFollowsItsFormula) {
    SeedRand(12345);
    int r[9];
    for (int& v : r) v = Rand();
    SeedRand(12345);
    for (int i = 0; i < 3; ++i) {
        uint32_t expected = ((uint32_t(r[3 * i] % 32767) << 15 | uint32_t(r[3 * i + 1] % 32767)) << 2) |
                            uint32_t(r[3 * i + 2] % 4);
        EXPECT_EQ(rand32b(), expected);
    }
}

TEST(Random, RangeAndSeeding) {
    SeedRand(1);
    int seen_max = 0, seen_min = kRandMax;
    for (int i = 0; i < 200000; ++i) {
        int v = Rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, kRandMax);
        seen_max = std::max(seen_max, v);
        seen_min = std::min(seen_min, v);
    }
    EXPECT_EQ(seen_max, kRandMax);
    EXPECT_EQ(seen_min, 0);
    SeedRand(99);
    int a = Rand();
    SeedRand(99);
    EXPECT_EQ(Rand(), a);
}

TEST(Clock, MonotonicAndOverridable) {
    int a = NowMs();
    SleepMs(5);
    int b = NowMs();
    EXPECT_GE(b - a, 4);
    SetNowMsSource([] { return 777; });
    EXPECT_EQ(NowMs(), 777);
    SetNowMsSource(nullptr);
    EXPECT_GE(NowMs(), b);
}

TEST(Mutex, ExcludesOtherThreads) {
    Mutex m;
    m.Create();
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                MutexLock lock(m);
                ++counter;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
}

TEST(Mutex, NestedLockingThroughOneObjectReleasesFullyForOtherThreads) {
    // The main thread takes the lock twice through one object and once through another;
    // a worker waiting on a third object must get it once all three are undone.
    Mutex a, b, c;
    a.Create();
    b.Create();
    c.Create();
    a.Lock();
    a.Lock();
    b.Lock();
    EXPECT_EQ(a.Depth(), 2);

    std::atomic<bool> acquired{false};
    std::thread worker([&] {
        c.Lock();
        acquired = true;
        c.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(acquired);
    a.Unlock();
    b.Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(acquired) << "one level through `a` is still held";
    a.Unlock();
    worker.join();
    EXPECT_TRUE(acquired);
    EXPECT_EQ(a.Depth(), 0);
}

TEST(Mutex, UnlockOnAThreadNotHoldingItAndUncreatedDoNothing) {
    Mutex uncreated;
    uncreated.Lock();  // no handle: returns at once without locking
    uncreated.Unlock();
    EXPECT_EQ(uncreated.Depth(), 0);

    Mutex m;
    m.Create();
    m.Unlock();  // not locked: nothing
    std::atomic<bool> done{false};
    m.Lock();
    std::thread other([&] {
        m.Unlock();  // another thread cannot undo this thread's level
        done = true;
    });
    other.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(m.Depth(), 1);
    m.Unlock();

    // Destroying an object that still holds levels releases them.
    {
        Mutex scoped;
        scoped.Create();
        scoped.Lock();
        scoped.Lock();
    }
    Mutex probe;
    probe.Create();
    std::atomic<bool> got{false};
    std::thread t([&] {
        probe.Lock();
        got = true;
        probe.Unlock();
    });
    t.join();
    EXPECT_TRUE(got);
}

namespace {

class CountingThread : public Thread {
public:
    ~CountingThread() override { Kill(); }
    int Run() override {
        {
            std::unique_lock<std::mutex> lock(m);
            started = true;
        }
        cv.notify_all();
        while (!StopRequested() && !finish) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        exitCode_ = 7;
        return 7;
    }
    void WaitStarted() {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return started; });
    }
    std::mutex m;
    std::condition_variable cv;
    bool started = false;
    std::atomic<bool> finish{false};
};

class ThrowingThread : public Thread {
public:
    ~ThrowingThread() override { Join(); }
    int Run() override { throw std::runtime_error("boom"); }
};

}  // namespace

TEST(Thread, StartRunAndStop) {
    CountingThread t;
    EXPECT_FALSE(t.IsRunning());
    t.Kill();  // no thread: nothing, exit code unchanged
    EXPECT_EQ(t.GetExitCode(), 0);

    t.Start();
    t.WaitStarted();
    EXPECT_TRUE(t.IsRunning());
    t.Start();  // already running: nothing
    t.finish = true;
    t.Join();
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.GetExitCode(), 7);

    t.finish = false;
    t.Start();  // a finished thread can start again
    t.WaitStarted();
    t.Kill();  // cooperative stop, then joined
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.GetExitCode(), -1);
}

TEST(Thread, ExceptionInBodyEndsTheThreadOnly) {
    ThrowingThread t;
    t.Start();
    t.Join();
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.GetExitCode(), -1);
}

TEST(Thread, StartThreadAndProcessorCount) {
    static std::atomic<int> value{0};
    static int argument = 5;
    StartThread([](void* arg) { value = *static_cast<int*>(arg); }, &argument);
    testkit::WaitUntil([] { return value != 0; });
    EXPECT_EQ(value, 5);
    EXPECT_GE(GetProcessorCount(), 1);
}
