// Fuzzes Ogg Vorbis decoding from memory: the whole-sound read and the streaming chunks
// with and without looping, as the sound system uses them.
#include <cstddef>
#include <cstdint>

#include "sound/OggStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    {
        OggStream stream;
        if (!stream.Open(data, size)) return 0;
        if (stream.Rate() > 0 && stream.Rate() <= OggStream::kMaxRate && stream.Channels() >= 1 &&
            stream.Channels() <= 2) {
            stream.ReadAll(static_cast<size_t>(16) * stream.Rate() * stream.Channels() * 2);
        }
    }
    for (bool loop : {false, true}) {
        OggStream stream;
        if (!stream.Open(data, size)) return 0;
        // A looping stream never ends by itself: a fixed number of chunks.
        for (int i = 0; i < 12 && stream.ReadChunk(loop) > 0; ++i) {
        }
    }
    return 0;
}
