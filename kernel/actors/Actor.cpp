#include "kernel/actors/Actor.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/TimedMessagePass.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cstdarg>

int (*g_ScriptExecute)(CQVScript* script, CQVActor* caller) = nullptr;

namespace {

CQVActor* Search(CQVActor* actor, uint32_t message, const char* name) {
    if (actor == nullptr) return nullptr;
    ActorSearchByName args{name, nullptr};
    actor->HandleMessage(message, Args_Of(&args));
    return args.result;
}

}  // namespace

alignas(16) uint8_t g_MessageArgBuffer[MESSAGE_ARG_BUFFER_SIZE];

CQVActor::CQVActor()
    : m_Scale(1.0f, 1.0f, 1.0f), m_Position(0.0f, 0.0f, 0.0f), m_Rotation{0.0f, 0.0f, 0.0f, 1.0f},
      m_PrevPosition(0.0f, 0.0f, 0.0f), m_PrevRotation{0.0f, 0.0f, 0.0f, 1.0f}, m_PrevWorldPosition(0.0f, 0.0f, 0.0f),
      m_DeltaPosition(0.0f, 0.0f, 0.0f), m_Clock(&g_GlobalClock) {
    Mat4_Identity(&m_World);
    Mat4_Identity(&m_InvWorld);
    Mat4_Identity(&m_Local);
}

CQVActor::~CQVActor() {
    ClearGASlot();
    TimedMessages_ForgetActor(this);
    if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(this, 0);

    // Release from the end: the release searches the vector from its end.
    while (!m_TimedMessages.empty()) {
        TimedMessage* record = m_TimedMessages.back();
        if (record->actor == this && g_ActorSystem) {
            g_ActorSystem->ReleaseTimedMessage(record);
            if (!m_TimedMessages.empty() && m_TimedMessages.back() == record) m_TimedMessages.pop_back();
        } else {
            m_TimedMessages.pop_back();
        }
    }
    m_BaseProcessRecord = nullptr;

    if (m_Flags & ACTOR_DELETE_PENDING) {
        auto& pending = g_PendingDeletes;
        auto it = std::find(pending.begin(), pending.end(), this);
        if (it != pending.end()) pending.erase(it);
        m_Flags &= ~ACTOR_DELETE_PENDING;
    }

    delete m_SimParams;
    m_SimParams = nullptr;
    delete m_SimState;
    m_SimState = nullptr;

    // One link at a time: an owner told of one link may drop others, which
    // then leave this list themselves.
    while (!m_BackLinks.empty()) {
        ActorLink* link = m_BackLinks.front();
        m_BackLinks.erase(m_BackLinks.begin());
        link->trace += "  _ADD:";
        link->trace += m_Name;
        link->target = nullptr;
        CQVActor* owner = link->owner;
        // A dying actor cannot act on its own links.
        if (owner && owner != this) owner->HandleMessage(MSG_INVALID_ACTORPOINTER, Args_Of(&link));
    }

    m_CommandSpies.clear();

    for (size_t i = 0; i < m_Children.size(); ++i) {
        CQVActor* child = m_Children[i];
        if (child == nullptr) continue;
        child->m_Parent = nullptr;
        if (CQVActorSystem::GetTableSlot(child->m_Id) == child) {
            CQVActorSystem::ClearTableSlot(child->m_Id);
            delete child;
        }
    }
    m_Children.clear();

    // Nothing may find this actor through the table once it is gone.
    if (CQVActorSystem::GetTableSlot(m_Id) == this) CQVActorSystem::ClearTableSlot(m_Id);
}

void CQVActor::CopyFrom(const CQVActor& source) {
    if (&source == this) return;
    // The class type is not copied: a copy is of the class it was created
    // as, and code that goes by the class type must find that class.
    m_Id = source.m_Id;
    m_Name = source.m_Name;
    m_Scale = source.m_Scale;
    m_Position = source.m_Position;
    m_Rotation = source.m_Rotation;
    m_PrevPosition = source.m_PrevPosition;
    m_PrevRotation = source.m_PrevRotation;
    m_World = source.m_World;
    m_InvWorld = source.m_InvWorld;
    m_Local = source.m_Local;
    m_PrevWorldPosition = source.m_PrevWorldPosition;
    m_DeltaPosition = source.m_DeltaPosition;
    m_Parent = source.m_Parent;
    m_ParentId = source.m_ParentId;
    m_Children = source.m_Children;
    m_Clock = source.m_Clock;
    m_ColObjs = source.m_ColObjs;
    // The simulation records are copied, never shared.
    delete m_SimState;
    m_SimState = source.m_SimState ? new SimState(*source.m_SimState) : nullptr;
    delete m_SimParams;
    m_SimParams = source.m_SimParams ? new SimParams(*source.m_SimParams) : nullptr;
    m_ActionFlags = source.m_ActionFlags;
    m_KillDelay = source.m_KillDelay;
    m_KillTime = source.m_KillTime;
    m_ActionStartDelay = source.m_ActionStartDelay;
    m_ActionStartTime = source.m_ActionStartTime;
    m_ActionStopDelay = source.m_ActionStopDelay;
    m_ActionStopTime = source.m_ActionStopTime;
    m_ActionTime = source.m_ActionTime;
    m_UserWord = source.m_UserWord;
    m_CommandSpies.clear();
    for (const auto& spy : source.m_CommandSpies) {
        auto link = std::make_unique<ActorLink>();
        link->SetTarget(spy->target);
        m_CommandSpies.push_back(std::move(link));
    }
    m_LastUpdateTime = source.m_LastUpdateTime;
    m_Scripts = source.m_Scripts;
    m_DrawGroupId = source.m_DrawGroupId;
    // The copy is not queued for deletion even when its source is.
    m_Flags = source.m_Flags & ~ACTOR_DELETE_PENDING;
    m_Activity = source.m_Activity;
    // Back-links, pending timed messages and the BaseProcess record belong
    // to the source actor; a copy never holds them.
    m_SelectedColObj = source.m_SelectedColObj;
}


void CQVActor::Process() {}

void CQVActor::PrepareRender() {}

void CQVActor::Update() {
    if (!IsOperational()) return;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    m_LastUpdateTime = clock->time;
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->Update();
    }
}

void CQVActor::UpdateClock(ActorClock* clock) {
    float source = 1.0f;
    CQVActorSystem* system = g_ActorSystem;
    if (system && system->m_PauseWord) {
        source = 0.0f;
    } else if (clock->flags & CLOCK_GLOBAL_SPEED) {
        source = system ? system->m_GlobalSpeedMultiplier : 1.0f;
    } else {
        // The clock's owner runs on a clock whose owner is the parent; the
        // parent's own clock gives the scale. A clock without that chain
        // runs at its own scale.
        CQVActor* owner = clock->owner;
        ActorClock* ownerClock = owner ? owner->m_Clock : nullptr;
        CQVActor* parent = ownerClock ? ownerClock->owner : nullptr;
        ActorClock* parentClock = parent ? parent->m_Clock : nullptr;
        if (parentClock && parentClock != clock) {
            if (!(parentClock->flags & CLOCK_MANUAL) && parentClock->frameStamp != g_FrameNumber) {
                UpdateClock(parentClock);
            }
            source = parentClock->effectiveScale;
        }
    }
    clock->effectiveScale = source * clock->ownScale;
    clock->dt = clock->effectiveScale * g_FrameTime;
    clock->olderTime = clock->previousTime;
    clock->previousTime = clock->time;
    clock->time = clock->time + clock->dt;
    clock->frameStamp = g_FrameNumber;
}

void CQVActor::UpdateWorldMatrix() {
    if (!(m_Flags & ACTOR_LOCAL_VALID)) {
        Matrix scaling;
        Matrix rotation;
        Mat4_Scaling(&scaling, m_Scale.x, m_Scale.y, m_Scale.z);
        Mat4_FromQuaternion(&rotation, m_Rotation);
        Mat4_Multiply(&m_Local, scaling, rotation);
        m_Local.m[3][0] = m_Position.x;
        m_Local.m[3][1] = m_Position.y;
        m_Local.m[3][2] = m_Position.z;
        m_Flags |= ACTOR_LOCAL_VALID;
    }
    if (m_Parent == nullptr) {
        m_World = m_Local;
    } else {
        if (!(m_Parent->m_Flags & ACTOR_WORLD_VALID)) m_Parent->UpdateWorldMatrix();
        Mat4_Multiply(&m_World, m_Local, m_Parent->m_World);
    }
    m_Flags |= ACTOR_WORLD_VALID;
}

void CQVActor::UpdateInverseWorldMatrix() {
    if (!(m_Flags & ACTOR_WORLD_VALID)) UpdateWorldMatrix();
    Mat4_Inverse(&m_InvWorld, m_World);
    m_Flags |= ACTOR_INVERSE_VALID;
}

const Matrix& CQVActor::GetWorldMatrix() {
    if (!(m_Flags & ACTOR_WORLD_VALID)) UpdateWorldMatrix();
    return m_World;
}

const Matrix& CQVActor::GetInverseWorldMatrix() {
    if (!(m_Flags & ACTOR_INVERSE_VALID)) UpdateInverseWorldMatrix();
    return m_InvWorld;
}

Vector3 CQVActor::GetWorldPosition() {
    const Matrix& world = GetWorldMatrix();
    return Vector3(world.m[3][0], world.m[3][1], world.m[3][2]);
}

void CQVActor::InvalidateTransform() {
    m_Flags &= ~(ACTOR_LOCAL_VALID | ACTOR_WORLD_VALID | ACTOR_INVERSE_VALID);
    m_Flags |= ACTOR_MOVED;
    if (m_BaseProcessRecord == nullptr && IsOperational() && g_ActorSystem) {
        m_BaseProcessRecord =
            g_ActorSystem->ScheduleMessage(this, MSG_BASEPROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 3);
    }
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->InvalidateTransform();
    }
}

void CQVActor::BaseProcess() {
    if (!IsOperational()) return;
    const bool moved = (m_Flags & ACTOR_MOVED) != 0;
    const bool simulated = (m_Flags & ACTOR_SIMULATED) != 0;
    if (moved) {
        ActorClock* clock = m_Clock;
        if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
        const Vector3 world = GetWorldPosition();
        if (clock->previousTime == m_LastUpdateTime) {
            if (!simulated && (m_Flags & ACTOR_COLLISION_ENABLED)) m_DeltaPosition = world - m_PrevWorldPosition;
            if (m_SimState) m_SimState->previousPosition = m_PrevPosition;
        }
        m_PrevPosition = m_Position;
        m_PrevRotation = m_Rotation;
        m_PrevWorldPosition = world;
    } else if (!simulated) {
        m_DeltaPosition = Vector3(0.0f, 0.0f, 0.0f);
    }
    if (simulated) InvalidateTransform();

    const bool movedLastStep = (m_Flags & ACTOR_MOVED_LAST_STEP) != 0;
    if (movedLastStep != moved && g_ActorSystem) {
        // The draw group files static and moving actors apart.
        g_ActorSystem->RemoveFromDrawGroup(this, 0);
        if (moved) {
            m_Flags &= ~ACTOR_STATIC;
        } else {
            m_Flags |= ACTOR_STATIC;
        }
        g_ActorSystem->AddToDrawGroup(this, 0);
    }
    if (moved) {
        m_Flags |= ACTOR_MOVED_LAST_STEP;
    } else {
        m_Flags &= ~ACTOR_MOVED_LAST_STEP;
    }

    if (moved) {
        // Simulated movers are stepped by the collision pass from the mover lists.
        if ((m_Flags & ACTOR_COLLISION_ENABLED) && m_SimState) {
            m_SimState->contactCount = 0;
            m_SimState->contacts.clear();
        }
        m_Flags &= ~ACTOR_MOVED;
    } else if (!simulated) {
        CancelTimedMessage(m_BaseProcessRecord);
        m_BaseProcessRecord = nullptr;
    }
}

void CQVActor::SetWorldRotation(const Quaternion& q) {
    Matrix matrix;
    Mat4_FromQuaternion(&matrix, q);
    const Vector3 world = GetWorldPosition();
    matrix.m[3][0] = world.x;
    matrix.m[3][1] = world.y;
    matrix.m[3][2] = world.z;
    HandleMessage(MSG_SET_MATRIX, Args_Of(&matrix));
}

TimedMessage* CQVActor::FindTimedMessage(uint32_t messageId) const {
    for (TimedMessage* record : m_TimedMessages) {
        if (record->messageId == messageId) return record;
    }
    return nullptr;
}

TimedMessage* CQVActor::FindTimedMessageWithArg(uint32_t messageId, uint32_t value) const {
    for (TimedMessage* record : m_TimedMessages) {
        if (record->messageId == messageId && record->args && Args_Get<uint32_t>(record->args) == value) {
            return record;
        }
    }
    return nullptr;
}

TimedMessage* CQVActor::FindTimedMessageByTag(uint8_t tag) const {
    for (TimedMessage* record : m_TimedMessages) {
        if (record->tag == tag) return record;
    }
    return nullptr;
}

void CQVActor::CancelTimedMessages(uint32_t messageId) {
    if (!g_ActorSystem) return;
    for (size_t i = 0; i < m_TimedMessages.size(); ++i) {
        if (m_TimedMessages[i]->messageId == messageId) g_ActorSystem->CancelTimedMessage(m_TimedMessages[i]);
    }
}

void CQVActor::CancelTimedMessagesByTag(uint8_t tag) {
    if (!g_ActorSystem) return;
    for (size_t i = 0; i < m_TimedMessages.size(); ++i) {
        if (m_TimedMessages[i]->tag == tag) g_ActorSystem->CancelTimedMessage(m_TimedMessages[i]);
    }
}

void CQVActor::CancelTimedMessage(TimedMessage* record) {
    if (record && g_ActorSystem) g_ActorSystem->CancelTimedMessage(record);
}

TimedMessage* CQVActor::ScheduleMessage(uint32_t messageId, MessageArgs args, uint32_t flags, float delay,
                                        float duration, float period) {
    if (!g_ActorSystem) return nullptr;
    return g_ActorSystem->ScheduleMessage(this, messageId, args, flags, delay, duration, period, nullptr, 1);
}

void CQVActor::RescheduleTimedMessage(TimedMessage* record, float delay) {
    if (record == nullptr) return;
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
    record->nextFire = m_Clock->time + delay;
    TimedMessages_NoteReschedule(record);
}

float CQVActor::GetTimedMessageRemaining(TimedMessage* record) {
    if (record == nullptr) return 0.0f;
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
    return record->nextFire - m_Clock->time;
}

void CQVActor::EnableMarkedColObjs(bool on) {
    for (ColObj& object : m_ColObjs) {
        if (!(object.flags & COLOBJ_MARKED)) continue;
        object.flags = on ? (object.flags | COLOBJ_ACTIVE) : (object.flags & ~COLOBJ_ACTIVE);
    }
}

void CQVActor::EnableUnmarkedColObjs(bool on) {
    for (ColObj& object : m_ColObjs) {
        if (object.flags & COLOBJ_MARKED) continue;
        object.flags = on ? (object.flags | COLOBJ_ACTIVE) : (object.flags & ~COLOBJ_ACTIVE);
    }
}

void CQVActor::SendToChildren(uint32_t id, MessageArgs args) {
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->HandleMessage(id, args);
    }
}

int CQVActor::SendMessageArgs(uint32_t id, ...) {
    const CommandDesc& desc = GetCommandDesc(id);
    uint8_t* out = g_MessageArgBuffer;
    size_t position = 0;
    va_list list;
    va_start(list, id);
    auto writeText = [&](const char* text, size_t field) {
        // Never past the buffer, nor past a fixed field: the text is cut and
        // still terminated.
        const size_t room = std::min(field, MESSAGE_ARG_BUFFER_SIZE - position);
        if (room == 0) return;
        const size_t length = std::min(text ? std::strlen(text) : 0, room - 1);
        if (length) std::memcpy(out + position, text, length);
        out[position + length] = 0;
        position += field == SIZE_MAX ? length + 1 : field;
    };
    for (uint32_t type : desc.argTypes) {
        switch (type) {
        case VT_UINT32:
        case VT_INT32:
        case VT_BOOL:
        case VT_COMMANDID: {
            const uint32_t word = va_arg(list, uint32_t);
            if (position + 4 > MESSAGE_ARG_BUFFER_SIZE) break;
            std::memcpy(out + position, &word, 4);
            position += 4;
            break;
        }
        case VT_REAL: {
            const float value = static_cast<float>(va_arg(list, double));
            if (position + 4 > MESSAGE_ARG_BUFFER_SIZE) break;
            std::memcpy(out + position, &value, 4);
            position += 4;
            break;
        }
        case VT_POINTER:
        case VT_STRINGPTR: {
            void* pointer = va_arg(list, void*);
            if (position + sizeof(pointer) > MESSAGE_ARG_BUFFER_SIZE) break;
            std::memcpy(out + position, &pointer, sizeof(pointer));
            position += sizeof(pointer);
            break;
        }
        case VT_STRING128:
            writeText(va_arg(list, const char*), 128);
            break;
        case VT_STRING:
            writeText(va_arg(list, const char*), SIZE_MAX);
            break;
        case VT_COLOR: {
            const ColorValue color = va_arg(list, ColorValue);
            const uint32_t packed = Color_ToArgb(color.r, color.g, color.b, color.a);
            if (position + 4 > MESSAGE_ARG_BUFFER_SIZE) break;
            std::memcpy(out + position, &packed, 4);
            position += 4;
            break;
        }
        default:
            break;
        }
    }
    va_end(list);
    return HandleMessage(id, Args_Of(g_MessageArgBuffer, position));
}

CQVActor* CQVActor::FindChild(const char* name) { return Search(this, MSG_FIND_CHILD_BY_NAME, name); }

CQVActor* CQVActor::FindDescendantByName(CQVActor* actor, const char* name) {
    return Search(actor, MSG_FIND_DESCENDANT_BY_NAME, name);
}

CQVActor* CQVActor::FindChildByName(CQVActor* actor, const char* name) {
    return Search(actor, MSG_FIND_CHILD_BY_NAME, name);
}

CQVActor* CQVActor::FindDescendantByClass(CQVActor* actor, uint32_t type) {
    if (actor == nullptr) return nullptr;
    ActorSearchByClass args{type, nullptr};
    actor->HandleMessage(MSG_FIND_DESCENDANT_BY_CLASS, Args_Of(&args));
    return args.result;
}

void CQVActor::ClearGASlot() {
    if (!(m_Flags & ACTOR_HOLDS_GA_SLOT)) return;
    const int slot = Script_ParseGAIndex(m_Name.c_str());
    if (slot > 0 && slot < GA_SLOT_COUNT && g_GAVariables[slot] == this) g_GAVariables[slot] = nullptr;
    m_Flags &= ~ACTOR_HOLDS_GA_SLOT;
}

float Random_SignedUnit() { return static_cast<float>(Random_Next() % 10000) * 0.0002f - 1.0f; }

float Random_Unit() { return static_cast<float>(Random_Next() % 10000) * 0.0001f; }

void CQVActor::SetWorldMatrix(const Matrix& m) {
    Matrix local = m;
    if (m_Parent) {
        m_Parent->GetWorldMatrix();
        Mat4_Multiply(&local, m, m_Parent->GetInverseWorldMatrix());
    }
    m_Position = Vector3(local.m[3][0], local.m[3][1], local.m[3][2]);
    Quat_FromMatrix(&m_Rotation, local);
    InvalidateTransform();
    m_Local = local;
    m_World = m;
    m_Flags |= ACTOR_LOCAL_VALID | ACTOR_WORLD_VALID;
}
