// The end of the game when its X server goes away (a desktop session that ends, a server
// that crashes) while the game runs.
#pragma once

namespace pf {

// From now on a lost connection to the X server ends the process at once, with one log
// line and exit status 1, instead of Xlib's exit(), whose destructors close the window on
// the dead connection and never return. Nothing touches the connection again; the
// single-instance lock goes with the process, and a file being saved is replaced whole or
// not at all (saves write a new file and rename it).
void EndProcessWhenDisplayIsLost();

}  // namespace pf
