#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "sound/SoundSystemOAL.h"

#include "sound/OggStream.h"
#include "sound/OpenAL.h"

void CheckAlError() {
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR) std::printf("AL error: %d\n", error);
}

SoundOAL::SoundOAL(SoundSystemOAL* owner) : owner_(owner), format_(AL_FORMAT_MONO16) {}

SoundOAL::~SoundOAL() {
    // A channel still playing this sound would read a freed buffer or stream.
    if (owner_) owner_->StopChannelsPlaying(this);
    if (buffer_ != 0 && owner_ && owner_->isAvailable()) {
        alDeleteBuffers(1, &buffer_);
        CheckAlError();
    }
}

bool SoundOAL::Load(const void* data, int size) {
    if (!data || size <= 0) return false;
    data_.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);

    OggStream stream;
    if (!stream.Open(data_.data(), data_.size())) return false;
    const int channels = stream.Channels();
    rate_ = stream.Rate();
    if (channels < 1 || channels > 2 || rate_ <= 0 || rate_ > OggStream::kMaxRate || stream.PcmTotal() <= 0) {
        return false;
    }
    format_ = channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
    const double ms = std::trunc(stream.TimeTotal() * 1000.0);
    length_ = ms >= 0 && ms <= std::numeric_limits<int>::max() ? static_cast<int>(ms) : 0;

    if (stream.PcmTotal() / rate_ < kStreamFromSeconds) {
        // Never more than the longest sound decoded whole could hold, whatever the
        // stream claims.
        const std::size_t maxBytes =
            static_cast<std::size_t>(kStreamFromSeconds) * static_cast<std::size_t>(rate_) * channels * 2u;
        stream.ReadAll(maxBytes);
        const std::vector<char>& pcm = stream.Pcm();
        if (pcm.empty()) return false;
        alGenBuffers(1, &buffer_);
        alBufferData(buffer_, format_, pcm.data(), static_cast<ALsizei>(pcm.size()), static_cast<ALsizei>(rate_));
        CheckAlError();
    } else if (stream.ReadChunk(false) == 0) {
        // A long sound whose first chunk does not decode would play nothing.
        return false;
    }
    return true;
}
