// The game started headless on a level of two rooms made here: an actor in
// the second room ends the game from its "On Draw Start" script, which runs
// only when the draw pass reaches that room through the portal.

#include "tests/actors/scene/DrawGroupTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <csignal>
#include <cstdlib>
#include <spawn.h>

extern char** environ;

namespace {

using namespace drawgroup_test;

class DrawGroupGame : public DrawGroupScene, public testing::WithParamInterface<bool> {
protected:
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            WaitChildExit(pid, 10000);
        }
        DrawGroupScene::TearDown();
    }

    // The engine's camera starts at the origin, in the first room.
    void WriteLevel(bool portalOpen) {
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        std::FILE* f = std::fopen((dir / "init.txt").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(".\nStart.qva\n\nRooms\n", f);
        std::fclose(f);

        CQVActor* level = g_ActorSystem->CreateActor(CLASS_BASE, "Level", nullptr, Scenery(), nextId++, 1, 0);
        Cell(Vector3(-200, -200, -200), Vector3(200, 200, 200), level);
        CQVDrawGroup* far = Cell(Vector3(200, -200, -200), Vector3(600, 200, 200), level);
        CQVDrawGroupConnector* portal = Portal(Vector3(200, 0, 0), 25.0f, level);
        if (portalOpen) portal->HandleMessage(MSG_OPEN_CONNACTOR, nullptr);
        CQVActor* proof = g_ActorSystem->CreateActor(CLASS_BASE, "Proof", nullptr, far, nextId++, 1, 0);
        CQVScript script;
        script.name = "Seen";
        script.boundMessage = MSG_ON_DRAW_START;
        script.source = "sys.save_game(\"proof.sav\");\nsys.exit_engine();";
        proof->m_Scripts.push_back(script);
        const std::string file = (dir / "Data" / "Start.qva").string();
        ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1) << g_ActorSystem->GetError();
        ResetGlobals();
    }

    void Start() {
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir);
        ASSERT_GT(pid, 0);
    }

    pid_t pid = -1;
};

TEST_P(DrawGroupGame, TheFarRoomIsDrawnOnlyThroughAnOpenPortal) {
    const bool open = GetParam();
    WriteLevel(open);
    Start();
    if (open) {
        EXPECT_EQ(WaitChildExit(pid, 60000), 0);
        EXPECT_TRUE(std::filesystem::exists(dir / "proof.sav"));
        return;
    }
    // Closed, the game runs on without ever drawing the far room.
    EXPECT_EQ(WaitChildExit(pid, 3000), -1);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitChildExit(pid, 60000), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "proof.sav"));
}

INSTANTIATE_TEST_SUITE_P(Portal, DrawGroupGame, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Open" : "Closed"; });

}  // namespace
