#include "tools/content/WavWriter.h"

#include "tools/content/ByteWriter.h"

#include <cmath>
#include <numbers>
#include <cstdio>
#include <cstring>

namespace {

void PutId(std::vector<uint8_t>* out, const char* id) { out->insert(out->end(), id, id + 4); }

}  // namespace

std::vector<uint8_t> Wav_Encode(const WavFormat& format, const void* samples, uint32_t bytes) {
    std::vector<uint8_t> out;
    out.reserve(44 + static_cast<size_t>(bytes));
    PutId(&out, "RIFF");
    ByteWriter_Put32(&out, 36 + bytes);
    PutId(&out, "WAVE");
    PutId(&out, "fmt ");
    ByteWriter_Put32(&out, 16);
    ByteWriter_Put16(&out, 1);  // PCM
    ByteWriter_Put16(&out, format.channels);
    ByteWriter_Put32(&out, format.sampleRate);
    ByteWriter_Put32(&out, format.ByteRate());
    ByteWriter_Put16(&out, format.BlockAlign());
    ByteWriter_Put16(&out, format.bitsPerSample);
    PutId(&out, "data");
    ByteWriter_Put32(&out, bytes);
    const auto* first = static_cast<const uint8_t*>(samples);
    if (bytes > 0) out.insert(out.end(), first, first + bytes);
    return out;
}

bool Wav_Write(const std::string& path, const WavFormat& format, const void* samples, uint32_t bytes) {
    const std::vector<uint8_t> file = Wav_Encode(format, samples, bytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && written;
}

bool Wav_Write(const std::string& path, const WavFormat& format, const std::vector<uint8_t>& samples) {
    return Wav_Write(path, format, samples.data(), static_cast<uint32_t>(samples.size()));
}

std::vector<uint8_t> Wav_SinePerChannel(const WavFormat& format, float hz, const std::vector<float>& amplitudes,
                                        uint32_t frames) {
    std::vector<uint8_t> out(static_cast<size_t>(frames) * format.BlockAlign());
    uint8_t* at = out.data();
    const double step = 2.0 * std::numbers::pi * hz / format.sampleRate;
    for (uint32_t frame = 0; frame < frames; ++frame) {
        const double wave = std::sin(step * frame);
        for (uint16_t channel = 0; channel < format.channels; ++channel) {
            const double amplitude = channel < amplitudes.size() ? amplitudes[channel] : amplitudes.back();
            const double value = wave * amplitude;
            if (format.bitsPerSample == 8) {
                *at++ = static_cast<uint8_t>(std::lround(128.0 + value * 127.0));
            } else {
                const auto sample = static_cast<int16_t>(std::lround(value * 32767.0));
                std::memcpy(at, &sample, 2);
                at += 2;
            }
        }
    }
    return out;
}

std::vector<uint8_t> Wav_Sine(const WavFormat& format, float hz, float amplitude, uint32_t frames) {
    return Wav_SinePerChannel(format, hz, {amplitude}, frames);
}
