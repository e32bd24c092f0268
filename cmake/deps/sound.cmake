# Sound: OpenAL Soft for output, libvorbisfile for Ogg Vorbis decoding.
pkg_check_modules(RUV3_SOUND_OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(RUV3_SOUND_VORBIS REQUIRED IMPORTED_TARGET vorbisfile)
target_link_libraries(ruv3_sound PUBLIC PkgConfig::RUV3_SOUND_OPENAL PkgConfig::RUV3_SOUND_VORBIS)
