# The software rendering device presents into SDL2 windows.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::SDL2)
