// Any bytes as the resource library: the reader either refuses them with one
// of its error texts, keeping only whole items, or gives a table whose items
// hold the values the reader promises (fonts within the rasteriser's
// buffers, sound groups among the 32 volumes, materials with buckets).
// Whatever it gives writes back and reads again to the same bytes, and every
// item is found by its own name.

#include "fuzz/files/FuzzCheck.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tools/content/MemoryFolder.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool StartsWith(const char* text, const char* start) { return std::strncmp(text, start, std::strlen(start)) == 0; }

void CheckItem(const CQVLibraryItem* item, uint32_t id, uint32_t version) {
    Check(item->id == id);
    Check(item->kind < LIBRARY_KIND_LIMIT && item->kind != 3);
    Check(item->loaded == 0);
    switch (item->kind) {
    case LIBRARY_TEXTURE:
        if (version < 3) Check(static_cast<const CQVTextureItem*>(item)->textureType != 0);
        break;
    case LIBRARY_MESH:
        for (const SubsetInfo& info : static_cast<const CQVMeshItem*>(item)->subsetInfos) {
            Check(info.shapeParam != 0);
            if (version < 7) Check(info.lightMapId == -1);
        }
        break;
    case LIBRARY_SOUND: {
        const auto* sound = static_cast<const CQVSoundItem*>(item);
        Check(sound->group < 32);
        Check(sound->sourceId == LIBRARY_NO_ITEM);
        if (version < 5) Check(sound->volume == 1.0f);
        break;
    }
    case LIBRARY_MATERIAL:
        Check(static_cast<const CQVMaterialItem*>(item)->bucketMask != 0);
        break;
    case LIBRARY_MOTION: {
        const auto* motion = static_cast<const CQVMotionItem*>(item);
        Check(motion->trackCount == motion->tracks.size());
        break;
    }
    case LIBRARY_FONT: {
        const auto* font = static_cast<const CQVFontItem*>(item);
        Check(font->faceName.size() < FONT_FACE_CAPACITY);
        Check(font->characterSet.size() <= FONT_CHARACTER_CAPACITY);
        Check(font->metrics.characterCount <= FONT_CHARACTER_CAPACITY);
        Check(font->metrics.glyphs.size() == (font->HasStoredMetrics() ? font->metrics.characterCount : 0u));
        break;
    }
    default:
        break;
    }
}

std::vector<uint8_t> WriteBack(uint32_t version) {
    static MemoryFolder folder;
    CQVArchive archive;
    archive.fileSystem = &folder;
    Check(archive.Open("again.edo", "wb") != 0);
    Check(Library_Write(&archive, g_Library, CQVEngine::GetInstance()->worldScale, version) == 1);
    Check(archive.Close() == 0);
    return *folder.Find("again.edo");
}

int ReadBytes(const std::vector<uint8_t>& bytes) {
    static FixedMemoryFileSystem file;
    file.bytes = bytes;
    CQVArchive archive;
    archive.fileSystem = &file;
    Check(archive.Open(LIBRARY_FILE_NAME, "rb") != 0);
    return Library_Read(&archive, SERIALIZE_READ);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Check(CQVEngine::Create() == 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Library_Reset();
    CQVEngine* engine = CQVEngine::GetInstance();
    engine->worldScale = 100.0f;
    engine->inverseWorldScale = 0.01f;
    CQVEngine::SetError("%s", "");
    if (ReadBytes(std::vector<uint8_t>(data, data + size)) != 1) {
        const char* error = engine->GetErrorText();
        Check(StartsWith(error, "Fatal Library Serialization Error"));
        Library_Reset();
        return 0;
    }
    Check(engine->worldScale > 0.0f);
    const uint32_t version = g_Library.fileVersion;
    Check(version >= 1 && version <= LIBRARY_FILE_VERSION);
    for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) {
        const CQVLibraryItem* item = g_Library.At(id);
        if (item == nullptr) continue;
        CheckItem(item, id, version);
        const CQVLibraryItem* found = g_Library.Find(item->name, static_cast<int32_t>(item->kind));
        Check(found != nullptr && found->id <= id && Library_NamesEqual(found->name, item->name));
    }
    // What was read is what the writer writes: written at the file's own
    // version it reads back to the same table.
    const std::vector<uint8_t> written = WriteBack(version);
    Library_Reset();
    Check(ReadBytes(written) == 1);
    Check(WriteBack(version) == written);
    Library_Reset();
    return 0;
}
