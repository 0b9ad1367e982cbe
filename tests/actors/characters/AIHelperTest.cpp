// The AI Helper's sheet, fields, copy and record, and the Aim Target, whose
// record is the base-only one it shares with other placeholder classes.

#include "actors/characters/AIHelper.h"
#include "actors/characters/AimTarget.h"
#include "tests/actors/characters/CharacterTestSupport.h"

namespace {

using AIHelperTest = CharacterFixture;

TEST_F(AIHelperTest, TheSheetsHoldTheirRows) {
    const ClassRecord& helper = g_ClassRecords[CLASS_AI_HELPER];
    EXPECT_EQ(helper.name, "AI Helper");
    EXPECT_EQ(helper.description, "AI Helper");
    EXPECT_EQ(helper.chain, (std::vector<uint32_t>{0, 32}));
    ExpectSheet(helper, {
        {"AI Helper Properties", 13, 0, 0},
        {"Type:|Stair Bottom|0|Stair Plane|1|Stair Top|2|Door Node|3|Node|4|Shelter|5|", 16, 1437, 1438},
        {"Radius:", 4, 1439, 1440},
        {"Box:", 8, 1441, 1442},
    });
    const ClassRecord& aim = g_ClassRecords[CLASS_AIM_TARGET];
    EXPECT_EQ(aim.name, "Aim Target");
    EXPECT_EQ(aim.description, "Do Not Use This!!!");
    EXPECT_EQ(aim.chain, (std::vector<uint32_t>{0, 48}));
    ExpectSheet(aim, {{"Aim Target Properties", 13, 0, 0}});
}

TEST_F(AIHelperTest, TheFieldsAreSetCopiedSavedAndOlderFilesKeepTheDefaults) {
    CQVActor* node = Make(CLASS_AI_HELPER, "Node");
    EXPECT_EQ(Ask<uint32_t>(node, MSG_GET_AI_HELPER_TYPE), 5u);
    EXPECT_EQ(Ask<float>(node, MSG_GET_AI_HELPER_RADIUS, 1.0f), 0.0f);
    EXPECT_EQ(Ask<Vector3>(node, MSG_GET_AI_HELPER_BOX).y, 100.0f);
    Send(node, MSG_SET_AI_HELPER_TYPE, 2u);
    Send(node, MSG_SET_AI_HELPER_RADIUS, 35.0f);
    Send(node, MSG_SET_AI_HELPER_BOX, Vector3(10.0f, 20.0f, 30.0f));

    auto* copy = static_cast<CQVAIHelper*>(
        g_ActorSystem->CreateActor(CLASS_AI_HELPER, "Copy", node, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_HelperType, 2u);
    EXPECT_EQ(copy->m_Radius, 35.0f);
    EXPECT_EQ(copy->m_Box.z, 30.0f);

    const std::string record = Character_Write(node, 70);
    EXPECT_EQ(Character_Words(record, Character_Write(node, 70, true)),
              (std::vector<uint32_t>{2, 0x420C0000, 0x41200000, 0x41A00000, 0x41F00000, 0, 0, 0}));
    CQVAIHelper loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, record, 70, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_Radius, 35.0f);
    EXPECT_EQ(loaded.m_Box.y, 20.0f);

    CQVAIHelper old;
    // A version-0 record holds nothing, the base fields included.
    EXPECT_EQ(Character_Write(node, 0), "");
    EXPECT_EQ(Character_Read(&old, std::string(8, '\0'), 0, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(old.m_HelperType, 5u);
    EXPECT_EQ(old.m_Radius, 0.0f);
    EXPECT_EQ(old.m_Box.x, 100.0f);
}

TEST_F(AIHelperTest, AnAimTargetSavesTheBaseAndFourReservedWords) {
    CQVActor* aim = Make(CLASS_AIM_TARGET, "Aim");
    ASSERT_NE(aim, nullptr);
    const std::string record = Character_Write(aim, 70);
    EXPECT_EQ(Character_Words(record, Character_Write(aim, 70, true)), (std::vector<uint32_t>{0, 0, 0, 0}));
    std::string stored = record;
    // Reserved words are dropped whatever they hold.
    std::memset(&stored[stored.size() - 16], 0x5A, 16);
    CQVAimTarget loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, stored, 70, &left), 1);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(Character_Read(&loaded, record.substr(0, record.size() - 4), 70), 0);
}

}  // namespace
