// The Game Object's states, pick-up and use: the state messages, touches,
// "Perform Action" per kind, effects on characters, and the per-frame
// timers of pick-up, activation, bombs, lights and thrown objects.

#include "actors/gameplay/GameObject.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Random.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t COLOBJ_CHARACTER_BODY = 0x20; // the subtype bit of a character's body
constexpr uint32_t COLOBJ_CHARACTER_PART = 0x40;
constexpr uint32_t SIM_FLIGHT = 0x1;

constexpr float kContainerTouchDelay = 4.0f;
constexpr float kDropTouchDelay = 2.0f;
constexpr float kBombHitTouchDelay = 3.0f;
constexpr float kUseTouchDelay = 0.1f;
constexpr float kTrapReportDelay = 0.5f;
constexpr float kTriggerActionDelay = 1.0f;
constexpr float kHitFlightTime = 5.0f;
constexpr float kThrowFlightTime = 15.0f;
constexpr float kLightDimTime = 30.0f;

// The children's names an item looks for, over their first three letters.
struct SlotName {
    ItemSlot slot;
    const char* name;
};
constexpr SlotName kItemSlotNames[] = {
    {SLOT_OBJECT, "Object"}, {SLOT_TRAP, "Trap"}, {SLOT_PARTICLE, "Particle"}, {SLOT_SOUND, "Sound"},
    {SLOT_LIGHT, "Light"},
};

bool IsCharacter(const CQVActor* actor) { return actor && actor->m_ClassType == CLASS_CHARACTER; }
bool IsMaster(const CQVActor* actor) { return actor && (actor->m_Flags & ACTOR_MASTER); }

float HoldTimeOf(CQVActor* character) { return character->AskValue<float>(MSG_GET_HOLD_TIME, 0.0f); }

void SendLightActive(CQVActor* item, bool on) {
    const uint32_t value = on ? 1 : 0;
    item->SendToChildren(MSG_SET_LIGHT_ACTIVE, Args_Of(&value));
}

void Turn(CQVActor* actor, float yaw, float pitch, float roll) {
    Quaternion turn, turned;
    Quat_FromYawPitchRoll(&turn, yaw, pitch, roll);
    Quat_Multiply(&turned, actor->m_Rotation, turn);
    actor->m_Rotation = turned;
}

}  // namespace

bool CQVGameObject::HolderIsMaster() const { return IsMaster(CQVActorSystem::GetActorById(m_Holder)); }

void CQVGameObject::Replicate(uint32_t message, MessageArgs args) {
    if (g_ActorSystem) g_ActorSystem->ReplicateMessage(m_Id, message, args);
}

void CQVGameObject::Notify() {
    const uint32_t notice[3] = {m_Id, m_Holder, m_State};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_ITEM_STATE_NOTICE, Args_Of(notice));
}

void CQVGameObject::MoveHolder(uint32_t holder) {
    m_PreviousHolder = m_Holder;
    m_Holder = holder;
}

void CQVGameObject::CollisionOff() {
    EnableMarkedColObjs(false);
    EnableUnmarkedColObjs(false);
    m_Flags &= ~ACTOR_COLLISION_ENABLED;
}

void CQVGameObject::ResetPlacement() {
    m_Position = Vector3(0.0f, 0.0f, 0.0f);
    Quat_Identity(&m_Rotation);
    InvalidateTransform();
}

void CQVGameObject::RebuildChildren() {
    if (g_ActorSystem == nullptr) return;
    const std::vector<CQVActor*> children = m_Children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (*it && CQVActorSystem::GetTableSlot((*it)->m_Id) == *it) g_ActorSystem->DeleteActor(*it);
    }
    g_ActorSystem->CreateActor(CLASS_OBJECT, "Object", nullptr, this, ACTOR_ID_ANY, 1, 1);
    g_ActorSystem->CreateActor(CLASS_SOUND, "Sound", nullptr, this, ACTOR_ID_ANY, 1, 1);
    if (m_Kind == ITEM_TRAP) g_ActorSystem->CreateActor(CLASS_OBJECT, "Trap", nullptr, this, ACTOR_ID_ANY, 1, 1);
    if (m_Kind == ITEM_LIGHT) g_ActorSystem->CreateActor(CLASS_LIGHT, "Light", nullptr, this, ACTOR_ID_ANY, 1, 1);
    if (m_Kind == ITEM_WEAPON) {
        m_Recoil = 1.0f;
        m_BulletLoadTime = 0.1f;
        m_ClipLoadTime = 1.0f;
        m_Precision = 3.0f;
        m_Range = 50.0f;
        m_AmmoGroups = 1;
        m_FireType = 1;
        m_WeaponFlags = (m_WeaponFlags & ~(WEAPON_FIRE_ON_RELEASE | WEAPON_PREFIRE1_REVERSE | WEAPON_PARTIAL_CLIPLOAD |
                                           WEAPON_RELOAD_SECONDARY)) |
                        WEAPON_BULLETLOAD_AFTER_CLIPLOAD | WEAPON_BULLETLOAD_AFTER_FIRE;
        SetReverseSpeed(1.0f);
        m_Prefire2Timeout = 0;
        m_SecondaryType = 0;
        m_MaxBullets = 6;
        SetWeaponFov(0.0f);
        m_Crosshair.clear();
    } else if (m_Kind == ITEM_AMMO) {
        m_WeaponFlags = 6;
        m_Recoil = m_BulletLoadTime = m_ClipLoadTime = m_Precision = m_Range = 1.0f;
        m_AmmoGroups = 1;
        m_FireType = 1;
        m_ReverseSpeed = 0;
        m_Prefire2Timeout = 1;
        m_SecondaryType = 1;
        m_MaxBullets = 0x4000001;
        m_WeaponFov = 0x40000;
    }
    const uint32_t locked = 1;
    SendToChildren(MSG_SET_LOCK_TRANSFORM, Args_Of(&locked));
}

void CQVGameObject::FindSlots() {
    if (m_DrawGroupId == ACTOR_ID_NONE && g_ActorSystem) g_ActorSystem->UpdateDrawGroup(this);
    CQVActor* found[SLOT_LIGHT + 1] = {};
    for (CQVActor* child : m_Children) {
        if (child == nullptr) continue;
        for (const SlotName& slot : kItemSlotNames) {
            if (strncasecmp(child->m_Name.c_str(), slot.name, 3) == 0) found[slot.slot] = child;
        }
    }
    for (uint32_t i = 0; i <= SLOT_LIGHT; ++i) {
        if (m_Slots[i].target != found[i]) m_Slots[i].SetTarget(found[i]);
    }
    if (m_Kind == ITEM_WEAPON) FindWeaponSlots();
    if (m_Kind == ITEM_AMMO) FindAmmoSlots();
    ScheduleProcess();
}

void CQVGameObject::EnterContainer(uint32_t holder) {
    MoveHolder(holder);
    m_State = ITEM_IN_CONTAINER;
    if (m_Kind == ITEM_TRAP) {
        EnableUnmarkedColObjs(true);
        EnableMarkedColObjs(false);
        m_Flags |= ACTOR_COLLISION_ENABLED;
        if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(this, 1);
        m_DrawGroupId = ACTOR_ID_NONE;
    } else {
        CollisionOff();
    }
    ResetPlacement();
    m_TouchDelay = kContainerTouchDelay;
    SendLightActive(this, false);
    Notify();
}

void CQVGameObject::EnterScene(uint32_t holder) {
    MoveHolder(holder);
    if (m_Kind == ITEM_WEAPON) {
        SendValue<uint32_t>(MSG_SET_COLLISION_ENABLE, 1);
    } else {
        EnableMarkedColObjs(true);
        EnableUnmarkedColObjs(false);
        m_Flags |= ACTOR_COLLISION_ENABLED;
    }
    if (HolderIsMaster()) Replicate(MSG_SET_STATE_SCENE, Args_Of(&holder));
    m_State = ITEM_IN_SCENE;
    if (m_Kind == ITEM_THROW_OBJECT || m_Kind == ITEM_POWER_UP) EnableUnmarkedColObjs(true);
    if (m_Kind == ITEM_TRAP) {
        if (CQVActor* object = m_Slots[SLOT_OBJECT].target) object->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 1);
        if (CQVActor* trap = m_Slots[SLOT_TRAP].target) trap->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 0);
    }
    SendLightActive(this, true);
    Notify();
    if (m_Kind == ITEM_WEAPON) Request(WEAPON_IN_WORLD);
}

void CQVGameObject::EnterInventory(uint32_t holder) {
    MoveHolder(holder);
    CollisionOff();
    m_State = ITEM_IN_INVENTORY;
    if (HolderIsMaster()) Replicate(MSG_SET_STATE_INVENTORY, Args_Of(&holder));
    CQVActor* owner = CQVActorSystem::GetActorById(holder);
    if (m_Kind == ITEM_POWER_UP) {
        if (owner) ApplyEffects(owner, false);
        if (g_ActorSystem) g_ActorSystem->QueueDelete(this);
    }
    if (m_Kind == ITEM_TRAP) {
        if (CQVActor* object = m_Slots[SLOT_OBJECT].target) object->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 1);
        if (CQVActor* trap = m_Slots[SLOT_TRAP].target) trap->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 0);
    }
    if (owner && g_ActorSystem) {
        if (CQVActor* items = FindDescendantByName(owner, "Items"); items && items != m_Parent) {
            g_ActorSystem->MoveActor(this, items);
        }
    }
    // Placed after the move, which keeps the world placement.
    ResetPlacement();
    SendLightActive(this, false);
    if (m_Kind == ITEM_LIGHT) SendToChildren(MSG_STOP_SOUND, nullptr);
    if (m_Kind == ITEM_WEAPON) Request(WEAPON_IN_INVENTORY);
    Notify();
}

void CQVGameObject::EnterHand(uint32_t holder, uint32_t hand) {
    MoveHolder(holder);
    CollisionOff();
    if (HolderIsMaster()) {
        const uint32_t block[2] = {holder, hand};
        Replicate(MSG_SET_STATE_HAND_C, Args_Of(block));
    }
    CQVActor* owner = CQVActorSystem::GetActorById(holder);
    if (hand != 0 && owner) {
        const bool left = hand == 1 || (hand == 3 && m_Kind == ITEM_LIGHT);
        if (CQVActor* node = FindDescendantByName(owner, left ? "LeftHand" : "RightHand")) {
            // What the hand held before goes back to the inventory.
            const std::vector<CQVActor*> held = node->m_Children;
            for (CQVActor* item : held) {
                if (item && CQVActorSystem::GetActorById(item->m_Id) == item) item->SendValue(MSG_SET_STATE_INVENTORY, holder);
            }
            if (g_ActorSystem && m_Parent != node) g_ActorSystem->MoveActor(this, node);
        }
    }
    ResetPlacement();
    SendLightActive(this, true);
    if (m_Kind == ITEM_LIGHT) SendToChildren(MSG_PLAY_SOUND, nullptr);
    m_Flags &= ~ACTOR_SIMULATED;
    m_State = ITEM_IN_HAND;
    if (m_Kind == ITEM_WEAPON) Request(15);
    Notify();
}

void CQVGameObject::EnterPickup(uint32_t holder) {
    MoveHolder(holder);
    CollisionOff();
    if (HolderIsMaster()) Replicate(MSG_SET_STATE_PICKUP, Args_Of(&holder));
    m_PickupTime = m_AnimationLength;
    m_State = ITEM_PICKUP;
    m_Flags &= ~ACTOR_SIMULATED;
    if (m_Kind != ITEM_TRAP) SendToChildren(MSG_PLAY_SOUND, nullptr);
    const float start = 0.0f;
    SendToChildren(MSG_SET_CURRENT_TIME, Args_Of(&start));
    SendLightActive(this, true);
    Notify();
}

void CQVGameObject::SendTrapCollision(uint32_t holder, uint32_t character, bool triggered, float radius,
                                      float distance) {
    const TrapCollisionInfo info{holder, character, triggered ? 1u : 0u, radius, distance};
    Replicate(MSG_TRAP_COLLISION_INFO, Args_Of(&info));
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_TRAP_COLLISION_INFO, Args_Of(&info));
}

void CQVGameObject::Activate(uint32_t holder) {
    MoveHolder(holder);
    m_State = ITEM_ACTIVATE;
    CollisionOff();
    CQVActor* owner = CQVActorSystem::GetActorById(holder);
    const bool master = IsMaster(owner);
    if (m_Kind != ITEM_TRAP && master) Replicate(MSG_SET_STATE_ACTIVATE, Args_Of(&holder));
    if (m_Kind == ITEM_TRAP || master) {
        if (CQVActor* object = m_Slots[SLOT_OBJECT].target) object->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 0);
        if (CQVActor* trap = m_Slots[SLOT_TRAP].target) {
            m_AnimationLength = std::max(trap->AskValue<float>(MSG_GET_TOTAL_TIME, m_AnimationLength), 0.01f);
            trap->SendValue<uint32_t>(MSG_SET_OPERATIONAL, 1);
            trap->SendValue(MSG_SET_CURRENT_TIME, 0.0f);
            const float start = 0.0f;
            trap->SendToChildren(MSG_SET_CURRENT_TIME, Args_Of(&start));
        }
        if (owner) {
            if (g_ActorSystem && m_Parent != owner) g_ActorSystem->MoveActor(this, owner);
            ApplyEffects(owner, false);
        }
        if (master) SendTrapCollision(m_PreviousHolder, holder, true, 0.0f, 0.0f);
    }
    m_Position = Vector3(0.0f, 0.0f, 0.0f);
    m_JumpSpeed = 70.0f;
    m_SpinRates = Vector3(1.0f / m_AnimationLength, 6.1f / m_AnimationLength, 1.0f / m_AnimationLength);
    Quat_Identity(&m_Rotation);
    InvalidateTransform();
    m_ActivateTime = 0.0f;
    SendToChildren(MSG_PLAY_SOUND, nullptr);
    const float start = 0.0f;
    SendToChildren(MSG_SET_CURRENT_TIME, Args_Of(&start));
    SendLightActive(this, true);
    Notify();
}

void CQVGameObject::KeepWorldPlacementUnder(CQVActor* parent) {
    const Matrix world = GetWorldMatrix();
    if (g_ActorSystem && m_Parent != parent) g_ActorSystem->MoveActor(this, parent);
    Matrix local;
    Mat4_Multiply(&local, world, parent->GetInverseWorldMatrix());
    m_Position = Vector3(local.m[3][0], local.m[3][1], local.m[3][2]);
    Quaternion rotation;
    Quat_FromMatrix(&rotation, local);
    Quat_Normalize(&m_Rotation, rotation);
    InvalidateTransform();
    SendValue(MSG_SET_DELTA_POSITION, Vector3(0.0f, 0.0f, 0.0f));
    m_FlightTime = kHitFlightTime;
    m_FlightActive = 1;
}

void CQVGameObject::Hit(uint32_t characterId) {
    CQVActor* character = CQVActorSystem::GetActorById(characterId);
    m_State = ITEM_HIT;
    if (IsMaster(character)) Replicate(MSG_SET_STATE_HIT, Args_Of(&characterId));
    CollisionOff();
    m_Flags &= ~ACTOR_SIMULATED;
    if (m_Kind == ITEM_BOMB) {
        if (character) ApplyEffects(character, false);
        m_State = ITEM_IN_SCENE;
        m_TouchDelay = kBombHitTouchDelay;
    } else if (character) {
        const Matrix world = GetWorldMatrix();
        ApplyEffects(character, true);
        // The move kept the local placement: the item stays where it hit.
        SetWorldMatrix(world);
        KeepWorldPlacementUnder(character);
    }
    Notify();
}

void CQVGameObject::StickTo(CQVActor* actor, const ColObj* own) {
    m_State = ITEM_HIT;
    CollisionOff();
    m_Flags &= ~(ACTOR_COLLISION_ENABLED | ACTOR_SIMULATED);
    KeepWorldPlacementUnder(actor);
    for (ColObj& object : m_ColObjs) {
        if (&object == own) object.flags &= ~(COLOBJ_TRIGGERED | COLOBJ_RECEIVES | COLOBJ_SENDS);
    }
    Notify();
}

void CQVGameObject::Touch(const ColObj* other, const ColObj* own) {
    if (m_TouchDelay > 0.0f || other == nullptr || other->owner == nullptr) return;
    CQVActor* toucher = other->owner;
    const bool character = IsCharacter(toucher);
    const uint32_t toucherId = toucher->m_Id;
    if (m_Kind == ITEM_WEAPON) {
        if (character && HoldTimeOf(toucher) <= 0.0f) SendValue(MSG_SET_STATE_PICKUP, toucherId);
        if (character) return;
    }
    const bool body = (other->flags & (COLOBJ_CHARACTER_BODY | COLOBJ_CHARACTER_PART)) != 0;
    if (m_Kind == ITEM_BOMB && m_State == ITEM_IN_SCENE) {
        if (body && character && IsMaster(toucher)) SendValue(MSG_SET_STATE_HIT, toucherId);
        return;
    }
    if (m_Kind == ITEM_THROW_OBJECT && m_State == ITEM_IN_SCENE && body) {
        if (character && IsMaster(toucher) && toucherId != m_Holder) {
            SendValue(MSG_SET_STATE_HIT, toucherId);
        } else if (!character) {
            StickTo(toucher, own);
        }
    }
    if (!character || !IsMaster(toucher) || !(other->flags & COLOBJ_CHARACTER_BODY)) return;
    if (own && (own->flags & COLOBJ_CHARACTER_BODY)) {
        if (m_State == ITEM_IN_SCENE && m_Kind != ITEM_THROW_OBJECT && HoldTimeOf(toucher) <= 0.0f) {
            SendValue(MSG_SET_STATE_PICKUP, toucherId);
        }
    } else if (m_Kind == ITEM_POWER_UP && m_State == ITEM_IN_SCENE) {
        if (HoldTimeOf(toucher) <= 0.0f) SendValue(MSG_SET_STATE_PICKUP, toucherId);
    } else if (m_Kind == ITEM_TRAP && m_State == ITEM_IN_CONTAINER && m_Holder != ACTOR_ID_NONE &&
               m_TrapTouchDelay < 0.0f) {
        const float radius = own ? own->boxMax.x : 0.0f;
        const float distance = Vec3_Length(GetWorldPosition() - toucher->GetWorldPosition());
        SendTrapCollision(m_Holder, toucherId, false, radius, std::min(radius, distance));
        m_TrapTouchDelay = kTrapReportDelay;
    }
}

int CQVGameObject::DropOnGround(uint32_t holder) {
    if (!m_Droppable || m_Kind == ITEM_THROW_OBJECT || m_Kind == ITEM_TRIGGER) return 0;
    if (m_Kind == ITEM_WEAPON && m_WeaponState != WEAPON_READY && m_WeaponState != WEAPON_EMPTY_CLIP) return 0;
    if (m_Kind == ITEM_BOMB && m_State == ITEM_IN_INVENTORY) return 0;
    const uint32_t was = m_State;
    MoveHolder(holder);
    Vector3 velocity(0.0f, 160.0f, 0.0f);
    CQVActor* owner = CQVActorSystem::GetActorById(holder);
    if (was == ITEM_IN_INVENTORY && owner) {
        if (CQVActor* hand = FindDescendantByName(owner, "RightHand")) {
            m_Position = hand->GetWorldPosition() + Vector3(0.0f, 20.0f, 0.0f);
            velocity = Vector3(static_cast<float>((Random_Next() & 0x7f) - 64), 160.0f,
                               static_cast<float>((Random_Next() & 0x7f) - 64));
        }
    }
    SendValue(MSG_SET_DELTA_POSITION, velocity);
    m_State = ITEM_DROP_ON_GROUND;
    Notify();
    SendValue(MSG_SET_STATE_SCENE, holder);
    HandleMessage(MSG_START_SIMULATE, nullptr);
    HandleMessage(MSG_QUATERNION_IDENTITY, nullptr);
    m_TouchDelay = kDropTouchDelay;
    if (m_Kind == ITEM_BOMB) {
        m_BombElapsed = 0.0f;
        m_BombArmed = 1;
        if (IsMaster(owner) && IsCharacter(owner)) {
            const Vector3 look = owner->AskValue(MSG_GET_LOOKDIRECTION, Vector3(0.0f, 0.0f, 0.0f));
            const Vector3 throwVelocity = look * 300.0f;
            SendValue(MSG_SET_DELTA_POSITION, throwVelocity);
            m_Position.x += 30.0f * look.x;
            m_Position.z += 30.0f * look.z;
            InvalidateTransform();
            owner->HandleMessage(MSG_SET_MOVEMENT_34D, Args_Of("Throw"));
            Replicate(MSG_SET_STATE_DROP_ON_GROUND, Args_Of(&holder));
            Replicate(MSG_SET_POSITION, Args_Of(&m_Position));
            Replicate(MSG_SET_DELTA_POSITION, Args_Of(&throwVelocity));
        }
    } else if (IsMaster(owner)) {
        Replicate(MSG_SET_STATE_DROP_ON_GROUND, Args_Of(&holder));
    }
    return 1;
}

void CQVGameObject::PerformAction(uint32_t holderId) {
    if (m_ActionDelay > 0.0f || m_Kind == ITEM_LIGHT || m_Kind == ITEM_WEAPON) return;
    CQVActor* holder = CQVActorSystem::GetActorById(holderId);
    if (IsMaster(holder)) Replicate(MSG_PERFORM_ACTION, Args_Of(&holderId));
    switch (m_Kind) {
    case ITEM_TRIGGER: {
        CQVActor* source = CQVActorSystem::GetActorById(m_TriggerContainer);
        if (source == nullptr || holder == nullptr || g_ActorSystem == nullptr) return;
        CQVActor* clone = g_ActorSystem->CloneActor(source, holder, 1);
        if (clone == nullptr) return;
        m_ActionDelay = kTriggerActionDelay;
        m_TouchDelay = kUseTouchDelay;
        const Matrix matrix = holder->AskValue(MSG_GET_MATRIX, holder->GetWorldMatrix());
        Vector3 look = holder->AskValue(MSG_GET_LOOKDIRECTION, Vector3(0.0f, 0.0f, 1.0f));
        look.y = 0.0f;
        if (Vec3_LengthSq(look) > 0.0f) look = Vec3_Normalized(look);
        const Vector3 origin(matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]);
        Vector3 place = origin + look * 40.0f + Vector3(0.0f, 20.0f, 0.0f);
        Vector3 local;
        Vec3_TransformPoint(&local, place, holder->GetInverseWorldMatrix());
        clone->SendValue(MSG_SET_POSITION, local);
        const float heading = std::atan2(look.x, look.z);
        holder->SendValue(MSG_SET_ROT_Y_3D0, heading);
        Quaternion turn;
        Quat_FromYawPitchRoll(&turn, heading, 0.0f, 0.0f);
        clone->SendValue(MSG_SET_QUATERNION, turn);
        clone->m_Flags |= ACTOR_COLLISION_ENABLED;
        clone->HandleMessage(MSG_START_SIMULATE, nullptr);
        clone->SendValue(MSG_SET_DELTA_POSITION, Vector3(0.0f, 80.0f, 0.0f));
        g_ActorSystem->QueueDelete(this);
        return;
    }
    case ITEM_THROW_OBJECT: {
        m_TouchDelay = kUseTouchDelay;
        if (IsMaster(holder)) {
            const Vector3 look = holder->AskValue(MSG_GET_LOOKDIRECTION, Vector3(0.0f, 0.0f, -400.0f));
            const Vector3 velocity = look * 400.0f;
            SendValue(MSG_SET_DELTA_POSITION, velocity);
            holder->HandleMessage(MSG_SET_MOVEMENT_34D, Args_Of("Throw"));
            Replicate(MSG_SET_DELTA_POSITION, Args_Of(&velocity));
        }
        m_FlightTime = kThrowFlightTime;
        m_FlightActive = 1;
        if (SimParams* sim = SimParamsBlock()) {
            sim->words[0] |= SIM_FLIGHT;
            const float bounce = 2.0f, friction = 0.01f;
            std::memcpy(&sim->words[1], &bounce, 4);
            std::memcpy(&sim->words[8], &friction, 4);
        }
        if (!m_ColObjs.empty()) m_ColObjs.front().flags |= COLOBJ_TRIGGERED;
        SendValue(MSG_SET_STATE_SCENE, holderId);
        HandleMessage(MSG_START_SIMULATE, nullptr);
        if (holder) {
            m_Position = holder->GetWorldPosition() + Vector3(0.0f, 28.0f, 0.0f);
            InvalidateTransform();
        }
        return;
    }
    default:
        SendValue(MSG_SET_STATE_DROP_ON_GROUND, holderId);
        return;
    }
}

void CQVGameObject::ApplyEffects(CQVActor* character, bool move) {
    if (character == nullptr) return;
    if (move && g_ActorSystem && m_Parent != character) g_ActorSystem->MoveActor(this, character);
    if (HoldTimeOf(character) > 0.0f) return;
    char motion[32];
    if (m_GethitId > 0) {
        std::snprintf(motion, sizeof motion, "Gethit%u", m_GethitId - 1);
        character->HandleMessage(MSG_SET_MOVEMENT_34D, Args_Of(motion, std::strlen(motion) + 1));
    }
    if (m_DamageId > 0) {
        std::snprintf(motion, sizeof motion, "Damage%u", m_DamageId - 1);
        character->HandleMessage(MSG_SET_NEXT_MOVEMENT, Args_Of(motion, std::strlen(motion) + 1));
    }
    character->SendValue(MSG_SET_HOLD_TIME, m_CharacterHoldTime);
    const std::vector<HitEffect> effects = m_Effects;
    // Types past the last the character knows send nothing.
    for (const HitEffect& effect : effects) Character_ApplyHitEffect(character, effect, 1.0f);
    const uint32_t hit[2] = {m_Id, character->m_Id};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_GAMEOBJECT_HIT_CHARACTER, Args_Of(hit));
}

void CQVGameObject::Process() {
    if (!IsOperational() || m_State == ITEM_IN_INVENTORY) return;
    RefreshClock(this);
    const float dt = m_Clock->dt;
    m_ActionDelay -= dt;
    m_TouchDelay -= dt;
    m_TrapTouchDelay -= dt;
    if (m_Kind == ITEM_BOMB && m_BombArmed) {
        m_BombElapsed += dt;
        if (m_BombElapsed > m_BombTimer) {
            if (CQVActor* explosion = FindChild("Explosion")) explosion->HandleMessage(MSG_ACTION_START_PRE, nullptr);
            if (CQVActor* object = m_Slots[SLOT_OBJECT].target) object->HandleMessage(MSG_ACTION_STOP, nullptr);
            if (CQVActor* particle = m_Slots[SLOT_PARTICLE].target) particle->HandleMessage(MSG_ACTION_STOP, nullptr);
            EnableUnmarkedColObjs(true);
            EnableMarkedColObjs(false);
            m_Flags &= ~ACTOR_SIMULATED;
            SendValue(MSG_SET_DELTA_POSITION, Vector3(0.0f, 0.0f, 0.0f));
            m_BombElapsed = 0.0f;
            m_BombArmed = 0;
            HandleMessage(MSG_KILL_PRE, nullptr);
        }
    }
    if (m_State == ITEM_PICKUP) {
        m_PickupTime -= dt;
        Turn(this, 4.0f * dt, 0.0f, 0.0f);
        m_Position.y += 60.0f * dt;
        InvalidateTransform();
        if (m_PickupTime <= 0.0f) {
            HandleMessage(MSG_ON_PICKUP, nullptr);
            SendValue(MSG_SET_STATE_INVENTORY, m_Holder);
        }
    } else if (m_State == ITEM_ACTIVATE) {
        m_ActivateTime += dt;
        if (m_ActivateTime > m_AnimationLength) {
            if (m_Kind == ITEM_TRAP) {
                if (g_ActorSystem) g_ActorSystem->QueueDelete(this);
            } else {
                SendValue(MSG_SET_STATE_INVENTORY, m_Holder);
            }
        }
        if (m_AnimationType == 1 || m_AnimationType == 2) {
            Turn(this, dt * m_SpinRates.y, dt * m_SpinRates.x, dt * m_SpinRates.z);
        }
        if (m_AnimationType == 2) {
            m_JumpSpeed -= m_AnimationLength * 30.0f * dt;
            m_Position.y += m_JumpSpeed * dt;
        }
        InvalidateTransform();
    }
    if (m_Kind == ITEM_LIGHT && m_State == ITEM_IN_HAND) {
        m_LightDuration -= dt;
        if (m_LightDuration < kLightDimTime) {
            if (CQVActor* light = m_Slots[SLOT_LIGHT].target) {
                const float radius = light->AskValue<float>(MSG_GET_RADIUS, 1.0f);
                light->SendValue(MSG_SET_RADIUS, std::max(radius - 8.0f * dt, 1.0f));
            }
            if (CQVActor* particle = m_Slots[SLOT_PARTICLE].target) {
                particle->SendValue(MSG_GET_INTENSITY, m_LightDuration * 0.033f);
            }
        }
        if (m_LightDuration <= 0.0f && g_ActorSystem) g_ActorSystem->QueueDelete(this);
    }
    if (m_Kind == ITEM_THROW_OBJECT && m_State == ITEM_IN_SCENE && m_FlightActive) {
        if (m_FlightTime > 0.0f) {
            m_FlightTime -= dt;
            const float radius = m_FlightTime * 25.0f;
            SendToChildren(MSG_SET_RADIUS, Args_Of(&radius));
            if (CQVActor* particle = m_Slots[SLOT_PARTICLE].target) {
                particle->SendValue(MSG_GET_INTENSITY, m_FlightTime * 0.1f);
            }
        } else if (g_ActorSystem) {
            g_ActorSystem->QueueDelete(this);
        }
    }
    CQVActor::Process();
}

int CQVGameObject::HandleItemMessage(uint32_t id, MessageArgs args, bool* handled) {
    if (m_Kind == ITEM_WEAPON) {
        const int result = HandleWeaponMessage(id, args, handled);
        if (*handled) return result;
    }
    switch (id) {
    case MSG_PRECALCULATE: FindSlots(); break;
    case MSG_COLLISION_EVENT:
        Touch(Args_Pointer<ColObj>(id, args), Args_Pointer<ColObj>(id, args, sizeof(void*)));
        break;
    case MSG_SET_STATE_CONTAINER: EnterContainer(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_ACTIVATE: Activate(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_SCENE: EnterScene(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_INVENTORY: EnterInventory(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_HAND: {
        const uint32_t block[2] = {Args_Get<uint32_t>(args), 3};
        HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(block));
        break;
    }
    case MSG_SET_STATE_HAND_C: EnterHand(Args_Get<uint32_t>(args), Args_Get<uint32_t>(args, 4)); break;
    case MSG_SET_STATE_PICKUP: EnterPickup(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_HIT: Hit(Args_Get<uint32_t>(args)); break;
    case MSG_SET_STATE_DROP_ON_GROUND: DropOnGround(Args_Get<uint32_t>(args)); break;
    case MSG_PERFORM_ACTION: PerformAction(Args_Get<uint32_t>(args)); break;
    default: break;
    }
    return 0;
}
