#pragma once
// A skinned mesh with motion layers and bone sync.

#include "actors/scene/Object.h"

class CQVSkinObject : public CQVObject {
public:
    CQVSkinObject();
    static void RegisterProperties();
};
