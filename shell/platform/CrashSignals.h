// The process's last word on a fatal fault: handlers for the signals of a crash
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) that report the fault and then let it end
// the process as it would have without them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

// Called from the signal handler with the signal number and the faulting address (0 when
// the signal names none). It may only do what a signal handler may: write(2), no locks,
// no allocation.
using CrashReporter = void (*)(unsigned code, std::uintptr_t address);

// Installs the handlers (again: replaces the reporter). After the report the signal's
// default action is restored and the signal raised again, so the process dies by it.
void InstallCrashSignals(CrashReporter reporter);

// A write past the process's file-size limit then fails (EFBIG) as on a full disk and the
// writer reports it, instead of the signal ending the process mid-save.
void IgnoreFileSizeSignal();

// Writes all of the bytes to a descriptor with write(2), retrying short writes; safe in a
// signal handler. A negative descriptor writes nothing.
void WriteAllToDescriptor(int fd, const char* bytes, std::size_t size);

// The descriptor of the standard error stream.
int StandardErrorDescriptor();

}  // namespace pf
