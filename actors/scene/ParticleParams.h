#pragma once
// The parameter record of a particle emitter, the state of one particle slot
// and the shared table of preset records that a Particle System's "Type"
// chooses from.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <vector>

// ParticleParams::flags bits.
constexpr uint32_t PARTICLE_STATIC = 0x1;       // particles neither move nor age
constexpr uint32_t PARTICLE_LOCAL_SPACE = 0x2;  // particles live in the emitter's own coordinates

// The texture atlas is 4 x 4 tiles.
constexpr uint32_t kParticleTileCount = 16;

struct ParticleParams;

struct ParticleState {
    Vector3 position{0.0f, 0.0f, 0.0f};
    Vector3 startPosition{0.0f, 0.0f, 0.0f};
    Vector3 velocity{0.0f, 0.0f, 0.0f};
    float spinAngle = 0.0f;  // radians
    float spinSpeed = 0.0f;  // radians per second
    float size = 0.0f;       // half-width of the quad
    float opacity = 0.0f;
    uint32_t tile = 0;
    float life = 0.0f;  // seconds
    float age = 0.0f;   // seconds
    const ParticleParams* owner = nullptr;  // the record that made it; null: the slot is free
};

struct ParticleParams {
    uint32_t maxParticles;
    float emitFlowSpeed;   // particles per second
    float emitFlowSpeedV;  // stored and edited only
    float emitSpeed;       // cm/s along the emitter direction
    float emitSpeedV;
    float emitPosV;        // cm per axis
    float emitAngleV;
    float emitSpinAngleV;
    float emitSpinSpeed;   // radians per second
    float emitSpinSpeedV;  // stored and edited only
    float life;            // seconds
    float lifeV;
    float size;            // cm, half-width of the quad
    float sizeV;
    float dSize;           // stored and edited only
    float dSizeV;          // stored and edited only
    uint32_t flags;
    float gravityMul;
    float airResMul;
    Vector3 movement;      // cm/s added at birth
    Vector3 movementV;
    float opacity;
    float opacityV;
    float sizeInTime;      // seconds
    float sizeOutTime;
    float fadeInTime;
    float fadeOutTime;
    uint32_t useFullTexture;
    uint32_t tileNr;
    uint32_t tileNrV;
    float motionInheritance;
    float motionInheritanceV;

    ParticleParams() { SetDefaults(); }
    void SetDefaults();

    // Gives a slot a new particle at spawn position s, emitted along the unit
    // direction d by an emitter that moved by m since its last emission, at
    // world scale k. Draws its random numbers in a fixed order, so one seed
    // gives the same particles everywhere.
    void InitParticle(ParticleState& slot, const Vector3& s, const Vector3& d, const Vector3& m, float k) const;
};

// Random factors of the particle code: (rand mod 10000) x 0.0002 - 1, in
// [-1, 0.9998], and (rand mod 5000) x 0.0002, in [0, 0.9998].
float Particle_RandomSigned();
float Particle_RandomUnit();

// Indexed by the Type value: the 22 named presets, then 22 records of
// defaults.
constexpr uint32_t kParticlePresetCount = 44;
constexpr uint32_t kParticleNamedPresetCount = 22;
extern std::vector<ParticleParams> g_ParticlePresets;
extern const char* const kParticlePresetNames[kParticleNamedPresetCount];

// Fills the table once (later calls leave it as it is).
void ParticlePresets_Fill();
