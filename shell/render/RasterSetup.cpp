#include "shell/render/RasterSetup.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

namespace pf {

namespace {

constexpr double kMaxCoord = 1 << 20;      // screen positions are kept within +-2^20
constexpr double kMaxTexel = 1 << 20;      // texel coordinates within +-2^20
constexpr double kMaxTexelStep = 1 << 18;  // texels per pixel

inline int64_t FloorDiv(int64_t n, int64_t d) {  // d > 0
    int64_t q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }
// CeilDiv(n, 256): the shift of a negative value is arithmetic (floor) here.
inline int64_t CeilDiv256(int64_t n) { return -((-n) >> 8); }

// std::llround without the library call for the magnitudes the rasteriser works with:
// below 2^52 the fraction v - trunc(v) is exact, so halves round away from zero exactly.
__attribute__((always_inline)) inline int64_t RoundHalfAwaySmall(double v) {  // |v| < 2^52
    const int64_t t = int64_t(v);
    const double f = v - double(t);
    return t + int64_t(f >= 0.5) - int64_t(f <= -0.5);
}
__attribute__((always_inline)) inline int64_t RoundHalfAway(double v) {
    return std::fabs(v) < 4.0e15 ? RoundHalfAwaySmall(v) : std::llround(v);
}

// A screen coordinate (kept within +-2^20 by the transform) snapped to 1/256 pixel.
inline int64_t Snap256(float c) { return RoundHalfAwaySmall(double(c) * 256.0); }

// The first pixel column at or right of an edge, row by row, in exact integers.
struct Edge {
    int64_t q = 0, r = 0, d = 1, qs = 0, rs = 0;

    // Edge from (xa, ya) down to (xb, yb) in 1/256 pixels, yb > ya; starts at row `row`.
    void Init(int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t row) {
        const int64_t dy = yb - ya, dx = xb - xa;
        d = 256 * dy;
        const int64_t n = xa * dy + (row * 256 - ya) * dx;
        q = FloorDiv(n, d);
        r = n - q * d;
        const int64_t s = 256 * dx;
        qs = FloorDiv(s, d);
        rs = s - qs * d;
    }
    int64_t Ceil() const { return q + (r > 0 ? 1 : 0); }
    void Step() {
        q += qs;
        r += rs;
        if (r >= d) { ++q; r -= d; }
    }
};

// An attribute as a plane over the screen: value = a0 + dx * (x - x0) + dy * (y - y0).
struct Plane {  // left uninitialised: a setup fills the planes it uses
    double a0, dx, dy;
    double At(double x, double y, double x0, double y0) const { return a0 + dx * (x - x0) + dy * (y - y0); }
};

struct Setup {
    double x0, y0;
    Plane u, v, c[4];
    int64_t du, dv;  // texel steps per pixel, 16.16
    bool textured, gouraud;
    uint32_t flat, filter;
    SpanFn span;
    // Bilinear filtering stepping whole texels: where a span also starts on a texel
    // corner every weight but one is 0 and the texel is taken as it is, so the point
    // sampling span gives the same pixels. Null otherwise.
    SpanFn pointSpan;
};

// Whether texel coordinates lie on texel corners: the bilinear weights are all 0.
inline bool OnTexelCorner(int64_t u, int64_t v) { return ((u | v) & 0xFFFF) == 0; }

inline double Channel(uint32_t c, int k) { return double((c >> (24 - 8 * k)) & 255); }

Plane MakePlane(double a0, double a1, double a2, double ex1, double ey1, double ex2, double ey2,
                double invDet) {
    Plane p;
    p.a0 = a0;
    p.dx = ((a1 - a0) * ey2 - (a2 - a0) * ey1) * invDet;
    p.dy = ((a2 - a0) * ex1 - (a1 - a0) * ex2) * invDet;
    return p;
}

inline int64_t ToFixed16(double v, double limit) {
    v = std::min(std::max(v, -limit), limit);
    return RoundHalfAway(v * 65536.0);
}

// The texel coordinates at pixel (x, y). The start snaps to 1/256 texel, the precision
// of the bilinear weights, so a texel centre reached through rounding noise samples that
// texel alone.
// Clamped to +-2^20 texels first, so the rounding needs no range check.
__attribute__((always_inline)) inline int64_t SnapTexel(double c) {
    const double k = c > kMaxTexel ? kMaxTexel : (c > -kMaxTexel ? c : -kMaxTexel);
    return RoundHalfAwaySmall(k * 256.0) * 256;
}
inline void TexelStart(const Setup& s, double fx, double fy, SpanStart& st) {
    st.u = SnapTexel(s.u.At(fx, fy, s.x0, s.y0));
    st.v = SnapTexel(s.v.At(fx, fy, s.x0, s.y0));
}

// Fills one span [xs, xe) of row y.
void EmitSpan(const PixelPipeline& p, const RasterTarget& t, const Setup& s, int y, int xs, int xe) {
    SpanStart st;
    st.color = s.flat;
    st.gouraud = s.gouraud;
    st.filter = s.filter;
    const double fx = xs, fy = y;
    SpanFn span = s.span;
    if (s.textured) {
        TexelStart(s, fx, fy, st);
        st.du = s.du;
        st.dv = s.dv;
        if (s.pointSpan && OnTexelCorner(st.u, st.v)) {
            span = s.pointSpan;
            st.filter = SamplePoint;
        }
    }
    if (s.gouraud) {
        const int n = xe - xs;
        for (int k = 0; k < 4; ++k) {
            constexpr double kTop = 255.0 * 65536.0 + 65535.0;
            const double a = std::min(std::max(s.c[k].At(fx, fy, s.x0, s.y0) * 65536.0, 0.0), kTop);
            double step = s.c[k].dx * 65536.0;
            if (n > 1) {  // keep the last pixel inside 0..255 too
                const double end = a + step * (n - 1);
                if (end < 0 || end > kTop) step = (std::min(std::max(end, 0.0), kTop) - a) / (n - 1);
            }
            st.c[k] = int32_t(a);
            st.dc[k] = int32_t(step);
        }
    }
    span(p, t.pixels + size_t(y) * t.pitch + xs, xe - xs, st);
}

bool PrepareSetup(const PixelPipeline& p, const ScreenVertex* v[3], double x0, double y0,
                  double ex1, double ey1, double ex2, double ey2, double invDet, Setup& s) {
    s.x0 = x0;
    s.y0 = y0;
    s.flat = v[0]->color;
    s.gouraud = v[0]->color != v[1]->color || v[0]->color != v[2]->color;
    s.textured = p.usesTexture && p.tex.texels;
    s.filter = SamplePoint;
    s.pointSpan = nullptr;
    if (s.textured) {
        const double tw = p.tex.width, th = p.tex.height;
        s.u = MakePlane(v[0]->u * tw, v[1]->u * tw, v[2]->u * tw, ex1, ey1, ex2, ey2, invDet);
        s.v = MakePlane(v[0]->v * th, v[1]->v * th, v[2]->v * th, ex1, ey1, ex2, ey2, invDet);
        // Magnification or minification by the larger texel step per pixel.
        const double rho = std::max(s.u.dx * s.u.dx + s.v.dx * s.v.dx, s.u.dy * s.u.dy + s.v.dy * s.v.dy);
        s.filter = rho > 1.0 + 1e-9 ? p.minFilter : p.magFilter;
        if (s.filter == SampleLinear) {  // bilinear works from texel corners
            s.u.a0 -= 0.5;
            s.v.a0 -= 0.5;
        }
        s.du = ToFixed16(s.u.dx, kMaxTexelStep);
        s.dv = ToFixed16(s.v.dx, kMaxTexelStep);
    }
    if (s.gouraud) {
        for (int k = 0; k < 4; ++k)
            s.c[k] = MakePlane(Channel(v[0]->color, k), Channel(v[1]->color, k), Channel(v[2]->color, k),
                               ex1, ey1, ex2, ey2, invDet);
    }
    s.span = SelectSpan(p, s.gouraud, s.flat, s.filter);
    // The generic loop (the tests' reference) keeps to the filter as chosen.
    if (s.textured && s.filter == SampleLinear && !p.forceGeneric && OnTexelCorner(s.du, s.dv))
        s.pointSpan = SelectSpan(p, s.gouraud, s.flat, SamplePoint);
    return s.span != nullptr;
}

}  // namespace

void TransformVertices(const MatrixT& m, const Viewport& vp, const DeviceVertex* in, int n,
                       ScreenVertex* out) {
    const double hw = vp.width * 0.5, hh = vp.height * 0.5;
    for (int i = 0; i < n; ++i) {
        const DeviceVertex& s = in[i];
        const double x = s.x, y = s.y, z = s.z;
        const double cx = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0];
        const double cy = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1];
        const double cw = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
        ScreenVertex& d = out[i];
        d.u = s.u;
        d.v = s.v;
        d.color = s.color;
        // An orthographic projection leaves w at exactly 1: no division to make.
        const bool unit = cw == 1.0;
        const double sx = vp.x + ((unit ? cx : cx / cw) + 1.0) * hw;
        const double sy = vp.y + (1.0 - (unit ? cy : cy / cw)) * hh;
        d.valid = cw > 1e-9 && std::isfinite(sx) && std::isfinite(sy) && std::isfinite(s.u) &&
                  std::isfinite(s.v);
        d.x = float(std::min(std::max(sx, -kMaxCoord), kMaxCoord));
        d.y = float(std::min(std::max(sy, -kMaxCoord), kMaxCoord));
    }
}

void RasterTriangle(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                    const ScreenVertex& b, const ScreenVertex& c, uint32_t cullMode) {
    if (!a.valid || !b.valid || !c.valid || t.x0 >= t.x1 || t.y0 >= t.y1) return;
    const ScreenVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = Snap256(v[i]->x);
        Y[i] = Snap256(v[i]->y);
    }
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return;
    // With y growing downwards a positive area is clockwise on the screen.
    if ((cullMode == CullClockwise && area > 0) || (cullMode == CullCounterClockwise && area < 0)) return;

    // Attribute planes from the snapped positions, relative to vertex 0.
    const double ex1 = double(X[1] - X[0]) / 256.0, ey1 = double(Y[1] - Y[0]) / 256.0;
    const double ex2 = double(X[2] - X[0]) / 256.0, ey2 = double(Y[2] - Y[0]) / 256.0;
    const double invDet = 1.0 / (ex1 * ey2 - ex2 * ey1);
    Setup s;
    if (!PrepareSetup(p, v, double(X[0]) / 256.0, double(Y[0]) / 256.0, ex1, ey1, ex2, ey2, invDet, s))
        return;

    // Sort by y: top, middle, bottom.
    int o[3] = {0, 1, 2};
    if (Y[o[1]] < Y[o[0]]) std::swap(o[0], o[1]);
    if (Y[o[2]] < Y[o[1]]) std::swap(o[1], o[2]);
    if (Y[o[1]] < Y[o[0]]) std::swap(o[0], o[1]);
    const int64_t xt = X[o[0]], yt = Y[o[0]], xm = X[o[1]], ym = Y[o[1]], xb = X[o[2]], yb = Y[o[2]];

    const int64_t rowTop = std::max<int64_t>(CeilDiv(yt, 256), t.y0);
    const int64_t rowMid = CeilDiv(ym, 256);
    const int64_t rowEnd = std::min<int64_t>(CeilDiv(yb, 256), t.y1);
    if (rowTop >= rowEnd) return;

    // Is the middle vertex left of the long edge?
    const bool midLeft = (xm - xt) * (yb - yt) - (xb - xt) * (ym - yt) < 0;
    Edge longEdge;
    longEdge.Init(xt, yt, xb, yb, rowTop);

    auto walk = [&](Edge& shortEdge, int64_t from, int64_t to) {
        Edge& left = midLeft ? shortEdge : longEdge;
        Edge& right = midLeft ? longEdge : shortEdge;
        for (int64_t y = from; y < to; ++y) {
            const int64_t xs = std::max<int64_t>(left.Ceil(), t.x0);
            const int64_t xe = std::min<int64_t>(right.Ceil(), t.x1);
            if (xs < xe) EmitSpan(p, t, s, int(y), int(xs), int(xe));
            left.Step();
            right.Step();
        }
    };
    const int64_t upperEnd = std::min(rowMid, rowEnd);
    if (rowTop < upperEnd) {
        Edge upper;
        upper.Init(xt, yt, xm, ym, rowTop);
        walk(upper, rowTop, upperEnd);
    }
    const int64_t lowerStart = std::max(rowMid, rowTop);
    if (lowerStart < rowEnd) {
        Edge lower;
        lower.Init(xm, ym, xb, yb, lowerStart);
        // The long edge has stepped through the upper rows already; re-seat it exactly.
        longEdge.Init(xt, yt, xb, yb, lowerStart);
        walk(lower, lowerStart, rowEnd);
    }
}

bool RasterQuad(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d, uint32_t cullMode) {
    if (!a.valid || !b.valid || !c.valid || !d.valid) return false;
    const ScreenVertex* v[4] = {&a, &b, &c, &d};
    int64_t X[4], Y[4];
    for (int i = 0; i < 4; ++i) {
        X[i] = Snap256(v[i]->x);
        Y[i] = Snap256(v[i]->y);
    }
    if (X[3] != X[1] + X[2] - X[0] || Y[3] != Y[1] + Y[2] - Y[0]) return false;
    auto linear = [](float a0, float a1, float a2, float a3) {
        return std::fabs(double(a1) + a2 - a0 - a3) <= 1e-6 * (1.0 + std::fabs(a3));
    };
    if (!linear(a.u, b.u, c.u, d.u) || !linear(a.v, b.v, c.v, d.v)) return false;
    if (!(a.color == b.color && a.color == c.color && a.color == d.color)) {
        for (int k = 0; k < 4; ++k)
            if (Channel(b.color, k) + Channel(c.color, k) - Channel(a.color, k) != Channel(d.color, k)) return false;
    }
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0 || t.x0 >= t.x1 || t.y0 >= t.y1) return true;
    if ((cullMode == CullClockwise && area > 0) || (cullMode == CullCounterClockwise && area < 0)) return true;
    const double ex1 = double(X[1] - X[0]) / 256.0, ey1 = double(Y[1] - Y[0]) / 256.0;
    const double ex2 = double(X[2] - X[0]) / 256.0, ey2 = double(Y[2] - Y[0]) / 256.0;
    Setup s;
    if (!PrepareSetup(p, v, double(X[0]) / 256.0, double(Y[0]) / 256.0, ex1, ey1, ex2, ey2,
                      1.0 / (ex1 * ey2 - ex2 * ey1), s))
        return true;

    // An axis-aligned rectangle (a sprite drawn without rotation) covers the same rows and
    // columns on every row: no edges to step.
    const bool rectangle = (Y[0] == Y[1] && Y[2] == Y[3] && X[0] == X[2] && X[1] == X[3]) ||
                           (X[0] == X[1] && X[2] == X[3] && Y[0] == Y[2] && Y[1] == Y[3]);
    if (rectangle && !p.forceGeneric) {
        const int64_t xs = std::max<int64_t>(CeilDiv256(std::min(X[0], X[3])), t.x0);
        const int64_t xe = std::min<int64_t>(CeilDiv256(std::max(X[0], X[3])), t.x1);
        const int64_t ys = std::max<int64_t>(CeilDiv256(std::min(Y[0], Y[3])), t.y0);
        const int64_t ye = std::min<int64_t>(CeilDiv256(std::max(Y[0], Y[3])), t.y1);
        if (xs >= xe || ys >= ye) return true;
        // The clear still owed for these rows, written just before each is drawn (the
        // flat rows leave it to FillRows, which skips it under rows it writes whole).
        auto settleRows = [&](int64_t y, int rows) {
            if (!t.owed) return;
            for (int k = 0; k < rows; ++k)
                std::wmemset(reinterpret_cast<wchar_t*>(t.pixels + size_t(y + k) * t.pitch + size_t(xs)),
                             wchar_t(t.owed->colour), size_t(xe - xs));
        };
        if (t.owed) {
            t.owed->written = true;
            t.owed->x0 = int(xs);
            t.owed->y0 = int(ys);
            t.owed->x1 = int(xe);
            t.owed->y1 = int(ye);
        }
        // A picture drawn scaled over the clear (the display's letterbox): through the
        // target's kept picture, which draws again only what changed.
        if (t.owed && t.owed->kept && !s.gouraud && s.textured && !s.pointSpan && s.u.dy == 0 && ye - ys > 1 &&
            ScaledRows(s.span, int(xe - xs), s.du, s.dv)) {
            thread_local std::vector<int64_t> rowsV;
            const double fx = double(xs);
            const double ubase = s.u.a0 + s.u.dx * (fx - s.x0), vbase = s.v.a0 + s.v.dx * (fx - s.x0);
            rowsV.resize(size_t(ye - ys));
            for (int64_t y = ys; y < ye; ++y) rowsV[size_t(y - ys)] = SnapTexel(vbase + s.v.dy * (double(y) - s.y0));
            ScaledDraw d;
            d.texels = p.tex.texels;
            d.width = p.tex.width;
            d.height = p.tex.height;
            d.pitch = p.tex.pitch;
            d.u0 = SnapTexel(ubase + s.u.dy * (double(ys) - s.y0));
            d.du = s.du;
            d.v = rowsV.data();
            d.x0 = int(xs);
            d.y0 = int(ys);
            d.x1 = int(xe);
            d.y1 = int(ye);
            d.alphaMin = uint32_t(p.alphaMin);
            d.alphaOr = p.dstAlphaOr;
            d.fill = t.owed->colour;
            if (t.owed->kept->Draw(d, t.pixels, t.pitch, t.owed->keptHeld)) {
                t.owed->keptDrawn = true;
                return true;
            }
        }
        if (s.gouraud) {
            for (int64_t y = ys; y < ye; ++y) {
                settleRows(y, 1);
                EmitSpan(p, t, s, int(y), int(xs), int(xe));
            }
            return true;
        }
        // A flat colour: only the texel start changes from row to row.
        SpanStart st;
        st.color = s.flat;
        st.filter = s.filter;
        st.du = s.du;
        st.dv = s.dv;
        // The rows go to the span functions in batches, each row's texel start worked
        // out ahead.
        constexpr int kBatch = 64;
        int64_t us[kBatch], vs[kBatch];
        // Plane::At summed left to right: the part along the row is the same on every row.
        const double fx = double(xs);
        const double ubase = s.u.a0 + s.u.dx * (fx - s.x0), vbase = s.v.a0 + s.v.dx * (fx - s.x0);
        for (int64_t y = ys; y < ye; y += kBatch) {
            const int rows = int(std::min<int64_t>(kBatch, ye - y));
            for (int k = 0; k < rows; ++k) {
                if (s.textured) {
                    // A coordinate that does not change down the screen (dy exactly 0,
                    // as unrotated) comes out the same on every row.
                    const double fy = double(y + k) - s.y0;
                    if (k == 0 || s.u.dy != 0) st.u = SnapTexel(ubase + s.u.dy * fy);
                    if (k == 0 || s.v.dy != 0) st.v = SnapTexel(vbase + s.v.dy * fy);
                }
                us[k] = st.u;
                vs[k] = st.v;
            }
            // A sprite drawn 1:1 under bilinear filtering: every row on texel corners.
            SpanFn span = s.span;
            st.filter = s.filter;
            if (s.pointSpan) {
                bool corners = true;
                for (int k = 0; k < rows; ++k) corners &= OnTexelCorner(us[k], vs[k]);
                if (corners) {
                    span = s.pointSpan;
                    st.filter = SamplePoint;
                }
            }
            FillRows(p, span, t.pixels + size_t(y) * t.pitch + size_t(xs), t.pitch, int(xe - xs), rows, st, us, vs,
                     t.owed ? &t.owed->colour : nullptr);
        }
        return true;
    }
    if (t.owed) return false;  // drawn after the clear is settled

    // The outline a, b, d, c; with a positive area edges running down are on the right.
    struct Side {
        int64_t xa, ya, xb, yb, rowStart, rowEnd;
    };
    Side left[2], right[2];
    int nl = 0, nr = 0;
    const int ring[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
        const int from = ring[i], to = ring[(i + 1) % 4];
        if (Y[from] == Y[to]) continue;
        const bool down = Y[to] > Y[from];
        const int top = down ? from : to, bottom = down ? to : from;
        const Side e{X[top], Y[top], X[bottom], Y[bottom], CeilDiv(Y[top], 256), CeilDiv(Y[bottom], 256)};
        if (down == (area > 0)) {
            if (nr < 2) right[nr++] = e;
        } else if (nl < 2) {
            left[nl++] = e;
        }
    }
    if (nl == 0 || nr == 0) return true;
    auto byStart = [](Side* e, int n) {
        if (n == 2 && e[1].rowStart < e[0].rowStart) std::swap(e[0], e[1]);
    };
    byStart(left, nl);
    byStart(right, nr);
    const int64_t rowTop = std::max<int64_t>(std::min(left[0].rowStart, right[0].rowStart), t.y0);
    const int64_t rowEnd = std::min<int64_t>(std::max(left[nl - 1].rowEnd, right[nr - 1].rowEnd), t.y1);
    int li = -1, ri = -1;
    Edge le, re;
    // Moves to the side's edge that covers row y; false when none does.
    auto seat = [](Side* e, int n, int& i, Edge& edge, int64_t y) {
        int want = -1;
        for (int k = 0; k < n; ++k)
            if (e[k].rowStart <= y && y < e[k].rowEnd) want = k;
        if (want < 0) return false;
        if (want != i) {
            i = want;
            edge.Init(e[i].xa, e[i].ya, e[i].xb, e[i].yb, y);
        }
        return true;
    };
    for (int64_t y = rowTop; y < rowEnd; ++y) {
        const bool hasLeft = (li >= 0 && y < left[li].rowEnd) || seat(left, nl, li, le, y);
        const bool hasRight = (ri >= 0 && y < right[ri].rowEnd) || seat(right, nr, ri, re, y);
        if (hasLeft && hasRight) {
            const int64_t xs = std::max<int64_t>(le.Ceil(), t.x0);
            const int64_t xe = std::min<int64_t>(re.Ceil(), t.x1);
            if (xs < xe) EmitSpan(p, t, s, int(y), int(xs), int(xe));
        }
        if (hasLeft) le.Step();
        if (hasRight) re.Step();
    }
    return true;
}

void RasterLine(const PixelPipeline& p, const RasterTarget& t, const ScreenVertex& a,
                const ScreenVertex& b) {
    if (!a.valid || !b.valid) return;
    // Endpoints snap to 1/256 pixel like triangle vertices, so float error in the transform
    // cannot move an endpoint across a pixel boundary and drop the line's last pixel.
    auto snap = [](float c) { return double(Snap256(c)) / 256.0; };
    const double ax = snap(a.x), ay = snap(a.y);
    const double dx = snap(b.x) - ax, dy = snap(b.y) - ay;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double len = xMajor ? dx : dy;
    if (len == 0) return;
    const double start = xMajor ? ax : ay;
    // Pixel centres of the major axis from a's pixel up to b's pixel, b's left out.
    const int64_t first = std::llround(std::floor(start + 0.5));
    const int64_t last = std::llround(std::floor(start + len + 0.5));
    const int64_t step = last > first ? 1 : -1;

    const ScreenVertex* v[3] = {&a, &b, &a};
    Setup s;
    // A line's attributes run along its major axis only.
    const double ex1 = xMajor ? dx : 0, ey1 = xMajor ? 0 : dy;
    const double ex2 = xMajor ? 0 : 1, ey2 = xMajor ? 1 : 0;
    const double invDet = 1.0 / (ex1 * ey2 - ex2 * ey1);
    if (!PrepareSetup(p, v, ax, ay, ex1, ey1, ex2, ey2, invDet, s)) return;
    for (int64_t i = first; i != last; i += step) {
        const double tpar = (double(i) - start) / len;
        const double other = (xMajor ? ay + dy * tpar : ax + dx * tpar);
        const int64_t j = std::llround(std::floor(other + 0.5));
        const int64_t px = xMajor ? i : j, py = xMajor ? j : i;
        if (px < t.x0 || px >= t.x1 || py < t.y0 || py >= t.y1) continue;
        // Attributes at the point on the line, not at the pixel centre off it.
        Setup onLine = s;
        const double lx = xMajor ? double(i) : ax + dx * tpar, ly = xMajor ? ay + dy * tpar : double(i);
        onLine.x0 = s.x0 - (double(px) - lx);
        onLine.y0 = s.y0 - (double(py) - ly);
        EmitSpan(p, t, onLine, int(py), int(px), int(px) + 1);
    }
}

}  // namespace pf
