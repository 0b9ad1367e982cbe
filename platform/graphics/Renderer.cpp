// Draw time: the device's state becomes a program, its constants, GL state,
// textures and a vertex layout, each rebuilt only when a change made it
// stale, and then one GL draw.

#include "platform/graphics/Renderer.h"

#include "platform/graphics/GraphicsDevice.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

using namespace glfn;

namespace {

// Pixel centres sit on integer coordinates; edges through a centre belong
// to the pixel on their right or below (a subpixel step keeps ties away).
constexpr float kEdgeBias = 1.0f / 256.0f;

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
    static const GLenum kModes[] = {GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_BORDER, GL_MIRRORED_REPEAT};
    return mode >= D3DTADDRESS_WRAP && mode <= D3DTADDRESS_MIRRORONCE ? kModes[mode - 1] : GL_REPEAT;
}

// What each render state makes stale when it changes; states not listed
// change nothing that is drawn.
struct RenderStateEffect {
    uint32_t state;
    uint32_t effects;
};
const RenderStateEffect kRenderStateEffects[] = {
    {D3DRS_ZENABLE, DIRTY_DEPTH},
    {D3DRS_ZFUNC, DIRTY_DEPTH},
    {D3DRS_ZWRITEENABLE, DIRTY_DEPTH},
    {D3DRS_FILLMODE, DIRTY_FILL},
    {D3DRS_SHADEMODE, DIRTY_KEY},
    {D3DRS_ALPHATESTENABLE, DIRTY_KEY},
    {D3DRS_ALPHAREF, DIRTY_FRAGMENT},
    {D3DRS_ALPHAFUNC, DIRTY_KEY | DIRTY_FRAGMENT},
    {D3DRS_SRCBLEND, DIRTY_BLEND | DIRTY_KEY},
    {D3DRS_DESTBLEND, DIRTY_BLEND | DIRTY_KEY},
    {D3DRS_BLENDOP, DIRTY_BLEND},
    {D3DRS_ALPHABLENDENABLE, DIRTY_BLEND | DIRTY_KEY},
    {D3DRS_CULLMODE, DIRTY_CULL},
    {D3DRS_DITHERENABLE, DIRTY_DITHER},
    {D3DRS_ZBIAS, DIRTY_BIAS},
    {D3DRS_COLORWRITEENABLE, DIRTY_COLOR_MASK | DIRTY_KEY},
    {D3DRS_STENCILENABLE, DIRTY_STENCIL},
    {D3DRS_STENCILFAIL, DIRTY_STENCIL},
    {D3DRS_STENCILZFAIL, DIRTY_STENCIL},
    {D3DRS_STENCILPASS, DIRTY_STENCIL},
    {D3DRS_STENCILFUNC, DIRTY_STENCIL},
    {D3DRS_STENCILREF, DIRTY_STENCIL},
    {D3DRS_STENCILMASK, DIRTY_STENCIL},
    {D3DRS_STENCILWRITEMASK, DIRTY_STENCIL},
    {D3DRS_LIGHTING, DIRTY_KEY | DIRTY_GLOBAL},
    {D3DRS_SPECULARENABLE, DIRTY_KEY},
    // Fog is a constant of the vertex shaders, except table fog.
    {D3DRS_FOGENABLE, DIRTY_GLOBAL},
    {D3DRS_FOGVERTEXMODE, DIRTY_GLOBAL},
    {D3DRS_FOGTABLEMODE, DIRTY_KEY},
    {D3DRS_FOGSTART, DIRTY_GLOBAL | DIRTY_FRAGMENT},
    {D3DRS_FOGEND, DIRTY_GLOBAL | DIRTY_FRAGMENT},
    {D3DRS_FOGDENSITY, DIRTY_GLOBAL | DIRTY_FRAGMENT},
    {D3DRS_FOGCOLOR, DIRTY_FRAGMENT},
    {D3DRS_TEXTUREFACTOR, DIRTY_FRAGMENT},
    {D3DRS_AMBIENT, DIRTY_GLOBAL},
    {D3DRS_COLORVERTEX, DIRTY_GLOBAL},
    {D3DRS_LOCALVIEWER, DIRTY_GLOBAL},
    {D3DRS_NORMALIZENORMALS, DIRTY_GLOBAL},
    {D3DRS_DIFFUSEMATERIALSOURCE, DIRTY_GLOBAL},
    {D3DRS_SPECULARMATERIALSOURCE, DIRTY_GLOBAL},
    {D3DRS_AMBIENTMATERIALSOURCE, DIRTY_GLOBAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, DIRTY_GLOBAL},
};

struct EffectTable {
    uint32_t effects[D3DRS_COUNT] = {};
    EffectTable() {
        for (const RenderStateEffect& e : kRenderStateEffects) effects[e.state] = e.effects;
    }
};
const EffectTable kEffects;

}  // namespace

uint32_t Renderer_RenderStateEffects(uint32_t state) { return state < D3DRS_COUNT ? kEffects.effects[state] : 0; }

size_t ShaderKeyHash::operator()(const ShaderKey& key) const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < sizeof key; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return static_cast<size_t>(hash);
}

bool ShaderKeyEqual::operator()(const ShaderKey& a, const ShaderKey& b) const {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

GLuint Renderer_CompileProgram(const std::string& vertex, const std::string& fragment, std::string* log) {
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

namespace {

void ApplyDepth(const uint32_t* rs) {
    if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunction(rs[D3DRS_ZFUNC], GL_LEQUAL));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
}

void ApplyStencil(const uint32_t* rs) {
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
}

void ApplyBlend(const uint32_t* rs) {
    if (!rs[D3DRS_ALPHABLENDENABLE]) {
        glDisable(GL_BLEND);
        return;
    }
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
}

// Front faces wind clockwise on the screen. Rows stored top first turn the
// picture upside down for GL, which then sees them counter-clockwise.
void ApplyCull(const uint32_t* rs, bool rowsTopFirst) {
    glFrontFace(rowsTopFirst ? GL_CCW : GL_CW);
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
}

void ApplyFill(const uint32_t* rs) {
    static const GLenum kModes[] = {GL_POINT, GL_LINE, GL_FILL};
    const uint32_t mode = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, mode >= D3DFILL_POINT && mode <= D3DFILL_SOLID ? kModes[mode - 1] : GL_FILL);
}

void ApplyColorMask(const uint32_t* rs) {
    const uint32_t write = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((write & D3DCOLORWRITEENABLE_RED) != 0, (write & D3DCOLORWRITEENABLE_GREEN) != 0,
                (write & D3DCOLORWRITEENABLE_BLUE) != 0, (write & D3DCOLORWRITEENABLE_ALPHA) != 0);
}

void ApplyDither(const uint32_t* rs) {
    if (rs[D3DRS_DITHERENABLE]) glEnable(GL_DITHER);
    else glDisable(GL_DITHER);
}

void ApplyBias(const uint32_t* rs) {
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

void FillTransform(const DeviceState& state, TransformConstants* c) {
    const D3DMATRIX worldView = Matrix_Multiply(state.world, state.view);
    const D3DMATRIX worldViewProj = Matrix_Multiply(worldView, state.projection);
    const D3DMATRIX normal = Matrix_NormalMatrix(worldView);
    // Row-vector matrices upload unchanged: GL reads them as the transposes
    // that multiply column vectors.
    std::memcpy(c->worldViewProj, &worldViewProj, 64);
    std::memcpy(c->worldView, &worldView, 64);
    std::memcpy(c->normalMatrix, &normal, 64);
}

void FillMaterial(const DeviceState& state, MaterialConstants* c) {
    CopyColor(state.material.Diffuse, c->diffuse);
    CopyColor(state.material.Ambient, c->ambient);
    CopyColor(state.material.Specular, c->specular);
    CopyColor(state.material.Emissive, c->emissive);
    c->emissive[3] = state.material.Power;
}

void FillFog(const uint32_t* rs, float fog[4]) {
    const float start = FloatFromBits(rs[D3DRS_FOGSTART]), end = FloatFromBits(rs[D3DRS_FOGEND]);
    fog[0] = start;
    fog[1] = end;
    fog[2] = FloatFromBits(rs[D3DRS_FOGDENSITY]);
    // Equal start and end make the fog a step at that depth.
    fog[3] = end != start ? 1.0f / (end - start) : 1e30f;
}

void FillGlobal(const DeviceState& state, const DeviceRenderer& r, const FvfLayout& layout, GlobalConstants* c) {
    const uint32_t* rs = state.renderStates;
    ColorToFloats(rs[D3DRS_AMBIENT], c->ambient);
    c->ambient[3] = 0.0f;
    FillFog(rs, c->fog);
    // Vertex fog: a mode on view depth, else the vertex's own factor in its
    // specular alpha; table fog (per pixel) takes precedence.
    float fogMode = 0.0f;
    const uint32_t table = rs[D3DRS_FOGTABLEMODE], vertex = rs[D3DRS_FOGVERTEXMODE];
    if (rs[D3DRS_FOGENABLE] && !layout.rhw && !(table >= D3DFOG_EXP && table <= D3DFOG_LINEAR)) {
        if (vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR) fogMode = static_cast<float>(vertex);
        else if (layout.specular >= 0) fogMode = 4.0f;
    }
    c->options[0] = fogMode;
    c->options[1] = 0.0f;
    c->options[2] = rs[D3DRS_LOCALVIEWER] ? 1.0f : 0.0f;
    c->options[3] = rs[D3DRS_NORMALIZENORMALS] ? 1.0f : 0.0f;
    // A vertex colour stands in for a material colour only when the vertex has it.
    auto source = [&](uint32_t value) {
        if (rs[D3DRS_COLORVERTEX] == 0) return 0.0f;
        if (value == D3DMCS_COLOR1 && layout.diffuse >= 0) return 1.0f;
        if (value == D3DMCS_COLOR2 && layout.specular >= 0) return 2.0f;
        return 0.0f;
    };
    c->sources[0] = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
    c->sources[1] = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
    c->sources[2] = source(rs[D3DRS_SPECULARMATERIALSOURCE]);
    c->sources[3] = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
    const D3DVIEWPORT8& vp = state.viewport;
    c->screen[0] = static_cast<float>(vp.X);
    c->screen[1] = static_cast<float>(vp.Y);
    c->screen[2] = 2.0f / static_cast<float>(vp.Width);
    c->screen[3] = 2.0f / static_cast<float>(vp.Height);
    c->pixel[0] = (1.0f - 2.0f * kEdgeBias) / static_cast<float>(vp.Width);
    c->pixel[1] = (1.0f - 2.0f * kEdgeBias) / static_cast<float>(vp.Height);
    c->pixel[2] = r.rowsTopFirst ? 1.0f : -1.0f;
    c->pixel[3] = 0.0f;
    c->depth[0] = vp.MinZ;
    c->depth[1] = vp.MaxZ != vp.MinZ ? 1.0f / (vp.MaxZ - vp.MinZ) : 0.0f;
    c->depth[2] = c->depth[3] = 0.0f;
}

// The counts of enabled directional, point and spot lights, then the
// lights grouped by type, in index order within a type: point lights first,
// in the fixed places and after them (places left over hold a light that
// reaches nothing), then directional, then spot; in view space:
// lights are given in world space and lit in view space. A light is turned
// into view space again only when it or the view changed. False when the
// block came out as it was (a light set switched off and on again between
// two draws): the programs keep what they were sent.
bool FillLights(const DeviceState& state, DeviceRenderer& r) {
    const uint32_t capacity = r.lightClassSizes[kLightClassCount - 1];
    const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(state.lights.enabled.size()), capacity);
    const D3DMATRIX& v = state.view;
    const LightSlot* slots[3][64];
    std::vector<const LightSlot*> spill[3];
    uint32_t perType[3] = {};
    for (uint32_t i = 0; i < count; ++i) {
        const LightSlot* slot = state.lights.Find(state.lights.enabled[i]);
        const uint32_t t = slot->light.Type == D3DLIGHT_DIRECTIONAL ? 0 : slot->light.Type == D3DLIGHT_POINT ? 1 : 2;
        if (perType[t] < 64) slots[t][perType[t]] = slot;
        else spill[t].push_back(slot);
        ++perType[t];
    }
    std::array<float, 4> header = {static_cast<float>(perType[0]), static_cast<float>(perType[1]),
                                   static_cast<float>(perType[2]), static_cast<float>(count)};
    const uint32_t fixedUsed = std::min(perType[1], kFixedPointLights);
    const size_t vectors = 1 + static_cast<size_t>(count + kFixedPointLights - fixedUsed) * kLightVectors;
    bool changed = r.lightCount != count || r.lights.size() != vectors || r.lights[0] != header;
    r.lights.resize(vectors);
    r.lights[0] = header;
    r.lightCount = count;
    auto place = [&](uint32_t at, const LightConstants& c) {
        void* target = &r.lights[1 + at * kLightVectors];
        if (!changed && std::memcmp(target, c.v, sizeof c.v) == 0) return;
        std::memcpy(target, c.v, sizeof c.v);
        changed = true;
    };
    // Beyond its range (negative) from everywhere: no light and no division by zero.
    static const LightConstants kNowhere = {{{0, 0, 0, 0}, {0, 0, 0, -1}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}};
    for (uint32_t at = fixedUsed; at < kFixedPointLights; ++at) place(at, kNowhere);
    uint32_t at = 0;
    for (const uint32_t t : {1u, 0u, 2u})
        for (uint32_t k = 0; k < perType[t]; ++k, ++at) {
            if (t != 1) at = std::max(at, kFixedPointLights);
            const LightSlot& slot = k < 64 ? *slots[t][k] : *spill[t][k - 64];
            LightConstants& out = slot.view;
            if (slot.viewVersion != r.viewVersion) {
                const D3DLIGHT8& l = slot.light;
                CopyColor(l.Diffuse, out.v[0]);
                out.v[0][3] = static_cast<float>(l.Type);
                const float px = l.Position.x, py = l.Position.y, pz = l.Position.z;
                out.v[1][0] = px * v.m[0][0] + py * v.m[1][0] + pz * v.m[2][0] + v.m[3][0];
                out.v[1][1] = px * v.m[0][1] + py * v.m[1][1] + pz * v.m[2][1] + v.m[3][1];
                out.v[1][2] = px * v.m[0][2] + py * v.m[1][2] + pz * v.m[2][2] + v.m[3][2];
                out.v[1][3] = l.Range;
                const float dx = l.Direction.x, dy = l.Direction.y, dz = l.Direction.z;
                float d[3] = {dx * v.m[0][0] + dy * v.m[1][0] + dz * v.m[2][0], dx * v.m[0][1] + dy * v.m[1][1] + dz * v.m[2][1],
                              dx * v.m[0][2] + dy * v.m[1][2] + dz * v.m[2][2]};
                const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                for (int c = 0; c < 3; ++c) out.v[2][c] = length > 0.0f ? d[c] / length : 0.0f;
                out.v[2][3] = l.Falloff;
                out.v[3][0] = l.Attenuation0;
                out.v[3][1] = l.Attenuation1;
                out.v[3][2] = l.Attenuation2;
                out.v[3][3] = std::cos(l.Phi * 0.5f);
                CopyColor(l.Ambient, out.v[4]);
                out.v[4][3] = std::cos(l.Theta * 0.5f);
                CopyColor(l.Specular, out.v[5]);
                out.v[5][3] = 0.0f;
                slot.viewVersion = r.viewVersion;
            }
            place(at, out);
        }
    return changed;
}

void FillFragment(const DeviceState& state, FragmentConstants* f) {
    const uint32_t* rs = state.renderStates;
    ColorToFloats(rs[D3DRS_FOGCOLOR], f->fogColor);
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], f->textureFactor);
    FillFog(rs, f->fog);
    f->alphaTest[0] = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    f->alphaTest[1] = static_cast<float>(rs[D3DRS_ALPHAFUNC]);
    f->alphaTest[2] = f->alphaTest[3] = 0.0f;
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

}  // namespace

namespace {

DeviceRenderer::Program* FindProgram(DeviceRenderer& r, const ShaderKey& key) {
    auto found = r.programs.find(key);
    if (found != r.programs.end()) return &found->second;
    const auto start = std::chrono::steady_clock::now();
    const uint32_t capacity = r.lightClassSizes[key.lightClass];
    std::string log;
    DeviceRenderer::Program program;
    program.id = Renderer_CompileProgram(Shader_VertexSource(key, capacity), Shader_FragmentSource(key), &log);
    if (program.id == 0) {
        SDL_Log("device shader: %s", log.c_str());
        return nullptr;
    }
    glUseProgram(program.id);
    r.currentProgram = program.id;
    for (uint32_t g = 0; g < GROUP_COUNT; ++g) {
        const char* name = kConstantGroupNames[g];
        program.location[g] = glGetUniformLocation(program.id, name);
        if (program.location[g] < 0) continue;
        GLuint index = GL_INVALID_INDEX;
        glGetUniformIndices(program.id, 1, &name, &index);
        GLint size = 0;
        glGetActiveUniformsiv(program.id, 1, &index, GL_UNIFORM_SIZE, &size);
        program.vectors[g] = size;
    }
    const GLuint lightBlock = glGetUniformBlockIndex(program.id, "LightBlock");
    if (lightBlock != GL_INVALID_INDEX) glUniformBlockBinding(program.id, lightBlock, kLightBlockBinding);
    program.usesLights = lightBlock != GL_INVALID_INDEX;
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
        const std::string name = "sampler" + std::to_string(s);
        const GLint location = glGetUniformLocation(program.id, name.c_str());
        if (location >= 0) glUniform1i(location, static_cast<GLint>(s));
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.totalBuildMs += ms;
    r.worstBuildMs = std::max(r.worstBuildMs, ms);
    if (!r.preparing) ++r.programsBuiltInDraws;
    return &r.programs.emplace(key, program).first->second;
}

}  // namespace

HRESULT PlatformDevice::Draw(DrawSource source, uint32_t mode, uint32_t vertices, uint32_t first, uint32_t baseVertex,
                             uint32_t indexFormat) {
    DeviceRenderer& r = *m_Renderer;
    DeviceState& state = *m_State;
    const FvfLayout layout = Fvf_Decode(state.fvf);
    if (!layout.valid) return D3DERR_INVALIDCALL;
    const uint32_t* rs = state.renderStates;

    // Vertices come from the stream, the streaming buffer (user memory) or
    // the buffer of zeros that preparing draws.
    GLuint vertexBuffer = 0;
    uint32_t stride = 0;
    if (source == DRAW_STREAM || source == DRAW_STREAM_INDEXED) {
        PlatformVertexBuffer* stream = state.stream;
        stride = state.streamStride;
        if (stream == nullptr || stride < layout.stride) return D3DERR_INVALIDCALL;
        const uint64_t available = stream->bytes.size() / stride;
        uint64_t lastVertex = static_cast<uint64_t>(first) + vertices;
        if (source == DRAW_STREAM_INDEXED) {
            PlatformIndexBuffer* ib = state.indices;
            if (ib == nullptr) return D3DERR_INVALIDCALL;
            const uint32_t size = ib->format == D3DFMT_INDEX32 ? 4 : 2;
            if ((static_cast<uint64_t>(first) + vertices) * size > ib->bytes.size()) return D3DERR_INVALIDCALL;
            // Every index must name a vertex of the stream.
            lastVertex = static_cast<uint64_t>(ib->HighestIndex(first, vertices)) + state.baseVertexIndex + 1;
            ib->EnsureStored();
            if (r.boundIndices != ib->glBuffer) {
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->glBuffer);
                r.boundIndices = ib->glBuffer;
            }
        }
        if (lastVertex > available) return D3DERR_INVALIDCALL;
        stream->EnsureStored();
        vertexBuffer = stream->glBuffer;
    } else if (source == DRAW_PREPARE) {
        vertexBuffer = r.prepareVertices;
        stride = layout.stride;
    } else {
        vertexBuffer = r.streamVertices;
        stride = r.userStride;
    }

    if (r.dirty & DIRTY_KEY) {
        const uint32_t lightClass = Shader_LightClass(static_cast<uint32_t>(state.lights.enabled.size()), r.lightClassSizes);
        DeviceRenderer::Program* program = FindProgram(r, Shader_MakeKey(state, layout, lightClass, r.backHasAlpha));
        if (program == nullptr) return D3DERR_DRIVERINTERNALERROR;
        r.current = program;
        if (program->id != r.currentProgram) {
            glUseProgram(program->id);
            r.currentProgram = program->id;
        }
        r.dirty &= ~DIRTY_KEY;
    }
    if (r.dirty & DIRTY_ALL_CONSTANTS) {
        if ((r.dirty & DIRTY_LIGHTS) && !FillLights(state, r)) r.dirty &= ~DIRTY_LIGHTS;
        if (r.dirty & DIRTY_TRANSFORM) FillTransform(state, &r.transform);
        if (r.dirty & DIRTY_MATERIAL) FillMaterial(state, &r.material);
        if (r.dirty & DIRTY_GLOBAL) FillGlobal(state, r, layout, &r.global);
        if (r.dirty & DIRTY_TEXTURE_MATRICES)
            for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
                std::memcpy(r.texture.matrices[s], &state.textureTransforms[s], 64);
        if (r.dirty & DIRTY_FRAGMENT) FillFragment(state, &r.fragment);
        for (uint32_t g = 0; g < GROUP_COUNT; ++g)
            if (r.dirty & (DIRTY_CONSTANTS << g)) ++r.version[g];
        r.dirty &= ~DIRTY_ALL_CONSTANTS;
    }
    // The program receives each group that changed since its last draw, as
    // far as its shaders hold it.
    DeviceRenderer::Program& program = *r.current;
    const float* groupData[GROUP_COUNT] = {r.transform.worldViewProj, r.material.diffuse, r.global.ambient,
                                           r.texture.matrices[0],     r.lights[0].data(), r.fragment.fogColor};
    const GLsizei groupVectors[GROUP_COUNT] = {sizeof(TransformConstants) / 16, sizeof(MaterialConstants) / 16,
                                               sizeof(GlobalConstants) / 16,    sizeof(TextureConstants) / 16,
                                               static_cast<GLsizei>(r.lights.size()), sizeof(FragmentConstants) / 16};
    if (r.lightBufferVersion != r.version[GROUP_LIGHTS] && r.current->usesLights) {
        glBindBuffer(GL_UNIFORM_BUFFER, r.lightBuffer);
        glBufferSubData(GL_UNIFORM_BUFFER, 0, static_cast<GLsizeiptr>(r.lights.size() * sizeof r.lights[0]), r.lights.data());
        r.lightBufferVersion = r.version[GROUP_LIGHTS];
    }
    for (uint32_t g = 0; g < GROUP_COUNT; ++g) {
        if (program.version[g] == r.version[g]) continue;
        program.version[g] = r.version[g];
        const GLsizei count = std::min(program.vectors[g], groupVectors[g]);
        if (program.location[g] >= 0 && count > 0) glUniform4fv(program.location[g], count, groupData[g]);
    }
    if (r.dirty & DIRTY_GL_STATE) {
        if (r.dirty & DIRTY_DEPTH) ApplyDepth(rs);
        if (r.dirty & DIRTY_STENCIL) ApplyStencil(rs);
        if (r.dirty & DIRTY_BLEND) ApplyBlend(rs);
        if (r.dirty & DIRTY_CULL) ApplyCull(rs, r.rowsTopFirst);
        if (r.dirty & DIRTY_FILL) ApplyFill(rs);
        if (r.dirty & DIRTY_COLOR_MASK) ApplyColorMask(rs);
        if (r.dirty & DIRTY_DITHER) ApplyDither(rs);
        if (r.dirty & DIRTY_BIAS) ApplyBias(rs);
        r.dirty &= ~DIRTY_GL_STATE;
    }
    if (r.dirty & DIRTY_VIEWPORT) {
        const D3DVIEWPORT8& vp = state.viewport;
        const GLint y = r.rowsTopFirst ? static_cast<GLint>(vp.Y) : static_cast<GLint>(r.height - vp.Y - vp.Height);
        glViewport(static_cast<GLint>(vp.X), y, static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
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

    if (!r.layoutValid || r.layoutBuffer != vertexBuffer || r.layoutFvf != state.fvf || r.layoutStride != stride) {
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        auto attribute = [&](uint32_t slot, int offset, GLint size, GLenum type, GLboolean normalized) {
            if (offset < 0) {
                glDisableVertexAttribArray(slot);
                return;
            }
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, size, type, normalized, static_cast<GLsizei>(stride),
                                  reinterpret_cast<const void*>(static_cast<size_t>(offset)));
        };
        attribute(ATTR_POSITION, 0, layout.rhw ? 4 : 3, GL_FLOAT, GL_FALSE);
        attribute(ATTR_NORMAL, layout.normal, 3, GL_FLOAT, GL_FALSE);
        // Colours are stored as ARGB words: bytes blue, green, red, alpha.
        attribute(ATTR_DIFFUSE, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
        attribute(ATTR_SPECULAR, layout.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
        for (uint32_t set = 0; set < 8; ++set)
            attribute(ATTR_TEXCOORD0 + set, layout.texOffset[set], static_cast<GLint>(layout.texSize[set]), GL_FLOAT, GL_FALSE);
        r.layoutBuffer = vertexBuffer;
        r.layoutFvf = state.fvf;
        r.layoutStride = stride;
        r.layoutValid = true;
    }
    r.presented = false;
    // A draw that tests the stencil may write it.
    if (rs[D3DRS_STENCILENABLE] && source != DRAW_PREPARE) r.stencilKnown = false;
    if (source == DRAW_STREAM_INDEXED || source == DRAW_USER_INDEXED) {
        const bool wide = indexFormat == D3DFMT_INDEX32;
        glDrawElementsBaseVertex(static_cast<GLenum>(mode), static_cast<GLsizei>(vertices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(static_cast<size_t>(first) * (wide ? 4 : 2)),
                                 static_cast<GLint>(baseVertex));
    } else {
        glDrawArrays(static_cast<GLenum>(mode), static_cast<GLint>(first), static_cast<GLsizei>(vertices));
    }
    return D3D_OK;
}

HRESULT PlatformDevice::DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) {
    GLenum mode;
    uint32_t vertices;
    if (!PrimitiveVertices(type, primitiveCount, &mode, &vertices)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    return Draw(DRAW_STREAM, mode, vertices, startVertex, 0, 0);
}

HRESULT PlatformDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount,
                                             uint32_t startIndex, uint32_t primitiveCount) {
    GLenum mode;
    uint32_t vertices;
    if (!PrimitiveVertices(type, primitiveCount, &mode, &vertices)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const uint32_t format = m_State->indices ? m_State->indices->format : D3DFMT_INDEX16;
    return Draw(DRAW_STREAM_INDEXED, mode, vertices, startIndex, m_State->baseVertexIndex, format);
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
    r.userStride = stride;
    return Draw(DRAW_USER, mode, count, 0, 0, 0);
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
    // The caller's vertices end at minIndex + vertexCount; an index past them
    // would read beyond its memory.
    const uint64_t vertexEnd = static_cast<uint64_t>(minIndex) + vertexCount;
    uint32_t highest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        std::memcpy(&v, static_cast<const uint8_t*>(indices) + static_cast<size_t>(i) * indexSize, indexSize);
        if (v < minIndex || v >= vertexEnd) return D3DERR_INVALIDCALL;
        highest = std::max(highest, v);
    }
    DeviceRenderer& r = *m_Renderer;
    glBindBuffer(GL_ARRAY_BUFFER, r.streamVertices);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(highest + 1) * stride, vertices, GL_STREAM_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.streamIndices);
    r.boundIndices = r.streamIndices;
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * indexSize, indices, GL_STREAM_DRAW);
    r.userStride = stride;
    return Draw(DRAW_USER_INDEXED, mode, count, 0, 0, indexFormat);
}

HRESULT PlatformDevice::PrepareDraw() {
    DeviceRenderer& r = *m_Renderer;
    if (!Fvf_Decode(m_State->fvf).valid) return D3DERR_INVALIDCALL;
    // One triangle whose corners coincide: every stage of the pipeline is
    // set up for the state, and nothing is drawn.
    r.preparing = true;
    const HRESULT result = Draw(DRAW_PREPARE, GL_TRIANGLES, 3, 0, 0, 0);
    r.preparing = false;
    return result;
}

DeviceStatistics PlatformDevice::GetStatistics() const {
    const DeviceRenderer& r = *m_Renderer;
    return DeviceStatistics{static_cast<uint32_t>(r.programs.size()), r.programsBuiltInDraws, r.worstBuildMs,
                            r.totalBuildMs};
}
