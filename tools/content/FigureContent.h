#pragma once
// The skinned figure as a level uses it: its mesh file and one motion file
// per motion in a data folder, and their library items: the mesh, drawn in
// the material of the id given (the caller adds it), and the motions, each named with a three-letter
// owner prefix and a separator before the motion's name ("Fig_N_Neutral"),
// so that a SkinObject's "AutoAssign Motions" with the prefix takes them all.

#include "tools/content/LibraryFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct FigureItems {
    uint32_t mesh;
    uint32_t material;
    uint32_t firstMotion;  // the motions take the ids from here on, in the order MotBuild_FigureMotions gives
    std::string prefix = "Fig";  // three letters
    std::string fileStem = "figure";  // files "<stem>.qvm" and "<stem>_<motion>.mot"
};

// The motions' names, in the order of their item ids.
std::vector<std::string> FigureContent_MotionNames();

// Writes the files into the folder and adds the items; false, with the file
// that could not be written in *error, otherwise.
bool FigureContent_Add(LibraryFile* library, const std::filesystem::path& data, const FigureItems& items,
                       std::string* error);
