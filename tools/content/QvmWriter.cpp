#include "tools/content/QvmWriter.h"

#include <cstdio>

namespace {

void WriteSubset(MeshFileBytes* out, const QvmSubset& subset, bool skinRecords) {
    out->String(subset.name);
    out->Word(subset.fileWord);
    out->Word(0);
    out->Word(0);
    out->Word(subset.vertexFormat);
    out->Word(subset.stride);
    out->Word(subset.frameCount);
    out->Word(static_cast<uint32_t>(subset.indices.size() / 3));
    out->Word(subset.vertexCount);
    out->Raw(subset.indices.data(), subset.indices.size() / 3 * 6);
    out->Raw(subset.vertices.data(), subset.vertices.size());
    if (skinRecords) out->Raw(subset.skin.data(), subset.skin.size() * sizeof(SkinVertex));
}

}  // namespace

bool MeshFile_Save(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::vector<uint8_t> Qvm_Write(const QvmFile& file) {
    MeshFileBytes out;
    out.Word(file.version);
    out.Word(file.skinned);
    const bool skinned = file.skinned == 1;
    if (skinned) {
        out.Word(static_cast<uint32_t>(file.bones.size()));
        out.Word(0);
        out.Word(0);
        for (const QvmBone& bone : file.bones) {
            out.String(bone.name);
            out.Word(static_cast<uint32_t>(bone.parent));
            out.Raw(&bone.offset, sizeof bone.offset);
            out.Word(0);
            out.Word(0);
        }
    }
    for (int i = 0; i < 9; ++i) out.Word(0);
    const bool skinInSecond = skinned && file.version <= 1 && !file.subsets.empty();
    out.Word(static_cast<uint32_t>(file.subsets.size() + (skinInSecond ? 1 : 0)));
    for (size_t i = 0; i < file.subsets.size(); ++i) {
        WriteSubset(&out, file.subsets[i], skinned && file.version >= 2);
        if (i == 0 && skinInSecond) {
            const std::vector<SkinVertex>& skin = file.subsets[0].skin;
            QvmSubset records;
            records.name = "Skin";
            records.vertexFormat = 0;
            records.stride = sizeof(SkinVertex);
            records.vertexCount = static_cast<uint32_t>(skin.size());
            records.vertices.assign(reinterpret_cast<const uint8_t*>(skin.data()),
                                    reinterpret_cast<const uint8_t*>(skin.data() + skin.size()));
            WriteSubset(&out, records, false);
        }
    }
    return std::move(out.bytes);
}

bool Qvm_WriteFile(const std::string& path, const QvmFile& file) { return MeshFile_Save(path, Qvm_Write(file)); }
