// Writes the front-end fuzzer's seed files: a menu description, a button
// file, a router file, small BMP pictures of 8 and 24 bits, a cursor and an
// icon. Usage: qv_make_frontend_seeds <folder>

#include "tools/content/IconWriter.h"
#include "tools/content/ImageWriter.h"
#include "tools/launcherdata/LauncherData.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_frontend_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    LauncherMenu menu;
    menu.name = "Corvane Menu";
    menu.background = "menu.bmp";
    menu.movies = {"intro.mpg", "null"};
    menu.playMovie = "true";
    menu.buttons = {"play.btn"};
    LauncherButton button;
    button.imageNormal = "lo.bmp";
    button.rectRight = 200;
    button.rectBottom = 40;
    button.command = "SPECIAL_1";
    bool ok = LauncherData_WriteFile(folder / "menu.shl", LauncherData_Text(LauncherData_MenuKeys(menu))) &&
              LauncherData_WriteFile(folder / "play.btn", LauncherData_Text(LauncherData_ButtonKeys(button))) &&
              LauncherData_WriteFile(folder / "qvroute.ini", "company = \"Marn QV\"\r\nproduct=Corvane\r\nfirst setup\r\nsecond = game");
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 6 * 4; ++i) pixels.push_back(0xFF000000u | (i * 0x0A1B2Cu));
    for (uint32_t bits : {8u, 24u}) {
        BmpWriteOptions options;
        options.bits = bits;
        ok = ok && ImageWriter_Save((folder / ("bmp" + std::to_string(bits) + ".bmp")).string(),
                                    ImageWriter_Bmp(pixels.data(), 6, 4, options));
    }
    pixels[3] = 0;
    for (bool cursor : {true, false}) {
        const std::vector<uint8_t> bytes = IconWriter_Encode(pixels.data(), 6, 4, cursor, 1, 2);
        ok = ok && ImageWriter_Save((folder / (cursor ? "arrow.cur" : "icon.ico")).string(), bytes);
    }
    return ok ? 0 : 1;
}
