#pragma once
// Single-precision geometry of the utility library: vectors, quaternions, 4 x 4 matrices,
// normals, ray-triangle tests, angle wrap-around, clamps, minima, maxima and swaps.
//
// Every result is fixed down to the last bit: arithmetic runs in float, left to right, except
// where a contract says double. Build these sources without floating-point contraction (no
// -ffp-contract=fast with FMA targets, no -ffast-math) or results drift by an ulp.
//
// Nothing here keeps state between calls, so every function is safe on any thread.

#include <cstddef>
#include <cstdint>

struct QVVec2 {
    float x, y;
};

struct QVVec3 {
    float x, y, z;
};

// As a quaternion, x, y, z is the vector part and w the scalar part.
struct QVVec4 {
    float x, y, z, w;
};

struct QVShortPoint3 {
    std::int16_t x, y, z;
};

// Row r, column c at index 4r + c. Vectors are rows multiplied on the left (v x M), so the
// translation sits in elements 12, 13, 14.
struct QVMatrix4 {
    float m[16];
};

struct QVAxisAngle {
    float axisX, axisY, axisZ;
    float angle; // radians
    float length;
};

// Pi to seven decimals: every angle result is fixed by this value. Degree conversions use it
// in double.
inline constexpr double QVPi = 3.1415926;
inline constexpr float QVQuatTolerance = 1e-5f;

// ---- Swaps, clamps, minima and maxima ----

void QVSwapInt(int* a, int* b);
void QVSwapFloat(float* a, float* b);
void QVSwapDouble(double* a, double* b);
void QVSwapChar(char* a, char* b);
void QVSwapBool(bool* a, bool* b);
// Exchanges two texts byte by byte. Bytes 0, 1 and 10 count as ends; the walk stops at the first
// position where both bytes are ends (those two stay), and otherwise swaps, also past the end of
// the shorter text. It never touches a byte at or beyond either buffer size; true when it stopped
// at a shared end, false when a buffer ran out first (the texts are then only partly exchanged).
bool QVSwapText(char* a, std::size_t aSize, char* b, std::size_t bSize);
void QVSwapVec2(QVVec2* a, QVVec2* b);
// Exchange arrays of 3, 4 or 5 floats element by element.
void QVSwapFloat3(float* a, float* b);
void QVSwapFloat4(float* a, float* b);
void QVSwapFloat5(float* a, float* b);

// low if value < low, otherwise the smaller of value and high (so low wins when low > high only
// for values below it).
float QVClampFloat(float value, float low, float high);
int QVClampInt(int value, int low, int high);
// Smallest or largest of the ints, as a float.
float QVMin2(int a, int b);
float QVMin3(int a, int b, int c);
float QVMin4(int a, int b, int c, int d);
float QVMax2(int a, int b);
float QVMax3(int a, int b, int c);
float QVMax4(int a, int b, int c, int d);

// ---- Angles in degrees; both wrap through fmodf(angle + 7200, 360), so keep angles >= -7200 ----

// Unsigned distance between the two directions, 0 to 180.
float QVAngleDistance(float a, float b);
// Signed difference a - b, -180 to 180.
float QVAngleDifference(float a, float b);

// ---- Two- and three-component vectors ----

QVVec2 QVVec2Make(float x, float y);
QVVec3 QVVec3Make(float x, float y, float z);
QVVec2 QVVec2Zero();
QVVec3 QVVec3Zero();
QVVec3 QVVec3One();
QVVec3 QVVec3Add(QVVec3 a, QVVec3 b);
QVVec3 QVVec3Sub(QVVec3 a, QVVec3 b);
QVVec3 QVVec3Negate(QVVec3 v);
QVVec3 QVVec3Scale(QVVec3 v, float s);
float QVVec2Dot(QVVec2 a, QVVec2 b);
float QVVec3Dot(QVVec3 a, QVVec3 b);
// (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x)
QVVec3 QVVec3Cross(QVVec3 a, QVVec3 b);
float QVVec2Length(QVVec2 v);
float QVVec3Length(QVVec3 v);
float QVVec2LengthSquared(QVVec2 v);
float QVVec3LengthSquared(QVVec3 v);
// v divided by its length when that is greater than 0; otherwise v unchanged.
QVVec2 QVVec2Normalize(QVVec2 v);
QVVec3 QVVec3Normalize(QVVec3 v);
float QVVec2Distance(QVVec2 a, QVVec2 b);
float QVVec3Distance(QVVec3 a, QVVec3 b);
float QVVec2DistanceSquared(QVVec2 a, QVVec2 b);
float QVVec3DistanceSquared(QVVec3 a, QVVec3 b);
float QVDistance2(float x1, float y1, float x2, float y2);
float QVDistance2Squared(float x1, float y1, float x2, float y2);
// Dot product of the two vectors after QVVec3Normalize; 0 when either is zero.
float QVVec3CosAngle(QVVec3 a, QVVec3 b);
// Turns v about x, then y, then z by the angles (degrees) in `angles`; an angle of magnitude
// 0.01 or less is skipped.
QVVec3 QVVec3RotateEuler(QVVec3 v, QVVec3 angles);
// Placeholder kept for callers: prints "NOT DONE YET" on standard output and returns v.
QVVec3 QVVec3Unfinished(QVVec3 v);

// ---- Normals: unit length, or the zero vector where stated ----

// a x b oriented by mode with k = (int)c.y: mode 0 as is; mode -1 flipped when k > 0; any other
// mode flipped unless k > 0. No guard against a zero cross product.
QVVec3 QVNormalFromEdges(int mode, QVVec3 a, QVVec3 b);
// a x b flipped when, on any axis, r is below -0.99 with a positive component or above 0.99 with
// a negative one. No guard against a zero cross product.
QVVec3 QVNormalTowards(QVVec3 a, QVVec3 b, QVVec3 r);
// (p1 - p2) x (p1 - p3) pointing up (flipped unless (int)c.y > 0); zero when degenerate.
QVVec3 QVNormalFromShortPoints(QVShortPoint3 p1, QVShortPoint3 p2, QVShortPoint3 p3);
// (p1 - p2) x (p1 - p3) oriented by mode as QVNormalFromEdges; zero when degenerate.
QVVec3 QVNormalFromPoints(int mode, QVVec3 p1, QVVec3 p2, QVVec3 p3);

// ---- Four-component vectors and quaternions ----

QVVec4 QVVec4Make(float x, float y, float z, float w);
QVVec4 QVVec4Zero();
QVVec4 QVVec4One();
float QVVec4Dot(QVVec4 a, QVVec4 b);
QVVec4 QVVec4Multiply(QVVec4 a, QVVec4 b);
// v divided by its length when that is greater than 0; otherwise v unchanged.
QVVec4 QVVec4Normalize(QVVec4 v);
// Rescales q in place to unit length unless its squared length is 0 or within 1e-5 of 1.
void QVQuatNormalize(QVVec4* q);
// Conjugates q in place: (-x, -y, -z, w).
void QVQuatConjugate(QVVec4* q);
// Hamilton product a (x) b.
QVVec4 QVQuatMultiply(const QVVec4* a, const QVVec4* b);
// Rotation by `angle` radians about the axis (normalized here; the caller's axis is untouched).
QVVec4 QVQuatFromAxisAngle(const QVVec3* axis, float angle);
// Rotation from Euler angles in degrees, normalized under the QVQuatNormalize rule.
QVVec4 QVQuatFromEuler(float x, float y, float z);
// Fills m with the rotation matrix of q (q need not be unit length; it is used as given).
void QVQuatToMatrix(const QVVec4* q, QVMatrix4* m);
// Fills `out` with |a|, the angle between a and b (radians) and the unit axis a x b; a b shorter
// than sqrt(0.001) is measured as (1, 1, 1). Returns `out`.
QVAxisAngle* QVAxisAngleBetween(QVVec3 a, QVVec3 b, QVAxisAngle* out);
// The vector part of v, normalized as a quaternion (QVQuatNormalize rule on a copy), turned by q
// without assuming q has unit length.
QVVec3 QVQuatRotateVector(const QVVec4* q, const QVVec4* v);

// ---- Operators: component by component, a scalar converted to float first ----

inline QVVec2 operator+(QVVec2 a, QVVec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline QVVec2 operator-(QVVec2 a, QVVec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline QVVec2 operator*(QVVec2 v, float s) {
    return {v.x * s, v.y * s};
}
inline QVVec2 operator*(QVVec2 v, int s) {
    return v * static_cast<float>(s);
}
inline QVVec2& operator+=(QVVec2& a, QVVec2 b) {
    return a = a + b;
}
inline QVVec2& operator-=(QVVec2& a, QVVec2 b) {
    return a = a - b;
}
inline QVVec2& operator*=(QVVec2& v, float s) {
    return v = v * s;
}
inline QVVec2& operator*=(QVVec2& v, int s) {
    return v = v * s;
}

inline QVVec3 operator+(QVVec3 a, QVVec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline QVVec3 operator-(QVVec3 a, QVVec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline QVVec3 operator*(QVVec3 v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline QVVec3 operator*(QVVec3 v, double s) {
    return v * static_cast<float>(s);
}
inline QVVec3 operator*(QVVec3 v, int s) {
    return v * static_cast<float>(s);
}
inline QVVec3 operator/(QVVec3 v, float s) {
    return {v.x / s, v.y / s, v.z / s};
}
inline QVVec3 operator/(QVVec3 v, double s) {
    return v / static_cast<float>(s);
}
inline QVVec3 operator/(QVVec3 v, int s) {
    return v / static_cast<float>(s);
}
inline QVVec3& operator+=(QVVec3& a, QVVec3 b) {
    return a = a + b;
}
inline QVVec3& operator-=(QVVec3& a, QVVec3 b) {
    return a = a - b;
}
inline QVVec3& operator*=(QVVec3& v, float s) {
    return v = v * s;
}
inline QVVec3& operator*=(QVVec3& v, double s) {
    return v = v * s;
}
inline QVVec3& operator*=(QVVec3& v, int s) {
    return v = v * s;
}
inline QVVec3& operator/=(QVVec3& v, float s) {
    return v = v / s;
}
inline QVVec3& operator/=(QVVec3& v, double s) {
    return v = v / s;
}
inline QVVec3& operator/=(QVVec3& v, int s) {
    return v = v / s;
}
// Component-wise product and quotient, in place only.
inline QVVec3& operator*=(QVVec3& a, QVVec3 b) {
    return a = {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline QVVec3& operator/=(QVVec3& a, QVVec3 b) {
    return a = {a.x / b.x, a.y / b.y, a.z / b.z};
}

inline QVVec4 operator+(QVVec4 a, QVVec4 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
inline QVVec4 operator-(QVVec4 a, QVVec4 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}
inline QVVec4 operator*(QVVec4 v, float s) {
    return {v.x * s, v.y * s, v.z * s, v.w * s};
}
inline QVVec4 operator*(QVVec4 v, double s) {
    return v * static_cast<float>(s);
}
inline QVVec4 operator*(QVVec4 v, int s) {
    return v * static_cast<float>(s);
}
inline QVVec4 operator/(QVVec4 v, float s) {
    return {v.x / s, v.y / s, v.z / s, v.w / s};
}
inline QVVec4 operator/(QVVec4 v, double s) {
    return v / static_cast<float>(s);
}
inline QVVec4 operator/(QVVec4 v, int s) {
    return v / static_cast<float>(s);
}
inline QVVec4& operator+=(QVVec4& a, QVVec4 b) {
    return a = a + b;
}
inline QVVec4& operator-=(QVVec4& a, QVVec4 b) {
    return a = a - b;
}
inline QVVec4& operator*=(QVVec4& v, float s) {
    return v = v * s;
}
inline QVVec4& operator*=(QVVec4& v, int s) {
    return v = v * s;
}

// The library offers no double forms of these; a double argument would silently pick float or
// int by overload rules, so it is refused outright.
QVVec2 operator*(QVVec2 v, double s) = delete;
QVVec2& operator*=(QVVec2& v, double s) = delete;
QVVec4& operator*=(QVVec4& v, double s) = delete;

// ---- Copies and conversions ----

QVVec2 QVVec2Copy(QVVec2 v);
QVVec3 QVVec3Copy(QVVec3 v);
// (x, y, 0)
QVVec3 QVVec2ToVec3(QVVec2 v);
// (x, y, 0, 0)
QVVec4 QVVec2ToVec4(QVVec2 v);
// (x, y, z, 0)
QVVec4 QVVec3ToVec4(QVVec3 v);
// Elements 0, 1, 2 and 4 of a record of five floats.
QVVec4 QVFloat5ToVec4(const float* record);
// Two components of v as a QVVec2.
QVVec2 QVVec3XY(QVVec3 v);
QVVec2 QVVec3XZ(QVVec3 v);
QVVec2 QVVec3YZ(QVVec3 v);

// ---- Ray-triangle tests; a triangle is 9 floats: A, B, C, each x, y, z ----

// Whether the ray o + t d meets the triangle while travelling along its normal
// (B - A) x (C - A). When that normal faces d (n . d > 0) t is written even if the hit point then
// falls outside; on a hit, `hit` (if not null) gets the point and `normal` (if not null) the unit
// normal. A ray parallel to the plane or against the normal writes nothing.
bool QVRayTriangle(QVVec3 o, QVVec3 d, const float* triangle, float* t, QVVec3* hit,
                   QVVec3* normal);
// The triangle is scaled by `scale`, turned by `angles` (degrees, skipped when
// |angles.x + angles.y + angles.z| <= 0.01) and moved by `position`, then met by o + t d with no
// test of the denominator. `result` gets t; on a hit it gets instead the distance from the hit
// point to (0, -15, -15), and `hit` (if not null) the point.
bool QVRayPlacedTriangle(QVVec3 o, QVVec3 d, QVVec3 position, float scale, QVVec3 angles,
                         const float* triangle, float* result, QVVec3* hit);

// ---- Matrices ----

void QVMatrixSet(QVMatrix4* m, float m0, float m1, float m2, float m3, float m4, float m5, float m6,
                 float m7, float m8, float m9, float m10, float m11, float m12, float m13,
                 float m14, float m15);
void QVMatrixIdentity(QVMatrix4* m);
void QVMatrixCopy(QVMatrix4* destination, const QVMatrix4* source);
// destination[4r + c] = source[4c + r]; the two may be the same matrix.
void QVMatrixTranspose(const QVMatrix4* source, QVMatrix4* destination);
// Rows 0 to 2, columns 0 to 2 of source into nine floats, row by row.
void QVMatrixUpper3x3(const QVMatrix4* source, float* destination);
// v x M.
QVVec4 QVMatrixTransformVec4(QVVec4 v, const QVMatrix4* m);
// The first three components of (p, 1) x M.
QVVec3 QVMatrixTransformPoint(QVVec3 p, const QVMatrix4* m);
// a becomes a x b; b may be a itself.
void QVMatrixMultiply(QVMatrix4* a, const QVMatrix4* b);
float QVMatrixDeterminant(const QVMatrix4* m);
// out = inverse (adjugate divided by the determinant) and true, or false with out untouched when
// the determinant is exactly 0; out may be m itself.
bool QVMatrixInvert(const QVMatrix4* m, QVMatrix4* out);
// m becomes m x T(x, y, z).
void QVMatrixTranslate(float x, float y, float z, QVMatrix4* m);
// m becomes m x R(angle radians, axis x, y, z); the axis is used as given, not normalized.
void QVMatrixRotate(float angle, float x, float y, float z, QVMatrix4* m);
// m becomes m x diag(x, y, z, 1).
void QVMatrixScale(float x, float y, float z, QVMatrix4* m);
