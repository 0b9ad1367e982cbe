// A class's message table: Set/Get pairs bound to fields, through sized
// argument blocks, and its sheet rows.

#include "ActorTestSupport.h"

#include "kernel/actors/BaseMessages.h"
#include "kernel/actors/ClassMessages.h"

namespace {

// A class with one field of each kind, bound to pairs whose registered
// types match (Real, UInt32, Int32, Bool, Vector3, String).
class Fielded : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override;
    float speed = 0.0f;
    uint32_t count = 0;
    uint32_t on = 0;
    uint32_t bits = 0;
    int32_t font = 0;
    Vector3 where{0.0f, 0.0f, 0.0f};
    std::string label;
};

constexpr MessageRow kFieldedRows[] = {
    SheetRow("Fielded", PROP_TITLE),
    FieldRow<&Fielded::speed>(MSG_SET_KILL_TIME, MSG_GET_KILL_TIME, "Speed:", PROP_REAL),
    FieldRow<&Fielded::count>(MSG_SET_SELECTION_MAX_COUNT, MSG_GET_SELECTION_MAX_COUNT),
    BoolRow<&Fielded::on>(MSG_SET_ENABLED, MSG_GET_ENABLED, "On", PROP_CHECK),
    FlagRow<&Fielded::bits>(MSG_SET_MASTER, MSG_GET_MASTER, 0x40),
    FieldRow<&Fielded::font>(MSG_SET_UI_TEXT_FONT, MSG_GET_UI_TEXT_FONT),
    FieldRow<&Fielded::where>(MSG_SET_BOX_MIN, MSG_GET_BOX_MIN),
    FieldRow<&Fielded::label>(MSG_SET_RESOURCE, MSG_GET_NAME),
};
constexpr MessageTable kFieldedMessages{kFieldedRows};

int Fielded::HandleMessage(uint32_t id, MessageArgs args) {
    // The bound pairs are answered here; the recording base still sees them.
    if (kFieldedMessages.Apply(*this, id, args)) return RecordingActor::HandleMessage(MSG_UNKNOWN, nullptr);
    return RecordingActor::HandleMessage(id, args);
}

using ClassMessagesTest = ActorSystemFixture;

TEST_F(ClassMessagesTest, PairsStoreAndAnswerTheirFields) {
    Fielded actor;
    const float speed = 2.5f;
    actor.HandleMessage(MSG_SET_KILL_TIME, Args_Of(&speed));
    float answer = 0.0f;
    actor.HandleMessage(MSG_GET_KILL_TIME, Args_Of(&answer));
    EXPECT_EQ(actor.speed, 2.5f);
    EXPECT_EQ(answer, 2.5f);

    const uint32_t seven = 7;
    actor.HandleMessage(MSG_SET_ENABLED, Args_Of(&seven));
    EXPECT_EQ(actor.on, 1u) << "a Bool is kept as 1";
    actor.HandleMessage(MSG_SET_MASTER, Args_Of(&seven));
    EXPECT_EQ(actor.bits, 0x40u);
    uint32_t flag = 0;
    actor.HandleMessage(MSG_GET_MASTER, Args_Of(&flag));
    EXPECT_EQ(flag, 1u);
    const uint32_t zero = 0;
    actor.HandleMessage(MSG_SET_MASTER, Args_Of(&zero));
    EXPECT_EQ(actor.bits, 0u);
    // A flag row sets and clears its own bit and leaves the others of the word.
    actor.bits = 0x81;
    actor.HandleMessage(MSG_SET_MASTER, Args_Of(&seven));
    EXPECT_EQ(actor.bits, 0xC1u);
    actor.HandleMessage(MSG_SET_MASTER, Args_Of(&zero));
    EXPECT_EQ(actor.bits, 0x81u);

    // An Int32 pair is a word row too.
    const int32_t minusThree = -3;
    actor.HandleMessage(MSG_SET_UI_TEXT_FONT, Args_Of(&minusThree));
    EXPECT_EQ(actor.font, -3);
    int32_t font = 0;
    actor.HandleMessage(MSG_GET_UI_TEXT_FONT, Args_Of(&font));
    EXPECT_EQ(font, -3);

    const Vector3 where(1.0f, 2.0f, 3.0f);
    actor.HandleMessage(MSG_SET_BOX_MIN, Args_Of(&where));
    EXPECT_EQ(actor.where.z, 3.0f);
    actor.HandleMessage(MSG_SET_RESOURCE, Args_Of("Crate"));
    EXPECT_EQ(actor.label, "Crate");
    // The base actor never saw the bound ids: the class answered them.
    EXPECT_EQ(actor.m_Flags & ACTOR_MASTER, 0u);
}

// However short the block, a Set reads zero beyond it and a Get writes
// nothing past it; a text answer is cut to the room and still terminated.
TEST_F(ClassMessagesTest, ShortBlocksAreNeverPassed) {
    Fielded actor;
    actor.speed = 9.0f;
    uint8_t two[2] = {0xAA, 0xAA};
    actor.HandleMessage(MSG_GET_KILL_TIME, Args_Of(two));
    EXPECT_EQ(two[0], 0xAA);
    actor.HandleMessage(MSG_SET_KILL_TIME, Args_Of(two));
    EXPECT_EQ(actor.speed, 0.0f);
    actor.HandleMessage(MSG_SET_KILL_TIME, nullptr);
    EXPECT_EQ(actor.speed, 0.0f);

    actor.label = std::string(400, 'x');
    char room[4] = {1, 1, 1, 1};
    actor.HandleMessage(MSG_GET_NAME, Args_Of(room));
    EXPECT_EQ(std::string(room, 4), std::string("xxx\0", 4));
    // A text without its end in the block is no text.
    const char unterminated[3] = {'a', 'b', 'c'};
    actor.HandleMessage(MSG_SET_RESOURCE, Args_Of(unterminated));
    EXPECT_EQ(actor.label, "");
}

TEST_F(ClassMessagesTest, LabelledRowsMakeTheSheetInOrder) {
    ClassRecord record;
    kFieldedMessages.AddSheet(record);
    ASSERT_EQ(record.properties.size(), 3u);
    EXPECT_EQ(record.properties[0].label, "Fielded");
    EXPECT_EQ(record.properties[1].setMessage, static_cast<uint32_t>(MSG_SET_KILL_TIME));
    EXPECT_EQ(record.properties[2].kind, static_cast<uint32_t>(PROP_CHECK));
    EXPECT_EQ(record.messageRows, kFieldedMessages.begin());
    EXPECT_EQ(MessageRows_CheckTypes(kFieldedMessages.begin(), kFieldedMessages.size()), "");
}

// The base actor's timing values, action flags and master flag are its
// table's pairs.
TEST_F(ClassMessagesTest, TheBaseTableBindsItsTimersAndFlags) {
    for (uint32_t id : {MSG_SET_KILL_DELAY, MSG_GET_ACTION_TIME, MSG_SET_BLOCKSTARTFROMPARENT,
                        MSG_GET_STOP_LEAVE_DELAYEDSTART, MSG_SET_MASTER, MSG_GET_MASTER}) {
        EXPECT_NE(kBaseMessages.Find(id), nullptr) << id;
    }
    EXPECT_EQ(kBaseMessages.Find(MSG_SET_POSITION), nullptr) << "a pair with behaviour";
    const MessageRow* row = kBaseMessages.Find(MSG_GET_KILLPRE_ON_STARTPOST);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->mask, ACTION_KILL_PRE_ON_START_POST);
    EXPECT_EQ(MessageRows_CheckTypes(kBaseMessages.begin(), kBaseMessages.size()), "");
}

// A mismatch between a row and the vocabulary is reported by id and name.
TEST_F(ClassMessagesTest, RowsThatDisagreeWithTheVocabularyAreNamed) {
    constexpr MessageRow wrong[] = {FieldRow<&Fielded::speed>(MSG_SET_POSITION, 0)};
    EXPECT_EQ(MessageRows_CheckTypes(wrong, 1), "63 \"Set Position\"");
}

}  // namespace
