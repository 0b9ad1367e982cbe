#include "actors/characters/CharactersState.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/TimedMessage.h"

#include <bit>

CharactersState g_CharactersState;

void SlowMotion_Reset() {
    g_CharactersState.slowMotion = SlowMotionState{};
    ActorClock* clock = g_ActorSystem ? g_ActorSystem->m_Clock : &g_GlobalClock;
    if (clock == nullptr) return;
    clock->ownScale = 1.0f;
    clock->unused = std::bit_cast<uint32_t>(1.0f);  // the simulation multiplier
    clock->effectiveScale = 1.0f;
}

void Characters_Reset() { g_CharactersState = CharactersState{}; }
