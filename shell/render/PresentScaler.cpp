#include "shell/render/PresentScaler.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "shell/render/FrameScaler.h"
#include "shell/render/RasterSpans.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define RUV3_HAVE_AVX2_PRESENT 1
#include <immintrin.h>
#endif

namespace pf {

// Both passes blend two pixels a, b per channel as (a (128 - w) + b w + 64) >> 7: in
// 16-bit lanes the sum stays below 32768, so the byte multiply-add of the wide path, the
// 16-bit products of the narrow one and the plain loop give the same pixels.

namespace {

inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t w) {
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        const uint32_t ca = (a >> s) & 255, cb = (b >> s) & 255;
        out |= ((ca * (128 - w) + cb * w + 64) >> 7) << s;
    }
    return out;
}

void BlendRowsPlain(const uint32_t* a, const uint32_t* b, uint32_t w, uint32_t* out, int from, int count) {
    for (int x = from; x < count; ++x) out[x] = Blend(a[x], b[x], w);
}

#if defined(__SSE2__)
int BlendRowsSse2(const uint32_t* a, const uint32_t* b, uint32_t w, uint32_t* out, int count) {
    const __m128i z = _mm_setzero_si128();
    const __m128i wa = _mm_set1_epi16(short(128 - w)), wb = _mm_set1_epi16(short(w)), round = _mm_set1_epi16(64);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        auto half = [&](__m128i ha, __m128i hb) {
            const __m128i s = _mm_add_epi16(_mm_mullo_epi16(ha, wa), _mm_mullo_epi16(hb, wb));
            return _mm_srli_epi16(_mm_add_epi16(s, round), 7);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(pa, z), _mm_unpacklo_epi8(pb, z));
        const __m128i hi = half(_mm_unpackhi_epi8(pa, z), _mm_unpackhi_epi8(pb, z));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
    return x;
}
#endif

#if defined(RUV3_HAVE_AVX2_PRESENT)
__attribute__((target("avx2"))) inline __m256i BlendEightAvx2(const uint32_t* a, const uint32_t* b, __m256i wv,
                                                               __m256i round) {
    const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    const __m256i lo =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(pa, pb), wv), round), 7);
    const __m256i hi =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(pa, pb), wv), round), 7);
    return _mm256_packus_epi16(lo, hi);
}

// w is 1..127 (the bytes are signed; a row of weight 0 is a copy).
__attribute__((target("avx2"))) int BlendRowsAvx2(const uint32_t* a, const uint32_t* b, uint32_t w, uint32_t* out,
                                                  int count) {
    // Bytes of a and b interleaved meet the weights (128 - w, w) in one multiply-add.
    const __m256i wv = _mm256_set1_epi16(short((w << 8) | (128 - w))), round = _mm256_set1_epi16(64);
    int x = 0;
    if (reinterpret_cast<uintptr_t>(out) % 32 == 0) {
        // The window's pixels are read next by another process: written past the caches.
        for (; x + 8 <= count; x += 8) _mm256_stream_si256(reinterpret_cast<__m256i*>(out + x), BlendEightAvx2(a + x, b + x, wv, round));
        _mm_sfence();
        return x;
    }
    for (; x + 8 <= count; x += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), BlendEightAvx2(a + x, b + x, wv, round));
    return x;
}

// Eight target columns at a time: the window of eight source pixels permuted into the
// left and the right texel of each column, blended byte-wise with the columns' weights.
__attribute__((target("avx2"))) void WidenGroupsAvx2(const uint32_t* src, ptrdiff_t next, const int32_t* base,
                                                     const int32_t* start, const uint8_t* lanes, const int8_t* bytes,
                                                     int groups, uint32_t* out) {
    const __m256i round = _mm256_set1_epi16(64);
    for (int g = 0; g < groups; ++g, lanes += 16, bytes += 64) {
        // The next source row is the next one widened.
        _mm_prefetch(reinterpret_cast<const char*>(src + next + base[g]), _MM_HINT_T0);
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + base[g]));
        const __m256i l = _mm256_permutevar8x32_epi32(
            w, _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes))));
        const __m256i r = _mm256_permutevar8x32_epi32(
            w, _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes + 8))));
        const __m256i wlo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i whi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
        const __m256i lo =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(l, r), wlo), round), 7);
        const __m256i hi =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(l, r), whi), round), 7);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + start[g]), _mm256_packus_epi16(lo, hi));
    }
}
#endif

}  // namespace

PresentScaler::Tap PresentScaler::TapAt(int64_t position, int size) {
    int64_t i = position >> 16;
    int w = int(((position & 0xFFFF) + 256) >> 9);
    if (w == 128) {
        ++i;
        w = 0;
    }
    if (i < 0) return {0, 0, 0};
    if (i >= size - 1) return {size - 1, size - 1, 0};
    return {int(i), int(i) + 1, w};
}

void PresentScaler::BuildColumns(int width, int targetWidth) {
    width_ = width;
    targetWidth_ = targetWidth;
    left_.resize(size_t(targetWidth));
    right_.resize(size_t(targetWidth));
    weight_.resize(size_t(targetWidth));
    for (int x = 0; x < targetWidth; ++x) {
        const Tap t = TapAt(FrameScaler::CentredPosition(x, width, targetWidth), width);
        left_[size_t(x)] = t.first;
        right_[size_t(x)] = t.second;
        weight_[size_t(x)] = uint8_t(t.weight);
    }
    const int groups = (targetWidth + 7) / 8;
    start_.assign(size_t(groups), 0);
    base_.assign(size_t(groups), 0);
    vector_.assign(size_t(groups), 0);
    lanes_.assign(size_t(groups) * 16, 0);
    bytes_.assign(size_t(groups) * 64, 0);
    allVector_ = true;
    for (int g = 0; g < groups; ++g) {
        const int start = targetWidth >= 8 ? std::min(8 * g, targetWidth - 8) : 0;
        start_[size_t(g)] = start;
        bool vector = width >= 8 && targetWidth >= 8;
        const int base = vector ? std::min(left_[size_t(start)], width - 8) : 0;
        base_[size_t(g)] = base;
        for (int k = 0; k < 8 && vector; ++k) {
            const int x = start + k;
            // The weights are signed bytes, so a column on a texel (weight 0) takes it
            // twice at half weight each.
            const int w = weight_[size_t(x)];
            const int l = left_[size_t(x)] - base, r = (w == 0 ? left_[size_t(x)] : right_[size_t(x)]) - base;
            vector = l >= 0 && l < 8 && r >= 0 && r < 8;
            lanes_[size_t(g) * 16 + size_t(k)] = uint8_t(l & 7);
            lanes_[size_t(g) * 16 + 8 + size_t(k)] = uint8_t(r & 7);
            // Unpacking works within 128-bit halves: the low unpack holds columns 0, 1,
            // 4, 5 and the high one 2, 3, 6, 7.
            const int half = (k & 2) ? 1 : 0, slot = (k & 1) + ((k & 4) ? 2 : 0);
            int8_t* b = &bytes_[size_t(g) * 64 + size_t(half) * 32 + size_t(slot) * 8];
            for (int c = 0; c < 4; ++c) {
                b[2 * c] = int8_t(w == 0 ? 64 : 128 - w);
                b[2 * c + 1] = int8_t(w == 0 ? 64 : w);
            }
        }
        vector_[size_t(g)] = vector ? 1 : 0;
        allVector_ = allVector_ && vector;
    }
    widenedRow_[0] = widenedRow_[1] = -1;
}

void PresentScaler::BuildRows(int height, int targetHeight) {
    height_ = height;
    targetHeight_ = targetHeight;
    top_.resize(size_t(targetHeight));
    bottom_.resize(size_t(targetHeight));
    rowWeight_.resize(size_t(targetHeight));
    for (int y = 0; y < targetHeight; ++y) {
        const Tap t = TapAt(FrameScaler::CentredPosition(y, height, targetHeight), height);
        top_[size_t(y)] = t.first;
        bottom_[size_t(y)] = t.second;
        rowWeight_[size_t(y)] = uint8_t(t.weight);
    }
}

void PresentScaler::WidenRow(const uint32_t* src, ptrdiff_t next, uint32_t* out) const {
#if defined(RUV3_HAVE_AVX2_PRESENT)
    if (allVector_ && WideVectorSpans()) {
        WidenGroupsAvx2(src, next, base_.data(), start_.data(), lanes_.data(), bytes_.data(), int(start_.size()), out);
        return;
    }
    const bool wide = WideVectorSpans();
#endif
    for (size_t g = 0; g < start_.size(); ++g) {
#if defined(RUV3_HAVE_AVX2_PRESENT)
        if (wide && vector_[g]) {
            WidenGroupsAvx2(src, next, &base_[g], &start_[g], &lanes_[g * 16], &bytes_[g * 64], 1, out);
            continue;
        }
#endif
        const int end = std::min(start_[g] + 8, targetWidth_);
        for (int x = start_[g]; x < end; ++x)
            out[x] = Blend(src[left_[size_t(x)]], src[right_[size_t(x)]], weight_[size_t(x)]);
    }
}

void PresentScaler::Scale(const uint32_t* src, int width, int height, int pitch, uint32_t* dst, int targetWidth,
                          int targetHeight, int targetPitch) {
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (width != width_ || targetWidth != targetWidth_) BuildColumns(width, targetWidth);
    if (height != height_ || targetHeight != targetHeight_) BuildRows(height, targetHeight);
    for (auto& row : widened_) row.resize(size_t(targetWidth));
    // The widened rows are the frame's of this call only.
    widenedRow_[0] = widenedRow_[1] = -1;
    auto widened = [&](int row, int keep) -> const uint32_t* {
        for (int i = 0; i < 2; ++i)
            if (widenedRow_[i] == row) return widened_[i].data();
        const int i = widenedRow_[0] == keep ? 1 : 0;
        WidenRow(src + size_t(row) * size_t(pitch), row + 1 < height ? pitch : 0, widened_[i].data());
        widenedRow_[i] = row;
        return widened_[i].data();
    };
#if defined(RUV3_HAVE_AVX2_PRESENT)
    const bool wide = WideVectorSpans();
#endif
    for (int y = 0; y < targetHeight; ++y) {
        uint32_t* out = dst + size_t(y) * size_t(targetPitch);
        const int top = top_[size_t(y)], bottom = bottom_[size_t(y)];
        const uint32_t w = rowWeight_[size_t(y)];
        const uint32_t* a = widened(top, bottom);
        if (w == 0) {
            std::memcpy(out, a, size_t(targetWidth) * 4);
            continue;
        }
        const uint32_t* b = widened(bottom, top);
        int x = 0;
#if defined(RUV3_HAVE_AVX2_PRESENT)
        if (wide) x = BlendRowsAvx2(a, b, w, out, targetWidth);
#endif
#if defined(__SSE2__)
        if (x == 0) x = BlendRowsSse2(a, b, w, out, targetWidth);
#endif
        BlendRowsPlain(a, b, w, out, x, targetWidth);
    }
}

}  // namespace pf
