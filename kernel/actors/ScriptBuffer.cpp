#include "kernel/actors/ScriptBuffer.h"

#include <algorithm>
#include <cstring>

#include "kernel/actors/ActorScript.h"

namespace {

// Far above any script; keeps the size arithmetic in 32 bits.
constexpr uint64_t kMaxBufferSize = 64u * 1024u * 1024u;

uint32_t g_NextScriptSerial = 0;

}  // namespace

bool ScriptBuffer::Append(const void* bytes, uint32_t count)
{
    const uint64_t needed = static_cast<uint64_t>(length) + count;
    // Data shared with a copy of the script is never written.
    if (needed > capacity || (storage && storage.use_count() > 1)) {
        if (fixed || needed > kMaxBufferSize)
            return false;
        uint64_t grown = std::max<uint64_t>(needed, capacity + std::min<uint32_t>(capacity, 1024));
        grown = std::max<uint64_t>(grown, 16);
        std::shared_ptr<uint8_t[]> next(new uint8_t[grown]);
        if (length)
            std::memcpy(next.get(), data, length);
        storage = std::move(next);
        data = storage.get();
        capacity = static_cast<uint32_t>(grown);
    }
    if (count)
        std::memcpy(data + length, bytes, count);
    length += count;
    return true;
}

void ScriptBuffer::Clear()
{
    storage.reset();
    data = nullptr;
    capacity = 0;
    length = 0;
    fixed = false;
}

void ScriptBuffer::Bind(uint8_t* area, uint32_t areaCapacity, uint32_t newLength)
{
    storage.reset();
    data = area;
    capacity = areaCapacity;
    length = std::min(newLength, areaCapacity);
    fixed = true;
}

CQVScript::CQVScript()
{
    // 0 stands for "no script" in compiled block calls.
    if (++g_NextScriptSerial == 0)
        ++g_NextScriptSerial;
    serial = g_NextScriptSerial;
}
