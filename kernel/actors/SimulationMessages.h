#pragma once
// The base actor's collision-object messages (create, select, edit, enable)
// and its simulation and force messages.

#include <cstdint>

class CQVActor;
#include "kernel/actors/ArgAccess.h"

// The simulation parameter pairs without registered names: each set id is
// followed by its get id.
constexpr uint32_t SIM_MSG_SET_WORD1 = 304;
constexpr uint32_t SIM_MSG_SET_WORDS2 = 306;
constexpr uint32_t SIM_MSG_SET_WORDS5 = 308;
constexpr uint32_t SIM_MSG_SET_WORD8 = 310;
constexpr uint32_t SIM_MSG_SET_FLAG_BIT0 = 324;
constexpr uint32_t SIM_MSG_GET_FLAG_BIT0 = 325;

// True when the id is one of these messages (it has then been handled).
bool Actor_HandleCollisionMessage(CQVActor* actor, uint32_t id, MessageArgs args);
