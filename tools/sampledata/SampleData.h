#pragma once
// The sample level as one call: the data folder that `make run` starts the
// game on (start file, resource library with the files its items name, logo
// movie, globals and start scene). The same folder can be written with the
// camera held at one place and the screen captured at set times of the level,
// for pictures of it that do not depend on where the ride has got to.

#include "kernel/base/Maths.h"

#include <filesystem>
#include <string>
#include <vector>

// The files in "Data": the start scene (an actor that starts a new game on
// the level when the game starts), the globals and the level itself.
inline constexpr const char* kSampleStartFile = "Start.qva";
inline constexpr const char* kSampleGlobalsFile = "Globals.qva";
inline constexpr const char* kSampleLevelFile = "Level.qva";

// A camera standing still in the level, in place of the ride through the rooms.
struct SampleShot {
    Vector3 position;     // world units; the rooms lie along +z from z = -400
    float yaw = 0.0f;     // radians about +y; 0 looks along +z, positive turns toward +x
    float pitch = 0.12f;  // radians; positive looks down
};

// A capture of the screen at a time of the level: "Capture BackBuffer" at
// the size asked, then "Capture Save" into the folder under file.
struct SampleCapture {
    float seconds = 0.0f;  // of level time, from "Start Game"
    std::string file;      // e.g. "capture.tga"
};

struct SampleOptions {
    bool fixedCamera = false;  // hold the camera at shot instead of riding
    SampleShot shot;
    // Taken in time order; "Exit Engine" follows the last, so the game ends
    // with status 0 once the last picture is written.
    std::vector<SampleCapture> captures;
    int captureWidth = 640;
    int captureHeight = 480;
};

// Writes the folder (made when missing). True when every file was written;
// otherwise false with the reason in *error.
//
// It runs the engine's own actor system in this process to build the scene
// and leaves it torn down (g_ActorSystem deleted, the library's items
// removed); a test calls ResetGlobals before building a scene of its own.
bool SampleData_Write(const std::filesystem::path& folder, const SampleOptions& options, std::string* error);

// Known places to stand the camera for a still picture of one feature.
SampleShot SampleShot_Shadows();    // crates and a column in the first room, shadows on the floor
SampleShot SampleShot_Fountain();   // the fountain in the first room, close
SampleShot SampleShot_LightMap();   // down the first room: the light-mapped floor and walls
SampleShot SampleShot_Flag();       // the waving flag in the first room
SampleShot SampleShot_Fog();        // from the first room down all four: fog deepens
