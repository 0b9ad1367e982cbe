#include "actors/scene/Simulation.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVSimulation::CQVSimulation() { m_ClassType = CLASS_SIMULATION; }

void CQVSimulation::RegisterProperties() {
    g_ClassRecords[CLASS_SIMULATION].Define("Simulation", "Simulation", {CLASS_BASE, CLASS_SIMULATION});
}
