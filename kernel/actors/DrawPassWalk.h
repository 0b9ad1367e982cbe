#pragma once
// The draw pass's walk over a drawn group's actor list. Taking an actor out
// of a group while the walk runs moves the walk past it first.

#include <list>

class CQVActor;

struct DrawPassWalk {
    std::list<CQVActor*>* list = nullptr; // null when no walk runs
    std::list<CQVActor*>::iterator next;
};

extern DrawPassWalk g_DrawPassWalk;
