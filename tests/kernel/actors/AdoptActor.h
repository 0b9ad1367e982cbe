#pragma once
// Puts an actor made by a test (of a class the test's class table does not
// know) into the actor table under a parent, as the factory would.

#include "kernel/actors/ActorSystem.h"

template <typename T>
T* AdoptActor(T* actor, uint32_t id, CQVActor* parent) {
    actor->m_Id = id;
    g_ActorTable[id] = actor;
    actor->m_Parent = parent;
    actor->m_ParentId = parent->m_Id;
    parent->m_Children.push_back(actor);
    return actor;
}
