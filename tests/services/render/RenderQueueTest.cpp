// The render queue: insert modes, bucket order and the hand-over between
// buckets, culling at queue time and the per-item choice of local lights.

#include "tests/services/render/RenderTestSupport.h"
#include "services/render/Render.h"

namespace {

std::vector<const RenderItem*> g_Drawn;
std::vector<std::pair<uint32_t, const RenderItem*>> g_DrawnInBucket;
std::vector<std::vector<int32_t>> g_LightsOn;

void RecordItem(RenderItem* item) { g_Drawn.push_back(item); }
void RecordIn3(RenderItem* item) { g_DrawnInBucket.emplace_back(3, item); }
void RecordIn4(RenderItem* item) {
    EXPECT_EQ(item->queued, 1u);
    g_DrawnInBucket.emplace_back(4, item);
}
// The device's switch of every light the engine made, as the item is drawn.
void RecordLights(RenderItem* item) {
    std::vector<int32_t> on;
    for (const CQVLightItem* light : g_LightState.lights) {
        int32_t enabled = 0;
        RenderScene_Device()->GetLightEnable(light->lightNumber, &enabled);
        on.push_back(enabled != 0);
    }
    g_LightsOn.push_back(on);
}

constexpr uint32_t kTestBucket = 20;

struct OrderCase {
    const char* name;
    uint32_t insertMode;
    std::vector<float> depths;     // queued in this order
    std::vector<size_t> expected;  // indices of the queued items as drawn
};

class BucketOrder : public RenderTest, public testing::WithParamInterface<OrderCase> {};

TEST_P(BucketOrder, DrawsTheItemsInTheModesOrder) {
    const OrderCase& c = GetParam();
    g_Drawn.clear();
    CQVRender::Get().Queue().buckets[kTestBucket].insertMode = c.insertMode;
    engine->SetBucketItemCallback(kTestBucket, &RecordItem);
    CQVMeshItem* mesh = Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    CQVMaterialItem* material = Material(1u << kTestBucket);
    std::vector<RenderItem*> queued;
    for (float depth : c.depths) {
        // Every centre at view depth 100: the bias alone orders them.
        queued.push_back(Item(mesh, material, At(Vector3(0, 0, 100)), depth - 100.0f));
        engine->QueueRenderItem(queued.back(), 0.0f, 1.0f);
    }
    DrawFrame();
    std::vector<const RenderItem*> expected;
    for (size_t i : c.expected) expected.push_back(queued[i]);
    EXPECT_EQ(g_Drawn, expected);
    // Past its last bucket an item is free to be queued again; an item that
    // an unknown mode dropped stays marked for the frame.
    for (RenderItem* item : queued) EXPECT_EQ(item->queued, c.expected.empty() ? 1u : 0u);
    EXPECT_EQ(CQVRender::Get().Queue().buckets[kTestBucket].head, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, BucketOrder,
    testing::Values(OrderCase{"DepthLargerFirstEqualInArrivalOrder", 2, {5, 9, 9}, {1, 2, 0}},
                    OrderCase{"DepthModeThree", 3, {1, 7, 3}, {1, 2, 0}},
                    OrderCase{"FrontReversesQueueing", 0, {1, 2}, {1, 0}},
                    OrderCase{"BackKeepsQueueing", 1, {1, 2, 3}, {0, 1, 2}},
                    OrderCase{"UnknownModeDropsTheItem", 9, {1}, {}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return info.param.name; });

TEST_F(RenderTest, AnItemOfTwoBucketsIsDrawnInEachInOrder) {
    g_DrawnInBucket.clear();
    engine->SetBucketItemCallback(3, &RecordIn3);
    engine->SetBucketItemCallback(4, &RecordIn4);
    CQVMeshItem* mesh = Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    RenderItem* caster = Item(mesh, Material(8 | 16), At(Vector3(0, 0, 100)));
    RenderItem* plain = Item(mesh, Material(8), At(Vector3(0, 0, 50)));
    engine->QueueRenderItem(caster, 0.0f, 1.0f);
    engine->QueueRenderItem(caster, 0.0f, 1.0f);  // a second queueing in the frame is ignored
    engine->QueueRenderItem(plain, 0.0f, 1.0f);
    EXPECT_EQ(caster->queued, 1u);
    DrawFrame();
    const std::vector<std::pair<uint32_t, const RenderItem*>> expected = {{3, caster}, {3, plain}, {4, caster}};
    EXPECT_EQ(g_DrawnInBucket, expected);
    EXPECT_EQ(caster->queued, 0u);
    EXPECT_EQ(plain->queued, 0u);
}

int g_PreparedDraws = 0;
void CountDraw(RenderItem* item) {
    EXPECT_EQ(RenderItem_GetOwner(item), &g_PreparedDraws);
    ++g_PreparedDraws;
}

// The owner rewrites its vertices through the draw callback right before
// each draw of the item: the mesh in bucket 3 and the volume in bucket 4.
TEST_F(RenderTest, TheDrawCallbackRunsBeforeEachDrawOfTheItem) {
    g_PreparedDraws = 0;
    engine->SetCameraPositionRotation(Vector3(0, 0, -500), Quaternion{0, 0, 0, 1});
    RenderItem* item = Item(Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1))), Material(8 | 16),
                            At(Vector3(0, 0, 100)));
    RenderItem_SetOwner(item, &g_PreparedDraws);
    RenderItem_SetDrawCallback(item, &CountDraw);
    engine->QueueRenderItem(item, 0.0f, 1.0f);
    DrawFrame();
    EXPECT_EQ(g_PreparedDraws, 2);
    RenderItem_SetOwner(nullptr, &g_PreparedDraws);
    EXPECT_EQ(RenderItem_GetOwner(nullptr), nullptr);
}

TEST_F(RenderTest, QueueingCullsAndNeedsAMaterial) {
    g_Drawn.clear();
    engine->SetBucketItemCallback(3, &RecordItem);
    CQVMeshItem* mesh = Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    RenderItem* behind = Item(mesh, Material(8), At(Vector3(0, 0, -50)));
    RenderItem* noMaterial = Item(mesh, nullptr, At(Vector3(0, 0, 50)));
    RenderItem* shown = Item(mesh, Material(8), At(Vector3(0, 0, 50)), 2.5f);
    engine->QueueRenderItem(nullptr, 0.0f, 1.0f);
    for (RenderItem* item : {behind, noMaterial, shown}) engine->QueueRenderItem(item, 3.0f, 0.5f);
    EXPECT_EQ(behind->queued, 0u);
    EXPECT_EQ(noMaterial->queued, 0u);
    ASSERT_EQ(shown->queued, 1u);
    EXPECT_FLOAT_EQ(shown->depth, 52.5f);
    EXPECT_FLOAT_EQ(shown->centre.z, 50.0f);
    EXPECT_FLOAT_EQ(shown->radius, std::sqrt(3.0f));
    EXPECT_EQ(shown->frame, 3.0f);
    EXPECT_EQ(shown->alpha, 0.5f);
    // The owner's radius scale, not the matrix, sizes the sphere.
    DrawFrame();
    RenderItem_SetRadiusScale(shown, 2.0f);
    engine->QueueRenderItem(shown, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(shown->radius, 2.0f * std::sqrt(3.0f));
    DrawFrame();
    EXPECT_EQ(g_Drawn, (std::vector<const RenderItem*>{shown, shown}));
}

struct LightCase {
    const char* name;
    std::vector<float> ranges;  // one point light each, at (10 + i, 0, 100)
    std::vector<int32_t> expectedOn;
};

class ItemLights : public RenderTest, public testing::WithParamInterface<LightCase> {};

// The item's sphere: centre (0, 0, 100), radius exactly 2.
TEST_P(ItemLights, ReachingLightsAreSwitchedOnAtMostSeven) {
    const LightCase& c = GetParam();
    g_LightsOn.clear();
    engine->SetBucketItemCallback(3, &RecordLights);
    CQVMeshItem* mesh = Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    mesh->subsetInfos[0].sphere = Sphere{Vector3(0, 0, 0), 2.0f};
    RenderItem* item = Item(mesh, Material(8), At(Vector3(0, 0, 100)));
    for (size_t i = 0; i < c.ranges.size(); ++i) {
        CQVLightItem* light = engine->CreateLight();
        Light_SetPosition(light, Vector3(10.0f + static_cast<float>(i), 0.0f, 100.0f));
        Light_SetRange(light, c.ranges[i]);
        Light_Apply(light);
        engine->EnableLight(light, 1);
    }
    engine->QueueRenderItem(item, 0.0f, 1.0f);
    DrawFrame();
    ASSERT_EQ(g_LightsOn.size(), 1u);
    EXPECT_EQ(g_LightsOn[0], c.expectedOn);
    uint32_t on = 0;
    for (int32_t e : c.expectedOn) on += e;
    EXPECT_EQ(item->lightsUsed, on);
    // After the buckets no local light stays switched on.
    for (const CQVLightItem* light : CQVRender::Get().Lights().lights) {
        int32_t enabled = 1;
        RenderScene_Device()->GetLightEnable(light->lightNumber, &enabled);
        EXPECT_EQ(enabled, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Selection, ItemLights,
    testing::Values(LightCase{"TenInRangeGiveTheFirstSeven",
                              std::vector<float>(10, 100.0f),
                              {1, 1, 1, 1, 1, 1, 1, 0, 0, 0}},
                    // 8 + 2 equals the distance 10 exactly: not reached.
                    LightCase{"RangePlusRadiusEqualToTheDistanceIsOut", {8.0f}, {0}},
                    LightCase{"JustBeyondTheDistanceIsIn", {8.01f}, {1}},
                    // Lights out of reach do not count toward the seven.
                    LightCase{"OutOfReachLightsAreSkipped",
                              {1, 100, 1, 100, 100, 100, 100, 100, 100, 100},
                              {0, 1, 0, 1, 1, 1, 1, 1, 1, 0}}),
    [](const testing::TestParamInfo<LightCase>& info) { return info.param.name; });

TEST_F(RenderTest, TheFrameOfAnAnimatedSubsetPicksItsVertexBlock) {
    // Frame 0 covers the left half of the view, frame 1 the right half.
    auto quad = [](float x0, float x1) {
        MeshGeometry g;
        const Vector3 corners[4] = {{x0, -40, 0}, {x0, 40, 0}, {x1, 40, 0}, {x1, -40, 0}};
        const Vector2 uv[4] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
        g.AddQuad(corners, Vector3(0, 0, -1), uv);
        return g;
    };
    CQVMeshItem* mesh = Mesh(std::vector<MeshGeometry>{quad(-100, -10), quad(10, 100)});
    RenderItem* item = Item(mesh, Material(8, 1, 1, 1, false), At(Vector3(0, 0, 100)));
    const int left = width / 4, right = 3 * width / 4, middle = height / 2;
    for (float frame : {0.0f, 1.0f, 2.7f, 3.2f}) {
        engine->QueueRenderItem(item, frame, 1.0f);
        DrawFrame();
        const bool second = static_cast<uint32_t>(frame) % 2 == 1;

        EXPECT_EQ(RenderScene_Pixel(left, middle) & 0xFFFFFF, second ? 0u : 0xFFFFFFu) << frame;
        EXPECT_EQ(RenderScene_Pixel(right, middle) & 0xFFFFFF, second ? 0xFFFFFFu : 0u) << frame;
    }
}

}  // namespace
