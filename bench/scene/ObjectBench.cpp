// The mesh actor's draw-pass step at 800x600 on the offscreen device: 5,000
// animated mesh objects of two subsets each, their update step (clock,
// animation, world matrix, culling and queueing of both render items) with
// all of them in view and with all of them behind the camera; and 1,000
// matrix animations of two layers each. The queue is emptied between
// iterations, so each one queues anew; nothing is drawn.
//
// Run with LP_NUM_THREADS=1 for figures that compare across machines.

#include "actors/scene/MatrixAnimation.h"
#include "actors/scene/Object.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/FrameTime.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The entry point is shared by the scene benchmarks: the device this one
// opens is the offscreen one with the software renderer, chosen before
// anything starts SDL.
const bool kOffscreen = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    return true;
}();

constexpr uint32_t kWidth = 800, kHeight = 600;
constexpr int kObjects = 5000;
constexpr int kAnimations = 1000;

// A box of 12 triangles, 20 units on a side.
MeshGeometry Box20() { return MeshBuild_Box(Vector3(-10, -10, -10), Vector3(10, 10, 10)); }

struct Scene {
    std::vector<CQVObject*> objects;
    std::vector<CQVMatrixAnimation*> animations;
    bool ready = false;
};

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

Scene& TheScene() {
    static Scene scene;
    if (scene.ready) return scene;
    std::string error;
    if (!RenderScene_StartEngine(kWidth, kHeight, &error)) {
        std::fprintf(stderr, "no device: %s\n", error.c_str());
        std::exit(1);
    }
    RenderQueue_CreateBuckets(CQVRender::Get().Queue());
    // Library: two materials, a two-subset mesh of four frames (the second
    // subset the same box), and the fallbacks.
    for (uint32_t id : {4u, 20u, 21u}) g_Library.SetItem(id, RenderScene_MakeMaterial(8, 0.8f, 0.6f, 0.4f, true));
    CQVMeshItem* fallback = RenderScene_MakeMesh(Box20());
    g_Library.SetItem(3, fallback);
    const MeshGeometry box = Box20();
    CQVMeshItem* mesh = RenderScene_MakeMesh({box, box, box, box});
    mesh->subsets.emplace_back();
    mesh->subsetInfos.push_back(mesh->subsetInfos[0]);
    mesh->subsetInfos[0].shapeParam = 20;
    mesh->subsetInfos[1].shapeParam = 21;
    g_Library.SetItem(10, mesh);

    ActorClasses_Install();
    if (!RegisterActorClasses()) std::exit(1);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    for (int i = 0; i < kObjects; ++i) {
        auto* object = static_cast<CQVObject*>(
            g_ActorSystem->CreateActor(CLASS_OBJECT, "Crate", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        Send(object, MSG_SET_MESH, mesh);
        // A 100 x 50 grid in front of the camera (+z).
        Send(object, MSG_SET_POSITION, Vector3(-990.0f + 20.0f * (i % 100), -490.0f + 20.0f * (i / 100 % 50), 1200.0f));
        object->HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        scene.objects.push_back(object);
    }
    for (int i = 0; i < kAnimations; ++i) {
        auto* anim = static_cast<CQVMatrixAnimation*>(
            g_ActorSystem->CreateActor(CLASS_MATRIX_ANIMATION, "Bob", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        Send(anim, MSG_SET_MA_ROTATION, Vector3(0.0f, 1.0f, 0.0f));
        for (int layer = 0; layer < 2; ++layer) {
            anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
            anim->HandleMessage(MSG_MA_SELECT_LAYER, Args_Of(layer == 0 ? "Layer 0" : "Layer 1"));
            Send(anim, MSG_SET_MA_POSITION_SIN_MUL, Vector3(0.0f, 5.0f, 0.0f));   // position sine
            Send(anim, MSG_SET_MA_POSITION_RND_MUL, Vector3(2.0f, 0.0f, 2.0f));   // position noise
        }
        anim->HandleMessage(MSG_PRECALCULATE, nullptr);
        scene.animations.push_back(anim);
    }
    scene.ready = true;
    return scene;
}

// Empties the buckets without drawing: every item may be queued again.
void DropQueue() {
    RenderQueueState& queue = CQVRender::Get().Queue();
    for (uint32_t b = 0; b < kRenderBucketCount; ++b) queue.buckets[b].head = queue.buckets[b].tail = nullptr;
    for (RenderItem* item : queue.items) item->queued = 0;
}

void StepClock() {
    ++g_FrameNumber;
}

void RunObjects(benchmark::State& state, const Quaternion& view) {
    Scene& scene = TheScene();
    CQVEngine::GetInstance()->SetCameraPositionRotation(Vector3(0, 0, 0), view);
    size_t queued = 0;
    for (auto _ : state) {
        StepClock();
        for (CQVObject* object : scene.objects) object->Update();
        state.PauseTiming();
        queued = 0;
        for (RenderItem* item : CQVRender::Get().Queue().items) queued += item->queued;
        DropQueue();
        state.ResumeTiming();
    }
    // Render items queued by one frame's steps: what the step did, not only how fast.
    state.counters["queued"] = static_cast<double>(queued);
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.counters["us_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ObjectUpdateInView(benchmark::State& state) { RunObjects(state, Quaternion{0, 0, 0, 1}); }
BENCHMARK(BM_ObjectUpdateInView)->Unit(benchmark::kMillisecond);

// Turned about y by pi: every object is behind the camera and culled.
void BM_ObjectUpdateCulled(benchmark::State& state) { RunObjects(state, Quaternion{0, 1, 0, 0}); }
BENCHMARK(BM_ObjectUpdateCulled)->Unit(benchmark::kMillisecond);

void BM_MatrixAnimationUpdate(benchmark::State& state) {
    Scene& scene = TheScene();
    for (auto _ : state) {
        StepClock();
        for (CQVMatrixAnimation* anim : scene.animations) anim->Update();
    }
    state.SetItemsProcessed(state.iterations() * kAnimations);
}
BENCHMARK(BM_MatrixAnimationUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
