#include "sound/SoundSystemOAL.h"

#include "sound/OpenAL.h"

SoundSystemOAL& SoundSystemOAL::Global() {
    // Never destroyed: channels may still be asked to stop by sounds freed at exit.
    static SoundSystemOAL* system = new SoundSystemOAL();
    return *system;
}

SoundSystemOAL::~SoundSystemOAL() { Close(); }

bool SoundSystemOAL::Open(const std::function<SoundDevice*()>& openDevice, const int* contextAttributes) {
    if (device_) return isAvailable();
    device_ = openDevice ? openDevice() : AsSoundDevice(alcOpenDevice(nullptr));
    if (!device_) return false;
    context_ = AsSoundContext(alcCreateContext(AlDevice(device_), contextAttributes));
    if (!context_) return false;
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
