#include "actors/gameplay/GameObject.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVGameObject::CQVGameObject() { m_ClassType = CLASS_GAME_OBJECT; }

void CQVGameObject::RegisterProperties() {
    g_ClassRecords[CLASS_GAME_OBJECT].Define("Game Object", "Game Object", {CLASS_BASE, CLASS_GAME_OBJECT});
}
