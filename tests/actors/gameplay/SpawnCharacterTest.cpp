// The Spawn Point with the game's own Character: a character template is
// cloned into the level, standing 40 above the marker and facing back along
// its z axis, with a skin of its own.

#include "actors/gameplay/SpawnPoint.h"
#include "tests/actors/characters/CharacterTestSupport.h"

#include <numbers>

namespace {

class SpawnCharacterTest : public CharacterFixture {};

TEST_F(SpawnCharacterTest, ACharacterCloneStandsAboveTheMarkerFacingBack) {
    CQVCharacter* guard = MakeCharacter("Guard");
    ASSERT_NE(guard, nullptr);
    // A character in play: its input is free, so it turns when told.
    Send(guard, MSG_SET_HOLD_TIME, 0.0f);
    auto* spawner = static_cast<CQVSpawnPoint*>(Make(CLASS_SPAWN_POINT, "Spawner"));
    ASSERT_NE(spawner, nullptr);
    struct {
        CQVActor* actor;
        char name[64];
    } reference{};
    std::snprintf(reference.name, sizeof reference.name, "%s", CQVActorSystem::GetActorPath(guard, nullptr));
    spawner->HandleMessage(MSG_SPAWN_ADD_ENTRY, Args_Of(&reference));
    Send(spawner, MSG_SET_POSITION, Vector3(100.0f, 0.0f, 50.0f));

    auto* clone = dynamic_cast<CQVCharacter*>(spawner->PlaceSpawned());
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, guard);
    EXPECT_EQ(clone->m_Parent, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY));
    EXPECT_FLOAT_EQ(clone->m_Position.x, 100.0f);
    EXPECT_FLOAT_EQ(clone->m_Position.y, 40.0f);
    EXPECT_FLOAT_EQ(clone->m_Position.z, 50.0f);
    EXPECT_NEAR(clone->m_RotY, std::numbers::pi_v<float>, 1e-5f);
    EXPECT_NE(SkinOf(clone), nullptr);
    EXPECT_NE(SkinOf(clone), SkinOf(guard));
}

}  // namespace
