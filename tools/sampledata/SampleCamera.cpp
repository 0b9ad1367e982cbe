#include "tools/sampledata/SampleCamera.h"

#include "actors/scene/Camera.h"
#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "tools/sampledata/SampleRooms.h"

#include <utility>

namespace {

// Fog from a room away to a little over two rooms, in a dusty blue that is
// also the colour of the empty screen beyond it.
constexpr float kFogNear = kSampleRoomSize;
constexpr float kFogFar = kSampleRoomSize * 2.6f;
constexpr float kFogColor[4] = {0.35f, 0.42f, 0.55f, 1.0f};
constexpr float kAmbient[4] = {0.25f, 0.25f, 0.28f, 1.0f};
// The camera sees no further than the fog's end.
constexpr float kCameraFar = kFogFar;
constexpr float kCameraNear = 5.0f;
constexpr float kCameraFov = 1.2f;

template <typename T>
void Send(CQVActor* actor, uint32_t message, const T& value) {
    actor->HandleMessage(message, Args_Of(&value));
}

// The room whose box holds the point; the level root when none does.
CQVActor* RoomHolding(const SampleLevel& level, const Vector3& p) {
    for (const SampleRoom& room : level.rooms) {
        if (p.x >= room.min.x && p.x <= room.max.x && p.y >= room.min.y && p.y <= room.max.y && p.z >= room.min.z &&
            p.z <= room.max.z)
            return room.group;
    }
    return level.root;
}

}  // namespace

void SampleCamera_AddItems(SampleLevel&) {}

void SampleCamera_AddActors(SampleLevel& level) {
    CQVActor* rig = level.cameraRig ? level.cameraRig : level.root;
    if (level.shot != nullptr) rig = RoomHolding(level, level.shot->position);
    if (rig == nullptr) return;

    // The rig carries the camera through the rooms; the camera looks along
    // the rig's +z, a little down from eye height. A camera held still stands
    // in the room it is in, so that the draw pass keeps its place current.
    CQVActor* camera = level.Make(CLASS_CAMERA, "Sample Camera", rig);
    if (camera == nullptr) return;
    Send(camera, MSG_SET_CAMERA_TYPE, static_cast<uint32_t>(CAMERA_FREE));
    Send(camera, MSG_SET_FOV, kCameraFov);
    Send(camera, MSG_SET_NEAR, kCameraNear);
    Send(camera, MSG_SET_FAR, kCameraFar);
    Quaternion turn;
    if (level.shot != nullptr) {
        Quat_FromYawPitchRoll(&turn, level.shot->yaw, level.shot->pitch, 0.0f);
        Send(camera, MSG_SET_POSITION, level.shot->position);
    } else {
        Quat_FromAxisAngle(&turn, Vector3(1.0f, 0.0f, 0.0f), 0.12f);
    }
    Send(camera, MSG_SET_QUATERNION, turn);
    // Saved active, so the level's load makes it the current camera.
    Send(camera, MSG_SET_CAMERA_ACTIVE, 1u);
    // The lens reaches the engine only through its setters: they run again
    // once the game has started.
    CQVScript lens;
    lens.name = "Sample Camera Lens";
    lens.boundMessage = MSG_START_GAME;
    lens.source = "this.set_fov(1.2);\nthis.set_near(5.0);\nthis.set_far(" + std::to_string(kCameraFar) + ");";
    lens.owner = camera;
    camera->m_Scripts.push_back(std::move(lens));

    CQVActor* environment = level.Make(CLASS_ENVIRONMENT, "Sample Environment", level.root);
    if (environment == nullptr) return;
    Send(environment, MSG_SET_AMBIENT_COLOR, kAmbient);
    Send(environment, MSG_SET_FOG_ENABLE, 1u);
    Send(environment, MSG_SET_FOG_COLOR, kFogColor);
    Send(environment, MSG_SET_FOG_NEAR, kFogNear);
    Send(environment, MSG_SET_FOG_FAR, kFogFar);
    CQVScript activate;
    activate.name = "Sample Environment On";
    activate.boundMessage = MSG_START_GAME;
    activate.source = "this.activate_environment_params();";
    activate.owner = environment;
    environment->m_Scripts.push_back(std::move(activate));
}
