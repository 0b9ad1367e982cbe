// The sound device on OpenAL Soft's loopback device: every test hears the
// mix it renders into memory.

#include "platform/sound/SoundDevice.h"

#include "tests/platform/sound/MixMeasure.h"
#include "tools/content/WavWriter.h"

#include <AL/alc.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

constexpr uint32_t kRate = 44100;
const PlatformSoundFormat kStereo16{1, 2, kRate, 16};
const PlatformSoundFormat kMono16{1, 1, kRate, 16};

WavFormat AsWav(const PlatformSoundFormat& format) {
    return WavFormat{format.channels, format.sampleRate, format.bitsPerSample};
}

class SoundDeviceTest : public testing::Test {
protected:
    static std::unique_ptr<PlatformSoundDevice> s_Device;

    static void SetUpTestSuite() {
        SoundOpenResult result = SOUND_OPEN_NO_DEVICE;
        s_Device = PlatformSoundDevice::OpenLoopback(2, kRate, 16, &result);
        ASSERT_NE(s_Device, nullptr) << "loopback refused: " << result;
    }
    static void TearDownTestSuite() { s_Device.reset(); }

    void SetUp() override {
        ASSERT_NE(s_Device, nullptr);
        s_Device->SetListenerPosition(0, 0, 0);
        s_Device->SetListenerVelocity(0, 0, 0);
        s_Device->SetListenerOrientation(0, 0, 1, 0, 1, 0);
        s_Device->CommitDeferredSettings();
    }
    void TearDown() override {
        for (PlatformSoundBuffer* buffer : m_Buffers) delete buffer;
    }

    // A buffer holding the bytes, written through a lock as the engine does.
    PlatformSoundBuffer* Make(const PlatformSoundFormat& format, const std::vector<uint8_t>& bytes, uint32_t caps,
                              bool streaming = false) {
        PlatformSoundBuffer* buffer =
            s_Device->CreateBuffer(format, static_cast<uint32_t>(bytes.size()), caps, streaming);
        if (buffer == nullptr) return nullptr;
        m_Buffers.push_back(buffer);
        void* at = buffer->Lock(0, static_cast<uint32_t>(bytes.size()));
        EXPECT_NE(at, nullptr);
        if (at != nullptr) std::memcpy(at, bytes.data(), bytes.size());
        EXPECT_TRUE(buffer->Unlock(0, static_cast<uint32_t>(bytes.size())));
        return buffer;
    }
    PlatformSoundBuffer* Tone(const PlatformSoundFormat& format, float hz, float amplitude, uint32_t frames,
                              uint32_t caps) {
        return Make(format, Wav_Sine(AsWav(format), hz, amplitude, frames), caps);
    }
    static StereoMix Render(uint32_t frames) {
        StereoMix mix;
        mix.samples.resize(static_cast<size_t>(frames) * 2);
        EXPECT_TRUE(s_Device->RenderMix(mix.samples.data(), frames));
        return mix;
    }

    std::vector<PlatformSoundBuffer*> m_Buffers;
};
std::unique_ptr<PlatformSoundDevice> SoundDeviceTest::s_Device;

TEST_F(SoundDeviceTest, LoopbackMixesAtTheAskedFormat) {
    EXPECT_TRUE(s_Device->IsLoopback());
    EXPECT_EQ(s_Device->GetSampleRate(), kRate);
    EXPECT_EQ(s_Device->GetChannels(), 2u);
    // Nothing plays: silence.
    EXPECT_LT(Render(4410).Rms(0, 4410), 1e-4);
}

TEST_F(SoundDeviceTest, StereoSamplesReachLeftAndRightAsTheyAre) {
    PlatformSoundBuffer* buffer =
        Make(kStereo16, Wav_SinePerChannel(AsWav(kStereo16), 441.0f, {0.5f, 0.25f}, kRate), SOUND_CAPS_VOLUME);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->Play(false));
    const StereoMix mix = Render(8820);
    EXPECT_NEAR(mix.Rms(0, 4410, 4410), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(mix.Rms(1, 4410, 4410), 0.25 / std::sqrt(2.0), 0.01);
}

// Volume in hundredths of a decibel: gain = 10^(volume / 2000).
class VolumeTest : public SoundDeviceTest, public testing::WithParamInterface<std::pair<int32_t, double>> {};

TEST_P(VolumeTest, GainFollowsHundredthsOfADecibel) {
    const auto [volume, gain] = GetParam();
    PlatformSoundBuffer* buffer = Tone(kStereo16, 441.0f, 0.5f, kRate, SOUND_CAPS_VOLUME);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->SetVolume(volume));
    EXPECT_EQ(buffer->GetVolume(), volume);
    buffer->Play(false);
    const StereoMix mix = Render(8820);
    const double full = 0.5 / std::sqrt(2.0);
    EXPECT_NEAR(mix.Rms(4410, 4410) / full, gain, gain * 0.05 + 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Levels, VolumeTest,
                         testing::Values(std::make_pair(0, 1.0), std::make_pair(-600, 0.501),
                                         std::make_pair(-2500, 0.0562), std::make_pair(-3000, 0.0316),
                                         std::make_pair(-5000, 0.00316)));

TEST_F(SoundDeviceTest, VolumeOutsideItsRangeIsRefused) {
    PlatformSoundBuffer* buffer = Tone(kStereo16, 441.0f, 0.5f, 4410, SOUND_CAPS_VOLUME);
    ASSERT_TRUE(buffer->SetVolume(-1200));
    EXPECT_FALSE(buffer->SetVolume(1));
    EXPECT_FALSE(buffer->SetVolume(-10001));
    EXPECT_EQ(buffer->GetVolume(), -1200);
}

TEST_F(SoundDeviceTest, FrequencySetsThePitch) {
    const PlatformSoundFormat format{1, 2, 22050, 16};
    PlatformSoundBuffer* buffer = Tone(format, 441.0f, 0.5f, 22050, SOUND_CAPS_FREQUENCY);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetFrequency(), 22050u);
    buffer->Play(true);
    EXPECT_NEAR(Render(kRate / 2).Frequency(0, 0, kRate / 2, kRate), 441.0, 2.0);
    ASSERT_TRUE(buffer->SetFrequency(44100));
    EXPECT_NEAR(Render(kRate / 2).Frequency(0, 2205, kRate / 2 - 2205, kRate), 882.0, 3.0);
    // Out of range: refused, the pitch stays.
    EXPECT_FALSE(buffer->SetFrequency(99));
    EXPECT_FALSE(buffer->SetFrequency(200001));
    EXPECT_EQ(buffer->GetFrequency(), 44100u);
    // 0 is the buffer's own rate.
    ASSERT_TRUE(buffer->SetFrequency(0));
    EXPECT_EQ(buffer->GetFrequency(), 22050u);
    EXPECT_NEAR(Render(kRate / 2).Frequency(0, 2205, kRate / 2 - 2205, kRate), 441.0, 2.0);
}

TEST_F(SoundDeviceTest, StaticBufferPlaysOnceStopsWhereItIsAndRewinds) {
    PlatformSoundBuffer* buffer = Tone(kStereo16, 441.0f, 0.5f, 4410, SOUND_CAPS_VOLUME);
    ASSERT_NE(buffer, nullptr);
    EXPECT_FALSE(buffer->IsPlaying());
    buffer->Play(false);
    EXPECT_TRUE(buffer->IsPlaying());
    Render(2000);
    buffer->Stop();
    EXPECT_FALSE(buffer->IsPlaying());
    EXPECT_EQ(buffer->GetCurrentPosition(), 2000u * 4);
    EXPECT_LT(Render(1000).Rms(0, 1000), 1e-4);  // stopped: silent
    // Play goes on from the stop: 2410 frames remain.
    buffer->Play(false);
    StereoMix mix = Render(4410);
    EXPECT_GT(mix.Rms(0, 2400), 0.3);
    EXPECT_LT(mix.Rms(2420, 1990), 1e-4);
    EXPECT_FALSE(buffer->IsPlaying());
    // Played to its end, it starts from the beginning next time.
    EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
    buffer->Play(false);
    mix = Render(4410);
    EXPECT_GT(mix.Rms(0, 4400), 0.3);
    // Moved while stopped, it plays from there (a restarted voice fades in
    // over its first mix, so the cursor shows where it plays).
    buffer->Stop();
    buffer->SetCurrentPosition(4000 * 4);
    EXPECT_EQ(buffer->GetCurrentPosition(), 4000u * 4);
    buffer->Play(false);
    Render(100);
    EXPECT_EQ(buffer->GetCurrentPosition(), 4100u * 4);
    Render(320);
    EXPECT_FALSE(buffer->IsPlaying());
}

TEST_F(SoundDeviceTest, LoopedStaticBufferKeepsPlaying) {
    PlatformSoundBuffer* buffer = Tone(kStereo16, 441.0f, 0.5f, 4410, SOUND_CAPS_VOLUME);
    buffer->Play(true);
    const StereoMix mix = Render(4410 * 5);
    EXPECT_TRUE(buffer->IsPlaying());
    EXPECT_GT(mix.Rms(4410 * 4, 4410), 0.3);
}

TEST_F(SoundDeviceTest, DuplicatePlaysTheSameSamplesOnItsOwnVoice) {
    PlatformSoundBuffer* source = Tone(kStereo16, 441.0f, 0.25f, kRate, SOUND_CAPS_VOLUME | SOUND_CAPS_FREQUENCY);
    ASSERT_TRUE(source->SetVolume(-600));
    PlatformSoundBuffer* copy = s_Device->DuplicateBuffer(source, false);
    ASSERT_NE(copy, nullptr);
    m_Buffers.push_back(copy);
    EXPECT_EQ(copy->GetVolume(), -600);
    EXPECT_EQ(copy->GetSize(), source->GetSize());
    ASSERT_TRUE(copy->SetVolume(0));
    copy->Play(false);
    const double alone = Render(4410).Rms(2000, 2000);
    EXPECT_NEAR(alone, 0.25 / std::sqrt(2.0), 0.01);
    source->Play(false);
    // The source starts 4410 frames behind the copy; both sound together.
    const StereoMix both = Render(4410);
    EXPECT_GT(both.Rms(0, 4410), alone * 1.1);
    // The source released, the copy still plays its samples.
    delete source;
    m_Buffers.erase(m_Buffers.begin());
    EXPECT_NEAR(Render(4410).Rms(2000, 2000), 0.25 / std::sqrt(2.0), 0.01);
    // Duplicates are of static buffers; a 3D duplicate needs mono samples.
    EXPECT_FALSE(copy->Has3D());
    PlatformSoundBuffer* stereo3D = s_Device->DuplicateBuffer(copy, true);
    ASSERT_NE(stereo3D, nullptr);
    m_Buffers.push_back(stereo3D);
    EXPECT_FALSE(stereo3D->Has3D());
    PlatformSoundBuffer* mono = Tone(kMono16, 441.0f, 0.5f, 4410, SOUND_CAPS_VOLUME);
    PlatformSoundBuffer* mono3D = s_Device->DuplicateBuffer(mono, true);
    ASSERT_NE(mono3D, nullptr);
    m_Buffers.push_back(mono3D);
    EXPECT_TRUE(mono3D->Has3D());
}

struct RefusedBuffer {
    const char* name;
    PlatformSoundFormat format;
    uint32_t bytes;
    uint32_t caps;
    bool streaming;
};

class RefusedBufferTest : public SoundDeviceTest, public testing::WithParamInterface<RefusedBuffer> {};

TEST_P(RefusedBufferTest, IsNotMade) {
    const RefusedBuffer& c = GetParam();
    PlatformSoundBuffer* buffer = s_Device->CreateBuffer(c.format, c.bytes, c.caps, c.streaming);
    EXPECT_EQ(buffer, nullptr);
    delete buffer;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBufferTest,
    testing::Values(RefusedBuffer{"NotPcm", {2, 1, kRate, 16}, 1000, 0, false},
                    RefusedBuffer{"ThreeChannels", {1, 3, kRate, 16}, 1200, 0, false},
                    RefusedBuffer{"NoChannels", {1, 0, kRate, 16}, 1000, 0, false},
                    RefusedBuffer{"TwentyFourBits", {1, 1, kRate, 24}, 1200, 0, false},
                    RefusedBuffer{"RateTooLow", {1, 1, 50, 16}, 1000, 0, false},
                    RefusedBuffer{"RateTooHigh", {1, 1, 300000, 16}, 1000, 0, false},
                    RefusedBuffer{"Empty", {1, 1, kRate, 16}, 0, 0, false},
                    RefusedBuffer{"PartFrame", {1, 2, kRate, 16}, 1002, 0, false},
                    RefusedBuffer{"HalvesOfPartFrames", {1, 2, kRate, 16}, 1004, 0, true},
                    RefusedBuffer{"StereoIn3D", {1, 2, kRate, 16}, 1000, SOUND_CAPS_3D, false}),
    [](const testing::TestParamInfo<RefusedBuffer>& info) { return std::string(info.param.name); });

TEST_F(SoundDeviceTest, StaticBufferIsWrittenWhole) {
    PlatformSoundBuffer* buffer = s_Device->CreateBuffer(kStereo16, 4000, 0, false);
    ASSERT_NE(buffer, nullptr);
    m_Buffers.push_back(buffer);
    EXPECT_EQ(buffer->Lock(0, 2000), nullptr);
    EXPECT_EQ(buffer->Lock(0, 4004), nullptr);
    EXPECT_NE(buffer->Lock(0, 4000), nullptr);
    EXPECT_TRUE(buffer->Unlock(0, 4000));
    EXPECT_FALSE(buffer->Unlock(0, 4000));  // nothing locked
}

// A mono 3D tone at a place, heard by a listener at the origin.
class PositionalTest : public SoundDeviceTest {
protected:
    PlatformSoundBuffer* Place(float x, float y, float z, uint32_t caps = SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX) {
        PlatformSoundBuffer* buffer = Tone(kMono16, 441.0f, 0.5f, 4410, caps | SOUND_CAPS_VOLUME);
        if (buffer == nullptr) return nullptr;
        buffer->SetPosition(x, y, z);
        buffer->Play(true);
        return buffer;
    }
    // The second half of a tenth of a second, once the mix has settled.
    static std::pair<double, double> LeftRight() { return Render(4410).Sides(2205, 2205); }
};

TEST_F(PositionalTest, SidesFollowTheLeftHandedWorld) {
    PlatformSoundBuffer* buffer = Place(2.0f, 0.0f, 0.0f);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->Has3D());
    s_Device->CommitDeferredSettings();
    // Facing +z with y up, +x is on the right.
    auto [left, right] = LeftRight();
    EXPECT_GT(right, 2.0 * left);
    buffer->SetPosition(-2.0f, 0.0f, 0.0f);
    s_Device->CommitDeferredSettings();
    std::tie(left, right) = LeftRight();
    EXPECT_GT(left, 2.0 * right);
    // Turned to face +x, a sound at +z is on the left.
    buffer->SetPosition(0.0f, 0.0f, 2.0f);
    s_Device->SetListenerOrientation(1, 0, 0, 0, 1, 0);
    s_Device->CommitDeferredSettings();
    std::tie(left, right) = LeftRight();
    EXPECT_GT(left, 2.0 * right);
}

TEST_F(PositionalTest, SettingsWaitForTheCommit) {
    PlatformSoundBuffer* buffer = Place(2.0f, 0.0f, 0.0f);
    s_Device->CommitDeferredSettings();
    buffer->SetPosition(-2.0f, 0.0f, 0.0f);
    s_Device->SetListenerPosition(-4.0f, 0.0f, 0.0f);
    auto [left, right] = LeftRight();
    EXPECT_GT(right, 2.0 * left);  // still on the right
    s_Device->CommitDeferredSettings();
    // Listener and sound moved together: on the right again, as loud.
    std::tie(left, right) = LeftRight();
    EXPECT_GT(right, 2.0 * left);
}

struct DistanceCase {
    float distance, minimum, maximum;
    uint32_t caps;
    double gain;  // against the sound at its minimum distance
};

class DistanceTest : public PositionalTest, public testing::WithParamInterface<DistanceCase> {};

TEST_P(DistanceTest, GainFollowsTheClampedInverseLaw) {
    const DistanceCase& c = GetParam();
    PlatformSoundBuffer* near = Place(0.0f, 0.0f, c.minimum, c.caps);
    near->SetDistances(c.minimum, c.maximum);
    s_Device->CommitDeferredSettings();
    const double reference = Render(4410).Rms(2205, 2205);
    near->Stop();
    ASSERT_GT(reference, 0.1);
    PlatformSoundBuffer* far = Place(0.0f, 0.0f, c.distance, c.caps);
    far->SetDistances(c.minimum, c.maximum);
    s_Device->CommitDeferredSettings();
    EXPECT_NEAR(Render(4410).Rms(2205, 2205) / reference, c.gain, 0.02);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceTest,
    testing::Values(DistanceCase{0.5f, 1.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 1.0},
                    DistanceCase{2.0f, 1.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 0.5},
                    DistanceCase{4.0f, 1.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 0.25},
                    DistanceCase{6.0f, 3.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 0.5},
                    DistanceCase{10.0f, 1.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 0.1},
                    // Beyond the maximum: silent, or held at the maximum's gain.
                    DistanceCase{12.0f, 1.0f, 10.0f, SOUND_CAPS_3D | SOUND_CAPS_MUTE_AT_MAX, 0.0},
                    DistanceCase{20.0f, 1.0f, 10.0f, SOUND_CAPS_3D, 0.1}));

TEST_F(PositionalTest, MutedSoundIsHeardAgainWhenTheListenerComesNear) {
    PlatformSoundBuffer* buffer = Place(0.0f, 0.0f, 30.0f);
    buffer->SetDistances(1.0f, 20.0f);
    s_Device->CommitDeferredSettings();
    EXPECT_LT(Render(4410).Rms(2205, 2205), 1e-4);
    s_Device->SetListenerPosition(0.0f, 0.0f, 29.0f);
    s_Device->CommitDeferredSettings();
    const double heard = Render(4410).Rms(2205, 2205);
    EXPECT_GT(heard, 0.1);
    // A volume set while it was heard holds as it moves out and back in.
    buffer->SetVolume(-600);
    s_Device->SetListenerPosition(0.0f, 0.0f, 0.0f);
    s_Device->CommitDeferredSettings();
    EXPECT_LT(Render(4410).Rms(2205, 2205), 1e-4);
    s_Device->SetListenerPosition(0.0f, 0.0f, 29.0f);
    s_Device->CommitDeferredSettings();
    EXPECT_NEAR(Render(4410).Rms(2205, 2205) / heard, 0.501, 0.02);
}

TEST_F(PositionalTest, SoundWithout3DIgnoresPlacesAndStaysBesideTheListener) {
    PlatformSoundBuffer* buffer = Place(0.0f, 0.0f, 50.0f, 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_FALSE(buffer->Has3D());
    buffer->SetDistances(1.0f, 2.0f);
    s_Device->SetListenerPosition(100.0f, 0.0f, 0.0f);
    s_Device->CommitDeferredSettings();
    const auto [left, right] = LeftRight();
    EXPECT_GT(left, 0.1);
    EXPECT_NEAR(left, right, 0.01);
}

// A streaming ring of two 0.1 s halves, each sample frame holding one value.
class RingTest : public SoundDeviceTest {
protected:
    static constexpr uint32_t kHalfFrames = 4410;
    static constexpr uint32_t kHalfBytes = kHalfFrames * 4;

    void SetUp() override {
        SoundDeviceTest::SetUp();
        ring = s_Device->CreateBuffer(kStereo16, 2 * kHalfBytes, SOUND_CAPS_VOLUME, true);
        ASSERT_NE(ring, nullptr);
        m_Buffers.push_back(ring);
        Write(0, 1000);
        Write(1, 2000);
    }
    void Write(uint32_t half, int16_t value) {
        auto* at = static_cast<int16_t*>(ring->Lock(half * kHalfBytes, kHalfBytes));
        ASSERT_NE(at, nullptr);
        std::fill(at, at + kHalfFrames * 2, value);
        ASSERT_TRUE(ring->Unlock(half * kHalfBytes, kHalfBytes));
    }
    // Renders in steps of 1000 frames, reading the cursor between them as
    // the streaming thread does.
    StereoMix Play(uint32_t frames) {
        StereoMix all;
        for (uint32_t done = 0; done < frames; done += 1000) {
            const StereoMix part = Render(std::min(1000u, frames - done));
            all.samples.insert(all.samples.end(), part.samples.begin(), part.samples.end());
            ring->GetCurrentPosition();
        }
        return all;
    }
    static void ExpectValue(const StereoMix& mix, uint32_t first, uint32_t count, int16_t value) {
        for (uint32_t frame = first; frame < first + count; ++frame) {
            ASSERT_NEAR(mix.At(frame, 0), value, 2) << "frame " << frame;
        }
    }

    PlatformSoundBuffer* ring = nullptr;
};

TEST_F(RingTest, CursorGoesRoundTheRing) {
    EXPECT_TRUE(ring->IsStreaming());
    EXPECT_EQ(ring->GetCurrentPosition(), 0u);
    ring->Play(false);  // a ring always loops
    EXPECT_TRUE(ring->IsPlaying());
    Play(3000);
    EXPECT_EQ(ring->GetCurrentPosition(), 3000u * 4);
    Play(3000);
    EXPECT_EQ(ring->GetCurrentPosition(), 6000u * 4);
    Play(3000);
    EXPECT_EQ(ring->GetCurrentPosition(), (9000u - 2 * kHalfFrames) * 4);
}

TEST_F(RingTest, RewrittenHalfPlaysItsNewSamples) {
    ring->Play(true);
    StereoMix mix = Play(5000);  // into the second half
    ExpectValue(mix, 0, kHalfFrames, 1000);
    ExpectValue(mix, kHalfFrames, 5000 - kHalfFrames, 2000);
    Write(0, 3000);
    mix = Play(2 * kHalfFrames);
    ExpectValue(mix, 0, 2 * kHalfFrames - 5000, 2000);
    ExpectValue(mix, 2 * kHalfFrames - 5000, kHalfFrames, 3000);
}

TEST_F(RingTest, HalfNotRewrittenInTimePlaysAgain) {
    ring->Play(true);
    const StereoMix mix = Play(3 * kHalfFrames);
    ExpectValue(mix, 0, kHalfFrames, 1000);
    ExpectValue(mix, kHalfFrames, kHalfFrames, 2000);
    ExpectValue(mix, 2 * kHalfFrames, kHalfFrames, 1000);
    EXPECT_TRUE(ring->IsPlaying());
}

TEST_F(RingTest, StopKeepsThePlaceAndPositionZeroStartsOver) {
    ring->Play(true);
    Play(2000);
    ring->Stop();
    EXPECT_FALSE(ring->IsPlaying());
    EXPECT_EQ(ring->GetCurrentPosition(), 2000u * 4);
    StereoMix mix = Play(1000);
    ExpectValue(mix, 0, 1000, 0);
    ring->Play(true);
    mix = Play(3000);
    ExpectValue(mix, 0, kHalfFrames - 2000, 1000);
    ExpectValue(mix, kHalfFrames - 2000, 500, 2000);
    ring->Stop();
    ring->SetCurrentPosition(0);
    EXPECT_EQ(ring->GetCurrentPosition(), 0u);
    Write(0, 4000);
    ring->Play(true);
    mix = Play(1000);
    ExpectValue(mix, 0, 1000, 4000);
}

// The null output device of OpenAL Soft (ALSOFT_DRIVERS=null in tests) is a
// real device that plays nowhere: it opens, and has no mix to render.
TEST(SoundDeviceOpen, RealDeviceOpensAndRendersNothing) {
    SoundOpenResult result = SOUND_OPEN_NO_DEVICE;
    std::unique_ptr<PlatformSoundDevice> device = PlatformSoundDevice::Open(2, 44100, 16, &result);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(result, SOUND_OPEN_OK);
    EXPECT_FALSE(device->IsLoopback());
    int16_t out[8];
    EXPECT_FALSE(device->RenderMix(out, 4));
    EXPECT_EQ(PlatformSoundDevice::Open(3, 44100, 16, &result), nullptr);
    EXPECT_EQ(result, SOUND_OPEN_BAD_FORMAT);
    EXPECT_EQ(PlatformSoundDevice::OpenLoopback(2, 44100, 24, &result), nullptr);
    EXPECT_EQ(result, SOUND_OPEN_BAD_FORMAT);
}

// The device closes with its owner even while sounds are still held (the
// actors a quitting game never released): its mixing context goes at once,
// and the buffers released afterwards free nothing and do not fail.
TEST(SoundDeviceClose, TheDeviceClosesWhileBuffersAreStillHeld) {
    SoundOpenResult result = SOUND_OPEN_OK;
    std::unique_ptr<PlatformSoundDevice> device = PlatformSoundDevice::OpenLoopback(2, kRate, 16, &result);
    ASSERT_NE(device, nullptr);
    PlatformSoundBuffer* held = device->CreateBuffer(kStereo16, 4000, 0, false);
    ASSERT_NE(held, nullptr);
    ASSERT_NE(alcGetCurrentContext(), nullptr);
    device.reset();
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    delete held;
}

}  // namespace
