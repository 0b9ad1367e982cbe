#pragma once
// An item: valuable, key, light, weapon, ammunition, trap, bomb, power-up,
// throw object or trigger. One class covers every kind; the kind picks the
// fields that matter, the sheet rows the editor shows, what is saved and how
// the item behaves. A weapon runs a state machine of animation phases and
// keeps its magazine as a child Ammo item.

#include "actors/characters/Character.h"
#include "kernel/actors/Actor.h"
#include "kernel/actors/Registries.h"

#include <cstdint>
#include <string>
#include <vector>

enum ItemKind : uint32_t {
    ITEM_VALUABLE = 0,
    ITEM_TRAP = 1,
    ITEM_KEY = 2,
    ITEM_LIGHT = 3,
    ITEM_WEAPON = 4,
    ITEM_THROW_OBJECT = 5,
    ITEM_TRIGGER = 6,
    ITEM_POWER_UP = 7,
    ITEM_AMMO = 8,
    ITEM_BOMB = 9,
    ITEM_KIND_COUNT = 10,
};

enum ItemState : uint32_t {
    ITEM_IN_CONTAINER = 0,
    ITEM_ACTIVATE = 1,
    ITEM_IN_SCENE = 2,
    ITEM_IN_INVENTORY = 3,
    ITEM_IN_HAND = 4,
    ITEM_PICKUP = 5,
    ITEM_HIT = 6,
    ITEM_DROP_ON_GROUND = 7,
    ITEM_DESTROYED = 8,
};

enum WeaponState : uint32_t {
    WEAPON_READY = 1,
    WEAPON_PREFIRE1 = 2,
    WEAPON_FIRE_CANCELLED = 3,
    WEAPON_PREFIRE2 = 4,
    WEAPON_FIRING = 5,
    WEAPON_BULLET_LOAD = 10,
    WEAPON_CLIP_UNLOAD = 11,
    WEAPON_EMPTY_CLIP = 12,
    WEAPON_CLIP_LOAD = 13,
    WEAPON_IN_WORLD = 14,
    WEAPON_IN_INVENTORY = 16,
};

// Weapon flag bits (the word an Ammo item uses for its bullets).
constexpr uint32_t WEAPON_FIRE_ON_RELEASE = 1u << 0;
constexpr uint32_t WEAPON_PREFIRE1_REVERSE = 1u << 1;
constexpr uint32_t WEAPON_BULLETLOAD_AFTER_CLIPLOAD = 1u << 2;
constexpr uint32_t WEAPON_BULLETLOAD_AFTER_FIRE = 1u << 3;
constexpr uint32_t WEAPON_PARTIAL_CLIPLOAD = 1u << 4;
constexpr uint32_t WEAPON_RELOAD_SECONDARY = 1u << 5;
constexpr uint32_t WEAPON_FIRE_WANTED = 1u << 6;

constexpr uint32_t WEAPON_FIRE_MANUAL = 0;
constexpr uint32_t WEAPON_FIRE_AUTO = 2;

static_assert(sizeof(HitEffect) == 12, "the effect record of the item files");

// The shared record of "Trap Collision Info".
struct TrapCollisionInfo {
    uint32_t container;
    uint32_t character;
    uint32_t triggered;
    float radius;
    float distance;
};

// The children an item finds by name.
enum ItemSlot : uint32_t {
    SLOT_OBJECT,
    SLOT_TRAP,
    SLOT_PARTICLE,
    SLOT_SOUND,
    SLOT_LIGHT,
    // Weapon animations and position nodes.
    SLOT_LOADED,
    SLOT_IN_WORLD,
    SLOT_MAG,
    SLOT_PREFIRE1,
    SLOT_CANCEL_FIRE,
    SLOT_PREFIRE2,
    SLOT_FIRE,
    SLOT_BULLET_LOAD,
    SLOT_CLIP_UNLOAD,
    SLOT_NO_CLIP,
    SLOT_NO_CLIP_FIRE,
    SLOT_CLIP_LOAD,
    SLOT_FLASH_POS,
    SLOT_SHELL_EXIT_POS,
    SLOT_SIGHT_POS,
    SLOT_SECONDARY,
    // Ammo templates.
    SLOT_SHELL,
    SLOT_IMPACT,
    SLOT_FLASH,
    SLOT_VAPOUR_TRAIL,
    SLOT_COUNT,
};

// The section table of the sheet: entry k the first row of kind k's
// section (entry 0 the end of the common rows), entry 10 the row count.
extern uint32_t g_GameObjectSections[ITEM_KIND_COUNT + 1];

class CQVGameObject : public CQVActor {
public:
    CQVGameObject();
    ~CQVGameObject() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override;
    static void RegisterProperties();

    // Every field of the base actor and of the item, from the source.
    void CopyFrom(const CQVGameObject& source);
    // The editor's row list cut to the common rows and the kind's section.
    static void TrimPropertyList(std::vector<PropertyDesc>* rows, uint32_t kind);
    // Effects on a character; with move the item first goes under it.
    void ApplyEffects(CQVActor* character, bool move);

    // Members the table's rows call.
    void RebuildChildren();
    void ClampAnimationLength();
    void ClampLightDuration();
    void LookUpTriggerContainer();
    HitEffect* SelectedEffect();

    // Fields, in the order of the saved form's common part.
    uint32_t m_Kind = ITEM_VALUABLE;
    uint32_t m_Droppable = 0;
    std::string m_ActionMotion;
    uint32_t m_AnimationType = 1;
    float m_AnimationLength = 2.0f;
    uint32_t m_State = ITEM_IN_CONTAINER;
    uint32_t m_Icon1 = 4;
    uint32_t m_Icon2 = 4;
    uint32_t m_RotateInScene = 1;
    Vector3 m_SpinRates = Vector3(0.0f, 0.0f, 0.0f); // pitch, yaw, roll
    float m_JumpSpeed = 0.0f;
    uint32_t m_Holder = ACTOR_ID_NONE;
    uint32_t m_PreviousHolder = ACTOR_ID_NONE;
    float m_Weight = 1.0f;
    float m_Price = 1.0f;
    uint32_t m_PriceId = 0;
    uint32_t m_KeyGroups = 0;
    uint32_t m_KeyDeleteAfterUse = 0;
    float m_KeyTime = 0.0f;
    float m_LightDuration = 120.0f;
    float m_BombTimer = 3.0f;
    float m_BombElapsed = 0.0f;
    uint32_t m_BombArmed = 0;
    uint32_t m_TriggerContainer = 0;
    uint32_t m_GethitId = 0;
    uint32_t m_DamageId = 0;
    float m_CharacterHoldTime = 10.0f;
    float m_TrapSetupMin = 1.0f;
    float m_TrapSetupMax = 2.0f;
    float m_TrapTriggerMin = 1.0f;
    float m_TrapTriggerMax = 2.0f;
    float m_TrapFunctionalDelay = 5.0f;
    float m_PickupTime = 0.0f;
    float m_ActivateTime = 0.0f;
    float m_TouchDelay = 0.0f;
    float m_TrapTouchDelay = 0.0f;
    float m_ActionDelay = 0.0f;
    uint32_t m_WeaponState = 0;
    uint32_t m_AutoFireLatch = 0;
    uint32_t m_IsSecondary = 0;
    float m_Recoil = 1.0f;
    float m_BulletLoadTime = 1.0f;
    float m_ClipLoadTime = 1.0f;
    float m_Precision = 1.0f;
    float m_Range = 1.0f;
    uint32_t m_AmmoGroups = 1;
    uint32_t m_FireType = 1;           // Ammo: the hit-effect group
    uint32_t m_WeaponFlags = 0;        // Ammo: the bullets in the clip
    uint32_t m_ReverseSpeed = 0;       // f32 bits for a Weapon; Ammo: unlimited
    uint32_t m_Prefire2Timeout = 0;    // Ammo: the ray count
    uint32_t m_SecondaryType = 0;      // Ammo: the rays' collision group
    uint32_t m_MaxBullets = 0;         // Ammo: the rays' receive mask
    uint32_t m_WeaponFov = 0;          // f32 bits for a Weapon; Ammo: the rays' exclude mask
    std::string m_Crosshair;
    float m_RecoilAccumulator = 0.0f;
    void* m_CrosshairItem = nullptr;   // a library item, which outlives the level's actors
    std::vector<HitEffect> m_Effects;
    int32_t m_SelectedEffect = -1;
    float m_FlightTime = 0.0f;
    uint32_t m_FlightActive = 0;
    uint32_t m_LoadVersion = 0;        // the version of the file the item came from
    ActorLink m_Slots[SLOT_COUNT];
    ActorLink m_AmmoChild;
    ActorLink m_ActionTarget;

    // The weapon's and ammunition's words as their messages read them.
    float ReverseSpeed() const;
    void SetReverseSpeed(float speed);
    float WeaponFov() const;
    void SetWeaponFov(float fov);

private:
    void CopyItemFields(const CQVGameObject& source);
    // GameObjectStates.cpp
    void FindSlots();
    void Touch(const ColObj* other, const ColObj* own);
    void EnterContainer(uint32_t holder);
    void EnterScene(uint32_t holder);
    void EnterInventory(uint32_t holder);
    void EnterHand(uint32_t holder, uint32_t hand);
    void EnterPickup(uint32_t holder);
    void Activate(uint32_t holder);
    void Hit(uint32_t character);
    void StickTo(CQVActor* actor, const ColObj* own);
    int DropOnGround(uint32_t holder);
    void PerformAction(uint32_t holder);
    void MoveHolder(uint32_t holder);
    void Notify();
    void Replicate(uint32_t message, MessageArgs args);
    bool HolderIsMaster() const;
    void CollisionOff();
    void ResetPlacement();
    void KeepWorldPlacementUnder(CQVActor* parent);
    void SendTrapCollision(uint32_t holder, uint32_t character, bool triggered, float radius, float distance);
    int HandleItemMessage(uint32_t id, MessageArgs args, bool* handled);
    // GameObjectWeapon.cpp
    int HandleWeaponMessage(uint32_t id, MessageArgs args, bool* handled);
    void FindWeaponSlots();
    void FindAmmoSlots();
    void SetActionTarget(CQVActor* child);
    void ClearActionTarget();
    CQVGameObject* Ammo() const;
    CQVActor* WeaponHolder() const;
    CQVGameObject* ParentWeapon() const;
    uint32_t AmmoGroupNumber() const;
    void Request(uint32_t request);
    void RequestLater(uint32_t request, float delay, bool grouped);
    float ActionTimeOf(ItemSlot slot, float fallback);
    void Fire();
    void CastRay(CQVGameObject* ammo, CQVActor* holder, const Vector3& origin, const Vector3& axis);
    void EjectShell(CQVGameObject* ammo);
    void PlaceEffectClone(CQVActor* source, CQVActor* parent, const Vector3& point, const Vector3& direction);
    void UpdateCrosshair(float value);
    void MovedInTree();
};
