// Writes the whole-game benchmark's level into a data folder the game starts
// in. Usage: qv_make_benchlevel <folder> <actors> [frames [capture-seconds]]

#include "tools/benchlevel/BenchLevel.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: qv_make_benchlevel <folder> <actors> [frames [capture-seconds]]\n");
        return 2;
    }
    const long actors = std::strtol(argv[2], nullptr, 10);
    const long frames = argc >= 4 ? std::strtol(argv[3], nullptr, 10) : 600;
    const float capture = argc == 5 ? std::strtof(argv[4], nullptr) : -1.0f;
    if (actors < 1 || actors > 200000 || frames < 1 || frames > 1000000) {
        std::fprintf(stderr, "qv_make_benchlevel: actors from 1 to 200000, frames from 1\n");
        return 2;
    }
    BenchLevelCounts made;
    std::string error;
    if (!BenchLevel_Write(argv[1], static_cast<uint32_t>(actors), static_cast<uint32_t>(frames), &made, &error, capture)) {
        std::fprintf(stderr, "qv_make_benchlevel: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u actors: %u rooms, %u mesh objects, %u lights, %u emitters, %u bodies, %u sounds, %u markers\n",
                made.actors, made.rooms, made.meshes, made.lights, made.emitters, made.bodies, made.sounds,
                made.markers);
    return 0;
}
