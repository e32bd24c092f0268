#include "shell/render/PresentScaler.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>

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
__attribute__((target("avx2"))) inline __m256i Load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline void Store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Pixel pairs with their bytes interleaved (lo, hi: the two unpacked halves of eight
// pixels) blended with the byte weights `w`: (s + 64) >> 7 of the multiply-add's sums s
// is (s 256 + 2^14) >> 15, one rounding multiply.
__attribute__((target("avx2"))) inline __m256i BlendInterleaved(__m256i lo, __m256i hi, __m256i wlo, __m256i whi) {
    const __m256i k = _mm256_set1_epi16(256);
    return _mm256_packus_epi16(_mm256_mulhrs_epi16(_mm256_maddubs_epi16(lo, wlo), k),
                               _mm256_mulhrs_epi16(_mm256_maddubs_epi16(hi, whi), k));
}

// The vector pass's columns (see PresentScaler's members).
struct Columns {
    const int32_t* base;
    const int32_t* pattern;  // byte offsets into patterns
    const char* patterns;
    int groups, width;

    const PresentScaler::Pattern& PatternOf(int g) const {
        return *reinterpret_cast<const PresentScaler::Pattern*>(patterns + pattern[g]);
    }
};

// Eight columns of a source row widened into out: the window of eight source pixels from
// `window` permuted into the left and the right texel of each column, blended byte-wise
// with the columns' weights.
__attribute__((target("avx2"))) inline void WidenGroupAvx2(const uint32_t* window, const PresentScaler::Pattern& p,
                                                           uint32_t* out) {
    const __m256i w = Load8(window);
    const __m256i l = _mm256_permutevar8x32_epi32(w, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.left)));
    const __m256i r = _mm256_permutevar8x32_epi32(w, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.right)));
    Store8(out, BlendInterleaved(_mm256_unpacklo_epi8(l, r), _mm256_unpackhi_epi8(l, r),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.bytes)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.bytes + 32))));
}

// Groups from..to - 1 of a source row widened.
__attribute__((target("avx2"))) void WidenGroupsAvx2(const uint32_t* src, const Columns& c, int from, int to,
                                                     uint32_t* out) {
    for (int g = from; g < to; ++g) WidenGroupAvx2(src + c.base[g], c.PatternOf(g), out + std::min(8 * g, c.width - 8));
}

// Up to two target rows written from widened rows a and b: Rows 0 copies a into out[0],
// else out[r] is the blend with weights `wv[r]` (bytes (128 - w, w)).
template <int Rows>
struct RowsOut {
    const uint32_t* a;
    const uint32_t* b;
    __m256i wv[Rows > 0 ? Rows : 1];
    uint32_t* out[Rows > 0 ? Rows : 1];
};

template <bool Stream>
__attribute__((target("avx2"))) inline void Put8(uint32_t* p, __m256i v) {
    if (Stream)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
    else
        Store8(p, v);
}

template <int Rows, bool Stream>
__attribute__((target("avx2"))) inline void WriteEight(const RowsOut<Rows>& o, int x) {
    const __m256i pa = Load8(o.a + x);
    if (Rows == 0) {
        Put8<Stream>(o.out[0] + x, pa);
        return;
    }
    const __m256i pb = Load8(o.b + x);
    const __m256i lo = _mm256_unpacklo_epi8(pa, pb), hi = _mm256_unpackhi_epi8(pa, pb);
    for (int r = 0; r < Rows; ++r) Put8<Stream>(o.out[r] + x, BlendInterleaved(lo, hi, o.wv[r], o.wv[r]));
}

// Eight pixels at a time from `from` (`chunks` of them), the first `both` of them with a
// group of `next` widened into `widened` alongside (groups before the last one: eight
// columns apart).
template <int Rows, bool Stream>
__attribute__((target("avx2"))) inline void WriteChunks(const RowsOut<Rows>& o, int from, int chunks, int both,
                                                        const uint32_t* next, const Columns& c, uint32_t* widened) {
    for (int k = 0; k < both; ++k) {
        WriteEight<Rows, Stream>(o, from + 8 * k);
        WidenGroupAvx2(next + c.base[k], c.PatternOf(k), widened + 8 * k);
    }
    for (int k = both; k < chunks; ++k) WriteEight<Rows, Stream>(o, from + 8 * k);
}

// The target rows over `count` >= 8 pixels, and meanwhile (with `next`) the source row
// `next` widened into `widened`: the window's rows are written past the caches (another
// process reads them next) and the widening's arithmetic runs while they drain. Streamed
// from the first pixel aligned to 32 bytes (when the rows are alike in that), the pixels
// before and after stored as they fall.
template <int Rows>
__attribute__((target("avx2"))) void WriteRowsAvx2(const uint32_t* a, const uint32_t* b, const uint32_t* w,
                                                   uint32_t* const* out, int count, const uint32_t* next,
                                                   const Columns& columns, uint32_t* widened) {
    RowsOut<Rows> o{a, b, {}, {}};
    for (int r = 0; r < Rows; ++r) o.wv[r] = _mm256_set1_epi16(short((w[r] << 8) | (128 - w[r])));
    for (int r = 0; r < std::max(Rows, 1); ++r) o.out[r] = out[r];
    const Columns c = columns;
    const uintptr_t at = reinterpret_cast<uintptr_t>(o.out[0]);
    bool aligned = true;
    for (int r = 1; r < Rows; ++r) aligned = aligned && (reinterpret_cast<uintptr_t>(o.out[r]) - at) % 32 == 0;
    const int from = aligned ? int((32 - at % 32) % 32 / 4) : 0;
    const int chunks = (count - from) / 8;
    const int both = next ? std::min(chunks, c.groups - 1) : 0;
    if (from > 0) WriteEight<Rows, false>(o, 0);
    if (aligned)
        WriteChunks<Rows, true>(o, from, chunks, both, next, c, widened);
    else
        WriteChunks<Rows, false>(o, from, chunks, both, next, c, widened);
    if (from + 8 * chunks < count) WriteEight<Rows, false>(o, count - 8);
    if (next) WidenGroupsAvx2(next, c, both, c.groups, widened);
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
        right_[size_t(x)] = t.weight == 0 ? t.first : t.second;
        weight_[size_t(x)] = uint8_t(t.weight);
    }
    const int groups = (targetWidth + 7) / 8;
    base_.assign(size_t(groups), 0);
    pattern_.assign(size_t(groups), 0);
    vector_.assign(size_t(groups), 0);
    patterns_.clear();
    // Groups at the same phase of the scale read their windows alike: one pattern each.
    struct Less {
        bool operator()(const Pattern& a, const Pattern& b) const { return std::memcmp(&a, &b, sizeof a) < 0; }
    };
    std::map<Pattern, int32_t, Less> found;
    allVector_ = true;
    for (int g = 0; g < groups; ++g) {
        const int start = targetWidth >= 8 ? std::min(8 * g, targetWidth - 8) : 0;
        bool vector = width >= 8 && targetWidth >= 8;
        const int base = vector ? std::min(left_[size_t(start)], width - 8) : 0;
        base_[size_t(g)] = base;
        Pattern p{};
        for (int k = 0; k < 8 && vector; ++k) {
            const int x = start + k;
            // The weights are signed bytes, so a column on a texel (weight 0) takes it
            // twice at half weight each.
            const int w = weight_[size_t(x)];
            const int l = left_[size_t(x)] - base, r = right_[size_t(x)] - base;
            vector = l >= 0 && l < 8 && r >= 0 && r < 8;
            p.left[k] = l;
            p.right[k] = r;
            // Unpacking works within 128-bit halves: the low unpack holds columns 0, 1,
            // 4, 5 and the high one 2, 3, 6, 7.
            const int half = (k & 2) ? 1 : 0, slot = (k & 1) + ((k & 4) ? 2 : 0);
            int8_t* bytes = &p.bytes[half * 32 + slot * 8];
            for (int c = 0; c < 4; ++c) {
                bytes[2 * c] = int8_t(w == 0 ? 64 : 128 - w);
                bytes[2 * c + 1] = int8_t(w == 0 ? 64 : w);
            }
        }
        if (vector) {
            const auto at = found.emplace(p, int32_t(patterns_.size())).first;
            if (at->second == int32_t(patterns_.size())) patterns_.push_back(p);
            pattern_[size_t(g)] = at->second * int32_t(sizeof(Pattern));
        }
        vector_[size_t(g)] = vector ? 1 : 0;
        allVector_ = allVector_ && vector;
    }
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

void PresentScaler::WidenRow(const uint32_t* src, uint32_t* out) const {
#if defined(RUV3_HAVE_AVX2_PRESENT)
    const bool wide = WideVectorSpans();
    const Columns c{base_.data(), pattern_.data(), reinterpret_cast<const char*>(patterns_.data()), int(base_.size()),
                    targetWidth_};
    if (wide && allVector_) {
        WidenGroupsAvx2(src, c, 0, c.groups, out);
        return;
    }
#endif
    for (int g = 0; g < int(base_.size()); ++g) {
#if defined(RUV3_HAVE_AVX2_PRESENT)
        if (wide && vector_[size_t(g)]) {
            WidenGroupsAvx2(src, c, g, g + 1, out);
            continue;
        }
#endif
        const int start = std::max(std::min(8 * g, targetWidth_ - 8), 0), end = std::min(start + 8, targetWidth_);
        for (int x = start; x < end; ++x)
            out[x] = Blend(src[left_[size_t(x)]], src[right_[size_t(x)]], weight_[size_t(x)]);
    }
}

void PresentScaler::Scale(const uint32_t* src, int width, int height, int pitch, uint32_t* dst, int targetWidth,
                          int targetHeight, int targetPitch) {
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (width != width_ || targetWidth != targetWidth_) BuildColumns(width, targetWidth);
    if (height != height_ || targetHeight != targetHeight_) BuildRows(height, targetHeight);
    // Rows 64-byte aligned (vector loads within cache lines), a cache line more apart
    // than their width rounded up.
    const size_t stride = (size_t(targetWidth) + 15) / 16 * 16 + 16;
    if (widenedStore_.size() < 3 * stride + 16) widenedStore_.assign(3 * stride + 16, 0);
    uint32_t* widened[3];
    widened[0] = widenedStore_.data() + (64 - reinterpret_cast<uintptr_t>(widenedStore_.data()) % 64) % 64 / 4;
    widened[1] = widened[0] + stride;
    widened[2] = widened[1] + stride;
    // The source rows the widened rows hold (of this frame only).
    int held[3] = {-1, -1, -1};
    auto slotOf = [&](int row) {
        for (int i = 0; i < 3; ++i)
            if (held[i] == row) return i;
        return -1;
    };
    // A slot for a row to come, holding none of the rows given.
    auto freeSlot = [&](int keep0, int keep1, int keep2) {
        for (int i = 0; i < 3; ++i)
            if (held[i] != keep0 && held[i] != keep1 && held[i] != keep2) return i;
        return -1;
    };
    auto widen = [&](int row, int keep) -> const uint32_t* {
        int i = slotOf(row);
        if (i < 0) {
            i = freeSlot(keep, keep, keep);
            WidenRow(src + size_t(row) * size_t(pitch), widened[i]);
            held[i] = row;
        }
        return widened[i];
    };
#if defined(RUV3_HAVE_AVX2_PRESENT)
    const bool wide = WideVectorSpans() && targetWidth >= 8;
    const Columns columns{base_.data(), pattern_.data(), reinterpret_cast<const char*>(patterns_.data()),
                          int(base_.size()), targetWidth};
#endif
    for (int y = 0; y < targetHeight;) {
        uint32_t* out = dst + size_t(y) * size_t(targetPitch);
        const int top = top_[size_t(y)], bottom = bottom_[size_t(y)];
        const uint32_t w = rowWeight_[size_t(y)];
        const uint32_t* a = widen(top, bottom);
        const uint32_t* b = w == 0 ? a : widen(bottom, top);
#if defined(RUV3_HAVE_AVX2_PRESENT)
        if (wide) {
            // The next row from the same two source rows goes along.
            const int rows = w != 0 && y + 1 < targetHeight && top_[size_t(y) + 1] == top &&
                                     bottom_[size_t(y) + 1] == bottom && rowWeight_[size_t(y) + 1] != 0
                                 ? 2
                                 : 1;
            // The first source row the rows after these need and no slot holds yet is
            // widened meanwhile, into a slot these rows do not read.
            const uint32_t* next = nullptr;
            int slot = -1, row = -1;
            if (allVector_ && y + rows < targetHeight) {
                const int top2 = top_[size_t(y + rows)], bottom2 = bottom_[size_t(y + rows)];
                row = slotOf(top2) < 0 ? top2 : slotOf(bottom2) < 0 ? bottom2 : -1;
                slot = row < 0 ? -1 : freeSlot(top, bottom, row == top2 ? bottom2 : top2);
                if (slot >= 0) next = src + size_t(row) * size_t(pitch);
            }
            uint32_t* const outs[2] = {out, rows == 2 ? out + targetPitch : out};
            uint32_t* into = slot >= 0 ? widened[slot] : nullptr;
            const uint32_t ws[2] = {w, rows == 2 ? uint32_t(rowWeight_[size_t(y) + 1]) : 0u};
            if (w == 0)
                WriteRowsAvx2<0>(a, b, ws, outs, targetWidth, next, columns, into);
            else if (rows == 1)
                WriteRowsAvx2<1>(a, b, ws, outs, targetWidth, next, columns, into);
            else
                WriteRowsAvx2<2>(a, b, ws, outs, targetWidth, next, columns, into);
            if (slot >= 0) held[slot] = row;
            y += rows;
            continue;
        }
#endif
        if (w == 0) {
            std::memcpy(out, a, size_t(targetWidth) * 4);
        } else {
            int x = 0;
#if defined(__SSE2__)
            x = BlendRowsSse2(a, b, w, out, targetWidth);
#endif
            BlendRowsPlain(a, b, w, out, x, targetWidth);
        }
        ++y;
    }
#if defined(RUV3_HAVE_AVX2_PRESENT)
    if (wide) _mm_sfence();
#endif
}

}  // namespace pf
