#include "services/storage/ImageBuffer.h"

#include "kernel/base/Archive.h"
#include "kernel/base/FileSystem.h"
#include "kernel/base/Path.h"

#include <cstdio>
#include <limits>
#include <new>
#include <string>

void ImageBuffer::UpdateLayout() {
    bytesPerPixel = bitsPerPixel / 8;
    pitch = width * bitsPerPixel / 8;
    size = height * pitch;
}

bool ImageBuffer::Create(int32_t newWidth, int32_t newHeight, int32_t newBitsPerPixel) {
    Free();
    if (newWidth < 0 || newHeight < 0 || newBitsPerPixel < 8 || newBitsPerPixel > 32 || newBitsPerPixel % 8 != 0)
        return false;
    // The layout is kept in 32-bit words: a larger picture is refused, not wrapped.
    const int64_t bytes = static_cast<int64_t>(newWidth) * newHeight * (newBitsPerPixel / 8);
    if (bytes > std::numeric_limits<int32_t>::max()) return false;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    UpdateLayout();
    pixels.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (pixels == nullptr) {
        Free();
        return false;
    }
    return true;
}

void ImageBuffer::Free() {
    pixels.reset();
    width = height = bitsPerPixel = pitch = bytesPerPixel = size = 0;
}

int ImageBuffer::WriteTga(const char* fileName) const {
    if (fileName == nullptr || width > 0xFFFF || height > 0xFFFF) return 0;
    // Written whole into a new file beside the name, then put in its place:
    // a failed write leaves an older file as it was, and a link planted
    // under the name is replaced, not followed.
    CQVArchive archive;
    archive.fileSystem = CQVStdioFileSystem::GetInstance();
    std::string temporary;
    if (!Archive_OpenTemporaryBeside(&archive, fileName, &temporary)) return 0;
    const uint8_t header[18] = {0,
                                0,
                                2,  // uncompressed true colour
                                0, 0, 0, 0, 0,
                                0, 0, 0, 0,
                                static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                                static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                                static_cast<uint8_t>(bitsPerPixel),
                                0};  // origin at the bottom left: rows go bottom up
    bool written = archive.Write(header, sizeof header) == 1;
    for (int32_t row = height - 1; written && row >= 0 && pitch > 0; --row)
        written = archive.Write(pixels.get() + static_cast<size_t>(row) * static_cast<size_t>(pitch),
                                static_cast<uint32_t>(pitch)) == 1;
    // Every byte must be on the disk before the old file goes.
    written = archive.Flush() && written;
    written = archive.Close() == 0 && written;
    const std::string temporaryPath = CQVFilePath(temporary).Resolve();
    if (!written) {
        std::remove(temporaryPath.c_str());
        return 0;
    }
    return File_ReplaceOnDisk(temporaryPath, CQVFilePath(fileName).Resolve()) ? 1 : 0;
}
