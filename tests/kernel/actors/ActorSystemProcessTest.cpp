#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/LoadingScreen.h"

#include "tests/kernel/actors/ActorSystemGameSupport.h"
#include "tests/support/FileSizeLimit.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class ActorSystemProcessTest : public ActorSystemGameFixture {
protected:
    void SetUp() override {
        ActorSystemGameFixture::SetUp();
        folder = fs::temp_directory_path() / ("qv_process_" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "Data");
        system->m_BaseDirectory = folder.string();
    }
    void TearDown() override {
        fs::remove_all(folder);
        ActorSystemGameFixture::TearDown();
    }
    std::string Path(const std::string& name) const { return folder.string() + "\\" + name; }

    // Everything from id 10 on written as a save, as "Save Game" does.
    void SaveWorld(const char* name) { ASSERT_EQ(system->HandleMessage(MSG_SAVE_GAME, Args_Of(name)), 1); }

    bool Started() const {
        for (const SeenMessage& s : g_Seen) {
            if (s.id == MSG_START_GAME) return true;
        }
        return false;
    }

    fs::path folder;
};

TEST_F(ActorSystemProcessTest, LoadGameRebuildsTheWorldWithoutStartingIt) {
    CQVActor* door = Make("Door", scenery, 3001);
    Make("Handle", door, 3002);
    Make("Lamp", global, 20);
    SaveWorld("slot.sav");
    Make("Extra", scenery, 3050);
    CQVActor* systemChild = Make("Tool", system->GetActorById(ACTOR_ID_CLIPBOARD), 5);

    system->HandleMessage(MSG_LOAD_GAME, Args_Of("slot.sav"));
    EXPECT_EQ(system->GetActorById(3050)->m_Name, "Extra");  // nothing happens before the frame
    g_Seen.clear();
    system->Process();

    EXPECT_EQ(system->GetActorById(3050), nullptr);
    ASSERT_NE(system->GetActorById(3001), nullptr);
    EXPECT_EQ(system->GetActorById(3001)->m_Name, "Door");
    EXPECT_EQ(system->GetActorById(3002)->m_Parent, system->GetActorById(3001));
    EXPECT_EQ(system->GetActorById(20)->m_Parent, global);
    EXPECT_FALSE(Started());
    // The system actors stay; their child lists are emptied and then hold
    // what the load rebuilt: the level's actors, and a system actor below 10
    // once more under its parent.
    for (uint32_t id : {ACTOR_ID_GLOBAL, ACTOR_ID_SCENERY, ACTOR_ID_CLIPBOARD, 5u}) {
        EXPECT_NE(system->GetActorById(id), nullptr) << id;
    }
    EXPECT_EQ(system->GetActorById(5), systemChild);
    EXPECT_EQ(system->GetActorById(ACTOR_ID_CLIPBOARD)->m_Children, std::vector<CQVActor*>{systemChild});
    EXPECT_EQ(scenery->m_Children, std::vector<CQVActor*>{system->GetActorById(3001)});
    EXPECT_EQ(system->m_PendingLoad, 0u);
    EXPECT_TRUE(system->m_LoadFileA.empty());
    EXPECT_EQ(system->m_LoadCallback, nullptr);
    EXPECT_EQ(g_ServiceLog.listenerEffects.back(), 25u);
}

TEST_F(ActorSystemProcessTest, NewGameLoadsTwoFilesAndStarts) {
    Make("Inventory Item", global, 30);
    ASSERT_EQ(system->SaveActors(Path("Data\\Globals.qva").c_str(), 10, 3000, 0), 1);
    system->CreateActor(CLASS_OBJECT, "Wall", nullptr, scenery, 3001, 1, 0);
    system->CreateActor(CLASS_OBJECT, "Floor", nullptr, scenery, 3002, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("Data\\Level.qva").c_str(), 3000, 7000, 0), 1);
    char names[256] = {};
    std::strcpy(names, "Data\\Globals.qva");
    std::strcpy(names + 128, "Data\\Level.qva");
    system->HandleMessage(MSG_NEW_GAME, Args_Of(names));
    g_Seen.clear();
    system->Process();

    EXPECT_NE(system->GetActorById(30), nullptr);
    EXPECT_NE(system->GetActorById(3001), nullptr);
    EXPECT_TRUE(Started());
    EXPECT_EQ(CQVActorSystem::FindActorsByName("MASTERPLAYER", CLASS_PLAYER).size(), 1u);
    // Each Object was asked for its resources, and what the level asked for loaded.
    int loadRequests = 0;
    for (const SeenMessage& s : g_Seen) loadRequests += s.id == MSG_LOAD_RESOURCES;
    EXPECT_EQ(loadRequests, 2);
    EXPECT_EQ(g_ServiceLog.loaded, (std::vector<std::string>{"Texture_Wall", "Texture_Wall"}));
    // Start Game came after the resources: the player exists only now.
    EXPECT_EQ(system->m_NewGame, 0u);
}

// A quit asked for during a load ends its resource loading: what is left is
// not loaded and the load returns at once, so that the quit is served
// without waiting for every texture of the level.
TEST_F(ActorSystemProcessTest, AQuitDuringTheLoadEndsItsResourceLoading) {
    for (uint32_t i = 0; i < 4; ++i) system->CreateActor(CLASS_OBJECT, "Rock", nullptr, scenery, 3001 + i, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("level.qva").c_str(), 3000, 7000, 0), 1);
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.qva"));
    static bool quit;
    static int loads;
    quit = false;
    loads = 0;
    g_ActorSystemServices.loadItem = [](CQVLibraryItem*) {
        ++loads;
        quit = true;
        return 1;
    };
    g_ActorLoadStop = [] { return quit; };
    system->Process();
    g_ActorLoadStop = nullptr;
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(system->m_PendingLoad, 0u);
    EXPECT_NE(system->GetActorById(3004), nullptr) << "the actors were read before the quit";
}

TEST_F(ActorSystemProcessTest, TheLoadingTextGainsADotPerPhase) {
    for (uint32_t i = 0; i < 3; ++i) system->CreateActor(CLASS_OBJECT, "Rock", nullptr, scenery, 3001 + i, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("level.qva").c_str(), 3000, 7000, 0), 1);
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.qva"));
    system->Process();
    std::vector<std::string> texts;
    for (const DrawnText& t : g_ServiceLog.texts) {
        if (texts.empty() || texts.back() != t.text) texts.push_back(t.text);
    }
    // Fewer than 10 objects: every object redraws ("..."), then the
    // resource phase ("....") and the end (".....").
    EXPECT_EQ(texts, (std::vector<std::string>{"Laden...", "Laden....", "Laden....."}));
    EXPECT_EQ(g_ServiceLog.presents, static_cast<int>(g_ServiceLog.texts.size()));
    // The background and the logo are drawn with every redraw.
    EXPECT_EQ(g_ServiceLog.quads.size(), 2 * g_ServiceLog.texts.size());
    EXPECT_EQ(g_ServiceLog.texts[0].x, 200.0f);
    EXPECT_EQ(g_ServiceLog.texts[0].y, 470.0f);
}

// Once a level's resources are loaded its draws are prepared, once, before
// the last loading text: the first frames of the level build no shader.
TEST_F(ActorSystemProcessTest, TheDrawsArePreparedOnceTheResourcesAreLoaded) {
    static std::vector<std::string> s_TextsAtPrepare;
    static int s_Prepares;
    s_TextsAtPrepare.clear();
    s_Prepares = 0;
    g_ActorSystemServices.prepareDraws = [] {
        ++s_Prepares;
        for (const DrawnText& t : g_ServiceLog.texts) s_TextsAtPrepare.push_back(t.text);
    };
    system->CreateActor(CLASS_OBJECT, "Rock", nullptr, scenery, 3001, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("level.qva").c_str(), 3000, 7000, 0), 1);
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.qva"));
    system->Process();
    EXPECT_EQ(s_Prepares, 1);
    ASSERT_FALSE(s_TextsAtPrepare.empty());
    EXPECT_EQ(s_TextsAtPrepare.back(), "Laden....");
}

// The bar's fill after each redraw of a level change, from the step law:
// 45% of the bar over the level's objects (a tenth of them per redraw), 45%
// over the resources they ask for (four per redraw), and full at the end,
// whatever those phases left.
struct BarCase {
    uint32_t objects;
    std::vector<int32_t> fills;  // the fill's right edge at each redraw
};

class LoadingBar : public ActorSystemProcessTest, public testing::WithParamInterface<BarCase> {};

TEST_P(LoadingBar, FollowsItsStepLawAndEndsFull) {
    const BarCase& c = GetParam();
    for (uint32_t i = 0; i < c.objects; ++i)
        system->CreateActor(CLASS_OBJECT, "Rock", nullptr, scenery, 3001 + i, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("level.qva").c_str(), 3000, 7000, 0), 1);
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.qva"));
    system->Process();
    std::vector<int32_t> fills;
    for (size_t i = 2; i < g_ServiceLog.rects.size(); i += 3) fills.push_back(g_ServiceLog.rects[i].right);
    EXPECT_EQ(fills, c.fills);
}

std::vector<int32_t> Fills(std::initializer_list<int32_t> head, int32_t from, int32_t step, int count,
                           std::initializer_list<int32_t> tail) {
    std::vector<int32_t> fills(head);
    for (int i = 0; i < count; ++i) fills.push_back(from + step * i);
    fills.insert(fills.end(), tail);
    return fills;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LoadingBar,
    testing::Values(
        // 20 objects: 10 redraws of 18 pixels (180 = 45% of 400), one more at
        // "....", then 20 resources in 5 redraws of 36, and the end: full.
        BarCase{20, Fills({}, 220, 18, 11, {436, 472, 508, 544, 580, 598})},
        // 3 objects: a redraw each that does not move the bar, "....", no
        // redraw among 3 resources (four per redraw), and the end: full.
        BarCase{3, {202, 202, 202, 202, 598}}),
    [](const testing::TestParamInfo<BarCase>& info) { return "Objects" + std::to_string(info.param.objects); });

// An object deleted by an earlier object's resources is passed over, and
// never read: its id was taken with it.
TEST_F(ActorSystemProcessTest, AnObjectDeletedByAnEarlierOnesResourcesIsPassedOver) {
    for (uint32_t i = 0; i < 3; ++i)
        system->CreateActor(CLASS_OBJECT, "Rock", nullptr, scenery, 3001 + i, 1, 0);
    ASSERT_EQ(system->SaveActors(Path("level.qva").c_str(), 3000, 7000, 0), 1);
    g_LoadDeletes[0] = 3001;
    g_LoadDeletes[1] = 3002;
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("level.qva"));
    g_Seen.clear();
    system->Process();
    EXPECT_EQ(system->GetActorById(3002), nullptr);
    std::vector<uint32_t> loaded;
    for (const SeenMessage& s : g_Seen) {
        if (s.id == MSG_LOAD_RESOURCES) loaded.push_back(s.actorId);
    }
    EXPECT_EQ(loaded, (std::vector<uint32_t>{3001, 3003}));
}

TEST_F(ActorSystemProcessTest, TheBarStandsAtItsPlaceAndNeverOverflows) {
    system->StartLoadingScreen(1000);
    const LoadingScreenState& screen = g_LoadingScreen;
    EXPECT_EQ(screen.bar.left, 200);
    EXPECT_EQ(screen.bar.right, 600);
    EXPECT_EQ(screen.bar.top, 520);
    EXPECT_EQ(screen.bar.bottom, 528);
    EXPECT_EQ(screen.border.left, 198);
    EXPECT_EQ(screen.border.bottom, 530);
    EXPECT_EQ(screen.fill.right, 202);
    EXPECT_EQ(screen.barWidth, 400.0f);
    EXPECT_EQ(screen.step, 40.0f);  // a tenth of the bar per hundredth of the actors expected
    EXPECT_EQ(system->m_LoadingText, "Laden");

    g_LoadingScreen.interval = 0;
    g_LoadingScreen.step = 150.0f;
    for (int i = 0; i < 5; ++i) system->UpdateLoadingScreen(nullptr);
    ASSERT_EQ(g_ServiceLog.rects.size(), 15u);
    // Border and fill in the bar colour, the bar black; the fill stops 2 short of the end.
    EXPECT_EQ(g_ServiceLog.rects[0].color[0], 0.6f);
    EXPECT_EQ(g_ServiceLog.rects[1].color[1], 0.0f);
    EXPECT_EQ(g_ServiceLog.rects[2].right, 352);
    EXPECT_EQ(g_ServiceLog.rects.back().right, 598);
    EXPECT_EQ(g_ServiceLog.texts.back().text, "Laden");

    // Redraws wait for the interval.
    g_LoadingScreen.interval = 3;
    g_LoadingScreen.tick = 0;
    const int presents = g_ServiceLog.presents;
    system->UpdateLoadingScreen("x");
    system->UpdateLoadingScreen("x");
    EXPECT_EQ(g_ServiceLog.presents, presents);
    system->UpdateLoadingScreen("x");
    EXPECT_EQ(g_ServiceLog.presents, presents + 1);
    system->EndLoadingScreen();
    EXPECT_EQ(system->m_LoadCallback, nullptr);
}

// The bar's place comes from a level ("Set Load Bar Position") and its step
// from the load's record count: whatever they hold, the bar's corners stay
// whole pixels in order and the fill within the bar.
TEST_F(ActorSystemProcessTest, AHostileBarPlaceOrAnEmptyLoadKeepsTheBarInOrder) {
    const float huge = 3.0e38f;
    const struct {
        Vector3 place;
        uint32_t records;
    } cases[] = {
        {Vector3(-7.6e15f, 0.0f, 0.0f), 10},
        {Vector3(huge, huge, 0.0f), 10},
        {Vector3(-huge, -huge, 0.0f), 10},
        {Vector3(std::nanf(""), std::nanf(""), 0.0f), 10},
        {Vector3(0.0f, 0.0f, 0.0f), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.records);
        system->HandleMessage(MSG_SET_LOAD_BAR_POSITION, Args_Of(&c.place));
        system->StartLoadingScreen(c.records);
        g_LoadingScreen.interval = 0;
        for (int i = 0; i < 3; ++i) system->UpdateLoadingScreen(nullptr);
        const LoadingScreenState& screen = g_LoadingScreen;
        EXPECT_LE(screen.border.left, screen.bar.left);
        EXPECT_LT(screen.bar.left, screen.bar.right);
        EXPECT_LT(screen.bar.top, screen.bar.bottom);
        EXPECT_LE(screen.fill.right, screen.bar.right - 2);
        system->EndLoadingScreen();
    }
}

TEST_F(ActorSystemProcessTest, ALoadThatCannotReadItsFileLeavesARunningWorld) {
    Make("Lamp", scenery, 3001);
    std::FILE* damaged = std::fopen((folder / "bad.sav").c_str(), "wb");
    const uint32_t header[4] = {70, 5, 10, 100};
    std::fwrite(header, sizeof header, 1, damaged);
    std::fclose(damaged);
    for (const char* name : {"bad.sav", "missing.sav"}) {
        system->HandleMessage(MSG_LOAD_GAME, Args_Of(name));
        system->m_ErrorText[0] = 0;
        system->Process();
        EXPECT_STREQ(system->GetError(), "Error - Loading Actors") << name;
        EXPECT_EQ(system->m_PendingLoad, 0u);
        EXPECT_EQ(system->GetActorById(3001), nullptr);
        EXPECT_NE(system->GetActorById(ACTOR_ID_SCENERY), nullptr);
    }
    // The world goes on: new actors, messages and the next loads work.
    Make("After", scenery, 3005);
    SaveWorld("good.sav");
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("good.sav"));
    system->Process();
    EXPECT_EQ(system->GetActorById(3005)->m_Name, "After");
}

TEST_F(ActorSystemProcessTest, SaveGameIntoAFolderThatCannotBeWrittenFails) {
    Make("Lamp", scenery, 3001);
    SaveWorld("keep.sav");
    const std::string before = [&] {
        std::FILE* f = std::fopen((folder / "keep.sav").c_str(), "rb");
        std::string bytes(4096, 0);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
        return bytes;
    }();
    Make("More", scenery, 3002);
    // No room for a file bigger than the old one, as on a full disk.
    const int saved =
        FileSizeLimit_Run(before.size(), [&] { return system->HandleMessage(MSG_SAVE_GAME, Args_Of("keep.sav")); });
    EXPECT_EQ(saved, 0);
    EXPECT_STREQ(system->GetError(), "Error - Saving Actors");
    std::FILE* f = std::fopen((folder / "keep.sav").c_str(), "rb");
    std::string after(4096, 0);
    after.resize(std::fread(after.data(), 1, after.size(), f));
    std::fclose(f);
    EXPECT_EQ(after, before);

    system->m_BaseDirectory = (folder / "no such folder").string();
    EXPECT_EQ(system->HandleMessage(MSG_SAVE_GAME, Args_Of("x.sav")), 0);
}

TEST_F(ActorSystemProcessTest, DeferredDeletesRunFirst) {
    CQVActor* doomed = Make("Doomed", scenery);
    const uint32_t id = doomed->m_Id;
    system->QueueDelete(doomed);
    system->Process();
    EXPECT_EQ(system->GetActorById(id), nullptr);
    EXPECT_TRUE(g_PendingDeletes.empty());
}

}  // namespace
