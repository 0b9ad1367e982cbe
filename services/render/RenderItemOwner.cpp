// The draw callback of actors that rewrite their vertices just before they
// are drawn. It is alone in its file so that programs without actors link
// the render queue without the actor code.

#include "kernel/actors/Actor.h"
#include "services/render/RenderQueue.h"

void RenderItem_PrepareOwner(RenderItem* item) {
    if (item != nullptr && item->owner != nullptr) static_cast<CQVActor*>(item->owner)->PrepareRender();
}
