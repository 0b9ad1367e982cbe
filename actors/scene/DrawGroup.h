#pragma once
// One visibility cell of the level; the draw pass visits the cells the camera sees.

#include "kernel/actors/Actor.h"

class CQVDrawGroup : public CQVActor {
public:
    CQVDrawGroup();
    static void RegisterProperties();
};
