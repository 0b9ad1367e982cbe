#pragma once
// The part of the device that turns its state into GL work when it draws:
// one program per shader key, the constants in groups, the GL state in
// groups, the textures, samplers and vertex layout, each sent only when a
// state change made it stale.

#include "platform/graphics/DeviceState.h"
#include "platform/graphics/GLFunctions.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

// What a state change makes stale. The constant groups take one bit each,
// in ConstantGroup order from DIRTY_CONSTANTS.
enum : uint32_t {
    DIRTY_KEY = 1u << 0,
    DIRTY_CONSTANTS = 1u << 1,
    DIRTY_TRANSFORM = DIRTY_CONSTANTS << GROUP_TRANSFORM,
    DIRTY_MATERIAL = DIRTY_CONSTANTS << GROUP_MATERIAL,
    DIRTY_GLOBAL = DIRTY_CONSTANTS << GROUP_GLOBAL,
    DIRTY_TEXTURE_MATRICES = DIRTY_CONSTANTS << GROUP_TEXTURE,
    DIRTY_LIGHTS = DIRTY_CONSTANTS << GROUP_LIGHTS,
    DIRTY_FRAGMENT = DIRTY_CONSTANTS << GROUP_FRAGMENT,
    DIRTY_ALL_CONSTANTS = ((DIRTY_CONSTANTS << GROUP_COUNT) - 1) & ~(DIRTY_CONSTANTS - 1),
    DIRTY_DEPTH = 1u << 10,
    DIRTY_STENCIL = 1u << 11,
    DIRTY_BLEND = 1u << 12,
    DIRTY_CULL = 1u << 13,
    DIRTY_FILL = 1u << 14,
    DIRTY_COLOR_MASK = 1u << 15,
    DIRTY_DITHER = 1u << 16,
    DIRTY_BIAS = 1u << 17,
    DIRTY_GL_STATE = DIRTY_DEPTH | DIRTY_STENCIL | DIRTY_BLEND | DIRTY_CULL | DIRTY_FILL | DIRTY_COLOR_MASK |
                     DIRTY_DITHER | DIRTY_BIAS,
    DIRTY_VIEWPORT = 1u << 18,
    DIRTY_ALL = 0xFFFFFFFFu,
};

// The groups of a render state: what its change makes stale.
uint32_t Renderer_RenderStateEffects(uint32_t state);

GLuint Renderer_CompileProgram(const std::string& vertex, const std::string& fragment, std::string* log);

struct ShaderKeyHash {
    size_t operator()(const ShaderKey& key) const;
};
struct ShaderKeyEqual {
    bool operator()(const ShaderKey& a, const ShaderKey& b) const;
};

struct DeviceRenderer {
    // The back buffer: a framebuffer of its own while the gamma ramp changes
    // the picture, else the window's.
    GLuint backFbo = 0, backColor = 0, depthStencil = 0;
    GLuint drawFramebuffer = 0;  // the one drawn into now: backFbo or 0
    bool rowsTopFirst = true;     // rows of the framebuffer drawn into run top first
    GLint gammaArea = -1;
    bool identityRamp = true;     // the ramp changes nothing
    bool directPresent = false;   // the window can hold the back buffer itself
    bool presented = false;       // nothing drawn since the last present
    GLsync previousFrame = nullptr;  // the fence after the last present
    bool windowDoubleBuffered = false;
    bool backHasAlpha = false;
    // The back buffer's stencil holds one value everywhere (it was cleared
    // whole and no draw has tested it since): a clear of the depth alone
    // can then write the stencil too, which the driver does far faster than
    // keeping the stencil bits of every pixel.
    bool stencilKnown = false;
    uint8_t stencilValue = 0;
    GLuint vao = 0, emptyVao = 0, streamVertices = 0, streamIndices = 0, prepareVertices = 0;
    GLuint samplers[D3D_MAX_TEXTURE_STAGES] = {};
    GLuint gammaProgram = 0, gammaRamp = 0;
    GLuint lightBuffer = 0;            // the lights group, bound to the programs' light block
    uint64_t lightBufferVersion = 0;   // the lights group's version the buffer holds

    struct Program {
        GLuint id = 0;
        GLint location[GROUP_COUNT] = {-1, -1, -1, -1, -1, -1};
        GLsizei vectors[GROUP_COUNT] = {};     // vec4s of each group the shaders hold
        uint64_t version[GROUP_COUNT] = {};    // the group's constants it last received
        bool usesLights = false;               // reads the light block
    };
    std::unordered_map<ShaderKey, Program, ShaderKeyHash, ShaderKeyEqual> programs;
    Program* current = nullptr;
    GLuint currentProgram = 0;

    TransformConstants transform{};
    MaterialConstants material{};
    GlobalConstants global{};
    TextureConstants texture{};
    FragmentConstants fragment{};
    std::vector<std::array<float, 4>> lights{1};  // the lights group: count, then kLightVectors a light
    uint32_t lightCount = 0;               // lights in the constants
    uint64_t viewVersion = 1;              // counts view changes, for the lights in view space
    uint32_t lightClassSizes[kLightClassCount] = {};
    uint64_t version[GROUP_COUNT] = {1, 1, 1, 1, 1, 1};

    uint32_t dirty = DIRTY_ALL;
    uint32_t samplerDirty = 0xFF;
    uint32_t textureDirty = 0xFF;
    uint32_t userStride = 0;  // of the vertices in the streaming buffer
    // The vertex layout last given to the vertex array.
    GLuint layoutBuffer = 0;
    uint32_t layoutFvf = 0, layoutStride = 0;
    bool layoutValid = false;
    GLuint boundIndices = 0;
    uint32_t width = 0, height = 0;
    D3DFORMAT colorFormat = D3DFMT_X8R8G8B8;

    // Programs made, and those a draw had to wait for.
    uint32_t programsBuiltInDraws = 0;
    double worstBuildMs = 0.0, totalBuildMs = 0.0;
    bool preparing = false;  // the draw in progress only prepares
};
