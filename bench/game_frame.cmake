# The game benchmark runs the game on the packed sample content.
add_dependencies(bench_game_frame data_zip)
target_compile_definitions(bench_game_frame PRIVATE GAME_DATA_ZIP="${CMAKE_BINARY_DIR}/data.zip")
