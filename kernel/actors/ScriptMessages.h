#pragma once
// The base actor's messages that run scripts, send commands under
// conditions or by chance, copy values between actors and keep the command
// spies. The base handler passes every id it does not know here.

#include <cstdint>

#include "kernel/actors/ArgAccess.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageIds.h"

class CQVActor;
struct CQVScript;

// Handles the script, condition, chance, copy and spy messages; 0 when the
// id is none of them.
int Actor_HandleScriptMessage(CQVActor* actor, uint32_t id, MessageArgs args);

// Runs, in vector order, every script of the actor that bears the name, with
// the given caller. Scripts may add or remove scripts while they run.
void Actor_RunScriptsNamed(CQVActor* actor, const char* name, CQVActor* caller);
