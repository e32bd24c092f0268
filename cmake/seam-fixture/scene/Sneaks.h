// Fixture for the area-order check: a higher area's header reached by a path relative to
// this file, or through angle brackets, must be found as well.
#pragma once
#include "../game/Game.h"
#include <script/PythonHost.h>
