// The mesh actor: its messages and their payloads, the six animation styles
// with their loop and end events, the collision objects it makes from the
// mesh's shapes, the entry rules, and its record in actor files of several
// versions, damaged ones included.

#include "actors/scene/Object.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"
#include "tests/actors/scene/ObjectTestSupport.h"
#include "tests/support/ActorRecordFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    return word;
}

// A mesh of two subsets and four frames (0.1 s): the first subset's own
// material is 20, the second's 21.
constexpr uint32_t kMesh = 10;
constexpr float kLength = 3.0f * (1.0f / 30.0f);

class ObjectTest : public ObjectSceneFixture {
protected:
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        AddMaterial(20, "Red");
        AddMaterial(21, "Blue", 6, 3);
        AddMesh(kMesh, "Crate", {TestShape{0, 20}, TestShape{0, 21}}, 4);
        object = static_cast<CQVObject*>(Make(CLASS_OBJECT, "Crate"));
        ASSERT_NE(object, nullptr);
    }
    void SetMesh(uint32_t id) {
        CQVMeshItem* mesh = static_cast<CQVMeshItem*>(g_Library.At(id));
        ASSERT_EQ(Send(object, MSG_SET_MESH, mesh), 1);
    }

    CQVObject* object = nullptr;
};

// The registered argument types of the class's messages, and what a new
// object answers to each getter.
TEST_F(ObjectTest, MessagesCarryTheirTypesAndANewObjectAnswersItsDefaults) {
    constexpr uint32_t kNotAGetter = 0xDEADBEEF;
    const struct {
        uint32_t id;
        std::vector<uint32_t> types;
        uint32_t answer;
    } rows[] = {
        {MSG_GET_SUBSET_COUNT, {VT_UINT32}, 1},
        {MSG_SET_ACTIVE_SUBSET, {VT_UINT32}, kNotAGetter},
        {MSG_GET_ACTIVE_SUBSET, {VT_UINT32}, 0},
        {MSG_SET_MESH, {VT_POINTER}, kNotAGetter},
        {MSG_SET_MATERIAL_1BF, {VT_STRING}, kNotAGetter},
        {MSG_SET_MATERIAL_1C0, {VT_POINTER, VT_UINT32}, kNotAGetter},
        {MSG_GET_MATERIAL, {VT_POINTER, VT_UINT32}, kNotAGetter},
        {MSG_SET_ZOFFSET, {VT_REAL}, kNotAGetter},
        {MSG_GET_ZOFFSET, {VT_REAL}, Bits(0.0f)},
        {MSG_SET_MESH_ANIMATION_STYLE_1C4, {VT_UINT32}, kNotAGetter},
        {MSG_SET_MESH_ANIMATION_STYLE_1C5, {VT_UINT32}, 3},
        {MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C6, {VT_BOOL}, kNotAGetter},
        {MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C7, {VT_BOOL}, 0},
        {MSG_GET_VISIBLE_1C9, {VT_BOOL}, 1},
        {MSG_ON_MESH_ANIMATION_LOOP, {}, kNotAGetter},
        {MSG_ON_MESH_ANIMATION_END, {}, kNotAGetter},
        {MSG_GET_SYNC_COLLISION, {VT_BOOL}, 1},
        {MSG_GET_SYNC_MATERIAL, {VT_BOOL}, 1},
        {MSG_GET_TOTAL_TIME, {VT_REAL}, Bits(0.0f)},
        {MSG_GET_CURRENT_TIME, {VT_REAL}, Bits(0.0f)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MessageArgs_Signature(row.id), row.types) << row.id;
        if (row.answer == kNotAGetter) continue;
        EXPECT_EQ(Ask<uint32_t>(object, row.id, 0x55555555), row.answer) << row.id;
    }
    EXPECT_EQ(Ask<float>(object, MSG_GET_ANIMATION_SPEED), 1.0f);
    // A new object holds the fallback mesh with one entry of the fallback material.
    EXPECT_EQ(object->m_MeshId, 3u);
    ASSERT_EQ(object->m_Entries.size(), 1u);
    EXPECT_EQ(object->m_Entries[0].materialId, 4u);
    EXPECT_EQ(object->m_Entries[0].material, g_Library.At(4));
}

// A standalone mesh actor that counts its own animation events.
class CountingObject : public CQVObject {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_ON_MESH_ANIMATION_LOOP) ++loops;
        if (id == MSG_ON_MESH_ANIMATION_END) ++ends;
        return CQVObject::HandleMessage(id, args);
    }
    int loops = 0;
    int ends = 0;
};

TEST_F(ObjectTest, EachStyleTurnsLoopsAndEndsAsItsTableSays) {
    const struct {
        uint32_t style;
        std::vector<float> steps;
        float time;
        uint32_t direction;
        bool playing;
        int loops, ends;
    } cases[] = {
        {OBJECT_STYLE_FORWARD_ONCE, {0.05f}, 0.05f, 0, true, 0, 0},
        {OBJECT_STYLE_FORWARD_ONCE, {0.05f, 0.06f}, kLength, 0, false, 0, 1},
        {OBJECT_STYLE_BACKWARD_ONCE, {}, kLength, 1, true, 0, 0},
        {OBJECT_STYLE_BACKWARD_ONCE, {0.05f, 0.06f}, 0.0f, 1, false, 0, 1},
        {OBJECT_STYLE_PING_PONG_ONCE, {0.12f}, kLength, 1, true, 0, 0},
        // Ends forward at the start, so that a new play runs the whole way again.
        {OBJECT_STYLE_PING_PONG_ONCE, {0.12f, 0.12f}, 0.0f, 0, false, 0, 1},
        {OBJECT_STYLE_FORWARD_LOOP, {0.13f}, 0.13f - kLength, 0, true, 1, 0},
        // A frame longer than two loops lands at the start, not at the remainder.
        {OBJECT_STYLE_FORWARD_LOOP, {0.25f}, 0.0f, 0, true, 1, 0},
        {OBJECT_STYLE_BACKWARD_LOOP, {0.13f}, kLength, 1, true, 1, 0},
        {OBJECT_STYLE_PING_PONG_LOOP, {0.12f}, kLength, 1, true, 0, 0},
        {OBJECT_STYLE_PING_PONG_LOOP, {0.12f, 0.12f}, 1e-9f, 0, true, 1, 0},
    };
    for (const auto& c : cases) {
        CountingObject counting;
        counting.m_Length = kLength;
        counting.m_Style = c.style;
        counting.HandleMessage(MSG_ANIMATION_RESET, nullptr);
        counting.HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        for (float dt : c.steps) counting.AdvanceAnimation(dt);
        SCOPED_TRACE("style " + std::to_string(c.style) + " after " + std::to_string(c.steps.size()) + " steps");
        EXPECT_NEAR(counting.m_Time, c.time, 1e-6f);
        EXPECT_EQ(counting.m_Direction, c.direction);
        EXPECT_EQ((counting.m_ObjectFlags & OBJECT_PLAYING) != 0, c.playing);
        EXPECT_EQ(counting.loops, c.loops);
        EXPECT_EQ(counting.ends, c.ends);
    }
}

TEST_F(ObjectTest, AOneFrameMeshNeverAdvancesAndTimesAreClampedBelowTheLength) {
    // The fallback mesh has one frame: length 0, so playing moves nothing.
    object->HandleMessage(MSG_ANIMATION_PLAY, nullptr);
    object->AdvanceAnimation(1.0f);
    EXPECT_EQ(object->m_Time, 0.0f);

    SetMesh(kMesh);
    EXPECT_FLOAT_EQ(Ask<float>(object, MSG_GET_TOTAL_TIME), kLength);
    const struct {
        float set;
        float stored;
    } times[] = {{0.05f, 0.05f}, {0.5f, kLength - 1e-9f}, {kLength, kLength - 1e-9f}, {-0.5f, -0.5f}};
    for (const auto& t : times) {
        Send(object, MSG_SET_CURRENT_TIME, t.set);
        EXPECT_EQ(Ask<float>(object, MSG_GET_CURRENT_TIME), t.stored) << t.set;
    }
    // The normalized pair answers 1 itself.
    EXPECT_EQ(Send(object, MSG_SET_CURRENT_NORMALIZED_TIME, 0.5f), 1);
    EXPECT_FLOAT_EQ(object->m_Time, kLength * 0.5f);
    float normalized = 0.0f;
    EXPECT_EQ(object->HandleMessage(MSG_GET_CURRENT_NORMALIZED_TIME, Args_Of(&normalized)), 1);
    EXPECT_FLOAT_EQ(normalized, 0.5f);
    // "Calc Action Time" takes the larger of the value and length / speed.
    Send(object, MSG_SET_ANIMATION_SPEED, 0.5f);
    EXPECT_FLOAT_EQ(Ask<float>(object, MSG_CALC_ACTION_TIME_CB, 0.1f), kLength / 0.5f);
    EXPECT_FLOAT_EQ(Ask<float>(object, MSG_CALC_ACTION_TIME_CB, 5.0f), 5.0f);
}

TEST_F(ObjectTest, StartRestartsTheAnimationOnlyWhenTheObjectWasDrawnTheFrameBefore) {
    SetMesh(kMesh);
    const auto nextFrame = [] {
        g_GlobalClock.flags |= CLOCK_MANUAL;
        g_GlobalClock.previousTime = g_GlobalClock.time;
        g_GlobalClock.time += 0.02f;
    };
    Step(object, 0.02f);  // drawn in this frame
    nextFrame();
    Send(object, MSG_SET_CURRENT_TIME, 0.05f);
    object->HandleMessage(MSG_START, nullptr);
    EXPECT_TRUE(object->m_ObjectFlags & OBJECT_PLAYING);
    EXPECT_EQ(object->m_Time, 0.0f);

    object->HandleMessage(MSG_ANIMATION_STOP, nullptr);
    nextFrame();  // not drawn in the frame before this one
    Send(object, MSG_SET_CURRENT_TIME, 0.05f);
    Send<uint32_t>(object, MSG_SET_VISIBLE, 0);
    object->HandleMessage(MSG_START, nullptr);
    EXPECT_TRUE(object->IsVisible());
    EXPECT_FALSE(object->m_ObjectFlags & OBJECT_PLAYING);
    EXPECT_EQ(object->m_Time, 0.05f);

    // "Start Game" plays the objects marked to play from the start.
    object->HandleMessage(MSG_START_GAME, nullptr);
    EXPECT_FALSE(object->m_ObjectFlags & OBJECT_PLAYING);
    Send<uint32_t>(object, MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C6, 1);
    object->HandleMessage(MSG_START_GAME, nullptr);
    EXPECT_TRUE(object->m_ObjectFlags & OBJECT_PLAYING);
    // "Stop" and "Kill Post" hide it.
    object->HandleMessage(MSG_STOP, nullptr);
    EXPECT_FALSE(object->IsVisible());
}

TEST_F(ObjectTest, CollisionObjectsAreMadeFromTheShapesAndAMeshChangeKeepsThoseMadeByHand) {
    const Box box{Vector3(-1, -2, -3), Vector3(4, 5, 6)};
    const Sphere sphere{Vector3(7, 8, 9), 2.5f};
    AddMesh(11, "Shapes",
            {TestShape{1, 21, {}, sphere}, TestShape{2, 20, box, {}}, TestShape{5, 21}, TestShape{7, 20},
             TestShape{0, 20}, TestShape{13, 20}},
            1);
    // One volume made by hand stays first.
    object->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    ASSERT_EQ(object->m_ColObjs.size(), 1u);
    SetMesh(11);

    const struct {
        uint32_t type;
        uint32_t subset;
        uint32_t material;  // collision material word
        uint32_t flags;     // collision flag word of the material
        Vector3 min, max;
    } expected[] = {
        {1, COLOBJ_NO_MESH, 6, 3, sphere.centre, Vector3(2.5f, 2.5f, 2.5f)},
        {2, 1, 0, 15, box.min, box.max},
        {5, 2, 6, 3, Vector3(0, 0, 0), Vector3(0, 0, 0)},
        {13, 5, 0, 15, Vector3(0, 0, 0), Vector3(0, 0, 0)},
    };
    ASSERT_EQ(object->m_ColObjs.size(), 1u + std::size(expected));
    EXPECT_FALSE(object->m_ColObjs[0].flags & COLOBJ_GENERATED);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ColObj& made = object->m_ColObjs[i + 1];
        SCOPED_TRACE(i);
        EXPECT_EQ(made.type, expected[i].type);
        EXPECT_EQ(made.meshSubset, expected[i].subset);
        EXPECT_EQ(made.physique, expected[i].material);
        EXPECT_EQ(made.hitEffectGroup, expected[i].flags);
        EXPECT_EQ(made.flags & 0xFF, COLOBJ_ACTIVE | COLOBJ_BLOCKS | COLOBJ_GENERATED);
        EXPECT_EQ(made.groups & 0xFFFF, 1u);
        EXPECT_EQ(made.groupsReceive, 1u);
        EXPECT_EQ(made.fill, 7u);
        EXPECT_EQ(made.owner, object);
        EXPECT_EQ(made.name, "");
        EXPECT_EQ(made.boxMin.x, expected[i].min.x);
        EXPECT_EQ(made.boxMin.z, expected[i].min.z);
        EXPECT_EQ(made.boxMax.y, expected[i].max.y);
    }

    // A mesh without shapes takes away exactly the volumes the old one made.
    SetMesh(kMesh);
    ASSERT_EQ(object->m_ColObjs.size(), 1u);
    EXPECT_FALSE(object->m_ColObjs[0].flags & COLOBJ_GENERATED);
    // With MeshSync Collision off nothing is made.
    Send<uint32_t>(object, MSG_SET_SYNC_COLLISION, 0);
    SetMesh(11);
    EXPECT_EQ(object->m_ColObjs.size(), 1u);
}

TEST_F(ObjectTest, EntriesFollowTheMeshAndAreAddressedOnlyWithinTheirCount) {
    SetMesh(kMesh);
    ASSERT_EQ(Ask<uint32_t>(object, MSG_GET_SUBSET_COUNT), 2u);
    EXPECT_EQ(object->m_Entries[0].materialId, 20u);
    EXPECT_EQ(object->m_Entries[1].materialId, 21u);

    // An index past the entries is refused and the active entry stays.
    EXPECT_EQ(Send<uint32_t>(object, MSG_SET_ACTIVE_SUBSET, 1), 1);
    EXPECT_EQ(Send<uint32_t>(object, MSG_SET_ACTIVE_SUBSET, 2), 0);
    EXPECT_EQ(Ask<uint32_t>(object, MSG_GET_ACTIVE_SUBSET), 1u);
    Send(object, MSG_SET_ZOFFSET, 2.5f);
    EXPECT_EQ(object->m_Entries[1].zOffset, 2.5f);
    EXPECT_EQ(Ask<float>(object, MSG_GET_ZOFFSET), 2.5f);

    // One entry's material by item; the other keeps its own.
    struct {
        CQVLibraryItem* item;
        uint32_t index;
    } set{g_Library.At(20), 1};
    EXPECT_EQ(object->HandleMessage(MSG_SET_MATERIAL_1C0, Args_Of(&set)), 1);
    EXPECT_EQ(object->m_Entries[1].materialId, 20u);
    EXPECT_EQ(object->m_Entries[0].materialId, 20u);
    struct {
        CQVLibraryItem* item;
        uint32_t index;
    } get{nullptr, 1};
    object->HandleMessage(MSG_GET_MATERIAL, Args_Of(&get));
    EXPECT_EQ(get.item, g_Library.At(20));
    set.index = 5;
    EXPECT_EQ(object->HandleMessage(MSG_SET_MATERIAL_1C0, Args_Of(&set)), 0);

    // Every entry by name; a name of no material changes nothing.
    object->HandleMessage(MSG_SET_MATERIAL_1BF, Args_Of("blue"));
    EXPECT_EQ(object->m_Entries[0].materialId, 21u);
    EXPECT_EQ(object->m_Entries[1].materialId, 21u);
    object->HandleMessage(MSG_SET_MATERIAL_1BF, Args_Of("No Such Material"));
    EXPECT_EQ(object->m_Entries[0].materialId, 21u);

    // "Set Resource" by the mesh's name.
    EXPECT_EQ(object->HandleMessage(MSG_SET_RESOURCE, Args_Of("no such mesh")), 0);
    EXPECT_EQ(object->m_MeshId, kMesh);
    EXPECT_EQ(object->HandleMessage(MSG_SET_RESOURCE, Args_Of("fallback mesh")), 1);
    EXPECT_EQ(object->m_MeshId, 3u);
    EXPECT_EQ(object->m_Entries.size(), 1u);
}

// A mesh object's render items are made with its resources, before any
// frame draws it, so the load can prepare their draws: no frame of the
// level is the first to use them.
TEST_F(ObjectTest, LoadingTheResourcesMakesTheRenderItems) {
    SetMesh(kMesh);
    const size_t before = CQVRender::Get().Queue().items.size();
    ASSERT_EQ(object->m_Entries[0].renderItem, nullptr);
    object->HandleMessage(MSG_LOAD_RESOURCES, nullptr);
    ASSERT_NE(object->m_Entries[0].renderItem, nullptr);
    ASSERT_NE(object->m_Entries[1].renderItem, nullptr);
    EXPECT_EQ(CQVRender::Get().Queue().items.size(), before + 2);
    // The first update draws them as they are.
    RenderItem* first = object->m_Entries[0].renderItem;
    object->Update();
    EXPECT_EQ(object->m_Entries[0].renderItem, first);
    EXPECT_EQ(CQVRender::Get().Queue().items.size(), before + 2);
}

TEST_F(ObjectTest, UpdateMakesAndQueuesARenderItemPerEntryAndSkipsAnEntryWithout) {
    SetMesh(kMesh);
    const Vector3 scale(2.0f, 3.0f, 1.0f);
    Send(object, MSG_SET_SCALE, scale);
    const size_t before = CQVRender::Get().Queue().items.size();
    object->Update();
    ASSERT_NE(object->m_Entries[0].renderItem, nullptr);
    ASSERT_NE(object->m_Entries[1].renderItem, nullptr);
    EXPECT_EQ(CQVRender::Get().Queue().items.size(), before + 2);
    EXPECT_EQ(object->m_Entries[1].renderItem->subset, 1u);
    EXPECT_EQ(object->m_Entries[1].renderItem->world, &object->m_World);
    EXPECT_FLOAT_EQ(object->m_Entries[0].renderItem->radiusScale, 3.0f);

    // A material that cannot be taken leaves that one entry without its item
    // (the others keep theirs): the next update draws the others and passes it by.
    struct {
        CQVLibraryItem* item;
        uint32_t index;
    } set{g_Library.At(kMesh), 1};
    EXPECT_EQ(object->HandleMessage(MSG_SET_MATERIAL_1C0, Args_Of(&set)), 0);
    EXPECT_EQ(object->m_Entries[1].renderItem, nullptr);
    object->Update();
    EXPECT_NE(object->m_Entries[0].renderItem, nullptr);
    EXPECT_EQ(object->m_Entries[1].renderItem, nullptr);

    // A new depth bias makes the items again; deleting the actor frees them.
    Send<uint32_t>(object, MSG_SET_ACTIVE_SUBSET, 0);
    Send(object, MSG_SET_ZOFFSET, 4.0f);
    EXPECT_EQ(object->m_Entries[0].renderItem, nullptr);
    object->Update();
    ASSERT_NE(object->m_Entries[0].renderItem, nullptr);
    EXPECT_EQ(object->m_Entries[0].renderItem->depthBias, 4.0f);
    g_ActorSystem->DeleteActor(object);
    object = nullptr;
    EXPECT_EQ(CQVRender::Get().Queue().items.size(), before);
}

// Actor files: the object is written at a chosen version through the same
// Serialize the engine uses, then loaded by the actor system.
class ObjectFileTest : public ObjectTest {
protected:
    // Writes the object as the one record of a file of the version, then
    // deletes it from the tree.
    void WriteAndForget(uint32_t version) {
        id = object->m_Id;
        ASSERT_TRUE(file.WriteAndForget(object, version));
        object = nullptr;
    }
    CQVObject* Load() {
        if (file.Load() != 1) return nullptr;
        return dynamic_cast<CQVObject*>(CQVActorSystem::GetActorById(id));
    }
    std::vector<char> Bytes() const { return file.Bytes(); }
    void Rewrite(const std::vector<char>& bytes) const { file.Rewrite(bytes); }

    ActorRecordFile file;
    uint32_t id = 0;
};

TEST_F(ObjectFileTest, ARecordLoadsBackWithEveryField) {
    SetMesh(kMesh);
    object->m_ObjectFlags &= ~OBJECT_SYNC_MATERIAL;
    Send<uint32_t>(object, MSG_SET_ACTIVE_SUBSET, 1);
    Send(object, MSG_SET_ZOFFSET, 1.5f);
    Send<uint32_t>(object, MSG_SET_MESH_ANIMATION_STYLE_1C4, OBJECT_STYLE_BACKWARD_LOOP);
    Send<uint32_t>(object, MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C6, 1);
    Send(object, MSG_SET_ANIMATION_SPEED, 0.25f);
    Send(object, MSG_SET_CURRENT_TIME, 0.04f);
    object->m_Entries[0].materialId = 21;
    WriteAndForget(70);
    CQVObject* loaded = Load();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_MeshId, kMesh);
    ASSERT_EQ(loaded->m_Entries.size(), 2u);
    EXPECT_EQ(loaded->m_Entries[0].materialId, 21u);
    EXPECT_EQ(loaded->m_Entries[0].material, g_Library.At(21));
    EXPECT_EQ(loaded->m_Entries[1].zOffset, 1.5f);
    EXPECT_EQ(loaded->m_Style, OBJECT_STYLE_BACKWARD_LOOP);
    EXPECT_EQ(loaded->m_Direction, 1u);
    EXPECT_TRUE(loaded->m_ObjectFlags & OBJECT_INITIAL_PLAYING);
    EXPECT_FALSE(loaded->m_ObjectFlags & OBJECT_SYNC_MATERIAL);
    EXPECT_EQ(loaded->m_Speed, 0.25f);
    EXPECT_EQ(loaded->m_Time, 0.04f);
    EXPECT_FLOAT_EQ(loaded->m_Length, kLength);
}

TEST_F(ObjectFileTest, OlderVersionsCarryTheVisibleFlagAndFramesPerSecond) {
    // The object is written hidden at speed 3. Up to version 63 its record
    // holds its own visible word (patched to 1 here, against the base's
    // hidden active word); from 64 on only the base's active word counts.
    const struct {
        uint32_t version;
        size_t visibleWordFromEnd;  // 0: none in the record
        bool visible;
        float speed;
    } cases[] = {
        {70, 0, false, 3.0f},
        {64, 0, false, 3.0f},
        {63, 24, true, 3.0f},   // then: sync collision, playing, time, direction, sync material
        {46, 12, true, 0.1f},   // frames per second then: 3 / 30; no time yet
        {13, 12, true, 1.0f},    // 30 frames per second and always visible
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        object = static_cast<CQVObject*>(Make(CLASS_OBJECT, "Old"));
        ASSERT_NE(object, nullptr);
        SetMesh(kMesh);
        Send<uint32_t>(object, MSG_SET_VISIBLE, 0);
        Send(object, MSG_SET_ANIMATION_SPEED, 3.0f);
        WriteAndForget(c.version);
        if (c.visibleWordFromEnd != 0) {
            std::vector<char> bytes = Bytes();
            const uint32_t one = 1;
            std::memcpy(bytes.data() + bytes.size() - c.visibleWordFromEnd, &one, 4);
            Rewrite(bytes);
        }
        ASSERT_EQ(file.Load(), 1);
        // Files before version 22 kept other ids: the record is found by name.
        auto* loaded = dynamic_cast<CQVObject*>(CQVActorSystem::FindActorByName("Old", CLASS_OBJECT));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->IsVisible(), c.visible);
        EXPECT_FLOAT_EQ(loaded->m_Speed, c.speed);
        EXPECT_EQ(loaded->m_Entries.size(), 2u);
        g_ActorSystem->DeleteActor(loaded);
    }
}

TEST_F(ObjectFileTest, AFailedMeshChangeStillWritesARecordThatLoads) {
    SetMesh(kMesh);
    // No mesh: the entries stay, and the count written is theirs.
    CQVMeshItem* none = nullptr;
    EXPECT_EQ(Send(object, MSG_SET_MESH, none), 0);
    ASSERT_EQ(object->m_Entries.size(), 2u);
    WriteAndForget(70);
    CQVObject* loaded = Load();
    ASSERT_NE(loaded, nullptr);
    // The id that did not resolve falls back to mesh 3 and its one entry.
    EXPECT_EQ(loaded->m_MeshId, 3u);
    EXPECT_EQ(loaded->m_Entries.size(), 1u);
}

TEST_F(ObjectFileTest, ALyingEntryCountOrAShortRecordFailsTheLoad) {
    SetMesh(kMesh);
    WriteAndForget(70);
    const std::vector<char> whole = Bytes();
    // The record ends with the two entries (8 bytes each) and eight words
    // after them; the count stands just before the entries.
    const size_t countAt = whole.size() - 32 - 16 - 4;
    uint32_t count;
    std::memcpy(&count, whole.data() + countAt, 4);
    ASSERT_EQ(count, 2u);

    for (uint32_t lie : {3u, 5000u, 0x7FFFFFFFu}) {
        std::vector<char> bytes = whole;
        std::memcpy(bytes.data() + countAt, &lie, 4);
        Rewrite(bytes);
        EXPECT_EQ(Load(), nullptr) << lie;
    }
    std::vector<char> shortened(whole.begin(), whole.end() - 2);
    Rewrite(shortened);
    EXPECT_EQ(Load(), nullptr);
    Rewrite(whole);
    EXPECT_NE(Load(), nullptr);
}

}  // namespace
