# One test executable per folder under tests/ (tests/common holds shared helpers).
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB testkit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/common/*.cpp)
add_library(ruv3_testkit STATIC ${testkit_sources})
target_include_directories(ruv3_testkit PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(ruv3_testkit PUBLIC ruv3 GTest::gtest GTest::gmock)
target_compile_definitions(ruv3_testkit PUBLIC
  RUV3_SOURCE_DIR="${CMAKE_SOURCE_DIR}" RUV3_BINARY_DIR="${CMAKE_BINARY_DIR}")
# GoogleTest and the standard headers the tests use most, parsed once: the kit's
# precompiled header serves every test executable.
target_precompile_headers(ruv3_testkit PRIVATE
  <gtest/gtest.h> <algorithm> <atomic> <cmath> <cstdlib> <cstring> <filesystem> <fstream>
  <functional> <memory> <string> <thread> <vector>)

file(GLOB test_areas LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*)
foreach(area_dir IN LISTS test_areas)
  get_filename_component(area ${area_dir} NAME)
  if(NOT IS_DIRECTORY ${area_dir} OR area STREQUAL "common")
    continue()
  endif()
  file(GLOB area_tests CONFIGURE_DEPENDS ${area_dir}/*.cpp)
  if(NOT area_tests)
    continue()
  endif()
  set(target test_${area})
  add_executable(${target} ${area_tests})
  target_link_libraries(${target} PRIVATE ruv3_testkit GTest::gtest_main)
  target_precompile_headers(${target} REUSE_FROM ruv3_testkit)
  # tests/<area>/extra.cmake may add libraries, fixtures or properties for ${target}, and
  # may set RUV3_TEST_ENVIRONMENT (one NAME=value for its tests: discovered tests take no
  # lists), and sets RUV3_TEST_NEEDS_X11 when its tests open windows on the shared X server: those
  # tests then never run at the same time as another area's window tests.
  set(RUV3_TEST_NEEDS_X11 OFF)
  set(RUV3_TEST_ENVIRONMENT)
  if(EXISTS ${area_dir}/extra.cmake)
    include(${area_dir}/extra.cmake)
  endif()
  set(area_properties)
  if(RUV3_TEST_NEEDS_X11)
    list(APPEND area_properties RESOURCE_LOCK x11)
  endif()
  if(RUV3_TEST_ENVIRONMENT)
    list(LENGTH RUV3_TEST_ENVIRONMENT environment_count)
    if(environment_count GREATER 1)
      message(FATAL_ERROR "${area_dir}/extra.cmake: RUV3_TEST_ENVIRONMENT takes one NAME=value")
    endif()
    list(APPEND area_properties ENVIRONMENT "${RUV3_TEST_ENVIRONMENT}")
  endif()
  # A test that starts threads says so in its name: "Thread" in its suite or test name.
  # Such tests get the label "<area>-threads" (one label: discovered tests take no label
  # lists), so `ctest -L threads` picks them for the ThreadSanitizer pass and `-L <area>`
  # still finds them; the target threaded_tests builds their executables.
  gtest_discover_tests(${target} WORKING_DIRECTORY ${CMAKE_BINARY_DIR} TEST_FILTER "-*Thread*"
                       PROPERTIES LABELS ${area} ${area_properties} DISCOVERY_TIMEOUT 60
                       DISCOVERY_MODE PRE_TEST)
  gtest_discover_tests(${target} WORKING_DIRECTORY ${CMAKE_BINARY_DIR} TEST_FILTER "*Thread*"
                       PROPERTIES LABELS ${area}-threads ${area_properties} DISCOVERY_TIMEOUT 60
                       DISCOVERY_MODE PRE_TEST)
  set(threaded FALSE)
  foreach(source IN LISTS area_tests)
    file(STRINGS ${source} threaded_lines REGEX "^TEST(_F|_P)?\\([A-Za-z0-9_]*Thread|^TEST(_F|_P)?\\([A-Za-z0-9_]+, *[A-Za-z0-9_]*Thread")
    if(threaded_lines)
      set(threaded TRUE)
    endif()
  endforeach()
  if(threaded)
    list(APPEND RUV3_THREADED_TEST_TARGETS ${target})
  endif()
endforeach()
add_custom_target(threaded_tests DEPENDS ${RUV3_THREADED_TEST_TARGETS})

# The layering: no operating-system or SDL header outside shell/platform/, and no include
# of a higher area or room (cmake/AreaOrder.cmake; the build runs the same check). The
# fixture runs prove the check finds each kind of offence and lets the allowed ones be.
add_test(NAME PlatformSeam.NoSystemHeadersOutsidePlatform
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/CheckPlatformSeam.cmake)
# Each fixture case: its test name, and the line the check must print for it.
set(seam_fixture_cases
    "CheckFindsAnOffendingInclude" "scene/Leaky.h: #include <sys/stat.h>"
    "CheckFindsAnIncludeAgainstTheAreaOrder"
    "shell/foundation/Climbs.h: #include \"scene/Item.h\" \\(scene is above shell/foundation\\)"
    "CheckFindsARelativeIncludeAgainstTheAreaOrder"
    "scene/Sneaks.h: #include \"../game/Game.h\" \\(game is above scene\\)"
    "CheckFindsAnAngleIncludeAgainstTheAreaOrder"
    "scene/Sneaks.h: #include \"script/PythonHost.h\" \\(script is above scene\\)")
set(seam_tests PlatformSeam.NoSystemHeadersOutsidePlatform)
while(seam_fixture_cases)
  list(POP_FRONT seam_fixture_cases case_name case_line)
  add_test(NAME PlatformSeam.${case_name}
           COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/cmake/seam-fixture
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckPlatformSeam.cmake)
  set_tests_properties(PlatformSeam.${case_name} PROPERTIES PASS_REGULAR_EXPRESSION "${case_line}"
                       FAIL_REGULAR_EXPRESSION "Allowed.cpp|Below.h")
  list(APPEND seam_tests PlatformSeam.${case_name})
endwhile()
set_tests_properties(${seam_tests} PROPERTIES LABELS seam)
