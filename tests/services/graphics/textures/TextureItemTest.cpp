// Texture items of the resource library made through the texture layer:
// the engine's format code and size divisor decide what the device holds;
// movies become video textures that items restart and stop.

#include "platform/movie/MoviePlayer.h"
#include "services/engine/Engine.h"
#include "services/graphics/VideoTexturePlayback.h"
#include "services/library/LibraryItem.h"
#include "tests/services/graphics/textures/TextureFixture.h"

namespace {

class TextureItemTest : public TextureTest {
protected:
    std::vector<CQVTextureItem*> items;

    void SetUp() override {
        TextureTest::SetUp();
        ASSERT_EQ(CQVEngine::Create(), 1);
        engine()->SetBaseFolder(".");
        std::vector<uint32_t> pixels(16 * 16, 0x80FF8000u);
        ASSERT_TRUE(ImageWriter_Save("Data/Wall.tga", ImageWriter_Tga(pixels.data(), 16, 16, {})));
        BmpWriteOptions bmp;
        ASSERT_TRUE(ImageWriter_Save("Data/Wall.bmp", ImageWriter_Bmp(pixels.data(), 16, 16, bmp)));
    }
    void TearDown() override {
        for (CQVTextureItem* item : items) delete item;
        engine()->SetTextureOptions(0, 1);
        TextureTest::TearDown();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }
    CQVTextureItem* Item(const char* fileName, uint32_t type = 1, uint32_t side = 16) {
        auto* item = new CQVTextureItem();
        item->fileName = fileName;
        item->textureType = type;
        item->width = item->height = side;
        items.push_back(item);
        return item;
    }
    static D3DSURFACE_DESC Level0(const CQVTextureItem* item) {
        D3DSURFACE_DESC desc{};
        item->texture->texture->GetLevelDesc(0, &desc);
        return desc;
    }
};

TEST_F(TextureItemTest, FormatCodeAndDivisorDecideTheTexture) {
    // Code 3 with divisor 2: TGA files become DXT2, others DXT1, at half size.
    engine()->SetTextureOptions(3, 2);
    CQVTextureItem* tga = Item("Wall.tga");
    CQVTextureItem* bmp = Item("Wall.bmp");
    CQVTextureItem* own = Item("Wall.tga", 4);
    for (CQVTextureItem* item : {tga, bmp, own}) ASSERT_EQ(engine()->CreateItemTexture(item), 1) << engine()->GetErrorText();
    EXPECT_EQ(Level0(tga).Format, static_cast<D3DFORMAT>(D3DFMT_DXT2));
    EXPECT_EQ(Level0(tga).Width, 8u);
    EXPECT_EQ(tga->texture->texture->GetLevelCount(), 4u);
    EXPECT_EQ(Level0(bmp).Format, static_cast<D3DFORMAT>(D3DFMT_DXT1));
    // Type 4 keeps the file's own format, and (type 3 and above) its size.
    EXPECT_EQ(Level0(own).Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(Level0(own).Width, 16u);
    // Code 2: 16-bit formats.
    engine()->SetTextureOptions(2, 1);
    for (CQVTextureItem* item : {tga, bmp}) ASSERT_EQ(engine()->CreateItemTexture(item), 1);
    EXPECT_EQ(Level0(tga).Format, static_cast<D3DFORMAT>(D3DFMT_A4R4G4B4));
    EXPECT_EQ(Level0(bmp).Format, static_cast<D3DFORMAT>(D3DFMT_R5G6B5));
    EXPECT_EQ(Level0(bmp).Width, 16u);
}

TEST_F(TextureItemTest, AFileThatFailsLeavesTheItemUnloadedWithTheReason) {
    CQVTextureItem* missing = Item("Missing.tga");
    EXPECT_EQ(missing->Load(), 0);
    EXPECT_FALSE(missing->loaded);
    EXPECT_EQ(missing->texture, nullptr);
    EXPECT_STREQ(engine()->GetErrorText(), "   Texture_CreateFromFile - Open\n   .\\Data\\Missing.tga");
    CQVTextureItem* wall = Item("Wall.tga");
    ASSERT_EQ(wall->Load(), 1);
    EXPECT_TRUE(wall->loaded);
    EXPECT_NE(wall->texture, nullptr);
    EXPECT_EQ(wall->Unload(), 1);
    EXPECT_EQ(wall->texture, nullptr);
}

TEST_F(TextureItemTest, MovieItemsRestartAndStopTheirVideo) {
    WriteClip("Data/Screen.mpg", kClipColours);
    CQVTextureItem* screen = Item("Screen.mpg");
    ASSERT_EQ(screen->Load(), 1) << engine()->GetErrorText();
    ASSERT_NE(screen->texture, nullptr);
    MoviePlayer* player = VideoTexturePlayback_GetPlayer(screen->texture->playback);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED);
    TextureItem_RestartVideo(screen);
    EXPECT_EQ(player->GetState(), MOVIE_RUNNING);
    ASSERT_TRUE(WaitFor([&] { return CloseTo(Texels(screen->texture->texture)[0], kClipColours[0]); }));
    TextureItem_StopVideo(screen);
    EXPECT_EQ(player->GetState(), MOVIE_STOPPED);
    EXPECT_EQ(Texels(screen->texture->texture)[0], 0u);
    // A movie that does not play still counts as made, without a texture.
    CQVTextureItem* broken = Item("Broken.mpg");
    EXPECT_EQ(broken->Load(), 1);
    EXPECT_EQ(broken->texture, nullptr);
    TextureItem_RestartVideo(broken);
    TextureItem_StopVideo(broken);
}

}  // namespace
