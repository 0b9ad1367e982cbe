// The game started headless on a level made here: a cell holding a waving
// flag (a vertex-animated mesh object) in front of the engine camera. The
// flag's own "On Mesh Animation Loop" script captures the screen, saves it
// and ends the game; the picture shows the flag in its material's colour.

#include "actors/scene/Object.h"
#include "kernel/actors/ActorScript.h"
#include "tests/actors/scene/ObjectTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kFlagMesh = 10;
constexpr uint32_t kOrange = 20;

class ObjectGame : public ObjectSceneFixture {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qv_object_game_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        std::ofstream(dir / "init.txt") << ".\nStart.qva\n\nObject\n";
        ObjectSceneFixture::SetUp();
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            WaitChildExit(pid, 10000);
        }
        ObjectSceneFixture::TearDown();
        fs::remove_all(dir);
    }

    // The library file: the flag (120 x 70, facing -z, twelve frames) and
    // a material that glows orange, so no light is needed to see it.
    void WriteLibrary() {
        ASSERT_TRUE(Anb_WriteFile((dir / "Data" / "flag.anb").string(), MeshBuild_WavingFlag(120, 70, 4, 12)));
        LibraryFile library;
        CQVMaterialItem* orange = library.AddMaterial(kOrange, "Orange", {});
        orange->material.Emissive = {1.0f, 0.5f, 0.0f, 1.0f};
        CQVMeshItem* flag = library.AddMesh(kFlagMesh, "Flag", "flag.anb");
        // The game reads the library without loading its items: the frame
        // count the object's length comes from is the item's stored one.
        flag->frameWord = 12;
        flag->subsetInfos.resize(1);
        flag->subsetInfos[0].shapeParam = kOrange;
        ASSERT_TRUE(library.Write((dir / LIBRARY_FILE_NAME).string()));
    }

    // The level: a cell round the camera with the flag 150 ahead, playing
    // its animation in a loop; the first loop takes the picture.
    void WriteLevel() {
        AddMaterial(kOrange, "Orange");
        CQVMeshItem* shapes = AddMesh(kFlagMesh, "Flag", {TestShape{0, kOrange}}, 12);
        CQVActor* cell = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr, scenery, 3000, 1, 0);
        ASSERT_NE(cell, nullptr);
        Send(cell, MSG_SET_BOX_MIN, Vector3(-500.0f, -500.0f, -500.0f));
        Send(cell, MSG_SET_BOX_MAX, Vector3(500.0f, 500.0f, 500.0f));
        auto* flag = static_cast<CQVObject*>(
            g_ActorSystem->CreateActor(CLASS_OBJECT, "Flag", nullptr, cell, 3001, 1, 0));
        ASSERT_NE(flag, nullptr);
        ASSERT_EQ(Send(flag, MSG_SET_MESH, shapes), 1);
        Send(flag, MSG_SET_POSITION, Vector3(-60.0f, -35.0f, 150.0f));
        Send<uint32_t>(flag, MSG_SET_MESH_ANIMATION_STYLE_1C4, OBJECT_STYLE_FORWARD_LOOP);
        flag->HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        CQVScript script;
        script.name = "Picture";
        script.boundMessage = MSG_ON_MESH_ANIMATION_LOOP;
        script.source =
            "sys.capture_backbuffer((320.0, 240.0));\nsys.capture_save(\"shot.tga\");\nsys.exit_engine();";
        const char* error = nullptr;
        uint32_t at = 0;
        ASSERT_EQ(script.Compile(flag, &error, &at), 1) << (error ? error : "") << " at " << at;
        flag->m_Scripts.push_back(script);
        const std::string file = (dir / "Data" / "Start.qva").string();
        ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 3000, 7000, 0), 1) << g_ActorSystem->GetError();
    }

    void Start() {
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir);
        ASSERT_GT(pid, 0);
    }

    // The pixel (x, y) from the top left of a 32-bit TGA written bottom row first, as 0xRRGGBB.
    static uint32_t TgaPixel(const std::vector<uint8_t>& tga, int x, int y) {
        if (tga.size() < 18) return 0xFFFFFFFF;
        const int width = tga[12] | tga[13] << 8, height = tga[14] | tga[15] << 8;
        const size_t at = 18 + (static_cast<size_t>(height - 1 - y) * width + x) * 4;
        if (tga[16] != 32 || at + 4 > tga.size()) return 0xFFFFFFFF;
        return static_cast<uint32_t>(tga[at + 2]) << 16 | static_cast<uint32_t>(tga[at + 1]) << 8 | tga[at];
    }

    fs::path dir;
    pid_t pid = -1;
};

TEST_F(ObjectGame, AFlagInFrontOfTheCameraIsCapturedInItsMaterialColour) {
    WriteLibrary();
    WriteLevel();
    Start();
    ASSERT_EQ(WaitChildExit(pid, 60000), 0);
    std::ifstream in(dir / "shot.tga", std::ios::binary);
    const std::vector<uint8_t> tga((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(tga.size(), 18u);
    const uint32_t centre = TgaPixel(tga, 160, 120);
    EXPECT_NEAR(static_cast<int>(centre >> 16), 0xFF, 3) << std::hex << centre;
    EXPECT_NEAR(static_cast<int>(centre >> 8 & 0xFF), 0x80, 3) << std::hex << centre;
    EXPECT_NEAR(static_cast<int>(centre & 0xFF), 0x00, 3) << std::hex << centre;
    // Beside the flag only the cleared screen shows.
    EXPECT_NE(TgaPixel(tga, 10, 10), centre);
}

}  // namespace
