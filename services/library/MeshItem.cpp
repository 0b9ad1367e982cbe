#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/ServiceCalls.h"
#include "services/mesh/MeshFile.h"

#include <algorithm>

namespace {

// Stored sizes of one subset record: shape, parameter, light map and two
// unused words; from version 3 with its box, sphere and outer radius.
constexpr uint32_t kSubsetRecordSize = 5 * 4;
constexpr uint32_t kSubsetBoundsSize = 11 * 4;

void SerializeSubsetInfo(CQVArchive* archive, SubsetInfo* info, uint32_t mode, uint32_t version) {
    archive->SerializeDword(&info->shapeType);
    archive->SerializeDword(&info->shapeParam);
    if (version >= 3) {
        archive->SerializeDwords(&info->box, 6);
        archive->SerializeDwords(&info->sphere, 4);
        archive->SerializeDword(&info->outerRadius);
    }
    const bool reading = mode != SERIALIZE_WRITE;
    if (reading && info->shapeParam == 0) info->shapeParam = 4;
    archive->SerializeDword(&info->lightMapId);
    // Light maps came with version 7; older ids name nothing.
    if (reading && version < 7) info->lightMapId = -1;
    uint32_t unused[2] = {};
    archive->SerializeDwords(unused, 2);
}

void FreeGeometry(CQVMeshItem* mesh) {
    mesh->subsets.clear();
    Bones_Clear(&mesh->bones);
}

}  // namespace

CQVMeshItem::~CQVMeshItem() { Bones_Clear(&bones); }

int CQVMeshItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    static_assert(sizeof(Box) == 6 * 4 && sizeof(Sphere) == 4 * 4);
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    uint32_t count = static_cast<uint32_t>(subsetInfos.size());
    const uint32_t recordSize = kSubsetRecordSize + (version >= 3 ? kSubsetBoundsSize : 0);
    if (!archive->SerializeCount(&count, recordSize)) return 0;
    subsetInfos.resize(count);
    for (SubsetInfo& info : subsetInfos) SerializeSubsetInfo(archive, &info, mode, version);
    archive->SerializeDword(&skinned);
    if (version >= 4) archive->SerializeDword(&frameWord);
    if (version >= 6) archive->SerializeDword(&scale);
    return FinishRead(archive, mode);
}

// Loaded is set before the file is read and cleared when it fails, so a
// failed mesh is tried again at its next use.
int CQVMeshItem::Load() {
    if (loaded) return 1;
    loaded = 1;
    if (LibraryCall_LoadMesh(this) != 1) {
        loaded = 0;
        return 0;
    }
    if (skinned == 1) {
        // A skinned mesh moves with its pose: one box that holds any pose.
        for (SubsetInfo& info : subsetInfos) {
            info.box = Box{Vector3(-200.0f, -200.0f, -200.0f), Vector3(200.0f, 200.0f, 200.0f)};
            info.sphere = Sphere{Vector3(0.0f, 0.0f, 0.0f), 250.0f};
            info.outerRadius = 250.0f;
        }
        return 1;
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    const size_t count = std::min(subsets.size(), subsetInfos.size());
    for (size_t i = 0; i < count; ++i) {
        SubsetInfo& info = subsetInfos[i];
        info.box = subsets[i].box;
        info.sphere = subsets[i].sphere;
        info.outerRadius = subsets[i].outerRadius;
        if (info.lightMapId != -1 && engine != nullptr)
            Library_LoadItem(engine->UseItem(static_cast<uint32_t>(info.lightMapId)));
    }
    return 1;
}

// The subset records stay: they are the library's, not the mesh file's.
int CQVMeshItem::Unload() {
    if (!loaded) return 1;
    CQVEngine* engine = CQVEngine::GetInstance();
    for (const SubsetInfo& info : subsetInfos) {
        if (info.lightMapId != -1 && engine != nullptr)
            Library_UnloadItem(engine->UseItem(static_cast<uint32_t>(info.lightMapId)));
    }
    FreeGeometry(this);
    loaded = 0;
    return 1;
}
