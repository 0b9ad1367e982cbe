#include "actors/gameplay/UIButton.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

namespace {

constexpr MessageRow kUIButtonRows[] = {
    SheetRow("UI Button Properties", PROP_TITLE),
    FieldRow<&CQVUIButton::m_Type>(MSG_SET_UI_BUTTON_TYPE, MSG_GET_UI_BUTTON_TYPE, "Type:|Type0|0|", PROP_CHOICE),
    SheetRow("Calculate Rect:|Calculate|", PROP_BUTTON, MSG_UI_BUTTON_CALCULATE_RECT),
    MemberRow<&CQVUIButton::Active, &CQVUIButton::SetActive>(MSG_SET_UI_BUTTON_ACTIVE, MSG_GET_UI_BUTTON_ACTIVE,
                                                             "Active", PROP_CHECK),
    FieldRow<&CQVUIButton::m_Static>(MSG_SET_UI_BUTTON_STATIC, MSG_GET_UI_BUTTON_STATIC, "Static", PROP_CHECK),
    FieldRow<&CQVUIButton::m_Default>(MSG_SET_UI_BUTTON_DEFAULT_BUTTON, MSG_GET_UI_BUTTON_DEFAULT_BUTTON, "Default",
                                      PROP_CHECK),
    SheetRow("Event Properties", PROP_SEPARATOR),
    SheetRow("Event", PROP_EVENT_LIST),
};

// The action children are not copied: a copy looks up its own at "Precalculate".
constexpr MessageTable kUIButtonMessages{kUIButtonRows,
                                         CopiedFields<&CQVUIButton::m_Rect, &CQVUIButton::m_Over>()};

// A button without a text or sprite child is this big around its position.
constexpr float DEFAULT_HALF_WIDTH = 60.0f;
constexpr float DEFAULT_HALF_HEIGHT = 20.0f;
constexpr int32_t DEFAULT_WIDTH = 120;
constexpr int32_t DEFAULT_HEIGHT = 40;
// Files before this version hold the started bit after the type.
constexpr uint32_t VERSION_STARTED_BIT_DROPPED = 64;

CQVActor* FirstChildOfClass(CQVActor* actor, uint32_t type) {
    ActorSearchByClass search{type, nullptr};
    actor->HandleMessage(MSG_FIRST_CHILD_OF_CLASS, Args_Of(&search));
    return search.result;
}

}  // namespace

CQVUIButton::CQVUIButton() { m_ClassType = CLASS_UI_BUTTON; }

void CQVUIButton::CalculateRect() {
    CQVActor* layout = FirstChildOfClass(this, CLASS_UI_TEXT);
    if (layout == nullptr) layout = FirstChildOfClass(this, CLASS_UI_SPRITE);
    if (layout) {
        UIRect* rect = &m_Rect;
        layout->HandleMessage(MSG_UI_RECT, Args_Of(&rect));
        return;
    }
    const Vector3 world = GetWorldPosition();
    m_Rect.left = UI_Truncate(world.x - DEFAULT_HALF_WIDTH);
    m_Rect.top = UI_Truncate(world.y - DEFAULT_HALF_HEIGHT);
    m_Rect.right = m_Rect.left + DEFAULT_WIDTH;
    m_Rect.bottom = m_Rect.top + DEFAULT_HEIGHT;
}

void CQVUIButton::OnCursor(MessageArgs args) {
    if (!IsOperational() || !(m_Activity & ACTIVITY_ENABLED) || m_Static || !args.Holds(0, sizeof(UICursorArgs)))
        return;
    const auto cursor = Args_Get<UICursorArgs>(args);
    if (m_Rect.Contains(cursor.x, cursor.y)) {
        if (!m_Over) UI_Send(this, MSG_ON_UI_BUTTON_OVER);
        if (cursor.pressed) UI_Send(this, MSG_ON_UI_BUTTON_DOWN);
        if (cursor.released) UI_Send(this, MSG_ON_UI_BUTTON_UP);
        m_Over = 1;
    } else {
        if (m_Over) UI_Send(this, MSG_ON_UI_BUTTON_OUT);
        m_Over = 0;
    }
}

int CQVUIButton::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUIButtonMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_UI_BUTTON_CALCULATE_RECT:
        CalculateRect();
        break;
    case MSG_ON_UI_BUTTON_UP:
        UI_Send(m_UpAction.target, MSG_ACTION_START);
        break;
    case MSG_ON_UI_BUTTON_DOWN:
        UI_Send(m_DownAction.target, MSG_ACTION_START);
        break;
    case MSG_ON_UI_BUTTON_OVER:
        UI_Send(m_OverAction.target, MSG_ACTION_START);
        break;
    case MSG_ON_UI_BUTTON_OUT:
    case MSG_ACTION_START_POST:
        UI_Send(m_OverAction.target, MSG_ACTION_STOP);
        break;
    case MSG_UI_CURSOR:
        OnCursor(args);
        break;
    case MSG_START:
    case MSG_ACTION_START:
        m_Activity |= ACTIVITY_ENABLED;
        m_ActionTime = 0.0f;
        break;
    case MSG_STOP:
    case MSG_ACTION_STOP:
        m_Activity &= ~ACTIVITY_ENABLED;
        break;
    case MSG_PRECALCULATE:
        CalculateRect();
        m_OverAction.SetTarget(UI_Find(this, "On_Input_Over"));
        m_UpAction.SetTarget(UI_Find(this, "On_Input_Up"));
        m_DownAction.SetTarget(UI_Find(this, "On_Input_Down"));
        UI_Send(m_OverAction.target, MSG_ACTION_STOP);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVUIButton*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kUIButtonMessages.Copy(*this, *source);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUIButton::Update() {
    if (!IsOperational()) return;
    if (m_Activity & ACTIVITY_ENABLED) m_ActionTime += UI_RefreshClock(this);
    CQVActor::Update();
}

int CQVUIButton::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version >= 1) {
        archive->SerializeDword(&m_Type);
        if (version < VERSION_STARTED_BIT_DROPPED) {
            uint32_t started = Active();
            archive->SerializeDword(&started);
            SetActive(started);
        }
        archive->SerializeDword(&m_Static);
        archive->SerializeDword(&m_Default);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVUIButton::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_BUTTON];
    record.Define("UI Button", "UI Button", {CLASS_BASE, CLASS_UI_BUTTON});
    kUIButtonMessages.AddSheet(record);
}
