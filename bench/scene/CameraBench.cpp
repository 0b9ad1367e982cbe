// One frame's update of the current camera (its motion, then its per-frame
// step) at 800x600 on the offscreen device: a Free camera riding a turning
// rig, a chase camera whose target walks through a room of 200 wall boxes
// (one ray cast a frame) and a movement-following camera (two ray casts).
// The engine's view, projection and culling frames are rebuilt every time.
//
// Target: under 50 us per update.

#include "actors/scene/Camera.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Answers where it looks, as the character a camera follows does.
class WalkingTarget : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_LOOKDIRECTION) Args_Answer(args, Vector3(0.0f, 0.0f, 1.0f));
        if (id == MSG_GET_LOOK_ROT_X) Args_Answer(args, 0.2f);
        return CQVActor::HandleMessage(id, args);
    }
};

struct CameraScene {
    CQVCamera* free = nullptr;
    CQVActor* rig = nullptr;
    CQVCamera* chase = nullptr;
    CQVCamera* follow = nullptr;
    WalkingTarget target;
};

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

CQVCamera* MakeCamera(CQVActor* parent, uint32_t type) {
    auto* camera = static_cast<CQVCamera*>(
        g_ActorSystem->CreateActor(CLASS_CAMERA, "Camera", nullptr, parent, ACTOR_ID_ANY, 1, 0));
    Send(camera, MSG_SET_CAMERA_TYPE, type);
    return camera;
}

CameraScene& TheScene() {
    static CameraScene* scene = nullptr;
    if (scene) return *scene;
    std::string error;
    if (!RenderScene_StartEngine(800, 600, &error)) {
        std::fprintf(stderr, "no device: %s\n", error.c_str());
        std::exit(1);
    }
    RenderQueue_CreateBuckets(CQVRender::Get().Queue());
    if (g_ActorSystem == nullptr) {
        ActorClasses_Install();
        if (!RegisterActorClasses()) std::exit(1);
    }
    scene = new CameraScene;
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);

    // One room 4000 across holding 200 wall boxes in a ring around the walk.
    auto* room = static_cast<CQVDrawGroupBase*>(
        g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    room->m_DrawGroupId = room->m_Slot;
    room->m_BoxMin = Vector3(-2000.0f, -500.0f, -2000.0f);
    room->m_BoxMax = Vector3(2000.0f, 500.0f, 2000.0f);
    for (int i = 0; i < 200; ++i) {
        CQVActor* wall = g_ActorSystem->CreateActor(CLASS_BASE, "Wall", nullptr, room, ACTOR_ID_ANY, 1, 0);
        const float angle = static_cast<float>(i) * 0.0314159f;
        const Vector3 centre(std::cos(angle) * 900.0f, 0.0f, std::sin(angle) * 900.0f);
        ColObj box;
        box.type = COLOBJ_BOX;
        box.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        box.boxMin = Vector3(centre.x - 20.0f, -100.0f, centre.z - 20.0f);
        box.boxMax = Vector3(centre.x + 20.0f, 300.0f, centre.z + 20.0f);
        wall->m_ColObjs.push_back(box);
        g_ActorSystem->RemoveFromDrawGroup(wall, 0);
        wall->m_DrawGroupId = room->m_DrawGroupId;
        g_ActorSystem->AddToDrawGroup(wall, 0);
    }

    scene->rig = g_ActorSystem->CreateActor(CLASS_BASE, "Rig", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    scene->free = MakeCamera(scene->rig, CAMERA_FREE);
    scene->chase = MakeCamera(scenery, CAMERA_TARGET);
    scene->follow = MakeCamera(scenery, CAMERA_MOVE_FOLLOW);
    for (CQVCamera* camera : {scene->chase, scene->follow}) {
        CQVActor* target = &scene->target;
        camera->HandleMessage(MSG_SET_CAMERATARGET1_4C6, Args_Of(&target));
    }
    g_GlobalClock.dt = 1.0f / 60.0f;
    return *scene;
}

// One frame of a current camera, as the frame runs it.
void Frame(CQVCamera* camera) {
    camera->UpdateMotion();
    camera->HandleMessage(MSG_PROCESS, nullptr);
}

void Activate(CQVCamera* camera) { Send(camera, MSG_SET_CAMERA_ACTIVE, 1u); }

void BM_CameraFree(benchmark::State& state) {
    CameraScene& scene = TheScene();
    Activate(scene.free);
    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.rig->m_Position = Vector3(std::sin(t) * 300.0f, 160.0f, t * 10.0f);
        Quat_FromAxisAngle(&scene.rig->m_Rotation, Vector3(0.0f, 1.0f, 0.0f), std::sin(t * 0.3f));
        scene.rig->InvalidateTransform();
        Frame(scene.free);
    }
}
BENCHMARK(BM_CameraFree)->Unit(benchmark::kMicrosecond);

// The target walks a circle inside the ring of walls, so the chase camera's
// ray runs toward them every frame and now and then is pulled in.
void BM_CameraFollowing(benchmark::State& state) {
    CameraScene& scene = TheScene();
    CQVCamera* camera = state.range(0) == CAMERA_TARGET ? scene.chase : scene.follow;
    Activate(camera);
    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.target.m_Position = Vector3(std::cos(t) * 700.0f, 0.0f, std::sin(t) * 700.0f);
        Quat_FromAxisAngle(&scene.target.m_Rotation, Vector3(0.0f, 1.0f, 0.0f), -t);
        scene.target.InvalidateTransform();
        Frame(camera);
    }
}
BENCHMARK(BM_CameraFollowing)->Arg(CAMERA_TARGET)->Arg(CAMERA_MOVE_FOLLOW)->Unit(benchmark::kMicrosecond);

}  // namespace
