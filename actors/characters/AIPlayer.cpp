#include "actors/characters/AIPlayer.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAIPlayer::CQVAIPlayer() { m_ClassType = CLASS_AI_PLAYER; }

void CQVAIPlayer::RegisterProperties() {
    g_ClassRecords[CLASS_AI_PLAYER].Define("AI Player", "AI Player", {CLASS_BASE, CLASS_AI_PLAYER});
}
