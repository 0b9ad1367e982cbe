// The draw pass over a level of 200 rooms (draw groups) holding 5,000 mesh
// objects at 800x600: a grid of 20 x 10 rooms, 25 boxes in each, portals
// between neighbours. The camera walks along a row of rooms, one room per
// 50 frames. With "portals" the x portals are open within runs of four
// rooms and every other portal is closed, so the camera sees at most four
// rooms; with "all open" every portal is open and the draw pass reaches the
// whole level (the render queue's frustum culling is then all that is left).
//
// BM_DrawPassCpu: the engine's CPU work of a frame: the draw pass (the
// traversal and every reached object's update, which culls and queues its
// render items) and the walk of the render buckets, with the device calls of
// the draw left out. BM_DrawPassFrame: the whole frame drawn by the device
// (llvmpipe headless) and presented.
//
// Run with LP_NUM_THREADS=1 for figures that compare across machines.

#include "actors/scene/DrawGroup.h"
#include "actors/scene/DrawGroupConnector.h"
#include "actors/scene/Object.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/FrameTime.h"
#include "services/library/Library.h"
#include "services/render/Render.h"
#include "tools/content/MeshBuild.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t kWidth = 800, kHeight = 600;
constexpr int kColumns = 20, kRows = 10;
constexpr int kObjectsPerRoom = 25;
constexpr float kRoom = 400.0f, kHeightOfRoom = 300.0f;
constexpr int kRunOfOpenRooms = 4;
constexpr int kFramesPerRoom = 50;

struct Level {
    std::vector<CQVDrawGroupConnector*> xPortals;  // between room (c, r) and (c + 1, r)
    std::vector<CQVDrawGroupConnector*> zPortals;  // between room (c, r) and (c, r + 1)
    uint32_t frame = 0;
};

CQVActor* Make(uint32_t type, CQVActor* parent) {
    return g_ActorSystem->CreateActor(type, "", nullptr, parent, ACTOR_ID_ANY, 1, 0);
}

template <typename T>
void Send(CQVActor* actor, uint32_t message, T value) {
    actor->HandleMessage(message, Args_Of(&value));
}

Level& TheLevel() {
    static Level level;
    static bool ready = false;
    if (ready) return level;
    std::string error;
    if (!RenderScene_StartEngine(kWidth, kHeight, &error)) {
        std::fprintf(stderr, "no device: %s\n", error.c_str());
        std::exit(1);
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    engine->SetNearPlane(5.0f);
    engine->SetFarPlane(20000.0f);
    // The fallback mesh and material every object starts on: a box of 12
    // triangles, lit, in the opaque bucket.
    CQVMeshItem* box = RenderScene_MakeMesh(MeshBuild_Box(Vector3(-20, 0, -20), Vector3(20, 60, 20)));
    g_Library.SetItem(3, box);
    g_Library.SetItem(4, RenderScene_MakeMaterial(8, 0.7f, 0.6f, 0.5f, true));

    ActorClasses_Install();
    if (!RegisterActorClasses()) std::exit(1);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* root = Make(CLASS_BASE, scenery);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            CQVActor* room = Make(CLASS_DRAW_GROUP, root);
            Send(room, MSG_SET_BOX_MIN, Vector3(c * kRoom, 0.0f, r * kRoom));
            Send(room, MSG_SET_BOX_MAX, Vector3((c + 1) * kRoom, kHeightOfRoom, (r + 1) * kRoom));
            for (int i = 0; i < kObjectsPerRoom; ++i) {
                CQVActor* object = Make(CLASS_OBJECT, room);
                Send(object, MSG_SET_MESH, box);
                const float x = c * kRoom + 40.0f + (i % 5) * 80.0f, z = r * kRoom + 40.0f + (i / 5) * 80.0f;
                Send(object, MSG_SET_POSITION, Vector3(x, 0.0f, z));
            }
        }
    }
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const float x = c * kRoom, z = r * kRoom;
            if (c + 1 < kColumns) {
                CQVActor* portal = Make(CLASS_DRAW_GROUP_CONNECTOR, root);
                Send(portal, MSG_SET_POSITION, Vector3(x + kRoom, 100.0f, z + kRoom / 2));
                level.xPortals.push_back(static_cast<CQVDrawGroupConnector*>(portal));
            }
            if (r + 1 < kRows) {
                CQVActor* portal = Make(CLASS_DRAW_GROUP_CONNECTOR, root);
                Send(portal, MSG_SET_POSITION, Vector3(x + kRoom / 2, 100.0f, z + kRoom));
                level.zPortals.push_back(static_cast<CQVDrawGroupConnector*>(portal));
            }
        }
    }
    // As after a load: cell ids, then the portals join their cells.
    g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    g_ActorSystem->BroadcastMessage(MSG_CONNACTOR_DRAWGROUPS, nullptr);
    // The cells' resources loaded, as the first frames of a level do through
    // their timed loading step, which the measured frames leave out.
    for (CQVDrawGroupBase* group : g_DrawGroups) {
        if (group) group->HandleMessage(MSG_I_342, nullptr);
    }
    ready = true;
    return level;
}

void OpenPortals(Level& level, bool all) {
    for (size_t i = 0; i < level.xPortals.size(); ++i) {
        const int column = static_cast<int>(i % (kColumns - 1));
        level.xPortals[i]->m_Open = all || (column + 1) % kRunOfOpenRooms != 0;
    }
    for (CQVDrawGroupConnector* portal : level.zPortals) portal->m_Open = all;
}

// The camera walks along the middle of row 4 looking down the row (+x),
// and back when it reaches the end.
void StepCamera(Level& level) {
    const uint32_t span = kColumns * kFramesPerRoom;
    const uint32_t step = level.frame++ % (2 * span);
    const float along = (step < span ? step : 2 * span - step) * (kRoom / kFramesPerRoom);
    const Vector3 eye(std::min(along, kColumns * kRoom - 1.0f) + 0.5f, 150.0f, 4.5f * kRoom);
    // Facing +x: a quarter turn about y.
    const Quaternion facing{0.0f, 0.70710678f, 0.0f, 0.70710678f};
    CQVEngine::GetInstance()->SetCameraPositionRotation(eye, facing);
    g_DrawCameraPosition = eye;
    ++g_FrameNumber;
}

size_t DrawnObjects() {
    size_t objects = 0;
    for (CQVDrawGroupBase* group : g_DrawGroups) {
        if (group && group->m_Drawn) objects += group->m_Children.size();
    }
    return objects;
}

void BM_DrawPassCpu(benchmark::State& state) {
    Level& level = TheLevel();
    OpenPortals(level, state.range(0) != 0);
    CQVEngine* engine = CQVEngine::GetInstance();
    RenderBucket& opaque = CQVRender::Get().Queue().buckets[3];
    const RenderBucket saved = opaque;
    opaque.noMaterial = opaque.noWorldTransform = opaque.noMeshDraw = 1;
    size_t reached = 0;
    for (auto _ : state) {
        StepCamera(level);
        g_ActorSystem->DrawVisibleGroups(1.0f / 60.0f);
        reached += DrawnObjects();
        engine->DrawRenderBuckets();
    }
    opaque = saved;
    state.counters["objects reached"] = static_cast<double>(reached) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DrawPassCpu)->ArgName("all_open")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DrawPassFrame(benchmark::State& state) {
    Level& level = TheLevel();
    OpenPortals(level, state.range(0) != 0);
    CQVEngine* engine = CQVEngine::GetInstance();
    for (auto _ : state) {
        StepCamera(level);
        g_ActorSystem->DrawVisibleGroups(1.0f / 60.0f);
        engine->BeginFrame(1, 1);
        engine->DrawRenderBuckets();
        engine->EndFrame(1);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawPassFrame)->ArgName("all_open")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
