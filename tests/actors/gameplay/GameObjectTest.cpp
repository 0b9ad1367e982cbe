// The Game Object on the game's own classes: its sheet with the per-kind
// sections and the property list request, its accessors, its saved form per
// kind at old and current versions, pick-up, drops, bombs, lights, traps and
// power-ups on the fixed frame clock, and a weapon firing and reloading from
// a real Character's ammunition.

#include "actors/characters/Character.h"
#include "actors/gameplay/GameObject.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Collision.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"
#include "tests/support/ActorRecordFile.h"

#include <bit>
#include <cstring>

namespace gameplay_test {
namespace {

class GameObjectTest : public GameplayTest {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        folder = TestFolder_Path("qv_gameobject_");
        std::filesystem::create_directories(folder);
        AddLibraryDefaults();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        ASSERT_NE(scenery, nullptr);
        FrameClock_SetSource(&FixedFrame);
        Random_Seed(1);
        g_Heard.clear();
        g_ScriptRuns.clear();
        g_ScriptExecute = &RecordScriptRun;
        inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
        if (inventory == nullptr) {
            inventory = g_ActorSystem->CreateActor(CLASS_BASE, "Inventory", nullptr, scenery, ACTOR_ID_INVENTORY, 1, 0);
        }
        ASSERT_NE(inventory, nullptr);
        Watch({MSG_ITEM_STATE_NOTICE, MSG_TRAP_COLLISION_INFO, MSG_GAMEOBJECT_HIT_CHARACTER, MSG_UNNAMED_233,
               MSG_WEAPON_KILLED_NOTICE},
              {inventory});
        Room();
    }

    CQVGameObject* Item(uint32_t kind, const char* name = "Item", CQVActor* parent = nullptr) {
        auto* item = Make<CQVGameObject>(CLASS_GAME_OBJECT, name, parent);
        Send(item, MSG_SET_GAMEOBJECT_TYPE_25A, kind);
        Send(item, MSG_PRECALCULATE);
        return item;
    }
    // The player's character with its inventory node and hands.
    CQVActor* Hero() {
        CQVActor* hero = Make(CLASS_CHARACTER, "Hero");
        Send(hero, MSG_SET_MASTER, 1u);
        Make(CLASS_BASE, "Items", hero);
        Make(CLASS_BASE, "LeftHand", hero);
        Make(CLASS_BASE, "RightHand", hero);
        Send(hero, MSG_PRECALCULATE);
        body.owner = hero;
        body.flags = COLOBJ_ACTIVE | 0x20;
        return hero;
    }
    void Touch(CQVGameObject* item, const ColObj* own = nullptr) {
        const ColObj* pair[2] = {&body, own};
        item->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    }
    // The states the Inventory was told of for the item, in order: the
    // notice is {item, holder, state}.
    std::vector<uint32_t> StateNotices(uint32_t itemId) const {
        std::vector<uint32_t> states;
        for (const Heard& heard : HeardBy(inventory->m_Name, {MSG_ITEM_STATE_NOTICE})) {
            if (heard.word == itemId) states.push_back(heard.afterPointer);
        }
        return states;
    }

    CQVActor* inventory = nullptr;
    ColObj body;
};

// ---------------------------------------------------------------------------
// The sheet

TEST_F(GameObjectTest, TheSheetHasItsSectionsInOrderAndTheRowsAgreeWithTheirMessages) {
    const ClassRecord& record = g_ClassRecords[CLASS_GAME_OBJECT];
    EXPECT_EQ(record.name, "Game Object");
    ASSERT_GE(record.properties.size(), 133u);
    const size_t base = record.properties.size() - 133;
    EXPECT_EQ(std::vector<uint32_t>(std::begin(g_GameObjectSections), std::end(g_GameObjectSections)),
              (std::vector<uint32_t>{16, 17, 36, 40, 42, 63, 76, 79, 92, 119, 133}));
    const char* titles[ITEM_KIND_COUNT] = {"Valuable Type Properties", "Trap Setup Properties", "Key Type Properties",
                                           "Light Type Properties", "Weapon Type Properties",
                                           "Throw Object Type Properties", "Trigger Type Properties",
                                           "Power Up Type Properties", "Ammo Type Properties", "Bomb Type Properties"};
    for (uint32_t kind = 0; kind < ITEM_KIND_COUNT; ++kind) {
        const PropertyDesc& title = record.properties[base + g_GameObjectSections[kind]];
        EXPECT_EQ(title.label, titles[kind]);
        EXPECT_EQ(title.kind, PROP_TITLE);
    }
    EXPECT_EQ(record.properties[base].label, "Game Object Properties");
    const PropertyDesc& precision = record.properties[base + g_GameObjectSections[ITEM_WEAPON] + 4];
    EXPECT_EQ(precision.label, "Precision|\xB0|");
    EXPECT_EQ(precision.ranged, 1u);
    EXPECT_EQ(precision.max, 360.0f);
    EXPECT_EQ(record.properties[base + 4].setMessage, MSG_SET_GAMEOBJECT_TYPE_25C) << "the action motion's pair";
    EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "");
}

TEST_F(GameObjectTest, ThePropertyListRequestKeepsTheCommonRowsAndTheKindsSection) {
    const ClassRecord& record = g_ClassRecords[CLASS_GAME_OBJECT];
    const size_t base = record.properties.size() - 133;
    struct Case {
        uint32_t kind;
        size_t kindRows;
        const char* first;
    };
    const Case cases[] = {{ITEM_KEY, 4, "Key Type Properties"},
                          {ITEM_VALUABLE, 1, "Valuable Type Properties"},
                          {ITEM_BOMB, 14, "Bomb Type Properties"},
                          {12, 0, nullptr}};
    auto* item = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Item");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        item->m_Kind = c.kind;
        ClassRecord copy = record;
        ClassRecord* handed = &copy;
        item->HandleMessage(MSG_PROPERTY_LIST_REQUEST, Args_Of(&handed));
        ASSERT_EQ(copy.properties.size(), base + 16 + c.kindRows);
        for (size_t i = 0; i < base + 16; ++i) EXPECT_EQ(copy.properties[i].label, record.properties[i].label);
        if (c.first) {
            EXPECT_EQ(copy.properties[base + 16].label, c.first);
        }
        if (c.kind < ITEM_KIND_COUNT) {
            const size_t from = base + g_GameObjectSections[c.kind];
            for (size_t i = 0; i < c.kindRows; ++i) {
                EXPECT_EQ(copy.properties[base + 16 + i].label, record.properties[from + i].label);
            }
        }
    }
}

TEST_F(GameObjectTest, AccessorsClampTimesAndAddressKeyGroupsAndTheSelectedEffect) {
    auto* item = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Item");
    Send(item, MSG_SET_ANIMATION_TIME, 0.0f);
    EXPECT_EQ(item->m_AnimationLength, 0.01f);
    Send(item, MSG_SET_LIGHT_TIME, -3.0f);
    EXPECT_EQ(Ask<float>(item, MSG_GET_LIGHT_TIME), 0.01f);

    struct KeyCase {
        uint32_t group;
        uint32_t on;
        uint32_t expected;
    };
    const KeyCase keys[] = {{1, 1, 0x1}, {32, 1, 0x80000001}, {0, 1, 0x80000001}, {33, 1, 0x80000001},
                            {1, 0, 0x80000000}};
    for (const KeyCase& key : keys) {
        const uint32_t block[2] = {key.group, key.on};
        item->HandleMessage(MSG_SET_KEY_GROUP, Args_Of(block));
        EXPECT_EQ(Ask<uint32_t>(item, MSG_GET_KEYGROUP), key.expected) << "group " << key.group;
    }

    Send(item, MSG_SET_POWERUP_VALUE, 7.0f);
    EXPECT_TRUE(item->m_Effects.empty()) << "no effect selected";
    Send(item, MSG_ADD_POWERUP_EFFECT);
    Send(item, MSG_ADD_POWERUP_EFFECT);
    EXPECT_EQ(item->m_SelectedEffect, 1);
    Send(item, MSG_SET_POWERUP_TYPE, 12u);
    Send(item, MSG_SET_POWERUP_VALUE, 7.0f);
    EXPECT_EQ(item->m_Effects[1].type, 12u);
    EXPECT_EQ(item->m_Effects[1].value, 7.0f);
    EXPECT_EQ(item->m_Effects[0].value, 100.0f);
    EXPECT_EQ(item->m_Effects[0].time, 5.0f);
    std::vector<std::string> names;
    std::vector<std::string>* list = &names;
    item->HandleMessage(MSG_GET_POWERUP_LIST, Args_Of(&list));
    EXPECT_EQ(names, (std::vector<std::string>{"Power Up 0", "Power Up 1"}));
    item->HandleMessage(MSG_SET_POWERUP_LIST, Args_Of("Power Up 0"));
    EXPECT_EQ(Ask<float>(item, MSG_GET_POWERUP_TIME), 5.0f);
    Send(item, MSG_DELETE_POWERUP_EFFECT);
    ASSERT_EQ(item->m_Effects.size(), 1u);
    EXPECT_EQ(item->m_Effects[0].type, 12u);
    EXPECT_EQ(item->m_SelectedEffect, -1);
    uint32_t words[3] = {0, std::bit_cast<uint32_t>(3.0f), std::bit_cast<uint32_t>(4.0f)};
    item->HandleMessage(MSG_SET_POWERUP, Args_Of(words));
    EXPECT_EQ(item->m_Effects[0].value, 3.0f);
    EXPECT_EQ(item->m_Effects[0].time, 4.0f);
    words[0] = 5;
    item->HandleMessage(MSG_SET_POWERUP, Args_Of(words));
    EXPECT_EQ(item->m_Effects.size(), 1u) << "an index outside the list writes nothing";
}

TEST_F(GameObjectTest, TheKindBuildsItsChildrenAndTheWeaponAndAmmoDefaults) {
    struct Case {
        uint32_t kind;
        std::vector<std::string> children;
    };
    const Case cases[] = {{ITEM_VALUABLE, {"Object", "Sound"}},
                          {ITEM_TRAP, {"Object", "Sound", "Trap"}},
                          {ITEM_LIGHT, {"Object", "Sound", "Light"}},
                          {ITEM_WEAPON, {"Object", "Sound"}}};
    for (const Case& c : cases) {
        CQVGameObject* item = Item(c.kind);
        std::vector<std::string> names;
        for (CQVActor* child : item->m_Children) names.push_back(child->m_Name);
        EXPECT_EQ(names, c.children) << "kind " << c.kind;
    }
    CQVGameObject* trap = Item(ITEM_TRAP);
    Send(trap, MSG_SET_GAMEOBJECT_TYPE_25A, static_cast<uint32_t>(ITEM_KEY));
    EXPECT_EQ(trap->m_Children.size(), 2u) << "the children of the old kind are gone";
    EXPECT_EQ(trap->m_Slots[SLOT_TRAP].target, nullptr) << "the slot let go of the deleted child";
    Send(trap, MSG_PRECALCULATE);
    EXPECT_EQ(trap->m_Slots[SLOT_OBJECT].target, trap->m_Children[0]);

    CQVGameObject* weapon = Item(ITEM_WEAPON);
    EXPECT_EQ(weapon->m_Precision, 3.0f);
    EXPECT_EQ(weapon->m_Range, 50.0f);
    EXPECT_EQ(weapon->m_BulletLoadTime, 0.1f);
    EXPECT_EQ(weapon->m_WeaponFlags, WEAPON_BULLETLOAD_AFTER_CLIPLOAD | WEAPON_BULLETLOAD_AFTER_FIRE);
    EXPECT_EQ(Ask<float>(weapon, MSG_GET_WEAPON_PREFIRE1_REVERSESPEED), 1.0f);
    EXPECT_EQ(Ask<uint32_t>(weapon, MSG_GET_WEAPON_2CB), 6u);
    CQVGameObject* ammo = Item(ITEM_AMMO);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 6u);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_RAY_COUNT), 1u);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_RAYCOLLISION_GROUP_RECEIVE), 0x4000001u);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_RAYCOLLISION_GROUP_EXCLUDE), 0x40000u);
}

// ---------------------------------------------------------------------------
// The saved form

void Fill(CQVGameObject* item) {
    item->m_AnimationType = 2;
    item->m_AnimationLength = 1.5f;
    item->m_State = ITEM_IN_SCENE;
    item->m_Icon1 = 9;
    item->m_Icon2 = 11;
    item->m_Weight = 2.5f;
    item->m_Price = 3.5f;
    item->m_PriceId = 0x30;
    item->m_Droppable = 1;
    item->m_ActionMotion = "Swing";
    item->m_RotateInScene = 0;
    item->m_GethitId = 3;
    item->m_DamageId = 4;
    item->m_CharacterHoldTime = 6.0f;
    item->m_TrapSetupMin = 1.5f;
    item->m_TrapSetupMax = 2.5f;
    item->m_TrapTriggerMin = 0.5f;
    item->m_TrapTriggerMax = 0.75f;
    item->m_TrapFunctionalDelay = 9.0f;
    item->m_Effects = {HitEffect{12, 25.0f, 3.0f}, HitEffect{0, 2.0f, 1.0f}};
    item->m_KeyGroups = 0x5;
    item->m_KeyDeleteAfterUse = 1;
    item->m_KeyTime = 4.5f;
    item->m_LightDuration = 44.0f;
    item->m_BombTimer = 7.0f;
    item->m_TriggerContainer = 1234;
    item->m_Recoil = 2.0f;
    item->m_BulletLoadTime = 0.25f;
    item->m_ClipLoadTime = 1.25f;
    item->m_Precision = 4.0f;
    item->m_Range = 60.0f;
    item->m_AmmoGroups = 0x6;
    item->m_FireType = 2;
    item->m_WeaponFlags = 0x3F;
    item->m_ReverseSpeed = item->m_Kind == ITEM_AMMO ? 1 : std::bit_cast<uint32_t>(2.5f);
    item->m_Prefire2Timeout = 2;
    item->m_SecondaryType = 5;
    item->m_MaxBullets = 8;
    item->m_WeaponFov = item->m_Kind == ITEM_AMMO ? 0x7 : std::bit_cast<uint32_t>(70.0f);
    item->m_WeaponState = 12;
    item->m_Crosshair = "Cross";
}

void ExpectEffects(const CQVGameObject* item) {
    ASSERT_EQ(item->m_Effects.size(), 2u);
    EXPECT_EQ(item->m_Effects[0].type, 12u);
    EXPECT_EQ(item->m_Effects[0].value, 25.0f);
    EXPECT_EQ(item->m_Effects[1].time, 1.0f);
}

void ExpectHitFields(const CQVGameObject* item) {
    EXPECT_EQ(item->m_GethitId, 3u);
    EXPECT_EQ(item->m_DamageId, 4u);
    EXPECT_EQ(item->m_CharacterHoldTime, 6.0f);
}

void Check(const CQVGameObject* item, uint32_t version) {
    const CQVGameObject fresh;
    EXPECT_EQ(item->m_AnimationType, 2u);
    EXPECT_EQ(item->m_AnimationLength, 1.5f);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_IN_SCENE));
    EXPECT_EQ(item->m_Icon1, 9u);
    EXPECT_EQ(item->m_Weight, 2.5f);
    EXPECT_EQ(item->m_Price, 3.5f);
    EXPECT_EQ(item->m_PriceId, 0x30u);
    EXPECT_EQ(item->m_Droppable, 1u);
    EXPECT_EQ(item->m_Icon2, version >= 36 ? 11u : 4u);
    EXPECT_EQ(item->m_ActionMotion, version >= 26 ? "Swing" : "");
    EXPECT_EQ(item->m_RotateInScene, version >= 54 ? 0u : 1u);
    const bool v14 = version >= 14;
    switch (item->m_Kind) {
    case ITEM_TRAP:
        ExpectHitFields(item);
        EXPECT_EQ(item->m_TrapSetupMax, 2.5f);
        EXPECT_EQ(item->m_TrapTriggerMax, 0.75f);
        EXPECT_EQ(item->m_TrapFunctionalDelay, 9.0f);
        ExpectEffects(item);
        break;
    case ITEM_KEY:
        EXPECT_EQ(item->m_KeyGroups, 0x5u);
        EXPECT_EQ(item->m_KeyDeleteAfterUse, 1u);
        EXPECT_EQ(item->m_KeyTime, 4.5f);
        break;
    case ITEM_LIGHT:
        EXPECT_EQ(item->m_LightDuration, 44.0f);
        EXPECT_EQ(item->m_KeyTime, 44.0f) << "the key time holds the duration as loaded";
        break;
    case ITEM_WEAPON:
        EXPECT_EQ(item->m_Recoil, 2.0f);
        EXPECT_EQ(item->m_Range, 60.0f);
        EXPECT_EQ(item->m_AmmoGroups, 0x6u);
        EXPECT_EQ(item->m_FireType, 2u);
        EXPECT_EQ(item->m_WeaponFlags, v14 ? 0x3Fu : fresh.m_WeaponFlags);
        EXPECT_EQ(item->ReverseSpeed(), v14 ? 2.5f : fresh.ReverseSpeed());
        EXPECT_EQ(item->m_Prefire2Timeout, v14 ? 2u : fresh.m_Prefire2Timeout);
        EXPECT_EQ(item->m_SecondaryType, v14 ? 5u : fresh.m_SecondaryType);
        EXPECT_EQ(item->m_MaxBullets, v14 ? 8u : fresh.m_MaxBullets);
        EXPECT_EQ(item->WeaponFov(), v14 ? 70.0f : fresh.WeaponFov());
        EXPECT_EQ(item->m_WeaponState, v14 ? 12u : fresh.m_WeaponState);
        EXPECT_EQ(item->m_Crosshair, version >= 26 ? "Cross" : "");
        break;
    case ITEM_THROW_OBJECT:
    case ITEM_POWER_UP:
        ExpectEffects(item);
        ExpectHitFields(item);
        break;
    case ITEM_TRIGGER: EXPECT_EQ(item->m_TriggerContainer, 1234u); break;
    case ITEM_AMMO:
        ExpectEffects(item);
        ExpectHitFields(item);
        EXPECT_EQ(item->m_Precision, 4.0f);
        EXPECT_EQ(item->m_FireType, 2u) << "the hit-effect group";
        EXPECT_EQ(item->m_WeaponFlags, v14 ? 0x3Fu : fresh.m_WeaponFlags) << "the bullets";
        EXPECT_EQ(item->m_ReverseSpeed, v14 ? 1u : fresh.m_ReverseSpeed) << "unlimited";
        EXPECT_EQ(item->m_Prefire2Timeout, v14 ? 2u : fresh.m_Prefire2Timeout) << "ray count";
        // Files before the rays' own masks get the defaults when loaded.
        EXPECT_EQ(item->m_SecondaryType, version >= 51 ? 5u : 1u);
        EXPECT_EQ(item->m_MaxBullets, version >= 51 ? 8u : 0x4000001u);
        EXPECT_EQ(item->m_WeaponFov, version >= 51 ? 0x7u : 0x40000u);
        break;
    case ITEM_BOMB:
        ExpectEffects(item);
        ExpectHitFields(item);
        EXPECT_EQ(item->m_BombTimer, 7.0f);
        break;
    default: break;
    }
}

TEST_F(GameObjectTest, EveryKindLoadsBackWithTheFieldsOfItsVersion) {
    ActorRecordFile file;
    for (uint32_t kind = 0; kind < ITEM_KIND_COUNT; ++kind) {
        for (uint32_t version : {13u, 25u, 35u, 50u, 53u, 70u}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " v" << version);
            auto* item = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Written");
            item->m_Kind = kind;
            Fill(item);
            ASSERT_TRUE(file.WriteAndForget(item, version));
            ASSERT_EQ(file.Load(), 1);
            auto* loaded = static_cast<CQVGameObject*>(CQVActorSystem::FindActorByName("Written", CLASS_GAME_OBJECT));
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->m_Kind, kind);
            Check(loaded, version);
            g_ActorSystem->DeleteActor(loaded);
        }
    }
}

TEST_F(GameObjectTest, AnEffectCountBeyondTheFileIsNotBelieved) {
    ActorRecordFile file;
    auto* trap = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Written");
    trap->m_Kind = ITEM_TRAP;
    trap->m_Effects.resize(1);
    ASSERT_TRUE(file.WriteAndForget(trap, 70));
    std::vector<char> bytes = file.Bytes();
    // The count stands before the one effect (4 words) and the last reserved word.
    const size_t at = bytes.size() - 4 - 16 - 4;
    const uint32_t huge = 0x7FFFFFFF;
    std::memcpy(bytes.data() + at, &huge, 4);
    file.Rewrite(bytes);
    file.Load();
    if (auto* loaded = static_cast<CQVGameObject*>(CQVActorSystem::FindActorByName("Written", CLASS_GAME_OBJECT))) {
        EXPECT_LE(loaded->m_Effects.size(), 1u);
    }
}

TEST_F(GameObjectTest, ACopyTakesEveryFieldAndTheDestructorTellsTheInventory) {
    auto* source = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Source");
    source->m_Kind = ITEM_AMMO;
    Fill(source);
    source->m_Holder = 77;
    CQVActor* copy = g_ActorSystem->CreateActor(CLASS_GAME_OBJECT, "Copy", source, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(copy, nullptr);
    auto* item = static_cast<CQVGameObject*>(copy);
    EXPECT_EQ(item->m_Kind, static_cast<uint32_t>(ITEM_AMMO));
    Check(item, 70);
    const uint32_t id = item->m_Id;
    g_ActorSystem->DeleteActor(item);
    EXPECT_EQ(StateNotices(id), (std::vector<uint32_t>{ITEM_DESTROYED}));
}

// ---------------------------------------------------------------------------
// States, pick-up and use

// Touched by the player's character, an item rises and spins for its
// animation length and then reaches the inventory; a character held by a
// hit cannot pick it up, and a drop keeps touches off for two seconds.
TEST_F(GameObjectTest, APickUpTakesTheAnimationLengthAndADropKeepsTouchesOffForTwoSeconds) {
    CQVActor* hero = Hero();
    CQVGameObject* item = Item(ITEM_VALUABLE);
    item->m_ColObjs.push_back(ColObj{});
    item->m_ColObjs.back().flags = COLOBJ_ACTIVE | 0x20;
    item->m_ColObjs.back().owner = item;
    Send(item, MSG_SET_ANIMATION_TIME, 1.0f);
    Send(item, MSG_SET_DROPPABLE, 1u);
    Send(item, MSG_SET_STATE_SCENE, ACTOR_ID_NONE);
    Send(hero, MSG_SET_HOLD_TIME, 5.0f);
    Touch(item, &item->m_ColObjs[0]);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_IN_SCENE)) << "a held character picks nothing up";
    Send(hero, MSG_SET_HOLD_TIME, 0.0f);
    Touch(item, &item->m_ColObjs[0]);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_PICKUP));
    EXPECT_EQ(item->m_Holder, hero->m_Id);
    Frames(31);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_PICKUP));
    EXPECT_NEAR(item->m_Position.y, 60.0f * 31.0f / 32.0f, 1e-3f);
    Frames(1);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_IN_INVENTORY));
    EXPECT_EQ(item->m_Parent->m_Name, "Items");
    EXPECT_EQ(item->m_Position.y, 0.0f);
    EXPECT_EQ(StateNotices(item->m_Id), (std::vector<uint32_t>{ITEM_IN_SCENE, ITEM_PICKUP, ITEM_IN_INVENTORY}));

    Send(item, MSG_SET_STATE_DROP_ON_GROUND, hero->m_Id);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_IN_SCENE));
    EXPECT_EQ(item->m_TouchDelay, 2.0f);
    Frames(63);
    Touch(item, &item->m_ColObjs[0]);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_IN_SCENE)) << "within two seconds of the drop";
    Frames(2);
    Touch(item, &item->m_ColObjs[0]);
    EXPECT_EQ(item->m_State, static_cast<uint32_t>(ITEM_PICKUP));
}

TEST_F(GameObjectTest, RefusedDropsLeaveTheItemAsItWas) {
    CQVActor* hero = Hero();
    struct Case {
        const char* what;
        uint32_t kind;
        uint32_t droppable;
        uint32_t state;
        uint32_t weaponState;
    };
    const Case cases[] = {
        {"not droppable", ITEM_KEY, 0, ITEM_IN_HAND, 0},
        {"a throw object", ITEM_THROW_OBJECT, 1, ITEM_IN_HAND, 0},
        {"a trigger", ITEM_TRIGGER, 1, ITEM_IN_HAND, 0},
        {"a bomb in the inventory", ITEM_BOMB, 1, ITEM_IN_INVENTORY, 0},
        {"a firing weapon", ITEM_WEAPON, 1, ITEM_IN_HAND, WEAPON_FIRING},
        {"a reloading weapon", ITEM_WEAPON, 1, ITEM_IN_HAND, WEAPON_CLIP_LOAD},
    };
    for (const Case& c : cases) {
        CQVGameObject* item = Item(c.kind, c.what);
        item->m_Droppable = c.droppable;
        item->m_State = c.state;
        item->m_Holder = hero->m_Id;
        item->m_WeaponState = c.weaponState;
        Send(item, MSG_SET_STATE_DROP_ON_GROUND, hero->m_Id);
        EXPECT_EQ(item->m_State, c.state) << c.what;
        EXPECT_TRUE(StateNotices(item->m_Id).empty()) << c.what;
    }
    CQVGameObject* gun = Item(ITEM_WEAPON, "Ready gun");
    gun->m_Droppable = 1;
    gun->m_WeaponState = WEAPON_EMPTY_CLIP;
    Send(gun, MSG_SET_STATE_DROP_ON_GROUND, hero->m_Id);
    EXPECT_EQ(StateNotices(gun->m_Id), (std::vector<uint32_t>{ITEM_DROP_ON_GROUND, ITEM_IN_SCENE}));
}

// Dropped from the master character's hand a bomb is thrown along the look
// and goes off through its "Explosion" child when its timer has run.
TEST_F(GameObjectTest, ABombDroppedFromTheHandIsThrownAndGoesOffAfterItsTimer) {
    CQVActor* hero = Hero();
    CQVGameObject* bomb = Item(ITEM_BOMB, "Bomb");
    CQVActor* explosion = Make(CLASS_BASE, "Explosion", bomb);
    Watch({MSG_ACTION_START_PRE}, {explosion});
    Watch({MSG_SET_MOVEMENT_34D}, {hero});
    Watch({MSG_KILL_PRE, MSG_SET_DELTA_POSITION}, {bomb});
    Send(bomb, MSG_SET_DROPPABLE, 1u);
    Send(bomb, MSG_SET_BOMB_TIMER, 1.0f);
    const uint32_t hand[2] = {hero->m_Id, 2};
    bomb->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
    EXPECT_EQ(bomb->m_Parent->m_Name, "RightHand");
    const Vector3 look = hero->AskValue(MSG_GET_LOOKDIRECTION, Vector3(0.0f, 0.0f, 0.0f));
    Send(bomb, MSG_SET_STATE_DROP_ON_GROUND, hero->m_Id);
    EXPECT_EQ(bomb->m_BombArmed, 1u);
    const std::vector<Heard> thrown = HeardBy("Hero", {MSG_SET_MOVEMENT_34D});
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_EQ(thrown[0].text, "Throw");
    const std::vector<Heard> moves = HeardBy("Bomb", {MSG_SET_DELTA_POSITION});
    ASSERT_FALSE(moves.empty());
    EXPECT_NEAR(moves.back().vector.x, 300.0f * look.x, 1e-3f);
    EXPECT_NEAR(moves.back().vector.z, 300.0f * look.z, 1e-3f);
    const uint32_t armedAt = g_FrameNumber;
    Frames(32);
    EXPECT_TRUE(HeardBy("Explosion").empty()) << "one second has not passed it";
    Frames(1);
    const std::vector<Heard> exploded = HeardBy("Explosion");
    ASSERT_EQ(exploded.size(), 1u);
    EXPECT_EQ(exploded[0].frame, armedAt + 33);
    EXPECT_EQ(HeardBy("Bomb", {MSG_KILL_PRE}).size(), 1u);
    EXPECT_EQ(bomb->m_BombArmed, 0u);
}

// A light in hand burns down: its last 30 seconds shrink its light's radius
// by 8 a second, and it is gone when the time is out.
TEST_F(GameObjectTest, ALightInHandDimsOverItsLastThirtySecondsAndIsDeleted) {
    CQVActor* hero = Hero();
    CQVGameObject* torch = Item(ITEM_LIGHT, "Torch");
    CQVActor* light = torch->m_Slots[SLOT_LIGHT].target;
    ASSERT_NE(light, nullptr);
    Send(light, MSG_SET_RADIUS, 100.0f);
    Send(torch, MSG_SET_LIGHT_TIME, 31.0f);
    const uint32_t hand[2] = {hero->m_Id, 3};
    torch->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
    EXPECT_EQ(torch->m_Parent->m_Name, "LeftHand") << "a light goes to the left hand";
    Frames(32);
    EXPECT_NEAR(torch->m_LightDuration, 30.0f, 1e-4f);
    EXPECT_NEAR(Ask<float>(light, MSG_GET_RADIUS), 100.0f, 1e-3f) << "still above 30 seconds";
    Frames(32);
    EXPECT_NEAR(Ask<float>(light, MSG_GET_RADIUS), 100.0f - 8.0f * 32.0f / 32.0f, 0.3f);
    const uint32_t id = torch->m_Id;
    Frames(32 * 28 + 30);
    EXPECT_NE(CQVActorSystem::GetActorById(id), nullptr);
    Frames(3);
    EXPECT_EQ(CQVActorSystem::GetActorById(id), nullptr);
    EXPECT_EQ(StateNotices(id).back(), static_cast<uint32_t>(ITEM_DESTROYED));
}

// A trap set in a container reports the master character touching it at
// most every half second, once the container's four seconds have passed.
TEST_F(GameObjectTest, ATrapInAContainerReportsATouchingCharacterEveryHalfSecond) {
    Hero();
    CQVActor* chest = Make(CLASS_BASE, "Chest");
    CQVGameObject* trap = Item(ITEM_TRAP, "Trap");
    trap->m_ColObjs.push_back(ColObj{});
    trap->m_ColObjs.back().type = COLOBJ_SPHERE;
    trap->m_ColObjs.back().boxMax.x = 30.0f;
    trap->m_ColObjs.back().owner = trap;
    Send(trap, MSG_SET_STATE_CONTAINER, chest->m_Id);
    for (int frame = 0; frame < 4 * 32 + 64; ++frame) {
        Touch(trap, &trap->m_ColObjs[0]);
        Frames(1);
    }
    const std::vector<Heard> reports = HeardBy(inventory->m_Name, {MSG_TRAP_COLLISION_INFO});
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].word, chest->m_Id);
    EXPECT_GE(reports[0].frame, 4u * 32u);
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_EQ(reports[i].frame - reports[i - 1].frame, 17u);
}

// A power-up reaching the inventory applies its effects to the character
// and is gone; an effect type past the last sends nothing.
TEST_F(GameObjectTest, APowerUpIsConsumedOnReachingTheInventory) {
    CQVActor* hero = Hero();
    Watch({MSG_CHANGE_CPHEALTH, MSG_CHANGE_CPSPEED, MSG_SET_MOVEMENT_34D, MSG_SET_NEXT_MOVEMENT, MSG_SET_HOLD_TIME},
          {hero});
    CQVGameObject* potion = Item(ITEM_POWER_UP, "Potion");
    potion->m_Effects = {HitEffect{12, 25.0f, 3.0f}, HitEffect{20, 1.0f, 1.0f}, HitEffect{0, 2.0f, 4.0f}};
    potion->m_GethitId = 2;
    potion->m_CharacterHoldTime = 0.5f;
    const uint32_t id = potion->m_Id;
    Send(potion, MSG_SET_STATE_SCENE, ACTOR_ID_NONE);
    Send(potion, MSG_SET_ANIMATION_TIME, 0.25f);
    Touch(potion);
    EXPECT_EQ(potion->m_State, static_cast<uint32_t>(ITEM_PICKUP));
    Frames(9);
    EXPECT_EQ(CQVActorSystem::GetActorById(id), nullptr);
    const std::vector<Heard> told = HeardBy("Hero");
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[0].text, "Gethit1");
    EXPECT_EQ(told[1].id, MSG_SET_HOLD_TIME);
    EXPECT_EQ(told[1].real, 0.5f);
    EXPECT_EQ(told[2].id, MSG_CHANGE_CPHEALTH);
    EXPECT_EQ(told[2].real, 25.0f);
    EXPECT_EQ(told[3].id, MSG_CHANGE_CPSPEED) << "the effect of no known type sent nothing";
    const std::vector<Heard> hits = HeardBy(inventory->m_Name, {MSG_GAMEOBJECT_HIT_CHARACTER});
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].word, id);
}

// ---------------------------------------------------------------------------
// Weapons

class WeaponTest : public GameObjectTest {
protected:
    void SetUp() override {
        GameObjectTest::SetUp();
        if (HasFatalFailure()) return;
        hero = Hero();
        gun = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Gun");
        Send(gun, MSG_SET_GAMEOBJECT_TYPE_25A, static_cast<uint32_t>(ITEM_WEAPON));
        ammo = Make<CQVGameObject>(CLASS_GAME_OBJECT, "Ammo", gun);
        Send(ammo, MSG_SET_GAMEOBJECT_TYPE_25A, static_cast<uint32_t>(ITEM_AMMO));
        Send(ammo, MSG_SET_AMMO_BULLETS, 2u);
        // An impact lasts a second after its "Kill Pre".
        Make(CLASS_BASE, "Impact", ammo)->m_KillDelay = 1.0f;
        CQVScript script;
        script.name = "Hit";
        script.boundMessage = MSG_ON_AMMO_HIT;
        script.owner = ammo;
        ammo->m_Scripts.push_back(script);
        Make(CLASS_BASE, "FlashPos", gun);
        Make(CLASS_BASE, "ClipUnload", gun);
        Send(ammo, MSG_PRECALCULATE);
        Send(gun, MSG_PRECALCULATE);
        const uint32_t hand[2] = {hero->m_Id, 2};
        gun->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
        Watch({MSG_RECOIL, MSG_GET_AMMO_COUNT, MSG_REQUEST_AMMO}, {hero});
    }
    // A wall 400 units ahead of the muzzle, which the rays hit.
    CQVActor* Wall() {
        CQVActor* wall = Make(CLASS_BASE, "Wall");
        PutInRoom(wall);
        ColObj box;
        box.type = COLOBJ_BOX;
        box.boxMin = Vector3(-500.0f, -500.0f, -10.0f);
        box.boxMax = Vector3(500.0f, 500.0f, 10.0f);
        box.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        box.groups = 1;
        box.groupsReceive = 1;
        box.owner = wall;
        box.UpdateDerivedGroups(wall->m_ClassType);
        {
            DrawGroupLeave leave(wall);
            wall->m_ColObjs.push_back(box);
        }
        const Matrix& muzzle = gun->m_Slots[SLOT_FLASH_POS].target->GetWorldMatrix();
        const Vector3 axis(muzzle.m[2][0], muzzle.m[2][1], muzzle.m[2][2]);
        wall->m_Position = gun->m_Slots[SLOT_FLASH_POS].target->GetWorldPosition() + axis * 400.0f;
        wall->InvalidateTransform();
        return wall;
    }
    void SetAmmo(uint32_t group, uint32_t count) {
        const uint32_t block[2] = {group, count};
        hero->HandleMessage(MSG_SET_AMMO_COUNT, Args_Of(block));
    }
    uint32_t AmmoOf(uint32_t group) {
        uint32_t block[2] = {group, 0};
        hero->HandleMessage(MSG_GET_AMMO_COUNT, Args_Of(block));
        return block[1];
    }
    void Pull() {
        Send(gun, MSG_PERFORM_ACTION_START_27D);
        Send(gun, MSG_PERFORM_ACTION_STOP_27E);
    }

    CQVActor* hero = nullptr;
    CQVGameObject* gun = nullptr;
    CQVGameObject* ammo = nullptr;
};

// Two shots empty the clip; the emptied clip is reloaded from the
// character's ammunition after the clip-load time.
TEST_F(WeaponTest, AWeaponFiresTwoShotsAndReloadsFromTheCharactersAmmunition) {
    ASSERT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_READY));
    SetAmmo(1, 10);
    Pull();
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_FIRING));
    EXPECT_EQ(gun->m_RecoilAccumulator, 4.0f);
    const std::vector<Heard> recoil = HeardBy("Hero", {MSG_RECOIL});
    ASSERT_EQ(recoil.size(), 1u);
    EXPECT_EQ(recoil[0].real, 2.0f) << "the weapon's and the ammunition's recoil";
    Pull();
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_FIRING)) << "a pull while firing waits";
    Frames(4);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 1u);
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_BULLET_LOAD));
    Frames(4);
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_READY));
    Pull();
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_FIRING));
    Frames(4);
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 0u);
    Frames(2);
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_CLIP_LOAD));
    EXPECT_EQ(HeardBy("Hero", {MSG_GET_AMMO_COUNT}).size(), 1u);
    Frames(4);
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_READY));
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 6u) << "a full clip";
    EXPECT_EQ(AmmoOf(1), 4u);
}

TEST_F(WeaponTest, AnEmptyClipStaysEmptyWithoutAmmunitionOfItsGroup) {
    struct Case {
        const char* what;
        uint32_t groups;
        uint32_t owned;
    };
    const Case cases[] = {{"the character has none", 0x1, 0}, {"the ammunition has no group", 0x0, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_Heard.clear();
        SetAmmo(1, c.owned);
        ammo->m_AmmoGroups = c.groups;
        ammo->m_WeaponFlags = 0;
        gun->m_WeaponState = WEAPON_CLIP_UNLOAD;
        Send(gun, MSG_SET_WEAPON_STATE, 12u);
        EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_EMPTY_CLIP));
        EXPECT_EQ(HeardBy("Hero", {MSG_GET_AMMO_COUNT}).size(), c.groups ? 1u : 0u);
        Frames(8);
        EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 0u);
        EXPECT_TRUE(HeardBy("Hero", {MSG_REQUEST_AMMO}).empty());
    }
}

// Each shot casts the ammunition's rays from the muzzle: every ray that hits
// runs the ammunition's hit script with what it hit and leaves an impact.
TEST_F(WeaponTest, EveryRayThatHitsRunsTheHitScriptAndLeavesAnImpact) {
    CQVActor* wall = Wall();
    Send(ammo, MSG_SET_AMMO_RAY_COUNT, 5u);
    // The rays start behind the shooter: here they pass characters.
    Send(ammo, MSG_SET_AMMO_RAYCOLLISION_GROUP_EXCLUDE, 0x4040000u);
    {
        DrawGroupLeave leave(hero);
        for (ColObj& object : hero->m_ColObjs) object.UpdateDerivedGroups(CLASS_CHARACTER);
    }
    Frames(1);
    Pull();
    size_t hits = 0;
    for (const ScriptRun& run : g_ScriptRuns) {
        if (run.bound == MSG_ON_AMMO_HIT && run.caller == "Wall") ++hits;
    }
    EXPECT_EQ(hits, 5u);
    size_t impacts = 0;
    for (CQVActor* child : wall->m_Children) impacts += child->m_Name == "Impact" ? 1 : 0;
    EXPECT_EQ(impacts, 5u);
}

TEST_F(WeaponTest, UnlimitedAmmunitionNeverRunsEmptyAndAnAutoWeaponKeepsFiring) {
    Send(ammo, MSG_SET_AMMO_UNLIMITED, 1u);
    Send(gun, MSG_SET_WEAPON_AUTOTYPE_2B6, WEAPON_FIRE_AUTO);
    Send(gun, MSG_PERFORM_ACTION_START_27D);
    Frames(32);
    const size_t shots = HeardBy("Hero", {MSG_RECOIL}).size();
    EXPECT_GE(shots, 5u) << "the held trigger fires again after each re-check";
    EXPECT_EQ(Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS), 2u);
    Send(gun, MSG_PERFORM_ACTION_STOP_27E);
    Frames(16);
    const size_t after = HeardBy("Hero", {MSG_RECOIL}).size();
    Frames(16);
    EXPECT_EQ(HeardBy("Hero", {MSG_RECOIL}).size(), after) << "released";
}

TEST_F(WeaponTest, AWeaponInTheInventoryIgnoresTheTriggerUntilItIsTakenInHand) {
    Send(gun, MSG_SET_STATE_INVENTORY, hero->m_Id);
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_IN_INVENTORY));
    EXPECT_EQ(gun->m_Parent->m_Name, "Items");
    Pull();
    Frames(8);
    EXPECT_TRUE(HeardBy("Hero", {MSG_RECOIL}).empty());
    const uint32_t hand[2] = {hero->m_Id, 2};
    gun->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
    EXPECT_EQ(gun->m_WeaponState, static_cast<uint32_t>(WEAPON_READY));
    Pull();
    EXPECT_EQ(HeardBy("Hero", {MSG_RECOIL}).size(), 1u);
}

}  // namespace
}  // namespace gameplay_test
