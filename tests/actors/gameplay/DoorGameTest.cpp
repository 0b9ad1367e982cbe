// The Door as a player sees it: the game started headless on a level made
// here, a door in front of the engine's camera whose one leaf glows orange;
// its "Start Game" script opens it, and a second later the leaf stands
// edge-on. Without the script it stays shut.

#include "actors/gameplay/Door.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "tests/support/Scenario.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/QvmWriter.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kLeafMesh = 10;
constexpr uint32_t kOrange = 20;

// The leaf: 60 wide, 100 high and 4 deep, hinged on its left edge.
bool WriteLibrary(const Scenario& scenario) {
    const QvmFile leaf = MeshBuild_RigidFile(
        {MeshBuild_ToSubset(MeshBuild_Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(60.0f, 100.0f, 4.0f)), false)});
    if (!Qvm_WriteFile((scenario.DataFolder() / "leaf.qvm").string(), leaf)) return false;
    LibraryFile library;
    // The fallbacks every new mesh actor starts on.
    library.AddMesh(3, "Fallback Mesh", "leaf.qvm")->subsetInfos.resize(1);
    library.AddMaterial(4, "Fallback Material", {});
    CQVMaterialItem* orange = library.AddMaterial(kOrange, "Orange", {});
    orange->material.Emissive = {1.0f, 0.5f, 0.0f, 1.0f};
    CQVMeshItem* mesh = library.AddMesh(kLeafMesh, "Leaf", "leaf.qvm");
    mesh->subsetInfos.resize(1);
    mesh->subsetInfos[0].shapeParam = kOrange;
    return library.Write(scenario.LibraryPath().string());
}

class DoorGame : public testing::TestWithParam<bool> {};

TEST_P(DoorGame, TheLeafTurnsEdgeOnWhenTheDoorOpens) {
    const bool opens = GetParam();
    Scenario scenario(opens ? "DoorOpens" : "DoorStaysShut");
    ASSERT_TRUE(WriteLibrary(scenario));
    CQVActor* scenery = scenario.OpenScene();
    ASSERT_NE(scenery, nullptr);
    CQVActor* room = g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr, scenery, scenario.NextId(), 1, 0);
    ASSERT_NE(room, nullptr);
    Vector3 corner(-500.0f, -500.0f, -500.0f);
    room->HandleMessage(MSG_SET_BOX_MIN, Args_Of(&corner));
    corner = Vector3(500.0f, 500.0f, 500.0f);
    room->HandleMessage(MSG_SET_BOX_MAX, Args_Of(&corner));
    CQVActor* door = g_ActorSystem->CreateActor(CLASS_DOOR, "Door", nullptr, room, scenario.NextId(), 1, 0);
    ASSERT_NE(door, nullptr);
    Vector3 at(-30.0f, -50.0f, 150.0f);
    door->HandleMessage(MSG_SET_POSITION, Args_Of(&at));
    float openTime = 0.5f;
    door->HandleMessage(MSG_SET_DOOR_OPEN_TIME, Args_Of(&openTime));
    uint32_t off = 0;
    door->HandleMessage(MSG_SET_DOOR_AUTOCLOSE, Args_Of(&off));
    CQVActor* leaf = g_ActorSystem->CreateActor(CLASS_OBJECT, "Door_1", nullptr, door, scenario.NextId(), 1, 0);
    ASSERT_NE(leaf, nullptr);
    CQVLibraryItem* mesh = CQVEngine::GetInstance()->UseItem(kLeafMesh);
    ASSERT_EQ(leaf->HandleMessage(MSG_SET_MESH, Args_Of(&mesh)), 1);
    if (opens) {
        CQVScript script;
        script.name = "Open";
        script.boundMessage = MSG_START_GAME;
        script.source = "this.open_door();";
        const char* error = nullptr;
        uint32_t position = 0;
        ASSERT_EQ(script.Compile(door, &error, &position), 1) << (error ? error : "") << " at " << position;
        door->m_Scripts.push_back(script);
    }
    scenario.CaptureAt(1.0f);
    ASSERT_TRUE(scenario.SaveScene());
    ASSERT_EQ(scenario.Run(), 0) << scenario.ErrorOutput();

    CapturedImage image;
    std::string error;
    ASSERT_TRUE(scenario.LoadCapture(&image, &error)) << error;
    // The middle of the doorway: the leaf's colour while shut, the cleared
    // screen once it has swung open.
    const double red = image.ChannelMean(16, 150, 110, 170, 130);
    const double blue = image.ChannelMean(0, 150, 110, 170, 130);
    if (opens) {
        EXPECT_LT(red, 20.0);
    } else {
        EXPECT_GT(red, 200.0);
        EXPECT_LT(blue, 20.0);
    }
    EXPECT_TRUE(scenario.MatchesReference(
        opens ? "tests/actors/gameplay/reference/door-open.png" : "tests/actors/gameplay/reference/door-shut.png", 8,
        0.002));
}

INSTANTIATE_TEST_SUITE_P(Script, DoorGame, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Opens" : "StaysShut"; });

}  // namespace
