#include "ActorTestSupport.h"

#include "kernel/actors/DrawGroups.h"

#include <cmath>

namespace {

constexpr float kHalfPi = 1.5707964f;

class TreeMessagesTest : public ActorSystemFixture {
protected:

    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id) {
        T value{};
        actor->HandleMessage(id, Args_Of(&value));
        return value;
    }

    template <typename T>
    static void Tell(CQVActor* actor, uint32_t id, T value) {
        actor->HandleMessage(id, Args_Of(&value));
    }

    static void ExpectSameRotation(const Quaternion& a, const Quaternion& b) {
        // q and -q are the same rotation.
        const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
        EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f);
    }
};

TEST_F(TreeMessagesTest, PositionsAndRotationsComposeThroughTheParent) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Tell(parent, MSG_SET_POSITION, Vector3(10.0f, 0.0f, 0.0f));
    Quaternion turn;
    Quat_FromAxisAngle(&turn, Vector3(0.0f, 1.0f, 0.0f), kHalfPi);
    Tell(parent, MSG_SET_QUATERNION, turn);
    Tell(child, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 5.0f));
    Tell(child, MSG_POSITION_ADD, Vector3(0.0f, 2.0f, 0.0f));

    // Row vectors: the child's local point turned by the parent, then moved.
    Matrix parentWorld;
    Mat4_FromQuaternion(&parentWorld, turn);
    parentWorld.m[3][0] = 10.0f;
    Vector3 expected;
    Vec3_TransformPoint(&expected, Vector3(0.0f, 2.0f, 5.0f), parentWorld);
    const Vector3 world = Ask<Vector3>(child, MSG_GET_WSPOSITION);
    EXPECT_NEAR(world.x, expected.x, 1e-4f);
    EXPECT_NEAR(world.y, expected.y, 1e-4f);
    EXPECT_NEAR(world.z, expected.z, 1e-4f);
    const Vector3 local = Ask<Vector3>(child, MSG_GET_POSITION);
    EXPECT_FLOAT_EQ(local.y, 2.0f);
    ExpectSameRotation(Ask<Quaternion>(child, MSG_GET_WSQUATERNION), turn);
    const Matrix matrix = Ask<Matrix>(child, MSG_GET_MATRIX);
    EXPECT_FLOAT_EQ(matrix.m[3][0], world.x);
    EXPECT_FLOAT_EQ(Ask<Vector3>(child, MSG_GET_CENTER_POINT).z, world.z);
}

TEST_F(TreeMessagesTest, SetMatrixStoresTheLocalRotationUnderARotatedParent) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Quaternion turn;
    Quat_FromAxisAngle(&turn, Vector3(0.0f, 1.0f, 0.0f), kHalfPi);
    Tell(parent, MSG_SET_QUATERNION, turn);
    Tell(child, MSG_SET_SCALE, Vector3(2.0f, 2.0f, 2.0f));

    Quaternion wanted;
    Quat_FromAxisAngle(&wanted, Vector3(1.0f, 0.0f, 0.0f), 0.5f);
    Matrix world;
    Mat4_FromQuaternion(&world, wanted);
    world.m[3][0] = 1.0f;
    world.m[3][1] = 2.0f;
    world.m[3][2] = 3.0f;
    child->HandleMessage(MSG_SET_MATRIX, Args_Of(&world));

    Quaternion composed;
    Quat_Multiply(&composed, child->m_Rotation, turn);
    ExpectSameRotation(composed, wanted);
    EXPECT_FLOAT_EQ(child->m_Scale.x, 2.0f) << "the scale is kept";
    const Vector3 position = child->GetWorldPosition();
    EXPECT_NEAR(position.x, 1.0f, 1e-5f);
    EXPECT_NEAR(position.z, 3.0f, 1e-5f);
}

TEST_F(TreeMessagesTest, LocalMatrixSplitsIntoScaleRotationAndPosition) {
    CQVActor* actor = Make("actor");
    Quaternion rotation;
    Quat_FromAxisAngle(&rotation, Vector3(0.0f, 0.0f, 1.0f), 0.3f);
    Matrix turn;
    Mat4_FromQuaternion(&turn, rotation);
    Matrix scaling;
    Mat4_Scaling(&scaling, 2.0f, 3.0f, 4.0f);
    Matrix local;
    Mat4_Multiply(&local, scaling, turn);
    local.m[3][0] = 7.0f;
    actor->HandleMessage(MSG_SET_LOCAL_MATRIX, Args_Of(&local));
    EXPECT_NEAR(actor->m_Scale.x, 2.0f, 1e-5f);
    EXPECT_NEAR(actor->m_Scale.y, 3.0f, 1e-5f);
    EXPECT_NEAR(actor->m_Scale.z, 4.0f, 1e-5f);
    EXPECT_FLOAT_EQ(actor->m_Position.x, 7.0f);
    ExpectSameRotation(actor->m_Rotation, rotation);
    // The matrix made again from the parts is the one given.
    const Matrix rebuilt = actor->GetWorldMatrix();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(rebuilt.m[r][c], local.m[r][c], 1e-5f) << r << "," << c;
    }
}

TEST_F(TreeMessagesTest, IdentityMultiplyStillMovesTheActor) {
    CQVActor* actor = Make("actor");
    Quaternion rotation;
    Quat_FromAxisAngle(&rotation, Vector3(0.0f, 1.0f, 0.0f), 0.7f);
    actor->m_Rotation = rotation;
    actor->GetWorldMatrix();
    system->CancelTimedMessage(actor->m_BaseProcessRecord);
    actor->m_BaseProcessRecord = nullptr;
    Tell(actor, MSG_QUATERNION_MULTIPLY, Quaternion{0.0f, 0.0f, 0.0f, 1.0f});
    ExpectSameRotation(actor->m_Rotation, rotation);
    EXPECT_EQ(actor->m_Flags & ACTOR_WORLD_VALID, 0u);
    EXPECT_NE(actor->m_BaseProcessRecord, nullptr) << "BaseProcess is scheduled again";
    actor->HandleMessage(MSG_QUATERNION_IDENTITY, nullptr);
    EXPECT_FLOAT_EQ(actor->m_Rotation.w, 1.0f);
}

TEST_F(TreeMessagesTest, SetOrientationTakesTheOtherActorsWorldMatrix) {
    CQVActor* other = Make("other");
    CQVActor* actor = Make("actor");
    Tell(other, MSG_SET_POSITION, Vector3(4.0f, 5.0f, 6.0f));
    Tell(actor, MSG_SET_ORIENTATION, other);
    EXPECT_FLOAT_EQ(actor->GetWorldPosition().y, 5.0f);
    Tell<CQVActor*>(actor, MSG_SET_ORIENTATION, nullptr);
    EXPECT_FLOAT_EQ(actor->GetWorldPosition().y, 5.0f);
}

TEST_F(TreeMessagesTest, CollectsDescendantsByClassSkippingExcludedSubtrees) {
    CQVActor* root = Make("root");
    CQVActor* a = Make("a", root);
    CQVActor* group = Make("group", root);
    group->m_ClassType = CLASS_DRAW_GROUP;
    CQVActor* inside = Make("inside", group);
    CQVActor* b = Make("b", a);
    std::vector<CQVActor*> found;
    struct {
        uint32_t type, excluded;
        std::vector<CQVActor*>* out;
    } __attribute__((packed)) block{0xFFFFFFFF, CLASS_DRAW_GROUP, &found};
    root->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&block));
    EXPECT_EQ(found, (std::vector<CQVActor*>{a, b}));
    found.clear();
    block.excluded = 0xFFFFFFFF;
    block.type = CLASS_DRAW_GROUP;
    root->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&block));
    EXPECT_EQ(found, std::vector<CQVActor*>{group});
    (void)inside;

    std::vector<CQVActor*> subtree;
    std::vector<CQVActor*>* out = &subtree;
    root->HandleMessage(MSG_NO_SPAWNED, Args_Of(&out));
    EXPECT_EQ(subtree, (std::vector<CQVActor*>{root, a, b, group, inside}));
}

TEST_F(TreeMessagesTest, RecursiveCommandsAndChildCommandsReachTheirActors) {
    CQVActor* root = Make("root");
    CQVActor* a = Make("a", root);
    CQVActor* b = Make("b", a);
    g_Seen.clear();
    float value = 0.25f;
    Actor_SendRecursive(root, MSG_ACTION_START_VALUE, Args_Of(&value));
    std::vector<uint32_t> reached;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.id != MSG_ACTION_START_VALUE) continue;
        reached.push_back(seen.actorId);
        EXPECT_FLOAT_EQ(seen.real, 0.25f) << "the block passed by pointer";
    }
    EXPECT_EQ(reached, (std::vector<uint32_t>{root->m_Id, a->m_Id, b->m_Id}));
    g_Seen.clear();
    struct {
        uint32_t id;
        float value;
    } __attribute__((packed)) command{MSG_ACTION_STOP_VALUE, 0.5f};
    root->HandleMessage(MSG_COMMANDCHILDREN, Args_Of(&command));
    EXPECT_EQ(SeenBy(a), std::vector<uint32_t>{MSG_ACTION_STOP_VALUE});
    EXPECT_EQ(SeenBy(b), std::vector<uint32_t>{}) << "children only, not grandchildren";
    EXPECT_FLOAT_EQ(g_Seen.back().real, 0.5f);
}

TEST_F(TreeMessagesTest, CleanUnusedDeletesEmptyBaseActors) {
    CQVActor* root = Make("root");
    CQVActor* keep = Make("keep", root);
    CQVActor* empty = Make("empty", root);
    empty->m_ClassType = CLASS_BASE;
    CQVActor* holder = Make("holder", root);
    holder->m_ClassType = CLASS_BASE;
    CQVActor* leaf = Make("leaf", holder);
    leaf->m_ClassType = CLASS_BASE;
    EXPECT_EQ(root->HandleMessage(MSG_CLEAN_UNUSED, nullptr), 2);
    EXPECT_NE(empty->m_Flags & ACTOR_DELETE_PENDING, 0u);
    EXPECT_NE(leaf->m_Flags & ACTOR_DELETE_PENDING, 0u);
    EXPECT_EQ(holder->m_Flags & ACTOR_DELETE_PENDING, 0u) << "still lists its queued child";
    EXPECT_EQ(keep->m_Flags & ACTOR_DELETE_PENDING, 0u);
    EXPECT_EQ(keep->HandleMessage(MSG_CLEAN_UNUSED, nullptr), 0);
}

TEST_F(TreeMessagesTest, BuildTreeLinksTheParentOrQueuesAnOrphan) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child");
    global->m_Children.erase(std::find(global->m_Children.begin(), global->m_Children.end(), child));
    child->m_Parent = nullptr;
    child->m_ParentId = parent->m_Id;
    child->HandleMessage(MSG_BUILD_TREE, nullptr);
    child->HandleMessage(MSG_BUILD_TREE, nullptr);
    EXPECT_EQ(child->m_Parent, parent);
    EXPECT_EQ(parent->m_Children, std::vector<CQVActor*>{child}) << "entered once";

    CQVActor* orphan = Make("orphan");
    orphan->m_ParentId = 7999;
    orphan->HandleMessage(MSG_BUILD_TREE, nullptr);
    EXPECT_NE(orphan->m_Flags & ACTOR_DELETE_PENDING, 0u);
}

TEST_F(TreeMessagesTest, NamesAndDrawGroupIdsFollowTheTree) {
    CQVActor* actor = Make("Lift");
    char name[32] = {};
    actor->HandleMessage(MSG_GET_NAME, Args_Of(name));
    EXPECT_STREQ(name, "Lift");

    CQVDrawGroupBase group;
    group.m_BoxMax = Vector3(10.0f, 10.0f, 10.0f);
    CQVActor* child = Make("child", actor);
    CQVActor* grandchild = Make("grandchild", child);
    actor->m_DrawGroupId = group.m_DrawGroupId;
    grandchild->HandleMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    EXPECT_EQ(grandchild->m_DrawGroupId, group.m_DrawGroupId);
    EXPECT_NE(grandchild->m_Flags & ACTOR_DRAWGROUP_INHERITED, 0u);

    Tell<uint32_t>(child, MSG_SET_DRAWGROUP, group.m_DrawGroupId);
    EXPECT_NE(child->m_Flags & ACTOR_IN_DRAWGROUP, 0u);
    EXPECT_EQ(group.m_Actors, std::list<CQVActor*>{child});
    child->HandleMessage(MSG_INVALIDATE_DRAWGROUPID, nullptr);
    EXPECT_EQ(child->m_DrawGroupId, DRAWGROUP_NONE);
    EXPECT_TRUE(group.m_Actors.empty());
    EXPECT_EQ(Ask<uint32_t>(child, MSG_GET_INHERIT_DRAWGROUPID), 1u);
    system->RemoveFromDrawGroup(grandchild, 0);
}

TEST_F(TreeMessagesTest, PrecalculateOrdersBoxCorners) {
    CQVActor* actor = Make("actor");
    actor->m_ColObjs.resize(2);
    actor->m_ColObjs[0].boxMin = Vector3(5.0f, -1.0f, 3.0f);
    actor->m_ColObjs[0].boxMax = Vector3(1.0f, 1.0f, -3.0f);
    actor->m_ColObjs[1].type = 1;
    actor->m_ColObjs[1].boxMin = Vector3(5.0f, 0.0f, 0.0f);
    actor->m_ColObjs[1].boxMax = Vector3(1.0f, 0.0f, 0.0f);
    actor->m_Flags &= ~ACTOR_PRECALCULATED;
    actor->HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);
    EXPECT_NE(actor->m_Flags & ACTOR_PRECALCULATED, 0u);
    EXPECT_FLOAT_EQ(actor->m_ColObjs[0].boxMin.x, 1.0f);
    EXPECT_FLOAT_EQ(actor->m_ColObjs[0].boxMax.x, 5.0f);
    EXPECT_FLOAT_EQ(actor->m_ColObjs[0].boxMin.z, -3.0f);
    EXPECT_FLOAT_EQ(actor->m_ColObjs[0].boxMin.y, -1.0f);
    EXPECT_FLOAT_EQ(actor->m_ColObjs[1].boxMin.x, 5.0f) << "not a box";
}

}  // namespace
