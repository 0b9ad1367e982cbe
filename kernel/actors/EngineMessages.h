#pragma once
// The blocks of the messages the engine sends among its own actors with
// pointers in them (to vectors, to other blocks, to records): packed, so
// that each argument lies where the message's argument types put it. These
// messages never arrive from a file or a script (MessageArgs_AcceptsData
// refuses a raw pointer), and handlers read their pointers with
// Args_Pointer, which answers only where the types put one.

#include "kernel/actors/ArgAccess.h"

#include <cstdint>
#include <vector>

class CQVActor;
struct CQVScript;

#pragma pack(push, 1)

// "Create" from the factory: the actor to copy, or null for a new actor.
struct CreateArgs {
    CQVActor* source;
};

// 93, to every command spy: {message id, its block, the spied actor}.
struct CommandSpyArgs {
    uint32_t id;
    const MessageArgs* args;
    CQVActor* actor;
};

// "Recursive Command": the message and a pointer to its block, which every
// actor of the subtree receives unchanged.
struct RecursiveCommandArgs {
    uint32_t id;
    const MessageArgs* block;
};

// 172: the descendants of the class to take (any: -1) are appended to the
// list, leaving out actors of the class to skip with their subtrees.
struct CollectDescendantsArgs {
    uint32_t type;
    uint32_t skipped;
    std::vector<CQVActor*>* list;
};

// 173 and 174: a search by class type; 175 and 176: a search by name.
struct ActorSearchByClass {
    uint32_t type;
    CQVActor* result;
};
struct ActorSearchByName {
    const char* name;
    CQVActor* result;
};

// 219: the first script of that name, or null.
struct ScriptLookupArgs {
    const char* name;
    CQVScript* script;
};

#pragma pack(pop)
