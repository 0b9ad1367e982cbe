// The library file as read and written: every version's gates, the read
// rules of single fields, damaged and cut files, round trips.

#include "tests/services/library/LibraryFixture.h"
#include "tests/support/FileSizeLimit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <tuple>

#include <unistd.h>

namespace {

void PutWord(std::vector<uint8_t>* bytes, uint32_t value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes->insert(bytes->end(), p, p + 4);
}

void PutString(std::vector<uint8_t>* bytes, const std::string& text) {
    PutWord(bytes, static_cast<uint32_t>(text.size()));
    bytes->insert(bytes->end(), text.begin(), text.end());
}

// A version 7 header (world scale 100, no groups) and an item count.
std::vector<uint8_t> Header(uint32_t itemCount) {
    std::vector<uint8_t> bytes;
    for (uint32_t word : {7u, 0x42C80000u, 0u, 0u, 0u, 0u, 0u, itemCount}) PutWord(&bytes, word);
    return bytes;
}

// The stored base of an item: kind, id, third word, name, file and path, two zeros.
void PutBase(std::vector<uint8_t>* bytes, uint32_t kind, uint32_t id, const std::string& name) {
    for (uint32_t word : {kind, id, 0u}) PutWord(bytes, word);
    PutString(bytes, name);
    PutString(bytes, "");
    PutString(bytes, "");
    PutWord(bytes, 0);
    PutWord(bytes, 0);
}

void PutFloat(std::vector<uint8_t>* bytes, float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    PutWord(bytes, word);
}

// The items of LibraryFixture_AddEveryKind, written byte by byte from the
// file's layout at a version: only the fields that version stores. With
// junk, every word and string the reader drops holds something other
// than what the writer puts there.
std::vector<uint8_t> HandMadeEveryKind(uint32_t version, bool junk) {
    std::vector<uint8_t> b;
    const uint32_t dropped = junk ? 0xDEADBEEF : 0;
    const auto base = [&](uint32_t kind, uint32_t id, uint32_t third, const char* name, const char* file,
                          const char* path) {
        for (uint32_t word : {kind, id, third}) PutWord(&b, word);
        PutString(&b, name);
        PutString(&b, file);
        PutString(&b, path);
        PutWord(&b, dropped);
        PutWord(&b, dropped);
    };
    PutWord(&b, version);
    if (version >= 2) {
        PutFloat(&b, 50.0f);
        for (int i = 0; i < 4; ++i) PutWord(&b, dropped);
    }
    if (junk) {  // one group of two strings, read and dropped
        PutWord(&b, 1);
        PutWord(&b, 2);
        PutString(&b, "Group");
        PutString(&b, "Doors");
    } else {
        PutWord(&b, 0);
    }
    PutWord(&b, 7);  // items

    base(LIBRARY_TEXTURE, 5, 77, "Wall", "wall.tga", "textures\\wall.tga");
    for (uint32_t word : {11u, 12u, 3u, 0u, 256u, 128u}) PutWord(&b, word);  // kept words, mips, type, size

    base(LIBRARY_MESH, 6, 0, "Crate", "crate.qvm", "");
    PutWord(&b, 2);  // subset records
    // The first: type 2, second word 0 (read as 4), light map 5; the second as a new record.
    const struct {
        uint32_t type, second;
        float boxMinX, boxMaxZ, radius, outer;
        uint32_t lightMap;
    } records[] = {{2, 0, -1.0f, 3.0f, 4.0f, 6.0f, 5}, {0, 4, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFF}};
    for (const auto& r : records) {
        PutWord(&b, r.type);
        PutWord(&b, r.second);
        if (version >= 3) {
            for (float f : {r.boxMinX, 0.0f, 0.0f, 0.0f, 0.0f, r.boxMaxZ, 0.0f, 0.0f, 0.0f, r.radius, r.outer})
                PutFloat(&b, f);
        }
        PutWord(&b, r.lightMap);
        PutWord(&b, dropped);
        PutWord(&b, dropped);
    }
    PutWord(&b, 1);  // skinned
    if (version >= 4) PutWord(&b, 9);
    if (version >= 6) PutFloat(&b, 2.5f);

    base(LIBRARY_SOUND, 7, 0, "Door Open", "door.wav", "");
    PutWord(&b, 3);
    PutFloat(&b, 0.5f);
    PutWord(&b, 4);

    base(LIBRARY_MATERIAL, 8, 0, "Brick", "", "");
    // Diffuse, ambient, specular, emissive (r, g, b, a), power.
    for (float f : {1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1.0f,
                    12.0f})
        PutFloat(&b, f);
    // Specular enable, use alpha, W1, two texture ids, blend, collision
    // material, flags A and B, W2, fog, W3, collision flags, buckets.
    for (uint32_t word : {1u, 1u, 21u, 2u, 5u, 6u, 2u, 3u, 1u, 1u, 22u, 0u, 23u, 7u, 32u}) PutWord(&b, word);
    PutWord(&b, dropped);

    base(LIBRARY_LIGHT, 9, 5, "Lamp", "", "");

    base(LIBRARY_MOTION, 10, 0, "Walk", "walk.mot", "");
    PutWord(&b, 0);  // tracks

    base(LIBRARY_FONT, 11, 0, "Small", "", "");
    PutString(&b, "Lucida Console");
    PutString(&b, "ABC");
    for (uint32_t word : {8u, dropped, 1u, 5u, 2u}) PutWord(&b, word);  // size, dropped, flags, texture, spacing
    PutFloat(&b, 2.0f);                                                   // the stored metrics
    for (uint32_t word : {64u, 128u, 3u}) PutWord(&b, word);
    PutFloat(&b, 1.0f);
    uint8_t characters[256] = {'A', 'B', 'C'};
    b.insert(b.end(), characters, characters + sizeof characters);
    for (float f : {0.0f, 0.0f, 0.25f, 0.5f, 0.25f, 0.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.75f, 0.5f}) PutFloat(&b, f);
    return b;
}

// The content writer writes each version as the layout gives it: an error
// made alike in the writer and the reader would pass their round trips.
TEST_F(LibraryFixture, TheWriterWritesEachVersionByTheLayout) {
    LibraryFile file;
    file.worldScale = 50.0f;
    LibraryFixture_AddEveryKind(&file);
    for (uint32_t version = 1; version <= LIBRARY_FILE_VERSION; ++version) {
        const std::vector<uint8_t> written = file.Bytes(version);
        const std::vector<uint8_t> expected = HandMadeEveryKind(version, false);
        const auto [a, e] = std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
        EXPECT_TRUE(a == written.end() && e == expected.end())
            << "version " << version << " differs at byte " << (a - written.begin()) << " of " << written.size()
            << " (expected " << expected.size() << ")";
    }
}

class LibraryVersions : public LibraryFixture, public testing::WithParamInterface<std::tuple<uint32_t, bool>> {};

// Each version reads what it stores and gives the later fields their
// defaults: a file of the content writer, and one made byte by byte with
// something else in every word the reader drops.
TEST_P(LibraryVersions, ReadsEveryKindThroughTheVersionGates) {
    const auto [version, handMade] = GetParam();
    LibraryFile file;
    file.worldScale = 50.0f;
    LibraryFixture_AddEveryKind(&file);
    ASSERT_EQ(Read(handMade ? HandMadeEveryKind(version, true) : file.Bytes(version)), 1) << Error();
    EXPECT_EQ(ItemCount(), 7u);
    EXPECT_EQ(g_Library.fileVersion, version);

    // The world scale came with version 2; version 1 keeps the engine's.
    EXPECT_EQ(engine()->worldScale, version >= 2 ? 50.0f : 100.0f);
    EXPECT_EQ(engine()->inverseWorldScale, version >= 2 ? 0.02f : 0.01f);

    const auto* texture = ItemAt<CQVTextureItem>(5);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->kind, LIBRARY_TEXTURE);
    EXPECT_EQ(texture->id, 5u);
    EXPECT_EQ(texture->name, "Wall");
    EXPECT_EQ(texture->fileName, "wall.tga");
    EXPECT_EQ(texture->path, "textures\\wall.tga");
    EXPECT_EQ(texture->thirdWord, 77u);
    EXPECT_EQ(texture->textureType, version < 3 ? 1u : 0u);
    EXPECT_EQ(texture->mipLevels, 3u);
    EXPECT_EQ(texture->words[0] + texture->words[1], 23u);
    EXPECT_EQ(texture->width, 256u);
    EXPECT_EQ(texture->height, 128u);
    EXPECT_EQ(texture->loaded + texture->shared, 0u);

    const auto* mesh = ItemAt<CQVMeshItem>(6);
    ASSERT_EQ(mesh->subsetInfos.size(), 2u);
    const SubsetInfo& info = mesh->subsetInfos[0];
    EXPECT_EQ(info.shapeType, 2u);
    EXPECT_EQ(info.shapeParam, 4u);  // a stored 0
    EXPECT_EQ(mesh->subsetInfos[1].shapeParam, 4u);
    EXPECT_EQ(info.lightMapId, version >= 7 ? 5 : -1);
    EXPECT_EQ(info.box.min.x, version >= 3 ? -1.0f : 0.0f);
    EXPECT_EQ(info.box.max.z, version >= 3 ? 3.0f : 0.0f);
    EXPECT_EQ(info.sphere.radius, version >= 3 ? 4.0f : 0.0f);
    EXPECT_EQ(info.outerRadius, version >= 3 ? 6.0f : 0.0f);
    EXPECT_EQ(mesh->skinned, 1u);
    EXPECT_EQ(mesh->frameWord, version >= 4 ? 9u : 0u);
    EXPECT_EQ(mesh->scale, version >= 6 ? 2.5f : 1.0f);

    const auto* sound = ItemAt<CQVSoundItem>(7);
    EXPECT_EQ(sound->flags, 3u);
    EXPECT_EQ(sound->volume, version >= 5 ? 0.5f : 1.0f);
    EXPECT_EQ(sound->group, 4u);
    EXPECT_EQ(sound->sourceId, LIBRARY_NO_ITEM);

    const auto* material = ItemAt<CQVMaterialItem>(8);
    EXPECT_EQ(material->textureIds, (std::vector<uint32_t>{5, 6}));
    EXPECT_EQ(material->material.Power, 12.0f);
    EXPECT_EQ(material->material.Emissive.b, 0.75f);
    EXPECT_EQ(material->material.Diffuse.r, 1.0f);
    EXPECT_EQ(material->material.Diffuse.a, 0.0f);
    const uint32_t words[] = {material->specularEnable, material->useAlpha,     material->word1,
                              material->blendIndex,     material->stateFlagA,   material->stateFlagB,
                              material->fogFlag,        material->word2,        material->collisionMaterial,
                              material->word3,          material->collisionFlags, material->bucketMask};
    const uint32_t expected[] = {1, 1, 21, 2, 1, 1, 0, 22, 3, 23, 7, 32};
    EXPECT_EQ(0, std::memcmp(words, expected, sizeof words));

    const auto* light = ItemAt<CQVLightItem>(9);
    EXPECT_EQ(light->thirdWord, 5u);
    EXPECT_EQ(light->light.Type, static_cast<uint32_t>(D3DLIGHT_POINT));
    EXPECT_EQ(light->light.Range, 200.0f);

    const auto* motion = ItemAt<CQVMotionItem>(10);
    EXPECT_EQ(motion->fileName, "walk.mot");
    EXPECT_TRUE(motion->tracks.empty());

    const auto* font = ItemAt<CQVFontItem>(11);
    EXPECT_EQ(font->faceName, "Lucida Console");
    EXPECT_EQ(font->characterSet, "ABC");
    EXPECT_EQ(font->size, 8u);
    EXPECT_EQ(font->flags, 1u);
    EXPECT_EQ(font->spacing, 2u);
    EXPECT_EQ(font->textureId, 5u);
    EXPECT_EQ(font->metrics.textureWidth, 128u);
    EXPECT_EQ(font->metrics.characterCount, 3u);
    ASSERT_EQ(font->metrics.glyphs.size(), 3u);
    EXPECT_EQ(font->metrics.glyphs[2].u1, 0.75f);
    EXPECT_EQ(font->metrics.characterSet[1], 'B');
}

INSTANTIATE_TEST_SUITE_P(AllVersions, LibraryVersions, testing::Combine(testing::Range(1u, 8u), testing::Bool()));

// A file our writer made reads and writes back to the same bytes, at the
// latest version and after reading any older one.
TEST_F(LibraryFixture, WriteReadWriteKeepsEveryByte) {
    LibraryFile file;
    LibraryFixture_AddEveryKind(&file);
    // As the reader leaves it: a stored parameter of 0 would read as 4.
    static_cast<CQVMeshItem*>(file.items.At(6))->subsetInfos[0].shapeParam = 4;
    file.items.headerWords[2] = 99;
    file.items.groups = {{"Level 1", "Walls"}, {}, {"Sounds"}};
    const std::vector<uint8_t> bytes = file.Bytes();
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(Read(bytes), 1) << Error();
    EXPECT_EQ(g_Library.groups, file.items.groups);
    EXPECT_EQ(Written(), bytes);

    for (uint32_t version = 1; version < LIBRARY_FILE_VERSION; ++version) {
        Library_Reset();
        ASSERT_EQ(Read(file.Bytes(version)), 1) << version;
        const std::vector<uint8_t> upgraded = Written();
        Library_Reset();
        ASSERT_EQ(Read(upgraded), 1) << version;
        EXPECT_EQ(Written(), upgraded) << version;
    }
}

struct MaskCase {
    uint32_t storedMask, useAlpha, blendIndex, expected;
};

class MaterialMask : public LibraryFixture, public testing::WithParamInterface<MaskCase> {};

// A material without buckets draws opaque, or blended when it uses alpha or blends.
TEST_P(MaterialMask, GetsItsBucketsFromAlphaAndBlending) {
    const MaskCase c = GetParam();
    LibraryFile file;
    CQVMaterialItem* material = file.AddMaterial(3, "M", {});
    material->bucketMask = c.storedMask;
    material->useAlpha = c.useAlpha;
    material->blendIndex = c.blendIndex;
    ASSERT_EQ(Read(file.Bytes()), 1);
    EXPECT_EQ(ItemAt<CQVMaterialItem>(3)->bucketMask, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MaterialMask,
                         testing::Values(MaskCase{0, 0, 2, 128}, MaskCase{0, 0, 0, 8}, MaskCase{0, 1, 0, 128},
                                         MaskCase{32, 1, 3, 32}, MaskCase{8, 0, 5, 8}));

// Kind 3 and kinds above 7 end the read; what came before stays.
TEST_F(LibraryFixture, UnknownKindsEndTheReadAfterTheItemsBefore) {
    for (uint32_t kind : {3u, 8u, 0xFFFFFFFFu}) {
        Library_Reset();
        std::vector<uint8_t> bytes = Header(3);
        PutBase(&bytes, LIBRARY_LIGHT, 40, "Before");
        PutBase(&bytes, kind, 41, "Unknown");
        PutBase(&bytes, LIBRARY_LIGHT, 42, "After");
        EXPECT_EQ(Read(bytes), 0);
        EXPECT_EQ(Error(), "Fatal Library Serialization Error - Unknown Class ID") << kind;
        ASSERT_NE(g_Library.At(40), nullptr);
        EXPECT_EQ(g_Library.At(41), nullptr);
        EXPECT_EQ(g_Library.At(42), nullptr);
    }
}

// Ids name slots of a table of 7000: an id beyond it refuses the file there.
TEST_F(LibraryFixture, AnIdBeyondTheTableRefusesTheFile) {
    for (uint32_t id : {7000u, 6999u, 0xFFFFFFFFu}) {
        Library_Reset();
        std::vector<uint8_t> bytes = Header(2);
        PutBase(&bytes, LIBRARY_LIGHT, 1, "First");
        PutBase(&bytes, LIBRARY_LIGHT, id, "Far");
        if (id < kLibraryItemSlots) {
            EXPECT_EQ(Read(bytes), 1);
            EXPECT_EQ(g_Library.At(id)->name, "Far");
        } else {
            EXPECT_EQ(Read(bytes), 0);
            EXPECT_EQ(Error().rfind("Fatal Library Serialization Error", 0), 0u) << Error();
            EXPECT_NE(Error().find("Out Of Range"), std::string::npos);
            EXPECT_NE(g_Library.At(1), nullptr);
        }
        EXPECT_EQ(g_Library.GetSlotCount(), kLibraryItemSlots);
    }
}

// A later item with an id already read takes its slot.
TEST_F(LibraryFixture, ALaterItemTakesTheSlotOfAnEarlierOne) {
    std::vector<uint8_t> bytes = Header(2);
    PutBase(&bytes, LIBRARY_LIGHT, 12, "First");
    PutBase(&bytes, LIBRARY_LIGHT, 12, "Second");
    ASSERT_EQ(Read(bytes), 1);
    EXPECT_EQ(g_Library.At(12)->name, "Second");
    EXPECT_EQ(engine()->FindItem("First", -1), nullptr);
    EXPECT_EQ(engine()->FindItem("second", -1), g_Library.At(12));
}

// A file cut anywhere fails with the damaged-file text and keeps exactly
// the items that lie whole before the cut.
TEST_F(LibraryFixture, AFileCutAnywhereKeepsTheWholeItemsBeforeTheCut) {
    LibraryFile file;
    file.items.groups = {{"Group", "Of Two"}};
    LibraryFixture_AddEveryKind(&file);
    const std::vector<uint8_t> bytes = file.Bytes();
    // Where each item ends: the file with the items up to it is that long.
    std::vector<size_t> itemEnds;
    {
        LibraryFile partial;
        partial.items.groups = file.items.groups;
        LibraryFixture_AddEveryKind(&partial);
        std::vector<uint32_t> ids;
        for (uint32_t id = 0; id < partial.items.GetSlotCount(); ++id) {
            if (partial.items.At(id) != nullptr) ids.push_back(id);
        }
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
            itemEnds.insert(itemEnds.begin(), partial.Bytes().size());
            delete partial.items.TakeItem(*it);
        }
    }
    ASSERT_EQ(itemEnds.back(), bytes.size());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        Library_Reset();
        const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        ASSERT_EQ(Read(head), 0) << "cut at " << cut;
        ASSERT_EQ(Error(), "Fatal Library Serialization Error") << "cut at " << cut;
        const uint32_t whole =
            static_cast<uint32_t>(std::upper_bound(itemEnds.begin(), itemEnds.end(), cut) - itemEnds.begin());
        ASSERT_EQ(ItemCount(), whole) << "cut at " << cut;
    }
}

// Header damage gives the damaged-file text, never a large allocation.
TEST_F(LibraryFixture, DamagedHeadersAreRefused) {
    const auto header = [](uint32_t version, float scale, std::vector<uint32_t> rest) {
        std::vector<uint8_t> bytes;
        PutWord(&bytes, version);
        uint32_t scaleWord;
        std::memcpy(&scaleWord, &scale, 4);
        for (uint32_t word : {scaleWord, 0u, 0u, 0u, 0u}) PutWord(&bytes, word);
        for (uint32_t word : rest) PutWord(&bytes, word);
        return bytes;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<uint8_t>> files = {
        header(0, 100.0f, {0, 0}),                      // no version 0
        header(8, 100.0f, {0, 0}),                      // nor beyond the latest
        header(7, 0.0f, {0, 0}),                        // a world scale must divide
        header(7, -5.0f, {0, 0}),                       //
        header(7, nan, {0, 0}),                         //
        header(7, 100.0f, {0xFFFFFFFF}),                // more groups than bytes
        header(7, 100.0f, {1, 0x40000000}),             // more strings than bytes
        header(7, 100.0f, {1, 1, 0x7FFFFFF0}),          // a string longer than the file
        header(7, 100.0f, {0}),                         // no item count
        header(7, 100.0f, {0, 0x7FFFFFFF, 5}),          // items that are not there
    };
    for (size_t i = 0; i < files.size(); ++i) {
        Library_Reset();
        EXPECT_EQ(Read(files[i]), 0) << i;
        EXPECT_EQ(Error(), "Fatal Library Serialization Error") << i;
    }
}

TEST_F(LibraryFixture, StoredCountsBeyondTheFileFailTheItem) {
    // A mesh claiming more subset records than the file holds, a material
    // more texture ids, a motion more tracks.
    for (uint32_t kind : {LIBRARY_MESH, LIBRARY_MATERIAL, LIBRARY_MOTION}) {
        Library_Reset();
        std::vector<uint8_t> bytes = Header(1);
        PutBase(&bytes, kind, 2, "Liar");
        if (kind == LIBRARY_MATERIAL) bytes.resize(bytes.size() + 68 + 12, 0);
        PutWord(&bytes, 0x10000000);
        bytes.resize(bytes.size() + 64, 0);
        EXPECT_EQ(Read(bytes), 0) << kind;
        EXPECT_EQ(g_Library.At(2), nullptr);
    }
}

// A font item naming texture item 2, with the face, character set and
// stored glyph count given, and that many glyph cells.
std::vector<uint8_t> FontFile(const std::string& face, const std::string& characters, uint32_t glyphCount) {
    std::vector<uint8_t> bytes = Header(1);
    PutBase(&bytes, LIBRARY_FONT, 4, "Font");
    PutString(&bytes, face);
    PutString(&bytes, characters);
    for (uint32_t word : {8u, 0u, 0u, 2u, 1u}) PutWord(&bytes, word);  // size, unused, flags, texture, spacing
    for (uint32_t word : {0x3F800000u, 64u, 64u, glyphCount, 0x3F800000u}) PutWord(&bytes, word);
    bytes.resize(bytes.size() + 256 + static_cast<size_t>(glyphCount) * 16, 0);
    return bytes;
}

// A font's stored metrics and names must fit the rasteriser's buffers.
TEST_F(LibraryFixture, FontsThatDoNotFitTheRasteriserAreRefused) {
    struct Case {
        size_t faceLength, characterCount;
        uint32_t glyphCount;
        bool reads;
    };
    const Case cases[] = {
        {511, 256, 256, true},  {512, 3, 3, false},  {5, 257, 3, false},
        {5, 3, 257, false},     {0, 0, 0, true},
    };
    for (const Case& c : cases) {
        Library_Reset();
        const std::vector<uint8_t> bytes =
            FontFile(std::string(c.faceLength, 'F'), std::string(c.characterCount, 'c'), c.glyphCount);
        EXPECT_EQ(Read(bytes), c.reads ? 1 : 0) << c.faceLength << " " << c.characterCount << " " << c.glyphCount;
        EXPECT_EQ(g_Library.At(4) != nullptr, c.reads);
        if (c.reads) {
            EXPECT_EQ(ItemAt<CQVFontItem>(4)->metrics.glyphs.size(), c.glyphCount);
        }
    }
}

TEST_F(LibraryFixture, FontsWithoutATextureStoreNoMetrics) {
    for (uint32_t textureId : {LIBRARY_NO_ITEM, 0u}) {
        Library_Reset();
        LibraryFile file;
        CQVFontItem* font = file.AddFont(4, "Font", "Face", 8);
        font->textureId = textureId;
        font->metrics.characterCount = 2;
        font->metrics.glyphs.resize(2);
        // Base, two strings of 4 and 0 bytes, five words: nothing after them.
        const std::vector<uint8_t> bytes = file.Bytes();
        // The base (kind, id, third word, name, file, path, two words), then
        // face, character set and five words.
        EXPECT_EQ(bytes.size(), Header(1).size() + (8 + 4 + (4 + 4) + 4 + 4 + 8) + ((4 + 4) + 4 + 5 * 4));
        ASSERT_EQ(Read(bytes), 1);
        EXPECT_EQ(ItemAt<CQVFontItem>(4)->metrics.characterCount, 0u);
    }
}

// The sound group indexes the 32 group volumes.
TEST_F(LibraryFixture, SoundGroupsOutsideTheVolumesReadAsGroupZero) {
    LibraryFile file;
    file.AddSound(1, "In", "a.wav")->group = 31;
    file.AddSound(2, "Out", "b.wav")->group = 32;
    file.AddSound(3, "Far", "c.wav")->group = 0xFFFFFFFF;
    ASSERT_EQ(Read(file.Bytes()), 1);
    EXPECT_EQ(ItemAt<CQVSoundItem>(1)->group, 31u);
    EXPECT_EQ(ItemAt<CQVSoundItem>(2)->group, 0u);
    EXPECT_EQ(ItemAt<CQVSoundItem>(3)->group, 0u);
}

// Mode 0 loads each item as it is read: without sound a sound item loads
// without a buffer, and the items that load nothing read as in mode 1.
TEST_F(LibraryFixture, ReadingWithLoadsLoadsEachItem) {
    engine()->soundEnabled = 0;
    LibraryFile file;
    file.AddSound(1, "Quiet", "quiet.wav");
    file.AddLight(2, "Lamp");
    file.AddMaterial(3, "Plain", {});
    ASSERT_EQ(Read(file.Bytes(), SERIALIZE_READ_LOAD), 1) << Error();
    EXPECT_EQ(g_Library.At(1)->loaded, 1u);
    EXPECT_EQ(ItemAt<CQVSoundItem>(1)->buffer, nullptr);
    EXPECT_EQ(Read(file.Bytes(), SERIALIZE_READ), 1);
    EXPECT_EQ(g_Library.At(1)->loaded, 0u);
}

class LibraryOnDisk : public LibraryFixture {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        LibraryFixture::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("qv_library_" + std::to_string(::getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        engine()->SetBaseFolder(dir.string());
    }
    void TearDown() override {
        engine()->SetBaseFolder("");
        std::filesystem::remove_all(dir);
        LibraryFixture::TearDown();
    }
    static std::vector<uint8_t> Load(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(LibraryOnDisk, AMissingFileCannotBeOpened) {
    EXPECT_EQ(engine()->SerializeLibrary(SERIALIZE_READ), 0);
    EXPECT_EQ(Error(), "Serialize File Open Error");
}

// The game's library written back: the old file is kept as the backup
// first, and the new one holds the table with the engine's world scale.
TEST_F(LibraryOnDisk, WritingKeepsTheOldFileAsBackup) {
    LibraryFile file;
    file.worldScale = 40.0f;
    LibraryFixture_AddEveryKind(&file);
    ASSERT_TRUE(file.Write((dir / "DARarezev.edo").string()));
    EXPECT_FALSE(std::filesystem::exists(dir / "QVLibrary_Bak.qvf"));
    const std::vector<uint8_t> original = Load(dir / "DARarezev.edo");
    EXPECT_EQ(original, file.Bytes());

    ASSERT_EQ(engine()->SerializeLibrary(SERIALIZE_READ), 1) << Error();
    EXPECT_EQ(engine()->worldScale, 40.0f);
    g_Library.At(9)->name = "Renamed Lamp";
    g_Library.Reindex(9);
    ASSERT_EQ(engine()->SerializeLibrary(SERIALIZE_WRITE), 1) << Error();
    EXPECT_EQ(Load(dir / "QVLibrary_Bak.qvf"), original);
    EXPECT_FALSE(std::filesystem::exists(dir / "DARarezev.edo.tmp"));

    Library_Reset();
    ASSERT_EQ(engine()->SerializeLibrary(SERIALIZE_READ), 1) << Error();
    EXPECT_EQ(g_Library.At(9)->name, "Renamed Lamp");
    EXPECT_EQ(Written().size(), original.size() + 8);
}


// A write that runs out of room (as on a full disk) fails and leaves the
// old file as it was, even when every byte of the new one waits in the
// buffers until the end; no temporary file stays behind.
TEST_F(LibraryOnDisk, AWriteThatCannotFinishKeepsTheOldFile) {
    LibraryFile file;
    LibraryFixture_AddEveryKind(&file);
    ASSERT_TRUE(file.Write((dir / "DARarezev.edo").string()));
    const std::vector<uint8_t> original = Load(dir / "DARarezev.edo");
    ASSERT_EQ(engine()->SerializeLibrary(SERIALIZE_READ), 1) << Error();
    for (uint32_t id = 1000; id < 1400; ++id) {
        CQVLibraryItem* item = LibraryItem_Create(LIBRARY_LIGHT);
        item->name = "A light with a rather long name " + std::to_string(id);
        g_Library.SetItem(id, item);
    }
    constexpr rlim_t kRoom = 8192;
    ASSERT_LT(original.size(), kRoom);

    const int written = FileSizeLimit_Run(kRoom, [&] { return engine()->SerializeLibrary(SERIALIZE_WRITE); });

    EXPECT_EQ(written, 0);
    EXPECT_EQ(Load(dir / "DARarezev.edo"), original);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DARarezev.edo", "QVLibrary_Bak.qvf"})) << "no temporary file is left";
}
}  // namespace
