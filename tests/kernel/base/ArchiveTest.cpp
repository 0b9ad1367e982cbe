#include "kernel/base/Archive.h"
#include "kernel/base/FileSystem.h"
#include "kernel/base/PackFileSystem.h"
#include "tests/kernel/base/TempFolder.h"
#include "tools/fixtures/PackWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

class ArchiveFolder : public TempFolderTest {
protected:
    CQVPackFileSystem* pack = nullptr;

    void TearDown() override {
        g_CurrentFileSystem = nullptr;
        delete pack;
        TempFolderTest::TearDown();
    }
    // Serves name from a pack entry holding bytes, through the current file system.
    void ServeFromPack(const std::string& name, const std::string& bytes) {
        const std::vector<uint8_t> archive = PackWriter_Build({{"filler", "0123"}, {name, bytes}});
        WriteFile("pack.csa", std::string(archive.begin(), archive.end()));
        pack = CQVPackFileSystem::Open("pack.csa");
        ASSERT_NE(pack, nullptr);
        g_CurrentFileSystem = pack;
    }
};

// Every primitive, in both directions, through one routine.
struct Record {
    int32_t i = 0;
    uint32_t dword = 0;
    float f = 0.0f;
    float v[3] = {};
    uint8_t byte = 0;
    std::string text;
    std::string empty;
    char name[16] = {};
    uint8_t raw[3] = {};
    uint32_t count = 0;

    void Serialize(CQVArchive& ar) {
        i = ar.SerializeInt(i);
        ar.SerializeDword(&dword);
        ar.SerializeDword(&f);
        ar.SerializeDwords(v, 3);
        byte = ar.SerializeByte(byte);
        ar.SerializeString(text);
        ar.SerializeString(empty);
        ar.SerializeCString(name, sizeof name);
        ar.SerializeBytes(raw, 3);
        ar.SerializeCount(&count, 1);
    }
};

Record Sample() {
    Record r;
    r.i = -2;
    r.dword = 0x11223344;
    r.f = 1.5f;
    r.v[0] = -1.0f;
    r.v[1] = 0.0f;
    r.v[2] = 2.0f;
    r.byte = 0xAB;
    r.text = "Mission_01";
    std::strcpy(r.name, "Guard");
    r.raw[0] = 1;
    r.raw[1] = 2;
    r.raw[2] = 3;
    r.count = 0;
    return r;
}

const std::string kSampleBytes = std::string("\xFE\xFF\xFF\xFF", 4) + "\x44\x33\x22\x11" + "\x00\x00\xC0\x3F"s +
                                 "\x00\x00\x80\xBF"s + "\x00\x00\x00\x00"s + "\x00\x00\x00\x40"s + "\xAB" + U32(10) +
                                 "Mission_01" + U32(0) + U32(5) + "Guard" + "\x01\x02\x03" + U32(0);

TEST_F(ArchiveFolder, WritesTheLayoutByteForByte) {
    CQVArchive ar;
    ASSERT_TRUE(ar.Open("Out.bin", "wb"));
    EXPECT_EQ(ar.direction, ARCHIVE_WRITING);
    Record r = Sample();
    r.Serialize(ar);
    EXPECT_EQ(ar.Tell(), static_cast<int32_t>(kSampleBytes.size()));
    ar.Close();
    EXPECT_EQ(ReadFile("Out.bin"), kSampleBytes);
}

enum class Source { Disk, PackCached, PackArchiveFile };

class ArchiveRoundTrip : public ArchiveFolder, public testing::WithParamInterface<Source> {};

TEST_P(ArchiveRoundTrip, ReadsBackWhatWasWritten) {
    // Padding past the cache limit makes the entry read through the archive file.
    const std::string padding = GetParam() == Source::PackArchiveFile ? std::string(20000, 'p') : "";
    const std::string bytes = kSampleBytes + kSampleBytes + padding;
    if (GetParam() == Source::Disk) {
        fs::create_directories("data");
        WriteFile("data/in.bin", bytes);
    } else {
        ServeFromPack("data\\in.bin", bytes);
    }

    CQVArchive ar;
    ASSERT_TRUE(ar.Open("Data\\In.bin", "rb"));
    EXPECT_EQ(ar.GetSize(), bytes.size());
    Record r;
    r.text = "old";
    r.empty = "kept";
    r.Serialize(ar);
    const Record expected = Sample();
    EXPECT_EQ(r.i, expected.i);
    EXPECT_EQ(r.dword, expected.dword);
    EXPECT_EQ(r.f, expected.f);
    EXPECT_EQ(r.v[0], -1.0f);
    EXPECT_EQ(r.v[2], 2.0f);
    EXPECT_EQ(r.byte, 0xAB);
    EXPECT_EQ(r.text, "Mission_01");
    EXPECT_EQ(r.empty, "kept");  // an empty stored string leaves the target as it was
    EXPECT_STREQ(r.name, "Guard");
    EXPECT_EQ(r.raw[2], 3);
    EXPECT_EQ(ar.Tell(), static_cast<int32_t>(kSampleBytes.size()));

    // Seek back into the first copy and read a field again.
    EXPECT_EQ(ar.Seek(4, FILE_SEEK_SET), 0);
    uint32_t dword = 0;
    ar.SerializeDword(&dword);
    EXPECT_EQ(dword, 0x11223344u);
    EXPECT_EQ(ar.Seek(static_cast<int32_t>(kSampleBytes.size()) - 8, FILE_SEEK_CUR), 0);
    EXPECT_EQ(ar.Tell(), static_cast<int32_t>(kSampleBytes.size()));
    Record second;
    second.Serialize(ar);
    EXPECT_EQ(second.text, "Mission_01");
    EXPECT_EQ(ar.GetRemaining(), padding.size());
}

INSTANTIATE_TEST_SUITE_P(Sources, ArchiveRoundTrip,
                         testing::Values(Source::Disk, Source::PackCached, Source::PackArchiveFile));

TEST_F(ArchiveFolder, StreamBindsToTheFileSystemCurrentAtConstruction) {
    fs::create_directories("data");
    WriteFile("data/f.bin", U32(1));
    CQVArchive before;
    ServeFromPack("data\\f.bin", U32(2));
    CQVArchive after;
    ASSERT_TRUE(before.Open("data\\f.bin", "rb"));
    ASSERT_TRUE(after.Open("data\\f.bin", "rb"));
    EXPECT_EQ(before.SerializeInt(0), 1);
    EXPECT_EQ(after.SerializeInt(0), 2);
}

TEST_F(ArchiveFolder, LargeMixedStreamCrossesTheBufferBothWays) {
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) texts.push_back(std::string(i % 97, static_cast<char>('a' + i % 26)));
    std::vector<uint8_t> block(100000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
    {
        CQVArchive ar;
        ASSERT_TRUE(ar.Open("big.bin", "wb"));
        for (int i = 0; i < 3000; ++i) {
            ar.SerializeInt(i);
            ar.SerializeString(texts[i]);
            if (i == 1500) ar.SerializeBytes(block.data(), static_cast<uint32_t>(block.size()));
        }
    }
    CQVArchive ar;
    ASSERT_TRUE(ar.Open("big.bin", "rb"));
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(ar.SerializeInt(-1), i);
        std::string text = "unchanged";
        ar.SerializeString(text);
        ASSERT_EQ(text, texts[i].empty() ? "unchanged" : texts[i]) << i;
        if (i == 1500) {
            std::vector<uint8_t> back(block.size());
            ASSERT_EQ(ar.SerializeBytes(back.data(), static_cast<uint32_t>(back.size())), back.size());
            ASSERT_EQ(back, block);
        }
    }
    EXPECT_EQ(ar.GetRemaining(), 0u);
    EXPECT_EQ(ar.SerializeInt(77), 77);
}

TEST_F(ArchiveFolder, StringAndCStringStoreTheSameBytes) {
    {
        CQVArchive ar;
        ASSERT_TRUE(ar.Open("s.bin", "wb"));
        std::string text = "Door";
        char buffer[8] = "Door";
        ar.SerializeString(text);
        ar.SerializeCString(buffer, sizeof buffer);
    }
    EXPECT_EQ(ReadFile("s.bin"), U32(4) + "Door" + U32(4) + "Door");
}

// Stored bytes that a reader must survive; each case reads a string, a
// C string of capacity 8 and then an int that tells whether the stream
// stayed in step.
struct ReadCase {
    const char* label;
    std::string bytes;
    uint32_t stringResult;
    std::string text;     // starts as "old"
    std::string cstring;  // starts as "prev"
    int32_t next;         // starts as -9
};

class ArchiveReads : public ArchiveFolder, public testing::WithParamInterface<ReadCase> {};

TEST_P(ArchiveReads, LengthsAreCheckedAgainstTheFile) {
    WriteFile("r.bin", GetParam().bytes);
    CQVArchive ar;
    ASSERT_TRUE(ar.Open("r.bin", "rb"));
    std::string text = "old";
    char buffer[8] = "prev";
    EXPECT_EQ(ar.SerializeString(text), GetParam().stringResult);
    ar.SerializeCString(buffer, sizeof buffer);
    const int32_t next = ar.SerializeInt(-9);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_EQ(std::string(buffer), GetParam().cstring);
    EXPECT_EQ(next, GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, ArchiveReads,
    testing::Values(
        ReadCase{"Plain", U32(2) + "ab" + U32(3) + "xyz" + U32(5), 1, "ab", "xyz", 5},
        ReadCase{"NulInside", U32(4) + std::string("ab\0d", 4) + U32(0) + U32(5), 1, "ab", "", 5},
        ReadCase{"Negative", U32(0x80000000) + U32(0xFFFFFFFF) + U32(5), 1, "old", "", 5},
        // A length beyond the file fails without reading or allocating.
        ReadCase{"LyingString", U32(0x7FFFFFFF) + "abc", 0, "old", "prev", -9},
        ReadCase{"OneTooLong", U32(4) + "abc", 0, "old", "prev", -9},
        // A C string too long for its buffer is skipped; the next field reads right.
        ReadCase{"CStringTooLong", U32(1) + "a" + U32(8) + "12345678" + U32(5), 1, "a", "", 5},
        ReadCase{"CStringFits", U32(1) + "a" + U32(7) + "1234567" + U32(5), 1, "a", "1234567", 5},
        ReadCase{"CStringLying", U32(1) + "a" + U32(1000) + "xx", 1, "a", "", -9},
        ReadCase{"ShortLength", "\x02\x00", 0, "old", "prev", -9},
        ReadCase{"Empty", "", 0, "old", "prev", -9}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.label); });

TEST_F(ArchiveFolder, NulCutsStoredTextOfEveryLength) {
    // Lengths around the 16 and 32 bytes that short names are scanned in,
    // with the NUL at each place, followed by enough bytes and by none.
    for (uint32_t length = 1; length <= 40; ++length) {
        for (uint32_t nul = 0; nul <= length; ++nul) {
            std::string stored(length, 'n');
            if (nul < length) stored[nul] = '\0';
            for (const std::string& after : {std::string(), std::string(64, '\0')}) {
                WriteFile("n.bin", U32(length) + stored + after);
                CQVArchive ar;
                ASSERT_TRUE(ar.Open("n.bin", "rb"));
                std::string text = "old";
                ASSERT_EQ(ar.SerializeString(text), 1u);
                ASSERT_EQ(text, std::string(nul, 'n')) << length << " " << nul << " " << after.size();
            }
        }
    }
}

TEST_F(ArchiveFolder, CountsMustFitTheRestOfTheFile) {
    WriteFile("c.bin", U32(3) + std::string(12, 'x') + U32(4));
    CQVArchive ar;
    ASSERT_TRUE(ar.Open("c.bin", "rb"));
    uint32_t count = 99;
    EXPECT_EQ(ar.SerializeCount(&count, 4), 1u);  // 3 items of 4 bytes: 16 bytes remain
    EXPECT_EQ(count, 3u);
    ar.Seek(0, FILE_SEEK_SET);
    EXPECT_EQ(ar.SerializeCount(&count, 8), 0u);  // 24 bytes would be needed
    EXPECT_EQ(count, 0u);
}

TEST_F(ArchiveFolder, OpenFailsAndDirectionFollowsTheMode) {
    CQVArchive ar;
    EXPECT_FALSE(ar.Open("missing.bin", "rb"));
    EXPECT_EQ(ar.SerializeInt(3), 3);
    EXPECT_EQ(ar.Close(), 0);
    // Writes without an open file, after a failed open or a close, go nowhere.
    EXPECT_FALSE(ar.Open("no_such_folder/x.bin", "wb"));
    uint32_t word = 5;
    EXPECT_EQ(ar.SerializeDword(&word), 0u);
    ASSERT_TRUE(ar.Open("first.bin", "wb"));
    ar.SerializeInt(1);
    ar.Close();
    EXPECT_EQ(ar.SerializeInt(9), 9);
    EXPECT_EQ(ar.Write("late", 4), 0u);
    ASSERT_TRUE(ar.Open("second.bin", "wb"));
    ar.Close();
    EXPECT_EQ(ReadFile("first.bin"), U32(1));
    EXPECT_EQ(ReadFile("second.bin"), "");
    ASSERT_TRUE(ar.Open("m.bin", "w+b"));
    EXPECT_EQ(ar.direction, ARCHIVE_WRITING);
    ar.SerializeInt(42);
    ar.Close();
    ASSERT_TRUE(ar.Open("m.bin", "r+b"));
    EXPECT_EQ(ar.direction, ARCHIVE_READING);
    // Write whatever the direction: at the stream's position, after a read.
    EXPECT_EQ(ar.SerializeByte(0), 42);
    EXPECT_EQ(ar.Write("\x07", 1), 1u);
    ar.Close();
    EXPECT_EQ(ReadFile("m.bin"), std::string("\x2A\x07\x00\x00", 4));

    CQVActorArchive actors;
    ASSERT_TRUE(actors.Open("m.bin", "rb"));
    actors.version = actors.SerializeInt(0);
    EXPECT_EQ(actors.version, 0x72Au);
}

}  // namespace
