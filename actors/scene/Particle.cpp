#include "actors/scene/Particle.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/mesh/MeshAccess.h"
#include "services/render/View.h"
#include "services/render/RenderQueue.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

// The parameters of the record in use. A set edits the actor's private copy
// under the override its group needs ("Extend Base" for the base group,
// "Full Overrride" for the others) and is refused without it; a get
// answers the record in use and marks the row without it.
template <auto Allowed>
constexpr MessageRow UnderOverride(const MessageRow& row) {
    return row.StoresWhen<Allowed>(0).template AppliesWhen<Allowed>(8);
}

template <auto Field>
constexpr MessageRow BaseParam(uint32_t setId, uint32_t getId, const char* label, uint32_t kind) {
    const MessageRow row = FieldRow<&CQVParticle::Record, Field>(setId, getId, label, kind);
    return UnderOverride<&CQVParticle::ExtendsBase>(row).Then<&CQVParticle::StoreBaseGroup>();
}

template <auto Field>
constexpr MessageRow FullParam(uint32_t setId, uint32_t getId, const char* label, uint32_t kind) {
    return UnderOverride<&CQVParticle::OverridesAll>(FieldRow<&CQVParticle::Record, Field>(setId, getId, label, kind));
}

constexpr MessageRow kParticleRows[] = {
    SheetRow("Particle Properties", PROP_TITLE),
    FieldRow<&CQVParticle::m_Type>(
        MSG_SET_PARTICLE_TYPE, MSG_GET_PARTICLE_TYPE,
        "Type:|Fire|0|Smoke|1|StaticFlare|2|FastFire|3|SmallFire|4|Sparkle|5|FastSmoke|6|ImpactSmoke|7|"
        "BlackSmoke|8|Blood|9|Steam|10|Single Fade|11|Single Blood Fade|12|Impact Dirt|13|Water|14|"
        "Pipe Burst|15|GHE Stone|16|GHE Metal|17|GHE Electric|18|GHE Wood|19|Snow|20|Rain|21|undef22|22|"
        "undef23|23|undef24|24|undef25|25|undef26|26|undef27|27|",
        PROP_CHOICE)
        .StoresWhen<&CQVParticle::FollowsPreset>(0)
        .AppliesWhen<&CQVParticle::FollowsPreset>(8)
        .Then<&CQVParticle::OnTypeChanged>(),
    // Only the three listed values exist.
    FieldRow<&CQVParticle::m_TypeOverride>(MSG_SET_PARTICLE_TYPE_OVERRIDE, MSG_GET_PARTICLE_TYPE_OVERRIDE,
                                           "Type Override:|No Override|0|Extend Base|1|Full Overrride|2|",
                                           PROP_CHOICE)
        .StoredBy<&CQVParticle::SetTypeOverride>(),
    // Despite its name "Get Intensity" sets the intensity.
    FieldRow<&CQVParticle::m_Intensity>(MSG_GET_INTENSITY, 0),
    SheetRow("Emitter", PROP_HEADING),
    // The count is shown under any override.
    FieldRow<&CQVParticle::Record, &ParticleParams::maxParticles>(MSG_SET_PARTICLE_MAX_PARTICLES,
                                                                  MSG_GET_PARTICLE_MAX_PARTICLES, "Max Particles",
                                                                  PROP_UINT)
        .StoresWhen<&CQVParticle::ExtendsBase>(0)
        .Then<&CQVParticle::OnMaxParticles>(),
    BaseParam<&ParticleParams::emitFlowSpeed>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, MSG_GET_PARTICLE_EMIT_FLOW_SPEED,
                                              "EmitFlowSpeed|p/s|", PROP_REAL),
    FullParam<&ParticleParams::emitFlowSpeedV>(MSG_SET_PARTICLE_EMIT_FLOW_SPEED_V,
                                               MSG_GET_PARTICLE_EMIT_FLOW_SPEED_V, "EmitFlowSpeedV", PROP_VARIANCE),
    BaseParam<&ParticleParams::emitSpeed>(MSG_SET_PARTICLE_EMIT_SPEED, MSG_GET_PARTICLE_EMIT_SPEED,
                                          "EmitSpeed|cm/s|", PROP_REAL),
    BaseParam<&ParticleParams::emitSpeedV>(MSG_SET_PARTICLE_EMIT_SPEED_V, MSG_GET_PARTICLE_EMIT_SPEED_V,
                                           "EmitSpeedV", PROP_REAL),
    BaseParam<&ParticleParams::emitPosV>(MSG_SET_PARTICLE_EMIT_POS_V, MSG_GET_PARTICLE_EMIT_POS_V, "EmitPosV|cm|",
                                         PROP_REAL),
    FullParam<&ParticleParams::emitAngleV>(MSG_SET_PARTICLE_EMIT_ANGLE_V, MSG_GET_PARTICLE_EMIT_ANGLE_V,
                                           "EmitAngleV", PROP_ANGLE),
    FullParam<&ParticleParams::emitSpinAngleV>(MSG_SET_PARTICLE_EMIT_SPIN_ANGLE_V,
                                               MSG_GET_PARTICLE_EMIT_SPIN_ANGLE_V, "EmitSpinAngleV", PROP_VARIANCE),
    FullParam<&ParticleParams::emitSpinSpeed>(MSG_SET_PARTICLE_EMIT_SPIN_SPEED, MSG_GET_PARTICLE_EMIT_SPIN_SPEED,
                                              "EmitSpinSpeed|\xB0/s|", PROP_ANGLE),
    FullParam<&ParticleParams::emitSpinSpeedV>(MSG_SET_PARTICLE_EMIT_SPIN_SPEED_V,
                                               MSG_GET_PARTICLE_EMIT_SPIN_SPEED_V, "EmitSpinSpeedV", PROP_VARIANCE),
    BaseParam<&ParticleParams::life>(MSG_SET_PARTICLE_LIFE, MSG_GET_PARTICLE_LIFE, "Life", PROP_TIME),
    FullParam<&ParticleParams::lifeV>(MSG_SET_PARTICLE_LIFE_V, MSG_GET_PARTICLE_LIFE_V, "LifeV", PROP_VARIANCE),
    BaseParam<&ParticleParams::size>(MSG_SET_PARTICLE_SIZE, MSG_GET_PARTICLE_SIZE, "Size|cm|", PROP_REAL),
    FullParam<&ParticleParams::sizeV>(MSG_SET_PARTICLE_SIZE_V, MSG_GET_PARTICLE_SIZE_V, "SizeV", PROP_VARIANCE),
    FullParam<&ParticleParams::dSize>(MSG_SET_PARTICLE_DSIZE, MSG_GET_PARTICLE_DSIZE, "DSize|cm/s|", PROP_REAL),
    FullParam<&ParticleParams::dSizeV>(MSG_SET_PARTICLE_DSIZE_V, MSG_GET_PARTICLE_DSIZE_V, "DSizeV", PROP_VARIANCE),
    SheetRow("Movement", PROP_HEADING),
    FullParam<&ParticleParams::gravityMul>(MSG_SET_PARTICLE_GRAVITY_MUL, MSG_GET_PARTICLE_GRAVITY_MUL, "GravityMul",
                                           PROP_REAL),
    FullParam<&ParticleParams::airResMul>(MSG_SET_PARTICLE_AIR_RES_MUL, MSG_GET_PARTICLE_AIR_RES_MUL, "AirResMul",
                                          PROP_REAL),
    FullParam<&ParticleParams::movement>(MSG_SET_PARTICLE_MOVEMENT, MSG_GET_PARTICLE_MOVEMENT, "Movement",
                                         PROP_VECTOR),
    FullParam<&ParticleParams::movementV>(MSG_SET_PARTICLE_MOVEMENT_V, MSG_GET_PARTICLE_MOVEMENT_V, "MovementV",
                                          PROP_VECTOR),
    FullParam<&ParticleParams::motionInheritance>(MSG_SET_PARTICLE_MOTION_INHERITANCE,
                                                  MSG_GET_PARTICLE_MOTION_INHERITANCE, "MotionInheritance",
                                                  PROP_REAL),
    FullParam<&ParticleParams::motionInheritanceV>(MSG_SET_PARTICLE_MOTION_INHERITANCE_V,
                                                   MSG_GET_PARTICLE_MOTION_INHERITANCE_V, "MotionInheritanceV",
                                                   PROP_VARIANCE),
    UnderOverride<&CQVParticle::OverridesAll>(FlagRow<&CQVParticle::Record, &ParticleParams::flags>(
        MSG_SET_PARTICLE_STATIC, MSG_GET_PARTICLE_STATIC, PARTICLE_STATIC, "Static", PROP_CHECK)),
    SheetRow("Appearence", PROP_HEADING),
    BaseParam<&ParticleParams::opacity>(MSG_SET_PARTICLE_OPACITY, MSG_GET_PARTICLE_OPACITY, "Opacity",
                                        PROP_VARIANCE),
    FullParam<&ParticleParams::opacityV>(MSG_SET_PARTICLE_OPACITY_V, MSG_GET_PARTICLE_OPACITY_V, "OpacityV",
                                         PROP_VARIANCE),
    FullParam<&ParticleParams::sizeInTime>(MSG_SET_PARTICLE_SIZE_IN_TIME, MSG_GET_PARTICLE_SIZE_IN_TIME,
                                           "SizeInTime", PROP_TIME),
    FullParam<&ParticleParams::sizeOutTime>(MSG_SET_PARTICLE_SIZE_OUT_TIME, MSG_GET_PARTICLE_SIZE_OUT_TIME,
                                            "SizeOutTime", PROP_TIME),
    FullParam<&ParticleParams::fadeInTime>(MSG_SET_PARTICLE_FADE_IN_TIME, MSG_GET_PARTICLE_FADE_IN_TIME,
                                           "FadeInTime", PROP_TIME),
    FullParam<&ParticleParams::fadeOutTime>(MSG_SET_PARTICLE_FADE_OUT_TIME, MSG_GET_PARTICLE_FADE_OUT_TIME,
                                            "FadeOutTime", PROP_TIME),
    BaseParam<&ParticleParams::tileNr>(MSG_SET_PARTICLE_TILE_NR, MSG_GET_PARTICLE_TILE_NR, "TileNr", PROP_UINT),
    BaseParam<&ParticleParams::tileNrV>(MSG_SET_PARTICLE_TILE_NR_V, MSG_GET_PARTICLE_TILE_NR_V, "TileNrV",
                                        PROP_UINT),
    BaseParam<&ParticleParams::useFullTexture>(MSG_SET_PARTICLE_USE_FULL_TEXTURE, MSG_GET_PARTICLE_USE_FULL_TEXTURE,
                                               "Use Full Texture", PROP_CHECK),
};
constexpr MessageTable kParticleMessages{
    kParticleRows,
    CopiedFields<&CQVParticle::m_EmitRemainder, &CQVParticle::m_Tiles, &CQVParticle::m_FullTexture,
                 &CQVParticle::m_KillPending, &CQVParticle::m_StopPending, &CQVParticle::m_PrevEmitterPosition,
                 &CQVParticle::m_ActionValue, &CQVParticle::m_BoundsCentre, &CQVParticle::m_BoundsRadius,
                 &CQVParticle::m_Base>()};

uint32_t ClampSlotCount(uint32_t count) { return std::clamp<uint32_t>(count, 1, kParticleMaxSlots); }

// The four corners in quad order: top left, top right, bottom right, bottom left.
constexpr float kCornerX[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
constexpr float kCornerY[4] = {1.0f, 1.0f, -1.0f, -1.0f};

}  // namespace

CQVParticle::CQVParticle() {
    m_ClassType = CLASS_PARTICLE;
    // The materials come from the saved entries, not from the particle mesh.
    m_ObjectFlags &= ~OBJECT_SYNC_MATERIAL;
}

CQVParticle::~CQVParticle() { ReleaseParticleArrays(); }

void CQVParticle::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_PARTICLE];
    record.Define("Particle", "Particle System", {CLASS_BASE, CLASS_OBJECT, CLASS_PARTICLE});
    kParticleMessages.AddSheet(record);
    ParticlePresets_Fill();
}

const ParticleParams& CQVParticle::Preset(uint32_t type) {
    ParticlePresets_Fill();
    return g_ParticlePresets[type < g_ParticlePresets.size() ? type : 0];
}

const ParticleParams& CQVParticle::Params() const { return m_Params ? *m_Params : Preset(m_Type); }

void CQVParticle::UsePreset() {
    m_Own.reset();
    m_Params = const_cast<ParticleParams*>(&Preset(m_Type));
}

void CQVParticle::UsePrivateCopy(const ParticleParams& source) {
    m_Own = std::make_unique<ParticleParams>(source);
    m_Params = m_Own.get();
}

void CQVParticle::StoreBaseGroup() {
    const ParticleParams& p = Params();
    m_Base.maxParticles = p.maxParticles;
    m_Base.emitFlowSpeed = p.emitFlowSpeed;
    m_Base.life = p.life;
    m_Base.size = p.size;
    m_Base.opacity = p.opacity;
    m_Base.useFullTexture = p.useFullTexture;
    m_Base.tileNr = p.tileNr;
    m_Base.tileNrV = p.tileNrV;
    m_Base.emitSpeed = p.emitSpeed;
    m_Base.emitSpeedV = p.emitSpeedV;
    m_Base.emitPosV = p.emitPosV;
}

void CQVParticle::ApplyBaseGroup() {
    if (!m_Own) return;
    m_Base.tileNr = std::min<uint32_t>(m_Base.tileNr, kParticleTileCount - 1);
    m_Base.tileNrV = std::min<uint32_t>(m_Base.tileNrV, kParticleTileCount - 1);
    ParticleParams& p = *m_Own;
    p.maxParticles = ClampSlotCount(m_Base.maxParticles);
    p.emitFlowSpeed = m_Base.emitFlowSpeed;
    p.life = m_Base.life;
    p.size = m_Base.size;
    p.opacity = m_Base.opacity;
    p.useFullTexture = m_Base.useFullTexture;
    p.tileNr = m_Base.tileNr;
    p.tileNrV = m_Base.tileNrV;
    p.emitSpeed = m_Base.emitSpeed;
    p.emitSpeedV = m_Base.emitSpeedV;
    p.emitPosV = m_Base.emitPosV;
}

void CQVParticle::ReleaseParticleArrays() {
    m_Positions.clear();
    m_Normals.clear();
    m_TexCoords.clear();
    m_Indices.clear();
    m_Colors.clear();
    m_Slots.clear();
    m_FreeSlots.clear();
    m_VertexCount = 0;
    m_TriangleCount = 0;
}

void CQVParticle::BuildTiles() {
    for (uint32_t i = 0; i < kParticleTileCount; ++i) {
        const float c = static_cast<float>(i % 4), r = static_cast<float>(i / 4);
        // The left and top edges step in by half a texel of a 64-texel tile,
        // so that no tile picks up its neighbour's border.
        const float left = c / 4.0f + 1.0f / 128.0f, top = r / 4.0f + 1.0f / 128.0f;
        const float right = (c + 1.0f) / 4.0f, bottom = (r + 1.0f) / 4.0f;
        m_Tiles[i] = {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}};
    }
    m_FullTexture = {{{0.01f, 0.01f}, {0.99f, 0.01f}, {0.99f, 0.99f}, {0.01f, 0.99f}}};
}

void CQVParticle::Rebuild() {
    ReleaseRenderItems();
    if (m_Mesh && CQVEngine::GetInstance()) CQVEngine::GetInstance()->ReleaseMesh(m_Mesh);
    m_Mesh = nullptr;
    ReleaseParticleArrays();

    ParticlePresets_Fill();
    if (m_Type >= g_ParticlePresets.size()) m_Type = 0;
    if (!m_Own) UsePreset();

    const uint32_t n = ClampSlotCount(Params().maxParticles);
    m_FreeSlots.resize(n);
    for (uint32_t i = 0; i < n; ++i) m_FreeSlots[i] = i;
    m_VertexCount = 4 * n;
    m_TriangleCount = 2 * n;

    m_Slots.assign(n, ParticleState{});
    m_Positions.resize(m_VertexCount);
    m_Normals.assign(m_VertexCount, Vector3(0.0f, 0.0f, 1.0f));
    m_TexCoords.resize(m_VertexCount);
    m_Colors.assign(m_VertexCount, 0xFFFFFFFFu);
    m_Indices.resize(6 * static_cast<size_t>(n));
    constexpr Vector2 kStartUv[4] = {{0.85f, 0.85f}, {0.9f, 0.85f}, {0.9f, 0.9f}, {0.85f, 0.9f}};
    for (uint32_t q = 0; q < n; ++q) {
        for (int k = 0; k < 4; ++k) {
            m_Positions[4 * q + k] = Vector3(0.05f * kCornerX[k], 0.05f * kCornerY[k], 0.0f);
            m_TexCoords[4 * q + k] = kStartUv[k];
        }
        const uint16_t base = static_cast<uint16_t>(4 * q);
        const uint16_t quad[6] = {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2),
                                  base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
        std::memcpy(&m_Indices[6 * static_cast<size_t>(q)], quad, sizeof quad);
    }
    BuildTiles();

    if (CQVEngine* engine = CQVEngine::GetInstance())
        m_Mesh = engine->CreateMesh(m_Positions.data(), nullptr, m_Colors.data(), m_TexCoords.data(),
                                    m_Indices.data(), m_VertexCount, m_TriangleCount);
    ReleaseRenderItems();
}

void CQVParticle::InvalidateOldPosition() {
    if (Params().flags & PARTICLE_LOCAL_SPACE)
        m_PrevEmitterPosition = Vector3(0.0f, 0.0f, 0.0f);
    else
        HandleMessage(MSG_GET_WSPOSITION, Args_Of(&m_PrevEmitterPosition));
}

void CQVParticle::Update() {
    if (!IsOperational()) return;
    // The particle mesh is made here, not taken from the library, so the
    // emitter draws even where the library has no mesh for its saved id.
    if (IsVisible() && m_Slots.empty()) UpdateRenderItems();
    UpdateCullingSphere();
    CQVObject::Update();
}

float CQVParticle::Reach(float gravity) const {
    const ParticleParams& p = Params();
    const bool isStatic = (p.flags & PARTICLE_STATIC) != 0;
    // A variation v scales by (1 - r v) with r in [0, 1): at most by max(1, |1 - v|).
    const auto spread = [](float v) { return std::max(1.0f, std::fabs(1.0f - v)); };
    constexpr float kRoot3 = 1.7320508f;
    const float e = isStatic ? m_Intensity : m_Intensity * m_ActionValue;
    const float strength = std::max(1.0f, 0.1f + 0.9f * e);
    const float scale = m_WorldScale;
    const float size = std::fabs(p.size) * spread(p.sizeV) * scale * strength;
    const float birth = std::fabs(p.emitPosV) * kRoot3;
    float reach = birth + size;
    if (!isStatic) {
        const float speed =
            (std::fabs(p.emitSpeed) * spread(p.emitSpeedV) * (1.0f + kRoot3 * std::fabs(p.emitAngleV)) +
             std::fabs(p.movement.x) * spread(p.movementV.x) + std::fabs(p.movement.y) * spread(p.movementV.y) +
             std::fabs(p.movement.z) * spread(p.movementV.z)) *
            scale * strength;
        const float life = std::fabs(p.life) * spread(p.lifeV) * std::max(1.0f, 0.6f + 0.3f * e);
        const float fall = 0.5f * std::fabs(gravity * p.gravityMul * 50.0f) * life * life;
        reach += speed * life + fall;
    }
    // Values from a file may be anything; no number leaves the cloud alone.
    return std::isfinite(reach) ? reach : 0.0f;
}

void CQVParticle::UpdateCullingSphere() {
    if (m_Mesh == nullptr || !HasVertexArrays()) return;
    const ParticleParams& p = Params();
    const bool localSpace = (p.flags & PARTICLE_LOCAL_SPACE) != 0;
    float gravity = 0.0f;
    if (CQVActor* environment = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT))
        environment->HandleMessage(MSG_GET_GRAVITY, Args_Of(&gravity));
    const Vector3 emitter = localSpace ? Vector3(0.0f, 0.0f, 0.0f) : GetWorldPosition();
    Vector3 centre = emitter;
    float radius = Reach(gravity);
    // The live cloud of a moving emitter, as its last step measured it.
    if (!(p.flags & PARTICLE_STATIC) && LiveCount() > 0) {
        const Vector3 apart = m_BoundsCentre - centre;
        const float d = std::sqrt(Vec3_LengthSq(apart));
        if (d + radius <= m_BoundsRadius) {
            centre = m_BoundsCentre;
            radius = m_BoundsRadius;
        } else if (d + m_BoundsRadius > radius) {
            const float both = (d + radius + m_BoundsRadius) * 0.5f;
            centre += apart * ((both - radius) / d);
            radius = both;
        }
    }
    Sphere sphere{centre, radius};
    if (!localSpace) Vec3_TransformPoint(&sphere.centre, centre, GetInverseWorldMatrix());
    Mesh_SetShapeSphere(m_Mesh, 0, sphere);
}

void CQVParticle::UpdateRenderItems() {
    if (m_Slots.empty()) Rebuild();
    if (m_Mesh == nullptr) return;
    CQVObject::UpdateRenderItems();
    if (!m_Entries.empty() && m_Entries[0].renderItem) {
        RenderItem_SetDrawCallback(m_Entries[0].renderItem, RenderItem_PrepareOwner);
        RenderItem_SetOwner(m_Entries[0].renderItem, this);
    }
}

void CQVParticle::PrepareRender() {
    if (m_SimulatedFrame == g_FrameNumber) return;
    m_SimulatedFrame = g_FrameNumber;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    Simulate(clock->dt);
    WriteVertices();
}

void CQVParticle::Simulate(float dt) {
    if (!HasVertexArrays()) return;
    const ParticleParams& p = Params();
    const bool localSpace = (p.flags & PARTICLE_LOCAL_SPACE) != 0;
    const Vector3 worldPosition = GetWorldPosition();
    const Vector3 emitter = localSpace ? Vector3(0.0f, 0.0f, 0.0f) : worldPosition;
    float gravity = 0.0f;
    if (CQVActor* environment = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT))
        environment->HandleMessage(MSG_GET_GRAVITY, Args_Of(&gravity));

    Vector3 low = emitter, high = emitter;
    if (!(p.flags & PARTICLE_STATIC)) {
        const float fall = gravity * p.gravityMul * dt * 50.0f;
        const float drag = 1.0f / (dt * p.airResMul * 0.1f + 1.0f);
        for (uint32_t i = 0; i < m_Slots.size(); ++i) {
            ParticleState& s = m_Slots[i];
            if (s.owner == nullptr) continue;
            s.age += dt;
            if (s.age >= s.life) {
                s.owner = nullptr;
                s.size = 0.0f;
                s.position = worldPosition;
                s.velocity = Vector3(0.0f, 0.0f, 0.0f);
                m_FreeSlots.push_back(i);
                continue;
            }
            s.velocity.y -= fall;
            s.velocity = s.velocity * drag;
            s.spinSpeed *= drag;
            s.spinAngle += s.spinSpeed * dt;
            s.position += s.velocity * dt;
            low = Vector3(std::min(low.x, s.position.x), std::min(low.y, s.position.y), std::min(low.z, s.position.z));
            high = Vector3(std::max(high.x, s.position.x), std::max(high.y, s.position.y),
                           std::max(high.z, s.position.z));
        }
    }
    const Vector3 margin(p.size, p.size, p.size);
    low = low - margin;
    high = high + margin;
    m_BoundsCentre = (low + high) * 0.5f;
    m_BoundsRadius = std::sqrt(Vec3_LengthSq(high - low));

    if (m_FreeSlots.size() == m_Slots.size()) {
        if (m_KillPending)
            CQVObject::HandleMessage(MSG_KILL_POST, nullptr);
        else if (m_StopPending)
            CQVObject::HandleMessage(MSG_ACTION_STOP_POST, nullptr);
    }

    const float e = (p.flags & PARTICLE_STATIC) ? m_Intensity : m_Intensity * m_ActionValue;
    if (e == 0.0f || m_FreeSlots.empty()) return;
    // A rate of 0 (or below) emits nothing rather than dividing by it.
    if (!(p.emitFlowSpeed > 0.0f)) {
        m_EmitRemainder = 0.0f;
        m_PrevWorldPosition = emitter;
        return;
    }
    const float t = (dt + m_EmitRemainder) * p.emitFlowSpeed;
    const float whole = std::trunc(t);
    m_EmitRemainder = (t - whole) / p.emitFlowSpeed;
    // Rates from a file may be anything: a count past the slots (or no
    // number at all) fills what is free, and no remainder that is not a
    // number is carried on.
    if (!std::isfinite(m_EmitRemainder)) m_EmitRemainder = 0.0f;
    uint32_t n = 0;
    if (!(whole < static_cast<float>(m_Slots.size())))
        n = static_cast<uint32_t>(m_Slots.size());
    else if (whole > 0.0f)
        n = static_cast<uint32_t>(whole);
    if (n >= 1) {
        const Matrix& world = GetWorldMatrix();
        Vector3 direction;
        Vec3_TransformNormal(&direction, Vector3(0.0f, 0.0f, -1.0f), world);
        Vec3_Normalize(&direction, direction);
        const Vector3 moved = emitter - m_PrevEmitterPosition;
        const float scale = m_WorldScale;
        const float strength = 0.1f + 0.9f * e;
        const float lifeFactor = 0.6f + 0.3f * e;
        for (uint32_t k = 0; k < n && !m_FreeSlots.empty(); ++k) {
            const uint32_t index = m_FreeSlots.back();
            m_FreeSlots.pop_back();
            const Vector3 spawn = m_PrevEmitterPosition + moved * Particle_RandomUnit();
            ParticleState& s = m_Slots[index];
            p.InitParticle(s, spawn, direction, moved, scale);
            s.velocity = s.velocity * strength;
            s.size *= strength;
            s.life *= lifeFactor;
        }
        m_PrevEmitterPosition = emitter;
    }
    m_PrevWorldPosition = emitter;
}

void CQVParticle::WriteVertices() {
    if (!HasVertexArrays()) return;
    const ParticleParams& p = Params();
    const bool isStatic = (p.flags & PARTICLE_STATIC) != 0;
    const bool localSpace = (p.flags & PARTICLE_LOCAL_SPACE) != 0;

    // View space to the emitter's local space, rotation only: the view's
    // inverse rotation (its transpose) followed by the inverse world matrix.
    Matrix view;
    Camera_GetViewMatrix(&view);
    const Matrix& inverse = GetInverseWorldMatrix();
    float c[2][3];
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j)
            c[i][j] = view.m[0][i] * inverse.m[0][j] + view.m[1][i] * inverse.m[1][j] + view.m[2][i] * inverse.m[2][j];
    }
    const Vector3 right(c[0][0], c[0][1], c[0][2]);
    const Vector3 up(c[1][0], c[1][1], c[1][2]);

    for (size_t q = 0; q < m_Slots.size(); ++q) {
        const ParticleState& s = m_Slots[q];
        Vector3* corners = &m_Positions[4 * q];
        if (s.owner == nullptr) {
            for (int k = 0; k < 4; ++k) corners[k] = Vector3(0.0f, 0.0f, 0.0f);
            continue;
        }
        float size = s.size, opacity = s.opacity;
        if (!isStatic) {
            if (s.age < p.sizeInTime) size *= s.age / p.sizeInTime;
            if (s.age > s.life - p.sizeOutTime) size *= (s.life - s.age) / p.sizeOutTime;
            if (s.age < p.fadeInTime) opacity *= s.age / p.fadeInTime;
            if (s.age > s.life - p.fadeOutTime) opacity *= (s.life - s.age) / p.fadeOutTime;
        } else {
            opacity *= m_ActionValue;
        }
        // Tiles past the atlas wrap into it.
        const ParticleTile& tile = p.useFullTexture ? m_FullTexture : m_Tiles[s.tile % kParticleTileCount];
        // Only 0 to 255 fits the alpha byte (an opacity that is no number shows nothing).
        const float scaled = opacity * 255.0f;
        const float alpha = scaled > 0.0f ? std::min(scaled, 255.0f) : 0.0f;
        const uint32_t color = (static_cast<uint32_t>(alpha) << 24) | 0x00FFFFFFu;
        Vector3 centre = s.position;
        if (!localSpace) Vec3_TransformPoint(&centre, s.position, inverse);
        float sine = 0.0f, cosine = 1.0f;
        if (s.spinAngle != 0.0f) {
            sine = std::sin(s.spinAngle);
            cosine = std::cos(s.spinAngle);
        }
        for (int k = 0; k < 4; ++k) {
            const float x = kCornerX[k] * size, y = kCornerY[k] * size;
            const float rx = x * cosine - y * sine, ry = x * sine + y * cosine;
            corners[k] = Vector3(centre.x + rx * right.x + ry * up.x, centre.y + rx * right.y + ry * up.y,
                                 centre.z + rx * right.z + ry * up.z);
            m_TexCoords[4 * q + k] = tile.corner[k];
            m_Colors[4 * q + k] = color;
        }
    }
    if (m_Mesh)
        Mesh_WriteVertices(m_Mesh, m_Positions.data(), nullptr, m_Colors.data(), m_TexCoords.data(), 0xFFFFFFFFu,
                           0xFFFFFFFFu);
}

bool CQVParticle::SetTypeOverride(uint32_t value) {
    if (value > PARTICLE_FULL_OVERRIDE) return false;
    if (value == m_TypeOverride) return true;
    m_TypeOverride = value;
    if (value == PARTICLE_NO_OVERRIDE) {
        UsePreset();
        StoreBaseGroup();
    } else {
        UsePrivateCopy(Preset(m_Type));
        ApplyBaseGroup();
    }
    Rebuild();
    return true;
}

ParticleParams* CQVParticle::Record() { return m_Own ? m_Own.get() : const_cast<ParticleParams*>(&Params()); }

bool CQVParticle::ExtendsBase() const { return m_TypeOverride >= PARTICLE_EXTEND_BASE && m_Own; }

bool CQVParticle::OverridesAll() const { return m_TypeOverride >= PARTICLE_FULL_OVERRIDE && m_Own; }

void CQVParticle::OnMaxParticles() {
    m_Own->maxParticles = ClampSlotCount(m_Own->maxParticles);
    StoreBaseGroup();
    Rebuild();
}

void CQVParticle::OnTypeChanged() {
    if (m_TypeOverride == PARTICLE_EXTEND_BASE) {
        // The private record follows the new preset under the actor's own base group.
        UsePrivateCopy(Preset(m_Type));
        ApplyBaseGroup();
    }
    Rebuild();
    if (m_TypeOverride == PARTICLE_NO_OVERRIDE) StoreBaseGroup();
}

int CQVParticle::OnCreateParticle(MessageArgs args) {
    auto* source = dynamic_cast<CQVParticle*>(Args_Pointer<CQVActor>(MSG_CREATE, args));
    if (source == nullptr || source == this) return CQVObject::HandleMessage(MSG_CREATE, args);
    ReleaseParticleArrays();
    kParticleMessages.Copy(*this, *source);
    if (m_TypeOverride == PARTICLE_NO_OVERRIDE)
        UsePreset();
    else
        UsePrivateCopy(source->Params());
    return CQVObject::HandleMessage(MSG_CREATE, args);
}

int CQVParticle::OnActionStopPost(MessageArgs args) {
    if (!IsStatic()) {
        m_Intensity = 0.0f;
        m_StopPending = 1;
        return 0;
    }
    for (uint32_t i = 0; i < m_Slots.size(); ++i) {
        if (m_Slots[i].owner == nullptr) continue;
        m_Slots[i].owner = nullptr;
        m_Slots[i].size = 0.0f;
        m_FreeSlots.push_back(i);
    }
    return CQVObject::HandleMessage(MSG_ACTION_STOP_POST, args);
}

int CQVParticle::OnKillPost(MessageArgs args) {
    if (!m_KillPending && LiveCount() > 0 && !IsStatic()) {
        ScheduleMessage(MSG_KILL_POST, nullptr, 0x200, Params().life, 0.0f, 0.0f);
        m_Intensity = 0.0f;
        m_KillPending = 1;
        return 0;
    }
    return CQVObject::HandleMessage(MSG_KILL_POST, args);
}

int CQVParticle::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kParticleMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_INIT_LOAD:
        if (g_ActorSystem && g_ActorSystem->GetLoadVersion() < 52) {
            m_Intensity = 1.0f;
            m_KillPending = 0;
        }
        // The mesh actor's fix-ups replace the mesh: the quads and their
        // render items are made again at the next update.
        ReleaseRenderItems();
        ReleaseParticleArrays();
        break;
    case MSG_LOAD_RESOURCES:
    case MSG_UNLOAD_RESOURCES:
        if (HasVertexArrays() && m_Mesh) {
            // The particle mesh is built from the slots, not read from a file:
            // unloading it would lose the quads for good. Only the materials load and unload.
            CQVMeshItem* own = m_Mesh;
            m_Mesh = nullptr;
            const int result = CQVObject::HandleMessage(id, args);
            m_Mesh = own;
            return result;
        }
        break;
    case MSG_INVALIDATE_OLDPOSITION:
        InvalidateOldPosition();
        break;
    case MSG_CREATE:
        return OnCreateParticle(args);
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        m_ActionValue = Args_Get<float>(args);
        break;
    case MSG_ACTION_START:
        m_KillPending = 0;
        m_StopPending = 0;
        m_Intensity = 1.0f;
        m_EmitRemainder = 0.0f;
        HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
        break;
    case MSG_ACTION_STOP_POST:
        return OnActionStopPost(args);
    case MSG_KILL_POST:
        return OnKillPost(args);
    case MSG_SET_MESH:
        // The particle mesh is the emitter's own.
        return 0;
    default:
        break;
    }
    return CQVObject::HandleMessage(id, args);
}

int CQVParticle::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVObject::Serialize(archive, flags)) return 0;
    const uint32_t v = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (v < 1) return 1;
    archive->SerializeDword(&m_Type);
    archive->SerializeDword(&m_KillPending);
    archive->SerializeDword(&m_Intensity);
    uint32_t typeOverride = m_TypeOverride;
    archive->SerializeDword(&typeOverride);
    if (reading) {
        // A damaged record names no known override.
        if (typeOverride > PARTICLE_FULL_OVERRIDE) return 0;
        m_TypeOverride = typeOverride;
        ReleaseParticleArrays();
        if (m_TypeOverride == PARTICLE_NO_OVERRIDE) {
            m_Own.reset();
            m_Params = nullptr;
        } else {
            UsePrivateCopy(ParticleParams{});
        }
    }
    if (m_TypeOverride == PARTICLE_EXTEND_BASE || v < 58) {
        ParticleBaseGroup& b = m_Base;
        archive->SerializeDword(&b.maxParticles);
        archive->SerializeDword(&b.emitFlowSpeed);
        archive->SerializeDword(&b.life);
        archive->SerializeDword(&b.size);
        archive->SerializeDword(&b.opacity);
        archive->SerializeDword(&b.useFullTexture);
        archive->SerializeDword(&b.tileNr);
        archive->SerializeDword(&b.tileNrV);
        archive->SerializeDword(&b.emitSpeed);
        archive->SerializeDword(&b.emitSpeedV);
        archive->SerializeDword(&b.emitPosV);
        uint32_t unused = 0;
        archive->SerializeDword(&unused);
        if (reading) {
            b.maxParticles = ClampSlotCount(b.maxParticles);
            if (m_TypeOverride == PARTICLE_EXTEND_BASE) {
                *m_Own = Preset(m_Type);
                ApplyBaseGroup();
            }
        }
    } else if (m_TypeOverride == PARTICLE_FULL_OVERRIDE) {
        ParticleParams& p = *m_Own;
        archive->SerializeDword(&p.maxParticles);
        archive->SerializeDword(&p.emitFlowSpeed);
        archive->SerializeDword(&p.emitFlowSpeedV);
        archive->SerializeDword(&p.emitSpeed);
        archive->SerializeDword(&p.emitSpeedV);
        archive->SerializeDword(&p.emitPosV);
        archive->SerializeDword(&p.emitAngleV);
        archive->SerializeDword(&p.emitSpinAngleV);
        archive->SerializeDword(&p.emitSpinSpeed);
        archive->SerializeDword(&p.emitSpinSpeedV);
        archive->SerializeDword(&p.life);
        archive->SerializeDword(&p.lifeV);
        archive->SerializeDword(&p.size);
        archive->SerializeDword(&p.sizeV);
        archive->SerializeDword(&p.dSize);
        archive->SerializeDword(&p.dSizeV);
        uint32_t isStatic = (p.flags & PARTICLE_STATIC) ? 1 : 0;
        archive->SerializeDword(&isStatic);
        archive->SerializeDword(&p.gravityMul);
        archive->SerializeDword(&p.airResMul);
        archive->SerializeDwords(&p.movement, 3);
        archive->SerializeDwords(&p.movementV, 3);
        archive->SerializeDword(&p.opacity);
        archive->SerializeDword(&p.opacityV);
        archive->SerializeDword(&p.sizeInTime);
        archive->SerializeDword(&p.sizeOutTime);
        archive->SerializeDword(&p.fadeInTime);
        archive->SerializeDword(&p.fadeOutTime);
        archive->SerializeDword(&p.useFullTexture);
        archive->SerializeDword(&p.tileNr);
        archive->SerializeDword(&p.tileNrV);
        archive->SerializeDword(&p.motionInheritance);
        archive->SerializeDword(&p.motionInheritanceV);
        if (reading) {
            p.maxParticles = ClampSlotCount(p.maxParticles);
            // A stored Static record lives in the emitter's own space, as the presets set them together.
            p.flags = isStatic ? (PARTICLE_STATIC | PARTICLE_LOCAL_SPACE) : 0;
            StoreBaseGroup();
        }
    }
    return 1;
}
