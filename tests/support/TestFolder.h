#pragma once
// A temporary folder of the running test's own, one level under the system's
// temporary folder. A parameterised test's name holds a '/', which would make
// the folder two levels deep and leave its parent behind when it is removed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

inline std::filesystem::path TestFolder_Path(const std::string& prefix) {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()) + "_" + name);
}
