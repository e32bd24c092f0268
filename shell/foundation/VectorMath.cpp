#include "shell/foundation/VectorMath.h"

#include <cstring>

namespace pf {

MatrixT::MatrixT(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
                 float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
    : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}} {}

MatrixT& MatrixT::Identity() {
    std::memset(m, 0, sizeof m);
    m[0][0] = m[1][1] = m[2][2] = m[3][3] = 1.0f;
    return *this;
}

MatrixT MatrixT::MakeIdentity() {
    MatrixT r;
    return r.Identity();
}

MatrixT MatrixT::operator*(const MatrixT& o) const {
    MatrixT out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j] + m[i][3] * o.m[3][j];
        }
    }
    return out;
}

bool MatrixT::operator==(const MatrixT& o) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m[i][j] != o.m[i][j]) return false;
    return true;
}

MatrixT MatrixT::MakeTranslation(const VectorT3& v) {
    MatrixT r = MakeIdentity();
    r.m[3][0] = v.x;
    r.m[3][1] = v.y;
    r.m[3][2] = v.z;
    return r;
}

MatrixT MatrixT::MakeScaling(const VectorT3& v) {
    MatrixT r;
    std::memset(r.m, 0, sizeof r.m);
    r.m[0][0] = v.x;
    r.m[1][1] = v.y;
    r.m[2][2] = v.z;
    r.m[3][3] = 1.0f;
    return r;
}

MatrixT& MatrixT::Translation(const VectorT3& v) { return *this = *this * MakeTranslation(v); }

MatrixT& MatrixT::Scaling(const VectorT3& v) { return *this = *this * MakeScaling(v); }

MatrixT& MatrixT::RotationX(float angle) {
    std::memset(m, 0, sizeof m);
    const float c = std::cos(angle), s = std::sin(angle);
    m[0][0] = m[3][3] = 1.0f;
    m[1][1] = c;
    m[1][2] = s;
    m[2][1] = -s;
    m[2][2] = c;
    return *this;
}

MatrixT& MatrixT::RotationY(float angle) {
    std::memset(m, 0, sizeof m);
    const float c = std::cos(angle), s = std::sin(angle);
    m[1][1] = m[3][3] = 1.0f;
    m[0][0] = c;
    m[0][2] = -s;
    m[2][0] = s;
    m[2][2] = c;
    return *this;
}

MatrixT& MatrixT::RotationZ(MatrixT& out, float angle) {
    std::memset(out.m, 0, sizeof out.m);
    const float c = std::cos(angle), s = std::sin(angle);
    out.m[2][2] = out.m[3][3] = 1.0f;
    out.m[0][0] = c;
    out.m[0][1] = s;
    out.m[1][0] = -s;
    out.m[1][1] = c;
    return out;
}

MatrixT& MatrixT::Inverse() {
    // Adjugate over the 2x2 minors of the top and bottom row pairs, in double precision.
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = m[i / 4][i % 4];
    const double s0 = a[0] * a[5] - a[4] * a[1];
    const double s1 = a[0] * a[6] - a[4] * a[2];
    const double s2 = a[0] * a[7] - a[4] * a[3];
    const double s3 = a[1] * a[6] - a[5] * a[2];
    const double s4 = a[1] * a[7] - a[5] * a[3];
    const double s5 = a[2] * a[7] - a[6] * a[3];
    const double c5 = a[10] * a[15] - a[14] * a[11];
    const double c4 = a[9] * a[15] - a[13] * a[11];
    const double c3 = a[9] * a[14] - a[13] * a[10];
    const double c2 = a[8] * a[15] - a[12] * a[11];
    const double c1 = a[8] * a[14] - a[12] * a[10];
    const double c0 = a[8] * a[13] - a[12] * a[9];
    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (!(std::fabs(det) >= 1e-4)) {
        return Identity();
    }
    const double k = 1.0 / det;
    const double r[16] = {
        (a[5] * c5 - a[6] * c4 + a[7] * c3) * k,   (-a[1] * c5 + a[2] * c4 - a[3] * c3) * k,
        (a[13] * s5 - a[14] * s4 + a[15] * s3) * k, (-a[9] * s5 + a[10] * s4 - a[11] * s3) * k,
        (-a[4] * c5 + a[6] * c2 - a[7] * c1) * k,  (a[0] * c5 - a[2] * c2 + a[3] * c1) * k,
        (-a[12] * s5 + a[14] * s2 - a[15] * s1) * k, (a[8] * s5 - a[10] * s2 + a[11] * s1) * k,
        (a[4] * c4 - a[5] * c2 + a[7] * c0) * k,   (-a[0] * c4 + a[1] * c2 - a[3] * c0) * k,
        (a[12] * s4 - a[13] * s2 + a[15] * s0) * k, (-a[8] * s4 + a[9] * s2 - a[11] * s0) * k,
        (-a[4] * c3 + a[5] * c1 - a[6] * c0) * k,  (a[0] * c3 - a[1] * c1 + a[2] * c0) * k,
        (-a[12] * s3 + a[13] * s1 - a[14] * s0) * k, (a[8] * s3 - a[9] * s1 + a[10] * s0) * k,
    };
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = static_cast<float>(r[i]);
    return *this;
}

MatrixT MatrixT::GetInverse() const {
    MatrixT copy = *this;
    return copy.Inverse();
}

MatrixT& MatrixT::Transpose() {
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) std::swap(m[i][j], m[j][i]);
    return *this;
}

MatrixT MatrixT::GetTranspose() const {
    MatrixT copy = *this;
    return copy.Transpose();
}

MatrixT& MatrixT::BuildSRT(const VectorT3& scale, float angle, const VectorT3& translation) {
    MatrixT rotation;
    rotation.RotationY(angle);
    return *this = MakeScaling(scale) * rotation * MakeTranslation(translation);
}

VectorT3 MatrixT::TransformVec3(const VectorT3& v) const {
    return VectorT3(v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + m[3][0],
                    v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + m[3][1],
                    v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + m[3][2]);
}

}  // namespace pf
