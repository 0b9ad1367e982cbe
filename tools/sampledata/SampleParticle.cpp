#include "tools/sampledata/SampleParticle.h"

#include "actors/scene/Particle.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "tools/content/ImageWriter.h"
#include "tools/sampledata/SampleLevel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kAtlasTexture = 1400;
constexpr uint32_t kParticleMaterial = 1401;
constexpr uint32_t kAtlasSide = 64;
constexpr uint32_t kTileSide = kAtlasSide / 4;

// A 4 x 4 atlas of soft round spots: the top two rows in warm tints, the
// bottom two in water blues. The colour stays full to the edge of each spot
// and only the alpha falls off, so blending shows no dark rims.
std::vector<uint32_t> Atlas() {
    const uint32_t tints[16] = {0xFFFFE0A0, 0xFFFFC070, 0xFFFFA040, 0xFFFF8020, 0xFFFFD080, 0xFFFFB060,
                                0xFFF09040, 0xFFE07030, 0xFFC0E0FF, 0xFFA0D0FF, 0xFF80C0F0, 0xFF60A8E8,
                                0xFFE0F0FF, 0xFFB0D8F8, 0xFF90C8F0, 0xFF70B0E0};
    std::vector<uint32_t> pixels(kAtlasSide * kAtlasSide);
    const float centre = (kTileSide - 1) * 0.5f;
    for (uint32_t y = 0; y < kAtlasSide; ++y) {
        for (uint32_t x = 0; x < kAtlasSide; ++x) {
            const uint32_t tile = (y / kTileSide) * 4 + x / kTileSide;
            const float dx = static_cast<float>(x % kTileSide) - centre, dy = static_cast<float>(y % kTileSide) - centre;
            const float d = std::sqrt(dx * dx + dy * dy) / (centre + 0.5f);
            const float a = std::clamp(1.0f - d * d, 0.0f, 1.0f);
            pixels[y * kAtlasSide + x] = (tints[tile] & 0x00FFFFFFu) | static_cast<uint32_t>(a * 255.0f) << 24;
        }
    }
    return pixels;
}

#pragma pack(push, 1)
struct SetMaterialArgs {
    CQVLibraryItem* item;
    uint32_t subset;
};
#pragma pack(pop)

}  // namespace

void SampleParticle_AddItems(SampleLevel& level) {
    const std::vector<uint32_t> atlas = Atlas();
    TgaWriteOptions options;
    options.bits = 32;
    level.Written(ImageWriter_Save((level.data / "particles.tga").string(),
                                   ImageWriter_Tga(atlas.data(), kAtlasSide, kAtlasSide, options)),
                  "particles.tga");
    CQVTextureItem* texture = level.library->AddTexture(kAtlasTexture, "Particle Atlas", "particles.tga", kAtlasSide,
                                                        kAtlasSide);
    texture->textureType = 4;  // keep the file's alpha
    CQVMaterialItem* material = level.library->AddMaterial(kParticleMaterial, "Particles", {kAtlasTexture});
    // "Texture Alpha": the atlas's alpha times the vertex alpha (the particles'
    // opacity and fades). A diffuse alpha just below 1 keeps the vertex alpha
    // in; a fully opaque material would take the texture's alone.
    material->material.Diffuse = {1.0f, 1.0f, 1.0f, 0.99f};
    material->material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material->blendIndex = 1;
    material->stateFlagB = 1;  // unlit: the quads show the atlas times their vertex colour
    material->useAlpha = 1;
    material->bucketMask = 0;  // blended: the reader gives it the blended bucket
}

void SampleParticle_AddActors(SampleLevel& level) {
    if (level.rooms.empty()) return;
    const SampleRoom& room = level.rooms.front();
    CQVActor* fountain = level.Make(CLASS_PARTICLE, "Fountain", room.group);
    if (fountain == nullptr) return;
    // Off the camera's middle line, ahead of where it starts, with the spout
    // at the height of a basin's rim so the emitter is in view from the start
    // (an emitter is simulated only while it is drawn).
    const Vector3 spout((room.min.x + room.max.x) * 0.5f - 70.0f, 70.0f, (room.min.z + room.max.z) * 0.5f + 100.0f);
    Sample_Send(fountain, MSG_SET_POSITION, spout);
    // The tool has the library's items but no loaded library: the entry keeps the id.
    SetMaterialArgs material{level.library->items.At(kParticleMaterial), 0};
    fountain->HandleMessage(MSG_SET_MATERIAL_1C0, Args_Of(&material));

    // Water thrown up and outward that falls back under gravity.
    Sample_Send(fountain, MSG_SET_PARTICLE_TYPE, 14u);  // Water
    Sample_Send(fountain, MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
    Sample_Send(fountain, MSG_SET_PARTICLE_MAX_PARTICLES, 400u);                        // Max Particles
    Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 160.0f);                      // EmitFlowSpeed
    Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_SPEED, 60.0f);                       // EmitSpeed
    Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_SPEED_V, 0.5f);                        // EmitSpeedV
    Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_POS_V, 4.0f);                        // EmitPosV
    Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_ANGLE_V, 1.0f);                        // EmitAngleV
    Sample_Send(fountain, MSG_SET_PARTICLE_LIFE, 1.6f);                        // Life
    Sample_Send(fountain, MSG_SET_PARTICLE_LIFE_V, 0.3f);                        // LifeV
    Sample_Send(fountain, MSG_SET_PARTICLE_SIZE, 5.0f);                        // Size
    Sample_Send(fountain, MSG_SET_PARTICLE_SIZE_V, 0.4f);                        // SizeV
    Sample_Send(fountain, MSG_SET_PARTICLE_GRAVITY_MUL, 1.0f);                        // GravityMul
    Sample_Send(fountain, MSG_SET_PARTICLE_AIR_RES_MUL, 1.0f);                        // AirResMul
    Sample_Send(fountain, MSG_SET_PARTICLE_MOVEMENT, Vector3(0.0f, 330.0f, 0.0f)); // Movement
    Sample_Send(fountain, MSG_SET_PARTICLE_MOVEMENT_V, Vector3(0.0f, 0.25f, 0.0f));  // MovementV
    Sample_Send(fountain, MSG_SET_PARTICLE_OPACITY, 0.85f);                       // Opacity
    Sample_Send(fountain, MSG_SET_PARTICLE_OPACITY_V, 0.3f);                        // OpacityV
    Sample_Send(fountain, MSG_SET_PARTICLE_FADE_IN_TIME, 0.05f);                       // FadeInTime
    Sample_Send(fountain, MSG_SET_PARTICLE_FADE_OUT_TIME, 0.5f);                        // FadeOutTime
    Sample_Send(fountain, MSG_SET_PARTICLE_TILE_NR, 8u);                          // TileNr
    Sample_Send(fountain, MSG_SET_PARTICLE_TILE_NR_V, 8u);                          // TileNrV
}
