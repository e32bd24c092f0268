#include "shell/Thread.h"

#include <exception>

#include "shell/foundation/Log.h"

namespace pf {

Thread::~Thread() {
    stop_.store(true);
    Join();
}

int Thread::Run() {
    exitCode_.store(0);
    return 0;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::Kill() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    if (thread_.get_id() == std::this_thread::get_id()) {
        exitCode_.store(-1);
        return;  // the body stops when it next looks at StopRequested
    }
    thread_.join();
    exitCode_.store(-1);
}

void Thread::Start() {
    if (running_.load()) return;
    Join();  // a body that has finished still holds its thread
    running_.store(true);
    exitCode_.store(0);
    stop_.store(false);
    thread_ = std::thread(&Thread::ThreadMain, this);
}

void Thread::ThreadMain(Thread* thread) {
    thread->SetRunning(true);
    try {
        thread->Run();
    } catch (const std::exception& e) {
        DebugStream() << "thread ended by an exception: " << e.what();
        thread->exitCode_.store(-1);
    } catch (...) {
        DebugStream() << "thread ended by an unknown exception";
        thread->exitCode_.store(-1);
    }
    thread->SetRunning(false);
}

void StartThread(void (*function)(void*), void* argument) {
    std::thread([function, argument] { function(argument); }).detach();
}

int GetProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}

}  // namespace pf
