// Ogg Vorbis decoding from a block of memory through libvorbisfile: the whole stream at
// once, or a quarter second at a time for streaming (with a seamless loop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <vorbis/vorbisfile.h>

class OggStream {
public:
    // Rates outside this range are refused as damaged.
    static constexpr long kMaxRate = 768000;

    OggStream() = default;
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;
    ~OggStream();

    // Opens the stream over data (not copied: it must outlive the stream). False when
    // the decoder cannot open it.
    bool Open(const void* data, std::size_t size);
    bool IsOpen() const { return open_; }
    void Close();

    int Channels() const { return channels_; }
    long Rate() const { return rate_; }
    // Samples per channel, as the stream claims; negative when unknown.
    std::int64_t PcmTotal() const { return pcmTotal_; }
    double TimeTotal() const { return timeTotal_; }
    // A quarter second of 16-bit PCM; 0 for channel counts other than 1 and 2.
    int ChunkSize() const { return chunkSize_; }

    // Decodes the whole stream into Pcm(), at most the claimed length (and never more
    // than maxBytes). Stops at the end or at damage; sets Ended().
    void ReadAll(std::size_t maxBytes);
    // Decodes up to one chunk into Pcm() and answers its byte count; with loop the end
    // of the stream is completed from its start. 0 once the end was reached (without
    // loop), or when a loop cannot go on (the start cannot be found again, yields no
    // data, or is too short to fill a chunk in a few passes).
    int ReadChunk(bool loop);

    const std::vector<char>& Pcm() const { return pcm_; }
    bool Ended() const { return ended_; }

    // The memory source handed to the decoder, and its callbacks.
    struct MemorySource {
        const unsigned char* data = nullptr;
        std::int64_t size = 0;
        std::int64_t position = 0;
    };
    static std::size_t Read(void* dst, std::size_t elemSize, std::size_t count, void* source);
    static int Seek(void* source, ogg_int64_t offset, int whence);
    static int CloseSource(void* source);
    static long Tell(void* source);

private:
    // One ov_read into pcm_ from `filled`; answers bytes read, 0 at the end (or where a
    // chained section changes the channel count or rate), or a negative decoder error.
    long ReadInto(std::size_t filled);

    MemorySource source_;
    OggVorbis_File file_{};
    bool open_ = false;
    bool ended_ = false;
    int channels_ = 0;
    long rate_ = 0;
    std::int64_t pcmTotal_ = 0;
    double timeTotal_ = 0.0;
    int chunkSize_ = 0;
    int section_ = 0;
    std::vector<char> pcm_;
};
