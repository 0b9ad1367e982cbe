#include "actors/characters/Character2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVCharacter2::CQVCharacter2() { m_ClassType = CLASS_CHARACTER_2; }

void CQVCharacter2::RegisterProperties() {
    g_ClassRecords[CLASS_CHARACTER_2].Define("Character 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_CHARACTER_2});
}
