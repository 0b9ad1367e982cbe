#pragma once
// An actor whose collision is switched on when its action starts or it is
// killed, and off when its action stops. It stores nothing but its record's
// class type and id.

#include "kernel/actors/Actor.h"

class CQVUVAnimation : public CQVActor {
public:
    CQVUVAnimation();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

private:
    void SwitchCollision(bool on);
};
