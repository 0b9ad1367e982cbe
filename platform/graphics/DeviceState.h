#pragma once
// The device's state record, the vertex layouts decoded from FVF codes and the
// key that selects one generated shader pair per fixed-function configuration.

#include "platform/graphics/D3D8Types.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class PlatformTexture;
class PlatformVertexBuffer;
class PlatformIndexBuffer;
struct SDL_Window;

// The GL context a device and its resources live in. Resources made on a
// device that has gone keep their CPU copies and skip GL calls. GL is called
// only on the thread where the context is current; other threads leave
// their uploads and deletions here for it.
struct DeviceContext {
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    bool alive = false;
    bool s3tc = false;  // GL samples DXT blocks itself

    std::mutex pendingLock;
    std::vector<PlatformTexture*> pendingTextures;  // referenced while listed
    std::vector<uint32_t> deadTextures;

    // True on the thread that may call GL.
    bool IsCurrent() const;
    // Uploads what other threads wrote and deletes what they released.
    void FlushPending();
};

struct LightSlot {
    D3DLIGHT8 light{};
    bool enabled = false;
};

// The lights by index. Indices are any 32-bit number and the engine never
// reuses one, so they are looked up by hash, not by position; the enabled
// ones are also kept in index order for the draw.
struct LightTable {
    std::unordered_map<uint32_t, LightSlot> slots;
    std::vector<uint32_t> enabled;

    const LightSlot* Find(uint32_t index) const;
    // Enabling a light that was never set gives the default light: white,
    // directional, along +z. False when nothing changed.
    bool Enable(uint32_t index, bool on);
    void Set(uint32_t index, const D3DLIGHT8& light);
    void Clear();
};

// Everything the application sets on the device, in one record, so that the
// whole state can be captured, compared and restored at once.
struct DeviceState {
    uint32_t renderStates[D3DRS_COUNT];
    uint32_t stageStates[D3D_MAX_TEXTURE_STAGES][D3DTSS_COUNT];
    D3DMATRIX world, view, projection;
    D3DMATRIX textureTransforms[D3D_MAX_TEXTURE_STAGES];
    D3DMATERIAL8 material;
    LightTable lights;
    D3DVIEWPORT8 viewport;
    PlatformTexture* textures[D3D_MAX_TEXTURE_STAGES];
    uint32_t fvf;
    PlatformVertexBuffer* stream;
    uint32_t streamStride;
    PlatformIndexBuffer* indices;
    uint32_t baseVertexIndex;

    // The values a new or reset device starts with.
    void SetDefaults(bool autoDepthStencil, uint32_t width, uint32_t height);
};

D3DMATRIX Matrix_Identity();
D3DMATRIX Matrix_Multiply(const D3DMATRIX& a, const D3DMATRIX& b);
// Inverse transpose of the upper 3x3 (normals), returned in a 4x4 with no translation.
D3DMATRIX Matrix_NormalMatrix(const D3DMATRIX& m);

// Where each field sits in a vertex of an FVF layout.
struct FvfLayout {
    bool valid = false;
    bool rhw = false;
    uint32_t stride = 0;
    uint32_t blendWeights = 0;   // floats after the position
    int normal = -1, pointSize = -1, diffuse = -1, specular = -1;
    uint32_t texSets = 0;
    int texOffset[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    uint32_t texSize[8] = {};   // floats per set
};

FvfLayout Fvf_Decode(uint32_t fvf);

// Vertex attribute slots of the generated shaders.
enum : uint32_t {
    ATTR_POSITION = 0,
    ATTR_NORMAL = 1,
    ATTR_DIFFUSE = 2,
    ATTR_SPECULAR = 3,
    ATTR_TEXCOORD0 = 4,
    ATTR_POINTSIZE = 12,
    ATTR_COUNT = 13,
};

struct ShaderStageKey {
    uint8_t colorOp, colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    uint8_t resultTemp;     // the stage writes the temporary register instead of current
    uint8_t textured;       // a texture is bound
    uint8_t coordSet;       // vertex set the coordinates come from (8: none)
    uint8_t coordGen;       // 0 pass-through, 1 camera normal, 2 camera position, 3 reflection
    uint8_t transformCount; // 0: no texture transform
    uint8_t projected;
    uint8_t pad[2];
};

// Everything that changes the generated code; zeroed before filling so that
// its bytes compare and hash as a whole.
struct ShaderKey {
    uint8_t rhw, hasNormal, hasDiffuse, hasSpecular;
    uint8_t texSets;
    uint8_t texSize[8];
    uint8_t lighting, lightCount, specularEnable, localViewer, normalizeNormals;
    uint8_t lightTypes[D3D_MAX_ACTIVE_LIGHTS];
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;
    uint8_t vertexFog, pixelFog, fogFromSpecular;  // D3DFOGMODE of vertex and table fog
    uint8_t flat;
    uint8_t alphaFunc;  // 0: no alpha test
    uint8_t stageCount;
    ShaderStageKey stages[D3D_MAX_TEXTURE_STAGES];
};

ShaderKey Shader_MakeKey(const DeviceState& state, const FvfLayout& layout, const uint32_t* activeLights,
                         uint32_t activeLightCount);
std::string Shader_VertexSource(const ShaderKey& key);
std::string Shader_FragmentSource(const ShaderKey& key);

struct ShaderLight {
    float diffuse[4], specular[4], ambient[4];
    float position[4];     // view space; w: range
    float direction[4];    // view space, towards the light's aim; w: falloff
    float attenuation[4];  // a0, a1, a2, cos(theta / 2)
    float spot[4];         // cos(phi / 2)
};

// The constants the generated vertex shaders read, as whole vectors of four
// floats: what changes with every draw first, the lights and texture
// transforms last, so that a shader that uses few of them gets a short array.
struct VertexConstants {
    float worldViewProj[16];
    float worldView[16];
    float normalMatrix[16];
    float materialDiffuse[4], materialAmbient[4], materialSpecular[4], materialEmissive[4];
    float globalAmbient[4];
    float fog[4];          // start, end, density, 1 / (end - start)
    float misc[4];         // x: specular power
    float screen[4];       // pre-transformed vertices: viewport x, y, 2 / width, 2 / height
    float pixelOffset[4];  // clip-space offsets that put pixel centres where the content expects them
    ShaderLight lights[D3D_MAX_ACTIVE_LIGHTS];
    float textureMatrix[D3D_MAX_TEXTURE_STAGES][16];
};

// The constants of the generated fragment shaders.
struct FragmentConstants {
    float fog[4];
    float fogColor[4];
    float textureFactor[4];
    float misc[4];  // y: alpha reference 0..255
};

constexpr uint32_t kVertexConstantVectors = sizeof(VertexConstants) / 16;
constexpr uint32_t kFragmentConstantVectors = sizeof(FragmentConstants) / 16;
static_assert(sizeof(VertexConstants) % 16 == 0 && sizeof(FragmentConstants) % 16 == 0);
