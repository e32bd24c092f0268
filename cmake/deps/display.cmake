# The display's overlay text is rendered through FreeType.
pkg_check_modules(RUV3_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::RUV3_FREETYPE)
# The overlay's face is looked up through fontconfig when it is not at its Debian place.
pkg_check_modules(RUV3_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::RUV3_FONTCONFIG)
