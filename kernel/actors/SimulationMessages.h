#pragma once
// The base actor's collision-object messages (create, select, edit, enable)
// and its simulation and force messages; the pairs among them are the rows
// of kCollisionMessages.

#include "kernel/actors/Actor.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"

#include <cstdint>

namespace simulation_messages_detail {

template <size_t Word>
constexpr MessageRow SimReal(uint32_t setId, uint32_t getId) {
    return FieldRow<&CQVActor::SimParamsBlock, &SimParams::words, Word>(setId, getId)
        .template As<float>()
        .WholeValue();
}

// The selected object's values (without a selection nothing), the
// collision switch of the actor, and the words of the simulation block.
inline constexpr MessageRow kRows[] = {
    FieldRow<&CQVActor::SelectedColObj, &ColObj::name>(MSG_SET_COLLISION_NAME, MSG_GET_COLLISION_NAME).WholeValue(),
    FlagRow<&CQVActor::SelectedColObj, &ColObj::flags>(MSG_SET_COLLISION_ACTIVE, MSG_GET_COLLISION_ACTIVE,
                                                       COLOBJ_ACTIVE),
    FlagRow<&CQVActor::SelectedColObj, &ColObj::flags>(MSG_SET_COLLISION_SYNC_FROM_MESH,
                                                       MSG_GET_COLLISION_SYNC_FROM_MESH, COLOBJ_GENERATED),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::type>(MSG_SET_COLLISION_TYPE, MSG_GET_COLLISION_TYPE),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::fill>(MSG_SET_COLLISION_FILL, MSG_GET_COLLISION_FILL),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::physique>(MSG_SET_COLLISION_PHYSIQUE, MSG_GET_COLLISION_PHYSIQUE),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::groups>(MSG_SET_COLLISION_GROUPS, MSG_GET_COLLISION_GROUPS),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::groupsReceive>(MSG_SET_COLLISION_GROUPS_RECEIVE,
                                                                MSG_GET_COLLISION_GROUPS_RECEIVE),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::groupsExclude>(MSG_SET_COLLISION_GROUPS_EXCLUDE,
                                                                MSG_GET_COLLISION_GROUPS_EXCLUDE),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::hitEffectGroup>(MSG_SET_COLLISION_GHE_82, MSG_GET_COLLISION_GHE),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::boxMin>(MSG_SET_BOX_MIN, MSG_GET_BOX_MIN),
    FieldRow<&CQVActor::SelectedColObj, &ColObj::boxMax>(MSG_SET_BOX_MAX, MSG_GET_BOX_MAX),
    FlagRow<&CQVActor::m_Flags>(MSG_SET_COLLISION_ENABLE, MSG_GET_COLLISION_ENABLE, ACTOR_COLLISION_ENABLED)
        .StoredBy<&CQVActor::SetCollisionEnabled>(),
    // Words 0 to 15; a value the block does not hold whole is not taken.
    FieldRow<&CQVActor::SimParamsBlock, &SimParams::words, 0>(MSG_SET_SIM_STYLE, MSG_GET_SIM_STYLE).WholeValue(),
    SimReal<1>(MSG_SET_SIM_WEIGHT, MSG_GET_SIM_WEIGHT),
    FieldRow<&CQVActor::SimParamsBlock, &SimParams::words, 2>(MSG_SET_SIM_VECTOR_2, MSG_GET_SIM_VECTOR_2)
        .As<Vector3>()
        .WholeValue(),
    FieldRow<&CQVActor::SimParamsBlock, &SimParams::words, 5>(MSG_SET_SIM_AIR_RESISTANCE, MSG_GET_SIM_AIR_RESISTANCE)
        .As<Vector3>()
        .WholeValue(),
    SimReal<8>(MSG_SET_SIM_AIR_RESISTANCE_ROT, MSG_GET_SIM_AIR_RESISTANCE_ROT),
    SimReal<9>(MSG_SET_SIM_GRAVITY_MUL, MSG_GET_SIM_GRAVITY_MUL),
    SimReal<10>(MSG_SET_SIM_FRICTION, MSG_GET_SIM_FRICTION),
    SimReal<11>(MSG_SET_SIM_BOUNCE_SLIDE, MSG_GET_SIM_BOUNCE_SLIDE),
    SimReal<12>(MSG_SET_SIM_SLIDE_REST, MSG_GET_SIM_SLIDE_REST),
    SimReal<13>(MSG_SET_SIM_STOP_REST, MSG_GET_SIM_STOP_REST),
    SimReal<14>(MSG_SET_SIM_STICKY, MSG_GET_SIM_STICKY),
    FlagRow<&CQVActor::SimParamsBlock, &SimParams::words, SIM_WORD_FLAGS>(MSG_SET_SIM_DIRECTION_BY_MOVEMENT,
                                                                          MSG_GET_SIM_DIRECTION_BY_MOVEMENT, 0x1),
};

}  // namespace simulation_messages_detail

inline constexpr MessageTable kCollisionMessages{simulation_messages_detail::kRows};

// True when the id is one of these messages (it has then been handled).
bool Actor_HandleCollisionMessage(CQVActor* actor, uint32_t id, MessageArgs args);
