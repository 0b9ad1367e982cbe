// The game's start-up content: the globals into "Global", the start scene
// into "Scenery" unless the globals hold a "Menu" actor.

#include "tests/kernel/fileactors/FileActorsFixture.h"

#include "kernel/fileactors/StartContent.h"

namespace {

class StartContent : public FileActorsTest {
protected:
    // Globals with a HUD, and a "Menu" actor when asked; a start scene with a level.
    void WriteContent(bool withMenu) {
        CQVActor* hud = Make(CLASS_BASE, "HUD", global, 100);
        if (withMenu) Make(CLASS_BASE, "Menu", hud, 101);
        ASSERT_EQ(Save(global, "Globals.qva"), 1);
        Make(CLASS_BASE, "Level", scenery, 3000);
        ASSERT_EQ(Save(scenery, "Start.qva"), 1);
        global->HandleMessage(MSG_UNLOAD_FILE, nullptr);
        scenery->HandleMessage(MSG_UNLOAD_FILE, nullptr);
        ASSERT_EQ(system->GetActorById(100), nullptr);
    }
};

TEST_F(StartContent, WithoutMenuTheStartSceneLoads) {
    WriteContent(false);
    bool menu = true;
    ASSERT_TRUE(FileActors_LoadStartContent("", "Start.qva", &menu));
    EXPECT_FALSE(menu);
    ASSERT_NE(system->GetActorById(100), nullptr);
    EXPECT_EQ(system->GetActorById(100)->m_Parent, global);
    // The system actors saved with the globals are back in place.
    ASSERT_NE(system->GetActorById(ACTOR_ID_ENVIRONMENT), nullptr);
    EXPECT_EQ(system->GetActorById(ACTOR_ID_INVENTORY)->m_Parent, global);
    ASSERT_EQ(scenery->m_Children.size(), 1u);
    EXPECT_EQ(scenery->m_Children[0]->m_Name, "Level");
    // Precalculated once loaded.
    EXPECT_TRUE(scenery->m_Children[0]->m_Flags & ACTOR_PRECALCULATED);
}

TEST_F(StartContent, AMenuActorKeepsTheStartSceneOut) {
    WriteContent(true);
    std::filesystem::remove("Data/Start.qva");
    bool menu = false;
    ASSERT_TRUE(FileActors_LoadStartContent("Globals.qva", "Start.qva", &menu));
    EXPECT_TRUE(menu);
    EXPECT_TRUE(scenery->m_Children.empty());
}

TEST_F(StartContent, MissingOrDamagedFilesFail) {
    bool menu = false;
    EXPECT_FALSE(FileActors_LoadStartContent("Globals.qva", "Start.qva", &menu));
    EXPECT_STREQ(system->GetError(), "Error - Loading Actors");

    WriteContent(false);
    std::filesystem::remove("Data/Start.qva");
    EXPECT_FALSE(FileActors_LoadStartContent("Globals.qva", "Start.qva", &menu));

    WriteData("Globals.qva", ReadData("Globals.qva").substr(0, 40));
    EXPECT_FALSE(FileActors_LoadStartContent("Globals.qva", "Start.qva", &menu));
    EXPECT_STREQ(system->GetError(), "Error - Loading Actors");
}

}  // namespace
