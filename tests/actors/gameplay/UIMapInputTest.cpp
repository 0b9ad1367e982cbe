// The key-binding element as a player uses it: clicking its frame with
// pushed mouse events makes it wait for a key, the next key pressed becomes
// the action's primary binding and its text shows the keys; the menu saved
// and loaded again after a restart puts the binding back.

#include "actors/gameplay/UIMapInput.h"
#include "actors/gameplay/UISystem.h"
#include "actors/gameplay/UIText.h"
#include "tests/actors/gameplay/UITestSupport.h"
#include "tests/support/ActorRecordFile.h"

namespace {

using namespace uitest;
namespace fs = std::filesystem;

class UIMapInputTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        BuildMenu();
    }
    // The menu of one element for "Forward", its frame at (340, 200) units.
    void BuildMenu() {
        menu = Make(CLASS_UI_SYSTEM, "Menu", nullptr);
        Send<uint32_t>(Make(CLASS_UI_SPRITE, "Cursor", menu), MSG_SET_UI_SPRITE_CURSOR, 1);
        page = Make(CLASS_UI_WINDOW, "Keys", menu);
        element = static_cast<CQVUIMapInput*>(Make(CLASS_UI_MAP_INPUT, "Forward", page));
        Send<uint32_t>(element, MSG_SET_UI_MAPINPUT_MAP, QVDI_BUTTONFORWARD);
        Send(element, MSG_SET_POSITION, Vector3(300.0f, 200.0f, 0.0f));
        Send(element, MSG_PRECALCULATE);
    }
    std::string Shown() const {
        return element->m_Text.target ? static_cast<CQVUIText*>(element->m_Text.target)->m_Text : "(no text)";
    }
    static uint32_t Primary() { return Input_GetBinding(QVDI_BUTTONFORWARD, 0); }
    static uint32_t Secondary() { return Input_GetBinding(QVDI_BUTTONFORWARD, 1); }
    // Opens the menu, puts the cursor on the frame and waits out the
    // half second in which clicks do not count.
    void OpenAndPoint() {
        Send(menu, MSG_ACTION_START);
        ASSERT_EQ(g_FocusWindow, page);
        MoveCursor(280.0f, 145.0f);
        Frames(16);
        ASSERT_EQ(element->m_Over, 1u);
    }
    void Click() {
        PushButton(true);
        Frame();
        PushButton(false);
        Frame();
    }

    CQVActor* menu = nullptr;
    CQVActor* page = nullptr;
    CQVUIMapInput* element = nullptr;
};

TEST_F(UIMapInputTest, ANewElementBuildsItsChildrenAndShowsTheActionsKeys) {
    for (const char* child : {"Frame", "Text", "Label", "On_Input_Over", "On_Input_Focus"})
        EXPECT_NE(CQVActor::FindChildByName(element, child), nullptr) << child;
    EXPECT_EQ(static_cast<CQVUIText*>(element->m_Label.target)->m_Text, "Label:");
    // 1.28 pixels a unit: the frame's 64 units from (340, 200).
    EXPECT_EQ(element->m_Rect.left, 435);
    EXPECT_EQ(element->m_Rect.top, 256);
    EXPECT_EQ(element->m_Rect.right, 517);
    EXPECT_EQ(element->m_Rect.bottom, 337);
    EXPECT_EQ(element->m_SavedPrimary, static_cast<uint32_t>(QVI_UP)) << "taken from the engine's bindings";
    EXPECT_EQ(element->m_SavedSecondary, static_cast<uint32_t>('W'));
    EXPECT_EQ(Shown(), "QVI_UP / W");

    // The key names go through the text table; one binding shows alone, none shows nothing.
    CQVTextTable::GetInstance()->pairs = {{"QVI_UP", "Cursor Up"}};
    Input_BindKey(QVDI_BUTTONFORWARD, QVI_UP, 0);
    element->ShowBindings();
    EXPECT_EQ(Shown(), "Cursor Up");
    Input_BindKey(QVDI_BUTTONFORWARD, 0, 0);
    element->ShowBindings();
    EXPECT_EQ(Shown(), "");
}

TEST_F(UIMapInputTest, ClickingTheFrameCapturesTheNextKeyAndTheBindingSurvivesARestart) {
    Spy& seen = Watch({element}, {MSG_ON_UI_MAPINPUT_OVER, MSG_ON_UI_MAPINPUT_OUT, MSG_ON_UI_MAPINPUT_GET_FOCUS,
                                  MSG_ON_UI_MAPINPUT_LOSE_FOCUS});
    OpenAndPoint();
    PushButton(true);
    Frame();
    EXPECT_EQ(element->m_Focused, 0u) << "focus comes with the release, not the press";
    PushButton(false);
    Frame();
    ASSERT_EQ(element->m_Focused, 1u);
    PushKey(SDL_SCANCODE_K, true);
    Frames(4);
    PushKey(SDL_SCANCODE_K, false);
    Frame();
    EXPECT_EQ(element->m_Focused, 0u);
    EXPECT_EQ(Primary(), static_cast<uint32_t>('K'));
    EXPECT_EQ(Secondary(), static_cast<uint32_t>(QVI_UP)) << "the former primary";
    EXPECT_EQ(Shown(), "K / QVI_UP");
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"Forward", MSG_ON_UI_MAPINPUT_OVER},
                                            {"Forward", MSG_ON_UI_MAPINPUT_GET_FOCUS},
                                            {"Forward", MSG_ON_UI_MAPINPUT_LOSE_FOCUS}}));
    spy.reset();

    // The menu saved as the game leaves it, and loaded after a restart,
    // whose input starts with the default bindings.
    const fs::path file = fs::temp_directory_path() / ("qv_ui_keys_" + std::to_string(getpid()) + ".qva");
    ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), ACTOR_ID_FIRST_FREE, ACTOR_ID_MAX, 0), 1)
        << g_ActorSystem->GetError();
    const uint32_t id = element->m_Id;
    TearDown();
    UIFixture::SetUp();
    ASSERT_EQ(Primary(), static_cast<uint32_t>(QVI_UP));
    ASSERT_EQ(g_ActorSystem->LoadActors(file.c_str(), 0), 1) << g_ActorSystem->GetError();
    fs::remove(file);
    g_ActorSystem->PrecalculateAll();
    element = dynamic_cast<CQVUIMapInput*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(Primary(), static_cast<uint32_t>('K'));
    EXPECT_EQ(Secondary(), static_cast<uint32_t>(QVI_UP));
    EXPECT_EQ(Shown(), "K / QVI_UP");
}

TEST_F(UIMapInputTest, InAxisModeNothingIsBoundAndAPressOutsideEndsTheWait) {
    Send<uint32_t>(element, MSG_SET_UI_MAPINPUT_IS_AXIS, 1);
    OpenAndPoint();
    Click();
    ASSERT_EQ(element->m_Focused, 1u);
    PushKey(SDL_SCANCODE_K, true);
    Frames(4);
    PushKey(SDL_SCANCODE_K, false);
    Frames(2);
    EXPECT_EQ(element->m_Focused, 1u);
    EXPECT_EQ(Primary(), static_cast<uint32_t>(QVI_UP));
    // Out of the frame: a press there ends the wait.
    MoveCursor(-200.0f, 0.0f);
    Frame();
    EXPECT_EQ(element->m_Over, 0u);
    PushButton(true);
    Frame();
    EXPECT_EQ(element->m_Focused, 0u);
    PushButton(false);
    Frame();

    // A second click within half a second of the last focus change does nothing.
    MoveCursor(200.0f, 0.0f);
    Frame();
    Click();
    EXPECT_EQ(element->m_Focused, 0u);
}

TEST_F(UIMapInputTest, AnActionOutsideTheTableIsNeverBound) {
    Send<uint32_t>(element, MSG_SET_UI_MAPINPUT_MAP, 40);
    EXPECT_EQ(Ask<uint32_t>(element, MSG_GET_UI_MAPINPUT_MAP), static_cast<uint32_t>(QVDI_BUTTONFORWARD));
    Send<uint32_t>(element, MSG_SET_UI_MAPINPUT_MAP, 0);
    EXPECT_EQ(Ask<uint32_t>(element, MSG_GET_UI_MAPINPUT_MAP), static_cast<uint32_t>(QVDI_BUTTONFORWARD));

    // A file whose element names action 100 with saved codes: 100 is no
    // action of row 0 but the index of one in row 1, which stays untouched.
    element->m_Action = 100;
    element->m_SavedPrimary = 'Z';
    const uint32_t id = element->m_Id;
    ActorRecordFile file;
    ASSERT_TRUE(file.WriteAndForget(element, 70));
    const uint32_t before[2] = {Input_GetBinding(100, 0), Input_GetBinding(100, 1)};
    ASSERT_EQ(file.Load(), 1);
    element = dynamic_cast<CQVUIMapInput*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(element, nullptr);
    Send(element, MSG_PRECALCULATE);
    EXPECT_EQ(Input_GetBinding(100, 0), before[0]);
    EXPECT_EQ(Input_GetBinding(100, 1), before[1]);
    EXPECT_EQ(element->BindingLabel(), "");
}

}  // namespace
