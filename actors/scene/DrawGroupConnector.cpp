#include "actors/scene/DrawGroupConnector.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDrawGroupConnector::CQVDrawGroupConnector() { m_ClassType = CLASS_DRAW_GROUP_CONNECTOR; }

void CQVDrawGroupConnector::RegisterProperties() {
    g_ClassRecords[CLASS_DRAW_GROUP_CONNECTOR].Define("Draw Group Connector", "Connects Draw Groups", {CLASS_BASE, CLASS_DRAW_GROUP_CONNECTOR});
}
