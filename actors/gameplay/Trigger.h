#pragma once
// A sphere that notices the actors whose collision objects touch it and,
// once per frame, runs its scripts for the changes: an actor entered (the
// first one), an actor left (the last one), with that actor as the caller.

#include "kernel/actors/Actor.h"

#include <list>

struct TriggerContact {
    ActorLink link;        // the tracked actor; its death clears the link
    uint32_t current = 0;  // reported by the collision pass since the last step
    uint32_t previous = 0; // the current mark at the last step
    bool dropped = false;  // gone while a step walks the list; erased after it
};

class CQVTrigger : public CQVActor {
public:
    CQVTrigger();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    static void RegisterProperties();

    // The sphere: the first collision object, null when there is none.
    ColObj* Sphere() { return m_ColObjs.empty() ? nullptr : &m_ColObjs.front(); }
    // The tracked actors, the list's own count.
    uint32_t ContactCount() const;

    uint32_t m_Occupied = 0;       // from the first enter until the last exit
    float m_DeactivateTime = 0.0f; // seconds; kept for the editor and files only
    float m_DelayTime = 0.0f;      // seconds; kept for the editor and files only
    uint32_t m_MaxCount = 1;       // most actors tracked at once
    // One record per tracked actor, in the order they were first seen; a
    // list, since each link is registered with its target by its address.
    std::list<TriggerContact> m_Contacts;

private:
    void Touch(CQVActor* partner);
    void Forget(const ActorLink* link);
    void CopyContacts(const CQVTrigger& source);
    void BuildDefault();
    void Precalculate();
    void SendToContacts(MessageArgs command);
    void EraseDropped();

    uint32_t m_Walking = 0; // steps walking the list: removals wait for them
};
