#include "kernel/actors/ActorLink.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/base/Archive.h"

int ActorLink::Serialize(CQVArchive* archive)
{
    if (archive->direction == ARCHIVE_WRITING) {
        std::string name = targetName;
        if (name.empty() && target) {
            const char* path = CQVActorSystem::GetActorPath(target, nullptr);
            name = path ? path : "";
        }
        archive->SerializeString(name);
    } else {
        // The owner resolves the name once the whole file is read.
        archive->SerializeString(targetName);
    }
    return 0;
}
