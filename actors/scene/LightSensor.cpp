#include "actors/scene/LightSensor.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/render/Lights.h"
#include "services/render/Render.h"

namespace {

// The sheet's rows edit the base actor's own collision objects; the ray's
// words are reached through the bound pairs below them.
constexpr MessageRow kLightSensorRows[] = {
    SheetRow("Light Sensor Properties", PROP_TITLE),
    SheetRow("Set Ray Group:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS, MSG_GET_COLLISION_GROUPS),
    SheetRow("Set Ray Receive:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS_RECEIVE, MSG_GET_COLLISION_GROUPS_RECEIVE),
    SheetRow("Set Ray Exclude:", PROP_GROUP_MASK, MSG_SET_COLLISION_GROUPS_EXCLUDE, MSG_GET_COLLISION_GROUPS_EXCLUDE),
    FieldRow<&CQVLightSensor::m_RayGroup>(MSG_SET_LIGHTSENSOR_RAY_GROUP, MSG_GET_LIGHTSENSOR_RAY_GROUP),
    FieldRow<&CQVLightSensor::m_RayReceive>(MSG_SET_LIGHTSENSOR_RAY_RECEIVE, MSG_GET_LIGHTSENSOR_RAY_RECEIVE),
    FieldRow<&CQVLightSensor::m_RayExclude>(MSG_SET_LIGHTSENSOR_RAY_EXCLUDE, MSG_GET_LIGHTSENSOR_RAY_EXCLUDE),
    FieldRow<&CQVLightSensor::m_MinColor>(MSG_SET_LIGHTSENSOR_MIN_COLOR, 0),
    MemberRow<&CQVLightSensor::MeasuredColor>(0, MSG_GET_COLOR),
};

constexpr MessageTable kLightSensorMessages{kLightSensorRows};

}  // namespace

CQVLightSensor::CQVLightSensor() { m_ClassType = CLASS_LIGHT_SENSOR; }

void CQVLightSensor::MeasureColor(float color[4]) {
    for (int i = 0; i < 4; ++i) color[i] = m_MinColor[i];
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    const RayFilter filter{m_RayGroup, m_RayReceive, m_RayExclude};
    const std::vector<CQVLightItem*>& lights = CQVRender::Get().Lights().localLights;
    for (size_t i = 0; i < lights.size(); ++i) {
        const Vector3 position = GetWorldPosition();
        float reaching[4];
        if (!Light_GetColorAt(lights[i], reaching, position)) continue;
        if (g_ActorSystem && g_ActorSystem->RayCast(filter, position, Light_GetPosition(lights[i]), nullptr, nullptr)) {
            continue;
        }
        for (int c = 0; c < 4; ++c) color[c] += reaching[c];
    }
}

ColorValue CQVLightSensor::MeasuredColor() {
    float color[4];
    MeasureColor(color);
    return ColorValue{color[0], color[1], color[2], color[3]};
}

int CQVLightSensor::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kLightSensorMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_INIT_LOAD:
        // A loaded sensor always looks with the default ray, whatever its file holds.
        m_RayGroup = DEFAULT_RAY_GROUP;
        m_RayReceive = DEFAULT_RAY_RECEIVE;
        m_RayExclude = DEFAULT_RAY_EXCLUDE;
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVLightSensor::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_RayGroup);
        archive->SerializeDword(&m_RayReceive);
        archive->SerializeDword(&m_RayExclude);
        uint32_t unused = 0;
        archive->SerializeDword(&unused);
    }
    if (archive->direction == ARCHIVE_READING && archive->HasFailed()) return 0;
    return 1;
}

void CQVLightSensor::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_LIGHT_SENSOR];
    record.Define("Light Sensor", "", {CLASS_BASE, CLASS_LIGHT_SENSOR});
    kLightSensorMessages.AddSheet(record);
}
