// UI Sprites: quads laid out in their parent's units and aligned on their
// place, the cursor through the engine's sprite slot at its texture's size,
// labels faded by camera distance, the rectangle a button or key-binding
// element asks for, movie screens, and material names from files.

#include "actors/gameplay/UISprite.h"
#include "actors/gameplay/UISystem.h"
#include "platform/movie/MoviePlayer.h"
#include "services/graphics/Texture.h"
#include "services/graphics/VideoTexturePlayback.h"
#include "tests/actors/gameplay/UITestSupport.h"
#include "tests/support/ActorRecordFile.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MovieWriter.h"

#include <tuple>

namespace {

using namespace uitest;
namespace fs = std::filesystem;

constexpr uint32_t kTextureId = 50, kMaterialId = 51;

class UISpriteTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        folder = fs::temp_directory_path() / ("qv_ui_sprite_" + std::to_string(getpid()));
        fs::create_directories(folder / "Data");
        CQVEngine::GetInstance()->SetBaseFolder(folder.string());
        menu = Make(CLASS_UI_SYSTEM, "Menu", nullptr);
        sprite = static_cast<CQVUISprite*>(Make(CLASS_UI_SPRITE, "Icon", menu));
    }
    void TearDown() override {
        UIFixture::TearDown();
        fs::remove_all(folder);
    }
    // A material whose first texture is the item made from the file.
    CQVMaterialItem* AddMaterial(const char* name, const char* textureFile, uint32_t size) {
        auto* texture = new CQVTextureItem;
        texture->name = "Tex";
        texture->fileName = textureFile;
        texture->textureType = 1;
        texture->width = texture->height = size;
        g_Library.SetItem(kTextureId, texture);
        auto* material = new CQVMaterialItem;
        material->name = name;
        material->textureIds = {kTextureId};
        material->loaded = 1;
        g_Library.SetItem(kMaterialId, material);
        return material;
    }
    std::vector<OverlayQuad> Quads() {
        CQVEngine* engine = CQVEngine::GetInstance();
        engine->overlayQuads.clear();
        engine->spriteSlot.material = nullptr;
        sprite->Update();
        return engine->overlayQuads;
    }
    static std::vector<float> Corners(const OverlayQuad& quad) {
        std::vector<float> corners;
        for (const OverlayVertex& v : quad.vertices) {
            corners.push_back(v.x);
            corners.push_back(v.y);
        }
        return corners;
    }

    fs::path folder;
    CQVActor* menu = nullptr;
    CQVUISprite* sprite = nullptr;
};

TEST_F(UISpriteTest, AQuadInReferenceUnitsCoversItsScaledRectangleAlignedOnItsPlace) {
    CQVMaterialItem* material = AddMaterial("Icon", "icon.tga", 16);
    SendText(sprite, MSG_SET_UI_SPRITE_MATERIAL, "ICON");
    EXPECT_EQ(sprite->m_Material, material) << "found by name, letter case aside";
    EXPECT_EQ(Ask<int32_t>(sprite, MSG_GET_UI_SPRITE_MATERIAL), static_cast<int32_t>(kMaterialId));
    SendText(sprite, MSG_SET_RESOURCE, "Nothing Such");
    EXPECT_EQ(sprite->m_Material, material) << "a name the library lacks changes nothing";
    Send(sprite, MSG_SET_POSITION, Vector3(400.0f, 300.0f, 0.0f));
    Send(sprite, MSG_SET_UI_SPRITE_COLOR, ColorValue{1.0f, 1.0f, 1.0f, 0.5f});

    // 64 x 64 units at (400, 300) under 1.28 pixels a unit.
    std::vector<OverlayQuad> quads = Quads();
    ASSERT_EQ(quads.size(), 1u);
    const float far = 400.0f * 1.28f + 64.0f * 1.28f, low = 300.0f * 1.28f + 64.0f * 1.28f;
    const std::vector<float> corners = Corners(quads[0]);
    const std::vector<float> expected{512.0f, 384.0f, far, 384.0f, 512.0f, low, far, low};
    for (size_t i = 0; i < corners.size(); ++i) EXPECT_NEAR(corners[i], expected[i], 1e-3f) << i;
    EXPECT_EQ(quads[0].vertices[0].color, 0x80FFFFFFu);
    EXPECT_EQ(quads[0].material, material);
    UIRect rect{};
    UIRect* out = &rect;
    sprite->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(std::tie(rect.left, rect.top, rect.right, rect.bottom), std::make_tuple(512, 384, 593, 465));
    UIRectF exact{};
    UIRectF* exactOut = &exact;
    sprite->HandleMessage(MSG_UI_RECT_FLOAT, Args_Of(&exactOut));
    EXPECT_FLOAT_EQ(exact.right, far);
    EXPECT_FLOAT_EQ(exact.bottom, low);

    // Centred, its centre is its place; aligned right and bottom, its far corner.
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_ALIGN_X, UI_ALIGN_CENTRE);
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_ALIGN_Y, UI_ALIGN_END);
    quads = Quads();
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_NEAR(quads[0].vertices[0].x, 512.0f - 32.0f * 1.28f, 1e-3f);
    EXPECT_NEAR(quads[0].vertices[3].x, 512.0f + 32.0f * 1.28f, 1e-3f);
    EXPECT_NEAR(quads[0].vertices[3].y, 384.0f, 1e-3f);
    sprite->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(std::tie(rect.left, rect.top, rect.right, rect.bottom), std::make_tuple(471, 302, 552, 384));

    // Hidden, or without a material, it draws nothing but still answers.
    Send(sprite, MSG_ACTION_STOP);
    EXPECT_TRUE(Quads().empty());
    Send(sprite, MSG_ACTION_START);
    Send<int32_t>(sprite, MSG_SET_UI_SPRITE_MATERIAL_ID, 999);
    EXPECT_EQ(sprite->m_Material, nullptr);
    EXPECT_TRUE(Quads().empty());
    rect = UIRect{};
    sprite->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(rect.right, 552);
}

TEST_F(UISpriteTest, TheCursorTakesTheSpriteSlotAtItsTexturesSize) {
    const std::vector<uint32_t> pixels(24 * 24, 0xFFFFFFFFu);
    ASSERT_TRUE(ImageWriter_Save((folder / "Data" / "arrow.tga").string(),
                                 ImageWriter_Tga(pixels.data(), 24, 24, TgaWriteOptions{})));
    AddMaterial("Arrow", "arrow.tga", 24);
    Send<int32_t>(sprite, MSG_SET_UI_SPRITE_MATERIAL_ID, kMaterialId);
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_CURSOR, 1);
    Send(sprite, MSG_SET_POSITION, Vector3(100.0f, 50.0f, 0.0f));
    EXPECT_TRUE(Quads().empty()) << "not a quad of its own";
    const OverlayQuad& slot = CQVEngine::GetInstance()->spriteSlot;
    ASSERT_EQ(slot.material, g_Library.At(kMaterialId));
    EXPECT_EQ(Corners(slot), (std::vector<float>{128.0f, 64.0f, 152.0f, 64.0f, 128.0f, 88.0f, 152.0f, 88.0f}))
        << "24 pixels square, whatever its width and height say";
}

TEST_F(UISpriteTest, ALabelIsDrawnInPixelsAtItsProjectionAndFadesWithDistance) {
    AddMaterial("Icon", "icon.tga", 16);
    CQVActor* label = Make(CLASS_UI_SPRITE, "Label", nullptr);
    sprite = static_cast<CQVUISprite*>(label);
    Send<int32_t>(sprite, MSG_SET_UI_SPRITE_MATERIAL_ID, kMaterialId);
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_ORIENTATION_STYLE, UI_STYLE_3D_LABEL);
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_ALIGN_X, UI_ALIGN_CENTRE);
    Send<uint32_t>(sprite, MSG_SET_UI_SPRITE_ALIGN_Y, UI_ALIGN_CENTRE);
    CQVEngine::GetInstance()->SetCameraPositionRotation(Vector3(0.0f, 0.0f, 0.0f), Quaternion(0.0f, 0.0f, 0.0f, 1.0f));
    Send(sprite, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 450.0f));
    std::vector<OverlayQuad> quads = Quads();
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_NEAR(quads[0].vertices[0].x, kWidth / 2.0f - 32.0f, 0.5f);
    EXPECT_NEAR(quads[0].vertices[3].x, kWidth / 2.0f + 32.0f, 0.5f);
    EXPECT_EQ(quads[0].vertices[0].color >> 24, 191u) << "three quarters";
    Send(sprite, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 601.0f));
    EXPECT_TRUE(Quads().empty());
}

TEST_F(UISpriteTest, AMovieMaterialRestartsStopsAndRewindsItsVideo) {
    MovieClip clip;
    clip.settings.width = 64;
    clip.settings.height = 48;
    clip.frameColours = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    std::string error;
    ASSERT_TRUE(MovieWriter_WriteClip((folder / "Data" / "Screen.mpg").string(), clip, &error)) << error;
    AddMaterial("Screen", "Screen.mpg", 64);
    auto* texture = static_cast<CQVTextureItem*>(g_Library.At(kTextureId));
    ASSERT_EQ(texture->Load(), 1);
    ASSERT_NE(texture->texture, nullptr);
    MoviePlayer* player = VideoTexturePlayback_GetPlayer(texture->texture->playback);
    ASSERT_NE(player, nullptr);
    Send(sprite, MSG_UI_SPRITE_PLAY_MOVIE);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED) << "no material yet";
    Send<int32_t>(sprite, MSG_SET_UI_SPRITE_MATERIAL_ID, kMaterialId);
    Send(sprite, MSG_UI_SPRITE_PLAY_MOVIE);
    EXPECT_EQ(player->GetState(), MOVIE_RUNNING);
    Send(sprite, MSG_UI_SPRITE_PAUSE_MOVIE);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED) << "pausing rewinds like stopping";
    Send(sprite, MSG_UI_SPRITE_PLAY_MOVIE);
    EXPECT_EQ(player->GetState(), MOVIE_RUNNING);
    Send(sprite, MSG_UI_SPRITE_STOP_MOVIE);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED);
}

TEST_F(UISpriteTest, TheFileNamesTheMaterialAndANameTooLongForItsBufferLeavesNone) {
    CQVMaterialItem* material = AddMaterial("M", "icon.tga", 16);
    Send<int32_t>(sprite, MSG_SET_UI_SPRITE_MATERIAL_ID, kMaterialId);
    Send(sprite, MSG_SET_UI_SPRITE_WIDTH, 120.0f);
    const uint32_t id = sprite->m_Id;
    ActorRecordFile file;
    ASSERT_TRUE(file.WriteAndForget(sprite, 70));
    ASSERT_EQ(file.Load(), 1);
    auto* loaded = dynamic_cast<CQVUISprite*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Material, material);
    EXPECT_EQ(loaded->m_Width, 120.0f);
    ASSERT_EQ(g_ActorSystem->DeleteActor(loaded), 1);

    // The material name is the record's last field.
    const std::vector<char> damaged = WithLastText(file.Bytes(), 1, 4000, 'M');
    file.Rewrite(damaged);
    ASSERT_EQ(file.Load(), 1);
    loaded = dynamic_cast<CQVUISprite*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Material, nullptr);
    EXPECT_EQ(loaded->m_MaterialId, static_cast<int32_t>(kMaterialId));
    EXPECT_EQ(loaded->m_Width, 120.0f);
}

}  // namespace
