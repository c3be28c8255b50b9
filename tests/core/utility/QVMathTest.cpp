#include "utility/QVMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Reference arithmetic that the compiler may neither fuse nor reorder: each step rounds to float.
float mul(float a, float b) {
    volatile float r = a * b;
    return r;
}
float add(float a, float b) {
    volatile float r = a + b;
    return r;
}
float sub(float a, float b) {
    volatile float r = a - b;
    return r;
}
float sinD(float a) {
    return static_cast<float>(std::sin(static_cast<double>(a)));
}
float cosD(float a) {
    return static_cast<float>(std::cos(static_cast<double>(a)));
}

void expectVec3(QVVec3 v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

void expectNearVec3(QVVec3 v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Angles, DistanceAndDifferenceWrapAroundZero) {
    EXPECT_EQ(QVAngleDistance(350.0f, 10.0f), 20.0f);
    EXPECT_EQ(QVAngleDistance(10.0f, 350.0f), 20.0f);
    EXPECT_EQ(QVAngleDifference(350.0f, 10.0f), -20.0f);
    EXPECT_EQ(QVAngleDifference(10.0f, 350.0f), 20.0f);
    EXPECT_EQ(QVAngleDistance(720.0f, 0.0f), 0.0f);
    EXPECT_EQ(QVAngleDistance(-7200.0f, 90.0f), 90.0f);
    EXPECT_EQ(QVAngleDifference(-7170.0f, 0.0f), 30.0f);
    EXPECT_EQ(QVAngleDistance(180.0f, 0.0f), 180.0f);
    EXPECT_EQ(QVAngleDifference(180.0f, 0.0f), 180.0f);
}

TEST(Angles, BelowTheWrapFloorTheRangeIsNotKept) {
    // -7500 shifts to -300, which fmodf keeps negative: one correction of 360 is not enough.
    EXPECT_EQ(QVAngleDistance(-7500.0f, 300.0f), -240.0f);
}

TEST(Angles, TheShiftBy7200RoundsInFloat) {
    const float expected = std::fmod(add(0.1f, 7200.0f), 360.0f);
    EXPECT_EQ(QVAngleDistance(0.1f, 0.0f), expected);
    EXPECT_NE(expected, 0.1f); // what a double shift would keep
}

TEST(Clamps, LowWinsOnlyBelowLow) {
    EXPECT_EQ(QVClampInt(5, 10, 20), 10);
    EXPECT_EQ(QVClampInt(25, 10, 20), 20);
    EXPECT_EQ(QVClampInt(15, 10, 20), 15);
    // Low above high: below low gives low, anything else the smaller of value and high.
    EXPECT_EQ(QVClampInt(5, 20, 10), 20);
    EXPECT_EQ(QVClampInt(25, 20, 10), 10);
    EXPECT_EQ(QVClampFloat(-1.5f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(QVClampFloat(0.25f, 0.5f, 0.0f), 0.5f);
    EXPECT_EQ(QVClampFloat(0.75f, 0.5f, 0.0f), 0.0f);
}

TEST(Clamps, MinimaAndMaximaAreFloats) {
    EXPECT_EQ(QVMin3(3, 1, 2), 1.0f);
    EXPECT_EQ(QVMin2(-4, 7), -4.0f);
    EXPECT_EQ(QVMin4(9, 8, -7, 6), -7.0f);
    EXPECT_EQ(QVMax3(3, 1, 2), 3.0f);
    EXPECT_EQ(QVMax4(1, 2, 3, 16777217), 16777216.0f); // rounded to float
}

TEST(Swaps, ValuesAndArrays) {
    int i = 1, j = 2;
    QVSwapInt(&i, &j);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(j, 1);
    bool p = true, q = false;
    QVSwapBool(&p, &q);
    EXPECT_FALSE(p);
    EXPECT_TRUE(q);
    float a[5] = {1, 2, 3, 4, 5}, b[5] = {6, 7, 8, 9, 10};
    QVSwapFloat4(a, b);
    EXPECT_EQ(a[3], 9.0f);
    EXPECT_EQ(a[4], 5.0f); // the fifth stays
    QVSwapFloat5(a, b);
    EXPECT_EQ(b[4], 5.0f);
    QVVec2 u = {1, 2}, v = {3, 4};
    QVSwapVec2(&u, &v);
    EXPECT_EQ(u.y, 4.0f);
}

// Each text lives in a heap block of exactly its size, so AddressSanitizer reports any byte read
// or written beyond it.
TEST(SwapText, ExchangesTextsOfEqualLength) {
    std::vector<char> a = {'a', 'b', 'c', 0};
    std::vector<char> b = {'x', 'y', 'z', 0};
    EXPECT_TRUE(QVSwapText(a.data(), a.size(), b.data(), b.size()));
    EXPECT_STREQ(a.data(), "xyz");
    EXPECT_STREQ(b.data(), "abc");
}

TEST(SwapText, WalksPastTheShorterTextInsideBothBuffers) {
    std::vector<char> a = {'h', 'i', 0, 'Q', 'R', 0, 'Z'};
    std::vector<char> b = {'h', 'e', 'l', 'l', 'o', 0, 'Y'};
    EXPECT_TRUE(QVSwapText(a.data(), a.size(), b.data(), b.size()));
    // The bytes after a's terminator went to b; both stop at the shared end at index 5.
    EXPECT_EQ(std::string(a.data(), 7), std::string("hello\0Z", 7));
    EXPECT_EQ(std::string(b.data(), 7), std::string("hi\0QR\0Y", 7));
}

TEST(SwapText, StopsAtTheTightBufferAndSaysSo) {
    std::vector<char> shortText = {'h', 'i', 0};
    std::vector<char> longText = {'h', 'e', 'l', 'l', 'o', 0};
    EXPECT_FALSE(QVSwapText(shortText.data(), shortText.size(), longText.data(), longText.size()));
    EXPECT_EQ(std::string(shortText.data(), 3), "hel");
    EXPECT_EQ(std::string(longText.data(), 6), std::string("hi\0lo\0", 6));
    EXPECT_FALSE(QVSwapText(longText.data(), longText.size(), shortText.data(), shortText.size()));
}

TEST(SwapText, LineFeedAndOneCountAsEnds) {
    std::vector<char> a = {'a', '\n', 'k'};
    std::vector<char> b = {'b', 1, 'm'};
    EXPECT_TRUE(QVSwapText(a.data(), a.size(), b.data(), b.size()));
    EXPECT_EQ(std::string(a.data(), 3), "b\nk");
    EXPECT_EQ(std::string(b.data(), 3), "a\1m");
}

TEST(Vectors, SumsRunLeftToRightInFloat) {
    // 2^24 + 1 rounds back to 2^24 in float, twice; a double sum would keep both ones.
    EXPECT_EQ(QVVec3LengthSquared({4096.0f, 1.0f, 1.0f}), 16777216.0f);
    EXPECT_EQ(QVVec3Dot({1e8f, 1.0f, -1e8f}, {1, 1, 1}), 0.0f);
    EXPECT_EQ(QVVec3Dot({1e8f, -1e8f, 1.0f}, {1, 1, 1}), 1.0f);
    EXPECT_EQ(QVVec3Length({3, 4, 12}), 13.0f);
    EXPECT_EQ(QVDistance2(1, 1, 4, 5), 5.0f);
    EXPECT_EQ(QVVec2DistanceSquared({1, 1}, {4, 5}), 25.0f);
}

TEST(Vectors, ZeroVectorsStayZero) {
    expectVec3(QVVec3Normalize(QVVec3Zero()), 0, 0, 0);
    EXPECT_EQ(QVVec3CosAngle(QVVec3Zero(), {1, 2, 3}), 0.0f);
    EXPECT_EQ(QVVec2Normalize(QVVec2Zero()).x, 0.0f);
    expectVec3(QVVec3Normalize({0, 0, -4}), 0, 0, -1);
    expectVec3(QVVec3Cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
}

TEST(Vectors, OperatorsConvertTheScalarToFloatFirst) {
    const double third = 1.0 / 3.0;
    QVVec3 v = {3, 3, 3};
    EXPECT_EQ((v * third).x, 3.0f * static_cast<float>(third));
    EXPECT_EQ((v / 3.0).y, 1.0f);
    EXPECT_EQ((v / 2).z, 1.5f);
    v *= 2;
    v /= QVVec3{2, 3, 6};
    expectVec3(v, 3, 2, 1);
    v *= QVVec3{2, 2, 2};
    v -= QVVec3{1, 1, 1};
    expectVec3(v, 5, 3, 1);
    QVVec4 q = QVVec4One() * 4;
    q *= 0.5f;
    EXPECT_EQ((q / 4.0).w, 0.5f);
    QVVec2 p = {1, 2};
    p *= 3;
    EXPECT_EQ((p + QVVec2{1, 1}).y, 7.0f);
}

TEST(Vectors, Conversions) {
    const float record[5] = {1, 2, 3, 4, 5};
    const QVVec4 v = QVFloat5ToVec4(record);
    EXPECT_EQ(v.z, 3.0f);
    EXPECT_EQ(v.w, 5.0f);
    EXPECT_EQ(QVVec3ToVec4({1, 2, 3}).w, 0.0f);
    EXPECT_EQ(QVVec3XZ({1, 2, 3}).y, 3.0f);
    EXPECT_EQ(QVVec3YZ({1, 2, 3}).x, 2.0f);
    EXPECT_EQ(QVVec2ToVec3({1, 2}).z, 0.0f);
}

TEST(Vectors, UnfinishedSaysSoAndReturnsItsArgument) {
    testing::internal::CaptureStdout();
    expectVec3(QVVec3Unfinished({1, 2, 3}), 1, 2, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NOT DONE YET\n");
}

TEST(RotateEuler, TinyAnglesAreSkipped) {
    expectVec3(QVVec3RotateEuler({0.3f, 0.4f, 0.5f}, {0.005f, 0.005f, 0.005f}), 0.3f, 0.4f, 0.5f);
    expectVec3(QVVec3RotateEuler({0.3f, 0.4f, 0.5f}, {0.0f, -0.01f, 0.01f}), 0.3f, 0.4f, 0.5f);
}

TEST(RotateEuler, TurnsAboutXThenYThenZ) {
    // About x the angle runs from z towards y, so +y goes to -z.
    expectNearVec3(QVVec3RotateEuler({0, 1, 0}, {90, 0, 0}), 0, 0, -1);
    expectNearVec3(QVVec3RotateEuler({1, 0, 0}, {0, 90, 0}), 0, 0, 1);
    expectNearVec3(QVVec3RotateEuler({1, 0, 0}, {0, 0, 90}), 0, 1, 0);
    // x first, to (0, 0, -1), then y, to (1, 0, 0); the other order would end at (0, 0, -1).
    expectNearVec3(QVVec3RotateEuler({0, 1, 0}, {90, 90, 0}), 1, 0, 0);
}

TEST(RotateEuler, DegreesConvertInDoubleWithTheLibraryPi) {
    const float degrees = 21.0f;
    const float turned = static_cast<float>(static_cast<double>(degrees) * 3.1415926 / 180.0);
    const float expected = std::cos(turned);
    EXPECT_EQ(QVVec3RotateEuler({1, 0, 0}, {0, 0, degrees}).x, expected);
    EXPECT_NE(expected, std::cos(degrees * static_cast<float>(M_PI) / 180.0f));
}

TEST(Normals, OrientationByMode) {
    const QVVec3 a = {1, 0, 0}, b = {0, 0, -1}; // a x b = (0, 1, 0)
    expectVec3(QVNormalFromEdges(0, a, b), 0, 1, 0);
    expectVec3(QVNormalFromEdges(-1, a, b), 0, -1, 0);
    expectVec3(QVNormalFromEdges(1, a, b), 0, 1, 0);
    expectVec3(QVNormalFromEdges(7, b, a), 0, 1, 0);
    // c.y of 0.5 truncates to 0, which counts as "not above 0".
    const QVVec3 n = QVNormalFromEdges(1, {2, 0, 0}, {0, 0.1f, -0.25f});
    EXPECT_LT(n.y, 0.0f);
}

TEST(Normals, TowardsComparesInDouble) {
    const QVVec3 a = {0, 1, 0}, b = {0, 0, 1}; // a x b = (1, 0, 0)
    // -0.99f widens to slightly below -0.99, so it flips; in float it would not.
    expectVec3(QVNormalTowards(a, b, {-0.99f, 0, 0}), -1, 0, 0);
    expectVec3(QVNormalTowards(a, b, {-0.98f, 0, 0}), 1, 0, 0);
    // A later axis never flips back.
    expectVec3(QVNormalTowards(a, b, {-1, 1, 1}), -1, 0, 0);
}

TEST(Normals, DegeneratePointsGiveZero) {
    expectVec3(QVNormalFromPoints(0, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}), 0, 0, 0);
    expectVec3(QVNormalFromShortPoints({1, 2, 3}, {2, 4, 6}, {3, 6, 9}), 0, 0, 0);
    // (p1 - p2) x (p1 - p3) = (-1, 0, 0) x (0, 0, -1) = (0, -1, 0), turned upward.
    expectVec3(QVNormalFromShortPoints({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 0, 1, 0);
    expectVec3(QVNormalFromPoints(0, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 0, -1, 0);
}

TEST(Quaternions, NormalizeHonoursTheTolerance) {
    QVVec4 nearUnit = {0, 0, 0, std::sqrt(1.000005f)};
    const QVVec4 before = nearUnit;
    QVQuatNormalize(&nearUnit);
    EXPECT_EQ(nearUnit.w, before.w);
    QVVec4 off = {0, 0, 0, std::sqrt(1.1f)};
    QVQuatNormalize(&off);
    EXPECT_EQ(off.w, std::sqrt(1.1f) / std::sqrt(std::sqrt(1.1f) * std::sqrt(1.1f)));
    EXPECT_NEAR(off.w, 1.0f, 1e-6f);
    QVVec4 zero = QVVec4Zero();
    QVQuatNormalize(&zero);
    EXPECT_EQ(zero.w, 0.0f);
}

TEST(Quaternions, ProductConjugateAndMatrix) {
    const QVVec4 i = {1, 0, 0, 0}, j = {0, 1, 0, 0};
    const QVVec4 k = QVQuatMultiply(&i, &j);
    EXPECT_EQ(k.z, 1.0f);
    EXPECT_EQ(QVQuatMultiply(&j, &i).z, -1.0f);
    QVVec4 q = {1, 2, 3, 4};
    QVQuatConjugate(&q);
    EXPECT_EQ(q.x, -1.0f);
    EXPECT_EQ(q.w, 4.0f);
    const QVVec3 axis = {0, 0, 2};
    const QVVec4 quarter = QVQuatFromAxisAngle(&axis, static_cast<float>(M_PI / 2));
    EXPECT_EQ(axis.z, 2.0f);
    QVMatrix4 m;
    QVQuatToMatrix(&quarter, &m);
    EXPECT_NEAR(m.m[1], -1.0f, 1e-6f);
    EXPECT_NEAR(m.m[4], 1.0f, 1e-6f);
    EXPECT_EQ(m.m[15], 1.0f);
    EXPECT_EQ(m.m[12], 0.0f);
}

TEST(Quaternions, AxisAngleSineRunsInDouble) {
    // At this half angle sinf and the rounded double sine part ways.
    const float h = 0.0862f;
    ASSERT_NE(sinD(h), std::sin(h));
    const QVVec3 axis = {1, 0, 0};
    const QVVec4 q = QVQuatFromAxisAngle(&axis, 2.0f * h);
    EXPECT_EQ(q.x, sinD(h));
    EXPECT_EQ(q.w, cosD(h));
}

TEST(Quaternions, FromEulerFollowsTheStatedOrder) {
    const float x = 30.0f, y = 45.0f, z = 60.0f;
    const auto half = [](float d) {
        return static_cast<float>(static_cast<double>(d) * 3.1415926 / 180.0 * 0.5);
    };
    const float sx = sinD(half(x)), cx = cosD(half(x));
    const float sy = sinD(half(y)), cy = cosD(half(y));
    const float sz = sinD(half(z)), cz = cosD(half(z));
    const QVVec4 q = QVQuatFromEuler(x, y, z);
    // The product is within the tolerance of unit length, so no rescaling follows.
    EXPECT_EQ(q.x, sub(mul(mul(sz, cx), cy), mul(mul(cz, sx), sy)));
    EXPECT_EQ(q.y, add(mul(mul(cz, sx), cy), mul(mul(sz, cx), sy)));
    EXPECT_EQ(q.z, sub(mul(mul(cz, cx), sy), mul(mul(sz, sx), cy)));
    EXPECT_EQ(q.w, add(mul(mul(cz, cx), cy), mul(mul(sz, sx), sy)));
}

TEST(Quaternions, AxisAngleBetween) {
    QVAxisAngle record;
    EXPECT_EQ(QVAxisAngleBetween({2, 0, 0}, {0, 3, 0}, &record), &record);
    EXPECT_EQ(record.length, 2.0f);
    EXPECT_NEAR(record.angle, M_PI / 2, 1e-6);
    EXPECT_EQ(record.axisZ, 1.0f);
    // A vanishing b is measured against (1, 1, 1).
    QVAxisAngleBetween({1, 0, 0}, {0, 0, 0}, &record);
    EXPECT_NEAR(record.angle, std::acos(1.0 / std::sqrt(3.0)), 1e-6);
    EXPECT_NEAR(record.axisY, -std::sqrt(0.5), 1e-6);
}

TEST(Quaternions, RotateVector) {
    const QVVec4 identity = {0, 0, 0, 1};
    const QVVec4 unit = {0.6f, 0.8f, 0, 0};
    expectVec3(QVQuatRotateVector(&identity, &unit), 0.6f, 0.8f, 0);
    const QVVec4 twice = {0, 2, 0, 0};
    expectVec3(QVQuatRotateVector(&identity, &twice), 0, 1, 0);
    EXPECT_EQ(twice.y, 2.0f); // the caller's vector is left alone
    const QVVec4 slanted = {1.2f, 1.6f, 0, 0};
    expectNearVec3(QVQuatRotateVector(&identity, &slanted), 0.6f, 0.8f, 0);
    const QVVec3 axis = {0, 0, 1};
    const QVVec4 quarter = QVQuatFromAxisAngle(&axis, static_cast<float>(M_PI / 2));
    const QVVec4 x = {1, 0, 0, 0};
    expectNearVec3(QVQuatRotateVector(&quarter, &x), 0, 1, 0);
}

QVMatrix4 sample() {
    QVMatrix4 m;
    QVMatrixSet(&m, 2, 0, 1, 3, 1, 4, 0, 2, 0, 1, 5, 1, 3, 2, 1, 6);
    return m;
}

TEST(Matrices, MultiplySumsLeftToRight) {
    QVMatrix4 a;
    QVMatrixSet(&a, 4096, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    QVMatrix4 b;
    QVMatrixSet(&b, 4096, 0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1);
    QVMatrixMultiply(&a, &b);
    EXPECT_EQ(a.m[0], 16777216.0f); // 2^24 + 1 + 1 in float
    EXPECT_EQ(a.m[1], 1.0f);
}

TEST(Matrices, MultiplyByItself) {
    QVMatrix4 m = sample();
    QVMatrix4 copy = sample();
    QVMatrixMultiply(&copy, &m);
    QVMatrix4 same = sample();
    QVMatrixMultiply(&same, &same);
    EXPECT_EQ(std::memcmp(&copy, &same, sizeof copy), 0);
}

TEST(Matrices, InverseOfARegularMatrix) {
    const QVMatrix4 m = sample();
    QVMatrix4 inverse;
    ASSERT_TRUE(QVMatrixInvert(&m, &inverse));
    // Reference product in long double: m x inverse is the identity.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            long double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<long double>(m.m[4 * r + k]) * inverse.m[4 * k + c];
            EXPECT_NEAR(static_cast<double>(sum), r == c ? 1.0 : 0.0, 1e-5) << r << "," << c;
        }
    QVMatrix4 inPlace = sample();
    ASSERT_TRUE(QVMatrixInvert(&inPlace, &inPlace));
    EXPECT_EQ(std::memcmp(&inPlace, &inverse, sizeof inverse), 0);
}

TEST(Matrices, SingularMatrixLeavesOutUntouched) {
    QVMatrix4 m = sample();
    m.m[4] = m.m[5] = m.m[6] = m.m[7] = 0;
    EXPECT_EQ(QVMatrixDeterminant(&m), 0.0f);
    QVMatrix4 out;
    QVMatrixSet(&out, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    EXPECT_FALSE(QVMatrixInvert(&m, &out));
    for (float e : out.m)
        EXPECT_EQ(e, 9.0f);
}

TEST(Matrices, DeterminantMatchesAReference) {
    const QVMatrix4 m = sample();
    // Integers small enough that every term is exact: expanded by minors in exact arithmetic, 53.
    EXPECT_EQ(QVMatrixDeterminant(&m), 53.0f);
    QVMatrix4 identity;
    QVMatrixIdentity(&identity);
    EXPECT_EQ(QVMatrixDeterminant(&identity), 1.0f);
}

TEST(Matrices, TranslateRotateScaleAndTransform) {
    QVMatrix4 m;
    QVMatrixIdentity(&m);
    QVMatrixScale(2, 3, 4, &m);
    QVMatrixTranslate(10, 20, 30, &m);
    expectVec3(QVMatrixTransformPoint({1, 1, 1}, &m), 12, 23, 34);
    const QVVec4 direction = QVMatrixTransformVec4({1, 1, 1, 0}, &m);
    EXPECT_EQ(direction.x, 2.0f);
    EXPECT_EQ(direction.w, 0.0f);
    QVMatrixIdentity(&m);
    QVMatrixRotate(static_cast<float>(M_PI / 2), 0, 0, 1, &m);
    // Row vectors: x turns towards -y with the stated element layout (row 0 is (c, -s, 0)).
    expectNearVec3(QVMatrixTransformPoint({1, 0, 0}, &m), 0, -1, 0);
    QVMatrix4 t;
    QVMatrixTranspose(&m, &t);
    EXPECT_EQ(t.m[1], m.m[4]);
    float upper[9];
    QVMatrixUpper3x3(&m, upper);
    EXPECT_EQ(upper[3], m.m[4]);
    EXPECT_EQ(upper[8], m.m[10]);
}

// Triangle in the plane z = 0 with (B - A) x (C - A) = (0, 0, 4).
const float kTriangle[9] = {0, 0, 0, 2, 0, 0, 0, 2, 0};

TEST(RayTriangle, ParallelOrAgainstTheNormalWritesNothing) {
    float t = -7;
    QVVec3 hit = {9, 9, 9}, normal = {9, 9, 9};
    EXPECT_FALSE(QVRayTriangle({0.5f, 0.5f, -1}, {1, 0, 0}, kTriangle, &t, &hit, &normal));
    EXPECT_FALSE(QVRayTriangle({0.5f, 0.5f, 1}, {0, 0, -1}, kTriangle, &t, &hit, &normal));
    EXPECT_EQ(t, -7.0f);
    expectVec3(hit, 9, 9, 9);
    expectVec3(normal, 9, 9, 9);
}

TEST(RayTriangle, RayThroughTheMiddle) {
    float t = 0;
    QVVec3 hit, normal;
    ASSERT_TRUE(QVRayTriangle({0.5f, 0.5f, -4}, {0, 0, 2}, kTriangle, &t, &hit, &normal));
    EXPECT_EQ(t, 2.0f); // in units of |d|
    expectVec3(hit, 0.5f, 0.5f, 0);
    expectVec3(normal, 0, 0, 1);
    EXPECT_TRUE(QVRayTriangle({0.5f, 0.5f, -4}, {0, 0, 2}, kTriangle, &t, nullptr, &normal));
}

TEST(RayTriangle, MissWritesTOnly) {
    float t = 0;
    QVVec3 hit = {9, 9, 9};
    EXPECT_FALSE(QVRayTriangle({3, 3, -1}, {0, 0, 1}, kTriangle, &t, &hit, nullptr));
    EXPECT_EQ(t, 1.0f);
    expectVec3(hit, 9, 9, 9);
}

TEST(RayPlacedTriangle, AnglesSummingToZeroDoNotTurn) {
    float result = 0;
    QVVec3 hit;
    // Scaled by 2 and moved by (0, -15, -10): the ray at x = y + 15 = 1 meets it at z = -10.
    ASSERT_TRUE(QVRayPlacedTriangle({1, -14, -20}, {0, 0, 1}, {0, -15, -10}, 2.0f, {10, -10, 0},
                                    kTriangle, &result, &hit));
    expectVec3(hit, 1, -14, -10);
    EXPECT_EQ(result, std::sqrt(1.0f + 1.0f + 25.0f)); // from (0, -15, -15)
}

TEST(RayPlacedTriangle, TurnedTriangleAndAMiss) {
    float result = 0;
    // Turned 180 degrees about z, the triangle spans x, y in [-4, 0]; the ray at (1, 1) misses.
    EXPECT_FALSE(QVRayPlacedTriangle({1, 1, -5}, {0, 0, 1}, {0, 0, 0}, 2.0f, {0, 0, 180}, kTriangle,
                                     &result, nullptr));
    EXPECT_EQ(result, 5.0f); // t stays
    EXPECT_TRUE(QVRayPlacedTriangle({-1, -1, -5}, {0, 0, 1}, {0, 0, 0}, 2.0f, {0, 0, 180},
                                    kTriangle, &result, nullptr));
}

} // namespace
