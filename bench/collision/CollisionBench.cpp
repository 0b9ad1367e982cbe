// The collision pass over a level of 10,000 actors: 2,000 simulated bodies
// falling onto and resting on 3,000 static boxes (5,000 collision objects),
// 5,000 actors without collision; its growth from 1,000 to 10,000 bodies;
// and "Load Game" of that level with the loading screen drawn and presented
// on the offscreen device.

#include "apps/game/ActorSystemServices.h"
#include "bench/support/OffscreenBench.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class FileIOStandIn : public CQVActor {
public:
    FileIOStandIn() { m_ClassType = CLASS_FILEIO; }
};

class Crate : public CQVActor {
public:
    Crate() { m_ClassType = CLASS_DOOR; }
};

// A draw group the scene library would supply.
class Group : public CQVDrawGroupBase {
public:
    Group() { m_ClassType = CLASS_DRAW_GROUP; }
};

void RegisterNothing() {}

const ActorClassInfo BENCH_CLASSES[] = {{CLASS_FILEIO, [] { return static_cast<CQVActor*>(new FileIOStandIn); }, &RegisterNothing},
                                        {CLASS_DOOR, [] { return static_cast<CQVActor*>(new Crate); }, &RegisterNothing},
                                        {CLASS_DRAW_GROUP, [] { return static_cast<CQVActor*>(new Group); }, &RegisterNothing}};

constexpr float kSpacing = 40.0f;

CQVActorSystem* StartSystem() {
    Actors_Reset();
    g_FrameNumber = 0;
    g_FrameTime = 1.0f / 60.0f;
    g_GlobalClock.time = 0.0f;
    g_GlobalClock.dt = 1.0f / 60.0f;
    ActorClasses_SetTable(BENCH_CLASSES, std::size(BENCH_CLASSES), nullptr);
    RegisterActorClasses();
    return g_ActorSystem;
}

CQVActor* AddActor(CQVActorSystem* system, CQVActor* parent, uint32_t id) {
    return system->CreateActor(CLASS_DOOR, "a", nullptr, parent, id, 1, 0);
}

// A grid of cells, each a ground box with a body above it. Bodies come to
// rest on their boxes after a few frames; a fifth keep falling in from above.
struct Level {
    CQVActorSystem* system;
    uint32_t bodies;
};

Level BuildLevel(uint32_t bodies, uint32_t statics, uint32_t plain) {
    CQVActorSystem* system = StartSystem();
    CQVActor* scenery = system->GetActorById(ACTOR_ID_SCENERY);
    auto* group = static_cast<CQVDrawGroupBase*>(system->CreateActor(CLASS_DRAW_GROUP, "Level", nullptr, scenery, 3000, 1, 0));
    group->m_BoxMin = Vector3(-1e6f, -1e6f, -1e6f);
    group->m_BoxMax = Vector3(1e6f, 1e6f, 1e6f);
    uint32_t id = 3001;
    const uint32_t side = static_cast<uint32_t>(std::ceil(std::sqrt(static_cast<double>(std::max(bodies, statics)))));
    auto enter = [&](CQVActor* actor) {
        actor->m_DrawGroupId = group->m_Slot;
        system->AddToDrawGroup(actor, 0);
    };
    for (uint32_t i = 0; i < statics; ++i) {
        CQVActor* box = AddActor(system, scenery, id++);
        box->m_Position = Vector3(static_cast<float>(i % side) * kSpacing, 0.0f, static_cast<float>(i / side) * kSpacing);
        ColObj object;
        object.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        object.boxMin = Vector3(-15.0f, -5.0f, -15.0f);
        object.boxMax = Vector3(15.0f, 5.0f, 15.0f);
        box->m_ColObjs.push_back(object);
        enter(box);
    }
    for (uint32_t i = 0; i < bodies; ++i) {
        CQVActor* body = AddActor(system, scenery, id++);
        const float height = i % 5 == 0 ? 400.0f : 10.0f;
        body->m_Position = Vector3(static_cast<float>(i % side) * kSpacing, height, static_cast<float>(i / side) * kSpacing);
        body->m_PrevPosition = body->m_Position;
        ColObj object;
        object.type = COLOBJ_SPHERE;
        object.flags = COLOBJ_ACTIVE | COLOBJ_SOLID;
        object.boxMin = Vector3(0.0f, 0.0f, 0.0f);
        object.boxMax = Vector3(5.0f, 0.0f, 0.0f);
        body->m_ColObjs.push_back(object);
        body->m_Flags = (body->m_Flags & ~ACTOR_STATIC) | ACTOR_SIMULATED;
        body->m_SimParams = new SimParams;
        body->m_SimParams->words[0] = 1;
        body->m_SimParams->words[SIM_WORD_FLAGS] = 0;
        // Bodies keep sliding instead of asking to stop: every frame has the
        // same work of falling a little and being pushed back onto the boxes.
        body->m_SimParams->words[12] = 0;
        enter(body);
    }
    for (uint32_t i = 0; i < plain; ++i) AddActor(system, scenery, id++);
    // Settle: the first frames drop the bodies onto their boxes.
    for (int frame = 0; frame < 10; ++frame) system->RunCollisionPass(1.0f / 60.0f);
    return Level{system, bodies};
}

void BM_CollisionPass(benchmark::State& state) {
    const uint32_t bodies = static_cast<uint32_t>(state.range(0));
    // The level's proportions: 2,000 bodies, 3,000 static boxes, 5,000 plain actors.
    Level level = BuildLevel(bodies, bodies * 3 / 2, bodies * 5 / 2);
    for (auto _ : state) {
        // Resting bodies still fall a little each frame and are pushed back
        // onto their boxes: every frame has the same work.
        level.system->RunCollisionPass(1.0f / 60.0f);
        // What the bodies' own step does between frames: their contact
        // records of the frame are dropped.
        for (CQVActor* actor : g_ActiveMovers) actor->m_SimState->contacts.clear();
    }
    state.counters["pairs"] = g_CollisionStats.pairTests;
    state.counters["hits"] = g_CollisionStats.hits;
    state.SetComplexityN(bodies);
    Actors_Reset();
}
BENCHMARK(BM_CollisionPass)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

void BM_LoadGame(benchmark::State& state) {
    if (!Bench_StartEngine()) {
        state.SkipWithError("no graphics device");
        return;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv_bench_collision";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        state.PauseTiming();
        Level level = BuildLevel(2000, 3000, 5000);
        ActorSystemServices_Install();
        level.system->m_BaseDirectory = folder.string();
        level.system->HandleMessage(MSG_SAVE_GAME, Args_Of("level.sav"));
        level.system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.sav"));
        state.ResumeTiming();
        level.system->Process();
        state.PauseTiming();
        state.counters["actors"] = static_cast<double>(CQVActorSystem::CountSavedActors(10, 20000));
        Actors_Reset();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadGame)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return Bench_OffscreenMain(argc, argv); }
