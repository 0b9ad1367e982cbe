// Static sounds, volume, frequency, 3D placement and the layer's errors,
// heard through the loopback device.

#include "tests/services/sound/SoundTestSupport.h"

#include "platform/sound/SoundDevice.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

const WavFormat kStereo{2, kMixRate, 16};
const WavFormat kMono{1, kMixRate, 16};
const double kToneRms = 0.5 / std::sqrt(2.0);  // a sine at half of full scale

TEST(SoundVolume, HundredthsOfADecibelFromAFactor) {
    const std::pair<float, int32_t> cases[] = {
        {1.0f, 0},      {0.5f, -2500},  {1.5f, 0},        {-1.0f, -5000},
        {0.0f, -5000},  {0.25f, -3750}, {0.5f * 0.8f, -3000}, {std::numeric_limits<float>::quiet_NaN(), -5000}};
    for (const auto& [volume, hundredths] : cases) EXPECT_EQ(Sound_VolumeToHundredthsDb(volume), hundredths) << volume;
}

class StaticVolumeTest : public SoundTest, public testing::WithParamInterface<std::pair<float, double>> {};

TEST_P(StaticVolumeTest, SamplesComeOutAtTheSetVolume) {
    const auto [volume, gain] = GetParam();
    CQVSoundBuffer* sound =
        Keep(Sound_CreateStatic(Wav("tone.wav", kStereo, Wav_Sine(kStereo, 441.0f, 0.5f, kMixRate)).c_str(), 0));
    ASSERT_NE(sound, nullptr) << Sound_GetLastError();
    Sound_SetVolume(sound, volume);
    Sound_Play(sound, 0);
    EXPECT_EQ(Sound_IsPlaying(sound), 1);
    EXPECT_NEAR(Render(8820).Rms(4410, 4410) / kToneRms, gain, gain * 0.05 + 1e-4);
}

// -2500 hundredths of a decibel is about 0.056 in amplitude.
INSTANTIATE_TEST_SUITE_P(Levels, StaticVolumeTest,
                         testing::Values(std::make_pair(1.0f, 1.0), std::make_pair(0.5f, 0.0562),
                                         std::make_pair(1.5f, 1.0), std::make_pair(-1.0f, 0.00316),
                                         std::make_pair(0.4f, 0.0316)));

struct LengthCase {
    const char* name;
    WavFormat format;
    uint32_t frames;
    bool streamed;
    float seconds;
};

class LengthTest : public SoundTest, public testing::WithParamInterface<LengthCase> {};

// Bytes over bytes per second for both kinds: a 16-bit stereo sound is not
// four times as long as it plays.
TEST_P(LengthTest, IsTheDataOverTheByteRate) {
    const LengthCase& c = GetParam();
    const std::string path = Wav("sound.wav", c.format, Wav_Sine(c.format, 300.0f, 0.5f, c.frames));
    CQVSoundBuffer* sound = Keep(c.streamed ? Sound_CreateStream(path.c_str(), 0) : Sound_CreateStatic(path.c_str(), 0));
    ASSERT_NE(sound, nullptr) << Sound_GetLastError();
    EXPECT_FLOAT_EQ(Sound_GetLength(sound), c.seconds);
    EXPECT_EQ(sound->baseFrequency, c.format.sampleRate);
    EXPECT_EQ(sound->kind, c.streamed ? SOUND_KIND_STREAM : SOUND_KIND_STATIC);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LengthTest,
    testing::Values(LengthCase{"StaticStereo16", {2, 44100, 16}, 88200, false, 2.0f},
                    LengthCase{"StaticMono8", {1, 11025, 8}, 16538, false, 16538.0f / 11025.0f},
                    LengthCase{"StreamStereo16", {2, 44100, 16}, 88200, true, 2.0f},
                    LengthCase{"StreamMono16Short", {1, 22050, 16}, 5512, true, 5512.0f / 22050.0f},
                    // 1,852,200 bytes: ten and a half seconds.
                    LengthCase{"StreamTenAndAHalfSeconds", {2, 44100, 16}, 463050, true, 10.5f}),
    [](const testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

TEST_F(SoundTest, FrequencyIsTheBaseRateTimesTheFactor) {
    const WavFormat format{2, 22050, 16};
    CQVSoundBuffer* sound =
        Keep(Sound_CreateStatic(Wav("tone.wav", format, Wav_Sine(format, 441.0f, 0.5f, 22050)).c_str(), 0));
    ASSERT_NE(sound, nullptr);
    Sound_Play(sound, 1);
    const auto measured = [] { return Render(kMixRate / 2).Frequency(0, 4410, kMixRate / 2 - 4410, kMixRate); };
    EXPECT_NEAR(measured(), 441.0, 2.0);
    const std::pair<float, double> steps[] = {
        {2.0f, 882.0}, {0.5f, 220.5}, {0.0f, 441.0}, {1.5f, 661.5},
        // Rates the buffer cannot play are refused: the pitch stays.
        {-1.0f, 661.5}, {1.0e9f, 661.5}, {std::numeric_limits<float>::quiet_NaN(), 661.5}, {0.001f, 661.5}};
    for (const auto& [factor, hz] : steps) {
        Sound_SetFrequency(sound, factor);
        EXPECT_NEAR(measured(), hz, hz * 0.01) << factor;
    }
}

TEST_F(SoundTest, StreamKeepsItsFrequencyFactor) {
    CQVSoundBuffer* sound =
        Keep(Sound_CreateStream(Wav("tone.wav", kStereo, Wav_Sine(kStereo, 441.0f, 0.5f, 44100)).c_str(), 0));
    ASSERT_NE(sound, nullptr);
    Sound_SetFrequency(sound, 0.75f);
    EXPECT_EQ(static_cast<CQVStreamSoundBuffer*>(sound)->frequencyFactor, 0.75f);
    EXPECT_EQ(sound->buffer->GetFrequency(), 33075u);
}

TEST_F(SoundTest, StopRewindsAndPauseDoesNot) {
    CQVSoundBuffer* sound =
        Keep(Sound_CreateStatic(Wav("tone.wav", kStereo, Wav_Sine(kStereo, 441.0f, 0.5f, 44100)).c_str(), 0));
    Sound_Play(sound, 0);
    Render(1000);
    Sound_Pause(sound);
    EXPECT_EQ(Sound_IsPlaying(sound), 0);
    EXPECT_EQ(sound->buffer->GetCurrentPosition(), 4000u);
    Sound_Play(sound, 0);
    Render(1000);
    EXPECT_EQ(sound->buffer->GetCurrentPosition(), 8000u);
    Sound_Stop(sound);
    EXPECT_EQ(Sound_IsPlaying(sound), 0);
    EXPECT_EQ(sound->buffer->GetCurrentPosition(), 0u);
    EXPECT_LT(Render(1000).Rms(0, 1000), 1e-4);
}

// A mono 3D tone placed in world units (centimetres).
class Sound3DTest : public SoundTest {
protected:
    CQVSoundBuffer* Place(const Vector3& position) {
        CQVSoundBuffer* sound =
            Keep(Sound_CreateStatic3D(Wav("mono.wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, 4410)).c_str(), 0));
        if (sound == nullptr) return nullptr;
        Sound_SetPosition(sound, position);
        Sound_Play(sound, 1);
        return sound;
    }
    // The second half of a tenth of a second, once the mix has settled.
    static std::pair<double, double> LeftRight() { return Render(4410).Sides(2205, 2205); }
};

TEST_F(Sound3DTest, LeftAndRightByPosition) {
    CQVSoundBuffer* sound = Place(Vector3(300.0f, 0.0f, 0.0f));
    ASSERT_NE(sound, nullptr) << Sound_GetLastError();
    ASSERT_NE(sound->buffer3D, nullptr);
    Sound_CommitListener();
    auto [left, right] = LeftRight();
    EXPECT_GT(right, 2.0 * left);
    Sound_SetPosition(sound, Vector3(-300.0f, 0.0f, 0.0f));
    Sound_CommitListener();
    std::tie(left, right) = LeftRight();
    EXPECT_GT(left, 2.0 * right);
    // The listener turned round (facing -z): the same sound is on the right.
    Sound_SetListenerFront(Vector3(0.0f, 0.0f, -1.0f));
    Sound_CommitListener();
    std::tie(left, right) = LeftRight();
    EXPECT_GT(right, 2.0 * left);
    EXPECT_EQ(g_SoundState.listenerFront.z, -1.0f);
    EXPECT_EQ(g_SoundState.listenerTop.y, 1.0f);
}

TEST_F(Sound3DTest, SilentPastTheMaximumDistance) {
    // Distances in world units: 1 m and 10 m.
    CQVSoundBuffer* sound = Place(Vector3(0.0f, 0.0f, 100.0f));
    Sound_SetDistances(sound, 100.0f, 1000.0f);
    Sound_CommitListener();
    const double near = Render(4410).Rms(2205, 2205);
    EXPECT_GT(near, 0.1);
    Sound_SetPosition(sound, Vector3(0.0f, 0.0f, 400.0f));
    Sound_CommitListener();
    EXPECT_NEAR(Render(4410).Rms(2205, 2205) / near, 0.25, 0.02);
    Sound_SetPosition(sound, Vector3(0.0f, 0.0f, 1200.0f));
    Sound_CommitListener();
    EXPECT_LT(Render(4410).Rms(2205, 2205), 1e-4);
    // The listener walks up to it.
    Sound_SetListenerPosition(Vector3(0.0f, 0.0f, 1100.0f));
    Sound_CommitListener();
    EXPECT_NEAR(Render(4410).Rms(2205, 2205) / near, 1.0, 0.02);
}

TEST_F(Sound3DTest, WithoutThe3DControlPlacesAreIgnored) {
    CQVSoundBuffer* sound =
        Keep(Sound_CreateStatic(Wav("mono.wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, 4410)).c_str(), 0));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->buffer3D, nullptr);
    Sound_SetPosition(sound, Vector3(5000.0f, 0.0f, 0.0f));
    Sound_SetDistances(sound, 1.0f, 2.0f);
    Sound_Play(sound, 1);
    Sound_CommitListener();
    const auto [left, right] = LeftRight();
    EXPECT_GT(left, 0.1);
    EXPECT_NEAR(left, right, 0.01);
}

struct CreateError {
    const char* name;
    std::function<std::vector<uint8_t>()> file;  // empty: no file at all
    std::function<CQVSoundBuffer*(const char*)> create;
    const char* error;
};

std::vector<uint8_t> StereoFile() {
    const WavFormat format{2, 22050, 16};
    return Wav_Encode(format, Wav_Sine(format, 300.0f, 0.5f, 2205).data(), 2205 * 4);
}
std::vector<uint8_t> FileOfFormat(WavFormat format, uint32_t bytes) {
    const std::vector<uint8_t> samples(bytes, 0);
    return Wav_Encode(format, samples.data(), bytes);
}
CQVSoundBuffer* Static(const char* path) { return Sound_CreateStatic(path, 0); }
CQVSoundBuffer* Static3D(const char* path) { return Sound_CreateStatic3D(path, 0); }
CQVSoundBuffer* Stream(const char* path) { return Sound_CreateStream(path, 0); }
CQVSoundBuffer* Stream3D(const char* path) { return Sound_CreateStream3D(path, 0); }

class CreateErrorTest : public SoundTest, public testing::WithParamInterface<CreateError> {};

TEST_P(CreateErrorTest, GivesNullAndTheLayersText) {
    const CreateError& c = GetParam();
    const std::string path = c.file ? RawFile("sound.wav", c.file()) : (m_Dir / "missing.wav").string();
    Sound_SetError("");
    EXPECT_EQ(Keep(c.create(path.c_str())), nullptr);
    EXPECT_STREQ(Sound_GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreateErrorTest,
    testing::Values(
        CreateError{"MissingStatic", nullptr, Static, "File Open"},
        CreateError{"MissingStream", nullptr, Stream, "File Open"},
        // A stereo file cannot be a 3D sound.
        CreateError{"StereoStatic3D", StereoFile, Static3D, "Create Sound Buffer"},
        CreateError{"StereoStream3D", StereoFile, Stream3D, "Create Sound Buffer"},
        CreateError{"ShortHeader", [] { return std::vector<uint8_t>(30, 1); }, Static, "Create Sound Buffer"},
        CreateError{"ShortHeaderStream", [] { return std::vector<uint8_t>(30, 1); }, Stream, "Create Sound Buffer"},
        CreateError{"NoSamples", [] { return FileOfFormat({1, 22050, 16}, 0); }, Static, "Create Sound Buffer"},
        CreateError{"NoChannelsStream", [] { return FileOfFormat({0, 22050, 16}, 400); }, Stream,
                    "Create Sound Buffer"},
        CreateError{"TwentyFourBits", [] { return FileOfFormat({1, 22050, 24}, 600); }, Static,
                    "Create Sound Buffer"},
        CreateError{"RateZeroStream", [] { return FileOfFormat({1, 0, 16}, 600); }, Stream, "Create Sound Buffer"}),
    [](const testing::TestParamInfo<CreateError>& info) { return std::string(info.param.name); });

// A header that claims more samples than the file holds: the sound is what
// the file has.
TEST_F(SoundTest, HeaderClaimingMoreDataThanTheFileHoldsIsHeldToTheFile) {
    std::vector<uint8_t> file = Wav_Encode(kStereo, Wav_Sine(kStereo, 441.0f, 0.5f, 4410).data(), 4410 * 4);
    file[40] = file[41] = file[42] = 0xFF;  // data size about 16 MB
    file.push_back(0x12);                   // and a part frame at the end
    const std::string path = RawFile("lying.wav", file);
    CQVSoundBuffer* sound = Keep(Sound_CreateStatic(path.c_str(), 0));
    ASSERT_NE(sound, nullptr);
    EXPECT_FLOAT_EQ(Sound_GetLength(sound), 0.1f);
    CQVSoundBuffer* stream = Keep(Sound_CreateStream(path.c_str(), 0));
    ASSERT_NE(stream, nullptr);
    EXPECT_FLOAT_EQ(Sound_GetLength(stream), 0.1f);
    EXPECT_EQ(static_cast<CQVStreamSoundBuffer*>(stream)->dataSize, 4410u * 4);
    Sound_Play(sound, 0);
    EXPECT_GT(Render(4410).Rms(0, 4410), 0.3);
}

TEST_F(SoundTest, EveryOperationTakesANullSound) {
    Sound_Play(nullptr, 1);
    Sound_Stop(nullptr);
    Sound_Pause(nullptr);
    Sound_SetVolume(nullptr, 0.5f);
    Sound_SetFrequency(nullptr, 2.0f);
    Sound_SetPosition(nullptr, Vector3(1.0f, 2.0f, 3.0f));
    Sound_SetDistances(nullptr, 1.0f, 2.0f);
    Sound_Release(nullptr);
    EXPECT_EQ(Sound_IsPlaying(nullptr), 0);
    EXPECT_EQ(Sound_GetLength(nullptr), 0.0f);
    EXPECT_EQ(Sound_Duplicate(nullptr, 0), nullptr);
    EXPECT_EQ(Sound_Duplicate3D(nullptr, 0), nullptr);
}

TEST_F(SoundTest, DuplicatePlaysTheSameSamples) {
    const std::string path = Wav("mono.wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, 44100));
    CQVSoundBuffer* source = Keep(Sound_CreateStatic(path.c_str(), 0));
    ASSERT_NE(source, nullptr);
    CQVSoundBuffer* copy = Keep(Sound_Duplicate(source, 0x10));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->duplicate, 1u);
    EXPECT_EQ(copy->kind, SOUND_KIND_STATIC);
    EXPECT_EQ(copy->baseFrequency, source->baseFrequency);
    EXPECT_EQ(copy->length, source->length);
    EXPECT_EQ(copy->buffer3D, nullptr);  // a plain duplicate has no 3D control
    Sound_Play(copy, 0);
    EXPECT_EQ(Sound_IsPlaying(source), 0);
    const double heard = Render(4410).Rms(2205, 2205);
    EXPECT_GT(heard, 0.1);
    // A 3D duplicate of mono samples can be placed.
    CQVSoundBuffer* placed = Keep(Sound_Duplicate3D(source, 0));
    ASSERT_NE(placed, nullptr);
    ASSERT_NE(placed->buffer3D, nullptr);
    Sound_Stop(copy);
    Sound_SetPosition(placed, Vector3(300.0f, 0.0f, 0.0f));
    Sound_Play(placed, 1);
    Sound_CommitListener();
    const StereoMix mix = Render(4410);
    EXPECT_GT(mix.Rms(1, 2205, 2205), 2.0 * mix.Rms(0, 2205, 2205));
}

TEST_F(SoundTest, DuplicateOfAStreamOpensItsFileAgain) {
    const std::string path = Wav("mono.wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, 44100));
    auto* source = static_cast<CQVStreamSoundBuffer*>(Keep(Sound_CreateStream(path.c_str(), 0)));
    ASSERT_NE(source, nullptr);
    auto* copy = static_cast<CQVStreamSoundBuffer*>(Keep(Sound_Duplicate(source, 0)));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->kind, SOUND_KIND_STREAM);
    EXPECT_EQ(copy->fileName, path);
    EXPECT_NE(copy->file, source->file);
    EXPECT_EQ(copy->buffer3D, nullptr);
    auto* copy3D = static_cast<CQVStreamSoundBuffer*>(Keep(Sound_Duplicate3D(source, 0)));
    ASSERT_NE(copy3D, nullptr);
    EXPECT_NE(copy3D->buffer3D, nullptr);
}

TEST_F(SoundTest, ItemFlagsChooseTheKind) {
    const std::string mono = Wav("mono.wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, 4410));
    const struct {
        uint32_t flags;
        uint32_t kind;
        bool placed;
    } cases[] = {{0, SOUND_KIND_STREAM, false}, {1, SOUND_KIND_STATIC, false},
                 {2, SOUND_KIND_STREAM, true},  {3, SOUND_KIND_STATIC, true}};
    for (const auto& c : cases) {
        CQVSoundBuffer* sound = Keep(Sound_CreateForItem(mono.c_str(), c.flags));
        ASSERT_NE(sound, nullptr) << c.flags;
        EXPECT_EQ(sound->kind, c.kind) << c.flags;
        EXPECT_EQ(sound->buffer3D != nullptr, c.placed) << c.flags;
    }
}

// Runs after the suites above closed their devices: without a device
// nothing is made and the listener is left alone.
TEST(SoundWithoutDevice, CreatesNothingAndIgnoresTheListener) {
    Sound_CloseDevice();
    Sound_Reset();
    const std::string path = (std::filesystem::temp_directory_path() / "qv_sound_nodevice.wav").string();
    const WavFormat format{1, 22050, 16};
    ASSERT_TRUE(Wav_Write(path, format, Wav_Sine(format, 300.0f, 0.5f, 2205)));
    EXPECT_EQ(Sound_CreateStatic(path.c_str(), 0), nullptr);
    EXPECT_STREQ(Sound_GetLastError(), "Create Sound Buffer");
    EXPECT_EQ(Sound_CreateStream(path.c_str(), 0), nullptr);
    Sound_SetListenerFront(Vector3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(g_SoundState.listenerFront.z, 1.0f);
    Sound_CommitListener();
    EXPECT_EQ(Sound_RenderMix(nullptr, 0), 0);
    std::filesystem::remove(path);
}

}  // namespace
