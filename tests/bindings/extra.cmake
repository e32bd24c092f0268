# The bindings run in the script tests' embedded interpreter: one per test process, with
# the same set-up and the same leak suppressions for the interpreter's own allocations.
# Full stacks for allocations: the fast unwinder stops inside libstdc++ (no frame
# pointers), and the demangler's buffers that Boost.Python keeps would then be reported
# without the frames that the suppressions name.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/script/ScriptTestSupport.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/script)
# The keyboard test starts SDL's video (dummy driver) for its key map.
target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
set(RUV3_TEST_ENVIRONMENT
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/script/lsan.supp:fast_unwind_on_malloc=0")
# The sound bindings play through the sound tests' loopback device.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/sound/SoundTestSupport.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
