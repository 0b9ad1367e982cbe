#include "actors/characters/Animation.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAnimation::CQVAnimation() { m_ClassType = CLASS_ANIMATION; }

void CQVAnimation::RegisterProperties() {
    g_ClassRecords[CLASS_ANIMATION].Define("Animation", "Animation", {CLASS_BASE, CLASS_ANIMATION});
}
