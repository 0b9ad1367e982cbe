#pragma once
// One collision volume of an actor: a box (minimum and maximum) or a sphere
// (radius in the first component of the maximum), in the actor's local space.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <string>

class CQVActor;
class CQVActorArchive;

constexpr uint32_t COLOBJ_ACTIVE = 0x1;
constexpr uint32_t COLOBJ_MARKED = 0x20;    // subtype bit 5, chosen by EnableMarkedColObjs
constexpr uint32_t COLOBJ_GENERATED = 0x80; // made from the mesh; never saved

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
    uint8_t runtime[24] = {}; // collision pass data
    CQVActor* owner = nullptr;
    uint32_t hitEffectGroup = 0;
    uint32_t runtimeWord = 0;
    uint32_t persistedWord = 0xFFFFFFFF;

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
