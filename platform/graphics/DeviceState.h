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
    std::vector<uint32_t> deadBuffers;
    // The context holds a reference on the GL library: SDL unloads it when
    // the last GL window is destroyed, and resources released after that
    // (a game's actors freed after its window closed) would call into code
    // that is gone.
    bool holdsLibrary = false;

    // True on the thread that may call GL.
    bool IsCurrent() const;
    // Uploads what other threads wrote and deletes what they released.
    void FlushPending();
};


// One light in view space as the shaders read it: diffuse (w: type),
// position (w: range), direction towards the aim (w: falloff), attenuation
// 0, 1, 2 (w: cos phi/2), ambient (w: cos theta/2), specular.
constexpr uint32_t kLightVectors = 6;  // vec4s per light
// The first point lights have fixed places at the start of the light block
// (after the counts), which the vertex shaders light without a loop; places
// left over hold a light that reaches nothing.
constexpr uint32_t kFixedPointLights = 4;
constexpr uint32_t kLightBlockBinding = 0;  // uniform buffer binding of the light block
struct LightConstants {
    float v[kLightVectors][4];
};

struct LightSlot {
    D3DLIGHT8 light{};
    bool enabled = false;
    // The light in view space, for the view of the version it was made for
    // (0: none yet); made again when the light or the view changes.
    mutable LightConstants view{};
    mutable uint64_t viewVersion = 0;
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

// Where a stage's texture coordinates come from.
enum : uint8_t { COORD_PASS = 0, COORD_NORMAL = 1, COORD_POSITION = 2, COORD_REFLECTION = 3 };
constexpr uint8_t kMissingCoordSet = 8;

struct ShaderStageKey {
    uint8_t colorOp, colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    uint8_t resultTemp;     // the stage writes the temporary register instead of current
    uint8_t textured;       // a texture is bound
    uint8_t coordSet;       // vertex set the coordinates come from (kMissingCoordSet: none)
    uint8_t coordGen;       // COORD_*
    uint8_t coordSize;      // floats of the set, when a texture transform widens it
    uint8_t transformCount; // 0: no texture transform
    uint8_t projected;
    uint8_t pad;
};

// Everything that changes the generated code, and only that: lights, fog,
// material sources, alpha-test function and reference, viewer and normal
// options are constants, so that switching them reuses the program. The
// key is zeroed before filling so that its bytes compare and hash as a whole.
struct ShaderKey {
    uint8_t rhw;            // pre-transformed vertices
    uint8_t lighting;
    uint8_t lightClass;     // size class of the light array (kLightClassSizes)
    uint8_t specular;       // SPECULARENABLE: specular lit and added after the stages
    uint8_t pixelFog;       // D3DFOGMODE of table fog, evaluated per pixel
    uint8_t flat;
    uint8_t alphaTest;
    uint8_t stageCount;
    uint8_t alphaUnused;    // nothing reads the alpha the stages leave: it is not computed
    ShaderStageKey stages[D3D_MAX_TEXTURE_STAGES];
};

// Lights one program can take: a draw with more enabled lights than its
// class holds uses the next class. The last class is what GL allows.
constexpr uint32_t kLightClassCount = 4;

ShaderKey Shader_MakeKey(const DeviceState& state, const FvfLayout& layout, uint32_t lightClass,
                         bool backBufferAlpha);
// Class of a number of enabled lights, for class sizes (the last one being the most GL takes).
uint32_t Shader_LightClass(uint32_t lights, const uint32_t (&classSizes)[kLightClassCount]);
std::string Shader_VertexSource(const ShaderKey& key, uint32_t lightCapacity);
std::string Shader_FragmentSource(const ShaderKey& key);

// The constants, in groups that change apart; each group is one uniform
// array of vec4 in the shaders and is uploaded to a program only when it
// changed since that program last drew.
enum ConstantGroup : uint32_t {
    GROUP_TRANSFORM,  // world-view-projection, world-view, normal matrix
    GROUP_MATERIAL,   // diffuse, ambient, specular, emissive
    GROUP_GLOBAL,     // ambient and power, fog, options, material sources, screen, pixel offset
    GROUP_TEXTURE,    // texture transforms of the eight stages
    GROUP_LIGHTS,     // the number of enabled lights, then each light (LightConstants)
    GROUP_FRAGMENT,   // fog colour, texture factor, pixel fog, alpha test
    GROUP_COUNT,
};
extern const char* const kConstantGroupNames[GROUP_COUNT];

struct TransformConstants {
    float worldViewProj[16];
    float worldView[16];
    float normalMatrix[16];
};
struct MaterialConstants {
    float diffuse[4], ambient[4], specular[4], emissive[4];  // emissive w: specular power
};
struct GlobalConstants {
    float ambient[4];      // global ambient rgb
    float fog[4];          // start, end, density, 1 / (end - start)
    float options[4];      // vertex fog mode (4: from the specular alpha), 0, local viewer, normalize
    float sources[4];      // diffuse, ambient, specular, emissive: 0 material, 1 vertex diffuse, 2 vertex specular
    float screen[4];       // pre-transformed vertices: viewport x, y, 2 / width, 2 / height
    float pixel[4];        // clip-space offsets putting pixel centres on integers; z: 1 rows top first, -1 bottom first
    float depth[4];        // viewport's MinZ and 1 / (MaxZ - MinZ), undone for pre-transformed depth
};
struct TextureConstants {
    float matrices[D3D_MAX_TEXTURE_STAGES][16];
};
struct FragmentConstants {
    float fogColor[4];
    float textureFactor[4];
    float fog[4];          // as GlobalConstants::fog, for table fog
    float alphaTest[4];    // reference 0..255, D3DCMPFUNC
};
