// The Camera actor: which camera is current, its types and their collision
// volume, the 60 Hz smoothing, the motions that follow a target, pull-in by
// ray casts, the lens and gamma it hands the engine, and its actor-file fields.

#include "tests/actors/scene/CameraTestSupport.h"

#include "apps/game/GameMain.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/SimState.h"
#include "kernel/base/Archive.h"
#include "services/library/Library.h"
#include "services/render/Render.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <tuple>
#include <unistd.h>

namespace {

using CameraTest = CameraSceneTest;

TEST_F(CameraTest, ActivatingASecondCameraDeactivatesTheFirst) {
    CQVCamera* first = MakeCamera(CAMERA_FREE, "First");
    CQVCamera* second = MakeCamera(CAMERA_FREE, "Second");
    Activate(first, 1);
    EXPECT_EQ(g_CurrentCamera, first);
    // Current without a Precalculate (the game's start makes one so), it still gets its per-frame step.
    EXPECT_NE(first->FindTimedMessage(MSG_PROCESS), nullptr);
    // The same value again changes nothing and answers at once.
    EXPECT_EQ(Activate(first, 1), 1);
    Activate(second, 1);
    EXPECT_EQ(g_CurrentCamera, second);
    EXPECT_EQ(first->m_CameraActive, 0u);
    EXPECT_EQ(second->m_CameraActive, 1u);
    // "Action Stop Post" deactivates: no camera is current and no motion runs.
    second->HandleMessage(MSG_ACTION_STOP_POST, nullptr);
    EXPECT_EQ(g_CurrentCamera, nullptr);
    EXPECT_EQ(Camera_GetCurrent(), nullptr);
    first->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(g_CurrentCamera, first);
    // A deleted current camera leaves none behind.
    g_ActorSystem->DeleteActor(first);
    EXPECT_EQ(g_CurrentCamera, nullptr);
}

struct TypeCase {
    uint32_t type;
    size_t volumes;
    float lookSmoothing, eyeSmoothing, distance;
};

class CameraTypes : public CameraSceneTest, public testing::WithParamInterface<TypeCase> {};

TEST_P(CameraTypes, ATypeChangeSetsTheVolumeAndTheTypesSmoothing) {
    const TypeCase& c = GetParam();
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);
    camera->m_Distance = 200.0f;  // a type without values of its own keeps this
    camera->m_Flags |= ACTOR_DRAWGROUP_OPTION2;
    uint32_t type = c.type;
    camera->HandleMessage(MSG_SET_CAMERA_TYPE, Args_Of(&type));
    EXPECT_EQ(camera->m_CameraType, c.type);
    EXPECT_EQ(camera->m_Flags & ACTOR_DRAWGROUP_OPTION2, 0u);
    ASSERT_EQ(camera->m_ColObjs.size(), c.volumes);
    if (c.volumes) {
        EXPECT_EQ(camera->m_ColObjs[0].name, "Camera Col");
        // Kind 9, a ball of radius 9 about the eye, kept off characters and out of its own rays.
        EXPECT_EQ(camera->m_ColObjs[0].type, COLOBJ_CAMERA_VOLUME);
        EXPECT_EQ(ColObj_TestKind(camera->m_ColObjs[0]), COLOBJ_SPHERE);
        EXPECT_FLOAT_EQ(camera->m_ColObjs[0].boxMax.x, 9.0f);
        EXPECT_EQ(camera->m_ColObjs[0].groupsExclude, 0x4040000u);
        EXPECT_EQ(camera->m_ColObjs[0].owner, camera);
    }
    EXPECT_FLOAT_EQ(camera->m_LookSmoothing, c.lookSmoothing);
    EXPECT_FLOAT_EQ(camera->m_EyeSmoothing, c.eyeSmoothing);
    EXPECT_FLOAT_EQ(camera->m_Distance, c.distance);
    uint32_t answer = 99;
    camera->HandleMessage(MSG_GET_CAMERA_TYPE, Args_Of(&answer));
    EXPECT_EQ(answer, c.type);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CameraTypes,
                         testing::Values(TypeCase{0, 0, 0.86f, 0.92f, 200.0f}, TypeCase{1, 1, 0.86f, 0.92f, 125.0f},
                                         TypeCase{2, 0, 0.86f, 0.92f, 200.0f}, TypeCase{3, 1, 0.86f, 0.92f, 200.0f},
                                         TypeCase{4, 0, 0.86f, 0.92f, 200.0f}, TypeCase{5, 0, 0.05f, 0.5f, 105.0f},
                                         TypeCase{6, 1, 0.5f, 0.7f, 105.0f}));

struct SmoothingCase {
    float frameTime;
    int steps;       // whole smoothing steps
    float fraction;  // of one more step, shown but not yet taken
};

class CameraSmoothing : public CameraSceneTest, public testing::WithParamInterface<SmoothingCase> {};

// A chase camera behind a target that stands still: each 60 Hz step keeps
// 0.92 of the smoothed eye, and the view shown lies the fraction of a step on.
TEST_P(CameraSmoothing, RunsWholeStepsAtSixtyHertzClampedToThirty) {
    const SmoothingCase& c = GetParam();
    StandInCharacter target;
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);
    Link(camera, &target);
    SetFrameTime(c.frameTime);
    const Vector3 start = camera->m_SmoothEye;
    camera->UpdateMotion();
    const Vector3 desired = camera->m_DesiredEye;
    const auto after = [&](int steps) {
        const float keep = std::pow(0.92f, static_cast<float>(steps));
        return Vector3(desired.x + (start.x - desired.x) * keep, desired.y + (start.y - desired.y) * keep,
                       desired.z + (start.z - desired.z) * keep);
    };
    ExpectNear(camera->m_SmoothEye, after(c.steps), 0.01f);
    const Vector3 previous = after(c.steps - 1);
    const Vector3 shown = Vector3(previous.x + (camera->m_SmoothEye.x - previous.x) * c.fraction,
                                  previous.y + (camera->m_SmoothEye.y - previous.y) * c.fraction,
                                  previous.z + (camera->m_SmoothEye.z - previous.z) * c.fraction);
    ExpectNear(*engine->GetCameraPosition(), shown, 0.01f);
    ExpectNear(camera->m_Position, shown, 0.01f);
}

INSTANTIATE_TEST_SUITE_P(FrameTimes, CameraSmoothing,
                         testing::Values(SmoothingCase{0.5f, 30, 0.0f}, SmoothingCase{2.0f, 30, 0.0f},
                                         SmoothingCase{0.01f, 1, 0.0f}, SmoothingCase{0.025f, 1, 0.5f},
                                         SmoothingCase{0.05f, 3, 0.0f}));

TEST_F(CameraTest, WithoutSmoothingTheEngineGetsExactlyTheDesiredView) {
    StandInCharacter target;
    target.m_Position = Vector3(40.0f, 5.0f, -70.0f);
    CQVCamera* camera = MakeCamera(CAMERA_LOOK_FOLLOW);
    Link(camera, &target);
    camera->m_EyeSmoothing = camera->m_LookSmoothing = camera->m_UpSmoothing = 0.0f;
    camera->UpdateMotion();
    ExpectNear(*engine->GetCameraPosition(), camera->m_DesiredEye, 0.0f);
    ExpectNear(*engine->GetCameraTarget(), camera->m_DesiredLook, 0.0f);
    // Look direction +z: the eye stands the distance behind the raised look point.
    ExpectNear(camera->m_DesiredEye, Vector3(40.0f, 48.0f, -175.0f), 0.001f);
}

struct ChaseCase {
    float targetYaw;  // the target's own turn
    float lookYaw;    // the first value of its look direction
};

class ChaseCamera : public CameraSceneTest, public testing::WithParamInterface<ChaseCase> {};

// Turning the target, or its look, swings the chase camera round with it.
TEST_P(ChaseCamera, StaysBehindItsTargetAsItTurns) {
    const ChaseCase& c = GetParam();
    StandInCharacter target;
    target.m_Position = Vector3(100.0f, 0.0f, 50.0f);
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);
    Link(camera, &target);
    camera->UpdateMotion();
    const Vector3 straightEye = camera->m_DesiredEye - target.m_Position;
    const Vector3 straightLook = camera->m_DesiredLook - target.m_Position;
    // Straight ahead the eye is behind (+z) and above, the look point in front.
    EXPECT_GT(straightEye.z, 100.0f);
    EXPECT_GT(straightEye.y, 0.0f);
    EXPECT_LT(straightLook.z, -100.0f);

    Quat_FromAxisAngle(&target.m_Rotation, Vector3(0, 1, 0), c.targetYaw);
    target.InvalidateTransform();
    target.lookDirection.x = c.lookYaw;
    camera->UpdateMotion();
    Matrix turn;
    Mat4_RotationY(&turn, c.targetYaw + c.lookYaw);
    Vector3 expected;
    Vec3_TransformNormal(&expected, straightEye, turn);
    ExpectNear(camera->m_DesiredEye - target.m_Position, expected, 0.01f);
}

INSTANTIATE_TEST_SUITE_P(Turns, ChaseCamera,
                         testing::Values(ChaseCase{std::numbers::pi_v<float> / 2, 0.0f},
                                         ChaseCase{0.0f, std::numbers::pi_v<float> / 2},
                                         ChaseCase{0.5f, -1.2f}));

struct FollowCase {
    float distance;
    int change;  // sign of the change of distance over one step
};

class FollowingCamera : public CameraSceneTest, public testing::WithParamInterface<FollowCase> {};

// A type-3 camera keeps 150 to 160 units from the point 30 above its target.
TEST_P(FollowingCamera, KeepsItsDistanceBand) {
    const FollowCase& c = GetParam();
    StandInCharacter target;
    CQVCamera* camera = MakeCamera(CAMERA_TARGET_2);
    Link(camera, &target);
    Activate(camera, 1);
    // 35 above the look point, inside the height band, so only the distance moves.
    camera->m_Position = Vector3(std::sqrt(c.distance * c.distance - 35.0f * 35.0f), 65.0f, 0.0f);
    camera->InvalidateTransform();
    SetFrameTime(0.1f);
    camera->HandleMessage(MSG_PROCESS, nullptr);
    const Vector3 look(0.0f, 30.0f, 0.0f);
    const float after = Vec3_Length(camera->m_Position - look);
    if (c.change == 0) {
        EXPECT_FLOAT_EQ(after, c.distance);
        EXPECT_FLOAT_EQ(camera->m_Position.y, 65.0f);
    } else if (c.change > 0) {
        EXPECT_GT(after, c.distance + 1.0f);
    } else {
        EXPECT_LT(after, c.distance - 1.0f);
    }
    ExpectNear(*engine->GetCameraPosition(), camera->m_Position, 0.001f);
    ExpectNear(*engine->GetCameraTarget(), look, 0.001f);
}

INSTANTIATE_TEST_SUITE_P(Distances, FollowingCamera,
                         testing::Values(FollowCase{155.0f, 0}, FollowCase{149.0f, 1}, FollowCase{161.0f, -1}));

// Two following cameras on one target: each keeps following, but only the
// current one sets the view, whichever of them steps last.
TEST_F(CameraTest, OnlyTheCurrentFollowingCameraSetsTheView) {
    StandInCharacter target;
    CQVCamera* current = MakeCamera(CAMERA_TARGET_2, "Current");
    CQVCamera* other = MakeCamera(CAMERA_TARGET_2, "Other");
    Link(current, &target);
    Link(other, &target);
    Activate(current, 1);
    other->m_Position = Vector3(0.0f, 65.0f, 100.0f);  // closer than the band: it backs off
    other->InvalidateTransform();
    SetFrameTime(0.1f);
    for (CQVCamera* last : {other, current, other}) last->HandleMessage(MSG_PROCESS, nullptr);
    EXPECT_GT(other->m_Position.z, 100.0f);  // it still moves
    ExpectNear(*engine->GetCameraPosition(), current->m_Position, 0.001f);
}

// Becoming current, a type-3 camera places itself beside its target at once.
TEST_F(CameraTest, AFollowingCameraPlacesItselfWhenItBecomesCurrent) {
    StandInCharacter target;
    target.m_Position = Vector3(10.0f, 0.0f, 20.0f);
    CQVCamera* camera = MakeCamera(CAMERA_TARGET_2);
    Link(camera, &target);
    Activate(camera, 1);
    ExpectNear(camera->m_Position, Vector3(160.0f, 150.0f, 20.0f), 0.001f);
    ExpectNear(*engine->GetCameraTarget(), target.m_Position, 0.001f);
}

class TargetlessCamera : public CameraSceneTest, public testing::WithParamInterface<uint32_t> {};

// A camera that follows a target but has none keeps the view it had.
TEST_P(TargetlessCamera, KeepsItsLastView) {
    CQVCamera* camera = MakeCamera(GetParam());
    Activate(camera, 1);
    const Vector3 eye(1.0f, 2.0f, 3.0f), look(4.0f, 5.0f, 6.0f);
    engine->SetCameraLookAt(eye, look, Vector3(0, 1, 0));
    const Vector3 position = camera->m_Position;
    for (int frame = 0; frame < 3; ++frame) {
        camera->UpdateMotion();
        camera->HandleMessage(MSG_PROCESS, nullptr);
    }
    ExpectNear(*engine->GetCameraPosition(), eye, 0.0f);
    ExpectNear(*engine->GetCameraTarget(), look, 0.0f);
    ExpectNear(camera->m_Position, position, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(FollowingTypes, TargetlessCamera,
                         testing::Values(CAMERA_TARGET, CAMERA_TARGET_2, CAMERA_LOOK_FOLLOW, CAMERA_MOVE_FOLLOW));

// A Free camera is where its actor is: here the child of a turned rig.
TEST_F(CameraTest, AFreeCameraHandsTheEngineItsWorldPlaceAndLens) {
    CQVActor* rig = g_ActorSystem->CreateActor(CLASS_BASE, "Rig", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    rig->m_Position = Vector3(100.0f, 0.0f, 0.0f);
    Quat_FromAxisAngle(&rig->m_Rotation, Vector3(0, 1, 0), std::numbers::pi_v<float> / 2);
    rig->InvalidateTransform();
    CQVCamera* camera = MakeCamera(CAMERA_FREE, "Camera", rig);
    camera->m_Position = Vector3(0.0f, 0.0f, 10.0f);
    camera->InvalidateTransform();
    float fov = 1.2f;
    camera->HandleMessage(MSG_SET_FOV, Args_Of(&fov));
    Activate(camera, 1);
    camera->UpdateMotion();
    // The rig turns the camera's +z onto world +x.
    ExpectNear(*engine->GetCameraPosition(), Vector3(110.0f, 0.0f, 0.0f), 0.001f);
    Vector3 forward;
    engine->GetCameraDirection(&forward);
    ExpectNear(forward, Vector3(1.0f, 0.0f, 0.0f), 0.001f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().fieldOfView, 0.9f);
}

TEST_F(CameraTest, TheLensSettersReachTheEngine) {
    CQVCamera* camera = MakeCamera(CAMERA_FREE);
    float aspect = 1.6f, nearPlane = 4.0f, farPlane = 1500.0f;
    camera->HandleMessage(MSG_SET_ASPECTRATIO, Args_Of(&aspect));
    camera->HandleMessage(MSG_SET_NEAR, Args_Of(&nearPlane));
    camera->HandleMessage(MSG_SET_FAR, Args_Of(&farPlane));
    EXPECT_FLOAT_EQ(CQVRender::Get().View().aspectRatio, 1.6f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().nearPlane, 4.0f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().farPlane, 1500.0f);
    float answer = 0.0f;
    camera->HandleMessage(MSG_GET_FAR, Args_Of(&answer));
    EXPECT_FLOAT_EQ(answer, 1500.0f);
}

// A room holding everything, with a wall across +z from 60 to 70.
CQVActor* WallAcrossZ(CQVActor* scenery) {
    CQVActor* room = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    auto* group = static_cast<CQVDrawGroupBase*>(room);
    group->m_BoxMin = Vector3(-1000.0f, -1000.0f, -1000.0f);
    group->m_BoxMax = Vector3(1000.0f, 1000.0f, 1000.0f);
    // A group's id is its slot in the table (a level's load confirms it).
    group->m_DrawGroupId = group->m_Slot;
    CQVActor* wall = g_ActorSystem->CreateActor(CLASS_BASE, "Wall", nullptr, room, ACTOR_ID_ANY, 1, 0);
    ColObj box;
    box.name = "Wall";
    box.type = COLOBJ_BOX;
    box.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
    box.boxMin = Vector3(-200.0f, -200.0f, 60.0f);
    box.boxMax = Vector3(200.0f, 200.0f, 70.0f);
    wall->m_ColObjs.push_back(box);
    g_ActorSystem->RemoveFromDrawGroup(wall, 0);
    wall->m_DrawGroupId = group->m_DrawGroupId;
    g_ActorSystem->AddToDrawGroup(wall, 0);
    return wall;
}

// A wall between a chase camera's target and its eye pulls the eye in
// front of the wall by the next frame.
TEST_F(CameraTest, AWallBetweenTargetAndEyePullsTheChaseCameraIn) {
    CQVActor* wall = WallAcrossZ(scenery);
    StandInCharacter target;
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);
    Link(camera, &target);
    camera->UpdateMotion();
    EXPECT_GT(camera->m_DesiredEye.z, 70.0f);  // this frame's eye is still behind the wall
    EXPECT_LT(camera->m_Zoom, -50.0f);
    EXPECT_GE(camera->m_Zoom, -0.85f * camera->m_Distance);
    camera->UpdateMotion();
    EXPECT_LT(camera->m_DesiredEye.z, 60.0f);
    EXPECT_GT(camera->m_DesiredEye.z, 0.0f);

    // Without the wall the zoom recovers step by step.
    g_ActorSystem->DeleteActor(wall);
    const float pulled = camera->m_Zoom;
    camera->UpdateMotion();
    EXPECT_GT(camera->m_Zoom, pulled);
}

// A movement-following camera trails its target between the distance and
// the distance plus the slack; a wall puts its eye just before the wall.
TEST_F(CameraTest, AMovementFollowingCameraKeepsItsSlackAndStaysBeforeWalls) {
    StandInCharacter target;
    CQVCamera* camera = MakeCamera(CAMERA_MOVE_FOLLOW);
    Link(camera, &target);
    camera->m_EyeSmoothing = camera->m_LookSmoothing = camera->m_UpSmoothing = 0.0f;
    struct {
        float startZ, expectedZ;  // level with the target, so only the distance applies
    } const cases[] = {{-500.0f, -205.0f}, {-50.0f, -105.0f}, {-150.0f, -150.0f}};
    for (const auto& c : cases) {
        camera->m_DesiredEye = Vector3(0.0f, 0.0f, c.startZ);
        camera->UpdateMotion();
        ExpectNear(camera->m_DesiredEye, Vector3(0.0f, 0.0f, c.expectedZ), 0.01f);
        EXPECT_EQ(camera->m_Blocked, 0u);
        ExpectNear(camera->m_LastClearEye, camera->m_DesiredEye, 0.0f);
    }
    WallAcrossZ(scenery);
    camera->m_DesiredEye = Vector3(0.0f, 0.0f, 150.0f);
    camera->UpdateMotion();
    EXPECT_EQ(camera->m_Blocked, 1u);
    ExpectNear(camera->m_DesiredEye, Vector3(0.0f, 0.0f, 45.0f), 0.01f);
    EXPECT_NEAR(camera->m_Zoom, 45.0f * 0.985f - 105.0f, 0.01f);
}

// Two targets 200 apart: the camera settles square to the line between
// them, looking at their middle from their distance plus its own.
TEST_F(CameraTest, ATwoTargetCameraFramesBoth) {
    StandInCharacter left, right;
    left.m_Position = Vector3(-100.0f, 0.0f, 0.0f);
    right.m_Position = Vector3(100.0f, 0.0f, 0.0f);
    CQVCamera* camera = MakeCamera(CAMERA_TARGET_X2);
    Link(camera, &left);
    CQVActor* second = &right;
    camera->HandleMessage(MSG_SET_CAMERATARGET2_4C8, Args_Of(&second));
    camera->m_DesiredEye = Vector3(40.0f, 10.0f, -60.0f);
    for (int frame = 0; frame < 400; ++frame) camera->UpdateMotion();
    const Vector3 look(0.0f, 30.0f, 0.0f);
    ExpectNear(*engine->GetCameraTarget(), look, 0.01f);
    EXPECT_NEAR(camera->m_DesiredEye.x, 0.0f, 0.5f);
    EXPECT_NEAR(camera->m_DesiredEye.y, 325.0f / 1.8f, 0.5f);
    EXPECT_NEAR(Vec3_Length(camera->m_DesiredEye - look), 325.0f, 0.5f);
}

TEST_F(CameraTest, ACollisionWithABlockingVolumePullsIn) {
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);
    ColObj other;
    other.type = COLOBJ_BOX;
    for (const auto& [flags, type, expected] : {std::tuple{COLOBJ_ACTIVE | COLOBJ_BLOCKS, COLOBJ_BOX, 1u},
                                                std::tuple{COLOBJ_ACTIVE, COLOBJ_BOX, 0u},
                                                std::tuple{COLOBJ_ACTIVE | COLOBJ_BLOCKS, 16u, 0u}}) {
        camera->m_PullIn = 0;
        other.flags = flags;
        other.type = type;
        ColObj* pair[2] = {&other, &camera->m_ColObjs[0]};
        camera->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
        EXPECT_EQ(camera->m_PullIn, expected) << flags << " " << type;
    }
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// In play: a following camera whose eye has come within its radius of a
// wall is pushed out of it by the collision pass, records the contact and
// is told of the wall, so it closes in on its target. Its volume is kind 9
// in memory and in the file, and a camera loaded from a level collides the
// same and saves the same bytes again. Its own ray, from the target to the
// eye, passes through its own ball.
TEST_F(CameraTest, TheCollisionPassPushesTheCameraOffAWallAndPullsItIn) {
    for (const bool loaded : {false, true}) {
        CQVCamera* camera = nullptr;
        if (loaded) {
            const std::string path = (std::filesystem::temp_directory_path() /
                                      ("qv_camera_volume_" + std::to_string(::getpid()) + ".qva")).string();
            CQVActor* made = g_ActorSystem->CreateActor(CLASS_CAMERA, "Saved", nullptr, scenery, 3000, 1, 0);
            uint32_t type = CAMERA_TARGET_2;
            made->HandleMessage(MSG_SET_CAMERA_TYPE, Args_Of(&type));
            ASSERT_EQ(g_ActorSystem->SaveActors(path.c_str(), 3000, 7000, 0), 1);
            const std::vector<uint8_t> saved = FileBytes(path);
            ResetGlobals();
            ActorClasses_Install();
            ASSERT_EQ(RegisterActorClasses(), 1);
            scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
            ASSERT_EQ(g_ActorSystem->LoadActors(path.c_str(), 0), 1) << g_ActorSystem->GetError();
            camera = static_cast<CQVCamera*>(CQVActorSystem::FindActorByName("Saved", ACTOR_ID_ANY));
            ASSERT_NE(camera, nullptr);
            ASSERT_EQ(camera->m_ColObjs.size(), 1u);
            EXPECT_EQ(camera->m_ColObjs[0].type, COLOBJ_CAMERA_VOLUME);
            ASSERT_EQ(g_ActorSystem->SaveActors(path.c_str(), 3000, 7000, 0), 1);
            EXPECT_EQ(FileBytes(path), saved);
            std::filesystem::remove(path);
            g_ActorSystem->PrecalculateAll();
        } else {
            camera = MakeCamera(CAMERA_TARGET_2);
            camera->HandleMessage(MSG_PRECALCULATE, nullptr);
        }
        CQVActor* wall = WallAcrossZ(scenery);
        g_ActorSystem->RemoveFromDrawGroup(camera, 0);
        camera->m_DrawGroupId = wall->m_DrawGroupId;
        g_ActorSystem->AddToDrawGroup(camera, 0);
        const Vector3 eye(0.0f, 0.0f, 55.0f);  // 5 short of the wall's face at 60
        camera->HandleMessage(MSG_SET_POSITION, Args_Of(&eye));
        camera->m_PullIn = 0;

        g_ActorSystem->RunCollisionPass(1.0f / 60.0f);
        EXPECT_EQ(camera->m_PullIn, 1u) << loaded;
        EXPECT_LE(camera->m_Position.z, 51.0f + 0.01f) << loaded;
        ASSERT_NE(camera->m_SimState, nullptr);
        EXPECT_FALSE(camera->m_SimState->contacts.empty()) << loaded;

        // Its own ray sees the wall and not its own ball.
        Vector3 hit;
        const Vector3 from(0.0f, 0.0f, 0.0f), to = camera->m_Position + Vector3(0.0f, 0.0f, 20.0f);
        ColObj* first = g_ActorSystem->RayCast(RayFilter{0xFFFFFFFFu, 0x12000, 0x4040010}, from, to, &hit, nullptr);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->owner, wall) << loaded;
        g_ActorSystem->DeleteActor(camera);
        g_ActorSystem->DeleteActor(wall->m_Parent);
    }
}

TEST_F(CameraTest, CameraHeightSetsBothHeightsOfAChaseCameraOnly) {
    for (uint32_t type : {CAMERA_TARGET, CAMERA_FREE, CAMERA_LOOK_FOLLOW}) {
        CQVCamera* camera = MakeCamera(type);
        float height = 55.0f;
        camera->HandleMessage(MSG_GET_CAMERA_HEIGHT, Args_Of(&height));
        const bool chase = type == CAMERA_TARGET;
        EXPECT_FLOAT_EQ(camera->m_Height, chase ? 55.0f : 30.0f) << type;
        EXPECT_FLOAT_EQ(camera->m_LookHeight, chase ? 55.0f : (type == CAMERA_LOOK_FOLLOW ? 43.0f : 30.0f)) << type;
    }
}

// Targets by pointer, by path, by id; a target's "CameraTarget" and
// "CameraPosition" children frame the view.
TEST_F(CameraTest, TargetsLinkByPointerPathAndIdAndTakeTheirFraming) {
    CQVActor* hero = g_ActorSystem->CreateActor(CLASS_BASE, "Hero", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    CQVActor* aim = g_ActorSystem->CreateActor(CLASS_BASE, "CameraTarget", nullptr, hero, ACTOR_ID_ANY, 1, 0);
    aim->m_Position = Vector3(0.0f, 50.0f, 0.0f);
    CQVActor* place = g_ActorSystem->CreateActor(CLASS_BASE, "CameraPosition", nullptr, hero, ACTOR_ID_ANY, 1, 0);
    place->m_Position = Vector3(0.0f, 60.0f, 80.0f);
    CQVCamera* camera = MakeCamera(CAMERA_TARGET);

    // ActorPointerExt: a null pointer, then the path from the camera.
    uint8_t block[sizeof(CQVActor*) + 16] = {};
    std::memcpy(block + sizeof(CQVActor*), "../Hero", 8);
    camera->HandleMessage(MSG_SET_CAMERATARGET1_4CA, Args_Of(block));
    EXPECT_EQ(camera->m_Target1.target, hero);
    EXPECT_EQ(camera->m_Target2.target, aim);
    EXPECT_FLOAT_EQ(camera->m_LookHeight, 50.0f);
    EXPECT_FLOAT_EQ(camera->m_PitchOffset, 30.0f);
    EXPECT_FLOAT_EQ(camera->m_Distance, 100.0f);
    EXPECT_FLOAT_EQ(camera->m_Height, 100.0f * 0.33333334f);

    uint32_t id = 0;
    camera->HandleMessage(MSG_GET_CAMERATARGET1_4CF, Args_Of(&id));
    EXPECT_EQ(id, hero->m_Id);
    CQVActor* answer = nullptr;
    camera->HandleMessage(MSG_GET_CAMERATARGET2_4C9, Args_Of(&answer));
    EXPECT_EQ(answer, aim);

    uint32_t none = 0x7FFFFFF0;
    camera->HandleMessage(MSG_SET_CAMERATARGET1_4CE, Args_Of(&none));
    EXPECT_EQ(camera->m_Target1.target, nullptr);
    camera->HandleMessage(MSG_GET_CAMERATARGET1_4CF, Args_Of(&id));
    EXPECT_EQ(id, ACTOR_ID_NONE);
    camera->HandleMessage(MSG_SET_CAMERATARGET1_4CE, Args_Of(&hero->m_Id));
    EXPECT_EQ(camera->m_Target1.target, hero);
    // The game's start hands the character itself as the block.
    camera->HandleMessage(MSG_SET_CAMERATARGET1_4CE, Args_Of(&none));
    camera->HandleMessage(MSG_SET_CAMERATARGET1_4C6, MessageArgs(hero, sizeof(CQVActor)));
    EXPECT_EQ(camera->m_Target1.target, hero);
    // A target that goes away leaves the link empty.
    g_ActorSystem->DeleteActor(hero);
    EXPECT_EQ(camera->m_Target1.target, nullptr);
    EXPECT_EQ(camera->m_Target2.target, nullptr);
}

TEST_F(CameraTest, DirectionAndTurnsMoveTheDesiredEyeAboutTheLookPoint) {
    CQVCamera* camera = MakeCamera(CAMERA_FREE);
    camera->m_DesiredLook = Vector3(10.0f, 0.0f, 0.0f);
    Vector3 direction(0.0f, 0.0f, 1.0f);
    camera->HandleMessage(MSG_SET_DIRECTION, Args_Of(&direction));
    ExpectNear(camera->m_DesiredEye, Vector3(10.0f, 0.0f, -125.0f), 0.001f);
    Vector3 answer;
    camera->HandleMessage(MSG_GET_DIRECTION, Args_Of(&answer));
    ExpectNear(answer, direction, 0.001f);

    // Up and down: only y and z change; sideways: only x.
    float turn = 0.1f;
    camera->HandleMessage(MSG_SET_RELATIVE_ROTX, Args_Of(&turn));
    EXPECT_FLOAT_EQ(camera->m_DesiredEye.x, 10.0f);
    EXPECT_NEAR(std::fabs(camera->m_DesiredEye.y), 12.5f, 0.001f);
    camera->m_DesiredEye = Vector3(10.0f, 0.0f, -125.0f);
    camera->HandleMessage(MSG_SET_RELATIVE_ROTY, Args_Of(&turn));
    EXPECT_NEAR(std::fabs(camera->m_DesiredEye.x - 10.0f), 12.5f, 0.001f);
    EXPECT_FLOAT_EQ(camera->m_DesiredEye.y, 0.0f);
}

// The engine's gamma is the camera's gains times the global ones, with the
// global offsets; the camera's tint is an additive overlay over the screen.
TEST_F(CameraTest, GammaCombinesWithTheGlobalGammaAndTheTintCoversTheScreen) {
    auto* whiteAdd = new CQVMaterialItem;
    whiteAdd->name = "whiteadd";
    ASSERT_TRUE(g_Library.SetItem(7, whiteAdd));
    const auto oldMark = g_ActorSystemServices.markCameraGammaChanged;
    g_ActorSystemServices.markCameraGammaChanged = &Camera_MarkGammaChanged;

    CQVCamera* camera = MakeCamera(CAMERA_FREE);
    camera->HandleMessage(MSG_PRECALCULATE, nullptr);
    Activate(camera, 1);
    camera->HandleMessage(MSG_PROCESS, nullptr);
    EXPECT_EQ(camera->m_GammaDirty, 0u);
    float global[6] = {0.5f, 1.0f, 2.0f, 10.0f, 20.0f, 30.0f};
    camera->HandleMessage(MSG_SET_GLOBAL_GAMMA, Args_Of(global));
    EXPECT_EQ(camera->m_GammaDirty, 1u);
    float own[6] = {2.0f, 3.0f, 0.25f, 128.0f, 0.0f, 64.0f};
    camera->HandleMessage(MSG_SET_GAMMA, Args_Of(own));
    camera->HandleMessage(MSG_PROCESS, nullptr);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().gammaScale[0], 1.0f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().gammaScale[1], 3.0f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().gammaScale[2], 0.5f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().gammaAdd[0], 10.0f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().gammaAdd[2], 30.0f);
    ASSERT_EQ(engine->overlayQuads.size(), 1u);
    const OverlayQuad& quad = engine->overlayQuads[0];
    EXPECT_EQ(quad.material, whiteAdd);
    EXPECT_EQ(quad.vertices[3].x, static_cast<float>(width));
    EXPECT_EQ(quad.vertices[3].y, static_cast<float>(height));
    EXPECT_EQ(quad.vertices[0].color, 0xFF800040u);

    // "FastDebug" mode 1 tints the current camera; -1 stands for the developer's defaults.
    const auto oldFastDebug = g_FastDebugApply;
    g_FastDebugApply = &FastDebug_Apply;
    uint32_t debug[4] = {1, 0xFFFFFFFF, 5, 0xFFFFFFFF};
    scenery->HandleMessage(MSG_FASTDEBUG, Args_Of(debug));
    EXPECT_FLOAT_EQ(camera->m_Tint[0], 60.0f);
    EXPECT_FLOAT_EQ(camera->m_Tint[1], 5.0f);
    EXPECT_FLOAT_EQ(camera->m_Tint[2], 200.0f);
    g_FastDebugApply = oldFastDebug;
    g_ActorSystemServices.markCameraGammaChanged = oldMark;
}

struct VersionCase {
    uint32_t version;
    bool typeKept, activeKept, lensKept;
};

class CameraVersions : public CameraSceneTest, public testing::WithParamInterface<VersionCase> {};

// Each field comes back from the versions that hold it; older files leave
// the constructor's value.
TEST_P(CameraVersions, FieldsAreReadFromTheVersionsThatHoldThem) {
    const VersionCase& c = GetParam();
    CQVActor* hero = g_ActorSystem->CreateActor(CLASS_BASE, "Hero", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    CQVCamera* camera = MakeCamera(CAMERA_MOVE_FOLLOW);
    Link(camera, hero);
    camera->m_CameraActive = 1;
    camera->m_Fov = 0.7f;
    camera->m_Far = 900.0f;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qv_camera_" + std::to_string(::getpid()) + ".bin")).string();
    {
        CQVActorArchive out;
        ASSERT_TRUE(out.Open(path.c_str(), "wb"));
        out.version = c.version;
        ASSERT_EQ(camera->Serialize(&out, 0), 1);
        out.Close();
    }
    CQVCamera loaded;
    CQVActorArchive in;
    ASSERT_TRUE(in.Open(path.c_str(), "rb"));
    in.version = c.version;
    SkipRecordHead(&in);
    ASSERT_EQ(loaded.Serialize(&in, 0), 1);
    EXPECT_EQ(in.GetRemaining(), 0u);
    in.Close();
    EXPECT_EQ(loaded.m_CameraType, c.typeKept ? CAMERA_MOVE_FOLLOW : CAMERA_FREE);
    EXPECT_EQ(loaded.m_CameraActive, c.activeKept ? 1u : 0u);
    EXPECT_FLOAT_EQ(loaded.m_Fov, c.lensKept ? 0.7f : 1.1f);
    EXPECT_FLOAT_EQ(loaded.m_Far, c.lensKept ? 900.0f : 2500.0f);
    EXPECT_FLOAT_EQ(loaded.m_Distance, c.lensKept ? 105.0f : 125.0f);
    EXPECT_EQ(loaded.m_Target1.targetName.empty(), !c.lensKept);

    // A file cut short fails the load.
    if (c.version >= 26) {
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 6);
        CQVCamera cut;
        CQVActorArchive shortIn;
        ASSERT_TRUE(shortIn.Open(path.c_str(), "rb"));
        shortIn.version = c.version;
    SkipRecordHead(&shortIn);
        EXPECT_EQ(cut.Serialize(&shortIn, 0), 0);
        shortIn.Close();
    }
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Versions, CameraVersions,
                         testing::Values(VersionCase{1, false, false, false}, VersionCase{25, false, false, false},
                                         VersionCase{26, true, false, true}, VersionCase{38, true, false, true},
                                         VersionCase{39, true, true, true}, VersionCase{70, true, true, true}));

// A level file made here: the active chase camera comes back current,
// linked to its target by name, with its volume and lens.
TEST_F(CameraTest, ALoadedActiveCameraBecomesCurrentWithItsTarget) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qv_camera_level_" + std::to_string(::getpid()) + ".qva")).string();
    CQVActor* hero = g_ActorSystem->CreateActor(CLASS_BASE, "Hero", nullptr, scenery, 3000, 1, 0);
    CQVActor* actor = g_ActorSystem->CreateActor(CLASS_CAMERA, "Chase", nullptr, scenery, 3001, 1, 0);
    auto* camera = static_cast<CQVCamera*>(actor);
    uint32_t type = CAMERA_TARGET;
    camera->HandleMessage(MSG_SET_CAMERA_TYPE, Args_Of(&type));
    Link(camera, hero);
    float fov = 0.8f;
    camera->HandleMessage(MSG_SET_FOV, Args_Of(&fov));
    Activate(camera, 1);
    ASSERT_EQ(g_ActorSystem->SaveActors(path.c_str(), 3000, 7000, 0), 1);

    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    ASSERT_EQ(g_CurrentCamera, nullptr);
    ASSERT_EQ(g_ActorSystem->LoadActors(path.c_str(), 0), 1) << g_ActorSystem->GetError();
    g_ActorSystem->PrecalculateAll();
    std::filesystem::remove(path);
    CQVCamera* loaded = Camera_GetCurrent();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Name, "Chase");
    EXPECT_EQ(loaded->m_CameraType, CAMERA_TARGET);
    ASSERT_NE(loaded->m_Target1.target, nullptr);
    EXPECT_EQ(loaded->m_Target1.target->m_Name, "Hero");
    ASSERT_EQ(loaded->m_ColObjs.size(), 1u);
    EXPECT_EQ(loaded->m_ColObjs[0].name, "Camera Col");
    EXPECT_FLOAT_EQ(loaded->m_Fov, 0.8f);
    EXPECT_NE(loaded->FindTimedMessage(MSG_PROCESS), nullptr);
}

// A level's cameras bring their lens: a loaded camera hands the engine its
// fov, aspect and planes when it becomes current, at load or later; a camera
// made at run time without a lens leaves the engine's planes alone.
TEST_F(CameraTest, ALoadedCameraBringsItsLensWhenItBecomesCurrent) {
    const float oldFov = CQVRender::Get().View().fieldOfView, oldAspect = CQVRender::Get().View().aspectRatio, oldNear = CQVRender::Get().View().nearPlane,
                oldFar = CQVRender::Get().View().farPlane;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qv_camera_lens_" + std::to_string(::getpid()) + ".qva")).string();
    struct Lens {
        const char* name;
        float fov, aspect, nearPlane, farPlane;
    } const lenses[] = {{"Overview", 0.9f, 2.0f, 5.0f, 3000.0f}, {"Closeup", 0.5f, 1.25f, 2.0f, 900.0f}};
    for (uint32_t i = 0; i < 2; ++i) {
        auto* camera = static_cast<CQVCamera*>(
            g_ActorSystem->CreateActor(CLASS_CAMERA, lenses[i].name, nullptr, scenery, 3000 + i, 1, 0));
        // As an editor stores them: the fields, no setter sent.
        camera->m_Fov = lenses[i].fov;
        camera->m_Aspect = lenses[i].aspect;
        camera->m_Near = lenses[i].nearPlane;
        camera->m_Far = lenses[i].farPlane;
        if (i == 0) Activate(camera, 1);
    }
    ASSERT_EQ(g_ActorSystem->SaveActors(path.c_str(), 3000, 7000, 0), 1);

    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    // The planes the game's start sets.
    engine->SetFarPlane(35000.0f);
    engine->SetNearPlane(1.5f);
    engine->SetAspectRatio(1.333f);
    ASSERT_EQ(g_ActorSystem->LoadActors(path.c_str(), 0), 1) << g_ActorSystem->GetError();
    g_ActorSystem->PrecalculateAll();
    std::filesystem::remove(path);
    const auto expectLens = [&](const Lens& lens) {
        EXPECT_FLOAT_EQ(CQVRender::Get().View().fieldOfView, lens.fov * 0.75f) << lens.name;
        EXPECT_FLOAT_EQ(CQVRender::Get().View().aspectRatio, lens.aspect) << lens.name;
        EXPECT_FLOAT_EQ(CQVRender::Get().View().nearPlane, lens.nearPlane) << lens.name;
        EXPECT_FLOAT_EQ(CQVRender::Get().View().farPlane, lens.farPlane) << lens.name;
    };
    ASSERT_NE(Camera_GetCurrent(), nullptr);
    EXPECT_EQ(Camera_GetCurrent()->m_Name, "Overview");
    expectLens(lenses[0]);
    // The second camera of the level takes over, lens and all.
    CQVActor* closeup = CQVActorSystem::FindActorByName("Closeup", ACTOR_ID_ANY);
    ASSERT_NE(closeup, nullptr);
    closeup->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(g_CurrentCamera, closeup);
    expectLens(lenses[1]);
    // A camera made in play with no lens of its own keeps the planes as they are.
    Activate(MakeCamera(CAMERA_TARGET_2, "Made"), 1);
    expectLens(lenses[1]);

    engine->SetFov(oldFov / 0.75f);
    engine->SetAspectRatio(oldAspect);
    engine->SetNearPlane(oldNear);
    engine->SetFarPlane(oldFar);
}

}  // namespace
