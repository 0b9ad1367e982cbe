#include "kernel/base/Maths.h"

#include "kernel/base/Random.h"

#include <cmath>
#include <cstring>

float* g_NoiseTable = nullptr;

namespace {

constexpr float kNormalizeMin = 1e-12f;
constexpr float kNormalizeMax = 1e14f;
constexpr float kSingularDeterminant = 1e-5f;
constexpr float kAxisEpsilon = 5e-10f;
constexpr float kTraceEpsilon = 1e-8f;
constexpr float kTraceNormalize = 0.002f;
constexpr float kSlerpLinear = 0.01f;
constexpr float kMinUnionVolume = 1e-6f;
constexpr float kBoundsStart = 1e38f;
constexpr float kFaceDistanceStart = 1e11f;
constexpr float kInsidePushMargin = 1.001f;
constexpr float kOutsidePushMargin = 1.002f;

constexpr int kNoiseSize = 4096;

// acos and asin of a vector that could not be normalised would leave their
// domain and give NaN; a clamped argument keeps the angle finite.
float ClampUnit(float v) { return v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v); }

float Component(const Vector3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

void SetComponent(Vector3* v, int axis, float value) {
    if (axis == 0) {
        v->x = value;
    } else if (axis == 1) {
        v->y = value;
    } else {
        v->z = value;
    }
}

float Volume(const Vector3& min, const Vector3& max) { return (max.x - min.x) * (max.y - min.y) * (max.z - min.z); }

// The adjugate in double precision, and the determinant from it.
double Adjugate(const Matrix& src, double adj[4][4]) {
    double a[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) a[r][c] = src.m[r][c];
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double minor[3][3];
            int mr = 0;
            for (int i = 0; i < 4; ++i) {
                if (i == r) continue;
                int mc = 0;
                for (int j = 0; j < 4; ++j) {
                    if (j == c) continue;
                    minor[mr][mc++] = a[i][j];
                }
                ++mr;
            }
            const double cofactor =
                minor[0][0] * (minor[1][1] * minor[2][2] - minor[1][2] * minor[2][1]) -
                minor[0][1] * (minor[1][0] * minor[2][2] - minor[1][2] * minor[2][0]) +
                minor[0][2] * (minor[1][0] * minor[2][1] - minor[1][1] * minor[2][0]);
            // Transposed: the cofactor of (r, c) lands at (c, r).
            adj[c][r] = ((r + c) & 1) ? -cofactor : cofactor;
        }
    }
    return a[0][0] * adj[0][0] + a[0][1] * adj[1][0] + a[0][2] * adj[2][0] + a[0][3] * adj[3][0];
}

void BuildNoiseTable() {
    g_NoiseTable = new float[kNoiseSize + 1];
    for (int k = 0; k < kNoiseSize; ++k) {
        g_NoiseTable[k] = static_cast<float>(Random_Next() & 2047) / 1024.0f - 1.0f;
    }
    g_NoiseTable[kNoiseSize] = g_NoiseTable[0];
}

}  // namespace

float Vec3_Length(const Vector3& v) { return std::sqrt(Vec3_LengthSq(v)); }

Vector3* Vec3_Minimize(Vector3* out, const Vector3& a, const Vector3& b) {
    *out = Vector3(a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z);
    return out;
}

Vector3* Vec3_Maximize(Vector3* out, const Vector3& a, const Vector3& b) {
    *out = Vector3(a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z);
    return out;
}

Vector3* Vec3_Lerp(Vector3* out, const Vector3& a, const Vector3& b, float t) {
    *out = Vector3(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t);
    return out;
}

Vector4* Vec4_Lerp(Vector4* out, const Vector4& a, const Vector4& b, float t) {
    *out = Vector4{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
    return out;
}

Vector3* Vec3_Normalize(Vector3* out, const Vector3& v) {
    const float length = Vec3_Length(v);
    if (length >= kNormalizeMin && length <= kNormalizeMax) {
        *out = Vector3(v.x / length, v.y / length, v.z / length);
    } else {
        *out = v;
    }
    return out;
}

Vector3* Vec3_TransformMat3(Vector3* out, const Vector3& v, const Matrix3& m) {
    *out = Vector3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                   v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                   v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
    return out;
}

void Vec3_Decompose(const Vector3& v, const Vector3& n, Vector3* parallel, Vector3* perpendicular) {
    Vector3 nv;
    Vec3_Cross(&nv, n, v);
    Vector3 perp;
    Vec3_Cross(&perp, nv, n);
    if (parallel) *parallel = v - perp;
    if (perpendicular) *perpendicular = perp;
}

Vector3* Vec3_ClipAgainstPlane(Vector3* out, const Vector3& v, const Vector3& n, Vector3* parallel) {
    if (Vec3_Dot(v, n) > 0.0f) {
        // Nothing is removed from a vector that already leaves the plane.
        if (parallel) *parallel = Vector3(0.0f, 0.0f, 0.0f);
        *out = v;
        return out;
    }
    Vector3 perp;
    Vec3_Decompose(v, n, parallel, &perp);
    *out = perp;
    return out;
}

float Vec3_GetYaw(const Vector3& v) {
    const Vector3 w(v.x, 0.0f, v.z);
    const float length = Vec3_Length(w);
    if (length > kNormalizeMax || length < kNormalizeMin) return 0.0f;
    const float angle = std::acos(ClampUnit(w.z / length));
    return w.x / length < 0.0f ? -angle : angle;
}

float Vec3_GetHeading(const Vector3& v) {
    Vector3 w;
    Vec3_Normalize(&w, Vector3(v.x, 0.0f, v.z));
    const float angle = std::acos(ClampUnit(w.z));
    return w.x < 0.0f ? -angle : angle;
}

float Vec3_GetPitch(const Vector3& v) {
    Vector3 n;
    Vec3_Normalize(&n, v);
    return std::asin(ClampUnit(n.y));
}

float Vec3_YawBetween(const Vector3& a, const Vector3& b) { return Vec3_GetYaw(a - b); }

float Vec3_PitchBetween(const Vector3& a, const Vector3& b) { return Vec3_GetPitch(a - b); }

void Math_Rotate2D(float* x, float* y, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float px = *x;
    const float py = *y;
    *x = px * c + py * s;
    *y = py * c - px * s;
}

Matrix* Mat4_Identity(Matrix* out) {
    std::memset(out, 0, sizeof(Matrix));
    out->m[0][0] = out->m[1][1] = out->m[2][2] = out->m[3][3] = 1.0f;
    return out;
}

Matrix* Mat4_Inverse(Matrix* out, const Matrix& m) {
    double adj[4][4];
    const double det = Adjugate(m, adj);
    *out = m;
    if (std::fabs(det) < kSingularDeterminant) return nullptr;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out->m[r][c] = static_cast<float>(adj[r][c] / det);
    }
    return out;
}

Matrix* Mat4_Adjoint(Matrix* m) {
    double adj[4][4];
    Adjugate(*m, adj);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) m->m[r][c] = static_cast<float>(adj[r][c]);
    }
    return m;
}

Matrix* Mat4_Scaling(Matrix* out, float sx, float sy, float sz) {
    Mat4_Identity(out);
    out->m[0][0] = sx;
    out->m[1][1] = sy;
    out->m[2][2] = sz;
    return out;
}

Matrix* Mat4_Translation(Matrix* out, float x, float y, float z) {
    Mat4_Identity(out);
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
    return out;
}

Matrix* Mat4_RotationX(Matrix* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Mat4_Identity(out);
    out->m[1][1] = c;
    out->m[1][2] = s;
    out->m[2][1] = -s;
    out->m[2][2] = c;
    return out;
}

Matrix* Mat4_RotationY(Matrix* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Mat4_Identity(out);
    out->m[0][0] = c;
    out->m[0][2] = -s;
    out->m[2][0] = s;
    out->m[2][2] = c;
    return out;
}

Matrix* Mat4_RotationZ(Matrix* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Mat4_Identity(out);
    out->m[0][0] = c;
    out->m[0][1] = s;
    out->m[1][0] = -s;
    out->m[1][1] = c;
    return out;
}

Matrix* Mat4_RotationYawPitchRoll(Matrix* out, float yaw, float pitch, float roll) {
    Matrix z, x, y;
    Mat4_RotationZ(&z, roll);
    Mat4_RotationX(&x, pitch);
    Mat4_RotationY(&y, yaw);
    Mat4_Multiply(out, z, x);
    return Mat4_Multiply(out, *out, y);
}

Matrix* Mat4_FromQuaternion(Matrix* out, const Quaternion& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
    Mat4_Identity(out);
    out->m[0][0] = xx - yy - zz + ww;
    out->m[1][1] = yy - xx - zz + ww;
    out->m[2][2] = zz - xx - yy + ww;
    out->m[0][1] = 2.0f * (q.x * q.y + q.z * q.w);
    out->m[0][2] = 2.0f * (q.x * q.z - q.y * q.w);
    out->m[1][0] = 2.0f * (q.x * q.y - q.z * q.w);
    out->m[1][2] = 2.0f * (q.y * q.z + q.x * q.w);
    out->m[2][0] = 2.0f * (q.x * q.z + q.y * q.w);
    out->m[2][1] = 2.0f * (q.y * q.z - q.x * q.w);
    return out;
}

Matrix* Mat4_LookAt(Matrix* out, const Vector3& eye, const Vector3& target, const Vector3& up) {
    Vector3 z, x, y;
    Vec3_Normalize(&z, target - eye);
    Vec3_Cross(&x, up, z);
    Vec3_Cross(&y, z, x);
    Vec3_Normalize(&x, x);
    Vec3_Normalize(&y, y);
    const Matrix world = {{{x.x, x.y, x.z, 0.0f},
                           {y.x, y.y, y.z, 0.0f},
                           {z.x, z.y, z.z, 0.0f},
                           {eye.x, eye.y, eye.z, 1.0f}}};
    Mat4_Inverse(out, world);
    return out;
}

Matrix* Mat4_PerspectiveFov(Matrix* out, float fovY, float aspect, float zNear, float zFar) {
    const float c = 1.0f / std::tan(fovY / 2.0f);
    std::memset(out, 0, sizeof(Matrix));
    out->m[0][0] = c / aspect;
    out->m[1][1] = c;
    out->m[2][2] = zFar / (zFar - zNear);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -zNear * zFar / (zFar - zNear);
    return out;
}

Vector3* Mat4_GetAxisZ(Vector3* out, const Matrix& m) {
    *out = Vector3(m.m[2][0], m.m[2][1], m.m[2][2]);
    return out;
}

Matrix3* Mat3_FromDirectionUp(Matrix3* out, const Vector3& direction, const Vector3& up) {
    Vector3 side, third;
    Vec3_Cross(&side, direction, up);
    Vec3_Cross(&third, side, direction);
    const Vector3 rows[3] = {direction, side, third};
    for (int r = 0; r < 3; ++r) {
        Vector3 n;
        Vec3_Normalize(&n, rows[r]);
        out->m[r][0] = n.x;
        out->m[r][1] = n.y;
        out->m[r][2] = n.z;
    }
    return out;
}

Matrix3* Mat3_Inverse(Matrix3* out, const Matrix3& m) {
    Matrix full;
    Mat4_Identity(&full);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) full.m[r][c] = m.m[r][c];
    }
    Mat4_Inverse(&full, full);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) out->m[r][c] = full.m[r][c];
    }
    return out;
}

Quaternion* Quat_Identity(Quaternion* out) {
    *out = Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
    return out;
}

Quaternion* Quat_Inverse(Quaternion* out, const Quaternion& q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    *out = Quaternion{-q.x / n, -q.y / n, -q.z / n, q.w / n};
    return out;
}

Quaternion* Quat_Normalize(Quaternion* out, const Quaternion& q) {
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    *out = Quaternion{q.x / length, q.y / length, q.z / length, q.w / length};
    return out;
}

Quaternion* Quat_FromAxisAngle(Quaternion* out, const Vector3& axis, float angle) {
    const float length = Vec3_Length(axis);
    const Vector3 n = length < kAxisEpsilon ? Vector3(1.0f, 0.0f, 0.0f)
                                            : Vector3(axis.x / length, axis.y / length, axis.z / length);
    const float s = std::sin(angle / 2.0f);
    *out = Quaternion{n.x * s, n.y * s, n.z * s, std::cos(angle / 2.0f)};
    return out;
}

void Quat_ToAxisAngle(const Quaternion& q, Vector3* axis, float* angle) {
    Quaternion n = q;
    if (std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w) > kAxisEpsilon) Quat_Normalize(&n, q);
    *angle = 2.0f * std::acos(ClampUnit(n.w));
    const float s = std::sqrt(1.0f - n.w * n.w);
    if (s < kAxisEpsilon) {
        *axis = Vector3(n.x, n.y, n.z);
    } else {
        *axis = Vector3(n.x / s, n.y / s, n.z / s);
    }
}

Quaternion* Quat_FromYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll) {
    Quaternion qz, qx, qy;
    Quat_FromAxisAngle(&qz, Vector3(0.0f, 0.0f, 1.0f), roll);
    Quat_FromAxisAngle(&qx, Vector3(1.0f, 0.0f, 0.0f), pitch);
    Quat_FromAxisAngle(&qy, Vector3(0.0f, 1.0f, 0.0f), yaw);
    Quat_Multiply(out, qz, qx);
    return Quat_Multiply(out, *out, qy);
}

Quaternion* Quat_FromMatrix(Quaternion* out, const Matrix& m) {
    const float m00 = m.m[0][0], m01 = m.m[0][1], m02 = m.m[0][2];
    const float m10 = m.m[1][0], m11 = m.m[1][1], m12 = m.m[1][2];
    const float m20 = m.m[2][0], m21 = m.m[2][1], m22 = m.m[2][2];
    const float t = m00 + m11 + m22 + 1.0f;
    Quaternion q;
    // Near a half turn the trace is lost in the rounding of the diagonal
    // (it comes out around 1e-7 instead of 0) and the trace formulas divide
    // noise by it; the diagonal formulas, equal for a rotation, stay exact.
    if (t > kTraceEpsilon && t >= kTraceNormalize) {
        const float s = 0.5f / std::sqrt(t);
        q.w = 0.25f / s;
        q.x = (m12 - m21) * s;
        q.y = (m20 - m02) * s;
        q.z = (m01 - m10) * s;
    } else if (m00 > m11 && m00 > m22) {
        const float s = 2.0f * std::sqrt(1.0f + m00 - m11 - m22);
        q.x = s / 4.0f;
        q.y = (m10 + m01) / s;
        q.z = (m20 + m02) / s;
        q.w = (m12 - m21) / s;
    } else if (m11 > m22) {
        const float s = 2.0f * std::sqrt(1.0f + m11 - m00 - m22);
        q.x = (m10 + m01) / s;
        q.y = s / 4.0f;
        q.z = (m21 + m12) / s;
        q.w = (m20 - m02) / s;
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m22 - m00 - m11);
        q.x = (m20 + m02) / s;
        q.y = (m21 + m12) / s;
        q.z = s / 4.0f;
        q.w = (m01 - m10) / s;
    }
    if (std::fabs(t) < kTraceNormalize) Quat_Normalize(&q, q);
    *out = q;
    return out;
}

Quaternion* Quat_FromDirection(Quaternion* out, const Vector3& direction, const Vector3& up) {
    Matrix view;
    Mat4_LookAt(&view, Vector3(0.0f, 0.0f, 0.0f), direction, up);
    Matrix basis;
    Mat4_Inverse(&basis, view);
    return Quat_FromMatrix(out, basis);
}

Quaternion* Quat_Slerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t) {
    const float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    const float ac = std::fabs(c);
    float wa, wb;
    if (1.0f - ac < kSlerpLinear) {
        wa = 1.0f - t;
        wb = t;
    } else {
        const float theta = std::acos(ac);
        const float s = std::sin(theta);
        wa = std::sin((1.0f - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    }
    if (c < 0.0f) wa = -wa;
    *out = Quaternion{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
    return out;
}

Plane* Plane_FromPointNormal(Plane* out, const Vector3& point, const Vector3& normal) {
    *out = Plane{normal.x, normal.y, normal.z, -Vec3_Dot(point, normal)};
    return out;
}

bool Box_ContainsPoint(const Vector3& min, const Vector3& max, const Vector3& p) {
    return min.x < p.x && p.x < max.x && min.y < p.y && p.y < max.y && min.z < p.z && p.z < max.z;
}

void Box_Transform(Vector3* outMin, Vector3* outMax, const Vector3& min, const Vector3& max, const Matrix& m) {
    Vector3 lo(kBoundsStart, kBoundsStart, kBoundsStart);
    Vector3 hi(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 p((corner & 1) ? max.x : min.x, (corner & 2) ? max.y : min.y, (corner & 4) ? max.z : min.z);
        Vector3 t;
        Vec3_TransformPoint(&t, p, m);
        Vec3_Minimize(&lo, lo, t);
        Vec3_Maximize(&hi, hi, t);
    }
    *outMin = lo;
    *outMax = hi;
}

bool Ray_IntersectSphere(const Vector3& origin, const Vector3& direction, const Vector3& centre, float radius,
                         Vector3* hit, Vector3* normal) {
    Vector3 d;
    Vec3_Normalize(&d, direction);
    const Vector3 l = centre - origin;
    const float tc = Vec3_Dot(l, d);
    const float q = radius * radius - (Vec3_Dot(l, l) - tc * tc);
    if (q < 0.0f) return false;
    Vector3 point = d * (tc - std::sqrt(q));
    point += origin;
    if (hit) *hit = point;
    if (normal) Vec3_Normalize(normal, point - centre);
    return true;
}

bool Ray_IntersectBox(const Vector3& origin, const Vector3& direction, const Vector3& min, const Vector3& max,
                      Vector3* hit, Vector3* normal) {
    enum Side { kLow, kHigh, kMiddle };
    Side side[3];
    float candidate[3] = {0.0f, 0.0f, 0.0f};
    bool inside = true;
    for (int axis = 0; axis < 3; ++axis) {
        const float o = Component(origin, axis);
        if (o < Component(min, axis)) {
            side[axis] = kLow;
            candidate[axis] = Component(min, axis);
            inside = false;
        } else if (o > Component(max, axis)) {
            side[axis] = kHigh;
            candidate[axis] = Component(max, axis);
            inside = false;
        } else {
            side[axis] = kMiddle;
        }
    }
    if (inside) {
        if (hit) *hit = origin;
        if (normal) *normal = Vector3(0.0f, 1.0f, 0.0f);
        return true;
    }
    float t[3];
    for (int axis = 0; axis < 3; ++axis) {
        const float d = Component(direction, axis);
        t[axis] = (side[axis] != kMiddle && d != 0.0f) ? (candidate[axis] - Component(origin, axis)) / d : -1.0f;
    }
    int chosen = 0;
    for (int axis = 1; axis < 3; ++axis) {
        if (t[axis] > t[chosen]) chosen = axis;
    }
    if (t[chosen] < 0.0f) return false;
    Vector3 point;
    for (int axis = 0; axis < 3; ++axis) {
        if (axis == chosen) {
            SetComponent(&point, axis, candidate[axis]);
            continue;
        }
        const float c = Component(origin, axis) + t[chosen] * Component(direction, axis);
        if (c < Component(min, axis) || c > Component(max, axis)) return false;
        SetComponent(&point, axis, c);
    }
    if (hit) *hit = point;
    if (normal) {
        *normal = Vector3(0.0f, 0.0f, 0.0f);
        SetComponent(normal, chosen, side[chosen] == kLow ? -1.0f : 1.0f);
    }
    return true;
}

bool Ray_IntersectTransformedBox(const Vector3& origin, const Vector3& direction, const Vector3& min,
                                 const Vector3& max, const Matrix& world, const Matrix& inverseWorld, Vector3* hit,
                                 Vector3* normal) {
    Vector3 localOrigin, localDirection, localHit, localNormal;
    Vec3_TransformPoint(&localOrigin, origin, inverseWorld);
    Vec3_TransformNormal(&localDirection, direction, inverseWorld);
    if (!Ray_IntersectBox(localOrigin, localDirection, min, max, &localHit, &localNormal)) return false;
    if (hit) Vec3_TransformPoint(hit, localHit, world);
    if (normal) Vec3_TransformNormal(normal, localNormal, world);
    return true;
}

bool Box_IntersectSphere(const Vector3& min, const Vector3& max, const Vector3& centre, float radius, Vector3* push,
                         Vector3* surface) {
    bool inside = true;
    for (int axis = 0; axis < 3; ++axis) {
        const float c = Component(centre, axis);
        if (!(Component(min, axis) - radius < c && c < Component(max, axis) + radius)) return false;
        if (!(Component(min, axis) < c && c < Component(max, axis))) inside = false;
    }
    if (inside) {
        if (!push && !surface) return true;
        int best = 0;
        float bestDistance = kFaceDistanceStart;
        float bestFace = 0.0f;
        bool bestMinSide = true;
        for (int axis = 0; axis < 3; ++axis) {
            const float c = Component(centre, axis);
            const float lo = Component(min, axis);
            const float hi = Component(max, axis);
            const bool minSide = c <= (lo + hi) * 0.5f;
            const float face = minSide ? lo : hi;
            const float distance = std::fabs(face - c);
            if (distance < bestDistance) {
                best = axis;
                bestDistance = distance;
                bestFace = face;
                bestMinSide = minSide;
            }
        }
        if (surface) {
            *surface = centre;
            SetComponent(surface, best, bestFace);
        }
        if (push) {
            const float amount = kInsidePushMargin * (bestDistance + radius);
            *push = Vector3(0.0f, 0.0f, 0.0f);
            SetComponent(push, best, bestMinSide ? amount : -amount);
        }
        return true;
    }
    Vector3 clamped;
    Vec3_Maximize(&clamped, centre, min);
    Vec3_Minimize(&clamped, clamped, max);
    const float distance = Vec3_Length(clamped - centre);
    if (distance - radius >= 0.0f) return false;
    if (push) {
        Vec3_Normalize(push, clamped - centre);
        *push = *push * (kOutsidePushMargin * (radius - distance));
    }
    return true;
}

bool Box_IntersectSphereTransformed(const Vector3& min, const Vector3& max, const Matrix& world,
                                    const Matrix& inverseWorld, const Vector3& centre, float radius, Vector3* push,
                                    Vector3* surface) {
    Vector3 localCentre;
    Vec3_TransformPoint(&localCentre, centre, inverseWorld);
    if (!Box_IntersectSphere(min, max, localCentre, radius, push, surface)) return false;
    if (push) Vec3_TransformNormal(push, *push, world);
    return true;
}

void BoxList_MergeOverlapping(BoxList* list, float percent, int passes) {
    const float threshold = percent * 0.01f;
    for (int pass = 0; pass < passes && list->count > 1; ++pass) {
        for (uint32_t i = 0; i < list->count; ++i) {
            for (uint32_t j = i + 1; j < list->count; ++j) {
                Box& a = list->boxes[i];
                const Box& b = list->boxes[j];
                Box all, common;
                Vec3_Minimize(&all.min, a.min, b.min);
                Vec3_Maximize(&all.max, a.max, b.max);
                Vec3_Maximize(&common.min, a.min, b.min);
                Vec3_Minimize(&common.max, a.max, b.max);
                Vec3_Maximize(&common.max, common.max, common.min);
                const float unionVolume = Volume(all.min, all.max);
                const float ratio = unionVolume > kMinUnionVolume
                                        ? (Volume(a.min, a.max) + Volume(b.min, b.max) -
                                           Volume(common.min, common.max)) /
                                              unionVolume
                                        : 0.0f;
                if (ratio > threshold) {
                    a = all;
                    --list->count;
                    for (uint32_t k = j; k < list->count; ++k) list->boxes[k] = list->boxes[k + 1];
                }
            }
        }
    }
}

float Noise_Sample1D(float x) {
    if (!g_NoiseTable) BuildNoiseTable();
    if (!std::isfinite(x)) x = 0.0f;
    // floor, not truncation: below zero the samples keep blending
    // neighbouring entries, so the noise stays continuous and in range.
    const double whole = std::floor(static_cast<double>(x));
    const float f = static_cast<float>(static_cast<double>(x) - whole);
    double wrapped = std::fmod(whole, static_cast<double>(kNoiseSize));
    if (wrapped < 0.0) wrapped += kNoiseSize;
    const int k = static_cast<int>(wrapped) & (kNoiseSize - 1);
    return g_NoiseTable[k] + f * (g_NoiseTable[k + 1] - g_NoiseTable[k]);
}

uint8_t Color_ToByte(float c) {
    if (c >= 1.0f) return 255;
    if (!(c > 0.0f)) return 0;
    return static_cast<uint8_t>(c * 255.0f + 0.5f);
}

uint32_t Color_ToArgb(float r, float g, float b, float a) {
    return static_cast<uint32_t>(Color_ToByte(a)) << 24 | static_cast<uint32_t>(Color_ToByte(r)) << 16 |
           static_cast<uint32_t>(Color_ToByte(g)) << 8 | Color_ToByte(b);
}
