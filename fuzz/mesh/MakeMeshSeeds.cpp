// Writes the seed files of the mesh readers' fuzz targets with the content
// tools: make_mesh_seeds <qvm folder> <anb folder>.

#include "tools/content/MeshBuild.h"

#include <cstdio>
#include <string>

namespace {

// The figure cut down to its first three bones and their boxes, so the seed stays small.
QvmFile SmallFigure(uint32_t version) {
    QvmFile file = MeshBuild_Figure(version);
    file.bones.resize(3);
    QvmSubset& body = file.subsets[0];
    body.vertexCount = 48;
    body.vertices.resize(48 * body.stride);
    body.indices.resize(72);
    body.skin.resize(48);
    return file;
}

QvmFile TwoSubsets() {
    QvmSubset crate = MeshBuild_ToSubset(MeshBuild_Box(Vector3(-10, 0, -10), Vector3(10, 20, 10)), false);
    crate.name = "Crate";
    QvmSubset ground = MeshBuild_ToSubset(MeshBuild_Terrain(Vector3(-50, 0, -50), 100, 3, MeshBuild_Hills(4, 2)), true);
    ground.name = "Ground";
    return MeshBuild_RigidFile({crate, ground});
}

AnbFile TwoParts() {
    AnbFile file = MeshBuild_WavingFlag(40, 30, 1, 2);
    AnbPart second = file.parts[0];
    second.texIndices = {0, 1, 2, 0, 2, 3};
    file.parts.push_back(second);
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_mesh_seeds <qvm folder> <anb folder>\n");
        return 2;
    }
    const std::string qvm = argv[1], anb = argv[2];
    QvmFile box = MeshBuild_RigidFile({MeshBuild_ToSubset(MeshBuild_Box(Vector3(0, 0, 0), Vector3(1, 1, 1)), false)});
    box.version = 1;
    const bool written = Qvm_WriteFile(qvm + "/box_version1.qvm", box) &&
                         Qvm_WriteFile(qvm + "/two_subsets.qvm", TwoSubsets()) &&
                         Qvm_WriteFile(qvm + "/figure_version1.qvm", SmallFigure(1)) &&
                         Qvm_WriteFile(qvm + "/figure_version2.qvm", SmallFigure(2)) &&
                         Anb_WriteFile(anb + "/flag.anb", MeshBuild_WavingFlag(40, 30, 2, 3)) &&
                         Anb_WriteFile(anb + "/two_parts.anb", TwoParts());
    return written ? 0 : 1;
}
