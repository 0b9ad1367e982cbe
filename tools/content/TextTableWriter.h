#pragma once
// Writes the game's text table, "text.txt": a first line with the number of
// texts, then each key and its text on lines of their own, each ended by a
// blank and '}', with CR LF line ends.

#include <string>
#include <utility>
#include <vector>

std::string TextTable_Encode(const std::vector<std::pair<std::string, std::string>>& texts);
// False when the file cannot be written whole.
bool TextTable_Write(const std::string& path, const std::vector<std::pair<std::string, std::string>>& texts);
