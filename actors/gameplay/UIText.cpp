#include "actors/gameplay/UIText.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/TextTable.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/overlay/Overlay.h"
#include "services/render/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr MessageRow kUITextRows[] = {
    SheetRow("UI Text Properties", PROP_TITLE),
    FieldRow<&CQVUIText::m_Type>(MSG_SET_UI_TEXT_TYPE, MSG_GET_UI_TEXT_TYPE,
                                 "Type:|Use Text Translation|0|Dont Use Text Translation|1|Number|2|"
                                 "Number No Decimal|3|",
                                 PROP_CHOICE),
    FieldRow<&CQVUIText::m_Text>(MSG_SET_UI_TEXT_TEXT, MSG_GET_UI_TEXT_TEXT, "Text:", PROP_TEXT)
        .StoredBy<&CQVUIText::SetText>(),
    FieldRow<&CQVUIText::m_LetterSpace>(MSG_SET_UI_TEXT_LETTER_SPACE, MSG_GET_UI_TEXT_LETTER_SPACE, "Letter Space:",
                                        PROP_REAL),
    FieldRow<&CQVUIText::m_LineSpace>(MSG_SET_UI_TEXT_LINE_SPACE, MSG_GET_UI_TEXT_LINE_SPACE, "Line Space:",
                                      PROP_REAL),
    FieldRow<&CQVUIText::m_Color>(MSG_SET_UI_TEXT_COLOR, MSG_GET_UI_TEXT_COLOR, "Color:", PROP_COLOR),
    FieldRow<&CQVUIText::m_AlignX>(MSG_SET_UI_TEXT_ALIGN_X, MSG_GET_UI_TEXT_ALIGN_X, "Align X:|Left|0|Center|1|Right|2|",
                                   PROP_CHOICE),
    FieldRow<&CQVUIText::m_AlignY>(MSG_SET_UI_TEXT_ALIGN_Y, MSG_GET_UI_TEXT_ALIGN_Y, "Align Y:|Top|0|Middle|1|Bottom|2|",
                                   PROP_CHOICE),
    FieldRow<&CQVUIText::m_Style>(MSG_SET_UI_TEXT_ORIENTATION_STYLE, MSG_GET_UI_TEXT_ORIENTATION_STYLE,
                                  "Orientation Style:|2D Label|0|3D Label|1|3D|2|", PROP_CHOICE)
        .StoredBy<&CQVUIVisual::SetOrientationStyle>(),
    // The two distance rows are labelled the other way round.
    FieldRow<&CQVUIText::m_FadeDistance>(MSG_SET_UI_TEXT_3D_LABEL_FADE_DISTANCE, MSG_GET_UI_TEXT_3D_LABEL_FADE_DISTANCE,
                                         "3D Label Max Dist:", PROP_REAL),
    FieldRow<&CQVUIText::m_MaxDistance>(MSG_SET_UI_TEXT_3D_LABEL_MAX_DISTANCE, MSG_GET_UI_TEXT_3D_LABEL_MAX_DISTANCE,
                                        "3D Label Fade Dist:", PROP_REAL),
    FieldRow<&CQVUIText::m_FontId>(MSG_SET_UI_TEXT_FONT, MSG_GET_UI_TEXT_FONT, "Font:", PROP_FONT)
        .StoredBy<&CQVUIText::SetFont>(),
    MemberRow<&CQVUIVisual::Visible, &CQVUIVisual::SetVisible>(MSG_SET_UI_TEXT_VISIBLE, MSG_GET_UI_TEXT_VISIBLE,
                                                           "Visible", PROP_CHECK),
};

constexpr MessageTable kUITextMessages{
    kUITextRows, CopiedFields<&CQVUIText::m_Key, &CQVUIText::m_Font, &CQVUIVisual::m_ActionValue>()};

// Versions of the actor file that added fields.
constexpr uint32_t VERSION_ALIGN_Y_OWN = 40;   // before it a centred text was centred both ways
constexpr uint32_t VERSION_LABELS = 60;        // spacing, orientation and the font by name
// A font name in a file must fit this buffer with its terminator.
constexpr uint32_t FONT_NAME_CAPACITY = 256;

// The clock's time of day starts here.
constexpr float CLOCK_START = 81000.0f;
constexpr int64_t HOURS_PER_DAY = 24;

std::string Format(const char* format, auto... values) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

CQVFontItem* FontNamed(const char* name) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || name[0] == '\0') return nullptr;
    return static_cast<CQVFontItem*>(engine->FindItem(name, LIBRARY_FONT));
}

}  // namespace

std::string UI_Translate(const std::string& key) {
    CQVTextTable* table = CQVTextTable::GetInstance();
    return table ? table->GetText(key) : key;
}

std::string UI_TimeOfDay(float seconds) {
    float t = seconds + CLOCK_START;
    if (!(t >= 0.0f)) t = 0.0f;
    int64_t hours = static_cast<int64_t>(std::trunc(t * (1.0f / 3600.0f)));
    t -= static_cast<float>(hours) * 3600.0f;
    const int32_t minutes = UI_Truncate(t * (1.0f / 60.0f));
    const int32_t secondsOfMinute = UI_Truncate(t - static_cast<float>(minutes) * 60.0f);
    // However long the clock has run, the hours stay those of one day.
    hours %= HOURS_PER_DAY;
    return Format("%02d:%02d:%02d", static_cast<int>(hours), minutes, secondsOfMinute);
}

CQVUIText::CQVUIText() { m_ClassType = CLASS_UI_TEXT; }

void CQVUIText::SetText(const std::string& text) {
    m_Text = text;
    m_Key = text;
    if (m_Text == TIME_TOKEN) {
        UI_RefreshClock(this);
        m_Text = UI_TimeOfDay(m_Clock->time);
        m_Key = m_Text;
    } else if (m_Type == TYPE_TRANSLATED) {
        m_Text = UI_Translate(m_Text);
    }
}

void CQVUIText::AddText(const char* text) {
    m_Text += m_Type == TYPE_TRANSLATED ? UI_Translate(text) : std::string(text);
    m_Key = m_Text;
}

void CQVUIText::SetFont(int32_t id) {
    m_FontId = id;
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVLibraryItem* item = engine ? engine->UseItem(static_cast<uint32_t>(id)) : nullptr;
    // Only a font item is a font, whatever the id names.
    m_Font = item && item->kind == LIBRARY_FONT ? static_cast<CQVFontItem*>(item) : nullptr;
    if (m_Font) Library_LoadItem(m_Font);
}

bool CQVUIText::Measure(UIRect* rect) {
    if (m_Font == nullptr) return false;
    float width = 0.0f, height = 0.0f;
    Font_GetTextExtent(m_Font, m_Text.c_str(), &width, &height);
    const Vector3 world = GetWorldPosition();
    const int32_t x = UI_Truncate(world.x);
    const int32_t y = UI_Truncate(world.y);
    UIRect r{x, y, UI_Truncate(static_cast<float>(x) + width), UI_Truncate(static_cast<float>(y) + height)};
    const float shiftX = UI_AlignOffset(m_AlignX, width);
    const float shiftY = UI_AlignOffset(m_AlignY, height);
    if (shiftX != 0.0f) {
        r.left = UI_Truncate(static_cast<float>(x) - shiftX);
        r.right = UI_Truncate(static_cast<float>(r.right) - shiftX);
    }
    if (shiftY != 0.0f) {
        r.top = UI_Truncate(static_cast<float>(y) - shiftY);
        r.bottom = UI_Truncate(static_cast<float>(r.bottom) - shiftY);
    }
    *rect = r;
    return true;
}

int CQVUIText::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kUITextMessages.Apply(*this, id, args); row.Ends()) return row.result;
    if (HandleVisualMessage(id, args)) return CQVActor::HandleMessage(id, args);
    switch (id) {
    case MSG_UI_TEXT_NEWLINE_ADD_TEXT:
        m_Text += '\n';
        AddText(Args_TextOr(args));
        break;
    case MSG_UI_TEXT_ADD_TEXT:
        AddText(Args_TextOr(args));
        break;
    case MSG_SET_UI_TEXT_FLOAT:
        m_Text = Format(m_Type == TYPE_NUMBER_NO_DECIMAL ? "%.0f" : "%.2f",
                        static_cast<double>(Args_Get<float>(args)));
        m_Key = m_Text;
        break;
    case MSG_SET_UI_TEXT_INT:
    case MSG_SET_UI_TEXT_DWORD:
        m_Text = Format("%d", Args_Get<int32_t>(args));
        m_Key = m_Text;
        break;
    case MSG_SET_UI_TEXT_TIME_MIN_SEC: {
        const float t = std::max(Args_Get<float>(args), 0.0f);
        const int32_t minutes = UI_Truncate(t / 60.0f);
        m_Text = Format("%d:%02d", minutes, UI_Truncate(t - 60.0f * static_cast<float>(minutes)));
        m_Key = m_Text;
        break;
    }
    case MSG_SET_UI_TEXT_TIME_MIN_SEC_HUN: {
        const float t = std::max(Args_Get<float>(args), 0.0f);
        const int32_t minutes = UI_Truncate(t / 60.0f);
        const float rest = t - 60.0f * static_cast<float>(minutes);
        const int32_t seconds = UI_Truncate(rest);
        const int32_t hundredths = UI_Truncate((rest - static_cast<float>(seconds)) * 100.0f);
        m_Text = Format("%d:%02d:%02d", minutes, seconds, hundredths);
        m_Key = m_Text;
        break;
    }
    case MSG_UI_RECT:
        if (auto* rect = Args_Pointer<UIRect>(id, args)) Measure(rect);
        break;
    case MSG_PRECALCULATE:
        // A font named by the file is made now, not on the frame that first draws it.
        if (m_Font) Library_LoadItem(m_Font);
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVUIText*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kUITextMessages.Copy(*this, *source);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVUIText::Update() {
    if (!IsOperational()) return;
    CQVEngine* engine = CQVEngine::GetInstance();
    if ((m_Activity & ACTIVITY_ENABLED) && engine) {
        Font_SetCurrent(m_Font);
        const uint32_t flags = (m_AlignY * 8 + m_AlignX) * 2;
        const Vector3 position = GetWorldPosition();
        if (m_Style == UI_STYLE_2D) {
            engine->AddText(position.x, position.y, m_Color[0], m_Color[1], m_Color[2], m_Color[3] * m_ActionValue,
                            m_Text.c_str(), flags);
        } else {
            const float fade = LabelFade(position);
            if (fade * m_ActionValue > 0.0f) {
                Vector3 screen = position;
                Camera_ProjectToScreen(&screen);
                engine->AddTextEx(screen.x, screen.y, screen.z, m_Color[0], m_Color[1], m_Color[2],
                                  m_Color[3] * fade * m_ActionValue, m_Text.c_str(), flags);
            }
        }
    }
    CQVActor::Update();
}

int CQVUIText::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_Type);
        // A translated text keeps its key in the file, not what the table gave.
        archive->SerializeString(m_Key);
        archive->SerializeDword(&m_AlignX);
        archive->SerializeDword(&m_FontId);
        archive->SerializeDwords(m_Color, 4);
        SerializeVisibleWord(archive, 1);
        archive->SerializeDword(&m_AlignY);
    }
    char fontName[FONT_NAME_CAPACITY] = {};
    if (!reading || version < VERSION_LABELS) {
        std::snprintf(fontName, sizeof fontName, "%s", UI_ItemName(m_FontId));
    }
    if (version >= VERSION_LABELS) {
        archive->SerializeDword(&m_LineSpace);
        archive->SerializeDword(&m_LetterSpace);
        archive->SerializeDword(&m_Style);
        archive->SerializeDword(&m_MaxDistance);
        archive->SerializeDword(&m_FadeDistance);
        // A stored name too long for the buffer is skipped: the text takes the default font.
        archive->SerializeCString(fontName, sizeof fontName);
    }
    if (reading) {
        m_Font = FontNamed(fontName);
        if (version < VERSION_ALIGN_Y_OWN && m_AlignX == UI_ALIGN_CENTRE) m_AlignY = UI_ALIGN_CENTRE;
        m_Text = m_Type == TYPE_TRANSLATED ? UI_Translate(m_Key) : m_Key;
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVUIText::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UI_TEXT];
    record.Define("UI Text", "UI Text", {CLASS_BASE, CLASS_UI_TEXT});
    kUITextMessages.AddSheet(record);
}
