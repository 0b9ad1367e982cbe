#include "kernel/actors/Registries.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <strings.h>

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/CommandKeywords.h"

// One translation unit holds all tables, so they are built in this order and
// destroyed in the reverse order at exit.
std::vector<ClassRecord> g_ClassRecords;
std::vector<ValueTypeDesc> g_ValueTypes;
std::vector<CommandDesc> g_CommandDescs;
std::vector<PhysicsMaterial> g_PhysicsMaterials;

void Property_SquareOrRoot(double* value, int32_t direction)
{
    if (direction != 0)
        *value = *value * *value;
    else
        *value = std::sqrt(*value);
}

PropertyDesc::PropertyDesc(const char* label, uint32_t kind, uint32_t setMessage, uint32_t getMessage)
    : label(label), kind(kind), setMessage(setMessage), getMessage(getMessage)
{
}

void PropertyDesc::Set(const char* newLabel, uint32_t newKind, uint32_t newSet, uint32_t newGet, uint32_t newRanged,
                       float newMin, float newMax, float newScale, PropertyConversion newConversion)
{
    label = newLabel;
    kind = newKind;
    setMessage = newSet;
    getMessage = newGet;
    ranged = newRanged;
    min = newMin;
    max = newMax;
    scale = newScale;
    conversion = newConversion;
}

void ClassRecord::Define(const char* className, const char* classDescription, std::vector<uint32_t> classChain)
{
    name = className;
    description = classDescription;
    chain = std::move(classChain);
}

PropertyDesc& ClassRecord::AddProperty(const char* label, uint32_t kind, uint32_t setMessage, uint32_t getMessage)
{
    properties.emplace_back(label, kind, setMessage, getMessage);
    return properties.back();
}

namespace {

struct ValueTypeRow {
    uint32_t id;
    const char* name;
    int32_t size;
    int32_t storedSize;
    uint32_t plain;
    std::vector<uint32_t> members;
};

const ValueTypeRow kValueTypeRows[] = {
#define QV_VALUE_TYPE_ROW(id, sym, name, size, stored, plain, ...) {id, name, size, stored, plain, {__VA_ARGS__}},
    QV_VALUE_TYPES(QV_VALUE_TYPE_ROW)
#undef QV_VALUE_TYPE_ROW
};

struct PhysicsMaterialRow {
    const char* name;
    float Param1, Friction, Bounce;
};

// "Custom" is registered by name only: its values stay at the defaults.
const PhysicsMaterialRow kPhysicsMaterialRows[kPhysicsMaterialCount] = {
    {"Default (Metal)", 5.0f, 0.25f, 0.6f},
    {"Custom", 0.0f, 0.0f, 0.0f},
    {"Wood", 1.5f, 0.2f, 0.4f},
    {"Stone", 1.5f, 0.2f, 0.4f},
    {"Rubber", 1.5f, 0.95f, 0.4f},
    {"Glass", 1.5f, 0.05f, 0.4f},
    {"Mud", 1.5f, 0.05f, 0.4f},
    {"Character", 1.5f, 0.0f, 0.0f},
    {"Grass", 1.5f, 0.08f, 0.4f},
};

constexpr uint32_t kMaxVocabularyArgs = 11;

struct VocabularyEntry {
    uint32_t id;
    uint32_t owner;
    uint32_t flags;
    const char* name;
    uint32_t count;
    uint32_t types[kMaxVocabularyArgs];
    const char* names[kMaxVocabularyArgs];
};

template <typename... Types>
constexpr VocabularyEntry Entry(uint32_t id, uint32_t owner, uint32_t flags, const char* name, Types... types)
{
    static_assert(sizeof...(Types) <= kMaxVocabularyArgs);
    return VocabularyEntry{id, owner, flags, name, sizeof...(Types), {static_cast<uint32_t>(types)...}, {}};
}

constexpr void AddNamed(VocabularyEntry&) {}

template <typename... Rest>
constexpr void AddNamed(VocabularyEntry& entry, ValueType type, const char* argName, Rest... rest)
{
    entry.types[entry.count] = type;
    entry.names[entry.count] = argName;
    ++entry.count;
    AddNamed(entry, rest...);
}

template <typename... Args>
constexpr VocabularyEntry NamedEntry(uint32_t id, uint32_t owner, uint32_t flags, const char* name, Args... args)
{
    static_assert(sizeof...(Args) <= 2 * kMaxVocabularyArgs && sizeof...(Args) % 2 == 0);
    VocabularyEntry entry{id, owner, flags, name, 0, {}, {}};
    AddNamed(entry, args...);
    return entry;
}

constexpr VocabularyEntry kVocabulary[] = {
#define QV_MESSAGE(id, sym, owner, flags, basis, name, ...) Entry(id, CLASS_##owner, flags, name __VA_OPT__(, ) __VA_ARGS__),
#define QV_MESSAGE_NAMED(id, sym, owner, flags, basis, name, ...) NamedEntry(id, CLASS_##owner, flags, name, __VA_ARGS__),
#include "kernel/actors/MessageTable.inc"
#undef QV_MESSAGE
#undef QV_MESSAGE_NAMED
};

const CommandDesc kDefaultCommand{};
const ValueTypeDesc kDefaultValueType{};

void RegisterValueTypes()
{
    g_ValueTypes.assign(kValueTypeTableSize, ValueTypeDesc{});
    for (const ValueTypeRow& row : kValueTypeRows) {
        ValueTypeDesc& type = g_ValueTypes[row.id];
        type.name = row.name;
        type.size = row.size;
        type.storedSize = row.storedSize;
        type.members = row.members;
        if (!row.plain)
            type.flags &= ~VALUE_PLAIN;
    }
}

}  // namespace

void CommandDescs_Finish()
{
    for (CommandDesc& desc : g_CommandDescs) {
        int32_t size = 0;
        for (uint32_t type : desc.argTypes) {
            const ValueTypeDesc& vt = GetValueType(type);
            if (size != -1)
                size = vt.size == -1 ? -1 : size + vt.size;
            if (!(vt.flags & VALUE_PLAIN))
                desc.flags &= ~COMMAND_PLAIN;
            if (type == VT_STRINGPTR || type == VT_COMMAND)
                desc.storedAsIs = false;
        }
        desc.argSize = size;
        if (!(desc.flags & COMMAND_PLAIN))
            desc.storedAsIs = false;
    }
}

namespace {

void RegisterPhysicsMaterials()
{
    g_PhysicsMaterials.assign(kPhysicsMaterialCount, PhysicsMaterial{});
    for (uint32_t i = 0; i < kPhysicsMaterialCount; ++i) {
        const PhysicsMaterialRow& row = kPhysicsMaterialRows[i];
        g_PhysicsMaterials[i].name = row.name;
        g_PhysicsMaterials[i].Param1 = row.Param1;
        g_PhysicsMaterials[i].Friction = row.Friction;
        g_PhysicsMaterials[i].Bounce = row.Bounce;
    }
}

}  // namespace

void RegisterCommandArgs(uint32_t id, const char* name, const char* help, uint32_t classId, uint32_t flags,
                         uint32_t count, const uint32_t* types, const char* const* names)
{
    if (id >= g_CommandDescs.size())
        g_CommandDescs.resize(static_cast<size_t>(id) + 10);
    CommandDesc& desc = g_CommandDescs[id];
    if (!desc.name.empty())
        return;
    desc.name = name;
    desc.help = help;
    desc.owner = classId;
    desc.flags = (desc.flags & ~(COMMAND_EVENT | COMMAND_SCRIPT)) | (flags & (COMMAND_EVENT | COMMAND_SCRIPT));
    if (strncasecmp(name, "Get", 3) == 0)
        desc.flags |= COMMAND_GETTER;
    for (uint32_t i = 0; i < count; ++i) {
        desc.argTypes.push_back(types[i]);
        if ((flags & COMMAND_NAMED_ARGS) && names)
            desc.argNames.emplace_back(names[i]);
    }
}

void RegisterCommand(uint32_t id, const char* name, const char* help, uint32_t classId, uint32_t flags,
                     uint32_t count, ...)
{
    std::vector<uint32_t> types;
    std::vector<const char*> names;
    va_list args;
    va_start(args, count);
    for (uint32_t i = 0; i < count; ++i) {
        types.push_back(va_arg(args, uint32_t));
        if (flags & COMMAND_NAMED_ARGS)
            names.push_back(va_arg(args, const char*));
    }
    va_end(args);
    RegisterCommandArgs(id, name, help, classId, flags, count, types.data(),
                        (flags & COMMAND_NAMED_ARGS) ? names.data() : nullptr);
}

void RegisterBaseClass()
{
    // The game starts alone: no network layer is attached to replication.
    g_NetworkSend = nullptr;
    g_ClassRecords.assign(kClassRecordCount, ClassRecord{});
    ClassRecord& base = g_ClassRecords[CLASS_BASE];
    base.Define("Base", "The base class for all actors, has position, rotation, radius, box, collision and script",
                {CLASS_BASE});
    RegisterBaseProperties(base);

    RegisterValueTypes();

    // Sized by the highest id, whatever order the classes register in.
    uint32_t highest = 0;
    for (const VocabularyEntry& entry : kVocabulary)
        highest = std::max(highest, entry.id);
    g_CommandDescs.assign(static_cast<size_t>(highest) + 10, CommandDesc{});
    for (const VocabularyEntry& entry : kVocabulary)
        RegisterCommandArgs(entry.id, entry.name, "", entry.owner, entry.flags, entry.count, entry.types, entry.names);
    CommandDescs_Finish();

    CommandKeywords_Build();
    RegisterPhysicsMaterials();
}

const CommandDesc& GetCommandDesc(uint32_t id)
{
    return id < g_CommandDescs.size() ? g_CommandDescs[id] : kDefaultCommand;
}

const ValueTypeDesc& GetValueType(uint32_t type)
{
    return type < g_ValueTypes.size() ? g_ValueTypes[type] : kDefaultValueType;
}

uint32_t FindEventCommand(const char* name)
{
    for (uint32_t id = 0; id < g_CommandDescs.size(); ++id) {
        const CommandDesc& desc = g_CommandDescs[id];
        if ((desc.flags & COMMAND_EVENT) && desc.name == name)
            return id;
    }
    return 0;
}
