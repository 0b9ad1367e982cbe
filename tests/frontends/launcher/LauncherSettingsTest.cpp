#include "frontends/common/Registry.h"
#include "frontends/launcher/LauncherSettings.h"
#include "frontends/launcher/SettingsDlg.h"
#include "tests/frontends/launcher/LauncherFixture.h"

namespace {

class Settings : public FrontendTest {
protected:
    void Install() { ASSERT_TRUE(LauncherData_Install("Corvane", root.string(), nullptr)); }
    static std::string Stored(const char* name) {
        CQVRegistry registry;
        std::string text = "<none>";
        registry.ReadString("Corvane", name, &text);
        return text;
    }
};

TEST_F(Settings, TheDefaultsMakeTheGamesCommandLine) {
    EXPECT_EQ(LauncherSettings_CommandLine(LauncherSettings{}),
              "-adapter=0 -tq=0 -tf=0 -aa=0 -lg=1 -lt=1 -pd=1 -s=1 -w=800 -h=600 -d=32");
    LauncherSettings extreme;
    for (const LauncherSettingRow& row : kLauncherSettingRows) extreme.*row.field = INT32_MIN;
    EXPECT_EQ(LauncherSettings_CommandLine(extreme).size(), 11 * 11 + 55u);
}

TEST_F(Settings, WithoutTheKeyNothingIsReadOrWritten) {
    LauncherSettings settings;
    settings.width = 1024;
    LauncherSettings_Save(settings);
    LauncherSettings_Load(&settings);
    EXPECT_EQ(settings.width, 1024);
    CQVRegistry registry;
    EXPECT_FALSE(registry.KeyExists("Corvane"));
}

TEST_F(Settings, StoredValuesRoundTripAndUnreadableOnesKeepTheirField) {
    Install();
    LauncherSettings settings;
    settings.adapter = 1;
    settings.textureQuality = 16;
    settings.width = 1280;
    settings.height = 960;
    settings.depth = 16;
    LauncherSettings_Save(settings);
    EXPECT_EQ(Stored("TextureQuality"), "16");
    EXPECT_EQ(Stored("Depth"), "16");
    CQVRegistry registry;
    ASSERT_TRUE(registry.WriteString("Corvane", "ParticleDetail", "2x"));
    ASSERT_TRUE(registry.WriteString("Corvane", "SoundEnabled", "off"));
    ASSERT_TRUE(registry.WriteString("Corvane", "LevelGeometry", std::string(600, '1').c_str()));
    LauncherSettings loaded;
    LauncherSettings_Load(&loaded);
    EXPECT_EQ(LauncherSettings_CommandLine(loaded),
              "-adapter=1 -tq=16 -tf=0 -aa=0 -lg=1 -lt=1 -pd=2 -s=0 -w=1280 -h=960 -d=16");
}

TEST(ScreenModes, OnlyTheGamesSizesInSixteenAndThirtyTwoBitsEachOnce) {
    const std::vector<PlatformDisplayMode> modes = {
        {1920, 1080, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8},  {800, 600, 75, D3DFMT_X8R8G8B8},
        {1280, 960, 60, D3DFMT_R5G6B5},    {1280, 960, 60, D3DFMT_X8R8G8B8}, {1152, 864, 60, D3DFMT_X8R8G8B8},
        {1024, 768, 60, D3DFMT_A8R8G8B8},  {1024, 768, 60, D3DFMT_X8R8G8B8}, {1600, 1200, 60, D3DFMT_UNKNOWN},
        {1600, 1200, 60, D3DFMT_X1R5G5B5},
    };
    std::vector<std::string> texts;
    for (const ScreenMode& mode : Settings_FilterScreenModes(modes)) texts.push_back(mode.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"800 x 600 x 32", "1280 x 960 x 16", "1280 x 960 x 32", "1024 x 768 x 32",
                                               "1024 x 768 x 32", "1600 x 1200 x 16"}));
    const std::vector<ScreenMode> list = Settings_FilterScreenModes(modes);
    LauncherSettings stored;
    stored.width = 1280;
    stored.height = 960;
    stored.depth = 16;
    EXPECT_EQ(Settings_FindScreenMode(list, stored), 1);
    stored.width = 1152;
    stored.height = 864;
    EXPECT_EQ(Settings_FindScreenMode(list, stored), 0);
}

TEST(SettingsTexts, TheUsersLanguagePicksTheDialogsTexts) {
    const char* saved = std::getenv("LANG");
    const std::string keep = saved != nullptr ? saved : "";
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    const struct {
        const char* lang;
        SettingsLanguage language;
        const char* caption;
        const char* driver;
    } cases[] = {{"de_DE.UTF-8", LANGUAGE_GERMAN, "Einstellungen", "Treiber"},
                 {"fr_FR.UTF-8", LANGUAGE_FRENCH, "Paramètres", "Pilote"},
                 {"ru_RU.UTF-8", LANGUAGE_RUSSIAN, "Настройки", "Драйвер"},
                 {"es_ES", LANGUAGE_SPANISH, "Configuración", "Controlador"},
                 {"sv_SE.UTF-8", LANGUAGE_ENGLISH, "Settings", "Driver"},
                 {"C", LANGUAGE_ENGLISH, "Settings", "Driver"}};
    for (const auto& c : cases) {
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(Settings_UserLanguage(), c.language) << c.lang;
        EXPECT_EQ(Settings_DialogTemplate(c.language).caption, c.caption);
        EXPECT_STREQ(Settings_String(c.language, 2), c.driver);
    }
    EXPECT_EQ(Settings_DialogTemplate(LANGUAGE_FRENCH).width, 450);
    EXPECT_EQ(Settings_DialogTemplate(LANGUAGE_GERMAN).width, 422);
    if (saved != nullptr) setenv("LANG", keep.c_str(), 1);
}

// The dialog on its window, its handlers called as its buttons would.
class SettingsDialog : public Settings {
protected:
    std::unique_ptr<CQVSettingsDlg> Open(const LauncherSettings& settings) {
        auto dialog = std::make_unique<CQVSettingsDlg>(settings, LANGUAGE_ENGLISH);
        EXPECT_TRUE(dialog->OnInitDialog());
        return dialog;
    }
};

struct PresetCase {
    const char* name;
    int button;
    const char* commandLine;
};

class Presets : public SettingsDialog, public testing::WithParamInterface<PresetCase> {};

TEST_P(Presets, SetTheRadioGroupsThatOkTakes) {
    LauncherSettings stored;
    stored.textureQuality = 32;
    stored.width = 1024;
    stored.height = 768;
    auto dialog = Open(stored);
    dialog->OnCommand(GetParam().button, BN_CLICKED);
    dialog->OnCommand(IDOK, BN_CLICKED);
    EXPECT_EQ(LauncherSettings_CommandLine(dialog->GetSettings()), GetParam().commandLine);
}

// Adapter and screen mode stay as they were; the offscreen display lists
// no mode of the game's sizes, so the stored size stays too.
INSTANTIATE_TEST_SUITE_P(
    Buttons, Presets,
    testing::Values(PresetCase{"Low", IDC_PRESET_LOW, "-adapter=0 -tq=0 -tf=0 -aa=0 -lg=0 -lt=0 -pd=0 -s=1 -w=1024 -h=768 -d=32"},
                    PresetCase{"Medium", IDC_PRESET_MEDIUM, "-adapter=0 -tq=0 -tf=1 -aa=0 -lg=1 -lt=1 -pd=1 -s=1 -w=1024 -h=768 -d=32"},
                    PresetCase{"High", IDC_PRESET_HIGH, "-adapter=0 -tq=0 -tf=2 -aa=4 -lg=2 -lt=2 -pd=2 -s=1 -w=1024 -h=768 -d=32"}),
    [](const testing::TestParamInfo<PresetCase>& info) { return info.param.name; });

TEST_F(SettingsDialog, RadioGroupsMapValuesBothWays) {
    LauncherSettings odd;
    odd.textureQuality = 7;    // any other value checks the last button
    odd.textureFiltering = 9;
    odd.antiAlias = 2;
    odd.levelGeometry = 0;
    odd.soundEnabled = 5;
    auto dialog = Open(odd);
    PlatformDialog& controls = *dialog->GetDialog();
    EXPECT_EQ(controls.GetCheckedRadioButton(IDC_TEXTURE_DEFAULT, IDC_TEXTURE_32), IDC_TEXTURE_32);
    EXPECT_EQ(controls.GetCheckedRadioButton(IDC_FILTER_BILINEAR, IDC_FILTER_ANISOTROPIC), IDC_FILTER_ANISOTROPIC);
    EXPECT_EQ(controls.GetCheckedRadioButton(IDC_AA_OFF, IDC_AA_4), IDC_AA_4);
    EXPECT_EQ(controls.GetCheckedRadioButton(IDC_GEOMETRY_LOW, IDC_GEOMETRY_HIGH), IDC_GEOMETRY_LOW);
    EXPECT_EQ(controls.GetCheckedRadioButton(IDC_SOUND_DISABLED, IDC_SOUND_ENABLED), IDC_SOUND_ENABLED);
    LauncherSettings read;
    dialog->GetRadioButtons(&read);
    EXPECT_EQ(read.textureQuality, 32);
    EXPECT_EQ(read.textureFiltering, 2);
    EXPECT_EQ(read.antiAlias, 4);
    EXPECT_EQ(read.levelGeometry, 0);
    EXPECT_EQ(read.soundEnabled, 1);
    // No button checked reads as the group's middle (or last) value.
    controls.CheckRadioButton(IDC_FILTER_BILINEAR, IDC_FILTER_ANISOTROPIC, 0);
    controls.CheckRadioButton(IDC_TEXTURE_DEFAULT, IDC_TEXTURE_32, 0);
    dialog->GetRadioButtons(&read);
    EXPECT_EQ(read.textureFiltering, 1);
    EXPECT_EQ(read.textureQuality, 32);
}

// A stored adapter past the list: the list shows the first adapter, and
// the modes are that adapter's (the dialog opens without a message).
TEST_F(SettingsDialog, AStoredAdapterPastTheListUsesTheAdapterShown) {
    LauncherSettings stored;
    stored.adapter = 5;
    testing::internal::CaptureStderr();
    auto dialog = Open(stored);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages.find("Unable to enumerate screen modes"), std::string::npos) << messages;
    PlatformDialog& controls = *dialog->GetDialog();
    EXPECT_EQ(controls.ComboGetCount(IDC_ADAPTER), 1);
    EXPECT_EQ(controls.ComboGetSelection(IDC_ADAPTER), 0);
    dialog->OnCommand(IDOK, BN_CLICKED);
    EXPECT_EQ(dialog->GetSettings().adapter, 0);
}

TEST_F(SettingsDialog, TheSupportButtonIsHiddenAndTheInformationShown) {
    auto dialog = Open(LauncherSettings{});
    PlatformDialog& controls = *dialog->GetDialog();
    EXPECT_FALSE(controls.IsItemVisible(IDC_SEND_MAIL));
    EXPECT_FALSE(controls.IsItemVisible(IDC_SUPPORT));
    EXPECT_FALSE(controls.IsItemEnabled(IDC_SEND_MAIL));  // no key, no address
    EXPECT_NE(controls.GetItemText(IDC_INFO_SYSTEM).find("Linux"), std::string::npos);
    EXPECT_EQ(controls.GetItemText(IDC_INFO_ADAPTER), controls.ComboGetText(IDC_ADAPTER, 0));
    EXPECT_EQ(controls.GetItemText(IDC_INFO_DRIVER).rfind("Driver: ", 0), 0u);
    EXPECT_EQ(controls.GetItemText(IDC_INFO_VERSION).rfind("OpenGL ", 0), 0u);
    EXPECT_NE(controls.GetItemText(IDC_INFO_VERSION).find(" or better installed"), std::string::npos);
    EXPECT_EQ(controls.GetItemText(IDC_INFO_MEMORY).rfind("Physical memory ", 0), 0u);
    EXPECT_NE(controls.GetItemText(IDC_INFO_MEMORY).find(" MB RAM"), std::string::npos);
}

}  // namespace
