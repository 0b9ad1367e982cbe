#include "kernel/base/Clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class ClockSource : public testing::TestWithParam<bool> {
protected:
    CQVClock clock;
    void SetUp() override {
        if (GetParam()) {
            clock.Initialize();
            ASSERT_EQ(clock.hasCounter, 1u);
        } else {
            clock.UseMillisecondTimer();
        }
    }
};

TEST_P(ClockSource, DeltaConsumesTheInterval) {
    Wait(30);
    const double first = clock.GetDelta();
    const double second = clock.GetDelta();
    EXPECT_GE(first, 0.029);
    EXPECT_LT(first, 1.0);
    EXPECT_GE(second, 0.0);
    EXPECT_LT(second, 0.002);
}

TEST_P(ClockSource, ElapsedDoesNotMoveTheDeltaReference) {
    clock.GetDelta();
    double lastElapsed = 0.0;
    for (int i = 0; i < 3; ++i) {
        Wait(10);
        const double elapsed = clock.GetElapsed();
        EXPECT_GE(elapsed, lastElapsed);  // monotonic
        lastElapsed = elapsed;
    }
    EXPECT_GE(clock.GetDelta(), 0.029);
}

TEST_P(ClockSource, ResetRestartsElapsed) {
    Wait(20);
    EXPECT_GE(clock.GetElapsed(), 0.019);
    clock.Reset();
    EXPECT_LT(clock.GetElapsed(), 0.005);
}

INSTANTIATE_TEST_SUITE_P(Sources, ClockSource, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Counter" : "MillisecondTimer"; });

TEST(Clock, MillisecondTimerResolution) {
    CQVClock clock;
    clock.UseMillisecondTimer();
    // Every reading is a whole number of milliseconds.
    for (int i = 0; i < 5; ++i) {
        clock.Sample();
        const double ms = clock.currentSeconds * 1000.0;
        EXPECT_NEAR(ms, static_cast<double>(static_cast<int64_t>(ms + 0.5)), 1e-6);
    }
}

TEST(Clock, SingleInstance) {
    ASSERT_TRUE(CQVClock::Create());
    CQVClock* first = CQVClock::GetInstance();
    ASSERT_TRUE(CQVClock::Create());
    EXPECT_EQ(CQVClock::GetInstance(), first);
    EXPECT_EQ(first->initialized, 0u);
    first->GetDelta();
    EXPECT_EQ(first->initialized, 1u);
}

}  // namespace
