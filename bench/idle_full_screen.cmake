# The idle benchmark starts the game itself on the packed sample content.
add_dependencies(bench_idle_full_screen tessmar data_zip)
target_compile_definitions(bench_idle_full_screen PRIVATE TESSMAR_EXE="$<TARGET_FILE:tessmar>"
                           GAME_FOLDER="${CMAKE_BINARY_DIR}" RUV3_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
