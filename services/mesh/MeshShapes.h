#pragma once
// Collision shapes of mesh subsets. Spheres and boxes are used as the subset
// record gives them; a walkable triangle surface ("Y-Triangles", type 4) and
// sets of boxes made from the triangles ("TriangleBoxes", types 8 to 13) are
// built on demand from the subset's buffers and kept with the subset.

#include "services/mesh/Mesh.h"

#include <cstdint>
#include <memory>
#include <vector>

enum : uint32_t {
    SHAPE_NONE = 0,
    SHAPE_SPHERE = 1,
    SHAPE_BOX = 2,
    SHAPE_TRIANGLE_SURFACE = 4,
    SHAPE_TRIANGLE_TEST = 5,
    SHAPE_RAY_POINT = 7,
    SHAPE_TRIANGLE_BOXES_FIRST = 8,
    SHAPE_TRIANGLE_BOXES_LAST = 13,
};

inline bool Shape_IsTriangleBoxes(uint32_t type) {
    return type >= SHAPE_TRIANGLE_BOXES_FIRST && type <= SHAPE_TRIANGLE_BOXES_LAST;
}

// A triangle surface in a frame whose y axis is the surface's mean normal,
// so that finding the ground under a point is a test in x and z plus a height.
struct TriangleShapeData : MeshShapeData {
    Vector3 mean{0, 0, 0};  // mean normal over every triangle corner
    Matrix3 toLocal{};
    Matrix3 fromLocal{};
    std::vector<Vector3> corners;  // three per triangle, in the local frame
};

// One box per triangle, merged where they overlap enough.
struct BoxShapeData : MeshShapeData {
    uint32_t count = 0;
    std::unique_ptr<Box[]> boxes;
};

// Axis selector of the surface lookups: the two map axes and the height.
enum : uint32_t { SURFACE_AXES_XZ = 0, SURFACE_AXES_ZY = 1, SURFACE_AXES_YX = 2 };

// Builds the derived data of a surface or box-set subset (replacing what it
// had); other types get none.
void Shape_Build(MeshSubset* subset, uint32_t shapeType);
// Moves a sphere out of the subset's shape: 1 when it touched, with push
// pointing from the sphere toward the shape (moving the sphere by -push
// frees it, as for a box); 0 with a zero push otherwise. Box sets take at
// most 100 rounds.
int Shape_SweepSphere(MeshSubset* subset, uint32_t shapeType, const Vector3& centre, float radius, Vector3* push);
// The triangle of a built surface under p: 1 when found, with its index and
// the point on the surface (p's map coordinates and the surface height).
int Shape_FindSurfacePoint(const TriangleShapeData& surface, uint32_t selector, const Vector3& p, Vector3* point,
                           uint32_t* triangle);
// The same lookup straight on the subset's first frame of vertices; the
// normal is the one stored with the triangle's third corner (the face normal
// when the format has none). A cached triangle is tried first and updated.
int Subset_IntersectPoint(const MeshSubset& subset, uint32_t selector, const Vector3& p, Vector3* point,
                          Vector3* normal, uint32_t* cachedTriangle);
