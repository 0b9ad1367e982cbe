#pragma once
// The launcher Ambrel: reads its menu description and runs the menu window
// until it closes.

#include <string>

// The program's name: the caption of its messages.
inline constexpr const char* kLauncherName = "Ambrel";

class CQVLauncherApp {
public:
    // The whole run: the menu description, then the menu window until it
    // closes. Always false: the program ends when it returns.
    bool InitInstance();
};

// A message box of the launcher (OK button, the program's name as caption).
void Launcher_Message(const std::string& text);
