#pragma once
// Movie files made by the tests themselves, and a source that reads them
// from the disk.

#include "platform/movie/Movie.h"
#include "tools/content/MovieWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

class DiskMovieSource : public MovieSource {
public:
    explicit DiskMovieSource(std::FILE* file) : m_File(file) {}
    ~DiskMovieSource() override { std::fclose(m_File); }
    int Read(uint8_t* buffer, int size) override {
        const size_t read = std::fread(buffer, 1, static_cast<size_t>(size), m_File);
        return std::ferror(m_File) ? -1 : static_cast<int>(read);
    }
    int64_t Seek(int64_t offset, int origin) override {
        if (std::fseek(m_File, offset, origin) != 0) return -1;
        return std::ftell(m_File);
    }
    int64_t GetSize() override {
        const long here = std::ftell(m_File);
        std::fseek(m_File, 0, SEEK_END);
        const long size = std::ftell(m_File);
        std::fseek(m_File, here, SEEK_SET);
        return size;
    }

private:
    std::FILE* m_File;
};

inline std::unique_ptr<PlatformMovie> OpenMovieFile(const std::string& path, bool withAudio, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot open " + path;
        return nullptr;
    }
    return PlatformMovie::Open(std::make_unique<DiskMovieSource>(file), withAudio, error);
}

// Colours that survive MPEG's colour conversion closely.
inline const std::vector<uint32_t>& ClipColours() {
    static const std::vector<uint32_t> colours = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                                                  0xFFFFFFFFu, 0xFF808080u, 0xFFFFFF00u};
    return colours;
}

// A clip of 64 x 48 frames at 25 per second, one colour each, with a tone.
inline MovieClip ColourClip(bool withAudio = true) {
    MovieClip clip;
    clip.settings.width = 64;
    clip.settings.height = 48;
    clip.settings.frameRate = 25;
    clip.settings.withAudio = withAudio;
    clip.frameColours = ClipColours();
    return clip;
}

// Channels within tolerance of the expected colour.
inline bool CloseTo(uint32_t got, uint32_t want, int tolerance = 10) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) return false;
    }
    return (got >> 24) == 0xFF;
}

class MovieFolder : public testing::Test {
protected:
    std::filesystem::path folder;
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv_movie_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string Write(const std::string& name, const MovieClip& clip) {
        const std::string path = (folder / name).string();
        std::string error;
        EXPECT_TRUE(MovieWriter_WriteClip(path, clip, &error)) << error;
        return path;
    }
};
