// Writes the font fuzzer's seed files: font items as the library stores
// them after their kind and id, rasterised from faces the content names or
// carrying their own cells. Usage: qv_make_font_seeds <folder>

#include "kernel/base/Archive.h"
#include "services/library/Library.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MemoryFolder.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The item's bytes without the kind and id that the library reads first.
std::vector<uint8_t> ItemBytes(CQVFontItem& item) {
    MemoryFolder folder;
    CQVArchive archive;
    archive.fileSystem = &folder;
    if (!archive.Open("item", "wb") || item.Serialize(&archive, SERIALIZE_WRITE, LIBRARY_FILE_VERSION) != 1) return {};
    archive.Close();
    const std::vector<uint8_t>* bytes = folder.Find("item");
    if (bytes == nullptr || bytes->size() < 8) return {};
    return std::vector<uint8_t>(bytes->begin() + 8, bytes->end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_font_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const struct {
        const char* file;
        const char* face;
        uint32_t size, flags, spacing;
        const char* characterSet;
        bool storedCells;
    } seeds[] = {
        {"console.font", "Lucida Console", 6, 0, 0, "", false},
        {"arial_bold.font", "Arial", 12, 1, 1, "", false},
        {"italic_set.font", "Times New Roman", 18, 2, 2, "0123456789:.", false},
        {"stored_cells.font", "Arial", 10, 0, 0, "AB", true},
    };
    bool ok = true;
    for (const auto& seed : seeds) {
        CQVFontItem item;
        item.id = 1;
        item.name = seed.file;
        item.faceName = seed.face;
        item.size = seed.size;
        item.flags = seed.flags;
        item.spacing = seed.spacing;
        item.characterSet = seed.characterSet;
        if (seed.storedCells) {
            item.textureId = 2;
            item.metrics.characterCount = 2;
            item.metrics.textureWidth = item.metrics.textureHeight = 64;
            item.metrics.characterSet[0] = 'A';
            item.metrics.characterSet[1] = 'B';
            item.metrics.glyphs = {GlyphRect{0.0f, 0.0f, 0.25f, 0.25f}, GlyphRect{0.25f, 0.0f, 0.5f, 0.25f}};
        }
        const std::vector<uint8_t> bytes = ItemBytes(item);
        ok = !bytes.empty() && ImageWriter_Save((folder / seed.file).string(), bytes) && ok;
    }
    if (!ok) std::fprintf(stderr, "qv_make_font_seeds: a seed could not be written\n");
    return ok ? 0 : 1;
}
