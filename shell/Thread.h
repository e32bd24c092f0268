// Worker threads. A Thread runs Run() on a std::thread from Start() until Run returns.
// Threads cannot be terminated safely on POSIX: Kill asks the body to stop (StopRequested)
// and joins it. A subclass whose Run uses its own members must Kill (or Join) in its own
// destructor, before those members go.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace pf {

class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Asks the body to stop and joins it.
    virtual ~Thread();

    virtual int GetExitCode() const { return exitCode_.load(); }
    virtual bool IsRunning() const { return running_.load(); }
    virtual void* GetInfo() { return nullptr; }
    // The thread body; the base sets the exit code to 0 and returns 0.
    virtual int Run();
    virtual void SetInfo(const std::wstring&, const std::wstring&) {}
    // When a thread is held: asks it to stop, joins it, exit code -1.
    virtual void Kill();
    // When not running: starts Run on a new thread.
    virtual void Start();
    virtual bool IsActive() const { return running_.load(); }
    virtual void SetRunning(bool running) { running_.store(running); }

    bool StopRequested() const { return stop_.load(); }
    // Waits for a started body to return (does nothing on the thread itself).
    void Join();

protected:
    std::atomic<int> exitCode_{0};

private:
    static void ThreadMain(Thread* thread);

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
};

// Runs function(argument) on a detached thread.
void StartThread(void (*function)(void*), void* argument);
int GetProcessorCount();

}  // namespace pf
