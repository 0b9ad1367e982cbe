#include "tools/launcherdata/LauncherData.h"

#include "platform/font/FontFace.h"
#include "platform/shell/SettingsStore.h"
#include "tools/content/IconWriter.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MovieWriter.h"
#include "tools/content/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int kMenuWidth = 640;
constexpr int kMenuHeight = 480;
constexpr int kButtonWidth = 220;
constexpr int kButtonHeight = 44;
constexpr int kBubbleWidth = 420;  // the bubble reaches right of the button with its hint
constexpr int kButtonLeft = 210;
constexpr const char* kProductRoot = "SOFTWARE\\Marn QV\\";

// A picture being drawn: ARGB, rows top first.
struct Picture {
    int width, height;
    std::vector<uint32_t> pixels;
    Picture(int w, int h, uint32_t argb) : width(w), height(h), pixels(static_cast<size_t>(w) * h, argb) {}
    void Fill(int x, int y, int w, int h, uint32_t argb) {
        for (int row = std::max(y, 0); row < std::min(y + h, height); ++row) {
            for (int column = std::max(x, 0); column < std::min(x + w, width); ++column)
                pixels[static_cast<size_t>(row) * width + column] = argb;
        }
    }
};

uint32_t Mix(uint32_t a, uint32_t b, double t) {
    auto channel = [&](int shift) {
        const double v = ((a >> shift) & 0xFF) * (1.0 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// Text in a colour, its ink blended over the picture; nothing when no face
// can be opened (the pictures are then plain).
void DrawText(Picture& picture, const std::string& text, int pixelHeight, int x, int y, uint32_t rgb, bool bold) {
    PlatformFontDesc desc;
    desc.faceName = "Arial";
    desc.pixelHeight = pixelHeight;
    desc.bold = bold;
    desc.antialiased = true;
    std::string error;
    std::unique_ptr<PlatformFont> font = PlatformFont::Create(desc, &error);
    if (!font) return;
    std::vector<uint32_t> ink(picture.pixels.size(), 0);
    int pen = x;
    for (char c : text) {
        const auto character = static_cast<uint8_t>(c);
        font->DrawCharacter(character, pen, y, ink.data(), picture.width, picture.height, picture.width);
        pen += font->GetGlyphMetrics(character).advance;
    }
    for (size_t i = 0; i < ink.size(); ++i) {
        const double coverage = static_cast<double>(ink[i] & 0xFF) / 255.0;
        if (coverage > 0.0) picture.pixels[i] = Mix(picture.pixels[i], rgb, coverage);
    }
}

// Width of a text, for centring.
int TextWidth(const std::string& text, int pixelHeight, bool bold) {
    PlatformFontDesc desc;
    desc.faceName = "Arial";
    desc.pixelHeight = pixelHeight;
    desc.bold = bold;
    std::string error;
    std::unique_ptr<PlatformFont> font = PlatformFont::Create(desc, &error);
    if (!font) return 0;
    int width = 0;
    for (char c : text) width += font->GetGlyphMetrics(static_cast<uint8_t>(c)).advance;
    return width;
}

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

bool WriteBmp(const std::filesystem::path& path, const Picture& picture) {
    BmpWriteOptions options;
    options.bits = 24;
    return ImageWriter_Save(path.string(), ImageWriter_Bmp(picture.pixels.data(), static_cast<uint32_t>(picture.width),
                                                           static_cast<uint32_t>(picture.height), options));
}

Picture Background() {
    Picture picture(kMenuWidth, kMenuHeight, 0xFF000000u);
    for (int y = 0; y < kMenuHeight; ++y) {
        const uint32_t colour = Mix(0xFF102040u, 0xFF020308u, static_cast<double>(y) / kMenuHeight);
        picture.Fill(0, y, kMenuWidth, 1, colour);
    }
    picture.Fill(0, 150, kMenuWidth, 2, 0xFFE0B040u);
    const std::string title = "CORVANE";
    DrawText(picture, title, 72, (kMenuWidth - TextWidth(title, 72, true)) / 2, 50, 0xFFE0B040u, true);
    return picture;
}

// The part of a picture at (x, y).
Picture Crop(const Picture& source, int x, int y, int width, int height) {
    Picture part(width, height, 0xFF000000u);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column)
            part.pixels[static_cast<size_t>(row) * width + column] =
                source.pixels[static_cast<size_t>(y + row) * source.width + x + column];
    }
    return part;
}

// The three pictures of a button: normal, hover and the bubble with its
// hint. The bubble reaches out over the menu, whose picture it carries
// where the hint's box is not, as pictures have no transparency.
void ButtonPictures(const std::string& label, const std::string& hint, const Picture& menu, int y, Picture* normal,
                    Picture* hover, Picture* bubble) {
    auto panel = [&](Picture& p, uint32_t face, uint32_t edge, uint32_t ink) {
        p.Fill(0, 0, kButtonWidth, kButtonHeight, edge);
        p.Fill(2, 2, kButtonWidth - 4, kButtonHeight - 4, face);
        DrawText(p, label, 24, (kButtonWidth - TextWidth(label, 24, true)) / 2, 8, ink, true);
    };
    *normal = Picture(kButtonWidth, kButtonHeight, 0);
    panel(*normal, 0xFF203050u, 0xFF405070u, 0xFFC0C8D8u);
    *hover = Picture(kButtonWidth, kButtonHeight, 0);
    panel(*hover, 0xFF304878u, 0xFFE0B040u, 0xFFFFFFFFu);
    // The bubble covers the menu to the right of the button: its background
    // is drawn in, as pictures have no transparency.
    *bubble = Crop(menu, kButtonLeft, y, kBubbleWidth, kButtonHeight);
    panel(*bubble, 0xFF304878u, 0xFFE0B040u, 0xFFFFFFFFu);
    bubble->Fill(kButtonWidth + 8, 6, kBubbleWidth - kButtonWidth - 10, kButtonHeight - 12, 0xFFE0B040u);
    bubble->Fill(kButtonWidth + 9, 7, kBubbleWidth - kButtonWidth - 12, kButtonHeight - 14, 0xFF101828u);
    DrawText(*bubble, hint, 16, kButtonWidth + 16, 13, 0xFFE0B040u, false);
}

struct SampleButton {
    const char* name;
    const char* label;
    const char* hint;
    const char* command;
    bool shutdown;
};

Picture Cursor() {
    Picture picture(32, 32, 0);
    // An arrow: white with a dark edge, its point at the top left.
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x <= y / 2 + y / 4 && x < 14; ++x) {
            const bool edge = x == 0 || x == y / 2 + y / 4 || y == 19;
            picture.pixels[static_cast<size_t>(y) * 32 + x] = edge ? 0xFF000000u : 0xFFFFFFFFu;
        }
    }
    return picture;
}

Picture Icon() {
    Picture picture(32, 32, 0);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double r = std::hypot(x - 15.5, y - 15.5);
            if (r < 15.0) picture.pixels[static_cast<size_t>(y) * 32 + x] = r > 10.0 ? 0xFFE0B040u : 0xFF203050u;
        }
    }
    return picture;
}

// A short movie: the menu's title fading in (start-up) or a bar sweeping
// across (launch), over a tone.
bool WriteMovie(const std::filesystem::path& path, bool launch, std::string* error) {
    MovieWriteSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.frameRate = 25;
    constexpr int kFrames = 38;
    Picture title(320, 240, 0xFF000000u);
    DrawText(title, "CORVANE", 40, (320 - TextWidth("CORVANE", 40, true)) / 2, 96, 0xFFE0B040u, true);
    std::vector<std::vector<uint32_t>> frames;
    for (int f = 0; f < kFrames; ++f) {
        const double t = static_cast<double>(f) / (kFrames - 1);
        Picture frame(320, 240, 0xFF000000u);
        if (launch) {
            frame.Fill(0, 0, 320, 240, Mix(0xFF000000u, 0xFF102040u, t));
            frame.Fill(static_cast<int>(t * 300), 110, 20, 20, 0xFFE0B040u);
        } else {
            for (size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = Mix(0xFF000000u, title.pixels[i], std::min(1.0, t * 2));
        }
        frames.push_back(std::move(frame.pixels));
    }
    return MovieWriter_WriteFrames(path.string(), settings, frames, launch ? 330.0 : 220.0, error);
}

}  // namespace

std::string LauncherData_Token(const std::string& value) {
    return value.find_first_of(" =") != std::string::npos ? "\"" + value + "\"" : value;
}

std::string LauncherData_Text(const LauncherKeys& keys) {
    std::string text;
    for (const LauncherKey& key : keys) text += LauncherData_Token(key.key) + " = " + LauncherData_Token(key.value) + "\n";
    return text;
}

LauncherKeys LauncherData_MenuKeys(const LauncherMenu& menu) {
    LauncherKeys keys = {
        {"app_name", menu.name},          {"app_icon", menu.icon},           {"app_cursor_lo", menu.cursorNormal},
        {"app_cursor_hi", menu.cursorHover}, {"app_fullscreen", menu.fullScreen}, {"app_drawrects", menu.drawRects},
        {"bg_image", menu.background},    {"num_movies", std::to_string(menu.movies.size())},
    };
    for (size_t i = 0; i < menu.movies.size(); ++i) keys.push_back({"movie_" + std::to_string(i + 1), menu.movies[i]});
    keys.push_back({"play_movie", menu.playMovie});
    keys.push_back({"num_buttons", std::to_string(menu.buttons.size())});
    for (size_t i = 0; i < menu.buttons.size(); ++i) keys.push_back({"button_" + std::to_string(i + 1), menu.buttons[i]});
    return keys;
}

LauncherKeys LauncherData_ButtonKeys(const LauncherButton& b) {
    return {
        {"image_lo", b.imageNormal},
        {"image_hi", b.imageHover},
        {"image_bubble", b.imageBubble},
        {"pos_x", std::to_string(b.posX)},
        {"pos_y", std::to_string(b.posY)},
        {"rect_l", std::to_string(b.rectLeft)},
        {"rect_t", std::to_string(b.rectTop)},
        {"rect_r", std::to_string(b.rectRight)},
        {"rect_b", std::to_string(b.rectBottom)},
        {"sound_hoover", b.soundHover},
        {"sound_click", b.soundClick},
        {"execute_cmd", b.command},
        {"shutdown", b.shutdown},
    };
}

bool LauncherData_WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool LauncherData_WriteSolidBmp(const std::filesystem::path& path, int width, int height, uint32_t rgb) {
    return WriteBmp(path, Picture(width, height, 0xFF000000u | rgb));
}

bool LauncherData_Install(const std::string& product, const std::string& targetDir, std::string* error) {
    const std::string key = kProductRoot + product;
    if (!SettingsStore_CreateKey(key)) return Fail(error, "cannot make the settings key " + key);
    if (!SettingsStore_WriteValue(key, "TargetDir", targetDir) ||
        !SettingsStore_WriteValue(key, "Support", "support@corvane.invalid"))
        return Fail(error, "cannot write the settings key " + key);
    return true;
}

bool LauncherData_WriteSample(const std::filesystem::path& folder, const std::string& gameProgram, std::string* error) {
    const std::filesystem::path media = folder / "shellmedia";
    std::error_code made;
    std::filesystem::create_directories(media, made);
    if (made) return Fail(error, "cannot make " + media.string());

    const SampleButton buttons[] = {
        {"play", "PLAY", "Start the game", gameProgram.c_str(), true},
        {"settings", "SETTINGS", "Graphics and sound", "SPECIAL_1", false},
        {"readme", "READ ME", "About this menu", "shellmedia\\readme.txt", false},
        {"exit", "EXIT", "Leave the menu", "exit", false},
    };
    LauncherMenu menu;
    menu.name = "Corvane";
    menu.icon = "corvane.ico";
    menu.cursorNormal = "arrow.cur";
    menu.cursorHover = "arrow.cur";
    menu.background = "menu.bmp";
    menu.movies = {"intro.mpg", "launch.mpg"};
    menu.playMovie = "true";

    const Picture background = Background();
    bool ok = WriteBmp(media / "menu.bmp", background);
    for (size_t i = 0; i < std::size(buttons); ++i) {
        const SampleButton& sample = buttons[i];
        const std::string name = sample.name;
        const int y = 200 + static_cast<int>(i) * 62;
        Picture normal(1, 1, 0), hover(1, 1, 0), bubble(1, 1, 0);
        ButtonPictures(sample.label, sample.hint, background, y, &normal, &hover, &bubble);
        ok = ok && WriteBmp(media / (name + "_lo.bmp"), normal) && WriteBmp(media / (name + "_hi.bmp"), hover) &&
             WriteBmp(media / (name + "_bubble.bmp"), bubble);
        LauncherButton button;
        button.imageNormal = name + "_lo.bmp";
        button.imageHover = name + "_hi.bmp";
        button.imageBubble = name + "_bubble.bmp";
        button.posX = kButtonLeft;
        button.posY = y;
        button.rectLeft = button.posX;
        button.rectTop = button.posY;
        button.rectRight = button.posX + kButtonWidth;
        button.rectBottom = button.posY + kButtonHeight;
        button.soundHover = "hover.wav";
        button.soundClick = "click.wav";
        button.command = sample.command;
        button.shutdown = sample.shutdown ? "true" : "false";
        ok = ok && LauncherData_WriteFile(media / (name + ".btn"), LauncherData_Text(LauncherData_ButtonKeys(button)));
        menu.buttons.push_back(name + ".btn");
    }
    if (!ok) return Fail(error, "cannot write the menu pictures and buttons");

    WavFormat format;
    format.channels = 1;
    format.sampleRate = 22050;
    ok = Wav_Write((media / "hover.wav").string(), format, Wav_Sine(format, 880.0f, 0.25f, 22050 / 12)) &&
         Wav_Write((media / "click.wav").string(), format, Wav_Sine(format, 440.0f, 0.4f, 22050 / 8));
    if (!ok) return Fail(error, "cannot write the menu sounds");
    const Picture cursor = Cursor(), icon = Icon();
    ok = LauncherData_WriteFile(media / "arrow.cur", [&] {
             const auto bytes = IconWriter_Encode(cursor.pixels.data(), 32, 32, true, 0, 0);
             return std::string(bytes.begin(), bytes.end());
         }()) &&
         LauncherData_WriteFile(media / "corvane.ico", [&] {
             const auto bytes = IconWriter_Encode(icon.pixels.data(), 32, 32, false);
             return std::string(bytes.begin(), bytes.end());
         }());
    if (!ok) return Fail(error, "cannot write the cursor and icon");
    std::string movieError;
    if (!WriteMovie(media / "intro.mpg", false, &movieError) || !WriteMovie(media / "launch.mpg", true, &movieError))
        return Fail(error, "cannot write the menu movies: " + movieError);
    ok = LauncherData_WriteFile(media / "readme.txt",
                                "The sample menu of the launcher.\n\n"
                                "PLAY plays the launch movie and starts the game with the stored settings.\n"
                                "SETTINGS opens the settings dialog; OK stores the settings.\n"
                                "EXIT (or Escape) closes the menu.\n") &&
         LauncherData_WriteFile(media / "corvane.shl", LauncherData_Text(LauncherData_MenuKeys(menu)));
    if (!ok) return Fail(error, "cannot write the menu description");
    std::error_code absoluteError;
    const std::filesystem::path target = std::filesystem::absolute(folder, absoluteError);
    return LauncherData_Install("Corvane", (absoluteError ? folder : target).lexically_normal().string(), error);
}
