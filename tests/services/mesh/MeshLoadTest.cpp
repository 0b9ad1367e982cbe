// Mesh items of the library: the load by file extension, the subset records
// that follow it, the light maps, a failed load retried, and the bounds and
// frame-count accessors.

#include "services/library/Library.h"
#include "services/mesh/MeshAccess.h"
#include "services/mesh/MeshFile.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/MeshBuild.h"

namespace {

class MeshLoadTest : public MeshDeviceTest {
protected:
    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
        engine()->SetBaseFolder(root.string());
        std::filesystem::create_directories("Data");
    }
    void TearDown() override {
        Library_Reset();
        MeshDeviceTest::TearDown();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }
    static CQVMeshItem* Item(uint32_t id, const std::string& fileName, std::vector<SubsetInfo> infos = {}) {
        auto* mesh = new CQVMeshItem;
        mesh->fileName = fileName;
        mesh->subsetInfos = std::move(infos);
        g_Library.SetItem(id, mesh);
        return mesh;
    }
    static QvmFile Crates() {
        QvmSubset a = MeshBuild_ToSubset(MeshBuild_Box(Vector3(-1, -2, -3), Vector3(4, 5, 6)), false);
        QvmSubset b = MeshBuild_ToSubset(MeshBuild_Box(Vector3(10, 0, 0), Vector3(12, 2, 2)), true);
        return MeshBuild_RigidFile({a, b});
    }
};

TEST_F(MeshLoadTest, ARigidMeshGivesItsRecordsTheSubsetBoundsAndLoadsItsLightMaps) {
    ASSERT_TRUE(Qvm_WriteFile("Data/crates.QVM", Crates()));
    auto* lightMap = new CQVTextureItem;
    lightMap->fileName = "missing.tga";  // a light map that fails to load does not fail the mesh
    g_Library.SetItem(9, lightMap);
    SubsetInfo withMap;
    withMap.shapeType = 4;
    withMap.lightMapId = 9;
    // Three stored records for two subsets: the surplus goes.
    CQVMeshItem* mesh = Item(1, "crates.QVM", {SubsetInfo{}, withMap, SubsetInfo{}});
    ASSERT_EQ(mesh->Load(), 1) << ErrorText();
    EXPECT_TRUE(mesh->loaded);
    EXPECT_EQ(mesh->skinned, 0u);
    ASSERT_EQ(mesh->subsets.size(), 2u);
    ASSERT_EQ(mesh->subsetInfos.size(), 2u);
    EXPECT_EQ(mesh->subsetInfos[1].shapeType, 4u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::memcmp(&mesh->subsetInfos[i].box, &mesh->subsets[i].box, sizeof(Box)), 0);
        EXPECT_EQ(std::memcmp(&mesh->subsetInfos[i].sphere, &mesh->subsets[i].sphere, sizeof(Sphere)), 0);
        EXPECT_EQ(mesh->subsetInfos[i].outerRadius, mesh->subsets[i].outerRadius);
    }
    EXPECT_EQ(mesh->subsetInfos[0].box.min.y, -2.0f);
    EXPECT_EQ(mesh->subsetInfos[1].box.max.x, 12.0f);
    EXPECT_TRUE(lightMap->shared);
    EXPECT_FALSE(lightMap->loaded);

    // Loaded meshes are not read again.
    PlatformVertexBuffer* buffer = mesh->subsets[0].vertexBuffer;
    EXPECT_EQ(mesh->Load(), 1);
    EXPECT_EQ(mesh->subsets[0].vertexBuffer, buffer);
}

TEST_F(MeshLoadTest, ASkinnedMeshKeepsAFixedBoxAndLoadsNoLightMaps) {
    ASSERT_TRUE(Qvm_WriteFile("Data/figure.qvm", MeshBuild_Figure(2)));
    auto* lightMap = new CQVTextureItem;
    g_Library.SetItem(9, lightMap);
    SubsetInfo info;
    info.lightMapId = 9;
    CQVMeshItem* mesh = Item(1, "figure.qvm", {info});
    ASSERT_EQ(mesh->Load(), 1) << ErrorText();
    EXPECT_EQ(mesh->skinned, 1u);
    EXPECT_FALSE(mesh->bones.empty());
    ASSERT_EQ(mesh->subsetInfos.size(), mesh->subsets.size());
    for (const SubsetInfo& i : mesh->subsetInfos) {
        EXPECT_EQ(i.box.min.x, -200.0f);
        EXPECT_EQ(i.box.max.z, 200.0f);
        EXPECT_EQ(i.sphere.centre.y, 0.0f);
        EXPECT_EQ(i.sphere.radius, 250.0f);
        EXPECT_EQ(i.outerRadius, 250.0f);
    }
    EXPECT_FALSE(lightMap->shared);
}

TEST_F(MeshLoadTest, AnAnbMeshIsOneSubsetOfItsOwnLayout) {
    ASSERT_TRUE(Anb_WriteFile("Data/flag.Anb", MeshBuild_WavingFlag(40, 30, 4, 6)));
    SubsetInfo stored;
    stored.shapeType = 2;
    CQVMeshItem* mesh = Item(1, "flag.Anb", {stored, stored});
    ASSERT_EQ(mesh->Load(), 1) << ErrorText();
    ASSERT_EQ(mesh->subsets.size(), 1u);
    const MeshSubset& s = mesh->subsets[0];
    EXPECT_EQ(s.name, "Subset 1");
    EXPECT_EQ(s.vertexFormat, 0x112u);
    EXPECT_EQ(s.stride, 32u);
    EXPECT_EQ(s.frameCount, 6u);
    EXPECT_EQ(Mesh_GetFrameCount(mesh), 6u);
    // The records start again from one default record, which takes the bounds.
    ASSERT_EQ(mesh->subsetInfos.size(), 1u);
    EXPECT_EQ(mesh->subsetInfos[0].shapeType, 0u);
    EXPECT_EQ(mesh->subsetInfos[0].shapeParam, 4u);
    EXPECT_EQ(std::memcmp(&mesh->subsetInfos[0].box, &s.box, sizeof(Box)), 0);
    EXPECT_GT(s.box.max.x - s.box.min.x, 39.0f);
    EXPECT_GT(s.outerRadius, 0.0f);
}

TEST_F(MeshLoadTest, OtherFilesFailOrReadNothing) {
    // ".x" reads nothing and succeeds with the subsets it has (none here).
    CQVMeshItem* x = Item(1, "old.X", {SubsetInfo{}});
    EXPECT_EQ(x->Load(), 1);
    EXPECT_TRUE(x->subsets.empty());
    EXPECT_TRUE(x->subsetInfos.empty());

    CQVMeshItem* other = Item(2, "mesh.obj");
    EXPECT_EQ(other->Load(), 0);
    EXPECT_STREQ(ErrorText(), "Error Unsupported format");
    EXPECT_FALSE(other->loaded);

    // A damaged file fails with nothing to draw, and is tried again at the next use.
    std::vector<uint8_t> bytes = Qvm_Write(Crates());
    bytes.resize(bytes.size() - 5);
    ASSERT_TRUE(MeshFile_Save("Data/crates.qvm", bytes));
    CQVMeshItem* damaged = Item(3, "crates.qvm");
    EXPECT_EQ(damaged->Load(), 0);
    EXPECT_STREQ(ErrorText(), "Error Can't Load Mesh");
    EXPECT_FALSE(damaged->loaded);
    EXPECT_TRUE(damaged->subsets.empty());
    ASSERT_TRUE(Qvm_WriteFile("Data/crates.qvm", Crates()));
    EXPECT_EQ(damaged->Load(), 1);
    EXPECT_EQ(damaged->subsets.size(), 2u);

    // The graphics layer's text for an ".anb" file that is not there.
    CQVMeshItem* missing = Item(4, "gone.anb");
    EXPECT_EQ(missing->Load(), 0);
    EXPECT_EQ(std::string(ErrorText()).rfind("Can\xB4t open file: ", 0), 0u) << ErrorText();
    EXPECT_TRUE(missing->subsets.empty());

    EXPECT_EQ(engine()->LoadMesh(nullptr), 0);
    EXPECT_STREQ(ErrorText(), "Error: Load Mesh From File");
    EXPECT_EQ(engine()->ReadMeshFile(nullptr, "Data/crates.qvm", 0), 0);
    EXPECT_STREQ(ErrorText(), "Error Can't Load Mesh");
}

TEST_F(MeshLoadTest, BoundsThroughAMatrixAndWithoutSubsets) {
    ASSERT_TRUE(Qvm_WriteFile("Data/crates.qvm", Crates()));
    CQVMeshItem* mesh = Item(1, "crates.qvm");
    // The accessors load the mesh first.
    Matrix move;
    Mat4_Translation(&move, 100.0f, 0.0f, 0.0f);
    const Box moved = Mesh_ComputeBounds(mesh, 1, &move);
    EXPECT_TRUE(mesh->loaded);
    EXPECT_EQ(moved.min.x, 110.0f);
    EXPECT_EQ(moved.max.x, 112.0f);
    const Sphere sphere = Mesh_ComputeSphere(mesh, 0);
    EXPECT_FLOAT_EQ(sphere.centre.x, 1.5f);
    EXPECT_FLOAT_EQ(sphere.radius, 0.5f * std::sqrt(25.0f + 49.0f + 81.0f));
    EXPECT_EQ(Mesh_GetFrameCount(mesh), 1u);
    const Box none = Mesh_ComputeBounds(mesh, 7, nullptr);
    EXPECT_EQ(none.max.x, 0.0f);

    // Without subsets the stored record's box answers, moved by the matrix
    // (a loaded mesh: loading an ".x" mesh would drop the records).
    SubsetInfo stored;
    stored.box = Box{{-1, -1, -1}, {1, 1, 1}};
    CQVMeshItem* x = Item(2, "placeholder.x", {stored});
    x->loaded = 1;
    x->frameWord = 12;
    Matrix turn;
    Mat4_RotationY(&turn, 0.7853982f);
    const Box turned = Mesh_ComputeBounds(x, 0, &turn);
    EXPECT_NEAR(turned.max.x, std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(turned.min.z, -std::sqrt(2.0f), 1e-5f);
    EXPECT_EQ(Mesh_GetFrameCount(x), 12u);

    EXPECT_EQ(Mesh_ComputeBounds(nullptr, 0, nullptr).max.x, 0.0f);
    EXPECT_EQ(Mesh_ComputeSphere(nullptr, 0).radius, 0.0f);
    EXPECT_EQ(Mesh_GetFrameCount(nullptr), 0u);
}

TEST_F(MeshLoadTest, ShapeRecordsAndLookupsThroughTheMesh) {
    // A floor of two triangles, 100 wide, at height 5, as a walkable surface.
    MeshGeometry floor;
    const Vector3 corners[4] = {{0, 5, 0}, {100, 5, 0}, {100, 5, 100}, {0, 5, 100}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    floor.AddQuad(corners, Vector3(0, 1, 0), uv);
    ASSERT_TRUE(Qvm_WriteFile("Data/floor.qvm", MeshBuild_RigidFile({MeshBuild_ToSubset(floor, true)})));
    SubsetInfo info;
    info.shapeType = 4;
    info.shapeParam = 7;
    CQVMeshItem* mesh = Item(1, "floor.qvm", {info});

    EXPECT_EQ(Mesh_GetShapeCount(mesh), 1u);
    EXPECT_EQ(Mesh_GetShapeType(mesh, 0), 4u);
    EXPECT_EQ(Mesh_GetShapeParam(mesh, 0), 7u);
    EXPECT_EQ(Mesh_GetShapeParam(nullptr, 0), 4u);
    Mesh_SetShapeSphere(mesh, 0, Sphere{{1, 2, 3}, 4});
    Sphere sphere{};
    Mesh_GetShapeSphere(mesh, 0, &sphere);
    EXPECT_EQ(sphere.radius, 4.0f);
    Mesh_GetShapeSphere(nullptr, 0, &sphere);
    EXPECT_EQ(sphere.radius, 0.0f);
    Box box{{9, 9, 9}, {9, 9, 9}};
    Mesh_GetShapeBox(nullptr, 0, &box);
    EXPECT_EQ(box.max.x, 0.0f);

    // A sphere of radius 10 sunk 3 into the floor is pushed back up to it.
    Vector3 push;
    EXPECT_EQ(Mesh_SweepSphere(mesh, 0, Vector3(50, 12, 50), 10.0f, &push, 0), 1);
    EXPECT_TRUE(mesh->loaded);
    EXPECT_NE(mesh->subsets[0].shapeData, nullptr);
    EXPECT_NEAR(push.y, -3.0001f, 1e-4f);
    EXPECT_EQ(Mesh_SweepSphere(mesh, 0, Vector3(150, 12, 50), 10.0f, &push, 0), 0);

    Vector3 point;
    uint32_t triangle = 99;
    EXPECT_EQ(Mesh_FindSurfacePoint(mesh, 0xFFFFFFFF, 0, Vector3(80, 40, 20), &point, 0, &triangle), 1);
    EXPECT_NEAR(point.y, 5.0f, 1e-4f);
    EXPECT_LT(triangle, 2u);

    // The lookup on the subset's own 40-byte vertices, its cache kept between calls.
    Vector3 normal;
    uint32_t cache = 0;
    EXPECT_EQ(Mesh_IntersectSubset(mesh, 0, 0, Vector3(90, 0, 10), &point, &normal, &cache), 1);
    EXPECT_NEAR(point.y, 5.0f, 1e-4f);
    EXPECT_EQ(normal.y, 1.0f);
    const uint32_t found = cache;
    EXPECT_EQ(Mesh_IntersectSubset(mesh, 0, 0, Vector3(10, 0, 90), nullptr, nullptr, &cache), 1);
    EXPECT_NE(cache, found);
    EXPECT_EQ(Mesh_IntersectSubset(mesh, 0, 0, Vector3(-10, 0, 90), nullptr, nullptr, &cache), 0);
    EXPECT_EQ(Mesh_IntersectSubset(mesh, 3, 0, Vector3(10, 0, 90), nullptr, nullptr, &cache), 0);

    Mesh_FreeShapeData(mesh, 0);
    EXPECT_EQ(mesh->subsets[0].shapeData, nullptr);
    Mesh_BuildShapeData(mesh, 0);
    EXPECT_NE(mesh->subsets[0].shapeData, nullptr);
    // Releasing a library mesh frees its collision data and leaves the mesh in the library.
    engine()->ReleaseMesh(mesh);
    EXPECT_EQ(g_Library.At(1), mesh);
    EXPECT_EQ(mesh->subsets[0].shapeData, nullptr);
}

}  // namespace
