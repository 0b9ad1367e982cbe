#pragma once
// The start file "init.txt": four lines, each taken whole.

#include <cstddef>
#include <string>

struct StartFile {
    std::string baseDirectory;  // the game's folder, no trailing '\'
    std::string startScene;     // actor file opened into "Scenery"
    std::string globalsFile;    // actor file opened into "Global"
    std::string windowTitle;
};

// The longest line the start file's buffers take (its line end aside).
constexpr size_t kStartLineMax = 65536;

// Reads the four lines (CR LF or LF); missing lines are empty, lines after
// the fourth are ignored. False when the file cannot be opened or one of
// the four lines is longer than kStartLineMax, with problem saying which.
bool StartFile_Read(const std::string& path, StartFile* out, std::string* problem = nullptr);
