#include "actors/scene/Light.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/render/Lights.h"

namespace {

// Each set pushes its value into the engine light; the range does not apply
// to a directional light, the cone to anything but a spot light.
constexpr MessageRow kLightRows[] = {
    SheetRow("Light Properties", PROP_TITLE),
    MemberRow<&CQVLight::TypeChoice, &CQVLight::SetTypeChoice>(MSG_SET_LIGHT_TYPE, MSG_GET_LIGHT_TYPE,
                                                                 "Type:|Point|0|Spot|1|Directional|2|", PROP_CHOICE),
    MemberRow<&CQVLight::IsOn, &CQVLight::SetOn>(MSG_SET_LIGHT_ACTIVE, MSG_GET_LIGHT_ACTIVE, "Light Active:",
                                                 PROP_CHECK),
    FieldRow<&CQVLight::m_Colors, CQVLight::DIFFUSE>(MSG_SET_DIFFUSE_COLOR, MSG_GET_DIFFUSE_COLOR, "Diffuse:",
                                                      PROP_COLOR)
        .Then<&CQVLight::SendColor<CQVLight::DIFFUSE>>(),
    FieldRow<&CQVLight::m_Colors, CQVLight::AMBIENT>(MSG_SET_AMBIENT_COLOR, MSG_GET_AMBIENT_COLOR, "Ambient:",
                                                      PROP_COLOR)
        .Then<&CQVLight::SendColor<CQVLight::AMBIENT>>(),
    FieldRow<&CQVLight::m_Range>(MSG_SET_RADIUS, MSG_GET_RADIUS, "Range:", PROP_REAL)
        .Then<&CQVLight::SendRange>()
        .AppliesWhen<&CQVLight::HasRange>(0),
    SheetRow("", PROP_EMPTY),
    FieldRow<&CQVLight::m_ConeMin>(MSG_SET_THETA, MSG_GET_THETA, "Cone Min:|0.1|", PROP_REAL)
        .Then<&CQVLight::SendTheta>()
        .AppliesWhen<&CQVLight::IsSpot>(0),
    FieldRow<&CQVLight::m_ConeMax>(MSG_SET_PHI, MSG_GET_PHI, "Cone Max:|0.1|", PROP_REAL)
        .Then<&CQVLight::SendPhi>()
        .AppliesWhen<&CQVLight::IsSpot>(0),
    FieldRow<&CQVLight::m_Falloff>(MSG_SET_FALLOFF, MSG_GET_FALLOFF, "Cone Falloff:|0.1|", PROP_REAL)
        .Then<&CQVLight::SendFalloff>()
        .AppliesWhen<&CQVLight::IsSpot>(0),
    SheetRow("Light Effect Properties", PROP_TITLE),
    FieldRow<&CQVLight::m_Colors, CQVLight::SPECULAR>(MSG_SET_SPECULAR_COLOR, MSG_GET_SPECULAR_COLOR)
        .Then<&CQVLight::SendColor<CQVLight::SPECULAR>>(),
    MemberRow<&CQVLight::AttenuationOffset, &CQVLight::SetAttenuationOffset>(MSG_SET_ATTENUATION_OFFSET,
                                                                             MSG_GET_ATTENUATION_OFFSET),
    MemberRow<&CQVLight::AttenuationStrength, &CQVLight::SetAttenuationStrength>(MSG_SET_ATTENUATION_STRENGTH,
                                                                                 MSG_GET_ATTENUATION_STRENGTH),
    MemberRow<&CQVLight::AttenuationStyle, &CQVLight::SetAttenuationStyle>(MSG_SET_ATTENUATION_STYLE,
                                                                           MSG_GET_ATTENUATION_STYLE),
};

constexpr MessageTable kLightMessages{
    kLightRows,
    CopiedFields<&CQVLight::m_RendererLight, &CQVLight::m_LightType, &CQVLight::m_FadeStart, &CQVLight::m_FadeTarget,
                 &CQVLight::m_Current, &CQVLight::m_ApplyPending, &CQVLight::m_Attenuation,
                 &CQVLight::m_AttenuationOffset, &CQVLight::m_AttenuationStrength,
                 &CQVLight::m_AttenuationStyle>()};

// Files before this version kept one attenuation factor instead of three.
constexpr uint32_t VERSION_THREE_ATTENUATIONS = 55;
// Files before this version stored the light-on switch apart from the active word.
constexpr uint32_t VERSION_ACTIVE_WORD_ONLY = 65;

// The fade that follows the draw group: 0.4 s in steps of 1/30 s, and the
// engine light switched off once a fade out has surely ended.
constexpr uint32_t FLAGS_FADE_LERP = 0xD00;
constexpr float FADE_DURATION = 0.4f;
constexpr float FADE_PERIOD = 1.0f / 30.0f;
constexpr uint32_t FLAGS_DEACTIVATE = 0x1200;
constexpr float DEACTIVATE_DELAY = 0.6f;

D3DCOLORVALUE Scaled(const D3DCOLORVALUE& c, float v) { return D3DCOLORVALUE{c.r * v, c.g * v, c.b * v, c.a * v}; }

D3DCOLORVALUE Mix(const D3DCOLORVALUE& a, const D3DCOLORVALUE& b, float t) {
    return D3DCOLORVALUE{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                         a.a + (b.a - a.a) * t};
}

CQVEngine* Engine() { return CQVEngine::GetInstance(); }

void EnableRendererLight(CQVLightItem* light, bool on) {
    if (CQVEngine* engine = Engine()) engine->EnableLight(light, on ? 1 : 0);
}

}  // namespace

CQVLight::CQVLight() {
    m_ClassType = CLASS_LIGHT;
    // Until a renderer light gives its values: those of a new engine light.
    m_Colors[DIFFUSE] = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    m_Colors[SPECULAR] = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    m_Colors[AMBIENT] = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.0f};
    m_Activity |= ACTIVITY_ENABLED;
}

CQVLight::~CQVLight() {
    if (m_RendererLight == nullptr) return;
    if (CQVEngine* engine = Engine()) {
        engine->DestroyLight(m_RendererLight);
    } else {
        delete m_RendererLight;
    }
}

void CQVLight::EnsureRendererLight() {
    if (m_RendererLight != nullptr) return;
    if (CQVEngine* engine = Engine()) m_RendererLight = engine->CreateLight();
}

void CQVLight::ApplyToRenderer() {
    CQVLightItem* light = m_RendererLight;
    if (light == nullptr) return;
    Light_SetType(light, m_LightType);
    Light_SetDiffuse(light, m_Colors[DIFFUSE]);
    Light_SetSpecular(light, m_Colors[SPECULAR]);
    Light_SetAmbient(light, m_Colors[AMBIENT]);
    const Matrix& world = GetWorldMatrix();
    Light_SetPosition(light, Vector3(world.m[3][0], world.m[3][1], world.m[3][2]));
    Light_SetDirection(light, Vector3(world.m[2][0], world.m[2][1], world.m[2][2]));
    Light_SetRange(light, m_Range);
    Light_SetAttenuation0(light, m_Attenuation[0]);
    SendScaledAttenuations();
    Light_SetFalloff(light, m_Falloff);
    Light_SetTheta(light, m_ConeMin);
    Light_SetPhi(light, m_ConeMax);
    Light_Apply(light);
}

void CQVLight::ReadFromRenderer() {
    const CQVLightItem* light = m_RendererLight;
    if (light == nullptr) return;
    m_LightType = Light_GetType(light);
    m_Colors[DIFFUSE] = Light_GetDiffuse(light);
    m_Colors[SPECULAR] = Light_GetSpecular(light);
    m_Colors[AMBIENT] = Light_GetAmbient(light);
    m_Range = Light_GetRange(light);
    m_Falloff = Light_GetFalloff(light);
    m_ConeMin = Light_GetTheta(light);
    m_ConeMax = Light_GetPhi(light);
}

// A range of 0 would divide the attenuations into infinities that the
// device turns into a dark or undefined light: the engine light then keeps
// the attenuations it had.
void CQVLight::SendScaledAttenuations() {
    if (m_Range == 0.0f) return;
    Light_SetAttenuation1(m_RendererLight, m_Attenuation[1] / m_Range);
    Light_SetAttenuation2(m_RendererLight, m_Attenuation[2] / (m_Range * m_Range));
}

void CQVLight::ToEditingForm() {
    m_AttenuationOffset = m_Attenuation[0];
    const float strength = m_Attenuation[1] + m_Attenuation[2];
    m_AttenuationStrength = strength;
    // Without any distance term the style is undefined: the last one stays.
    if (strength != 0.0f) m_AttenuationStyle = m_Attenuation[1] / strength;
}

void CQVLight::FromEditingForm() {
    m_Attenuation[0] = m_AttenuationOffset;
    m_Attenuation[1] = m_AttenuationStrength * m_AttenuationStyle;
    m_Attenuation[2] = (1.0f - m_AttenuationStyle) * m_AttenuationStrength;
}

void CQVLight::SetTypeChoice(uint32_t choice) {
    m_LightType = choice + 1;
    Light_SetType(m_RendererLight, m_LightType);
    m_ApplyPending = 1;
}

void CQVLight::SetOn(bool on) {
    m_Activity = on ? (m_Activity | ACTIVITY_ENABLED) : (m_Activity & ~ACTIVITY_ENABLED);
    EnableRendererLight(m_RendererLight, on);
    if (on) ApplyToRenderer();
}

template <int Which>
void CQVLight::SendColor() {
    if constexpr (Which == DIFFUSE) Light_SetDiffuse(m_RendererLight, m_Colors[DIFFUSE]);
    else if constexpr (Which == SPECULAR) Light_SetSpecular(m_RendererLight, m_Colors[SPECULAR]);
    else Light_SetAmbient(m_RendererLight, m_Colors[AMBIENT]);
    m_ApplyPending = 1;
}

void CQVLight::SendRange() {
    Light_SetRange(m_RendererLight, m_Range);
    Light_SetAttenuation0(m_RendererLight, m_Attenuation[0]);
    SendScaledAttenuations();
    m_ApplyPending = 1;
}

void CQVLight::SendFalloff() {
    Light_SetFalloff(m_RendererLight, m_Falloff);
    m_ApplyPending = 1;
}

void CQVLight::SendTheta() {
    Light_SetTheta(m_RendererLight, m_ConeMin);
    m_ApplyPending = 1;
}

void CQVLight::SendPhi() {
    Light_SetPhi(m_RendererLight, m_ConeMax);
    m_ApplyPending = 1;
}

// The editing form is taken from the stored attenuations before one of its
// values is read or changes, so a set from a script that never asked first
// does not mix in the other two values of another light state.
float CQVLight::AttenuationOffset() {
    ToEditingForm();
    return m_AttenuationOffset;
}

float CQVLight::AttenuationStrength() {
    ToEditingForm();
    return m_AttenuationStrength;
}

float CQVLight::AttenuationStyle() {
    ToEditingForm();
    return m_AttenuationStyle;
}

void CQVLight::ChangeEditingForm(float CQVLight::*value, float to) {
    ToEditingForm();
    this->*value = to;
    FromEditingForm();
    m_ApplyPending = 1;
}

void CQVLight::SetAttenuationOffset(float offset) {
    ChangeEditingForm(&CQVLight::m_AttenuationOffset, offset);
    Light_SetAttenuation0(m_RendererLight, m_Attenuation[0]);
}

void CQVLight::SetAttenuationStrength(float strength) {
    ChangeEditingForm(&CQVLight::m_AttenuationStrength, strength);
    SendScaledAttenuations();
}

void CQVLight::SetAttenuationStyle(float style) {
    ChangeEditingForm(&CQVLight::m_AttenuationStyle, style);
    SendScaledAttenuations();
}

void CQVLight::SendColors(const D3DCOLORVALUE* colors) {
    Light_SetDiffuse(m_RendererLight, colors[DIFFUSE]);
    Light_SetSpecular(m_RendererLight, colors[SPECULAR]);
    Light_SetAmbient(m_RendererLight, colors[AMBIENT]);
    Light_Apply(m_RendererLight);
}

void CQVLight::TurnOn() {
    m_Activity |= ACTIVITY_ENABLED;
    EnableRendererLight(m_RendererLight, true);
    ApplyToRenderer();
}

void CQVLight::TurnOff() {
    m_Activity &= ~ACTIVITY_ENABLED;
    EnableRendererLight(m_RendererLight, false);
}

void CQVLight::StartFade(bool in) {
    CancelTimedMessages(MSG_LIGHT_FADE);
    CancelTimedMessages(MSG_LIGHT_DEACTIVATE);
    // "Light Fade " from 0 to 1.
    const CommandLerpBlock block{0.0f, MSG_LIGHT_FADE, 0.0f, MSG_LIGHT_FADE, 1.0f};
    ScheduleMessage(MSG_COMMAND_LERP, Args_Of(&block), FLAGS_FADE_LERP, 0.0f, FADE_DURATION, FADE_PERIOD);
    for (int i = 0; i < COLOR_COUNT; ++i) {
        m_FadeStart[i] = in ? D3DCOLORVALUE{} : m_Current[i];
        m_FadeTarget[i] = in ? m_Colors[i] : D3DCOLORVALUE{};
    }
    if (in) {
        SendColors(m_FadeStart);
        EnableRendererLight(m_RendererLight, true);
    } else {
        ScheduleMessage(MSG_LIGHT_DEACTIVATE, nullptr, FLAGS_DEACTIVATE, DEACTIVATE_DELAY, 0.0f, 0.0f);
    }
}

int CQVLight::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kLightMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_START:
    case MSG_ACTION_START:
        TurnOn();
        break;
    case MSG_STOP:
    case MSG_ACTION_STOP_POST:
        TurnOff();
        break;
    case MSG_INIT_COPY:
        // The source keeps its engine light; the copy makes its own at "Precalculate".
        m_RendererLight = nullptr;
        break;
    case MSG_PRECALCULATE:
        EnsureRendererLight();
        ApplyToRenderer();
        break;
    case MSG_CREATE: {
        CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (auto* light = source ? dynamic_cast<CQVLight*>(source) : nullptr) {
            kLightMessages.Copy(*this, *light);
        } else if (source == nullptr) {
            // Placed new: the engine light's defaults become the Light's values.
            EnsureRendererLight();
            ReadFromRenderer();
            m_Activity |= ACTIVITY_ENABLED;
            EnableRendererLight(m_RendererLight, true);
            Light_Apply(m_RendererLight);
        }
        break;
    }
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        // The configured colours stay: the next fade step or full apply restores them.
        if (IsOn()) {
            const float v = Args_Get<float>(args);
            const D3DCOLORVALUE scaled[COLOR_COUNT] = {Scaled(m_Colors[DIFFUSE], v), Scaled(m_Colors[SPECULAR], v),
                                                       Scaled(m_Colors[AMBIENT], v)};
            SendColors(scaled);
        }
        return 1;
    case MSG_ON_DRAW_START:
        if (IsOn()) StartFade(true);
        break;
    case MSG_ON_DRAW_STOP:
        if (IsOn()) StartFade(false);
        break;
    case MSG_LIGHT_FADE:
        if (IsOn()) {
            const float t = Args_Get<float>(args);
            for (int i = 0; i < COLOR_COUNT; ++i) m_Current[i] = Mix(m_FadeStart[i], m_FadeTarget[i], t);
            SendColors(m_Current);
        }
        return 1;
    case MSG_LIGHT_DEACTIVATE:
        // The light-on bit stays: the next "On Draw Start" fades it in again.
        EnableRendererLight(m_RendererLight, false);
        break;
    default:
        break;
    }
    if (m_ApplyPending) {
        Light_Apply(m_RendererLight);
        m_ApplyPending = 0;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVLight::Update() {
    if (!IsOperational()) return;
    // Moved by the frame's transform step or since: the engine light follows.
    if (IsOn() && (m_Flags & (ACTOR_MOVED | ACTOR_MOVED_LAST_STEP)) && m_RendererLight) {
        const Matrix& world = GetWorldMatrix();
        if (m_LightType != D3DLIGHT_POINT) {
            Light_SetDirection(m_RendererLight, Vector3(world.m[2][0], world.m[2][1], world.m[2][2]));
        }
        Light_SetPosition(m_RendererLight, Vector3(world.m[3][0], world.m[3][1], world.m[3][2]));
        Light_Apply(m_RendererLight);
    }
    CQVActor::Update();
}

int CQVLight::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_LightType);
        for (int i = 0; i < COLOR_COUNT; ++i) archive->SerializeDwords(&m_Colors[i], 4);
        archive->SerializeDword(&m_Range);
    }
    if (version >= VERSION_THREE_ATTENUATIONS) archive->SerializeDwords(m_Attenuation, 3);
    if (version >= 1) {
        // The single factor of older files, relative to the range.
        float factor = 0.0f;
        archive->SerializeDword(&factor);
        if (reading && version < VERSION_THREE_ATTENUATIONS) {
            m_Attenuation[0] = 1.0f;
            m_Attenuation[1] = factor * m_Range;
            m_Attenuation[2] = factor * m_Range * m_Range * 0.1f;
        }
        archive->SerializeDword(&m_Falloff);
        archive->SerializeDword(&m_ConeMin);
        archive->SerializeDword(&m_ConeMax);
    }
    if (version >= 1 && version < VERSION_ACTIVE_WORD_ONLY) {
        uint32_t on = IsOn() ? 1 : 0;
        archive->SerializeDword(&on);
        if (reading) m_Activity = (on & 1) ? (m_Activity | ACTIVITY_ENABLED) : (m_Activity & ~ACTIVITY_ENABLED);
    }
    if (reading && archive->HasFailed()) return 0;
    return 1;
}

void CQVLight::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_LIGHT];
    record.Define("Light", "Directional, point or spotlight", {CLASS_BASE, CLASS_LIGHT});
    kLightMessages.AddSheet(record);
}
