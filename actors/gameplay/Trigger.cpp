#include "actors/gameplay/Trigger.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"

#include <vector>

namespace {

constexpr MessageRow kTriggerRows[] = {
    SheetRow("Trigger Properties", PROP_TITLE),
    FieldRow<&CQVTrigger::Sphere, &ColObj::boxMax, &Vector3::x>(MSG_SET_TRIGGER_RADIUS, MSG_GET_TRIGGER_RADIUS,
                                                                 "Radius", PROP_REAL),
    // Shown in the editor only: the game draws no trigger.
    SheetRow("Show", PROP_CHECK, MSG_SET_TRIGGER_VISIBILITY, MSG_GET_TRIGGER_VISIBILITY),
    SheetRow("Deactivate After Trig Time.", PROP_SEPARATOR),
    FieldRow<&CQVTrigger::m_DeactivateTime>(MSG_SET_TRIGGER_DEACTIVATE_TIME, MSG_GET_TRIGGER_DEACTIVATE_TIME,
                                            "Trigger Deactive:", PROP_TIME),
    FieldRow<&CQVTrigger::m_MaxCount>(MSG_SET_SELECTION_MAX_COUNT, MSG_GET_SELECTION_MAX_COUNT, "Max Count:",
                                      PROP_UINT),
    SheetRow("Trigger Script", PROP_SEPARATOR),
    SheetRow("Event", PROP_EVENT_LIST),
    FieldRow<&CQVTrigger::m_DelayTime>(MSG_SET_TRIGGER_DELAY_TIME, MSG_GET_TRIGGER_DELAY_TIME),
};

constexpr MessageTable kTriggerMessages{kTriggerRows, CopiedFields<&CQVTrigger::m_Occupied>()};

constexpr float kDefaultRadius = 200.0f;
constexpr uint32_t kCharacterGroup = 1u << 26; // the group bit every Character's objects carry

}  // namespace

CQVTrigger::CQVTrigger() { m_ClassType = CLASS_TRIGGER; }

uint32_t CQVTrigger::ContactCount() const {
    uint32_t count = 0;
    for (const TriggerContact& contact : m_Contacts) {
        if (!contact.dropped) ++count;
    }
    return count;
}

void CQVTrigger::Touch(CQVActor* partner) {
    for (TriggerContact& contact : m_Contacts) {
        if (!contact.dropped && contact.link.target == partner) {
            contact.current = 1;
            return;
        }
    }
    // A full list ignores the partner this frame; it is seen again later.
    if (ContactCount() >= m_MaxCount) return;
    TriggerContact& contact = m_Contacts.emplace_back();
    contact.link.SetOwner(this);
    contact.link.SetTarget(partner);
    contact.current = 1;
    ScheduleProcess();
}

void CQVTrigger::Forget(const ActorLink* link) {
    for (auto it = m_Contacts.begin(); it != m_Contacts.end(); ++it) {
        if (&it->link != link) continue;
        // A step walking the list erases it when it is done.
        if (m_Walking) {
            it->dropped = true;
        } else {
            m_Contacts.erase(it);
        }
        return;
    }
}

void CQVTrigger::EraseDropped() {
    m_Contacts.remove_if([](const TriggerContact& contact) { return contact.dropped; });
}

void CQVTrigger::Process() {
    if (!IsOperational()) return;
    // The scripts may kill tracked actors, or send this trigger messages
    // that walk the list again: records leave it only after the walk.
    ++m_Walking;
    for (TriggerContact& contact : m_Contacts) {
        if (contact.dropped) continue;
        // A script that kills the actor drops its record: nothing more runs for it.
        if (contact.current && !contact.previous) {
            if (!m_Occupied) {
                m_Occupied = 1;
                RunScriptsBoundTo(MSG_ON_TRIGGER_ENTER_FIRST, contact.link.target);
            }
            if (!contact.dropped) RunScriptsBoundTo(MSG_ON_TRIGGER_ENTER, contact.link.target);
            contact.previous = 1;
        } else if (!contact.current && contact.previous) {
            RunScriptsBoundTo(MSG_ON_TRIGGER_EXIT, contact.link.target);
            if (!contact.dropped && ContactCount() == 1) {
                m_Occupied = 0;
                RunScriptsBoundTo(MSG_ON_TRIGGER_EXIT_LAST, contact.link.target);
            }
            contact.link.Unlink();
            contact.dropped = true;
        }
        contact.current = 0;
    }
    if (--m_Walking == 0) EraseDropped();
    if (m_Contacts.empty()) CancelProcess();
}

void CQVTrigger::CopyContacts(const CQVTrigger& source) {
    m_Contacts.clear();
    for (const TriggerContact& from : source.m_Contacts) {
        if (from.dropped) continue;
        TriggerContact& contact = m_Contacts.emplace_back();
        contact.link.SetOwner(this);
        contact.link.SetTarget(from.link.target);
        contact.current = from.current;
        contact.previous = from.previous;
    }
}

void CQVTrigger::BuildDefault() {
    ColObj sphere;
    sphere.name = "Trigger";
    sphere.type = COLOBJ_SPHERE;
    sphere.fill = 7;
    sphere.physique = 0;
    sphere.boxMin = Vector3(0.0f, 0.0f, 0.0f);
    sphere.boxMax = Vector3(kDefaultRadius, 0.0f, 0.0f);
    sphere.groups = 0;
    sphere.groupsReceive = kCharacterGroup;
    sphere.groupsExclude = 0;
    sphere.hitEffectGroup = 0;
    sphere.flags = COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_RECEIVES;
    sphere.owner = this;
    sphere.UpdateDerivedGroups(m_ClassType);
    m_ColObjs.push_back(sphere);

    CQVScript script;
    script.name = "On Trigger";
    script.boundMessage = MSG_ON_TRIGGER_ENTER;
    script.owner = this;
    m_Scripts.push_back(script);
}

void CQVTrigger::Precalculate() {
    RefreshClock(this);
    // Scripts of older files wait on the collision itself.
    for (CQVScript& script : m_Scripts) {
        if (script.boundMessage == MSG_COLLISION_EVENT) script.boundMessage = MSG_ON_TRIGGER_ENTER;
    }
    if (m_DrawGroupId != DRAWGROUP_NONE || g_ActorSystem == nullptr) return;
    UpdateWorldMatrix();
    uint32_t group = g_ActorSystem->FindDrawGroupAt(GetWorldPosition(), DRAWGROUP_FIRST_LEVEL);
    if (group != DRAWGROUP_NONE) HandleMessage(MSG_SET_DRAWGROUP, Args_Of(&group));
}

void CQVTrigger::SendToContacts(MessageArgs command) {
    const uint32_t message = Args_Get<uint32_t>(command);
    const MessageArgs block = command.At(sizeof(uint32_t));
    // By id: a handler may kill any of them.
    std::vector<uint32_t> ids;
    for (const TriggerContact& contact : m_Contacts) {
        if (!contact.dropped && contact.link.target) ids.push_back(contact.link.target->m_Id);
    }
    for (uint32_t id : ids) {
        if (CQVActor* actor = CQVActorSystem::GetActorById(id)) actor->HandleMessage(message, block);
    }
}

int CQVTrigger::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kTriggerMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_COLLISION_EVENT:
        if (const ColObj* partner = Args_Pointer<ColObj>(id, args)) Touch(partner->owner);
        break;
    case MSG_COMMANDSELECTION:
        SendToContacts(args);
        break;
    case MSG_START:
    case MSG_ACTION_START:
        SendValue<uint32_t>(MSG_SET_COLLISION_ENABLE, 1);
        break;
    case MSG_STOP:
    case MSG_ACTION_STOP:
    case MSG_KILL_POST:
        SendValue<uint32_t>(MSG_SET_COLLISION_ENABLE, 0);
        break;
    case MSG_SET_COLLISION_ENABLE:
        if (Args_Get<uint32_t>(args)) {
            m_Activity |= ACTIVITY_ENABLED;
        } else {
            m_Activity &= ~ACTIVITY_ENABLED;
        }
        break;
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY:
        m_Occupied = 0;
        break;
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source->m_ClassType == CLASS_TRIGGER) {
            kTriggerMessages.Copy(*this, *source);
            CopyContacts(static_cast<const CQVTrigger&>(*source));
        } else if (source == nullptr) {
            BuildDefault();
        }
        break;
    }
    case MSG_INVALID_ACTORPOINTER:
        Forget(Args_Pointer<ActorLink>(id, args));
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVTrigger::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 21) {
        archive->SerializeDword(&m_DeactivateTime);
        archive->SerializeDword(&m_DelayTime);
    }
    if (archive->version >= 63) archive->SerializeDword(&m_MaxCount);
    return archive->HasFailed() ? 0 : 1;
}

void CQVTrigger::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_TRIGGER];
    record.Define("Trigger", "Trigger", {CLASS_BASE, CLASS_TRIGGER});
    kTriggerMessages.AddSheet(record);
}
