#include "tools/content/FigureContent.h"

#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"

namespace {

bool Failed(const std::string& file, std::string* error) {
    if (error != nullptr) *error = "cannot write " + file;
    return false;
}

}  // namespace

std::vector<std::string> FigureContent_MotionNames() {
    std::vector<std::string> names;
    for (const NamedMotion& motion : MotBuild_FigureMotions(MeshBuild_Figure(2).bones)) names.push_back(motion.name);
    return names;
}

bool FigureContent_Add(LibraryFile* library, const std::filesystem::path& data, const FigureItems& items,
                       std::string* error) {
    const QvmFile figure = MeshBuild_Figure(2);
    const std::string meshFile = items.fileStem + ".qvm";
    if (!Qvm_WriteFile((data / meshFile).string(), figure)) return Failed(meshFile, error);
    CQVMeshItem* mesh = library->AddMesh(items.mesh, items.prefix + " Figure", meshFile);
    if (mesh == nullptr) return Failed(meshFile, error);
    mesh->skinned = 1;
    // Read without loading, the item carries the bounds the culling starts with:
    // the figure standing, with room for its arms and a fall.
    SubsetInfo info;
    info.shapeParam = items.material;
    info.box = Box{Vector3(-100, -20, -100), Vector3(100, 200, 100)};
    info.sphere = Sphere{Vector3(0, 90, 0), 140};
    info.outerRadius = 230;
    mesh->subsetInfos.assign(1, info);

    uint32_t id = items.firstMotion;
    for (const NamedMotion& motion : MotBuild_FigureMotions(figure.bones)) {
        const std::string file = items.fileStem + "_" + motion.name + ".mot";
        if (MotWriter_Write((data / file).c_str(), motion.file) != 1) return Failed(file, error);
        if (library->AddMotion(id++, items.prefix + "_" + motion.name, file) == nullptr) return Failed(file, error);
    }
    return true;
}
