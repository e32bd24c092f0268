# The application shell's native window and message pump run on SDL2.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::SDL2)
# A lost X server ends the game through Xlib's I/O error handler (the same libX11 SDL loads).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::X11)
