// Fixture for the platform-seam check: system headers are fine here, and so are the
// headers of the rooms below.
#include <unistd.h>
#include <SDL.h>
#include "shell/foundation/Log.h"
#include "shell/render/SoftDevice.h"
#include "../pixels/Surface.h"
