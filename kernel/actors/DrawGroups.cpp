#include "kernel/actors/DrawGroups.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/Clock.h"

#include <cstring>

std::vector<CQVDrawGroupBase*> g_DrawGroups;
DrawnGroupLink g_DrawnGroups{&g_DrawnGroups, &g_DrawnGroups, nullptr, 1};
Vector3 g_DrawCameraPosition(0.0f, 0.0f, 0.0f);
std::vector<ColObj*> g_DrawGroupColObjs[DRAWGROUP_LIST_COUNT];
std::list<CQVActor*> g_ActiveMovers;
std::list<CQVActor*> g_PassiveMovers;
DrawGroupCounters g_DrawGroupCounters;

namespace {

// The built-in groups 0 and 1: in no actor tree, with an empty box that no
// position search returns. Defined after the table they enter.
CQVDrawGroupBase g_BuiltInGroups[DRAWGROUP_FIRST_LEVEL];

double (*g_FrameClockSource)() = nullptr;

constexpr MessageRow kDrawGroupBaseRows[] = {
    BoolRow<&CQVDrawGroupBase::m_Open>(MSG_SET_OPEN_DRAWGROUP, MSG_GET_OPEN_DRAWGROUP).WholeValue(),
};
constexpr MessageTable kDrawGroupBaseMessages{kDrawGroupBaseRows};

void LinkDrawn(DrawnGroupLink* link) {
    if (link->headMarker == 0) return;
    link->previous = &g_DrawnGroups;
    link->next = g_DrawnGroups.next;
    g_DrawnGroups.next->previous = link;
    g_DrawnGroups.next = link;
    link->headMarker = 0;
}

void UnlinkDrawn(DrawnGroupLink* link) {
    if (link->headMarker != 0) return;
    link->previous->next = link->next;
    link->next->previous = link->previous;
    link->next = nullptr;
    link->previous = nullptr;
    link->headMarker = 1;
}

}  // namespace

CQVDrawGroupBase::CQVDrawGroupBase() : m_Slot(static_cast<uint32_t>(g_DrawGroups.size())) {
    m_ClassType = CLASS_DRAW_GROUP;
    m_DrawGroupId = m_Slot;
    m_DrawnLink.group = this;
    g_DrawGroups.push_back(this);
}

CQVDrawGroupBase::~CQVDrawGroupBase() {
    if (m_Slot < g_DrawGroups.size() && g_DrawGroups[m_Slot] == this) g_DrawGroups[m_Slot] = nullptr;
    UnlinkDrawn(&m_DrawnLink);
    if (!m_Actors.empty()) DrawGroups_ForgetPlaces();
}

int CQVDrawGroupBase::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kDrawGroupBaseMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_ON_DRAW_START:
        m_Drawing = 1;
        LinkDrawn(&m_DrawnLink);
        break;
    case MSG_ON_DRAW_STOP:
        UnlinkDrawn(&m_DrawnLink);
        m_Drawing = 0;
        break;
    case MSG_GET_DRAWGROUP_AABOX:
        if (args) {
            Vector3 box[2];
            Box_Transform(&box[0], &box[1], m_BoxMin, m_BoxMax, GetWorldMatrix());
            Args_Set(args, 0, box[0]);
            Args_Set(args, sizeof(Vector3), box[1]);
        }
        return 1;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVDrawGroupBase::OnVisible(float dt) {
    if (!IsOperational()) return;
    if (!m_Drawing) HandleMessage(MSG_ON_DRAW_START, nullptr);
    CQVActor::Update();
}

CQVDrawGroupConnectorBase::CQVDrawGroupConnectorBase() { m_ClassType = CLASS_DRAW_GROUP_CONNECTOR; }

void CQVDrawGroupConnectorBase::OnVisible(float dt) {
    if (IsOperational()) CQVActor::Update();
}

CQVDrawGroupBase* DrawGroups_Get(uint32_t id) { return id < g_DrawGroups.size() ? g_DrawGroups[id] : nullptr; }

void DrawGroups_Reset() {
    for (std::vector<ColObj*>& list : g_DrawGroupColObjs) list.clear();
    g_ActiveMovers.clear();
    g_PassiveMovers.clear();
    DrawGroups_ForgetPlaces();
    for (size_t slot = DRAWGROUP_FIRST_LEVEL; slot < g_DrawGroups.size(); ++slot) {
        if (CQVDrawGroupBase* group = g_DrawGroups[slot]) group->m_Slot = DRAWGROUP_NONE;
    }
    g_DrawGroups.resize(DRAWGROUP_FIRST_LEVEL);
}

void Actor_SendRecursive(CQVActor* actor, uint32_t id, MessageArgs block) {
    if (actor == nullptr) return;
    const RecursiveCommandArgs command{id, &block};
    actor->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(&command));
}

double FrameClock_TakeDelta() {
    if (g_FrameClockSource) return g_FrameClockSource();
    CQVClock::Create();
    return g_Clock->GetDelta();
}

void FrameClock_SetSource(double (*source)()) { g_FrameClockSource = source; }
