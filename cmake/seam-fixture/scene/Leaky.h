// Fixture for the platform-seam check: this include outside shell/platform/ must be found.
#include <string>
#  include <sys/stat.h>
