#include "kernel/actors/TreeMessages.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

constexpr uint32_t ANY_CLASS = 0xFFFFFFFF;
constexpr uint32_t COLOBJ_TYPE_BOX = 2;
constexpr uint32_t COLOBJ_TYPE_ORIENTED_BOX = 3;
// A clean-up answer: the actor queued itself for deletion.
constexpr int CLEANED = 2;

// Stored sizes of saved timed-message blocks not yet turned into run-time blocks.
std::unordered_map<TimedMessage*, uint32_t> g_StoredArgSizes;

// The block of a Command argument: {u32 id, the id's block inline}.
void SendCommand(CQVActor* target, MessageArgs command) {
    if (target && command.Holds(0, 4)) target->HandleMessage(Args_Get<uint32_t>(command), command.At(4));
}

void SendToEachChild(CQVActor* actor, uint32_t id, MessageArgs args) {
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        if (actor->m_Children[i]) actor->m_Children[i]->HandleMessage(id, args);
    }
}

Vector3 WorldTranslation(CQVActor* actor) { return actor->GetWorldPosition(); }

void SetLocalMatrix(CQVActor* actor, const Matrix& local) {
    Matrix rotation = local;
    float lengths[3];
    for (int row = 0; row < 3; ++row) {
        lengths[row] = Vec3_Length(Vector3(local.m[row][0], local.m[row][1], local.m[row][2]));
        // A collapsed row has no direction to keep.
        if (lengths[row] == 0.0f) continue;
        for (int column = 0; column < 3; ++column) rotation.m[row][column] /= lengths[row];
    }
    actor->m_Local = local;
    actor->m_Scale = Vector3(lengths[0], lengths[1], lengths[2]);
    actor->m_Position = Vector3(local.m[3][0], local.m[3][1], local.m[3][2]);
    Quat_FromMatrix(&actor->m_Rotation, rotation);
    actor->InvalidateTransform();
}

void CollectDescendants(CQVActor* actor, MessageArgs args) {
    const uint32_t type = Args_Get<uint32_t>(args, 0);
    const uint32_t excluded = Args_Get<uint32_t>(args, 4);
    auto* out = Args_Pointer<std::vector<CQVActor*>>(MSG_COLLECT_DESCENDANTS, args, 8);
    if (out == nullptr) return;
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        CQVActor* child = actor->m_Children[i];
        if (child == nullptr || (excluded != ANY_CLASS && child->m_ClassType == excluded)) continue;
        if (type == ANY_CLASS || child->m_ClassType == type) out->push_back(child);
        child->HandleMessage(MSG_COLLECT_DESCENDANTS, args);
    }
}

int CleanUnused(CQVActor* actor) {
    int answer = 0;
    // A child that answers CLEANED stays listed until the actor system
    // deletes it; the walk goes on with the next child.
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        CQVActor* child = actor->m_Children[i];
        if (child && child->HandleMessage(MSG_CLEAN_UNUSED, nullptr) == CLEANED) answer = CLEANED;
    }
    if (actor->m_ClassType == CLASS_BASE && actor->m_Children.empty() && actor->m_Scripts.empty() &&
        actor->m_ColObjs.empty()) {
        actor->HandleMessage(MSG_DELETE, nullptr);
        return CLEANED;
    }
    return answer;
}

void ImportStoredArgs(CQVActor* actor) {
    for (TimedMessage* record : actor->m_TimedMessages) {
        auto stored = g_StoredArgSizes.find(record);
        if (stored == g_StoredArgSizes.end()) continue;
        const uint32_t storedSize = stored->second;
        g_StoredArgSizes.erase(stored);
        // Only a block stored byte for byte as it stands in memory can stay;
        // a plain one may still nest commands whose pointers were stored in
        // four bytes each.
        if (!record->args || GetCommandDesc(record->messageId).storedAsIs) continue;
        ArgBlock block;
        if (!MessageArgs_Import(actor, block, record->messageId, record->args.Data(), storedSize)) {
            // Bytes that do not make a block are not handed to a handler.
            TimedMessage_SetArgs(record, nullptr, 0);
            continue;
        }
        TimedMessage_SetArgs(record, block.data, block.size);
    }
}

void Precalculate(CQVActor* actor) {
    for (ColObj& object : actor->m_ColObjs) {
        if (object.type != COLOBJ_TYPE_BOX && object.type != COLOBJ_TYPE_ORIENTED_BOX) continue;
        if (object.boxMin.x > object.boxMax.x) std::swap(object.boxMin.x, object.boxMax.x);
        if (object.boxMin.y > object.boxMax.y) std::swap(object.boxMin.y, object.boxMax.y);
        if (object.boxMin.z > object.boxMax.z) std::swap(object.boxMin.z, object.boxMax.z);
    }
    if (!g_StoredArgSizes.empty()) ImportStoredArgs(actor);
}

void SetDrawGroup(CQVActor* actor, uint32_t id) {
    if (id == actor->m_DrawGroupId) return;
    CQVActorSystem* system = g_ActorSystem;
    if (system) system->RemoveFromDrawGroup(actor, 0);
    actor->m_DrawGroupId = id;
    if (system) system->AddToDrawGroup(actor, 0);
}

CQVActor* CurrentDrawGroup(CQVActor* actor) {
    return actor->m_DrawGroupId != DRAWGROUP_NONE ? DrawGroups_Get(actor->m_DrawGroupId) : nullptr;
}

bool HandleTransform(CQVActor* actor, uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_POSITION_ADD:
        actor->m_Position += Args_Get<Vector3>(args);
        actor->InvalidateTransform();
        return true;
    case MSG_QUATERNION_IDENTITY:
        Quat_Identity(&actor->m_Rotation);
        actor->InvalidateTransform();
        return true;
    case MSG_QUATERNION_MULTIPLY: {
        const Quaternion q = Args_Get<Quaternion>(args);
        Quat_Multiply(&actor->m_Rotation, actor->m_Rotation, q);
        actor->InvalidateTransform();
        return true;
    }
    case MSG_GET_WSPOSITION:
    case MSG_GET_CENTER_POINT:
    case MSG_GET_VISION_POINT:
        Args_Answer(args, WorldTranslation(actor));
        return true;
    case MSG_GET_WSQUATERNION: {
        Quaternion q;
        Quat_FromMatrix(&q, actor->GetWorldMatrix());
        Args_Answer(args, q);
        return true;
    }
    case MSG_SET_LOCAL_MATRIX:
        if (args) SetLocalMatrix(actor, Args_Get<Matrix>(args));
        return true;
    case MSG_SET_ORIENTATION:
        if (CQVActor* other = Args_Pointer<CQVActor>(id, args)) {
            Matrix world = other->GetWorldMatrix();
            actor->HandleMessage(MSG_SET_MATRIX, Args_Of(&world));
        }
        return true;
    case MSG_CALCULATE_MATRIX:
        actor->GetWorldMatrix();
        return true;
    case MSG_CALCULATE_INVERSEMATRIX:
        actor->GetInverseWorldMatrix();
        return true;
    case MSG_CALCULATE_AABOX:
        SendToEachChild(actor, id, args);
        return true;
    default:
        return false;
    }
}

bool HandleDrawGroup(CQVActor* actor, uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_SET_DRAWGROUP:
        SetDrawGroup(actor, Args_Get<uint32_t>(args));
        return true;
    case MSG_INVALIDATE_DRAWGROUPID:
        if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(actor, 0);
        actor->m_DrawGroupId = DRAWGROUP_NONE;
        actor->m_Flags &= ~ACTOR_IN_DRAWGROUP;
        return true;
    case MSG_GET_ASSIGN_DRAWGROUPID:
        if (actor->m_DrawGroupId != DRAWGROUP_NONE) return true;
        for (CQVActor* ancestor = actor->m_Parent; ancestor; ancestor = ancestor->m_Parent) {
            if (ancestor->m_DrawGroupId == DRAWGROUP_NONE) continue;
            actor->m_DrawGroupId = ancestor->m_DrawGroupId;
            actor->m_Flags |= ACTOR_DRAWGROUP_INHERITED;
            break;
        }
        return true;
    case MSG_CUR_DG:
        SendCommand(CurrentDrawGroup(actor), args);
        return true;
    case MSG_CUR_NEARDG:
        if (CQVActor* group = CurrentDrawGroup(actor)) group->HandleMessage(MSG_COMMAND_NEARDG, args);
        return true;
    case MSG_CUR_DG_AND_NEARDG:
        if (CQVActor* group = CurrentDrawGroup(actor)) {
            SendCommand(group, args);
            group->HandleMessage(MSG_COMMAND_NEARDG, args);
        }
        return true;
    default:
        return false;
    }
}

}  // namespace

void ActorTree_KeepStoredArgs(TimedMessage* record, uint32_t storedSize) {
    if (record) g_StoredArgSizes[record] = storedSize;
}

void ActorTree_ForgetStoredArgs(TimedMessage* record) {
    if (!g_StoredArgSizes.empty()) g_StoredArgSizes.erase(record);
}

bool ActorTree_HasStoredArgs(const TimedMessage* record, uint32_t* storedSize) {
    if (g_StoredArgSizes.empty()) return false;
    auto stored = g_StoredArgSizes.find(const_cast<TimedMessage*>(record));
    if (stored == g_StoredArgSizes.end()) return false;
    *storedSize = stored->second;
    return true;
}

int ActorTree_HandleMessage(CQVActor* actor, uint32_t id, MessageArgs args) {
    if (const RowResult row = kTreeMessages.Apply(*actor, id, args)) return row.Ends() ? row.result : 1;
    if (HandleTransform(actor, id, args) || HandleDrawGroup(actor, id, args)) return 1;
    switch (id) {
    case MSG_SET_SAVED_RECURSIVE:
        actor->m_Flags = Args_Get<uint32_t>(args) ? (actor->m_Flags | ACTOR_SAVED) : (actor->m_Flags & ~ACTOR_SAVED);
        SendToEachChild(actor, id, args);
        return 1;
    case MSG_BUILD_TREE: {
        if (actor->m_ParentId == ACTOR_ID_NONE) return 1;
        CQVActor* parent = CQVActorSystem::GetActorById(actor->m_ParentId);
        if (parent == nullptr) {
            if (actor != g_ActorSystem && g_ActorSystem) g_ActorSystem->QueueDelete(actor);
            return 1;
        }
        std::vector<CQVActor*>& siblings = parent->m_Children;
        if (std::find(siblings.begin(), siblings.end(), actor) == siblings.end()) siblings.push_back(actor);
        actor->m_Parent = parent;
        return 1;
    }
    case MSG_COLLECT_DESCENDANTS:
        CollectDescendants(actor, args);
        return 1;
    case MSG_NO_SPAWNED:
        if (auto* out = Args_Pointer<std::vector<CQVActor*>>(id, args)) {
            out->push_back(actor);
            SendToEachChild(actor, id, args);
        }
        return 1;
    case MSG_CLEAN_UNUSED:
        return CleanUnused(actor);
    case MSG_COMMANDCHILDREN:
        for (size_t i = 0; i < actor->m_Children.size(); ++i) SendCommand(actor->m_Children[i], args);
        return 1;
    case MSG_RECURSIVE_COMMAND:
        // Unlike other Command arguments, the block is passed by pointer.
        if (const MessageArgs* block = Args_Pointer<const MessageArgs>(id, args, sizeof(uint32_t))) {
            actor->HandleMessage(Args_Get<uint32_t>(args), *block);
            SendToEachChild(actor, id, args);
        }
        return 1;
    case MSG_CALLBACK_MOVED_IN_TREE:
        if (actor->m_Parent) {
            Actor_SendRecursive(actor, MSG_SET_DRAWGROUP, Args_Of(&actor->m_Parent->m_DrawGroupId));
        }
        return 1;
    case MSG_PRECALCULATE:
        Precalculate(actor);
        return 1;
    case MSG_PRECALCULATE_RECURSIVE:
        if (!(actor->m_Flags & ACTOR_PRECALCULATED) && actor->IsOperational()) {
            actor->HandleMessage(MSG_PRECALCULATE, nullptr);
            actor->m_Flags |= ACTOR_PRECALCULATED;
        }
        SendToEachChild(actor, id, nullptr);
        return 1;
    case MSG_LOAD_AND_UNLOAD_RESOURCES:
        actor->HandleMessage(MSG_LOAD_RESOURCES, nullptr);
        actor->HandleMessage(MSG_UNLOAD_RESOURCES, nullptr);
        return 1;
    case MSG_LOAD_RESOURCES_RECURSIVE:
    case MSG_UNLOAD_RESOURCES_RECURSIVE: {
        const uint32_t command = id == MSG_LOAD_RESOURCES_RECURSIVE ? MSG_LOAD_RESOURCES : MSG_UNLOAD_RESOURCES;
        for (size_t i = 0; i < actor->m_Children.size(); ++i) {
            Actor_SendRecursive(actor->m_Children[i], command, nullptr);
        }
        return 1;
    }
    default:
        return 1;
    }
}
