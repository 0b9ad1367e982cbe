// The ".anb" reader: parts merged into one subset, one drawn vertex per
// texture coordinate, every frame expanded into one vertex buffer.

#include "services/mesh/MeshFile.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tools/content/MeshBuild.h"

namespace {

struct DrawnVertex {
    float x, y, z, nx, ny, nz, u, v;
};
static_assert(sizeof(DrawnVertex) == 32);

// Vertex i of a part in frame f sits at (100 f + 10 part + i, f, part).
AnbVertex Source(uint32_t f, uint32_t part, uint32_t i) {
    const float x = static_cast<float>(100 * f + 10 * part + i);
    return {Vector3(x, static_cast<float>(f), static_cast<float>(part)), Vector3(0, 0, -1)};
}

// Two parts over three frames. Part 0 draws its texture coordinate 1 from
// vertex 1 and later from vertex 0, and coordinate 0 from vertex 0 and later
// from vertex 1; part 1 shares its vertex 1 between two coordinates.
AnbFile TwoParts() {
    AnbFile file;
    file.parts.resize(2);
    AnbPart& a = file.parts[0];
    AnbPart& b = file.parts[1];
    for (uint32_t f = 0; f < 3; ++f) {
        a.frames.push_back({Source(f, 0, 0), Source(f, 0, 1), Source(f, 0, 2)});
        b.frames.push_back({Source(f, 1, 0), Source(f, 1, 1)});
    }
    a.texCoords = {{0.0f, 0.5f}, {0.1f, 0.5f}, {0.2f, 0.5f}, {0.3f, 0.5f}};
    a.vertexIndices = {0, 1, 2, 2, 0, 1};
    a.texIndices = {0, 1, 2, 3, 1, 0};
    b.texCoords = {{0.4f, 0.5f}, {0.5f, 0.5f}, {0.6f, 0.5f}};
    b.vertexIndices = {0, 1, 1};
    b.texIndices = {0, 1, 2};
    return file;
}

class AnbFileTest : public MeshDeviceTest {
protected:
    PlatformVertexBuffer* vb = nullptr;
    PlatformIndexBuffer* ib = nullptr;
    uint32_t frames = 0, triangles = 0, vertices = 0;

    void TearDown() override {
        if (vb) vb->Release();
        if (ib) ib->Release();
        MeshDeviceTest::TearDown();
    }
    int Read(const char* path) {
        return CQVGraphics::GetInstance()->ReadAnbMesh(path, &vb, &ib, &frames, &triangles, &vertices);
    }
    const DrawnVertex* Drawn() const { return reinterpret_cast<const DrawnVertex*>(vb->bytes.data()); }
};

TEST_F(AnbFileTest, ExpandsEveryFrameOneDrawnVertexPerTextureCoordinate) {
    ASSERT_TRUE(Anb_WriteFile("two.anb", TwoParts()));
    ASSERT_EQ(Read("two.anb"), 1) << CQVGraphics::GetInstance()->GetErrorText();
    EXPECT_EQ(frames, 3u);
    EXPECT_EQ(triangles, 3u);
    EXPECT_EQ(vertices, 7u);
    EXPECT_EQ(ib->bytes, AsBytes(std::vector<uint16_t>{0, 1, 2, 3, 1, 0, 4, 5, 6}));
    EXPECT_EQ(ib->pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(vb->fvf, kAnbVertexFormat);
    EXPECT_EQ(vb->pool, D3DPOOL_MANAGED);
    ASSERT_EQ(vb->bytes.size(), 3u * 7u * 32u);

    // Part and vertex each drawn vertex ends with: the last corner wins.
    const uint32_t sourcePart[7] = {0, 0, 0, 0, 1, 1, 1};
    const uint32_t sourceVertex[7] = {1, 0, 2, 2, 0, 1, 1};
    for (uint32_t f = 0; f < 3; ++f) {
        for (uint32_t t = 0; t < 7; ++t) {
            const DrawnVertex& d = Drawn()[f * 7 + t];
            const AnbVertex expected = Source(f, sourcePart[t], sourceVertex[t]);
            EXPECT_EQ(d.x, expected.position.x) << "frame " << f << ", vertex " << t;
            EXPECT_EQ(d.y, expected.position.y);
            EXPECT_EQ(d.z, expected.position.z);
            EXPECT_EQ(d.nz, -1.0f);
            EXPECT_FLOAT_EQ(d.u, 0.1f * static_cast<float>(t));
            EXPECT_EQ(d.v, 0.5f);
        }
    }
}

TEST_F(AnbFileTest, OneFrameFillsOneBlock) {
    const AnbFile flag = MeshBuild_WavingFlag(100, 60, 4, 1);
    ASSERT_TRUE(Anb_WriteFile("flag.anb", flag));
    ASSERT_EQ(Read("flag.anb"), 1) << CQVGraphics::GetInstance()->GetErrorText();
    EXPECT_EQ(frames, 1u);
    EXPECT_EQ(vertices, 25u);
    EXPECT_EQ(triangles, 32u);
    ASSERT_EQ(vb->bytes.size(), 25u * 32u);
    for (uint32_t i = 0; i < 25; ++i) {
        EXPECT_EQ(Drawn()[i].x, flag.parts[0].frames[0][i].position.x);
        EXPECT_EQ(Drawn()[i].u, flag.parts[0].texCoords[i].x);
    }
}

TEST_F(AnbFileTest, AMissingFileNamesItsPath) {
    EXPECT_EQ(Read("gone.anb"), 0);
    EXPECT_STREQ(CQVGraphics::GetInstance()->GetErrorText(), "Can\xB4t open file: gone.anb");
    EXPECT_EQ(vb, nullptr);
}

struct AnbDamage {
    const char* name;
    void (*apply)(AnbFile* file);
};
void PrintTo(const AnbDamage& damage, std::ostream* out) { *out << damage.name; }

const AnbDamage kAnbDamages[] = {
    {"VertexIndexOutsideItsPart", [](AnbFile* f) { f->parts[1].vertexIndices[2] = 2; }},
    {"TextureIndexOutsideItsPart", [](AnbFile* f) { f->parts[0].texIndices[4] = 4; }},
};

class AnbDamaged : public AnbFileTest, public testing::WithParamInterface<AnbDamage> {};

TEST_P(AnbDamaged, FailsWithNoBuffers) {
    AnbFile file = TwoParts();
    GetParam().apply(&file);
    ASSERT_TRUE(Anb_WriteFile("bad.anb", file));
    EXPECT_EQ(Read("bad.anb"), 0);
    EXPECT_STREQ(CQVGraphics::GetInstance()->GetErrorText(), "Error Can't Load Mesh");
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(ib, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnbDamaged, testing::ValuesIn(kAnbDamages),
                         [](const testing::TestParamInfo<AnbDamage>& info) { return std::string(info.param.name); });

TEST_F(AnbFileTest, EveryShortenedFileFails) {
    const std::vector<uint8_t> bytes = Anb_Write(TwoParts());
    for (size_t size = 0; size < bytes.size(); ++size) {
        ASSERT_TRUE(MeshFile_Save("short.anb", std::vector<uint8_t>(bytes.begin(), bytes.begin() + size)));
        ASSERT_EQ(Read("short.anb"), 0) << size << " bytes";
        ASSERT_EQ(vb, nullptr);
    }
}

TEST_F(AnbFileTest, CountsTheFileCannotHoldFail) {
    const std::vector<uint8_t> bytes = Anb_Write(TwoParts());
    // Frame count (none, or more than the file holds), part count, then part
    // 0's vertex, coordinate and triangle counts.
    const std::pair<size_t, uint32_t> cases[] = {
        {0, 0}, {0, 0x7FFFFFF0}, {4, 0x7FFFFFF0}, {8, 0x7FFFFFF0}, {12, 0x7FFFFFF0}, {16, 0x7FFFFFF0}};
    for (const auto& [offset, value] : cases) {
        std::vector<uint8_t> damaged = bytes;
        std::memcpy(damaged.data() + offset, &value, 4);
        ASSERT_TRUE(MeshFile_Save("huge.anb", damaged));
        EXPECT_EQ(Read("huge.anb"), 0) << offset;
        EXPECT_STREQ(CQVGraphics::GetInstance()->GetErrorText(), "Error Can't Load Mesh");
        EXPECT_EQ(vb, nullptr);
    }
}

}  // namespace
