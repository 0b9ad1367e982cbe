#include "tools/content/WavWriter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    uint16_t value;
    std::memcpy(&value, bytes.data() + at, 2);
    return value;
}

TEST(WavWriter, WritesTheCanonicalHeaderAndTheSamples) {
    const uint8_t samples[6] = {1, 2, 3, 4, 5, 6};
    const std::vector<uint8_t> file = Wav_Encode(WavFormat{2, 22050, 16}, samples, 6);
    ASSERT_EQ(file.size(), 50u);
    EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
    EXPECT_EQ(Dword(file, 4), 42u);
    EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Dword(file, 16), 16u);
    EXPECT_EQ(Word(file, 20), 1u);       // PCM
    EXPECT_EQ(Word(file, 22), 2u);       // channels
    EXPECT_EQ(Dword(file, 24), 22050u);  // rate
    EXPECT_EQ(Dword(file, 28), 88200u);  // bytes per second
    EXPECT_EQ(Word(file, 32), 4u);       // block align
    EXPECT_EQ(Word(file, 34), 16u);      // bits
    EXPECT_EQ(std::memcmp(file.data() + 36, "data", 4), 0);
    EXPECT_EQ(Dword(file, 40), 6u);
    EXPECT_EQ(std::memcmp(file.data() + 44, samples, 6), 0);
}

TEST(WavWriter, SineSamplesPerFormat) {
    const std::vector<uint8_t> eight = Wav_Sine(WavFormat{1, 8000, 8}, 2000.0f, 1.0f, 4);
    EXPECT_EQ(eight, (std::vector<uint8_t>{128, 255, 128, 1}));
    const std::vector<uint8_t> stereo = Wav_SinePerChannel(WavFormat{2, 8000, 16}, 2000.0f, {1.0f, 0.5f}, 2);
    ASSERT_EQ(stereo.size(), 8u);
    int16_t second[2];
    std::memcpy(second, stereo.data() + 4, 4);
    EXPECT_EQ(second[0], 32767);
    EXPECT_EQ(second[1], 16384);
}

}  // namespace
