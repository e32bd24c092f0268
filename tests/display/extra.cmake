# The real-window test opens SDL windows on the shared X server.
target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
set(RUV3_TEST_NEEDS_X11 ON)
