// Binary PGM (P5) and PPM (P6) of any maximum value up to 65535.
#include "shell/Log.h"
#include "shell/platform/ImageCodec.h"

namespace pf {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Reads one header number after whitespace and comments; false when there is none.
bool ReadNumber(const uint8_t* data, size_t size, size_t& pos, int64_t& value) {
    for (;;) {
        if (pos >= size) return false;
        if (data[pos] == '#') {
            while (pos < size && data[pos] != '\n') ++pos;
        } else if (IsSpace(data[pos])) {
            ++pos;
        } else {
            break;
        }
    }
    if (data[pos] < '0' || data[pos] > '9') return false;
    value = 0;
    while (pos < size && data[pos] >= '0' && data[pos] <= '9') {
        value = value * 10 + (data[pos++] - '0');
        if (value > 1000000000) return false;
    }
    return true;
}

}  // namespace

bool DecodePnm(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order) {
    auto fail = [](const char* why) {
        DebugStream() << "PNM: cannot decode the image: " << why;
        return false;
    };
    if (!data || size < 2 || data[0] != 'P' || (data[1] != '5' && data[1] != '6'))
        return fail("not a binary PGM or PPM file");
    const int channels = data[1] == '6' ? 3 : 1;
    size_t pos = 2;
    int64_t width = 0, height = 0, maxValue = 0;
    if (!ReadNumber(data, size, pos, width) || !ReadNumber(data, size, pos, height) ||
        !ReadNumber(data, size, pos, maxValue) || pos >= size || !IsSpace(data[pos]))
        return fail("the header is cut short or malformed");
    ++pos;  // the one whitespace byte before the samples
    if (maxValue < 1 || maxValue > 65535) return fail("the maximum value is out of range");
    if (!CheckImageSize("PNM", width, height)) return false;
    const size_t sampleBytes = maxValue > 255 ? 2 : 1;
    const size_t count = size_t(width) * size_t(height);
    if (size - pos < count * size_t(channels) * sampleBytes) return fail("the file is truncated");

    MemorySurface decoded;
    decoded.Init(int(width), int(height), 4,
                 order == DecodeOrder::BGRA ? PixelFormat::A8R8G8B8 : PixelFormat::A8B8G8R8);
    uint8_t* d = decoded.GetView().data;
    const uint8_t* s = data + pos;
    const int ri = order == DecodeOrder::BGRA ? 2 : 0, bi = 2 - ri;
    const uint32_t max = uint32_t(maxValue);
    // Samples are big-endian; every maximum value is scaled to 0..255 with rounding.
    auto sample = [&]() -> uint8_t {
        uint32_t v = sampleBytes == 2 ? (uint32_t(s[0]) << 8 | s[1]) : s[0];
        s += sampleBytes;
        if (v > max) v = max;
        return max == 255 ? uint8_t(v) : uint8_t((v * 255 + max / 2) / max);
    };
    for (size_t i = 0; i < count; ++i, d += 4) {
        const uint8_t r = sample();
        const uint8_t g = channels == 3 ? sample() : r;
        const uint8_t b = channels == 3 ? sample() : r;
        d[ri] = r;
        d[1] = g;
        d[bi] = b;
        d[3] = 255;
    }
    out.Swap(decoded);
    return true;
}

}  // namespace pf
