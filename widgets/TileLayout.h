// Tile counts shared by the panels built of repeated tiles: how many tiles of one size
// cover an extent, and the bound that keeps one frame's tiles finite.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tiles {

// More tiles than any screen shows: a layout past these is cut down to them (a one-pixel
// tile across a wide screen still fits; a size read from bad data does not hang a frame).
constexpr int kMaxPerAxis = 4096;
constexpr int kMaxPerFrame = 1 << 18;

// (extent - 1) / tile + 1, truncating toward zero, as an int64 so no extent overflows;
// tile must be positive.
inline int64_t CoverCount(int64_t extent, int tile) { return (extent - 1) / tile + 1; }

// Limits a grid to kMaxPerAxis per axis and kMaxPerFrame in all (rows give way first);
// negative counts become 0. True when anything was cut.
inline bool BoundGrid(int64_t& columns, int64_t& rows) {
    const int64_t c = std::clamp<int64_t>(columns, 0, kMaxPerAxis);
    int64_t r = std::clamp<int64_t>(rows, 0, kMaxPerAxis);
    if (c > 0) r = std::min<int64_t>(r, kMaxPerFrame / c);
    const bool cut = c != std::max<int64_t>(columns, 0) || r != std::max<int64_t>(rows, 0);
    columns = c;
    rows = r;
    return cut;
}

}  // namespace tiles
