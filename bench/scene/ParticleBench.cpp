// 20 particle emitters of 500 live particles each: one frame of their
// simulation and vertex writing (the draw callback of each emitter), against
// a plain loop doing the same arithmetic on bare arrays. The emitters run
// first without a device (arrays only), then on the offscreen device, where
// each frame's quads are also written into the mesh.
//
// Run with LP_NUM_THREADS=1 for figures that compare across machines.

#include "actors/scene/Particle.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kEmitters = 20;
constexpr uint32_t kParticles = 500;
constexpr float kFrame = 1.0f / 60.0f;

void NextFrame() {
    ++g_FrameNumber;
    g_GlobalClock.dt = kFrame;
    g_GlobalClock.time += kFrame;
}

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

// Emitters at a steady 500 particles each (300 a second living 1.8 s keep
// every slot busy), with gravity, drag, spin and all four ramps in use.
std::vector<CQVParticle*> MakeEmitters() {
    if (g_ActorSystem == nullptr) {
        CQVEngine::Create();
        g_Library.SetItem(3, new CQVMeshItem);
        g_Library.SetItem(4, new CQVMaterialItem);
        ActorClasses_Install();
        if (RegisterActorClasses() != 1) std::exit(1);
    }
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    std::vector<CQVParticle*> emitters;
    for (int i = 0; i < kEmitters; ++i) {
        auto* emitter = static_cast<CQVParticle*>(
            g_ActorSystem->CreateActor(CLASS_PARTICLE, "Emitter", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        if (emitter == nullptr) std::exit(1);
        Send(emitter, MSG_SET_POSITION, Vector3(static_cast<float>(i % 5) * 200.0f, 0.0f, 300.0f + (i / 5) * 200.0f));
        Send(emitter, MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
        Send(emitter, MSG_SET_PARTICLE_MAX_PARTICLES, kParticles);
        Send(emitter, MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 300.0f);                       // EmitFlowSpeed
        Send(emitter, MSG_SET_PARTICLE_EMIT_SPEED, 40.0f);                        // EmitSpeed
        Send(emitter, MSG_SET_PARTICLE_EMIT_ANGLE_V, 0.5f);                         // EmitAngleV
        Send(emitter, MSG_SET_PARTICLE_EMIT_SPIN_SPEED, 2.0f);                         // EmitSpinSpeed
        Send(emitter, MSG_SET_PARTICLE_LIFE, 2.0f);                         // Life
        Send(emitter, MSG_SET_PARTICLE_LIFE_V, 0.0f);                         // LifeV
        Send(emitter, MSG_SET_PARTICLE_GRAVITY_MUL, 0.1f);                         // GravityMul
        Send(emitter, MSG_SET_PARTICLE_AIR_RES_MUL, 2.0f);                         // AirResMul
        Send(emitter, MSG_SET_PARTICLE_MOVEMENT, Vector3(0.0f, 30.0f, 0.0f));   // Movement
        Send(emitter, MSG_SET_PARTICLE_SIZE_IN_TIME, 0.2f);                         // SizeInTime
        Send(emitter, MSG_SET_PARTICLE_SIZE_OUT_TIME, 0.2f);                         // SizeOutTime
        Send(emitter, MSG_SET_PARTICLE_FADE_IN_TIME, 0.2f);                         // FadeInTime
        Send(emitter, MSG_SET_PARTICLE_FADE_OUT_TIME, 0.5f);                         // FadeOutTime
        emitter->HandleMessage(MSG_ACTION_START, nullptr);
        emitter->UpdateRenderItems();
        emitters.push_back(emitter);
    }
    for (int frame = 0; frame < 150; ++frame) {
        NextFrame();
        for (CQVParticle* emitter : emitters) emitter->PrepareRender();
    }
    return emitters;
}

// The benchmark library calls a case more than once: each variant makes its
// emitters once.
void RunEmitters(benchmark::State& state, std::vector<CQVParticle*>& emitters) {
    if (emitters.empty()) emitters = MakeEmitters();
    uint32_t live = 0;
    for (auto _ : state) {
        NextFrame();
        for (CQVParticle* emitter : emitters) emitter->PrepareRender();
    }
    for (CQVParticle* emitter : emitters) live += emitter->LiveCount();
    state.counters["particles"] = live;
    state.counters["mesh_written"] = emitters.front()->m_Mesh != nullptr;
}

void BM_ParticleEmitters(benchmark::State& state) {
    static std::vector<CQVParticle*> emitters;
    RunEmitters(state, emitters);
}
BENCHMARK(BM_ParticleEmitters)->Unit(benchmark::kMillisecond);

void BM_ParticleEmittersOnDevice(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    std::string error;
    if (!RenderScene_StartEngine(640, 480, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    static std::vector<CQVParticle*> emitters;
    RunEmitters(state, emitters);
}
BENCHMARK(BM_ParticleEmittersOnDevice)->Unit(benchmark::kMillisecond);

// The same step and quads on bare arrays: no actors, records or overrides.
struct PlainParticle {
    Vector3 position, velocity;
    float spinAngle, spinSpeed, size, opacity, life, age;
    uint32_t tile;
};

void BM_PlainParticleLoop(benchmark::State& state) {
    const size_t count = static_cast<size_t>(kEmitters) * kParticles;
    std::vector<PlainParticle> particles(count);
    for (size_t i = 0; i < count; ++i)
        particles[i] = {Vector3(0.0f, static_cast<float>(i % 97), 0.0f), Vector3(1.0f, 30.0f, -40.0f),
                        0.1f, 2.0f, 5.0f, 1.0f, 1e9f, 0.5f + static_cast<float>(i % 100) * 0.01f,
                        static_cast<uint32_t>(i % 16)};
    std::vector<Vector3> positions(4 * count);
    std::vector<Vector2> uvs(4 * count);
    std::vector<uint32_t> colors(4 * count);
    Vector2 tiles[16][4];
    for (uint32_t t = 0; t < 16; ++t)
        for (int k = 0; k < 4; ++k) tiles[t][k] = {static_cast<float>(t % 4) / 4.0f, static_cast<float>(t / 4) / 4.0f};
    const float cx[4] = {-1.0f, 1.0f, 1.0f, -1.0f}, cy[4] = {1.0f, 1.0f, -1.0f, -1.0f};
    const Vector3 right(1.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    const float dt = kFrame, fall = 9.81f * 0.1f * dt * 50.0f, drag = 1.0f / (dt * 2.0f * 0.1f + 1.0f);
    for (auto _ : state) {
        Vector3 low(0, 0, 0), high(0, 0, 0);
        for (PlainParticle& p : particles) {
            p.age += dt;
            p.velocity.y -= fall;
            p.velocity = p.velocity * drag;
            p.spinSpeed *= drag;
            p.spinAngle += p.spinSpeed * dt;
            p.position += p.velocity * dt;
            low = Vector3(std::min(low.x, p.position.x), std::min(low.y, p.position.y), std::min(low.z, p.position.z));
            high = Vector3(std::max(high.x, p.position.x), std::max(high.y, p.position.y), std::max(high.z, p.position.z));
        }
        for (size_t q = 0; q < count; ++q) {
            const PlainParticle& p = particles[q];
            float size = p.size, opacity = p.opacity;
            if (p.age < 0.2f) size *= p.age / 0.2f;
            if (p.age > p.life - 0.2f) size *= (p.life - p.age) / 0.2f;
            if (p.age < 0.2f) opacity *= p.age / 0.2f;
            if (p.age > p.life - 0.5f) opacity *= (p.life - p.age) / 0.5f;
            const uint32_t color = static_cast<uint32_t>(std::clamp(opacity * 255.0f, 0.0f, 255.0f)) << 24 | 0xFFFFFFu;
            const float s = std::sin(p.spinAngle), c = std::cos(p.spinAngle);
            for (int k = 0; k < 4; ++k) {
                const float x = cx[k] * size, y = cy[k] * size;
                const float rx = x * c - y * s, ry = x * s + y * c;
                positions[4 * q + k] = Vector3(p.position.x + rx * right.x + ry * up.x, p.position.y + rx * right.y + ry * up.y,
                                               p.position.z + rx * right.z + ry * up.z);
                uvs[4 * q + k] = tiles[p.tile % 16][k];
                colors[4 * q + k] = color;
            }
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::DoNotOptimize(uvs.data());
        benchmark::DoNotOptimize(colors.data());
        benchmark::DoNotOptimize(low);
        benchmark::DoNotOptimize(high);
    }
    state.counters["particles"] = static_cast<double>(count);
}
BENCHMARK(BM_PlainParticleLoop)->Unit(benchmark::kMillisecond);

}  // namespace
