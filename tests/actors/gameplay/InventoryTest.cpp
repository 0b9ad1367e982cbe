// The Inventory actor with a real Character and Player on the game's frame
// step: the save block through a save and a load, the weapon selector's fade
// on a fixed clock, the volume options on the sound groups, the script's
// pause, the fades, and what the HUD queues for the hands and the clock.
// Items are stand-ins of the Game Object class that answer as a weapon with
// its ammunition would.

#include "actors/characters/Character.h"
#include "actors/characters/Player.h"
#include "actors/gameplay/GameplayState.h"
#include "actors/gameplay/Inventory.h"
#include "kernel/actors/Registries.h"
#include "services/sound/SoundState.h"
#include "tests/actors/gameplay/UITestSupport.h"

#include <cstring>

namespace {

using namespace uitest;


// A weapon, or its "Ammo" child: answers the ammunition and icon messages.
class StandInWeapon : public CQVActor {
public:
    StandInWeapon() { m_ClassType = CLASS_GAME_OBJECT; }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_GET_AMMO_AMMOGROUPS: Args_Answer(args, groups); return 1;
        case MSG_GET_AMMO_BULLETS: Args_Answer(args, bullets); return 1;
        case MSG_GET_AMMO_UNLIMITED: Args_Answer(args, unlimited); return 1;
        case MSG_GET_ICON_MATERIAL_LIBID: Args_Answer(args, icon); return 1;
        case MSG_GET_ICON2_MATERIAL_LIBID: Args_Answer(args, icon2); return 1;
        default: return CQVActor::HandleMessage(id, args);
        }
    }
    uint32_t groups = 1;
    uint32_t bullets = 6;
    uint32_t unlimited = 0;
    uint32_t icon = 0xFFFFFFFF;
    uint32_t icon2 = 0xFFFFFFFF;
};

// Answers "Get Current Time" and "Get Current Normalized Time" with its value.
class StandInClock : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_CURRENT_TIME || id == MSG_GET_CURRENT_NORMALIZED_TIME) {
            Args_Answer(args, value);
            return 1;
        }
        return CQVActor::HandleMessage(id, args);
    }
    float value = 0.0f;
};

// An actor placed in the tree and the id table as the factory would place it.
template <typename T>
T* Adopt(T* actor, const char* name, CQVActor* parent) {
    const uint32_t id = g_ActorSystem->FindFreeActorId(1);
    if (id >= g_ActorTable.size()) g_ActorTable.resize(id + 1, nullptr);
    g_ActorTable[id] = actor;
    actor->m_Id = id;
    actor->m_Name = name;
    actor->m_Parent = parent;
    actor->m_ParentId = parent->m_Id;
    parent->m_Children.push_back(actor);
    return actor;
}

class InventoryTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        // What a new body's skin starts on.
        auto* mesh = new CQVMeshItem;
        mesh->name = "Fallback Mesh";
        mesh->frameWord = 1;
        mesh->loaded = 1;
        mesh->subsetInfos.resize(1);
        g_Library.SetItem(3, mesh);
        auto* material = new CQVMaterialItem;
        material->name = "Fallback Material";
        material->loaded = 1;
        g_Library.SetItem(4, material);
        inventory = dynamic_cast<CQVInventory*>(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY));
        ASSERT_NE(inventory, nullptr);
    }
    void TearDown() override {
        if (g_ActorSystem) g_ActorSystem->m_PendingLoad = 0;
        UIFixture::TearDown();
    }

    // The player's character with its hands and item group, driven by "MASTERPLAYER".
    void MakeHero() {
        character = dynamic_cast<CQVCharacter*>(Make(CLASS_CHARACTER, "Hero", nullptr));
        ASSERT_NE(character, nullptr);
        items = Make(CLASS_BASE, "Items", character);
        leftHand = Make(CLASS_BASE, "LeftHand", character);
        rightHand = Make(CLASS_BASE, "RightHand", character);
        auto* player = dynamic_cast<CQVPlayer*>(Make(CLASS_PLAYER, "MASTERPLAYER", nullptr));
        ASSERT_NE(player, nullptr);
        player->m_Character.SetTarget(character);
    }
    StandInWeapon* Weapon(const char* name, CQVActor* parent, uint32_t groups, uint32_t bullets) {
        auto* weapon = Adopt(new StandInWeapon, name, parent);
        auto* ammo = Adopt(new StandInWeapon, "Ammo", weapon);
        ammo->groups = groups;
        ammo->bullets = bullets;
        return weapon;
    }
    StandInWeapon* AmmoOf(CQVActor* weapon) { return dynamic_cast<StandInWeapon*>(weapon->FindChild("Ammo")); }
    void SetAmmo(uint32_t type, uint32_t count) {
        const uint32_t args[2] = {type, count};
        character->HandleMessage(MSG_SET_AMMO_COUNT, Args_Of(&args));
    }
    void Start() {
        Send(inventory, MSG_PRECALCULATE);
        Send(inventory, MSG_START_GAME);
    }
    void Tap(SDL_Scancode key) {
        PushKey(key, true);
        Frame();
        PushKey(key, false);
        Frame();
    }
    uint32_t Visible() { return Ask<uint32_t>(inventory, MSG_GET_VISIBLE_1C9); }
    // The texts the HUD queues in one update step.
    std::vector<OverlayText> HudTexts() {
        CQVEngine* engine = CQVEngine::GetInstance();
        engine->overlayTexts.clear();
        engine->overlayQuads.clear();
        inventory->Update();
        return engine->overlayTexts;
    }

    CQVInventory* inventory = nullptr;
    CQVCharacter* character = nullptr;
    CQVActor* items = nullptr;
    CQVActor* leftHand = nullptr;
    CQVActor* rightHand = nullptr;
};

TEST_F(InventoryTest, TheSaveBlockTravelsWholeThroughASaveAndALoad) {
    ASSERT_EQ(sizeof(InventorySaveBlock), 16488u);
    InventorySaveBlock& block = inventory->m_Mission.saveBlock;
    EXPECT_EQ(block.slotCount, 6u);
    block.mission = 3;
    for (uint32_t i = 0; i < 24; ++i) block.reserved[i] = 1000 + i;
    for (uint32_t i = 0; i < 4096; ++i) block.words[i] = i * 2654435761u;

    SaveRecord record{};
    inventory->HandleMessage(MSG_DESCRIBE_SAVE_BLOCK, Args_Of(&record));
    const uint32_t size = record.size;
    ASSERT_EQ(size, 16488u);
    std::vector<uint8_t> saved(size);
    std::memcpy(saved.data(), record.data, size);

    block = InventorySaveBlock{};
    SaveRecord load{};
    load.data = saved.data();
    load.size = size;
    EXPECT_EQ(inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&load)), 1);
    EXPECT_EQ(std::memcmp(&inventory->m_Mission.saveBlock, saved.data(), size), 0) << "every word comes back";
    // The saved mission starts again, without the save-or-continue menu.
    EXPECT_EQ(inventory->m_Mission.pendingMission, 2);
    EXPECT_EQ(g_ShowSaveContinueMenu, 0u);

    // A block of another size is not taken.
    load.size = size - 4;
    inventory->m_Mission.saveBlock.words[0] = 7;
    EXPECT_EQ(inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&load)), 0);
    EXPECT_EQ(inventory->m_Mission.saveBlock.words[0], 7u);
}

TEST_F(InventoryTest, TheSelectorFadesInAndOutOverAQuarterSecondAndHandsTheChosenWeapon) {
    MakeHero();
    StandInWeapon* pistol = Weapon("Pistol", items, 0x1, 6);
    StandInWeapon* rifle = Weapon("Rifle", items, 0x6, 30);  // group 2 first
    Weapon("Blank", items, 0x0, 1);                           // no group: no ammunition
    Weapon("Cannon", items, 0x8, 1);                          // group 4, none carried
    Make(CLASS_BASE, "Stone", items);                         // no item at all
    SetAmmo(1, 12);
    SetAmmo(2, 40);
    Start();
    Spy& seen = Watch({character}, {MSG_RIGHT_HAND_GRAB_ITEM, MSG_LEFT_HAND_GRAB_ITEM});
    Frame();
    ASSERT_EQ(inventory->m_SelectorCount, 2u);
    EXPECT_EQ(inventory->SelectorItem(0), pistol);
    EXPECT_EQ(inventory->SelectorItem(1), rifle);
    EXPECT_EQ(inventory->m_SelectorOpen, 0u);

    // "Next" opens it on the first weapon; the opacity climbs 4 a second.
    PushKey(SDL_SCANCODE_PAGEDOWN, true);
    Frame();
    PushKey(SDL_SCANCODE_PAGEDOWN, false);
    EXPECT_EQ(inventory->m_SelectorOpen, 1u);
    EXPECT_EQ(inventory->m_SelectorIndex, 0);
    const float step = static_cast<float>(4.0 * kFrameStep);
    std::vector<uint32_t> visible{Visible()};
    EXPECT_NEAR(inventory->m_SelectorAlpha, step, 1e-5);
    for (int frame = 2; frame <= 8; ++frame) {
        Frame();
        visible.push_back(Visible());
        if (frame < 8) {
            EXPECT_NEAR(inventory->m_SelectorAlpha, step * static_cast<float>(frame), 1e-5) << frame;
        }
    }
    EXPECT_EQ(visible, (std::vector<uint32_t>{0, 0, 0, 1, 1, 1, 1, 1})) << "shown only above half opacity";
    EXPECT_EQ(inventory->m_SelectorAlpha, 1.0f) << "a finished opening shows it whole";

    // Stepping wraps both ways.
    Tap(SDL_SCANCODE_PAGEDOWN);
    EXPECT_EQ(inventory->m_SelectorIndex, 1);
    Tap(SDL_SCANCODE_PAGEDOWN);
    EXPECT_EQ(inventory->m_SelectorIndex, 0);
    Tap(SDL_SCANCODE_PAGEUP);
    EXPECT_EQ(inventory->m_SelectorIndex, 1);

    // "Fire 1" released hands the rifle to the right hand and closes over a quarter second.
    PushButton(true);
    Frame();
    PushButton(false);
    Frame();
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"Hero", MSG_RIGHT_HAND_GRAB_ITEM}}));
    EXPECT_EQ(inventory->m_SelectorIndex, -1);
    EXPECT_NEAR(inventory->m_SelectorAlpha, 1.0f - step, 1e-5);
    Frames(7);
    EXPECT_EQ(inventory->m_SelectorOpen, 0u);
    EXPECT_EQ(inventory->m_SelectorAlpha, 0.0f);
    EXPECT_EQ(Visible(), 0u);
}

TEST_F(InventoryTest, AnEmptySelectorStillOpensAndClosesWithNothingChosen) {
    MakeHero();
    Start();
    Spy& seen = Watch({character}, {MSG_RIGHT_HAND_GRAB_ITEM, MSG_LEFT_HAND_GRAB_ITEM});
    Tap(SDL_SCANCODE_PAGEUP);
    EXPECT_EQ(inventory->m_SelectorOpen, 1u);
    EXPECT_EQ(inventory->m_SelectorIndex, -1);
    Frames(8);
    PushButton(true);
    Frame();
    PushButton(false);
    Frames(10);
    EXPECT_EQ(inventory->m_SelectorOpen, 0u);
    EXPECT_TRUE(seen.seen.empty());
}

TEST_F(InventoryTest, VolumeOptionsStepTheSoundGroupsAndRewriteTheirRows) {
    CQVTextTable::GetInstance()->pairs = {{"MUSIC_VOLUME", "Music"}, {"SOUND_EFFECT_VOLUME", "Effects"}};
    CQVActor* musicText = Make(CLASS_UI_TEXT, "Text", Make(CLASS_BASE, "MusicVolume", nullptr));
    CQVActor* effectText = Make(CLASS_UI_TEXT, "Text", Make(CLASS_BASE, "SoundEffectVolume", nullptr));
    CQVActor* sound = Make(CLASS_BASE, "Hum", nullptr);
    Spy& seen = Watch({sound}, {MSG_SOUND_UPDATE_PLAYING_SOUND_PARAMS});
    Send(inventory, MSG_PRECALCULATE);
    g_SoundState.groupVolumes[0] = g_SoundState.groupVolumes[1] = 1.0f;

    const struct {
        const char* text;
        float volume;
    } steps[] = {{"Music: 1", 0.6f}, {"Music: 2", 0.7f}, {"Music: 3", 0.8f},
                 {"Music: 4", 0.9f}, {"Music: 5", 1.0f}, {"Music: 1", 0.6f}};
    for (const auto& s : steps) {
        Send(inventory, MSG_INVENTORY_HACK, 52u);
        EXPECT_EQ(AskText(musicText, MSG_GET_UI_TEXT_TEXT), s.text);
        EXPECT_NEAR(g_MusicVolume, s.volume, 1e-6);
        EXPECT_NEAR(g_SoundState.groupVolumes[1], s.volume, 1e-6) << s.text;
    }
    EXPECT_EQ(g_SoundState.groupVolumes[0], 1.0f) << "music leaves the effects alone";
    EXPECT_EQ(seen.seen.size(), 6u) << "every press reaches the playing sounds";

    Send(inventory, MSG_INVENTORY_HACK, 55u);
    EXPECT_EQ(AskText(effectText, MSG_GET_UI_TEXT_TEXT), "Effects: 5") << "the row shows the step without a change";
    Send(inventory, MSG_INVENTORY_HACK, 54u);
    EXPECT_EQ(AskText(effectText, MSG_GET_UI_TEXT_TEXT), "Effects: 1");
    EXPECT_NEAR(g_SoundState.groupVolumes[0], 0.6f, 1e-6);
    EXPECT_NEAR(g_SoundState.groupVolumes[1], 0.6f, 1e-6);
}

TEST_F(InventoryTest, APauseStandsTheClocksUntilItRunsOutOrJumpIsPressed) {
    Send(inventory, MSG_PRECALCULATE);
    CQVActor* watch = Make(CLASS_BASE, "Watch", nullptr);
    Send(inventory, MSG_INVENTORY_PAUSE, 0.25f);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 1u);
    EXPECT_EQ(g_ActorSystem->m_PauseActor, inventory);
    Frame();
    const float stood = watch->m_Clock->time;
    int frames = 1;
    while (g_ActorSystem->m_PauseWord == 1 && frames < 20) {
        EXPECT_EQ(watch->m_Clock->time, stood) << "the game stands while paused";
        Frame();
        ++frames;
    }
    EXPECT_EQ(frames, 8) << "a quarter second of frames";
    Frame();
    EXPECT_GT(watch->m_Clock->time, stood);

    Send(inventory, MSG_INVENTORY_PAUSE, 100.0f);
    Frame();
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 1u);
    PushKey(SDL_SCANCODE_SPACE, true);
    Frame();
    PushKey(SDL_SCANCODE_SPACE, false);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u) << "Jump ends it";

    Send(inventory, MSG_INVENTORY_PAUSE, 0.0f);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u) << "no time, no pause";
}

TEST_F(InventoryTest, FadesOfNoTimeReachTheirLevelAtOnce) {
    Send(inventory, MSG_PRECALCULATE);
    Send(inventory, MSG_FADE_DOWN, 0.0f);
    EXPECT_EQ(inventory->m_Mission.fade.level, 1.0f);
    Frame();
    EXPECT_EQ(inventory->m_Mission.fade.active, 0u);
    EXPECT_EQ(inventory->m_Mission.fade.level, 1.0f) << "black stays";
    Send(inventory, MSG_FADE_UP, 0.0f);
    EXPECT_EQ(inventory->m_Mission.fade.level, 0.0f);
    Frame();
    EXPECT_EQ(inventory->m_Mission.fade.active, 0u);

    Send(inventory, MSG_FADE_DOWN, 0.5f);
    Send(inventory, MSG_FADE_UP, 0.5f);
    EXPECT_EQ(inventory->m_Mission.fade.speed, 2.0f) << "a running fade is not replaced";
}

TEST_F(InventoryTest, TotalScoreMessagesKeepTheGlobalScore) {
    Send(inventory, MSG_SET_TOTAL_SCORE, 10.0f);
    Send(inventory, MSG_ADD_TOTAL_SCORE, 2.5f);
    Send(inventory, MSG_SUB_TOTAL_SCORE, 1.0f);
    EXPECT_EQ(Ask<float>(inventory, MSG_GET_TOTAL_SCORE), 11.5f);
    EXPECT_EQ(g_TotalScore, 11.5f);
    Send(inventory, MSG_CLEAR_TOTAL_SCORE);
    EXPECT_EQ(g_TotalScore, 0.0f);
}

struct AmmoTextCase {
    uint32_t count;
    uint32_t unlimited;
    const char* text;  // "" for none
};

class InventoryAmmoText : public InventoryTest, public testing::WithParamInterface<AmmoTextCase> {};

TEST_P(InventoryAmmoText, TheRightHandShowsClipAndStock) {
    MakeHero();
    StandInWeapon* weapon = Weapon("Pistol", rightHand, 0x2, 7);
    AmmoOf(weapon)->unlimited = GetParam().unlimited;
    SetAmmo(2, GetParam().count);
    Start();
    inventory->m_ShowMissionTime = 0;
    inventory->m_ShowSouls = 0;
    std::vector<std::string> texts;
    for (const OverlayText& text : HudTexts()) texts.push_back(text.text);
    if (*GetParam().text) {
        EXPECT_EQ(texts, std::vector<std::string>{GetParam().text});
    } else {
        EXPECT_TRUE(texts.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, InventoryAmmoText,
                         testing::Values(AmmoTextCase{25, 0, "7/25"}, AmmoTextCase{10000, 0, "7/10000"},
                                         AmmoTextCase{10001, 0, "7"}, AmmoTextCase{25, 1, ""}));

TEST_F(InventoryTest, AClipThatChangesFlashesAndTheLeftHandShowsItsClip) {
    MakeHero();
    StandInWeapon* right = Weapon("Pistol", rightHand, 0x1, 6);
    StandInWeapon* left = Weapon("Knife", leftHand, 0x0, 3);
    Start();
    inventory->m_ShowMissionTime = 0;
    inventory->m_ShowSouls = 0;
    std::vector<OverlayText> texts = HudTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "6/0");
    EXPECT_EQ(texts[1].text, "3");
    EXPECT_EQ(inventory->m_RightFlash, 0.0f) << "the first showing does not flash";
    AmmoOf(right)->bullets = 5;
    AmmoOf(left)->bullets = 2;
    HudTexts();
    EXPECT_EQ(inventory->m_RightFlash, 1.0f);
    EXPECT_EQ(inventory->m_LeftFlash, 1.0f);
}

struct ClockCase {
    float seconds;
    const char* text;
    bool red;
};

class InventoryClock : public InventoryTest, public testing::WithParamInterface<ClockCase> {};

TEST_P(InventoryClock, TheMissionClockBlinksRedInItsLastMinute) {
    Start();
    inventory->m_ShowSouls = 0;
    StandInClock clock;
    clock.value = GetParam().seconds;
    inventory->m_MissionTimeActor.SetTarget(&clock);
    const std::vector<OverlayText> texts = HudTexts();
    inventory->m_MissionTimeActor.SetTarget(nullptr);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, GetParam().text);
    EXPECT_EQ(texts[0].color[1], GetParam().red ? 0.0f : 1.0f);
    EXPECT_EQ(texts[0].color[3], GetParam().red ? 0.8f : 1.0f);
    EXPECT_EQ(texts[0].x, static_cast<float>(inventory->m_ViewW) - 90.0f);
}

INSTANTIATE_TEST_SUITE_P(Table, InventoryClock,
                         testing::Values(ClockCase{125.25f, "2:05", false}, ClockCase{60.2f, "1:00", false},
                                         ClockCase{59.25f, "0:59", true}, ClockCase{59.75f, "0:59", false},
                                         ClockCase{-3.0f, "0:00", true}));

TEST_F(InventoryTest, EnduranceMarksFollowTheCapacityAndAFullReserveStillShowsOneClearMark) {
    CQVEngine* engine = CQVEngine::GetInstance();
    auto* mark = new CQVMaterialItem;
    mark->name = "endurance_mark";
    mark->loaded = 1;
    g_Library.SetItem(80, mark);
    auto* back = new CQVMaterialItem;
    back->name = "endurance_back";
    back->loaded = 1;
    g_Library.SetItem(81, back);
    MakeHero();
    Start();
    ASSERT_EQ(inventory->m_EnduranceShown, 1u);
    inventory->m_Mission.hudShown = 0;
    const struct {
        float capacity;
        size_t marks;
        float lastAlpha;
    } cases[] = {{1.0f, 1, 0.0f}, {0.5f, 9, 0.0f}, {0.25f + 1.0f / 64.0f, 12, 0.75f}};
    for (const auto& c : cases) {
        character->m_Capacity = c.capacity;
        engine->overlayQuads.clear();
        inventory->Update();
        std::vector<OverlayQuad> marks;
        for (const OverlayQuad& quad : engine->overlayQuads)
            if (quad.material == mark) marks.push_back(quad);
        ASSERT_EQ(marks.size(), c.marks) << c.capacity;
        EXPECT_EQ(marks.back().vertices[0].color >> 24, static_cast<uint32_t>(c.lastAlpha * 255.0f + 0.5f)) << c.capacity;
        EXPECT_EQ(engine->overlayQuads.back().material, back);
    }
}

}  // namespace
