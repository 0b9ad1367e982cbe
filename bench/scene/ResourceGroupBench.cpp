// What a cell coming into view for the first time costs the level: "Load
// Resource Group" tells every actor that listens for "On Load Resource
// Group" (a script bound to it, or a spy) that loading starts. The level:
// 200 cells of 25 plain actors each, one actor in a hundred with a script
// bound to the event (5,000 actors and 50 listeners besides whatever the
// other benchmarks of this binary have built).
//
// BM_GroupLoadTold: the cell's way now (listeners only, in tree order).
// BM_GroupLoadByRecursiveCommand: the message sent as a recursive command
// from the actor system, through every actor's handler, as it was sent
// before; the same listeners hear it.
// Both are per cell reached; the figure "actors" is the size of the tree.

#include "actors/scene/DrawGroup.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kCells = 200;
constexpr int kActorsPerCell = 25;
constexpr int kListenerEvery = 100;

size_t CountTree(const CQVActor* actor) {
    size_t count = 1;
    for (const CQVActor* child : actor->m_Children) count += child ? CountTree(child) : 0;
    return count;
}

// Built once for the binary; far above every other benchmark's level, so no
// draw pass reaches its cells.
size_t BuildLevel() {
    static size_t actors = 0;
    if (actors != 0) return actors;
    if (g_ActorSystem == nullptr) {
        ActorClasses_Install();
        RegisterActorClasses();
    }
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    int made = 0;
    for (int c = 0; c < kCells; ++c) {
        CQVActor* cell = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Far Cell", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
        const Vector3 min(1000.0f * c, 1.0e6f, 0.0f), max(1000.0f * c + 900.0f, 1.0e6f + 300.0f, 900.0f);
        cell->HandleMessage(MSG_SET_BOX_MIN, Args_Of(&min));
        cell->HandleMessage(MSG_SET_BOX_MAX, Args_Of(&max));
        for (int a = 0; a < kActorsPerCell; ++a, ++made) {
            CQVActor* actor = g_ActorSystem->CreateActor(CLASS_BASE, "Thing", nullptr, cell, ACTOR_ID_ANY, 1, 0);
            if (made % kListenerEvery == 0) {
                CQVScript script;
                script.name = "onLoad";
                script.boundMessage = MSG_ON_LOAD_RESOURCE_GROUP;
                script.owner = actor;
                actor->m_Scripts.push_back(script);
            }
        }
    }
    actors = CountTree(g_ActorSystem);
    return actors;
}

void BM_GroupLoadTold(benchmark::State& state) {
    const size_t actors = BuildLevel();
    for (auto _ : state) DrawGroup_TellGroupLoad();
    state.counters["actors"] = static_cast<double>(actors);
}
BENCHMARK(BM_GroupLoadTold)->Unit(benchmark::kMicrosecond);

void BM_GroupLoadByRecursiveCommand(benchmark::State& state) {
    const size_t actors = BuildLevel();
    for (auto _ : state) Actor_SendRecursive(g_ActorSystem, MSG_ON_LOAD_RESOURCE_GROUP, nullptr);
    state.counters["actors"] = static_cast<double>(actors);
}
BENCHMARK(BM_GroupLoadByRecursiveCommand)->Unit(benchmark::kMicrosecond);

}  // namespace
