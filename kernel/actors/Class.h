#pragma once
// The class manager actor: a bare actor with a descriptive sheet.

#include "kernel/actors/Actor.h"

class CQVClass : public CQVActor {
public:
    CQVClass();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();
};
