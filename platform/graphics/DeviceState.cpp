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

void LightTable::Set(uint32_t index, const D3DLIGHT8& light) {
    LightSlot& slot = slots[index];
    slot.light = light;
    slot.viewVersion = 0;
}

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

const char* const kConstantGroupNames[GROUP_COUNT] = {"vsTransform", "vsMaterial", "vsGlobal",
                                                       "vsTexture",   "vsLights",   "fsConst"};

uint32_t Shader_LightClass(uint32_t lights, const uint32_t (&classSizes)[kLightClassCount]) {
    for (uint32_t c = 0; c + 1 < kLightClassCount; ++c)
        if (lights <= classSizes[c]) return c;
    return kLightClassCount - 1;
}

namespace {

const D3DMATRIX kIdentity = Matrix_Identity();

bool ReadsTexture(uint8_t op, uint8_t a0, uint8_t a1, uint8_t a2) {
    auto texture = [](uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    switch (op) {
    case D3DTOP_SELECTARG1: return texture(a1);
    case D3DTOP_SELECTARG2: return texture(a2);
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM: return true;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP: return texture(a0) || texture(a1) || texture(a2);
    default: return texture(a1) || texture(a2);
    }
}

// Whether the alpha a draw leaves can matter: blending by source alpha,
// alpha testing, a back buffer that keeps alpha.
bool AlphaReachesThePixel(const uint32_t* rs, bool backBufferAlpha) {
    auto sourceAlpha = [](uint32_t blend) {
        return blend == D3DBLEND_SRCALPHA || blend == D3DBLEND_INVSRCALPHA || blend == D3DBLEND_SRCALPHASAT ||
               blend == D3DBLEND_BOTHSRCALPHA || blend == D3DBLEND_BOTHINVSRCALPHA;
    };
    if (rs[D3DRS_ALPHABLENDENABLE] && (sourceAlpha(rs[D3DRS_SRCBLEND]) || sourceAlpha(rs[D3DRS_DESTBLEND]))) return true;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS) return true;
    return backBufferAlpha && (rs[D3DRS_COLORWRITEENABLE] & D3DCOLORWRITEENABLE_ALPHA);
}

// Whether a colour operation reads an alpha the cascade computed (of current
// or temp), rather than one of the texture or the vertex.
bool ColorReadsComputedAlpha(const ShaderStageKey& st) {
    auto computed = [](uint8_t arg) {
        const uint8_t which = arg & D3DTA_SELECTMASK;
        return (which == D3DTA_CURRENT || which == D3DTA_TEMP) && (arg & D3DTA_ALPHAREPLICATE);
    };
    auto computedSource = [](uint8_t arg) {
        const uint8_t which = arg & D3DTA_SELECTMASK;
        return which == D3DTA_CURRENT || which == D3DTA_TEMP;
    };
    switch (st.colorOp) {
    case D3DTOP_BLENDCURRENTALPHA: return true;
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
    case D3DTOP_MODULATECOLOR_ADDALPHA:
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        if (computedSource(st.colorArg1)) return true;
        break;
    default: break;
    }
    return computed(st.colorArg0) || computed(st.colorArg1) || computed(st.colorArg2);
}

}  // namespace

ShaderKey Shader_MakeKey(const DeviceState& state, const FvfLayout& layout, uint32_t lightClass,
                         bool backBufferAlpha) {
    ShaderKey key;
    std::memset(&key, 0, sizeof key);
    const uint32_t* rs = state.renderStates;
    key.rhw = layout.rhw;
    // Pre-transformed vertices are neither lit nor fogged.
    key.lighting = !layout.rhw && rs[D3DRS_LIGHTING] != 0;
    if (key.lighting) key.lightClass = static_cast<uint8_t>(lightClass);
    key.specular = rs[D3DRS_SPECULARENABLE] != 0;
    const uint32_t table = rs[D3DRS_FOGTABLEMODE];
    if (rs[D3DRS_FOGENABLE] && !layout.rhw && table >= D3DFOG_EXP && table <= D3DFOG_LINEAR)
        key.pixelFog = static_cast<uint8_t>(table);
    key.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    key.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0 && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS;

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
        // A stage without a texture passes on what it was given wherever its
        // operation would read the texture: what a previous user left in the
        // stage cannot change the result of a draw that binds nothing there.
        if (!stage.textured) {
            if (ReadsTexture(stage.colorOp, stage.colorArg0, stage.colorArg1, stage.colorArg2)) {
                stage.colorOp = D3DTOP_SELECTARG1;
                stage.colorArg1 = D3DTA_CURRENT;
                stage.colorArg0 = stage.colorArg2 = 0;
            }
            if (stage.alphaOp != D3DTOP_DISABLE &&
                ReadsTexture(stage.alphaOp, stage.alphaArg0, stage.alphaArg1, stage.alphaArg2)) {
                stage.alphaOp = D3DTOP_SELECTARG1;
                stage.alphaArg1 = D3DTA_CURRENT;
                stage.alphaArg0 = stage.alphaArg2 = 0;
            }
        }
        if (stage.textured) {
            const uint32_t index = ts[D3DTSS_TEXCOORDINDEX];
            stage.coordGen = static_cast<uint8_t>((index >> 16) <= COORD_REFLECTION ? index >> 16 : 0u);
            stage.coordSet = static_cast<uint8_t>((index & 0xFFFF) < layout.texSets ? index & 0xFFFF : kMissingCoordSet);
            const uint32_t flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
            // An identity transform without the projection changes nothing
            // (materials leave the flags set after an environment map).
            const bool noOp = !(flags & D3DTTFF_PROJECTED) && std::memcmp(&state.textureTransforms[s], &kIdentity, 64) == 0;
            if ((flags & 0xFF) >= D3DTTFF_COUNT1 && (flags & 0xFF) <= D3DTTFF_COUNT4 && !layout.rhw && !noOp) {
                stage.transformCount = static_cast<uint8_t>(flags & 0xFF);
                stage.projected = (flags & D3DTTFF_PROJECTED) != 0;
                if (stage.coordGen == COORD_PASS && stage.coordSet != kMissingCoordSet)
                    stage.coordSize = static_cast<uint8_t>(layout.texSize[stage.coordSet]);
            }
        }
        key.stageCount = static_cast<uint8_t>(s + 1);
    }
    // Where nothing reads the alpha the stages compute, how they compute it
    // makes no difference: one program serves every alpha setup (so the
    // program of an opaque material does not depend on the material drawn
    // before it).
    bool alphaRead = AlphaReachesThePixel(rs, backBufferAlpha);
    for (uint32_t s = 0; s < key.stageCount && !alphaRead; ++s) alphaRead = ColorReadsComputedAlpha(key.stages[s]);
    key.alphaUnused = !alphaRead;
    if (!alphaRead) {
        for (uint32_t s = 0; s < key.stageCount; ++s) {
            ShaderStageKey& st = key.stages[s];
            st.alphaOp = D3DTOP_DISABLE;
            st.alphaArg0 = st.alphaArg1 = st.alphaArg2 = 0;
        }
    }
    return key;
}

namespace {

std::string Str(uint32_t value) { return std::to_string(value); }

// The named vectors of a constants record, as elements of its uniform array.
template <typename Record>
std::string Names(const char* array, std::initializer_list<std::pair<const char*, size_t>> fields) {
    std::string s = std::string("uniform vec4 ") + array + "[" + Str(sizeof(Record) / 16) + "];\n";
    for (const auto& [name, offset] : fields)
        s += std::string("#define ") + name + " " + array + "[" + Str(static_cast<uint32_t>(offset / 16)) + "]\n";
    return s;
}

std::string Matrix(const char* array, size_t offset) {
    const std::string base = Str(static_cast<uint32_t>(offset / 16));
    std::string s = "mat4(";
    for (uint32_t i = 0; i < 4; ++i) s += std::string(i ? ", " : "") + array + "[" + base + " + " + Str(i) + "]";
    return s + ")";
}

bool UsesSpecular(const ShaderKey& key) {
    if (key.specular) return true;
    auto reads = [](uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_SPECULAR; };
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        const ShaderStageKey& st = key.stages[i];
        if (reads(st.colorArg0) || reads(st.colorArg1) || reads(st.colorArg2) || reads(st.alphaArg0) ||
            reads(st.alphaArg1) || reads(st.alphaArg2))
            return true;
    }
    return false;
}
bool UsesTextureMatrices(const ShaderKey& key) {
    for (uint32_t i = 0; i < key.stageCount; ++i)
        if (key.stages[i].textured && key.stages[i].transformCount) return true;
    return false;
}
const char* TexType(const ShaderStageKey& st) { return st.projected ? "vec4" : "vec2"; }

std::string FogFactor(const char* mode, const char* z, const char* fog) {
    const std::string f = fog, Z = z;
    return std::string("(") + mode + " == 3.0 ? (" + f + ".y - " + Z + ") * " + f + ".w : " + mode + " == 1.0 ? exp(-" +
           f + ".z * " + Z + ") : exp(-(" + f + ".z * " + Z + ") * (" + f + ".z * " + Z + ")))";
}

}  // namespace

std::string Shader_VertexSource(const ShaderKey& key, uint32_t lightCapacity) {
    std::string s = "#version 330 core\n";
    s += Names<TransformConstants>("vsTransform", {});
    s += "#define worldViewProj " + Matrix("vsTransform", offsetof(TransformConstants, worldViewProj)) + "\n";
    s += "#define worldView " + Matrix("vsTransform", offsetof(TransformConstants, worldView)) + "\n";
    s += "#define normalMatrix " + Matrix("vsTransform", offsetof(TransformConstants, normalMatrix)) + "\n";
    s += Names<GlobalConstants>("vsGlobal", {{"globalAmbient", offsetof(GlobalConstants, ambient)},
                                             {"fog", offsetof(GlobalConstants, fog)},
                                             {"options", offsetof(GlobalConstants, options)},
                                             {"sources", offsetof(GlobalConstants, sources)},
                                             {"screen", offsetof(GlobalConstants, screen)},
                                             {"pixel", offsetof(GlobalConstants, pixel)},
                                             {"depthRange", offsetof(GlobalConstants, depth)}});
    if (key.lighting) {
        s += Names<MaterialConstants>("vsMaterial", {{"materialDiffuse", offsetof(MaterialConstants, diffuse)},
                                                     {"materialAmbient", offsetof(MaterialConstants, ambient)},
                                                     {"materialSpecular", offsetof(MaterialConstants, specular)},
                                                     {"materialEmissive", offsetof(MaterialConstants, emissive)}});
        // The lights live in a buffer of their own, sent when they change:
        // the other constants change with every draw, and GL sends a
        // program's plain uniforms all together.
        s += "layout(std140) uniform LightBlock {\n  vec4 vsLights[" +
             Str(1 + (kFixedPointLights + lightCapacity) * kLightVectors) + "];\n};\n";
    }
    if (UsesTextureMatrices(key)) s += Names<TextureConstants>("vsTexture", {});
    const char* interp = key.flat ? "flat " : "";
    s += "in vec4 inPosition;\nin vec3 inNormal;\nin vec4 inDiffuse;\nin vec4 inSpecular;\n";
    uint32_t sets = 0;
    for (uint32_t i = 0; i < key.stageCount; ++i)
        if (key.stages[i].textured && key.stages[i].coordGen == COORD_PASS && key.stages[i].coordSet != kMissingCoordSet)
            sets |= 1u << key.stages[i].coordSet;
    for (uint32_t i = 0; i < 8; ++i)
        if (sets & (1u << i)) s += "in vec4 inTex" + Str(i) + ";\n";
    const bool specularOut = UsesSpecular(key);
    s += std::string(interp) + "out vec4 vDiffuse;\n";
    if (specularOut) s += std::string(interp) + "out vec4 vSpecular;\n";
    if (!key.rhw) s += "out float vFog;\n";
    if (key.pixelFog) s += "out float vViewZ;\n";
    for (uint32_t i = 0; i < key.stageCount; ++i)
        if (key.stages[i].textured) s += std::string("out ") + TexType(key.stages[i]) + " vTex" + Str(i) + ";\n";
    if (key.lighting) {
        // A material colour, or the vertex colour standing in for it.
        s += "vec4 source(float which, vec4 material) {\n"
             "  return which == 1.0 ? inDiffuse : which == 2.0 ? inSpecular : material;\n}\n";
    }
    s += "void main() {\n";
    if (key.rhw) {
        // Screen pixels, y down, pixel centres on integers; rhw is 1 / w. The
        // depth is the depth buffer's value itself, whatever the viewport's range.
        s += "  float w = (inPosition.w > 0.0 && !isinf(inPosition.w)) ? 1.0 / inPosition.w : 1.0;\n"
             "  vec2 ndc = (inPosition.xy - screen.xy) * screen.zw - 1.0 + pixel.xy;\n"
             "  float z = (inPosition.z - depthRange.x) * depthRange.y * 2.0 - 1.0;\n"
             "  gl_Position = vec4(ndc.x, ndc.y * pixel.z, z, 1.0) * w;\n"
             "  vec3 viewPos = vec3(0.0);\n  vec3 normal = vec3(0.0);\n";
    } else {
        // Left-handed clip space with depth 0..w and y up becomes GL's clip
        // space with depth -w..w; rows are stored top first or bottom first.
        s += "  vec4 clip = worldViewProj * vec4(inPosition.xyz, 1.0);\n"
             "  gl_Position = vec4(clip.x + clip.w * pixel.x, (clip.w * pixel.y - clip.y) * pixel.z, "
             "2.0 * clip.z - clip.w, clip.w);\n"
             "  vec3 viewPos = (worldView * vec4(inPosition.xyz, 1.0)).xyz;\n"
             "  vec3 normal = mat3(normalMatrix) * inNormal;\n";
    }
    if (key.pixelFog) s += "  vViewZ = viewPos.z;\n";
    if (key.lighting) {
        s += "  if (options.w != 0.0 && dot(normal, normal) > 0.0) normal = normalize(normal);\n"
             "  vec3 ambientSum = vec3(0.0), diffuseSum = vec3(0.0), specularSum = vec3(0.0);\n";
        if (key.specular) s += "  vec3 toEye = options.z != 0.0 ? normalize(-viewPos) : vec3(0.0, 0.0, -1.0);\n";
        // The lights come grouped by type (directional, point, spot; the
        // counts in the first vector), one loop a type: each light runs only
        // the code of its own type, and the types stay constants.
        const std::string stride = Str(kLightVectors);
        auto accumulate = [&](const char* att) {
            std::string a = "    float nDotL = max(dot(normal, L), 0.0);\n"
                            "    ambientSum += vsLights[b + 4].rgb" + std::string(att) + ";\n"
                            "    diffuseSum += vsLights[b].rgb * nDotL" + att + ";\n";
            if (key.specular) {
                a += "    vec3 H = normalize(L + toEye);\n"
                     "    float nDotH = dot(normal, H);\n"
                     "    if (nDotL > 0.0 && nDotH > 0.0) specularSum += vsLights[b + 5].rgb * pow(nDotH, materialEmissive.w)" +
                     std::string(att) + ";\n";
            }
            return a;
        };
        // Beyond its range a point or spot light gives nothing.
        const std::string toLight = "    vec4 position = vsLights[b + 1], attenuation = vsLights[b + 3];\n"
                                    "    vec3 toLight = position.xyz - viewPos;\n"
                                    "    float d = length(toLight);\n"
                                    "    vec3 L = d > 0.0 ? toLight / d : vec3(0.0);\n"
                                    "    float att = d > position.w ? 0.0 : 1.0 / (attenuation.x + attenuation.y * d + attenuation.z * d * d);\n";
        // The point lights in the fixed places are lit without a loop or a
        // branch (a place left over adds nothing): their constants are read
        // at places known when the shader is built, where a place counted in
        // a loop could differ between vertices and a software rasterizer
        // reads it vertex by vertex.
        s += "  ivec4 lightCounts = ivec4(vsLights[0]);\n";
        for (uint32_t k = 0; k < kFixedPointLights; ++k)
            s += "  {\n    const int b = " + Str(1 + k * kLightVectors) + ";\n" + toLight + accumulate(" * att") + "  }\n";
        s += "  int b = " + Str(1 + kFixedPointLights * kLightVectors) + ";\n"
             "  for (int i = " + Str(kFixedPointLights) + "; i < lightCounts.y; ++i, b += " + stride + ") {\n" + toLight +
             accumulate(" * att") + "  }\n"
             "  for (int i = 0; i < lightCounts.x; ++i, b += " + stride + ") {\n"
             "    vec3 L = -vsLights[b + 2].xyz;\n" + accumulate("") + "  }\n"
             "  for (int i = 0; i < lightCounts.z; ++i, b += " + stride + ") {\n" + toLight +
             "    vec4 direction = vsLights[b + 2];\n"
             "    float rho = dot(-direction.xyz, L), cosPhi = attenuation.w, cosTheta = vsLights[b + 4].w;\n"
             "    if (rho <= cosPhi) att = 0.0;\n"
             "    else if (rho <= cosTheta)\n"
             "      att *= pow(clamp((rho - cosPhi) / (cosTheta - cosPhi), 0.0, 1.0), direction.w);\n" +
             accumulate(" * att") + "  }\n";
        s += "  vec4 mDiffuse = source(sources.x, materialDiffuse);\n"
             "  vec4 mAmbient = source(sources.y, materialAmbient);\n"
             "  vec4 mEmissive = source(sources.w, materialEmissive);\n"
             "  vDiffuse = clamp(vec4(mEmissive.rgb + mAmbient.rgb * (globalAmbient.rgb + ambientSum) + "
             "mDiffuse.rgb * diffuseSum, mDiffuse.a), 0.0, 1.0);\n";
        if (specularOut)
            s += "  vSpecular = clamp(vec4(source(sources.z, materialSpecular).rgb * specularSum, inSpecular.a), 0.0, 1.0);\n";
    } else {
        s += "  vDiffuse = inDiffuse;\n";
        if (specularOut) s += "  vSpecular = inSpecular;\n";
    }
    if (!key.rhw) {
        // Vertex fog: 0 none, 1 to 3 the fog modes on view depth, 4 the vertex's own factor.
        s += "  float fogMode = options.x;\n"
             "  vFog = fogMode == 0.0 ? 1.0 : fogMode == 4.0 ? inSpecular.a : clamp(" +
             FogFactor("fogMode", "viewPos.z", "fog") + ", 0.0, 1.0);\n";
    }
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        const ShaderStageKey& st = key.stages[i];
        if (!st.textured) continue;
        std::string coord;
        switch (st.coordGen) {
        case COORD_NORMAL: coord = "vec4(normal, 1.0)"; break;
        case COORD_POSITION: coord = "vec4(viewPos, 1.0)"; break;
        case COORD_REFLECTION: coord = "vec4(reflect(normalize(viewPos), normal), 1.0)"; break;
        default:
            if (st.coordSet == kMissingCoordSet) {
                // Missing coordinates read 0.
                coord = "vec4(0.0, 0.0, 1.0, 0.0)";
            } else {
                const std::string in = "inTex" + Str(st.coordSet);
                // Coordinates are widened so that the row after the last one
                // given carries the texture transform's translation.
                switch (st.coordSize) {
                case 1: coord = "vec4(" + in + ".x, 1.0, 0.0, 0.0)"; break;
                case 2: coord = "vec4(" + in + ".xy, 1.0, 0.0)"; break;
                case 3: coord = "vec4(" + in + ".xyz, 1.0)"; break;
                default: coord = in; break;
                }
            }
            break;
        }
        if (st.transformCount)
            coord = "(" + Matrix("vsTexture", offsetof(TextureConstants, matrices) + i * 64) + " * " + coord + ")";
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

// Whether an operation keeps its result within 0..1 when its arguments are:
// every argument is (unsigned normalized textures, clamped vertex colours,
// the texture factor, earlier results), so these need no clamp.
bool KeepsUnitRange(uint8_t op) {
    switch (op) {
    case D3DTOP_ADD:
    case D3DTOP_ADDSIGNED:
    case D3DTOP_ADDSIGNED2X:
    case D3DTOP_SUBTRACT:
    case D3DTOP_ADDSMOOTH:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_BLENDTEXTUREALPHAPM:
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
    case D3DTOP_MODULATECOLOR_ADDALPHA:
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
    case D3DTOP_DOTPRODUCT3:
    case D3DTOP_MULTIPLYADD: return false;
    default: return true;
    }
}

std::string Saturated(uint8_t op, const std::string& value) {
    return KeepsUnitRange(op) ? value : "clamp(" + value + ", 0.0, 1.0)";
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

}  // namespace

std::string Shader_FragmentSource(const ShaderKey& key) {
    std::string s = "#version 330 core\n";
    s += Names<FragmentConstants>("fsConst", {{"fogColor", offsetof(FragmentConstants, fogColor)},
                                              {"textureFactor", offsetof(FragmentConstants, textureFactor)},
                                              {"fog", offsetof(FragmentConstants, fog)},
                                              {"alphaTest", offsetof(FragmentConstants, alphaTest)}});
    const char* interp = key.flat ? "flat " : "";
    const bool specularIn = UsesSpecular(key);
    s += std::string(interp) + "in vec4 vDiffuse;\n";
    if (specularIn) s += std::string(interp) + "in vec4 vSpecular;\n";
    if (!key.rhw) s += "in float vFog;\n";
    if (key.pixelFog) s += "in float vViewZ;\n";
    for (uint32_t i = 0; i < key.stageCount; ++i) {
        if (!key.stages[i].textured) continue;
        s += std::string("in ") + TexType(key.stages[i]) + " vTex" + Str(i) + ";\nuniform sampler2D sampler" + Str(i) + ";\n";
    }
    s += "out vec4 fragColor;\nvoid main() {\n"
         "  vec4 diffuse = vDiffuse;\n" + std::string(specularIn ? "  vec4 specular = vSpecular;\n" : "") +
         // An alpha nothing reads is left at 1 rather than carried through the stages.
         std::string(key.alphaUnused ? "  vec4 current = vec4(diffuse.rgb, 1.0);\n" : "  vec4 current = diffuse;\n") +
         "  vec4 temp = vec4(0.0);\n";
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
        s += "  {\n    vec3 c = " + Saturated(st.colorOp, "(" + color + ").rgb") + ";\n";
        if (st.alphaOp != D3DTOP_DISABLE) {
            const std::string alpha = StageOperation(st.alphaOp, StageArgument(st.alphaArg0, i, st.textured),
                                                     StageArgument(st.alphaArg1, i, st.textured),
                                                     StageArgument(st.alphaArg2, i, st.textured), i, st.textured);
            s += "    float a = " + Saturated(st.alphaOp, "(" + alpha + ").a") + ";\n";
        } else {
            // A stage whose alpha is off passes the alpha it was given.
            s += "    float a = current.a;\n";
        }
        s += "    " + target + " = vec4(c, a);\n  }\n";
    }
    if (key.specular) s += "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    if (key.pixelFog) {
        const std::string mode = Str(key.pixelFog) + ".0";
        s += "  float f = clamp(" + FogFactor(mode.c_str(), "vViewZ", "fog") + ", 0.0, 1.0);\n"
             "  current.rgb = mix(fogColor.rgb, current.rgb, f);\n";
    } else if (!key.rhw) {
        s += "  current.rgb = mix(fogColor.rgb, current.rgb, vFog);\n";
    }
    if (key.alphaTest) {
        // The function is D3DCMPFUNC, compared on the 8-bit alpha.
        s += "  float alpha8 = floor(current.a * 255.0 + 0.5), ref = alphaTest.x, func = alphaTest.y;\n"
             "  bool pass = func == 2.0 ? alpha8 < ref : func == 3.0 ? alpha8 == ref : func == 4.0 ? alpha8 <= ref :\n"
             "              func == 5.0 ? alpha8 > ref : func == 6.0 ? alpha8 != ref : func == 7.0 ? alpha8 >= ref :\n"
             "              func != 1.0;\n"
             "  if (!pass) discard;\n";
    }
    s += "  fragColor = current;\n}\n";
    return s;
}
