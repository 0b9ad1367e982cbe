// The AI Player's class record and sheet, its defaults, the attack and
// hit-effect rows, its record at every version gate, the state commands
// with their events, and the messages that change its state or its body's
// motion queue.

#include "tests/actors/characters/AIPlayerTestSupport.h"

namespace {

class AIPlayerTest : public AIPlayerFixture {
protected:
    void SetUp() override {
        AIPlayerFixture::SetUp();
        if (HasFatalFailure()) return;
        body = Body("Guard", Vector3(0.0f, 24.0f, 0.0f));
        ASSERT_NE(body, nullptr);
        ai = Controller(body);
        ASSERT_NE(ai, nullptr);
    }

    static std::vector<std::string> Names(CQVActor* actor, uint32_t id) {
        std::vector<std::string> names;
        std::vector<std::string>* list = &names;
        actor->HandleMessage(id, Args_Of(&list));
        return names;
    }
    static std::vector<std::string> Queue(CQVCharacter* character) {
        std::vector<std::string> names;
        for (uint32_t request : character->m_MotionQueue) {
            names.push_back(Character_MotionName(static_cast<char>(request & 0xFF), (request >> 8) & 0x3FFFFF));
        }
        return names;
    }

    CQVCharacter* body = nullptr;
    CQVAIPlayer* ai = nullptr;
};

TEST_F(AIPlayerTest, TheSheetHoldsItsFortySixRowsInOrderAndEveryPairItsTypes) {
    const ClassRecord& record = g_ClassRecords[CLASS_AI_PLAYER];
    EXPECT_EQ(record.name, "AI Player");
    EXPECT_EQ(record.description, "AI Player");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 29}));
    ExpectSheet(record, {
        {"AI Player Properties", 13, 0, 0},
        {"Set AI Type.", 12, 0, 0},
        {"Type:|Normal|0|Static|1|", 16, 1443, 1444},
        {"Can Open Door:", 17, 1491, 1492},
        {"Never Run In Fight:", 17, 1447, 1448},
        {"Delete If Not Drawn:", 12, 0, 0},
        {"Use Delete If Not Drawn:", 17, 1503, 1504},
        {"Delete Delay:", 33, 1505, 1506},
        {"Not Drawn Event Timer:", 12, 0, 0},
        {"Time:", 33, 1507, 1508},
        {"Follow Properties", 13, 0, 0},
        {"Start Follow:|On Action|0|On Follow Distance|1|On Hearing And Vision|2|", 16, 1462, 1463},
        {"Distance:", 4, 1451, 1452},
        {"Min Time:", 33, 1453, 1454},
        {"Max Time:", 33, 1455, 1456},
        {"Follow Group:", 32, 1459, 1460},
        {"Fight Properties", 13, 0, 0},
        {"Fight Dist:", 4, 1464, 1465},
        {"Hit Dist:", 4, 1466, 1467},
        {"Fight Group:", 32, 1468, 1469},
        {"Attack", 20, 1487, 1488},
        {"Add Attack|Add|", 14, 1489, 0},
        {"Delete Attack|Delete|", 14, 1490, 0},
        {"Attack Param", 12, 0, 0},
        {"Rand", 3, 1493, 1494},
        {"Eval Delay", 33, 1497, 1498},
        {"Eff Mul", 4, 1495, 1496},
        {"Can Fight In Go To State:", 17, 1449, 1450},
        {"Hit Effect Properties", 13, 0, 0},
        {"Character Animation Effect", 12, 0, 0},
        {"Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit 6|7|Gethit 7|8|"
         "Gethit 8|9|Gethit 9|10|",
         16, 1471, 1472},
        {"Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage 6|7|Damage 7|8|"
         "Damage 8|9|Damage 9|10|",
         16, 1473, 1474},
        {"Character Hold Time", 33, 1475, 1476},
        {"Hit Effect Management", 12, 0, 0},
        {"Effect", 20, 1479, 1480},
        {"Add Effect|Add|", 14, 1477, 0},
        {"Delete Effect|Delete|", 14, 1478, 0},
        {"Hit Effect", 12, 0, 0},
        {"Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|Vision|7|Fov|8|"
         "Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|Unused|14|",
         16, 1481, 1482},
        {"Value", 4, 1483, 1484},
        {"Time", 33, 1485, 1486},
        {"Death Properties", 13, 0, 0},
        {"Type:|Non|0|Delete|1|Spawn Random|2|Spawn On Place|3|", 16, 1499, 1500},
        {"Delay", 33, 1501, 1502},
        {"Memory Properties", 13, 0, 0},
        {"Use Memory:", 17, 1445, 1446},
    });
}

// A get and what a new AI Player answers to it, as a word.
struct DefaultCase {
    uint32_t get;
    uint32_t word;
};

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    return word;
}

TEST_F(AIPlayerTest, ANewAIPlayerAnswersItsDefaults) {
    CQVActor* fresh = Make(CLASS_AI_PLAYER, "Fresh");
    const DefaultCase cases[] = {
        {MSG_GET_AI_PLAYER_TYPE, 0},
        {MSG_GET_AI_PLAYER_CAN_OPEN_DOOR, 1},
        {MSG_GET_AI_PLAYER_NEVER_RUN_IN_FIGHT, 0},
        {MSG_GET_AI_PLAYER_DELETE_IF_NOT_DRAWN, 0},
        {MSG_GET_AI_PLAYER_DELETE_IF_NOT_DRAWN_TIME, Bits(0.0f)},
        {MSG_GET_AI_PLAYER_NOT_DRAWN_EVENT_TIME, Bits(0.0f)},
        {MSG_GET_AI_PLAYER_START_FOLLOW_TYPE, 0},
        {MSG_GET_AI_PLAYER_FOLLOW_DISTANCE, Bits(300.0f)},
        {MSG_GET_AI_PLAYER_FOLLOW_MIN_TIME, Bits(0.0f)},
        {MSG_GET_AI_PLAYER_FOLLOW_MAX_TIME, Bits(0.0f)},
        {MSG_GET_AI_PLAYER_FOLLOW_GROUP, 1},
        {MSG_GET_AI_PLAYER_FIGHT_DISTANCE, Bits(600.0f)},
        {MSG_GET_AI_PLAYER_FIGHT_HIT_DISTANCE, Bits(200.0f)},
        {MSG_GET_AI_PLAYER_FIGHT_GROUP, 1},
        {MSG_GET_AI_PLAYER_START_FIGHT_IN_GO_TO_STATE, 0},
        {MSG_GET_AI_PLAYER_HIT_GETHIT_ID, 0},
        {MSG_GET_AI_PLAYER_HIT_DAMAGE_ID, 0},
        {MSG_GET_AI_PLAYER_HIT_HOLD_TIME, Bits(0.0f)},
        {MSG_GET_AI_PLAYER_DEATH_TYPE, 0},
        {MSG_GET_AI_PLAYER_DEATH_DELAY, Bits(60.0f)},
        {MSG_GET_AI_PLAYER_USE_MEMORY, 0},
        {MSG_GET_AI_PLAYER_TURN_SPEED, Bits(1.0f)},
    };
    for (const DefaultCase& c : cases) EXPECT_EQ(Ask<uint32_t>(fresh, c.get, 0xDEADBEEF), c.word) << c.get;
    // Without a row selected the row pairs answer nothing.
    EXPECT_EQ(Ask<uint32_t>(fresh, MSG_GET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, 77), 77u);
    EXPECT_EQ(Ask<float>(fresh, MSG_GET_AI_PLAYER_HIT_EFFECT_VALUE, 7.0f), 7.0f);
    EXPECT_TRUE(Names(fresh, MSG_AI_PLAYER_ATTACK_NAMES).empty());
    const auto* model = static_cast<CQVAIPlayer*>(fresh);
    EXPECT_EQ(model->m_State, AI_STATE_IDLE);
    EXPECT_EQ(model->m_PreviousState, -1);
    EXPECT_EQ(model->m_LoopMotion, static_cast<uint32_t>(AI_MOTION_NEUTRAL));
    EXPECT_EQ(model->m_TrailMaxCount, 8u);
    EXPECT_EQ(model->m_AttackEvalTimer, 1e38f);
    EXPECT_EQ(model->m_SpawnNotify, 0xFFFFFFFFu);
}

TEST_F(AIPlayerTest, RowsAreAddedSelectedByTheirTextsEditedAndDeleted) {
    Tell(ai, MSG_ADD_AI_PLAYER_ATTACK_PARAM);
    Tell(ai, MSG_ADD_AI_PLAYER_ATTACK_PARAM);
    EXPECT_EQ(Names(ai, MSG_AI_PLAYER_ATTACK_NAMES), (std::vector<std::string>{"Attack0", "Attack1"}));
    // The new row is selected and shows the defaults.
    EXPECT_EQ(ai->m_SelectedAttack, 1);
    EXPECT_EQ(Ask<uint32_t>(ai, MSG_GET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT), 1u);
    EXPECT_EQ(Ask<float>(ai, MSG_GET_AI_PLAYER_ATTACK_PARAM_EFFECT_MUL), 1.0f);
    EXPECT_EQ(Ask<float>(ai, MSG_GET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY), 0.0f);
    Text(ai, MSG_SELECT_AI_PLAYER_ATTACK, "Attack0");
    Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, 3u);
    Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY, 0.4f);
    EXPECT_EQ(ai->m_Attacks[0].randWeight, 3u);
    EXPECT_EQ(ai->m_Attacks[0].evalDelay, 0.4f);
    EXPECT_EQ(ai->m_Attacks[1].randWeight, 1u);
    // A text no row has leaves the choice.
    Text(ai, MSG_SELECT_AI_PLAYER_ATTACK, "Attack7");
    EXPECT_EQ(ai->m_SelectedAttack, 0);
    Tell(ai, MSG_DELETE_AI_PLAYER_ATTACK_PARAM);
    ASSERT_EQ(ai->m_Attacks.size(), 1u);
    EXPECT_EQ(ai->m_Attacks[0].randWeight, 1u);
    EXPECT_EQ(ai->m_SelectedAttack, -1);
    // Without a choice a set changes nothing and a delete deletes nothing.
    Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, 9u);
    Tell(ai, MSG_DELETE_AI_PLAYER_ATTACK_PARAM);
    ASSERT_EQ(ai->m_Attacks.size(), 1u);
    EXPECT_EQ(ai->m_Attacks[0].randWeight, 1u);

    Tell(ai, MSG_ADD_AI_PLAYER_HIT_EFFECT);
    EXPECT_EQ(Names(ai, MSG_AI_PLAYER_HIT_EFFECT_NAMES), (std::vector<std::string>{"Hit Effect 0"}));
    EXPECT_EQ(Ask<uint32_t>(ai, MSG_GET_AI_PLAYER_HIT_EFFECT_TYPE, 9), 0u);
    EXPECT_EQ(Ask<float>(ai, MSG_GET_AI_PLAYER_HIT_EFFECT_VALUE), 100.0f);
    EXPECT_EQ(Ask<float>(ai, MSG_GET_AI_PLAYER_HIT_EFFECT_TIME), 5.0f);
    Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_TYPE, 12u);
    Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_VALUE, -30.0f);
    EXPECT_EQ(ai->m_HitEffects[0].type, 12u);
    EXPECT_EQ(ai->m_HitEffects[0].value, -30.0f);
    Tell(ai, MSG_DELETE_AI_PLAYER_HIT_EFFECT);
    EXPECT_TRUE(ai->m_HitEffects.empty());
    EXPECT_EQ(ai->m_SelectedHitEffect, -1);
}

TEST_F(AIPlayerTest, TheGroupMessagesWithANumberSetAndClearOneBit) {
    const uint32_t on[2] = {3, 1}, off[2] = {1, 0}, outside[2] = {33, 1};
    ai->HandleMessage(MSG_SET_AI_PLAYER_FOLLOW_GROUP_5B5, Args_Of(on));
    EXPECT_EQ(ai->m_FollowGroup, 0x5u);
    ai->HandleMessage(MSG_SET_AI_PLAYER_FOLLOW_GROUP_5B5, Args_Of(off));
    EXPECT_EQ(ai->m_FollowGroup, 0x4u);
    ai->HandleMessage(MSG_SET_AI_PLAYER_FIGHT_GROUP_5BE, Args_Of(on));
    ai->HandleMessage(MSG_SET_AI_PLAYER_FIGHT_GROUP_5BE, Args_Of(outside));
    EXPECT_EQ(ai->m_FightGroup, 0x5u);
    Send(ai, MSG_SET_AI_PLAYER_FIGHT_GROUP_5BC, 0x80u);
    EXPECT_EQ(Ask<uint32_t>(ai, MSG_GET_AI_PLAYER_FIGHT_GROUP), 0x80u);
}

TEST_F(AIPlayerTest, TheRecordHoldsTwentySevenWordsThenFourForEveryRow) {
    CQVAIPlayer fresh;
    const std::vector<uint32_t> words = Character_Words(Character_Write(&fresh, 70), Character_Write(&fresh, 70, true));
    const std::vector<uint32_t> expected = {
        0, 0, 1, 0, 0, Bits(0.0f), Bits(0.0f), 0,  // type, memory, doors, fight in go to, delete, delay, event time, run
        Bits(300.0f), Bits(0.0f), Bits(0.0f),      // follow distance, min and max time
        0, 1,                                      // start follow, follow group
        Bits(600.0f), Bits(200.0f), 1,             // fight and hit distance, fight group
        0,                                         // hit effects
        0, 0, Bits(0.0f),                          // gethit, damage, hold time
        0,                                         // attacks
        0, Bits(60.0f),                            // death type and delay
        Bits(1.0f),                                // turn speed
        Bits(0.0f), 0, 0xFFFFFFFF,                 // time in state, state, previous state
    };
    EXPECT_EQ(words, expected);

    ai->m_HitEffects = {HitEffect{12, -25.0f, 2.0f}};
    ai->m_Attacks = {AttackParam{2, 1.5f, 0.3f}, AttackParam{}};
    ai->m_State = AI_STATE_GO_TO;
    ai->m_PreviousState = AI_STATE_IDLE;
    ai->m_TimeInState = 4.5f;
    const std::string record = Character_Write(ai, 70);
    const std::vector<uint32_t> rows = Character_Words(record, Character_Write(ai, 70, true));
    ASSERT_EQ(rows.size(), 27u + 4u * 3u);
    EXPECT_EQ(std::vector<uint32_t>(rows.begin() + 16, rows.begin() + 21),
              (std::vector<uint32_t>{1, 12, Bits(-25.0f), Bits(2.0f), 0}));
    EXPECT_EQ(std::vector<uint32_t>(rows.begin() + 24, rows.begin() + 33),
              (std::vector<uint32_t>{2, 2, Bits(1.5f), Bits(0.3f), 0, 1, Bits(1.0f), Bits(0.0f), 0}));

    CQVAIPlayer loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, 70, &left), 1);
    EXPECT_EQ(left, 0u);
    ASSERT_EQ(loaded.m_HitEffects.size(), 1u);
    EXPECT_EQ(loaded.m_HitEffects[0].type, 12u);
    EXPECT_EQ(loaded.m_HitEffects[0].value, -25.0f);
    ASSERT_EQ(loaded.m_Attacks.size(), 2u);
    EXPECT_EQ(loaded.m_Attacks[0].randWeight, 2u);
    EXPECT_EQ(loaded.m_Attacks[0].evalDelay, 0.3f);
    EXPECT_EQ(loaded.m_State, AI_STATE_GO_TO);
    EXPECT_EQ(loaded.m_PreviousState, AI_STATE_IDLE);
    EXPECT_EQ(loaded.m_TimeInState, 4.5f);
}

// A file version and how many words the record holds after the base fields.
struct VersionCase {
    uint32_t version;
    size_t words;
};

class AIPlayerVersions : public AIPlayerTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(AIPlayerVersions, AnOlderFileHoldsTheFieldsOfItsGatesAndKeepsTheOthersDefault) {
    const VersionCase c = GetParam();
    ai->m_FollowDistance = 123.0f;
    ai->m_FightGroup = 6;
    ai->m_Attacks = {AttackParam{4, 2.0f, 0.5f}};
    ai->m_DeathType = AI_DEATH_DELETE;
    ai->m_TurnSpeed = 2.0f;
    ai->m_State = AI_STATE_SCARED;
    const std::string record = Character_Write(ai, c.version);
    const size_t rows = c.version >= 19 ? 4 : 0;
    EXPECT_EQ(Character_Words(record, Character_Write(ai, c.version, true)).size(), c.words + rows);
    CQVAIPlayer loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, c.version, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_FollowDistance, c.version >= 19 ? 123.0f : 300.0f);
    EXPECT_EQ(loaded.m_FightGroup, c.version >= 27 ? 6u : 1u);
    EXPECT_EQ(loaded.m_Attacks.size(), c.version >= 19 ? 1u : 0u);
    EXPECT_EQ(loaded.m_DeathType, c.version >= 21 ? 1u : 0u);
    EXPECT_EQ(loaded.m_TurnSpeed, c.version >= 41 ? 2.0f : 1.0f);
    // Before version 45 a loaded AI Player starts idle.
    EXPECT_EQ(loaded.m_State, c.version >= 45 ? AI_STATE_SCARED : AI_STATE_IDLE);
}

INSTANTIATE_TEST_SUITE_P(Gates, AIPlayerVersions,
                         testing::Values(VersionCase{1, 8}, VersionCase{18, 8}, VersionCase{19, 18},
                                         VersionCase{21, 20}, VersionCase{27, 23}, VersionCase{41, 24},
                                         VersionCase{44, 24}, VersionCase{45, 27}));

TEST_F(AIPlayerTest, ACountTheRestOfTheFileCannotHoldIsADamagedRecord) {
    ai->m_HitEffects = {HitEffect{}};
    std::string record = Character_Write(ai, 70);
    const size_t base = Character_Write(ai, 70, true).size();
    // The hit-effect count is the seventeenth word after the base fields.
    const uint32_t lie = 0x10000000;
    std::memcpy(&record[base + 16 * 4], &lie, 4);
    CQVAIPlayer loaded;
    loaded.m_HitEffects = {HitEffect{3, 1.0f, 1.0f}};
    EXPECT_EQ(Character_Read(&loaded, record, 70), 0);
    ASSERT_EQ(loaded.m_HitEffects.size(), 1u);
    EXPECT_EQ(loaded.m_HitEffects[0].type, 3u);
}

TEST_F(AIPlayerTest, PrecalculateBindsTheBodyAndALoadedFightOrFollowFallsBackToIdleQuietly) {
    EXPECT_EQ(ai->Character(), body);
    EXPECT_EQ(body->m_ControllerId, ai->m_Id);
    EXPECT_EQ(body->m_CharacterType, CHARACTER_GUARD);
    EXPECT_EQ(body->m_DirectionBehaviour, 0u);
    EXPECT_FALSE(body->InputLocked());
    EXPECT_EQ(ai->m_InitialHealth, 99.0f);
    EXPECT_EQ(Playing(SkinOf(body)), "N_Neutral");
    ASSERT_EQ(body->m_CommandSpies.size(), 1u);
    EXPECT_EQ(body->m_CommandSpies[0]->target, ai);
    EXPECT_NE(ai->FindTimedMessage(MSG_PROCESS), nullptr);
    // The ticket list grows with each run; the weights stay what they were.
    ai->m_Attacks = {AttackParam{2, 1.0f, 0.0f}, AttackParam{1, 1.0f, 0.0f}};
    ai->m_State = AI_STATE_FIGHT;
    WatchEvents(ai);
    Tell(ai, MSG_PRECALCULATE);
    EXPECT_EQ(ai->m_AttackTickets, (std::vector<uint32_t>{0, 0, 1}));
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(ai->m_PreviousState, -1);
    EXPECT_TRUE(Events().empty());
    ai->m_State = AI_STATE_GO_TO;
    Tell(ai, MSG_PRECALCULATE);
    EXPECT_EQ(ai->m_State, AI_STATE_GO_TO);
    ASSERT_EQ(body->m_CommandSpies.size(), 1u);
    // "Kill" takes it off the body's spies.
    Tell(ai, MSG_KILL);
    EXPECT_TRUE(body->m_CommandSpies.empty());
}

// A state command, the state it leaves the AI Player in and the events it raises.
struct StateCase {
    int32_t from;
    uint32_t command;
    int32_t to;
    std::vector<uint32_t> events;
};

class AIPlayerStates : public AIPlayerTest, public testing::WithParamInterface<StateCase> {};

TEST_P(AIPlayerStates, AStateCommandRaisesTheExitAndEntryEventsInOrder) {
    const StateCase& c = GetParam();
    ai->SetState(c.from);
    ai->m_TimeInState = 3.0f;
    WatchEvents(ai);
    Tell(ai, c.command);
    EXPECT_EQ(ai->m_State, c.to);
    EXPECT_EQ(Events(), c.events);
    EXPECT_EQ(ai->m_TimeInState, c.from == c.to ? 3.0f : 0.0f);
    if (c.from != c.to) {
        EXPECT_EQ(ai->m_PreviousState, c.from);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AIPlayerStates,
    testing::Values(
        StateCase{AI_STATE_IDLE, MSG_SET_AI_PLAYER_STATE_SCARED, AI_STATE_SCARED,
                  {MSG_ON_AI_PLAYER_STOP_IDLE, MSG_ON_AI_PLAYER_START_SCARED}},
        StateCase{AI_STATE_SCARED, MSG_SET_AI_PLAYER_STATE_IDLE, AI_STATE_IDLE,
                  {MSG_ON_AI_PLAYER_STOP_SCARED, MSG_ON_AI_PLAYER_SCARED_TO_IDLE, MSG_ON_AI_PLAYER_START_IDLE}},
        StateCase{AI_STATE_FOLLOW, MSG_SET_AI_PLAYER_STATE_SCARED, AI_STATE_SCARED,
                  {MSG_ON_AI_PLAYER_STOP_FOLLOW, MSG_ON_AI_PLAYER_FOLLOW_TO_SCARED, MSG_ON_AI_PLAYER_START_SCARED}},
        StateCase{AI_STATE_FOLLOW, MSG_SET_AI_PLAYER_STATE_IDLE, AI_STATE_IDLE,
                  {MSG_ON_AI_PLAYER_STOP_FOLLOW, MSG_ON_AI_PLAYER_FOLLOW_TO_IDLE, MSG_ON_AI_PLAYER_START_IDLE}},
        StateCase{AI_STATE_FIGHT, MSG_SET_AI_PLAYER_STATE_INACTIVE, AI_STATE_INACTIVE,
                  {MSG_ON_AI_PLAYER_STOP_FIGHT}},
        StateCase{AI_STATE_DEAD, MSG_SET_AI_PLAYER_STATE_IDLE, AI_STATE_IDLE,
                  {MSG_ON_AI_PLAYER_STOP_DEAD, MSG_ON_AI_PLAYER_START_IDLE}},
        StateCase{AI_STATE_INACTIVE, MSG_SET_AI_PLAYER_STATE_SCARED, AI_STATE_SCARED, {MSG_ON_AI_PLAYER_START_SCARED}},
        // The state it has already: no events, and the time in it runs on.
        StateCase{AI_STATE_SCARED, MSG_SET_AI_PLAYER_STATE_SCARED, AI_STATE_SCARED, {}}));

TEST_F(AIPlayerTest, EnteringFollowFromIdleTellsBothAndStartsTheTrail) {
    CQVCharacter* leader = Body("Leader", Vector3(300.0f, 24.0f, 0.0f));
    ai->SetTarget(leader);
    WatchEvents(ai);
    ai->SetState(AI_STATE_FOLLOW);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_IDLE, MSG_ON_AI_PLAYER_IDLE_TO_FOLLOW,
                                              MSG_ON_AI_PLAYER_START_FOLLOW}));
    EXPECT_EQ(ai->m_TrailLeader, leader->m_Id);
    EXPECT_EQ(ai->m_TrailPeriod, 0.2f);
    EXPECT_EQ(ai->m_FollowTrail, 1u);
    ai->SetState(AI_STATE_FIGHT);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_FOLLOW, MSG_ON_AI_PLAYER_FOLLOW_TO_FIGHT,
                                              MSG_ON_AI_PLAYER_START_FIGHT}));
}

TEST_F(AIPlayerTest, ScaredGoesBackToIdleAfterTwoSeconds) {
    Tell(ai, MSG_SET_AI_PLAYER_STATE_SCARED);
    WatchEvents(ai);
    Seconds(1.9f);
    EXPECT_EQ(ai->m_State, AI_STATE_SCARED);
    Seconds(0.2f);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_SCARED, MSG_ON_AI_PLAYER_SCARED_TO_IDLE,
                                              MSG_ON_AI_PLAYER_START_IDLE}));
    EXPECT_EQ(Playing(SkinOf(body)), "N_Neutral");
}

TEST_F(AIPlayerTest, GoToCommandsSetThePointsAndTheMotionAndANullActorChangesNothing) {
    const Vector3 point(500.0f, 24.0f, 0.0f);
    Send(ai, MSG_AI_PLAYER_GO_TO_POSITION, point);
    EXPECT_EQ(ai->m_State, AI_STATE_GO_TO);
    ASSERT_EQ(ai->m_GoToPoints.size(), 1u);
    EXPECT_EQ(ai->m_GoToPoints[0].x, 500.0f);
    EXPECT_EQ(ai->m_GoToMotion, static_cast<uint32_t>(AI_MOTION_RUN));
    CQVActor* post = Make(CLASS_BASE, "Post");
    Send(post, MSG_SET_POSITION, Vector3(-200.0f, 0.0f, 40.0f));
    Send(ai, MSG_AI_PLAYER_WALK_TO_ACTOR, post);
    ASSERT_EQ(ai->m_GoToPoints.size(), 1u);
    EXPECT_EQ(ai->m_GoToPoints[0].x, -200.0f);
    EXPECT_EQ(ai->m_GoToMotion, static_cast<uint32_t>(AI_MOTION_WALK));
    ai->SetState(AI_STATE_IDLE);
    EXPECT_TRUE(ai->m_GoToPoints.empty());
    CQVActor* none = nullptr;
    for (uint32_t id : {MSG_AI_PLAYER_GO_TO_ACTOR, MSG_AI_PLAYER_WALK_TO_ACTOR, MSG_AI_PLAYER_RUN_TO_ACTOR}) {
        Send(ai, id, none);
        EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
        EXPECT_TRUE(ai->m_GoToPoints.empty());
    }
    // A name that finds nothing leaves the state as it is.
    Text(ai, MSG_AI_PLAYER_SEARCH_AND_GO_TO_ACTOR, "Nobody");
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
}

TEST_F(AIPlayerTest, AnObstacleBacksTheBodyAwayAndAJumpNeedsAJumpMotion) {
    ai->SetState(AI_STATE_SCARED);
    Tell(ai, MSG_AI_PLAYER_OBSTACLE);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(ai->m_Cooldown, 5.0f);
    EXPECT_EQ(Queue(body), (std::vector<std::string>{"M_Back"}));
    // The body has no jump motion: the shaft's jump is an obstacle too, and no jump is queued.
    EXPECT_EQ(ai->m_CanJump, 0u);
    Tell(ai, MSG_AI_PLAYER_OBSTACLE_JUMP);
    EXPECT_TRUE(body->m_CommandQueue.empty());
    ai->SetState(AI_STATE_SCARED);
    Tell(ai, MSG_AI_PLAYER_SHAFT_JUMP);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    ai->m_CanJump = 1;
    Tell(ai, MSG_AI_PLAYER_SHAFT_JUMP);
    EXPECT_EQ(body->m_CommandQueue, (std::vector<uint32_t>{MSG_CC_JUMP}));
}

TEST_F(AIPlayerTest, ACopyTakesTheFieldsRowsAndTarget) {
    CQVCharacter* enemy = Body("Enemy", Vector3(200.0f, 24.0f, 0.0f));
    ai->m_Attacks = {AttackParam{3, 2.0f, 0.1f}};
    ai->m_HitEffects = {HitEffect{4, 10.0f, 1.0f}};
    ai->m_FightDistance = 450.0f;
    ai->m_Trail = {Vector3(1.0f, 2.0f, 3.0f)};
    ai->SetTarget(enemy);
    CQVActor* copy = g_ActorSystem->CreateActor(CLASS_AI_PLAYER, "Copy", ai, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(copy, nullptr);
    auto* twin = static_cast<CQVAIPlayer*>(copy);
    EXPECT_EQ(twin->m_Attacks.size(), 1u);
    EXPECT_EQ(twin->m_Attacks[0].randWeight, 3u);
    EXPECT_EQ(twin->m_HitEffects[0].type, 4u);
    EXPECT_EQ(twin->m_FightDistance, 450.0f);
    EXPECT_EQ(twin->m_Trail.size(), 1u);
    EXPECT_EQ(twin->Target(), enemy);
    EXPECT_EQ(twin->m_TargetLink.owner, twin);
}

TEST_F(AIPlayerTest, ATargetThatIsDeletedLeavesTheControllerInactiveWithNothingDangling) {
    CQVCharacter* enemy = Body("Enemy", Vector3(150.0f, 24.0f, 0.0f));
    ai->SetTarget(enemy);
    ai->SetState(AI_STATE_FIGHT);
    Frames(10);
    ASSERT_EQ(ai->m_TrailLeader, enemy->m_Id);
    g_ActorSystem->DeleteActor(enemy);
    EXPECT_EQ(ai->Target(), nullptr);
    EXPECT_EQ(ai->m_State, AI_STATE_INACTIVE);
    // The trail's leader is held by id: the frames that follow find it gone.
    Frames(30);
    EXPECT_EQ(ai->m_State, AI_STATE_INACTIVE);
}

}  // namespace
