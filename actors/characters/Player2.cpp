#include "actors/characters/Player2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVPlayer2::CQVPlayer2() { m_ClassType = CLASS_PLAYER_2; }

void CQVPlayer2::RegisterProperties() {
    g_ClassRecords[CLASS_PLAYER_2].Define("Player 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_PLAYER_2});
}
