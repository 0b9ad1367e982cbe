#include "tools/content/AnbWriter.h"

#include "tools/content/QvmWriter.h"

std::vector<uint8_t> Anb_Write(const AnbFile& file) {
    MeshFileBytes out;
    const size_t frames = file.parts.empty() ? 1 : file.parts[0].frames.size();
    out.Word(static_cast<uint32_t>(frames));
    out.Word(static_cast<uint32_t>(file.parts.size()));
    for (const AnbPart& part : file.parts) {
        const std::vector<AnbVertex>& first = part.frames.at(0);
        out.Word(static_cast<uint32_t>(first.size()));
        out.Word(static_cast<uint32_t>(part.texCoords.size()));
        out.Word(static_cast<uint32_t>(part.vertexIndices.size() / 3));
        out.Raw(first.data(), first.size() * sizeof(AnbVertex));
        out.Raw(part.vertexIndices.data(), part.vertexIndices.size() * 2);
        out.Raw(part.texCoords.data(), part.texCoords.size() * sizeof(Vector2));
        out.Raw(part.texIndices.data(), part.texIndices.size() * 2);
    }
    for (size_t f = 1; f < frames; ++f) {
        for (const AnbPart& part : file.parts) out.Raw(part.frames.at(f).data(), part.frames[f].size() * sizeof(AnbVertex));
    }
    return std::move(out.bytes);
}

bool Anb_WriteFile(const std::string& path, const AnbFile& file) { return MeshFile_Save(path, Anb_Write(file)); }
