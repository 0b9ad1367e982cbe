// UI Texts: keys shown through the text table, literals, numbers and times,
// the "QV_TIME" clock; drawn as overlay text at their place or as labels
// faded by camera distance; their rectangle for a button; and the key of a
// translated text kept in the actor file.

#include "actors/gameplay/UIText.h"
#include "services/render/View.h"
#include "tests/actors/gameplay/UITestSupport.h"
#include "tests/support/ActorRecordFile.h"

#include <cstring>

namespace {

using namespace uitest;

constexpr uint32_t kFontId = 30;

class UITextTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        CQVTextTable::GetInstance()->pairs = {{"HELLO", "Hello there"}, {"NOTE", "note"}};
        text = static_cast<CQVUIText*>(Make(CLASS_UI_TEXT, "Caption", nullptr));
    }
    void AddFont(const char* name) {
        auto* font = new CQVFontItem;
        font->name = name;
        font->faceName = "DejaVu Sans";
        font->size = 16;
        g_Library.SetItem(kFontId, font);
    }
    // The overlay text the caption queues in one update.
    const OverlayText* Drawn() {
        CQVEngine::GetInstance()->overlayTexts.clear();
        text->Update();
        const std::vector<OverlayText>& texts = CQVEngine::GetInstance()->overlayTexts;
        return texts.empty() ? nullptr : &texts.back();
    }

    CQVUIText* text = nullptr;
};

struct NumberCase {
    uint32_t type;
    uint32_t message;
    float real;
    int32_t word;
    const char* shown;
};

std::ostream& operator<<(std::ostream& os, const NumberCase& c) { return os << c.message << " " << c.shown; }

class UITextNumbers : public UITextTest, public testing::WithParamInterface<NumberCase> {};

TEST_P(UITextNumbers, ReplaceTheTextWithoutTranslation) {
    const NumberCase& c = GetParam();
    Send(text, MSG_SET_UI_TEXT_TYPE, c.type);
    SendText(text, MSG_SET_UI_TEXT_TEXT, "HELLO");
    const bool real = c.message != MSG_SET_UI_TEXT_INT && c.message != MSG_SET_UI_TEXT_DWORD;
    if (real) {
        Send(text, c.message, c.real);
    } else {
        Send(text, c.message, c.word);
    }
    EXPECT_EQ(AskText(text, MSG_GET_UI_TEXT_TEXT), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UITextNumbers,
    testing::Values(NumberCase{0, MSG_SET_UI_TEXT_FLOAT, 2.25f, 0, "2.25"},
                    NumberCase{2, MSG_SET_UI_TEXT_FLOAT, 2.25f, 0, "2.25"},
                    NumberCase{3, MSG_SET_UI_TEXT_FLOAT, 2.25f, 0, "2"},
                    NumberCase{0, MSG_SET_UI_TEXT_INT, 0.0f, -5, "-5"},
                    NumberCase{0, MSG_SET_UI_TEXT_DWORD, 0.0f, -1, "-1"},
                    NumberCase{0, MSG_SET_UI_TEXT_TIME_MIN_SEC, -3.0f, 0, "0:00"},
                    NumberCase{0, MSG_SET_UI_TEXT_TIME_MIN_SEC, 61.5f, 0, "1:01"},
                    NumberCase{0, MSG_SET_UI_TEXT_TIME_MIN_SEC_HUN, 61.25f, 0, "1:01:25"},
                    NumberCase{0, MSG_SET_UI_TEXT_TIME_MIN_SEC_HUN, -1.0f, 0, "0:00:00"},
                    NumberCase{0, MSG_SET_UI_TEXT_TIME_MIN_SEC_HUN, 3599.5f, 0, "59:59:50"}));

struct ClockCase {
    float clock;
    const char* shown;
};

std::ostream& operator<<(std::ostream& os, const ClockCase& c) { return os << c.clock; }

class UITextClock : public UITextTest, public testing::WithParamInterface<ClockCase> {};

TEST_P(UITextClock, ShowsTheTimeOfDayFromTheActorsClock) {
    g_GlobalClock.time = GetParam().clock;
    SendText(text, MSG_SET_UI_TEXT_TEXT, "QV_TIME");
    EXPECT_EQ(AskText(text, MSG_GET_UI_TEXT_TEXT), GetParam().shown);
}

// The clock starts at 22:30; hours past a day start the day again, however
// many days have gone by.
INSTANTIATE_TEST_SUITE_P(Table, UITextClock,
                         testing::Values(ClockCase{0.0f, "22:30:00"}, ClockCase{3600.0f, "23:30:00"},
                                         ClockCase{5399.0f, "23:59:59"}, ClockCase{9000.0f, "01:00:00"},
                                         ClockCase{3.0f * 86400.0f + 9000.0f, "01:00:00"}));

TEST_F(UITextTest, KeysAreTranslatedByTypeAndAddedTextFollowsTheType) {
    SendText(text, MSG_SET_UI_TEXT_TEXT, "HELLO");
    EXPECT_EQ(text->m_Text, "Hello there");
    SendText(text, MSG_UI_TEXT_NEWLINE_ADD_TEXT, "NOTE");
    EXPECT_EQ(text->m_Text, "Hello there\nnote");
    SendText(text, MSG_SET_UI_TEXT_TEXT, "MISSING_KEY");
    EXPECT_EQ(text->m_Text, "MISSING_KEY") << "a key the table lacks shows itself";
    SendText(text, MSG_SET_UI_TEXT_TEXT, "qv_time");
    EXPECT_EQ(text->m_Text, "qv_time") << "only the exact token is the clock";

    Send<uint32_t>(text, MSG_SET_UI_TEXT_TYPE, CQVUIText::TYPE_LITERAL);
    EXPECT_EQ(text->m_Text, "qv_time") << "the type alone translates nothing";
    SendText(text, MSG_SET_UI_TEXT_TEXT, "HELLO");
    SendText(text, MSG_UI_TEXT_ADD_TEXT, " NOTE");
    EXPECT_EQ(text->m_Text, "HELLO NOTE");

    // The answer stays within the caller's block, cut and ended there.
    char block[8];
    std::memset(block, '#', sizeof block);
    text->HandleMessage(MSG_GET_UI_TEXT_TEXT, Args_Of(block, 4));
    EXPECT_EQ(std::string(block, 8), std::string("HEL\0####", 8));
}

TEST_F(UITextTest, DrawsAtItsPlaceWithItsAlignmentUntilTheStopsFadeEnds) {
    Send(text, MSG_SET_POSITION, Vector3(120.0f, 40.0f, 0.0f));
    Send(text, MSG_SET_UI_TEXT_COLOR, ColorValue{1.0f, 0.5f, 0.25f, 0.8f});
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_X, UI_ALIGN_CENTRE);
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_Y, UI_ALIGN_END);
    SendText(text, MSG_SET_UI_TEXT_TEXT, "HELLO");
    const OverlayText* drawn = Drawn();
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->x, 120.0f);
    EXPECT_EQ(drawn->y, 40.0f);
    EXPECT_EQ(drawn->text, "Hello there");
    EXPECT_EQ(drawn->flags, (2u * 8u + 1u) * 2u);
    EXPECT_EQ(drawn->color[1], 0.5f);
    EXPECT_EQ(drawn->color[3], 0.8f);

    Send(text, MSG_SET_UI_TEXT_VISIBLE, 0u);
    EXPECT_EQ(Drawn(), nullptr);
    Send(text, MSG_START);
    ASSERT_NE(Drawn(), nullptr);

    // With a stop that takes half a second the text stays while it fades,
    // and goes with "Action Stop Post".
    text->m_ActionStopTime = 0.5f;
    Send(text, MSG_ACTION_STOP);
    Frames(6);
    drawn = Drawn();
    ASSERT_NE(drawn, nullptr) << "still fading a fifth of a second in";
    EXPECT_NEAR(drawn->color[3], 0.8f * 0.6f, 0.06f);
    Frames(10);
    EXPECT_EQ(Drawn(), nullptr);
    EXPECT_EQ(Ask<uint32_t>(text, MSG_GET_UI_TEXT_VISIBLE), 0u);
}

TEST_F(UITextTest, AButtonGetsTheRectangleOfTheTextInItsFont) {
    SendText(text, MSG_SET_UI_TEXT_TEXT, "Centred");
    UIRect rect{1, 2, 3, 4};
    UIRect* out = &rect;
    text->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(rect.right, 3) << "without a font the rectangle is left as it was";

    AddFont("Menu Font");
    Send<int32_t>(text, MSG_SET_UI_TEXT_FONT, kFontId);
    ASSERT_NE(text->m_Font, nullptr);
    EXPECT_EQ(Ask<int32_t>(text, MSG_GET_UI_TEXT_FONT), static_cast<int32_t>(kFontId));
    float width = 0.0f, height = 0.0f;
    Font_GetTextExtent(text->m_Font, "Centred", &width, &height);
    ASSERT_GT(width, 20.0f);
    Send(text, MSG_SET_POSITION, Vector3(400.0f, 300.0f, 0.0f));
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_X, UI_ALIGN_CENTRE);
    text->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(rect.left, static_cast<int32_t>(400.0f - width * 0.5f));
    EXPECT_EQ(rect.right, static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(400.0f + width)) - width * 0.5f));
    EXPECT_EQ(rect.top, 300);
    EXPECT_EQ(rect.bottom, static_cast<int32_t>(300.0f + height));
    const OverlayText* drawn = Drawn();
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->font, text->m_Font);

    // An id that names another kind of item is no font.
    g_Library.SetItem(kFontId + 1, new CQVMaterialItem);
    Send<int32_t>(text, MSG_SET_UI_TEXT_FONT, kFontId + 1);
    EXPECT_EQ(text->m_Font, nullptr);
}

TEST_F(UITextTest, ALabelFadesOutBetweenFourAndSixHundredUnitsFromTheCamera) {
    CQVEngine::GetInstance()->SetCameraPositionRotation(Vector3(0.0f, 0.0f, 0.0f), Quaternion(0.0f, 0.0f, 0.0f, 1.0f));
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ORIENTATION_STYLE, UI_STYLE_3D_LABEL);
    EXPECT_EQ(Ask<float>(text, MSG_GET_UI_TEXT_3D_LABEL_MAX_DISTANCE), 600.0f);
    EXPECT_EQ(Ask<float>(text, MSG_GET_UI_TEXT_3D_LABEL_FADE_DISTANCE), 400.0f);
    SendText(text, MSG_SET_UI_TEXT_TEXT, "Door");
    for (const auto& [distance, alpha] : std::vector<std::pair<float, float>>{{300.0f, 1.0f}, {500.0f, 0.5f}}) {
        Send(text, MSG_SET_POSITION, Vector3(0.0f, 0.0f, distance));
        const OverlayText* drawn = Drawn();
        ASSERT_NE(drawn, nullptr) << distance;
        EXPECT_NEAR(drawn->color[3], alpha, 1e-5f) << distance;
        // Straight ahead: the screen's centre, with the projection's depth.
        Vector3 screen(0.0f, 0.0f, distance);
        Camera_ProjectToScreen(&screen);
        EXPECT_NEAR(drawn->x, kWidth / 2.0f, 0.5f);
        EXPECT_NEAR(drawn->y, kHeight / 2.0f, 0.5f);
        EXPECT_EQ(drawn->depth, screen.z);
    }
    Send(text, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 600.0f));
    EXPECT_EQ(Drawn(), nullptr);
    // Any other style drops the fading.
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ORIENTATION_STYLE, UI_STYLE_3D);
    EXPECT_EQ(Ask<float>(text, MSG_GET_UI_TEXT_3D_LABEL_MAX_DISTANCE), 0.0f);
    ASSERT_NE(Drawn(), nullptr);
}

TEST_F(UITextTest, TheFileKeepsATranslatedTextsKeyAndSkipsAFontNameTooLongForItsBuffer) {
    AddFont("F");
    Send<int32_t>(text, MSG_SET_UI_TEXT_FONT, kFontId);
    SendText(text, MSG_SET_UI_TEXT_TEXT, "HELLO");
    Send<uint32_t>(text, MSG_SET_UI_TEXT_ALIGN_Y, UI_ALIGN_CENTRE);
    const uint32_t id = text->m_Id;
    ActorRecordFile file;
    ASSERT_TRUE(file.WriteAndForget(text, 70));
    const std::vector<char> bytes = file.Bytes();
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), "HELLO", "HELLO" + 5), bytes.end());
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), "Hello", "Hello" + 5), bytes.end());

    // The table changed since: the loaded text shows the key's new entry.
    CQVTextTable::GetInstance()->pairs = {{"HELLO", "Bonjour"}};
    ASSERT_EQ(file.Load(), 1);
    auto* loaded = dynamic_cast<CQVUIText*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Text, "Bonjour");
    EXPECT_EQ(loaded->m_Font, g_Library.At(kFontId)) << "found by its name";
    EXPECT_EQ(loaded->m_AlignY, UI_ALIGN_CENTRE);
    ASSERT_EQ(g_ActorSystem->DeleteActor(loaded), 1);

    // The font name is the record's last field: a 300-byte one in its place.
    const std::vector<char> damaged = WithLastText(bytes, 1, 300, 'F');
    file.Rewrite(damaged);
    ASSERT_EQ(file.Load(), 1);
    loaded = dynamic_cast<CQVUIText*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Font, nullptr) << "the default font";
    EXPECT_EQ(loaded->m_FontId, static_cast<int32_t>(kFontId));
    EXPECT_EQ(loaded->m_Text, "Bonjour");
}

}  // namespace
