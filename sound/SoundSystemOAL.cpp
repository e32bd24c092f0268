#include "sound/SoundSystemOAL.h"

#include <cstdlib>

#include "shell/foundation/Log.h"
#include "shell/platform/SharedLibrary.h"
#include "sound/OpenAL.h"

namespace {

// ALSA's error handler type: file, line, function, error, then a printf format.
extern "C" void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

// Where no device can be opened, OpenAL Soft and ALSA under it write some ten lines of
// their errors to standard error at every start. They stay quiet unless the user asks
// for OpenAL Soft's messages by setting ALSOFT_LOGLEVEL; the log says that sound is off.
void SoundSystemOAL::QuietLibrariesUnlessAsked() {
    static bool done = false;
    if (done) return;
    done = true;
    if (std::getenv("ALSOFT_LOGLEVEL")) return;
    setenv("ALSOFT_LOGLEVEL", "0", 0);  // read by OpenAL Soft when the first device opens
    // ALSA has no such setting, only a handler for its errors. OpenAL Soft loads the same
    // library when it opens a device, so the handler set here holds there; the library
    // stays loaded for that.
    if (void* alsa = pf::OpenSharedLibrary("libasound.so.2")) {
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(pf::FindLibrarySymbol(alsa, "snd_lib_error_set_handler")))
            set(&IgnoreAlsaError);
    }
}

SoundSystemOAL& SoundSystemOAL::Global() {
    // Never destroyed: channels may still be asked to stop by sounds freed at exit.
    static SoundSystemOAL* system = new SoundSystemOAL();
    return *system;
}

SoundSystemOAL::~SoundSystemOAL() { Close(); }

bool SoundSystemOAL::Open(const std::function<SoundDevice*()>& openDevice, const int* contextAttributes) {
    if (device_) return isAvailable();
    if (!openDevice) QuietLibrariesUnlessAsked();
    device_ = openDevice ? openDevice() : AsSoundDevice(alcOpenDevice(nullptr));
    if (!device_) {
        pf::DebugStream() << "sound: no sound device could be opened; sound is off "
                             "(ALSOFT_LOGLEVEL=3 shows the sound library's reasons on standard error)";
        return false;
    }
    context_ = AsSoundContext(alcCreateContext(AlDevice(device_), contextAttributes));
    if (!context_) {
        pf::DebugStream() << "sound: the sound device refused a mixing context; sound is off";
        alcCloseDevice(AlDevice(device_));
        device_ = nullptr;
        return false;
    }
    alcMakeContextCurrent(AlContext(context_));
    for (int i = 0; i < kChannelCount; ++i) {
        ALuint source = 0;
        alGenSources(1, &source);
        CheckAlError();
        channels_.push_back(std::make_unique<ChannelOAL>(this, i, source));
    }
    return true;
}

void SoundSystemOAL::Close() {
    for (auto& channel : channels_) {
        if (!channel->IsFree()) channel->Stop();
    }
    if (context_) {
        for (auto& channel : channels_) {
            ALuint source = channel->Source();
            alDeleteSources(1, &source);
        }
        CheckAlError();
    }
    channels_.clear();
    if (context_) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(AlContext(context_));
        context_ = nullptr;
    }
    if (device_) {
        alcCloseDevice(AlDevice(device_));
        device_ = nullptr;
    }
}

void SoundSystemOAL::PauseAll() {
    for (auto& channel : channels_) channel->Pause(true);
}

void SoundSystemOAL::ResumeAll() {
    for (auto& channel : channels_) channel->Pause(false);
}

Sound* SoundSystemOAL::CreateSound(const void* data, int size) {
    if (!context_) return nullptr;
    auto sound = std::make_unique<SoundOAL>(this);
    if (!sound->Load(data, size)) return nullptr;
    return sound.release();
}

void SoundSystemOAL::SetVolume(float volume) {
    masterVolume_ = volume;
    for (auto& channel : channels_) channel->ApplyGain();
}

void SoundSystemOAL::Update() {
    for (auto& channel : channels_) channel->Service();
}

Channel* SoundSystemOAL::GetFreeChannel() {
    for (auto& channel : channels_) {
        if (channel->IsFree()) return channel.get();
    }
    return nullptr;
}

int SoundSystemOAL::GetFreeChannelCount() const {
    int count = 0;
    for (const auto& channel : channels_) count += channel->IsFree() ? 1 : 0;
    return count;
}

void SoundSystemOAL::StopChannelsPlaying(const Sound* sound) {
    for (auto& channel : channels_) {
        if (!channel->IsFree() && channel->GetSound() == sound) channel->Stop();
    }
}
