// AI Players driving real Characters on a floor, frame by frame on a fixed
// clock through the timed messages and the collision pass: the follow
// toggled by a body's "Action", the hurt reaction, a walk to a point, a
// seeded fight watched through the victim's Change CP messages, the line of
// sight past walls and sensors, the not-drawn timers, death and revival,
// the leader's trail, helper nodes and the route memory through an open
// connector.

#include "actors/scene/DrawGroupConnector.h"
#include "kernel/base/Random.h"
#include "tests/actors/characters/AIPlayerTestSupport.h"

namespace {

constexpr float kStand = 24.0f;  // a body's centre one unit above its rest on the floor
constexpr uint32_t kSensorFlags = COLOBJ_ACTIVE | COLOBJ_RECEIVES;

class AIPlayerGameTest : public AIPlayerFixture {
protected:
    // The Change CP messages a body handled: the id and the value's bits.
    static std::vector<uint32_t> ChangeIds() {
        std::vector<uint32_t> ids;
        for (uint32_t id = MSG_CHANGE_CPSPEED; id <= MSG_CHAR_CHANGE_CPFALLDAMAGE1_MUL; ++id) ids.push_back(id);
        return ids;
    }
};

TEST_F(AIPlayerGameTest, TheBodysActionStartsTheFollowAndAnotherAfterTheCooldownStopsIt) {
    CQVCharacter* player = Body("Player", Vector3(0.0f, kStand, 0.0f), 0x1);
    AddVolume(player, "Action", 40.0f, kSensorFlags);
    Tell(player, MSG_PRECALCULATE);
    CQVCharacter* guard = Body("Guard", Vector3(60.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    WatchEvents(ai);
    // The player's knock opens its action volume for a frame; the guard's body is in it.
    const auto knock = [&] {
        Tell(player, MSG_CC_KNOCK);
        Frame();
    };
    knock();
    EXPECT_EQ(ai->m_State, AI_STATE_FOLLOW);
    EXPECT_EQ(ai->Target(), player);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_IDLE, MSG_ON_AI_PLAYER_IDLE_TO_FOLLOW,
                                              MSG_ON_AI_PLAYER_START_FOLLOW}));
    // Within the cooldown another changes nothing.
    Seconds(1.0f);
    knock();
    EXPECT_EQ(ai->m_State, AI_STATE_FOLLOW);
    Seconds(4.5f);
    knock();
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(ai->Target(), nullptr);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_FOLLOW, MSG_ON_AI_PLAYER_FOLLOW_TO_IDLE,
                                              MSG_ON_AI_PLAYER_START_IDLE}));
}

TEST_F(AIPlayerGameTest, AnActionFromAnActorThatIsGoneOrOfAnotherGroupIsIgnored) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    CQVCharacter* stranger = Body("Stranger", Vector3(300.0f, kStand, 0.0f), 0x4);
    const uint32_t gone[2] = {ACTOR_ID_MAX - 1, ACTOR_ID_NONE};
    guard->HandleMessage(MSG_ACTION, Args_Of(gone));
    const uint32_t other[2] = {stranger->m_Id, ACTOR_ID_NONE};
    guard->HandleMessage(MSG_ACTION, Args_Of(other));
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(ai->Target(), nullptr);
}

TEST_F(AIPlayerGameTest, HurtTheControllerFightsThePlayerOfItsFightGroup) {
    CQVCharacter* player = Body("GA1_Player", Vector3(400.0f, kStand, 0.0f), 0x2);
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    // The player is not of its fight group.
    Send(guard, MSG_HURT, 1.0f);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    Send(ai, MSG_SET_AI_PLAYER_FIGHT_GROUP_5BC, 0x2u);
    WatchEvents(ai);
    Send(guard, MSG_HURT, 1.0f);
    EXPECT_EQ(ai->m_State, AI_STATE_FIGHT);
    EXPECT_EQ(ai->Target(), player);
    EXPECT_EQ(Events(), (std::vector<uint32_t>{MSG_ON_AI_PLAYER_STOP_IDLE, MSG_ON_AI_PLAYER_START_FIGHT}));
    // A fight starts with the attack motion and a trail on the target.
    EXPECT_EQ(Playing(SkinOf(guard)), "M_Attack0");
    EXPECT_EQ(ai->m_TrailLeader, player->m_Id);
    EXPECT_FALSE(guard->m_MotionQueue.empty());
}

TEST_F(AIPlayerGameTest, GoToTurnsTheBodyAndRunsItToThePoint) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    Frames(20);
    const Vector3 point(0.0f, kStand, 900.0f);
    Send(ai, MSG_AI_PLAYER_GO_TO_POSITION, point);
    int frames = 0;
    while (!ai->m_GoToPoints.empty() && frames < 600) {
        Frame();
        ++frames;
    }
    ASSERT_TRUE(ai->m_GoToPoints.empty());
    EXPECT_EQ(Playing(SkinOf(guard)), "R_Forward");
    const Vector3 at = guard->GetWorldPosition();
    EXPECT_LT(Vec3_Length(at - point), 200.0f);
    EXPECT_NEAR(at.x, 0.0f, 5.0f);
    // The neutral motion runs its second to the end before the run starts: 700 units at 360 a second.
    EXPECT_LT(frames, 60 + 150);
    EXPECT_EQ(ai->m_State, AI_STATE_GO_TO);
}

TEST_F(AIPlayerGameTest, TheLineOfSightEndsAtAWallAndPassesSensors) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    CQVCharacter* seen = Body("Seen", Vector3(400.0f, kStand, 0.0f));
    CQVCharacter* bystander = Body("Bystander", Vector3(200.0f, kStand, 300.0f));
    AddVolume(bystander, "Vision", 400.0f, kSensorFlags);
    Frames(5);
    EXPECT_TRUE(ai->CanSee(seen));
    EXPECT_FALSE(ai->CanSee(nullptr));
    CQVActor* wall = AddBlock("Wall", Vector3(190.0f, -100.0f, -300.0f), Vector3(210.0f, 300.0f, 100.0f));
    EXPECT_FALSE(ai->CanSee(seen));
    // The wall hides only what stands behind it.
    EXPECT_TRUE(ai->CanSee(bystander));
    g_ActorSystem->DeleteActor(wall);
    EXPECT_TRUE(ai->CanSee(seen));
}

// A fight of five seconds of an attacker against a victim a little way off,
// from a seed: what the victim handled of the Change CP messages.
struct FightRecord {
    std::vector<SpiedMessage> changes;
    float victimHealth;
};

class AIPlayerFight : public AIPlayerGameTest {
protected:
    FightRecord Fight() {
        CQVCharacter* victim = Body("Victim", Vector3(0.0f, kStand, 0.0f), 0x2);
        CQVCharacter* attacker = Body("Attacker", Vector3(0.0f, kStand, -120.0f));
        AddVolume(attacker, "Vision", 300.0f, kSensorFlags);
        CQVAIPlayer* ai = Controller(attacker);
        Send(ai, MSG_SET_AI_PLAYER_FIGHT_GROUP_5BC, 0x2u);
        Send(ai, MSG_SET_AI_PLAYER_HIT_HOLD_TIME, 0.0f);
        Tell(ai, MSG_ADD_AI_PLAYER_ATTACK_PARAM);
        Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY, 0.2f);
        Tell(ai, MSG_ADD_AI_PLAYER_ATTACK_PARAM);
        Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, 3u);
        Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_EFFECT_MUL, 2.0f);
        Send(ai, MSG_SET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY, 0.1f);
        Tell(ai, MSG_ADD_AI_PLAYER_HIT_EFFECT);
        Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_VALUE, 50.0f);
        Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_TIME, 2.0f);
        Tell(ai, MSG_ADD_AI_PLAYER_HIT_EFFECT);
        Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_TYPE, 12u);
        Send(ai, MSG_SET_AI_PLAYER_HIT_EFFECT_VALUE, -5.0f);
        Tell(ai, MSG_PRECALCULATE);
        Random_Seed(7);
        MessageSpy& changes = Watch({victim}, ChangeIds());
        for (int i = 0; i < 300; ++i) {
            Frame();
            if (i == 10) {
                EXPECT_EQ(ai->m_State, AI_STATE_FIGHT);
            }
        }
        return FightRecord{changes.seen, victim->m_Health};
    }
};

TEST_F(AIPlayerFight, ASeededFightHitsTheVictimTheSameWayEveryRun) {
    const FightRecord first = Fight();
    ASSERT_GE(first.changes.size(), 4u);
    float lost = 0.0f;
    for (size_t i = 0; i + 1 < first.changes.size(); i += 2) {
        // Each hit applies the two effects in order, scaled by the attack's multiplier.
        const SpiedMessage& speed = first.changes[i];
        const SpiedMessage& health = first.changes[i + 1];
        ASSERT_EQ(speed.id, MSG_CHANGE_CPSPEED);
        ASSERT_EQ(health.id, MSG_CHANGE_CPHEALTH);
        float value, damage;
        std::memcpy(&value, &speed.word, 4);
        std::memcpy(&damage, &health.word, 4);
        EXPECT_TRUE(value == 50.0f || value == 100.0f) << value;
        EXPECT_EQ(damage, -value / 10.0f);
        lost -= damage;
    }
    EXPECT_NEAR(first.victimHealth, 99.0f - lost, 1e-3f);
    // The same fight in a fresh level, its clock from 0 again.
    TearDown();
    SetUp();
    const FightRecord second = Fight();
    EXPECT_EQ(second.changes, first.changes);
}

TEST_F(AIPlayerGameTest, AttackRowsWithoutWeightsChooseAsNoRowsAndAStaleChoiceHitsAsNoRows) {
    CQVCharacter* victim = Body("Victim", Vector3(0.0f, kStand, 0.0f), 0x1);
    CQVCharacter* attacker = Body("Attacker", Vector3(0.0f, kStand, -100.0f));
    CQVAIPlayer* ai = Controller(attacker);
    ai->m_Attacks = {AttackParam{0, 3.0f, 0.7f}, AttackParam{0, 3.0f, 0.7f}};
    Tell(ai, MSG_PRECALCULATE);
    EXPECT_TRUE(ai->m_AttackTickets.empty());
    ai->SetTarget(victim);
    ai->m_Seen = 1;
    ai->m_SelectedAttack = 1;
    for (int i = 0; i < 20; ++i) {
        attacker->m_MotionQueue.clear();
        ai->ChooseFightMove();
        ASSERT_FALSE(attacker->m_MotionQueue.empty());
        const uint32_t first = attacker->m_MotionQueue.front();
        const uint32_t index = (first >> 8) - Character_FindBaseMotion("Attack0");
        EXPECT_LT(index, 4u);
        EXPECT_EQ(ai->m_SelectedAttack, 1);
    }
    // The chosen row is deleted: the hit is armed and applied as without rows.
    Text(ai, MSG_SELECT_AI_PLAYER_ATTACK, "Attack1");
    Tell(ai, MSG_DELETE_AI_PLAYER_ATTACK_PARAM);
    ai->m_SelectedAttack = 1;  // left as a fight chose it
    ai->m_Attacks.pop_back();
    ai->m_HitEffects = {HitEffect{15, 70.0f, 1.0f}, HitEffect{CP_VISION, 40.0f, 2.0f}};
    ai->SetState(AI_STATE_FIGHT);
    Text(attacker, MSG_CALLBACK_MOTION_SET, "M_Attack2");
    EXPECT_EQ(ai->m_AttackEvalTimer, 0.25f);
    MessageSpy& changes = Watch({victim}, ChangeIds());
    ai->TryHit();
    // Type 15 names no effect; the other applies unscaled.
    ASSERT_EQ(changes.seen.size(), 1u);
    EXPECT_EQ(changes.seen[0].id, static_cast<uint32_t>(MSG_CHANGE_CPSPEED) + CP_VISION);
    float value;
    std::memcpy(&value, &changes.seen[0].word, 4);
    EXPECT_EQ(value, 40.0f);
    EXPECT_EQ(ai->m_AttackEvalTimer, 1e38f);
    // A motion past the fourth attack arms nothing.
    Text(attacker, MSG_CALLBACK_MOTION_SET, "M_Attack4");
    EXPECT_EQ(ai->m_AttackEvalTimer, 1e38f);
}

TEST_F(AIPlayerGameTest, HiddenTheControllerHurtsItsBodyOnceAndRaisesItsTimerEvent) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    Send(ai, MSG_SET_AI_PLAYER_NOT_DRAWN_EVENT_TIME, 1.0f);
    WatchEvents(ai);
    Seconds(3.5f);
    EXPECT_EQ(Events(), std::vector<uint32_t>(3, MSG_ON_AI_PLAYER_NOT_DRAWN_TIMER));
    Tell(guard, MSG_ON_DRAW_START);
    EXPECT_EQ(ai->m_Drawn, 1u);
    Seconds(3.0f);
    EXPECT_TRUE(Events().empty());

    Send(ai, MSG_SET_AI_PLAYER_NOT_DRAWN_EVENT_TIME, 0.0f);
    Send(ai, MSG_SET_AI_PLAYER_DELETE_IF_NOT_DRAWN, 1u);
    Send(ai, MSG_SET_AI_PLAYER_DELETE_IF_NOT_DRAWN_TIME, 2.0f);
    // Out of view, a controller that cannot open doors stops what it does.
    Send(ai, MSG_SET_AI_PLAYER_CAN_OPEN_DOOR, 0u);
    Tell(ai, MSG_SET_AI_PLAYER_STATE_SCARED);
    Tell(guard, MSG_ON_DRAW_STOP);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    Seconds(1.9f);
    EXPECT_EQ(guard->m_Health, 99.0f);
    Seconds(0.2f);
    EXPECT_EQ(guard->m_Health, 0.0f);
    EXPECT_EQ(ai->m_DeleteIfNotDrawn, 0u);
    EXPECT_EQ(ai->m_State, AI_STATE_DEAD);
    EXPECT_TRUE(Events().empty() == false);
}

TEST_F(AIPlayerGameTest, ADeadBodyIsRevivedOutOfViewAfterTheDelay) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    Send(ai, MSG_SET_AI_PLAYER_DEATH_TYPE, static_cast<uint32_t>(AI_DEATH_SPAWN_ON_PLACE));
    Send(ai, MSG_SET_AI_PLAYER_DEATH_DELAY, 1.0f);
    Frames(2);  // in its room, which is not drawn
    Tell(guard, MSG_ON_DRAW_START);
    Send(guard, MSG_HURT, 500.0f);
    EXPECT_EQ(ai->m_State, AI_STATE_DEAD);
    Seconds(2.0f);
    // In view it stays dead.
    EXPECT_EQ(ai->m_State, AI_STATE_DEAD);
    Tell(guard, MSG_ON_DRAW_STOP);
    Frames(2);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    EXPECT_EQ(guard->m_Health, 99.0f);
    EXPECT_EQ(guard->m_StateFlags & CHAR_DEAD_LOCK, 0u);

    Send(ai, MSG_SET_AI_PLAYER_DEATH_TYPE, static_cast<uint32_t>(AI_DEATH_DELETE));
    MessageSpy& seen = Watch({guard}, {MSG_KILL});
    Send(guard, MSG_HURT, 500.0f);
    int frames = 0;
    while (seen.seen.empty() && frames++ < 120) Frame();
    // Killed once, the controller has let its body go and leaves with it.
    ASSERT_EQ(seen.seen.size(), 1u);
    EXPECT_EQ(ai->m_State, AI_STATE_REMOVED);
    EXPECT_NE(ai->m_Flags & ACTOR_DELETE_PENDING, 0u);
    EXPECT_TRUE(guard->m_CommandSpies.empty());
}

TEST_F(AIPlayerGameTest, TheTrailSkipsALoopOfTheLeaderAndAFollowerTooFarBehindGivesUp) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    CQVActor* leader = Make(CLASS_BASE, "Leader");
    ai->SetTarget(leader);
    ai->SetState(AI_STATE_FOLLOW);
    ai->m_FollowDistance = 1000.0f;  // a walk: eight points kept
    // The leader walks out along +x, round a corner and back near its third point.
    const Vector3 path[] = {{700, 0, 0},    {780, 0, 0},    {860, 0, 0},    {940, 0, 0},   {1020, 0, 0},
                            {1020, 0, 80},  {1020, 0, 160}, {940, 0, 160},  {860, 0, 70}};
    for (const Vector3& at : path) {
        Send(leader, MSG_SET_POSITION, at);
        Seconds(0.25f);
    }
    // Back within 100 of (860, 0, 0) past eight points: that point and all newer ones went, and the
    // follower goes from the second point straight to where the leader is now.
    ASSERT_GE(ai->m_Trail.size(), 2u);
    EXPECT_EQ(ai->m_Trail[0].x, 700.0f);
    EXPECT_EQ(ai->m_Trail[1].x, 780.0f);
    for (size_t i = 2; i < ai->m_Trail.size(); ++i) EXPECT_EQ(ai->m_Trail[i].z, 70.0f);

    ai->m_Trail = {Vector3(9000.0f, 0.0f, 0.0f)};
    ai->m_StationaryMotion = 0;
    Frame();
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
}

TEST_F(AIPlayerGameTest, AFighterBelowItsTargetClimbsOverTheHelperNodes) {
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    CQVActor* target = Make(CLASS_BASE, "High");
    Send(target, MSG_SET_POSITION, Vector3(0.0f, 400.0f, 0.0f));
    std::vector<CQVActor*> nodes;
    for (float y : {300.0f, 0.0f, 150.0f}) {
        CQVActor* node = Make(CLASS_AI_HELPER, "Node", group);
        Send(node, MSG_SET_POSITION, Vector3(100.0f, y, 0.0f));
        nodes.push_back(node);
    }
    Send(guard, MSG_ON_ENTER_DRAWGROUP, group->m_DrawGroupId);
    ASSERT_EQ(ai->m_NodeList.size(), 3u);
    EXPECT_EQ(ai->FindHelperForTarget(target), 1u);
    EXPECT_EQ(ai->m_NodeIndex, 1);  // the first node at its own height
    EXPECT_EQ(ai->m_NodeStep, 1);   // the target is higher
    // At the target's height there is nothing to climb.
    Send(target, MSG_SET_POSITION, Vector3(0.0f, 40.0f, 0.0f));
    EXPECT_EQ(ai->FindHelperForTarget(target), 1u);
    EXPECT_EQ(ai->m_NodeIndex, -1);
    EXPECT_EQ(ai->FindHelperForTarget(nullptr), 0u);
    // A node deleted while it is walked to leaves the fighter walking straight at its target.
    ai->SetTarget(target);
    ai->SetState(AI_STATE_FIGHT);
    ai->m_NodeIndex = 1;
    g_ActorSystem->DeleteActor(nodes[1]);
    Frame();
    EXPECT_EQ(ai->m_NodeIndex, -1);
}

TEST_F(AIPlayerGameTest, TheRouteMemoryCountsTheOpenConnectorAndTheSearchGoesThroughIt) {
    // The level's group becomes the west room; an east room joins it at x = 0.
    Send(group, MSG_SET_BOX_MAX, Vector3(0.0f, 5000.0f, 5000.0f));
    CQVActor* east = Make(CLASS_DRAW_GROUP, "East");
    Send(east, MSG_SET_BOX_MIN, Vector3(0.0f, -3000.0f, -5000.0f));
    Send(east, MSG_SET_BOX_MAX, Vector3(5000.0f, 5000.0f, 5000.0f));
    CQVActor* door = Make(CLASS_DRAW_GROUP_CONNECTOR, "Door");
    Send(door, MSG_SET_POSITION, Vector3(0.0f, kStand, 0.0f));
    Send(door, MSG_SET_RADIUS, 50.0f);
    CQVActor* helper = Make(CLASS_AI_HELPER, "Helper", east);
    CQVActor* goal = Make(CLASS_BASE, "Goal", east);
    Send(goal, MSG_SET_POSITION, Vector3(800.0f, 0.0f, 0.0f));
    g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    g_ActorSystem->BroadcastMessage(MSG_CONNACTOR_DRAWGROUPS, nullptr);
    Tell(door, MSG_OPEN_CONNACTOR);
    const uint32_t west = group->m_DrawGroupId;
    const uint32_t eastId = east->m_DrawGroupId;
    ASSERT_EQ(goal->m_DrawGroupId, eastId);
    // The body and its floor on both sides.
    CQVActor* eastFloor = AddBlock("East Floor", Vector3(0.0f, -100.0f, -4000.0f), Vector3(4000.0f, 0.0f, 4000.0f));
    eastFloor->m_DrawGroupId = eastId;

    CQVCharacter* guard = Body("Guard", Vector3(-120.0f, kStand, 0.0f));
    CQVAIPlayer* ai = Controller(guard);
    Send(ai, MSG_SET_AI_PLAYER_USE_MEMORY, 1u);
    Frames(5);
    ASSERT_EQ(guard->m_DrawGroupId, west);

    Text(ai, MSG_AI_PLAYER_SEARCH_AND_GO_TO_ACTOR, "Goal");
    EXPECT_EQ(ai->m_State, AI_STATE_GO_TO);
    ASSERT_EQ(ai->m_GoToPoints.size(), 2u);
    EXPECT_EQ(ai->m_GoToPoints[0].x, 0.0f);   // through the connector
    EXPECT_EQ(ai->m_GoToPoints[1].x, 800.0f); // to the goal
    ai->SetState(AI_STATE_IDLE);

    // Through the door and back: the group entered and the group left each count the connector passed.
    ASSERT_EQ(ai->m_RouteMemories.size(), 1u);
    EXPECT_EQ(ai->m_RouteMemories[0].group, west);
    EXPECT_EQ(ai->m_RouteMemories[0].visits, (std::vector<uint32_t>{1}));
    Send(guard, MSG_SET_POSITION, Vector3(120.0f, kStand, 0.0f));
    Frames(3);
    ASSERT_EQ(guard->m_DrawGroupId, eastId);
    EXPECT_EQ(ai->m_NodeList, (std::vector<uint32_t>{helper->m_Id}));
    ASSERT_EQ(ai->m_RouteMemories.size(), 2u);
    EXPECT_EQ(ai->m_RouteMemories[0].visits, (std::vector<uint32_t>{2}));
    EXPECT_EQ(ai->m_RouteMemories[1].group, eastId);
    EXPECT_EQ(ai->m_RouteMemories[1].visits, (std::vector<uint32_t>{1}));
    EXPECT_EQ(ai->m_RouteIndex, 1);
    Send(guard, MSG_SET_POSITION, Vector3(-120.0f, kStand, 0.0f));
    Frames(3);
    ASSERT_EQ(ai->m_RouteMemories.size(), 2u);
    EXPECT_EQ(ai->m_RouteMemories[0].visits, (std::vector<uint32_t>{3}));
    EXPECT_EQ(ai->m_RouteMemories[1].visits, (std::vector<uint32_t>{2}));
    EXPECT_EQ(ai->m_RouteIndex, 0);
    EXPECT_TRUE(ai->m_NodeList.empty());

    // Walking to connectors, the first one not yet used is chosen; one in reach is used on entering.
    ai->m_State = AI_STATE_CONNECTOR;
    ai->m_RouteMemories[0].visits = {0};
    Send(guard, MSG_ON_ENTER_DRAWGROUP, west);
    EXPECT_EQ(ai->m_RouteConnector, ACTOR_ID_NONE);
    ai->m_RouteMemories[0].visits = {0};
    Send(guard, MSG_SET_POSITION, Vector3(-600.0f, kStand, 0.0f));
    Send(guard, MSG_ON_ENTER_DRAWGROUP, west);
    EXPECT_EQ(ai->m_RouteConnector, door->m_Id);
    // A record made for another group gets no visit past its own connectors.
    ai->m_RouteMemories[1].visits.clear();
    ai->m_RouteIndex = 1;
    Send(guard, MSG_SET_POSITION, Vector3(-120.0f, kStand, 0.0f));
    Send(guard, MSG_ON_EXIT_DRAWGROUP, west);
    EXPECT_TRUE(ai->m_RouteMemories[1].visits.empty());

    // A goal in no room cannot be reached: the points go, the state stays.
    ai->m_State = AI_STATE_IDLE;
    CQVActor* nowhere = Make(CLASS_BASE, "Nowhere");
    nowhere->m_DrawGroupId = DRAWGROUP_NONE;
    ai->m_GoToPoints = {Vector3(1.0f, 2.0f, 3.0f)};
    Text(ai, MSG_AI_PLAYER_SEARCH_AND_GO_TO_ACTOR, "Nowhere");
    EXPECT_TRUE(ai->m_GoToPoints.empty());
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
}

TEST_F(AIPlayerGameTest, AVisionSensorStartsTheFightOnlyWhenTheTargetIsInSight) {
    CQVCharacter* enemy = Body("Enemy", Vector3(250.0f, kStand, 0.0f), 0x2);
    CQVCharacter* guard = Body("Guard", Vector3(0.0f, kStand, 0.0f));
    AddVolume(guard, "Vision", 300.0f, kSensorFlags);
    CQVAIPlayer* ai = Controller(guard);
    Send(ai, MSG_SET_AI_PLAYER_FIGHT_GROUP_5BC, 0x2u);
    CQVActor* wall = AddBlock("Wall", Vector3(120.0f, -100.0f, -300.0f), Vector3(140.0f, 300.0f, 300.0f));
    Frames(10);
    EXPECT_EQ(ai->m_State, AI_STATE_IDLE);
    g_ActorSystem->DeleteActor(wall);
    Frames(2);
    EXPECT_EQ(ai->m_State, AI_STATE_FIGHT);
    EXPECT_EQ(ai->Target(), enemy);
}

}  // namespace
