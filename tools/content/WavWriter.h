#pragma once
// Writes WAV files in the one layout the game reads: the canonical 44-byte
// header (RIFF, "fmt " with 16 bytes of PCM format, "data") followed by the
// samples, little-endian.

#include <cstdint>
#include <string>
#include <vector>

struct WavFormat {
    uint16_t channels = 1;
    uint32_t sampleRate = 22050;
    uint16_t bitsPerSample = 16;

    uint32_t BlockAlign() const { return static_cast<uint32_t>(bitsPerSample / 8) * channels; }
    uint32_t ByteRate() const { return BlockAlign() * sampleRate; }
};

// The whole file in memory.
std::vector<uint8_t> Wav_Encode(const WavFormat& format, const void* samples, uint32_t bytes);
// false when the file cannot be written.
bool Wav_Write(const std::string& path, const WavFormat& format, const void* samples, uint32_t bytes);
bool Wav_Write(const std::string& path, const WavFormat& format, const std::vector<uint8_t>& samples);

// frames sample frames of a sine tone of hz Hz at amplitude (0 to 1 of full
// scale) in every channel; 8-bit samples are unsigned around 0x80.
std::vector<uint8_t> Wav_Sine(const WavFormat& format, float hz, float amplitude, uint32_t frames);
// The same with one amplitude per channel (left, right).
std::vector<uint8_t> Wav_SinePerChannel(const WavFormat& format, float hz, const std::vector<float>& amplitudes,
                                        uint32_t frames);
