#pragma once
// The two mesh files the game reads: ".qvm" (rigid or skinned meshes of
// subsets, each with its own vertex format) and ".anb" (vertex-animated
// meshes whose frames are expanded into one vertex buffer). Every count and
// index in a file is checked before it is used; a damaged file gives an
// error text and no geometry at all.

#include "services/mesh/Mesh.h"

#include <cstdint>
#include <vector>

// Vertex format of the ".anb" meshes: position, normal, one texture pair.
constexpr uint32_t kAnbVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
constexpr uint32_t kAnbVertexStride = 32;

// Reads a ".qvm" file into the skinned flag, the subsets (buffers, skin
// records and bounds) and the bones. On failure the engine error text is set,
// the subsets and bones are emptied and 0 is returned.
int MeshFile_ReadQvm(const char* path, uint32_t* skinned, std::vector<MeshSubset>* subsets, std::vector<Bone*>* bones);

// Deletes every bone and empties the list.
void Bones_Clear(std::vector<Bone*>* bones);

// Byte offset of the normal in a vertex of the format, or -1 without one.
int Fvf_GetNormalOffset(uint32_t fvf);
