// The requests to stop that come as signals (SIGTERM from a session that ends or a
// process manager, SIGINT from Ctrl-C): counted by a handler, taken by the event pump.
#pragma once

namespace pf {

// Installs the counting handlers for SIGTERM and SIGINT (again: does nothing more).
void InstallStopSignals();

// How many stop signals arrived since the last call. Never blocks.
int TakeStopSignals();

}  // namespace pf
