#include "actors/characters/Path.h"

#include "actors/characters/PathNode.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"


namespace {

enum : uint32_t { PATH_CIRCULAR = 0 };

constexpr MessageRow kPathRows[] = {
    SheetRow("Path Properties", PROP_TITLE),
    SheetRow("Path Properties", PROP_SEPARATOR),
    FieldRow<&CQVPath::m_Predefined>(MSG_SET_PATH_PREDEFINED, MSG_GET_PATH_PREDEFINED, "Create:|Circular|0|Tree|2|",
                                     PROP_CHOICE)
        .Then<&CQVPath::BuildPredefined>(),
    FieldRow<&CQVPath::m_Speed>(MSG_SET_PATH_SPEED, MSG_GET_PATH_SPEED, "Speed:", PROP_REAL).StoredBy<&CQVPath::SetSpeed>(),
    BoolRow<&CQVPath::m_UseNodeTime>(MSG_SET_USE_NODETIME_FOR_PAUSE, MSG_GET_USE_NODETIME_FOR_PAUSE,
                                     "Use Nodetime Pause:", PROP_CHECK),
    FieldRow<&CQVPath::m_StopTime>(MSG_SET_PATHNODE_TIME, MSG_GET_PATHNODE_TIME, "Time:", PROP_TIME),
    SheetRow("Reset:", PROP_BUTTON, MSG_PATH_RESET),
};

// The stops and the object are not copied: a copy walks its own tree from
// its own start point once it is precalculated.
constexpr MessageTable kPathMessages{kPathRows, CopiedFields<&CQVPath::m_From, &CQVPath::m_To, &CQVPath::m_SegmentDuration,
                                                             &CQVPath::m_WaitLeft, &CQVPath::m_Forward>()};

constexpr uint32_t kReservedWords = 5;

CQVActor* MakeChild(uint32_t type, const char* name, CQVActor* parent) {
    return g_ActorSystem ? g_ActorSystem->CreateActor(type, name, nullptr, parent, ACTOR_ID_ANY, 1, 1) : nullptr;
}

CQVActor* MakeNode(CQVActor* parent, const Vector3& position) {
    CQVActor* node = MakeChild(CLASS_PATH_NODE, "Node", parent);
    if (node) node->HandleMessage(MSG_SET_POSITION, Args_Of(&position));
    return node;
}

}  // namespace

CQVPath::CQVPath() {
    m_ClassType = CLASS_PATH;
    m_MovingObject.SetOwner(this);
    m_CurrentNode.SetOwner(this);
    m_NextNode.SetOwner(this);
}

void CQVPath::SetSpeed(float speed) { m_Speed = speed == 0.0f ? 1.0f : speed; }

void CQVPath::Restart() {
    m_CurrentNode.SetTarget(this);
    m_NextNode.SetTarget(nullptr);
    m_ActionTime = 0.0f;
    ChooseNextNode();
}

void CQVPath::BuildPredefined() {
    while (!m_Children.empty()) {
        CQVActor* last = m_Children.back();
        if (last == nullptr || g_ActorSystem == nullptr || !g_ActorSystem->DeleteActor(last)) break;
    }
    if (m_Predefined != PATH_CIRCULAR) return;
    CQVActor* first = MakeNode(this, Vector3(100.0f, 0.0f, 0.0f));
    CQVActor* second = first ? MakeNode(first, Vector3(100.0f, 0.0f, 100.0f)) : nullptr;
    CQVActor* third = second ? MakeNode(second, Vector3(0.0f, 0.0f, 100.0f)) : nullptr;
    if (third == nullptr) return;
    const uint32_t loop = PATHNODE_END_LOOP;
    third->HandleMessage(MSG_SET_PATHNODE_ENDTYPE, Args_Of(&loop));
    CQVActor* moving = MakeChild(CLASS_BASE, "Moving Object", this);
    CQVActor* animation = moving ? MakeChild(CLASS_MATRIX_ANIMATION, "Animation", moving) : nullptr;
    if (animation) MakeChild(CLASS_OBJECT, "Object", animation);
    m_MovingObject.SetTarget(moving);
    Restart();
}

CQVActor* CQVPath::PickSuccessor(CQVActor* node) {
    // The draw from a bag holding each child node weight times, counted
    // through instead of filled: weights come from files.
    uint64_t tickets = 0;
    for (const CQVActor* child : node->m_Children) {
        if (child && child->m_ClassType == CLASS_PATH_NODE) tickets += static_cast<const CQVPathNode*>(child)->m_RandWeight;
    }
    if (tickets > 0) {
        uint64_t ticket = static_cast<uint64_t>(Random_Next()) % tickets;
        for (CQVActor* child : node->m_Children) {
            if (child == nullptr || child->m_ClassType != CLASS_PATH_NODE) continue;
            const uint32_t weight = static_cast<const CQVPathNode*>(child)->m_RandWeight;
            if (ticket < weight) return child;
            ticket -= weight;
        }
    }
    // No stop to draw from the start point: the Path has no route, and its
    // object stays at the start.
    if (node == this) return nullptr;
    m_Forward = 0;
    const uint32_t end =
        node->m_ClassType == CLASS_PATH_NODE ? static_cast<CQVPathNode*>(node)->m_EndType : PATHNODE_END_REVERSE;
    switch (end) {
    case PATHNODE_END_LOOP:
        m_Forward = 1;
        return this;
    case PATHNODE_END_JUMP_BACK:
        m_Forward = 1;
        m_CurrentNode.SetTarget(this);
        return PickSuccessor(this);
    default:
        return node->m_Parent;
    }
}

CQVActor* CQVPath::StepBack(CQVActor* node) {
    if (node == this) {
        m_Forward = 1;
        return PickSuccessor(this);
    }
    if (node->m_Parent && node->m_Parent->m_ClassType == CLASS_PATH_NODE) return node->m_Parent;
    m_Forward = 1;
    return this;
}

void CQVPath::ChooseNextNode() {
    // A stop deleted under the walk: it starts again from the start point.
    if (m_CurrentNode.target == nullptr) m_CurrentNode.SetTarget(this);
    CQVActor* next = m_Forward ? PickSuccessor(m_CurrentNode.target) : StepBack(m_CurrentNode.target);
    m_NextNode.SetTarget(next);
    CQVActor* current = m_CurrentNode.target;
    m_From = current->GetWorldPosition();
    if (next == nullptr) {
        // No route: the object rests where it is, at the start point.
        m_To = m_From;
        m_SegmentDuration = 0.0f;
        return;
    }
    m_To = next->GetWorldPosition();
    m_SegmentDuration = Vec3_Length(m_From - m_To) / m_Speed;
}

void CQVPath::Update() {
    if (!IsOperational()) return;
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
    const float dt = m_Clock->dt;
    CQVActor* object = m_MovingObject.target;
    if (m_WaitLeft > 0.0f) {
        m_WaitLeft -= dt;
    } else if (object) {
        // The segment time: the base actor's running time, 0 at each stop.
        m_ActionTime += dt;
        if (m_ActionTime > m_SegmentDuration) {
            m_CurrentNode.SetTarget(m_NextNode.target);
            ChooseNextNode();
            m_ActionTime = 0.0f;
            if (m_UseNodeTime) {
                float wait = 0.0f;
                m_CurrentNode.target->HandleMessage(MSG_GET_PATHNODE_TIME, Args_Of(&wait));
                m_WaitLeft = wait;
            }
        }
        // Zero-length segments stay at their start instead of dividing 0 by 0.
        const float f = m_SegmentDuration > 0.0f ? m_ActionTime / m_SegmentDuration : 0.0f;
        const Vector3 world = m_From + (m_To - m_From) * f;
        Vector3 local;
        Vec3_TransformPoint(&local, world, GetInverseWorldMatrix());
        if (CQVActor* moved = m_MovingObject.target) moved->HandleMessage(MSG_SET_POSITION, Args_Of(&local));
    }
    CQVActor::Update();
}

int CQVPath::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kPathMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_PRECALCULATE:
        for (CQVActor* child : m_Children) {
            if (child && child->m_ClassType != CLASS_PATH_NODE) {
                m_MovingObject.SetTarget(child);
                break;
            }
        }
        Restart();
        break;
    case MSG_PATH_RESET:
        Restart();
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVPath*>(Args_Pointer<CQVActor>(id, args)); source && source != this) {
            kPathMessages.Copy(*this, *source);
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVPath::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        WordBlock block;
        block.Word(&m_Speed);
        block.Word(&m_UseNodeTime);
        block.Word(&m_StopTime);
        for (uint32_t i = 0; i < kReservedWords; ++i) block.Reserved();
        block.Transfer(archive);
    }
    if (archive->direction == ARCHIVE_READING && archive->HasFailed()) return 0;
    return 1;
}

void CQVPath::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_PATH];
    record.Define("Path", "Path", {CLASS_BASE, CLASS_PATH});
    kPathMessages.AddSheet(record);
}
