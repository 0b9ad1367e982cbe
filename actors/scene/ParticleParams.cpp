#include "actors/scene/ParticleParams.h"

#include "kernel/base/Random.h"

#include <initializer_list>

std::vector<ParticleParams> g_ParticlePresets;

const char* const kParticlePresetNames[kParticleNamedPresetCount] = {
    "Fire",        "Smoke",       "StaticFlare", "FastFire",          "SmallFire",   "Sparkle",
    "FastSmoke",   "ImpactSmoke", "BlackSmoke",  "Blood",             "Steam",       "Single Fade",
    "Single Blood Fade", "Impact Dirt", "Water", "Pipe Burst",        "GHE Stone",   "GHE Metal",
    "GHE Electric", "GHE Wood",   "Snow",        "Rain"};

float Particle_RandomSigned() { return static_cast<float>(Random_Next() % 10000) * 0.0002f - 1.0f; }

float Particle_RandomUnit() { return static_cast<float>(Random_Next() % 5000) * 0.0002f; }

void ParticleParams::SetDefaults() {
    maxParticles = 100;
    emitFlowSpeed = 100.0f;
    emitFlowSpeedV = 0.5f;
    emitSpeed = 1.0f;
    emitSpeedV = 0.5f;
    emitPosV = 0.0f;
    emitAngleV = 0.0f;
    emitSpinAngleV = 0.0f;
    emitSpinSpeed = 0.0f;
    emitSpinSpeedV = 0.0f;
    life = 2.0f;
    lifeV = 0.5f;
    size = 20.0f;
    sizeV = 0.5f;
    dSize = 0.0f;
    dSizeV = 0.0f;
    flags = 0;
    gravityMul = 1.0f;
    airResMul = 1.0f;
    movement = {0.0f, 0.0f, 0.0f};
    movementV = {0.0f, 0.0f, 0.0f};
    opacity = 1.0f;
    opacityV = 0.0f;
    sizeInTime = 0.0f;
    sizeOutTime = 0.0f;
    fadeInTime = 0.0f;
    fadeOutTime = 0.0f;
    useFullTexture = 0;
    tileNr = 0;
    tileNrV = 0;
    motionInheritance = 1.0f;
    motionInheritanceV = 0.5f;
}

void ParticleParams::InitParticle(ParticleState& slot, const Vector3& s, const Vector3& d, const Vector3& m,
                                  float k) const {
    slot = ParticleState{};
    slot.position = s;

    // Each statement draws once, so the order of the draws is the order of the lines.
    Vector3 a = d;
    a.x += Particle_RandomSigned() * emitAngleV;
    a.y += Particle_RandomSigned() * emitAngleV;
    a.z += Particle_RandomSigned() * emitAngleV;

    const float speed = emitSpeed * (1.0f - Particle_RandomUnit() * emitSpeedV) * k;
    const float inherited = motionInheritance * (1.0f - Particle_RandomUnit() * motionInheritanceV);
    slot.velocity = a * speed;
    slot.velocity += m * inherited;

    slot.position.x += Particle_RandomSigned() * emitPosV;
    slot.position.y += Particle_RandomSigned() * emitPosV;
    slot.position.z += Particle_RandomSigned() * emitPosV;

    slot.velocity.x += (1.0f - Particle_RandomUnit() * movementV.x) * movement.x * k;
    slot.velocity.y += (1.0f - Particle_RandomUnit() * movementV.y) * movement.y * k;
    slot.velocity.z += (1.0f - Particle_RandomUnit() * movementV.z) * movement.z * k;

    slot.startPosition = slot.position;

    slot.spinSpeed = emitSpinSpeed;
    slot.spinAngle = Particle_RandomSigned() * emitSpinAngleV + emitSpinSpeed;
    slot.size = (1.0f - Particle_RandomUnit() * sizeV) * size * k;
    slot.opacity = (1.0f - Particle_RandomUnit() * opacityV) * opacity;
    slot.tile = tileNr;
    if (tileNrV != 0) slot.tile += static_cast<uint32_t>(Random_Next()) % tileNrV;
    slot.life = (1.0f - Particle_RandomUnit() * lifeV) * life;
    slot.age = 0.0f;
    slot.owner = this;
}

namespace {

// A field a preset row names: a real, a word, or one axis of a vector.
struct PresetField {
    float ParticleParams::*real = nullptr;
    uint32_t ParticleParams::*word = nullptr;
    Vector3 ParticleParams::*vector = nullptr;
    float Vector3::*axis = nullptr;

    constexpr PresetField(float ParticleParams::*field) : real(field) {}
    constexpr PresetField(uint32_t ParticleParams::*field) : word(field) {}
    constexpr PresetField(Vector3 ParticleParams::*field, float Vector3::*component) : vector(field), axis(component) {}
};

constexpr PresetField PF_MAX{&ParticleParams::maxParticles};
constexpr PresetField PF_FLOW{&ParticleParams::emitFlowSpeed};
constexpr PresetField PF_SPEED{&ParticleParams::emitSpeed};
constexpr PresetField PF_SPEED_V{&ParticleParams::emitSpeedV};
constexpr PresetField PF_POS_V{&ParticleParams::emitPosV};
constexpr PresetField PF_ANGLE_V{&ParticleParams::emitAngleV};
constexpr PresetField PF_SPIN_ANGLE_V{&ParticleParams::emitSpinAngleV};
constexpr PresetField PF_SPIN_SPEED{&ParticleParams::emitSpinSpeed};
constexpr PresetField PF_SPIN_SPEED_V{&ParticleParams::emitSpinSpeedV};
constexpr PresetField PF_LIFE{&ParticleParams::life};
constexpr PresetField PF_LIFE_V{&ParticleParams::lifeV};
constexpr PresetField PF_SIZE{&ParticleParams::size};
constexpr PresetField PF_SIZE_V{&ParticleParams::sizeV};
constexpr PresetField PF_FLAGS{&ParticleParams::flags};
constexpr PresetField PF_GRAVITY{&ParticleParams::gravityMul};
constexpr PresetField PF_AIR_RES{&ParticleParams::airResMul};
constexpr PresetField PF_MOVE_X{&ParticleParams::movement, &Vector3::x};
constexpr PresetField PF_MOVE_Y{&ParticleParams::movement, &Vector3::y};
constexpr PresetField PF_MOVE_Z{&ParticleParams::movement, &Vector3::z};
constexpr PresetField PF_MOVE_V_X{&ParticleParams::movementV, &Vector3::x};
constexpr PresetField PF_MOVE_V_Y{&ParticleParams::movementV, &Vector3::y};
constexpr PresetField PF_MOVE_V_Z{&ParticleParams::movementV, &Vector3::z};
constexpr PresetField PF_OPACITY{&ParticleParams::opacity};
constexpr PresetField PF_OPACITY_V{&ParticleParams::opacityV};
constexpr PresetField PF_SIZE_IN{&ParticleParams::sizeInTime};
constexpr PresetField PF_SIZE_OUT{&ParticleParams::sizeOutTime};
constexpr PresetField PF_FADE_IN{&ParticleParams::fadeInTime};
constexpr PresetField PF_FADE_OUT{&ParticleParams::fadeOutTime};
constexpr PresetField PF_FULL_TEXTURE{&ParticleParams::useFullTexture};
constexpr PresetField PF_TILE{&ParticleParams::tileNr};
constexpr PresetField PF_TILE_V{&ParticleParams::tileNrV};

struct PresetValue {
    PresetField field;
    float value;
};

struct PresetRow {
    int base;  // the preset whose values come first, -1 for the defaults
    std::initializer_list<PresetValue> values;
};

// The named presets in Type order: what each changes from the defaults.
const PresetRow kPresets[kParticleNamedPresetCount] = {
    // 0 Fire
    {-1, {{PF_MAX, 60}, {PF_FLOW, 20}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 2.2f}, {PF_LIFE, 1.4f}, {PF_SIZE, 10.2f},
          {PF_SIZE_V, 0.7f}, {PF_GRAVITY, 0.005f}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.47f}, {PF_OPACITY_V, 0.2f},
          {PF_SIZE_OUT, 0.3f}, {PF_FADE_IN, 0.15f}, {PF_FADE_OUT, 0.7f}, {PF_TILE_V, 8}, {PF_MOVE_X, 1.4f},
          {PF_MOVE_Y, 22}, {PF_MOVE_Z, 1.4f}, {PF_MOVE_V_X, 1}, {PF_MOVE_V_Y, 1}, {PF_MOVE_V_Z, 1}}},
    // 1 Smoke
    {-1, {{PF_MAX, 20}, {PF_FLOW, 8}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 1}, {PF_LIFE, 2.4f}, {PF_SIZE, 3.4f},
          {PF_SIZE_V, 0.7f}, {PF_GRAVITY, 0}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.5f}, {PF_OPACITY_V, 0.2f},
          {PF_FADE_IN, 0.2f}, {PF_FADE_OUT, 0.8f}, {PF_TILE, 8}, {PF_TILE_V, 8}, {PF_MOVE_Y, 5},
          {PF_MOVE_V_Y, 0.5f}}},
    // 2 StaticFlare
    {-1, {{PF_MAX, 1}, {PF_SIZE_V, 0}, {PF_FULL_TEXTURE, 1}, {PF_FLAGS, PARTICLE_STATIC | PARTICLE_LOCAL_SPACE}}},
    // 3 FastFire
    {-1, {{PF_MAX, 60}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 5}, {PF_LIFE, 0.5f}, {PF_LIFE_V, 0.9f}, {PF_SIZE, 8.4f},
          {PF_SIZE_V, 0.4f}, {PF_GRAVITY, 0.005f}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.6f}, {PF_OPACITY_V, 0.9f},
          {PF_SIZE_OUT, 0.2f}, {PF_FADE_IN, 0.05f}, {PF_FADE_OUT, 0.1f}, {PF_TILE_V, 8}, {PF_MOVE_X, 2.6f},
          {PF_MOVE_Y, 50}, {PF_MOVE_Z, 1}, {PF_MOVE_V_X, 1}, {PF_MOVE_V_Y, 0.6f}, {PF_MOVE_V_Z, 1}}},
    // 4 SmallFire
    {-1, {{PF_MAX, 20}, {PF_FLOW, 15}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 2.2f}, {PF_LIFE, 1.2f}, {PF_SIZE, 8},
          {PF_SIZE_V, 0.9f}, {PF_GRAVITY, 0.05f}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.47f}, {PF_OPACITY_V, 0.2f},
          {PF_SIZE_OUT, 0.05f}, {PF_FADE_IN, 0.1f}, {PF_FADE_OUT, 0.6f}, {PF_TILE_V, 8}, {PF_MOVE_X, 2.6f},
          {PF_MOVE_Y, 30}, {PF_MOVE_Z, 1}, {PF_MOVE_V_X, 1}, {PF_MOVE_V_Y, 0.7f}, {PF_MOVE_V_Z, 1}}},
    // 5 Sparkle
    {-1, {{PF_MAX, 30}, {PF_FLOW, 15}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 1}, {PF_LIFE, 2.4f}, {PF_SIZE, 1.4f},
          {PF_SIZE_V, 0.9f}, {PF_GRAVITY, 0}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.9f}, {PF_OPACITY_V, 0.2f},
          {PF_FADE_IN, 0.2f}, {PF_FADE_OUT, 0.8f}, {PF_TILE, 8}, {PF_TILE_V, 8}, {PF_MOVE_Y, 5},
          {PF_MOVE_V_Y, 0.5f}}},
    // 6 FastSmoke
    {-1, {{PF_MAX, 30}, {PF_FLOW, 11}, {PF_SPEED_V, 0.6f}, {PF_ANGLE_V, 1}, {PF_LIFE, 1.9f}, {PF_LIFE_V, 0.7f},
          {PF_SIZE, 3.4f}, {PF_SIZE_V, 0.7f}, {PF_GRAVITY, 0}, {PF_AIR_RES, 2}, {PF_OPACITY, 0.5f},
          {PF_OPACITY_V, 0.2f}, {PF_FADE_IN, 0.2f}, {PF_FADE_OUT, 0.8f}, {PF_TILE, 8}, {PF_TILE_V, 8},
          {PF_MOVE_Y, 5}, {PF_MOVE_V_Y, 0.5f}}},
    // 7 ImpactSmoke
    {-1, {{PF_MAX, 10}, {PF_FLOW, 60}, {PF_SPEED, 24}, {PF_SPEED_V, 0.99f}, {PF_ANGLE_V, 0.7f}, {PF_LIFE, 2.25f},
          {PF_SIZE, 24}, {PF_GRAVITY, 0}, {PF_AIR_RES, 10}, {PF_OPACITY, 0.5f}, {PF_OPACITY_V, 0.5f},
          {PF_SIZE_IN, 0.05f}, {PF_FADE_IN, 0.02f}, {PF_FADE_OUT, 1.1f}, {PF_TILE, 8}, {PF_TILE_V, 4}}},
    // 8 BlackSmoke
    {-1, {{PF_MAX, 40}, {PF_FLOW, 30}, {PF_SPEED, 24}, {PF_SPEED_V, 0.99f}, {PF_ANGLE_V, 0.7f}, {PF_LIFE, 3.4f},
          {PF_LIFE_V, 0.2f}, {PF_SIZE, 60}, {PF_SIZE_V, 0.6f}, {PF_GRAVITY, 0}, {PF_AIR_RES, 10},
          {PF_OPACITY_V, 0.5f}, {PF_SIZE_IN, 0.05f}, {PF_FADE_IN, 0.4f}, {PF_FADE_OUT, 2.5f}, {PF_TILE, 4},
          {PF_TILE_V, 4}}},
    // 9 Blood
    {-1, {{PF_MAX, 50}, {PF_FLOW, 1000}, {PF_SPEED, 15}, {PF_SPEED_V, 0.9f}, {PF_POS_V, 5}, {PF_ANGLE_V, 0.7f},
          {PF_SPIN_ANGLE_V, 1}, {PF_SPIN_SPEED, 6.1f}, {PF_SPIN_SPEED_V, 1}, {PF_LIFE, 1.1f}, {PF_LIFE_V, 0.8f},
          {PF_SIZE, 2.3f}, {PF_SIZE_V, 0.9f}, {PF_GRAVITY, 0.15f}, {PF_AIR_RES, 7}, {PF_OPACITY, 0.5f},
          {PF_OPACITY_V, 0.5f}, {PF_SIZE_IN, 0.12f}, {PF_FADE_IN, 0.02f}, {PF_FADE_OUT, 0.4f}, {PF_TILE, 12},
          {PF_TILE_V, 4}}},
    // 10 Steam
    {-1, {{PF_MAX, 60}, {PF_FLOW, 10}, {PF_SPEED, 70}, {PF_SPEED_V, 0.3f}, {PF_ANGLE_V, 0.3f},
          {PF_SPIN_ANGLE_V, 1}, {PF_SPIN_SPEED, 1.1f}, {PF_SPIN_SPEED_V, 1}, {PF_LIFE, 10}, {PF_LIFE_V, 0.3f},
          {PF_SIZE, 120}, {PF_SIZE_V, 0.8f}, {PF_GRAVITY, 0}, {PF_OPACITY, 0.2f}, {PF_SIZE_IN, 2},
          {PF_FADE_IN, 0.12f}, {PF_FADE_OUT, 1.92f}, {PF_TILE, 8}, {PF_TILE_V, 4}, {PF_MOVE_X, 10},
          {PF_MOVE_Y, 160}, {PF_MOVE_Z, 10}, {PF_MOVE_V_X, 0.3f}, {PF_MOVE_V_Y, 0.5f}, {PF_MOVE_V_Z, 0.3f}}},
    // 11 Single Fade
    {-1, {{PF_MAX, 1}, {PF_LIFE, 0.3f}, {PF_LIFE_V, 0}, {PF_SIZE, 18}, {PF_SIZE_V, 0.4f}, {PF_GRAVITY, 0},
          {PF_FADE_OUT, 0.3f}, {PF_TILE, 12}, {PF_TILE_V, 4}}},
    // 12 Single Blood Fade
    {-1, {{PF_MAX, 1}, {PF_LIFE, 0.3f}, {PF_LIFE_V, 0}, {PF_SIZE, 26}, {PF_SIZE_V, 0.4f}, {PF_GRAVITY, 0},
          {PF_FADE_OUT, 0.3f}, {PF_TILE_V, 4}}},
    // 13 Impact Dirt
    {-1, {{PF_MAX, 6}, {PF_SPEED, 250}, {PF_SPEED_V, 0.3f}, {PF_ANGLE_V, 0.3f}, {PF_LIFE, 0.7f}, {PF_LIFE_V, 0.3f},
          {PF_SIZE, 26}, {PF_SIZE_V, 0.4f}, {PF_GRAVITY, 0}, {PF_AIR_RES, 10}, {PF_OPACITY, 0.3f},
          {PF_SIZE_IN, 0.05f}, {PF_FADE_IN, 0.02f}, {PF_FADE_OUT, 0.45f}, {PF_TILE, 4}, {PF_TILE_V, 4}}},
    // 14 Water
    {-1, {{PF_MAX, 50}, {PF_FLOW, 1000}, {PF_SPEED, 15}, {PF_SPEED_V, 0.4f}, {PF_POS_V, 5}, {PF_ANGLE_V, 0.7f},
          {PF_LIFE, 1.1f}, {PF_LIFE_V, 0.4f}, {PF_SIZE, 8}, {PF_SIZE_V, 0.9f}, {PF_GRAVITY, 0.15f},
          {PF_AIR_RES, 7}, {PF_OPACITY, 0.5f}, {PF_OPACITY_V, 0.5f}, {PF_SIZE_IN, 0.12f}, {PF_FADE_IN, 0.02f},
          {PF_FADE_OUT, 0.4f}, {PF_TILE, 12}, {PF_TILE_V, 4}}},
    // 15 Pipe Burst
    {14, {}},
    // 16 GHE Stone
    {-1, {{PF_MAX, 6}, {PF_FLOW, 1000}, {PF_SPEED, 250}, {PF_SPEED_V, 0.9f}, {PF_POS_V, 5}, {PF_ANGLE_V, 0.3f},
          {PF_SPIN_ANGLE_V, 1}, {PF_SPIN_SPEED, 6.1f}, {PF_SPIN_SPEED_V, 1}, {PF_LIFE, 1}, {PF_LIFE_V, 0.8f},
          {PF_SIZE, 6}, {PF_SIZE_V, 0.8f}, {PF_GRAVITY, 0.8f}, {PF_AIR_RES, 5}, {PF_SIZE_IN, 0.1f},
          {PF_SIZE_OUT, 0.3f}, {PF_FADE_IN, 0.05f}, {PF_FADE_OUT, 0.1f}, {PF_TILE_V, 4}}},
    // 17 GHE Metal, 18 GHE Electric, 19 GHE Wood
    {16, {}},
    {16, {}},
    {16, {{PF_TILE, 4}}},
    // 20 Snow
    {-1, {{PF_MAX, 500}, {PF_FLOW, 250}, {PF_SPEED, 5}, {PF_SPEED_V, 0.6f}, {PF_POS_V, 250}, {PF_ANGLE_V, 2.2f},
          {PF_LIFE_V, 0.3f}, {PF_SIZE, 2.4f}, {PF_SIZE_V, 0.3f}, {PF_GRAVITY, 0.005f}, {PF_AIR_RES, 2},
          {PF_OPACITY, 0.8f}, {PF_OPACITY_V, 0.2f}, {PF_SIZE_OUT, 0.3f}, {PF_FADE_IN, 0.2f}, {PF_FADE_OUT, 1},
          {PF_TILE_V, 8}, {PF_MOVE_X, 26.4f}, {PF_MOVE_Y, -128}, {PF_MOVE_Z, 42.4f}, {PF_MOVE_V_X, 0.5f},
          {PF_MOVE_V_Y, 0.2f}, {PF_MOVE_V_Z, 0.5f}}},
    // 21 Rain
    {20, {{PF_TILE, 8}}},
};

void ApplyPresetValue(ParticleParams& record, const PresetValue& v) {
    if (v.field.word) {
        record.*v.field.word = static_cast<uint32_t>(v.value);
    } else if (v.field.real) {
        record.*v.field.real = v.value;
    } else {
        record.*v.field.vector.*v.field.axis = v.value;
    }
}

}  // namespace

void ParticlePresets_Fill() {
    if (!g_ParticlePresets.empty()) return;
    g_ParticlePresets.reserve(kParticlePresetCount);
    for (const PresetRow& row : kPresets) {
        ParticleParams record;
        if (row.base >= 0) record = g_ParticlePresets[static_cast<size_t>(row.base)];
        for (const PresetValue& v : row.values) ApplyPresetValue(record, v);
        g_ParticlePresets.push_back(record);
    }
    while (g_ParticlePresets.size() < kParticlePresetCount) g_ParticlePresets.emplace_back();
}
