#pragma once
// Writes ".mot" motion files: a version, two triples (the second is the
// distance the motion carries the character over one length), then the
// tracks in the engine's own stored form.

#include "services/mesh/KeyTrack.h"

#include <cstdint>

struct MotFile {
    uint32_t version = 1;
    Vector3 firstTriple{0.0f, 0.0f, 0.0f};
    Vector3 rootDisplacement{0.0f, 0.0f, 0.0f};
    KeyTrackList tracks;
};

// Appends an empty track for the bone (the name interned) and returns it.
KeyTrack* MotWriter_AddTrack(MotFile* motion, const char* bone, float length);

// 1, or 0 when the file cannot be written.
int MotWriter_Write(const char* path, const MotFile& motion);
