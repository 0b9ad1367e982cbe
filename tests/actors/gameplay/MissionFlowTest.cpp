// The mission sequence the Inventory runs: "Level Completed" goes on to the
// next mission at once or, after a fade to black, through the
// save-or-continue menu; the restart commands; the block a save describes;
// and the mission map at the start of a mission.

#include "actors/gameplay/Inventory.h"
#include "services/graphics/Texture.h"
#include "tests/actors/gameplay/UITestSupport.h"
#include "tools/content/MovieWriter.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace uitest;
namespace fs = std::filesystem;

// The movie's clock: each of its waits moves it on, with a moment of real
// time for the decoder.
std::atomic<double> g_MovieClock{0.0};
double MovieNow() { return g_MovieClock.load(); }
void MovieWait(uint32_t milliseconds) {
    g_MovieClock = g_MovieClock.load() + milliseconds / 1000.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class MissionFlowTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        inventory = dynamic_cast<CQVInventory*>(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY));
        ASSERT_NE(inventory, nullptr);
        menu = Make(CLASS_UI_SYSTEM, "Menu", nullptr);
        saveContinue = Make(CLASS_UI_WINDOW, "SaveContinueMenu", menu);
    }
    void TearDown() override {
        // The level asked for is never loaded here.
        if (g_ActorSystem) g_ActorSystem->m_PendingLoad = 0;
        UIFixture::TearDown();
    }
    // The mission whose level the actor system was asked to load, or 0.
    static uint32_t RequestedMission() {
        if (!g_ActorSystem->m_PendingLoad) return 0;
        unsigned mission = 0;
        const size_t at = g_ActorSystem->m_LoadFileA.find("Mission_");
        if (at == std::string::npos || std::sscanf(g_ActorSystem->m_LoadFileA.c_str() + at, "Mission_%u_", &mission) != 1)
            return 0;
        return mission;
    }
    int LevelCompleted(uint32_t index) { return Send(inventory, MSG_LEVEL_COMPLETED, index); }
    void Hack(uint32_t code) { Send(inventory, MSG_INVENTORY_HACK, code); }
    // Normal frames until a mission is asked for, at most two seconds.
    void FramesUntilAMissionStarts() {
        for (int frame = 0; frame < 60 && !g_ActorSystem->m_PendingLoad; ++frame) Frame();
    }

    CQVInventory* inventory = nullptr;
    CQVActor* menu = nullptr;
    CQVActor* saveContinue = nullptr;
};

struct NextMissionCase {
    uint32_t index;
    uint32_t mission;
};

std::ostream& operator<<(std::ostream& os, const NextMissionCase& c) { return os << c.index; }

class MissionFlowAtOnce : public MissionFlowTest, public testing::WithParamInterface<NextMissionCase> {};

TEST_P(MissionFlowAtOnce, StartsTheNextMissionWithoutTheMenu) {
    EXPECT_EQ(LevelCompleted(GetParam().index), 1);
    EXPECT_EQ(RequestedMission(), GetParam().mission);
    EXPECT_EQ(g_CurrentMission, GetParam().mission);
    EXPECT_EQ(g_MissionMapPending, 1u);
    EXPECT_EQ(inventory->m_Mission.pendingMission, -1);
    EXPECT_EQ(g_ShowSaveContinueMenu, 0u);
    EXPECT_NE(g_ActorSystem->m_LoadFileB.find("data\\Globals1_XBox.qva"), std::string::npos);
}

// 0, 25 and 100 up go on at once; index 200 starts mission 3 again.
INSTANTIATE_TEST_SUITE_P(Table, MissionFlowAtOnce,
                         testing::Values(NextMissionCase{0, 1}, NextMissionCase{25, 26}, NextMissionCase{100, 101},
                                         NextMissionCase{200, 3}));

TEST_F(MissionFlowTest, AMissionFromOneToNinetyNineEndsInTheSaveOrContinueMenuAfterTheFade) {
    Spy& seen = Watch({saveContinue}, {MSG_ACTION_START});
    EXPECT_EQ(LevelCompleted(5), 1);
    EXPECT_EQ(RequestedMission(), 0u);
    EXPECT_EQ(inventory->m_Mission.pendingMission, 5);
    EXPECT_EQ(inventory->m_Mission.saveBlock.mission, 6u) << "a save now starts the next mission";
    EXPECT_EQ(inventory->m_Mission.hudShown, 0u);
    Frames(8);
    EXPECT_TRUE(seen.seen.empty()) << "still fading to black";
    Frames(3);
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"SaveContinueMenu", MSG_ACTION_START}}));
    EXPECT_EQ(g_ActorSystem->m_PauseActor, menu);

    // The menu stands still until the player leaves it; then, half a second
    // later, the next mission starts.
    Frames(30);
    EXPECT_EQ(RequestedMission(), 0u);
    Send(menu, MSG_UI_SYSTEM_DEACTIVATE);
    Frames(14);
    EXPECT_EQ(RequestedMission(), 0u);
    FramesUntilAMissionStarts();
    EXPECT_EQ(RequestedMission(), 6u);
    EXPECT_EQ(inventory->m_Mission.pendingMission, -1);
}

TEST_F(MissionFlowTest, WithoutTheMenuTheFadesEndStartsTheMission) {
    ASSERT_EQ(g_ActorSystem->DeleteActor(menu), 1);
    LevelCompleted(7);
    FramesUntilAMissionStarts();
    EXPECT_EQ(RequestedMission(), 8u);
}

TEST_F(MissionFlowTest, TheMissionMoviePlaysToItsEndUnlessJumpEndsIt) {
    const fs::path folder = fs::temp_directory_path() / ("qv_ui_movie_" + std::to_string(getpid()));
    fs::create_directories(folder / "Data");
    MovieClip clip;
    clip.settings.width = 64;
    clip.settings.height = 48;
    clip.frameColours.assign(50, 0xFF2080C0u);  // two seconds
    std::string error;
    ASSERT_TRUE(MovieWriter_WriteClip((folder / "Data" / "Mission_01.mpg").string(), clip, &error)) << error;
    CQVEngine::GetInstance()->SetBaseFolder(folder.string());
    Movie_SetClock(MovieNow, MovieWait);

    g_MovieClock = 100.0;
    LevelCompleted(0);
    EXPECT_GE(g_MovieClock.load(), 102.0) << "the whole movie";
    EXPECT_EQ(RequestedMission(), 1u) << "then the level";
    g_ActorSystem->m_PendingLoad = 0;

    g_MovieClock = 100.0;
    PushKey(SDL_SCANCODE_SPACE, true);
    LevelCompleted(0);
    EXPECT_LT(g_MovieClock.load(), 100.5) << "Jump ends the movie";
    EXPECT_EQ(RequestedMission(), 1u);
    PushKey(SDL_SCANCODE_SPACE, false);
    Pump();
    Movie_SetClock(nullptr, nullptr);
    fs::remove_all(folder);
}

TEST_F(MissionFlowTest, RestartCommandsReplayTheCurrentMission) {
    g_CurrentMission = 2;
    Hack(255);
    EXPECT_EQ(RequestedMission(), 2u) << "at once";
    g_ActorSystem->m_PendingLoad = 0;

    Hack(6);
    EXPECT_EQ(RequestedMission(), 0u);
    Spy& seen = Watch({saveContinue}, {MSG_ACTION_START});
    FramesUntilAMissionStarts();
    EXPECT_EQ(RequestedMission(), 2u) << "after the fade, without the menu";
    EXPECT_TRUE(seen.seen.empty());
    g_ActorSystem->m_PendingLoad = 0;

    Hack(5);
    EXPECT_EQ(RequestedMission(), 2u);
    g_ActorSystem->m_PendingLoad = 0;
    g_CurrentMission = 7;
    Hack(5);
    EXPECT_NE(g_ActorSystem->m_LoadFileA.find("data\\SereneGarden.qva"), std::string::npos)
        << "from mission 5 on the garden level";
    g_ActorSystem->m_PendingLoad = 0;

    // Before any mission ran the restart starts the first, not a mission 0.
    g_CurrentMission = 0;
    Hack(255);
    EXPECT_EQ(RequestedMission(), 1u);
}

TEST_F(MissionFlowTest, ASaveIsDescribedByTheBlockAndAMissionStartShowsItsMap) {
    inventory->m_Mission.saveBlock.mission = 4;
    SaveRecord record{};
    inventory->HandleMessage(MSG_DESCRIBE_SAVE_BLOCK, Args_Of(&record));
    EXPECT_STREQ(record.title, "Mission 4");
    // The record is packed: its fields are read by value.
    const uint32_t mission = record.mission, size = record.size;
    const void* data = record.data;
    EXPECT_EQ(mission, 4u);
    EXPECT_EQ(data, &inventory->m_Mission.saveBlock);
    EXPECT_EQ(size, 16488u);

    auto* map = new CQVMaterialItem;
    map->name = "MissionMap_03";
    map->loaded = 1;
    g_Library.SetItem(70, map);
    CQVActor* sprite = Make(CLASS_UI_SPRITE, "MissionMap_03", inventory);
    Spy& seen = Watch({sprite}, {MSG_ACTION_START, MSG_ACTION_STOP});
    g_CurrentMission = 3;
    g_MissionMapPending = 1;
    Send(inventory, MSG_START_GAME);
    EXPECT_EQ(Ask<int32_t>(sprite, MSG_GET_UI_SPRITE_MATERIAL), 70);
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"MissionMap_03", MSG_ACTION_START}, {"MissionMap_03", MSG_ACTION_STOP}}));
    EXPECT_EQ(g_MissionMapPending, 0u);
    EXPECT_EQ(inventory->m_Mission.saveBlock.mission, 3u);
    EXPECT_EQ(inventory->m_Mission.hudShown, 1u);
    EXPECT_EQ(inventory->m_Mission.fade.active, 1u);
    EXPECT_EQ(inventory->m_Mission.fade.level, 1.0f) << "in from black";

    // Mission 26 has neither a map nor a HUD.
    g_CurrentMission = 26;
    g_MissionMapPending = 1;
    seen.seen.clear();
    Send(inventory, MSG_START_GAME);
    EXPECT_TRUE(seen.seen.empty());
    EXPECT_EQ(g_MissionMapPending, 1u);
    EXPECT_EQ(inventory->m_Mission.hudShown, 0u);
}

}  // namespace
