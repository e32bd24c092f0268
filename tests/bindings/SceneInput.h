// Input for script scenes: a left click as the platform's event queue posts it.
#pragma once

#include "shell/EventSystem.h"

namespace bindingstest {

inline void PostLeftClick(pf::EventSystem& events, int x, int y) {
    events.PostMouseMotion(x, y);
    events.PostMouseButtonDown(pf::ButtonType::Left, x, y);
    events.PostMouseButtonUp(pf::ButtonType::Left, x, y);
}

}  // namespace bindingstest
