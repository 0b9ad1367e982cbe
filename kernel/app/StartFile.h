#pragma once
// The start file "init.txt": four lines, each taken whole.

#include <string>

struct StartFile {
    std::string baseDirectory;  // the game's folder, no trailing '\'
    std::string startScene;     // actor file opened into "Scenery"
    std::string globalsFile;    // actor file opened into "Global"
    std::string windowTitle;
};

// Reads the four lines (CR LF or LF); missing lines are empty, lines after
// the fourth are ignored. False when the file cannot be opened.
bool StartFile_Read(const std::string& path, StartFile* out);
