#include "actors/gameplay/GameContainer.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVGameContainer::CQVGameContainer() { m_ClassType = CLASS_GAME_CONTAINER; }

void CQVGameContainer::RegisterProperties() {
    g_ClassRecords[CLASS_GAME_CONTAINER].Define("Game Container", "Game Container is a an object that the player can interact with...", {CLASS_BASE, CLASS_GAME_CONTAINER});
}
