#pragma once
// One string drawn with a font of the resource library: a text-table key
// shown translated, a literal, or a number or time pushed in by messages.
// Drawn as overlay text at its world position in pixels, or as a label at
// the screen projection of its world position, faded by camera distance.
// The started bit is its "Visible" flag.

#include "actors/gameplay/UIVisual.h"

#include <string>

class CQVFontItem;

class CQVUIText : public CQVUIVisual {
public:
    CQVUIText();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // Text types: a text-table key shown translated, a literal, a number.
    enum : uint32_t { TYPE_TRANSLATED = 0, TYPE_LITERAL = 1, TYPE_NUMBER = 2, TYPE_NUMBER_NO_DECIMAL = 3 };
    // The token that shows the clock's time of day.
    static constexpr const char* TIME_TOKEN = "QV_TIME";

    void SetText(const std::string& text);
    void AddText(const char* text);
    void SetFont(int32_t id);
    // The text's pixel rectangle with its font and alignment; false without a font.
    bool Measure(UIRect* rect);

    uint32_t m_Type = TYPE_TRANSLATED;
    std::string m_Text;
    // What a save writes: the key of a translated text, else the text itself.
    std::string m_Key;
    int32_t m_FontId = -1;
    CQVFontItem* m_Font = nullptr;
    float m_Color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t m_AlignX = UI_ALIGN_START;
    uint32_t m_AlignY = UI_ALIGN_START;
    float m_LineSpace = 0.0f;   // stored and saved; drawing does not use it
    float m_LetterSpace = 0.0f; // likewise
};

// The text-table entry of a key (the key itself without a table).
std::string UI_Translate(const std::string& key);
// The clock text "QV_TIME" shows for a clock time in seconds: the time of
// day, the clock starting at 22:30:00.
std::string UI_TimeOfDay(float seconds);
