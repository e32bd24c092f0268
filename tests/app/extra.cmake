# The window test talks to SDL directly.
target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
set(RUV3_TEST_NEEDS_X11 ON)

# The second start for the single-instance tests: a program of its own, not a test.
add_executable(app_second_instance ${CMAKE_CURRENT_LIST_DIR}/helpers/SecondInstance.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/AppFakes.cpp)
target_include_directories(app_second_instance PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(app_second_instance PRIVATE ruv3_testkit)
add_dependencies(${target} app_second_instance)
target_compile_definitions(${target} PRIVATE RUV3_SECOND_INSTANCE="$<TARGET_FILE:app_second_instance>")
