#pragma once
// Creates actors at its place.

#include "kernel/actors/Actor.h"

class CQVSpawnPoint : public CQVActor {
public:
    CQVSpawnPoint();
    static void RegisterProperties();
};
