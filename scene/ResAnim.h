// The scene draws image resources (content/ResAnim.h); actors load them by id through
// the resource manager.
#pragma once

#include "content/ResAnim.h"
