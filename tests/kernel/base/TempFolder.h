#pragma once
// A fixture that runs each test inside a fresh temporary folder, so that
// relative engine paths and "pack.csa" resolve there; the folder goes away
// afterwards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolderTest : public testing::Test {
protected:
    std::filesystem::path root;
    std::filesystem::path previous;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv_files_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }
    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};
