#include "actors/scene/Particle.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// The parameter pairs, the value each carries, and whether it is of the
// group that changes under "Extend Base".
enum class Carries { Real, Word, Vector };
struct ParameterPair {
    uint32_t set;
    uint32_t get;
    Carries value;
    bool base;
};
const ParameterPair kParameterPairs[] = {
    {MSG_SET_PARTICLE_MAX_PARTICLES, MSG_GET_PARTICLE_MAX_PARTICLES, Carries::Word, true},
    {MSG_SET_PARTICLE_EMIT_FLOW_SPEED, MSG_GET_PARTICLE_EMIT_FLOW_SPEED, Carries::Real, true},
    {MSG_SET_PARTICLE_EMIT_FLOW_SPEED_V, MSG_GET_PARTICLE_EMIT_FLOW_SPEED_V, Carries::Real, false},
    {MSG_SET_PARTICLE_EMIT_SPEED, MSG_GET_PARTICLE_EMIT_SPEED, Carries::Real, true},
    {MSG_SET_PARTICLE_EMIT_SPEED_V, MSG_GET_PARTICLE_EMIT_SPEED_V, Carries::Real, true},
    {MSG_SET_PARTICLE_EMIT_POS_V, MSG_GET_PARTICLE_EMIT_POS_V, Carries::Real, true},
    {MSG_SET_PARTICLE_EMIT_ANGLE_V, MSG_GET_PARTICLE_EMIT_ANGLE_V, Carries::Real, false},
    {MSG_SET_PARTICLE_EMIT_SPIN_ANGLE_V, MSG_GET_PARTICLE_EMIT_SPIN_ANGLE_V, Carries::Real, false},
    {MSG_SET_PARTICLE_EMIT_SPIN_SPEED, MSG_GET_PARTICLE_EMIT_SPIN_SPEED, Carries::Real, false},
    {MSG_SET_PARTICLE_EMIT_SPIN_SPEED_V, MSG_GET_PARTICLE_EMIT_SPIN_SPEED_V, Carries::Real, false},
    {MSG_SET_PARTICLE_LIFE, MSG_GET_PARTICLE_LIFE, Carries::Real, true},
    {MSG_SET_PARTICLE_LIFE_V, MSG_GET_PARTICLE_LIFE_V, Carries::Real, false},
    {MSG_SET_PARTICLE_SIZE, MSG_GET_PARTICLE_SIZE, Carries::Real, true},
    {MSG_SET_PARTICLE_SIZE_V, MSG_GET_PARTICLE_SIZE_V, Carries::Real, false},
    {MSG_SET_PARTICLE_DSIZE, MSG_GET_PARTICLE_DSIZE, Carries::Real, false},
    {MSG_SET_PARTICLE_DSIZE_V, MSG_GET_PARTICLE_DSIZE_V, Carries::Real, false},
    {MSG_SET_PARTICLE_STATIC, MSG_GET_PARTICLE_STATIC, Carries::Word, false},
    {MSG_SET_PARTICLE_GRAVITY_MUL, MSG_GET_PARTICLE_GRAVITY_MUL, Carries::Real, false},
    {MSG_SET_PARTICLE_AIR_RES_MUL, MSG_GET_PARTICLE_AIR_RES_MUL, Carries::Real, false},
    {MSG_SET_PARTICLE_MOVEMENT, MSG_GET_PARTICLE_MOVEMENT, Carries::Vector, false},
    {MSG_SET_PARTICLE_MOVEMENT_V, MSG_GET_PARTICLE_MOVEMENT_V, Carries::Vector, false},
    {MSG_SET_PARTICLE_OPACITY, MSG_GET_PARTICLE_OPACITY, Carries::Real, true},
    {MSG_SET_PARTICLE_OPACITY_V, MSG_GET_PARTICLE_OPACITY_V, Carries::Real, false},
    {MSG_SET_PARTICLE_SIZE_IN_TIME, MSG_GET_PARTICLE_SIZE_IN_TIME, Carries::Real, false},
    {MSG_SET_PARTICLE_SIZE_OUT_TIME, MSG_GET_PARTICLE_SIZE_OUT_TIME, Carries::Real, false},
    {MSG_SET_PARTICLE_FADE_IN_TIME, MSG_GET_PARTICLE_FADE_IN_TIME, Carries::Real, false},
    {MSG_SET_PARTICLE_FADE_OUT_TIME, MSG_GET_PARTICLE_FADE_OUT_TIME, Carries::Real, false},
    {MSG_SET_PARTICLE_USE_FULL_TEXTURE, MSG_GET_PARTICLE_USE_FULL_TEXTURE, Carries::Word, true},
    {MSG_SET_PARTICLE_TILE_NR, MSG_GET_PARTICLE_TILE_NR, Carries::Word, true},
    {MSG_SET_PARTICLE_TILE_NR_V, MSG_GET_PARTICLE_TILE_NR_V, Carries::Word, true},
    {MSG_SET_PARTICLE_MOTION_INHERITANCE, MSG_GET_PARTICLE_MOTION_INHERITANCE, Carries::Real, false},
    {MSG_SET_PARTICLE_MOTION_INHERITANCE_V, MSG_GET_PARTICLE_MOTION_INHERITANCE_V, Carries::Real, false},
};

class ParticleActor : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        // The fallback mesh and material a new mesh actor takes.
        g_Library.SetItem(3, new CQVMeshItem);
        g_Library.SetItem(4, new CQVMaterialItem);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        g_FrameTime = kFrame;
        emitter = Make("Emitter");
        ASSERT_NE(emitter, nullptr);
    }
    void TearDown() override { ResetGlobals(); }

    static CQVParticle* Make(const char* name, CQVActor* source = nullptr) {
        CQVActor* actor = g_ActorSystem->CreateActor(CLASS_PARTICLE, name, source,
                                                     CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), ACTOR_ID_ANY, 1, 0);
        return static_cast<CQVParticle*>(actor);
    }

    template <typename T>
    int Send(uint32_t id, T value) {
        return emitter->HandleMessage(id, Args_Of(&value));
    }
    template <typename T>
    T Get(uint32_t id, int* result = nullptr) {
        T value{};
        const int r = emitter->HandleMessage(id, Args_Of(&value));
        if (result) *result = r;
        return value;
    }

    // A full override with the given rate, long lives and no pull, rebuilt.
    void FullOverride(uint32_t maxParticles, float flow, float life) {
        Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
        Send<uint32_t>(MSG_SET_PARTICLE_MAX_PARTICLES, maxParticles);
        Send<float>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, flow);
        Send<float>(MSG_SET_PARTICLE_LIFE, life);
        Send<float>(MSG_SET_PARTICLE_LIFE_V, 0.0f);  // LifeV
        Send<float>(MSG_SET_PARTICLE_GRAVITY_MUL, 0.0f);  // GravityMul
        emitter->HandleMessage(MSG_ACTION_START, nullptr);
    }

    // One drawn frame: the draw callback, as many times as buckets draw it.
    // The frame step advances the global clock, on which the emitter runs.
    void Frame(int draws = 1) {
        ++g_FrameNumber;
        g_GlobalClock.dt = kFrame;
        g_GlobalClock.time += kFrame;
        for (int i = 0; i < draws; ++i) emitter->PrepareRender();
    }

    CQVParticle* emitter = nullptr;
};

// Every parameter pair under each override: a setter stores only when the
// override allows its group, and a getter answers always but returns 8 where
// its row does not apply ("Max Particles" is passed on instead).
TEST_F(ParticleActor, OverrideDecidesWhichParametersChange) {
    for (uint32_t override : {PARTICLE_NO_OVERRIDE, PARTICLE_EXTEND_BASE, PARTICLE_FULL_OVERRIDE}) {
        for (const ParameterPair& pair : kParameterPairs) {
            const uint32_t set = pair.set;
            emitter = Make("Sheet");
            ASSERT_NE(emitter, nullptr);
            Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, override);
            const bool base = pair.base;
            const bool allowed = base ? override >= PARTICLE_EXTEND_BASE : override == PARTICLE_FULL_OVERRIDE;
            int result = 0;
            if (pair.value == Carries::Vector) {
                Send(set, Vector3(7.0f, 8.0f, 9.0f));
                EXPECT_EQ(Get<Vector3>(pair.get, &result).y == 8.0f, allowed) << set << " under " << override;
            } else if (pair.value == Carries::Word) {
                Send<uint32_t>(set, 1);
                EXPECT_EQ(Get<uint32_t>(pair.get, &result) == 1u, allowed) << set << " under " << override;
            } else {
                Send<float>(set, 3.25f);
                EXPECT_EQ(Get<float>(pair.get, &result) == 3.25f, allowed) << set << " under " << override;
            }
            const bool answers8 =
                set != MSG_SET_PARTICLE_MAX_PARTICLES &&
                (base ? override == PARTICLE_NO_OVERRIDE : override != PARTICLE_FULL_OVERRIDE);
            EXPECT_EQ(result == 8, answers8) << pair.get << " under " << override;
        }
    }
}

TEST_F(ParticleActor, TypeAndOverrideValuesOutsideTheirRanges) {
    // A Type past the table reads as the first preset once rebuilt.
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE, 50);
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_TYPE), 0u);
    EXPECT_EQ(emitter->Params().maxParticles, 60u);
    // Only the three listed overrides exist.
    EXPECT_EQ(Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, 3), 0);
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_TYPE_OVERRIDE), PARTICLE_NO_OVERRIDE);
    EXPECT_EQ(emitter->m_Own, nullptr);
    // Under "Full Overrride" the Type is fixed and its row does not apply.
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
    EXPECT_EQ(Send<uint32_t>(MSG_SET_PARTICLE_TYPE, 1), 0);
    int result = 0;
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_TYPE, &result), 0u);
    EXPECT_EQ(result, 8);
    // "Max Particles" stays within what 16-bit indices address.
    for (auto [asked, kept] : {std::pair<uint32_t, uint32_t>{0, 1}, {100000, 16384}, {16384, 16384}, {7, 7}}) {
        Send<uint32_t>(MSG_SET_PARTICLE_MAX_PARTICLES, asked);
        EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_MAX_PARTICLES), kept) << asked;
        EXPECT_EQ(emitter->m_Slots.size(), kept) << asked;
        EXPECT_EQ(emitter->m_VertexCount, 4 * kept) << asked;
    }
}

TEST_F(ParticleActor, ExtendBaseKeepsTheActorsOwnBaseGroup) {
    // A new actor's own values go on top of the preset (Fire).
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_EXTEND_BASE);
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_MAX_PARTICLES), 40u);
    EXPECT_EQ(Get<float>(MSG_GET_PARTICLE_EMIT_FLOW_SPEED), 10.0f);
    EXPECT_EQ(Get<float>(MSG_GET_PARTICLE_LIFE), 5.0f);
    EXPECT_EQ(Get<float>(MSG_GET_PARTICLE_SIZE), 5.0f);
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_TILE_NR_V), 4u);
    EXPECT_EQ(Get<float>(MSG_GET_PARTICLE_GRAVITY_MUL), 0.005f);  // Fire's own GravityMul
    EXPECT_EQ(emitter->m_Slots.size(), 40u);
    // Back to the preset: its base group becomes the actor's.
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_NO_OVERRIDE);
    EXPECT_EQ(emitter->m_Base.maxParticles, 60u);
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE, 1);  // Smoke
    EXPECT_EQ(emitter->m_Base.maxParticles, 20u);
    EXPECT_EQ(emitter->m_Base.tileNr, 8u);
    // A stored tile past the atlas is limited when the group is applied.
    emitter->m_Base.tileNr = 40;
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_EXTEND_BASE);
    EXPECT_EQ(Get<uint32_t>(MSG_GET_PARTICLE_TILE_NR), 15u);
}

struct CadenceCase {
    int drawsPerFrame;
};

class ParticleCadence : public ParticleActor, public ::testing::WithParamInterface<CadenceCase> {};

// 20 particles a second at 60 frames a second: one every third frame, the
// remainder carried between frames, however many buckets draw the emitter.
TEST_P(ParticleCadence, FlowTwentyEmitsEveryThirdFrame) {
    FullOverride(100, 20.0f, 100.0f);
    std::vector<int> emitted;
    uint32_t live = emitter->LiveCount();
    for (int frame = 1; frame <= 9; ++frame) {
        Frame(GetParam().drawsPerFrame);
        if (emitter->LiveCount() != live) emitted.push_back(frame);
        EXPECT_LE(emitter->LiveCount(), live + 1);
        live = emitter->LiveCount();
    }
    EXPECT_EQ(emitted, (std::vector<int>{3, 6, 9}));
    // The first particle born takes the last slot.
    EXPECT_NE(emitter->m_Slots[99].owner, nullptr);
    EXPECT_EQ(emitter->m_Slots[96].owner, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Buckets, ParticleCadence, ::testing::Values(CadenceCase{1}, CadenceCase{3}));

TEST_F(ParticleActor, SlotsFreeOnlyWhenTheirParticlesDie) {
    FullOverride(3, 1000.0f, 0.5f);
    Frame();
    EXPECT_EQ(emitter->LiveCount(), 3u);
    EXPECT_TRUE(emitter->m_FreeSlots.empty());
    // Emission waits while every slot is alive.
    for (int i = 0; i < 20; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 3u);
    std::vector<float> ages;
    for (const ParticleState& s : emitter->m_Slots) ages.push_back(s.age);
    EXPECT_NEAR(ages[0], 20 * kFrame, 1e-4f);
    // They die together at 0.5 s and new ones take their slots in the same step.
    for (int i = 0; i < 10; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 3u);
    for (const ParticleState& s : emitter->m_Slots) EXPECT_LT(s.age, 0.2f);
}

TEST_F(ParticleActor, NoStrengthOrNoRateEmitsNothing) {
    FullOverride(10, 60.0f, 0.1f);
    Frame();
    Frame();
    ASSERT_EQ(emitter->LiveCount(), 2u);
    // "Get Intensity" sets the strength: live particles finish, none follow.
    Send<float>(MSG_GET_INTENSITY, 0.0f);
    for (int i = 0; i < 12; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 0u);
    // A rate of 0 emits nothing and leaves no broken remainder behind.
    Send<float>(MSG_GET_INTENSITY, 1.0f);
    Send<float>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 0.0f);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 0u);
    EXPECT_TRUE(std::isfinite(emitter->m_EmitRemainder));
    Send<float>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, std::nanf(""));
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 0u);
    // An endless rate fills the free slots at once and carries no broken remainder.
    Send<float>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, INFINITY);
    Frame();
    EXPECT_EQ(emitter->LiveCount(), 10u);
    EXPECT_TRUE(std::isfinite(emitter->m_EmitRemainder));
    for (int i = 0; i < 12; ++i) Frame();
    Send<float>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 60.0f);
    Send<float>(MSG_GET_INTENSITY, 0.0f);
    for (int i = 0; i < 12; ++i) Frame();
    ASSERT_EQ(emitter->LiveCount(), 0u);
    Send<float>(MSG_GET_INTENSITY, 1.0f);
    Frame();
    EXPECT_EQ(emitter->LiveCount(), 1u);
    // An action value of 0 stops a non-static emitter too.
    Send<float>(MSG_ACTION_START_VALUE, 0.0f);
    for (int i = 0; i < 12; ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 0u);
}

// A particle born at strength e lives its life times 0.6 + 0.3 e.
TEST_F(ParticleActor, TheStrengthScalesEachNewParticlesLife) {
    for (const float e : {1.0f, 0.5f, 0.2f}) {
        emitter = Make("Emitter");
        FullOverride(1, 1000.0f, 2.0f);
        Send<float>(MSG_GET_INTENSITY, e);
        Frame();
        ASSERT_EQ(emitter->LiveCount(), 1u) << e;
        EXPECT_FLOAT_EQ(emitter->m_Slots[0].life, 2.0f * (0.6f + 0.3f * e)) << e;
    }
}

TEST_F(ParticleActor, AirResistanceSlowsEachStep) {
    FullOverride(1, 1000.0f, 100.0f);
    Send<float>(MSG_SET_PARTICLE_EMIT_SPEED, 0.0f);                      // EmitSpeed
    Send<float>(MSG_SET_PARTICLE_MOTION_INHERITANCE, 0.0f);                      // MotionInheritance
    Send(MSG_SET_PARTICLE_MOVEMENT, Vector3(100.0f, 0.0f, 0.0f));      // Movement
    Send(MSG_SET_PARTICLE_MOVEMENT_V, Vector3(0.0f, 0.0f, 0.0f));        // MovementV
    Send<float>(MSG_SET_PARTICLE_AIR_RES_MUL, 5.0f);                      // AirResMul
    Send<float>(MSG_SET_PARTICLE_SIZE_IN_TIME, 0.0f);
    emitter->Simulate(0.1f);
    ParticleState& s = emitter->m_Slots[0];
    ASSERT_NE(s.owner, nullptr);
    ASSERT_FLOAT_EQ(s.velocity.x, 100.0f);
    const float startX = s.position.x;
    emitter->Simulate(0.1f);
    const float slowed = 100.0f / (1.0f + 0.1f * 5.0f * 0.1f);
    EXPECT_FLOAT_EQ(s.velocity.x, slowed);
    EXPECT_FLOAT_EQ(s.position.x - startX, slowed * 0.1f);
}

// The pull comes from the system Environment: g x GravityMul x dt x 50 a step.
TEST_F(ParticleActor, GravityComesFromTheEnvironment) {
    CQVActor* environment = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT);
    ASSERT_NE(environment, nullptr);
    const float gravity = 2.0f;
    environment->HandleMessage(MSG_SET_GRAVITY, Args_Of(&gravity));
    FullOverride(1, 1000.0f, 100.0f);
    Send<float>(MSG_SET_PARTICLE_EMIT_SPEED, 0.0f);                      // EmitSpeed
    Send<float>(MSG_SET_PARTICLE_MOTION_INHERITANCE, 0.0f);                      // MotionInheritance
    Send<float>(MSG_SET_PARTICLE_AIR_RES_MUL, 0.0f);                      // AirResMul
    Send<float>(MSG_SET_PARTICLE_GRAVITY_MUL, 1.5f);                      // GravityMul
    Send(MSG_SET_PARTICLE_MOVEMENT, Vector3(0.0f, 0.0f, 0.0f));        // Movement
    emitter->Simulate(0.1f);
    ParticleState& s = emitter->m_Slots[0];
    ASSERT_NE(s.owner, nullptr);
    ASSERT_EQ(s.velocity.y, 0.0f);
    emitter->Simulate(0.1f);
    EXPECT_FLOAT_EQ(s.velocity.y, -2.0f * 1.5f * 0.1f * 50.0f);
}

struct TileCase {
    uint32_t tile;
    uint32_t useFullTexture;
    Vector2 topLeft, bottomRight;
};

TEST_F(ParticleActor, QuadCornersComeFromTheTileAtlas) {
    constexpr float a = 1.0f / 128.0f;
    const TileCase cases[] = {
        {0, 0, {a, a}, {0.25f, 0.25f}},
        {5, 0, {0.25f + a, 0.25f + a}, {0.5f, 0.5f}},
        {15, 0, {0.75f + a, 0.75f + a}, {1.0f, 1.0f}},
        {17, 0, {0.25f + a, a}, {0.5f, 0.25f}},  // past the atlas: wraps to tile 1
        {3, 1, {0.01f, 0.01f}, {0.99f, 0.99f}},
    };
    FullOverride(1, 1000.0f, 100.0f);
    Frame();
    ASSERT_EQ(emitter->LiveCount(), 1u);
    for (const TileCase& c : cases) {
        emitter->m_Slots[0].tile = c.tile;
        emitter->m_Own->useFullTexture = c.useFullTexture;
        emitter->WriteVertices();
        const Vector2* uv = &emitter->m_TexCoords[0];
        EXPECT_FLOAT_EQ(uv[0].x, c.topLeft.x) << c.tile;
        EXPECT_FLOAT_EQ(uv[0].y, c.topLeft.y) << c.tile;
        EXPECT_FLOAT_EQ(uv[1].x, c.bottomRight.x) << c.tile;
        EXPECT_FLOAT_EQ(uv[1].y, c.topLeft.y) << c.tile;
        EXPECT_FLOAT_EQ(uv[2].x, c.bottomRight.x) << c.tile;
        EXPECT_FLOAT_EQ(uv[2].y, c.bottomRight.y) << c.tile;
        EXPECT_FLOAT_EQ(uv[3].x, c.topLeft.x) << c.tile;
        EXPECT_FLOAT_EQ(uv[3].y, c.bottomRight.y) << c.tile;
    }
}

TEST_F(ParticleActor, OpacityRampsAndTheAlphaByte) {
    FullOverride(1, 1000.0f, 1.0f);
    Send<float>(MSG_SET_PARTICLE_FADE_IN_TIME, 0.5f);  // FadeInTime
    Send<float>(MSG_SET_PARTICLE_FADE_OUT_TIME, 0.0f);
    Frame();
    ParticleState& s = emitter->m_Slots[0];
    s.opacity = 1.0f;
    s.age = 0.25f;
    emitter->WriteVertices();
    EXPECT_EQ(emitter->m_Colors[0], 0x7FFFFFFFu);  // half faded in: truncate(127.5)
    // A static emitter follows the action value, and above 1 the alpha byte saturates.
    Send<uint32_t>(MSG_SET_PARTICLE_STATIC, 1);
    Send<float>(MSG_ACTION_START_VALUE, 2.0f);
    emitter->WriteVertices();
    EXPECT_EQ(emitter->m_Colors[0], 0xFFFFFFFFu);
}

TEST_F(ParticleActor, StopAndKillWaitForTheParticles) {
    FullOverride(5, 60.0f, 0.5f);
    Frame();
    ASSERT_EQ(emitter->LiveCount(), 1u);
    EXPECT_EQ(emitter->HandleMessage(MSG_KILL_POST, nullptr), 0);
    EXPECT_EQ(emitter->m_KillPending, 1u);
    EXPECT_EQ(emitter->m_Intensity, 0.0f);
    EXPECT_NE(emitter->FindTimedMessage(MSG_KILL_POST), nullptr);
    EXPECT_TRUE(emitter->IsVisible());
    for (int i = 0; i < 40 && emitter->IsVisible(); ++i) Frame();
    EXPECT_EQ(emitter->LiveCount(), 0u);
    EXPECT_FALSE(emitter->IsVisible());

    // "Action Start" emits again; a static emitter vanishes at once on "Action Stop Post".
    Send<uint32_t>(MSG_SET_VISIBLE, 1);
    Send<uint32_t>(MSG_SET_PARTICLE_STATIC, 1);
    emitter->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(emitter->m_KillPending, 0u);
    Frame();
    ASSERT_GT(emitter->LiveCount(), 0u);
    emitter->HandleMessage(MSG_ACTION_STOP_POST, nullptr);
    EXPECT_EQ(emitter->LiveCount(), 0u);
    EXPECT_FALSE(emitter->IsVisible());
}

TEST_F(ParticleActor, CopyTakesItsOwnRecord) {
    FullOverride(7, 30.0f, 2.0f);
    CQVParticle* copy = Make("Copy", emitter);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_TypeOverride, PARTICLE_FULL_OVERRIDE);
    ASSERT_NE(copy->m_Own, nullptr);
    EXPECT_NE(copy->m_Own.get(), emitter->m_Own.get());
    EXPECT_EQ(copy->Params().maxParticles, 7u);
    EXPECT_FALSE(copy->HasVertexArrays());
    // Under "No Override" the copy shares the preset.
    emitter = Make("Plain");
    CQVParticle* plain = Make("Plain Copy", emitter);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->m_Own, nullptr);
    EXPECT_EQ(&plain->Params(), &g_ParticlePresets[0]);
}

// Actor files made by hand: a saved emitter's record with its last words
// changed, and records written at older versions.
class ParticleFile : public ParticleActor {
protected:
    void TearDown() override {
        for (const char* name : {"emitter.qva", "edited.qva", "old.qva"}) std::filesystem::remove(Path(name));
        ParticleActor::TearDown();
    }
    // Named for this process: ctest runs the file tests side by side in one temporary folder.
    std::string Path(const char* name) {
        return (std::filesystem::path(testing::TempDir()) / (std::to_string(::getpid()) + "_" + name)).string();
    }
    std::vector<uint8_t> Save() {
        const std::string path = Path("emitter.qva");
        EXPECT_EQ(g_ActorSystem->SaveActors(path.c_str(), emitter->m_Id, emitter->m_Id + 1, 0), 1);
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Loads the bytes; the emitter is then the loaded actor.
    int Load(const std::vector<uint8_t>& bytes) {
        const std::string path = Path("edited.qva");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        const uint32_t id = emitter->m_Id;
        const int result = g_ActorSystem->LoadActors(path.c_str(), 0);
        emitter = static_cast<CQVParticle*>(CQVActorSystem::GetActorById(id));
        return result;
    }
    // Word i counted back from the end of the file (1: the last word).
    static uint32_t WordFromEnd(const std::vector<uint8_t>& bytes, size_t i) {
        uint32_t word;
        std::memcpy(&word, bytes.data() + bytes.size() - 4 * i, 4);
        return word;
    }
    static void SetWordFromEnd(std::vector<uint8_t>& bytes, size_t i, uint32_t word) {
        std::memcpy(bytes.data() + bytes.size() - 4 * i, &word, 4);
    }
    // The emitter written at an older version, with the header the loader reads.
    std::vector<uint8_t> SaveAtVersion(uint32_t version) {
        const std::string path = Path("old.qva");
        {
            CQVActorArchive archive;
            EXPECT_TRUE(archive.Open(path.c_str(), "wb"));
            archive.version = version;
            uint32_t header[4] = {version, 1, emitter->m_Id, 1};
            archive.SerializeDwords(header, 4);
            EXPECT_EQ(emitter->Serialize(&archive, 0), 1);
            archive.Close();
        }
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

constexpr size_t kFullRecordWords = 36;  // the full record after the override word

TEST_F(ParticleFile, FullOverrideRecordAndItsBounds) {
    FullOverride(7, 30.0f, 2.5f);
    Send(MSG_SET_PARTICLE_MOVEMENT, Vector3(1.0f, 2.0f, 3.0f));
    Send<uint32_t>(MSG_SET_PARTICLE_STATIC, 1);
    std::vector<uint8_t> bytes = Save();
    ASSERT_EQ(WordFromEnd(bytes, kFullRecordWords + 1), PARTICLE_FULL_OVERRIDE);
    ASSERT_EQ(WordFromEnd(bytes, kFullRecordWords), 7u);
    ASSERT_EQ(Load(bytes), 1);
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(emitter->m_TypeOverride, PARTICLE_FULL_OVERRIDE);
    EXPECT_EQ(emitter->Params().maxParticles, 7u);
    EXPECT_EQ(emitter->Params().life, 2.5f);
    EXPECT_EQ(emitter->Params().movement.z, 3.0f);
    // A stored Static record lives in the emitter's own space.
    EXPECT_EQ(emitter->Params().flags, PARTICLE_STATIC | PARTICLE_LOCAL_SPACE);
    EXPECT_EQ(emitter->m_Base.maxParticles, 7u);

    // A slot count past what the indices address is held to it.
    SetWordFromEnd(bytes, kFullRecordWords, 0x7FFFFFFF);
    ASSERT_EQ(Load(bytes), 1);
    EXPECT_EQ(emitter->Params().maxParticles, kParticleMaxSlots);
    emitter->Rebuild();
    EXPECT_EQ(emitter->m_Slots.size(), kParticleMaxSlots);

    // An override the class does not know is a damaged record.
    SetWordFromEnd(bytes, kFullRecordWords + 1, 3);
    EXPECT_EQ(Load(bytes), 0);
}

TEST_F(ParticleFile, ExtendBaseRecordRebuildsFromThePreset) {
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE, 1);  // Smoke
    Send<uint32_t>(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_EXTEND_BASE);
    Send<uint32_t>(MSG_SET_PARTICLE_MAX_PARTICLES, 12);
    Send<float>(MSG_SET_PARTICLE_SIZE, 9.5f);
    std::vector<uint8_t> bytes = Save();
    // Twelve words: the base group and an unused word written as 0.
    ASSERT_EQ(WordFromEnd(bytes, 13), PARTICLE_EXTEND_BASE);
    EXPECT_EQ(WordFromEnd(bytes, 12), 12u);
    EXPECT_EQ(WordFromEnd(bytes, 1), 0u);
    ASSERT_EQ(Load(bytes), 1);
    EXPECT_EQ(emitter->Params().maxParticles, 12u);
    EXPECT_EQ(emitter->Params().size, 9.5f);
    EXPECT_EQ(emitter->Params().movement.y, 5.0f);  // Smoke's own drift
}

TEST_F(ParticleFile, OlderVersionsCarryTheBaseGroupAndLoseTheKill) {
    // Version 57 stores the base group even without an override; 51 also
    // predates the stored kill state.
    for (auto [version, intensity, kill] : {std::tuple<uint32_t, float, uint32_t>{57, 0.25f, 1}, {51, 1.0f, 0}}) {
        emitter->m_Base.maxParticles = 33;
        emitter->m_KillPending = 1;
        emitter->m_Intensity = 0.25f;
        ASSERT_EQ(Load(SaveAtVersion(version)), 1) << version;
        EXPECT_EQ(emitter->m_TypeOverride, PARTICLE_NO_OVERRIDE) << version;
        EXPECT_EQ(emitter->m_Base.maxParticles, 33u) << version;
        EXPECT_EQ(emitter->m_Intensity, intensity) << version;
        EXPECT_EQ(emitter->m_KillPending, kill) << version;
    }
}

}  // namespace
