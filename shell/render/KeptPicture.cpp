#include "shell/render/KeptPicture.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pf {

namespace {

constexpr int kChunk = 16;          // texels compared at a time
constexpr size_t kMaxRects = 256;   // more rectangles than this are given as one around them

// Whether n texels differ (n = kChunk on the fast path).
inline bool Differ(const uint32_t* a, const uint32_t* b, int n) {
#if defined(__SSE2__)
    if (n == kChunk) {
        auto x = [&](int i) {
            return _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
        };
        const __m128i any = _mm_or_si128(_mm_or_si128(x(0), x(4)), _mm_or_si128(x(8), x(12)));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
    }
#endif
    return std::memcmp(a, b, size_t(n) * 4) != 0;
}

// Calls f(from, to) with the target columns of each run of consecutive bands set in
// `bands` (`count` bands `width` columns wide; the columns end at n).
template <typename F>
void ForEachRun(uint64_t bands, int count, int width, int n, F&& f) {
    for (int b = 0; b < count;) {
        if (!((bands >> b) & 1)) {
            ++b;
            continue;
        }
        int e = b;
        while (e < count && ((bands >> e) & 1)) ++e;
        f(b * width, std::min(n, e * width));
        b = e;
    }
}

}  // namespace

bool KeptPicture::SameDraw(const ScaledDraw& d) const {
    const ScaledDraw& k = last_;
    return kept_ && d.width == k.width && d.height == k.height && d.u0 == k.u0 && d.du == k.du && d.x0 == k.x0 &&
           d.y0 == k.y0 && d.x1 == k.x1 && d.y1 == k.y1 && d.alphaMin == k.alphaMin && d.alphaOr == k.alphaOr &&
           d.fill == k.fill && std::equal(rowsV_.begin(), rowsV_.end(), d.v);
}

bool KeptPicture::Draw(const ScaledDraw& d, uint32_t* pixels, int pitch, bool held) {
    written_.clear();
    wroteWhole_ = false;
    const int n = d.x1 - d.x0, rows = d.y1 - d.y0;
    if (d.width <= 0 || d.height <= 0 || d.width > kMaxSide || d.height > kMaxSide || n <= 0 || rows <= 0) {
        kept_ = false;
        return false;
    }
    scaler_.SetColumns(d.u0, d.du, n, d.width);
    // A small part of a large picture (a sprite of an atlas) is drawn, not kept: keeping
    // it would copy and compare every texel of the picture each frame for the few shown.
    int from = 0, to = 0;
    scaler_.SourceColumns(0, n, from, to);
    const auto [vLow, vHigh] = std::minmax_element(d.v, d.v + rows);
    const int64_t rowFrom = std::clamp<int64_t>(*vLow >> 16, 0, d.height - 1);
    const int64_t rowTo = std::clamp<int64_t>((*vHigh >> 16) + 1, 0, d.height - 1) + 1;
    if (4 * int64_t(to - from) * (rowTo - rowFrom) < int64_t(d.width) * d.height) {
        kept_ = false;
        return false;
    }
    if (held && SameDraw(d)) {
        CompareRows(d);
        DrawChanged(d, pixels, pitch);
        return true;
    }
    try {
        Keep(d);
    } catch (const std::bad_alloc&) {
        kept_ = false;
        std::vector<uint32_t>().swap(copy_);
        return false;
    }
    DrawWhole(d, pixels, pitch);
    wroteWhole_ = true;
    return true;
}

void KeptPicture::Keep(const ScaledDraw& d) {
    kept_ = false;
    const int n = d.x1 - d.x0, rows = d.y1 - d.y0;
    copy_.resize(size_t(d.width) * size_t(d.height));
    for (int y = 0; y < d.height; ++y)
        std::memcpy(copy_.data() + size_t(y) * size_t(d.width), d.texels + size_t(y) * size_t(d.pitch),
                    size_t(d.width) * 4);
    rowsV_.assign(d.v, d.v + rows);
    rowBands_.assign(size_t(d.height), 0);
    // At most 64 bands, each a multiple of four columns (the scaler's groups).
    bandWidth_ = std::max(64, ((n + 63) / 64 + 3) / 4 * 4);
    bands_ = (n + bandWidth_ - 1) / bandWidth_;
    chunkBands_.assign(size_t((d.width + kChunk - 1) / kChunk), 0);
    for (int b = 0; b < bands_; ++b) {
        int from = 0, to = 0;
        scaler_.SourceColumns(b * bandWidth_, std::min(n, (b + 1) * bandWidth_), from, to);
        for (int c = from / kChunk; c <= (to - 1) / kChunk; ++c) chunkBands_[size_t(c)] |= uint64_t(1) << b;
    }
    last_ = d;
    last_.texels = nullptr;
    last_.v = nullptr;
    kept_ = true;
}

void KeptPicture::DrawWhole(const ScaledDraw& d, uint32_t* pixels, int pitch) {
    scaler_.ForgetRows();
    for (int y = d.y0; y < d.y1; ++y)
        scaler_.Row(d.texels, d.pitch, d.height, d.v[y - d.y0], pixels + size_t(y) * size_t(pitch) + size_t(d.x0),
                    d.alphaMin, d.alphaOr, &d.fill);
}

void KeptPicture::CompareRows(const ScaledDraw& d) {
    const size_t rowBytes = size_t(d.width) * 4;
    for (int r = 0; r < d.height; ++r) {
        const uint32_t* now = d.texels + size_t(r) * size_t(d.pitch);
        uint32_t* was = copy_.data() + size_t(r) * size_t(d.width);
        uint64_t bands = 0;
        if (std::memcmp(now, was, rowBytes) != 0) {
            for (int x = 0, c = 0; x < d.width; x += kChunk, ++c)
                if (Differ(now + x, was + x, std::min(kChunk, d.width - x))) bands |= chunkBands_[size_t(c)];
            std::memcpy(was, now, rowBytes);
        }
        rowBands_[size_t(r)] = bands;
    }
}

void KeptPicture::DrawChanged(const ScaledDraw& d, uint32_t* pixels, int pitch) {
    const int n = d.x1 - d.x0, rows = d.y1 - d.y0;
    scaler_.ForgetRows();
    uint64_t runBands = 0;
    int runStart = 0;
    for (int y = 0; y < rows; ++y) {
        const int64_t v = rowsV_[size_t(y)];
        const int64_t yi = v >> 16;
        const int r0 = int(std::min<int64_t>(std::max<int64_t>(yi, 0), d.height - 1));
        const int r1 = int(std::min<int64_t>(std::max<int64_t>(yi + 1, 0), d.height - 1));
        const uint64_t bands = rowBands_[size_t(r0)] | rowBands_[size_t(r1)];
        if (bands != runBands) {
            if (runBands) AddRects(runBands, d.y0 + runStart, y - runStart);
            runBands = bands;
            runStart = y;
        }
        uint32_t* row = pixels + size_t(d.y0 + y) * size_t(pitch) + size_t(d.x0);
        ForEachRun(bands, bands_, bandWidth_, n, [&](int from, int to) {
            scaler_.Row(d.texels, d.pitch, d.height, v, row, d.alphaMin, d.alphaOr, &d.fill, from, to);
        });
    }
    if (runBands) AddRects(runBands, d.y0 + runStart, rows - runStart);
    if (written_.size() > kMaxRects) {
        int x0 = written_[0].x, y0 = written_[0].y, x1 = x0, y1 = y0;
        for (const Rect& r : written_) {
            x0 = std::min(x0, r.x);
            y0 = std::min(y0, r.y);
            x1 = std::max(x1, r.x + r.width);
            y1 = std::max(y1, r.y + r.height);
        }
        written_.assign(1, Rect(x0, y0, x1 - x0, y1 - y0));
    }
}

void KeptPicture::AddRects(uint64_t bands, int y, int rows) {
    ForEachRun(bands, bands_, bandWidth_, last_.x1 - last_.x0,
               [&](int from, int to) { written_.emplace_back(last_.x0 + from, y, to - from, rows); });
}

}  // namespace pf
