#pragma once
// What every piece of the sample level works with: the library being
// written, the data folder its files go to, the rooms of the level and the
// actor the camera rides. Each owner of a scene class adds its piece with
// two functions in tools/sampledata/Sample<Owner>.{h,cpp}:
//
//   void Sample<Owner>_AddItems(SampleLevel& level);   // library items and their files
//   void Sample<Owner>_AddActors(SampleLevel& level);  // its actors, made with level.Make()
//
// The items of every piece are added before the library is written; the
// actors after the rooms exist. The tool runs without a graphics device and
// without a loaded library: actors keep the item ids they are given.

#include "kernel/actors/Actor.h"
#include "tools/content/LibraryFile.h"
#include "tools/sampledata/SampleData.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct SampleRoom {
    CQVActor* group = nullptr;  // the room's Draw Group, a child of the level root
    Vector3 min, max;           // its box in world space: floor at y = 0, walls 300 high
};

struct SampleLevel {
    LibraryFile* library = nullptr;  // add items in your own id range
    std::filesystem::path data;      // write the files your items name here
    bool ok = true;                  // cleared when a file cannot be written
    std::string error;               // what failed first
    const SampleShot* shot = nullptr;  // a camera held still here instead of riding (no rig then)
    CQVActor* root = nullptr;        // the level's root actor
    std::vector<SampleRoom> rooms;   // along +z, joined by open portals in their door openings
    CQVActor* cameraRig = nullptr;   // the actor the camera rides through the rooms (none with a shot)
    uint32_t nextId = 3000;          // the level's actors are saved with ids 3000 to 6999

    // An actor of the level with its class defaults under parent; null (and
    // ok cleared) when it cannot be made.
    CQVActor* Make(uint32_t classType, const char* name, CQVActor* parent);
    // Writes a file under data; false (and ok cleared) when it cannot.
    bool Written(bool written, const std::string& name);
};

template <typename T>
int Sample_Send(CQVActor* actor, uint32_t message, T value) {
    return actor->HandleMessage(message, Args_Of(&value));
}

// Binds a script of the given source to one of the actor's messages.
void Sample_AddScript(CQVActor* actor, const char* name, uint32_t message, const std::string& source);

// The engine object without a device, with an in-memory mesh 3 and material
// 4 (the items every mesh actor falls back to) so that mesh actors can be
// made here; the items the level names are not loaded. 1, or 0.
int SampleLevel_StartEngine();
