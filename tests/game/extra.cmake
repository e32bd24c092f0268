# The interpreter keeps its own allocations until exit, as do the system's libraries under
# SDL (see lsan.supp).
set(RUV3_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp")
# The end-to-end run starts the real game on the packed sample content, in a window.
add_dependencies(${target} tessmar data_zip)
target_compile_definitions(${target} PRIVATE TESSMAR_EXE="$<TARGET_FILE:tessmar>"
                           TESSMAR_DATA_ZIP="${CMAKE_BINARY_DIR}/data.zip"
                           GAME_LSAN_SUPPRESSIONS="${CMAKE_CURRENT_LIST_DIR}/lsan.supp")
set(RUV3_TEST_NEEDS_X11 ON)
