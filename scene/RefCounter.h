// The counted base now lives in the shell; this name is kept while other branches move over.
#pragma once

#include "shell/RefCounter.h"
