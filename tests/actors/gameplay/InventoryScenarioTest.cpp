// The HUD as a player sees it: the game started headless on a level made
// here, whose player character holds a pistol, with the HUD's pictures made
// by our tools; the globals carry the mission clock under the Inventory and
// the soul gauge's amount. The capture shows the hand's ammunition and icon,
// the health and soul gauge, the light sensor, the endurance marks and the
// mission clock in its last, red-blinking minute.

#include "actors/gameplay/GameObject.h"
#include "actors/gameplay/Timer.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "tests/support/Scenario.h"
#include "tools/content/HudPictures.h"
#include "tools/content/LibraryFile.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 640, kHeight = 480;
// Text edges and filtered textures may round a step or two.
constexpr int kTolerance = 8;
constexpr double kMaxBadFraction = 0.002;

CQVActor* MakeActor(uint32_t type, const char* name, CQVActor* parent, uint32_t id) {
    return g_ActorSystem->CreateActor(type, name, nullptr, parent, id, 1, 0);
}

template <typename T>
void Tell(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

TEST(InventoryScenario, TheHudShowsAmmunitionGaugesAndTheMissionClock) {
    Scenario scenario("InventoryHud", kWidth, kHeight);
    LibraryFile library;
    const HudPictureIds ids;
    ASSERT_TRUE(HudPictures_Add(library, scenario.DataFolder(), ids));
    ASSERT_TRUE(library.Write(scenario.LibraryPath().string()));
    CQVActor* scenery = scenario.BeginScene();
    ASSERT_NE(scenery, nullptr);

    // The globals: a clock 42.1 s into the mission under the Inventory, and
    // the soul gauge's amount, 3 s into its 10.
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    CQVActor* global = CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL);
    CQVActor* clock = MakeActor(CLASS_TIMER, "MissionTime", inventory, 100);
    ASSERT_NE(clock, nullptr);
    Tell(clock, MSG_SET_TOTAL_TIME, 600.0f);
    Tell(clock, MSG_SET_TIMER_START_TIME, 42.1f);
    CQVActor* amount = MakeActor(CLASS_TIMER, "Amount", MakeActor(CLASS_BASE, "ScriptSoul", global, 101), 102);
    Tell(amount, MSG_SET_TOTAL_TIME, 10.0f);
    Tell(amount, MSG_SET_TIMER_START_TIME, 3.0f);
    ASSERT_EQ(g_ActorSystem->SaveActors((scenario.DataFolder() / "Globals.qva").c_str(), 10, 3000, 0), 1);

    // The level: the player's character with a pistol in its right hand.
    CQVActor* hero = MakeActor(CLASS_CHARACTER, "PlayerCharacter", scenery, scenario.NextId());
    ASSERT_NE(hero, nullptr);
    Tell(hero, MSG_SET_HEALTH, 75.0f);
    MakeActor(CLASS_BASE, "Items", hero, scenario.NextId());
    MakeActor(CLASS_BASE, "LeftHand", hero, scenario.NextId());
    CQVActor* hand = MakeActor(CLASS_BASE, "RightHand", hero, scenario.NextId());
    CQVActor* pistol = MakeActor(CLASS_GAME_OBJECT, "Pistol", hand, scenario.NextId());
    Tell(pistol, MSG_SET_GAMEOBJECT_TYPE_25A, static_cast<uint32_t>(ITEM_WEAPON));
    Tell(pistol, MSG_SET_ICON2_MATERIAL_LIBID, HudPictures_WeaponIcon(ids));
    CQVActor* ammo = MakeActor(CLASS_GAME_OBJECT, "Ammo", pistol, scenario.NextId());
    Tell(ammo, MSG_SET_GAMEOBJECT_TYPE_25A, static_cast<uint32_t>(ITEM_AMMO));
    Tell(ammo, MSG_SET_AMMO_BULLETS, 5u);
    Tell(ammo, MSG_SET_AMMO_AMMOGROUPS, 1u);
    // After the level's 3 s fade from black: the clock at 0:45 and 40
    // hundredths, in its red half second; the gauge near two thirds full.
    scenario.CaptureAt(3.3f);
    ASSERT_TRUE(scenario.SaveScene());
    ASSERT_EQ(scenario.Run(), 0) << scenario.ErrorOutput();
    EXPECT_TRUE(scenario.MatchesReference("tests/actors/gameplay/reference/inventory-hud.png", kTolerance,
                                          kMaxBadFraction));
}

}  // namespace
