#pragma once
// Text encodings: the game's texts are Windows-1252; the toolkits take UTF-8.

#include <cstdint>
#include <string>

std::string Text_Cp1252ToUtf8(const std::string& text);
// The Unicode code point of one Windows-1252 byte; U+FFFD for the five bytes without a character.
uint32_t Text_Cp1252CodePoint(unsigned char byte);
