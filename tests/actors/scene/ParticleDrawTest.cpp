// An emitter drawn through the render queue on the offscreen device and
// read back through the screen capture, as a player would see it.

#include "actors/scene/Particle.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "services/storage/ScreenCapture.h"
#include "tests/services/render/RenderTestSupport.h"

#include <cstdlib>

namespace {

constexpr uint32_t kAtlasId = 20;

// The colour of tile i of the test atlas: every tile its own, opaque.
uint32_t TileColour(uint32_t i) { return 0xFF000000u | ((i * 16u) << 16) | ((255u - i * 16u) << 8) | 0x40u; }

// A 64 x 64 texture of 4 x 4 tiles of one colour each, loaded, at the id.
bool AddAtlas(uint32_t id) {
    PlatformTexture* texture = nullptr;
    if (!Succeeded(RenderScene_Device()->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture)))
        return false;
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (uint32_t y = 0; y < 64; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (uint32_t x = 0; x < 64; ++x) row[x] = TileColour((y / 16) * 4 + x / 16);
    }
    texture->UnlockRect(0);
    auto* item = new CQVTextureItem;
    item->texture = new CQVVideoTexture{};
    item->texture->texture = texture;
    item->width = 64;
    item->height = 64;
    item->loaded = 1;
    return g_Library.SetItem(id, item);
}

class ParticleDraw : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(AddAtlas(kAtlasId));
        g_Library.SetItem(3, new CQVMeshItem);
        auto* material = new CQVMaterialItem;
        material->textureIds = {kAtlasId};
        material->stateFlagB = 1;  // unlit: the quads show the texture times their vertex colour
        g_Library.SetItem(4, material);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
    }
    void TearDown() override {
        Screen_Reset();
        RenderTest::TearDown();
    }

    // One frame of the game's draw: the emitter's update step queues its
    // item, the buckets draw it (and its callback simulates), then capture.
    const ImageBuffer* DrawAndCapture(CQVParticle* emitter) {
        ++g_FrameNumber;
        g_GlobalClock.dt = 1.0f / 60.0f;
        engine->SetClearColor(0xFF000000);
        EXPECT_EQ(engine->BeginFrame(1, 1), 1);
        emitter->Update();
        engine->DrawRenderBuckets();
        engine->EndFrame(0);
        Screen_CaptureBackBuffer(width, height);
        return Screen_GetCapture();
    }

    static uint32_t Pixel(const ImageBuffer& image, int x, int y) {
        const uint8_t* p = image.pixels.get() + y * image.pitch + x * image.bytesPerPixel;
        return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
    static void ExpectNear(uint32_t got, uint32_t want, const char* where) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
            EXPECT_LE(std::abs(a - b), 3) << where << ": got " << std::hex << got << " want " << want;
        }
    }
};

// A static emitter 100 units ahead shows one quad of its tile, facing the
// camera, with the clear colour around it; a tile past the atlas wraps.
TEST_F(ParticleDraw, EmitterShowsItsTileFacingTheCamera) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    auto* emitter = static_cast<CQVParticle*>(
        g_ActorSystem->CreateActor(CLASS_PARTICLE, "Flare", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(emitter, nullptr);
    const Vector3 position(0.0f, 0.0f, 100.0f);
    emitter->HandleMessage(MSG_SET_POSITION, Args_Of(&position));
    const auto send = [&](uint32_t id, auto value) { emitter->HandleMessage(id, Args_Of(&value)); };
    send(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
    send(MSG_SET_PARTICLE_MAX_PARTICLES, 1u);
    send(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 1000.0f);
    send(MSG_SET_PARTICLE_SIZE, 20.0f);    // Size
    send(MSG_SET_PARTICLE_SIZE_V, 0.0f);     // SizeV
    send(MSG_SET_PARTICLE_STATIC, 1u);       // Static
    send(MSG_SET_PARTICLE_OPACITY, 1.0f);     // Opacity
    send(MSG_SET_PARTICLE_TILE_NR, 5u);       // TileNr
    send(MSG_SET_PARTICLE_TILE_NR_V, 0u);       // TileNrV
    emitter->HandleMessage(MSG_ACTION_START, nullptr);

    const ImageBuffer* image = DrawAndCapture(emitter);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(emitter->LiveCount(), 1u);
    ExpectNear(Pixel(*image, width / 2, height / 2), TileColour(5) & 0xFFFFFF, "centre");
    ExpectNear(Pixel(*image, 4, 4), 0x000000, "corner");
    ExpectNear(Pixel(*image, width - 4, height - 4), 0x000000, "far corner");

    // Resources unloaded and loaded again (a room leaving view and coming
    // back) keep the emitter's own mesh.
    for (uint32_t id : {MSG_LOAD_RESOURCES, MSG_UNLOAD_RESOURCES, MSG_LOAD_RESOURCES})
        emitter->HandleMessage(id, nullptr);
    image = DrawAndCapture(emitter);
    ExpectNear(Pixel(*image, width / 2, height / 2), TileColour(5) & 0xFFFFFF, "after unload and load");

    // Tile 21 is tile 5 again: the atlas has 16 tiles.
    emitter->m_Slots[0].tile = 21;
    image = DrawAndCapture(emitter);
    ExpectNear(Pixel(*image, width / 2, height / 2), TileColour(5) & 0xFFFFFF, "wrapped tile");
    // Turned a quarter about Y (and tilted), the emitter still shows the quad
    // face on: the corners follow the view, not the emitter.
    const Quaternion turned{0.2705981f, 0.6532815f, -0.2705981f, 0.6532815f};
    emitter->HandleMessage(MSG_SET_QUATERNION, Args_Of(&turned));
    image = DrawAndCapture(emitter);
    ExpectNear(Pixel(*image, width / 2, height / 2), TileColour(5) & 0xFFFFFF, "turned emitter");
    ExpectNear(Pixel(*image, width / 2 + 8, height / 2 + 8), TileColour(5) & 0xFFFFFF, "turned emitter, off centre");
    // Tile 10 elsewhere in the atlas.
    emitter->m_Slots[0].tile = 10;
    image = DrawAndCapture(emitter);
    ExpectNear(Pixel(*image, width / 2, height / 2), TileColour(10) & 0xFFFFFF, "tile 10");
}

// An emitter standing just below the view, sending its particles up into
// it: they must come into view. Its own cloud is out of view before the
// first particle is born, so only its reach can get it drawn (and
// simulated) at all.
TEST_F(ParticleDraw, AnEmitterBelowTheViewSendsItsParticlesUpIntoIt) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    auto* emitter = static_cast<CQVParticle*>(
        g_ActorSystem->CreateActor(CLASS_PARTICLE, "Fountain", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(emitter, nullptr);
    // 200 ahead; the view's lower edge there is about 134 below the centre.
    const Vector3 position(0.0f, -150.0f, 200.0f);
    emitter->HandleMessage(MSG_SET_POSITION, Args_Of(&position));
    // A quarter turn about x: the emitter's -z points up.
    const Quaternion up{0.7071068f, 0.0f, 0.0f, 0.7071068f};
    emitter->HandleMessage(MSG_SET_QUATERNION, Args_Of(&up));
    Vector3 direction;
    Vec3_TransformNormal(&direction, Vector3(0.0f, 0.0f, -1.0f), emitter->GetWorldMatrix());
    ASSERT_GT(direction.y, 0.99f);
    const auto send = [&](uint32_t id, auto value) { emitter->HandleMessage(id, Args_Of(&value)); };
    send(MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
    send(MSG_SET_PARTICLE_MAX_PARTICLES, 20u);
    send(MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 30.0f);    // EmitFlowSpeed
    send(MSG_SET_PARTICLE_EMIT_SPEED, 100.0f);   // EmitSpeed, cm/s
    send(MSG_SET_PARTICLE_EMIT_SPEED_V, 0.0f);     // EmitSpeedV
    send(MSG_SET_PARTICLE_EMIT_POS_V, 0.0f);     // EmitPosV
    send(MSG_SET_PARTICLE_EMIT_ANGLE_V, 0.0f);     // EmitAngleV
    send(MSG_SET_PARTICLE_LIFE, 3.0f);     // Life
    send(MSG_SET_PARTICLE_LIFE_V, 0.0f);     // LifeV
    send(MSG_SET_PARTICLE_SIZE, 8.0f);     // Size
    send(MSG_SET_PARTICLE_SIZE_V, 0.0f);     // SizeV
    send(MSG_SET_PARTICLE_GRAVITY_MUL, 0.0f);     // GravityMul
    send(MSG_SET_PARTICLE_AIR_RES_MUL, 0.0f);     // AirResMul
    send(MSG_SET_PARTICLE_OPACITY, 1.0f);     // Opacity
    for (uint32_t id : {MSG_SET_PARTICLE_SIZE_IN_TIME, MSG_SET_PARTICLE_SIZE_OUT_TIME, MSG_SET_PARTICLE_FADE_IN_TIME,
                        MSG_SET_PARTICLE_FADE_OUT_TIME})
        send(id, 0.0f);  // no size or fade ramps
    send(MSG_SET_PARTICLE_TILE_NR, 5u);       // TileNr
    send(MSG_SET_PARTICLE_TILE_NR_V, 0u);       // TileNrV
    emitter->HandleMessage(MSG_ACTION_START, nullptr);

    for (int frame = 0; frame < 60; ++frame) {
        ++g_FrameNumber;
        g_GlobalClock.dt = 1.0f / 60.0f;
        ASSERT_EQ(engine->BeginFrame(1, 1), 1);
        emitter->Update();
        engine->DrawRenderBuckets();
        engine->EndFrame(0);
    }
    EXPECT_GT(emitter->LiveCount(), 10u);
    const ImageBuffer* image = DrawAndCapture(emitter);
    ASSERT_NE(image, nullptr);
    // A second in, the first particles stand some 100 above the emitter:
    // tile 5 shows in the lower half of the screen's middle column.
    int shown = 0;
    for (int y = height / 2; y < height; ++y) {
        const uint32_t got = Pixel(*image, width / 2, y);
        const uint32_t want = TileColour(5) & 0xFFFFFF;
        bool near = true;
        for (int shift : {0, 8, 16})
            near = near && std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) <= 3;
        shown += near ? 1 : 0;
    }
    EXPECT_GT(shown, 10);
    ExpectNear(Pixel(*image, 4, 4), 0x000000, "corner");
}

}  // namespace
