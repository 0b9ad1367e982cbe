// The game started headless on scenes made here, whose actors send the actor
// system its game-level commands when the game starts.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResetGlobals.h"
#include "tests/support/TestFolder.h"
#include "tools/fixtures/EmptyActorFile.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

class GameScenario : public testing::Test {
protected:
    void SetUp() override {
        dir = TestFolder_Path("qv_scenario_");
        fs::remove_all(dir);
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        std::FILE* f = std::fopen((dir / "init.txt").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(".\nStart.qva\n\nScenario\n", f);
        std::fclose(f);
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir);
    }

    // The start scene: one actor under "Scenery" whose script runs when the game starts.
    void WriteStartScene(const char* script) {
        ResetGlobals();
        ASSERT_EQ(KernelActorClasses_Start(), 1);
        CQVActor* scenery = g_ActorSystem->GetActorById(ACTOR_ID_SCENERY);
        CQVActor* actor = g_ActorSystem->CreateActor(CLASS_BASE, "Starter", nullptr, scenery, 3000, 1, 0);
        ASSERT_NE(actor, nullptr);
        CQVScript record;
        record.name = "OnStart";
        record.boundMessage = MSG_START_GAME;
        record.source = script;
        actor->m_Scripts.push_back(record);
        const std::string file = (dir / "Data" / "Start.qva").string();
        ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1);
        ResetGlobals();
    }

    void Start() {
        pid = StartProgram("game", {"-win=1", "-w=640", "-h=480"}, dir);
        ASSERT_GT(pid, 0);
    }

    int WaitExit(int timeoutMs) { return WaitChildExit(pid, timeoutMs); }

    fs::path dir;
    pid_t pid = -1;
};

TEST_F(GameScenario, ASceneThatSendsExitEngineEndsTheGameWithZero) {
    // The save shows that the game got as far as starting the scene: a
    // start-up that fails also ends with 0.
    WriteStartScene("sys.save_game(\"proof.sav\");\nsys.exit_engine();");
    Start();
    EXPECT_EQ(WaitExit(60000), 0);
    EXPECT_TRUE(fs::exists(dir / "proof.sav"));
}

// A level change to files that are missing leaves an empty world that runs
// on, frame after frame, until the player quits.
class BrokenLevelChange : public GameScenario, public testing::WithParamInterface<const char*> {};

TEST_P(BrokenLevelChange, LeavesARunningGame) {
    WriteStartScene(GetParam());
    Start();
    EXPECT_EQ(WaitExit(3000), -1);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitExit(60000), 0);
}

INSTANTIATE_TEST_SUITE_P(Scripts, BrokenLevelChange,
                         testing::Values("sys.load_game(\"missing.sav\");",
                                         "sys.new_game(\"none.qva\", \"gone.qva\");"));

}  // namespace
