// The engine's camera: projection with its field-of-view factor and far
// values, sphere culling against depth, far, fog far and the four sides,
// projection to the screen, fog states and the gamma store.

#include "tests/services/render/RenderTestSupport.h"

#include <bit>
#include <cmath>
#include "services/render/Render.h"

namespace {

Matrix DeviceMatrix(D3DTRANSFORMSTATETYPE type) {
    D3DMATRIX m{};
    RenderScene_Device()->GetTransform(type, &m);
    return std::bit_cast<Matrix>(m);
}

// The far distance a perspective projection was built with.
float ProjectedFar(const Matrix& p, float nearPlane) {
    // m22 = far / (far - near)  =>  far = m22 near / (m22 - 1)
    return p.m[2][2] * nearPlane / (p.m[2][2] - 1.0f);
}

uint32_t State(D3DRENDERSTATETYPE state) {
    uint32_t value = 0;
    RenderScene_Device()->GetRenderState(state, &value);
    return value;
}

TEST_F(RenderTest, FieldOfViewIsThreeQuartersOfTheAngleGiven) {
    engine->SetFov(1.2f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().fieldOfView, 0.9f);
    Matrix expected;
    Mat4_PerspectiveFov(&expected, 0.9f, 4.0f / 3.0f, 1.5f, 4000.0f);
    const Matrix projection = DeviceMatrix(D3DTS_PROJECTION);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(projection.m[r][c], expected.m[r][c]) << r << c;
}

TEST_F(RenderTest, NearPlaneProjectsToTheFogFarWhileFogIsOn) {
    engine->SetFogFar(800.0f);
    engine->SetFogEnable(1);
    engine->SetNearPlane(2.0f);
    EXPECT_NEAR(ProjectedFar(DeviceMatrix(D3DTS_PROJECTION), 2.0f), 800.0f, 0.5f);
    engine->SetFov(1.2f);
    EXPECT_NEAR(ProjectedFar(DeviceMatrix(D3DTS_PROJECTION), 2.0f), 4000.0f, 20.0f);
    // A far plane nearer than the fog's end keeps its own value.
    engine->SetFarPlane(600.0f);
    engine->SetNearPlane(2.0f);
    EXPECT_NEAR(ProjectedFar(DeviceMatrix(D3DTS_PROJECTION), 2.0f), 600.0f, 0.5f);
}

TEST_F(RenderTest, FogStatesReachTheDevice) {
    engine->SetFogColor(0xFF336699);
    engine->SetFogNear(50.0f);
    engine->SetFogFar(250.0f);
    engine->SetFogEnable(1);
    EXPECT_EQ(State(D3DRS_FOGCOLOR), 0xFF336699u);
    EXPECT_EQ(State(D3DRS_FOGENABLE), 1u);
    EXPECT_EQ(State(D3DRS_FOGVERTEXMODE), static_cast<uint32_t>(D3DFOG_LINEAR));
    EXPECT_EQ(std::bit_cast<float>(State(D3DRS_FOGSTART)), 50.0f);
    EXPECT_EQ(std::bit_cast<float>(State(D3DRS_FOGEND)), 250.0f);
    EXPECT_EQ(engine->GetFogFar(), 250.0f);
    engine->SetFogEnable(0);
    EXPECT_EQ(State(D3DRS_FOGENABLE), 0u);
}

struct CullCase {
    const char* name;
    Vector3 centre;  // in view space of the camera at the origin looking along +z
    float radius;
    uint32_t fogFlag;
    int visible;
};

class SphereCulling : public RenderTest, public testing::WithParamInterface<CullCase> {};

TEST_P(SphereCulling, CullsBehindBeyondAndBesideTheView) {
    const CullCase& c = GetParam();
    engine->SetFogFar(500.0f);
    engine->SetFogEnable(1);
    float depth = -1.0f;
    EXPECT_EQ(engine->IsSphereVisible(c.centre, c.radius, &depth, c.fogFlag), c.visible);
    EXPECT_FLOAT_EQ(depth, c.centre.z);
}

// Far plane 4000, fog far 500, vertical field of view 67.5 degrees.
INSTANTIATE_TEST_SUITE_P(
    Cases, SphereCulling,
    testing::Values(CullCase{"BeyondTheFogFarWithFog", {0, 0, 600}, 50, 1, 0},
                    CullCase{"BeyondTheFogFarWithoutFog", {0, 0, 600}, 50, 0, 1},
                    CullCase{"TouchingTheFogFar", {0, 0, 550}, 50, 1, 1},
                    CullCase{"StraddlingTheCamera", {0, 0, -5}, 10, 0, 1},
                    CullCase{"BehindTheCamera", {0, 0, -10.5f}, 10, 0, 0},
                    CullCase{"BeyondTheFarPlane", {0, 0, 4100}, 50, 0, 0},
                    CullCase{"FarLeft", {-300, 0, 100}, 10, 0, 0},
                    CullCase{"FarRight", {300, 0, 100}, 10, 0, 0},
                    CullCase{"FarAbove", {0, 200, 100}, 10, 0, 0},
                    CullCase{"FarBelow", {0, -200, 100}, 10, 0, 0},
                    CullCase{"ReachingInFromTheSide", {-300, 0, 100}, 250, 0, 1}),
    [](const testing::TestParamInfo<CullCase>& info) { return info.param.name; });

// A camera turned and tilted: spheres just inside each edge of the view are
// kept and spheres just outside are culled, whichever way the camera faces.
TEST_F(RenderTest, SideFramesFollowATurnedAndTiltedCamera) {
    Quaternion yaw, pitch, rotation;
    Quat_FromAxisAngle(&pitch, Vector3(1, 0, 0), 0.6f);
    Quat_FromAxisAngle(&yaw, Vector3(0, 1, 0), 2.1f);
    Quat_Multiply(&rotation, pitch, yaw);  // pitch in the camera's frame, then the turn
    const Vector3 eye(100, 50, -20);
    engine->SetCameraPositionRotation(eye, rotation);
    Matrix cameraToWorld;
    Mat4_FromQuaternion(&cameraToWorld, rotation);
    const float h = CQVRender::Get().View().fieldOfView * CQVRender::Get().View().aspectRatio / 2.0f, v = CQVRender::Get().View().fieldOfView / 2.0f;
    const float distance = 200.0f, margin = 0.05f;
    auto world = [&](float sideways, float upward) {
        Vector3 p(std::tan(sideways) * distance, std::tan(upward) * distance, distance);
        Vec3_TransformNormal(&p, p, cameraToWorld);
        p += eye;
        return p;
    };
    EXPECT_EQ(engine->IsSphereVisible(world(0, 0), 1.0f, nullptr, 0), 1);
    for (float sign : {-1.0f, 1.0f}) {
        EXPECT_EQ(engine->IsSphereVisible(world(sign * (h - margin), 0), 1.0f, nullptr, 0), 1) << sign;
        EXPECT_EQ(engine->IsSphereVisible(world(sign * (h + margin), 0), 1.0f, nullptr, 0), 0) << sign;
        EXPECT_EQ(engine->IsSphereVisible(world(0, sign * (v - margin)), 1.0f, nullptr, 0), 1) << sign;
        EXPECT_EQ(engine->IsSphereVisible(world(0, sign * (v + margin)), 1.0f, nullptr, 0), 0) << sign;
    }
}

TEST_F(RenderTest, LookAtKeepsEyeTargetAndAxes) {
    const Vector3 eye(10, 20, 30), target(10, 20, 130);
    engine->SetCameraLookAt(eye, target, Vector3(0, 1, 0));
    EXPECT_EQ(std::memcmp(engine->GetCameraPosition(), &eye, sizeof eye), 0);
    EXPECT_EQ(std::memcmp(engine->GetCameraTarget(), &target, sizeof target), 0);
    Vector3 direction, up;
    engine->GetCameraDirection(&direction);
    engine->GetCameraUp(&up);
    EXPECT_NEAR(direction.z, 1.0f, 1e-6f);
    EXPECT_NEAR(up.y, 1.0f, 1e-6f);
    // The stored rotation gives the same view again.
    const Matrix lookAtView = CQVRender::Get().View().viewMatrix;
    engine->SetCameraPositionRotation(eye, CQVRender::Get().View().cameraRotation);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(CQVRender::Get().View().viewMatrix.m[r][c], lookAtView.m[r][c], 1e-4f);
    const Matrix device = DeviceMatrix(D3DTS_VIEW);
    EXPECT_EQ(std::memcmp(&device, &CQVRender::Get().View().viewMatrix, sizeof device), 0);
}

TEST_F(RenderTest, ProjectToScreenGivesViewportPixels) {
    Vector3 ahead(0, 0, 100);
    Camera_ProjectToScreen(&ahead);
    EXPECT_NEAR(ahead.x, width / 2.0f, 1e-3f);
    EXPECT_NEAR(ahead.y, height / 2.0f, 1e-3f);
    EXPECT_GT(ahead.z, 0.0f);
    EXPECT_LT(ahead.z, 1.0f);
    // The top edge of the vertical field of view is row 0.
    Vector3 top(0, std::tan(CQVRender::Get().View().fieldOfView / 2.0f) * 100.0f, 100);
    Camera_ProjectToScreen(&top);
    EXPECT_NEAR(top.y, 0.0f, 1e-2f);
    EXPECT_EQ(Graphics_GetViewportWidth(), static_cast<uint32_t>(width));
    EXPECT_EQ(Graphics_GetViewportHeight(), static_cast<uint32_t>(height));
}

TEST_F(RenderTest, GammaValuesAreKeptAndRampSet) {
    engine->SetGamma(0.5f, 1.0f, 1.0f, 0.0f, 0.1f, 0.0f);
    EXPECT_EQ(CQVRender::Get().View().gammaScale[0], 0.5f);
    EXPECT_EQ(CQVRender::Get().View().gammaAdd[1], 0.1f);
    D3DGAMMARAMP ramp{}, expected{};
    RenderScene_Device()->GetGammaRamp(&ramp);
    CQVGraphics::BuildGammaRamp(0.5f, 1.0f, 1.0f, 0.0f, 0.1f, 0.0f, &expected);
    EXPECT_EQ(std::memcmp(&ramp, &expected, sizeof ramp), 0);
    engine->SetGamma(1, 1, 1, 0, 0, 0);
}

}  // namespace
