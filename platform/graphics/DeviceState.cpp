#include "platform/graphics/DeviceState.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

D3DMATRIX Matrix_Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

D3DMATRIX Matrix_Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

D3DMATRIX Matrix_NormalMatrix(const D3DMATRIX& m) {
    // Cofactors of the 3x3 part divided by the determinant give the inverse
    // transpose directly.
    const float(*a)[4] = m.m;
    float c[3][3];
    c[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    c[0][1] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    c[0][2] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    c[1][0] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    c[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    c[1][2] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    c[2][0] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    c[2][1] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    c[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    const float det = a[0][0] * c[0][0] + a[0][1] * c[0][1] + a[0][2] * c[0][2];
    D3DMATRIX r = Matrix_Identity();
    const float inv = std::fabs(det) > 1e-20f ? 1.0f / det : 0.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = c[i][j] * inv;
    return r;
}

const LightSlot* LightTable::Find(uint32_t index) const {
    auto found = slots.find(index);
    return found != slots.end() ? &found->second : nullptr;
}

bool LightTable::Enable(uint32_t index, bool on) {
    auto found = slots.find(index);
    if (found == slots.end()) {
        if (!on) return false;
        LightSlot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
        slot.light.Direction = D3DVECTOR{0, 0, 1};
        found = slots.emplace(index, slot).first;
    }
    if (found->second.enabled == on) return false;
    found->second.enabled = on;
    auto at = std::lower_bound(enabled.begin(), enabled.end(), index);
    if (on) enabled.insert(at, index);
    else enabled.erase(at);
    return true;
}

void LightTable::Set(uint32_t index, const D3DLIGHT8& light) { slots[index].light = light; }

void LightTable::Clear() {
    slots.clear();
    enabled.clear();
}

void DeviceState::SetDefaults(bool autoDepthStencil, uint32_t width, uint32_t height) {
    std::memset(renderStates, 0, sizeof renderStates);
    uint32_t* rs = renderStates;
    rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_LASTPIXEL] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = 1;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_COLORVERTEX] = 1;
    rs[D3DRS_LOCALVIEWER] = 1;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_SOFTWAREVERTEXPROCESSING] = 1;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(0.0f);
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_PATCHSEGMENTS] = FloatBits(1.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONORDER] = 3;  // cubic
    rs[D3DRS_NORMALORDER] = 1;    // linear

    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
        uint32_t* ts = stageStates[s];
        std::memset(ts, 0, sizeof stageStates[s]);
        // Stage 0 modulates its texture with the vertex colour and takes the
        // texture's alpha; the stages above are off.
        ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = s;
        ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        textures[s] = nullptr;
        textureTransforms[s] = Matrix_Identity();
    }
    world = view = projection = Matrix_Identity();
    std::memset(&material, 0, sizeof material);
    lights.Clear();
    viewport = D3DVIEWPORT8{0, 0, width, height, 0.0f, 1.0f};
    fvf = 0;
    stream = nullptr;
    streamStride = 0;
    indices = nullptr;
    baseVertexIndex = 0;
}

FvfLayout Fvf_Decode(uint32_t fvf) {
    FvfLayout layout;
    uint32_t offset = 0;
    const uint32_t position = fvf & D3DFVF_POSITION_MASK;
    if (position == 0 || (fvf & D3DFVF_RESERVED2)) return layout;
    if (position == D3DFVF_XYZRHW) {
        layout.rhw = true;
        offset = 16;
    } else {
        offset = 12;
        if (position >= D3DFVF_XYZB1) layout.blendWeights = (position - D3DFVF_XYZRHW) / 2;
        offset += layout.blendWeights * 4;
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        layout.pointSize = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = static_cast<int>(offset);
        offset += 4;
    }
    layout.texSets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (layout.texSets > 8) return layout;
    static const uint32_t kSetSizes[4] = {2, 3, 4, 1};
    for (uint32_t set = 0; set < layout.texSets; ++set) {
        layout.texOffset[set] = static_cast<int>(offset);
        layout.texSize[set] = kSetSizes[(fvf >> (set * 2 + 16)) & 3];
        offset += layout.texSize[set] * 4;
    }
    layout.stride = offset;
    layout.valid = true;
    return layout;
}

ShaderKey Shader_MakeKey(const DeviceState& state, const FvfLayout& layout, const uint32_t* activeLights,
                         uint32_t activeLightCount) {
    ShaderKey key;
    std::memset(&key, 0, sizeof key);
    const uint32_t* rs = state.renderStates;
    key.rhw = layout.rhw;
    key.hasNormal = layout.normal >= 0;
    key.hasDiffuse = layout.diffuse >= 0;
    key.hasSpecular = layout.specular >= 0;
    key.texSets = static_cast<uint8_t>(layout.texSets);
    for (uint32_t i = 0; i < layout.texSets; ++i) key.texSize[i] = static_cast<uint8_t>(layout.texSize[i]);

    // Pre-transformed vertices are neither lit nor fogged.
    key.lighting = !layout.rhw && rs[D3DRS_LIGHTING] != 0;
    key.specularEnable = rs[D3DRS_SPECULARENABLE] != 0;
    if (key.lighting) {
        key.lightCount = static_cast<uint8_t>(activeLightCount);
        for (uint32_t i = 0; i < activeLightCount; ++i) {
            const uint32_t type = state.lights.Find(activeLights[i])->light.Type;
            key.lightTypes[i] = static_cast<uint8_t>(type >= D3DLIGHT_POINT && type <= D3DLIGHT_DIRECTIONAL ? type : 0);
        }
        key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
        key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
        // A vertex colour stands in for a material colour only when the vertex has it.
        auto source = [&](uint32_t value) -> uint8_t {
            if (rs[D3DRS_COLORVERTEX] == 0) return D3DMCS_MATERIAL;
            if (value == D3DMCS_COLOR1 && layout.diffuse >= 0) return D3DMCS_COLOR1;
            if (value == D3DMCS_COLOR2 && layout.specular >= 0) return D3DMCS_COLOR2;
            return D3DMCS_MATERIAL;
        };
        key.diffuseSource = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
        key.ambientSource = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
        key.specularSource = source(rs[D3DRS_SPECULARMATERIALSOURCE]);
        key.emissiveSource = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
    }
    if (rs[D3DRS_FOGENABLE] && !layout.rhw) {
        const uint32_t table = rs[D3DRS_FOGTABLEMODE];
        const uint32_t vertex = rs[D3DRS_FOGVERTEXMODE];
        if (table >= D3DFOG_EXP && table <= D3DFOG_LINEAR) {
            key.pixelFog = static_cast<uint8_t>(table);
        } else if (vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR) {
            key.vertexFog = static_cast<uint8_t>(vertex);
        } else if (layout.specular >= 0) {
            // Without a fog mode the vertex brings its own fog factor in the specular alpha.
            key.fogFromSpecular = 1;
        }
    }
    key.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        key.alphaFunc = static_cast<uint8_t>(rs[D3DRS_ALPHAFUNC]);

    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
        const uint32_t* ts = state.stageStates[s];
        const uint32_t colorOp = ts[D3DTSS_COLOROP];
        // An unknown operation ends the cascade as a disabled stage does.
        if (colorOp <= D3DTOP_DISABLE || colorOp > D3DTOP_LERP) break;
        ShaderStageKey& stage = key.stages[s];
        stage.colorOp = static_cast<uint8_t>(colorOp);
        stage.colorArg0 = static_cast<uint8_t>(ts[D3DTSS_COLORARG0] & 0x3F);
        stage.colorArg1 = static_cast<uint8_t>(ts[D3DTSS_COLORARG1] & 0x3F);
        stage.colorArg2 = static_cast<uint8_t>(ts[D3DTSS_COLORARG2] & 0x3F);
        const uint32_t alphaOp = ts[D3DTSS_ALPHAOP];
        stage.alphaOp = static_cast<uint8_t>(alphaOp > D3DTOP_DISABLE && alphaOp <= D3DTOP_LERP ? alphaOp : D3DTOP_DISABLE);
        stage.alphaArg0 = static_cast<uint8_t>(ts[D3DTSS_ALPHAARG0] & 0x3F);
        stage.alphaArg1 = static_cast<uint8_t>(ts[D3DTSS_ALPHAARG1] & 0x3F);
        stage.alphaArg2 = static_cast<uint8_t>(ts[D3DTSS_ALPHAARG2] & 0x3F);
        stage.resultTemp = (ts[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
        stage.textured = state.textures[s] != nullptr;
        const uint32_t index = ts[D3DTSS_TEXCOORDINDEX];
        stage.coordGen = static_cast<uint8_t>((index >> 16) <= 3 ? index >> 16 : 0);
        stage.coordSet = static_cast<uint8_t>((index & 0xFFFF) < layout.texSets ? index & 0xFFFF : 8);
        const uint32_t flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
        if ((flags & 0xFF) >= D3DTTFF_COUNT1 && (flags & 0xFF) <= D3DTTFF_COUNT4 && !layout.rhw) {
            stage.transformCount = static_cast<uint8_t>(flags & 0xFF);
            stage.projected = (flags & D3DTTFF_PROJECTED) != 0;
        }
        key.stageCount = static_cast<uint8_t>(s + 1);
    }
    return key;
}

namespace {

// The constants reach each stage as one vec4 array uploaded at once; the
// names below point into it, following the layout of the constants records.
std::string ConstantsDeclaration(bool vertexStage) {
    auto at = [](size_t offset) { return static_cast<uint32_t>(offset / 16); };
    const std::string array = vertexStage ? "vsc" : "fsc";
    auto vec = [&](uint32_t index) { return array + "[" + std::to_string(index) + "]"; };
    auto mat = [&](uint32_t index) {
        return "mat4(" + vec(index) + ", " + vec(index + 1) + ", " + vec(index + 2) + ", " + vec(index + 3) + ")";
    };
    std::string s;
    if (vertexStage) {
        s += "struct Light { vec4 diffuse; vec4 specular; vec4 ambient; vec4 position; vec4 direction; "
             "vec4 attenuation; vec4 spot; };\n";
        s += "uniform vec4 vsc[" + std::to_string(kVertexConstantVectors) + "];\n";
        s += "#define worldViewProj " + mat(at(offsetof(VertexConstants, worldViewProj))) + "\n";
        s += "#define worldView " + mat(at(offsetof(VertexConstants, worldView))) + "\n";
        s += "#define normalMatrix " + mat(at(offsetof(VertexConstants, normalMatrix))) + "\n";
        for (uint32_t i = 0; i < D3D_MAX_TEXTURE_STAGES; ++i)
            s += "#define textureMatrix" + std::to_string(i) + " " +
                 mat(at(offsetof(VertexConstants, textureMatrix)) + i * 4) + "\n";
        const std::pair<const char*, size_t> vectors[] = {
            {"materialDiffuse", offsetof(VertexConstants, materialDiffuse)},
            {"materialAmbient", offsetof(VertexConstants, materialAmbient)},
            {"materialSpecular", offsetof(VertexConstants, materialSpecular)},
            {"materialEmissive", offsetof(VertexConstants, materialEmissive)},
            {"globalAmbient", offsetof(VertexConstants, globalAmbient)},
            {"fog", offsetof(VertexConstants, fog)},
            {"misc", offsetof(VertexConstants, misc)},
            {"screen", offsetof(VertexConstants, screen)},
            {"pixelOffset", offsetof(VertexConstants, pixelOffset)}};
        for (const auto& [name, offset] : vectors) s += std::string("#define ") + name + " " + vec(at(offset)) + "\n";
    } else {
        s += "uniform vec4 fsc[" + std::to_string(kFragmentConstantVectors) + "];\n";
        const std::pair<const char*, size_t> vectors[] = {{"fog", offsetof(FragmentConstants, fog)},
                                                          {"fogColor", offsetof(FragmentConstants, fogColor)},
                                                          {"textureFactor", offsetof(FragmentConstants, textureFactor)},
                                                          {"misc", offsetof(FragmentConstants, misc)}};
        for (const auto& [name, offset] : vectors) s += std::string("#define ") + name + " " + vec(at(offset)) + "\n";
    }
    return s;
}

// The light record of active light i, built from its seven vectors.
std::string LightDeclaration(uint32_t i) {
    const uint32_t base = static_cast<uint32_t>((offsetof(VertexConstants, lights) + i * sizeof(ShaderLight)) / 16);
    std::string s = "    Light light" + std::to_string(i) + " = Light(";
    for (uint32_t k = 0; k < 7; ++k) s += (k ? ", vsc[" : "vsc[") + std::to_string(base + k) + "]";
    return s + ");\n";
}

std::string Str(uint32_t value) { return std::to_string(value); }

std::string MaterialSource(uint8_t source, const char* material) {
    if (source == D3DMCS_COLOR1) return "inDiffuse";
    if (source == D3DMCS_COLOR2) return "inSpecular";
    return material;
}

std::string FogFactor(uint8_t mode, const std::string& z) {
    if (mode == D3DFOG_LINEAR) return "(fog.y - " + z + ") * fog.w";
    if (mode == D3DFOG_EXP) return "exp(-fog.z * " + z + ")";
    return "exp(-(fog.z * " + z + ") * (fog.z * " + z + "))";
}

// Varyings cost setup work per triangle: each is passed only when read.
bool UsesSpecular(const ShaderKey& key) {
    if (key.specularEnable) return true;
    auto reads = [](uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_SPECULAR; };
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        const ShaderStageKey& st = key.stages[i];
        if (reads(st.colorArg0) || reads(st.colorArg1) || reads(st.colorArg2) || reads(st.alphaArg0) ||
            reads(st.alphaArg1) || reads(st.alphaArg2))
            return true;
    }
    return false;
}
bool UsesVertexFog(const ShaderKey& key) { return key.vertexFog || key.fogFromSpecular; }
const char* TexType(const ShaderStageKey& st) { return st.projected ? "vec4" : "vec2"; }

}  // namespace

std::string Shader_VertexSource(const ShaderKey& key) {
    std::string s = "#version 330 core\n";
    s += ConstantsDeclaration(true);
    const char* interp = key.flat ? "flat " : "";
    s += "in vec4 inPosition;\nin vec3 inNormal;\nin vec4 inDiffuse;\nin vec4 inSpecular;\n";
    for (uint32_t i = 0; i < key.texSets; ++i) s += "in vec4 inTex" + Str(i) + ";\n";
    const bool specularOut = UsesSpecular(key);
    s += std::string(interp) + "out vec4 vDiffuse;\n";
    if (specularOut) s += std::string(interp) + "out vec4 vSpecular;\n";
    if (UsesVertexFog(key)) s += "out float vFog;\n";
    if (key.pixelFog) s += "out float vViewZ;\n";
    for (uint32_t i = 0; i < key.stageCount; ++i)
        if (key.stages[i].textured) s += std::string("out ") + TexType(key.stages[i]) + " vTex" + Str(i) + ";\n";
    s += "void main() {\n";
    if (key.rhw) {
        // Screen pixels, y down, pixel centres on integers; rhw is 1 / w.
        s += "  float w = (inPosition.w > 0.0 && !isinf(inPosition.w)) ? 1.0 / inPosition.w : 1.0;\n"
             "  vec2 ndc = (inPosition.xy - screen.xy) * screen.zw - 1.0 + pixelOffset.xy;\n"
             "  gl_Position = vec4(ndc, inPosition.z * 2.0 - 1.0, 1.0) * w;\n"
             "  vec3 viewPos = vec3(0.0);\n  vec3 normal = vec3(0.0);\n";
    } else {
        // Left-handed clip space with depth 0..w and y up becomes GL's clip
        // space with depth -w..w, rows stored top first.
        s += "  vec4 clip = worldViewProj * vec4(inPosition.xyz, 1.0);\n"
             "  gl_Position = vec4(clip.x + clip.w * pixelOffset.x, -clip.y + clip.w * pixelOffset.y, "
             "2.0 * clip.z - clip.w, clip.w);\n"
             "  vec3 viewPos = (worldView * vec4(inPosition.xyz, 1.0)).xyz;\n";
        if (key.hasNormal) {
            s += "  vec3 normal = mat3(normalMatrix) * inNormal;\n";
            if (key.normalizeNormals) s += "  normal = normalize(normal);\n";
        } else {
            s += "  vec3 normal = vec3(0.0);\n";
        }
    }
    if (key.pixelFog) s += "  vViewZ = viewPos.z;\n";
    if (key.lighting) {
        s += "  vec3 ambientSum = vec3(0.0), diffuseSum = vec3(0.0), specularSum = vec3(0.0);\n";
        if (key.specularEnable)
            s += key.localViewer ? "  vec3 toEye = normalize(-viewPos);\n" : "  vec3 toEye = vec3(0.0, 0.0, -1.0);\n";
        for (uint32_t i = 0; i < key.lightCount; ++i) {
            const std::string L = "light" + Str(i);
            const uint8_t type = key.lightTypes[i];
            if (type == 0) continue;
            s += "  {\n" + LightDeclaration(i);
            if (type == D3DLIGHT_DIRECTIONAL) {
                s += "    vec3 L = -" + L + ".direction.xyz;\n    float att = 1.0;\n";
            } else {
                // Beyond its range a light gives nothing.
                s += "    vec3 toLight = " + L + ".position.xyz - viewPos;\n"
                     "    float d = length(toLight);\n"
                     "    vec3 L = d > 0.0 ? toLight / d : vec3(0.0);\n"
                     "    float att = d > " + L + ".position.w ? 0.0 : 1.0 / (" + L + ".attenuation.x + " + L +
                     ".attenuation.y * d + " + L + ".attenuation.z * d * d);\n";
                if (type == D3DLIGHT_SPOT) {
                    s += "    float rho = dot(-" + L + ".direction.xyz, L);\n"
                         "    float cosTheta = " + L + ".attenuation.w, cosPhi = " + L + ".spot.x;\n"
                         "    if (rho <= cosPhi) att = 0.0;\n"
                         "    else if (rho <= cosTheta) att *= pow(clamp((rho - cosPhi) / (cosTheta - cosPhi), 0.0, 1.0), " +
                         L + ".direction.w);\n";
                }
            }
            s += "    float nDotL = max(dot(normal, L), 0.0);\n"
                 "    ambientSum += " + L + ".ambient.rgb * att;\n"
                 "    diffuseSum += " + L + ".diffuse.rgb * nDotL * att;\n";
            if (key.specularEnable) {
                s += "    vec3 H = normalize(L + toEye);\n"
                     "    float nDotH = dot(normal, H);\n"
                     "    if (nDotL > 0.0 && nDotH > 0.0) specularSum += " + L +
                     ".specular.rgb * pow(nDotH, misc.x) * att;\n";
            }
            s += "  }\n";
        }
        const std::string diffuse = MaterialSource(key.diffuseSource, "materialDiffuse");
        const std::string ambient = MaterialSource(key.ambientSource, "materialAmbient");
        const std::string specular = MaterialSource(key.specularSource, "materialSpecular");
        const std::string emissive = MaterialSource(key.emissiveSource, "materialEmissive");
        s += "  vDiffuse = clamp(vec4(" + emissive + ".rgb + " + ambient + ".rgb * (globalAmbient.rgb + ambientSum) + " +
             diffuse + ".rgb * diffuseSum, " + diffuse + ".a), 0.0, 1.0);\n";
        if (specularOut) s += "  vSpecular = clamp(vec4(" + specular + ".rgb * specularSum, " + (key.hasSpecular ? "inSpecular.a" : "0.0") +
             "), 0.0, 1.0);\n";
    } else {
        s += key.hasDiffuse ? "  vDiffuse = inDiffuse;\n" : "  vDiffuse = vec4(1.0);\n";
        if (specularOut) s += key.hasSpecular ? "  vSpecular = inSpecular;\n" : "  vSpecular = vec4(0.0);\n";
    }
    if (key.vertexFog) s += "  vFog = clamp(" + FogFactor(key.vertexFog, "viewPos.z") + ", 0.0, 1.0);\n";
    else if (key.fogFromSpecular) s += "  vFog = inSpecular.a;\n";

    for (uint32_t i = 0; i < key.stageCount; ++i) {
        const ShaderStageKey& st = key.stages[i];
        if (!st.textured) continue;
        std::string coord;
        switch (st.coordGen) {
        case 1: coord = "vec4(normal, 1.0)"; break;
        case 2: coord = "vec4(viewPos, 1.0)"; break;
        case 3: coord = "vec4(reflect(normalize(viewPos), normal), 1.0)"; break;
        default:
            if (st.coordSet >= key.texSets) {
                // Missing coordinates read 0.
                coord = "vec4(0.0, 0.0, 1.0, 0.0)";
            } else {
                const std::string in = "inTex" + Str(st.coordSet);
                // Coordinates are widened so that the row after the last one
                // given carries the texture transform's translation.
                switch (key.texSize[st.coordSet]) {
                case 1: coord = "vec4(" + in + ".x, 1.0, 0.0, 0.0)"; break;
                case 2: coord = "vec4(" + in + ".xy, 1.0, 0.0)"; break;
                case 3: coord = "vec4(" + in + ".xyz, 1.0)"; break;
                default: coord = in; break;
                }
            }
            break;
        }
        if (st.transformCount) coord = "(textureMatrix" + Str(i) + " * " + coord + ")";
        s += "  vTex" + Str(i) + " = " + coord + (st.projected ? "" : ".xy") + ";\n";
    }
    s += "}\n";
    return s;
}

namespace {

std::string StageArgument(uint8_t arg, uint32_t stage, bool textured) {
    std::string v;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = "diffuse"; break;
    case D3DTA_CURRENT: v = "current"; break;
    case D3DTA_TEXTURE: v = textured ? "tex" + Str(stage) : "vec4(1.0)"; break;
    case D3DTA_TFACTOR: v = "textureFactor"; break;
    case D3DTA_SPECULAR: v = "specular"; break;
    case D3DTA_TEMP: v = "temp"; break;
    default: v = "current"; break;
    }
    if (arg & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
    if (arg & D3DTA_ALPHAREPLICATE) v = v + ".aaaa";
    return v;
}

// One texture operation on whole vectors; the caller takes .rgb or .a.
std::string StageOperation(uint8_t op, const std::string& a0, const std::string& a1, const std::string& a2,
                           uint32_t stage, bool textured) {
    const std::string texAlpha = textured ? "tex" + Str(stage) + ".a" : "1.0";
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 + " * " + a2;
    case D3DTOP_MODULATE2X: return a1 + " * " + a2 + " * 2.0";
    case D3DTOP_MODULATE4X: return a1 + " * " + a2 + " * 4.0";
    case D3DTOP_ADD: return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - vec4(0.5)";
    case D3DTOP_ADDSIGNED2X: return "(" + a1 + " + " + a2 + " - vec4(0.5)) * 2.0";
    case D3DTOP_SUBTRACT: return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", " + texAlpha + ")";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + a2 + ", " + a1 + ", textureFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + " + " + a2 + " * (1.0 - " + texAlpha + ")";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + a2 + ", " + a1 + ", current.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return a1 + " + " + a1 + ".aaaa * " + a2;
    case D3DTOP_MODULATECOLOR_ADDALPHA: return a1 + " * " + a2 + " + " + a1 + ".aaaa";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return a1 + " + (1.0 - " + a1 + ".a) * " + a2;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(vec4(1.0) - " + a1 + ") * " + a2 + " + " + a1 + ".aaaa";
    case D3DTOP_DOTPRODUCT3:
        return "vec4(dot((" + a1 + ".rgb - 0.5) * 2.0, (" + a2 + ".rgb - 0.5) * 2.0))";
    case D3DTOP_MULTIPLYADD: return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP: return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
    // Pre-modulation and bump mapping pass the first argument on.
    default: return a1;
    }
}

const char* kCompare[] = {"", "false", "<", "==", "<=", ">", "!=", ">=", "true"};

}  // namespace

std::string Shader_FragmentSource(const ShaderKey& key) {
    std::string s = "#version 330 core\n";
    s += ConstantsDeclaration(false);
    const char* interp = key.flat ? "flat " : "";
    const bool specularIn = UsesSpecular(key);
    s += std::string(interp) + "in vec4 vDiffuse;\n";
    if (specularIn) s += std::string(interp) + "in vec4 vSpecular;\n";
    if (UsesVertexFog(key)) s += "in float vFog;\n";
    if (key.pixelFog) s += "in float vViewZ;\n";
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        if (!key.stages[i].textured) continue;
        s += std::string("in ") + TexType(key.stages[i]) + " vTex" + Str(i) + ";\nuniform sampler2D sampler" + Str(i) + ";\n";
    }
    s += "out vec4 fragColor;\nvoid main() {\n"
         "  vec4 diffuse = vDiffuse;\n" + std::string(specularIn ? "  vec4 specular = vSpecular;\n" : "") +
         "  vec4 current = diffuse;\n  vec4 temp = vec4(0.0);\n";
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        const ShaderStageKey& st = key.stages[i];
        const std::string n = Str(i);
        if (st.textured) {
            std::string uv = "vTex" + n + ".xy";
            if (st.projected && st.transformCount >= 2)
                uv = "(vTex" + n + ".xy / vTex" + n + "[" + Str(st.transformCount - 1u) + "])";
            s += "  vec4 tex" + n + " = texture(sampler" + n + ", " + uv + ");\n";
        }
        const std::string target = st.resultTemp ? "temp" : "current";
        const std::string color = StageOperation(st.colorOp, StageArgument(st.colorArg0, i, st.textured),
                                                 StageArgument(st.colorArg1, i, st.textured),
                                                 StageArgument(st.colorArg2, i, st.textured), i, st.textured);
        s += "  {\n    vec3 c = clamp((" + color + ").rgb, 0.0, 1.0);\n";
        if (st.alphaOp != D3DTOP_DISABLE) {
            const std::string alpha = StageOperation(st.alphaOp, StageArgument(st.alphaArg0, i, st.textured),
                                                     StageArgument(st.alphaArg1, i, st.textured),
                                                     StageArgument(st.alphaArg2, i, st.textured), i, st.textured);
            s += "    float a = clamp((" + alpha + ").a, 0.0, 1.0);\n";
        } else {
            // A stage whose alpha is off passes the alpha it was given.
            s += "    float a = current.a;\n";
        }
        s += "    " + target + " = vec4(c, a);\n  }\n";
    }
    if (key.specularEnable) s += "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    if (key.pixelFog) {
        s += "  float f = clamp(" + FogFactor(key.pixelFog, "vViewZ") + ", 0.0, 1.0);\n"
             "  current.rgb = mix(fogColor.rgb, current.rgb, f);\n";
    } else if (key.vertexFog || key.fogFromSpecular) {
        s += "  current.rgb = mix(fogColor.rgb, current.rgb, clamp(vFog, 0.0, 1.0));\n";
    }
    if (key.alphaFunc) {
        s += std::string("  float alpha8 = floor(current.a * 255.0 + 0.5);\n") + "  if (!(" +
             (key.alphaFunc == D3DCMP_NEVER ? std::string("false")
                                            : "alpha8 " + std::string(kCompare[key.alphaFunc]) + " misc.y") +
             ")) discard;\n";
    }
    s += "  fragColor = current;\n}\n";
    return s;
}
