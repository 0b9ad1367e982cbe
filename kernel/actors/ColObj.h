#pragma once
// One collision volume of an actor: a box (minimum and maximum) or a sphere
// (radius in the first component of the maximum), in the actor's local space.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <string>
#include <vector>

class CQVActor;
class CQVActorArchive;

constexpr uint32_t COLOBJ_ACTIVE = 0x1;
constexpr uint32_t COLOBJ_SENDS = 0x2;      // tells the objects it meets ("Collision Event")
constexpr uint32_t COLOBJ_RECEIVES = 0x4;   // is told of the objects that meet it
constexpr uint32_t COLOBJ_TRIGGER = 0x8;    // always tells
constexpr uint32_t COLOBJ_TRIGGERED = 0x10; // told by any trigger
constexpr uint32_t COLOBJ_SOLID = 0x20;     // pushed out of what blocks it
constexpr uint32_t COLOBJ_MARKED = 0x20;    // subtype bit 5, chosen by EnableMarkedColObjs
constexpr uint32_t COLOBJ_BLOCKS = 0x40;    // blocks solids
constexpr uint32_t COLOBJ_GENERATED = 0x80; // made from the mesh; never saved

// Volume kinds. A sphere keeps its centre in the minimum and its radius in
// the maximum's x; a ray point keeps its extension and its least movement
// in the maximum's x and y.
constexpr uint32_t COLOBJ_NONE = 0;
constexpr uint32_t COLOBJ_SPHERE = 1;
constexpr uint32_t COLOBJ_BOX = 2;
constexpr uint32_t COLOBJ_BOX_RECOMPUTE = 3; // a box whose world box is remade, then a plain box
constexpr uint32_t COLOBJ_GROUND = 4;        // walkable triangles of the owner's mesh
constexpr uint32_t COLOBJ_TRIANGLE_TEST = 5;
constexpr uint32_t COLOBJ_GROUND_ALIKE = 6;  // tested as ground
constexpr uint32_t COLOBJ_RAY_POINT = 7;     // the owner's movement over the frame
// A mesh kind by number, but the kind a camera stores for its own volume: the
// camera has no mesh, and the volume is a sphere about its eye.
constexpr uint32_t COLOBJ_CAMERA_VOLUME = 9;
constexpr uint32_t COLOBJ_MESH_LAST = 13;
constexpr uint32_t COLOBJ_NO_MESH = 0xFFFFFFFF;

struct ColObj {
    std::string name;
    uint32_t flags = 0x41;
    uint32_t groups = 1;
    uint32_t groupsReceive = 1;
    uint32_t groupsExclude = 0;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    uint32_t type = 2; // 2: axis-aligned box
    uint32_t physique = 0;
    uint32_t fill = 7;
    float scaleFactor = 1.0f;
    Vector3 boxMin = Vector3(-10.0f, -10.0f, -10.0f);
    Vector3 boxMax = Vector3(10.0f, 10.0f, 10.0f);
    // The volume in world space, refreshed by the collision pass before its
    // tests: box corners, or a sphere's centre and radius (in x), or a ray
    // point's start and movement.
    Vector3 worldMin = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 worldMax = Vector3(0.0f, 0.0f, 0.0f);
    CQVActor* owner = nullptr;
    uint32_t hitEffectGroup = 0;
    uint32_t runtimeWord = 0;  // the ground triangle found last, tried first next time
    uint32_t persistedWord = 0xFFFFFFFF;
    // Commands run on contact, packed {u32 message id, arguments}: one to
    // the other object's owner, one to this object's owner. Empty: none.
    std::vector<uint8_t> commandToOther;
    std::vector<uint8_t> commandToSelf;
    // The mesh item and subset of the mesh kinds.
    uint32_t meshItem = COLOBJ_NO_MESH;
    uint32_t meshSubset = 0;
    uint32_t rayActive = 0;  // a ray point that moved far enough this frame

    // Recomputes the derived group bits 16 to 31 from the flags, the volume
    // type and the owner's class type.
    void UpdateDerivedGroups(uint32_t ownerClassType);

    // Reads or writes the stored fields by the archive's direction; fields
    // a file's version predates keep their values. 1, or 0 when a read ran
    // past the end of the file.
    int Serialize(CQVActorArchive* archive, uint32_t flags);
};

// The fewest bytes one stored collision object takes at version 1 or later.
constexpr uint32_t COLOBJ_MIN_STORED_SIZE = 52;
