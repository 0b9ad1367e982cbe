// One frame of 100 Characters walking in circles on a floor, as the frame
// loop runs them: the timed messages (each body's per-frame step with its
// command queue, parameter steps, contacts, motion choice and its skin's
// motion step, and the base step after it) and the collision pass that
// holds the bodies on the floor. Each body has the jointed figure as its
// skin with the figure's motions. One core.
//
// Beside it, one message through a Character's handler against the base
// actor's own dispatch: a value its table answers, and a message it passes
// on to the base.

#include "actors/characters/Character.h"
#include "actors/characters/SkinObject.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/NameTable.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Skeleton.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSide = 10;  // 10 x 10 bodies
constexpr float kSpacing = 1100.0f;  // circles 240 around centres up to 240 off their start never meet
constexpr float kTurnRate = 0.5f;  // radians a second: circles of 240 units at the walk's 120
constexpr float kFrame = 1.0f / 60.0f;
constexpr uint32_t kFigureMesh = 10;
constexpr uint32_t kFirstMotion = 20;

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

// The figure's skeleton as a loaded mesh item (no geometry: the frame here
// has no draw pass), and its motions as loaded motion items.
void AddFigure() {
    const QvmFile figure = MeshBuild_Figure(2);
    auto* mesh = new CQVMeshItem;
    mesh->name = "Fig Figure";
    mesh->loaded = 1;
    mesh->skinned = 1;
    mesh->subsetInfos.resize(1);
    for (const QvmBone& from : figure.bones) {
        Bone* bone = new Bone;
        bone->parent = from.parent;
        bone->nameId = g_NameTable.FindOrAdd(from.name.c_str());
        bone->offset = from.offset;
        mesh->bones.push_back(bone);
    }
    g_Library.SetItem(kFigureMesh, mesh);
    uint32_t id = kFirstMotion;
    for (const NamedMotion& named : MotBuild_FigureMotions(figure.bones)) {
        auto* motion = new CQVMotionItem;
        motion->name = "Fig_" + named.name;
        motion->loaded = 1;
        for (const KeyTrack& track : named.file.tracks) motion->tracks.push_back(KeyTrack_Copy(&track));
        motion->trackCount = static_cast<uint32_t>(motion->tracks.size());
        motion->rootDisplacement = named.file.rootDisplacement;
        g_Library.SetItem(id++, motion);
    }
    // The fallbacks of every mesh actor; the skin's material makes the bodies characters.
    auto* fallback = new CQVMeshItem;
    fallback->loaded = 1;
    fallback->subsetInfos.resize(1);
    g_Library.SetItem(3, fallback);
    auto* material = new CQVMaterialItem;
    material->loaded = 1;
    material->collisionMaterial = 7;
    g_Library.SetItem(4, material);
}

void StartWorld() {
    if (CQVEngine::Create() != 1) std::exit(1);
    ActorClasses_Install();
    if (!RegisterActorClasses()) std::exit(1);
    g_FrameTime = kFrame;
    AddFigure();
}

struct Crowd {
    std::vector<CQVCharacter*> bodies;
    float time = 0.0f;
};

Crowd& Walkers() {
    static Crowd crowd;
    if (!crowd.bodies.empty()) return crowd;
    StartWorld();
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    const float half = kSpacing * kSide;
    CQVActor* group = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Floor Room", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    Send(group, MSG_SET_BOX_MIN, Vector3(-half, -500.0f, -half));
    Send(group, MSG_SET_BOX_MAX, Vector3(half, 2000.0f, half));
    g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    CQVActor* floor = g_ActorSystem->CreateActor(CLASS_BASE, "Floor", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    ColObj volume;
    volume.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
    volume.boxMin = Vector3(-half, -50.0f, -half);
    volume.boxMax = Vector3(half, 0.0f, half);
    floor->m_ColObjs.push_back(volume);
    floor->m_DrawGroupId = group->m_DrawGroupId;
    g_ActorSystem->AddToDrawGroup(floor, 0);

    CQVMeshItem* mesh = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh));
    for (int i = 0; i < kSide * kSide; ++i) {
        auto* body = static_cast<CQVCharacter*>(
            g_ActorSystem->CreateActor(CLASS_CHARACTER, "Walker", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        if (body == nullptr) std::exit(1);
        CQVActor* skin = body->Skin();
        skin->HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
        skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("Fig"));
        skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr);
        skin->HandleMessage(MSG_PRECALCULATE, nullptr);
        body->HandleMessage(MSG_PRECALCULATE, nullptr);
        Send<uint32_t>(body, MSG_SET_MASTER, 1);
        Send(body, MSG_SET_HEALTH, 99.0f);
        const float x = (static_cast<float>(i % kSide) - kSide * 0.5f + 0.5f) * kSpacing;
        const float z = (static_cast<float>(i / kSide) - kSide * 0.5f + 0.5f) * kSpacing;
        Send(body, MSG_SET_POSITION, Vector3(x, 23.0f, z));
        crowd.bodies.push_back(body);
    }
    return crowd;
}

// What a controller sends each frame, then the frame's timed messages and collision pass.
void WalkFrame(Crowd& crowd) {
    crowd.time += kFrame;
    for (size_t i = 0; i < crowd.bodies.size(); ++i) {
        CQVCharacter* body = crowd.bodies[i];
        Send(body, MSG_SET_ROT_Y_3D0, Character_WrapAngle(static_cast<float>(i) + crowd.time * kTurnRate));
        body->HandleMessage(MSG_CC_FORWARD, nullptr);
    }
    ++g_FrameNumber;
    g_ActorSystem->UpdateClock(&g_GlobalClock);
    g_ActorSystem->RunTimedMessagePass();
    g_ActorSystem->RunCollisionPass(kFrame);
}

void BM_CharactersWalkOnTheFloor(benchmark::State& state) {
    Crowd& crowd = Walkers();
    for (int i = 0; i < 120; ++i) WalkFrame(crowd);  // standing, unlocked and walking
    for (auto _ : state) WalkFrame(crowd);
    uint32_t grounded = 0, walking = 0;
    for (const CQVCharacter* body : crowd.bodies) {
        grounded += body->m_OnGround;
        walking += Vec3_Length(body->m_DeltaPosition) > 100.0f ? 1 : 0;
    }
    state.counters["grounded"] = grounded;
    state.counters["walking"] = walking;
    state.counters["pairs"] = g_CollisionStats.pairTests;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(crowd.bodies.size()));
}
BENCHMARK(BM_CharactersWalkOnTheFloor)->Unit(benchmark::kMillisecond);

// One message: answered by the Character's table ("Get Health"), passed
// through its handler to the base ("Get Position"), and the same to a plain
// base actor.
void BM_CharacterAnswersFromItsTable(benchmark::State& state) {
    CQVCharacter* body = Walkers().bodies.front();
    float value = 0.0f;
    for (auto _ : state) {
        body->HandleMessage(MSG_GET_HEALTH, Args_Of(&value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_CharacterAnswersFromItsTable);

void BM_CharacterPassesToTheBase(benchmark::State& state) {
    CQVCharacter* body = Walkers().bodies.front();
    Vector3 value;
    for (auto _ : state) {
        body->HandleMessage(MSG_GET_POSITION, Args_Of(&value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_CharacterPassesToTheBase);

void BM_BaseActorDispatch(benchmark::State& state) {
    Walkers();
    static CQVActor* plain = g_ActorSystem->CreateActor(CLASS_BASE, "Plain", nullptr,
                                                        CQVActorSystem::GetActorById(ACTOR_ID_SCENERY),
                                                        ACTOR_ID_ANY, 1, 0);
    Vector3 value;
    for (auto _ : state) {
        plain->HandleMessage(MSG_GET_POSITION, Args_Of(&value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_BaseActorDispatch);

void BM_BaseActorTableDispatch(benchmark::State& state) {
    Walkers();
    static CQVActor* plain = g_ActorSystem->CreateActor(CLASS_BASE, "Plain Table", nullptr,
                                                        CQVActorSystem::GetActorById(ACTOR_ID_SCENERY),
                                                        ACTOR_ID_ANY, 1, 0);
    float value = 0.0f;
    for (auto _ : state) {
        plain->HandleMessage(MSG_GET_KILL_DELAY, Args_Of(&value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_BaseActorTableDispatch);

}  // namespace

BENCHMARK_MAIN();
