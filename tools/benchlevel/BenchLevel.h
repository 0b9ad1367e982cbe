#pragma once
// The whole-game benchmark's level: a grid of rooms (draw groups joined by
// portals in their doorways) filled with mesh objects, lights, particle
// emitters, simulated bodies and 3D sounds, and a camera riding through it.
// Everything scales with the number of actors asked for, the rooms stay:
// at 5,000 actors the level holds 2,000 mesh objects in 100 rooms, 64
// lights, 20 emitters, 200 bodies and 50 sounds; the rest are markers
// (plain actors that stand for a level's logic and waypoints).
//
// The portals along the camera's way are open in runs of three rooms and
// toward the rooms either side; every other one is closed, so the draw pass
// reaches about nine rooms wherever the camera is.
//
// The level's start scene also carries what the benchmark needs to time a
// run: a back-buffer capture as the game starts (the frame after it is the
// level's first) and "Exit Engine" once the frames asked for have run.

#include <cstdint>
#include <filesystem>
#include <string>

struct BenchLevelCounts {
    uint32_t actors = 0;   // every actor of the start scene
    uint32_t rooms = 0;
    uint32_t meshes = 0;   // mesh objects: room shells, floor slabs, props and the bodies' shapes
    uint32_t lights = 0;
    uint32_t emitters = 0;
    uint32_t bodies = 0;
    uint32_t sounds = 0;
    uint32_t markers = 0;
};

// The counts a level of about `actors` actors is made of.
BenchLevelCounts BenchLevel_Plan(uint32_t actors);

// Writes the data folder of the game (start file, library, item files,
// start scene) for about `actors` actors, ending the game after `frames`
// frames of 1/60 s. It makes the engine object and an actor system in this
// process and leaves the engine's globals behind: call it once, in a process
// of its own. False with the reason in error when a file cannot be written.
// With captureSeconds at or above 0 the game also saves the screen as
// "capture.tga" in the folder at that time of the run (to see what it shows).
bool BenchLevel_Write(const std::filesystem::path& folder, uint32_t actors, uint32_t frames,
                      BenchLevelCounts* made, std::string* error, float captureSeconds = -1.0f);
