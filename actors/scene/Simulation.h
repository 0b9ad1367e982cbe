#pragma once
// A free physics body: the actor itself is the body, its children the
// meshes that move with it, and a child named "CenterOfMass" marks its
// centre of mass. The physics parameters live in the base actor's
// simulation block; this class gives the body its sheet, a default
// collision volume, start and stop on the action messages, and a per-frame
// step that follows its contacts.

#include "kernel/actors/Actor.h"

class CQVSimulation : public CQVActor {
public:
    CQVSimulation();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    uint32_t m_InContact = 0;      // a "Collision Event" came this frame
    uint32_t m_WasInContact = 0;   // the same for the frame before
    float m_ContactInterval = 0.0f; // kept in files only
    uint32_t m_Reserved = 0;

private:
    // The body's pending per-frame "Process", or null.
    TimedMessage* ProcessRecord() const;
    void SwitchCollision(bool on);
};
