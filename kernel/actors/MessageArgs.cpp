#include "kernel/actors/MessageArgs.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "kernel/actors/Registries.h"
#include "kernel/base/Maths.h"

namespace {

CQVActorPathResolver* g_PathResolver = nullptr;

// Commands nest inside commands; blocks from files must not recurse without end.
constexpr int kMaxCommandDepth = 16;
constexpr size_t kUnbounded = SIZE_MAX;
constexpr uint32_t kStoredPointerSize = 4;

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

// Memory to stored form. Inside a nested command every pointer keeps its 4
// stored bytes as zero: a pointer value means nothing once written out.
bool ExportArg(uint32_t type, const uint8_t* src, size_t& used, Output& out, CQVActor* owner, bool nested,
               int depth)
{
    if (IsPointerType(type)) {
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
    if (type == VT_ACTORPOINTEREXT && !nested) {
        used = static_cast<size_t>(Measure(type, src, kUnbounded, false, depth));
        return true;
    }
    if (type == VT_COMMAND) {
        if (depth > kMaxCommandDepth || !out.Put(src, 4))
            return false;
        size_t total = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(src)).argTypes) {
            size_t n = 0;
            if (!ExportArg(arg, src + total, n, out, owner, true, depth + 1))
                return false;
            total += n;
        }
        used = total;
        return true;
    }
    const ValueTypeDesc& vt = GetValueType(type);
    if ((vt.flags & VALUE_PLAIN) || vt.members.empty()) {
        int64_t n = Measure(type, src, kUnbounded, false, depth);
        if (n < 0)
            return false;
        used = static_cast<size_t>(n);
        return out.Put(src, used);
    }
    size_t total = 0;
    for (uint32_t member : vt.members) {
        size_t n = 0;
        if (!ExportArg(member, src + total, n, out, owner, nested, depth))
            return false;
        total += n;
    }
    used = total;
    return true;
}

// Stored form to memory, checked against the stored bytes that remain.
bool ImportArg(uint32_t type, const uint8_t* src, size_t remaining, size_t& used, Output& out, CQVActor* owner,
               bool nested, int depth)
{
    if (IsPointerType(type) && (type != VT_ACTORPOINTER || nested)) {
        if (remaining < kStoredPointerSize)
            return false;
        used = kStoredPointerSize;
        return out.Zero(kPointerArgSize);
    }
    if (type == VT_ACTORPOINTER) {
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
    if (type == VT_ACTORPOINTEREXT && !nested) {
        // Not stored: the block gets a null actor and an empty name, so the
        // arguments after it keep their places.
        used = 0;
        return out.Zero(kPointerArgSize + 1);
    }
    if (type == VT_COMMAND) {
        if (depth > kMaxCommandDepth || remaining < 4 || !out.Put(src, 4))
            return false;
        size_t total = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(src)).argTypes) {
            size_t n = 0;
            if (!ImportArg(arg, src + total, remaining - total, n, out, owner, true, depth + 1))
                return false;
            total += n;
        }
        used = total;
        return true;
    }
    const ValueTypeDesc& vt = GetValueType(type);
    if ((vt.flags & VALUE_PLAIN) || vt.members.empty()) {
        int64_t n = Measure(type, src, remaining, true, depth);
        if (n < 0)
            return false;
        used = static_cast<size_t>(n);
        return out.Put(src, used);
    }
    size_t total = 0;
    for (uint32_t member : vt.members) {
        size_t n = 0;
        if (!ImportArg(member, src + total, remaining - total, n, out, owner, nested, depth))
            return false;
        total += n;
    }
    used = total;
    return true;
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

bool LerpArg(uint32_t type, float t, const uint8_t* a, const uint8_t* b, size_t& usedA, size_t& usedB, Output& out,
             int depth)
{
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
        if (depth > kMaxCommandDepth || !out.Put(a, 4))
            return false;
        size_t totalA = 4, totalB = 4;
        for (uint32_t arg : GetCommandDesc(ReadU32(a)).argTypes) {
            size_t na = 0, nb = 0;
            if (!LerpArg(arg, t, a + totalA, b + totalB, na, nb, out, depth + 1))
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
    const ValueTypeDesc& vt = GetValueType(type);
    if (vt.members.empty()) {
        usedA = GetArgumentSize(type, a);
        usedB = GetArgumentSize(type, b);
        return out.Put(b, usedB);
    }
    size_t totalA = 0, totalB = 0;
    for (uint32_t member : vt.members) {
        size_t na = 0, nb = 0;
        if (!LerpArg(member, t, a + totalA, b + totalB, na, nb, out, depth))
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

uint32_t GetArgumentSize(uint32_t type, const void* data)
{
    int64_t n = Measure(type, static_cast<const uint8_t*>(data), kUnbounded, false, 0);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

uint32_t MessageArgs_GetBlockSize(uint32_t id, const void* block)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.argSize != -1)
        return static_cast<uint32_t>(desc.argSize);
    const uint8_t* p = static_cast<const uint8_t*>(block);
    uint32_t total = 0;
    for (uint32_t type : desc.argTypes)
        total += GetArgumentSize(type, p + total);
    return total;
}

int MessageArgs_Export(CQVActor* owner, ArgBlock& out, uint32_t id, const void* block)
{
    const CommandDesc& desc = GetCommandDesc(id);
    if (desc.storedAsIs) {
        out.size = MessageArgs_GetBlockSize(id, block);
        out.data = block;
        return 1;
    }
    const uint8_t* src = static_cast<const uint8_t*>(block);
    Output result{g_ConvertBuffer};
    size_t offset = 0;
    for (uint32_t type : desc.argTypes) {
        size_t used = 0;
        if (!ExportArg(type, src + offset, used, result, owner, false, 0))
            return 0;
        offset += used;
    }
    out.size = static_cast<uint32_t>(result.size);
    out.data = g_ConvertBuffer;
    return 1;
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
    Output result{g_ConvertBuffer};
    size_t offset = 0;
    for (uint32_t type : desc.argTypes) {
        size_t used = 0;
        if (!ImportArg(type, src + offset, storedSize - offset, used, result, owner, false, 0))
            return 0;
        offset += used;
    }
    out.size = static_cast<uint32_t>(result.size);
    out.data = g_ConvertBuffer;
    return 1;
}

const void* MessageArgs_Lerp(float t, uint32_t id, const void* a, const void* b)
{
    const uint8_t* pa = static_cast<const uint8_t*>(a);
    const uint8_t* pb = static_cast<const uint8_t*>(b);
    Output result{g_LerpBuffer};
    size_t offsetA = 0, offsetB = 0;
    for (uint32_t type : GetCommandDesc(id).argTypes) {
        size_t na = 0, nb = 0;
        if (!LerpArg(type, t, pa + offsetA, pb + offsetB, na, nb, result, 0))
            return nullptr;
        offsetA += na;
        offsetB += nb;
    }
    return g_LerpBuffer;
}
