// A class's message table: Set/Get pairs bound to fields, through sized
// argument blocks, and its sheet rows.

#include "ActorTestSupport.h"

#include "kernel/actors/BaseMessages.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/SimulationMessages.h"
#include "kernel/actors/TreeMessages.h"

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

namespace {

// A class whose pairs do more than store: members after a set, members that
// answer or refuse, fields in blocks the class finds, words read as reals.
struct Layer {
    Vector3 offset{0.0f, 0.0f, 0.0f};
    float gains[3] = {0.0f, 0.0f, 0.0f};
};

class Behaved : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override;

    void CountStore() { ++stores; }
    bool TakeCount(uint32_t value) {
        if (value > 10) return false;
        count = value * 2;
        return true;
    }
    float Half() const { return speed * 0.5f; }
    int SetHalf(float value) {
        speed = value * 2.0f;
        return 1;
    }
    bool Editable() const { return editable != 0; }
    Layer* CurrentLayer() { return current < layers.size() ? &layers[current] : nullptr; }

    float speed = 0.0f;
    uint32_t count = 0;
    uint32_t bits = 0;
    uint32_t editable = 1;
    uint32_t stores = 0;
    uint32_t words[4] = {0, 0, 0, 0};
    ColorValue tint{0.0f, 0.0f, 0.0f, 0.0f};
    std::string label;
    std::vector<Layer> layers;
    size_t current = 0;
};

constexpr MessageRow kBehavedRows[] = {
    FieldRow<&Behaved::speed>(MSG_SET_KILL_TIME, MSG_GET_KILL_TIME).Then<&Behaved::CountStore>(),
    FieldRow<&Behaved::count>(MSG_SET_SELECTION_MAX_COUNT, MSG_GET_SELECTION_MAX_COUNT)
        .StoredBy<&Behaved::TakeCount>(),
    MemberRow<&Behaved::Half, &Behaved::SetHalf>(MSG_SET_ANIMATION_SPEED, MSG_GET_ANIMATION_SPEED),
    FlagRow<&Behaved::bits>(MSG_SET_MASTER, MSG_GET_MASTER, 0x4)
        .StoresWhen<&Behaved::Editable>(0)
        .AppliesWhen<&Behaved::Editable>(8),
    FieldRow<&Behaved::CurrentLayer, &Layer::offset>(MSG_SET_BOX_MIN, MSG_GET_BOX_MIN),
    FieldRow<&Behaved::CurrentLayer, &Layer::gains, 1>(MSG_SET_CURRENT_TIME, MSG_GET_CURRENT_TIME),
    FieldRow<&Behaved::words, 1>(MSG_SET_ACTION_STOP_TIME, MSG_GET_ACTION_STOP_TIME).As<float>(),
    FieldRow<&Behaved::words, 1>(MSG_SET_BOX_MAX, MSG_GET_BOX_MAX).As<Vector3>().WholeValue(),
    FieldRow<&Behaved::tint>(MSG_SET_DIFFUSE_COLOR, MSG_GET_DIFFUSE_COLOR).Returns(1),
    FieldRow<&Behaved::label>(MSG_SET_RESOURCE, MSG_GET_NAME).WholeValue(),
};
constexpr MessageTable kBehavedMessages{kBehavedRows, CopiedFields<&Behaved::words, &Behaved::layers>()};

int Behaved::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kBehavedMessages.Apply(*this, id, args); row.Ends()) return row.result;
    return RecordingActor::HandleMessage(id, args);
}

template <typename T>
int Send(CQVActor& actor, uint32_t id, T value) {
    return actor.HandleMessage(id, Args_Of(&value));
}

template <typename T>
T Ask(CQVActor& actor, uint32_t id, int* result = nullptr) {
    T value{};
    const int r = actor.HandleMessage(id, Args_Of(&value));
    if (result) *result = r;
    return value;
}

TEST_F(ClassMessagesTest, MembersRunAfterOrInPlaceOfTheStore) {
    Behaved actor;
    EXPECT_EQ(Send(actor, MSG_SET_KILL_TIME, 3.0f), 1) << "passed on to the base";
    EXPECT_EQ(actor.speed, 3.0f);
    EXPECT_EQ(actor.stores, 1u);
    Ask<float>(actor, MSG_GET_KILL_TIME);
    EXPECT_EQ(actor.stores, 1u) << "a get calls nothing";

    EXPECT_EQ(Send(actor, MSG_SET_SELECTION_MAX_COUNT, 4u), 1);
    EXPECT_EQ(actor.count, 8u) << "the member stored it its own way";
    EXPECT_EQ(Send(actor, MSG_SET_SELECTION_MAX_COUNT, 11u), 0) << "a refusal ends the handling with 0";
    EXPECT_EQ(actor.count, 8u);
    EXPECT_EQ(Ask<uint32_t>(actor, MSG_GET_SELECTION_MAX_COUNT), 8u) << "the get answers the field";

    EXPECT_EQ(Ask<float>(actor, MSG_GET_ANIMATION_SPEED), 1.5f);
    g_Seen.clear();
    EXPECT_EQ(Send(actor, MSG_SET_ANIMATION_SPEED, 5.0f), 1);
    EXPECT_EQ(actor.speed, 10.0f);
    EXPECT_TRUE(g_Seen.empty()) << "an int result ends the handling";
}

TEST_F(ClassMessagesTest, PredicatesRefuseSetsAndMarkGets) {
    Behaved actor;
    EXPECT_EQ(Send(actor, MSG_SET_MASTER, 1u), 1);
    EXPECT_EQ(actor.bits, 0x4u);
    int result = 0;
    EXPECT_EQ(Ask<uint32_t>(actor, MSG_GET_MASTER, &result), 1u);
    EXPECT_EQ(result, 1);

    actor.editable = 0;
    EXPECT_EQ(Send(actor, MSG_SET_MASTER, 0u), 0);
    EXPECT_EQ(actor.bits, 0x4u) << "a refused set stores nothing";
    EXPECT_EQ(Ask<uint32_t>(actor, MSG_GET_MASTER, &result), 1u) << "a get answers all the same";
    EXPECT_EQ(result, 8);
}

TEST_F(ClassMessagesTest, IndexedRowsReachTheBlockAMemberFinds) {
    Behaved actor;
    const Vector3 where(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(Send(actor, MSG_SET_BOX_MIN, where), 1) << "no layer: nothing, passed on";
    EXPECT_EQ(Ask<Vector3>(actor, MSG_GET_BOX_MIN).x, 0.0f);

    actor.layers.resize(2);
    actor.current = 1;
    Send(actor, MSG_SET_BOX_MIN, where);
    Send(actor, MSG_SET_CURRENT_TIME, 0.25f);
    EXPECT_EQ(actor.layers[1].offset.z, 3.0f);
    EXPECT_EQ(actor.layers[1].gains[1], 0.25f);
    EXPECT_EQ(actor.layers[0].offset.z, 0.0f);
    EXPECT_EQ(Ask<float>(actor, MSG_GET_CURRENT_TIME), 0.25f);
}

TEST_F(ClassMessagesTest, WordsReadAsValuesAndShortBlocksKeepWholeValues) {
    Behaved actor;
    Send(actor, MSG_SET_ACTION_STOP_TIME, 1.5f);
    float stored;
    std::memcpy(&stored, &actor.words[1], sizeof stored);
    EXPECT_EQ(stored, 1.5f);

    Send(actor, MSG_SET_BOX_MAX, Vector3(4.0f, 5.0f, 6.0f));
    EXPECT_EQ(Ask<Vector3>(actor, MSG_GET_BOX_MAX).z, 6.0f);
    EXPECT_EQ(actor.words[0], 0u);
    const float two[2] = {9.0f, 9.0f};
    actor.HandleMessage(MSG_SET_BOX_MAX, Args_Of(two));
    EXPECT_EQ(Ask<Vector3>(actor, MSG_GET_BOX_MAX).x, 4.0f) << "a short block stores nothing";

    actor.label = "kept";
    const char unterminated[2] = {'a', 'b'};
    actor.HandleMessage(MSG_SET_RESOURCE, Args_Of(unterminated));
    EXPECT_EQ(actor.label, "kept");

    g_Seen.clear();
    EXPECT_EQ(Send(actor, MSG_SET_DIFFUSE_COLOR, ColorValue{0.5f, 0.25f, 1.0f, 1.0f}), 1);
    EXPECT_EQ(Ask<ColorValue>(actor, MSG_GET_DIFFUSE_COLOR).g, 0.25f);
    EXPECT_TRUE(g_Seen.empty()) << "the row returns at once";
}

TEST_F(ClassMessagesTest, CreateCopiesTheRowsFieldsAndTheListedOnes) {
    Behaved source, copy;
    source.speed = 2.0f;
    source.count = 6;
    source.bits = 0x4;
    source.words[3] = 7;
    source.tint.b = 0.5f;
    source.label = "source";
    source.layers.resize(3);
    source.current = 2;
    kBehavedMessages.Copy(copy, source);
    EXPECT_EQ(copy.speed, 2.0f);
    EXPECT_EQ(copy.count, 6u);
    EXPECT_EQ(copy.tint.b, 0.5f);
    EXPECT_EQ(copy.label, "source");
    EXPECT_EQ(copy.words[3], 7u);
    EXPECT_EQ(copy.layers.size(), 3u);
    EXPECT_EQ(copy.bits, 0u) << "a flag's word is the class's to copy";
    EXPECT_EQ(copy.current, 0u) << "neither listed nor bound";
}

TEST_F(ClassMessagesTest, EveryKindOfRowIsHeldAgainstTheVocabulary) {
    EXPECT_EQ(MessageRows_CheckTypes(kBehavedMessages.begin(), kBehavedMessages.size()), "");
    constexpr MessageRow wrong[] = {
        MemberRow<&Behaved::Half>(0, MSG_GET_SELECTION_MAX_COUNT),
        FieldRow<&Behaved::words, 0>(MSG_SET_KILL_TIME, 0).As<Vector3>(),
        FieldRow<&Behaved::tint>(MSG_SET_BOX_MIN, 0),
    };
    EXPECT_EQ(MessageRows_CheckTypes(wrong, std::size(wrong)),
              "52 \"Get Selection Max Count\", 191 \"Set Kill Time\", 74 \"Set Box Min\"");
}

// The base actor's topic tables: its transform and name, its collision
// objects and simulation words.
TEST_F(ClassMessagesTest, TheBaseTopicTablesAgreeWithTheVocabulary) {
    EXPECT_EQ(MessageRows_CheckTypes(kTreeMessages.begin(), kTreeMessages.size()), "");
    EXPECT_EQ(MessageRows_CheckTypes(kCollisionMessages.begin(), kCollisionMessages.size()), "");
    for (uint32_t id : {MSG_SET_POSITION, MSG_GET_NAME, MSG_SET_MATRIX}) EXPECT_NE(kTreeMessages.Find(id), nullptr);
    for (uint32_t id : {MSG_SET_BOX_MIN, MSG_GET_SIM_AIR_RESISTANCE, MSG_SET_COLLISION_ENABLE})
        EXPECT_NE(kCollisionMessages.Find(id), nullptr);
}

}  // namespace
