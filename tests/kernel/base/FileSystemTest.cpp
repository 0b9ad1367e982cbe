#include "kernel/base/FileSystem.h"
#include "tests/kernel/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(MemoryFileSystem, ReadsSeeksAndClipsToItsBytes) {
    CQVMemoryFileSystem* memory = CQVMemoryFileSystem::GetInstance();
    uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    void* handle = memory->OpenBuffer(bytes, sizeof bytes, false);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(memory->GetSize(handle), 10u);
    EXPECT_EQ(memory->Open("anything", "rb"), nullptr);

    uint8_t out[8] = {};
    EXPECT_EQ(memory->Read(out, 4, 1, handle), 1u);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(memory->Tell(handle), 4);

    EXPECT_EQ(memory->Seek(handle, -3, FILE_SEEK_END), 0);
    EXPECT_EQ(memory->Tell(handle), 7);
    EXPECT_FALSE(memory->IsEof(handle));
    // Two items of 2 bytes are asked for, 3 bytes remain: one whole item,
    // and the copy stops at the end of the buffer.
    std::fill(std::begin(out), std::end(out), 0xAA);
    EXPECT_EQ(memory->Read(out, 2, 2, handle), 1u);
    EXPECT_EQ(out[2], 9);
    EXPECT_EQ(out[3], 0xAA);
    EXPECT_TRUE(memory->IsEof(handle));
    EXPECT_EQ(memory->Read(out, 1, 1, handle), 0u);

    EXPECT_EQ(memory->Seek(handle, 2, FILE_SEEK_SET), 0);
    EXPECT_EQ(memory->Seek(handle, -1, FILE_SEEK_CUR), 0);
    EXPECT_EQ(memory->Tell(handle), 1);
    // Before the start is refused; past the end reads nothing.
    EXPECT_NE(memory->Seek(handle, -5, FILE_SEEK_CUR), 0);
    EXPECT_EQ(memory->Tell(handle), 1);
    EXPECT_EQ(memory->Seek(handle, 40, FILE_SEEK_SET), 0);
    EXPECT_EQ(memory->Read(out, 1, 1, handle), 0u);
    EXPECT_TRUE(memory->IsEof(handle));
    // A handle over bytes it does not own refuses writes.
    EXPECT_EQ(memory->Seek(handle, 0, FILE_SEEK_SET), 0);
    EXPECT_EQ(memory->Write("zz", 1, 2, handle), 0u);
    EXPECT_EQ(bytes[0], 0);
    memory->Close(handle);
}

TEST(MemoryFileSystem, WritableBufferTakesWritesUpToItsEnd) {
    CQVMemoryFileSystem* memory = CQVMemoryFileSystem::GetInstance();
    uint8_t bytes[4] = {};
    void* handle = memory->OpenBuffer(bytes, sizeof bytes, true);
    EXPECT_EQ(memory->Write("abcdef", 1, 6, handle), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "abcd");
    memory->Close(handle);
}

TEST(MemoryFileSystem, HandleKeepsItsOwnerAlive) {
    auto buffer = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{7, 8});
    std::weak_ptr<std::vector<uint8_t>> watch = buffer;
    CQVMemoryFileSystem* memory = CQVMemoryFileSystem::GetInstance();
    void* handle = memory->OpenBuffer(buffer->data(), 2, false, buffer);
    buffer.reset();
    ASSERT_FALSE(watch.expired());
    uint8_t out[2] = {};
    EXPECT_EQ(memory->Read(out, 2, 1, handle), 1u);
    EXPECT_EQ(out[1], 8);
    memory->Close(handle);
    EXPECT_TRUE(watch.expired());
}

using DiskFileSystem = TempFolderTest;

TEST_F(DiskFileSystem, SizeIsMeasuredWithoutMovingThePosition) {
    CQVFileSystem* disk = CQVStdioFileSystem::GetInstance();
    EXPECT_EQ(FileSystem_GetCurrent(), disk);

    void* out = disk->Open("f.bin", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(disk->Write("0123456789", 2, 5, out), 5u);
    disk->Close(out);

    void* in = disk->Open("F.BIN", "rb");
    ASSERT_NE(in, nullptr);
    char c[3] = {};
    disk->Read(c, 1, 3, in);
    EXPECT_EQ(disk->GetSize(in), 10u);
    EXPECT_EQ(disk->Tell(in), 3);
    EXPECT_EQ(disk->Seek(in, 0, FILE_SEEK_END), 0);
    EXPECT_EQ(disk->Read(c, 1, 1, in), 0u);
    EXPECT_NE(disk->IsEof(in), 0);
    disk->Close(in);
}

TEST(FileExtension, LastDotOnwards) {
    EXPECT_STREQ(File_GetExtension("mesh.qvm"), ".qvm");
    EXPECT_STREQ(File_GetExtension("a.b.tga"), ".tga");
    EXPECT_STREQ(File_GetExtension("Data\\Tex\\Wall.DDS"), ".DDS");
    // The first character is never examined; at most 14 characters follow the dot.
    EXPECT_STREQ(File_GetExtension(".tga"), ".tga");
    EXPECT_STREQ(File_GetExtension("x.abcdefghijklmnopq"), ".defghijklmnopq");
    EXPECT_STREQ(File_GetExtension(""), ".");
}

}  // namespace
