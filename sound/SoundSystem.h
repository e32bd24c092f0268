// The sound output interfaces: a sound system with a fixed set of playback voices
// (channels) that play sounds made from Ogg Vorbis files held in memory.
#pragma once

#include <string>

class Sound;
class Channel;
struct PlayParams;

// Fired at most once per play, when the channel playing it is stopped or released.
using ChannelDoneCallback = void (*)(void* userData, Channel* channel, const PlayParams* params);

struct PlayParams {
    Sound* sound = nullptr;  // not owned: the sound must outlive the play
    bool loop = false;
    int reserved = 0;  // read by nothing
    float volume = 1.0f;
    bool paused = false;  // start paused; the first resume starts it
    std::wstring name;    // the resource id the sound was played by
    ChannelDoneCallback callback = nullptr;
    void* userData = nullptr;
};

class Sound {
public:
    virtual ~Sound() = default;
    virtual int GetLength() = 0;  // milliseconds
};

class Channel {
public:
    virtual ~Channel() = default;
    virtual void Play(const PlayParams& params) = 0;
    virtual void Pause(bool pause) = 0;
    virtual void Stop() = 0;
    // 0 playing, 1 paused, 2 stopped or not started.
    virtual int GetState() = 0;
    virtual Sound* GetSound() = 0;
    virtual float GetVolume() = 0;
    virtual PlayParams& GetParams() = 0;
    virtual void SetVolume(float volume) = 0;
};

class SoundSystem {
public:
    virtual ~SoundSystem() = default;
    virtual void PauseAll() = 0;
    virtual void ResumeAll() = 0;
    virtual bool isAvailable() = 0;
    // A new sound owned by the caller, or null when sound is off or the bytes are not a
    // sound this system can play.
    virtual Sound* CreateSound(const void* data, int size) = 0;
    virtual float GetVolume() = 0;
    virtual void SetVolume(float volume) = 0;
    // The per-frame service: refills streams and frees channels that have played out.
    virtual void Update() = 0;
    virtual Channel* GetFreeChannel() = 0;
};
