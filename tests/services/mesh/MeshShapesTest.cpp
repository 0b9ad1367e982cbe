// Collision shapes of subsets: the triangle surface, box sets, the sphere
// sweep and the surface lookups.

#include "services/mesh/MeshFile.h"
#include "services/mesh/MeshShapes.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tools/content/MeshBuild.h"

#include <cmath>

namespace {

class MeshShapesTest : public MeshDeviceTest {
protected:
    std::vector<MeshSubset> subsets;
    std::vector<Bone*> bones;
    ~MeshShapesTest() override { Bones_Clear(&bones); }

    // The geometry written by the tools and read back as subset 0.
    MeshSubset& Load(const MeshGeometry& geometry, bool lightMapped = false) {
        return Load(MeshBuild_ToSubset(geometry, lightMapped));
    }
    MeshSubset& Load(const QvmSubset& subset) {
        EXPECT_TRUE(Qvm_WriteFile("shape.qvm", MeshBuild_RigidFile({subset})));
        uint32_t skinned = 0;
        EXPECT_EQ(MeshFile_ReadQvm("shape.qvm", &skinned, &subsets, &bones), 1) << ErrorText();
        return subsets.at(0);
    }
};

MeshGeometry Quad(const Vector3 (&corners)[4], const Vector3& normal) {
    MeshGeometry g;
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    g.AddQuad(corners, normal, uv);
    return g;
}

// A 100 x 100 floor facing up, centred on the origin.
MeshGeometry Floor() {
    return Quad({{-50, 0, -50}, {50, 0, -50}, {50, 0, 50}, {-50, 0, 50}}, Vector3(0, 1, 0));
}

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Sphere of radius 5 over a floor at height 0: centre height, touching, push.
struct SurfaceCase {
    const char* name;
    float x, y;
    int hit;
    float push;  // y of the push, toward the floor
};
void PrintTo(const SurfaceCase& c, std::ostream* out) { *out << c.name; }

const SurfaceCase kSurfaceCases[] = {
    {"RestingExactly", 0, 5, 1, -0.0001f},
    {"JustAbove", 0, 5.01f, 0, 0},
    {"SunkHalfway", 10, 2.5f, 1, -2.5001f},
    {"DeepWithinReach", 10, -14.9f, 1, -19.9001f},
    {"TooDeep", 0, -15.01f, 0, 0},
    {"BesideTheFloor", 60, 2, 0, 0},
};

class SurfaceSweep : public MeshShapesTest, public testing::WithParamInterface<SurfaceCase> {};

TEST_P(SurfaceSweep, LiftsASphereOntoTheSurfaceWithinReach) {
    const SurfaceCase c = GetParam();
    MeshSubset& floor = Load(Floor());
    Vector3 push(7, 7, 7);
    EXPECT_EQ(Shape_SweepSphere(&floor, SHAPE_TRIANGLE_SURFACE, Vector3(c.x, c.y, 3), 5.0f, &push), c.hit);
    ExpectNear(push, Vector3(0, c.push, 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, SurfaceSweep, testing::ValuesIn(kSurfaceCases),
                         [](const testing::TestParamInfo<SurfaceCase>& info) { return std::string(info.param.name); });

TEST_F(MeshShapesTest, ASlopedSurfacePushesAlongItsNormal) {
    const float angle = 0.5235988f;  // 30 degrees about z
    const float c = std::cos(angle), s = std::sin(angle);
    const Vector3 normal(-s, c, 0);
    MeshSubset& slope = Load(Quad({{-50 * c, -50 * s, -50}, {50 * c, 50 * s, -50}, {50 * c, 50 * s, 50},
                                   {-50 * c, -50 * s, 50}},
                                  normal));
    // A sphere of radius 4 sunk 0.5 into the slope near its middle.
    Vector3 centre(5 * c, 5 * s, 10);
    centre += normal * 3.5f;
    Vector3 push;
    ASSERT_EQ(Shape_SweepSphere(&slope, SHAPE_TRIANGLE_SURFACE, centre, 4.0f, &push), 1);
    ExpectNear(push, normal * -0.5001f);
    const auto* surface = dynamic_cast<const TriangleShapeData*>(slope.shapeData.get());
    ASSERT_NE(surface, nullptr);
    ExpectNear(surface->mean, normal);
    ASSERT_EQ(surface->corners.size(), 6u);
}

TEST_F(MeshShapesTest, TheFlatFloorFrameIsTheIdentity) {
    MeshSubset& floor = Load(Floor());
    Shape_Build(&floor, SHAPE_TRIANGLE_SURFACE);
    const auto* surface = dynamic_cast<const TriangleShapeData*>(floor.shapeData.get());
    ASSERT_NE(surface, nullptr);
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_EQ(surface->fromLocal.m[r][col], r == col ? 1.0f : 0.0f);
            EXPECT_EQ(surface->toLocal.m[r][col], r == col ? 1.0f : 0.0f);
        }
    }
}

TEST_F(MeshShapesTest, APointOnASharedEdgeTakesTheFirstTriangle) {
    MeshSubset& floor = Load(Quad({{0, 2, 0}, {10, 2, 0}, {10, 2, 10}, {0, 2, 10}}, Vector3(0, 1, 0)));
    Shape_Build(&floor, SHAPE_TRIANGLE_SURFACE);
    const auto& surface = dynamic_cast<const TriangleShapeData&>(*floor.shapeData);
    uint32_t triangle = 9;
    Vector3 point;
    ASSERT_EQ(Shape_FindSurfacePoint(surface, SURFACE_AXES_XZ, Vector3(5, 40, 5), &point, &triangle), 1);
    EXPECT_EQ(triangle, 0u);
    ExpectNear(point, Vector3(5, 2, 5));
    ASSERT_EQ(Shape_FindSurfacePoint(surface, SURFACE_AXES_XZ, Vector3(8, 40, 1), nullptr, &triangle), 1);
    EXPECT_EQ(triangle, 0u);
    ASSERT_EQ(Shape_FindSurfacePoint(surface, SURFACE_AXES_XZ, Vector3(1, 40, 8), nullptr, &triangle), 1);
    EXPECT_EQ(triangle, 1u);
    EXPECT_EQ(Shape_FindSurfacePoint(surface, SURFACE_AXES_XZ, Vector3(11, 0, 5), nullptr, &triangle), 0);
}

TEST_F(MeshShapesTest, TerrainHeightsAtTheGridPointsAreExact) {
    const auto hills = MeshBuild_Hills(20, 3);
    MeshSubset& ground = Load(MeshBuild_Terrain(Vector3(0, 0, 0), 80, 8, hills));
    uint32_t cache = 0;
    for (float x : {10.0f, 30.0f, 70.0f}) {
        for (float z : {20.0f, 40.0f}) {
            Vector3 point;
            ASSERT_EQ(Subset_IntersectPoint(ground, SURFACE_AXES_XZ, Vector3(x, 500, z), &point, nullptr, &cache), 1);
            EXPECT_NEAR(point.y, hills(x, z), 1e-3f);
            EXPECT_EQ(point.x, x);
            EXPECT_EQ(point.z, z);
        }
    }
}

TEST_F(MeshShapesTest, TheLookupFollowsTheAxisSelector) {
    // A wall facing +x at x = 7 and a wall facing +z at z = -3.
    MeshSubset& east = Load(Quad({{7, 0, 0}, {7, 0, 10}, {7, 10, 10}, {7, 10, 0}}, Vector3(1, 0, 0)));
    Vector3 point;
    ASSERT_EQ(Subset_IntersectPoint(east, SURFACE_AXES_ZY, Vector3(-40, 4, 6), &point, nullptr, nullptr), 1);
    ExpectNear(point, Vector3(7, 4, 6));
    MeshSubset& north = Load(Quad({{0, 0, -3}, {10, 0, -3}, {10, 10, -3}, {0, 10, -3}}, Vector3(0, 0, 1)));
    for (uint32_t selector : {2u, 3u}) {
        ASSERT_EQ(Subset_IntersectPoint(north, selector, Vector3(2, 9, 50), &point, nullptr, nullptr), 1);
        ExpectNear(point, Vector3(2, 9, -3));
    }
    EXPECT_EQ(Subset_IntersectPoint(north, SURFACE_AXES_XZ, Vector3(2, 9, 50), &point, nullptr, nullptr), 0);
}

TEST_F(MeshShapesTest, TheHeightIsTheMeanOfTheEdgesWeightedByNearness) {
    // Heights 0, 10 and 0 at (0, 0), (10, 0) and (0, 10); under (2, 2) the
    // edges give 2 at distance 2, 5 at distance 3 sqrt(2) and 0 at distance 2.
    MeshGeometry g;
    const uint16_t a = g.AddVertex({Vector3(0, 0, 0), Vector3(0, 1, 0), {0, 0}, {0, 0}});
    const uint16_t b = g.AddVertex({Vector3(10, 10, 0), Vector3(0, 1, 0), {0, 0}, {0, 0}});
    const uint16_t c = g.AddVertex({Vector3(0, 0, 10), Vector3(0, 1, 0), {0, 0}, {0, 0}});
    g.AddTriangle(a, b, c, Vector3(0, 1, 0));
    MeshSubset& triangle = Load(g);
    Vector3 point;
    ASSERT_EQ(Subset_IntersectPoint(triangle, SURFACE_AXES_XZ, Vector3(2, 0, 2), &point, nullptr, nullptr), 1);
    const float w = 1.0f / (3.0f * std::sqrt(2.0f));
    EXPECT_NEAR(point.y, (0.5f * 2.0f + w * 5.0f) / (1.0f + w), 1e-5f);
}

// The light-mapped layout (40 bytes a vertex) gives the same answers as the plain one.
class IntersectStride : public MeshShapesTest, public testing::WithParamInterface<bool> {};

TEST_P(IntersectStride, ReadsVerticesWithTheSubsetsOwnStride) {
    MeshGeometry g = MeshBuild_Terrain(Vector3(0, 0, 0), 40, 4, [](float x, float z) { return 0.25f * x; });
    // Each vertex carries a normal of its own to tell the corners apart.
    for (size_t i = 0; i < g.vertices.size(); ++i) g.vertices[i].normal = Vector3(0, static_cast<float>(i), 1);
    MeshSubset& ground = Load(g, GetParam());
    EXPECT_EQ(ground.stride, GetParam() ? 40u : 32u);
    uint32_t cache = 0;
    Vector3 point, normal;
    ASSERT_EQ(Subset_IntersectPoint(ground, SURFACE_AXES_XZ, Vector3(20, 0, 30), &point, &normal, nullptr), 1);
    EXPECT_NEAR(point.y, 5.0f, 1e-4f);
    ASSERT_EQ(Subset_IntersectPoint(ground, SURFACE_AXES_XZ, Vector3(25, 0, 33), &point, &normal, &cache), 1);
    const uint16_t* indices = reinterpret_cast<const uint16_t*>(ground.indexBuffer->bytes.data());
    EXPECT_EQ(normal.y, static_cast<float>(indices[cache * 3 + 2]));  // the third corner's normal
    EXPECT_NE(cache, 0u);
    // The cached triangle is tried first and kept while it holds the point.
    const uint32_t found = cache;
    ASSERT_EQ(Subset_IntersectPoint(ground, SURFACE_AXES_XZ, Vector3(25.1f, 0, 33.1f), &point, nullptr, &cache), 1);
    EXPECT_EQ(cache, found);
    ASSERT_EQ(Subset_IntersectPoint(ground, SURFACE_AXES_XZ, Vector3(1, 0, 1), &point, nullptr, &cache), 1);
    EXPECT_LT(cache, found);
}

INSTANTIATE_TEST_SUITE_P(Layouts, IntersectStride, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "LightMapped" : "Plain"; });

// A wall slab at z = 0 over x and y from 0 to 100, as box sets of each type.
class BoxSweep : public MeshShapesTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(BoxSweep, PushesASphereOffTheWallOrLeavesItAlone) {
    MeshSubset& wall = Load(Quad({{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}}, Vector3(0, 0, -1)));
    Vector3 push(1, 1, 1);
    ASSERT_EQ(Shape_SweepSphere(&wall, GetParam(), Vector3(50, 50, -5), 10.0f, &push), 1);
    ExpectNear(push, Vector3(0, 0, 5.01f));
    const auto* set = dynamic_cast<const BoxShapeData*>(wall.shapeData.get());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->count, 2u);  // flat boxes have no volume to merge by
    EXPECT_EQ(Shape_SweepSphere(&wall, GetParam(), Vector3(50, 50, -10.5f), 10.0f, &push), 0);
    ExpectNear(push, Vector3(0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Types, BoxSweep, testing::Range(8u, 14u));

TEST_F(MeshShapesTest, ASphereInACornerIsFreedOfBothWalls) {
    MeshGeometry corner = Quad({{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}}, Vector3(0, 0, -1));
    corner.Append(Quad({{0, 0, 0}, {0, 0, -100}, {0, 100, -100}, {0, 100, 0}}, Vector3(1, 0, 0)));
    MeshSubset& walls = Load(corner);
    const Vector3 start(4, 50, -7);
    Vector3 push;
    ASSERT_EQ(Shape_SweepSphere(&walls, 8, start, 10.0f, &push), 1);
    const Vector3 freed = start - push;
    EXPECT_GE(freed.x, 10.0f);
    EXPECT_LE(freed.z, -10.0f);
    Vector3 again;
    EXPECT_EQ(Shape_SweepSphere(&walls, 8, freed, 10.0f, &again), 0);
}

TEST_F(MeshShapesTest, ASphereCaughtBetweenWallsStopsAfterTheRoundLimit) {
    MeshGeometry gap = Quad({{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}}, Vector3(0, 0, 1));
    gap.Append(Quad({{0, 0, 10}, {100, 0, 10}, {100, 100, 10}, {0, 100, 10}}, Vector3(0, 0, -1)));
    MeshSubset& walls = Load(gap);
    Vector3 push;
    EXPECT_EQ(Shape_SweepSphere(&walls, 8, Vector3(50, 50, 5), 8.0f, &push), 1);
    EXPECT_TRUE(std::isfinite(push.z));
}

TEST_F(MeshShapesTest, OtherTypesNeitherBuildNorSweep) {
    MeshSubset& floor = Load(Floor());
    for (uint32_t type : {0u, 1u, 2u, 5u, 7u, 14u}) {
        Vector3 push(3, 3, 3);
        EXPECT_EQ(Shape_SweepSphere(&floor, type, Vector3(0, 1, 0), 5.0f, &push), 0) << type;
        ExpectNear(push, Vector3(0, 0, 0));
        EXPECT_EQ(floor.shapeData, nullptr);
    }
}

TEST_F(MeshShapesTest, ASubsetWithoutTrianglesHasAnEmptySurface) {
    QvmSubset points = MeshBuild_ToSubset(Floor(), false);
    points.indices.clear();
    MeshSubset& subset = Load(points);
    Vector3 push;
    EXPECT_EQ(Shape_SweepSphere(&subset, SHAPE_TRIANGLE_SURFACE, Vector3(0, 1, 0), 5.0f, &push), 0);
    EXPECT_EQ(Subset_IntersectPoint(subset, SURFACE_AXES_XZ, Vector3(0, 1, 0), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Shape_SweepSphere(&subset, 9, Vector3(0, 1, 0), 5.0f, &push), 0);
}

}  // namespace
