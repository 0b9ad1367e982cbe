#include "kernel/base/FileSystem.h"
#include "kernel/base/PackFileSystem.h"
#include "kernel/base/Path.h"
#include "tests/kernel/base/TempFolder.h"
#include "tools/fixtures/PackWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The disk, counting how often the archive file itself is opened.
class CountingDisk : public CQVStdioFileSystem {
public:
    int archiveOpens = 0;
    void* Open(const char* name, const char* mode) override {
        if (std::string(name) == "pack.csa") ++archiveOpens;
        return CQVStdioFileSystem::Open(name, mode);
    }
};

std::string Bytes(size_t size, char seed) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i % 23);
    return text;
}

class PackFolder : public TempFolderTest {
protected:
    CountingDisk disk;
    CQVPackFileSystem* pack = nullptr;

    void SetUp() override {
        TempFolderTest::SetUp();
        fs::create_directories("Data/Tex");
        WriteFile("Data/Tex/Disk.tga", "disk only");
        WriteFile("Data/Tex/A.TGA", "disk copy of a");
    }
    void TearDown() override {
        if (g_CurrentFileSystem == pack) g_CurrentFileSystem = nullptr;
        delete pack;
        TempFolderTest::TearDown();
    }
    static void WritePack(const std::vector<uint8_t>& bytes) {
        std::ofstream("pack.csa", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    bool OpenPack(const std::vector<PackWriterEntry>& entries) {
        WritePack(PackWriter_Build(entries));
        pack = CQVPackFileSystem::Open("pack.csa", &disk);
        return pack != nullptr;
    }
    // The whole file as the pack serves it; "<none>" when it does not open.
    std::string ReadAll(const char* name) {
        void* handle = pack->Open(name, "rb");
        if (handle == nullptr) return "<none>";
        std::string text(pack->GetSize(handle), '\0');
        const uint32_t got = pack->Read(text.data(), 1, static_cast<uint32_t>(text.size()), handle);
        text.resize(got);
        pack->Close(handle);
        return text;
    }
};

TEST_F(PackFolder, MissingOrForeignArchiveIsRefused) {
    EXPECT_EQ(CQVPackFileSystem::Open("pack.csa"), nullptr);
    WriteFile("pack.csa", std::string("GEEZ") + std::string(40, '\0'));
    EXPECT_EQ(CQVPackFileSystem::Open("pack.csa"), nullptr);
}

TEST_F(PackFolder, HeldNamesComeFromTheArchiveOthersFromTheDisk) {
    ASSERT_TRUE(OpenPack({{"data\\tex\\a.tga", "packed a"}, {"Data\\Levels\\M1.qva", Bytes(40000, 'm')}}));
    EXPECT_EQ(pack->GetEntryCount(), 2u);
    EXPECT_EQ(ReadAll("Data/Tex/A.TGA"), "packed a");
    EXPECT_EQ(ReadAll("data\\tex\\a.tga"), "packed a");
    EXPECT_EQ(ReadAll("\\Data\\Levels\\m1.QVA"), "<none>");  // the leading separator is part of the name
    EXPECT_EQ(ReadAll("data\\levels\\m1.qva"), Bytes(40000, 'm'));
    EXPECT_EQ(ReadAll("data\\TEX\\disk.TGA"), "disk only");
    EXPECT_EQ(ReadAll("Data\\Tex\\None.tga"), "<none>");

    // Opening a held name for writing writes the disk file, not the entry.
    void* out = pack->Open("DATA\\tex\\a.tga", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(pack->Write("new", 1, 3, out), 3u);
    pack->Close(out);
    EXPECT_EQ(ReadAll("data\\tex\\a.tga"), "packed a");
    EXPECT_EQ(ReadFile("Data/Tex/A.TGA"), "new");
}

TEST_F(PackFolder, CurrentFileSystemServesTheArchive) {
    ASSERT_TRUE(OpenPack({{"x.bin", "x"}}));
    EXPECT_EQ(FileSystem_GetCurrent(), CQVStdioFileSystem::GetInstance());
    g_CurrentFileSystem = pack;
    EXPECT_EQ(FileSystem_GetCurrent(), pack);
}

TEST_F(PackFolder, EntryHandleIsAWindowOnTheArchive) {
    // Large entries are read through the archive file, not the cache.
    const std::string big = Bytes(20000, 'b');
    ASSERT_TRUE(OpenPack({{"before.bin", "BEFORE"}, {"big.bin", big}, {"after.bin", "AFTER"}}));
    void* handle = pack->Open("big.bin", "rb");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(pack->Tell(handle), 0);
    EXPECT_EQ(pack->GetSize(handle), 20000u);
    EXPECT_FALSE(pack->IsEof(handle));

    char buffer[16] = {};
    EXPECT_EQ(pack->Seek(handle, -4, FILE_SEEK_END), 0);
    EXPECT_EQ(pack->Tell(handle), 19996);
    // Eight bytes asked for, four remain: the read stops at the entry's end.
    EXPECT_EQ(pack->Read(buffer, 1, 8, handle), 4u);
    EXPECT_EQ(std::string(buffer, 4), big.substr(19996));
    EXPECT_EQ(std::string(buffer + 4, 4), std::string(4, '\0'));
    EXPECT_TRUE(pack->IsEof(handle));
    EXPECT_EQ(pack->Read(buffer, 4, 1, handle), 0u);

    EXPECT_EQ(pack->Seek(handle, 0, FILE_SEEK_END), 0);
    EXPECT_EQ(pack->Tell(handle), 20000);
    EXPECT_EQ(pack->Seek(handle, 10, FILE_SEEK_SET), 0);
    EXPECT_EQ(pack->Seek(handle, 5, FILE_SEEK_CUR), 0);
    EXPECT_EQ(pack->Tell(handle), 15);
    // Before the entry's start is refused; the position stays.
    EXPECT_NE(pack->Seek(handle, -16, FILE_SEEK_CUR), 0);
    EXPECT_NE(pack->Seek(handle, -1, FILE_SEEK_SET), 0);
    EXPECT_EQ(pack->Tell(handle), 15);
    EXPECT_EQ(pack->Read(buffer, 5, 1, handle), 1u);
    EXPECT_EQ(std::string(buffer, 5), big.substr(15, 5));
    // The archive is read-only.
    EXPECT_EQ(pack->Write("zz", 1, 2, handle), 0u);
    pack->Close(handle);
}

TEST_F(PackFolder, SecondOpenEntryReopensTheArchiveAndCloseGivesTheHandleBack) {
    const std::string one = Bytes(30000, '1');
    const std::string two = Bytes(30000, '2');
    ASSERT_TRUE(OpenPack({{"one.bin", one}, {"two.bin", two}}));
    EXPECT_EQ(disk.archiveOpens, 1);

    void* first = pack->Open("one.bin", "rb");
    void* second = pack->Open("two.bin", "rb");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(disk.archiveOpens, 2);
    EXPECT_EQ(static_cast<PackFileHandle*>(first)->owns, 0u);
    EXPECT_EQ(static_cast<PackFileHandle*>(second)->owns, 1u);

    // Interleaved reads each keep their own position.
    char a[100], b[100];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(pack->Read(a, 100, 1, first), 1u);
        ASSERT_EQ(pack->Read(b, 100, 1, second), 1u);
        EXPECT_EQ(std::string(a, 100), one.substr(i * 100, 100));
        EXPECT_EQ(std::string(b, 100), two.substr(i * 100, 100));
    }
    pack->Close(first);
    pack->Close(second);
    void* again = pack->Open("two.bin", "rb");
    EXPECT_EQ(static_cast<PackFileHandle*>(again)->owns, 0u);
    EXPECT_EQ(disk.archiveOpens, 2);
    pack->Close(again);
}

TEST_F(PackFolder, SmallEntriesAreCachedBelowTheLimit) {
    ASSERT_TRUE(OpenPack({{"small.bin", Bytes(PACK_CACHE_LIMIT - 1, 's')}, {"limit.bin", Bytes(PACK_CACHE_LIMIT, 'l')}}));
    void* small = pack->Open("small.bin", "rb");
    EXPECT_EQ(static_cast<PackFileHandle*>(small)->fileSystem, CQVMemoryFileSystem::GetInstance());
    EXPECT_EQ(pack->GetCacheSlot(0), static_cast<PackFileHandle*>(small)->entry);
    void* limit = pack->Open("limit.bin", "rb");
    EXPECT_NE(static_cast<PackFileHandle*>(limit)->fileSystem, CQVMemoryFileSystem::GetInstance());
    EXPECT_EQ(pack->GetCacheSlot(1), nullptr);
    pack->Close(small);
    pack->Close(limit);
    EXPECT_EQ(ReadAll("small.bin"), Bytes(PACK_CACHE_LIMIT - 1, 's'));
    EXPECT_EQ(ReadAll("limit.bin"), Bytes(PACK_CACHE_LIMIT, 'l'));
}

TEST_F(PackFolder, FullCacheIsTakenOverByUseCount) {
    std::vector<PackWriterEntry> entries;
    for (int i = 0; i < 34; ++i) entries.push_back({std::string("e").append(std::to_string(i)), Bytes(100, static_cast<char>('A' + i))});
    ASSERT_TRUE(OpenPack(entries));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(ReadAll(entries[i].name.c_str()), entries[i].data);
    for (uint32_t slot = 0; slot < PACK_CACHE_SLOTS; ++slot) ASSERT_NE(pack->GetCacheSlot(slot), nullptr);

    // First open of a 33rd entry: every slot's entry has been opened as
    // often, so it is read from the archive file.
    void* handle = pack->Open("e32", "rb");
    EXPECT_NE(static_cast<PackFileHandle*>(handle)->fileSystem, CQVMemoryFileSystem::GetInstance());
    pack->Close(handle);
    // Its second open takes the first slot whose entry was opened once.
    EXPECT_EQ(ReadAll("e0"), entries[0].data);  // slot 0 now at two opens
    handle = pack->Open("e32", "rb");
    EXPECT_EQ(static_cast<PackFileHandle*>(handle)->fileSystem, CQVMemoryFileSystem::GetInstance());
    EXPECT_EQ(pack->GetCacheSlot(1), static_cast<PackFileHandle*>(handle)->entry);
    EXPECT_EQ(std::string(pack->GetCacheSlot(0)->name), "e0");
    pack->Close(handle);

    // After the release every slot may be taken again from use count 0.
    pack->ReleaseCache();
    EXPECT_EQ(pack->GetCacheSlot(0)->cachedBuffer, nullptr);
    EXPECT_EQ(ReadAll("e33"), entries[33].data);
    EXPECT_EQ(std::string(pack->GetCacheSlot(0)->name), "e33");
}

TEST_F(PackFolder, CachedBytesOutliveTheirSlotWhileAHandleIsOpen) {
    ASSERT_TRUE(OpenPack({{"keep.bin", "kept bytes"}, {"other.bin", "other"}}));
    void* handle = pack->Open("keep.bin", "rb");
    char buffer[5] = {};
    ASSERT_EQ(pack->Read(buffer, 5, 1, handle), 1u);
    pack->ReleaseCache();
    // A newer entry takes the slot that held keep.bin.
    EXPECT_EQ(ReadAll("other.bin"), "other");
    EXPECT_EQ(std::string(pack->GetCacheSlot(0)->name), "other.bin");
    ASSERT_EQ(pack->Read(buffer, 5, 1, handle), 1u);
    EXPECT_EQ(std::string(buffer, 5), "bytes");
    pack->Close(handle);
}

TEST_F(PackFolder, NamesThatHashAlikeStayApart) {
    ASSERT_EQ(Path_Hash("ac0pq.tga"), Path_Hash("qan0a.tga"));
    ASSERT_TRUE(OpenPack({{"ac0pq.tga", "first"}, {"qan0a.tga", "second"}, {"AC0PQ.TGA", "first again"}}));
    EXPECT_EQ(ReadAll("ac0pq.tga"), "first again");  // the later of two equal names
    EXPECT_EQ(ReadAll("QAN0A.tga"), "second");
}

// Damaged archives: each case spoils a valid three-entry archive.
struct DamageCase {
    const char* label;
    std::function<void(std::vector<uint8_t>*)> spoil;
    bool opens;
    const char* readA;  // what "data\tex\a.tga" then gives
};

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) { PackWriter_PutU32(bytes, at, value); }
constexpr size_t kEntry0 = 20;
constexpr size_t kEntry1 = 20 + 136;

class PackDamage : public PackFolder, public testing::WithParamInterface<DamageCase> {};

TEST_P(PackDamage, DamageNeverHidesTheDisk) {
    std::vector<uint8_t> bytes = PackWriter_Build(
        {{"data\\tex\\a.tga", "packed a"}, {"data\\tex\\b.tga", "packed b"}, {"c.bin", "packed c"}});
    GetParam().spoil(&bytes);
    WritePack(bytes);
    pack = CQVPackFileSystem::Open("pack.csa", &disk);
    ASSERT_EQ(pack != nullptr, GetParam().opens);
    if (pack == nullptr) return;
    EXPECT_EQ(ReadAll("Data\\Tex\\A.tga"), GetParam().readA);
    EXPECT_EQ(ReadAll("Data\\Tex\\disk.tga"), "disk only");
    EXPECT_EQ(ReadAll("c.bin"), "packed c");
}

INSTANTIATE_TEST_SUITE_P(
    Archives, PackDamage,
    testing::Values(
        DamageCase{"ShortHeader", [](auto* b) { b->resize(10); }, false, ""},
        DamageCase{"NoCount", [](auto* b) { b->resize(18); }, false, ""},
        DamageCase{"CountBeyondFile", [](auto* b) { PutU32(b, 16, 0x10000000); }, false, ""},
        DamageCase{"CountOneTooMany", [](auto* b) { b->resize(20 + 136 * 3); PutU32(b, 16, 4); }, false, ""},
        DamageCase{"NameNotTerminated", [](auto* b) { std::fill(b->begin() + kEntry0 + 8, b->begin() + kEntry0 + 136, 'x'); },
                   true, "disk copy of a"},
        DamageCase{"OffsetBeyondFile", [](auto* b) { PutU32(b, kEntry0, 0xFFFFFFF0); }, true, "disk copy of a"},
        DamageCase{"SizeBeyondFile", [](auto* b) { PutU32(b, kEntry0 + 4, 0x7FFFFFFF); }, true, "disk copy of a"},
        DamageCase{"SizeRunsOnePastTheEnd",
                   [](auto* b) { PutU32(b, kEntry0, static_cast<uint32_t>(b->size()) - 4); }, true, "disk copy of a"},
        // An entry that overlaps another is still inside the file: it is served.
        DamageCase{"Overlapping", [](auto* b) { PutU32(b, kEntry1, 20 + 136 * 3); PutU32(b, kEntry0 + 4, 16); },
                   true, "packed apacked b"}),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.label); });

}  // namespace
