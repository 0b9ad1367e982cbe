#pragma once
// A level-test actor: touched by the player's character, it shoots a clone
// of the actor named "Dart" at it, then waits 6 to 15 seconds.

#include "kernel/actors/Actor.h"

class CQVDeveloper : public CQVActor {
public:
    CQVDeveloper();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    void Process() override;
    static void RegisterProperties();

    ActorLink m_Dart;         // the template shot; not owned
    float m_DartDelay = 0.0f; // seconds until touches count again

private:
    void Shoot(uint32_t targetId);
};
