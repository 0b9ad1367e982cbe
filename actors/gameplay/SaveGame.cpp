#include "actors/gameplay/SaveGame.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVSaveGame::CQVSaveGame() { m_ClassType = CLASS_SAVE_GAME; }

void CQVSaveGame::RegisterProperties() {
    g_ClassRecords[CLASS_SAVE_GAME].Define("Save Game", "Save Game", {CLASS_BASE, CLASS_SAVE_GAME});
}
