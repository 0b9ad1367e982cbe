#include "actors/gameplay/State.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

namespace {

constexpr MessageRow kStateRows[] = {
    SheetRow("State Properties", PROP_TITLE),
};

constexpr MessageTable kStateMessages{kStateRows};

}  // namespace

CQVState::CQVState() { m_ClassType = CLASS_STATE; }

void CQVState::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_STATE];
    record.Define("State", "", {CLASS_BASE, CLASS_STATE});
    kStateMessages.AddSheet(record);
}
