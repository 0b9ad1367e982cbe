// The actor system's costs: a message through a class chain against a plain
// virtual call, creating and deleting many actors, a path lookup, and the
// size of a base actor.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// Two classes above the base, each with a message of its own (two events
// the base leaves alone); the benchmark's message is handled by the base
// case at the end of the chain.
constexpr uint32_t LEVEL1_MESSAGE = MSG_ON_AI_PLAYER_STOP_DEAD;
constexpr uint32_t LEVEL2_MESSAGE = MSG_ON_AI_PLAYER_NOT_DRAWN_TIMER;

class Level1 : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == LEVEL1_MESSAGE) return 2;
        return CQVActor::HandleMessage(id, args);
    }
};

class Level2 : public Level1 {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == LEVEL2_MESSAGE) return 3;
        return Level1::HandleMessage(id, args);
    }
};

// The plain virtual call: the same signature through the same interface, a
// body that stores its argument as "Set Kill Delay" does. Called through
// CQVMessageTarget, whose classes the compiler cannot all see, so the call
// stays an indirect call and is not inlined away.
class PlainTarget : public CQVMessageTarget {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override;
    float stored = 0.0f;
};

int PlainTarget::HandleMessage(uint32_t id, MessageArgs args) {
    stored = Args_Get<float>(args);
    return static_cast<int>(id != 0);
}

// The system actors "Global", "Scenery" and "Clipboard" need a FileIO class.
class FileIOStandIn : public CQVActor {
public:
    FileIOStandIn() { m_ClassType = CLASS_FILEIO; }
};

CQVActor* CreateFileIO() { return new FileIOStandIn; }
void RegisterNothing() {}

const ActorClassInfo BENCH_CLASSES[] = {{CLASS_FILEIO, &CreateFileIO, &RegisterNothing}};

void StartSystem() {
    delete g_ActorSystem;
    ActorClasses_SetTable(BENCH_CLASSES, 1, nullptr);
    RegisterActorClasses();
}

// A message through Level2 and Level1 to the base case ("Set Kill Delay"),
// and one plain virtual call, timed in the same loop.
void BM_DispatchThroughTwoLevels(benchmark::State& state) {
    RegisterBaseClass();
    Level2 actor;
    PlainTarget plain;
    CQVActor* target = &actor;
    CQVMessageTarget* plainTarget = &plain;
    float value = 1.5f;
    constexpr int CALLS = 1000;
    double dispatchSeconds = 0.0;
    double virtualSeconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < CALLS; ++i) {
            benchmark::DoNotOptimize(target);
            benchmark::DoNotOptimize(target->HandleMessage(MSG_SET_KILL_DELAY, Args_Of(&value)));
        }
        const auto middle = std::chrono::steady_clock::now();
        for (int i = 0; i < CALLS; ++i) {
            benchmark::DoNotOptimize(plainTarget);
            benchmark::DoNotOptimize(plainTarget->HandleMessage(MSG_SET_KILL_DELAY, Args_Of(&value)));
        }
        const auto end = std::chrono::steady_clock::now();
        dispatchSeconds += std::chrono::duration<double>(middle - start).count();
        virtualSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double calls = static_cast<double>(state.iterations()) * CALLS;
    state.counters["dispatch_ns"] = dispatchSeconds * 1e9 / calls;
    state.counters["virtual_ns"] = virtualSeconds * 1e9 / calls;
    state.counters["ratio"] = virtualSeconds > 0.0 ? dispatchSeconds / virtualSeconds : 0.0;
    state.counters["actor_bytes"] = sizeof(CQVActor);
}
BENCHMARK(BM_DispatchThroughTwoLevels);

// 10,000 base actors under one parent, created and then deleted newest first.
void BM_CreateAndDelete10000(benchmark::State& state) {
    StartSystem();
    CQVActorSystem* system = g_ActorSystem;
    CQVActor* parent = system->CreateActor(CLASS_BASE, "parent", nullptr, CQVActorSystem::GetActorById(1),
                                           ACTOR_ID_ANY, 1, 0);
    std::vector<CQVActor*> actors(10000);
    double createSeconds = 0.0;
    double deleteSeconds = 0.0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (CQVActor*& actor : actors) actor = system->CreateActor(CLASS_BASE, "a", nullptr, parent, ACTOR_ID_ANY, 1, 0);
        auto middle = std::chrono::steady_clock::now();
        for (size_t i = actors.size(); i-- > 0;) system->DeleteActor(actors[i]);
        auto end = std::chrono::steady_clock::now();
        createSeconds += std::chrono::duration<double>(middle - start).count();
        deleteSeconds += std::chrono::duration<double>(end - middle).count();
    }
    state.counters["create_ms"] = createSeconds * 1000.0 / static_cast<double>(state.iterations());
    state.counters["delete_ms"] = deleteSeconds * 1000.0 / static_cast<double>(state.iterations());
    delete g_ActorSystem;
}
BENCHMARK(BM_CreateAndDelete10000)->Unit(benchmark::kMillisecond);

// 20,000 moving actors listed in one draw group; each iteration takes one
// out of the group and puts it back, moving through the list so that the
// actors left are spread over it: the cost of "RemoveFromDrawGroup" against
// the size of the lists it leaves.
void BM_LeaveAndEnterGroupOf20000(benchmark::State& state) {
    StartSystem();
    CQVActorSystem* system = g_ActorSystem;
    auto* group = new CQVDrawGroupBase;
    group->m_Flags |= ACTOR_DRAWGROUP_INHERITED;
    CQVActor* parent = system->CreateActor(CLASS_BASE, "parent", nullptr, CQVActorSystem::GetActorById(1),
                                           ACTOR_ID_ANY, 1, 0);
    std::vector<CQVActor*> actors(20000);
    for (CQVActor*& actor : actors) {
        actor = system->CreateActor(CLASS_BASE, "a", nullptr, parent, ACTOR_ID_ANY, 1, 0);
        actor->m_Flags &= ~ACTOR_STATIC;
        actor->m_Flags |= ACTOR_COLLISION_ENABLED;
        actor->m_DrawGroupId = group->m_DrawGroupId;
        system->AddToDrawGroup(actor, 0);
    }
    size_t next = 0;
    for (auto _ : state) {
        CQVActor* actor = actors[next];
        next = (next + 7919) % actors.size();
        system->RemoveFromDrawGroup(actor, 0);
        system->AddToDrawGroup(actor, 0);
    }
    state.counters["listed"] = static_cast<double>(group->m_Actors.size());
    for (CQVActor* actor : actors) system->RemoveFromDrawGroup(actor, 0);
    delete g_ActorSystem;
    delete group;
    DrawGroups_Reset();
}
BENCHMARK(BM_LeaveAndEnterGroupOf20000)->Unit(benchmark::kMicrosecond);

// "/Global/Level1/.../Level4": five segments, each level with eight siblings
// ahead of the one on the path.
void BM_FindByPathDepth5(benchmark::State& state) {
    StartSystem();
    CQVActorSystem* system = g_ActorSystem;
    CQVActor* parent = CQVActorSystem::GetActorById(1);
    for (int level = 1; level <= 4; ++level) {
        for (int sibling = 0; sibling < 8; ++sibling) {
            system->CreateActor(CLASS_BASE, ("Sibling" + std::to_string(sibling)).c_str(), nullptr, parent, ACTOR_ID_ANY,
                                1, 0);
        }
        parent = system->CreateActor(CLASS_BASE, ("Level" + std::to_string(level)).c_str(), nullptr, parent,
                                     ACTOR_ID_ANY, 1, 0);
    }
    const char* path = "/Global/Level1/Level2/Level3/Level4";
    CQVActor* found = nullptr;
    for (auto _ : state) {
        found = CQVActorSystem::FindActorByPath(path, nullptr);
        benchmark::DoNotOptimize(found);
    }
    if (found != parent) state.SkipWithError("path not found");
    delete g_ActorSystem;
}
BENCHMARK(BM_FindByPathDepth5);

}  // namespace

BENCHMARK_MAIN();
