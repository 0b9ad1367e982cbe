#pragma once
// Writes ".qvm" mesh files (rigid and skinned, versions 1 and 2) from a
// description in memory, for the sample data, test fixtures and seed files.

#include "services/mesh/Mesh.h"

#include <cstdint>
#include <string>
#include <vector>

// Little-endian words, floats, strings (u32 length and the bytes) and raw
// blocks, appended to a byte vector.
class MeshFileBytes {
public:
    void Word(uint32_t value) { Raw(&value, 4); }
    void Float(float value) { Raw(&value, 4); }
    void String(const std::string& text) {
        Word(static_cast<uint32_t>(text.size()));
        Raw(text.data(), text.size());
    }
    void Raw(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    std::vector<uint8_t> bytes;
};

// Writes the bytes to a file; false when it cannot be written whole.
bool MeshFile_Save(const std::string& path, const std::vector<uint8_t>& bytes);

struct QvmBone {
    std::string name;
    int32_t parent = -1;
    Matrix offset{};  // mesh space into the bone's space at the bind pose
};

struct QvmSubset {
    std::string name;  // empty: the reader keeps its default name
    uint32_t fileWord = 0;
    uint32_t vertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    uint32_t stride = 32;
    uint32_t frameCount = 1;
    uint32_t vertexCount = 0;
    std::vector<uint16_t> indices;  // three per triangle
    std::vector<uint8_t> vertices;  // stride x frames x vertices
    std::vector<SkinVertex> skin;   // skinned files: one per vertex
};

struct QvmFile {
    uint32_t version = 2;
    uint32_t skinned = 0;
    std::vector<QvmBone> bones;
    std::vector<QvmSubset> subsets;
};

// A version-1 skinned file carries the first subset's skin records as the
// vertices of an extra second subset; the writer adds it.
std::vector<uint8_t> Qvm_Write(const QvmFile& file);
bool Qvm_WriteFile(const std::string& path, const QvmFile& file);
