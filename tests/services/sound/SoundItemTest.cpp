// Sound items as the actors play them through the engine: loaded on first
// use, at group volume x item volume x value, private copies on their
// source's samples, and nothing at all while sound is switched off.

#include "tests/services/sound/SoundTestSupport.h"

#include "platform/sound/SoundDevice.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tests/support/ResetGlobals.h"

namespace {

const WavFormat kMono{1, kMixRate, 16};

class SoundItemTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(CQVEngine::Create(), 1);
        ResetGlobals();
        engine()->soundEnabled = 1;
    }
    void TearDown() override {
        Library_Reset();
        SoundTest::TearDown();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }

    // A sound item of the library's table at id, over a tone of the given
    // length; its file name is empty, so its path is the full path.
    CQVSoundItem* TableItem(uint32_t id, uint32_t flags, float seconds = 0.5f, float volume = 1.0f,
                            uint32_t group = 0) {
        auto* item = new CQVSoundItem();
        item->name = "Sound" + std::to_string(id);
        item->path = Wav(item->name + ".wav", kMono, Wav_Sine(kMono, 441.0f, 0.5f, static_cast<uint32_t>(seconds * kMixRate)));
        item->flags = flags;
        item->volume = volume;
        item->group = group;
        EXPECT_TRUE(g_Library.SetItem(id, item));
        return item;
    }
    // A private copy for one actor, as the actors acquire their sounds.
    CQVSoundItem* Copy(uint32_t id, uint32_t soundFlags = 0) {
        return static_cast<CQVSoundItem*>(engine()->AcquireItem(id, LIBRARY_SOUND, 1, soundFlags));
    }
    static int32_t Volume(const CQVSoundItem* item) { return item->buffer->buffer->GetVolume(); }
};

struct VolumeCase {
    float group, item, value;
    int32_t hundredths;
};

class SoundItemVolumeTest : public SoundItemTest, public testing::WithParamInterface<VolumeCase> {};

TEST_P(SoundItemVolumeTest, IsGroupTimesItemTimesValue) {
    const VolumeCase& c = GetParam();
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE, 0.5f, c.item, 6);
    engine()->SetSoundGroupVolume(6, c.group);
    engine()->SetSoundVolume(item, c.value);
    ASSERT_EQ(item->loaded, 1u);
    EXPECT_EQ(Volume(item), c.hundredths);
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundItemVolumeTest,
                         testing::Values(VolumeCase{1.0f, 1.0f, 1.0f, 0}, VolumeCase{0.5f, 0.8f, 1.0f, -3000},
                                         VolumeCase{1.0f, 1.0f, 0.5f, -2500}, VolumeCase{1.0f, 0.5f, 1.5f, -1250},
                                         VolumeCase{0.5f, 1.0f, 3.0f, 0}, VolumeCase{0.0f, 1.0f, 1.0f, -5000}));

TEST_F(SoundItemTest, SetVolumeIsHeard) {
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE, 0.5f, 0.8f, 4);
    engine()->SetSoundGroupVolume(4, 0.5f);
    engine()->SetSoundVolume(item, 1.0f);
    engine()->PlaySound(item);
    const double heard = Render(8820).Rms(4410, 4410);
    engine()->SetSoundVolume(item, 1.0f / 0.4f);  // group x item x value = 1
    engine()->StopSound(item);
    engine()->PlaySound(item);
    Render(4410);
    EXPECT_NEAR(heard / Render(4410).Rms(0, 4410), 0.0316, 0.002);
}

// A group the library did not keep within 0 to 31 plays in group 0.
TEST_F(SoundItemTest, GroupOutsideTheTableUsesGroupZero) {
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE);
    item->group = 40;
    engine()->SetSoundGroupVolume(0, 0.5f);
    engine()->SetSoundVolume(item, 1.0f);
    EXPECT_EQ(Volume(item), -2500);
}

TEST_F(SoundItemTest, PlayLoadsAndPlaysOnceOrLooped) {
    CQVSoundItem* once = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE, 0.1f);
    CQVSoundItem* looped = TableItem(3, CQVSoundItem::SOUND_WHOLE_FILE, 0.1f);
    EXPECT_EQ(once->loaded, 0u);
    engine()->PlaySound(once);
    engine()->PlaySoundLooped(looped);
    EXPECT_EQ(once->loaded, 1u);
    EXPECT_EQ(engine()->IsSoundPlaying(once), 1);
    Render(4410 * 3);
    EXPECT_EQ(engine()->IsSoundPlaying(once), 0);
    EXPECT_EQ(engine()->IsSoundPlaying(looped), 1);
    engine()->PauseSound(looped);
    EXPECT_EQ(engine()->IsSoundPlaying(looped), 0);
    EXPECT_NEAR(engine()->GetSoundLength(once), 0.1f, 1e-6f);
}

// Stopping, pausing or asking about a sound that never played loads nothing.
TEST_F(SoundItemTest, NeverPlayedItemIsNotLoadedByStopPauseOrQuery) {
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE);
    engine()->StopSound(item);
    engine()->PauseSound(item);
    EXPECT_EQ(engine()->IsSoundPlaying(item), 0);
    EXPECT_EQ(item->loaded, 0u);
    EXPECT_EQ(item->buffer, nullptr);
    // The length, frequency and places load it.
    EXPECT_NEAR(engine()->GetSoundLength(item), 0.5f, 1e-6f);
    EXPECT_EQ(item->loaded, 1u);
}

TEST_F(SoundItemTest, FrequencyAndPlacesReachTheBuffer) {
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE | CQVSoundItem::SOUND_3D);
    engine()->SetSoundFrequency(item, 2.0f);
    ASSERT_EQ(item->loaded, 1u);
    EXPECT_EQ(item->buffer->buffer->GetFrequency(), 2 * kMixRate);
    engine()->SetSoundFrequency(item, 1.0f);
    engine()->SetSoundPosition(item, Vector3(300.0f, 0.0f, 0.0f));
    engine()->SetSoundDistances(item, 100.0f, 1000.0f);
    engine()->PlaySoundLooped(item);
    Sound_CommitListener();
    const auto [left, right] = Render(4410).Sides(2205, 2205);
    EXPECT_GT(right, 2.0 * left);
    // Beyond its maximum distance of 10 m: silent.
    engine()->SetSoundPosition(item, Vector3(1200.0f, 0.0f, 0.0f));
    Sound_CommitListener();
    EXPECT_LT(Render(4410).Rms(2205, 2205), 1e-4);
}

TEST_F(SoundItemTest, PrivateCopyPlaysItsSourcesSamples) {
    CQVSoundItem* source = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE, 0.5f, 0.5f, 3);
    CQVSoundItem* copy = Copy(2, CQVSoundItem::SOUND_3D);
    ASSERT_NE(copy, nullptr);
    engine()->SetSoundPosition(copy, Vector3(-300.0f, 0.0f, 0.0f));
    ASSERT_EQ(copy->loaded, 1u);
    EXPECT_EQ(source->loaded, 1u);
    EXPECT_EQ(copy->buffer->duplicate, 1u);
    EXPECT_NE(copy->buffer->buffer3D, nullptr);
    engine()->SetSoundVolume(copy, 1.0f);
    EXPECT_EQ(Volume(copy), -2500);
    EXPECT_EQ(Volume(source), 0);
    engine()->PlaySoundLooped(copy);
    Sound_CommitListener();
    EXPECT_EQ(engine()->IsSoundPlaying(source), 0);
    const auto [left, right] = Render(4410).Sides(2205, 2205);
    EXPECT_GT(left, 2.0 * right);
    // Freed, the copy's sound stops.
    engine()->FreeSound(copy);
    EXPECT_LT(Render(4410).Rms(0, 4410), 1e-4);
}

// The table's items stay: one handed out by a lookup (shared), and one
// reached without a lookup, which the table holds all the same.
TEST_F(SoundItemTest, TableItemsAreNotFreed) {
    CQVSoundItem* reached = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE);
    TableItem(3, CQVSoundItem::SOUND_WHOLE_FILE);
    auto* shared = static_cast<CQVSoundItem*>(engine()->UseItem(3));
    ASSERT_EQ(shared->shared, 1u);
    engine()->PlaySound(reached);
    engine()->FreeSound(shared);
    engine()->FreeSound(reached);
    EXPECT_EQ(g_Library.At(2), reached);
    EXPECT_EQ(g_Library.At(3), shared);
    EXPECT_EQ(engine()->IsSoundPlaying(reached), 1);
}

TEST_F(SoundItemTest, StreamedItemPlaysThroughTheStreamingThread) {
    CQVSoundItem* item = TableItem(2, 0, 1.5f);
    engine()->PlaySound(item);
    ASSERT_NE(item->buffer, nullptr);
    EXPECT_EQ(item->buffer->kind, SOUND_KIND_STREAM);
    EXPECT_EQ(Sound_GetStreamCount(), 1u);
    EXPECT_NEAR(engine()->GetSoundLength(item), 1.5f, 1e-6f);
    engine()->StopSound(item);
    EXPECT_EQ(Sound_GetStreamCount(), 0u);
}

// With sound switched off every operation returns at once: nothing loads
// and queries give 0. Freeing a private copy still frees it (the leak check
// of the sanitizer build sees a copy that stays).
TEST_F(SoundItemTest, SwitchedOffDoesNothing) {
    CQVSoundItem* item = TableItem(2, CQVSoundItem::SOUND_WHOLE_FILE);
    CQVSoundItem* copy = Copy(2);
    engine()->soundEnabled = 0;
    engine()->PlaySound(item);
    engine()->PlaySoundLooped(item);
    engine()->SetSoundVolume(item, 0.5f);
    engine()->SetSoundFrequency(item, 2.0f);
    engine()->SetSoundPosition(item, Vector3(1.0f, 2.0f, 3.0f));
    engine()->SetSoundDistances(item, 1.0f, 2.0f);
    engine()->StopSound(item);
    engine()->PauseSound(item);
    EXPECT_EQ(engine()->IsSoundPlaying(item), 0);
    EXPECT_EQ(engine()->GetSoundLength(item), 0.0f);
    EXPECT_EQ(item->loaded, 0u);
    engine()->FreeSound(copy);
    // The group volumes take their values all the same.
    engine()->SetSoundGroupVolume(9, 0.5f);
    EXPECT_EQ(g_SoundState.groupVolumes[9], 0.5f);
    engine()->soundEnabled = 1;
}

TEST_F(SoundItemTest, NullItemDoesNothing) {
    engine()->PlaySound(nullptr);
    engine()->PlaySoundLooped(nullptr);
    engine()->StopSound(nullptr);
    engine()->PauseSound(nullptr);
    engine()->SetSoundVolume(nullptr, 0.5f);
    engine()->SetSoundFrequency(nullptr, 2.0f);
    engine()->SetSoundPosition(nullptr, Vector3(1.0f, 2.0f, 3.0f));
    engine()->SetSoundDistances(nullptr, 1.0f, 2.0f);
    engine()->FreeSound(nullptr);
    EXPECT_EQ(engine()->IsSoundPlaying(nullptr), 0);
    EXPECT_EQ(engine()->GetSoundLength(nullptr), 0.0f);
}

}  // namespace
