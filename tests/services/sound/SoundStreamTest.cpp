// Streamed sounds: the halves evened out over the data, the refill step
// driven by a play cursor given by the test, the limit of four streams and a
// stream heard to its end through the loopback device.

#include "tests/services/sound/SoundTestSupport.h"

#include "kernel/base/Archive.h"
#include "platform/sound/SoundDevice.h"

#include <cstring>

namespace {

struct EvenOutCase {
    const char* name;
    uint32_t byteRate, blockAlign, dataBytes;
    uint32_t halfSize, dataSize;
};

class EvenOutTest : public testing::TestWithParam<EvenOutCase> {};

TEST_P(EvenOutTest, SpreadsTheLeftoverOverWholeHalves) {
    const EvenOutCase& c = GetParam();
    uint32_t halfSize = 0, dataSize = 0;
    Sound_EvenOutHalves(c.byteRate, c.blockAlign, c.dataBytes, &halfSize, &dataSize);
    EXPECT_EQ(halfSize, c.halfSize);
    EXPECT_EQ(dataSize, c.dataSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EvenOutTest,
    testing::Values(
        // 10.5 s of 16-bit stereo at 44100 Hz: ten halves, each a twentieth of a second longer.
        EvenOutCase{"TenAndAHalfSeconds", 176400, 4, 1852200, 185220, 1852200},
        // 10 bytes more: each half one byte longer, then even again; the 10 bytes are not played.
        EvenOutCase{"TenBytesMore", 176400, 4, 1852210, 185220, 1852200},
        EvenOutCase{"WholeSeconds", 176400, 4, 352800, 176400, 352800},
        // Shorter than a second: a one-second half, the data as it is.
        EvenOutCase{"HalfASecond", 176400, 4, 88200, 176400, 88200},
        EvenOutCase{"Empty", 176400, 4, 0, 176400, 0},
        // A leftover that would start the second half inside a stereo frame.
        EvenOutCase{"WholeFrames", 176400, 4, 176402, 176400, 176400},
        // 8-bit mono: odd halves made even.
        EvenOutCase{"OddHalf", 11025, 1, 22051, 11024, 22048}),
    [](const testing::TestParamInfo<EvenOutCase>& info) { return std::string(info.param.name); });

// 8-bit mono at 1000 Hz: halves of 1000 bytes. Block n of the data holds the
// byte n + 1, so each half shows which second of the file it holds.
class RefillTest : public SoundTest {
protected:
    static constexpr uint32_t kHalf = 1000;
    static constexpr uint8_t kSilence = 0x80;

    CQVStreamSoundBuffer* Open(uint32_t dataBytes, std::vector<uint8_t> trailer = {}) {
        std::vector<uint8_t> samples(dataBytes);
        for (uint32_t i = 0; i < dataBytes; ++i) samples[i] = static_cast<uint8_t>(i / kHalf + 1);
        std::vector<uint8_t> file = Wav_Encode(WavFormat{1, 1000, 8}, samples.data(), dataBytes);
        file.insert(file.end(), trailer.begin(), trailer.end());
        auto* stream = static_cast<CQVStreamSoundBuffer*>(Keep(Sound_CreateStream(RawFile("s.wav", file).c_str(), 0)));
        EXPECT_NE(stream, nullptr) << Sound_GetLastError();
        return stream;
    }
    // The bytes of one half as the ring holds them.
    static std::vector<uint8_t> Half(CQVStreamSoundBuffer* stream, uint32_t half) {
        const uint32_t size = stream->halfSize;
        const auto* bytes = static_cast<const uint8_t*>(stream->buffer->Lock(half * size, size));
        std::vector<uint8_t> copy(bytes, bytes + size);
        stream->buffer->Unlock(half * size, size);
        return copy;
    }
    // What a half holds when it is all one byte; 0 when it is mixed.
    static uint32_t Filled(CQVStreamSoundBuffer* stream, uint32_t half) {
        const std::vector<uint8_t> bytes = Half(stream, half);
        for (uint8_t b : bytes) {
            if (b != bytes[0]) return 0;
        }
        return bytes[0];
    }
    static void Expect(CQVStreamSoundBuffer* stream, uint32_t half0, uint32_t half1, uint32_t streamed,
                       uint32_t current) {
        EXPECT_EQ(Filled(stream, 0), half0);
        EXPECT_EQ(Filled(stream, 1), half1);
        EXPECT_EQ(stream->bytesStreamed, streamed);
        EXPECT_EQ(stream->currentHalf, current);
    }
};

TEST_F(RefillTest, DataThenTwoSilentHalvesThenStop) {
    CQVStreamSoundBuffer* stream = Open(3 * kHalf);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->halfSize, kHalf);
    EXPECT_EQ(stream->dataSize, 3 * kHalf);
    Expect(stream, 1, 2, 2000, 0);
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    // The cursor in the first half: nothing is free.
    Sound_RefillStream(stream, 500);
    Sound_RefillStream(stream, kHalf);
    Expect(stream, 1, 2, 2000, 0);
    // Into the second half: the first takes the third second.
    Sound_RefillStream(stream, 1500);
    Expect(stream, 3, 2, 3000, 1);
    Sound_RefillStream(stream, 1500);  // asked again at the same place: no change
    Expect(stream, 3, 2, 3000, 1);
    // Past the data: silence, twice over.
    Sound_RefillStream(stream, 200);
    Expect(stream, 3, kSilence, 4000, 0);
    Sound_RefillStream(stream, 1200);
    Expect(stream, kSilence, kSilence, 5000, 1);
    Sound_RefillStream(stream, 300);
    Expect(stream, kSilence, kSilence, 6000, 0);
    // Both silent halves played: the stream stops and is rewound.
    Sound_RefillStream(stream, 1300);
    Expect(stream, 1, 2, 2000, 0);
    EXPECT_EQ(stream->file->Tell(), static_cast<int32_t>(stream->dataStart + 2 * kHalf));
    EXPECT_EQ(Sound_IsPlaying(stream), 0);
}

TEST_F(RefillTest, LoopStartsOverFromTheData) {
    CQVStreamSoundBuffer* stream = Open(3 * kHalf);
    ASSERT_NE(stream, nullptr);
    stream->loop = 1;
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    Sound_RefillStream(stream, 1500);
    Expect(stream, 3, 2, 3000, 1);
    // The free half is filled from the start of the data at once.
    Sound_RefillStream(stream, 200);
    Expect(stream, 3, 1, 1000, 0);
    Sound_RefillStream(stream, 1200);
    Expect(stream, 2, 1, 2000, 1);
    Sound_RefillStream(stream, 200);
    Expect(stream, 2, 3, 3000, 0);
}

// Data shorter than a half: the first fill stops at the data's end (the
// chunk after it is not sound) and a looping stream does not start over
// without end.
TEST_F(RefillTest, ShortDataIsPaddedWithSilence) {
    CQVStreamSoundBuffer* stream = Open(300, std::vector<uint8_t>(2000, 0x55));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->halfSize, kHalf);
    EXPECT_EQ(stream->dataSize, 300u);
    const auto expectDataThenSilence = [&](uint32_t half) {
        const std::vector<uint8_t> bytes = Half(stream, half);
        for (uint32_t i = 0; i < kHalf; ++i) ASSERT_EQ(bytes[i], i < 300 ? 1 : kSilence) << half << " " << i;
    };
    expectDataThenSilence(0);
    EXPECT_EQ(Filled(stream, 1), kSilence);
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    stream->loop = 1;
    Sound_RefillStream(stream, 1500);
    expectDataThenSilence(0);
    EXPECT_EQ(stream->currentHalf, 1u);
    Sound_RefillStream(stream, 200);
    expectDataThenSilence(1);
    EXPECT_EQ(stream->currentHalf, 0u);
    // Not looping: silence, then the stop.
    stream->loop = 0;
    Sound_RefillStream(stream, 1200);
    EXPECT_EQ(Filled(stream, 0), kSilence);
    Sound_RefillStream(stream, 200);
    Sound_RefillStream(stream, 1200);
    Sound_RefillStream(stream, 200);
    expectDataThenSilence(0);
    EXPECT_EQ(stream->bytesStreamed, 2 * kHalf);
}

TEST_F(RefillTest, SixteenBitSilenceIsZero) {
    const WavFormat format{1, 500, 16};
    std::vector<uint8_t> samples(1000, 0x11);
    auto* stream = static_cast<CQVStreamSoundBuffer*>(
        Keep(Sound_CreateStream(Wav("s16.wav", format, samples).c_str(), 0)));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(Filled(stream, 0), 0x11u);
    EXPECT_EQ(Filled(stream, 1), 0u);
}

TEST_F(SoundTest, AFifthStreamDoesNotStart) {
    const WavFormat format{1, 8000, 16};
    const std::string path = Wav("s.wav", format, Wav_Sine(format, 300.0f, 0.5f, 16000));
    CQVSoundBuffer* streams[5];
    for (CQVSoundBuffer*& stream : streams) {
        stream = Keep(Sound_CreateStream(path.c_str(), 0));
        ASSERT_NE(stream, nullptr);
        Sound_Play(stream, 1);
    }
    EXPECT_EQ(Sound_GetStreamCount(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Sound_IsPlaying(streams[i]), 1);
    EXPECT_EQ(Sound_IsPlaying(streams[4]), 0);
    // Once one of the four has stopped, it plays.
    Sound_Stop(streams[1]);
    EXPECT_EQ(Sound_GetStreamCount(), 3u);
    Sound_Play(streams[4], 1);
    EXPECT_EQ(Sound_IsPlaying(streams[4]), 1);
    EXPECT_EQ(Sound_GetStreamCount(), 4u);
    // Paused streams leave the list as well; a released one is never left in it.
    Sound_Pause(streams[0]);
    EXPECT_EQ(Sound_GetStreamCount(), 3u);
    Sound_Release(streams[2]);
    m_Sounds.erase(std::find(m_Sounds.begin(), m_Sounds.end(), streams[2]));
    EXPECT_EQ(Sound_GetStreamCount(), 2u);
}

// One second of a tone per half; the thread's pass runs after every tenth of
// a second of mix, as the streaming thread would.
class StreamPlayTest : public SoundTest {
protected:
    StereoMix PlayFor(CQVSoundBuffer* stream, uint32_t tenths) {
        StereoMix all;
        for (uint32_t i = 0; i < tenths && Sound_IsPlaying(stream); ++i) {
            const StereoMix part = Render(kMixRate / 10);
            all.samples.insert(all.samples.end(), part.samples.begin(), part.samples.end());
            Sound_RunStreams();
        }
        return all;
    }
};

TEST_F(StreamPlayTest, PlaysItsDataThenSilenceThenStopsItself) {
    const WavFormat format{2, kMixRate, 16};
    CQVSoundBuffer* stream =
        Keep(Sound_CreateStream(Wav("s.wav", format, Wav_Sine(format, 441.0f, 0.5f, 2 * kMixRate)).c_str(), 0));
    ASSERT_NE(stream, nullptr);
    Sound_Play(stream, 0);
    const StereoMix mix = PlayFor(stream, 60);
    EXPECT_EQ(Sound_IsPlaying(stream), 0);
    EXPECT_EQ(Sound_GetStreamCount(), 0u);
    // Two seconds of tone, two of silence, and the stop as the third silent half begins.
    EXPECT_GE(mix.Frames(), 4 * kMixRate);
    EXPECT_LE(mix.Frames(), 4 * kMixRate + kMixRate / 5);
    EXPECT_NEAR(mix.Rms(kMixRate / 10, 18 * kMixRate / 10), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_LT(mix.Rms(2 * kMixRate + 100, 2 * kMixRate - 200), 1e-4);
    // Rewound: ready to play from the start.
    auto* s = static_cast<CQVStreamSoundBuffer*>(stream);
    EXPECT_EQ(s->bytesStreamed, 2 * s->halfSize);
    EXPECT_EQ(s->buffer->GetCurrentPosition(), 0u);
}

TEST_F(StreamPlayTest, LoopedStreamKeepsPlayingPastItsEnd) {
    const WavFormat format{2, kMixRate, 16};
    CQVSoundBuffer* stream =
        Keep(Sound_CreateStream(Wav("s.wav", format, Wav_Sine(format, 441.0f, 0.5f, 2 * kMixRate)).c_str(), 0));
    Sound_Play(stream, 1);
    const StereoMix mix = PlayFor(stream, 50);
    EXPECT_EQ(Sound_IsPlaying(stream), 1);
    EXPECT_NEAR(mix.Rms(kMixRate / 10, 48 * kMixRate / 10), 0.5 / std::sqrt(2.0), 0.01);
}

// Played again after a pause, a stream starts over with its first halves
// rather than with what the ring held when it paused.
TEST_F(StreamPlayTest, PlayAfterPauseStartsFromTheBeginning) {
    const WavFormat format{1, 1000, 8};
    std::vector<uint8_t> samples(4000);
    for (uint32_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i / 1000 + 1);
    auto* stream = static_cast<CQVStreamSoundBuffer*>(Keep(Sound_CreateStream(Wav("s.wav", format, samples).c_str(), 0)));
    ASSERT_NE(stream, nullptr);
    Sound_Play(stream, 0);
    PlayFor(stream, 15);  // one and a half seconds
    EXPECT_EQ(stream->bytesStreamed, 3000u);
    Sound_Pause(stream);
    EXPECT_EQ(Sound_IsPlaying(stream), 0);
    EXPECT_EQ(Sound_GetStreamCount(), 0u);
    Sound_Play(stream, 0);
    // Listed again: look at it as the streaming thread would, under the lock.
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    EXPECT_EQ(stream->bytesStreamed, 2000u);
    EXPECT_EQ(stream->currentHalf, 0u);
    EXPECT_EQ(stream->buffer->GetCurrentPosition(), 0u);
    const auto* half0 = static_cast<const uint8_t*>(stream->buffer->Lock(0, 1000));
    EXPECT_EQ(half0[0], 1);
    EXPECT_EQ(half0[999], 1);
    stream->buffer->Unlock(0, 1000);
}

}  // namespace
