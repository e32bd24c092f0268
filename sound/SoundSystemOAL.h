// The sound system over OpenAL: 16 voices, sounds decoded whole when short and streamed
// from memory through three rotating buffers when long. Everything runs on the main
// thread, serviced once per frame by Update.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "sound/SoundSystem.h"

class OggStream;
class SoundSystemOAL;

// OpenAL's objects as callers of the sound system see them. Only the sound system's own
// .cpp files (through sound/OpenAL.h) see them as the library's types.
struct SoundDevice;              // an output device
struct SoundContext;             // a device's mixing context
using SoundName = unsigned int;  // a source or a buffer; 0: none
using SoundFormat = int;         // a sample format (mono or stereo, 16 bits)

// Prints "AL error: %d\n" when OpenAL has an error pending; nothing else is done about it.
void CheckAlError();

class SoundOAL : public Sound {
public:
    // Sounds of fewer whole seconds than this are decoded once at load.
    static constexpr std::int64_t kStreamFromSeconds = 16;

    explicit SoundOAL(SoundSystemOAL* owner);
    ~SoundOAL() override;

    // Copies and inspects the bytes; decodes a short sound into one buffer. False for
    // bytes the decoder cannot open, a rate of 0 (or past any real rate), a channel count
    // other than 1 or 2, or no audio at all.
    bool Load(const void* data, int size);

    int GetLength() override { return length_; }
    SoundFormat Format() const { return format_; }
    SoundName Buffer() const { return buffer_; }  // 0: streamed
    long Rate() const { return rate_; }
    const std::vector<unsigned char>& Data() const { return data_; }

private:
    SoundSystemOAL* owner_;
    SoundFormat format_;
    int length_ = 0;
    SoundName buffer_ = 0;
    long rate_ = 0;
    std::vector<unsigned char> data_;
};

class ChannelOAL : public Channel {
public:
    ChannelOAL(SoundSystemOAL* owner, int index, SoundName source);
    ~ChannelOAL() override;

    void Play(const PlayParams& params) override;
    void Pause(bool pause) override;
    void Stop() override;
    int GetState() override;
    Sound* GetSound() override { return params_.sound; }
    float GetVolume() override { return params_.volume; }
    PlayParams& GetParams() override { return params_; }
    void SetVolume(float volume) override;

    // The per-frame service: refills a stream, frees the channel once its sound is done.
    void Service();
    bool IsFree() const { return free_; }
    int Index() const { return index_; }
    SoundName Source() const { return source_; }
    // Applies the master volume times this channel's volume to the source.
    void ApplyGain();

private:
    bool FillBuffer(SoundName buffer);
    void Reset();

    SoundSystemOAL* owner_;
    int index_;
    SoundName source_;
    PlayParams params_;
    bool free_ = true;
    std::unique_ptr<OggStream> stream_;
    bool streamEnded_ = false;
    bool paused_ = false;  // by Pause (or started paused), until the resume
    SoundName buffers_[3] = {0, 0, 0};
};

class SoundSystemOAL : public SoundSystem {
public:
    static constexpr int kChannelCount = 16;

    // The one system of the process, made on first use and kept until exit.
    static SoundSystemOAL& Global();

    SoundSystemOAL() = default;
    SoundSystemOAL(const SoundSystemOAL&) = delete;
    SoundSystemOAL& operator=(const SoundSystemOAL&) = delete;
    ~SoundSystemOAL() override;

    // Opens the default device (or the one openDevice answers, e.g. a loopback device for
    // tests, with its OpenAL context attributes) and makes the 16 channels. Without a
    // device or a context sound stays off, with one log line (and the device closed).
    // Before the default device opens, OpenAL Soft's and ALSA's messages on standard
    // error are turned off unless ALSOFT_LOGLEVEL is set. Answers isAvailable().
    bool Open(const std::function<SoundDevice*()>& openDevice = {}, const int* contextAttributes = nullptr);
    // Stops every channel, deletes the voices and closes the context and the device.
    void Close();
    // Sets ALSOFT_LOGLEVEL to 0 unless the user set it, and silences ALSA's error handler.
    // It changes the process environment, so the program calls it first, before any
    // thread exists; Open calls it too (a second call does nothing).
    static void QuietLibrariesUnlessAsked();

    void PauseAll() override;
    void ResumeAll() override;
    bool isAvailable() override { return context_ != nullptr; }
    Sound* CreateSound(const void* data, int size) override;
    float GetVolume() override { return masterVolume_; }
    void SetVolume(float volume) override;
    void Update() override;
    Channel* GetFreeChannel() override;

    int GetFreeChannelCount() const;
    SoundDevice* Device() const { return device_; }
    const std::vector<std::unique_ptr<ChannelOAL>>& Channels() const { return channels_; }
    // Stops every channel playing sound (before the sound goes).
    void StopChannelsPlaying(const Sound* sound);

private:
    std::vector<std::unique_ptr<ChannelOAL>> channels_;
    float masterVolume_ = 1.0f;
    SoundDevice* device_ = nullptr;
    SoundContext* context_ = nullptr;
};
