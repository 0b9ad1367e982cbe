#include "actors/scene/MatrixAnimation.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// A term of the current layer: three values for x, y and z.
template <auto Quantity, auto Value>
constexpr MessageRow TermRow(uint32_t setId, uint32_t getId, const char* label) {
    return FieldRow<&CQVMatrixAnimation::CurrentLayer, Quantity, Value>(setId, getId, label, PROP_VECTOR);
}

constexpr MessageRow kMatrixAnimationRows[] = {
    SheetRow("Matrix Animation Properties", PROP_TITLE),
    FieldRow<&CQVMatrixAnimation::m_BasePosition>(MSG_SET_MA_POSITION, MSG_GET_MA_POSITION, "Position:",
                                                  PROP_VECTOR),
    FieldRow<&CQVMatrixAnimation::m_Spin>(MSG_SET_MA_ROTATION, MSG_GET_MA_ROTATION, "Rotation:", PROP_VECTOR),
    FlagRow<&CQVMatrixAnimation::m_AnimFlags>(MSG_SET_MA_DIR_BY_MOV, MSG_GET_MA_DIR_BY_MOV, MATRIX_ANIM_DIR_BY_MOV,
                                              "Dir By Mov", PROP_CHECK),
    FlagRow<&CQVMatrixAnimation::m_AnimFlags>(MSG_SET_MA_DIR_BY_WS_MOV, MSG_GET_MA_DIR_BY_WS_MOV,
                                              MATRIX_ANIM_DIR_BY_WS_MOV, "Dir By WS Mov", PROP_CHECK),
    SheetRow("Animation Param Management", PROP_TITLE),
    SheetRow("Param Layer", PROP_PICKER, MSG_MA_SELECT_LAYER, MSG_MA_LAYER_NAMES),
    SheetRow("Add Layer|Add|", PROP_BUTTON, MSG_MA_ADD_LAYER),
    SheetRow("Delete Layer|Delete|", PROP_BUTTON, MSG_MA_DELETE_LAYER),
    SheetRow("Rotation", PROP_HEADING),
    TermRow<&MatrixAnimLayer::rotation, &MatrixAnimTerm::sinOffset>(MSG_SET_MA_ROTATION_SIN_OFF,
                                                                     MSG_GET_MA_ROTATION_SIN_OFF, "Sin Off:"),
    TermRow<&MatrixAnimLayer::rotation, &MatrixAnimTerm::sinMul>(MSG_SET_MA_ROTATION_SIN_MUL,
                                                                  MSG_GET_MA_ROTATION_SIN_MUL, "Sin Mul:"),
    TermRow<&MatrixAnimLayer::rotation, &MatrixAnimTerm::sinFreq>(MSG_SET_MA_ROTATION_SIN_FREQ,
                                                                   MSG_GET_MA_ROTATION_SIN_FREQ, "Sin Freq:"),
    TermRow<&MatrixAnimLayer::rotation, &MatrixAnimTerm::noiseMul>(MSG_SET_MA_ROTATION_RND_MUL,
                                                                    MSG_GET_MA_ROTATION_RND_MUL, "Rnd Mul:"),
    TermRow<&MatrixAnimLayer::rotation, &MatrixAnimTerm::noiseFreq>(MSG_SET_MA_ROTATION_RND_FREQ,
                                                                     MSG_GET_MA_ROTATION_RND_FREQ, "Rnd Freq:"),
    SheetRow("Position", PROP_HEADING),
    TermRow<&MatrixAnimLayer::position, &MatrixAnimTerm::sinOffset>(MSG_SET_MA_POSITION_SIN_OFF,
                                                                     MSG_GET_MA_POSITION_SIN_OFF, "Sin Off:"),
    TermRow<&MatrixAnimLayer::position, &MatrixAnimTerm::sinMul>(MSG_SET_MA_POSITION_SIN_MUL,
                                                                  MSG_GET_MA_POSITION_SIN_MUL, "Sin Mul:"),
    TermRow<&MatrixAnimLayer::position, &MatrixAnimTerm::sinFreq>(MSG_SET_MA_POSITION_SIN_FREQ,
                                                                   MSG_GET_MA_POSITION_SIN_FREQ, "Sin Freq:"),
    TermRow<&MatrixAnimLayer::position, &MatrixAnimTerm::noiseMul>(MSG_SET_MA_POSITION_RND_MUL,
                                                                    MSG_GET_MA_POSITION_RND_MUL, "Rnd Mul:"),
    TermRow<&MatrixAnimLayer::position, &MatrixAnimTerm::noiseFreq>(MSG_SET_MA_POSITION_RND_FREQ,
                                                                     MSG_GET_MA_POSITION_RND_FREQ, "Rnd Freq:"),
    SheetRow("Scale", PROP_HEADING),
    TermRow<&MatrixAnimLayer::scale, &MatrixAnimTerm::sinOffset>(MSG_SET_MA_SCALE_SIN_OFF, MSG_GET_MA_SCALE_SIN_OFF,
                                                                  "Sin Off:"),
    TermRow<&MatrixAnimLayer::scale, &MatrixAnimTerm::sinMul>(MSG_SET_MA_SCALE_SIN_MUL, MSG_GET_MA_SCALE_SIN_MUL,
                                                               "Sin Mul:"),
    TermRow<&MatrixAnimLayer::scale, &MatrixAnimTerm::sinFreq>(MSG_SET_MA_SCALE_SIN_FREQ, MSG_GET_MA_SCALE_SIN_FREQ,
                                                                "Sin Freq:"),
    TermRow<&MatrixAnimLayer::scale, &MatrixAnimTerm::noiseMul>(MSG_SET_MA_SCALE_RND_MUL, MSG_GET_MA_SCALE_RND_MUL,
                                                                 "Rnd Mul:"),
    TermRow<&MatrixAnimLayer::scale, &MatrixAnimTerm::noiseFreq>(MSG_SET_MA_SCALE_RND_FREQ,
                                                                  MSG_GET_MA_SCALE_RND_FREQ, "Rnd Freq:"),
};

constexpr MessageTable kMatrixAnimationMessages{
    kMatrixAnimationRows,
    CopiedFields<&CQVMatrixAnimation::m_Speed, &CQVMatrixAnimation::m_AnimFlags, &CQVMatrixAnimation::m_Layers,
                 &CQVMatrixAnimation::m_CurrentLayer, &CQVMatrixAnimation::m_AnimTime>()};

std::string LayerName(uint32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "Layer %u", index);
    return name;
}

// The picker's texts, one list for the program's run.
std::vector<std::string>& SharedLayerNames() {
    static std::vector<std::string> names;
    return names;
}

bool IsZero(const Vector3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

float& Axis(Vector3& v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }
float Axis(const Vector3& v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }

// Adds a term's sine and noise to the three values.
void AddTerm(Vector3& value, const MatrixAnimTerm& term, bool sine, bool noise, float t) {
    for (int i = 0; i < 3; ++i) {
        if (sine)
            Axis(value, i) += std::sin(t * Axis(term.sinFreq, i) + Axis(term.sinOffset, i)) * Axis(term.sinMul, i);
        if (noise) Axis(value, i) += Noise_Sample1D(t * Axis(term.noiseFreq, i)) * Axis(term.noiseMul, i);
    }
}

void SerializeVector(CQVActorArchive* archive, Vector3& v) { archive->SerializeDwords(&v, 3); }

void SerializeTerm(CQVActorArchive* archive, MatrixAnimTerm& term) {
    SerializeVector(archive, term.sinOffset);
    SerializeVector(archive, term.sinMul);
    SerializeVector(archive, term.sinFreq);
    SerializeVector(archive, term.noiseMul);
    SerializeVector(archive, term.noiseFreq);
}

// The words one stored layer takes at least (rotation and position terms).
constexpr uint32_t kStoredLayerBytes = 2 * 5 * 3 * 4;

}  // namespace

CQVMatrixAnimation::CQVMatrixAnimation() {
    m_ClassType = CLASS_MATRIX_ANIMATION;
    m_Activity |= ACTIVITY_ENABLED;
}

MatrixAnimLayer* CQVMatrixAnimation::CurrentLayer() {
    if (m_CurrentLayer < 0 || m_CurrentLayer >= static_cast<int32_t>(m_Layers.size())) return nullptr;
    return &m_Layers[m_CurrentLayer];
}

void CQVMatrixAnimation::Evaluate(float t, Vector3* position, Quaternion* rotation, Vector3* scale) const {
    Vector3 p = m_BasePosition;
    Vector3 a(t * m_Spin.x, t * m_Spin.y, t * m_Spin.z);
    Vector3 s(1.0f, 1.0f, 1.0f);
    for (const MatrixAnimLayer& layer : m_Layers) {
        AddTerm(p, layer.position, layer.enabled[MATRIX_ANIM_POSITION_SINE], layer.enabled[MATRIX_ANIM_POSITION_NOISE],
                t);
        AddTerm(a, layer.rotation, layer.enabled[MATRIX_ANIM_ROTATION_SINE], layer.enabled[MATRIX_ANIM_ROTATION_NOISE],
                t);
        AddTerm(s, layer.scale, layer.enabled[MATRIX_ANIM_SCALE_SINE], layer.enabled[MATRIX_ANIM_SCALE_NOISE], t);
    }
    *position = p;
    Quat_FromYawPitchRoll(rotation, a.y, a.x, a.z);
    *scale = s;
}

void CQVMatrixAnimation::Update() {
    if (!IsOperational()) return;
    if (!IsOn()) {
        CQVActor::Update();
        return;
    }
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    m_AnimTime += clock->dt * m_Speed;
    Evaluate(m_AnimTime, &m_Position, &m_Rotation, &m_Scale);
    InvalidateTransform();
    CQVActor::Update();
}

int CQVMatrixAnimation::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kMatrixAnimationMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_START:
    case MSG_ACTION_START:
        m_Activity |= ACTIVITY_ENABLED;
        break;
    case MSG_STOP:
    case MSG_ACTION_STOP_POST:
        m_Activity &= ~ACTIVITY_ENABLED;
        break;
    case MSG_INIT_LOAD:
        OnInitLoad();
        break;
    case MSG_PRECALCULATE:
        // A term whose three multipliers are zero adds nothing: it is skipped.
        for (MatrixAnimLayer& layer : m_Layers) {
            layer.enabled[MATRIX_ANIM_POSITION_SINE] = !IsZero(layer.position.sinMul);
            layer.enabled[MATRIX_ANIM_POSITION_NOISE] = !IsZero(layer.position.noiseMul);
            layer.enabled[MATRIX_ANIM_ROTATION_SINE] = !IsZero(layer.rotation.sinMul);
            layer.enabled[MATRIX_ANIM_ROTATION_NOISE] = !IsZero(layer.rotation.noiseMul);
            layer.enabled[MATRIX_ANIM_SCALE_SINE] = !IsZero(layer.scale.sinMul);
            layer.enabled[MATRIX_ANIM_SCALE_NOISE] = !IsZero(layer.scale.noiseMul);
        }
        m_AnimTime = 0.0f;
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVMatrixAnimation*>(Args_Pointer<CQVActor>(id, args)))
            kMatrixAnimationMessages.Copy(*this, *source);
        break;
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        m_Speed = Args_Get<float>(args);
        break;
    case MSG_MA_ADD_LAYER:
        if (m_Layers.size() < kMatrixAnimMaxLayers) m_Layers.emplace_back();
        break;
    case MSG_MA_DELETE_LAYER:
        if (CurrentLayer() != nullptr) {
            m_Layers.erase(m_Layers.begin() + m_CurrentLayer);
            m_CurrentLayer = -1;
        }
        break;
    case MSG_MA_SELECT_LAYER: {
        const char* text = Args_TextOr(args);
        for (uint32_t i = 0; i < m_Layers.size(); ++i) {
            if (LayerName(i) == text) {
                m_CurrentLayer = static_cast<int32_t>(i);
                break;
            }
        }
        break;
    }
    case MSG_MA_LAYER_NAMES:
        if (auto* out = Args_Pointer<std::vector<std::string>>(id, args)) {
            std::vector<std::string>& names = SharedLayerNames();
            names.clear();
            for (uint32_t i = 0; i < m_Layers.size(); ++i) names.push_back(LayerName(i));
            *out = names;
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVMatrixAnimation::OnInitLoad() {
    const uint32_t version = g_ActorSystem ? g_ActorSystem->GetLoadVersion() : 1;
    if (version < 63) {
        m_BasePosition = Vector3(0.0f, 0.0f, 0.0f);
        m_Activity |= ACTIVITY_ENABLED;
        m_AnimFlags |= MATRIX_ANIM_STORED_ON;
    }
    if (version < 64) {
        if (m_AnimFlags & MATRIX_ANIM_STORED_ON) {
            m_Activity |= ACTIVITY_ENABLED;
        } else {
            m_Activity &= ~ACTIVITY_ENABLED;
        }
        m_AnimFlags &= ~MATRIX_ANIM_STORED_ON;
        for (MatrixAnimLayer& layer : m_Layers) layer.scale = MatrixAnimTerm{};
    }
}

int CQVMatrixAnimation::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version < 1) return 1;
    SerializeVector(archive, m_Spin);
    archive->SerializeDword(&m_AnimFlags);
    SerializeVector(archive, m_BasePosition);
    uint32_t reserved[2] = {0, 0};
    archive->SerializeDwords(reserved, 2);
    uint32_t count = static_cast<uint32_t>(m_Layers.size());
    if (!archive->SerializeCount(&count, kStoredLayerBytes) || count > kMatrixAnimMaxLayers) return 0;
    if (archive->direction == ARCHIVE_READING) m_Layers.resize(count);
    for (MatrixAnimLayer& layer : m_Layers) {
        SerializeTerm(archive, layer.rotation);
        SerializeTerm(archive, layer.position);
        if (version >= 63) SerializeTerm(archive, layer.scale);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVMatrixAnimation::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_MATRIX_ANIMATION];
    record.Define("Matrix Animation", "Matrix Animation", {CLASS_BASE, CLASS_MATRIX_ANIMATION});
    kMatrixAnimationMessages.AddSheet(record);
}
