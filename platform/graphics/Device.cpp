// The device on OpenGL: creation, the back buffer and presentation, the
// resources, and the states the application sets. The back buffer is the
// window's own while the gamma ramp is the identity (Present only swaps),
// else a framebuffer of the device that Present sends through the ramp.

#include "platform/graphics/GraphicsDevice.h"

#include "platform/Window.h"
#include "platform/graphics/DeviceState.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/Renderer.h"
#include "platform/graphics/StateBlocks.h"
#include "platform/graphics/TextureFormats.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

using namespace glfn;

namespace {

void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(c & 0xFF) / 255.0f;
    out[3] = static_cast<float>(c >> 24) / 255.0f;
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

// Largest vertex of any FVF layout, for the vertices that preparing draws.
constexpr uint32_t kLargestVertex = 256;

// The GL driver's own exit handler unloads the driver before our static
// objects are destroyed, and those may still hold device resources (the
// library's meshes and textures). Our handler, registered after the first
// context is made, runs before the driver's and marks every context dead, so
// what is released later makes no GL call: the process is ending and its
// memory goes with it.
std::mutex g_ContextsLock;
std::vector<std::weak_ptr<DeviceContext>> g_Contexts;

void EndContextsAtExit() {
    std::lock_guard<std::mutex> hold(g_ContextsLock);
    for (const std::weak_ptr<DeviceContext>& weak : g_Contexts)
        if (std::shared_ptr<DeviceContext> context = weak.lock()) context->alive = false;
    g_Contexts.clear();
}

void RegisterContext(const std::shared_ptr<DeviceContext>& context) {
    static const bool registered = std::atexit(EndContextsAtExit) == 0;
    (void)registered;
    std::lock_guard<std::mutex> hold(g_ContextsLock);
    std::erase_if(g_Contexts, [](const std::weak_ptr<DeviceContext>& weak) { return weak.expired(); });
    g_Contexts.push_back(context);
}

}  // namespace

PlatformDevice::PlatformDevice()
    : m_State(new DeviceState()), m_Blocks(new StateBlocks()), m_Renderer(new DeviceRenderer()) {}

PlatformDevice::~PlatformDevice() {
    for (PlatformTexture*& texture : m_State->textures)
        if (texture) texture->Release();
    if (m_State->stream) m_State->stream->Release();
    if (m_State->indices) m_State->indices->Release();
    if (m_Context && m_Context->glContext && m_Context->alive) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(m_Context->glContext));
        m_Context->alive = false;
        m_Context->glContext = nullptr;
        if (m_Context->holdsLibrary) SDL_GL_UnloadLibrary();
        m_Context->holdsLibrary = false;
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
    // Loaded already for the window: this only counts one more user.
    device->m_Context->holdsLibrary = SDL_GL_LoadLibrary(nullptr) == 0;
    RegisterContext(device->m_Context);
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
        glGenBuffers(1, &r.prepareVertices);
        glGenSamplers(D3D_MAX_TEXTURE_STAGES, r.samplers);
        glGenTextures(1, &r.gammaRamp);
        std::string log;
        r.gammaProgram = Renderer_CompileProgram(kGammaVertex, kGammaFragment, &log);
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
        glBindVertexArray(r.vao);
        const std::vector<uint8_t> zeros(3 * kLargestVertex, 0);
        glBindBuffer(GL_COPY_WRITE_BUFFER, r.prepareVertices);
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(zeros.size()), zeros.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
        // A vertex without a diffuse colour is white, without specular black.
        glVertexAttrib4f(ATTR_DIFFUSE, 1.0f, 1.0f, 1.0f, 1.0f);
        glVertexAttrib4f(ATTR_SPECULAR, 0.0f, 0.0f, 0.0f, 0.0f);
        // The light array of a program comes in four sizes, the last as large
        // as GL allows beside the other constants.
        GLint vectors = 0;
        glGetIntegerv(GL_MAX_VERTEX_UNIFORM_VECTORS, &vectors);
        const uint32_t others = (sizeof(TransformConstants) + sizeof(MaterialConstants) + sizeof(GlobalConstants) +
                                 sizeof(TextureConstants)) / 16;
        const uint32_t most = std::max<uint32_t>(8, (static_cast<uint32_t>(vectors) - others - 9) / kLightVectors - kFixedPointLights);
        const uint32_t sizes[kLightClassCount] = {12, 48, 192, 0};
        GLint blockBytes = 0;
        glGetIntegerv(GL_MAX_UNIFORM_BLOCK_SIZE, &blockBytes);
        const uint32_t blockMost = (static_cast<uint32_t>(blockBytes) / 16 - 1) / kLightVectors - kFixedPointLights;
        const uint32_t lightsMost = std::min(most, blockMost);
        for (uint32_t c = 0; c < kLightClassCount; ++c)
            r.lightClassSizes[c] = c + 1 < kLightClassCount ? std::min(sizes[c], lightsMost) : lightsMost;
        // One buffer holds the lights for every program, sized for the largest class.
        const std::vector<uint8_t> noLights((1 + (kFixedPointLights + lightsMost) * kLightVectors) * 16, 0);
        glGenBuffers(1, &r.lightBuffer);
        glBindBuffer(GL_UNIFORM_BUFFER, r.lightBuffer);
        glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(noLights.size()), noLights.data(), GL_DYNAMIC_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, kLightBlockBinding, r.lightBuffer);
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
    glActiveTexture(GL_TEXTURE0 + D3D_MAX_TEXTURE_STAGES);
    glBindTexture(GL_TEXTURE_2D, r.backColor);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal), static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, r.depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glBindFramebuffer(GL_FRAMEBUFFER, r.backFbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, r.backColor, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, r.depthStencil);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "back buffer incomplete";
        return false;
    }
    r.width = width;
    r.height = height;
    r.colorFormat = m_Parameters.BackBufferFormat;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint doubleBuffered = 0;
    glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    r.windowDoubleBuffered = doubleBuffered != 0;
    r.directPresent = WindowHoldsBackBuffer();
    // Both possible back buffers start cleared, and the ramp's pass is
    // prepared on the window so that the first present waits for nothing.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    DrawGammaPass();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    r.stencilKnown = true;
    r.stencilValue = 0;
    m_State->SetDefaults(m_Parameters.EnableAutoDepthStencil != 0, width, height);
    r.layoutValid = false;
    r.drawFramebuffer = ~0u;  // chosen by the ramp below
    SetGammaRamp(0, &m_Gamma);
    r.dirty = DIRTY_ALL;
    r.samplerDirty = r.textureDirty = 0xFF;
    return true;
}

bool PlatformDevice::WindowHoldsBackBuffer() const {
    const DeviceRenderer& r = *m_Renderer;
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(m_Context->window, &drawableW, &drawableH);
    const bool eightBits = r.colorFormat == D3DFMT_X8R8G8B8 || r.colorFormat == D3DFMT_A8R8G8B8;
    if (!eightBits || drawableW != static_cast<int>(r.width) || drawableH != static_cast<int>(r.height)) return false;
    // The window's buffer must have the precision, depth and stencil of the back buffer.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    auto attachment = [](GLenum which, GLenum what) {
        GLint type = GL_NONE, value = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, which, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
        if (type == GL_NONE) return 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, which, what, &value);
        return static_cast<int>(value);
    };
    const GLenum color = r.windowDoubleBuffered ? GL_BACK_LEFT : GL_FRONT_LEFT;
    bool fits = attachment(color, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) == 8 &&
                      attachment(color, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE) == 8 &&
                      attachment(color, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE) == 8 &&
                      (!r.backHasAlpha || attachment(color, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE) == 8) &&
                      attachment(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE) >= 24 &&
                      attachment(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) == 8;
    while (glGetError() != GL_NO_ERROR) {
    }
    // The window's surface may lag behind its size (an offscreen surface
    // keeps the size it was made with): its far corner must take a clear.
    if (fits) {
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        uint32_t corner = 0;
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(drawableW - 1, drawableH - 1, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &corner);
        fits = glGetError() == GL_NO_ERROR && (corner & 0xFFFFFFu) == 0x00FF00u;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, r.drawFramebuffer == ~0u ? r.backFbo : r.drawFramebuffer);
    return fits && m_DirectPresentAllowed;
}

void PlatformDevice::SelectBackBuffer() {
    DeviceRenderer& r = *m_Renderer;
    const GLuint target = r.directPresent && r.identityRamp ? 0 : r.backFbo;
    if (target == r.drawFramebuffer) return;
    // The picture drawn so far moves with the back buffer; rows turn over
    // between the two.
    if (r.drawFramebuffer != ~0u) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, r.drawFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFFFFFFFFu);
        const GLint w = static_cast<GLint>(r.width), h = static_cast<GLint>(r.height);
        glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                          GL_NEAREST);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    r.drawFramebuffer = target;
    r.rowsTopFirst = target != 0;
    r.dirty |= DIRTY_GL_STATE | DIRTY_VIEWPORT | DIRTY_GLOBAL;
}

void PlatformDevice::DrawGammaPass() {
    DeviceRenderer& r = *m_Renderer;
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(m_Context->window, &drawableW, &drawableH);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, drawableW, drawableH);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(r.gammaProgram);
    glUniform4f(r.gammaArea, static_cast<float>(r.width) / static_cast<float>(std::max(drawableW, 1)),
                static_cast<float>(r.height) / static_cast<float>(std::max(drawableH, 1)), static_cast<float>(drawableH),
                0.0f);
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
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, r.drawFramebuffer == ~0u ? r.backFbo : r.drawFramebuffer);
    r.dirty |= DIRTY_GL_STATE | DIRTY_VIEWPORT;
    r.textureDirty |= 0x3;
    r.samplerDirty |= 0x3;
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
    DeviceRenderer& r = *m_Renderer;
    m_Gamma = *ramp;
    uint8_t table[256 * 4];
    r.identityRamp = true;
    for (int i = 0; i < 256; ++i) {
        if ((ramp->red[i] >> 8) != i || (ramp->green[i] >> 8) != i || (ramp->blue[i] >> 8) != i) r.identityRamp = false;
        table[i * 4] = static_cast<uint8_t>(ramp->red[i] >> 8);
        table[i * 4 + 1] = static_cast<uint8_t>(ramp->green[i] >> 8);
        table[i * 4 + 2] = static_cast<uint8_t>(ramp->blue[i] >> 8);
        table[i * 4 + 3] = 255;
    }
    glActiveTexture(GL_TEXTURE0 + D3D_MAX_TEXTURE_STAGES);
    glBindTexture(GL_TEXTURE_2D, r.gammaRamp);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, table);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    SelectBackBuffer();
}

void PlatformDevice::GetGammaRamp(D3DGAMMARAMP* ramp) const {
    if (ramp) *ramp = m_Gamma;
}

HRESULT PlatformDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    DeviceRenderer& r = *m_Renderer;
    // A window that changed its size can no longer hold the back buffer.
    if (r.drawFramebuffer == 0) {
        int drawableW = 0, drawableH = 0;
        SDL_GL_GetDrawableSize(m_Context->window, &drawableW, &drawableH);
        if (drawableW != static_cast<int>(r.width) || drawableH != static_cast<int>(r.height)) {
            r.directPresent = false;
            SelectBackBuffer();
        }
    }
    // The window shows the back buffer through the gamma ramp, stretched to
    // its drawable size, or holds the back buffer itself.
    if (r.drawFramebuffer != 0) DrawGammaPass();
    SDL_GL_SwapWindow(m_Context->window);
    // At most one frame in flight: wait for the frame before this one while
    // this one is drawn. Without a bound the game runs ahead of a software
    // rasteriser, which keeps every queued frame's binned work in memory.
    GLsync thisFrame = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (r.previousFrame) {
        glClientWaitSync(r.previousFrame, GL_SYNC_FLUSH_COMMANDS_BIT, GLuint64{1000000000});
        glDeleteSync(r.previousFrame);
    }
    r.previousFrame = thisFrame;
    r.presented = true;
    ++m_PresentCount;
    return D3D_OK;
}

bool PlatformDevice::ReadBackBuffer(std::vector<uint32_t>* pixels) const {
    const DeviceRenderer& r = *m_Renderer;
    pixels->assign(static_cast<size_t>(r.width) * r.height, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, r.drawFramebuffer);
    // After a present the window's back buffer is gone; the picture
    // presented is what the back buffer held.
    if (r.drawFramebuffer == 0 && r.presented && r.windowDoubleBuffered) glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(r.width), static_cast<GLsizei>(r.height), GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels->data());
    const bool ok = glGetError() == GL_NO_ERROR;
    if (r.drawFramebuffer == 0) {
        glReadBuffer(r.windowDoubleBuffered ? GL_BACK : GL_FRONT);
        // The window's rows run bottom first.
        for (uint32_t y = 0; y < r.height / 2; ++y)
            std::swap_ranges(pixels->begin() + static_cast<ptrdiff_t>(y) * r.width,
                             pixels->begin() + static_cast<ptrdiff_t>(y + 1) * r.width,
                             pixels->begin() + static_cast<ptrdiff_t>(r.height - 1 - y) * r.width);
    }
    if (!r.backHasAlpha)
        for (uint32_t& pixel : *pixels) pixel |= 0xFF000000u;
    return ok;
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
    // The shown image is the window's front buffer (its only buffer, for an
    // offscreen surface).
    std::vector<uint32_t> pixels(static_cast<size_t>(r.width) * r.height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(r.width), static_cast<GLsizei>(r.height), GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels.data());
    const bool ok = glGetError() == GL_NO_ERROR;
    glReadBuffer(r.windowDoubleBuffered ? GL_BACK : GL_FRONT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, r.drawFramebuffer);
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
    // GL makes each level's storage without texels: its first upload sends
    // it whole (TextureFormat_Upload), so nothing is sent twice.
    for (uint32_t i = 0; i < levels; ++i) {
        PlatformTexture::Level& l = t->levels[i];
        l.width = std::max(1u, width >> i);
        l.height = std::max(1u, height >> i);
        l.pitch = TextureFormat_Pitch(*info, l.width);
        l.bits.assign(static_cast<size_t>(l.pitch) * TextureFormat_Rows(*info, l.height), 0);
        const GLsizei w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
        if (t->compressed) {
            glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), info->glInternal, w, h, 0,
                                   static_cast<GLsizei>(l.bits.size()), nullptr);
        } else if (info->blockSize > 1) {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        } else {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(info->glInternal), w, h, 0,
                         info->glFormat, info->glType, nullptr);
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
    // The storage in GL is made when the bytes are first sent (EnsureStored).
    glGenBuffers(1, &b->glBuffer);
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
    if (Succeeded(result)) {
        (*buffer)->format = format;
        (*buffer)->Zeroed();
    }
    return result;
}

HRESULT PlatformDevice::BeginScene() {
    if (m_InScene) return D3DERR_INVALIDCALL;
    m_InScene = true;
    m_Context->FlushPending();
    return D3D_OK;
}

HRESULT PlatformDevice::ResourceManagerDiscardBytes(uint32_t bytes) { return D3D_OK; }

void PlatformDevice::SetDirectPresent(bool allowed) {
    m_DirectPresentAllowed = allowed;
    m_Renderer->directPresent = WindowHoldsBackBuffer();
    SelectBackBuffer();
}

bool PlatformDevice::IsPresentingDirectly() const { return m_Renderer->drawFramebuffer == 0; }

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
    // A clear of the depth alone rewrites the stencil with the value it
    // already holds everywhere, when that is known.
    const bool stencilAlongside = (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == D3DCLEAR_ZBUFFER && r.stencilKnown;
    if ((flags & D3DCLEAR_STENCIL) || stencilAlongside) {
        const uint8_t value = stencilAlongside ? r.stencilValue : static_cast<uint8_t>(stencil & 0xFF);
        glClearStencil(value);
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
            glScissor(x1, r.rowsTopFirst ? y1 : static_cast<int32_t>(r.height) - y2, x2 - x1, y2 - y1);
        }
        glClear(mask);
    };
    if (flags & D3DCLEAR_STENCIL) {
        // Known afterwards when the whole buffer took one value, or when the
        // part cleared took the value the rest holds.
        const bool whole = (count == 0 || rects == nullptr) && vp.X == 0 && vp.Y == 0 && vp.Width == r.width &&
                           vp.Height == r.height;
        const uint8_t value = static_cast<uint8_t>(stencil & 0xFF);
        r.stencilKnown = whole || (r.stencilKnown && r.stencilValue == value);
        r.stencilValue = value;
    }
    if (count == 0 || rects == nullptr) {
        clearRect(static_cast<int32_t>(vp.X), static_cast<int32_t>(vp.Y), static_cast<int32_t>(vp.X + vp.Width),
                  static_cast<int32_t>(vp.Y + vp.Height));
    } else {
        for (uint32_t i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    r.dirty |= DIRTY_GL_STATE;
    r.presented = false;
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
    if (state == D3DTS_WORLD || state == D3DTS_PROJECTION) m_Renderer->dirty |= DIRTY_TRANSFORM;
    else if (state == D3DTS_VIEW) {
        m_Renderer->dirty |= DIRTY_TRANSFORM | DIRTY_LIGHTS;
        ++m_Renderer->viewVersion;
    }
    else m_Renderer->dirty |= DIRTY_TEXTURE_MATRICES | DIRTY_KEY;  // an identity transform needs none
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
    m_Renderer->dirty |= DIRTY_VIEWPORT | DIRTY_GLOBAL;
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
    m_Renderer->dirty |= DIRTY_MATERIAL;
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
    if (m_State->lights.Find(index)->enabled) m_Renderer->dirty |= DIRTY_LIGHTS;
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
    DeviceRenderer& r = *m_Renderer;
    const uint32_t before = Shader_LightClass(static_cast<uint32_t>(m_State->lights.enabled.size()), r.lightClassSizes);
    if (!m_State->lights.Enable(index, enable != 0)) return D3D_OK;
    // The program changes only when the lights outgrow (or fit again) its light array.
    const uint32_t after = Shader_LightClass(static_cast<uint32_t>(m_State->lights.enabled.size()), r.lightClassSizes);
    r.dirty |= DIRTY_LIGHTS | (before != after ? DIRTY_KEY : 0u);
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
    m_Renderer->dirty |= Renderer_RenderStateEffects(state);
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
    // Only a texture coming or going changes the program.
    if ((slot == nullptr) != (texture == nullptr)) m_Renderer->dirty |= DIRTY_KEY;
    if (texture) texture->AddRef();
    if (slot) slot->Release();
    slot = texture;
    m_Renderer->textureDirty |= 1u << stage;
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
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET: break;
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
    // The layout decides which colours stand in for the material and the vertex fog.
    m_Renderer->dirty |= DIRTY_KEY | DIRTY_GLOBAL;
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

