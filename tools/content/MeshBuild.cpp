#include "tools/content/MeshBuild.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;


float Axis(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

Vector3 FromAxes(int a, float va, int b, float vb, int c, float vc) {
    float values[3];
    values[a] = va;
    values[b] = vb;
    values[c] = vc;
    return Vector3(values[0], values[1], values[2]);
}

// One wall of a room: the rectangle [s0, s1] x [t0, t1] of wall coordinates
// (along the wall, up) minus the openings, as rectangles.
struct WallRect {
    float s0, s1, t0, t1;
};

std::vector<WallRect> CutWall(float length, float height, std::vector<RoomOpening> openings) {
    std::sort(openings.begin(), openings.end(),
              [](const RoomOpening& a, const RoomOpening& b) { return a.offset < b.offset; });
    std::vector<WallRect> pieces;
    float cursor = 0.0f;
    for (const RoomOpening& o : openings) {
        const float s0 = std::clamp(o.offset, cursor, length);
        const float s1 = std::clamp(o.offset + o.width, s0, length);
        const float t0 = std::clamp(o.bottom, 0.0f, height);
        const float t1 = std::clamp(o.bottom + o.height, t0, height);
        if (s0 > cursor) pieces.push_back({cursor, s0, 0.0f, height});
        if (s1 > s0 && t0 > 0.0f) pieces.push_back({s0, s1, 0.0f, t0});
        if (s1 > s0 && t1 < height) pieces.push_back({s0, s1, t1, height});
        cursor = s1;
    }
    if (cursor < length) pieces.push_back({cursor, length, 0.0f, height});
    return pieces;
}

}  // namespace

uint16_t MeshGeometry::AddVertex(const MeshVertex& vertex) {
    vertices.push_back(vertex);
    return static_cast<uint16_t>(vertices.size() - 1);
}

void MeshGeometry::AddTriangle(uint16_t a, uint16_t b, uint16_t c, const Vector3& facing) {
    Vector3 cross;
    Vec3_Cross(&cross, vertices[b].position - vertices[a].position, vertices[c].position - vertices[a].position);
    if (Vec3_Dot(cross, facing) < 0.0f) std::swap(b, c);
    indices.insert(indices.end(), {a, b, c});
}

void MeshGeometry::AddQuad(const Vector3 (&corners)[4], const Vector3& normal, const Vector2 (&uv)[4]) {
    uint16_t v[4];
    for (int i = 0; i < 4; ++i) v[i] = AddVertex({corners[i], normal, uv[i], uv[i]});
    AddTriangle(v[0], v[1], v[2], normal);
    AddTriangle(v[0], v[2], v[3], normal);
}

void MeshGeometry::Append(const MeshGeometry& other) {
    const uint16_t base = static_cast<uint16_t>(vertices.size());
    vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
    for (uint16_t index : other.indices) indices.push_back(static_cast<uint16_t>(base + index));
}

MeshGeometry MeshBuild_FacingSquare(float half) {
    MeshGeometry g;
    const Vector3 corners[4] = {{-half, -half, 0}, {-half, half, 0}, {half, half, 0}, {half, -half, 0}};
    const Vector2 uv[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    g.AddQuad(corners, Vector3(0, 0, -1), uv);
    return g;
}

MeshGeometry MeshBuild_Box(const Vector3& min, const Vector3& max) {
    MeshGeometry g;
    const Vector2 uv[4] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        const int a = (axis + 1) % 3, b = (axis + 2) % 3;
        for (int side = 0; side < 2; ++side) {
            const float v = Axis(side ? max : min, axis);
            const float a0 = Axis(min, a), a1 = Axis(max, a), b0 = Axis(min, b), b1 = Axis(max, b);
            const Vector3 corners[4] = {FromAxes(axis, v, a, a0, b, b0), FromAxes(axis, v, a, a1, b, b0),
                                        FromAxes(axis, v, a, a1, b, b1), FromAxes(axis, v, a, a0, b, b1)};
            g.AddQuad(corners, FromAxes(axis, side ? 1.0f : -1.0f, a, 0.0f, b, 0.0f), uv);
        }
    }
    return g;
}

MeshGeometry MeshBuild_Room(const Vector3& min, const Vector3& max, const std::vector<RoomOpening>& openings) {
    MeshGeometry g;
    const float height = max.y - min.y;
    const Vector2 floorUv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vector3 floor[4] = {{min.x, min.y, min.z}, {max.x, min.y, min.z}, {max.x, min.y, max.z}, {min.x, min.y, max.z}};
    const Vector3 ceiling[4] = {{min.x, max.y, min.z}, {max.x, max.y, min.z}, {max.x, max.y, max.z}, {min.x, max.y, max.z}};
    g.AddQuad(floor, Vector3(0, 1, 0), floorUv);
    g.AddQuad(ceiling, Vector3(0, -1, 0), floorUv);
    // Each wall: its start corner, the direction it runs, its length and its inward normal.
    struct Wall {
        Vector3 start, along, normal;
        float length;
    };
    const Wall walls[4] = {{Vector3(min.x, min.y, min.z), Vector3(1, 0, 0), Vector3(0, 0, 1), max.x - min.x},
                           {Vector3(max.x, min.y, min.z), Vector3(0, 0, 1), Vector3(-1, 0, 0), max.z - min.z},
                           {Vector3(min.x, min.y, max.z), Vector3(1, 0, 0), Vector3(0, 0, -1), max.x - min.x},
                           {Vector3(min.x, min.y, min.z), Vector3(0, 0, 1), Vector3(1, 0, 0), max.z - min.z}};
    for (uint32_t w = 0; w < 4; ++w) {
        std::vector<RoomOpening> mine;
        for (const RoomOpening& o : openings)
            if (o.wall == w) mine.push_back(o);
        const Wall& wall = walls[w];
        for (const WallRect& r : CutWall(wall.length, height, mine)) {
            auto at = [&](float s, float t) { return wall.start + wall.along * s + Vector3(0, t, 0); };
            const Vector3 corners[4] = {at(r.s0, r.t0), at(r.s1, r.t0), at(r.s1, r.t1), at(r.s0, r.t1)};
            const Vector2 uv[4] = {{r.s0 / wall.length, 1 - r.t0 / height},
                                   {r.s1 / wall.length, 1 - r.t0 / height},
                                   {r.s1 / wall.length, 1 - r.t1 / height},
                                   {r.s0 / wall.length, 1 - r.t1 / height}};
            g.AddQuad(corners, wall.normal, uv);
        }
    }
    return g;
}

MeshGeometry MeshBuild_Column(const Vector3& base, float radius, float height, uint32_t sides) {
    MeshGeometry g;
    sides = std::clamp<uint32_t>(sides, 3, 256);
    const Vector3 up(0, 1, 0), down(0, -1, 0);
    const uint16_t bottomCentre = g.AddVertex({base, down, {0.5f, 0.5f}, {0.5f, 0.5f}});
    const uint16_t topCentre = g.AddVertex({base + Vector3(0, height, 0), up, {0.5f, 0.5f}, {0.5f, 0.5f}});
    uint16_t first = 0;
    for (uint32_t i = 0; i <= sides; ++i) {
        // The last ring closes on the first at exactly its corners: a seam
        // that only rounds to the same place leaves the surface open there,
        // and a shadow volume built from it with a crack.
        const float angle = 2.0f * kPi * static_cast<float>(i % sides) / static_cast<float>(sides);
        const Vector3 radial(std::cos(angle), 0.0f, std::sin(angle));
        const Vector3 low = base + radial * radius;
        const Vector3 high = low + Vector3(0, height, 0);
        const float u = static_cast<float>(i) / static_cast<float>(sides);
        const uint16_t sideLow = g.AddVertex({low, radial, {u, 1}, {u, 1}});
        const uint16_t sideHigh = g.AddVertex({high, radial, {u, 0}, {u, 0}});
        const Vector2 capUv{0.5f + radial.x * 0.5f, 0.5f + radial.z * 0.5f};
        const uint16_t capLow = g.AddVertex({low, down, capUv, capUv});
        const uint16_t capHigh = g.AddVertex({high, up, capUv, capUv});
        if (i > 0) {
            const Vector3 outward = radial;
            g.AddTriangle(static_cast<uint16_t>(first), sideLow, sideHigh, outward);
            g.AddTriangle(static_cast<uint16_t>(first), sideHigh, static_cast<uint16_t>(first + 1), outward);
            g.AddTriangle(bottomCentre, static_cast<uint16_t>(first + 2), capLow, down);
            g.AddTriangle(topCentre, static_cast<uint16_t>(first + 3), capHigh, up);
        }
        first = sideLow;
    }
    return g;
}

MeshGeometry MeshBuild_Stairs(const Vector3& origin, uint32_t steps, float width, float rise, float run) {
    MeshGeometry g;
    for (uint32_t k = 0; k < steps; ++k) {
        const float fk = static_cast<float>(k);
        g.Append(MeshBuild_Box(origin + Vector3(0, 0, fk * run),
                               origin + Vector3(width, (fk + 1) * rise, (fk + 1) * run)));
    }
    return g;
}

MeshGeometry MeshBuild_Sphere(const Vector3& centre, float radius, uint32_t rings, uint32_t segments) {
    MeshGeometry g;
    rings = std::clamp<uint32_t>(rings, 3, 180);
    segments = std::clamp<uint32_t>(segments, 3, 180);
    for (uint32_t r = 0; r <= rings; ++r) {
        const float theta = kPi * static_cast<float>(r) / static_cast<float>(rings);
        for (uint32_t s = 0; s <= segments; ++s) {
            const float phi = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(segments);
            const Vector3 n(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
            const Vector2 uv{static_cast<float>(s) / static_cast<float>(segments),
                             static_cast<float>(r) / static_cast<float>(rings)};
            g.AddVertex({centre + n * radius, n, uv, uv});
        }
    }
    const uint32_t row = segments + 1;
    for (uint32_t r = 0; r < rings; ++r) {
        for (uint32_t s = 0; s < segments; ++s) {
            const uint16_t a = static_cast<uint16_t>(r * row + s), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + row), d = static_cast<uint16_t>(c + 1);
            const Vector3 facing = Vec3_Normalized(g.vertices[a].normal + g.vertices[d].normal);
            // The quads at the poles shrink to one triangle.
            if (r > 0) g.AddTriangle(a, b, d, facing);
            if (r + 1 < rings) g.AddTriangle(a, d, c, facing);
        }
    }
    return g;
}

MeshGeometry MeshBuild_Terrain(const Vector3& origin, float size, uint32_t cells,
                               const std::function<float(float x, float z)>& height) {
    MeshGeometry g;
    cells = std::clamp<uint32_t>(cells, 1, 255);
    const float step = size / static_cast<float>(cells);
    for (uint32_t j = 0; j <= cells; ++j) {
        for (uint32_t i = 0; i <= cells; ++i) {
            const float x = origin.x + step * static_cast<float>(i), z = origin.z + step * static_cast<float>(j);
            const float dx = height(x + step * 0.5f, z) - height(x - step * 0.5f, z);
            const float dz = height(x, z + step * 0.5f) - height(x, z - step * 0.5f);
            const Vector2 uv{static_cast<float>(i) / static_cast<float>(cells),
                             static_cast<float>(j) / static_cast<float>(cells)};
            g.AddVertex({Vector3(x, origin.y + height(x, z), z), Vec3_Normalized(Vector3(-dx, step, -dz)), uv, uv});
        }
    }
    const uint32_t row = cells + 1;
    for (uint32_t j = 0; j < cells; ++j) {
        for (uint32_t i = 0; i < cells; ++i) {
            const uint16_t a = static_cast<uint16_t>(j * row + i), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + row), d = static_cast<uint16_t>(c + 1);
            g.AddTriangle(a, b, d, Vector3(0, 1, 0));
            g.AddTriangle(a, d, c, Vector3(0, 1, 0));
        }
    }
    return g;
}

std::function<float(float, float)> MeshBuild_Hills(float amplitude, uint32_t seed) {
    const float s = static_cast<float>(seed % 1000) * 1.7f;
    return [amplitude, s](float x, float z) {
        return amplitude * (0.6f * std::sin(x * 0.013f + s) * std::cos(z * 0.011f + 2.0f * s) +
                            0.4f * std::sin((x + z) * 0.031f + 3.0f * s));
    };
}

QvmSubset MeshBuild_ToSubset(const MeshGeometry& geometry, bool lightMapped) {
    QvmSubset subset;
    subset.vertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | (lightMapped ? D3DFVF_TEX2 : D3DFVF_TEX1);
    subset.stride = lightMapped ? 40 : 32;
    subset.vertexCount = static_cast<uint32_t>(geometry.vertices.size());
    subset.indices = geometry.indices;
    subset.vertices.resize(static_cast<size_t>(subset.stride) * subset.vertexCount);
    uint8_t* out = subset.vertices.data();
    for (const MeshVertex& v : geometry.vertices) {
        std::memcpy(out, &v, subset.stride);  // position, normal, uv and, light-mapped, uv2
        out += subset.stride;
    }
    return subset;
}

QvmFile MeshBuild_RigidFile(std::vector<QvmSubset> subsets) {
    QvmFile file;
    file.subsets = std::move(subsets);
    return file;
}

namespace {

struct FigureBone {
    const char* name;
    const char* parent;
    Vector3 joint, end;
    float thickness;
};

// Joints in mesh space, the figure facing -z (a body's forward, as the
// Character turns it) with its left side at +x and its feet pointing ahead.
// The root "Bip01" carries the whole figure and has no body of its own.
const FigureBone kFigureBones[] = {
    {"Bip01", nullptr, {0, 95, 0}, {0, 95, 0}, 0},
    {"Pelvis", "Bip01", {0, 95, 0}, {0, 105, 0}, 14},
    {"Spine1", "Pelvis", {0, 105, 0}, {0, 120, 0}, 12},
    {"Spine2", "Spine1", {0, 120, 0}, {0, 135, 0}, 13},
    {"Spine3", "Spine2", {0, 135, 0}, {0, 150, 0}, 14},
    {"Neck", "Spine3", {0, 150, 0}, {0, 160, 0}, 5},
    {"Head", "Neck", {0, 160, 0}, {0, 182, 0}, 9},
    {"L_Clavicle", "Spine3", {4, 146, 0}, {16, 146, 0}, 5},
    {"L_UpperArm", "L_Clavicle", {16, 146, 0}, {44, 146, 0}, 5},
    {"L_Forearm", "L_UpperArm", {44, 146, 0}, {68, 146, 0}, 4},
    {"L_Hand", "L_Forearm", {68, 146, 0}, {78, 146, 0}, 4},
    {"R_Clavicle", "Spine3", {-4, 146, 0}, {-16, 146, 0}, 5},
    {"R_UpperArm", "R_Clavicle", {-16, 146, 0}, {-44, 146, 0}, 5},
    {"R_Forearm", "R_UpperArm", {-44, 146, 0}, {-68, 146, 0}, 4},
    {"R_Hand", "R_Forearm", {-68, 146, 0}, {-78, 146, 0}, 4},
    {"L_Thigh", "Pelvis", {10, 92, 0}, {10, 50, 0}, 7},
    {"L_Calf", "L_Thigh", {10, 50, 0}, {10, 8, 0}, 6},
    {"L_Foot", "L_Calf", {10, 8, 0}, {10, 0, -14}, 5},
    {"R_Thigh", "Pelvis", {-10, 92, 0}, {-10, 50, 0}, 7},
    {"R_Calf", "R_Thigh", {-10, 50, 0}, {-10, 8, 0}, 6},
    {"R_Foot", "R_Calf", {-10, 8, 0}, {-10, 0, -14}, 5},
};

int FigureBoneIndex(const char* name) {
    if (name == nullptr) return -1;
    for (size_t i = 0; i < std::size(kFigureBones); ++i)
        if (std::strcmp(kFigureBones[i].name, name) == 0) return static_cast<int>(i);
    return -1;
}

// A box around the segment, at least the thickness wide on every axis.
MeshGeometry SegmentBox(const FigureBone& bone) {
    float lo[3], hi[3];
    for (int axis = 0; axis < 3; ++axis) {
        lo[axis] = std::min(Axis(bone.joint, axis), Axis(bone.end, axis));
        hi[axis] = std::max(Axis(bone.joint, axis), Axis(bone.end, axis));
        if (hi[axis] - lo[axis] < 2 * bone.thickness) {
            const float mid = (lo[axis] + hi[axis]) * 0.5f;
            lo[axis] = mid - bone.thickness;
            hi[axis] = mid + bone.thickness;
        }
    }
    return MeshBuild_Box(Vector3(lo[0], lo[1], lo[2]), Vector3(hi[0], hi[1], hi[2]));
}

}  // namespace

QvmFile MeshBuild_Figure(uint32_t version) {
    QvmFile file;
    file.version = version;
    file.skinned = 1;
    MeshGeometry body;
    std::vector<SkinVertex> skin;
    for (size_t b = 0; b < std::size(kFigureBones); ++b) {
        const FigureBone& bone = kFigureBones[b];
        QvmBone record;
        record.name = bone.name;
        record.parent = FigureBoneIndex(bone.parent);
        Mat4_Translation(&record.offset, -bone.joint.x, -bone.joint.y, -bone.joint.z);
        file.bones.push_back(record);
        if (bone.thickness <= 0.0f) continue;

        const MeshGeometry box = SegmentBox(bone);
        const Vector3 axis = bone.end - bone.joint;
        for (const MeshVertex& v : box.vertices) {
            SkinVertex s{};
            std::memcpy(s.position, &v.position, sizeof s.position);
            std::memcpy(s.normal, &v.normal, sizeof s.normal);
            const float t = Vec3_Dot(v.position - bone.joint, axis) / Vec3_LengthSq(axis);
            // Vertices at the joint bend half with the parent.
            if (record.parent >= 0 && t < 0.25f) {
                s.influenceCount = 2;
                s.weights[0] = s.weights[1] = 0.5f;
                s.bones[0] = static_cast<uint8_t>(b);
                s.bones[1] = static_cast<uint8_t>(record.parent);
            } else {
                s.influenceCount = 1;
                s.weights[0] = 1.0f;
                s.bones[0] = static_cast<uint8_t>(b);
            }
            skin.push_back(s);
        }
        body.Append(box);
    }
    QvmSubset subset = MeshBuild_ToSubset(body, false);
    subset.name = "Body";
    subset.skin = std::move(skin);
    file.subsets.push_back(std::move(subset));
    return file;
}

AnbFile MeshBuild_WavingFlag(float width, float height, uint32_t cells, uint32_t frames) {
    cells = std::clamp<uint32_t>(cells, 1, 200);
    frames = std::max<uint32_t>(frames, 1);
    const uint32_t row = cells + 1;
    AnbPart part;
    for (uint32_t j = 0; j <= cells; ++j) {
        for (uint32_t i = 0; i <= cells; ++i)
            part.texCoords.push_back({static_cast<float>(i) / static_cast<float>(cells),
                                      1.0f - static_cast<float>(j) / static_cast<float>(cells)});
    }
    const float amplitude = width * 0.08f;
    for (uint32_t f = 0; f < frames; ++f) {
        std::vector<AnbVertex> vertices;
        const float phase = 2.0f * kPi * static_cast<float>(f) / static_cast<float>(frames);
        for (uint32_t j = 0; j <= cells; ++j) {
            for (uint32_t i = 0; i <= cells; ++i) {
                const float s = static_cast<float>(i) / static_cast<float>(cells);
                const float wave = 2.0f * kPi * s - phase;
                const float z = amplitude * s * std::sin(wave);
                const float slope = amplitude * (std::sin(wave) + s * 2.0f * kPi * std::cos(wave)) / width;
                vertices.push_back({Vector3(s * width, static_cast<float>(j) / static_cast<float>(cells) * height, z),
                                    Vec3_Normalized(Vector3(slope, 0.0f, -1.0f))});
            }
        }
        part.frames.push_back(std::move(vertices));
    }
    // Facing -z: seen from a camera in front of the flag, the corners run clockwise.
    for (uint32_t j = 0; j < cells; ++j) {
        for (uint32_t i = 0; i < cells; ++i) {
            const uint16_t a = static_cast<uint16_t>(j * row + i), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + row), d = static_cast<uint16_t>(c + 1);
            part.vertexIndices.insert(part.vertexIndices.end(), {a, c, d, a, d, b});
        }
    }
    part.texIndices = part.vertexIndices;
    AnbFile file;
    file.parts.push_back(std::move(part));
    return file;
}
