#include "actors/characters/AIPlayer2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAIPlayer2::CQVAIPlayer2() { m_ClassType = CLASS_AI_PLAYER_2; }

void CQVAIPlayer2::RegisterProperties() {
    g_ClassRecords[CLASS_AI_PLAYER_2].Define("AI Player 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_AI_PLAYER_2});
}
