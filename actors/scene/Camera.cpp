#include "actors/scene/Camera.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/render/View.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A lens value set becomes the camera's own and goes to the engine at once.
constexpr MessageRow kCameraRows[] = {
    SheetRow("Camera Properties", PROP_TITLE),
    FieldRow<&CQVCamera::m_CameraType>(MSG_SET_CAMERA_TYPE, MSG_GET_CAMERA_TYPE,
                                       "Type:|Free|0|Target|1|TargetX2|2|Target2|3|Target2|4|Target2|4|", PROP_CHOICE)
        .StoredBy<&CQVCamera::SetType>(),
    FieldRow<&CQVCamera::m_Fov>(MSG_SET_FOV, MSG_GET_FOV, "Fov:", PROP_ANGLE).Then<&CQVCamera::SendFov>(),
    FieldRow<&CQVCamera::m_Aspect>(MSG_SET_ASPECTRATIO, MSG_GET_ASPECTRATIO, "Aspect:", PROP_REAL)
        .Then<&CQVCamera::SendAspect>(),
    FieldRow<&CQVCamera::m_Near>(MSG_SET_NEAR, MSG_GET_NEAR, "Near:", PROP_REAL).Then<&CQVCamera::SendNear>(),
    FieldRow<&CQVCamera::m_Far>(MSG_SET_FAR, MSG_GET_FAR, "Far:", PROP_REAL).Then<&CQVCamera::SendFar>(),
    BoolRow<&CQVCamera::m_CameraActive>(MSG_SET_CAMERA_ACTIVE, MSG_GET_CAMERA_ACTIVE, "Active:", PROP_CHECK)
        .StoredBy<&CQVCamera::ChangeActive>(),
    SheetRow("CameraTarget 1:", PROP_ACTOR, MSG_SET_CAMERATARGET1_4CA, MSG_GET_CAMERATARGET1_4CB),
    SheetRow("CameraTarget 2:", PROP_ACTOR, MSG_SET_CAMERATARGET2_4CC, MSG_GET_CAMERATARGET2_4CD),
    MemberRow<&CQVCamera::Target1Id, &CQVCamera::SetTarget1Id>(MSG_SET_CAMERATARGET1_4CE, MSG_GET_CAMERATARGET1_4CF),
    MemberRow<nullptr, &CQVCamera::SetTarget2Id>(MSG_SET_CAMERATARGET2_4D0, 0),
    // The direction from the eye to the look point; a set moves the eye.
    MemberRow<&CQVCamera::Direction, &CQVCamera::SetDirection>(MSG_SET_DIRECTION, MSG_GET_DIRECTION).WholeValue(),
};

// The targets are linked anew by hand (CopyCamera).
constexpr MessageTable kCameraMessages{
    kCameraRows,
    CopiedFields<&CQVCamera::m_LastClearEye, &CQVCamera::m_LastClearLook, &CQVCamera::m_DesiredEye,
                 &CQVCamera::m_DesiredLook, &CQVCamera::m_DesiredUp, &CQVCamera::m_SmoothEye,
                 &CQVCamera::m_SmoothLook, &CQVCamera::m_SmoothUp, &CQVCamera::m_PrevEye, &CQVCamera::m_PrevLook,
                 &CQVCamera::m_PrevUp, &CQVCamera::m_Height, &CQVCamera::m_Distance, &CQVCamera::m_Slack,
                 &CQVCamera::m_Zoom, &CQVCamera::m_ZoomDecay, &CQVCamera::m_ZoomRecovery, &CQVCamera::m_LookHeight,
                 &CQVCamera::m_EyeSmoothing, &CQVCamera::m_LookSmoothing, &CQVCamera::m_UpSmoothing,
                 &CQVCamera::m_OwnLens, &CQVCamera::m_PitchOffset, &CQVCamera::m_HitNormal,
                 &CQVCamera::m_GammaScale, &CQVCamera::m_Tint>()};

// The camera's own collision volume: a ball of the camera's size about its
// eye, solid and reported by triggers, stored as kind 9 (the collision pass
// tests a camera's kind 9 as this sphere). Its exclude mask keeps it off
// characters and plain trigger volumes, and out of its own ray casts, whose
// groups are all bits.
constexpr uint32_t kCameraVolumeKind = COLOBJ_CAMERA_VOLUME;
constexpr uint32_t kCameraVolumeFlags = (0x41 | 0x30) & ~0x42u;
constexpr uint32_t kCameraVolumeExclude = 0x4040000;
constexpr float kCameraVolumeSize = 9.0f;
constexpr const char* kCameraVolumeName = "Camera Col";
// A volume of this kind never pulls the camera in.
constexpr uint32_t kNoPullInKind = 16;
// What a camera's ray sees: anything that receives, but neither cameras nor triggers.
constexpr RayFilter kCameraRay{0xFFFFFFFFu, 0x12000, 0x4040010};

// The view placed by a type-3 camera when it becomes current.
const Vector3 kTarget2Offset(150.0f, 150.0f, 0.0f);
const Vector3 kUp(0.0f, 1.0f, 0.0f);


// keep x a + (1 - keep) x b
Vector3 Blend(float keep, const Vector3& a, const Vector3& b) { return a * keep + b * (1.0f - keep); }

Vector3 WorldPosition(CQVActor* actor) {
    Vector3 position(0.0f, 0.0f, 0.0f);
    if (actor) actor->HandleMessage(MSG_GET_WSPOSITION, Args_Of(&position));
    return position;
}

CQVActor* RayCast(const Vector3& from, const Vector3& to, Vector3* hitPoint, Vector3* hitNormal) {
    if (g_ActorSystem == nullptr) return nullptr;
    ColObj* hit = g_ActorSystem->RayCast(kCameraRay, from, to, hitPoint, hitNormal);
    if (hit == nullptr) return nullptr;
    // A volume without an owner still blocks; the camera only needs to know.
    return hit->owner ? hit->owner : g_ActorSystem;
}

}  // namespace

CQVCamera::CQVCamera() {
    m_ClassType = CLASS_CAMERA;
    m_Flags &= ~ACTOR_STATIC;
    m_Target1.SetOwner(this);
    m_Target2.SetOwner(this);
}

CQVCamera::~CQVCamera() {
    if (g_CurrentCamera == this) g_CurrentCamera = nullptr;
    m_Target1.Unlink();
    m_Target2.Unlink();
}

CQVCamera* Camera_GetCurrent() {
    CQVActor* camera = g_CurrentCamera;
    return camera && camera->m_ClassType == CLASS_CAMERA ? static_cast<CQVCamera*>(camera) : nullptr;
}

void Camera_MarkGammaChanged(CQVActor* camera) {
    if (camera && camera->m_ClassType == CLASS_CAMERA) static_cast<CQVCamera*>(camera)->m_GammaDirty = 1;
}

void CQVCamera::ScheduleProcess() {
    if (FindTimedMessage(MSG_PROCESS) == nullptr && g_ActorSystem)
        g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
}

float CQVCamera::ClockTime() { return m_Clock ? m_Clock->time : 0.0f; }

float CQVCamera::ClockFrameTime() { return m_Clock ? m_Clock->dt : 0.0f; }

void CQVCamera::LinkTarget(ActorLink& link, CQVActor* target) {
    // The name a file gave the link no longer describes it.
    link.targetName.clear();
    link.SetTarget(target);
}

void CQVCamera::SetTarget1(CQVActor* target) {
    LinkTarget(m_Target1, target);
    if (target == nullptr) return;
    // A target may carry its own framing: where to look and how far back to stand.
    if (CQVActor* look = CQVActor::FindChildByName(target, "CameraTarget")) {
        LinkTarget(m_Target2, look);
        m_LookHeight = look->m_Position.y;
        m_PitchOffset = look->m_Position.y * 0.6f;
    }
    if (CQVActor* place = CQVActor::FindChildByName(target, "CameraPosition")) {
        m_Distance = Vec3_Length(place->m_Position);
        m_Height = m_Distance * 0.33333334f;
    }
}

void CQVCamera::SetType(uint32_t type) {
    m_CameraType = type;
    CQVActorSystem* system = g_ActorSystem;
    // The draw group holds the volumes by address: they leave it before the list changes.
    if (system) system->RemoveFromDrawGroup(this, 0);
    m_ColObjs.clear();
    m_SelectedColObj = -1;
    m_Flags &= ~ACTOR_DRAWGROUP_OPTION2;
    if (type == CAMERA_TARGET || type == CAMERA_TARGET_2 || type == CAMERA_MOVE_FOLLOW) {
        ColObj volume;
        volume.name = kCameraVolumeName;
        volume.type = kCameraVolumeKind;
        // Centre in the minimum, radius in the maximum's first component.
        volume.boxMin = Vector3(0.0f, 0.0f, 0.0f);
        volume.boxMax = Vector3(kCameraVolumeSize, kCameraVolumeSize, kCameraVolumeSize);
        volume.owner = this;
        volume.flags = kCameraVolumeFlags;
        volume.groupsExclude = kCameraVolumeExclude;
        volume.UpdateDerivedGroups(m_ClassType);
        m_ColObjs.push_back(volume);
    }
    if (system) system->AddToDrawGroup(this, 0);
    switch (type) {
    case CAMERA_TARGET:
        m_LookSmoothing = 0.86f;
        m_EyeSmoothing = 0.92f;
        m_Height = 30.0f;
        m_Distance = 125.0f;
        break;
    case CAMERA_LOOK_FOLLOW:
        m_LookSmoothing = 0.05f;
        m_EyeSmoothing = 0.5f;
        m_LookHeight = 43.0f;
        m_Distance = 105.0f;
        m_ZoomDecay = 0.97f;
        m_ZoomRecovery = 0.0f;
        break;
    case CAMERA_MOVE_FOLLOW:
        m_LookSmoothing = 0.5f;
        m_EyeSmoothing = 0.7f;
        m_UpSmoothing = 0.9f;
        m_LookHeight = 0.0f;
        m_Distance = 105.0f;
        m_ZoomDecay = 0.97f;
        m_ZoomRecovery = 0.0f;
        break;
    default:
        break;
    }
}

int CQVCamera::SetActive(uint32_t active) {
    active = active ? 1 : 0;
    if (active == m_CameraActive) return 1;
    if (!active) {
        m_CameraActive = 0;
        if (g_CurrentCamera == this) g_CurrentCamera = nullptr;
        return 0;
    }
    m_CameraActive = 1;
    CQVActor* previous = g_CurrentCamera;
    if (previous && previous != this) {
        uint32_t off = 0;
        previous->HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&off));
    }
    g_CurrentCamera = this;
    ApplyOwnLens();
    // The camera the game's start makes is never precalculated: its gamma
    // and tint need the per-frame step all the same.
    ScheduleProcess();
    if (m_CameraType == CAMERA_TARGET_2 && m_Target1.target) {
        const Vector3 look = WorldPosition(m_Target1.target);
        const Vector3 eye = look + kTarget2Offset;
        MoveTo(eye);
        if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetCameraLookAt(eye, look, kUp);
    }
    return 0;
}

void CQVCamera::ApplyOwnLens() {
    // A level's camera (or a cut-scene's) brings its lens with it; a camera
    // that was never given one leaves the engine's projection as it is (the
    // game's start sets the planes of the player's camera).
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    if (m_OwnLens & CAMERA_LENS_FOV) {
        engine->SetFov(m_Fov);
        m_FovDirty = 0;
    }
    if (m_OwnLens & CAMERA_LENS_ASPECT) engine->SetAspectRatio(m_Aspect);
    if (m_OwnLens & CAMERA_LENS_NEAR) engine->SetNearPlane(m_Near);
    if (m_OwnLens & CAMERA_LENS_FAR) engine->SetFarPlane(m_Far);
}

void CQVCamera::CopyCamera(const CQVCamera& source) {
    // A copy is not the current camera, whatever its source is.
    const uint32_t active = m_CameraActive;
    kCameraMessages.Copy(*this, source);
    m_CameraActive = active;
    m_Target1 = source.m_Target1;
    m_Target2 = source.m_Target2;
    m_Target1.SetOwner(this);
    m_Target2.SetOwner(this);
    m_Target1.trace = "  _AS(" + source.m_Target1.targetName + ")" + source.m_Target1.trace;
    m_Target2.trace = "  _AS(" + source.m_Target2.targetName + ")" + source.m_Target2.trace;
}

void CQVCamera::SendFov() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetFov(m_Fov);
    m_FovDirty = 1;
    m_OwnLens |= CAMERA_LENS_FOV;
}

void CQVCamera::SendAspect() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetAspectRatio(m_Aspect);
    m_OwnLens |= CAMERA_LENS_ASPECT;
}

void CQVCamera::SendNear() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetNearPlane(m_Near);
    m_OwnLens |= CAMERA_LENS_NEAR;
}

void CQVCamera::SendFar() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetFarPlane(m_Far);
    m_OwnLens |= CAMERA_LENS_FAR;
}

int CQVCamera::ChangeActive(bool active) {
    if (active == (m_CameraActive != 0)) return 1;
    SetActive(active ? 1 : 0);
    return ROW_PASS_ON;
}

uint32_t CQVCamera::Target1Id() const { return m_Target1.target ? m_Target1.target->m_Id : ACTOR_ID_NONE; }

void CQVCamera::SetTarget1Id(uint32_t id) { LinkTarget(m_Target1, CQVActorSystem::GetActorById(id)); }

void CQVCamera::SetTarget2Id(uint32_t id) { LinkTarget(m_Target2, CQVActorSystem::GetActorById(id)); }

Vector3 CQVCamera::Direction() const { return Vec3_Normalized(m_DesiredLook - m_DesiredEye); }

void CQVCamera::SetDirection(Vector3 d) { m_DesiredEye = m_DesiredLook - d * (m_Distance + m_Zoom); }

int CQVCamera::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kCameraMessages.Apply(*this, id, args); row.Ends()) return row.result;
    CQVEngine* engine = CQVEngine::GetInstance();
    switch (id) {
    case MSG_PRECALCULATE: {
        m_Target1.Resolve();
        m_Target2.Resolve();
        ScheduleProcess();
        if (m_CameraActive) {
            // Activated again, so that a loaded active camera becomes current.
            m_CameraActive = 0;
            uint32_t on = 1;
            HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&on));
        }
        if (m_SimState == nullptr) m_SimState = new SimState;
        if (m_SimParams == nullptr) m_SimParams = new SimParams;
        // Far from anything, so a following camera's first frame starts from its pull-in.
        m_DesiredEye = Vector3(5553.0f, 5550.0f, -99999.0f);
        // The tint's material, looked up at load rather than on the first tinted frame.
        if (m_WhiteAdd == nullptr && engine)
            m_WhiteAdd = static_cast<CQVMaterialItem*>(engine->FindItem("whiteadd", LIBRARY_KIND_MATERIAL));
        break;
    }
    case MSG_CREATE:
        if (CQVActor* source = Args_Pointer<CQVActor>(id, args); source && source->m_ClassType == CLASS_CAMERA)
            CopyCamera(*static_cast<CQVCamera*>(source));
        break;
    case MSG_COLLISION_EVENT:
        if (const ColObj* other = Args_Pointer<ColObj>(id, args, 0)) {
            if ((other->flags & COLOBJ_BLOCKS) && other->type != kNoPullInKind) m_PullIn = 1;
        }
        break;
    case MSG_ACTION_START: {
        uint32_t on = 1;
        HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&on));
        break;
    }
    case MSG_ACTION_STOP_POST: {
        uint32_t off = 0;
        HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&off));
        break;
    }
    case MSG_SET_CAMERATARGET1_4C6:
        SetTarget1(Args_HandedActor(id, args));
        break;
    case MSG_GET_CAMERATARGET1_4C7:
        if (MessageArgs_IsPointerAt(id, args, 0)) Args_Set(args, 0, m_Target1.target);
        break;
    case MSG_SET_CAMERATARGET2_4C8:
        LinkTarget(m_Target2, Args_HandedActor(id, args));
        break;
    case MSG_GET_CAMERATARGET2_4C9:
        if (MessageArgs_IsPointerAt(id, args, 0)) Args_Set(args, 0, m_Target2.target);
        break;
    case MSG_SET_CAMERATARGET1_4CA:
    case MSG_SET_CAMERATARGET2_4CC: {
        const bool first = id == MSG_SET_CAMERATARGET1_4CA;
        CQVActor* pointer = Args_Pointer<CQVActor>(id, args);
        const char* path = Args_Text(args, sizeof(CQVActor*));
        CQVActor* named = path && path[0] ? ResolveActorName(path) : nullptr;
        for (CQVActor* target : {pointer, named}) {
            if (target == nullptr) continue;
            if (first) SetTarget1(target);
            else LinkTarget(m_Target2, target);
        }
        break;
    }
    case MSG_GET_CAMERA_HEIGHT:
        // Despite its name this sets, and only a chase camera takes it.
        if (m_CameraType == CAMERA_TARGET && args.Holds(0, 4)) m_Height = m_LookHeight = Args_Get<float>(args);
        break;
    case MSG_SET_GAMMA:
        if (args.Holds(0, 24)) {
            for (int i = 0; i < 3; ++i) {
                m_GammaScale[i] = Args_Get<float>(args, 4 * i);
                m_Tint[i] = Args_Get<float>(args, 12 + 4 * i);
            }
            m_GammaDirty = 1;
        }
        break;
    case MSG_SET_GLOBAL_GAMMA:
        if (g_ActorSystem) g_ActorSystem->HandleMessage(id, args);
        break;
    case MSG_SET_RELATIVE_ROTX:
    case MSG_SET_RELATIVE_ROTY: {
        const float a = Args_Get<float>(args);
        const Vector3 v = m_DesiredEye - m_DesiredLook;
        const float r = Vec3_Length(v);
        const Vector3 n = r > 0.00001f ? v * (1.0f / r) : v;
        const Vector3 side = Vec3_CrossProduct(n, kUp);
        const Vector3 along = id == MSG_SET_RELATIVE_ROTX ? Vec3_CrossProduct(n, side) : side;
        m_DesiredEye += along * (a * r);
        if (id == MSG_SET_RELATIVE_ROTX) m_LastTurnTime = ClockTime();
        break;
    }
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVCamera::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version >= 26 && archive->SerializeDword(&m_CameraType) != 1) return 0;
    if (version >= 39 && archive->SerializeDword(&m_CameraActive) != 1) return 0;
    if (version >= 26) {
        float* const values[] = {&m_Height,        &m_Distance,     &m_Zoom, &m_LookHeight, &m_LookSmoothing,
                                 &m_EyeSmoothing,  &m_Fov,          &m_Aspect, &m_Near,     &m_Far,
                                 &m_PitchOffset};
        for (float* value : values) {
            if (archive->SerializeDword(value) != 1) return 0;
        }
        m_Target1.Serialize(archive);
        m_Target2.Serialize(archive);
        if (archive->HasFailed()) return 0;
        if (archive->direction == ARCHIVE_READING) m_OwnLens = CAMERA_LENS_ALL;
    }
    if (g_CurrentCamera == this) m_CameraActive = 1;
    return 1;
}

void CQVCamera::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_CAMERA];
    record.Define("Camera", "Camera", {CLASS_BASE, CLASS_CAMERA});
    kCameraMessages.AddSheet(record);
}

void CQVCamera::Process() {
    if (!IsOperational()) return;
    if (m_CameraType == CAMERA_TARGET_2) {
        FollowTarget();
        CQVActor::Process();
        return;
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    if (g_CurrentCamera == this && engine) {
        if (m_FovDirty) {
            engine->SetFov(m_Fov);
            m_FovDirty = 0;
        }
        if (m_GammaDirty) {
            engine->SetGamma(g_GlobalGamma[0] * m_GammaScale[0], g_GlobalGamma[1] * m_GammaScale[1],
                             g_GlobalGamma[2] * m_GammaScale[2], g_GlobalGamma[3], g_GlobalGamma[4],
                             g_GlobalGamma[5]);
            m_GammaDirty = 0;
        }
        if (m_Tint[0] > 0.0f || m_Tint[1] > 0.0f || m_Tint[2] > 0.0f) {
            if (m_WhiteAdd == nullptr)
                m_WhiteAdd = static_cast<CQVMaterialItem*>(engine->FindItem("whiteadd", LIBRARY_KIND_MATERIAL));
            engine->AddQuad(0.0f, 0.0f, static_cast<float>(Graphics_GetViewportWidth()),
                            static_cast<float>(Graphics_GetViewportHeight()), m_Tint[0] / 256.0f,
                            m_Tint[1] / 256.0f, m_Tint[2] / 256.0f, 1.0f, m_WhiteAdd);
        }
    }
    CQVActor::Process();
}

void CQVCamera::MoveTo(const Vector3& eye) {
    m_PrevPosition = m_Position;
    m_Position = eye;
    InvalidateTransform();
}

void CQVCamera::PlaceEngineView(const Vector3& eye, const Vector3& look, const Vector3& up) {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetCameraLookAt(eye, look, up);
}

void CQVCamera::FollowTarget() {
    // Without a target the camera keeps the view it has.
    if (m_Target1.target == nullptr) return;
    const float dt = ClockFrameTime();
    m_DesiredEye = GetWorldPosition();
    Vector3 look = WorldPosition(m_Target1.target);
    look.y += 30.0f;
    const Vector3 v = m_DesiredEye - look;
    const float r = Vec3_Length(v);
    const Vector3 step = Vec3_Normalized(v) * (r * dt);
    if (m_PullIn == 0 && r <= 160.0f) {
        if (r < 150.0f) m_DesiredEye += step;
    } else {
        m_DesiredEye = m_DesiredEye - step;
    }
    if (m_DesiredEye.y > look.y + 40.0f) m_DesiredEye.y -= 50.0f * dt;
    else if (m_DesiredEye.y < look.y + 30.0f) m_DesiredEye.y += 50.0f * dt;
    m_DesiredLook = look;
    m_PullIn = 0;
    MoveTo(m_DesiredEye);
    // A camera that is not current keeps following, but the view is the current camera's.
    if (g_CurrentCamera == this) PlaceEngineView(m_DesiredEye, look, kUp);
}

void CQVCamera::UpdateMotion() {
    switch (m_CameraType) {
    case CAMERA_FREE:
        MotionFree();
        break;
    case CAMERA_TARGET:
        MotionTarget();
        break;
    case CAMERA_TARGET_X2:
        MotionTargetX2();
        break;
    case CAMERA_LOOK_FOLLOW:
        MotionLookFollow();
        break;
    case CAMERA_MOVE_FOLLOW:
        MotionMoveFollow();
        break;
    default:
        break;
    }
    m_PullIn = 0;
}

void CQVCamera::MotionFree() {
    UpdateWorldMatrix();
    Vector3 position(0.0f, 0.0f, 0.0f);
    Quaternion rotation{0.0f, 0.0f, 0.0f, 1.0f};
    HandleMessage(MSG_GET_WSPOSITION, Args_Of(&position));
    HandleMessage(MSG_GET_WSQUATERNION, Args_Of(&rotation));
    if (CQVEngine* engine = CQVEngine::GetInstance()) {
        engine->SetFov(m_Fov);
        engine->SetCameraPositionRotation(position, rotation);
    }
}

void CQVCamera::MotionTarget() {
    CQVActor* target = m_Target1.target;
    if (target == nullptr) return;
    Vector3 lookDirection(0.0f, 0.0f, 0.0f);
    target->HandleMessage(MSG_GET_LOOKDIRECTION, Args_Of(&lookDirection));
    float lookRotX = 0.0f;
    target->HandleMessage(MSG_GET_LOOK_ROT_X, Args_Of(&lookRotX));

    Matrix yaw, heading;
    Mat4_RotationYawPitchRoll(&yaw, lookDirection.x, 0.0f, 0.0f);
    Mat4_Multiply(&heading, yaw, target->GetWorldMatrix());
    const float p = std::clamp(lookRotX, -0.5f, 1.0f);
    Matrix pitch;
    Mat4_RotationYawPitchRoll(&pitch, 0.0f, -p, 0.0f);

    const float reach = m_Distance + m_Zoom;
    Vector3 a, b;
    Vec3_TransformNormal(&a, Vector3(0.0f, m_Height, reach), pitch);
    Vec3_TransformNormal(&b, Vector3(0.0f, 0.0f, -reach - 20.0f), pitch);
    b.y += m_LookHeight;
    Vec3_TransformPoint(&m_DesiredEye, a, heading);
    Vec3_TransformPoint(&m_DesiredLook, b, heading);

    const float t = (p - 0.3f) * 0.7f;
    Vector3 k;
    Vec3_TransformNormal(&k, Vector3(0.0f, 0.0f, reach * t), heading);
    k.y -= t * m_PitchOffset;
    m_DesiredEye += k;
    m_DesiredLook += k;

    const uint32_t eyeGroup =
        g_ActorSystem ? g_ActorSystem->FindDrawGroupAt(m_DesiredEye, DRAWGROUP_FIRST_LEVEL) : DRAWGROUP_NONE;
    const bool sameGroup = eyeGroup == m_DrawGroupId && eyeGroup == target->m_DrawGroupId;
    if (!(m_PullIn == 0 && sameGroup)) {
        Vector3 start = WorldPosition(target);
        start.y += m_Height;
        Vector3 hit;
        if (RayCast(start, m_DesiredEye, &hit, nullptr) == nullptr) {
            if (m_SimState && !m_SimState->contacts.empty()) {
                Vector3 push;
                std::memcpy(&push, m_SimState->contacts.front().words, sizeof push);
                m_Zoom -= 0.25f * Vec3_Length(push) / (std::fabs(m_Zoom * 0.1f) + 1.0f);
            }
        } else {
            const Vector3 n = Vec3_Normalized(start - m_DesiredEye);
            const float radius = m_ColObjs.empty() ? 0.0f : m_ColObjs.front().boxMax.x;
            const Vector3 q = hit + n * (2.0f * radius);
            if (Vec3_Dot(Vec3_Normalized(m_DesiredEye - q), n) < 0.0f) m_Zoom -= Vec3_Length(m_DesiredEye - q);
        }
    }
    m_Zoom = std::max(m_Zoom, -0.85f * m_Distance);
    ApplySmoothing();
}

void CQVCamera::MotionTargetX2() {
    const Vector3 t1 = WorldPosition(m_Target1.target);
    const Vector3 t2 = WorldPosition(m_Target2.target);
    const Vector3 middle = (t1 + t2) * 0.5f;
    m_DesiredLook = middle;
    m_DesiredLook.y += m_Height;
    const float s = Vec3_Length(t1 - t2);

    const Vector3 v = m_DesiredLook - m_DesiredEye;
    const float length = Vec3_Length(v);
    if (length > 0.0f) m_DesiredEye += v * ((length - s - m_Distance) * 0.1f / length);
    m_DesiredEye.y += ((s + m_Distance) - 1.8f * m_DesiredEye.y) * 0.1f;

    const Vector3 side = Vec3_Normalized(Vec3_CrossProduct(m_DesiredLook - m_DesiredEye, kUp));
    const float c = Vec3_Dot(Vec3_Normalized(t1 - middle), Vec3_Normalized(m_DesiredEye - middle));
    m_DesiredEye += side * (-40.0f * c);

    m_PrevEye = m_SmoothEye;
    m_PrevLook = m_SmoothLook;
    m_SmoothLook = Blend(m_LookSmoothing, m_SmoothLook, m_DesiredLook);
    m_SmoothEye = Blend(m_EyeSmoothing, m_SmoothEye, m_DesiredEye);
    PlaceEngineView(m_SmoothEye, m_SmoothLook, kUp);
}

void CQVCamera::MotionLookFollow() {
    CQVActor* target = m_Target1.target;
    if (target == nullptr) return;
    Vector3 look;
    if (m_Target2.target) {
        look = WorldPosition(m_Target2.target);
    } else {
        look = WorldPosition(target);
        look.y += m_LookHeight;
    }
    Vector3 direction(0.0f, 0.0f, 0.0f);
    target->HandleMessage(MSG_GET_LOOKDIRECTION, Args_Of(&direction));
    m_DesiredLook = look;
    m_DesiredEye = look - direction * (m_Distance + m_Zoom);

    Vector3 start = look;
    start.y -= 30.0f;
    const Vector3 d = Vec3_Normalized(m_DesiredEye - start);
    Vector3 hit;
    if (RayCast(start, m_DesiredEye + d * 20.0f, &hit, &m_HitNormal)) {
        const Vector3 q = hit - d * 10.0f;
        if (std::fabs(Vec3_Dot(m_HitNormal, kUp)) >= 0.8f) {
            // Off a floor or a ceiling the whole view moves along the
            // surface's normal; sliding sideways would swing it.
            Vector3 along, across;
            Vec3_Decompose(q - m_DesiredEye, m_HitNormal, &along, &across);
            m_DesiredEye += along;
            m_DesiredLook += along;
        } else {
            m_DesiredEye = q;
        }
        m_Zoom = Vec3_Length(m_DesiredEye - m_DesiredLook) * 1.05f - m_Distance;
    }
    ApplySmoothing();
}

void CQVCamera::MotionMoveFollow() {
    CQVActor* target = m_Target1.target;
    if (target == nullptr) return;
    RefreshClock(this);
    const float dt = ClockFrameTime();
    Vector3 look = WorldPosition(target);
    look.y += m_LookHeight;
    m_DesiredLook = look;
    Vector3& eye = m_DesiredEye;

    if (!(m_Blocked && Vec3_Dot(m_HitNormal, kUp) <= 0.8f) && ClockTime() > m_LastTurnTime + 2.7f) {
        const float goal = look.y + 30.0f;
        const float h = std::min(eye.y - goal, 19.0f);
        const float step = std::fabs(h) * dt;
        if (eye.y > goal) eye.y = std::max(goal, eye.y - step);
        else eye.y = std::min(goal, eye.y + step);
    }

    m_Zoom = std::max(m_Zoom, -0.9f * m_Distance);
    const float m = m_Distance + m_Zoom;
    Vector3 line = eye - look;
    const float length = Vec3_Length(line);
    const Vector3 unit = length > 0.0f ? line * (1.0f / length) : Vector3(0.0f, 0.0f, -1.0f);
    if (length > m + m_Slack) eye = look + unit * (m + m_Slack);
    else if (length < m) eye = look + unit * m;

    line = eye - look;
    const Vector3 view = Vec3_Normalized(line);
    if (std::fabs(Vec3_Dot(view, kUp)) > 0.8f) {
        // Straight above or below the target the view has no heading: lean
        // the eye out along the level part of the line.
        Vector3 level = Vec3_CrossProduct(Vec3_CrossProduct(kUp, view), kUp);
        if (Vec3_LengthSq(level) < 1e-8f) level = Vector3(0.0f, 0.0f, -1.0f);
        const Vector3 turned = Vec3_Normalized(view + Vec3_Normalized(level) * 0.57f);
        eye = look + turned * Vec3_Length(line);
    }

    m_Blocked = 0;
    Vector3 start = look;
    start.y -= 100.0f;
    const Vector3 d = Vec3_Normalized(eye - start);
    Vector3 hit;
    CQVActor* owner = RayCast(start, eye + d * 15.001f, &hit, &m_HitNormal);
    if (owner == nullptr) {
        m_LastClearEye = eye;
        m_LastClearLook = look;
    } else {
        m_Blocked = 1;
        if (Vec3_Dot(m_HitNormal, Vector3(0.0f, -1.0f, 0.0f)) > 0.8f) {
            // Under something that moves (a lift, a door): ride along with it.
            m_LastClearEye += owner->m_DeltaPosition * dt;
            eye = m_LastClearEye;
        } else {
            const Vector3 toEye = Vec3_Normalized(eye - look);
            if (RayCast(look, eye + toEye * 15.001f, &hit, nullptr)) {
                eye = hit - toEye * 15.0f;
                m_Zoom = Vec3_Length(eye - look) * 0.985f - m_Distance;
                m_LastClearEye = eye;
                m_LastClearLook = look;
            }
        }
    }
    ApplySmoothing();
}

void CQVCamera::ApplySmoothing() {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (m_EyeSmoothing == 0.0f && m_LookSmoothing == 0.0f && m_UpSmoothing == 0.0f) {
        m_PrevEye = m_SmoothEye;
        m_PrevLook = m_SmoothLook;
        m_PrevUp = m_SmoothUp;
        m_SmoothEye = m_DesiredEye;
        m_SmoothLook = m_DesiredLook;
        m_SmoothUp = m_DesiredUp;
        MoveTo(m_DesiredEye);
        PlaceEngineView(m_DesiredEye, m_DesiredLook, m_DesiredUp);
    } else {
        RefreshClock(this);
        // Fixed 60 Hz steps, so the smoothing looks the same at any frame rate.
        const float steps = std::clamp(ClockFrameTime() * 60.0f, 1.0f, 30.0f);
        const int whole = static_cast<int>(steps);
        const float fraction = steps - static_cast<float>(whole);
        for (int i = 0; i < whole; ++i) {
            if (m_PullIn == 0) m_Zoom = std::min(0.0f, m_Zoom * m_ZoomDecay + m_ZoomRecovery);
            m_PrevEye = m_SmoothEye;
            m_PrevLook = m_SmoothLook;
            m_PrevUp = m_SmoothUp;
            m_SmoothLook = Blend(m_LookSmoothing, m_SmoothLook, m_DesiredLook);
            m_SmoothEye = Blend(m_EyeSmoothing, m_SmoothEye, m_DesiredEye);
            m_SmoothUp = Blend(m_UpSmoothing, m_SmoothUp, m_DesiredUp);
        }
        const Vector3 eye = Vec3_Lerped(m_PrevEye, m_SmoothEye, fraction);
        const Vector3 look = Vec3_Lerped(m_PrevLook, m_SmoothLook, fraction);
        const Vector3 up = Vec3_Normalized(Vec3_Lerped(m_PrevUp, m_SmoothUp, fraction));
        MoveTo(eye);
        PlaceEngineView(eye, look, up);
        if (g_ActorSystem) g_ActorSystem->UpdateDrawGroup(this);
    }
    if (engine) engine->SetFov(m_Fov);
}
