// The device layer against direct GL programs drawing the same scenes at
// 800x600, offscreen: a static scene (10,000 lit, fogged, textured triangles
// in 100 indexed draws) and a scene of state changes (1,000 draws a frame,
// each with its own material, texture, set of lights and world matrix);
// the cost of state sets that change nothing; one present with and without
// a gamma ramp; and a level's worth of
// material states: the programs they need and the worst first draw, with
// and without preparing the draws at load.
//
// Run it with LP_NUM_THREADS=1 and with the default llvmpipe threads; the
// first-draw figures mean something with MESA_SHADER_CACHE_DISABLE=true (the
// default here), one level benchmark per process:
//   bench_graphics --benchmark_filter=Level/prepared
//   bench_graphics --benchmark_filter=Level/unprepared

#include "platform/Window.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/GraphicsDevice.h"

#include <SDL2/SDL.h>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace glfn;

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};
constexpr uint32_t kVertexFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

// A patch of cellsX x cellsY quads in object space (0..1 square).
void MakePatch(int cellsX, int cellsY, std::vector<Vertex>* vertices, std::vector<uint16_t>* indices) {
    for (int y = 0; y <= cellsY; ++y)
        for (int x = 0; x <= cellsX; ++x) {
            const float fx = static_cast<float>(x) / static_cast<float>(cellsX);
            const float fy = static_cast<float>(y) / static_cast<float>(cellsY);
            vertices->push_back({fx, fy, 0.0f, 0.0f, 0.0f, -1.0f, fx * 2.0f, fy * 2.0f});
        }
    for (int y = 0; y < cellsY; ++y)
        for (int x = 0; x < cellsX; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * (cellsX + 1) + x), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + cellsX + 1), d = static_cast<uint16_t>(c + 1);
            // Clockwise as seen from the camera (y up, looking along +z).
            indices->insert(indices->end(), {a, c, b, b, c, d});
        }
}

// Patch i of a grid of grid x grid patches over the screen, further away with i.
D3DMATRIX PatchWorld(int i, int grid, float depthStep) {
    D3DMATRIX m{};
    const float size = 2.0f / static_cast<float>(grid);
    m.m[0][0] = size;
    m.m[1][1] = size;
    m.m[2][2] = 1.0f;
    m.m[3][0] = -1.0f + size * static_cast<float>(i % grid);
    m.m[3][1] = -1.0f + size * static_cast<float>(i / grid);
    m.m[3][2] = 2.0f + depthStep * static_cast<float>(i);
    m.m[3][3] = 1.0f;
    return m;
}

// Perspective projection, left-handed, depth 0..1.
D3DMATRIX Projection() {
    D3DMATRIX p{};
    const float n = 1.0f, f = 100.0f;
    p.m[0][0] = 2.0f;
    p.m[1][1] = 2.0f;
    p.m[2][2] = f / (f - n);
    p.m[2][3] = 1.0f;
    p.m[3][2] = -n * f / (f - n);
    return p;
}

std::vector<uint32_t> Texels(uint32_t a, uint32_t b) {
    std::vector<uint32_t> t(64 * 64);
    for (int i = 0; i < 64 * 64; ++i) t[i] = ((i / 64 + i % 64) & 8) ? a : b;
    return t;
}

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// The lights of the state-change scene: a directional light and ten point
// lights, of which each draw switches on seven as the render queue does.
constexpr int kPointLights = 10, kLightsPerDraw = 7;
constexpr int kStateDraws = 1000;
constexpr int kMaterials = 8, kTextures = 4;

D3DLIGHT8 SceneLight(int i) {
    D3DLIGHT8 light{};
    if (i == 0) {
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = D3DCOLORVALUE{0.4f, 0.4f, 0.4f, 1};
        light.Direction = D3DVECTOR{0.3f, -0.3f, 1.0f};
        return light;
    }
    light.Type = D3DLIGHT_POINT;
    const float t = static_cast<float>(i) * 0.6f;
    light.Diffuse = D3DCOLORVALUE{0.3f + 0.05f * static_cast<float>(i % 3), 0.25f, 0.2f + 0.05f * static_cast<float>(i % 4), 1};
    light.Position = D3DVECTOR{std::cos(t), std::sin(t), 1.5f};
    light.Range = 6.0f;
    light.Attenuation0 = 1.0f;
    light.Attenuation1 = 0.2f;
    return light;
}

// The point lights draw d switches on (1 to 10).
int DrawLight(int d, int k) { return 1 + (d + k * 3) % kPointLights; }

D3DMATERIAL8 SceneMaterial(int m) {
    D3DMATERIAL8 material{};
    const float v = 0.5f + 0.06f * static_cast<float>(m);
    material.Diffuse = D3DCOLORVALUE{v, 1.0f - v * 0.5f, 0.8f, 1};
    material.Ambient = D3DCOLORVALUE{0.3f, 0.3f, 0.3f, 1};
    return material;
}

HWND OpenWindow(const char* name) {
    Platform_RegisterClass(PlatformWindowClass{name, NoProcedure});
    return Platform_CreateWindow(name, name, 0, 0, kWidth, kHeight);
}

PlatformDevice* OpenDevice(HWND window) {
    std::string error;
    static PlatformGraphicsSystem* system = PlatformGraphicsSystem::Create(&error);
    if (system == nullptr || window == nullptr) return nullptr;
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    PlatformDevice* device = nullptr;
    if (system->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x24, &pp, &device) != D3D_OK) return nullptr;
    return device;
}

PlatformTexture* MakeTexture(PlatformDevice* device, D3DFORMAT format, const std::vector<uint32_t>& texels) {
    PlatformTexture* texture = nullptr;
    if (device->CreateTexture(64, 64, 0, 0, format, D3DPOOL_MANAGED, &texture) != D3D_OK) return nullptr;
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    Graphics_ConvertFromArgb(format, texels.data(), 64, 64, static_cast<uint8_t*>(locked.pBits),
                             static_cast<uint32_t>(locked.Pitch));
    texture->UnlockRect(0);
    texture->FilterLevels(0);
    return texture;
}

struct LayerScene {
    PlatformDevice* device = nullptr;
    PlatformVertexBuffer* vb[2] = {};
    PlatformIndexBuffer* ib[2] = {};
    PlatformTexture* textures[kTextures] = {};
    uint32_t vertexCount[2] = {}, triangleCount[2] = {};
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;

    bool Open() {
        HWND handle = OpenWindow("LayerBench");
        device = OpenDevice(handle);
        if (device == nullptr) return false;
        window = static_cast<SDL_Window*>(Platform_GetNativeWindow(handle));
        context = SDL_GL_GetCurrentContext();
        // Mesh 0: 100 triangles for the static scene; mesh 1: 20 for the state changes.
        const int cells[2][2] = {{10, 5}, {5, 2}};
        for (int m = 0; m < 2; ++m) {
            std::vector<Vertex> vertices;
            std::vector<uint16_t> indices;
            MakePatch(cells[m][0], cells[m][1], &vertices, &indices);
            vertexCount[m] = static_cast<uint32_t>(vertices.size());
            triangleCount[m] = static_cast<uint32_t>(indices.size() / 3);
            device->CreateVertexBuffer(vertexCount[m] * sizeof(Vertex), D3DUSAGE_WRITEONLY, kVertexFvf, D3DPOOL_MANAGED, &vb[m]);
            device->CreateIndexBuffer(static_cast<uint32_t>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                      D3DPOOL_MANAGED, &ib[m]);
            uint8_t* data = nullptr;
            vb[m]->Lock(0, 0, &data, 0);
            std::memcpy(data, vertices.data(), vertices.size() * sizeof(Vertex));
            vb[m]->Unlock();
            ib[m]->Lock(0, 0, &data, 0);
            std::memcpy(data, indices.data(), indices.size() * 2);
            ib[m]->Unlock();
        }
        for (int t = 0; t < kTextures; ++t)
            textures[t] = MakeTexture(device, D3DFMT_A8R8G8B8, Texels(0xFFC08040u + 0x102030u * t, 0xFF4080C0u));

        const D3DMATRIX projection = Projection();
        device->SetTransform(D3DTS_PROJECTION, &projection);
        for (int i = 0; i <= kPointLights; ++i) {
            const D3DLIGHT8 light = SceneLight(i);
            device->SetLight(static_cast<uint32_t>(i), &light);
        }
        device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        device->SetRenderState(D3DRS_FOGSTART, Bits(1.5f));
        device->SetRenderState(D3DRS_FOGEND, Bits(5.0f));
        device->SetRenderState(D3DRS_FOGCOLOR, 0x00808080);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetVertexShader(kVertexFvf);
        // The states the frames meet, prepared as a level load does.
        for (int t = 0; t < kTextures; ++t) {
            device->SetTexture(0, textures[t]);
            device->PrepareDraw();
        }
        return true;
    }

    void Use(int mesh) {
        device->SetStreamSource(0, vb[mesh], sizeof(Vertex));
        device->SetIndices(ib[mesh], 0);
    }

    // 100 draws of one material, one texture and two lights.
    void StaticFrame() {
        Use(0);
        device->SetTexture(0, textures[0]);
        const D3DMATERIAL8 material = SceneMaterial(0);
        device->SetMaterial(&material);
        for (int i = 0; i <= kPointLights; ++i) device->LightEnable(static_cast<uint32_t>(i), i < 2);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000040, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < 100; ++i) {
            const D3DMATRIX world = PatchWorld(i, 10, 0.02f);
            device->SetTransform(D3DTS_WORLD, &world);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount[0], 0, triangleCount[0]);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        glFinish();
    }

    // 1,000 draws, each with its material, texture, lights (the local
    // lights switched off, then seven on) and world matrix.
    void StateFrame(const D3DMATERIAL8* materials) {
        Use(1);
        device->LightEnable(0, 1);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000040, 1.0f, 0);
        device->BeginScene();
        for (int d = 0; d < kStateDraws; ++d) {
            device->SetMaterial(&materials[d % kMaterials]);
            device->SetTexture(0, textures[d % kTextures]);
            for (int i = 1; i <= kPointLights; ++i) device->LightEnable(static_cast<uint32_t>(i), 0);
            for (int k = 0; k < kLightsPerDraw; ++k) device->LightEnable(static_cast<uint32_t>(DrawLight(d, k)), 1);
            const D3DMATRIX world = PatchWorld(d, 32, 0.002f);
            device->SetTransform(D3DTS_WORLD, &world);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount[1], 0, triangleCount[1]);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        glFinish();
    }
};

LayerScene* Layer() {
    static LayerScene* scene = [] {
        auto* s = new LayerScene();
        return s->Open() ? s : nullptr;
    }();
    return scene;
}

// The same scenes written directly against GL: one hand-written program
// with the lights in a uniform array, linear fog and the texture, drawing
// into the window.
const char* kDirectVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 worldView;
uniform mat4 projection;
uniform vec4 material[2];      // diffuse, ambient
uniform vec4 lights[24];       // per light: colour (w: 1 point), position or direction (w: range)
uniform int lightCount;
out vec3 color;
out vec2 texCoord;
out float fog;
void main() {
    vec4 viewPos = worldView * vec4(position, 1.0);
    gl_Position = projection * viewPos;
    vec3 n = mat3(worldView) * normal;
    vec3 diffuse = vec3(0.0);
    for (int i = 0; i < lightCount; ++i) {
        vec4 c = lights[2 * i], p = lights[2 * i + 1];
        if (c.w == 0.0) {
            diffuse += c.rgb * max(dot(n, -p.xyz), 0.0);
        } else {
            vec3 toLight = p.xyz - viewPos.xyz;
            float d = length(toLight);
            if (d <= p.w) diffuse += c.rgb * max(dot(n, toLight / d), 0.0) / (1.0 + 0.2 * d);
        }
    }
    color = clamp(material[1].rgb * 0.125 + material[0].rgb * diffuse, 0.0, 1.0);
    texCoord = uv;
    fog = clamp((5.0 - viewPos.z) / 3.5, 0.0, 1.0);
}
)";
const char* kDirectFragment = R"(#version 330 core
in vec3 color;
in vec2 texCoord;
in float fog;
uniform sampler2D image;
out vec4 fragColor;
void main() {
    vec4 c = texture(image, texCoord) * vec4(color, 1.0);
    fragColor = vec4(mix(vec3(0.5), c.rgb, fog), c.a);
}
)";

struct DirectScene {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    GLuint program = 0, vao[2] = {}, vbo[2] = {}, ibo[2] = {}, textures[kTextures] = {};
    GLint worldViewLocation = -1, materialLocation = -1, lightsLocation = -1, lightCountLocation = -1;
    GLsizei indexCount[2] = {};
    std::string error;

    GLuint Compile(GLenum type, const char* source) {
        GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
            error = log;
        }
        return shader;
    }

    bool Open() {
        // The framebuffer's depth and stencil are chosen with the window.
        // SDL takes the attributes only once its video is running: a process
        // that starts here would otherwise get its defaults (16-bit depth, no
        // stencil, a compatibility context) and draw less than the layer does.
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        window = SDL_CreateWindow("Direct", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        context = window ? SDL_GL_CreateContext(window) : nullptr;
        if (!context || !GL_LoadFunctions(nullptr)) return false;
        SDL_GL_SetSwapInterval(0);
        program = glCreateProgram();
        glAttachShader(program, Compile(GL_VERTEX_SHADER, kDirectVertex));
        glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kDirectFragment));
        glLinkProgram(program);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!error.empty() || !linked) {
            std::fprintf(stderr, "direct GL shader: %s\n", error.c_str());
            return false;
        }
        glUseProgram(program);
        worldViewLocation = glGetUniformLocation(program, "worldView");
        materialLocation = glGetUniformLocation(program, "material");
        lightsLocation = glGetUniformLocation(program, "lights");
        lightCountLocation = glGetUniformLocation(program, "lightCount");
        const D3DMATRIX projection = Projection();
        // Row-vector matrices read as column-major are the transposes GL multiplies with.
        glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, &projection.m[0][0]);
        const int cells[2][2] = {{10, 5}, {5, 2}};
        glGenVertexArrays(2, vao);
        glGenBuffers(2, vbo);
        glGenBuffers(2, ibo);
        for (int m = 0; m < 2; ++m) {
            std::vector<Vertex> vertices;
            std::vector<uint16_t> indices;
            MakePatch(cells[m][0], cells[m][1], &vertices, &indices);
            indexCount[m] = static_cast<GLsizei>(indices.size());
            glBindVertexArray(vao[m]);
            glBindBuffer(GL_ARRAY_BUFFER, vbo[m]);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(),
                         GL_STATIC_DRAW);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo[m]);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 2), indices.data(),
                         GL_STATIC_DRAW);
            glEnableVertexAttribArray(0);
            glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
            glEnableVertexAttribArray(1);
            glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(12));
            glEnableVertexAttribArray(2);
            glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(24));
        }
        glGenTextures(kTextures, textures);
        for (int t = 0; t < kTextures; ++t) {
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            const std::vector<uint32_t> texels = Texels(0xFFC08040u + 0x102030u * t, 0xFF4080C0u);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        }
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glViewport(0, 0, kWidth, kHeight);
        return true;
    }

    // The lights in view space (the view is the identity here), two vec4s each.
    int PackLights(const int* which, int count, float* out) {
        for (int k = 0; k < count; ++k) {
            const D3DLIGHT8 l = SceneLight(which[k]);
            float* c = out + k * 8;
            c[0] = l.Diffuse.r;
            c[1] = l.Diffuse.g;
            c[2] = l.Diffuse.b;
            c[3] = l.Type == D3DLIGHT_POINT ? 1.0f : 0.0f;
            if (l.Type == D3DLIGHT_POINT) {
                c[4] = l.Position.x;
                c[5] = l.Position.y;
                c[6] = l.Position.z;
                c[7] = l.Range;
            } else {
                const float length = std::sqrt(l.Direction.x * l.Direction.x + l.Direction.y * l.Direction.y +
                                               l.Direction.z * l.Direction.z);
                c[4] = l.Direction.x / length;
                c[5] = l.Direction.y / length;
                c[6] = l.Direction.z / length;
                c[7] = 0.0f;
            }
        }
        return count;
    }

    void SetMaterial(const D3DMATERIAL8& m) {
        const float values[8] = {m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a,
                                 m.Ambient.r, m.Ambient.g, m.Ambient.b, m.Ambient.a};
        glUniform4fv(materialLocation, 2, values);
    }

    void StaticFrame() {
        glBindVertexArray(vao[0]);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        SetMaterial(SceneMaterial(0));
        const int which[2] = {0, 1};
        float lights[24 * 4];
        glUniform4fv(lightsLocation, 2 * PackLights(which, 2, lights), lights);
        glUniform1i(lightCountLocation, 2);
        glClearColor(0, 0, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < 100; ++i) {
            const D3DMATRIX world = PatchWorld(i, 10, 0.02f);
            glUniformMatrix4fv(worldViewLocation, 1, GL_FALSE, &world.m[0][0]);
            glDrawElements(GL_TRIANGLES, indexCount[0], GL_UNSIGNED_SHORT, nullptr);
        }
        SDL_GL_SwapWindow(window);
        glFinish();
    }

    void StateFrame(const D3DMATERIAL8* materials) {
        glBindVertexArray(vao[1]);
        glClearColor(0, 0, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        float lights[24 * 4];
        for (int d = 0; d < kStateDraws; ++d) {
            SetMaterial(materials[d % kMaterials]);
            glBindTexture(GL_TEXTURE_2D, textures[d % kTextures]);
            int which[1 + kLightsPerDraw] = {0};
            for (int k = 0; k < kLightsPerDraw; ++k) which[1 + k] = DrawLight(d, k);
            const int count = PackLights(which, 1 + kLightsPerDraw, lights);
            glUniform4fv(lightsLocation, 2 * count, lights);
            glUniform1i(lightCountLocation, count);
            const D3DMATRIX world = PatchWorld(d, 32, 0.002f);
            glUniformMatrix4fv(worldViewLocation, 1, GL_FALSE, &world.m[0][0]);
            glDrawElements(GL_TRIANGLES, indexCount[1], GL_UNSIGNED_SHORT, nullptr);
        }
        SDL_GL_SwapWindow(window);
        glFinish();
    }
};

DirectScene* Direct() {
    static DirectScene* scene = [] {
        auto* s = new DirectScene();
        return s->Open() ? s : nullptr;
    }();
    return scene;
}

const D3DMATERIAL8* Materials() {
    static D3DMATERIAL8 materials[kMaterials];
    for (int m = 0; m < kMaterials; ++m) materials[m] = SceneMaterial(m);
    return materials;
}

// CPU time of the process's other threads (llvmpipe's rasterizers) in
// milliseconds, from the scheduler's own accounting.
double OtherThreadsMs() {
    double total = 0.0;
    const long self = static_cast<long>(syscall(SYS_gettid));
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0.0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.' || std::atol(entry->d_name) == self) continue;
        const std::string path = std::string("/proc/self/task/") + entry->d_name + "/schedstat";
        if (FILE* f = std::fopen(path.c_str(), "r")) {
            unsigned long long ns = 0;
            if (std::fscanf(f, "%llu", &ns) == 1) total += static_cast<double>(ns) / 1e6;
            std::fclose(f);
        }
    }
    closedir(tasks);
    return total;
}

// Frames after a warm-up (the driver builds the variants it needs in the
// first frames), with the rasterizer threads' CPU time a frame beside the
// benchmark's own CPU time (the drawing thread's).
template <typename Frame>
void TimeFrames(benchmark::State& state, Frame frame) {
    for (int i = 0; i < 30; ++i) frame();
    const double before = OtherThreadsMs();
    for (auto _ : state) frame();
    state.counters["raster_cpu_ms"] =
        (OtherThreadsMs() - before) / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

void BM_StaticScene_DeviceLayer(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) return state.SkipWithError("no device");
    SDL_GL_MakeCurrent(scene->window, scene->context);
    TimeFrames(state, [&] { scene->StaticFrame(); });
    state.counters["triangles"] = 100.0 * scene->triangleCount[0];
    state.counters["direct_present"] = scene->device->IsPresentingDirectly();
}

void BM_StaticScene_DirectGL(benchmark::State& state) {
    DirectScene* scene = Direct();
    if (scene == nullptr) return state.SkipWithError("no GL context");
    SDL_GL_MakeCurrent(scene->window, scene->context);
    TimeFrames(state, [&] { scene->StaticFrame(); });
}

// The measured frames draw only what the load prepared: a draw that had
// to build a program shows in the counter.
void BM_StateChanges_DeviceLayer(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) return state.SkipWithError("no device");
    SDL_GL_MakeCurrent(scene->window, scene->context);
    scene->StateFrame(Materials());
    const DeviceStatistics before = scene->device->GetStatistics();
    TimeFrames(state, [&] { scene->StateFrame(Materials()); });
    state.counters["draws"] = kStateDraws;
    state.counters["compiles_in_frames"] = scene->device->GetStatistics().programsBuiltInDraws - before.programsBuiltInDraws;
}

void BM_StateChanges_DirectGL(benchmark::State& state) {
    DirectScene* scene = Direct();
    if (scene == nullptr) return state.SkipWithError("no GL context");
    SDL_GL_MakeCurrent(scene->window, scene->context);
    TimeFrames(state, [&] { scene->StateFrame(Materials()); });
    state.counters["draws"] = kStateDraws;
}

void BM_RedundantRenderStateSets(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) return state.SkipWithError("no device");
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) scene->device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        benchmark::ClobberMemory();
    }
}

// One present of the 800x600 back buffer, the clear before it finished
// and not counted: with the identity ramp (the window holds the back
// buffer) and with a ramp that brightens (the ramp's pass into the window).
void BM_Present(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) return state.SkipWithError("no device");
    SDL_GL_MakeCurrent(scene->window, scene->context);
    PlatformDevice* device = scene->device;
    D3DGAMMARAMP ramp{};
    for (int i = 0; i < 256; ++i) {
        const int v = state.range(0) != 0 ? std::min(65535, i * 320) : i * 256;
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(v);
    }
    device->SetGammaRamp(0, &ramp);
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000040, 1.0f, 0);
        glFinish();
        const auto start = std::chrono::steady_clock::now();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        glFinish();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["direct_present"] = device->IsPresentingDirectly();
    for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(i * 256);
    device->SetGammaRamp(0, &ramp);
}

// A level's material states, as the engine's material applier produces
// them from the render-state word: alpha modes, depth, lighting, culling,
// clamping, second-stage combinations, environment maps on either stage,
// fog, light maps; drawn over the vertex formats of meshes, built meshes
// and particles; and the overlay, text and shadow states of the frame.
struct LevelState {
    uint32_t fvf;
    uint32_t word;       // render-state word
    int textures;        // 0, 1 or 2 (second: light map)
    bool fade;           // drawn with alpha below 1
};

void ApplyWord(PlatformDevice* d, uint32_t word) {
    struct Mode {
        uint32_t blend, src, dest, alphaOp, alphaArg1;
    };
    static const Mode kModes[] = {{0, D3DBLEND_ONE, D3DBLEND_ZERO, 0, 0},
                                  {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_DIFFUSE},
                                  {1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE},
                                  {1, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 0, 0},
                                  {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_TEXTURE},
                                  {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE, D3DTA_TEXTURE}};
    const Mode& m = kModes[(word & 7) % 6];
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, m.blend);
    d->SetRenderState(D3DRS_SRCBLEND, m.src);
    d->SetRenderState(D3DRS_DESTBLEND, m.dest);
    if (m.alphaOp) {
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, m.alphaOp);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, m.alphaArg1);
    }
    d->SetRenderState(D3DRS_ZENABLE, (word >> 3) & 1);
    d->SetRenderState(D3DRS_ZWRITEENABLE, (word >> 4) & 1);
    d->SetRenderState(D3DRS_LIGHTING, (word >> 5) & 1);
    d->SetRenderState(D3DRS_CULLMODE, (word & 0x80) ? D3DCULL_CCW : (word & 0x40) ? D3DCULL_CW : D3DCULL_NONE);
    const uint32_t address = (word & 0x100) ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
    const uint32_t combine = word & 0x1600;
    d->SetTextureStageState(1, D3DTSS_COLOROP,
                            combine == 0x200 ? D3DTOP_ADD : combine == 0x600 ? D3DTOP_BLENDTEXTUREALPHA : D3DTOP_DISABLE);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        const bool environment = (word >> (13 + stage)) & 1;
        D3DMATRIX m{};
        if (environment) {
            m.m[0][0] = 0.5f;
            m.m[1][1] = -0.5f;
            m.m[2][2] = m.m[3][3] = 1.0f;
            m.m[3][0] = m.m[3][1] = 0.5f;
            d->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        } else {
            for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
        }
        d->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &m);
        d->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, environment ? D3DTSS_TCI_CAMERASPACENORMAL : stage);
    }
    d->SetRenderState(D3DRS_FOGENABLE, (word >> 15) & 1);
}

std::vector<LevelState> LevelStates() {
    std::vector<LevelState> states;
    // The blend modes with depth test and write, lighting and culling as materials have them.
    const uint32_t codes[] = {0x19, 0x0D, 0x0B, 0x0A, 0x19 | 0x2000, 0x19 | 0x4000 | 0x200, 0x19 | 0x4000 | 0x600,
                              0x0A | 0x2000};
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 214013u + 2531011u) >> 16 & 0x7FFF; };
    for (int i = 0; i < 40; ++i) {
        uint32_t word = codes[next() % 8] | 0x20 | 0x80 | ((next() & 1) ? 0x8000 : 0);
        if (next() % 4 == 0) word &= ~0x20u;   // unlit
        if (next() % 5 == 0) word &= ~0x80u;   // two-sided
        const uint32_t fvfs[] = {0x112, 0x112, 0x152, 0x142};
        const bool lightMap = next() % 3 == 0 && (word & 0x1600) == 0;
        states.push_back({fvfs[next() % 4], word, lightMap ? 2 : 1, next() % 6 == 0});
    }
    return states;
}

struct LevelScene {
    PlatformDevice* device = nullptr;
    PlatformVertexBuffer* vb = nullptr;
    PlatformIndexBuffer* ib = nullptr;
    PlatformTexture* textures[3] = {};
    std::vector<LevelState> states = LevelStates();
    uint32_t textBlocks[2] = {};  // saved, draw

    bool Open(const char* name) {
        device = OpenDevice(OpenWindow(name));
        if (device == nullptr) return false;
        // Enough room for the largest vertex format; the same bytes serve them all.
        device->CreateVertexBuffer(64 * 1024, 0, 0, D3DPOOL_MANAGED, &vb);
        device->CreateIndexBuffer(3 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib);
        uint8_t* data = nullptr;
        // One small triangle at the start of each 64-byte vertex, whatever the format.
        vb->Lock(0, 0, &data, 0);
        const float corners[3][4] = {{-0.5f, -0.5f, 0.5f, 1.0f}, {0.5f, -0.5f, 0.5f, 1.0f}, {0.0f, 0.5f, 0.5f, 1.0f}};
        for (int i = 0; i < 3; ++i) std::memcpy(data + i * 64, corners[i], sizeof corners[i]);
        vb->Unlock();
        ib->Lock(0, 0, &data, 0);
        const uint16_t indices[3] = {0, 1, 2};
        std::memcpy(data, indices, sizeof indices);
        ib->Unlock();
        // The content's textures: compressed with premultiplied alpha (the
        // default texture quality), a light map, the glyphs of a font.
        textures[0] = MakeTexture(device, D3DFMT_DXT2, Texels(0x80C08040u, 0xFF4080C0u));
        textures[1] = MakeTexture(device, D3DFMT_DXT1, Texels(0xFF808080u, 0xFF404040u));
        textures[2] = MakeTexture(device, D3DFMT_A4R4G4B4, Texels(0xF0FFFFFFu, 0x00000000u));
        for (uint32_t stage = 0; stage < 2; ++stage) {
            device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
            device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
            device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
        }
        D3DLIGHT8 light = SceneLight(0);
        device->SetLight(0, &light);
        device->LightEnable(0, 1);
        return true;
    }

    // Each state once, then the frame's overlays, text and shadow passes.
    // Visit is called with the draw's kind after the states are set.
    template <typename Visit>
    void Walk(Visit visit) {
        device->SetStreamSource(0, vb, 64);
        device->SetIndices(ib, 0);
        for (const LevelState& s : states) {
            ApplyWord(device, s.fvf == 0x142 ? (s.word & ~0x20u) : s.word);
            if (s.fade && (s.word & 7) == 0) ApplyWord(device, s.word | 1);
            device->SetTexture(0, textures[0]);
            device->SetTexture(1, s.textures == 2 ? textures[1] : nullptr);
            if (s.textures == 2) {
                device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
                device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
            }
            device->SetVertexShader(s.fvf);
            visit();
        }
        // Overlay quads in four blend modes, without depth, light or fog.
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->SetTexture(1, nullptr);
        for (uint32_t mode = 0; mode < 4; ++mode) {
            ApplyWord(device, 0x18 | mode);
            device->SetRenderState(D3DRS_LIGHTING, 0);
            device->SetRenderState(D3DRS_FOGENABLE, 0);
            device->SetRenderState(D3DRS_ZENABLE, 0);
            visit();
        }
        // Text, as the fonts draw it: the caller's state saved in one block,
        // the glyphs' state (16-bit alpha, tested and blended, point sampled)
        // applied from another, the caller's state back after the draw.
        if (textBlocks[0] == 0) {
            for (uint32_t& block : textBlocks) {
                device->BeginStateBlock();
                device->SetTexture(0, textures[2]);
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
                device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
                device->SetRenderState(D3DRS_ALPHAREF, 8);
                device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
                device->SetRenderState(D3DRS_FOGENABLE, 0);
                device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
                device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
                device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
                device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
                device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
                device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
                device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
                device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
                device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
                device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
                device->EndStateBlock(&block);
            }
        }
        device->CaptureStateBlock(textBlocks[0]);
        device->ApplyStateBlock(textBlocks[1]);
        visit();
        device->ApplyStateBlock(textBlocks[0]);
        // Shadow volumes into the stencil (both windings), then the darkening quad.
        device->SetTexture(0, nullptr);
        device->SetVertexShader(D3DFVF_XYZ);
        device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
        device->SetRenderState(D3DRS_ZENABLE, 1);
        device->SetRenderState(D3DRS_STENCILENABLE, 1);
        device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        visit();
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        visit();
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        visit();
        device->SetRenderState(D3DRS_STENCILENABLE, 0);
        device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    }

    // One frame: every state drawn once; the longest draw in milliseconds.
    double Frame() {
        double worst = 0.0;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
        device->BeginScene();
        Walk([&] {
            const auto start = std::chrono::steady_clock::now();
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1);
            worst = std::max(worst, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        });
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        glFinish();
        return worst;
    }
};

// The first frame of a level: its worst draw, with the level's draws
// prepared at load or not.
void BM_Level(benchmark::State& state, bool prepare) {
    auto* scene = new LevelScene();
    if (!scene->Open(prepare ? "LevelPrepared" : "LevelUnprepared")) return state.SkipWithError("no device");
    double loadMs = 0.0, firstFrameWorst = 0.0, laterWorst = 0.0;
    for (auto _ : state) {
        if (prepare) {
            const auto start = std::chrono::steady_clock::now();
            scene->Walk([&] { scene->device->PrepareDraw(); });
            glFinish();
            loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        firstFrameWorst = scene->Frame();
        for (int i = 0; i < 3; ++i) laterWorst = std::max(laterWorst, scene->Frame());
    }
    const DeviceStatistics statistics = scene->device->GetStatistics();
    state.counters["programs"] = statistics.programs;
    state.counters["compiles_in_draws"] = statistics.programsBuiltInDraws;
    state.counters["load_ms"] = loadMs;
    state.counters["first_frame_worst_draw_ms"] = firstFrameWorst;
    state.counters["later_worst_draw_ms"] = laterWorst;
}

}  // namespace

BENCHMARK(BM_StaticScene_DeviceLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_StaticScene_DirectGL)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_StateChanges_DeviceLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_StateChanges_DirectGL)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RedundantRenderStateSets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Present)->ArgName("ramp")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Level, prepared, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_Level, unprepared, false)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    // First draws are measured as a player meets them the first time.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
