#pragma once
// The front ends' tests: each runs in a fresh folder of its own (the
// current folder, where the launcher looks for "shellmedia" and the router
// for its ini file), with a settings store of its own, and may start the
// recording stand-in program (qv_record_args) and read what it recorded.

#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// What the stand-in recorded: the folder it ran in, the name it was started
// by and its arguments.
struct StandInRecord {
    std::string folder;
    std::string program;
    std::vector<std::string> arguments;
};

class FrontendTest : public testing::Test {
protected:
    std::filesystem::path root;
    std::filesystem::path previous;

    void SetUp() override {
        root = TestFolder_Path("qv_frontend_");
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "config");
        root = std::filesystem::canonical(root);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("QV_RECORD_FILE", RecordPath().c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }

    std::filesystem::path RecordPath() const { return root / "record.txt"; }
    // The stand-in program of the build.
    static std::string StandIn() {
        const char* bin = std::getenv("QV_BIN_DIR");
        return std::string(bin != nullptr ? bin : ".") + "/qv_record_args";
    }
    static void WriteText(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // Waits for the stand-in's record; false when none came in time.
    bool WaitForRecord(StandInRecord* record, int timeoutMs = 10000) const {
        for (int waited = 0; waited <= timeoutMs; waited += 10) {
            std::ifstream in(RecordPath());
            if (in) {
                std::string line;
                std::getline(in, record->folder);
                std::getline(in, record->program);
                while (std::getline(in, line)) record->arguments.push_back(line);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // True when no record came in the time a started program would have taken.
    bool NothingStarted(int waitMs = 300) const {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return !std::filesystem::exists(RecordPath());
    }
};
