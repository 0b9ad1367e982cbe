// The Character's class record and sheet, its defaults, its record in actor
// files at every version gate, the character parameters and the endurance
// reserve, the base-motion names and the motion-name rule; Character 2.

#include "actors/characters/Character2.h"
#include "tests/actors/characters/CharacterTestSupport.h"

namespace {

class CharacterModelTest : public CharacterFixture {
protected:
    void SetUp() override {
        CharacterFixture::SetUp();
        if (HasFatalFailure()) return;
        hero = MakeCharacter();
        ASSERT_NE(hero, nullptr);
    }
    CQVCharacter* hero = nullptr;
};

TEST_F(CharacterModelTest, TheSheetHoldsItsThirtyRowsInOrderAndEveryPairItsTypes) {
    const ClassRecord& record = g_ClassRecords[CLASS_CHARACTER];
    EXPECT_EQ(record.name, "Character");
    EXPECT_EQ(record.description, "Character");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 16}));
    ExpectSheet(record, {
        {"Character Properties", 13, 0, 0},
        {"Type:|Custom|0|FirstPerson|1|Guard|2|ThirdPerson|3|ThirdPersonShooter|4|Console|5|Undef6|6|Undef7|7|Undef8|8|",
         16, MSG_SET_CHARACTER_TYPE, MSG_GET_CHARACTER_TYPE},
        {"Pick Character Icon Material:", 27, MSG_SET_CHARACTER_ICON_LIBID, MSG_GET_CHARACTER_ICON_LIBID},
        {"Character Health", 12, 0, 0},
        {"Health:", 4, MSG_SET_HEALTH, MSG_GET_HEALTH},
        {"Character Group:", 32, MSG_SET_CHARACTERGROUP, MSG_GET_CHARACTERGROUP},
        {"Character Parameters", 13, 0, 0},
        {"Speed:", 4, MSG_SET_CPSPEED, MSG_GET_CPSPEED},
        {"Endurance:", 4, MSG_SET_CPENDURANCE, MSG_GET_CPENDURANCE},
        {"Strength:", 4, MSG_SET_CPSTRENGTH, MSG_GET_CPSTRENGTH},
        {"Weight:", 4, MSG_SET_CPWEIGHT, MSG_GET_CPWEIGHT},
        {"Hearing:", 4, MSG_SET_CPHEARING, MSG_GET_CPHEARING},
        {"Noise:", 4, MSG_SET_CPNOISELEVEL, MSG_GET_CPNOISELEVEL},
        {"Constitution:", 4, MSG_SET_CPCONSTITUTION, MSG_GET_CPCONSTITUTION},
        {"Character Vision Parameters", 13, 0, 0},
        {"Vision:", 4, MSG_SET_CPVISION, MSG_GET_CPVISION},
        {"Fov:", 4, MSG_SET_CPFOV, MSG_GET_CPFOV},
        {"JumpForce:", 4, MSG_SET_CPJUMPFORCE, MSG_GET_CPJUMPFORCE},
        {"JumpForce KickMul:", 4, MSG_SET_KICKMUL, MSG_GET_KICKMUL},
        {"MoveOnJump:", 4, MSG_SET_CPMOVEONJUMP, MSG_GET_CPMOVEONJUMP},
        {"MoveOnJumpMax:", 4, MSG_SET_CPMOVEONJUMPMAX, MSG_GET_CPMOVEONJUMPMAX},
        {"MoveOnFallMul:", 4, MSG_SET_MOVEONFALLMUL, MSG_GET_MOVEONFALLMUL},
        {"Gamma Add R:", 4, MSG_SET_CPGAMMARADD, MSG_GET_CPGAMMARADD},
        {"Gamma Add G:", 4, MSG_SET_CPGAMMAGADD, MSG_GET_CPGAMMAGADD},
        {"Gamma Add B:", 4, MSG_SET_CPGAMMABADD, MSG_GET_CPGAMMABADD},
        {"FallDamage1 Mul:", 4, MSG_CHAR_SET_CPFALLDAMAGE1_MUL, MSG_CHAR_GET_CPFALLDAMAGE1_MUL},
        {"FallDamage2 Start:", 4, MSG_SET_FALLDAMAGE_START, MSG_GET_FALLDAMAGE_START},
        {"FallDamage2 Stop:", 4, MSG_SET_FALLDAMAGE_STOP, MSG_GET_FALLDAMAGE_STOP},
        {"FallDamage2 Value:", 4, MSG_SET_FALLDAMAGE_VALUE, MSG_GET_FALLDAMAGE_VALUE},
        {"Suspend Mode:", 17, MSG_SET_SUSPENDMODE, MSG_GET_SUSPENDMODE},
    });

    const ClassRecord& placeholder = g_ClassRecords[CLASS_CHARACTER_2];
    EXPECT_EQ(placeholder.name, "Character 2");
    EXPECT_EQ(placeholder.description, "Do Not Use This!!!");
    EXPECT_EQ(placeholder.chain, (std::vector<uint32_t>{0, 51}));
    ASSERT_EQ(placeholder.properties.size(), 1u);
    EXPECT_EQ(placeholder.properties[0].label, "Character 2 Properties");
}

TEST_F(CharacterModelTest, ANewCharacterHasItsDefaultsItsBodyVolumeAndItsSkin) {
    CQVCharacter fresh;
    EXPECT_EQ(fresh.m_ClassType, static_cast<uint32_t>(CLASS_CHARACTER));
    for (uint32_t i = 0; i < CP_COUNT; ++i) {
        EXPECT_EQ(fresh.m_CpBase[i], 1.0f);
        EXPECT_EQ(fresh.m_CpEffective[i], 1.0f);
    }
    EXPECT_EQ(fresh.m_Health, 1.0f);
    EXPECT_EQ(fresh.m_HealthMax, 99.0f);
    EXPECT_EQ(fresh.m_CharacterType, -1);
    EXPECT_EQ(fresh.m_MotionLetter, 'N');
    EXPECT_EQ(fresh.m_LookRotXSM, 3.1415927f);
    EXPECT_EQ(fresh.m_StateFlags, CHAR_INPUT_LOCKED | CHAR_PUSH_READY | (1u << 26) | (1u << 27));
    EXPECT_EQ(fresh.m_Flags & (ACTOR_STATIC | ACTOR_MASTER), 0u);
    EXPECT_EQ(fresh.m_GroundChangeTime, 10.0f);
    EXPECT_EQ(fresh.m_MoveChangeTime, -1.0f);
    ASSERT_EQ(fresh.m_ColObjs.size(), 1u);
    const ColObj& body = fresh.m_ColObjs[0];
    EXPECT_EQ(body.name, "Character Col");
    EXPECT_EQ(body.type, static_cast<uint32_t>(COLOBJ_SPHERE));
    EXPECT_EQ(body.boxMin.x, 0.0f);
    EXPECT_EQ(body.boxMax.x, 23.0f);
    EXPECT_EQ(body.flags & 0x66u, 0x66u);
    EXPECT_EQ(body.owner, &fresh);

    // Bound at "Precalculate": its own skin (made when missing), simulation and its step.
    ASSERT_NE(SkinOf(hero), nullptr);
    EXPECT_EQ(hero->Skin()->m_Parent, hero);
    EXPECT_EQ(hero->Skin()->m_Name, "Skin");
    EXPECT_EQ(hero->m_BodyCol, 0);
    EXPECT_NE(hero->m_Flags & ACTOR_SIMULATED, 0u);
    EXPECT_NE(hero->m_SimParams, nullptr);
    EXPECT_NE(hero->FindTimedMessage(MSG_PROCESS), nullptr);
}

// The record of a fresh Character at version 62 and later: 76 words after
// the base fields, three of them the zero words between Fov and Gamma R.
TEST_F(CharacterModelTest, TheRecordOfAFreshCharacterIsSeventySixWordsAfterTheBase) {
    hero->m_CpBase[CP_FOV] = 2.0f;
    hero->m_CpBase[CP_GAMMA_R_ADD] = 3.0f;
    hero->m_Ammo[2] = 77;
    for (uint32_t version : {62u, 70u}) {
        const std::vector<uint32_t> words =
            Character_Words(Character_Write(hero, version), Character_Write(hero, version, true));
        ASSERT_EQ(words.size(), 76u) << version;
        EXPECT_EQ(static_cast<int32_t>(words[0]), -1);           // type
        EXPECT_EQ(words[1], 0xFFFFFFFFu);                        // icon
        EXPECT_EQ(Character_Float(words[2]), 1.0f);              // health
        EXPECT_EQ(words[3], 0u);                                 // reserved
        EXPECT_EQ(Character_Float(words[12]), 2.0f);             // Fov
        EXPECT_EQ(words[13], 0u);
        EXPECT_EQ(words[14], 0u);
        EXPECT_EQ(words[15], 0u);
        EXPECT_EQ(Character_Float(words[16]), 3.0f);             // Gamma Add R
        EXPECT_EQ(Character_Float(words[22]), 300.0f);           // fall damage start
        EXPECT_EQ(words[26], 0u);                                // groups
        EXPECT_EQ(words[27 + 2], 77u);                           // ammo of type 3
        EXPECT_EQ(Character_Float(words[59]), 0.35f);            // look pitch
        EXPECT_EQ(Character_Float(words[67]), 20.0f);            // turn speed
        EXPECT_EQ(words[70], 1u);                                // input locked
        EXPECT_EQ(Character_Float(words[71]), 1.0f);             // capacity
        EXPECT_EQ(Character_Float(words[75]), 1.0f);             // kick mul
    }
    EXPECT_EQ(Character_Words(Character_Write(hero, 61), Character_Write(hero, 61, true)).size(), 73u);
}

// What a file of each version gives a Character: the fields behind a later
// gate keep their constructor values.
struct VersionCase {
    uint32_t version;
    bool params;       // Speed to Gamma B Add, from 4
    bool jump;         // JumpForce and MoveOnJumpMax, from 14
    bool fallDamage;   // FallDamage1 Mul, the fall heights and the suspended bit, from 25
    bool groups;       // from 29
    bool look;         // ammunition, look angles and turning, from 41
    bool hold;         // hold time and the two lock bits, from 42
    bool capacity;     // from 49
    bool moveOnJump;   // MoveOnJump, MoveOnFallMul and KickMul, from 62
};

class CharacterVersions : public CharacterModelTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(CharacterVersions, FieldsBehindALaterGateKeepTheirDefaults) {
    const VersionCase& c = GetParam();
    for (uint32_t i = 0; i < CP_COUNT; ++i) hero->m_CpBase[i] = 2.0f;
    hero->m_CharacterType = CHARACTER_THIRD_PERSON;
    hero->m_Health = 50.0f;
    hero->m_FallDamageStart = 111.0f;
    hero->m_StateFlags = (hero->m_StateFlags | CHAR_SUSPENDED | CHAR_DEAD_LOCK) & ~CHAR_INPUT_LOCKED;
    hero->m_CharacterGroups = 5;
    hero->m_Ammo[0] = 9;
    hero->m_LookRotYSpeed = 3.0f;
    hero->m_HoldTime = 4.0f;
    hero->m_Capacity = 0.5f;
    hero->m_MoveOnFallMul = 0.25f;
    const std::string record = Character_Write(hero, c.version);

    CQVCharacter loaded;
    uint32_t left = 1;
    ASSERT_EQ(Character_Read(&loaded, record, c.version, &left), 1) << c.version;
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(loaded.m_CharacterType, CHARACTER_THIRD_PERSON);
    EXPECT_EQ(loaded.m_Health, 50.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_SPEED], c.params ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_GAMMA_B_ADD], c.params ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_JUMP_FORCE], c.jump ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_MOVE_ON_JUMP_MAX], c.jump ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_FALL_DAMAGE1_MUL], c.fallDamage ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_FallDamageStart, c.fallDamage ? 111.0f : 300.0f);
    EXPECT_EQ(loaded.IsSuspended(), c.fallDamage);
    EXPECT_EQ(loaded.m_CharacterGroups, c.groups ? 5u : 0u);
    EXPECT_EQ(loaded.m_Ammo[0], c.look ? 9u : 0u);
    EXPECT_EQ(loaded.m_LookRotYSpeed, c.look ? 3.0f : 1000.0f);
    EXPECT_EQ(loaded.m_HoldTime, c.hold ? 4.0f : 0.0f);
    EXPECT_EQ((loaded.m_StateFlags & CHAR_DEAD_LOCK) != 0, c.hold);
    EXPECT_EQ(loaded.InputLocked(), !c.hold);  // locked from construction unless the file says otherwise
    EXPECT_EQ(loaded.m_Capacity, c.capacity ? 0.5f : 1.0f);
    EXPECT_EQ(loaded.m_CpBase[CP_MOVE_ON_JUMP], c.moveOnJump ? 2.0f : 1.0f);
    EXPECT_EQ(loaded.m_MoveOnFallMul, c.moveOnJump ? 0.25f : 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Gates, CharacterVersions,
                         testing::Values(VersionCase{3, false, false, false, false, false, false, false, false},
                                         VersionCase{13, true, false, false, false, false, false, false, false},
                                         VersionCase{24, true, true, false, false, false, false, false, false},
                                         VersionCase{28, true, true, true, false, false, false, false, false},
                                         VersionCase{41, true, true, true, true, true, false, false, false},
                                         VersionCase{48, true, true, true, true, true, true, false, false},
                                         VersionCase{61, true, true, true, true, true, true, true, false},
                                         VersionCase{70, true, true, true, true, true, true, true, true}));

TEST_F(CharacterModelTest, AShortRecordFailsAndAFailedBaseReadsNothingMore) {
    hero->m_Health = 42.0f;
    hero->m_CpBase[CP_MOVE_ON_JUMP] = 5.0f;
    const std::string record = Character_Write(hero, 70);
    CQVCharacter cut;
    EXPECT_EQ(Character_Read(&cut, record.substr(0, record.size() - 6), 70), 0);
    // The last whole block before the cut was taken; the cut one was not.
    EXPECT_EQ(cut.m_Health, 42.0f);
    EXPECT_EQ(cut.m_CpBase[CP_MOVE_ON_JUMP], 1.0f);
    CQVCharacter none;
    EXPECT_EQ(Character_Read(&none, record.substr(0, 12), 70), 0);
    EXPECT_EQ(none.m_Health, 1.0f);
}

TEST_F(CharacterModelTest, Character2SavesTheBaseAndFourReservedWords) {
    CQVActor* placeholder = Make(CLASS_CHARACTER_2, "Placeholder");
    ASSERT_NE(placeholder, nullptr);
    const std::vector<uint32_t> words =
        Character_Words(Character_Write(placeholder, 70), Character_Write(placeholder, 70, true));
    EXPECT_EQ(words, (std::vector<uint32_t>{0, 0, 0, 0}));
    CQVCharacter2 loaded;
    uint32_t left = 1;
    EXPECT_EQ(Character_Read(&loaded, Character_Write(placeholder, 70), 70, &left), 1);
    EXPECT_EQ(left, 0u);
}

TEST_F(CharacterModelTest, ParametersAreShownInPercentAndChangesStartAtTheirTarget) {
    EXPECT_EQ(Send(hero, MSG_SET_CPSPEED, 150.0f), 1);
    EXPECT_FLOAT_EQ(hero->m_CpBase[CP_SPEED], 1.5f);
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_GET_CPSPEED), 150.0f);
    Send(hero, MSG_CHAR_SET_CPFALLDAMAGE1_MUL, 50.0f);
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_CHAR_GET_CPFALLDAMAGE1_MUL), 50.0f);

    // Indices 0 to 8 change by a share of the base value, the others to the value itself.
    float speed[2] = {50.0f, 2.0f};
    hero->HandleMessage(MSG_CHANGE_CPSPEED, Args_Of(speed));
    EXPECT_FLOAT_EQ(hero->m_CpChangeTarget[CP_SPEED], 0.75f);
    EXPECT_EQ(hero->m_CpChangeProgress[CP_SPEED], 0.0f);
    EXPECT_FLOAT_EQ(hero->m_CpChangeRate[CP_SPEED], 0.05f);
    float gamma[2] = {50.0f, 1.0f};
    hero->HandleMessage(MSG_CHANGE_CPGAMMAGADD, Args_Of(gamma));
    EXPECT_FLOAT_EQ(hero->m_CpChangeTarget[CP_GAMMA_G_ADD], 0.5f);
    float jump[2] = {300.0f, 1.0f};
    hero->HandleMessage(MSG_CHAR_CHANGE_CPJUMPFORCE, Args_Of(jump));
    EXPECT_FLOAT_EQ(hero->m_CpChangeTarget[CP_JUMP_FORCE], 3.0f);
    // A change of no duration is one step long instead of a division by zero.
    float instant[2] = {10.0f, 0.0f};
    hero->HandleMessage(MSG_CHANGE_CPMOVEONJUMPMAX, Args_Of(instant));
    EXPECT_EQ(hero->m_CpChangeRate[CP_MOVE_ON_JUMP_MAX], 1.0f);
}

struct CapacityCase {
    const char* label;
    float endurance, start, amount, expected;
    int exhausted;  // "Exhaust 100" events
};

class CharacterCapacity : public CharacterModelTest, public testing::WithParamInterface<CapacityCase> {};

TEST_P(CharacterCapacity, TheReserveChangesByEnduranceWithinItsLimits) {
    const CapacityCase& c = GetParam();
    hero->m_CpEffective[CP_ENDURANCE] = c.endurance;
    hero->m_Capacity = c.start;
    CharacterSpy& spy = Spy(hero);
    hero->ChangeCapacity(c.amount);
    EXPECT_FLOAT_EQ(hero->m_Capacity, c.expected) << c.label;
    EXPECT_EQ(spy.Count(MSG_EXHAUST_100), static_cast<size_t>(c.exhausted)) << c.label;
    EXPECT_FLOAT_EQ(Ask<float>(hero, MSG_GET_CAPACITY), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterCapacity,
                         testing::Values(CapacityCase{"a loss is divided by Endurance", 2.0f, 1.0f, -0.5f, 0.75f, 0},
                                         CapacityCase{"a gain is multiplied by it", 2.0f, 0.5f, 0.1f, 0.7f, 0},
                                         CapacityCase{"below 0.05 it stops there", 1.0f, 0.2f, -0.5f, 0.05f, 1},
                                         CapacityCase{"above 1 it stops there", 1.0f, 0.9f, 0.5f, 1.0f, 0},
                                         CapacityCase{"Endurance 0 divides nothing", 0.0f, 1.0f, -0.25f, 0.75f, 0}));

TEST_F(CharacterModelTest, BaseMotionNamesAreFoundInAnyCase) {
    EXPECT_EQ(Character_FindBaseMotion("forward"), 4u);
    EXPECT_EQ(Character_FindBaseMotion("FORWARD"), 4u);
    EXPECT_EQ(Character_FindBaseMotion("Relax"), 57u);
    EXPECT_EQ(Character_FindBaseMotion("?"), 64u);
    EXPECT_EQ(Character_FindBaseMotion("Flying"), kBaseMotionCount);
    EXPECT_EQ(Character_FindBaseMotion(nullptr), kBaseMotionCount);
    EXPECT_EQ(Character_MotionName('R', 4), "R_Forward");
    EXPECT_EQ(Character_MotionName('N', kBaseMotionCount), "");
    EXPECT_STREQ(g_BaseMotionNames[27], "Damage9");
    EXPECT_STREQ(g_BaseMotionNames[63], "Special15");
    EXPECT_STREQ(g_CharacterBoneNames[5], "Head");
}

// A request as the skin takes it: the letter's form, else the neutral form,
// else nothing changes.
struct RequestCase {
    const char* label;
    std::vector<std::string> skinMotions;
    uint32_t request;
    const char* played;  // the skin's motion afterwards
    char letter;
    uint32_t index;
};

class CharacterRequests : public CharacterFixture, public testing::WithParamInterface<RequestCase> {};

TEST_P(CharacterRequests, TheMotionNameRuleFallsBackToTheNeutralForm) {
    const RequestCase& c = GetParam();
    std::vector<CharacterMotion> motions;
    for (const std::string& name : c.skinMotions) motions.push_back({name});
    CQVCharacter* hero = MakeCharacter("Hero", motions);
    ASSERT_NE(hero, nullptr);
    hero->m_MotionLetter = 'C';
    hero->m_MotionIndex = 5;
    Send<uint32_t>(hero, MSG_SET_STATEANDMOVEMENT, c.request);
    EXPECT_EQ(Playing(SkinOf(hero)), c.played) << c.label;
    EXPECT_EQ(hero->m_MotionLetter, c.letter) << c.label;
    EXPECT_EQ(hero->m_MotionIndex, c.index) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharacterRequests,
    testing::Values(RequestCase{"the letter's form", {"N_Neutral", "R_Forward"}, 4u << 8 | 'R', "R_Forward", 'R', 4},
                    RequestCase{"the neutral form", {"N_Neutral", "N_Forward"}, 4u << 8 | 'R', "N_Forward", 'N', 4},
                    RequestCase{"neither: nothing changes", {"N_Neutral"}, 4u << 8 | 'R', "", 'C', 5},
                    RequestCase{"an index past the table names none", {"N_Forward"}, 65u << 8 | 'N', "", 'C', 5},
                    RequestCase{"a forced index names none", {"N_Forward"}, 0xFFFFFFu << 8 | 'N', "", 'C', 5}));

}  // namespace
