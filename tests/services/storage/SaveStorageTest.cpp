#include "services/storage/SaveStorage.h"

#include "services/engine/Engine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Pattern(size_t size, uint8_t start) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

class SaveStorageTest : public testing::Test {
protected:
    void SetUp() override {
        Storage_Reset();
        Storage_Init(0);
        base = fs::temp_directory_path() / ("qv_saves_" + std::to_string(getpid()));
        fs::remove_all(base);
        folder = base / "SaveGames";
        fs::create_directories(folder);
        Storage_SetRoot(base.string() + "\\SaveGames");
    }
    void TearDown() override {
        fs::remove_all(base);
        Storage_Reset();
    }
    uint32_t List() {
        uint32_t count = 0xFFFF;
        Storage_List(0, &count);
        return count;
    }
    fs::path base, folder;
};

TEST_F(SaveStorageTest, WritesTheHeaderThenTheData) {
    const std::vector<uint8_t> data = Pattern(100, 7);
    ASSERT_EQ(CQVEngine::WriteSave(0, "slot1", data.data(), 100), 1);
    const std::vector<uint8_t> file = ReadBytes(folder / "slot1");
    ASSERT_EQ(file.size(), 108u);
    const uint8_t header[8] = {1, 0, 0, 0, 0x64, 0, 0, 0};
    EXPECT_EQ(std::memcmp(file.data(), header, 8), 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 8));
    EXPECT_FALSE(fs::exists(folder / "slot1.part"));
}

TEST_F(SaveStorageTest, ListsAndReadsTheSaves) {
    const std::vector<uint8_t> a = Pattern(10, 1), b = Pattern(300, 50);
    ASSERT_EQ(Storage_Write(0, "beta", b.data(), 300), 1);
    ASSERT_EQ(Storage_Write(0, "alpha", a.data(), 10), 1);
    ASSERT_EQ(List(), 2u);
    EXPECT_STREQ(Storage_GetEntry(0)->name, "alpha");
    EXPECT_EQ(Storage_GetEntry(0)->size, 10u);
    EXPECT_EQ(Storage_GetEntry(0)->data, nullptr);
    EXPECT_EQ(Storage_GetEntry(1)->size, 300u);
    std::vector<uint8_t> buffer(300);
    ASSERT_EQ(CQVEngine::ReadSave(0, 1, buffer.data(), 300), 1);
    EXPECT_EQ(buffer, b);
}

TEST_F(SaveStorageTest, TheListIsSearchedAgainOnlyAfterAWrite) {
    const std::vector<uint8_t> data = Pattern(20, 0);
    ASSERT_EQ(Storage_Write(0, "one", data.data(), 20), 1);
    ASSERT_EQ(List(), 1u);
    // A file put there behind the storage's back is not seen until a write.
    WriteBytes(folder / "two", {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(List(), 1u);
    ASSERT_EQ(Storage_Write(0, "three", data.data(), 20), 1);
    EXPECT_EQ(List(), 3u);
}

TEST_F(SaveStorageTest, FoldersAndShortFilesAreNoSaves) {
    fs::create_directories(folder / "sub");
    WriteBytes(folder / "short", {1, 0, 0, 0, 5});
    WriteBytes(folder / "empty", {});
    WriteBytes(folder / "headed", {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(List(), 1u);
    EXPECT_STREQ(Storage_GetEntry(0)->name, "headed");
}

// Only regular files hold saves: a pipe would hold the listing at its
// opening until something writes to it (here a writer waits with a save
// header, which a listing that opened the pipe would take for a save).
TEST_F(SaveStorageTest, PipesAreNoSaves) {
    WriteBytes(folder / "headed", {1, 0, 0, 0, 0, 0, 0, 0});
    const fs::path pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        if (fd < 0) return;
        const uint8_t header[8] = {1, 0, 0, 0, 4, 0, 0, 0};
        [[maybe_unused]] const ssize_t written = ::write(fd, header, sizeof header);
        ::close(fd);
    });
    EXPECT_EQ(List(), 1u);
    EXPECT_STREQ(Storage_GetEntry(0)->name, "headed");
    // The waiting writer is let go.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (reader >= 0) ::close(reader);
}

TEST_F(SaveStorageTest, ReadsRefuseBadRequests) {
    const std::vector<uint8_t> data = Pattern(16, 3);
    ASSERT_EQ(Storage_Write(0, "s", data.data(), 16), 1);
    ASSERT_EQ(List(), 1u);
    std::vector<uint8_t> buffer(64, 0xAB);
    const std::vector<uint8_t> untouched = buffer;
    EXPECT_EQ(Storage_Read(0, 0, buffer.data(), 15), 0);  // another size
    EXPECT_EQ(Storage_Read(0, 1, buffer.data(), 16), 0);  // past the list
    EXPECT_EQ(Storage_Read(0, 0xFFFFFFFF, buffer.data(), 16), 0);
    EXPECT_EQ(buffer, untouched);
    // The file shrank after it was listed: a short read fails.
    WriteBytes(folder / "s", {1, 0, 0, 0, 16, 0, 0, 0, 9, 9});
    EXPECT_EQ(Storage_Read(0, 0, buffer.data(), 16), 0);
    EXPECT_STREQ(Storage_GetError(), "File Read Error:");
    fs::remove(folder / "s");
    EXPECT_EQ(Storage_Read(0, 0, buffer.data(), 16), 0);
    EXPECT_STREQ(Storage_GetError(), "File Open Error:");
}

TEST_F(SaveStorageTest, AFailedWriteChangesNoSave) {
    const std::vector<uint8_t> old = Pattern(12, 0), data = Pattern(40, 9);
    ASSERT_EQ(Storage_Write(0, "keep", old.data(), 12), 1);
    const std::vector<uint8_t> before = ReadBytes(folder / "keep");
    // The temporary file cannot be made where a folder of its name stands.
    fs::create_directories(folder / "keep.part");
    EXPECT_EQ(Storage_Write(0, "keep", data.data(), 40), 0);
    EXPECT_STREQ(Storage_GetError(), "File Open Error:");
    EXPECT_EQ(ReadBytes(folder / "keep"), before);
    fs::remove(folder / "keep.part");

    // Nothing to write, a name that leaves the folder, or no folder at all.
    EXPECT_EQ(Storage_Write(0, "x", data.data(), 0), 0);
    EXPECT_EQ(Storage_Write(0, "x", nullptr, 4), 0);
    EXPECT_EQ(Storage_Write(0, "..\\escape", data.data(), 40), 0);
    EXPECT_EQ(Storage_Write(0, "a/b", data.data(), 40), 0);
    EXPECT_FALSE(fs::exists(base / "escape"));
    fs::remove_all(folder);
    EXPECT_EQ(Storage_Write(0, "x", data.data(), 40), 0);
    EXPECT_EQ(List(), 0u);
    uint32_t count = 0;
    EXPECT_EQ(Storage_List(0, &count), 0);
    EXPECT_EQ(Storage_List(0, nullptr), 0);
}

TEST_F(SaveStorageTest, TheDeviceDescribesItself) {
    uint32_t count = 0, freeBytes = 0, total = 0;
    EXPECT_EQ(CQVEngine::GetStorageDeviceCount(&count), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(CQVEngine::GetStorageDeviceState(0), 3u);
    EXPECT_EQ(CQVEngine::GetStorageDeviceSize(0, &freeBytes, &total), 1);
    EXPECT_EQ(freeBytes, 20971520u);
    EXPECT_EQ(total, 20971520u);
    char name[6];
    EXPECT_EQ(CQVEngine::GetStorageDeviceName(0, name, sizeof name), 1);
    EXPECT_STREQ(name, "Hard ");
    char text[16];
    EXPECT_EQ(CQVEngine::GetStorageFreeSpaceText(0, text, sizeof text), 1);
    EXPECT_STREQ(text, "100 MB");
    EXPECT_EQ(g_SaveStorage.deviceName, "Hard Disc");
}

}  // namespace
