#pragma once
// The engine's self-description: class records with their property sheets,
// the value types of message arguments, one command descriptor per message
// id and the physics materials. Filled once at start-up and only read after.

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/base/Maths.h"

// Pointer-like arguments occupy a native pointer in a block held in memory;
// files keep the 4 bytes of the original layout for them.
constexpr int32_t kPointerArgSize = static_cast<int32_t>(sizeof(void*));

// The maths records travel in argument blocks with their own layout.
constexpr int32_t kVector2Size = sizeof(Vector2);
constexpr int32_t kVector3Size = sizeof(Vector3);
constexpr int32_t kVector4Size = sizeof(Vector4);
constexpr int32_t kMatrixSize = sizeof(Matrix);
constexpr int32_t kQuaternionSize = sizeof(Quaternion);
constexpr int32_t kPlaneSize = sizeof(Plane);
constexpr int32_t kBoxSize = sizeof(Box);
constexpr int32_t kColorSize = 4 * sizeof(float);  // r, g, b, a
static_assert(kMatrixSize == 64 && kQuaternionSize == 16 && kPlaneSize == 16 && kBoxSize == 24);

// id, symbol, name, size in memory (-1: measured in the data), size in the
// stored form, plain (stored by copying its bytes), member types.
#define QV_VALUE_TYPES(X)                                                                   \
    X(1, UINT32, "UInt32", 4, 4, 1)                                                         \
    X(2, INT32, "Int32", 4, 4, 1)                                                           \
    X(3, BOOL, "Bool", 4, 4, 1)                                                             \
    X(4, REAL, "Real", 4, 4, 1)                                                             \
    X(5, STRING128, "String128", 128, 128, 1)                                               \
    X(6, COMMANDID, "CommandID", 4, 4, 1, VT_UINT32)                                        \
    X(7, POINTER, "Pointer", kPointerArgSize, 4, 0)                                         \
    X(8, ACTORPOINTER, "ActorPointer", kPointerArgSize, 4, 0)                               \
    X(9, ACTORPOINTEREXT, "ActorPointerExt", -1, -1, 0, VT_ACTORPOINTER, VT_STRING)         \
    X(10, COLOBJPOINTER, "ColObjPointer", kPointerArgSize, 4, 0, VT_POINTER)                \
    X(11, SCRIPTPOINTER, "ScriptPointer", kPointerArgSize, 4, 0, VT_POINTER)                \
    X(12, STRINGPTR, "StringPtr", kPointerArgSize, 4, 1)                                    \
    X(13, COMMAND, "Command", -1, -1, 1)                                                    \
    X(14, DATA_WITH_SIZEHEADER, "Data With Sizeheader", -1, -1, 1)                          \
    X(15, STRING, "String", -1, -1, 1)                                                      \
    X(16, DATA_NULLTERMINATED16, "Data Nullterminated16", -1, -1, 1)                        \
    X(17, DATA_NULLTERMINATED32, "Data Nullterminated32", -1, -1, 1)                        \
    X(18, VECTOR2, "Vector2", kVector2Size, kVector2Size, 1, VT_REAL, VT_REAL)                                    \
    X(19, VECTOR3, "Vector3", kVector3Size, kVector3Size, 1, VT_REAL, VT_REAL, VT_REAL)                         \
    X(20, VECTOR4, "Vector4", kVector4Size, kVector4Size, 1, VT_REAL, VT_REAL, VT_REAL, VT_REAL)                \
    X(21, MATRIX, "Matrix", kMatrixSize, kMatrixSize, 1, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, \
      VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL, VT_REAL) \
    X(22, QUATERNION, "Quaternion", kQuaternionSize, kQuaternionSize, 1, VT_REAL, VT_REAL, VT_REAL, VT_REAL)          \
    X(23, PLANE, "Plane", kPlaneSize, kPlaneSize, 1, VT_REAL, VT_REAL, VT_REAL, VT_REAL)                    \
    X(24, BOX, "Box", kBoxSize, kBoxSize, 1, VT_VECTOR3, VT_VECTOR3)                                    \
    X(25, COLOR, "Color", kColorSize, kColorSize, 1, VT_REAL, VT_REAL, VT_REAL, VT_REAL)

enum ValueType : uint32_t {
#define QV_VALUE_TYPE_ENUM(id, sym, ...) VT_##sym = id,
    QV_VALUE_TYPES(QV_VALUE_TYPE_ENUM)
#undef QV_VALUE_TYPE_ENUM
};

constexpr uint32_t kValueTypeTableSize = 100;
constexpr uint32_t kClassRecordCount = 54;
constexpr uint32_t kPhysicsMaterialCount = 9;

// Squares the value in place for display when direction is non-zero, and
// takes the square root back when it is zero.
using PropertyConversion = void (*)(double* value, int32_t direction);
void Property_SquareOrRoot(double* value, int32_t direction);

// One editor row. The label holds the caption and, after bars, a choice list
// ("Type:|2D Sound|0|3D Sound|1|"), a button text, a unit or a file filter.
struct PropertyDesc {
    std::string label;
    uint32_t kind = 0;
    uint32_t setMessage = 0;
    uint32_t getMessage = 0;
    uint32_t ranged = 0;
    float min = 0.0f;
    float max = 0.0f;
    float scale = 1.0f;
    PropertyConversion conversion = nullptr;

    PropertyDesc() = default;
    PropertyDesc(const char* label, uint32_t kind, uint32_t setMessage, uint32_t getMessage);
    void Set(const char* label, uint32_t kind, uint32_t setMessage, uint32_t getMessage, uint32_t ranged,
             float min, float max, float scale, PropertyConversion conversion);
};

// Editor control kinds of property rows.
enum PropertyKind : uint32_t {
    PROP_COLOR = 0x01,
    PROP_UINT = 0x03,
    PROP_REAL = 0x04,
    PROP_STRING = 0x06,
    PROP_ROTATION = 0x07,
    PROP_VECTOR = 0x08,
    PROP_SOUND = 0x09,
    PROP_MATERIAL = 0x0a,
    PROP_MESH = 0x0b,
    PROP_SEPARATOR = 0x0c,
    PROP_TITLE = 0x0d,
    PROP_BUTTON = 0x0e,
    PROP_CHOICE = 0x10,
    PROP_CHECK = 0x11,
    PROP_SAVE_FILE = 0x12,
    PROP_OPEN_FILE = 0x13,
    PROP_PICKER = 0x14,
    PROP_CLASS_16 = 0x16,
    PROP_CLASS_18 = 0x18,
    PROP_MOTION = 0x19,
    PROP_CONTAINER = 0x1a,
    PROP_ICON = 0x1b,
    PROP_GROUP_MASK = 0x20,
    PROP_TIME = 0x21,
    PROP_EVENT_LIST = 0x22,
    PROP_HEADING = 0x23,
    PROP_EVENT_LIST_2 = 0x24,
    PROP_PLAY_TIME = 0x25,
    PROP_FONT = 0x26,
    PROP_TEXT = 0x27,
    PROP_VARIANCE = 0x29,
    PROP_SCALE = 0x2a,
    PROP_EMPTY = 0x2b,
    PROP_ACTOR = 0x2c,
    PROP_ANGLE = 0x2d,
};

struct MessageRow;

struct ClassRecord {
    std::string name;
    std::string description;
    std::vector<uint32_t> chain;  // class type ids from the base down
    std::vector<PropertyDesc> properties;
    // The class's message table (ClassMessages.h), kept by its sheet's registration.
    const MessageRow* messageRows = nullptr;
    size_t messageRowCount = 0;

    void Define(const char* className, const char* classDescription, std::vector<uint32_t> classChain);
    PropertyDesc& AddProperty(const char* label, uint32_t kind, uint32_t setMessage, uint32_t getMessage);
};

enum : uint32_t { VALUE_PLAIN = 0x1 };

struct ValueTypeDesc {
    std::string name;
    std::vector<uint32_t> members;
    int32_t size = 0;
    uint32_t flags = VALUE_PLAIN;
    // Bytes in files, -1 measured; a message's own actor pointers are stored as paths.
    int32_t storedSize = 0;
};

enum : uint32_t {
    COMMAND_EVENT = 0x1,       // scripts of an actor can be bound to it
    COMMAND_SCRIPT = 0x2,      // a script command
    COMMAND_PLAIN = 0x4,       // the block can be stored and copied by its bytes
    COMMAND_GETTER = 0x8,      // the name begins with "Get" in any case
    COMMAND_NAMED_ARGS = 0x10  // registration only: each argument type is followed by its name
};

struct CommandDesc {
    std::string name;
    uint32_t owner = 0xFFFFFFFFu;
    int32_t argSize = 0;
    std::vector<uint32_t> argTypes;
    std::vector<std::string> argNames;
    std::string help;
    uint32_t flags = COMMAND_PLAIN;
    // Plain and free of pointer-sized or nested-command arguments: the block
    // in memory is byte for byte its stored form.
    bool storedAsIs = true;
};

struct PhysicsMaterial {
    std::string name;
    float Param1 = 0.0f;
    float Friction = 0.0f;
    float Bounce = 0.0f;
};

extern std::vector<ClassRecord> g_ClassRecords;
extern std::vector<ValueTypeDesc> g_ValueTypes;
extern std::vector<CommandDesc> g_CommandDescs;
extern std::vector<PhysicsMaterial> g_PhysicsMaterials;

// Builds every table except the other classes' records; the class
// registrations fill those afterwards.
void RegisterBaseClass();
void RegisterBaseProperties(ClassRecord& record);

// id, name, help, owning class, flags, argument count, then per argument a
// value type id (uint32_t), followed by its name (const char*) when flags has
// COMMAND_NAMED_ARGS. The first registration of an id wins.
void RegisterCommand(uint32_t id, const char* name, const char* help, uint32_t classId, uint32_t flags,
                     uint32_t count, ...);
void RegisterCommandArgs(uint32_t id, const char* name, const char* help, uint32_t classId, uint32_t flags,
                         uint32_t count, const uint32_t* types, const char* const* names);

// Argument sizes and plain bits from the argument types, once the messages
// are registered (a step of RegisterBaseClass).
void CommandDescs_Finish();

// The descriptor of an id; ids beyond the table give the default entry.
const CommandDesc& GetCommandDesc(uint32_t id);
const ValueTypeDesc& GetValueType(uint32_t type);

// The first message in id order that is an event and bears exactly this name; 0 when none.
uint32_t FindEventCommand(const char* name);
