#pragma once
// Message ids by name, from the vocabulary table, the ids without a
// registered name included. Names that occur more than once, and the
// registered ids with an empty name, carry their id in the symbol.

#include <cstdint>

enum MessageId : uint32_t {
#define QV_MESSAGE(id, sym, ...) MSG_##sym = id,
#define QV_MESSAGE_NAMED(id, sym, ...) MSG_##sym = id,
#define QV_MESSAGE_UNREGISTERED(id, sym, ...) MSG_##sym = id,
#include "kernel/actors/MessageTable.inc"
#undef QV_MESSAGE
#undef QV_MESSAGE_NAMED
#undef QV_MESSAGE_UNREGISTERED
};
