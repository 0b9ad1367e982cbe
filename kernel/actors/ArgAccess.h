#pragma once
// Reading and writing the values of a message's argument block. A block
// holds its arguments packed one after another in the order of the message's
// argument value types, with no gaps, so values are unaligned and are copied
// in and out.

#include <cstddef>
#include <cstdint>
#include <cstring>

struct MessageArgs; // never defined: a block is only ever reached through a pointer

template <typename T>
inline MessageArgs* Args_Of(T* block) {
    return reinterpret_cast<MessageArgs*>(block);
}

template <typename T>
inline MessageArgs* Args_Of(const T* block) {
    return reinterpret_cast<MessageArgs*>(const_cast<T*>(block));
}

inline const uint8_t* Args_Bytes(const MessageArgs* args) { return reinterpret_cast<const uint8_t*>(args); }
inline uint8_t* Args_Bytes(MessageArgs* args) { return reinterpret_cast<uint8_t*>(args); }

template <typename T>
inline T Args_Get(const MessageArgs* args, size_t offset = 0) {
    T value;
    std::memcpy(&value, Args_Bytes(args) + offset, sizeof(T));
    return value;
}

template <typename T>
inline void Args_Set(MessageArgs* args, size_t offset, const T& value) {
    std::memcpy(Args_Bytes(args) + offset, &value, sizeof(T));
}

// The value at offset of a block that may be missing: T{} without one.
template <typename T>
inline T Args_GetOr(const MessageArgs* args, size_t offset = 0) {
    return args ? Args_Get<T>(args, offset) : T{};
}

// An answer into the first value of a block that may be missing.
template <typename T>
inline void Args_Answer(MessageArgs* args, const T& value) {
    if (args) Args_Set(args, 0, value);
}

inline MessageArgs* Args_At(MessageArgs* args, size_t offset) { return Args_Of(Args_Bytes(args) + offset); }

// A colour handed to CQVActor::SendMessageArgs as one 16-byte value.
struct ColorValue {
    float r, g, b, a;
};
