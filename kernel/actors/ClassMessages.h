#pragma once
// How an actor class handles its messages. Read this before writing a class.
//
// A class is one file (and its header) under actors/, named after it, with
// four parts:
//
// 1. Its message table: a constexpr MessageTable of rows, one per property
//    sheet row and one per Set/Get pair. Every pair is a row, whatever the
//    set does after it stores: the row gives the handler, the stored field
//    and the editor's row at once.
//        constexpr MessageRow kDoorRows[] = {
//            SheetRow("Door Properties", PROP_TITLE),
//            FieldRow<&CQVDoor::m_Speed>(MSG_SET_DOOR_SPEED, MSG_GET_DOOR_SPEED, "Speed:", PROP_REAL),
//            FlagRow<&CQVDoor::m_Flags>(MSG_SET_DOOR_LOCKED, MSG_GET_DOOR_LOCKED, DOOR_LOCKED, "Locked", PROP_CHECK),
//            FieldRow<&CQVDoor::m_OpenTime>(MSG_SET_DOOR_OPEN_TIME, MSG_GET_DOOR_OPEN_TIME)
//                .Then<&CQVDoor::RestartTimer>(),
//            MemberRow<&CQVDoor::Axis, &CQVDoor::SetAxis>(MSG_SET_DOOR_AXIS, MSG_GET_DOOR_AXIS),
//            FieldRow<&CQVDoor::CurrentWing, &DoorWing::angle>(MSG_SET_OPEN_ANGLE, MSG_GET_OPEN_ANGLE),
//        };
//        constexpr MessageTable kDoorMessages{kDoorRows, CopiedFields<&CQVDoor::m_State, &CQVDoor::m_Timer>()};
//    The row kinds:
//    - SheetRow: a title, a separator, or a row of messages that are more
//      than a pair (buttons, pickers, a set that adds to a list).
//    - FieldRow<&C::m_Field>: a set stores the value, a get answers it. The
//      field's type says the value type (float Real, uint32_t UInt32 or
//      Int32, Vector3, Quaternion, a colour of four floats Color, Matrix,
//      std::string String). BoolRow keeps a Bool in a word (a set stores 1
//      for anything but 0), FlagRow in one bit of a word.
//    - A path after the field reaches into it: a member of a member
//      (&C::m_Lens, &Lens::near) or an element of an array (&C::m_Colors,
//      DIFFUSE). .As<T>() reads the words found there as a T (a record that
//      keeps reals and vectors in words); the table does not compile when
//      the T does not fit in what is left of the array.
//    - An indexed row starts its path with a member function that returns
//      the block the field lies in, null when there is none: the current
//      layer, the selected collision object, the parameter record in use.
//      Without a block the message does nothing and passes on.
//    - MemberRow<&C::Value, &C::SetValue>: a get answers what the member
//      returns, a set hands the value to the other one (a bool for a Bool);
//      nullptr in either place for a pair with only a get, or a set.
//    The modifiers, each a constexpr call on the row:
//    - .Then<&C::Member>(): after a set stored, calls the member.
//    - .StoredBy<&C::Member>(): a set hands the value to the member instead
//      of storing it (a count that remakes a list, a choice checked first);
//      the get still answers the field.
//    - .StoresWhen<&C::Pred>(r): where the predicate is false, a set stores
//      nothing and the handler returns r at once.
//    - .AppliesWhen<&C::Pred>(r): a get answers; where the predicate is
//      false the handler then returns r at once (the sheet shows the row as
//      not applicable).
//    - .WholeValue(): a set whose block does not hold the whole value (or a
//      whole text) stores and calls nothing.
//    - .Returns(r): after the row, the handler returns r at once instead of
//      passing the message on.
//    Members called by rows are public. One that returns void passes the
//    message on; bool false ends the handling with 0; an int is the
//    handler's result, or ROW_PASS_ON to pass the message on.
//    Every id is a name of the vocabulary (MessageTable.inc), those without
//    a registered name included (QV_MESSAGE_UNREGISTERED, with the types
//    the handler reads): a table, a test or a tool never writes a number.
//    A test holds every table against the messages' argument types (one
//    argument of the row's value type).
// 2. Its handler for the messages with behaviour: HandleMessage applies the
//    table first and returns at once when the row says so,
//        if (const RowResult row = kDoorMessages.Apply(*this, id, args); row.Ends()) return row.result;
//    then a switch over the ids that do more than a field, then passes the
//    message to the base class's handler (which runs the command spies, the
//    base cases and the event scripts). The switch holds no Set/Get pair
//    of a value; only pairs of pointers (items, lists), which no row
//    carries, stay there.
// 3. Its Serialize, reading and writing its fields gated by file version.
//    On "Create" from an actor of its class, kDoorMessages.Copy copies the
//    fields of the table's field rows (not those in a block, nor a flag's
//    word) and of the CopiedFields list; only what is not a plain copy
//    (links, owned items, a bit kept back) is written by hand.
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
// never as bytes taken as they came (ArgSource::Raw). So no handler reads
// outside its block or takes a pointer from file or script bytes, whatever
// the bytes hold.

#include "kernel/actors/ArgAccess.h"
#include "kernel/base/Maths.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>

class CQVActor;
struct ClassRecord;

enum class FieldKind : uint8_t { None, Real, Word, Bool, Flag, Vector3, Quaternion, Color, Matrix, Text };

// What a row leaves to its handler: pass the message on (the class's
// switch, then the base class's handler), or any other value, the result
// the handler returns at once.
constexpr int ROW_PASS_ON = -1;

namespace class_messages_detail {

template <typename M>
struct MemberOf;
template <typename C, typename T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};

template <typename... A>
struct FirstOf {
    using Type = void;
};
template <typename A, typename... Rest>
struct FirstOf<A, Rest...> {
    using Type = std::remove_cvref_t<A>;
};

template <typename M>
struct MemberFn;
template <typename C, typename R, typename... A>
struct MemberFn<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
    using Arg = typename FirstOf<A...>::Type;
};
template <typename C, typename R, typename... A>
struct MemberFn<R (C::*)(A...) const> : MemberFn<R (C::*)(A...)> {};

template <typename T>
concept ColorLike = std::is_same_v<T, float[4]> ||
                    (sizeof(T) == 16 && requires(const T& c) {
                        c.r;
                        c.g;
                        c.b;
                        c.a;
                    });

template <typename T>
constexpr FieldKind KindOf() {
    if constexpr (std::is_same_v<T, float>) return FieldKind::Real;
    else if constexpr (std::is_same_v<T, uint32_t> || std::is_same_v<T, int32_t>) return FieldKind::Word;
    else if constexpr (std::is_same_v<T, bool>) return FieldKind::Bool;
    else if constexpr (std::is_same_v<T, Vector3>) return FieldKind::Vector3;
    else if constexpr (std::is_same_v<T, Quaternion>) return FieldKind::Quaternion;
    else if constexpr (std::is_same_v<T, Matrix>) return FieldKind::Matrix;
    else if constexpr (ColorLike<T>) return FieldKind::Color;
    else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, const char*>) return FieldKind::Text;
    else static_assert(std::is_same_v<T, float>, "a row's value has a value type of the vocabulary");
}

// The bytes a value of the kind takes in a field (a text is a std::string).
constexpr size_t SizeOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::Real:
    case FieldKind::Word:
    case FieldKind::Bool:
    case FieldKind::Flag: return 4;
    case FieldKind::Vector3: return sizeof(Vector3);
    case FieldKind::Quaternion: return sizeof(Quaternion);
    case FieldKind::Color: return sizeof(ColorValue);
    case FieldKind::Matrix: return sizeof(Matrix);
    case FieldKind::Text: return sizeof(std::string);
    case FieldKind::None: break;
    }
    return 0;
}

// Never defined: reached while a table is built, it stops the compile.
void RowDoesNotFitItsField();

// A path of data members and array indices from an object to a field.
template <typename O>
O* Walk(O& object) {
    return &object;
}
template <auto Step, auto... Rest, typename O>
auto* Walk(O& object) {
    if constexpr (std::is_member_object_pointer_v<decltype(Step)>) {
        return Walk<Rest...>(object.*Step);
    } else {
        static_assert(std::is_array_v<O> && static_cast<size_t>(Step) < std::extent_v<O>,
                      "an index lies within its array");
        return Walk<Rest...>(object[static_cast<size_t>(Step)]);
    }
}

// The bytes from the field to the end of what holds it: the field itself,
// or the rest of the array its last index steps into.
template <typename O>
constexpr size_t Room() {
    return sizeof(O);
}
template <typename O, auto Step, auto... Rest>
constexpr size_t Room() {
    if constexpr (std::is_member_object_pointer_v<decltype(Step)>) {
        return Room<typename MemberOf<decltype(Step)>::Type, Rest...>();
    } else if constexpr (sizeof...(Rest) == 0) {
        return (std::extent_v<O> - static_cast<size_t>(Step)) * sizeof(std::remove_extent_t<O>);
    } else {
        return Room<std::remove_extent_t<O>, Rest...>();
    }
}

template <bool Indexed, auto First, auto... Rest>
struct PathOf;
template <auto First, auto... Rest>
struct PathOf<false, First, Rest...> {
    using Class = typename MemberOf<decltype(First)>::Class;
    using Field = std::remove_pointer_t<decltype(Walk<First, Rest...>(std::declval<Class&>()))>;
    static constexpr size_t room = Room<Class, First, Rest...>();
};
template <auto First, auto... Rest>
struct PathOf<true, First, Rest...> {
    using Class = typename MemberFn<decltype(First)>::Class;
    using Block = std::remove_pointer_t<typename MemberFn<decltype(First)>::Result>;
    using Field = std::remove_pointer_t<decltype(Walk<Rest...>(std::declval<Block&>()))>;
    static constexpr size_t room = Room<Block, Rest...>();
};

template <auto First, auto... Rest>
using Path = PathOf<std::is_member_function_pointer_v<decltype(First)>, First, Rest...>;

template <auto First, auto... Rest>
void* FieldAddress(CQVActor& actor) {
    using P = Path<First, Rest...>;
    auto& self = static_cast<typename P::Class&>(actor);
    if constexpr (std::is_member_function_pointer_v<decltype(First)>) {
        auto* block = (self.*First)();
        return block ? static_cast<void*>(Walk<Rest...>(*block)) : nullptr;
    } else {
        return static_cast<void*>(Walk<First, Rest...>(self));
    }
}

// A member's result as the handler's: void and true pass on, false is 0.
template <typename F>
int ResultOf(F&& call) {
    using R = decltype(call());
    if constexpr (std::is_void_v<R>) {
        call();
        return ROW_PASS_ON;
    } else if constexpr (std::is_same_v<R, bool>) {
        return call() ? ROW_PASS_ON : 0;
    } else {
        static_assert(std::is_same_v<R, int>, "a member a row calls returns void, bool or int");
        return call();
    }
}

template <auto Member>
int CallMember(CQVActor& actor) {
    auto& self = static_cast<typename MemberFn<decltype(Member)>::Class&>(actor);
    return ResultOf([&] { return (self.*Member)(); });
}

template <auto Pred>
bool CallPredicate(CQVActor& actor) {
    return (static_cast<typename MemberFn<decltype(Pred)>::Class&>(actor).*Pred)();
}

// The value a row reads from a block, as the kind keeps it: a uint32_t for
// Word and Bool, ColorValue for Color, std::string for Text.
template <typename T>
T FromStored(const void* value) {
    if constexpr (std::is_same_v<T, bool>) {
        return *static_cast<const uint32_t*>(value) != 0;
    } else if constexpr (std::is_same_v<T, const char*>) {
        return static_cast<const std::string*>(value)->c_str();
    } else if constexpr (std::is_same_v<T, std::string>) {
        return *static_cast<const std::string*>(value);
    } else {
        static_assert(std::is_trivially_copyable_v<T>);
        T out;
        std::memcpy(&out, value, sizeof out);
        return out;
    }
}

template <typename T>
void ToStored(const T& from, void* value) {
    if constexpr (std::is_same_v<T, bool>) {
        *static_cast<uint32_t*>(value) = from ? 1 : 0;
    } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, std::string>) {
        *static_cast<std::string*>(value) = from;
    } else {
        static_assert(std::is_trivially_copyable_v<T>);
        std::memcpy(value, &from, sizeof from);
    }
}

template <auto Setter>
int CallSetter(CQVActor& actor, const void* value) {
    using F = MemberFn<decltype(Setter)>;
    auto& self = static_cast<typename F::Class&>(actor);
    return ResultOf([&] { return (self.*Setter)(FromStored<typename F::Arg>(value)); });
}

template <auto Getter>
void CallGetter(CQVActor& actor, void* value) {
    using F = MemberFn<decltype(Getter)>;
    ToStored<std::decay_t<typename F::Result>>((static_cast<typename F::Class&>(actor).*Getter)(), value);
}

template <auto... Members>
void CopyMembers(CQVActor& to, const CQVActor& from) {
    const auto copy = [&]<auto Member>() {
        using C = typename MemberOf<decltype(Member)>::Class;
        auto& target = static_cast<C&>(to).*Member;
        const auto& source = static_cast<const C&>(from).*Member;
        if constexpr (std::is_array_v<std::remove_reference_t<decltype(target)>>) {
            std::copy(std::begin(source), std::end(source), std::begin(target));
        } else {
            target = source;
        }
    };
    (copy.template operator()<Members>(), ...);
}

}  // namespace class_messages_detail

struct MessageRow {
    const char* label = nullptr; // property sheet row; null: none
    uint32_t kind = 0;           // control kind of the sheet row
    uint32_t setId = 0;
    uint32_t getId = 0;
    FieldKind field = FieldKind::None;
    bool indexed = false;    // the field lies in a block a member finds
    bool wholeValue = false; // a short block stores nothing
    bool hooked = false;     // members or modifiers take part: not a plain store and answer
    uint32_t mask = 0;       // Flag: the bit of the word
    uint32_t room = 0;       // bytes from the field to the end of what holds it
    void* (*fieldOf)(CQVActor&) = nullptr;         // the bound field, null without its block
    int (*store)(CQVActor&, const void*) = nullptr; // a set's member (StoredBy, MemberRow)
    void (*answer)(CQVActor&, void*) = nullptr;     // a get's member (MemberRow)
    int (*then)(CQVActor&) = nullptr;
    bool (*storesWhen)(CQVActor&) = nullptr;
    bool (*appliesWhen)(CQVActor&) = nullptr;
    int refused = 0;       // StoresWhen
    int notApplicable = 0; // AppliesWhen
    int result = ROW_PASS_ON;

    template <auto Member>
    constexpr MessageRow Then() const {
        return With([](MessageRow& row) { row.then = &class_messages_detail::CallMember<Member>; });
    }
    template <auto Setter>
    constexpr MessageRow StoredBy() const {
        constexpr FieldKind arg =
            class_messages_detail::KindOf<typename class_messages_detail::MemberFn<decltype(Setter)>::Arg>();
        const bool takesBool = arg == FieldKind::Bool || arg == FieldKind::Word;
        if (arg != field && !((field == FieldKind::Bool || field == FieldKind::Flag) && takesBool)) {
            class_messages_detail::RowDoesNotFitItsField();
        }
        return With([](MessageRow& row) { row.store = &class_messages_detail::CallSetter<Setter>; });
    }
    template <auto Pred>
    constexpr MessageRow StoresWhen(int refusedResult = 0) const {
        return With([refusedResult](MessageRow& row) {
            row.storesWhen = &class_messages_detail::CallPredicate<Pred>;
            row.refused = refusedResult;
        });
    }
    template <auto Pred>
    constexpr MessageRow AppliesWhen(int notApplicableResult = 0) const {
        return With([notApplicableResult](MessageRow& row) {
            row.appliesWhen = &class_messages_detail::CallPredicate<Pred>;
            row.notApplicable = notApplicableResult;
        });
    }
    constexpr MessageRow WholeValue() const {
        return With([](MessageRow& row) { row.wholeValue = true; });
    }
    constexpr MessageRow Returns(int handlerResult) const {
        return With([handlerResult](MessageRow& row) { row.result = handlerResult; });
    }
    template <typename T>
    constexpr MessageRow As() const {
        constexpr FieldKind as = class_messages_detail::KindOf<T>();
        if (room == 0 || field == FieldKind::Text || as == FieldKind::Text ||
            class_messages_detail::SizeOf(as) > room) {
            class_messages_detail::RowDoesNotFitItsField();
        }
        MessageRow row = *this;
        row.field = as;
        return row;
    }

private:
    template <typename Change>
    constexpr MessageRow With(Change change) const {
        MessageRow row = *this;
        change(row);
        row.hooked = true;
        return row;
    }
};

// A property sheet row: a title, a separator, or a row whose messages have
// behaviour in the class's handler.
constexpr MessageRow SheetRow(const char* label, uint32_t kind, uint32_t setId = 0, uint32_t getId = 0) {
    return MessageRow{label, kind, setId, getId};
}

// A Set/Get pair bound to a field of the class, or (a member function
// first) of a block the class finds; with a label, also its sheet row.
template <auto First, auto... Rest>
constexpr MessageRow FieldRow(uint32_t setId, uint32_t getId, const char* label = nullptr, uint32_t kind = 0) {
    using P = class_messages_detail::Path<First, Rest...>;
    MessageRow row{label, kind, setId, getId};
    row.field = class_messages_detail::KindOf<typename P::Field>();
    row.indexed = std::is_member_function_pointer_v<decltype(First)>;
    row.room = static_cast<uint32_t>(P::room);
    row.fieldOf = &class_messages_detail::FieldAddress<First, Rest...>;
    return row;
}

// A Set/Get pair bound to a 32-bit field that holds a Bool: a set stores 1
// for any value but 0.
template <auto First, auto... Rest>
constexpr MessageRow BoolRow(uint32_t setId, uint32_t getId, const char* label = nullptr, uint32_t kind = 0) {
    static_assert(std::is_same_v<typename class_messages_detail::Path<First, Rest...>::Field, uint32_t>,
                  "a Bool row binds a 32-bit word");
    MessageRow row = FieldRow<First, Rest...>(setId, getId, label, kind);
    row.field = FieldKind::Bool;
    return row;
}

// A Set/Get pair bound to one bit of a 32-bit field; the messages carry a Bool.
template <auto First, auto... Rest>
constexpr MessageRow FlagRow(uint32_t setId, uint32_t getId, uint32_t mask, const char* label = nullptr,
                             uint32_t kind = 0) {
    static_assert(std::is_same_v<typename class_messages_detail::Path<First, Rest...>::Field, uint32_t>,
                  "a flag row binds a bit of a 32-bit word");
    MessageRow row = FieldRow<First, Rest...>(setId, getId, label, kind);
    row.field = FieldKind::Flag;
    row.mask = mask;
    return row;
}

// A Set/Get pair answered by a member's value and stored through another
// member (nullptr for a pair with only a get, or only a set, of its own).
template <auto Getter, auto Setter = nullptr>
constexpr MessageRow MemberRow(uint32_t setId, uint32_t getId, const char* label = nullptr, uint32_t kind = 0) {
    using namespace class_messages_detail;
    MessageRow row{label, kind, setId, getId};
    row.hooked = true;
    if constexpr (!std::is_same_v<decltype(Getter), std::nullptr_t>) {
        row.field = KindOf<std::decay_t<typename MemberFn<decltype(Getter)>::Result>>();
        row.answer = &CallGetter<Getter>;
    }
    if constexpr (!std::is_same_v<decltype(Setter), std::nullptr_t>) {
        constexpr FieldKind set = KindOf<typename MemberFn<decltype(Setter)>::Arg>();
        if constexpr (!std::is_same_v<decltype(Getter), std::nullptr_t>) {
            static_assert(set == KindOf<std::decay_t<typename MemberFn<decltype(Getter)>::Result>>(),
                          "a member row's set takes the value its get gives");
        }
        row.field = set;
        row.store = &CallSetter<Setter>;
    }
    return row;
}

// The fields a class copies on "Create" besides those its rows bind.
struct FieldCopy {
    void (*copy)(CQVActor& to, const CQVActor& from) = nullptr;
};

template <auto... Members>
constexpr FieldCopy CopiedFields() {
    return FieldCopy{&class_messages_detail::CopyMembers<Members...>};
}

// What a table did with a message: whether a row binds the id, and the
// handler's result when the row ends the handling.
struct RowResult {
    bool bound = false;
    int result = ROW_PASS_ON;

    explicit operator bool() const { return bound; }
    bool Ends() const { return result != ROW_PASS_ON; }
};

// Ids up to this one can be bound by a table (the vocabulary ends at 0x700).
constexpr uint32_t kMessageTableMaxId = 0x7FF;

// Stores or answers the value of one row; the row's pair holds the id. The
// handler's result, or ROW_PASS_ON.
int MessageRow_Apply(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args);
// Appends a sheet row per labelled row, in order.
void MessageRows_AddSheet(const MessageRow* rows, size_t count, ClassRecord& record);
// Copies the fields of the rows bound to a field of the class itself (not
// those in a block, nor a flag's word, which may hold bits no row names).
void MessageRows_Copy(const MessageRow* rows, size_t count, CQVActor& to, const CQVActor& from);

template <size_t N>
class MessageTable {
public:
    static_assert(N < 255, "a table indexes its rows in one byte");

    constexpr explicit MessageTable(const MessageRow (&rows)[N], FieldCopy copied = {}) : m_Copied(copied) {
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

    // Stores (Set) or answers (Get) the value bound to the id. Unless the
    // result ends the handling, the caller goes on as for any other message
    // (the base handler after it, the event scripts).
    RowResult Apply(CQVActor& actor, uint32_t id, MessageArgs args) const {
        const MessageRow* row = Find(id);
        if (row == nullptr) return RowResult{};
        return RowResult{true, MessageRow_Apply(*row, actor, id, args)};
    }

    // On "Create" from an actor of the class: the rows' fields, then the
    // copied fields.
    void Copy(CQVActor& to, const CQVActor& from) const {
        MessageRows_Copy(m_Rows.data(), N, to, from);
        if (m_Copied.copy) m_Copied.copy(to, from);
    }

    void AddSheet(ClassRecord& record) const { MessageRows_AddSheet(m_Rows.data(), N, record); }

    const MessageRow* begin() const { return m_Rows.data(); }
    const MessageRow* end() const { return m_Rows.data() + N; }
    static constexpr size_t size() { return N; }

private:
    std::array<MessageRow, N> m_Rows{};
    std::array<uint8_t, kMessageTableMaxId + 1> m_Index{};
    FieldCopy m_Copied;
};

// Every row with a value agrees with the registered argument types of its
// pair (one argument of the row's value type); the rows that do not, in a
// printable list (empty when all agree).
std::string MessageRows_CheckTypes(const MessageRow* rows, size_t count);
