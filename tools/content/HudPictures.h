#pragma once
// The pictures of the game's HUD, drawn here: the soul and health gauge with
// its fill and its glow, the ammunition flash, the light sensor and its
// ring, the endurance marks and their frame, the film grain and a weapon
// icon; written as TGA files into a data folder and entered in a library
// under the names the Inventory looks up ("SoulIcon", "AmmoFlare" ...),
// with the "GameFont" font and the "Black" material of the fade.

#include "tools/content/LibraryFile.h"

#include <cstdint>
#include <filesystem>

struct HudPictureIds {
    uint32_t firstTexture = 900;   // one texture per picture, in a row
    uint32_t firstMaterial = 920;  // one material per picture, then "Black"
    uint32_t font = 940;           // "GameFont"
};

// The material id of the weapon icon, for an item's "Set Icon2 Material LibID".
uint32_t HudPictures_WeaponIcon(const HudPictureIds& ids);

// Writes the files into dataFolder and adds the items; false when a file
// cannot be written.
bool HudPictures_Add(LibraryFile& library, const std::filesystem::path& dataFolder, const HudPictureIds& ids = {});
