#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/library/ServiceCalls.h"

#include <bit>
#include <new>

namespace {

bool EndsWith(const std::string& text, std::string_view ending) {
    return text.size() >= ending.size() && Library_NamesEqual(std::string_view(text).substr(text.size() - ending.size()), ending);
}

// The first length characters of both texts, A to Z ignoring case; a text
// that ends earlier matches only one that ends at the same place.
bool PrefixMatches(const std::string& name, const char* prefix, uint32_t length) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    for (uint32_t i = 0; i < length; ++i) {
        const char a = i < name.size() ? name[i] : '\0';
        if (lower(a) != lower(prefix[i])) return false;
        if (a == '\0') return true;
    }
    return true;
}

bool KindMatches(const CQVLibraryItem* item, int32_t kind) {
    return kind == -1 || item->kind == static_cast<uint32_t>(kind);
}

// Texture formats by the engine's format code, for files other than ".tga"
// and for ".tga" files (which may carry alpha); unknown keeps the file's own.
constexpr D3DFORMAT kTextureFormats[4][2] = {
    {D3DFMT_UNKNOWN, D3DFMT_UNKNOWN},
    {D3DFMT_R5G6B5, D3DFMT_UNKNOWN},
    {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4},
    {D3DFMT_DXT1, D3DFMT_DXT2},
};

// Texture type 4 always keeps the file's format.
constexpr uint32_t kTextureTypeOwnFormat = 4;
constexpr uint32_t kTextureTypeOwnSize = 3;
// A divided side never goes below 4 texels, the smallest compressed block.
uint32_t DividedSide(uint32_t side, uint32_t divisor) {
    const uint32_t divided = side / divisor;
    return divided < 5 ? 4 : divided;
}

CQVLibraryItem* CopySound(const CQVLibraryItem* item, uint32_t soundFlags) {
    const CQVSoundItem* source = static_cast<const CQVSoundItem*>(item);
    CQVSoundItem* copy = new (std::nothrow) CQVSoundItem();
    if (copy == nullptr) return nullptr;
    copy->id = source->id;
    copy->name = source->name;
    copy->sourceId = source->id;
    copy->flags = CQVSoundItem::SOUND_WHOLE_FILE | soundFlags;
    copy->volume = source->volume;
    copy->group = source->group;
    return copy;
}

CQVLibraryItem* CopyMaterial(const CQVLibraryItem* item, uint32_t) {
    return new (std::nothrow) CQVMaterialItem(*static_cast<const CQVMaterialItem*>(item));
}

CQVLibraryItem* CopyMotion(const CQVLibraryItem* item, uint32_t) {
    return new (std::nothrow) CQVMotionItem(*static_cast<const CQVMotionItem*>(item));
}

using ItemCopier = CQVLibraryItem* (*)(const CQVLibraryItem* item, uint32_t soundFlags);

// The kinds an actor may hold a private copy of: sounds play their own
// duplicate buffer, materials and motions are changed by their holder.
constexpr ItemCopier kItemCopiers[LIBRARY_KIND_LIMIT] = {
    nullptr, nullptr, CopySound, nullptr, CopyMaterial, nullptr, CopyMotion, nullptr,
};

}  // namespace

int CQVEngine::SerializeLibrary(uint32_t mode) {
    const std::string fileName = baseFolder + "\\" + LIBRARY_FILE_NAME;
    if (mode == SERIALIZE_WRITE) return Library_WriteFile(fileName, library, worldScale);
    return Library_ReadFile(fileName, mode);
}

bool CQVEngine::IsValidItemId(uint32_t id) const { return library.GetSlotCount() == 0 || id < library.GetSlotCount(); }

CQVLibraryItem* CQVEngine::GetItem(uint32_t id) {
    if (!IsValidItemId(id)) {
        SetError("Error Invalid Container ID");
        return nullptr;
    }
    return library.At(id);
}

CQVLibraryItem* CQVEngine::UseItem(uint32_t id) {
    CQVLibraryItem* item = library.At(id);
    if (item != nullptr) item->shared = 1;
    return item;
}

CQVLibraryItem* CQVEngine::FindItem(const char* name, int32_t kind) {
    if (name == nullptr) return nullptr;
    CQVLibraryItem* item = library.Find(name, kind);
    if (item != nullptr) item->shared = 1;
    return item;
}

std::vector<uint32_t> CQVEngine::FindItemsByPrefix(const char* prefix, uint32_t length, int32_t kind) {
    std::vector<uint32_t> ids;
    if (prefix == nullptr) return ids;
    for (uint32_t id = 0; id < library.GetSlotCount(); ++id) {
        const CQVLibraryItem* item = library.At(id);
        if (item != nullptr && KindMatches(item, kind) && PrefixMatches(item->name, prefix, length)) ids.push_back(id);
    }
    return ids;
}

CQVLibraryItem* CQVEngine::AcquireItemByName(const char* name, int32_t kind, uint32_t copy, uint32_t soundFlags) {
    const CQVLibraryItem* item = name != nullptr ? library.Find(name, kind) : nullptr;
    return item != nullptr ? AcquireItem(item->id, kind, copy, soundFlags) : nullptr;
}

CQVLibraryItem* CQVEngine::AcquireItem(uint32_t id, int32_t kind, uint32_t copy, uint32_t soundFlags) {
    CQVLibraryItem* item = library.At(id);
    if (item == nullptr || !KindMatches(item, kind)) return nullptr;
    if (copy && kItemCopiers[item->kind] != nullptr) return kItemCopiers[item->kind](item, soundFlags);
    if (item->kind == LIBRARY_FONT) item->Load();
    item->shared = 1;
    return item;
}

int CQVEngine::CreateItemTexture(CQVTextureItem* item) {
    if (item == nullptr) return SetError("Error: Create Texture Library Item Texture");
    LibraryCall_ReleaseTexture(item->texture);
    item->texture = nullptr;
    const std::string path = item->GetFullPath();
    if (EndsWith(path, ".avi") || EndsWith(path, ".mpg")) {
        // A movie that does not play leaves the texture empty; the item still counts as made.
        item->texture = LibraryCall_CreateVideoTexture(path);
        return 1;
    }
    const TextureRequest request = Library_GetTextureRequest(*item, path, textureFormat, textureDivisor);
    item->texture = LibraryCall_CreateTexture(path, request.width, request.height, request.format, item->mipLevels);
    return item->texture != nullptr ? 1 : 0;
}

TextureRequest Library_GetTextureRequest(const CQVTextureItem& item, const std::string& path, uint32_t formatCode,
                                         uint32_t divisor) {
    TextureRequest request{0, 0, D3DFMT_UNKNOWN};
    if (divisor == 0) divisor = 1;
    if (item.textureType < kTextureTypeOwnSize || divisor >= 5) {
        request.width = DividedSide(item.width, divisor);
        request.height = DividedSide(item.height, divisor);
    }
    if (item.textureType != kTextureTypeOwnFormat)
        request.format = kTextureFormats[formatCode < 4 ? formatCode : 0][EndsWith(path, ".tga") ? 1 : 0];
    return request;
}

int CQVEngine::CreateItemSound(CQVSoundItem* item) {
    if (item == nullptr) return SetError("Error: Create Sound Library Sound");
    if (!soundEnabled) return 1;
    LibraryCall_ReleaseSound(item->buffer);
    item->buffer = LibraryCall_CreateSound(item->GetFullPath(), (item->flags & CQVSoundItem::SOUND_WHOLE_FILE) != 0,
                                           (item->flags & CQVSoundItem::SOUND_3D) != 0);
    if (item->buffer == nullptr) return SetError("%s", LibraryCall_GetSoundError());
    return 1;
}

void CQVEngine::ReleaseDeviceFonts() {
    for (uint32_t id = 0; id < library.GetSlotCount(); ++id) {
        const CQVLibraryItem* item = library.At(id);
        if (item != nullptr && item->kind == LIBRARY_FONT)
            LibraryCall_InvalidateFont(static_cast<const CQVFontItem*>(item)->rasterizer);
    }
    if (g_DefaultFont != nullptr && library.At(g_DefaultFont->id) != g_DefaultFont)
        LibraryCall_InvalidateFont(g_DefaultFont->rasterizer);
}

uint32_t CQVEngine::GetTextureHeight(const CQVTextureItem* item) const { return item != nullptr ? item->height : 0; }

int CQVEngine::PlayMovie(const char* name) {
    return LibraryCall_OpenMovie(baseFolder + "\\Data\\" + (name != nullptr ? name : "") + ".mpg");
}

int CQVEngine::UpdateMovie() { return LibraryCall_UpdateMovie(); }

void CQVEngine::StopMovie() { LibraryCall_CloseMovie(); }

void TextureItem_Bind(const CQVTextureItem* item, uint32_t stage) {
    LibraryCall_BindTexture(item != nullptr ? item->texture : nullptr, stage);
}

void TextureItem_RestartVideo(CQVTextureItem* item) {
    if (item == nullptr) return;
    LibraryCall_RewindVideo(item->texture);
    LibraryCall_PlayVideo(item->texture);
}

void TextureItem_StopVideo(CQVTextureItem* item) {
    if (item != nullptr) LibraryCall_RewindVideo(item->texture);
}
