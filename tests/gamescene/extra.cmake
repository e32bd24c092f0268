# The module test runs scripts in the embedded interpreter, which keeps its own
# allocations until exit: the script tests' leak suppressions, with full stacks so that
# Boost.Python's buffers are matched by the frames the suppressions name.
set(RUV3_TEST_ENVIRONMENT
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/script/lsan.supp:fast_unwind_on_malloc=0")
