#pragma once
// A placeholder kept in the class registry: a base actor without fields of
// its own, saved by the base-only record that other placeholder classes
// share.

#include "kernel/actors/Actor.h"

#include <cstdint>

class CQVAimTarget : public CQVActor {
public:
    CQVAimTarget();
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();
};

// The record of a class that adds nothing to the base: the base fields, then
// (from version 1) four reserved words, written 0 and dropped when read.
int Actor_SerializeBaseOnly(CQVActor* actor, CQVActorArchive* archive, uint32_t flags);
