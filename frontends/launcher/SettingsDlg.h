#pragma once
// The "Settings" dialog: the game's start options as radio groups, the
// adapter and screen mode as lists, three presets, and what the machine
// is. It works on a copy of the caller's settings, which the caller takes
// back after OK.

#include "frontends/launcher/LauncherSettings.h"
#include "frontends/launcher/SystemInfo.h"
#include "platform/graphics/D3D8Types.h"
#include "platform/shell/Dialog.h"
#include "platform/shell/SystemInfo.h"

#include <memory>
#include <string>
#include <vector>

// Control ids of the dialog.
enum : int {
    IDC_TEXTURE_DEFAULT = 995, IDC_TEXTURE_16 = 996, IDC_TEXTURE_32 = 997,
    IDC_FILTER_BILINEAR = 1001, IDC_FILTER_TRILINEAR = 1002, IDC_FILTER_ANISOTROPIC = 1003,
    IDC_AA_OFF = 1006, IDC_AA_4 = 1007,
    IDC_SOUND_DISABLED = 1008, IDC_SOUND_ENABLED = 1009,
    IDC_PRESET_LOW = 1010, IDC_PRESET_MEDIUM = 1011, IDC_PRESET_HIGH = 1012,
    IDC_GEOMETRY_LOW = 1014, IDC_GEOMETRY_MEDIUM = 1015, IDC_GEOMETRY_HIGH = 1021,
    IDC_TEXTURES_LOW = 1022, IDC_TEXTURES_MEDIUM = 1023, IDC_TEXTURES_HIGH = 1024,
    IDC_PARTICLES_LOW = 1025, IDC_PARTICLES_MEDIUM = 1026, IDC_PARTICLES_HIGH = 1027,
    IDC_INFO_SYSTEM = 1016, IDC_INFO_ADAPTER = 1017, IDC_INFO_DRIVER = 1018, IDC_INFO_VERSION = 1019,
    IDC_INFO_MEMORY = 1031,
    IDC_SEND_MAIL = 1020,
    IDC_ADAPTER = 1028, IDC_SCREEN_MODE = 1029,
    IDC_SUPPORT = 1035,
};

// The languages the dialog is written in.
enum SettingsLanguage { LANGUAGE_ENGLISH, LANGUAGE_GERMAN, LANGUAGE_FRENCH, LANGUAGE_RUSSIAN, LANGUAGE_SPANISH, LANGUAGE_COUNT };

// The language of the user's locale (LC_ALL, LC_MESSAGES, LANG); English
// for any other.
SettingsLanguage Settings_UserLanguage();
// The dialog's layout and captions in a language.
DialogTemplate Settings_DialogTemplate(SettingsLanguage language);
// Strings 1 to 5 of the dialog's string table: the mail's note, "Driver",
// "Version", "or better installed", "Physical memory".
const char* Settings_String(SettingsLanguage language, int number);

// One entry of the screen-mode list.
struct ScreenMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    int32_t depth = 0;   // 16 or 32
    std::string text;    // "%d x %d x %d"
};
// The modes the game runs in, from a display's modes: the four sizes only,
// each size and format once, formats of 16 and 32 bits.
std::vector<ScreenMode> Settings_FilterScreenModes(const std::vector<PlatformDisplayMode>& modes);
// The first mode of the stored width, height and depth; else entry 0.
int Settings_FindScreenMode(const std::vector<ScreenMode>& modes, const LauncherSettings& settings);

class CQVSettingsDlg {
public:
    explicit CQVSettingsDlg(const LauncherSettings& settings, SettingsLanguage language = Settings_UserLanguage());

    // Runs the dialog; IDOK or IDCANCEL (also when it cannot be shown).
    int DoModal();
    const LauncherSettings& GetSettings() const { return m_Settings; }
    PlatformDialog* GetDialog() const { return m_Dialog.get(); }
    const std::vector<ScreenMode>& GetScreenModes() const { return m_ScreenModes; }

    // The dialog's handlers, run by DoModal.
    bool OnInitDialog();
    void OnCommand(int id, int notification);
    void OnOK();
    void OnLow();
    void OnMedium();
    void OnHigh();
    void OnSelchangeAdapter();
    void OnSendMail();
    void SetRadioButtons(const LauncherSettings& settings);
    void GetRadioButtons(LauncherSettings* settings) const;
    void ShowAdapterInfo(int adapter);
    bool FillScreenModes(int adapter);

private:
    LauncherSettings m_Settings;
    SettingsLanguage m_Language;
    std::unique_ptr<PlatformDialog> m_Dialog;
    CQVSystemInfo m_SystemInfo;
    bool m_SupportAvailable = true;
    std::string m_SupportAddress;
    std::vector<ScreenMode> m_ScreenModes;
};
