// The settings dialog's layout and its texts in the five languages.

#include "frontends/launcher/SettingsDlg.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Caption {
    const char* text[LANGUAGE_COUNT];  // English, German, French, Russian, Spanish
};

struct ControlRow {
    int id;
    DialogControlKind kind;
    int x, y, width, height;
    bool groupStart;
    Caption caption;
};

const Caption kDialogCaption = {{"Settings", "Einstellungen", "Paramètres", "Настройки", "Configuración"}};
constexpr int kDialogWidth = 422;
constexpr int kFrenchDialogWidth = 450;
constexpr int kDialogHeight = 246;

const Caption kLow = {{"Low", "Niedrig", "Basse", "низкий", "Baja"}};
const Caption kMedium = {{"Medium", "Mittel", "Moyenne", "средний", "Media"}};
const Caption kHigh = {{"High", "Hoch", "Élevée", "высокий", "Alta"}};
const Caption kNone = {{"", "", "", "", ""}};

const ControlRow kControls[] = {
    {0, DIALOG_TEXT, 7, 7, 200, 9, false, {{"Video adapter:", "Video-Adapter:", "Adaptateur vidéo:", "Видеокарта:", "Tarjeta gráfica:"}}},
    {IDC_ADAPTER, DIALOG_COMBO, 7, 17, 200, 12, false, kNone},
    {0, DIALOG_TEXT, 215, 7, 200, 9, false, {{"Screen mode:", "AUflösung:", "Mode écran:", "Режим экрана:", "Modo de pantalla:"}}},
    {IDC_SCREEN_MODE, DIALOG_COMBO, 215, 17, 200, 12, false, kNone},
    {0, DIALOG_GROUP_BOX, 7, 36, 408, 124, false, {{"Settings:", "Einstellungen:", "Paramètres:", "Настройки:", "Configuración"}}},

    {0, DIALOG_TEXT, 14, 48, 95, 9, false, {{"Texture quality:", "Textur-Qualität:", "Qualité des textures:", "Качество текстур:", "Texturas:"}}},
    {IDC_TEXTURE_DEFAULT, DIALOG_RADIO, 14, 58, 95, 10, true, {{"Default", "Default", "Par défaut", "по умолчанию", "Por defct."}}},
    {IDC_TEXTURE_16, DIALOG_RADIO, 14, 70, 95, 10, false, {{"16-bit", "16-bit", "16 bits", "16-бит", "16 bits"}}},
    {IDC_TEXTURE_32, DIALOG_RADIO, 14, 82, 95, 10, false, {{"32-bit", "32-bit", "32 bits", "32-бит", "32 bits"}}},

    {0, DIALOG_TEXT, 114, 48, 95, 9, false, {{"Texture filtering:", "Textur-Filtering:", "Filtrage des textures:", "Фильтрация текстур:", "Filtro texturas:"}}},
    {IDC_FILTER_BILINEAR, DIALOG_RADIO, 114, 58, 95, 10, true, {{"Bilinear", "Bilinear", "Bilinéaire", "билинейная", "Bilineal"}}},
    {IDC_FILTER_TRILINEAR, DIALOG_RADIO, 114, 70, 95, 10, false, {{"Trilinear", "Trilinear", "Trilinéaire", "трилинейная", "Trilineal"}}},
    {IDC_FILTER_ANISOTROPIC, DIALOG_RADIO, 114, 82, 95, 10, false, {{"Anisotropic", "Anisotropisch", "Anisotropique", "анизотропная", "Anisotróp."}}},

    {0, DIALOG_TEXT, 214, 48, 95, 9, false, {{"Antialiasing:", "Antialiasing:", "Anti-crénelage:", "Антиалиазинг:", "Antialiasing:"}}},
    {IDC_AA_OFF, DIALOG_RADIO, 214, 58, 95, 10, true, {{"Off", "Aus", "Off", "выкл.", "Desact."}}},
    {IDC_AA_4, DIALOG_RADIO, 214, 70, 95, 10, false, {{"4 samples", "4 samples", "4 échantillons", "4 прим.", "4 muestras"}}},

    {0, DIALOG_TEXT, 314, 48, 95, 9, false, {{"Sound:", "Sound:", "Son:", "Звук:", "Sonido:"}}},
    {IDC_SOUND_DISABLED, DIALOG_RADIO, 314, 58, 95, 10, true, {{"Disabled", "Nicht aktiviert", "Désactivé", "выкл", "Desact."}}},
    {IDC_SOUND_ENABLED, DIALOG_RADIO, 314, 70, 95, 10, false, {{"Enabled", "Aktiviert", "Activé", "вкл.", "Activado"}}},

    {0, DIALOG_TEXT, 14, 100, 95, 9, false, {{"Level geometry:", "Level-Geometrie:", "Géométrie des niveaux:", "Уровень геометрии:", "Calidad geometrías:"}}},
    {IDC_GEOMETRY_LOW, DIALOG_RADIO, 14, 110, 95, 10, true, kLow},
    {IDC_GEOMETRY_MEDIUM, DIALOG_RADIO, 14, 122, 95, 10, false, kMedium},
    {IDC_GEOMETRY_HIGH, DIALOG_RADIO, 14, 134, 95, 10, false, kHigh},

    {0, DIALOG_TEXT, 114, 100, 95, 9, false, {{"Level textures:", "Level-Texturen:", "Textures des niveaux:", "Уровень текстур:", "Calidad texturas:"}}},
    {IDC_TEXTURES_LOW, DIALOG_RADIO, 114, 110, 95, 10, true, kLow},
    {IDC_TEXTURES_MEDIUM, DIALOG_RADIO, 114, 122, 95, 10, false, kMedium},
    {IDC_TEXTURES_HIGH, DIALOG_RADIO, 114, 134, 95, 10, false, kHigh},

    {0, DIALOG_TEXT, 214, 100, 95, 9, false, {{"Particle detail:", "Partikel-Detail:", "Détails des particules:", "Детализация частиц:", "Calidad detalles:"}}},
    {IDC_PARTICLES_LOW, DIALOG_RADIO, 214, 110, 95, 10, true, {{"Low", "Niedrig", "Bas", "низкая", "Baja"}}},
    {IDC_PARTICLES_MEDIUM, DIALOG_RADIO, 214, 122, 95, 10, false, {{"Medium", "Mittel", "Moyens", "средняя", "Media"}}},
    {IDC_PARTICLES_HIGH, DIALOG_RADIO, 214, 134, 95, 10, false, {{"High", "Hoch", "Élevés", "высокая", "Alta"}}},

    {0, DIALOG_TEXT, 314, 100, 95, 17, false, {{"Reset all settings to:", "Alle Einstellungen zurücksetzen auf:", "Régler tous les paramètres sur:", "Все настройки:", "Configuración predeterminada:"}}},
    {IDC_PRESET_LOW, DIALOG_BUTTON, 314, 118, 60, 12, false, {{"Low", "Niedrig", "Bas", "низкие", "Baja"}}},
    {IDC_PRESET_MEDIUM, DIALOG_BUTTON, 314, 131, 60, 12, false, {{"Medium", "Mittel", "Moyen", "средние", "Media"}}},
    {IDC_PRESET_HIGH, DIALOG_BUTTON, 314, 144, 60, 12, false, {{"High", "Hoch", "Élevé", "высокие", "Alta"}}},

    {IDC_INFO_SYSTEM, DIALOG_TEXT, 7, 165, 408, 9, false, kNone},
    {IDC_INFO_ADAPTER, DIALOG_TEXT, 7, 175, 408, 9, false, kNone},
    {IDC_INFO_DRIVER, DIALOG_TEXT, 7, 185, 408, 9, false, kNone},
    {IDC_INFO_VERSION, DIALOG_TEXT, 7, 195, 408, 9, false, kNone},
    {IDC_INFO_MEMORY, DIALOG_TEXT, 7, 205, 408, 9, false, kNone},

    {IDC_SUPPORT, DIALOG_GROUP_BOX, 7, 216, 200, 26, false, {{"Support:", "Support:", "Assistance:", "Поддержка:", "Servicio técnico:"}}},
    {IDC_SEND_MAIL, DIALOG_BUTTON, 14, 226, 90, 12, false, {{"Send Mail...", "Email senden...", "envoyer un e-mail", "Письмо...", "Enviar e-mail..."}}},

    {IDOK, DIALOG_BUTTON, 305, 226, 50, 14, false, {{"OK", "OK", "OK", "ОК", "Aceptar"}}},
    {IDCANCEL, DIALOG_BUTTON, 360, 226, 55, 14, false, {{"Cancel", "Abbrechen", "Annuler", "Отмена", "Cancelar"}}},
};

const Caption kStrings[5] = {
    {{"Enter problem description below", "Enter problem description below",
      "Saisir la description du problème ci-dessous", "Введите описание проблемы",
      "Escribe aquí la descripción del problema"}},
    {{"Driver", "Treiber", "Pilote", "Драйвер", "Controlador"}},
    {{"Version", "Version", "Version", "Установлена версия", "Versión"}},
    {{"or better installed", "oder höher", "ou version supérieure installé(e)", "или новее", "o sup. instalado"}},
    {{"Physical memory", "Physikalischer Speicher", "Mémoire physique", "Физическая память", "Memoria"}},
};

}  // namespace

SettingsLanguage Settings_UserLanguage() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            locale = value;
            break;
        }
    }
    if (locale == nullptr) return LANGUAGE_ENGLISH;
    const struct {
        const char* prefix;
        SettingsLanguage language;
    } kLocales[] = {{"de", LANGUAGE_GERMAN}, {"fr", LANGUAGE_FRENCH}, {"ru", LANGUAGE_RUSSIAN}, {"es", LANGUAGE_SPANISH}};
    for (const auto& entry : kLocales) {
        if (std::strncmp(locale, entry.prefix, 2) == 0) return entry.language;
    }
    return LANGUAGE_ENGLISH;
}

DialogTemplate Settings_DialogTemplate(SettingsLanguage language) {
    DialogTemplate layout;
    layout.caption = kDialogCaption.text[language];
    layout.width = language == LANGUAGE_FRENCH ? kFrenchDialogWidth : kDialogWidth;
    layout.height = kDialogHeight;
    for (const ControlRow& row : kControls) {
        layout.controls.push_back(
            DialogControl{row.id, row.kind, row.x, row.y, row.width, row.height, row.caption.text[language], row.groupStart});
    }
    return layout;
}

const char* Settings_String(SettingsLanguage language, int number) {
    if (number < 1 || number > 5) return "";
    return kStrings[number - 1].text[language];
}
