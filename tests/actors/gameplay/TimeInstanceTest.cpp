// The Time Instance: connected actors on its own clock at its multiplier,
// their timed messages pumped by its per-channel layers, the global mode
// that drives the global clock, and connections that leave nothing behind.

#include "actors/gameplay/TimeInstance.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

namespace gameplay_test {
namespace {

class TimeInstanceTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        slow = Make<CQVTimeInstance>(CLASS_TIME_INSTANCE, "Slow");
        walker = Make(CLASS_CHARACTER, "Walker");
    }
    void Connect(CQVTimeInstance* instance, CQVActor* actor) {
        instance->HandleMessage(MSG_TIMEINSTANCE_CONNECT_ACTOR, Args_Of(&actor));
    }
    // A message to the actor on its own clock, once, after delay seconds of that clock.
    static void Later(CQVActor* actor, float delay) {
        g_ActorSystem->ScheduleMessage(actor, MSG_ON_SPAWNED, nullptr, 0x200, delay, 0.0f, 0.0f, nullptr, 1);
    }
    // The frame (counted from now) in which the actor got its message, 0 when it did not.
    static int FiredWithin(int frames) {
        const uint32_t start = g_FrameNumber;
        for (int i = 0; i < frames; ++i) {
            GameplayTest::Frames(1);
            if (!HeardBy("Walker", {MSG_ON_SPAWNED}).empty()) return static_cast<int>(g_FrameNumber - start);
        }
        return 0;
    }
    bool HasLayer(CQVTimeInstance* instance, uint32_t channel) const {
        for (TimedMessage* record : instance->m_TimedMessages) {
            if (record->messageId == MSG_TIMEINSTANCE_PROCESS_LAYER && !(record->state & TIMED_STATE_CANCELLED) &&
                Args_Get<uint32_t>(record->args) == channel) {
                return true;
            }
        }
        return false;
    }

    CQVTimeInstance* slow = nullptr;
    CQVActor* walker = nullptr;
};

// At half speed a 2 s delay takes 4 s of game time: the frame whose own
// clock passes 2 s, 4 s and one frame in.
TEST_F(TimeInstanceTest, AtHalfSpeedItsActorsDelaysTakeTwiceAsLong) {
    Send(slow, MSG_SET_TIMEINSTANCE_MULTIPLIER, 0.5f);
    Connect(slow, walker);
    EXPECT_EQ(walker->m_Clock, &slow->m_OwnClock);
    EXPECT_EQ(Ask<uint32_t>(slow, MSG_TIMEINSTANCE_GET_CONNECTED_COUNT), 1u);
    Later(walker, 2.0f);
    EXPECT_TRUE(HasLayer(slow, 1)) << "the queued message woke the channel";
    Frames(1);
    EXPECT_EQ(walker->m_Clock->dt, kFrame / 2) << "its steps see half the frame time";
    EXPECT_EQ(FiredWithin(200), 128);
    Frames(1);
    EXPECT_FALSE(HasLayer(slow, 1)) << "an empty channel sleeps";
    EXPECT_EQ(slow->m_ChannelMarks[1], 0u);
}

TEST_F(TimeInstanceTest, AtNoSpeedItsActorsWait) {
    Send(slow, MSG_SET_TIMEINSTANCE_MULTIPLIER, 0.0f);
    Connect(slow, walker);
    Later(walker, 0.1f);
    EXPECT_EQ(FiredWithin(200), 0);
    Send(slow, MSG_SET_TIMEINSTANCE_MULTIPLIER, 1.0f);
    EXPECT_EQ(FiredWithin(10), 4);
}

TEST_F(TimeInstanceTest, UnconnectingDropsTheActorsMessagesAndDeathDropsTheConnection) {
    Connect(slow, walker);
    Later(walker, 0.5f);
    walker->HandleMessage(MSG_TIMEINSTANCE_UNCONNECT, Args_Of(&walker));  // not its Time Instance: nothing
    EXPECT_EQ(walker->m_Clock, &slow->m_OwnClock);
    slow->HandleMessage(MSG_TIMEINSTANCE_UNCONNECT, Args_Of(&walker));
    EXPECT_EQ(walker->m_Clock, &g_GlobalClock);
    EXPECT_TRUE(walker->m_TimedMessages.empty());
    EXPECT_EQ(FiredWithin(40), 0);

    CQVActor* other = Make(CLASS_CHARACTER, "Other");
    Connect(slow, walker);
    Connect(slow, other);
    g_ActorSystem->DeleteActor(other);
    EXPECT_EQ(Ask<uint32_t>(slow, MSG_TIMEINSTANCE_GET_CONNECTED_COUNT), 1u);
    // Connected to another, an actor leaves the first.
    auto* fast = Make<CQVTimeInstance>(CLASS_TIME_INSTANCE, "Fast");
    Connect(fast, walker);
    EXPECT_EQ(walker->m_Clock, &fast->m_OwnClock);
    EXPECT_EQ(slow->ConnectedCount(), 0u);
    // A Time Instance that goes returns its actors to the global clock.
    g_ActorSystem->DeleteActor(fast);
    EXPECT_EQ(walker->m_Clock, &g_GlobalClock);
}

TEST_F(TimeInstanceTest, GlobalItDrivesTheGlobalClockAndTheLastOneSetWins) {
    Send(slow, MSG_SET_TIMEINSTANCE_GLOBAL, 1u);
    EXPECT_EQ(g_GlobalClock.owner, slow);
    EXPECT_EQ(Ask<uint32_t>(slow, MSG_GET_TIMEINSTANCE_GLOBAL), 1u);
    Send(slow, MSG_SET_TIMEINSTANCE_MULTIPLIER, 0.5f);
    Frames(1);
    EXPECT_EQ(g_GlobalClock.dt, kFrame / 2);
    // The global clock is advanced by the frame: its raw-time flag stays.
    Send(slow, MSG_SET_TIMEINSTANCE_CALC_FROM_RAW_TIME_B, 0u);
    EXPECT_EQ(Ask<uint32_t>(slow, MSG_GET_TIMEINSTANCE_CALC_FROM_RAW_TIME_B), 1u);

    auto* fast = Make<CQVTimeInstance>(CLASS_TIME_INSTANCE, "Fast");
    Send(fast, MSG_SET_TIMEINSTANCE_GLOBAL, 1u);
    EXPECT_EQ(g_GlobalClock.owner, fast);
    EXPECT_EQ(Ask<uint32_t>(slow, MSG_GET_TIMEINSTANCE_GLOBAL), 0u);
    Send(fast, MSG_SET_TIMEINSTANCE_MULTIPLIER, 1.0f);
    Send(fast, MSG_SET_GTIME, 10.0f);
    EXPECT_EQ(Ask<float>(fast, MSG_GET_GTIME), 10.0f);
    EXPECT_EQ(g_GlobalClock.previousTime, 10.0f - 1.0f / 60.0f);
    EXPECT_EQ(g_GlobalClock.olderTime, 10.0f - 1.0f / 30.0f);
    Send(fast, MSG_SET_TIMEINSTANCE_GLOBAL, 0u);
    EXPECT_EQ(g_GlobalClock.owner, g_ActorSystem);
}

// The global clock must never keep an owner that is gone.
TEST_F(TimeInstanceTest, DestroyedWhileGlobalItHandsTheClockBack) {
    Send(slow, MSG_SET_TIMEINSTANCE_GLOBAL, 1u);
    g_ActorSystem->DeleteActor(slow);
    EXPECT_EQ(g_GlobalClock.owner, g_ActorSystem);
    Frames(2);
}

// Made global while its own clock holds work, it goes on pumping its own
// clock; the global clock's channels run once a frame, by the frame.
TEST_F(TimeInstanceTest, GoingGlobalWhileItsClockHoldsWorkRunsEachClockOnce) {
    Connect(slow, walker);
    Later(walker, 1.0f);
    Frames(1);
    int ticks = 0;
    CQVActor* ticker = Make(CLASS_STATE, "Ticker");
    g_ActorSystem->ScheduleMessage(ticker, MSG_ON_VALUE_CHANGED, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 1);
    CQVScript count;
    count.boundMessage = MSG_ON_VALUE_CHANGED;
    count.owner = ticker;
    ticker->m_Scripts.push_back(count);
    Send(slow, MSG_SET_TIMEINSTANCE_GLOBAL, 1u);
    g_ScriptRuns.clear();
    EXPECT_EQ(FiredWithin(40), 32);
    for (const ScriptRun& run : g_ScriptRuns) ticks += run.owner == "Ticker" ? 1 : 0;
    EXPECT_EQ(ticks, 32) << "once a frame";
}

TEST_F(TimeInstanceTest, CommandSelectionReachesEveryConnectedActor) {
    CQVActor* other = Make(CLASS_CHARACTER, "Other");
    Connect(slow, walker);
    Connect(slow, other);
    struct {
        uint32_t id;
        Vector3 at;
    } command{MSG_SET_POSITION, Vector3(1.0f, 2.0f, 3.0f)};
    slow->HandleMessage(MSG_COMMANDSELECTION, Args_Of(&command));
    EXPECT_EQ(walker->m_Position.z, 3.0f);
    EXPECT_EQ(other->m_Position.z, 3.0f);
}

}  // namespace
}  // namespace gameplay_test
