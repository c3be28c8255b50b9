#include "utility/QVMath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

bool isTextEnd(char c) {
    return c == 0 || c == 1 || c == '\n';
}

double toRadians(double degrees) {
    return degrees * QVPi / 180.0;
}
double toDegrees(double radians) {
    return radians * 180.0 / QVPi;
}

// One turn of QVVec3RotateEuler in the plane (u, v), where u is the cosine axis: the angle is
// measured with atan2(v, u), so a turn about x passes (z, y), about y (x, z), about z (x, y).
void turnInPlane(float& u, float& v, float degrees) {
    const float phi = static_cast<float>(toDegrees(std::atan2(static_cast<double>(v), u)));
    const float rho = std::sqrt(v * v + u * u); // a sum of two rounds alike in either order
    const float turned = static_cast<float>(toRadians(phi + degrees));
    u = std::cos(turned) * rho;
    v = std::sin(turned) * rho;
}

// Whether v truncated to an integer is above 0, without the undefined conversion of a NaN or of
// a value beyond int.
bool truncatesAboveZero(float v) {
    return v >= 1.0f;
}

// The sign rule shared by QVNormalFromEdges and QVNormalFromPoints.
float modeSign(int mode, float cy) {
    const bool up = truncatesAboveZero(cy);
    if (mode == 0) return 1.0f;
    if (mode == -1) return up ? -1.0f : 1.0f;
    return up ? 1.0f : -1.0f;
}

QVVec3 toVec3(QVShortPoint3 p) {
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

QVVec3 unitTimes(QVVec3 c, float length, float sign) {
    return {c.x / length * sign, c.y / length * sign, c.z / length * sign};
}

} // namespace

void QVSwapInt(int* a, int* b) {
    std::swap(*a, *b);
}
void QVSwapFloat(float* a, float* b) {
    std::swap(*a, *b);
}
void QVSwapDouble(double* a, double* b) {
    std::swap(*a, *b);
}
void QVSwapChar(char* a, char* b) {
    std::swap(*a, *b);
}
void QVSwapBool(bool* a, bool* b) {
    std::swap(*a, *b);
}
void QVSwapVec2(QVVec2* a, QVVec2* b) {
    std::swap(*a, *b);
}

bool QVSwapText(char* a, std::size_t aSize, char* b, std::size_t bSize) {
    for (std::size_t i = 0; i < aSize && i < bSize; ++i) {
        if (isTextEnd(a[i]) && isTextEnd(b[i])) return true;
        std::swap(a[i], b[i]);
    }
    return false;
}

void QVSwapFloat3(float* a, float* b) {
    std::swap_ranges(a, a + 3, b);
}
void QVSwapFloat4(float* a, float* b) {
    std::swap_ranges(a, a + 4, b);
}
void QVSwapFloat5(float* a, float* b) {
    std::swap_ranges(a, a + 5, b);
}

float QVClampFloat(float value, float low, float high) {
    if (value < low) return low;
    return value < high ? value : high;
}

int QVClampInt(int value, int low, int high) {
    if (value < low) return low;
    return value < high ? value : high;
}

float QVMin2(int a, int b) {
    return static_cast<float>(std::min(a, b));
}
float QVMin3(int a, int b, int c) {
    return static_cast<float>(std::min({a, b, c}));
}
float QVMin4(int a, int b, int c, int d) {
    return static_cast<float>(std::min({a, b, c, d}));
}
float QVMax2(int a, int b) {
    return static_cast<float>(std::max(a, b));
}
float QVMax3(int a, int b, int c) {
    return static_cast<float>(std::max({a, b, c}));
}
float QVMax4(int a, int b, int c, int d) {
    return static_cast<float>(std::max({a, b, c, d}));
}

float QVAngleDistance(float a, float b) {
    const float wrappedA = std::fmod(a + 7200.0f, 360.0f);
    const float wrappedB = std::fmod(7200.0f + b, 360.0f);
    float d = wrappedA - wrappedB;
    if (d < 0.0f) d += 360.0f;
    return d > 180.0f ? 360.0f - d : d;
}

float QVAngleDifference(float a, float b) {
    const float wrappedA = std::fmod(a + 7200.0f, 360.0f);
    const float wrappedB = std::fmod(7200.0f + b, 360.0f);
    const float d = wrappedA - wrappedB;
    if (d > 180.0f) return d - 360.0f;
    if (d < -180.0f) return d + 360.0f;
    return d;
}

QVVec2 QVVec2Make(float x, float y) {
    return {x, y};
}
QVVec3 QVVec3Make(float x, float y, float z) {
    return {x, y, z};
}
QVVec2 QVVec2Zero() {
    return {0.0f, 0.0f};
}
QVVec3 QVVec3Zero() {
    return {0.0f, 0.0f, 0.0f};
}
QVVec3 QVVec3One() {
    return {1.0f, 1.0f, 1.0f};
}
QVVec3 QVVec3Add(QVVec3 a, QVVec3 b) {
    return a + b;
}
QVVec3 QVVec3Sub(QVVec3 a, QVVec3 b) {
    return a - b;
}
QVVec3 QVVec3Negate(QVVec3 v) {
    return {-v.x, -v.y, -v.z};
}
QVVec3 QVVec3Scale(QVVec3 v, float s) {
    return v * s;
}
float QVVec2Dot(QVVec2 a, QVVec2 b) {
    return a.x * b.x + a.y * b.y;
}
float QVVec3Dot(QVVec3 a, QVVec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

QVVec3 QVVec3Cross(QVVec3 a, QVVec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float QVVec2LengthSquared(QVVec2 v) {
    return v.x * v.x + v.y * v.y;
}
float QVVec3LengthSquared(QVVec3 v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}
float QVVec2Length(QVVec2 v) {
    return std::sqrt(QVVec2LengthSquared(v));
}
float QVVec3Length(QVVec3 v) {
    return std::sqrt(QVVec3LengthSquared(v));
}

QVVec2 QVVec2Normalize(QVVec2 v) {
    const float length = QVVec2Length(v);
    if (length > 0.0f) return {v.x / length, v.y / length};
    return v;
}

QVVec3 QVVec3Normalize(QVVec3 v) {
    const float length = QVVec3Length(v);
    if (length > 0.0f) return {v.x / length, v.y / length, v.z / length};
    return v;
}

float QVVec2Distance(QVVec2 a, QVVec2 b) {
    return QVVec2Length(a - b);
}
float QVVec3Distance(QVVec3 a, QVVec3 b) {
    return QVVec3Length(a - b);
}
float QVVec2DistanceSquared(QVVec2 a, QVVec2 b) {
    return QVVec2LengthSquared(a - b);
}
float QVVec3DistanceSquared(QVVec3 a, QVVec3 b) {
    return QVVec3LengthSquared(a - b);
}

float QVDistance2(float x1, float y1, float x2, float y2) {
    return std::sqrt(QVDistance2Squared(x1, y1, x2, y2));
}

float QVDistance2Squared(float x1, float y1, float x2, float y2) {
    const float dx = x1 - x2;
    const float dy = y1 - y2;
    return dx * dx + dy * dy;
}

float QVVec3CosAngle(QVVec3 a, QVVec3 b) {
    return QVVec3Dot(QVVec3Normalize(a), QVVec3Normalize(b));
}

QVVec3 QVVec3RotateEuler(QVVec3 v, QVVec3 angles) {
    if (std::fabs(static_cast<double>(angles.x)) > 0.01) turnInPlane(v.z, v.y, angles.x);
    if (std::fabs(static_cast<double>(angles.y)) > 0.01) turnInPlane(v.x, v.z, angles.y);
    if (std::fabs(static_cast<double>(angles.z)) > 0.01) turnInPlane(v.x, v.y, angles.z);
    return v;
}

QVVec3 QVVec3Unfinished(QVVec3 v) {
    std::puts("NOT DONE YET");
    return v;
}

QVVec3 QVNormalFromEdges(int mode, QVVec3 a, QVVec3 b) {
    const QVVec3 c = QVVec3Cross(a, b);
    return unitTimes(c, QVVec3Length(c), modeSign(mode, c.y));
}

QVVec3 QVNormalTowards(QVVec3 a, QVVec3 b, QVVec3 r) {
    const QVVec3 c = QVVec3Cross(a, b);
    const float rs[3] = {r.x, r.y, r.z};
    const float cs[3] = {c.x, c.y, c.z};
    float sign = 1.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const double ra = rs[axis];
        const double ca = cs[axis];
        if ((ra < -0.99 && ca > 0.0) || (ra > 0.99 && ca < 0.0)) sign = -1.0f;
    }
    return unitTimes(c, QVVec3Length(c), sign);
}

QVVec3 QVNormalFromShortPoints(QVShortPoint3 p1, QVShortPoint3 p2, QVShortPoint3 p3) {
    const QVVec3 a = toVec3(p1);
    const QVVec3 c = QVVec3Cross(a - toVec3(p2), a - toVec3(p3));
    const float length = QVVec3Length(c);
    if (static_cast<double>(length) < 1e-5) return QVVec3Zero();
    return unitTimes(c, length, truncatesAboveZero(c.y) ? 1.0f : -1.0f);
}

QVVec3 QVNormalFromPoints(int mode, QVVec3 p1, QVVec3 p2, QVVec3 p3) {
    const QVVec3 c = QVVec3Cross(p1 - p2, p1 - p3);
    const float length = QVVec3Length(c);
    if (static_cast<double>(length) < 1e-5) return QVVec3Zero();
    return unitTimes(c, length, modeSign(mode, c.y));
}

QVVec2 QVVec2Copy(QVVec2 v) {
    return v;
}
QVVec3 QVVec3Copy(QVVec3 v) {
    return v;
}
QVVec3 QVVec2ToVec3(QVVec2 v) {
    return {v.x, v.y, 0.0f};
}
QVVec4 QVVec2ToVec4(QVVec2 v) {
    return {v.x, v.y, 0.0f, 0.0f};
}
QVVec4 QVVec3ToVec4(QVVec3 v) {
    return {v.x, v.y, v.z, 0.0f};
}
QVVec4 QVFloat5ToVec4(const float* record) {
    return {record[0], record[1], record[2], record[4]};
}
QVVec2 QVVec3XY(QVVec3 v) {
    return {v.x, v.y};
}
QVVec2 QVVec3XZ(QVVec3 v) {
    return {v.x, v.z};
}
QVVec2 QVVec3YZ(QVVec3 v) {
    return {v.y, v.z};
}
