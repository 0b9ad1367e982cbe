#include "services/mesh/MeshAccess.h"

#include "kernel/base/FileSystem.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/MeshShapes.h"

#include <string>

namespace {

bool Loaded(CQVMeshItem* mesh) { return mesh != nullptr && (mesh->loaded || mesh->Load() == 1); }

MeshSubset* SubsetAt(CQVMeshItem* mesh, uint32_t i) {
    return mesh != nullptr && i < mesh->subsets.size() ? &mesh->subsets[i] : nullptr;
}

const SubsetInfo* InfoAt(const CQVMeshItem* mesh, uint32_t i) {
    return mesh != nullptr && i < mesh->subsetInfos.size() ? &mesh->subsetInfos[i] : nullptr;
}

int LoadAnb(CQVEngine* engine, CQVMeshItem* mesh, const std::string& path) {
    mesh->subsets.clear();
    mesh->subsets.emplace_back();
    MeshSubset& subset = mesh->subsets[0];
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    if (graphics == nullptr || !graphics->ReadAnbMesh(path.c_str(), &subset.vertexBuffer, &subset.indexBuffer,
                                                      &subset.frameCount, &subset.triangleCount, &subset.vertexCount)) {
        mesh->subsets.clear();
        return engine->SetError("%s", graphics != nullptr ? graphics->GetErrorText() : "Error Can't Load Mesh");
    }
    subset.vertexFormat = kAnbVertexFormat;
    subset.stride = kAnbVertexStride;
    mesh->subsetInfos.assign(1, SubsetInfo{});
    Subset_UpdateBounds(&subset);
    return 1;
}

}  // namespace

int CQVEngine::ReadMeshFile(CQVMeshItem* item, const char* path, uint32_t unused) {
    (void)unused;
    if (item == nullptr) return SetError("%s", "Error Can't Load Mesh");
    return MeshFile_ReadQvm(path, &item->skinned, &item->subsets, &item->bones);
}

int CQVEngine::LoadMesh(CQVMeshItem* item) {
    if (item == nullptr) return SetError("%s", "Error: Load Mesh From File");
    const std::string path = item->GetFullPath();
    const char* extension = File_GetExtension(path.c_str());
    if (Library_NamesEqual(extension, ".qvm")) {
        item->subsets.clear();
        if (!ReadMeshFile(item, path.c_str(), 0)) return 0;
    } else if (Library_NamesEqual(extension, ".anb")) {
        if (!LoadAnb(this, item, path)) return 0;
    } else if (!Library_NamesEqual(extension, ".x")) {
        // An ".x" mesh reads nothing and keeps what it has.
        return SetError("%s", "Error Unsupported format");
    }
    item->subsetInfos.resize(item->subsets.size());
    return 1;
}

Box Mesh_ComputeBounds(CQVMeshItem* mesh, uint32_t i, const Matrix* matrix) {
    if (!Loaded(mesh)) return Box{};
    if (mesh->subsets.empty()) {
        const SubsetInfo* info = InfoAt(mesh, i);
        if (info == nullptr) return Box{};
        Matrix identity;
        Mat4_Identity(&identity);
        Box box;
        Box_Transform(&box.min, &box.max, info->box.min, info->box.max, matrix != nullptr ? *matrix : identity);
        return box;
    }
    const MeshSubset* subset = SubsetAt(mesh, i);
    return subset != nullptr ? Subset_ComputeBounds(*subset, matrix) : Box{};
}

Sphere Mesh_ComputeSphere(CQVMeshItem* mesh, uint32_t i) { return Box_GetSphere(Mesh_ComputeBounds(mesh, i, nullptr)); }

uint32_t Mesh_GetFrameCount(CQVMeshItem* mesh) {
    if (mesh == nullptr) return 0;
    return mesh->subsets.empty() ? mesh->frameWord : mesh->subsets[0].frameCount;
}

uint32_t Mesh_GetShapeCount(const CQVMeshItem* mesh) {
    return mesh != nullptr ? static_cast<uint32_t>(mesh->subsetInfos.size()) : 0;
}

uint32_t Mesh_GetShapeType(const CQVMeshItem* mesh, uint32_t i) {
    const SubsetInfo* info = InfoAt(mesh, i);
    return info != nullptr ? info->shapeType : SHAPE_NONE;
}

uint32_t Mesh_GetShapeParam(const CQVMeshItem* mesh, uint32_t i) {
    const SubsetInfo* info = InfoAt(mesh, i);
    return info != nullptr ? info->shapeParam : 4;
}

void Mesh_GetShapeSphere(const CQVMeshItem* mesh, uint32_t i, Sphere* sphere) {
    const SubsetInfo* info = InfoAt(mesh, i);
    *sphere = info != nullptr ? info->sphere : Sphere{};
}

void Mesh_SetShapeSphere(CQVMeshItem* mesh, uint32_t i, const Sphere& sphere) {
    if (mesh != nullptr && i < mesh->subsetInfos.size()) mesh->subsetInfos[i].sphere = sphere;
}

void Mesh_GetShapeBox(const CQVMeshItem* mesh, uint32_t i, Box* box) {
    const SubsetInfo* info = InfoAt(mesh, i);
    *box = info != nullptr ? info->box : Box{};
}

void Mesh_BuildShapeData(CQVMeshItem* mesh, uint32_t i) {
    if (mesh == nullptr) return;
    if (MeshSubset* subset = SubsetAt(mesh, i)) subset->shapeData.reset();
    if (!Loaded(mesh)) return;
    if (MeshSubset* subset = SubsetAt(mesh, i)) Shape_Build(subset, Mesh_GetShapeType(mesh, i));
}

void Mesh_FreeShapeData(CQVMeshItem* mesh, uint32_t i) {
    if (MeshSubset* subset = SubsetAt(mesh, i)) subset->shapeData.reset();
}

int Mesh_SweepSphere(CQVMeshItem* mesh, uint32_t i, const Vector3& centre, float radius, Vector3* push,
                     uint32_t unused) {
    (void)unused;
    *push = Vector3(0, 0, 0);
    if (!Loaded(mesh)) return 0;
    MeshSubset* subset = SubsetAt(mesh, i);
    return subset != nullptr ? Shape_SweepSphere(subset, Mesh_GetShapeType(mesh, i), centre, radius, push) : 0;
}

int Mesh_FindSurfacePoint(CQVMeshItem* mesh, uint32_t i, uint32_t selector, const Vector3& p, Vector3* point,
                          uint32_t unused, uint32_t* triangle) {
    (void)unused;
    if (i == 0xFFFFFFFF) i = 0;
    if (!Loaded(mesh)) return 0;
    MeshSubset* subset = SubsetAt(mesh, i);
    if (subset == nullptr) return 0;
    // Only a surface has the triangles in its frame; it is built on first use as for a sweep.
    if (!subset->shapeData && Mesh_GetShapeType(mesh, i) == SHAPE_TRIANGLE_SURFACE)
        Shape_Build(subset, SHAPE_TRIANGLE_SURFACE);
    const auto* surface = dynamic_cast<const TriangleShapeData*>(subset->shapeData.get());
    return surface != nullptr ? Shape_FindSurfacePoint(*surface, selector, p, point, triangle) : 0;
}

int Mesh_IntersectSubset(CQVMeshItem* mesh, uint32_t i, uint32_t selector, const Vector3& p, Vector3* point,
                         Vector3* normal, uint32_t* cachedTriangle) {
    if (i == 0xFFFFFFFF) i = 0;
    if (!Loaded(mesh)) return 0;
    const MeshSubset* subset = SubsetAt(mesh, i);
    return subset != nullptr ? Subset_IntersectPoint(*subset, selector, p, point, normal, cachedTriangle) : 0;
}
