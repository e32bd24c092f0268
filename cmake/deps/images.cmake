# Image codecs behind the image loader.
pkg_check_modules(RUV3_PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(RUV3_JPEG REQUIRED IMPORTED_TARGET libjpeg)
# stb_image is used header-only (the decoders are compiled into the engine).
find_path(RUV3_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
# A system include folder: the header's own warnings are not ours.
target_include_directories(ruv3_shell SYSTEM PRIVATE ${RUV3_STB_INCLUDE_DIR})
target_link_libraries(ruv3_shell PUBLIC PkgConfig::RUV3_PNG PkgConfig::RUV3_JPEG)
# JPEG 2000: OpenJPEG's header gives the types; the library itself is opened at run time
# (dlopen), so the engine runs without it. Without the header the codec is left out.
pkg_check_modules(RUV3_OPENJPEG IMPORTED_TARGET libopenjp2)
if(RUV3_OPENJPEG_FOUND)
  target_include_directories(ruv3_shell PRIVATE ${RUV3_OPENJPEG_INCLUDE_DIRS})
  target_compile_definitions(ruv3_shell PRIVATE RUV3_HAVE_OPENJPEG=1)
endif()
