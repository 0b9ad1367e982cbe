// Any bytes as a font item of the resource library, read as the library
// reads an item after its kind and id: an item that reads is loaded (its
// face rasterised at its size and style into a glyph texture, or its stored
// cells over a texture item that is not there) and measures and draws a
// text with every character. Whatever the item says, the glyph texture
// stays within the device's largest, every character of the set has its
// cell inside it, and no draw reads past the rasteriser's glyphs.

#include "fuzz/files/FuzzCheck.h"
#include "fuzz/files/FuzzDevice.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/overlay/FontRasterizer.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <string>

namespace {

PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }

// Every byte from 1 to 255, and a line break.
std::string EveryCharacter() {
    std::string text;
    for (int c = 1; c < 256; ++c) text += static_cast<char>(c);
    return text + "\nend";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz_StartDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    CQVArchive archive;
    archive.fileSystem = &file;
    Check(archive.Open("font.edo", "rb"));
    auto* item = new CQVFontItem();
    item->id = 1;
    if (item->Serialize(&archive, SERIALIZE_READ, LIBRARY_FILE_VERSION) == 1 && item->Load() == 1) {
        const FontRasterizer& font = *item->rasterizer;
        D3DCAPS8 caps{};
        Device()->GetDeviceCaps(&caps);
        Check(font.texture != nullptr);
        Check(font.textureWidth <= caps.MaxTextureWidth && font.textureHeight <= caps.MaxTextureHeight);
        Check(font.characterCount <= 256 && font.glyphs.size() >= font.characterCount);
        for (uint32_t c = 0; c < 256; ++c) Check(font.characterMap[c] < font.glyphs.size());
        const std::string text = EveryCharacter();
        int32_t width = 0, height = 0;
        FontRasterizer_GetTextExtent(&font, text.c_str(), &width, &height, false);
        Device()->BeginScene();
        FontRasterizer_Draw(item->rasterizer, 4.0f, 4.0f, 0xFFFFFFFFu, text.c_str(), FONT_CENTER | FONT_BILINEAR, 0.0f);
        Device()->EndScene();
    }
    delete item;
    return 0;
}
