#include "services/mesh/KeyTrack.h"

#include "kernel/base/Archive.h"
#include "kernel/base/NameTable.h"
#include "tests/kernel/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

RotationKey Rot(float time, Quaternion q) { return RotationKey{q, time, 0}; }
VectorKey Vec(float time, Vector3 v) { return VectorKey{v, time, 0}; }
constexpr Quaternion kIdentity{0, 0, 0, 1};

// Position keys as given; with a rotation key the track interpolates.
KeyTrack PositionTrack(std::vector<VectorKey> keys, bool withRotation) {
    KeyTrack track;
    track.positionKeys = std::move(keys);
    if (withRotation) track.rotationKeys = {Rot(0.0f, kIdentity)};
    KeyTrack_ComputeInterpolation(&track);
    return track;
}

struct PositionCase {
    const char* what;
    std::vector<VectorKey> keys;
    bool withRotation;
    float time;
    float x;
};

class PositionAtTime : public testing::TestWithParam<PositionCase> {};

TEST_P(PositionAtTime, GivesTheKeyOrTheBlend) {
    const PositionCase& c = GetParam();
    const KeyTrack track = PositionTrack(c.keys, c.withRotation);
    Vector3 out{-1, -1, -1};
    KeyTrack_EvalPosition(&out, &track, c.time);
    EXPECT_FLOAT_EQ(out.x, c.x) << c.what;
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
}

const std::vector<VectorKey> kZeroToTen = {Vec(0.0f, {0, 0, 0}), Vec(1.0f, {10, 0, 0})};
const std::vector<VectorKey> kThreeKeys = {Vec(0.5f, {2, 0, 0}), Vec(1.0f, {4, 0, 0}), Vec(2.0f, {8, 0, 0})};

INSTANTIATE_TEST_SUITE_P(
    KeyTrack, PositionAtTime,
    testing::Values(PositionCase{"quarter way", kZeroToTen, true, 0.25f, 2.5f},
                    PositionCase{"at the first key", kZeroToTen, true, 0.0f, 0.0f},
                    PositionCase{"negative time counts as 0", kZeroToTen, true, -3.0f, 0.0f},
                    PositionCase{"at the last key", kZeroToTen, true, 1.0f, 10.0f},
                    PositionCase{"past the last key", kZeroToTen, true, 7.0f, 10.0f},
                    PositionCase{"without rotation keys the key holds", kZeroToTen, false, 0.25f, 0.0f},
                    PositionCase{"before the first key's time", kThreeKeys, true, 0.2f, 2.0f},
                    PositionCase{"between later keys", kThreeKeys, true, 1.5f, 6.0f},
                    PositionCase{"exactly on a middle key", kThreeKeys, true, 1.0f, 4.0f},
                    PositionCase{"one key at any time", {Vec(0.3f, {5, 0, 0})}, true, 9.0f, 5.0f},
                    PositionCase{"equal values hold", {Vec(0, {3, 0, 0}), Vec(1, {3, 0, 0}), Vec(2, {9, 0, 0})},
                                 true, 0.5f, 3.0f},
                    PositionCase{"on two keys of equal time the later one starts",
                                 {Vec(0, {1, 0, 0}), Vec(1, {2, 0, 0}), Vec(1, {7, 0, 0}), Vec(2, {9, 0, 0})},
                                 true, 1.0f, 7.0f},
                    PositionCase{"equal first times give the first key",
                                 {Vec(1, {1, 0, 0}), Vec(1, {5, 0, 0}), Vec(2, {9, 0, 0})}, true, 0.5f, 1.0f},
                    PositionCase{"times out of order hold", {Vec(2, {1, 0, 0}), Vec(1, {5, 0, 0})}, true, 0.5f,
                                 1.0f}));

TEST(KeyTrack, EmptyTrackIsIdentityZeroAndUnitScale) {
    const KeyTrack track;
    Quaternion q{9, 9, 9, 9};
    Vector3 p{9, 9, 9}, s{9, 9, 9};
    KeyTrack_EvalRotation(&q, &track, 0.5f);
    KeyTrack_EvalPosition(&p, &track, 0.5f);
    KeyTrack_EvalScale(&s, &track, 0.5f);
    EXPECT_EQ(std::memcmp(&q, &kIdentity, sizeof q), 0);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_EQ(s.x, 1.0f);
    EXPECT_EQ(s.y, 1.0f);
    EXPECT_EQ(s.z, 1.0f);
}

TEST(KeyTrack, RotationsSlerpAndScalesLerp) {
    KeyTrack track;
    const float h = std::sqrt(0.5f);
    track.rotationKeys = {Rot(0.0f, kIdentity), Rot(2.0f, {0, h, 0, h})};  // 90 degrees about Y
    track.scaleKeys = {Vec(0.0f, {1, 1, 1}), Vec(2.0f, {3, 5, 1})};
    KeyTrack_ComputeInterpolation(&track);

    Quaternion q;
    KeyTrack_EvalRotation(&q, &track, 1.0f);
    EXPECT_NEAR(q.x, 0.0f, 1e-6f);
    EXPECT_NEAR(q.y, std::sin(0.3926991f), 1e-6f);  // half of 45 degrees
    EXPECT_NEAR(q.w, std::cos(0.3926991f), 1e-6f);
    KeyTrack_EvalRotation(&q, &track, 5.0f);
    EXPECT_EQ(q.y, h);
    EXPECT_EQ(q.w, h);

    Vector3 s;
    KeyTrack_EvalScale(&s, &track, 0.5f);
    EXPECT_FLOAT_EQ(s.x, 1.5f);
    EXPECT_FLOAT_EQ(s.y, 2.0f);
    EXPECT_FLOAT_EQ(s.z, 1.0f);
}

TEST(KeyTrack, InterpolateFlagsFollowChangingValues) {
    KeyTrack track;
    track.rotationKeys = {Rot(0, kIdentity), Rot(1, kIdentity), Rot(2, {0, 1, 0, 0})};
    track.positionKeys = {Vec(0, {1, 2, 3}), Vec(1, {1, 2, 4}), Vec(2, {1, 2, 4})};
    track.scaleKeys = {Vec(0, {1, 1, 1})};
    KeyTrack_ComputeInterpolation(&track);
    EXPECT_EQ(track.rotationKeys[0].interpolate, 0u);
    EXPECT_EQ(track.rotationKeys[1].interpolate, 1u);
    EXPECT_EQ(track.rotationKeys[2].interpolate, 0u);
    EXPECT_EQ(track.positionKeys[0].interpolate, 1u);
    EXPECT_EQ(track.positionKeys[1].interpolate, 0u);
    EXPECT_EQ(track.positionKeys[2].interpolate, 0u);
    EXPECT_EQ(track.scaleKeys[0].interpolate, 0u);

    track.rotationKeys.clear();
    KeyTrack_ComputeInterpolation(&track);
    EXPECT_EQ(track.positionKeys[0].interpolate, 0u);
}

TEST(KeyTrack, NameComesFromTheNameTable) {
    KeyTrack track;
    EXPECT_STREQ(KeyTrack_GetName(&track), "");
    track.nameId = g_NameTable.FindOrAdd("L_Forearm");
    EXPECT_STREQ(KeyTrack_GetName(&track), "L_Forearm");
    EXPECT_STREQ(KeyTrack_GetName(nullptr), "");
}

// The stored form, assembled word by word.
class StoredTrack : public TempFolderTest {
protected:
    std::string bytes;
    void Word(uint32_t w) { bytes.append(reinterpret_cast<const char*>(&w), 4); }
    void Real(float f) { bytes.append(reinterpret_cast<const char*>(&f), 4); }
    void Text(const std::string& s) {
        Word(static_cast<uint32_t>(s.size()));
        bytes += s;
    }
    void Reals(std::initializer_list<float> values) {
        for (float f : values) Real(f);
    }
    // A track of every key kind, as the file holds it.
    void BuildFullTrack() {
        Real(1.5f);
        Text("Spine1");
        Word(2);
        Reals({0.0f, 0, 0, 0, 1, 1.5f, 0, 1, 0, 0});
        Word(1);
        Reals({0.25f, 1, 2, 3});
        Word(2);
        Reals({0.0f, 1, 1, 1, 1.5f, 1, 1, 1});
        Word(1);
        Real(0.5f);
        for (int i = 0; i < 16; ++i) Real(static_cast<float>(i));
    }
    int Read(KeyTrack* track, const std::string& stored) {
        WriteFile("track.bin", stored);
        CQVArchive archive;
        EXPECT_TRUE(archive.Open("track.bin", "rb"));
        return track->Serialize(&archive, SERIALIZE_READ, 1);
    }
};

TEST_F(StoredTrack, ReadsEveryKeyAndWritesTheSameBytes) {
    BuildFullTrack();
    KeyTrack track;
    ASSERT_EQ(Read(&track, bytes), 1);
    EXPECT_EQ(track.length, 1.5f);
    EXPECT_STREQ(KeyTrack_GetName(&track), "Spine1");
    ASSERT_EQ(track.rotationKeys.size(), 2u);
    EXPECT_EQ(track.rotationKeys[1].rotation.y, 1.0f);
    EXPECT_EQ(track.rotationKeys[1].time, 1.5f);
    EXPECT_EQ(track.rotationKeys[0].interpolate, 1u);
    ASSERT_EQ(track.positionKeys.size(), 1u);
    EXPECT_EQ(track.positionKeys[0].time, 0.25f);
    EXPECT_EQ(track.positionKeys[0].value.z, 3.0f);
    ASSERT_EQ(track.scaleKeys.size(), 2u);
    EXPECT_EQ(track.scaleKeys[0].interpolate, 0u);  // equal values hold
    ASSERT_EQ(track.matrixKeys.size(), 1u);
    EXPECT_EQ(track.matrixKeys[0].time, 0.5f);
    EXPECT_EQ(track.matrixKeys[0].matrix.m[3][2], 14.0f);

    {
        CQVArchive archive;
        ASSERT_TRUE(archive.Open("out.bin", "wb"));
        ASSERT_EQ(track.Serialize(&archive, SERIALIZE_WRITE, 1), 1);
        archive.Close();
    }
    EXPECT_EQ(ReadFile("out.bin"), bytes);

    // A second read appends to the keys already there.
    ASSERT_EQ(Read(&track, bytes), 1);
    EXPECT_EQ(track.rotationKeys.size(), 4u);
    EXPECT_EQ(track.matrixKeys.size(), 2u);
}

TEST_F(StoredTrack, EveryCutFailsAndKeepsTheTrackAsItWas) {
    BuildFullTrack();
    for (size_t size = 0; size < bytes.size(); ++size) {
        KeyTrack track;
        track.length = 7.0f;
        EXPECT_EQ(Read(&track, bytes.substr(0, size)), 0) << size;
        EXPECT_EQ(track.length, 7.0f);
        EXPECT_EQ(track.nameId, 0u);
        EXPECT_TRUE(track.rotationKeys.empty() && track.positionKeys.empty() && track.scaleKeys.empty() &&
                    track.matrixKeys.empty())
            << size;
    }
}

TEST_F(StoredTrack, CountsBeyondTheFileAndLongNamesAreRefused) {
    KeyTrack track;
    Real(1.0f);
    Text("Head");
    Word(0x40000000);  // a billion rotation keys in a few bytes
    Reals({0, 0, 0, 0, 1});
    EXPECT_EQ(Read(&track, bytes), 0);
    EXPECT_TRUE(track.rotationKeys.empty());

    bytes.clear();
    Real(1.0f);
    Text(std::string(kMaxTrackNameLength, 'n'));
    for (int i = 0; i < 4; ++i) Word(0);
    EXPECT_EQ(Read(&track, bytes), 1);
    EXPECT_EQ(std::strlen(KeyTrack_GetName(&track)), kMaxTrackNameLength);

    bytes.clear();
    Real(1.0f);
    Text(std::string(kMaxTrackNameLength + 1, 'n'));
    for (int i = 0; i < 4; ++i) Word(0);
    KeyTrack other;
    EXPECT_EQ(Read(&other, bytes), 0);
    EXPECT_EQ(other.nameId, 0u);
}

}  // namespace
