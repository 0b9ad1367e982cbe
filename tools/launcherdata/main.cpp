// Writes the launcher's sample menu ("shellmedia") into a folder and makes
// the product's settings key, as an installation does.
//
// Usage: qv_make_launcher <folder> --game=<program>
//
// The settings key goes to the settings store of $XDG_CONFIG_HOME (else
// ~/.config); the menu's Play button starts <program>.

#include "tools/launcherdata/LauncherData.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 || std::strncmp(argv[2], "--game=", 7) != 0) {
        std::fprintf(stderr, "usage: qv_make_launcher <folder> --game=<program>\n");
        return 2;
    }
    std::string error;
    if (!LauncherData_WriteSample(argv[1], argv[2] + 7, &error)) {
        std::fprintf(stderr, "qv_make_launcher: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
