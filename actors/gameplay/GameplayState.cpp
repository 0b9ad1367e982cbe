#include "actors/gameplay/GameplayState.h"

GameplayState g_GameplayState;

void Gameplay_Reset() { g_GameplayState = GameplayState{}; }
