// Writes the seed files of the motion reader's fuzz target with the content
// tools' ".mot" writer: make_motion_seeds <folder>.

#include "tools/content/MotWriter.h"

#include <cstdio>
#include <string>

namespace {

MotFile EveryKeyKind() {
    MotFile file;
    file.rootDisplacement = {0, 0, 90};
    KeyTrack* track = MotWriter_AddTrack(&file, "Bip01", 1.0f);
    track->rotationKeys = {{{0, 0, 0, 1}, 0.0f, 0}, {{0, 0.7071068f, 0, 0.7071068f}, 1.0f, 0}};
    track->positionKeys = {{{0, 40, 0}, 0.0f, 0}, {{0, 42, 30}, 0.5f, 0}, {{0, 40, 60}, 1.0f, 0}};
    track->scaleKeys = {{{1, 1, 1}, 0.0f, 0}};
    MatrixKey key{};
    for (int i = 0; i < 4; ++i) key.matrix.m[i][i] = 1.0f;
    track->matrixKeys = {key};
    return file;
}

MotFile TwoBones() {
    MotFile file;
    file.version = 2;
    file.firstTriple = {1, 2, 3};
    for (const char* bone : {"Spine1", "Head"}) {
        KeyTrack* track = MotWriter_AddTrack(&file, bone, 2.0f);
        track->rotationKeys = {{{0, 0, 0, 1}, 0.0f, 0}, {{0.5f, 0, 0, 0.8660254f}, 2.0f, 0}};
        track->positionKeys = {{{0, 10, 0}, 0.0f, 0}};
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_motion_seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool written = MotWriter_Write((folder + "/empty.mot").c_str(), MotFile{}) &&
                         MotWriter_Write((folder + "/every_key_kind.mot").c_str(), EveryKeyKind()) &&
                         MotWriter_Write((folder + "/two_bones.mot").c_str(), TwoBones());
    return written ? 0 : 1;
}
