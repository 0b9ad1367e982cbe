// The Character's messages: the command queue with its input and hand
// locks, the hold time, motion requests and the motion queue, health,
// healing, degeneration and death, the look clamps, ammunition, noise and
// visibility, the character types, the binding to its children, items in
// the hands, and the faults its neighbours must not be able to cause.

#include "tests/actors/characters/CharacterTestSupport.h"

namespace {

// A block over a whole array of values.
template <typename T, size_t N>
MessageArgs Block(const std::array<T, N>& values) {
    return MessageArgs(values.data(), sizeof(T) * N);
}

class CharacterCommandsTest : public CharacterLevelFixture {
protected:
    void SetUp() override {
        CharacterLevelFixture::SetUp();
        if (HasFatalFailure()) return;
        hero = MakeCharacter();
        ASSERT_NE(hero, nullptr);
    }
    void Unlock() { Send(hero, MSG_SET_HOLD_TIME, 0.0f); }
    std::vector<uint32_t> Queue() const { return hero->m_CommandQueue; }
    CQVCharacter* hero = nullptr;
};

// Which controller commands enter the queue, by the input and hand locks.
struct QueueCase {
    const char* label;
    uint32_t command;
    bool inputLocked, handsLocked;
    bool queued;
};

class CharacterQueue : public CharacterCommandsTest, public testing::WithParamInterface<QueueCase> {};

TEST_P(CharacterQueue, CommandsEnterTheQueueByTheLocks) {
    const QueueCase& c = GetParam();
    if (!c.inputLocked) Unlock();
    if (c.handsLocked) Tell(hero, MSG_CC_LOCKHANDS);
    EXPECT_EQ(hero->InputLocked(), c.inputLocked);
    Tell(hero, c.command);
    EXPECT_EQ(Queue(), c.queued ? std::vector<uint32_t>{c.command} : std::vector<uint32_t>{}) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharacterQueue,
    testing::Values(QueueCase{"a jump while locked is dropped", MSG_CC_JUMP, true, false, false},
                    QueueCase{"a jump while free is queued", MSG_CC_JUMP, false, false, true},
                    QueueCase{"a stop is always queued", MSG_CC_RACTION1_STOP, true, true, true},
                    QueueCase{"the left stop too", MSG_CC_LACTION1_STOP, true, false, true},
                    QueueCase{"a reload with locked hands is dropped", MSG_CC_RELOAD, false, true, false},
                    QueueCase{"walking with locked hands is queued", MSG_CC_FORWARD, false, true, true},
                    QueueCase{"a hand action while free is queued", MSG_CC_RACTION2_START, false, false, true},
                    QueueCase{"left is the controller's own", MSG_CC_LEFT, false, false, false},
                    QueueCase{"right too", MSG_CC_RIGHT, false, false, false},
                    QueueCase{"and back", MSG_CC_BACK, false, false, false},
                    QueueCase{"locking the hands is not queued", MSG_CC_LOCKHANDS, false, false, false}));

TEST_F(CharacterCommandsTest, TheHoldTimeLocksOnceUnlocksOnceAndEmptiesTheQueue) {
    CharacterSpy& spy = Spy(hero);
    Unlock();
    EXPECT_EQ(spy.Count(MSG_ON_UNLOCK_INPUT), 1u);
    Tell(hero, MSG_CC_FORWARD);
    Send(hero, MSG_SET_HOLD_TIME, 2.0f);
    EXPECT_TRUE(hero->InputLocked());
    EXPECT_TRUE(Queue().empty());
    Send(hero, MSG_SET_HOLD_TIME, 3.0f);
    EXPECT_EQ(spy.Count(MSG_ON_LOCK_INPUT), 1u);
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_GET_HOLD_TIME), 3.0f);
    // The hold runs out in the frames.
    Frames(185);
    EXPECT_FALSE(hero->InputLocked());
    EXPECT_EQ(hero->m_HoldTime, 0.0f);
    EXPECT_EQ(spy.Count(MSG_ON_UNLOCK_INPUT), 2u);
    // A dead lock refuses the hold time; lifting it unlocks.
    Send<uint32_t>(hero, MSG_SET_DEAD_LOCK, 1);
    Send(hero, MSG_SET_HOLD_TIME, 5.0f);
    EXPECT_FALSE(hero->InputLocked());
    Send(hero, MSG_SET_HOLD_TIME, 5.0f);
    Send<uint32_t>(hero, MSG_SET_DEAD_LOCK, 0);
    EXPECT_EQ(spy.Count(MSG_ON_LOCK_INPUT), 1u);
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_GET_DEAD_LOCK), 0u);
}

TEST_F(CharacterCommandsTest, TheShooterTypesGetTheirIdleMotionsBackWhenTheInputUnlocks) {
    Send<uint32_t>(hero, MSG_SET_CHARACTER_TYPE, CHARACTER_THIRD_PERSON);
    hero->m_StateFlags &= ~CHAR_IDLE_ALLOWED;
    Unlock();
    EXPECT_NE(hero->m_StateFlags & CHAR_IDLE_ALLOWED, 0u);
}

TEST_F(CharacterCommandsTest, MotionRequestsAreRefusedWhileLockedAndNameTheirBaseMotion) {
    EXPECT_EQ(Text(hero, MSG_SET_MOTION, "R_Forward"), 1);  // locked: nothing happens
    EXPECT_EQ(hero->m_MotionIndex, 0u);
    Unlock();
    Text(hero, MSG_SET_MOTION, "R_Forward");
    EXPECT_EQ(Playing(SkinOf(hero)), "R_Forward");
    EXPECT_EQ(hero->m_MotionLetter, 'R');
    EXPECT_EQ(AskText<char>(hero, MSG_GET_MOVEMENT), "Forward");
    EXPECT_EQ(AskText<char>(hero, MSG_GET_STATE_34A), "R");
    // Unknown, short and empty names change nothing.
    for (const char* name : {"R_Flying", "R", "", "Forward"}) {
        Text(hero, MSG_SET_MOTION, name);
        EXPECT_EQ(hero->m_MotionIndex, 4u) << name;
        EXPECT_EQ(hero->m_MotionLetter, 'R') << name;
    }
    Text(hero, MSG_SET_MOVEMENT_34D, "neutral");  // keeps the letter asked for last
    EXPECT_EQ(hero->m_MotionIndex, 0u);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Neutral");  // no "R_Neutral": the neutral form
    Text(hero, MSG_SET_CURRENT_STATE, "C");
    EXPECT_EQ(hero->m_StateLetter, 'C');
    hero->m_StateFlags |= CHAR_MOTION_LOCKED;
    Text(hero, MSG_SET_STATE_349, "J");
    Text(hero, MSG_SET_MOTION, "J_Forward");
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Neutral");
    Send(hero, MSG_SET_ROT_Y_3D0, 1.0f);
    EXPECT_EQ(hero->m_RotY, 0.0f);
    hero->m_StateFlags &= ~CHAR_MOTION_LOCKED;
    Send(hero, MSG_SET_ROT_Y_3D0, 1.0f);
    EXPECT_EQ(Ask<float>(hero, MSG_SET_ROT_Y_3D1), 1.0f);
    EXPECT_EQ(Send(hero, MSG_SET_MOVEMENT_362, 7u), 1);
    // An index past the table names no motion.
    hero->m_MotionIndex = kBaseMotionCount;
    EXPECT_EQ(AskText<char>(hero, MSG_GET_MOVEMENT), "");
}

// The words "MotionQueue Push Back" and "Push Front" queue.
struct QueueWordCase {
    const char* text;
    bool front;
    uint32_t word;
};

class CharacterMotionQueue : public CharacterCommandsTest, public testing::WithParamInterface<QueueWordCase> {};

TEST_P(CharacterMotionQueue, RequestsAreEncodedAsTheyArePushed) {
    const QueueWordCase& c = GetParam();
    Unlock();
    hero->m_MotionLetter = 'R';
    hero->m_MotionIndex = 5;
    Text(hero, c.front ? MSG_MOTIONQUEUE_PUSH_FRONT : MSG_MOTIONQUEUE_PUSH_BACK, c.text);
    ASSERT_EQ(hero->m_MotionQueue.size(), 1u) << c.text;
    EXPECT_EQ(hero->m_MotionQueue.front(), c.word) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterMotionQueue,
                         testing::Values(QueueWordCase{"C", false, 0x80000000u | 'C'},
                                         QueueWordCase{"N_Forward", false, 4u << 8 | 'N'},
                                         QueueWordCase{"Forward", false, 0x40000000u | 4u << 8},
                                         QueueWordCase{"C", true, 5u << 8 | 'C'},
                                         QueueWordCase{"N_Forward", true, 4u << 8 | 'N'},
                                         QueueWordCase{"Forward", true, 4u << 8 | 'R'}));

TEST_F(CharacterCommandsTest, TheQueueDrainsOneRequestPerLoopAndKeepsWhatItsMarkersKeep) {
    Unlock();
    Send<uint32_t>(hero, MSG_SET_MASTER, 1);
    CharacterSpy& spy = Spy(hero);
    Text(hero, MSG_SET_MOTION, "N_Forward");
    Text(hero, MSG_MOTIONQUEUE_PUSH_BACK, "R");
    Text(hero, MSG_MOTIONQUEUE_PUSH_BACK, "Neutral");
    Send<uint32_t>(hero, MSG_CALLBACK_SKINLOOPING, 0);
    EXPECT_EQ(Playing(SkinOf(hero)), "R_Forward");  // the base motion kept, the letter changed
    EXPECT_EQ(spy.Count(MSG_CHAR_MOTION_QUEUE_EMPTY), 0u);
    Send<uint32_t>(hero, MSG_CALLBACK_SKINLOOPING, 5);  // not a loop of layer 0 or 1
    EXPECT_EQ(hero->m_MotionQueue.size(), 1u);
    hero->m_StateFlags |= CHAR_MOTION_LOCKED;
    Send<uint32_t>(hero, MSG_CALLBACK_SKINLOOPING, 1);
    EXPECT_EQ(hero->m_MotionQueue.size(), 1u);
    hero->m_StateFlags &= ~CHAR_MOTION_LOCKED;
    Tell(hero, MSG_MOTIONQUEUE_LOCK);
    Tell(hero, MSG_MOTIONQUEUE_FORCE_NEXT);
    EXPECT_EQ(hero->m_MotionQueue.size(), 1u);
    Tell(hero, MSG_MOTIONQUEUE_UNLOCK);
    Send<uint32_t>(hero, MSG_CALLBACK_SKINLOOPING, 1);
    EXPECT_EQ(hero->m_MotionLetter, 'N');  // the letter kept: no "R_Neutral", so the neutral form
    EXPECT_EQ(hero->m_MotionIndex, 0u);
    EXPECT_EQ(spy.Count(MSG_CHAR_MOTION_QUEUE_EMPTY), 1u);
    // "Set Next Movement" replaces what is queued.
    Text(hero, MSG_MOTIONQUEUE_PUSH_BACK, "N_Forward");
    Text(hero, MSG_SET_NEXT_MOVEMENT, "Damage0");
    ASSERT_EQ(hero->m_MotionQueue.size(), 1u);
    EXPECT_EQ(hero->m_MotionQueue.front(), 0x40000000u | 18u << 8);
}

TEST_F(CharacterCommandsTest, DeathPlaysTheDieMotionQueuesTheDeadOneAndLocksTheBody) {
    Unlock();
    Send<uint32_t>(hero, MSG_SET_MASTER, 1);
    Send(hero, MSG_SET_HEALTH, 3.0f);
    Send<uint32_t>(hero, MSG_SET_DIE_INDEX, 2);
    CharacterSpy& spy = Spy(hero);
    Send(hero, MSG_HURT, 5.0f);
    EXPECT_EQ(hero->m_Health, 0.0f);
    EXPECT_EQ(spy.Count(MSG_ON_DIE), 1u);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Die2");
    ASSERT_EQ(hero->m_MotionQueue.size(), 1u);
    EXPECT_EQ(hero->m_MotionQueue.front(), 45u << 8 | 'N');  // "Dead2"
    EXPECT_NE(hero->m_StateFlags & CHAR_DEAD_LOCK, 0u);
    EXPECT_TRUE(hero->InputLocked());
    EXPECT_EQ(hero->m_HoldTime, 100000000.0f);
    // The three stops are always queued: the hands let go.
    EXPECT_EQ(Queue(), (std::vector<uint32_t>{MSG_CC_RACTION1_STOP, MSG_CC_RACTION2_STOP, MSG_CC_LACTION1_STOP}));
    for (const ColObj& volume : hero->m_ColObjs) EXPECT_EQ(volume.flags & 0x0400025Cu, 0x0400025Cu);
    // A dead body takes no more changes and no more hold times.
    Send(hero, MSG_HURT, 5.0f);
    float heal[2] = {50.0f, 100.0f};
    hero->HandleMessage(MSG_HEAL, Args_Of(heal));
    EXPECT_EQ(hero->m_Health, 0.0f);
    EXPECT_EQ(spy.Count(MSG_ON_DIE), 1u);
    Send(hero, MSG_SET_HOLD_TIME, 0.0f);
    EXPECT_TRUE(hero->InputLocked());
    // The dead motion follows when the die motion ends.
    Send<uint32_t>(hero, MSG_CALLBACK_SKINLOOPING, 0);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Dead2");
}

TEST_F(CharacterCommandsTest, ABodyNotDrivenHereDoesNotDie) {
    Send(hero, MSG_SET_HEALTH, 3.0f);
    Send(hero, MSG_HURT, 2.5f);
    EXPECT_FLOAT_EQ(hero->m_Health, 0.5f);
    EXPECT_EQ(hero->m_StateFlags & CHAR_DEAD_LOCK, 0u);
    Send(hero, MSG_HURT_AREA, std::array<uint32_t, 2>{0, 4});
    EXPECT_EQ(hero->m_DieIndex, 4u);
}

TEST_F(CharacterCommandsTest, HealthAboveTheCeilingGrowsSlowlyAndDegeneratesOneStepEachHalfSecond) {
    Send(hero, MSG_SET_HEALTH, 150.0f);
    CharacterSpy& spy = Spy(hero);
    float gain[2] = {10.0f, 1.0f};
    hero->HandleMessage(MSG_CHANGE_CPHEALTH, Args_Of(gain));
    EXPECT_FLOAT_EQ(hero->m_Health, 150.0f + 10.0f / 3.55f);
    ASSERT_NE(hero->FindTimedMessageByTag(252), nullptr);
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_CHARACTER_HEALTH_IS_ABOVE_100), 1u);
    // From 100.5: a step to 99.5, then the last one to 98.5, which ends it.
    Send(hero, MSG_SET_HEALTH, 100.5f);
    Frames(31);
    EXPECT_FLOAT_EQ(hero->m_Health, 99.5f);
    Frames(30);
    EXPECT_FLOAT_EQ(hero->m_Health, 98.5f);
    EXPECT_EQ(spy.Count(MSG_ON_CHARACTER_HEALTH_ABOVE_100_STOP), 1u);
    Frames(60);
    EXPECT_FLOAT_EQ(hero->m_Health, 98.5f);
    EXPECT_EQ(hero->FindTimedMessageByTag(252), nullptr);
    // Crossing the ceiling tells once.
    hero->HandleMessage(MSG_CHANGE_CPHEALTH, Args_Of(gain));
    EXPECT_EQ(spy.Count(MSG_ON_CHARACTER_HEALTH_ABOVE_100_START), 1u);
    EXPECT_NE(hero->FindTimedMessageByTag(252), nullptr);
}

struct HealCase {
    float health, add, most, expected;
};

class CharacterHeal : public CharacterCommandsTest, public testing::WithParamInterface<HealCase> {};

TEST_P(CharacterHeal, HealingStopsAtTheMostItMayGive) {
    const HealCase& c = GetParam();
    Send(hero, MSG_SET_HEALTH, c.health);
    float heal[2] = {c.add, c.most};
    hero->HandleMessage(MSG_HEAL, Args_Of(heal));
    EXPECT_FLOAT_EQ(hero->m_Health, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterHeal,
                         testing::Values(HealCase{80.0f, 50.0f, 100.0f, 99.0f + 1.0f / 1.0f},
                                         HealCase{40.0f, 50.0f, 100.0f, 90.0f},
                                         HealCase{120.0f, 50.0f, 100.0f, 120.0f}));

TEST_F(CharacterCommandsTest, ConstitutionDividesChangesAndZeroDividesNothing) {
    Send(hero, MSG_SET_HEALTH, 50.0f);
    hero->m_CpEffective[CP_CONSTITUTION] = 2.0f;
    Send(hero, MSG_HURT, 10.0f);
    EXPECT_FLOAT_EQ(hero->m_Health, 45.0f);
    hero->m_CpEffective[CP_CONSTITUTION] = 0.0f;
    Send(hero, MSG_HURT, 10.0f);
    EXPECT_FLOAT_EQ(hero->m_Health, 35.0f);
}

struct PitchCase {
    int32_t type;
    float limit;
};

class CharacterPitch : public CharacterCommandsTest, public testing::WithParamInterface<PitchCase> {};

TEST_P(CharacterPitch, TheRelativePitchIsHeldByType) {
    const PitchCase& c = GetParam();
    Send<uint32_t>(hero, MSG_SET_CHARACTER_TYPE, static_cast<uint32_t>(c.type));
    Send(hero, MSG_SET_RELATIVE_LOOK_ROT_X, 3.0f);
    EXPECT_FLOAT_EQ(hero->m_LookRotX, c.limit);
    Send(hero, MSG_SET_RELATIVE_LOOK_ROT_X, -9.0f);
    EXPECT_FLOAT_EQ(hero->m_LookRotX, -c.limit);
    hero->HandleMessage(MSG_CHAR_ADD_LOOK_ROT2_X, Block(std::array<float, 1>{5.0f}));
    EXPECT_FLOAT_EQ(hero->m_LookRot2X, c.limit);
    // Yaw has no limit and no wrap.
    Send(hero, MSG_SET_RELATIVE_LOOK_ROT_Y, 7.0f);
    EXPECT_FLOAT_EQ(hero->m_LookRotY, 7.0f);
    hero->HandleMessage(MSG_CHAR_ADD_LOOK_ROT2_Y, Block(std::array<float, 1>{7.0f}));
    EXPECT_FLOAT_EQ(hero->m_LookRot2Y, 7.0f);
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterPitch,
                         testing::Values(PitchCase{CHARACTER_FIRST_PERSON, 1.55f},
                                         PitchCase{CHARACTER_THIRD_PERSON_SHOOTER, 1.35f},
                                         PitchCase{CHARACTER_THIRD_PERSON, 1.0f}, PitchCase{CHARACTER_GUARD, 1.0f}));

TEST_F(CharacterCommandsTest, TheSecondLookSetWrapsWhenSetAndLookMatricesFaceByTheirAngles) {
    hero->HandleMessage(MSG_CHAR_SET_LOOK_ROT2_Y, Block(std::array<float, 1>{7.0f}));
    EXPECT_NEAR(Ask<float>(hero, MSG_CHAR_GET_LOOK_ROT2_Y), 7.0f - 2.0f * 3.14159265f, 1e-5f);
    Send(hero, MSG_SET_LOOK_ROT_Y, 0.0f);
    Send(hero, MSG_SET_LOOK_ROT_X, 0.0f);
    // Yaw 0 looks along -z: the matrix turns by yaw + pi.
    const Vector3 look = Ask<Vector3>(hero, MSG_GET_LOOKDIRECTION);
    EXPECT_NEAR(look.z, -1.0f, 1e-5f);
    Send(hero, MSG_SET_LOOK_ROT_Y, 3.14159265f / 2.0f);
    EXPECT_NEAR(Ask<Vector3>(hero, MSG_GET_LOOKDIRECTION).x, -1.0f, 1e-5f);
    const Matrix matrix = Ask<Matrix>(hero, MSG_GET_LOOKMATRIX);
    EXPECT_NEAR(matrix.m[2][0], -1.0f, 1e-5f);
    EXPECT_NEAR(Ask<Vector3>(hero, MSG_CHAR_GET_LOOKDIRECTION2_SM).z, 1.0f, 1e-5f);  // pitch pi: upside down
}

struct AmmoCase {
    const char* label;
    uint32_t type;
    uint32_t start;
    int32_t add;
    uint32_t count;  // "Get Ammo Count" afterwards
};

class CharacterAmmo : public CharacterCommandsTest, public testing::WithParamInterface<AmmoCase> {};

TEST_P(CharacterAmmo, StocksStayWithinTheirLimits) {
    const AmmoCase& c = GetParam();
    hero->HandleMessage(MSG_SET_AMMO_COUNT, Block(std::array<uint32_t, 2>{c.type, c.start}));
    hero->HandleMessage(MSG_ADD_AMMO, Block(std::array<int32_t, 2>{static_cast<int32_t>(c.type), c.add}));
    std::array<uint32_t, 2> get{c.type, 12345};
    hero->HandleMessage(MSG_GET_AMMO_COUNT, Args_Of(&get));
    EXPECT_EQ(get[1], c.count) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharacterAmmo,
    testing::Values(AmmoCase{"a full stock stays full", 3, 999999990, 100, 999999999},
                    AmmoCase{"for every type", 20, 999999990, 100, 999999999},
                    AmmoCase{"a loss stops at none", 3, 5, -10, 0},
                    AmmoCase{"a stock set past the limit comes back to it", 32, 2000000000, -10, 999999999},
                    AmmoCase{"type 0 holds nothing", 0, 5, 5, 0},
                    AmmoCase{"nor type 33", 33, 5, 5, 0}, AmmoCase{"a plain gain", 1, 5, 5, 10}));

TEST_F(CharacterCommandsTest, AmmunitionIsGrantedFromTheStockAndMarkedHeld) {
    std::array<uint32_t, 2> set{4, 7};
    hero->HandleMessage(MSG_SET_AMMO_COUNT, Args_Of(&set));
    EXPECT_EQ(hero->m_HasAmmo[3], 1u);
    std::array<uint32_t, 3> request{4, 5, 0};
    hero->HandleMessage(MSG_REQUEST_AMMO, Args_Of(&request));
    EXPECT_EQ(request[2], 5u);
    request = {4, 5, 0};
    hero->HandleMessage(MSG_REQUEST_AMMO, Args_Of(&request));
    EXPECT_EQ(request[2], 2u);
    request = {4, 5, 9};
    hero->HandleMessage(MSG_REQUEST_AMMO, Args_Of(&request));
    EXPECT_EQ(request[2], 0u);
    request = {40, 5, 9};
    hero->HandleMessage(MSG_REQUEST_AMMO, Args_Of(&request));
    EXPECT_EQ(request[2], 0u);
    set = {4, 0};
    hero->HandleMessage(MSG_SET_AMMO_COUNT, Args_Of(&set));
    EXPECT_EQ(hero->m_HasAmmo[3], 0u);
}

// The noise a body makes and how well it is seen, by its motion.
struct PostureCase {
    char letter;
    uint32_t index;
    float noise, visibility;
};

class CharacterPosture : public CharacterCommandsTest, public testing::WithParamInterface<PostureCase> {};

TEST_P(CharacterPosture, NoiseAndVisibilityFollowTheMotion) {
    const PostureCase& c = GetParam();
    hero->m_CpEffective[CP_NOISELEVEL] = 2.0f;
    hero->m_MotionLetter = c.letter;
    hero->m_MotionIndex = c.index;
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_GET_NOISE_LEVEL), 2.0f * c.noise) << c.letter << c.index;
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_CHAR_VISIBILITY), c.visibility) << c.letter << c.index;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterPosture,
                         testing::Values(PostureCase{'N', 0, 0.1f, 0.2f}, PostureCase{'C', 0, 0.1f, 0.15f},
                                         PostureCase{'C', 4, 0.2f, 0.35f}, PostureCase{'N', 4, 0.5f, 0.5f},
                                         PostureCase{'R', 4, 1.0f, 0.8f}, PostureCase{'S', 4, 1.0f, 0.25f},
                                         PostureCase{'M', 28, 1.0f, 0.5f}));

TEST_F(CharacterCommandsTest, ALightSensorScalesTheVisibilityByTheLightBetweenItsReadings) {
    CQVActor* sensor = Make(CLASS_LIGHT_SENSOR, "LightSensor", hero);
    const float floorColor[4] = {0.6f, 0.6f, 0.6f, 1.0f};
    sensor->HandleMessage(MSG_SET_LIGHTSENSOR_MIN_COLOR, Args_Of(floorColor));
    Tell(hero, MSG_PRECALCULATE);
    ASSERT_EQ(hero->m_LightSensor.target, sensor);
    ASSERT_NE(hero->FindTimedMessage(MSG_CHARUPDATESENSOR), nullptr);
    Tell(hero, MSG_PRECALCULATE);  // bound again: still one reading schedule
    int readings = 0;
    for (TimedMessage* record : hero->m_TimedMessages)
        readings += record->messageId == MSG_CHARUPDATESENSOR && !(record->state & TIMED_STATE_CANCELLED);
    EXPECT_EQ(readings, 1);
    Frames(31);
    Frames(31);  // two readings: the light is the same in both
    float color[4] = {};
    hero->HandleMessage(MSG_GET_COLOR, Args_Of(color));
    EXPECT_NEAR(color[0], 0.6f, 1e-4f);
    EXPECT_NEAR(Ask<float>(hero, MSG_CHAR_VISIBILITY), 1.8f * 0.2f * 0.33333334f, 1e-4f);
    // The sensor going leaves no reading of a dead actor.
    g_ActorSystem->DeleteActor(sensor);
    EXPECT_EQ(hero->m_LightSensor.target, nullptr);
    Frames(31);
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_CHAR_VISIBILITY), 0.2f);
}

// What each character type switches.
struct TypeCase {
    int32_t type;
    uint32_t setBits, clearBits;
    uint32_t behaviour;
    float turnSpeed;
};

class CharacterTypes : public CharacterCommandsTest, public testing::WithParamInterface<TypeCase> {};

TEST_P(CharacterTypes, ATypeSetsItsBitsAndSpeeds) {
    const TypeCase& c = GetParam();
    ColObj push;
    push.name = "pushchar";
    push.flags |= 1u << 26;
    hero->m_ColObjs.push_back(push);
    Send<uint32_t>(hero, MSG_SET_CHARACTER_TYPE, static_cast<uint32_t>(c.type));
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_GET_CHARACTER_TYPE), static_cast<uint32_t>(c.type));
    EXPECT_EQ(hero->m_StateFlags & c.setBits, c.setBits) << c.type;
    EXPECT_EQ(hero->m_StateFlags & c.clearBits, 0u) << c.type;
    EXPECT_EQ(hero->m_DirectionBehaviour, c.behaviour) << c.type;
    EXPECT_EQ(hero->m_TurnSpeed, c.turnSpeed) << c.type;
    const bool shooter = (c.setBits & CHAR_SHOOTER) != 0;
    EXPECT_EQ((hero->m_ColObjs[0].flags & (1u << 19)) != 0, shooter);
    EXPECT_EQ((hero->m_ColObjs.back().flags & (1u << 26)) != 0, !shooter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharacterTypes,
    testing::Values(TypeCase{CHARACTER_FIRST_PERSON,
                             CHAR_STRAFING | CHAR_SHOOTER | CHAR_HEAD_BONES | CHAR_FIRST_PERSON | CHAR_SHOOTER_IDLE |
                                 CHAR_IDLE_ALLOWED,
                             0, 1, 1.0e13f},
                    TypeCase{CHARACTER_THIRD_PERSON, CHAR_SHOOTER | CHAR_HEAD_BONES | CHAR_SHOOTER_IDLE, CHAR_STRAFING,
                             1, 20.0f},
                    TypeCase{CHARACTER_THIRD_PERSON_SHOOTER, CHAR_SHOOTER, CHAR_HEAD_BONES | CHAR_FIRST_PERSON, 1,
                             10.0f},
                    TypeCase{CHARACTER_GUARD, 0, CHAR_SHOOTER | CHAR_HEAD_BONES, 2, 20.0f}));

TEST_F(CharacterCommandsTest, PrecalculateBindsTheChildrenVolumesAndWhatTheSkinCanPlay) {
    CQVActor* items = Make(CLASS_BASE, "Items", hero);
    CQVActor* activate = Make(CLASS_BASE, "Activate", hero);
    CQVActor* arm = Make(CLASS_BASE, "Arm", hero);
    CQVActor* right = Make(CLASS_BASE, "RightHand", arm);
    CQVActor* left = Make(CLASS_BASE, "LeftHand", arm);
    CQVActor* camera = Make(CLASS_CAMERA, "Eye", arm);
    for (const char* name : {"Action", "Chest"}) {
        ColObj volume;
        volume.name = name;
        volume.reserved1 = volume.reserved2 = 5;
        hero->m_ColObjs.push_back(volume);
    }
    GiveCharacterMotions(SkinOf(hero), {{"W_Forward"}, {"K_Forward"}, {"N_Relax"}});
    CQVMaterialItem* material = AddMaterial(40, "Skin Material", 7);
    SkinOf(hero)->m_Entries.resize(1);
    SkinOf(hero)->m_Entries[0].material = material;
    Tell(hero, MSG_PRECALCULATE);
    EXPECT_EQ(hero->m_ItemsGroup.target, items);
    EXPECT_EQ(hero->m_ActivateGroup.target, activate);
    EXPECT_EQ(hero->m_RightHand.target, right);
    EXPECT_EQ(hero->m_LeftHand.target, left);
    EXPECT_EQ(hero->m_Camera.target, camera);
    EXPECT_EQ(hero->m_ActionCol, 1);
    EXPECT_EQ(hero->m_ChestCol, 2);
    EXPECT_EQ(hero->m_ColObjs[2].reserved1, 0u);
    EXPECT_EQ(hero->m_ColObjs[1].reserved1, 5u);
    EXPECT_NE(hero->m_StateFlags & CHAR_WALL_CLIMB, 0u);
    EXPECT_NE(hero->m_StateFlags & CHAR_HAS_KICK_MOTIONS, 0u);
    EXPECT_NE(hero->m_HandFlags & HAND_HAS_RELAX, 0u);
    for (const ColObj& volume : hero->m_ColObjs) {
        EXPECT_EQ(volume.physique, 7u);
        EXPECT_EQ(volume.scaleFactor, 10.0f);
    }
    SkinOf(hero)->m_Entries[0].material = nullptr;
    // Whatever the Character points to may go: nothing is left dangling.
    for (CQVActor* gone : {items, activate, arm}) g_ActorSystem->DeleteActor(gone);
    EXPECT_EQ(hero->m_ItemsGroup.target, nullptr);
    EXPECT_EQ(hero->m_RightHand.target, nullptr);
    EXPECT_EQ(hero->m_Camera.target, nullptr);
    Tell(hero, MSG_CC_RACTION1_STOP);
    Text(hero, MSG_RIGHT_HAND_EQUIP, "Gun");
    Frame();
    Tell(hero, MSG_UNNAMED_419);
    EXPECT_EQ(Ask<Matrix>(hero, MSG_GET_LOOKMATRIX).m[3][3], 1.0f);
}

TEST_F(CharacterCommandsTest, ADeletedSkinTakesItsBonesAlong) {
    Unlock();
    Frame();
    ASSERT_EQ(hero->m_Bones.size(), kCharacterBoneCount);
    EXPECT_NE(hero->m_Bones[5], nullptr);  // the figure has a "Head"
    g_ActorSystem->DeleteActor(hero->Skin());
    EXPECT_EQ(hero->Skin(), nullptr);
    EXPECT_TRUE(hero->m_Bones.empty());
    Frame();  // without a skin the step does nothing
    Send<uint32_t>(hero, MSG_SET_STATEANDMOVEMENT, 4u << 8 | 'N');
    EXPECT_EQ(hero->m_MotionIndex, 0u);
    EXPECT_EQ(Ask<Vector3>(hero, MSG_GET_VISION_POINT).y, hero->GetWorldPosition().y);
}

TEST_F(CharacterCommandsTest, GrabbingAnItemMovesItIntoTheHandAfterTheGrabMotion) {
    CQVActor* hand = Make(CLASS_BASE, "RightHand", hero);
    CQVActor* held = Make(CLASS_BASE, "Knife", hand);
    CQVActor* items = Make(CLASS_BASE, "Items", hero);
    CQVActor* gun = Make(CLASS_BASE, "Gun", items);
    Tell(hero, MSG_PRECALCULATE);
    CharacterSpy heldSpy, gunSpy;
    for (auto [actor, spy] : {std::pair{held, &heldSpy}, {gun, &gunSpy}}) {
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(spy);
        actor->m_CommandSpies.push_back(std::move(link));
    }
    hero->HandleMessage(MSG_RIGHT_HAND_GRAB_ITEM, Args_Of(&gun));
    EXPECT_NE(hero->m_StateFlags & CHAR_RIGHT_GRAB_PENDING, 0u);
    EXPECT_EQ(heldSpy.Count(MSG_ON_UNEQUIPPRE), 1u);
    Frames(30);
    EXPECT_EQ(gunSpy.Count(MSG_SET_STATE_HAND_C), 0u);
    Frames(6);  // 0.5666667 s
    EXPECT_EQ(hero->m_StateFlags & CHAR_RIGHT_GRAB_PENDING, 0u);
    EXPECT_EQ(heldSpy.Count(MSG_SET_STATE_INVENTORY), 1u);
    ASSERT_EQ(gunSpy.Count(MSG_SET_STATE_HAND_C), 1u);
    EXPECT_EQ(gunSpy.Count(MSG_ON_EQUIPPED), 1u);
    // "Right Hand Equip" finds the item by name and moves it at once.
    Text(hero, MSG_RIGHT_HAND_EQUIP, "Gun");
    EXPECT_EQ(gunSpy.Count(MSG_SET_STATE_HAND_C), 2u);
    // An item that goes while it is being grabbed arrives as none.
    hero->HandleMessage(MSG_RIGHT_HAND_GRAB_ITEM, Args_Of(&gun));
    gun->m_CommandSpies.clear();
    g_ActorSystem->DeleteActor(gun);
    Frames(40);
    EXPECT_EQ(hero->m_StateFlags & CHAR_RIGHT_GRAB_PENDING, 0u);
    held->m_CommandSpies.clear();
}

TEST_F(CharacterCommandsTest, HandCommandsReachTheHeldItemsByTheirIds) {
    Unlock();
    CQVActor* right = Make(CLASS_BASE, "RightHand", hero);
    CQVActor* left = Make(CLASS_BASE, "LeftHand", hero);
    CQVActor* gun = Make(CLASS_BASE, "Gun", right);
    CQVActor* lamp = Make(CLASS_BASE, "Lamp", left);
    Tell(hero, MSG_PRECALCULATE);
    CharacterSpy gunSpy, lampSpy;
    for (auto [actor, spy] : {std::pair{gun, &gunSpy}, {lamp, &lampSpy}}) {
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(spy);
        actor->m_CommandSpies.push_back(std::move(link));
    }
    for (uint32_t command : {MSG_CC_RACTION1_START, MSG_CC_RACTION1_STOP, MSG_CC_RACTION2_START, MSG_CC_RACTION2_STOP,
                             MSG_CC_LACTION1_START, MSG_CC_LACTION1_STOP, MSG_CC_RELOAD, MSG_CC_RDROP, MSG_CC_LDROP})
        Tell(hero, command);
    Frame();
    const std::vector<uint32_t> gunGot = {MSG_SET_STATE_DROP_ON_GROUND, MSG_SET_WEAPON_STATE,
                                          MSG_PERFORM_ACTION_STOP_280, MSG_PERFORM_ACTION_START_27F,
                                          MSG_PERFORM_ACTION_STOP_27E, MSG_PERFORM_ACTION_START_27D};
    std::vector<uint32_t> seen;
    for (const HandledMessage& m : gunSpy.seen) {
        if (std::find(gunGot.begin(), gunGot.end(), m.id) == gunGot.end()) continue;
        seen.push_back(m.id);
        if (m.id != MSG_SET_WEAPON_STATE) {
            EXPECT_EQ(m.word, hero->m_Id);
        }
    }
    EXPECT_EQ(seen, gunGot);  // newest first
    EXPECT_EQ(lampSpy.Count(MSG_PERFORM_ACTION_START_27D), 1u);
    EXPECT_EQ(lampSpy.Count(MSG_SET_STATE_DROP_ON_GROUND), 1u);
    gun->m_CommandSpies.clear();
    lamp->m_CommandSpies.clear();
}

TEST_F(CharacterCommandsTest, ActivationStartsTheChildNamedAfterTheMotion) {
    CQVActor* activate = Make(CLASS_BASE, "Activate", hero);
    CQVActor* walk = Make(CLASS_BASE, "N_Forward", activate);
    CQVActor* neutral = Make(CLASS_BASE, "Neutral", activate);
    Tell(hero, MSG_PRECALCULATE);
    Text(hero, MSG_CHARACTER_ACTIVATE, "N_Forward_02");
    EXPECT_EQ(hero->m_ActiveTarget.target, walk);
    EXPECT_NE(walk->m_Activity & ACTIVITY_ENABLED, 0u);
    Text(hero, MSG_CHARACTER_ACTIVATE, "Z_Unknown");
    EXPECT_EQ(hero->m_ActiveTarget.target, neutral);  // the child named after the base motion
    Unlock();
    Text(hero, MSG_SET_MOTION, "N_Forward");  // the skin's callback activates
    EXPECT_EQ(hero->m_ActiveTarget.target, walk);
    EXPECT_EQ(hero->m_CurrentMotionName, "N_Forward");
}

TEST_F(CharacterCommandsTest, DesiredMovementTurnsTheBodyOrSetsTheOffsetAndWalks) {
    Unlock();
    Send(hero, MSG_SET_DESIRED_MOVEMENT, Vector3(0.0005f, 5.0f, 0.0005f));
    EXPECT_TRUE(Queue().empty());
    Send(hero, MSG_SET_DESIRED_MOVEMENT, Vector3(-1.0f, 0.0f, 0.0f));
    EXPECT_NEAR(hero->m_RotY, -3.14159265f / 2.0f, 1e-5f);
    EXPECT_EQ(Queue(), std::vector<uint32_t>{MSG_CC_FORWARD});
    Send<uint32_t>(hero, MSG_SET_DIRECTION_BEHAVIOUR, 1);
    hero->m_LookRotYSM = 3.0f;
    Send(hero, MSG_SET_DESIRED_MOVEMENT, Vector3(0.0f, 0.0f, -2.0f));
    EXPECT_NEAR(hero->m_DesiredYawOffset, 3.14159265f - 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(hero->m_DesiredSpeed, 2.0f);
}

TEST_F(CharacterCommandsTest, SleepStopsTheBodyAndWakeUpStartsItAgain) {
    Send<uint32_t>(hero, MSG_SET_SUSPENDMODE, 1);
    EXPECT_TRUE(hero->IsSuspended());
    EXPECT_EQ(hero->m_Flags & (ACTOR_SIMULATED | ACTOR_COLLISION_ENABLED), 0u);
    EXPECT_EQ(Ask<uint32_t>(hero, MSG_GET_SUSPENDMODE), 1u);
    Send<uint32_t>(hero, MSG_SET_SUSPENDMODE, 0);
    EXPECT_FALSE(hero->IsSuspended());
    EXPECT_NE(hero->m_Flags & ACTOR_SIMULATED, 0u);
    EXPECT_NE(hero->m_Flags & ACTOR_COLLISION_ENABLED, 0u);
    Tell(hero, MSG_SLEEP);
    Frames(170);
    EXPECT_FALSE(hero->IsSuspended());
    Frames(20);
    EXPECT_TRUE(hero->IsSuspended());
}

TEST_F(CharacterCommandsTest, APushHitsTheBodyOnceUntilItIsReadyAgain) {
    Unlock();
    Send<uint32_t>(hero, MSG_SET_MASTER, 1);
    Tell(hero, MSG_CHARACTERPUSH);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Gethit0");
    EXPECT_TRUE(hero->InputLocked());
    ASSERT_EQ(hero->m_MotionQueue.size(), 1u);
    EXPECT_EQ(hero->m_MotionQueue.front(), 0x40000000u | 18u << 8);
    EXPECT_EQ(hero->m_StateFlags & CHAR_PUSH_READY, 0u);
    Frames(290);
    EXPECT_EQ(hero->m_StateFlags & CHAR_PUSH_READY, 0u);
    Frames(20);
    EXPECT_NE(hero->m_StateFlags & CHAR_PUSH_READY, 0u);
}

TEST_F(CharacterCommandsTest, NeighboursCannotCauseFaults) {
    // A group outside 1 to 32 names no bit.
    for (uint32_t group : {0u, 33u, 0xFFFFFFFFu})
        hero->HandleMessage(MSG_SET_CHARACTER_GROUP, Block(std::array<uint32_t, 2>{group, 1}));
    EXPECT_EQ(hero->m_CharacterGroups, 0u);
    hero->HandleMessage(MSG_SET_CHARACTER_GROUP, Block(std::array<uint32_t, 2>{32, 1}));
    EXPECT_EQ(hero->m_CharacterGroups, 0x80000000u);
    // A hit effect past type 14 changes nothing.
    CharacterSpy& spy = Spy(hero);
    Character_ApplyHitEffect(hero, HitEffect{15, 100.0f, 5.0f}, 1.0f);
    Character_ApplyHitEffect(hero, HitEffect{0xFFFFFFFF, 100.0f, 5.0f}, 1.0f);
    EXPECT_TRUE(spy.seen.empty());
    Character_ApplyHitEffect(hero, HitEffect{1, 50.0f, 5.0f}, 2.0f);
    EXPECT_FLOAT_EQ(hero->m_CpChangeTarget[CP_ENDURANCE], 1.0f);
    EXPECT_FLOAT_EQ(hero->m_CpChangeRate[CP_ENDURANCE], 0.01f);
    // A drop of a negative share drops nothing.
    CQVActor* items = Make(CLASS_BASE, "Items", hero);
    Make(CLASS_BASE, "Coin", items);
    Tell(hero, MSG_PRECALCULATE);
    Send(hero, MSG_CHAR_DROP_ITEMS, -500.0f);
    EXPECT_EQ(hero->m_DropCount, -4);
    Frames(120);
    EXPECT_EQ(hero->m_DropCount, -4);
    Send(hero, MSG_CHAR_DROP_ITEMS, 1.0e30f);
    EXPECT_EQ(hero->m_DropCount, 1000001);
    // Short blocks read as zero.
    uint8_t shortBlock[2] = {1, 2};
    for (uint32_t id : {MSG_SET_AMMO_COUNT, MSG_ADD_AMMO, MSG_REQUEST_AMMO, MSG_CHARACTERSYNC, MSG_SET_MATRIX,
                        MSG_HEAL, MSG_CHARACTER_FORCEBACK, MSG_SET_DESIRED_MOVEMENT})
        hero->HandleMessage(id, MessageArgs(shortBlock, sizeof shortBlock));
    for (uint32_t id : {MSG_SET_MOTION, MSG_MOTIONQUEUE_PUSH_BACK, MSG_SET_STATE_349, MSG_CHARACTER_ACTIVATE})
        hero->HandleMessage(id, nullptr);
}

TEST_F(CharacterCommandsTest, TheClimbAssistLiftsAHeldJumpAndRestoresTheVolumes) {
    ColObj chest;
    chest.name = "Chest";
    chest.type = COLOBJ_SPHERE;
    chest.boxMax = Vector3(10.0f, 10.0f, 10.0f);
    hero->m_ColObjs.push_back(chest);
    Tell(hero, MSG_PRECALCULATE);
    const float y = hero->m_Position.y;
    Tell(hero, MSG_COLLISION_STUCK);  // not held: nothing
    EXPECT_EQ(hero->m_Position.y, y);
    hero->m_StateFlags |= CHAR_JUMP_HELD;
    Tell(hero, MSG_COLLISION_STUCK);
    Tell(hero, MSG_COLLISION_STUCK);
    EXPECT_FLOAT_EQ(hero->m_Position.y, y + 24.0f);
    EXPECT_EQ(hero->m_PushCount, 2u);
    EXPECT_FLOAT_EQ(hero->m_ColObjs[0].boxMax.x, 23.0f * 1.04f * 1.04f);
    EXPECT_FLOAT_EQ(hero->m_ColObjs[1].boxMax.y, 10.0f * 0.96f * 0.96f);
    hero->m_StateFlags &= ~CHAR_JUMP_HELD;
    Frames(40);
    EXPECT_FLOAT_EQ(hero->m_ColObjs[0].boxMax.x, 23.0f);
    EXPECT_FLOAT_EQ(hero->m_ColObjs[1].boxMax.x, 10.0f);
    EXPECT_EQ(hero->m_PushCount, 0u);
}

TEST_F(CharacterCommandsTest, TheActionVolumeUsesADoorOnceAndAKnockListens) {
    Unlock();
    ColObj action;
    action.name = "Action";
    action.type = COLOBJ_SPHERE;
    hero->m_ColObjs.push_back(action);
    Tell(hero, MSG_PRECALCULATE);
    CQVActor* door = Make(CLASS_DOOR, "Door");
    ColObj doorVolume;
    doorVolume.owner = door;
    CharacterSpy doorSpy;
    auto link = std::make_unique<ActorLink>();
    link->SetOwner(door);
    link->SetTarget(&doorSpy);
    door->m_CommandSpies.push_back(std::move(link));
    ColObj* pair[2] = {&doorVolume, &hero->m_ColObjs[1]};
    EXPECT_EQ(hero->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair)), 1);
    ASSERT_EQ(doorSpy.Count(MSG_ACTION), 1u);
    EXPECT_EQ(doorSpy.seen.back().word, hero->m_Id);
    EXPECT_EQ(Playing(SkinOf(hero)), "N_Action");
    EXPECT_EQ(hero->m_ColObjs[1].flags & COLOBJ_ACTIVE, 0u);
    // Another owner is no use.
    ColObj wall;
    wall.owner = floor;
    ColObj* other[2] = {&wall, &hero->m_ColObjs[1]};
    EXPECT_EQ(hero->HandleMessage(MSG_COLLISION_EVENT, Args_Of(other)), 0);
    // "CC Knock" opens the volume for a frame with the knock response.
    Tell(hero, MSG_CC_KNOCK);
    Frame();
    EXPECT_EQ(hero->m_ColObjs[1].commandToOther.size(), 12u);
    door->m_CommandSpies.clear();
}

TEST_F(CharacterCommandsTest, ForcebackPushesAlongTheBodyAndCountsEveryComponent) {
    Unlock();
    Random_Seed(1);
    Send(hero, MSG_CHARACTER_FORCEBACK, std::array<float, 2>{2.0f, 0.0f});
    EXPECT_FLOAT_EQ(hero->m_Forceback.z, 20.0f);
    EXPECT_FLOAT_EQ(hero->m_Forceback.y, 2.0f);
    EXPECT_EQ(hero->m_Forceback.x, 0.0f);
    const Vector3 before = hero->m_DeltaPosition;
    Frame();
    EXPECT_EQ(hero->m_Forceback.z, 0.0f);
    EXPECT_GT(hero->m_DeltaPosition.z, before.z + 10.0f);
}

TEST_F(CharacterCommandsTest, SetMatrixPlacesTheBodyAndTurnsItHalfARound) {
    Matrix m;
    Mat4_RotationY(&m, 0.5f);
    m.m[3][0] = 10.0f;
    m.m[3][1] = 20.0f;
    m.m[3][2] = 30.0f;
    EXPECT_EQ(hero->HandleMessage(MSG_SET_MATRIX, Args_Of(&m)), 1);
    EXPECT_EQ(hero->m_Position.x, 10.0f);
    EXPECT_EQ(hero->m_StartPosition.z, 30.0f);
    EXPECT_NEAR(hero->m_RotY, 0.5f + 3.1415927f, 1e-5f);
    EXPECT_EQ(hero->m_RotYOld, hero->m_RotY);
    Send(hero, MSG_SET_POSITION, Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(hero->m_StartPosition.y, 2.0f);
    hero->m_LookRotX = 0.7f;
    Tell(hero, MSG_INVALIDATE_OLDPOSITION);
    EXPECT_EQ(hero->m_LookRotXSM, 0.7f);
}

}  // namespace
