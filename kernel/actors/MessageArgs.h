#pragma once
// Sizes of message arguments, the storable form of an argument block, and
// the interpolation of two blocks, all driven by the command descriptors.
// The results of export, import and interpolation live in static buffers
// that the next call overwrites.

#include <cstdint>
#include <cstring>
#include <vector>

#include "kernel/actors/ArgAccess.h"

class CQVActor;

// Turns actor pointers into paths and back. The actor system installs its
// own; without one, actor pointers are stored as the null path.
class CQVActorPathResolver {
public:
    virtual ~CQVActorPathResolver() = default;
    // The path of actor relative to from (null: absolute).
    virtual const char* GetActorPath(CQVActor* actor, CQVActor* from) = 0;
    // The actor the path names relative to from, null when there is none.
    virtual CQVActor* FindActorByPath(const char* path, CQVActor* from) = 0;
};

void MessageArgs_SetPathResolver(CQVActorPathResolver* resolver);

// A stored null actor pointer: a walk from the root to its parent, which
// resolves to no actor.
constexpr const char* kNullActorPath = "/..";

// The largest argument block that can be stored or interpolated.
constexpr uint32_t kMessageArgsBufferSize = 65536;

struct ArgBlock {
    uint32_t size = 0;
    const void* data = nullptr;
};

// Byte size of one argument of the value type: the type's own size, or for
// a type without one the size measured in the data; 0 when the argument
// runs past the end of the data.
uint32_t GetArgumentSize(uint32_t type, MessageArgs data);

// Byte size of the message's arguments in the block: measured within it
// and never more than it holds (the message's fixed size for a null block).
uint32_t MessageArgs_GetBlockSize(uint32_t id, MessageArgs block);

// The storable form of a block: actor pointers become paths relative to the
// owner, other pointers four zero bytes. 0 when the arguments run past the
// block or the result does not fit.
int MessageArgs_Export(CQVActor* owner, ArgBlock& out, uint32_t id, MessageArgs block);

// Turns a stored block of storedSize bytes back into a block in memory;
// 0 when the stored bytes end before the arguments do or the result does not fit.
int MessageArgs_Import(CQVActor* owner, ArgBlock& out, uint32_t id, const void* stored, uint32_t storedSize);

// The interpolation of two blocks of the same message at t, or the null
// block when either ends before its arguments or the result does not fit.
MessageArgs MessageArgs_Lerp(float t, uint32_t id, MessageArgs a, MessageArgs b);

// The argument types a message carries: its registered ones, or, for an id
// without a registered name, the types the vocabulary gives it.
const std::vector<uint32_t>& MessageArgs_Signature(uint32_t id);

// True when the message's argument types put a pointer at offset of the
// block (a Pointer, ActorPointer, ColObjPointer, ScriptPointer or StringPtr,
// or the actor of an ActorPointerExt), and the block holds it.
bool MessageArgs_IsPointerAt(uint32_t id, MessageArgs block, size_t offset);

// The pointer at offset of a message's block, or null where the message's
// argument types have no pointer there: a handler cannot take other bytes,
// such as a text from a script or the bytes of a file, for a pointer.
template <typename T>
T* Args_Pointer(uint32_t id, MessageArgs args, size_t offset = 0)
{
    if (!MessageArgs_IsPointerAt(id, args, offset))
        return nullptr;
    T* pointer = nullptr;
    std::memcpy(&pointer, args.Data() + offset, sizeof pointer);
    return pointer;
}

// The actor handed over by a message whose one argument is an actor: the
// block itself when the game's start hands the actor as the block (a block
// the size of an actor, which neither a script nor a file can make),
// otherwise the pointer the block holds; null when it holds none.
CQVActor* Args_HandedActor(uint32_t id, MessageArgs args);

// True when a block of the message may hold actor pointers: its own
// arguments, or those of a command nested in it.
bool MessageArgs_MayHoldActors(uint32_t id);

// Clears every pointer to actor that the message's argument types put in
// the block (nested commands included): a block kept past the moment, as a
// timed message's is, never names an actor that is gone.
void MessageArgs_ForgetActor(uint32_t id, MessageArgs block, const CQVActor* actor);

// Where the bytes of a block made from file or script data come from.
enum class ArgSource {
    // The stored form an actor file holds: actors named by path, which the
    // import resolves; other pointers are not kept.
    Stored,
    // A block the engine packed itself: a script call whose actor
    // arguments the interpreter resolved and whose text pointers point into
    // its code, or a stored block after its import.
    Packed,
    // Bytes as they came: they hold no pointer of any kind, actors included.
    Raw,
};

// Where a block made from file or script bytes may be handed to an actor:
// the message is registered, its argument types (and those of every command
// nested in the block) hold no raw pointer (Pointer, ColObjPointer,
// ScriptPointer), and the block holds all its arguments; raw bytes also
// hold no actor or text pointer, which only the engine's own packing puts
// into a block. The engine's own messages that pass pointers to vectors,
// blocks and records between its parts are thereby refused.
bool MessageArgs_AcceptsData(uint32_t id, const void* bytes, size_t size, ArgSource source);
