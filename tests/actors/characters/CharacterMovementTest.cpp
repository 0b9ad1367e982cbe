// The Character's per-frame step on a floor of the collision pass, frame
// by frame on a fixed clock: standing and walking by the motion's root
// displacement, jumps with coyote time, cooldown and boosts, landings with
// their shake and fall damage, falls, a wall run, and the parameter steps,
// the orientation and the sync that run in the same step.

#include "tests/actors/characters/CharacterTestSupport.h"

#include "services/mesh/Skeleton.h"

#include <cmath>

namespace {

constexpr float kRadius = 23.0f;  // the body sphere rests this far above the floor

class CharacterMovementTest : public CharacterLevelFixture {
protected:
    // A body on the floor, come to rest there.
    CQVCharacter* Stand(int32_t type = CHARACTER_CUSTOM,
                        const std::vector<CharacterMotion>& motions = DefaultCharacterMotions()) {
        CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, kRadius + 1.0f, 0.0f), type, motions);
        Frames(20);
        return hero;
    }
    // Sends the command every frame for count frames.
    static void Hold(CQVActor* hero, uint32_t command, int count) {
        for (int i = 0; i < count; ++i) {
            hero->HandleMessage(command, nullptr);
            Frame();
        }
    }
    // Frames until the body is on the ground again; the highest its centre came.
    static float UntilLanded(CQVCharacter* hero, int limit = 300) {
        float peak = hero->m_Position.y;
        for (int i = 0; i < limit; ++i) {
            Frame();
            peak = std::max(peak, hero->m_Position.y);
            if (hero->m_OnGround && hero->m_GroundedPrevious && !(hero->m_StateFlags & CHAR_MOTION_LOCKED)) break;
        }
        return peak;
    }
};

TEST_F(CharacterMovementTest, ABodyComesToRestOnTheFloorAndStandsThere) {
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, 200.0f, 0.0f));
    CharacterSpy& spy = Spy(hero);
    Frames(90);
    EXPECT_NEAR(hero->m_Position.y, kRadius, 1.0f);
    EXPECT_EQ(hero->m_OnGround, 1u);
    EXPECT_EQ(hero->m_DrawGroupId, group->m_DrawGroupId);
    EXPECT_EQ(spy.Count(MSG_ON_GROUND_START), 1u);
    EXPECT_FALSE(hero->InputLocked());
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_IS_ON_GROUND), 1u);
    // Standing still it stays where it is.
    const Vector3 rest = hero->m_Position;
    Frames(60);
    EXPECT_NEAR(hero->m_Position.x, rest.x, 0.01f);
    EXPECT_NEAR(hero->m_Position.y, rest.y, 0.5f);
    EXPECT_NEAR(hero->m_Position.z, rest.z, 0.01f);
    EXPECT_EQ(spy.Count(MSG_ON_GROUND_START), 1u);
}

TEST_F(CharacterMovementTest, WalkingCarriesTheBodyByTheMotionAlongItsHeading) {
    CQVCharacter* hero = Stand();
    Send(hero, MSG_SET_ROT_Y_3D0, -3.14159265f / 2.0f);  // facing +x: a body's forward is its -z
    Hold(hero, MSG_CC_FORWARD, 5);  // the body turns at its turn speed
    const Vector3 start = hero->m_Position;
    Hold(hero, MSG_CC_FORWARD, 60);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Forward");
    EXPECT_NE(hero->m_StateFlags & CHAR_MOVING, 0u);
    EXPECT_NEAR(hero->m_Position.x - start.x, 120.0f, 2.0f);  // the walk's root: 120 a second
    EXPECT_NEAR(hero->m_Position.z - start.z, 0.0f, 0.1f);
    EXPECT_NEAR(hero->m_Position.y, kRadius, 0.1f);
    // Without commands the body plays what it played: its controller chooses the next motion.
    Frames(30);
    EXPECT_EQ(hero->m_StateFlags & CHAR_MOVING, 0u);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Forward");
}

// The sample's figure and motions as the content tool makes them: pressed
// forward under a camera behind it looking along +z (the Player then sends
// the desired movement (0, 0, -1)), the body walks away from the camera,
// and the figure's front (where its feet point) leads the way it moves.
TEST_F(CharacterMovementTest, TheToolsFigureWalksForwardFacingTheWayItMoves) {
    std::vector<CharacterMotion> none;
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, kRadius + 1.0f, 0.0f), CHARACTER_THIRD_PERSON, none);
    ASSERT_NE(hero, nullptr);
    CQVSkinObject* skin = SkinOf(hero);
    for (NamedMotion& motion : MotBuild_FigureMotions(figure.bones)) {
        const uint32_t id = nextMotionId++;
        CQVMotionItem* item = AddMotion(id, "Fig_" + motion.name, motion.file);
        item->shared = 1;
        SkinMotion entry;
        entry.item = item;
        entry.itemId = static_cast<int32_t>(id);
        entry.length = item->tracks.empty() ? 1.0f : item->tracks[0]->length;
        entry.name = motion.name;
        skin->m_Motions.push_back(entry);
    }
    hero->HandleMessage(MSG_PRECALCULATE, nullptr);
    Frames(20);

    // The figure's front in its mesh: from its upright axis toward the feet's middle.
    Vector3 feet(0.0f, 0.0f, 0.0f);
    int count = 0;
    for (const SkinVertex& v : figure.subsets[0].skin) {
        const std::string& bone = figure.bones[v.bones[0]].name;
        if (bone != "L_Foot" && bone != "R_Foot") continue;
        feet += Vector3(v.position[0], 0.0f, v.position[2]);
        ++count;
    }
    ASSERT_GT(count, 0);
    const Vector3 meshFront = Vec3_Normalized(feet * (1.0f / static_cast<float>(count)));

    const Vector3 forward(0.0f, 0.0f, -1.0f);
    for (int i = 0; i < 60; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, forward);
        Frame();
    }
    const Vector3 start = hero->m_Position;
    for (int i = 0; i < 60; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, forward);
        Frame();
    }
    EXPECT_EQ(Playing(skin), "N_Forward");
    const Vector3 moved = hero->m_Position - start;
    EXPECT_GT(moved.z, 50.0f) << "away from the camera behind it";
    EXPECT_NEAR(moved.x, 0.0f, 1.0f);

    hero->Update();
    Vector3 front;
    Vec3_TransformNormal(&front, meshFront, skin->GetWorldMatrix());
    front.y = 0.0f;
    EXPECT_GT(Vec3_Dot(Vec3_Normalized(front), Vec3_Normalized(Vector3(moved.x, 0.0f, moved.z))), 0.99f)
        << "front " << front.x << ", " << front.z;
}

TEST_F(CharacterMovementTest, AShooterWalksOnARampAndStandsWhenItsCommandsStop) {
    CQVCharacter* hero = Stand(CHARACTER_THIRD_PERSON);
    // The desired movement comes negated, as the Player sends it: this one walks the body toward +x.
    const Vector3 toX(-1.0f, 0.0f, 0.0f);
    for (int i = 0; i < 90; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, toX);
        Frame();
    }
    EXPECT_NEAR(hero->m_RotYOld, -3.14159265f / 2.0f, 1e-3f);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Forward");
    // Past the start ramp the walk plays at 0.6 of its speed: 72 units a second.
    const Vector3 start = hero->m_Position;
    for (int i = 0; i < 60; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, toX);
        Frame();
    }
    EXPECT_NEAR(hero->m_Position.x - start.x, 72.0f, 2.0f);
    EXPECT_NEAR(hero->m_Position.z - start.z, 0.0f, 0.1f);
    // A frame without a movement command stops the body.
    Frames(2);
    const Vector3 stop = hero->m_Position;
    Frames(30);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Neutral");
    EXPECT_NEAR(hero->m_Position.x, stop.x, 0.5f);
}

TEST_F(CharacterMovementTest, AJumpRisesLandsAndGoesBackToItsStance) {
    CQVCharacter* hero = Stand();
    CharacterSpy& spy = Spy(hero);
    Tell(hero, MSG_CC_JUMP_STOP);
    Tell(hero, MSG_CC_JUMP);  // newest first: the jump happens, then the hold ends
    Frame();
    EXPECT_EQ(hero->m_MotionLetter, 'J');
    EXPECT_EQ(Playing(SkinOf(hero)), "J_Neutral");
    EXPECT_NE(hero->m_StateFlags & CHAR_MOTION_LOCKED, 0u);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_START_42A), 1u);
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_IS_IN_AIR), 1u);
    const float peak = UntilLanded(hero);
    // 330 units a second up against the pass's gravity of about 1766 (less the first frame's fall).
    EXPECT_NEAR(peak - kRadius, 330.0f * 330.0f / (2.0f * 1765.8f), 4.0f);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_STOP_42B), 1u);
    EXPECT_EQ(spy.Count(MSG_ON_GROUND_STOP), 1u);
    EXPECT_EQ(spy.Count(MSG_ON_GROUND_START), 1u);
    EXPECT_EQ(hero->m_MotionLetter, 'N');
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Neutral");
    EXPECT_EQ(spy.Count(MSG_ON_FALLDAMAGE), 0u);
    EXPECT_EQ(hero->m_Health, 99.0f);
}

TEST_F(CharacterMovementTest, HoldingTheJumpGivesTwoBoostsAndLandingWhileHeldJumpsAgain) {
    CQVCharacter* low = Stand();
    Tell(low, MSG_CC_JUMP_STOP);
    Tell(low, MSG_CC_JUMP);
    Frame();
    const float released = UntilLanded(low);
    Frames(30);
    CharacterSpy& spy = Spy(low);
    Tell(low, MSG_CC_JUMP);
    Frame();
    const float held = UntilLanded(low);
    // Each boost adds the jump force's share, 100 units a second, after 0.04 and 0.08 s.
    EXPECT_NEAR(held - kRadius, 63.0f, 3.0f);
    EXPECT_NEAR(released - kRadius, 28.0f, 3.0f);
    EXPECT_EQ(low->m_StateFlags & (CHAR_JUMP_BOOST1 | CHAR_JUMP_BOOST2), 0u);
    // The hold ended with the second boost: no new jump on landing.
    Frames(5);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_START_42A), 1u);
    // Held past the boosts' end (a jump pressed again in the air), the landing jumps again.
    Tell(low, MSG_CC_JUMP);
    Frame();
    Frames(10);
    Tell(low, MSG_CC_JUMP);  // held again; too late for a jump
    Frame();
    UntilLanded(low);
    Frames(2);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_START_42A), 3u);
    EXPECT_EQ(low->m_MotionLetter, 'J');
}

// A jump just after the ground is gone, by how long it has been gone.
struct CoyoteCase {
    float sinceGround;
    bool jumps;
};

class CharacterCoyote : public CharacterMovementTest, public testing::WithParamInterface<CoyoteCase> {};

TEST_P(CharacterCoyote, AJumpIsStillAllowedJustAfterTheGroundIsGone) {
    const CoyoteCase& c = GetParam();
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, 1000.0f, 0.0f));
    Frame();
    hero->m_LastGroundTime = g_GlobalClock.time + kFrame - c.sinceGround;  // at the next frame's time
    const float before = hero->m_DeltaPosition.y;
    Tell(hero, MSG_CC_JUMP);
    Frame();
    EXPECT_EQ(hero->m_MotionLetter == 'J', c.jumps) << c.sinceGround;
    EXPECT_EQ(hero->m_DeltaPosition.y > before, c.jumps) << c.sinceGround;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterCoyote,
                         testing::Values(CoyoteCase{0.1f, true}, CoyoteCase{0.14f, true}, CoyoteCase{0.16f, false},
                                         CoyoteCase{1.0f, false}));

TEST_F(CharacterMovementTest, TheCooldownRefusesASecondJumpAndAskedAgainInTheAirItKicks) {
    std::vector<CharacterMotion> motions = DefaultCharacterMotions();
    motions.push_back({"K_Forward", 0.5f});
    CQVCharacter* hero = Stand(CHARACTER_CUSTOM, motions);
    EXPECT_NE(hero->m_StateFlags & CHAR_HAS_KICK_MOTIONS, 0u);
    Tell(hero, MSG_CC_JUMP_STOP);
    Tell(hero, MSG_CC_JUMP);
    Frame();
    const float velocity = hero->m_DeltaPosition.y;
    Tell(hero, MSG_CC_JUMP_STOP);
    Tell(hero, MSG_CC_JUMP);  // within the cooldown and the coyote time
    Frame();
    // No second jump: the air kick instead, with its own impulse.
    EXPECT_NEAR(hero->m_DeltaPosition.y, velocity - 30.0f + 330.0f, 4.0f);
    EXPECT_EQ(Playing(SkinOf(hero)), "K_Forward");
    EXPECT_EQ(hero->m_MotionLetter, 'K');
    EXPECT_NE(hero->m_StateFlags & CHAR_MOTION_LOCKED, 0u);
    UntilLanded(hero);
    EXPECT_EQ(hero->m_MotionLetter, 'N');
}

TEST_F(CharacterMovementTest, ALongDropFallsAndHurtsByItsHeightAndTheImpact) {
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, 1600.0f, 0.0f));
    Send(hero, MSG_SET_HEALTH, 500.0f);
    hero->m_GroundChangeTime = g_GlobalClock.time;  // as if it had just left a ledge
    CharacterSpy& spy = Spy(hero);
    Frames(45);
    EXPECT_EQ(hero->m_MotionLetter, 'F');  // falling for more than half a second
    EXPECT_EQ(Playing(SkinOf(hero)), "F_Neutral");
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_START_42C), 1u);
    UntilLanded(hero);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_STOP_42D), 1u);
    EXPECT_EQ(spy.Count(MSG_ON_FALLDAMAGE), 1u);
    // The whole fall damage (the drop is past "FallDamage2 Stop") and the impact's share.
    EXPECT_LT(hero->m_Health, 500.0f - 100.0f - 50.0f);
    EXPECT_GT(hero->m_Health, 0.0f);
    EXPECT_GT(hero->m_ShakeVelocity + hero->m_ShakeAmplitude, 0.0f);
    EXPECT_EQ(hero->m_MotionLetter, 'N');
}

// The landing of a body that comes down at a speed: what it shakes and costs.
struct LandingCase {
    float speed;     // units a second at the landing
    bool shakes;
    float damage;    // the impact's share, FallDamage1 Mul 1
};

class CharacterLanding : public CharacterMovementTest, public testing::WithParamInterface<LandingCase> {};

TEST_P(CharacterLanding, TheImpactShakesPast650AndHurtsPast900) {
    const LandingCase& c = GetParam();
    CQVCharacter* hero = Stand();
    Send(hero, MSG_SET_HEALTH, 90.0f);
    // In the air a moment ago, coming down at the speed.
    hero->m_GroundedPrevious = 0;
    hero->m_StateFlags |= CHAR_MOTION_LOCKED;
    hero->m_PreviousVelocityY = -c.speed;
    hero->m_StartPosition = hero->m_Position;
    Frame();
    EXPECT_EQ(hero->m_ShakeVelocity > 0.0f, c.shakes) << c.speed;
    EXPECT_NEAR(90.0f - hero->m_Health, c.damage, 0.5f) << c.speed;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterLanding,
                         testing::Values(LandingCase{600.0f, false, 0.0f}, LandingCase{850.0f, true, 0.0f},
                                         LandingCase{1150.0f, true, 25.0f}));

TEST_F(CharacterMovementTest, AJumpAtAWallRunsUpItThenPushesOff) {
    std::vector<CharacterMotion> motions = DefaultCharacterMotions();
    motions.push_back({"W_Forward", 1.0f, Vector3(0.0f, 0.0f, -200.0f)});
    AddBlock("Wall", Vector3(-500.0f, 0.0f, 150.0f), Vector3(500.0f, 2000.0f, 400.0f));
    CQVCharacter* hero = Stand(CHARACTER_THIRD_PERSON, motions);
    ASSERT_NE(hero->m_StateFlags & CHAR_WALL_CLIMB, 0u);
    hero->m_CpBase[CP_MOVE_ON_JUMP] = 0.0f;  // no air control: the body keeps its speed toward the wall
    CharacterSpy& spy = Spy(hero);
    const Vector3 toWall(0.0f, 0.0f, -1.0f);  // negated, as the Player sends it
    for (int i = 0; i < 300 && hero->m_Position.z < 112.0f; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, toWall);
        Frame();
    }
    Send(hero, MSG_SET_DESIRED_MOVEMENT, toWall);
    Tell(hero, MSG_CC_JUMP_STOP);
    Tell(hero, MSG_CC_JUMP);
    Frame();
    for (int i = 0; i < 60 && hero->m_MotionLetter != 'W'; ++i) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, toWall);
        Frame();
    }
    ASSERT_EQ(hero->m_MotionLetter, 'W');
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_IS_ON_WALL), 1u);
    EXPECT_EQ(Playing(SkinOf(hero)), "W_Forward");
    EXPECT_EQ(hero->m_WallJumpCount, 1u);
    EXPECT_NEAR(hero->m_WallNormal.z, -1.0f, 0.01f);
    const float start = hero->m_Position.y;
    float highest = start;
    int frames = 0;
    for (; frames < 150 && hero->m_MotionLetter == 'W'; ++frames) {
        Send(hero, MSG_SET_DESIRED_MOVEMENT, toWall);
        Frame();
        highest = std::max(highest, hero->m_Position.y);
    }
    EXPECT_GT(highest, start + 100.0f);  // the run carries the body up the wall
    EXPECT_LE(frames, 80);               // 1.25 s at most
    EXPECT_GT(hero->m_WallBlend, 0.0f);
    EXPECT_EQ(hero->m_MotionLetter, 'F');  // pushed off
    EXPECT_NE(hero->m_StateFlags & CHAR_PUSHED_OFF_WALL, 0u);
    UntilLanded(hero);
    EXPECT_EQ(hero->m_WallJumpCount, 0u);
    EXPECT_EQ(spy.Count(MSG_ON_JUMP_STOP_42D), 1u);
    Frames(120);
    EXPECT_EQ(hero->m_WallBlend, 0.0f);
}

TEST_F(CharacterMovementTest, AirControlPushesAlongTheHeadingUpToItsMost) {
    CQVCharacter* hero = MakeLevelCharacter(Vector3(0.0f, 2000.0f, 0.0f));
    Frame();
    hero->m_StateFlags |= CHAR_MOTION_LOCKED;  // in a jump: no fall starts
    hero->m_DeltaPosition = Vector3(0.0f, 0.0f, 50.0f);
    Tell(hero, MSG_CC_FORWARD);
    Frame();
    // The push is 1800 units a second along -z of the heading, times MoveOnJump.
    EXPECT_NEAR(hero->m_DeltaPosition.z, 50.0f - 30.0f, 0.5f);
    for (int i = 0; i < 30; ++i) {
        Tell(hero, MSG_CC_FORWARD);
        Frame();
    }
    // Speeding up stops at MoveOnJumpMax: 100 units a second.
    EXPECT_NEAR(hero->m_DeltaPosition.z, -100.0f, 1.5f);  // less the air's drag
    EXPECT_NEAR(hero->m_DeltaPosition.x, 0.0f, 0.01f);
}

TEST_F(CharacterMovementTest, ParameterChangesStepBackToTheBaseAndTellTheCamera) {
    CQVCharacter* hero = Stand();
    CQVActor* camera = Make(CLASS_CAMERA, "Camera");
    Send(hero, MSG_SET_NOTIFYCAMERA, camera);
    EXPECT_EQ(Ask<CQVActor*>(hero, MSG_GET_NOTIFYCAMERA), camera);
    CharacterSpy cameraSpy;
    auto link = std::make_unique<ActorLink>();
    link->SetOwner(camera);
    link->SetTarget(&cameraSpy);
    camera->m_CommandSpies.push_back(std::move(link));
    float change[2] = {50.0f, 0.5f};
    hero->HandleMessage(MSG_CHANGE_CPFOV, Args_Of(change));
    Frames(7);
    EXPECT_FLOAT_EQ(hero->m_CpEffective[CP_FOV], 0.5f);  // the change starts at its target
    EXPECT_EQ(cameraSpy.Count(MSG_SET_FOV), 1u);
    Frames(42);
    EXPECT_FLOAT_EQ(hero->m_CpEffective[CP_FOV], 1.0f);
    EXPECT_GE(cameraSpy.Count(MSG_SET_FOV), 4u);
    float gamma[2] = {100.0f, 1.0f};
    hero->HandleMessage(MSG_CHANGE_CPGAMMARADD, Args_Of(gamma));
    Frames(7);
    EXPECT_EQ(cameraSpy.Count(MSG_SET_GAMMA), 0u);  // 1.0 was already the value
    hero->m_CpBase[CP_VISION] = 2.0f;
    Frames(7);
    EXPECT_EQ(cameraSpy.Count(MSG_SET_GAMMA), 1u);
    camera->m_CommandSpies.clear();
    g_ActorSystem->DeleteActor(camera);
    EXPECT_EQ(hero->m_NotifyCamera.target, nullptr);
    Frames(10);
}

TEST_F(CharacterMovementTest, RunningCostsEnduranceAndTheExhaustionEventsComeInOrder) {
    CQVCharacter* hero = Stand();
    CharacterSpy& spy = Spy(hero);
    hero->m_CpBase[CP_ENDURANCE] = 0.5f;
    hero->HandleMessage(MSG_CC_STATE_RUN, nullptr);
    Hold(hero, MSG_CC_FORWARD, 240);
    EXPECT_EQ(hero->m_MotionLetter, 'R');
    EXPECT_EQ(Playing(SkinOf(hero)), "R_Forward");
    EXPECT_LT(hero->m_Capacity, 0.25f);
    ASSERT_EQ(spy.Count(MSG_EXHAUST_50_START), 1u);
    ASSERT_EQ(spy.Count(MSG_EXHAUST_75_START), 1u);
    std::vector<uint32_t> order;
    for (const HandledMessage& m : spy.seen) {
        if (m.id >= MSG_EXHAUST_50_START && m.id <= MSG_EXHAUST_100) order.push_back(m.id);
    }
    EXPECT_EQ(order.front(), MSG_EXHAUST_50_START);
    // Standing, the reserve comes back by 0.009 a step (times Endurance).
    hero->m_CpBase[CP_ENDURANCE] = 2.0f;
    Frames(600);
    EXPECT_GE(hero->m_Capacity, 0.5f);
    EXPECT_GE(spy.Count(MSG_EXHAUST_75_STOP), 1u);
}

TEST_F(CharacterMovementTest, ApproachAngleTakesTheShorterWayAcrossTheSeam) {
    const struct {
        float current, target, step, expected;
    } cases[] = {
        {0.0f, 1.0f, 0.25f, 0.25f},          {0.0f, 1.0f, 2.0f, 1.0f},        {1.0f, 0.0f, 0.25f, 0.75f},
        {3.0f, -3.0f, 0.1f, 3.1f},           {-3.0f, 3.0f, 0.1f, -3.1f},      {3.0f, -3.0f, 1.0f, -3.0f},
        {0.0f, 3.1414f, 0.1f, 0.1f},         {0.0f, 3.14155f, 0.1f, -0.1f},   {0.0f, 7.0f, 10.0f, 7.0f - 6.2831855f},
        {9.0f, 1.0f, 0.0f, 9.0f},            {9.0f, 1.0f, -1.0f, 9.0f},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(Character_ApproachAngle(c.current, c.target, c.step), c.expected, 1e-4f)
            << c.current << " " << c.target << " " << c.step;
    }
    EXPECT_NEAR(Character_WrapAngle(7.0f), 7.0f - 6.2831855f, 1e-5f);
    EXPECT_NEAR(Character_WrapAngle(-7.0f), -7.0f + 6.2831855f, 1e-5f);
    EXPECT_EQ(Character_WrapAngle(1.0f), 1.0f);
}

TEST_F(CharacterMovementTest, TheBodyTurnsTowardItsHeadingAndTheHeadFollowsTheLook) {
    CQVCharacter* hero = Stand(CHARACTER_THIRD_PERSON);
    hero->m_LookRotY = 2.5f;
    hero->m_LookRotYSpeed = 1000.0f;
    hero->m_StateFlags |= CHAR_STANDING;
    Frame();
    EXPECT_EQ(hero->m_LookRotYSM, 2.5f);
    EXPECT_NEAR(hero->m_LookYawDelta, 2.5f - hero->m_RotYOld, 1e-4f);
    Frames(120);
    // Past 1.8 the head turns back: 1.8 - 0.7 x 1.3416888, with its sway.
    EXPECT_NEAR(hero->m_HeadYaw, 1.8f - 0.7f * 1.3416888f, 0.5f);
    EXPECT_LT(hero->m_HeadYaw, 1.8f);
    // A heading for the body: it turns at its turn speed, 20 radians a second.
    hero->m_StateFlags &= ~CHAR_STANDING;
    hero->m_LookRotY = 0.0f;
    hero->m_DesiredYawOffset = 1.0f;
    Tell(hero, MSG_CC_FORWARD);
    Frame();
    EXPECT_NEAR(hero->m_RotYOld, 20.0f / 60.0f, 0.01f);
    Frames(3);
    EXPECT_NEAR(hero->m_RotYOld, 1.0f, 1e-3f);
    Quaternion expected;
    Quat_FromYawPitchRoll(&expected, hero->m_RotYOld, 0.0f, 0.0f);
    EXPECT_NEAR(std::fabs(hero->m_Rotation.y), std::fabs(expected.y), 1e-4f);
}

TEST_F(CharacterMovementTest, TheSyncRecordGoesOutThirtyTimesASecond) {
    CQVCharacter* hero = Stand();
    g_ActorSystem->m_ReplayState = 2;
    auto syncs = [] {
        size_t count = 0;
        for (const ReplayLogEntry& entry : g_ActorSystem->m_ReplayLog) count += entry.messageId == MSG_CHARACTERSYNC;
        return count;
    };
    hero->m_SyncTime = 0.0f;
    Frame(1.0f / 20.0f);
    EXPECT_EQ(syncs(), 1u);
    EXPECT_NEAR(hero->m_SyncTime, 1.0f / 60.0f, 1e-5f);
    hero->m_SyncTime = 0.0f;
    Frame(0.07f);
    EXPECT_EQ(syncs(), 2u);
    EXPECT_EQ(hero->m_SyncTime, 0.0f);
    Frames(60);
    EXPECT_NEAR(static_cast<float>(syncs()), 32.0f, 1.5f);
    // A peer applies the record: the body where it was sent from.
    const ReplayLogEntry& last = g_ActorSystem->m_ReplayLog.back();
    CQVCharacter* peer = MakeCharacter("Peer");
    peer->HandleMessage(MSG_CHARACTERSYNC, MessageArgs(last.args, MessageArgs_GetBlockSize(MSG_CHARACTERSYNC, nullptr)));
    EXPECT_EQ(peer->m_Position.x, hero->m_Position.x);
    EXPECT_EQ(peer->m_Health, hero->m_Health);
    for (ReplayLogEntry& entry : g_ActorSystem->m_ReplayLog) delete[] entry.args;
    g_ActorSystem->m_ReplayLog.clear();
    g_ActorSystem->m_ReplayState = 0;
}

TEST_F(CharacterMovementTest, TheFirstPersonCameraSwaysOnlyWhenTheBodyIsSpentOrShaken) {
    CQVCharacter* hero = Stand(CHARACTER_FIRST_PERSON);
    CQVActor* eye = Make(CLASS_CAMERA, "Eye", hero);
    Tell(hero, MSG_PRECALCULATE);
    ASSERT_EQ(hero->m_Camera.target, eye);
    Frame();
    Quaternion level;
    Quat_FromYawPitchRoll(&level, 0.0f, 0.0f, -3.14159265f / 2.0f);
    EXPECT_NEAR(eye->m_Rotation.z, level.z, 1e-6f);
    EXPECT_NEAR(eye->m_Rotation.w, level.w, 1e-6f);
    EXPECT_NEAR(eye->m_Rotation.x, 0.0f, 1e-6f);
    hero->m_Capacity = 0.3f;
    Frames(10);
    EXPECT_GT(std::fabs(eye->m_Rotation.x) + std::fabs(eye->m_Rotation.y), 1e-3f);
    // The look matrix of a first-person body is its camera's.
    const Matrix look = Ask<Matrix>(hero, MSG_GET_LOOKMATRIX);
    EXPECT_EQ(look.m[0][0], eye->GetWorldMatrix().m[0][0]);
}

TEST_F(CharacterMovementTest, ActorsNamedAfterBonesFollowThemOnceTheBodyIsDrawn) {
    CQVCharacter* hero = Stand();
    CQVActor* hand = Make(CLASS_BASE, "R_Hand", hero);
    Tell(hero, MSG_RESYNC_SKIN);  // the bones and their actors are looked up again
    Frame();
    ASSERT_EQ(hero->m_AttachedActors[9].target, hand);
    EXPECT_EQ(hand->m_Position.x, 0.0f);
    // Drawn in this frame, it follows in the next.
    hero->Update();
    SkinOf(hero)->HandleMessage(MSG_UPDATE_BONES, nullptr);
    Frame();
    Matrix bone;
    ASSERT_TRUE(Bone_GetMatrix(hero->m_Bones[9], &bone));
    EXPECT_NEAR(hand->m_Position.x, bone.m[3][0] + SkinOf(hero)->m_Position.x, 1e-3f);
    EXPECT_NE(hand->m_Position.x, 0.0f);
}

TEST_F(CharacterMovementTest, DroppedItemsFallOutOneEveryHalfSecondAfterAPause) {
    CQVCharacter* hero = Stand();
    CQVActor* items = Make(CLASS_BASE, "Items", hero);
    CQVActor* coin = Make(CLASS_BASE, "Coin", items);
    CQVActor* key = Make(CLASS_BASE, "Key", items);
    Tell(hero, MSG_PRECALCULATE);
    CharacterSpy keySpy;
    auto link = std::make_unique<ActorLink>();
    link->SetOwner(key);
    link->SetTarget(&keySpy);
    key->m_CommandSpies.push_back(std::move(link));
    Send(hero, MSG_CHAR_DROP_ITEMS, 100.0f);
    EXPECT_EQ(hero->m_DropCount, 3);
    Frames(118);  // 1.5 s of pause and the first interval
    EXPECT_EQ(keySpy.Count(MSG_SET_STATE_DROP_ON_GROUND), 0u);
    Frames(4);
    EXPECT_EQ(keySpy.Count(MSG_SET_STATE_DROP_ON_GROUND), 1u);  // child 3001 mod 2
    EXPECT_EQ(hero->m_DropCount, 2);
    Frames(62);
    EXPECT_EQ(hero->m_DropCount, 0);
    EXPECT_EQ(keySpy.Count(MSG_SET_STATE_DROP_ON_GROUND), 3u);
    key->m_CommandSpies.clear();
    (void)coin;
}

TEST_F(CharacterMovementTest, ACopyTakesTheFieldsButLooksUpItsOwnBones) {
    CQVCharacter* hero = Stand(CHARACTER_THIRD_PERSON);
    hero->m_Ammo[5] = 12;
    hero->m_LookRot2Y = 0.5f;
    hero->m_MotionQueue.push_back(7);
    ASSERT_FALSE(hero->m_Bones.empty());
    auto* copy = static_cast<CQVCharacter*>(
        g_ActorSystem->CreateActor(CLASS_CHARACTER, "Copy", hero, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Ammo[5], 12u);
    EXPECT_EQ(copy->m_LookRot2Y, 0.5f);
    EXPECT_EQ(copy->m_MotionQueue.size(), 1u);
    EXPECT_EQ(copy->m_CharacterType, CHARACTER_THIRD_PERSON);
    EXPECT_EQ(copy->m_Health, hero->m_Health);
    EXPECT_TRUE(copy->m_Bones.empty());
    EXPECT_EQ(copy->m_ColObjs.size(), hero->m_ColObjs.size());
}

TEST_F(CharacterMovementTest, OffTheLevelTheBodyDies) {
    CQVCharacter* hero = MakeLevelCharacter(Vector3(4500.0f, 100.0f, 0.0f));
    CharacterSpy& spy = Spy(hero);
    Frames(200);  // falls past the level's box
    EXPECT_EQ(spy.Count(MSG_ON_INVALID_DRAWGROUP), 1u);
    EXPECT_EQ(hero->m_Health, 0.0f);
    EXPECT_EQ(spy.Count(MSG_ON_DIE), 1u);
}

}  // namespace
