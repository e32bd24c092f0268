#include "sound/SoundSystemOAL.h"

#include "sound/OggStream.h"
#include "sound/OpenAL.h"

ChannelOAL::ChannelOAL(SoundSystemOAL* owner, int index, SoundName source)
    : owner_(owner), index_(index), source_(source) {}

ChannelOAL::~ChannelOAL() = default;

void ChannelOAL::ApplyGain() {
    alSourcef(source_, AL_GAIN, owner_->GetVolume() * params_.volume);
    CheckAlError();
}

void ChannelOAL::Play(const PlayParams& params) {
    auto* sound = dynamic_cast<SoundOAL*>(params.sound);
    // A busy channel ends its play first (callback included), so its stream and buffers
    // are not lost.
    if (!free_) Stop();
    // A voice that played before is left stopped; rewound, it waits in its initial state,
    // so a play started paused begins on the first resume from its start, and the services
    // in between neither free the voice nor count a queued stream buffer as played.
    alSourceRewind(source_);
    free_ = false;
    streamEnded_ = false;
    paused_ = params.paused;
    params_ = params;
    ApplyGain();
    if (!sound) {
        Stop();
        return;
    }
    if (sound->Buffer() != 0) {
        alSourcei(source_, AL_BUFFER, static_cast<ALint>(sound->Buffer()));
        alSourcei(source_, AL_LOOPING, params_.loop ? 1 : 0);
        CheckAlError();
    } else {
        alSourcei(source_, AL_LOOPING, 0);
        stream_ = std::make_unique<OggStream>();
        stream_->Open(sound->Data().data(), sound->Data().size());
        alGenBuffers(3, buffers_);
        CheckAlError();
        for (ALuint buffer : buffers_) {
            if (FillBuffer(buffer)) alSourceQueueBuffers(source_, 1, &buffer);
        }
        CheckAlError();
    }
    if (!params_.paused) {
        alSourcePlay(source_);
        CheckAlError();
    }
}

bool ChannelOAL::FillBuffer(ALuint buffer) {
    auto* sound = dynamic_cast<SoundOAL*>(params_.sound);
    const int n = stream_ && sound ? stream_->ReadChunk(params_.loop) : 0;
    if (n == 0) {
        streamEnded_ = true;
        return false;
    }
    alBufferData(buffer, sound->Format(), stream_->Pcm().data(), n, static_cast<ALsizei>(sound->Rate()));
    CheckAlError();
    return true;
}

void ChannelOAL::Service() {
    if (free_) return;
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    CheckAlError();
    if (stream_) {
        // Paused after it ran dry: left as it is until the resume, when it is refilled
        // and restarted.
        if (paused_ && state == AL_STOPPED) return;
        ALint processed = 0;
        alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
        CheckAlError();
        bool requeued = false;
        for (ALint i = 0; i < processed; ++i) {
            ALuint buffer = 0;
            alSourceUnqueueBuffers(source_, 1, &buffer);
            if (FillBuffer(buffer)) {
                alSourceQueueBuffers(source_, 1, &buffer);
                requeued = true;
            }
            CheckAlError();
        }
        if (requeued && state == AL_STOPPED) {
            // It ran dry between services: start it again.
            alSourcePlay(source_);
            CheckAlError();
        } else if (streamEnded_ && !requeued && state == AL_STOPPED) {
            Stop();
        }
    } else if (state == AL_STOPPED) {
        Stop();
    }
}

void ChannelOAL::Stop() {
    free_ = true;
    paused_ = false;
    alSourceStop(source_);
    CheckAlError();
    Reset();
}

void ChannelOAL::Reset() {
    stream_.reset();
    alSourcei(source_, AL_BUFFER, 0);
    ALint queued = 0;
    alGetSourcei(source_, AL_BUFFERS_QUEUED, &queued);
    for (ALint i = 0; i < queued; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source_, 1, &buffer);
    }
    for (ALuint& buffer : buffers_) {
        if (buffer != 0) alDeleteBuffers(1, &buffer);
        buffer = 0;
    }
    CheckAlError();
    if (params_.callback) {
        // Called last and cleared first: the callback may free what userData names or
        // start a new play on this very channel.
        const ChannelDoneCallback callback = params_.callback;
        const PlayParams done = params_;
        params_.callback = nullptr;
        callback(done.userData, this, &done);
    }
}

void ChannelOAL::Pause(bool pause) {
    if (free_) return;
    paused_ = pause;
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    if (pause && state == AL_PLAYING) alSourcePause(source_);
    if (!pause && (state == AL_PAUSED || state == AL_INITIAL)) alSourcePlay(source_);
    CheckAlError();
}

int ChannelOAL::GetState() {
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    CheckAlError();
    if (state == AL_PLAYING) return 0;
    if (state == AL_PAUSED) return 1;
    return 2;
}

void ChannelOAL::SetVolume(float volume) {
    params_.volume = volume;
    ApplyGain();
}
