// The Sound actor: its stored layouts of every version, what it sends to
// the device (volume, rate, place), its play styles, the random variation
// per start, the visibility fades and the slow-time restart.

#include "tests/actors/scene/SoundActorSupport.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/ActorFiles.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// The payload of a Sound after the base fields, as each version stores it.
struct StoredSound {
    uint32_t soundId = 7;
    uint32_t type = 1;
    float range = 800.0f;
    float minRadius = 150.0f;
};

void PutSound(CQVActorArchive& archive, uint32_t version, const StoredSound& s) {
    PutWord(archive, s.soundId);
    if (version >= 58) PutText(archive, "a name nobody reads");
    PutWord(archive, s.type);
    PutReal(archive, s.range);
    if (version < 36) {
        PutWord(archive, 99);
        PutReal(archive, 5.0f);
        PutReal(archive, 6.0f);
    } else {
        PutReal(archive, 0.5f);    // volume
        PutReal(archive, -0.25f);  // pan
        PutReal(archive, 1.5f);    // frequency
        PutReal(archive, s.minRadius);
        PutReal(archive, 0.1f);    // volume variation
        PutReal(archive, 0.2f);    // pan variation
        PutReal(archive, 0.3f);    // frequency variation
        PutWord(archive, 1);       // start playing
        PutWord(archive, SOUND_PLAY_LOOP_TIMES);
        PutWord(archive, 4);       // loop count
        PutWord(archive, 0);
    }
    if (version >= 41) PutReal(archive, 0.7f);
}

struct VersionCase {
    const char* label;
    uint32_t version;
    StoredSound stored;
    uint32_t type, soundId;
    float range, minRadius, volume, pan, frequency, effect;
    uint32_t startPlaying, playStyle;
};

class SoundVersionTest : public SoundActorTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(SoundVersionTest, LoadsItsLayout) {
    const VersionCase& c = GetParam();
    AddSound(7, "Seven", 0.2f);
    CQVActor* actor = Import(HandMadeFile(c.version, CLASS_SOUND, [&](CQVActorArchive& archive) {
        PutSound(archive, c.version, c.stored);
    }));
    ASSERT_NE(actor, nullptr);
    auto* sound = static_cast<CQVSound*>(actor);
    EXPECT_EQ(sound->m_SoundType, c.type);
    EXPECT_EQ(sound->m_SoundId, c.soundId);
    ASSERT_NE(sound->m_Item, nullptr);
    EXPECT_EQ(sound->m_Item->sourceId, c.soundId);  // a private copy of it
    EXPECT_EQ(sound->m_Item->flags & CQVSoundItem::SOUND_3D, c.type == SOUND_TYPE_3D ? CQVSoundItem::SOUND_3D : 0u);
    EXPECT_FLOAT_EQ(sound->m_Range, c.range);
    EXPECT_FLOAT_EQ(sound->m_MinRadius, c.minRadius);
    EXPECT_FLOAT_EQ(sound->m_Volume, c.volume);
    EXPECT_FLOAT_EQ(sound->m_CurrentVolume, c.volume);
    EXPECT_FLOAT_EQ(sound->m_Pan, c.pan);
    EXPECT_FLOAT_EQ(sound->m_Frequency, c.frequency);
    EXPECT_FLOAT_EQ(sound->m_CurrentFrequency, c.frequency);
    EXPECT_FLOAT_EQ(sound->m_3DEffect, c.effect);
    EXPECT_EQ(sound->m_StartPlaying, c.startPlaying);
    EXPECT_EQ(sound->m_PlayStyle, c.playStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SoundVersionTest,
    testing::Values(
        // Before version 36 the type word chose a preset; the stored values after it are dropped.
        VersionCase{"Old2D", 35, {7, 0, 300.0f}, 0, 7, 300.0f, 200.0f, 1.0f, 0.0f, 1.0f, 0.2f, 0, SOUND_PLAY_ONCE},
        VersionCase{"Old3D", 35, {7, 1, 300.0f}, 1, 7, 4000.0f, 200.0f, 1.0f, 0.0f, 1.0f, 0.2f, 0, SOUND_PLAY_ONCE},
        VersionCase{"OldAmbient", 35, {7, 2, 300.0f}, 1, 7, 300.0f, 200.0f, 1.0f, 0.0f, 1.0f, 0.2f, 1,
                    SOUND_PLAY_LOOP},
        VersionCase{"Volumes", 36, {}, 1, 7, 800.0f, 150.0f, 0.5f, -0.25f, 1.5f, 0.2f, 1, SOUND_PLAY_LOOP_TIMES},
        VersionCase{"Effect", 41, {}, 1, 7, 800.0f, 150.0f, 0.5f, -0.25f, 1.5f, 0.7f, 1, SOUND_PLAY_LOOP_TIMES},
        VersionCase{"Name", 58, {7, 0}, 0, 7, 800.0f, 150.0f, 0.5f, -0.25f, 1.5f, 0.7f, 1, SOUND_PLAY_LOOP_TIMES},
        VersionCase{"Latest", 70, {}, 1, 7, 800.0f, 150.0f, 0.5f, -0.25f, 1.5f, 0.7f, 1, SOUND_PLAY_LOOP_TIMES},
        // "Init Load" keeps the minimum inside the range.
        VersionCase{"MinAboveRange", 70, {7, 1, 100.0f, 150.0f}, 1, 7, 100.0f, 99.0f, 0.5f, -0.25f, 1.5f, 0.7f, 1,
                    SOUND_PLAY_LOOP_TIMES},
        // An id the library lacks plays the library's first sound.
        VersionCase{"MissingSound", 70, {42}, 1, 1, 800.0f, 150.0f, 0.5f, -0.25f, 1.5f, 0.7f, 1,
                    SOUND_PLAY_LOOP_TIMES}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.label); });

TEST_F(SoundActorTest, ShortRecordFailsTheLoad) {
    const std::string path = HandMadeFile(70, CLASS_SOUND, [](CQVActorArchive& archive) {
        PutWord(archive, 1);
        PutText(archive, "");
        PutWord(archive, 1);  // and nothing after the type
    });
    EXPECT_EQ(Import(path), nullptr);
}

TEST_F(SoundActorTest, SavedFieldsComeBack) {
    AddSound(7, "Seven", 0.2f);
    CQVSound* sound = MakeSound();
    ASSERT_NE(sound, nullptr);
    CQVLibraryItem* seven = g_Library.At(7);
    ASSERT_EQ(Send(sound, MSG_SET_SOUND, seven), 1);
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{0});
    Send(sound, MSG_SET_SOUND_RADIUS, 900.0f);
    Send(sound, MSG_SET_SOUND_MIN_RADIUS, 50.0f);
    Send(sound, MSG_SET_VOLUME, 0.75f);
    Send(sound, MSG_SET_PAN, 0.5f);
    Send(sound, MSG_SET_FREQUENCY, 0.8f);
    Send(sound, MSG_SET_VOLUME_V, 0.1f);
    Send(sound, MSG_SET_PAN_V, 0.2f);
    Send(sound, MSG_SET_FREQUENCY_V, 0.3f);
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_SET_LOOP_COUNT, uint32_t{3});
    Send(sound, MSG_SET_3DPOS_EFFECT, 0.9f);
    sound->m_StartPlaying = 1;

    const std::string path = (m_Dir / "saved.qva").string();
    {
        ActorFileWriter writer;
        ASSERT_TRUE(writer.Open(path.c_str(), 1, sound->m_Id, 1));
        ASSERT_EQ(sound->Serialize(&writer.archive, 0), 1);
        ASSERT_TRUE(writer.Commit());
    }
    auto* loaded = static_cast<CQVSound*>(Import(path));
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded, sound);
    EXPECT_EQ(loaded->m_SoundId, 7u);
    EXPECT_EQ(loaded->m_SoundType, 0u);
    EXPECT_FLOAT_EQ(loaded->m_Range, 900.0f);
    EXPECT_FLOAT_EQ(loaded->m_MinRadius, 50.0f);
    EXPECT_FLOAT_EQ(loaded->m_Volume, 0.75f);
    EXPECT_FLOAT_EQ(loaded->m_Pan, 0.5f);
    EXPECT_FLOAT_EQ(loaded->m_Frequency, 0.8f);
    EXPECT_FLOAT_EQ(loaded->m_VolumeVariation, 0.1f);
    EXPECT_FLOAT_EQ(loaded->m_PanVariation, 0.2f);
    EXPECT_FLOAT_EQ(loaded->m_FrequencyVariation, 0.3f);
    EXPECT_EQ(loaded->m_PlayStyle, SOUND_PLAY_LOOP);
    EXPECT_EQ(loaded->m_LoopCount, 3u);
    EXPECT_FLOAT_EQ(loaded->m_3DEffect, 0.9f);
    EXPECT_EQ(loaded->m_StartPlaying, 1u);
}

// Each start draws the frequency, then the volume, then one number nobody
// uses, from the game's generator.
TEST_F(SoundActorTest, StartDrawsFrequencyThenVolumeThenOneMore) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_FREQUENCY, 2.0f);
    Send(sound, MSG_SET_VOLUME, 0.8f);
    Send(sound, MSG_SET_FREQUENCY_V, 0.25f);
    Send(sound, MSG_SET_VOLUME_V, 0.5f);
    Random_Seed(77);
    const int first = Random_Next() % 10000, second = Random_Next() % 10000;
    Random_Next();
    const int fourth = Random_Next();
    Random_Seed(77);
    Send(sound, MSG_PLAY_SOUND);
    EXPECT_EQ(Random_Next(), fourth);
    const float frequency = 2.0f * (1.0f - (static_cast<float>(first) * 0.0002f - 1.0f) * 0.25f);
    const float volume = 0.8f * (1.0f - static_cast<float>(second) * 0.0001f * 0.5f);
    EXPECT_FLOAT_EQ(sound->m_CurrentFrequency, frequency);
    EXPECT_FLOAT_EQ(sound->m_CurrentVolume, volume);
    // What reached the device: the variation, at the file's rate.
    EXPECT_NEAR(Voice(sound->m_Item)->GetFrequency(), kActorMixRate * frequency, 1.0);
    EXPECT_EQ(Hundredths(sound->m_Item), Sound_VolumeToHundredthsDb(volume));
}

TEST_F(SoundActorTest, VariationStaysWithinItsBoundsAndSetsTheLongestPlay) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_FREQUENCY_V, 0.25f);
    Send(sound, MSG_SET_VOLUME_V, 0.4f);
    Send(sound, MSG_SET_VOLUME, 0.5f);
    float lowest = 2.0f, highest = 0.0f;
    for (int i = 0; i < 200; ++i) {
        Send(sound, MSG_STOP_SOUND);
        Send(sound, MSG_PLAY_SOUND);
        lowest = std::min(lowest, sound->m_CurrentFrequency);
        highest = std::max(highest, sound->m_CurrentFrequency);
        ASSERT_GE(sound->m_CurrentVolume, 0.5f * 0.6f - 1e-6f);
        ASSERT_LE(sound->m_CurrentVolume, 0.5f);
    }
    EXPECT_GE(lowest, 0.75f - 1e-6f);
    EXPECT_LE(highest, 1.25f);
    EXPECT_LT(lowest, 0.8f);
    EXPECT_GT(highest, 1.2f);
    // The longest one play can take: 0.2 s at three quarters of the rate.
    float time = 0.1f;
    sound->HandleMessage(MSG_CALC_ACTION_TIME_CB, Args_Of(&time));
    EXPECT_NEAR(time, 0.2f / 0.75f, 1e-5f);
    // A longer time asked for stays.
    time = 5.0f;
    sound->HandleMessage(MSG_CALC_ACTION_TIME_CB, Args_Of(&time));
    EXPECT_FLOAT_EQ(time, 5.0f);
}

struct DivisorCase {
    float frequency, variation;
};

class SoundActionTimeTest : public SoundActorTest, public testing::WithParamInterface<DivisorCase> {};

// A rate that can reach zero or below gives no longest play: the time asked for stays.
TEST_P(SoundActionTimeTest, NoPositiveRateChangesNothing) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_FREQUENCY, GetParam().frequency);
    Send(sound, MSG_SET_FREQUENCY_V, GetParam().variation);
    float time = 0.05f;
    sound->HandleMessage(MSG_CALC_ACTION_TIME_CB, Args_Of(&time));
    EXPECT_FLOAT_EQ(time, 0.05f);
}

INSTANTIATE_TEST_SUITE_P(Divisors, SoundActionTimeTest,
                         testing::Values(DivisorCase{1.0f, 1.0f}, DivisorCase{1.0f, 1.5f}, DivisorCase{0.0f, 0.0f},
                                         DivisorCase{-1.0f, 0.0f}));

// What each volume message sends: its own factors times the current volume,
// through the item's group and volume.
TEST_F(SoundActorTest, VolumeMessagesCombineTheirFactors) {
    AddSound(7, "Seven", 0.5f, 441.0f, 0.8f)->group = 3;
    engine->SetSoundGroupVolume(3, 0.5f);
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND, g_Library.At(7));
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_SET_VOLUME, 0.9f);
    Send(sound, MSG_PLAY_SOUND);
    const auto expect = [&](float value) { return Sound_VolumeToHundredthsDb(0.5f * 0.8f * value); };
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.9f));
    Send(sound, MSG_SOUND, 0.5f);  // the visibility fade
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.9f * 0.5f));
    Send(sound, MSG_ACTION_START_VALUE, 0.4f);
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.4f * 0.5f * 0.9f));
    Send(sound, MSG_SOUND, 1.0f);
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.4f * 0.9f));
    // A refresh of the playing sound's parameters keeps the factors set.
    Send(sound, MSG_SOUND_UPDATE_PLAYING_SOUND_PARAMS);
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.4f * 0.9f));
    // The value messages speak to a looping sound only.
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_ONCE});
    Send(sound, MSG_KILL_VALUE, 0.1f);
    EXPECT_FLOAT_EQ(sound->m_ActionValue, 0.4f);
    EXPECT_EQ(Hundredths(sound->m_Item), expect(0.4f * 0.9f));

    // And the mix carries it: half the volume is 2500 hundredths down.
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_ACTION_START_VALUE, 1.0f / 0.9f);
    engine->SetSoundGroupVolume(3, 1.0f);
    sound->m_Item->volume = 1.0f;
    Send(sound, MSG_SOUND, 1.0f);
    Render(4410);
    const double full = Render(4410).Rms(0, 4410);
    Send(sound, MSG_SOUND, 0.5f);
    Render(4410);
    EXPECT_NEAR(Render(4410).Rms(0, 4410) / full, std::pow(10.0, -2500.0 / 2000.0), 0.01);
}

struct StyleCase {
    const char* label;
    uint32_t type, style;
    bool playingAfterEnd;  // the actor's flag once the 0.2 s sound has had time to end
    bool heardAfterEnd;
};

class SoundStyleTest : public SoundActorTest, public testing::WithParamInterface<StyleCase> {};

TEST_P(SoundStyleTest, PlaysOnceOrLooped) {
    const StyleCase& c = GetParam();
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, c.type);
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, c.style);
    Send(sound, MSG_SET_SOUND, g_Library.At(1));
    Send(sound, MSG_PLAY_SOUND);
    Sound_CommitListener();
    EXPECT_EQ(sound->m_Playing, 1u);
    Render(kActorMixRate / 2);  // 0.5 s
    sound->Update();
    EXPECT_EQ(sound->m_Playing, c.playingAfterEnd ? 1u : 0u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), c.heardAfterEnd ? 1 : 0);
    // "Play Sound" starts again only once the actor knows the sound ended.
    Send(sound, MSG_PLAY_SOUND);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), c.heardAfterEnd || !c.playingAfterEnd ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, SoundStyleTest,
    testing::Values(StyleCase{"Once2D", SOUND_TYPE_2D, SOUND_PLAY_ONCE, true, false},
                    StyleCase{"Once3D", SOUND_TYPE_3D, SOUND_PLAY_ONCE, false, false},
                    StyleCase{"LoopTimes3D", SOUND_TYPE_3D, SOUND_PLAY_LOOP_TIMES, false, false},
                    StyleCase{"Loop2D", SOUND_TYPE_2D, SOUND_PLAY_LOOP, true, true},
                    StyleCase{"Loop3D", SOUND_TYPE_3D, SOUND_PLAY_LOOP, true, true}),
    [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.label); });

// A 3D sound stands where its actor stands, with its radii as distances.
TEST_F(SoundActorTest, ThreeDSoundIsHeardFromItsPlace) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_SET_SOUND_RADIUS, 1000.0f);
    Send(sound, MSG_SET_SOUND_MIN_RADIUS, 100.0f);
    Send(sound, MSG_SET_POSITION, Vector3(300.0f, 0.0f, 0.0f));
    Send(sound, MSG_PLAY_SOUND);
    sound->Update();
    Sound_CommitListener();
    const auto [left, right] = Render(4410).Sides(2205, 2205);
    EXPECT_GT(right, 2.0 * left);
    // Beyond its range it falls silent.
    Send(sound, MSG_SET_POSITION, Vector3(-1200.0f, 0.0f, 0.0f));
    sound->Update();
    Sound_CommitListener();
    Render(4410);
    EXPECT_LT(Render(4410).Rms(0, 4410), 1e-4);
}

// The rate follows the actor's clock: its speed times its simulation multiplier.
TEST_F(SoundActorTest, RateFollowsTheClock) {
    ActorClock clock;
    clock.flags = CLOCK_MANUAL;
    clock.effectiveScale = 0.5f;
    clock.unused = std::bit_cast<uint32_t>(1.5f);
    CQVSound* sound = MakeSound();
    ActorClock* own = sound->m_Clock;
    sound->m_Clock = &clock;
    Send(sound, MSG_SET_FREQUENCY, 2.0f);
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_PLAY_SOUND);
    EXPECT_NEAR(Voice(sound->m_Item)->GetFrequency(), kActorMixRate * 1.5, 1.0);
    // Update sends a changed rate.
    clock.effectiveScale = 1.0f;
    sound->Update();
    EXPECT_NEAR(Voice(sound->m_Item)->GetFrequency(), kActorMixRate * 3.0, 1.0);
    EXPECT_FLOAT_EQ(sound->m_LastFrequency, 3.0f);
    sound->m_Clock = own;
}

// At a clock below half speed "Action Start" fades the playing sound out
// over 0.1 s of frame time and then starts it again; at normal speed it
// starts again at once.
TEST_F(SoundActorTest, ActionStartAtSlowTimeFadesOutThenRestarts) {
    ActorClock clock;
    clock.flags = CLOCK_MANUAL;
    clock.effectiveScale = 0.4f;
    CQVSound* sound = MakeSound();
    ActorClock* own = sound->m_Clock;
    sound->m_Clock = &clock;
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_SET_FREQUENCY_V, 0.5f);
    Send(sound, MSG_PLAY_SOUND);
    const float startFrequency = sound->m_CurrentFrequency;
    Send(sound, MSG_ACTION_START);
    EXPECT_EQ(sound->m_RestartPending, 1u);
    EXPECT_FLOAT_EQ(sound->m_CurrentFrequency, startFrequency);  // not started again yet
    g_FrameTime = 0.025f;
    const float fades[] = {0.75f, 0.5f, 0.25f, 0.0f};
    for (float fade : fades) {
        sound->Update();
        EXPECT_FLOAT_EQ(sound->m_RestartFade, fade);
        EXPECT_EQ(Hundredths(sound->m_Item), Sound_VolumeToHundredthsDb(sound->m_CurrentVolume * fade));
    }
    sound->Update();  // below 0: started again, at full volume
    EXPECT_EQ(sound->m_RestartPending, 0u);
    EXPECT_FLOAT_EQ(sound->m_RestartFade, 1.0f);
    EXPECT_NE(sound->m_CurrentFrequency, startFrequency);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    EXPECT_EQ(Hundredths(sound->m_Item), Sound_VolumeToHundredthsDb(sound->m_CurrentVolume));

    clock.effectiveScale = 1.0f;
    const float before = sound->m_CurrentFrequency;
    Send(sound, MSG_ACTION_START);
    EXPECT_EQ(sound->m_RestartPending, 0u);
    EXPECT_NE(sound->m_CurrentFrequency, before);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    sound->m_Clock = own;
}

// The fade's value after each frame of 1/30 s.
std::vector<float> FadeOver(CQVSound* sound, int frames) {
    std::vector<float> fades;
    for (int i = 0; i < frames; ++i) {
        SoundActorTest::Frame(1.0f / 30.0f);
        fades.push_back(sound->m_Fade);
    }
    return fades;
}

TEST_F(SoundActorTest, DrawStartAndStopFadeOverOneSecond) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    // Not to be started by visibility: nothing happens.
    Send(sound, MSG_ON_DRAW_START);
    EXPECT_EQ(sound->m_Playing, 0u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);

    sound->m_StartPlaying = 1;
    Send(sound, MSG_ON_DRAW_START);
    EXPECT_EQ(sound->m_Playing, 1u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    std::vector<float> fades = FadeOver(sound, 36);
    EXPECT_TRUE(std::is_sorted(fades.begin(), fades.end()));
    EXPECT_FLOAT_EQ(fades.front(), 0.0f);
    EXPECT_GT(fades[14], 0.3f);
    EXPECT_LT(fades[14], 0.7f);
    EXPECT_FLOAT_EQ(fades.back(), 1.0f);
    EXPECT_EQ(Hundredths(sound->m_Item), Sound_VolumeToHundredthsDb(sound->m_CurrentVolume));

    Send(sound, MSG_ON_DRAW_STOP);
    fades = FadeOver(sound, 28);
    EXPECT_TRUE(std::is_sorted(fades.rbegin(), fades.rend()));
    EXPECT_LT(fades.back(), 0.2f);
    EXPECT_EQ(sound->m_Playing, 1u);  // until the stop after one second
    FadeOver(sound, 8);
    EXPECT_FLOAT_EQ(sound->m_Fade, 0.0f);
    EXPECT_EQ(sound->m_Playing, 0u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);
    // A stopped sound is not faded out again.
    Send(sound, MSG_ON_DRAW_STOP);
    EXPECT_EQ(sound->FindTimedMessage(MSG_COMMAND_LERP), nullptr);
}

// Coming back into view while fading out: the fade-out and its stop are
// dropped, and only the fade-in runs.
TEST_F(SoundActorTest, DrawStartDuringFadeOutTakesOver) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    sound->m_StartPlaying = 1;
    Send(sound, MSG_ON_DRAW_START);
    FadeOver(sound, 36);
    Send(sound, MSG_ON_DRAW_STOP);
    FadeOver(sound, 10);
    Send(sound, MSG_ON_DRAW_START);
    size_t running = 0;
    for (const TimedMessage* record : sound->m_TimedMessages) {
        if (!(record->state & TIMED_STATE_CANCELLED)) running += record->messageId == MSG_COMMAND_LERP;
        EXPECT_TRUE(record->messageId != MSG_STOP_SOUND || (record->state & TIMED_STATE_CANCELLED));
    }
    EXPECT_EQ(running, 1u);
    const std::vector<float> fades = FadeOver(sound, 45);
    EXPECT_TRUE(std::is_sorted(fades.begin(), fades.end()));
    EXPECT_FLOAT_EQ(fades.back(), 1.0f);
    EXPECT_EQ(sound->m_Playing, 1u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
}

// A 3D sound's room comes into view: while the room is drawn its update
// runs every frame, and the sound is still heard rising from silence over
// the second of the fade, in its gain and in the mix. A fresh play after
// the room faded it out is heard at once, and a value message outlives the
// frames that follow it.
TEST_F(SoundActorTest, ThreeDSoundFadesInWhileItsRoomIsDrawn) {
    AddSound(9, "Hum", 2.0f);
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND, g_Library.At(9));
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    sound->m_StartPlaying = 1;
    Sound_CommitListener();
    const int32_t full = Sound_VolumeToHundredthsDb(sound->m_Volume);

    // One frame as the game runs it: timed messages, then the draw pass's update.
    const auto drawnFrame = [&] {
        Frame(1.0f / 30.0f);
        sound->Update();
        return Hundredths(sound->m_Item);
    };
    Send(sound, MSG_ON_DRAW_START);
    sound->Update();
    EXPECT_LE(Hundredths(sound->m_Item), Sound_VolumeToHundredthsDb(0.01f)) << "starts from silence";
    std::vector<int32_t> gains;
    for (int i = 0; i < 36; ++i) gains.push_back(drawnFrame());
    EXPECT_TRUE(std::is_sorted(gains.begin(), gains.end()));
    EXPECT_LT(gains[2], Sound_VolumeToHundredthsDb(0.2f));
    EXPECT_GT(gains[14], Sound_VolumeToHundredthsDb(0.3f));
    EXPECT_LT(gains[14], Sound_VolumeToHundredthsDb(0.7f));
    EXPECT_EQ(gains.back(), full);

    // The mix: a tenth of a second into a new fade-in is far quieter than the end.
    Send(sound, MSG_ON_DRAW_START);
    for (int i = 0; i < 3; ++i) drawnFrame();
    Render(441);
    const double early = Render(441).Rms(0, 441);
    for (int i = 0; i < 36; ++i) drawnFrame();
    Render(441);
    const double late = Render(441).Rms(0, 441);
    EXPECT_GT(late, 0.05);
    EXPECT_LT(early, 0.3 * late);

    // Faded out with its room, then played by a script: heard at its volume.
    Send(sound, MSG_ON_DRAW_STOP);
    for (int i = 0; i < 40; ++i) Frame(1.0f / 30.0f);
    EXPECT_EQ(sound->m_Playing, 0u);
    Send(sound, MSG_PLAY_SOUND);
    EXPECT_EQ(drawnFrame(), full);
    // A value message on a looping sound holds over the frames after it.
    Send(sound, MSG_ACTION_START_VALUE, 0.5f);
    drawnFrame();
    EXPECT_EQ(drawnFrame(), Sound_VolumeToHundredthsDb(0.5f * sound->m_CurrentVolume));
}

// "Play On Start Game" set from the sheet plays the sound once at once,
// whatever its style.
TEST_F(SoundActorTest, SetStartPlayingPlaysOnce) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_SET_START_PLAYING, uint32_t{1});
    EXPECT_EQ(Ask<uint32_t>(sound, MSG_GET_START_PLAYING), 1u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    Render(kActorMixRate / 2);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);
}

struct RowCase {
    const char* label;
    uint32_t type;
    uint32_t getter;
    int result;  // 0: the row does not apply to this type
};

class SoundRowTest : public SoundActorTest, public testing::WithParamInterface<RowCase> {};

TEST_P(SoundRowTest, GetterAnswersAndSaysWhetherItsRowApplies) {
    const RowCase& c = GetParam();
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, c.type);
    sound->m_Range = 321.0f;
    sound->m_MinRadius = 123.0f;
    sound->m_Pan = -0.5f;
    int result = -1;
    const float value = Ask<float>(sound, c.getter, &result);
    EXPECT_EQ(result, c.result);
    const float expected = c.getter == MSG_GET_SOUND_RADIUS ? 321.0f : c.getter == MSG_GET_PAN ? -0.5f : 123.0f;
    EXPECT_FLOAT_EQ(value, expected);  // written either way
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SoundRowTest,
    testing::Values(RowCase{"Range2D", SOUND_TYPE_2D, MSG_GET_SOUND_RADIUS, 0},
                    RowCase{"Range3D", SOUND_TYPE_3D, MSG_GET_SOUND_RADIUS, 1},
                    RowCase{"Min2D", SOUND_TYPE_2D, MSG_GET_SOUND_MIN_RADIUS, 0},
                    RowCase{"Min3D", SOUND_TYPE_3D, MSG_GET_SOUND_MIN_RADIUS, 1},
                    RowCase{"Pan2D", SOUND_TYPE_2D, MSG_GET_PAN, 1}, RowCase{"Pan3D", SOUND_TYPE_3D, MSG_GET_PAN, 0}),
    [](const testing::TestParamInfo<RowCase>& info) { return std::string(info.param.label); });

struct LimitCase {
    const char* label;
    uint32_t setter, getter;
    float value, stored;
};

class SoundLimitTest : public SoundActorTest, public testing::WithParamInterface<LimitCase> {};

TEST_P(SoundLimitTest, SetterKeepsItsLimits) {
    const LimitCase& c = GetParam();
    CQVSound* sound = MakeSound();  // range 600
    Send(sound, c.setter, c.value);
    EXPECT_FLOAT_EQ(Ask<float>(sound, c.getter), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, SoundLimitTest,
    testing::Values(LimitCase{"MinAboveRange", MSG_SET_SOUND_MIN_RADIUS, MSG_GET_SOUND_MIN_RADIUS, 700.0f, 600.0f},
                    LimitCase{"MinInside", MSG_SET_SOUND_MIN_RADIUS, MSG_GET_SOUND_MIN_RADIUS, 50.0f, 50.0f},
                    LimitCase{"NegativeRange", MSG_SET_SOUND_RADIUS, MSG_GET_SOUND_RADIUS, -5.0f, 0.0f},
                    LimitCase{"VolumeAbove", MSG_SET_VOLUME, MSG_GET_VOLUME, 1.5f, 1.0f},
                    LimitCase{"VolumeBelow", MSG_SET_VOLUME, MSG_GET_VOLUME, -0.5f, 0.0f},
                    LimitCase{"VolumeNaN", MSG_SET_VOLUME, MSG_GET_VOLUME, NAN, 0.0f},
                    LimitCase{"PanBelow", MSG_SET_PAN, MSG_GET_PAN, -3.0f, -1.0f},
                    LimitCase{"FrequencyUnlimited", MSG_SET_FREQUENCY, MSG_GET_FREQUENCY, 7.5f, 7.5f}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.label); });

TEST_F(SoundActorTest, ItemsByNameAndByPointer) {
    AddSound(7, "Seven", 0.2f);
    CQVSound* sound = MakeSound();
    ASSERT_NE(sound->m_Item, nullptr);
    EXPECT_EQ(sound->m_Item->sourceId, 1u);
    // "Get Sound" answers the item into the caller's block.
    CQVSoundItem* answered = nullptr;
    sound->HandleMessage(MSG_GET_SOUND, Args_Of(&answered));
    EXPECT_EQ(answered, sound->m_Item);

    EXPECT_EQ(sound->HandleMessage(MSG_SET_RESOURCE, Args_Of("seven")), 1);
    EXPECT_EQ(sound->m_SoundId, 7u);
    EXPECT_EQ(sound->m_Item->sourceId, 7u);
    EXPECT_EQ(sound->HandleMessage(MSG_SET_RESOURCE, Args_Of("Nothing")), 0);
    EXPECT_EQ(sound->m_SoundId, 7u);
    EXPECT_EQ(Send(sound, MSG_SET_SOUND, static_cast<CQVLibraryItem*>(nullptr)), 0);
    EXPECT_EQ(sound->m_Item, nullptr);

    sound->HandleMessage(MSG_PLAY_SOUND_BY_NAME, Args_Of("Default"));
    ASSERT_NE(sound->m_Item, nullptr);
    EXPECT_EQ(sound->m_Item->sourceId, 1u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    // A name no sound bears leaves it without one; plays then do nothing.
    sound->HandleMessage(MSG_PLAY_SOUND_WITH_PRIORITY, Args_Of("Nothing"));
    EXPECT_EQ(sound->m_Item, nullptr);
    Send(sound, MSG_PLAY_SOUND);
    Send(sound, MSG_SOUND_RESUME_PLAYING_SOUND);
    sound->Update();
}

TEST_F(SoundActorTest, CopyPlaysASoundOfItsOwn) {
    AddSound(7, "Seven", 0.2f);
    CQVSound* source = MakeSound("source");
    Send(source, MSG_SET_SOUND, g_Library.At(7));
    Send(source, MSG_SET_VOLUME, 0.3f);
    Send(source, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    auto* copy = static_cast<CQVSound*>(
        g_ActorSystem->CreateActor(CLASS_SOUND, "copy", source, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_SoundId, 7u);
    EXPECT_FLOAT_EQ(copy->m_Volume, 0.3f);
    EXPECT_EQ(copy->m_SoundType, SOUND_TYPE_2D);
    ASSERT_NE(copy->m_Item, nullptr);
    EXPECT_NE(copy->m_Item, source->m_Item);
    EXPECT_EQ(copy->m_Item->sourceId, 7u);
    // A new Sound on a library whose first item is no sound cannot be made.
    g_Library.SetItem(1, nullptr);
    EXPECT_EQ(MakeSound("none"), nullptr);
}

TEST_F(SoundActorTest, PauseKeepsPlayingSoResumeGoesOn) {
    CQVSound* sound = MakeSound();
    Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_2D});
    Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
    Send(sound, MSG_PLAY_SOUND);
    Send(sound, MSG_SOUND_PAUSE_PLAYING_SOUND);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);
    EXPECT_EQ(sound->m_Playing, 1u);
    Send(sound, MSG_SOUND_RESUME_PLAYING_SOUND);
    Render(kActorMixRate / 2);  // longer than the sound: looped again
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    Send(sound, MSG_PAUSE_SOUND);
    EXPECT_EQ(sound->m_Playing, 0u);
    Send(sound, MSG_SOUND_RESUME_PLAYING_SOUND);  // nothing to resume
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);
    Send(sound, MSG_PLAY_SOUND);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 1);
    Send(sound, MSG_ACTION_STOP_POST);  // a looping sound stops with its action
    EXPECT_EQ(sound->m_Playing, 0u);
    EXPECT_EQ(engine->IsSoundPlaying(sound->m_Item), 0);
}

TEST_F(SoundActorTest, ResourcesLoadAndUnloadOnce) {
    CQVSound* sound = MakeSound();
    EXPECT_EQ(sound->m_Item->loaded, 0u);
    Send(sound, MSG_LOAD_RESOURCES);
    EXPECT_EQ(sound->m_Item->loaded, 1u);
    EXPECT_EQ(sound->m_Loaded, 1u);
    Send(sound, MSG_UNLOAD_RESOURCES);
    EXPECT_EQ(sound->m_Item->loaded, 0u);
    EXPECT_EQ(sound->m_Loaded, 0u);
}

TEST_F(SoundActorTest, SheetRowsAndTheirTypes) {
    const ClassRecord& record = g_ClassRecords[CLASS_SOUND];
    EXPECT_EQ(record.name, "Sound");
    ASSERT_EQ(record.properties.size(), 21u);
    EXPECT_EQ(record.properties[1].kind, static_cast<uint32_t>(PROP_SOUND));
    EXPECT_EQ(record.properties[11].label, "Pan:");
    EXPECT_EQ(record.properties[11].ranged, 1u);
    EXPECT_FLOAT_EQ(record.properties[11].min, -1.0f);
    EXPECT_FLOAT_EQ(record.properties[11].max, 1.0f);
    EXPECT_FLOAT_EQ(record.properties[12].scale, 100.0f);
    EXPECT_EQ(record.properties[20].setMessage, static_cast<uint32_t>(MSG_STOP_SOUND));
    EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "");
    EXPECT_EQ(MessageRows_CheckTypes(g_ClassRecords[CLASS_AMBIENT_SOUND].messageRows,
                                     g_ClassRecords[CLASS_AMBIENT_SOUND].messageRowCount),
              "");
}

}  // namespace
