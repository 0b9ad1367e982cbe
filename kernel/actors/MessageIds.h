#pragma once
// Message ids by name, from the vocabulary table. Names that occur more than
// once, and the unnamed ids, carry their id in the symbol.

#include <cstdint>

enum MessageId : uint32_t {
#define QV_MESSAGE(id, sym, ...) MSG_##sym = id,
#define QV_MESSAGE_NAMED(id, sym, ...) MSG_##sym = id,
#include "kernel/actors/MessageTable.inc"
#undef QV_MESSAGE
#undef QV_MESSAGE_NAMED
};

// Ids the base property sheet names although they are not registered.
enum : uint32_t {
    MSG_SET_SNAP_TO_GRID = 0xb1,
    MSG_GET_SNAP_TO_GRID = 0xb2,
    MSG_SET_LOCK_TRANSFORM = 0xb3,
    MSG_GET_LOCK_TRANSFORM = 0xb4,
    MSG_SET_LOCK_TRANSFORM_RECURSIVE = 0xb5,
    MSG_GET_LOCK_TRANSFORM_RECURSIVE = 0xb6,
    MSG_SET_DUMMY_OBJECT_STYLE = 0xb7,
    MSG_GET_DUMMY_OBJECT_STYLE = 0xb8,
    MSG_CLEAN_UNUSED = 0x15c,
};

// Ids the engine sends among its own actors without a registered name.
enum : uint32_t {
    MSG_SET_LOCAL_MATRIX = 85,
    MSG_COMMAND_SPY = 93,           // {message id, arguments, actor} to every spy
    MSG_COLLECT_DESCENDANTS = 172,  // {class to take, class to skip, list}
    MSG_FIRST_CHILD_OF_CLASS = 173,
    MSG_FIND_DESCENDANT_BY_CLASS = 174,
    MSG_FIND_CHILD_BY_NAME = 175,
    MSG_FIND_DESCENDANT_BY_NAME = 176,
    MSG_FIND_SCRIPT = 219,          // {block name, script out}
    MSG_SET_SAVED_RECURSIVE = 246,
    MSG_SET_MAX_COUNT = 499,
    MSG_GET_MAX_COUNT = 500,
    MSG_SAVE_FILEOBJECT_AS = 510,
    MSG_RELOAD_FILEOBJECT = 513,
};
