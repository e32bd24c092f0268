// Decoding from memory: chunk sizes, seamless loops, the end of a stream, the memory
// callbacks and damaged input.
#include <cstdio>
#include <cstring>

#include "sound/OggStream.h"
#include "sound/SoundTestSupport.h"

namespace {

using soundtest::LoopbackSound;

// The decoding tests need no device, but share the fixture's sox helper.
class OggStreamTest : public LoopbackSound {};

TEST_F(OggStreamTest, ChunkIsAQuarterSecondRoundedToWholeFrames) {
    struct Case {
        int rate, channels, chunk;
    } cases[] = {{44100, 2, 44100}, {22050, 1, 11024}, {22050, 2, 22048}, {11025, 1, 5512}, {8000, 6, 0}};
    for (const Case& c : cases) {
        const std::string bytes = MakeOgg(0.1, c.rate, c.channels);
        OggStream stream;
        ASSERT_TRUE(stream.Open(bytes.data(), bytes.size())) << c.rate;
        EXPECT_EQ(stream.ChunkSize(), c.chunk) << c.rate << " Hz, " << c.channels << " channels";
    }
}

TEST_F(OggStreamTest, LoopingChunksContinueFromTheStartWithoutAGap) {
    const std::string bytes = MakeOgg(0.3, 22050, 1, "sine 300");
    OggStream whole;
    ASSERT_TRUE(whole.Open(bytes.data(), bytes.size()));
    whole.ReadAll(1 << 20);
    const std::vector<char> pcm = whole.Pcm();
    ASSERT_EQ(pcm.size(), 6615u * 2);

    OggStream looping;
    ASSERT_TRUE(looping.Open(bytes.data(), bytes.size()));
    std::vector<char> played;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(looping.ReadChunk(true), 11024) << "chunk " << i;
        played.insert(played.end(), looping.Pcm().begin(), looping.Pcm().end());
    }
    EXPECT_FALSE(looping.Ended());
    for (size_t i = 0; i < played.size(); ++i) {
        ASSERT_EQ(played[i], pcm[i % pcm.size()]) << "byte " << i << " of the looped output";
    }
}

TEST_F(OggStreamTest, WithoutLoopTheLastChunkIsShortAndThenNothing) {
    const std::string bytes = MakeOgg(0.3, 22050, 1);
    OggStream stream;
    ASSERT_TRUE(stream.Open(bytes.data(), bytes.size()));
    EXPECT_EQ(stream.ReadChunk(false), 11024);
    EXPECT_EQ(stream.ReadChunk(false), 13230 - 11024);
    EXPECT_TRUE(stream.Ended());
    EXPECT_EQ(stream.ReadChunk(false), 0);
}

TEST_F(OggStreamTest, AChainedSectionOfAnotherFormatEndsTheStream) {
    // Sections of a chained file: the first one's format is the buffer format; a later
    // section in the same format plays on, one in another channel count or rate does not.
    struct Case {
        int rate1, channels1, rate2, channels2;
        bool samePlaysOn;
    } cases[] = {{8000, 1, 44100, 2, false},
                 {44100, 2, 22050, 1, false},
                 {22050, 1, 44100, 1, false},
                 {22050, 2, 22050, 2, true}};
    for (const Case& c : cases) {
        const std::string first = MakeOgg(0.3, c.rate1, c.channels1);
        const std::string chained = first + MakeOgg(0.3, c.rate2, c.channels2);
        const std::string what = std::to_string(c.rate1) + "/" + std::to_string(c.channels1) + " then " +
                                 std::to_string(c.rate2) + "/" + std::to_string(c.channels2);
        const size_t firstBytes = size_t(c.rate1) * 3 / 10 * c.channels1 * 2;
        const size_t expected = c.samePlaysOn ? 2 * firstBytes : firstBytes;
        const size_t frame = size_t(c.channels1) * 2;

        OggStream whole;
        ASSERT_TRUE(whole.Open(chained.data(), chained.size())) << what;
        whole.ReadAll(1 << 24);
        EXPECT_EQ(whole.Pcm().size(), expected) << what;

        OggStream once;
        ASSERT_TRUE(once.Open(chained.data(), chained.size()));
        size_t total = 0;
        for (int n; (n = once.ReadChunk(false)) > 0;) {
            EXPECT_EQ(n % frame, 0u) << what << ": a chunk of part frames";
            total += size_t(n);
            ASSERT_LE(total, 4 * expected);
        }
        EXPECT_EQ(total, expected) << what;

        OggStream looping;
        ASSERT_TRUE(looping.Open(chained.data(), chained.size()));
        for (int i = 0; i < 6; ++i) EXPECT_EQ(looping.ReadChunk(true), looping.ChunkSize()) << what << " chunk " << i;
    }
}

TEST_F(OggStreamTest, ALoopTooShortToFillAChunkInAFewPassesEnds) {
    // A frame or two that claims to be long enough to stream: looping it would seek back
    // thousands of times for every chunk.
    const std::string bytes = MakeOgg(0.00003, 44100, 2);
    OggStream stream;
    ASSERT_TRUE(stream.Open(bytes.data(), bytes.size()));
    EXPECT_LT(stream.ReadChunk(true), stream.ChunkSize());
    EXPECT_TRUE(stream.Ended());
    EXPECT_EQ(stream.ReadChunk(true), 0);
}

TEST(OggMemorySource, SeeksAsTheDecoderExpects) {
    unsigned char data[100] = {};
    struct Case {
        long long start, offset;
        int whence;
        int result;
        long long position;
    } cases[] = {
        {10, 0, SEEK_SET, 0, 0},     {10, 100, SEEK_SET, 0, 100}, {10, 101, SEEK_SET, -1, 10},
        {10, -1, SEEK_SET, -1, 10},  {10, -10, SEEK_END, 0, 90},  {10, 0, SEEK_END, 0, 100},
        {10, 50, SEEK_END, 0, 50},   {10, 200, SEEK_END, -1, 10}, {10, 89, SEEK_CUR, 0, 99},
        {10, 90, SEEK_CUR, -1, 10},  {10, -11, SEEK_CUR, -1, 10}, {10, -10, SEEK_CUR, 0, 0},
    };
    for (const Case& c : cases) {
        OggStream::MemorySource source{data, 100, c.start};
        EXPECT_EQ(OggStream::Seek(&source, c.offset, c.whence), c.result) << c.offset << " whence " << c.whence;
        EXPECT_EQ(source.position, c.position) << c.offset << " whence " << c.whence;
    }
    OggStream::MemorySource source{data, 100, 95};
    unsigned char out[16];
    EXPECT_EQ(OggStream::Read(out, 1, 16, &source), 5u);
    EXPECT_EQ(OggStream::Read(out, 1, 16, &source), 0u);
    EXPECT_EQ(OggStream::Tell(&source), 100);
    EXPECT_EQ(OggStream::CloseSource(&source), 0);
    EXPECT_EQ(source.position, 0);
}

TEST_F(OggStreamTest, DamagedStreamsEndInsteadOfHanging) {
    const std::string bytes = MakeOgg(2.0, 22050, 2);
    // Cut in the middle, and with the middle overwritten by noise.
    std::string cut = bytes.substr(0, bytes.size() / 2);
    std::string noisy = bytes;
    for (size_t i = bytes.size() / 3; i < bytes.size() / 2; ++i) noisy[i] = static_cast<char>(i * 131);
    for (const std::string& damaged : {cut, noisy}) {
        OggStream stream;
        if (!stream.Open(damaged.data(), damaged.size())) continue;
        stream.ReadAll(1 << 22);
        EXPECT_LE(stream.Pcm().size(), 2u * 22050 * 2 * 2);
        OggStream looping;
        ASSERT_TRUE(looping.Open(damaged.data(), damaged.size()));
        int chunks = 0;
        while (looping.ReadChunk(false) > 0) ASSERT_LT(++chunks, 100);
    }
    OggStream junk;
    const std::string text(4096, 'x');
    EXPECT_FALSE(junk.Open(text.data(), text.size()));
    EXPECT_EQ(junk.ReadChunk(true), 0);
}

}  // namespace
