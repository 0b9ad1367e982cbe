// The Guard: its class record and sheet, its record at every version gate,
// "Set Guard Type" with its node child or areas, the node walk for the end
// types, the state commands with and without events, the state clocks on a
// fixed frame clock, the dead types, and detection by a collision event its
// body reports.

#include "actors/characters/Guard.h"
#include "actors/characters/PathNode.h"
#include "tests/actors/characters/AIPlayerTestSupport.h"

namespace {

void ExpectPoint(const Vector3& a, const Vector3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-3f);
    EXPECT_NEAR(a.y, b.y, 1e-3f);
    EXPECT_NEAR(a.z, b.z, 1e-3f);
}

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    return word;
}

// Motions that carry the body nowhere: the state clocks alone decide.
const std::vector<CharacterMotion>& StillMotions() {
    static const std::vector<CharacterMotion> motions = {
        {"N_Neutral", 1.0f},  {"N_Forward", 1.0f}, {"R_Forward", 0.6f}, {"S_Neutral", 1.0f},
        {"N_Guarding", 1.0f}, {"N_Exhausted", 1.0f}, {"N_Die0", 1.0f},  {"N_Dead0", 1.0f},
    };
    return motions;
}

const std::vector<uint32_t>& GuardEvents() {
    static const std::vector<uint32_t> events = {
        MSG_ON_GUARD_START_SLEEP, MSG_ON_GUARD_STOP_SLEEP, MSG_ON_GUARD_START_PATROL, MSG_ON_GUARD_STOP_PATROL,
        MSG_ON_GUARD_START_HUNT, MSG_ON_GUARD_STOP_HUNT, MSG_ON_GUARD_START_RETURN_TO_PATROL,
        MSG_ON_GUARD_STOP_RETURN_TO_PATROL, MSG_ON_GUARD_START_HIT, MSG_ON_GUARD_STOP_HIT,
        MSG_ON_GUARD_START_PAUSE_IN_HUNT, MSG_ON_GUARD_STOP_PAUSE_IN_HUNT, MSG_ON_GUARD_START_FIGHT,
        MSG_ON_GUARD_STOP_FIGHT, MSG_ON_GUARD_START_HUNTED, MSG_ON_GUARD_STOP_HUNTED, MSG_ON_GUARD_START_DEAD,
        MSG_ON_GUARD_STOP_DEAD, MSG_ON_GUARD_START_PAUSE_IN_PATROL, MSG_ON_GUARD_STOP_PAUSE_IN_PATROL,
    };
    return events;
}

class GuardTest : public AIPlayerFixture {
protected:
    // A guard at the place whose path is a chain of nodes at the offsets.
    CQVGuard* MakeGuard(const Vector3& at, const std::vector<Vector3>& chain) {
        auto* guard = static_cast<CQVGuard*>(Make(CLASS_GUARD, "Guard"));
        if (guard == nullptr) return nullptr;
        Send(guard, MSG_SET_POSITION, at);
        CQVActor* parent = guard;
        for (const Vector3& offset : chain) {
            CQVActor* node = Make(CLASS_PATH_NODE, "Node", parent);
            Send(node, MSG_SET_POSITION, offset);
            nodes.push_back(node);
            parent = node;
        }
        return guard;
    }

    // The guard started on a still template: its body is the clone.
    CQVCharacter* Start(CQVGuard* guard) {
        templateBody = MakeCharacter("Template", StillMotions());
        if (templateBody == nullptr) return nullptr;
        Send(templateBody, MSG_SET_HEALTH, 80.0f);
        Send<uint32_t>(guard, MSG_SET_GUARD_CHARACTER, templateBody->m_Id);
        guard->HandleMessage(MSG_PRECALCULATE, nullptr);
        return guard->Body();
    }

    std::vector<CQVActor*> nodes;
    CQVCharacter* templateBody = nullptr;
};

TEST_F(GuardTest, TheSheetHoldsItsThirtySevenRowsInOrder) {
    const ClassRecord& record = g_ClassRecords[CLASS_GUARD];
    EXPECT_EQ(record.name, "Guard");
    EXPECT_EQ(record.description, "Guard Character Control");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 25}));
    ExpectSheet(record, {
        {"Guard Properties", 13, 0, 0},
        {"Set Guard Type.", 12, 0, 0},
        {"Type:|Box Guard(Not ready!)|0|Path Guard|1|Path Fighter|2|Path Hunted|3|", 16, 1291, 1292},
        {"Set Guard Initial State.", 12, 0, 0},
        {"State:|Sleep|0|Patrol|1|Idle|8|", 16, 1293, 1294},
        {"Set Guard Character.", 12, 0, 0},
        {"Set:", 26, 1303, 1304},
        {"Use Node Time For Pause:", 17, 1295, 1296},
        {"Time:", 33, 1358, 1359},
        {"Node Turn Distance:", 4, 1297, 1298},
        {"Hit Distance:", 4, 1299, 1300},
        {"Jump Interval:", 33, 1301, 1302},
        {"Fighting Properties", 13, 0, 0},
        {"Attack", 20, 1322, 1323},
        {"Add Attack|Add|", 14, 1324, 0},
        {"Delete Attack|Delete|", 14, 1325, 0},
        {"Attack Param", 12, 0, 0},
        {"Rand", 3, 1326, 1327},
        {"Eval Delay", 33, 1330, 1331},
        {"Eff Mul", 4, 1328, 1329},
        {"Start Fight Distance", 12, 0, 0},
        {"Distance", 4, 1336, 1337},
        {"Dead Properties", 13, 0, 0},
        {"Type:|Non|0|Delete|1|Spawn On Root|2|Spawn Random|3|Spawn On Place|4|", 16, 1332, 1333},
        {"Delay", 4, 1334, 1335},
        {"Hit Effect Management", 13, 0, 0},
        {"Character Animation Effect", 12, 0, 0},
        {"Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit 6|7|Gethit 7|8|"
         "Gethit 8|9|Gethit 9|10|",
         16, 1306, 1307},
        {"Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage 6|7|Damage 7|8|"
         "Damage 8|9|Damage 9|10|",
         16, 1308, 1309},
        {"Character Hold Time", 33, 1310, 1311},
        {"Hit Effect Management", 12, 0, 0},
        {"Effect", 20, 1314, 1315},
        {"Add Effect|Add|", 14, 1312, 0},
        {"Delete Effect|Delete|", 14, 1313, 0},
        {"Hit Effect", 12, 0, 0},
        {"Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|Vision|7|Fov|8|"
         "Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|Unused|14|",
         16, 1316, 1317},
        {"Value", 4, 1318, 1319},
    });
}

TEST_F(GuardTest, AFreshGuardWritesSeventeenWordsAndItsRowsReadBack) {
    CQVGuard fresh;
    const std::vector<uint32_t> words = Character_Words(Character_Write(&fresh, 53), Character_Write(&fresh, 53, true));
    const std::vector<uint32_t> expected = {
        0xFFFFFFFF, Bits(40.0f), 0, 0, Bits(0.0f), Bits(60.0f), Bits(3.0f), 0,  // character .. jump, reserved
        0,                                                                     // hit effects
        0, 0, Bits(0.0f),                                                      // gethit, damage, hold time
        0,                                                                     // attacks
        0, Bits(0.0f),                                                         // dead type and delay
        Bits(500.0f),                                                          // fight distance
        1,                                                                     // initial state: Patrol
    };
    EXPECT_EQ(words, expected);

    CQVGuard guard;
    guard.m_HitEffects = {HitEffect{12, -25.0f, 2.0f}};
    guard.m_Attacks = {AttackParam{2, 1.5f, 0.3f}, AttackParam{}};
    guard.m_State = GUARD_SLEEP;
    guard.m_GuardType = GUARD_FIGHTER;
    const std::string record = Character_Write(&guard, 53);
    const std::vector<uint32_t> rows = Character_Words(record, Character_Write(&guard, 53, true));
    ASSERT_EQ(rows.size(), 17u + 4u * 3u);
    EXPECT_EQ(std::vector<uint32_t>(rows.begin() + 8, rows.begin() + 13),
              (std::vector<uint32_t>{1, 12, Bits(-25.0f), Bits(2.0f), 0}));
    CQVGuard loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, 53, &left), 1);
    EXPECT_EQ(left, 0u);
    ASSERT_EQ(loaded.m_HitEffects.size(), 1u);
    EXPECT_EQ(loaded.m_HitEffects[0].value, -25.0f);
    ASSERT_EQ(loaded.m_Attacks.size(), 2u);
    EXPECT_EQ(loaded.m_Attacks[0].evalDelay, 0.3f);
    EXPECT_EQ(loaded.m_Attacks[1].randWeight, 1u);
    EXPECT_EQ(loaded.m_State, static_cast<uint32_t>(GUARD_SLEEP));
    EXPECT_EQ(loaded.m_GuardType, static_cast<uint32_t>(GUARD_FIGHTER));
}

struct GuardVersionCase {
    uint32_t version;
    size_t words;
};

class GuardVersions : public GuardTest, public testing::WithParamInterface<GuardVersionCase> {};

TEST_P(GuardVersions, AnOlderFileHoldsTheFieldsOfItsGatesAndKeepsTheOthersDefault) {
    const GuardVersionCase c = GetParam();
    CQVGuard guard;
    guard.m_HitEffects = {HitEffect{}};
    guard.m_Attacks = {AttackParam{4, 2.0f, 0.5f}};
    guard.m_DeadType = GUARD_DEAD_DELETE;
    guard.m_FightDistance = 900.0f;
    guard.m_State = GUARD_IDLE;
    const std::string record = Character_Write(&guard, c.version);
    EXPECT_EQ(Character_Words(record, Character_Write(&guard, c.version, true)).size(), c.words);
    CQVGuard loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, c.version, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_HitEffects.size(), c.version >= 12 ? 1u : 0u);
    EXPECT_EQ(loaded.m_Attacks.size(), c.version >= 13 ? 1u : 0u);
    EXPECT_EQ(loaded.m_DeadType, c.version >= 16 ? 1u : 0u);
    EXPECT_EQ(loaded.m_FightDistance, c.version >= 18 ? 900.0f : 500.0f);
    EXPECT_EQ(loaded.m_State, c.version >= 53 ? 8u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Gates, GuardVersions,
                         testing::Values(GuardVersionCase{1, 8}, GuardVersionCase{12, 16}, GuardVersionCase{13, 21},
                                         GuardVersionCase{16, 23}, GuardVersionCase{18, 24},
                                         GuardVersionCase{52, 24}, GuardVersionCase{53, 25}));

TEST_F(GuardTest, ACountTheRestOfTheFileCannotHoldIsADamagedRecord) {
    CQVGuard guard;
    guard.m_HitEffects = {HitEffect{}};
    std::string record = Character_Write(&guard, 53);
    const size_t base = Character_Write(&guard, 53, true).size();
    const uint32_t lie = 0x10000000;
    std::memcpy(&record[base + 8 * 4], &lie, 4);
    CQVGuard loaded;
    EXPECT_EQ(Character_Read(&loaded, record, 53), 0);
    EXPECT_TRUE(loaded.m_HitEffects.empty());
}

TEST_F(GuardTest, SetGuardTypeBuildsANodeChildOrTheBoxAreas) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {});
    ASSERT_NE(guard, nullptr);
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_PATH);
    ASSERT_EQ(guard->m_Children.size(), 1u);
    CQVActor* node = guard->m_Children[0];
    EXPECT_EQ(node->m_ClassType, static_cast<uint32_t>(CLASS_PATH_NODE));
    EXPECT_EQ(node->m_Name, "Node");
    ExpectPoint(node->m_Position, Vector3(100.0f, 0.0f, 0.0f));
    EXPECT_TRUE(guard->m_ColObjs.empty());
    // A guard that has a child keeps it and makes no other.
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_FIGHTER);
    EXPECT_EQ(guard->m_Children.size(), 1u);
    EXPECT_EQ(Ask<uint32_t>(guard, MSG_GET_GUARD_TYPE), static_cast<uint32_t>(GUARD_FIGHTER));

    const uint32_t nodeId = node->m_Id;
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_BOX);
    EXPECT_TRUE(guard->m_Children.empty());
    EXPECT_EQ(CQVActorSystem::GetActorById(nodeId), nullptr);
    ASSERT_EQ(guard->m_ColObjs.size(), 2u);
    const ColObj& patrol = guard->m_ColObjs[0];
    const ColObj& hunt = guard->m_ColObjs[1];
    EXPECT_EQ(patrol.name, "Patrol Area");
    ExpectPoint(patrol.boxMin, Vector3(-10.0f, -10.0f, -40.0f));
    ExpectPoint(patrol.boxMax, Vector3(10.0f, 40.0f, 40.0f));
    EXPECT_EQ(hunt.name, "Hunt Area");
    ExpectPoint(hunt.boxMin, Vector3(-60.0f, -10.0f, -60.0f));
    ExpectPoint(hunt.boxMax, Vector3(60.0f, 40.0f, 60.0f));
    for (const ColObj& area : guard->m_ColObjs) {
        EXPECT_EQ(area.flags & 0x66u, 0x06u) << area.name;
        EXPECT_EQ(area.owner, guard);
    }
}

// The nodes a guard walks to from its root, for an end type at the leaf of a
// chain of three single children.
struct NodeOrderCase {
    uint32_t endType;
    std::vector<int> order;  // node index, -1 for the guard itself
};

class GuardNodeOrder : public GuardTest, public testing::WithParamInterface<NodeOrderCase> {};

TEST_P(GuardNodeOrder, TheWalkFollowsTheChainAndTheEndType) {
    const NodeOrderCase c = GetParam();
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f),
                                {Vector3(100.0f, 0.0f, 0.0f), Vector3(100.0f, 0.0f, 0.0f), Vector3(100.0f, 0.0f, 0.0f)});
    ASSERT_NE(guard, nullptr);
    Send(nodes[2], MSG_SET_PATHNODE_ENDTYPE, c.endType);
    guard->SetCurrentNode(guard);
    std::vector<int> walked;
    for (size_t i = 0; i < c.order.size(); ++i) {
        guard->AdvanceNode();
        CQVActor* at = guard->CurrentNode();
        const auto found = std::find(nodes.begin(), nodes.end(), at);
        walked.push_back(at == guard ? -1 : found == nodes.end() ? -2 : static_cast<int>(found - nodes.begin()));
    }
    EXPECT_EQ(walked, c.order);
}

INSTANTIATE_TEST_SUITE_P(EndTypes, GuardNodeOrder,
                         testing::Values(NodeOrderCase{PATHNODE_END_REVERSE, {0, 1, 2, 1, 0, -1, 0, 1, 2, 1}},
                                         NodeOrderCase{PATHNODE_END_LOOP, {0, 1, 2, -1, -1, 0, 1, 2, -1, -1}},
                                         NodeOrderCase{PATHNODE_END_JUMP_BACK, {0, 1, 2, 1, 0, -1, 0}}));

TEST_F(GuardTest, SuccessorsOfWeightZeroCountAsALeaf) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(100.0f, 0.0f, 0.0f), Vector3(100.0f, 0.0f, 0.0f)});
    ASSERT_NE(guard, nullptr);
    Send(nodes[1], MSG_SET_PATHNODE_RANDWEIGHT, 0u);
    guard->m_Forward = 1;
    EXPECT_EQ(guard->NextPathNode(nodes[0]), guard);  // the parent of the first node
    EXPECT_EQ(guard->m_Forward, 0u);
    EXPECT_EQ(guard->PreviousPathNode(nodes[1]), nodes[0]);
    EXPECT_EQ(guard->PreviousPathNode(nodes[0]), guard);
    EXPECT_EQ(guard->m_Forward, 1u);
}

TEST_F(GuardTest, StateCommandsRaiseTheEventsOnlyThroughAChange) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(300.0f, 0.0f, 0.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    Watch({guard}, GuardEvents());
    // The stored state changes quietly.
    Send<uint32_t>(guard, MSG_SET_GUARD_STATE, GUARD_SLEEP);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_SLEEP));
    EXPECT_TRUE(Events().empty());
    guard->SetState(GUARD_SLEEP);
    EXPECT_TRUE(Events().empty());

    CharacterSpy& motions = Spy(body);
    guard->SetState(GUARD_PATROL);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_GUARD_STOP_SLEEP, MSG_ON_GUARD_START_PATROL}));
    // Waking, the body first stands.
    EXPECT_EQ(motions.Texts(MSG_SET_MOTION), (std::vector<std::string>{"N_Neutral"}));
    EXPECT_EQ(guard->m_PreviousState, static_cast<int32_t>(GUARD_SLEEP));

    guard->SetState(GUARD_IDLE);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_GUARD_STOP_PATROL}));
    guard->SetState(GUARD_DEAD);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_GUARD_START_DEAD}));
    EXPECT_EQ(guard->m_TimeSinceHit, 1e38f);
    EXPECT_EQ(body->m_HoldTime, -1.0f);
}

TEST_F(GuardTest, StartClonesTheTemplateFortyUnitsUpIntoTheScenery) {
    CQVGuard* guard = MakeGuard(Vector3(200.0f, 0.0f, 100.0f), {Vector3(300.0f, 0.0f, 0.0f)});
    ASSERT_NE(guard, nullptr);
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_BOX);  // the nodes go with the box
    guard->m_Attacks = {AttackParam{2, 1.0f, 0.0f}, AttackParam{0, 1.0f, 0.0f}, AttackParam{1, 1.0f, 0.0f}};
    // Without a path the guard makes no body and stands down.
    CQVActor* lone = Make(CLASS_CHARACTER, "Lone");
    Send<uint32_t>(guard, MSG_SET_GUARD_CHARACTER, lone->m_Id);
    EXPECT_EQ(guard->HandleMessage(MSG_PRECALCULATE, nullptr), 0);
    EXPECT_EQ(guard->Body(), nullptr);
    EXPECT_FALSE(guard->IsOperational());

    guard->m_Activity |= ACTIVITY_OPERATIONAL;
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_PATH);
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_BOX);
    Make(CLASS_PATH_NODE, "First", guard);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body, templateBody);
    EXPECT_EQ(body->m_Parent, scenery);
    EXPECT_EQ(body->m_ControllerId, guard->m_Id);
    ExpectPoint(body->GetWorldPosition(), Vector3(200.0f, 40.0f, 100.0f));
    EXPECT_EQ(guard->m_GuardType, static_cast<uint32_t>(GUARD_PATH));
    EXPECT_EQ(guard->m_PathMode, 1u);
    EXPECT_EQ(guard->m_CurrentNodeId, guard->m_Children[0]->m_Id);
    EXPECT_EQ(guard->m_StartHealth, 80.0f);
    EXPECT_EQ(guard->m_AttackBag, (std::vector<uint32_t>{0, 0, 2}));
    EXPECT_TRUE(guard->HasProcess());
}

TEST_F(GuardTest, HuntEndsWhenTheTargetStaysOutOfSightForFiveSeconds) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 1500.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    // Away from the guard, so that the walk back to it lasts.
    Send(body, MSG_SET_POSITION, Vector3(0.0f, 24.0f, -300.0f));
    CQVCharacter* target = Body("Target", Vector3(0.0f, 24.0f, -1200.0f));
    // A wall between them.
    AddBlock("Wall", Vector3(-600.0f, -10.0f, -700.0f), Vector3(600.0f, 400.0f, -600.0f));
    Seconds(0.2f);
    guard->SetTarget(target);
    guard->SetState(GUARD_HUNT);
    Watch({guard}, GuardEvents());
    Seconds(4.9f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_HUNT));
    Seconds(0.7f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_RETURN_TO_PATROL));
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_GUARD_STOP_HUNT, MSG_ON_GUARD_START_RETURN_TO_PATROL}));
}

TEST_F(GuardTest, ASeenTargetIsHuntedFifteenSecondsThenTheGuardPausesTenAndReturns) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 1500.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    Send(body, MSG_SET_POSITION, Vector3(0.0f, 24.0f, -300.0f));
    CQVCharacter* target = Body("Target", Vector3(0.0f, 24.0f, -800.0f));
    Seconds(0.2f);
    ASSERT_TRUE(guard->CanSee(target));
    guard->SetTarget(target);
    guard->SetState(GUARD_HUNT);
    Seconds(14.9f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_HUNT));
    Seconds(0.2f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_PAUSE_IN_HUNT));
    EXPECT_EQ(guard->m_MovementMode, GUARD_MOVE_EXHAUSTED);
    Seconds(9.9f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_PAUSE_IN_HUNT));
    Seconds(0.2f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_RETURN_TO_PATROL));
}

TEST_F(GuardTest, ADeletedTargetSendsTheHunterBackToItsPatrol) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 1500.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    CQVCharacter* target = Body("Target", Vector3(0.0f, 24.0f, -800.0f));
    guard->SetTarget(target);
    guard->SetState(GUARD_HUNT);
    Watch({guard}, GuardEvents());
    g_ActorSystem->DeleteActor(target);
    Seconds(0.1f);
    EXPECT_EQ(guard->Target(), nullptr);
    // Back to the patrol: the body stands at its last node, so the walk back ends at once.
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_GUARD_STOP_HUNT, MSG_ON_GUARD_START_RETURN_TO_PATROL,
                                               MSG_ON_GUARD_STOP_RETURN_TO_PATROL, MSG_ON_GUARD_START_PATROL}));
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_PATROL));
}

// A dead type and where the body stands when the delay has passed.
struct DeadCase {
    uint32_t deadType;
    uint32_t state;
    bool bodyKept;
    bool healed;
};

class GuardDeadTypes : public GuardTest, public testing::WithParamInterface<DeadCase> {};

TEST_P(GuardDeadTypes, TheDeadTypeActsAfterTheDelay) {
    const DeadCase c = GetParam();
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    const uint32_t bodyId = body->m_Id, guardId = guard->m_Id;
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_PATH);
    Send(guard, MSG_SET_GUARD_DEAD_DELAY, 1.0f);
    Send(guard, MSG_SET_GUARD_DEAD_TYPE, c.deadType);
    Send(body, MSG_SET_HEALTH, 0.0f);
    Seconds(0.1f);
    ASSERT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_DEAD));
    Watch({guard}, GuardEvents());
    Seconds(1.2f);
    g_ActorSystem->RunPendingDeletes();
    const std::vector<uint32_t> events = Events();
    CQVActor* stillBody = CQVActorSystem::GetActorById(bodyId);
    EXPECT_EQ(stillBody != nullptr, c.bodyKept);
    EXPECT_EQ(CQVActorSystem::GetActorById(guardId) != nullptr, c.bodyKept);
    if (!c.bodyKept) return;
    EXPECT_EQ(guard->m_State, c.state);
    EXPECT_EQ(static_cast<CQVCharacter*>(stillBody)->m_Health, c.healed ? 80.0f : 0.0f);
    // Spawned on its place the guard walks back first (and is back at once: it stands at its node).
    const bool walkedBack = std::find(events.begin(), events.end(), MSG_ON_GUARD_START_RETURN_TO_PATROL) != events.end();
    EXPECT_EQ(walkedBack, c.deadType == GUARD_DEAD_SPAWN_ON_PLACE);
}

INSTANTIATE_TEST_SUITE_P(Types, GuardDeadTypes,
                         testing::Values(DeadCase{GUARD_DEAD_NON, GUARD_DEAD, true, false},
                                         DeadCase{GUARD_DEAD_DELETE, GUARD_DEAD, false, false},
                                         DeadCase{GUARD_DEAD_SPAWN_ON_ROOT, GUARD_PATROL, true, true},
                                         DeadCase{GUARD_DEAD_SPAWN_RANDOM, GUARD_PATROL, true, true},
                                         DeadCase{GUARD_DEAD_SPAWN_ON_PLACE, GUARD_PATROL, true, true}));

TEST_F(GuardTest, APathHuntedGuardNeverDiesOfHealthLoss) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_HUNTED);
    Send(body, MSG_SET_HEALTH, 0.0f);
    Seconds(0.5f);
    EXPECT_NE(guard->m_State, static_cast<uint32_t>(GUARD_DEAD));
}

// A sensor volume, a sleeping or waking guard, a distance, a noise level,
// and whether the guard starts hunting.
struct DetectionCase {
    const char* sensor;
    uint32_t state;
    float distance;
    float noise;
    float timeSinceHit;
    bool hunts;
};

class GuardDetection : public GuardTest, public testing::WithParamInterface<DetectionCase> {};

TEST_P(GuardDetection, ACollisionEventOfTheBodyStartsTheHunt) {
    const DetectionCase c = GetParam();
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 1500.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    CQVCharacter* other = Body("Other", Vector3(0.0f, 24.0f, -c.distance));
    Seconds(0.1f);
    // The noise the other makes, whatever its motion scales it by.
    other->m_CpEffective[CP_NOISELEVEL] = 1.0f;
    other->m_CpEffective[CP_NOISELEVEL] = c.noise / other->NoiseLevel();
    // A 100-unit sensor of the body (range 100) meets the other's body.
    ColObj& sensor = AddVolume(body, c.sensor, 100.0f, COLOBJ_ACTIVE | COLOBJ_RECEIVES);
    ColObj& touched = AddVolume(other, "Body", 20.0f, COLOBJ_ACTIVE | COLOBJ_SENDS);
    guard->m_State = c.state;
    guard->m_TimeSinceHit = c.timeSinceHit;
    const ColObj* pair[2] = {&touched, &sensor};
    body->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair, sizeof pair));
    EXPECT_EQ(guard->m_State, c.hunts ? static_cast<uint32_t>(GUARD_HUNT) : c.state);
    // A guard that may not notice anyone does not even take the other as its target.
    EXPECT_EQ(guard->Target(), c.timeSinceHit > 10.0f ? other : nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Senses, GuardDetection,
    testing::Values(
        // Heard: the noise times the range reaches; asleep, 0.8 of it.
        DetectionCase{"Hear", GUARD_PATROL, 300.0f, 4.0f, 11.0f, true},
        DetectionCase{"Hear", GUARD_PATROL, 300.0f, 2.0f, 11.0f, false},
        DetectionCase{"Hear", GUARD_SLEEP, 300.0f, 3.5f, 11.0f, false},
        DetectionCase{"Hear", GUARD_SLEEP, 300.0f, 4.0f, 11.0f, true},
        // Seen when awake, whatever the noise; asleep, sight counts for nothing.
        DetectionCase{"Vision", GUARD_IDLE, 300.0f, 0.0f, 11.0f, true},
        DetectionCase{"Vision", GUARD_SLEEP, 300.0f, 0.0f, 11.0f, false},
        // A guard that struck less than ten seconds ago ignores it.
        DetectionCase{"Vision", GUARD_PATROL, 300.0f, 0.0f, 5.0f, false},
        // An unnamed kind of sensor hears only.
        DetectionCase{"Other", GUARD_PATROL, 300.0f, 0.0f, 11.0f, false}));

TEST_F(GuardTest, NetworkhuntTakesOnlyACharacter) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    ASSERT_NE(Start(guard), nullptr);
    CQVActor* box = Make(CLASS_BASE, "Box");
    Send<uint32_t>(guard, MSG_GUARD_NETWORKHUNT, box->m_Id);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_PATROL));
    EXPECT_EQ(guard->Target(), nullptr);
    CQVCharacter* hunted = Body("Hunted", Vector3(0.0f, 24.0f, -500.0f));
    Send<uint32_t>(guard, MSG_GUARD_NETWORKHUNT, hunted->m_Id);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_HUNT));
    EXPECT_EQ(guard->Target(), hunted);
}

TEST_F(GuardTest, ADeletedBodyCountsAsNone) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    g_ActorSystem->DeleteActor(body);
    EXPECT_EQ(guard->Body(), nullptr);
    Seconds(0.5f);
    EXPECT_EQ(guard->m_State, static_cast<uint32_t>(GUARD_PATROL));
}


// What the inventory is told of the guards' catches: {guard body, caught, moved}.
class CatchReports : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id != MSG_COMMAND_SPY) return CQVActor::HandleMessage(id, args);
        const CommandSpyArgs spied = Args_Get<CommandSpyArgs>(args);
        if (spied.id == MSG_GUARD_HIT_CHARACTER) {
            const MessageArgs& block = *spied.args;
            seen.push_back({Args_Get<uint32_t>(block), Args_Get<uint32_t>(block, 4), Args_Get<uint32_t>(block, 8)});
        }
        return 1;
    }
    std::vector<std::vector<uint32_t>> seen;
};

TEST_F(GuardTest, TheThirdCatchMovesTheCaughtToADungeonSpawnAndEveryCatchIsReported) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_PATH);
    CQVActor* spawn = Make(CLASS_SPAWN_POINT, "DungeonSpawn");
    ASSERT_NE(spawn, nullptr);
    Send(spawn, MSG_SET_POSITION, Vector3(1000.0f, 24.0f, 1000.0f));
    CQVCharacter* caught = Body("Caught", Vector3(0.0f, 24.0f, -40.0f));
    CatchReports reports;
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    ASSERT_NE(inventory, nullptr);
    auto link = std::make_unique<ActorLink>();
    link->SetOwner(inventory);
    link->SetTarget(&reports);
    inventory->m_CommandSpies.push_back(std::move(link));

    for (uint32_t round = 1; round <= 3; ++round) {
        guard->SetTarget(caught);
        guard->SetState(GUARD_HIT);
        EXPECT_EQ(guard->m_CaughtTimer, 5.0f);
        Seconds(4.9f);
        EXPECT_EQ(reports.seen.size(), round - 1);
        Seconds(0.2f);
        ASSERT_EQ(reports.seen.size(), round);
        const uint32_t moved = round == 3 ? 1 : 0;
        EXPECT_EQ(reports.seen.back(), (std::vector<uint32_t>{body->m_Id, caught->m_Id, moved}));
        EXPECT_EQ(CQVGuard::CaughtCount(caught->m_Id), round == 3 ? 0u : round);
        guard->SetState(GUARD_PATROL);
    }
    EXPECT_NEAR(caught->GetWorldPosition().x, 1000.0f, 1.0f);
    EXPECT_NEAR(caught->GetWorldPosition().z, 1000.0f, 1.0f);
    inventory->m_CommandSpies.pop_back();
}

TEST_F(GuardTest, AHitGivesTheVictimItsMotionsHoldAndEffects) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    ASSERT_NE(Start(guard), nullptr);
    CQVCharacter* victim = Body("Victim", Vector3(0.0f, 24.0f, -40.0f));
    Send(guard, MSG_SET_GUARD_HIT_GETHIT_ID, 1u);
    Send(guard, MSG_SET_GUARD_HIT_DAMAGE_ID, 1u);
    Send(guard, MSG_SET_GUARD_HIT_HOLD_TIME, 1.5f);
    Tell(guard, MSG_ADD_GUARD_HIT_EFFECT);
    Send(guard, MSG_SET_GUARD_HIT_EFFECT_TYPE, 12u);
    Send(guard, MSG_SET_GUARD_HIT_EFFECT_VALUE, -20.0f);
    Send(guard, MSG_SET_GUARD_HIT_EFFECT_TIME, 2.0f);
    EXPECT_EQ(Ask<float>(guard, MSG_GET_GUARD_HIT_EFFECT_TIME), 2.0f);
    CharacterSpy& seen = Spy(victim);
    guard->ApplyHit(victim, 0.5f);
    EXPECT_EQ(seen.Texts(MSG_SET_MOVEMENT_34D), (std::vector<std::string>{"Gethit0"}));
    EXPECT_EQ(seen.Texts(MSG_SET_NEXT_MOVEMENT), (std::vector<std::string>{"Damage0"}));
    EXPECT_EQ(seen.Count(MSG_SET_HOLD_TIME), 2u);
    EXPECT_EQ(victim->m_HoldTime, 1.5f);
    ASSERT_EQ(seen.Count(MSG_CHANGE_CPHEALTH), 1u);
    for (const HandledMessage& m : seen.seen) {
        if (m.id == MSG_CHANGE_CPHEALTH) {
            EXPECT_EQ(Character_Float(m.word), -10.0f);
        }
    }
    // Without a victim nothing happens.
    guard->ApplyHit(nullptr, 1.0f);
}

TEST_F(GuardTest, AnAttackCloseByIsQueuedFirstThenTheManoeuvre) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    CharacterSpy& seen = Spy(body);
    guard->ChooseAttack(10.0f);
    const std::vector<std::string> pushed = seen.Texts(MSG_MOTIONQUEUE_PUSH_BACK);
    ASSERT_GE(pushed.size(), 5u);
    // No rows: one of the four attacks, drawn anew.
    EXPECT_EQ(pushed[0].rfind("M_Attack", 0), 0u);
    EXPECT_EQ(pushed[1], "M_Back");
    EXPECT_EQ(std::count(pushed.begin() + 2, pushed.end(), pushed[0]), 1);
    EXPECT_EQ(guard->m_AttackReady, 0u);
    EXPECT_GE(guard->m_FightMove, 0);
    EXPECT_LT(guard->m_FightMove, 6);
    // An attack motion arms the hit evaluation only for a fighter.
    Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, GUARD_FIGHTER);
    Text(body, MSG_CALLBACK_MOTION_SET, "M_Attack2");
    EXPECT_EQ(guard->m_AttackEvalCountdown, 0.25f);
    guard->m_AttackEvalCountdown = 1e38f;
    Text(body, MSG_CALLBACK_MOTION_SET, "M_Attack4");
    EXPECT_EQ(guard->m_AttackEvalCountdown, 1e38f);
    Tell(body, MSG_ON_UNLOCK_INPUT);
    EXPECT_EQ(guard->m_AttackReady, 1u);
}

TEST_F(GuardTest, ASleeperThatStartsHuntingStandsFourSecondsBeforeItRuns) {
    CQVGuard* guard = MakeGuard(Vector3(0.0f, 0.0f, 0.0f), {Vector3(0.0f, 0.0f, 300.0f)});
    ASSERT_NE(guard, nullptr);
    CQVCharacter* body = Start(guard);
    ASSERT_NE(body, nullptr);
    CQVCharacter* target = Body("Target", Vector3(0.0f, 24.0f, -800.0f));
    guard->SetState(GUARD_SLEEP);
    Seconds(0.2f);
    EXPECT_EQ(guard->m_MovementMode, GUARD_MOVE_SLEEP);
    guard->SetTarget(target);
    guard->SetState(GUARD_HUNT);
    Seconds(3.9f);
    EXPECT_EQ(guard->m_MovementMode, GUARD_MOVE_NEUTRAL);
    Seconds(0.2f);
    EXPECT_EQ(guard->m_MovementMode, GUARD_MOVE_RUN);
}

}  // namespace
