// Level of detail: the level chosen by the camera's distance, at most once a
// second; the level children made, bound and held through links; the
// property rows; and its record in actor files.

#include "actors/scene/Lod.h"
#include "actors/scene/Object.h"
#include "kernel/base/Archive.h"
#include "tests/actors/scene/ObjectTestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include "services/render/Render.h"

namespace {

namespace fs = std::filesystem;

class LodTest : public ObjectSceneFixture {
protected:
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        lod = static_cast<CQVLod*>(Make(CLASS_LOD, "Far Tower"));
        ASSERT_NE(lod, nullptr);
        // Four levels at 0, 1000, 2000 and 3000, each child holding a mesh
        // object that shows whether its level runs.
        ASSERT_EQ(Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 4), 1);
        for (uint32_t i = 0; i < 4; ++i) {
            CQVActor* child = lod->m_Levels[i].child.target;
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(child->m_Name, "Lev_" + std::to_string(i + 1));
            EXPECT_EQ(child->m_Parent, lod);
            EXPECT_EQ(lod->m_Levels[i].distance, 1000.0f * static_cast<float>(i));
            EXPECT_EQ(lod->m_Levels[i].fade, 1.0f);
            models[i] = static_cast<CQVObject*>(Make(CLASS_OBJECT, "Model", child));
            ASSERT_NE(models[i], nullptr);
            Send<uint32_t>(models[i], MSG_SET_VISIBLE, 0);
        }
    }
    void CameraAt(float z) { CQVRender::Get().View().cameraPosition = Vector3(0.0f, 0.0f, z); }
    // The level whose model shows, -1 for none; more than one shown is an error.
    int Shown() const {
        int shown = -1;
        for (int i = 0; i < 4; ++i) {
            if (models[i] == nullptr || !models[i]->IsVisible()) continue;
            EXPECT_EQ(shown, -1) << "two levels shown";
            shown = i;
        }
        return shown;
    }

    CQVLod* lod = nullptr;
    CQVObject* models[4] = {};
};

TEST_F(LodTest, TheLevelFollowsTheCameraDistanceAtMostOnceASecond) {
    const struct {
        float camera;
        float dt;
        bool drawStart;  // "On Draw Start" before the step
        int current;
        int shown;
    } steps[] = {
        {1500.0f, 0.01f, false, 2, 2},  // the first step chooses at once
        {500.0f, 0.5f, false, 2, 2},    // half a second: not yet
        {500.0f, 0.5f, false, 2, 2},    // exactly a second: still not
        {500.0f, 0.01f, false, 1, 1},   // past a second: switched, the old level stopped
        {3500.0f, 1.5f, false, -1, -1}, // beyond every level: none runs
        {0.0f, 0.01f, true, 1, 1},      // a new draw chooses at once; distance 0 is never chosen
        {2999.0f, 0.3f, false, 1, 1},
        {2999.0f, 0.3f, false, 1, 1},
        {2999.0f, 0.5f, false, 3, 3},
        {1500.0f, 0.01f, true, 2, 2},   // a new draw switches at once and stops the level left
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        CameraAt(steps[i].camera);
        if (steps[i].drawStart) lod->HandleMessage(MSG_ON_DRAW_START, nullptr);
        Step(lod, steps[i].dt);
        EXPECT_EQ(lod->m_Current, steps[i].current);
        EXPECT_EQ(Shown(), steps[i].shown);
    }
}

TEST_F(LodTest, ShrinkingKeepsTheFirstLevelsAndForgetsIndicesPastTheEnd) {
    lod->m_Levels[1].distance = 1500.0f;
    CameraAt(2500.0f);
    Step(lod, 0.01f);
    ASSERT_EQ(lod->m_Current, 3);
    lod->m_Selected = 3;
    CQVActor* third = lod->m_Levels[2].child.target;

    ASSERT_EQ(Shown(), 3);
    ASSERT_EQ(Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 2), 1);
    ASSERT_EQ(lod->m_Levels.size(), 2u);
    // The level in use was dropped: its child is stopped, not left shown.
    EXPECT_EQ(Shown(), -1);
    EXPECT_EQ(lod->m_Levels[1].distance, 1500.0f);
    EXPECT_EQ(lod->m_Levels[1].child.target->m_Name, "Lev_2");
    EXPECT_EQ(lod->m_Current, -1);
    EXPECT_EQ(lod->m_Selected, 0);
    // The children of the dropped levels stay in the tree.
    EXPECT_EQ(third->m_Parent, lod);
    EXPECT_EQ(lod->m_Children.size(), 4u);
    EXPECT_EQ(Ask<uint32_t>(lod, MSG_GET_LOD_LEVEL_COUNT), 2u);

    // Growing again binds the children still there, with their distances kept.
    lod->m_Levels[0].distance = 10.0f;
    ASSERT_EQ(Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 3), 1);
    EXPECT_EQ(lod->m_Levels[2].child.target, third);
    EXPECT_EQ(lod->m_Levels[0].distance, 10.0f);
    EXPECT_EQ(lod->m_Children.size(), 4u);

    // More levels than the list offers are refused; none clears the choices.
    EXPECT_EQ(Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 5), 0);
    EXPECT_EQ(lod->m_Levels.size(), 3u);
    ASSERT_EQ(Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 0), 1);
    EXPECT_EQ(lod->m_Selected, -1);
    EXPECT_EQ(lod->m_Current, -1);
}

TEST_F(LodTest, ALevelWhoseChildIsDeletedIsPassedOver) {
    CameraAt(1500.0f);
    g_ActorSystem->DeleteActor(lod->m_Levels[2].child.target);
    models[2] = nullptr;  // went with its level child
    EXPECT_EQ(lod->m_Levels[2].child.target, nullptr);
    Step(lod, 0.01f);
    EXPECT_EQ(lod->m_Current, 2);
    EXPECT_EQ(Shown(), -1);
    // "Precalculate" finds the children again by name.
    CQVActor* again = Make(CLASS_BASE, "Lev_3", lod);
    lod->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(lod->m_Levels[2].child.target, again);
}

TEST_F(LodTest, TheRowsEditTheLevelPickedByItsName) {
    // The picker picks by "Level n" and answers 4; its list holds the names.
    EXPECT_EQ(lod->HandleMessage(MSG_LOD_SELECT_LEVEL, Args_Of("Level 2")), 4);
    EXPECT_EQ(lod->m_Selected, 1);
    EXPECT_EQ(Send(lod, MSG_SET_LOD_LEVEL_DISTANCE, 750.0f), 1);
    EXPECT_EQ(Send(lod, MSG_SET_LOD_LEVEL_FADE, 0.5f), 1);
    EXPECT_EQ(lod->m_Levels[1].distance, 750.0f);
    EXPECT_EQ(Ask<float>(lod, MSG_GET_LOD_LEVEL_FADE), 0.5f);
    std::vector<std::string> names;
    std::vector<std::string>* out = &names;
    lod->HandleMessage(MSG_LOD_LEVEL_NAMES, Args_Of(&out));
    EXPECT_EQ(names, (std::vector<std::string>{"Level 1", "Level 2", "Level 3", "Level 4"}));

    // A name of no level leaves none picked: the rows then do nothing.
    lod->HandleMessage(MSG_LOD_SELECT_LEVEL, Args_Of("Level 7"));
    EXPECT_EQ(lod->m_Selected, -1);
    Send(lod, MSG_SET_LOD_LEVEL_DISTANCE, 5.0f);
    EXPECT_EQ(Ask<float>(lod, MSG_GET_LOD_LEVEL_DISTANCE, -1.0f), -1.0f);
    EXPECT_EQ(lod->m_Levels[1].distance, 750.0f);
}

TEST_F(LodTest, ARecordLoadsBackAndItsLevelCountIsBounded) {
    const fs::path path = fs::temp_directory_path() / ("qv_lod_" + std::to_string(::getpid()) + ".qva");
    lod->m_Levels[3].distance = 4321.0f;
    lod->m_Levels[3].fade = 0.25f;
    ASSERT_EQ(g_ActorSystem->SaveActors(path.c_str(), lod->m_Id, lod->m_Id + 1, 0), 1);
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> whole((std::istreambuf_iterator<char>(in)), {});
    in.close();
    const uint32_t id = lod->m_Id;
    g_ActorSystem->DeleteActor(lod);

    const auto load = [&](const std::vector<char>& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return g_ActorSystem->LoadActors(path.c_str(), 0);
    };
    // The count stands before the four levels of four words each.
    const size_t countAt = whole.size() - 4 * 16 - 4;
    for (uint32_t lie : {5u, 1000000u}) {
        std::vector<char> bytes = whole;
        std::memcpy(bytes.data() + countAt, &lie, 4);
        EXPECT_EQ(load(bytes), 0) << lie;
    }
    EXPECT_EQ(load(std::vector<char>(whole.begin(), whole.end() - 3)), 0);

    ASSERT_EQ(load(whole), 1);
    auto* loaded = dynamic_cast<CQVLod*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Levels.size(), 4u);
    EXPECT_EQ(loaded->m_Levels[3].distance, 4321.0f);
    EXPECT_EQ(loaded->m_Levels[3].fade, 0.25f);
    EXPECT_EQ(loaded->m_Levels[3].child.target, nullptr);
    fs::remove(path);
}

}  // namespace
