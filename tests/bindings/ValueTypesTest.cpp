// The value types from inside the interpreter (tests/bindings/py/value_types.py).
#include <gtest/gtest.h>

#include "PyRunner.h"

TEST(ValueTypeBindings, PointColorRectVectorsAndMatrix) {
    EXPECT_EQ(bindingstest::RunPythonTests("value_types.py"), "");
}
