// Loading and importing actor files: round trips of the kernel's classes,
// files of old versions and damaged files.

#include "tests/kernel/fileactors/FileActorsFixture.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Maths.h"

#include <map>

namespace {

using ActorFileLoad = FileActorsTest;

// The base fields of one record as files of version v < 46 hold them: no
// collision objects, no scripts, activity 3, no timing, master clear.
Bytes& OldRecord(Bytes& b, uint32_t version, uint32_t type, uint32_t id, uint32_t parent, const char* name) {
    b.Words({type, id, parent}).Str(name);
    b.F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).F32(1);
    b.U32(0);                               // bit 18
    if (version >= 6) b.Words({1, 0, 0});   // collision enabled, action flags, reserved
    b.U32(0);                               // reserved
    return b;
}

Bytes& OldTail(Bytes& b) {
    b.U32(3);  // activity
    for (int i = 0; i < 7; ++i) b.F32(0);
    return b.Words({0, 0, 0});  // master, user word, reserved
}

class ActorFileRoundTrip : public FileActorsTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(ActorFileRoundTrip, SavedLoadedAndSavedAgainGivesTheSameBytes) {
    const uint32_t type = GetParam();
    CQVActor* actor = Make(type, "Subject", scenery, 3000);
    ASSERT_NE(actor, nullptr);
    actor->m_Position = Vector3(5.0f, -6.0f, 7.5f);
    actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    actor->m_UserWord = 0xABCD;
    CQVActor* child = Make(CLASS_BASE, "Child", actor, 3002);
    child->m_Rotation = Quaternion{0.0f, 0.6f, 0.0f, 0.8f};
    if (type == CLASS_FILE) {
        auto* file = static_cast<CQVFile*>(actor);
        file->HandleMessage(MSG_SET_FILENAME, Args_Of("Crates.qva"));
        file->HandleMessage(MSG_SET_FILENAME, Args_Of("Barrels.qva"));
        file->m_Weights = {3, 40};
        file->m_MaxCounts = {0, 2};
        file->m_NoFilePercent = 25;
        file->m_AutoLoad = 0;
        // Reading a level sets every File actor's loaded flag.
        file->m_Loaded = 1;
    } else if (type == CLASS_FILEIO) {
        static_cast<CQVFileIO*>(actor)->m_FileName = "Inner.qva";
    }
    // "Init Load" adds the derived group bits and clears collision on
    // actors without objects: from the first load on the bytes stay.
    ASSERT_EQ(Save(scenery, "First.qva"), 1);
    ASSERT_EQ(Open(scenery, "First.qva"), 1);
    ASSERT_EQ(Save(scenery, "Second.qva"), 1);
    ASSERT_EQ(Open(scenery, "Second.qva"), 1);
    ASSERT_EQ(Save(scenery, "Third.qva"), 1);
    EXPECT_EQ(ReadData("Second.qva"), ReadData("Third.qva"));
    EXPECT_EQ(ReadData("First.qva").size(), ReadData("Third.qva").size());
    CQVActor* loaded = system->GetActorById(3000);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_ClassType, type);
    if (type == CLASS_UVANIMATION) return;
    EXPECT_EQ(loaded->m_Name, "Subject");
    EXPECT_EQ(loaded->m_Position.z, 7.5f);
    EXPECT_EQ(loaded->m_UserWord, 0xABCDu);
    ASSERT_EQ(loaded->m_ColObjs.size(), 1u);
    EXPECT_EQ(loaded->m_ColObjs[0].owner, loaded);
    EXPECT_EQ(loaded->m_Parent, scenery);
    ASSERT_EQ(loaded->m_Children.size(), 1u);
    EXPECT_EQ(loaded->m_Children[0]->m_Rotation.y, 0.6f);
    if (type == CLASS_FILE) {
        auto* file = static_cast<CQVFile*>(loaded);
        EXPECT_EQ(file->m_Files, (std::vector<std::string>{"Crates.qva", "Barrels.qva"}));
        EXPECT_EQ(file->m_Weights, (std::vector<uint32_t>{3, 40}));
        EXPECT_EQ(file->m_MaxCounts, (std::vector<uint32_t>{0, 2}));
        EXPECT_EQ(file->m_NoFilePercent, 25u);
        EXPECT_EQ(file->m_AutoLoad, 0u);
    } else if (type == CLASS_FILEIO) {
        EXPECT_EQ(static_cast<CQVFileIO*>(loaded)->m_FileName, "Inner.qva");
    }
}

INSTANTIATE_TEST_SUITE_P(KernelClasses, ActorFileRoundTrip,
                         testing::Values(CLASS_BASE, CLASS_FILE, CLASS_FILEIO, CLASS_CLASS, CLASS_UVANIMATION));

TEST_F(ActorFileLoad, TimedMessagesScriptsAndSimulationSurviveTwoSaves) {
    CQVActor* floor = Make(CLASS_BASE, "Floor", scenery, 3000);
    CQVActor* door = Make(CLASS_BASE, "Door", scenery, 3001);
    door->m_ActionStartDelay = 2.0f;
    door->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    // A saved message that names an actor: stored as a path, found again
    // after loading.
    door->ScheduleMessage(MSG_SET_ORIENTATION, Args_Of(&floor), TIMED_SAVED_FLAG | 0x200, 3.0f, 0.0f, 0.0f);
    uint32_t style = 3;
    door->HandleMessage(MSG_SET_SIM_STYLE, Args_Of(&style));
    const float gravity = 0.25f;
    door->HandleMessage(MSG_SET_SIM_GRAVITY_MUL, Args_Of(&gravity));
    CQVScript script;
    script.name = "Open";
    script.source = "this.kill();";
    script.boundMessage = MSG_ACTION_START;
    door->m_Scripts.push_back(script);

    ASSERT_EQ(Save(scenery, "Door0.qva"), 1);
    ASSERT_EQ(Open(scenery, "Door0.qva"), 1);
    ASSERT_EQ(Save(scenery, "Door.qva"), 1);
    ASSERT_EQ(Open(scenery, "Door.qva"), 1);
    system->HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);
    CQVActor* loaded = system->GetActorById(3001);
    ASSERT_NE(loaded, nullptr);
    TimedMessage* start = loaded->FindTimedMessage(MSG_ACTION_START);
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->state & TIMED_STATE_SAVED);
    EXPECT_TRUE(start->state & TIMED_STATE_LINKED);
    EXPECT_FLOAT_EQ(start->nextFire, 2.0f);
    TimedMessage* orient = loaded->FindTimedMessage(MSG_SET_ORIENTATION);
    ASSERT_NE(orient, nullptr);
    ASSERT_NE(orient->args, nullptr);
    EXPECT_EQ(Args_Pointer<CQVActor>(MSG_SET_ORIENTATION, orient->args), system->GetActorById(3000));
    ASSERT_NE(loaded->m_SimParams, nullptr);
    EXPECT_EQ(loaded->m_SimParams->words[0], 3u);
    float loadedGravity = 0.0f;
    loaded->HandleMessage(MSG_GET_SIM_GRAVITY_MUL, Args_Of(&loadedGravity));
    EXPECT_EQ(loadedGravity, 0.25f);
    ASSERT_EQ(loaded->m_Scripts.size(), 1u);
    EXPECT_EQ(loaded->m_Scripts[0].boundMessage, static_cast<uint32_t>(MSG_ACTION_START));
    EXPECT_EQ(loaded->m_Scripts[0].owner, loaded);

    // Saving the loaded actors keeps the pending messages.
    ASSERT_EQ(Save(scenery, "Door2.qva"), 1);
    EXPECT_EQ(ReadData("Door.qva"), ReadData("Door2.qva"));
}

// A level's timed message that names an actor holds the actor's path until
// the level is precalculated; coming due before that, it is not delivered
// (the path's bytes are no actor).
TEST_F(ActorFileLoad, AStoredMessageDueBeforePrecalculateWaits) {
    CQVActor* floor = Make(CLASS_BASE, "Floor", scenery, 3000);
    CQVActor* door = Make(CLASS_BASE, "Door", scenery, 3001);
    Matrix turned;
    Mat4_Identity(&turned);
    turned.m[3][0] = 7.0f;
    floor->SetWorldMatrix(turned);
    door->ScheduleMessage(MSG_SET_ORIENTATION, Args_Of(&floor), TIMED_SAVED_FLAG | 0x200, 0.5f, 0.0f, 0.0f);
    ASSERT_EQ(Save(scenery, "Early.qva"), 1);
    ASSERT_EQ(Open(scenery, "Early.qva"), 1);
    CQVActor* loaded = system->GetActorById(3001);
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded->FindTimedMessage(MSG_SET_ORIENTATION), nullptr);
    for (int frame = 0; frame < 8; ++frame) {
        g_FrameTime = 0.25f;
        ++g_FrameNumber;
        system->UpdateClock(&g_GlobalClock);
        system->RunTimedMessagePass();
    }
    EXPECT_EQ(loaded->GetWorldMatrix().m[3][0], 0.0f);
}

// A command nested in a stored block keeps each of its pointers in four
// bytes, so even a block whose own types are plain becomes its run-time
// form at "Precalculate"; a file that puts eight bytes after the nested
// "Set Orientation" hands its handler no actor made of them.
TEST_F(ActorFileLoad, ANestedCommandIsImportedAtPrecalculate) {
    CQVActor* floor = Make(CLASS_BASE, "Floor", scenery, 3000);
    CQVActor* door = Make(CLASS_BASE, "Door", scenery, 3001);
    Matrix turned;
    Mat4_Identity(&turned);
    turned.m[3][0] = 7.0f;
    floor->SetWorldMatrix(turned);
    uint8_t command[4 + sizeof floor];
    const uint32_t nested = MSG_SET_ORIENTATION;
    std::memcpy(command, &nested, 4);
    std::memcpy(command + 4, &floor, sizeof floor);
    door->ScheduleMessage(MSG_ACTION_COMMAND, MessageArgs(&command, sizeof command), TIMED_SAVED_FLAG | 0x200,
                          0.5f, 0.0f, 0.0f);
    ASSERT_EQ(Save(scenery, "Nested.qva"), 1);
    // The record as saved: id, size 8, the nested id and its zeroed pointer.
    const std::string saved = Bytes().Words({MSG_ACTION_COMMAND, 8, MSG_SET_ORIENTATION, 0}).data;
    const std::string hostile =
        Bytes().Words({MSG_ACTION_COMMAND, 12, MSG_SET_ORIENTATION}).Raw("AAAAAAAA").data;
    std::string file = ReadData("Nested.qva");
    const size_t at = file.find(saved);
    ASSERT_NE(at, std::string::npos);
    WriteData("Nested.qva", file.replace(at, saved.size(), hostile));

    ASSERT_EQ(Open(scenery, "Nested.qva"), 1);
    CQVActor* loaded = system->GetActorById(3001);
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded->FindTimedMessage(MSG_ACTION_COMMAND), nullptr);
    scenery->HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);
    for (int frame = 0; frame < 4; ++frame) {
        g_FrameTime = 0.25f;
        ++g_FrameNumber;
        system->UpdateClock(&g_GlobalClock);
        system->RunTimedMessagePass();
    }
    EXPECT_EQ(loaded->FindTimedMessage(MSG_ACTION_COMMAND), nullptr);
    EXPECT_EQ(loaded->GetWorldMatrix().m[3][0], 0.0f);
}

TEST_F(ActorFileLoad, SavedMessageOnAChannelNoClockRunsIsDropped) {
    CQVActor* door = Make(CLASS_BASE, "Door", scenery, 3001);
    door->ScheduleMessage(MSG_KILL, nullptr, TIMED_SAVED_FLAG | 0x200, 3.0f, 0.0f, 0.0f);
    door->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | 0x200, 4.0f, 0.0f, 0.0f);
    TimedMessage* kill = door->FindTimedMessage(MSG_KILL);
    ASSERT_NE(kill, nullptr);
    // As a file from elsewhere might hold it.
    kill->channel = 5;
    ASSERT_EQ(Save(scenery, "Channels.qva"), 1);

    ASSERT_EQ(Open(scenery, "Channels.qva"), 1);
    CQVActor* loaded = system->GetActorById(3001);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->FindTimedMessage(MSG_KILL), nullptr);
    ASSERT_NE(loaded->FindTimedMessage(MSG_ACTION_START), nullptr);
    ASSERT_EQ(Save(scenery, "Channels2.qva"), 1);
    EXPECT_LT(ReadData("Channels2.qva").size(), ReadData("Channels.qva").size());
}

TEST_F(ActorFileLoad, LoadCallbackAndNamesOfRecordsWithoutOne) {
    static int calls = 0;
    calls = 0;
    system->m_LoadCallback = [](int value) { calls += value == 0 ? 1 : 100; };
    Make(CLASS_BASE, "", scenery, 3000);
    Make(CLASS_BASE, "Named", scenery, 3001);
    ASSERT_EQ(Save(scenery, "Names.qva"), 1);
    ASSERT_EQ(Open(scenery, "Names.qva"), 1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(system->GetActorById(3000)->m_Name, "Invalid Name");
    EXPECT_EQ(system->GetLoadVersion(), 0xFFFFFFFFu);
}

TEST_F(ActorFileLoad, OldFilesMoveTheirIds) {
    Bytes v21;
    v21.Words({21, 3, 1500, 3});
    OldTail(OldRecord(v21, 21, CLASS_BASE, 1500, 1400, "Moved").U32(0).U32(0));
    OldTail(OldRecord(v21, 21, CLASS_BASE, 1501, ACTOR_ID_SCENERY, "Top").U32(0).U32(0));
    OldTail(OldRecord(v21, 21, CLASS_BASE, 2500, 1501, "Twice").U32(0).U32(0));
    WriteData("V21.qva", v21.data);
    ASSERT_EQ(system->LoadActors(DataPath("V21.qva").c_str(), 0), 1) << system->GetError();
    ASSERT_NE(system->GetActorById(3500), nullptr);
    EXPECT_EQ(system->GetActorById(3500)->m_Name, "Moved");
    EXPECT_EQ(system->GetActorById(3500)->m_ParentId, 3400u);
    CQVActor* top = system->GetActorById(3501);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->m_Parent, scenery);
    // 2500 moves twice; its parent 1501 moves twice as well.
    ASSERT_NE(system->GetActorById(4500), nullptr);
    EXPECT_EQ(system->GetActorById(4500)->m_ParentId, 3501u);

    for (const auto& [version, expected] : std::map<uint32_t, uint32_t>{{30, 3500}, {38, 2500}}) {
        Bytes file;
        file.Words({version, 1, 2500, 1});
        OldTail(OldRecord(file, version, CLASS_BASE, 2500, ACTOR_ID_SCENERY, "Late").U32(0).U32(0));
        WriteData("Late.qva", file.data);
        ASSERT_EQ(system->LoadActors(DataPath("Late.qva").c_str(), 0), 1);
        ASSERT_NE(system->GetActorById(expected), nullptr) << version;
        EXPECT_EQ(system->GetActorById(expected)->m_Name, "Late");
    }
}

TEST_F(ActorFileLoad, VersionGatesOfCollisionObjectsAndScripts) {
    // Version 5: no collision-enabled bit, action flags or object groups.
    // Version 10: groups stored, but the receive mask came later.
    // Version 14 keeps the stored script id; 15 binds by the stored name.
    // Ids below 1000 never moved.
    for (uint32_t version : {5u, 10u, 14u, 15u}) {
        Bytes file;
        file.Words({version, 1, 500, 1});
        OldRecord(file, version, CLASS_BASE, 500, ACTOR_ID_SCENERY, "Old").U32(1);
        file.Str("Box").Words({2, 3, 7}).F32(1.0f);
        for (int i = 0; i < 6; ++i) file.F32(static_cast<float>(i));
        file.Words({0x1234, 9});
        if (version >= 2) file.Words({0, 1, 0, 0, 0, 0});  // bits 5, 6, 2, 1, reserved, reserved
        if (version >= 6) file.Words({1, 0x5, 0x2});        // active, groups, exclude
        if (version >= 11) file.Words({0x3, 0});             // receive, reserved
        file.U32(1).U32(version >= 15 ? 999u : static_cast<uint32_t>(MSG_ACTION_START));
        if (version >= 15) file.Str(GetCommandDesc(MSG_ACTION_START).name);
        file.Str("Script").Str("this.kill();");
        OldTail(file);
        WriteData("Old.qva", file.data);
        ASSERT_EQ(Open(scenery, "Old.qva"), 1) << version;
        CQVActor* old = system->GetActorById(500);
        ASSERT_NE(old, nullptr);
        ASSERT_EQ(old->m_ColObjs.size(), 1u);
        const ColObj& box = old->m_ColObjs[0];
        EXPECT_EQ(box.physique, 3u);
        EXPECT_EQ(box.persistedWord, 0x1234u);
        const bool masks = version >= 11;
        EXPECT_EQ(box.groups & 0xFFFF, masks ? 5u : 1u) << version;
        EXPECT_EQ(box.groupsReceive, masks ? 3u : 1u);
        EXPECT_EQ(box.groupsExclude, masks ? 2u : 0u);
        EXPECT_EQ(old->m_ActionFlags, 0u);
        EXPECT_TRUE(old->m_Flags & ACTOR_COLLISION_ENABLED);
        ASSERT_EQ(old->m_Scripts.size(), 1u);
        EXPECT_EQ(old->m_Scripts[0].boundMessage, static_cast<uint32_t>(MSG_ACTION_START)) << version;
        EXPECT_TRUE(old->m_TimedMessages.size() <= 1u);
    }
}

class DamagedFile : public FileActorsTest {
protected:
    std::string valid;
    std::vector<CQVActor*> beforeTable;
    std::vector<CQVActor*> beforeChildren;

    void SetUp() override {
        FileActorsTest::SetUp();
        CQVActor* a = Make(CLASS_BASE, "Alpha", scenery, 3000);
        a->HandleMessage(MSG_CREATE_COLLISION, nullptr);
        a->HandleMessage(MSG_CREATE_COLLISION, nullptr);
        CQVScript script;
        script.name = "S";
        script.source = "this.kill();";
        script.boundMessage = MSG_ACTION_START;
        a->m_Scripts.push_back(script);
        a->m_ActionStartDelay = 1.0f;
        a->HandleMessage(MSG_ACTION_START_PRE, nullptr);
        uint32_t style = 2;
        a->HandleMessage(MSG_SET_SIM_STYLE, Args_Of(&style));
        CQVActor* file = Make(CLASS_FILE, "Spawner", a, 3001);
        file->HandleMessage(MSG_SET_FILENAME, Args_Of("Missing.qva"));
        Make(CLASS_CLASS, "Classes", scenery, 3002);
        ASSERT_EQ(Save(scenery, "Rich.qva"), 1);
        valid = ReadData("Rich.qva");
        // The scene that a damaged file must leave alone.
        Make(CLASS_BASE, "Standing", scenery, 3000);
        beforeTable = g_ActorTable;
        beforeChildren = scenery->m_Children;
    }

    void ExpectUnchanged(const std::string& what) {
        std::vector<CQVActor*> table = g_ActorTable;
        table.resize(beforeTable.size());
        EXPECT_EQ(table, beforeTable) << what;
        EXPECT_EQ(scenery->m_Children, beforeChildren) << what;
    }

    int Load(const std::string& bytes) {
        WriteData("Damaged.qva", bytes);
        return system->LoadActors(DataPath("Damaged.qva").c_str(), 0);
    }
};

TEST_F(DamagedFile, EveryTruncationFailsAndChangesNothing) {
    ASSERT_GT(valid.size(), 200u);
    for (size_t length = 0; length < valid.size(); ++length) {
        system->SetError("");
        ASSERT_EQ(Load(valid.substr(0, length)), 0) << length;
        EXPECT_STREQ(system->GetError(), "Error - Loading Actors") << length;
        ExpectUnchanged("length " + std::to_string(length));
    }
    // The whole file loads.
    EXPECT_EQ(Load(valid), 1);
}

// A load told to stop (the program's quit request) before its third record
// ends as a failed one.
TEST_F(DamagedFile, LoadToldToStopBetweenRecordsChangesNothing) {
    static int asked = 0;
    asked = 0;
    g_ActorLoadStop = [] { return ++asked == 3; };
    EXPECT_EQ(Load(valid), 0);
    g_ActorLoadStop = nullptr;
    EXPECT_EQ(asked, 3);
    EXPECT_STREQ(system->GetError(), "Error - Loading Actors");
    ExpectUnchanged("stopped");
}

struct Corruption {
    const char* name;
    size_t offset;     // where a word is overwritten
    uint32_t value;
    const char* error;
};

class DamagedWord : public DamagedFile, public testing::WithParamInterface<Corruption> {};

TEST_P(DamagedWord, FailsWithItsErrorAndChangesNothing) {
    const Corruption& c = GetParam();
    std::string bytes = valid;
    ASSERT_LE(c.offset + 4, bytes.size());
    std::memcpy(bytes.data() + c.offset, &c.value, 4);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_STREQ(system->GetError(), c.error);
    ExpectUnchanged(c.name);
}

// Offsets in the first record: header 16, type 16, id 20, parent 24, name
// length 28 ("Alpha" to 37), ..., collision-object count at 37 + 40 + 20 + 4 = 101.
INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedWord,
    testing::Values(Corruption{"CountBeyondTheBytes", 4, 1000000, "Error - Loading Actors"},
                    Corruption{"UnknownClassType", 16, 99, "Serialize Error"},
                    Corruption{"TypeWithoutClass", 16, 39, "Serialize Error"},
                    Corruption{"SystemActorId", 20, 2, "Serialize Error"},
                    Corruption{"IdBeyondTheTable", 20, 600000, "Serialize Error"},
                    Corruption{"NameLongerThanTheFile", 28, 0x7FFFFFF0, "Error - Loading Actors"},
                    Corruption{"CollisionObjectCount", 101, 0x10000000, "Error - Loading Actors"}),
    [](const testing::TestParamInfo<Corruption>& info) { return info.param.name; });

TEST_F(ActorFileLoad, ImportPlacesTheFileUnderFreshIds) {
    CQVActor* top = Make(CLASS_BASE, "Top", scenery, 3000);
    Make(CLASS_BASE, "Inner", top, 3001);
    Make(CLASS_BASE, "Last", scenery, 3009);
    ASSERT_EQ(Save(scenery, "Part.qva"), 1);
    CQVActor* holder = Make(CLASS_BASE, "Holder", global, 9000);
    ASSERT_EQ(system->ImportActors(DataPath("Part.qva").c_str(), holder), 1);
    ASSERT_NE(system->GetActorById(8000), nullptr);
    EXPECT_EQ(system->GetActorById(8000)->m_Name, "Top");
    EXPECT_EQ(system->GetActorById(8000)->m_ParentId, 9000u);
    EXPECT_EQ(system->GetActorById(8001)->m_ParentId, 8000u);
    EXPECT_EQ(system->GetActorById(8009)->m_ParentId, 9000u);
    EXPECT_EQ(system->GetLoadVersion(), 70u);
    CQVActorSystem::BroadcastMessage(MSG_BUILD_TREE, nullptr);
    EXPECT_EQ(holder->m_Children.size(), 2u);

    // A damaged import adds nothing.
    std::string bytes = ReadData("Part.qva");
    WriteData("Cut.qva", bytes.substr(0, bytes.size() - 3));
    const size_t live = std::count_if(g_ActorTable.begin(), g_ActorTable.end(), [](CQVActor* a) { return a; });
    EXPECT_EQ(system->ImportActors(DataPath("Cut.qva").c_str(), holder), 0);
    EXPECT_EQ(std::count_if(g_ActorTable.begin(), g_ActorTable.end(), [](CQVActor* a) { return a; }), live);
    EXPECT_EQ(system->ImportActors(DataPath("Absent.qva").c_str(), holder), 0);
}

TEST_F(ActorFileLoad, MissingFileIsALoadError) {
    EXPECT_EQ(Open(scenery, "Absent.qva"), 0);
    EXPECT_STREQ(system->GetError(), "Error - Loading Actors");
}

}  // namespace

namespace {

// The second record's id: next to the first, and far enough from it that
// the records are looked up by hash rather than by a flat array.
class ParentRing : public ActorFileLoad, public testing::WithParamInterface<uint32_t> {};

TEST_P(ParentRing, IsADamagedFile) {
    // 3000 under the other under 3000.
    const uint32_t other = GetParam();
    Bytes ring;
    ring.Words({70, 2, 3000, other - 3000 + 1});
    for (const auto& [id, parent] : {std::pair{3000u, other}, std::pair{other, 3000u}}) {
        ring.Words({CLASS_BASE, id, parent}).Str("R");
        for (int i = 0; i < 10; ++i) ring.F32(i == 3 || i == 4 || i == 5 || i == 9 ? 1.0f : 0.0f);
        ring.Words({0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    WriteData("Ring.qva", ring.data);
    EXPECT_EQ(system->LoadActors(DataPath("Ring.qva").c_str(), 0), 0);
    EXPECT_STREQ(system->GetError(), "Error - Loading Actors");
    EXPECT_EQ(system->GetActorById(3000), nullptr);
    EXPECT_EQ(system->GetActorById(other), nullptr);
    // The same records without the ring load.
    std::string fixed = ring.data;
    const uint32_t scenery = ACTOR_ID_SCENERY;
    std::memcpy(fixed.data() + 24, &scenery, 4);
    WriteData("Ring.qva", fixed);
    EXPECT_EQ(system->LoadActors(DataPath("Ring.qva").c_str(), 0), 1);
    EXPECT_EQ(system->GetActorById(other)->m_Parent, system->GetActorById(3000));
}

INSTANTIATE_TEST_SUITE_P(Ids, ParentRing, testing::Values(3001u, 400000u));

}  // namespace
