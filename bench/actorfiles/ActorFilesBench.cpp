// Saving and loading a level of 10,000 named base actors with one collision
// object each, against what a load must at least do: creating the same
// actors with the same fields through the actor system (the limit a load
// approaches), and reading the file's bytes into memory.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t FIRST_ID = 10000;
constexpr uint32_t GROUPS = 100;
constexpr uint32_t PER_GROUP = 100;  // the group actor and 99 children
constexpr uint32_t ACTOR_COUNT = GROUPS * PER_GROUP;

std::string g_File;

void StartSystem() {
    if (g_ActorSystem) return;
    KernelActorClasses_Start();
    g_File = (std::filesystem::temp_directory_path() / "qv_bench_level.qva").string();
}

// 100 groups under "Scenery", each with 99 children.
void BuildLevel() {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    for (uint32_t group = 0; group < GROUPS; ++group) {
        const uint32_t groupId = FIRST_ID + group * PER_GROUP;
        CQVActor* parent = scenery;
        for (uint32_t i = 0; i < PER_GROUP; ++i) {
            const std::string name = "Crate " + std::to_string(groupId + i);
            CQVActor* actor = g_ActorSystem->CreateActor(0, name.c_str(), nullptr, parent, groupId + i, 1, 0);
            actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
            if (i == 0) parent = actor;
        }
    }
}

void DeleteLevel() {
    for (uint32_t group = 0; group < GROUPS; ++group) {
        if (CQVActor* actor = CQVActorSystem::GetActorById(FIRST_ID + group * PER_GROUP)) {
            g_ActorSystem->DeleteActor(actor);
        }
    }
}

// The level saved to its file, and gone from the table again.
size_t SaveLevelFile() {
    StartSystem();
    BuildLevel();
    g_ActorSystem->SaveActors(g_File.c_str(), FIRST_ID, FIRST_ID + ACTOR_COUNT, 2);
    DeleteLevel();
    return std::filesystem::file_size(g_File);
}

void BM_SaveActors(benchmark::State& state) {
    StartSystem();
    BuildLevel();
    for (auto _ : state) {
        benchmark::DoNotOptimize(g_ActorSystem->SaveActors(g_File.c_str(), FIRST_ID, FIRST_ID + ACTOR_COUNT, 2));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(g_File)));
    state.counters["actors"] = ACTOR_COUNT;
    DeleteLevel();
}
BENCHMARK(BM_SaveActors)->Unit(benchmark::kMillisecond);

void BM_LoadActors(benchmark::State& state) {
    const size_t fileSize = SaveLevelFile();
    for (auto _ : state) {
        if (!g_ActorSystem->LoadActors(g_File.c_str(), 0)) state.SkipWithError("load failed");
        state.PauseTiming();
        DeleteLevel();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fileSize));
    state.counters["actors"] = ACTOR_COUNT;
}
BENCHMARK(BM_LoadActors)->Unit(benchmark::kMillisecond);

// The thread's own processor time in seconds: the machine is shared, and
// wall time would count the other programs too.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The load against the same 10,000 actors created through the actor system
// with their names, ids, parents and collision objects: the ratio says how
// much a load adds to making the actors at all.
void BM_LoadAgainstCreate(benchmark::State& state) {
    SaveLevelFile();
    double loadSeconds = 0.0;
    double createSeconds = 0.0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        if (!g_ActorSystem->LoadActors(g_File.c_str(), 0)) state.SkipWithError("load failed");
        const double loaded = ThreadSeconds();
        DeleteLevel();
        const double created = ThreadSeconds();
        BuildLevel();
        const double end = ThreadSeconds();
        DeleteLevel();
        loadSeconds += loaded - start;
        createSeconds += end - created;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["load_ms"] = loadSeconds * 1e3 / runs;
    state.counters["create_ms"] = createSeconds * 1e3 / runs;
    state.counters["ratio"] = createSeconds > 0.0 ? loadSeconds / createSeconds : 0.0;
}
BENCHMARK(BM_LoadAgainstCreate)->Unit(benchmark::kMillisecond);

// The floor for loading: the file's bytes read into memory.
void BM_ReadFileBytes(benchmark::State& state) {
    std::vector<char> bytes(SaveLevelFile());
    for (auto _ : state) {
        std::FILE* f = std::fopen(g_File.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
