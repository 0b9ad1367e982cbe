#include "services/mesh/MeshShapes.h"

#include "services/mesh/MeshFile.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxSweepRounds = 100;
// How far under a surface a sphere may sink and still be lifted onto it.
constexpr float kSurfaceReach = 10.0f;
constexpr float kSurfaceLift = 0.0001f;

float Get(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The two map axes and the height axis of each selector (selector & 3).
struct MapAxes {
    int u, v, h;
};
constexpr MapAxes kMapAxes[4] = {{0, 2, 1}, {2, 1, 0}, {1, 0, 2}, {1, 0, 2}};

// The triangles of a subset's first frame, through read locks on both
// buffers; a triangle naming a vertex outside the buffer is skipped.
class TriangleReader {
public:
    explicit TriangleReader(const MeshSubset& subset)
        : m_Vertices(subset.vertexBuffer), m_Indices(subset.indexBuffer), m_Stride(subset.stride) {
        if (m_Vertices.data() == nullptr || m_Indices.data() == nullptr || m_Stride < sizeof(Vector3)) return;
        m_VertexLimit = static_cast<uint32_t>(std::min<size_t>(subset.vertexCount, m_Vertices.size() / m_Stride));
        m_Count = static_cast<uint32_t>(std::min<size_t>(subset.triangleCount, m_Indices.size() / 6));
    }
    bool Readable() const { return m_Vertices.data() != nullptr && m_Indices.data() != nullptr; }
    uint32_t Count() const { return m_Count; }
    bool Indices(uint32_t t, uint32_t (&out)[3]) const {
        const uint16_t* index = reinterpret_cast<const uint16_t*>(m_Indices.data()) + static_cast<size_t>(t) * 3;
        for (int k = 0; k < 3; ++k) {
            out[k] = index[k];
            if (out[k] >= m_VertexLimit) return false;
        }
        return true;
    }
    bool Corners(uint32_t t, Vector3 (&out)[3]) const {
        uint32_t index[3];
        if (!Indices(t, index)) return false;
        for (int k = 0; k < 3; ++k) out[k] = Vertex_GetPosition(m_Vertices.data(), m_Stride, index[k]);
        return true;
    }
    const uint8_t* Vertex(uint32_t v) const { return m_Vertices.data() + static_cast<size_t>(v) * m_Stride; }

private:
    BufferReadLock m_Vertices;
    BufferReadLock m_Indices;
    uint32_t m_Stride;
    uint32_t m_VertexLimit = 0;
    uint32_t m_Count = 0;
};

Vector3 FaceNormal(const Vector3 (&c)[3]) {
    Vector3 n;
    // Front faces wind clockwise, so this cross product points out of the front.
    Vec3_Cross(&n, c[1] - c[0], c[2] - c[0]);
    return n;
}

// p inside the triangle in the map axes: not beyond all three corners along
// either axis, and on the inner side of (or on) every edge.
bool TriangleContains(const Vector3 (&c)[3], const MapAxes& axes, float pu, float pv) {
    const float u0 = Get(c[0], axes.u), u1 = Get(c[1], axes.u), u2 = Get(c[2], axes.u);
    if ((pu < u0 && pu < u1 && pu < u2) || (pu > u0 && pu > u1 && pu > u2)) return false;
    const float v0 = Get(c[0], axes.v), v1 = Get(c[1], axes.v), v2 = Get(c[2], axes.v);
    if ((pv < v0 && pv < v1 && pv < v2) || (pv > v0 && pv > v1 && pv > v2)) return false;
    const float u[3] = {u0, u1, u2}, v[3] = {v0, v1, v2};
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        if ((pu - u[i]) * (v[j] - v[i]) - (pv - v[i]) * (u[j] - u[i]) < 0.0f) return false;
    }
    return true;
}

// The height under p: each edge gives the height at its point nearest to p,
// and the three are averaged weighted by the inverse of their distances.
float SurfaceHeight(const Vector3 (&c)[3], const MapAxes& axes, float pu, float pv) {
    float sum = 0.0f, weights = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const Vector3& a = c[i];
        const Vector3& b = c[(i + 1) % 3];
        const float du = Get(b, axes.u) - Get(a, axes.u), dv = Get(b, axes.v) - Get(a, axes.v);
        const float lengthSq = du * du + dv * dv;
        float t = lengthSq > 0.0f ? ((pu - Get(a, axes.u)) * du + (pv - Get(a, axes.v)) * dv) / lengthSq : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float nu = Get(a, axes.u) + t * du - pu, nv = Get(a, axes.v) + t * dv - pv;
        const float distance = std::sqrt(nu * nu + nv * nv);
        const float weight = distance <= 1e-7f ? 1e15f : 1.0f / distance;
        sum += weight * (Get(a, axes.h) + t * (Get(b, axes.h) - Get(a, axes.h)));
        weights += weight;
    }
    return sum / weights;
}

Vector3 SurfacePoint(const MapAxes& axes, float pu, float pv, float height) {
    float values[3];
    values[axes.u] = pu;
    values[axes.v] = pv;
    values[axes.h] = height;
    return Vector3(values[0], values[1], values[2]);
}

// The surface frame: y along the mean normal. The direction and (1, 0, 0) as
// up give the other two axes; a normal along x takes (0, 0, 1) as up.
void BuildSurfaceFrame(TriangleShapeData* data) {
    Vector3 direction = data->mean;
    if (Vec3_LengthSq(direction) < 1e-12f) direction = Vector3(0, 1, 0);
    Vector3 up(1, 0, 0), side;
    Vec3_Normalize(&direction, direction);
    if (Vec3_LengthSq(*Vec3_Cross(&side, direction, up)) < 1e-10f) up = Vector3(0, 0, 1);
    Matrix3 basis;
    Mat3_FromDirectionUp(&basis, direction, up);
    // Rows: direction, direction x up, (direction x up) x direction; a flat
    // floor facing +y gets the identity.
    for (int c = 0; c < 3; ++c) {
        data->fromLocal.m[0][c] = basis.m[2][c];
        data->fromLocal.m[1][c] = basis.m[0][c];
        data->fromLocal.m[2][c] = -basis.m[1][c];
    }
    Mat3_Inverse(&data->toLocal, data->fromLocal);
}

std::unique_ptr<MeshShapeData> BuildSurface(const MeshSubset& subset) {
    auto data = std::make_unique<TriangleShapeData>();
    const TriangleReader triangles(subset);
    const int normalOffset = Fvf_GetNormalOffset(subset.vertexFormat);
    const bool storedNormals = normalOffset >= 0 && static_cast<uint32_t>(normalOffset) + 12 <= subset.stride;
    Vector3 sum(0, 0, 0);
    uint32_t corners = 0;
    std::vector<Vector3> world;
    world.reserve(static_cast<size_t>(triangles.Count()) * 3);
    for (uint32_t t = 0; t < triangles.Count(); ++t) {
        uint32_t index[3];
        Vector3 c[3];
        if (!triangles.Indices(t, index) || !triangles.Corners(t, c)) continue;
        if (storedNormals) {
            for (uint32_t k : index) sum += Vertex_GetPosition(triangles.Vertex(k) + normalOffset, 0, 0);
        } else {
            // No normals stored: the faces' own, weighted by their areas.
            sum += FaceNormal(c) * 3.0f;
        }
        corners += 3;
        world.insert(world.end(), {c[0], c[1], c[2]});
    }
    if (corners > 0) sum /= static_cast<float>(corners);
    data->mean = sum;
    BuildSurfaceFrame(data.get());
    data->corners.resize(world.size());
    for (size_t i = 0; i < world.size(); ++i) Vec3_TransformMat3(&data->corners[i], world[i], data->toLocal);
    return data;
}

std::unique_ptr<MeshShapeData> BuildBoxes(const MeshSubset& subset, uint32_t shapeType) {
    auto data = std::make_unique<BoxShapeData>();
    const TriangleReader triangles(subset);
    data->boxes.reset(new Box[std::max<uint32_t>(triangles.Count(), 1)]());
    for (uint32_t t = 0; t < triangles.Count(); ++t) {
        Vector3 c[3];
        if (!triangles.Corners(t, c)) continue;
        Box box{{1e9f, 1e9f, 1e9f}, {-1e9f, -1e9f, -1e9f}};
        for (const Vector3& p : c) {
            Vec3_Minimize(&box.min, box.min, p);
            Vec3_Maximize(&box.max, box.max, p);
        }
        data->boxes[data->count++] = box;
    }
    // Higher types merge less eagerly: the fill needed rises from 69 % by 5 % a type.
    BoxList list{data->count, data->boxes.get()};
    BoxList_MergeOverlapping(&list, static_cast<float>(69 + 5 * (shapeType - SHAPE_TRIANGLE_BOXES_FIRST)), 2);
    data->count = list.count;
    return data;
}

int SweepSurface(const TriangleShapeData& surface, const Vector3& centre, float radius, Vector3* push) {
    Vector3 local;
    Vec3_TransformMat3(&local, centre, surface.toLocal);
    Vector3 ground;
    if (Shape_FindSurfacePoint(surface, SURFACE_AXES_XZ, local, &ground, nullptr) != 1 ||
        local.y > ground.y + radius || local.y < ground.y - kSurfaceReach - radius) {
        *push = Vector3(0, 0, 0);
        return 0;
    }
    const Vector3 localPush(0.0f, -(ground.y + radius + kSurfaceLift - local.y), 0.0f);
    Vec3_TransformMat3(push, localPush, surface.fromLocal);
    return 1;
}

int SweepBoxes(const BoxShapeData& set, const Vector3& start, float radius, Vector3* push) {
    Vector3 centre = start;
    int hit = 0;
    for (int round = 0; round < kMaxSweepRounds; ++round) {
        Vector3 best(1e9f, 1e9f, 1e9f);
        bool touched = false;
        for (uint32_t i = 0; i < set.count; ++i) {
            Vector3 boxPush;
            if (!Box_IntersectSphere(set.boxes[i].min, set.boxes[i].max, centre, radius, &boxPush, nullptr)) continue;
            touched = true;
            if (Vec3_LengthSq(boxPush) < Vec3_LengthSq(best)) best = boxPush;
        }
        if (!touched) break;
        hit = 1;
        // A box's push points toward the box: the sphere leaves against it.
        centre = centre - best;
    }
    *push = start - centre;
    return hit;
}

}  // namespace

void Shape_Build(MeshSubset* subset, uint32_t shapeType) {
    subset->shapeData.reset();
    if (shapeType == SHAPE_TRIANGLE_SURFACE) subset->shapeData = BuildSurface(*subset);
    if (Shape_IsTriangleBoxes(shapeType)) subset->shapeData = BuildBoxes(*subset, shapeType);
}

int Shape_SweepSphere(MeshSubset* subset, uint32_t shapeType, const Vector3& centre, float radius, Vector3* push) {
    *push = Vector3(0, 0, 0);
    if (shapeType != SHAPE_TRIANGLE_SURFACE && !Shape_IsTriangleBoxes(shapeType)) return 0;
    if (!subset->shapeData) Shape_Build(subset, shapeType);
    if (shapeType == SHAPE_TRIANGLE_SURFACE) {
        const auto* surface = dynamic_cast<const TriangleShapeData*>(subset->shapeData.get());
        return surface != nullptr ? SweepSurface(*surface, centre, radius, push) : 0;
    }
    const auto* set = dynamic_cast<const BoxShapeData*>(subset->shapeData.get());
    return set != nullptr ? SweepBoxes(*set, centre, radius, push) : 0;
}

int Shape_FindSurfacePoint(const TriangleShapeData& surface, uint32_t selector, const Vector3& p, Vector3* point,
                           uint32_t* triangle) {
    const MapAxes& axes = kMapAxes[selector & 3];
    const float pu = Get(p, axes.u), pv = Get(p, axes.v);
    const size_t count = surface.corners.size() / 3;
    for (size_t t = 0; t < count; ++t) {
        const Vector3 c[3] = {surface.corners[t * 3], surface.corners[t * 3 + 1], surface.corners[t * 3 + 2]};
        if (!TriangleContains(c, axes, pu, pv)) continue;
        if (triangle != nullptr) *triangle = static_cast<uint32_t>(t);
        if (point != nullptr) *point = SurfacePoint(axes, pu, pv, SurfaceHeight(c, axes, pu, pv));
        return 1;
    }
    return 0;
}

int Subset_IntersectPoint(const MeshSubset& subset, uint32_t selector, const Vector3& p, Vector3* point,
                          Vector3* normal, uint32_t* cachedTriangle) {
    const TriangleReader triangles(subset);
    if (!triangles.Readable()) return 0;
    const MapAxes& axes = kMapAxes[selector & 3];
    const float pu = Get(p, axes.u), pv = Get(p, axes.v);
    Vector3 c[3];
    auto contains = [&](uint32_t t) { return triangles.Corners(t, c) && TriangleContains(c, axes, pu, pv); };
    uint32_t found = triangles.Count();
    if (cachedTriangle != nullptr && *cachedTriangle < triangles.Count() && contains(*cachedTriangle)) {
        found = *cachedTriangle;
    } else {
        for (uint32_t t = 0; t < triangles.Count(); ++t) {
            if (contains(t)) {
                found = t;
                break;
            }
        }
        if (found == triangles.Count()) return 0;
        if (cachedTriangle != nullptr) *cachedTriangle = found;
    }
    if (point != nullptr) *point = SurfacePoint(axes, pu, pv, SurfaceHeight(c, axes, pu, pv));
    if (normal != nullptr) {
        const int offset = Fvf_GetNormalOffset(subset.vertexFormat);
        uint32_t index[3];
        triangles.Indices(found, index);
        if (offset >= 0 && static_cast<uint32_t>(offset) + 12 <= subset.stride) {
            *normal = Vertex_GetPosition(triangles.Vertex(index[2]) + offset, 0, 0);
        } else {
            Vec3_Normalize(normal, FaceNormal(c));
        }
    }
    return 1;
}
