#include "shell/ImageKernels.h"

#include <algorithm>
#include <cstring>

namespace pf {

namespace {

bool SameSize(const PixelView& a, const PixelView& b) {
    return a.width == b.width && a.height == b.height;
}

bool Usable(const PixelView& v) { return v.data && v.width > 0 && v.height > 0; }

}  // namespace

void ScaleView(const PixelView& src, PixelView& dst) {
    if (!Usable(src) || !Usable(dst)) return;
    const float ratioX = float(double(dst.width) / double(src.width));
    const float ratioY = float(double(dst.height) / double(src.height));
    std::vector<int> columns(size_t(dst.width));
    for (int x = 0; x < dst.width; ++x)
        columns[size_t(x)] = std::min(int(float(x) / ratioX), src.width - 1);
    for (int y = 0; y < dst.height; ++y) {
        const int sy = std::min(int(float(y) / ratioY), src.height - 1);
        const uint8_t* srow = src.data + ptrdiff_t(sy) * src.pitch;
        uint8_t* d = dst.data + ptrdiff_t(y) * dst.pitch;
        for (int x = 0; x < dst.width; ++x, d += 4) std::memcpy(d, srow + columns[size_t(x)] * 4, 4);
    }
}

void BlurView(const PixelView& src, PixelView& dst, int radius) {
    if (radius < 0 || radius > 15 || !SameSize(src, dst) || !Usable(src) || !dst.data) return;
    const int w = src.width, h = src.height, r = radius;
    int weight[31];
    for (int d = -r; d <= r; ++d) weight[d + r] = (r + 1 - std::abs(d)) * (r + 1 - std::abs(d));
    // The divisor of a position: the weights of its taps that lie inside.
    auto divisors = [&](int n) {
        std::vector<int> div(size_t(n), 0);
        for (int i = 0; i < n; ++i)
            for (int d = std::max(-r, -i); d <= std::min(r, n - 1 - i); ++d) div[size_t(i)] += weight[d + r];
        return div;
    };
    const std::vector<int> divX = divisors(w), divY = divisors(h);

    // Horizontal pass into a packed intermediate image.
    const size_t rowBytes = size_t(w) * 4;
    std::vector<uint8_t> mid(rowBytes * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src.data + ptrdiff_t(y) * src.pitch;
        uint8_t* m = mid.data() + rowBytes * size_t(y);
        for (int x = 0; x < w; ++x) {
            int acc[4] = {0, 0, 0, 0};
            const int lo = std::max(-r, -x), hi = std::min(r, w - 1 - x);
            for (int d = lo; d <= hi; ++d) {
                const uint8_t* p = s + (x + d) * 4;
                const int k = weight[d + r];
                acc[0] += k * p[0];
                acc[1] += k * p[1];
                acc[2] += k * p[2];
                acc[3] += k * p[3];
            }
            const int div = divX[size_t(x)];
            for (int c = 0; c < 4; ++c) m[x * 4 + c] = uint8_t(acc[c] / div);
        }
    }

    // Vertical pass: weighted rows summed into one accumulator row.
    std::vector<int> acc(rowBytes, 0);
    for (int y = 0; y < h; ++y) {
        std::fill(acc.begin(), acc.end(), 0);
        const int lo = std::max(-r, -y), hi = std::min(r, h - 1 - y);
        for (int d = lo; d <= hi; ++d) {
            const uint8_t* m = mid.data() + rowBytes * size_t(y + d);
            const int k = weight[d + r];
            for (size_t i = 0; i < rowBytes; ++i) acc[i] += k * m[i];
        }
        const int div = divY[size_t(y)];
        uint8_t* out = dst.data + ptrdiff_t(y) * dst.pitch;
        for (size_t i = 0; i < rowBytes; ++i) out[i] = uint8_t(acc[i] / div);
    }
}

void GlowView(const PixelView& src, PixelView& dst, const Color& colour, float radius) {
    if (!(radius >= 0.0f) || !SameSize(src, dst) || !Usable(src) || !dst.data) return;
    // q = trunc(radius + 0.99999) + 1 must not exceed 15; tested before converting, so a
    // huge radius never overflows the integer.
    if (!(radius + 0.99999f < 15.0f)) return;
    const int q = int(radius + 0.99999f) + 1;
    const int size = 2 * q + 1;

    // The disc's coverage of each kernel cell, 6 x 6 samples a cell; only the cells that
    // weigh something are kept, in row order.
    static const float steps[6] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f};
    const float limit = radius * radius + 0.0001f;
    const float centre = float(q) + 0.5f;
    const float alphaScale = float(colour.a) / 255.0f;
    struct Cell {
        int i, j;
        float k;
    };
    std::vector<Cell> cells;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            int n = 0;
            for (float t : steps)
                for (float s : steps) {
                    const float dx = centre - (float(j) + s);
                    const float dy = centre - (float(i) + t);
                    if (dx * dx + dy * dy < limit) ++n;
                }
            if (n) cells.push_back({i, j, float(n) / 25.0f * alphaScale});
        }

    // Source alpha / 255 with a border of q zeros, so every tap can be read.
    const int w = src.width, h = src.height;
    const int pw = w + 2 * q;
    std::vector<float> alpha(size_t(pw) * size_t(h + 2 * q), 0.0f);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src.data + ptrdiff_t(y) * src.pitch;
        float* a = alpha.data() + size_t(y + q) * size_t(pw) + size_t(q);
        for (int x = 0; x < w; ++x) a[x] = float(s[x * 4 + 3]) / 255.0f;
    }

    std::vector<float> sum(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (const Cell& c : cells) {
            const float* a = alpha.data() + size_t(y + c.i) * size_t(pw) + size_t(c.j);
            const float k = c.k;
            for (int x = 0; x < w; ++x) sum[size_t(x)] += a[x] * k;
        }
        uint8_t* out = dst.data + ptrdiff_t(y) * dst.pitch;
        for (int x = 0; x < w; ++x, out += 4) {
            const float v = 255.0f * sum[size_t(x)];
            out[0] = colour.b;
            out[1] = colour.g;
            out[2] = colour.r;
            out[3] = v >= 255.0f ? 255 : uint8_t(int(v));
        }
    }
}

void ApplyAlphaMask(const PixelView& mask, PixelView& image) {
    if (!SameSize(mask, image) || !Usable(mask) || !image.data) return;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* m = mask.data + ptrdiff_t(y) * mask.pitch;
        uint8_t* p = image.data + ptrdiff_t(y) * image.pitch;
        for (int x = 0; x < image.width; ++x) p[x * 4 + 3] = m[x * 4 + 2];
    }
}

void AddTexturedQuad(std::vector<DisplayVertex>& vertices, float textureWidth,
                     float textureHeight, const Rect& source, const Rect& destination,
                     uint32_t colour) {
    const float uL = float(source.x) / textureWidth;
    const float uR = float(source.x + source.width) / textureWidth;
    const float vT = float(source.y) / textureHeight;
    const float vB = float(source.y + source.height) / textureHeight;
    const float xL = float(destination.x), xR = float(destination.x + destination.width);
    const float yT = float(destination.y), yB = float(destination.y + destination.height);
    auto add = [&](float x, float y, float u, float v) {
        DisplayVertex dv;
        dv.x = x;
        dv.y = y;
        dv.z = 0.0f;
        dv.color = colour;
        dv.u = u;
        dv.v = v;
        vertices.push_back(dv);
    };
    add(xL, yT, uL, vT);
    add(xR, yT, uR, vT);
    add(xL, yB, uL, vB);
    add(xL, yB, uL, vB);
    add(xR, yT, uR, vT);
    add(xR, yB, uR, vB);
}

}  // namespace pf
