#include <gtest/gtest.h>

#include <cmath>

#include "shell/foundation/VectorMath.h"

using namespace pf;

namespace {

MatrixT FromRows(const float (&r)[4][4]) {
    return MatrixT(r[0][0], r[0][1], r[0][2], r[0][3], r[1][0], r[1][1], r[1][2], r[1][3], r[2][0], r[2][1],
                   r[2][2], r[2][3], r[3][0], r[3][1], r[3][2], r[3][3]);
}

void ExpectNear(const MatrixT& a, const MatrixT& b, float tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "at " << i << "," << j;
}

}  // namespace

TEST(Matrix, ProductAppliesLeftFirst) {
    // Scale then translate: the point is scaled before it moves.
    MatrixT m = MatrixT::MakeScaling(VectorT3(2, 2, 2)) * MatrixT::MakeTranslation(VectorT3(1, 2, 3));
    VectorT3 p = m.TransformVec3(VectorT3(1, 1, 1));
    EXPECT_EQ(p, VectorT3(3, 4, 5));
    MatrixT other = MatrixT::MakeTranslation(VectorT3(1, 2, 3)) * MatrixT::MakeScaling(VectorT3(2, 2, 2));
    EXPECT_EQ(other.TransformVec3(VectorT3(1, 1, 1)), VectorT3(4, 6, 8));

    MatrixT identity = MatrixT::MakeIdentity();
    EXPECT_EQ(identity * m, m);
    EXPECT_EQ(MatrixT::MakeTranslation(VectorT3(1, 2, 3)).TransformVec3(VectorT3(0, 0, 0)), VectorT3(1, 2, 3));

    MatrixT t = MatrixT::MakeIdentity();
    t.Scaling(VectorT3(2, 2, 2)).Translation(VectorT3(1, 2, 3));
    EXPECT_EQ(t, m);
}

TEST(Matrix, InverseMatchesExactValues) {
    // Expected values computed independently with exact rational arithmetic.
    struct Case { float m[4][4]; float inverse[4][4]; };
    const Case cases[] = {
        {{{2, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 8, 0}, {10, 20, 30, 1}},
         {{0.5f, 0, 0, 0}, {0, 0.25f, 0, 0}, {0, 0, 0.125f, 0}, {-5, -5, -3.75f, 1}}},
        {{{1, 2, 0, 0}, {3, 4, 1, 0}, {0, 1, 5, 2}, {7, -3, 2, 1}},
         {{0.0810810811f, 0.0540540541f, -0.0540540541f, 0.108108108f},
          {0.459459459f, -0.027027027f, 0.027027027f, -0.0540540541f},
          {-2.08108108f, 0.945945946f, 0.0540540541f, -0.108108108f},
          {4.97297297f, -2.35135135f, 0.351351351f, 0.297297297f}}},
        {{{0.5f, 0.25f, 0, 0}, {-0.25f, 0.5f, 0, 0}, {0, 0, 1, 0}, {100, -50, 3, 1}},
         {{1.6f, -0.8f, 0, 0}, {0.8f, 1.6f, 0, 0}, {0, 0, 1, 0}, {-120, 160, -3, 1}}},
    };
    for (const auto& c : cases) {
        MatrixT m = FromRows(c.m);
        ExpectNear(m.GetInverse(), FromRows(c.inverse), 1e-5f);
        ExpectNear(m * m.GetInverse(), MatrixT::MakeIdentity(), 1e-5f);
    }
    MatrixT s = MatrixT::MakeScaling(VectorT3(2, 2, 2));
    EXPECT_EQ(s.Inverse(), MatrixT::MakeScaling(VectorT3(0.5f, 0.5f, 0.5f)));
}

TEST(Matrix, NearSingularInverseIsIdentity) {
    // Determinant 0.00005: half the threshold.
    MatrixT m = MatrixT::MakeScaling(VectorT3(0.00005f, 1, 1));
    EXPECT_EQ(m.GetInverse(), MatrixT::MakeIdentity());
    MatrixT justAbove = MatrixT::MakeScaling(VectorT3(0.0002f, 1, 1));
    EXPECT_NEAR(justAbove.GetInverse().m[0][0], 5000.0f, 0.5f);
    MatrixT nan = MatrixT::MakeScaling(VectorT3(std::nanf(""), 1, 1));
    EXPECT_EQ(nan.GetInverse(), MatrixT::MakeIdentity());
}

TEST(Matrix, Rotations) {
    MatrixT rz;
    MatrixT::RotationZ(rz, static_cast<float>(M_PI / 2));
    VectorT3 p = rz.TransformVec3(VectorT3(1, 0, 0));
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);

    MatrixT rx;
    rx.RotationX(static_cast<float>(M_PI / 2));
    p = rx.TransformVec3(VectorT3(0, 1, 0));
    EXPECT_NEAR(p.z, 1, 1e-6);

    MatrixT ry;
    ry.RotationY(static_cast<float>(M_PI / 2));
    p = ry.TransformVec3(VectorT3(0, 0, 1));
    EXPECT_NEAR(p.x, 1, 1e-6);
}

TEST(Matrix, BuildSRTAndTranspose) {
    MatrixT m;
    VectorT3 t(4, 5, 6);
    m.BuildSRT(VectorT3(1, 1, 1), 0, t);
    EXPECT_EQ(m, MatrixT::MakeTranslation(t));
    m.BuildSRT(VectorT3(2, 3, 4), 0, t);
    EXPECT_EQ(m.TransformVec3(VectorT3(1, 1, 1)), VectorT3(6, 8, 10));

    MatrixT tr = MatrixT::MakeTranslation(t).GetTranspose();
    EXPECT_EQ(tr.m[0][3], 4);
    EXPECT_EQ(tr.m[2][3], 6);
    EXPECT_EQ(tr.Transpose(), MatrixT::MakeTranslation(t));
}

TEST(Vector, Operations) {
    VectorT3 v(5, -5, 0);
    v.Clamp(VectorT3(0, 0, 0), VectorT3(1, 1, 1));
    EXPECT_EQ(v, VectorT3(1, 0, 0));
    VectorT3 minWins(5, 5, 5);
    minWins.Clamp(VectorT3(3, 3, 3), VectorT3(1, 1, 1));
    EXPECT_EQ(minWins, VectorT3(3, 3, 3));

    VectorT3 a(3, 4, 12);
    EXPECT_FLOAT_EQ(a.Length(), 13);
    EXPECT_FLOAT_EQ(a.SqLength(), 169);
    EXPECT_FLOAT_EQ(VectorT3::Dot(a, VectorT3(1, 1, 1)), 19);
    a.Normalize();
    EXPECT_NEAR(a.Length(), 1, 1e-6);

    VectorT2 b(3, 4);
    EXPECT_FLOAT_EQ(b.length(), 5);
    EXPECT_EQ(b - VectorT2(1, 1), VectorT2(2, 3));
    EXPECT_EQ(b * 2, VectorT2(6, 8));
    b.normalize();
    EXPECT_NEAR(b.x, 0.6f, 1e-6);
}

TEST(Vector, TruncateToIntSaturates) {
    EXPECT_EQ(TruncateToInt(2.9), 2);
    EXPECT_EQ(TruncateToInt(-2.9), -2);
    EXPECT_EQ(TruncateToInt(3e9), 2147483647);
    EXPECT_EQ(TruncateToInt(-3e9), -2147483647 - 1);
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
    EXPECT_EQ(TruncateToInt(2147483647.0f), 2147483647);  // 2^31 as a float
}
