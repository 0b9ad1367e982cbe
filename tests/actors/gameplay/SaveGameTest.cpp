// The save-game menu as a player uses it: a menu of save slots, dialogs and
// the device window, driven by the messages its buttons' scripts send; a
// save into a slot writes the one file "SaveGame" with the Inventory's
// mission, a load through the same menu restarts that mission, and the
// dialogs stay up for their time while frames go on being drawn.

#include "actors/gameplay/Inventory.h"
#include "actors/gameplay/SaveGame.h"
#include "actors/gameplay/UIButton.h"
#include "actors/gameplay/UISprite.h"
#include "actors/gameplay/UIText.h"
#include "services/storage/SaveStorage.h"
#include "tests/actors/gameplay/UITestSupport.h"

#include <cstring>
#include <fstream>

namespace {

using namespace uitest;
namespace fs = std::filesystem;

constexpr uint32_t kSlotCount = 6;

class SaveGameTest : public UIFixture {
protected:
    void SetUp() override {
        UIFixture::SetUp();
        if (HasFatalFailure()) return;
        folder = fs::temp_directory_path() / ("qv_ui_save_" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "SaveGames");
        CQVEngine::GetInstance()->SetBaseFolder(folder.string());
        CQVTextTable::GetInstance()->pairs = {{"SAVING_GAME", "Saving"},
                                              {"LOADING_GAME", "Loading"},
                                              {"DONT_TURN_OFF_COMPUTER", "Keep the power on"}};
        uint32_t id = 60;
        for (const char* name : {"Menu_SaveSlot", "Menu_SaveSlot_03", "Menu_SaveSlot_07"}) {
            auto* material = new CQVMaterialItem;
            material->name = name;
            material->loaded = 1;
            g_Library.SetItem(id++, material);
        }
        inventory = dynamic_cast<CQVInventory*>(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY));
        ASSERT_NE(inventory, nullptr);
    }
    void TearDown() override {
        UIFixture::TearDown();
        fs::remove_all(folder);
    }

    // The menu: its own windows start only when the menu starts them.
    void BuildMenu(std::vector<uint32_t> slots = {1, 2, 3, 4, 5, 6}) {
        menu = Make(CLASS_UI_SYSTEM, "Menu", nullptr);
        resume = Make(CLASS_UI_BUTTON, "Resume", menu);
        Make(CLASS_UI_WINDOW, "MainMenu", menu);
        Make(CLASS_UI_WINDOW, "SaveContinueMenu", menu);
        saveGame = static_cast<CQVSaveGame*>(Make(CLASS_SAVE_GAME, "SaveGame", menu));
        CQVActor* list = Window("SavedGameSlots");
        Make(CLASS_UI_TEXT, "Info", list);
        // Shown or hidden by the menu as it is saving or loading.
        for (const char* button : {"Back", "Continue"})
            Make(CLASS_UI_BUTTON, button, list)->m_ActionFlags |= ACTION_BLOCK_START_FROM_PARENT;
        for (uint32_t slot : slots) {
            char name[32];
            std::snprintf(name, sizeof name, "SaveSlot_%02u", slot);
            Make(CLASS_UI_SPRITE, "Img", Make(CLASS_UI_BUTTON, name, list));
        }
        Make(CLASS_UI_BUTTON, "Back", Window("Device"));
        for (const char* dialog : {"InfoDialog", "InfoOkDialog", "YesNoDialog"}) Make(CLASS_UI_TEXT, "Text", Window(dialog));
        Send(saveGame, MSG_PRECALCULATE);
        Send(menu, MSG_UI_SYSTEM_ACTIVATE);
    }
    CQVActor* Window(const char* name) {
        CQVActor* window = Make(CLASS_UI_WINDOW, name, saveGame);
        window->m_ActionFlags |= ACTION_BLOCK_START_FROM_PARENT;
        return window;
    }
    void Open(uint32_t state) {
        Send(saveGame, state == CQVSaveGame::STATE_SAVE ? MSG_SAVE_GAME_SET_STATE_SAVE : MSG_SAVE_GAME_SET_STATE_LOAD);
        Send(saveGame, MSG_ACTION_START);
    }
    CQVActor* Find(const char* name) const { return UI_Find(saveGame, name); }
    CQVActor* Slot(uint32_t n) const {
        char name[32];
        std::snprintf(name, sizeof name, "SaveSlot_%02u", n);
        return Find(name);
    }
    static bool Started(CQVActor* window) { return window && (window->m_Activity & ACTIVITY_ENABLED); }
    static std::string TextOf(CQVActor* text) { return static_cast<CQVUIText*>(text)->m_Text; }
    std::string DialogText(const char* dialog) const { return TextOf(UI_Find(Find(dialog), "Text")); }
    static uint32_t SlotImage(CQVActor* slot) {
        auto* image = static_cast<CQVUISprite*>(UI_Find(slot, "Img"));
        return image->m_MaterialId;
    }
    static float SlotAlpha(CQVActor* slot) { return static_cast<CQVUISprite*>(UI_Find(slot, "Img"))->m_Color[3]; }
    static uint32_t SlotStatic(CQVActor* slot) { return static_cast<CQVUIButton*>(slot)->m_Static; }

    // The save file's words after its 8-byte header.
    std::vector<uint32_t> SavedWords(const char* name = "SaveGame") const {
        std::ifstream in(folder / "SaveGames" / name, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<uint32_t> words(bytes.size() / 4);
        if (!bytes.empty()) std::memcpy(words.data(), bytes.data(), words.size() * 4);
        return words;
    }
    void WriteSave(const char* name, std::vector<uint32_t> slots) {
        std::vector<uint32_t> buffer(SAVE_BLOCK_WORDS, 0);
        buffer[1] = static_cast<uint32_t>(slots.size());
        for (size_t i = 0; i < slots.size(); ++i) buffer[2 + i] = slots[i];
        ASSERT_EQ(CQVEngine::WriteSave(0, name, buffer.data(), SAVE_BLOCK_SIZE), 1);
    }

    fs::path folder;
    CQVInventory* inventory = nullptr;
    CQVActor* menu = nullptr;
    CQVActor* resume = nullptr;
    CQVSaveGame* saveGame = nullptr;
};

TEST_F(SaveGameTest, ASaveAndALoadThroughTheMenuRestartTheSavedMission) {
    BuildMenu();
    inventory->m_Mission.saveBlock.mission = 3;
    Open(CQVSaveGame::STATE_SAVE);
    EXPECT_TRUE(Started(Find("SavedGameSlots")));
    EXPECT_EQ(TextOf(Find("Info")), "SAVE_GAME_MENU");
    EXPECT_FALSE(Started(Find("Back"))) << "saving offers Continue, not Back";
    EXPECT_TRUE(Started(Find("Continue")));
    for (uint32_t n = 1; n <= kSlotCount; ++n) {
        EXPECT_EQ(SlotImage(Slot(n)), 60u) << n;
        EXPECT_EQ(SlotAlpha(Slot(n)), 0.7f);
        EXPECT_EQ(SlotStatic(Slot(n)), 0u) << "every slot takes a save";
    }

    Spy& seen = Watch({saveGame}, {MSG_ON_POST_SAVE_GAME, MSG_ON_POST_LOAD_GAME});
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 2);
    EXPECT_TRUE(Started(Find("InfoDialog")));
    EXPECT_EQ(DialogText("InfoDialog"), "Saving\nKeep the power on");
    Frames(2);
    EXPECT_TRUE(SavedWords().empty()) << "the dialog is drawn before the save runs";
    Frames(2);
    const std::vector<uint32_t> words = SavedWords();
    ASSERT_EQ(words.size(), 2 + SAVE_BLOCK_WORDS);
    EXPECT_EQ(std::vector<uint32_t>(words.begin(), words.begin() + 6), (std::vector<uint32_t>{1, 16488, 3, 6, 0, 3}))
        << "format, size, then the last mission, the slots, slot 1 empty and slot 2 at mission 3";
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"SaveGame", MSG_ON_POST_SAVE_GAME}}));
    // The dialog stays two seconds, the frames going on meanwhile.
    Frames(57);
    EXPECT_TRUE(Started(Find("InfoDialog")));
    Frames(4);
    EXPECT_FALSE(Started(Find("InfoDialog")));

    // A player who comes back to load: the saved slot shows its mission and
    // is the only one that can be picked.
    Send(saveGame, MSG_ACTION_STOP);
    Open(CQVSaveGame::STATE_LOAD);
    EXPECT_EQ(TextOf(Find("Info")), "LOAD_GAME_MENU");
    EXPECT_EQ(SlotImage(Slot(2)), 61u);
    EXPECT_EQ(SlotAlpha(Slot(2)), 0.9f);
    EXPECT_EQ(SlotStatic(Slot(2)), 0u);
    EXPECT_EQ(SlotStatic(Slot(1)), 1u);
    EXPECT_EQ(SlotAlpha(Slot(1)), 0.7f);

    // From the main menu (no game running: "Resume" is static) it loads at once.
    Send<uint32_t>(resume, MSG_SET_UI_BUTTON_STATIC, 1);
    inventory->m_Mission.saveBlock.mission = 9;
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 2);
    EXPECT_EQ(DialogText("InfoDialog"), "Loading\nKeep the power on");
    Frames(60);
    EXPECT_TRUE(seen.seen.size() == 1) << "the loading dialog shows for its two seconds";
    Frames(8);
    ASSERT_EQ(seen.seen.size(), 2u);
    EXPECT_EQ(seen.seen[1], (Seen{"SaveGame", MSG_ON_POST_LOAD_GAME}));
    EXPECT_FALSE(Started(Find("InfoDialog")));
    EXPECT_EQ(inventory->m_Mission.saveBlock.mission, 3u) << "the block came from the save";
    EXPECT_EQ(inventory->m_Mission.pendingMission, 2);

    // The menu closes; the fade to black ends and mission 3 starts.
    Send(menu, MSG_UI_SYSTEM_DEACTIVATE);
    for (int frame = 0; frame < 30 && g_CurrentMission != 3; ++frame) Frame();
    EXPECT_EQ(g_CurrentMission, 3u);
    EXPECT_EQ(g_ActorSystem->m_PendingLoad, 1u);
    // Under the base folder, which this test leaves empty.
    EXPECT_EQ(g_ActorSystem->m_LoadFileA, "\\data\\Mission_03_Release.qva");
    EXPECT_EQ(g_ActorSystem->m_LoadFileB, "\\data\\Globals1_XBox.qva");
    g_ActorSystem->m_PendingLoad = 0;
}

TEST_F(SaveGameTest, AUsedSlotAsksBeforeItIsOverwrittenAndALoadDuringAGameAsksToQuit) {
    WriteSave("SaveGame", {0, 3, 0, 0, 0, 0});
    BuildMenu();
    inventory->m_Mission.saveBlock.mission = 5;
    Open(CQVSaveGame::STATE_SAVE);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 2);
    EXPECT_TRUE(Started(Find("YesNoDialog")));
    EXPECT_EQ(DialogText("YesNoDialog"), "OVERWRITE_SAVED_GAME");
    EXPECT_EQ(saveGame->m_SavePending, 0u);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_YES_NO_RESPONS, 0);
    EXPECT_EQ(saveGame->m_OverwriteQuestion, 0u);
    EXPECT_EQ(saveGame->m_SavePending, 0u) << "no keeps the old save";
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 2);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_YES_NO_RESPONS, 1);
    EXPECT_EQ(saveGame->m_SavePending, 1u);
    Frames(4);
    EXPECT_EQ(SavedWords()[2 + 2 + 1], 5u) << "slot 2 now at mission 5";

    // In a running game ("Resume" can be picked) loading asks first.
    Send(saveGame, MSG_ACTION_STOP);
    Send(Find("YesNoDialog"), MSG_ACTION_STOP);
    Open(CQVSaveGame::STATE_LOAD);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 2);
    EXPECT_EQ(DialogText("YesNoDialog"), "QUIT_CURRENT_GAME");
    EXPECT_EQ(saveGame->m_LoadPending, 0u);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_YES_NO_RESPONS, 1);
    EXPECT_EQ(saveGame->m_LoadPending, 1u);
    EXPECT_EQ(saveGame->m_QuitQuestion, 0u);

    // "Back" leaves to the main menu when loading.
    Spy& seen = Watch({UI_Find(menu, "MainMenu")}, {MSG_ACTION_START});
    Send(saveGame, MSG_SAVE_GAME_BACK);
    EXPECT_EQ(seen.seen, (std::vector<Seen>{{"MainMenu", MSG_ACTION_START}}));
    EXPECT_FALSE(Started(Find("SavedGameSlots")));
}

TEST_F(SaveGameTest, TheMenuReadsTheSaveFileByNameAndKeepsSlotsAndDevicesWithinItsLists) {
    // A file listed before "SaveGame", of the same size.
    WriteSave("AAA", {7, 7, 7, 7, 7, 7});
    WriteSave("SaveGame", {0, 3});
    BuildMenu({1, 2, 4});
    EXPECT_EQ(saveGame->m_Slots.size(), 2u) << "slot windows end at the first number missing";
    Open(CQVSaveGame::STATE_LOAD);
    EXPECT_EQ(saveGame->m_Slots[1].mission, 3u);
    EXPECT_EQ(saveGame->m_Slots[0].empty, 1u);
    EXPECT_EQ(SlotImage(Slot(1)), 60u);

    Send<int32_t>(saveGame, MSG_SAVE_GAME_SELECT_DEVICE, 5);
    EXPECT_EQ(saveGame->m_SelectedDevice, 0) << "the one device listed";
    Send<int32_t>(saveGame, MSG_SAVE_GAME_SELECT_DEVICE, -4);
    EXPECT_EQ(saveGame->m_SelectedDevice, 0);

    // Slot numbers from scripts: 1-based, and only those of the slot windows.
    Send<uint32_t>(resume, MSG_SET_UI_BUTTON_STATIC, 1);
    for (uint32_t slot : {0u, 3u, 4000u, 0xFFFFFFFFu}) {
        Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, slot);
        EXPECT_EQ(saveGame->m_SelectedSlot, -1) << slot;
        EXPECT_EQ(saveGame->m_LoadPending, 0u) << slot;
    }
    Send(saveGame, MSG_SAVE_GAME_SET_STATE_SAVE);
    Send<uint32_t>(saveGame, MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM, 4000);
    EXPECT_EQ(saveGame->m_SavePending, 0u);

    // A save that holds more slots than the menu has shows none.
    WriteSave("SaveGame", {3, 3, 3});
    Send(saveGame, MSG_SAVE_GAME_SET_STATE_LOAD);
    Send<int32_t>(saveGame, MSG_SAVE_GAME_SELECT_DEVICE, 0);
    EXPECT_EQ(saveGame->m_Slots[1].empty, 1u);
    EXPECT_EQ(SlotStatic(Slot(2)), 1u);
}

TEST_F(SaveGameTest, TheInventoryTakesOnlyAWholeSaveBlock) {
    SaveRecord record{};
    InventorySaveBlock block;
    block.mission = 4;
    record.data = &block;
    record.size = 100;
    inventory->m_Mission.saveBlock.mission = 2;
    EXPECT_EQ(inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&record)), 0);
    EXPECT_EQ(inventory->m_Mission.saveBlock.mission, 2u) << "nothing was copied";
    record.data = nullptr;
    EXPECT_EQ(inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&record)), 1) << "no block: nothing to do";
    // A short record: not even its pointer is read.
    EXPECT_EQ(inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&record, 16)), 0);
}

TEST(UIFillText, FillsEachPlaceholderInTurnAndTakesNothingElseAsAFormat) {
    EXPECT_EQ(UI_FillText("%s removed during %s", {"Hard Disc", "SAVE"}), "Hard Disc removed during SAVE");
    EXPECT_EQ(UI_FillText("%n%d %s %x %s %s", {"a", "b"}), "%n%d a %x b %s");
    EXPECT_EQ(UI_FillText("100%", {"a"}), "100%");
}

}  // namespace
