#include "tools/content/MotWriter.h"

#include "kernel/base/Archive.h"
#include "kernel/base/NameTable.h"

KeyTrack* MotWriter_AddTrack(MotFile* motion, const char* bone, float length) {
    KeyTrack& track = motion->tracks.emplace_back();
    track.nameId = g_NameTable.FindOrAdd(bone);
    track.length = length;
    return &track;
}

int MotWriter_Write(const char* path, const MotFile& motion) {
    CQVArchive archive;
    if (!archive.Open(path, "wb")) return 0;
    MotFile header = motion;
    uint32_t count = static_cast<uint32_t>(motion.tracks.size());
    bool written = archive.SerializeDword(&header.version) && archive.SerializeDwords(&header.firstTriple, 3) == 3 &&
                   archive.SerializeDwords(&header.rootDisplacement, 3) == 3 && archive.SerializeDword(&count);
    for (KeyTrack& track : header.tracks) {
        written = written && track.Serialize(&archive, SERIALIZE_WRITE, header.version);
    }
    return archive.Close() == 0 && written && !archive.HasFailed() ? 1 : 0;
}
