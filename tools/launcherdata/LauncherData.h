#pragma once
// The launcher's files: the menu description (".shl") and button files as
// lines of keys and values, the pictures, sounds, movies, cursors and icon
// of its "shellmedia" folder, and the settings key an installation makes.
// The sample folder that `make launcher` starts the launcher on is built
// from them, and so are the tests' folders.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One line: a key and its value (or a pair's label and file).
struct LauncherKey {
    std::string key;
    std::string value;
};
using LauncherKeys = std::vector<LauncherKey>;

// A value as one token: between double quotes when it holds a blank or '='.
std::string LauncherData_Token(const std::string& value);
// "key = value" lines, each ending in a line feed.
std::string LauncherData_Text(const LauncherKeys& keys);

// A menu description; "null" sets nothing, as in the files.
struct LauncherMenu {
    std::string name = "null";
    std::string icon = "null";
    std::string cursorNormal = "null";
    std::string cursorHover = "null";
    std::string fullScreen = "false";
    std::string drawRects = "false";
    std::string background = "null";
    std::vector<std::string> movies;   // start-up movie, launch movie
    std::string playMovie = "false";
    std::vector<std::string> buttons;  // button file names
};
// The keys in their order; counts from the lists, pairs labelled
// "movie_1", "button_1" ...
LauncherKeys LauncherData_MenuKeys(const LauncherMenu& menu);

struct LauncherButton {
    std::string imageNormal = "null";
    std::string imageHover = "null";
    std::string imageBubble = "null";
    int posX = 0, posY = 0;
    int rectLeft = 0, rectTop = 0, rectRight = 0, rectBottom = 0;
    std::string soundHover = "null";
    std::string soundClick = "null";
    std::string command = "null";
    std::string shutdown = "false";
};
LauncherKeys LauncherData_ButtonKeys(const LauncherButton& button);

// Writes bytes to a file; false when it cannot be written whole.
bool LauncherData_WriteFile(const std::filesystem::path& path, const std::string& bytes);
// A 24-bit BMP of one colour (0xRRGGBB).
bool LauncherData_WriteSolidBmp(const std::filesystem::path& path, int width, int height, uint32_t rgb);

// The settings key of the product with its installation folder, as the
// installation makes it (in the settings store of the environment's
// configuration folder).
bool LauncherData_Install(const std::string& product, const std::string& targetDir, std::string* error);

// The sample: "shellmedia" in folder with its menu of four buttons (Play
// starts gameProgram, Settings, Read me opens a text, Exit), pictures,
// sounds, the start-up and launch movies, cursors and icon; and the
// product's settings key with folder as the installation folder.
bool LauncherData_WriteSample(const std::filesystem::path& folder, const std::string& gameProgram, std::string* error);
