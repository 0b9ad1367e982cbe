// The Path walks its object over the node tree by weights and end types,
// waits at nodes, and survives trees that change or have no route; nodes
// answer the nearest-node query; both save their three fields.

#include "actors/characters/Path.h"
#include "actors/characters/PathNode.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Random.h"
#include "tests/actors/characters/CharacterTestSupport.h"
#include "tests/actors/scene/ObjectTestSupport.h"
#include "tests/support/ActorRecordFile.h"

#include <cmath>
#include <cstring>

namespace {

class PathTest : public ObjectSceneFixture {
protected:
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        path = static_cast<CQVPath*>(Make(CLASS_PATH, "Path"));
        ASSERT_NE(path, nullptr);
    }

    CQVPathNode* Node(const char* name, CQVActor* parent, const Vector3& position, uint32_t weight = 1) {
        auto* node = static_cast<CQVPathNode*>(Make(CLASS_PATH_NODE, name, parent));
        Send(node, MSG_SET_POSITION, position);
        Send(node, MSG_SET_PATHNODE_RANDWEIGHT, weight);
        return node;
    }
    // The object, then the walk starts as when the Path is first enabled.
    CQVActor* Start() {
        CQVActor* object = Make(CLASS_BASE, "Box", path);
        path->HandleMessage(MSG_PRECALCULATE, nullptr);
        return object;
    }
    // A chain Path -> N1 -> N2 -> N3, each 100 from the last.
    void Chain() {
        n1 = Node("N1", path, Vector3(100, 0, 0));
        n2 = Node("N2", n1, Vector3(0, 0, 100));
        n3 = Node("N3", n2, Vector3(0, 0, 100));
    }
    static std::string NameOf(const CQVActor* actor) { return actor ? actor->m_Name : "none"; }
    // The stops the walk heads for, in order, over the given time.
    std::vector<std::string> Stops(float seconds, float dt = 0.25f) {
        std::vector<std::string> stops{NameOf(path->NextNode())};
        for (float t = 0.0f; t < seconds; t += dt) {
            const CQVActor* before = path->NextNode();
            Step(path, dt);
            if (path->NextNode() != before) stops.push_back(NameOf(path->NextNode()));
        }
        return stops;
    }

    CQVPath* path = nullptr;
    CQVPathNode* n1 = nullptr;
    CQVPathNode* n2 = nullptr;
    CQVPathNode* n3 = nullptr;
};

TEST_F(PathTest, TheClassRecordsHoldTheirSheets) {
    EXPECT_EQ(g_ClassRecords[CLASS_PATH].name, "Path");
    EXPECT_EQ(g_ClassRecords[CLASS_PATH].chain, (std::vector<uint32_t>{0, 27}));
    ExpectSheet(g_ClassRecords[CLASS_PATH],
                {
                    {"Path Properties", 0x0d, 0, 0},
                    {"Path Properties", 0x0c, 0, 0},
                    {"Create:|Circular|0|Tree|2|", 0x10, MSG_SET_PATH_PREDEFINED, MSG_GET_PATH_PREDEFINED},
                    {"Speed:", 0x04, MSG_SET_PATH_SPEED, MSG_GET_PATH_SPEED},
                    {"Use Nodetime Pause:", 0x11, MSG_SET_USE_NODETIME_FOR_PAUSE, MSG_GET_USE_NODETIME_FOR_PAUSE},
                    {"Time:", 0x21, MSG_SET_PATHNODE_TIME, MSG_GET_PATHNODE_TIME},
                    {"Reset:", 0x0e, MSG_PATH_RESET, 0},
                });
    EXPECT_EQ(g_ClassRecords[CLASS_PATH_NODE].name, "Path Node");
    EXPECT_EQ(g_ClassRecords[CLASS_PATH_NODE].chain, (std::vector<uint32_t>{0, 26}));
    ExpectSheet(g_ClassRecords[CLASS_PATH_NODE],
                {
                    {"Path Node Properties", 0x0d, 0, 0},
                    {"Type:|Reverse|0|Loop|1|Jump Back To Root|2|", 0x10, MSG_SET_PATHNODE_ENDTYPE,
                     MSG_GET_PATHNODE_ENDTYPE},
                    {"Time:", 0x21, MSG_SET_PATHNODE_TIME, MSG_GET_PATHNODE_TIME},
                    {"Rand:", 0x03, MSG_SET_PATHNODE_RANDWEIGHT, MSG_GET_PATHNODE_RANDWEIGHT},
                });
}

struct EndCase {
    const char* name;
    uint32_t endType;
    std::vector<std::string> stops;
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class EndTypes : public PathTest, public testing::WithParamInterface<EndCase> {};

TEST_P(EndTypes, TheEndOfAChainDecidesTheWay) {
    const EndCase& c = GetParam();
    Chain();
    Send(n3, MSG_SET_PATHNODE_ENDTYPE, c.endType);
    Start();
    std::vector<std::string> stops = Stops(7.9f);
    stops.resize(c.stops.size());
    EXPECT_EQ(stops, c.stops);
}

INSTANTIATE_TEST_SUITE_P(
    Chain, EndTypes,
    testing::Values(EndCase{"Reverse", 0, {"N1", "N2", "N3", "N2", "N1", "Path", "N1"}},
                    EndCase{"Loop", 1, {"N1", "N2", "N3", "Path", "N1"}},
                    // From N3 the next segment starts at the start point at once.
                    EndCase{"JumpBackToRoot", 2, {"N1", "N2", "N3", "N1", "N2", "N3"}}),
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST_F(PathTest, AJumpBackStartsTheNextSegmentAtTheStartPoint) {
    Chain();
    Send(n3, MSG_SET_PATHNODE_ENDTYPE, uint32_t{2});
    CQVActor* object = Start();
    while (path->NextNode() != n3) Step(path, 0.25f);
    while (path->NextNode() == n3) Step(path, 0.25f);
    EXPECT_EQ(path->CurrentNode(), path);
    EXPECT_EQ(object->m_Position.x, 0.0f);
    EXPECT_EQ(object->m_Position.z, 0.0f);
}

TEST_F(PathTest, WeightsDrawTheNextNode) {
    CQVPathNode* a = Node("A", path, Vector3(100, 0, 0), 1);
    CQVPathNode* b = Node("B", path, Vector3(0, 0, 100), 3);
    Node("Never", path, Vector3(-100, 0, 0), 0);
    Start();
    Random_Seed(7);
    int toA = 0, toB = 0;
    for (int i = 0; i < 4000; ++i) {
        path->HandleMessage(MSG_PATH_RESET, nullptr);
        toA += path->NextNode() == a;
        toB += path->NextNode() == b;
    }
    EXPECT_EQ(toA + toB, 4000);
    EXPECT_NEAR(static_cast<double>(toB) / toA, 3.0, 0.3);
}

// A weight from a file may be huge: the draw counts through the tickets
// instead of filling a bag with them.
TEST_F(PathTest, AHugeWeightDrawsWithoutABag) {
    CQVPathNode* heavy = Node("Heavy", path, Vector3(100, 0, 0), 0xFFFFFFFFu);
    Node("Light", path, Vector3(0, 0, 100), 1);
    Start();
    EXPECT_EQ(path->NextNode(), heavy);
}

// The object at known times, moved in the Path's own space: half-way to
// the first node after half the segment.
TEST_F(PathTest, TheObjectMovesAtTheSpeed) {
    Send(path, MSG_SET_POSITION, Vector3(10, 0, 5));
    Send(path, MSG_SET_QUATERNION, Quaternion{0.0f, 0.70710678f, 0.0f, 0.70710678f});
    n1 = Node("N1", path, Vector3(100, 0, 0));
    Node("N2", n1, Vector3(0, 0, 200));
    CQVActor* object = Start();
    for (int i = 0; i < 5; ++i) Step(path, 0.1f);
    EXPECT_NEAR(object->m_Position.x, 50.0f, 1e-3f);
    EXPECT_NEAR(object->m_Position.z, 0.0f, 1e-3f);
    // The second segment is twice as long: a quarter of it after 0.5 s.
    while (path->CurrentNode() != n1) Step(path, 0.1f);
    for (int i = 0; i < 5; ++i) Step(path, 0.1f);
    EXPECT_NEAR(object->m_Position.x, 100.0f, 1e-3f);
    EXPECT_NEAR(object->m_Position.z, 50.0f, 1e-2f);
    // A new speed applies from the next segment on.
    Send(path, MSG_SET_PATH_SPEED, 0.0f);
    EXPECT_EQ(Ask<float>(path, MSG_GET_PATH_SPEED), 1.0f) << "0 stores 1";
    Step(path, 0.1f);
    EXPECT_NEAR(object->m_Position.z, 60.0f, 1e-2f);
}

// With node times the object rests at each node for its time, and at the
// start point for the Path's own.
TEST_F(PathTest, TheObjectWaitsAtNodes) {
    n1 = Node("N1", path, Vector3(100, 0, 0));
    Send(n1, MSG_SET_PATHNODE_TIME, 2.0f);
    Send(path, MSG_SET_PATHNODE_TIME, 1.0f);
    Send(path, MSG_SET_USE_NODETIME_FOR_PAUSE, uint32_t{1});
    CQVActor* object = Start();
    const auto restAt = [&](float x) {
        while (std::fabs(object->m_Position.x - x) > 1e-3f) Step(path, 0.1f);
        int steps = 0;
        while (std::fabs(object->m_Position.x - x) <= 1e-3f && steps < 100) {
            Step(path, 0.1f);
            ++steps;
        }
        return steps * 0.1f;
    };
    EXPECT_NEAR(restAt(100.0f), 2.0f, 0.15f);
    EXPECT_NEAR(restAt(0.0f), 1.0f, 0.15f);
}

// Segments of no length leave the object at their start (no 0/0), and a
// Path whose nodes all weigh 0 keeps it still at the start point.
TEST_F(PathTest, NoLengthAndNoRouteKeepTheObjectStill) {
    n1 = Node("N1", path, Vector3(0, 0, 0));
    n2 = Node("N2", n1, Vector3(0, 0, 0));
    CQVActor* object = Start();
    for (int i = 0; i < 20; ++i) {
        Step(path, 0.1f);
        ASSERT_EQ(object->m_Position.x, 0.0f) << i;
        ASSERT_EQ(object->m_Position.z, 0.0f) << i;
    }
    Send(n1, MSG_SET_PATHNODE_RANDWEIGHT, uint32_t{0});
    Send(n1, MSG_SET_PATHNODE_ENDTYPE, uint32_t{2});
    Send(n1, MSG_SET_POSITION, Vector3(100, 0, 0));
    path->HandleMessage(MSG_PATH_RESET, nullptr);
    EXPECT_EQ(path->NextNode(), nullptr);
    for (int i = 0; i < 20; ++i) Step(path, 0.1f);
    EXPECT_EQ(object->m_Position.x, 0.0f);
    // A node of weight gives it a route again.
    Send(n1, MSG_SET_PATHNODE_RANDWEIGHT, uint32_t{1});
    for (int i = 0; i < 5; ++i) Step(path, 0.1f);
    EXPECT_GT(object->m_Position.x, 0.0f);
}

// Deleting the node ahead or the object leaves nothing dangling: the walk
// starts again from the start point.
TEST_F(PathTest, DeletedStopsCountAsMissing) {
    Chain();
    CQVActor* object = Start();
    for (int i = 0; i < 6; ++i) Step(path, 0.25f);
    ASSERT_EQ(path->NextNode(), n2);
    g_ActorSystem->DeleteActor(n2);
    EXPECT_EQ(path->NextNode(), nullptr);
    for (int i = 0; i < 10; ++i) Step(path, 0.25f);
    EXPECT_EQ(path->CurrentNode(), n1) << "back at the first stop";
    g_ActorSystem->DeleteActor(object);
    EXPECT_EQ(path->MovingObject(), nullptr);
    for (int i = 0; i < 8; ++i) Step(path, 0.25f);
}

TEST_F(PathTest, LoopIsKeptOnlyAtTheEndOfAChain) {
    Chain();
    Send(n1, MSG_SET_PATHNODE_ENDTYPE, uint32_t{2});
    Send(n2, MSG_SET_PATHNODE_ENDTYPE, uint32_t{1});
    EXPECT_EQ(Ask<uint32_t>(n2, MSG_GET_PATHNODE_ENDTYPE), 0u) << "a node with children";
    Send(n3, MSG_SET_PATHNODE_ENDTYPE, uint32_t{1});
    EXPECT_EQ(n3->m_EndType, 1u);
    EXPECT_EQ(n2->m_EndType, 0u);
    EXPECT_EQ(n1->m_EndType, 0u) << "every node above";
}

TEST_F(PathTest, ThePresetCircuitReplacesTheChildren) {
    Chain();
    Send(path, MSG_SET_PATH_PREDEFINED, uint32_t{0});
    EXPECT_EQ(Ask<uint32_t>(path, MSG_GET_PATH_PREDEFINED), 0u);
    ASSERT_EQ(path->m_Children.size(), 2u);
    CQVActor* node = path->m_Children[0];
    const Vector3 positions[] = {{100, 0, 0}, {100, 0, 100}, {0, 0, 100}};
    for (const Vector3& position : positions) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->m_ClassType, CLASS_PATH_NODE);
        EXPECT_EQ(node->m_Name, "Node");
        EXPECT_EQ(node->m_Position.x, position.x);
        EXPECT_EQ(node->m_Position.z, position.z);
        node = node->m_Children.empty() ? nullptr : node->m_Children[0];
    }
    const CQVActor* moving = path->m_Children[1];
    EXPECT_EQ(moving->m_Name, "Moving Object");
    EXPECT_EQ(path->MovingObject(), moving);
    ASSERT_EQ(moving->m_Children.size(), 1u);
    const CQVActor* animation = moving->m_Children[0];
    EXPECT_EQ(animation->m_ClassType, CLASS_MATRIX_ANIMATION);
    ASSERT_EQ(animation->m_Children.size(), 1u);
    EXPECT_EQ(animation->m_Children[0]->m_ClassType, CLASS_OBJECT);
    std::vector<std::string> stops = Stops(9.9f, 0.5f);
    stops.resize(6);
    EXPECT_EQ(stops, (std::vector<std::string>{"Node", "Node", "Node", "Path", "Node", "Node"}));

    Send(path, MSG_SET_PATH_PREDEFINED, uint32_t{2});
    EXPECT_TRUE(path->m_Children.empty());
    EXPECT_EQ(path->MovingObject(), nullptr);
    Step(path, 0.1f);
}

// The query from the top of a tree answers the nearest node of the whole
// tree by distance alone; on equal distances the node met first stays.
TEST_F(PathTest, TheNearestNodeQuerySearchesTheTree) {
    Chain();
    CQVPathNode* side = Node("Side", n1, Vector3(100, 0, 0));
    const struct {
        Vector3 point;
        const CQVActor* nearest;
    } cases[] = {
        {{190, 0, 10}, side},
        {{100, 0, 180}, n3},
        {{100, 0, 50}, n1},  // n1 and n2 equally near: the upper one
        {{0, 0, 0}, n1},
    };
    for (const auto& c : cases) {
        PathNodeQuery query{c.point, 1e9f, 0};
        n1->HandleMessage(MSG_PATHNODE_FIND_NEAREST, Args_Of(&query));
        EXPECT_EQ(query.bestId, c.nearest->m_Id) << c.nearest->m_Name;
        EXPECT_NEAR(query.bestDistance, Vec3_Length(c.point - const_cast<CQVActor*>(c.nearest)->GetWorldPosition()),
                    1e-3f);
    }
    // A best distance already smaller than any node's keeps its answer.
    PathNodeQuery query{Vector3(0, 0, 0), 1.0f, 42};
    n1->HandleMessage(MSG_PATHNODE_FIND_NEAREST, Args_Of(&query));
    EXPECT_EQ(query.bestId, 42u);
    // A block too short for the query is left alone.
    uint32_t shortBlock[2] = {0, 0};
    n1->HandleMessage(MSG_PATHNODE_FIND_NEAREST, Args_Of(&shortBlock));
    EXPECT_EQ(shortBlock[0], 0u);
}

// Each record ends with its three fields and five reserved zero words,
// and reads back.
TEST_F(PathTest, RecordsEndWithThreeFieldsAndFiveReservedWords) {
    Send(path, MSG_SET_PATH_SPEED, 250.0f);
    Send(path, MSG_SET_USE_NODETIME_FOR_PAUSE, uint32_t{1});
    Send(path, MSG_SET_PATHNODE_TIME, 1.5f);
    CQVPathNode* node = Node("N", scenery, Vector3(1, 2, 3), 4);
    Send(node, MSG_SET_PATHNODE_TIME, 2.5f);
    Send(node, MSG_SET_PATHNODE_ENDTYPE, uint32_t{2});
    const struct {
        CQVActor* actor;
        uint32_t words[8];
    } records[] = {
        {path, {0x437A0000, 1, 0x3FC00000, 0, 0, 0, 0, 0}},
        {node, {0x40200000, 4, 2, 0, 0, 0, 0, 0}},
    };
    for (const auto& r : records) {
        ActorRecordFile file;
        const uint32_t id = r.actor->m_Id;
        const uint32_t type = r.actor->m_ClassType;
        ASSERT_TRUE(file.WriteAndForget(r.actor, 70));
        const std::vector<char> bytes = file.Bytes();
        ASSERT_GE(bytes.size(), 32u);
        EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 32, r.words, 32), 0) << type;
        ASSERT_EQ(file.Load(), 1);
        CQVActor* loaded = CQVActorSystem::GetActorById(id);
        ASSERT_NE(loaded, nullptr);
        if (type == CLASS_PATH) {
            EXPECT_EQ(Ask<float>(loaded, MSG_GET_PATH_SPEED), 250.0f);
            EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_USE_NODETIME_FOR_PAUSE), 1u);
            EXPECT_EQ(Ask<float>(loaded, MSG_GET_PATHNODE_TIME), 1.5f);
        } else {
            EXPECT_EQ(Ask<float>(loaded, MSG_GET_PATHNODE_TIME), 2.5f);
            EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_PATHNODE_RANDWEIGHT), 4u);
            EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_PATHNODE_ENDTYPE), 2u);
        }
    }
}

TEST_F(PathTest, ACopyTakesTheSettingsAndWalksItsOwnTree) {
    Chain();
    Send(path, MSG_SET_PATH_SPEED, 50.0f);
    Send(path, MSG_SET_PATHNODE_TIME, 3.0f);
    Start();
    auto* copy = static_cast<CQVPath*>(g_ActorSystem->CloneActor(path, scenery, 1));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Speed, 50.0f);
    EXPECT_EQ(copy->m_StopTime, 3.0f);
    ASSERT_NE(copy->MovingObject(), nullptr);
    EXPECT_EQ(copy->MovingObject()->m_Parent, copy);
    ASSERT_NE(copy->NextNode(), nullptr);
    EXPECT_EQ(copy->NextNode()->m_Parent, copy);
    EXPECT_EQ(Ask<uint32_t>(copy->NextNode(), MSG_GET_PATHNODE_RANDWEIGHT), 1u);
}

}  // namespace
