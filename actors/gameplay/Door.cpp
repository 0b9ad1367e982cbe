#include "actors/gameplay/Door.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr MessageRow kDoorRows[] = {
    SheetRow("Door Properties", PROP_TITLE),
    FieldRow<&CQVDoor::m_DoorType>(MSG_SET_DOOR_TYPE, MSG_GET_DOOR_TYPE,
                                   "Create:|Single|0|Single Side|1|Double|2|Double Side|3|", PROP_CHOICE)
        .Then<&CQVDoor::BuildParts>(),
    FieldRow<&CQVDoor::m_AxisCode>(MSG_SET_DOORAXIS, MSG_GET_DOORAXIS,
                                   "Axis:|Door|0|Chest|1|Drawer|2|X|3|Y|4|Z|5|-X|6|-Y|7|-Z|8|", PROP_CHOICE)
        .Then<&CQVDoor::ApplyAxisCode>(),
    BoolRow<&CQVDoor::m_AutoClose>(MSG_SET_DOOR_AUTOCLOSE, MSG_GET_DOOR_AUTOCLOSE, "Auto Close:", PROP_CHECK),
    BoolRow<&CQVDoor::m_NeverAutoCloseOnCollision>(MSG_SET_DOOR_NEVER_AUTOCLOSE_ON_COLLISION,
                                                   MSG_GET_DOOR_NEVER_AUTOCLOSE_ON_COLLISION,
                                                   "Never Auto Close On Collision:", PROP_CHECK),
    BoolRow<&CQVDoor::m_AutoOpen>(MSG_SET_DOOR_AUTOOPEN, MSG_GET_DOOR_AUTOOPEN, "Auto Open:", PROP_CHECK),
    BoolRow<&CQVDoor::m_OpenAway>(MSG_SET_DOOR_OPEN_AWAY_FROM_OPENER, MSG_GET_DOOR_OPEN_AWAY_FROM_OPENER,
                                  "Open Away From Opener:", PROP_CHECK),
    BoolRow<&CQVDoor::m_UseConnector>(MSG_SET_USE_CONNECTOR, MSG_GET_USE_CONNECTOR, "Use Connector:", PROP_CHECK)
        .Then<&CQVDoor::ApplyUseConnector>(),
    SheetRow("Set Open, Close, Auto Close Timers", PROP_SEPARATOR),
    FieldRow<&CQVDoor::m_OpenTime>(MSG_SET_DOOR_OPEN_TIME, MSG_GET_DOOR_OPEN_TIME, "Open:", PROP_TIME)
        .StoredBy<&CQVDoor::SetOpenTime>(),
    FieldRow<&CQVDoor::m_CloseTime>(MSG_SET_DOOR_CLOSE_TIME, MSG_GET_DOOR_CLOSE_TIME, "Close:", PROP_TIME)
        .StoredBy<&CQVDoor::SetCloseTime>(),
    FieldRow<&CQVDoor::m_AutoCloseTime>(MSG_SET_DOOR_AUTOCLOSE_TIME, MSG_GET_DOOR_AUTOCLOSE_TIME, "Auto Close:",
                                        PROP_TIME)
        .StoredBy<&CQVDoor::SetAutoCloseTime>(),
    MemberRow<&CQVDoor::OpenAngleDegrees, &CQVDoor::SetOpenAngleDegrees>(MSG_SET_OPEN_ANGLE, MSG_GET_OPEN_ANGLE,
                                                                         "Angle:", PROP_REAL),
    FieldRow<&CQVDoor::m_OpenLength>(MSG_SET_OPEN_LENGTH, MSG_GET_OPEN_LENGTH, "Length:", PROP_REAL)
        .StoredBy<&CQVDoor::SetOpenLength>(),
    FieldRow<&CQVDoor::m_Axis>(MSG_SET_DOOR_AXIS, MSG_GET_DOOR_AXIS, "Axis:", PROP_VECTOR),
    SheetRow("Open Door:|Open|", PROP_BUTTON, MSG_OPEN_DOOR_300),
    SheetRow("Close Door:|Close|", PROP_BUTTON, MSG_CLOSE_DOOR),
    SheetRow("Door Sound Properties", PROP_TITLE),
    BoolRow<&CQVDoor::m_SoundSwitch>(MSG_SET_SOUND_SWITCH, MSG_GET_SOUND_SWITCH, "Sound Style Switch:", PROP_CHECK),
    SheetRow("Door Lock Properties", PROP_TITLE),
    FieldRow<&CQVDoor::m_LockGroups>(MSG_SET_LOCKGROUP, MSG_GET_LOCKGROUP, "Set Lockgroups", PROP_GROUP_MASK),
    BoolRow<&CQVDoor::m_Locked>(MSG_SET_LOCK_LOCKED, MSG_GET_LOCK_LOCKED, "Locked:", PROP_CHECK)
        .StoredBy<&CQVDoor::SetLocked>(),
    FieldRow<&CQVDoor::m_LockTime>(MSG_SET_LOCK_TIME, MSG_GET_LOCK_TIME, "Lock Time:", PROP_TIME),
    FieldRow<&CQVDoor::m_AnimationType>(MSG_SET_DOOR_ANIMATION_TYPE, MSG_GET_DOOR_ANIMATION_TYPE),
};

constexpr MessageTable kDoorMessages{
    kDoorRows,
    CopiedFields<&CQVDoor::m_State, &CQVDoor::m_OpenAngle, &CQVDoor::m_SlideVelocity, &CQVDoor::m_ClosedPosition,
                 &CQVDoor::m_AngularSpeed, &CQVDoor::m_ClosedRotation, &CQVDoor::m_ActionReadyTime,
                 &CQVDoor::m_Attempt, &CQVDoor::m_OpenNotifyPending, &CQVDoor::m_CloseFinishPending,
                 &CQVDoor::m_Obstructed>()};

// The axis list's vectors, by code.
constexpr Vector3 kAxes[] = {
    Vector3(0.0f, 1.0f, 0.0f),  Vector3(1.0f, 0.0f, 0.0f),  Vector3(0.0f, 0.0f, -1.0f),
    Vector3(1.0f, 0.0f, 0.0f),  Vector3(0.0f, 1.0f, 0.0f),  Vector3(0.0f, 0.0f, 1.0f),
    Vector3(-1.0f, 0.0f, 0.0f), Vector3(0.0f, -1.0f, 0.0f), Vector3(0.0f, 0.0f, -1.0f),
};

constexpr const char* kSoundNames[DOOR_SOUND_COUNT] = {"Open", "Close", "Opening", "Closing"};

constexpr float kMinTime = 0.01f;
constexpr float kMinLength = 1.0f;
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kActionReady = 1.0f;
constexpr float kAttemptNoticeAfter = 0.1f;  // seconds of an attempt before the Inventory hears of it
constexpr float kDefaultLockTime = 20.0f;
constexpr uint32_t kItemTypeKey = 2;
constexpr uint32_t COLOBJ_CHARACTER_MARK = 0x40; // carried by the objects of characters
constexpr uint32_t kConnectorTypeDoor = 1;

}  // namespace

CQVDoor::CQVDoor() {
    m_ClassType = CLASS_DOOR;
    for (ActorLink& link : m_Sounds) link.SetOwner(this);
    for (ActorLink& link : m_Leaves) link.SetOwner(this);
}

float CQVDoor::RunningTime() const { return std::bit_cast<float>(m_UserWord); }

void CQVDoor::SetRunningTime(float seconds) { m_UserWord = std::bit_cast<uint32_t>(seconds); }

void CQVDoor::SetOpenTime(float seconds) { m_OpenTime = std::max(seconds, kMinTime); }
void CQVDoor::SetCloseTime(float seconds) { m_CloseTime = std::max(seconds, kMinTime); }
void CQVDoor::SetAutoCloseTime(float seconds) { m_AutoCloseTime = std::max(seconds, kMinTime); }
void CQVDoor::SetOpenLength(float length) { m_OpenLength = std::max(length, kMinLength); }
float CQVDoor::OpenAngleDegrees() const { return m_OpenAngle * kDegreesPerRadian; }
void CQVDoor::SetOpenAngleDegrees(float degrees) { m_OpenAngle = degrees * kRadiansPerDegree; }

void CQVDoor::SetLocked(bool locked) {
    // A door of no lock group has no lock.
    m_Locked = locked && m_LockGroups != 0 ? 1 : 0;
    HandleMessage(m_Locked ? MSG_ON_DOOR_LOCK : MSG_ON_DOOR_UNLOCK, nullptr);
}

void CQVDoor::ApplyAxisCode() {
    if (m_AxisCode < std::size(kAxes)) m_Axis = kAxes[m_AxisCode];
}

void CQVDoor::BuildParts() {
    if (g_ActorSystem == nullptr) return;
    // Every child goes, the last first, the connector too.
    const std::vector<CQVActor*> children = m_Children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (*it && CQVActorSystem::GetTableSlot((*it)->m_Id) == *it) g_ActorSystem->DeleteActor(*it);
    }
    if (m_DoorType > DOOR_DOUBLE_SIDE) return;
    const auto make = [this](uint32_t type, const char* name) {
        return g_ActorSystem->CreateActor(type, name, nullptr, this, ACTOR_ID_ANY, 1, 1);
    };
    make(CLASS_OBJECT, "Door_Frame");
    m_Leaves[0].SetTarget(make(CLASS_OBJECT, "Door_1"));
    if (m_DoorType >= DOOR_DOUBLE) m_Leaves[1].SetTarget(make(CLASS_OBJECT, "Door_2"));
    m_Sounds[DOOR_SOUND_OPEN].SetTarget(make(CLASS_SOUND, "Open"));
    m_Sounds[DOOR_SOUND_CLOSE].SetTarget(make(CLASS_SOUND, "Close"));
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->SendValue<uint32_t>(MSG_SET_LOCK_TRANSFORM, 1);
    }
}

void CQVDoor::ApplyUseConnector() {
    if (g_ActorSystem == nullptr) return;
    if (m_UseConnector) {
        CQVActor* connector =
            g_ActorSystem->CreateActor(CLASS_DRAW_GROUP_CONNECTOR, "Door Connector", nullptr, this, ACTOR_ID_ANY, 1, 1);
        if (connector) connector->SendValue(MSG_SET_CONNACTOR_TYPE, kConnectorTypeDoor);
        return;
    }
    for (CQVActor* child : m_Children) {
        if (child && child->m_ClassType == CLASS_DRAW_GROUP_CONNECTOR) {
            g_ActorSystem->QueueDelete(child);
            return;
        }
    }
}

void CQVDoor::FindParts() {
    for (uint32_t i = 0; i < DOOR_SOUND_COUNT; ++i) {
        CQVActor* sound = FindDescendantByName(this, kSoundNames[i]);
        if (sound != m_Sounds[i].target) m_Sounds[i].SetTarget(sound);
    }
    // A level adds the moving sounds; they play once each time they start.
    for (DoorSound moving : {DOOR_SOUND_OPENING, DOOR_SOUND_CLOSING}) {
        if (CQVActor* sound = m_Sounds[moving].target) sound->SendValue<uint32_t>(MSG_SET_SOUND_PLAY_STYLE, 1);
    }
    const char* names[2][2] = {{"Door 1", "Door_1"}, {"Door 2", "Door_2"}};
    for (int i = 0; i < 2; ++i) {
        CQVActor* leaf = FindDescendantByName(this, names[i][0]);
        if (leaf == nullptr) leaf = FindDescendantByName(this, names[i][1]);
        if (leaf != m_Leaves[i].target) m_Leaves[i].SetTarget(leaf);
    }
}

void CQVDoor::Play(DoorSound sound) {
    if (CQVActor* actor = m_Sounds[sound].target) actor->HandleMessage(MSG_PLAY_SOUND, nullptr);
}

void CQVDoor::Silence(DoorSound sound) {
    if (CQVActor* actor = m_Sounds[sound].target) actor->HandleMessage(MSG_STOP_SOUND, nullptr);
}

void CQVDoor::Replicate(uint32_t message, MessageArgs args) {
    if (g_ActorSystem) g_ActorSystem->ReplicateMessage(m_Id, message, args);
}

bool CQVDoor::NeedsProcess() const {
    return m_State != DOOR_CLOSED || m_Attempt.active || m_OpenNotifyPending || m_CloseFinishPending;
}

void CQVDoor::CancelProcessUnlessNeeded() {
    // A door that still moves (a script opened it while a lock attempt ran)
    // keeps its step, and so does an attempt that goes on.
    if (!NeedsProcess()) CancelProcess();
}

void CQVDoor::BeginOpen(Vector3 opener) {
    if (m_State != DOOR_CLOSED) return;
    if (m_UseConnector) SendToChildren(MSG_OPEN_CONNACTOR, nullptr);
    ScheduleProcess();
    m_AngularSpeed = m_OpenAngle / m_OpenTime;
    m_State = DOOR_OPENING;
    CQVActor* leaf = m_Leaves[0].target;
    if (opener.x != 0.0f && m_OpenAway && leaf) {
        // Away from the opener: the turn's sign follows the side of the
        // leaf's local z axis the opener stands on.
        leaf->UpdateWorldMatrix();
        Vector3 normal;
        Vec3_TransformNormal(&normal, Vector3(0.0f, 0.0f, 1.0f), leaf->GetWorldMatrix());
        const Vector3 at = leaf->AskValue<Vector3>(MSG_GET_WSPOSITION);
        if (Vec3_Dot(normal, opener - at) <= 0.0f) m_AngularSpeed = -m_AngularSpeed;
    }
    m_SlideVelocity = m_Axis * (m_OpenLength / m_OpenTime);
    for (int i = 0; i < 2; ++i) {
        CQVActor* each = m_Leaves[i].target;
        if (each == nullptr) continue;
        m_ClosedPosition[i] = each->AskValue<Vector3>(MSG_GET_POSITION, m_ClosedPosition[i]);
        m_ClosedRotation[i] = each->AskValue<Quaternion>(MSG_GET_QUATERNION, m_ClosedRotation[i]);
    }
    m_OpenNotifyPending = 1;
}

void CQVDoor::NotifyOpen() {
    Play(DOOR_SOUND_OPEN);
    Play(DOOR_SOUND_OPENING);
    HandleMessage(MSG_ON_DOOR_OPEN, nullptr);
}

void CQVDoor::BeginClose() {
    if (m_State != DOOR_OPEN) return;
    // Back the way it came.
    const float speed = m_OpenAngle / m_CloseTime;
    m_AngularSpeed = m_AngularSpeed > 0.0f ? -speed : speed;
    m_State = DOOR_CLOSING;
    m_SlideVelocity = m_Axis * -(m_OpenLength / m_CloseTime);
    if (m_SoundSwitch) Play(DOOR_SOUND_OPEN);
    if (m_Sounds[DOOR_SOUND_CLOSING].target) {
        Play(DOOR_SOUND_CLOSING);
    } else if (m_SoundSwitch) {
        Play(DOOR_SOUND_OPENING);
    }
    SetRunningTime(0.0f);
    HandleMessage(MSG_ON_DOOR_CLOSE, nullptr);
}

void CQVDoor::EndOpen() {
    m_State = DOOR_OPEN;
    SetRunningTime(0.0f);
    Silence(DOOR_SOUND_OPENING);
    if (m_SoundSwitch) Play(DOOR_SOUND_CLOSE);
    HandleMessage(MSG_ON_DOOR_OPENED, nullptr);
}

void CQVDoor::CloseConnectors() {
    // The portal closes in the frame the movement ends; the door settles one step later.
    if (m_UseConnector) SendToChildren(MSG_CLOSE_CONNACTOR, nullptr);
    m_CloseFinishPending = 1;
}

void CQVDoor::EndClose() {
    // The steps do not stop at the end: the closed pose is restored exactly.
    for (int i = 0; i < 2; ++i) {
        CQVActor* leaf = m_Leaves[i].target;
        if (leaf == nullptr) continue;
        leaf->SendValue(MSG_SET_POSITION, m_ClosedPosition[i]);
        leaf->SendValue(MSG_SET_QUATERNION, m_ClosedRotation[i]);
    }
    Play(DOOR_SOUND_CLOSE);
    Silence(DOOR_SOUND_OPENING);
    Silence(DOOR_SOUND_CLOSING);
    m_State = DOOR_CLOSED;
    SetRunningTime(0.0f);
    HandleMessage(MSG_ON_DOOR_CLOSED, nullptr);
    CancelProcessUnlessNeeded();
}

void CQVDoor::Move(float dt) {
    CQVActor* first = m_Leaves[0].target;
    CQVActor* second = m_Leaves[1].target;
    const auto turn = [this](CQVActor* leaf, float angle) {
        if (leaf == nullptr) return;
        Quaternion rotation;
        Quat_FromAxisAngle(&rotation, m_Axis, angle);
        leaf->SendValue(MSG_QUATERNION_MULTIPLY, rotation);
    };
    const auto slide = [](CQVActor* leaf, const Vector3& step) {
        if (leaf) leaf->SendValue(MSG_POSITION_ADD, step);
    };
    switch (m_DoorType) {
    case DOOR_SINGLE:
        turn(first, m_AngularSpeed * dt);
        break;
    case DOOR_SINGLE_SIDE:
        slide(first, m_SlideVelocity * dt);
        break;
    case DOOR_DOUBLE:
        turn(first, m_AngularSpeed * dt);
        turn(second, -m_AngularSpeed * dt);
        break;
    case DOOR_DOUBLE_SIDE:
        slide(first, m_SlideVelocity * dt);
        slide(second, m_SlideVelocity * -dt);
        break;
    default:
        break;
    }
}

void CQVDoor::OpenFor(uint32_t opener) { HandleMessage(MSG_OPEN_DOOR_302, Args_Of(&opener)); }

void CQVDoor::StepAttempt(float dt) {
    m_Attempt.elapsed += dt;
    if (!m_Attempt.continued) {
        // Let go for a frame: the attempt is dropped.
        m_Attempt.active = 0;
        CancelProcessUnlessNeeded();
    }
    if (m_Attempt.elapsed > kAttemptNoticeAfter) {
        const float progress[2] = {m_Attempt.elapsed, m_Attempt.duration};
        CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_LOCK_ATTEMPT_NOTICE, Args_Of(progress));
    }
    if (m_Attempt.elapsed > m_Attempt.duration) {
        m_Attempt.active = 0;
        uint32_t unlocked = 0;
        uint32_t opener = m_Attempt.opener;
        SendValue(MSG_SET_LOCK_LOCKED, unlocked);
        OpenFor(opener);
        m_ActionReadyTime = 0.0f;
        Replicate(MSG_SET_LOCK_LOCKED, Args_Of(&unlocked));
        Replicate(MSG_OPEN_DOOR_302, Args_Of(&opener));
    }
    m_Attempt.continued = 0;
}

void CQVDoor::Process() {
    if (!IsOperational()) return;
    RefreshClock(this);
    const float dt = m_Clock->dt;
    if (m_OpenNotifyPending) {
        m_OpenNotifyPending = 0;
        NotifyOpen();
    }
    if (m_CloseFinishPending) {
        m_CloseFinishPending = 0;
        EndClose();
    }
    if (m_Attempt.active) StepAttempt(dt);
    switch (m_State) {
    case DOOR_OPENING:
        SetRunningTime(RunningTime() + dt);
        if (RunningTime() > m_OpenTime) {
            EndOpen();
        } else {
            Move(dt);
        }
        break;
    case DOOR_CLOSING:
        SetRunningTime(RunningTime() + dt);
        if (RunningTime() > m_CloseTime) {
            CloseConnectors();
        } else {
            Move(dt);
        }
        break;
    case DOOR_OPEN:
        if (!m_AutoClose) break;
        SetRunningTime(RunningTime() + dt);
        if (RunningTime() <= m_AutoCloseTime) break;
        if (!m_NeverAutoCloseOnCollision) {
            BeginClose();
        } else {
            // Held open while the player's character stands in it.
            if (!m_Obstructed) BeginClose();
            m_Obstructed = 0;
        }
        break;
    default:
        break;
    }
    CQVActor::Process();
}

void CQVDoor::Update() {
    if (!IsOperational()) return;
    RefreshClock(this);
    m_ActionReadyTime += m_Clock->dt;
    // With a connector the frame and leaves are updated when its portal is reached.
    if (!m_UseConnector) CQVActor::Update();
}

void CQVDoor::AccumulateTime() {
    if (!IsOperational()) return;
    RefreshClock(this);
    m_ActionReadyTime += m_Clock->dt;
    CQVActor::Update();
}

void CQVDoor::OnVisible(float) { AccumulateTime(); }

void CQVDoor::Collide(const ColObj* partner) {
    CQVActor* character = partner ? partner->owner : nullptr;
    if (character == nullptr || character->m_ClassType != CLASS_CHARACTER || !(character->m_Flags & ACTOR_MASTER) ||
        !(partner->flags & COLOBJ_CHARACTER_MARK)) {
        return;
    }
    uint32_t opener = character->m_Id;
    if (!m_Locked && m_AutoOpen && m_State == DOOR_CLOSED) {
        OpenFor(opener);
        Replicate(MSG_OPEN_DOOR_302, Args_Of(&opener));
    }
    if (character->AskValue<CQVActor*>(MSG_GET_NOTIFYCAMERA) != nullptr) m_Obstructed = 1;
}

void CQVDoor::Action(uint32_t opener, uint32_t itemId) {
    if (m_ActionReadyTime < kActionReady) return;
    if (m_Attempt.active) {
        m_Attempt.continued = 1;
        return;
    }
    if (m_State != DOOR_CLOSED) return;
    // A key is a Game Object of the key type; it fits a lock group of the
    // door when it works at once (no time multiplier).
    CQVActor* item = CQVActorSystem::GetActorById(itemId);
    const bool key = item && item->m_ClassType == CLASS_GAME_OBJECT &&
                     item->AskValue<uint32_t>(MSG_GET_GAMEOBJECT_TYPE_25B, 0xFFFFFFFF) == kItemTypeKey;
    const float multiplier = key ? item->AskValue<float>(MSG_GET_KEY_TIME) : 0.0f;
    const bool fits = key && (item->AskValue<uint32_t>(MSG_GET_KEYGROUP) & m_LockGroups) != 0 && multiplier == 0.0f;
    uint32_t locked = m_Locked;
    if (locked && fits) {
        m_Locked = 0;
        HandleMessage(MSG_ON_DOOR_UNLOCK, nullptr);
        OpenFor(opener);
        locked = 0;
        Replicate(MSG_SET_LOCK_LOCKED, Args_Of(&locked));
        Replicate(MSG_OPEN_DOOR_302, Args_Of(&opener));
    } else if (fits) {
        // A fitting key locks an unlocked door and leaves it shut.
        m_ActionReadyTime = 0.0f;
        m_Locked = 1;
        locked = 1;
        SendValue(MSG_SET_LOCK_LOCKED, locked);
        Replicate(MSG_SET_LOCK_TIME, Args_Of(&m_LockTime));
        Replicate(MSG_SET_LOCK_LOCKED, Args_Of(&locked));
    } else if (!locked) {
        OpenFor(opener);
        Replicate(MSG_OPEN_DOOR_302, Args_Of(&opener));
    } else {
        m_Attempt.active = 1;
        m_Attempt.continued = 1;
        m_Attempt.elapsed = 0.0f;
        m_Attempt.duration = key && multiplier != 0.0f ? m_LockTime * multiplier : m_LockTime;
        m_Attempt.opener = opener;
        HandleMessage(MSG_ON_DOOR_LOCKED, nullptr);
        ScheduleProcess();
    }
}

int CQVDoor::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kDoorMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_CREATE: {
        // The parts are found again when the copy is precalculated.
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source->m_ClassType == CLASS_DOOR) kDoorMessages.Copy(*this, *source);
        break;
    }
    case MSG_PRECALCULATE:
        FindParts();
        if (m_State != DOOR_CLOSED) ScheduleProcess();
        break;
    case MSG_COLLISION_EVENT:
        Collide(Args_Pointer<ColObj>(id, args));
        break;
    case MSG_OPEN_DOOR_300:
        BeginOpen(Vector3(0.0f, 0.0f, 0.0f));
        break;
    case MSG_OPEN_DOOR_302:
        if (CQVActor* opener = CQVActorSystem::GetActorById(Args_Get<uint32_t>(args))) {
            BeginOpen(opener->AskValue<Vector3>(MSG_GET_WSPOSITION));
        }
        break;
    case MSG_CLOSE_DOOR:
        BeginClose();
        break;
    case MSG_SET_LOCK_GROUP: {
        const uint32_t group = Args_Get<uint32_t>(args);
        // Groups are 1 to 32; another number names no bit.
        if (group >= 1 && group <= 32) {
            const uint32_t bit = 1u << (group - 1);
            m_LockGroups = Args_Get<uint32_t>(args, 4) ? (m_LockGroups | bit) : (m_LockGroups & ~bit);
        }
        break;
    }
    case MSG_ACTION:
        Action(Args_Get<uint32_t>(args, 0), Args_Get<uint32_t>(args, 4));
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVDoor::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_DoorType);
        archive->SerializeDword(&m_AnimationType);
        archive->SerializeDword(&m_OpenTime);
        archive->SerializeDword(&m_CloseTime);
        archive->SerializeDword(&m_AutoCloseTime);
        archive->SerializeDword(&m_AutoClose);
        archive->SerializeDword(&m_AxisCode);
        archive->SerializeDword(&m_UseConnector);
        archive->SerializeDword(&m_OpenLength);
        archive->SerializeDwords(&m_Axis, 3);
    }
    if (version >= 3) {
        archive->SerializeDword(&m_LockGroups);
        archive->SerializeDword(&m_Locked);
        archive->SerializeDword(&m_LockTime);
        archive->SerializeDword(&m_AutoOpen);
        archive->SerializeDword(&m_OpenAway);
    }
    // A placed door always has a lock to work: group 1 and a time to take.
    if (m_LockTime < 1.0f) m_LockTime = kDefaultLockTime;
    if (m_LockGroups == 0) m_LockGroups = 1;
    if (version >= 9) {
        archive->SerializeDword(&m_SoundSwitch);
        archive->SerializeDword(&m_NeverAutoCloseOnCollision);
        uint32_t reserved[4] = {0, 0, 0, 0};
        archive->SerializeDwords(reserved, 4);
    }
    if (version >= 25) archive->SerializeDword(&m_OpenAngle);
    if (version >= 28) {
        archive->SerializeDword(&m_State);
        archive->SerializeDword(&m_AngularSpeed);
        archive->SerializeDwords(&m_SlideVelocity, 3);
        archive->SerializeDwords(&m_ClosedPosition[0], 3);
        archive->SerializeDwords(&m_ClosedPosition[1], 3);
        archive->SerializeDwords(&m_ClosedRotation[0], 4);
        archive->SerializeDwords(&m_ClosedRotation[1], 4);
        // A state no door has reads as closed.
        if (reading && m_State > DOOR_OPENING) m_State = DOOR_CLOSED;
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVDoor::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_DOOR];
    record.Define("Door", "Door", {CLASS_BASE, CLASS_DOOR});
    kDoorMessages.AddSheet(record);
}
