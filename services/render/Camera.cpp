// The engine's camera: view and projection on the device, the four side
// frames and sphere culling, linear vertex fog and the gamma values.

#include "services/render/Camera.h"

#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr float kHalfPi = 1.5707964f;

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

void SetDeviceTransform(D3DTRANSFORMSTATETYPE type, const Matrix& matrix) {
    D3DMATRIX deviceMatrix;
    std::memcpy(&deviceMatrix, &matrix, sizeof deviceMatrix);
    if (PlatformDevice* device = Device()) device->SetTransform(type, &deviceMatrix);
}

Matrix DeviceTransform(D3DTRANSFORMSTATETYPE type) {
    D3DMATRIX deviceMatrix{};
    if (PlatformDevice* device = Device()) device->GetTransform(type, &deviceMatrix);
    Matrix matrix;
    std::memcpy(&matrix, &deviceMatrix, sizeof matrix);
    return matrix;
}

D3DVIEWPORT8 CurrentViewport() {
    D3DVIEWPORT8 viewport{};
    if (PlatformDevice* device = Device()) device->GetViewport(&viewport);
    return viewport;
}

void SetFloatState(D3DRENDERSTATETYPE state, float value) {
    if (PlatformDevice* device = Device()) device->SetRenderState(state, std::bit_cast<uint32_t>(value));
}

void SetState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (PlatformDevice* device = Device()) device->SetRenderState(state, value);
}

// The view depth of a point in a frame: only the z column is needed.
inline float FrameDepth(const Matrix& m, const Vector3& p) {
    return p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
}

}  // namespace

void Graphics_SetWorldMatrix(const Matrix& world) { SetDeviceTransform(D3DTS_WORLD, world); }

void Camera_SetViewMatrix(const Matrix& view) { SetDeviceTransform(D3DTS_VIEW, view); }

void Camera_GetViewMatrix(Matrix* view) { *view = DeviceTransform(D3DTS_VIEW); }

void Camera_ProjectToScreen(Vector3* point) {
    const D3DVIEWPORT8 viewport = CurrentViewport();
    Matrix viewProjection;
    Mat4_Multiply(&viewProjection, DeviceTransform(D3DTS_VIEW), DeviceTransform(D3DTS_PROJECTION));
    const Matrix& m = viewProjection;
    const Vector3 p = *point;
    const float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    const float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    const float z = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
    const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    const float iw = w != 0.0f ? 1.0f / w : 0.0f;
    point->x = static_cast<float>(viewport.X) + (1.0f + x * iw) * 0.5f * static_cast<float>(viewport.Width);
    point->y = static_cast<float>(viewport.Y) + (1.0f - y * iw) * 0.5f * static_cast<float>(viewport.Height);
    point->z = viewport.MinZ + z * iw * (viewport.MaxZ - viewport.MinZ);
}

uint32_t Graphics_GetViewportWidth() { return CurrentViewport().Width; }

uint32_t Graphics_GetViewportHeight() { return CurrentViewport().Height; }

void CQVEngine::SetCameraPositionRotation(const Vector3& position, const Quaternion& rotation) {
    cameraPosition = position;
    cameraRotation = rotation;
    Matrix translation, turn;
    Quaternion inverse;
    Mat4_Translation(&translation, -position.x, -position.y, -position.z);
    Mat4_FromQuaternion(&turn, *Quat_Inverse(&inverse, rotation));
    Mat4_Multiply(&viewMatrix, translation, turn);
    Camera_SetViewMatrix(viewMatrix);
    RebuildSideFrames();
}

void CQVEngine::SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    cameraPosition = eye;
    cameraTarget = target;
    Mat4_LookAt(&viewMatrix, eye, target, up);
    Matrix cameraToWorld;
    Mat4_Inverse(&cameraToWorld, viewMatrix);
    Quat_FromMatrix(&cameraRotation, cameraToWorld);
    Camera_SetViewMatrix(viewMatrix);
    RebuildSideFrames();
}

void CQVEngine::GetCameraDirection(Vector3* direction) const {
    *direction = Vector3(viewMatrix.m[0][2], viewMatrix.m[1][2], viewMatrix.m[2][2]);
}

void CQVEngine::GetCameraUp(Vector3* up) const {
    *up = Vector3(viewMatrix.m[0][1], viewMatrix.m[1][1], viewMatrix.m[2][1]);
}

// Each frame looks along the inward normal of one side of the view volume:
// the camera turned outward by the side's angle about its own up or right
// axis. A point in front of all four (z >= 0 in each) is inside the sides.
void CQVEngine::RebuildSideFrames() {
    const float h = fieldOfView * aspectRatio * 0.5f;
    const float v = fieldOfView * 0.5f;
    struct Side {
        Vector3 axis;
        float angle;
    };
    const Side sides[4] = {{Vector3(0, 1, 0), -(kHalfPi - h)},
                           {Vector3(0, 1, 0), kHalfPi - h},
                           {Vector3(1, 0, 0), -(kHalfPi - v)},
                           {Vector3(1, 0, 0), kHalfPi - v}};
    Matrix translation;
    Mat4_Translation(&translation, -cameraPosition.x, -cameraPosition.y, -cameraPosition.z);
    for (int i = 0; i < 4; ++i) {
        Quaternion local, turned, inverse;
        Quat_FromAxisAngle(&local, sides[i].axis, sides[i].angle);
        // The side's turn is about the camera's own axis, so it comes first.
        Quat_Multiply(&turned, local, cameraRotation);
        Matrix turn;
        Mat4_FromQuaternion(&turn, *Quat_Inverse(&inverse, turned));
        Mat4_Multiply(&sideFrames[i], translation, turn);
    }
}

void CQVEngine::SetFov(float angle) {
    fieldOfView = angle * 0.75f;
    ApplyProjection(projectionFar);
}

void CQVEngine::SetAspectRatio(float ratio) {
    aspectRatio = ratio;
    ApplyProjection(projectionFar);
}

int CQVEngine::IsSphereVisible(const Vector3& centre, float radius, float* depth, uint32_t fogFlag) const {
    const float z = FrameDepth(viewMatrix, centre);
    if (depth != nullptr) *depth = z;
    if (z + radius < 0.0f) return 0;
    const float far = fogEnabled && fogFlag ? fogFar : farPlane;
    if (z - radius > far) return 0;
    for (const Matrix& frame : sideFrames) {
        if (FrameDepth(frame, centre) + radius < 0.0f) return 0;
    }
    return 1;
}

void CQVEngine::SetFogColor(uint32_t argb) {
    fogColor = argb;
    SetState(D3DRS_FOGCOLOR, argb);
}

void CQVEngine::SetFogEnable(uint32_t enable) {
    fogEnabled = enable;
    SetState(D3DRS_FOGENABLE, enable);
    if (!enable) return;
    SetState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    SetFloatState(D3DRS_FOGSTART, fogNear);
    SetFloatState(D3DRS_FOGEND, fogFar);
}

void CQVEngine::SetFogNear(float distance) {
    fogNear = distance;
    SetFloatState(D3DRS_FOGSTART, distance);
}

void CQVEngine::SetFogFar(float distance) {
    fogFar = distance;
    SetFloatState(D3DRS_FOGEND, distance);
}

void CQVEngine::SetGamma(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                         float addBlue) {
    gammaScale[0] = scaleRed;
    gammaScale[1] = scaleGreen;
    gammaScale[2] = scaleBlue;
    gammaAdd[0] = addRed;
    gammaAdd[1] = addGreen;
    gammaAdd[2] = addBlue;
    if (CQVGraphics* graphics = CQVGraphics::GetInstance())
        graphics->SetGammaRamp(scaleRed, scaleGreen, scaleBlue, addRed, addGreen, addBlue);
}
