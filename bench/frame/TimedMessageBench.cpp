// The timed-message pass: 10,000 per-frame "Process" steps against a plain
// loop of as many virtual calls to the same actors' steps, and 1,000 due records among 1,000 and among
// 100,000 pending ones.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

// An actor class whose per-frame step does nothing.
class IdleActor : public CQVActor {
public:
    void Process() override {}
};

class FileIOStandIn : public CQVActor {
public:
    FileIOStandIn() { m_ClassType = CLASS_FILEIO; }
};

CQVActor* CreateFileIO() { return new FileIOStandIn; }
CQVActor* CreateIdle() { return new IdleActor; }
void RegisterNothing() {}

const ActorClassInfo BENCH_CLASSES[] = {{CLASS_FILEIO, &CreateFileIO, &RegisterNothing},
                                        {CLASS_DOOR, &CreateIdle, &RegisterNothing}};

CQVActorSystem* StartSystem() {
    delete g_ActorSystem;
    g_FrameNumber = 0;
    g_FrameTime = 0.01f;
    g_GlobalClock.time = 0.0f;
    ActorClasses_SetTable(BENCH_CLASSES, 2, nullptr);
    RegisterActorClasses();
    return g_ActorSystem;
}

std::vector<CQVActor*> MakeActors(CQVActorSystem* system, size_t count) {
    CQVActor* parent = CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL);
    std::vector<CQVActor*> actors(count);
    for (CQVActor*& actor : actors) actor = system->CreateActor(CLASS_DOOR, "a", nullptr, parent, ACTOR_ID_ANY, 1, 0);
    return actors;
}

void NextFrame(CQVActorSystem* system) {
    ++g_FrameNumber;
    system->UpdateClock(&g_GlobalClock);
}

// Runs frames until the creation's "BaseProcess" records are gone.
void Settle(CQVActorSystem* system) {
    for (int i = 0; i < 4; ++i) {
        NextFrame(system);
        system->RunTimedMessagePass();
    }
}

void BM_ProcessPass10000(benchmark::State& state) {
    CQVActorSystem* system = StartSystem();
    std::vector<CQVActor*> actors = MakeActors(system, 10000);
    for (CQVActor* actor : actors) {
        system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    }
    Settle(system);

    double passSeconds = 0.0;
    double virtualSeconds = 0.0;
    for (auto _ : state) {
        NextFrame(system);
        const auto start = std::chrono::steady_clock::now();
        system->RunTimedMessagePass();
        const auto middle = std::chrono::steady_clock::now();
        // The same actors' per-frame steps, called straight.
        for (CQVActor* actor : actors) {
            benchmark::DoNotOptimize(actor);
            actor->Process();
        }
        const auto end = std::chrono::steady_clock::now();
        passSeconds += std::chrono::duration<double>(middle - start).count();
        virtualSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["pass_us"] = passSeconds * 1e6 / frames;
    state.counters["virtual_loop_us"] = virtualSeconds * 1e6 / frames;
    state.counters["ratio"] = virtualSeconds > 0.0 ? passSeconds / virtualSeconds : 0.0;
    delete g_ActorSystem;
}
BENCHMARK(BM_ProcessPass10000);

// 1,000 records fire every frame (periodic, due again as soon as the clock
// moves); the rest wait far in the future.
void BM_DueAmongPending(benchmark::State& state) {
    const size_t pending = static_cast<size_t>(state.range(0));
    constexpr size_t DUE = 1000;
    CQVActorSystem* system = StartSystem();
    std::vector<CQVActor*> actors = MakeActors(system, 1000);
    for (size_t i = 0; i + DUE < pending; ++i) {
        system->ScheduleMessage(actors[i % actors.size()], MSG_KILL_VALUE, nullptr, 0x200, 1.0e9f, 0.0f, 0.0f,
                                nullptr, 1);
    }
    for (size_t i = 0; i < DUE; ++i) {
        system->ScheduleMessage(actors[i % actors.size()], MSG_ACTION_START_VALUE, nullptr, 0xB00, 0.0f, 0.0f, 0.0f,
                                nullptr, 1);
    }
    Settle(system);
    double seconds = 0.0;
    for (auto _ : state) {
        NextFrame(system);
        const auto start = std::chrono::steady_clock::now();
        system->RunTimedMessagePass();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["pass_us"] = seconds * 1e6 / static_cast<double>(state.iterations());
    delete g_ActorSystem;
}
BENCHMARK(BM_DueAmongPending)->Arg(1000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
