#include "actors/characters/Character.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVCharacter::CQVCharacter() { m_ClassType = CLASS_CHARACTER; }

void CQVCharacter::RegisterProperties() {
    g_ClassRecords[CLASS_CHARACTER].Define("Character", "Character", {CLASS_BASE, CLASS_CHARACTER});
}
