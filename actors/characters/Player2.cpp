#include "actors/characters/Player2.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

namespace {

constexpr MessageRow kPlayer2Rows[] = {
    SheetRow("Player 2 Properties", PROP_TITLE),
};

constexpr MessageTable kPlayer2Messages{kPlayer2Rows};

}  // namespace

CQVPlayer2::CQVPlayer2() { m_ClassType = CLASS_PLAYER_2; }

void CQVPlayer2::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_PLAYER_2];
    record.Define("Player 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_PLAYER_2});
    kPlayer2Messages.AddSheet(record);
}
