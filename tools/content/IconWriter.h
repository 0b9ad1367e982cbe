#pragma once
// Icon (".ico") and cursor (".cur") files of one picture: a 32-bit picture
// with alpha after its information header, then the 1-bit mask of its
// transparent pixels, as the desktop's files hold them.

#include <cstdint>
#include <string>
#include <vector>

// ARGB pixels, rows top first; a cursor's hot spot in pixels from the top left.
std::vector<uint8_t> IconWriter_Encode(const uint32_t* pixels, uint32_t width, uint32_t height, bool cursor,
                                       uint32_t hotspotX = 0, uint32_t hotspotY = 0);
