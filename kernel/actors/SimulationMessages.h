#pragma once
// The base actor's collision-object messages (create, select, edit, enable)
// and its simulation and force messages.

#include <cstdint>

class CQVActor;
#include "kernel/actors/ArgAccess.h"

// True when the id is one of these messages (it has then been handled).
bool Actor_HandleCollisionMessage(CQVActor* actor, uint32_t id, MessageArgs args);
