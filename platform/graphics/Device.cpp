// The device on OpenGL: the back buffer is a framebuffer of its own, every
// draw runs the shader pair generated for the fixed-function state it meets,
// and Present runs the gamma ramp as a last pass into the window.

#include "platform/graphics/GraphicsDevice.h"

#include "platform/Window.h"
#include "platform/graphics/DeviceState.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/StateBlocks.h"
#include "platform/graphics/TextureFormats.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

using namespace glfn;

namespace {

// Pixel centres sit on integer coordinates; edges through a centre belong
// to the pixel on their right or below (a subpixel step keeps ties away).
constexpr float kEdgeBias = 1.0f / 256.0f;

// Dirty bits of the renderer.
enum : uint32_t {
    DIRTY_KEY = 1,
    DIRTY_CONSTANTS = 2,
    DIRTY_GLSTATE = 4,
    DIRTY_VIEWPORT = 8,
    DIRTY_ALL = 0xFF,
};

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(c & 0xFF) / 255.0f;
    out[3] = static_cast<float>(c >> 24) / 255.0f;
}

void CopyColor(const D3DCOLORVALUE& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

GLenum CompareFunction(uint32_t cmp, GLenum fallback) {
    static const GLenum kFunctions[] = {GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return cmp >= D3DCMP_NEVER && cmp <= D3DCMP_ALWAYS ? kFunctions[cmp - 1] : fallback;
}

GLenum StencilOperation(uint32_t op) {
    // INCR and DECR wrap around.
    static const GLenum kOps[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return op >= D3DSTENCILOP_KEEP && op <= D3DSTENCILOP_DECR ? kOps[op - 1] : GL_KEEP;
}

GLenum BlendFactor(uint32_t blend, GLenum fallback) {
    static const GLenum kFactors[] = {GL_ZERO,      GL_ONE,           GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                      GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                      GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA_SATURATE};
    return blend >= D3DBLEND_ZERO && blend <= D3DBLEND_SRCALPHASAT ? kFactors[blend - 1] : fallback;
}

GLenum BlendEquation(uint32_t op) {
    static const GLenum kOps[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    return op >= D3DBLENDOP_ADD && op <= D3DBLENDOP_MAX ? kOps[op - 1] : GL_FUNC_ADD;
}

GLenum AddressMode(uint32_t mode) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRRORED_REPEAT;
    default: return GL_REPEAT;
    }
}

bool PrimitiveVertices(D3DPRIMITIVETYPE type, uint32_t count, GLenum* mode, uint32_t* vertices) {
    switch (type) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; *vertices = count; return true;
    case D3DPT_LINELIST: *mode = GL_LINES; *vertices = count * 2; return true;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *vertices = count + 1; return true;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *vertices = count * 3; return true;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *vertices = count + 2; return true;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *vertices = count + 2; return true;
    default: return false;
    }
}

GLuint CompileProgram(const std::string& vertex, const std::string& fragment, std::string* log) {
    auto compile = [&](GLenum type, const std::string& source) -> GLuint {
        GLuint shader = glCreateShader(type);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char buffer[2048] = {};
            glGetShaderInfoLog(shader, sizeof buffer - 1, nullptr, buffer);
            if (log) *log = buffer;
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    GLuint vs = compile(GL_VERTEX_SHADER, vertex);
    if (vs == 0) return 0;
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragment);
    if (fs == 0) {
        glDeleteShader(vs);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    static const char* kAttributes[] = {"inPosition", "inNormal", "inDiffuse", "inSpecular", "inTex0", "inTex1",
                                        "inTex2",     "inTex3",   "inTex4",    "inTex5",     "inTex6", "inTex7"};
    for (GLuint i = 0; i < sizeof kAttributes / sizeof kAttributes[0]; ++i) glBindAttribLocation(program, i, kAttributes[i]);
    glBindFragDataLocation(program, 0, "fragColor");
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetProgramInfoLog(program, sizeof buffer - 1, nullptr, buffer);
        if (log) *log = buffer;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

const char* kGammaVertex = R"(#version 330 core
void main() {
    vec2 p = vec2(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0);
    gl_Position = vec4(p, 0.0, 1.0);
}
)";

// Each channel's 8-bit value indexes the ramp; the display shows the ramp
// entry's high byte. The back buffer's rows are stored top first, the
// window's bottom first; area.xy scales window pixels to back-buffer pixels.
const char* kGammaFragment = R"(#version 330 core
uniform sampler2D image;
uniform sampler2D ramp;
uniform vec4 area;
out vec4 fragColor;
void main() {
    ivec2 source = ivec2(gl_FragCoord.x * area.x, (area.z - gl_FragCoord.y) * area.y);
    vec3 c = texelFetch(image, source, 0).rgb;
    ivec3 i = ivec3(c * 255.0 + 0.5);
    fragColor = vec4(texelFetch(ramp, ivec2(i.r, 0), 0).r, texelFetch(ramp, ivec2(i.g, 0), 0).g,
                     texelFetch(ramp, ivec2(i.b, 0), 0).b, 1.0);
}
)";

}  // namespace

struct DeviceRenderer {
    GLuint backFbo = 0, backColor = 0, depthStencil = 0;
    GLint gammaArea = -1;
    bool identityRamp = true;  // the ramp changes nothing: presenting is a copy
    bool backHasAlpha = false;
    GLuint vao = 0, emptyVao = 0, streamVertices = 0, streamIndices = 0;
    GLuint samplers[D3D_MAX_TEXTURE_STAGES] = {};
    GLuint gammaProgram = 0, gammaRamp = 0;
    struct Program {
        GLuint id = 0;
        GLint vertexConstants = -1, fragmentConstants = -1;
        GLsizei vertexVectors = 0, fragmentVectors = 0;  // array elements the shaders use
        uint64_t vertexVersion = 0, fragmentVersion = 0;  // constants last uploaded to it
    };
    std::unordered_map<std::string, Program> programs;
    Program* current = nullptr;
    GLuint currentProgram = 0;
    uint64_t vertexVersion = 1, fragmentVersion = 1;
    uint32_t dirty = DIRTY_ALL;
    uint32_t samplerDirty = 0xFF;
    uint32_t textureDirty = 0xFF;
    // The vertex layout last given to the vertex array.
    GLuint layoutBuffer = 0;
    uint32_t layoutFvf = 0, layoutStride = 0;
    size_t layoutOffset = 0;
    bool layoutValid = false;
    GLuint boundIndices = 0;
    uint32_t activeLights[D3D_MAX_ACTIVE_LIGHTS] = {};
    uint32_t activeLightCount = 0;
    VertexConstants vertexConstants{};
    FragmentConstants fragmentConstants{};
    uint32_t width = 0, height = 0;
    D3DFORMAT colorFormat = D3DFMT_X8R8G8B8;
};

PlatformDevice::PlatformDevice()
    : m_State(new DeviceState()), m_Blocks(new StateBlocks()), m_Renderer(new DeviceRenderer()) {}

PlatformDevice::~PlatformDevice() {
    for (PlatformTexture*& texture : m_State->textures)
        if (texture) texture->Release();
    if (m_State->stream) m_State->stream->Release();
    if (m_State->indices) m_State->indices->Release();
    if (m_Context && m_Context->glContext) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(m_Context->glContext));
        m_Context->alive = false;
        m_Context->glContext = nullptr;
    }
}

void PlatformDevice::Release() { delete this; }

HRESULT PlatformDevice::Create(HWND window, const D3DPRESENT_PARAMETERS& parameters, PlatformDevice** out,
                               std::string* error) {
    *out = nullptr;
    SDL_Window* sdl = static_cast<SDL_Window*>(Platform_GetNativeWindow(window));
    if (sdl == nullptr) {
        *error = "no window";
        return D3DERR_INVALIDCALL;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (context == nullptr) {
        *error = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
        return D3DERR_NOTAVAILABLE;
    }
    std::unique_ptr<PlatformDevice> device(new PlatformDevice());
    device->m_Context = std::make_shared<DeviceContext>();
    device->m_Context->window = sdl;
    device->m_Context->glContext = context;
    device->m_Context->alive = true;
    const char* missing = nullptr;
    if (!GL_LoadFunctions(&missing)) {
        *error = std::string("OpenGL function missing: ") + missing;
        return D3DERR_NOTAVAILABLE;
    }
    GLint extensions = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    for (GLint i = 0; i < extensions; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name && std::strcmp(name, "GL_EXT_texture_compression_s3tc") == 0) device->m_Context->s3tc = true;
    }
    device->m_Window = window;
    device->m_Parameters = parameters;
    SDL_GL_SetSwapInterval(parameters.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    for (int i = 0; i < 256; ++i) {
        const uint16_t v = static_cast<uint16_t>(i * 256);
        device->m_Gamma.red[i] = device->m_Gamma.green[i] = device->m_Gamma.blue[i] = v;
    }
    if (!device->MakeBackBuffer(error)) return D3DERR_NOTAVAILABLE;
    *out = device.release();
    return D3D_OK;
}

bool PlatformDevice::MakeBackBuffer(std::string* error) {
    DeviceRenderer& r = *m_Renderer;
    const uint32_t width = m_Parameters.BackBufferWidth, height = m_Parameters.BackBufferHeight;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) || height > static_cast<uint32_t>(maxSize)) {
        *error = "back buffer size " + std::to_string(width) + "x" + std::to_string(height) + " not available";
        return false;
    }
    if (r.backFbo == 0) {
        glGenFramebuffers(1, &r.backFbo);
        glGenTextures(1, &r.backColor);
        glGenRenderbuffers(1, &r.depthStencil);
        glGenVertexArrays(1, &r.vao);
        glGenVertexArrays(1, &r.emptyVao);
        glGenBuffers(1, &r.streamVertices);
        glGenBuffers(1, &r.streamIndices);
        glGenSamplers(D3D_MAX_TEXTURE_STAGES, r.samplers);
        glGenTextures(1, &r.gammaRamp);
        std::string log;
        r.gammaProgram = CompileProgram(kGammaVertex, kGammaFragment, &log);
        if (r.gammaProgram == 0) {
            *error = "gamma shader: " + log;
            return false;
        }
        glUseProgram(r.gammaProgram);
        glUniform1i(glGetUniformLocation(r.gammaProgram, "image"), 0);
        glUniform1i(glGetUniformLocation(r.gammaProgram, "ramp"), 1);
        r.gammaArea = glGetUniformLocation(r.gammaProgram, "area");
        glUseProgram(0);
        // Flat shading takes the first vertex's colours.
        glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
        glFrontFace(GL_CCW);
        glBindVertexArray(r.vao);
    }
    // The back buffer keeps the precision of its format; 16-bit formats
    // dither. Formats without alpha are stored with one (the content never
    // blends with destination alpha) and read back as opaque.
    GLenum internal = GL_RGBA8;
    r.backHasAlpha = m_Parameters.BackBufferFormat == D3DFMT_A8R8G8B8 || m_Parameters.BackBufferFormat == D3DFMT_A1R5G5B5;
    switch (m_Parameters.BackBufferFormat) {
    case D3DFMT_R5G6B5: internal = GL_RGB565; break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: internal = GL_RGB5_A1; break;
    default: break;
    }
    auto makeColor = [&](GLuint texture, GLenum format) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(width),
                     static_cast<GLsizei>(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    };
    makeColor(r.backColor, internal);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, r.depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glBindFramebuffer(GL_FRAMEBUFFER, r.backFbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, r.backColor, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, r.depthStencil);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "back buffer incomplete";
        return false;
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    r.width = width;
    r.height = height;
    r.colorFormat = m_Parameters.BackBufferFormat;
    m_State->SetDefaults(m_Parameters.EnableAutoDepthStencil != 0, width, height);
    r.dirty = DIRTY_ALL;
    r.samplerDirty = r.textureDirty = 0xFF;
    r.layoutValid = false;
    SetGammaRamp(0, &m_Gamma);
    return true;
}

HRESULT PlatformDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters == nullptr) return D3DERR_INVALIDCALL;
    for (PlatformTexture*& texture : m_State->textures)
        if (texture) texture->Release();
    if (m_State->stream) m_State->stream->Release();
    if (m_State->indices) m_State->indices->Release();
    m_Blocks->recording.reset();
    m_Parameters = *parameters;
    if (m_Parameters.Windowed && (m_Parameters.BackBufferWidth == 0 || m_Parameters.BackBufferHeight == 0)) {
        int w = 0, h = 0;
        Platform_GetClientSize(m_Window, &w, &h);
        m_Parameters.BackBufferWidth = static_cast<uint32_t>(w);
        m_Parameters.BackBufferHeight = static_cast<uint32_t>(h);
    }
    std::string error;
    m_InScene = false;
    return MakeBackBuffer(&error) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT PlatformDevice::GetDeviceCaps(D3DCAPS8* caps) const {
    if (caps == nullptr) return D3DERR_INVALIDCALL;
    std::memset(caps, 0, sizeof *caps);
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                              D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                              D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    caps->MaxTextureWidth = caps->MaxTextureHeight = static_cast<uint32_t>(maxTexture);
    caps->MaxAnisotropy = 16;
    caps->MaxActiveLights = D3D_MAX_ACTIVE_LIGHTS;
    caps->MaxSimultaneousTextures = D3D_MAX_TEXTURE_STAGES;
    caps->MaxTextureBlendStages = D3D_MAX_TEXTURE_STAGES;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 255;
    caps->StencilCaps = 0xFF;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    return D3D_OK;
}

HRESULT PlatformDevice::GetRasterStatus(D3DRASTER_STATUS* status) const {
    if (status == nullptr) return D3DERR_INVALIDCALL;
    // Presentation waits for the display by itself; callers polling for the
    // vertical blank find it at once.
    status->InVBlank = 1;
    status->ScanLine = 0;
    return D3D_OK;
}

void PlatformDevice::SetGammaRamp(uint32_t flags, const D3DGAMMARAMP* ramp) {
    if (ramp == nullptr) return;
    m_Gamma = *ramp;
    uint8_t table[256 * 4];
    m_Renderer->identityRamp = true;
    for (int i = 0; i < 256; ++i) {
        if ((ramp->red[i] >> 8) != i || (ramp->green[i] >> 8) != i || (ramp->blue[i] >> 8) != i)
            m_Renderer->identityRamp = false;
        table[i * 4] = static_cast<uint8_t>(ramp->red[i] >> 8);
        table[i * 4 + 1] = static_cast<uint8_t>(ramp->green[i] >> 8);
        table[i * 4 + 2] = static_cast<uint8_t>(ramp->blue[i] >> 8);
        table[i * 4 + 3] = 255;
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_Renderer->gammaRamp);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, table);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_Renderer->textureDirty |= 1;
}

void PlatformDevice::GetGammaRamp(D3DGAMMARAMP* ramp) const {
    if (ramp) *ramp = m_Gamma;
}

HRESULT PlatformDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    DeviceRenderer& r = *m_Renderer;
    // The window shows the back buffer through the gamma ramp, stretched to
    // its drawable size.
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(m_Context->window, &drawableW, &drawableH);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (r.identityRamp) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, r.backFbo);
        const bool sameSize = drawableW == static_cast<int>(r.width) && drawableH == static_cast<int>(r.height);
        glBlitFramebuffer(0, 0, static_cast<GLint>(r.width), static_cast<GLint>(r.height), 0, drawableH, drawableW, 0,
                          GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    } else {
        glViewport(0, 0, drawableW, drawableH);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DITHER);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glUseProgram(r.gammaProgram);
        glUniform4f(r.gammaArea, static_cast<float>(r.width) / static_cast<float>(std::max(drawableW, 1)),
                    static_cast<float>(r.height) / static_cast<float>(std::max(drawableH, 1)),
                    static_cast<float>(drawableH), 0.0f);
        glActiveTexture(GL_TEXTURE0);
        glBindSampler(0, 0);
        glBindTexture(GL_TEXTURE_2D, r.backColor);
        glActiveTexture(GL_TEXTURE1);
        glBindSampler(1, 0);
        glBindTexture(GL_TEXTURE_2D, r.gammaRamp);
        glBindVertexArray(r.emptyVao);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glBindVertexArray(r.vao);
        glUseProgram(r.currentProgram);
        r.dirty |= DIRTY_GLSTATE | DIRTY_VIEWPORT;
        r.textureDirty = 0xFF;
        r.samplerDirty |= 0x3;
    }
    SDL_GL_SwapWindow(m_Context->window);
    glBindFramebuffer(GL_FRAMEBUFFER, r.backFbo);
    ++m_PresentCount;
    return D3D_OK;
}

bool PlatformDevice::ReadBackBuffer(std::vector<uint32_t>* pixels) const {
    const DeviceRenderer& r = *m_Renderer;
    pixels->assign(static_cast<size_t>(r.width) * r.height, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, r.backFbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(r.width), static_cast<GLsizei>(r.height), GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels->data());
    if (!r.backHasAlpha)
        for (uint32_t& pixel : *pixels) pixel |= 0xFF000000u;
    return glGetError() == GL_NO_ERROR;
}

HRESULT PlatformDevice::GetBackBuffer(uint32_t index, D3DBACKBUFFER_TYPE type, PlatformSurface** surface) {
    if (surface == nullptr || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    const TextureFormatInfo* info = TextureFormat_Find(m_Renderer->colorFormat);
    if (info == nullptr) return D3DERR_INVALIDCALL;
    auto* s = new PlatformSurface();
    s->pitch = TextureFormat_Pitch(*info, m_Renderer->width);
    s->bits.assign(static_cast<size_t>(s->pitch) * m_Renderer->height, 0);
    s->desc = D3DSURFACE_DESC{m_Renderer->colorFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                              static_cast<uint32_t>(s->bits.size()), 0, m_Renderer->width, m_Renderer->height};
    s->backBufferOf = this;
    *surface = s;
    return D3D_OK;
}

HRESULT PlatformDevice::CreateImageSurface(uint32_t width, uint32_t height, D3DFORMAT format, PlatformSurface** surface) {
    const TextureFormatInfo* info = TextureFormat_Find(format);
    if (surface == nullptr || info == nullptr || width == 0 || height == 0 || width > 16384 || height > 16384)
        return D3DERR_INVALIDCALL;
    auto* s = new PlatformSurface();
    s->pitch = TextureFormat_Pitch(*info, width);
    s->bits.assign(static_cast<size_t>(s->pitch) * TextureFormat_Rows(*info, height), 0);
    s->desc = D3DSURFACE_DESC{format, D3DRTYPE_SURFACE, 0, D3DPOOL_SYSTEMMEM, static_cast<uint32_t>(s->bits.size()), 0,
                              width, height};
    *surface = s;
    return D3D_OK;
}

HRESULT PlatformDevice::GetFrontBuffer(PlatformSurface* destination) {
    const DeviceRenderer& r = *m_Renderer;
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(m_Context->window, &drawableW, &drawableH);
    if (destination == nullptr || destination->desc.Format != D3DFMT_A8R8G8B8 || destination->desc.Width != r.width ||
        destination->desc.Height != r.height || drawableW != static_cast<int>(r.width) ||
        drawableH != static_cast<int>(r.height))
        return D3DERR_INVALIDCALL;
    // The shown image is the window's front buffer, or its only buffer when
    // it has one (offscreen surfaces).
    std::vector<uint32_t> pixels(static_cast<size_t>(r.width) * r.height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    GLint doubleBuffered = 0;
    glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    glReadBuffer(doubleBuffered ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(r.width), static_cast<GLsizei>(r.height), GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels.data());
    const bool ok = glGetError() == GL_NO_ERROR;
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, r.backFbo);
    if (!ok) return D3DERR_INVALIDCALL;
    // Window rows run bottom first; the surface's top first.
    std::vector<uint32_t> rows(pixels.size());
    for (uint32_t y = 0; y < r.height; ++y)
        for (uint32_t x = 0; x < r.width; ++x)
            rows[static_cast<size_t>(y) * r.width + x] = pixels[static_cast<size_t>(r.height - 1 - y) * r.width + x] | 0xFF000000u;
    TextureFormat_Encode(*TextureFormat_Find(D3DFMT_A8R8G8B8), rows.data(), r.width, r.height, destination->bits.data(),
                         destination->pitch, true);
    return D3D_OK;
}

HRESULT PlatformDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                      D3DFORMAT format, D3DPOOL pool, PlatformTexture** texture) {
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    const TextureFormatInfo* info = TextureFormat_Find(format);
    if (info == nullptr) return D3DERR_INVALIDCALL;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) || height > static_cast<uint32_t>(maxSize))
        return D3DERR_INVALIDCALL;
    uint32_t fullChain = 1;
    while ((width >> fullChain) > 0 || (height >> fullChain) > 0) ++fullChain;
    if (levels == 0 || levels > fullChain) levels = fullChain;
    auto* t = new PlatformTexture();
    t->context = m_Context;
    t->format = format;
    t->usage = usage;
    t->pool = pool;
    t->levels.resize(levels);
    t->compressed = info->blockSize > 1 && m_Context->s3tc && m_CompressTextures;
    glGenTextures(1, &t->glTexture);
    glActiveTexture(GL_TEXTURE0 + D3D_MAX_TEXTURE_STAGES);
    glBindTexture(GL_TEXTURE_2D, t->glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<uint32_t> zeros;
    for (uint32_t i = 0; i < levels; ++i) {
        PlatformTexture::Level& l = t->levels[i];
        l.width = std::max(1u, width >> i);
        l.height = std::max(1u, height >> i);
        l.pitch = TextureFormat_Pitch(*info, l.width);
        l.bits.assign(static_cast<size_t>(l.pitch) * TextureFormat_Rows(*info, l.height), 0);
        const GLsizei w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
        if (t->compressed) {
            glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), info->glInternal, w, h, 0,
                                   static_cast<GLsizei>(l.bits.size()), l.bits.data());
        } else if (info->blockSize > 1) {
            // Blocks of zero decode to transparent black texels.
            zeros.assign(static_cast<size_t>(l.width) * l.height, 0);
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, zeros.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(info->glInternal), w, h, 0,
                         info->glFormat, info->glType, l.bits.data());
        }
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    if (info->swizzle[3] != 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, info->swizzle[0]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, info->swizzle[1]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, info->swizzle[2]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, info->swizzle[3]);
    }
    *texture = t;
    return D3D_OK;
}

namespace {

template <typename Buffer>
HRESULT MakeBuffer(const std::shared_ptr<DeviceContext>& context, uint32_t length, uint32_t usage, D3DPOOL pool,
                   Buffer** out) {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    *out = nullptr;
    // Buffers larger than this are no mesh the content can hold.
    if (length == 0 || length > (1u << 30)) return D3DERR_INVALIDCALL;
    auto* b = new Buffer();
    b->context = context;
    b->bytes.assign(length, 0);
    b->usage = usage;
    b->pool = pool;
    glGenBuffers(1, &b->glBuffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, b->glBuffer);
    glBufferData(GL_COPY_WRITE_BUFFER, length, b->bytes.data(), (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    *out = b;
    return D3D_OK;
}

}  // namespace

HRESULT PlatformDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                                           PlatformVertexBuffer** buffer) {
    const HRESULT result = MakeBuffer(m_Context, length, usage, pool, buffer);
    if (Succeeded(result)) (*buffer)->fvf = fvf;
    return result;
}

HRESULT PlatformDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                          PlatformIndexBuffer** buffer) {
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    const HRESULT result = MakeBuffer(m_Context, length, usage, pool, buffer);
    if (Succeeded(result)) (*buffer)->format = format;
    return result;
}

HRESULT PlatformDevice::BeginScene() {
    if (m_InScene) return D3DERR_INVALIDCALL;
    m_InScene = true;
    m_Context->FlushPending();
    return D3D_OK;
}

HRESULT PlatformDevice::ResourceManagerDiscardBytes(uint32_t bytes) { return D3D_OK; }

bool PlatformDevice::IsTextureCompressionAvailable() const { return m_Context->s3tc; }

HRESULT PlatformDevice::EndScene() {
    if (!m_InScene) return D3DERR_INVALIDCALL;
    m_InScene = false;
    glFlush();
    return D3D_OK;
}

HRESULT PlatformDevice::Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z,
                              uint32_t stencil) {
    if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
    DeviceRenderer& r = *m_Renderer;
    const D3DVIEWPORT8& vp = m_State->viewport;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], r.backHasAlpha ? c[3] : 1.0f);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
        glStencilMask(0xFFFFFFFFu);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glDisable(GL_DITHER);
    // Only the viewport is cleared, or the given rectangles within it.
    auto clearRect = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        x1 = std::max(x1, static_cast<int32_t>(vp.X));
        y1 = std::max(y1, static_cast<int32_t>(vp.Y));
        x2 = std::min(x2, static_cast<int32_t>(vp.X + vp.Width));
        y2 = std::min(y2, static_cast<int32_t>(vp.Y + vp.Height));
        if (x2 <= x1 || y2 <= y1) return;
        // A clear of the whole buffer needs no scissor, which keeps it on the driver's fast path.
        const bool whole = x1 == 0 && y1 == 0 && x2 == static_cast<int32_t>(r.width) && y2 == static_cast<int32_t>(r.height);
        if (whole) {
            glDisable(GL_SCISSOR_TEST);
        } else {
            glEnable(GL_SCISSOR_TEST);
            glScissor(x1, y1, x2 - x1, y2 - y1);
        }
        glClear(mask);
    };
    if (count == 0 || rects == nullptr) {
        clearRect(static_cast<int32_t>(vp.X), static_cast<int32_t>(vp.Y), static_cast<int32_t>(vp.X + vp.Width),
                  static_cast<int32_t>(vp.Y + vp.Height));
    } else {
        for (uint32_t i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    r.dirty |= DIRTY_GLSTATE;
    return D3D_OK;
}

HRESULT PlatformDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    D3DMATRIX* target = nullptr;
    if (state == D3DTS_WORLD) target = &m_State->world;
    else if (state == D3DTS_VIEW) target = &m_State->view;
    else if (state == D3DTS_PROJECTION) target = &m_State->projection;
    else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) target = &m_State->textureTransforms[state - D3DTS_TEXTURE0];
    else return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        const int slot = StateBlock_TransformSlot(state);
        block->transformMask |= 1u << slot;
        block->transforms[slot] = *matrix;
        return D3D_OK;
    }
    *target = *matrix;
    m_Renderer->dirty |= DIRTY_CONSTANTS;
    return D3D_OK;
}

HRESULT PlatformDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    if (state == D3DTS_WORLD) *matrix = m_State->world;
    else if (state == D3DTS_VIEW) *matrix = m_State->view;
    else if (state == D3DTS_PROJECTION) *matrix = m_State->projection;
    else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) *matrix = m_State->textureTransforms[state - D3DTS_TEXTURE0];
    else return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT PlatformDevice::SetViewport(const D3DVIEWPORT8* viewport) {
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    const DeviceRenderer& r = *m_Renderer;
    // A viewport must lie within the back buffer.
    if (viewport->Width == 0 || viewport->Height == 0 || viewport->X > r.width || viewport->Y > r.height ||
        viewport->Width > r.width - viewport->X || viewport->Height > r.height - viewport->Y ||
        !(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f && viewport->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->hasViewport = true;
        block->viewport = *viewport;
        return D3D_OK;
    }
    m_State->viewport = *viewport;
    m_Renderer->dirty |= DIRTY_VIEWPORT | DIRTY_CONSTANTS;
    return D3D_OK;
}

HRESULT PlatformDevice::GetViewport(D3DVIEWPORT8* viewport) const {
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    *viewport = m_State->viewport;
    return D3D_OK;
}

HRESULT PlatformDevice::SetMaterial(const D3DMATERIAL8* material) {
    if (material == nullptr) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->hasMaterial = true;
        block->material = *material;
        return D3D_OK;
    }
    m_State->material = *material;
    m_Renderer->dirty |= DIRTY_CONSTANTS;
    return D3D_OK;
}

HRESULT PlatformDevice::GetMaterial(D3DMATERIAL8* material) const {
    if (material == nullptr) return D3DERR_INVALIDCALL;
    *material = m_State->material;
    return D3D_OK;
}

HRESULT PlatformDevice::SetLight(uint32_t index, const D3DLIGHT8* light) {
    if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->lights[index].hasLight = true;
        block->lights[index].light = *light;
        return D3D_OK;
    }
    m_State->lights.Set(index, *light);
    m_Renderer->dirty |= DIRTY_CONSTANTS | DIRTY_KEY;
    return D3D_OK;
}

HRESULT PlatformDevice::GetLight(uint32_t index, D3DLIGHT8* light) const {
    const LightSlot* slot = m_State->lights.Find(index);
    if (light == nullptr || slot == nullptr) return D3DERR_INVALIDCALL;
    *light = slot->light;
    return D3D_OK;
}

HRESULT PlatformDevice::LightEnable(uint32_t index, int32_t enable) {
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->lights[index].hasEnable = true;
        block->lights[index].enabled = enable != 0;
        return D3D_OK;
    }
    if (m_State->lights.Enable(index, enable != 0)) m_Renderer->dirty |= DIRTY_CONSTANTS | DIRTY_KEY;
    return D3D_OK;
}

HRESULT PlatformDevice::GetLightEnable(uint32_t index, int32_t* enable) const {
    const LightSlot* slot = m_State->lights.Find(index);
    if (enable == nullptr || slot == nullptr) return D3DERR_INVALIDCALL;
    *enable = slot->enabled ? 1 : 0;
    return D3D_OK;
}

HRESULT PlatformDevice::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->renderMask.set(state);
        block->renderStates[state] = value;
        return D3D_OK;
    }
    uint32_t& slot = m_State->renderStates[state];
    // Redundant sets cost nothing downstream.
    if (slot == value) return D3D_OK;
    slot = value;
    m_Renderer->dirty |= DIRTY_KEY | DIRTY_CONSTANTS | DIRTY_GLSTATE;
    return D3D_OK;
}

HRESULT PlatformDevice::GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) const {
    if (value == nullptr || state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    *value = m_State->renderStates[state];
    return D3D_OK;
}

HRESULT PlatformDevice::SetTexture(uint32_t stage, PlatformTexture* texture) {
    if (stage >= D3D_MAX_TEXTURE_STAGES) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->RecordTexture(stage, texture);
        return D3D_OK;
    }
    PlatformTexture*& slot = m_State->textures[stage];
    if (slot == texture) return D3D_OK;
    // A bound texture stays alive while bound, whatever its owner releases.
    if (texture) texture->AddRef();
    if (slot) slot->Release();
    slot = texture;
    m_Renderer->textureDirty |= 1u << stage;
    m_Renderer->dirty |= DIRTY_KEY;
    return D3D_OK;
}

HRESULT PlatformDevice::GetTexture(uint32_t stage, PlatformTexture** texture) const {
    if (texture == nullptr || stage >= D3D_MAX_TEXTURE_STAGES) return D3DERR_INVALIDCALL;
    *texture = m_State->textures[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT PlatformDevice::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    if (stage >= D3D_MAX_TEXTURE_STAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->stageMask[stage] |= 1u << type;
        block->stageStates[stage][type] = value;
        return D3D_OK;
    }
    uint32_t& slot = m_State->stageStates[stage][type];
    if (slot == value) return D3D_OK;
    slot = value;
    switch (type) {
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_ADDRESSW:
    case D3DTSS_BORDERCOLOR:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER:
    case D3DTSS_MIPMAPLODBIAS:
    case D3DTSS_MAXMIPLEVEL:
    case D3DTSS_MAXANISOTROPY: m_Renderer->samplerDirty |= 1u << stage; break;
    default: m_Renderer->dirty |= DIRTY_KEY; break;
    }
    return D3D_OK;
}

HRESULT PlatformDevice::GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t* value) const {
    if (value == nullptr || stage >= D3D_MAX_TEXTURE_STAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    *value = m_State->stageStates[stage][type];
    return D3D_OK;
}

HRESULT PlatformDevice::SetVertexShader(uint32_t fvf) {
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->hasFvf = true;
        block->fvf = fvf;
        return D3D_OK;
    }
    if (m_State->fvf == fvf) return D3D_OK;
    m_State->fvf = fvf;
    m_Renderer->dirty |= DIRTY_KEY;
    return D3D_OK;
}

HRESULT PlatformDevice::GetVertexShader(uint32_t* fvf) const {
    if (fvf == nullptr) return D3DERR_INVALIDCALL;
    *fvf = m_State->fvf;
    return D3D_OK;
}

HRESULT PlatformDevice::SetStreamSource(uint32_t stream, PlatformVertexBuffer* buffer, uint32_t stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->RecordStream(buffer, stride);
        return D3D_OK;
    }
    if (buffer) buffer->AddRef();
    if (m_State->stream) m_State->stream->Release();
    m_State->stream = buffer;
    m_State->streamStride = stride;
    return D3D_OK;
}

HRESULT PlatformDevice::SetIndices(PlatformIndexBuffer* buffer, uint32_t baseVertexIndex) {
    if (StateBlock* block = m_Blocks->recording.get()) {
        block->RecordIndices(buffer, baseVertexIndex);
        return D3D_OK;
    }
    if (buffer) buffer->AddRef();
    if (m_State->indices) m_State->indices->Release();
    m_State->indices = buffer;
    m_State->baseVertexIndex = baseVertexIndex;
    return D3D_OK;
}

namespace {

void ApplyGLState(const DeviceState& state) {
    const uint32_t* rs = state.renderStates;
    if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunction(rs[D3DRS_ZFUNC], GL_LEQUAL));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    if (rs[D3DRS_STENCILENABLE]) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(CompareFunction(rs[D3DRS_STENCILFUNC], GL_ALWAYS), static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF),
                      rs[D3DRS_STENCILMASK]);
        glStencilOp(StencilOperation(rs[D3DRS_STENCILFAIL]), StencilOperation(rs[D3DRS_STENCILZFAIL]),
                    StencilOperation(rs[D3DRS_STENCILPASS]));
        glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum source = BlendFactor(rs[D3DRS_SRCBLEND], GL_ONE);
        GLenum dest = BlendFactor(rs[D3DRS_DESTBLEND], GL_ZERO);
        // The "both" factors set the destination from the source.
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            source = GL_SRC_ALPHA;
            dest = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            source = GL_ONE_MINUS_SRC_ALPHA;
            dest = GL_SRC_ALPHA;
        }
        glBlendFunc(source, dest);
        glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
    } else {
        glDisable(GL_BLEND);
    }
    // Front faces wind clockwise on the screen; rows are stored top first,
    // which GL sees as counter-clockwise.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default: glDisable(GL_CULL_FACE); break;
    }
    switch (rs[D3DRS_FILLMODE]) {
    case D3DFILL_POINT: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case D3DFILL_WIREFRAME: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    }
    const uint32_t write = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((write & D3DCOLORWRITEENABLE_RED) != 0, (write & D3DCOLORWRITEENABLE_GREEN) != 0,
                (write & D3DCOLORWRITEENABLE_BLUE) != 0, (write & D3DCOLORWRITEENABLE_ALPHA) != 0);
    if (rs[D3DRS_DITHERENABLE]) glEnable(GL_DITHER);
    else glDisable(GL_DITHER);
    if (rs[D3DRS_ZBIAS] != 0) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.0f, -static_cast<float>(std::min(rs[D3DRS_ZBIAS], 16u)));
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
    }
}

void ApplySampler(GLuint sampler, const uint32_t* ts) {
    const uint32_t mag = ts[D3DTSS_MAGFILTER], min = ts[D3DTSS_MINFILTER], mip = ts[D3DTSS_MIPFILTER];
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, mag >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    GLenum minFilter;
    const bool linear = min >= D3DTEXF_LINEAR;
    if (mip == D3DTEXF_NONE) minFilter = linear ? GL_LINEAR : GL_NEAREST;
    else if (mip == D3DTEXF_POINT) minFilter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    const float anisotropy = (min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC)
                                 ? static_cast<float>(std::clamp(ts[D3DTSS_MAXANISOTROPY], 1u, 16u))
                                 : 1.0f;
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, anisotropy);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(ts[D3DTSS_ADDRESSU])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(ts[D3DTSS_ADDRESSV])));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, FloatFromBits(ts[D3DTSS_MIPMAPLODBIAS]));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(ts[D3DTSS_MAXMIPLEVEL]));
    float border[4];
    ColorToFloats(ts[D3DTSS_BORDERCOLOR], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
}

void FillConstants(const DeviceState& state, const DeviceRenderer& r, VertexConstants* c, FragmentConstants* f) {
    const uint32_t* rs = state.renderStates;
    const D3DMATRIX worldView = Matrix_Multiply(state.world, state.view);
    const D3DMATRIX worldViewProj = Matrix_Multiply(worldView, state.projection);
    const D3DMATRIX normal = Matrix_NormalMatrix(worldView);
    // Row-vector matrices upload unchanged: GL reads them as the transposes
    // that multiply column vectors.
    std::memcpy(c->worldViewProj, &worldViewProj, 64);
    std::memcpy(c->worldView, &worldView, 64);
    std::memcpy(c->normalMatrix, &normal, 64);
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) std::memcpy(c->textureMatrix[s], &state.textureTransforms[s], 64);
    CopyColor(state.material.Diffuse, c->materialDiffuse);
    CopyColor(state.material.Ambient, c->materialAmbient);
    CopyColor(state.material.Specular, c->materialSpecular);
    CopyColor(state.material.Emissive, c->materialEmissive);
    ColorToFloats(rs[D3DRS_AMBIENT], c->globalAmbient);
    const float start = FloatFromBits(rs[D3DRS_FOGSTART]), end = FloatFromBits(rs[D3DRS_FOGEND]);
    c->fog[0] = start;
    c->fog[1] = end;
    c->fog[2] = FloatFromBits(rs[D3DRS_FOGDENSITY]);
    // Equal start and end make the fog a step at that depth.
    c->fog[3] = end != start ? 1.0f / (end - start) : 1e30f;
    std::memcpy(f->fog, c->fog, sizeof f->fog);
    ColorToFloats(rs[D3DRS_FOGCOLOR], f->fogColor);
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], f->textureFactor);
    c->misc[0] = state.material.Power;
    f->misc[0] = 0.0f;
    f->misc[1] = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    f->misc[2] = f->misc[3] = 0.0f;
    const D3DVIEWPORT8& vp = state.viewport;
    c->screen[0] = static_cast<float>(vp.X);
    c->screen[1] = static_cast<float>(vp.Y);
    c->screen[2] = 2.0f / static_cast<float>(vp.Width);
    c->screen[3] = 2.0f / static_cast<float>(vp.Height);
    c->pixelOffset[0] = (1.0f - 2.0f * kEdgeBias) / static_cast<float>(vp.Width);
    c->pixelOffset[1] = (1.0f - 2.0f * kEdgeBias) / static_cast<float>(vp.Height);
    for (uint32_t i = 0; i < r.activeLightCount; ++i) {
        const D3DLIGHT8& l = state.lights.Find(r.activeLights[i])->light;
        ShaderLight& out = c->lights[i];
        CopyColor(l.Diffuse, out.diffuse);
        CopyColor(l.Specular, out.specular);
        CopyColor(l.Ambient, out.ambient);
        // Lights are given in world space and lit in view space.
        const D3DMATRIX& v = state.view;
        const float px = l.Position.x, py = l.Position.y, pz = l.Position.z;
        out.position[0] = px * v.m[0][0] + py * v.m[1][0] + pz * v.m[2][0] + v.m[3][0];
        out.position[1] = px * v.m[0][1] + py * v.m[1][1] + pz * v.m[2][1] + v.m[3][1];
        out.position[2] = px * v.m[0][2] + py * v.m[1][2] + pz * v.m[2][2] + v.m[3][2];
        out.position[3] = l.Range;
        const float dx = l.Direction.x, dy = l.Direction.y, dz = l.Direction.z;
        float d[3] = {dx * v.m[0][0] + dy * v.m[1][0] + dz * v.m[2][0], dx * v.m[0][1] + dy * v.m[1][1] + dz * v.m[2][1],
                      dx * v.m[0][2] + dy * v.m[1][2] + dz * v.m[2][2]};
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (float& component : d) component = length > 0.0f ? component / length : 0.0f;
        out.direction[0] = d[0];
        out.direction[1] = d[1];
        out.direction[2] = d[2];
        out.direction[3] = l.Falloff;
        out.attenuation[0] = l.Attenuation0;
        out.attenuation[1] = l.Attenuation1;
        out.attenuation[2] = l.Attenuation2;
        out.attenuation[3] = std::cos(l.Theta * 0.5f);
        out.spot[0] = std::cos(l.Phi * 0.5f);
        out.spot[1] = out.spot[2] = out.spot[3] = 0.0f;
    }
}

}  // namespace

HRESULT PlatformDevice::Draw(D3DPRIMITIVETYPE type, uint32_t primitiveCount, int indexed, uint32_t first,
                             uint32_t baseVertex, uint32_t indexFormat) {
    // indexed: 0 drawn from the stream's vertices, 1 through the index buffer.
    DeviceRenderer& r = *m_Renderer;
    DeviceState& state = *m_State;
    GLenum mode;
    uint32_t vertices;
    if (!PrimitiveVertices(type, primitiveCount, &mode, &vertices)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const FvfLayout layout = Fvf_Decode(state.fvf);
    if (!layout.valid) return D3DERR_INVALIDCALL;

    if (r.dirty & DIRTY_KEY) {
        r.activeLightCount = 0;
        for (uint32_t index : state.lights.enabled) {
            if (r.activeLightCount == D3D_MAX_ACTIVE_LIGHTS) break;
            r.activeLights[r.activeLightCount++] = index;
        }
        const ShaderKey key = Shader_MakeKey(state, layout, r.activeLights, r.activeLightCount);
        std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
        auto found = r.programs.find(bytes);
        if (found == r.programs.end()) {
            std::string log;
            DeviceRenderer::Program program;
            program.id = CompileProgram(Shader_VertexSource(key), Shader_FragmentSource(key), &log);
            if (program.id == 0) {
                SDL_Log("device shader: %s", log.c_str());
                return D3DERR_DRIVERINTERNALERROR;
            }
            glUseProgram(program.id);
            auto activeSize = [&](const char* name, GLint* location) -> GLsizei {
                *location = glGetUniformLocation(program.id, name);
                if (*location < 0) return 0;
                GLuint index = GL_INVALID_INDEX;
                glGetUniformIndices(program.id, 1, &name, &index);
                GLint size = 0;
                glGetActiveUniformsiv(program.id, 1, &index, GL_UNIFORM_SIZE, &size);
                return size;
            };
            program.vertexVectors = activeSize("vsc", &program.vertexConstants);
            program.fragmentVectors = activeSize("fsc", &program.fragmentConstants);
            for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
                const std::string name = "sampler" + std::to_string(s);
                const GLint location = glGetUniformLocation(program.id, name.c_str());
                if (location >= 0) glUniform1i(location, static_cast<GLint>(s));
            }
            r.currentProgram = program.id;
            found = r.programs.emplace(std::move(bytes), program).first;
        }
        r.current = &found->second;
        if (r.current->id != r.currentProgram) {
            glUseProgram(r.current->id);
            r.currentProgram = r.current->id;
        }
        r.dirty &= ~DIRTY_KEY;
    }
    if (r.dirty & DIRTY_CONSTANTS) {
        FragmentConstants fragment;
        FillConstants(state, r, &r.vertexConstants, &fragment);
        ++r.vertexVersion;
        if (std::memcmp(&fragment, &r.fragmentConstants, sizeof fragment) != 0) {
            r.fragmentConstants = fragment;
            ++r.fragmentVersion;
        }
        r.dirty &= ~DIRTY_CONSTANTS;
    }
    // Each program receives the constants that changed since its last draw,
    // as far as its shaders read them.
    DeviceRenderer::Program& program = *r.current;
    if (program.vertexVersion != r.vertexVersion) {
        if (program.vertexVectors > 0)
            glUniform4fv(program.vertexConstants, program.vertexVectors, r.vertexConstants.worldViewProj);
        program.vertexVersion = r.vertexVersion;
    }
    if (program.fragmentVersion != r.fragmentVersion) {
        if (program.fragmentVectors > 0)
            glUniform4fv(program.fragmentConstants, program.fragmentVectors, r.fragmentConstants.fog);
        program.fragmentVersion = r.fragmentVersion;
    }
    if (r.dirty & DIRTY_GLSTATE) {
        ApplyGLState(state);
        r.dirty &= ~DIRTY_GLSTATE;
    }
    if (r.dirty & DIRTY_VIEWPORT) {
        const D3DVIEWPORT8& vp = state.viewport;
        glViewport(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
                   static_cast<GLsizei>(vp.Height));
        glDepthRange(vp.MinZ, vp.MaxZ);
        r.dirty &= ~DIRTY_VIEWPORT;
    }
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES && (r.samplerDirty | r.textureDirty); ++s) {
        const uint32_t bit = 1u << s;
        if (r.samplerDirty & bit) {
            ApplySampler(r.samplers[s], state.stageStates[s]);
            glBindSampler(s, r.samplers[s]);
        }
        if (r.textureDirty & bit) {
            glActiveTexture(GL_TEXTURE0 + s);
            glBindTexture(GL_TEXTURE_2D, state.textures[s] ? state.textures[s]->glTexture : 0);
        }
    }
    r.samplerDirty = r.textureDirty = 0;
    // Frames a decoder wrote since the last draw reach GL before this one.
    for (PlatformTexture* texture : state.textures)
        if (texture && texture->HasPendingUpload()) texture->UploadPending();

    // Vertices come from the stream (indexed 0 or 1) or were just placed in
    // the streaming buffer (indexed 2 and 3, through SetupUser).
    if (indexed <= 1) {
        PlatformVertexBuffer* stream = state.stream;
        const uint32_t stride = state.streamStride;
        if (stream == nullptr || stride < layout.stride) return D3DERR_INVALIDCALL;
        const uint64_t available = stream->bytes.size() / stride;
        uint64_t lastVertex = 0;
        if (indexed == 0) {
            lastVertex = static_cast<uint64_t>(first) + vertices;
        } else {
            PlatformIndexBuffer* ib = state.indices;
            if (ib == nullptr) return D3DERR_INVALIDCALL;
            const uint32_t size = ib->format == D3DFMT_INDEX32 ? 4 : 2;
            if ((static_cast<uint64_t>(first) + vertices) * size > ib->bytes.size()) return D3DERR_INVALIDCALL;
            // Every index must name a vertex of the stream.
            uint32_t highest = 0;
            const uint8_t* data = ib->bytes.data() + static_cast<size_t>(first) * size;
            if (size == 2) {
                for (uint32_t i = 0; i < vertices; ++i) {
                    uint16_t v;
                    std::memcpy(&v, data + i * 2, 2);
                    highest = std::max<uint32_t>(highest, v);
                }
            } else {
                for (uint32_t i = 0; i < vertices; ++i) {
                    uint32_t v;
                    std::memcpy(&v, data + i * 4, 4);
                    highest = std::max(highest, v);
                }
            }
            lastVertex = static_cast<uint64_t>(highest) + state.baseVertexIndex + 1;
            if (r.boundIndices != ib->glBuffer) {
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->glBuffer);
                r.boundIndices = ib->glBuffer;
            }
        }
        if (lastVertex > available) return D3DERR_INVALIDCALL;
        if (!r.layoutValid || r.layoutBuffer != stream->glBuffer || r.layoutFvf != state.fvf || r.layoutStride != stride ||
            r.layoutOffset != 0) {
            glBindBuffer(GL_ARRAY_BUFFER, stream->glBuffer);
            r.layoutBuffer = stream->glBuffer;
            r.layoutFvf = state.fvf;
            r.layoutStride = stride;
            r.layoutOffset = 0;
            r.layoutValid = false;
        }
    }
    if (!r.layoutValid) {
        auto attribute = [&](uint32_t slot, int offset, GLint size, GLenum type, GLboolean normalized) {
            if (offset < 0) {
                glDisableVertexAttribArray(slot);
                return;
            }
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, size, type, normalized, static_cast<GLsizei>(r.layoutStride),
                                  reinterpret_cast<const void*>(r.layoutOffset + static_cast<size_t>(offset)));
        };
        attribute(ATTR_POSITION, 0, layout.rhw ? 4 : 3, GL_FLOAT, GL_FALSE);
        attribute(ATTR_NORMAL, layout.normal, 3, GL_FLOAT, GL_FALSE);
        // Colours are stored as ARGB words: bytes blue, green, red, alpha.
        attribute(ATTR_DIFFUSE, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
        attribute(ATTR_SPECULAR, layout.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
        for (uint32_t set = 0; set < 8; ++set)
            attribute(ATTR_TEXCOORD0 + set, layout.texOffset[set], static_cast<GLint>(layout.texSize[set]), GL_FLOAT, GL_FALSE);
        r.layoutValid = true;
    }
    switch (indexed) {
    case 0:
    case 2: glDrawArrays(mode, static_cast<GLint>(first), static_cast<GLsizei>(vertices)); break;
    default: {
        const bool wide = indexFormat == D3DFMT_INDEX32;
        glDrawElementsBaseVertex(mode, static_cast<GLsizei>(vertices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(static_cast<size_t>(first) * (wide ? 4 : 2)),
                                 static_cast<GLint>(baseVertex));
        break;
    }
    }
    return D3D_OK;
}

HRESULT PlatformDevice::DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) {
    return Draw(type, primitiveCount, 0, startVertex, 0, 0);
}

HRESULT PlatformDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount,
                                             uint32_t startIndex, uint32_t primitiveCount) {
    const uint32_t format = m_State->indices ? m_State->indices->format : D3DFMT_INDEX16;
    return Draw(type, primitiveCount, 1, startIndex, m_State->baseVertexIndex, format);
}

HRESULT PlatformDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                        uint32_t stride) {
    GLenum mode;
    uint32_t count;
    const FvfLayout layout = Fvf_Decode(m_State->fvf);
    if (vertices == nullptr || !layout.valid || stride < layout.stride || !PrimitiveVertices(type, primitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    DeviceRenderer& r = *m_Renderer;
    // User memory goes through a streaming buffer, renewed for every draw.
    glBindBuffer(GL_ARRAY_BUFFER, r.streamVertices);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * stride, vertices, GL_STREAM_DRAW);
    if (r.layoutBuffer != r.streamVertices || r.layoutFvf != m_State->fvf || r.layoutStride != stride) r.layoutValid = false;
    r.layoutBuffer = r.streamVertices;
    r.layoutFvf = m_State->fvf;
    r.layoutStride = stride;
    r.layoutOffset = 0;
    return Draw(type, primitiveCount, 2, 0, 0, 0);
}

HRESULT PlatformDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount,
                                               uint32_t primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                               const void* vertices, uint32_t stride) {
    GLenum mode;
    uint32_t count;
    const FvfLayout layout = Fvf_Decode(m_State->fvf);
    if (vertices == nullptr || indices == nullptr || !layout.valid || stride < layout.stride ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) ||
        !PrimitiveVertices(type, primitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const uint32_t indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    // Only the vertices the indices name are copied: up to the highest one.
    uint32_t highest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        std::memcpy(&v, static_cast<const uint8_t*>(indices) + static_cast<size_t>(i) * indexSize, indexSize);
        highest = std::max(highest, v);
    }
    DeviceRenderer& r = *m_Renderer;
    glBindBuffer(GL_ARRAY_BUFFER, r.streamVertices);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(highest + 1) * stride, vertices, GL_STREAM_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.streamIndices);
    r.boundIndices = r.streamIndices;
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * indexSize, indices, GL_STREAM_DRAW);
    if (r.layoutBuffer != r.streamVertices || r.layoutFvf != m_State->fvf || r.layoutStride != stride) r.layoutValid = false;
    r.layoutBuffer = r.streamVertices;
    r.layoutFvf = m_State->fvf;
    r.layoutStride = stride;
    r.layoutOffset = 0;
    return Draw(type, primitiveCount, 3, 0, 0, indexFormat);
}
