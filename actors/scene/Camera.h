#pragma once
// The camera that places the engine's view. At most one camera is current
// (g_CurrentCamera); the frame runs its motion once before the draw pass.
// A camera follows up to two targets (normally the player character) in one
// of its types, smooths its motion in fixed 60 Hz steps and keeps clear of
// walls with ray casts.

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorLink.h"

class CQVMaterialItem;

enum CameraType : uint32_t {
    CAMERA_FREE = 0,
    CAMERA_TARGET = 1,          // chase camera behind target 1
    CAMERA_TARGET_X2 = 2,       // frames two targets
    CAMERA_TARGET_2 = 3,        // keeps 150 to 160 units from target 1 (runs in Process)
    CAMERA_TARGET_2_STILL = 4,  // no motion of its own
    CAMERA_LOOK_FOLLOW = 5,     // behind target 1's look direction
    CAMERA_MOVE_FOLLOW = 6,     // trails target 1's movement
};

// The lens values a camera can hold of its own.
enum : uint32_t { CAMERA_LENS_FOV = 1, CAMERA_LENS_ASPECT = 2, CAMERA_LENS_NEAR = 4, CAMERA_LENS_FAR = 8,
                  CAMERA_LENS_ALL = 15 };

class CQVCamera : public CQVActor {
public:
    CQVCamera();
    ~CQVCamera() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // The current camera's motion, once a frame before the draw pass.
    void UpdateMotion();
    // Smooths the desired view in 60 Hz steps and hands it to the engine.
    void ApplySmoothing();
    // The motion of a type-3 camera.
    void FollowTarget();
    // A lens value just set, to the engine, and the camera's own from now on.
    void SendFov();
    void SendAspect();
    void SendNear();
    void SendFar();
    // "Set Camera Active": 1 at once when nothing changes.
    int ChangeActive(bool active);
    void SetType(uint32_t type);
    // The targets by actor id.
    uint32_t Target1Id() const;
    void SetTarget1Id(uint32_t id);
    void SetTarget2Id(uint32_t id);
    Vector3 Direction() const;
    void SetDirection(Vector3 d);

    uint32_t m_CameraType = CAMERA_FREE;
    ActorLink m_Target1;
    ActorLink m_Target2;
    // Type 6: the view of the last frame whose eye was not blocked. Until a
    // first clear frame they hold the desired view, never a point at the origin.
    Vector3 m_LastClearEye = Vector3(0.0f, 0.0f, 1.0f);
    Vector3 m_LastClearLook = Vector3(0.0f, 0.0f, 2.0f);
    Vector3 m_DesiredEye = Vector3(0.0f, 0.0f, 1.0f);
    Vector3 m_DesiredLook = Vector3(0.0f, 0.0f, 2.0f);
    Vector3 m_DesiredUp = Vector3(0.0f, 1.0f, 0.0f);
    Vector3 m_SmoothEye = Vector3(0.0f, 0.0f, 5.0f);
    Vector3 m_SmoothLook = Vector3(0.0f, 0.0f, 6.0f);
    Vector3 m_SmoothUp = Vector3(0.0f, 1.0f, 0.0f);
    Vector3 m_PrevEye = Vector3(0.0f, 0.0f, 3.0f);
    Vector3 m_PrevLook = Vector3(0.0f, 0.0f, 4.0f);
    Vector3 m_PrevUp = Vector3(0.0f, 1.0f, 0.0f);
    float m_Height = 30.0f;       // eye height above the target (types 1 and 2)
    float m_Distance = 125.0f;    // eye distance behind the target
    float m_Slack = 100.0f;       // how far beyond the distance a type-6 eye may trail
    float m_Zoom = 0.0f;          // change of distance forced by obstacles; never above 0 once smoothed
    float m_ZoomDecay = 1.0f;     // per smoothing step: zoom = zoom x decay + recovery
    float m_ZoomRecovery = 0.6f;
    float m_LookHeight = 30.0f;   // added to the look point above target 1
    float m_EyeSmoothing = 0.92f; // weight the smoothed eye keeps per step
    float m_LookSmoothing = 0.86f;
    float m_UpSmoothing = 0.0f;
    float m_Fov = 1.1f;           // radians
    float m_Aspect = 1.333f;
    float m_Near = 10.0f;
    float m_Far = 2500.0f;
    float m_PitchOffset = 20.0f;  // vertical offset gain of type 1
    float m_LastTurnTime = 0.0f;  // clock time of the last "Set Relative RotX"
    uint32_t m_PullIn = 0;        // set by a collision; cleared after every motion step
    uint32_t m_FovDirty = 1;
    // The lens values this camera holds of its own (read from its file or
    // given by its setters), handed to the engine whenever it becomes current.
    uint32_t m_OwnLens = 0;
    uint32_t m_GammaDirty = 1;
    uint32_t m_CameraActive = 0;
    uint32_t m_Blocked = 0;       // type 6: the eye was blocked last frame
    Vector3 m_HitNormal = Vector3(0.0f, 1.0f, 0.0f);
    float m_GammaScale[3] = {1.0f, 1.0f, 1.0f};
    float m_Tint[3] = {0.0f, 0.0f, 0.0f};  // full-screen additive tint, 0 to 255

private:
    int SetActive(uint32_t active);
    void ApplyOwnLens();
    // The per-frame "Process", once.
    void ScheduleProcess();
    void SetTarget1(CQVActor* target);
    void LinkTarget(ActorLink& link, CQVActor* target);
    void CopyCamera(const CQVCamera& source);
    void PlaceEngineView(const Vector3& eye, const Vector3& look, const Vector3& up);
    void MoveTo(const Vector3& eye);
    void MotionFree();
    void MotionTarget();
    void MotionTargetX2();
    void MotionLookFollow();
    void MotionMoveFollow();
    float ClockTime();
    float ClockFrameTime();

    CQVMaterialItem* m_WhiteAdd = nullptr;  // the tint's material, found once
};

// The current camera, when it is a Camera (the frame calls its motion).
CQVCamera* Camera_GetCurrent();
// Marks a camera's gamma for refresh (g_GlobalGamma changed).
void Camera_MarkGammaChanged(CQVActor* camera);
