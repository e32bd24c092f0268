#include "AppFakes.h"

namespace apptest {
int FakeClock::now = 0;
std::vector<int> FakeClock::sleeps;
}  // namespace apptest
