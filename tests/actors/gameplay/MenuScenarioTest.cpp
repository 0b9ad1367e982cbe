// A menu page as a player sees it: the game started headless on a level
// made here, whose start opens a menu of a textured backdrop, a translated
// title in a library font, two panels with their labels, an icon and the
// mouse cursor. The menu pauses the game, so the capture is run by the
// menu itself: a button under the cursor unlocks a second one, whose "over"
// on the next frame captures the frame before it.

#include "actors/gameplay/UISprite.h"
#include "actors/gameplay/UIText.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tests/support/Scenario.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/TextTableWriter.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 400, kHeight = 300;  // half the menu's 800 x 600 units
// Per channel: text edges and filtered textures may round a step or two;
// the share of pixels beyond it stays below the cursor's own few hundred.
constexpr int kTolerance = 6;
constexpr double kMaxBadFraction = 0.0003;

enum : uint32_t {
    BACKDROP_TEXTURE = 10,
    ARROW_TEXTURE,
    ICON_TEXTURE,
    BACKDROP_MATERIAL = 20,
    ARROW_MATERIAL,
    ICON_MATERIAL,
    PANEL_MATERIAL,
    TITLE_FONT = 30,
    LABEL_FONT,
};

std::vector<uint32_t> Backdrop() {
    // Dark blue at the top to teal at the bottom.
    std::vector<uint32_t> pixels(64 * 64);
    for (uint32_t y = 0; y < 64; ++y) {
        const uint32_t g = 20 + y * 2, b = 80 + y;
        for (uint32_t x = 0; x < 64; ++x) pixels[y * 64 + x] = 0xFF000000u | g << 8 | b;
    }
    return pixels;
}

std::vector<uint32_t> Arrow() {
    // A white arrow with a black rim, its tip at the top left; the rest clear.
    std::vector<uint32_t> pixels(32 * 32, 0x00000000u);
    for (uint32_t y = 0; y < 24; ++y) {
        for (uint32_t x = 0; x <= y / 2 + 1; ++x)
            pixels[y * 32 + x] = (x == 0 || x == y / 2 + 1 || y == 23) ? 0xFF000000u : 0xFFFFFFFFu;
    }
    return pixels;
}

// Pixels of the rectangle whose red is above 150 and blue below 120: the
// title's yellow ink.
int YellowInk(const CapturedImage& image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    int count = 0;
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x)
            count += ((image.At(x, y) >> 16) & 0xFF) > 150 && (image.At(x, y) & 0xFF) < 120;
    return count;
}

std::vector<uint32_t> Checker() {
    std::vector<uint32_t> pixels(32 * 32);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) pixels[y * 32 + x] = ((x / 8 + y / 8) % 2) ? 0xFFE0A020u : 0xFF602010u;
    return pixels;
}

// The library of the menu's items, with the files they name.
void WriteLibrary(const Scenario& scenario) {
    const auto save = [&](const char* name, const std::vector<uint32_t>& pixels, uint32_t side) {
        ASSERT_TRUE(ImageWriter_Save((scenario.DataFolder() / name).string(),
                                     ImageWriter_Tga(pixels.data(), side, side, TgaWriteOptions{})));
    };
    save("backdrop.tga", Backdrop(), 64);
    save("arrow.tga", Arrow(), 32);
    save("icon.tga", Checker(), 32);
    LibraryFile library;
    library.AddTexture(BACKDROP_TEXTURE, "Backdrop", "backdrop.tga", 64, 64);
    library.AddTexture(ARROW_TEXTURE, "Arrow", "arrow.tga", 32, 32);
    library.AddTexture(ICON_TEXTURE, "Icon", "icon.tga", 32, 32);
    const auto material = [&](uint32_t id, const char* name, std::vector<uint32_t> textures) {
        CQVMaterialItem* item = library.AddMaterial(id, name, std::move(textures));
        item->material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        item->stateFlagB = 1;  // unlit: a quad shows its texture times its colour
        return item;
    };
    material(BACKDROP_MATERIAL, "Menu_Backdrop", {BACKDROP_TEXTURE});
    material(ARROW_MATERIAL, "Menu_Cursor", {ARROW_TEXTURE})->blendIndex = 1;  // the texture's alpha
    material(ICON_MATERIAL, "Menu_Icon", {ICON_TEXTURE});
    material(PANEL_MATERIAL, "Menu_Panel", {});
    library.AddFont(TITLE_FONT, "Menu Title", "DejaVu Sans", 24)->flags = 1;
    library.AddFont(LABEL_FONT, "Menu Label", "DejaVu Sans", 14);
    ASSERT_TRUE(library.Write(scenario.LibraryPath().string()));
    ASSERT_TRUE(TextTable_Write((scenario.DataFolder() / "text.txt").string(),
                                {{"MENU_TITLE", "Main Menu"}, {"START_GAME", "Start"}, {"OPTIONS", "Options"}}));
}

// Stand-ins in the library of the process that builds the level, so that
// the actors save their items' names.
void AddStandIns() {
    ASSERT_EQ(CQVEngine::Create(), 1);
    const struct {
        uint32_t id;
        const char* name;
        bool font;
    } items[] = {{BACKDROP_MATERIAL, "Menu_Backdrop", false}, {ARROW_MATERIAL, "Menu_Cursor", false},
                 {ICON_MATERIAL, "Menu_Icon", false},         {PANEL_MATERIAL, "Menu_Panel", false},
                 {TITLE_FONT, "Menu Title", true},            {LABEL_FONT, "Menu Label", true}};
    for (const auto& item : items) {
        CQVLibraryItem* standIn = item.font ? static_cast<CQVLibraryItem*>(new CQVFontItem)
                                            : static_cast<CQVLibraryItem*>(new CQVMaterialItem);
        standIn->name = item.name;
        ASSERT_TRUE(g_Library.SetItem(item.id, standIn));
    }
}

class MenuBuilder {
public:
    MenuBuilder(Scenario& scenario, CQVActor* scenery) : m_Scenario(scenario), m_Scenery(scenery) {}

    CQVActor* Make(uint32_t type, const char* name, CQVActor* parent) {
        return g_ActorSystem->CreateActor(type, name, nullptr, parent ? parent : m_Scenery, m_Scenario.NextId(), 1, 0);
    }
    CQVUISprite* Sprite(const char* name, CQVActor* parent, uint32_t material, Vector3 at, float width, float height,
                        ColorValue colour = {1.0f, 1.0f, 1.0f, 1.0f}) {
        auto* sprite = static_cast<CQVUISprite*>(Make(CLASS_UI_SPRITE, name, parent));
        sprite->m_MaterialId = static_cast<int32_t>(material);
        sprite->m_Position = at;
        sprite->m_Width = width;
        sprite->m_Height = height;
        sprite->HandleMessage(MSG_SET_UI_SPRITE_COLOR, Args_Of(&colour));
        return sprite;
    }
    CQVUIText* Text(const char* name, CQVActor* parent, const char* key, uint32_t font, Vector3 at,
                    ColorValue colour) {
        auto* text = static_cast<CQVUIText*>(Make(CLASS_UI_TEXT, name, parent));
        text->m_FontId = static_cast<int32_t>(font);
        text->m_Position = at;
        text->m_AlignX = UI_ALIGN_CENTRE;
        text->m_AlignY = UI_ALIGN_CENTRE;
        text->HandleMessage(MSG_SET_UI_TEXT_COLOR, Args_Of(&colour));
        text->HandleMessage(MSG_SET_UI_TEXT_TEXT, Args_Of(key));
        return text;
    }
    // A button over the cursor's start with an action child that, once the
    // button counts the cursor as over it, runs the script; the child is
    // kept from starting with the menu.
    CQVActor* Trigger(const char* name, CQVActor* parent, CQVActor* action, const char* script) {
        CQVActor* button = Make(CLASS_UI_BUTTON, name, parent);
        button->m_Position = Vector3(100.0f, 70.0f, 0.0f);
        if (action == nullptr) action = Make(CLASS_BASE, "On_Input_Over", button);
        g_ActorSystem->MoveActor(action, button);
        action->HandleMessage(MSG_SET_NAME, Args_Of("On_Input_Over"));
        action->m_ActionFlags |= ACTION_BLOCK_START_FROM_PARENT;
        if (script) {
            CQVScript record;
            record.name = "Over";
            record.boundMessage = MSG_ACTION_START;
            record.source = script;
            action->m_Scripts.push_back(record);
        }
        return button;
    }

private:
    Scenario& m_Scenario;
    CQVActor* m_Scenery;
};

TEST(MenuScenario, AMenuPageShowsItsBackdropTitlePanelsIconAndCursor) {
    Scenario scenario("MenuPage", kWidth, kHeight);
    WriteLibrary(scenario);
    if (testing::Test::HasFatalFailure()) return;
    CQVActor* scenery = scenario.BeginScene();
    ASSERT_NE(scenery, nullptr);
    AddStandIns();
    if (testing::Test::HasFatalFailure()) return;
    MenuBuilder make(scenario, scenery);

    // The game's start opens the menu.
    CQVActor* starter = make.Make(CLASS_BASE, "Starter", nullptr);
    CQVScript start;
    start.name = "Open";
    start.boundMessage = MSG_START_GAME;
    start.source = "parent/Menu.action_start();";
    starter->m_Scripts.push_back(start);

    CQVActor* menu = make.Make(CLASS_UI_SYSTEM, "Menu", nullptr);
    CQVActor* page = make.Make(CLASS_UI_WINDOW, "Page", menu);
    make.Sprite("Backdrop", page, BACKDROP_MATERIAL, Vector3(0.0f, 0.0f, 0.0f), 800.0f, 600.0f);
    make.Text("Title", page, "MENU_TITLE", TITLE_FONT, Vector3(400.0f, 90.0f, 0.0f), {1.0f, 0.85f, 0.3f, 1.0f});
    const struct {
        const char* key;
        float y;
    } panels[] = {{"START_GAME", 260.0f}, {"OPTIONS", 380.0f}};
    for (const auto& panel : panels) {
        CQVActor* button = make.Make(CLASS_UI_BUTTON, panel.key, page);
        button->m_Position = Vector3(400.0f, panel.y, 0.0f);
        CQVUISprite* back =
            make.Sprite("Panel", button, PANEL_MATERIAL, Vector3(0.0f, 0.0f, 0.0f), 360.0f, 80.0f, {0.15f, 0.2f, 0.45f, 1.0f});
        back->m_AlignX = back->m_AlignY = UI_ALIGN_CENTRE;
        make.Text("Label", button, panel.key, LABEL_FONT, Vector3(0.0f, 0.0f, 0.0f), {1.0f, 1.0f, 1.0f, 1.0f});
    }
    make.Sprite("Icon", page, ICON_MATERIAL, Vector3(640.0f, 440.0f, 0.0f), 96.0f, 96.0f);

    // The capture: the second trigger, tested first, is static until the
    // first one's "over" frees it, so it fires a frame later.
    CQVActor* capture = scenario.MakeCaptureActor(MSG_ACTION_START);
    ASSERT_NE(capture, nullptr);
    CQVActor* second = make.Trigger("Second", page, capture, nullptr);
    uint32_t locked = 1;
    second->HandleMessage(MSG_SET_UI_BUTTON_STATIC, Args_Of(&locked));
    make.Trigger("First", page, nullptr, "parent/parent/Second.set_ui_button_static(0);");

    auto* cursor = make.Sprite("Cursor", menu, ARROW_MATERIAL, Vector3(0.0f, 0.0f, 0.0f), 32.0f, 32.0f);
    cursor->m_Cursor = 1;
    ASSERT_TRUE(scenario.SaveScene());
    ASSERT_EQ(scenario.Run(1.0 / 30.0, 120000, {"-s=0"}), 0) << scenario.ErrorOutput();

    CapturedImage image;
    std::string error;
    ASSERT_TRUE(scenario.LoadCapture(&image, &error)) << error;
    // What a player sees, checked apart from the reference: the backdrop
    // darker at the top than at the bottom, the panels blue, the title's
    // yellow ink at the top, the icon's orange, and the white arrow whose
    // tip is the cursor's hot spot (100, 70) less 8 units.
    EXPECT_LT(image.ChannelMean(8, 0, 0, 60, 20), image.ChannelMean(8, 0, 280, 60, 300));
    EXPECT_GT(image.ChannelMean(0, 120, 120, 150, 140), 100.0) << "the first panel";
    EXPECT_LT(image.ChannelMean(16, 120, 120, 150, 140), 60.0);
    EXPECT_GT(YellowInk(image, 140, 30, 260, 60), 150) << "the title";
    EXPECT_EQ(YellowInk(image, 140, 240, 260, 270), 0);
    EXPECT_GT(image.ChannelMean(16, 322, 222, 366, 266), 90.0) << "the icon";
    EXPECT_GT(image.Brightness(47, 38, 49, 40), 230.0) << "the arrow, in white";
    EXPECT_LT(image.Brightness(60, 32, 64, 36), 120.0) << "beside the arrow, the backdrop";
    EXPECT_TRUE(scenario.MatchesReference("tests/actors/gameplay/reference/MenuPage.png", kTolerance, kMaxBadFraction));
}

}  // namespace
