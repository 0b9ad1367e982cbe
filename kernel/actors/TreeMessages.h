#pragma once
// The base actor's messages for its name, transform, place in the tree,
// searches, recursive sends and draw-group membership; the pairs among them
// are the rows of kTreeMessages.

#include "kernel/actors/Actor.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/MessageIds.h"

#include <cstdint>

namespace tree_messages_detail {

// The transform's pairs move the actor; the name's set also binds a GA slot.
inline constexpr MessageRow kRows[] = {
    FieldRow<&CQVActor::m_Position>(MSG_SET_POSITION, MSG_GET_POSITION).Then<&CQVActor::InvalidateTransform>(),
    FieldRow<&CQVActor::m_Scale>(MSG_SET_SCALE, MSG_GET_SCALE).Then<&CQVActor::InvalidateTransform>(),
    FieldRow<&CQVActor::m_Rotation>(MSG_SET_QUATERNION, MSG_GET_QUATERNION).Then<&CQVActor::InvalidateTransform>(),
    FieldRow<&CQVActor::m_DeltaPosition>(MSG_SET_DELTA_POSITION, MSG_GET_DELTA_POSITION),
    MemberRow<&CQVActor::GetWorldMatrix, &CQVActor::SetWorldMatrix>(MSG_SET_MATRIX, MSG_GET_MATRIX).WholeValue(),
    FieldRow<&CQVActor::m_Name>(MSG_SET_NAME, MSG_GET_NAME).StoredBy<&CQVActor::OnSetName>(),
    MemberRow<&CQVActor::InheritsDrawGroupId>(0, MSG_GET_INHERIT_DRAWGROUPID),
};

}  // namespace tree_messages_detail

inline constexpr MessageTable kTreeMessages{tree_messages_detail::kRows};

// Handles one of these messages for the actor; the handler's answer, 1 for
// ids that are not among them.
int ActorTree_HandleMessage(CQVActor* actor, uint32_t id, MessageArgs args);

// The stored bytes of a saved timed message's block as read from a file;
// "Precalculate" turns them into the run-time block once the actors they
// name exist.
void ActorTree_KeepStoredArgs(struct TimedMessage* record, uint32_t storedSize);
// Drops the note for a record being released, so that a later record at the
// same address is never taken for a stored block.
void ActorTree_ForgetStoredArgs(struct TimedMessage* record);
// True while the record's block is still the stored form read from a file,
// with its size.
bool ActorTree_HasStoredArgs(const struct TimedMessage* record, uint32_t* storedSize);
