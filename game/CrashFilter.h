// The game's crash filter: a fatal fault (a crash signal, or std::terminate) writes a short
// report to the open log and to the debugger output, then ends the process by the fault.
#pragma once

#include <cstdint>

namespace game {

// Installs the signal handlers and the terminate handler. Idempotent.
void InstallCrashFilter();

// Writes the report of one fault: its code (a signal number) in upper-case hexadecimal
// and its address in lower-case hexadecimal. Safe inside a signal handler.
void LogUnhandledException(unsigned code, std::uintptr_t address);

}  // namespace game
