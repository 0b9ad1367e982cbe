#pragma once
// Meshes made in code for the sample data and the fixtures: boxes, rooms with
// openings, columns, stairs, a sphere, a terrain patch, a skinned jointed
// figure and a vertex-animated flag. Front faces wind clockwise seen from the
// side their normal points to, as the device culls by default.

#include "tools/content/AnbWriter.h"
#include "tools/content/QvmWriter.h"

#include <cstdint>
#include <functional>
#include <vector>

struct MeshVertex {
    Vector3 position;
    Vector3 normal;
    Vector2 uv;
    Vector2 uv2;  // light-map coordinates
};

struct MeshGeometry {
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;  // three per triangle

    uint16_t AddVertex(const MeshVertex& vertex);
    // The triangle of three added vertices, wound to face along facing.
    void AddTriangle(uint16_t a, uint16_t b, uint16_t c, const Vector3& facing);
    // A quad of four corners in order around it, one normal and the texture
    // corners; light-map coordinates are the texture coordinates.
    void AddQuad(const Vector3 (&corners)[4], const Vector3& normal, const Vector2 (&uv)[4]);
    void Append(const MeshGeometry& other);
    uint32_t TriangleCount() const { return static_cast<uint32_t>(indices.size() / 3); }
};

// An opening in one wall of a room: wall 0 lies at the minimum z, 1 at the
// maximum x, 2 at the maximum z, 3 at the minimum x; offset runs along the
// wall from its lower x or z, bottom up from the floor.
struct RoomOpening {
    uint32_t wall;
    float offset, width;
    float bottom, height;
};

MeshGeometry MeshBuild_Box(const Vector3& min, const Vector3& max);
// A square of side 2 x half in the x-y plane, centred on the origin, facing -z
// (towards a camera at the origin's -z side looking along +z), texture 0..1.
MeshGeometry MeshBuild_FacingSquare(float half);
// Faces turned inward: floor, ceiling and four walls with their openings cut out.
MeshGeometry MeshBuild_Room(const Vector3& min, const Vector3& max, const std::vector<RoomOpening>& openings);
// An upright cylinder on its base centre with smooth sides and flat caps.
MeshGeometry MeshBuild_Column(const Vector3& base, float radius, float height, uint32_t sides);
// Steps climbing along +z from the origin corner, each a solid block.
MeshGeometry MeshBuild_Stairs(const Vector3& origin, uint32_t steps, float width, float rise, float run);
// rings x segments quads (rings and segments at least 3, at most 180).
MeshGeometry MeshBuild_Sphere(const Vector3& centre, float radius, uint32_t rings, uint32_t segments);
// A square grid of cells x cells (at most 255) on the x-z plane from the
// origin corner, heights from the function, facing up.
MeshGeometry MeshBuild_Terrain(const Vector3& origin, float size, uint32_t cells,
                               const std::function<float(float x, float z)>& height);
// Rolling hills of the given amplitude, the same for every seed value.
std::function<float(float, float)> MeshBuild_Hills(float amplitude, uint32_t seed);

// The geometry as a subset: position, normal and texture coordinates
// (stride 32), plus light-map coordinates when asked (stride 40).
QvmSubset MeshBuild_ToSubset(const MeshGeometry& geometry, bool lightMapped);
// A rigid version-2 file of the subsets.
QvmFile MeshBuild_RigidFile(std::vector<QvmSubset> subsets);

// A standing figure about 180 units tall, its root bone "Bip01" at the
// hips above "Pelvis", with a spine, neck and head, two arms and two legs. Every limb is a
// box skinned to its bone; the vertices at a joint are shared half with the
// parent bone. Bone names follow the usual character rigs ("Spine1",
// "L_UpperArm", "R_Calf" ...).
QvmFile MeshBuild_Figure(uint32_t version);

// A flag in the x-y plane waving along z: one part, frames x the grid.
AnbFile MeshBuild_WavingFlag(float width, float height, uint32_t cells, uint32_t frames);
