#include "actors/gameplay/GameContainer.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"

#include <strings.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

constexpr MessageRow kGameContainerRows[] = {
    SheetRow("Game Container Properties", PROP_TITLE),
    FieldRow<&CQVGameContainer::m_ContainerType>(MSG_SET_CONTAINER_TYPE, MSG_GET_CONTAINER_TYPE,
                                                 "Create:|Objec|0|Door|1|Trap Wire Trigger|2|", PROP_CHOICE)
        .Then<&CQVGameContainer::BuildParts>(),
    FieldRow<&CQVGameContainer::m_SearchTime>(MSG_SET_SEARCH_TIME, MSG_GET_SEARCH_TIME, "Search Time", PROP_TIME),
    SheetRow("Game Container Trigger Properties", PROP_TITLE),
    FieldRow<&CQVGameContainer::m_TriggerType>(MSG_SET_TRIGGER_TYPE, MSG_GET_TRIGGER_TYPE,
                                               "Trig On:|Action|0|Collision|1|Sound|2|Weight|2|", PROP_CHOICE),
    BoolRow<&CQVGameContainer::m_DeleteAfterActivation>(MSG_SET_DELETE_AFTER_ACTIVATION,
                                                        MSG_GET_DELETE_AFTER_ACTIVATION,
                                                        "Delete After Activation: ", PROP_CHECK),
    SheetRow("Sound or Weight level needed to trigger...", PROP_SEPARATOR),
    FieldRow<&CQVGameContainer::m_TriggerTime>(MSG_SET_TRIGGER_TIME, MSG_GET_TRIGGER_TIME, "Trigger Time",
                                               PROP_TIME),
    SheetRow("Test Container", PROP_SEPARATOR),
    SheetRow("Listen To Container:|Listen|", PROP_BUTTON, MSG_LISTEN_TO_CONTAINER),
};

constexpr MessageTable kGameContainerMessages{
    kGameContainerRows,
    CopiedFields<&CQVGameContainer::m_Reserved, &CQVGameContainer::m_Searching, &CQVGameContainer::m_SearchElapsed,
                 &CQVGameContainer::m_Searcher, &CQVGameContainer::m_TouchDelay, &CQVGameContainer::m_ActionDelay,
                 &CQVGameContainer::m_TrapDelay, &CQVGameContainer::m_PositionReplicatePending,
                 &CQVGameContainer::m_Trap, &CQVGameContainer::m_ActionThisFrame>()};

// The children each container type is built with.
struct ContainerPart {
    uint32_t type;
    const char* name;
};
const std::vector<ContainerPart> kParts[] = {
    {{CLASS_OBJECT, "Object"}, {CLASS_SPAWN_POINT, "Spawn"}, {CLASS_SOUND, "Empty Sound"},
     {CLASS_SOUND, "Item Sound"}, {CLASS_SOUND, "Trap Sound"}},
    {{CLASS_DOOR, "Door"}, {CLASS_SPAWN_POINT, "Spawn"}, {CLASS_SOUND, "Empty Sound"},
     {CLASS_SOUND, "Item Sound"}, {CLASS_SOUND, "Trap Sound"}},
    {{CLASS_OBJECT, "Trigger"}, {CLASS_SPAWN_POINT, "Spawn"}, {CLASS_OBJECT, "Wire"}},
    {{CLASS_OBJECT, "Trigger"}, {CLASS_SPAWN_POINT, "Spawn"}},
};

// The sound children by the start of their names, without regard to case.
constexpr const char* kSoundPrefixes[CONTAINER_SOUND_COUNT] = {"Empty", "Item", "Trap"};

constexpr uint32_t kItemTypeNone = 0xFFFFFFFF;
constexpr uint32_t kItemTypeTrap = 1;
constexpr uint32_t kItemInContainer = 0; // the item state of an item already put away
constexpr float kTrapFrequency = 1.2f;
constexpr float kUseDelay = 2.0f;        // seconds between two uses
constexpr float kSearchStartDelay = 0.2f;
constexpr float kSearchEndDelay = 1.0f;
constexpr float kTrapSetDelay = 3.0f;
constexpr float kTouchCheckDelay = 0.5f;
constexpr float kTouchActivatedDelay = 4.0f;
constexpr uint32_t COLOBJ_CHARACTER_BODY = 0x20; // the subtype bit of a character's body

#pragma pack(push, 1)
struct UseArgs {
    uint32_t user;
    uint32_t item;
};
struct PowerupArgs {
    uint32_t index;
    float value;
    float time;
};
struct TrapNotice {
    uint32_t item;
    float elapsed;
    float minTime;
    float maxTime;
};
#pragma pack(pop)

uint32_t ItemType(CQVActor* actor) {
    if (actor == nullptr || actor->m_ClassType != CLASS_GAME_OBJECT) return kItemTypeNone;
    return actor->AskValue<uint32_t>(MSG_GET_GAMEOBJECT_TYPE_25B, kItemTypeNone);
}

bool IsMaster(const CQVActor* actor) { return actor && (actor->m_Flags & ACTOR_MASTER); }

}  // namespace

CQVGameContainer::CQVGameContainer() {
    m_ClassType = CLASS_GAME_CONTAINER;
    m_FingerPrints.SetOwner(this);
    m_SpawnPoint.SetOwner(this);
    for (ActorLink& link : m_Sounds) link.SetOwner(this);
}

CQVActor* CQVGameContainer::Content() { return FindDescendantByClass(this, CLASS_GAME_OBJECT); }

void CQVGameContainer::Replicate(uint32_t message, MessageArgs args) {
    if (g_ActorSystem) g_ActorSystem->ReplicateMessage(m_Id, message, args);
}

void CQVGameContainer::Play(ContainerSound sound) {
    if (CQVActor* actor = m_Sounds[sound].target) actor->HandleMessage(MSG_PLAY_SOUND, nullptr);
}

void CQVGameContainer::ShowFingerPrints(bool shown) {
    if (CQVActor* prints = m_FingerPrints.target) prints->SendValue<uint32_t>(MSG_SET_OPERATIONAL, shown ? 1 : 0);
}

void CQVGameContainer::OpenDoors() { SendToChildren(MSG_OPEN_DOOR_300, nullptr); }

void CQVGameContainer::BuildParts() {
    if (g_ActorSystem == nullptr) return;
    const std::vector<CQVActor*> children = m_Children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (*it && CQVActorSystem::GetTableSlot((*it)->m_Id) == *it) g_ActorSystem->DeleteActor(*it);
    }
    {
        DrawGroupLeave leave(this);
        m_ColObjs.clear();
        ColObj event;
        event.name = "Event";
        event.type = COLOBJ_BOX;
        event.fill = 7;
        event.physique = 0;
        event.boxMin = Vector3(-20.0f, 10.0f, -20.0f);
        event.boxMax = Vector3(20.0f, 60.0f, 20.0f);
        event.groups = 1;
        event.groupsReceive = 1;
        event.groupsExclude = 0;
        event.flags = COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_RECEIVES;
        event.owner = this;
        event.UpdateDerivedGroups(m_ClassType);
        m_ColObjs.push_back(event);
    }
    if (m_ContainerType >= std::size(kParts)) return;
    for (const ContainerPart& part : kParts[m_ContainerType]) {
        g_ActorSystem->CreateActor(part.type, part.name, nullptr, this, ACTOR_ID_ANY, 1, 1);
    }
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->SendValue<uint32_t>(MSG_SET_LOCK_TRANSFORM, 1);
    }
}

void CQVGameContainer::FindParts() {
    CQVActor* prints = FindDescendantByName(this, "FingerPrints");
    if (prints != m_FingerPrints.target) m_FingerPrints.SetTarget(prints);
    ShowFingerPrints(false);
    CQVActor* spawn = FindDescendantByClass(this, CLASS_SPAWN_POINT);
    if (spawn != m_SpawnPoint.target) m_SpawnPoint.SetTarget(spawn);
    CQVActor* sounds[CONTAINER_SOUND_COUNT] = {};
    for (CQVActor* child : m_Children) {
        if (child == nullptr) continue;
        for (uint32_t i = 0; i < CONTAINER_SOUND_COUNT; ++i) {
            if (strncasecmp(child->m_Name.c_str(), kSoundPrefixes[i], std::strlen(kSoundPrefixes[i])) == 0) {
                sounds[i] = child;
                break;
            }
        }
    }
    for (uint32_t i = 0; i < CONTAINER_SOUND_COUNT; ++i) {
        if (sounds[i] != m_Sounds[i].target) m_Sounds[i].SetTarget(sounds[i]);
    }
    ScheduleProcess();
}

void CQVGameContainer::Listen() {
    CQVActor* content = Content();
    const uint32_t type = ItemType(content);
    if (content == nullptr || type == kItemTypeNone) {
        Play(CONTAINER_SOUND_EMPTY);
    } else if (type == kItemTypeTrap) {
        if (CQVActor* sound = m_Sounds[CONTAINER_SOUND_TRAP].target) sound->SendValue(MSG_SET_FREQUENCY, kTrapFrequency);
        Play(CONTAINER_SOUND_TRAP);
    } else {
        Play(CONTAINER_SOUND_ITEM);
    }
}

void CQVGameContainer::ActivateContent(uint32_t activatorId) {
    CQVActor* activator = CQVActorSystem::GetActorById(activatorId);
    CQVActor* content = Content();
    const bool held = content != nullptr;
    if (activator && content) {
        if (IsMaster(activator)) Replicate(MSG_ACTIVATE_CONTENT, Args_Of(&activatorId));
        content->SendValue(MSG_SET_STATE_ACTIVATE, activatorId);
    }
    if (held && m_DeleteAfterActivation && g_ActorSystem) g_ActorSystem->QueueDelete(this);
}

void CQVGameContainer::InsertContent(uint32_t holderId, uint32_t itemId) {
    CQVActor* item = CQVActorSystem::GetActorById(itemId);
    if (item == nullptr || item->AskValue<uint32_t>(MSG_GET_STATE_265, kItemTypeNone) == kItemInContainer) return;
    if (IsMaster(CQVActorSystem::GetActorById(holderId))) {
        const UseArgs use{holderId, itemId};
        Replicate(MSG_INSERT_CONTENT, Args_Of(&use));
    }
    item->SendValue(MSG_SET_STATE_CONTAINER, holderId);
    if (CQVActor* spawn = m_SpawnPoint.target; spawn && g_ActorSystem) g_ActorSystem->MoveActor(item, spawn);
    ShowFingerPrints(true);
    m_ActionDelay = m_TouchDelay = kUseDelay;
}

void CQVGameContainer::CalculateEventBox() {
    if (m_ColObjs.empty()) return;
    Box box{Vector3(1e38f, 1e38f, 1e38f), Vector3(-1e38f, -1e38f, -1e38f)};
    if (m_ContainerType == CONTAINER_TRAP_WIRE) {
        if (CQVActor* wire = FindDescendantByName(this, "Wire")) wire->HandleMessage(MSG_CALCULATE_AABOX, Args_Of(&box));
    } else {
        for (size_t i = 0; i < m_Children.size(); ++i) {
            if (m_Children[i]) m_Children[i]->HandleMessage(MSG_CALCULATE_AABOX, Args_Of(&box));
        }
    }
    // Parts with no bounds grow nothing: the box the container has stays.
    if (box.min.x > box.max.x || box.min.y > box.max.y || box.min.z > box.max.z) return;
    Vector3 low, high;
    Box_Transform(&low, &high, box.min, box.max, GetInverseWorldMatrix());
    DrawGroupLeave leave(this);
    m_ColObjs.front().boxMin = low;
    m_ColObjs.front().boxMax = high;
}

void CQVGameContainer::Collide(const ColObj* partner) {
    CQVActor* character = partner ? partner->owner : nullptr;
    if (m_TriggerType != CONTAINER_TRIGGER_ON_COLLISION || m_TouchDelay >= 0.0f || character == nullptr ||
        character->m_ClassType != CLASS_CHARACTER || !IsMaster(character) || !(partner->flags & COLOBJ_CHARACTER_BODY)) {
        return;
    }
    m_PositionReplicatePending = 1;
    m_TouchDelay = kTouchCheckDelay;
    if (Content()) {
        SendValue(MSG_ACTIVATE_CONTENT, character->m_Id);
        m_TouchDelay = kTouchActivatedDelay;
    }
}

void CQVGameContainer::StartSearch(CQVActor* user, uint32_t searcher) {
    if (!IsMaster(user)) return;
    // The use that starts the search is this frame's: the next step must
    // not take the search for one already let go.
    m_ActionThisFrame = 1;
    m_Searching = 1;
    m_Searcher = searcher;
    m_SearchElapsed = 0.0f;
    m_TouchDelay = m_ActionDelay = kSearchStartDelay;
}

int CQVGameContainer::Action(uint32_t userId, uint32_t itemId) {
    if (m_Searching) {
        m_ActionThisFrame = 1;
        return 1;
    }
    CQVActor* user = CQVActorSystem::GetActorById(userId);
    if (user == nullptr) return 1;
    CQVActor* offered = CQVActorSystem::GetActorById(itemId);
    CQVActor* spawn = m_SpawnPoint.target;
    if (m_TrapDelay < 0.0f) {
        m_ActionThisFrame = 1;
        if (IsMaster(user) && ItemType(offered) == kItemTypeTrap && spawn && spawn->m_Children.empty()) {
            if (!m_Trap.recorded) {
                m_Trap.recorded = 1;
                m_Trap.elapsed = 0.0f;
                m_Trap.minTime = offered->AskValue<float>(MSG_GET_TRAP_SETUP_TIME_MIN);
                m_Trap.maxTime = offered->AskValue<float>(MSG_GET_TRAP_SETUP_TIME_MAX);
                m_Trap.setter = userId;
                m_Trap.item = itemId;
            }
            m_Trap.running = 1;
            return 0;
        }
    }
    if (m_ActionDelay >= 0.0f) return 1;
    m_ActionDelay = m_TouchDelay = kUseDelay;
    if (IsMaster(user)) {
        const UseArgs use{userId, itemId};
        Replicate(MSG_ACTION, Args_Of(&use));
    }
    ShowFingerPrints(true);
    if (Content()) {
        if (m_SearchTime != 0.0f) {
            StartSearch(user, userId);
            OpenDoors();
            return 0;
        }
        SendValue(MSG_ACTIVATE_CONTENT, userId);
    } else if (spawn && offered && offered->m_ClassType == CLASS_GAME_OBJECT) {
        if (g_ActorSystem) g_ActorSystem->MoveActor(offered, spawn);
        offered->SendValue(MSG_SET_STATE_CONTAINER, userId);
    } else if (m_SearchTime == 0.0f) {
        Play(CONTAINER_SOUND_EMPTY);
    } else {
        StartSearch(user, ACTOR_ID_NONE);
        OpenDoors();
        return 0;
    }
    OpenDoors();
    return 1;
}

void CQVGameContainer::CompleteTrapSetup() {
    const ContainerTrapSetup trap = m_Trap;
    // Half strength at the least time, full strength at the greatest.
    const float span = trap.maxTime - trap.minTime;
    const float quality = span > 0.0f ? ((trap.elapsed - trap.minTime) / span + 1.0f) * 0.5f : 1.0f;
    if (CQVActor* item = CQVActorSystem::GetActorById(trap.item)) {
        const float hold = quality * item->AskValue<float>(MSG_GET_TRAP_CHARACTER_HOLD_TIME);
        item->SendValue(MSG_SET_TRAP_CHARACTER_HOLD_TIME, hold);
        if (g_ActorSystem) g_ActorSystem->ReplicateMessage(item->m_Id, MSG_SET_TRAP_CHARACTER_HOLD_TIME, Args_Of(&hold));
        std::vector<std::string> effects;
        std::vector<std::string>* list = &effects;
        item->HandleMessage(MSG_GET_POWERUP_LIST, Args_Of(&list));
        for (uint32_t i = 0; i < effects.size(); ++i) {
            item->HandleMessage(MSG_SET_POWERUP_LIST, Args_Of(effects[i].c_str()));
            const PowerupArgs powerup{i, quality * item->AskValue<float>(MSG_GET_POWERUP_VALUE),
                                      quality * item->AskValue<float>(MSG_GET_POWERUP_TIME)};
            item->SendValue(MSG_SET_POWERUP, powerup);
            if (g_ActorSystem) g_ActorSystem->ReplicateMessage(item->m_Id, MSG_SET_POWERUP, Args_Of(&powerup));
        }
        const UseArgs insert{trap.setter, trap.item};
        SendValue(MSG_INSERT_CONTENT, insert);
    }
    m_Trap.running = m_Trap.recorded = 0;
    m_ActionDelay = m_TouchDelay = m_TrapDelay = kTrapSetDelay;
}

void CQVGameContainer::StepTrapSetup(float dt) {
    m_Trap.elapsed += dt;
    const TrapNotice notice{m_Trap.item, m_Trap.elapsed, m_Trap.minTime, m_Trap.maxTime};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_TRAP_SETUP_NOTICE, Args_Of(&notice));
    // Let go before the least time: the trap is not set.
    if (!m_ActionThisFrame && m_Trap.elapsed < m_Trap.minTime) {
        m_Trap.running = m_Trap.recorded = 0;
        return;
    }
    if (m_Trap.elapsed > m_Trap.maxTime || !m_ActionThisFrame) CompleteTrapSetup();
}

void CQVGameContainer::StepSearch(float dt) {
    m_SearchElapsed += dt;
    if (m_SearchElapsed > m_SearchTime) {
        if (m_Searcher != ACTOR_ID_NONE) {
            SendValue(MSG_ACTIVATE_CONTENT, m_Searcher);
        } else {
            Play(CONTAINER_SOUND_EMPTY);
        }
        m_Searching = 0;
        m_TouchDelay = m_ActionDelay = kSearchEndDelay;
    }
    const float progress[2] = {m_SearchTime, m_SearchElapsed};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_SEARCH_NOTICE, Args_Of(progress));
    // Let go for a frame: the search starts over.
    if (!m_ActionThisFrame) {
        m_Searching = 0;
        m_SearchElapsed = 0.0f;
    }
}

void CQVGameContainer::Process() {
    if (!IsOperational()) return;
    RefreshClock(this);
    const float dt = m_Clock->dt;
    m_TouchDelay -= dt;
    m_ActionDelay -= dt;
    m_TrapDelay -= dt;
    if (m_Trap.running) StepTrapSetup(dt);
    if (m_Searching) StepSearch(dt);
    if (m_PositionReplicatePending) {
        Replicate(MSG_SET_POSITION, Args_Of(&m_Position));
        m_PositionReplicatePending = 0;
    }
    m_ActionThisFrame = 0;
    CQVActor::Process();
}

int CQVGameContainer::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kGameContainerMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source->m_ClassType == CLASS_GAME_CONTAINER) {
            kGameContainerMessages.Copy(*this, *source);
        } else if (source == nullptr) {
            SendValue<uint32_t>(MSG_SET_CONTAINER_TYPE, CONTAINER_OBJECT);
        }
        break;
    }
    case MSG_PRECALCULATE:
        FindParts();
        break;
    case MSG_LISTEN_TO_CONTAINER:
        Listen();
        break;
    case MSG_ACTIVATE_CONTENT:
        ActivateContent(Args_Get<uint32_t>(args));
        break;
    case MSG_INSERT_CONTENT:
        InsertContent(Args_Get<uint32_t>(args, 0), Args_Get<uint32_t>(args, 4));
        break;
    case MSG_CALCULATE_EVENT_BOX:
        CalculateEventBox();
        break;
    case MSG_COLLISION_EVENT:
        Collide(Args_Pointer<ColObj>(id, args));
        break;
    case MSG_ACTION:
        if (!Action(Args_Get<uint32_t>(args, 0), Args_Get<uint32_t>(args, 4))) return 1;
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVGameContainer::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        uint32_t reserved = 0;
        archive->SerializeDword(&m_ContainerType);
        archive->SerializeDwords(m_Reserved, 2);
        archive->SerializeDword(&m_SearchTime);
        archive->SerializeDword(&reserved);
    }
    if (archive->version >= 4) {
        uint32_t reserved[7] = {};
        archive->SerializeDword(&m_TriggerType);
        archive->SerializeDword(&m_TriggerTime);
        archive->SerializeDword(&m_DeleteAfterActivation);
        archive->SerializeDwords(reserved, 7);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVGameContainer::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_GAME_CONTAINER];
    record.Define("Game Container", "Game Container is a an object that the player can interact with...",
                  {CLASS_BASE, CLASS_GAME_CONTAINER});
    kGameContainerMessages.AddSheet(record);
}
