#include "kernel/actors/ColObj.h"

#include "kernel/actors/ClassTypes.h"

namespace {

// The group bit that marks the owner's class, for the classes that have one.
struct ClassGroupBit {
    uint32_t classType;
    uint32_t bit;
};

constexpr ClassGroupBit CLASS_GROUP_BITS[] = {
    {CLASS_BASE, 31},        {CLASS_OBJECT, 30},         {CLASS_LIGHT, 29},       {CLASS_SOUND, 28},
    {CLASS_CAMERA, 27},      {CLASS_CHARACTER, 26},      {CLASS_DOOR, 25},        {CLASS_GAME_CONTAINER, 24},
    {CLASS_GAME_OBJECT, 23}, {CLASS_AIM_TARGET, 22},
};

bool Bit(uint32_t word, uint32_t bit) { return (word >> bit) & 1; }

}  // namespace

void ColObj::UpdateDerivedGroups(uint32_t ownerClassType) {
    uint32_t derived = 0;
    if (Bit(flags, 6)) derived |= 1u << 16;
    if (Bit(flags, 2)) derived |= 1u << 17;
    if (!Bit(flags, 5) && !Bit(flags, 6) && (Bit(flags, 1) || Bit(flags, 2))) derived |= 1u << 18;
    for (const ClassGroupBit& entry : CLASS_GROUP_BITS) {
        if (entry.classType == ownerClassType) derived |= 1u << entry.bit;
    }
    // Volume types that are not boxes or plain spheres.
    switch (type) {
    case 4: case 5: case 6: case 8: case 9: case 10: case 11: case 12: case 13:
        derived |= 1u << 21;
        break;
    default:
        break;
    }
    groups = (groups & 0xFFFF) | derived;
}
