#include "kernel/base/Maths.h"

#include "kernel/base/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

// Expected values are worked out here in double precision straight from the
// formulas; a result must be the float nearest to them, give or take the
// rounding of float intermediates (a few units in the last place).

namespace {

constexpr double kPi = std::numbers::pi;

::testing::AssertionResult CloseToFloat(const char* actualExpr, const char* expectedExpr, float actual,
                                        double expected) {
    const double tolerance = std::max(std::fabs(expected) * 4.0 * 1.1920929e-7, 2e-6);
    if (std::fabs(static_cast<double>(actual) - expected) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actualExpr << " = " << actual << ", expected " << expectedExpr << " = "
                                         << expected;
}

#define EXPECT_F(actual, expected) EXPECT_PRED_FORMAT2(CloseToFloat, actual, expected)

struct V3d {
    double x, y, z;
};

void ExpectVec(const Vector3& v, V3d e) {
    EXPECT_F(v.x, e.x);
    EXPECT_F(v.y, e.y);
    EXPECT_F(v.z, e.z);
}

void ExpectVecExact(const Vector3& v, const Vector3& e) {
    EXPECT_EQ(v.x, e.x);
    EXPECT_EQ(v.y, e.y);
    EXPECT_EQ(v.z, e.z);
}

void ExpectMatrix(const Matrix& m, const double e[4][4]) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_F(m.m[r][c], e[r][c]) << "at " << r << "," << c;
    }
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_F(a.m[r][c], b.m[r][c]) << "at " << r << "," << c;
    }
}

void ToDouble(const Matrix& m, double out[4][4]) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out[r][c] = m.m[r][c];
    }
}

void MultiplyD(const double a[4][4], const double b[4][4], double out[4][4]) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[r][c] = 0.0;
            for (int k = 0; k < 4; ++k) out[r][c] += a[r][k] * b[k][c];
        }
    }
}

Matrix Sample(float seed) {
    Matrix m;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            // Not linear in r and c, so the matrix has full rank.
            const float phase = static_cast<float>(r * r * 3 + c * c * 2 + r * c) * 0.9f;
            m.m[r][c] = std::sin(seed * 1.7f + phase) * 3.0f;
        }
    }
    return m;
}

Quaternion Unit(float x, float y, float z, float w) {
    Quaternion q{x, y, z, w};
    Quat_Normalize(&q, q);
    return q;
}

// --- Vectors -----------------------------------------------------------------

struct NormalizeCase {
    Vector3 in;
    bool changes;
};

class Normalize : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(Normalize, DividesByTheLengthOnlyWithinTheThresholds) {
    const Vector3 v = GetParam().in;
    Vector3 out;
    Vec3_Normalize(&out, v);
    if (!GetParam().changes) {
        ExpectVecExact(out, v);
        return;
    }
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    ExpectVec(out, {v.x / length, v.y / length, v.z / length});
}

INSTANTIATE_TEST_SUITE_P(Maths, Normalize,
                         ::testing::Values(NormalizeCase{{0, 0, 0}, false}, NormalizeCase{{1e15f, 0, 0}, false},
                                           NormalizeCase{{1e-13f, 0, 0}, false}, NormalizeCase{{1e14f, 0, 0}, true},
                                           NormalizeCase{{3, -4, 12}, true}, NormalizeCase{{1e-6f, 2e-6f, 0}, true},
                                           NormalizeCase{{-7, 0.5f, 1e5f}, true}));

TEST(Maths, VectorProductsAndMembers) {
    const Vector3 a(1.5f, -2.0f, 3.25f), b(-4.0f, 0.5f, 2.0f);
    Vector3 out;
    Vec3_Cross(&out, a, b);
    ExpectVecExact(out, Vector3(-2.0f * 2.0f - 3.25f * 0.5f, 3.25f * -4.0f - 1.5f * 2.0f, 1.5f * 0.5f - -2.0f * -4.0f));
    // Left-handed: X cross Y is Z.
    Vec3_Cross(&out, Vector3(1, 0, 0), Vector3(0, 1, 0));
    ExpectVecExact(out, Vector3(0, 0, 1));
    Vector3 alias = a;
    Vec3_Cross(&alias, alias, b);
    Vec3_Cross(&out, a, b);
    ExpectVecExact(alias, out);

    EXPECT_EQ(Vec3_Dot(a, b), 1.5f * -4.0f + -2.0f * 0.5f + 3.25f * 2.0f);
    EXPECT_EQ(Vec3_LengthSq(Vector3(3, 4, 12)), 169.0f);
    EXPECT_EQ(Vec3_Length(Vector3(3, 4, 12)), 13.0f);

    Vec3_Minimize(&out, a, b);
    ExpectVecExact(out, Vector3(-4.0f, -2.0f, 2.0f));
    Vec3_Maximize(&out, a, b);
    ExpectVecExact(out, Vector3(1.5f, 0.5f, 3.25f));
    Vec3_Lerp(&out, a, b, 0.25f);
    ExpectVecExact(out, Vector3(1.5f + -5.5f * 0.25f, -2.0f + 2.5f * 0.25f, 3.25f + -1.25f * 0.25f));
    Vector4 v4;
    Vec4_Lerp(&v4, Vector4{0, 1, 2, 3}, Vector4{4, 5, 6, 8}, 0.5f);
    EXPECT_EQ(v4.x, 2.0f);
    EXPECT_EQ(v4.w, 5.5f);

    Vector3 sum = a;
    sum += b;
    ExpectVecExact(sum, Vector3(-2.5f, -1.5f, 5.25f));
    ExpectVecExact(a - b, Vector3(5.5f, -2.5f, 1.25f));
    ExpectVecExact(a * 2.0f, Vector3(3.0f, -4.0f, 6.5f));
    ExpectVecExact(2.0f * a, a * 2.0f);
    Vector3 div(1.0f, 2.0f, 3.0f);
    div /= 3.0f;
    const float r = 1.0f / 3.0f;
    ExpectVecExact(div, Vector3(1.0f * r, 2.0f * r, 3.0f * r));
}

TEST(Maths, TransformsUseRowVectorsAndTheFourthRow) {
    const Matrix m = Sample(0.3f);
    const Vector3 v(2.0f, -1.0f, 0.5f);
    double e[3], n[3];
    for (int c = 0; c < 3; ++c) {
        n[c] = v.x * double(m.m[0][c]) + v.y * double(m.m[1][c]) + v.z * double(m.m[2][c]);
        e[c] = n[c] + m.m[3][c];
    }
    Vector3 out;
    Vec3_TransformPoint(&out, v, m);
    ExpectVec(out, {e[0], e[1], e[2]});
    Vec3_TransformNormal(&out, v, m);
    ExpectVec(out, {n[0], n[1], n[2]});
    Vector3 alias = v;
    Vec3_TransformPoint(&alias, alias, m);
    ExpectVec(alias, {e[0], e[1], e[2]});

    Matrix3 m3;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m3.m[r][c] = m.m[r][c];
    }
    Vec3_TransformMat3(&out, v, m3);
    ExpectVec(out, {n[0], n[1], n[2]});

    Matrix t;
    Mat4_Translation(&t, 10.0f, 20.0f, 30.0f);
    Vec3_TransformPoint(&out, Vector3(1, 2, 3), t);
    ExpectVecExact(out, Vector3(11, 22, 33));
    Vec3_TransformNormal(&out, Vector3(1, 2, 3), t);
    ExpectVecExact(out, Vector3(1, 2, 3));
}

TEST(Maths, DecomposeAndClipAgainstPlane) {
    const Vector3 n(0, 1, 0);
    Vector3 parallel, perpendicular;
    Vec3_Decompose(Vector3(3, -2, 5), n, &parallel, &perpendicular);
    ExpectVecExact(parallel, Vector3(0, -2, 0));
    ExpectVecExact(perpendicular, Vector3(3, 0, 5));
    Vec3_Decompose(Vector3(3, -2, 5), n, nullptr, &perpendicular);
    ExpectVecExact(perpendicular, Vector3(3, 0, 5));

    Vector3 out;
    Vec3_ClipAgainstPlane(&out, Vector3(1, 2, 3), n, &parallel);
    ExpectVecExact(out, Vector3(1, 2, 3));
    ExpectVecExact(parallel, Vector3(0, 0, 0));
    Vec3_ClipAgainstPlane(&out, Vector3(1, -2, 3), n, &parallel);
    ExpectVecExact(out, Vector3(1, 0, 3));
    ExpectVecExact(parallel, Vector3(0, -2, 0));
    Vector3 v(1, -2, 3);
    Vec3_ClipAgainstPlane(&v, v, n, nullptr);
    ExpectVecExact(v, Vector3(1, 0, 3));

    // An oblique unit normal: the clipped vector lies in the plane.
    Vector3 tilted;
    Vec3_Normalize(&tilted, Vector3(1, 1, 0));
    Vec3_ClipAgainstPlane(&out, Vector3(-2, 0, 1), tilted, &parallel);
    EXPECT_NEAR(Vec3_Dot(out, tilted), 0.0f, 1e-6f);
    ExpectVec(out, {-1.0, 1.0, 1.0});
    ExpectVec(parallel, {-1.0, -1.0, 0.0});
}

struct AngleCase {
    Vector3 v;
    double yaw;
    double heading;
    double pitch;
};

class Angles : public ::testing::TestWithParam<AngleCase> {};

TEST_P(Angles, YawHeadingAndPitch) {
    const AngleCase& c = GetParam();
    EXPECT_F(Vec3_GetYaw(c.v), c.yaw);
    EXPECT_F(Vec3_GetHeading(c.v), c.heading);
    EXPECT_F(Vec3_GetPitch(c.v), c.pitch);
}

INSTANTIATE_TEST_SUITE_P(
    Maths, Angles,
    ::testing::Values(AngleCase{{1, 0, 0}, kPi / 2, kPi / 2, 0.0}, AngleCase{{-1, 0, 0}, -kPi / 2, -kPi / 2, 0.0},
                      AngleCase{{0, 5, 0}, 0.0, kPi / 2, kPi / 2}, AngleCase{{0, -5, 0}, 0.0, kPi / 2, -kPi / 2},
                      AngleCase{{0, 0, 1}, 0.0, 0.0, 0.0}, AngleCase{{0, 0, -2}, kPi, kPi, 0.0},
                      AngleCase{{3, 0, 3}, kPi / 4, kPi / 4, 0.0},
                      AngleCase{{-1, 1, -1}, -3 * kPi / 4, -3 * kPi / 4, std::asin(1 / std::sqrt(3.0))},
                      AngleCase{{1e-13f, 0, 0}, 0.0, kPi / 2, 0.0},
                      // Beyond the thresholds the yaw is 0; the heading takes the
                      // vector as it is and stays a finite angle.
                      AngleCase{{0, 0, 1e15f}, 0.0, 0.0, 0.0}, AngleCase{{0, 0, -1e15f}, 0.0, kPi, 0.0},
                      AngleCase{{0, 1e15f, 0}, 0.0, kPi / 2, kPi / 2}));

TEST(Maths, AnglesBetweenPointsAndRotate2D) {
    EXPECT_F(Vec3_YawBetween(Vector3(5, 0, 2), Vector3(4, 7, 2)), kPi / 2);
    EXPECT_F(Vec3_PitchBetween(Vector3(0, 3, 1), Vector3(0, 2, 0)), kPi / 4);
    float x = 2.0f, y = 1.0f;
    const float angle = 0.7f;
    Math_Rotate2D(&x, &y, angle);
    EXPECT_F(x, 2.0 * std::cos(0.7) + 1.0 * std::sin(0.7));
    EXPECT_F(y, 1.0 * std::cos(0.7) - 2.0 * std::sin(0.7));
}

// --- Matrices ----------------------------------------------------------------

TEST(Maths, BasicMatrices) {
    Matrix m;
    Mat4_Scaling(&m, 2, 3, 4);
    const double scaling[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}};
    ExpectMatrix(m, scaling);
    Mat4_Translation(&m, 5, 6, 7);
    const double translation[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}};
    ExpectMatrix(m, translation);

    const double a = 0.6, c = std::cos(a), s = std::sin(a);
    Mat4_RotationX(&m, 0.6f);
    const double rx[4][4] = {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}};
    ExpectMatrix(m, rx);
    Mat4_RotationY(&m, 0.6f);
    const double ry[4][4] = {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}};
    ExpectMatrix(m, ry);
    Mat4_RotationZ(&m, 0.6f);
    const double rz[4][4] = {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    ExpectMatrix(m, rz);

    // A positive yaw turns +Z toward +X.
    Vector3 out;
    Mat4_RotationY(&m, static_cast<float>(kPi / 2));
    Vec3_TransformNormal(&out, Vector3(0, 0, 1), m);
    ExpectVec(out, {1, 0, 0});
    Mat4_GetAxisZ(&out, m);
    ExpectVec(out, {1, 0, 0});
}

TEST(Maths, MultiplyAppliesTheLeftMatrixFirst) {
    const Matrix a = Sample(1.0f), b = Sample(2.0f);
    double da[4][4], db[4][4], e[4][4];
    ToDouble(a, da);
    ToDouble(b, db);
    MultiplyD(da, db, e);
    Matrix out;
    Mat4_Multiply(&out, a, b);
    ExpectMatrix(out, e);
    Matrix alias = a;
    Mat4_Multiply(&alias, alias, b);
    ExpectMatrix(alias, e);
    alias = b;
    Mat4_Multiply(&alias, a, alias);
    ExpectMatrix(alias, e);

    // Scale then translate: the translation is not scaled.
    Matrix s, t;
    Mat4_Scaling(&s, 2, 2, 2);
    Mat4_Translation(&t, 1, 0, 0);
    Mat4_Multiply(&out, s, t);
    Vector3 p;
    Vec3_TransformPoint(&p, Vector3(1, 1, 1), out);
    ExpectVecExact(p, Vector3(3, 2, 2));
}

class YawPitchRoll : public ::testing::TestWithParam<std::tuple<float, float, float>> {};

TEST_P(YawPitchRoll, MatrixQuaternionAndComposition) {
    const auto [yaw, pitch, roll] = GetParam();
    Matrix ypr, z, x, y;
    Mat4_RotationYawPitchRoll(&ypr, yaw, pitch, roll);
    Mat4_RotationZ(&z, roll);
    Mat4_RotationX(&x, pitch);
    Mat4_RotationY(&y, yaw);
    double dz[4][4], dx[4][4], dy[4][4], dzx[4][4], e[4][4];
    ToDouble(z, dz);
    ToDouble(x, dx);
    ToDouble(y, dy);
    MultiplyD(dz, dx, dzx);
    MultiplyD(dzx, dy, e);
    ExpectMatrix(ypr, e);

    Quaternion q;
    Quat_FromYawPitchRoll(&q, yaw, pitch, roll);
    Matrix fromQ;
    Mat4_FromQuaternion(&fromQ, q);
    ExpectMatrixNear(fromQ, ypr);

    // Quaternion product order matches the matrix product order.
    Quaternion qa, qb, qab;
    Quat_FromYawPitchRoll(&qa, yaw, 0.0f, 0.0f);
    Quat_FromYawPitchRoll(&qb, 0.0f, pitch, roll);
    Quat_Multiply(&qab, qa, qb);
    Matrix ma, mb, mab, fromQab;
    Mat4_FromQuaternion(&ma, qa);
    Mat4_FromQuaternion(&mb, qb);
    Mat4_Multiply(&mab, ma, mb);
    Mat4_FromQuaternion(&fromQab, qab);
    ExpectMatrixNear(fromQab, mab);
}

INSTANTIATE_TEST_SUITE_P(Maths, YawPitchRoll,
                         ::testing::Values(std::make_tuple(0.0f, 0.0f, 0.0f), std::make_tuple(0.8f, 0.0f, 0.0f),
                                           std::make_tuple(0.0f, -0.4f, 0.0f), std::make_tuple(0.0f, 0.0f, 2.5f),
                                           std::make_tuple(1.2f, -0.3f, 0.7f), std::make_tuple(-2.9f, 1.4f, -3.0f)));

TEST(Maths, YawAloneIsRotationY) {
    for (float yaw : {-3.0f, -1.0f, 0.25f, 2.0f}) {
        Matrix a, b;
        Mat4_RotationYawPitchRoll(&a, yaw, 0.0f, 0.0f);
        Mat4_RotationY(&b, yaw);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) EXPECT_EQ(a.m[r][c], b.m[r][c]);
        }
    }
}

TEST(Maths, FromQuaternionFormula) {
    const Quaternion q{0.1f, -0.7f, 0.3f, 0.5f};
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    const double e[4][4] = {{x * x - y * y - z * z + w * w, 2 * (x * y + z * w), 2 * (x * z - y * w), 0},
                            {2 * (x * y - z * w), y * y - x * x - z * z + w * w, 2 * (y * z + x * w), 0},
                            {2 * (x * z + y * w), 2 * (y * z - x * w), z * z - x * x - y * y + w * w, 0},
                            {0, 0, 0, 1}};
    Matrix m;
    Mat4_FromQuaternion(&m, q);
    ExpectMatrix(m, e);
}

class Inverse : public ::testing::TestWithParam<float> {};

TEST_P(Inverse, AdjugateOverDeterminant) {
    Matrix m = Sample(GetParam());
    m.m[0][3] = m.m[1][3] = m.m[2][3] = 0.0f;
    m.m[3][3] = 1.0f;
    double d[4][4];
    ToDouble(m, d);
    Matrix inv;
    ASSERT_EQ(Mat4_Inverse(&inv, m), &inv);
    double di[4][4], product[4][4];
    ToDouble(inv, di);
    MultiplyD(d, di, product);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product[r][c], r == c ? 1.0 : 0.0, 2e-5) << r << "," << c;
    }
    Matrix alias = m;
    Mat4_Inverse(&alias, alias);
    ExpectMatrixNear(alias, inv);

    // The adjugate is the inverse times the determinant.
    const double det = d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) -
                       d[0][1] * (d[1][0] * d[2][2] - d[1][2] * d[2][0]) +
                       d[0][2] * (d[1][0] * d[2][1] - d[1][1] * d[2][0]);
    Matrix adj = m;
    Mat4_Adjoint(&adj);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(adj.m[r][c], inv.m[r][c] * det, 1e-4 * std::max(1.0, std::fabs(det)));
    }
}

INSTANTIATE_TEST_SUITE_P(Maths, Inverse, ::testing::Values(0.1f, 0.9f, 1.7f, 2.3f, 4.0f));

TEST(Maths, InverseOfANearlySingularMatrixFails) {
    Matrix m;
    Mat4_Scaling(&m, 1e-2f, 1e-2f, 1e-2f);  // determinant 1e-6
    m.m[3][0] = 4.0f;
    Matrix out = Sample(0.0f);
    EXPECT_EQ(Mat4_Inverse(&out, m), nullptr);
    EXPECT_EQ(std::memcmp(&out, &m, sizeof(Matrix)), 0);

    Mat4_Scaling(&m, 1e-1f, 1e-1f, 1.1e-3f);  // determinant 1.1e-5
    EXPECT_EQ(Mat4_Inverse(&out, m), &out);
    EXPECT_F(out.m[2][2], 1.0 / 1.1e-3f);

    Matrix3 m3 = {{{1, 2, 3}, {2, 4, 6}, {0, 1, 1}}};
    Matrix3 out3;
    Mat3_Inverse(&out3, m3);
    EXPECT_EQ(std::memcmp(&out3, &m3, sizeof(Matrix3)), 0);
    m3 = {{{2, 0, 0}, {0, 4, 0}, {1, 0, 1}}};
    Mat3_Inverse(&out3, m3);
    const Matrix3 expected = {{{0.5f, 0, 0}, {0, 0.25f, 0}, {-0.5f, 0, 1}}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out3.m[r][c], expected.m[r][c]);
    }
}

TEST(Maths, LookAtAndPerspective) {
    const Vector3 eye(1, 2, -5), target(4, 2, -1), up(0, 1, 0);
    Matrix view;
    Mat4_LookAt(&view, eye, target, up);
    Vector3 p;
    Vec3_TransformPoint(&p, eye, view);
    ExpectVec(p, {0, 0, 0});
    Vec3_TransformPoint(&p, target, view);
    ExpectVec(p, {0, 0, 5});  // the target lies ahead on +Z at its distance
    Vec3_TransformPoint(&p, Vector3(1, 3, -5), view);
    ExpectVec(p, {0, 1, 0});
    // Left-handed: looking along +Z from the origin, +X stays to the right.
    Mat4_LookAt(&view, Vector3(0, 0, 0), Vector3(0, 0, 1), up);
    Vec3_TransformPoint(&p, Vector3(2, 0, 0), view);
    ExpectVec(p, {2, 0, 0});

    Matrix proj;
    Mat4_PerspectiveFov(&proj, 1.2f, 4.0f / 3.0f, 1.5f, 35000.0f);
    const double c = 1.0 / std::tan(0.6), n = 1.5, f = 35000.0;
    const double e[4][4] = {
        {c / (4.0 / 3.0), 0, 0, 0}, {0, c, 0, 0}, {0, 0, f / (f - n), 1}, {0, 0, -n * f / (f - n), 0}};
    ExpectMatrix(proj, e);
}

TEST(Maths, DirectionUpBasis) {
    Matrix3 m;
    Mat3_FromDirectionUp(&m, Vector3(0, 0, 2), Vector3(0, 1, 0));
    const Matrix3 e = {{{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_F(m.m[r][c], e.m[r][c]);
    }
}

// --- Quaternions -------------------------------------------------------------

TEST(Maths, QuaternionBasics) {
    Quaternion q;
    Quat_Identity(&q);
    EXPECT_EQ(q.w, 1.0f);
    EXPECT_EQ(q.x, 0.0f);

    Quat_Inverse(&q, Quaternion{1, 2, 2, 4});
    EXPECT_F(q.x, -1.0 / 25);
    EXPECT_F(q.y, -2.0 / 25);
    EXPECT_F(q.w, 4.0 / 25);
    Quat_Normalize(&q, Quaternion{1, 2, 2, 4});
    EXPECT_F(q.x, 0.2);
    EXPECT_F(q.w, 0.8);

    const Quaternion a{0.1f, 0.2f, 0.3f, 0.9f}, b{-0.5f, 0.4f, 0.2f, 0.7f};
    Quat_Multiply(&q, a, b);
    const double ax = a.x, ay = a.y, az = a.z, aw = a.w, bx = b.x, by = b.y, bz = b.z, bw = b.w;
    EXPECT_F(q.x, ax * bw + aw * bx + az * by - ay * bz);
    EXPECT_F(q.y, ay * bw + aw * by + ax * bz - az * bx);
    EXPECT_F(q.z, az * bw + aw * bz + ay * bx - ax * by);
    EXPECT_F(q.w, aw * bw - ax * bx - ay * by - az * bz);

    Quat_FromAxisAngle(&q, Vector3(0, 3, 0), 1.0f);
    EXPECT_F(q.y, std::sin(0.5));
    EXPECT_F(q.w, std::cos(0.5));
    EXPECT_EQ(q.x, 0.0f);
    Quat_FromAxisAngle(&q, Vector3(1e-10f, 0, 0), 1.0f);  // too short: the X axis
    EXPECT_F(q.x, std::sin(0.5));

    Vector3 axis;
    float angle;
    Quat_ToAxisAngle(Quaternion{0, 0, 2 * static_cast<float>(std::sin(0.4)), 2 * static_cast<float>(std::cos(0.4))},
                     &axis, &angle);
    EXPECT_F(angle, 0.8);
    ExpectVec(axis, {0, 0, 1});
    Quat_ToAxisAngle(Quaternion{0.25f, 0.5f, 0, 1}, &axis, &angle);  // normalised first
    ExpectVec(axis, {1 / std::sqrt(5.0), 2 / std::sqrt(5.0), 0});
    Quat_ToAxisAngle(Quaternion{0, 0, 0, 1}, &axis, &angle);
    ExpectVecExact(axis, Vector3(0, 0, 0));
    EXPECT_EQ(angle, 0.0f);
}

class FromMatrix : public ::testing::TestWithParam<Quaternion> {};

TEST_P(FromMatrix, GivesBackTheRotation) {
    const Quaternion q = Unit(GetParam().x, GetParam().y, GetParam().z, GetParam().w);
    Matrix m;
    Mat4_FromQuaternion(&m, q);
    Quaternion back;
    Quat_FromMatrix(&back, m);
    const float sign = (back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(back.x * sign, q.x, 2e-6f);
    EXPECT_NEAR(back.y * sign, q.y, 2e-6f);
    EXPECT_NEAR(back.z * sign, q.z, 2e-6f);
    EXPECT_NEAR(back.w * sign, q.w, 2e-6f);
}

INSTANTIATE_TEST_SUITE_P(Maths, FromMatrix,
                         ::testing::Values(Quaternion{0, 0, 0, 1}, Quaternion{0.3f, -0.2f, 0.5f, 0.8f},
                                           // 180 degrees about each axis: the trace is 0 or less.
                                           Quaternion{1, 0, 0, 0}, Quaternion{0, 1, 0, 0}, Quaternion{0, 0, 1, 0},
                                           Quaternion{0.6f, 0.8f, 0, 0}, Quaternion{0, 0.6f, -0.8f, 0},
                                           Quaternion{0.7f, 0.1f, 0.1f, 0.01f}, Quaternion{0.1f, 0.1f, -0.9f, 0.02f},
                                           Quaternion{0.2f, 0.9f, 0.1f, -0.001f}));

TEST(Maths, FromMatrixBranchesFollowTheFormulas) {
    // Trace branch with t > 1e-8 on a matrix that is not a pure rotation.
    Matrix m;
    Mat4_Scaling(&m, 2, 2, 2);
    m.m[1][2] = 0.5f;
    Quaternion q;
    Quat_FromMatrix(&q, m);
    const double s = 0.5 / std::sqrt(7.0);
    EXPECT_F(q.w, 0.25 / s);
    EXPECT_F(q.x, 0.5 * s);
    EXPECT_EQ(q.y, 0.0f);

    // Largest diagonal m11, trace below 1e-8 but not near 0: not renormalised.
    Mat4_Scaling(&m, -2, 3, -3);
    m.m[1][0] = 0.5f;
    Quat_FromMatrix(&q, m);
    const double S = 2 * std::sqrt(1 + 3.0 + 2.0 + 3.0);
    EXPECT_F(q.y, S / 4);
    EXPECT_F(q.x, 0.5 / S);
    EXPECT_F(q.w, 0.0);
}

TEST(Maths, SlerpTakesTheShorterArc) {
    Quaternion a, b, out;
    Quat_FromAxisAngle(&a, Vector3(0, 1, 0), 0.0f);
    Quat_FromAxisAngle(&b, Vector3(0, 1, 0), 1.2f);
    Quat_Slerp(&out, a, b, 0.25f);
    EXPECT_F(out.y, std::sin(0.15));
    EXPECT_F(out.w, std::cos(0.15));

    // b and -b are the same rotation: both give the same result up to sign.
    const Quaternion nb{-b.x, -b.y, -b.z, -b.w};
    Quaternion other;
    Quat_Slerp(&other, a, nb, 0.25f);
    EXPECT_F(other.y, -std::sin(0.15));
    EXPECT_F(other.w, -std::cos(0.15));

    // Close quaternions are blended linearly, without renormalising.
    Quat_FromAxisAngle(&b, Vector3(0, 1, 0), 0.2f);
    Quat_Slerp(&out, a, b, 0.5f);
    EXPECT_F(out.y, 0.5 * double(b.y));
    EXPECT_F(out.w, 0.5 + 0.5 * double(b.w));
    Quat_Slerp(&out, a, Quaternion{-b.x, -b.y, -b.z, -b.w}, 0.5f);
    EXPECT_F(out.y, -0.5 * double(b.y));
    EXPECT_F(out.w, -0.5 - 0.5 * double(b.w));
}

TEST(Maths, FromDirectionPointsTheZAxis) {
    const Vector3 dirs[] = {{0, 0, 1}, {1, 0, 0}, {3, 1, -2}, {0, -0.2f, -1}};
    for (const Vector3& d : dirs) {
        Quaternion q;
        Quat_FromDirection(&q, d, Vector3(0, 1, 0));
        Matrix m;
        Mat4_FromQuaternion(&m, q);
        Vector3 z, n;
        Mat4_GetAxisZ(&z, m);
        Vec3_Normalize(&n, d);
        EXPECT_NEAR(z.x, n.x, 1e-5f);
        EXPECT_NEAR(z.y, n.y, 1e-5f);
        EXPECT_NEAR(z.z, n.z, 1e-5f);
        EXPECT_GE(m.m[1][1], 0.0f);  // Y leans up
        EXPECT_NEAR(m.m[0][1], 0.0f, 1e-5f);  // X stays level
    }
}

// --- Planes, boxes, rays, spheres --------------------------------------------

TEST(Maths, PlaneAndBoxContainment) {
    Plane p;
    Plane_FromPointNormal(&p, Vector3(1, 2, 3), Vector3(0, 0, 1));
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, -3.0f);

    const Vector3 lo(-1, -1, -1), hi(1, 2, 3);
    EXPECT_TRUE(Box_ContainsPoint(lo, hi, Vector3(0, 0, 0)));
    EXPECT_FALSE(Box_ContainsPoint(lo, hi, Vector3(1, 0, 0)));  // on a face
    EXPECT_FALSE(Box_ContainsPoint(lo, hi, Vector3(0, -1, 0)));
    EXPECT_FALSE(Box_ContainsPoint(lo, hi, Vector3(0, 0, 3.5f)));

    Matrix m;
    Mat4_RotationY(&m, static_cast<float>(kPi / 2));
    m.m[3][0] = 10.0f;
    Vector3 outLo, outHi;
    Box_Transform(&outLo, &outHi, lo, hi, m);
    ExpectVec(outLo, {9, -1, -1});
    ExpectVec(outHi, {13, 2, 1});
}

TEST(Maths, RaySphere) {
    Vector3 hit, normal;
    EXPECT_TRUE(Ray_IntersectSphere(Vector3(0, 0, -10), Vector3(0, 0, 5), Vector3(0, 0, 0), 2.0f, &hit, &normal));
    ExpectVec(hit, {0, 0, -2});
    ExpectVec(normal, {0, 0, -1});
    // A sphere behind the origin is on the same line and counts.
    EXPECT_TRUE(Ray_IntersectSphere(Vector3(0, 0, 10), Vector3(0, 0, 1), Vector3(0, 0, 0), 2.0f, &hit, nullptr));
    ExpectVec(hit, {0, 0, -2});
    EXPECT_FALSE(Ray_IntersectSphere(Vector3(0, 3, -10), Vector3(0, 0, 1), Vector3(0, 0, 0), 2.0f, &hit, &normal));
    EXPECT_TRUE(Ray_IntersectSphere(Vector3(1, 0, -10), Vector3(0, 0, 1), Vector3(0, 0, 0), 2.0f, nullptr, &normal));
    ExpectVec(normal, {0.5, 0, -std::sqrt(3.0) / 2});
}

struct RayBoxCase {
    Vector3 origin, direction;
    bool hits;
    Vector3 hit, normal;
};

class RayBox : public ::testing::TestWithParam<RayBoxCase> {};

TEST_P(RayBox, SlabTest) {
    const RayBoxCase& c = GetParam();
    Vector3 hit(99, 99, 99), normal(99, 99, 99);
    ASSERT_EQ(Ray_IntersectBox(c.origin, c.direction, Vector3(-1, -1, -1), Vector3(1, 2, 3), &hit, &normal), c.hits);
    if (!c.hits) return;
    ExpectVec(hit, {c.hit.x, c.hit.y, c.hit.z});
    ExpectVecExact(normal, c.normal);
}

INSTANTIATE_TEST_SUITE_P(
    Maths, RayBox,
    ::testing::Values(RayBoxCase{{0, 0, 0}, {1, 0, 0}, true, {0, 0, 0}, {0, 1, 0}},       // inside
                      RayBoxCase{{-5, 0, 0}, {1, 0, 0}, true, {-1, 0, 0}, {-1, 0, 0}},    // low X face
                      RayBoxCase{{0, 10, 1}, {0, -2, 0}, true, {0, 2, 1}, {0, 1, 0}},     // high Y face
                      RayBoxCase{{0, 0, 8}, {0, 0.1f, -1}, true, {0, 0.5f, 3}, {0, 0, 1}}, // high Z, slanted
                      RayBoxCase{{-5, 0, 0}, {-1, 0, 0}, false, {}, {}},                  // pointing away
                      RayBoxCase{{-5, 5, 0}, {1, 0, 0}, false, {}, {}},                   // passes above
                      RayBoxCase{{-5, 0, 0}, {1, 1, 0}, false, {}, {}},                   // misses the face
                      RayBoxCase{{-3, -3, 0}, {1, 1, 0}, true, {-1, -1, 0}, {-1, 0, 0}},  // edge, earlier axis
                      RayBoxCase{{-3, 0, 0}, {0, 1, 0}, false, {}, {}}));                 // parallel outside

TEST(Maths, RayTransformedBox) {
    Matrix world, inverse;
    Mat4_RotationY(&world, static_cast<float>(kPi / 2));
    world.m[3][0] = 10.0f;
    Mat4_Inverse(&inverse, world);
    Vector3 hit, normal;
    // Box space X is world -Z after the quarter turn.
    ASSERT_TRUE(Ray_IntersectTransformedBox(Vector3(10, 0, 10), Vector3(0, 0, -1), Vector3(-1, -1, -1),
                                            Vector3(1, 1, 1), world, inverse, &hit, &normal));
    ExpectVec(hit, {10, 0, 1});
    ExpectVec(normal, {0, 0, 1});
    EXPECT_FALSE(Ray_IntersectTransformedBox(Vector3(0, 0, 10), Vector3(0, 0, -1), Vector3(-1, -1, -1),
                                             Vector3(1, 1, 1), world, inverse, &hit, &normal));
}

TEST(Maths, BoxSphereInside) {
    const Vector3 lo(0, 0, 0), hi(10, 4, 10);
    Vector3 push, surface;
    // Nearest face: y = 0 at distance 1.
    ASSERT_TRUE(Box_IntersectSphere(lo, hi, Vector3(5, 1, 5), 0.5f, &push, &surface));
    ExpectVecExact(surface, Vector3(5, 0, 5));
    ExpectVec(push, {0, 1.001f * (1.0f + 0.5f), 0});
    // Max side: the push is negative.
    ASSERT_TRUE(Box_IntersectSphere(lo, hi, Vector3(9.5f, 2, 5), 1.0f, &push, &surface));
    ExpectVecExact(surface, Vector3(10, 2, 5));
    ExpectVec(push, {-1.001f * (0.5f + 1.0f), 0, 0});
    // Equal distances keep the earlier axis.
    ASSERT_TRUE(Box_IntersectSphere(lo, hi, Vector3(2, 2, 5), 0.1f, &push, nullptr));
    EXPECT_NE(push.x, 0.0f);
    EXPECT_EQ(push.y, 0.0f);
    EXPECT_TRUE(Box_IntersectSphere(lo, hi, Vector3(5, 2, 5), 0.1f, nullptr, nullptr));
}

TEST(Maths, BoxSphereOutside) {
    const Vector3 lo(0, 0, 0), hi(10, 4, 10);
    Vector3 push, surface(7, 7, 7);
    ASSERT_TRUE(Box_IntersectSphere(lo, hi, Vector3(5, 5, 5), 1.5f, &push, &surface));
    ExpectVec(push, {0, -1.002f * (1.5f - 1.0f), 0});
    ExpectVecExact(surface, Vector3(7, 7, 7));  // not written outside
    // Corner: diagonal distance sqrt(2) against radius 1.5.
    ASSERT_TRUE(Box_IntersectSphere(lo, hi, Vector3(-1, -1, 5), 1.5f, &push, nullptr));
    const double amount = 1.002f * (1.5f - static_cast<float>(std::sqrt(2.0)));
    ExpectVec(push, {amount / std::sqrt(2.0), amount / std::sqrt(2.0), 0});
    EXPECT_FALSE(Box_IntersectSphere(lo, hi, Vector3(-1, -1, 5), 1.4f, &push, nullptr));
    EXPECT_FALSE(Box_IntersectSphere(lo, hi, Vector3(5, 6, 5), 2.0f, &push, nullptr));  // touching only
    EXPECT_FALSE(Box_IntersectSphere(lo, hi, Vector3(50, 2, 5), 2.0f, &push, nullptr));

    Matrix world, inverse;
    Mat4_Translation(&world, 100, 0, 0);
    Mat4_RotationY(&inverse, static_cast<float>(kPi / 2));
    Mat4_Multiply(&world, inverse, world);
    Mat4_Inverse(&inverse, world);
    ASSERT_TRUE(Box_IntersectSphereTransformed(lo, hi, world, inverse, Vector3(100, 5, -5), 1.5f, &push, &surface));
    ExpectVec(push, {0, -1.002f * 0.5f, 0});
}

TEST(Maths, MergeOverlappingBoxes) {
    Box boxes[4] = {{{0, 0, 0}, {2, 1, 1}},
                    {{10, 10, 10}, {11, 11, 11}},
                    {{1, 0, 0}, {3, 1, 1}},  // union 3, volumes 2 + 2 - 1 overlap: ratio 1
                    {{0, 5, 0}, {1, 6, 1}}};
    BoxList list{4, boxes};
    BoxList_MergeOverlapping(&list, 90.0f, 1);
    ASSERT_EQ(list.count, 3u);
    ExpectVecExact(boxes[0].min, Vector3(0, 0, 0));
    ExpectVecExact(boxes[0].max, Vector3(3, 1, 1));
    ExpectVecExact(boxes[1].min, Vector3(10, 10, 10));
    ExpectVecExact(boxes[2].min, Vector3(0, 5, 0));

    // A threshold the far boxes do not reach leaves them.
    BoxList_MergeOverlapping(&list, 50.0f, 3);
    EXPECT_EQ(list.count, 3u);
    // Percent 0 merges everything, one box at a time.
    BoxList_MergeOverlapping(&list, 0.0f, 10);
    EXPECT_EQ(list.count, 1u);
    ExpectVecExact(boxes[0].max, Vector3(11, 11, 11));
}

TEST(Maths, NoiseTable) {
    Random_Seed(1234);
    ASSERT_EQ(g_NoiseTable, nullptr);
    const float first = Noise_Sample1D(0.0f);
    ASSERT_NE(g_NoiseTable, nullptr);
    Random_Seed(1234);
    for (int k = 0; k < 4096; ++k) {
        const float e = static_cast<float>(Random_Next() & 2047) / 1024.0f - 1.0f;
        ASSERT_EQ(g_NoiseTable[k], e) << k;
    }
    EXPECT_EQ(g_NoiseTable[4096], g_NoiseTable[0]);
    EXPECT_EQ(first, g_NoiseTable[0]);
    EXPECT_EQ(Noise_Sample1D(17.0f), g_NoiseTable[17]);
    EXPECT_EQ(Noise_Sample1D(4096.0f + 5.0f), g_NoiseTable[5]);
    EXPECT_EQ(Noise_Sample1D(4095.5f), g_NoiseTable[4095] + 0.5f * (g_NoiseTable[0] - g_NoiseTable[4095]));
    EXPECT_EQ(Noise_Sample1D(3.25f), g_NoiseTable[3] + 0.25f * (g_NoiseTable[4] - g_NoiseTable[3]));
    // Below zero the noise wraps round: -0.5 lies between entries 4095 and 0.
    EXPECT_EQ(Noise_Sample1D(-0.5f), g_NoiseTable[4095] + 0.5f * (g_NoiseTable[0] - g_NoiseTable[4095]));
    EXPECT_EQ(Noise_Sample1D(-1.0f), g_NoiseTable[4095]);
    for (float x = -40.0f; x < 40.0f; x += 0.37f) {
        const float v = Noise_Sample1D(x);
        EXPECT_GE(v, -1.0f);
        EXPECT_LT(v, 1.0f);
        EXPECT_NEAR(Noise_Sample1D(x + 1e-3f), v, 0.01f);  // continuous
    }
}

}  // namespace

// Channels round to the nearest byte; anything past either end, and no
// number at all, is held to it.
TEST(Maths, ColorChannelsToBytes) {
    const struct {
        float c;
        uint8_t byte;
    } cases[] = {{0.0f, 0}, {1.0f, 255}, {0.5f, 128}, {0.2f, 51}, {-3.0f, 0}, {7.0f, 255},
                 {std::nanf(""), 0}, {-INFINITY, 0}, {INFINITY, 255}};
    for (const auto& c : cases) EXPECT_EQ(Color_ToByte(c.c), c.byte) << c.c;
    EXPECT_EQ(Color_ToArgb(1.0f, 0.5f, 0.0f, 0.2f), 0x33FF8000u);
    EXPECT_EQ(Color_ToArgb(std::nanf(""), 0.0f, 0.0f, 1.0f), 0xFF000000u);
}
