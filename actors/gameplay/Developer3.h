#pragma once
// A level-test actor that only keeps its per-frame step scheduled.

#include "kernel/actors/Actor.h"

class CQVDeveloper3 : public CQVActor {
public:
    CQVDeveloper3();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    static void RegisterProperties();

    uint32_t m_Word = 0; // never used
};
