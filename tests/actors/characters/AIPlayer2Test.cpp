// The AI Player 2 on real Characters: its class record and sheet, its
// record at versions 68 and 69, the binding to the body, its skin and its
// sensors, the state commands with their events, the go-to and voice
// commands, the pre-fight countdown on a fixed clock, the follow motion by
// distance, the aim layers and head bone brought to the skin, an enemy that
// enters the vision volume in the collision pass, and the shelter chosen
// among the helpers of the body's draw group from a seeded generator.

#include "actors/characters/AIPlayer2.h"
#include "actors/characters/SkinObject.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/SimState.h"
#include "kernel/base/Random.h"
#include "services/mesh/Skeleton.h"
#include "tests/actors/characters/AIPlayerTestSupport.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kStand = 24.0f;
constexpr uint32_t kSensorFlags = COLOBJ_ACTIVE | COLOBJ_RECEIVES;

std::vector<uint32_t> AIPlayer2Events() {
    std::vector<uint32_t> ids;
    for (uint32_t id = MSG_ON_AI_PLAYER2_START_ATTACK; id <= MSG_ON_AI_PLAYER2_SOUND_NOTIFY; ++id) ids.push_back(id);
    return ids;
}

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    return word;
}

// The block of the messages that carry an actor and a number.
struct ActorAndNumber {
    CQVActor* actor;
    uint32_t number;
};

// An actor that answers what a leader is asked: its stance letter and health.
class LeaderStandIn : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_STATE_34A) {
            const char text[2] = {letter, 0};
            Args_AnswerText(args, 0, text);
            return 1;
        }
        if (id == MSG_GET_HEALTH) {
            Args_Answer(args, 50.0f);
            return 1;
        }
        return CQVActor::HandleMessage(id, args);
    }
    char letter = 'N';
};

class AIPlayer2Test : public AIPlayerFixture {
protected:
    void SetUp() override {
        AIPlayerFixture::SetUp();
        if (HasFatalFailure()) return;
        body = Body("Guard", Vector3(0.0f, kStand, 0.0f));
        ASSERT_NE(body, nullptr);
        ai = Controller2(body);
        ASSERT_NE(ai, nullptr);
    }

    CQVAIPlayer2* Controller2(CQVActor* parent) {
        auto* made = static_cast<CQVAIPlayer2*>(Make(CLASS_AI_PLAYER_2, "AI2", parent));
        if (made) made->HandleMessage(MSG_PRECALCULATE, nullptr);
        return made;
    }
    void Watch2(CQVActor* actor) { Watch({actor}, AIPlayer2Events()); }
    static void SendActorAndNumber(CQVActor* to, uint32_t id, CQVActor* actor, uint32_t number) {
        const ActorAndNumber block{actor, number};
        to->HandleMessage(id, Args_Of(&block));
    }

    CQVCharacter* body = nullptr;
    CQVAIPlayer2* ai = nullptr;
};

TEST_F(AIPlayer2Test, TheSheetHoldsItsSevenRowsAndANewControllerItsDefaults) {
    const ClassRecord& record = g_ClassRecords[CLASS_AI_PLAYER_2];
    EXPECT_EQ(record.name, "AI Player 2");
    EXPECT_EQ(record.description, "Do Not Use This!!!");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 50}));
    ExpectSheet(record, {
        {"AI Player 2 Properties", 13, 0, 0},
        {"Go To Group:", 32, 1546, 1547},
        {"Fight Group:", 32, 1543, 1544},
        {"Vision Ray Collision Groups:", 12, 0, 0},
        {"Group:", 32, 1564, 1565},
        {"Recive:", 32, 1566, 1567},
        {"Exclude:", 32, 1568, 1569},
    });
    ASSERT_EQ(g_AIPlayer2StateNames.size(), 14u);
    EXPECT_EQ(g_AIPlayer2StateNames[2], "Pre Fight");
    EXPECT_EQ(g_AIPlayer2StateNames[11], "GoTo Shelter");
    EXPECT_EQ(g_AIPlayer2StateNames[13], "");

    CQVActor* fresh = Make(CLASS_AI_PLAYER_2, "Fresh");
    EXPECT_EQ(Ask<float>(fresh, MSG_GET_AI_PLAYER2_PRE_FIGHT_TIME, 9.0f), 0.0f);
    EXPECT_EQ(Ask<uint32_t>(fresh, MSG_GET_AI_PLAYER2_FIND_SHELTER_ENABLE, 9), 1u);
    EXPECT_EQ(Ask<float>(fresh, MSG_GET_AI_PLAYER2_FIND_SHELTER_RADIUS), 1200.0f);
    EXPECT_EQ(Ask<uint32_t>(fresh, MSG_GET_AI_PLAYER2_FIGHT_GROUP, 9), 0u);
    const auto* model = static_cast<CQVAIPlayer2*>(fresh);
    EXPECT_EQ(model->m_State, AI2_STATE_IDLE);
    EXPECT_EQ(model->m_PreviousState, 0xFFFFFFFFu);
    EXPECT_EQ(model->m_IdleMotion, "N_Neutral");
    EXPECT_EQ(model->m_TrailPeriod, 2.0f);
    EXPECT_EQ(model->m_AvoidDirection.y, 1.0f);
    // The numbered group messages set and clear one bit; a number outside 1 to 32 none.
    const uint32_t on[2] = {3, 1}, off[2] = {1, 0}, outside[2] = {0, 1};
    for (uint32_t id : {MSG_SET_AI_PLAYER2_FIGHT_GROUP_609, MSG_SET_AI_PLAYER2_GOTO_GROUP_60C}) {
        fresh->HandleMessage(id, Args_Of(on));
        fresh->HandleMessage(id, Args_Of(outside));
    }
    fresh->HandleMessage(MSG_SET_AI_PLAYER2_FIGHT_GROUP_609, Args_Of(off));
    EXPECT_EQ(model->m_FightGroup, 0x4u);
    EXPECT_EQ(Ask<uint32_t>(fresh, MSG_GET_AI_PLAYER2_GOTO_GROUP), 0x4u);
    Text(fresh, MSG_SET_AI_PLAYER2_IDLE_MOTION, "N_Guarding");
    EXPECT_EQ(model->m_IdleMotion, "N_Guarding");
}

// A file version and the words of the record after the base fields.
struct PayloadCase {
    uint32_t version;
    std::vector<uint32_t> words;
};

class AIPlayer2Payload : public AIPlayer2Test, public testing::WithParamInterface<PayloadCase> {};

TEST_P(AIPlayer2Payload, TheRecordHoldsTheGroupsAndTheRayMasksFromTheirVersions) {
    const PayloadCase& c = GetParam();
    ai->m_GoToGroup = 0x5;
    ai->m_FightGroup = 0x2;
    ai->m_PreFightTime = 1.5f;
    ai->m_RayGroup = 0x10;
    ai->m_RayReceive = 0x20;
    ai->m_RayExclude = 0x40;
    ai->m_State = AI2_STATE_FIGHT;
    const std::string record = Character_Write(ai, c.version);
    EXPECT_EQ(Character_Words(record, Character_Write(ai, c.version, true)), c.words);
    CQVAIPlayer2 loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, c.version, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_GoToGroup, 0x5u);
    EXPECT_EQ(loaded.m_FightGroup, 0x2u);
    EXPECT_EQ(loaded.m_PreFightTime, 1.5f);
    const bool rays = c.version >= 69;
    EXPECT_EQ(loaded.m_RayGroup, rays ? 0x10u : 0u);
    EXPECT_EQ(loaded.m_RayReceive, rays ? 0x20u : 0u);
    EXPECT_EQ(loaded.m_RayExclude, rays ? 0x40u : 0u);
    // The state is not stored.
    EXPECT_EQ(loaded.m_State, AI2_STATE_IDLE);
}

INSTANTIATE_TEST_SUITE_P(Versions, AIPlayer2Payload,
                         testing::Values(PayloadCase{68, {0x5, 0x2, Bits(1.5f), 0}},
                                         PayloadCase{69, {0x5, 0x2, Bits(1.5f), 0, 0x10, 0x20, 0x40, 0, 0, 0}}));

TEST_F(AIPlayer2Test, PrecalculateBindsTheBodyTheAimLayersAndTheSensorsOnce) {
    CQVCharacter* other = Body("Other", Vector3(500.0f, kStand, 0.0f));
    CQVActor* vision = Make(CLASS_BASE, "Vision", other);
    CQVActor* hearing = Make(CLASS_BASE, "Hearing", Make(CLASS_BASE, "Ears", other));
    other->m_DirectionBehaviour = 0;
    CQVAIPlayer2* second = Controller2(other);
    ASSERT_NE(second, nullptr);
    Tell(second, MSG_PRECALCULATE);
    EXPECT_EQ(second->Body(), other);
    EXPECT_TRUE(other->IsLocal());
    EXPECT_EQ(other->m_DirectionBehaviour, 2u);
    EXPECT_EQ(other->m_CharacterType, CHARACTER_GUARD);
    ASSERT_EQ(second->m_AimLayers.size(), 2u);
    EXPECT_EQ(second->m_AimLayers[0].layer, 2u);
    EXPECT_EQ(second->m_AimLayers[1].layer, 3u);
    EXPECT_EQ(second->m_AimLayers[1].time, 0.5f);
    EXPECT_EQ(second->m_VisionLink.target, vision);
    EXPECT_EQ(second->m_HearingLink.target, hearing);
    EXPECT_NE(second->HeadBone(), nullptr);
    // Run twice, it spies on each once.
    for (CQVActor* spied : {static_cast<CQVActor*>(other), vision, hearing}) {
        ASSERT_EQ(spied->m_CommandSpies.size(), 1u) << spied->m_Name;
        EXPECT_EQ(spied->m_CommandSpies[0]->target, second);
    }
    EXPECT_NE(second->FindTimedMessage(MSG_PROCESS), nullptr);

    // A parent without a skin: bound, but no layers, no sensors and no step.
    CQVActor* post = Make(CLASS_BASE, "Post");
    CQVAIPlayer2* bare = Controller2(post);
    EXPECT_EQ(bare->Body(), post);
    EXPECT_TRUE(bare->m_AimLayers.empty());
    EXPECT_EQ(bare->FindTimedMessage(MSG_PROCESS), nullptr);
    EXPECT_EQ(bare->HeadBone(), nullptr);
}

// A state command, the state it leaves the controller in and the events it raises.
struct StateCase {
    uint32_t from;
    uint32_t command;
    float preFightTime;
    uint32_t to;
    std::vector<uint32_t> events;
};

class AIPlayer2States : public AIPlayer2Test, public testing::WithParamInterface<StateCase> {};

TEST_P(AIPlayer2States, AStateCommandRaisesTheStopAndStartEventsInOrder) {
    const StateCase& c = GetParam();
    CQVCharacter* other = Body("Other", Vector3(300.0f, kStand, 0.0f));
    ai->m_TargetLink.SetTarget(other);
    ai->SetState(c.from);
    ai->m_PreFightTime = c.preFightTime;
    ai->m_TimeInState = 3.0f;
    ai->m_Trail = {Vector3(1.0f, 2.0f, 3.0f)};
    Watch2(ai);
    CQVActor* argument = other;
    Send(ai, c.command, argument);
    EXPECT_EQ(ai->m_State, c.to);
    std::vector<uint32_t> events;
    for (const SpiedMessage& m : spy->seen) events.push_back(m.id);
    EXPECT_EQ(events, c.events);
    // The state it has already: nothing changes.
    EXPECT_EQ(ai->m_TimeInState, c.from == c.to ? 3.0f : 0.0f);
    EXPECT_EQ(ai->m_Trail.size(), c.from == c.to ? 1u : 0u);
    if (c.from != c.to) {
        EXPECT_EQ(ai->m_PreviousState, c.from);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AIPlayer2States,
    testing::Values(
        StateCase{AI2_STATE_IDLE, MSG_SET_AI_PLAYER2_STATE_PRE_FIGHT, 1.0f, AI2_STATE_PRE_FIGHT,
                  {MSG_ON_AI_PLAYER2_STOP_IDLE, MSG_ON_AI_PLAYER2_START_PRE_FIGHT}},
        // No pre fight time: straight into the fight, without the pre-fight events.
        StateCase{AI2_STATE_IDLE, MSG_SET_AI_PLAYER2_STATE_PRE_FIGHT, 0.0f, AI2_STATE_FIGHT,
                  {MSG_ON_AI_PLAYER2_STOP_IDLE, MSG_ON_AI_PLAYER2_START_FIGHT}},
        StateCase{AI2_STATE_FIGHT, MSG_SET_AI_PLAYER2_STATE_HIDE, 0.0f, AI2_STATE_HIDE,
                  {MSG_ON_AI_PLAYER2_STOP_FIGHT, MSG_ON_AI_PLAYER2_STOP_ATTACK, MSG_ON_AI_PLAYER2_START_HIDE}},
        StateCase{AI2_STATE_FOLLOW, MSG_SET_AI_PLAYER2_STATE_RELEASE, 0.0f, AI2_STATE_RELEASE,
                  {MSG_ON_AI_PLAYER2_STOP_FOLLOW, MSG_ON_AI_PLAYER2_START_RELEASE}},
        StateCase{AI2_STATE_RELEASE, MSG_SET_AI_PLAYER2_STATE_FOLLOW, 0.0f, AI2_STATE_FOLLOW,
                  {MSG_ON_AI_PLAYER2_STOP_RELEASE, MSG_ON_AI_PLAYER2_START_FOLLOW}},
        StateCase{AI2_STATE_SCARED, MSG_SET_AI_PLAYER2_STATE_INACTIVE, 0.0f, AI2_STATE_INACTIVE,
                  {MSG_ON_AI_PLAYER2_START_INACTIVE}},
        StateCase{AI2_STATE_INACTIVE, MSG_SET_AI_PLAYER2_STATE_SCARED, 0.0f, AI2_STATE_SCARED,
                  {MSG_ON_AI_PLAYER2_STOP_INACTIVE}},
        StateCase{AI2_STATE_DEAD, MSG_SET_AI_PLAYER2_STATE_IDLE, 0.0f, AI2_STATE_IDLE,
                  {MSG_ON_AI_PLAYER2_STOP_DEAD, MSG_ON_AI_PLAYER2_START_IDLE}},
        StateCase{AI2_STATE_HIDE, MSG_SET_AI_PLAYER2_STATE_HIDE, 0.0f, AI2_STATE_HIDE, {}}));

TEST_F(AIPlayer2Test, FightAndFollowStartTheirMotionAndInactiveSwitchesTheAimLayersOff) {
    CQVCharacter* other = Body("Other", Vector3(300.0f, kStand, 0.0f));
    CQVActor* none = nullptr;
    // A null actor is ignored.
    Send(ai, MSG_SET_AI_PLAYER2_STATE_FIGHT, none);
    EXPECT_EQ(ai->m_State, AI2_STATE_IDLE);
    Send<CQVActor*>(ai, MSG_SET_AI_PLAYER2_STATE_FIGHT, other);
    EXPECT_EQ(ai->Target(), other);
    EXPECT_EQ(ai->m_WantedMotion, "M_Forward");
    EXPECT_EQ(Playing(SkinOf(body)), "M_Forward");
    EXPECT_EQ(ai->m_Tracking, 1u);
    Send<CQVActor*>(ai, MSG_SET_AI_PLAYER2_STATE_FOLLOW, other);
    EXPECT_EQ(Playing(SkinOf(body)), "N_Forward");

    CQVSkinObject* skin = SkinOf(body);
    MessageSpy& layers = Watch({skin}, {MSG_SET_CURRENT_LAYER, MSG_SET_LAYER_BLEND_VALUE});
    Tell(ai, MSG_SET_AI_PLAYER2_STATE_INACTIVE);
    Tell(ai, MSG_SET_AI_PLAYER2_STATE_IDLE);
    const std::vector<SpiedMessage> expected = {
        {"Skin", MSG_SET_CURRENT_LAYER, "", 2},  {"Skin", MSG_SET_LAYER_BLEND_VALUE, "", Bits(0.0f)},
        {"Skin", MSG_SET_CURRENT_LAYER, "", 3},  {"Skin", MSG_SET_LAYER_BLEND_VALUE, "", Bits(0.0f)},
        {"Skin", MSG_SET_CURRENT_LAYER, "", 0},  {"Skin", MSG_SET_CURRENT_LAYER, "", 2},
        {"Skin", MSG_SET_LAYER_BLEND_VALUE, "", Bits(1.0f)}, {"Skin", MSG_SET_CURRENT_LAYER, "", 3},
        {"Skin", MSG_SET_LAYER_BLEND_VALUE, "", Bits(1.0f)}, {"Skin", MSG_SET_CURRENT_LAYER, "", 0},
    };
    EXPECT_EQ(layers.seen, expected);
}

TEST_F(AIPlayer2Test, GoToIsObeyedInIdleOrGoToByItsGroupAndRunsOrWalks) {
    CQVActor* post = Make(CLASS_BASE, "Post");
    Send(post, MSG_SET_POSITION, Vector3(0.0f, kStand, 900.0f));
    // Group 3 is bit 2.
    ai->m_GoToGroup = 0x4;
    SendActorAndNumber(ai, MSG_AI_PLAYER2_GO_TO_ACTOR, post, 2);
    EXPECT_EQ(ai->m_State, AI2_STATE_IDLE);
    EXPECT_EQ(ai->GoToGoal(), post);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_GO_TO_ACTOR, post, 0);
    EXPECT_EQ(ai->m_State, AI2_STATE_IDLE);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_RUN_TO_ACTOR, nullptr, 3);
    EXPECT_EQ(ai->m_State, AI2_STATE_IDLE);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_GO_TO_ACTOR, post, 3);
    EXPECT_EQ(ai->m_State, AI2_STATE_GOTO);
    EXPECT_EQ(ai->m_RunFlag, 0u);
    Frame();
    EXPECT_EQ(ai->m_WantedMotion, "S_Forward");
    // The heading points the body at the goal: the yaw from the goal to the body.
    EXPECT_NEAR(body->m_RotY, Vec3_YawBetween(body->GetWorldPosition(), post->GetWorldPosition()), 1e-4f);
    EXPECT_NEAR(body->m_TurnSpeed, 0.8f, 1e-6f);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_RUN_TO_ACTOR, post, 3);
    EXPECT_EQ(ai->m_RunFlag, 1u);
    Frame();
    EXPECT_EQ(ai->m_WantedMotion, "R_Forward");
    EXPECT_NEAR(body->m_TurnSpeed, 3.2f, 1e-6f);
    // Not in a fight.
    ai->SetState(AI2_STATE_FIGHT);
    CQVActor* elsewhere = Make(CLASS_BASE, "Elsewhere");
    SendActorAndNumber(ai, MSG_AI_PLAYER2_GO_TO_ACTOR, elsewhere, 3);
    EXPECT_EQ(ai->m_State, AI2_STATE_FIGHT);
    EXPECT_EQ(ai->GoToGoal(), post);
    // The wanted motion reaches the body at the end of a loop.
    ai->m_WantedMotion = "N_Forward";
    Send<uint32_t>(body, MSG_CALLBACK_SKINLOOPING, 1);
    EXPECT_EQ(Playing(SkinOf(body)), "M_Forward");
    Send<uint32_t>(body, MSG_CALLBACK_SKINLOOPING, 0);
    EXPECT_EQ(Playing(SkinOf(body)), "N_Forward");
}

TEST_F(AIPlayer2Test, VoiceCommandsIdleFollowAndShelterAndCommandTwoDoesNothing) {
    CQVCharacter* speaker = Body("Speaker", Vector3(300.0f, kStand, 0.0f));
    ai->SetState(AI2_STATE_GOTO);
    Watch2(ai);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_VOICE_COMMAND, speaker, 2);
    EXPECT_EQ(ai->m_State, AI2_STATE_GOTO);
    EXPECT_EQ(ai->Target(), nullptr);
    EXPECT_TRUE(spy->seen.empty());
    SendActorAndNumber(ai, MSG_AI_PLAYER2_VOICE_COMMAND, speaker, 1);
    EXPECT_EQ(ai->m_State, AI2_STATE_FOLLOW);
    EXPECT_EQ(ai->Target(), speaker);
    // No helpers: no shelter, so the controller hides and lets the target go.
    SendActorAndNumber(ai, MSG_AI_PLAYER2_VOICE_COMMAND, speaker, 3);
    EXPECT_EQ(ai->m_State, AI2_STATE_HIDE);
    EXPECT_EQ(ai->Target(), nullptr);
    SendActorAndNumber(ai, MSG_AI_PLAYER2_VOICE_COMMAND, speaker, 0);
    EXPECT_EQ(ai->m_State, AI2_STATE_IDLE);

    // A sound of the body itself is not noticed; another's lasts three seconds.
    spy->seen.clear();
    const struct {
        CQVActor* source;
        float a, b;
    } own{body, 1.0f, 1.0f}, noise{speaker, 1.0f, 1.0f};
    static_assert(sizeof(own) == 16);
    ai->HandleMessage(MSG_AI_PLAYER2_SOUND_NOTIFY, Args_Of(&own));
    EXPECT_EQ(ai->m_SoundFlag, 0u);
    ai->HandleMessage(MSG_AI_PLAYER2_SOUND_NOTIFY, Args_Of(&noise));
    EXPECT_EQ(ai->m_SoundFlag, 1u);
    EXPECT_EQ(ai->m_SoundSource, "Speaker");
    EXPECT_EQ(ai->m_SoundPosition.x, 300.0f);
    ASSERT_EQ(spy->seen.size(), 1u);
    EXPECT_EQ(spy->seen[0].id, MSG_ON_AI_PLAYER2_SOUND_NOTIFY);
    Frames(2, 1.0f);
    EXPECT_EQ(ai->m_SoundFlag, 1u);
    Frames(2, 1.0f);
    EXPECT_EQ(ai->m_SoundFlag, 0u);
}

TEST_F(AIPlayer2Test, PreFightTurnsToFightInTheFirstFrameAfterItsTime) {
    CQVCharacter* enemy = Body("Enemy", Vector3(0.0f, kStand, -400.0f), 0x2);
    Send(ai, MSG_SET_AI_PLAYER2_PRE_FIGHT_TIME, 2.0f);
    Send<CQVActor*>(ai, MSG_SET_AI_PLAYER2_STATE_PRE_FIGHT, enemy);
    ASSERT_EQ(ai->m_State, AI2_STATE_PRE_FIGHT);
    Watch2(ai);
    Frames(8, 0.25f);
    EXPECT_EQ(ai->m_State, AI2_STATE_PRE_FIGHT);
    EXPECT_EQ(ai->m_TimeInState, 2.0f);
    EXPECT_EQ(ai->m_WantedMotion, "N_Special6");
    EXPECT_TRUE(spy->seen.empty());
    Frame(0.25f);
    EXPECT_EQ(ai->m_State, AI2_STATE_FIGHT);
    std::vector<uint32_t> events;
    for (const SpiedMessage& m : spy->seen) events.push_back(m.id);
    EXPECT_EQ(events, (std::vector<uint32_t>{MSG_ON_AI_PLAYER2_STOP_PRE_FIGHT, MSG_ON_AI_PLAYER2_START_FIGHT}));
    EXPECT_EQ(ai->m_TargetDistance, 400.0f);
}

// A leader's distance and stance, and the motion a follower wants for it.
struct FollowCase {
    float distance;
    char letter;
    const char* motion;
};

class AIPlayer2Follow : public AIPlayer2Test, public testing::WithParamInterface<FollowCase> {};

TEST_P(AIPlayer2Follow, TheFollowMotionGoesByTheLeadersDistanceAndStance) {
    const FollowCase& c = GetParam();
    LeaderStandIn leader;
    leader.letter = c.letter;
    // Not in the actor system: placed once, before its matrix is first asked for.
    leader.m_Position = body->GetWorldPosition() + Vector3(c.distance, 0.0f, 0.0f);
    ai->m_TargetLink.SetTarget(&leader);
    ai->SetState(AI2_STATE_FOLLOW);
    Frame();
    EXPECT_NEAR(ai->m_TargetDistance, c.distance, 0.5f);
    EXPECT_EQ(ai->m_WantedMotion, c.motion);
    ai->m_TargetLink.Unlink();
}

INSTANTIATE_TEST_SUITE_P(Distances, AIPlayer2Follow,
                         testing::Values(FollowCase{700.0f, 'N', "R_Forward"}, FollowCase{600.0f, 'R', "R_Forward"},
                                         FollowCase{300.0f, 'N', "N_Forward"}, FollowCase{220.0f, 'N', "N_Forward"},
                                         FollowCase{100.0f, 'N', "N_Neutral"}, FollowCase{700.0f, 'C', "C_Forward"},
                                         FollowCase{220.0f, 'C', "C_Forward"}, FollowCase{100.0f, 'C', "C_Neutral"}));

TEST_F(AIPlayer2Test, TheAimLayerTimesAndTheHeadReachTheSkinEachFrame) {
    Frame();
    // A point ahead and to the side: the aim turns fully toward it in one step.
    const Matrix& world = body->GetWorldMatrix();
    const Vector3 ahead(-world.m[2][0], 0.0f, -world.m[2][2]);
    const Vector3 centre = body->AskValue<Vector3>(MSG_GET_CENTER_POINT, body->GetWorldPosition());
    const Vector3 point = centre + ahead * 400.0f + Vector3(300.0f, 200.0f, 0.0f);
    ai->m_FrameDt = 1.0f;
    ai->AimAt(point, 10.0f);
    const float bodyYaw = Vec3_GetYaw(Vector3(world.m[0][2], world.m[1][2], world.m[2][2]));
    const float yawTo = Vec3_YawBetween(centre, point);
    EXPECT_NEAR(ai->m_AimYaw, bodyYaw + yawTo - 0.1f, 1e-4f);
    EXPECT_NEAR(ai->m_AimPitch, Vec3_PitchBetween(centre, point), 1e-4f);
    EXPECT_NEAR(ai->m_AimError, 0.1f, 1e-4f);
    EXPECT_EQ(body->m_LookRotXSpeed, 100.0f);
    const float t0 = std::clamp(ai->m_AimPitch / 1.5707964f + 0.5f, 0.01f, 0.99f);
    const float t1 = 1.0f - std::clamp(ai->m_AimYaw / 6.2831855f + 0.5f, 0.01f, 0.99f);
    EXPECT_NEAR(ai->m_AimLayers[0].time, t0, 1e-5f);
    EXPECT_NEAR(ai->m_AimLayers[1].time, t1, 1e-5f);
    ai->m_HeadTilt = 0.2f;
    ai->m_HeadTurn = -0.3f;
    // The aim layers play motions of their own, which the times scrub.
    CQVSkinObject* skin = SkinOf(body);
    for (const auto& [layer, motion] : {std::pair<uint32_t, const char*>{2, "M_Forward"}, {3, "N_Forward"}}) {
        Send(skin, MSG_SET_CURRENT_LAYER, layer);
        Text(skin, MSG_SET_MOTION, motion);
    }
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 0);
    MessageSpy& layers = Watch({skin}, {MSG_SET_CURRENT_LAYER});
    ai->Process();
    EXPECT_EQ(Playing(skin, 2), "M_Forward");
    EXPECT_NEAR(skin->m_Layers[2].time, ai->m_AimLayers[0].time * 0.5f, 1e-6f);
    EXPECT_NEAR(skin->m_Layers[3].time, ai->m_AimLayers[1].time * 1.0f, 1e-6f);
    const std::vector<SpiedMessage> expected = {
        {"Skin", MSG_SET_CURRENT_LAYER, "", 2}, {"Skin", MSG_SET_CURRENT_LAYER, "", 3},
        {"Skin", MSG_SET_CURRENT_LAYER, "", 0}};
    EXPECT_EQ(layers.seen, expected);
    EXPECT_EQ(skin->m_CurrentLayer, 0u);
    Bone* head = ai->HeadBone();
    ASSERT_NE(head, nullptr);
    Quaternion q;
    Quat_FromYawPitchRoll(&q, 0.2f + 0.15f, -0.3f, 0.0f);
    EXPECT_NEAR(head->layers[2].rotation.x, q.x, 1e-6f);
    EXPECT_NEAR(head->layers[2].rotation.w, q.w, 1e-6f);
    EXPECT_EQ(head->layers[2].weight, 1.0f);

    // A point behind the body: the aim goals go back to 0 and the look slows.
    ai->m_FrameDt = 1.0f;
    ai->AimAt(centre - ahead * 400.0f, 10.0f);
    EXPECT_EQ(ai->m_AimYaw, 0.0f);
    EXPECT_EQ(ai->m_AimPitch, 0.0f);
    EXPECT_EQ(body->m_LookRotXSpeed, 20.0f);
    EXPECT_EQ(body->m_LookRotYSpeed, 20.0f);
    // The head turns a quarter turn at most.
    ai->m_AimYaw = 0.0f;
    ai->m_FrameDt = 1.0f;
    ai->LookAt(centre + ahead * 10.0f + Vector3(-ahead.z, 0.0f, ahead.x) * 4000.0f, 10.0f);
    EXPECT_NEAR(std::fabs(ai->m_HeadTurn), 0.7853982f, 1e-5f);
}

TEST_F(AIPlayer2Test, AMissingHeadBoneAndADeletedTargetAreCheckedNotFollowed) {
    // A skin whose skeleton has no "Head": its frames run without the head.
    QvmBone root;
    root.name = "Root";
    Mat4_Identity(&root.offset);
    AddBoneMesh(kFigureMesh + 1, "Headless", {root});
    auto* headless = static_cast<CQVCharacter*>(Make(CLASS_CHARACTER, "Headless"));
    CQVSkinObject* skin = SkinOf(headless);
    ASSERT_NE(skin, nullptr);
    CQVMeshItem* mesh = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh + 1));
    skin->HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
    GiveCharacterMotions(skin, AIBodyMotions());
    Tell(headless, MSG_PRECALCULATE);
    Send(headless, MSG_SET_HEALTH, 99.0f);
    CQVAIPlayer2* blind = Controller2(headless);
    ASSERT_NE(blind->FindTimedMessage(MSG_PROCESS), nullptr);
    blind->m_HeadTilt = 0.5f;
    Frames(3);
    EXPECT_EQ(blind->HeadBone(), nullptr);
    ASSERT_NE(skin->GetSkeleton(), nullptr);
    EXPECT_NE(Skeleton_FindBone(skin->GetSkeleton(), "Root"), nullptr);
    EXPECT_EQ(blind->m_State, AI2_STATE_IDLE);
    CQVCharacter* enemy = Body("Enemy", Vector3(0.0f, kStand, -300.0f), 0x2);
    Send<CQVActor*>(ai, MSG_SET_AI_PLAYER2_STATE_FIGHT, enemy);
    ai->m_AttackFlag = 1;
    Frames(3);
    g_ActorSystem->DeleteActor(enemy);
    EXPECT_EQ(ai->Target(), nullptr);
    Frames(30);
    EXPECT_EQ(ai->m_State, AI2_STATE_FIGHT);
    // A target whose health runs out is let go, and its attack stops.
    CQVCharacter* second = Body("Second", Vector3(0.0f, kStand, -300.0f), 0x2);
    ai->m_TargetLink.SetTarget(second);
    ai->m_FightGroup = 0x2;
    ai->m_AttackFlag = 1;
    Send(second, MSG_SET_HEALTH, 0.0f);
    Watch2(ai);
    Frame();
    EXPECT_EQ(ai->Target(), nullptr);
    EXPECT_EQ(ai->m_AttackFlag, 0u);
    ASSERT_FALSE(spy->seen.empty());
    EXPECT_EQ(spy->seen[0].id, MSG_ON_AI_PLAYER2_STOP_ATTACK);
    // Its own body's death.
    Send(body, MSG_SET_HEALTH, 0.0f);
    Frame();
    EXPECT_EQ(ai->m_State, AI2_STATE_DEAD);
}

// The attack flag before, the state, the sight times and the aim error, and
// whether the flag is set afterwards with the event raised.
struct AttackCase {
    uint32_t state;
    uint32_t flag;
    float visible, hidden, aimError;
    uint32_t after;
    std::vector<uint32_t> events;
};

class AIPlayer2Attack : public AIPlayer2Test, public testing::WithParamInterface<AttackCase> {};

TEST_P(AIPlayer2Attack, TheAttackStartsAndStopsByTheAimErrorAndTheSight) {
    const AttackCase& c = GetParam();
    CQVCharacter* enemy = Body("Enemy", Vector3(0.0f, kStand, -300.0f), 0x2);
    ai->m_TargetLink.SetTarget(enemy);
    ai->SetState(c.state);
    ai->m_FightGroup = 0x2;
    ai->m_AttackFlag = c.flag;
    ai->m_VisibleTime = c.visible;
    ai->m_HiddenTime = c.hidden;
    ai->m_AimError = c.aimError;
    Watch2(ai);
    // Too short a step for a sight sample.
    ai->TargetUpkeep(0.01f);
    EXPECT_EQ(ai->m_AttackFlag, c.after);
    std::vector<uint32_t> events;
    for (const SpiedMessage& m : spy->seen) events.push_back(m.id);
    EXPECT_EQ(events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    AimErrors, AIPlayer2Attack,
    testing::Values(AttackCase{AI2_STATE_FIGHT, 0, 1.0f, 0.0f, 0.7f, 0, {}},
                    AttackCase{AI2_STATE_FIGHT, 0, 1.0f, 0.0f, -0.4f, 1, {MSG_ON_AI_PLAYER2_START_ATTACK}},
                    AttackCase{AI2_STATE_SHELTER, 0, 1.0f, 0.0f, 0.4f, 1, {MSG_ON_AI_PLAYER2_START_ATTACK}},
                    AttackCase{AI2_STATE_FIGHT, 0, 0.0f, 1.0f, 0.1f, 0, {}},
                    AttackCase{AI2_STATE_FIGHT, 1, 1.0f, 0.0f, 0.7f, 1, {}},
                    AttackCase{AI2_STATE_FIGHT, 1, 1.0f, 0.0f, -1.1f, 0, {MSG_ON_AI_PLAYER2_STOP_ATTACK}},
                    AttackCase{AI2_STATE_GOTO_SHELTER, 1, 0.0f, 0.4f, 0.0f, 0, {MSG_ON_AI_PLAYER2_STOP_ATTACK}},
                    // Hiding, an attack started in a shelter stays flagged.
                    AttackCase{AI2_STATE_HIDE, 1, 0.0f, 0.4f, 2.0f, 1, {}}));

TEST_F(AIPlayer2Test, ANewEnemyTakesOverAfterFourSecondsInTheStateAndSinceTheLastSwitch) {
    CQVCharacter* first = Body("First", Vector3(0.0f, kStand, -300.0f), 0x2);
    CQVCharacter* second = Body("Second", Vector3(300.0f, kStand, 0.0f), 0x2);
    ai->m_FightGroup = 0x2;
    Send<CQVActor*>(ai, MSG_SET_AI_PLAYER2_STATE_FIGHT, first);
    ai->SetState(AI2_STATE_GOTO_SHELTER);
    ai->m_NewEnemyLink.SetTarget(second);
    ai->m_AttackFlag = 1;
    ai->m_TimeInState = 3.9f;
    ai->m_SwitchTimer = 10.0f;
    ai->NewEnemyUpkeep(0.01f);
    EXPECT_EQ(ai->Target(), first);
    ai->m_TimeInState = 4.1f;
    Watch2(ai);
    ai->NewEnemyUpkeep(0.01f);
    EXPECT_EQ(ai->Target(), second);
    EXPECT_EQ(ai->m_SwitchTimer, 0.0f);
    EXPECT_EQ(ai->m_AttackFlag, 0u);
    EXPECT_EQ(ai->m_State, AI2_STATE_FIGHT);
    std::vector<uint32_t> events;
    for (const SpiedMessage& m : spy->seen) events.push_back(m.id);
    EXPECT_EQ(events, (std::vector<uint32_t>{MSG_ON_AI_PLAYER2_STOP_ATTACK, MSG_ON_AI_PLAYER2_STOP_GOTO_SHELTER,
                                              MSG_ON_AI_PLAYER2_START_FIGHT}));
    // Entering the fight let the new enemy go; a dead one is let go as well.
    EXPECT_EQ(ai->NewEnemy(), nullptr);
    ai->m_NewEnemyLink.SetTarget(first);
    Send(first, MSG_SET_HEALTH, 0.0f);
    ai->m_TimeInState = ai->m_SwitchTimer = 5.0f;
    ai->NewEnemyUpkeep(0.01f);
    EXPECT_EQ(ai->NewEnemy(), nullptr);
    EXPECT_EQ(ai->Target(), second);
}

TEST_F(AIPlayer2Test, WallContactsTurnTheBodyAsideForAMomentAndARunEndsItAtOnce) {
    SimState* state = body->m_SimState;
    if (state == nullptr) body->m_SimState = state = new SimState;
    state->contacts.clear();
    for (const Vector3& normal : {Vector3(0.0f, 1.0f, 0.0f), Vector3(-1.0f, 0.0f, 0.0f)}) {
        SimContact contact{};
        std::memcpy(contact.words + 3, &normal, sizeof normal);
        state->contacts.push_back(contact);
    }
    ASSERT_FALSE(body->m_ColObjs.empty());
    ColObj wall;
    wall.owner = floor;
    wall.flags = 0x4000000;
    const ColObj* pair[2] = {&wall, &body->m_ColObjs[0]};
    // A volume the AI is told to ignore turns nothing.
    body->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_EQ(ai->m_AvoidFlag, 0u);
    wall.flags = COLOBJ_ACTIVE;
    body->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_EQ(ai->m_AvoidFlag, 1u);
    EXPECT_EQ(ai->m_AvoidTime, 0.3f);
    // The wall's normal joins the upward start: only the wall counts, the floor does not.
    EXPECT_NEAR(ai->m_AvoidDirection.x, -0.7071068f, 1e-6f);
    EXPECT_NEAR(ai->m_AvoidDirection.y, 0.7071068f, 1e-6f);
    ai->AvoidanceExpiry(0.2f);
    EXPECT_EQ(ai->m_AvoidFlag, 1u);
    ai->AvoidanceExpiry(0.2f);
    EXPECT_EQ(ai->m_AvoidFlag, 0u);
    EXPECT_EQ(Vec3_Length(ai->m_AvoidDirection), 0.0f);
    body->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    body->m_MotionLetter = 'R';
    ai->AvoidanceExpiry(0.01f);
    EXPECT_EQ(ai->m_AvoidFlag, 0u);
    EXPECT_EQ(ai->m_AvoidTime, -1.0f);
}

TEST_F(AIPlayer2Test, TheTrailKeepsFortyPointsMoreThanTenApart) {
    CQVActor* leader = Make(CLASS_BASE, "Leader");
    ai->m_TargetLink.SetTarget(leader);
    ai->m_Tracking = 1;
    for (int i = 0; i < 50; ++i) {
        Send(leader, MSG_SET_POSITION, Vector3(20.0f * static_cast<float>(i), 0.0f, 0.0f));
        ai->TrailUpkeep(0.3f);
    }
    ASSERT_EQ(ai->m_Trail.size(), 40u);
    EXPECT_EQ(ai->m_Trail.front().x, 200.0f);
    EXPECT_EQ(ai->m_TrailPeriod, 0.25f);
    // Ten or less from the newest point: not recorded.
    Send(leader, MSG_SET_POSITION, Vector3(990.0f, 0.0f, 0.0f));
    ai->TrailUpkeep(0.3f);
    EXPECT_EQ(ai->m_Trail.back().x, 980.0f);
    // Between samples nothing is recorded.
    Send(leader, MSG_SET_POSITION, Vector3(1200.0f, 0.0f, 0.0f));
    ai->TrailUpkeep(0.1f);
    EXPECT_EQ(ai->m_Trail.back().x, 980.0f);
}

TEST_F(AIPlayer2Test, TheWayToAShelterEndsWithinAHundredAndAShelterWithoutEnemiesEndsInHiding) {
    CQVCharacter* enemy = Body("Enemy", Vector3(0.0f, kStand, -900.0f), 0x2);
    ai->m_TargetLink.SetTarget(enemy);
    ai->SetState(AI2_STATE_GOTO_SHELTER);
    const auto frameWithShelterAt = [&](float distance) {
        ai->m_ShelterPoint = body->GetWorldPosition() + Vector3(distance, 0.0f, 0.0f);
        Frame();
    };
    frameWithShelterAt(500.0f);
    EXPECT_EQ(ai->m_WantedMotion, "R_Forward");
    frameWithShelterAt(300.0f);
    EXPECT_EQ(ai->m_WantedMotion, "N_Forward");
    frameWithShelterAt(120.0f);
    EXPECT_EQ(ai->m_WantedMotion, "N_Special7");
    EXPECT_EQ(ai->m_State, AI2_STATE_GOTO_SHELTER);
    Watch2(ai);
    frameWithShelterAt(99.9f);
    EXPECT_EQ(ai->m_State, AI2_STATE_SHELTER);
    Seconds(3.9f);
    EXPECT_EQ(ai->m_State, AI2_STATE_SHELTER);
    EXPECT_EQ(ai->m_WantedMotion, "C_Neutral");
    Seconds(0.2f);
    EXPECT_EQ(ai->m_State, AI2_STATE_HIDE);
    std::vector<uint32_t> events;
    for (const SpiedMessage& m : spy->seen) events.push_back(m.id);
    EXPECT_EQ(events, (std::vector<uint32_t>{MSG_ON_AI_PLAYER2_STOP_GOTO_SHELTER, MSG_ON_AI_PLAYER2_START_SHELTER,
                                              MSG_ON_AI_PLAYER2_STOP_SHELTER, MSG_ON_AI_PLAYER2_START_HIDE}));
}

// ---------------------------------------------------------------------------
// With sensors and the collision pass

class AIPlayer2GameTest : public AIPlayer2Test {
protected:
    // A sensor actor under the body: one receiving box of the half size about the body's centre.
    CQVActor* Sensor(CQVActor* parent, const char* name, float half) {
        CQVActor* sensor = Make(CLASS_BASE, name, parent);
        ColObj volume;
        volume.name = name;
        volume.flags = kSensorFlags;
        volume.boxMin = Vector3(-half, -half, -half);
        volume.boxMax = Vector3(half, half, half);
        volume.owner = sensor;
        volume.UpdateDerivedGroups(CLASS_BASE);
        sensor->m_ColObjs.push_back(volume);
        // A volume that moves with the body: a mover of the body's draw group.
        sensor->m_Flags &= ~ACTOR_STATIC;
        sensor->m_DrawGroupId = group->m_DrawGroupId;
        g_ActorSystem->AddToDrawGroup(sensor, 0);
        return sensor;
    }
};

TEST_F(AIPlayer2GameTest, AnEnemyEnteringTheVisionVolumeStartsPreFight) {
    CQVCharacter* guard = Body("Watcher", Vector3(0.0f, kStand, 0.0f), 0x1);
    Sensor(guard, "Vision", 500.0f);
    CQVAIPlayer2* watcher = Controller2(guard);
    ASSERT_NE(watcher->m_VisionLink.target, nullptr);
    watcher->m_FightGroup = 0x2 | 0x4;
    watcher->m_PreFightTime = 1.0f;
    // The sight ray passes through triggers and sensors.
    watcher->m_RayGroup = 0xFFFFFFFF;
    watcher->m_RayReceive = 0xFFFFFFFF;
    watcher->m_RayExclude = 0x48010;
    Watch2(watcher);
    // A friend of both groups is never an enemy.
    CQVCharacter* friendly = Body("Friend", Vector3(-1000.0f, kStand, -2000.0f), 0x1 | 0x2);
    CQVCharacter* enemy = Body("Enemy", Vector3(1000.0f, kStand, -2000.0f), 0x2);
    Frames(5);
    EXPECT_EQ(watcher->m_State, AI2_STATE_IDLE);
    Send(friendly, MSG_SET_POSITION, Vector3(0.0f, kStand, -300.0f));
    Frames(5);
    EXPECT_EQ(watcher->m_State, AI2_STATE_IDLE);
    Send(enemy, MSG_SET_POSITION, Vector3(200.0f, kStand, -300.0f));
    for (int i = 0; i < 10 && watcher->m_State == AI2_STATE_IDLE; ++i) Frame();
    EXPECT_EQ(watcher->m_State, AI2_STATE_PRE_FIGHT);
    EXPECT_EQ(watcher->Target(), enemy);
    ASSERT_GE(spy->seen.size(), 2u);
    EXPECT_EQ(spy->seen[0].id, MSG_ON_AI_PLAYER2_STOP_IDLE);
    EXPECT_EQ(spy->seen[1].id, MSG_ON_AI_PLAYER2_START_PRE_FIGHT);
}

TEST_F(AIPlayer2GameTest, AShelterIsChosenAmongTheHelpersByScoreAndABlockedRay) {
    // The threat is far along +x; shelters stand between, a wall behind each blocks the ray but the last.
    const Vector3 threat(3000.0f, kStand, 0.0f);
    struct HelperCase {
        Vector3 at;
        uint32_t type;
        bool wall;
    };
    const HelperCase cases[] = {
        {Vector3(300.0f, kStand, 300.0f), AI_HELPER_SHELTER, true},
        {Vector3(400.0f, kStand, -300.0f), AI_HELPER_SHELTER, true},
        {Vector3(200.0f, kStand, 0.0f), AI_HELPER_NODE, true},        // not a shelter
        {Vector3(5000.0f, kStand, 2000.0f), AI_HELPER_SHELTER, true},  // beyond the radius
        {Vector3(100.0f, kStand, 100.0f), AI_HELPER_SHELTER, false},   // nothing hides it
    };
    std::vector<CQVAIHelper*> helpers;
    for (const HelperCase& c : cases) {
        auto* helper = static_cast<CQVAIHelper*>(Make(CLASS_AI_HELPER, "Helper", group));
        helper->m_HelperType = c.type;
        Send(helper, MSG_SET_POSITION, c.at);
        helpers.push_back(helper);
        // Seen from the threat, just in front of the helper.
        if (c.wall) AddBlock("Cover", c.at + Vector3(40.0f, -100.0f, -60.0f), c.at + Vector3(60.0f, 200.0f, 60.0f));
    }
    helpers[1]->m_Box = Vector3(100.0f, 80.0f, 100.0f);
    ai->m_RayGroup = 1;
    ai->m_RayReceive = 1;
    Frame();
    Send<uint32_t>(body, MSG_ON_ENTER_DRAWGROUP, group->m_DrawGroupId);
    ASSERT_EQ(ai->m_Helpers.size(), helpers.size());
    ai->m_OwnPosition = body->GetWorldPosition();

    for (uint32_t seed : {1u, 7u, 12345u}) {
        // The scores the generator gives the candidates, in list order: helpers 0, 1 and 4.
        Random_Seed(seed);
        float score[3];
        const int candidates[3] = {0, 1, 4};
        for (int i = 0; i < 3; ++i) {
            const float d = Vec3_Length(helpers[candidates[i]]->GetWorldPosition() - ai->m_OwnPosition);
            score[i] = static_cast<float>(Random_Next() % 800) + d;
        }
        // Helper 4 is never chosen: nothing blocks the ray behind it.
        const int best = score[0] <= score[1] ? 0 : 1;
        Random_Seed(seed);
        ai->m_ShelterHelper = ACTOR_ID_NONE;
        ASSERT_TRUE(ai->FindShelter(threat, 1200.0f)) << seed;
        CQVAIHelper* chosen = helpers[candidates[best]];
        EXPECT_EQ(ai->m_ShelterHelper, chosen->m_Id) << seed;
        const Vector3 at = chosen->GetWorldPosition();
        const Vector3 behind = at + Vec3_Normalized(at - threat) * 150.0f;
        EXPECT_NEAR(ai->m_ShelterPoint.x, behind.x, 1e-3f);
        EXPECT_NEAR(ai->m_ShelterPoint.y, behind.y - 0.5f * chosen->m_Box.y, 1e-3f);
        EXPECT_NEAR(ai->m_ShelterPoint.z, behind.z, 1e-3f);
        // The current shelter is left out: the other one is found next.
        const uint32_t first = ai->m_ShelterHelper;
        ASSERT_TRUE(ai->FindShelter(threat, 1200.0f));
        EXPECT_NE(ai->m_ShelterHelper, first);
        EXPECT_EQ(ai->m_ShelterHelper, helpers[candidates[1 - best]]->m_Id);
    }
    // A small radius leaves no candidate.
    ai->m_ShelterHelper = ACTOR_ID_NONE;
    EXPECT_FALSE(ai->FindShelter(threat, 50.0f));
}

}  // namespace
