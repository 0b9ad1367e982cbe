#pragma once
// A level-test actor on a character: it notes the actor the character faces
// when they touch, and passes voice commands to that actor's "AI" for the
// frame of the touch and the next.

#include "kernel/actors/Actor.h"

class CQVDeveloper2 : public CQVActor {
public:
    CQVDeveloper2();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Update() override;
    static void RegisterProperties();

    // The record of the test actors: the base's, then eight reserved words.
    static int SerializeTestActor(CQVActor& actor, CQVActorArchive* archive, uint32_t flags);

    ActorLink m_Facing;            // the actor faced at the last touch; not owned
    uint32_t m_FramesSinceSeen = 0;
};
