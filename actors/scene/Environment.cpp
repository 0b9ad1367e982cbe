#include "actors/scene/Environment.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"

#include <cstring>

namespace {

// The colours keep their value when a block does not hold a whole one.
constexpr MessageRow kEnvironmentRows[] = {
    SheetRow("Environment Properties", PROP_TITLE),
    FieldRow<&CQVEnvironment::m_Ambient>(MSG_SET_AMBIENT_COLOR, MSG_GET_AMBIENT_COLOR, "Ambient:", PROP_COLOR)
        .WholeValue()
        .Then<&CQVEnvironment::SendAmbient>(),
    FieldRow<&CQVEnvironment::m_Gravity>(MSG_SET_GRAVITY, MSG_GET_GRAVITY, "Gravity:", PROP_REAL),
    FieldRow<&CQVEnvironment::m_AirResistance>(MSG_SET_AIR_RESISTANCE, MSG_GET_AIR_RESISTANCE, "Air Res:", PROP_REAL),
    FieldRow<&CQVEnvironment::m_Wind>(MSG_SET_WIND, MSG_GET_WIND, "Wind:", PROP_VECTOR),
    SheetRow("Fog Properties", PROP_SEPARATOR),
    BoolRow<&CQVEnvironment::m_FogEnable>(MSG_SET_FOG_ENABLE, MSG_GET_FOG_ENABLE, "Enable:", PROP_CHECK)
        .Then<&CQVEnvironment::SendFogEnable>(),
    FieldRow<&CQVEnvironment::m_FogNear>(MSG_SET_FOG_NEAR, MSG_GET_FOG_NEAR, "Near:", PROP_REAL)
        .Then<&CQVEnvironment::SendFogNear>(),
    FieldRow<&CQVEnvironment::m_FogFar>(MSG_SET_FOG_FAR, MSG_GET_FOG_FAR, "Far:", PROP_REAL)
        .Then<&CQVEnvironment::SendFogFar>(),
    FieldRow<&CQVEnvironment::m_FogColor>(MSG_SET_FOG_COLOR, MSG_GET_FOG_COLOR, "Color:", PROP_COLOR)
        .WholeValue()
        .Then<&CQVEnvironment::SendFogColor>(),
    SheetRow("Activate Environment|Activate|", PROP_BUTTON, MSG_ACTIVATE_ENVIRONMENT_PARAMS),
    SheetRow("Dectivate Environment|Dectivate|", PROP_BUTTON, MSG_DEACTIVATE_ENVIRONMENT),
};

constexpr MessageTable kEnvironmentMessages{kEnvironmentRows};

CQVEnvironment* SystemEnvironment() {
    CQVActor* actor = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT);
    return actor && actor->m_ClassType == CLASS_ENVIRONMENT ? static_cast<CQVEnvironment*>(actor) : nullptr;
}

}  // namespace

CQVEnvironment::CQVEnvironment() { m_ClassType = CLASS_ENVIRONMENT; }

uint32_t CQVEnvironment::PackColor(const float color[4]) {
    return Color_ToArgb(color[0], color[1], color[2], color[3]);
}

bool CQVEnvironment::IsSystemEnvironment() const { return m_Id == ACTOR_ID_ENVIRONMENT; }

void CQVEnvironment::SendAmbient() {
    if (CQVEngine* engine = CQVEngine::GetInstance())
        engine->SetAmbientColor(m_Ambient[0], m_Ambient[1], m_Ambient[2], m_Ambient[3]);
}

void CQVEnvironment::SendFogEnable() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetFogEnable(m_FogEnable);
}

void CQVEnvironment::SendFogNear() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetFogNear(m_FogNear);
}

void CQVEnvironment::SendFogFar() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetFogFar(m_FogFar);
}

void CQVEnvironment::SendFogColor() {
    if (CQVEngine* engine = CQVEngine::GetInstance()) {
        engine->SetFogColor(PackColor(m_FogColor));
        engine->SetClearColor(PackColor(m_FogColor));
    }
}

void CQVEnvironment::PushToEngine(bool clearColorLast) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    const uint32_t fog = PackColor(m_FogColor);
    engine->SetAmbientColor(m_Ambient[0], m_Ambient[1], m_Ambient[2], m_Ambient[3]);
    engine->SetFogEnable(m_FogEnable);
    engine->SetFogColor(fog);
    if (!clearColorLast) engine->SetClearColor(fog);
    engine->SetFogNear(m_FogNear);
    engine->SetFogFar(m_FogFar);
    if (clearColorLast) engine->SetClearColor(fog);
}

void CQVEnvironment::Activate() {
    if (IsSystemEnvironment()) {
        PushToEngine(false);
        return;
    }
    CQVEnvironment* system = SystemEnvironment();
    if (system == nullptr) return;
    // Copies: the system Environment's handler may run scripts that send to
    // this preset before the next value is read.
    float gravity = m_Gravity, airResistance = m_AirResistance, fogNear = m_FogNear, fogFar = m_FogFar;
    Vector3 wind = m_Wind;
    uint32_t fogEnable = m_FogEnable;
    float ambient[4], fogColor[4];
    std::memcpy(ambient, m_Ambient, sizeof ambient);
    std::memcpy(fogColor, m_FogColor, sizeof fogColor);
    system->HandleMessage(MSG_SET_GRAVITY, Args_Of(&gravity));
    system->HandleMessage(MSG_SET_AIR_RESISTANCE, Args_Of(&airResistance));
    system->HandleMessage(MSG_SET_WIND, Args_Of(&wind));
    system->HandleMessage(MSG_SET_AMBIENT_COLOR, Args_Of(ambient));
    system->HandleMessage(MSG_SET_FOG_ENABLE, Args_Of(&fogEnable));
    system->HandleMessage(MSG_SET_FOG_COLOR, Args_Of(fogColor));
    system->HandleMessage(MSG_SET_FOG_NEAR, Args_Of(&fogNear));
    system->HandleMessage(MSG_SET_FOG_FAR, Args_Of(&fogFar));
}

void CQVEnvironment::Deactivate() {
    if (!IsSystemEnvironment()) {
        if (CQVEnvironment* system = SystemEnvironment()) system->HandleMessage(MSG_DEACTIVATE_ENVIRONMENT, nullptr);
        return;
    }
    // The stored values stay, so "Lerp Environment Params" can bring them back.
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    engine->SetAmbientColor(0.0f, 0.0f, 0.0f, 0.0f);
    engine->SetFogEnable(0);
    engine->SetFogColor(0);
    engine->SetClearColor(0);
}

int CQVEnvironment::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kEnvironmentMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_PRECALCULATE:
        if (IsSystemEnvironment()) Activate();
        break;
    case MSG_ACTIVATE_ENVIRONMENT_PARAMS:
        Activate();
        break;
    case MSG_DEACTIVATE_ENVIRONMENT:
        Deactivate();
        break;
    case MSG_LERP_ENVIRONMENT_PARAMS:
        PushToEngine(true);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVEnvironment::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        uint32_t reserved[4] = {0, 0, 0, 0};
        if (archive->SerializeDwords(m_Ambient, 4) != 4) return 0;
        if (archive->SerializeDword(&m_Gravity) != 1) return 0;
        if (archive->SerializeDwords(&m_Wind, 3) != 3) return 0;
        if (archive->SerializeDword(&m_AirResistance) != 1) return 0;
        if (archive->SerializeDwords(reserved, 4) != 4) return 0;
    }
    if (archive->version >= 10) {
        if (archive->SerializeDword(&m_FogEnable) != 1) return 0;
        if (archive->SerializeDwords(m_FogColor, 4) != 4) return 0;
        if (archive->SerializeDword(&m_FogNear) != 1) return 0;
        if (archive->SerializeDword(&m_FogFar) != 1) return 0;
    }
    return 1;
}

void CQVEnvironment::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_ENVIRONMENT];
    record.Define("Environment", "Environment", {CLASS_BASE, CLASS_ENVIRONMENT});
    kEnvironmentMessages.AddSheet(record);
}

float Environment_GetGravity() {
    const CQVEnvironment* system = SystemEnvironment();
    return system ? system->m_Gravity : 9.81f;
}

float Environment_GetAirResistance() {
    const CQVEnvironment* system = SystemEnvironment();
    return system ? system->m_AirResistance : 1.0f;
}

Vector3 Environment_GetWind() {
    const CQVEnvironment* system = SystemEnvironment();
    return system ? system->m_Wind : Vector3(0.0f, 0.0f, 0.0f);
}
