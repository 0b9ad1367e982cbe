#include "actors/gameplay/GameObject.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

uint32_t g_GameObjectSections[ITEM_KIND_COUNT + 1];

namespace {

// The character effect block of the Trap, Throw Object, Power Up, Ammo and
// Bomb sections: twelve rows under three labels of the section.
#define GAME_OBJECT_EFFECT_BLOCK(animation, management, effect)                                                    \
    SheetRow(animation, PROP_SEPARATOR),                                                                           \
        FieldRow<&CQVGameObject::m_GethitId>(MSG_SET_TRAP_CHARACTER_GETHIT_ID, MSG_GET_TRAP_CHARACTER_GETHIT_ID,   \
                                             kGethitList, PROP_CHOICE),                                            \
        FieldRow<&CQVGameObject::m_DamageId>(MSG_SET_TRAP_CHARACTER_DAMAGE_ID, MSG_GET_TRAP_CHARACTER_DAMAGE_ID,   \
                                             kDamageList, PROP_CHOICE),                                            \
        FieldRow<&CQVGameObject::m_CharacterHoldTime>(MSG_SET_TRAP_CHARACTER_HOLD_TIME,                            \
                                                      MSG_GET_TRAP_CHARACTER_HOLD_TIME, "Character Hold Time",     \
                                                      PROP_TIME),                                                  \
        SheetRow(management, PROP_SEPARATOR),                                                                      \
        SheetRow("Effect", PROP_PICKER, MSG_SET_POWERUP_LIST, MSG_GET_POWERUP_LIST),                               \
        SheetRow("Add Effect|Add|", PROP_BUTTON, MSG_ADD_POWERUP_EFFECT),                                          \
        SheetRow("Delete Effect|Delete|", PROP_BUTTON, MSG_DELETE_POWERUP_EFFECT),                                 \
        SheetRow(effect, PROP_SEPARATOR),                                                                          \
        FieldRow<&CQVGameObject::SelectedEffect, &HitEffect::type>(MSG_SET_POWERUP_TYPE, MSG_GET_POWERUP_TYPE,     \
                                                                   kEffectList, PROP_CHOICE),                      \
        FieldRow<&CQVGameObject::SelectedEffect, &HitEffect::value>(MSG_SET_POWERUP_VALUE, MSG_GET_POWERUP_VALUE,  \
                                                                    "Value", PROP_REAL),                           \
        FieldRow<&CQVGameObject::SelectedEffect, &HitEffect::time>(MSG_SET_POWERUP_TIME, MSG_GET_POWERUP_TIME,     \
                                                                   "Time", PROP_TIME)

constexpr const char* kGethitList =
    "Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit 6|7|Gethit 7|8|"
    "Gethit 8|9|Gethit 9|10|";
constexpr const char* kDamageList =
    "Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage 6|7|Damage 7|8|"
    "Damage 8|9|Damage 9|10|";
constexpr const char* kEffectList =
    "Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|Vision|7|Fov|8|"
    "Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|Unused|14|";

constexpr MessageRow kGameObjectRows[] = {
    // Common rows.
    SheetRow("Game Object Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_Kind>(MSG_SET_GAMEOBJECT_TYPE_25A, MSG_GET_GAMEOBJECT_TYPE_25B,
                                     "Type:|Valuable|0|Trap|1|Key|2|Light|3|Weapon|4|Throw Object|5|Trigger|6|"
                                     "Power Up|7|Ammo|8|Bomb|9|",
                                     PROP_CHOICE)
        .Then<&CQVGameObject::RebuildChildren>(),
    FieldRow<&CQVGameObject::m_Icon1>(MSG_SET_ICON_MATERIAL_LIBID, MSG_GET_ICON_MATERIAL_LIBID, "Icon 1:", PROP_ICON),
    FieldRow<&CQVGameObject::m_Icon2>(MSG_SET_ICON2_MATERIAL_LIBID, MSG_GET_ICON2_MATERIAL_LIBID, "Icon 2:",
                                      PROP_ICON),
    FieldRow<&CQVGameObject::m_ActionMotion>(MSG_SET_GAMEOBJECT_TYPE_25C, MSG_GET_GAMEOBJECT_TYPE_25D,
                                             "On Action CharacterMotion:", PROP_STRING),
    BoolRow<&CQVGameObject::m_RotateInScene>(MSG_SET_ROTATE_IN_SCENE, MSG_GET_ROTATE_IN_SCENE, "Rotate In Scene:",
                                             PROP_CHECK),
    BoolRow<&CQVGameObject::m_Droppable>(MSG_SET_DROPPABLE, MSG_GET_DROPPABLE, "Droppable:", PROP_CHECK),
    SheetRow("Initial State", PROP_SEPARATOR),
    FieldRow<&CQVGameObject::m_State>(MSG_SET_STATE_264, MSG_GET_STATE_265,
                                      "State:|In Container|0|In Scene|2|In Inventory|3|In Hand|4|", PROP_CHOICE),
    FieldRow<&CQVGameObject::m_Price>(MSG_SET_PRICE, MSG_GET_PRICE, "Price:", PROP_REAL),
    FieldRow<&CQVGameObject::m_PriceId>(MSG_SET_PRICE_ID, MSG_GET_PRICE_ID, "Price ID:", PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_Weight>(MSG_SET_WEIGHT, MSG_GET_WEIGHT, "Weight:", PROP_REAL),
    SheetRow("Pick Up Effect", PROP_TITLE),
    SheetRow("Animation Effect, Length...", PROP_SEPARATOR),
    FieldRow<&CQVGameObject::m_AnimationType>(MSG_SET_GAMEOBJECT_ANIMATION_TYPE, MSG_GET_GAMEOBJECT_ANIMATION_TYPE,
                                              "Animation:|No Animation|0|Spin|1|Spin Jump|2|", PROP_CHOICE),
    FieldRow<&CQVGameObject::m_AnimationLength>(MSG_SET_ANIMATION_TIME, MSG_GET_ANIMATION_TIME, "Animation Length:",
                                                PROP_TIME)
        .Then<&CQVGameObject::ClampAnimationLength>(),
    // Valuable.
    SheetRow("Valuable Type Properties", PROP_TITLE),
    // Trap.
    SheetRow("Trap Setup Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_TrapSetupMin>(MSG_SET_TRAP_SETUP_TIME_MIN, MSG_GET_TRAP_SETUP_TIME_MIN,
                                             "Min Setup Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_TrapSetupMax>(MSG_SET_TRAP_SETUP_TIME_MAX, MSG_GET_TRAP_SETUP_TIME_MAX,
                                             "Max Setup Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_TrapTriggerMin>(MSG_SET_TRAP_TRIGGER_TIME_MIN, MSG_GET_TRAP_TRIGGER_TIME_MIN,
                                               "Min Trigger Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_TrapTriggerMax>(MSG_SET_TRAP_TRIGGER_TIME_MAX, MSG_GET_TRAP_TRIGGER_TIME_MAX,
                                               "Max Trigger Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_TrapFunctionalDelay>(MSG_SET_TRAP_FUNCTIONAL_DELAY, MSG_GET_TRAP_FUNCTIONAL_DELAY,
                                                    "Functional Deleay", PROP_TIME),
    SheetRow("Trap Effect Management", PROP_TITLE),
    GAME_OBJECT_EFFECT_BLOCK("Character Animation Effect", "Power Up Effect Management", "Power Up Effect"),
    // Key.
    SheetRow("Key Type Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_KeyGroups>(MSG_SET_KEYGROUP, MSG_GET_KEYGROUP, "Set Keygroups", PROP_GROUP_MASK),
    BoolRow<&CQVGameObject::m_KeyDeleteAfterUse>(MSG_SET_KEY_DELETE_AFTER_USE, MSG_GET_KEY_DELETE_AFTER_USE,
                                                 "Delete Key After Use", PROP_CHECK),
    FieldRow<&CQVGameObject::m_KeyTime>(MSG_SET_KEY_TIME, MSG_GET_KEY_TIME, "Key Time Multiplyer", PROP_TIME),
    // Light.
    SheetRow("Light Type Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_LightDuration>(MSG_SET_LIGHT_TIME, MSG_GET_LIGHT_TIME, "Duration Time:", PROP_TIME)
        .Then<&CQVGameObject::ClampLightDuration>(),
    // Weapon.
    SheetRow("Weapon Type Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_Recoil>(MSG_SET_WEAPON_RECOIL, MSG_GET_WEAPON_RECOIL, "Recoil", PROP_REAL),
    FieldRow<&CQVGameObject::m_BulletLoadTime>(MSG_SET_WEAPON_LOADTIME_BULLET, MSG_GET_WEAPON_LOADTIME_BULLET,
                                               "Bullet Load Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_ClipLoadTime>(MSG_SET_WEAPON_LOADTIME_CLIP, MSG_GET_WEAPON_LOADTIME_CLIP,
                                             "Clip Load Time", PROP_TIME),
    FieldRow<&CQVGameObject::m_Precision>(MSG_SET_WEAPON_PRECISION, MSG_GET_WEAPON_PRECISION, "Precision|\xB0|",
                                          PROP_REAL),
    FieldRow<&CQVGameObject::m_Range>(MSG_SET_WEAPON_RANGE, MSG_GET_WEAPON_RANGE, "Range", PROP_REAL),
    FieldRow<&CQVGameObject::m_AmmoGroups>(MSG_SET_WEAPON_AMMOGROUPS, MSG_GET_WEAPON_AMMOGROUPS, "Ammo Groups",
                                           PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_FireType>(MSG_SET_WEAPON_AUTOTYPE_2B6, MSG_GET_WEAPON_AUTOTYPE_2B7,
                                         "Type:|Manual|0|Semi Auto|1|Auto|2|", PROP_CHOICE),
    SheetRow("Weapon Type Properties2", PROP_TITLE),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_2B8, MSG_GET_WEAPON_2B9, WEAPON_FIRE_ON_RELEASE,
                                           "Fire On Release", PROP_CHECK),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_PREFIRE1_REVERSE, MSG_GET_WEAPON_PREFIRE1_REVERSE,
                                           WEAPON_PREFIRE1_REVERSE, "- Prefire1 Reverse", PROP_CHECK),
    FieldRow<&CQVGameObject::m_ReverseSpeed>(MSG_SET_WEAPON_PREFIRE1_REVERSESPEED,
                                             MSG_GET_WEAPON_PREFIRE1_REVERSESPEED, "- Prefire1 ReverseSpeed",
                                             PROP_REAL)
        .As<float>(),
    FieldRow<&CQVGameObject::m_Prefire2Timeout>(MSG_SET_WEAPON_AUTOTYPE_2BE, MSG_GET_WEAPON_AUTOTYPE_2BF,
                                                "PreFire2 TimeOut:|Hold|0|Fire|1|CancelFire|2|", PROP_CHOICE),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_2C0, MSG_GET_WEAPON_2C1, WEAPON_BULLETLOAD_AFTER_CLIPLOAD,
                                           "BulletLoad After ClipLoad", PROP_CHECK),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_2C2, MSG_GET_WEAPON_2C3, WEAPON_BULLETLOAD_AFTER_FIRE,
                                           "BulletLoad After Fire", PROP_CHECK),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_2C4, MSG_GET_WEAPON_2C5, WEAPON_PARTIAL_CLIPLOAD,
                                           "Partial ClipLoad", PROP_CHECK),
    FieldRow<&CQVGameObject::m_SecondaryType>(MSG_SET_WEAPON_AUTOTYPE_2C6, MSG_GET_WEAPON_AUTOTYPE_2C7,
                                              "Secondary Type:|Separate|0|Wait|1|", PROP_CHOICE),
    FlagRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_WEAPON_2C8, MSG_GET_WEAPON_2C9, WEAPON_RELOAD_SECONDARY,
                                           "Reload Secondary", PROP_CHECK),
    FieldRow<&CQVGameObject::m_MaxBullets>(MSG_SET_WEAPON_2CA, MSG_GET_WEAPON_2CB, "Max Bullets In Clip", PROP_UINT),
    FieldRow<&CQVGameObject::m_Crosshair>(MSG_SET_WEAPON_CROSSHAIR, MSG_GET_WEAPON_CROSSHAIR, "CrossHair Material",
                                          PROP_STRING),
    FieldRow<&CQVGameObject::m_WeaponFov>(MSG_SET_WEAPON_FOV, MSG_GET_WEAPON_FOV, "Weapon FOV", PROP_REAL)
        .As<float>(),
    // Throw Object.
    SheetRow("Throw Object Type Properties", PROP_TITLE),
    GAME_OBJECT_EFFECT_BLOCK("Object Hit Character Animation Effect", "Object Hit Character Effect Management",
                             "Object Hit Character Effect"),
    // Trigger.
    SheetRow("Trigger Type Properties", PROP_TITLE),
    SheetRow("Select Trigger Container...", PROP_SEPARATOR),
    FieldRow<&CQVGameObject::m_TriggerContainer>(MSG_SET_TRIGGER_CONTAINERID, MSG_GET_TRIGGER_CONTAINERID,
                                                 "Pick Container:", PROP_CONTAINER)
        .Then<&CQVGameObject::LookUpTriggerContainer>(),
    // Power Up.
    SheetRow("Power Up Type Properties", PROP_TITLE),
    GAME_OBJECT_EFFECT_BLOCK("Power Up Character Animation Effect", "Power Up Character Effect Management",
                             "Power Up Character Effect"),
    // Ammo.
    SheetRow("Ammo Type Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_Recoil>(MSG_SET_AMMO_RECOIL, MSG_GET_AMMO_RECOIL, "Recoil", PROP_REAL),
    FieldRow<&CQVGameObject::m_BulletLoadTime>(MSG_SET_AMMO_LOADTIME_BULLET, MSG_GET_AMMO_LOADTIME_BULLET,
                                               "Bullet Load Time", PROP_REAL),
    FieldRow<&CQVGameObject::m_ClipLoadTime>(MSG_SET_AMMO_LOADTIME_CLIP, MSG_GET_AMMO_LOADTIME_CLIP,
                                             "Clip Load Time", PROP_REAL),
    FieldRow<&CQVGameObject::m_Precision>(MSG_SET_AMMO_PRECISION, MSG_GET_AMMO_PRECISION, "Precision", PROP_REAL),
    FieldRow<&CQVGameObject::m_Range>(MSG_SET_AMMO_RANGE, MSG_GET_AMMO_RANGE, "Range", PROP_REAL),
    FieldRow<&CQVGameObject::m_WeaponFlags>(MSG_SET_AMMO_BULLETS, MSG_GET_AMMO_BULLETS, "Bullets in Clip", PROP_UINT),
    BoolRow<&CQVGameObject::m_ReverseSpeed>(MSG_SET_AMMO_UNLIMITED, MSG_GET_AMMO_UNLIMITED, "Unlimited", PROP_CHECK),
    FieldRow<&CQVGameObject::m_Prefire2Timeout>(MSG_SET_AMMO_RAY_COUNT, MSG_GET_AMMO_RAY_COUNT, "RayCount",
                                                PROP_UINT),
    FieldRow<&CQVGameObject::m_AmmoGroups>(MSG_SET_AMMO_AMMOGROUPS, MSG_GET_AMMO_AMMOGROUPS, "Ammo Groups",
                                           PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_SecondaryType>(MSG_SET_AMMO_RAYCOLLISION_GROUP, MSG_GET_AMMO_RAYCOLLISION_GROUP,
                                              "Col Groups", PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_MaxBullets>(MSG_SET_AMMO_RAYCOLLISION_GROUP_RECEIVE,
                                           MSG_GET_AMMO_RAYCOLLISION_GROUP_RECEIVE, "Col Groups Receive",
                                           PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_WeaponFov>(MSG_SET_AMMO_RAYCOLLISION_GROUP_EXCLUDE,
                                          MSG_GET_AMMO_RAYCOLLISION_GROUP_EXCLUDE, "Col Groups Exclude",
                                          PROP_GROUP_MASK),
    FieldRow<&CQVGameObject::m_FireType>(MSG_SET_AMMO_GLOBALHITEFFECTGROUP, MSG_GET_AMMO_GLOBALHITEFFECTGROUP,
                                         "Hit Effect Groups", PROP_GROUP_MASK),
    SheetRow("Ammo Type Character Effect Properties", PROP_TITLE),
    GAME_OBJECT_EFFECT_BLOCK("Ammo Hit Character Animation Effect", "Ammo Hit Character Effect Management",
                             "Ammo Hit Character Effect"),
    // Bomb.
    SheetRow("Bomb Type Properties", PROP_TITLE),
    FieldRow<&CQVGameObject::m_BombTimer>(MSG_SET_BOMB_TIMER, MSG_GET_BOMB_TIMER, "Bomb Timer", PROP_TIME),
    GAME_OBJECT_EFFECT_BLOCK("Object Hit Character Animation Effect", "Object Hit Character Effect Management",
                             "Object Hit Character Effect"),
};

#undef GAME_OBJECT_EFFECT_BLOCK

// Rows per section: the common rows, then the kinds in order.
constexpr uint32_t kSectionSizes[ITEM_KIND_COUNT + 1] = {16, 1, 19, 4, 2, 21, 13, 3, 13, 27, 14};
static_assert(std::size(kGameObjectRows) == 133, "the sheet has 133 rows");
constexpr uint32_t kWeaponPrecisionRow = 4; // within the Weapon section

constexpr MessageTable kGameObjectMessages{kGameObjectRows};

constexpr float kLeastTime = 0.01f;
constexpr uint32_t kCurrentVersionForAmmoRays = 51;
constexpr uint32_t kAmmoRayGroup = 1;
constexpr uint32_t kAmmoRayReceive = 0x4000001;
constexpr uint32_t kAmmoRayExclude = 0x40000;

// The names the editor lists the effects by, shared by every item.
std::vector<std::string> g_EffectNames;

void SerializeEffects(CQVActorArchive* archive, std::vector<HitEffect>* effects) {
    uint32_t count = static_cast<uint32_t>(effects->size());
    // A count the rest of the file cannot hold is not believed.
    archive->SerializeCount(&count, 16);
    if (archive->direction == ARCHIVE_READING) effects->resize(count, HitEffect{});
    for (HitEffect& effect : *effects) {
        uint32_t reserved = 0;
        archive->SerializeDword(&effect.type);
        archive->SerializeDword(&effect.value);
        archive->SerializeDword(&effect.time);
        archive->SerializeDword(&reserved);
    }
}

void SerializeReserved(CQVActorArchive* archive, uint32_t count) {
    uint32_t reserved[4] = {};
    archive->SerializeDwords(reserved, count);
}

// A bool kept in a word, saved as the integer 0 or 1.
void SerializeBit(CQVActorArchive* archive, uint32_t* word, uint32_t mask) {
    uint32_t value = (*word & mask) ? 1 : 0;
    archive->SerializeDword(&value);
    if (archive->direction == ARCHIVE_READING) *word = value ? (*word | mask) : (*word & ~mask);
}

void SerializeHitFields(CQVActorArchive* archive, CQVGameObject* item) {
    archive->SerializeDword(&item->m_GethitId);
    archive->SerializeDword(&item->m_DamageId);
    archive->SerializeDword(&item->m_CharacterHoldTime);
}

}  // namespace

CQVGameObject::CQVGameObject() {
    m_ClassType = CLASS_GAME_OBJECT;
    m_Flags &= ~(ACTOR_STATIC | ACTOR_DRAWGROUP_OPTION2);
    for (ActorLink& link : m_Slots) link.SetOwner(this);
    m_AmmoChild.SetOwner(this);
    m_ActionTarget.SetOwner(this);
}

CQVGameObject::~CQVGameObject() {
    m_State = ITEM_DESTROYED;
    const uint32_t notice[3] = {m_Id, m_Holder, ITEM_DESTROYED};
    CQVActorSystem::SendMessage(ACTOR_ID_INVENTORY, MSG_ITEM_STATE_NOTICE, Args_Of(notice));
}

float CQVGameObject::ReverseSpeed() const { return std::bit_cast<float>(m_ReverseSpeed); }
void CQVGameObject::SetReverseSpeed(float speed) { m_ReverseSpeed = std::bit_cast<uint32_t>(speed); }
float CQVGameObject::WeaponFov() const { return std::bit_cast<float>(m_WeaponFov); }
void CQVGameObject::SetWeaponFov(float fov) { m_WeaponFov = std::bit_cast<uint32_t>(fov); }

void CQVGameObject::ClampAnimationLength() { m_AnimationLength = std::max(m_AnimationLength, kLeastTime); }
void CQVGameObject::ClampLightDuration() { m_LightDuration = std::max(m_LightDuration, kLeastTime); }

void CQVGameObject::LookUpTriggerContainer() { (void)CQVActorSystem::GetActorById(m_TriggerContainer); }

HitEffect* CQVGameObject::SelectedEffect() {
    if (m_SelectedEffect < 0 || static_cast<size_t>(m_SelectedEffect) >= m_Effects.size()) return nullptr;
    return &m_Effects[static_cast<size_t>(m_SelectedEffect)];
}

void CQVGameObject::CopyFrom(const CQVGameObject& source) {
    CQVActor::CopyFrom(source);
    CopyItemFields(source);
}

void CQVGameObject::CopyItemFields(const CQVGameObject& source) {
    kGameObjectMessages.Copy(*this, source);
    // What no row binds, or a row binds through a block.
    m_SpinRates = source.m_SpinRates;
    m_JumpSpeed = source.m_JumpSpeed;
    m_Holder = source.m_Holder;
    m_PreviousHolder = source.m_PreviousHolder;
    m_BombElapsed = source.m_BombElapsed;
    m_BombArmed = source.m_BombArmed;
    m_PickupTime = source.m_PickupTime;
    m_ActivateTime = source.m_ActivateTime;
    m_TouchDelay = source.m_TouchDelay;
    m_TrapTouchDelay = source.m_TrapTouchDelay;
    m_ActionDelay = source.m_ActionDelay;
    m_WeaponState = source.m_WeaponState;
    m_AutoFireLatch = source.m_AutoFireLatch;
    m_IsSecondary = source.m_IsSecondary;
    m_WeaponFlags = source.m_WeaponFlags;
    m_RecoilAccumulator = source.m_RecoilAccumulator;
    m_CrosshairItem = source.m_CrosshairItem;
    m_Effects = source.m_Effects;
    m_SelectedEffect = source.m_SelectedEffect;
    m_FlightTime = source.m_FlightTime;
    m_FlightActive = source.m_FlightActive;
    m_LoadVersion = source.m_LoadVersion;
}

void CQVGameObject::TrimPropertyList(std::vector<PropertyDesc>* rows, uint32_t kind) {
    const uint32_t* sections = g_GameObjectSections;
    const size_t total = sections[ITEM_KIND_COUNT];
    if (rows->size() < total) return;
    const size_t base = rows->size() - total;
    if (kind >= ITEM_KIND_COUNT) {
        // No kind's section belongs to the item: the common rows stay.
        rows->resize(base + sections[0]);
        return;
    }
    rows->resize(base + sections[kind + 1]);
    // The first kind's section already follows the common rows.
    if (sections[kind] != sections[0]) {
        const auto first = rows->begin() + static_cast<std::ptrdiff_t>(base + sections[kind]);
        std::move(first, rows->end(), rows->begin() + static_cast<std::ptrdiff_t>(base + sections[0]));
    }
    rows->resize(base + sections[0] + (sections[kind + 1] - sections[kind]));
}

void CQVGameObject::Update() {
    if (!IsOperational()) return;
    if (m_RotateInScene && m_State == ITEM_IN_SCENE && m_Kind != ITEM_WEAPON && m_Kind != ITEM_THROW_OBJECT) {
        RefreshClock(this);
        Quaternion turn, turned;
        Quat_FromYawPitchRoll(&turn, 2.0f * m_Clock->dt, 0.0f, 0.0f);
        Quat_Multiply(&turned, m_Rotation, turn);
        m_Rotation = turned;
        InvalidateTransform();
    }
    switch (m_State) {
    case ITEM_ACTIVATE:
    case ITEM_IN_SCENE:
    case ITEM_IN_HAND:
    case ITEM_PICKUP: CQVActor::Update(); break;
    default: break;
    }
}

int CQVGameObject::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kGameObjectMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source != this && source->m_ClassType == CLASS_GAME_OBJECT) {
            CopyItemFields(static_cast<const CQVGameObject&>(*source));
        }
        break;
    }
    case MSG_SET_KEY_GROUP: {
        // Groups count from 1: 0 or a group above 32 names no bit.
        const uint32_t group = Args_Get<uint32_t>(args);
        if (group >= 1 && group <= 32) {
            const uint32_t bit = 1u << (group - 1);
            m_KeyGroups = Args_Get<uint32_t>(args, 4) ? (m_KeyGroups | bit) : (m_KeyGroups & ~bit);
        }
        break;
    }
    case MSG_GET_POWERUP_LIST: {
        g_EffectNames.clear();
        for (size_t i = 0; i < m_Effects.size(); ++i) g_EffectNames.push_back("Power Up " + std::to_string(i));
        // A caller that hands its own list gets the names in it; one that
        // hands none gets the shared list.
        if (auto* list = Args_Pointer<std::vector<std::string>>(id, args)) {
            *list = g_EffectNames;
        } else if (args.Holds(0, sizeof(void*))) {
            std::vector<std::string>* shared = &g_EffectNames;
            std::memcpy(args.Data(), &shared, sizeof shared);
        }
        break;
    }
    case MSG_SET_POWERUP_LIST: {
        const char* name = Args_Text(args);
        if (name == nullptr) break;
        for (size_t i = 0; i < m_Effects.size(); ++i) {
            if ("Power Up " + std::to_string(i) == name) m_SelectedEffect = static_cast<int32_t>(i);
        }
        break;
    }
    case MSG_ADD_POWERUP_EFFECT:
        m_Effects.push_back(HitEffect{});
        m_SelectedEffect = static_cast<int32_t>(m_Effects.size() - 1);
        break;
    case MSG_DELETE_POWERUP_EFFECT:
        if (SelectedEffect()) m_Effects.erase(m_Effects.begin() + m_SelectedEffect);
        m_SelectedEffect = -1;
        break;
    case MSG_SET_POWERUP: {
        const uint32_t index = Args_Get<uint32_t>(args);
        if (index < m_Effects.size()) {
            m_Effects[index].value = Args_Get<float>(args, 4);
            m_Effects[index].time = Args_Get<float>(args, 8);
        }
        break;
    }
    case MSG_PROPERTY_LIST_REQUEST:
        if (auto* record = Args_Pointer<ClassRecord>(id, args)) TrimPropertyList(&record->properties, m_Kind);
        break;
    case MSG_INIT_LOAD:
        // Files before the rays had their own collision masks.
        if (m_Kind == ITEM_AMMO && m_LoadVersion != 0 && m_LoadVersion < kCurrentVersionForAmmoRays) {
            m_SecondaryType = kAmmoRayGroup;
            m_MaxBullets = kAmmoRayReceive;
            m_WeaponFov = kAmmoRayExclude;
        }
        break;
    default:
        break;
    }
    bool handled = false;
    const int result = HandleItemMessage(id, args, &handled);
    if (handled) return result;
    return CQVActor::HandleMessage(id, args);
}

int CQVGameObject::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool loading = archive->direction == ARCHIVE_READING;
    if (loading) m_LoadVersion = version;
    if (version >= 1) {
        archive->SerializeDword(&m_Kind);
        archive->SerializeDword(&m_AnimationType);
        archive->SerializeDword(&m_AnimationLength);
        archive->SerializeDword(&m_State);
        archive->SerializeDword(&m_Icon1);
        archive->SerializeDword(&m_Weight);
        archive->SerializeDword(&m_Price);
        archive->SerializeDword(&m_PriceId);
        archive->SerializeDword(&m_Droppable);
        SerializeReserved(archive, 3);
    }
    if (version >= 36) archive->SerializeDword(&m_Icon2);
    if (version >= 26) archive->SerializeString(m_ActionMotion);
    if (version >= 54) archive->SerializeDword(&m_RotateInScene);
    if (version < 1) return 1;
    switch (m_Kind) {
    case ITEM_VALUABLE: SerializeReserved(archive, 2); break;
    case ITEM_TRAP:
        SerializeHitFields(archive, this);
        archive->SerializeDword(&m_TrapSetupMin);
        archive->SerializeDword(&m_TrapSetupMax);
        archive->SerializeDword(&m_TrapTriggerMin);
        archive->SerializeDword(&m_TrapTriggerMax);
        archive->SerializeDword(&m_TrapFunctionalDelay);
        SerializeEffects(archive, &m_Effects);
        SerializeReserved(archive, 1);
        break;
    case ITEM_KEY:
        archive->SerializeDword(&m_KeyGroups);
        archive->SerializeDword(&m_KeyDeleteAfterUse);
        archive->SerializeDword(&m_KeyTime);
        SerializeReserved(archive, 2);
        break;
    case ITEM_LIGHT:
        archive->SerializeDword(&m_LightDuration);
        if (loading) m_KeyTime = m_LightDuration;
        SerializeReserved(archive, 2);
        break;
    case ITEM_WEAPON:
        archive->SerializeDword(&m_Recoil);
        archive->SerializeDword(&m_BulletLoadTime);
        archive->SerializeDword(&m_ClipLoadTime);
        archive->SerializeDword(&m_Precision);
        archive->SerializeDword(&m_Range);
        archive->SerializeDword(&m_AmmoGroups);
        archive->SerializeDword(&m_FireType);
        if (version >= 14) {
            SerializeBit(archive, &m_WeaponFlags, WEAPON_FIRE_ON_RELEASE);
            SerializeBit(archive, &m_WeaponFlags, WEAPON_PREFIRE1_REVERSE);
            archive->SerializeDword(&m_ReverseSpeed);
            archive->SerializeDword(&m_Prefire2Timeout);
            SerializeBit(archive, &m_WeaponFlags, WEAPON_BULLETLOAD_AFTER_CLIPLOAD);
            SerializeBit(archive, &m_WeaponFlags, WEAPON_BULLETLOAD_AFTER_FIRE);
            SerializeBit(archive, &m_WeaponFlags, WEAPON_PARTIAL_CLIPLOAD);
            archive->SerializeDword(&m_SecondaryType);
            SerializeBit(archive, &m_WeaponFlags, WEAPON_RELOAD_SECONDARY);
            archive->SerializeDword(&m_MaxBullets);
            archive->SerializeDword(&m_WeaponFov);
            archive->SerializeDword(&m_WeaponState);
            SerializeReserved(archive, 2);
        }
        if (version >= 26) archive->SerializeString(m_Crosshair);
        break;
    case ITEM_THROW_OBJECT:
        SerializeEffects(archive, &m_Effects);
        SerializeHitFields(archive, this);
        break;
    case ITEM_TRIGGER:
        archive->SerializeDword(&m_TriggerContainer);
        SerializeReserved(archive, 4);
        break;
    case ITEM_POWER_UP:
        SerializeHitFields(archive, this);
        SerializeEffects(archive, &m_Effects);
        SerializeReserved(archive, 4);
        break;
    case ITEM_AMMO:
        SerializeEffects(archive, &m_Effects);
        SerializeHitFields(archive, this);
        archive->SerializeDword(&m_Recoil);
        archive->SerializeDword(&m_BulletLoadTime);
        archive->SerializeDword(&m_ClipLoadTime);
        archive->SerializeDword(&m_Precision);
        archive->SerializeDword(&m_Range);
        archive->SerializeDword(&m_AmmoGroups);
        archive->SerializeDword(&m_FireType);
        if (version >= 14) {
            archive->SerializeDword(&m_WeaponFlags);
            archive->SerializeDword(&m_ReverseSpeed);
            archive->SerializeDword(&m_Prefire2Timeout);
            archive->SerializeDword(&m_SecondaryType);
            archive->SerializeDword(&m_MaxBullets);
            archive->SerializeDword(&m_WeaponFov);
            SerializeReserved(archive, 1);
        }
        break;
    case ITEM_BOMB:
        SerializeEffects(archive, &m_Effects);
        SerializeHitFields(archive, this);
        archive->SerializeDword(&m_BombTimer);
        break;
    default:
        break;
    }
    return 1;
}

void CQVGameObject::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_GAME_OBJECT];
    record.Define("Game Object", "Game Object", {CLASS_BASE, CLASS_GAME_OBJECT});
    const size_t base = record.properties.size();
    kGameObjectMessages.AddSheet(record);
    uint32_t at = 0;
    for (uint32_t k = 0; k <= ITEM_KIND_COUNT; ++k) {
        at += kSectionSizes[k];
        g_GameObjectSections[k] = at;
    }
    PropertyDesc& precision = record.properties[base + g_GameObjectSections[ITEM_WEAPON] + kWeaponPrecisionRow];
    precision.ranged = 1;
    precision.min = 0.0f;
    precision.max = 360.0f;
}
