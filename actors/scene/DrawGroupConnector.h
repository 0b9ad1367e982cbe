#pragma once
// A portal joining draw groups.

#include "kernel/actors/Actor.h"

class CQVDrawGroupConnector : public CQVActor {
public:
    CQVDrawGroupConnector();
    static void RegisterProperties();
};
