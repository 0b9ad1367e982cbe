#pragma once
// A placeholder kept in the class registry: a base actor that saves four
// reserved words after the base fields.

#include "kernel/actors/Actor.h"

class CQVCharacter2 : public CQVActor {
public:
    CQVCharacter2();
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();
};
