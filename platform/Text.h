#pragma once
// Text encodings: the game's texts are Windows-1252; the toolkits take UTF-8.

#include <string>

std::string Text_Cp1252ToUtf8(const std::string& text);
