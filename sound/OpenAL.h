// OpenAL for the sound system's own .cpp files (and the tests and benchmarks that render
// from its device): the library's headers and the conversions between its types and the
// ones SoundSystemOAL.h shows its callers.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <type_traits>

#include "sound/SoundSystemOAL.h"

static_assert(std::is_same_v<ALuint, SoundName>, "a source or buffer name is OpenAL's");
static_assert(std::is_same_v<ALenum, SoundFormat>, "a sample format is OpenAL's");
static_assert(std::is_same_v<ALCint, int>, "context attributes are OpenAL's");

inline ALCdevice* AlDevice(SoundDevice* device) { return reinterpret_cast<ALCdevice*>(device); }
inline SoundDevice* AsSoundDevice(ALCdevice* device) { return reinterpret_cast<SoundDevice*>(device); }
inline ALCcontext* AlContext(SoundContext* context) { return reinterpret_cast<ALCcontext*>(context); }
inline SoundContext* AsSoundContext(ALCcontext* context) { return reinterpret_cast<SoundContext*>(context); }
