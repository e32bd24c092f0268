#include "shell/render/RasterSpans.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shell/render/FrameScaler.h"

namespace pf {

namespace {

// ---- pixel arithmetic on packed 0xAARRGGBB values -------------------------------------

constexpr uint32_t kLanes = 0x00FF00FFu;

// Two 8-bit lanes (0x00XX00YY) times f / 255, each rounded exactly.
inline uint32_t MulLanes(uint32_t x, uint32_t f) {
    uint32_t t = x * f + 0x00800080u;
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

// Every channel times f / 255.
inline uint32_t Scale(uint32_t c, uint32_t f) {
    return MulLanes(c & kLanes, f) | MulLanes((c >> 8) & kLanes, f) << 8;
}

// Two 8-bit lanes added with saturation.
inline uint32_t AddLanesSat(uint32_t x, uint32_t y) {
    uint32_t t = x + y;
    t |= 0x01000100u - ((t >> 8) & 0x00010001u);
    return t & kLanes;
}

inline uint32_t AddSat(uint32_t a, uint32_t b) {
    return AddLanesSat(a & kLanes, b & kLanes) | AddLanesSat((a >> 8) & kLanes, (b >> 8) & kLanes) << 8;
}

// Colour channels added with saturation; a's alpha kept.
inline uint32_t AddRgbSat(uint32_t a, uint32_t rgb) {
    return (AddSat(a, rgb) & 0x00FFFFFFu) | (a & 0xFF000000u);
}

inline uint32_t Modulate(uint32_t a, uint32_t b) {
    return Div255((a >> 24) * (b >> 24)) << 24 |
           Div255(((a >> 16) & 255) * ((b >> 16) & 255)) << 16 |
           Div255(((a >> 8) & 255) * ((b >> 8) & 255)) << 8 | Div255((a & 255) * (b & 255));
}

// Blending rounds once: (s x sf + d x df) / 255. For alpha blending the sum never
// exceeds 255 x 255, so two channels fit in one 32-bit word.
inline uint32_t BlendAlpha(uint32_t s, uint32_t d) {
    const uint32_t a = s >> 24, ia = 255 - a;
    uint32_t rb = (s & kLanes) * a + (d & kLanes) * ia + 0x00800080u;
    rb = ((rb + ((rb >> 8) & kLanes)) >> 8) & kLanes;
    uint32_t ag = ((s >> 8) & kLanes) * a + ((d >> 8) & kLanes) * ia + 0x00800080u;
    ag = ((ag + ((ag >> 8) & kLanes)) >> 8) & kLanes;
    return rb | ag << 8;
}

#if defined(__SSE2__)
// Eight 16-bit values below 65536 - 383 divided by 255, rounded.
inline __m128i Div255x8(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

inline __m128i BlendAlphaHalf(__m128i s, __m128i d) {
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
    return Div255x8(_mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, ia)));
}

// Modulate on four pixels at once: every channel product divided by 255 as Div255 does.
inline __m128i Modulate4(__m128i a, __m128i b) {
    const __m128i z = _mm_setzero_si128();
    return _mm_packus_epi16(Div255x8(_mm_mullo_epi16(_mm_unpacklo_epi8(a, z), _mm_unpacklo_epi8(b, z))),
                            Div255x8(_mm_mullo_epi16(_mm_unpackhi_epi8(a, z), _mm_unpackhi_epi8(b, z))));
}

// BlendAlpha on four pixels at once.
inline __m128i BlendAlpha4(__m128i s, __m128i d) {
    const __m128i z = _mm_setzero_si128();
    return _mm_packus_epi16(BlendAlphaHalf(_mm_unpacklo_epi8(s, z), _mm_unpacklo_epi8(d, z)),
                            BlendAlphaHalf(_mm_unpackhi_epi8(s, z), _mm_unpackhi_epi8(d, z)));
}
#endif

#if defined(__GNUC__) && defined(__x86_64__)
#define RUV3_HAVE_AVX2_SPANS 1
#include <immintrin.h>

// Alpha blending of rows of source colours over the target, eight pixels at a time with
// the results of BlendAlpha4, the last n % 8 of each row one at a time as FastSpan
// does. Row k reads src[k] and writes dst + k x pitch. Many rows in one call let the
// processor overlap the rows of a small sprite.
__attribute__((target("avx2"))) void BlendRowsAvx2(const uint32_t* const* src, uint32_t* dst, int pitch, int n,
                                                   int rows, uint32_t alphaMin, uint32_t aor, bool bright,
                                                   uint32_t brightRgb) {
    const __m256i aorv = _mm256_set1_epi32(int(aor)), minv = _mm256_set1_epi32(int(alphaMin));
    const __m256i full = _mm256_set1_epi32(255), rgbMask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i rgb = _mm256_set1_epi32(int(brightRgb));
    // s x a + d x (255 - a) = (s - 128) x a + (d - 128) x (255 - a) + 128 x 255: with the
    // colours moved to signed bytes one multiply-add gives each channel's sum exactly (it
    // stays within -32640..32385), and adding 32768 = 128 x 255 + 128 leaves the rounding
    // step of Div255x8, (y x 257) >> 16.
    const __m256i c80 = _mm256_set1_epi8(char(0x80)), cff = _mm256_set1_epi8(char(0xFF));
    const __m256i c8000 = _mm256_set1_epi16(short(0x8000)), c257 = _mm256_set1_epi16(257);
    // Each pixel's alpha byte copied to its four bytes.
    const __m256i spread = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15,
                                            3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
    const bool masked = alphaMin > 1;
    // Rows lie a screen width apart, too far for the processor to fetch them ahead on
    // its own: the target rows are asked for kAhead rows before they are blended.
    constexpr int kAhead = 2;
    auto fetch = [n](const uint32_t* target) {
        _mm_prefetch(reinterpret_cast<const char*>(target), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(target + n - 1), _MM_HINT_T0);
    };
    for (int k = 0; k < kAhead && k < rows; ++k) fetch(dst + size_t(k) * pitch);
    for (int k = 0; k < rows; ++k, dst += pitch) {
        const uint32_t* row = src[k];
        if (k + kAhead < rows) fetch(dst + size_t(kAhead) * pitch);
        int i = 0;
        for (; i + 8 <= n; i += 8) {
            __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
            if (bright) sv = _mm256_blendv_epi8(sv, _mm256_adds_epu8(sv, rgb), rgbMask);
            __m256i* dp = reinterpret_cast<__m256i*>(dst + i);
            // Sprites are mostly wholly transparent or wholly opaque: pixels that all fail
            // the alpha test are left alone, opaque ones written as they are (blending
            // with alpha 255 gives the source exactly).
            const __m256i alpha = _mm256_srli_epi32(sv, 24);
            const __m256i fail = _mm256_cmpgt_epi32(minv, alpha);
            if (_mm256_movemask_epi8(fail) == -1) continue;
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, full)) == -1) {
                _mm256_storeu_si256(dp, _mm256_or_si256(sv, aorv));
                continue;
            }
            const __m256i dv = _mm256_loadu_si256(dp);
            const __m256i a = _mm256_shuffle_epi8(sv, spread), ia = _mm256_xor_si256(a, cff);
            const __m256i ss = _mm256_xor_si256(sv, c80), ds = _mm256_xor_si256(dv, c80);
            const __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, ia), _mm256_unpacklo_epi8(ss, ds));
            const __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, ia), _mm256_unpackhi_epi8(ss, ds));
            __m256i r = _mm256_packus_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(lo, c8000), c257),
                                            _mm256_mulhi_epu16(_mm256_add_epi16(hi, c8000), c257));
            if (masked) r = _mm256_blendv_epi8(r, dv, fail);
            _mm256_storeu_si256(dp, _mm256_or_si256(r, aorv));
        }
        for (; i < n; ++i) {
            uint32_t c = row[i];
            if ((c >> 24) < alphaMin) continue;
            if (bright) c = AddRgbSat(c, brightRgb);
            dst[i] = BlendAlpha(c, dst[i]) | aor;
        }
    }
}

const bool kHaveAvx2 = [] {
    __builtin_cpu_init();  // may run before the library's own initialisation
    return __builtin_cpu_supports("avx2") != 0;
}();
std::atomic<bool> gUseAvx2{kHaveAvx2};
#endif

inline uint32_t PackColor(int32_t a, int32_t r, int32_t g, int32_t b) {
    return uint32_t(a >> 16) << 24 | uint32_t(r >> 16) << 16 | uint32_t(g >> 16) << 8 | uint32_t(b >> 16);
}

// ---- texel addressing ------------------------------------------------------------------
// Every fetch but the eight-pixel one finds its texels and weights here. Coordinates are
// 16.16 texels in 64 bits: a wide span stepping many texels a pixel goes far past 32-bit
// texel indices, so an index is brought inside the texture before it is narrowed.

// One axis of a fetch at the coordinate c over n texels: the texel at or before c and the
// next one, each brought inside 0..n-1 by the addressing mode, and the second's weight in
// 256ths.
struct TexelAxis {
    int i0, i1;
    uint32_t f;
};

inline int AddressIndex(int64_t x, int n, uint32_t mode) {
    switch (mode) {
        case AddressWrap: { const int64_t m = x % n; return int(m < 0 ? m + n : m); }
        case AddressMirror: {
            int64_t m = x % (2 * int64_t(n));
            if (m < 0) m += 2 * int64_t(n);
            return int(m < n ? m : 2 * int64_t(n) - 1 - m);
        }
        default: return int(x < 0 ? 0 : (x >= n ? n - 1 : x));
    }
}

inline TexelAxis AxisAt(int64_t c, int n, uint32_t mode = AddressClamp) {
    const int64_t i = c >> 16;
    return {AddressIndex(i, n, mode), AddressIndex(i + 1, n, mode), uint32_t(c >> 8) & 255};
}

// The texel under (u, v), as point sampling takes it.
inline uint32_t TexelAt(const TexelView& t, int64_t u, int64_t v, uint32_t modeU = AddressClamp,
                        uint32_t modeV = AddressClamp) {
    return t.texels[size_t(AddressIndex(v >> 16, t.height, modeV)) * t.pitch + AddressIndex(u >> 16, t.width, modeU)];
}

// The four texels around (u, v) and their bilinear weights, which sum to 256.
struct BilinearTaps {
    uint32_t t00, t10, t01, t11;
    uint32_t w00, w10, w01, w11;
};

inline BilinearTaps TapsAt(const TexelView& t, int64_t u, int64_t v, uint32_t modeU = AddressClamp,
                           uint32_t modeV = AddressClamp) {
    const TexelAxis x = AxisAt(u, t.width, modeU), y = AxisAt(v, t.height, modeV);
    const uint32_t* r0 = t.texels + size_t(y.i0) * t.pitch;
    const uint32_t* r1 = t.texels + size_t(y.i1) * t.pitch;
    const uint32_t w11 = (x.f * y.f + 128) >> 8;
    return {r0[x.i0], r0[x.i1], r1[x.i0], r1[x.i1], 256 - x.f - y.f + w11, x.f - w11, y.f - w11, w11};
}

inline uint32_t FetchPoint(const TexelView& t, int64_t u, int64_t v) { return TexelAt(t, u, v); }

// The four texels weighted in one pass; the weights sum to 256, so each 16-bit lane of
// the sum stays below 65536.
inline uint32_t Bilinear(const BilinearTaps& q) {
    const uint32_t rb = ((q.t00 & kLanes) * q.w00 + (q.t10 & kLanes) * q.w10 + (q.t01 & kLanes) * q.w01 +
                         (q.t11 & kLanes) * q.w11) >> 8;
    const uint32_t ag = ((q.t00 >> 8) & kLanes) * q.w00 + ((q.t10 >> 8) & kLanes) * q.w10 +
                        ((q.t01 >> 8) & kLanes) * q.w01 + ((q.t11 >> 8) & kLanes) * q.w11;
    return (rb & kLanes) | (ag & 0xFF00FF00u);
}

inline uint32_t FetchBilinear(const TexelView& t, int64_t u, int64_t v) { return Bilinear(TapsAt(t, u, v)); }

#if defined(__SSE2__)
// Bilinear samples of four pixels stepping from (u, v) by (du, dv): the texels and
// weights found one pixel at a time as FetchBilinear finds them, the weighting done on
// two pixels' eight channels at once. Each channel is floor(sum of texel x weight / 256)
// as in Bilinear (the sum stays below 65536, so 16-bit lanes hold it exactly): the same
// values bit for bit.
inline void FetchBilinear4(const TexelView& t, int64_t u, int64_t v, int64_t du, int64_t dv, uint32_t* out) {
    alignas(16) uint32_t q[4][4];  // per pixel: t00, t10, t01, t11
    alignas(16) uint16_t w[4][4];  // per pixel: w00, w10, w01, w11
    for (int k = 0; k < 4; ++k, u += du, v += dv) {
        const BilinearTaps taps = TapsAt(t, u, v);
        q[k][0] = taps.t00;
        q[k][1] = taps.t10;
        q[k][2] = taps.t01;
        q[k][3] = taps.t11;
        w[k][0] = uint16_t(taps.w00);
        w[k][1] = uint16_t(taps.w10);
        w[k][2] = uint16_t(taps.w01);
        w[k][3] = uint16_t(taps.w11);
    }
    const __m128i z = _mm_setzero_si128();
    auto pair = [&](int k) {  // pixels k and k + 1 as 16-bit channels
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(q[k]));
        const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(q[k + 1]));
        const __m128i top = _mm_unpacklo_epi32(a, b), bottom = _mm_unpackhi_epi32(a, b);
        const __m128i wv = _mm_load_si128(reinterpret_cast<const __m128i*>(w[k]));
        auto weight = [&](auto sel) {
            constexpr int m = decltype(sel)::value;
            return _mm_shufflehi_epi16(_mm_shufflelo_epi16(wv, m), m);
        };
        __m128i sum = _mm_mullo_epi16(_mm_unpacklo_epi8(top, z), weight(std::integral_constant<int, 0x00>()));
        sum = _mm_add_epi16(sum, _mm_mullo_epi16(_mm_unpackhi_epi8(top, z), weight(std::integral_constant<int, 0x55>())));
        sum = _mm_add_epi16(sum, _mm_mullo_epi16(_mm_unpacklo_epi8(bottom, z), weight(std::integral_constant<int, 0xAA>())));
        sum = _mm_add_epi16(sum, _mm_mullo_epi16(_mm_unpackhi_epi8(bottom, z), weight(std::integral_constant<int, 0xFF>())));
        return _mm_srli_epi16(sum, 8);
    };
    _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(pair(0), pair(2)));
}
#endif

#if defined(RUV3_HAVE_AVX2_SPANS)
// Whether eight pixels from (u, v) stepping by (du, dv) keep their texel coordinates
// well inside 32 bits, as FetchBilinear8 works them out: there its lanes find the same
// texels and weights as TapsAt. Elsewhere the four-pixel fetch takes over.
inline bool FitsBilinear8(int64_t u, int64_t v, int64_t du, int64_t dv) {
    constexpr int64_t kLimit = int64_t(1) << 30, kStep = int64_t(1) << 26;
    auto fits = [&](int64_t a, int64_t d) {
        return d > -kStep && d < kStep && a > -kLimit && a < kLimit && a + 8 * d > -kLimit && a + 8 * d < kLimit;
    };
    return fits(u, du) && fits(v, dv);
}

// FetchBilinear4 on eight pixels with the coordinates, clamping and weights in vectors
// too and the texels gathered: the same values as FetchBilinear, bit for bit. Needs
// FitsBilinear8.
__attribute__((target("avx2"))) void FetchBilinear8(const TexelView& t, int64_t u, int64_t v, int64_t du, int64_t dv,
                                                    uint32_t* out) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(int32_t(u)), _mm256_mullo_epi32(lane, _mm256_set1_epi32(int32_t(du))));
    const __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(int32_t(v)), _mm256_mullo_epi32(lane, _mm256_set1_epi32(int32_t(dv))));
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1), c255 = _mm256_set1_epi32(255);
    const __m256i xi = _mm256_srai_epi32(uu, 16), yi = _mm256_srai_epi32(vv, 16);
    const __m256i fx = _mm256_and_si256(_mm256_srai_epi32(uu, 8), c255);
    const __m256i fy = _mm256_and_si256(_mm256_srai_epi32(vv, 8), c255);
    const __m256i wMax = _mm256_set1_epi32(t.width - 1), hMax = _mm256_set1_epi32(t.height - 1);
    const __m256i x0 = _mm256_min_epi32(_mm256_max_epi32(xi, zero), wMax);
    const __m256i x1 = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(xi, one), zero), wMax);
    const __m256i y0 = _mm256_min_epi32(_mm256_max_epi32(yi, zero), hMax);
    const __m256i y1 = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(yi, one), zero), hMax);
    const __m256i pitch = _mm256_set1_epi32(t.pitch);
    const __m256i r0 = _mm256_mullo_epi32(y0, pitch), r1 = _mm256_mullo_epi32(y1, pitch);
    const int* base = reinterpret_cast<const int*>(t.texels);
    const __m256i t00 = _mm256_i32gather_epi32(base, _mm256_add_epi32(r0, x0), 4);
    const __m256i t10 = _mm256_i32gather_epi32(base, _mm256_add_epi32(r0, x1), 4);
    const __m256i t01 = _mm256_i32gather_epi32(base, _mm256_add_epi32(r1, x0), 4);
    const __m256i t11 = _mm256_i32gather_epi32(base, _mm256_add_epi32(r1, x1), 4);
    const __m256i w11 = _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(fx, fy), _mm256_set1_epi32(128)), 8);
    const __m256i w10 = _mm256_sub_epi32(fx, w11), w01 = _mm256_sub_epi32(fy, w11);
    const __m256i w00 = _mm256_add_epi32(_mm256_sub_epi32(_mm256_sub_epi32(_mm256_set1_epi32(256), fx), fy), w11);
    // Each weight copied into both 16-bit halves of its lane, then beside its pixel's
    // four channels: unpacking pairs lanes as the texels unpack into 16-bit channels.
    const __m256i both = _mm256_set1_epi32(0x00010001);
    const __m256i texels[4] = {t00, t10, t01, t11}, weights[4] = {w00, w10, w01, w11};
    __m256i lo = zero, hi = zero;
    for (int k = 0; k < 4; ++k) {
        const __m256i w2 = _mm256_mullo_epi32(weights[k], both);
        lo = _mm256_add_epi16(lo, _mm256_mullo_epi16(_mm256_unpacklo_epi8(texels[k], zero), _mm256_unpacklo_epi32(w2, w2)));
        hi = _mm256_add_epi16(hi, _mm256_mullo_epi16(_mm256_unpackhi_epi8(texels[k], zero), _mm256_unpackhi_epi32(w2, w2)));
    }
    const __m256i r = _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), r);
}
#endif

// ---- the generic path ------------------------------------------------------------------

uint32_t FetchGeneric(const PixelPipeline& p, int64_t u, int64_t v, uint32_t filter) {
    const TexelView& t = p.tex;
    if (!t.texels) return 0xFFFFFFFFu;
    if (filter != SampleLinear) return TexelAt(t, u, v, p.addressU, p.addressV);
    return Bilinear(TapsAt(t, u, v, p.addressU, p.addressV));
}

uint32_t ApplyOp(uint32_t op, uint32_t a, uint32_t b) {
    switch (op) {
        case TopSelectArg1: return a;
        case TopSelectArg2: return b;
        case TopModulate: return Modulate(a, b);
        case TopModulate2x: return AddSat(Modulate(a, b), Modulate(a, b));
        case TopModulate4x: { uint32_t m = Modulate(a, b); m = AddSat(m, m); return AddSat(m, m); }
        case TopAdd: return AddSat(a, b);
        default: return a;
    }
}

uint32_t EvalStages(const PixelPipeline& p, uint32_t diffuse, uint32_t texel) {
    uint32_t cur = diffuse;
    for (int s = 0; s < 2; ++s) {
        if (p.op[s][0] == TopDisable) break;
        auto arg = [&](uint32_t which) {
            switch (which & 0xF) {
                case ArgDiffuse: return diffuse;
                case ArgTexture: return texel;
                case ArgTFactor: return p.textureFactor;
                default: return cur;
            }
        };
        const uint32_t color = ApplyOp(p.op[s][0], arg(p.arg1[s][0]), arg(p.arg2[s][0]));
        const uint32_t alpha = p.op[s][1] == TopDisable
                                   ? (s == 0 ? diffuse : cur)
                                   : ApplyOp(p.op[s][1], arg(p.arg1[s][1]), arg(p.arg2[s][1]));
        cur = (alpha & 0xFF000000u) | (color & 0x00FFFFFFu);
    }
    return cur;
}

bool AlphaPasses(uint32_t func, uint32_t a, uint32_t ref) {
    switch (func) {
        case CmpNever: return false;
        case CmpLess: return a < ref;
        case CmpEqual: return a == ref;
        case CmpLessEqual: return a <= ref;
        case CmpGreater: return a > ref;
        case CmpNotEqual: return a != ref;
        case CmpGreaterEqual: return a >= ref;
        default: return true;
    }
}

// ch: 24 alpha, 16 red, 8 green, 0 blue.
inline uint32_t FactorValue(uint32_t f, uint32_t s, uint32_t d, int ch) {
    const uint32_t sc = (s >> ch) & 255, dc = (d >> ch) & 255, sa = s >> 24, da = d >> 24;
    switch (f) {
        case BlendZero: return 0;
        case BlendOne: return 255;
        case BlendSrcColor: return sc;
        case BlendInvSrcColor: return 255 - sc;
        case BlendSrcAlpha: return sa;
        case BlendInvSrcAlpha: return 255 - sa;
        case BlendDestAlpha: return da;
        case BlendInvDestAlpha: return 255 - da;
        case BlendDestColor: return dc;
        case BlendInvDestColor: return 255 - dc;
        case BlendSrcAlphaSat: return ch == 24 ? 255 : (sa < 255 - da ? sa : 255 - da);
        default: return 255;
    }
}

inline uint32_t BlendFactors(uint32_t sf, uint32_t df, uint32_t s, uint32_t d) {
    uint32_t out = 0;
    for (int ch = 0; ch < 32; ch += 8) {
        const uint32_t v = Div255(((s >> ch) & 255) * FactorValue(sf, s, d, ch) +
                                  ((d >> ch) & 255) * FactorValue(df, s, d, ch));
        out |= (v > 255 ? 255 : v) << ch;
    }
    return out;
}

void GenericSpan(const PixelPipeline& p, uint32_t* dst, int n, const SpanStart& s) {
    int64_t u = s.u, v = s.v;
    int32_t c[4] = {s.c[0], s.c[1], s.c[2], s.c[3]};
    for (int i = 0; i < n; ++i) {
        const uint32_t diffuse = s.gouraud ? PackColor(c[0], c[1], c[2], c[3]) : s.color;
        const uint32_t texel = p.usesTexture ? FetchGeneric(p, u, v, s.filter) : 0xFFFFFFFFu;
        u += s.du;
        v += s.dv;
        for (int k = 0; k < 4; ++k) c[k] += s.dc[k];
        const uint32_t col = EvalStages(p, diffuse, texel);
        if (p.alphaTest && !AlphaPasses(p.alphaFunc, col >> 24, p.alphaRef)) continue;
        const uint32_t out = p.blend ? BlendFactors(p.srcBlend, p.destBlend, col, dst[i]) : col;
        dst[i] = out | p.dstAlphaOr;
    }
}

// ---- the specialised loops -------------------------------------------------------------
// FILTER: 0 untextured, 1 point, 2 bilinear. COLOR: 0 the texel alone (untextured: the
// flat colour), 1 texel x flat colour, 2 Gouraud colour (x texel when textured).
// BLEND: 0 none, 1 alpha, 2 add, 3 add with source alpha, 4 any other factors.

template <int FILTER, int COLOR, bool BRIGHT, int BLEND>
void FastSpan(const PixelPipeline& p, uint32_t* dst, int n, const SpanStart& s) {
    const TexelView t = p.tex;
    int64_t u = s.u, v = s.v;
    const int64_t du = s.du, dv = s.dv;
    int32_t ca = s.c[0], cr = s.c[1], cg = s.c[2], cb = s.c[3];
    const int32_t dca = s.dc[0], dcr = s.dc[1], dcg = s.dc[2], dcb = s.dc[3];
    const uint32_t flat = s.color, aor = p.dstAlphaOr, bright = p.textureFactor & 0x00FFFFFFu;
    const uint32_t alphaMin = uint32_t(p.alphaMin);
    const uint32_t sf = p.srcBlend, df = p.destBlend;

    if constexpr (FILTER == 1 && COLOR == 0 && !BRIGHT && BLEND == 0) {
        // An unscaled opaque copy is a block copy of the texel row.
        if (du == 65536 && dv == 0 && (t.allOpaque || (alphaMin == 0 && aor == 0))) {
            const int64_t x0 = u >> 16, y0 = v >> 16;
            if (x0 >= 0 && x0 + n <= t.width && y0 >= 0 && y0 < t.height) {
                std::memcpy(dst, t.texels + size_t(y0) * t.pitch + size_t(x0), size_t(n) * 4);
                return;
            }
        }
    }

    // Bilinear texels come eight or four at a time while that many pixels are left.
#if defined(__SSE2__)
    alignas(32) uint32_t block[8];
    int held = 0, filled = 0, left = n;
#if defined(RUV3_HAVE_AVX2_SPANS)
    const bool wide = FILTER == 2 && gUseAvx2.load(std::memory_order_relaxed);
#endif
#endif
#if defined(__SSE2__)
    // Fills the block from the pixel at (u, v) on when it is used up.
    auto refill = [&]() {
        if (held > 0) return;
        filled = 0;
#if defined(RUV3_HAVE_AVX2_SPANS)
        if (wide && left >= 8 && FitsBilinear8(u, v, du, dv)) {
            FetchBilinear8(t, u, v, du, dv, block);
            filled = 8;
        }
#endif
        if (filled == 0 && left >= 4) {
            FetchBilinear4(t, u, v, du, dv, block);
            filled = 4;
        }
        held = filled;
        left -= filled;
    };
#endif
    // The texel of the pixel at (u, v); the caller steps (u, v).
    auto nextTexel = [&]() {
        if constexpr (FILTER == 1) {
            return FetchPoint(t, u, v);
        } else {
#if defined(__SSE2__)
            refill();
            if (held > 0) return block[filled - held--];
            --left;
#endif
            return FetchBilinear(t, u, v);
        }
    };

    // The colour of the next pixel before the alpha test; steps the interpolants.
    auto source = [&]() {
        uint32_t c;
        if constexpr (FILTER == 0) {
            c = COLOR == 2 ? PackColor(ca, cr, cg, cb) : flat;
        } else {
            const uint32_t texel = nextTexel();
            if constexpr (COLOR == 0) c = texel;
            else if constexpr (COLOR == 1) c = Modulate(texel, flat);
            else c = Modulate(texel, PackColor(ca, cr, cg, cb));
            u += du;
            v += dv;
        }
        if constexpr (COLOR == 2) {
            ca += dca; cr += dcr; cg += dcg; cb += dcb;
        }
        return c;
    };

    int i = 0;
#if defined(__SSE2__)
    if constexpr (BLEND == 1) {
        // Four pixels at a time. With alphaMin <= 1 a failed alpha test needs no mask:
        // alpha 0 leaves the destination as it was.
        const __m128i aorv = _mm_set1_epi32(int(aor));
        const __m128i minv = _mm_set1_epi32(int(alphaMin));  // fails: alphaMin > alpha
        const bool masked = alphaMin > 1;
        const uint32_t* row = nullptr;
        if constexpr (FILTER == 1 && COLOR == 0) {
            // Unscaled and unrotated: the texels lie side by side.
            const int64_t x0 = u >> 16, y0 = v >> 16;
            if (du == 65536 && dv == 0 && x0 >= 0 && x0 + n <= t.width && y0 >= 0 && y0 < t.height)
                row = t.texels + size_t(y0) * t.pitch + size_t(x0);
        }
        for (; i + 4 <= n; i += 4) {
            __m128i sv;
            if (row) {
                sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            } else if constexpr (FILTER != 0 && COLOR != 2) {
                // Four texels (straight from the bilinear block when it holds them), times
                // the flat colour if there is one.
                if (FILTER == 2 && (refill(), held >= 4)) {
                    sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + filled - held));
                    held -= 4;
                    u += 4 * du;
                    v += 4 * dv;
                } else {
                    alignas(16) uint32_t t4[4];
                    for (int k = 0; k < 4; ++k, u += du, v += dv) t4[k] = nextTexel();
                    sv = _mm_load_si128(reinterpret_cast<const __m128i*>(t4));
                }
                if constexpr (COLOR == 1) sv = Modulate4(sv, _mm_set1_epi32(int(flat)));
            } else {
                alignas(16) uint32_t c4[4];
                for (int k = 0; k < 4; ++k) c4[k] = source();
                sv = _mm_load_si128(reinterpret_cast<const __m128i*>(c4));
            }
            if constexpr (BRIGHT) {
                const __m128i rgb = _mm_set1_epi32(int(bright));
                sv = _mm_or_si128(_mm_and_si128(_mm_adds_epu8(sv, rgb), _mm_set1_epi32(0x00FFFFFF)),
                                  _mm_and_si128(sv, _mm_set1_epi32(int(0xFF000000u))));
            }
            __m128i* dp = reinterpret_cast<__m128i*>(dst + i);
            // Sprites are mostly wholly transparent or wholly opaque, filtered or not:
            // four pixels that all fail the alpha test are left alone, four opaque ones
            // are written as they are (blending with alpha 255 gives the source exactly).
            const __m128i alpha = _mm_srli_epi32(sv, 24);
            if (_mm_movemask_epi8(_mm_cmpgt_epi32(minv, alpha)) == 0xFFFF) continue;
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255))) == 0xFFFF) {
                _mm_storeu_si128(dp, _mm_or_si128(sv, aorv));
                continue;
            }
            const __m128i dv4 = _mm_loadu_si128(dp);
            __m128i r = BlendAlpha4(sv, dv4);
            if (masked) {
                const __m128i fail = _mm_cmpgt_epi32(minv, alpha);
                r = _mm_or_si128(_mm_and_si128(fail, dv4), _mm_andnot_si128(fail, r));
            }
            _mm_storeu_si128(dp, _mm_or_si128(r, aorv));
        }
        if (row) {
            u += du * i;
        }
    }
#endif
    for (; i < n; ++i) {
        uint32_t c = source();
        if ((c >> 24) < alphaMin) continue;
        if constexpr (BRIGHT) c = AddRgbSat(c, bright);
        if constexpr (BLEND == 0) dst[i] = c | aor;
        else if constexpr (BLEND == 1) dst[i] = BlendAlpha(c, dst[i]) | aor;
        else if constexpr (BLEND == 2) dst[i] = AddSat(c, dst[i]) | aor;
        else if constexpr (BLEND == 3) dst[i] = AddSat(Scale(c, c >> 24), dst[i]) | aor;
        else dst[i] = BlendFactors(sf, df, c, dst[i]) | aor;
    }
}

constexpr int kBlendKinds = 5;

template <size_t I>
constexpr SpanFn MakeFast() {
    return &FastSpan<int(I / (3 * 2 * kBlendKinds)), int((I / (2 * kBlendKinds)) % 3),
                     bool((I / kBlendKinds) % 2), int(I % kBlendKinds)>;
}
template <size_t... I>
constexpr std::array<SpanFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
    return {MakeFast<I>()...};
}
constexpr auto kFastSpans = MakeTable(std::make_index_sequence<3 * 3 * 2 * kBlendKinds>());

// How one stage-0 operation uses its arguments: 0 the texture alone, 1 texture x
// diffuse, 2 diffuse alone, -1 anything else.
int StageKind(uint32_t op, uint32_t a1, uint32_t a2) {
    auto isDiffuse = [](uint32_t a) { return a == ArgDiffuse || a == ArgCurrent; };
    switch (op) {
        case TopDisable: return 2;
        case TopSelectArg1: return a1 == ArgTexture ? 0 : isDiffuse(a1) ? 2 : -1;
        case TopSelectArg2: return a2 == ArgTexture ? 0 : isDiffuse(a2) ? 2 : -1;
        case TopModulate:
            return (a1 == ArgTexture && isDiffuse(a2)) || (a2 == ArgTexture && isDiffuse(a1)) ? 1 : -1;
        default: return -1;
    }
}

bool UsesArg(uint32_t op, uint32_t a1, uint32_t a2, uint32_t arg) {
    switch (op) {
        case TopDisable: return false;
        case TopSelectArg1: return a1 == arg;
        case TopSelectArg2: return a2 == arg;
        default: return a1 == arg || a2 == arg;
    }
}

}  // namespace

void PixelPipeline::Resolve() {
    drawsNothing = false;
    alphaRef &= 255;
    bool alphaFast = true;
    alphaMin = 0;
    if (alphaTest) {
        switch (alphaFunc) {
            case CmpGreaterEqual: alphaMin = int(alphaRef); break;
            case CmpGreater:  // no alpha is greater than 255
                alphaMin = int(alphaRef) + 1;
                drawsNothing = alphaMin > 255;
                break;
            case CmpNever: drawsNothing = true; break;
            case CmpAlways: break;
            default: alphaFast = false;
        }
    }

    usesTexture = false;
    for (int s = 0; s < 2; ++s) {
        if (op[s][0] == TopDisable) break;
        for (int k = 0; k < 2; ++k) usesTexture |= UsesArg(op[s][k], arg1[s][k], arg2[s][k], ArgTexture);
    }

    const int colorKind = StageKind(op[0][0], arg1[0][0], arg2[0][0]);
    const int alphaKind = StageKind(op[0][1], arg1[0][1], arg2[0][1]);
    stageKind = colorKind;
    bool stagesFast = colorKind >= 0 && colorKind == alphaKind;
    if (op[0][0] == TopDisable) stagesFast = false;  // the second stage would not run

    bright = false;
    if (op[0][0] != TopDisable && op[1][0] != TopDisable) {
        const bool addsFactor =
            op[1][0] == TopAdd && op[1][1] == TopDisable &&
            ((arg1[1][0] == ArgCurrent && arg2[1][0] == ArgTFactor) ||
             (arg1[1][0] == ArgTFactor && arg2[1][0] == ArgCurrent));
        if (addsFactor) bright = (textureFactor & 0x00FFFFFFu) != 0;
        else stagesFast = false;
    }

    if (!blend) blendKind = 0;
    else if (srcBlend == BlendOne && destBlend == BlendZero) blendKind = 0;
    else if (srcBlend == BlendSrcAlpha && destBlend == BlendInvSrcAlpha) blendKind = 1;
    else if (srcBlend == BlendOne && destBlend == BlendOne) blendKind = 2;
    else if (srcBlend == BlendSrcAlpha && destBlend == BlendOne) blendKind = 3;
    else blendKind = 4;

    const bool textureFast = stageKind == 2 || (tex.texels && addressU == AddressClamp && addressV == AddressClamp);
    fast = alphaFast && stagesFast && textureFast && !forceGeneric;
}

SpanFn SelectSpan(const PixelPipeline& p, bool gouraud, uint32_t flatColor, uint32_t filter) {
    if (!p.fast) return &GenericSpan;
    int f = p.stageKind == 2 ? 0 : (filter == SampleLinear ? 2 : 1);
    int color;
    if (p.stageKind == 0) color = 0;
    else if (gouraud) color = 2;
    else color = (p.stageKind == 1 && flatColor != 0xFFFFFFFFu) ? 1 : 0;
    if (f == 0 && color == 1) color = 0;
    // Alpha blending of a source opaque everywhere gives the source: a plain write (and
    // for an unscaled texture row, a block copy).
    int blendKind = p.blendKind;
    const bool colourOpaque = !gouraud && (flatColor >> 24) == 255;
    const bool sourceOpaque = p.stageKind == 0   ? p.tex.allOpaque
                              : p.stageKind == 1 ? p.tex.allOpaque && colourOpaque
                                                 : colourOpaque;
    if (blendKind == 1 && sourceOpaque) blendKind = 0;
    return kFastSpans[size_t(((f * 3 + color) * 2 + (p.bright ? 1 : 0)) * kBlendKinds + blendKind)];
}

bool UseWideVectorSpans(bool on) {
#if defined(RUV3_HAVE_AVX2_SPANS)
    gUseAvx2.store(on && kHaveAvx2);
    return on && kHaveAvx2;
#else
    return false;
#endif
}

bool WideVectorSpans() {
#if defined(RUV3_HAVE_AVX2_SPANS)
    return gUseAvx2.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

bool ScaledRows(SpanFn span, int n, int64_t du, int64_t dv) {
    constexpr int kScaledMin = 32;
    constexpr int64_t kScaledMaxStep = 2 * 65536;
    return span == &FastSpan<2, 0, false, 0> && dv == 0 && n >= kScaledMin && du <= kScaledMaxStep &&
           du >= -kScaledMaxStep;
}

void FillRows(const PixelPipeline& p, SpanFn span, uint32_t* dst, int pitch, int n, int rows,
              const SpanStart& start, const int64_t* u, const int64_t* v, const uint32_t* fill) {
    // Unrotated and unblended bilinear texels (a picture drawn scaled onto the screen):
    // each column samples the same texels on every row, so their positions and weights
    // are worked out once for all rows. The pixels are those of the span. A row costs the
    // scaler a pass over every texel pair the row spans, so a picture shrunk to a fraction
    // of its width is left to the span, which fetches only the texels it shows. It writes
    // every pixel, so a clear owed to the rows is never written under it.
    if (rows > 1 && ScaledRows(span, n, start.du, start.dv) &&
        std::all_of(u, u + rows, [&](int64_t x) { return x == u[0]; })) {
        thread_local FrameScaler scaler;
        scaler.SetColumns(u[0], start.du, n, p.tex.width);
        scaler.ForgetRows();  // the texture may have been drawn into since
        for (int k = 0; k < rows; ++k, dst += pitch)
            scaler.Row(p.tex.texels, p.tex.pitch, p.tex.height, v[k], dst, uint32_t(p.alphaMin), p.dstAlphaOr, fill);
        return;
    }
    if (fill) {
        static_assert(sizeof(wchar_t) == sizeof(uint32_t), "wmemset fills 32-bit pixels");
        for (int k = 0; k < rows; ++k)
            std::wmemset(reinterpret_cast<wchar_t*>(dst + size_t(k) * pitch), wchar_t(*fill), size_t(n));
    }
#if defined(RUV3_HAVE_AVX2_SPANS)
    // Unscaled, point-sampled texels alpha-blended as they are (the display's sprites):
    // all rows in one call when each lies inside the texture.
    constexpr int kMaxRows = 64;
    const bool bright = span == &FastSpan<1, 0, true, 1>;
    if (gUseAvx2.load(std::memory_order_relaxed) && rows <= kMaxRows && start.du == 65536 && start.dv == 0 &&
        (bright || span == &FastSpan<1, 0, false, 1>)) {
        const TexelView& t = p.tex;
        bool inside = true;
        for (int k = 0; k < rows; ++k) {
            const int64_t x0 = u[k] >> 16, y0 = v[k] >> 16;
            inside &= (x0 >= 0) & (x0 + n <= t.width) & (y0 >= 0) & (y0 < t.height);
        }
        if (inside) {
            const uint32_t* src[kMaxRows];
            for (int k = 0; k < rows; ++k) src[k] = t.texels + size_t(v[k] >> 16) * t.pitch + size_t(u[k] >> 16);
            BlendRowsAvx2(src, dst, pitch, n, rows, uint32_t(p.alphaMin), p.dstAlphaOr, bright,
                          p.textureFactor & 0x00FFFFFFu);
            return;
        }
    }
#endif
    SpanStart row = start;
    for (int k = 0; k < rows; ++k, dst += pitch) {
        row.u = u[k];
        row.v = v[k];
        span(p, dst, n, row);
    }
}

}  // namespace pf
