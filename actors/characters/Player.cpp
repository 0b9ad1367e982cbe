#include "actors/characters/Player.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVPlayer::CQVPlayer() { m_ClassType = CLASS_PLAYER; }

void CQVPlayer::RegisterProperties() {
    g_ClassRecords[CLASS_PLAYER].Define("Player", "Player", {CLASS_BASE, CLASS_PLAYER});
}
