// The 32 sound-group volumes and the listener effect, kept in the sound
// service's state and set through the engine.

#include "services/engine/Engine.h"
#include "services/sound/SoundState.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class SoundGroupTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CQVEngine::Create(), 1);
        Sound_Reset();
    }
    void TearDown() override { Sound_Reset(); }
    CQVEngine* engine() { return CQVEngine::GetInstance(); }
};

TEST_F(SoundGroupTest, TheEngineHoldsTheServicesState) {
    EXPECT_EQ(&engine()->sound, &g_SoundState);
    for (float volume : g_SoundState.groupVolumes) EXPECT_EQ(volume, 1.0f);
}

TEST_F(SoundGroupTest, VolumeIsHeldToZeroToOneAndGroupsBeyond31AreIgnored) {
    const struct {
        uint32_t group;
        float volume;
        float stored;
    } cases[] = {{3, 2.0f, 1.0f},  {3, 0.25f, 0.25f}, {31, -1.0f, 0.0f}, {0, 0.0f, 0.0f},
                 {5, std::numeric_limits<float>::quiet_NaN(), 0.0f},     {7, 1.0f, 1.0f}};
    for (const auto& c : cases) {
        engine()->SetSoundGroupVolume(c.group, c.volume);
        EXPECT_EQ(g_SoundState.groupVolumes[c.group], c.stored) << c.group << " " << c.volume;
    }
    float before[kSoundGroupCount];
    std::copy(std::begin(g_SoundState.groupVolumes), std::end(g_SoundState.groupVolumes), before);
    engine()->SetSoundGroupVolume(40, 0.5f);
    engine()->SetSoundGroupVolume(32, 0.5f);
    EXPECT_TRUE(std::equal(std::begin(before), std::end(before), std::begin(g_SoundState.groupVolumes)));
    // A fresh start has every group at full volume again.
    Sound_Reset();
    EXPECT_EQ(g_SoundState.groupVolumes[3], 1.0f);
}

TEST_F(SoundGroupTest, ListenerEffectIsTakenAndStartsAt25) {
    EXPECT_EQ(g_SoundState.listenerEffect, 25u);
    engine()->SetListenerEffect(7);
    EXPECT_EQ(g_SoundState.listenerEffect, 7u);
}

}  // namespace
