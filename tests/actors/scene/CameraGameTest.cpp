// The game started headless on a level file made here: a Free camera saved
// active and an Environment preset that copies its fog into the system
// Environment when the game starts. A script captures the screen half a
// second in and ends the game; the empty screen shows the fog's colour.

#include "tests/actors/scene/CameraTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

class CameraGame : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qv_camera_game_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        std::ofstream(dir / "init.txt") << ".\nStart.qva\nGlobals.qva\nCamera Fog\n";
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            WaitChildExit(pid, 10000);
        }
        fs::remove_all(dir);
        ResetGlobals();
    }

    static void AddScript(CQVActor* actor, uint32_t message, const char* source) {
        CQVScript script;
        script.name = "Scenario";
        script.boundMessage = message;
        script.source = source;
        actor->m_Scripts.push_back(script);
    }

    void WriteLevel() {
        ResetGlobals();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        // The globals hold the system Environment the preset copies itself into.
        g_ActorSystem->m_BaseDirectory = dir.string();
        ASSERT_EQ(CQVActorSystem::SendMessage(ACTOR_ID_GLOBAL, MSG_SAVE_FILE, Args_Of("Globals.qva")), 1);
        CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        CQVActor* camera = g_ActorSystem->CreateActor(CLASS_CAMERA, "Eye", nullptr, scenery, 3000, 1, 0);
        uint32_t on = 1;
        camera->HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&on));
        CQVActor* preset = g_ActorSystem->CreateActor(CLASS_ENVIRONMENT, "Haze", nullptr, scenery, 3001, 1, 0);
        float color[4] = {0.2f, 0.4f, 0.6f, 1.0f};
        preset->HandleMessage(MSG_SET_FOG_COLOR, Args_Of(color));
        preset->HandleMessage(MSG_SET_FOG_ENABLE, Args_Of(&on));
        AddScript(preset, MSG_START_GAME, "this.activate_environment_params();");
        CQVActor* shot = g_ActorSystem->CreateActor(CLASS_BASE, "Shot", nullptr, scenery, 3002, 1, 0);
        AddScript(shot, MSG_START_GAME, "this.timercommand(0.5, action_start());");
        AddScript(shot, MSG_ACTION_START,
                  "sys.capture_backbuffer((64, 48));\nsys.capture_save(\"shot.tga\");\nsys.exit_engine();");
        ASSERT_EQ(g_ActorSystem->SaveActors((dir / "Data" / "Start.qva").c_str(), 3000, 7000, 0), 1);
        ResetGlobals();
    }

    void Start() {
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir);
        ASSERT_GT(pid, 0);
    }

    fs::path dir;
    pid_t pid = -1;
};

TEST_F(CameraGame, TheLevelsFogColourFillsTheEmptyScreen) {
    WriteLevel();
    Start();
    ASSERT_EQ(WaitChildExit(pid, 60000), 0);
    pid = -1;
    // The capture is named below the base folder.
    fs::path shot;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.path().filename().string().find("shot.tga") != std::string::npos) shot = entry.path();
    }
    ASSERT_FALSE(shot.empty());
    std::ifstream file(shot, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // An 18-byte header, then 64 x 48 pixels of four bytes, blue first.
    ASSERT_EQ(bytes.size(), 18u + 64u * 48u * 4u);
    for (size_t pixel : {0u, 64u * 24u + 32u, 64u * 48u - 1u}) {
        const uint8_t* p = bytes.data() + 18 + pixel * 4;
        EXPECT_NEAR(p[0], 0x99, 1) << pixel;
        EXPECT_NEAR(p[1], 0x66, 1) << pixel;
        EXPECT_NEAR(p[2], 0x33, 1) << pixel;
    }
}

}  // namespace
