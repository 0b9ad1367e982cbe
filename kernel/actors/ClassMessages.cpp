#include "kernel/actors/ClassMessages.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"

namespace {

using class_messages_detail::SizeOf;

// Values of a fixed size move with fixed-size copies: every message to an
// actor passes the base table, and most of them are a word.
template <size_t N>
void CopyIn(void* field, MessageArgs args) {
    if (args.Holds(0, N)) {
        std::memcpy(field, args.Data(), N);
    } else {
        std::memset(field, 0, N);
    }
}

template <size_t N>
void CopyOut(const void* field, MessageArgs args) {
    if (args.Holds(0, N)) std::memcpy(args.Data(), field, N);
}

__attribute__((noinline)) void StoreText(void* field, MessageArgs args) {
    *static_cast<std::string*>(field) = Args_TextOr(args);
}

__attribute__((noinline)) void AnswerText(const void* field, MessageArgs args) {
    Args_AnswerText(args, 0, *static_cast<const std::string*>(field));
}

// A set's value straight into its field; beyond the end of a short block
// the whole value reads as zero.
inline void StoreFromBlock(const MessageRow& row, void* field, MessageArgs args) {
    switch (row.field) {
    case FieldKind::Text: StoreText(field, args); break;
    case FieldKind::Bool: {
        const uint32_t on = Args_Get<uint32_t>(args) ? 1 : 0;
        std::memcpy(field, &on, sizeof on);
        break;
    }
    case FieldKind::Flag: {
        uint32_t word;
        std::memcpy(&word, field, sizeof word);
        word = Args_Get<uint32_t>(args) ? (word | row.mask) : (word & ~row.mask);
        std::memcpy(field, &word, sizeof word);
        break;
    }
    case FieldKind::Real:
    case FieldKind::Word: CopyIn<4>(field, args); break;
    case FieldKind::Vector3: CopyIn<sizeof(Vector3)>(field, args); break;
    case FieldKind::Quaternion: CopyIn<sizeof(Quaternion)>(field, args); break;
    case FieldKind::Color: CopyIn<sizeof(ColorValue)>(field, args); break;
    case FieldKind::Matrix: CopyIn<sizeof(Matrix)>(field, args); break;
    case FieldKind::None: break;
    }
}

// A get's answer straight from its field.
inline void AnswerFromField(const MessageRow& row, const void* field, MessageArgs args) {
    switch (row.field) {
    case FieldKind::Text: AnswerText(field, args); break;
    case FieldKind::Flag: {
        uint32_t word;
        std::memcpy(&word, field, sizeof word);
        Args_Answer<uint32_t>(args, (word & row.mask) ? 1 : 0);
        break;
    }
    case FieldKind::Real:
    case FieldKind::Word:
    case FieldKind::Bool: CopyOut<4>(field, args); break;
    case FieldKind::Vector3: CopyOut<sizeof(Vector3)>(field, args); break;
    case FieldKind::Quaternion: CopyOut<sizeof(Quaternion)>(field, args); break;
    case FieldKind::Color: CopyOut<sizeof(ColorValue)>(field, args); break;
    case FieldKind::Matrix: CopyOut<sizeof(Matrix)>(field, args); break;
    case FieldKind::None: break;
    }
}

// The value a member row hands over or is given, in the form the kind keeps
// it (ClassMessages.h: FromStored, ToStored).
struct MemberValue {
    uint8_t bytes[sizeof(Matrix)] = {};
    std::string text;

    explicit MemberValue(FieldKind kind) : kind(kind) {}
    void* Get() { return kind == FieldKind::Text ? static_cast<void*>(&text) : bytes; }

    void Read(MessageArgs args) {
        if (kind == FieldKind::Text) {
            text = Args_TextOr(args);
        } else if (kind == FieldKind::Bool || kind == FieldKind::Flag) {
            const uint32_t on = Args_Get<uint32_t>(args) ? 1 : 0;
            std::memcpy(bytes, &on, sizeof on);
        } else if (args.Holds(0, SizeOf(kind))) {
            std::memcpy(bytes, args.Data(), SizeOf(kind));
        }
    }
    void Answer(MessageArgs args) const {
        if (kind == FieldKind::Text) {
            Args_AnswerText(args, 0, text);
        } else if (args.Holds(0, SizeOf(kind))) {
            std::memcpy(args.Data(), bytes, SizeOf(kind));
        }
    }

    FieldKind kind;
};

bool HoldsWholeValue(FieldKind kind, MessageArgs args) {
    if (kind == FieldKind::Text) return Args_Text(args) != nullptr;
    return args.Holds(0, SizeOf(kind));
}

int Set(const MessageRow& row, CQVActor& actor, MessageArgs args) {
    if (row.storesWhen && !row.storesWhen(actor)) return row.refused;
    // The block is found first: a member that makes it on demand does so
    // whatever the block of the message holds.
    void* field = nullptr;
    if (row.store == nullptr) {
        field = row.fieldOf ? row.fieldOf(actor) : nullptr;
        if (field == nullptr) return ROW_PASS_ON;
    }
    if (row.wholeValue && !HoldsWholeValue(row.field, args)) return row.result;
    if (row.store) {
        MemberValue value(row.field);
        value.Read(args);
        const int result = row.store(actor, value.Get());
        if (result != ROW_PASS_ON) return result;
    } else {
        StoreFromBlock(row, field, args);
    }
    if (row.then) {
        const int result = row.then(actor);
        if (result != ROW_PASS_ON) return result;
    }
    return row.result;
}

int Get(const MessageRow& row, CQVActor& actor, MessageArgs args);

// Kept apart from the plain path, which then needs no frame for a member's value.
__attribute__((noinline)) int ApplyHooked(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args) {
    if (row.field == FieldKind::None) return ROW_PASS_ON;
    return id == row.setId ? Set(row, actor, args) : Get(row, actor, args);
}

int Get(const MessageRow& row, CQVActor& actor, MessageArgs args) {
    if (row.answer) {
        MemberValue value(row.field);
        row.answer(actor, value.Get());
        value.Answer(args);
    } else {
        const void* field = row.fieldOf ? row.fieldOf(actor) : nullptr;
        if (field == nullptr) return ROW_PASS_ON;
        AnswerFromField(row, field, args);
    }
    if (row.appliesWhen && !row.appliesWhen(actor)) return row.notApplicable;
    return row.result;
}

// The argument types each kind of value carries.
bool Agrees(FieldKind kind, const std::vector<uint32_t>& types) {
    if (types.size() != 1) return false;
    switch (kind) {
    case FieldKind::Real: return types[0] == VT_REAL;
    case FieldKind::Word: return types[0] == VT_UINT32 || types[0] == VT_INT32;
    case FieldKind::Bool:
    case FieldKind::Flag: return types[0] == VT_BOOL;
    case FieldKind::Vector3: return types[0] == VT_VECTOR3;
    case FieldKind::Quaternion: return types[0] == VT_QUATERNION;
    case FieldKind::Color: return types[0] == VT_COLOR;
    case FieldKind::Matrix: return types[0] == VT_MATRIX;
    case FieldKind::Text: return types[0] == VT_STRING;
    case FieldKind::None: break;
    }
    return false;
}

}  // namespace

int MessageRow_Apply(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args) {
    if (!row.hooked) {
        // A plain pair: the most common row by far, and every message passes the base table.
        void* field = row.fieldOf ? row.fieldOf(actor) : nullptr;
        if (field == nullptr) return ROW_PASS_ON;
        if (id == row.setId) {
            StoreFromBlock(row, field, args);
        } else {
            AnswerFromField(row, field, args);
        }
        return ROW_PASS_ON;
    }
    return ApplyHooked(row, actor, id, args);
}

void MessageRows_AddSheet(const MessageRow* rows, size_t count, ClassRecord& record) {
    record.messageRows = rows;
    record.messageRowCount = count;
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].label) record.AddProperty(rows[i].label, rows[i].kind, rows[i].setId, rows[i].getId);
    }
}

void MessageRows_Copy(const MessageRow* rows, size_t count, CQVActor& to, const CQVActor& from) {
    if (&to == &from) return;
    for (size_t i = 0; i < count; ++i) {
        const MessageRow& row = rows[i];
        if (row.fieldOf == nullptr || row.indexed || row.field == FieldKind::None || row.field == FieldKind::Flag)
            continue;
        const void* source = row.fieldOf(const_cast<CQVActor&>(from));
        void* target = row.fieldOf(to);
        if (row.field == FieldKind::Text) {
            *static_cast<std::string*>(target) = *static_cast<const std::string*>(source);
        } else {
            std::memcpy(target, source, SizeOf(row.field));
        }
    }
}

std::string MessageRows_CheckTypes(const MessageRow* rows, size_t count) {
    std::string wrong;
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].field == FieldKind::None) continue;
        for (uint32_t id : {rows[i].setId, rows[i].getId}) {
            if (id == 0 || Agrees(rows[i].field, MessageArgs_Signature(id))) continue;
            wrong += (wrong.empty() ? "" : ", ") + std::to_string(id) + " \"" + GetCommandDesc(id).name + "\"";
        }
    }
    return wrong;
}
