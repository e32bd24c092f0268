# The window test talks to SDL directly.
target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
