# The sprite size sweep compares against pixman (SDL2 comes with the engine library).
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(bench_rasterizer_sizes PRIVATE PkgConfig::PIXMAN)
