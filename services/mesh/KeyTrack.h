#pragma once
// Key-frame tracks: one per animated bone, naming the bone through the name
// table and holding rotation, position, scale and matrix keys. Motions from
// ".mot" files and motions stored inline in the library use the same stored
// form of a track.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <list>
#include <vector>

class CQVArchive;

// interpolate is 1 when the value moves towards the next key, 0 when it is
// held until the next key. It is never stored: reading computes it.
struct RotationKey {
    Quaternion rotation;
    float time;
    uint32_t interpolate;
};

struct VectorKey {
    Vector3 value;
    float time;
    uint32_t interpolate;
};

// Matrix keys are kept as stored; nothing evaluates them.
struct MatrixKey {
    Matrix matrix;
    float time;
};

// Serialize modes: 0 reads (the library then loads the item), 1 reads only, 2 writes.
constexpr uint32_t SERIALIZE_READ_LOAD = 0;
constexpr uint32_t SERIALIZE_READ = 1;
constexpr uint32_t SERIALIZE_WRITE = 2;

// Longest bone name a stored track may carry; a longer one fails the read.
constexpr uint32_t kMaxTrackNameLength = 255;

class KeyTrack {
public:
    // Reading appends the stored keys (counts checked against the bytes
    // left, the name bounded) and computes the interpolate flags; writing
    // stores the keys and the text of the name id. 1, or 0 when the stored
    // track is short or damaged (nothing of it is kept then).
    int Serialize(CQVArchive* archive, uint32_t mode, uint32_t version);

    std::vector<RotationKey> rotationKeys;  // ascending time
    std::vector<VectorKey> positionKeys;
    std::vector<VectorKey> scaleKeys;
    std::vector<MatrixKey> matrixKeys;  // file order
    float length = 0.0f;                // same unit as the key times
    uint32_t nameId = 0;                // index into g_NameTable
};

// Tracks as a tool builds them, in file order.
using KeyTrackList = std::list<KeyTrack>;

// A motion's tracks, in file order, each its own allocation: they are
// handed out by pointer and stay put while the motion is loaded.
using MotionTracks = std::vector<KeyTrack*>;

// A new track read from its stored form, or null when it cannot be read.
KeyTrack* KeyTrack_Read(CQVArchive* archive, uint32_t mode, uint32_t version);
KeyTrack* KeyTrack_Copy(const KeyTrack* track);
// The first track of the bone name id, else null.
KeyTrack* KeyTrack_FindById(const MotionTracks& tracks, uint32_t nameId);
// Deletes every track and empties the list.
void KeyTrack_FreeAll(MotionTracks* tracks);

// Only a track that has rotation keys interpolates: each key moves towards
// the next one whose value differs, the last key holds. Without rotation
// keys every key holds.
void KeyTrack_ComputeInterpolation(KeyTrack* track);

// The value at a time: the key at or before the time, moved towards the next
// key when it interpolates (slerp for rotations, lerp for the others). A
// negative time counts as 0; before the first key's time the first key's
// value, after the last key's time the last key's value; keys with equal
// times give the first of them. Without keys: identity rotation, zero
// position, unit scale.
Quaternion* KeyTrack_EvalRotation(Quaternion* out, const KeyTrack* track, float time);
Vector3* KeyTrack_EvalPosition(Vector3* out, const KeyTrack* track, float time);
Vector3* KeyTrack_EvalScale(Vector3* out, const KeyTrack* track, float time);

// The bone name text ("" for null).
const char* KeyTrack_GetName(const KeyTrack* track);
