#include "utility/QVMath.h"

#include <cmath>

namespace {

// The 16 adjugate elements, each the classical cofactor expansion written out term by term, so
// that the rounding of every element is fixed.
void adjugate(const float* e, float* a) {
    const float m00 = e[0], m01 = e[1], m02 = e[2], m03 = e[3];
    const float m10 = e[4], m11 = e[5], m12 = e[6], m13 = e[7];
    const float m20 = e[8], m21 = e[9], m22 = e[10], m23 = e[11];
    const float m30 = e[12], m31 = e[13], m32 = e[14], m33 = e[15];
    a[0] = m12 * m23 * m31 - m13 * m22 * m31 + m13 * m21 * m32 - m11 * m23 * m32 - m12 * m21 * m33 +
           m11 * m22 * m33;
    a[1] = m03 * m22 * m31 - m02 * m23 * m31 - m03 * m21 * m32 + m01 * m23 * m32 + m02 * m21 * m33 -
           m01 * m22 * m33;
    a[2] = m02 * m13 * m31 - m03 * m12 * m31 + m03 * m11 * m32 - m01 * m13 * m32 - m02 * m11 * m33 +
           m01 * m12 * m33;
    a[3] = m03 * m12 * m21 - m02 * m13 * m21 - m03 * m11 * m22 + m01 * m13 * m22 + m02 * m11 * m23 -
           m01 * m12 * m23;
    a[4] = m13 * m22 * m30 - m12 * m23 * m30 - m13 * m20 * m32 + m10 * m23 * m32 + m12 * m20 * m33 -
           m10 * m22 * m33;
    a[5] = m02 * m23 * m30 - m03 * m22 * m30 + m03 * m20 * m32 - m00 * m23 * m32 - m02 * m20 * m33 +
           m00 * m22 * m33;
    a[6] = m03 * m12 * m30 - m02 * m13 * m30 - m03 * m10 * m32 + m00 * m13 * m32 + m02 * m10 * m33 -
           m00 * m12 * m33;
    a[7] = m02 * m13 * m20 - m03 * m12 * m20 + m03 * m10 * m22 - m00 * m13 * m22 - m02 * m10 * m23 +
           m00 * m12 * m23;
    a[8] = m11 * m23 * m30 - m13 * m21 * m30 + m13 * m20 * m31 - m10 * m23 * m31 - m11 * m20 * m33 +
           m10 * m21 * m33;
    a[9] = m03 * m21 * m30 - m01 * m23 * m30 - m03 * m20 * m31 + m00 * m23 * m31 + m01 * m20 * m33 -
           m00 * m21 * m33;
    a[10] = m01 * m13 * m30 - m03 * m11 * m30 + m03 * m10 * m31 - m00 * m13 * m31 -
            m01 * m10 * m33 + m00 * m11 * m33;
    a[11] = m03 * m11 * m20 - m01 * m13 * m20 - m03 * m10 * m21 + m00 * m13 * m21 +
            m01 * m10 * m23 - m00 * m11 * m23;
    a[12] = m12 * m21 * m30 - m11 * m22 * m30 - m12 * m20 * m31 + m10 * m22 * m31 +
            m11 * m20 * m32 - m10 * m21 * m32;
    a[13] = m01 * m22 * m30 - m02 * m21 * m30 + m02 * m20 * m31 - m00 * m22 * m31 -
            m01 * m20 * m32 + m00 * m21 * m32;
    a[14] = m02 * m11 * m30 - m01 * m12 * m30 - m02 * m10 * m31 + m00 * m12 * m31 +
            m01 * m10 * m32 - m00 * m11 * m32;
    a[15] = m01 * m12 * m20 - m02 * m11 * m20 + m02 * m10 * m21 - m00 * m12 * m21 -
            m01 * m10 * m22 + m00 * m11 * m22;
}

} // namespace

void QVMatrixSet(QVMatrix4* m, float m0, float m1, float m2, float m3, float m4, float m5, float m6,
                 float m7, float m8, float m9, float m10, float m11, float m12, float m13,
                 float m14, float m15) {
    *m = {{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15}};
}

void QVMatrixIdentity(QVMatrix4* m) {
    *m = {{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
           1.0f}};
}

void QVMatrixCopy(QVMatrix4* destination, const QVMatrix4* source) {
    *destination = *source;
}

void QVMatrixTranspose(const QVMatrix4* source, QVMatrix4* destination) {
    const QVMatrix4 s = *source;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            destination->m[4 * r + c] = s.m[4 * c + r];
}

void QVMatrixUpper3x3(const QVMatrix4* source, float* destination) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            destination[3 * r + c] = source->m[4 * r + c];
}

QVVec4 QVMatrixTransformVec4(QVVec4 v, const QVMatrix4* m) {
    const float* e = m->m;
    return {v.x * e[0] + v.y * e[4] + v.z * e[8] + v.w * e[12],
            v.x * e[1] + v.y * e[5] + v.z * e[9] + v.w * e[13],
            v.x * e[2] + v.y * e[6] + v.z * e[10] + v.w * e[14],
            v.x * e[3] + v.y * e[7] + v.z * e[11] + v.w * e[15]};
}

QVVec3 QVMatrixTransformPoint(QVVec3 p, const QVMatrix4* m) {
    const QVVec4 v = QVMatrixTransformVec4({p.x, p.y, p.z, 1.0f}, m);
    return {v.x, v.y, v.z};
}

void QVMatrixMultiply(QVMatrix4* a, const QVMatrix4* b) {
    // Both operands are read from copies, so b may be a itself.
    const QVMatrix4 s = *a;
    const QVMatrix4 t = *b;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            a->m[4 * r + c] = s.m[4 * r] * t.m[c] + s.m[4 * r + 1] * t.m[4 + c] +
                              s.m[4 * r + 2] * t.m[8 + c] + s.m[4 * r + 3] * t.m[12 + c];
}

float QVMatrixDeterminant(const QVMatrix4* m) {
    const float* e = m->m;
    const float m00 = e[0], m01 = e[1], m02 = e[2], m03 = e[3];
    const float m10 = e[4], m11 = e[5], m12 = e[6], m13 = e[7];
    const float m20 = e[8], m21 = e[9], m22 = e[10], m23 = e[11];
    const float m30 = e[12], m31 = e[13], m32 = e[14], m33 = e[15];
    return m03 * m12 * m21 * m30 - m02 * m13 * m21 * m30 - m03 * m11 * m22 * m30 +
           m01 * m13 * m22 * m30 + m02 * m11 * m23 * m30 - m01 * m12 * m23 * m30 -
           m03 * m12 * m20 * m31 + m02 * m13 * m20 * m31 + m03 * m10 * m22 * m31 -
           m00 * m13 * m22 * m31 - m02 * m10 * m23 * m31 + m00 * m12 * m23 * m31 +
           m03 * m11 * m20 * m32 - m01 * m13 * m20 * m32 - m03 * m10 * m21 * m32 +
           m00 * m13 * m21 * m32 + m01 * m10 * m23 * m32 - m00 * m11 * m23 * m32 -
           m02 * m11 * m20 * m33 + m01 * m12 * m20 * m33 + m02 * m10 * m21 * m33 -
           m00 * m12 * m21 * m33 - m01 * m10 * m22 * m33 + m00 * m11 * m22 * m33;
}

bool QVMatrixInvert(const QVMatrix4* m, QVMatrix4* out) {
    const float determinant = QVMatrixDeterminant(m);
    if (determinant == 0.0f) return false;
    float a[16];
    adjugate(m->m, a);
    for (int i = 0; i < 16; ++i)
        out->m[i] = a[i] / determinant;
    return true;
}

void QVMatrixTranslate(float x, float y, float z, QVMatrix4* m) {
    const float t[3] = {x, y, z};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            m->m[4 * r + c] += m->m[4 * r + 3] * t[c];
}

void QVMatrixRotate(float angle, float x, float y, float z, QVMatrix4* m) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1.0f - c;
    const QVMatrix4 rotation = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0.0f,
                                 t * x * y + s * z, t * y * y + c, t * y * z - s * x, 0.0f,
                                 t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0.0f, 0.0f,
                                 0.0f, 0.0f, 1.0f}};
    QVMatrixMultiply(m, &rotation);
}

void QVMatrixScale(float x, float y, float z, QVMatrix4* m) {
    const QVMatrix4 scale = {
        {x, 0.0f, 0.0f, 0.0f, 0.0f, y, 0.0f, 0.0f, 0.0f, 0.0f, z, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f}};
    QVMatrixMultiply(m, &scale);
}
