#include "kernel/actors/ClassMessages.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"

namespace {

template <typename T>
T& Field(const MessageRow& row, CQVActor& actor) {
    return *static_cast<T*>(row.fieldOf(actor));
}

template <typename T>
void StoreOrAnswer(const MessageRow& row, CQVActor& actor, bool set, MessageArgs args) {
    if (set) {
        Field<T>(row, actor) = Args_Get<T>(args);
    } else {
        Args_Answer(args, Field<T>(row, actor));
    }
}

// The argument types each kind of field carries.
bool Agrees(FieldKind kind, const std::vector<uint32_t>& types) {
    if (types.size() != 1) return false;
    switch (kind) {
    case FieldKind::Real: return types[0] == VT_REAL;
    case FieldKind::Word: return types[0] == VT_UINT32 || types[0] == VT_INT32;
    case FieldKind::Bool:
    case FieldKind::Flag: return types[0] == VT_BOOL;
    case FieldKind::Vector3: return types[0] == VT_VECTOR3;
    case FieldKind::Quaternion: return types[0] == VT_QUATERNION;
    case FieldKind::Text: return types[0] == VT_STRING;
    case FieldKind::None: break;
    }
    return false;
}

}  // namespace

void MessageRow_Apply(const MessageRow& row, CQVActor& actor, uint32_t id, MessageArgs args) {
    const bool set = id == row.setId;
    switch (row.field) {
    case FieldKind::Real: StoreOrAnswer<float>(row, actor, set, args); break;
    case FieldKind::Word: StoreOrAnswer<uint32_t>(row, actor, set, args); break;
    case FieldKind::Vector3: StoreOrAnswer<Vector3>(row, actor, set, args); break;
    case FieldKind::Quaternion: StoreOrAnswer<Quaternion>(row, actor, set, args); break;
    case FieldKind::Bool: {
        uint32_t& word = Field<uint32_t>(row, actor);
        if (set) {
            word = Args_Get<uint32_t>(args) ? 1 : 0;
        } else {
            Args_Answer(args, word);
        }
        break;
    }
    case FieldKind::Flag: {
        uint32_t& word = Field<uint32_t>(row, actor);
        if (set) {
            word = Args_Get<uint32_t>(args) ? (word | row.mask) : (word & ~row.mask);
        } else {
            Args_Answer<uint32_t>(args, (word & row.mask) ? 1 : 0);
        }
        break;
    }
    case FieldKind::Text: {
        std::string& text = Field<std::string>(row, actor);
        if (set) {
            text = Args_TextOr(args);
        } else {
            Args_AnswerText(args, 0, text);
        }
        break;
    }
    case FieldKind::None: break;
    }
}

void MessageRows_AddSheet(const MessageRow* rows, size_t count, ClassRecord& record) {
    record.messageRows = rows;
    record.messageRowCount = count;
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].label) record.AddProperty(rows[i].label, rows[i].kind, rows[i].setId, rows[i].getId);
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
