#include "utility/QVMath.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Rounds to float through memory, so a reference spelled out with it is neither fused nor
// reordered by the compiler.
float r(float v) {
    volatile float stored = v;
    return stored;
}

std::tuple<float, float, float> T(QVVec3 v) {
    return {v.x, v.y, v.z};
}
#define EXPECT_VEC3(v, ex, ey, ez) EXPECT_EQ(T(v), T({ex, ey, ez}))
// For results that carry the error of sine and cosine: rounded to 5 decimals.
std::tuple<float, float, float> R(QVVec3 v) {
    const auto round = [](float f) { return std::round(f * 1e5f) / 1e5f; };
    return {round(v.x), round(v.y), round(v.z)};
}
#define EXPECT_NEAR_VEC3(v, ex, ey, ez) EXPECT_EQ(R(v), T({ex, ey, ez}))

GW_TABLE_TEST(AngleRows, WrapAroundZeroAndMultiplesOfATurn, "utility/angles.tsv") {
    const gw::test::DataRow& c = GetParam();
    const float a = std::stof(c[1]), b = std::stof(c[2]);
    EXPECT_EQ(c[0] == "distance" ? QVAngleDistance(a, b) : QVAngleDifference(a, b),
              std::stof(c[3]));
}

TEST(Angles, ShiftRoundsInFloat) {
    // The shift by 7200 rounds in float; a double shift would give back 0.1.
    EXPECT_EQ(QVAngleDistance(0.1f, 0), std::fmod(r(0.1f + 7200.0f), 360.0f));
    EXPECT_NE(QVAngleDistance(0.1f, 0), 0.1f);
}

TEST(Clamps, LowWinsOnlyBelowLow) {
    // The last three have low above high.
    EXPECT_EQ(std::make_tuple(QVClampInt(5, 10, 20), QVClampInt(25, 10, 20), QVClampInt(5, 20, 10),
                              QVClampInt(15, 20, 10), QVClampInt(25, 20, 10)),
              std::make_tuple(10, 20, 20, 20, 10));
    EXPECT_EQ(QVClampFloat(0.75f, 0.5f, 0.0f), 0.0f);
    EXPECT_EQ(QVMin3(3, 1, 2), 1.0f);
    EXPECT_EQ(QVMax4(1, 2, 3, 16777217), 16777216.0f); // the int rounds to float
}

// Each text lives in a heap block of exactly its size, so AddressSanitizer reports any byte read
// or written beyond it.
GW_TABLE_TEST(SwapTextRows, WalksUpToTheSharedEndAndNoFurtherThanEitherBuffer,
              "utility/swap-text.tsv") {
    const gw::test::DataRow& c = GetParam();
    std::vector<char> a(c[0].begin(), c[0].end()), b(c[1].begin(), c[1].end());
    EXPECT_EQ(QVSwapText(a.data(), a.size(), b.data(), b.size()), c[2] == "yes");
    EXPECT_EQ(std::string(a.begin(), a.end()), c[3]);
    EXPECT_EQ(std::string(b.begin(), b.end()), c[4]);
}

TEST(Vectors, SumsRunLeftToRightInFloat) {
    // 2^24 + 1 rounds back to 2^24 in float, twice; a double sum would keep both ones.
    EXPECT_EQ(QVVec3LengthSquared({4096, 1, 1}), 16777216.0f);
    EXPECT_EQ(QVVec3Dot({1e8f, 1, -1e8f}, {1, 1, 1}), 0.0f);
    EXPECT_EQ(QVVec3Dot({1e8f, -1e8f, 1}, {1, 1, 1}), 1.0f);
    EXPECT_EQ(QVDistance2(1, 1, 4, 5), 5.0f);
    EXPECT_VEC3(QVVec3Normalize(QVVec3Zero()), 0, 0, 0);
    EXPECT_EQ(QVVec3CosAngle(QVVec3Zero(), {1, 2, 3}), 0.0f);
    EXPECT_VEC3(QVVec3Normalize({0, 0, -4}), 0, 0, -1);
    testing::internal::CaptureStdout();
    EXPECT_VEC3(QVVec3Unfinished({1, 2, 3}), 1, 2, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NOT DONE YET\n");
}

TEST(Vectors, OperatorsConvertTheScalarToFloatFirst) {
    const double third = 1.0 / 3.0;
    QVVec3 v = {3, 3, 3};
    EXPECT_EQ((v * third).x, 3.0f * static_cast<float>(third));
    EXPECT_EQ((v / 2).z, 1.5f);
    v *= 2;
    v /= QVVec3{2, 3, 6};
    EXPECT_VEC3(v, 3, 2, 1);
    QVVec4 q = QVVec4One() * 4;
    q *= 0.5f;
    EXPECT_EQ((q / 4.0).w, 0.5f);
    const float record[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(QVFloat5ToVec4(record).w, 5.0f);
}

// The double forms the library leaves out are refused instead of converting silently.
template <class V, class S>
concept Scales = requires(V v, S s) {
    v* s;
};
template <class V, class S>
concept ScalesInPlace = requires(V v, S s) {
    v *= s;
};
static_assert(Scales<QVVec2, int> && !Scales<QVVec2, double> && Scales<QVVec3, double>);
static_assert(ScalesInPlace<QVVec4, int> && !ScalesInPlace<QVVec4, double>);

// "x y z" as a vector.
QVVec3 vec(const std::string& text) {
    QVVec3 v{};
    std::istringstream(text) >> v.x >> v.y >> v.z;
    return v;
}

GW_TABLE_TEST(RotateEulerRows, TinyAnglesSkippedTurnsAboutXThenYThenZInFloat,
              "utility/rotate-euler.tsv") {
    const gw::test::DataRow& c = GetParam();
    const QVVec3 got = QVVec3RotateEuler(vec(c[0]), vec(c[1]));
    EXPECT_EQ(c[3] == "rounded" ? R(got) : T(got), T(vec(c[2])));
}

GW_TABLE_TEST(NormalRows, OrientationAndTowardsComparingInDouble, "utility/normals.tsv") {
    const gw::test::DataRow& c = GetParam();
    const QVVec3 got = c[0] == "edges" ? QVNormalFromEdges(std::stoi(c[1]), vec(c[2]), vec(c[3]))
                       : c[0] == "points"
                           ? QVNormalFromPoints(std::stoi(c[1]), vec(c[2]), vec(c[3]), vec(c[4]))
                           : QVNormalTowards(vec(c[2]), vec(c[3]), vec(c[4]));
    EXPECT_EQ(T(got), T(vec(c[5])));
}

TEST(Normals, TruncationAndShortPoints) {
    // c.y of 0.5 truncates to 0, which is not above 0.
    EXPECT_LT(QVNormalFromEdges(1, {2, 0, 0}, {0, 0.1f, -0.25f}).y, 0.0f);
    // Upward from short points, the opposite of (p1 - p2) x (p1 - p3) = (0, -1, 0).
    EXPECT_VEC3(QVNormalFromShortPoints({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 0, 1, 0);
    EXPECT_VEC3(QVNormalFromShortPoints({1, 2, 3}, {2, 4, 6}, {3, 6, 9}), 0, 0, 0);
}

TEST(Quaternions, NormalizeHonoursTheTolerance) {
    const auto normalizedW = [](float w) {
        QVVec4 q = {0, 0, 0, w};
        QVQuatNormalize(&q);
        return q.w;
    };
    const float nearUnit = std::sqrt(1.000005f), big = std::sqrt(1.1f);
    EXPECT_EQ(normalizedW(nearUnit), nearUnit);
    EXPECT_EQ(normalizedW(big), big / std::sqrt(r(big * big)));
    EXPECT_EQ(normalizedW(0), 0.0f);
}

TEST(Quaternions, HalfAngleSinesRunInDouble) {
    const float h = 0.0862f; // where the C library's sinf and the rounded double sine part ways
    const float sine = static_cast<float>(std::sin(double{h}));
    ASSERT_NE(sine, std::sin(r(h))); // r(): an optimiser would fold sinf exactly
    const QVVec3 axis = {1, 0, 0};
    const QVVec4 q = QVQuatFromAxisAngle(&axis, 2 * h);
    EXPECT_EQ(std::make_pair(q.x, q.w),
              std::make_pair(sine, static_cast<float>(std::cos(double{h}))));

    // Half angles of pi as 3.1415926, sines and cosines in double, products and sums in float
    // from the left; within the tolerance, so not rescaled.
    const QVVec4 e = QVQuatFromEuler(30, 45, 60);
    EXPECT_EQ(std::make_tuple(e.x, e.y, e.z, e.w),
              std::make_tuple(0.360423416f, 0.391903818f, 0.20056209f, 0.822363138f));
}

TEST(Quaternions, AxisAngleBetween) {
    QVAxisAngle record;
    EXPECT_EQ(QVAxisAngleBetween({2, 0, 0}, {0, 3, 0}, &record), &record);
    EXPECT_EQ(record.length, 2.0f);
    EXPECT_NEAR(record.angle, std::numbers::pi / 2, 1e-6);
    EXPECT_EQ(record.axisZ, 1.0f);
    QVAxisAngleBetween({1, 0, 0}, {0, 0, 0}, &record); // measured against (1, 1, 1)
    EXPECT_NEAR(record.angle, std::acos(1.0 / std::sqrt(3.0)), 1e-6);
    EXPECT_NEAR(record.axisY, -std::sqrt(0.5), 1e-6);
}

TEST(Quaternions, ProductRotationAndMatrix) {
    const QVVec4 i = {1, 0, 0, 0}, j = {0, 1, 0, 0};
    EXPECT_EQ(std::make_pair(QVQuatMultiply(&i, &j).z, QVQuatMultiply(&j, &i).z),
              std::make_pair(1.0f, -1.0f));
    const QVVec4 identity = {0, 0, 0, 1}, unit = {0.6f, 0.8f, 0, 0}, twice = {0, 2, 0, 0};
    EXPECT_VEC3(QVQuatRotateVector(&identity, &unit), 0.6f, 0.8f, 0);
    EXPECT_VEC3(QVQuatRotateVector(&identity, &twice), 0, 1, 0);
    EXPECT_EQ(twice.y, 2.0f);          // the caller's vector is left alone
    const QVVec4 withW = {0, 0, 3, 4}; // w enters the length: u = (0, 0, 0.6)
    EXPECT_VEC3(QVQuatRotateVector(&identity, &withW), 0, 0, 0.6f);
    const QVVec3 axis = {0, 0, 2}; // normalised first
    const QVVec4 quarter = QVQuatFromAxisAngle(&axis, static_cast<float>(std::numbers::pi / 2));
    EXPECT_NEAR_VEC3(QVQuatRotateVector(&quarter, &i), 0, 1, 0);
    QVMatrix4 m;
    QVQuatToMatrix(&quarter, &m);
    EXPECT_NEAR(m.m[1], -1.0f, 1e-6f);
    EXPECT_NEAR(m.m[4], 1.0f, 1e-6f);
    EXPECT_EQ(m.m[15], 1.0f);
}

// Small integers, all elements non-zero: every product and partial sum is exact in float.
QVMatrix4 dense() {
    return {{4, 7, 2, 3, 1, 5, 1, 9, 8, 1, 6, 2, 3, 2, 7, 1}};
}

TEST(Matrices, MultiplySumsLeftToRightAndMayTakeItself) {
    QVMatrix4 a = {{4096, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    const QVMatrix4 b = {{4096, 0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1}};
    QVMatrixMultiply(&a, &b);
    EXPECT_EQ(a.m[0], 16777216.0f); // 2^24 + 1 + 1 in float
    QVMatrix4 product = dense();
    const QVMatrix4 operand = dense();
    QVMatrixMultiply(&product, &operand);
    QVMatrix4 same = dense();
    QVMatrixMultiply(&same, &same);
    EXPECT_EQ(std::memcmp(&product, &same, sizeof same), 0);
    EXPECT_EQ(same.m[0], 4.0f * 4 + 7 * 1 + 2 * 8 + 3 * 3);
}

TEST(Matrices, DeterminantAndInverseUnlessSingular) {
    const QVMatrix4 m = dense();
    EXPECT_EQ(QVMatrixDeterminant(&m), -1898.0f); // by minors in exact arithmetic
    QVMatrix4 inverse;
    ASSERT_TRUE(QVMatrixInvert(&m, &inverse));
    QVMatrix4 identity = m;
    QVMatrixMultiply(&identity, &inverse);
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(identity.m[k], k % 5 == 0 ? 1.0f : 0.0f, 1e-5f) << k;
    QVMatrix4 inPlace = dense();
    ASSERT_TRUE(QVMatrixInvert(&inPlace, &inPlace));
    EXPECT_EQ(std::memcmp(&inPlace, &inverse, sizeof inverse), 0);
    // A singular matrix leaves the output untouched.
    inPlace.m[4] = inPlace.m[5] = inPlace.m[6] = inPlace.m[7] = 0;
    const QVMatrix4 before = inverse;
    EXPECT_FALSE(QVMatrixInvert(&inPlace, &inverse));
    EXPECT_EQ(std::memcmp(&before, &inverse, sizeof inverse), 0);
}

TEST(Matrices, TranslateRotateScale) {
    QVMatrix4 m;
    QVMatrixIdentity(&m);
    QVMatrixScale(2, 3, 4, &m);
    QVMatrixTranslate(10, 20, 30, &m);
    EXPECT_VEC3(QVMatrixTransformPoint({1, 1, 1}, &m), 12, 23, 34);
    EXPECT_EQ(QVMatrixTransformVec4({1, 1, 1, 0}, &m).x, 2.0f); // directions ignore translation
    QVMatrixIdentity(&m);
    QVMatrixRotate(static_cast<float>(std::numbers::pi / 2), 0, 0, 1, &m);
    // Row 0 is (c, -s, 0): with row vectors x turns towards -y.
    EXPECT_NEAR_VEC3(QVMatrixTransformPoint({1, 0, 0}, &m), 0, -1, 0);
    QVMatrix4 t;
    QVMatrixTranspose(&m, &t);
    EXPECT_EQ(t.m[1], m.m[4]);
}

const float kTriangle[9] = {0, 0, 0, 2, 0, 0, 0, 2, 0}; // (B - A) x (C - A) = (0, 0, 4)

TEST(RayTriangle, ParallelOrAgainstTheNormalWritesNothingAndBesideWritesOnlyT) {
    float t = -7;
    QVVec3 hit = {9, 9, 9}, normal = {9, 9, 9};
    EXPECT_FALSE(QVRayTriangle({0.5f, 0.5f, -1}, {1, 0, 0}, kTriangle, &t, &hit, &normal));
    EXPECT_FALSE(QVRayTriangle({0.5f, 0.5f, 1}, {0, 0, -1}, kTriangle, &t, &hit, &normal));
    EXPECT_EQ(t, -7.0f);
    EXPECT_VEC3(hit, 9, 9, 9);
    EXPECT_VEC3(normal, 9, 9, 9);
    ASSERT_TRUE(QVRayTriangle({0.5f, 0.5f, -4}, {0, 0, 2}, kTriangle, &t, &hit, &normal));
    EXPECT_EQ(t, 2.0f); // in units of |d|
    EXPECT_VEC3(hit, 0.5f, 0.5f, 0);
    EXPECT_VEC3(normal, 0, 0, 1);
    hit = {9, 9, 9};
    EXPECT_FALSE(QVRayTriangle({3, 3, -1}, {0, 0, 1}, kTriangle, &t, &hit, nullptr));
    EXPECT_EQ(t, 1.0f); // written before the inside test
    EXPECT_VEC3(hit, 9, 9, 9);
}

TEST(RayPlacedTriangle, AnglesSummingToZeroDoNotTurnOthersDo) {
    float result = 0;
    QVVec3 hit;
    // Scaled by 2 and moved by (0, -15, -10): the ray at x = y + 15 = 1 meets it at z = -10.
    ASSERT_TRUE(QVRayPlacedTriangle({1, -14, -20}, {0, 0, 1}, {0, -15, -10}, 2, {10, -10, 0},
                                    kTriangle, &result, &hit));
    EXPECT_VEC3(hit, 1, -14, -10);
    EXPECT_EQ(result, std::sqrt(1.0f + 1.0f + 25.0f)); // from (0, -15, -15)
    // Turned 180 degrees about z, the triangle spans x, y in [-4, 0]; the ray at (1, 1) misses.
    EXPECT_FALSE(QVRayPlacedTriangle({1, 1, -5}, {0, 0, 1}, {0, 0, 0}, 2, {0, 0, 180}, kTriangle,
                                     &result, nullptr));
    EXPECT_EQ(result, 5.0f); // t stays
    EXPECT_TRUE(QVRayPlacedTriangle({-1, -1, -5}, {0, 0, 1}, {0, 0, 0}, 2, {0, 0, 180}, kTriangle,
                                    &result, nullptr));
}

} // namespace
