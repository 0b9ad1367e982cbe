// Test entry: every test runs headless on the real backends, whoever starts it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void SetDefault(const char* name, const std::string& value) { setenv(name, value.c_str(), 0); }

}  // namespace

int main(int argc, char** argv) {
    const std::string runtimeDir = QV_TEST_RUNTIME_DIR;
    std::filesystem::create_directories(runtimeDir);
    SetDefault("SDL_VIDEODRIVER", "offscreen");
    SetDefault("SDL_AUDIODRIVER", "dummy");
    SetDefault("LIBGL_ALWAYS_SOFTWARE", "1");
    SetDefault("ALSOFT_DRIVERS", "null");
    SetDefault("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1");
    SetDefault("XDG_RUNTIME_DIR", runtimeDir);
    SetDefault("QV_BIN_DIR", QV_TEST_BIN_DIR);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
