// Stencil shadow volumes: the silhouette by edge toggling, the volume's caps
// and sides, the distance rule, and the darkened floor under a caster as the
// device draws it, with the debug keys.

#include "services/render/Render.h"
#include "services/render/Shadow.h"
#include "tests/services/render/RenderTestSupport.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <set>

namespace {

struct ToggleCase {
    const char* name;
    std::vector<ShadowEdge> toggles;
    std::vector<ShadowEdge> expected;
};

class EdgeToggle : public testing::TestWithParam<ToggleCase> {};

TEST_P(EdgeToggle, SharedEdgesCancel) {
    const ToggleCase& c = GetParam();
    std::vector<ShadowEdge> edges(c.toggles.size());
    uint32_t count = 0;
    for (const ShadowEdge& e : c.toggles) ShadowVolume_ToggleEdge(edges.data(), &count, e.a, e.b);
    edges.resize(count);
    EXPECT_EQ(edges, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EdgeToggle,
    testing::Values(ToggleCase{"ReversedEdgeCancels", {{1, 2}, {2, 1}}, {}},
                    ToggleCase{"SameEdgeCancels", {{1, 2}, {1, 2}}, {}},
                    ToggleCase{"LastMovesIntoTheGap", {{1, 2}, {3, 4}, {5, 6}, {2, 1}}, {{5, 6}, {3, 4}}},
                    ToggleCase{"DistinctEdgesStay", {{1, 2}, {2, 3}}, {{1, 2}, {2, 3}}}),
    [](const testing::TestParamInfo<ToggleCase>& info) { return info.param.name; });

std::vector<Vector3> Positions(PlatformVertexBuffer* buffer, uint32_t triangles) {
    std::vector<Vector3> points(triangles * 3);
    std::memcpy(points.data(), buffer->bytes.data(), points.size() * sizeof(Vector3));
    return points;
}

void ExpectPoint(const Vector3& p, const Vector3& q) {
    EXPECT_FLOAT_EQ(p.x, q.x);
    EXPECT_FLOAT_EQ(p.y, q.y);
    EXPECT_FLOAT_EQ(p.z, q.z);
}

TEST_F(RenderTest, OneLitTriangleGivesThreeEdgesSixSidesAndOneCap) {
    MeshGeometry g;
    const Vector3 p[3] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    for (const Vector3& v : p) g.vertices.push_back({v, {0, 1, 0}, {0, 0}, {0, 0}});
    g.indices = {0, 1, 2};
    RenderItem* item = Item(Mesh(g), Material(8 | 16), At(Vector3(0, 0, 0)));
    ASSERT_NE(item->shadowVolume, nullptr);
    CQVShadowVolume* volume = item->shadowVolume;
    const Vector3 light(0, 300, 0);
    ASSERT_EQ(ShadowVolume_BuildForItem(item, light), S_OK);
    EXPECT_EQ(volume->capTriangles, 1u);
    EXPECT_EQ(volume->sideTriangles, 6u);
    // The cap with its winding turned, then the first edge's two sides.
    const std::vector<Vector3> cap = Positions(volume->capBuffer, 1);
    ExpectPoint(cap[1], p[2]);
    ExpectPoint(cap[2], p[1]);
    const std::vector<Vector3> sides = Positions(volume->sideBuffer, 6);
    ExpectPoint(sides[0], p[0]);
    ExpectPoint(sides[1], p[1]);
    ExpectPoint(sides[2], p[0] - light);
    ExpectPoint(sides[4], p[1] - light);
    // Lit from the other side: no silhouette, the cap pushed away from the light.
    ASSERT_EQ(ShadowVolume_BuildForItem(item, Vector3(0, -300, 0)), S_OK);
    EXPECT_EQ(volume->capTriangles, 1u);
    EXPECT_EQ(volume->sideTriangles, 0u);
    ExpectPoint(Positions(volume->capBuffer, 1)[0], Vector3(0, 300, 0));
}

TEST_F(RenderTest, AClosedMeshLitFromAboveKeepsOnlyItsRim) {
    // An octahedron with shared corners, faces turned outward.
    MeshGeometry g;
    const Vector3 corners[6] = {{0, 50, 0}, {0, -50, 0}, {50, 0, 0}, {-50, 0, 0}, {0, 0, 50}, {0, 0, -50}};
    for (const Vector3& c : corners) g.vertices.push_back({c, c, {0, 0}, {0, 0}});
    const uint16_t ring[4] = {2, 4, 3, 5};
    for (int i = 0; i < 4; ++i) {
        const uint16_t a = ring[i], b = ring[(i + 1) % 4];
        for (uint16_t tip : {uint16_t{0}, uint16_t{1}}) {
            const Vector3 facing(corners[a].x + corners[b].x + corners[tip].x,
                                 corners[a].y + corners[b].y + corners[tip].y,
                                 corners[a].z + corners[b].z + corners[tip].z);
            g.AddTriangle(a, b, tip, facing);
        }
    }
    RenderItem* item = Item(Mesh(g), Material(8 | 16), At(Vector3(0, 0, 0)));
    ASSERT_EQ(ShadowVolume_BuildForItem(item, Vector3(0, 1000, 0)), S_OK);
    EXPECT_EQ(item->shadowVolume->capTriangles, 8u);
    ASSERT_EQ(item->shadowVolume->sideTriangles, 8u);
    // Every side stands on an equator edge: its first two corners lie at y 0.
    const std::vector<Vector3> sides = Positions(item->shadowVolume->sideBuffer, 8);
    for (size_t t = 0; t < 8; t += 2) {
        EXPECT_EQ(sides[t * 3].y, 0.0f);
        EXPECT_EQ(sides[t * 3 + 1].y, 0.0f);
    }
}

TEST_F(RenderTest, VolumesOfAMeshThatGrewGetRoomForIt) {
    // Made before its mesh had triangles: the first build makes the buffers.
    CQVMeshItem* mesh = Mesh(MeshBuild_Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
    const uint32_t triangles = mesh->subsets[0].triangleCount;
    mesh->subsets[0].triangleCount = 1;
    RenderItem* item = Item(mesh, Material(8 | 16), At(Vector3(0, 0, 0)));
    mesh->subsets[0].triangleCount = triangles;
    ASSERT_EQ(ShadowVolume_BuildForItem(item, Vector3(0, 300, 0)), S_OK);
    EXPECT_EQ(item->shadowVolume->capTriangles, triangles);
    EXPECT_GE(item->shadowVolume->capBuffer->bytes.size(), triangles * 36u);
}

// The scene: a white floor, a thin plate 250 above it whose material casts
// shadows, the camera high on the side the shadow falls to.
class ShadowScene : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        MeshGeometry floor;
        const Vector3 corners[4] = {{-300, 0, -300}, {-300, 0, 300}, {300, 0, 300}, {300, 0, -300}};
        const Vector2 uv[4] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
        floor.AddQuad(corners, Vector3(0, 1, 0), uv);
        RenderItem* floorItem = Item(Mesh(floor), Material(8), At(Vector3(0, 0, 0)));
        caster = Item(Mesh(MeshBuild_Box(Vector3(-40, -2, -40), Vector3(40, 2, 40))), Material(8 | 16, 0.5f, 0.5f, 0.5f),
                      At(Vector3(0, 250, 0)));
        scene = {floorItem, caster};
        engine->SetFov(1.2f);
        // The plate's shadow is the plate moved by (-50, 0, 50); this floor
        // point lies in it and is not hidden by the plate.
        engine->SetCameraLookAt(Vector3(-570, 400, 570), shadowed, Vector3(0, 1, 0));
    }
    void TearDown() override {
        for (SDL_Scancode key : {SDL_SCANCODE_V, SDL_SCANCODE_C}) PushKey(key, false);
        RenderTest::TearDown();
    }
    static void PushKey(SDL_Scancode code, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        SDL_PushEvent(&e);
        WindowMessage m;
        while (Platform_PeekMessage(&m, true)) Platform_DispatchMessage(m);
    }
    uint32_t DrawAndRead(const Vector3& floorPoint) {
        for (RenderItem* item : scene) engine->QueueRenderItem(item, 0.0f, 1.0f);
        DrawFrame(0xFF000000);
        Vector3 screen = floorPoint;
        Camera_ProjectToScreen(&screen);
        EXPECT_GE(screen.x, 0.0f);
        EXPECT_LT(screen.x, static_cast<float>(width));
        EXPECT_GE(screen.y, 0.0f);
        EXPECT_LT(screen.y, static_cast<float>(height));
        return RenderScene_Pixel(static_cast<int>(screen.x), static_cast<int>(screen.y)) & 0xFFFFFF;
    }

    const Vector3 shadowed{-70, 0, 70};
    const Vector3 open{70, 0, -70};
    RenderItem* caster = nullptr;
    std::vector<RenderItem*> scene;
};

TEST_F(ShadowScene, TheFloorIsDarkenedOnlyInsideTheShadow) {
    EXPECT_EQ(DrawAndRead(open), 0xFFFFFFu);
    const uint32_t dark = DrawAndRead(shadowed);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>(dark >> shift & 0xFF), 0x66, 2) << std::hex << dark;
    // The shadow pass leaves the device as the next material expects it.
    uint32_t value = 1;
    RenderScene_Device()->GetRenderState(D3DRS_STENCILENABLE, &value);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, 0xFFFFFFFFu);
}

// The volume's cap over the plate's lit top lies exactly on it; the plate
// looks the same whether it casts a shadow or not.
TEST_F(ShadowScene, ACasterDoesNotDarkenItsOwnLitFace) {
    const Vector3 onTop(0, 252, 0);
    const uint32_t casting = DrawAndRead(onTop);
    const uint32_t mask = caster->material->bucketMask;
    caster->material->bucketMask = 8;
    const uint32_t notCasting = DrawAndRead(onTop);
    caster->material->bucketMask = mask;
    EXPECT_EQ(casting, notCasting) << std::hex << casting << " " << notCasting;
}

// A second caster standing in the plate's shadow: its own lit top is
// darkened by the plate's volume like the floor around it, not lit again by
// its own cap.
TEST_F(ShadowScene, ACasterInAnotherCastersShadowIsDarkened) {
    RenderItem* block = Item(Mesh(MeshBuild_Box(Vector3(-30, 0, -30), Vector3(30, 20, 30))), Material(8 | 16),
                             At(Vector3(-70, 0, 70)));
    scene.push_back(block);
    const Vector3 blockTop(-70, 20, 70);
    const uint32_t shadowed = DrawAndRead(blockTop);
    const uint32_t mask = caster->material->bucketMask;
    caster->material->bucketMask = 8;
    EXPECT_EQ(DrawAndRead(blockTop), 0xFFFFFFu);
    caster->material->bucketMask = mask;
    for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>(shadowed >> shift & 0xFF), 0x66, 2) << std::hex << shadowed;
}

TEST_F(ShadowScene, ShowingVolumesOrCapsOnlyLeavesTheFloorLit) {
    PushKey(SDL_SCANCODE_V, true);
    EXPECT_EQ(DrawAndRead(shadowed), 0xFFFFFFu);
    PushKey(SDL_SCANCODE_V, false);
    PushKey(SDL_SCANCODE_C, true);
    EXPECT_EQ(DrawAndRead(shadowed), 0xFFFFFFu);
    PushKey(SDL_SCANCODE_C, false);
    EXPECT_NE(DrawAndRead(shadowed), 0xFFFFFFu);
}

struct DistanceCase {
    float distance;  // from the caster to the point above the camera
    bool built;
};

class CasterDistance : public RenderTest, public testing::WithParamInterface<DistanceCase> {};

TEST_P(CasterDistance, CastersNearThePointAboveTheCameraCastNothing) {
    RenderItem* item = Item(Mesh(MeshBuild_Box(Vector3(-5, -5, -5), Vector3(5, 5, 5))), Material(8 | 16),
                            At(Vector3(0, 0, 0)));
    // The camera sits so that camera + (30, 150, -30) is the distance away along x.
    engine->SetCameraPositionRotation(Vector3(-30.0f - GetParam().distance, -150.0f, 30.0f), Quaternion{0, 0, 0, 1});
    item->shadowVolume->capTriangles = 999;
    ASSERT_EQ(engine->BeginFrame(1, 1), 1);
    ShadowBucket_Begin(4);
    ShadowBucket_DrawItem(item);
    ShadowBucket_End(4);
    engine->EndFrame(0);
    EXPECT_EQ(item->shadowVolume->capTriangles, GetParam().built ? 12u : 999u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CasterDistance,
                         testing::Values(DistanceCase{150.0f, false}, DistanceCase{200.0f, false},
                                         DistanceCase{250.0f, true}));

}  // namespace
