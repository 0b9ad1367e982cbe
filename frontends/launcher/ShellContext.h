#pragma once
// The launcher's menu description: the ".shl" file in the folder
// "shellmedia" of the current folder, read once at start-up. Every file it
// names is relative to "shellmedia\".

#include <cstdint>
#include <string>
#include <vector>

class CQVTokenizer;

// The folder of the menu's files, and the prefix of every name in them.
inline constexpr const char* kShellMediaFolder = "shellmedia";
inline constexpr const char* kShellMediaPrefix = "shellmedia\\";

struct ShellContext {
    std::string applicationName;   // window title
    std::string iconFile;
    std::string normalCursorFile;
    std::string hoverCursorFile;
    int32_t fullScreen = 0;        // borderless window over the whole screen
    int32_t drawRects = 0;         // frame each button's hot rectangle
    std::string backgroundImage;   // BMP file of the menu picture
    int32_t movieCount = 0;
    std::vector<std::string> movieFiles;  // start-up movie, then launch movie
    int32_t playMovie = 0;
    int32_t buttonCount = 0;
    std::vector<std::string> buttonFiles;

    // Finds and reads the description; false (after the message that says
    // why, where there is one) when it cannot be read completely.
    bool Parse();
    // Reads the description from its tokens, in the fixed key order.
    bool ParseTokens(CQVTokenizer& tokens);
};

// The description of the running launcher, for the shell and its buttons.
extern ShellContext* g_ShellContext;
