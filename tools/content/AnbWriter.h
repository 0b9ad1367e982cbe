#pragma once
// Writes ".anb" vertex-animated mesh files: parts with their own vertices,
// texture coordinates and two index lists per triangle corner, and every
// frame's vertices.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <string>
#include <vector>

struct AnbVertex {
    Vector3 position;
    Vector3 normal;
};

struct AnbPart {
    // frames[f] holds the part's vertices in frame f; every frame has as many.
    std::vector<std::vector<AnbVertex>> frames;
    std::vector<Vector2> texCoords;
    std::vector<uint16_t> vertexIndices;  // three per triangle, within the part
    std::vector<uint16_t> texIndices;     // as many, within the part
};

struct AnbFile {
    std::vector<AnbPart> parts;
};

// The frame count is the first part's (1 without parts).
std::vector<uint8_t> Anb_Write(const AnbFile& file);
bool Anb_WriteFile(const std::string& path, const AnbFile& file);
