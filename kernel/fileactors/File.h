#pragma once
// A placeholder that imports one of its actor files beneath itself.

#include "kernel/actors/Actor.h"

class CQVFile : public CQVActor {
public:
    CQVFile();
    static void RegisterProperties();
};
