#include "utility/QVMath.h"

#include <cmath>

namespace {

QVVec3 vertex(const float* triangle, int i) {
    return {triangle[3 * i], triangle[3 * i + 1], triangle[3 * i + 2]};
}

// P lies inside the triangle when the angles A-P-B, B-P-C and A-P-C add up to a full turn.
// A point on an edge or vertex is at the tolerance's mercy.
bool anglesCloseAround(QVVec3 a, QVVec3 b, QVVec3 c, QVVec3 p) {
    const QVVec3 a1 = QVVec3Normalize(a - p);
    const QVVec3 a2 = QVVec3Normalize(b - p);
    const QVVec3 a3 = QVVec3Normalize(c - p);
    const float sum =
        std::acos(QVVec3Dot(a1, a2)) + std::acos(QVVec3Dot(a2, a3)) + std::acos(QVVec3Dot(a1, a3));
    const float off = static_cast<float>(static_cast<double>(sum) - 2.0 * QVPi);
    return static_cast<double>(std::fabs(off)) < 0.01;
}

} // namespace

bool QVRayTriangle(QVVec3 o, QVVec3 d, const float* triangle, float* t, QVVec3* hit,
                   QVVec3* normal) {
    const QVVec3 a = vertex(triangle, 0);
    const QVVec3 b = vertex(triangle, 1);
    const QVVec3 c = vertex(triangle, 2);
    const QVVec3 n = QVVec3Cross(b - a, c - a);
    const float denominator = QVVec3Dot(n, d);
    if (!(denominator > 0.0f)) return false;
    const float along = -QVVec3Dot(n, o - a) / denominator;
    *t = along;
    const QVVec3 p = o + d * along;
    if (!anglesCloseAround(a, b, c, p)) return false;
    if (hit != nullptr) *hit = p;
    if (normal != nullptr) *normal = QVVec3Normalize(n);
    return true;
}

bool QVRayPlacedTriangle(QVVec3 o, QVVec3 d, QVVec3 position, float scale, QVVec3 angles,
                         const float* triangle, float* result, QVVec3* hit) {
    const bool turn = std::fabs(static_cast<double>(angles.x + angles.y + angles.z)) > 0.01;
    QVVec3 placed[3];
    for (int i = 0; i < 3; ++i) {
        QVVec3 v = vertex(triangle, i);
        if (turn) v = QVVec3RotateEuler(v, angles);
        placed[i] = v * scale + position;
    }
    const QVVec3 a = placed[0], b = placed[1], c = placed[2];
    const QVVec3 n = QVVec3Cross(b - a, c - a);
    const float along = -QVVec3Dot(n, o - a) / QVVec3Dot(n, d);
    *result = along;
    const QVVec3 p = o + d * along;
    if (!anglesCloseAround(a, b, c, p)) return false;
    // Measured from the fixed point (0, -15, -15), not from the ray origin.
    const float dy = p.y + 15.0f;
    const float dz = p.z + 15.0f;
    *result = std::sqrt(p.x * p.x + dy * dy + dz * dz);
    if (hit != nullptr) *hit = p;
    return true;
}
