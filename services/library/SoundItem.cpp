#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/ServiceCalls.h"

namespace {

constexpr uint32_t kSoundGroups = 32;

}  // namespace

// The buffer goes with the item: a private copy freed while it plays
// stops playing.
CQVSoundItem::~CQVSoundItem() { LibraryCall_ReleaseSound(buffer); }

int CQVSoundItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    archive->SerializeDword(&flags);
    archive->SerializeDword(&volume);
    archive->SerializeDword(&group);
    if (mode != SERIALIZE_WRITE) {
        // Volumes came with version 5.
        if (version < 5) volume = 1.0f;
        // The group indexes the engine's 32 group volumes.
        if (group >= kSoundGroups) group = 0;
    }
    return FinishRead(archive, mode);
}

int CQVSoundItem::Load() {
    if (loaded) return 1;
    CQVEngine* engine = CQVEngine::GetInstance();
    if (sourceId == LIBRARY_NO_ITEM) {
        if (engine == nullptr || !engine->CreateItemSound(this)) return 0;
        loaded = 1;
        return 1;
    }
    // A private copy plays a duplicate of its source's buffer.
    CQVLibraryItem* found = g_Library.At(sourceId);
    if (found == nullptr || found->kind != LIBRARY_SOUND) return 0;
    CQVSoundItem* source = static_cast<CQVSoundItem*>(found);
    if (flags & SOUND_3D) source->flags |= SOUND_3D;
    source->Load();
    buffer = LibraryCall_DuplicateSound(source->buffer, (source->flags & SOUND_3D) != 0);
    loaded = 1;
    return 1;
}

int CQVSoundItem::Unload() {
    if (!loaded) return 1;
    if (sourceId != LIBRARY_NO_ITEM) Library_UnloadItem(g_Library.At(sourceId));
    LibraryCall_ReleaseSound(buffer);
    buffer = nullptr;
    loaded = 0;
    return 1;
}
