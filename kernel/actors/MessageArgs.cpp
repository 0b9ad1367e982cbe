#include "kernel/actors/MessageArgs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "kernel/actors/Actor.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Maths.h"

namespace {

CQVActorPathResolver* g_PathResolver = nullptr;

// Commands nest inside commands; blocks from files must not recurse without end.
constexpr int kMaxCommandDepth = 16;
constexpr uint32_t kStoredPointerSize = 4;
// The owner of a message id without a registration.
constexpr uint32_t kNoOwner = 0xFFFFFFFF;

alignas(16) uint8_t g_ConvertBuffer[kMessageArgsBufferSize];
alignas(16) uint8_t g_LerpBuffer[kMessageArgsBufferSize];

uint32_t ReadU32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool IsPointerType(uint32_t type)
{
    return type == VT_POINTER || type == VT_ACTORPOINTER || type == VT_COLOBJPOINTER || type == VT_SCRIPTPOINTER ||
           type == VT_STRINGPTR;
}

// Size of one argument, in memory or (stored) in the form a nested command
// has in a stored block; -1 when the data ends before the argument does.
int64_t Measure(uint32_t type, const uint8_t* data, size_t remaining, bool stored, int depth)
{
    switch (type) {
    case VT_COMMAND: {
        if (remaining < 4 || depth > kMaxCommandDepth)
            return -1;
        size_t total = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(data)).argTypes) {
            int64_t n = Measure(arg, data + total, remaining - total, stored, depth + 1);
            if (n < 0)
                return -1;
            total += static_cast<size_t>(n);
        }
        return static_cast<int64_t>(total);
    }
    case VT_DATA_WITH_SIZEHEADER: {
        if (remaining < 4)
            return -1;
        uint64_t n = 4 + static_cast<uint64_t>(ReadU32(data));
        return n <= remaining ? static_cast<int64_t>(n) : -1;
    }
    case VT_STRING:
        for (size_t i = 0; i < remaining; ++i) {
            if (data[i] == 0)
                return static_cast<int64_t>(i + 1);
        }
        return -1;
    case VT_DATA_NULLTERMINATED16:
    case VT_DATA_NULLTERMINATED32: {
        const size_t unit = type == VT_DATA_NULLTERMINATED16 ? 2 : 4;
        for (size_t i = 0; i + unit <= remaining; i += unit) {
            bool zero = true;
            for (size_t k = 0; k < unit; ++k)
                zero = zero && data[i + k] == 0;
            if (zero)
                return static_cast<int64_t>(i + unit);
        }
        return -1;
    }
    default:
        break;
    }
    const ValueTypeDesc& vt = GetValueType(type);
    const int32_t size = stored ? vt.storedSize : vt.size;
    if (size >= 0)
        return static_cast<size_t>(size) <= remaining ? size : -1;
    size_t total = 0;
    for (uint32_t member : vt.members) {
        int64_t n = Measure(member, data + total, remaining - total, stored, depth);
        if (n < 0)
            return -1;
        total += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(total);
}

// The ids without a registered name, with the types their handlers read.
struct UnregisteredSignature {
    uint32_t id;
    std::vector<uint32_t> types;
};

const UnregisteredSignature kUnregisteredSignatures[] = {
#define QV_MESSAGE(...)
#define QV_MESSAGE_NAMED(...)
#define QV_MESSAGE_UNREGISTERED(id, sym, owner, ...) {id, {__VA_ARGS__}},
#include "kernel/actors/MessageTable.inc"
#undef QV_MESSAGE
#undef QV_MESSAGE_NAMED
#undef QV_MESSAGE_UNREGISTERED
};

const std::vector<uint32_t> kNoTypes;

bool IsRawPointerType(uint32_t type)
{
    return type == VT_POINTER || type == VT_COLOBJPOINTER || type == VT_SCRIPTPOINTER;
}

// A type the gate refuses from bytes of that source: raw pointers always;
// actor and text pointers when nothing of the engine's put them there.
bool IsRefusedType(uint32_t type, ArgSource source)
{
    if (IsRawPointerType(type))
        return true;
    return source == ArgSource::Raw && IsPointerType(type);
}

// The gate's walk over one argument list in memory form: every type free
// of raw pointers, every argument within the bytes, every nested command a
// registered one that passes the same test.
bool AcceptsArgs(const std::vector<uint32_t>& types, const uint8_t* data, size_t remaining, size_t& used,
                 ArgSource source, int depth)
{
    size_t total = 0;
    for (uint32_t type : types) {
        if (IsRefusedType(type, source))
            return false;
        const ValueTypeDesc& vt = GetValueType(type);
        for (uint32_t member : vt.members) {
            if (IsRefusedType(member, source))
                return false;
        }
        if (type == VT_COMMAND) {
            if (depth > kMaxCommandDepth || remaining - total < 4)
                return false;
            const uint32_t nested = ReadU32(data + total);
            const CommandDesc& desc = GetCommandDesc(nested);
            if (desc.owner == kNoOwner)
                return false;
            size_t inner = 0;
            if (!AcceptsArgs(desc.argTypes, data + total + 4, remaining - total - 4, inner, source, depth + 1))
                return false;
            total += 4 + inner;
            continue;
        }
        const int64_t n = Measure(type, data + total, remaining - total, false, depth);
        if (n < 0)
            return false;
        total += static_cast<size_t>(n);
    }
    used = total;
    return true;
}


bool TypeMayHoldActors(uint32_t type)
{
    if (type == VT_ACTORPOINTER || type == VT_ACTORPOINTEREXT || type == VT_COMMAND)
        return true;
    for (uint32_t member : GetValueType(type).members) {
        if (member == VT_ACTORPOINTER || member == VT_COMMAND)
            return true;
    }
    return false;
}

// Walks one argument list in memory form and clears the actor pointers
// equal to actor; stops where the bytes end.
size_t ForgetActorIn(const std::vector<uint32_t>& types, uint8_t* data, size_t remaining, const CQVActor* actor,
                     int depth)
{
    size_t total = 0;
    for (uint32_t type : types) {
        if (type == VT_ACTORPOINTER || type == VT_ACTORPOINTEREXT) {
            if (remaining - total < static_cast<size_t>(kPointerArgSize))
                return total;
            const CQVActor* held = nullptr;
            std::memcpy(&held, data + total, sizeof held);
            if (held == actor)
                std::memset(data + total, 0, sizeof held);
        }
        if (type == VT_COMMAND) {
            if (depth > kMaxCommandDepth || remaining - total < 4)
                return total;
            const std::vector<uint32_t>& nested = GetCommandDesc(ReadU32(data + total)).argTypes;
            total += 4 + ForgetActorIn(nested, data + total + 4, remaining - total - 4, actor, depth + 1);
            continue;
        }
        const int64_t n = Measure(type, data + total, remaining - total, false, depth);
        if (n < 0)
            return total;
        total += static_cast<size_t>(n);
    }
    return total;
}

struct Output {
    uint8_t* buffer;
    size_t size = 0;

    bool Put(const void* bytes, size_t count)
    {
        if (count > kMessageArgsBufferSize - size)
            return false;
        if (count)
            std::memcpy(buffer + size, bytes, count);
        size += count;
        return true;
    }
    bool Zero(size_t count)
    {
        if (count > kMessageArgsBufferSize - size)
            return false;
        std::memset(buffer + size, 0, count);
        size += count;
        return true;
    }
};

// Between the form of a block in memory and the stored form an actor file
// holds (Export: memory to stored; Import: stored to memory).
enum class Convert { Export, Import };

// Memory to stored form of a pointer, or of an actor with a name, which is
// not stored at all. Inside a nested command every pointer keeps its 4
// stored bytes as zero: a pointer value means nothing once written out.
bool ExportPointer(uint32_t type, const uint8_t* src, size_t remaining, size_t& used, Output& out, CQVActor* owner,
                   bool nested, int depth)
{
    if (type == VT_ACTORPOINTEREXT) {
        const int64_t n = Measure(type, src, remaining, false, depth);
        if (n < 0)
            return false;
        used = static_cast<size_t>(n);
        return true;
    }
    if (remaining < static_cast<size_t>(kPointerArgSize))
        return false;
    used = kPointerArgSize;
    if (type != VT_ACTORPOINTER || nested)
        return out.Zero(kStoredPointerSize);
    CQVActor* actor;
    std::memcpy(&actor, src, sizeof actor);
    const char* path = kNullActorPath;
    if (actor && g_PathResolver)
        path = g_PathResolver->GetActorPath(actor, owner);
    if (!path)
        path = kNullActorPath;
    return out.Put(path, std::strlen(path) + 1);
}

// Stored form to memory of the same, checked against the stored bytes that remain.
bool ImportPointer(uint32_t type, const uint8_t* src, size_t remaining, size_t& used, Output& out, CQVActor* owner,
                   bool nested, int depth)
{
    if (type == VT_ACTORPOINTEREXT) {
        // Not stored: the block gets a null actor and an empty name, so the
        // arguments after it keep their places.
        used = 0;
        return out.Zero(kPointerArgSize + 1);
    }
    if (type != VT_ACTORPOINTER || nested) {
        if (remaining < kStoredPointerSize)
            return false;
        used = kStoredPointerSize;
        return out.Zero(kPointerArgSize);
    }
    int64_t n = Measure(VT_STRING, src, remaining, true, depth);
    if (n < 0)
        return false;
    used = static_cast<size_t>(n);
    const char* path = reinterpret_cast<const char*>(src);
    CQVActor* actor = nullptr;
    if (g_PathResolver && std::strcmp(path, kNullActorPath) != 0)
        actor = g_PathResolver->FindActorByPath(path, owner);
    return out.Put(&actor, sizeof actor);
}

// One argument from one form to the other: pointers by the direction's own
// rules, commands and records member by member, everything else as it is.
bool ConvertArg(Convert direction, uint32_t type, const uint8_t* src, size_t remaining, size_t& used, Output& out,
                CQVActor* owner, bool nested, int depth)
{
    const bool exporting = direction == Convert::Export;
    if (IsPointerType(type) || (type == VT_ACTORPOINTEREXT && !nested)) {
        return exporting ? ExportPointer(type, src, remaining, used, out, owner, nested, depth)
                         : ImportPointer(type, src, remaining, used, out, owner, nested, depth);
    }
    if (type == VT_COMMAND) {
        if (depth > kMaxCommandDepth || remaining < 4 || !out.Put(src, 4))
            return false;
        size_t total = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(src)).argTypes) {
            size_t n = 0;
            if (!ConvertArg(direction, arg, src + total, remaining - total, n, out, owner, true, depth + 1))
                return false;
            total += n;
        }
        used = total;
        return true;
    }
    const ValueTypeDesc& vt = GetValueType(type);
    if ((vt.flags & VALUE_PLAIN) || vt.members.empty()) {
        int64_t n = Measure(type, src, remaining, !exporting, depth);
        if (n < 0)
            return false;
        used = static_cast<size_t>(n);
        return out.Put(src, used);
    }
    size_t total = 0;
    for (uint32_t member : vt.members) {
        size_t n = 0;
        if (!ConvertArg(direction, member, src + total, remaining - total, n, out, owner, nested, depth))
            return false;
        total += n;
    }
    used = total;
    return true;
}

// A whole block's arguments into the conversion buffer.
int ConvertBlock(Convert direction, CQVActor* owner, ArgBlock& out, const std::vector<uint32_t>& types,
                 const uint8_t* src, size_t size)
{
    Output result{g_ConvertBuffer};
    size_t offset = 0;
    for (uint32_t type : types) {
        size_t used = 0;
        if (!ConvertArg(direction, type, src + offset, size - offset, used, result, owner, false, 0))
            return 0;
        offset += used;
    }
    out.size = static_cast<uint32_t>(result.size);
    out.data = g_ConvertBuffer;
    return 1;
}

template <typename T>
T ReadValue(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// a + (b - a) * t, truncated towards zero and held to the type's range.
template <typename T>
T LerpInteger(T a, T b, float t)
{
    double v = std::trunc(static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * t);
    if (!(v >= static_cast<double>(std::numeric_limits<T>::min())))
        return std::numeric_limits<T>::min();
    if (v > static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

// Both values of one argument, read within what remains of each block.
bool LerpArg(uint32_t type, float t, const uint8_t* a, size_t remainingA, const uint8_t* b, size_t remainingB,
             size_t& usedA, size_t& usedB, Output& out, int depth)
{
    const ValueTypeDesc& vt = GetValueType(type);
    if (vt.size >= 0 && (remainingA < static_cast<size_t>(vt.size) || remainingB < static_cast<size_t>(vt.size)))
        return false;
    switch (type) {
    case VT_UINT32: {
        uint32_t v = LerpInteger(ReadValue<uint32_t>(a), ReadValue<uint32_t>(b), t);
        usedA = usedB = 4;
        return out.Put(&v, 4);
    }
    case VT_INT32: {
        int32_t v = LerpInteger(ReadValue<int32_t>(a), ReadValue<int32_t>(b), t);
        usedA = usedB = 4;
        return out.Put(&v, 4);
    }
    case VT_REAL: {
        float fa = ReadValue<float>(a);
        float v = fa + (ReadValue<float>(b) - fa) * t;
        usedA = usedB = 4;
        return out.Put(&v, 4);
    }
    case VT_QUATERNION: {
        Quaternion q = ReadValue<Quaternion>(a);
        Quat_Slerp(&q, q, ReadValue<Quaternion>(b), t);
        usedA = usedB = sizeof(Quaternion);
        return out.Put(&q, sizeof q);
    }
    case VT_COMMAND: {
        if (depth > kMaxCommandDepth || remainingA < 4 || remainingB < 4 || !out.Put(a, 4))
            return false;
        size_t totalA = 4, totalB = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(a)).argTypes) {
            size_t na = 0, nb = 0;
            if (!LerpArg(arg, t, a + totalA, remainingA - totalA, b + totalB, remainingB - totalB, na, nb, out,
                         depth + 1))
                return false;
            totalA += na;
            totalB += nb;
        }
        usedA = totalA;
        usedB = totalB;
        return true;
    }
    default:
        break;
    }
    if (vt.members.empty()) {
        const int64_t na = Measure(type, a, remainingA, false, depth);
        const int64_t nb = Measure(type, b, remainingB, false, depth);
        if (na < 0 || nb < 0)
            return false;
        usedA = static_cast<size_t>(na);
        usedB = static_cast<size_t>(nb);
        return out.Put(b, usedB);
    }
    size_t totalA = 0, totalB = 0;
    for (uint32_t member : vt.members) {
        size_t na = 0, nb = 0;
        if (!LerpArg(member, t, a + totalA, remainingA - totalA, b + totalB, remainingB - totalB, na, nb, out,
                     depth))
            return false;
        totalA += na;
        totalB += nb;
    }
    usedA = totalA;
    usedB = totalB;
    return true;
}

}  // namespace

void MessageArgs_SetPathResolver(CQVActorPathResolver* resolver)
{
    g_PathResolver = resolver;
}

uint32_t GetArgumentSize(uint32_t type, MessageArgs data)
{
    const ValueTypeDesc& vt = GetValueType(type);
    if (vt.size >= 0 && type != VT_COMMAND)
        return static_cast<uint32_t>(vt.size);
    if (!data)
        return 0;
    int64_t n = Measure(type, data.Data(), data.Size(), false, 0);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

uint32_t MessageArgs_GetBlockSize(uint32_t id, MessageArgs block)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.argSize != -1)
        return block ? std::min<uint32_t>(static_cast<uint32_t>(desc.argSize), block.Size())
                     : static_cast<uint32_t>(desc.argSize);
    if (!block)
        return 0;
    size_t total = 0;
    for (uint32_t type : desc.argTypes) {
        const int64_t n = Measure(type, block.Data() + total, block.Size() - total, false, 0);
        // Arguments that run past the end: the block is all there is.
        if (n < 0)
            return block.Size();
        total += static_cast<size_t>(n);
    }
    return static_cast<uint32_t>(total);
}

int MessageArgs_Export(CQVActor* owner, ArgBlock& out, uint32_t id, MessageArgs block)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.storedAsIs) {
        out.size = MessageArgs_GetBlockSize(id, block);
        out.data = block.Data();
        return 1;
    }
    if (!block && !desc.argTypes.empty())
        return 0;
    return ConvertBlock(Convert::Export, owner, out, desc.argTypes, block.Data(), block.Size());
}

int MessageArgs_Import(CQVActor* owner, ArgBlock& out, uint32_t id, const void* stored, uint32_t storedSize)
{
    const CommandDesc& desc = GetCommandDesc(id);
    const uint8_t* src = static_cast<const uint8_t*>(stored);
    if (desc.storedAsIs) {
        size_t total = 0;
        for (uint32_t type : desc.argTypes) {
            int64_t n = Measure(type, src + total, storedSize - total, true, 0);
            if (n < 0)
                return 0;
            total += static_cast<size_t>(n);
        }
        out.size = static_cast<uint32_t>(total);
        out.data = stored;
        return 1;
    }
    return ConvertBlock(Convert::Import, owner, out, desc.argTypes, src, storedSize);
}

MessageArgs MessageArgs_Lerp(float t, uint32_t id, MessageArgs a, MessageArgs b)
{
    if (!a || !b)
        return {};
    Output result{g_LerpBuffer};
    size_t offsetA = 0, offsetB = 0;
    for (uint32_t type : GetCommandDesc(id).argTypes) {
        size_t na = 0, nb = 0;
        if (!LerpArg(type, t, a.Data() + offsetA, a.Size() - offsetA, b.Data() + offsetB, b.Size() - offsetB, na, nb,
                     result, 0))
            return {};
        offsetA += na;
        offsetB += nb;
    }
    return MessageArgs(g_LerpBuffer, result.size);
}

const std::vector<uint32_t>& MessageArgs_Signature(uint32_t id)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.owner != kNoOwner)
        return desc.argTypes;
    // Looked up by id: the pointer checks of every handler come here.
    static const std::vector<const std::vector<uint32_t>*> byId = [] {
        std::vector<const std::vector<uint32_t>*> table;
        for (const UnregisteredSignature& unregistered : kUnregisteredSignatures) {
            if (unregistered.id >= table.size())
                table.resize(unregistered.id + 1, nullptr);
            table[unregistered.id] = &unregistered.types;
        }
        return table;
    }();
    return id < byId.size() && byId[id] ? *byId[id] : kNoTypes;
}

bool MessageArgs_IsPointerAt(uint32_t id, MessageArgs block, size_t offset)
{
    if (!block.Holds(offset, sizeof(void*)))
        return false;
    size_t at = 0;
    for (uint32_t type : MessageArgs_Signature(id)) {
        if (at > offset)
            return false;
        const ValueTypeDesc& vt = GetValueType(type);
        const bool pointer = IsPointerType(type) || (!vt.members.empty() && IsPointerType(vt.members[0]));
        if (at == offset)
            return pointer;
        const int64_t n = Measure(type, block.Data() + at, block.Size() - at, false, 0);
        if (n < 0)
            return false;
        at += static_cast<size_t>(n);
    }
    return false;
}

CQVActor* Args_HandedActor(uint32_t id, MessageArgs args)
{
    if (args.Size() == sizeof(CQVActor))
        return reinterpret_cast<CQVActor*>(args.Data());
    return Args_Pointer<CQVActor>(id, args);
}

bool MessageArgs_MayHoldActors(uint32_t id)
{
    for (uint32_t type : MessageArgs_Signature(id)) {
        if (TypeMayHoldActors(type))
            return true;
    }
    return false;
}

void MessageArgs_ForgetActor(uint32_t id, MessageArgs block, const CQVActor* actor)
{
    if (block && actor)
        ForgetActorIn(MessageArgs_Signature(id), block.Data(), block.Size(), actor, 0);
}

bool MessageArgs_AcceptsData(uint32_t id, const void* bytes, size_t size, ArgSource source)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.owner == kNoOwner)
        return false;
    if (source == ArgSource::Stored) {
        // The stored form is judged as the block it becomes: its actors are
        // the ones the import finds by path, its other pointers null.
        ArgBlock block;
        if (!MessageArgs_Import(nullptr, block, id, bytes, static_cast<uint32_t>(size)))
            return false;
        return MessageArgs_AcceptsData(id, block.data, block.size, ArgSource::Packed);
    }
    size_t used = 0;
    return AcceptsArgs(desc.argTypes, static_cast<const uint8_t*>(bytes), bytes ? size : 0, used, source, 0);
}
