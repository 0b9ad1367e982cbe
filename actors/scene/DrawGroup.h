#pragma once
// One visibility cell of the level; the draw pass visits the cells the camera sees.

#include "kernel/actors/DrawGroups.h"

class CQVDrawGroup : public CQVDrawGroupBase {
public:
    CQVDrawGroup();
    static void RegisterProperties();
};
