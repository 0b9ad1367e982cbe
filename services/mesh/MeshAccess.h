#pragma once
// What actors and the other services ask of a mesh item: its load, its
// bounds, its frame count, the shape records of its subsets and their
// collision lookups, and the vertices of a mesh built from arrays. Each
// takes a null mesh and a subset index past the mesh's and answers as for
// an empty mesh; those that need the geometry load the mesh first.

#include "services/mesh/Mesh.h"

#include <cstdint>

class CQVMeshItem;

// Bounds of subset i's vertices (every frame) through the matrix (identity
// when null); a mesh without subsets gives its record's box transformed.
Box Mesh_ComputeBounds(CQVMeshItem* mesh, uint32_t i, const Matrix* matrix);
Sphere Mesh_ComputeSphere(CQVMeshItem* mesh, uint32_t i);
// The first subset's frame count, or the stored frame word without subsets.
uint32_t Mesh_GetFrameCount(CQVMeshItem* mesh);

// Rewrites the first subset's vertices from the arrays that are given
// (null keeps a slot as it is; normals and colours only where the layout
// has them). A count of 0xFFFFFFFF keeps the subset's count; counts past
// what its buffers hold are refused and nothing is written.
void Mesh_WriteVertices(CQVMeshItem* mesh, const Vector3* positions, const Vector3* normals, const uint32_t* colors,
                        const Vector2* texCoords, uint32_t vertexCount, uint32_t triangleCount);

// Vertex layouts of the meshes built from arrays.
constexpr uint32_t kBuiltFvfNormalColor = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x152, 36 bytes
constexpr uint32_t kBuiltFvfNormal = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;                       // 0x112, 32 bytes
constexpr uint32_t kBuiltFvfColor = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;                       // 0x142, 24 bytes

// Shape records and collision (the shape types are in MeshShapes.h).
uint32_t Mesh_GetShapeCount(const CQVMeshItem* mesh);
uint32_t Mesh_GetShapeType(const CQVMeshItem* mesh, uint32_t i);
uint32_t Mesh_GetShapeParam(const CQVMeshItem* mesh, uint32_t i);  // 4 for null
void Mesh_GetShapeSphere(const CQVMeshItem* mesh, uint32_t i, Sphere* sphere);
void Mesh_SetShapeSphere(CQVMeshItem* mesh, uint32_t i, const Sphere& sphere);
void Mesh_GetShapeBox(const CQVMeshItem* mesh, uint32_t i, Box* box);
// Builds (again) the surface or box set a subset's shape type asks for.
void Mesh_BuildShapeData(CQVMeshItem* mesh, uint32_t i);
void Mesh_FreeShapeData(CQVMeshItem* mesh, uint32_t i);
// Moves a sphere out of subset i's surface or box set (built on first
// use): 1 when it touched, with the push; 0 and a zero push otherwise.
int Mesh_SweepSphere(CQVMeshItem* mesh, uint32_t i, const Vector3& centre, float radius, Vector3* push,
                     uint32_t unused);
// The triangle of subset i's surface (in its local frame) under p by the
// axis selector, with the surface point and the triangle index when asked.
// An index of 0xFFFFFFFF means subset 0.
int Mesh_FindSurfacePoint(CQVMeshItem* mesh, uint32_t i, uint32_t selector, const Vector3& p, Vector3* point,
                          uint32_t unused, uint32_t* triangle);
// The same lookup on subset i's own vertices, with the normal stored at the
// triangle's third corner; the cached triangle is tried first and updated.
int Mesh_IntersectSubset(CQVMeshItem* mesh, uint32_t i, uint32_t selector, const Vector3& p, Vector3* point,
                         Vector3* normal, uint32_t* cachedTriangle);
