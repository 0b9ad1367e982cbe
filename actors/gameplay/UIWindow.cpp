#include "actors/gameplay/UIWindow.h"

#include "actors/gameplay/UIButton.h"
#include "actors/gameplay/UISupport.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

#include <strings.h>

CQVUIWindow* g_FocusWindow = nullptr;
CQVUIWindow* g_PreviousWindow = nullptr;

namespace {

constexpr MessageRow kUIWindowRows[] = {
    SheetRow("UI Window Properties", PROP_TITLE),
    FieldRow<&CQVUIWindow::m_Type>(MSG_SET_UI_WINDOW_TYPE, MSG_GET_UI_WINDOW_TYPE, "Type:|Type0|0|", PROP_CHOICE),
};

constexpr MessageTable kUIWindowMessages{
    kUIWindowRows, CopiedFields<&CQVUIWindow::m_HasFocus, &CQVUIWindow::m_Buttons, &CQVUIWindow::m_CurrentButton,
                                &CQVUIWindow::m_NamedButtons>()};

constexpr const char* kNamedButtonPrefix = "Button_";
constexpr size_t kNamedButtonPrefixLength = 7;

std::vector<ActorLink> LinksTo(const std::vector<CQVActor*>& actors) {
    std::vector<ActorLink> links(actors.size());
    for (size_t i = 0; i < actors.size(); ++i) links[i].SetTarget(actors[i]);
    return links;
}

}  // namespace

CQVUIWindow::CQVUIWindow() { m_ClassType = CLASS_UI_WINDOW; }

CQVUIWindow::~CQVUIWindow() {
    if (g_FocusWindow == this) g_FocusWindow = nullptr;
    if (g_PreviousWindow == this) g_PreviousWindow = nullptr;
}

std::vector<CQVActor*> CQVUIWindow::Buttons() const {
    std::vector<CQVActor*> buttons;
    for (const ActorLink& link : m_Buttons) {
        if (link.target) buttons.push_back(link.target);
    }
    return buttons;
}

void CQVUIWindow::TakeFocus() {
    m_HasFocus = 1;
    m_Buttons.clear();
    m_CurrentButton = 0;
    std::vector<CQVActor*> found;
    CollectDescendantsArgs collect{CLASS_UI_BUTTON, CLASS_UI_WINDOW, &found};
    HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&collect));
    m_Buttons = LinksTo(found);

    CQVUIWindow* old = g_FocusWindow;
    g_PreviousWindow = old;
    g_FocusWindow = this;
    // The old page's buttons under the cursor are left; the list is read
    // again after each send, whose scripts may change the windows.
    for (size_t i = 0; old && g_PreviousWindow == old && i < old->m_Buttons.size(); ++i) {
        CQVActor* button = old->m_Buttons[i].target;
        if (button && button->m_ClassType == CLASS_UI_BUTTON && static_cast<CQVUIButton*>(button)->m_Over)
            UI_Send(button, MSG_ON_UI_BUTTON_OUT);
    }
    m_ActionTime = 0.0f;
}

void CQVUIWindow::GiveFocusBack() {
    if (g_FocusWindow != g_PreviousWindow) {
        g_FocusWindow = g_PreviousWindow;
        UI_Send(g_FocusWindow, MSG_UI_WINDOW_SET_FOCUS);
        g_PreviousWindow = this;
    }
    m_HasFocus = 0;
    m_Activity &= ~ACTIVITY_ENABLED;
}

int CQVUIWindow::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUIWindowMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_UI_WINDOW_SET_FOCUS:
        TakeFocus();
        break;
    case MSG_ACTION_START:
        HandleMessage(MSG_UI_WINDOW_SET_FOCUS, nullptr);
        m_Activity |= ACTIVITY_ENABLED;
        break;
    case MSG_ACTION_STOP:
        GiveFocusBack();
        break;
    case MSG_PRECALCULATE:
        for (CQVActor* child : m_Children) {
            if (child && strncasecmp(child->m_Name.c_str(), kNamedButtonPrefix, kNamedButtonPrefixLength) == 0)
                m_NamedButtons.emplace_back().SetTarget(child);
        }
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVUIWindow*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kUIWindowMessages.Copy(*this, *source);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUIWindow::Update() {
    // Nothing under a window without focus is updated, so nothing of it is drawn.
    if (!IsOperational() || !m_HasFocus) return;
    m_ActionTime += UI_RefreshClock(this);
    CQVActor::Update();
}

int CQVUIWindow::SerializeWindowFields(CQVActor* actor, CQVActorArchive* archive, uint32_t flags, uint32_t* type) {
    if (!actor->CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        archive->SerializeDword(type);
        uint32_t unused[3] = {0, 0, 0};
        archive->SerializeDwords(unused, 3);
    }
    return archive->HasFailed() ? 0 : 1;
}

int CQVUIWindow::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return SerializeWindowFields(this, archive, flags, &m_Type);
}

void CQVUIWindow::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_WINDOW];
    record.Define("UI Window", "UI Window", {CLASS_BASE, CLASS_UI_WINDOW});
    kUIWindowMessages.AddSheet(record);
}
