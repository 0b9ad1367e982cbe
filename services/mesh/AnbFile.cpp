// The ".anb" reader. The file holds u32 frame count F, u32 part count P,
// then per part: u32 vertex count A, u32 texture-coordinate count B, u32
// triangle count Q, A vertices of frame 0 (position and normal, 6 f32), 3Q
// u16 vertex indices, B texture coordinates (2 f32), 3Q u16
// texture-coordinate indices (both index lists counted within the part); then
// frames 1 to F - 1, each all vertices of all parts again.
//
// Every texture coordinate becomes one drawn vertex, so the mesh is expanded
// once here into F blocks of drawn vertices and a frame is chosen at draw
// time by its base vertex alone.

#include "services/mesh/MeshFile.h"

#include "kernel/base/Archive.h"
#include "services/graphics/Graphics.h"

#include <memory>
#include <new>

namespace {

struct AnbSourceVertex {
    float position[3];
    float normal[3];
};
static_assert(sizeof(AnbSourceVertex) == 24);

struct AnbDrawnVertex {
    AnbSourceVertex source;
    float u, v;
};
static_assert(sizeof(AnbDrawnVertex) == kAnbVertexStride);

constexpr uint32_t kPartHeaderBytes = 12;
// Drawn vertices of every frame together; more is no mesh the game can show.
constexpr uint64_t kMaxDrawnBytes = uint64_t{1} << 28;

template <typename T>
std::unique_ptr<T[]> Allocate(uint64_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count > 0 ? count : 1]);
}

struct AnbTotals {
    uint32_t frames = 0;
    uint32_t parts = 0;
    uint64_t vertices = 0;     // N: source vertices of one frame
    uint64_t texCoords = 0;    // M: drawn vertices of one frame
    uint64_t triangles = 0;    // K
};

class AnbReader {
public:
    AnbReader(CQVGraphics* graphics, const char* path) : m_Graphics(graphics), m_Path(path) {}
    int Read(PlatformVertexBuffer** vertexBuffer, PlatformIndexBuffer** indexBuffer, uint32_t* frames,
             uint32_t* triangles, uint32_t* vertices);

private:
    int Damaged() { return m_Graphics->SetError("%s", "Error Can't Load Mesh"); }
    int Count();
    int ReadParts();
    // Reads 3q indices into the list at the corner offset, each checked to lie
    // below the part's own count and moved past the earlier parts' items.
    bool ReadIndices(uint32_t* list, uint64_t corner, uint32_t q, uint32_t count, uint64_t base);

    CQVArchive m_Archive;
    CQVGraphics* m_Graphics;
    const char* m_Path;
    AnbTotals m_Totals;
    std::unique_ptr<uint32_t[]> m_VertexIndices;
    std::unique_ptr<uint32_t[]> m_TexIndices;
    std::unique_ptr<float[]> m_TexCoords;
    std::unique_ptr<AnbSourceVertex[]> m_Vertices;
};

int AnbReader::Count() {
    AnbTotals& t = m_Totals;
    if (m_Archive.SerializeDword(&t.frames) != 1 || m_Archive.SerializeCount(&t.parts, kPartHeaderBytes) != 1 ||
        t.frames == 0)
        return Damaged();
    for (uint32_t p = 0; p < t.parts; ++p) {
        uint32_t counts[3];
        if (m_Archive.SerializeDwords(counts, 3) != 3) return Damaged();
        const uint64_t data = uint64_t{counts[0]} * 24 + uint64_t{counts[2]} * 12 + uint64_t{counts[1]} * 8;
        if (data > m_Archive.GetRemaining()) return Damaged();
        t.vertices += counts[0];
        t.texCoords += counts[1];
        t.triangles += counts[2];
        if (m_Archive.Seek(static_cast<int32_t>(data), FILE_SEEK_CUR) != 0) return Damaged();
    }
    // Indices are 16 bits wide over all parts together.
    if (t.texCoords > 0x10000) return Damaged();
    if (t.vertices > 0 && t.frames - 1 > m_Archive.GetRemaining() / (t.vertices * sizeof(AnbSourceVertex)))
        return Damaged();
    if (t.frames * t.texCoords * kAnbVertexStride > kMaxDrawnBytes || t.triangles * 6 > kMaxDrawnBytes)
        return m_Graphics->SetError("Fail to Alloc memory for: %s", m_Path);
    return 1;
}

bool AnbReader::ReadIndices(uint32_t* list, uint64_t corner, uint32_t q, uint32_t count, uint64_t base) {
    for (uint64_t k = 0; k < uint64_t{q} * 3; ++k) {
        uint16_t index;
        if (m_Archive.SerializeBytes(&index, 2) != 2 || index >= count) return false;
        list[corner + k] = static_cast<uint32_t>(base + index);
    }
    return true;
}

int AnbReader::ReadParts() {
    uint32_t header[2];
    if (m_Archive.Seek(0, FILE_SEEK_SET) != 0 || m_Archive.SerializeDwords(header, 2) != 2) return Damaged();
    uint64_t vertexBase = 0, texBase = 0, corner = 0;
    for (uint32_t p = 0; p < m_Totals.parts; ++p) {
        uint32_t counts[3];
        if (m_Archive.SerializeDwords(counts, 3) != 3) return Damaged();
        const uint32_t a = counts[0], b = counts[1], q = counts[2];
        const uint32_t vertexBytes = a * static_cast<uint32_t>(sizeof(AnbSourceVertex));
        if (a > 0 && m_Archive.SerializeBytes(&m_Vertices[vertexBase], vertexBytes) != vertexBytes)
            return Damaged();
        if (!ReadIndices(m_VertexIndices.get(), corner, q, a, vertexBase)) return Damaged();
        if (b > 0 && m_Archive.SerializeBytes(&m_TexCoords[texBase * 2], b * 8) != b * 8) return Damaged();
        if (!ReadIndices(m_TexIndices.get(), corner, q, b, texBase)) return Damaged();
        vertexBase += a;
        texBase += b;
        corner += uint64_t{q} * 3;
    }
    const uint64_t further = (m_Totals.frames - 1) * m_Totals.vertices * sizeof(AnbSourceVertex);
    if (further > 0 &&
        m_Archive.SerializeBytes(&m_Vertices[m_Totals.vertices], static_cast<uint32_t>(further)) != further)
        return Damaged();
    return 1;
}

int AnbReader::Read(PlatformVertexBuffer** vertexBuffer, PlatformIndexBuffer** indexBuffer, uint32_t* frames,
                    uint32_t* triangles, uint32_t* vertices) {
    CQVGraphics* graphics = m_Graphics;
    if (!m_Archive.Open(m_Path, "rb ")) return graphics->SetError("Can\xB4t open file: %s", m_Path);
    if (Count() != 1) return 0;
    const AnbTotals& t = m_Totals;
    m_VertexIndices = Allocate<uint32_t>(t.triangles * 3);
    m_TexIndices = Allocate<uint32_t>(t.triangles * 3);
    m_TexCoords = Allocate<float>(t.texCoords * 2);
    m_Vertices = Allocate<AnbSourceVertex>(t.vertices * t.frames);
    if (!m_VertexIndices || !m_TexIndices || !m_TexCoords || !m_Vertices)
        return graphics->SetError("Fail to Alloc memory for: %s", m_Path);
    if (ReadParts() != 1) return 0;
    m_Archive.Close();

    PlatformDevice* device = graphics->GetDevice();
    const uint32_t m = static_cast<uint32_t>(t.texCoords);
    const uint32_t k = static_cast<uint32_t>(t.triangles);
    PlatformIndexBuffer* ib = nullptr;
    PlatformVertexBuffer* vb = nullptr;
    if (device == nullptr || !Succeeded(device->CreateIndexBuffer(k * 6, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &ib)))
        return graphics->SetError("Error Creating Index Buffer");
    if (!Succeeded(device->CreateVertexBuffer(t.frames * m * kAnbVertexStride, 0, kAnbVertexFormat, D3DPOOL_MANAGED,
                                          &vb))) {
        ib->Release();
        return graphics->SetError("Error Creating Vertex Buffer");
    }
    uint8_t* indexData = nullptr;
    uint8_t* vertexData = nullptr;
    const bool indexLocked = Succeeded(ib->Lock(0, 0, &indexData, 0));
    const bool vertexLocked = indexLocked && Succeeded(vb->Lock(0, 0, &vertexData, 0));
    if (!vertexLocked) {
        if (indexLocked) ib->Unlock();
        ib->Release();
        vb->Release();
        return graphics->SetError(indexLocked ? "LockVertexBuffer" : "LockIndexBuffer");
    }
    uint16_t* indices = reinterpret_cast<uint16_t*>(indexData);
    for (uint64_t c = 0; c < uint64_t{k} * 3; ++c) indices[c] = static_cast<uint16_t>(m_TexIndices[c]);
    AnbDrawnVertex* drawn = reinterpret_cast<AnbDrawnVertex*>(vertexData);
    for (uint64_t f = 0; f < t.frames; ++f) {
        for (uint64_t c = 0; c < uint64_t{k} * 3; ++c) {
            const uint32_t tex = m_TexIndices[c];
            AnbDrawnVertex& out = drawn[f * m + tex];
            out.source = m_Vertices[f * t.vertices + m_VertexIndices[c]];
            out.u = m_TexCoords[tex * 2];
            out.v = m_TexCoords[tex * 2 + 1];
        }
    }
    ib->Unlock();
    vb->Unlock();
    *vertexBuffer = vb;
    *indexBuffer = ib;
    *frames = t.frames;
    *triangles = k;
    *vertices = m;
    return 1;
}

}  // namespace

int CQVGraphics::ReadAnbMesh(const char* path, PlatformVertexBuffer** vertexBuffer, PlatformIndexBuffer** indexBuffer,
                             uint32_t* frameCount, uint32_t* triangleCount, uint32_t* vertexCount) {
    AnbReader reader(this, path);
    return reader.Read(vertexBuffer, indexBuffer, frameCount, triangleCount, vertexCount);
}
