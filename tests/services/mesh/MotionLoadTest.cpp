#include "kernel/base/NameTable.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/mesh/Motion.h"
#include "tests/kernel/base/TempFolder.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/MotWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Motion items in the game's library whose ".mot" files lie in a fresh folder.
class MotionLoad : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_EQ(CQVEngine::Create(), 1);
        ResetGlobals();
        CQVEngine::GetInstance()->baseFolder = root.string();
        std::filesystem::create_directories(root / "Data");
        CQVEngine::SetError("%s", "");
    }
    void TearDown() override {
        Library_Reset();
        TempFolderTest::TearDown();
    }
    static std::string Error() { return CQVEngine::GetInstance()->GetErrorText(); }

    // A motion of one bone moving from `from` by (4, 0, 0) over `length`.
    static MotFile Step(const char* bone, Vector3 from, float length, Vector3 root = {0, 0, 0}) {
        MotFile file;
        file.rootDisplacement = root;
        KeyTrack* track = MotWriter_AddTrack(&file, bone, length);
        track->positionKeys = {{from, 0.0f, 0}, {Vector3(from.x + 4, from.y, from.z), length, 0}};
        track->rotationKeys = {{{0, 0, 0, 1}, 0.0f, 0}};
        return file;
    }
    static CQVMotionItem* AddMotion(uint32_t id, const char* name, const char* fileName, const MotFile& file) {
        EXPECT_EQ(MotWriter_Write((std::string("Data/") + fileName).c_str(), file), 1);
        CQVMotionItem* item = new CQVMotionItem;
        item->name = name;
        item->fileName = fileName;
        EXPECT_TRUE(g_Library.SetItem(id, item));
        return item;
    }
};

TEST_F(MotionLoad, ReadsTheFileOnFirstUseAndReplacesTheTracksEachLoad) {
    CQVMotionItem* walk = AddMotion(3, "Walk", "walk.MOT", Step("Bip01", {0, 40, 0}, 2.0f, {0, 0, 100}));
    walk->tracks.push_back(new KeyTrack);  // stale tracks go on load
    walk->trackCount = 1;
    EXPECT_EQ(Motion_GetLength(walk), 2.0f);
    EXPECT_EQ(walk->loaded, 1u);
    EXPECT_EQ(Motion_GetTrackCount(walk), 1u);
    EXPECT_EQ(walk->trackCount, 1u);
    EXPECT_EQ(walk->rootDisplacement.z, 100.0f);
    Vector3 velocity{9, 9, 9};
    Motion_GetVelocity(walk, &velocity);
    EXPECT_EQ(velocity.z, 50.0f);
    EXPECT_EQ(velocity.x, 0.0f);
    EXPECT_EQ(Motion_GetFrameRate(walk), 30.0f);

    KeyTrack* tracks[1] = {};
    Motion_GetTracks(walk, tracks);
    EXPECT_EQ(tracks[0], walk->tracks.front());
    EXPECT_EQ(Motion_FindTrack(walk, "Bip01"), tracks[0]);
    EXPECT_EQ(Motion_FindTrack(walk, "bip01"), nullptr);

    ASSERT_EQ(Library_UnloadItem(walk), 1);
    EXPECT_EQ(walk->loaded, 0u);
    ASSERT_EQ(Library_LoadItem(walk), 1);
    EXPECT_EQ(walk->tracks.size(), 1u);
}

TEST_F(MotionLoad, OtherExtensionsReadNothingAndNullsAnswerNothing) {
    CQVMotionItem* other = AddMotion(4, "Wave", "wave.dat", Step("Bip01", {0, 0, 0}, 1.0f));
    EXPECT_EQ(Motion_GetLength(other), 0.0f);
    EXPECT_EQ(other->loaded, 1u);
    EXPECT_EQ(Motion_GetTrackCount(other), 0u);
    Vector3 velocity{9, 9, 9};
    Motion_GetVelocity(other, &velocity);
    EXPECT_EQ(velocity.x, 0.0f);  // no tracks: zero, not a division by nothing
    EXPECT_EQ(velocity.z, 0.0f);

    velocity = {9, 9, 9};
    Motion_GetVelocity(nullptr, &velocity);
    EXPECT_EQ(velocity.y, 9.0f);
    EXPECT_EQ(Motion_GetLength(nullptr), 0.0f);
    EXPECT_EQ(Motion_GetTrackCount(nullptr), 0u);
    EXPECT_EQ(Motion_FindTrack(nullptr, "Bip01"), nullptr);
    EXPECT_EQ(Motion_GetFrameRate(nullptr), 30.0f);
}

TEST_F(MotionLoad, VelocityOfAMotionWithoutLengthIsZeroAndDoesNotLoad) {
    CQVMotionItem* still = AddMotion(5, "Still", "still.mot", Step("Bip01", {0, 0, 0}, 0.0f, {0, 0, 80}));
    Vector3 velocity{9, 9, 9};
    Motion_GetVelocity(still, &velocity);  // not loaded yet: no tracks
    EXPECT_EQ(still->loaded, 0u);
    EXPECT_EQ(velocity.z, 0.0f);
    Motion_GetLength(still);
    velocity = {9, 9, 9};
    Motion_GetVelocity(still, &velocity);
    EXPECT_EQ(velocity.z, 0.0f);
}

TEST_F(MotionLoad, FailuresSetTheirTextsAndLeaveTheMotionUnloaded) {
    CQVEngine* engine = CQVEngine::GetInstance();
    EXPECT_EQ(engine->LoadMotion(nullptr), 0);
    EXPECT_EQ(Error(), "Error: Load Motion From File");
    EXPECT_EQ(engine->ReadMotionFile(nullptr, "x.mot", 0), 0);
    EXPECT_EQ(Error(), "Error Can't Load Motion");

    CQVMotionItem* missing = new CQVMotionItem;
    missing->fileName = "missing.mot";
    g_Library.SetItem(6, missing);
    EXPECT_EQ(Library_LoadItem(missing), 1);  // a motion's load never fails its caller
    EXPECT_EQ(missing->loaded, 0u);
    EXPECT_EQ(Error(), "Error - Saving Motion");

    MotFile two = Step("Bip01", {0, 0, 0}, 1.0f);
    two.tracks.push_back(Step("Head", {0, 0, 0}, 1.0f).tracks.front());
    CQVMotionItem* cut = AddMotion(7, "Cut", "cut.mot", two);
    std::string bytes = ReadFile("Data/cut.mot");
    WriteFile("Data/cut.mot", bytes.substr(0, bytes.size() - 10));
    EXPECT_EQ(engine->LoadMotion(cut), 0);
    EXPECT_EQ(Error(), "Error - Saving Loading motion data.");
    EXPECT_EQ(cut->tracks.size(), 1u);  // the tracks read before the damage stay
    EXPECT_EQ(cut->trackCount, 1u);
}

TEST_F(MotionLoad, ACompanionMotionIsTheOriginOfTheKeys) {
    // An item of another kind with the companion's name comes first: only a motion counts.
    CQVTextureItem* texture = new CQVTextureItem;
    texture->name = "Walk01BK_run";
    g_Library.SetItem(1, texture);
    CQVMotionItem* companion = AddMotion(8, "walk01bk_RUN", "base.mot", Step("Bip01", {10, 40, 0}, 1.0f));
    MotFile fast = Step("Bip01", {12, 41, 0}, 1.0f);
    fast.tracks.push_back(Step("Head", {0, 5, 0}, 1.0f).tracks.front());
    CQVMotionItem* motion = AddMotion(9, "Walk01BL_run_fast", "fast.mot", fast);

    EXPECT_EQ(Motion_GetLength(motion), 1.0f);
    EXPECT_EQ(companion->loaded, 1u);
    const KeyTrack* bip = Motion_FindTrack(motion, "Bip01");
    ASSERT_NE(bip, nullptr);
    EXPECT_EQ(bip->positionKeys[0].value.x, 2.0f);
    EXPECT_EQ(bip->positionKeys[1].value.x, 6.0f);
    EXPECT_EQ(bip->positionKeys[0].value.y, 1.0f);
    EXPECT_EQ(Motion_FindTrack(motion, "Head")->positionKeys[0].value.y, 5.0f);
    // The companion itself is not moved, and a second load of the motion rebases its fresh keys once.
    EXPECT_EQ(companion->tracks.front()->positionKeys[0].value.x, 10.0f);
    Library_UnloadItem(motion);
    Library_LoadItem(motion);
    EXPECT_EQ(Motion_FindTrack(motion, "Bip01")->positionKeys[0].value.x, 2.0f);
}

TEST_F(MotionLoad, WithoutACompanionTheKeysStay) {
    CQVMotionItem* motion = AddMotion(9, "Walk01BL_", "lone.mot", Step("Bip01", {12, 41, 0}, 1.0f));
    EXPECT_EQ(Motion_GetLength(motion), 1.0f);
    EXPECT_EQ(motion->tracks.front()->positionKeys[0].value.x, 12.0f);
}

}  // namespace
