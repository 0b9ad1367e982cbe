#pragma once
// The game's start options as the launcher keeps them: eleven numbers
// stored as decimal texts in the settings store under the product's key,
// read at start-up, changed in the settings dialog and turned into the
// game's command line.

#include <cstdint>
#include <string>

// The product's key under the programs' root path.
inline constexpr const char* kProductKey = "Corvane";

struct LauncherSettings {
    int32_t adapter = 0;
    int32_t textureQuality = 0;    // 0, 16, 32
    int32_t textureFiltering = 0;  // 0, 1, 2
    int32_t antiAlias = 0;         // 0, 4
    int32_t levelGeometry = 1;     // 0, 1, 2
    int32_t levelTextures = 1;
    int32_t particleDetail = 1;
    int32_t soundEnabled = 1;
    int32_t width = 800;
    int32_t height = 600;
    int32_t depth = 32;  // 16 or 32
};

// The stored values in their order.
struct LauncherSettingRow {
    const char* valueName;
    int32_t LauncherSettings::*field;
};
extern const LauncherSettingRow kLauncherSettingRows[11];

// Reads each stored value that can be read into its field (others keep
// theirs); nothing when the product's key does not exist.
void LauncherSettings_Load(LauncherSettings* settings);
// Writes every field when the product's key exists; nothing otherwise.
void LauncherSettings_Save(const LauncherSettings& settings);
// The game's command line: "-adapter=0 -tq=0 ... -d=32".
std::string LauncherSettings_CommandLine(const LauncherSettings& settings);
