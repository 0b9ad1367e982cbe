// The UI System on a 1024 x 768 viewport: reference units scaled to pixels,
// the cursor moved by the mouse on a fixed clock and clamped to the virtual
// screen, its position handed to the focused window's subtree, and the
// game paused while a menu is up.

#include "actors/gameplay/UISystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Registries.h"
#include "tests/actors/gameplay/UITestSupport.h"

namespace {

using namespace uitest;

class UISystemTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        menu = static_cast<CQVUISystem*>(Make(CLASS_UI_SYSTEM, "Menu", nullptr));
        cursor = Make(CLASS_UI_SPRITE, "Cursor", menu);
        Send<uint32_t>(cursor, MSG_SET_UI_SPRITE_CURSOR, 1);
        page = Make(CLASS_UI_WINDOW, "Page", menu);
        box = Make(CLASS_UI_SPRITE, "Box", page);
        Send(box, MSG_SET_POSITION, Vector3(400.0f, 300.0f, 0.0f));
    }

    std::vector<float> CursorPosition() const {
        return {cursor->m_Position.x, cursor->m_Position.y, cursor->m_Position.z};
    }

    CQVUISystem* menu = nullptr;
    CQVActor* cursor = nullptr;
    CQVActor* page = nullptr;
    CQVActor* box = nullptr;
};

TEST_F(UISystemTest, ReferenceUnitsBecomeViewportPixelsAndTheCursorReachesTheFocusedWindow) {
    EXPECT_EQ(Ask<float>(menu, MSG_GET_UI_SYSTEM_REF_WIDTH), 800.0f);
    EXPECT_EQ(Ask<float>(menu, MSG_GET_UI_SYSTEM_REF_HEIGHT), 600.0f);
    Send(menu, MSG_ACTION_START);
    EXPECT_FLOAT_EQ(menu->m_Scale.x, 1.28f);
    EXPECT_FLOAT_EQ(menu->m_Scale.y, 1.28f);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 1u);
    EXPECT_EQ(g_ActorSystem->m_PauseActor, menu);
    EXPECT_EQ(g_FocusWindow, page) << "the window took focus from the menu's Action Start";

    // A 64 x 64 sprite at (400, 300) covers 1.28 times that from (512, 384).
    UIRect rect{};
    UIRect* out = &rect;
    box->HandleMessage(MSG_UI_RECT, Args_Of(&out));
    EXPECT_EQ(rect.left, 512);
    EXPECT_EQ(rect.top, 384);
    EXPECT_EQ(rect.right, 593);
    EXPECT_EQ(rect.bottom, 465);

    Spy& seen = Watch({page}, {MSG_UI_CURSOR});
    Frame();
    ASSERT_EQ(seen.cursors.size(), 1u);
    EXPECT_EQ(seen.cursors[0].x, 128) << "100 units";
    EXPECT_EQ(seen.cursors[0].y, 89) << "70 units";
    EXPECT_EQ(CursorPosition(), (std::vector<float>{92.0f, 62.0f, 0.0f})) << "the image's corner 8 units up and left";

    // The mouse moved 64 units right and 32 down.
    MoveCursor(64.0f, 32.0f);
    Frame();
    ASSERT_EQ(seen.cursors.size(), 2u);
    EXPECT_EQ(seen.cursors[1].x, 209);
    EXPECT_EQ(seen.cursors[1].y, 130);
    Frame();
    EXPECT_EQ(seen.cursors[2].x, 209) << "the input update put the mouse back to the centre";

    // Far to the left and up: held at 0, the image half off the screen.
    MoveCursor(-2000.0f, -2000.0f);
    Frame();
    EXPECT_EQ(seen.cursors.back().x, 0);
    EXPECT_EQ(seen.cursors.back().y, 0);
    EXPECT_EQ(CursorPosition(), (std::vector<float>{-8.0f, -8.0f, 0.0f}));
    // Far to the right and down: held at the reference size.
    MoveCursor(2000.0f, 2000.0f);
    Frame();
    EXPECT_EQ(menu->m_CursorX, 800.0f);
    EXPECT_EQ(menu->m_CursorY, 600.0f);
    EXPECT_EQ(seen.cursors.back().x, 1024);
    EXPECT_EQ(seen.cursors.back().y, 768);
}

TEST_F(UISystemTest, ActivatingTwiceOrDeactivatingTwiceDoesNothingTheSecondTime) {
    Spy& seen = Watch({menu, cursor}, {MSG_UI_SYSTEM_ACTIVATE, MSG_UI_SYSTEM_DEACTIVATE, MSG_ACTION_START,
                                       MSG_ACTION_STOP});
    EXPECT_EQ(Send(menu, MSG_UI_SYSTEM_ACTIVATE), 1);
    EXPECT_EQ(Send(menu, MSG_UI_SYSTEM_ACTIVATE), 1);
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"Cursor", MSG_ACTION_START}, {"Menu", MSG_UI_SYSTEM_ACTIVATE}}))
        << "the second activation never reached the base handler";
    EXPECT_EQ(Ask<uint32_t>(menu, MSG_GET_UI_SYSTEM_ACTIVE), 1u);

    Send(page, MSG_ACTION_START);
    ASSERT_EQ(g_FocusWindow, page);
    seen.seen.clear();
    EXPECT_EQ(Send(menu, MSG_UI_SYSTEM_DEACTIVATE), 1);
    EXPECT_EQ(Send(menu, MSG_UI_SYSTEM_DEACTIVATE), 1);
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"Cursor", MSG_ACTION_STOP}, {"Menu", MSG_UI_SYSTEM_DEACTIVATE}}));
    EXPECT_EQ(g_FocusWindow, nullptr);
    EXPECT_EQ(g_PreviousWindow, nullptr);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u);
    EXPECT_EQ(g_ActorSystem->m_PauseActor, nullptr);

    // Without a focused window no cursor goes anywhere.
    Spy& cursors = Watch({page}, {MSG_UI_CURSOR});
    Send(menu, MSG_UI_SYSTEM_ACTIVATE);
    Frame();
    EXPECT_TRUE(cursors.cursors.empty());
}

TEST_F(UISystemTest, AMenuStoredActiveActivatesWhenSetUpAndAGoneMenuReleasesThePause) {
    // As an actor file or the sheet's check box leaves it: the flag alone.
    Send<uint32_t>(menu, MSG_SET_UI_SYSTEM_ACTIVE, 1);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u);
    Send(menu, MSG_PRECALCULATE);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 1u);
    EXPECT_EQ(g_ActorSystem->m_PauseActor, menu);
    EXPECT_EQ(menu->Cursor(), cursor);
    EXPECT_FLOAT_EQ(menu->m_Scale.x, 1.28f);

    // The paused frames run the menu; once it is gone the game runs again.
    ASSERT_EQ(g_ActorSystem->DeleteActor(menu), 1);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u);
    EXPECT_EQ(g_ActorSystem->m_PauseActor, nullptr);
    const uint32_t frame = g_FrameNumber;
    Frame();
    EXPECT_EQ(g_FrameNumber, frame + 1) << "a normal frame ran";
}

TEST_F(UISystemTest, WithoutACursorTheMenuHandsOnNothing) {
    Send(menu, MSG_ACTION_START);
    ASSERT_EQ(menu->Cursor(), cursor);
    ASSERT_EQ(g_FocusWindow, page);
    Spy& seen = Watch({page}, {MSG_UI_CURSOR});
    // The cursor goes while the menu is up: the menu forgets it.
    ASSERT_EQ(g_ActorSystem->DeleteActor(cursor), 1);
    EXPECT_EQ(menu->Cursor(), nullptr);
    MoveCursor(100.0f, 0.0f);
    Frame();
    EXPECT_TRUE(seen.cursors.empty());
    EXPECT_EQ(menu->m_CursorX, 100.0f);
    Send(menu, MSG_UI_SYSTEM_DEACTIVATE);
    EXPECT_EQ(g_ActorSystem->m_PauseWord, 0u);
}

TEST_F(UISystemTest, AStoredMenuComesBackWithItsSizesAndTheViewportsScale) {
    Send(menu, MSG_SET_UI_SYSTEM_REF_WIDTH, 640.0f);
    Send(menu, MSG_SET_UI_SYSTEM_REF_HEIGHT, 480.0f);
    EXPECT_FLOAT_EQ(menu->m_Scale.x, 1.6f) << "a new size takes effect at once";
    const uint32_t id = menu->m_Id;
    const std::string file = (std::filesystem::temp_directory_path() / ("qv_ui_menu_" + std::to_string(getpid()))).string();
    ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), id, id + 1, 0), 1) << g_ActorSystem->GetError();
    ASSERT_EQ(g_ActorSystem->DeleteActor(menu), 1);
    ASSERT_EQ(g_ActorSystem->LoadActors(file.c_str(), 0), 1) << g_ActorSystem->GetError();
    std::filesystem::remove(file);
    auto* loaded = dynamic_cast<CQVUISystem*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_RefWidth, 640.0f);
    EXPECT_EQ(loaded->m_RefHeight, 480.0f);
    EXPECT_EQ(loaded->m_Scale.x, 1.0f) << "the pixel scale is not taken from the file";
    Send(loaded, MSG_PRECALCULATE);
    EXPECT_FLOAT_EQ(loaded->m_Scale.x, 1.6f);
    EXPECT_FLOAT_EQ(loaded->m_Scale.y, 1.6f);
}

// The pairs every menu class binds in its table carry the value types their
// messages are registered with.
TEST_F(UISystemTest, TheMenuClassesTablesAgreeWithTheRegisteredArgumentTypes) {
    for (uint32_t type : {CLASS_UI_SYSTEM, CLASS_UI_WINDOW, CLASS_UI_BUTTON, CLASS_UI_TEXT, CLASS_UI_SPRITE,
                          CLASS_UI_MAP_INPUT, CLASS_SAVE_GAME}) {
        const ClassRecord& record = g_ClassRecords[type];
        ASSERT_NE(record.messageRows, nullptr) << record.name;
        EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "") << record.name;
    }
}

}  // namespace
