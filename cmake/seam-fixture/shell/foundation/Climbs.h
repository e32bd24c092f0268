// Fixture for the area-order check: the foundation takes nothing from above it.
#pragma once
#include "shell/foundation/Below.h"
#include "scene/Item.h"
