// The Timer: its keys run as the time line passes them, once or on every
// loop, at the multiplier's speed, on the fixed frame clock; setting the time
// runs the keys between; the state survives a save and a load; and the loop
// and a line of no length never pile up work.

#include "actors/gameplay/Timer.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"
#include "tests/support/ActorRecordFile.h"

namespace gameplay_test {
namespace {

class TimerTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        timer = Make<CQVTimer>(CLASS_TIMER, "Timer");
        Send(timer, MSG_SET_TOTAL_TIME, 10.0f);
        // A new line stands at -1 s until it is set.
        EXPECT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), -1.0f);
        Send(timer, MSG_SET_CURRENT_TIME, 0.0f);
        CQVScript loop;
        loop.name = "Loop";
        loop.boundMessage = MSG_ON_TIMER_LOOP;
        loop.owner = timer;
        timer->m_Scripts.push_back(loop);
    }

    void Keys(std::initializer_list<float> times) {
        for (float time : times) {
            TimerKey& key = timer->m_Keys.emplace_back();
            key.script.name = "Key " + std::to_string(static_cast<int>(time));
            key.time = time;
        }
        Send(timer, MSG_PRECALCULATE);
    }

    // The keys and loops that ran, by the frame counted from now.
    std::vector<std::pair<int, std::string>> RunFor(int frames) {
        g_ScriptRuns.clear();
        const uint32_t start = g_FrameNumber;
        Frames(frames);
        std::vector<std::pair<int, std::string>> runs;
        for (const ScriptRun& run : g_ScriptRuns) runs.push_back({static_cast<int>(run.frame - start), run.name});
        return runs;
    }

    std::vector<std::string> RanNow() {
        std::vector<std::string> names;
        for (const ScriptRun& run : g_ScriptRuns) names.push_back(run.name);
        g_ScriptRuns.clear();
        return names;
    }

    CQVTimer* timer = nullptr;
};

// A key at s seconds runs in the frame whose clock passes s: frame 32 s + 1.
constexpr int At(float seconds) { return static_cast<int>(seconds * 32.0f) + 1; }

struct RunCase {
    uint32_t type;
    float multiplier;
    std::vector<std::pair<int, std::string>> expected;
};

class TimerRuns : public TimerTest, public testing::WithParamInterface<RunCase> {};

TEST_P(TimerRuns, KeysRunAsTheLinePassesThem) {
    Keys({5.0f, 2.0f});
    Send(timer, MSG_SET_TIMER_TYPE, GetParam().type);
    Send(timer, MSG_SET_TIMER_MULTIPLIER, GetParam().multiplier);
    Send(timer, MSG_START_TIMER);
    EXPECT_EQ(Ask<uint32_t>(timer, MSG_GET_ENABLED), 1u);
    EXPECT_EQ(RunFor(700), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TypesAndSpeeds, TimerRuns,
    testing::Values(RunCase{TIMER_FORWARD_ONCE, 1.0f, {{At(2), "Key 2"}, {At(5), "Key 5"}}},
                    RunCase{TIMER_FORWARD_LOOP,
                            1.0f,
                            {{At(2), "Key 2"},
                             {At(5), "Key 5"},
                             {At(10), "Loop"},
                             {At(12), "Key 2"},
                             {At(15), "Key 5"},
                             {At(20), "Loop"}}},
                    // Twice the speed: every delay and the loop halved in clock time.
                    RunCase{TIMER_FORWARD_LOOP,
                            2.0f,
                            {{At(1), "Key 2"},
                             {At(2.5f), "Key 5"},
                             {At(5), "Loop"},
                             {At(6), "Key 2"},
                             {At(7.5f), "Key 5"},
                             {At(10), "Loop"},
                             {At(11), "Key 2"},
                             {At(12.5f), "Key 5"},
                             {At(15), "Loop"},
                             {At(16), "Key 2"},
                             {At(17.5f), "Key 5"},
                             {At(20), "Loop"},
                             {At(21), "Key 2"}}}));

TEST_F(TimerTest, EachLoopStartsTheLineAgainFromItsBaseTime) {
    Keys({2.0f});
    Send(timer, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    Send(timer, MSG_START_TIMER);
    Frames(At(10) - 1);
    EXPECT_FLOAT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), 10.0f);
    Frames(1);  // the loop
    Frames(1);
    EXPECT_FLOAT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), 1.0f / 32.0f);
}

TEST_F(TimerTest, ALoopStartedLateRunsEarlierKeysInTheNextLoop) {
    Keys({2.0f});
    Send(timer, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    Send(timer, MSG_SET_CURRENT_TIME, 7.0f);
    Send(timer, MSG_START_TIMER);
    const auto runs = RunFor(At(5));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (std::pair<int, std::string>{At(5), "Key 2"}));
}

TEST_F(TimerTest, SettingTheTimeRunsTheKeysBetweenInListOrder) {
    Keys({6.0f, 1.0f, 4.0f, 8.0f, 3.0f});
    CQVScript changed;
    changed.name = "Changed";
    changed.boundMessage = MSG_ON_VALUE_CHANGED;
    changed.owner = timer;
    timer->m_Scripts.push_back(changed);
    Send(timer, MSG_SET_CURRENT_TIME, 3.0f);
    EXPECT_EQ(RanNow(), (std::vector<std::string>{"Changed"})) << "a stopped line runs no key";
    Send(timer, MSG_START_TIMER);
    Send(timer, MSG_SET_CURRENT_TIME, 8.0f);
    EXPECT_EQ(RanNow(), (std::vector<std::string>{"Key 6", "Key 4", "Key 3", "Changed"}));
    Send(timer, MSG_SET_CURRENT_TIME, 3.0f);
    EXPECT_EQ(RanNow(), (std::vector<std::string>{"Key 8", "Key 4", "Key 6", "Changed"}));
    EXPECT_EQ(timer->State(), TIMER_RUNNING);
    // Past the end it stops at the end; the same time again changes nothing.
    Send(timer, MSG_SET_CURRENT_TIME, 12.0f);
    EXPECT_EQ(RanNow(), (std::vector<std::string>{"Key 6", "Key 4", "Key 8", "Key 3", "Changed"}));
    EXPECT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), 10.0f);
    Send(timer, MSG_SET_CURRENT_TIME, 10.0f);
    EXPECT_TRUE(RanNow().empty());
}

TEST_F(TimerTest, PauseStartsAStoppedLineAndResetGoesBackToTheStart) {
    Send(timer, MSG_SET_TIMER_START_TIME, 4.0f);
    Send(timer, MSG_PAUSE_TIMER);
    EXPECT_EQ(timer->State(), TIMER_RUNNING);
    Frames(32);
    Send(timer, MSG_PAUSE_TIMER);
    EXPECT_EQ(timer->State(), TIMER_RUNNING) << "pausing a running line does nothing";
    EXPECT_EQ(Send(timer, MSG_RESET), 4);
    EXPECT_FLOAT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), 4.0f);
    Send(timer, MSG_STOP_TIMER);
    Frames(32);
    EXPECT_FLOAT_EQ(Ask<float>(timer, MSG_GET_CURRENT_TIME), 4.0f);
    EXPECT_EQ(Ask<uint32_t>(timer, MSG_GET_ENABLED), 0u);
    // No speed: started, it stays where it is.
    Send(timer, MSG_SET_TIMER_MULTIPLIER, 0.0f);
    Send(timer, MSG_START);
    EXPECT_EQ(timer->State(), TIMER_PAUSED);
    EXPECT_TRUE(timer->m_TimedMessages.empty());
}

TEST_F(TimerTest, StartGameResetsAndStartsAStartActiveTimer) {
    Keys({1.0f});
    Send(timer, MSG_SET_TIMER_START_TIME, 0.5f);
    Send(timer, MSG_START_GAME);
    EXPECT_EQ(timer->State(), TIMER_RUNNING);
    EXPECT_EQ(RunFor(At(0.5f)), (std::vector<std::pair<int, std::string>>{{At(0.5f), "Key 1"}}));
    Send(timer, MSG_STOP);
    Send(timer, MSG_SET_TIMER_START_ACTIVE, 0u);
    Send(timer, MSG_START_GAME);
    EXPECT_EQ(timer->State(), TIMER_STOPPED);
}

// Stopping ends the run's loop with its keys: stop and start three times and
// one loop runs at the end of the line, not three.
TEST_F(TimerTest, StopEndsTheLoopSoStartsNeverPileUp) {
    Send(timer, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    for (int i = 0; i < 3; ++i) {
        Send(timer, MSG_START_TIMER);
        Send(timer, MSG_STOP_TIMER);
        Send(timer, MSG_SET_CURRENT_TIME, 0.0f);
    }
    Send(timer, MSG_START_TIMER);
    const auto runs = RunFor(At(10));
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::string>>{{At(10), "Loop"}}));
}

// A loop of no length, or run backwards, would never end a pass: such a
// line runs its keys once and schedules no loop.
TEST_F(TimerTest, ALoopOfNoLengthOrRunBackwardsRunsItsKeysOnce) {
    Keys({0.0f});
    Send(timer, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    Send(timer, MSG_SET_TOTAL_TIME, 0.0f);
    Send(timer, MSG_START_TIMER);
    EXPECT_EQ(timer->FindTimedMessage(MSG_ON_TIMER_LOOP), nullptr);
    EXPECT_EQ(RunFor(64), (std::vector<std::pair<int, std::string>>{{1, "Key 0"}}));

    CQVTimer* backwards = Make<CQVTimer>(CLASS_TIMER, "Backwards");
    Send(backwards, MSG_SET_TOTAL_TIME, 10.0f);
    TimerKey& key = backwards->m_Keys.emplace_back();
    key.script.name = "Key 1";
    key.time = 1.0f;
    Send(backwards, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    Send(backwards, MSG_SET_TIMER_MULTIPLIER, -1.0f);
    Send(backwards, MSG_SET_CURRENT_TIME, 3.0f);
    Send(backwards, MSG_START_TIMER);
    EXPECT_EQ(backwards->FindTimedMessage(MSG_ON_TIMER_LOOP), nullptr);
    const auto runs = RunFor(200);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (std::pair<int, std::string>{At(2), "Key 1"}));
    EXPECT_FLOAT_EQ(Ask<float>(backwards, MSG_GET_CURRENT_TIME), 3.0f - 200.0f / 32.0f);
}

struct LoadCase {
    uint32_t stateBefore;
    uint32_t stateAfter;
};

class TimerLoad : public TimerTest, public testing::WithParamInterface<LoadCase> {
protected:
    ActorRecordFile file;
};

// Saved at 3.5 s of its line, a running Timer runs on from there when loaded;
// a paused one stays paused there.
TEST_P(TimerLoad, ALoadedTimerGoesOnFromWhereItWasSaved) {
    Keys({5.0f});
    Send(timer, MSG_SET_TIMER_TYPE, TIMER_FORWARD_LOOP);
    Send(timer, MSG_SET_TIMER_MULTIPLIER, GetParam().stateBefore == TIMER_PAUSED ? 0.0f : 1.0f);
    Send(timer, MSG_SET_CURRENT_TIME, 3.5f);
    Send(timer, MSG_START_TIMER);
    Frames(8);
    const uint32_t id = timer->m_Id;
    ASSERT_TRUE(file.WriteAndForget(timer, 70));
    ASSERT_EQ(file.Load(), 1);
    auto* loaded = static_cast<CQVTimer*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_ClassType, CLASS_TIMER);
    EXPECT_EQ(loaded->State(), GetParam().stateAfter);
    const float saved = GetParam().stateBefore == TIMER_PAUSED ? 3.5f : 3.75f;
    EXPECT_FLOAT_EQ(loaded->m_SavedCurrentTime, saved);
    EXPECT_FLOAT_EQ(Ask<float>(loaded, MSG_GET_CURRENT_TIME), saved);
    ASSERT_EQ(loaded->m_Keys.size(), 1u);
    EXPECT_EQ(loaded->m_Keys[0].script.name, "Key 5");
    if (GetParam().stateAfter == TIMER_RUNNING) {
        EXPECT_EQ(RunFor(At(1.25f)), (std::vector<std::pair<int, std::string>>{{At(1.25f), "Key 5"}}));
    } else {
        EXPECT_TRUE(RunFor(100).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(States, TimerLoad,
                         testing::Values(LoadCase{TIMER_RUNNING, TIMER_RUNNING}, LoadCase{TIMER_PAUSED, TIMER_PAUSED}));

}  // namespace
}  // namespace gameplay_test
