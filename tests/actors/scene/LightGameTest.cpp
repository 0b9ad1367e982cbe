// A lit room as the player sees it: the game started headless on a level
// file and a library made here, a white wall in a room with a lamp in front
// of it; a script captures the screen a second in (the lamp has faded in
// with its room by then) and ends the game. The same level with the lamp
// switched off gives the unlit wall; the difference is the lamp's light.

#include "actors/scene/Light.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWallMaterial = 100;
constexpr uint32_t kWallMesh = 200;

struct Rgb {
    int r, g, b;
};

class LightGame : public testing::Test {
protected:
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            WaitChildExit(pid, 10000);
        }
        if (!dir.empty()) fs::remove_all(dir);
        ResetGlobals();
    }

    static void AddScript(CQVActor* actor, uint32_t message, const char* source) {
        CQVScript script;
        script.name = "Shot";
        script.boundMessage = message;
        script.source = source;
        actor->m_Scripts.push_back(script);
    }

    template <typename T>
    static void Send(CQVActor* actor, uint32_t id, T value) {
        actor->HandleMessage(id, Args_Of(&value));
    }

    // The game folder: the library with the wall's material and mesh, and
    // the start scene of one room holding the wall 200 ahead of the camera
    // (which starts at the origin looking along +z) and a lamp 50 in front
    // of the wall.
    void WriteLevel(const char* name, bool lampOn) {
        dir = fs::temp_directory_path() / ("qv_light_game_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir);
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        std::ofstream(dir / "init.txt") << ".\nStart.qva\n\nLit Room\n";

        LibraryFile library;
        CQVMaterialItem* material = library.AddMaterial(kWallMaterial, "Wall", {});
        material->material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        material->material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        MeshGeometry wall;
        const Vector3 corners[4] = {{-80, -80, 0}, {-80, 80, 0}, {80, 80, 0}, {80, -80, 0}};
        const Vector2 uv[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        wall.AddQuad(corners, Vector3(0, 0, -1), uv);
        ASSERT_TRUE(Qvm_WriteFile((dir / "Data" / "wall.qvm").string(),
                                  MeshBuild_RigidFile({MeshBuild_ToSubset(wall, false)})));
        CQVMeshItem* file = library.AddMesh(kWallMesh, "Wall", "wall.qvm");
        file->subsetInfos.resize(1);
        file->subsetInfos[0].shapeParam = kWallMaterial;
        ASSERT_TRUE(library.Write((dir / LIBRARY_FILE_NAME).string()));

        // The scene is made without a device: the mesh actor keeps the ids
        // of in-memory stand-ins for the items.
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        auto* mesh = new CQVMeshItem;
        mesh->name = "Wall";
        mesh->loaded = 1;
        mesh->subsetInfos.resize(1);
        mesh->subsetInfos[0].shapeParam = kWallMaterial;
        auto* standIn = new CQVMaterialItem;
        standIn->name = "Wall";
        standIn->loaded = 1;
        // The items every mesh actor falls back to.
        auto* fallbackMesh = new CQVMeshItem;
        fallbackMesh->loaded = 1;
        fallbackMesh->subsetInfos.resize(1);
        auto* fallbackMaterial = new CQVMaterialItem;
        fallbackMaterial->loaded = 1;
        ASSERT_TRUE(g_Library.SetItem(3, fallbackMesh));
        ASSERT_TRUE(g_Library.SetItem(4, fallbackMaterial));
        ASSERT_TRUE(g_Library.SetItem(kWallMesh, mesh));
        ASSERT_TRUE(g_Library.SetItem(kWallMaterial, standIn));
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        CQVActor* room = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr, scenery, 3000, 1, 0);
        ASSERT_NE(room, nullptr);
        Send(room, MSG_SET_BOX_MIN, Vector3(-300, -300, -300));
        Send(room, MSG_SET_BOX_MAX, Vector3(300, 300, 300));
        CQVActor* object = g_ActorSystem->CreateActor(CLASS_OBJECT, "Wall", nullptr, room, 3001, 1, 0);
        ASSERT_NE(object, nullptr);
        ASSERT_EQ(object->HandleMessage(MSG_SET_MESH, Args_Of(&mesh)), 1);
        Send(object, MSG_SET_POSITION, Vector3(0, 0, 200));
        CQVActor* lamp = g_ActorSystem->CreateActor(CLASS_LIGHT, "Lamp", nullptr, room, 3002, 1, 0);
        ASSERT_NE(lamp, nullptr);
        Send(lamp, MSG_SET_POSITION, Vector3(0, 0, 150));
        Send(lamp, MSG_SET_RADIUS, 400.0f);
        Send(lamp, MSG_SET_ATTENUATION_STRENGTH, 0.0f);
        Send(lamp, MSG_SET_DIFFUSE_COLOR, D3DCOLORVALUE{1.0f, 0.5f, 0.25f, 1.0f});
        Send(lamp, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.0f});
        Send<uint32_t>(lamp, MSG_SET_LIGHT_ACTIVE, lampOn ? 1 : 0);
        CQVActor* shot = g_ActorSystem->CreateActor(CLASS_BASE, "Shot", nullptr, scenery, 3003, 1, 0);
        AddScript(shot, MSG_START_GAME, "this.timercommand(1.0, action_start());");
        AddScript(shot, MSG_ACTION_START,
                  "sys.capture_backbuffer((64, 48));\nsys.capture_save(\"shot.tga\");\nsys.exit_engine();");
        ASSERT_EQ(g_ActorSystem->SaveActors((dir / "Data" / "Start.qva").c_str(), 3000, 7000, 0), 1)
            << g_ActorSystem->GetError();
        ResetGlobals();
    }

    // Runs the game on the folder and reads the centre of its capture.
    void RunAndCapture(Rgb* centre) {
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir);
        ASSERT_GT(pid, 0);
        ASSERT_EQ(WaitChildExit(pid, 60000), 0);
        fs::path capture;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
            if (entry.path().filename() == "shot.tga") capture = entry.path();
        }
        ASSERT_FALSE(capture.empty());
        std::ifstream file(capture, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // An 18-byte header, then 64 x 48 pixels of four bytes, blue first.
        ASSERT_EQ(bytes.size(), 18u + 64u * 48u * 4u);
        const uint8_t* p = bytes.data() + 18 + (24u * 64u + 32u) * 4u;
        *centre = Rgb{p[2], p[1], p[0]};
    }

    fs::path dir;
    pid_t pid = -1;
};

// The wall's corners see the lamp at 50 / |(80, 80, 50)| = 0.404 of its
// colour, and the wall is shaded between them: the lamp adds (103, 52, 26)
// to whatever the room's ambient light gives the wall.
TEST_F(LightGame, TheLampLightsTheWallOfItsRoom) {
    Rgb dark{}, lit{};
    WriteLevel("off", false);
    if (HasFatalFailure()) return;
    RunAndCapture(&dark);
    if (HasFatalFailure()) return;
    fs::remove_all(dir);
    WriteLevel("on", true);
    if (HasFatalFailure()) return;
    RunAndCapture(&lit);
    if (HasFatalFailure()) return;
    EXPECT_NEAR(lit.r - dark.r, 103, 8);
    EXPECT_NEAR(lit.g - dark.g, 52, 8);
    EXPECT_NEAR(lit.b - dark.b, 26, 8);
}

}  // namespace
