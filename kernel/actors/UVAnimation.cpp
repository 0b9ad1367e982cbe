#include "kernel/actors/UVAnimation.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUVAnimation::CQVUVAnimation() { m_ClassType = CLASS_UVANIMATION; }

void CQVUVAnimation::RegisterProperties() {
    g_ClassRecords[CLASS_UVANIMATION].Define("UVAnimation", "UVAnimation", {CLASS_BASE, CLASS_UVANIMATION});
}
