#include "tools/content/LibraryFile.h"

#include "kernel/base/Archive.h"
#include "tools/content/MemoryFolder.h"

template <typename Item>
Item* LibraryFile::Add(uint32_t id, const std::string& name, const std::string& fileName) {
    if (id >= items.GetSlotCount()) return nullptr;
    Item* item = new Item();
    item->name = name;
    item->fileName = fileName;
    items.SetItem(id, item);
    return item;
}

CQVTextureItem* LibraryFile::AddTexture(uint32_t id, const std::string& name, const std::string& fileName,
                                        uint32_t width, uint32_t height) {
    CQVTextureItem* texture = Add<CQVTextureItem>(id, name, fileName);
    if (texture != nullptr) {
        texture->width = width;
        texture->height = height;
        texture->textureType = 1;
    }
    return texture;
}

CQVMeshItem* LibraryFile::AddMesh(uint32_t id, const std::string& name, const std::string& fileName) {
    return Add<CQVMeshItem>(id, name, fileName);
}

CQVSoundItem* LibraryFile::AddSound(uint32_t id, const std::string& name, const std::string& fileName) {
    return Add<CQVSoundItem>(id, name, fileName);
}

CQVMaterialItem* LibraryFile::AddMaterial(uint32_t id, const std::string& name, std::vector<uint32_t> textureIds) {
    CQVMaterialItem* material = Add<CQVMaterialItem>(id, name, std::string());
    if (material != nullptr) material->textureIds = std::move(textureIds);
    return material;
}

CQVLightItem* LibraryFile::AddLight(uint32_t id, const std::string& name) {
    return Add<CQVLightItem>(id, name, std::string());
}

CQVMotionItem* LibraryFile::AddMotion(uint32_t id, const std::string& name, const std::string& fileName) {
    return Add<CQVMotionItem>(id, name, fileName);
}

CQVFontItem* LibraryFile::AddFont(uint32_t id, const std::string& name, const std::string& faceName, uint32_t size) {
    CQVFontItem* font = Add<CQVFontItem>(id, name, std::string());
    if (font != nullptr) {
        font->faceName = faceName;
        font->size = size;
    }
    return font;
}

std::vector<uint8_t> LibraryFile::Bytes(uint32_t version) const {
    MemoryFolder folder;
    CQVArchive archive;
    archive.fileSystem = &folder;
    if (!archive.Open(LIBRARY_FILE_NAME, "wb") || !Library_Write(&archive, items, worldScale, version)) return {};
    if (archive.Close() != 0) return {};
    return *folder.Find(LIBRARY_FILE_NAME);
}

bool LibraryFile::Write(const std::string& fileName, uint32_t version) const {
    return Library_WriteFile(fileName, items, worldScale, version) == 1;
}
