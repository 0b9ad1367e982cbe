#include "kernel/base/Archive.h"
#include "kernel/base/NameTable.h"
#include "services/engine/Engine.h"
#include "services/mesh/Motion.h"
#include "tests/kernel/base/TempFolder.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"
#include "tools/content/MotWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct CompanionCase {
    const char* name;
    const char* companion;  // null: none
};

class CompanionName : public testing::TestWithParam<CompanionCase> {};

TEST_P(CompanionName, KeepsTheStemAndTheFirstWord) {
    std::string companion = "unchanged";
    const bool found = Motion_GetCompanionName(GetParam().name, &companion);
    if (GetParam().companion == nullptr) {
        EXPECT_FALSE(found);
        EXPECT_EQ(companion, "unchanged");
    } else {
        EXPECT_TRUE(found);
        EXPECT_EQ(companion, GetParam().companion);
    }
}

INSTANTIATE_TEST_SUITE_P(Motion, CompanionName,
                         testing::Values(CompanionCase{"Walk01BL_run_fast", "Walk01BK_run"},
                                         CompanionCase{"Walk01BL_", "Walk01BK_"},
                                         CompanionCase{"Walk01BL_run", "Walk01BK_run"},
                                         CompanionCase{"Walk01BL__x", "Walk01BK_"},
                                         CompanionCase{"Walk01BL", nullptr},
                                         CompanionCase{"Walk01BK_run", nullptr},
                                         CompanionCase{"Walk01bl_run", nullptr},
                                         CompanionCase{"N_Neutral", nullptr}));

MotionTracks Pointers(KeyTrackList& list) {
    MotionTracks tracks;
    for (KeyTrack& track : list) tracks.push_back(&track);
    return tracks;
}

KeyTrack* AddTrack(MotFile* file, const char* bone, Vector3 first, Quaternion rotation) {
    KeyTrack* track = MotWriter_AddTrack(file, bone, 1.0f);
    track->positionKeys = {{first, 0.0f, 0}, {Vector3(first.x + 1, first.y, first.z), 1.0f, 0}};
    track->rotationKeys = {{rotation, 0.0f, 0}};
    return track;
}

TEST(Motion, RebaseTakesOutTheCompanionsFirstKeysBoneByBone) {
    const float h = std::sqrt(0.5f);
    const Quaternion quarterY{0, h, 0, h};
    MotFile motion, companion;
    AddTrack(&motion, "Bip01", {10, 2, 0}, quarterY);
    AddTrack(&motion, "Spine1", {5, 5, 5}, {0, 0, 0, 1});
    AddTrack(&motion, "Head", {1, 1, 1}, {0, 0, 0, 1});
    AddTrack(&companion, "Bip01", {4, 2, 1}, quarterY);
    AddTrack(&companion, "L_Hand", {100, 100, 100}, {1, 0, 0, 0});  // not in the motion: skipped
    AddTrack(&companion, "Head", {1, 0, 0}, {0, 0, 0, 1});

    Motion_Rebase(Pointers(motion.tracks), Pointers(companion.tracks));
    auto track = motion.tracks.begin();
    EXPECT_EQ(track->positionKeys[0].value.x, 6.0f);
    EXPECT_EQ(track->positionKeys[1].value.x, 7.0f);
    EXPECT_EQ(track->positionKeys[0].value.z, -1.0f);
    EXPECT_NEAR(std::fabs(track->rotationKeys[0].rotation.w), 1.0f, 1e-6f);  // the same turn taken out
    EXPECT_NEAR(track->rotationKeys[0].rotation.y, 0.0f, 1e-6f);
    ++track;
    // The cursor waits on Spine1, which the companion never names, so Head is not reached.
    EXPECT_EQ(track->positionKeys[0].value.x, 5.0f);
    ++track;
    EXPECT_EQ(track->positionKeys[0].value.x, 1.0f);
}

TEST(Motion, RebaseOnATrackWithoutKeysKeepsTheValues) {
    MotFile motion, companion;
    AddTrack(&motion, "Bip01", {3, 4, 5}, {0, 1, 0, 0});
    MotWriter_AddTrack(&companion, "Bip01", 1.0f);
    Motion_Rebase(Pointers(motion.tracks), Pointers(companion.tracks));
    EXPECT_EQ(motion.tracks.front().positionKeys[0].value.y, 4.0f);
    EXPECT_EQ(motion.tracks.front().rotationKeys[0].rotation.y, 1.0f);
}

class MotionFile : public TempFolderTest {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CQVEngine::Create(), 1); }
    MotionTracks tracks;
    uint32_t count = 0;

    void TearDown() override {
        KeyTrack_FreeAll(&tracks);
        TempFolderTest::TearDown();
    }
    Vector3 first{0, 0, 0}, root{0, 0, 0};

    MotFile Walk() {
        MotFile file;
        file.version = 3;
        file.firstTriple = {1, 2, 3};
        file.rootDisplacement = {0, 0, 120};
        AddTrack(&file, "Bip01", {0, 40, 0}, {0, 0, 0, 1});
        AddTrack(&file, "L_Thigh", {5, 0, 0}, {0, 0, 0, 1});
        return file;
    }
    int Read(const std::string& bytes) {
        WriteFile("m.mot", bytes);
        CQVArchive archive;
        EXPECT_TRUE(archive.Open("m.mot", "rb"));
        return Motion_ReadFile(&archive, &tracks, &count, &first, &root);
    }
};

TEST_F(MotionFile, ReadsWhatTheWriterWrote) {
    ASSERT_EQ(MotWriter_Write("walk.mot", Walk()), 1);
    const std::string bytes = ReadFile("walk.mot");
    ASSERT_EQ(bytes.size(), 4u + 24 + 4 + 81 + 83);  // header, Bip01, L_Thigh
    ASSERT_EQ(Read(bytes), 1);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(first.y, 2.0f);
    EXPECT_EQ(root.z, 120.0f);
    EXPECT_STREQ(KeyTrack_GetName(tracks.back()), "L_Thigh");
    EXPECT_EQ(tracks.back()->positionKeys[1].value.x, 6.0f);
    EXPECT_EQ(tracks.back()->positionKeys[0].interpolate, 1u);
}

TEST_F(MotionFile, DamageKeepsTheTracksBeforeItAndSaysSo) {
    ASSERT_EQ(MotWriter_Write("walk.mot", Walk()), 1);
    const std::string bytes = ReadFile("walk.mot");
    const size_t secondTrack = bytes.size() - 83;
    for (size_t size = 0; size < bytes.size(); ++size) {
        KeyTrack_FreeAll(&tracks);
        count = 0;
        CQVEngine::SetError("%s", "");
        EXPECT_EQ(Read(bytes.substr(0, size)), 0) << size;
        EXPECT_STREQ(CQVEngine::GetInstance()->GetErrorText(), "Error - Saving Loading motion data.");
        EXPECT_EQ(count, size >= secondTrack ? 1u : 0u) << size;
        EXPECT_EQ(tracks.size(), count);
    }

    // A track count that the file cannot hold is refused before any track is read.
    std::string lying = bytes;
    lying[28] = '\x7f';
    KeyTrack_FreeAll(&tracks);
    count = 0;
    EXPECT_EQ(Read(lying), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(MotionFile, WalkOfTheFigureSwingsItsLimbsFromTheirJoints) {
    const QvmFile figure = MeshBuild_Figure(2);
    ASSERT_EQ(MotWriter_Write("walk.mot", MotBuild_Walk(figure.bones)), 1);
    ASSERT_EQ(Read(ReadFile("walk.mot")), 1);
    ASSERT_EQ(tracks.size(), figure.bones.size());
    EXPECT_EQ(root.z, -kWalkStride);  // forward, the way the figure faces
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(KeyTrack_GetName(tracks[i]), figure.bones[i].name);
        EXPECT_EQ(tracks[i]->length, kWalkLength);
    }
    const KeyTrack* calf = KeyTrack_FindById(tracks, g_NameTable.FindOrAdd("L_Calf"));
    ASSERT_NE(calf, nullptr);
    Vector3 p;
    KeyTrack_EvalPosition(&p, calf, 0.3f);
    EXPECT_NEAR(p.x, 0.0f, 1e-4f);  // the knee lies straight below the hip
    EXPECT_NEAR(p.y, -42.0f, 1e-4f);

    // A quarter into the stride the left thigh is swung fully back, the right fully forward:
    // turns about the figure's right side, which is -x as it faces -z.
    for (const auto& [bone, degrees] : {std::pair{"L_Thigh", 28.0f}, std::pair{"R_Thigh", -28.0f}}) {
        Quaternion q;
        KeyTrack_EvalRotation(&q, KeyTrack_FindById(tracks, g_NameTable.FindOrAdd(bone)), 0.25f);
        EXPECT_NEAR(q.x, -std::sin(degrees * 3.14159265f / 360.0f), 1e-5f) << bone;
        EXPECT_NEAR(q.y, 0.0f, 1e-6f);
    }
    const KeyTrack* pelvis = tracks.front();
    Vector3 low, high;
    KeyTrack_EvalPosition(&low, pelvis, 0.375f);
    KeyTrack_EvalPosition(&high, pelvis, 0.125f);
    EXPECT_NEAR(high.y - low.y, 4.0f, 1e-4f);  // the hips bob twice per stride
}

}  // namespace
