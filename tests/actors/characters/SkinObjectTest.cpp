// The SkinObject's class record and property sheet, its motion list and the
// sheet's editing of it, AutoAssign by prefix with its name rules, and its
// record in actor files of every version gate, damaged ones included.

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "tests/actors/characters/SkinObjectTestSupport.h"
#include "tests/support/ActorRecordFile.h"

#include <cstring>

namespace {

class SkinObjectTest : public SkinObjectFixture {
protected:
    void SetUp() override {
        SkinObjectFixture::SetUp();
        if (HasFatalFailure()) return;
        skin = MakeSkin("Skin");
        ASSERT_NE(skin, nullptr);
    }
    // Makes motion i the one the sheet edits.
    void Select(const char* name) { skin->HandleMessage(MSG_SET_MOTIONSTRINGLIST_447, Args_Of(name)); }

    CQVSkinObject* skin = nullptr;
};

TEST_F(SkinObjectTest, TheClassRecordHoldsTheSheetInOrderAndEveryMessageItsTypes) {
    const ClassRecord& record = g_ClassRecords[CLASS_SKINOBJECT];
    EXPECT_EQ(record.name, "SkinObject");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 3, 17}));
    const struct {
        const char* label;
        uint32_t kind, set, get;
    } rows[] = {
        {"SkinObject Properties", 0x0d, 0, 0},
        {"Slave", 0x11, MSG_SET_SKIN_SLAVE, MSG_GET_SKIN_SLAVE},
        {"Motion:", 0x14, MSG_SET_MOTIONSTRINGLIST_447, MSG_SET_MOTIONSTRINGLIST_448},
        {"Add Motion:|Add|", 0x0e, MSG_ADD_MOTION, 0},
        {"Delete All Motion:|Delete All|", 0x0e, MSG_SKIN_DELETE_ALL_MOTIONS, 0},
        {"Delete Selected Motion:|Delete|", 0x0e, MSG_DELETE_MOTION, 0},
        {"Name:", 0x06, MSG_SET_MOTION_NAME, MSG_GET_MOTION_NAME},
        {"Priority:", 0x03, MSG_SET_MOTION_PRIORITY, MSG_GET_MOTION_PRIORITY},
        {"Layer:", 0x03, MSG_SET_MOTION_LAYER, MSG_GET_MOTION_LAYER},
        {"BlendTime:", 0x04, MSG_SKIN_SET_BLEND_TIME, MSG_SKIN_GET_BLEND_TIME},
        {"PlayStyle:|Loop|0|Once|1|OnceThenHold|2|", 0x10, MSG_SKIN_SET_PLAY_STYLE, MSG_SKIN_GET_PLAY_STYLE},
        {"Set Motion:", 0x19, MSG_SET_MOTION_H, MSG_GET_MOTION_H},
        {"SkinObject Properties2", 0x0d, 0, 0},
        {"Speed:|%|", 0x04, MSG_SET_MOTION_SPEED, MSG_GET_MOTION_SPEED},
        {"Auto Assign motions:", 0x0c, 0, 0},
        {"Name:", 0x06, MSG_SET_AUTOASSIGN_NAME, MSG_GET_AUTOASSIGN_NAME},
        {"Auto Assign:", 0x0e, MSG_AUTOASSIGN_MOTIONS, 0},
        {"Tools:", 0x0c, 0, 0},
        {"BoneSync AutoCreate", 0x0e, MSG_CREATE_BONESYNC_ACTORS_470, 0},
        {"Activate AutoCreate", 0x0e, MSG_CREATE_BONESYNC_ACTORS_471, 0},
        {"ReSync Bones", 0x0e, MSG_RESYNC_BONES, 0},
    };
    ASSERT_EQ(record.properties.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const PropertyDesc& row = record.properties[i];
        EXPECT_EQ(row.label, rows[i].label) << i;
        EXPECT_EQ(row.kind, rows[i].kind) << i;
        EXPECT_EQ(row.setMessage, rows[i].set) << i;
        EXPECT_EQ(row.getMessage, rows[i].get) << i;
        EXPECT_EQ(row.scale, i == 13 ? 100.0f : 1.0f) << i;
    }
    EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "");

    const struct {
        uint32_t id;
        const char* name;
        std::vector<uint32_t> types;
    } messages[] = {
        {1095, "Set MotionStringList", {VT_STRING}},
        {1096, "Set MotionStringList", {VT_POINTER}},
        {1097, "Set Motion", {VT_STRING}},
        {1100, "Set Motion H", {VT_POINTER}},
        {1120, "Get Bone", {VT_STRINGPTR, VT_POINTER}},
        {1121, "Callback SkinLooping", {VT_UINT32}},
        {1122, "Callback Motion Set", {VT_STRING}},
        {1131, "Lerp Layer Blend Value", {VT_REAL, VT_REAL}},
        {1134, "BlendMotion", {VT_STRING128, VT_UINT32}},
        {1136, "Create BoneSync Actors", {}},
        {1137, "Create BoneSync Actors", {}},
        {1139, "Set Bip01 Output", {VT_ACTORPOINTER}},
        {1141, "Set Skin Clipping Sphere", {VT_VECTOR3, VT_REAL}},
        {1764, "Anim UpdatE", {}},
    };
    for (const auto& m : messages) {
        EXPECT_EQ(GetCommandDesc(m.id).name, std::string(m.name)) << m.id;
        EXPECT_EQ(GetCommandDesc(m.id).owner, CLASS_SKINOBJECT) << m.id;
        EXPECT_EQ(MessageArgs_Signature(m.id), m.types) << m.id;
    }
}

TEST_F(SkinObjectTest, ANewSkinObjectStartsWithTheLayerDefaults) {
    EXPECT_TRUE(skin->m_Motions.empty());
    EXPECT_EQ(skin->m_SelectedMotion, -1);
    for (uint32_t i = 0; i < kSkinLayerCount; ++i) {
        const SkinMotionLayer& layer = skin->m_Layers[i];
        EXPECT_EQ(layer.Index(), i);
        EXPECT_EQ(layer.motion, -1);
        EXPECT_EQ(layer.motionName, "N_Neutral");
        EXPECT_EQ(layer.speed, 1.0f);
        EXPECT_EQ(layer.time, 999.0f);
        EXPECT_EQ(layer.blend, i == 1 ? 0.0f : 1.0f) << i;
        EXPECT_EQ(layer.bodyPart, i == 0 ? 255u : 0u) << i;
    }
    EXPECT_EQ(Ask<float>(skin, MSG_GET_MOTION_SPEED), 1.0f);
    EXPECT_EQ(skin->m_RootOutput.owner, skin);
}

// The sheet edits the selected motion; without one every edit is refused.
TEST_F(SkinObjectTest, TheSheetEditsTheSelectedMotionAndRefusesWithoutOne) {
    skin->HandleMessage(MSG_ADD_MOTION, nullptr);
    skin->HandleMessage(MSG_ADD_MOTION, nullptr);
    ASSERT_EQ(skin->m_Motions.size(), 2u);
    EXPECT_EQ(skin->m_Motions[1].name, "Unassigned Motion");
    EXPECT_EQ(skin->FindMotion("Unassigned Motion"), 0);
    for (const SkinMotion& motion : skin->m_Motions) {
        EXPECT_EQ(motion.layer, 255);
        EXPECT_EQ(motion.spare, 0);
        EXPECT_EQ(motion.itemId, -1);
    }
    for (uint32_t id : std::initializer_list<uint32_t>{
             MSG_SET_MOTION_NAME, MSG_GET_MOTION_NAME, MSG_SET_MOTION_PRIORITY, MSG_GET_MOTION_PRIORITY,
             MSG_SET_MOTION_LAYER, MSG_GET_MOTION_LAYER, MSG_SKIN_SET_PLAY_STYLE, MSG_SKIN_GET_PLAY_STYLE,
             MSG_SKIN_SET_BLEND_TIME, MSG_SKIN_GET_BLEND_TIME, MSG_DELETE_MOTION}) {
        uint32_t word = 7;
        EXPECT_EQ(skin->HandleMessage(id, Args_Of(&word)), 0) << id;
    }
    EXPECT_EQ(skin->m_Motions.size(), 2u);

    // Every motion of the name is started in turn: the last one stays selected.
    Select("Unassigned Motion");
    EXPECT_EQ(skin->m_SelectedMotion, 1);
    EXPECT_EQ(skin->HandleMessage(MSG_SET_MOTION_NAME, Args_Of("R_Forward")), 1);
    char name[16] = {};
    skin->HandleMessage(MSG_GET_MOTION_NAME, Args_Of(name));
    EXPECT_STREQ(name, "R_Forward");
    Send<uint32_t>(skin, MSG_SET_MOTION_PRIORITY, 0x1234);
    EXPECT_EQ(Ask<uint32_t>(skin, MSG_GET_MOTION_PRIORITY), 0x34u);
    const struct {
        uint32_t set, stored;
    } layers[] = {{10, 10}, {11, 255}, {3, 3}, {300, 255}, {0, 0}};
    for (const auto& l : layers) {
        Send(skin, MSG_SET_MOTION_LAYER, l.set);
        EXPECT_EQ(Ask<uint32_t>(skin, MSG_GET_MOTION_LAYER), l.stored) << l.set;
    }
    Send<uint32_t>(skin, MSG_SKIN_SET_PLAY_STYLE, SKIN_PLAY_ONCE_THEN_HOLD);
    EXPECT_EQ(Ask<uint32_t>(skin, MSG_SKIN_GET_PLAY_STYLE), 2u);
    Send(skin, MSG_SKIN_SET_BLEND_TIME, 0.25f);
    EXPECT_EQ(Ask<float>(skin, MSG_SKIN_GET_BLEND_TIME), 0.25f);

    std::vector<std::string> names;
    std::vector<std::string>* list = &names;
    skin->HandleMessage(MSG_SET_MOTIONSTRINGLIST_448, Args_Of(&list));
    EXPECT_EQ(names, (std::vector<std::string>{"Unassigned Motion", "R_Forward"}));

    EXPECT_EQ(skin->HandleMessage(MSG_DELETE_MOTION, nullptr), 1);
    ASSERT_EQ(skin->m_Motions.size(), 1u);
    EXPECT_EQ(skin->m_Motions[0].name, "Unassigned Motion");
    EXPECT_EQ(skin->m_SelectedMotion, -1);
    skin->HandleMessage(MSG_SKIN_DELETE_ALL_MOTIONS, nullptr);
    EXPECT_TRUE(skin->m_Motions.empty());
}

// "Set Motion H" gives the current layer's motion another library item.
TEST_F(SkinObjectTest, SetMotionHTakesTheItemAndItsNameLessThePrefix) {
    CQVLibraryItem* item = AddMotion(59, "Hum_N_Neutral", StillMotion(1.0f));
    EXPECT_EQ(Send(skin, MSG_SET_MOTION_H, item), 0) << "the layer plays no motion";
    GiveMotions(skin, {{"N_Neutral", 1.0f}});
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    CQVMotionItem* run = AddMotion(60, "Hum_R_Forward", StillMotion(0.5f));
    EXPECT_EQ(Send(skin, MSG_SET_MOTION_H, run), 1);
    EXPECT_EQ(skin->m_Motions[0].name, "R_Forward");
    EXPECT_EQ(skin->m_Motions[0].itemId, 60);
    EXPECT_EQ(skin->m_Motions[0].length, 0.5f);
    EXPECT_EQ(Ask<CQVMotionItem*>(skin, MSG_GET_MOTION_H), run);
    // An item that is no motion cannot be taken: the entry keeps its new id and no item.
    CQVLibraryItem* mesh = g_Library.At(kFigureMesh);
    EXPECT_EQ(Send(skin, MSG_SET_MOTION_H, mesh), 0);
    EXPECT_EQ(skin->m_Motions[0].itemId, static_cast<int32_t>(kFigureMesh));
    EXPECT_EQ(skin->m_Motions[0].item, nullptr);
}

// AutoAssign takes every motion item whose name begins with the first three
// letters of its name in any case, in id order, named after the item less
// its first four characters, with the name rules applied.
TEST_F(SkinObjectTest, AutoAssignTakesThePrefixedMotionsInAnyCaseWithTheirNameRules) {
    const struct {
        uint32_t id;
        const char* item;
        bool taken;
        const char* name;
        float blendTime;
        uint8_t playStyle;
    } items[] = {
        {60, "Fig_N_Neutral", true, "N_Neutral", 0.0f, 0},
        {61, "fIG_N_Die0", true, "N_Die0", 0.1f, 0},
        {62, "FIG_N_Dead0", true, "N_Dead0", 0.0f, 2},
        {63, "Fig_N_BL_Turn", true, "N_BL_Turn", 0.0f, 1},
        {64, "Fig_NBL_Turn", true, "NBL_Turn", 0.0f, 0},  // 'B', 'L', '_' at 1 to 3: no rule
        {65, "Fig_N_Di", true, "N_Di", 0.0f, 0},          // too short for "Die"
        {66, "Fig_N_Dea", true, "N_Dea", 0.0f, 0},
        {67, "Fig_", true, "", 0.0f, 0},
        {68, "Fi", false, "", 0.0f, 0},
        {69, "Oth_N_Neutral", false, "", 0.0f, 0},
    };
    for (const auto& item : items) AddMotion(item.id, item.item, StillMotion(1.0f));
    auto* texture = new CQVTextureItem;
    texture->name = "Fig_Texture";
    g_Library.SetItem(70, texture);
    GiveMotions(skin, {{"Old", 1.0f}});

    skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("figure"));
    char name[8] = {};
    skin->HandleMessage(MSG_GET_AUTOASSIGN_NAME, Args_Of(name));
    EXPECT_STREQ(name, "figure");
    EXPECT_EQ(skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr), 1);
    size_t entry = 0;
    for (const auto& item : items) {
        if (!item.taken) continue;
        SCOPED_TRACE(item.item);
        ASSERT_LT(entry, skin->m_Motions.size());
        const SkinMotion& motion = skin->m_Motions[entry++];
        EXPECT_EQ(motion.name, item.name);
        EXPECT_EQ(motion.itemId, static_cast<int32_t>(item.id));
        EXPECT_EQ(motion.item, g_Library.At(item.id));
        EXPECT_EQ(motion.length, 1.0f);
        EXPECT_EQ(motion.blendTime, item.blendTime);
        EXPECT_EQ(motion.playStyle, item.playStyle);
        EXPECT_EQ(motion.layer, 255);
    }
    EXPECT_EQ(entry, skin->m_Motions.size());
}

TEST(SkinMotionNameRules, CompareOnlyWithinTheName) {
    const struct {
        const char* name;
        float blendTime;
        uint8_t playStyle;
    } cases[] = {
        {"N_Die", 0.1f, 0}, {"N_Die0", 0.1f, 0}, {"N_Dead", 0.0f, 2}, {"X_Dead_01", 0.0f, 2}, {"N_BL_", 0.0f, 1},
        {"A_BL_Turn", 0.0f, 1}, {"ABL_", 0.0f, 0}, {"N_BL", 0.0f, 0}, {"N_Di", 0.0f, 0}, {"N_De", 0.0f, 0},
        {"", 0.0f, 0}, {"N", 0.0f, 0}, {"N_", 0.0f, 0}, {"N_die", 0.0f, 0},
    };
    for (const auto& c : cases) {
        SkinMotion motion;
        motion.name = c.name;
        SkinMotion_ApplyNameRules(&motion);
        EXPECT_EQ(motion.blendTime, c.blendTime) << c.name;
        EXPECT_EQ(motion.playStyle, c.playStyle) << c.name;
    }
}

// Actor files: the skin written at a chosen version through the engine's
// Serialize, then loaded by the actor system.
class SkinObjectFileTest : public SkinObjectTest {
protected:
    // The skin as the one record of a file of the version; the skin is deleted.
    void WriteAndForget(uint32_t version) {
        ASSERT_TRUE(file.WriteAndForget(skin, version));
        skin = nullptr;
    }
    CQVSkinObject* Load() {
        if (file.Load() != 1) return nullptr;
        return dynamic_cast<CQVSkinObject*>(CQVActorSystem::FindActorByName("Skin", CLASS_SKINOBJECT));
    }
    std::vector<char> Bytes() const { return file.Bytes(); }
    void Rewrite(const std::vector<char>& bytes) const { file.Rewrite(bytes); }
    // Where layer 0's motion index lies, counted from the end of the file:
    // the record ends with it, the name, the next motion, speed, time and
    // the transition flag.
    static size_t IndexFromEnd(const SkinMotionLayer& layer) {
        return 4 + (4 + layer.motionName.size()) + (4 + layer.nextMotion.size()) + 4 + 4 + 4;
    }
    // Where the motion count lies: the motions, the reserved word, the layer
    // count and layer 0's body part stand between it and the index.
    size_t CountFromEnd() const {
        size_t size = IndexFromEnd(skin->m_Layers[0]) + 4 + 4 + 4 + 4;
        for (const SkinMotion& motion : skin->m_Motions) size += 16 + motion.name.size();
        return size;
    }

    ActorRecordFile file;
};

TEST_F(SkinObjectFileTest, ARecordLoadsBackWithItsMotionsAndLayers) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"N_Forward", 1.0f}, {"N_Wave", 0.5f}});
    skin->m_Motions[1].blendTime = 0.3f;
    skin->m_Motions[1].priority = 7;
    skin->m_Motions[1].layer = 3;
    skin->m_Motions[1].playStyle = SKIN_PLAY_ONCE;
    skin->m_Motions[1].spare = 0x5A;  // kept as a file gave it
    Send<uint32_t>(skin, MSG_SET_SKIN_SLAVE, 1);
    ASSERT_EQ(SetMotion(skin, "N_Forward"), 1);
    Send(skin, MSG_SET_CURRENT_TIME, 0.4f);
    Send(skin, MSG_SET_MOTION_SPEED, 1.5f);
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 2);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);
    ASSERT_EQ(SetMotion(skin, "N_Wave"), 1);
    Send(skin, MSG_SET_CURRENT_TIME, 0.125f);
    skin->m_Layers[2].nextMotion = "N_Forward";
    skin->m_Layers[2].flags |= LAYER_TRANSITION;
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 0);
    WriteAndForget(70);

    CQVSkinObject* loaded = Load();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Motions[1].length, 0.0f) << "lengths wait for the actor's precalculation";
    EXPECT_FALSE(loaded->m_SkinFlags & SKIN_UPPER_LAYERS);
    loaded->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(loaded->m_Slave, 1u);
    ASSERT_EQ(loaded->m_Motions.size(), 3u);
    const SkinMotion& walk = loaded->m_Motions[1];
    EXPECT_EQ(walk.name, "N_Forward");
    EXPECT_EQ(walk.item, g_Library.At(101));
    EXPECT_EQ(walk.blendTime, 0.3f);
    EXPECT_EQ(walk.priority, 7);
    EXPECT_EQ(walk.layer, 3);
    EXPECT_EQ(walk.playStyle, SKIN_PLAY_ONCE);
    EXPECT_EQ(walk.spare, 0x5A);
    EXPECT_EQ(walk.length, 1.0f);
    EXPECT_EQ(loaded->m_Layers[0].motion, 1);
    EXPECT_EQ(loaded->m_Layers[0].motionName, "N_Forward");
    EXPECT_EQ(loaded->m_Layers[0].time, 0.4f);
    EXPECT_EQ(loaded->m_Layers[0].speed, 1.5f);
    EXPECT_EQ(loaded->m_Layers[2].bodyPart, 3u);
    EXPECT_EQ(loaded->m_Layers[2].motion, 2);
    EXPECT_EQ(loaded->m_Layers[2].time, 0.125f);
    EXPECT_EQ(loaded->m_Layers[2].nextMotion, "N_Forward");
    EXPECT_TRUE(loaded->m_Layers[2].flags & LAYER_TRANSITION);
    EXPECT_TRUE(loaded->m_SkinFlags & SKIN_UPPER_LAYERS) << "the body part is applied again at load";
    EXPECT_EQ(loaded->m_Layers[1].time, 999.0f) << "a layer without body part holds no record";
}

// With no layer above 0 in use one layer record is written; loading it
// leaves layers 1 to 10 at their defaults. With one, all eleven are.
TEST_F(SkinObjectFileTest, OneLayerRecordIsWrittenWhenNoUpperLayerIsUsed) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}});
    ASSERT_EQ(SetMotion(skin, "N_Neutral"), 1);
    skin->m_Layers[3].time = 5.0f;  // no body part: never written
    const auto layerCount = [&] {
        const std::vector<char> bytes = Bytes();
        // The record ends with layer 0's record: body part, index, name, next
        // motion (empty), speed, time, transition flag.
        const size_t tail = 4 + 4 + 4 + 9 + 4 + 4 + 4 + 4;
        uint32_t count = 0;
        std::memcpy(&count, bytes.data() + bytes.size() - tail - 4, 4);
        return count;
    };
    WriteAndForget(70);
    EXPECT_EQ(layerCount(), 1u);
    CQVSkinObject* loaded = Load();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Layers[0].motion, 0);
    for (uint32_t i = 1; i < kSkinLayerCount; ++i) EXPECT_EQ(loaded->m_Layers[i].time, 999.0f) << i;
    EXPECT_FALSE(loaded->m_SkinFlags & SKIN_UPPER_LAYERS);
}

// Files before 37 hold no names: the entries are named after their items.
// Before 42 there are no layer records. A motion whose item is missing loads
// without one.
TEST_F(SkinObjectFileTest, OlderFilesTakeNamesFromTheItemsAndHoldNoLayers) {
    for (uint32_t version : {36u, 41u}) {
        SCOPED_TRACE(version);
        if (skin == nullptr) skin = MakeSkin("Skin");
        GiveMotions(skin, {{"Whatever", 1.0f}, {"Gone", 1.0f}});
        skin->m_Motions[0].name = "Renamed";  // its item is "Tst_Whatever"
        skin->m_Motions[1].itemId = 90;       // no item there
        ASSERT_EQ(SetMotion(skin, "Renamed"), 1);
        Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 2);
        Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);
        Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 0);
        WriteAndForget(version);
        CQVSkinObject* loaded = Load();
        ASSERT_NE(loaded, nullptr);
        ASSERT_EQ(loaded->m_Motions.size(), 2u);
        EXPECT_EQ(loaded->m_Motions[0].name, version < 37 ? "Whatever" : "Renamed");
        EXPECT_EQ(loaded->m_Motions[1].item, nullptr);
        EXPECT_EQ(loaded->m_Motions[1].name, version < 37 ? "" : "Gone");
        EXPECT_EQ(loaded->m_Layers[2].bodyPart, 0u);
        EXPECT_EQ(loaded->m_Layers[0].time, 999.0f);
        g_ActorSystem->DeleteActor(loaded);
    }
}

// "Init Load" of a file before version 68 gives motions with "Die" at 2 to 4
// a blend time and the hold; before 67 every motion is reset and given the
// name rules.
TEST_F(SkinObjectFileTest, InitLoadMendsTheMotionsOfFilesBefore68And67) {
    const struct {
        uint32_t version;
        float dieBlend;
        uint8_t dieStyle, deadStyle, turnStyle, walkStyle;
        uint8_t walkPriority, walkLayer;
        float walkBlend;
    } cases[] = {
        {70, 0.0f, 0, 0, 0, 1, 5, 3, 0.7f},
        {68, 0.0f, 0, 0, 0, 1, 5, 3, 0.7f},
        {67, 0.1f, 2, 0, 0, 1, 5, 3, 0.7f},
        {66, 0.1f, 0, 2, 1, 0, 0, 255, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        if (skin == nullptr) skin = MakeSkin("Skin");
        GiveMotions(skin, {{"N_Die0", 1.0f}, {"N_Dead0", 1.0f}, {"A_BL_Turn", 1.0f}, {"Walk", 1.0f}});
        SkinMotion& walk = skin->m_Motions[3];
        walk.priority = 5;
        walk.layer = 3;
        walk.playStyle = SKIN_PLAY_ONCE;
        walk.blendTime = 0.7f;
        WriteAndForget(c.version);
        CQVSkinObject* loaded = Load();
        ASSERT_NE(loaded, nullptr);
        ASSERT_EQ(loaded->m_Motions.size(), 4u);
        EXPECT_EQ(loaded->m_Motions[0].blendTime, c.dieBlend);
        EXPECT_EQ(loaded->m_Motions[0].playStyle, c.dieStyle);
        EXPECT_EQ(loaded->m_Motions[1].playStyle, c.deadStyle);
        EXPECT_EQ(loaded->m_Motions[2].playStyle, c.turnStyle);
        EXPECT_EQ(loaded->m_Motions[3].playStyle, c.walkStyle);
        EXPECT_EQ(loaded->m_Motions[3].priority, c.walkPriority);
        EXPECT_EQ(loaded->m_Motions[3].layer, c.walkLayer);
        EXPECT_EQ(loaded->m_Motions[3].blendTime, c.walkBlend);
        g_ActorSystem->DeleteActor(loaded);
    }
}

// A motion count past what the file holds fails the load; a layer's motion
// index past the motion list plays nothing; a file cut anywhere in the
// record fails cleanly.
TEST_F(SkinObjectFileTest, DamagedRecordsFailOrPlayNothing) {
    GiveMotions(skin, {{"N_Neutral", 2.0f}, {"N_Forward", 1.0f}});
    ASSERT_EQ(SetMotion(skin, "N_Forward"), 1);
    const size_t countFromEnd = CountFromEnd(), indexFromEnd = IndexFromEnd(skin->m_Layers[0]);
    WriteAndForget(70);
    const std::vector<char> good = Bytes();
    const auto patched = [&](size_t fromEnd, uint32_t value) {
        std::vector<char> bytes = good;
        std::memcpy(bytes.data() + bytes.size() - fromEnd, &value, 4);
        return bytes;
    };
    ASSERT_EQ(std::memcmp(patched(countFromEnd, 2).data(), good.data(), good.size()), 0)
        << "the count is where it is looked for";
    ASSERT_EQ(std::memcmp(patched(indexFromEnd, 1).data(), good.data(), good.size()), 0)
        << "the index is where it is looked for";

    for (uint32_t count : {3u, 1000u, 0x10000000u, 0xFFFFFFFFu}) {
        Rewrite(patched(countFromEnd, count));
        EXPECT_EQ(file.Load(), 0) << count;
        EXPECT_EQ(CQVActorSystem::FindActorByName("Skin", CLASS_SKINOBJECT), nullptr) << count;
    }
    for (uint32_t index : {2u, 7u, 0x80000000u}) {
        Rewrite(patched(indexFromEnd, index));
        CQVSkinObject* loaded = Load();
        ASSERT_NE(loaded, nullptr) << index;
        EXPECT_NE(loaded->m_Layers[0].motion, static_cast<int32_t>(index));
        EXPECT_EQ(loaded->MotionOf(loaded->m_Layers[0]), nullptr);
        Step(loaded, 0.1f);
        EXPECT_EQ(Playing(loaded), "N_Neutral");
        g_ActorSystem->DeleteActor(loaded);
    }
    for (size_t cut = 1; cut <= countFromEnd; ++cut) {
        Rewrite(std::vector<char>(good.begin(), good.end() - static_cast<std::ptrdiff_t>(cut)));
        ASSERT_EQ(file.Load(), 0) << cut;
    }
}

}  // namespace
