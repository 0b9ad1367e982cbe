#include "actors/characters/PathNode.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVPathNode::CQVPathNode() { m_ClassType = CLASS_PATH_NODE; }

void CQVPathNode::RegisterProperties() {
    g_ClassRecords[CLASS_PATH_NODE].Define("Path Node", "Path Node", {CLASS_BASE, CLASS_PATH_NODE});
}
