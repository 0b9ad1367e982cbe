// Scripts compile on their first run, often many at a level's start, and run
// on every event they are bound to: compiling stays cheap, and running a
// compiled script stays close to sending its messages from code.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/script/Script.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kTargets = 10;

struct World {
    World() {
        RegisterBaseClass();
        Script_Init();
        for (int i = 0; i < kTargets; ++i) {
            targets.push_back(std::make_unique<CQVActor>());
            const std::string name = "GA" + std::to_string(i + 1);
            targets.back()->HandleMessage(MSG_SET_NAME, Args_Of(name.c_str()));
        }
    }
    CQVActor owner;
    std::vector<std::unique_ptr<CQVActor>> targets;
};

World& GetWorld() {
    static World world;
    return world;
}

// 1,000 one-statement scripts of the common shapes, compiled once each.
void BM_Compile1000Statements(benchmark::State& state) {
    World& world = GetWorld();
    const char* shapes[] = {
        "this.set_name(\"Door\");",
        "this.timercommand(2.5, start_game());",
        "[ga]GA12/Gate.set_position((1.0, -2.5, .5));",
        "Door/Knob.set_enabled(1);",
        "this.if_command(local, get_enabled, set_selection_max_count(3));",
    };
    std::vector<CQVScript> scripts(1000);
    for (size_t i = 0; i < scripts.size(); ++i) scripts[i].source = shapes[i % std::size(shapes)];
    for (auto _ : state) {
        for (CQVScript& script : scripts) benchmark::DoNotOptimize(script.Compile(&world.owner, nullptr, nullptr));
    }
}
BENCHMARK(BM_Compile1000Statements)->Unit(benchmark::kMillisecond);

// Ten statements, each to another actor held in a global slot.
void BM_RunScript10Messages(benchmark::State& state) {
    World& world = GetWorld();
    CQVScript script;
    script.owner = &world.owner;
    for (int i = 1; i <= kTargets; ++i)
        script.source += "[ga]GA" + std::to_string(i) + ".set_selection_max_count(" + std::to_string(i) + ");\n";
    if (!script.Compile(&world.owner, nullptr, nullptr)) state.SkipWithError("compile failed");
    for (auto _ : state) benchmark::DoNotOptimize(script.Execute(nullptr));
}
BENCHMARK(BM_RunScript10Messages)->Unit(benchmark::kNanosecond);

// The same ten messages sent from code to the same actors.
void BM_Send10MessagesDirectly(benchmark::State& state) {
    World& world = GetWorld();
    for (auto _ : state) {
        for (int i = 0; i < kTargets; ++i) {
            uint32_t value = static_cast<uint32_t>(i + 1);
            benchmark::DoNotOptimize(
                Script_GetGAVariable(i + 1)->HandleMessage(MSG_SET_SELECTION_MAX_COUNT, Args_Of(&value)));
        }
    }
    (void)world;
}
BENCHMARK(BM_Send10MessagesDirectly)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
