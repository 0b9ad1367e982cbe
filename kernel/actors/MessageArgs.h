#pragma once
// Sizes of message arguments, the storable form of an argument block, and
// the interpolation of two blocks, all driven by the command descriptors.
// The results of export, import and interpolation live in static buffers
// that the next call overwrites.

#include <cstdint>

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

// Byte size of one argument of the value type at data, measured in the data
// where the type has no fixed size.
uint32_t GetArgumentSize(uint32_t type, const void* data);

// Byte size of a whole argument block of the message.
uint32_t MessageArgs_GetBlockSize(uint32_t id, const void* block);

// The storable form of a block: actor pointers become paths relative to the
// owner, other pointers four zero bytes. 0 when the result does not fit.
int MessageArgs_Export(CQVActor* owner, ArgBlock& out, uint32_t id, const void* block);

// Turns a stored block of storedSize bytes back into a block in memory;
// 0 when the stored bytes end before the arguments do or the result does not fit.
int MessageArgs_Import(CQVActor* owner, ArgBlock& out, uint32_t id, const void* stored, uint32_t storedSize);

// The interpolation of two blocks of the same message at t, or null when it does not fit.
const void* MessageArgs_Lerp(float t, uint32_t id, const void* a, const void* b);
