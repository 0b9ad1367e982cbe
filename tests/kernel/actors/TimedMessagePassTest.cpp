#include "ActorTestSupport.h"
#include "AdoptActor.h"

#include "kernel/actors/DrawGroups.h"

namespace {

// A message with one Real argument that the base actor does not answer, so
// firing it only records it.
constexpr uint32_t VALUE_MESSAGE = MSG_ACTION_START_VALUE;

class TimedPassTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        g_GlobalClock.dt = 0.0f;
        g_GlobalClock.previousTime = 0.0f;
        g_GlobalClock.olderTime = 0.0f;
        g_GlobalClock.frameStamp = 0;
        actor = Make("timed");
        g_Seen.clear();
    }

    // Puts the global clock at a time for the current frame, as the frame
    // loop's refresh would.
    static void SetClock(float now) {
        g_GlobalClock.time = now;
        g_GlobalClock.frameStamp = g_FrameNumber;
    }

    // One frame: the clock advances by dt and the pass runs.
    void Frame(float dt) {
        g_FrameTime = dt;
        ++g_FrameNumber;
        system->UpdateClock(&g_GlobalClock);
        system->RunTimedMessagePass();
    }

    std::vector<float> Firings(uint32_t id) const {
        std::vector<float> values;
        for (const SeenMessage& seen : g_Seen) {
            if (seen.actorId == actor->m_Id && seen.id == id) values.push_back(seen.real);
        }
        return values;
    }

    CQVActor* actor = nullptr;
};

struct ModeCase {
    const char* label;
    uint8_t mode;
    float nextFire;  // also the fire time
    float endTime;
    float period;
    float now;
    std::vector<float> values; // the first float at each firing
    float expectedNext;
    bool cancelled;
};

class TimedModeTest : public TimedPassTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(TimedModeTest, FiresByItsRule) {
    const ModeCase& c = GetParam();
    SetClock(0.0f);
    float block = -1.0f;
    TimedMessage* record = system->ScheduleMessage(actor, VALUE_MESSAGE, Args_Of(&block), uint32_t{c.mode} << 8,
                                                   0.0f, 0.0f, c.period, nullptr, 1);
    ASSERT_NE(record, nullptr);
    record->fireTime = c.nextFire;
    record->nextFire = c.nextFire;
    record->endTime = c.endTime;
    SetClock(c.now);
    system->RunTimedMessages(&g_GlobalClock, 1);

    const std::vector<float> fired = Firings(VALUE_MESSAGE);
    ASSERT_EQ(fired.size(), c.values.size());
    for (size_t i = 0; i < fired.size(); ++i) {
        // Values the rule leaves alone keep the scheduled block's -1.
        EXPECT_NEAR(fired[i], c.values[i], 1e-5f) << "firing " << i;
    }
    EXPECT_NEAR(record->nextFire, c.expectedNext, 1e-5f);
    EXPECT_EQ((record->state & TIMED_STATE_CANCELLED) != 0, c.cancelled);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TimedModeTest,
    testing::Values(
        ModeCase{"OnceDue", 2, 0.0f, 0.0f, 0.0f, 0.35f, {-1.0f}, 0.0f, true},
        ModeCase{"OnceNotYetDue", 2, 0.35f, 0.0f, 0.0f, 0.35f, {}, 0.35f, false},
        ModeCase{"CatchUpFiresPerElapsedPeriod", 3, 0.0f, 0.0f, 0.1f, 0.35f, {-1, -1, -1, -1}, 0.4f, false},
        ModeCase{"UntilEndFiresWhileBeforeTheEnd", 4, 0.0f, 1.0f, 0.1f, 0.35f, {-1, -1, -1, -1}, 0.4f, false},
        ModeCase{"UntilEndPassedIsCancelledUnfired", 4, 0.0f, 0.25f, 0.1f, 0.35f, {}, 0.0f, true},
        ModeCase{"LerpCatchUpWritesEachProgress", 5, 0.0f, 1.0f, 0.1f, 0.35f, {0.0f, 0.1f, 0.2f, 0.3f}, 0.4f, false},
        // The end is compared with the clock, not with the next firing.
        ModeCase{"LerpCatchUpPastTheEndFiresOneOnly", 5, 0.0f, 0.15f, 0.1f, 0.35f, {1.0f}, 0.0f, true},
        ModeCase{"PeriodicFiresOnce", 11, 0.0f, 0.0f, 0.1f, 0.35f, {-1.0f}, 0.45f, false},
        ModeCase{"LerpFiresOnceWithProgress", 13, 0.0f, 1.0f, 0.1f, 0.35f, {0.0f}, 0.45f, false},
        ModeCase{"LerpAfterTheEndWritesOne", 13, 0.0f, 0.3f, 0.1f, 0.35f, {1.0f}, 0.0f, true},
        ModeCase{"Mode0NeverFires", 0, 0.0f, 1.0f, 0.1f, 0.35f, {}, 0.0f, false},
        ModeCase{"Mode8NeverFires", 8, 0.0f, 1.0f, 0.1f, 0.35f, {}, 0.0f, false},
        ModeCase{"Mode12NeverFires", 12, 0.0f, 1.0f, 0.1f, 0.35f, {}, 0.0f, false},
        ModeCase{"Mode15NeverFires", 15, 0.0f, 1.0f, 0.1f, 0.35f, {}, 0.0f, false},
        // A period that cannot move the next firing fires once and ends.
        ModeCase{"CatchUpWithoutPeriodEnds", 3, 0.0f, 0.0f, 0.0f, 0.35f, {-1.0f}, 0.0f, true},
        ModeCase{"UntilEndWithNegativePeriodEnds", 4, 0.0f, 1.0f, -1.0f, 0.35f, {-1.0f}, 0.0f, true},
        ModeCase{"LerpCatchUpWithoutPeriodEnds", 5, 0.0f, 1.0f, 0.0f, 0.35f, {0.0f}, 0.0f, true},
        ModeCase{"CatchUpWithAPeriodLostInTheTimeEnds", 3, 1000.0f, 0.0f, 1e-6f, 2000.0f, {-1.0f}, 1000.0f, true}),
    [](const testing::TestParamInfo<ModeCase>& info) { return info.param.label; });

TEST_F(TimedPassTest, LerpWritesTheReachedProgressEachFrameThenOne) {
    SetClock(0.0f);
    float block = -1.0f;
    TimedMessage* record = system->ScheduleMessage(actor, VALUE_MESSAGE, Args_Of(&block), 0x0d00, 0.0f, 1.0f,
                                                   0.25f, nullptr, 1);
    ASSERT_NE(record, nullptr);
    for (int i = 0; i < 6; ++i) Frame(0.3f);
    // Firings at 0.3 (progress 0), 0.6 (0.55 reached), 0.9 (0.85), 1.2 (past the end).
    const std::vector<float> fired = Firings(VALUE_MESSAGE);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_FLOAT_EQ(fired[0], 0.0f);
    EXPECT_NEAR(fired[1], 0.55f, 1e-5f);
    EXPECT_NEAR(fired[2], 0.85f, 1e-5f);
    EXPECT_FLOAT_EQ(fired[3], 1.0f);
    EXPECT_TRUE(actor->m_TimedMessages.empty()) << "released by the pass after its cancel";
}

TEST_F(TimedPassTest, OnceWithoutDelayWaitsForTheClockToAdvance) {
    Frame(0.1f);
    actor->ScheduleMessage(VALUE_MESSAGE, nullptr, 0x200, 0.0f, 0.0f, 0.0f);
    system->RunTimedMessagePass();
    EXPECT_TRUE(Firings(VALUE_MESSAGE).empty());
    Frame(0.1f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
    Frame(0.1f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
    EXPECT_EQ(actor->FindTimedMessage(VALUE_MESSAGE), nullptr);
}

TEST_F(TimedPassTest, PerFrameRecordFiresEveryPassUntilCancelled) {
    TimedMessage* record = system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    for (int i = 0; i < 3; ++i) Frame(0.02f);
    EXPECT_EQ(Firings(MSG_PROCESS).size(), 3u);
    actor->CancelTimedMessage(record);
    Frame(0.02f);
    Frame(0.02f);
    EXPECT_EQ(Firings(MSG_PROCESS).size(), 3u);
    EXPECT_EQ(actor->FindTimedMessage(MSG_PROCESS), nullptr);
}

TEST_F(TimedPassTest, NextFrameRecordFiresOnceAndIsReleasedAtOnce) {
    system->ScheduleMessage(actor, VALUE_MESSAGE, nullptr, 0x700, 0.0f, 0.0f, 0.0f, nullptr, 0);
    Frame(0.02f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
    EXPECT_EQ(actor->FindTimedMessage(VALUE_MESSAGE), nullptr);
    Frame(0.02f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
}

TEST_F(TimedPassTest, UnlinkedRecordNeverFiresAndIsFoundByTag) {
    TimedMessage* record = system->ScheduleMessage(actor, VALUE_MESSAGE, nullptr, 0x6AB, -1.0f, 0.0f, 0.0f, nullptr, 1);
    for (int i = 0; i < 3; ++i) Frame(0.1f);
    EXPECT_TRUE(Firings(VALUE_MESSAGE).empty());
    EXPECT_EQ(actor->FindTimedMessageByTag(0xAB), record);
    EXPECT_EQ(record->state & TIMED_STATE_LINKED, 0);
}

TEST_F(TimedPassTest, ARecordOnAChannelBeyondTheFourNeverRuns) {
    EXPECT_EQ(system->ScheduleMessage(actor, VALUE_MESSAGE, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 4), nullptr);
    // As a damaged file would give it: kept by its actor, never linked.
    TimedMessage* record = NewTimedMessage();
    record->actor = actor;
    record->messageId = VALUE_MESSAGE;
    record->mode = 1;
    record->channel = 200;
    actor->m_TimedMessages.push_back(record);
    system->LinkTimedMessage(record);
    EXPECT_EQ(record->state & TIMED_STATE_LINKED, 0);
    Frame(0.1f);
    system->RunTimedMessages(&g_GlobalClock, 200);
    EXPECT_TRUE(Firings(VALUE_MESSAGE).empty());
}

TEST_F(TimedPassTest, RescheduledRecordsFireAtTheirNewTime) {
    TimedMessage* early = actor->ScheduleMessage(VALUE_MESSAGE, nullptr, 0x200, 10.0f, 0.0f, 0.0f);
    TimedMessage* late = actor->ScheduleMessage(MSG_KILL_VALUE, nullptr, 0x200, 0.05f, 0.0f, 0.0f);
    Frame(0.02f);
    actor->RescheduleTimedMessage(early, -0.01f);
    actor->RescheduleTimedMessage(late, 10.0f);
    Frame(0.1f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
    EXPECT_TRUE(Firings(MSG_KILL_VALUE).empty());
    // Past its new time the moved record fires once, and never again.
    Frame(10.0f);
    EXPECT_EQ(Firings(MSG_KILL_VALUE).size(), 1u);
    Frame(0.1f);
    Frame(0.1f);
    EXPECT_EQ(Firings(MSG_KILL_VALUE).size(), 1u);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);

    // A record the caller owns, scheduled again while still pending.
    TimedMessage owned{};
    system->ScheduleMessage(actor, MSG_ACTION_STOP_VALUE, nullptr, 0x200, 10.0f, 0.0f, 0.0f, &owned, 1);
    Frame(0.1f);
    system->ScheduleMessage(actor, MSG_ACTION_STOP_VALUE, nullptr, 0x200, -1.0f, 0.0f, 0.0f, &owned, 1);
    Frame(0.1f);
    EXPECT_EQ(Firings(MSG_ACTION_STOP_VALUE).size(), 1u);
    Frame(0.1f);
    EXPECT_EQ(owned.state & TIMED_STATE_LINKED, 0) << "released, and not freed";
    // The first scheduling's entry is still in the actor's list: dropped with the record.
    system->ReleaseTimedMessage(&owned);
    std::erase(actor->m_TimedMessages, &owned);
}

// A lerp of period 1/30 s on a clock of 60 frames a second is due every
// second frame, and fires on each of them, whatever time the clock shows
// when it starts (the clock's sums of frame times round differently).
TEST_F(TimedPassTest, ALerpStepsOnEveryFrameItIsDue) {
    for (const float start : {0.0f, 0.05f, 5.0f}) {
        SetClock(start);
        g_Seen.clear();
        float block = 0.0f;
        actor->ScheduleMessage(VALUE_MESSAGE, Args_Of(&block), 0x0D00, 0.0f, 1.0f, 1.0f / 30.0f);
        std::vector<int> frames;
        for (int frame = 1; frame <= 70; ++frame) {
            const size_t before = Firings(VALUE_MESSAGE).size();
            Frame(1.0f / 60.0f);
            if (Firings(VALUE_MESSAGE).size() > before) frames.push_back(frame);
        }
        std::vector<int> everySecond;
        for (int frame = 1; frame <= 61; frame += 2) everySecond.push_back(frame);
        EXPECT_EQ(frames, everySecond) << "starting at " << start;
        EXPECT_EQ(Firings(VALUE_MESSAGE).back(), 1.0f);
    }
}

// A fade moved later steps on from its new time and ends with one 1.0.
TEST_F(TimedPassTest, RescheduledLerpEndsOnce) {
    float block = 0.0f;
    TimedMessage* fade = actor->ScheduleMessage(VALUE_MESSAGE, Args_Of(&block), 0x0D00, 0.05f, 0.5f, 0.1f);
    Frame(0.02f);
    actor->RescheduleTimedMessage(fade, 0.4f);
    for (int i = 0; i < 12; ++i) Frame(0.1f);
    const std::vector<float> values = Firings(VALUE_MESSAGE);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(std::count(values.begin(), values.end(), 1.0f), 1);
    EXPECT_EQ(values.back(), 1.0f);
    // The first firing is at the new time: by then the fade is half way.
    EXPECT_GT(values.front(), 0.0f);
}

TEST_F(TimedPassTest, AHandlerRunsTheChannelsOfAnotherClock) {
    // A Time Instance runs its own clock from its per-frame step.
    class Instance : public RecordingActor {
    public:
        int HandleMessage(uint32_t id, MessageArgs args) override {
            if (id == MSG_PROCESS) g_ActorSystem->RunTimedMessages(&clock, 1);
            return RecordingActor::HandleMessage(id, args);
        }
        ActorClock clock;
    };
    auto* instance = AdoptActor(new Instance, 7502, global);
    instance->clock.flags = 0;
    instance->clock.owner = instance;
    CQVActor* connected = Make("connected");
    connected->m_Clock = &instance->clock;
    system->ScheduleMessage(instance, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->ScheduleMessage(connected, VALUE_MESSAGE, nullptr, 0x300, 0.0f, 0.0f, 0.05f, nullptr, 1);
    system->ScheduleMessage(connected, MSG_KILL_VALUE, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 1);
    for (int i = 0; i < 3; ++i) Frame(0.1f);
    size_t periodic = 0;
    size_t perFrame = 0;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.actorId != connected->m_Id) continue;
        periodic += seen.id == VALUE_MESSAGE;
        perFrame += seen.id == MSG_KILL_VALUE;
    }
    EXPECT_EQ(perFrame, 3u);
    EXPECT_EQ(periodic, 6u) << "one firing per 0.05 s the connected clock advanced";
    while (!connected->m_TimedMessages.empty()) system->ReleaseTimedMessage(connected->m_TimedMessages.back());
    connected->m_Clock = &g_GlobalClock;
}

TEST_F(TimedPassTest, PausedClockHoldsTimedRecordsWhilePerFrameRecordsFire) {
    actor->ScheduleMessage(VALUE_MESSAGE, nullptr, 0x200, 0.05f, 0.0f, 0.0f);
    system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->m_PauseWord = 1;
    for (int i = 0; i < 4; ++i) Frame(0.1f);
    EXPECT_FLOAT_EQ(g_GlobalClock.time, 0.0f);
    EXPECT_TRUE(Firings(VALUE_MESSAGE).empty());
    EXPECT_EQ(Firings(MSG_PROCESS).size(), 4u);
    system->m_PauseWord = 0;
    Frame(0.1f);
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u);
}

// Three messages the base actor only records, and what one frame fired of
// them (the actor's own "BaseProcess" after its creation runs on channel 3).
constexpr uint32_t kFirst = MSG_ACTION_START_VALUE, kSecond = MSG_ACTION_STOP_VALUE, kThird = MSG_KILL_VALUE;

class FiringOrder : public TimedPassTest {
protected:
    std::vector<uint32_t> FiredInOneFrame(float dt) {
        Frame(dt);
        std::vector<uint32_t> seen = SeenBy(actor);
        std::erase(seen, static_cast<uint32_t>(MSG_BASEPROCESS));
        return seen;
    }
};

TEST_F(FiringOrder, ChannelsRunInOrderAndOldestRecordFirst) {
    system->ScheduleMessage(actor, kThird, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->ScheduleMessage(actor, kFirst, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 0);
    system->ScheduleMessage(actor, kSecond, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 0);
    EXPECT_EQ(FiredInOneFrame(0.02f), (std::vector<uint32_t>{kFirst, kSecond, kThird}));
}

// Timed records that fall due in one pass fire oldest first, whatever
// their due times: the list is walked, not sorted by time.
TEST_F(FiringOrder, DueTimedRecordsFireInLinkOrderNotByDueTime) {
    system->ScheduleMessage(actor, kFirst, nullptr, 0x200, 0.03f, 0.0f, 0.0f, nullptr, 1);
    system->ScheduleMessage(actor, kSecond, nullptr, 0x200, 0.01f, 0.0f, 0.0f, nullptr, 1);
    system->ScheduleMessage(actor, kThird, nullptr, 0x200, 0.02f, 0.0f, 0.0f, nullptr, 1);
    EXPECT_EQ(FiredInOneFrame(0.05f), (std::vector<uint32_t>{kFirst, kSecond, kThird}));
}

// Destroys actors from inside its handlers: itself on "Kill Value", the
// victim on "Action Stop Value".
class DestroyingActor : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        const int result = RecordingActor::HandleMessage(id, args);
        if (id == MSG_ACTION_STOP_VALUE && victim) g_ActorSystem->DeleteActor(victim);
        if (id == MSG_KILL_VALUE) g_ActorSystem->DeleteActor(this);
        return result;
    }
    CQVActor* victim = nullptr;
};

TEST_F(TimedPassTest, ActorsDestroyedByAHandlerAreNeverTouchedAgain) {
    auto* killer = AdoptActor(new DestroyingActor, 7500, global);
    CQVActor* victim = Make("victim");
    killer->victim = victim;
    const uint32_t victimId = victim->m_Id;

    // Oldest first: the killer's step destroys the victim, whose records
    // are next in the walk, then the killer destroys itself mid-walk.
    system->ScheduleMessage(killer, MSG_ACTION_STOP_VALUE, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->ScheduleMessage(victim, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->ScheduleMessage(victim, VALUE_MESSAGE, nullptr, 0x300, -1.0f, 0.0f, 0.1f, nullptr, 2);
    system->ScheduleMessage(killer, MSG_KILL_VALUE, nullptr, 0x200, -1.0f, 0.0f, 0.0f, nullptr, 2);
    system->ScheduleMessage(killer, VALUE_MESSAGE, nullptr, 0x300, -1.0f, 0.0f, 0.1f, nullptr, 2);
    Frame(0.02f);
    Frame(0.02f);
    EXPECT_EQ(CQVActorSystem::GetActorById(7500), nullptr);
    EXPECT_EQ(CQVActorSystem::GetActorById(victimId), nullptr);
    for (const SeenMessage& seen : g_Seen) {
        EXPECT_FALSE(seen.actorId == victimId && seen.id == MSG_PROCESS) << "the destroyed victim was fired";
    }
}

TEST_F(TimedPassTest, RecordScheduledByAHandlerFiresInTheSameRunWhenDue) {
    class Scheduler : public RecordingActor {
    public:
        int HandleMessage(uint32_t id, MessageArgs args) override {
            if (id == MSG_PROCESS && !scheduled) {
                scheduled = true;
                g_ActorSystem->ScheduleMessage(this, MSG_KILL_VALUE, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
                g_ActorSystem->ScheduleMessage(this, MSG_ACTION_STOP_VALUE, nullptr, 0x200, -1.0f, 0.0f, 0.0f,
                                               nullptr, 2);
            }
            return RecordingActor::HandleMessage(id, args);
        }
        bool scheduled = false;
    };
    auto* scheduler = AdoptActor(new Scheduler, 7501, global);
    system->ScheduleMessage(scheduler, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    Frame(0.02f);
    EXPECT_EQ(SeenBy(scheduler),
              (std::vector<uint32_t>{MSG_PROCESS, MSG_KILL_VALUE, MSG_ACTION_STOP_VALUE}));
}

TEST_F(TimedPassTest, ScaledClockWithATimeParentRunsAtTheProductOfScales) {
    // A Time Instance's clock: owned by an actor that itself runs on the
    // global clock, whose owner (the actor system) gives the parent scale.
    ActorClock clock;
    clock.ownScale = 0.5f;
    clock.flags = 0;
    CQVActor* owner = Make("instance");
    clock.owner = owner;
    system->m_GlobalSpeedMultiplier = 2.0f;
    actor->m_Clock = &clock;
    system->ScheduleMessage(actor, VALUE_MESSAGE, nullptr, 0x200, 0.25f, 0.0f, 0.0f, nullptr, 1);
    Frame(0.1f);
    EXPECT_FLOAT_EQ(g_GlobalClock.effectiveScale, 2.0f);
    EXPECT_FLOAT_EQ(g_GlobalClock.dt, 0.2f);
    system->RunTimedMessages(&clock, 1);
    EXPECT_FLOAT_EQ(clock.effectiveScale, 1.0f);
    EXPECT_FLOAT_EQ(clock.time, 0.1f);
    EXPECT_TRUE(Firings(VALUE_MESSAGE).empty());
    for (int i = 0; i < 2; ++i) {
        Frame(0.1f);
        system->RunTimedMessages(&clock, 1);
    }
    EXPECT_EQ(Firings(VALUE_MESSAGE).size(), 1u) << "due once the scaled clock passed 0.25";
    actor->m_Clock = &g_GlobalClock;
    system->m_GlobalSpeedMultiplier = 1.0f;
    // The records of the test clock go before the clock does.
    while (!actor->m_TimedMessages.empty()) system->ReleaseTimedMessage(actor->m_TimedMessages.back());
}

}  // namespace

// A record scheduled with an actor as its argument, at the top of its block
// or inside a nested command, and the actor deleted before it fires: the
// record fires with a null actor and nothing follows the dead one.
TEST_F(TimedPassTest, ARecordNamingAnActorThatDiedFiresWithNoActor) {
    const struct {
        const char* label;
        bool nested;
    } cases[] = {{"Set Orientation", false}, {"Action Command { Set Orientation }", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CQVActor* target = Make("Target");
        Matrix moved;
        Mat4_Identity(&moved);
        moved.m[3][0] = 9.0f;
        target->SetWorldMatrix(moved);
        uint8_t block[4 + sizeof target];
        const uint32_t nested = MSG_SET_ORIENTATION;
        std::memcpy(block, &nested, 4);
        std::memcpy(block + 4, &target, sizeof target);
        TimedMessage* record =
            c.nested ? actor->ScheduleMessage(MSG_ACTION_COMMAND, Args_Of(block, sizeof block), 0x200, 0.5f, 0.0f, 0.0f)
                     : actor->ScheduleMessage(MSG_SET_ORIENTATION, Args_Of(block + 4, sizeof target), 0x200, 0.5f,
                                              0.0f, 0.0f);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(system->DeleteActor(target), 1);
        system->RunPendingDeletes();
        const CQVActor* held = target;
        std::memcpy(&held, record->args.Data() + (c.nested ? 4 : 0), sizeof held);
        EXPECT_EQ(held, nullptr);
        for (int frame = 0; frame < 8; ++frame) Frame(0.1f);
        EXPECT_EQ(actor->GetWorldMatrix().m[3][0], 0.0f);
    }
}
