#include "shell/render/FrameScaler.h"

#include "shell/render/RasterSpans.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define RUV3_HAVE_AVX2_SCALER 1
#include <immintrin.h>
#endif

namespace pf {

// The rasteriser's bilinear sample of texels a, b (top row, left and right), c, d (bottom
// row) with weights fx, fy in 256ths is, per channel,
//     floor((a w00 + b w10 + c w01 + d w11) / 256),  w11 = (fx fy + 128) >> 8,
//     w10 = fx - w11,  w01 = fy - w11,  w00 = 256 - fx - fy + w11,
// and the sum regroups as
//     a (256 - fy) + c fy  +  fx (b - a)  +  w11 ((d - c) - (b - a)).
// The first part and the two differences depend on the row and the column pair alone, so
// a row works them out once per pair ("sum", "across", "twist") and then each pixel
// needs two products; the differences, and the sum's parts, serve every row that falls
// between the same two source rows. The whole sum lies in 0..65535, so 16-bit lanes that wrap give it
// exactly.
//
// Column pair p stands for the texels at p - 1 and p clamped to the picture: pair 0 is
// texel 0 twice, pair width the last texel twice; any position further out uses those.

namespace {

inline int64_t Clamp64(int64_t x, int64_t lo, int64_t hi) { return x < lo ? lo : (x > hi ? hi : x); }

inline uint32_t Channel(uint32_t c, int k) { return (c >> (8 * k)) & 255; }

#if defined(RUV3_HAVE_AVX2_SCALER)
// The pixels of a row eight at a time, as Row's four-pixel loop makes them. Four pixels
// whose pairs lie within four consecutive ones (`window` >= 0, the first of them) take
// their values from one 32-byte load per table, permuted into place by `lanes`; others
// load each pair's values on their own. Answers how many pixels it wrote (a multiple of
// eight).
__attribute__((target("avx2"))) int RowPixelsAvx2(const int32_t* entry, const uint16_t* fxTable,
                                                  const int32_t* window, const int32_t* lanes, const uint16_t* sum,
                                                  const uint16_t* across, const uint16_t* twist, int count, uint32_t fy,
                                                  uint32_t* dst, uint32_t alphaMin, uint32_t alphaOr,
                                                  const uint32_t* fill) {
    const __m256i fyv = _mm256_set1_epi16(short(fy)), round = _mm256_set1_epi16(128);
    const __m256i minv = _mm256_set1_epi32(int(alphaMin)), orv = _mm256_set1_epi32(int(alphaOr));
    const uint16_t* tables[3] = {sum, across, twist};
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        // Pixels k..k+3 and k+4..k+7, their channels in 16-bit lanes.
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const int group = k / 4 + h;
            __m256i table[3];
            const int32_t first = window[group];
            if (first >= 0) {
                const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + size_t(group) * 8));
                for (int t = 0; t < 3; ++t)
                    table[t] = _mm256_permutevar8x32_epi32(
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(tables[t] + size_t(first) * 4)), at);
            } else {
                const int32_t* e = entry + k + 4 * h;
                for (int t = 0; t < 3; ++t) {
                    const uint16_t* tb = tables[t];
                    auto pair = [&](int i) { return reinterpret_cast<const __m128i*>(tb + size_t(e[i]) * 4); };
                    const __m128i lo = _mm_unpacklo_epi64(_mm_loadl_epi64(pair(0)), _mm_loadl_epi64(pair(1)));
                    const __m128i hi = _mm_unpacklo_epi64(_mm_loadl_epi64(pair(2)), _mm_loadl_epi64(pair(3)));
                    table[t] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
                }
            }
            const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fxTable + size_t(k + 4 * h) * 4));
            const __m256i w11 = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(fx, fyv), round), 8);
            __m256i s = _mm256_add_epi16(table[0], _mm256_mullo_epi16(fx, table[1]));
            s = _mm256_add_epi16(s, _mm256_mullo_epi16(w11, table[2]));
            half[h] = _mm256_srli_epi16(s, 8);
        }
        // Packing works within 128-bit halves: pixels (0 1 4 5 | 2 3 6 7) put in order.
        const __m256i c = _mm256_permute4x64_epi64(_mm256_packus_epi16(half[0], half[1]), 0xD8);
        __m256i* out = reinterpret_cast<__m256i*>(dst + k);
        const __m256i fail = _mm256_cmpgt_epi32(minv, _mm256_srli_epi32(c, 24));
        if (_mm256_movemask_epi8(fail) == 0) {  // the usual case: the target is not read
            _mm256_storeu_si256(out, _mm256_or_si256(c, orv));
            continue;
        }
        const __m256i old = fill ? _mm256_set1_epi32(int(*fill)) : _mm256_loadu_si256(out);
        _mm256_storeu_si256(out, _mm256_blendv_epi8(_mm256_or_si256(c, orv), old, fail));
    }
    return k;
}

// Pairs p..p+3 of Row's tables from texels p-1..p+3 of both rows, four pairs at a time;
// answers the pair it stopped at.
__attribute__((target("avx2"))) int RowPairsAvx2(const uint32_t* r0, const uint32_t* r1, int p, int end, int last,
                                                 uint16_t* top, uint16_t* down, uint16_t* across, uint16_t* twist) {
    for (; p + 4 <= end && p + 3 <= last; p += 4) {
        const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + p - 1)));
        const __m256i b = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + p)));
        const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + p - 1)));
        const __m256i d = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + p)));
        const __m256i x = _mm256_sub_epi16(b, a);
        const size_t i = size_t(p) * 4;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(top + i), _mm256_slli_epi16(a, 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(down + i), _mm256_sub_epi16(c, a));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(across + i), x);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(twist + i), _mm256_sub_epi16(_mm256_sub_epi16(d, c), x));
    }
    return p;
}

// sum = top + fy down over `lanes` 16-bit lanes; answers how many it did.
__attribute__((target("avx2"))) int RowSumAvx2(const uint16_t* top, const uint16_t* down, uint32_t fy, uint16_t* sum,
                                               int lanes) {
    const __m256i fyv = _mm256_set1_epi16(short(fy));
    int i = 0;
    for (; i + 16 <= lanes; i += 16) {
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(down + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sum + i), _mm256_add_epi16(t, _mm256_mullo_epi16(d, fyv)));
    }
    return i;
}
#endif

}  // namespace

template <typename Position>
void FrameScaler::BuildColumns(int count, int width, Position position) {
    count_ = std::max(count, 0);
    width_ = width;
    scaledTo_ = 0;
    stepped_ = false;
    entry_.resize(size_t(count_));
    fx_.resize(size_t(count_) * 4);
    int lo = width, hi = 0;
    for (int k = 0; k < count_; ++k) {
        const int64_t u = position(k);
        const int p = int(Clamp64(u >> 16, -1, width - 1) + 1);
        entry_[size_t(k)] = p;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
        const uint16_t f = uint16_t((u >> 8) & 255);
        for (int c = 0; c < 4; ++c) fx_[size_t(k) * 4 + size_t(c)] = f;
    }
    first_ = count_ > 0 ? lo : 0;
    entries_ = count_ > 0 ? hi - lo + 1 : 0;
    for (int32_t& e : entry_) e -= first_;
    // Four pairs past the last, so that a window starting at any pair can be loaded
    // whole (what lies there is never used).
    sum_.assign(size_t(entries_ + 4) * 4, 0);
    across_.assign(size_t(entries_ + 4) * 4, 0);
    twist_.assign(size_t(entries_ + 4) * 4, 0);
    top_.assign(size_t(entries_) * 4, 0);
    down_.assign(size_t(entries_) * 4, 0);
    ForgetRows();
    const int groups = count_ / 4;
    window_.assign(size_t(groups), -1);
    lanes_.assign(size_t(groups) * 8, 0);
    for (int g = 0; g < groups; ++g) {
        const int32_t* e = &entry_[size_t(g) * 4];
        const int32_t first = std::min(std::min(e[0], e[1]), std::min(e[2], e[3]));
        const int32_t last = std::max(std::max(e[0], e[1]), std::max(e[2], e[3]));
        if (last - first > 3) continue;
        window_[size_t(g)] = first;
        for (int i = 0; i < 4; ++i) {
            lanes_[size_t(g) * 8 + size_t(i) * 2] = 2 * (e[i] - first);
            lanes_[size_t(g) * 8 + size_t(i) * 2 + 1] = 2 * (e[i] - first) + 1;
        }
    }
}

void FrameScaler::SetColumns(int64_t u0, int64_t du, int count, int width) {
    // The rasteriser sets the same columns for each batch of rows of a quad.
    if (stepped_ && u0 == steppedU0_ && du == steppedDu_ && count == count_ && width == width_) return;
    BuildColumns(count, width, [&](int k) { return u0 + int64_t(k) * du; });
    stepped_ = true;
    steppedU0_ = u0;
    steppedDu_ = du;
}

void FrameScaler::SourceColumns(int kBegin, int kEnd, int& from, int& to) const {
    if (kEnd < 0 || kEnd > count_) kEnd = count_;
    kBegin = std::max(kBegin, 0);
    if (kBegin >= kEnd || width_ <= 0) {
        from = to = 0;
        return;
    }
    // The pairs run one way along the row: the two ends bound them. Pair p reads
    // texels p - 1 and p, clamped.
    const int a = entry_[size_t(kBegin)] + first_, b = entry_[size_t(kEnd - 1)] + first_;
    from = std::max(std::min(a, b) - 1, 0);
    to = std::min(std::max(a, b), width_ - 1) + 1;
}

void FrameScaler::Row(const uint32_t* src, int pitch, int height, int64_t v, uint32_t* dst, uint32_t alphaMin,
                      uint32_t alphaOr, const uint32_t* fill, int kBegin, int kEnd) {
    if (count_ == 0 || width_ <= 0 || height <= 0) return;
    if (kEnd < 0 || kEnd > count_) kEnd = count_;
    kBegin = std::max(kBegin, 0);
    if (kBegin >= kEnd) return;
    const int64_t yi = v >> 16;
    const uint32_t* r0 = src + size_t(Clamp64(yi, 0, height - 1)) * size_t(pitch);
    const uint32_t* r1 = src + size_t(Clamp64(yi + 1, 0, height - 1)) * size_t(pitch);
    const uint32_t fy = uint32_t(v >> 8) & 255;
    uint16_t* sum = sum_.data();
    uint16_t* across = across_.data();
    uint16_t* twist = twist_.data();
    uint16_t* top = top_.data();
    uint16_t* down = down_.data();
    // The pairs these columns use, counted from first_ (they run one way along the row).
    const int ea = entry_[size_t(kBegin)], eb = entry_[size_t(kEnd - 1)];
    const int pairsFrom = std::min(ea, eb), pairsTo = std::max(ea, eb) + 1;

    // The column pairs of this pair of rows (rows further down the target that fall
    // between the same two source rows keep them): the top texel times 256, the step
    // down to the bottom one, and the differences across.
    const bool sameRows = r0 == pairRows_[0] && r1 == pairRows_[1];
    if (!sameRows || pairsFrom < pairsFrom_ || pairsTo > pairsTo_) {
        auto pairAt = [&](int p) {
            const int i = p - first_;
            const int x0 = std::max(p - 1, 0), x1 = std::min(p, width_ - 1);
            const uint32_t a = r0[x0], b = r0[x1], c = r1[x0], d = r1[x1];
            for (int k = 0; k < 4; ++k) {
                const uint32_t ak = Channel(a, k), bk = Channel(b, k), ck = Channel(c, k), dk = Channel(d, k);
                top[i * 4 + k] = uint16_t(ak << 8);
                down[i * 4 + k] = uint16_t(ck - ak);
                across[i * 4 + k] = uint16_t(bk - ak);
                twist[i * 4 + k] = uint16_t((dk - ck) - (bk - ak));
            }
        };
        const int end = first_ + pairsTo;
        int p = first_ + pairsFrom;
        for (; p < end && p < 1; ++p) pairAt(p);
#if defined(RUV3_HAVE_AVX2_SCALER)
        // The tables are counted from first_: pair p at p - first_.
        if (WideVectorSpans())
            p = RowPairsAvx2(r0, r1, p, end, width_ - 1, top - size_t(first_) * 4, down - size_t(first_) * 4,
                             across - size_t(first_) * 4, twist - size_t(first_) * 4);
#endif
#if defined(__SSE2__)
        const __m128i z = _mm_setzero_si128();
        // Four pairs p..p+3 read texels p-1..p+3 of both rows.
        for (; p + 4 <= end && p + 3 <= width_ - 1; p += 4) {
            const __m128i a4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + p - 1));
            const __m128i b4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + p));
            const __m128i c4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + p - 1));
            const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + p));
            const int i = p - first_;
            auto half = [&](__m128i a, __m128i b, __m128i c, __m128i d, int at) {
                const __m128i x = _mm_sub_epi16(b, a);
                const __m128i t = _mm_sub_epi16(_mm_sub_epi16(d, c), x);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(top + at * 4), _mm_slli_epi16(a, 8));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(down + at * 4), _mm_sub_epi16(c, a));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(across + at * 4), x);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(twist + at * 4), t);
            };
            half(_mm_unpacklo_epi8(a4, z), _mm_unpacklo_epi8(b4, z), _mm_unpacklo_epi8(c4, z),
                 _mm_unpacklo_epi8(d4, z), i);
            half(_mm_unpackhi_epi8(a4, z), _mm_unpackhi_epi8(b4, z), _mm_unpackhi_epi8(c4, z),
                 _mm_unpackhi_epi8(d4, z), i + 2);
        }
#endif
        for (; p < end; ++p) pairAt(p);
        // Pairs already worked out for the same rows and reaching these stay good.
        if (sameRows && pairsFrom <= pairsTo_ && pairsTo >= pairsFrom_) {
            pairsFrom_ = std::min(pairsFrom_, pairsFrom);
            pairsTo_ = std::max(pairsTo_, pairsTo);
        } else {
            pairsFrom_ = pairsFrom;
            pairsTo_ = pairsTo;
        }
        pairRows_[0] = r0;
        pairRows_[1] = r1;
    }
    // This row's blend of the two: top (256 - fy) + bottom fy = 256 top + fy (bottom - top).
    {
        const int first = pairsFrom * 4, lanes = (pairsTo - pairsFrom) * 4;
        uint16_t* s = sum + first;
        const uint16_t* t = top + first;
        const uint16_t* d = down + first;
        int i = 0;
#if defined(RUV3_HAVE_AVX2_SCALER)
        if (WideVectorSpans()) i = RowSumAvx2(t, d, fy, s, lanes);
#endif
#if defined(__SSE2__)
        const __m128i fyv = _mm_set1_epi16(short(fy));
        for (; i + 8 <= lanes; i += 8) {
            const __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
            const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s + i), _mm_add_epi16(tv, _mm_mullo_epi16(dv, fyv)));
        }
#endif
        for (; i < lanes; ++i) s[i] = uint16_t(t[i] + fy * d[i]);
    }

    // The pixels: any before a multiple of four one by one, then four or eight at a time.
    auto onePixel = [&](int k) {
        const int e = entry_[size_t(k)] * 4;
        const uint32_t fx = fx_[size_t(k) * 4], w11 = (fx * fy + 128) >> 8;
        uint32_t c = 0;
        for (int ch = 0; ch < 4; ++ch) {
            const uint16_t sc = uint16_t(sum[e + ch] + fx * across[e + ch] + w11 * twist[e + ch]);
            c |= uint32_t(sc >> 8) << (8 * ch);
        }
        if ((c >> 24) >= alphaMin) dst[k] = c | alphaOr;
        else if (fill) dst[k] = *fill;
    };
    int k = kBegin;
    for (; k < kEnd && k % 4 != 0; ++k) onePixel(k);
#if defined(RUV3_HAVE_AVX2_SCALER)
    if (WideVectorSpans() && k < kEnd)
        k += RowPixelsAvx2(entry_.data() + k, fx_.data() + size_t(k) * 4, window_.data() + k / 4,
                           lanes_.data() + size_t(k / 4) * 8, sum, across, twist, kEnd - k, fy, dst + k, alphaMin,
                           alphaOr, fill);
#endif
#if defined(__SSE2__)
    {
        const __m128i fyv = _mm_set1_epi16(short(fy)), round = _mm_set1_epi16(128);
        const __m128i minv = _mm_set1_epi32(int(alphaMin)), orv = _mm_set1_epi32(int(alphaOr));
        // Two pixels' channels: their pairs' values side by side.
        auto two = [&](const uint16_t* table, int e0, int e1) {
            return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(table + e0 * 4)),
                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(table + e1 * 4)));
        };
        auto pixels = [&](int at) {
            const int e0 = entry_[size_t(at)], e1 = entry_[size_t(at) + 1];
            const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fx_.data() + size_t(at) * 4));
            const __m128i w11 = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(fx, fyv), round), 8);
            __m128i s = two(sum, e0, e1);
            s = _mm_add_epi16(s, _mm_mullo_epi16(fx, two(across, e0, e1)));
            s = _mm_add_epi16(s, _mm_mullo_epi16(w11, two(twist, e0, e1)));
            return _mm_srli_epi16(s, 8);
        };
        for (; k + 4 <= kEnd; k += 4) {
            const __m128i c = _mm_packus_epi16(pixels(k), pixels(k + 2));
            __m128i* out = reinterpret_cast<__m128i*>(dst + k);
            if (alphaMin == 0) {
                _mm_storeu_si128(out, _mm_or_si128(c, orv));
                continue;
            }
            const __m128i fail = _mm_cmpgt_epi32(minv, _mm_srli_epi32(c, 24));
            if (_mm_movemask_epi8(fail) == 0) {  // the usual case: the target is not read
                _mm_storeu_si128(out, _mm_or_si128(c, orv));
                continue;
            }
            const __m128i old = fill ? _mm_set1_epi32(int(*fill)) : _mm_loadu_si128(out);
            _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(fail, old), _mm_andnot_si128(fail, _mm_or_si128(c, orv))));
        }
    }
#endif
    for (; k < kEnd; ++k) onePixel(k);
}

int64_t FrameScaler::CentredPosition(int i, int from, int to) {
    // ((i + 0.5) x from / to - 0.5) texels, in 16.16, rounded down.
    const int64_t num = (2 * int64_t(i) + 1) * from * 65536 - int64_t(to) * 65536;
    const int64_t den = 2 * int64_t(to);
    return num >= 0 ? num / den : -((-num + den - 1) / den);
}

void FrameScaler::Scale(const uint32_t* src, int width, int height, int pitch, uint32_t* dst, int targetWidth,
                        int targetHeight, int targetPitch) {
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (width_ != width || scaledTo_ != targetWidth || count_ != targetWidth) {
        // Each column's own position (not a stepped sum), so the last column lands as
        // the first does, mirrored.
        BuildColumns(targetWidth, width, [&](int k) { return CentredPosition(k, width, targetWidth); });
        scaledTo_ = targetWidth;
    }
    if (scaledHeight_ != height || rows_.size() != size_t(targetHeight)) {
        rows_.resize(size_t(targetHeight));
        for (int y = 0; y < targetHeight; ++y) rows_[size_t(y)] = CentredPosition(y, height, targetHeight);
        scaledHeight_ = height;
    }
    ForgetRows();
    for (int y = 0; y < targetHeight; ++y)
        Row(src, pitch, height, rows_[size_t(y)], dst + size_t(y) * size_t(targetPitch));
}

}  // namespace pf
