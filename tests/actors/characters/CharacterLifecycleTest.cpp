// A Character's life in a level: placed under another actor of the level
// it goes under "Scenery" as its simulation starts, is listed there once and
// leaves nothing behind when deleted; a fresh one is made with its input
// locked and takes a heading once its first frame has run.

#include "tests/actors/characters/CharacterTestSupport.h"

#include <algorithm>

namespace {

class CharacterLifecycleTest : public CharacterLevelFixture {};

size_t Listed(const std::list<CQVActor*>& list, const CQVActor* actor) {
    return static_cast<size_t>(std::count(list.begin(), list.end(), actor));
}

TEST_F(CharacterLifecycleTest, ACharacterUnderAnotherActorIsListedOnce) {
    CQVActor* holder = Make(CLASS_BASE, "Holder");
    holder->m_DrawGroupId = group->m_DrawGroupId;
    g_ActorSystem->AddToDrawGroup(holder, 0);
    CQVCharacter* hero = MakeCharacter("Hero", DefaultCharacterMotions(), holder);
    ASSERT_NE(hero, nullptr);
    Send<uint32_t>(hero, MSG_SET_MASTER, 1);
    EXPECT_EQ(hero->m_Parent, scenery);
    EXPECT_EQ(std::count(scenery->m_Children.begin(), scenery->m_Children.end(), hero), 1);
    EXPECT_EQ(std::count(holder->m_Children.begin(), holder->m_Children.end(), hero), 0);
    Frames(3);
    EXPECT_LE(Listed(g_ActiveMovers, hero) + Listed(g_PassiveMovers, hero), 1u);
    size_t inGroups = 0;
    for (CQVDrawGroupBase* g : g_DrawGroups) {
        if (g) inGroups += static_cast<size_t>(std::count(g->m_Actors.begin(), g->m_Actors.end(), hero));
    }
    EXPECT_LE(inGroups, 1u);
    g_ActorSystem->DeleteActor(holder);
    Frames(2);
    EXPECT_EQ(CQVActorSystem::GetActorById(hero->m_Id), hero) << "the holder no longer owns it";
    g_ActorSystem->DeleteActor(hero);
    Frames(2);
    EXPECT_EQ(std::count(scenery->m_Children.begin(), scenery->m_Children.end(), hero), 0);
}

TEST_F(CharacterLifecycleTest, AFreshCharacterTakesItsHeadingAfterItsFirstFrame) {
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, 0.0f, 0.0f));
    ASSERT_NE(hero, nullptr);
    ASSERT_TRUE(hero->InputLocked());
    Send(hero, MSG_SET_ROT_Y_3D0, 1.0f);
    EXPECT_EQ(hero->m_RotY, 0.0f) << "refused while the input is locked";
    Frame();
    EXPECT_FALSE(hero->InputLocked()) << "the hold time of 0 runs out at once";
    Send(hero, MSG_SET_ROT_Y_3D0, 1.25f);
    EXPECT_EQ(hero->m_RotY, 1.25f);
}

}  // namespace
