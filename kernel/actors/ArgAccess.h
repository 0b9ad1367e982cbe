#pragma once
// A message's argument block: its arguments packed one after another in the
// order of the message's argument value types, with no gaps, so values are
// unaligned and are copied in and out.
//
// A block always knows how many bytes it holds, and every read and write
// through it stays within them: a value that does not fit reads as zero and
// is not written, and a text answer is cut to the room left (and still
// ends in a zero byte). A handler therefore never reads or writes outside
// the block it was given, whoever built it. Pointers are read only where the
// message's argument types put a pointer (Args_Pointer, in MessageArgs.h),
// so bytes from a file or a script are never taken for one.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

class MessageArgs {
public:
    constexpr MessageArgs() = default;
    constexpr MessageArgs(std::nullptr_t) {}
    MessageArgs(const void* data, size_t size)
        : m_Data(static_cast<uint8_t*>(const_cast<void*>(data))),
          m_Size(data ? static_cast<uint32_t>(size > UINT32_MAX ? UINT32_MAX : size) : 0) {}

    explicit operator bool() const { return m_Data != nullptr; }
    friend bool operator==(MessageArgs args, std::nullptr_t) { return args.m_Data == nullptr; }
    // The bytes themselves, for the code that measures, copies or stores
    // whole blocks (sizes, export, interpolation); handlers use the accessors.
    uint8_t* Data() const { return m_Data; }
    uint32_t Size() const { return m_Size; }
    // True when count bytes from offset lie within the block.
    bool Holds(size_t offset, size_t count) const {
        return m_Data != nullptr && offset <= m_Size && count <= m_Size - offset;
    }
    // The bytes from offset on: empty (but not null) beyond the end, null for a null block.
    MessageArgs At(size_t offset) const {
        if (m_Data == nullptr) return {};
        const size_t start = offset < m_Size ? offset : m_Size;
        return MessageArgs(m_Data + start, m_Size - start);
    }

private:
    uint8_t* m_Data = nullptr;
    uint32_t m_Size = 0;
};

// A block over a value, an array or a text, sized by what it points at: a
// pointer gives the object it points to, an array its whole length, a
// C string its characters and the zero byte. Null gives the null block.
template <typename P>
MessageArgs Args_Of(P&& value) {
    using V = std::remove_cvref_t<P>;
    if constexpr (std::is_same_v<V, std::nullptr_t>) {
        return {};
    } else if constexpr (std::is_array_v<V>) {
        return MessageArgs(value, sizeof(V));
    } else if constexpr (std::is_same_v<V, const char*> || std::is_same_v<V, char*>) {
        return MessageArgs(value, value ? std::strlen(value) + 1 : 0);
    } else {
        using T = std::remove_cv_t<std::remove_pointer_t<V>>;
        static_assert(std::is_pointer_v<V>, "a block is made from a pointer, an array or a text");
        static_assert(!std::is_void_v<T> && !std::is_same_v<T, uint8_t>, "a block over raw bytes needs its size");
        return MessageArgs(value, sizeof(*value));
    }
}

inline MessageArgs Args_Of(const void* data, size_t size) { return MessageArgs(data, size); }

// The value at offset; T{} when the block does not hold it. Pointers are
// read with Args_Pointer, which checks the message's argument types.
template <typename T>
T Args_Get(MessageArgs args, size_t offset = 0) {
    static_assert(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>);
    T value{};
    if (args.Holds(offset, sizeof(T))) std::memcpy(&value, args.Data() + offset, sizeof(T));
    return value;
}

// Writes the value at offset when the block holds it; otherwise nothing.
template <typename T>
void Args_Set(MessageArgs args, size_t offset, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (args.Holds(offset, sizeof(T))) std::memcpy(args.Data() + offset, &value, sizeof(T));
}

// An answer into the first value of a block that may be missing.
template <typename T>
void Args_Answer(MessageArgs args, const T& value) {
    Args_Set(args, 0, value);
}

// The zero-terminated text at offset, or null when no zero byte ends it
// within the block.
inline const char* Args_Text(MessageArgs args, size_t offset = 0) {
    if (!args.Holds(offset, 1)) return nullptr;
    const uint8_t* start = args.Data() + offset;
    return std::memchr(start, 0, args.Size() - offset) ? reinterpret_cast<const char*>(start) : nullptr;
}

// The text at offset, or "" when there is none.
inline const char* Args_TextOr(MessageArgs args, size_t offset = 0) {
    const char* text = Args_Text(args, offset);
    return text ? text : "";
}

// Writes a text answer at offset, cut to the room the block has left and
// always ending in a zero byte (nothing when there is no room at all).
inline void Args_AnswerText(MessageArgs args, size_t offset, std::string_view text) {
    if (!args.Holds(offset, 1)) return;
    const size_t room = args.Size() - offset;
    const size_t length = text.size() < room ? text.size() : room - 1;
    if (length) std::memcpy(args.Data() + offset, text.data(), length);
    args.Data()[offset + length] = 0;
}

// A colour handed to CQVActor::SendMessageArgs as one 16-byte value.
struct ColorValue {
    float r, g, b, a;
};
