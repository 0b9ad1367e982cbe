#include "kernel/base/Archive.h"
#include "services/library/Library.h"

namespace {

// Bucket 3 (bit 8) draws opaque materials, bucket 7 (bit 128) blended ones.
constexpr uint32_t kOpaqueBuckets = 8;
constexpr uint32_t kBlendedBuckets = 128;

// The texture items a material names, skipping ids that name none.
template <typename Action>
void ForEachTexture(const std::vector<uint32_t>& ids, Action action) {
    for (uint32_t id : ids) {
        CQVLibraryItem* item = g_Library.At(id);
        if (item != nullptr && item->kind == LIBRARY_TEXTURE) action(item);
    }
}

}  // namespace

CQVMaterialItem::CQVMaterialItem() : CQVLibraryItem(LIBRARY_MATERIAL) {
    material.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 0.0f};
}

void (*CQVMaterialItem::releaseHook)(const CQVMaterialItem* material) = nullptr;

CQVMaterialItem::~CQVMaterialItem() {
    if (releaseHook != nullptr) releaseHook(this);
}

int CQVMaterialItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    static_assert(sizeof(D3DMATERIAL8) == 68);
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    archive->SerializeDwords(&material, sizeof material / 4);
    archive->SerializeDword(&specularEnable);
    archive->SerializeDword(&useAlpha);
    archive->SerializeDword(&word1);
    uint32_t count = static_cast<uint32_t>(textureIds.size());
    if (!archive->SerializeCount(&count, 4)) return 0;
    textureIds.resize(count);
    archive->SerializeDwords(textureIds.data(), count);
    archive->SerializeDword(&blendIndex);
    archive->SerializeDword(&collisionMaterial);
    archive->SerializeDword(&stateFlagA);
    archive->SerializeDword(&stateFlagB);
    archive->SerializeDword(&word2);
    archive->SerializeDword(&fogFlag);
    archive->SerializeDword(&word3);
    archive->SerializeDword(&collisionFlags);
    archive->SerializeDword(&bucketMask);
    uint32_t unused = 0;
    archive->SerializeDword(&unused);
    if (mode != SERIALIZE_WRITE && bucketMask == 0)
        bucketMask = useAlpha != 0 || blendIndex != 0 ? kBlendedBuckets : kOpaqueBuckets;
    return archive->HasFailed() ? 0 : 1;
}

// Loading a material loads its textures; the material itself holds nothing to load.
int CQVMaterialItem::Load() {
    ForEachTexture(textureIds, [](CQVLibraryItem* texture) {
        if (!texture->loaded) texture->Load();
    });
    return 1;
}

int CQVMaterialItem::Unload() {
    if (!loaded) return 1;
    ForEachTexture(textureIds, [](CQVLibraryItem* texture) { texture->Unload(); });
    loaded = 0;
    return 1;
}
