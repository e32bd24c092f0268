# The bindings run in the script tests' embedded interpreter: one per test process, with
# the same set-up and the same leak suppressions for the interpreter's own allocations.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/script/ScriptTestSupport.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/script)
set(RUV3_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/script/lsan.supp")
