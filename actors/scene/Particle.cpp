#include "actors/scene/Particle.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVParticle::CQVParticle() { m_ClassType = CLASS_PARTICLE; }

void CQVParticle::RegisterProperties() {
    g_ClassRecords[CLASS_PARTICLE].Define("Particle", "Particle System", {CLASS_BASE, CLASS_OBJECT, CLASS_PARTICLE});
}
