// The Character's messages with behaviour: the command queue, motion
// requests and the motion queue, health and death, parameters, items and
// hands, ammunition, suspension, the light sensor and the binding to its
// children at "Precalculate".

#include "actors/characters/Character.h"

#include "actors/scene/Object.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/mesh/Skeleton.h"
#include "services/render/Material.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

// Timed-message flags: once after the delay; the same, kept with the actor;
// periodic; the degeneration's, periodic and kept, tag 252.
constexpr uint32_t FLAGS_ONCE = 0x200;
constexpr uint32_t FLAGS_ONCE_SAVED = 0x1200;
constexpr uint32_t FLAGS_PERIODIC = 0x300;
constexpr uint32_t FLAGS_DEGENERATION = 0x1BFC;
constexpr uint8_t TAG_DEGENERATION = 252;
constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t PROCESS_CHANNEL = 2;

constexpr float kDegenerationStep = -1.0f;
constexpr float kDegenerationPeriod = 0.5f;
constexpr float kOffTheLevel = -90000000.0f;
constexpr float kDeadHoldTime = 100000000.0f;
constexpr float kPushHoldTime = 4.0f;
constexpr float kPushRearm = 5.0f;
constexpr float kGrabDelay = 0.5666667f;
constexpr float kSleepDelay = 3.0f;
constexpr float kSensorPeriod = 0.5f;
constexpr float kClimbLift = 12.0f;
constexpr uint32_t kClimbSteps = 10;
constexpr float kClimbGrow = 1.04f;
constexpr float kClimbShrink = 0.96f;
constexpr float kClimbRestore = 0.5f;
// A weapon is carried in the right hand: item kinds 4 and 5.
constexpr uint32_t kItemWeaponKinds[] = {4, 5};
// Flags an "On Die" gives every collision volume.
constexpr uint32_t kDeadVolumeFlags = 0x0400025C;
constexpr uint32_t kVolumeBit19 = 1u << 19;
constexpr uint32_t kVolumeBit26 = 1u << 26;
constexpr float kCollisionMaterialFloat = 10.0f;
constexpr uint32_t kMarkerLetterOnly = 1u << 31;   // keep the base motion, change the letter
constexpr uint32_t kMarkerIndexOnly = 1u << 30;    // keep the letter, change the base motion

CQVActor* FirstChild(const ActorLink& link) {
    CQVActor* actor = link.target;
    return actor && !actor->m_Children.empty() ? actor->m_Children.front() : nullptr;
}

void Tell(CQVActor* actor, uint32_t id, uint32_t value) {
    if (actor) actor->HandleMessage(id, Args_Of(&value));
}

uint32_t Request(uint32_t index, char letter) { return index << 8 | static_cast<uint8_t>(letter); }

bool EndsInUnderscoreAndTwoDigits(const std::string& name) {
    const size_t n = name.size();
    return n >= 3 && name[n - 3] == '_' && std::isdigit(static_cast<unsigned char>(name[n - 2])) &&
           std::isdigit(static_cast<unsigned char>(name[n - 1]));
}

// The sphere's radius, or a box's first extent: the size a climb changes.
float& VolumeSize(ColObj& volume) { return volume.boxMax.x; }

void SetVolumeSize(ColObj* volume, float size) {
    if (volume == nullptr) return;
    VolumeSize(*volume) = size;
    volume->boxMax.y = size;
}

void SetBit(uint32_t* word, uint32_t mask, bool on) { *word = on ? (*word | mask) : (*word & ~mask); }

}  // namespace

// ---------------------------------------------------------------------------
// The messages with behaviour

int CQVCharacter::HandleCommand(uint32_t id, MessageArgs args) {
    if (id >= MSG_CC_JUMP && id <= MSG_CC_UNLOCKHANDS) return OnControllerCommand(id);
    if ((id >= MSG_CHANGE_CPSPEED && id <= MSG_CHANGE_CPGAMMABADD) ||
        (id >= MSG_CHAR_CHANGE_CPJUMPFORCE && id <= MSG_CHAR_CHANGE_CPFALLDAMAGE1_MUL)) {
        // The later changes start again at Jump Force.
        const uint32_t index = id <= MSG_CHANGE_CPGAMMABADD ? id - MSG_CHANGE_CPSPEED
                                                            : id - MSG_CHAR_CHANGE_CPJUMPFORCE + CP_JUMP_FORCE;
        ChangeParam(index, args);
        return ROW_PASS_ON;
    }
    switch (id) {
    case MSG_SET_STATEANDMOVEMENT:
        ApplyMotionRequest(Args_Get<uint32_t>(args));
        break;
    case MSG_SET_MOTION:
        OnSetMotion(Args_Text(args), args);
        break;
    case MSG_SET_CURRENT_STATE: {
        const std::string text = Args_TextOr(args);
        SendSelfText(MSG_SET_STATE_349, text.c_str());
        if (!text.empty()) m_StateLetter = text[0];
        break;
    }
    case MSG_SET_NEXT_MOVEMENT:
        if (!InputLocked()) {
            const std::string text = Args_TextOr(args);
            SendSelf(MSG_MOTIONQUEUE_CLEAR);
            SendSelfText(MSG_MOTIONQUEUE_PUSH_BACK, text.c_str());
        }
        break;
    case MSG_SET_MOVEMENT_362:
        return 1;
    case MSG_MOTIONQUEUE_PUSH_BACK:
    case MSG_MOTIONQUEUE_PUSH_FRONT:
        PushMotion(Args_Text(args), id == MSG_MOTIONQUEUE_PUSH_FRONT);
        break;
    case MSG_MOTIONQUEUE_CLEAR:
        if (!InputLocked()) m_MotionQueue.clear();
        break;
    case MSG_MOTIONQUEUE_FORCE_NEXT:
        ForceNextMotion();
        break;
    case MSG_MOTIONQUEUE_LOCK:
        m_StateFlags |= CHAR_MOTION_QUEUE_LOCKED;
        break;
    case MSG_MOTIONQUEUE_UNLOCK:
        m_StateFlags &= ~CHAR_MOTION_QUEUE_LOCKED;
        break;
    case MSG_CALLBACK_SKINLOOPING:
        if (Args_Get<uint32_t>(args) < 2 && IsLocal() && !(m_StateFlags & CHAR_MOTION_LOCKED))
            SendSelf(MSG_MOTIONQUEUE_FORCE_NEXT);
        break;
    case MSG_CALLBACK_MOTION_SET: {
        const std::string name = Args_TextOr(args);
        SendSelfText(MSG_CHARACTER_ACTIVATE, name.c_str());
        m_CurrentMotionName = name;
        break;
    }
    case MSG_CHARACTER_ACTIVATE:
        Activate(Args_TextOr(args));
        break;
    case MSG_GET_MOTION_VECTOR:
    case MSG_SET_CURRENT_TIME:
        if (CQVActor* skin = Skin()) skin->HandleMessage(id, args);
        break;
    case MSG_RESYNC_SKIN:
        m_Skin.SetTarget(FindChildByName(this, "Skin"));
        ClearBones();
        break;

    case MSG_CHANGE_CPHEALTH:
        ChangeHealth(Args_Get<float>(args));
        break;
    case MSG_HURT:
        SendSelfReal(MSG_CHANGE_CPHEALTH, -Args_Get<float>(args));
        break;
    case MSG_HURT_AREA: {
        const float damage = Args_Get<float>(args);
        m_DieIndex = Args_Get<uint32_t>(args, 4);
        SendSelfReal(MSG_CHANGE_CPHEALTH, -damage);
        break;
    }
    case MSG_HEAL: {
        const float add = Args_Get<float>(args), most = Args_Get<float>(args, 4);
        float change = most - m_Health;
        if (most <= m_Health) {
            change = 0.0f;
        } else if (m_Health + add <= most) {
            change = add;
        }
        SendSelfReal(MSG_CHANGE_CPHEALTH, change);
        break;
    }
    case MSG_CPHEALTH_DEGENERATION: {
        const float step = Args_Get<float>(args);
        if (m_Health > m_HealthMax) {
            if (m_Health + step < m_HealthMax) CancelTimedMessagesByTag(TAG_DEGENERATION);
            SendSelfReal(MSG_CHANGE_CPHEALTH, step);
        } else {
            CancelTimedMessagesByTag(TAG_DEGENERATION);
        }
        break;
    }
    case MSG_ON_INVALID_DRAWGROUP:
        SendSelfReal(MSG_CHANGE_CPHEALTH, kOffTheLevel);
        break;
    case MSG_CHARACTERPUSH:
        Push();
        break;
    case MSG_DRTYR:
        m_StateFlags |= CHAR_PUSH_READY;
        break;
    case MSG_CHARACTER_FORCEBACK:
        Forceback(Args_Get<float>(args), Args_Get<float>(args, 4));
        break;
    case MSG_CHAR_DROP_ITEMS:
        DropItems(Args_Get<float>(args));
        break;
    case MSG_CHANGE_CPALERTNESS:
        ChangeCapacity(Args_Get<float>(args));
        break;
    case MSG_CHAR_VISIBILITY:
        Args_Answer(args, Visibility());
        break;

    case MSG_RIGHT_HAND_EQUIP:
    case MSG_LEFT_HAND_EQUIP:
        Equip(id == MSG_RIGHT_HAND_EQUIP ? MSG_RIGHT_HAND_GRAB_ITEM_MOVE : MSG_LEFT_HAND_GRAB_ITEM_MOVE,
              Args_TextOr(args));
        break;
    case MSG_RIGHT_HAND_GRAB_ITEM:
    case MSG_LEFT_HAND_GRAB_ITEM:
        Grab(id == MSG_RIGHT_HAND_GRAB_ITEM, Args_Pointer<CQVActor>(id, args));
        break;
    case MSG_RIGHT_HAND_GRAB_ITEM_MOVE:
    case MSG_LEFT_HAND_GRAB_ITEM_MOVE:
        GrabMove(id == MSG_RIGHT_HAND_GRAB_ITEM_MOVE, Args_Pointer<CQVActor>(id, args));
        break;
    case MSG_UNNAMED_419: {
        const float held = 1.0f;
        for (ActorLink* hand : {&m_RightHand, &m_LeftHand}) {
            if (CQVActor* item = FirstChild(*hand)) item->HandleMessage(MSG_UNNAMED_2EE, Args_Of(&held));
        }
        break;
    }
    // The pair carries the type before the count: no row binds a keyed value.
    case MSG_SET_AMMO_COUNT:
        SetAmmo(args);
        break;
    case MSG_GET_AMMO_COUNT: {
        const uint32_t type = Args_Get<uint32_t>(args);
        Args_Set<uint32_t>(args, 4, type >= 1 && type <= kAmmoTypeCount ? m_Ammo[type - 1] : 0);
        break;
    }
    case MSG_ADD_AMMO:
        AddAmmo(args);
        break;
    case MSG_REQUEST_AMMO:
        RequestAmmo(args);
        break;
    case MSG_SET_CHARACTER_GROUP: {
        // Groups count from 1: a group outside 1 to 32 names no bit.
        const uint32_t group = Args_Get<uint32_t>(args);
        if (group >= 1 && group <= 32) SetBit(&m_CharacterGroups, 1u << (group - 1), Args_Get<uint32_t>(args, 4) != 0);
        break;
    }
    case MSG_SET_NOTIFYCAMERA: {
        // The game's start hands the camera as the block itself.
        CQVActor* camera = Args_HandedActor(id, args);
        m_NotifyCamera.SetTarget(camera);
        m_Camera.SetTarget(camera);
        break;
    }
    case MSG_GET_NOTIFYCAMERA:
        if (args.Holds(0, sizeof(CQVActor*))) Args_Set(args, 0, m_NotifyCamera.target);
        break;

    case MSG_SLEEP:
        ScheduleMessage(MSG_SLEEP_ORG, nullptr, FLAGS_ONCE_SAVED, kSleepDelay, 0.0f, 0.0f);
        break;
    case MSG_SLEEP_ORG:
        Sleep();
        break;
    case MSG_WAKEUP:
        WakeUp();
        break;
    case MSG_CHARUPDATESENSOR:
        UpdateSensor();
        break;
    case MSG_GET_COLOR:
        AnswerSensorColor(args);
        break;
    case MSG_HJFHHDT:
        ResizeVolumes(Args_Get<float>(args), Args_Get<float>(args, 4));
        m_PushCount = 0;
        break;
    case MSG_COLLISION_STUCK:
        return ClimbAssist(id, args);
    case MSG_COLLISION_EVENT:
        return ActionContact(id, args);

    case MSG_INIT_LOAD:
        m_StartPosition = m_Position;
        m_LookRotX = m_LookRotXSM = 0.0f;
        break;
    case MSG_INIT_COPY:
        m_StartPosition = m_Position;
        break;
    case MSG_SET_POSITION:
        m_StartPosition = Args_Get<Vector3>(args);
        CQVActor::HandleMessage(id, args);
        if (IsSuspended() && g_ActorSystem) g_ActorSystem->UpdateDrawGroup(this);
        return 1;
    case MSG_INVALIDATE_OLDPOSITION:
        m_LookRotXSM = m_LookRotX;
        m_LookRotYSM = m_LookRotY;
        m_RotYOld = m_RotY;
        break;
    case MSG_SET_MATRIX: {
        if (!args.Holds(0, sizeof(Matrix))) return 1;
        const Matrix m = Args_Get<Matrix>(args);
        m_Position = m_StartPosition = Vector3(m.m[3][0], m.m[3][1], m.m[3][2]);
        InvalidateTransform();
        const float heading = Vec3_GetHeading(Vector3(m.m[2][0], m.m[2][1], m.m[2][2])) + 3.1415927f;
        m_RotY = m_RotYOld = heading;
        if (m_DirectionBehaviour == 1) m_LookRotY = m_LookRotYSM = heading;
        return 1;
    }
    case MSG_ON_ENTER_DRAWGROUP:
    case MSG_ON_EXIT_DRAWGROUP: {
        const uint32_t group = Args_Get<uint32_t>(args);
        if ((m_StateFlags & CHAR_SHOOTER) && group != DRAWGROUP_NONE) {
            if (CQVActor* drawGroup = group < DRAWGROUP_LIST_COUNT ? DrawGroups_Get(group) : nullptr) {
                drawGroup->HandleMessage(id == MSG_ON_ENTER_DRAWGROUP ? MSG_LOCALPLAYER_ENTER_DRAWGROUP
                                                                      : MSG_LOCALPLAYER_EXIT_DRAWGROUP,
                                         nullptr);
            }
        }
        break;
    }
    case MSG_CALLBACK_RELCHILD_ADDED: {
        CQVActor* child = Args_Pointer<CQVActor>(id, args);
        const CQVActor* parent = Args_Pointer<CQVActor>(id, args, sizeof(CQVActor*));
        if (parent && parent->m_Name == "RightHand") {
            uint32_t kind = 0;
            if (child && child->m_ClassType == CLASS_GAME_OBJECT)
                child->HandleMessage(MSG_GET_GAMEOBJECT_TYPE_25B, Args_Of(&kind));
            const bool weapon = child && child->m_ClassType == CLASS_GAME_OBJECT &&
                                std::find(std::begin(kItemWeaponKinds), std::end(kItemWeaponKinds), kind) !=
                                    std::end(kItemWeaponKinds);
            SetBit(&m_StateFlags, CHAR_RIGHT_HAND_WEAPON, weapon);
        }
        break;
    }
    case MSG_CALLBACK_CHILD_REMOVED:
    case MSG_CALLBACK_RELCHILD_REMOVED:
        OnChildRemoved(Args_Pointer<CQVActor>(id, args), Args_Pointer<CQVActor>(id, args, sizeof(CQVActor*)),
                       id == MSG_CALLBACK_RELCHILD_REMOVED);
        break;
    case MSG_INVALID_ACTORPOINTER:
        if (Args_Pointer<ActorLink>(id, args) == &m_Skin) ClearBones();
        break;
    case MSG_PRECALCULATE:
        return Precalculate(id, args);
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVCharacter*>(Args_Pointer<CQVActor>(id, args))) CopyCharacter(*source);
        break;
    case MSG_LOAD_RESOURCES:
    case MSG_UNLOAD_RESOURCES:
        return 1;
    case MSG_GET_CENTER_POINT:
        if (ColObj* chest = VolumeAt(m_ChestCol); chest && (chest->flags & COLOBJ_ACTIVE)) {
            Vector3 centre = chest->boxMin;
            if (chest->type != COLOBJ_SPHERE) centre = (chest->boxMin + chest->boxMax) * 0.5f;
            Vector3 world;
            Vec3_TransformPoint(&world, centre, GetWorldMatrix());
            Args_Answer(args, world);
            return 1;
        }
        break;
    case MSG_GET_VISION_POINT: {
        Vector3 point = GetWorldPosition();
        CQVActor* skin = Skin();
        Matrix head;
        if (skin && m_Bones.size() > 5 && m_Bones[5] && Bone_GetMatrix(m_Bones[5], &head)) {
            point += Vector3(head.m[3][0], head.m[3][1], head.m[3][2]) * skin->m_Scale.x;
            point += skin->m_Position;
        }
        Args_Answer(args, point);
        return 1;
    }
    case MSG_ON_DIE:
        for (ColObj& volume : m_ColObjs) volume.flags |= kDeadVolumeFlags;
        break;
    default:
        return ROW_PASS_ON;
    }
    return ROW_PASS_ON;
}

// ---------------------------------------------------------------------------
// The command queue

int CQVCharacter::OnControllerCommand(uint32_t id) {
    const bool input = !InputLocked();
    const bool hands = input && !(m_HandFlags & HAND_LOCKED);
    switch (id) {
    case MSG_CC_JUMP:
    case MSG_CC_JUMP_STOP:
    case MSG_CC_STATE_CROUCH:
    case MSG_CC_STATE_NEUTRAL:
    case MSG_CC_STATE_RUN:
    case MSG_CC_FORWARD:
        if (input) m_CommandQueue.push_back(id);
        break;
    case MSG_CC_RACTION1_START:
    case MSG_CC_RACTION1:
    case MSG_CC_RACTION2_START:
    case MSG_CC_RACTION2:
    case MSG_CC_LACTION1_START:
    case MSG_CC_LACTION1:
    case MSG_CC_RELOAD:
    case MSG_CC_RDROP:
    case MSG_CC_LDROP:
    case MSG_CC_KNOCK:
        if (hands) m_CommandQueue.push_back(id);
        break;
    case MSG_CC_RACTION1_STOP:
    case MSG_CC_RACTION2_STOP:
    case MSG_CC_LACTION1_STOP:
        m_CommandQueue.push_back(id);
        break;
    case MSG_CC_LOCKHANDS:
        m_HandFlags |= HAND_LOCKED;
        break;
    case MSG_CC_UNLOCKHANDS:
        m_HandFlags &= ~HAND_LOCKED;
        break;
    default:  // "CC Left", "CC Right" and "CC Back" are the controller's own
        break;
    }
    return ROW_PASS_ON;
}

int CQVCharacter::SetHoldTime(float time) {
    if (m_StateFlags & CHAR_DEAD_LOCK) return ROW_PASS_ON;
    m_HoldTime = time;
    if (time <= 0.0f) {
        if (InputLocked()) {
            m_StateFlags &= ~CHAR_INPUT_LOCKED;
            SendSelf(MSG_ON_UNLOCK_INPUT);
            if (m_StateFlags & CHAR_SHOOTER_IDLE) m_StateFlags |= CHAR_IDLE_ALLOWED;
        }
    } else if (!InputLocked()) {
        m_StateFlags |= CHAR_INPUT_LOCKED;
        SendSelf(MSG_ON_LOCK_INPUT);
    }
    m_CommandQueue.clear();
    return ROW_PASS_ON;
}

void CQVCharacter::AfterDeadLock() {
    if (!(m_StateFlags & CHAR_DEAD_LOCK)) SendSelfReal(MSG_SET_HOLD_TIME, 0.0f);
}

// ---------------------------------------------------------------------------
// Motion requests and the motion queue

void CQVCharacter::ApplyMotionRequest(uint32_t request) {
    CQVActor* skin = Skin();
    const uint32_t index = request >> 8;
    // An index past the table (an unknown name, a marker) names no motion.
    if (skin == nullptr || index >= kBaseMotionCount) return;
    const char oldLetter = m_MotionLetter;
    const uint32_t oldIndex = m_MotionIndex;
    m_MotionLetter = m_RequestedLetter = static_cast<char>(request & 0xFF);
    m_MotionIndex = index;
    const std::string name = Character_MotionName(m_MotionLetter, index);
    if (skin->HandleMessage(MSG_SET_MOTION, Args_Of(name.c_str())) != 0) return;
    const std::string neutral = Character_MotionName('N', index);
    if (skin->HandleMessage(MSG_SET_MOTION, Args_Of(neutral.c_str())) != 0) {
        m_MotionLetter = 'N';
    } else {
        m_MotionIndex = oldIndex;
        m_MotionLetter = oldLetter;
    }
}

void CQVCharacter::OnSetMotion(const char* name, MessageArgs args) {
    if (m_StateFlags & (CHAR_INPUT_LOCKED | CHAR_MOTION_LOCKED)) return;
    // The base motion is read from the third character on: a shorter name names none.
    if (name == nullptr || std::strlen(name) < 3) return;
    const uint32_t index = Character_FindBaseMotion(name + 2);
    if (index >= kBaseMotionCount) return;
    if (index != m_MotionIndex || name[0] != m_MotionLetter) SendSelfWord(MSG_SET_STATEANDMOVEMENT, Request(index, name[0]));
    Replicate(MSG_SET_MOTION, args);
}

void CQVCharacter::RequestState(std::string text) {
    if ((m_StateFlags & (CHAR_INPUT_LOCKED | CHAR_MOTION_LOCKED)) || text.empty()) return;
    if (text[0] != m_MotionLetter) SendSelfWord(MSG_SET_STATEANDMOVEMENT, Request(m_MotionIndex, text[0]));
    Replicate(MSG_SET_STATE_349, Args_Of(text.c_str()));
}

void CQVCharacter::RequestMovement(std::string name) {
    if (InputLocked()) return;
    const uint32_t index = Character_FindBaseMotion(name.c_str());
    if (index >= kBaseMotionCount) return;
    if (index != m_MotionIndex || m_RequestedLetter != m_MotionLetter)
        SendSelfWord(MSG_SET_STATEANDMOVEMENT, Request(index, m_RequestedLetter));
    Replicate(MSG_SET_MOVEMENT_34D, Args_Of(name.c_str()));
}

void CQVCharacter::PushMotion(const char* text, bool front) {
    if ((m_StateFlags & (CHAR_INPUT_LOCKED | CHAR_MOTION_QUEUE_LOCKED)) || text == nullptr || *text == '\0') return;
    const size_t length = std::strlen(text);
    const char letter = text[0];
    uint32_t request;
    if (length == 1) {
        request = front ? Request(m_MotionIndex, letter) : (static_cast<uint8_t>(letter) | kMarkerLetterOnly);
    } else if (text[1] == '_') {
        request = Request(Character_FindBaseMotion(text + 2), letter);
    } else {
        const uint32_t index = Character_FindBaseMotion(text);
        request = front ? Request(index, m_MotionLetter) : (index << 8 | kMarkerIndexOnly);
    }
    if (front) {
        m_MotionQueue.push_front(request);
    } else {
        m_MotionQueue.push_back(request);
    }
}

void CQVCharacter::ForceNextMotion() {
    if ((m_StateFlags & CHAR_MOTION_QUEUE_LOCKED) || m_MotionQueue.empty()) return;
    uint32_t request = m_MotionQueue.front();
    m_MotionQueue.pop_front();
    if (request & kMarkerLetterOnly) {
        request = Request(m_MotionIndex, static_cast<char>(request & 0xFF));
    } else if (request & kMarkerIndexOnly) {
        request = (request & 0xFFFF00) + static_cast<uint8_t>(m_MotionLetter);
    }
    SendSelfWord(MSG_SET_STATEANDMOVEMENT, request);
    Replicate(MSG_SET_STATEANDMOVEMENT, Args_Of(&request));
    if (m_MotionQueue.empty()) SendSelf(MSG_CHAR_MOTION_QUEUE_EMPTY);
}

void CQVCharacter::Activate(const char* text) {
    CQVActor* group = m_ActivateGroup.target;
    if (group == nullptr) return;
    const std::string name = text ? text : "";
    if (CQVActor* old = m_ActiveTarget.target) old->HandleMessage(MSG_ACTION_STOP_PRE, nullptr);
    CQVActor* found = FindChildByName(group, name.c_str());
    if (found == nullptr && EndsInUnderscoreAndTwoDigits(name))
        found = FindChildByName(group, name.substr(0, name.size() - 3).c_str());
    if (found == nullptr && m_MotionIndex < kBaseMotionCount)
        found = FindChildByName(group, g_BaseMotionNames[m_MotionIndex]);
    if (found != m_ActiveTarget.target) m_ActiveTarget.SetTarget(found);
    if (found) found->HandleMessage(MSG_ACTION_START_PRE, nullptr);
}

// ---------------------------------------------------------------------------
// Health and death

void CQVCharacter::ChangeHealth(float change) {
    // A dead body takes no more changes.
    if (m_Health == 0.0f) return;
    const float constitution = m_CpEffective[CP_CONSTITUTION];
    if (constitution != 0.0f) change /= constitution;
    const float old = m_Health;
    if (m_Health + change <= m_HealthMax) {
        m_Health += change;
    } else {
        // Above the ceiling a gain shrinks the further it lies above it.
        if (change > 0.0f && m_Health > m_HealthMax) change /= (m_Health - m_HealthMax) * 0.05f + 1.0f;
        m_Health += change;
        if (m_Health > m_HealthMax && FindTimedMessageByTag(TAG_DEGENERATION) == nullptr) {
            const float step = kDegenerationStep;
            ScheduleMessage(MSG_CPHEALTH_DEGENERATION, Args_Of(&step), FLAGS_DEGENERATION, kDegenerationPeriod, 0.0f,
                            kDegenerationPeriod);
        }
    }
    if (old <= m_HealthMax && m_HealthMax < m_Health) SendSelf(MSG_ON_CHARACTER_HEALTH_ABOVE_100_START);
    if (old > m_HealthMax && m_HealthMax >= m_Health) SendSelf(MSG_ON_CHARACTER_HEALTH_ABOVE_100_STOP);
    if (IsLocal() && m_Health < 1.0f) Die();
}

void CQVCharacter::Die() {
    CancelTimedMessagesByTag(TAG_DEGENERATION);
    SendSelfReal(MSG_SET_HOLD_TIME, 0.0f);
    m_Health = 0.0f;
    SendSelf(MSG_ON_DIE);
    m_StateFlags &= ~(CHAR_INPUT_LOCKED | CHAR_MOTION_LOCKED);
    SendSelf(MSG_MOTIONQUEUE_CLEAR);
    const char digit = static_cast<char>('0' + static_cast<char>(m_DieIndex));
    std::string die = "N_Die0", dead = "N_Dead0";
    die.back() = digit;
    dead.back() = digit;
    SendSelfText(MSG_SET_MOTION, die.c_str());
    SendSelfText(MSG_MOTIONQUEUE_PUSH_BACK, dead.c_str());
    SendSelfReal(MSG_SET_HOLD_TIME, kDeadHoldTime);
    m_StateFlags |= CHAR_DEAD_LOCK;
    SendSelf(MSG_CC_RACTION1_STOP);
    SendSelf(MSG_CC_RACTION2_STOP);
    SendSelf(MSG_CC_LACTION1_STOP);
}

void CQVCharacter::Push() {
    if (!(m_StateFlags & CHAR_PUSH_READY) || !IsLocal()) return;
    SendSelfText(MSG_SET_MOVEMENT_34D, "Gethit0");
    SendSelfText(MSG_SET_NEXT_MOVEMENT, "Damage0");
    SendSelfReal(MSG_SET_HOLD_TIME, kPushHoldTime);
    m_StateFlags &= ~CHAR_PUSH_READY;
    ScheduleMessage(MSG_DRTYR, nullptr, FLAGS_ONCE, kPushRearm, 0.0f, 0.0f);
}

void CQVCharacter::Forceback(float strength, float spread) {
    const Matrix& world = GetWorldMatrix();
    Vector3 d;
    Vec3_Normalize(&d, Vector3(world.m[2][0], world.m[2][1], world.m[2][2]));
    d.y += 0.1f;
    const float r = static_cast<float>(Random_Next() % 10000);
    m_Forceback = d * (10.0f * strength * (1.0f - r * 0.0001f * spread));
}

// ---------------------------------------------------------------------------
// Parameters

void CQVCharacter::ChangeParam(uint32_t index, MessageArgs args) {
    if (index >= CP_COUNT) return;
    const float percent = Args_Get<float>(args), seconds = Args_Get<float>(args, 4);
    m_CpChangeTarget[index] = index <= CP_FOV ? m_CpBase[index] * percent * 0.01f : percent * 0.01f;
    m_CpChangeProgress[index] = 0.0f;
    // A change of no duration lasts one step instead of dividing by zero.
    m_CpChangeRate[index] = seconds > 0.0f ? 0.1f / seconds : 1.0f;
}

void CQVCharacter::DropItems(float percent) {
    CQVActor* items = m_ItemsGroup.target;
    if (items == nullptr) {
        m_DropCount = 1;
    } else {
        // Held to a count the group could hold, so the truncation stays defined.
        const float share = std::clamp(static_cast<float>(items->m_Children.size()) * percent * 0.01f, -1.0e6f, 1.0e6f);
        m_DropCount = 1 + static_cast<int32_t>(share);
    }
    m_DropTimer = -1.5f;
}

float CQVCharacter::Visibility() {
    float value;
    if (m_MotionIndex == BASE_MOTION_NEUTRAL) {
        value = m_MotionLetter == 'C' ? 0.15f : 0.2f;
    } else {
        switch (m_MotionLetter) {
        case 'C': value = 0.35f; break;
        case 'R': value = 0.8f; break;
        case 'S': value = 0.25f; break;
        default: value = 0.5f; break;
        }
    }
    if (m_LightSensor.target) {
        float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        SendSelf(MSG_GET_COLOR, Args_Of(color));
        value = (color[0] + color[1] + color[2]) * value * 0.33333334f;
    }
    return value;
}

// ---------------------------------------------------------------------------
// Ammunition

void CQVCharacter::SetAmmo(MessageArgs args) {
    const uint32_t type = Args_Get<uint32_t>(args), count = Args_Get<uint32_t>(args, 4);
    if (type < 1 || type > kAmmoTypeCount) return;
    m_Ammo[type - 1] = count;
    m_HasAmmo[type - 1] = count != 0 ? 1 : 0;
}

void CQVCharacter::AddAmmo(MessageArgs args) {
    const uint32_t type = Args_Get<uint32_t>(args);
    if (type < 1 || type > kAmmoTypeCount) return;
    // Taken apart as signed numbers: a loss never wraps into a full stock.
    const int64_t total = static_cast<int64_t>(m_Ammo[type - 1]) + Args_Get<int32_t>(args, 4);
    m_Ammo[type - 1] = static_cast<uint32_t>(std::clamp<int64_t>(total, 0, kMaxAmmo));
    m_HasAmmo[type - 1] = 1;
}

void CQVCharacter::RequestAmmo(MessageArgs args) {
    const uint32_t type = Args_Get<uint32_t>(args), wanted = Args_Get<uint32_t>(args, 4);
    uint32_t granted = 0;
    if (type >= 1 && type <= kAmmoTypeCount) {
        uint32_t& count = m_Ammo[type - 1];
        granted = std::min(count, wanted);
        count -= granted;
    }
    Args_Set(args, 8, granted);
}

// ---------------------------------------------------------------------------
// Items and hands

void CQVCharacter::Equip(uint32_t grabMove, const char* name) {
    CQVActor* items = m_ItemsGroup.target;
    if (items == nullptr) return;
    CancelTimedMessages(grabMove);
    if (CQVActor* item = FindChildByName(items, name)) HandleMessage(grabMove, Args_Of(&item));
}

void CQVCharacter::Grab(bool right, CQVActor* item) {
    ActorLink& hand = right ? m_RightHand : m_LeftHand;
    if (hand.target == nullptr) return;
    const uint32_t move = right ? MSG_RIGHT_HAND_GRAB_ITEM_MOVE : MSG_LEFT_HAND_GRAB_ITEM_MOVE;
    m_StateFlags |= right ? CHAR_RIGHT_GRAB_PENDING : CHAR_LEFT_GRAB_PENDING;
    CancelTimedMessages(move);
    ScheduleMessage(move, Args_Of(&item), FLAGS_ONCE_SAVED, kGrabDelay, 0.0f, 0.0f);
    if (CQVActor* held = FirstChild(hand)) held->HandleMessage(MSG_ON_UNEQUIPPRE, nullptr);
}

void CQVCharacter::GrabMove(bool right, CQVActor* item) {
    ActorLink& hand = right ? m_RightHand : m_LeftHand;
    if (hand.target == nullptr) return;
    m_StateFlags &= ~(right ? CHAR_RIGHT_GRAB_PENDING : CHAR_LEFT_GRAB_PENDING);
    Tell(FirstChild(hand), MSG_SET_STATE_INVENTORY, m_Id);
    if (item == nullptr) return;
    const uint32_t holder[2] = {m_Id, right ? 2u : 1u};
    item->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(holder));
    item->HandleMessage(MSG_ON_EQUIPPED, nullptr);
}

void CQVCharacter::OnChildRemoved(CQVActor* child, CQVActor* parent, bool relative) {
    if (child == nullptr) return;
    if (child == m_Skin.target) {
        m_Skin.Unlink();
        ClearBones();
    }
    if (!relative) return;
    if (child == m_RightHand.target) m_RightHand.Unlink();
    for (ActorLink& attached : m_AttachedActors) {
        if (attached.target == child) attached.Unlink();
    }
    if (parent && parent->m_Name == "RightHand") m_StateFlags &= ~CHAR_RIGHT_HAND_WEAPON;
}

// ---------------------------------------------------------------------------
// Suspension and the light sensor

void CQVCharacter::SetSuspendMode(bool on) { SendSelf(on ? MSG_SLEEP_ORG : MSG_WAKEUP); }

void CQVCharacter::Sleep() {
    if (IsSuspended()) return;
    CancelTimedMessages(MSG_WAKEUP);
    SendSelf(MSG_STOP_SIMULATE);
    m_StateFlags |= CHAR_SUSPENDED;
    SendSelfWord(MSG_SET_COLLISION_ENABLE, 0);
    if (g_ActorSystem) {
        g_ActorSystem->RemoveFromDrawGroup(this, 0);
        g_ActorSystem->AddToDrawGroup(this, 0);
    }
}

void CQVCharacter::WakeUp() {
    if (!IsSuspended()) return;
    CancelTimedMessages(MSG_SLEEP_ORG);
    SendSelf(MSG_START_SIMULATE);
    m_StateFlags &= ~CHAR_SUSPENDED;
    SendSelfWord(MSG_SET_COLLISION_ENABLE, 1);
    if (g_ActorSystem) {
        g_ActorSystem->RemoveFromDrawGroup(this, 0);
        g_ActorSystem->AddToDrawGroup(this, 0);
    }
    m_ContactActive = 0;
}

void CQVCharacter::UpdateSensor() {
    std::copy(std::begin(m_SensorColor), std::end(m_SensorColor), m_PreviousSensorColor);
    if (CQVActor* sensor = m_LightSensor.target) sensor->HandleMessage(MSG_GET_COLOR, Args_Of(m_SensorColor));
}

// Between the last two readings, by how far the half second to the next one has run.
void CQVCharacter::AnswerSensorColor(MessageArgs args) {
    TimedMessage* next = FindTimedMessage(MSG_CHARUPDATESENSOR);
    const float left = next ? GetTimedMessageRemaining(next) : 0.0f;
    const float f = 1.0f - 2.0f * left;
    for (int c = 0; c < 4; ++c) {
        const float previous = m_PreviousSensorColor[c];
        Args_Set(args, 4 * static_cast<size_t>(c), previous + (m_SensorColor[c] - previous) * f);
    }
}

// ---------------------------------------------------------------------------
// Volumes: the climb assist and the action contact

void CQVCharacter::ResizeVolumes(float body, float chest) {
    SetVolumeSize(VolumeAt(m_BodyCol), body);
    SetVolumeSize(VolumeAt(m_ChestCol), chest);
}

int CQVCharacter::ClimbAssist(uint32_t id, MessageArgs args) {
    const bool held = (m_StateFlags & CHAR_JUMP_HELD) != 0;
    if (held) {
        m_Position.y += kClimbLift;
        InvalidateTransform();
    }
    m_PushFrame = g_FrameNumber;
    if (!held || m_PushCount > kClimbSteps) return 1;
    ColObj* body = VolumeAt(m_BodyCol);
    ColObj* chest = VolumeAt(m_ChestCol);
    if (m_PushCount == 0) {
        // The sizes come back half a second after the last step.
        const float sizes[2] = {body ? VolumeSize(*body) : 1.0f, chest ? VolumeSize(*chest) : 1.0f};
        ScheduleMessage(MSG_HJFHHDT, Args_Of(sizes), FLAGS_ONCE, kClimbRestore, 0.0f, 0.0f);
    } else if (TimedMessage* restore = FindTimedMessage(MSG_HJFHHDT)) {
        RescheduleTimedMessage(restore, kClimbRestore);
    }
    ++m_PushCount;
    if (body) SetVolumeSize(body, VolumeSize(*body) * kClimbGrow);
    if (chest) SetVolumeSize(chest, VolumeSize(*chest) * kClimbShrink);
    return CQVActor::HandleMessage(id, args);
}

int CQVCharacter::ActionContact(uint32_t id, MessageArgs args) {
    ColObj* other = Args_Pointer<ColObj>(id, args);
    ColObj* own = Args_Pointer<ColObj>(id, args, sizeof(ColObj*));
    ColObj* action = VolumeAt(m_ActionCol);
    if (own == nullptr || own != action) return ROW_PASS_ON;
    CQVActor* partner = other ? other->owner : nullptr;
    const bool usable = partner && (partner->m_ClassType == CLASS_CHARACTER ||
                                    partner->m_ClassType == CLASS_GAME_CONTAINER || partner->m_ClassType == CLASS_DOOR);
    if (!usable || action->reserved1 != 0) return 0;
    action->flags &= ~COLOBJ_ACTIVE;
    m_StateFlags &= ~CHAR_LEFT_ACTION;
    const CQVActor* item = FirstChild(m_LeftHand);
    const uint32_t block[2] = {m_Id, item ? item->m_Id : ACTOR_ID_NONE};
    partner->HandleMessage(MSG_ACTION, Args_Of(block));
    SendSelfText(MSG_SET_MOVEMENT_34D, "Action");
    return 1;
}

// ---------------------------------------------------------------------------
// Binding to the children

int CQVCharacter::Precalculate(uint32_t id, MessageArgs args) {
    m_ActionCol = m_ChestCol = m_BodyCol = -1;
    for (size_t i = 0; i < m_ColObjs.size(); ++i) {
        ColObj& volume = m_ColObjs[i];
        const int32_t index = static_cast<int32_t>(i);
        if (volume.name == "Action") m_ActionCol = index;
        if (volume.name != "Chest" && volume.name != "Character Col") continue;
        (volume.name == "Chest" ? m_ChestCol : m_BodyCol) = index;
        volume.reserved1 = 0;
        volume.reserved2 = 0;
    }
    const int result = CQVActor::HandleMessage(id, args);

    m_Skin.SetTarget(FindChildByName(this, "Skin"));
    m_Camera.SetTarget(FindDescendantByClass(this, CLASS_CAMERA));
    m_LightSensor.SetTarget(FindChildByName(this, "LightSensor"));
    m_ActivateGroup.SetTarget(FindChildByName(this, "Activate"));
    m_ItemsGroup.SetTarget(FindChildByName(this, "Items"));
    m_LeftHand.SetTarget(FindDescendantByName(this, "LeftHand"));
    m_RightHand.SetTarget(FindDescendantByName(this, "RightHand"));
    ClearBones();
    if (m_Skin.target == nullptr && g_ActorSystem)
        m_Skin.SetTarget(g_ActorSystem->CreateActor(CLASS_SKINOBJECT, "Skin", nullptr, this, ACTOR_ID_ANY, 1, 0));
    if (m_LightSensor.target) {
        // A second binding keeps one reading schedule.
        CancelTimedMessages(MSG_CHARUPDATESENSOR);
        ScheduleMessage(MSG_CHARUPDATESENSOR, nullptr, FLAGS_PERIODIC, kSensorPeriod, 0.0f, kSensorPeriod);
    }
    SendSelfWord(MSG_SET_CHARACTER_TYPE, static_cast<uint32_t>(m_CharacterType));

    CQVActor* skin = Skin();
    m_StateFlags &= ~(CHAR_WALL_CLIMB | CHAR_HAS_KICK_MOTIONS);
    std::vector<std::string> names;
    std::vector<std::string>* list = &names;
    if (skin) skin->HandleMessage(MSG_SET_MOTIONSTRINGLIST_448, Args_Of(&list));
    for (const std::string& name : names) {
        if (name.empty()) continue;
        if (name[0] == 'W' || name[0] == 'w') m_StateFlags |= CHAR_WALL_CLIMB;
        if (name[0] == 'K' || name[0] == 'k') m_StateFlags |= CHAR_HAS_KICK_MOTIONS;
        if (name.size() > 2 && name.compare(2, std::string::npos, "Relax") == 0) m_HandFlags |= HAND_HAS_RELAX;
    }
    const auto* object = dynamic_cast<const CQVObject*>(skin);
    const uint32_t material =
        object && !object->m_Entries.empty() ? Material_GetCollisionMaterial(object->m_Entries.front().material) : 0;
    for (ColObj& volume : m_ColObjs) {
        volume.physique = material;
        volume.scaleFactor = kCollisionMaterialFloat;
    }
    if (m_CharacterType == CHARACTER_THIRD_PERSON && skin) {
        Tell(skin, MSG_SET_CURRENT_LAYER, 2);
        Tell(skin, MSG_SET_LAYER_MASK, 1);
        Tell(skin, MSG_SET_CURRENT_LAYER, 0);
    }
    if (m_SimParams == nullptr) m_SimParams = new SimParams;
    if (m_SimState == nullptr) m_SimState = new SimState;
    m_Flags &= ~ACTOR_SIMULATED;
    if (!IsSuspended()) SendSelf(MSG_START_SIMULATE);
    const TimedMessage* process = FindTimedMessage(MSG_PROCESS);
    if ((process == nullptr || (process->state & TIMED_STATE_CANCELLED)) && g_ActorSystem)
        g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                       PROCESS_CHANNEL);
    return result;
}

void CQVCharacter::ApplyCharacterType() {
    switch (m_CharacterType) {
    case CHARACTER_FIRST_PERSON:
        SendSelfWord(MSG_SET_DIRECTION_BEHAVIOUR, 1);
        m_StateFlags |= CHAR_STRAFING | CHAR_SHOOTER | CHAR_HEAD_BONES | CHAR_FIRST_PERSON;
        m_TurnSpeed = m_LookRotXSpeed = m_LookRotYSpeed = 1.0e13f;
        break;
    case CHARACTER_THIRD_PERSON:
        SendSelfWord(MSG_SET_DIRECTION_BEHAVIOUR, 1);
        m_StateFlags |= CHAR_SHOOTER | CHAR_HEAD_BONES;
        break;
    case CHARACTER_THIRD_PERSON_SHOOTER:
        SendSelfWord(MSG_SET_DIRECTION_BEHAVIOUR, 1);
        m_StateFlags = (m_StateFlags & ~CHAR_HEAD_BONES) | CHAR_SHOOTER;
        m_TurnSpeed = 10.0f;
        m_HeadTurningSpeed = 20.0f;
        m_HeadTurningSpeed2 = 20.0f;
        SendSelfText(MSG_SET_CURRENT_STATE, "R");
        break;
    default:
        break;
    }
    if (!(m_StateFlags & CHAR_SHOOTER)) return;
    m_StateFlags |= CHAR_SHOOTER_IDLE | CHAR_IDLE_ALLOWED;
    for (ColObj& volume : m_ColObjs) {
        if (volume.name == "pushchar") {
            volume.flags &= ~kVolumeBit26;
        } else {
            volume.flags |= kVolumeBit19;
        }
    }
}
