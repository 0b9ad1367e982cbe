// The Animation actor: its sheet, the binding of a motion's tracks to the
// actors of its subtree, the six play styles at their ends, the times,
// the record with and without the playing bit, and AutoCreate.

#include "actors/characters/Animation.h"
#include "actors/scene/Object.h"
#include "tests/actors/characters/CharacterTestSupport.h"

namespace {

constexpr uint32_t kMotionId = 300;

class AnimationTest : public CharacterFixture {
protected:
    void SetUp() override {
        CharacterFixture::SetUp();
        if (HasFatalFailure()) return;
        animation = static_cast<CQVAnimation*>(Make(CLASS_ANIMATION, "Animation"));
        ASSERT_NE(animation, nullptr);
    }
    // A motion of the given tracks: each moves from the origin to x = 10
    // over the length and turns a quarter round about y.
    CQVMotionItem* AddTracks(uint32_t id, const std::string& name, const std::vector<std::string>& tracks,
                             float length) {
        MotFile file;
        for (const std::string& track : tracks) {
            KeyTrack* keys = MotWriter_AddTrack(&file, track.c_str(), length);
            Quaternion turned;
            Quat_FromYawPitchRoll(&turned, 1.5707964f, 0.0f, 0.0f);
            keys->rotationKeys.push_back({Quaternion{0, 0, 0, 1}, 0.0f, 0});
            keys->rotationKeys.push_back({turned, length, 0});
            keys->positionKeys.push_back({Vector3(0, 0, 0), 0.0f, 0});
            keys->positionKeys.push_back({Vector3(10, 0, 0), length, 0});
            KeyTrack_ComputeInterpolation(keys);
        }
        return AddMotion(id, name, file);
    }
    // The next frame, dt seconds on, and the draw pass's update of the actor.
    static void Run(CQVActor* actor, float dt) {
        Advance(dt);
        actor->Update();
    }
    CQVAnimation* animation = nullptr;
};

TEST_F(AnimationTest, TheSheetHoldsItsRowsAndThePairsTheirTypes) {
    const ClassRecord& record = g_ClassRecords[CLASS_ANIMATION];
    EXPECT_EQ(record.name, "Animation");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 40}));
    ExpectSheet(record, {
        {"Animation Properties", 13, 0, 0, 1.0f},
        {"Animation Motion", 6, MSG_SET_MOTION, MSG_ANIMATION_GET_MOTION, 1.0f},
        {"Animation Style", 12, 0, 0, 1.0f},
        {"Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward Loop|3|Backward Loop|4|"
         "Forward<->Backward Loop|5|",
         16, MSG_SET_ANIMATION_STYLE, MSG_GET_ANIMATION_STYLE, 1.0f},
        {"Speed:|%|", 4, MSG_SET_ANIMATION_SPEED, MSG_GET_ANIMATION_SPEED, 100.0f},
        {"Play on Start Game:", 17, MSG_X_104, MSG_X_105, 1.0f},
        {"Play Animation|Play|", 14, MSG_ANIMATION_PLAY, 0, 1.0f},
        {"Stop Animation|Stop|", 14, MSG_ANIMATION_STOP, 0, 1.0f},
        {"Reset Animation|Reset|", 14, MSG_ANIMATION_RESET, 0, 1.0f},
        {"AutoCreate", 14, MSG_ANIMATION_AUTOCREATE, 0, 1.0f},
    });
    EXPECT_FALSE(animation->IsPlaying());
    EXPECT_EQ(animation->m_Style, ANIMATION_FORWARD_LOOP);
}

TEST_F(AnimationTest, TracksMoveTheActorsTheyNameAndADeletedActorDropsOut) {
    AddTracks(kMotionId, "Anm_Lid", {"Lid", "Hinge", "Nobody"}, 2.0f);
    CQVActor* lid = MakeBase("Lid", animation);
    CQVActor* hinge = MakeBase("Hinge", MakeBase("Frame", animation));
    Text(animation, MSG_SET_MOTION, "anm_lid");  // any case
    EXPECT_EQ(animation->m_TotalTime, 2.0f);
    ASSERT_EQ(animation->m_Bindings.size(), 2u);  // no actor for "Nobody"
    EXPECT_EQ(AskText<char>(animation, MSG_ANIMATION_GET_MOTION), "anm_lid");
    Tell(animation, MSG_ANIMATION_PLAY);
    Run(animation, 1.0f);
    EXPECT_NEAR(lid->m_Position.x, 5.0f, 1e-4f);
    EXPECT_NEAR(hinge->m_Position.x, 5.0f, 1e-4f);
    EXPECT_GT(std::fabs(lid->m_Rotation.y), 0.3f);
    g_ActorSystem->DeleteActor(hinge);
    EXPECT_EQ(animation->m_Bindings.size(), 1u);
    Run(animation, 0.5f);
    EXPECT_NEAR(lid->m_Position.x, 7.5f, 1e-4f);
    // The same name again neither binds again nor starts over.
    Text(animation, MSG_SET_MOTION, "anm_lid");
    EXPECT_EQ(animation->m_Time, 1.5f);
    EXPECT_EQ(animation->m_Bindings.size(), 1u);
    // A name of no motion leaves what there was.
    Text(animation, MSG_SET_MOTION, "Anm_Missing");
    EXPECT_EQ(animation->m_Bindings.size(), 1u);
    EXPECT_EQ(animation->m_TotalTime, 2.0f);
}

// One step of a style from a time and a direction.
struct StyleCase {
    const char* label;
    uint32_t style;
    float time;
    uint32_t direction;
    float step;
    float expectedTime;
    uint32_t expectedDirection;
    bool playing;
    uint32_t event;  // 0 none
};

class AnimationStyles : public AnimationTest, public testing::WithParamInterface<StyleCase> {};

TEST_P(AnimationStyles, EachStyleEndsAsItsTableSays) {
    const StyleCase& c = GetParam();
    AddTracks(kMotionId, "Anm_Two", {"Part"}, 2.0f);
    MakeBase("Part", animation);
    Text(animation, MSG_SET_MOTION, "Anm_Two");
    animation->m_Style = c.style;
    animation->m_Time = c.time;
    animation->m_Direction = c.direction;
    Tell(animation, MSG_ANIMATION_PLAY);
    CharacterSpy& spy = Spy(animation);
    Run(animation, c.step);
    EXPECT_NEAR(animation->m_Time, c.expectedTime, 1e-6f) << c.label;
    EXPECT_EQ(animation->m_Direction, c.expectedDirection) << c.label;
    EXPECT_EQ(animation->IsPlaying(), c.playing) << c.label;
    for (uint32_t event : {MSG_ON_ANIMATION_LOOP, MSG_ON_ANIMATION_END, MSG_ON_ANIMATION_REVERSE})
        EXPECT_EQ(spy.Count(event), event == c.event ? 1u : 0u) << c.label << " " << event;
    // Stopped, a further step sends nothing.
    if (!c.playing) {
        Run(animation, c.step);
        EXPECT_EQ(spy.Count(c.event), 1u) << c.label;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnimationStyles,
    testing::Values(
        StyleCase{"loop past the end", 3, 1.9f, 0, 0.3f, 0.2f, 0, true, MSG_ON_ANIMATION_LOOP},
        StyleCase{"loop far past the end", 3, 1.9f, 0, 5.0f, 0.0f, 0, true, MSG_ON_ANIMATION_LOOP},
        StyleCase{"loop within", 3, 0.5f, 0, 0.5f, 1.0f, 0, true, 0},
        StyleCase{"once ends", 0, 1.9f, 0, 0.3f, 2.0f, 0, false, MSG_ON_ANIMATION_END},
        StyleCase{"once backward below 0", 0, 0.1f, 1, 0.3f, 0.0f, 0, false, MSG_ON_ANIMATION_END},
        StyleCase{"backward once ends", 1, 0.1f, 1, 0.3f, 0.0f, 0, false, MSG_ON_ANIMATION_END},
        StyleCase{"backward once forward past the end", 1, 1.9f, 0, 0.3f, 2.2f, 0, true, 0},
        StyleCase{"there and back once turns", 2, 1.9f, 0, 0.3f, 2.0f, 1, true, MSG_ON_ANIMATION_REVERSE},
        StyleCase{"there and back once ends", 2, 0.1f, 1, 0.3f, 0.0f, 0, false, MSG_ON_ANIMATION_END},
        StyleCase{"backward loop", 4, 0.1f, 1, 0.3f, 2.0f, 1, true, MSG_ON_ANIMATION_LOOP},
        StyleCase{"forward loop going backward", 3, 0.1f, 1, 0.3f, 2.0f, 1, true, MSG_ON_ANIMATION_LOOP},
        StyleCase{"bounce at the end", 5, 1.9f, 0, 0.3f, 2.0f, 1, true, MSG_ON_ANIMATION_REVERSE},
        StyleCase{"bounce at the start", 5, 0.1f, 1, 0.3f, 1e-9f, 0, true, MSG_ON_ANIMATION_LOOP}));

TEST_F(AnimationTest, TimesAreHeldBelowTheEndAndSpeedAndActionValueScaleTheStep) {
    AddTracks(kMotionId, "Anm_Two", {"Part"}, 2.0f);
    Text(animation, MSG_SET_MOTION, "Anm_Two");
    Send(animation, MSG_SET_CURRENT_NORMALIZED_TIME, 1.0f);
    EXPECT_EQ(animation->m_Time, 2.0f - 1e-9f);
    EXPECT_FLOAT_EQ(Ask<float>(animation, MSG_GET_CURRENT_NORMALIZED_TIME), 1.0f);
    Send(animation, MSG_SET_CURRENT_TIME, 0.5f);
    EXPECT_EQ(Ask<float>(animation, MSG_GET_CURRENT_TIME), 0.5f);
    EXPECT_EQ(Ask<float>(animation, MSG_GET_TOTAL_TIME), 2.0f);
    Send<uint32_t>(animation, MSG_SET_ANIMATION_STYLE, ANIMATION_BACKWARD_LOOP);
    EXPECT_EQ(animation->m_Direction, 1u);
    EXPECT_EQ(animation->m_Time, 2.0f - 1e-9f);
    Send<uint32_t>(animation, MSG_SET_ANIMATION_STYLE, ANIMATION_FORWARD_ONCE);
    EXPECT_EQ(animation->m_Time, 0.0f);
    Send(animation, MSG_SET_ANIMATION_SPEED, 0.5f);
    Send(animation, MSG_ACTION_STOP_VALUE, 2.0f);
    Tell(animation, MSG_START);  // plays; "Start" also sets the start value 1.0
    EXPECT_TRUE(animation->IsPlaying());
    Send(animation, MSG_ACTION_START_VALUE, 3.0f);
    Run(animation, 0.2f);
    EXPECT_FLOAT_EQ(animation->m_Time, 0.3f);
    Tell(animation, MSG_ACTION_START_POST);
    Run(animation, 0.2f);
    EXPECT_FLOAT_EQ(animation->m_Time, 0.4f);
    // The action time is the motion at its speed; a speed of 0 asks none.
    EXPECT_FLOAT_EQ(Ask<float>(animation, MSG_CALC_ACTION_TIME_CB, 1.0f), 4.0f);
    Send(animation, MSG_SET_ANIMATION_SPEED, 0.0f);
    EXPECT_FLOAT_EQ(Ask<float>(animation, MSG_CALC_ACTION_TIME_CB, 1.0f), 1.0f);
    Tell(animation, MSG_STOP);
    EXPECT_FALSE(animation->IsPlaying());
    // "Reset" goes back to the style's start and poses the actors there.
    Tell(animation, MSG_ANIMATION_RESET);
    EXPECT_EQ(animation->m_Time, 0.0f);
    // No motion: no time passes.
    CQVAnimation* empty = static_cast<CQVAnimation*>(Make(CLASS_ANIMATION, "Empty"));
    Tell(empty, MSG_ANIMATION_PLAY);
    Run(empty, 1.0f);
    EXPECT_EQ(empty->m_Time, 0.0f);
    EXPECT_FLOAT_EQ(Ask<float>(empty, MSG_GET_CURRENT_NORMALIZED_TIME, 7.0f), 0.0f);
}

TEST_F(AnimationTest, PlayOnStartGameStartsItAndACopyTakesItsFields) {
    AddTracks(kMotionId, "Anm_Two", {"Part"}, 2.0f);
    MakeBase("Part", animation);
    Text(animation, MSG_SET_MOTION, "Anm_Two");
    Send<uint32_t>(animation, MSG_X_104, 1);
    EXPECT_EQ(Ask<uint32_t>(animation, MSG_X_105), 1u);
    Tell(animation, MSG_START_GAME);
    EXPECT_TRUE(animation->IsPlaying());
    Send(animation, MSG_SET_ANIMATION_SPEED, 0.25f);
    auto* copy = static_cast<CQVAnimation*>(
        g_ActorSystem->CreateActor(CLASS_ANIMATION, "Copy", animation, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_MotionName, "Anm_Two");
    EXPECT_EQ(copy->m_Speed, 0.25f);
    EXPECT_EQ(copy->m_TotalTime, 2.0f);
    EXPECT_NE(copy->m_AnimFlags & ANIMATION_PLAY_ON_START, 0u);
    EXPECT_TRUE(copy->m_Bindings.empty());  // "Init Copy" empties them
}

// The record holds a word of its own for the playing bit before version 64
// only; the base fields keep the whole activity word in every version.
struct AnimationVersionCase {
    uint32_t version;
    size_t words;  // after the base fields, the name's length word and bytes aside
};

class AnimationVersions : public AnimationTest, public testing::WithParamInterface<AnimationVersionCase> {};

TEST_P(AnimationVersions, ThePlayingBitIsInOlderFilesOnly) {
    const AnimationVersionCase& c = GetParam();
    Text(animation, MSG_SET_MOTION, "Anm_X");
    Send<uint32_t>(animation, MSG_SET_ANIMATION_STYLE, ANIMATION_FORWARD_BACKWARD_LOOP);
    Send(animation, MSG_SET_ANIMATION_SPEED, 2.0f);
    animation->m_Time = 0.75f;
    Tell(animation, MSG_ANIMATION_PLAY);
    const std::string record = Character_Write(animation, c.version);
    const std::string base = Character_Write(animation, c.version, true);
    ASSERT_EQ(record.size() - base.size(), 4 + 5 + 4 * c.words);
    uint32_t playingWord = 0;
    if (c.words == 6) std::memcpy(&playingWord, record.data() + base.size() + 9 + 12, 4);
    EXPECT_EQ(playingWord, c.words == 6 ? 1u : 0u);
    CQVAnimation loaded;
    uint32_t left = 1;
    ASSERT_EQ(Character_Read(&loaded, record, c.version, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_MotionName, "Anm_X");
    EXPECT_EQ(loaded.m_Style, ANIMATION_FORWARD_BACKWARD_LOOP);
    EXPECT_EQ(loaded.m_Speed, 2.0f);
    EXPECT_EQ(loaded.m_Time, 0.75f);
    EXPECT_TRUE(loaded.IsPlaying());
    // A record whose base fails reads nothing more.
    CQVAnimation cut;
    EXPECT_EQ(Character_Read(&cut, record.substr(0, 12), c.version), 0);
    EXPECT_EQ(cut.m_MotionName, "");
}

INSTANTIATE_TEST_SUITE_P(Table, AnimationVersions,
                         testing::Values(AnimationVersionCase{63, 6}, AnimationVersionCase{64, 5},
                                         AnimationVersionCase{70, 5}));

TEST_F(AnimationTest, AutoCreateMakesTheActorsTheTracksNameOfTheClassTheirNamesBeginWith) {
    AddTracks(kMotionId, "Anm_Set", {"Obj_Crate_07", "Zzz_Lid_12", "Here"}, 1.0f);
    CQVActor* here = MakeBase("Here", animation);
    AddMesh(20, "Obj_Crate", {TestShape{}}, 1);
    Text(animation, MSG_SET_MOTION, "Anm_Set");
    EXPECT_EQ(animation->m_Bindings.size(), 1u);
    EXPECT_EQ(animation->HandleMessage(MSG_ANIMATION_AUTOCREATE, nullptr), 2);
    CQVActor* crate = CQVActor::FindChildByName(animation, "Obj_Crate_07");
    CQVActor* lid = CQVActor::FindChildByName(animation, "Zzz_Lid_12");
    ASSERT_NE(crate, nullptr);
    ASSERT_NE(lid, nullptr);
    EXPECT_EQ(crate->m_ClassType, static_cast<uint32_t>(CLASS_OBJECT));  // "Obj" begins "Object"
    EXPECT_EQ(lid->m_ClassType, static_cast<uint32_t>(CLASS_BASE));
    // "Set Resource" with the whole name found no mesh; the name cut before "_07" did.
    EXPECT_EQ(static_cast<CQVObject*>(crate)->m_MeshId, 20u);
    EXPECT_EQ(animation->m_Bindings.size(), 3u);
    EXPECT_EQ(animation->m_Children.size(), 3u);  // "Here" was not made again
    EXPECT_EQ(CQVActor::FindChildByName(animation, "Here"), here);
}

}  // namespace
