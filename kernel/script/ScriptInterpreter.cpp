#include <cstring>

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/ScriptMessages.h"
#include "kernel/script/Script.h"

CQVActor* g_ScriptThis = nullptr;
CQVActor* g_ScriptLocal = nullptr;
int g_ScriptAbort = 0;
ScriptBuffer g_ScriptArgs;

namespace {

alignas(16) uint8_t g_ScriptArgArea[SCRIPT_ARG_AREA_SIZE];
int g_ScriptRunDepth = 0;

bool Stop()
{
    g_ScriptAbort = 1;
    return false;
}

bool ReadWord(const uint8_t* code, uint32_t size, uint32_t* position, uint32_t* word)
{
    if (size - *position < 4)
        return Stop();
    std::memcpy(word, code + *position, 4);
    *position += 4;
    return true;
}

// A NUL-terminated text in the code; null when the code ends before its NUL.
const char* ReadText(const uint8_t* code, uint32_t size, uint32_t* position)
{
    const void* nul = std::memchr(code + *position, 0, size - *position);
    if (!nul) {
        Stop();
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(code + *position);
    *position = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - code) + 1;
    return text;
}

// Runs write only into the static area, which never grows.
inline bool Pack(const void* bytes, uint32_t count)
{
    if (count > g_ScriptArgs.capacity - g_ScriptArgs.length)
        return Stop();
    std::memcpy(g_ScriptArgs.data + g_ScriptArgs.length, bytes, count);
    g_ScriptArgs.length += count;
    return true;
}

CQVActor* NullTarget(uint8_t flag) { return GetNullActor(flag == SCRIPT_OPERAND_SAFE); }

CQVActor* SlotActor(uint32_t slot)
{
    return slot >= 1 && slot < GA_SLOT_COUNT ? g_GAVariables[slot] : nullptr;
}

CQVScript* FindBySerial(CQVActor* actor, uint32_t serial)
{
    if (!actor)
        return nullptr;
    for (CQVScript& script : actor->m_Scripts) {
        if (script.serial == serial)
            return &script;
    }
    return nullptr;
}

inline CQVActor* ResolveOperand(const uint8_t* code, uint32_t size, uint32_t* position)
{
    if (size - *position < 2) {
        Stop();
        return GetNullActor(0);
    }
    const uint8_t flag = code[*position];
    const uint8_t kind = code[*position + 1];
    *position += 2;
    CQVActor* start = nullptr;
    const char* path = nullptr;
    uint32_t value = 0;
    switch (kind) {
    case OPERAND_THIS:
        start = g_ScriptThis;
        break;
    case OPERAND_LOCAL:
        start = g_ScriptLocal;
        break;
    case OPERAND_SYSTEM:
        start = g_ActorSystem;
        break;
    case OPERAND_ACTOR_ID:
        if (!ReadWord(code, size, position, &value))
            return GetNullActor(0);
        start = CQVActorSystem::GetActorById(value);
        break;
    case OPERAND_GA:
        if (!ReadWord(code, size, position, &value))
            return GetNullActor(0);
        if (value == 0 || value >= GA_SLOT_COUNT)
            return GetNullActor(0);
        start = SlotActor(value);
        break;
    case OPERAND_PATH:
    case OPERAND_LOCAL_PATH:
    case OPERAND_GA_PATH:
        if (kind == OPERAND_GA_PATH && !ReadWord(code, size, position, &value))
            return GetNullActor(0);
        path = ReadText(code, size, position);
        if (!path)
            return GetNullActor(0);
        start = kind == OPERAND_PATH ? g_ScriptThis : kind == OPERAND_LOCAL_PATH ? g_ScriptLocal : SlotActor(value);
        start = start ? CQVActorSystem::FindActorByPath(path, start) : nullptr;
        break;
    default:
        Stop();
        return GetNullActor(0);
    }
    // A target that is not there takes the message and ignores it.
    return start ? start : NullTarget(flag);
}

bool PushArgument(const uint8_t* code, uint32_t size, uint32_t* position, uint32_t type)
{
    if (g_ScriptAbort)
        return false;
    uint32_t tag = 0;
    if (!ReadWord(code, size, position, &tag))
        return false;
    switch (tag) {
    case SCRIPT_ARG_VALUE: {
        if (type == VT_ACTORPOINTER || type == VT_ACTORPOINTEREXT) {
            CQVActor* actor = ResolveOperand(code, size, position);
            if (g_ScriptAbort || !Pack(&actor, sizeof actor))
                return false;
            // The extended pointer's name part stays empty.
            const uint8_t nul = 0;
            return type == VT_ACTORPOINTER || Pack(&nul, 1);
        }
        if (type == VT_STRINGPTR) {
            // The handler reads the text where it stands in the code, which
            // the script keeps as long as it exists.
            const char* text = ReadText(code, size, position);
            return text && Pack(&text, sizeof text);
        }
        uint32_t count = 0;
        if (type < g_ValueTypes.size() && g_ValueTypes[type].size >= 0) {
            count = static_cast<uint32_t>(g_ValueTypes[type].size);
        } else if (type == VT_STRING) {
            const uint32_t start = *position;
            if (!ReadText(code, size, position))
                return false;
            count = *position - start;
            *position = start;
        } else {
            return Stop();
        }
        if (size - *position < count)
            return Stop();
        const uint32_t at = *position;
        *position += count;
        return Pack(code + at, count);
    }
    case SCRIPT_ARG_MEMBERS:
        for (uint32_t member : GetValueType(type).members) {
            if (!PushArgument(code, size, position, member))
                return false;
        }
        return true;
    case SCRIPT_ARG_COMMAND: {
        uint32_t id = 0;
        if (!ReadWord(code, size, position, &id) || !Pack(&id, sizeof id))
            return false;
        for (uint32_t argType : GetCommandDesc(id).argTypes) {
            if (!PushArgument(code, size, position, argType))
                return false;
        }
        return true;
    }
    default:
        // The compiler writes no other tag: the code is corrupt.
        return Stop();
    }
}

int RunCode(const uint8_t* code, uint32_t size, CQVActor* owner, CQVActor* local)
{
    if (g_ScriptRunDepth >= SCRIPT_MAX_RUN_DEPTH) {
        g_ScriptAbort = 1;
        return 0;
    }
    CQVActor* const savedThis = g_ScriptThis;
    CQVActor* const savedLocal = g_ScriptLocal;
    const int savedAbort = g_ScriptAbort;
    const uint32_t savedLength = g_ScriptArgs.length;
    g_ScriptThis = owner;
    g_ScriptLocal = local;
    g_ScriptAbort = 0;
    ++g_ScriptRunDepth;
    g_ScriptArgs.Bind(g_ScriptArgArea, SCRIPT_ARG_AREA_SIZE, savedLength);

    int result = 1;
    uint32_t position = 0;
    for (;;) {
        uint32_t word = 0;
        if (size - position >= 4) {
            std::memcpy(&word, code + position, 4);
            if (word == SCRIPT_END)
                break;
        }
        CQVActor* target = ResolveOperand(code, size, &position);
        if (g_ScriptAbort || !ReadWord(code, size, &position, &word)) {
            result = 0;
            break;
        }
        if (word == SCRIPT_CALL_OWN_BLOCK) {
            uint32_t serial = 0;
            if (!ReadWord(code, size, &position, &serial)) {
                result = 0;
                break;
            }
            // A block deleted since the compile is no longer called.
            if (CQVScript* block = serial ? FindBySerial(owner, serial) : nullptr)
                block->Execute(owner);
            continue;
        }
        if (word == SCRIPT_CALL_BLOCK || word == SCRIPT_CALL_SAFE_BLOCK) {
            const char* name = ReadText(code, size, &position);
            if (!name) {
                result = 0;
                break;
            }
            Actor_RunScriptsNamed(target, name, owner);
            continue;
        }
        if (word < SCRIPT_FIRST_COMMAND || word >= g_CommandDescs.size()) {
            result = 0;
            break;
        }
        g_ScriptArgs.length = savedLength;
        uint8_t* const args = g_ScriptArgArea + savedLength;
        for (uint32_t type : g_CommandDescs[word].argTypes) {
            // Words and reals, the most common arguments, are copied here.
            uint32_t tag = 0;
            if (type <= VT_COMMANDID && type != VT_STRING128 && size - position >= 8 &&
                (std::memcpy(&tag, code + position, 4), tag == SCRIPT_ARG_VALUE)) {
                if (!Pack(code + position + 4, 4))
                    break;
                position += 8;
                continue;
            }
            if (!PushArgument(code, size, &position, type))
                break;
        }
        if (g_ScriptAbort) {
            result = 0;
            break;
        }
        // The packed block is judged as any block made from script bytes: a
        // message that carries raw pointers is not sent. Its actor pointers
        // are the ones ResolveOperand found, its text pointers point into
        // the code: both were put there by the packing above.
        const uint32_t packed = g_ScriptArgs.length - savedLength;
        if (MessageArgs_AcceptsData(word, args, packed, ArgSource::Packed))
            target->HandleMessage(word, Args_Of(args, packed));
    }

    --g_ScriptRunDepth;
    g_ScriptThis = savedThis;
    g_ScriptLocal = savedLocal;
    g_ScriptAbort = savedAbort;
    g_ScriptArgs.Bind(g_ScriptArgArea, SCRIPT_ARG_AREA_SIZE, savedLength);
    return result;
}

int ExecuteHook(CQVScript* script, CQVActor* caller) { return script->Execute(caller); }

}  // namespace

void Script_Init()
{
    g_ScriptArgs.Bind(g_ScriptArgArea, SCRIPT_ARG_AREA_SIZE, 0);
    g_ScriptExecute = &ExecuteHook;
}

CQVActor* EvaluateScriptOperand(const uint8_t* code, uint32_t size, uint32_t* position)
{
    return ResolveOperand(code, size, position);
}

bool PushScriptArgument(const uint8_t* code, uint32_t size, uint32_t* position, uint32_t type)
{
    return PushArgument(code, size, position, type);
}

int CQVScript::Execute(CQVActor* local)
{
    if (code.length == 0) {
        // A failed compile ends this script only, not a run that started it.
        const int savedAbort = g_ScriptAbort;
        const int compiled = Compile(owner, nullptr, nullptr);
        g_ScriptAbort = savedAbort;
        if (!compiled) {
            code.Clear();
            return 0;
        }
    }
    // The record may be erased, moved or recompiled by the statements it
    // runs; the run keeps its code alive until it ends.
    const std::shared_ptr<uint8_t[]> hold = code.storage;
    return RunCode(code.data, code.length, owner, local);
}

void Script_Reset()
{
    g_ScriptThis = nullptr;
    g_ScriptLocal = nullptr;
    g_ScriptAbort = 0;
    g_ScriptRunDepth = 0;
    g_ScriptArgs.Bind(g_ScriptArgArea, SCRIPT_ARG_AREA_SIZE, 0);
}
