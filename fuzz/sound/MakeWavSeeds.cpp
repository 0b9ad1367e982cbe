// Writes the WAV fuzzer's seed files: short tones in the layouts sound
// items use. Usage: qv_make_wav_seeds <folder>

#include "tools/content/WavWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_wav_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const struct {
        const char* name;
        WavFormat format;
        uint32_t frames;
    } seeds[] = {
        {"mono16.wav", {1, 22050, 16}, 600},
        {"stereo16.wav", {2, 44100, 16}, 900},
        {"mono8.wav", {1, 11025, 8}, 300},
        {"stereo8.wav", {2, 22050, 8}, 200},
    };
    bool ok = true;
    for (const auto& seed : seeds) {
        const std::vector<uint8_t> samples = Wav_Sine(seed.format, 440.0f, 0.5f, seed.frames);
        ok = Wav_Write((folder / seed.name).string(), seed.format, samples) && ok;
    }
    if (!ok) std::fprintf(stderr, "qv_make_wav_seeds: a seed could not be written\n");
    return ok ? 0 : 1;
}
