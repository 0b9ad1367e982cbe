// Writes the movie fuzzer's seed files: short clips in the containers the
// game plays, with and without sound. Usage: qv_make_movie_seeds <folder>

#include "tools/content/MovieWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_movie_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const struct {
        const char* name;
        bool audio;
        uint32_t bFrames;
    } seeds[] = {
        {"clip.mpg", true, 2},
        {"silent.mpg", false, 0},
        {"clip.avi", true, 0},
        {"silent.avi", false, 0},
    };
    bool ok = true;
    for (const auto& seed : seeds) {
        MovieClip clip;
        clip.settings.width = 32;
        clip.settings.height = 16;
        clip.settings.withAudio = seed.audio;
        clip.settings.audioRate = 22050;
        clip.settings.audioChannels = 1;
        clip.settings.bFrames = seed.bFrames;
        clip.frameColours = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
        std::string error;
        if (!MovieWriter_WriteClip((folder / seed.name).string(), clip, &error)) {
            std::fprintf(stderr, "qv_make_movie_seeds: %s: %s\n", seed.name, error.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
