#include "actors/scene/ParticleParams.h"

#include "kernel/base/Random.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

class ParticlePresets : public ::testing::Test {
protected:
    void SetUp() override { ParticlePresets_Fill(); }
    void TearDown() override { Random_Seed(1); }
};

struct PresetCase {
    uint32_t type;
    uint32_t maxParticles;
    float flow;
    float size;
    uint32_t tileNr, tileNrV;
    uint32_t flags;
    Vector3 movement;
};

// One row per preset kind: the fields that tell them apart.
TEST_F(ParticlePresets, NamedPresetsHoldTheirValues) {
    const PresetCase cases[] = {
        {0, 60, 20.0f, 10.2f, 0, 8, 0, {1.4f, 22.0f, 1.4f}},
        {1, 20, 8.0f, 3.4f, 8, 8, 0, {0.0f, 5.0f, 0.0f}},
        {2, 1, 100.0f, 20.0f, 0, 0, PARTICLE_STATIC | PARTICLE_LOCAL_SPACE, {0.0f, 0.0f, 0.0f}},
        {9, 50, 1000.0f, 2.3f, 12, 4, 0, {0.0f, 0.0f, 0.0f}},
        {10, 60, 10.0f, 120.0f, 8, 4, 0, {10.0f, 160.0f, 10.0f}},
        {19, 6, 1000.0f, 6.0f, 4, 4, 0, {0.0f, 0.0f, 0.0f}},
        {20, 500, 250.0f, 2.4f, 0, 8, 0, {26.4f, -128.0f, 42.4f}},
        {21, 500, 250.0f, 2.4f, 8, 8, 0, {26.4f, -128.0f, 42.4f}},
    };
    ASSERT_EQ(g_ParticlePresets.size(), kParticlePresetCount);
    for (const PresetCase& c : cases) {
        const ParticleParams& p = g_ParticlePresets[c.type];
        EXPECT_EQ(p.maxParticles, c.maxParticles) << c.type;
        EXPECT_EQ(p.emitFlowSpeed, c.flow) << c.type;
        EXPECT_EQ(p.size, c.size) << c.type;
        EXPECT_EQ(p.tileNr, c.tileNr) << c.type;
        EXPECT_EQ(p.tileNrV, c.tileNrV) << c.type;
        EXPECT_EQ(p.flags, c.flags) << c.type;
        EXPECT_EQ(p.movement.x, c.movement.x) << c.type;
        EXPECT_EQ(p.movement.y, c.movement.y) << c.type;
        EXPECT_EQ(p.movement.z, c.movement.z) << c.type;
    }
    EXPECT_EQ(g_ParticlePresets[2].useFullTexture, 1u);
    EXPECT_EQ(g_ParticlePresets[9].emitSpinSpeed, 6.1f);
    EXPECT_EQ(g_ParticlePresets[0].opacity, 0.47f);
}

bool SameRecord(const ParticleParams& a, const ParticleParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(ParticlePresets, CopiedPresetsAndTheUnnamedOnes) {
    EXPECT_TRUE(SameRecord(g_ParticlePresets[15], g_ParticlePresets[14]));  // Pipe Burst, Water
    EXPECT_TRUE(SameRecord(g_ParticlePresets[17], g_ParticlePresets[16]));  // GHE Metal, GHE Stone
    EXPECT_TRUE(SameRecord(g_ParticlePresets[18], g_ParticlePresets[16]));  // GHE Electric
    ParticleParams wood = g_ParticlePresets[16];
    wood.tileNr = 4;
    EXPECT_TRUE(SameRecord(g_ParticlePresets[19], wood));
    ParticleParams rain = g_ParticlePresets[20];
    rain.tileNr = 8;
    EXPECT_TRUE(SameRecord(g_ParticlePresets[21], rain));
    const ParticleParams defaults;
    for (uint32_t type = kParticleNamedPresetCount; type < kParticlePresetCount; ++type)
        EXPECT_TRUE(SameRecord(g_ParticlePresets[type], defaults)) << type;
    EXPECT_STREQ(kParticlePresetNames[12], "Single Blood Fade");
}

// The draws come in a fixed order: three for the direction, one each for the
// speed and the inherited motion, three for the position, three for the
// drift, then spin angle, size, opacity, tile and life.
TEST_F(ParticlePresets, InitParticleDrawsInItsFixedOrder) {
    ParticleParams p;
    p.emitAngleV = 0.5f;
    p.emitSpeed = 10.0f;
    p.emitSpeedV = 0.5f;
    p.motionInheritance = 2.0f;
    p.motionInheritanceV = 0.25f;
    p.emitPosV = 3.0f;
    p.movement = {4.0f, 5.0f, 6.0f};
    p.movementV = {0.5f, 0.25f, 0.75f};
    p.emitSpinAngleV = 0.3f;
    p.emitSpinSpeed = 1.5f;
    p.size = 8.0f;
    p.sizeV = 0.5f;
    p.opacity = 0.8f;
    p.opacityV = 0.5f;
    p.tileNr = 3;
    p.tileNrV = 5;
    p.life = 4.0f;
    p.lifeV = 0.5f;

    Random_Seed(1234);
    std::vector<int> r;
    for (int i = 0; i < 17; ++i) r.push_back(Random_Next());
    const auto signedAt = [&](int i) { return static_cast<float>(r[i] % 10000) * 0.0002f - 1.0f; };
    const auto unitAt = [&](int i) { return static_cast<float>(r[i] % 5000) * 0.0002f; };

    Random_Seed(1234);
    ParticleState slot;
    const Vector3 s(1.0f, 2.0f, 3.0f), d(0.0f, 0.0f, -1.0f), m(0.5f, 0.0f, -0.5f);
    const float k = 2.0f;
    p.InitParticle(slot, s, d, m, k);

    const float speed = 10.0f * (1.0f - unitAt(3) * 0.5f) * k;
    const float inherit = 2.0f * (1.0f - unitAt(4) * 0.25f);
    const Vector3 a(d.x + signedAt(0) * 0.5f, d.y + signedAt(1) * 0.5f, d.z + signedAt(2) * 0.5f);
    EXPECT_FLOAT_EQ(slot.position.x, s.x + signedAt(5) * 3.0f);
    EXPECT_FLOAT_EQ(slot.position.y, s.y + signedAt(6) * 3.0f);
    EXPECT_FLOAT_EQ(slot.position.z, s.z + signedAt(7) * 3.0f);
    EXPECT_FLOAT_EQ(slot.velocity.x, a.x * speed + m.x * inherit + (1.0f - unitAt(8) * 0.5f) * 4.0f * k);
    EXPECT_FLOAT_EQ(slot.velocity.y, a.y * speed + m.y * inherit + (1.0f - unitAt(9) * 0.25f) * 5.0f * k);
    EXPECT_FLOAT_EQ(slot.velocity.z, a.z * speed + m.z * inherit + (1.0f - unitAt(10) * 0.75f) * 6.0f * k);
    EXPECT_FLOAT_EQ(slot.startPosition.x, slot.position.x);
    EXPECT_FLOAT_EQ(slot.spinSpeed, 1.5f);
    EXPECT_FLOAT_EQ(slot.spinAngle, signedAt(11) * 0.3f + 1.5f);
    EXPECT_FLOAT_EQ(slot.size, (1.0f - unitAt(12) * 0.5f) * 8.0f * k);
    EXPECT_FLOAT_EQ(slot.opacity, (1.0f - unitAt(13) * 0.5f) * 0.8f);
    EXPECT_EQ(slot.tile, 3u + static_cast<uint32_t>(r[14]) % 5u);
    EXPECT_FLOAT_EQ(slot.life, (1.0f - unitAt(15) * 0.5f) * 4.0f);
    EXPECT_EQ(slot.age, 0.0f);
    EXPECT_EQ(slot.owner, &p);
    // Nothing further was drawn.
    EXPECT_EQ(Random_Next(), r[16]);
}

TEST_F(ParticlePresets, TilesAndSpeedReductionStayInTheirRanges) {
    Random_Seed(99);
    ParticleParams fixed;
    fixed.tileNr = 5;
    fixed.tileNrV = 0;
    ParticleParams spread;
    spread.tileNr = 8;
    spread.tileNrV = 8;
    ParticleParams slow;
    slow.emitSpeed = 100.0f;
    slow.emitSpeedV = 0.99f;
    slow.emitAngleV = 0.0f;
    slow.motionInheritance = 0.0f;
    std::set<uint32_t> tiles;
    float slowest = 1e9f;
    const Vector3 zero(0.0f, 0.0f, 0.0f), down(0.0f, 0.0f, -1.0f);
    for (int i = 0; i < 2000; ++i) {
        ParticleState slot;
        fixed.InitParticle(slot, zero, down, zero, 1.0f);
        EXPECT_EQ(slot.tile, 5u);
        spread.InitParticle(slot, zero, down, zero, 1.0f);
        tiles.insert(slot.tile);
        slow.InitParticle(slot, zero, down, zero, 1.0f);
        slowest = std::min(slowest, -slot.velocity.z);
    }
    EXPECT_EQ(tiles, (std::set<uint32_t>{8, 9, 10, 11, 12, 13, 14, 15}));
    // Never below 1 - 0.9998 x 0.99 of the full speed, and close to it.
    EXPECT_GE(slowest, 100.0f * (1.0f - 0.9998f * 0.99f) - 1e-3f);
    EXPECT_LT(slowest, 5.0f);
}

}  // namespace
