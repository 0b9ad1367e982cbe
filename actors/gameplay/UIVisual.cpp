#include "actors/gameplay/UIVisual.h"

#include "kernel/actors/MessageIds.h"
#include "kernel/base/Archive.h"

namespace {

// From this version the visible flag is the base actor's own.
constexpr uint32_t VERSION_VISIBLE_DROPPED = 64;

}  // namespace

void CQVUIVisual::SetOrientationStyle(uint32_t style) {
    m_Style = style;
    const bool label = style == UI_STYLE_3D_LABEL;
    m_MaxDistance = label ? UI_LABEL_MAX_DISTANCE : 0.0f;
    m_FadeDistance = label ? UI_LABEL_FADE_DISTANCE : 0.0f;
}

bool CQVUIVisual::HandleVisualMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_START:
    case MSG_ACTION_START:
        SetVisible(1);
        return true;
    case MSG_STOP:
    case MSG_ACTION_STOP_POST:
        SetVisible(0);
        return true;
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        m_ActionValue = Args_Get<float>(args);
        return true;
    default:
        return false;
    }
}

void CQVUIVisual::SerializeVisibleWord(CQVActorArchive* archive, uint32_t firstVersion) {
    if (archive->version < firstVersion || archive->version >= VERSION_VISIBLE_DROPPED) return;
    uint32_t visible = Visible();
    archive->SerializeDword(&visible);
    SetVisible(visible);
}
