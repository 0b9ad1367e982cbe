// Windows and buttons as a player uses them: the cursor moved and the left
// button pressed and released by pushed mouse events, frame by frame on a
// fixed clock; a button's events and its action children's starts and
// stops in order; focus passing between two pages, each drawn from taking
// focus until it is stopped.

#include "actors/gameplay/UIButton.h"
#include "actors/gameplay/UISystem.h"
#include "services/render/Material.h"
#include "tests/actors/gameplay/UITestSupport.h"

namespace {

using namespace uitest;

constexpr uint32_t kPlainMaterial = 40;

class UIWindowButtonTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        auto* material = new CQVMaterialItem;
        material->name = "Plain";
        material->material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        material->stateFlagB = 1;
        material->loaded = 1;
        g_Library.SetItem(kPlainMaterial, material);

        menu = static_cast<CQVUISystem*>(Make(CLASS_UI_SYSTEM, "Menu", nullptr));
        Send<uint32_t>(Make(CLASS_UI_SPRITE, "Cursor", menu), MSG_SET_UI_SPRITE_CURSOR, 1);
    }

    // A page with a button at (x, y) whose 100 x 50 sprite gives its
    // rectangle, and the button's three action children; the page shows a
    // full-width band of its colour at y.
    CQVActor* Page(const char* name, float x, float y, ColorValue colour, CQVActor* parent = nullptr) {
        CQVActor* page = Make(CLASS_UI_WINDOW, name, parent ? parent : menu);
        CQVActor* band = Make(CLASS_UI_SPRITE, "Band", page);
        Send<int32_t>(band, MSG_SET_UI_SPRITE_MATERIAL_ID, kPlainMaterial);
        Send(band, MSG_SET_UI_SPRITE_COLOR, colour);
        Send(band, MSG_SET_UI_SPRITE_WIDTH, 800.0f);
        Send(band, MSG_SET_UI_SPRITE_HEIGHT, 20.0f);
        Send(band, MSG_SET_POSITION, Vector3(0.0f, y + 60.0f, 0.0f));
        CQVActor* button = Make(CLASS_UI_BUTTON, (std::string(name) + "Button").c_str(), page);
        Send(button, MSG_SET_POSITION, Vector3(x, y, 0.0f));
        CQVActor* image = Make(CLASS_UI_SPRITE, "Img", button);
        Send(image, MSG_SET_UI_SPRITE_WIDTH, 100.0f);
        Send(image, MSG_SET_UI_SPRITE_HEIGHT, 50.0f);
        for (const char* child : {"On_Input_Over", "On_Input_Up", "On_Input_Down"}) Make(CLASS_BASE, child, button);
        Send(button, MSG_PRECALCULATE);
        return page;
    }
    static CQVUIButton* ButtonOf(CQVActor* page) {
        return static_cast<CQVUIButton*>(CQVActor::FindDescendantByClass(page, CLASS_UI_BUTTON));
    }
    // The button, its action children and the events of both.
    Spy& WatchButton(CQVActor* page) {
        CQVActor* button = ButtonOf(page);
        std::vector<CQVActor*> watched{button};
        for (CQVActor* child : button->m_Children) watched.push_back(child);
        return Watch(watched, {MSG_ON_UI_BUTTON_OVER, MSG_ON_UI_BUTTON_OUT, MSG_ON_UI_BUTTON_DOWN, MSG_ON_UI_BUTTON_UP,
                               MSG_ACTION_START, MSG_ACTION_STOP});
    }
    // A button event as the spy sees it: the button hands it on to its
    // action child before its own handling ends.
    static std::vector<Seen> Fired(const std::string& button, uint32_t event, const char* child, uint32_t action) {
        return {{child, action}, {button, event}};
    }
    static std::vector<Seen> Joined(std::initializer_list<std::vector<Seen>> parts) {
        std::vector<Seen> all;
        for (const std::vector<Seen>& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    static double Red(uint32_t y) { return Band(y, 16); }
    static double Green(uint32_t y) { return Band(y, 8); }
    // The mean of one channel across the band at pixel row y.
    static double Band(uint32_t y, int shift) {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(CQVGraphics::GetInstance()->GetDevice()->ReadBackBuffer(&pixels));
        double sum = 0.0;
        for (uint32_t x = 0; x < kWidth; ++x) sum += (pixels[size_t{y} * kWidth + x] >> shift) & 0xFF;
        return sum / kWidth;
    }

    CQVUISystem* menu = nullptr;
};

TEST_F(UIWindowButtonTest, TheCursorPassingOverPressingAndReleasingFiresTheEventsInOrder) {
    CQVActor* page = Page("Play", 300.0f, 200.0f, ColorValue{1, 0, 0, 1});
    CQVUIButton* button = ButtonOf(page);
    // 1.28 times (300, 200) and the sprite's 100 x 50.
    EXPECT_EQ(button->m_Rect.left, 384);
    EXPECT_EQ(button->m_Rect.top, 256);
    EXPECT_EQ(button->m_Rect.right, 512);
    EXPECT_EQ(button->m_Rect.bottom, 320);
    Send(menu, MSG_ACTION_START);
    Spy& seen = WatchButton(page);
    const std::string name = button->m_Name;
    auto expect = [&](std::vector<Seen> events, const char* step) {
        EXPECT_EQ(seen.seen, events) << step;
        seen.seen.clear();
    };

    Frame();
    expect({}, "the cursor starts outside");
    MoveCursor(250.0f, 155.0f);
    Frame();
    expect(Fired(name, MSG_ON_UI_BUTTON_OVER, "On_Input_Over", MSG_ACTION_START), "over");
    Frame();
    expect({}, "still over: nothing new");
    PushButton(true);
    Frame();
    expect(Fired(name, MSG_ON_UI_BUTTON_DOWN, "On_Input_Down", MSG_ACTION_START), "press");
    PushButton(false);
    Frame();
    expect(Fired(name, MSG_ON_UI_BUTTON_UP, "On_Input_Up", MSG_ACTION_START), "release");
    // Out and back in, pressed and released within one frame.
    MoveCursor(-300.0f, 0.0f);
    Frame();
    expect(Fired(name, MSG_ON_UI_BUTTON_OUT, "On_Input_Over", MSG_ACTION_STOP), "out");
    MoveCursor(300.0f, 0.0f);
    PushButton(true);
    PushButton(false);
    Frame();
    expect(Joined({Fired(name, MSG_ON_UI_BUTTON_OVER, "On_Input_Over", MSG_ACTION_START),
                   Fired(name, MSG_ON_UI_BUTTON_DOWN, "On_Input_Down", MSG_ACTION_START),
                   Fired(name, MSG_ON_UI_BUTTON_UP, "On_Input_Up", MSG_ACTION_START)}),
           "a click within one frame");

    // The rectangle's edge is outside: the cursor exactly on the left edge leaves.
    menu->m_CursorX = 300.0f;
    Frame();
    expect(Fired(name, MSG_ON_UI_BUTTON_OUT, "On_Input_Over", MSG_ACTION_STOP), "on the edge");
}

TEST_F(UIWindowButtonTest, AStaticOrInactiveButtonIgnoresTheCursorAndKeepsItsState) {
    CQVActor* page = Page("Play", 300.0f, 200.0f, ColorValue{1, 0, 0, 1});
    CQVUIButton* button = ButtonOf(page);
    Send(menu, MSG_ACTION_START);
    Spy& seen = WatchButton(page);
    MoveCursor(250.0f, 155.0f);
    Frame();
    ASSERT_EQ(button->m_Over, 1u);
    seen.seen.clear();

    Send<uint32_t>(button, MSG_SET_UI_BUTTON_STATIC, 1);
    MoveCursor(-300.0f, 0.0f);
    PushButton(true);
    PushButton(false);
    Frame();
    EXPECT_TRUE(seen.seen.empty());
    EXPECT_EQ(button->m_Over, 1u) << "its over flag stays as it was";

    Send<uint32_t>(button, MSG_SET_UI_BUTTON_STATIC, 0);
    Send<uint32_t>(button, MSG_SET_UI_BUTTON_ACTIVE, 0);
    EXPECT_EQ(Ask<uint32_t>(button, MSG_GET_UI_BUTTON_ACTIVE), 0u);
    Frame();
    EXPECT_TRUE(seen.seen.empty());
    Send<uint32_t>(button, MSG_SET_UI_BUTTON_ACTIVE, 1);
    Frame();
    EXPECT_EQ(seen.seen, Fired(button->m_Name, MSG_ON_UI_BUTTON_OUT, "On_Input_Over", MSG_ACTION_STOP));
}

TEST_F(UIWindowButtonTest, FocusPassesBetweenTwoPagesAndAPageIsDrawnFromTakingFocusUntilItStops) {
    CQVActor* a = Page("A", 300.0f, 200.0f, ColorValue{1, 0, 0, 1});
    CQVActor* b = Page("B", 300.0f, 400.0f, ColorValue{0, 1, 0, 1});
    // A's band sits at 260 units (332 px), B's at 460 (588 px).
    const uint32_t bandA = 340, bandB = 595;
    Send(menu, MSG_UI_SYSTEM_ACTIVATE);
    Frame();
    EXPECT_LT(Red(bandA) + Green(bandB), 1.0) << "no page has focus: none is drawn";

    Send(a, MSG_ACTION_START);
    EXPECT_EQ(g_FocusWindow, a);
    EXPECT_EQ(g_PreviousWindow, nullptr);
    Frame();
    EXPECT_GT(Red(bandA), 250.0);
    EXPECT_LT(Green(bandB), 1.0);

    // The cursor over A's button; opening B leaves it.
    MoveCursor(250.0f, 155.0f);
    Frame();
    ASSERT_EQ(ButtonOf(a)->m_Over, 1u);
    Spy& seen = WatchButton(a);
    Send(b, MSG_ACTION_START);
    EXPECT_EQ(g_FocusWindow, b);
    EXPECT_EQ(g_PreviousWindow, a);
    EXPECT_EQ(seen.seen, Fired("AButton", MSG_ON_UI_BUTTON_OUT, "On_Input_Over", MSG_ACTION_STOP));
    Frame();
    EXPECT_GT(Red(bandA), 250.0) << "A stays beneath B until it is stopped";
    EXPECT_GT(Green(bandB), 250.0);

    // Stopping B gives focus back to A and remembers B; stopping A then goes to B.
    Send(b, MSG_ACTION_STOP);
    EXPECT_EQ(g_FocusWindow, a);
    EXPECT_EQ(g_PreviousWindow, b);
    EXPECT_EQ(Ask<uint32_t>(b, MSG_GET_ENABLED), 0u);
    Frame();
    EXPECT_GT(Red(bandA), 250.0);
    EXPECT_LT(Green(bandB), 1.0);
    Send(a, MSG_ACTION_STOP);
    EXPECT_EQ(g_FocusWindow, b);
    EXPECT_EQ(g_PreviousWindow, a);
    Frame();
    EXPECT_LT(Red(bandA), 1.0);
    EXPECT_LT(Green(bandB), 1.0) << "B has focus again, but its sprites stopped with it";

    // A page that goes takes itself out of both.
    ASSERT_EQ(g_ActorSystem->DeleteActor(b), 1);
    EXPECT_EQ(g_FocusWindow, nullptr);
    ASSERT_EQ(g_ActorSystem->DeleteActor(a), 1);
    EXPECT_EQ(g_PreviousWindow, nullptr);
    Frame();
}

TEST_F(UIWindowButtonTest, AButtonInANestedWindowBelongsToTheInnerWindowOnly) {
    CQVActor* outer = Page("Outer", 100.0f, 100.0f, ColorValue{1, 0, 0, 1});
    CQVActor* inner = Page("Inner", 300.0f, 300.0f, ColorValue{0, 1, 0, 1}, outer);
    // A button inside a button is collected too.
    CQVActor* nested = Make(CLASS_UI_BUTTON, "Nested", ButtonOf(outer));
    Send(outer, MSG_UI_WINDOW_SET_FOCUS);
    const std::vector<CQVActor*> outerButtons = static_cast<CQVUIWindow*>(outer)->Buttons();
    EXPECT_EQ(outerButtons, (std::vector<CQVActor*>{ButtonOf(outer), nested}));
    Send(inner, MSG_UI_WINDOW_SET_FOCUS);
    EXPECT_EQ(static_cast<CQVUIWindow*>(inner)->Buttons(), (std::vector<CQVActor*>{ButtonOf(inner)}));
    // A button that goes drops out of the list it was in.
    ASSERT_EQ(g_ActorSystem->DeleteActor(nested), 1);
    EXPECT_EQ(static_cast<CQVUIWindow*>(outer)->Buttons(), (std::vector<CQVActor*>{ButtonOf(outer)}));
}

TEST_F(UIWindowButtonTest, AButtonWithoutATextOrSpriteIsAHundredAndTwentyByFortyAroundItsPlace) {
    CQVActor* page = Make(CLASS_UI_WINDOW, "Page", menu);
    auto* button = static_cast<CQVUIButton*>(Make(CLASS_UI_BUTTON, "Bare", page));
    Send(button, MSG_SET_POSITION, Vector3(100.0f, 100.0f, 0.0f));
    Send(button, MSG_UI_BUTTON_CALCULATE_RECT);
    EXPECT_EQ(button->m_Rect.left, 68);
    EXPECT_EQ(button->m_Rect.top, 108);
    EXPECT_EQ(button->m_Rect.right, 188);
    EXPECT_EQ(button->m_Rect.bottom, 148);
}

}  // namespace
