#include "kernel/base/Archive.h"
#include "kernel/base/FileSystem.h"
#include "services/library/Library.h"
#include "services/library/ServiceCalls.h"

namespace {

// The smallest stored track: length, empty name and four empty key lists.
constexpr uint32_t kStoredTrackSize = 6 * 4;

}  // namespace

CQVMotionItem::CQVMotionItem(const CQVMotionItem& other)
    : CQVLibraryItem(other), firstTriple(other.firstTriple), rootDisplacement(other.rootDisplacement) {
    tracks.reserve(other.tracks.size());
    for (const KeyTrack* track : other.tracks) tracks.push_back(KeyTrack_Copy(track));
    trackCount = static_cast<uint32_t>(tracks.size());
}

CQVMotionItem::~CQVMotionItem() { KeyTrack_FreeAll(&tracks); }

int CQVMotionItem::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    if (!CQVLibraryItem::Serialize(archive, mode, version)) return 0;
    uint32_t count = static_cast<uint32_t>(tracks.size());
    if (!archive->SerializeCount(&count, kStoredTrackSize)) return 0;
    if (mode == SERIALIZE_WRITE) {
        for (KeyTrack* track : tracks) {
            if (!track->Serialize(archive, mode, version)) return 0;
        }
        return archive->HasFailed() ? 0 : 1;
    }
    for (uint32_t index = 0; index < count; ++index) {
        KeyTrack* track = KeyTrack_Read(archive, mode, version);
        if (track == nullptr) return 0;
        tracks.push_back(track);
        ++trackCount;
    }
    return archive->HasFailed() ? 0 : 1;
}

// A motion's load does not fail for its caller: without its file it plays
// the tracks it has.
int CQVMotionItem::Load() {
    if (loaded) return 1;
    if (LibraryCall_LoadMotion(this)) loaded = 1;
    return 1;
}

// Only tracks that a motion file gives back are freed: tracks stored in the
// library itself could not be read again.
int CQVMotionItem::Unload() {
    if (!loaded) return 1;
    if (!Library_NamesEqual(File_GetExtension(GetFullPath().c_str()), ".mot")) return 1;
    KeyTrack_FreeAll(&tracks);
    trackCount = 0;
    loaded = 0;
    return 1;
}
