#pragma once
// The script language: statements `operand.keyword(arguments);` compile into
// a code of words and bytes that the interpreter walks, resolving each
// target at run time and sending it the message with its arguments packed
// as the message's descriptor lists them.

#include <cstdint>

#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ScriptBuffer.h"

class CQVActor;

// The word that ends compiled code: the bytes '_', 'E', 'n', 'd'.
constexpr uint32_t SCRIPT_END = 0x646E455F;

// First byte of an operand: '!' when the source operand began with "[safe]".
constexpr uint8_t SCRIPT_OPERAND_PLAIN = 22;
constexpr uint8_t SCRIPT_OPERAND_SAFE = '!';

enum ScriptOperandKind : uint8_t {
    OPERAND_THIS = 3,
    OPERAND_LOCAL = 4,
    OPERAND_GA = 5,         // u32 slot
    OPERAND_PATH = 6,       // path from the owner, NUL-terminated
    OPERAND_LOCAL_PATH = 7, // path from the local actor
    OPERAND_GA_PATH = 8,    // u32 slot, path from the slot's actor
    OPERAND_SYSTEM = 9,
    OPERAND_ACTOR_ID = 10,  // u32 actor id; never compiled
};

// Words that follow an operand in place of a command id (ids start at 32).
enum : uint32_t {
    SCRIPT_CALL_OWN_BLOCK = 1,   // u32 script serial of the owner, 0 = none
    SCRIPT_CALL_BLOCK = 2,       // block name, NUL-terminated
    SCRIPT_CALL_SAFE_BLOCK = 3,  // the same, "[safe]" before the name
    SCRIPT_FIRST_COMMAND = 32,
};

// Tags of encoded arguments.
enum : uint32_t {
    SCRIPT_ARG_VALUE = 11,
    SCRIPT_ARG_MEMBERS = 12,
    SCRIPT_ARG_COMMAND = 13,
};

// Bytes of the static area in which a statement's arguments are packed,
// together with those of the statements of enclosing runs.
constexpr uint32_t SCRIPT_ARG_AREA_SIZE = 8192;

// Runs nested deeper than this stop: a block that calls itself ends.
constexpr int SCRIPT_MAX_RUN_DEPTH = 64;

// Interpreter state, saved and restored around every run.
extern CQVActor* g_ScriptThis;
extern CQVActor* g_ScriptLocal;
extern int g_ScriptAbort;
extern ScriptBuffer g_ScriptArgs;

// Installs the interpreter as the actors' way of running scripts.
void Script_Init();

// The interpreter's state back to its start (no run, no abort, an empty
// argument area); an installed interpreter stays installed.
void Script_Reset();

// Reads the operand at *position of code (size bytes) and moves past it; the
// target actor, the null actor when there is none. Sets the abort flag on
// corrupt code.
CQVActor* EvaluateScriptOperand(const uint8_t* code, uint32_t size, uint32_t* position);

// Packs one encoded argument of the value type into g_ScriptArgs; false (and
// the abort flag) when the code is corrupt or the area is full.
bool PushScriptArgument(const uint8_t* code, uint32_t size, uint32_t* position, uint32_t type);
