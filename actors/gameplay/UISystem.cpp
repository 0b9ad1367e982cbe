#include "actors/gameplay/UISystem.h"

#include "actors/gameplay/UISupport.h"
#include "actors/gameplay/UIWindow.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/input/Input.h"
#include "services/render/View.h"

namespace {

constexpr MessageRow kUISystemRows[] = {
    SheetRow("UI System Properties", PROP_TITLE),
    FieldRow<&CQVUISystem::m_Type>(MSG_SET_UI_SYSTEM_TYPE, MSG_GET_UI_SYSTEM_TYPE, "Type:|Type0|0|", PROP_CHOICE),
    FieldRow<&CQVUISystem::m_RefWidth>(MSG_SET_UI_SYSTEM_REF_WIDTH, MSG_GET_UI_SYSTEM_REF_WIDTH, "Ref Width:",
                                       PROP_REAL)
        .Then<&CQVUISystem::RecomputeScale>(),
    FieldRow<&CQVUISystem::m_RefHeight>(MSG_SET_UI_SYSTEM_REF_HEIGHT, MSG_GET_UI_SYSTEM_REF_HEIGHT, "Ref Height:",
                                        PROP_REAL)
        .Then<&CQVUISystem::RecomputeScale>(),
    FieldRow<&CQVUISystem::m_UIActive>(MSG_SET_UI_SYSTEM_ACTIVE, MSG_GET_UI_SYSTEM_ACTIVE, "UI System active:",
                                       PROP_CHECK),
};

// The cursor link is not copied: a copy finds its own "Cursor" when it activates.
constexpr MessageTable kUISystemMessages{
    kUISystemRows,
    CopiedFields<&CQVUISystem::m_CursorX, &CQVUISystem::m_CursorY, &CQVUISystem::m_CursorDepth>()};

constexpr uint32_t LEFT_MOUSE_BUTTON = QVI_MOUSEL;

}  // namespace

CQVUISystem::CQVUISystem() { m_ClassType = CLASS_UI_SYSTEM; }

CQVUISystem::~CQVUISystem() {
    // A paused game whose pause actor is gone would stand still for good.
    if (g_ActorSystem && g_ActorSystem->m_PauseActor == this) g_ActorSystem->SetPaused(0, nullptr, 0);
}

void CQVUISystem::RecomputeScale() {
    m_Scale.x = static_cast<float>(Graphics_GetViewportWidth()) / m_RefWidth;
    m_Scale.y = static_cast<float>(Graphics_GetViewportHeight()) / m_RefHeight;
    InvalidateTransform();
}

int CQVUISystem::Activate() {
    if (m_UIActive) return 1;
    m_ActionTime = 0.0f;
    m_UIActive = 1;
    RecomputeScale();
    if (g_ActorSystem) g_ActorSystem->SetPaused(1, this, 0);
    m_Cursor.SetTarget(UI_Find(this, "Cursor"));
    UI_Send(m_Cursor.target, MSG_ACTION_START);
    return 1;
}

int CQVUISystem::Deactivate() {
    if (!m_UIActive) return 1;
    g_FocusWindow = nullptr;
    g_PreviousWindow = nullptr;
    if (m_Cursor.target == nullptr) m_Cursor.SetTarget(UI_Find(this, "Cursor"));
    UI_Send(m_Cursor.target, MSG_ACTION_STOP);
    m_UIActive = 0;
    if (g_ActorSystem) g_ActorSystem->SetPaused(0, nullptr, 0);
    return 1;
}

int CQVUISystem::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUISystemMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_UI_SYSTEM_ACTIVATE:
        if (m_UIActive) return 1;
        Activate();
        break;
    case MSG_UI_SYSTEM_DEACTIVATE:
        if (!m_UIActive) return 1;
        Deactivate();
        break;
    case MSG_PRECALCULATE:
        RecomputeScale();
        if (m_UIActive) {
            // The flag came from a file or the sheet: activation still has to
            // run (pause, cursor), which it skips for a flag already set.
            m_UIActive = 0;
            HandleMessage(MSG_UI_SYSTEM_ACTIVATE, nullptr);
        } else {
            HandleMessage(MSG_UI_SYSTEM_DEACTIVATE, nullptr);
        }
        UI_ScheduleProcess(this);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVUISystem*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kUISystemMessages.Copy(*this, *source);
        break;
    case MSG_ACTION_START:
        HandleMessage(MSG_UI_SYSTEM_ACTIVATE, nullptr);
        break;
    case MSG_ACTION_STOP:
        HandleMessage(MSG_UI_SYSTEM_DEACTIVATE, nullptr);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUISystem::Process() {
    if (!IsOperational() || !m_UIActive) return;
    CQVActor* cursor = m_Cursor.target;
    if (cursor == nullptr) return;
    m_CursorX += CQVEngine::GetActionValue(QVDI_AXISX, 0) * CURSOR_SPEED;
    m_CursorY += CQVEngine::GetActionValue(QVDI_AXISY, 0) * CURSOR_SPEED;
    if (m_CursorX < 0.0f) m_CursorX = 0.0f;
    if (m_CursorY < 0.0f) m_CursorY = 0.0f;
    if (m_CursorY > m_RefHeight) m_CursorY = m_RefHeight;
    if (m_CursorX > m_RefWidth) m_CursorX = m_RefWidth;
    UI_SendValue(cursor, MSG_SET_POSITION,
                 Vector3(m_CursorX - CURSOR_HOT_SPOT, m_CursorY - CURSOR_HOT_SPOT, m_CursorDepth));

    UICursorArgs cursorArgs{UI_Truncate(m_Scale.x * m_CursorX), UI_Truncate(m_Scale.y * m_CursorY),
                            CQVEngine::WasKeyReleased(LEFT_MOUSE_BUTTON) ? 1u : 0u,
                            CQVEngine::WasKeyPressed(LEFT_MOUSE_BUTTON) ? 1u : 0u};
    if (g_FocusWindow == nullptr) return;
    const MessageArgs block = Args_Of(&cursorArgs);
    RecursiveCommandArgs recursive{MSG_UI_CURSOR, &block};
    g_FocusWindow->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(&recursive));
}

int CQVUISystem::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_Type);
        archive->SerializeDword(&m_RefWidth);
        archive->SerializeDword(&m_RefHeight);
        archive->SerializeDword(&m_UIActive);
    }
    // The pixel scale is the viewport's, set again at "Precalculate".
    m_Scale.x = 1.0f;
    m_Scale.y = 1.0f;
    return archive->HasFailed() ? 0 : 1;
}

void CQVUISystem::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_SYSTEM];
    record.Define("UI System", "UI System", {CLASS_BASE, CLASS_UI_SYSTEM});
    kUISystemMessages.AddSheet(record);
}
