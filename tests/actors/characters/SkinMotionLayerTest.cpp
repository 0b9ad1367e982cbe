// The SkinObject's motion layers on a clock held by hand: "Set Motion" with
// its variants, transitions and cross-fades, the motion step's loops, ends
// and holds, the layer messages, the root-motion vector, and the callbacks
// and events it sends, as a parent and the event actors see them.

#include "kernel/base/Random.h"
#include "tests/actors/characters/SkinObjectTestSupport.h"

#include <cmath>
#include <set>

namespace {

class SkinMotionLayerTest : public SkinObjectFixture {
protected:
    void SetUp() override {
        SkinObjectFixture::SetUp();
        if (HasFatalFailure()) return;
        body = MakeBase("Body");
        skin = MakeSkin("Skin", body);
        ASSERT_NE(skin, nullptr);
        // A new SkinObject's first step takes 5 ms more than the clock moved.
        Step(skin, 0.0f);
    }
    // Makes the motion's entry cross-fade in over the time.
    void BlendTime(const char* name, float time) {
        skin->m_Motions[static_cast<size_t>(skin->FindMotion(name))].blendTime = time;
    }
    void PlayStyle(const char* name, uint8_t style) {
        skin->m_Motions[static_cast<size_t>(skin->FindMotion(name))].playStyle = style;
    }
    void Layer(uint32_t layer) { Send(skin, MSG_SET_CURRENT_LAYER, layer); }
    SpiedMessage Callback(const char* motion) const { return {"Body", MSG_CALLBACK_MOTION_SET, motion, 0}; }
    SpiedMessage Looping(uint32_t layer) const { return {"Body", MSG_CALLBACK_SKINLOOPING, "", layer}; }

    CQVActor* body = nullptr;
    CQVSkinObject* skin = nullptr;
};

// With motions Run, Run_01, Run_02 and Run_04, "Set Motion" Run picks among
// the first three by the game's generator (Run_04 never: Run_03 is
// missing), and the same seed picks the same ones.
TEST_F(SkinMotionLayerTest, VariantsArePickedByTheSeededGeneratorUpToTheFirstGap) {
    GiveMotions(skin, {{"N_Neutral", 1.0f}, {"Run", 1.0f}, {"Run_01", 1.0f}, {"Run_02", 1.0f}, {"Run_04", 1.0f}});
    const auto picks = [&] {
        Random_Seed(7);
        std::vector<int32_t> picked;
        for (int i = 0; i < 60; ++i) {
            EXPECT_EQ(SetMotion(skin, "Run"), 1);
            picked.push_back(skin->m_Layers[0].motion);
        }
        return picked;
    };
    const std::vector<int32_t> first = picks();
    EXPECT_EQ(std::set<int32_t>(first.begin(), first.end()), (std::set<int32_t>{1, 2, 3}));
    EXPECT_EQ(picks(), first);
    Random_Seed(7);
    EXPECT_EQ(first[0], 1 + Random_Next() % 3);
    EXPECT_EQ(skin->m_Layers[0].motionName, "Run") << "the layer keeps the name asked for";
    EXPECT_EQ(SetMotion(skin, "Walk"), 0) << "no motion of that name";
    EXPECT_EQ(skin->m_Layers[0].motionName, "Run");
}

// On layer 0 playing Walk, "Set Motion" Run with Walk_2_Run present plays
// the transition first; Run starts when it ends as a loop, and the parent
// hears of each start and of the transition's end.
TEST_F(SkinMotionLayerTest, ATransitionPlaysFirstAndTheRequestedMotionStartsAtItsEnd) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Run", 0.5f}, {"Walk_2_Run", 0.3f}});
    MessageSpy& seen = Watch({body}, {MSG_CALLBACK_MOTION_SET, MSG_CALLBACK_SKINLOOPING});
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    Step(skin, 0.2f);
    EXPECT_EQ(SetMotion(skin, "Run"), 1);
    EXPECT_EQ(Playing(skin), "Walk_2_Run");
    EXPECT_EQ(skin->m_Layers[0].nextMotion, "Run");
    EXPECT_EQ(skin->m_Layers[0].time, 0.0f);
    EXPECT_EQ(Ask<uint32_t>(skin, MSG_IS_TRANSITION_PLAYING), 1u);
    Step(skin, 0.2f);
    EXPECT_EQ(Playing(skin), "Walk_2_Run");
    Step(skin, 0.125f);
    EXPECT_EQ(Playing(skin), "Run");
    EXPECT_EQ(skin->m_Layers[0].time, 0.0f);
    EXPECT_EQ(skin->m_Layers[0].nextMotion, "");
    EXPECT_EQ(Ask<uint32_t>(skin, MSG_IS_TRANSITION_PLAYING, 7), 0u);
    EXPECT_EQ(seen.seen,
              (std::vector<SpiedMessage>{Callback("Walk"), Callback("Walk_2_Run"), Callback("Run"), Looping(0)}));
}

// A loop restarts at 0 without a new "Callback Motion Set" to the parent
// (a fresh variant is drawn) but with "Callback SkinLooping"; a motion
// started again by hand tells its event actor "On Animation Loop" instead.
TEST_F(SkinMotionLayerTest, ALoopRestartsQuietlyAndCallsBackSkinLooping) {
    GiveMotions(skin, {{"N_Neutral", 1.0f}, {"Walk", 1.0f}, {"Walk_01", 1.0f}});
    MessageSpy& seen = Watch({body}, {MSG_CALLBACK_MOTION_SET, MSG_CALLBACK_SKINLOOPING});
    Random_Seed(3);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    const std::string first = Playing(skin);
    std::set<std::string> played{first};
    for (int i = 0; i < 12; ++i) {
        Step(skin, 0.6f);
        Step(skin, 0.6f);
        EXPECT_EQ(skin->m_Layers[0].time, 0.0f) << "a loop starts again at 0";
        played.insert(Playing(skin));
    }
    EXPECT_EQ(played, (std::set<std::string>{"Walk", "Walk_01"})) << "each loop draws a variant";
    ASSERT_EQ(seen.seen.size(), 13u);
    EXPECT_EQ(seen.seen[0], Callback(first.c_str()));
    for (size_t i = 1; i < seen.seen.size(); ++i) EXPECT_EQ(seen.seen[i], Looping(0)) << i;
}

// A motion with a blend time cross-fades: the layer above becomes a copy of
// the layer that plays on and fades from 1 to 0 over the blend time, while
// the new motion starts at 0.
TEST_F(SkinMotionLayerTest, ACrossFadeCopiesThePlayingLayerAboveAndFadesItOut) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Run", 0.5f}});
    BlendTime("Run", 0.4f);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    Step(skin, 0.25f);
    ASSERT_EQ(SetMotion(skin, "Run"), 1);
    const SkinMotionLayer& fading = skin->m_Layers[1];
    EXPECT_EQ(Playing(skin), "Run");
    EXPECT_EQ(skin->m_Layers[0].time, 0.0f);
    EXPECT_EQ(Playing(skin, 1), "Walk");
    EXPECT_EQ(fading.time, 0.25f);
    EXPECT_EQ(fading.bodyPart, 255u);
    EXPECT_EQ(fading.Index(), 1u);
    EXPECT_EQ(fading.BlendMode(), 1u);
    EXPECT_EQ(fading.DestBoneLayer(), 0u);
    EXPECT_EQ(skin->m_CurrentLayer, 0u);
    EXPECT_TRUE(skin->m_SkinFlags & SKIN_UPPER_LAYERS);
    const struct {
        float dt, blend, walkTime;
        bool fadingOut;
    } steps[] = {
        {0.0f, 1.0f, 0.25f, true}, {0.1f, 0.75f, 0.35f, true}, {0.2f, 0.25f, 0.55f, true}, {0.2f, 0.0f, 0.75f, false},
        {0.2f, 0.0f, 0.95f, false},
    };
    for (const auto& s : steps) {
        if (s.dt > 0.0f) Step(skin, s.dt);
        EXPECT_NEAR(fading.blend, s.blend, 1e-5f) << s.walkTime;
        EXPECT_NEAR(fading.time, s.walkTime, 1e-5f);
        EXPECT_EQ((fading.flags & LAYER_FADING_OUT) != 0, s.fadingOut) << s.walkTime;
        EXPECT_EQ((fading.flags & LAYER_BLENDING) != 0, s.fadingOut) << s.walkTime;
    }
}

// Back to the motion that still fades out: it starts where the fading copy
// is and the other motion fades from 1 less the copy's weight.
TEST_F(SkinMotionLayerTest, ACrossFadeBackTakesTheFadingMotionFromWhereItIs) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Run", 0.5f}});
    BlendTime("Run", 0.4f);
    BlendTime("Walk", 0.4f);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    Step(skin, 0.25f);
    ASSERT_EQ(SetMotion(skin, "Run"), 1);  // Walk fades above
    Step(skin, 0.1f);                      // Walk at 0.35, weight 0.75; Run at 0.1
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    EXPECT_EQ(Playing(skin), "Walk");
    EXPECT_NEAR(skin->m_Layers[0].time, 0.35f, 1e-6f);
    EXPECT_EQ(Playing(skin, 1), "Run");
    EXPECT_NEAR(skin->m_Layers[1].time, 0.1f, 1e-6f);
    EXPECT_NEAR(skin->m_Layers[1].blend, 0.25f, 1e-6f);
    Step(skin, 0.05f);  // 0.25 over 0.25 x 0.4 s: halfway
    EXPECT_NEAR(skin->m_Layers[1].blend, 0.125f, 1e-5f);
    Step(skin, 0.05f);
    EXPECT_EQ(skin->m_Layers[1].blend, 0.0f);
    // A copy above with a weight past 5 is no fading copy: no cross-fade.
    skin->m_Layers[1].blend = 6.0f;
    BlendTime("N_Neutral", 0.4f);
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    EXPECT_EQ(Playing(skin, 1), "Run");
    EXPECT_EQ(skin->m_Layers[1].blend, 6.0f);
}

// Layer 10 has no layer above it: a cross-fade there switches at once and
// leaves every other layer as it was.
TEST_F(SkinMotionLayerTest, ACrossFadeOnLayerTenSwitchesAtOnce) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Run", 0.5f}});
    BlendTime("Run", 0.4f);
    Layer(10);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    Step(skin, 0.25f);
    ASSERT_EQ(SetMotion(skin, "Run"), 1);
    EXPECT_EQ(Playing(skin, 10), "Run");
    EXPECT_EQ(skin->m_Layers[10].time, 0.0f);
    EXPECT_EQ(skin->m_Layers[10].blend, 1.0f);
    EXPECT_FALSE(skin->m_Layers[10].flags & (LAYER_BLENDING | LAYER_FADING_OUT));
    for (uint32_t i = 1; i < 10; ++i) EXPECT_EQ(skin->m_Layers[i].motion, -1) << i;
}

// A Once motion on layer 2 clears the layer at its end and tells the
// SkinObject "_None"; on layer 0 its time runs on. OnceThenHold stops at
// the length, where the root motion is nothing.
TEST_F(SkinMotionLayerTest, OnceClearsAnUpperLayerAndOnceThenHoldStopsAtTheEnd) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Wave", 0.5f}, {"Fall", 0.5f}});
    PlayStyle("Wave", SKIN_PLAY_ONCE);
    PlayStyle("Fall", SKIN_PLAY_ONCE_THEN_HOLD);
    MessageSpy& seen = Watch({skin}, {MSG_CALLBACK_MOTION_SET});
    Layer(2);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);
    ASSERT_EQ(SetMotion(skin, "Wave"), 1);
    Layer(0);
    Step(skin, 0.3f);
    EXPECT_EQ(Playing(skin, 2), "Wave");
    Step(skin, 0.3f);
    EXPECT_EQ(skin->m_Layers[2].motion, -1);
    EXPECT_EQ(skin->m_Layers[2].motionName, "");
    EXPECT_EQ(seen.seen, (std::vector<SpiedMessage>{{"Skin", MSG_CALLBACK_MOTION_SET, "_None", 0}}));

    PlayStyle("Wave", SKIN_PLAY_ONCE);
    ASSERT_EQ(SetMotion(skin, "Wave"), 1);
    Step(skin, 0.4f);
    Step(skin, 0.4f);
    EXPECT_EQ(Playing(skin), "Wave");
    EXPECT_NEAR(skin->m_Layers[0].time, 0.8f, 1e-6f);

    skin->m_Motions[2].item->rootDisplacement = Vector3(0.0f, 0.0f, 50.0f);
    ASSERT_EQ(SetMotion(skin, "Fall"), 1);
    Step(skin, 0.4f);
    EXPECT_NEAR(Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR).z, 100.0f, 1e-4f);
    Step(skin, 0.4f);
    EXPECT_EQ(skin->m_Layers[0].time, 0.5f);
    const Vector3 still = Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR, Vector3(1, 2, 3));
    EXPECT_EQ(still.x, 0.0f);
    EXPECT_EQ(still.z, 0.0f);
}

// The root-motion vector: the motion's displacement per second times the
// layer's speed, blended toward the fading layer's while a cross-fade runs.
TEST_F(SkinMotionLayerTest, TheMotionVectorBlendsWithTheFadingLayer) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Run", 0.5f}});
    skin->m_Motions[1].item->rootDisplacement = Vector3(0.0f, 0.0f, 120.0f);
    skin->m_Motions[2].item->rootDisplacement = Vector3(0.0f, 0.0f, 180.0f);
    BlendTime("Run", 0.4f);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    Send(skin, MSG_SET_MOTION_SPEED, 1.5f);
    Step(skin, 0.1f);
    EXPECT_NEAR(Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR).z, 180.0f, 1e-3f);
    ASSERT_EQ(SetMotion(skin, "Run"), 1);
    Step(skin, 0.1f);  // Walk's weight 0.75: 360 + (120 - 360) x 0.75 = 180, times 1.5
    EXPECT_NEAR(Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR).z, 270.0f, 1e-3f);
    Step(skin, 0.4f);
    EXPECT_NEAR(Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR).z, 540.0f, 1e-3f);
    // A layer without motion scales what the caller gave.
    Layer(4);
    EXPECT_NEAR(Ask<Vector3>(skin, MSG_GET_MOTION_VECTOR, Vector3(0, 0, 10)).z, 10.0f, 1e-6f);
}

// Layer messages on the current layer, and the layer numbers past 10 that
// are ignored.
TEST_F(SkinMotionLayerTest, LayerMessagesActOnTheCurrentLayerAndIgnoreLayersPastTen) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}});
    Send(skin, MSG_SET_LAYER_BLEND_VALUE, 0.5f);
    EXPECT_EQ(skin->m_Layers[0].blend, 1.0f) << "layer 0 keeps its weight";
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);
    EXPECT_EQ(skin->m_Layers[0].bodyPart, 255u) << "layer 0 keeps every bone";
    EXPECT_FALSE(skin->m_SkinFlags & SKIN_UPPER_LAYERS);

    Layer(3);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 4);
    EXPECT_EQ(skin->m_Layers[3].bodyPart, 4u);
    EXPECT_TRUE(skin->m_SkinFlags & SKIN_UPPER_LAYERS);
    Send<uint32_t>(skin, MSG_SET_LAYER_DEST_BONE_LAYER, 0x102);
    EXPECT_EQ(skin->m_Layers[3].DestBoneLayer(), 2u);
    EXPECT_EQ(skin->m_Layers[3].Index(), 3u);
    skin->m_Layers[3].flags |= LAYER_WEIGHT_APPLIED;
    Send(skin, MSG_SET_LAYER_BLEND_VALUE, 0.5f);
    EXPECT_EQ(skin->m_Layers[3].blend, 0.5f);
    EXPECT_FALSE(skin->m_Layers[3].flags & LAYER_WEIGHT_APPLIED);
    const struct {
        float time, value, blend, rate;
        bool blending;
    } lerps[] = {
        {0.0f, 0.25f, 0.25f, 0.0f, false},  // at once
        {0.5f, 0.75f, 0.25f, 1.0f, true},
        {-0.5f, 0.75f, 0.25f, 1.0f, true},  // a negative time still moves toward the value
        {0.5f, 0.25f, 0.25f, 0.0f, false},  // already there
    };
    for (const auto& l : lerps) {
        float args[2] = {l.time, l.value};
        skin->m_Layers[3].blendRate = 0.0f;
        skin->HandleMessage(MSG_LERP_LAYER_BLEND_VALUE, Args_Of(args));
        EXPECT_EQ(skin->m_Layers[3].blend, l.blend) << l.time;
        EXPECT_EQ(skin->m_Layers[3].blendRate, l.rate) << l.time;
        EXPECT_EQ((skin->m_Layers[3].flags & LAYER_BLENDING) != 0, l.blending) << l.time;
    }
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 0);
    EXPECT_FALSE(skin->m_SkinFlags & SKIN_UPPER_LAYERS);

    for (uint32_t layer : {11u, 12u, 255u, 0xFFFFFFFFu}) {
        Layer(layer);
        EXPECT_EQ(skin->m_CurrentLayer, 3u) << layer;
        struct {
            char name[128];
            uint32_t layer;
        } blend{"Walk", layer};
        skin->HandleMessage(MSG_BLENDMOTION, Args_Of(&blend));
        EXPECT_EQ(skin->m_CurrentLayer, 3u);
    }
    for (const SkinMotionLayer& layer : skin->m_Layers) EXPECT_EQ(layer.motion, -1);
    struct {
        char name[128];
        uint32_t layer;
    } blend{"Walk", 6};
    skin->HandleMessage(MSG_BLENDMOTION, Args_Of(&blend));
    EXPECT_EQ(Playing(skin, 6), "Walk");
    EXPECT_EQ(skin->m_CurrentLayer, 3u) << "the current layer is restored";
}

// Times on the current layer's motion: "Set Current Normalized Time" 0.5
// of a 2.0 motion is 1.0; a layer without motion, or with a motion of
// length 0, answers 0.
TEST_F(SkinMotionLayerTest, TimesAreTheCurrentLayersAndNormalizedByItsMotion) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Empty", 0.0f}});
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME, 7.0f), 0.0f) << "no motion yet";
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    EXPECT_EQ(Send(skin, MSG_SET_CURRENT_NORMALIZED_TIME, 0.5f), 1);
    EXPECT_EQ(skin->m_Layers[0].time, 1.0f);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_TIME), 1.0f);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME), 0.5f);
    Send(skin, MSG_SET_CURRENT_TIME, 1.5f);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME), 0.75f);
    ASSERT_EQ(SetMotion(skin, "Empty"), 1);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME, 7.0f), 0.0f);
    Layer(5);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME, 7.0f), 0.0f);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_TIME), 999.0f);
}

// Layer 0 always plays something: "N_Neutral", else the first motion, else
// nothing at all; the fallback goes to layer 0 whichever layer is current.
TEST_F(SkinMotionLayerTest, LayerZeroFallsBackToNeutralAndAnEmptyListPlaysNothing) {
    Step(skin, 0.1f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    EXPECT_EQ(skin->MotionOf(skin->m_Layers[0]), nullptr);
    EXPECT_EQ(Ask<float>(skin, MSG_GET_CURRENT_NORMALIZED_TIME, 7.0f), 0.0f);
    EXPECT_EQ(SetMotion(skin, "N_Neutral"), 0);

    GiveMotions(skin, {{"Walk", 1.0f}, {"N_Neutral", 2.0f}});
    skin->m_Layers[0].motion = -1;
    Layer(2);
    Step(skin, 0.1f);
    EXPECT_EQ(Playing(skin), "N_Neutral");
    EXPECT_EQ(skin->m_Layers[2].motion, -1);
    EXPECT_EQ(skin->m_CurrentLayer, 2u);
    skin->m_Motions.erase(skin->m_Motions.begin() + 1);
    skin->m_Layers[0].motion = -1;
    Step(skin, 0.1f);
    EXPECT_EQ(Playing(skin), "Walk");
    skin->HandleMessage(MSG_SKIN_DELETE_ALL_MOTIONS, nullptr);
    Step(skin, 0.1f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    EXPECT_EQ(skin->MotionOf(skin->m_Layers[0]), nullptr);
}

// The motion events: with "Activate%d" containers (made by the sheet's
// button) the motion started on a layer starts its event actor and stops
// the one before; a motion started again tells its event actor "On
// Animation Loop". A killed SkinObject sends none of them.
TEST_F(SkinMotionLayerTest, EventActorsStartAndStopWithTheirMotions) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}, {"Wave", 1.0f}});
    skin->m_Motions[2].layer = 3;
    EXPECT_EQ(skin->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_471, nullptr), 2);
    CQVActor* activate0 = skin->FindChild("Activate0");
    CQVActor* activate3 = skin->FindChild("Activate3");
    ASSERT_NE(activate0, nullptr);
    ASSERT_NE(activate3, nullptr);
    CQVActor* walk = CQVActor::FindChildByName(activate0, "Walk");
    CQVActor* neutral = CQVActor::FindChildByName(activate0, "N_Neutral");
    ASSERT_NE(walk, nullptr);
    ASSERT_NE(neutral, nullptr);
    ASSERT_NE(CQVActor::FindChildByName(activate3, "Wave"), nullptr);
    EXPECT_EQ(CQVActor::FindChildByName(activate0, "Wave"), nullptr);
    skin->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_471, nullptr);
    EXPECT_EQ(activate0->m_Children.size(), 2u) << "pressed twice, each event actor is made once";

    EXPECT_FALSE(skin->m_SkinFlags & SKIN_EVENT_CONTAINERS);
    skin->HandleMessage(MSG_RESYNC_BONES, nullptr);
    EXPECT_TRUE(skin->m_SkinFlags & SKIN_EVENT_CONTAINERS);
    MessageSpy& seen = Watch({walk, neutral}, {MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE, MSG_ON_ANIMATION_LOOP});
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    ASSERT_EQ(SetMotion(skin, "Walk"), 1);
    // The slot starts out on the event actor of the name the layer asks for: "N_Neutral".
    EXPECT_EQ(seen.seen, (std::vector<SpiedMessage>{{"N_Neutral", MSG_ACTION_STOP_PRE, "", 0},
                                                    {"N_Neutral", MSG_ACTION_START_PRE, "", 0},
                                                    {"N_Neutral", MSG_ACTION_STOP_PRE, "", 0},
                                                    {"Walk", MSG_ACTION_START_PRE, "", 0},
                                                    {"Walk", MSG_ON_ANIMATION_LOOP, "", 0}}));
    seen.seen.clear();
    skin->m_ActionFlags |= ACTION_BLOCK_KILL_TO_CHILDREN;
    skin->HandleMessage(MSG_KILL, nullptr);
    ASSERT_TRUE(skin->m_Activity & ACTIVITY_KILLED);
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    EXPECT_TRUE(seen.seen.empty());
}

// "Resync Bones" without a "N_Neutral" motion but with a "Bones" child
// leaves the event slots as they were.
TEST_F(SkinMotionLayerTest, ResyncWithoutNeutralLeavesTheEventSlots) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"Walk", 1.0f}});
    skin->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_471, nullptr);
    skin->HandleMessage(MSG_RESYNC_BONES, nullptr);
    ASSERT_NE(skin->m_EventSlots[0].container.target, nullptr);
    MakeBase("Bones", skin);
    skin->m_Motions[0].name = "Idle";
    skin->m_EventSlots[0].container.SetTarget(nullptr);
    skin->HandleMessage(MSG_RESYNC_BONES, nullptr);
    EXPECT_EQ(skin->m_EventSlots[0].container.target, nullptr);
}

}  // namespace
