#include "actors/characters/AIHelper.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"

namespace {

constexpr MessageRow kAIHelperRows[] = {
    SheetRow("AI Helper Properties", PROP_TITLE),
    FieldRow<&CQVAIHelper::m_HelperType>(
        MSG_SET_AI_HELPER_TYPE, MSG_GET_AI_HELPER_TYPE,
        "Type:|Stair Bottom|0|Stair Plane|1|Stair Top|2|Door Node|3|Node|4|Shelter|5|", PROP_CHOICE),
    FieldRow<&CQVAIHelper::m_Radius>(MSG_SET_AI_HELPER_RADIUS, MSG_GET_AI_HELPER_RADIUS, "Radius:", PROP_REAL),
    FieldRow<&CQVAIHelper::m_Box>(MSG_SET_AI_HELPER_BOX, MSG_GET_AI_HELPER_BOX, "Box:", PROP_VECTOR),
};

constexpr MessageTable kAIHelperMessages{kAIHelperRows};

}  // namespace

CQVAIHelper::CQVAIHelper() { m_ClassType = CLASS_AI_HELPER; }

int CQVAIHelper::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kAIHelperMessages.Apply(*this, id, args); row.Ends()) return row.result;
    if (id == MSG_CREATE) {
        // The base copies its own fields first, then the mark's.
        const int result = CQVActor::HandleMessage(id, args);
        if (auto* source = dynamic_cast<CQVAIHelper*>(Args_Pointer<CQVActor>(id, args)))
            kAIHelperMessages.Copy(*this, *source);
        return result;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVAIHelper::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        WordBlock block;
        block.Word(&m_HelperType);
        block.Word(&m_Radius);
        block.Words(&m_Box, 3);
        for (int i = 0; i < 3; ++i) block.Reserved();
        block.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVAIHelper::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_AI_HELPER];
    record.Define("AI Helper", "AI Helper", {CLASS_BASE, CLASS_AI_HELPER});
    kAIHelperMessages.AddSheet(record);
}
