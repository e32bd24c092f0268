// PGM and PPM, binary (P5, P6) or plain text (P2, P3), of any maximum value up to 65535,
// and plain-text PBM (P1).
#include <algorithm>

#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Moves past whitespace and comments.
void SkipBlanks(const uint8_t* data, size_t size, size_t& pos) {
    while (pos < size) {
        if (data[pos] == '#') {
            while (pos < size && data[pos] != '\n') ++pos;
        } else if (IsSpace(data[pos])) {
            ++pos;
        } else {
            break;
        }
    }
}

// Reads one number after whitespace and comments; false when there is none.
bool ReadNumber(const uint8_t* data, size_t size, size_t& pos, int64_t& value) {
    SkipBlanks(data, size, pos);
    if (pos >= size || data[pos] < '0' || data[pos] > '9') return false;
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
    const char kind = data && size >= 2 && data[0] == 'P' ? char(data[1]) : 0;
    if (kind != '1' && kind != '2' && kind != '3' && kind != '5' && kind != '6')
        return fail("not a PBM, PGM or PPM file");
    const bool text = kind <= '3';
    const bool bitmap = kind == '1';
    const int channels = kind == '3' || kind == '6' ? 3 : 1;
    size_t pos = 2;
    int64_t width = 0, height = 0, maxValue = 1;
    if (!ReadNumber(data, size, pos, width) || !ReadNumber(data, size, pos, height) ||
        (!bitmap && !ReadNumber(data, size, pos, maxValue)) || pos >= size || !IsSpace(data[pos]))
        return fail("the header is cut short or malformed");
    ++pos;  // the one whitespace byte before the samples
    if (maxValue < 1 || maxValue > 65535) return fail("the maximum value is out of range");
    if (!CheckImageSize("PNM", width, height)) return false;
    const size_t sampleBytes = maxValue > 255 ? 2 : 1;
    const size_t count = size_t(width) * size_t(height);
    // The least the samples can take: binary ones their width; text ones a digit each,
    // apart from a bitmap's, with a separator.
    const size_t samples = count * size_t(channels);
    const size_t least = !text ? samples * sampleBytes : bitmap ? samples : 2 * samples - 1;
    if (size - pos < least) return fail("the file is truncated");

    MemorySurface decoded;
    InitDecoded(decoded, int(width), int(height), order);
    uint8_t* d = decoded.GetView().data;
    const uint8_t* s = data + pos;
    const uint32_t max = uint32_t(maxValue);
    bool malformed = false;
    // Binary samples are big-endian; every maximum value is scaled to 0..255 with
    // rounding. A bitmap's 1 is black.
    auto sample = [&]() -> uint8_t {
        uint32_t v = 0;
        if (!text) {
            v = sampleBytes == 2 ? (uint32_t(s[0]) << 8 | s[1]) : s[0];
            s += sampleBytes;
        } else if (bitmap) {
            // A bitmap's digits need no separator: each one is a sample.
            SkipBlanks(data, size, pos);
            if (pos < size && (data[pos] == '0' || data[pos] == '1')) {
                v = data[pos++] == '0' ? 1 : 0;
            } else {
                malformed = true;
            }
        } else {
            int64_t number = 0;
            if (!ReadNumber(data, size, pos, number)) malformed = true;
            v = uint32_t(std::min<int64_t>(number, max));
        }
        if (v > max) v = max;
        return max == 255 ? uint8_t(v) : uint8_t((v * 255 + max / 2) / max);
    };
    for (size_t i = 0; i < count && !malformed; ++i, d += 4) {
        const uint8_t r = sample();
        const uint8_t g = channels == 3 ? sample() : r;
        const uint8_t b = channels == 3 ? sample() : r;
        PutPixel(d, order, r, g, b, 255);
    }
    if (malformed) return fail("a sample is missing or malformed");
    out.Swap(decoded);
    return true;
}

}  // namespace pf
