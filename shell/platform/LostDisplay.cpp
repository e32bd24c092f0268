#include "shell/platform/LostDisplay.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include "shell/foundation/Log.h"

namespace pf {

namespace {

// Xlib calls this on the thread whose call found the connection gone, and exits when it
// returns: it never returns.
int OnConnectionLost(::Display*) {
    DebugStream() << "Display - the connection to the X server was lost; the game ends";
    CloseLog();
    _exit(1);
}

}  // namespace

void EndProcessWhenDisplayIsLost() { XSetIOErrorHandler(&OnConnectionLost); }

}  // namespace pf
