#include "actors/characters/AIHelper.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAIHelper::CQVAIHelper() { m_ClassType = CLASS_AI_HELPER; }

void CQVAIHelper::RegisterProperties() {
    g_ClassRecords[CLASS_AI_HELPER].Define("AI Helper", "AI Helper", {CLASS_BASE, CLASS_AI_HELPER});
}
