// Images the drawing benchmarks share.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace benchkit {

// A soft round sprite of n x n pixels, straight (not premultiplied) colour: opaque in the
// middle, fading out to fully transparent corners, red across and green down.
inline std::vector<uint32_t> MakeSoftSprite(int n) {
    std::vector<uint32_t> px(size_t(n) * n);
    const double c = (n - 1) * 0.5;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double d = std::hypot(x - c, y - c) / (n * 0.5);
            const uint32_t a = d >= 1 ? 0 : d < 0.6 ? 255 : uint32_t(255 * (1 - d) / 0.4);
            px[size_t(y) * n + x] = a << 24 | uint32_t(x * 255 / n) << 16 | uint32_t(y * 255 / n) << 8 | 0x80;
        }
    return px;
}

}  // namespace benchkit
