// The ".qvm" reader. The file is a run of variable-length fields:
//   u32 version (1 or 2), u32 skinned;
//   skinned only: u32 bone count, two u32 ignored, the bone records
//     (name, i32 parent, 16 f32 offset matrix, two u32 ignored);
//   nine u32 ignored, u32 subset count, the subset records
//     (name, u32 file word, two u32 ignored, u32 FVF, u32 stride, u32 frames,
//      u32 triangles, u32 vertices, the 16-bit indices, the vertices of every
//      frame, and from version 2 on in skinned files one 56-byte skin record
//      per vertex).
// A version-1 skinned file carries the skin records as the vertex data of a
// second subset, which is dropped once they are copied.

#include "services/mesh/MeshFile.h"

#include "kernel/base/Archive.h"
#include "kernel/base/NameTable.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"

#include <new>

namespace {

// A file that breaks its own counts or indices.
int BadMesh() { return CQVEngine::SetError("%s", "Error Can't Load Mesh"); }

// The smallest bone and subset records, so that a count is checked against the bytes left.
constexpr uint32_t kBoneRecordBytes = 4 + 4 + 64 + 8;
constexpr uint32_t kSubsetRecordBytes = 4 + 4 + 8 + 5 * 4;

struct QvmReader {
    CQVArchive archive;
    uint32_t version = 0;
    uint32_t skinned = 0;
    std::vector<Bone*> bones;
    std::vector<std::string> boneNames;
    std::vector<MeshSubset> subsets;

    ~QvmReader() { Bones_Clear(&bones); }

    bool ReadWord(uint32_t* value) { return archive.SerializeDword(value) == 1; }
    bool SkipWords(uint32_t count) {
        uint32_t ignored;
        for (uint32_t i = 0; i < count; ++i)
            if (!ReadWord(&ignored)) return false;
        return true;
    }
    int ReadBones();
    int ReadSubset(MeshSubset* subset, bool drawn);
    int ReadBuffers(MeshSubset* subset);
    int TakeSecondSubsetSkin();
};

// Parents inside the list and no bone its own ancestor, so that walking up
// from any bone ends at a root.
bool BonesFormTrees(const std::vector<Bone*>& bones) {
    const size_t count = bones.size();
    std::vector<uint8_t> state(count, 0);  // 0 unseen, 1 on the current walk, 2 ends at a root
    for (size_t start = 0; start < count; ++start) {
        size_t b = start;
        while (state[b] == 0) {
            state[b] = 1;
            const int32_t parent = bones[b]->parent;
            if (parent == -1) break;
            if (parent < 0 || static_cast<size_t>(parent) >= count) return false;
            b = static_cast<size_t>(parent);
        }
        if (state[b] == 1 && bones[b]->parent != -1) return false;
        for (b = start; state[b] == 1; b = static_cast<size_t>(bones[b]->parent)) {
            state[b] = 2;
            if (bones[b]->parent == -1) break;
        }
    }
    return true;
}

// Influence counts of at most four, each used influence naming a bone.
bool SkinIsValid(const SkinVertex* skin, uint32_t count, size_t boneCount) {
    for (uint32_t v = 0; v < count; ++v) {
        if (skin[v].influenceCount > kMaxSkinInfluences) return false;
        for (uint32_t k = 0; k < skin[v].influenceCount; ++k)
            if (skin[v].bones[k] >= boneCount) return false;
    }
    return true;
}

int QvmReader::ReadBones() {
    uint32_t count = 0;
    if (archive.SerializeCount(&count, kBoneRecordBytes) != 1 || !SkipWords(2)) return BadMesh();
    bones.reserve(count);
    boneNames.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        Bone* bone = new Bone();
        bones.push_back(bone);
        boneNames.emplace_back();
        uint32_t parent = 0;
        if (archive.SerializeString(boneNames.back()) != 1 || !ReadWord(&parent) ||
            archive.SerializeBytes(&bone->offset, sizeof bone->offset) != sizeof bone->offset || !SkipWords(2))
            return BadMesh();
        bone->parent = static_cast<int32_t>(parent);
    }
    if (!BonesFormTrees(bones)) return BadMesh();
    return 1;
}

int QvmReader::ReadSubset(MeshSubset* subset, bool drawn) {
    uint32_t fields[5];
    if (archive.SerializeString(subset->name) != 1 || !ReadWord(&subset->fileWord) || !SkipWords(2) ||
        archive.SerializeDwords(fields, 5) != 5)
        return BadMesh();
    subset->vertexFormat = fields[0];
    subset->stride = fields[1];
    subset->frameCount = fields[2];
    subset->triangleCount = fields[3];
    subset->vertexCount = fields[4];

    const uint64_t indexBytes = static_cast<uint64_t>(subset->triangleCount) * 6;
    const uint64_t vertexBytes = static_cast<uint64_t>(subset->stride) * subset->frameCount * subset->vertexCount;
    const uint64_t skinBytes = version >= 2 && skinned == 1 ? uint64_t{subset->vertexCount} * sizeof(SkinVertex) : 0;
    if (indexBytes + vertexBytes + skinBytes > archive.GetRemaining()) return BadMesh();
    if (subset->vertexCount > 0) {
        // A drawn subset's stride holds its format; the skin records that a
        // version-1 file keeps in its second subset only need whole positions.
        const uint32_t formatStride = Graphics_GetFvfStride(subset->vertexFormat);
        if (subset->frameCount == 0 || subset->stride < sizeof(Vector3) ||
            (drawn && (formatStride == 0 || subset->stride < formatStride)))
            return BadMesh();
    } else if (subset->triangleCount > 0) {
        return BadMesh();
    }
    return ReadBuffers(subset);
}

int QvmReader::ReadBuffers(MeshSubset* subset) {
    PlatformDevice* device = CQVGraphics::GetInstance() ? CQVGraphics::GetInstance()->GetDevice() : nullptr;
    const uint32_t indexBytes = subset->triangleCount * 6;
    const uint32_t vertexBytes = subset->stride * subset->frameCount * subset->vertexCount;
    if (subset->triangleCount > 0) {
        if (device == nullptr ||
            !Succeeded(device->CreateIndexBuffer(indexBytes, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &subset->indexBuffer)))
            return CQVEngine::SetError("%s", "Error Creating Index Buffer");
        uint8_t* data = nullptr;
        if (!Succeeded(subset->indexBuffer->Lock(0, 0, &data, 0))) return CQVEngine::SetError("%s", "LockIndexBuffer");
        const bool read = archive.SerializeBytes(data, indexBytes) == indexBytes;
        subset->indexBuffer->Unlock();
        if (!read) return BadMesh();
    }
    if (subset->vertexCount > 0) {
        if (device == nullptr || !Succeeded(device->CreateVertexBuffer(vertexBytes, 0, subset->vertexFormat,
                                                                   D3DPOOL_SYSTEMMEM, &subset->vertexBuffer)))
            return CQVEngine::SetError("%s", "Error Creating Vertex Buffer");
        uint8_t* data = nullptr;
        if (!Succeeded(subset->vertexBuffer->Lock(0, 0, &data, 0))) return CQVEngine::SetError("%s", "LockVertexBuffer");
        const bool read = archive.SerializeBytes(data, vertexBytes) == vertexBytes;
        subset->vertexBuffer->Unlock();
        if (!read) return BadMesh();
    }
    if (!Subset_IsConsistent(*subset)) return BadMesh();
    if (version >= 2 && skinned == 1 && subset->vertexCount > 0) {
        subset->skin.reset(new (std::nothrow) SkinVertex[subset->vertexCount]);
        if (!subset->skin) return BadMesh();
        const uint32_t skinBytes = subset->vertexCount * static_cast<uint32_t>(sizeof(SkinVertex));
        if (archive.SerializeBytes(subset->skin.get(), skinBytes) != skinBytes ||
            !SkinIsValid(subset->skin.get(), subset->vertexCount, bones.size()))
            return BadMesh();
    }
    return 1;
}

// The older skinned layout: subset 0's skin records are the first bytes of
// subset 1's vertices. A file without them is refused.
int QvmReader::TakeSecondSubsetSkin() {
    if (subsets.size() < 2) return BadMesh();
    MeshSubset& first = subsets[0];
    const uint32_t count = first.vertexCount;
    if (count > 0) {
        const BufferReadLock source(subsets[1].vertexBuffer);
        if (source.data() == nullptr) return CQVEngine::SetError("%s", "LockVertexBuffer");
        if (source.size() < uint64_t{count} * sizeof(SkinVertex)) return BadMesh();
        first.skin.reset(new (std::nothrow) SkinVertex[count]);
        if (!first.skin) return BadMesh();
        std::memcpy(first.skin.get(), source.data(), count * sizeof(SkinVertex));
        if (!SkinIsValid(first.skin.get(), count, bones.size())) return BadMesh();
    }
    subsets.resize(1);
    return 1;
}

int ReadQvm(QvmReader& r, const char* path) {
    if (!r.archive.Open(path, "rb")) return CQVEngine::SetError("Error Opening File: %s", path);
    if (!r.ReadWord(&r.version) || !r.ReadWord(&r.skinned) || r.version < 1 || r.version > 2)
        return BadMesh();
    if (r.skinned == 1 && r.ReadBones() != 1) return 0;
    uint32_t count = 0;
    if (!r.SkipWords(9) || r.archive.SerializeCount(&count, kSubsetRecordBytes) != 1)
        return BadMesh();
    r.subsets.reserve(count);
    const bool skinInSecond = r.version <= 1 && r.skinned == 1;
    for (uint32_t i = 0; i < count; ++i) {
        r.subsets.emplace_back();
        if (r.ReadSubset(&r.subsets.back(), !(skinInSecond && i > 0)) != 1) return 0;
    }
    r.archive.Close();
    if (skinInSecond && r.TakeSecondSubsetSkin() != 1) return 0;
    for (MeshSubset& subset : r.subsets) Subset_UpdateBounds(&subset);
    return 1;
}

}  // namespace

void Bones_Clear(std::vector<Bone*>* bones) {
    for (Bone* bone : *bones) delete bone;
    bones->clear();
}

int Fvf_GetNormalOffset(uint32_t fvf) {
    if (!(fvf & D3DFVF_NORMAL)) return -1;
    const uint32_t position = fvf & D3DFVF_POSITION_MASK;
    if (position == D3DFVF_XYZRHW) return 16;
    // XYZ, then up to five blend weights.
    return position >= D3DFVF_XYZ ? static_cast<int>(12 + 4 * ((position - D3DFVF_XYZ) / 2)) : -1;
}

int MeshFile_ReadQvm(const char* path, uint32_t* skinned, std::vector<MeshSubset>* subsets,
                     std::vector<Bone*>* bones) {
    QvmReader r;
    const int result = ReadQvm(r, path);
    Bones_Clear(bones);
    subsets->clear();
    if (result != 1) return 0;
    *skinned = r.skinned;
    for (size_t i = 0; i < r.bones.size(); ++i) {
        Bone* bone = r.bones[i];
        bone->nameId = g_NameTable.FindOrAdd(r.boneNames[i].c_str());
        if (bone->parent != -1) r.bones[static_cast<size_t>(bone->parent)]->children.push_back(bone);
    }
    *bones = std::move(r.bones);
    r.bones.clear();
    *subsets = std::move(r.subsets);
    return 1;
}
