// The render service's view: camera, view and projection on the device, the
// four side frames and sphere culling, linear vertex fog and the gamma values.

#include "services/render/View.h"

#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
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

void CQVRender::SetCameraPositionRotation(const Vector3& position, const Quaternion& rotation) {
    view.cameraPosition = position;
    view.cameraRotation = rotation;
    Matrix translation, turn;
    Quaternion inverse;
    Mat4_Translation(&translation, -position.x, -position.y, -position.z);
    Mat4_FromQuaternion(&turn, *Quat_Inverse(&inverse, rotation));
    Mat4_Multiply(&view.viewMatrix, translation, turn);
    Camera_SetViewMatrix(view.viewMatrix);
    RebuildSideFrames();
}

void CQVRender::SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    view.cameraPosition = eye;
    view.cameraTarget = target;
    Mat4_LookAt(&view.viewMatrix, eye, target, up);
    Matrix cameraToWorld;
    Mat4_Inverse(&cameraToWorld, view.viewMatrix);
    Quat_FromMatrix(&view.cameraRotation, cameraToWorld);
    Camera_SetViewMatrix(view.viewMatrix);
    RebuildSideFrames();
}

void CQVRender::GetCameraDirection(Vector3* direction) const {
    *direction = Vector3(view.viewMatrix.m[0][2], view.viewMatrix.m[1][2], view.viewMatrix.m[2][2]);
}

void CQVRender::GetCameraUp(Vector3* up) const {
    *up = Vector3(view.viewMatrix.m[0][1], view.viewMatrix.m[1][1], view.viewMatrix.m[2][1]);
}

// Each frame looks along the inward normal of one side of the view volume:
// the camera turned outward by the side's angle about its own up or right
// axis. A point in front of all four (z >= 0 in each) is inside the sides.
void CQVRender::RebuildSideFrames() {
    const float h = view.fieldOfView * view.aspectRatio * 0.5f;
    const float v = view.fieldOfView * 0.5f;
    struct Side {
        Vector3 axis;
        float angle;
    };
    const Side sides[4] = {{Vector3(0, 1, 0), -(kHalfPi - h)},
                           {Vector3(0, 1, 0), kHalfPi - h},
                           {Vector3(1, 0, 0), -(kHalfPi - v)},
                           {Vector3(1, 0, 0), kHalfPi - v}};
    Matrix translation;
    Mat4_Translation(&translation, -view.cameraPosition.x, -view.cameraPosition.y, -view.cameraPosition.z);
    for (int i = 0; i < 4; ++i) {
        Quaternion local, turned, inverse;
        Quat_FromAxisAngle(&local, sides[i].axis, sides[i].angle);
        // The side's turn is about the camera's own axis, so it comes first.
        Quat_Multiply(&turned, local, view.cameraRotation);
        Matrix turn;
        Mat4_FromQuaternion(&turn, *Quat_Inverse(&inverse, turned));
        Mat4_Multiply(&view.sideFrames[i], translation, turn);
    }
}

void CQVRender::SetFov(float angle) {
    view.fieldOfView = angle * 0.75f;
    ApplyProjection(view.projectionFar);
}

void CQVRender::SetAspectRatio(float ratio) {
    view.aspectRatio = ratio;
    ApplyProjection(view.projectionFar);
}

int CQVRender::IsSphereVisible(const Vector3& centre, float radius, float* depth, uint32_t fogFlag) const {
    const float z = FrameDepth(view.viewMatrix, centre);
    if (depth != nullptr) *depth = z;
    if (z + radius < 0.0f) return 0;
    const float far = view.fogEnabled && fogFlag ? view.fogFar : view.farPlane;
    if (z - radius > far) return 0;
    for (const Matrix& frame : view.sideFrames) {
        if (FrameDepth(frame, centre) + radius < 0.0f) return 0;
    }
    return 1;
}

void CQVRender::SetFogColor(uint32_t argb) {
    view.fogColor = argb;
    SetState(D3DRS_FOGCOLOR, argb);
}

void CQVRender::SetFogEnable(uint32_t enable) {
    view.fogEnabled = enable;
    SetState(D3DRS_FOGENABLE, enable);
    if (!enable) return;
    SetState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    SetFloatState(D3DRS_FOGSTART, view.fogNear);
    SetFloatState(D3DRS_FOGEND, view.fogFar);
}

void CQVRender::SetFogNear(float distance) {
    view.fogNear = distance;
    SetFloatState(D3DRS_FOGSTART, distance);
}

void CQVRender::SetFogFar(float distance) {
    view.fogFar = distance;
    SetFloatState(D3DRS_FOGEND, distance);
}

void CQVRender::SetGamma(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                         float addBlue) {
    view.gammaScale[0] = scaleRed;
    view.gammaScale[1] = scaleGreen;
    view.gammaScale[2] = scaleBlue;
    view.gammaAdd[0] = addRed;
    view.gammaAdd[1] = addGreen;
    view.gammaAdd[2] = addBlue;
    if (CQVGraphics* graphics = CQVGraphics::GetInstance())
        graphics->SetGammaRamp(scaleRed, scaleGreen, scaleBlue, addRed, addGreen, addBlue);
}

void CQVRender::ApplyProjection(float farValue) {
    Matrix projection;
    Mat4_PerspectiveFov(&projection, view.fieldOfView, view.aspectRatio, view.nearPlane, farValue);
    SetDeviceTransform(D3DTS_PROJECTION, projection);
}

void CQVRender::SetFarPlane(float distance) {
    view.farPlane = distance;
    view.projectionFar = distance;
    ApplyProjection(view.projectionFar);
}

void CQVRender::SetNearPlane(float distance) {
    view.nearPlane = distance;
    // With fog on, nothing beyond the fog's end needs depth precision.
    ApplyProjection(view.fogEnabled && view.farPlane >= view.fogFar ? view.fogFar : view.farPlane);
}

// As the fog setters leave the device: colour, start and end, and the
// linear vertex fog that enabling switches on.
void CQVRender::RestoreDeviceState() {
    PlatformDevice* device = Device();
    if (device == nullptr) return;
    for (const CQVLightItem* light : lights.lights) device->SetLight(light->lightNumber, &light->light);
    device->SetRenderState(D3DRS_FOGCOLOR, view.fogColor);
    device->SetRenderState(D3DRS_FOGSTART, std::bit_cast<uint32_t>(view.fogNear));
    device->SetRenderState(D3DRS_FOGEND, std::bit_cast<uint32_t>(view.fogFar));
    if (!view.fogEnabled) return;
    device->SetRenderState(D3DRS_FOGENABLE, view.fogEnabled);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
}

void View_Reset() { CQVRender::Get().view = ViewState{}; }
