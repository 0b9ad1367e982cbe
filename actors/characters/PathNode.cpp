#include "actors/characters/PathNode.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/WordBlock.h"

#include <cstddef>

namespace {

constexpr MessageRow kPathNodeRows[] = {
    SheetRow("Path Node Properties", PROP_TITLE),
    FieldRow<&CQVPathNode::m_EndType>(MSG_SET_PATHNODE_ENDTYPE, MSG_GET_PATHNODE_ENDTYPE,
                                      "Type:|Reverse|0|Loop|1|Jump Back To Root|2|", PROP_CHOICE)
        .StoredBy<&CQVPathNode::SetEndType>(),
    FieldRow<&CQVPathNode::m_Time>(MSG_SET_PATHNODE_TIME, MSG_GET_PATHNODE_TIME, "Time:", PROP_TIME),
    FieldRow<&CQVPathNode::m_RandWeight>(MSG_SET_PATHNODE_RANDWEIGHT, MSG_GET_PATHNODE_RANDWEIGHT, "Rand:", PROP_UINT),
};

constexpr MessageTable kPathNodeMessages{kPathNodeRows};

constexpr uint32_t kReservedWords = 5;

void AnswerNearest(CQVActor& node, MessageArgs args) {
    if (!args.Holds(0, sizeof(PathNodeQuery))) return;
    const auto query = Args_Get<PathNodeQuery>(args);
    const float distance = Vec3_Length(query.point - node.GetWorldPosition());
    if (distance < query.bestDistance) {
        Args_Set(args, offsetof(PathNodeQuery, bestDistance), distance);
        Args_Set(args, offsetof(PathNodeQuery, bestId), node.m_Id);
    }
}

}  // namespace

CQVPathNode::CQVPathNode() { m_ClassType = CLASS_PATH_NODE; }

void CQVPathNode::SetEndType(uint32_t type) {
    m_EndType = type;
    if (type != PATHNODE_END_LOOP) return;
    if (!m_Children.empty()) {
        m_EndType = PATHNODE_END_REVERSE;
        return;
    }
    for (CQVActor* above = m_Parent; above && above->m_ClassType == CLASS_PATH_NODE; above = above->m_Parent) {
        static_cast<CQVPathNode*>(above)->m_EndType = PATHNODE_END_REVERSE;
    }
}

int CQVPathNode::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kPathNodeMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_PATHNODE_FIND_NEAREST:
        // Each node before its children, so on equal distances the upper
        // node and then the earlier child stays the answer.
        AnswerNearest(*this, args);
        SendToChildren(id, args);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVPathNode*>(Args_Pointer<CQVActor>(id, args)); source && source != this) {
            kPathNodeMessages.Copy(*this, *source);
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVPathNode::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        WordBlock block;
        block.Word(&m_Time);
        block.Word(&m_RandWeight);
        block.Word(&m_EndType);
        for (uint32_t i = 0; i < kReservedWords; ++i) block.Reserved();
        block.Transfer(archive);
    }
    if (archive->direction == ARCHIVE_READING && archive->HasFailed()) return 0;
    return 1;
}

void CQVPathNode::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_PATH_NODE];
    record.Define("Path Node", "Path Node", {CLASS_BASE, CLASS_PATH_NODE});
    kPathNodeMessages.AddSheet(record);
}
