#include "frontends/launcher/LauncherApp.h"
#include "frontends/launcher/ShellContext.h"
#include "tests/frontends/launcher/LauncherFixture.h"

namespace {

class ShellDescription : public LauncherFolderTest {
protected:
    // Parses the folder's description; the messages it showed in *messages.
    bool Parse(ShellContext* context, std::string* messages = nullptr) {
        testing::internal::CaptureStderr();
        const bool ok = context->Parse();
        const std::string shown = testing::internal::GetCapturedStderr();
        if (messages != nullptr) *messages = shown;
        return ok;
    }
    static LauncherMenu FullMenu() {
        LauncherMenu menu;
        menu.name = "Corvane Menu";
        menu.icon = "corvane.ico";
        menu.cursorNormal = "lo.cur";
        menu.cursorHover = "hi.cur";
        menu.fullScreen = "true";
        menu.drawRects = "TRUE";
        menu.background = "menu.bmp";
        menu.movies = {"intro.mpg", "launch.mpg"};
        menu.playMovie = "true";
        menu.buttons = {"play.btn", "exit.btn"};
        return menu;
    }
};

TEST_F(ShellDescription, EveryKeyIsRead) {
    WriteMenu(FullMenu());
    ShellContext context;
    ASSERT_TRUE(Parse(&context));
    EXPECT_EQ(context.applicationName, "Corvane Menu");  // quoted: its blank stays
    EXPECT_EQ(context.iconFile, "corvane.ico");
    EXPECT_EQ(context.normalCursorFile, "lo.cur");
    EXPECT_EQ(context.hoverCursorFile, "hi.cur");
    EXPECT_EQ(context.fullScreen, 1);
    EXPECT_EQ(context.drawRects, 0);  // only "true" is true
    EXPECT_EQ(context.backgroundImage, "menu.bmp");
    EXPECT_EQ(context.movieCount, 2);
    EXPECT_EQ(context.movieFiles, (std::vector<std::string>{"intro.mpg", "launch.mpg"}));
    EXPECT_EQ(context.playMovie, 1);
    EXPECT_EQ(context.buttonCount, 2);
    EXPECT_EQ(context.buttonFiles, (std::vector<std::string>{"play.btn", "exit.btn"}));
}

TEST_F(ShellDescription, NullValuesSetNothing) {
    LauncherKeys keys = LauncherData_MenuKeys(LauncherMenu{});
    for (LauncherKey& key : keys) key.value = "null";
    WriteMenu(keys);
    ShellContext context;
    ASSERT_TRUE(Parse(&context));
    EXPECT_EQ(context.applicationName, "");
    EXPECT_EQ(context.iconFile, "");
    EXPECT_EQ(context.fullScreen, 0);
    EXPECT_EQ(context.movieCount, 0);
    EXPECT_TRUE(context.movieFiles.empty());
    EXPECT_TRUE(context.buttonFiles.empty());
}

TEST_F(ShellDescription, ANullFileShortensItsList) {
    LauncherMenu menu;
    menu.buttons = {"a.btn", "null", "c.btn"};
    WriteMenu(menu);
    ShellContext context;
    ASSERT_TRUE(Parse(&context));
    EXPECT_EQ(context.buttonCount, 3);
    EXPECT_EQ(context.buttonFiles, (std::vector<std::string>{"a.btn", "c.btn"}));
}

TEST_F(ShellDescription, LineBreaksCarryNoMeaning) {
    // Short values: the keys on one line fit the longest line.
    LauncherMenu menu;
    menu.name = "C";
    menu.background = "m.bmp";
    menu.movies = {"a", "b"};
    menu.buttons = {"p", "e"};
    const std::string oneLine = LauncherData_Text(LauncherData_MenuKeys(menu));
    std::string joined, split;
    for (char c : oneLine) joined += c == '\n' ? ' ' : c;
    for (char c : oneLine) split += c == ' ' ? '\n' : c;
    for (const std::string& text : {joined, split}) {
        WriteText(root / "shellmedia" / "menu.shl", text);
        ShellContext context;
        ASSERT_TRUE(Parse(&context)) << text;
        EXPECT_EQ(context.buttonFiles.size(), 2u);
    }
}

// Each key in its turn missing: the description is not read, and the
// launcher says it could not make its context.
class MissingKey : public ShellDescription, public testing::WithParamInterface<size_t> {};

TEST_P(MissingKey, EndsTheReading) {
    LauncherKeys keys = LauncherData_MenuKeys(FullMenu());
    keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(GetParam()));
    WriteMenu(keys);
    testing::internal::CaptureStderr();
    CQVLauncherApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Ambrel: Error creating context\n");
}

// The keys and pairs of the full menu, one left out at a time.
INSTANTIATE_TEST_SUITE_P(EachLine, MissingKey, testing::Range<size_t>(0, 14));

TEST_F(ShellDescription, FewerPairsThanTheCountMisalignTheKeys) {
    LauncherKeys keys = LauncherData_MenuKeys(FullMenu());
    keys[7].value = "3";  // num_movies with two pairs
    WriteMenu(keys);
    ShellContext context;
    EXPECT_FALSE(Parse(&context));
    keys[7].value = "-1";  // a negative count is a huge one
    WriteMenu(keys);
    ShellContext again;
    EXPECT_FALSE(Parse(&again));
}

TEST_F(ShellDescription, TheFolderAndFileAreFoundWhateverTheirCase) {
    WriteText(root / "ShellMedia" / "B.SHL", LauncherData_Text(LauncherData_MenuKeys(FullMenu())));
    LauncherMenu other;
    other.name = "first";
    WriteText(root / "ShellMedia" / "A.Shl", LauncherData_Text(LauncherData_MenuKeys(other)));
    WriteText(root / "ShellMedia" / "C.txt", "not a menu");
    ShellContext context;
    ASSERT_TRUE(Parse(&context));
    EXPECT_EQ(context.applicationName, "first");
}

TEST_F(ShellDescription, FailuresSayWhy) {
    std::string messages;
    ShellContext context;
    EXPECT_FALSE(Parse(&context, &messages));
    EXPECT_EQ(messages, "Ambrel: Error! Did not find .shl file. Exiting...\n");

    WriteText(root / "shellmedia" / "menu.shl", "app_name " + std::string(300, 'x') + "\n");
    EXPECT_FALSE(Parse(&context, &messages));
    EXPECT_EQ(messages, "Ambrel: Error! Could not parse file. Exiting...\n");

    testing::internal::CaptureStderr();
    CQVLauncherApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Ambrel: Error! Could not parse file. Exiting...\nAmbrel: Error creating context\n");
}

}  // namespace
