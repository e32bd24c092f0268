# The interpreter keeps some allocations until the process ends; the suppressions name
# only the interpreter's own (see lsan.supp).
set(RUV3_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/script/lsan.supp")
# A whole host life (start to finalisation) runs in a child process of its own.
add_executable(script_host_child ${CMAKE_CURRENT_LIST_DIR}/child/HostChild.cpp)
target_link_libraries(script_host_child PRIVATE ruv3)
add_dependencies(${target} script_host_child)
target_compile_definitions(${target} PRIVATE SCRIPT_HOST_CHILD="$<TARGET_FILE:script_host_child>")
