// The bytes of saved actor files.

#include "tests/kernel/fileactors/FileActorsFixture.h"

namespace {

using ActorFileLayout = FileActorsTest;

// A default collision object as written at version 70, named and boxed.
Bytes& DefaultColObj(Bytes& b, const std::string& name, Vector3 min, Vector3 max) {
    b.Str(name).Words({2, 0, 7}).F32(1.0f);
    b.F32(min.x).F32(min.y).F32(min.z).F32(max.x).F32(max.y).F32(max.z);
    b.Words({0xFFFFFFFF, 0});        // persisted word, hit-effect group
    b.Words({0, 1, 0, 0});           // flags bits 5, 6, 2, 1
    b.Words({0, 0});                 // bit 4, reserved
    b.Words({1, 1, 0});              // active, groups, exclude
    b.Words({1, 0});                 // receive, reserved
    return b;
}

TEST_F(ActorFileLayout, RangeWithoutFlaggedActorsSavesOnlyTheHeader) {
    CQVActor* a = Make(CLASS_BASE, "A", scenery, 3000);
    CQVActor* b = Make(CLASS_BASE, "B", scenery, 3005);
    a->m_Flags &= ~ACTOR_SAVED;
    b->m_Flags &= ~ACTOR_SAVED;
    ASSERT_EQ(system->SaveActors(DataPath("Empty.qva").c_str(), 3000, 7000, 0), 1);
    EXPECT_EQ(ReadData("Empty.qva"), Bytes().Words({70, 0, 3000, 6}).data);

    b->m_Flags |= ACTOR_SAVED;
    ASSERT_EQ(system->SaveActors(DataPath("One.qva").c_str(), 3000, 7000, 0), 1);
    const std::string one = ReadData("One.qva");
    ASSERT_GE(one.size(), 24u);
    EXPECT_EQ(one.substr(0, 24), Bytes().Words({70, 1, 3000, 6, CLASS_BASE, 3005}).data);

    // No live actor in the range: span 0.
    ASSERT_EQ(system->SaveActors(DataPath("None.qva").c_str(), 7000, 8000, 0), 1);
    EXPECT_EQ(ReadData("None.qva"), Bytes().Words({70, 0, 7000, 0}).data);
    // Nothing of the temporary file is left.
    EXPECT_FALSE(std::filesystem::exists("Data/None.qva.tmp"));
}

TEST_F(ActorFileLayout, BaseActorRecordFieldByField) {
    CQVActor* crate = Make(CLASS_BASE, "Crate", scenery, 3001);
    crate->m_Position = Vector3(1.0f, 2.0f, 3.0f);
    crate->m_Scale = Vector3(2.0f, 2.0f, 2.0f);
    crate->m_Flags |= ACTOR_PERSISTED_OPTION | ACTOR_MASTER;
    crate->m_ActionFlags = ACTION_BLOCK_START_FROM_PARENT | ACTION_BLOCK_KILL_FROM_PARENT;
    crate->m_KillDelay = 0.5f;
    crate->m_ActionTime = 4.0f;
    crate->m_UserWord = 7;
    crate->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    const Vector3 boxMin(-1.0f, 0.0f, -1.0f);
    crate->HandleMessage(MSG_SET_BOX_MIN, Args_Of(&boxMin));
    CQVScript script;
    script.name = "OnStart";
    script.source = "this.kill();";
    script.boundMessage = MSG_ACTION_START;
    crate->m_Scripts.push_back(script);

    ASSERT_EQ(Save(scenery, "Crate.qva"), 1);
    Bytes expected;
    expected.Words({70, 1, 3000, 2});  // header: the range of Scenery, span up to 3001
    expected.Words({CLASS_BASE, 3001, ACTOR_ID_SCENERY}).Str("Crate");
    expected.F32(1).F32(2).F32(3).F32(2).F32(2).F32(2).F32(0).F32(0).F32(0).F32(1);
    expected.Words({1, 1, 0x5, 0, 0});  // bit 18, collision enabled, action flags, two reserved words
    expected.U32(1);
    DefaultColObj(expected, "Object 1", boxMin, Vector3(10, 10, 10));
    expected.U32(1).U32(MSG_ACTION_START).Str(GetCommandDesc(MSG_ACTION_START).name).Str("OnStart").Str("this.kill();");
    expected.U32(3);  // activity
    expected.F32(0.5f).F32(0).F32(0).F32(0).F32(0).F32(0).F32(4.0f);
    expected.Words({1, 7, 0});  // master, user word, reserved
    expected.Words({0, 0});     // saved timed messages, simulation style
    EXPECT_EQ(ReadData("Crate.qva"), expected.data);
}

TEST_F(ActorFileLayout, GeneratedCollisionObjectsAreLeftOut) {
    CQVActor* actor = Make(CLASS_BASE, "Mesh", scenery, 3000);
    for (int i = 0; i < 3; ++i) actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    actor->m_ColObjs[1].flags |= COLOBJ_GENERATED;
    ASSERT_EQ(Save(scenery, "Mesh.qva"), 1);
    ASSERT_EQ(Open(scenery, "Mesh.qva"), 1);
    CQVActor* loaded = system->GetActorById(3000);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_ColObjs.size(), 2u);
    EXPECT_EQ(loaded->m_ColObjs[0].name, "Object 1");
    EXPECT_EQ(loaded->m_ColObjs[1].name, "Object 3");
}

TEST_F(ActorFileLayout, ClassActorWritesTwoZeroWordsAfterTheBase) {
    Make(CLASS_CLASS, "Classes", scenery, 3000);
    CQVActor* base = Make(CLASS_BASE, "Classes", scenery, 3001);
    base->m_Flags &= ~ACTOR_SAVED;
    ASSERT_EQ(system->SaveActors(DataPath("Class.qva").c_str(), 3000, 3001, 0), 1);
    base->m_Flags |= ACTOR_SAVED;
    system->GetActorById(3000)->m_Flags &= ~ACTOR_SAVED;
    ASSERT_EQ(system->SaveActors(DataPath("Base.qva").c_str(), 3001, 3002, 0), 1);
    const std::string classFile = ReadData("Class.qva");
    std::string baseRecord = ReadData("Base.qva").substr(16);
    baseRecord.replace(0, 8, Bytes().Words({CLASS_CLASS, 3000}).data);
    EXPECT_EQ(classFile, Bytes().Words({70, 1, 3000, 1}).Raw(baseRecord).Words({0, 0}).data);
}

TEST_F(ActorFileLayout, UVAnimationIsABareRecord) {
    Make(CLASS_UVANIMATION, "Water", scenery, 3000);
    ASSERT_EQ(Save(scenery, "Water.qva"), 1);
    EXPECT_EQ(ReadData("Water.qva"), Bytes().Words({70, 1, 3000, 1, CLASS_UVANIMATION, 3000}).data);
    ASSERT_EQ(Open(scenery, "Water.qva"), 1);
    CQVActor* water = system->GetActorById(3000);
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->m_ClassType, CLASS_UVANIMATION);
    // Nothing but the record is kept: the name comes back as the placeholder.
    EXPECT_EQ(water->m_Name, "Invalid Name");
}

TEST_F(ActorFileLayout, FailedSaveLeavesNothingBehind) {
    // A folder where the file would go: the finished file cannot replace it.
    std::filesystem::create_directories("Data/Kept.qva");
    Make(CLASS_BASE, "A", scenery, 3000);
    EXPECT_EQ(Save(scenery, "Kept.qva"), 0);
    EXPECT_STREQ(system->GetError(), "Error - Saving Actors");
    EXPECT_TRUE(std::filesystem::is_directory("Data/Kept.qva"));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator("Data")) entries += !entry.path().empty();
    EXPECT_EQ(entries, 1u) << "the temporary file is gone";
}

}  // namespace
