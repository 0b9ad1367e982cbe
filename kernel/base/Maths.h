#pragma once
// The engine's vector, matrix, quaternion, plane and box routines. They keep
// the Direct3D conventions so that matrices go to the device unchanged: row
// vectors multiplied on the left (v' = v M), translation in row 3, a
// left-handed system (+Z forward, +Y up, +X right), radians, f32 results.
// Outputs are pointers and may be the same object as an input.

#include <cstdint>

struct Vector2 {
    float x, y;
};

struct Vector3 {
    float x, y, z;

    Vector3() = default;
    constexpr Vector3(float px, float py, float pz) : x(px), y(py), z(pz) {}

    Vector3& operator+=(const Vector3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    // Multiplies by the reciprocal: one division for three components.
    Vector3& operator/=(float s) {
        const float r = 1.0f / s;
        x *= r;
        y *= r;
        z *= r;
        return *this;
    }
    Vector3 operator+(const Vector3& v) const { return Vector3(x + v.x, y + v.y, z + v.z); }
    Vector3 operator-(const Vector3& v) const { return Vector3(x - v.x, y - v.y, z - v.z); }
    Vector3 operator*(float s) const { return Vector3(x * s, y * s, z * s); }
};

inline Vector3 operator*(float s, const Vector3& v) { return Vector3(v.x * s, v.y * s, v.z * s); }

struct Vector4 {
    float x, y, z, w;
};

// Row-major, m[row][column]; rows 0 to 2 are the images of the X, Y and Z
// axes, row 3 the translation.
struct Matrix {
    float m[4][4];
};

// Used only by mesh collision.
struct Matrix3 {
    float m[3][3];
};

// w is the scalar part; the identity is (0, 0, 0, 1).
struct Quaternion {
    float x, y, z, w;
};

// A point p lies on the plane when a px + b py + c pz + d = 0.
struct Plane {
    float a, b, c, d;
};

struct Box {
    Vector3 min;
    Vector3 max;
};

struct BoxList {
    uint32_t count;
    Box* boxes;
};

static_assert(sizeof(Vector2) == 8 && sizeof(Vector3) == 12 && sizeof(Vector4) == 16);
static_assert(sizeof(Matrix) == 64 && sizeof(Matrix3) == 36 && sizeof(Quaternion) == 16);
static_assert(sizeof(Plane) == 16 && sizeof(Box) == 24);

// Built on the first use of Noise_Sample1D: 4,097 values, entry 4096 = entry 0.
extern float* g_NoiseTable;

inline float Vec3_Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Vec3_LengthSq(const Vector3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }
float Vec3_Length(const Vector3& v);

inline Vector3* Vec3_Cross(Vector3* out, const Vector3& a, const Vector3& b) {
    const float x = a.y * b.z - a.z * b.y;
    const float y = a.z * b.x - a.x * b.z;
    const float z = a.x * b.y - a.y * b.x;
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

Vector3* Vec3_Minimize(Vector3* out, const Vector3& a, const Vector3& b);
Vector3* Vec3_Maximize(Vector3* out, const Vector3& a, const Vector3& b);
Vector3* Vec3_Lerp(Vector3* out, const Vector3& a, const Vector3& b, float t);
Vector4* Vec4_Lerp(Vector4* out, const Vector4& a, const Vector4& b, float t);
// v / |v| when 1e-12 <= |v| <= 1e14; otherwise out = v.
Vector3* Vec3_Normalize(Vector3* out, const Vector3& v);

// The same as values, for expressions.
inline Vector3 Vec3_Normalized(const Vector3& v) {
    Vector3 out;
    return *Vec3_Normalize(&out, v);
}
inline Vector3 Vec3_CrossProduct(const Vector3& a, const Vector3& b) {
    Vector3 out;
    return *Vec3_Cross(&out, a, b);
}
inline Vector3 Vec3_Lerped(const Vector3& a, const Vector3& b, float t) {
    Vector3 out;
    return *Vec3_Lerp(&out, a, b, t);
}

// (x, y, z, 1) times the matrix, without division by w.
inline Vector3* Vec3_TransformPoint(Vector3* out, const Vector3& v, const Matrix& m) {
    const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0];
    const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1];
    const float z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2];
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

// The upper 3x3 only: directions and normals ignore the translation.
inline Vector3* Vec3_TransformNormal(Vector3* out, const Vector3& v, const Matrix& m) {
    const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0];
    const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1];
    const float z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2];
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

Vector3* Vec3_TransformMat3(Vector3* out, const Vector3& v, const Matrix3& m);
// n of unit length: perpendicular = (n x v) x n, parallel = v - perpendicular;
// either output may be null.
void Vec3_Decompose(const Vector3& v, const Vector3& n, Vector3* parallel, Vector3* perpendicular);
// Keeps v when it points along n (v.n > 0), else removes its component along
// n; parallel (may be null) receives the part along n.
Vector3* Vec3_ClipAgainstPlane(Vector3* out, const Vector3& v, const Vector3& n, Vector3* parallel);
// Heading in the X-Z plane: 0 along +Z, positive toward +X, -pi to pi.
float Vec3_GetYaw(const Vector3& v);
float Vec3_GetHeading(const Vector3& v);
float Vec3_GetPitch(const Vector3& v);
float Vec3_YawBetween(const Vector3& a, const Vector3& b);
float Vec3_PitchBetween(const Vector3& a, const Vector3& b);
void Math_Rotate2D(float* x, float* y, float angle);

Matrix* Mat4_Identity(Matrix* out);

// out = a b: a is applied first to row vectors.
inline Matrix* Mat4_Multiply(Matrix* out, const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    *out = r;
    return out;
}

// out = m first; null when |det m| < 1e-5 (out then stays a copy of m).
Matrix* Mat4_Inverse(Matrix* out, const Matrix& m);
// Replaces m by its adjugate (the transposed cofactors).
Matrix* Mat4_Adjoint(Matrix* m);
Matrix* Mat4_Scaling(Matrix* out, float sx, float sy, float sz);
Matrix* Mat4_Translation(Matrix* out, float x, float y, float z);
Matrix* Mat4_RotationX(Matrix* out, float angle);
Matrix* Mat4_RotationY(Matrix* out, float angle);
Matrix* Mat4_RotationZ(Matrix* out, float angle);
// Roll about Z first, then pitch about X, then yaw about Y.
Matrix* Mat4_RotationYawPitchRoll(Matrix* out, float yaw, float pitch, float roll);
Matrix* Mat4_FromQuaternion(Matrix* out, const Quaternion& q);
// Left-handed view matrix.
Matrix* Mat4_LookAt(Matrix* out, const Vector3& eye, const Vector3& target, const Vector3& up);
Matrix* Mat4_PerspectiveFov(Matrix* out, float fovY, float aspect, float zNear, float zFar);
// Row 2: the Z axis, an actor's forward direction.
Vector3* Mat4_GetAxisZ(Vector3* out, const Matrix& m);
Matrix3* Mat3_FromDirectionUp(Matrix3* out, const Vector3& direction, const Vector3& up);
// A singular matrix gives itself back.
Matrix3* Mat3_Inverse(Matrix3* out, const Matrix3& m);

Quaternion* Quat_Identity(Quaternion* out);
Quaternion* Quat_Inverse(Quaternion* out, const Quaternion& q);
Quaternion* Quat_Normalize(Quaternion* out, const Quaternion& q);

// The rotation a followed by b, as Mat4_Multiply of their matrices.
inline Quaternion* Quat_Multiply(Quaternion* out, const Quaternion& a, const Quaternion& b) {
    const float x = a.x * b.w + a.w * b.x + a.z * b.y - a.y * b.z;
    const float y = a.y * b.w + a.w * b.y + a.x * b.z - a.z * b.x;
    const float z = a.z * b.w + a.w * b.z + a.y * b.x - a.x * b.y;
    const float w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    out->x = x;
    out->y = y;
    out->z = z;
    out->w = w;
    return out;
}

Quaternion* Quat_FromAxisAngle(Quaternion* out, const Vector3& axis, float angle);
void Quat_ToAxisAngle(const Quaternion& q, Vector3* axis, float* angle);
Quaternion* Quat_FromYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll);
// The rotation part of m.
Quaternion* Quat_FromMatrix(Quaternion* out, const Matrix& m);
// The orientation whose Z axis is the direction and whose Y axis leans toward up.
Quaternion* Quat_FromDirection(Quaternion* out, const Vector3& direction, const Vector3& up);
// Along the shorter arc, not renormalised.
Quaternion* Quat_Slerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t);

Plane* Plane_FromPointNormal(Plane* out, const Vector3& point, const Vector3& normal);

// Strict: a point on a face is outside.
bool Box_ContainsPoint(const Vector3& min, const Vector3& max, const Vector3& p);
// Axis-aligned bounds of the eight corners after m.
void Box_Transform(Vector3* outMin, Vector3* outMax, const Vector3& min, const Vector3& max, const Matrix& m);

// The whole line is tested: a sphere behind the origin is hit as well.
// hit and normal may be null.
bool Ray_IntersectSphere(const Vector3& origin, const Vector3& direction, const Vector3& centre, float radius,
                         Vector3* hit, Vector3* normal);
// From inside the box the hit is the origin with the normal (0, 1, 0).
bool Ray_IntersectBox(const Vector3& origin, const Vector3& direction, const Vector3& min, const Vector3& max,
                      Vector3* hit, Vector3* normal);
// The ray goes into box space with the inverse world matrix; a hit comes back
// with the world matrix (the normal is not renormalised).
bool Ray_IntersectTransformedBox(const Vector3& origin, const Vector3& direction, const Vector3& min,
                                 const Vector3& max, const Matrix& world, const Matrix& inverseWorld, Vector3* hit,
                                 Vector3* normal);
// push points from the sphere toward the box: moving the sphere by -push
// separates them. push and surface may be null.
bool Box_IntersectSphere(const Vector3& min, const Vector3& max, const Vector3& centre, float radius, Vector3* push,
                         Vector3* surface);
// Only the push comes back to world space; the surface point stays in box space.
bool Box_IntersectSphereTransformed(const Vector3& min, const Vector3& max, const Matrix& world,
                                    const Matrix& inverseWorld, const Vector3& centre, float radius, Vector3* push,
                                    Vector3* surface);
// Merges boxes whose union is not much bigger than the two together.
void BoxList_MergeOverlapping(BoxList* list, float percent, int passes);

// A colour channel of 0 to 1 as a byte, rounded; values past either end,
// and no number at all, are held to 255 or 0.
uint8_t Color_ToByte(float c);
// Four channels of 0 to 1 as one word, alpha in the top byte, then red,
// green and blue.
uint32_t Color_ToArgb(float r, float g, float b, float a);

// One-dimensional value noise in [-1, 1), period 4096.
float Noise_Sample1D(float x);
