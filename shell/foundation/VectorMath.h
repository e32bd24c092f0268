// Float vectors and the 4x4 matrix. Row vectors, row-major storage: a point transforms
// as (x, y, z, 1) x M, translation sits in the last row, and A x B applies A first.
#pragma once

#include <cmath>

namespace pf {

// Float to int truncated toward zero, saturating at the int range (NaN gives 0): positions
// set by scripts may hold any float, and a plain cast of one out of range is undefined.
inline int TruncateToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

template <typename T>
struct Vector2 {
    T x = 0, y = 0;

    Vector2() = default;
    Vector2(T px, T py) : x(px), y(py) {}

    Vector2 operator+(const Vector2& o) const { return Vector2(x + o.x, y + o.y); }
    Vector2 operator-(const Vector2& o) const { return Vector2(x - o.x, y - o.y); }
    Vector2 operator*(T k) const { return Vector2(x * k, y * k); }
    Vector2 operator/(T k) const { return Vector2(x / k, y / k); }
    Vector2& operator+=(const Vector2& o) { x += o.x; y += o.y; return *this; }
    Vector2& operator-=(const Vector2& o) { x -= o.x; y -= o.y; return *this; }
    Vector2& operator*=(T k) { x *= k; y *= k; return *this; }
    Vector2& operator/=(T k) { x /= k; y /= k; return *this; }
    bool operator==(const Vector2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Vector2& o) const { return !(*this == o); }

    T length() const { return std::sqrt(x * x + y * y); }
    // No check for a zero length.
    Vector2& normalize() { return *this *= T(1) / length(); }
};

template <typename T>
struct Vector3 {
    T x = 0, y = 0, z = 0;

    Vector3() = default;
    Vector3(T px, T py, T pz) : x(px), y(py), z(pz) {}

    void SetNull() { x = y = z = 0; }
    Vector3 operator+(const Vector3& o) const { return Vector3(x + o.x, y + o.y, z + o.z); }
    Vector3 operator-(const Vector3& o) const { return Vector3(x - o.x, y - o.y, z - o.z); }
    Vector3 operator-() const { return Vector3(-x, -y, -z); }
    Vector3 operator*(T k) const { return Vector3(x * k, y * k, z * k); }
    Vector3 operator/(T k) const { return Vector3(x / k, y / k, z / k); }
    Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3& operator*=(T k) { x *= k; y *= k; z *= k; return *this; }
    Vector3& operator/=(T k) { x /= k; y /= k; z /= k; return *this; }
    bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Vector3& o) const { return !(*this == o); }

    static T Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    T Dot(const Vector3& b) const { return Dot(*this, b); }
    T SqLength() const { return x * x + y * y + z * z; }
    T Length() const { return std::sqrt(SqLength()); }
    // No check for a zero length.
    Vector3& Normalize() { return *this *= T(1) / Length(); }
    // Per component: lowered to max, then raised to min (min wins when min > max).
    Vector3& Clamp(const Vector3& lo, const Vector3& hi) {
        T* c[3] = {&x, &y, &z};
        const T l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
        for (int i = 0; i < 3; ++i) {
            if (*c[i] > h[i]) *c[i] = h[i];
            if (*c[i] < l[i]) *c[i] = l[i];
        }
        return *this;
    }
};

using VectorT2 = Vector2<float>;
using VectorT3 = Vector3<float>;

struct MatrixT {
    float m[4][4];

    // The sixteen values are left unset, as the engine initialises with Identity.
    MatrixT() = default;
    MatrixT(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
            float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33);

    MatrixT& Identity();
    static MatrixT MakeIdentity();
    MatrixT operator*(const MatrixT& o) const;
    bool operator==(const MatrixT& o) const;
    bool operator!=(const MatrixT& o) const { return !(*this == o); }

    static MatrixT MakeTranslation(const VectorT3& v);
    static MatrixT MakeScaling(const VectorT3& v);
    MatrixT& Translation(const VectorT3& v);
    MatrixT& Scaling(const VectorT3& v);
    MatrixT& RotationX(float angle);
    MatrixT& RotationY(float angle);
    static MatrixT& RotationZ(MatrixT& out, float angle);
    MatrixT& RotationZ(float angle) { return RotationZ(*this, angle); }
    // General inverse; a determinant below 1e-4 in magnitude gives the identity.
    MatrixT& Inverse();
    MatrixT GetInverse() const;
    MatrixT& Transpose();
    MatrixT GetTranspose() const;
    // Scaling x RotationY(angle) x Translation.
    MatrixT& BuildSRT(const VectorT3& scale, float angle, const VectorT3& translation);
    // (x, y, z, 1) x M, first three components; no division by w.
    VectorT3 TransformVec3(const VectorT3& v) const;
};

}  // namespace pf
