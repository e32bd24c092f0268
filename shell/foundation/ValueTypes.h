// Plain value types of the engine: Color, Point and Rect.
#pragma once

#include <cstdint>

namespace pf {

// Four 8-bit channels laid out r, g, b, a in memory.
struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;

    Color() = default;
    Color(int red, int green, int blue, int alpha = 255)
        : r(static_cast<uint8_t>(red)), g(static_cast<uint8_t>(green)),
          b(static_cast<uint8_t>(blue)), a(static_cast<uint8_t>(alpha)) {}

    int GetR() const { return r; }
    int GetG() const { return g; }
    int GetB() const { return b; }
    int GetA() const { return a; }
    void SetR(int v) { r = static_cast<uint8_t>(v); }
    void SetG(int v) { g = static_cast<uint8_t>(v); }
    void SetB(int v) { b = static_cast<uint8_t>(v); }
    void SetA(int v) { a = static_cast<uint8_t>(v); }

    // The bytes read as one little-endian value: r in the low byte, a in the high byte.
    uint32_t GetRGBA() const {
        return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(a) << 24;
    }
    // The display's packed form 0xAARRGGBB.
    uint32_t GetARGB() const {
        return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
    bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Color& o) const { return !(*this == o); }
};

struct Point {
    int x = 0, y = 0;

    Point() = default;
    Point(int px, int py) : x(px), y(py) {}

    Point& Set(int px, int py) { x = px; y = py; return *this; }
    Point& Move(int dx, int dy) { x += dx; y += dy; return *this; }
    Point& Add(const Point& p) { x += p.x; y += p.y; return *this; }
    Point& operator+=(const Point& p) { return Add(p); }
    Point& operator-=(const Point& p) { x -= p.x; y -= p.y; return *this; }
    Point operator-() const { return Point(-x, -y); }
    Point operator+(const Point& p) const { return Point(x + p.x, y + p.y); }
    Point operator-(const Point& p) const { return Point(x - p.x, y - p.y); }
    Point operator*(int k) const { return Point(x * k, y * k); }
    Point operator*(const Point& p) const { return Point(x * p.x, y * p.y); }
    // Division by zero leaves the coordinate unchanged instead of trapping; callers that
    // must report it (the script binding) test for a zero divisor first.
    Point operator/(const Point& p) const { return Point(p.x ? x / p.x : x, p.y ? y / p.y : y); }
    Point operator/(int k) const { return k ? Point(x / k, y / k) : *this; }
    bool operator==(const Point& p) const { return x == p.x && y == p.y; }
    bool operator!=(const Point& p) const { return !(*this == p); }
    // Strict: both distances below the tolerance.
    bool IsNear(const Point& o, int tolerance) const;
};

// An edge or size computed wide, brought back to the nearest int.
inline int SaturateToInt(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int>(v);
}

// Right and bottom edges are inclusive: right = x + width - 1. Edges and sizes that would
// leave the int range stop at its ends.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    Rect() = default;
    Rect(int px, int py, int w, int h) : x(px), y(py), width(w), height(h) {}
    Rect(const Point& pos, const Point& size) : x(pos.x), y(pos.y), width(size.x), height(size.y) {}

    void Copy(const Rect& o) { *this = o; }
    void Set(int px, int py, int w, int h) { x = px; y = py; width = w; height = h; }
    void SetX(int v) { x = v; }
    void SetY(int v) { y = v; }
    void SetWidth(int v) { width = v; }
    void SetHeight(int v) { height = v; }
    void SetPosition(int px, int py) { x = px; y = py; }
    void SetPosition(const Point& p) { x = p.x; y = p.y; }
    void SetSize(const Point& s) { width = s.x; height = s.y; }

    int GetLeft() const { return x; }
    int GetTop() const { return y; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetRight() const { return SaturateToInt(int64_t(x) + width - 1); }
    int GetBottom() const { return SaturateToInt(int64_t(y) + height - 1); }
    Point GetPosition() const { return Point(x, y); }
    Point GetSize() const { return Point(width, height); }
    Point GetTopLeft() const { return Point(x, y); }
    Point GetTopRight() const { return Point(GetRight(), y); }
    Point GetBottomLeft() const { return Point(x, GetBottom()); }
    Point GetBottomRight() const { return Point(GetRight(), GetBottom()); }

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool PointIn(const Point& p) const {
        return x <= p.x && p.x < int64_t(x) + width && y <= p.y && p.y < int64_t(y) + height;
    }
    void MoveRelative(const Point& p) {
        x = SaturateToInt(int64_t(x) + p.x);
        y = SaturateToInt(int64_t(y) + p.y);
    }
    void Resize(int dw, int dh) {
        width = SaturateToInt(int64_t(width) + dw);
        height = SaturateToInt(int64_t(height) + dh);
    }

    // Overlapping or edge-adjacent rectangles intersect.
    bool Intersects(const Rect& o) const;
    // The overlap must span at least two columns and two rows.
    bool Intersect(const Rect& o) const;
    // In place; may leave width or height <= 0.
    void Clip(const Rect& o);
    void Intersection(const Rect& o);
    void Union(const Rect& o);

    bool operator==(const Rect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

}  // namespace pf
