# The application shell's native window and message pump run on SDL2.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::SDL2)
