#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

namespace {

class Registries : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBaseClass(); }
    static void TearDownTestSuite() { RegisterBaseClass(); }
};

void SendNowhere(uint32_t, const uint8_t*, uint32_t) {}

// Registration starts the game alone: whatever network layer was attached
// before is gone.
TEST(RegisterBaseClass, DetachesTheNetworkLayer)
{
    g_NetworkSend = &SendNowhere;
    RegisterBaseClass();
    EXPECT_EQ(g_NetworkSend, nullptr);
}

struct ValueTypeCase {
    uint32_t id;
    const char* name;
    int32_t size;
    int32_t storedSize;
    bool plain;
    std::vector<uint32_t> members;
};

class ValueTypes : public Registries, public ::testing::WithParamInterface<ValueTypeCase> {};

TEST_P(ValueTypes, HaveNameSizeAndMembers)
{
    const ValueTypeCase& c = GetParam();
    const ValueTypeDesc& vt = GetValueType(c.id);
    EXPECT_EQ(vt.name, c.name);
    EXPECT_EQ(vt.size, c.size);
    EXPECT_EQ(vt.storedSize, c.storedSize);
    EXPECT_EQ((vt.flags & VALUE_PLAIN) != 0, c.plain);
    EXPECT_EQ(vt.members, c.members);
}

constexpr int32_t P = sizeof(void*);
const std::vector<uint32_t> kReal4 = {VT_REAL, VT_REAL, VT_REAL, VT_REAL};

INSTANTIATE_TEST_SUITE_P(
    All, ValueTypes,
    ::testing::Values(
        ValueTypeCase{1, "UInt32", 4, 4, true, {}}, ValueTypeCase{2, "Int32", 4, 4, true, {}},
        ValueTypeCase{3, "Bool", 4, 4, true, {}}, ValueTypeCase{4, "Real", 4, 4, true, {}},
        ValueTypeCase{5, "String128", 128, 128, true, {}}, ValueTypeCase{6, "CommandID", 4, 4, true, {VT_UINT32}},
        ValueTypeCase{7, "Pointer", P, 4, false, {}}, ValueTypeCase{8, "ActorPointer", P, 4, false, {}},
        ValueTypeCase{9, "ActorPointerExt", -1, -1, false, {VT_ACTORPOINTER, VT_STRING}},
        ValueTypeCase{10, "ColObjPointer", P, 4, false, {VT_POINTER}},
        ValueTypeCase{11, "ScriptPointer", P, 4, false, {VT_POINTER}},
        ValueTypeCase{12, "StringPtr", P, 4, true, {}}, ValueTypeCase{13, "Command", -1, -1, true, {}},
        ValueTypeCase{14, "Data With Sizeheader", -1, -1, true, {}}, ValueTypeCase{15, "String", -1, -1, true, {}},
        ValueTypeCase{16, "Data Nullterminated16", -1, -1, true, {}},
        ValueTypeCase{17, "Data Nullterminated32", -1, -1, true, {}},
        ValueTypeCase{18, "Vector2", 8, 8, true, {VT_REAL, VT_REAL}},
        ValueTypeCase{19, "Vector3", 12, 12, true, {VT_REAL, VT_REAL, VT_REAL}},
        ValueTypeCase{20, "Vector4", 16, 16, true, kReal4},
        ValueTypeCase{21, "Matrix", 64, 64, true, std::vector<uint32_t>(16, VT_REAL)},
        ValueTypeCase{22, "Quaternion", 16, 16, true, kReal4}, ValueTypeCase{23, "Plane", 16, 16, true, kReal4},
        ValueTypeCase{24, "Box", 24, 24, true, {VT_VECTOR3, VT_VECTOR3}},
        ValueTypeCase{25, "Color", 16, 16, true, kReal4},
        // Unnamed ids stay default: plain, size 0.
        ValueTypeCase{26, "", 0, 0, true, {}}, ValueTypeCase{99, "", 0, 0, true, {}},
        ValueTypeCase{0, "", 0, 0, true, {}}));

TEST_F(Registries, TablesHaveTheirSizes)
{
    EXPECT_EQ(g_ClassRecords.size(), 54u);
    EXPECT_EQ(g_ValueTypes.size(), 100u);
    EXPECT_EQ(g_CommandDescs.size(), 1802u);
    EXPECT_EQ(g_PhysicsMaterials.size(), 9u);
}

TEST_F(Registries, PhysicsMaterialsByIndex)
{
    const PhysicsMaterial expected[] = {
        {"Default (Metal)", 5.0f, 0.25f, 0.6f}, {"Custom", 0.0f, 0.0f, 0.0f}, {"Wood", 1.5f, 0.2f, 0.4f},
        {"Stone", 1.5f, 0.2f, 0.4f},           {"Rubber", 1.5f, 0.95f, 0.4f}, {"Glass", 1.5f, 0.05f, 0.4f},
        {"Mud", 1.5f, 0.05f, 0.4f},            {"Character", 1.5f, 0.0f, 0.0f}, {"Grass", 1.5f, 0.08f, 0.4f}};
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_PhysicsMaterials[i].name, expected[i].name);
        EXPECT_FLOAT_EQ(g_PhysicsMaterials[i].Param1, expected[i].Param1);
        EXPECT_FLOAT_EQ(g_PhysicsMaterials[i].Friction, expected[i].Friction);
        EXPECT_FLOAT_EQ(g_PhysicsMaterials[i].Bounce, expected[i].Bounce);
    }
}

TEST_F(Registries, BaseRecordAndDefaultRecords)
{
    const ClassRecord& base = g_ClassRecords[CLASS_BASE];
    EXPECT_EQ(base.name, "Base");
    EXPECT_EQ(base.description, "The base class for all actors, has position, rotation, radius, box, collision and script");
    EXPECT_EQ(base.chain, std::vector<uint32_t>{0});
    for (uint32_t type = 1; type < kClassRecordCount; ++type) {
        EXPECT_TRUE(g_ClassRecords[type].name.empty()) << type;
        EXPECT_TRUE(g_ClassRecords[type].chain.empty()) << type;
        EXPECT_TRUE(g_ClassRecords[type].properties.empty()) << type;
    }
}

TEST_F(Registries, BaseSheetHasItsSixtyFourRows)
{
    const std::vector<PropertyDesc>& rows = g_ClassRecords[CLASS_BASE].properties;
    ASSERT_EQ(rows.size(), 64u);
    EXPECT_EQ(rows[0].label, "Base Properties");
    EXPECT_EQ(rows[10].label, "Event Properties");
    EXPECT_EQ(rows[12].label, "Advanced Base Properties");
    uint32_t titles = 0;
    for (const PropertyDesc& row : rows) {
        SCOPED_TRACE(row.label);
        titles += row.kind == PROP_TITLE;
        EXPECT_EQ(row.ranged, 0u);
        EXPECT_EQ(row.min, 0.0f);
        EXPECT_EQ(row.max, 0.0f);
        EXPECT_EQ(row.scale, 1.0f);
        EXPECT_EQ(row.conversion, nullptr);
        switch (row.kind) {
        case PROP_BUTTON:
            EXPECT_NE(row.setMessage, 0u);
            EXPECT_EQ(row.getMessage, 0u);
            break;
        case PROP_TITLE:
        case PROP_SEPARATOR:
        case PROP_HEADING:
        case PROP_EVENT_LIST:
            EXPECT_EQ(row.setMessage, 0u);
            EXPECT_EQ(row.getMessage, 0u);
            break;
        default:
            EXPECT_NE(row.setMessage, 0u);
            EXPECT_NE(row.getMessage, 0u);
        }
    }
    EXPECT_EQ(titles, 3u);

    // A few rows in full: the not registered editor ids, the material list,
    // the second "Set Collision GHE" id and the doubled colon.
    EXPECT_EQ(rows[3].setMessage, static_cast<uint32_t>(MSG_SET_SNAP_TO_GRID));
    EXPECT_EQ(rows[6].getMessage, static_cast<uint32_t>(MSG_GET_DUMMY_OBJECT_STYLE));
    EXPECT_EQ(rows[16].label, "Clean Unused|Recursive|");
    EXPECT_EQ(rows[16].setMessage, static_cast<uint32_t>(MSG_CLEAN_UNUSED));
    EXPECT_EQ(rows[25].setMessage, static_cast<uint32_t>(MSG_CALC_ACTION_TIME_CC));
    EXPECT_EQ(rows[45].setMessage, static_cast<uint32_t>(MSG_SET_COLLISION_STRINGLIST));
    EXPECT_EQ(rows[45].kind, PROP_PICKER);
    EXPECT_EQ(rows[53].label,
              "Material:|Metal|0|Custom|1|Wood|2|Stone|3|Rubber|4|Glass|5|Mud|6|Character(no friction)|7|Grass|8|");
    EXPECT_EQ(rows[53].setMessage, static_cast<uint32_t>(MSG_SET_COLLISION_PHYSIQUE));
    EXPECT_EQ(rows[57].label, "Value::");
    EXPECT_EQ(rows[57].getMessage, static_cast<uint32_t>(MSG_GET_BOX_MAX));
    EXPECT_EQ(rows[63].label, "Global Hit Effect (GHE):");
    EXPECT_EQ(rows[63].setMessage, static_cast<uint32_t>(MSG_SET_COLLISION_GHE_82));
    EXPECT_EQ(rows[63].getMessage, static_cast<uint32_t>(MSG_GET_COLLISION_GHE));
    for (uint32_t id : {MSG_SET_SNAP_TO_GRID, MSG_GET_DUMMY_OBJECT_STYLE, MSG_CLEAN_UNUSED})
        EXPECT_TRUE(GetCommandDesc(id).name.empty());
}

TEST(PropertyDesc, ConstructorAndSet)
{
    PropertyDesc row("Speed:|%|", PROP_REAL, 1, 2);
    EXPECT_EQ(row.scale, 1.0f);
    EXPECT_EQ(row.ranged, 0u);
    EXPECT_EQ(row.conversion, nullptr);
    row.Set("Threshold:|cm/s|", PROP_REAL, 3, 4, 1, -1.0f, 1.0f, 100.0f, Property_SquareOrRoot);
    EXPECT_EQ(row.label, "Threshold:|cm/s|");
    EXPECT_EQ(row.setMessage, 3u);
    EXPECT_EQ(row.getMessage, 4u);
    EXPECT_EQ(row.ranged, 1u);
    EXPECT_EQ(row.min, -1.0f);
    EXPECT_EQ(row.max, 1.0f);
    EXPECT_EQ(row.scale, 100.0f);
    double v = 3.0;
    row.conversion(&v, 1);
    EXPECT_DOUBLE_EQ(v, 9.0);
    row.conversion(&v, 0);
    EXPECT_DOUBLE_EQ(v, 3.0);
}

TEST_F(Registries, ArgumentSizesAndPlainBitFollowTheTypes)
{
    const CommandDesc& randElse = GetCommandDesc(MSG_RANDELSECOMMAND);
    EXPECT_EQ(randElse.argSize, -1);
    EXPECT_FALSE(randElse.flags & COMMAND_PLAIN);
    const CommandDesc& position = GetCommandDesc(MSG_SET_POSITION);
    EXPECT_EQ(position.argSize, 12);
    EXPECT_TRUE(position.flags & COMMAND_PLAIN);
    EXPECT_EQ(GetCommandDesc(MSG_START_GAME).argSize, 0);
    EXPECT_TRUE(GetCommandDesc(MSG_START_GAME).flags & COMMAND_PLAIN);
    EXPECT_EQ(GetCommandDesc(MSG_COLLISION_EVENT).argSize, 2 * P);
    EXPECT_FALSE(GetCommandDesc(MSG_COLLISION_EVENT).flags & COMMAND_PLAIN);

    RegisterCommand(0x01, "Test Real String", "", CLASS_BASE, 2, 2, uint32_t(VT_REAL), uint32_t(VT_STRING));
    RegisterCommand(0x02, "Test Real Vector", "", CLASS_BASE, 6, 2, uint32_t(VT_REAL), uint32_t(VT_VECTOR3));
    RegisterCommand(0x03, "get lower", "", CLASS_BASE, 0, 0);
    RegisterCommand(0x04, "Test Named", "", CLASS_BASE, 0x12, 2, uint32_t(VT_BOOL), "On", uint32_t(VT_REAL),
                    "Level");
    // A second registration of an id is ignored.
    RegisterCommand(0x02, "Other", "", CLASS_DOOR, 1, 0);
    RegisterCommand(MSG_SET_NAME, "Renamed", "", CLASS_DOOR, 0, 0);
    // Growing the table past its end.
    RegisterCommand(0x800, "Far", "", CLASS_BASE, 1, 0);
    CommandDescs_Finish();

    EXPECT_EQ(GetCommandDesc(0x01).argSize, -1);
    EXPECT_TRUE(GetCommandDesc(0x01).flags & COMMAND_PLAIN);
    EXPECT_EQ(GetCommandDesc(0x02).argSize, 16);
    EXPECT_EQ(GetCommandDesc(0x02).name, "Test Real Vector");
    EXPECT_EQ(GetCommandDesc(0x02).flags, COMMAND_PLAIN | COMMAND_SCRIPT);  // bit 2 of the argument not kept
    EXPECT_EQ(GetCommandDesc(0x03).flags, COMMAND_PLAIN | COMMAND_GETTER);
    EXPECT_EQ(GetCommandDesc(0x04).argNames, (std::vector<std::string>{"On", "Level"}));
    EXPECT_EQ(GetCommandDesc(0x04).argTypes, (std::vector<uint32_t>{VT_BOOL, VT_REAL}));
    EXPECT_EQ(GetCommandDesc(0x04).flags & COMMAND_NAMED_ARGS, 0u);
    EXPECT_EQ(GetCommandDesc(MSG_SET_NAME).name, "Set Name");
    EXPECT_EQ(g_CommandDescs.size(), 0x80au);
    EXPECT_EQ(GetCommandDesc(0x800).owner, CLASS_BASE);
    RegisterBaseClass();
}

}  // namespace
