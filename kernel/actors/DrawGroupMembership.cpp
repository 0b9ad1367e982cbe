#include "kernel/actors/ActorSystem.h"

// Until the draw groups keep their actor lists, no actor is filed in one:
// entering and leaving change nothing.
int CQVActorSystem::AddToDrawGroup(CQVActor* actor, int force) { return actor ? 1 : 0; }

int CQVActorSystem::RemoveFromDrawGroup(CQVActor* actor, int force) { return actor ? 1 : 0; }
