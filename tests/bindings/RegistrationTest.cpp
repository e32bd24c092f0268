// The module's registration order: every name of each filled step, of the right kind,
// in order, with the script bases the engine's classes have.
#include <gtest/gtest.h>

#include "PyRunner.h"
#include "ScriptTestSupport.h"

TEST(ModuleRegistration, NamesKindsOrderAndBases) {
    scripttest::World();
    EXPECT_EQ(bindingstest::RunPythonTests("registration.py"), "");
}
