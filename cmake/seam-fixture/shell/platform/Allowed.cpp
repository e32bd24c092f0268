// Fixture for the platform-seam check: system headers are fine here.
#include <unistd.h>
#include <SDL.h>
