#pragma once
// The game's actor classes. The kernel creates and registers the classes of
// the scene, character and gameplay libraries, and its own file actors, only
// through this table, which the program hands to it before start-up
// registers the classes.

#include "kernel/actors/ActorSystem.h"

#include <cstddef>

void ActorClasses_Install();

// The table in registration order.
const ActorClassInfo* ActorClasses_GetList(size_t* count);
