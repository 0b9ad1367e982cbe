#include "actors/gameplay/UIMapInput.h"

#include "actors/gameplay/UIText.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/input/Input.h"

namespace {

constexpr MessageRow kUIMapInputRows[] = {
    SheetRow("UI Map Input", PROP_TITLE),
    FieldRow<&CQVUIMapInput::m_Action>(
        MSG_SET_UI_MAPINPUT_MAP, MSG_GET_UI_MAPINPUT_MAP,
        "Map To:|Axis X|1|Axis Y|2|Axis X|3|Axis W|4|Axis 0|5|Axis 1|6|Axis 2|7|Axis 3|8|Forward|9|Backward|10|Left|11|"
        "Right|12|Select|13|Start|14|Jump|15|Action|16|Crouch|17|Reload|18|Drop|19|Light|20|Next|21|Prev|22|"
        "Cancel|23|Stats|24|Fire 1|25|Fire 2|26|Knock|27|Slowmotion|28|Run Toggle|29|Escape|30|Pause|31|"
        "Inventory Special|32|",
        PROP_CHOICE)
        .StoredBy<&CQVUIMapInput::SetAction>(),
    BoolRow<&CQVUIMapInput::m_AxisMode>(MSG_SET_UI_MAPINPUT_IS_AXIS, MSG_GET_UI_MAPINPUT_IS_AXIS, "Axis:", PROP_CHECK),
};

// The child links are not copied: a copy looks up its own at "Precalculate".
constexpr MessageTable kUIMapInputMessages{
    kUIMapInputRows,
    CopiedFields<&CQVUIMapInput::m_SavedPrimary, &CQVUIMapInput::m_SavedSecondary, &CQVUIMapInput::m_Focused,
                 &CQVUIMapInput::m_Rect, &CQVUIMapInput::m_Over, &CQVUIMapInput::m_Time,
                 &CQVUIMapInput::m_ActionValue>()};

// The one binding row the menu edits.
constexpr uint32_t BINDING_ROW = 0;

std::string KeyText(const std::string& name) { return name.empty() ? name : UI_Translate(name); }

}  // namespace

CQVUIMapInput::CQVUIMapInput() { m_ClassType = CLASS_UI_MAP_INPUT; }

bool CQVUIMapInput::HasAction() const { return m_Action >= 1 && m_Action <= kInputActionCount; }

void CQVUIMapInput::SetAction(uint32_t action) {
    // A number outside the actions would reach another row's bindings.
    if (action >= 1 && action <= kInputActionCount) m_Action = action;
}

std::string CQVUIMapInput::BindingLabel() const {
    if (!HasAction()) return std::string();
    const std::string primary = KeyText(Input_GetBindingName(m_Action, 0, BINDING_ROW));
    const std::string secondary = KeyText(Input_GetBindingName(m_Action, 1, BINDING_ROW));
    if (primary.empty()) return std::string();
    return secondary.empty() ? primary : primary + " / " + secondary;
}

void CQVUIMapInput::ShowBindings() {
    if (m_Text.target) UI_SendText(m_Text.target, MSG_SET_UI_TEXT_TEXT, BindingLabel().c_str());
}

void CQVUIMapInput::BuildChildren() {
    if (!g_ActorSystem) return;
    auto make = [this](uint32_t type, const char* name) {
        return g_ActorSystem->CreateActor(type, name, nullptr, this, ACTOR_ID_ANY, 1, 1);
    };
    CQVActor* frame = make(CLASS_UI_SPRITE, "Frame");
    CQVActor* text = make(CLASS_UI_TEXT, "Text");
    CQVActor* label = make(CLASS_UI_TEXT, "Label");
    make(CLASS_BASE, "On_Input_Over");
    make(CLASS_BASE, "On_Input_Focus");
    UI_SendValue(label, MSG_SET_POSITION, Vector3(-20.0f, 0.0f, 0.0f));
    UI_SendText(label, MSG_SET_UI_TEXT_TEXT, "Label:");
    UI_SendValue<uint32_t>(label, MSG_SET_UI_TEXT_ALIGN_X, UI_ALIGN_END);
    UI_SendValue<uint32_t>(label, MSG_SET_UI_TEXT_ALIGN_Y, UI_ALIGN_CENTRE);
    UI_SendValue(text, MSG_SET_POSITION, Vector3(40.0f, 0.0f, 0.0f));
    UI_SendText(text, MSG_SET_UI_TEXT_TEXT, "Text");
    UI_SendValue<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_X, UI_ALIGN_CENTRE);
    UI_SendValue<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_Y, UI_ALIGN_CENTRE);
    UI_SendValue(frame, MSG_SET_POSITION, Vector3(40.0f, 0.0f, 0.0f));
}

void CQVUIMapInput::OnPrecalculate() {
    m_Frame.SetTarget(UI_Find(this, "Frame"));
    m_Text.SetTarget(UI_Find(this, "Text"));
    m_Label.SetTarget(UI_Find(this, "Label"));
    if (m_Frame.target) {
        UIRectF frame{0.0f, 0.0f, 0.0f, 0.0f};
        UIRectF* out = &frame;
        m_Frame.target->HandleMessage(MSG_UI_RECT_FLOAT, Args_Of(&out));
        m_Rect = UIRect{UI_Truncate(frame.left), UI_Truncate(frame.top), UI_Truncate(frame.right),
                        UI_Truncate(frame.bottom)};
    }
    m_OverActor.SetTarget(UI_Find(this, "On_Input_Over"));
    m_FocusActor.SetTarget(UI_Find(this, "On_Input_Focus"));
    UI_Send(m_OverActor.target, MSG_ACTION_STOP);
    UI_Send(m_FocusActor.target, MSG_ACTION_STOP);
    if (HasAction()) {
        if (m_SavedPrimary == CODE_UNSET) {
            m_SavedPrimary = Input_GetBinding(m_Action, 0);
            m_SavedSecondary = Input_GetBinding(m_Action, 1);
        } else {
            // The saved codes go back in their places: the secondary bound
            // first, so that the primary pushes it into the second slot.
            Input_BindKey(m_Action, 0, BINDING_ROW);
            if (m_SavedSecondary != 0 && m_SavedSecondary != CODE_UNSET)
                Input_BindKey(m_Action, m_SavedSecondary, BINDING_ROW);
            if (m_SavedPrimary != 0) Input_BindKey(m_Action, m_SavedPrimary, BINDING_ROW);
        }
    }
    ShowBindings();
}

void CQVUIMapInput::OnCursor(MessageArgs args) {
    if (!IsOperational() || m_ActionValue == 0.0f || !args.Holds(0, sizeof(UICursorArgs))) return;
    const auto cursor = Args_Get<UICursorArgs>(args);
    if (m_Rect.Contains(cursor.x, cursor.y)) {
        if (cursor.released && !m_Focused && m_Time > FOCUS_DELAY) {
            UI_Send(this, MSG_ON_UI_MAPINPUT_GET_FOCUS);
            m_Focused = 1;
            m_Time = 0.0f;
            // The next capture compares with the keys as they are now.
            Input_CaptureKey();
            Input_CaptureAxis();
        }
        if (!m_Over) {
            UI_Send(this, MSG_ON_UI_MAPINPUT_OVER);
            m_Over = 1;
        }
    } else {
        if (m_Over) {
            UI_Send(this, MSG_ON_UI_MAPINPUT_OUT);
            m_Over = 0;
        }
        if (cursor.pressed) {
            UI_Send(this, MSG_ON_UI_MAPINPUT_LOSE_FOCUS);
            m_Focused = 0;
        }
    }
}

int CQVUIMapInput::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUIMapInputMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_CREATE:
        if (CQVActor* source = Args_Pointer<CQVActor>(id, args)) {
            if (auto* element = dynamic_cast<CQVUIMapInput*>(source); element && element != this)
                kUIMapInputMessages.Copy(*this, *element);
        } else {
            BuildChildren();
        }
        break;
    case MSG_PRECALCULATE:
        OnPrecalculate();
        break;
    case MSG_ACTION_START:
        m_ActionValue = 1.0f;
        m_Time = 0.0f;
        break;
    case MSG_ACTION_START_POST:
        UI_Send(m_OverActor.target, MSG_ACTION_STOP);
        UI_Send(m_FocusActor.target, MSG_ACTION_STOP);
        break;
    case MSG_ACTION_STOP_POST:
        m_ActionValue = 0.0f;
        break;
    case MSG_UI_CURSOR:
        OnCursor(args);
        break;
    case MSG_ON_UI_MAPINPUT_OVER:
        UI_Send(m_OverActor.target, MSG_ACTION_START);
        break;
    case MSG_ON_UI_MAPINPUT_OUT:
        UI_Send(m_OverActor.target, MSG_ACTION_STOP);
        break;
    case MSG_ON_UI_MAPINPUT_GET_FOCUS:
        UI_Send(m_FocusActor.target, MSG_ACTION_START);
        break;
    case MSG_ON_UI_MAPINPUT_LOSE_FOCUS:
        UI_Send(m_FocusActor.target, MSG_ACTION_STOP);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUIMapInput::Update() {
    if (!IsOperational()) return;
    if (m_ActionValue != 0.0f) {
        m_Time += UI_RefreshClock(this);
        if (m_Focused && m_Time > CAPTURE_DELAY) {
            if (m_AxisMode) {
                // Axes are sampled but never bound.
                Input_CaptureAxis();
            } else if (const uint32_t code = Input_CaptureKey(); code != 0) {
                if (HasAction()) Input_BindKey(m_Action, code, BINDING_ROW);
                UI_Send(this, MSG_ON_UI_MAPINPUT_LOSE_FOCUS);
                m_Focused = 0;
                m_Time = 0.0f;
                ShowBindings();
            }
        }
    }
    CQVActor::Update();
}

int CQVUIMapInput::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        // The file holds the bindings as they are now.
        if (archive->direction != ARCHIVE_READING && HasAction()) {
            m_SavedPrimary = Input_GetBinding(m_Action, 0);
            m_SavedSecondary = Input_GetBinding(m_Action, 1);
        }
        archive->SerializeDword(&m_Action);
        archive->SerializeDword(&m_SavedPrimary);
        archive->SerializeDword(&m_SavedSecondary);
        archive->SerializeDword(&m_AxisMode);
    }
    m_AxisMode = 0;
    return archive->HasFailed() ? 0 : 1;
}

void CQVUIMapInput::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_MAP_INPUT];
    record.Define("UI Map Input", "UI Map Input", {CLASS_BASE, CLASS_UI_MAP_INPUT});
    kUIMapInputMessages.AddSheet(record);
}
