// Still textures: image files read whole through the current file system
// into managed textures of the asked size, format and chain.

#include "tests/services/graphics/textures/TextureFixture.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstring>
#include <fstream>

namespace {

std::vector<uint32_t> Quadrants(uint32_t side) {
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x)
            pixels.push_back(y < side / 2 ? (x < side / 2 ? 0xFFFF0000u : 0xFF00FF00u)
                                          : (x < side / 2 ? 0xFF0000FFu : 0xFFFFFFFFu));
    return pixels;
}

void SaveTga(const std::string& path, uint32_t side) {
    const std::vector<uint32_t> pixels = Quadrants(side);
    ASSERT_TRUE(ImageWriter_Save(path, ImageWriter_Tga(pixels.data(), side, side, {})));
}

TEST_F(TextureTest, MadeFromAFileWithTheAskedSizeFormatAndChain) {
    SaveTga("Data/Wall.tga", 16);
    // Engine paths: backslashes and any case.
    CQVVideoTexture* texture = Texture_CreateFromFile(".\\data\\WALL.TGA", 8, 8, D3DFMT_A8R8G8B8, 0);
    ASSERT_NE(texture, nullptr) << Texture_GetLastError();
    EXPECT_EQ(texture->playback, nullptr);
    EXPECT_EQ(texture->sourceInfo.Width, 16u);
    EXPECT_EQ(texture->sourceInfo.Height, 16u);
    EXPECT_EQ(texture->sourceInfo.Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(texture->sourceInfo.ImageFileFormat, static_cast<uint32_t>(D3DXIFF_TGA));
    EXPECT_EQ(Texture_GetWidth(texture), 16u);
    EXPECT_EQ(Texture_GetHeight(texture), 16u);
    EXPECT_EQ(texture->levelDesc.Width, 8u);
    EXPECT_EQ(texture->levelDesc.Height, 8u);
    EXPECT_EQ(texture->levelDesc.Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(texture->levelDesc.Pool, static_cast<uint32_t>(D3DPOOL_MANAGED));
    EXPECT_EQ(texture->texture->GetLevelCount(), 4u);
    EXPECT_EQ(Texels(texture->texture), Quadrants(8));
    Texture_Release(texture);
    // The file's own size and format, one level.
    texture = Texture_CreateFromFile("Data\\Wall.tga", 0, 0, D3DFMT_UNKNOWN, 1);
    ASSERT_NE(texture, nullptr) << Texture_GetLastError();
    EXPECT_EQ(texture->levelDesc.Width, 16u);
    EXPECT_EQ(texture->texture->GetLevelCount(), 1u);
    Texture_Release(texture);
}

TEST_F(TextureTest, FilesComeThroughTheCurrentFileSystem) {
    // A file system that serves one TGA whatever the name.
    FixedMemoryFileSystem memory;
    const std::vector<uint32_t> pixels = Quadrants(4);
    memory.bytes = ImageWriter_Tga(pixels.data(), 4, 4, {});
    g_CurrentFileSystem = &memory;
    CQVVideoTexture* texture = Texture_CreateFromFile("Data\\Nowhere.tga", 0, 0, D3DFMT_UNKNOWN, 1);
    g_CurrentFileSystem = nullptr;
    ASSERT_NE(texture, nullptr) << Texture_GetLastError();
    EXPECT_EQ(Texels(texture->texture), pixels);
    Texture_Release(texture);
}

TEST_F(TextureTest, FailuresLeaveTheirDiagnostic) {
    EXPECT_EQ(Texture_CreateFromFile("Data\\Missing.tga", 0, 0, D3DFMT_UNKNOWN, 0), nullptr);
    EXPECT_STREQ(Texture_GetLastError(), "   Texture_CreateFromFile - Open\n   Data\\Missing.tga");
    SaveTga("Data/Cut.tga", 8);
    std::filesystem::resize_file("Data/Cut.tga", 40);
    EXPECT_EQ(Texture_CreateFromFile("Data\\Cut.tga", 0, 0, D3DFMT_UNKNOWN, 0), nullptr);
    EXPECT_STREQ(Texture_GetLastError(), "   Texture_CreateFromFile()\n   Data\\Cut.tga\n   D3DXERR_INVALIDDATA");
    std::ofstream("Data/Empty.tga").close();
    EXPECT_EQ(Texture_CreateFromFile("Data\\Empty.tga", 0, 0, D3DFMT_UNKNOWN, 0), nullptr);
    EXPECT_STREQ(Texture_GetLastError(), "   Texture_CreateFromFile()\n   Data\\Empty.tga\n   D3DXERR_INVALIDDATA");
}

TEST_F(TextureTest, ReferencesBindingAndRelease) {
    SaveTga("Data/Wall.tga", 4);
    CQVVideoTexture* texture = Texture_CreateFromFile("Data\\Wall.tga", 0, 0, D3DFMT_UNKNOWN, 1);
    ASSERT_NE(texture, nullptr);
    PlatformTexture* raw = texture->texture;
    // A holder of the raw texture keeps it past the record's release.
    EXPECT_EQ(Texture_AddRef(texture), 2u);
    Texture_Bind(texture, 1);
    PlatformTexture* bound = nullptr;
    Device()->GetTexture(1, &bound);
    EXPECT_EQ(bound, raw);
    if (bound != nullptr) bound->Release();
    Texture_Bind(nullptr, 1);
    Device()->GetTexture(1, &bound);
    EXPECT_EQ(bound, nullptr);
    Texture_Release(texture);
    EXPECT_EQ(raw->Release(), 0u);
    // Null records are ignored everywhere.
    Texture_Release(nullptr);
    EXPECT_EQ(Texture_AddRef(nullptr), 0u);
    EXPECT_EQ(Texture_GetWidth(nullptr), 0u);
    VideoTexture_Play(nullptr);
    VideoTexture_Rewind(nullptr);
}

}  // namespace
