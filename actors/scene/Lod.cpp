#include "actors/scene/Lod.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"

#include <cstdio>
#include <string>

namespace {

// Seconds between two choices of level.
constexpr float kLodCheckPeriod = 1.0f;
// A check timer that makes the next update choose at once.
constexpr float kLodChooseNow = 1000.0f;

constexpr MessageRow kLodRows[] = {
    SheetRow("Lod Properties", PROP_TITLE),
    MemberRow<&CQVLod::LevelCount, &CQVLod::SetLevelCount>(MSG_SET_LOD_LEVEL_COUNT, MSG_GET_LOD_LEVEL_COUNT,
                                                           "Create:|1 Level|1|2 Levels|2|3 Levels|3|4 Levels|4|",
                                                           PROP_CHOICE),
    SheetRow("Level:", PROP_PICKER, MSG_LOD_SELECT_LEVEL, MSG_LOD_LEVEL_NAMES),
    FieldRow<&CQVLod::SelectedLevel, &LodLevel::distance>(MSG_SET_LOD_LEVEL_DISTANCE, MSG_GET_LOD_LEVEL_DISTANCE,
                                                          "Distance:", PROP_REAL),
    FieldRow<&CQVLod::SelectedLevel, &LodLevel::fade>(MSG_SET_LOD_LEVEL_FADE, MSG_GET_LOD_LEVEL_FADE, "Fade:",
                                                      PROP_REAL),
};

constexpr MessageTable kLodMessages{kLodRows, CopiedFields<&CQVLod::m_Selected, &CQVLod::m_Current>()};

std::string LevelChildName(uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "Lev_%u", number);
    return name;
}

std::string LevelLabel(uint32_t number) {
    char label[32];
    std::snprintf(label, sizeof label, "Level %u", number);
    return label;
}

// The picker's texts, one list for the program's run.
std::vector<std::string>& SharedLevelNames() {
    static std::vector<std::string> names;
    return names;
}

}  // namespace

CQVLod::CQVLod() { m_ClassType = CLASS_LOD; }

CQVLod::~CQVLod() = default;

LodLevel* CQVLod::SelectedLevel() {
    return m_Selected >= 0 && m_Selected < static_cast<int32_t>(m_Levels.size()) ? &m_Levels[m_Selected] : nullptr;
}

bool CQVLod::SetLevelCount(uint32_t count) {
    if (count > kLodMaxLevels) return false;
    // A level in use that is dropped stops its child first: nothing would stop it later.
    if (m_Current >= static_cast<int32_t>(count)) {
        CQVActor* child =
            m_Current < static_cast<int32_t>(m_Levels.size()) ? m_Levels[m_Current].child.target : nullptr;
        if (child) child->HandleMessage(MSG_ACTION_STOP, nullptr);
        m_Current = -1;
    }
    m_Levels.resize(count);
    // Indices past the end would address levels that are gone.
    if (m_Selected >= static_cast<int32_t>(count)) m_Selected = -1;
    if (count == 0) return true;
    m_Selected = 0;
    for (uint32_t i = 0; i < count; ++i) {
        LodLevel& level = m_Levels[i];
        const uint32_t number = i + 1;
        const std::string name = LevelChildName(number);
        if (CQVActor* found = FindDescendantByName(this, name.c_str())) {
            level.child.SetOwner(this);
            level.child.SetTarget(found);
            continue;
        }
        CQVActor* made =
            g_ActorSystem ? g_ActorSystem->CreateActor(CLASS_BASE, name.c_str(), nullptr, this, ACTOR_ID_ANY, 1, 0)
                          : nullptr;
        level.child.SetOwner(this);
        level.child.SetTarget(made);
        level.distance = static_cast<float>(i) * 1000.0f;
        level.fade = 1.0f;
    }
    return true;
}

int32_t CQVLod::ChooseLevel(float d) const {
    for (size_t i = 0; i < m_Levels.size(); ++i) {
        if (m_Levels[i].distance > d) return static_cast<int32_t>(i);
    }
    return -1;
}

void CQVLod::Update() {
    if (!IsOperational()) return;
    if (m_Current == -1) m_CheckTimer = kLodChooseNow;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    m_CheckTimer += clock->dt;
    if (m_CheckTimer > kLodCheckPeriod) {
        const CQVEngine* engine = CQVEngine::GetInstance();
        const Vector3 camera = engine ? *engine->GetCameraPosition() : Vector3(0.0f, 0.0f, 0.0f);
        const float d = Vec3_Length(GetWorldPosition() - camera);
        const int32_t chosen = ChooseLevel(d);
        if (chosen != m_Current) {
            if (m_Current >= 0 && m_Current < static_cast<int32_t>(m_Levels.size())) {
                if (CQVActor* child = m_Levels[m_Current].child.target) child->HandleMessage(MSG_ACTION_STOP, nullptr);
            }
            if (chosen >= 0) {
                if (CQVActor* child = m_Levels[chosen].child.target) child->HandleMessage(MSG_ACTION_START, nullptr);
            }
            m_Current = chosen;
        }
        m_CheckTimer = 0.0f;
    }
    CQVActor::Update();
}

int CQVLod::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kLodMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_PRECALCULATE:
        for (uint32_t i = 0; i < m_Levels.size(); ++i) {
            if (CQVActor* found = FindDescendantByName(this, LevelChildName(i + 1).c_str())) {
                m_Levels[i].child.SetOwner(this);
                m_Levels[i].child.SetTarget(found);
            }
        }
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVLod*>(Args_Pointer<CQVActor>(id, args))) {
            m_Levels.clear();
            m_Levels.resize(source->m_Levels.size());
            for (size_t i = 0; i < m_Levels.size(); ++i) {
                m_Levels[i].distance = source->m_Levels[i].distance;
                m_Levels[i].fade = source->m_Levels[i].fade;
                m_Levels[i].child.SetOwner(this);
                m_Levels[i].child.SetTarget(source->m_Levels[i].child.target);
            }
            kLodMessages.Copy(*this, *source);
        }
        break;
    case MSG_ON_DRAW_START:
        // Choose at once on the next update. The level in use is kept, so
        // that a switch stops its child: forgetting it would leave two
        // levels shown.
        m_CheckTimer = kLodChooseNow;
        break;
    case MSG_LOD_SELECT_LEVEL: {
        const char* text = Args_TextOr(args);
        m_Selected = -1;
        for (uint32_t i = 0; i < m_Levels.size(); ++i) {
            if (LevelLabel(i + 1) == text) {
                m_Selected = static_cast<int32_t>(i);
                break;
            }
        }
        return 4;
    }
    case MSG_LOD_LEVEL_NAMES:
        if (auto* out = Args_Pointer<std::vector<std::string>>(id, args)) {
            std::vector<std::string>& names = SharedLevelNames();
            names.clear();
            for (uint32_t i = 0; i < m_Levels.size(); ++i) names.push_back(LevelLabel(i + 1));
            *out = names;
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVLod::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version < 1) return 1;
    uint32_t reserved[2] = {0, 0};
    archive->SerializeDwords(reserved, 2);
    // Each stored level takes four words; a count past the levels offered
    // marks a damaged record.
    uint32_t count = static_cast<uint32_t>(m_Levels.size());
    if (!archive->SerializeCount(&count, 16) || count > kLodMaxLevels) return 0;
    if (archive->direction == ARCHIVE_READING) m_Levels.resize(count);
    for (LodLevel& level : m_Levels) {
        archive->SerializeDword(&level.distance);
        archive->SerializeDword(&level.fade);
        uint32_t words[2] = {0, 0};
        archive->SerializeDwords(words, 2);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVLod::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_LOD];
    record.Define("Lod", "", {CLASS_BASE, CLASS_LOD});
    kLodMessages.AddSheet(record);
}
