// The ".qvm" reader against files the content tools write.

#include "kernel/base/NameTable.h"
#include "services/mesh/MeshFile.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tools/content/MeshBuild.h"

#include <functional>

namespace {

struct LoadedMesh {
    uint32_t skinned = 0xABCD;
    std::vector<MeshSubset> subsets;
    std::vector<Bone*> bones;
    ~LoadedMesh() { Bones_Clear(&bones); }
    int Read(const char* path) { return MeshFile_ReadQvm(path, &skinned, &subsets, &bones); }
};

QvmSubset TwoVertexSubset() {
    QvmSubset subset;
    subset.vertexFormat = D3DFVF_XYZ;
    subset.stride = 12;
    subset.vertexCount = 2;
    const float positions[] = {1, 2, 3, 5, -2, 9};
    subset.vertices.assign(reinterpret_cast<const uint8_t*>(positions),
                           reinterpret_cast<const uint8_t*>(positions) + sizeof positions);
    return subset;
}

class QvmFileTest : public MeshDeviceTest {};

TEST_F(QvmFileTest, ASubsetOfTwoVerticesGetsTheDefaultNameAndItsBounds) {
    ASSERT_TRUE(Qvm_WriteFile("two.qvm", MeshBuild_RigidFile({TwoVertexSubset()})));
    LoadedMesh mesh;
    ASSERT_EQ(mesh.Read("two.qvm"), 1) << ErrorText();
    EXPECT_EQ(mesh.skinned, 0u);
    ASSERT_EQ(mesh.subsets.size(), 1u);
    const MeshSubset& s = mesh.subsets[0];
    EXPECT_EQ(s.name, "Subset 1");
    EXPECT_EQ(s.vertexFormat, D3DFVF_XYZ);
    EXPECT_EQ(s.stride, 12u);
    EXPECT_EQ(s.vertexCount, 2u);
    EXPECT_EQ(s.triangleCount, 0u);
    EXPECT_EQ(s.frameCount, 1u);
    EXPECT_EQ(s.indexBuffer, nullptr);
    EXPECT_EQ(s.boundsPending, 1u);
    EXPECT_EQ(s.skin, nullptr);
    EXPECT_EQ(s.box.min.x, 1.0f);
    EXPECT_EQ(s.box.min.y, -2.0f);
    EXPECT_EQ(s.box.min.z, 3.0f);
    EXPECT_EQ(s.box.max.x, 5.0f);
    EXPECT_EQ(s.box.max.y, 2.0f);
    EXPECT_EQ(s.box.max.z, 9.0f);
    EXPECT_EQ(s.sphere.centre.x, 3.0f);
    EXPECT_EQ(s.sphere.centre.y, 0.0f);
    EXPECT_EQ(s.sphere.centre.z, 6.0f);
    EXPECT_FLOAT_EQ(s.sphere.radius, std::sqrt(17.0f));
    EXPECT_FLOAT_EQ(s.outerRadius, std::sqrt(45.0f) + std::sqrt(17.0f));
}

// Every version and kind of file the tools write reads back field for field.
struct FileKind {
    const char* name;
    uint32_t version;
    bool skinned;
};
void PrintTo(const FileKind& kind, std::ostream* out) { *out << kind.name; }

class QvmRoundTrip : public MeshDeviceTest, public testing::WithParamInterface<FileKind> {};

TEST_P(QvmRoundTrip, ReadsWhatTheToolsWrote) {
    const FileKind kind = GetParam();
    QvmFile file;
    if (kind.skinned) {
        file = MeshBuild_Figure(kind.version);
    } else {
        file.version = kind.version;
        QvmSubset box = MeshBuild_ToSubset(MeshBuild_Box(Vector3(-1, -2, -3), Vector3(4, 5, 6)), false);
        box.name = "Crate";
        box.fileWord = 77;
        QvmSubset floor = MeshBuild_ToSubset(MeshBuild_Terrain(Vector3(0, 0, 0), 100, 4, MeshBuild_Hills(5, 1)), true);
        floor.name = "Floor";
        file.subsets = {std::move(box), std::move(floor)};
    }
    ASSERT_TRUE(Qvm_WriteFile("mesh.qvm", file));
    LoadedMesh mesh;
    ASSERT_EQ(mesh.Read("mesh.qvm"), 1) << ErrorText();
    EXPECT_EQ(mesh.skinned, kind.skinned ? 1u : 0u);

    ASSERT_EQ(mesh.subsets.size(), file.subsets.size());
    for (size_t i = 0; i < file.subsets.size(); ++i) {
        const QvmSubset& written = file.subsets[i];
        const MeshSubset& read = mesh.subsets[i];
        EXPECT_EQ(read.name, written.name);
        EXPECT_EQ(read.fileWord, written.fileWord);
        EXPECT_EQ(read.vertexFormat, written.vertexFormat);
        EXPECT_EQ(read.stride, written.stride);
        EXPECT_EQ(read.vertexCount, written.vertexCount);
        EXPECT_EQ(read.triangleCount, written.indices.size() / 3);
        EXPECT_EQ(BufferBytes(read.vertexBuffer), written.vertices);
        EXPECT_EQ(BufferBytes(read.indexBuffer), AsBytes(written.indices));
        EXPECT_EQ(read.vertexBuffer->fvf, written.vertexFormat);
        EXPECT_EQ(read.vertexBuffer->pool, D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(read.indexBuffer->format, D3DFMT_INDEX16);
        if (kind.skinned) {
            ASSERT_NE(read.skin, nullptr);
            EXPECT_EQ(std::memcmp(read.skin.get(), written.skin.data(), written.skin.size() * sizeof(SkinVertex)), 0);
        } else {
            EXPECT_EQ(read.skin, nullptr);
        }
    }
    if (!kind.skinned) {
        EXPECT_EQ(mesh.subsets[0].box.min.y, -2.0f);
        EXPECT_EQ(mesh.subsets[0].box.max.z, 6.0f);
        EXPECT_EQ(mesh.subsets[1].stride, 40u);  // light-mapped: two texture pairs
    }

    ASSERT_EQ(mesh.bones.size(), file.bones.size());
    for (size_t b = 0; b < file.bones.size(); ++b) {
        const Bone& bone = *mesh.bones[b];
        EXPECT_STREQ(g_NameTable.GetName(bone.nameId), file.bones[b].name.c_str());
        EXPECT_EQ(bone.parent, file.bones[b].parent);
        EXPECT_EQ(std::memcmp(&bone.offset, &file.bones[b].offset, sizeof(Matrix)), 0);
        EXPECT_EQ(bone.layers[2].rotation.w, 1.0f);
        // Children in bone order.
        std::vector<Bone*> children;
        for (Bone* other : mesh.bones)
            if (other->parent == static_cast<int32_t>(b)) children.push_back(other);
        EXPECT_EQ(bone.children, children);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, QvmRoundTrip,
                         testing::Values(FileKind{"RigidVersion1", 1, false}, FileKind{"RigidVersion2", 2, false},
                                         FileKind{"SkinnedVersion1", 1, true}, FileKind{"SkinnedVersion2", 2, true}),
                         [](const testing::TestParamInfo<FileKind>& info) { return std::string(info.param.name); });

TEST_F(QvmFileTest, EmptySubsetsHaveNoBuffersAndReadNothing) {
    QvmSubset noTriangles = TwoVertexSubset();
    QvmSubset nothing;
    nothing.name = "Empty";
    QvmSubset last = TwoVertexSubset();
    last.name = "Last";
    ASSERT_TRUE(Qvm_WriteFile("empty.qvm", MeshBuild_RigidFile({noTriangles, nothing, last})));
    LoadedMesh mesh;
    ASSERT_EQ(mesh.Read("empty.qvm"), 1) << ErrorText();
    ASSERT_EQ(mesh.subsets.size(), 3u);
    EXPECT_NE(mesh.subsets[0].vertexBuffer, nullptr);
    EXPECT_EQ(mesh.subsets[0].indexBuffer, nullptr);
    EXPECT_EQ(mesh.subsets[1].vertexBuffer, nullptr);
    EXPECT_EQ(mesh.subsets[1].indexBuffer, nullptr);
    EXPECT_EQ(mesh.subsets[1].name, "Empty");
    EXPECT_EQ(mesh.subsets[1].box.max.x, 0.0f);
    EXPECT_EQ(mesh.subsets[2].name, "Last");
    EXPECT_EQ(mesh.subsets[2].box.max.z, 9.0f);
}

TEST_F(QvmFileTest, EveryFrameOfTheVerticesCountsForTheBounds) {
    QvmSubset subset = TwoVertexSubset();
    subset.frameCount = 2;
    const float second[] = {-7, 0, 0, 0, 11, 0};
    subset.vertices.insert(subset.vertices.end(), reinterpret_cast<const uint8_t*>(second),
                           reinterpret_cast<const uint8_t*>(second) + sizeof second);
    ASSERT_TRUE(Qvm_WriteFile("frames.qvm", MeshBuild_RigidFile({subset})));
    LoadedMesh mesh;
    ASSERT_EQ(mesh.Read("frames.qvm"), 1) << ErrorText();
    EXPECT_EQ(mesh.subsets[0].frameCount, 2u);
    EXPECT_EQ(mesh.subsets[0].vertexBuffer->bytes.size(), 48u);
    EXPECT_EQ(mesh.subsets[0].box.min.x, -7.0f);
    EXPECT_EQ(mesh.subsets[0].box.max.y, 11.0f);
}

TEST_F(QvmFileTest, AMissingFileNamesItsPath) {
    LoadedMesh mesh;
    EXPECT_EQ(mesh.Read("nowhere.qvm"), 0);
    EXPECT_STREQ(ErrorText(), "Error Opening File: nowhere.qvm");
}

// Damaged files: each case changes a good skinned file in one way. The load
// fails with the mesh error text and leaves no geometry behind.
struct Damage {
    const char* name;
    std::function<void(QvmFile*)> apply;
};
void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

void SetWord(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes->data() + offset, &value, 4);
}

const Damage kDamages[] = {
    {"ParentOutsideTheBones", [](QvmFile* f) { f->bones[3].parent = 40; }},
    {"ParentBelowMinusOne", [](QvmFile* f) { f->bones[3].parent = -2; }},
    {"BoneItsOwnParent", [](QvmFile* f) { f->bones[5].parent = 5; }},
    {"BonesInARing", [](QvmFile* f) {
         f->bones[1].parent = 2;
         f->bones[2].parent = 1;
     }},
    {"IndexPastTheVertices", [](QvmFile* f) { f->subsets[0].indices[7] = static_cast<uint16_t>(f->subsets[0].vertexCount); }},
    {"SkinBonePastTheBones", [](QvmFile* f) { f->subsets[0].skin[9].bones[0] = static_cast<uint8_t>(f->bones.size()); }},
    {"FiveInfluences", [](QvmFile* f) { f->subsets[0].skin[3].influenceCount = 5; }},
    {"StrideShorterThanTheFormat", [](QvmFile* f) {
         QvmSubset& s = f->subsets[0];
         s.stride = 24;
         s.vertices.resize(24 * s.vertexCount);
     }},
    {"UnknownVertexFormat", [](QvmFile* f) { f->subsets[0].vertexFormat = D3DFVF_NORMAL; }},
    {"NoFrames", [](QvmFile* f) {
         f->subsets[0].frameCount = 0;
         f->subsets[0].vertices.clear();
     }},
    {"TrianglesWithoutVertices", [](QvmFile* f) {
         QvmSubset& s = f->subsets[0];
         s.vertexCount = 0;
         s.vertices.clear();
         s.skin.clear();
     }},
    {"Version3", [](QvmFile* f) { f->version = 3; }},
    {"Version0", [](QvmFile* f) { f->version = 0; }},
};

class QvmDamage : public MeshDeviceTest, public testing::WithParamInterface<Damage> {};

TEST_P(QvmDamage, FailsWithNoGeometry) {
    QvmFile file = MeshBuild_Figure(2);
    GetParam().apply(&file);
    ASSERT_TRUE(Qvm_WriteFile("bad.qvm", file));
    LoadedMesh mesh;
    mesh.subsets.resize(2);
    mesh.bones.push_back(new Bone());
    EXPECT_EQ(mesh.Read("bad.qvm"), 0);
    EXPECT_STREQ(ErrorText(), "Error Can't Load Mesh");
    EXPECT_TRUE(mesh.subsets.empty());
    EXPECT_TRUE(mesh.bones.empty());
    EXPECT_EQ(mesh.skinned, 0xABCDu);
}

INSTANTIATE_TEST_SUITE_P(Cases, QvmDamage, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST_F(QvmFileTest, AVersion1SkinnedFileNeedsTheSecondSubset) {
    QvmFile file = MeshBuild_Figure(1);
    std::vector<uint8_t> bytes = Qvm_Write(file);
    // The subset count follows the bones and nine words; a count of one leaves the skin records out.
    size_t countOffset = 8 + 12;
    for (const QvmBone& bone : file.bones) countOffset += 4 + bone.name.size() + 4 + 64 + 8;
    countOffset += 36;
    uint32_t count;
    std::memcpy(&count, bytes.data() + countOffset, 4);
    ASSERT_EQ(count, 2u);
    SetWord(&bytes, countOffset, 1);
    ASSERT_TRUE(MeshFile_Save("one.qvm", bytes));
    LoadedMesh mesh;
    EXPECT_EQ(mesh.Read("one.qvm"), 0);
    EXPECT_STREQ(ErrorText(), "Error Can't Load Mesh");
}

TEST_F(QvmFileTest, HugeCountsFailBeforeAnythingIsMade) {
    std::vector<uint8_t> bytes = Qvm_Write(MeshBuild_RigidFile({TwoVertexSubset()}));
    const size_t subsetCount = 8 + 36;
    const size_t vertexCount = subsetCount + 4 + 4 + 4 + 8 + 16;
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint32_t>>{
             {subsetCount, 0xFFFFFFFF}, {vertexCount, 0x40000000}, {vertexCount - 4, 0x7FFFFFFF},
             {vertexCount - 8, 0xFFFFFFFF}, {vertexCount - 12, 0x10000000}}) {
        std::vector<uint8_t> damaged = bytes;
        SetWord(&damaged, offset, value);
        ASSERT_TRUE(MeshFile_Save("huge.qvm", damaged));
        LoadedMesh mesh;
        EXPECT_EQ(mesh.Read("huge.qvm"), 0) << offset;
        EXPECT_STREQ(ErrorText(), "Error Can't Load Mesh");
    }
}

TEST_F(QvmFileTest, EveryShortenedFileFails) {
    for (uint32_t version : {1u, 2u}) {
        QvmFile file = MeshBuild_Figure(version);
        file.bones.resize(3);
        file.subsets[0].skin.resize(24);
        for (SkinVertex& s : file.subsets[0].skin) s.bones[1] = 0;
        QvmSubset& s = file.subsets[0];
        s.vertexCount = 24;
        s.vertices.resize(24 * s.stride);
        s.indices.resize(36);
        const std::vector<uint8_t> bytes = Qvm_Write(file);
        ASSERT_TRUE(MeshFile_Save("whole.qvm", bytes));
        LoadedMesh good;
        ASSERT_EQ(good.Read("whole.qvm"), 1) << ErrorText();
        for (size_t size = 0; size < bytes.size(); ++size) {
            ASSERT_TRUE(MeshFile_Save("short.qvm", std::vector<uint8_t>(bytes.begin(), bytes.begin() + size)));
            LoadedMesh mesh;
            ASSERT_EQ(mesh.Read("short.qvm"), 0) << "version " << version << ", " << size << " bytes";
            ASSERT_TRUE(mesh.subsets.empty());
        }
    }
}

}  // namespace
