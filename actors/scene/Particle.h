#pragma once
// The particle emitter: a mesh actor whose one private mesh holds a
// camera-facing quad per particle slot. It emits along its local -Z axis,
// moves and ages its particles, and rewrites the quads just before the
// renderer draws them, so particles are simulated only while the emitter is
// drawn. Its parameters are the shared preset of its Type, or a private copy
// of it under a Type Override.

#include "actors/scene/Object.h"
#include "actors/scene/ParticleParams.h"

#include <cstdint>
#include <memory>
#include <vector>

// Type Override values.
enum : uint32_t {
    PARTICLE_NO_OVERRIDE = 0,
    PARTICLE_EXTEND_BASE = 1,
    PARTICLE_FULL_OVERRIDE = 2,
};

// 16-bit indices address 65,536 vertices, four per slot.
constexpr uint32_t kParticleMaxSlots = 16384;

// The eleven parameters an actor keeps for itself and may change under
// "Extend Base"; a new actor's own values.
struct ParticleBaseGroup {
    uint32_t maxParticles = 40;
    float emitFlowSpeed = 10.0f;
    float life = 5.0f;
    float size = 5.0f;
    float opacity = 1.0f;
    uint32_t useFullTexture = 0;
    uint32_t tileNr = 0;
    uint32_t tileNrV = 4;
    float emitSpeed = 5.0f;
    float emitSpeedV = 1.0f;
    float emitPosV = 5.0f;
};

// The four corners of one quad's texture rectangle.
struct ParticleTile {
    Vector2 corner[4];
};

class CQVParticle : public CQVObject {
public:
    CQVParticle();
    ~CQVParticle() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    // The emitter has no per-frame step of its own: it works when drawn.
    void Process() override { CQVActor::Process(); }
    void Update() override;
    // The draw callback: simulates (once a frame) and rewrites the quads.
    void PrepareRender() override;
    void UpdateRenderItems() override;

    static void RegisterProperties();

    // Moves and ages the particles by dt seconds and emits new ones.
    void Simulate(float dt);
    // Rewrites every quad for the current view from the particle slots.
    void WriteVertices();
    // How far from the emitter a particle born now can be during its life
    // (speed, fall under gravity, birth spread and size), by the record.
    float Reach(float gravity) const;
    // The culling sphere of the particle mesh: the live cloud and the reach
    // around the emitter, so an emitter whose particles would come into
    // view is drawn (and so simulated) even while its cloud is out of it.
    void UpdateCullingSphere();
    // Remakes the slots, the vertex arrays and the mesh for "Max Particles".
    void Rebuild();
    // Copies the parameter record's base group into the actor, and back.
    void StoreBaseGroup();
    void ApplyBaseGroup();
    // The record in use: the private copy, else the preset of Type.
    const ParticleParams& Params() const;
    // The preset of Type, the first one for a Type outside the table.
    static const ParticleParams& Preset(uint32_t type);
    // The record the parameter rows reach: the private copy, else the record in use.
    ParticleParams* Record();
    // Under the override a group of parameters needs, with the private copy to edit.
    bool ExtendsBase() const;
    bool OverridesAll() const;
    // "Type" chooses the record unless a full override has its own.
    bool FollowsPreset() const { return m_TypeOverride != PARTICLE_FULL_OVERRIDE; }
    // A new Type Override: the preset again, or a private copy of it; false for a value that is no override.
    bool SetTypeOverride(uint32_t value);
    // A new "Max Particles", held to the slots, remakes the slots; a new Type remakes the record.
    void OnMaxParticles();
    void OnTypeChanged();
    bool IsStatic() const { return (Params().flags & PARTICLE_STATIC) != 0; }
    bool HasVertexArrays() const { return !m_Positions.empty(); }
    uint32_t LiveCount() const { return static_cast<uint32_t>(m_Slots.size() - m_FreeSlots.size()); }

    uint32_t m_Type = 0;
    // The record in use: a preset (shared), or under an override m_Own.
    ParticleParams* m_Params = nullptr;
    std::unique_ptr<ParticleParams> m_Own;
    float m_EmitRemainder = 0.0f;        // seconds of emission carried to the next step
    uint32_t m_VertexCount = 0;
    uint32_t m_TriangleCount = 0;
    ParticleTile m_Tiles[kParticleTileCount]{};
    ParticleTile m_FullTexture{};
    std::vector<Vector3> m_Positions;
    std::vector<Vector3> m_Normals;
    std::vector<Vector2> m_TexCoords;
    std::vector<uint16_t> m_Indices;
    std::vector<uint32_t> m_Colors;
    uint32_t m_KillPending = 0;
    uint32_t m_StopPending = 0;
    Vector3 m_PrevEmitterPosition{1.0f, 0.0f, 0.0f};
    std::vector<uint32_t> m_FreeSlots;  // a stack: the back is taken first
    std::vector<ParticleState> m_Slots;
    float m_Intensity = 1.0f;
    float m_ActionValue = 1.0f;
    Vector3 m_BoundsCentre{0.0f, 0.0f, 0.0f};
    float m_BoundsRadius = 0.0f;
    uint32_t m_TypeOverride = PARTICLE_NO_OVERRIDE;
    ParticleBaseGroup m_Base;
    // The frame whose step has run: buckets that draw the emitter again in
    // the same frame neither age its particles twice nor rewrite the quads.
    uint32_t m_SimulatedFrame = 0xFFFFFFFFu;

private:
    void UsePreset();
    void UsePrivateCopy(const ParticleParams& source);
    void ReleaseParticleArrays();
    void BuildTiles();
    int OnCreateParticle(MessageArgs args);
    int OnKillPost(MessageArgs args);
    int OnActionStopPost(MessageArgs args);
    void InvalidateOldPosition();
};
