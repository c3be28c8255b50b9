#include "utility/QVMath.h"

#include <cmath>

namespace {

// The library's sines and cosines of half angles run in double and are rounded once.
float sinDouble(float a) {
    return static_cast<float>(std::sin(static_cast<double>(a)));
}
float cosDouble(float a) {
    return static_cast<float>(std::cos(static_cast<double>(a)));
}

float halfAngleRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * QVPi / 180.0 * 0.5);
}

} // namespace

QVVec4 QVVec4Make(float x, float y, float z, float w) {
    return {x, y, z, w};
}
QVVec4 QVVec4Zero() {
    return {0.0f, 0.0f, 0.0f, 0.0f};
}
QVVec4 QVVec4One() {
    return {1.0f, 1.0f, 1.0f, 1.0f};
}
float QVVec4Dot(QVVec4 a, QVVec4 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
QVVec4 QVVec4Multiply(QVVec4 a, QVVec4 b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w};
}

QVVec4 QVVec4Normalize(QVVec4 v) {
    const float length = std::sqrt(QVVec4Dot(v, v));
    if (length > 0.0f) return {v.x / length, v.y / length, v.z / length, v.w / length};
    return v;
}

void QVQuatNormalize(QVVec4* q) {
    const float l = q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w;
    const bool offUnit =
        static_cast<double>(std::fabs(l - 1.0f)) > static_cast<double>(QVQuatTolerance);
    if (l == 0.0f || !offUnit) return;
    const float length = std::sqrt(l);
    q->x /= length;
    q->y /= length;
    q->z /= length;
    q->w /= length;
}

void QVQuatConjugate(QVVec4* q) {
    q->x = -q->x;
    q->y = -q->y;
    q->z = -q->z;
}

QVVec4 QVQuatMultiply(const QVVec4* a, const QVVec4* b) {
    return {a->x * b->w + a->w * b->x + a->y * b->z - a->z * b->y,
            a->y * b->w + a->w * b->y + a->z * b->x - a->x * b->z,
            a->z * b->w + a->w * b->z + a->x * b->y - a->y * b->x,
            a->w * b->w - a->x * b->x - a->y * b->y - a->z * b->z};
}

QVVec4 QVQuatFromAxisAngle(const QVVec3* axis, float angle) {
    const float h = angle * 0.5f;
    const QVVec3 unit = QVVec3Normalize(*axis);
    const float sigma = sinDouble(h);
    return {unit.x * sigma, unit.y * sigma, unit.z * sigma, cosDouble(h)};
}

QVVec4 QVQuatFromEuler(float x, float y, float z) {
    const float hx = halfAngleRadians(x);
    const float hy = halfAngleRadians(y);
    const float hz = halfAngleRadians(z);
    const float sx = sinDouble(hx), cx = cosDouble(hx);
    const float sy = sinDouble(hy), cy = cosDouble(hy);
    const float sz = sinDouble(hz), cz = cosDouble(hz);
    QVVec4 q = {sz * cx * cy - cz * sx * sy, cz * sx * cy + sz * cx * sy,
                cz * cx * sy - sz * sx * cy, cz * cx * cy + sz * sx * sy};
    QVQuatNormalize(&q);
    return q;
}

void QVQuatToMatrix(const QVVec4* q, QVMatrix4* m) {
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    float* e = m->m;
    e[0] = 1.0f - 2.0f * (y * y + z * z);
    e[1] = 2.0f * (x * y - w * z);
    e[2] = 2.0f * (x * z + w * y);
    e[3] = 0.0f;
    e[4] = 2.0f * (x * y + w * z);
    e[5] = 1.0f - 2.0f * (x * x + z * z);
    e[6] = 2.0f * (y * z - w * x);
    e[7] = 0.0f;
    e[8] = 2.0f * (x * z - w * y);
    e[9] = 2.0f * (y * z + w * x);
    e[10] = 1.0f - 2.0f * (x * x + y * y);
    e[11] = 0.0f;
    e[12] = 0.0f;
    e[13] = 0.0f;
    e[14] = 0.0f;
    e[15] = 1.0f;
}

QVAxisAngle* QVAxisAngleBetween(QVVec3 a, QVVec3 b, QVAxisAngle* out) {
    if (static_cast<double>(QVVec3LengthSquared(b)) < 0.001) b = QVVec3One();
    const float lengthA = QVVec3Length(a);
    const QVVec3 axis = QVVec3Normalize(QVVec3Cross(a, b));
    out->axisX = axis.x;
    out->axisY = axis.y;
    out->axisZ = axis.z;
    out->angle = std::acos(QVVec3Dot(a, b) / (QVVec3Length(b) * lengthA));
    out->length = lengthA;
    return out;
}

QVVec3 QVQuatRotateVector(const QVVec4* q, const QVVec4* v) {
    QVVec4 u = *v;
    QVQuatNormalize(&u);
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    return {u.x * (w * w + x * x - y * y - z * z) + 2.0f * u.y * (x * y - w * z) +
                2.0f * u.z * (x * z + w * y),
            2.0f * u.x * (x * y + w * z) + u.y * (w * w - x * x + y * y - z * z) +
                2.0f * u.z * (y * z - w * x),
            2.0f * u.x * (x * z - w * y) + 2.0f * u.y * (y * z + w * x) +
                u.z * (w * w - x * x - y * y + z * z)};
}
