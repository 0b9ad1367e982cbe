#pragma once
// The desktop's "open" verb: starts a program, or opens a document, folder
// or address with the desktop's opener (xdg-open), without waiting for it.

#include <string>
#include <vector>

// file is a name on this disk. A file that can be run starts with the
// parameters as its arguments; a name without a folder part that is no
// file here is looked up on PATH; anything else goes to xdg-open. The
// program starts in folder when one is given, else in the current folder.
// False when nothing could be started.
bool Platform_ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder);

// Parameters as arguments: split at blanks and tabs, a stretch between
// double quotes kept in one argument (the quotes dropped).
std::vector<std::string> Platform_SplitParameters(const std::string& parameters);
