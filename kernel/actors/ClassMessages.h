#pragma once
// How an actor class handles its messages. Read this before writing a class.
//
// A class is one file (and its header) under actors/, named after it, with
// four parts:
//
// 1. Its message table: a constexpr MessageTable of rows, one per property
//    sheet row and one per Set/Get pair that only stores and answers a
//    value. A pair bound to a field is one row, which gives the handler,
//    the stored field and the editor's row at once:
//        constexpr MessageRow kDoorRows[] = {
//            SheetRow("Door Properties", PROP_TITLE),
//            FieldRow<&CQVDoor::m_Speed>(MSG_SET_DOOR_SPEED, MSG_GET_DOOR_SPEED, "Speed:", PROP_REAL),
//            FlagRow<&CQVDoor::m_Flags>(MSG_SET_DOOR_LOCKED, MSG_GET_DOOR_LOCKED, DOOR_LOCKED, "Locked", PROP_CHECK),
//        };
//        constexpr MessageTable kDoorMessages{kDoorRows};
//    A row without a label binds a pair that the sheet does not show; a
//    SheetRow names messages whose handling has behaviour (or none at all).
//    The field's type says the value type (float Real, uint32_t UInt32 or
//    Int32, Vector3, Quaternion, std::string String; BoolRow and FlagRow
//    keep a Bool in a word or in one bit of it); a test holds every table
//    against the messages' registered argument types.
// 2. Its handler for the messages with behaviour: HandleMessage applies the
//    table first (MessageTable::Apply), then a switch over the ids that do
//    something, then passes the message to the base class's handler (which
//    runs the command spies, the base cases and the event scripts).
// 3. Its Serialize, reading and writing its fields gated by file version.
// 4. Its RegisterProperties: Define the class record, then
//    MessageTable::AddSheet appends the sheet rows in table order.
//
// The argument block (MessageArgs, ArgAccess.h) knows its size: a handler
// reads and writes only through its accessors, which stay within the
// bytes the block holds (a value beyond the end reads as zero, a text
// answer is cut to the room left). Pointers are read with Args_Pointer,
// which answers only where the message's registered argument types put a
// pointer. Blocks made from file or script bytes reach an actor only after
// MessageArgs_AcceptsData, which refuses raw pointers (Pointer,
// ColObjPointer, ScriptPointer) and the engine's own messages that pass
// them; actor pointers arrive only through the import that resolves the
// paths a file holds or the script interpreter that resolves its operands,
// never as bytes taken as they came (ArgSource::Raw). So no handler reads outside its block or takes a
// pointer from file or script bytes, whatever the bytes hold.

#include "kernel/actors/ArgAccess.h"
#include "kernel/base/Maths.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

class CQVActor;
struct ClassRecord;

enum class FieldKind : uint8_t { None, Real, Word, Bool, Flag, Vector3, Quaternion, Text };

struct MessageRow {
    const char* label = nullptr; // property sheet row; null: none
    uint32_t kind = 0;           // control kind of the sheet row
    uint32_t setId = 0;
    uint32_t getId = 0;
    FieldKind field = FieldKind::None;
    uint32_t mask = 0;                     // Flag: the bit of the word
    void* (*fieldOf)(CQVActor&) = nullptr; // the bound field of an actor of the class
};

namespace class_messages_detail {

template <typename M>
struct MemberOf;
template <typename C, typename T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};

template <auto Member>
void* FieldAddress(CQVActor& actor) {
    using C = typename MemberOf<decltype(Member)>::Class;
    return &(static_cast<C&>(actor).*Member);
}

template <typename T>
constexpr FieldKind KindOf() {
    if constexpr (std::is_same_v<T, float>) return FieldKind::Real;
    else if constexpr (std::is_same_v<T, uint32_t> || std::is_same_v<T, int32_t>) return FieldKind::Word;
    else if constexpr (std::is_same_v<T, Vector3>) return FieldKind::Vector3;
    else if constexpr (std::is_same_v<T, Quaternion>) return FieldKind::Quaternion;
    else if constexpr (std::is_same_v<T, std::string>) return FieldKind::Text;
    else static_assert(std::is_same_v<T, float>, "a field of a message table has a value type of the vocabulary");
}

}  // namespace class_messages_detail

// A property sheet row: a title, a separator, or a row whose messages have
// behaviour in the class's handler.
constexpr MessageRow SheetRow(const char* label, uint32_t kind, uint32_t setId = 0, uint32_t getId = 0) {
    return MessageRow{label, kind, setId, getId, FieldKind::None, 0, nullptr};
}

// A Set/Get pair bound to a field of the class; with a label, also its sheet row.
template <auto Member>
constexpr MessageRow FieldRow(uint32_t setId, uint32_t getId, const char* label = nullptr, uint32_t kind = 0) {
    using T = typename class_messages_detail::MemberOf<decltype(Member)>::Type;
    return MessageRow{label, kind, setId, getId, class_messages_detail::KindOf<T>(), 0,
                      &class_messages_detail::FieldAddress<Member>};
}

// A Set/Get pair bound to a 32-bit field that holds a Bool: a set stores 1
// for any value but 0.
template <auto Member>
constexpr MessageRow BoolRow(uint32_t setId, uint32_t getId, const char* label = nullptr, uint32_t kind = 0) {
    using T = typename class_messages_detail::MemberOf<decltype(Member)>::Type;
    static_assert(std::is_same_v<T, uint32_t>, "a Bool row binds a 32-bit word");
    return MessageRow{label, kind, setId, getId, FieldKind::Bool, 0, &class_messages_detail::FieldAddress<Member>};
}

// A Set/Get pair bound to one bit of a 32-bit field; the messages carry a Bool.
template <auto Member>
constexpr MessageRow FlagRow(uint32_t setId, uint32_t getId, uint32_t mask, const char* label = nullptr,
                             uint32_t kind = 0) {
    using T = typename class_messages_detail::MemberOf<decltype(Member)>::Type;
    static_assert(std::is_same_v<T, uint32_t>, "a flag row binds a bit of a 32-bit word");
    return MessageRow{label, kind, setId, getId, FieldKind::Flag, mask, &class_messages_detail::FieldAddress<Member>};
}

// Ids up to this one can be bound by a table (the vocabulary ends at 0x700).
constexpr uint32_t kMessageTableMaxId = 0x7FF;

// Stores or answers the field of one row; the row's pair holds the id.
void MessageRow_Apply(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args);
// Appends a sheet row per labelled row, in order.
void MessageRows_AddSheet(const MessageRow* rows, size_t count, ClassRecord& record);

template <size_t N>
class MessageTable {
public:
    static_assert(N < 255, "a table indexes its rows in one byte");

    constexpr explicit MessageTable(const MessageRow (&rows)[N]) {
        for (size_t i = 0; i < N; ++i) {
            m_Rows[i] = rows[i];
            if (rows[i].field == FieldKind::None) continue;
            for (uint32_t id : {rows[i].setId, rows[i].getId}) {
                if (id != 0 && id <= kMessageTableMaxId) m_Index[id] = static_cast<uint8_t>(i + 1);
            }
        }
    }

    // The row whose bound pair holds the id, or null.
    const MessageRow* Find(uint32_t id) const {
        if (id > kMessageTableMaxId || m_Index[id] == 0) return nullptr;
        return &m_Rows[m_Index[id] - 1];
    }

    // Stores (Set) or answers (Get) the field bound to the id; true when a
    // row did so. The caller goes on as for any other message (the base
    // handler after it, the event scripts).
    bool Apply(CQVActor& actor, uint32_t id, MessageArgs args) const {
        const MessageRow* row = Find(id);
        if (row == nullptr) return false;
        MessageRow_Apply(*row, actor, id, args);
        return true;
    }

    void AddSheet(ClassRecord& record) const { MessageRows_AddSheet(m_Rows.data(), N, record); }

    const MessageRow* begin() const { return m_Rows.data(); }
    const MessageRow* end() const { return m_Rows.data() + N; }
    static constexpr size_t size() { return N; }

private:
    std::array<MessageRow, N> m_Rows{};
    std::array<uint8_t, kMessageTableMaxId + 1> m_Index{};
};

// Every field row agrees with the registered argument types of its pair
// (one argument of the field's value type); the rows that do not, in a
// printable list (empty when all agree).
std::string MessageRows_CheckTypes(const MessageRow* rows, size_t count);
