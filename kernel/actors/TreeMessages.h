#pragma once
// The base actor's messages for its name, transform, place in the tree,
// searches, recursive sends and draw-group membership.

#include <cstdint>

class CQVActor;
#include "kernel/actors/ArgAccess.h"

// Handles one of these messages for the actor; the handler's answer, 1 for
// ids that are not among them.
int ActorTree_HandleMessage(CQVActor* actor, uint32_t id, MessageArgs args);

// The stored bytes of a saved timed message's block as read from a file;
// "Precalculate" turns them into the run-time block once the actors they
// name exist.
void ActorTree_KeepStoredArgs(struct TimedMessage* record, uint32_t storedSize);
// Drops the note for a record being released, so that a later record at the
// same address is never taken for a stored block.
void ActorTree_ForgetStoredArgs(struct TimedMessage* record);
// True while the record's block is still the stored form read from a file,
// with its size.
bool ActorTree_HasStoredArgs(const struct TimedMessage* record, uint32_t* storedSize);
