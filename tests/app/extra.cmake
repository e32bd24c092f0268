# The window test talks to SDL directly.
target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
set(RUV3_TEST_NEEDS_X11 ON)
