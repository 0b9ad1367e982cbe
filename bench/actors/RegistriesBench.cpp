// The script compiler looks up every keyword it reads, and message sending
// reads a command descriptor for every message: both must stay cheap.

#include "kernel/actors/CommandKeywords.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Maths.h"

#include <benchmark/benchmark.h>

namespace {

struct Registered {
    Registered() { RegisterBaseClass(); }
};

void Setup()
{
    static Registered registered;
}

void BM_FindCommandByKeyword(benchmark::State& state)
{
    Setup();
    const char* keywords[] = {"set_position", "Start Game", "on_ai_player2_start_hostage_taker", "cur_dg",
                              "no_such_keyword"};
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindCommandByKeyword(keywords[i]));
        i = (i + 1) % 5;
    }
}
BENCHMARK(BM_FindCommandByKeyword);

void BM_GetCommandDesc(benchmark::State& state)
{
    Setup();
    uint32_t id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetCommandDesc(id).argSize);
        id = (id + 97) % 0x70a;
    }
}
BENCHMARK(BM_GetCommandDesc);

void BM_LerpSetPosition(benchmark::State& state)
{
    Setup();
    Vector3 a(0, 0, 0), b(1, 2, 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(MessageArgs_Lerp(0.5f, MSG_SET_POSITION, Args_Of(&a), Args_Of(&b)));
}
BENCHMARK(BM_LerpSetPosition);

}  // namespace

BENCHMARK_MAIN();
