#pragma once
// The sound layer on a loopback device: each suite opens one, each test
// writes the WAV files it needs into a folder of its own and hears the mix.

#include "services/sound/Sound.h"

#include "tests/platform/sound/MixMeasure.h"
#include "tools/content/WavWriter.h"
#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

constexpr uint32_t kMixRate = 44100;

// The next frames of the loopback device's mix.
inline StereoMix RenderStereo(uint32_t frames) {
    StereoMix mix;
    mix.samples.resize(static_cast<size_t>(frames) * 2);
    EXPECT_EQ(Sound_RenderMix(mix.samples.data(), frames), 1);
    return mix;
}

class SoundTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Sound_CloseDevice();
        ASSERT_EQ(Sound_CreateLoopbackDevice(2, kMixRate, 16), 1) << Sound_GetLastError();
    }
    static void TearDownTestSuite() { Sound_CloseDevice(); }

    void SetUp() override {
        ASSERT_NE(Sound_GetDevice(), nullptr);
        Sound_Reset();
        Sound_SetListenerPosition(Vector3(0.0f, 0.0f, 0.0f));
        Sound_SetListenerVelocity(Vector3(0.0f, 0.0f, 0.0f));
        Sound_SetListenerFront(Vector3(0.0f, 0.0f, 1.0f));
        Sound_SetListenerTop(Vector3(0.0f, 1.0f, 0.0f));
        Sound_CommitListener();
        m_Dir = TestFolder_Path("qv_sound_");
        std::filesystem::create_directories(m_Dir);
    }
    void TearDown() override {
        for (CQVSoundBuffer* sound : m_Sounds) Sound_Release(sound);
        Sound_Reset();
        std::filesystem::remove_all(m_Dir);
    }

    // A WAV file in the test's folder; its path.
    std::string Wav(const std::string& name, const WavFormat& format, const std::vector<uint8_t>& samples) {
        const std::string path = (m_Dir / name).string();
        EXPECT_TRUE(Wav_Write(path, format, samples));
        return path;
    }
    // Any bytes as a file in the test's folder.
    std::string RawFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (m_Dir / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return path;
    }
    // Released when the test ends.
    template <typename T>
    T* Keep(T* sound) {
        if (sound != nullptr) m_Sounds.push_back(sound);
        return sound;
    }
    static StereoMix Render(uint32_t frames) { return RenderStereo(frames); }

    std::filesystem::path m_Dir;
    std::vector<CQVSoundBuffer*> m_Sounds;
};
