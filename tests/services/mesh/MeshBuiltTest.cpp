// Meshes built from arrays: the three vertex layouts byte for byte, bad
// arguments, rewriting the vertices, and releasing.

#include "services/library/Library.h"
#include "services/mesh/MeshAccess.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"

namespace {

const Vector3 kPositions[3] = {{0, 0, 0}, {4, 0, 0}, {0, 6, -2}};
const Vector3 kNormals[3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
const uint32_t kColors[3] = {0xFF102030, 0x80FFFFFF, 0x00000001};
const Vector2 kUv[3] = {{0, 0}, {1, 0}, {0.5f, 1}};
const uint16_t kIndices[3] = {0, 1, 2};

// One vertex of a layout, as floats and words in order.
struct Layout {
    const char* name;
    bool normals, colors;
    uint32_t fvf, stride;
};
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

std::vector<uint8_t> Expected(const Layout& layout, const Vector3* positions, const Vector3* normals,
                              const uint32_t* colors, const Vector2* uv) {
    std::vector<uint8_t> bytes;
    auto put = [&](const void* p, size_t n) {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    const uint32_t white = 0xFFFFFFFF;
    for (int v = 0; v < 3; ++v) {
        put(&positions[v], 12);
        if (layout.fvf != kBuiltFvfColor) put(&normals[v], 12);
        if (layout.fvf != kBuiltFvfNormal) put(colors != nullptr ? &colors[v] : &white, 4);
        put(&uv[v], 8);
    }
    return bytes;
}

class MeshBuilt : public MeshDeviceTest, public testing::WithParamInterface<Layout> {
protected:
    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }
};

TEST_P(MeshBuilt, HoldsTheArraysInItsLayoutAndRewritesThem) {
    const Layout& layout = GetParam();
    const uint32_t* colors = layout.colors ? kColors : nullptr;  // white without
    CQVMeshItem* mesh = engine()->CreateMesh(kPositions, layout.normals ? kNormals : nullptr,
                                             colors, kUv, kIndices, 3, 1);
    ASSERT_NE(mesh, nullptr) << ErrorText();
    EXPECT_TRUE(mesh->loaded);
    EXPECT_FALSE(mesh->shared);
    ASSERT_EQ(mesh->subsets.size(), 1u);
    ASSERT_EQ(mesh->subsetInfos.size(), 1u);
    const MeshSubset& s = mesh->subsets[0];
    EXPECT_EQ(s.name, "Subset 1");
    EXPECT_EQ(s.vertexFormat, layout.fvf);
    EXPECT_EQ(s.stride, layout.stride);
    EXPECT_EQ(s.frameCount, 1u);
    EXPECT_EQ(s.vertexCount, 3u);
    EXPECT_EQ(s.triangleCount, 1u);
    EXPECT_EQ(s.vertexBuffer->pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(s.vertexBuffer->usage, static_cast<uint32_t>(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY));
    EXPECT_EQ(BufferBytes(s.vertexBuffer), Expected(layout, kPositions, kNormals, colors, kUv));
    EXPECT_EQ(BufferBytes(s.indexBuffer), std::vector<uint8_t>({0, 0, 1, 0, 2, 0}));
    EXPECT_EQ(s.box.min.z, -2.0f);
    EXPECT_EQ(s.box.max.y, 6.0f);
    EXPECT_FLOAT_EQ(s.sphere.radius, 0.5f * std::sqrt(16.0f + 36.0f + 4.0f));

    // New positions only: the other slots keep their values.
    const Vector3 moved[3] = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
    Mesh_WriteVertices(mesh, moved, nullptr, nullptr, nullptr, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(BufferBytes(s.vertexBuffer), Expected(layout, moved, kNormals, colors, kUv));
    // Everything the layout has, and fewer vertices and triangles.
    const Vector3 turned[3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    const uint32_t grey[3] = {0xFF808080, 0xFF808080, 0xFF808080};
    const Vector2 uv[3] = {{0.25f, 0.25f}, {0.5f, 0.5f}, {0.75f, 0.75f}};
    Mesh_WriteVertices(mesh, moved, turned, grey, uv, 2, 0);
    EXPECT_EQ(s.vertexCount, 2u);
    EXPECT_EQ(s.triangleCount, 0u);
    std::vector<uint8_t> expected = Expected(layout, moved, turned, layout.colors ? grey : nullptr, uv);
    const std::vector<uint8_t> old = Expected(layout, moved, kNormals, colors, kUv);
    std::copy(old.begin() + 2 * layout.stride, old.end(), expected.begin() + 2 * layout.stride);
    if (layout.fvf == kBuiltFvfColor) {
        // The colour slot is written even without normals.
        std::vector<uint8_t> withGrey = Expected(layout, moved, turned, grey, uv);
        std::copy(withGrey.begin(), withGrey.begin() + 2 * layout.stride, expected.begin());
    }
    EXPECT_EQ(BufferBytes(s.vertexBuffer), expected);
    // More than the buffers hold: refused, nothing written.
    const std::vector<uint8_t> before = BufferBytes(s.vertexBuffer);
    Mesh_WriteVertices(mesh, turned, nullptr, nullptr, nullptr, 4, 0xFFFFFFFF);
    Mesh_WriteVertices(mesh, turned, nullptr, nullptr, nullptr, 0xFFFFFFFF, 2);
    EXPECT_EQ(BufferBytes(s.vertexBuffer), before);
    EXPECT_EQ(s.vertexCount, 2u);
    EXPECT_EQ(s.triangleCount, 0u);
    Mesh_WriteVertices(nullptr, turned, nullptr, nullptr, nullptr, 3, 1);

    engine()->ReleaseMesh(mesh);  // not in the library: deleted (the sanitizer sees a leak otherwise)
}

INSTANTIATE_TEST_SUITE_P(Layouts, MeshBuilt,
                         testing::Values(Layout{"NormalsAndColours", true, true, 0x152, 36},
                                         Layout{"Normals", true, false, 0x112, 32},
                                         Layout{"Colours", false, true, 0x142, 24},
                                         Layout{"NeitherColoursWhite", false, false, 0x142, 24}),
                         [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

class MeshBuiltErrors : public MeshDeviceTest {};

TEST_F(MeshBuiltErrors, BadArgumentsMakeNoMesh) {
    CQVEngine* engine = CQVEngine::GetInstance();
    struct Case {
        const Vector3* positions;
        const Vector2* uv;
        const uint16_t* indices;
        uint32_t vertices, triangles;
        const char* error;
    };
    const uint16_t outside[3] = {0, 1, 3};
    const Case cases[] = {
        {nullptr, kUv, kIndices, 3, 1, "Error - Invalid Param!"},
        {kPositions, nullptr, kIndices, 3, 1, "Error - Invalid Param!"},
        {kPositions, kUv, nullptr, 3, 1, "Error - Invalid Param!"},
        // An index past the vertices would draw and collide outside the buffer.
        {kPositions, kUv, outside, 3, 1, "Error - Invalid Param!"},
        // The device makes no empty buffers.
        {kPositions, kUv, kIndices, 3, 0, "Error Index Buffer"},
    };
    for (const Case& c : cases) {
        CQVEngine::SetError("%s", "");
        EXPECT_EQ(engine->CreateMesh(c.positions, kNormals, nullptr, c.uv, c.indices, c.vertices, c.triangles),
                  nullptr);
        EXPECT_STREQ(ErrorText(), c.error);
    }
    // Held meshes stay after a release.
    CQVMeshItem* mesh = engine->CreateMesh(kPositions, kNormals, nullptr, kUv, kIndices, 3, 1);
    ASSERT_NE(mesh, nullptr);
    mesh->shared = 1;
    engine->ReleaseMesh(mesh);
    EXPECT_EQ(mesh->subsets.size(), 1u);
    mesh->shared = 0;
    engine->ReleaseMesh(mesh);
    engine->ReleaseMesh(nullptr);
}

}  // namespace
