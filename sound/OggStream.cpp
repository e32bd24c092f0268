#include "sound/OggStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A damaged stream may report holes without end; this many in a row ends the read.
constexpr int kMaxHolesInARow = 64;
// A stream long enough to be streamed wraps at most once per chunk; one that needs more
// than this many wraps to fill a chunk is a few samples claiming to be long, and each
// wrap is a seek: it ends instead.
constexpr int kMaxWrapsPerChunk = 8;

}  // namespace

OggStream::~OggStream() { Close(); }

std::size_t OggStream::Read(void* dst, std::size_t elemSize, std::size_t count, void* source) {
    auto* s = static_cast<MemorySource*>(source);
    if (elemSize == 0 || s->position >= s->size) return 0;
    const std::size_t left = static_cast<std::size_t>(s->size - s->position);
    const std::size_t n = std::min(count, left / elemSize);
    std::memcpy(dst, s->data + s->position, n * elemSize);
    s->position += static_cast<std::int64_t>(n * elemSize);
    return n * elemSize;
}

int OggStream::Seek(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<MemorySource*>(source);
    switch (whence) {
        case SEEK_SET:
            if (offset < 0 || offset > s->size) return -1;
            s->position = offset;
            return 0;
        case SEEK_END: {
            const std::int64_t p = s->size + offset;
            if (p >= 0 && p <= s->size) {
                s->position = p;
            } else if (offset >= 0 && offset <= s->size) {
                s->position = offset;
            } else {
                return -1;
            }
            return 0;
        }
        default: {
            const std::int64_t p = s->position + offset;
            if (p < 0 || p >= s->size) return -1;
            s->position = p;
            return 0;
        }
    }
}

int OggStream::CloseSource(void* source) {
    static_cast<MemorySource*>(source)->position = 0;
    return 0;
}

long OggStream::Tell(void* source) { return static_cast<long>(static_cast<MemorySource*>(source)->position); }

bool OggStream::Open(const void* data, std::size_t size) {
    Close();
    source_ = MemorySource{static_cast<const unsigned char*>(data), static_cast<std::int64_t>(size), 0};
    const ov_callbacks callbacks{&OggStream::Read, &OggStream::Seek, &OggStream::CloseSource, &OggStream::Tell};
    if (!data || ov_open_callbacks(&source_, &file_, nullptr, 0, callbacks) < 0) return false;
    open_ = true;
    ended_ = false;
    section_ = 0;
    // The decoder leaves a chained file positioned in its second section: start at the
    // beginning, or the first section would never be heard.
    if (ov_streams(&file_) > 1 && ov_pcm_seek(&file_, 0) != 0) {
        Close();
        return false;
    }
    if (const vorbis_info* info = ov_info(&file_, -1)) {
        channels_ = info->channels;
        rate_ = info->rate;
    }
    pcmTotal_ = ov_pcm_total(&file_, -1);
    timeTotal_ = ov_time_total(&file_, -1);
    if (rate_ > 0 && rate_ <= kMaxRate) {
        if (channels_ == 1) chunkSize_ = static_cast<int>(rate_ / 2) & ~1;
        if (channels_ == 2) chunkSize_ = static_cast<int>(rate_) & ~3;
    }
    return true;
}

void OggStream::Close() {
    if (open_) ov_clear(&file_);
    open_ = false;
    channels_ = 0;
    rate_ = 0;
    pcmTotal_ = 0;
    timeTotal_ = 0.0;
    chunkSize_ = 0;
    pcm_.clear();
    pcm_.shrink_to_fit();
}

long OggStream::ReadInto(std::size_t filled) {
    const std::size_t room = std::min<std::size_t>(pcm_.size() - filled, 1 << 30);
    if (room == 0) return 0;
    // 16-bit signed little-endian samples.
    const long n = ov_read(&file_, pcm_.data() + filled, static_cast<int>(room), 0, 2, 1, &section_);
    // A chained file may go on in another channel count or rate; such samples would not
    // fit the buffers made for the first section (nor their chunk size): they end the
    // stream, as its end does.
    if (n > 0) {
        const vorbis_info* info = ov_info(&file_, section_);
        if (!info || info->channels != channels_ || info->rate != rate_) return 0;
    }
    return n;
}

void OggStream::ReadAll(std::size_t maxBytes) {
    pcm_.clear();
    ended_ = true;
    if (!open_ || pcmTotal_ <= 0 || channels_ <= 0) return;
    const std::uint64_t claimed = static_cast<std::uint64_t>(pcmTotal_) * static_cast<std::uint64_t>(channels_) * 2u;
    pcm_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(claimed, maxBytes)));
    std::size_t filled = 0;
    int holes = 0;
    for (;;) {
        const long n = ReadInto(filled);
        if (n == 0) break;
        if (n < 0) {
            // A hole is a gap in the data; the decoder goes on after it. Anything else
            // is damage: keep what was decoded.
            if (n == OV_HOLE && ++holes < kMaxHolesInARow) continue;
            break;
        }
        holes = 0;
        filled += static_cast<std::size_t>(n);
    }
    pcm_.resize(filled);
}

int OggStream::ReadChunk(bool loop) {
    pcm_.clear();
    if (!open_ || ended_ || chunkSize_ <= 0) return 0;
    pcm_.resize(static_cast<std::size_t>(chunkSize_));
    std::size_t filled = 0;
    int holes = 0;
    bool wrapped = false;  // whether the last thing done was a wrap to the start
    int wraps = 0;
    while (filled < pcm_.size()) {
        const long n = ReadInto(filled);
        if (n > 0) {
            filled += static_cast<std::size_t>(n);
            holes = 0;
            wrapped = false;
            continue;
        }
        if (n < 0 && n == OV_HOLE && ++holes < kMaxHolesInARow) continue;
        // The end, or damage: a loop starts again from the beginning unless the start
        // cannot be found or gave nothing since the last wrap.
        if (n < 0 || !loop || wrapped || ++wraps > kMaxWrapsPerChunk || ov_pcm_seek(&file_, 0) != 0) {
            ended_ = true;
            break;
        }
        wrapped = true;
    }
    pcm_.resize(filled);
    return static_cast<int>(filled);
}
