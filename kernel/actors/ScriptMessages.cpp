#include "kernel/actors/ScriptMessages.h"

#include <algorithm>
#include <cstring>

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Random.h"

namespace {

constexpr const char* kTemporaryScriptName = "__tmp";

// Answers to queries land here. Getters write as much as their value needs,
// so the block is far larger than the word that decides a condition; each
// query has its own, since a handler may ask again.
struct QueryBlock {
    alignas(16) uint8_t bytes[1024] = {};
};

const char* ArgText(MessageArgs args) { return Args_TextOr(args); }

// A "Command" argument: a message id and that message's packed arguments.
struct CommandRef {
    uint32_t id;
    MessageArgs args;
};

CommandRef CommandAt(MessageArgs args, size_t offset)
{
    return CommandRef{Args_Get<uint32_t>(args, offset), args.Holds(offset, 4) ? args.At(offset + 4) : MessageArgs()};
}

// The bytes the command occupies, id included.
size_t CommandSize(const CommandRef& command)
{
    return 4 + MessageArgs_GetBlockSize(command.id, command.args);
}

void Send(CQVActor* target, const CommandRef& command)
{
    if (target && command.args)
        target->HandleMessage(command.id, command.args);
}

// The answer of the query as a condition; an actor that does not answer leaves it 0.
bool Ask(CQVActor* actor, uint32_t query)
{
    if (!actor)
        return false;
    QueryBlock answer;
    actor->HandleMessage(query, Args_Of(answer.bytes));
    return Args_Get<uint32_t>(Args_Of(answer.bytes)) != 0;
}

// p is a percentage with two decimals.
bool Chance(float percent) { return percent * 100.0f > static_cast<float>(Random_Next() % 10000); }

// {ActorPointer a, CommandID q, Command c}
void ConditionCommand(CQVActor* actor, uint32_t id, MessageArgs args, bool sendWhen)
{
    const bool result = Ask(Args_Pointer<CQVActor>(id, args), Args_Get<uint32_t>(args, kPointerArgSize));
    if (result == sendWhen)
        Send(actor, CommandAt(args, kPointerArgSize + 4));
}

// {t1, Command c1, t2, Command c2} from offset on; c2 follows c1's own arguments.
void SendOneOf(uint32_t id, MessageArgs args, size_t offset, bool first)
{
    const CommandRef c1 = CommandAt(args, offset + kPointerArgSize);
    const size_t second = offset + kPointerArgSize + CommandSize(c1);
    if (first)
        Send(Args_Pointer<CQVActor>(id, args, offset), c1);
    else
        Send(Args_Pointer<CQVActor>(id, args, second), CommandAt(args, second + kPointerArgSize));
}

void AddSpy(CQVActor* actor, uint32_t spyId)
{
    CQVActor* spy = CQVActorSystem::GetActorById(spyId);
    if (!spy)
        return;
    auto link = std::make_unique<ActorLink>();
    link->SetTarget(spy);
    actor->m_CommandSpies.push_back(std::move(link));
}

void RemoveSpy(CQVActor* actor, uint32_t spyId)
{
    CQVActor* spy = CQVActorSystem::GetActorById(spyId);
    if (!spy)
        return;
    auto& spies = actor->m_CommandSpies;
    auto it = std::find_if(spies.begin(), spies.end(), [spy](const auto& link) { return link->target == spy; });
    if (it != spies.end())
        spies.erase(it);
}

void ExecuteText(CQVActor* actor, const char* text)
{
    CQVScript script;
    script.name = kTemporaryScriptName;
    script.source = text;
    script.owner = actor;
    actor->m_Scripts.push_back(std::move(script));
    // The record may move or go while it runs; the interpreter holds its code.
    if (g_ScriptExecute)
        g_ScriptExecute(&actor->m_Scripts.back(), nullptr);
    // A text that itself ran "Execute Text" leaves no temporary script behind.
    while (!actor->m_Scripts.empty() && actor->m_Scripts.back().name == kTemporaryScriptName)
        actor->m_Scripts.pop_back();
}

}  // namespace

void Actor_RunScriptsNamed(CQVActor* actor, const char* name, CQVActor* caller)
{
    if (!g_ScriptExecute)
        return;
    for (size_t i = 0; i < actor->m_Scripts.size(); ++i) {
        if (actor->m_Scripts[i].name == name)
            g_ScriptExecute(&actor->m_Scripts[i], caller);
    }
}

int Actor_HandleScriptMessage(CQVActor* actor, uint32_t id, MessageArgs args)
{
    if (id == MSG_REMOVE_ALL_COMMANDSPY) {
        actor->m_CommandSpies.clear();
        return 1;
    }
    if (!args)
        return 0;
    auto& scripts = actor->m_Scripts;
    switch (id) {
    case MSG_SCRIPT_EXECUT:
        if (CQVScript* script = Args_Pointer<CQVScript>(id, args); script && g_ScriptExecute)
            g_ScriptExecute(script, actor);
        return 1;
    case MSG_FIND_SCRIPT: {
        const char* name = Args_Pointer<const char>(id, args);
        CQVScript* found = nullptr;
        for (CQVScript& script : scripts) {
            if (name && script.name == name) {
                found = &script;
                break;
            }
        }
        Args_Set(args, sizeof(const char*), found);
        return 1;
    }
    case MSG_SCRIPT_EXECUTE:
    case MSG_SAFE_SCRIPT_EXECUTE:
        Actor_RunScriptsNamed(actor, ArgText(args), nullptr);
        return 1;
    case MSG_EXECUTE_TEXT:
        ExecuteText(actor, ArgText(args));
        return 1;
    case MSG_DELETE_SCRIPT: {
        const char* name = ArgText(args);
        auto it = std::find_if(scripts.begin(), scripts.end(), [name](const CQVScript& s) { return s.name == name; });
        if (it != scripts.end())
            scripts.erase(it);
        return 1;
    }
    case MSG_IF_COMMAND:
    case MSG_CONDITION_COMMAND:
        ConditionCommand(actor, id, args, true);
        return 1;
    case MSG_IF_NOT_COMMAND:
        ConditionCommand(actor, id, args, false);
        return 1;
    case MSG_IF_ELSE_COMMAND:
        SendOneOf(id, args, kPointerArgSize + 4,
                  Ask(Args_Pointer<CQVActor>(id, args), Args_Get<uint32_t>(args, kPointerArgSize)));
        return 1;
    case MSG_RANDCOMMAND:
        if (Chance(Args_Get<float>(args)))
            Send(actor, CommandAt(args, 4));
        return 1;
    case MSG_RANDELSECOMMAND:
        SendOneOf(id, args, 4, Chance(Args_Get<float>(args)));
        return 1;
    case MSG_COPY_VALUE: {
        CQVActor* source = Args_Pointer<CQVActor>(id, args, 4);
        if (!source)
            return 1;
        QueryBlock value;
        source->HandleMessage(Args_Get<uint32_t>(args, 4 + kPointerArgSize), Args_Of(value.bytes));
        actor->HandleMessage(Args_Get<uint32_t>(args), Args_Of(value.bytes));
        return 1;
    }
    case MSG_ADD_COMMANDSPY:
        AddSpy(actor, Args_Get<uint32_t>(args));
        return 1;
    case MSG_REMOVE_COMMANDSPY:
        RemoveSpy(actor, Args_Get<uint32_t>(args));
        return 1;
    default:
        return 0;
    }
}
