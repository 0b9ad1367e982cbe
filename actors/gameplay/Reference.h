#pragma once
// Stands in a level or globals file for another actor, which it names by a
// path. It is inert: it answers every message and does nothing with it.

#include "kernel/actors/Actor.h"

#include <string>

class CQVReference : public CQVActor {
public:
    CQVReference();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    uint32_t m_Word = 0;  // saved and loaded; nothing reads it
    std::string m_Path;   // the referred actor, as an actor path
};
