// Tests whose oracle is a real tool (a program such as zip or ImageMagick, the X server, an
// installed font, a library loaded at run time) check for it first. Outside CI a missing
// oracle skips the test and names what is missing; under CI=true it fails the test, so a
// CI run never passes by skipping what it should have checked.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"

namespace testkit {

// CI=true in the environment.
bool InCi();
// An X display is set (the tests that open real windows need one).
bool HaveDisplay();

}  // namespace testkit

// In a test body or a fixture's SetUp: skips (outside CI) or fails (under CI) the test when
// `available` is false; `what` names the missing oracle.
#define RUV3_REQUIRE_ORACLE(available, what)                                               \
    do {                                                                                   \
        if (!(available)) {                                                                \
            if (testkit::InCi())                                                           \
                GTEST_FAIL() << "missing in CI: " << (what) << " (deps.sh installs it)";   \
            else                                                                           \
                GTEST_SKIP() << "missing: " << (what) << " (run ./deps.sh)";               \
        }                                                                                  \
    } while (0)

// A program on PATH, e.g. RUV3_REQUIRE_PROGRAM("xdotool").
#define RUV3_REQUIRE_PROGRAM(name) \
    RUV3_REQUIRE_ORACLE(testkit::HaveProgram(name), std::string("the program '") + (name) + "'")

// An X display (test.sh starts Xvfb when none is set).
#define RUV3_REQUIRE_DISPLAY() \
    RUV3_REQUIRE_ORACLE(testkit::HaveDisplay(), "an X display (Xvfb: run the tests through ./test.sh)")
