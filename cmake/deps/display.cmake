# The display's overlay text is rendered through FreeType.
pkg_check_modules(RUV3_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
target_link_libraries(ruv3 PUBLIC PkgConfig::RUV3_FREETYPE)
