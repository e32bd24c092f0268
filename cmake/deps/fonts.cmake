# Fonts: FreeType renders the glyph caches (linked with the display), fontconfig finds
# installed font files named without a folder.
pkg_check_modules(RUV3_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
target_link_libraries(ruv3_shell PUBLIC PkgConfig::RUV3_FONTCONFIG)
