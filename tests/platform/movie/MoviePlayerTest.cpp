// The player on a clock of the test's own: frames reach the sink (or the
// caller) as they come due, the newest of those due; rewinding stops at the
// start and keeps stale frames away; the end keeps the last frame; sound
// follows the running state.

#include "platform/movie/MoviePlayer.h"
#include "tests/platform/movie/MovieClips.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

std::atomic<double> g_Now{0.0};
double FakeNow() { return g_Now.load(); }

// Waits (in real time, generously) for what the worker is to do.
template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class RecordingSink : public MovieVideoSink {
public:
    void ShowFrame(const MovieVideoFrame& frame) override {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Shown.push_back({frame.time, frame.pixels[0]});
    }
    std::vector<std::pair<double, uint32_t>> Shown() {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Shown;
    }

private:
    std::mutex m_Mutex;
    std::vector<std::pair<double, uint32_t>> m_Shown;
};

class RecordingSound : public MovieAudioSink {
public:
    std::atomic<size_t> frames{0};
    std::atomic<int> pauses{0}, resumes{0}, flushes{0};
    std::atomic<bool> playing{false};
    std::atomic<bool> queuedWhilePaused{false};
    void Queue(const int16_t*, size_t count) override {
        if (!playing) queuedWhilePaused = true;
        frames += count;
    }
    void Pause() override {
        ++pauses;
        playing = false;
    }
    void Resume() override {
        ++resumes;
        playing = true;
    }
    void Flush() override { ++flushes; }
    void Service() override {}
};

class MoviePlayerTest : public MovieFolder {
protected:
    std::unique_ptr<PlatformMovie> Clip(bool withAudio) {
        std::string error;
        auto movie = OpenMovieFile(Write("clip.mpg", ColourClip()), withAudio, &error);
        EXPECT_NE(movie, nullptr) << error;
        return movie;
    }
    void SetUp() override {
        MovieFolder::SetUp();
        g_Now = 100.0;
    }
};

TEST_F(MoviePlayerTest, TheSinkGetsTheNewestDueFrameAndKeepsTheLast) {
    RecordingSink sink;
    MoviePlayer player(Clip(false), FakeNow, &sink, nullptr);
    EXPECT_EQ(player.GetState(), MOVIE_STOPPED);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(sink.Shown().empty()) << "a stopped movie shows nothing";
    player.Run();
    ASSERT_TRUE(WaitFor([&] { return sink.Shown().size() == 1; }));
    EXPECT_TRUE(CloseTo(sink.Shown()[0].second, 0xFFFF0000u));
    // 0.1 s on: frames at 0.04 and 0.08 are due; only the newest is shown.
    g_Now = 100.1;
    player.Wake();
    ASSERT_TRUE(WaitFor([&] { return sink.Shown().size() == 2; }));
    EXPECT_NEAR(sink.Shown()[1].first, 0.08, 0.002);
    EXPECT_TRUE(CloseTo(sink.Shown()[1].second, 0xFF0000FFu));
    EXPECT_NEAR(player.GetPosition(), 0.1, 1e-9);
    EXPECT_EQ(player.GetState(), MOVIE_RUNNING);
    // Past the end: the last frame is shown and stays.
    g_Now = 101.0;
    player.Wake();
    ASSERT_TRUE(WaitFor([&] { return player.GetState() == MOVIE_ENDED; }));
    const auto shown = sink.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_TRUE(CloseTo(shown.back().second, 0xFFFFFF00u));
    // At least the end of the last frame, whatever the file's estimate.
    EXPECT_GE(player.GetDuration(), 0.24 - 1e-9);
    EXPECT_LT(player.GetDuration(), 0.3);
}

TEST_F(MoviePlayerTest, RewindStopsAtTheStartAndRunsFromThere) {
    RecordingSink sink;
    MoviePlayer player(Clip(false), FakeNow, &sink, nullptr);
    player.Run();
    g_Now = 100.13;
    player.Wake();
    ASSERT_TRUE(WaitFor([&] { return !sink.Shown().empty() && sink.Shown().back().first > 0.1; }));
    player.Rewind();
    const size_t shownAtRewind = sink.Shown().size();
    EXPECT_EQ(player.GetState(), MOVIE_STOPPED);
    EXPECT_EQ(player.GetPosition(), 0.0);
    // Stopped: time passes and nothing more is shown.
    g_Now = 100.5;
    player.Wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sink.Shown().size(), shownAtRewind);
    // Running again starts with the first frame.
    player.Run();
    ASSERT_TRUE(WaitFor([&] { return sink.Shown().size() == shownAtRewind + 1; }));
    EXPECT_NEAR(sink.Shown().back().first, 0.0, 0.002);
    EXPECT_TRUE(CloseTo(sink.Shown().back().second, 0xFFFF0000u));
    // Stop holds the position; Run goes on from it.
    g_Now = 100.55;
    player.Stop();
    g_Now = 103.0;
    EXPECT_NEAR(player.GetPosition(), 0.05, 1e-9);
    player.Run();
    g_Now = 103.03;
    EXPECT_NEAR(player.GetPosition(), 0.08, 1e-9);
}

TEST_F(MoviePlayerTest, TakenFramesFollowThePosition) {
    MoviePlayer player(Clip(false), FakeNow, nullptr, nullptr);
    MovieVideoFrame frame;
    // At position 0 the first frame is due, running or not.
    ASSERT_TRUE(player.TakeFrame(&frame));
    EXPECT_TRUE(CloseTo(frame.pixels[0], 0xFFFF0000u));
    EXPECT_FALSE(player.TakeFrame(&frame));
    EXPECT_NEAR(player.GetNextFrameTime(), 0.04, 0.002);
    player.Run();
    g_Now = 100.05;
    ASSERT_TRUE(player.TakeFrame(&frame));
    EXPECT_TRUE(CloseTo(frame.pixels[0], 0xFF00FF00u));
    EXPECT_FALSE(player.TakeFrame(&frame));
    g_Now = 100.17;
    ASSERT_TRUE(player.TakeFrame(&frame));
    EXPECT_NEAR(frame.time, 0.16, 0.002);
    EXPECT_TRUE(CloseTo(frame.pixels[0], 0xFF808080u));
    g_Now = 100.2;
    ASSERT_TRUE(player.TakeFrame(&frame));
    EXPECT_TRUE(CloseTo(frame.pixels[0], 0xFFFFFF00u));
    EXPECT_LT(player.GetNextFrameTime(), 0.0);
    EXPECT_EQ(player.GetState(), MOVIE_RUNNING);
    g_Now = 100.3;
    EXPECT_EQ(player.GetState(), MOVIE_ENDED);
}

TEST_F(MoviePlayerTest, SoundPlaysOnlyWhileRunning) {
    RecordingSound sound;
    {
        MoviePlayer player(Clip(true), FakeNow, nullptr, &sound);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(sound.frames, 0u);
        player.Run();
        g_Now = 101.0;
        MovieVideoFrame frame;
        while (player.TakeFrame(&frame)) {
        }
        ASSERT_TRUE(WaitFor([&] { return sound.frames > 0.2 * 44100; }));
        EXPECT_GE(sound.resumes, 1);
        player.Stop();
        ASSERT_TRUE(WaitFor([&] { return !sound.playing; }));
        player.Rewind();
        ASSERT_TRUE(WaitFor([&] { return sound.flushes >= 1; }));
    }
    EXPECT_FALSE(sound.queuedWhilePaused);
    EXPECT_FALSE(sound.playing);
}

}  // namespace
