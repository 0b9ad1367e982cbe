#pragma once
// Files made to hurt the game, for the tests that show it stands them:
// pictures whose headers announce far more than their few bytes hold, and
// the like. Each is small to write and to store, whatever it announces.

#include <cstdint>
#include <vector>

// An 8-bit run-length BMP of width x height: a grey palette and the code
// that ends the picture at once (every pixel then takes index 0).
std::vector<uint8_t> HostileFile_RleBmp(uint32_t width, uint32_t height);
// An 8-bit grey run-length TGA of width x height: every packet a run of
// 128 pixels, two bytes for 128 pixels.
std::vector<uint8_t> HostileFile_RleTga(uint32_t width, uint32_t height);
// A black 1-bit PNG of width x height, deflated as far as it goes.
std::vector<uint8_t> HostileFile_BlankPng(uint32_t width, uint32_t height);
// A 16 x 16 grey JPEG whose frame header says width x height: its scan
// ends long before the picture does.
std::vector<uint8_t> HostileFile_ShortJpeg(uint32_t width, uint32_t height);
// A DXT1 DDS header of width x height with one level of blocks (16 x 16 of it).
std::vector<uint8_t> HostileFile_Dds(uint32_t width, uint32_t height);
