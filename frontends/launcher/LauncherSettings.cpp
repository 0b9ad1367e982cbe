#include "frontends/launcher/LauncherSettings.h"

#include "frontends/common/Registry.h"
#include "frontends/common/Tokenizer.h"

#include <cstdio>

const LauncherSettingRow kLauncherSettingRows[11] = {
    {"Adapter", &LauncherSettings::adapter},
    {"TextureQuality", &LauncherSettings::textureQuality},
    {"TextureFiltering", &LauncherSettings::textureFiltering},
    {"AntiAlias", &LauncherSettings::antiAlias},
    {"LevelGeometry", &LauncherSettings::levelGeometry},
    {"LevelTextures", &LauncherSettings::levelTextures},
    {"ParticleDetail", &LauncherSettings::particleDetail},
    {"SoundEnabled", &LauncherSettings::soundEnabled},
    {"Width", &LauncherSettings::width},
    {"Height", &LauncherSettings::height},
    {"Depth", &LauncherSettings::depth},
};

void LauncherSettings_Load(LauncherSettings* settings) {
    CQVRegistry registry;
    if (!registry.KeyExists(kProductKey)) return;
    for (const LauncherSettingRow& row : kLauncherSettingRows) {
        std::string text;
        if (registry.ReadString(kProductKey, row.valueName, &text)) settings->*row.field = Frontend_ReadInt(text.c_str());
    }
}

void LauncherSettings_Save(const LauncherSettings& settings) {
    CQVRegistry registry;
    if (!registry.KeyExists(kProductKey)) return;
    for (const LauncherSettingRow& row : kLauncherSettingRows) {
        registry.WriteString(kProductKey, row.valueName, std::to_string(settings.*row.field).c_str());
    }
}

std::string LauncherSettings_CommandLine(const LauncherSettings& s) {
    char line[260];
    std::snprintf(line, sizeof line, "-adapter=%d -tq=%d -tf=%d -aa=%d -lg=%d -lt=%d -pd=%d -s=%d -w=%d -h=%d -d=%d",
                  s.adapter, s.textureQuality, s.textureFiltering, s.antiAlias, s.levelGeometry, s.levelTextures,
                  s.particleDetail, s.soundEnabled, s.width, s.height, s.depth);
    return line;
}
