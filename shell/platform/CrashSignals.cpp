#include "shell/platform/CrashSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace pf {

namespace {

std::atomic<CrashReporter> g_reporter{nullptr};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void OnCrashSignal(int signal, siginfo_t* info, void*) {
    // A fault inside the report must not loop back here.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int s : kCrashSignals) sigaction(s, &fallback, nullptr);

    const bool hasAddress = signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
    const std::uintptr_t address = hasAddress && info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
    if (CrashReporter report = g_reporter.load()) report(static_cast<unsigned>(signal), address);
    // Dies by the same signal: a fault re-executes with the default action, a raised
    // signal is raised again.
    raise(signal);
}

}  // namespace

void InstallCrashSignals(CrashReporter reporter) {
    g_reporter.store(reporter);
    struct sigaction action = {};
    action.sa_sigaction = &OnCrashSignal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int s : kCrashSignals) sigaction(s, &action, nullptr);
}

void IgnoreFileSizeSignal() { signal(SIGXFSZ, SIG_IGN); }

void WriteAllToDescriptor(int fd, const char* bytes, std::size_t size) {
    if (fd < 0) return;
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

int StandardErrorDescriptor() { return STDERR_FILENO; }

}  // namespace pf
