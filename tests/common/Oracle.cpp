#include "common/Oracle.h"

#include <cstdlib>
#include <cstring>

namespace testkit {

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

}  // namespace testkit
