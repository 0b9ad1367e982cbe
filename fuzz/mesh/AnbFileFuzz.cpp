// Any bytes as an ".anb" file: the reader either fails with no buffers, or
// gives an index buffer of three indices per triangle that all name drawn
// vertices, and a vertex buffer of every frame's drawn vertices.

#include "fuzz/files/FuzzCheck.h"
#include "fuzz/files/FuzzDevice.h"
#include "services/graphics/Graphics.h"
#include "services/mesh/MeshFile.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz_StartDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    g_CurrentFileSystem = &file;
    PlatformVertexBuffer* vertices = nullptr;
    PlatformIndexBuffer* indices = nullptr;
    uint32_t frames = 0, triangles = 0, count = 0;
    const int read = CQVGraphics::GetInstance()->ReadAnbMesh("flag.anb", &vertices, &indices, &frames, &triangles, &count);
    g_CurrentFileSystem = nullptr;
    if (read != 1) {
        Check(read == 0 && vertices == nullptr && indices == nullptr);
        return 0;
    }
    Check(vertices->bytes.size() == uint64_t{frames} * count * kAnbVertexStride);
    Check(indices->bytes.size() == uint64_t{triangles} * 6);
    const uint16_t* index = reinterpret_cast<const uint16_t*>(indices->bytes.data());
    for (uint64_t c = 0; c < uint64_t{triangles} * 3; ++c) Check(index[c] < count);
    vertices->Release();
    indices->Release();
    return 0;
}
