// Reaching library items: lookups, acquiring shared items and private
// copies, the texture and sound requests of items, loading and unloading.

#include "tests/services/library/LibraryFixture.h"

namespace {

class LibraryAccess : public LibraryFixture {
protected:
    // Items 1 to 6: a texture, a sound, a material on the texture, a motion,
    // a light and a font; item 20 a second "Rock" of another kind.
    void SetUp() override {
        LibraryFixture::SetUp();
        LibraryFile file;
        file.AddTexture(1, "Rock", "rock.bmp", 64, 64);
        CQVSoundItem* sound = file.AddSound(2, "Step_Gravel", "step.wav");
        sound->volume = 0.25f;
        sound->group = 6;
        CQVMaterialItem* material = file.AddMaterial(3, "Step_Stone", {1});
        material->blendIndex = 3;
        material->bucketMask = 128;
        file.AddMotion(4, "Walk", "walk.mot");
        file.AddLight(5, "Lamp");
        file.AddFont(6, "Small", "", 8);
        file.AddSound(20, "ROCK", "rock.wav");
        ASSERT_EQ(Read(file.Bytes()), 1) << Error();
    }
};

TEST_F(LibraryAccess, FindsByNameIgnoringCaseInIdOrder) {
    EXPECT_EQ(engine()->FindItem("rock", -1), g_Library.At(1));
    EXPECT_EQ(engine()->FindItem("rOCK", LIBRARY_SOUND), g_Library.At(20));
    EXPECT_EQ(engine()->FindItem("Rock", LIBRARY_TEXTURE), g_Library.At(1));
    EXPECT_EQ(engine()->FindItem("Rock", LIBRARY_MESH), nullptr);
    EXPECT_EQ(engine()->FindItem("Roc", -1), nullptr);
    EXPECT_EQ(engine()->FindItem("Rock ", -1), nullptr);
    EXPECT_EQ(engine()->FindItem(nullptr, -1), nullptr);
    // Found items are handed out: shared.
    EXPECT_EQ(g_Library.At(1)->shared, 1u);
    EXPECT_EQ(g_Library.At(20)->shared, 1u);
    EXPECT_EQ(g_Library.At(2)->shared, 0u);

    // A renamed item is found by its new name once reindexed.
    g_Library.At(1)->name = "Boulder";
    g_Library.Reindex(1);
    EXPECT_EQ(engine()->FindItem("rock", -1), g_Library.At(20));
    EXPECT_EQ(engine()->FindItem("BOULDER", -1), g_Library.At(1));
}

// A full table of few names, thinned out: every name still finds the
// lowest id that carries it, of the kind asked for.
TEST(LibraryNames, AFullTableFindsTheFirstOfEachNameAfterRemovals) {
    LibraryState table;
    const auto nameOf = [](uint32_t id) { return (id % 2 ? "light " : "LIGHT ") + std::to_string(id % 50); };
    for (uint32_t id = 0; id < kLibraryItemSlots; ++id) {
        CQVLibraryItem* item = LibraryItem_Create(id % 3 ? LIBRARY_LIGHT : LIBRARY_MATERIAL);
        item->name = nameOf(id);
        ASSERT_TRUE(table.SetItem(id, item));
    }
    for (uint32_t id = 0; id < kLibraryItemSlots; id += 7) delete table.TakeItem(id);
    for (uint32_t id = 1; id < kLibraryItemSlots; id += 11) {
        if (table.At(id) == nullptr) continue;
        table.At(id)->name = "Moved " + std::to_string(id);
        table.Reindex(id);
    }
    const auto present = [&](uint32_t id, int32_t kind) {
        const CQVLibraryItem* item = table.At(id);
        return item != nullptr && Library_NamesEqual(item->name, nameOf(id)) &&
               (kind == -1 || item->kind == static_cast<uint32_t>(kind));
    };
    for (uint32_t n = 0; n < 50; ++n) {
        for (int32_t kind : {-1, static_cast<int32_t>(LIBRARY_LIGHT), static_cast<int32_t>(LIBRARY_MATERIAL)}) {
            uint32_t first = n;
            while (first < kLibraryItemSlots && !present(first, kind)) first += 50;
            const CQVLibraryItem* found = table.Find("light " + std::to_string(n), kind);
            EXPECT_EQ(found, first < kLibraryItemSlots ? table.At(first) : nullptr) << n << " " << kind;
        }
    }
    EXPECT_EQ(table.Find("moved 12", -1), table.At(12));
    EXPECT_EQ(table.Find("moved 13", -1), nullptr);
}

// Names are compared folding A to Z only: every byte value, at each place
// of a name long enough to span whole words and a tail, finds the item under
// its other case and nothing under a byte that only looks alike.
TEST(LibraryNames, EveryByteFoldsOnlyAToZ) {
    LibraryState table;
    const std::string base = "Name_of_seventeen";
    uint32_t id = 0;
    for (size_t at : {size_t{0}, size_t{7}, size_t{8}, size_t{16}}) {
        for (uint32_t byte = 1; byte < 256; ++byte, ++id) {
            std::string name = base;
            name[at] = static_cast<char>(byte);
            CQVLibraryItem* item = LibraryItem_Create(LIBRARY_LIGHT);
            item->name = name;
            ASSERT_TRUE(table.SetItem(id, item));
            const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
            std::string other = name;
            if (letter) other[at] = static_cast<char>(byte ^ 0x20);
            EXPECT_EQ(table.Find(other, -1), item) << at << " " << byte;
            // Bytes 0x20 apart that are not letters are other names.
            if (!letter && (byte ^ 0x20) != 0) {
                other[at] = static_cast<char>(byte ^ 0x20);
                EXPECT_EQ(table.Find(other, -1), nullptr) << at << " " << byte;
            }
            delete table.TakeItem(id);
        }
    }
}

// Items placed in a row have their names indexed together later: each is
// found at once, and taking one out, replacing or renaming it while it waits
// leaves no entry behind for a slot that no longer holds it.
TEST(LibraryNames, ItemsPlacedInARowAreFoundAtOnce) {
    LibraryState table;
    auto light = [](const char* name) {
        CQVLibraryItem* item = LibraryItem_Create(LIBRARY_LIGHT);
        item->name = name;
        return item;
    };
    ASSERT_TRUE(table.SetItemDeferred(1, light("First")));
    EXPECT_EQ(table.Find("FIRST", -1), table.At(1));
    ASSERT_TRUE(table.SetItemDeferred(2, light("Second")));
    EXPECT_EQ(table.Find("first", -1), table.At(1));
    EXPECT_EQ(table.Find("second", -1), table.At(2));
    delete table.TakeItem(2);
    EXPECT_EQ(table.Find("second", -1), nullptr);
    ASSERT_TRUE(table.SetItemDeferred(3, light("Third")));
    ASSERT_TRUE(table.SetItemDeferred(3, light("Fourth")));
    table.FlushIndex();
    EXPECT_EQ(table.Find("third", -1), nullptr);
    EXPECT_EQ(table.Find("fourth", -1), table.At(3));
    EXPECT_EQ(table.Find("second", -1), nullptr);
    ASSERT_TRUE(table.SetItemDeferred(4, light("Fifth")));
    ASSERT_TRUE(table.SetItemDeferred(5, light("Sixth")));
    table.At(4)->name = "Seventh";
    table.Reindex(4);
    ASSERT_TRUE(table.SetItemDeferred(6, light("Fifth")));
    EXPECT_EQ(table.Find("fifth", -1), table.At(6));
    EXPECT_EQ(table.Find("seventh", -1), table.At(4));
    EXPECT_EQ(table.Find("sixth", -1), table.At(5));
    EXPECT_FALSE(table.SetItemDeferred(kLibraryItemSlots, nullptr));
}

TEST_F(LibraryAccess, FindsIdsByPrefix) {
    struct Case {
        const char* prefix;
        uint32_t length;
        int32_t kind;
        std::vector<uint32_t> ids;
    };
    const Case cases[] = {
        {"step_", 5, -1, {2, 3}},
        {"STEP_G", 6, -1, {2}},
        {"Step_Anything", 5, LIBRARY_MATERIAL, {3}},
        {"ro", 2, -1, {1, 20}},
        {"rock", 10, -1, {1, 20}},     // the name and the prefix end together
        {"rocks", 10, -1, {}},
        {"", 0, -1, {1, 2, 3, 4, 5, 6, 20}},
        {"w", 1, LIBRARY_SOUND, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(engine()->FindItemsByPrefix(c.prefix, c.length, c.kind), c.ids) << c.prefix << " " << c.length;
    }
}

TEST_F(LibraryAccess, IdsAreCheckedAgainstTheTable) {
    EXPECT_TRUE(engine()->IsValidItemId(0));
    EXPECT_TRUE(engine()->IsValidItemId(6999));
    EXPECT_FALSE(engine()->IsValidItemId(7000));
    EXPECT_FALSE(engine()->IsValidItemId(LIBRARY_NO_ITEM));

    EXPECT_EQ(engine()->GetItem(0), nullptr);
    EXPECT_EQ(Error(), "");
    EXPECT_EQ(engine()->GetItem(3), g_Library.At(3));
    EXPECT_EQ(g_Library.At(3)->shared, 0u);
    EXPECT_EQ(engine()->GetItem(7000), nullptr);
    EXPECT_EQ(Error(), "Error Invalid Container ID");

    CQVEngine::SetError("%s", "");
    EXPECT_EQ(engine()->UseItem(7000), nullptr);
    EXPECT_EQ(engine()->UseItem(7), nullptr);
    EXPECT_EQ(Error(), "");
    EXPECT_EQ(engine()->UseItem(5), g_Library.At(5));
    EXPECT_EQ(g_Library.At(5)->shared, 1u);

    EXPECT_EQ(Library_GetItemId(g_Library.At(4)), 4u);
    EXPECT_EQ(Library_GetItemId(nullptr), LIBRARY_NO_ITEM);
    EXPECT_STREQ(Library_GetItemName(g_Library.At(4)), "Walk");
    EXPECT_EQ(Library_GetItemName(nullptr), nullptr);
    EXPECT_EQ(Library_LoadItem(nullptr), 1);
    EXPECT_EQ(Library_UnloadItem(nullptr), 1);
}

// A private sound plays its own duplicate of the table's sound, at the
// table item's volume and group, with the flags asked for.
TEST_F(LibraryAccess, APrivateSoundIsANewItemOnTheTablesSound) {
    CQVLibraryItem* acquired = engine()->AcquireItem(2, LIBRARY_SOUND, 1, CQVSoundItem::SOUND_3D);
    ASSERT_NE(acquired, nullptr);
    ASSERT_NE(acquired, g_Library.At(2));
    auto* copy = static_cast<CQVSoundItem*>(acquired);
    EXPECT_EQ(copy->kind, LIBRARY_SOUND);
    EXPECT_EQ(copy->sourceId, 2u);
    EXPECT_EQ(copy->flags, 3u);
    EXPECT_EQ(copy->volume, 0.25f);
    EXPECT_EQ(copy->group, 6u);
    EXPECT_EQ(copy->loaded + copy->shared, 0u);
    const auto* source = ItemAt<CQVSoundItem>(2);
    EXPECT_EQ(source->flags, 1u);
    EXPECT_EQ(source->shared, 0u);

    // Loading the copy marks the source 3D and loads it first; without
    // sound neither holds a buffer.
    engine()->soundEnabled = 0;
    ASSERT_EQ(copy->Load(), 1);
    EXPECT_EQ(copy->loaded, 1u);
    EXPECT_EQ(source->loaded, 1u);
    EXPECT_EQ(source->flags, 3u);
    // Unloading the copy unloads its source.
    EXPECT_EQ(copy->Unload(), 1);
    EXPECT_EQ(copy->loaded + source->loaded, 0u);
    delete copy;

    // A copy whose source is gone does not load.
    CQVSoundItem orphan;
    orphan.sourceId = 7;
    EXPECT_EQ(orphan.Load(), 0);
    orphan.sourceId = 3;  // not a sound
    EXPECT_EQ(orphan.Load(), 0);
    EXPECT_EQ(orphan.loaded, 0u);
}

TEST_F(LibraryAccess, PrivateMaterialsAndMotionsCopyEveryField) {
    g_Library.At(3)->loaded = 1;
    auto* material = static_cast<CQVMaterialItem*>(engine()->AcquireItem(3, LIBRARY_MATERIAL, 1, 0));
    ASSERT_NE(material, nullptr);
    ASSERT_NE(material, g_Library.At(3));
    EXPECT_EQ(material->name, "Step_Stone");
    EXPECT_EQ(material->id, 3u);
    EXPECT_EQ(material->loaded, 1u);
    EXPECT_EQ(material->textureIds, (std::vector<uint32_t>{1}));
    EXPECT_EQ(material->blendIndex, 3u);
    EXPECT_EQ(material->bucketMask, 128u);
    EXPECT_EQ(material->collisionFlags, 15u);
    EXPECT_EQ(material->material.Diffuse.g, 1.0f);
    material->textureIds.push_back(9);
    EXPECT_EQ(ItemAt<CQVMaterialItem>(3)->textureIds.size(), 1u);
    delete material;

    auto* motion = static_cast<CQVMotionItem*>(engine()->AcquireItemByName("WALK", LIBRARY_MOTION, 1, 0));
    ASSERT_NE(motion, nullptr);
    ASSERT_NE(motion, g_Library.At(4));
    EXPECT_EQ(motion->fileName, "walk.mot");
    EXPECT_EQ(g_Library.At(4)->shared, 0u);
    delete motion;
}

TEST_F(LibraryAccess, OtherAcquisitionsHandOutTheTablesItem) {
    // Textures and lights are never copied; without the copy flag nothing is.
    EXPECT_EQ(engine()->AcquireItem(1, LIBRARY_TEXTURE, 1, 0), g_Library.At(1));
    EXPECT_EQ(engine()->AcquireItem(5, -1, 1, 0), g_Library.At(5));
    EXPECT_EQ(engine()->AcquireItem(2, LIBRARY_SOUND, 0, 2), g_Library.At(2));
    EXPECT_EQ(ItemAt<CQVSoundItem>(2)->flags, 1u);
    for (uint32_t id : {1u, 2u, 5u}) EXPECT_EQ(g_Library.At(id)->shared, 1u) << id;

    // Wrong kind, empty slot, outside the table, unknown name: nothing.
    EXPECT_EQ(engine()->AcquireItem(1, LIBRARY_SOUND, 0, 0), nullptr);
    EXPECT_EQ(engine()->AcquireItem(8, -1, 0, 0), nullptr);
    EXPECT_EQ(engine()->AcquireItem(7000, -1, 0, 0), nullptr);
    EXPECT_EQ(engine()->AcquireItemByName("Nothing", -1, 0, 0), nullptr);
    EXPECT_EQ(engine()->AcquireItemByName(nullptr, -1, 0, 0), nullptr);

    // A font is loaded when acquired; one without a face cannot load.
    EXPECT_EQ(engine()->AcquireItem(6, LIBRARY_FONT, 0, 0), g_Library.At(6));
    EXPECT_EQ(g_Library.At(6)->loaded, 0u);
}

struct TextureCase {
    const char* file;
    uint32_t type, width, height, formatCode, divisor;
    uint32_t expectedWidth, expectedHeight;
    D3DFORMAT expectedFormat;
};

class TextureRequests : public testing::TestWithParam<TextureCase> {};

// Size by the divisor (at least 4 texels, the file's own for types from 3)
// and format by the quality code, ".tga" files keeping alpha.
TEST_P(TextureRequests, FollowTheTextureOptions) {
    const TextureCase c = GetParam();
    CQVTextureItem item;
    item.textureType = c.type;
    item.width = c.width;
    item.height = c.height;
    const TextureRequest request = Library_GetTextureRequest(item, c.file, c.formatCode, c.divisor);
    EXPECT_EQ(request.width, c.expectedWidth);
    EXPECT_EQ(request.height, c.expectedHeight);
    EXPECT_EQ(request.format, c.expectedFormat);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextureRequests,
    testing::Values(TextureCase{"a.bmp", 1, 256, 128, 0, 4, 64, 32, D3DFMT_UNKNOWN},
                    TextureCase{"a.bmp", 1, 8, 8, 0, 2, 4, 4, D3DFMT_UNKNOWN},
                    TextureCase{"a.bmp", 1, 16, 2, 0, 1, 16, 4, D3DFMT_UNKNOWN},
                    TextureCase{"a.bmp", 0, 0, 0, 0, 1, 4, 4, D3DFMT_UNKNOWN},
                    TextureCase{"a.bmp", 3, 256, 256, 0, 4, 0, 0, D3DFMT_UNKNOWN},
                    TextureCase{"a.bmp", 2, 256, 256, 0, 0, 256, 256, D3DFMT_UNKNOWN},
                    TextureCase{"Data\\wall.TGA", 1, 64, 64, 3, 1, 64, 64, D3DFMT_DXT2},
                    TextureCase{"wall.bmp", 1, 64, 64, 3, 1, 64, 64, D3DFMT_DXT1},
                    TextureCase{"wall.tga", 4, 64, 64, 3, 1, 0, 0, D3DFMT_UNKNOWN},
                    TextureCase{"wall.tga", 1, 64, 64, 2, 1, 64, 64, D3DFMT_A4R4G4B4},
                    TextureCase{"wall.jpg", 1, 64, 64, 2, 1, 64, 64, D3DFMT_R5G6B5},
                    TextureCase{"wall.tga", 1, 64, 64, 1, 1, 64, 64, D3DFMT_UNKNOWN},
                    TextureCase{"wall.png", 1, 64, 64, 1, 1, 64, 64, D3DFMT_R5G6B5},
                    TextureCase{"wall.png", 1, 64, 64, 9, 1, 64, 64, D3DFMT_UNKNOWN}));

TEST_F(LibraryAccess, ItemPathsLieInTheDataFolderUnlessGivenWhole) {
    engine()->SetBaseFolder("C:\\Game");
    EXPECT_EQ(g_Library.At(1)->GetFullPath(), "C:\\Game\\Data\\rock.bmp");
    CQVTextureItem loose;
    loose.path = "elsewhere\\loose.tga";
    EXPECT_EQ(loose.GetFullPath(), "elsewhere\\loose.tga");
    engine()->SetBaseFolder("");
}

// A file name from the library that would leave the data folder names no
// file at all: absolute names, drives and ".." parts, with either separator.
TEST_F(LibraryAccess, ItemFileNamesStayInTheDataFolder) {
    engine()->SetBaseFolder("C:\\Game");
    const struct {
        const char* fileName;
        const char* path;
    } cases[] = {
        {"Sub\\rock.bmp", "C:\\Game\\Data\\Sub\\rock.bmp"},
        {"rock..bmp", "C:\\Game\\Data\\rock..bmp"},
        {"..\\rock.bmp", ""},
        {"../rock.bmp", ""},
        {"Sub\\..\\..\\rock.bmp", ""},
        {"\\rock.bmp", ""},
        {"/etc/rock.bmp", ""},
        {"D:rock.bmp", ""},
    };
    for (const auto& c : cases) {
        CQVTextureItem item;
        item.fileName = c.fileName;
        EXPECT_EQ(item.GetFullPath(), c.path) << c.fileName;
    }
    engine()->SetBaseFolder("");
}

TEST_F(LibraryAccess, SoundsAreNotMadeWithoutSound) {
    EXPECT_EQ(engine()->CreateItemSound(nullptr), 0);
    EXPECT_EQ(Error(), "Error: Create Sound Library Sound");
    EXPECT_EQ(engine()->CreateItemTexture(nullptr), 0);
    EXPECT_EQ(Error(), "Error: Create Texture Library Item Texture");
    engine()->soundEnabled = 0;
    auto* sound = ItemAt<CQVSoundItem>(2);
    EXPECT_EQ(engine()->CreateItemSound(sound), 1);
    EXPECT_EQ(sound->buffer, nullptr);
    EXPECT_EQ(engine()->GetTextureHeight(ItemAt<CQVTextureItem>(1)), 64u);
    EXPECT_EQ(engine()->GetTextureHeight(nullptr), 0u);
}

// A mesh gives back its light maps when unloaded; materials unload their textures.
TEST_F(LibraryAccess, UnloadingLetsGoOfWhatTheItemLoaded) {
    CQVMeshItem mesh;
    mesh.subsetInfos.resize(2);
    mesh.subsetInfos[1].lightMapId = 1;
    mesh.Unload();  // not loaded: nothing
    EXPECT_EQ(g_Library.At(1)->shared, 0u);
    mesh.loaded = 1;
    EXPECT_EQ(mesh.Unload(), 1);
    EXPECT_EQ(mesh.loaded, 0u);
    EXPECT_EQ(g_Library.At(1)->shared, 1u);
    EXPECT_EQ(mesh.subsetInfos.size(), 2u);

    auto* material = ItemAt<CQVMaterialItem>(3);
    EXPECT_EQ(material->Load(), 1);
    EXPECT_EQ(material->loaded, 0u);
    EXPECT_EQ(material->Unload(), 1);

    // The light items need nothing.
    EXPECT_EQ(g_Library.At(5)->Load(), 1);
    EXPECT_EQ(g_Library.At(5)->Unload(), 1);
}

}  // namespace
