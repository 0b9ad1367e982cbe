#pragma once
// Resource library files for the sample data, fixtures and our own data:
// the items are the engine's own item classes, filled in by the caller, and
// the file is written by the engine's own library writer, at the latest
// version or, for tests of older files, at any earlier one.

#include "services/library/Library.h"

#include <cstdint>
#include <string>
#include <vector>

class LibraryFile {
public:
    // Each puts a new item with its name and file name into slot id (an
    // item already there goes) and returns it for the caller to fill in;
    // null for an id outside the table.
    CQVTextureItem* AddTexture(uint32_t id, const std::string& name, const std::string& fileName, uint32_t width,
                               uint32_t height);
    CQVMeshItem* AddMesh(uint32_t id, const std::string& name, const std::string& fileName);
    CQVSoundItem* AddSound(uint32_t id, const std::string& name, const std::string& fileName);
    CQVMaterialItem* AddMaterial(uint32_t id, const std::string& name, std::vector<uint32_t> textureIds);
    CQVLightItem* AddLight(uint32_t id, const std::string& name);
    CQVMotionItem* AddMotion(uint32_t id, const std::string& name, const std::string& fileName);
    CQVFontItem* AddFont(uint32_t id, const std::string& name, const std::string& faceName, uint32_t size);

    // The whole file; empty when an item cannot be written.
    std::vector<uint8_t> Bytes(uint32_t version = LIBRARY_FILE_VERSION) const;
    // To a file on the disk (an engine path); false when it cannot be written.
    bool Write(const std::string& fileName, uint32_t version = LIBRARY_FILE_VERSION) const;

    LibraryState items;
    float worldScale = 100.0f;

private:
    template <typename Item>
    Item* Add(uint32_t id, const std::string& name, const std::string& fileName);
};
