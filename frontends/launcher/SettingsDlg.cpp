#include "frontends/launcher/SettingsDlg.h"

#include "frontends/common/Registry.h"
#include "frontends/launcher/LauncherApp.h"
#include "platform/shell/ShellOpen.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

// A radio group and the setting it shows: a value checks the button of its
// own (the last button for any other value); a checked button gives its
// value, the button at getOther giving its value for any other.
struct RadioGroup {
    int32_t LauncherSettings::*field;
    int count;
    int ids[3];
    int32_t values[3];
    int getOther;
};

const RadioGroup kRadioGroups[] = {
    {&LauncherSettings::textureQuality, 3, {IDC_TEXTURE_DEFAULT, IDC_TEXTURE_16, IDC_TEXTURE_32}, {0, 16, 32}, 2},
    {&LauncherSettings::textureFiltering, 3, {IDC_FILTER_BILINEAR, IDC_FILTER_TRILINEAR, IDC_FILTER_ANISOTROPIC}, {0, 1, 2}, 1},
    {&LauncherSettings::antiAlias, 2, {IDC_AA_OFF, IDC_AA_4}, {0, 4}, 1},
    {&LauncherSettings::levelGeometry, 3, {IDC_GEOMETRY_LOW, IDC_GEOMETRY_MEDIUM, IDC_GEOMETRY_HIGH}, {0, 1, 2}, 1},
    {&LauncherSettings::levelTextures, 3, {IDC_TEXTURES_LOW, IDC_TEXTURES_MEDIUM, IDC_TEXTURES_HIGH}, {0, 1, 2}, 1},
    {&LauncherSettings::particleDetail, 3, {IDC_PARTICLES_LOW, IDC_PARTICLES_MEDIUM, IDC_PARTICLES_HIGH}, {0, 1, 2}, 1},
    {&LauncherSettings::soundEnabled, 2, {IDC_SOUND_DISABLED, IDC_SOUND_ENABLED}, {0, 1}, 1},
};

// The presets: texture quality, filtering, antialiasing, geometry, textures, particles, sound.
struct Preset {
    int32_t textureQuality, textureFiltering, antiAlias, levelGeometry, levelTextures, particleDetail, soundEnabled;
};
constexpr Preset kLowPreset = {0, 0, 0, 0, 0, 0, 1};
constexpr Preset kMediumPreset = {0, 1, 0, 1, 1, 1, 1};
constexpr Preset kHighPreset = {0, 2, 4, 2, 2, 2, 1};

void ApplyPreset(const Preset& preset, LauncherSettings* settings) {
    settings->textureQuality = preset.textureQuality;
    settings->textureFiltering = preset.textureFiltering;
    settings->antiAlias = preset.antiAlias;
    settings->levelGeometry = preset.levelGeometry;
    settings->levelTextures = preset.levelTextures;
    settings->particleDetail = preset.particleDetail;
    settings->soundEnabled = preset.soundEnabled;
}

// The sizes the game offers.
const struct {
    uint32_t width, height;
} kGameSizes[] = {{800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};

int32_t DepthOf(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: return 16;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 32;
    default: return 0;
    }
}

// The value of "%s" formats with at most this many characters, as the
// dialog's text buffers hold.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

}  // namespace

std::vector<ScreenMode> Settings_FilterScreenModes(const std::vector<PlatformDisplayMode>& modes) {
    std::vector<ScreenMode> list;
    for (const PlatformDisplayMode& mode : modes) {
        bool gameSize = false;
        for (const auto& size : kGameSizes) gameSize = gameSize || (mode.width == size.width && mode.height == size.height);
        if (!gameSize) continue;
        bool listed = false;
        for (const ScreenMode& entry : list) {
            listed = listed || (entry.width == mode.width && entry.height == mode.height && entry.format == mode.format);
        }
        const int32_t depth = DepthOf(mode.format);
        if (listed || depth == 0) continue;
        ScreenMode entry;
        entry.width = mode.width;
        entry.height = mode.height;
        entry.refreshRate = mode.refreshRate;
        entry.format = mode.format;
        entry.depth = depth;
        entry.text = Format("%d x %d x %d", static_cast<int>(mode.width), static_cast<int>(mode.height), depth);
        list.push_back(std::move(entry));
    }
    return list;
}

int Settings_FindScreenMode(const std::vector<ScreenMode>& modes, const LauncherSettings& settings) {
    for (size_t i = 0; i < modes.size(); ++i) {
        if (static_cast<int32_t>(modes[i].width) == settings.width &&
            static_cast<int32_t>(modes[i].height) == settings.height && modes[i].depth == settings.depth)
            return static_cast<int>(i);
    }
    return 0;
}

CQVSettingsDlg::CQVSettingsDlg(const LauncherSettings& settings, SettingsLanguage language)
    : m_Settings(settings), m_Language(language) {}

int CQVSettingsDlg::DoModal() {
    if (!OnInitDialog()) return IDCANCEL;
    return m_Dialog->RunModal([this](PlatformDialog&, int id, int notification) { OnCommand(id, notification); });
}

bool CQVSettingsDlg::OnInitDialog() {
    std::string error;
    m_Dialog = PlatformDialog::Create(Settings_DialogTemplate(m_Language), &error);
    if (!m_Dialog) return false;
    m_Dialog->ShowItem(IDC_SEND_MAIL, false);
    m_Dialog->ShowItem(IDC_SUPPORT, false);

    CQVRegistry registry;
    if (!registry.ReadString(kProductKey, "Support", &m_SupportAddress)) {
        m_SupportAvailable = false;
        m_Dialog->EnableItem(IDC_SEND_MAIL, false);
    }
    ShowAdapterInfo(0);

    if (!m_SystemInfo.EnumAdapters()) Launcher_Message("Failed to get adapter info.");
    for (int i = 0; i < m_SystemInfo.GetAdapterCount(); ++i) m_Dialog->ComboAdd(IDC_ADAPTER, m_SystemInfo.GetAdapterName(i));
    m_Dialog->ComboSetSelection(IDC_ADAPTER, m_Settings.adapter >= 0 && m_Settings.adapter < m_SystemInfo.GetAdapterCount()
                                                 ? m_Settings.adapter
                                                 : 0);

    // The modes are those of the adapter the list shows, which is the stored
    // one only when it exists.
    if (!FillScreenModes(std::max(0, m_Dialog->ComboGetSelection(IDC_ADAPTER)))) {
        Launcher_Message("Unable to enumerate screen modes. Exiting...");
        // Nothing could be chosen: the dialog closes as cancelled.
        m_Dialog->EndDialog(IDCANCEL);
        return true;
    }
    for (const ScreenMode& mode : m_ScreenModes) m_Dialog->ComboAdd(IDC_SCREEN_MODE, mode.text);
    m_Dialog->ComboSetSelection(IDC_SCREEN_MODE, Settings_FindScreenMode(m_ScreenModes, m_Settings));
    SetRadioButtons(m_Settings);
    return true;
}

bool CQVSettingsDlg::FillScreenModes(int adapter) {
    m_ScreenModes.clear();
    m_Dialog->ComboReset(IDC_SCREEN_MODE);
    std::vector<PlatformDisplayMode> modes;
    // The adapter's modes are those of the display it drives.
    if (adapter != 0 || !Platform_GetDisplayModes(0, &modes)) return false;
    m_ScreenModes = Settings_FilterScreenModes(modes);
    return true;
}

void CQVSettingsDlg::OnCommand(int id, int notification) {
    switch (id) {
    case IDOK: OnOK(); break;
    case IDCANCEL: m_Dialog->EndDialog(IDCANCEL); break;
    case IDC_PRESET_LOW: OnLow(); break;
    case IDC_PRESET_MEDIUM: OnMedium(); break;
    case IDC_PRESET_HIGH: OnHigh(); break;
    case IDC_SEND_MAIL: OnSendMail(); break;
    case IDC_ADAPTER:
        if (notification == CBN_SELCHANGE) OnSelchangeAdapter();
        break;
    default: break;
    }
}

void CQVSettingsDlg::SetRadioButtons(const LauncherSettings& settings) {
    for (const RadioGroup& group : kRadioGroups) {
        int checked = group.ids[group.count - 1];
        for (int i = 0; i < group.count - 1; ++i) {
            if (settings.*group.field == group.values[i]) {
                checked = group.ids[i];
                break;
            }
        }
        m_Dialog->CheckRadioButton(group.ids[0], group.ids[group.count - 1], checked);
    }
}

void CQVSettingsDlg::GetRadioButtons(LauncherSettings* settings) const {
    for (const RadioGroup& group : kRadioGroups) {
        const int checked = m_Dialog->GetCheckedRadioButton(group.ids[0], group.ids[group.count - 1]);
        int32_t value = group.values[group.getOther];
        for (int i = 0; i < group.count; ++i) {
            if (i != group.getOther && checked == group.ids[i]) value = group.values[i];
        }
        settings->*group.field = value;
    }
}

void CQVSettingsDlg::OnOK() {
    GetRadioButtons(&m_Settings);
    // A list without a selection keeps what was stored.
    const int adapter = m_Dialog->ComboGetSelection(IDC_ADAPTER);
    if (adapter >= 0) m_Settings.adapter = adapter;
    const int mode = m_Dialog->ComboGetSelection(IDC_SCREEN_MODE);
    if (mode >= 0 && static_cast<size_t>(mode) < m_ScreenModes.size()) {
        m_Settings.width = static_cast<int32_t>(m_ScreenModes[static_cast<size_t>(mode)].width);
        m_Settings.height = static_cast<int32_t>(m_ScreenModes[static_cast<size_t>(mode)].height);
        m_Settings.depth = m_ScreenModes[static_cast<size_t>(mode)].depth;
    }
    m_Dialog->EndDialog(IDOK);
}

void CQVSettingsDlg::OnLow() {
    ApplyPreset(kLowPreset, &m_Settings);
    SetRadioButtons(m_Settings);
}

void CQVSettingsDlg::OnMedium() {
    ApplyPreset(kMediumPreset, &m_Settings);
    SetRadioButtons(m_Settings);
}

void CQVSettingsDlg::OnHigh() {
    ApplyPreset(kHighPreset, &m_Settings);
    SetRadioButtons(m_Settings);
}

void CQVSettingsDlg::OnSelchangeAdapter() {
    if (m_Dialog->ComboGetSelection(IDC_ADAPTER) < 0) m_Dialog->ComboSetSelection(IDC_ADAPTER, 0);
    ShowAdapterInfo(std::max(0, m_Dialog->ComboGetSelection(IDC_ADAPTER)));
}

void CQVSettingsDlg::ShowAdapterInfo(int adapter) {
    m_SystemInfo.Collect(adapter);
    const std::string& driverVersion = m_SystemInfo.GetText(CQVSystemInfo::TEXT_DRIVER_VERSION);
    m_Dialog->SetItemText(IDC_INFO_SYSTEM, m_SystemInfo.GetText(CQVSystemInfo::TEXT_SYSTEM));
    m_Dialog->SetItemText(IDC_INFO_ADAPTER, m_SystemInfo.GetText(CQVSystemInfo::TEXT_ADAPTER));
    m_Dialog->SetItemText(IDC_INFO_DRIVER,
                          Format("%s: %s  %s: %s", Settings_String(m_Language, 2),
                                 m_SystemInfo.GetText(CQVSystemInfo::TEXT_DRIVER).c_str(), Settings_String(m_Language, 3),
                                 driverVersion == "0.0.0.0" ? "Unavailable" : driverVersion.c_str()));
    m_Dialog->SetItemText(IDC_INFO_VERSION, Format("OpenGL %.1f %s", static_cast<double>(m_SystemInfo.GetVersionNumber()),
                                                   Settings_String(m_Language, 4)));
    m_Dialog->SetItemText(IDC_INFO_MEMORY, Format("%s %d MB RAM", Settings_String(m_Language, 5),
                                                  static_cast<int>(m_SystemInfo.GetTotalPhysicalMemory() >> 20)));
}

void CQVSettingsDlg::OnSendMail() {
    std::string mail = "mailto:" + m_SupportAddress + "?subject=Corvane&body=%0D%0A";
    for (int id : {IDC_INFO_SYSTEM, IDC_INFO_ADAPTER, IDC_INFO_DRIVER, IDC_INFO_VERSION, IDC_INFO_MEMORY})
        mail += m_Dialog->GetItemText(id) + "%0D%0A";
    mail += "%0D%0A";
    mail += std::string("--[") + Settings_String(m_Language, 1) + "]----------------------------------------%0D%0A%0D%0A";
    Platform_ShellOpen(mail, std::string(), std::string());
}
