#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/library/ServiceCalls.h"

CQVTextureItem::~CQVTextureItem() { LibraryCall_ReleaseTexture(texture); }

int CQVTextureItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    archive->SerializeDwords(words, 2);
    archive->SerializeDword(&mipLevels);
    archive->SerializeDword(&textureType);
    // Before version 3 every texture was of type 1 at least.
    if (mode != SERIALIZE_WRITE && version < 3 && textureType == 0) textureType = 1;
    archive->SerializeDword(&width);
    archive->SerializeDword(&height);
    return FinishRead(archive, mode);
}

int CQVTextureItem::Load() {
    if (loaded) return 1;
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || !engine->CreateItemTexture(this)) return 0;
    loaded = 1;
    return 1;
}

int CQVTextureItem::Unload() {
    if (loaded && texture != nullptr) {
        LibraryCall_ReleaseTexture(texture);
        texture = nullptr;
        loaded = 0;
    }
    return 1;
}
