#include "actors/scene/LightSensor.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVLightSensor::CQVLightSensor() { m_ClassType = CLASS_LIGHT_SENSOR; }

void CQVLightSensor::RegisterProperties() {
    g_ClassRecords[CLASS_LIGHT_SENSOR].Define("Light Sensor", "", {CLASS_BASE, CLASS_LIGHT_SENSOR});
}
