#include "actors/characters/Character2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/WordBlock.h"

CQVCharacter2::CQVCharacter2() { m_ClassType = CLASS_CHARACTER_2; }

int CQVCharacter2::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        WordBlock reserved;
        for (int i = 0; i < 4; ++i) reserved.Reserved();
        reserved.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVCharacter2::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_CHARACTER_2];
    record.Define("Character 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_CHARACTER_2});
    record.AddProperty("Character 2 Properties", PROP_TITLE, 0, 0);
}
