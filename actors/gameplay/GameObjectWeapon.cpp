// The Game Object as a weapon: the state machine of its animation phases
// driven by "Set Weapon State" requests, firing with recoil, muzzle flash,
// a spent shell and rays with spread, the hits' effects, reloading from the
// holding character's ammunition, and the crosshair notice.

#include "actors/characters/Character.h"
#include "actors/gameplay/GameObject.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kWeaponTag = 0xfd;
constexpr uint32_t kTimedOnce = 0x1200;
constexpr uint32_t kTimedGrouped = 0x200 | kWeaponTag;
constexpr float kDefaultActionTime = 0.1f;
constexpr float kTargetFrameTime = 1.0f / 30.0f;
constexpr int kMaterialKind = 4;

struct SlotName {
    ItemSlot slot;
    const char* name;
};
constexpr SlotName kAnimationSlots[] = {
    {SLOT_LOADED, "Loaded"},         {SLOT_IN_WORLD, "InWorld"},    {SLOT_MAG, "Mag"},
    {SLOT_PREFIRE1, "PreFire1"},     {SLOT_CANCEL_FIRE, "CancelFire"}, {SLOT_PREFIRE2, "PreFire2"},
    {SLOT_FIRE, "Fire"},             {SLOT_BULLET_LOAD, "BulletLoad"}, {SLOT_CLIP_UNLOAD, "ClipUnload"},
    {SLOT_NO_CLIP, "NoClip"},        {SLOT_NO_CLIP_FIRE, "NoClipFire"}, {SLOT_CLIP_LOAD, "ClipLoad"},
};
constexpr SlotName kPositionSlots[] = {
    {SLOT_FLASH_POS, "FlashPos"}, {SLOT_SHELL_EXIT_POS, "ShellExitPos"}, {SLOT_SIGHT_POS, "SightPos"},
    {SLOT_SECONDARY, "Secondary"},
};
constexpr SlotName kAmmoSlots[] = {
    {SLOT_SHELL, "Shell"}, {SLOT_IMPACT, "Impact"}, {SLOT_FLASH, "Flash"}, {SLOT_VAPOUR_TRAIL, "VapourTrail"},
};

// The crosshair notice {shown, recoil, aim, material item}.
struct CrosshairNotice {
    uint32_t shown;
    float recoil;
    float aim;
    void* material;
};

bool IsCharacter(const CQVActor* actor) { return actor && actor->m_ClassType == CLASS_CHARACTER; }

Vector3 Translation(const Matrix& m) { return Vector3(m.m[3][0], m.m[3][1], m.m[3][2]); }

Vector3 AxisZ(const Matrix& m) {
    Vector3 axis;
    Mat4_GetAxisZ(&axis, m);
    return axis;
}

void Stop(CQVActor* actor) {
    if (actor) actor->HandleMessage(MSG_ACTION_STOP_PRE, nullptr);
}

}  // namespace

CQVGameObject* CQVGameObject::Ammo() const {
    CQVActor* ammo = m_AmmoChild.target;
    return ammo && ammo->m_ClassType == CLASS_GAME_OBJECT ? static_cast<CQVGameObject*>(ammo) : nullptr;
}

CQVGameObject* CQVGameObject::ParentWeapon() const {
    CQVActor* parent = m_Parent;
    return parent && parent->m_ClassType == CLASS_GAME_OBJECT ? static_cast<CQVGameObject*>(parent) : nullptr;
}

CQVActor* CQVGameObject::WeaponHolder() const {
    // The weapon hangs under a hand node of its character; a secondary
    // weapon hangs one level further down, under its weapon.
    CQVActor* hand = m_IsSecondary && m_Parent ? m_Parent->m_Parent : m_Parent;
    return hand ? hand->m_Parent : nullptr;
}

uint32_t CQVGameObject::AmmoGroupNumber() const {
    const CQVGameObject* ammo = Ammo();
    const uint32_t groups = ammo ? ammo->m_AmmoGroups : 0;
    return groups ? 1 + static_cast<uint32_t>(std::countr_zero(groups)) : 0;
}

void CQVGameObject::SetActionTarget(CQVActor* child) {
    if (child == nullptr) return;
    Stop(m_ActionTarget.target);
    child->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    if (m_ActionTarget.target != child) m_ActionTarget.SetTarget(child);
}

void CQVGameObject::ClearActionTarget() {
    Stop(m_ActionTarget.target);
    m_ActionTarget.Unlink();
}

float CQVGameObject::ActionTimeOf(ItemSlot slot, float fallback) {
    CQVActor* child = m_Slots[slot].target;
    return child ? child->AskValue<float>(MSG_GET_ACTION_TIME, fallback) : fallback;
}

void CQVGameObject::RequestLater(uint32_t request, float delay, bool grouped) {
    ScheduleMessage(MSG_SET_WEAPON_STATE, Args_Of(&request), grouped ? kTimedGrouped : kTimedOnce, delay, 0.0f, 0.0f);
}

void CQVGameObject::FindWeaponSlots() {
    for (const SlotName& slot : kAnimationSlots) {
        CQVActor* child = FindChildByName(this, slot.name);
        if (m_Slots[slot.slot].target != child) m_Slots[slot.slot].SetTarget(child);
        Stop(child);
    }
    for (const SlotName& slot : kPositionSlots) {
        CQVActor* child = FindChildByName(this, slot.name);
        if (m_Slots[slot.slot].target != child) m_Slots[slot.slot].SetTarget(child);
    }
    CQVActor* ammo = FindChildByName(this, "Ammo");
    if (m_AmmoChild.target != ammo) m_AmmoChild.SetTarget(ammo);
    m_IsSecondary = m_Name == "Secondary" ? 1 : 0;
    if (m_IsSecondary) return;
    Request(15);
    if (CQVActor* loaded = m_Slots[SLOT_LOADED].target) loaded->HandleMessage(MSG_ACTION_START, nullptr);
    m_CrosshairItem = nullptr;
    if (!m_Crosshair.empty() && g_Engine) m_CrosshairItem = g_Engine->FindItem(m_Crosshair.c_str(), kMaterialKind);
}

void CQVGameObject::FindAmmoSlots() {
    for (const SlotName& slot : kAmmoSlots) {
        CQVActor* child = FindChildByName(this, slot.name);
        if (m_Slots[slot.slot].target != child) m_Slots[slot.slot].SetTarget(child);
        if (slot.slot != SLOT_IMPACT) Stop(child);
    }
}

void CQVGameObject::Request(uint32_t request) {
    if (m_Kind != ITEM_WEAPON || (m_Activity & ACTIVITY_KILLED)) return;
    CQVGameObject* ammo = Ammo();
    if (ammo == nullptr) return;
    if (m_WeaponState == WEAPON_IN_INVENTORY && request != 14 && request != 15 && request != 18) return;
    CQVGameObject* parent = m_IsSecondary ? ParentWeapon() : nullptr;
    const bool waits = m_IsSecondary && m_SecondaryType == 1;
    uint32_t& bullets = ammo->m_WeaponFlags;
    const bool unlimited = ammo->m_ReverseSpeed != 0;
    switch (request) {
    case 1:
        CancelTimedMessagesByTag(kWeaponTag);
        if (bullets == 0) return;
        Request(15);
        break;
    case 4:
        SetActionTarget(m_Slots[SLOT_PREFIRE2].target);
        m_WeaponState = WEAPON_PREFIRE2;
        break;
    case 5:
        if (m_WeaponState == WEAPON_READY || m_WeaponState == WEAPON_PREFIRE2) Fire();
        break;
    case 6:
        Stop(ammo->m_Slots[SLOT_FLASH].target);
        if (!unlimited && bullets > 0) --bullets;
        if (bullets == 0) {
            if (CQVActor* unload = m_Slots[SLOT_CLIP_UNLOAD].target) {
                SetActionTarget(unload);
                m_WeaponState = WEAPON_CLIP_UNLOAD;
                RequestLater(12, ActionTimeOf(SLOT_CLIP_UNLOAD, kDefaultActionTime), false);
            } else {
                SetActionTarget(m_Slots[SLOT_NO_CLIP].target ? m_Slots[SLOT_NO_CLIP].target
                                                              : m_Slots[SLOT_LOADED].target);
                m_WeaponState = WEAPON_EMPTY_CLIP;
            }
        } else if (m_WeaponFlags & WEAPON_BULLETLOAD_AFTER_FIRE) {
            SetActionTarget(m_Slots[SLOT_BULLET_LOAD].target);
            m_WeaponState = WEAPON_BULLET_LOAD;
            RequestLater(1, ActionTimeOf(SLOT_BULLET_LOAD, kDefaultActionTime), false);
            RequestLater(7, ammo->m_BulletLoadTime * m_BulletLoadTime, true);
        } else {
            Request(1);
        }
        break;
    case 7: Request(18); break;
    case 8:
        if (m_WeaponState == WEAPON_READY) {
            if (waits && parent) parent->Request(16);
            if (m_FireType == WEAPON_FIRE_AUTO) m_AutoFireLatch = 1;
            if (CQVActor* prefire = m_Slots[SLOT_PREFIRE1].target) {
                if (m_WeaponFlags & WEAPON_FIRE_ON_RELEASE) {
                    if (m_WeaponFlags & WEAPON_PREFIRE1_REVERSE) {
                        if (CQVActor* object = FindDescendantByClass(prefire, CLASS_OBJECT)) {
                            object->SendValue(MSG_SET_ANIMATION_SPEED, 100.0f);
                            object->SendValue<uint32_t>(MSG_SET_MESH_ANIMATION_STYLE_1C4, 0);
                        }
                    }
                    RequestLater(4, ActionTimeOf(SLOT_PREFIRE2, kDefaultActionTime), true);
                }
                SetActionTarget(prefire);
                m_WeaponState = WEAPON_PREFIRE1;
            } else if (m_Slots[SLOT_PREFIRE2].target == nullptr) {
                Request(5);
            }
        } else if (m_WeaponState == WEAPON_EMPTY_CLIP && m_Slots[SLOT_NO_CLIP_FIRE].target) {
            SetActionTarget(m_Slots[SLOT_NO_CLIP_FIRE].target);
            RequestLater(12, ActionTimeOf(SLOT_NO_CLIP_FIRE, kDefaultActionTime), false);
        } else {
            m_WeaponFlags |= WEAPON_FIRE_WANTED;
        }
        break;
    case 9:
        m_AutoFireLatch = 0;
        m_WeaponFlags &= ~WEAPON_FIRE_WANTED;
        if (m_WeaponState == WEAPON_PREFIRE1 && (m_WeaponFlags & WEAPON_FIRE_ON_RELEASE)) {
            CancelTimedMessagesByTag(kWeaponTag);
            m_WeaponState = WEAPON_FIRE_CANCELLED;
            RequestLater(1, kDefaultActionTime, false);
        } else if (m_WeaponState == WEAPON_PREFIRE2) {
            Request(5);
        }
        break;
    case 12:
        if (waits && parent) parent->Request(15);
        m_WeaponState = WEAPON_EMPTY_CLIP;
        if (m_FireType != WEAPON_FIRE_MANUAL) {
            Request(17);
            if (m_WeaponState == WEAPON_CLIP_LOAD) break;
        }
        SetActionTarget(m_Slots[SLOT_NO_CLIP].target);
        break;
    case 14:
        SetActionTarget(m_Slots[SLOT_IN_WORLD].target);
        m_WeaponState = WEAPON_IN_WORLD;
        break;
    case 15:
        Request(18);
        if (m_WeaponState == WEAPON_READY) {
            SetActionTarget(m_Slots[SLOT_LOADED].target);
        } else if (m_WeaponState == WEAPON_EMPTY_CLIP) {
            SetActionTarget(m_Slots[SLOT_NO_CLIP].target);
            Request(17);
        } else if (m_WeaponState == WEAPON_IN_WORLD) {
            SetActionTarget(m_Slots[SLOT_IN_WORLD].target);
        } else if (m_WeaponState == WEAPON_IN_INVENTORY) {
            ClearActionTarget();
        }
        break;
    case 16:
        CancelTimedMessagesByTag(kWeaponTag);
        m_AutoFireLatch = 0;
        m_WeaponFlags &= ~WEAPON_FIRE_WANTED;
        ClearActionTarget();
        m_WeaponState = WEAPON_IN_INVENTORY;
        break;
    case 17: {
        if ((m_WeaponState != WEAPON_READY && m_WeaponState != WEAPON_EMPTY_CLIP) || unlimited) break;
        // Ammunition of no group is no ammunition: nothing to ask for.
        const uint32_t group = AmmoGroupNumber();
        CQVActor* holder = WeaponHolder();
        if (group == 0 || !IsCharacter(holder)) break;
        uint32_t ask[2] = {group, 0};
        holder->HandleMessage(MSG_GET_AMMO_COUNT, Args_Of(ask));
        if (ask[1] != 0) {
            SetActionTarget(m_Slots[SLOT_CLIP_LOAD].target);
            m_WeaponState = WEAPON_CLIP_LOAD;
            RequestLater(19, ActionTimeOf(SLOT_CLIP_LOAD, kDefaultActionTime), true);
        }
        break;
    }
    case 18:
        if (m_State == ITEM_IN_SCENE) {
            m_WeaponState = WEAPON_IN_WORLD;
        } else if (m_State == ITEM_IN_INVENTORY) {
            m_WeaponState = WEAPON_IN_INVENTORY;
        } else if (bullets == 0) {
            m_WeaponState = WEAPON_EMPTY_CLIP;
        } else {
            m_WeaponState = WEAPON_READY;
            if (m_AutoFireLatch || (m_WeaponFlags & WEAPON_FIRE_WANTED)) {
                m_WeaponFlags &= ~WEAPON_FIRE_WANTED;
                Request(8);
            } else if (waits && parent) {
                parent->Request(15);
            }
        }
        break;
    case 19:
        if (m_WeaponState == WEAPON_CLIP_LOAD) {
            const uint32_t group = AmmoGroupNumber();
            CQVActor* holder = WeaponHolder();
            if (group != 0 && IsCharacter(holder)) {
                uint32_t ask[3] = {group, m_MaxBullets, 0};
                holder->HandleMessage(MSG_REQUEST_AMMO, Args_Of(ask));
                if (ask[2] != 0) bullets = ask[2];
            }
        }
        Request(15);
        break;
    default: break;
    }
}

void CQVGameObject::EjectShell(CQVGameObject* ammo) {
    CQVActor* exit = m_Slots[SLOT_SHELL_EXIT_POS].target;
    CQVActor* shell = ammo->m_Slots[SLOT_SHELL].target;
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    if (exit == nullptr || shell == nullptr || scenery == nullptr || g_ActorSystem == nullptr) return;
    CQVActor* clone = g_ActorSystem->CloneActor(shell, scenery, 1);
    if (clone == nullptr) return;
    const Matrix place = exit->GetWorldMatrix();
    const float yaw = 0.5f * Random_SignedUnit();
    const float pitch = 0.5f * Random_SignedUnit();
    const float roll = 0.5f * Random_SignedUnit();
    Matrix spin, turned;
    Mat4_RotationYawPitchRoll(&spin, yaw, pitch, roll);
    Mat4_Multiply(&turned, spin, place);
    clone->SendValue(MSG_SET_MATRIX, turned);
    Vector3 velocity = AxisZ(place);
    velocity.x += 0.1f * Random_SignedUnit();
    velocity.y += 0.1f * Random_SignedUnit();
    velocity.z += 0.1f * Random_SignedUnit();
    velocity = velocity * (250.0f + Random_Unit() * 80.0f);
    if ((Random_Next() & 7) == 0) velocity = velocity * 2.8f;
    clone->SendValue(MSG_SET_DELTA_POSITION, velocity);
    {
        DrawGroupLeave leave(clone);
        // A slow frame spends nothing on a shell's collisions.
        if (g_FrameTime >= kTargetFrameTime) {
            clone->m_ColObjs.clear();
        } else {
            clone->EnableMarkedColObjs(true);
            clone->m_Flags |= ACTOR_COLLISION_ENABLED;
        }
    }
    clone->HandleMessage(MSG_START_SIMULATE, nullptr);
    if (SimParams* sim = clone->SimParamsBlock()) {
        const float bounce = 0.8f;
        std::memcpy(&sim->words[1], &bounce, 4);
    }
    clone->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    clone->HandleMessage(MSG_KILL_PRE, nullptr);
}

void CQVGameObject::PlaceEffectClone(CQVActor* source, CQVActor* parent, const Vector3& point,
                                     const Vector3& direction) {
    if (source == nullptr || parent == nullptr || g_ActorSystem == nullptr) return;
    CQVActor* clone = g_ActorSystem->CloneActor(source, parent, 1);
    if (clone == nullptr) return;
    Quaternion facing;
    Quat_FromDirection(&facing, direction * -1.0f, Vector3(0.0f, 1.0f, 0.0f));
    Matrix matrix, spin, turned;
    Mat4_FromQuaternion(&matrix, facing);
    Mat4_RotationYawPitchRoll(&spin, static_cast<float>(Random_Next() & 15), static_cast<float>(Random_Next() & 15),
                              static_cast<float>(Random_Next() & 15));
    Mat4_Multiply(&turned, spin, matrix);
    turned.m[3][0] = point.x;
    turned.m[3][1] = point.y;
    turned.m[3][2] = point.z;
    clone->SendValue(MSG_SET_MATRIX, turned);
    clone->HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    clone->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    clone->HandleMessage(MSG_KILL_PRE, nullptr);
}

void CQVGameObject::CastRay(CQVGameObject* ammo, CQVActor* holder, const Vector3& origin, const Vector3& axis) {
    const RayFilter filter{ammo->m_SecondaryType, ammo->m_MaxBullets, ammo->m_WeaponFov};
    Vector3 aim = axis;
    const bool shooter = IsCharacter(holder);
    if (shooter) {
        if (!(static_cast<CQVCharacter*>(holder)->m_StateFlags & CHAR_SHOOTER)) {
            const bool left = m_Parent && !m_Parent->m_Name.empty() && m_Parent->m_Name[0] == 'L';
            aim = holder->AskValue(left ? MSG_CHAR_GET_LOOKDIRECTION2_SM : MSG_GET_LOOKDIRECTIONSM, axis);
        } else if (g_Engine) {
            Vector3 direction;
            g_Engine->GetCameraDirection(&direction);
            const Vector3 eye = *g_Engine->GetCameraPosition();
            Vector3 target = eye + direction * 100000.0f, normal;
            if (g_ActorSystem->RayCast(filter, eye, target, &target, &normal) == nullptr) target = eye + direction * 100000.0f;
            if (Vec3_LengthSq(target - origin) > 0.0f) aim = Vec3_Normalized(target - origin);
        }
        if (Vec3_Dot(aim, axis) < 0.0f) aim = axis;
    }
    const float spread = m_Precision * (1.0f / 90.0f);
    Vector3 direction = aim;
    direction.x += spread * Random_SignedUnit();
    direction.y += spread * Random_SignedUnit();
    direction.z += spread * Random_SignedUnit();
    const Vector3 start = shooter ? origin - aim * 50.0f : origin;
    const Vector3 end = origin + direction * (m_Range * 100.0f);
    Vector3 hit, normal;
    ColObj* struck = g_ActorSystem->RayCast(filter, start, end, &hit, &normal);
    if (struck == nullptr || struck->owner == nullptr) return;
    CQVActor* target = struck->owner;
    const uint32_t targetId = target->m_Id;
    const uint32_t hitEffects = struck->hitEffectGroup;
    const Vector3 ray = end - start;
    const Vector3 along = Vec3_LengthSq(ray) > 0.0f ? Vec3_Normalized(ray) : axis;
    if (CQVActor* trail = ammo->m_Slots[SLOT_VAPOUR_TRAIL].target) {
        CQVActor* group = CQVActorSystem::GetActorById(target->m_DrawGroupId);
        if (CQVActor* clone = g_ActorSystem->CloneActor(trail, group ? group : target, 1)) {
            Quaternion facing;
            Quat_FromDirection(&facing, along, Vector3(0.0f, 1.0f, 0.0f));
            Matrix matrix, scale, scaled;
            Mat4_FromQuaternion(&matrix, facing);
            Mat4_Scaling(&scale, 1.0f, 1.0f, Vec3_Length(hit - origin) * 0.01f);
            Mat4_Multiply(&scaled, scale, matrix);
            scaled.m[3][0] = origin.x;
            scaled.m[3][1] = origin.y;
            scaled.m[3][2] = origin.z;
            clone->SendValue(MSG_SET_MATRIX, scaled);
            clone->HandleMessage(MSG_ACTION_START_PRE, nullptr);
            clone->HandleMessage(MSG_KILL_PRE, nullptr);
        }
    }
    ammo->RunScriptsBoundTo(MSG_ON_AMMO_HIT, target);
    // The script may have deleted what it hit.
    target = CQVActorSystem::GetActorById(targetId);
    if (target == nullptr) return;
    if (IsCharacter(target) && target != holder) {
        target->SendValue(MSG_SET_HOLD_TIME, 0.0f);
        ammo->ApplyEffects(target, false);
    }
    PlaceEffectClone(ammo->m_Slots[SLOT_IMPACT].target, target, hit, along);
    if (g_FrameTime < kTargetFrameTime) {
        const uint32_t shared = ammo->m_FireType & hitEffects;
        CQVActor* definitions = shared ? CQVActorSystem::FindActorByPath("Global/Definition/GHE", nullptr) : nullptr;
        for (uint32_t n = 0; definitions && n < 32; ++n) {
            if (!(shared & (1u << n))) continue;
            char name[16];
            std::snprintf(name, sizeof name, "GHE%u", n + 1);
            PlaceEffectClone(FindChildByName(definitions, name), target, hit, along);
        }
    }
}

void CQVGameObject::Fire() {
    CQVGameObject* ammo = Ammo();
    CQVActor* holder = WeaponHolder();
    m_RecoilAccumulator += 4.0f * m_Recoil;
    if (IsCharacter(holder)) holder->SendValue(MSG_RECOIL, std::max(m_Recoil + ammo->m_Recoil, 0.0f));
    SetActionTarget(m_Slots[SLOT_FIRE].target);
    CQVActor* muzzle = m_Slots[SLOT_FLASH_POS].target;
    if (CQVActor* flash = ammo->m_Slots[SLOT_FLASH].target; flash && muzzle) {
        flash->SendValue(MSG_SET_MATRIX, muzzle->GetWorldMatrix());
        flash->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    }
    m_WeaponState = WEAPON_FIRING;
    EjectShell(ammo);
    if (muzzle && g_ActorSystem) {
        const Matrix place = muzzle->GetWorldMatrix();
        const Vector3 origin = Translation(place);
        const Vector3 axis = AxisZ(place);
        const uint32_t holderId = holder ? holder->m_Id : ACTOR_ID_NONE;
        const uint32_t ammoId = ammo->m_Id;
        for (uint32_t i = 0; i < ammo->m_Prefire2Timeout; ++i) {
            // A hit's script may delete the ammunition or the shooter.
            if (CQVActorSystem::GetActorById(ammoId) != ammo) break;
            holder = holderId == ACTOR_ID_NONE ? nullptr : CQVActorSystem::GetActorById(holderId);
            CastRay(ammo, holder, origin, axis);
        }
    }
    RequestLater(6, ActionTimeOf(SLOT_FIRE, kDefaultActionTime), false);
}

void CQVGameObject::UpdateCrosshair(float value) {
    if (CQVActor* secondary = m_Slots[SLOT_SECONDARY].target) secondary->SendValue(MSG_UNNAMED_2EE, value);
    RefreshClock(this);
    m_RecoilAccumulator = m_RecoilAccumulator / (7.0f * m_Clock->dt + 1.0f);
    CQVActor* holder = WeaponHolder();
    const Vector3 look = holder ? holder->AskValue(MSG_GET_LOOKDIRECTION, Vector3(0.0f, 0.0f, 0.0f))
                                : Vector3(0.0f, 0.0f, 0.0f);
    float aim = 0.0f;
    if (CQVActor* muzzle = m_Slots[SLOT_FLASH_POS].target) {
        aim = std::clamp(3.0f * Vec3_Dot(look, AxisZ(muzzle->GetWorldMatrix())), 0.0f, 1.0f) * 0.5f * value;
    }
    const CrosshairNotice notice{1, m_RecoilAccumulator, aim, m_CrosshairItem};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_UNNAMED_233, Args_Of(&notice));
}

void CQVGameObject::MovedInTree() {
    if (m_Parent == nullptr || m_Parent->m_Name != "Items") return;
    if ((m_WeaponFlags & WEAPON_FIRE_WANTED) || m_AutoFireLatch) Request(9);
    if (m_WeaponState == WEAPON_FIRING) Request(6);
    if (m_WeaponState != WEAPON_IN_WORLD) ClearActionTarget();
    CancelTimedMessages(MSG_SET_WEAPON_STATE);
}

int CQVGameObject::HandleWeaponMessage(uint32_t id, MessageArgs args, bool* handled) {
    switch (id) {
    case MSG_SET_WEAPON_STATE: {
        const uint32_t request = Args_Get<uint32_t>(args);
        // A clip without bullets ends a re-check at once.
        const CQVGameObject* ammo = Ammo();
        if (request == 1 && ammo && ammo->m_WeaponFlags == 0 && !(m_Activity & ACTIVITY_KILLED) &&
            m_WeaponState != WEAPON_IN_INVENTORY) {
            CancelTimedMessagesByTag(kWeaponTag);
            *handled = true;
            return 1;
        }
        Request(request);
        break;
    }
    case MSG_GET_WEAPON_STATE: Args_Answer(args, m_WeaponState); break;
    case MSG_PERFORM_ACTION_START_27D: Request(8); break;
    case MSG_PERFORM_ACTION_STOP_27E: Request(9); break;
    case MSG_PERFORM_ACTION_START_27F:
        if (auto* secondary = static_cast<CQVGameObject*>(m_Slots[SLOT_SECONDARY].target);
            secondary && (m_SecondaryType == 0 || m_WeaponState == WEAPON_READY ||
                          m_WeaponState == WEAPON_EMPTY_CLIP)) {
            secondary->SendValue<uint32_t>(MSG_SET_WEAPON_STATE, 8);
        }
        break;
    case MSG_PERFORM_ACTION_STOP_280:
        if (CQVActor* secondary = m_Slots[SLOT_SECONDARY].target) secondary->SendValue<uint32_t>(MSG_SET_WEAPON_STATE, 9);
        break;
    case MSG_UNNAMED_2EE: UpdateCrosshair(Args_Get<float>(args)); break;
    case MSG_ACTION_START:
        HandleMessage(MSG_PERFORM_ACTION_START_27D, nullptr);
        *handled = true;
        return 1;
    case MSG_ACTION_STOP: HandleMessage(MSG_PERFORM_ACTION_STOP_27E, nullptr); break;
    case MSG_KILL:
        CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_WEAPON_KILLED_NOTICE,
                                    MessageArgs(static_cast<CQVActor*>(this), sizeof(CQVActor)));
        CancelTimedMessages(MSG_SET_WEAPON_STATE);
        break;
    case MSG_CALLBACK_MOVED_IN_TREE:
    case MSG_CALLBACK_RELPARENT_MOVED_IN_TREE: MovedInTree(); break;
    default: break;
    }
    return 0;
}
