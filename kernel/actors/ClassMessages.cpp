#include "kernel/actors/ClassMessages.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"

namespace {

// One value of any kind, as a row reads it from a block or a member gives it.
struct RowValue {
    uint8_t bytes[16] = {};
    std::string text;

    void* For(FieldKind kind) { return kind == FieldKind::Text ? static_cast<void*>(&text) : bytes; }
};

bool HoldsWholeValue(FieldKind kind, MessageArgs args) {
    if (kind == FieldKind::Text) return Args_Text(args) != nullptr;
    return args.Holds(0, class_messages_detail::SizeOf(kind));
}

// Reads a set's value into its stored form.
void Read(FieldKind kind, MessageArgs args, RowValue& value) {
    switch (kind) {
    case FieldKind::Bool:
    case FieldKind::Flag: {
        const uint32_t word = Args_Get<uint32_t>(args) ? 1 : 0;
        std::memcpy(value.bytes, &word, sizeof word);
        break;
    }
    case FieldKind::Text: value.text = Args_TextOr(args); break;
    case FieldKind::None: break;
    default: {
        // Beyond the end of a short block the whole value reads as zero.
        const size_t size = class_messages_detail::SizeOf(kind);
        if (args.Holds(0, size)) std::memcpy(value.bytes, args.Data(), size);
        break;
    }
    }
}

// Writes a get's answer from its stored form.
void Answer(FieldKind kind, MessageArgs args, const RowValue& value) {
    if (kind == FieldKind::Text) {
        Args_AnswerText(args, 0, value.text);
        return;
    }
    const size_t size = class_messages_detail::SizeOf(kind);
    if (args.Holds(0, size)) std::memcpy(args.Data(), value.bytes, size);
}

void StoreField(const MessageRow& row, void* field, const RowValue& value) {
    switch (row.field) {
    case FieldKind::Text: *static_cast<std::string*>(field) = value.text; break;
    case FieldKind::Flag: {
        uint32_t word, on;
        std::memcpy(&word, field, sizeof word);
        std::memcpy(&on, value.bytes, sizeof on);
        word = on ? (word | row.mask) : (word & ~row.mask);
        std::memcpy(field, &word, sizeof word);
        break;
    }
    case FieldKind::None: break;
    default: std::memcpy(field, value.bytes, class_messages_detail::SizeOf(row.field)); break;
    }
}

void LoadField(const MessageRow& row, const void* field, RowValue& value) {
    switch (row.field) {
    case FieldKind::Text: value.text = *static_cast<const std::string*>(field); break;
    case FieldKind::Flag: {
        uint32_t word;
        std::memcpy(&word, field, sizeof word);
        const uint32_t on = (word & row.mask) ? 1 : 0;
        std::memcpy(value.bytes, &on, sizeof on);
        break;
    }
    case FieldKind::None: break;
    default: std::memcpy(value.bytes, field, class_messages_detail::SizeOf(row.field)); break;
    }
}

int Set(const MessageRow& row, CQVActor& actor, MessageArgs args) {
    if (row.storesWhen && !row.storesWhen(actor)) return row.refused;
    if (!row.wholeValue || HoldsWholeValue(row.field, args)) {
        RowValue value;
        Read(row.field, args, value);
        if (row.store) {
            const int result = row.store(actor, value.For(row.field));
            if (result != ROW_PASS_ON) return result;
        } else {
            void* field = row.fieldOf(actor);
            if (field == nullptr) return ROW_PASS_ON;
            StoreField(row, field, value);
        }
    }
    if (row.then) {
        const int result = row.then(actor);
        if (result != ROW_PASS_ON) return result;
    }
    return row.result;
}

int Get(const MessageRow& row, CQVActor& actor, MessageArgs args) {
    RowValue value;
    if (row.answer) {
        row.answer(actor, value.For(row.field));
    } else {
        const void* field = row.fieldOf(actor);
        if (field == nullptr) return ROW_PASS_ON;
        LoadField(row, field, value);
    }
    Answer(row.field, args, value);
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
    case FieldKind::Text: return types[0] == VT_STRING;
    case FieldKind::None: break;
    }
    return false;
}

}  // namespace

int MessageRow_Apply(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args) {
    if (row.field == FieldKind::None) return ROW_PASS_ON;
    return id == row.setId ? Set(row, actor, args) : Get(row, actor, args);
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
        RowValue value;
        LoadField(row, row.fieldOf(const_cast<CQVActor&>(from)), value);
        StoreField(row, row.fieldOf(to), value);
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
