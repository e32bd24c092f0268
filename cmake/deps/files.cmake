# File system and data archive (minizip over zlib), player list (TinyXML).
pkg_check_modules(PF_FILES_ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(PF_FILES_MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(PF_FILES_TINYXML REQUIRED IMPORTED_TARGET tinyxml)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::PF_FILES_MINIZIP PkgConfig::PF_FILES_ZLIB
                      PkgConfig::PF_FILES_TINYXML)
