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

// The class's messages have no registered names: the property sheet sends them by id.
enum : uint32_t {
    MSG_MA_SET_POSITION = 1372,
    MSG_MA_GET_POSITION = 1373,
    MSG_MA_SET_ROTATION = 1374,
    MSG_MA_GET_ROTATION = 1375,
    MSG_MA_SET_DIR_BY_MOV = 1376,
    MSG_MA_GET_DIR_BY_MOV = 1377,
    MSG_MA_SET_DIR_BY_WS_MOV = 1378,
    MSG_MA_GET_DIR_BY_WS_MOV = 1379,
    MSG_MA_ADD_LAYER = 1380,
    MSG_MA_DELETE_LAYER = 1381,
    MSG_MA_SELECT_LAYER = 1382,  // text "Layer n"
    MSG_MA_LAYER_NAMES = 1383,   // list of texts out
    MSG_MA_ROTATION_TERMS = 1384,  // 1384 to 1393: set/get of the five rotation terms
    MSG_MA_POSITION_TERMS = 1394,  // 1394 to 1403
    MSG_MA_SCALE_TERMS = 1404,     // 1404 to 1413
    MSG_MA_LAST_TERM = 1413,
};

constexpr MessageRow kMatrixAnimationRows[] = {
    SheetRow("Matrix Animation Properties", PROP_TITLE),
    SheetRow("Position:", PROP_VECTOR, MSG_MA_SET_POSITION, MSG_MA_GET_POSITION),
    SheetRow("Rotation:", PROP_VECTOR, MSG_MA_SET_ROTATION, MSG_MA_GET_ROTATION),
    SheetRow("Dir By Mov", PROP_CHECK, MSG_MA_SET_DIR_BY_MOV, MSG_MA_GET_DIR_BY_MOV),
    SheetRow("Dir By WS Mov", PROP_CHECK, MSG_MA_SET_DIR_BY_WS_MOV, MSG_MA_GET_DIR_BY_WS_MOV),
    SheetRow("Animation Param Management", PROP_TITLE),
    SheetRow("Param Layer", PROP_PICKER, MSG_MA_SELECT_LAYER, MSG_MA_LAYER_NAMES),
    SheetRow("Add Layer|Add|", PROP_BUTTON, MSG_MA_ADD_LAYER),
    SheetRow("Delete Layer|Delete|", PROP_BUTTON, MSG_MA_DELETE_LAYER),
    SheetRow("Rotation", PROP_HEADING),
    SheetRow("Sin Off:", PROP_VECTOR, 1384, 1385),
    SheetRow("Sin Mul:", PROP_VECTOR, 1386, 1387),
    SheetRow("Sin Freq:", PROP_VECTOR, 1388, 1389),
    SheetRow("Rnd Mul:", PROP_VECTOR, 1390, 1391),
    SheetRow("Rnd Freq:", PROP_VECTOR, 1392, 1393),
    SheetRow("Position", PROP_HEADING),
    SheetRow("Sin Off:", PROP_VECTOR, 1394, 1395),
    SheetRow("Sin Mul:", PROP_VECTOR, 1396, 1397),
    SheetRow("Sin Freq:", PROP_VECTOR, 1398, 1399),
    SheetRow("Rnd Mul:", PROP_VECTOR, 1400, 1401),
    SheetRow("Rnd Freq:", PROP_VECTOR, 1402, 1403),
    SheetRow("Scale", PROP_HEADING),
    SheetRow("Sin Off:", PROP_VECTOR, 1404, 1405),
    SheetRow("Sin Mul:", PROP_VECTOR, 1406, 1407),
    SheetRow("Sin Freq:", PROP_VECTOR, 1408, 1409),
    SheetRow("Rnd Mul:", PROP_VECTOR, 1410, 1411),
    SheetRow("Rnd Freq:", PROP_VECTOR, 1412, 1413),
};

constexpr MessageTable kMatrixAnimationMessages{kMatrixAnimationRows};

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

bool CQVMatrixAnimation::HandleTermMessage(uint32_t id, MessageArgs args) {
    if (id < MSG_MA_ROTATION_TERMS || id > MSG_MA_LAST_TERM) return false;
    MatrixAnimLayer* layer = CurrentLayer();
    if (layer == nullptr) return true;
    const uint32_t offset = id - MSG_MA_ROTATION_TERMS;
    MatrixAnimTerm& term = offset < 10 ? layer->rotation : (offset < 20 ? layer->position : layer->scale);
    Vector3* values[] = {&term.sinOffset, &term.sinMul, &term.sinFreq, &term.noiseMul, &term.noiseFreq};
    Vector3& value = *values[(offset % 10) / 2];
    if (offset % 2 == 0) {
        value = Args_Get<Vector3>(args);
    } else {
        Args_Answer(args, value);
    }
    return true;
}

int CQVMatrixAnimation::HandleMessage(uint32_t id, MessageArgs args) {
    kMatrixAnimationMessages.Apply(*this, id, args);
    if (HandleTermMessage(id, args)) return CQVActor::HandleMessage(id, args);
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
        if (auto* source = dynamic_cast<CQVMatrixAnimation*>(Args_Pointer<CQVActor>(id, args))) {
            m_BasePosition = source->m_BasePosition;
            m_Spin = source->m_Spin;
            m_Speed = source->m_Speed;
            m_AnimFlags = source->m_AnimFlags;
            m_Layers = source->m_Layers;
            m_CurrentLayer = source->m_CurrentLayer;
            m_AnimTime = source->m_AnimTime;
        }
        break;
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        m_Speed = Args_Get<float>(args);
        break;
    case MSG_MA_SET_POSITION:
        m_BasePosition = Args_Get<Vector3>(args);
        break;
    case MSG_MA_GET_POSITION:
        Args_Answer(args, m_BasePosition);
        break;
    case MSG_MA_SET_ROTATION:
        m_Spin = Args_Get<Vector3>(args);
        break;
    case MSG_MA_GET_ROTATION:
        Args_Answer(args, m_Spin);
        break;
    case MSG_MA_SET_DIR_BY_MOV:
    case MSG_MA_SET_DIR_BY_WS_MOV: {
        const uint32_t bit = id == MSG_MA_SET_DIR_BY_MOV ? MATRIX_ANIM_DIR_BY_MOV : MATRIX_ANIM_DIR_BY_WS_MOV;
        m_AnimFlags = Args_Get<uint32_t>(args) ? (m_AnimFlags | bit) : (m_AnimFlags & ~bit);
        break;
    }
    case MSG_MA_GET_DIR_BY_MOV:
    case MSG_MA_GET_DIR_BY_WS_MOV: {
        const uint32_t bit = id == MSG_MA_GET_DIR_BY_MOV ? MATRIX_ANIM_DIR_BY_MOV : MATRIX_ANIM_DIR_BY_WS_MOV;
        Args_Answer<uint32_t>(args, (m_AnimFlags & bit) ? 1 : 0);
        break;
    }
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
