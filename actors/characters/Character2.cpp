#include "actors/characters/Character2.h"

#include "actors/characters/AimTarget.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVCharacter2::CQVCharacter2() { m_ClassType = CLASS_CHARACTER_2; }

int CQVCharacter2::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return Actor_SerializeBaseOnly(this, archive, flags);
}

void CQVCharacter2::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_CHARACTER_2];
    record.Define("Character 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_CHARACTER_2});
    record.AddProperty("Character 2 Properties", PROP_TITLE, 0, 0);
}
