// The AutoAim turns itself (or its output) toward its target with each
// smoothing style, raises the threshold events as the aim enters and
// leaves the window, picks the nearest colliding candidate, releases its
// target, keeps its record and its links, and drives the lock-on of the
// Character it sits under.

#include "actors/characters/AutoAim.h"
#include "tests/actors/characters/CharacterTestSupport.h"

#include <cmath>
#include <limits>

namespace {

constexpr float kPi = 3.14159265f;

// The block of "Set AimTarget" and "Get AimTarget": an actor and a name.
struct LinkBlock {
    CQVActor* actor = nullptr;
    char name[64] = {};
};

class AutoAimTest : public CharacterFixture {
protected:
    void SetUp() override {
        CharacterFixture::SetUp();
        if (HasFatalFailure()) return;
        aim = static_cast<CQVAutoAim*>(Make(CLASS_AUTOAIM, "Aim"));
        ASSERT_NE(aim, nullptr);
    }

    static int SetLink(CQVActor* actor, uint32_t id, CQVActor* target, const char* name = "") {
        LinkBlock block;
        block.actor = target;
        std::snprintf(block.name, sizeof block.name, "%s", name);
        return actor->HandleMessage(id, Args_Of(&block));
    }
    static LinkBlock GetLink(CQVActor* actor, uint32_t id) {
        LinkBlock block;
        actor->HandleMessage(id, Args_Of(&block));
        return block;
    }
    // A target at the place, aimed at by the AutoAim, which turns itself.
    CQVActor* AimAt(const Vector3& at) {
        CQVActor* target = Make(CLASS_BASE, "Target");
        Send(target, MSG_SET_POSITION, at);
        SetLink(aim, MSG_SET_AIMTARGET, target);
        SetLink(aim, MSG_SET_AIMOUTPUT, aim);
        return target;
    }
    // A "Collision Event" from a volume of the actor.
    void Collide(CQVActor* actor) {
        volumes.emplace_back(std::make_unique<ColObj>());
        volumes.back()->owner = actor;
        struct {
            ColObj* first;
            ColObj* second;
        } pair{volumes.back().get(), nullptr};
        aim->HandleMessage(MSG_COLLISION_EVENT, Args_Of(&pair));
    }

    // The draw pass's step of the actor in a frame of dt seconds.
    static void Tick(CQVActor* actor, float dt) {
        Advance(dt);
        actor->Update();
    }

    CQVAutoAim* aim = nullptr;
    std::vector<std::unique_ptr<ColObj>> volumes;
};

TEST_F(AutoAimTest, TheClassRecordHoldsItsSheet) {
    EXPECT_EQ(g_ClassRecords[CLASS_AUTOAIM].name, "AutoAim");
    EXPECT_EQ(g_ClassRecords[CLASS_AUTOAIM].chain, (std::vector<uint32_t>{0, 42}));
    ExpectSheet(g_ClassRecords[CLASS_AUTOAIM],
                {
                    {"AutoAim Properties", 0x0d, 0, 0},
                    {"Type:|2Axis|0|Spherical|1|_test2|2|_test3|3|_test4|4|_test5|5|LockOn|91|", 0x10,
                     MSG_SET_AUTOAIM_TYPE, MSG_GET_AUTOAIM_TYPE},
                    {"affected by parent", 0x11, MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BE,
                     MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BF},
                    {"SmoothStyle:|No Smooth|0|Linear|1|Accelerated|2|", 0x10, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA,
                     MSG_SET_AUTOAIM_SMOOTHSTYLE_6BB},
                    {"", 0x0c, 0, 0},
                    {"Use Limits,", 0x11, MSG_SET_AUTOAIM_USELIMITS, MSG_GET_AUTOAIM_USELIMITS},
                    {"LimitHorizontal", 0x2d, MSG_SET_AUTOAIM_LIMITHORIZONTAL, MSG_GET_AUTOAIM_LIMITHORIZONTAL},
                    {"LimitVerticalMin", 0x2d, MSG_SET_AUTOAIM_LIMITVERTICALMIN, MSG_GET_AUTOAIM_LIMITVERTICALMIN},
                    {"LimitVerticalMax", 0x2d, MSG_SET_AUTOAIM_LIMITVERTICALMAX, MSG_GET_AUTOAIM_LIMITVERTICALMAX},
                    {"Turnspeed|\xB0/s|", 0x2d, MSG_SET_AUTOAIM_TURNSPEED, MSG_GET_AUTOAIM_TURNSPEED},
                    {"Damper", 0x04, MSG_SET_AUTOAIM_DAMPER, MSG_GET_AUTOAIM_DAMPER},
                    {"Inside Event Treshold", 0x2d, MSG_JKHJ, MSG_GHGH},
                    {"", 0x0c, 0, 0},
                    {"Auto Relase Target", 0x11, MSG_SET_AUTOAIM_AUTORELEASETARGET,
                     MSG_GET_AUTOAIM_AUTORELEASETARGET},
                    {"Auto Relase Target Time", 0x04, MSG_SET_AUTOAIM_AUTORELEASETARGETTIME,
                     MSG_GET_AUTOAIM_AUTORELEASETARGETTIME},
                    {"Block TresholdExitEvent On RelaseTarget", 0x04, MSG_SET_AUTOAIM_AUTORELEASETARGETTIME,
                     MSG_GET_AUTOAIM_AUTORELEASETARGETTIME},
                    {"", 0x0c, 0, 0},
                    {"Target Evaluation:", 0x0c, 0, 0},
                    {"Dont use Collision (Manual Target)", 0x11, MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BC,
                     MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BD},
                    {"Effect By Penetration", 0x04, MSG_SET_AUTOAIM_EFFECTBYPENETRATION,
                     MSG_GET_AUTOAIM_EFFECTBYPENETRATION},
                    {"Manual AimTarget", 0x2c, MSG_SET_AIMTARGET, MSG_GET_AIMTARGET},
                    {"OutPutRotation", 0x2c, MSG_SET_AIMOUTPUT, MSG_GET_AIMOUTPUT},
                });
    const PropertyDesc& horizontal = g_ClassRecords[CLASS_AUTOAIM].properties[6];
    EXPECT_EQ(horizontal.ranged, 1u);
    EXPECT_FLOAT_EQ(horizontal.max, kPi);
    EXPECT_FLOAT_EQ(g_ClassRecords[CLASS_AUTOAIM].properties[7].min, -kPi / 2.0f);
}

// Every value pair stores and answers; the defaults are the constructor's.
TEST_F(AutoAimTest, ValuePairsStoreAndAnswer) {
    struct Case {
        uint32_t set, get;
        float initial, value;
    };
    // Rows that apply only with a flag get it first.
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_USELIMITS, 1);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_ACCELERATED);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_AUTORELEASETARGET, 1);
    const Case cases[] = {
        {MSG_SET_AUTOAIM_LIMITHORIZONTAL, MSG_GET_AUTOAIM_LIMITHORIZONTAL, 6.2831855f, 1.0f},
        {MSG_SET_AUTOAIM_LIMITVERTICALMIN, MSG_GET_AUTOAIM_LIMITVERTICALMIN, 1.5707964f, -0.5f},
        {MSG_SET_AUTOAIM_LIMITVERTICALMAX, MSG_GET_AUTOAIM_LIMITVERTICALMAX, 1.5707964f, 0.25f},
        {MSG_SET_AUTOAIM_TURNSPEED, MSG_GET_AUTOAIM_TURNSPEED, 0.5f, 3.0f},
        {MSG_SET_AUTOAIM_DAMPER, MSG_GET_AUTOAIM_DAMPER, 1.0f, 1.5f},
        {MSG_SET_AUTOAIM_EFFECTBYPENETRATION, MSG_GET_AUTOAIM_EFFECTBYPENETRATION, 0.0f, 0.7f},
        {MSG_SET_AUTOAIM_AIMPREDICTIONTIMEOFFSET, MSG_GET_AUTOAIM_AIMPREDICTIONTIMEOFFSET, 0.0f, 0.3f},
        {MSG_SET_AUTOAIM_AIMPREDICTIONDISTANCETIME, MSG_GET_AUTOAIM_AIMPREDICTIONDISTANCETIME, 10.0f, 4.0f},
        {MSG_SET_AUTOAIM_AUTORELEASETARGETTIME, MSG_GET_AUTOAIM_AUTORELEASETARGETTIME, 1.0f, 2.5f},
        {MSG_JKHJ, MSG_GHGH, 0.1f, 0.2f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(Ask<float>(aim, c.get), c.initial) << c.get;
        Send(aim, c.set, c.value);
        EXPECT_FLOAT_EQ(Ask<float>(aim, c.get), c.value) << c.get;
    }
}

// Flags keep their bits in the one word; the setters that change which
// rows apply answer 2, and a row that does not apply answers 8.
TEST_F(AutoAimTest, FlagsAndRowsThatDoNotApply) {
    struct Case {
        uint32_t set, get, bit;
        int setResult;
    };
    const Case cases[] = {
        {MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BC, MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BD, AUTOAIM_MANUAL_TARGET, 2},
        {MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BE, MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BF, AUTOAIM_AFFECTED_BY_PARENT, 1},
        {MSG_SET_AUTOAIM_USELIMITS, MSG_GET_AUTOAIM_USELIMITS, AUTOAIM_USE_LIMITS, 2},
        {MSG_SET_AUTOAIM_USEAIMPREDICTION_6C2, MSG_SET_AUTOAIM_USEAIMPREDICTION_6C3, AUTOAIM_USE_PREDICTION, 2},
        {MSG_SET_AUTOAIM_AUTORELEASETARGET, MSG_GET_AUTOAIM_AUTORELEASETARGET, AUTOAIM_AUTO_RELEASE, 2},
    };
    for (const Case& c : cases) {
        const int result = Send<uint32_t>(aim, c.set, 1);
        if (c.setResult == 2) {
            EXPECT_EQ(result, 2) << c.set;
        }
        EXPECT_EQ(aim->m_AimFlags & c.bit, c.bit) << c.set;
        EXPECT_EQ(Ask<uint32_t>(aim, c.get), 1u) << c.get;
        Send<uint32_t>(aim, c.set, 0);
        EXPECT_EQ(aim->m_AimFlags & c.bit, 0u) << c.set;
    }
    aim->m_PitchVelocity = aim->m_YawVelocity = 1.0f;
    EXPECT_EQ(Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_LINEAR), 2);
    EXPECT_EQ(Ask<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BB), AUTOAIM_LINEAR);
    EXPECT_EQ(aim->m_PitchVelocity, 0.0f);
    EXPECT_EQ(aim->m_YawVelocity, 0.0f);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_OUTPUT, 0x13);
    EXPECT_EQ(Ask<uint32_t>(aim, MSG_GET_AUTOAIM_OUTPUT), 3u);
    EXPECT_EQ(Ask<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BB), AUTOAIM_LINEAR) << "the selector keeps to its bits";
    EXPECT_EQ(Send<uint32_t>(aim, MSG_SET_AUTOAIM_TYPE, 2), 2);
    EXPECT_EQ(Ask<uint32_t>(aim, MSG_GET_AUTOAIM_TYPE), 2u);

    // Without use limits, with Linear, without auto release.
    float value = 0.0f;
    for (uint32_t get : {MSG_GET_AUTOAIM_LIMITHORIZONTAL, MSG_GET_AUTOAIM_LIMITVERTICALMIN,
                         MSG_GET_AUTOAIM_LIMITVERTICALMAX, MSG_GET_AUTOAIM_DAMPER,
                         MSG_GET_AUTOAIM_AUTORELEASETARGETTIME}) {
        EXPECT_EQ(aim->HandleMessage(get, Args_Of(&value)), 8) << get;
    }
    EXPECT_NE(aim->HandleMessage(MSG_GET_AUTOAIM_TURNSPEED, Args_Of(&value)), 8);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_NO_SMOOTH);
    EXPECT_EQ(aim->HandleMessage(MSG_GET_AUTOAIM_TURNSPEED, Args_Of(&value)), 8);
}

// No Smooth lands on the wanted angles at once and enters the window once;
// Linear turns at the turn speed, enters when within the threshold, and
// leaves when the target jumps away.
TEST_F(AutoAimTest, ManualTargetWithNoSmoothAndLinear) {
    CharacterSpy& spy = Spy(aim);
    CQVActor* target = AimAt(Vector3(100.0f, 0.0f, 100.0f));
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_AimYaw, kPi / 4.0f, 1e-5f);
    EXPECT_NEAR(aim->m_AimPitch, 0.0f, 1e-5f);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_ENTER), 1u);
    // The AutoAim's own world rotation now looks at the target.
    const Matrix& world = aim->GetWorldMatrix();
    EXPECT_NEAR(world.m[2][0], std::sqrt(0.5f), 1e-4f);
    EXPECT_NEAR(world.m[2][2], std::sqrt(0.5f), 1e-4f);
    Tick(aim, 0.1f);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_ENTER), 1u);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_EXIT), 0u);

    // Linear at 0.5 rad/s: 0.05 a step of 0.1 s toward the new yaw of pi/2.
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_LINEAR);
    Send(target, MSG_SET_POSITION, Vector3(100.0f, 0.0f, 0.0f));
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_AimYaw, kPi / 4.0f + 0.05f, 1e-5f);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_EXIT), 1u);
    int steps = 1;
    while (spy.Count(MSG_ON_AUTOAIM_TRESHOLD_ENTER) < 2 && steps < 40) {
        Tick(aim, 0.1f);
        ++steps;
    }
    // Inside once less than 0.1 rad is left: after 14 steps (0.7 rad) of the 0.785.
    EXPECT_EQ(steps, 14);
    while (steps++ < 30) Tick(aim, 0.1f);
    EXPECT_FLOAT_EQ(aim->m_AimYaw, kPi / 2.0f) << "lands exactly";
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_ENTER), 2u);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_EXIT), 1u);
}

// Across the -pi/pi seam Linear takes the shorter way and wraps.
TEST_F(AutoAimTest, LinearTurnsTheShortWayAcrossTheSeam) {
    AimAt(Vector3(-100.0f * std::sin(0.1f), 0.0f, -100.0f * std::cos(0.1f)));  // yaw -pi + 0.1
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_LINEAR);
    Send(aim, MSG_SET_AUTOAIM_TURNSPEED, 1.0f);
    aim->m_AimYaw = kPi - 0.1f;
    Tick(aim, 0.05f);
    EXPECT_NEAR(aim->m_AimYaw, kPi - 0.05f, 1e-4f);
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_AimYaw, -kPi + 0.05f, 1e-4f);
}

// Accelerated: the velocity gathers and the damper divides it; a damper of
// 0 divides nothing and the angles stay finite.
TEST_F(AutoAimTest, AcceleratedWithAndWithoutADamper) {
    AimAt(Vector3(100.0f, 0.0f, 0.0f));
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_ACCELERATED);
    Send(aim, MSG_SET_AUTOAIM_TURNSPEED, 2.0f);
    Send(aim, MSG_SET_AUTOAIM_DAMPER, 2.0f);
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_YawVelocity, 0.1f * 2.0f * (kPi / 2.0f) / 2.0f, 1e-5f);
    EXPECT_NEAR(aim->m_AimYaw, aim->m_YawVelocity, 1e-6f);

    Send(aim, MSG_SET_AUTOAIM_DAMPER, 0.0f);
    for (int i = 0; i < 20; ++i) Tick(aim, 0.1f);
    EXPECT_TRUE(std::isfinite(aim->m_AimYaw));
    EXPECT_TRUE(std::isfinite(aim->m_YawVelocity));
}

// With use limits and the default limits the pitch is held at pi/2 until
// the lowest pitch is lowered; the yaw keeps within its limit.
TEST_F(AutoAimTest, LimitsHoldTheAngles) {
    AimAt(Vector3(100.0f, 0.0f, 100.0f));
    CQVActor* gun = Make(CLASS_BASE, "Gun", aim);
    SetLink(aim, MSG_SET_AIMOUTPUT, gun);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BE, 1);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_USELIMITS, 1);
    Tick(aim, 0.1f);
    EXPECT_FLOAT_EQ(aim->m_AimPitch, kPi / 2.0f);
    Send(aim, MSG_SET_AUTOAIM_LIMITVERTICALMIN, -kPi / 2.0f);
    Send(aim, MSG_SET_AUTOAIM_LIMITHORIZONTAL, 0.5f);
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_AimPitch, 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ(aim->m_AimYaw, 0.5f);
    // The output takes the rotation as its local one; the AutoAim keeps its own.
    Quaternion expected;
    Quat_FromAxisAngle(&expected, Vector3(0.0f, 1.0f, 0.0f), 0.5f);
    EXPECT_NEAR(gun->m_Rotation.y, expected.y, 1e-5f);
    EXPECT_NEAR(gun->m_Rotation.w, expected.w, 1e-5f);
    EXPECT_EQ(aim->m_Rotation.w, 1.0f);
}

// Stop pauses the aim and Start resumes it; without an output nothing turns.
TEST_F(AutoAimTest, StopStartAndMissingOutput) {
    AimAt(Vector3(100.0f, 0.0f, 0.0f));
    aim->HandleMessage(MSG_STOP, nullptr);
    Tick(aim, 0.1f);
    EXPECT_EQ(aim->m_AimYaw, 0.0f);
    aim->HandleMessage(MSG_START, nullptr);
    SetLink(aim, MSG_SET_AIMOUTPUT, nullptr);
    Tick(aim, 0.1f);
    EXPECT_EQ(aim->m_AimYaw, 0.0f);
    SetLink(aim, MSG_SET_AIMOUTPUT, aim);
    Tick(aim, 0.1f);
    EXPECT_NEAR(aim->m_AimYaw, kPi / 2.0f, 1e-5f);
}

// Colliding actors are candidates; the nearest (the first of equals) wins,
// dead characters and repeats are skipped, and a release with the aim inside
// the window raises the exit event first.
TEST_F(AutoAimTest, CandidatesFromCollisionsAndRelease) {
    CharacterSpy& spy = Spy(aim);
    SetLink(aim, MSG_SET_AIMOUTPUT, aim);
    CQVActor* far = Make(CLASS_BASE, "Far");
    Send(far, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 300.0f));
    CQVActor* first = Make(CLASS_BASE, "First");
    Send(first, MSG_SET_POSITION, Vector3(100.0f, 0.0f, 0.0f));
    CQVActor* second = Make(CLASS_BASE, "Second");
    Send(second, MSG_SET_POSITION, Vector3(-100.0f, 0.0f, 0.0f));
    CQVCharacter* dead = MakeCharacter("Dead");
    dead->m_Health = 0.0f;
    Collide(far);
    Collide(dead);
    Collide(first);
    Collide(second);
    Collide(first);
    EXPECT_EQ(aim->m_CandidateCount, 3u);
    aim->HandleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr);
    EXPECT_EQ(aim->m_AimTarget.target, first);
    EXPECT_EQ(aim->m_CandidateCount, 0u);

    Tick(aim, 0.1f);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_ENTER), 1u);
    aim->HandleMessage(MSG_AUTOAIM_RELEASE_TARGET, nullptr);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_EXIT), 1u);
    EXPECT_EQ(aim->m_AimTarget.target, nullptr);

    // A candidate deleted before the choice is passed over.
    Collide(second);
    g_ActorSystem->DeleteActor(second);
    aim->HandleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr);
    EXPECT_EQ(aim->m_AimTarget.target, nullptr);
}

// With auto release the release is scheduled once at a change of target.
TEST_F(AutoAimTest, AutoReleaseSchedulesOneRelease) {
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_AUTORELEASETARGET, 1);
    Send(aim, MSG_SET_AUTOAIM_AUTORELEASETARGETTIME, 2.0f);
    CQVActor* target = Make(CLASS_BASE, "Target");
    Collide(target);
    aim->HandleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr);
    TimedMessage* release = aim->FindTimedMessage(MSG_AUTOAIM_RELEASE_TARGET);
    ASSERT_NE(release, nullptr);
    EXPECT_FLOAT_EQ(aim->GetTimedMessageRemaining(release), 2.0f);
    Collide(target);
    aim->HandleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr);
    size_t pending = 0;
    for (const TimedMessage* record : aim->m_TimedMessages) {
        pending += record->messageId == MSG_AUTOAIM_RELEASE_TARGET && !(record->state & TIMED_STATE_CANCELLED);
    }
    EXPECT_EQ(pending, 1u);
}

// The links answer their target and name; a deleted target leaves nothing
// behind, and an aim inside the window leaves it.
TEST_F(AutoAimTest, DeletedTargetCutsTheLink) {
    CharacterSpy& spy = Spy(aim);
    CQVActor* target = AimAt(Vector3(0.0f, 0.0f, 100.0f));
    const LinkBlock answer = GetLink(aim, MSG_GET_AIMTARGET);
    EXPECT_EQ(answer.actor, target);
    EXPECT_STREQ(answer.name, "Target");
    Tick(aim, 0.1f);
    ASSERT_EQ(aim->m_InsideThreshold, 1u);
    g_ActorSystem->DeleteActor(target);
    EXPECT_EQ(aim->m_AimTarget.target, nullptr);
    EXPECT_EQ(aim->m_InsideThreshold, 0u);
    EXPECT_EQ(spy.Count(MSG_ON_AUTOAIM_TRESHOLD_EXIT), 1u);
    Tick(aim, 0.1f);
    EXPECT_EQ(GetLink(aim, MSG_GET_AIMTARGET).actor, nullptr);

    // A path that finds no actor is kept for later binding.
    SetLink(aim, MSG_SET_AIMTARGET, nullptr, "parent/Later");
    EXPECT_EQ(aim->m_AimTarget.target, nullptr);
    EXPECT_STREQ(GetLink(aim, MSG_GET_AIMTARGET).name, "parent/Later");
    CQVActor* later = Make(CLASS_BASE, "Later");
    aim->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(aim->m_AimTarget.target, later);
}

// The record holds the eleven words and both links by name; a file older
// than version 64 enables the aim of types 0 and 1 only.
TEST_F(AutoAimTest, RecordRoundTripAndOldFiles) {
    CQVActor* target = Make(CLASS_BASE, "Target");
    SetLink(aim, MSG_SET_AIMTARGET, target);
    SetLink(aim, MSG_SET_AIMOUTPUT, nullptr, "Gun");
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_TYPE, 2);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_ACCELERATED);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_USELIMITS, 1);
    Send(aim, MSG_SET_AUTOAIM_DAMPER, 3.0f);
    Send(aim, MSG_SET_AUTOAIM_AIMPREDICTIONDISTANCETIME, 4.0f);
    Send(aim, MSG_JKHJ, 0.25f);
    const std::string base = Character_Write(aim, 70, true);
    const std::string record = Character_Write(aim, 70);
    const std::vector<uint32_t> words = Character_Words(record, base);
    ASSERT_GE(words.size(), 11u);
    EXPECT_EQ(words[0], 2u);
    EXPECT_EQ(words[1], aim->m_AimFlags);
    EXPECT_FLOAT_EQ(Character_Float(words[6]), 3.0f);
    EXPECT_FLOAT_EQ(Character_Float(words[10]), 0.25f);

    auto* copy = static_cast<CQVAutoAim*>(Make(CLASS_AUTOAIM, "Copy"));
    uint32_t left = 1;
    ASSERT_EQ(Character_Read(copy, record, 70, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(copy->m_AimType, 2u);
    EXPECT_EQ(copy->m_AimFlags, aim->m_AimFlags);
    EXPECT_FLOAT_EQ(copy->m_Damper, 3.0f);
    EXPECT_FLOAT_EQ(copy->m_InsideThresholdAngle, 0.25f);
    EXPECT_FLOAT_EQ(copy->m_PredictionDistanceTime, 10.0f) << "not saved";
    EXPECT_EQ(copy->m_AimOutput.targetName, "Gun");
    copy->HandleMessage(MSG_INIT_LOAD, nullptr);
    EXPECT_TRUE(copy->IsEnabled()) << "a current file keeps the enabled bit";
    copy->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(copy->m_AimTarget.target, target);

    struct Case {
        uint32_t type;
        bool enabled;
    };
    for (const Case c : {Case{0, true}, Case{1, true}, Case{2, false}, Case{91, false}}) {
        aim->m_AimType = c.type;
        const std::string old = Character_Write(aim, 63);
        auto* loaded = static_cast<CQVAutoAim*>(Make(CLASS_AUTOAIM, "Old"));
        ASSERT_EQ(Character_Read(loaded, old, 63), 1);
        loaded->HandleMessage(MSG_INIT_LOAD, nullptr);
        EXPECT_EQ(loaded->IsEnabled(), c.enabled) << c.type;
    }
}

// "Create" from another AutoAim copies its fields and links, and the copy
// owns its links: deleting the target clears the copy's link too.
TEST_F(AutoAimTest, CreateCopiesFieldsAndLinks) {
    CQVActor* target = AimAt(Vector3(0.0f, 0.0f, 100.0f));
    Send(aim, MSG_SET_AUTOAIM_TURNSPEED, 2.0f);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, AUTOAIM_LINEAR);
    CQVActor* made = g_ActorSystem->CreateActor(CLASS_AUTOAIM, "Made", aim, scenery, ACTOR_ID_ANY, 1, 0);
    auto* copy = static_cast<CQVAutoAim*>(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->m_TurnSpeed, 2.0f);
    EXPECT_EQ(copy->SmoothStyle(), AUTOAIM_LINEAR);
    EXPECT_EQ(copy->m_AimTarget.target, target);
    EXPECT_EQ(copy->m_AimTarget.owner, copy);
    g_ActorSystem->DeleteActor(target);
    EXPECT_EQ(copy->m_AimTarget.target, nullptr);
    EXPECT_EQ(aim->m_AimTarget.target, nullptr);
}

// Type 91 builds its two volumes once; under an actor that is no Character
// its lock-on messages touch nothing.
TEST_F(AutoAimTest, LockOnVolumesAndAParentThatIsNoCharacter) {
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_TYPE, AUTOAIM_LOCK_ON);
    ASSERT_EQ(aim->m_ColObjs.size(), 2u);
    const ColObj& sensor = aim->m_ColObjs[0];
    EXPECT_EQ(sensor.name, "_");
    EXPECT_EQ(sensor.type, COLOBJ_SPHERE);
    EXPECT_FLOAT_EQ(sensor.boxMax.x, 2000.0f);
    EXPECT_EQ(sensor.flags & 0x76u, 0x14u);
    EXPECT_EQ(sensor.groups, 0x40000u);
    EXPECT_EQ(sensor.groupsReceive, 0x4000001u);
    EXPECT_EQ(sensor.groupsExclude, 0xc0010u);
    EXPECT_EQ(aim->m_ColObjs[1].name, "DynamicHACK");
    EXPECT_EQ(aim->m_ColObjs[1].flags & 0x66u, 0x66u);
    Send<uint32_t>(aim, MSG_SET_AUTOAIM_TYPE, AUTOAIM_LOCK_ON);
    ASSERT_EQ(aim->m_ColObjs.size(), 2u);
    EXPECT_EQ(aim->m_ColObjs[0].groupsReceive, 0x4000101u);

    // Under a plain actor: nothing to steer, nothing breaks.
    CQVActor* other = Make(CLASS_BASE, "Other");
    Collide(other);
    for (uint32_t id : {MSG_AUTOAIM_MANUAL_AIM_NOTIFY, MSG_AUTOAIM_POSTCOLLISION, MSG_AUTOAIM_UPDATE,
                        MSG_AUTOAIM_UNHOOK, MSG_HK_152, MSG_AUTOAIM_TOGGLE_EFFECT}) {
        aim->HandleMessage(id, nullptr);
    }
    Tick(aim, 0.1f);
    EXPECT_EQ(aim->m_LockSlots[0].link.target, nullptr);

    // With manual target select no volumes are made.
    auto* manual = static_cast<CQVAutoAim*>(Make(CLASS_AUTOAIM, "Manual"));
    Send<uint32_t>(manual, MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BC, 1);
    Send<uint32_t>(manual, MSG_SET_AUTOAIM_TYPE, AUTOAIM_LOCK_ON);
    EXPECT_TRUE(manual->m_ColObjs.empty());
}

// Under a Character: the manual-aim notify holds bit 26 until message 338,
// a locked target sets bit 25, its deletion clears the slot and the bit,
// and the unhook clears both slots once they are old enough.
TEST_F(AutoAimTest, LockOnUnderACharacter) {
    CQVCharacter* hero = MakeCharacter("Hero");
    ASSERT_NE(hero, nullptr);
    auto* lockOn = static_cast<CQVAutoAim*>(Make(CLASS_AUTOAIM, "LockOn", hero));
    Send<uint32_t>(lockOn, MSG_SET_AUTOAIM_TYPE, AUTOAIM_LOCK_ON);
    constexpr uint32_t lockBit = 1u << 25, manualBit = 1u << 26;
    hero->m_StateFlags &= ~(lockBit | manualBit);

    lockOn->HandleMessage(MSG_AUTOAIM_MANUAL_AIM_NOTIFY, nullptr);
    EXPECT_TRUE(hero->m_StateFlags & manualBit);
    EXPECT_NE(lockOn->FindTimedMessage(MSG_HK_152), nullptr);
    lockOn->HandleMessage(MSG_HK_152, nullptr);
    EXPECT_FALSE(hero->m_StateFlags & manualBit);

    CQVActor* enemy = Make(CLASS_AIM_TARGET, "Enemy");
    lockOn->m_LockSlots[0].link.SetTarget(enemy);
    lockOn->m_LockSlots[1].link.SetTarget(enemy);
    hero->m_StateFlags |= lockBit;
    g_ActorSystem->DeleteActor(enemy);
    EXPECT_EQ(lockOn->m_LockSlots[0].link.target, nullptr);
    EXPECT_EQ(lockOn->m_LockSlots[1].link.target, nullptr);
    EXPECT_FALSE(hero->m_StateFlags & lockBit);

    CQVActor* next = Make(CLASS_AIM_TARGET, "Next");
    lockOn->m_LockSlots[0].link.SetTarget(next);
    lockOn->m_LockSlots[0].lockTime = lockOn->m_LockSlots[1].lockTime = g_GlobalClock.time;
    lockOn->HandleMessage(MSG_AUTOAIM_UNHOOK, nullptr);
    EXPECT_EQ(lockOn->m_LockSlots[0].link.target, next) << "changed too lately";
    Tick(lockOn, 2.0f);
    lockOn->HandleMessage(MSG_AUTOAIM_UNHOOK, nullptr);
    EXPECT_EQ(lockOn->m_LockSlots[0].link.target, nullptr);
}

}  // namespace
