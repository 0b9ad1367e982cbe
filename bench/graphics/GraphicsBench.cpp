// The device layer against a minimal direct GL program drawing the same
// scene: 10,000 lit, fogged, textured triangles in 100 indexed draws at
// 800x600, offscreen; and the cost of render-state sets that change nothing.

#include "platform/Window.h"
#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/GraphicsDevice.h"

#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace glfn;

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kDraws = 100;
constexpr int kGrid = 10;          // patches per row and column
constexpr int kCellsX = 10, kCellsY = 5;  // quads per patch: 100 triangles

struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

// One patch in object space (0..1 square), moved into place by its world matrix.
void MakePatch(std::vector<Vertex>* vertices, std::vector<uint16_t>* indices) {
    for (int y = 0; y <= kCellsY; ++y)
        for (int x = 0; x <= kCellsX; ++x) {
            const float fx = static_cast<float>(x) / kCellsX, fy = static_cast<float>(y) / kCellsY;
            vertices->push_back({fx, fy, 0.0f, 0.0f, 0.0f, -1.0f, fx * 2.0f, fy * 2.0f});
        }
    for (int y = 0; y < kCellsY; ++y)
        for (int x = 0; x < kCellsX; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * (kCellsX + 1) + x), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + kCellsX + 1), d = static_cast<uint16_t>(c + 1);
            // Clockwise as seen from the camera (y up, looking along +z).
            indices->insert(indices->end(), {a, c, b, b, c, d});
        }
}

D3DMATRIX PatchWorld(int i) {
    D3DMATRIX m{};
    const float size = 2.0f / kGrid;
    m.m[0][0] = size;
    m.m[1][1] = size;
    m.m[2][2] = 1.0f;
    m.m[3][0] = -1.0f + size * static_cast<float>(i % kGrid);
    m.m[3][1] = -1.0f + size * static_cast<float>(i / kGrid);
    m.m[3][2] = 2.0f + 0.02f * static_cast<float>(i);
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

std::vector<uint32_t> Texels() {
    std::vector<uint32_t> t(64 * 64);
    for (int i = 0; i < 64 * 64; ++i) t[i] = ((i / 64 + i % 64) & 8) ? 0xFFC08040u : 0xFF4080C0u;
    return t;
}

struct LayerScene {
    PlatformGraphicsSystem* system = nullptr;
    PlatformDevice* device = nullptr;
    PlatformVertexBuffer* vb = nullptr;
    PlatformIndexBuffer* ib = nullptr;
    PlatformTexture* texture = nullptr;
    uint32_t vertexCount = 0, triangleCount = 0;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;

    bool Open() {
        std::string error;
        system = PlatformGraphicsSystem::Create(&error);
        if (!system) return false;
        Platform_RegisterClass(PlatformWindowClass{"Bench", NoProcedure});
        HWND window = Platform_CreateWindow("Bench", "Bench", 0, 0, kWidth, kHeight);
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (system->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x24, &pp, &device) != D3D_OK) return false;
        this->window = static_cast<SDL_Window*>(Platform_GetNativeWindow(window));
        context = SDL_GL_GetCurrentContext();
        std::vector<Vertex> vertices;
        std::vector<uint16_t> indices;
        MakePatch(&vertices, &indices);
        vertexCount = static_cast<uint32_t>(vertices.size());
        triangleCount = static_cast<uint32_t>(indices.size() / 3);
        device->CreateVertexBuffer(vertexCount * sizeof(Vertex), D3DUSAGE_WRITEONLY, 0x112, D3DPOOL_MANAGED, &vb);
        device->CreateIndexBuffer(static_cast<uint32_t>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_MANAGED, &ib);
        uint8_t* data = nullptr;
        vb->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(Vertex));
        vb->Unlock();
        ib->Lock(0, 0, &data, 0);
        std::memcpy(data, indices.data(), indices.size() * 2);
        ib->Unlock();
        device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        const std::vector<uint32_t> texels = Texels();
        std::memcpy(locked.pBits, texels.data(), texels.size() * 4);
        texture->UnlockRect(0);

        const D3DMATRIX projection = Projection();
        device->SetTransform(D3DTS_PROJECTION, &projection);
        D3DMATERIAL8 material{};
        material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        material.Ambient = D3DCOLORVALUE{1, 1, 1, 1};
        device->SetMaterial(&material);
        D3DLIGHT8 sun{};
        sun.Type = D3DLIGHT_DIRECTIONAL;
        sun.Diffuse = D3DCOLORVALUE{0.6f, 0.6f, 0.6f, 1};
        sun.Direction = D3DVECTOR{0.3f, -0.3f, 1.0f};
        device->SetLight(0, &sun);
        device->LightEnable(0, 1);
        D3DLIGHT8 lamp{};
        lamp.Type = D3DLIGHT_POINT;
        lamp.Diffuse = D3DCOLORVALUE{1, 0.8f, 0.5f, 1};
        lamp.Position = D3DVECTOR{0, 0, 1};
        lamp.Range = 10.0f;
        lamp.Attenuation0 = 1.0f;
        lamp.Attenuation1 = 0.2f;
        device->SetLight(1, &lamp);
        device->LightEnable(1, 1);
        device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        float start = 1.5f, end = 5.0f;
        uint32_t bits;
        std::memcpy(&bits, &start, 4);
        device->SetRenderState(D3DRS_FOGSTART, bits);
        std::memcpy(&bits, &end, 4);
        device->SetRenderState(D3DRS_FOGEND, bits);
        device->SetRenderState(D3DRS_FOGCOLOR, 0x00808080);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTexture(0, texture);
        device->SetVertexShader(0x112);
        device->SetStreamSource(0, vb, sizeof(Vertex));
        device->SetIndices(ib, 0);
        return true;
    }

    void Frame() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000040, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < kDraws; ++i) {
            const D3DMATRIX world = PatchWorld(i);
            device->SetTransform(D3DTS_WORLD, &world);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount, 0, triangleCount);
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

// The same scene written directly against GL: one hand-written shader with
// the two lights, linear fog and the texture, drawing to the window.
const char* kDirectVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 worldView;
uniform mat4 projection;
uniform vec3 sunDirection;
uniform vec3 lampPosition;
out vec3 color;
out vec2 texCoord;
out float fog;
void main() {
    vec4 viewPos = worldView * vec4(position, 1.0);
    gl_Position = projection * viewPos;
    vec3 n = mat3(worldView) * normal;
    vec3 light = vec3(0.125) + vec3(0.6) * max(dot(n, -sunDirection), 0.0);
    vec3 toLamp = lampPosition - viewPos.xyz;
    float d = length(toLamp);
    if (d <= 10.0) light += vec3(1.0, 0.8, 0.5) * max(dot(n, toLamp / d), 0.0) / (1.0 + 0.2 * d);
    color = clamp(light, 0.0, 1.0);
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
    GLuint program = 0, vao = 0, vbo = 0, ibo = 0, texture = 0;
    GLint worldViewLocation = -1;
    GLsizei indexCount = 0;

    bool Open() {
        window = SDL_CreateWindow("Direct", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        context = window ? SDL_GL_CreateContext(window) : nullptr;
        if (!context || !GL_LoadFunctions(nullptr)) return false;
        SDL_GL_SetSwapInterval(0);
        auto compile = [](GLenum type, const char* source) {
            GLuint shader = glCreateShader(type);
            glShaderSource(shader, 1, &source, nullptr);
            glCompileShader(shader);
            return shader;
        };
        program = glCreateProgram();
        glAttachShader(program, compile(GL_VERTEX_SHADER, kDirectVertex));
        glAttachShader(program, compile(GL_FRAGMENT_SHADER, kDirectFragment));
        glLinkProgram(program);
        glUseProgram(program);
        worldViewLocation = glGetUniformLocation(program, "worldView");
        const D3DMATRIX projection = Projection();
        // Row-vector matrices read as column-major are the transposes GL multiplies with.
        glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, &projection.m[0][0]);
        const float length = std::sqrt(0.3f * 0.3f * 2 + 1.0f);
        glUniform3f(glGetUniformLocation(program, "sunDirection"), 0.3f / length, -0.3f / length, 1.0f / length);
        glUniform3f(glGetUniformLocation(program, "lampPosition"), 0, 0, 1);
        std::vector<Vertex> vertices;
        std::vector<uint16_t> indices;
        MakePatch(&vertices, &indices);
        indexCount = static_cast<GLsizei>(indices.size());
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(), GL_STATIC_DRAW);
        glGenBuffers(1, &ibo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(12));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(24));
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        const std::vector<uint32_t> texels = Texels();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glViewport(0, 0, kWidth, kHeight);
        return true;
    }

    void Frame() {
        glClearColor(0, 0, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < kDraws; ++i) {
            const D3DMATRIX world = PatchWorld(i);
            glUniformMatrix4fv(worldViewLocation, 1, GL_FALSE, &world.m[0][0]);
            glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, nullptr);
        }
        SDL_GL_SwapWindow(window);
        glFinish();
    }
};

void BM_DeviceLayerFrame(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) {
        state.SkipWithError("no device");
        return;
    }
    SDL_GL_MakeCurrent(scene->window, scene->context);
    for (auto _ : state) scene->Frame();
    state.counters["triangles"] = kDraws * scene->triangleCount;
}

void BM_DirectGLFrame(benchmark::State& state) {
    static DirectScene* scene = [] {
        auto* s = new DirectScene();
        return s->Open() ? s : nullptr;
    }();
    if (scene == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    SDL_GL_MakeCurrent(scene->window, scene->context);
    for (auto _ : state) scene->Frame();
}

void BM_RedundantRenderStateSets(benchmark::State& state) {
    LayerScene* scene = Layer();
    if (scene == nullptr) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) scene->device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_DeviceLayerFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DirectGLFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RedundantRenderStateSets)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
